#include "bridge/command.h"

#include "codec/codepage.h"
#include "table/messagetable.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <cmath>
#include <limits>

namespace telvaro::bridge {

namespace {

// The fields each operation takes besides id, op and expires.
const QHash<QString, QStringList> &OpFields()
{
    static const QHash<QString, QStringList> fields{
        {QStringLiteral("send"), {QStringLiteral("text")}},
        {QStringLiteral("call-message"), {QStringLiteral("number")}},
        {QStringLiteral("clear-list"), {}},
        {QStringLiteral("load-sign"), {QStringLiteral("messages")}},
        {QStringLiteral("load-controller"), {QStringLiteral("messages"), QStringLiteral("verify")}},
        {QStringLiteral("upload"), {}},
        {QStringLiteral("run"), {QStringLiteral("messages"), QStringLiteral("duration")}},
        {QStringLiteral("stop"), {}},
    };
    return fields;
}

struct Refused {
    QString reason;
};

std::optional<qint64> WholeNumber(const QJsonValue &value, qint64 low, qint64 high)
{
    if (!value.isDouble())
        return std::nullopt;
    const double d = value.toDouble();
    if (!std::isfinite(d) || std::floor(d) != d || d < double(low) || d > double(high))
        return std::nullopt;
    return qint64(d);
}

// A text goes to the device as code-page bytes, control bytes as escapes;
// anything else would be changed on the way, so it is refused.
std::optional<QString> TextProblem(const QString &text, const QString &what)
{
    if (!IsRepresentable(text))
        return QStringLiteral("%1 has characters with no byte in windows-1252").arg(what);
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return QStringLiteral("%1 holds a control character (write control bytes in escape notation, such "
                                  "as <0x0D>)")
                .arg(what);
    }
    return std::nullopt;
}

std::variant<QString, Refused> ReadString(const QJsonObject &object, const QString &key, const QString &what)
{
    const QJsonValue value = object.value(key);
    if (!value.isString())
        return Refused{QStringLiteral("%1 must be a string").arg(what)};
    const QString text = value.toString();
    if (const auto problem = TextProblem(text, what))
        return Refused{*problem};
    return text;
}

std::variant<CommandMessage, Refused> ReadMessage(const QJsonValue &value, int index)
{
    const QString where = QStringLiteral("\"messages\" item %1").arg(index + 1);
    if (!value.isObject())
        return Refused{where + QStringLiteral(" must be an object")};
    const QJsonObject object = value.toObject();
    static const QSet<QString> keys{QStringLiteral("text"), QStringLiteral("interval"), QStringLiteral("comment")};
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!keys.contains(it.key()))
            return Refused{QStringLiteral("%1 has an unknown field \"%2\"").arg(where, it.key())};
    }
    CommandMessage message;
    const auto text = ReadString(object, QStringLiteral("text"), where + QStringLiteral(" \"text\""));
    if (const auto *refused = std::get_if<Refused>(&text))
        return *refused;
    message.text = std::get<QString>(text);
    if (object.contains(QStringLiteral("interval"))) {
        const auto interval = WholeNumber(object.value(QStringLiteral("interval")), std::numeric_limits<qint32>::min(),
                                          std::numeric_limits<qint32>::max());
        if (!interval)
            return Refused{where + QStringLiteral(" \"interval\" must be a whole number of milliseconds")};
        message.interval = qint32(*interval);
    }
    if (object.contains(QStringLiteral("comment"))) {
        const auto comment = ReadString(object, QStringLiteral("comment"), where + QStringLiteral(" \"comment\""));
        if (const auto *refused = std::get_if<Refused>(&comment))
            return *refused;
        message.comment = std::get<QString>(comment);
    }
    return message;
}

std::optional<Refused> ReadMessages(const QJsonValue &value, Command &command)
{
    if (!value.isArray())
        return Refused{QStringLiteral("\"messages\" must be a list of objects")};
    const QJsonArray array = value.toArray();
    if (array.isEmpty())
        return Refused{QStringLiteral("\"messages\" is empty")};
    if (array.size() > MessageTable::MaxEntries)
        return Refused{QStringLiteral("\"messages\" has %1 items; a table holds at most %2")
                           .arg(array.size())
                           .arg(MessageTable::MaxEntries)};
    QList<CommandMessage> messages;
    messages.reserve(array.size());
    for (int i = 0; i < array.size(); ++i) {
        auto message = ReadMessage(array.at(i), i);
        if (const auto *refused = std::get_if<Refused>(&message))
            return *refused;
        messages.append(std::get<CommandMessage>(std::move(message)));
    }
    command.messages = std::move(messages);
    return std::nullopt;
}

std::optional<Refused> ReadExpiry(const QJsonValue &value, const QDateTime &now, Command &command)
{
    const QString text = value.toString();
    const QDateTime expires = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!value.isString() || !expires.isValid())
        return Refused{QStringLiteral("\"expires\" must be a time in ISO 8601, such as 2026-12-07T23:00:00Z")};
    if (expires.timeSpec() == Qt::LocalTime)
        return Refused{QStringLiteral("\"expires\" must give its time zone, such as 2026-12-07T23:00:00Z")};
    if (expires <= now)
        return Refused{QStringLiteral("the command expired at %1").arg(expires.toUTC().toString(Qt::ISODateWithMs))};
    command.expires = expires;
    return std::nullopt;
}

