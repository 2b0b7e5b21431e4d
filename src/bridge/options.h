#pragma once
// The bridge's settings: from its command line, or from a configuration
// file of the same keys (key=value, "#" comments) that the command line
// overrides. Credentials come only from a file of their own.

#include <QString>
#include <QStringList>
#include <variant>

namespace telvaro::bridge {

struct BridgeOptions {
    QString brokerHost;
    int brokerPort = 1883;
    QString registry;
    QString id;
    QString prefix = QStringLiteral("telvaro");
    QString credentials;
    QString ca;
    QString cert;
    QString key;
    QString transcripts; // default: STATE/transcripts
    QString state;
    bool discovery = true;
    QString discoveryPrefix = QStringLiteral("homeassistant");
};

struct Credentials {
    QString username;
    QString password;
};

// The options, or what is wrong with them; "help" and "version" stand for
// those requests, answered by the caller.
struct OptionsRequest {
    enum class Kind { Run, Help, Version } kind = Kind::Run;
    BridgeOptions options;
    QString helpText;
};
std::variant<OptionsRequest, QString> ReadOptions(const QStringList &arguments);

// key=value lines; the reason, with the line, for anything else.
std::variant<Credentials, QString> ReadCredentials(const QString &path);

} // namespace telvaro::bridge
