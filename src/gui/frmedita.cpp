#include "gui/frmedita.h"

#include "editors/registerfields.h"
#include "editors/scpeditor.h"
#include "gui/editorcontrols.h"
#include "gui/frmmain.h"
#include "gui/scrollingbody.h"

#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>

namespace telvaro {

namespace {

QCheckBox *namedCheckBox(QWidget *parent, const char *name, const QString &caption)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QColor toColor(const Rgb &rgb)
{
    return QColor(rgb.red, rgb.green, rgb.blue);
}

} // namespace

FrmEditA::FrmEditA(frmMain &main) : QWidget(&main, Qt::Tool), m_main(main), m_ws(main.workspace())
{
    setObjectName(QStringLiteral("FrmEditA"));
    setWindowTitle(QStringLiteral("Message Editing"));
    setAttribute(Qt::WA_DeleteOnClose);

    // Each area's controls are created in reading order, which is also the
    // order of the Tab key: the code buttons first, then the quick start.
    QLayout *codes = buildCodeArea();
    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::VLine);
    divider->setFrameShadow(QFrame::Sunken);
    QLayout *quick = buildQuickStartArea();
    // On a small screen the editor scrolls rather than run off it.
    auto *layout = new QHBoxLayout(ScrollingBody::fill(this));
    layout->addLayout(codes);
    layout->addWidget(divider);
    layout->addLayout(quick, 1);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(&m_ws, &Workspace::operatingModeSwitched, this, [this](OperatingMode mode, ModeSwitchPlace from) {
        if (isVisible())
            showRegisterInsert(RegisterInsertShownAfterSwitch(m_registerInsertShown, mode, from));
    });
    load();
}

