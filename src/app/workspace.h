#pragma once
// Everything the main window holds and shows, without the widgets, as small
// state objects with change signals: the message table, the entry panel,
// menu states, status panels, link settings, operating mode, registers and
// the transfer flags; plus the link and the operations on it. The window
// renders this state and forwards its events to the handlers here.

#include "app/transcriptrecorder.h"
#include "app/verification.h"
#include "base/items.h"
#include "base/mode.h"
#include "base/prompter.h"
#include "base/statuspanels.h"
#include "base/transfer.h"
#include "link/link.h"
#include "link/linksettings.h"
#include "run/operation.h"
#include "run/progress.h"
#include "signload/signload.h"
#include "table/entrypanel.h"
#include "table/messagetable.h"
#include "table/registers.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <optional>

namespace telvaro {

class SettingsStore;

// Window position and size in twips.
struct WindowGeometry {
    double left = 1000;
    double top = 1000;
    double width = 7500;
    double height = 6000;
};

class Workspace : public QObject {
    Q_OBJECT
public:
    using Box = EntryPanel::Box;

    explicit Workspace(Prompter &prompter, QObject *parent = nullptr);

    Prompter &prompter() { return m_prompter; }
    MessageTable &table() { return m_table; }
    const MessageTable &table() const { return m_table; }
    EntryPanel &entry() { return m_entry; }
    const EntryPanel &entry() const { return m_entry; }
    MenuState &menus() { return m_menus; }
    const MenuState &menus() const { return m_menus; }
    StatusPanels &status() { return m_status; }
    const StatusPanels &status() const { return m_status; }
    LinkSettingsState &linkSettings() { return m_linkSettings; }
    const LinkSettingsState &linkSettings() const { return m_linkSettings; }
    ModeState &mode() { return m_mode; }
    const ModeState &mode() const { return m_mode; }
    Registers &registers() { return m_registers; }
    const Registers &registers() const { return m_registers; }
    TransferState &transfer() { return m_transfer; }
    const TransferState &transfer() const { return m_transfer; }
    Progress &progress() { return m_progress; }
    // The one link to the device; closed between operations.
    Link &link() { return m_link; }
    Operations &operations() { return m_operations; }
    // The window's transcript of every operation on the link.
    TranscriptRecorder &transcript() { return m_transcript; }

    // The entry panel's boxes, which most handlers read and write.
    QString box(Box which) const { return m_entry.box(which); }
    void setBox(Box which, const QString &text) { m_entry.setBox(which, text); }

    QString caption() const { return m_caption; }
    void setCaption(const QString &caption);

    // Main window load. Returns the geometry keys it read; on a failure it
    // reports "error!" and stops with the state reached, so the keys read
    // before the failure still apply.
    struct LoadOutcome {
        std::optional<double> left, top, width, height;
        bool completed = false;
    };
    LoadOutcome Form_Load(const SettingsStore &settings);

    // The close request, split where the window closes its other windows:
    // first the question, then the saving of settings.
    bool ConfirmShutdown();
    bool shutdownConfirmed() const { return m_shutdownConfirmed; }
    void SaveSettings(SettingsStore &settings, bool minimized, const WindowGeometry &geometry);

    // The mode switch, from "Use Mode" and from the mode button's drop-down
    // (whose entry key names the mode; any other key does nothing).
    void SetOperatingMode(OperatingMode mode, ModeSwitchPlace from = ModeSwitchPlace::UseModeMenu);
    void tbToolBar_ButtonMenuClick(const QString &key);

