#include "app/menus.h"

namespace telvaro {

const QList<MenuItemDef> &MainMenuDefinition()
{
    static const QList<MenuItemDef> menus = [] {
        QList<MenuItemDef> m;
        auto menu = [&m](const char *name, const char *caption) {
            m.append({QString::fromLatin1(name), QString::fromLatin1(caption), {}, {}});
        };
        auto item = [&m](const char *parent, const char *name, const char *caption, const char *shortcut = "") {
            m.append({QString::fromLatin1(name), QString::fromLatin1(caption), QString::fromLatin1(shortcut),
                      QString::fromLatin1(parent)});
        };
        menu("mnuFile", "&File");
        item("mnuFile", "mnuFileNew", "&New", "Ctrl+N");
        item("mnuFile", "mnuFileOpen", "&Open...");
        item("mnuFile", "mnuFileSave", "&Save");
        item("mnuFile", "mnuFileExit", "E&xit");
        menu("mnuUseMode", "Use Mode");
        item("mnuUseMode", "mnuTestMode", "Test Mode");
        item("mnuUseMode", "mnuSignLoad", "Sign Load Mode");
        item("mnuUseMode", "mnuControllerLoad", "Controller Load Mode");
        menu("MnuEdit", "&Edit");
        item("MnuEdit", "MnuEditClearMessage", "Clear &Message", "Ctrl+M");
        item("MnuEdit", "MnuEditClearRange", "Clear &Range");
        item("MnuEdit", "mnuEditCut", "Cu&t", "Ctrl+X");
        item("MnuEdit", "mnuEditCopy", "&Copy", "Ctrl+C");
        item("MnuEdit", "mnuEditPaste", "&Paste", "Ctrl+V");
        menu("MnuProtocol", "&Protocol");
        item("MnuProtocol", "MnuSCPProtocol", "&SCP Protocol", "Ctrl+S");
        item("MnuProtocol", "MnuADPProtocol", "&ADP Protocol", "Ctrl+A");
        menu("MnuCommunication", "&Communication");
        item("MnuCommunication", "MnuComSetPort", "Set &Port");
        item("MnuCommunication", "MnuComSetIP", "Set &IP Address and Port");
        item("MnuCommunication", "MnuComSetBaud", "Set &Baud");
        menu("MnuMode", "&Action");
        item("MnuMode", "MnuModeRun", "&Run");
        item("MnuMode", "MnuModeData", "&Data Entry");
        item("MnuMode", "MnuLoadController", "&Load Controller");
        item("MnuMode", "MnuLoadSign", "&Load Sign");
        item("MnuMode", "MnuDisplayLoaded", "&Display Loaded Message");
        item("MnuMode", "MnuUploadController", "&Upload From Controller");
        menu("MnuRegister", "Registers");
        menu("MnuHelp", "&Help");
        item("MnuHelp", "MnuHelpOpen", "&Open Help File");
        item("MnuHelp", "MnuAbout", "&About");
        return m;
    }();
    return menus;
}

} // namespace telvaro
