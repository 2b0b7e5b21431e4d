#pragma once
// The frame every operation on the link runs inside (quick send, run, the
// loads and the upload): it refuses to start while another operation holds
// the link, disables the commands that would start one, sets
// `Transmitting`, opens and checks the link, writes with the traffic panel,
// and ends in every case the one way its kind ends, with a typed outcome.

#include "base/items.h"
#include "link/linelock.h"
#include "link/link.h"

#include <QObject>
#include <QString>
#include <functional>

namespace telvaro {

class MenuState;
class Progress;
class Prompter;
class StatusPanels;
class TransferState;

struct OperationOutcome {
    enum class Ending {
        Done,
        Stopped,          // by the operator ("&Data Entry")
        Refused,          // another operation held the link or the serial line, or the command was disabled
        ConnectionFailed, // the link could not be opened or was not usable
        Failed,           // reason says why
    };
    Ending ending = Ending::Done;
    QString reason;
    // Frames written whole, and those that could not be ("Port Not Open",
    // a send out of time).
    int framesSent = 0;
    int framesNotSent = 0;
    // Frames still due when the link went, which were never tried.
    int framesNotTried = 0;
    // Bytes still queued for the device when the link closed.
    qint64 bytesNotSent = 0;
    // The socket failed, the device closed or reset the connection, or the
    // serial device went away, before the operation was through.
    bool linkDropped = false;
    // What the device is left with where an ending changed it ("The sign's
    // memory was erased; ..."), or empty.
    QString deviceState;
    // The operator has been shown the message (and reason) of this ending.
    bool told = false;

    // Every frame went out and the operation ran to its end.
    bool complete() const { return ending == Ending::Done && framesNotSent == 0 && bytesNotSent == 0 && !linkDropped; }
};

// What went wrong, one line each: the reason, the frames not sent, the bytes
// left queued, what the device is left with. Empty for a complete outcome.
QStringList OutcomeDetails(const OperationOutcome &outcome);

// What the operations share with the window: menus, flags, panels, the
// progress window, the link and the prompter; and the data-entry command
// that ends them.
class Operations : public QObject {
    Q_OBJECT
public:
    Operations(MenuState &menus, TransferState &transfer, StatusPanels &panels, Progress &progress, Link &link,
               Prompter &prompter, QObject *parent = nullptr);

    MenuState &menus() { return m_menus; }
    TransferState &transfer() { return m_transfer; }
    StatusPanels &panels() { return m_panels; }
    Progress &progress() { return m_progress; }
    Link &link() { return m_link; }
    Prompter &prompter() { return m_prompter; }

    // "&Data Entry": ends whatever uses the link, closes it and restores the
    // menus.
    void MnuModeData_Click();
    // An operation holds the link from its start to its end; its waits end
    // as soon as "&Data Entry" is chosen or the link goes.
    bool holdsLink() const { return m_held; }
    // A serial line held by another process: wait for it (until the
    // operator stops) instead of refusing at once.
    void setWaitForLine(bool wait) { m_waitForLine = wait; }
    // How often a waiting operation looks whether the line is free.
    static constexpr int LineLookMs = 50;

private:
    friend class OperationFrame;
    void onLinkFailed(const QString &description);
    void onDeviceClosed(const QString &description);
    void noteDrop(const QString &description);

    MenuState &m_menus;
    TransferState &m_transfer;
    StatusPanels &m_panels;
    Progress &m_progress;
    Link &m_link;
    Prompter &m_prompter;
    bool m_held = false;
    bool m_heldByQuickSend = false;
    bool m_stopRequested = false;
    // The link is being opened and checked: the check tells what the device did.
    bool m_checking = false;
    bool m_linkDropped = false;
    qint64 m_droppedPending = 0;
    QString m_dropReason;
    bool m_waitForLine = false;
    // The serial line, held from before the first open to the end.
    LineLock m_line;
};

class OperationFrame {
public:
    // Transfers end through data entry; a quick send closes the link itself,
    // restores its controls and leaves `Transmitting` as it is.
    enum class Style { Transfer, QuickSend };

    OperationFrame(Operations &operations, Item entry, Style style);
    ~OperationFrame();
    OperationFrame(const OperationFrame &) = delete;
    OperationFrame &operator=(const OperationFrame &) = delete;

    // Takes the link and marks the controls; false (outcome Refused) when
    // the command is disabled or another operation holds the link, which
    // the operator is told.
    bool start();
    // OpenLink and, for serial and TCP, CheckLink. On a failure to open it
    // shows openFailureMessage, which is also the message of every later
    // ending that did not deliver; either failure ends the operation.
    bool connect(const QString &openFailureMessage);
    // SendOnLink, with the bytes (or "Port Not Open") in panel 2. Failed
    // when the link refused the bytes: the caller fails the operation. With
    // shownLater, panel 2 is left to showTraffic, for a protocol that shows
    // a frame once its reply came or its link was renewed.
    SendResult::Status send(const QByteArray &bytes, QByteArray *shownLater = nullptr);
    void showTraffic(const QByteArray &shown);
    // A frame written straight to the serial port (an upload's requests)
    // counts among the frames sent.
    void countWritten() { ++m_outcome.framesSent; }
    // "&Data Entry" was chosen or the link failed since the start. Asked
    // where the operation still had something to do, so a failed link
    // counts as an ending that did not deliver.
    bool stopped();
    // The operation ended with frames still due: counted as not sent where
    // the link went, not where the operator stopped.
    void leaveUntried(int frames);
    // What the device is left with, asked at an ending that did not
    // deliver; empty while the device is as it was.
    void tellDeviceState(std::function<QString()> state) { m_deviceState = std::move(state); }

    // The operation's own end. One that did not deliver what it was asked
    // to, other than by the operator's stop, is told once data entry has
    // closed the link: the operation's message and the details below it.
    OperationOutcome finish();
    // Shows message (when not empty) and ends with reason.
    OperationOutcome fail(const QString &message, const QString &reason);
    // The operation's own message with reason on the next line.
    OperationOutcome failWithReason(const QString &reason);
    const OperationOutcome &outcome() const { return m_outcome; }

private:
    void markTransmitting();
    bool takeLine();
    void end(bool resetTraffic);
    void release();

    Operations &m_ops;
    Item m_entry;
    Style m_style;
    QString m_failureText;
    std::function<QString()> m_deviceState;
    OperationOutcome m_outcome;
    bool m_holding = false;
    bool m_ended = false;
};

} // namespace telvaro
