#include "bridge/bridge.h"

#include "bridge/mqttclient.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QUuid>
#include <cstdio>

namespace telvaro::bridge {

namespace {

// How long the last results may take to reach the broker at the end.
constexpr int goodbyeMs = 5000;

void Say(const QString &line)
{
    std::fprintf(stderr, "telvaro-bridge: %s\n", qPrintable(line));
}

QByteArray Compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QString Stamp(const QDateTime &time)
{
    return time.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss.zzz'Z'"));
}

QString Sha256Of(const QString &path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return {};
    return QString::fromLatin1(hash.result().toHex());
}

// The table written for a job is the bridge's own, gone with the job; an
// operation without a table has none.
void RemoveTableOf(const Job &job)
{
    if (!job.files.table.isEmpty())
        QFile::remove(job.files.table);
}

} // namespace

Bridge::Bridge(const BridgeOptions &options, const QString &cliPath, QObject *parent)
    : QObject(parent), m_options(options), m_cli(cliPath), m_topics{options.prefix, options.id}
{
}

std::optional<QString> Bridge::start()
{
    for (const QString &dir :
         {m_options.state, m_options.transcripts, m_options.state + QStringLiteral("/tables"),
          m_options.state + QStringLiteral("/uploads"), m_options.state + QStringLiteral("/signs")}) {
        if (!QDir().mkpath(dir))
            return QStringLiteral("%1: the folder cannot be made").arg(dir);
    }
    if (const auto problem = m_journal.open(m_options.state + QStringLiteral("/journal")))
        return problem;
    for (const auto &read : ReadRegistry(m_options.registry)) {
        if (const auto *error = std::get_if<RegistryError>(&read)) {
            Say(error->text() + QStringLiteral(" (this sign is not served)"));
            continue;
        }
        const SignEntry &entry = std::get<SignEntry>(read);
        SignState state{
            entry, entry.lineKey().isEmpty() ? QStringLiteral("sign:") + entry.name : entry.lineKey(), {}, {}};
        QFile saved(m_options.state + QStringLiteral("/signs/") + entry.name + QStringLiteral(".json"));
        if (saved.open(QIODevice::ReadOnly)) {
            const QJsonObject object = QJsonDocument::fromJson(saved.readAll()).object();
            state.last = object.value(QStringLiteral("last")).toObject();
            state.lastVerified = object.value(QStringLiteral("last_verified_load")).toObject();
        }
        m_signs.insert(entry.name, state);
    }
    if (m_signs.isEmpty())
        Say(QStringLiteral("the registry %1 holds no sign to serve").arg(m_options.registry));
    for (const Journal::Entry &left : m_journal.leftOver()) {
        const QString job = left.start.value(QStringLiteral("job")).toString();
        QJsonObject result =
            left.result ? *left.result : InterruptedResult(left.start, QDateTime::currentDateTimeUtc());
        if (!left.result)
            m_journal.ended(job, result);
        m_outbox.append({job, left.start.value(QStringLiteral("sign")).toString(), result});
    }

    BrokerSettings broker;
    broker.host = m_options.brokerHost;
    broker.port = m_options.brokerPort;
    broker.clientId = QStringLiteral("telvaro-bridge-") + m_options.id;
    broker.caFile = m_options.ca;
    broker.certFile = m_options.cert;
    broker.keyFile = m_options.key;
    broker.willTopic = m_topics.status();
    broker.willPayload = "offline";
    if (!m_options.credentials.isEmpty()) {
        const auto credentials = ReadCredentials(m_options.credentials);
        if (const auto *problem = std::get_if<QString>(&credentials))
            return *problem;
        broker.username = std::get<Credentials>(credentials).username;
        broker.password = std::get<Credentials>(credentials).password;
    }
    // Every line has its child started before the first command comes.
    for (const QString &sign : m_signs.keys())
        queueOf(sign);
    m_client = new MqttClient(this);
    connect(m_client, &MqttClient::connected, this, &Bridge::onConnected);
    connect(m_client, &MqttClient::messageReceived, this, &Bridge::onMessage);
    connect(m_client, &MqttClient::connectFailed, this,
            [](const QString &reason) { Say(QStringLiteral("the broker refused or cannot be reached: ") + reason); });
    connect(m_client, &MqttClient::disconnected, this, [](const QString &reason) {
        Say(QStringLiteral("the broker connection was lost (%1); reconnecting").arg(reason));
    });
    Say(QStringLiteral("serving %1 signs as %2 on %3:%4")
            .arg(m_signs.size())
            .arg(m_options.id, m_options.brokerHost)
            .arg(m_options.brokerPort));
    return m_client->start(broker);
}

void Bridge::onConnected()
{
    Say(QStringLiteral("connected to the broker"));
    m_client->publish(m_topics.status(), m_stopping ? "offline" : "online", 1, true);
    for (auto it = m_signs.begin(); it != m_signs.end(); ++it) {
        m_client->subscribe(m_topics.command(it.key()), 1);
        publishState(it.key());
        if (m_options.discovery) {
            for (const RetainedMessage &message : DiscoveryMessages(m_topics, m_options.discoveryPrefix, it.key()))
                m_client->publish(message.topic, message.payload, 1, true);
        }
    }
    flushOutbox();
    finishIfDone();
}

void Bridge::onMessage(const QString &topic, const QByteArray &payload, bool retained)
{
    const QString sign = m_topics.signOfCommand(topic);
    if (sign.isEmpty())
        return;
    auto read = ReadCommand(payload, m_signs.contains(sign), QDateTime::currentDateTimeUtc());
    if (const auto *refusal = std::get_if<CommandRefusal>(&read)) {
        publishResult({{}, sign, RefusalResult(sign, *refusal, QDateTime::currentDateTimeUtc())});
        return;
    }
    const Command &command = std::get<Command>(read);
    // A retained command would run again at every connection.
    const QString refusal =
        retained     ? QStringLiteral("a retained command is not run; publish commands without the retain flag")
        : m_stopping ? QStringLiteral("The bridge is stopping.")
                     : QString();
    if (!refusal.isEmpty()) {
        publishResult(
            {{}, sign, RefusalResult(sign, {command.id, command.op, refusal}, QDateTime::currentDateTimeUtc())});
        return;
    }
    if (command.op == QLatin1String("stop"))
        stopSign(sign, command);
    else
        take(sign, command);
}

void Bridge::take(const QString &sign, const Command &command)
{
    const QString job = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const auto files = filesFor(sign, command, job);
    if (!files)
        return;
    queueOf(sign)->enqueue({job, sign, command, *files});
    publishState(sign);
}

void Bridge::stopSign(const QString &sign, const Command &command)
{
    const bool stopped = queueOf(sign)->stop(sign);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (!stopped) {
        publishResult({{},
                       sign,
                       RefusalResult(sign,
                                     {command.id, command.op,
                                      QStringLiteral("No operation of the sign was running; nothing was stopped.")},
                                     now)});
        return;
    }
    QJsonObject result = RefusalResult(sign, {command.id, command.op, {}}, now);
    result.insert(QStringLiteral("status"), QStringLiteral("done"));
    result.insert(QStringLiteral("exit"), 0);
    result.insert(QStringLiteral("reasons"),
                  QJsonArray{QStringLiteral("The running operation was told to stop; its own result follows.")});
    publishResult({{}, sign, result});
}

std::optional<JobFiles> Bridge::filesFor(const QString &sign, const Command &command, const QString &job)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    JobFiles files;
    files.registry = m_options.registry;
    files.transcript = QStringLiteral("%1/%2-%3-%4.log").arg(m_options.transcripts, sign, Stamp(now), command.op);
    if (command.op == QLatin1String("upload"))
        files.output = QStringLiteral("%1/uploads/%2-%3.TVD").arg(m_options.state, sign, Stamp(now));
    if (command.messages) {
        files.table = QStringLiteral("%1/tables/%2-%3.TVD").arg(m_options.state, sign, job);
        QSaveFile table(files.table);
        if (!table.open(QIODevice::WriteOnly) || table.write(TableBytes(*command.messages)) < 0 || !table.commit()) {
            const QString reason =
                QStringLiteral("The table could not be written to %1: %2").arg(files.table, table.errorString());
            publishResult({{}, sign, RefusalResult(sign, {command.id, command.op, reason}, now)});
            return std::nullopt;
        }
    }
    return files;
}

