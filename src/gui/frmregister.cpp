#include "gui/frmregister.h"

#include "base/prompter.h"
#include "gui/editorcontrols.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace telvaro {

FrmRegister::FrmRegister(Registers &registers, Prompter &prompter)
    : m_registers(registers), m_prompter(prompter), m_setup(registers.table())
{
    setObjectName(QStringLiteral("FrmRegister"));
    setWindowTitle(QStringLiteral("Controller Register Setup"));
    // OK, Cancel, Escape and the close box all end in finished().
    connect(this, &QDialog::finished, this, &QObject::deleteLater);

    QLabel *heading = namedLabel(this, "Label1", QStringLiteral("Selected Register  &Width"));
    m_vScroll1 = new QScrollBar(Qt::Vertical, this);
    m_vScroll1->setObjectName(QStringLiteral("VScroll1"));
    m_vScroll1->setAccessibleName(QStringLiteral("Selected Register"));
    m_vScroll1->setRange(FirstRegister, LastRegister);
    m_vScroll1->setPageStep(5);
    // The arrow keys step through the registers once it has the focus.
    m_vScroll1->setFocusPolicy(Qt::StrongFocus);
    m_lblRegister = namedLabel(this, "LblRegister", QString());
    // A label the operator clicks to change; a flat button, so that the
    // keyboard reaches it too.
    m_lblWidth = namedButton(this, "LblWidth", QString());
    m_lblWidth->setFlat(true);
    m_lblWidth->setAutoDefault(true);
    heading->setBuddy(m_lblWidth);
    QFont large = m_lblRegister->font();
    large.setPointSizeF(large.pointSizeF() * 1.5);
    m_lblRegister->setFont(large);
    m_lblWidth->setFont(large);

    auto *frame1 = new QGroupBox(QStringLiteral("Fill Character"), this);
    frame1->setObjectName(QStringLiteral("Frame1"));
    m_optSpace = new QRadioButton(QStringLiteral("&Spaces"), frame1);
    m_optSpace->setObjectName(QStringLiteral("OptSpace"));
    m_opt0 = new QRadioButton(QStringLiteral("&Zeroes"), frame1);
    m_opt0->setObjectName(QStringLiteral("Opt0"));
    auto *fills = new QVBoxLayout(frame1);
    fills->addWidget(m_optSpace);
    fills->addWidget(m_opt0);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("CmdOK"));
    ok->setDefault(true);
    QPushButton *cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("CmdCancel"));

    auto *numbers = new QGridLayout;
    numbers->addWidget(heading, 0, 0, 1, 2);
    numbers->addWidget(m_lblRegister, 1, 0, Qt::AlignCenter);
    numbers->addWidget(m_lblWidth, 1, 1, Qt::AlignCenter);
    auto *fields = new QVBoxLayout;
    fields->addLayout(numbers);
    fields->addWidget(frame1);
    // The scroll bar runs the height of what it selects.
    auto *selection = new QHBoxLayout;
    selection->addWidget(m_vScroll1);
    selection->addLayout(fields);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(selection);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    // Wide enough for the whole title beside the frame's icon and buttons,
    // which title bars draw in a bold face about twice the text's height.
    QFont titleFont = font();
    titleFont.setBold(true);
    const QFontMetrics title(titleFont);
    layout->addStrut(title.horizontalAdvance(windowTitle()) + 8 * title.height());

    connect(m_vScroll1, &QScrollBar::valueChanged, this, [this](int value) {
        m_setup.VScroll1_Change(value);
        render();
    });
    connect(m_lblWidth, &QPushButton::clicked, this, [this] {
        {
            const Prompter::Over over(m_prompter, this);
            m_setup.LblWidth_Click(m_prompter);
        }
        render();
        // The platform may hand the focus to the main window's family as
        // the prompt closes; the operator goes on here.
        raise();
        activateWindow();
    });
    connect(m_optSpace, &QRadioButton::clicked, this, [this] { m_setup.OptSpace_Click(); });
    connect(m_opt0, &QRadioButton::clicked, this, [this] { m_setup.Opt0_Click(); });
    connect(ok, &QPushButton::clicked, this, &FrmRegister::CmdOK_Click);
    connect(cancel, &QPushButton::clicked, this, &FrmRegister::CmdCancel_Click);
    render();
}

void FrmRegister::CmdOK_Click()
{
    m_setup.CmdOK_Click(m_registers);
    accept();
}

void FrmRegister::CmdCancel_Click()
{
    reject();
}

void FrmRegister::render()
{
    m_lblRegister->setText(m_setup.LblRegisterText());
    m_lblWidth->setText(m_setup.LblWidthText());
    (m_setup.zeroesShown() ? m_opt0 : m_optSpace)->setChecked(true);
}

} // namespace telvaro
