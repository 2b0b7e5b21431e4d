#include "bridge/options.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QHostInfo>
#include <QMap>
#include <QRegularExpression>

namespace telvaro::bridge {

namespace {

struct Key {
    const char *name;
    const char *value;
    const char *sentence;
};

// The keys of the command line and the configuration file alike.
const Key keys[] = {
    {"broker", "HOST:PORT", "The MQTT broker (port 1883 when not given)."},
    {"registry", "DIR", "The registry of signs; default /etc/telvaro/signs."},
    {"id", "ID", "This bridge's name on the bus; default the host name."},
    {"prefix", "PREFIX", "The first level of every topic; default telvaro."},
    {"credentials", "FILE", "A file with username= and password= lines for the broker."},
    {"ca", "FILE", "Connect with TLS, trusting the certificate authority in FILE."},
    {"cert", "FILE", "With --ca, the client certificate the broker asks for."},
    {"key", "FILE", "With --cert, its private key."},
    {"transcripts", "DIR", "Where each operation's transcript goes; default STATE/transcripts."},
    {"state", "DIR", "The bridge's journal and tables; default $STATE_DIRECTORY or /var/lib/telvaro-bridge."},
    {"discovery-prefix", "PREFIX", "The Home Assistant discovery prefix; default homeassistant."},
};

// key=value lines with "#" comments; blank lines are skipped.
std::variant<QMap<QString, QString>, QString> ReadKeyValues(const QString &path, const QStringList &allowed)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1: %2").arg(path, file.errorString());
    QMap<QString, QString> values;
    int number = 0;
    while (!file.atEnd()) {
        ++number;
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0)
            return QStringLiteral("%1:%2: not a key=value line").arg(path).arg(number);
        const QString key = line.left(equals).trimmed();
        if (!allowed.contains(key))
            return QStringLiteral("%1:%2: unknown key \"%3\"").arg(path).arg(number).arg(key);
        if (values.contains(key))
            return QStringLiteral("%1:%2: \"%3\" is given twice").arg(path).arg(number).arg(key);
        values.insert(key, line.mid(equals + 1).trimmed());
    }
    return values;
}

std::optional<QString> ApplyBroker(const QString &text, BridgeOptions &options)
{
    static const QRegularExpression form(QStringLiteral("^(\\[[^\\]]+\\]|[^:]+)(?::(\\d{1,5}))?$"));
    const auto match = form.match(text);
    const int port = match.captured(2).isEmpty() ? 1883 : match.captured(2).toInt();
    if (!match.hasMatch() || port < 1 || port > 65535)
        return QStringLiteral("--broker takes HOST or HOST:PORT, not \"%1\"").arg(text);
    options.brokerHost = match.captured(1).remove(u'[').remove(u']');
    options.brokerPort = port;
    return std::nullopt;
}

std::optional<QString> Apply(const QString &key, const QString &value, BridgeOptions &options)
{
    if (key == QLatin1String("broker"))
        return ApplyBroker(value, options);
    if (key == QLatin1String("discovery")) {
        if (value != QLatin1String("yes") && value != QLatin1String("no"))
            return QStringLiteral("discovery is yes or no, not \"%1\"").arg(value);
        options.discovery = value == QLatin1String("yes");
        return std::nullopt;
    }
    static const QRegularExpression topicLevel(QStringLiteral("^[^#+/\\x00]+(/[^#+/\\x00]+)*$"));
    if ((key == QLatin1String("prefix") || key == QLatin1String("discovery-prefix") || key == QLatin1String("id")) &&
        !topicLevel.match(value).hasMatch())
        return QStringLiteral("%1 must be a topic without \"#\", \"+\" or empty levels, not \"%2\"").arg(key, value);
    QString *const fields[] = {
        nullptr,       &options.registry, &options.id,          &options.prefix, &options.credentials,    &options.ca,
        &options.cert, &options.key,      &options.transcripts, &options.state,  &options.discoveryPrefix};
    for (size_t i = 0; i < std::size(keys); ++i) {
        if (key == QLatin1String(keys[i].name))
            *fields[i] = value;
    }
    return std::nullopt;
}

