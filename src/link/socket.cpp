#include "link/socket.h"

#include "base/wait.h"

#include <QHostInfo>
#include <QNetworkDatagram>
#include <QTimer>
#include <utility>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <sys/socket.h>
#endif
#ifdef Q_OS_LINUX
#include <cerrno>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace telvaro {

QtSocketService::QtSocketService(QObject *parent) : SocketService(parent)
{
    for (QAbstractSocket *s : {static_cast<QAbstractSocket *>(&m_tcp), static_cast<QAbstractSocket *>(&m_udp)}) {
        connect(s, &QAbstractSocket::stateChanged, this, [this] { Q_EMIT stateChanged(); });
        connect(s, &QAbstractSocket::errorOccurred, this, [this, s](QAbstractSocket::SocketError e) { onError(s, e); });
    }
    connect(&m_tcp, &QTcpSocket::connected, this, &QtSocketService::onConnected);
    connect(&m_tcp, &QTcpSocket::bytesWritten, this, &QtSocketService::onBytesWritten);
    connect(&m_tcp, &QTcpSocket::readyRead, this, &QtSocketService::takeStream);
    connect(&m_udp, &QUdpSocket::readyRead, this, &QtSocketService::takeDatagrams);
}

QtSocketService::~QtSocketService()
{
    // The sockets close as they are destroyed; nobody listens any more.
    m_tcp.disconnect(this);
    m_udp.disconnect(this);
    releaseWatch();
    releaseEnding();
}

void QtSocketService::onConnected()
{
    m_everConnected = true;
    releaseWatch();
#ifdef Q_OS_LINUX
    m_watch = ::dup(int(m_tcp.socketDescriptor()));
#endif
}

void QtSocketService::releaseWatch()
{
#ifdef Q_OS_LINUX
    if (m_watch >= 0)
        ::close(m_watch);
#endif
    m_watch = -1;
}

bool QtSocketService::connectionWasReset() const
{
#ifdef Q_OS_LINUX
    tcp_info info = {};
    socklen_t size = sizeof info;
    // A reset leaves the connection closed; an orderly close waits for ours.
    return m_watch >= 0 && ::getsockopt(m_watch, IPPROTO_TCP, TCP_INFO, &info, &size) == 0 &&
           info.tcpi_state == TCP_CLOSE;
#else
    return false;
#endif
}

bool QtSocketService::setProtocol(Protocol protocol)
{
    if (state() != SocketState::Closed) {
        m_error = QStringLiteral("The socket is not closed.");
        return false;
    }
    m_protocol = protocol;
    return true;
}

void QtSocketService::connectToRemote()
{
    if (m_protocol != Protocol::Tcp)
        return;
    m_error.clear();
    m_failed = m_peerClosed = m_peerReset = m_everConnected = false;
    m_tcp.connectToHost(m_host, m_port);
}

int QtSocketService::state() const
{
    if (m_protocol == Protocol::Tcp && m_ending >= 0)
        return m_peerClosed ? SocketState::PeerClosing : SocketState::Connected;
    if (m_protocol == Protocol::Tcp)
        return SocketStateCode(m_tcp.state(), m_failed, m_peerClosed);
    return SocketStateCode(m_udp.state(), m_failed, false);
}

bool QtSocketService::send(const QByteArray &bytes)
{
    if (m_protocol == Protocol::Udp)
        return sendDatagram(bytes);
    if (m_tcp.state() != QAbstractSocket::ConnectedState) {
        m_error = QStringLiteral("The connection is not open.");
        return false;
    }
    if (bytes.isEmpty())
        return true;
    m_pending += bytes.size();
    if (m_tcp.write(bytes) != bytes.size()) {
        m_pending = 0;
        m_error = m_tcp.errorString();
        return false;
    }
    return true;
}

bool QtSocketService::sendDatagram(const QByteArray &bytes)
{
    // An empty datagram carries nothing for a device.
    if (bytes.isEmpty())
        return true;
    const auto address = remoteAddress();
    if (!address) {
        m_error = QStringLiteral("Host %1 not found.").arg(m_host);
        return false;
    }
    if (m_udp.writeDatagram(bytes, *address, m_port) != bytes.size()) {
        m_error = m_udp.errorString();
        return false;
    }
    return true;
}

std::optional<QHostAddress> QtSocketService::remoteAddress()
{
    QHostAddress literal;
    if (literal.setAddress(m_host))
        return literal;
    if (m_host == m_resolvedHost && !m_resolved.isNull())
        return m_resolved;
    // Resolve without blocking the window, within a bound. The context ends
    // the delivery of a late answer when this returns.
    QObject context;
    QHostInfo result;
    bool done = false;
    Wait wait(LookupLimitMs);
    wait.until([&done] { return done; });
    const int id = QHostInfo::lookupHost(m_host, &context, [&](const QHostInfo &info) {
        result = info;
        done = true;
        wait.recheck();
    });
    wait.run();
    if (!done) {
        QHostInfo::abortHostLookup(id);
        return std::nullopt;
    }
    const QList<QHostAddress> addresses = result.addresses();
    if (addresses.isEmpty())
        return std::nullopt;
    // IPv4 first: the unbound socket and most devices speak it.
    auto chosen = addresses.front();
    for (const QHostAddress &a : addresses)
        if (a.protocol() == QAbstractSocket::IPv4Protocol) {
            chosen = a;
            break;
        }
    m_resolvedHost = m_host;
    m_resolved = chosen;
    return chosen;
}

QByteArray QtSocketService::takeReceived()
{
    return std::exchange(m_received, {});
}

