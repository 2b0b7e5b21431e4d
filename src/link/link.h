#pragma once
// The one link to the device: serial port, TCP connection or UDP datagrams
// as the port number selects. Opened for each operation and closed after
// it. It reports its status every 100 ms, what a socket receives and the
// failures of an open link by signals.

#include "base/wait.h"
#include "link/linkrules.h"
#include "link/linksettings.h"
#include "link/serialport.h"
#include "link/socket.h"

#include <QObject>
#include <QTimer>
#include <functional>

namespace telvaro {

class Prompter;
class TransferState;

// What happens to an open link, for observers such as a transcript.
enum class LinkEvent {
    Opened,         // usable: the port open, the connection made
    ClosedByUs,     // closed at the end of an operation or to renew it
    ClosedByDevice, // the device closed the connection in order
    Reset,          // the connection was reset, by the device or by us
    Gone,           // the device or the connection failed
};
// "opened", "closed by us", "closed by the device", "reset", "gone".
QString LinkEventText(LinkEvent event);

// The result of one write.
struct SendResult {
    enum class Status { Sent, NotSent, Failed };
    Status status = Status::Sent;
    // What panel 2 shows: the bytes sent, or "Port Not Open".
    QByteArray shown;
};

class Link : public QObject {
    Q_OBJECT
public:
    Link(const TransferState &transfer, Prompter &prompter, QObject *parent = nullptr);

    // The built-in services on QSerialPort and the Qt sockets.
    QtSerialPortService &builtinSerial() { return m_builtinSerial; }
    QtSocketService &builtinSocket() { return m_builtinSocket; }
    // Another realisation of the services; only while the link is closed.
    // The services must outlive their use here.
    void useServices(SerialPortService &serial, SocketService &socket);
    SerialPortService &serial() const { return *m_serial; }
    SocketService &socket() const { return *m_socket; }

    // The parameters the next OpenLink uses and the status line shows.
    // Also rereads which device panel 1 names.
    void setSettings(const LinkSettings &settings);
    const LinkSettings &settings() const { return m_settings; }
    // The kind the current port number selects.
    LinkKind kind() const;

    // The device the serial port number stands for now, as the next
    // OpenLink opens it; empty where the serial service does not tell.
    QString serialDevice();
    // Prepares and opens the link; Serial and Tcp wait for it. False on a
    // failure to open (lastError() says why), which callers report.
    bool OpenLink();
    // Serial and Tcp: shows "Unable to connect!" when the link is not usable,
    // with the reason on the next line.
    bool CheckLink();
    // Writes bytes on the link opened last. A serial or TCP send waits until
    // the bytes are handed to the system, for as long as the device keeps
    // taking them; one it takes nothing of for SendWaitLimitMs is not sent.
    SendResult SendOnLink(const QByteArray &bytes);
    // Closes the link, waits, and opens it again without waiting for a
    // connection (serial and TCP; UDP has nothing to renew). Nothing is
    // reopened when `Transmitting` fell to 0 meanwhile. False when the port
    // did not open again (lastError() says why); a new connection that is
    // refused later is reported as a failure of the link.
    bool Reconnect(int pauseMs);
    // Gives bytes still queued on a connection a bounded time to go out.
    // Returns how many did not; the connection is then reset, so that no
    // cut frame reaches the device later.
    qint64 DrainLink();
    // TCP, once nothing is queued: ends the connection in order (no more to
    // send), waits for the device to acknowledge every byte (as long as it
    // keeps taking them) and gives it until CloseWaitMs after that to close
    // or reset the connection. False, with lastError(), when it reset it
    // (what it had not read yet was lost) or took nothing for
    // SendWaitLimitMs. A device that keeps the connection open took all.
    bool EndSending();
    // The device reset the connection since the link was opened.
    bool deviceReset() const { return m_deviceReset; }
    // Why a link that should be open is gone (its report may still be on
    // its way); empty while it is usable.
    QString lossReason() const;
    // Bytes written on the open link and not yet handed to the device.
    qint64 pendingBytes() const;
    // Closes port and socket, whatever their state, at once.
    void CloseLink();
    QString lastError() const { return m_error; }
    // Why the connection check failed: the socket's own reason, or the wait
    // that ran out.
    QString connectionFailureReason() const;

    qint16 SendDone = 1;

    void TmrCheck_Timer();
    void WskMain_DataArrival(qint64 bytesTotal);
    void WskMain_Error(int number, const QString &description);
    void WskMain_SendComplete() { SendDone = 1; }

    static constexpr int ConnectWaits = 20;
    static constexpr int ConnectWaitMs = 500;
    // A send whose device takes nothing for this long is given up, and a TCP
    // connection with it.
    static constexpr int SendWaitLimitMs = 30000;
    // How long after the last send the device gets to close or reset the
    // connection.
    static constexpr int CloseWaitMs = 1000;
    // How often the end of a connection looks whether the device has
    // acknowledged more.
    static constexpr int AcknowledgeLookMs = 20;
    // How long queued bytes get to go out when an operation ends.
    static constexpr int DrainLimitMs = 10000;
    static constexpr int StatusIntervalMs = 100;

Q_SIGNALS:
    // Status panel 1, every 100 ms.
    void statusText(const QString &text);
    // One arrival as the received-data box shows it; complete is false when
    // fewer bytes came than announced.
    void received(const QString &display, bool complete);
    // The socket failed or the serial device went away.
    void linkFailed(const QString &description);
    // The device closed or reset the connection: no failure of the link as
    // such, but nothing more reaches the device on it.
    void deviceClosed(const QString &description);
    // Every chunk as it goes to the device and as it comes from it, and what
    // happens to the link; the link itself keeps no record of them.
    void transmitted(const QByteArray &bytes);
    void arrived(const QByteArray &bytes);
    void linkEvent(telvaro::LinkEvent event, const QString &detail);

private:
    void connectServices();
    SendResult sendTcp(const QByteArray &bytes);
    SendResult sendSerial(const QByteArray &bytes);
    bool waitForHandover(const std::function<bool()> &done);
    QString tookNoDataText(const QString &consequence) const;
    bool fail(const QString &reason);
    SendResult refused(const QString &reason);
    void onSocketStateChanged();
    void note(LinkEvent event, const QString &detail);
    QString remoteText() const;
    void resetSocket(const QString &why);

    const TransferState &m_transfer;
    Prompter &m_prompter;
    LinkSettings m_settings;
    // What panel 1 adds for an assigned device with a stable name.
    QString m_statusDevice;
    QtSerialPortService m_builtinSerial;
    QtSocketService m_builtinSocket;
    SerialPortService *m_serial = &m_builtinSerial;
    SocketService *m_socket = &m_builtinSocket;
    QList<QMetaObject::Connection> m_connections;
    QTimer m_tmrCheck;
    LinkKind m_openedKind = LinkKind::Serial;
    // A reconnection is under way that nobody waits for.
    bool m_reconnecting = false;
    // Observers were told that the link opened, and nothing that ended it.
    bool m_announcedOpen = false;
    bool m_deviceReset = false;
    // When the last bytes were handed to the system.
    MonotonicClock::time_point m_lastSent;
    QString m_error;
};

} // namespace telvaro