std::optional<Refused> ReadOpFields(const QJsonObject &object, Command &command)
{
    if (command.op == QLatin1String("send")) {
        if (!object.contains(QStringLiteral("text")))
            return Refused{QStringLiteral("send needs \"text\"")};
        auto text = ReadString(object, QStringLiteral("text"), QStringLiteral("\"text\""));
        if (const auto *refused = std::get_if<Refused>(&text))
            return *refused;
        command.text = std::get<QString>(text);
    } else if (command.op == QLatin1String("call-message")) {
        if (!object.contains(QStringLiteral("number")))
            return Refused{QStringLiteral("call-message needs \"number\"")};
        const auto number = WholeNumber(object.value(QStringLiteral("number")), 0, MessageTable::MaxEntries - 1);
        if (!number)
            return Refused{
                QStringLiteral("\"number\" must be a whole number from 0 to %1").arg(MessageTable::MaxEntries - 1)};
        command.number = qint16(*number);
    }
    if (object.contains(QStringLiteral("messages"))) {
        if (const auto refused = ReadMessages(object.value(QStringLiteral("messages")), command))
            return refused;
    }
    if (object.contains(QStringLiteral("verify"))) {
        const QJsonValue verify = object.value(QStringLiteral("verify"));
        if (!verify.isBool())
            return Refused{QStringLiteral("\"verify\" must be true or false")};
        command.verify = verify.toBool();
    }
    if (object.contains(QStringLiteral("duration"))) {
        const QJsonValue duration = object.value(QStringLiteral("duration"));
        // Up to a year: longer is a mistake, not a run.
        constexpr double longest = 366.0 * 24 * 3600;
        if (!duration.isDouble() || !(duration.toDouble() > 0) || duration.toDouble() > longest)
            return Refused{QStringLiteral("\"duration\" must be a number of seconds above 0")};
        command.duration = duration.toDouble();
    }
    return std::nullopt;
}

std::variant<Command, Refused> Read(const QJsonObject &object, bool served, const QDateTime &now)
{
    Command command;
    const QJsonValue op = object.value(QStringLiteral("op"));
    if (op.isUndefined())
        return Refused{QStringLiteral("the command has no \"op\"")};
    if (!op.isString())
        return Refused{QStringLiteral("\"op\" must be a string")};
    command.op = op.toString();
    if (!OpFields().contains(command.op))
        return Refused{QStringLiteral("unknown op \"%1\"; the ops are %2")
                           .arg(command.op.left(64), CommandOps().join(QStringLiteral(", ")))};
    if (!served)
        return Refused{QStringLiteral("this bridge does not serve the sign")};
    const QStringList &allowed = OpFields().value(command.op);
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QString &key = it.key();
        if (key != QLatin1String("id") && key != QLatin1String("op") && key != QLatin1String("expires") &&
            !allowed.contains(key))
            return Refused{QStringLiteral("%1 takes no field \"%2\"").arg(command.op, key.left(64))};
    }
    if (object.contains(QStringLiteral("expires"))) {
        if (const auto refused = ReadExpiry(object.value(QStringLiteral("expires")), now, command))
            return *refused;
    }
    if (const auto refused = ReadOpFields(object, command))
        return *refused;
    return command;
}

} // namespace

const QStringList &CommandOps()
{
    static const QStringList ops{QStringLiteral("send"),
                                 QStringLiteral("call-message"),
                                 QStringLiteral("clear-list"),
                                 QStringLiteral("load-sign"),
                                 QStringLiteral("load-controller"),
                                 QStringLiteral("upload"),
                                 QStringLiteral("run"),
                                 QStringLiteral("stop")};
    return ops;
}

std::variant<Command, CommandRefusal> ReadCommand(QByteArrayView payload, bool served, const QDateTime &now)
{
    if (payload.size() > MaxCommandBytes)
        return CommandRefusal{
            {},
            {},
            QStringLiteral("the command has %1 bytes; at most %2 are taken").arg(payload.size()).arg(MaxCommandBytes)};
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(payload.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError)
        return CommandRefusal{
            {},
            {},
            QStringLiteral("the command is not JSON: %1 at byte %2").arg(error.errorString()).arg(error.offset)};
    if (!document.isObject())
        return CommandRefusal{{}, {}, QStringLiteral("the command is not a JSON object")};
    const QJsonObject object = document.object();
    const QJsonValue id = object.value(QStringLiteral("id"));
    // What can be echoed back is, even in a refusal.
    const QString idText = id.isString() ? id.toString() : QString();
    const QString opText = object.value(QStringLiteral("op")).toString();
    const QString echoedOp = CommandOps().contains(opText) ? opText : QString();
    if (!id.isUndefined() && !id.isString())
        return CommandRefusal{{}, echoedOp, QStringLiteral("\"id\" must be a string")};
    auto read = Read(object, served, now);
    if (const auto *refused = std::get_if<Refused>(&read))
        return CommandRefusal{idText, echoedOp, refused->reason};
    Command command = std::get<Command>(std::move(read));
    command.id = idText;
    return command;
}

} // namespace telvaro::bridge