QLayout *FrmEditA::buildCodeArea()
{
    auto *grid = new QGridLayout;
    const auto pair = [this, grid](int row, AdpButton left, const char *leftName, const char *leftCaption,
                                   AdpButton right, const char *rightName, const char *rightCaption) {
        grid->addWidget(codeButton(left, leftName, QString::fromLatin1(leftCaption)), row, 0);
        grid->addWidget(codeButton(right, rightName, QString::fromLatin1(rightCaption)), row, 1);
    };
    pair(0, AdpButton::CmdSOT, "CmdSOT", "&Start of Message", AdpButton::CmdStartText, "CmdStartText",
         "Start of Te&xt");
    pair(1, AdpButton::CmdETX, "CmdETX", "E&nd of Text", AdpButton::CmdEOT, "CmdEOT", "&End of Message");
    pair(2, AdpButton::CmdMode, "CmdMode", "M&ode Start", AdpButton::CmdFlash, "CmdFlash", "Flas&h Start");

    m_lstColor = namedList(this, "LstColor", EditorColorNames(), 5);
    m_lstColor->setAccessibleName(QStringLiteral("Color"));
    grid->addWidget(m_lstColor, 3, 0, 2, 1);
    grid->addWidget(codeButton(AdpButton::CmdColor, "CmdColor", QStringLiteral("&Fore Color Start")), 3, 1);
    grid->addWidget(codeButton(AdpButton::CmdBackColor, "CmdBackColor", QStringLiteral("&Back Color Start")), 4, 1);

    m_sldFont = namedSlider(this, "SldFont", AdpFontLowest, AdpFontHighest);
    m_sldFont->setAccessibleName(QStringLiteral("Font Number"));
    QHBoxLayout *font = withValue(m_sldFont);
    grid->addLayout(font, 5, 0);
    grid->addWidget(codeButton(AdpButton::CmdFont, "CmdFont", QStringLiteral("Fon&t Start")), 5, 1);

    auto *justification = new QHBoxLayout;
    justification->addWidget(namedLabel(this, "Label2", QStringLiteral("Justification")));
    justification->addWidget(codeButton(AdpButton::CmdLJustification, "CmdLJustification", QStringLiteral("&L")));
    justification->addWidget(codeButton(AdpButton::CmdMJustification, "CmdMJustification", QStringLiteral("&M")));
    justification->addWidget(codeButton(AdpButton::CmdRJustification, "CmdRJustification", QStringLiteral("&R")));
    justification->addStretch();
    grid->addLayout(justification, 6, 0, 1, 2);

    pair(7, AdpButton::CmdSignDate, "CmdSignDate", "Si&gn Date Start", AdpButton::CmdSignTime, "CmdSignTime",
         "Sign T&ime");
    pair(8, AdpButton::CmdComputerTime, "CmdComputerTime", "Comp&uter Time", AdpButton::CmdString, "CmdString",
         "Call String File");

    m_txtCode = new QLineEdit(QStringLiteral("00"), this);
    m_txtCode->setObjectName(QStringLiteral("TxtCode"));
    m_txtCode->setAccessibleName(QStringLiteral("Code"));
    m_txtCode->setMaximumWidth(m_txtCode->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
    grid->addWidget(m_txtCode, 9, 0, Qt::AlignRight);
    m_cmdCode = codeButton(AdpButton::CmdCode, "CmdCode", QStringLiteral("&Character Code"));
    grid->addWidget(m_cmdCode, 9, 1);
    grid->setRowStretch(10, 1);
    return grid;
}

QLayout *FrmEditA::buildQuickStartArea()
{
    auto *grid = new QGridLayout;
    QLabel *heading = namedLabel(this, "Label3", QStringLiteral("Quick Start Message"));
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    grid->addWidget(heading, 0, 0, 1, 3);

    QLabel *addressLabel = namedLabel(this, "Label4", QStringLiteral("Address T&ype"));
    m_txtSignAddress = new QLineEdit(QStringLiteral("00"), this);
    m_txtSignAddress->setObjectName(QStringLiteral("TxtSignAddress"));
    m_txtSignAddress->setMaximumWidth(m_txtSignAddress->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
    nameBy(addressLabel, m_txtSignAddress);
    m_lblType = namedLabel(this, "LblType", QStringLiteral("OB"));
    m_lblType->installEventFilter(this);
    auto *address = new QHBoxLayout;
    address->addWidget(addressLabel);
    address->addWidget(m_txtSignAddress);
    address->addWidget(m_lblType);
    address->addStretch();
    grid->addLayout(address, 1, 0, 1, 3);

    grid->addWidget(namedLabel(this, "Label5", QStringLiteral("Fore Color              Back Color")), 2, 0, 1, 2);
    QLabel *fontsLabel = namedLabel(this, "Label6", QStringLiteral(" A&vailable Fonts"));
    grid->addWidget(fontsLabel, 2, 2);
    m_lstQuickForeColor = namedList(this, "LstQuickForeColor", QuickColorNames(), 6);
    m_lstQuickBackColor = namedList(this, "LstQuickBackColor", QuickColorNames(), 6);
    m_lstQuickFont = namedList(this, "LstQuickFont", QuickFontNames(), 6);
    nameBy(fontsLabel, m_lstQuickFont);
    // The heading above them names both colour lists; the check boxes
    // already answer to "Fore Color".
    m_lstQuickForeColor->setAccessibleName(QStringLiteral("Quick Start Fore Color"));
    m_lstQuickBackColor->setAccessibleName(QStringLiteral("Quick Start Back Color"));
    grid->addWidget(m_lstQuickForeColor, 3, 0);
    grid->addWidget(m_lstQuickBackColor, 3, 1);
    grid->addWidget(m_lstQuickFont, 3, 2);

    QLabel *modeLabel = namedLabel(this, "Label7", QStringLiteral("Mode &Position Mode Type"));
    grid->addWidget(modeLabel, 4, 0, 1, 2);
    QLabel *flashLabel = namedLabel(this, "Label8", QStringLiteral("  Flash"));
    m_chkFlash = namedCheckBox(this, "ChkFlash", QString());
    nameBy(flashLabel, m_chkFlash);
    m_lstQuickModeP = namedList(this, "LstQuickModeP", QuickModePositions(), 5);
    m_lstQuickModeT = namedList(this, "LstQuickModeT", QuickModeTypes(), 5);
    // The heading names both lists; its access key leads to the first.
    modeLabel->setBuddy(m_lstQuickModeP);
    m_lstQuickModeP->setAccessibleName(QStringLiteral("Mode Position"));
    m_lstQuickModeT->setAccessibleName(QStringLiteral("Mode Type"));
    auto *flash = new QHBoxLayout;
    flash->addWidget(flashLabel);
    flash->addWidget(m_chkFlash);
    flash->addStretch();
    grid->addLayout(flash, 4, 2);
    grid->addWidget(m_lstQuickModeP, 5, 0);
    grid->addWidget(m_lstQuickModeT, 5, 1);
    m_chkMode = namedCheckBox(this, "ChkMode", QStringLiteral("Mode"));
    m_chkFont = namedCheckBox(this, "ChkFont", QStringLiteral("Font"));
    m_chkFore = namedCheckBox(this, "ChkFore", QStringLiteral("Fore Color"));
    m_chkBack = namedCheckBox(this, "ChkBack", QStringLiteral("Bac&k Ground"));
    auto *include = new QVBoxLayout;
    for (QCheckBox *box : {m_chkMode, m_chkFont, m_chkFore, m_chkBack})
        include->addWidget(box);
    include->addStretch();
    grid->addLayout(include, 5, 2);

    m_txtQuickEdit = new QPlainTextEdit(QStringLiteral("Message to Display"), this);
    m_txtQuickEdit->setObjectName(QStringLiteral("TxtQuickEdit"));
    m_txtQuickEdit->setAccessibleName(QStringLiteral("Quick Start Message"));
    // Tab moves on to the next control; the text is a sign's few lines.
    m_txtQuickEdit->setTabChangesFocus(true);
    // Room for a few lines at the preview's largest font.
    m_txtQuickEdit->setFixedHeight(m_txtQuickEdit->fontMetrics().lineSpacing() * 6);
    grid->addWidget(m_txtQuickEdit, 6, 0, 1, 3);

    auto *calls = new QHBoxLayout;
    QPushButton *date = namedButton(this, "CmdQuickDate", QStringLiteral("Call Date"));
    QPushButton *time = namedButton(this, "CmdQuickTime", QStringLiteral("Call Time"));
    connect(date, &QPushButton::clicked, this, [this] { insertInQuickEdit(QuickDateCall()); });
    connect(time, &QPushButton::clicked, this, [this] { insertInQuickEdit(QuickTimeCall()); });
    calls->addWidget(date);
    calls->addWidget(time);
    calls->addStretch();
    calls->addLayout(buildRegisterInsert());
    grid->addLayout(calls, 7, 0, 1, 3);

    auto *build = new QHBoxLayout;
    build->addStretch();
    QPushButton *load = namedButton(this, "CmdQuickAdd", QStringLiteral("Loa&d"));
    QPushButton *add = namedButton(this, "CmdAddMessage", QStringLiteral("&Add"));
    connect(load, &QPushButton::clicked, this, &FrmEditA::CmdQuickAdd_Click);
    connect(add, &QPushButton::clicked, this, &FrmEditA::CmdAddMessage_Click);
    build->addWidget(load);
    build->addWidget(add);
    grid->addLayout(build, 8, 0, 1, 3);

    // The lists as wide as their items, so the area stays compact.
    for (QListWidget *list :
         {m_lstQuickForeColor, m_lstQuickBackColor, m_lstQuickFont, m_lstQuickModeP, m_lstQuickModeT})
        list->setFixedWidth(list->minimumWidth());

    // A list's behaviour runs as its choice moves, and on a click on the
    // item already chosen too: the other colour list may have changed the
    // preview since.
    const auto onChoice = [this](QListWidget *list, const auto &behaviour) {
        connect(list, &QListWidget::itemSelectionChanged, this, behaviour);
        connect(list, &QListWidget::itemClicked, this, behaviour);
    };
    onChoice(m_lstQuickForeColor, [this] { foreColorClicked(); });
    onChoice(m_lstQuickBackColor, [this] { backColorClicked(); });
    onChoice(m_lstQuickFont, [this] {
        m_quick.LstQuickFont_Click(selectedRow(m_lstQuickFont));
        renderPreview();
    });
    onChoice(m_lstQuickModeP, [this] { modeClicked(); });
    onChoice(m_lstQuickModeT, [this] { modeClicked(); });
    connect(m_chkFlash, &QCheckBox::toggled, this, [this](bool on) { m_quick.ChkFlash_Click(on); });
    return grid;
}

QLayout *FrmEditA::buildRegisterInsert()
{
    m_lstNumReg = namedList(this, "LstNumReg", RegisterNumberItems(), 2);
    m_lstNumReg->setFixedWidth(m_lstNumReg->minimumWidth());
    m_lstNumReg->setAccessibleName(QStringLiteral("Register Number"));
    m_cmdInsertRegister = namedButton(this, "CmdInsertRegister", QStringLiteral("Register Insert"));
    connect(m_cmdInsertRegister, &QPushButton::clicked, this,
            [this] { insertInQuickEdit(RegisterInsertText(selectedRow(m_lstNumReg))); });
    // Hidden, they keep their place, so the window does not change size
    // with the mode.
    for (QWidget *w : {static_cast<QWidget *>(m_lstNumReg), static_cast<QWidget *>(m_cmdInsertRegister)}) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
    }
    auto *row = new QHBoxLayout;
    row->addWidget(m_lstNumReg);
    row->addWidget(m_cmdInsertRegister);
    return row;
}

void FrmEditA::load()
{
    // As the window loads: each list's choice runs its click, the flash code
    // follows the unchecked box, and the colours run once more for the
    // preview.
    m_lstQuickForeColor->setCurrentRow(QuickStartChoice::ForeColor);
    m_lstQuickBackColor->setCurrentRow(QuickStartChoice::BackColor);
    m_lstQuickFont->setCurrentRow(QuickStartChoice::Font);
    m_lstQuickModeP->setCurrentRow(QuickStartChoice::ModePosition);
    m_lstQuickModeT->setCurrentRow(QuickStartChoice::ModeType);
    m_quick.ChkFlash_Click(m_chkFlash->isChecked());
    foreColorClicked();
    backColorClicked();

    m_lstNumReg->setCurrentRow(InitialRegisterItem);
    showRegisterInsert(RegisterInsertShownAtLoad(m_ws.mode().mode()));

    m_chkMode->setChecked(true);
    m_chkFore->setChecked(true);
    m_chkBack->setChecked(false);
    m_chkFont->setChecked(true);
}

QPushButton *FrmEditA::codeButton(AdpButton button, const char *name, const QString &caption)
{
    QPushButton *b = namedButton(this, name, caption);
    connect(b, &QPushButton::clicked, this, [this, button] { m_main.InsertInEntry(AdpCode(button, controls())); });
    return b;
}

AdpControls FrmEditA::controls() const
{
    return {selectedRow(m_lstColor), m_sldFont->value(), m_txtCode->text()};
}

QuickChoices FrmEditA::quickChoices() const
{
    QString text = m_txtQuickEdit->toPlainText();
    // The message's line breaks are carriage return and line feed.
    text.replace(u'\n', QStringLiteral("\r\n"));
    return {m_txtSignAddress->text(), m_chkMode->isChecked(), m_chkFont->isChecked(),
            m_chkFore->isChecked(),   m_chkBack->isChecked(), text};
}

void FrmEditA::CmdQuickAdd_Click()
{
    m_ws.setBox(Workspace::Box::Entry, BuildQuickMessage(m_ws.mode().mode(), m_quick, quickChoices()));
}

void FrmEditA::CmdAddMessage_Click()
{
    CmdQuickAdd_Click();
    m_ws.CmdAddMessage_Click();
}

void FrmEditA::foreColorClicked()
{
    m_quick.LstQuickForeColor_Click(selectedRow(m_lstQuickForeColor));
    renderPreview();
}

void FrmEditA::backColorClicked()
{
    m_quick.LstQuickBackColor_Click(selectedRow(m_lstQuickBackColor));
    renderPreview();
}

void FrmEditA::modeClicked()
{
    m_quick.LstQuickModeP_Click(selectedRow(m_lstQuickModeP), selectedRow(m_lstQuickModeT));
}

void FrmEditA::renderPreview()
{
    const QuickPreview &preview = m_quick.preview();
    QPalette palette = m_txtQuickEdit->palette();
    palette.setColor(QPalette::Text, toColor(preview.text));
    palette.setColor(QPalette::Base, toColor(preview.background));
    m_txtQuickEdit->setPalette(palette);
    QFont font = m_txtQuickEdit->font();
    font.setPointSize(preview.pointSize);
    m_txtQuickEdit->setFont(font);
}

void FrmEditA::insertInQuickEdit(const QString &text)
{
    m_txtQuickEdit->insertPlainText(text);
}

void FrmEditA::showRegisterInsert(bool shown)
{
    m_registerInsertShown = shown;
    m_lstNumReg->setVisible(shown);
    m_cmdInsertRegister->setVisible(shown);
}

bool FrmEditA::eventFilter(QObject *watched, QEvent *event)
{
    // Nothing reads the type; a click only changes what it says.
    if (watched == m_lblType && event->type() == QEvent::MouseButtonRelease)
        m_lblType->setText(m_lblType->text() == QLatin1String("OB") ? QStringLiteral("VY") : QStringLiteral("OB"));
    return QWidget::eventFilter(watched, event);
}

void FrmEditA::closeEvent(QCloseEvent *event)
{
    Q_EMIT closed();
    QWidget::closeEvent(event);
}

} // namespace telvaro
