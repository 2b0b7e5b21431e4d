#include "peers.h"

#include <QNetworkDatagram>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace telvaro::test {

TcpPeer::TcpPeer()
{
    m_clock.start();
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *s = m_server.nextPendingConnection()) {
            ++connections;
            m_socket = s;
            if (stallReading) {
                // A small window keeps the system from taking in what the
                // device does not read.
                s->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 64 * 1024);
                s->setReadBufferSize(1);
            }
            connect(s, &QTcpSocket::readyRead, this, [this, s] {
                if (stallReading)
                    return;
                const QByteArray chunk = s->readAll();
                received += chunk;
                receivedAt = m_clock.elapsed();
                if (onReceive)
                    onReceive(*this, chunk);
            });
            connect(s, &QTcpSocket::disconnected, this, [this, s] {
                ++disconnections;
                disconnectedAt = m_clock.elapsed();
                s->deleteLater();
            });
            if (onReceive)
                onReceive(*this, {});
        }
    });
}

void TcpPeer::reply(const QByteArray &bytes)
{
    if (m_socket)
        m_socket->write(bytes);
}

void TcpPeer::resumeReading()
{
    stallReading = false;
    if (!m_socket)
        return;
    m_socket->setReadBufferSize(0);
    Q_EMIT m_socket->readyRead();
}

void TcpPeer::dropConnection(bool reset)
{
    if (!m_socket)
        return;
    if (reset)
        m_socket->abort();
    else
        m_socket->disconnectFromHost();
}

UdpPeer::UdpPeer()
{
    m_socket.bind(QHostAddress::LocalHost, 0);
    connect(&m_socket, &QUdpSocket::readyRead, this, [this] {
        while (m_socket.hasPendingDatagrams()) {
            const QNetworkDatagram d = m_socket.receiveDatagram();
            m_sender = d.senderAddress();
            m_senderPort = quint16(d.senderPort());
            datagrams.append(d.data());
            if (onReceive)
                onReceive(*this, d.data());
        }
    });
}

void UdpPeer::reply(const QByteArray &bytes)
{
    if (m_senderPort)
        m_socket.writeDatagram(bytes, m_sender, m_senderPort);
}

PtyPeer::PtyPeer()
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        vanish();
        return;
    }
    m_path = QString::fromLocal8Bit(::ptsname(m_master));
    // Holding one end open keeps the terminal from hanging up between the
    // program's opens; raw mode passes every byte unchanged.
    m_slave = ::open(::ptsname(m_master), O_RDWR | O_NOCTTY);
    termios tio{};
    if (m_slave < 0 || ::tcgetattr(m_slave, &tio) != 0) {
        vanish();
        return;
    }
    ::cfmakeraw(&tio);
    ::tcsetattr(m_slave, TCSANOW, &tio);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PtyPeer::readMaster);
}

PtyPeer::~PtyPeer()
{
    vanish();
}

void PtyPeer::readMaster()
{
    QByteArray chunk;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        chunk.append(buffer, n);
    }
    if (!chunk.isEmpty() && onReceive)
        onReceive(*this, chunk);
}

void PtyPeer::reply(const QByteArray &bytes)
{
    if (m_master >= 0) {
        [[maybe_unused]] const auto n = ::write(m_master, bytes.constData(), size_t(bytes.size()));
    }
}

void PtyPeer::vanish()
{
    delete m_notifier;
    m_notifier = nullptr;
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = m_master = -1;
}

unsigned PtyPeer::outputSpeed() const
{
    termios tio{};
    if (m_slave < 0 || ::tcgetattr(m_slave, &tio) != 0)
        return 0;
    return unsigned(::cfgetospeed(&tio));
}

} // namespace telvaro::test