LineQueue *Bridge::queueOf(const QString &sign)
{
    const QString line = m_signs.value(sign).line;
    LineQueue *&queue = m_lines[line];
    if (!queue) {
        queue = new LineQueue(m_cli, this);
        connect(queue, &LineQueue::jobStarted, this, &Bridge::onJobStarted);
        connect(queue, &LineQueue::jobEnded, this, &Bridge::onJobEnded);
        connect(queue, &LineQueue::jobExpired, this, &Bridge::onJobExpired);
    }
    return queue;
}

void Bridge::onJobStarted(const Job &job, const QDateTime &at)
{
    m_journal.started({{QStringLiteral("job"), job.key},
                       {QStringLiteral("sign"), job.sign},
                       {QStringLiteral("id"), job.command.id},
                       {QStringLiteral("op"), job.command.op},
                       {QStringLiteral("started"), UtcText(at)},
                       {QStringLiteral("transcript"), job.files.transcript}});
    publishState(job.sign);
}

void Bridge::onJobEnded(const Job &job, const QJsonObject &result)
{
    m_journal.ended(job.key, result);
    SignState &state = m_signs[job.sign];
    state.last = result;
    const QJsonValue verification = result.value(QStringLiteral("verification"));
    if (job.command.op == QLatin1String("load-controller") && verification.isObject()) {
        const QString table = job.files.table.isEmpty() ? state.entry.table() : job.files.table;
        state.lastVerified = {{QStringLiteral("when"), result.value(QStringLiteral("ended"))},
                              {QStringLiteral("table_sha256"), Sha256Of(table)},
                              {QStringLiteral("result"), verification.toObject().value(QStringLiteral("result"))}};
    }
    RemoveTableOf(job);
    QSaveFile saved(m_options.state + QStringLiteral("/signs/") + job.sign + QStringLiteral(".json"));
    if (!saved.open(QIODevice::WriteOnly) ||
        saved.write(Compact(
            {{QStringLiteral("last"), state.last}, {QStringLiteral("last_verified_load"), state.lastVerified}})) < 0 ||
        !saved.commit())
        Say(QStringLiteral("the state of %1 cannot be kept: %2").arg(job.sign, saved.errorString()));
    // The state first: whoever has the result finds the state that holds it.
    publishState(job.sign);
    publishResult({job.key, job.sign, result});
    finishIfDone();
}

