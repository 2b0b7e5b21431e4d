#include "link/link.h"

#include "base/clock.h"
#include "base/prompter.h"
#include "base/transfer.h"
#include "base/wait.h"
#include "link/serialdevices.h"

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

QString LinkEventText(LinkEvent event)
{
    switch (event) {
    case LinkEvent::Opened: return QStringLiteral("opened");
    case LinkEvent::ClosedByUs: return QStringLiteral("closed by us");
    case LinkEvent::ClosedByDevice: return QStringLiteral("closed by the device");
    case LinkEvent::Reset: return QStringLiteral("reset");
    case LinkEvent::Gone: return QStringLiteral("gone");
    }
    return {};
}

Link::Link(const TransferState &transfer, Prompter &prompter, QObject *parent)
    : QObject(parent), m_transfer(transfer), m_prompter(prompter)
{
    connectServices();
    m_tmrCheck.setInterval(StatusIntervalMs);
    connect(&m_tmrCheck, &QTimer::timeout, this, &Link::TmrCheck_Timer);
    m_tmrCheck.start();
}

void Link::useServices(SerialPortService &serial, SocketService &socket)
{
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
        // Told before the failure, which closes the link.
        connect(m_serial, &SerialPortService::failed, this,
                [this](const QString &description) { note(LinkEvent::Gone, description); }),
        connect(m_serial, &SerialPortService::failed, this, &Link::linkFailed),
        connect(m_serial, &SerialPortService::written, this, &Link::transmitted),
        connect(m_serial, &SerialPortService::arrived, this, &Link::arrived),
        connect(m_socket, &SocketService::stateChanged, this, &Link::onSocketStateChanged),
    };
}

void Link::note(LinkEvent event, const QString &detail)
{
    // One opening and one ending per link: our own close after the device's
    // is no news.
    const bool opening = event == LinkEvent::Opened;
    if (opening == m_announcedOpen)
        return;
    m_announcedOpen = opening;
    Q_EMIT linkEvent(event, detail);
}

QString Link::remoteText() const
{
    return QStringLiteral("%1 %2:%3")
        .arg(m_openedKind == LinkKind::Tcp ? QStringLiteral("TCP") : QStringLiteral("UDP"), m_settings.IpAddress,
             m_settings.IpPort);
}

void Link::resetSocket(const QString &why)
{
    m_socket->reset();
    note(LinkEvent::Reset, QStringLiteral("by us: ") + why);
}

LinkKind Link::kind() const
{
    return LinkKindFor(m_settings.PortNumber);
}

bool Link::fail(const QString &reason)
{
    m_error = reason;
    return false;
}

SendResult Link::refused(const QString &reason)
{
    m_error = reason;
    return {SendResult::Status::Failed, {}};
}

QString Link::serialDevice()
{
    if (m_serial == &m_builtinSerial)
        m_builtinSerial.setDeviceOverride(m_settings.DevicePath);
    m_serial->setPortNumber(m_settings.PortNumber);
    return m_serial->deviceName();
}

bool Link::OpenLink()
{
    m_error.clear();
    m_deviceReset = false;
    m_openedKind = kind();
    if (m_openedKind == LinkKind::Serial) {
        serialDevice();
        // The rate last accepted (restored at start-up, or set through "Set
        // Baud"); a stored rate the port cannot take leaves the default.
        if (!m_serial->setSettings(LineSettingsText(m_settings.BaudText)))
            m_serial->setSettings(LineSettingsText(QStringLiteral("9600")));
        if (!m_serial->open())
            return fail(m_serial->errorString());
        note(LinkEvent::Opened, QStringLiteral("serial ") + m_serial->deviceName());
    } else {
        const bool tcp = m_openedKind == LinkKind::Tcp;
        if (!m_socket->setProtocol(tcp ? SocketService::Protocol::Tcp : SocketService::Protocol::Udp))
            return fail(m_socket->errorString());
        m_socket->setRemoteHost(m_settings.IpAddress);
        const auto port = RemotePortValue(m_settings.IpPort);
        if (!port)
            return fail(QStringLiteral("IP port \"%1\" is not a port number.").arg(m_settings.IpPort));
        m_socket->setRemotePort(*port);
        if (!tcp) {
            note(LinkEvent::Opened, remoteText());
            return true;
        }
        m_socket->connectToRemote();
    }
    // A stop ends the wait at once; the caller tells it as a stop.
    for (int counter = 0; counter < ConnectWaits && !m_serial->isOpen() && stillConnecting(m_socket->state());
         ++counter)
        if (Wait(ConnectWaitMs).stopWhenIdle(m_transfer).run() == Wait::End::Stopped)
            break;
    m_lastSent = MonotonicNow();
    return true;
}

