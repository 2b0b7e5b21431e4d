#include "fleet/registry.h"

#include "codec/codepage.h"
#include "codec/numbers.h"
#include "link/linkrules.h"
#include "link/serialport.h"
#include "signload/adp.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <functional>

namespace telvaro {

namespace {

const QString confSuffix = QStringLiteral(".conf");
constexpr qint64 MaxSignFileBytes = 64 * 1024;

// A check of one value: the reason it cannot be used, or empty.
using ValueCheck = std::function<QString(const QString &)>;

QString OneOf(const QString &value, const QStringList &allowed)
{
    return allowed.contains(value)
               ? QString()
               : QStringLiteral("is %1, not \"%2\"").arg(allowed.join(QStringLiteral(" or ")), value);
}

QString CheckPort(const QString &value)
{
    const auto number = StrictValue(value);
    return number && RoundToInt16(*number)
               ? QString()
               : QStringLiteral("needs a number from -32768 to 32767 (1 and up serial, 0 TCP, -1 UDP), not \"%1\"")
                     .arg(value);
}

QString CheckIpPort(const QString &value)
{
    const auto number = StrictValue(value);
    return number && *number >= 1 && *number <= 65535 && *number == std::floor(*number)
               ? QString()
               : QStringLiteral("needs a port number from 1 to 65535, not \"%1\"").arg(value);
}

QString CheckBaud(const QString &value)
{
    return ParseLineSettings(LineSettingsText(BaudAnswerText(value)))
               ? QString()
               : QStringLiteral("the serial port cannot run at \"%1\"").arg(value);
}

QString CheckAddress(const QString &value)
{
    return IsSignLoadAddress(TextToBytes(value.toUpper()))
               ? QString()
               : QStringLiteral("takes two letters or digits, not \"%1\"").arg(value);
}

QString CheckTags(const QString &value)
{
    static const QRegularExpression tag(QStringLiteral("^[A-Za-z0-9_.-]+$"));
    for (const QString &t : value.split(u','))
        if (!tag.match(t.trimmed()).hasMatch())
            return QStringLiteral("takes tags of letters, digits, \"-\", \"_\" and \".\" separated by commas, not "
                                  "\"%1\"")
                .arg(value);
    return {};
}

QString Anything(const QString &)
{
    return {};
}

const QMap<QString, ValueCheck> &Keys()
{
    static const QMap<QString, ValueCheck> keys{
        {QStringLiteral("port"), CheckPort},
        {QStringLiteral("ip"), Anything},
        {QStringLiteral("ip-port"), CheckIpPort},
        {QStringLiteral("device"), Anything},
        {QStringLiteral("baud"), CheckBaud},
        {QStringLiteral("sign-type"),
         [](const QString &v) {
             return SignTypeFromName(v) ? QString() : OneOf(v, {QStringLiteral("vyrena"), QStringLiteral("orbilux")});
         }},
        {QStringLiteral("address"), CheckAddress},
        {QStringLiteral("input"),
         [](const QString &v) {
             return OneOf(v, {QStringLiteral("serial"), QStringLiteral("binary")});
         }},
        {QStringLiteral("verify"),
         [](const QString &v) {
             return OneOf(v, {QStringLiteral("yes"), QStringLiteral("no")});
         }},
        {QStringLiteral("catch-up"),
         [](const QString &v) {
             return OneOf(v, {QStringLiteral("yes"), QStringLiteral("no")});
         }},
        {QStringLiteral("table"), Anything},
        {QStringLiteral("tags"), CheckTags},
    };
    return keys;
}

struct ParsedFile {
    SignEntry entry;
    QMap<QString, int> lines; // the line of each key
};

// The rules between keys: what a link of one kind cannot use, what a
// sign needs to be loaded at all.
std::optional<RegistryError> CheckWhole(const ParsedFile &parsed)
{
    const SignEntry &e = parsed.entry;
    const auto at = [&](const QString &key, const QString &reason) {
        return RegistryError{e.file, int(parsed.lines.value(key)), reason};
    };
    if (!e.values.contains(QStringLiteral("port")))
        return at({}, QStringLiteral("incomplete: no port= (1 and up a serial port, 0 TCP, -1 UDP)"));
    if (!e.values.contains(QStringLiteral("table")))
        return at({}, QStringLiteral("incomplete: no table= (the table file to load)"));
    const bool serial = *RoundToInt16(*StrictValue(e.values.value(QStringLiteral("port")))) >= 1;
    const QString kind = serial ? QStringLiteral("a serial link") : QStringLiteral("a network link");
    for (const QString &key : serial ? QStringList{QStringLiteral("ip"), QStringLiteral("ip-port")}
                                     : QStringList{QStringLiteral("device"), QStringLiteral("baud")})
        if (e.values.contains(key))
            return at(key, QStringLiteral("%1= does not go with port=%2, %3")
                               .arg(key, e.values.value(QStringLiteral("port")), kind));
    if (!serial)
        for (const QString &key : {QStringLiteral("ip"), QStringLiteral("ip-port")})
            if (!e.values.contains(key))
                return at({}, QStringLiteral("incomplete: port=%1 is a network link and needs %2=")
                                  .arg(e.values.value(QStringLiteral("port")), key));
    const bool controller = e.values.contains(QStringLiteral("input"));
    for (const QString &key : {QStringLiteral("address"), QStringLiteral("sign-type")})
        if (controller && e.values.contains(key))
            return at(key, QStringLiteral("%1= is for a sign; input= makes this a controller").arg(key));
    if (e.verify() && !controller)
        return at(QStringLiteral("verify"), QStringLiteral("verify=yes reads a controller back; a sign without "
                                                           "input= cannot be read back"));
    if (e.verify() && !serial)
        return at(QStringLiteral("verify"), QStringLiteral("verify=yes reads the controller back over a serial "
                                                           "link; port=%1 is a network link")
                                                .arg(e.values.value(QStringLiteral("port"))));
    if (!QFileInfo(e.table()).isFile())
        return at(QStringLiteral("table"), QStringLiteral("the table %1 does not exist").arg(e.table()));
    return std::nullopt;
}

std::variant<SignEntry, RegistryError> ParseSign(const QString &path, const QString &name, const QByteArray &bytes)
{
    ParsedFile parsed{{name, path, {}}, {}};
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return RegistryError{path, 0, QStringLiteral("not UTF-8 text")};
    const QStringList lines = text.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int number = int(i + 1);
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0)
            return RegistryError{path, number, QStringLiteral("expected key=value, not \"%1\"").arg(line)};
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        const auto check = Keys().constFind(key);
        if (check == Keys().cend())
            return RegistryError{path, number,
                                 QStringLiteral("unknown key \"%1\" (the keys are %2)")
                                     .arg(key, QStringList(Keys().keys()).join(QStringLiteral(", ")))};
        if (parsed.lines.contains(key))
            return RegistryError{
                path, number, QStringLiteral("%1= is given again (first on line %2)").arg(key).arg(parsed.lines[key])};
        if (value.isEmpty())
            return RegistryError{path, number, QStringLiteral("%1= has no value").arg(key)};
        if (const QString reason = (*check)(value); !reason.isEmpty())
            return RegistryError{path, number, key + u' ' + reason};
        parsed.entry.values.insert(key, value);
        parsed.lines.insert(key, number);
    }
    if (const auto error = CheckWhole(parsed))
        return *error;
    return parsed.entry;
}