qint64 QtSocketService::pendingBytes() const
{
    return m_protocol == Protocol::Tcp ? m_tcp.bytesToWrite() : 0;
}

void QtSocketService::close()
{
    ++m_generation;
    if (m_tcp.state() == QAbstractSocket::ConnectedState)
        m_tcp.flush();
    m_tcp.abort();
    m_udp.abort();
    // The copies would keep the connection open for the device.
    releaseWatch();
    releaseEnding();
    m_failed = m_peerClosed = m_peerReset = m_everConnected = false;
    m_pending = 0;
    m_received.clear();
    Q_EMIT stateChanged();
}

void QtSocketService::reset()
{
    // A zero linger makes the close a reset: the unsent rest is discarded.
    const qintptr fd = m_ending >= 0 ? m_ending : m_tcp.socketDescriptor();
    if (m_protocol == Protocol::Tcp && fd >= 0) {
        const linger now = {1, 0};
        ::setsockopt(int(fd), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char *>(&now), sizeof now);
    }
    m_tcp.abort();
    close();
}

bool QtSocketService::endSending()
{
#ifdef Q_OS_LINUX
    if (m_ending >= 0) {
        readEnding();
        return true;
    }
    if (m_protocol != Protocol::Tcp || m_tcp.state() != QAbstractSocket::ConnectedState || m_watch < 0 ||
        m_tcp.bytesToWrite() > 0 || m_peerClosed)
        return false;
    takeStream();
    m_ending = std::exchange(m_watch, -1);
    // Qt lets go of its descriptor; the connection lives on in the copy.
    m_tcp.abort();
    ::shutdown(m_ending, SHUT_WR);
    m_endingNotifier = std::make_unique<QSocketNotifier>(m_ending, QSocketNotifier::Read);
    connect(m_endingNotifier.get(), &QSocketNotifier::activated, this, &QtSocketService::readEnding);
    readEnding();
    return true;
#else
    return false;
#endif
}

qint64 QtSocketService::unacknowledgedBytes() const
{
#ifdef Q_OS_LINUX
    int outstanding = 0;
    if (m_ending >= 0 && !m_peerClosed && ::ioctl(m_ending, SIOCOUTQ, &outstanding) == 0)
        return outstanding;
#endif
    return 0;
}

namespace {
constexpr int EndingReadsPerCall = 16;
}

void QtSocketService::readEnding()
{
#ifdef Q_OS_LINUX
    if (m_ending < 0 || m_peerClosed)
        return;
    const qsizetype before = m_received.size();
    char buffer[4096];
    // A bounded share a call: a device that floods after our end must not
    // hold the event loop here; the notifier calls again for the rest.
    for (int reads = 0; reads < EndingReadsPerCall; ++reads) {
        const ssize_t n = ::recv(m_ending, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            m_received.append(buffer, n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            break;
        // The end of the stream is the device's own close, having read all it
        // got; an error is a reset, which drops what it had not read.
        m_peerClosed = true;
        m_peerReset = n < 0;
        m_error = m_peerReset ? QStringLiteral("The device reset the connection.")
                              : QStringLiteral("The device closed the connection.");
        m_endingNotifier->setEnabled(false);
        break;
    }
    if (m_received.size() > before)
        Q_EMIT dataArrival(m_received.size());
    if (m_peerClosed)
        Q_EMIT stateChanged();
#endif
}

void QtSocketService::releaseEnding()
{
    m_endingNotifier.reset();
#ifdef Q_OS_LINUX
    if (m_ending >= 0)
        ::close(m_ending);
#endif
    m_ending = -1;
}

void QtSocketService::onBytesWritten(qint64 count)
{
    if (m_pending <= 0)
        return;
    Q_EMIT progress();
    m_pending -= count;
    if (m_pending <= 0) {
        m_pending = 0;
        Q_EMIT sendComplete();
    }
}

void QtSocketService::takeStream()
{
    // Data that arrives while a handler of this arrival waits gets no signal
    // of its own: keep taking until nothing is left.
    do {
        m_received += m_tcp.readAll();
        if (m_received.isEmpty())
            return;
        Q_EMIT dataArrival(m_received.size());
    } while (m_tcp.bytesAvailable() > 0);
}

void QtSocketService::takeDatagrams()
{
    do {
        while (m_udp.hasPendingDatagrams())
            m_received += m_udp.receiveDatagram().data();
        if (m_received.isEmpty())
            return;
        Q_EMIT dataArrival(m_received.size());
    } while (m_udp.hasPendingDatagrams());
}

void QtSocketService::onError(QAbstractSocket *socket, QAbstractSocket::SocketError error)
{
    const bool current = (socket == &m_tcp) == (m_protocol == Protocol::Tcp);
    if (!current)
        return;
    if (socket == &m_tcp && error == QAbstractSocket::RemoteHostClosedError) {
        m_peerClosed = true;
        m_peerReset = connectionWasReset();
        m_error = m_peerReset ? QStringLiteral("The device reset the connection.")
                              : QStringLiteral("The device closed the connection.");
        releaseWatch();
    } else {
        m_failed = true;
        m_error = ConnectionErrorText(error, socket->errorString(), m_host, m_port);
    }
    Q_EMIT stateChanged();
    if (socket == &m_tcp && !m_everConnected)
        return;
    // Reported from the event loop, not from inside the socket's own call;
    // an error of a socket closed since then is no longer news.
    const quint64 generation = m_generation;
    const QString description = m_error;
    QMetaObject::invokeMethod(
        this,
        [this, generation, error, description] {
            if (generation == m_generation)
                Q_EMIT this->error(int(error), description);
        },
        Qt::QueuedConnection);
}

} // namespace telvaro