void Bridge::onJobExpired(const Job &job)
{
    const QString reason =
        QStringLiteral("the command expired at %1 while it waited for the line").arg(UtcText(*job.command.expires));
    publishResult({{},
                   job.sign,
                   RefusalResult(job.sign, {job.command.id, job.command.op, reason}, QDateTime::currentDateTimeUtc())});
    RemoveTableOf(job);
    publishState(job.sign);
}

void Bridge::publishResult(const Outgoing &outgoing)
{
    if (m_client && m_client->isConnected() &&
        m_client->publish(m_topics.result(outgoing.sign), Compact(outgoing.result), 1, false)) {
        if (!outgoing.job.isEmpty())
            m_journal.published(outgoing.job);
        return;
    }
    m_outbox.append(outgoing);
}

void Bridge::flushOutbox()
{
    QList<Outgoing> waiting;
    waiting.swap(m_outbox);
    for (const Outgoing &outgoing : waiting)
        publishResult(outgoing);
}

void Bridge::publishState(const QString &sign)
{
    if (!m_client || !m_client->isConnected() || !m_signs.contains(sign))
        return;
    const SignState &state = m_signs.value(sign);
    const LineQueue *queue = m_lines.value(state.line);
    const bool busy = queue && queue->running(sign);
    const QJsonObject payload{{QStringLiteral("sign"), sign},
                              {QStringLiteral("bridge"), m_options.id},
                              {QStringLiteral("state"), busy ? QStringLiteral("busy") : QStringLiteral("idle")},
                              {QStringLiteral("queue"), queue ? queue->waiting(sign) : 0},
                              {QStringLiteral("last"), state.last.isEmpty() ? QJsonValue() : QJsonValue(state.last)},
                              {QStringLiteral("last_verified_load"),
                               state.lastVerified.isEmpty() ? QJsonValue() : QJsonValue(state.lastVerified)}};
    m_client->publish(m_topics.state(sign), Compact(payload), 1, true);
}

void Bridge::stop()
{
    if (m_stopping)
        return;
    m_stopping = true;
    Say(QStringLiteral("stopping: running operations end through data entry"));
    for (LineQueue *queue : std::as_const(m_lines)) {
        for (const Job &job : queue->drain()) {
            const QString reason = QStringLiteral("The bridge stopped before the operation began.");
            publishResult(
                {{},
                 job.sign,
                 RefusalResult(job.sign, {job.command.id, job.command.op, reason}, QDateTime::currentDateTimeUtc())});
            RemoveTableOf(job);
        }
    }
    finishIfDone();
}

void Bridge::finishIfDone()
{
    if (!m_stopping || m_finished)
        return;
    for (const LineQueue *queue : std::as_const(m_lines)) {
        if (!queue->idle())
            return;
    }
    if (m_client && m_client->isConnected()) {
        m_client->publish(m_topics.status(), "offline", 1, true);
        m_client->disconnectFromBroker(goodbyeMs);
    } else if (!m_outbox.isEmpty()) {
        Say(QStringLiteral("the broker is away: %1 results wait in the journal for the next start")
                .arg(m_outbox.size()));
    }
    m_finished = true;
    Q_EMIT finished();
}

} // namespace telvaro::bridge
