#pragma once
// The serial devices plugged in now, as operators find them: the list comes
// from a source (the system's, or one that tests fill), each device with the
// stable name that follows the adapter from socket to socket where the
// system gives one. Also the assignments of devices to serial port numbers
// in the settings group "SerialPorts".

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

namespace telvaro {

struct SerialDevice {
    QString device; // the path (or COM name) the system gives it now
    QString description;
    QString manufacturer;
    QString serialNumber;
    std::optional<quint16> vendorId;
    std::optional<quint16> productId;
    QString stableName; // under /dev/serial/by-id/, empty where there is none

    // What an assignment stores: the stable name where there is one.
    QString assignedName() const { return stableName.isEmpty() ? device : stableName; }
    bool operator==(const SerialDevice &) const = default;
};

class SerialDeviceSource {
public:
    virtual ~SerialDeviceSource() = default;
    virtual QList<SerialDevice> devices() const = 0;
};

// The folder of stable names on this system; empty where there is none.
QString StableNameFolder();

// The system's list (QSerialPortInfo), with stable names from folder.
class SystemSerialDevices final : public SerialDeviceSource {
public:
    explicit SystemSerialDevices(QString stableFolder = StableNameFolder()) : m_folder(std::move(stableFolder)) {}
    QList<SerialDevice> devices() const override;

private:
    QString m_folder;
};

// Fills in each device's stable name from the links in folder that lead to
// it, sorted by stable name, then device.
QList<SerialDevice> WithStableNames(QList<SerialDevice> devices, const QString &folder);

// The source the link and the Communication dialog ask; the system's unless
// one was set. Setting nullptr restores the system's.
const SerialDeviceSource &CurrentSerialDevices();
void SetSerialDeviceSource(const SerialDeviceSource *source);

// The device whose path or stable name is name, if plugged in.
std::optional<SerialDevice> FindSerialDevice(const QList<SerialDevice> &devices, const QString &name);

// The fields of a line of the list: stable name (or device) first, then the
// device, the USB ids, manufacturer, description and serial number; the
// unknown ones empty.
QStringList SerialDeviceFields(const SerialDevice &device);
// "0403:6001", or empty without USB ids.
QString UsbIdsText(const SerialDevice &device);

// The second line of the message when an assigned device is not there.
QString PluggedInText(const QList<SerialDevice> &devices);
QString MissingDeviceText(const QString &expected, const QList<SerialDevice> &devices);

// Port number -> device, as stored under "SerialPorts".
QMap<qint16, QString> SerialAssignments();
void AssignSerialDevice(qint16 portNumber, const QString &device);
void RemoveSerialAssignment(qint16 portNumber);

// What panel 1 adds after "Port N Open" for an assigned device that has a
// stable name: its name in brackets; empty otherwise.
QString StatusDeviceSuffix(const QString &assigned);

} // namespace telvaro
