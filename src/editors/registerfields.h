#pragma once
// Controller registers in the editors: the register field the ADP editor
// inserts, when its register controls show, and the register dialog's
// working copy of the register table.

#include "base/mode.h"
#include "table/registers.h"

#include <QString>
#include <QStringList>

namespace telvaro {

class Prompter;

// "01" to "31"; item 1 ("02") is chosen when the editor opens.
const QStringList &RegisterNumberItems();
inline constexpr int InitialRegisterItem = 1;

// The field of the register at a list index; no selection (-1) gives the
// register character "P".
QString RegisterInsertText(int index);

// Whether the register list and its button show when the ADP editor opens,
// and after a mode switch while it is showing.
bool RegisterInsertShownAtLoad(OperatingMode mode);
bool RegisterInsertShownAfterSwitch(bool shown, OperatingMode mode, ModeSwitchPlace from);

inline constexpr int FirstRegister = 1;
inline constexpr int LastRegister = 31;

// The register dialog's working copy: changed register by register, written
// back only on OK.
class RegisterSetup {
public:
    explicit RegisterSetup(const RegisterTable &table);

    // Shows a register (the scroll bar's value); its fill is set to the
    // option that shows it.
    void VScroll1_Change(int value);
    void OptSpace_Click();
    void Opt0_Click();
    // Asks for the shown register's width; an answer outside 0 to 5 is
    // dropped without a word, one without a number in front is 0.
    void LblWidth_Click(Prompter &prompter);
    // The working copy over registers 1 to 31 of the table.
    void CmdOK_Click(Registers &registers) const;

    QString LblRegisterText() const;
    QString LblWidthText() const;
    bool zeroesShown() const;

    static QString WidthPrompt();
    static QString WidthTitle();

private:
    RegisterEntry &shownEntry() { return m_working.at(size_t(m_shown)); }
    const RegisterEntry &shownEntry() const { return m_working.at(size_t(m_shown)); }

    RegisterTable m_working;
    int m_shown = FirstRegister;
};

} // namespace telvaro
