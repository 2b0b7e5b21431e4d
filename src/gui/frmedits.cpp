#include "gui/frmedits.h"

#include "gui/editorcontrols.h"
#include "gui/frmmain.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>

namespace telvaro {

FrmEditS::FrmEditS(frmMain &main) : QWidget(&main, Qt::Tool), m_main(main)
{
    setObjectName(QStringLiteral("FrmEditS"));
    setWindowTitle(QStringLiteral("Message Editing "));
    setAttribute(Qt::WA_DeleteOnClose);

    // Created in reading order, which is also the order of the Tab key.
    QLabel *format = namedLabel(
        this, "Label1",
        QStringLiteral("SCP Message Editing Format: <0x02>0000<0x1B>CMDrRcCaApPsSgGfF[message text]jJ<0x04>"));
    auto *framing = new QHBoxLayout;
    framing->addWidget(codeButton(ScpButton::CmdSOT, "CmdSOT", QStringLiteral("&Start of Message")));
    framing->addWidget(codeButton(ScpButton::CmdMode, "CmdMode", QStringLiteral("E&xception")));
    framing->addWidget(codeButton(ScpButton::CmdFlash, "CmdFlash", QStringLiteral("Flas&h")));
    framing->addWidget(codeButton(ScpButton::CmdComputerTime, "CmdComputerTime", QStringLiteral("Comp&uter Time")));

    m_lstColor = namedList(this, "LstColor", EditorColorNames(), 6);
    m_lstColor->setAccessibleName(QStringLiteral("Color"));
    auto *colours = new QVBoxLayout;
    colours->addWidget(codeButton(ScpButton::CmdColor, "CmdColor", QStringLiteral("&Fore Color Start")));
    colours->addWidget(codeButton(ScpButton::CmdBackColor, "CmdBackColor", QStringLiteral("&Back Color Start")));
    colours->addStretch();

    m_sldFont = namedSlider(this, "SldFont", ScpFontLowest, ScpFontHighest);
    m_sldFont->setAccessibleName(QStringLiteral("Font Number"));
    QHBoxLayout *font = withValue(m_sldFont);
    QPushButton *fontStart = codeButton(ScpButton::CmdFont, "CmdFont", QStringLiteral("F&ont Start"));

    auto *justification = new QHBoxLayout;
    justification->addWidget(namedLabel(this, "Label2", QStringLiteral("Justification")));
    justification->addWidget(codeButton(ScpButton::CmdLJustification, "CmdLJustification", QStringLiteral("&L")));
    justification->addWidget(codeButton(ScpButton::CmdMJustification, "CmdMJustification", QStringLiteral("&M")));
    justification->addWidget(codeButton(ScpButton::CmdRJustification, "CmdRJustification", QStringLiteral("&R")));
    justification->addStretch();

    m_txtCode = new QLineEdit(QStringLiteral("00"), this);
    m_txtCode->setObjectName(QStringLiteral("TxtCode"));
    m_txtCode->setAccessibleName(QStringLiteral("Code"));
    m_txtCode->setMaximumWidth(m_txtCode->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
    m_cmdCode = codeButton(ScpButton::CmdCode, "CmdCode", QStringLiteral("&Character Code"));
    auto *code = new QHBoxLayout;
    code->addStretch();
    code->addWidget(m_txtCode);
    QPushButton *eot = codeButton(ScpButton::CmdEOT, "CmdEOT", QStringLiteral("&End of Message"));

    auto *grid = new QGridLayout(this);
    grid->addWidget(format, 0, 0, 1, 2);
    grid->addLayout(framing, 1, 0, 1, 2);
    grid->addWidget(m_lstColor, 2, 0);
    grid->addLayout(colours, 2, 1);
    grid->addLayout(font, 3, 0);
    grid->addWidget(fontStart, 3, 1);
    grid->addLayout(justification, 4, 0, 1, 2);
    grid->addLayout(code, 5, 0);
    grid->addWidget(m_cmdCode, 5, 1);
    grid->addWidget(eot, 6, 1);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}

QPushButton *FrmEditS::codeButton(ScpButton button, const char *name, const QString &caption)
{
    QPushButton *b = namedButton(this, name, caption);
    connect(b, &QPushButton::clicked, this, [this, button] { m_main.InsertInEntry(ScpCode(button, controls())); });
    return b;
}

ScpControls FrmEditS::controls() const
{
    return {selectedRow(m_lstColor), m_sldFont->value(), m_txtCode->text()};
}

void FrmEditS::closeEvent(QCloseEvent *event)
{
    Q_EMIT closed();
    QWidget::closeEvent(event);
}

} // namespace telvaro
