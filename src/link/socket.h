#pragma once
// The socket as the link needs it (TCP or UDP to one remote address), and
// its realisation on one QTcpSocket and one QUdpSocket that live as long as
// the service: they are closed and reused, never deleted under a caller.

#include "link/linkrules.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTcpSocket>
#include <QUdpSocket>
#include <memory>

namespace telvaro {

class SocketService : public QObject {
    Q_OBJECT
public:
    enum class Protocol { Tcp, Udp };
    using QObject::QObject;

    // False when the socket is not closed (state other than 0).
    virtual bool setProtocol(Protocol protocol) = 0;
    virtual void setRemoteHost(const QString &host) = 0;
    virtual void setRemotePort(quint16 port) = 0;
    // TCP: starts connecting in the background.
    virtual void connectToRemote() = 0;
    // The state code, 0 to 9.
    virtual int state() const = 0;
    // One byte per character. TCP signals sendComplete once all of it has
    // gone out. False when the socket refused the bytes.
    virtual bool send(const QByteArray &bytes) = 0;
    // Bytes taken by send and not yet handed to the system.
    virtual qint64 pendingBytes() const = 0;
    // Everything received and not yet taken.
    virtual QByteArray takeReceived() = 0;
    // Closes at once; bytes still pending are dropped (the system still
    // delivers what it was handed).
    virtual void close() = 0;
    // Ends the connection at once and drops what the system still holds
    // for the device, so that a cut frame never reaches it.
    virtual void reset() { close(); }
    // TCP, once everything was handed to the system: tells the device that
    // nothing more follows, while what it sends still arrives. Its close or
    // reset then shows in state() and peerReset(). Called again, it looks at
    // once for what the device did since. False where there is no
    // connection to end so.
    virtual bool endSending() { return false; }
    // Bytes handed to the system that the device has not acknowledged yet.
    virtual qint64 unacknowledgedBytes() const { return 0; }
    virtual QString errorString() const = 0;
    // The device reset the connection rather than closing it in order.
    virtual bool peerReset() const { return false; }

Q_SIGNALS:
    void dataArrival(qint64 bytesTotal);
    void sendComplete();
    // Some of the bytes pending were handed to the system.
    void progress();
    // A failure of an established socket, or the device closing or
    // resetting it (errorString() says which). A connection attempt that
    // fails shows as state 9 instead, for the connection check to report.
    void error(int number, const QString &description);
    void stateChanged();
};

class QtSocketService final : public SocketService {
    Q_OBJECT
public:
    explicit QtSocketService(QObject *parent = nullptr);
    ~QtSocketService() override;

    bool setProtocol(Protocol protocol) override;
    void setRemoteHost(const QString &host) override { m_host = host; }
    void setRemotePort(quint16 port) override { m_port = port; }
    void connectToRemote() override;
    int state() const override;
    bool send(const QByteArray &bytes) override;
    qint64 pendingBytes() const override;
    QByteArray takeReceived() override;
    void close() override;
    void reset() override;
    QString errorString() const override { return m_error; }
    bool peerReset() const override { return m_peerReset; }
    bool endSending() override;
    qint64 unacknowledgedBytes() const override;

    // The longest wait for a host name to resolve before a datagram goes out.
    static constexpr int LookupLimitMs = 5000;

private:
    void onError(QAbstractSocket *socket, QAbstractSocket::SocketError error);
    void onConnected();
    void releaseWatch();
    bool connectionWasReset() const;
    void onBytesWritten(qint64 count);
    void takeStream();
    void readEnding();
    void releaseEnding();
    void takeDatagrams();
    bool sendDatagram(const QByteArray &bytes);
    std::optional<QHostAddress> remoteAddress();

    QTcpSocket m_tcp;
    QUdpSocket m_udp;
    Protocol m_protocol = Protocol::Tcp;
    QString m_host;
    quint16 m_port = 0;
    bool m_failed = false;
    bool m_peerClosed = false;
    bool m_peerReset = false;
    bool m_everConnected = false;
    quint64 m_generation = 0;
    qint64 m_pending = 0;
    QByteArray m_received;
    QString m_error;
    // A second descriptor of the connection: the socket closes its own before
    // it reports the device's close, and only the kernel's state of the
    // connection tells a reset from an orderly close.
    int m_watch = -1;
    // The connection after the end of sending: Qt's socket cannot close one
    // direction only, so the copy carries it on.
    int m_ending = -1;
    std::unique_ptr<QSocketNotifier> m_endingNotifier;
    QString m_resolvedHost;
    QHostAddress m_resolved;
};

} // namespace telvaro
