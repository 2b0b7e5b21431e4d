#include "devsim/transports.h"

#include "link/linelock.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkDatagram>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

#ifdef Q_OS_WIN
#include <winsock2.h>
#endif

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>
#include <vector>
#endif

namespace telvaro::devsim {

namespace {
QString endpoint(const QHostAddress &host, quint16 port)
{
    return QStringLiteral("%1:%2").arg(host.toString()).arg(port);
}

#ifdef Q_OS_UNIX
QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}
#endif
} // namespace

TcpTransport::TcpTransport(const QHostAddress &host, quint16 port, QObject *parent)
    : Transport(parent), m_host(host), m_port(port), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &TcpTransport::accept);
}

QString TcpTransport::start()
{
    return m_server->listen(m_host, m_port) ? QString() : m_server->errorString();
}

QString TcpTransport::description() const
{
    return QStringLiteral("listening tcp ") + endpoint(m_server->serverAddress(), port());
}

quint16 TcpTransport::port() const
{
    return m_server->serverPort();
}

void TcpTransport::stopListening()
{
    m_server->close();
}

void TcpTransport::stallReading()
{
    m_stalled = true;
}

void TcpTransport::resumeReading()
{
    m_stalled = false;
    if (!m_last)
        return;
    m_last->setReadBufferSize(0);
    take(m_last);
}

void TcpTransport::pace(qint64 bytes, int everyMs)
{
    m_paceBytes = bytes;
    m_paceMs = everyMs;
    if (everyMs <= 0 || m_paceTimer)
        return;
    m_paceTimer = new QTimer(this);
    connect(m_paceTimer, &QTimer::timeout, this, &TcpTransport::takePaced);
    m_paceTimer->start(everyMs);
}

void TcpTransport::takePaced()
{
    if (!m_last || m_stalled)
        return;
    const QByteArray chunk = m_last->read(m_paceBytes);
    if (!chunk.isEmpty())
        Q_EMIT chunkReceived(chunk);
}

void TcpTransport::dropConnection(bool reset)
{
    if (!m_last)
        return;
    if (reset) {
        // A zero linger turns the close into a reset, as a device that
        // restarts or crashes gives.
        const linger now = {1, 0};
        ::setsockopt(int(m_last->socketDescriptor()), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char *>(&now),
                     sizeof now);
        m_last->abort();
    } else
        m_last->disconnectFromHost();
}

bool TcpTransport::transmit(const QByteArray &bytes)
{
    return m_last && m_last->state() == QAbstractSocket::ConnectedState && m_last->write(bytes) == bytes.size();
}

void TcpTransport::accept()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        m_last = socket;
        if (m_stalled) {
            // A small window keeps the system from taking in what the
            // device does not read.
            socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 64 * 1024);
            socket->setReadBufferSize(1);
        }
        // A full read buffer takes nothing more from the system.
        if (m_paceBytes > 0) {
            socket->setReadBufferSize(m_paceBytes);
            m_taken = 0;
        }
        const QString peer = endpoint(socket->peerAddress(), socket->peerPort());
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { take(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket, peer] {
            Q_EMIT disconnected(peer);
            socket->deleteLater();
        });
        Q_EMIT connected(peer);
    }
}

void TcpTransport::take(QTcpSocket *socket)
{
    if (m_stalled)
        return;
    m_last = socket;
    if (m_paceBytes > 0) {
        if (m_paceMs > 0)
            return;
        // The first bytes are seen and stay in the buffer, which holds no more.
        const QByteArray seen = socket->peek(m_paceBytes);
        if (seen.size() > m_taken)
            Q_EMIT chunkReceived(seen.mid(m_taken));
        m_taken = seen.size();
        return;
    }
    const QByteArray chunk = socket->readAll();
    if (!chunk.isEmpty())
        Q_EMIT chunkReceived(chunk);
}

UdpTransport::UdpTransport(const QHostAddress &host, quint16 port, QObject *parent)
    : Transport(parent), m_host(host), m_port(port), m_socket(new QUdpSocket(this))
{
    connect(m_socket, &QUdpSocket::readyRead, this, &UdpTransport::takeDatagrams);
}

QString UdpTransport::start()
{
    return m_socket->bind(m_host, m_port) ? QString() : m_socket->errorString();
}

QString UdpTransport::description() const
{
    return QStringLiteral("listening udp ") + endpoint(m_socket->localAddress(), port());
}

quint16 UdpTransport::port() const
{
    return m_socket->localPort();
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
        Q_EMIT chunkReceived(datagram.data());
    }
}

PtyTransport::PtyTransport(const QString &linkPath, QObject *parent) : Transport(parent), m_linkPath(linkPath) {}

PtyTransport::~PtyTransport()
{
    // Only a link that still leads to this device is this device's to remove.
    if (!m_linkPath.isEmpty() && !m_devicePath.isEmpty() && QFileInfo(m_linkPath).symLinkTarget() == m_devicePath)
        QFile::remove(m_linkPath);
    vanish();
}

