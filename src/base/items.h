#pragma once
// Menu items and buttons whose state the core decides, as typed identities
// shared by the core and the window, with their visible/enabled/checked state.

#include <QObject>
#include <QString>
#include <array>

namespace telvaro {

// One list gives both the identities and the names the window's objects
// carry, so the two cannot drift apart.
#define TELVARO_ITEMS(X)                                                                                               \
    X(mnuFile)                                                                                                         \
    X(mnuFileNew)                                                                                                      \
    X(mnuFileOpen)                                                                                                     \
    X(mnuFileSave)                                                                                                     \
    X(mnuFileExit)                                                                                                     \
    X(mnuUseMode) X(mnuTestMode) X(mnuSignLoad) X(mnuControllerLoad) X(MnuEdit) X(MnuEditClearMessage)                 \
        X(MnuEditClearRange) X(mnuEditCut) X(mnuEditCopy) X(mnuEditPaste) X(MnuProtocol) X(MnuSCPProtocol)             \
            X(MnuADPProtocol) X(MnuCommunication) X(MnuComSetPort) X(MnuComSetIP) X(MnuComSetBaud)                     \
                X(MnuComSerialDevices) X(MnuComTranscript) X(MnuMode) X(MnuModeRun) X(MnuModeData)                     \
                    X(MnuLoadController) X(MnuLoadSign) X(MnuDisplayLoaded) X(MnuUploadController)                     \
                        X(MnuVerifyController) X(MnuPreview) X(MnuRegister) X(MnuHelp) X(MnuHelpOpen) X(MnuAbout)      \
                            X(CmdQuickSend)

enum class Item : int {
#define TELVARO_ITEM_ENUM(name) name,
    TELVARO_ITEMS(TELVARO_ITEM_ENUM)
#undef TELVARO_ITEM_ENUM
};

inline constexpr int ItemCount = int(Item::CmdQuickSend) + 1;

// The object name of the window's action or button.
QString ItemName(Item item);

struct ItemState {
    bool visible = true;
    bool enabled = true;
    bool checked = false;
    bool operator==(const ItemState &) const = default;
};

// The commands that start an operation on the link.
bool StartsOperation(Item item);

class MenuState : public QObject {
    Q_OBJECT
public:
    explicit MenuState(QObject *parent = nullptr);

    // As the operator sees it: a command that starts an operation reads
    // disabled while another operation still holds the link.
    ItemState item(Item which) const;
    void setItem(Item which, ItemState state);
    void setEnabled(Item which, bool enabled);
    void setVisible(Item which, bool visible);
    void setChecked(Item which, bool checked);

    // Set while an operation holds the link.
    void setLinkHeld(bool held);
    bool linkHeld() const { return m_linkHeld; }

Q_SIGNALS:
    void itemChanged(telvaro::Item which);

private:
    std::array<ItemState, ItemCount> m_items{};
    bool m_linkHeld = false;
};

} // namespace telvaro