    // Operations on the link and the data-entry command that ends them.
    OperationOutcome CmdQuickSend_Click();
    OperationOutcome MnuModeRun_Click();
    // The sign type dialog's choice; none when it was cancelled.
    // An address outside the dialog's rule is refused before any frame.
    OperationOutcome MnuLoadSign_Click(const std::optional<SignChoice> &choice);
    static QString SignAddressRefusalText();
    // Asks whether the controller has a serial interface; Cancel changes
    // nothing.
    OperationOutcome MnuLoadController_Click();
    OperationOutcome LoadController(bool serialInterface);
    // The table and registers are replaced only by a complete upload, all at
    // once; what Add would refuse is refused before the first frame.
    OperationOutcome MnuUploadController_Click();
    static QString ChangedDuringUploadText();
    // Reads the controller back over the serial port and compares it with
    // the table and registers on screen, which stay as they are. The first
    // asks, as a load does, whether the controller has a serial interface;
    // Cancel: none.
    std::optional<ControllerVerification> MnuVerifyController_Click();
    ControllerVerification VerifyController(bool serialInterface);
    // After a load over a serial port that ended done, asks whether to
    // verify the controller now; verifies it if so.
    std::optional<ControllerVerification> OfferVerification(const OperationOutcome &load);

    // "&New": one blank message, number box "000", registers cleared.
    void NewTable();
    void MnuModeData_Click() { m_operations.MnuModeData_Click(); }

    // The grid's events; gridRow counts the header as row 0.
    void MSFGMessages_Click(int gridRow);
    void MSFGMessages_DblClick(int gridRow);
    void MSFGMessages_MouseDown(int gridRow);
    void MSFGMessages_SelChange(int gridRow);
    void MSFGMessages_KeyDown(int keyCode);

    QString HeaderFor(qint64 number) const;
    // Makes a grid row current (with its selection) as a command does; the
    // grid's selection handling then runs as if the operator had moved there.
    void SelectGridRow(int gridRow, int firstColumn = 0, int lastColumn = MessageTable::ColumnCount - 1);

    // Entry panel commands.
    void CmdAddMessage_Click();
    // The interval box's value as Add takes it; none where Add refuses it.
    std::optional<qint32> AddInterval() const;
    void CmdReplaceMessage_Click();
    void CmdLoadMessage_Click();
    void CmdIncrement_Click();
    void CmdDecrement_Click();
    void CmdSetRepeat_Click();
    void TxtInterval_KeyPress(int keyCode);
    void TxtMessageNumber_LostFocus();
    void Cmd95ClearText_Click();

    // Edit commands. The mass fill gets the grid selection's start cell
    // (where it began) and end cell, in grid rows and columns.
    void MnuEditClearMessage_Click();
    void MassFill(int startRow, int startColumn, int endRow, int endColumn);

    // The box each clipboard command picks from the focus flags.
    enum class ClipboardBox { None, Entry, Messages, Comment };
    ClipboardBox CopySource() const;
    ClipboardBox PasteTarget() const;

    static constexpr int DeleteKeyCode = 46;
    static constexpr int EnterKeyCode = 13;

Q_SIGNALS:
    void captionChanged();
    // A mode switch ran (also to the mode in force); the ADP editor updates
    // its register controls.
    void operatingModeSwitched(telvaro::OperatingMode mode, telvaro::ModeSwitchPlace from);
    // The grid should make gridRow current and select columns first..last.
    void gridSelectionRequested(int gridRow, int firstColumn, int lastColumn);

private:
    std::optional<int> StepTo(double target);
    void showModeItems(OperatingMode mode);
    // Tells the first time a text is sent or stored which of its characters
    // have no byte in the code page.
    void noticeCodePage(const QString &text);

    Prompter &m_prompter;
    // The answer the last load was sent with.
    bool m_loadedSerialInterface = false;
    TransferState m_transfer;
    MenuState m_menus;
    StatusPanels m_status;
    LinkSettingsState m_linkSettings;
    ModeState m_mode;
    Registers m_registers;
    EntryPanel m_entry;
    MessageTable m_table;
    Progress m_progress;
    Link m_link;
    Operations m_operations;
    TranscriptRecorder m_transcript;
    QString m_caption = QStringLiteral("Telvaro");
    bool m_shutdownConfirmed = false;
    QSet<QString> m_codePageNoticed;
};

} // namespace telvaro
