#include "signload/modes.h"

namespace telvaro {

ModeView ModeViewFor(OperatingMode mode)
{
    switch (mode) {
    case OperatingMode::SignLoad:
        return {QStringLiteral("Telvaro - Sign Load Mode"), 8, {Item::MnuLoadSign, Item::MnuDisplayLoaded}};
    case OperatingMode::ControllerLoad:
        return {QStringLiteral("Telvaro - Controller Load Mode"),
                9,
                {Item::MnuLoadController, Item::MnuUploadController, Item::MnuVerifyController, Item::MnuRegister}};
    case OperatingMode::Test: break;
    }
    return {QStringLiteral("Telvaro - Test Mode"), 7, {Item::MnuModeRun}};
}

const QList<Item> &ModeDependentItems()
{
    static const QList<Item> items = {Item::MnuModeRun,        Item::MnuLoadSign,         Item::MnuDisplayLoaded,
                                      Item::MnuLoadController, Item::MnuUploadController, Item::MnuVerifyController,
                                      Item::MnuRegister};
    return items;
}

QString ModeKey(OperatingMode mode)
{
    switch (mode) {
    case OperatingMode::SignLoad: return QStringLiteral("Sign Load Mode");
    case OperatingMode::ControllerLoad: return QStringLiteral("Controller Load Mode");
    case OperatingMode::Test: break;
    }
    return QStringLiteral("Test Mode");
}

std::optional<OperatingMode> ModeForKey(const QString &key)
{
    for (OperatingMode mode : {OperatingMode::Test, OperatingMode::SignLoad, OperatingMode::ControllerLoad})
        if (key == ModeKey(mode))
            return mode;
    return std::nullopt;
}

Item UseModeItem(OperatingMode mode)
{
    switch (mode) {
    case OperatingMode::SignLoad: return Item::mnuSignLoad;
    case OperatingMode::ControllerLoad: return Item::mnuControllerLoad;
    case OperatingMode::Test: break;
    }
    return Item::mnuTestMode;
}

QString SignLoadWarningText()
{
    return QStringLiteral(
        "Warning!  When in ADP Load Mode, the Software will generate a header based on the message number and "
        "attach it to the beginning  of the messages you create.  This header will contain the sign address and "
        "file label information.  Do NOT add this information  to the message while editing.  Clicking on a "
        "message will cause the header information to be shown.  When the messages are sent, all set intervals "
        "are ignored, and all messages are loaded to flash.");
}

} // namespace telvaro