QString Link::connectionFailureReason() const
{
    const int state = m_socket->state();
    if (m_openedKind == LinkKind::Tcp && stillConnecting(state))
        return QStringLiteral("No answer from %1:%2 within %3 s.")
            .arg(m_settings.IpAddress, m_settings.IpPort)
            .arg(ConnectWaits * ConnectWaitMs / 1000);
    if (!m_socket->errorString().isEmpty())
        return m_socket->errorString();
    return m_serial->errorString();
}

bool Link::CheckLink()
{
    if (m_serial->isOpen() || m_socket->state() == SocketState::Connected)
        return true;
    // The state is for whoever knows sockets; the operator is also told,
    // in the command line's words, which device did what.
    const QString reason = connectionFailureReason();
    if (reason.isEmpty())
        m_prompter.inform(UnableToConnectText(m_socket->state()));
    else
        m_prompter.inform(UnableToConnectText(m_socket->state()), QStringLiteral("The connection failed: ") + reason);
    return false;
}

SendResult Link::SendOnLink(const QByteArray &bytes)
{
    using Status = SendResult::Status;
    switch (m_openedKind) {
    case LinkKind::Serial: return sendSerial(bytes);
    case LinkKind::Tcp: return sendTcp(bytes);
    case LinkKind::Udp:
        if (!m_socket->send(bytes))
            return refused(m_socket->errorString());
        if (!bytes.isEmpty())
            Q_EMIT transmitted(bytes);
        return {Status::Sent, bytes};
    }
    return {Status::NotSent, portNotOpen};
}

bool Link::waitForHandover(const std::function<bool()> &done)
{
    // Each step of progress gives the device the whole limit again: a slow
    // device that keeps taking bytes is not one that takes none. The serial
    // port tells of bytes handed to its driver only at its next chance to
    // write, which a device that stopped taking data never gives; so what is
    // pending is also looked at every tenth of the limit, and a device is
    // given up one limit after the last bytes it took, not up to two.
    const auto limit = ScaledInterval(SendWaitLimitMs);
    qint64 pending = pendingBytes();
    auto lastProgress = MonotonicNow();
    for (;;) {
        Wait(std::min(lastProgress + limit, MonotonicNow() + limit / 10))
            .until([&] { return done() || pendingBytes() < pending; })
            .recheckOn(m_socket, &SocketService::progress)
            .recheckOn(m_socket, &SocketService::sendComplete)
            .recheckOn(m_socket, &SocketService::stateChanged)
            .recheckOn(m_serial, &SerialPortService::progress)
            .recheckOn(m_serial, &SerialPortService::failed)
            .run();
        if (done())
            return true;
        if (const qint64 now = pendingBytes(); now < pending) {
            pending = now;
            lastProgress = MonotonicNow();
        } else if (MonotonicNow() >= lastProgress + limit) {
            return false;
        }
    }
}

QString Link::tookNoDataText(const QString &consequence) const
{
    return QStringLiteral("The device took no data for %1 s; %2").arg(SendWaitLimitMs / 1000).arg(consequence);
}

