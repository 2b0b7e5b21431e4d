#include "link/serialdevices.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QSettings>
#include <algorithm>

namespace telvaro {

namespace {

const SerialDeviceSource *chosenSource = nullptr;

QSettings serialPortsStore()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Telvaro"), QStringLiteral("Telvaro"));
}

QString key(qint16 portNumber)
{
    return QStringLiteral("SerialPorts/%1").arg(portNumber);
}

QString hex4(quint16 value)
{
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0'));
}

// The path a device is known by in the file system, links followed.
QString canonical(const QString &path)
{
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return resolved.isEmpty() ? path : resolved;
}

} // namespace

QString StableNameFolder()
{
#ifdef Q_OS_LINUX
    return QStringLiteral("/dev/serial/by-id");
#else
    // Windows keeps COM names per adapter and macOS names /dev/cu.* after
    // the adapter's serial number: their names are stable already.
    return {};
#endif
}

QList<SerialDevice> SystemSerialDevices::devices() const
{
    QList<SerialDevice> found;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
#ifdef Q_OS_MACOS
        // Each adapter shows as tty.* and cu.*; cu.* is the one to open.
        if (info.portName().startsWith(QLatin1String("tty.")))
            continue;
#endif
        SerialDevice d;
        d.device = info.systemLocation();
        d.description = info.description();
        d.manufacturer = info.manufacturer();
        d.serialNumber = info.serialNumber();
        if (info.hasVendorIdentifier())
            d.vendorId = info.vendorIdentifier();
        if (info.hasProductIdentifier())
            d.productId = info.productIdentifier();
        found.append(d);
    }
    return WithStableNames(found, m_folder);
}

QList<SerialDevice> WithStableNames(QList<SerialDevice> devices, const QString &folder)
{
    const QFileInfoList links =
        folder.isEmpty() ? QFileInfoList() : QDir(folder).entryInfoList(QDir::System | QDir::Files, QDir::Name);
    for (SerialDevice &d : devices) {
        const QString target = canonical(d.device);
        for (const QFileInfo &link : links)
            if (link.isSymLink() && canonical(link.filePath()) == target) {
                d.stableName = link.absoluteFilePath();
                break;
            }
    }
    std::sort(devices.begin(), devices.end(), [](const SerialDevice &a, const SerialDevice &b) {
        return std::pair(a.assignedName(), a.device) < std::pair(b.assignedName(), b.device);
    });
    return devices;
}

const SerialDeviceSource &CurrentSerialDevices()
{
    static const SystemSerialDevices system;
    return chosenSource ? *chosenSource : system;
}

void SetSerialDeviceSource(const SerialDeviceSource *source)
{
    chosenSource = source;
}

std::optional<SerialDevice> FindSerialDevice(const QList<SerialDevice> &devices, const QString &name)
{
    const auto found = std::find_if(devices.begin(), devices.end(), [&name](const SerialDevice &d) {
        return d.device == name || (!d.stableName.isEmpty() && d.stableName == name);
    });
    if (found == devices.end())
        return std::nullopt;
    return *found;
}

QString UsbIdsText(const SerialDevice &device)
{
    if (!device.vendorId || !device.productId)
        return {};
    return hex4(*device.vendorId) + u':' + hex4(*device.productId);
}

QStringList SerialDeviceFields(const SerialDevice &device)
{
    // Every line has every column, so that a script can cut a column by its
    // number whatever the adapter tells.
    return {device.assignedName(), device.device,      UsbIdsText(device),
            device.manufacturer,   device.description, device.serialNumber};
}

QString PluggedInText(const QList<SerialDevice> &devices)
{
    if (devices.isEmpty())
        return QStringLiteral("No serial device is plugged in.");
    QStringList names;
    for (const SerialDevice &d : devices)
        names.append(d.description.isEmpty() ? d.assignedName()
                                             : QStringLiteral("%1 (%2)").arg(d.assignedName(), d.description));
    return QStringLiteral("Plugged in now: ") + names.join(QStringLiteral(", "));
}

QString MissingDeviceText(const QString &expected, const QList<SerialDevice> &devices)
{
    return QStringLiteral("The serial device %1 is not plugged in.\r\n").arg(expected) + PluggedInText(devices);
}

QMap<qint16, QString> SerialAssignments()
{
    QSettings store = serialPortsStore();
    store.beginGroup(QStringLiteral("SerialPorts"));
    QMap<qint16, QString> assignments;
    for (const QString &k : store.childKeys()) {
        bool ok = false;
        const int number = k.toInt(&ok);
        const QString device = store.value(k).toString();
        if (ok && number > 0 && number <= 32767 && !device.isEmpty())
            assignments.insert(qint16(number), device);
    }
    return assignments;
}

void AssignSerialDevice(qint16 portNumber, const QString &device)
{
    serialPortsStore().setValue(key(portNumber), device);
}

void RemoveSerialAssignment(qint16 portNumber)
{
    serialPortsStore().remove(key(portNumber));
}

QString StatusDeviceSuffix(const QString &assigned)
{
    const QFileInfo info(assigned);
    if (assigned.isEmpty() || info.dir().dirName() != QLatin1String("by-id"))
        return {};
    return QStringLiteral(" (%1)").arg(info.fileName());
}

} // namespace telvaro
