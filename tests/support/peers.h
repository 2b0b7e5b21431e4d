#pragma once
// In-process devices for end-to-end tests: a listening TCP peer, a UDP peer
// and a pseudo-terminal, each reporting what it receives and able to answer.
// They run on the test's own event loop, so they act while the code under
// test waits.

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>
#include <functional>

class QSocketNotifier;

namespace telvaro::test {

class TcpPeer : public QObject {
    Q_OBJECT
public:
    TcpPeer();
    quint16 port() const { return m_server.serverPort(); }
    // Stop listening: connections to the port are refused from now on.
    void stopListening() { m_server.close(); }

    QByteArray received;
    int connections = 0;
    int disconnections = 0;
    // Milliseconds since construction of the last receipt and disconnect.
    qint64 receivedAt = -1;
    qint64 disconnectedAt = -1;
    // Called after each chunk (and after each accepted connection with an
    // empty chunk).
    std::function<void(TcpPeer &, const QByteArray &)> onReceive;
    // Stop reading (the socket's buffers fill up) on new connections.
    bool stallReading = false;

    void reply(const QByteArray &bytes);
    // The device goes away: a reset (abort) or an orderly close.
    void dropConnection(bool reset);
    // A stalled device starts reading again.
    void resumeReading();

private:
    QTcpServer m_server;
    QPointer<QTcpSocket> m_socket;
    QElapsedTimer m_clock;
};

class UdpPeer : public QObject {
    Q_OBJECT
public:
    UdpPeer();
    quint16 port() const { return m_socket.localPort(); }
    QList<QByteArray> datagrams;
    std::function<void(UdpPeer &, const QByteArray &)> onReceive;
    // Answers the sender of the last datagram.
    void reply(const QByteArray &bytes);

private:
    QUdpSocket m_socket;
    QHostAddress m_sender;
    quint16 m_senderPort = 0;
};

class PtyPeer : public QObject {
    Q_OBJECT
public:
    PtyPeer();
    ~PtyPeer() override;
    QString devicePath() const { return m_path; }
    std::function<void(PtyPeer &, const QByteArray &)> onReceive;
    void reply(const QByteArray &bytes);
    // The device disappears: both ends of the terminal are closed.
    void vanish();
    // The output speed the terminal is set to now (a termios speed_t).
    unsigned outputSpeed() const;

private:
    void readMaster();

    int m_master = -1;
    int m_slave = -1;
    QString m_path;
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace telvaro::test
