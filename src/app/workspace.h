#pragma once
// Everything the main window holds and shows, without the widgets: the
// message table, the entry panel's box texts, menu states, status panels,
// caption, link parameters and the process-wide flags. The window renders
// this state and forwards its events to the handlers here.

#include "app/menus.h"
#include "app/prompter.h"
#include "run/progress.h"
#include "table/messagetable.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <array>
#include <optional>

namespace telvaro {

class Link;
class SettingsStore;

enum class OperatingMode : qint16 { Test = 0, SignLoad = 1, ControllerLoad = 2 };

struct RegisterEntry {
    qint16 Width = 0; // character positions, 0 = not in use
    QByteArray Fill = QByteArrayLiteral(" ");
};
// Entries 1 to 31 are the controller's registers; entry 0 exists unused.
using RegisterTable = std::array<RegisterEntry, 32>;

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
    enum class Box { MessageNumber, Interval, Entry, Comment, RepeatCaption, HeaderLabel, RecData };
    Q_ENUM(Box)

    explicit Workspace(Prompter &prompter, QObject *parent = nullptr);

    Prompter &prompter() { return m_prompter; }
    // The one link to the device; closed between operations.
    Link &link() { return *m_link; }
    MessageTable &table() { return m_table; }
    Progress &progress() { return m_progress; }
    const MessageTable &table() const { return m_table; }

    // Entry panel boxes. Setting the interval box normalises its text the
    // way typing into it does.
    QString box(Box which) const { return m_boxes.value(which); }
    void setBox(Box which, const QString &text);
    bool repeatEnabled() const { return m_repeatEnabled; }
    void setRepeatEnabled(bool on) { m_repeatEnabled = on; }

    // Menu items and buttons by name ("MnuModeRun", "CmdQuickSend", ...).
    ItemState item(const QString &name) const { return m_items.value(name); }
    void setItem(const QString &name, ItemState state);
    void setItemEnabled(const QString &name, bool enabled);
    void setItemVisible(const QString &name, bool visible);
    void setItemChecked(const QString &name, bool checked);

    QString caption() const { return m_caption; }
    void setCaption(const QString &caption);
    // Status bar SBMain, panels 1 to 3.
    QString statusPanel(int panel) const { return m_status.value(panel); }
    void setStatusPanel(int panel, const QString &text);

    // Link parameters, held here from start-up to shutdown.
    qint16 PortNumber = 1;
    QString IpAddress;
    QString IpPort;
    QString BaudText;

    int Transmitting = 0;
    OperatingMode Mode = OperatingMode::Test;
    QByteArray AdpSerialAddress = QByteArrayLiteral("00");
    bool AdpLoadMode = false;
    int UploadState = 0;
    bool ShutdownConfirmed = false;
    RegisterTable Registers;

    static QString DefaultIpAddress() { return QStringLiteral("192.168.1.100"); }

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
    void SaveSettings(SettingsStore &settings, bool minimized, const WindowGeometry &geometry);

    void ResetRegisters();
    // Data-entry state of the menus, button, panels and Transmitting; closes
    // the link.
    void MnuModeData_Click();

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

    // Focus flags of the three boxes the clipboard commands act on, and the
    // box each command picks from them.
    bool EntryFocused = false;
    bool MessagesFocused = false;
    bool Ez95TextFocused = false;
    enum class ClipboardBox { None, Entry, Messages, Comment };
    ClipboardBox CopySource() const;
    ClipboardBox PasteTarget() const;

    static constexpr int DeleteKeyCode = 46;
    static constexpr int EnterKeyCode = 13;

Q_SIGNALS:
    void boxChanged(telvaro::Workspace::Box which);
    void itemChanged(const QString &name);
    void captionChanged();
    void statusPanelChanged(int panel);
    // The grid should make gridRow current and select columns first..last.
    void gridSelectionRequested(int gridRow, int firstColumn, int lastColumn);
    // The run's highlight of the entry being sent: the grid shows it without
    // running its selection handling.
    void gridHighlightRequested(int gridRow, int firstColumn, int lastColumn);

private:
    std::optional<int> StepTo(double target);

    Prompter &m_prompter;
    Link *m_link = nullptr;
    MessageTable m_table;
    Progress m_progress;
    QHash<Box, QString> m_boxes;
    bool m_repeatEnabled = false;
    QHash<QString, ItemState> m_items;
    QString m_caption = QStringLiteral("Telvaro");
    QHash<int, QString> m_status;
};

// "000"-style message number text.
QString MessageNumberText(qint64 number);
// A box's lenient value as a whole number, saturated to the 64-bit range.
qint64 LenientWhole(const QString &text);

} // namespace telvaro