QString DefaultState()
{
    // systemd's StateDirectory= names it; one folder, the first.
    const QString given = qEnvironmentVariable("STATE_DIRECTORY").section(u':', 0, 0);
    return given.isEmpty() ? QStringLiteral("/var/lib/telvaro-bridge") : given;
}

std::optional<QString> Finish(BridgeOptions &options)
{
    if (options.brokerHost.isEmpty())
        return QStringLiteral("no broker given (--broker HOST:PORT)");
    if (options.registry.isEmpty())
        options.registry = QStringLiteral("/etc/telvaro/signs");
    if (options.id.isEmpty())
        options.id = QHostInfo::localHostName().section(u'.', 0, 0);
    if (options.state.isEmpty())
        options.state = DefaultState();
    if (options.transcripts.isEmpty())
        options.transcripts = options.state + QStringLiteral("/transcripts");
    // The operations run in processes of their own: every path is made whole.
    for (QString *path : {&options.registry, &options.state, &options.transcripts}) {
        *path = QFileInfo(*path).absoluteFilePath();
    }
    if (!options.cert.isEmpty() != !options.key.isEmpty())
        return QStringLiteral("--cert and --key go together");
    if (!options.cert.isEmpty() && options.ca.isEmpty())
        return QStringLiteral("--cert goes with --ca");
    return std::nullopt;
}

} // namespace

std::variant<OptionsRequest, QString> ReadOptions(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Runs operations on the signs of the registry on command from an MQTT broker and publishes "
                       "their outcomes and status."));
    parser.addHelpOption();
    parser.addVersionOption();
    QStringList fileKeys{QStringLiteral("discovery")};
    for (const Key &key : keys) {
        parser.addOption({QLatin1String(key.name), QLatin1String(key.sentence), QLatin1String(key.value)});
        fileKeys << QLatin1String(key.name);
    }
    parser.addOption({QStringLiteral("config"),
                      QStringLiteral("Reads the settings from FILE (the same keys, "
                                     "key=value); the command line wins."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("no-discovery"), QStringLiteral("Publishes no Home Assistant discovery.")});
    if (!parser.parse(arguments))
        return parser.errorText();
    OptionsRequest request;
    if (parser.isSet(QStringLiteral("help"))) {
        request.kind = OptionsRequest::Kind::Help;
        request.helpText = parser.helpText();
        return request;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        request.kind = OptionsRequest::Kind::Version;
        return request;
    }
    if (!parser.positionalArguments().isEmpty())
        return QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first());
    BridgeOptions &options = request.options;
    if (parser.isSet(QStringLiteral("config"))) {
        const auto read = ReadKeyValues(parser.value(QStringLiteral("config")), fileKeys);
        if (const auto *problem = std::get_if<QString>(&read))
            return *problem;
        const auto &values = std::get<QMap<QString, QString>>(read);
        for (auto it = values.begin(); it != values.end(); ++it) {
            if (const auto problem = Apply(it.key(), it.value(), options))
                return parser.value(QStringLiteral("config")) + QStringLiteral(": ") + *problem;
        }
    }
    for (const Key &key : keys) {
        if (parser.isSet(QLatin1String(key.name))) {
            if (const auto problem = Apply(QLatin1String(key.name), parser.value(QLatin1String(key.name)), options))
                return *problem;
        }
    }
    if (parser.isSet(QStringLiteral("no-discovery")))
        options.discovery = false;
    if (const auto problem = Finish(options))
        return *problem;
    return request;
}

std::variant<Credentials, QString> ReadCredentials(const QString &path)
{
    const auto read = ReadKeyValues(path, {QStringLiteral("username"), QStringLiteral("password")});
    if (const auto *problem = std::get_if<QString>(&read))
        return *problem;
    const auto &values = std::get<QMap<QString, QString>>(read);
    if (!values.contains(QStringLiteral("username")))
        return QStringLiteral("%1: no username= line").arg(path);
    return Credentials{values.value(QStringLiteral("username")), values.value(QStringLiteral("password"))};
}

} // namespace telvaro::bridge