QString PtyTransport::LinkPathProblem(const QString &linkPath)
{
    const QFileInfo info(linkPath);
    if (!info.isSymLink())
        return info.exists() ? QStringLiteral("%1 exists and is not a link to a device").arg(linkPath) : QString();
    const QString target = info.symLinkTarget();
    if (QFileInfo::exists(target))
        return QStringLiteral("%1 leads to %2, which is in use (another simulator?)").arg(linkPath, target);
    // What a simulator that was killed leaves behind: a link into /dev to a
    // terminal that is gone.
    if (!target.startsWith(QLatin1String("/dev/")))
        return QStringLiteral("%1 is a link to %2, not to a device").arg(linkPath, target);
    return {};
}

namespace {

bool LineHeld(const QString &device)
{
    QFile lock(LineLockPath(device));
    return lock.open(QIODevice::ReadOnly) && FlockHolder(lock.handle()) > 0;
}

} // namespace

QString PtyTransport::start()
{
#ifdef Q_OS_UNIX
    // Checked before this device's terminal exists, which may take the
    // number of the one a dangling link names.
    if (!m_linkPath.isEmpty()) {
        if (const QString problem = LinkPathProblem(m_linkPath); !problem.isEmpty())
            return problem;
    }
    // An operation whose earlier terminal of the same number went away
    // while it had the port closed between two steps still holds that
    // number's line: a program given this terminal would be told it is in
    // use. Such a number is passed over, held until a free one is found so
    // that it is not handed out again at once.
    std::vector<int> passedOver;
    const char *name = nullptr;
    for (;;) {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0 || !(name = ::ptsname(m_master)))
            break;
        if (passedOver.size() >= 16 || !LineHeld(QString::fromLocal8Bit(name)))
            break;
        passedOver.push_back(m_master);
    }
    for (const int skipped : passedOver)
        ::close(skipped);
    if (!name)
        return systemError();
    // Holding the device open keeps the terminal from hanging up each time
    // the program closes its port; raw mode passes every byte unchanged.
    m_slave = ::open(name, O_RDWR | O_NOCTTY);
    termios tio{};
    if (m_slave < 0 || ::tcgetattr(m_slave, &tio) != 0)
        return systemError();
    ::cfmakeraw(&tio);
    ::tcsetattr(m_slave, TCSANOW, &tio);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_devicePath = QString::fromLocal8Bit(name);
    if (!m_linkPath.isEmpty()) {
        QFile::remove(m_linkPath);
        if (!QFile::link(m_devicePath, m_linkPath)) {
            m_devicePath.clear();
            return QStringLiteral("cannot create the link %1").arg(m_linkPath);
        }
    }
    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { readMaster(-1); });
    m_writable = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writable->setEnabled(false);
    connect(m_writable, &QSocketNotifier::activated, this, &PtyTransport::writeQueued);
    return {};
#else
    return QStringLiteral("pseudo-terminals are not available on this platform");
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
    if (m_master < 0)
        return false;
    // A terminal holds a few kilobytes: a longer frame goes out as the
    // program reads, every byte in order, behind what is still queued.
    m_outgoing += bytes;
    return writeQueued();
}

bool PtyTransport::writeQueued()
{
#ifdef Q_OS_UNIX
    qsizetype done = 0;
    while (done < m_outgoing.size()) {
        const ssize_t n = ::write(m_master, m_outgoing.constData() + done, size_t(m_outgoing.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            // Nothing more can reach the program through this terminal.
            m_outgoing.clear();
            m_writable->setEnabled(false);
            return false;
        }
        break;
    }
    m_outgoing.remove(0, done);
    m_writable->setEnabled(!m_outgoing.isEmpty());
    return true;
#else
    return false;
#endif
}

void PtyTransport::pace(qint64 bytes, int everyMs)
{
    if (!m_notifier || m_paceTimer)
        return;
    m_notifier->setEnabled(false);
    m_paceTimer = new QTimer(this);
    connect(m_paceTimer, &QTimer::timeout, this, [this, bytes] { readMaster(bytes); });
    m_paceTimer->start(everyMs);
}

void PtyTransport::readMaster(qint64 most)
{
#ifdef Q_OS_UNIX
    QByteArray chunk;
    char buffer[4096];
    while (most < 0 || chunk.size() < most) {
        const qint64 room = most < 0 ? qint64(sizeof buffer) : qMin<qint64>(sizeof buffer, most - chunk.size());
        const ssize_t n = m_master < 0 ? -1 : ::read(m_master, buffer, size_t(room));
        if (n <= 0)
            break;
        chunk.append(buffer, n);
    }
    if (!chunk.isEmpty())
        Q_EMIT chunkReceived(chunk);
#else
    Q_UNUSED(most);
#endif
}

void PtyTransport::vanish()
{
    delete m_notifier;
    delete m_writable;
    m_notifier = m_writable = nullptr;
    m_outgoing.clear();
    delete m_paceTimer;
    m_paceTimer = nullptr;
#ifdef Q_OS_UNIX
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
#endif
    m_slave = m_master = -1;
}

unsigned PtyTransport::outputSpeed() const
{
#ifdef Q_OS_UNIX
    termios tio{};
    if (m_slave >= 0 && ::tcgetattr(m_slave, &tio) == 0)
        return unsigned(::cfgetospeed(&tio));
#endif
    return 0;
}

} // namespace telvaro::devsim
