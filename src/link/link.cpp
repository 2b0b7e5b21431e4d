#include "link/link.h"

#include "app/clock.h"
#include "app/pause.h"
#include "app/workspace.h"

#include <QEventLoop>

namespace telvaro {

namespace {

const QByteArray portNotOpen = QByteArrayLiteral("Port Not Open");

// States in which a connection attempt may still succeed. A host name passes
// through resolving before connecting, and gets the same wait.
bool stillConnecting(int state)
{
    return state == SocketState::ResolvingHost || state == SocketState::HostResolved ||
           state == SocketState::Connecting;
}

} // namespace

Link::Link(Workspace &workspace) : QObject(&workspace), m_ws(workspace)
{
    connectServices();
    m_tmrCheck.setInterval(StatusIntervalMs);
    connect(&m_tmrCheck, &QTimer::timeout, this, &Link::TmrCheck_Timer);
    m_tmrCheck.start();
}

void Link::useServices(SerialPortService &serial, SocketService &socket)
{
    if (m_busy)
        return;
    CloseLink();
    m_serial = &serial;
    m_socket = &socket;
    connectServices();
}

void Link::connectServices()
{
    for (const auto &c : std::as_const(m_connections))
        disconnect(c);
    m_connections = {
        connect(m_socket, &SocketService::dataArrival, this, &Link::WskMain_DataArrival),
        connect(m_socket, &SocketService::sendComplete, this, &Link::WskMain_SendComplete),
        connect(m_socket, &SocketService::error, this, &Link::WskMain_Error),
        connect(m_serial, &SerialPortService::failed, this, &Link::endOnFailure),
    };
}

LinkKind Link::kind() const
{
    return LinkKindFor(m_ws.PortNumber);
}

bool Link::fail(const QString &reason)
{
    m_error = reason;
    return false;
}

bool Link::OpenLink()
{
    m_error.clear();
    m_openedKind = kind();
    if (m_openedKind == LinkKind::Serial) {
        m_serial->setPortNumber(m_ws.PortNumber);
        // The rate last accepted (restored at start-up, or set through "Set
        // Baud"); a stored rate the port cannot take leaves the default.
        if (!m_serial->setSettings(LineSettingsText(m_ws.BaudText)))
            m_serial->setSettings(LineSettingsText(QStringLiteral("9600")));
        if (!m_serial->open())
            return fail(m_serial->errorString());
    } else {
        const bool tcp = m_openedKind == LinkKind::Tcp;
        if (!m_socket->setProtocol(tcp ? SocketService::Protocol::Tcp : SocketService::Protocol::Udp))
            return fail(m_socket->errorString());
        m_socket->setRemoteHost(m_ws.IpAddress);
        const auto port = RemotePortValue(m_ws.IpPort);
        if (!port)
            return fail(QStringLiteral("IP port \"%1\" is not a port number.").arg(m_ws.IpPort));
        m_socket->setRemotePort(*port);
        if (!tcp)
            return true;
        m_socket->connectToRemote();
    }
    for (int counter = 0; counter < ConnectWaits && !m_serial->isOpen() && stillConnecting(m_socket->state());
         ++counter)
        Pause(ConnectWaitMs);
    return true;
}

bool Link::CheckLink()
{
    if (m_serial->isOpen() || m_socket->state() == SocketState::Connected)
        return true;
    m_ws.prompter().inform(UnableToConnectText(m_socket->state()));
    return false;
}

std::optional<QByteArray> Link::SendOnLink(const QByteArray &text)
{
    switch (m_openedKind) {
    case LinkKind::Serial:
        if (!m_serial->isOpen())
            return portNotOpen;
        if (!m_serial->write(text)) {
            m_error = m_serial->errorString();
            return std::nullopt;
        }
        return text;
    case LinkKind::Tcp:
        if (m_socket->state() != SocketState::Connected)
            return portNotOpen;
        SendDone = 0;
        if (!m_socket->send(text)) {
            SendDone = 1;
            m_error = m_socket->errorString();
            return std::nullopt;
        }
        // Nothing to complete for no bytes.
        if (text.isEmpty())
            SendDone = 1;
        waitForSendDone();
        return text;
    case LinkKind::Udp:
        if (!m_socket->send(text)) {
            m_error = m_socket->errorString();
            return std::nullopt;
        }
        return text;
    }
    return portNotOpen;
}

void Link::waitForSendDone()
{
    // Ends on completion, on any change that leaves the connected state (an
    // error, the peer closing, "Data Entry" closing the socket) or after the
    // limit.
    auto finished = [this] { return SendDone != 0 || m_socket->state() != SocketState::Connected; };
    if (finished())
        return;
    QEventLoop loop;
    auto check = [&loop, &finished] {
        if (finished())
            loop.quit();
    };
    connect(m_socket, &SocketService::sendComplete, &loop, check);
    connect(m_socket, &SocketService::stateChanged, &loop, check);
    QTimer limit;
    limit.setSingleShot(true);
    connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    limit.start(int(qMax<qint64>(1, qRound64(SendWaitLimitMs / PauseTimeScale()))));
    loop.exec();
}

void Link::CloseLink()
{
    m_serial->close();
    m_socket->close();
}

void Link::TmrCheck_Timer()
{
    m_ws.setStatusPanel(
        1, LinkStatusText(m_ws.PortNumber, m_ws.Transmitting, m_serial->isOpen(), m_socket->state(), m_ws.IpAddress));
}

void Link::WskMain_DataArrival(qint64 bytesTotal)
{
    const QByteArray data = m_socket->takeReceived();
    // Bytes beyond what the box can keep would only be formatted to be
    // dropped again; every byte shows as at least one character.
    const qint64 skipped = qMax<qint64>(0, qMin<qint64>(data.size(), bytesTotal) - RecDataLimit);
    const ReceivedDisplay shown =
        ReceivedText(QByteArrayView(data).sliced(skipped), bytesTotal - skipped, LocalNow().time());
    using Box = Workspace::Box;
    m_ws.setBox(Box::RecData, AppendBounded(m_ws.box(Box::RecData), shown.text));
    if (!shown.complete)
        m_ws.prompter().inform(QStringLiteral("Error due to Invalid Reception"));
}

void Link::WskMain_Error(int, const QString &description)
{
    endOnFailure(description);
}

void Link::endOnFailure(const QString &description)
{
    // Data entry stops whatever uses the link and closes it.
    m_ws.MnuModeData_Click();
    Q_EMIT linkFailed(description);
}

} // namespace telvaro
