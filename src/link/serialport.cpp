#include "link/serialport.h"

#include "link/linelock.h"
#include "link/serialdevices.h"

#include <QSettings>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <poll.h>
#endif

namespace telvaro {

namespace {

QSerialPort::Parity parityFor(char letter)
{
    switch (letter) {
    case 'e': return QSerialPort::EvenParity;
    case 'o': return QSerialPort::OddParity;
    case 'm': return QSerialPort::MarkParity;
    case 's': return QSerialPort::SpaceParity;
    default: return QSerialPort::NoParity;
    }
}

QSerialPort::StopBits stopBitsFor(double bits)
{
    if (bits == 2)
        return QSerialPort::TwoStop;
    return bits == 1.5 ? QSerialPort::OneAndHalfStop : QSerialPort::OneStop;
}

} // namespace

QString ConfiguredSerialDevice(qint16 portNumber)
{
    QSettings store(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Telvaro"), QStringLiteral("Telvaro"));
    return store.value(QStringLiteral("SerialPorts/%1").arg(portNumber)).toString();
}

QtSerialPortService::QtSerialPortService(QObject *parent) : SerialPortService(parent), m_port(this)
{
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialPortService::onError);
    connect(&m_port, &QSerialPort::readyRead, this, &QtSerialPortService::onReadyRead);
    connect(&m_port, &QSerialPort::bytesWritten, this, &SerialPortService::progress);
}

QtSerialPortService::~QtSerialPortService()
{
    m_port.disconnect(this);
}

QString QtSerialPortService::deviceName() const
{
    if (!m_override.isEmpty())
        return m_override;
    return SerialDeviceName(m_portNumber, ConfiguredSerialDevice(m_portNumber));
}

bool QtSerialPortService::setSettings(const QString &settings)
{
    const auto parsed = ParseLineSettings(settings);
    if (!parsed)
        return false;
    if (m_port.isOpen() && !(m_port.setBaudRate(parsed->baud) && m_port.setParity(parityFor(parsed->parity)) &&
                             m_port.setDataBits(QSerialPort::DataBits(parsed->dataBits)) &&
                             m_port.setStopBits(stopBitsFor(parsed->stopBits))))
        return false;
    m_settings = *parsed;
    return true;
}

bool QtSerialPortService::open()
{
    if (isOpen()) {
        m_error = QStringLiteral("The serial port is already open.");
        return false;
    }
    // A port lost earlier may still await its deferred close.
    m_port.close();
    m_lost = false;
    m_unsent = 0;
    m_announced = 0;
    m_missing = false;
    m_held = false;
    m_deviceName = deviceName();
    m_port.setPortName(m_deviceName);
    m_port.setBaudRate(m_settings.baud);
    m_port.setParity(parityFor(m_settings.parity));
    m_port.setDataBits(QSerialPort::DataBits(m_settings.dataBits));
    m_port.setStopBits(stopBitsFor(m_settings.stopBits));
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadWrite)) {
        // An adapter that is not plugged in is told with what is.
        m_missing = m_port.error() == QSerialPort::DeviceNotFoundError;
        m_held = m_port.error() == QSerialPort::PermissionError && DeviceHeldElsewhere(m_deviceName);
        if (m_missing)
            m_error = MissingDeviceText(m_deviceName, CurrentSerialDevices().devices());
        else if (m_held)
            m_error = LineBusyText(m_deviceName, ProcessText(PortLockHolder(m_deviceName)));
        else
            m_error = QStringLiteral("%1: %2").arg(m_deviceName, m_port.errorString());
        return false;
    }
    // Devices commonly expect the terminal-ready line. Pseudo-terminals have
    // no modem lines; their refusal leaves the port usable.
    m_port.setDataTerminalReady(true);
    m_port.clearError();
    return true;
}

void QtSerialPortService::close()
{
    if (m_port.isOpen())
        m_port.flush();
    m_port.close();
    m_lost = false;
}

bool QtSerialPortService::isOpen() const
{
    return m_port.isOpen() && !m_lost;
}

bool QtSerialPortService::write(const QByteArray &bytes)
{
    if (!isOpen())
        return false;
    if (bytes.isEmpty())
        return true;
    if (m_port.write(bytes) != bytes.size())
        return false;
    // Hand the bytes to the driver now rather than at the next event.
    m_port.flush();
    Q_EMIT written(bytes);
    return true;
}

qint64 QtSerialPortService::bytesWaiting()
{
    return isOpen() ? m_port.bytesAvailable() : 0;
}

QByteArray QtSerialPortService::takeInput()
{
    if (!isOpen())
        return {};
    const QByteArray input = m_port.readAll();
    if (input.size() > m_announced)
        Q_EMIT arrived(input.sliced(m_announced));
    m_announced = 0;
    return input;
}

void QtSerialPortService::onReadyRead()
{
    // The bytes stay for the protocol's own polls; only their coming is told.
    const qint64 waiting = m_port.bytesAvailable();
    if (waiting <= m_announced)
        return;
    Q_EMIT arrived(m_port.peek(waiting).sliced(m_announced));
    m_announced = waiting;
}

void QtSerialPortService::discardOutput()
{
    if (isOpen())
        m_port.clear(QSerialPort::Output);
}

bool QtSerialPortService::hungUp()
{
#ifdef Q_OS_UNIX
    pollfd device = {int(m_port.handle()), POLLIN | POLLOUT, 0};
    return ::poll(&device, 1, 0) < 0 || (device.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
    return true;
#endif
}

void QtSerialPortService::onError(QSerialPort::SerialPortError error)
{
    // A device that hung up or was unplugged fails every read and write
    // (and would wake the event loop without end); pseudo-terminals refuse
    // modem-line calls, which is no loss.
    const bool broken =
        error == QSerialPort::ResourceError || error == QSerialPort::ReadError || error == QSerialPort::WriteError;
    if (!broken || !m_port.isOpen() || m_lost)
        return;
    // A line slower than the program fills the driver's room, and a write
    // then finds none: that is the device taking its time, and the rest goes
    // out as room comes. Only a terminal that hung up is gone.
    if (!hungUp()) {
        m_port.clearError();
        return;
    }
    // The port object may be in the middle of its own call, so it is closed
    // and the loss reported once control is back in the event loop; until
    // then it already reads as closed.
    m_lost = true;
    m_unsent = m_port.bytesToWrite();
    m_error = QStringLiteral("The device %1 is gone.").arg(m_deviceName);
    QTimer::singleShot(0, this, [this] {
        if (!m_lost)
            return;
        m_port.close();
        Q_EMIT failed(m_error);
    });
}

} // namespace telvaro
