#pragma once
// The bridge: commands for the signs of the registry from the broker, each
// sign's operations on its line's queue, and what it publishes back: one
// result per command, each sign's retained state, its own status.

#include "bridge/discovery.h"
#include "bridge/journal.h"
#include "bridge/linequeue.h"
#include "bridge/options.h"
#include "fleet/registry.h"

#include <QHash>
#include <QJsonObject>
#include <QMap>
#include <QObject>

namespace telvaro::bridge {

class MqttClient;

class Bridge : public QObject {
    Q_OBJECT
public:
    Bridge(const BridgeOptions &options, const QString &cliPath, QObject *parent = nullptr);

    // Reads the registry, the journal and the credentials and starts
    // connecting; the reason when the bridge cannot run.
    std::optional<QString> start();
    // SIGTERM: running operations end through data entry, their outcomes
    // and "offline" are published, then finished() is emitted.
    void stop();

Q_SIGNALS:
    void finished();

private:
    struct SignState {
        SignEntry entry;
        QString line; // its line queue's key
        QJsonObject last;
        QJsonObject lastVerified;
    };
    struct Outgoing {
        QString job; // empty for a refusal, which has no journal entry
        QString sign;
        QJsonObject result;
    };

    void onConnected();
    void onMessage(const QString &topic, const QByteArray &payload, bool retained);
    void take(const QString &sign, const Command &command);
    void stopSign(const QString &sign, const Command &command);
    void onJobStarted(const Job &job, const QDateTime &at);
    void onJobEnded(const Job &job, const QJsonObject &result);
    void onJobExpired(const Job &job);
    void publishResult(const Outgoing &outgoing);
    void publishState(const QString &sign);
    void flushOutbox();
    void finishIfDone();
    std::optional<JobFiles> filesFor(const QString &sign, const Command &command, const QString &job);
    LineQueue *queueOf(const QString &sign);

    BridgeOptions m_options;
    QString m_cli;
    Topics m_topics;
    MqttClient *m_client = nullptr;
    Journal m_journal;
    QMap<QString, SignState> m_signs;
    QHash<QString, LineQueue *> m_lines;
    QList<Outgoing> m_outbox;
    bool m_stopping = false;
    bool m_finished = false;
};

} // namespace telvaro::bridge
