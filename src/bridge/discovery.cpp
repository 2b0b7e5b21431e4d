#include "bridge/discovery.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace telvaro::bridge {

namespace {

// Home Assistant takes letters, digits, "_" and "-" in its ids.
QString IdPart(QString text)
{
    static const QRegularExpression other(QStringLiteral("[^A-Za-z0-9_-]"));
    return text.replace(other, QStringLiteral("_"));
}

} // namespace

QString Topics::signOfCommand(const QString &topic) const
{
    const QString head = prefix + u'/';
    const QString tail = QStringLiteral("/command");
    if (!topic.startsWith(head) || !topic.endsWith(tail) || topic.size() <= head.size() + tail.size())
        return {};
    const QString sign = topic.mid(head.size(), topic.size() - head.size() - tail.size());
    return sign.contains(u'/') ? QString() : sign;
}

QList<RetainedMessage> DiscoveryMessages(const Topics &topics, const QString &discoveryPrefix, const QString &sign)
{
    const QString node = IdPart(QStringLiteral("telvaro_") + topics.bridgeId);
    const QString object = IdPart(sign);
    const QJsonObject device{{QStringLiteral("identifiers"), node + u'_' + object},
                             {QStringLiteral("name"), sign},
                             {QStringLiteral("manufacturer"), QStringLiteral("Telvaro")},
                             {QStringLiteral("model"), QStringLiteral("Sign on telvaro-bridge ") + topics.bridgeId}};
    const auto entity = [&](const QString &what, const QString &name) {
        return QJsonObject{{QStringLiteral("name"), name},
                           {QStringLiteral("unique_id"), node + u'_' + object + u'_' + what},
                           {QStringLiteral("availability_topic"), topics.status()},
                           {QStringLiteral("payload_available"), QStringLiteral("online")},
                           {QStringLiteral("payload_not_available"), QStringLiteral("offline")},
                           {QStringLiteral("device"), device}};
    };
    QJsonObject text = entity(QStringLiteral("send"), QStringLiteral("Send"));
    text.insert(QStringLiteral("command_topic"), topics.command(sign));
    text.insert(QStringLiteral("command_template"),
                QStringLiteral("{\"op\": \"send\", \"text\": {{ value | tojson }}}"));
    text.insert(QStringLiteral("max"), 255);
    QJsonObject button = entity(QStringLiteral("clear"), QStringLiteral("Clear play list"));
    button.insert(QStringLiteral("command_topic"), topics.command(sign));
    button.insert(QStringLiteral("payload_press"), QStringLiteral("{\"op\": \"clear-list\"}"));
    QJsonObject sensor = entity(QStringLiteral("outcome"), QStringLiteral("Last outcome"));
    sensor.insert(QStringLiteral("state_topic"), topics.state(sign));
    sensor.insert(QStringLiteral("value_template"),
                  QStringLiteral("{{ value_json.last.status if value_json.last else 'none' }}"));
    sensor.insert(QStringLiteral("json_attributes_topic"), topics.state(sign));
    const auto topic = [&](const char *component, const QString &what) {
        return QStringLiteral("%1/%2/%3/%4_%5/config")
            .arg(discoveryPrefix, QLatin1String(component), node, object, what);
    };
    const auto bytes = [](const QJsonObject &o) { return QJsonDocument(o).toJson(QJsonDocument::Compact); };
    return {{topic("text", QStringLiteral("send")), bytes(text)},
            {topic("button", QStringLiteral("clear")), bytes(button)},
            {topic("sensor", QStringLiteral("outcome")), bytes(sensor)}};
}

} // namespace telvaro::bridge
