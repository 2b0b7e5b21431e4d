#include "link/plannedlink.h"

#include "base/wait.h"
#include "link/link.h"
#include "link/linkrules.h"

namespace telvaro {

PlannedSerialPort::PlannedSerialPort(FrameRecorder record, QObject *parent)
    : SerialPortService(parent), m_record(std::move(record))
{
}

bool PlannedSerialPort::setSettings(const QString &settings)
{
    return ParseLineSettings(settings).has_value();
}

bool PlannedSerialPort::open()
{
    m_open = true;
    return true;
}

bool PlannedSerialPort::write(const QByteArray &bytes)
{
    if (!m_open)
        return false;
    m_record(bytes);
    return true;
}

PlannedSocket::PlannedSocket(FrameRecorder record, QObject *parent)
    : SocketService(parent), m_record(std::move(record)), m_state(SocketState::Closed)
{
}

bool PlannedSocket::setProtocol(Protocol protocol)
{
    if (m_state != SocketState::Closed)
        return false;
    m_protocol = protocol;
    return true;
}

void PlannedSocket::connectToRemote()
{
    m_state = SocketState::Connecting;
    m_connectStarted = MonotonicNow();
    Q_EMIT stateChanged();
}

int PlannedSocket::state() const
{
    // The device takes the connection at once: connected as soon as any
    // time has passed, so the connection wait still makes its first whole
    // look, as it does on the link.
    if (m_state == SocketState::Connecting && MonotonicNow() > m_connectStarted)
        return SocketState::Connected;
    return m_state;
}

bool PlannedSocket::send(const QByteArray &bytes)
{
    m_record(bytes);
    if (m_protocol == Protocol::Tcp)
        Q_EMIT sendComplete();
    return true;
}

// The link's end as the plan sees it: closed at once.
void PlannedSocket::close()
{
    if (m_state == SocketState::Closed)
        return;
    m_state = SocketState::Closed;
    Q_EMIT stateChanged();
}

PlannedLink::PlannedLink(Link &link, const FrameRecorder &record)
    : m_link(link), m_quiet(&link), m_serial(record), m_socket(record)
{
    m_link.useServices(m_serial, m_socket);
}

PlannedLink::~PlannedLink()
{
    m_link.useServices(m_link.builtinSerial(), m_link.builtinSocket());
}

} // namespace telvaro
