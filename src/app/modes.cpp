// The operating mode switch and the commands that depend on the mode.
#include "signload/modes.h"
#include "app/workspace.h"
#include "codec/escapes.h"
#include "signload/adp.h"

namespace telvaro {

void Workspace::showModeItems(OperatingMode mode)
{
    const ModeView view = ModeViewFor(mode);
    for (Item item : ModeDependentItems())
        m_menus.setVisible(item, view.shown.contains(item));
    for (OperatingMode each : {OperatingMode::Test, OperatingMode::SignLoad, OperatingMode::ControllerLoad})
        m_menus.setChecked(UseModeItem(each), each == mode);
}

void Workspace::SetOperatingMode(OperatingMode mode, ModeSwitchPlace from)
{
    // The mode button's picture follows the mode.
    m_mode.setMode(mode);
    showModeItems(mode);
    if (mode == OperatingMode::SignLoad)
        m_prompter.inform(SignLoadWarningText());
    setCaption(ModeViewFor(mode).caption);
    Q_EMIT operatingModeSwitched(mode, from);
}

QString Workspace::SignAddressRefusalText()
{
    return QStringLiteral("Invalid Sign Address.\r\nAddress must be 2 letters or digits.");
}

void Workspace::tbToolBar_ButtonMenuClick(const QString &key)
{
    if (const auto mode = ModeForKey(key))
        SetOperatingMode(*mode, ModeSwitchPlace::ModeButton);
}

OperationOutcome Workspace::MnuLoadSign_Click(const std::optional<SignChoice> &choice)
{
    // An address the sign cannot take would go out in every frame.
    if (choice && !IsSignLoadAddress(choice->address) && m_menus.item(Item::MnuLoadSign).enabled &&
        !m_operations.holdsLink()) {
        const QString reason = QStringLiteral("The address takes two letters or digits, not \"%1\".")
                                   .arg(QString::fromLatin1(FormatReceived(choice->address)));
        m_prompter.inform(SignAddressRefusalText(), reason);
        MnuModeData_Click();
        OperationOutcome refused;
        refused.ending = OperationOutcome::Ending::Failed;
        refused.reason = reason;
        return refused;
    }
    return telvaro::MnuLoadSign_Click(m_operations, m_table, choice);
}

} // namespace telvaro