bool IsSignFileName(const QString &file)
{
    return file.endsWith(confSuffix) && file.size() > confSuffix.size() && !file.startsWith(u'.') &&
           !file.startsWith(u'#');
}

} // namespace

QStringList SignEntry::linkArguments() const
{
    QStringList args;
    for (const QString &key :
         {QStringLiteral("port"), QStringLiteral("ip"), QStringLiteral("ip-port"), QStringLiteral("device"),
          QStringLiteral("baud"), QStringLiteral("sign-type"), QStringLiteral("address")})
        if (values.contains(key))
            args << QStringLiteral("--") + key << values.value(key);
    if (values.contains(QStringLiteral("input")))
        args << QStringLiteral("--%1-input").arg(values.value(QStringLiteral("input")));
    if (verify())
        args << QStringLiteral("--verify");
    return args;
}

QString SignEntry::operation() const
{
    return values.contains(QStringLiteral("input")) ? QStringLiteral("load-controller") : QStringLiteral("load-sign");
}

QString SignEntry::table() const
{
    const QString written = values.value(QStringLiteral("table"));
    return written.isEmpty() ? QString() : QFileInfo(QFileInfo(file).dir(), written).absoluteFilePath();
}

QStringList SignEntry::tags() const
{
    QStringList list;
    for (const QString &t : values.value(QStringLiteral("tags")).split(u',', Qt::SkipEmptyParts))
        list << t.trimmed();
    return list;
}

bool SignEntry::verify() const
{
    return values.value(QStringLiteral("verify")) == QStringLiteral("yes");
}

QString SignEntry::lineKey() const
{
    const auto port = RoundToInt16(StrictValue(values.value(QStringLiteral("port"))).value_or(0)).value_or(0);
    if (port < 1)
        return {};
    const QString device = values.value(QStringLiteral("device"), SerialDeviceName(port, ConfiguredSerialDevice(port)));
    const QString canonical = QFileInfo(device).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QFileInfo(device).absoluteFilePath()) : canonical;
}

QString RegistryError::text() const
{
    return line > 0 ? QStringLiteral("%1:%2: %3").arg(file).arg(line).arg(reason)
                    : QStringLiteral("%1: %2").arg(file, reason);
}

QString DefaultRegistryDir()
{
    return QStringLiteral("/etc/telvaro/signs");
}

std::variant<SignEntry, RegistryError> ReadSign(const QString &dir, const QString &name)
{
    const QString path = QDir(dir).filePath(name + confSuffix);
    if (name.isEmpty() || name.contains(u'/') || !IsSignFileName(name + confSuffix))
        return RegistryError{path, 0, QStringLiteral("\"%1\" is not a sign name").arg(name)};
    QFile file(path);
    if (!QFileInfo(path).isFile())
        return RegistryError{path, 0, QStringLiteral("no such sign: the file does not exist")};
    if (!file.open(QIODevice::ReadOnly))
        return RegistryError{path, 0, QStringLiteral("cannot be read: ") + file.errorString()};
    // A sign's file is a dozen short lines; a file far larger is not one,
    // and is never read whole.
    const QByteArray text = file.read(MaxSignFileBytes + 1);
    if (text.size() > MaxSignFileBytes)
        return RegistryError{path, 0, QStringLiteral("too large for a sign's file (over %1 bytes)").arg(MaxSignFileBytes)};
    return ParseSign(path, name, text);
}

QList<std::variant<SignEntry, RegistryError>> ReadRegistry(const QString &dir)
{
    QList<std::variant<SignEntry, RegistryError>> signs;
    const QDir folder(dir);
    if (!folder.exists()) {
        signs << RegistryError{dir, 0, QStringLiteral("no such folder")};
        return signs;
    }
    QStringList files = folder.entryList(QDir::Files | QDir::Hidden, QDir::Name);
    files.sort();
    for (const QString &f : std::as_const(files))
        if (IsSignFileName(f))
            signs << ReadSign(dir, f.chopped(confSuffix.size()));
    return signs;
}

} // namespace telvaro
