#pragma once
// The one link of the main window: serial port, TCP connection or UDP
// datagrams as the port number selects. Opened for each operation and
// closed after it; its status is written to panel 1 every 100 ms and the
// bytes a socket receives are shown in the received-data box.

#include "link/linkrules.h"
#include "link/serialport.h"
#include "link/socket.h"

#include <QObject>
#include <QTimer>
#include <optional>

namespace telvaro {

class Workspace;

class Link : public QObject {
    Q_OBJECT
public:
    explicit Link(Workspace &workspace);

    // The built-in services on QSerialPort and the Qt sockets.
    QtSerialPortService &builtinSerial() { return m_builtinSerial; }
    QtSocketService &builtinSocket() { return m_builtinSocket; }
    // Another realisation of the services; only while no operation holds
    // the link. The services must outlive their use here.
    void useServices(SerialPortService &serial, SocketService &socket);
    SerialPortService &serial() const { return *m_serial; }
    SocketService &socket() const { return *m_socket; }

    // The kind the current port number selects.
    LinkKind kind() const;

    // Prepares and opens the link; Serial and Tcp wait for it. False on a
    // failure to open (lastError() says why), which callers report.
    bool OpenLink();
    // Serial and Tcp: shows "Unable to connect!" when the link is not usable.
    bool CheckLink();
    // The text to show in panel 2: the text sent, or "Port Not Open". Empty
    // optional when the link refused the bytes (a failure to report).
    std::optional<QByteArray> SendOnLink(const QByteArray &text);
    // Closes port and socket, whatever their state.
    void CloseLink();
    QString lastError() const { return m_error; }

    qint16 SendDone = 1;

    void TmrCheck_Timer();
    void WskMain_DataArrival(qint64 bytesTotal);
    void WskMain_Error(int number, const QString &description);
    void WskMain_SendComplete() { SendDone = 1; }

    // An operation (quick send, run, load) holds the link from its start to
    // its end; a second one must not start inside the first one's waits.
    bool busy() const { return m_busy; }

    static constexpr int ConnectWaits = 20;
    static constexpr int ConnectWaitMs = 500;
    // A TCP send that neither completes nor fails is given up after this.
    static constexpr int SendWaitLimitMs = 30000;
    static constexpr int StatusIntervalMs = 100;

Q_SIGNALS:
    // The socket failed or the serial device went away; the operation using
    // the link has been ended through data entry.
    void linkFailed(const QString &description);

private:
    friend class LinkHold;
    void connectServices();
    void waitForSendDone();
    // A socket error or a serial device that went away.
    void endOnFailure(const QString &description);
    bool fail(const QString &reason);

    Workspace &m_ws;
    QtSerialPortService m_builtinSerial;
    QtSocketService m_builtinSocket;
    SerialPortService *m_serial = &m_builtinSerial;
    SocketService *m_socket = &m_builtinSocket;
    QList<QMetaObject::Connection> m_connections;
    QTimer m_tmrCheck;
    LinkKind m_openedKind = LinkKind::Serial;
    QString m_error;
    bool m_busy = false;
};

// Marks an operation as holding the link for its lifetime.
class LinkHold {
public:
    explicit LinkHold(Link &link) : m_link(link), m_acquired(!link.m_busy) { link.m_busy = true; }
    ~LinkHold()
    {
        if (m_acquired)
            m_link.m_busy = false;
    }
    LinkHold(const LinkHold &) = delete;
    LinkHold &operator=(const LinkHold &) = delete;
    // False when another operation already held the link.
    bool acquired() const { return m_acquired; }

private:
    Link &m_link;
    bool m_acquired;
};

} // namespace telvaro