SendResult Link::sendSerial(const QByteArray &bytes)
{
    using Status = SendResult::Status;
    if (!m_serial->isOpen())
        return {Status::NotSent, portNotOpen};
    if (!m_serial->write(bytes))
        return refused(m_serial->errorString());
    // A line slower than the program holds what the driver has no room for
    // yet; it goes out as the device takes it.
    if (!waitForHandover([this] { return m_serial->pendingBytes() == 0 || !m_serial->isOpen(); })) {
        m_serial->discardOutput();
        Q_EMIT linkFailed(tookNoDataText(QStringLiteral("the rest of the frame was dropped.")));
        return {Status::NotSent, portNotOpen};
    }
    if (!m_serial->isOpen())
        return {Status::NotSent, portNotOpen};
    return {Status::Sent, bytes};
}

SendResult Link::sendTcp(const QByteArray &bytes)
{
    using Status = SendResult::Status;
    if (m_socket->state() != SocketState::Connected)
        return {Status::NotSent, portNotOpen};
    SendDone = 0;
    if (!m_socket->send(bytes)) {
        SendDone = 1;
        return refused(m_socket->errorString());
    }
    Q_EMIT transmitted(bytes);
    // Nothing to complete for no bytes.
    if (bytes.isEmpty())
        SendDone = 1;
    // Ends on completion, on any change that leaves the connected state (an
    // error, the peer closing, "Data Entry" closing the socket) or once the
    // device took nothing for the limit, when the bytes count as not sent.
    if (!waitForHandover([this] { return SendDone != 0 || m_socket->state() != SocketState::Connected; })) {
        // Part of the frame may already be with the system: the connection
        // goes, so that the device never receives a cut frame later.
        const QString why = tookNoDataText(QStringLiteral("the connection was ended."));
        resetSocket(why);
        Q_EMIT linkFailed(why);
        return {Status::NotSent, portNotOpen};
    }
    if (SendDone == 0)
        return {Status::NotSent, portNotOpen};
    m_lastSent = MonotonicNow();
    return {Status::Sent, bytes};
}

bool Link::Reconnect(int pauseMs)
{
    if (m_openedKind == LinkKind::Udp)
        return true;
    CloseLink();
    Wait(pauseMs).stopWhenIdle(m_transfer).run();
    if (m_transfer.transmitting() == 0)
        return true;
    if (m_openedKind == LinkKind::Serial) {
        if (!m_serial->open())
            return fail(m_serial->errorString());
        note(LinkEvent::Opened, QStringLiteral("serial ") + m_serial->deviceName());
        return true;
    }
    m_reconnecting = true;
    m_deviceReset = false;
    m_socket->connectToRemote();
    return true;
}

void Link::onSocketStateChanged()
{
    const int state = m_socket->state();
    if (state == SocketState::Connected && m_openedKind == LinkKind::Tcp)
        note(LinkEvent::Opened, remoteText());
    if (!m_reconnecting)
        return;
    // A failed attempt reads closed for a moment, then as failed.
    if (stillConnecting(state) || state == SocketState::Closed)
        return;
    m_reconnecting = false;
    if (state != SocketState::Connected) {
        Q_EMIT linkEvent(LinkEvent::Gone, m_socket->errorString());
        Q_EMIT linkFailed(m_socket->errorString());
    }
}

QString Link::lossReason() const
{
    switch (m_openedKind) {
    case LinkKind::Serial: return m_serial->isOpen() ? QString() : m_serial->errorString();
    case LinkKind::Tcp: {
        const int state = m_socket->state();
        return state == SocketState::PeerClosing || state == SocketState::Error ? m_socket->errorString() : QString();
    }
    case LinkKind::Udp: break;
    }
    return {};
}

qint64 Link::DrainLink()
{
    if (m_openedKind == LinkKind::Udp)
        return 0;
    if (m_openedKind == LinkKind::Serial)
        return m_serial->pendingBytes();
    if (m_socket->pendingBytes() == 0)
        return 0;
    Wait(DrainLimitMs)
        .until([this] { return m_socket->pendingBytes() == 0 || m_socket->state() != SocketState::Connected; })
        .recheckOn(m_socket, &SocketService::sendComplete)
        .recheckOn(m_socket, &SocketService::stateChanged)
        .run();
    const qint64 left = m_socket->pendingBytes();
    if (left > 0)
        resetSocket(QStringLiteral("%1 bytes were still queued for the device.").arg(left));
    return left;
}

