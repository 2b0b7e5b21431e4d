#include "editors/registerfields.h"

#include "base/prompter.h"
#include "codec/numbers.h"

namespace telvaro {

namespace {
const QByteArray Space = QByteArrayLiteral(" ");
const QByteArray Zero = QByteArrayLiteral("0");
} // namespace

const QStringList &RegisterNumberItems()
{
    static const QStringList items = [] {
        QStringList n;
        for (int reg = FirstRegister; reg <= LastRegister; ++reg)
            n << FormatPicture(reg, u"00");
        return n;
    }();
    return items;
}

QString RegisterInsertText(int index)
{
    // The register character is 80 plus the register number.
    return QStringLiteral("<0x10><0x0F>ES<0x21>") + QChar(u'P' + qMax(index + 1, 0));
}

bool RegisterInsertShownAtLoad(OperatingMode mode)
{
    return mode != OperatingMode::Test;
}

bool RegisterInsertShownAfterSwitch(bool shown, OperatingMode mode, ModeSwitchPlace from)
{
    // The menu's Test and Sign Load entries leave the controls as they are;
    // the mode button shows them for Controller Load only.
    if (from == ModeSwitchPlace::UseModeMenu && mode != OperatingMode::ControllerLoad)
        return shown;
    return mode == OperatingMode::ControllerLoad;
}

RegisterSetup::RegisterSetup(const RegisterTable &table)
{
    for (int reg = FirstRegister; reg <= LastRegister; ++reg)
        m_working.at(size_t(reg)) = table.at(size_t(reg));
    VScroll1_Change(FirstRegister);
}

void RegisterSetup::VScroll1_Change(int value)
{
    if (value < FirstRegister || value > LastRegister)
        return;
    m_shown = value;
    // The option that shows the fill sets it, so any fill but a blank
    // becomes "0".
    if (zeroesShown())
        Opt0_Click();
    else
        OptSpace_Click();
}

void RegisterSetup::OptSpace_Click()
{
    shownEntry().Fill = Space;
}

void RegisterSetup::Opt0_Click()
{
    shownEntry().Fill = Zero;
}

void RegisterSetup::LblWidth_Click(Prompter &prompter)
{
    // Cancelling answers the empty text, which reads as 0.
    const QString answer = prompter.input(WidthPrompt(), WidthTitle(), QStringLiteral("0")).value_or(QString());
    const std::optional<qint16> width = RoundToInt16(LenientValue(answer));
    if (!width || !IsRegisterWidth(*width))
        return;
    shownEntry().Width = *width;
    VScroll1_Change(m_shown);
}

void RegisterSetup::CmdOK_Click(Registers &registers) const
{
    RegisterTable table = registers.table();
    for (int reg = FirstRegister; reg <= LastRegister; ++reg)
        table.at(size_t(reg)) = m_working.at(size_t(reg));
    registers.setTable(table);
}

QString RegisterSetup::LblRegisterText() const
{
    return FormatPicture(m_shown, u"00");
}

QString RegisterSetup::LblWidthText() const
{
    return FormatPicture(shownEntry().Width, u"00");
}

bool RegisterSetup::zeroesShown() const
{
    return shownEntry().Fill != Space;
}

QString RegisterSetup::WidthPrompt()
{
    return QStringLiteral("Enter the width the Register will occupy\r\nValue must be in a range from 0 to 5");
}

QString RegisterSetup::WidthTitle()
{
    return QStringLiteral("Register Size");
}

} // namespace telvaro
