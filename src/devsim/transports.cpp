#include "devsim/transports.h"

#include <QFile>
#include <QNetworkDatagram>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace telvaro::devsim {

namespace {
QString endpoint(const QHostAddress &host, quint16 port)
{
    return QStringLiteral("%1:%2").arg(host.toString()).arg(port);
}
} // namespace

TcpTransport::TcpTransport(const QHostAddress &host, quint16 port, QObject *parent)
    : Transport(parent), m_host(host), m_port(port), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &TcpTransport::accept);
}

bool TcpTransport::start(QString &error)
{
    if (m_server->listen(m_host, m_port))
        return true;
    error = m_server->errorString();
    return false;
}

QString TcpTransport::description() const
{
    return QStringLiteral("listening tcp ") + endpoint(m_server->serverAddress(), m_server->serverPort());
}

bool TcpTransport::transmit(const QByteArray &bytes)
{
    return m_last && m_last->state() == QAbstractSocket::ConnectedState && m_last->write(bytes) == bytes.size();
}

void TcpTransport::accept()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        const QString peer = endpoint(socket->peerAddress(), socket->peerPort());
        Q_EMIT event(QStringLiteral("connected ") + peer);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            m_last = socket;
            const QByteArray chunk = socket->readAll();
            if (!chunk.isEmpty())
                Q_EMIT received(chunk);
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket, peer] {
            Q_EMIT event(QStringLiteral("disconnected ") + peer);
            socket->deleteLater();
        });
    }
}

UdpTransport::UdpTransport(const QHostAddress &host, quint16 port, QObject *parent)
    : Transport(parent), m_host(host), m_port(port), m_socket(new QUdpSocket(this))
{
    connect(m_socket, &QUdpSocket::readyRead, this, &UdpTransport::takeDatagrams);
}

bool UdpTransport::start(QString &error)
{
    if (m_socket->bind(m_host, m_port))
        return true;
    error = m_socket->errorString();
    return false;
}

QString UdpTransport::description() const
{
    return QStringLiteral("listening udp ") + endpoint(m_socket->localAddress(), m_socket->localPort());
}

bool UdpTransport::transmit(const QByteArray &bytes)
{
    return m_peerPort != 0 && m_socket->writeDatagram(bytes, m_peer, m_peerPort) == bytes.size();
}

void UdpTransport::takeDatagrams()
{
    while (m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram();
        m_peer = datagram.senderAddress();
        m_peerPort = quint16(datagram.senderPort());
        Q_EMIT received(datagram.data());
    }
}

PtyTransport::PtyTransport(const QString &linkPath, QObject *parent) : Transport(parent), m_linkPath(linkPath) {}

PtyTransport::~PtyTransport()
{
#ifdef Q_OS_UNIX
    if (!m_linkPath.isEmpty() && !m_devicePath.isEmpty())
        QFile::remove(m_linkPath);
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
#endif
}

bool PtyTransport::start(QString &error)
{
#ifdef Q_OS_UNIX
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    const char *name = ::ptsname(m_master);
    if (!name) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    // Holding the device open keeps the terminal from hanging up each time
    // the program closes its port; raw mode passes every byte unchanged.
    m_slave = ::open(name, O_RDWR | O_NOCTTY);
    termios tio{};
    if (m_slave < 0 || ::tcgetattr(m_slave, &tio) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    ::cfmakeraw(&tio);
    ::tcsetattr(m_slave, TCSANOW, &tio);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_devicePath = QString::fromLocal8Bit(name);
    if (!m_linkPath.isEmpty()) {
        QFile::remove(m_linkPath);
        if (!QFile::link(m_devicePath, m_linkPath)) {
            error = QStringLiteral("cannot create the link %1").arg(m_linkPath);
            m_devicePath.clear();
            return false;
        }
    }
    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PtyTransport::readMaster);
    return true;
#else
    error = QStringLiteral("pseudo-terminals are not available on this platform");
    return false;
#endif
}

QString PtyTransport::description() const
{
    QString text = QStringLiteral("device ") + m_devicePath;
    if (!m_linkPath.isEmpty())
        text += QStringLiteral(" link ") + m_linkPath;
    return text;
}

bool PtyTransport::transmit(const QByteArray &bytes)
{
#ifdef Q_OS_UNIX
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
#else
    Q_UNUSED(bytes);
    return false;
#endif
}

void PtyTransport::readMaster()
{
#ifdef Q_OS_UNIX
    QByteArray chunk;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        chunk.append(buffer, n);
    }
    if (!chunk.isEmpty())
        Q_EMIT received(chunk);
#endif
}

} // namespace telvaro::devsim
