#include "cli/commandline.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "link/serialdevices.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace telvaro::cli {

namespace {

QJsonValue textOrNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

QJsonValue idOrNull(const std::optional<quint16> &id)
{
    return id ? QJsonValue(int(*id)) : QJsonValue();
}

QByteArray Json(const QList<SerialDevice> &devices)
{
    QJsonArray list;
    for (const SerialDevice &d : devices)
        list.append(QJsonObject{{QStringLiteral("name"), d.assignedName()},
                                {QStringLiteral("device"), d.device},
                                {QStringLiteral("stableName"), textOrNull(d.stableName)},
                                {QStringLiteral("description"), textOrNull(d.description)},
                                {QStringLiteral("manufacturer"), textOrNull(d.manufacturer)},
                                {QStringLiteral("serialNumber"), textOrNull(d.serialNumber)},
                                {QStringLiteral("vendorId"), idOrNull(d.vendorId)},
                                {QStringLiteral("productId"), idOrNull(d.productId)}});
    return QJsonDocument(list).toJson(QJsonDocument::Indented);
}

} // namespace

int Ports(const QStringList &args)
{
    CommandLine line(QStringLiteral("ports"),
                     QStringLiteral("Lists the serial devices plugged in, one a line: the name to give --device or "
                                    "the settings (the stable name under /dev/serial/by-id/ where there is one), "
                                    "then the device, the USB vendor:product ids, manufacturer, description and "
                                    "serial number: always six fields separated by tabs, an unknown one empty."));
    line.addOption({QStringLiteral("json")},
                   QStringLiteral("Writes the list as a JSON array of objects, with null for what is not known."),
                   QStringLiteral("--json"));
    line.addExample(QStringLiteral("telvaro-cli ports"));
    line.addExample(QStringLiteral("telvaro-cli send --port 1 --device \"$(telvaro-cli ports | head -n1 | cut -f1)\" "
                                   "HELLO"),
                    QStringLiteral("sends to the first device listed"));
    if (const auto status = line.parse(args))
        return *status;
    if (!line.positionals().isEmpty())
        return line.usageError(QStringLiteral("takes no arguments"));
    const QList<SerialDevice> devices = CurrentSerialDevices().devices();
    if (devices.isEmpty())
        PrintError(QStringLiteral("No serial device is plugged in."));
    if (line.isSet(QStringLiteral("json")))
        return WriteOut(Json(devices)) ? ExitDone : ExitFailed;
    QByteArray out;
    for (const SerialDevice &d : devices) {
        QByteArrayList fields;
        for (const QString &field : SerialDeviceFields(d))
            fields.append(TerminalText(field));
        out += fields.join('\t') + '\n';
    }
    return WriteOut(out) ? ExitDone : ExitFailed;
}

} // namespace telvaro::cli
