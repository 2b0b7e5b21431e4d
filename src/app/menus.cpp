#include "app/menus.h"

namespace telvaro {

const QList<MenuItemDef> &MainMenuDefinition()
{
    static const QList<MenuItemDef> menus = [] {
        QList<MenuItemDef> m;
        std::optional<Item> current;
        auto menu = [&m, &current](Item item, const char *caption) {
            m.append({item, QString::fromLatin1(caption), {}, {}});
            current = item;
        };
        auto item = [&m, &current](Item item, const char *caption, const char *shortcut = "") {
            m.append({item, QString::fromLatin1(caption), QString::fromLatin1(shortcut), current});
        };
        menu(Item::mnuFile, "&File");
        item(Item::mnuFileNew, "&New", "Ctrl+N");
        item(Item::mnuFileOpen, "&Open...");
        item(Item::mnuFileSave, "&Save");
        item(Item::mnuFileExit, "E&xit");
        menu(Item::mnuUseMode, "Use Mode");
        item(Item::mnuTestMode, "Test Mode");
        item(Item::mnuSignLoad, "Sign Load Mode");
        item(Item::mnuControllerLoad, "Controller Load Mode");
        menu(Item::MnuEdit, "&Edit");
        item(Item::MnuEditClearMessage, "Clear &Message", "Ctrl+M");
        item(Item::MnuEditClearRange, "Clear &Range");
        item(Item::mnuEditCut, "Cu&t", "Ctrl+X");
        item(Item::mnuEditCopy, "&Copy", "Ctrl+C");
        item(Item::mnuEditPaste, "&Paste", "Ctrl+V");
        menu(Item::MnuProtocol, "&Protocol");
        item(Item::MnuSCPProtocol, "&SCP Protocol", "Ctrl+S");
        item(Item::MnuADPProtocol, "&ADP Protocol", "Ctrl+A");
        menu(Item::MnuCommunication, "&Communication");
        item(Item::MnuComSetPort, "Set &Port");
        item(Item::MnuComSetIP, "Set &IP Address and Port");
        item(Item::MnuComSetBaud, "Set &Baud");
        item(Item::MnuComSerialDevices, "Serial &Devices...");
        item(Item::MnuComTranscript, "Record &Transcript...");
        menu(Item::MnuMode, "&Action");
        item(Item::MnuModeRun, "&Run");
        // One chord stops a run or a load at once; the menu's access key
        // is shared with "&Display Loaded Message".
        item(Item::MnuModeData, "&Data Entry", "Ctrl+D");
        item(Item::MnuLoadController, "&Load Controller");
        item(Item::MnuLoadSign, "&Load Sign");
        item(Item::MnuDisplayLoaded, "&Display Loaded Message");
        item(Item::MnuUploadController, "&Upload From Controller");
        item(Item::MnuVerifyController, "&Verify Controller");
        item(Item::MnuPreview, "&Preview...");
        menu(Item::MnuRegister, "Registers");
        menu(Item::MnuHelp, "&Help");
        item(Item::MnuHelpOpen, "&Open Help File");
        item(Item::MnuAbout, "&About");
        return m;
    }();
    return menus;
}

} // namespace telvaro