bool Link::EndSending()
{
    if (m_openedKind != LinkKind::Tcp || !m_socket->endSending())
        return true;
    const auto closed = [this] { return m_socket->state() != SocketState::Connected; };
    // The system tells no one when the device acknowledges bytes: a look now
    // and then, while some are outstanding.
    QTimer look;
    look.start(AcknowledgeLookMs);
    for (;;) {
        const qint64 outstanding = m_socket->unacknowledgedBytes();
        if (outstanding <= 0) {
            Wait(m_lastSent + ScaledInterval(CloseWaitMs))
                .until(closed)
                .recheckOn(m_socket, &SocketService::stateChanged)
                .run();
            break;
        }
        // As long as the device keeps taking bytes, as a send waits.
        const auto end = Wait(SendWaitLimitMs)
                             .until([&] { return closed() || m_socket->unacknowledgedBytes() < outstanding; })
                             .recheckOn(m_socket, &SocketService::stateChanged)
                             .recheckOn(&look, &QTimer::timeout)
                             .run();
        if (closed())
            break;
        if (end == Wait::End::Elapsed && m_socket->unacknowledgedBytes() >= outstanding) {
            m_error = tookNoDataText(QStringLiteral("the connection was ended."));
            resetSocket(m_error);
            return false;
        }
        m_lastSent = MonotonicNow();
    }
    // A reset that came with the deadline is not missed.
    m_socket->endSending();
    if (m_socket->peerReset()) {
        m_deviceReset = true;
        m_error = m_socket->errorString();
        note(LinkEvent::Reset, m_error);
        return false;
    }
    // A device that closes in answer to the end only agrees to it: the
    // connection is closed by us.
    return true;
}

qint64 Link::pendingBytes() const
{
    switch (m_openedKind) {
    case LinkKind::Serial: return m_serial->pendingBytes();
    case LinkKind::Tcp: return m_socket->pendingBytes();
    case LinkKind::Udp: break;
    }
    return 0;
}

void Link::setSettings(const LinkSettings &settings)
{
    m_settings = settings;
    // Read here rather than at every status tick: the settings file is not
    // for reading ten times a second.
    const QString device =
        settings.DevicePath.isEmpty() ? ConfiguredSerialDevice(settings.PortNumber) : settings.DevicePath;
    m_statusDevice = kind() == LinkKind::Serial ? StatusDeviceSuffix(device) : QString();
}

void Link::CloseLink()
{
    m_reconnecting = false;
    m_serial->close();
    m_socket->close();
    note(LinkEvent::ClosedByUs, {});
}

void Link::TmrCheck_Timer()
{
    Q_EMIT statusText(LinkStatusText(m_settings.PortNumber, m_transfer.transmitting(), m_serial->isOpen(),
                                     m_socket->state(), m_settings.IpAddress) +
                      m_statusDevice);
}

void Link::WskMain_DataArrival(qint64 bytesTotal)
{
    const QByteArray data = m_socket->takeReceived();
    if (!data.isEmpty())
        Q_EMIT arrived(data);
    // Bytes beyond what the box can keep would only be formatted to be
    // dropped again; every byte shows as at least one character.
    const qint64 skipped = qMax<qint64>(0, qMin<qint64>(data.size(), bytesTotal) - RecDataLimit);
    const ReceivedDisplay shown =
        ReceivedText(QByteArrayView(data).sliced(skipped), bytesTotal - skipped, LocalNow().time());
    Q_EMIT received(shown.text, shown.complete);
}

void Link::WskMain_Error(int number, const QString &description)
{
    if (number == QAbstractSocket::RemoteHostClosedError) {
        m_deviceReset = m_deviceReset || m_socket->peerReset();
        note(m_socket->peerReset() ? LinkEvent::Reset : LinkEvent::ClosedByDevice, description);
        Q_EMIT deviceClosed(description);
    } else {
        note(LinkEvent::Gone, description);
        Q_EMIT linkFailed(description);
    }
}

} // namespace telvaro
