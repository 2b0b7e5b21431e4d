#pragma once
// How the simulated device is reached: a listening TCP port, a UDP port, or
// a pseudo-terminal that stands in for a serial device. Besides answering,
// a device can misbehave the ways real ones do: stop reading, drop its
// connection, vanish.

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>

class QSocketNotifier;
class QTcpServer;
class QTcpSocket;
class QUdpSocket;

namespace telvaro::devsim {

class Transport : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Empty once the device can be reached; otherwise the reason it cannot.
    virtual QString start() = 0;
    // Where the device can be reached, printed once it is.
    virtual QString description() const = 0;
    // Sends bytes back to where the last chunk came from.
    void reply(const QByteArray &bytes)
    {
        if (transmit(bytes))
            Q_EMIT sent(bytes);
    }
    // Bytes sent that the other end has not taken yet, where the device
    // holds them itself; a device that floods the link keeps to its pace.
    virtual qsizetype queued() const { return 0; }

Q_SIGNALS:
    void chunkReceived(const QByteArray &chunk);
    void sent(const QByteArray &bytes);
    // A TCP connection came or went; peer is "address:port".
    void connected(const QString &peer);
    void disconnected(const QString &peer);

protected:
    // False when there was nobody to send to or the bytes did not go out.
    virtual bool transmit(const QByteArray &bytes) = 0;
};

class TcpTransport : public Transport {
    Q_OBJECT
public:
    TcpTransport(const QHostAddress &host, quint16 port, QObject *parent = nullptr);
    QString start() override;
    QString description() const override;
    quint16 port() const;
    // Connections to the port are refused from now on.
    void stopListening();
    // The device stops reading, so what is sent piles up with the sender;
    // connections made from now on get a small receive window.
    void stallReading();
    void resumeReading();
    // The device leaves its latest connection: a reset (abort) or an orderly close.
    void dropConnection(bool reset);

protected:
    bool transmit(const QByteArray &bytes) override;

private:
    void accept();
    void take(QTcpSocket *socket);

    QHostAddress m_host;
    quint16 m_port;
    QTcpServer *m_server;
    QPointer<QTcpSocket> m_last;
    bool m_stalled = false;
};

class UdpTransport : public Transport {
    Q_OBJECT
public:
    UdpTransport(const QHostAddress &host, quint16 port, QObject *parent = nullptr);
    QString start() override;
    QString description() const override;
    quint16 port() const;

protected:
    bool transmit(const QByteArray &bytes) override;

private:
    void takeDatagrams();

    QHostAddress m_host;
    quint16 m_port;
    QUdpSocket *m_socket;
    QHostAddress m_peer;
    quint16 m_peerPort = 0;
};

// A pseudo-terminal: the program opens its device path as a serial port.
class PtyTransport : public Transport {
    Q_OBJECT
public:
    // linkPath: an optional symbolic link to the device, removed at the end.
    // A path that exists is refused, unless it is a link to a device that is
    // gone (left by a simulator that was killed).
    explicit PtyTransport(const QString &linkPath, QObject *parent = nullptr);
    ~PtyTransport() override;
    QString start() override;
    QString description() const override;
    QString devicePath() const { return m_devicePath; }
    // The device disappears: both ends of the terminal are closed.
    void vanish();
    // The output speed the program has set the terminal to (a termios speed_t).
    unsigned outputSpeed() const;
    qsizetype queued() const override { return m_outgoing.size(); }
    // Why linkPath cannot become the device's link, or empty when it can.
    static QString LinkPathProblem(const QString &linkPath);

protected:
    bool transmit(const QByteArray &bytes) override;

private:
    void readMaster();
    // Writes what is queued until the terminal's buffer is full; the rest
    // waits for the terminal to take more. False when the terminal fails.
    bool writeQueued();

    QString m_linkPath;
    QString m_devicePath;
    int m_master = -1;
    int m_slave = -1;
    QSocketNotifier *m_notifier = nullptr;
    QSocketNotifier *m_writable = nullptr;
    QByteArray m_outgoing;
};

} // namespace telvaro::devsim
