#pragma once
// Home Assistant's MQTT discovery for a sign: a text entity that sends, a
// button that clears the play list and a sensor with the last outcome, all
// available while the bridge is.

#include <QByteArray>
#include <QList>
#include <QString>

namespace telvaro::bridge {

struct Topics {
    QString prefix;
    QString bridgeId;
    QString command(const QString &sign) const { return prefix + u'/' + sign + QStringLiteral("/command"); }
    QString result(const QString &sign) const { return prefix + u'/' + sign + QStringLiteral("/result"); }
    QString state(const QString &sign) const { return prefix + u'/' + sign + QStringLiteral("/state"); }
    QString status() const { return prefix + QStringLiteral("/bridge/") + bridgeId + QStringLiteral("/status"); }
    // The sign a command topic names, or empty.
    QString signOfCommand(const QString &topic) const;
};

struct RetainedMessage {
    QString topic;
    QByteArray payload;
};

QList<RetainedMessage> DiscoveryMessages(const Topics &topics, const QString &discoveryPrefix, const QString &sign);

} // namespace telvaro::bridge
