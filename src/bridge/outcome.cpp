#include "bridge/outcome.h"

#include "codec/codepage.h"
#include "table/messagefiles.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

namespace telvaro::bridge {

namespace {

QJsonObject Skeleton(const QString &sign, const QString &id, const QString &op)
{
    return {{QStringLiteral("sign"), sign},
            {QStringLiteral("id"), id.isNull() ? QJsonValue() : QJsonValue(id)},
            {QStringLiteral("op"), op.isEmpty() ? QJsonValue() : QJsonValue(op)},
            {QStringLiteral("exit"), QJsonValue()},
            {QStringLiteral("frames_sent"), 0},
            {QStringLiteral("frames_planned"), QJsonValue()},
            {QStringLiteral("verification"), QJsonValue()},
            {QStringLiteral("transcript"), QJsonValue()}};
}

void SetTimes(QJsonObject &result, const QDateTime &started, const QDateTime &ended)
{
    result.insert(QStringLiteral("started"), UtcText(started));
    result.insert(QStringLiteral("ended"), UtcText(ended));
    result.insert(QStringLiteral("duration"), double(started.msecsTo(ended)) / 1000.0);
}

QJsonArray Lines(const QByteArray &text)
{
    QJsonArray lines;
    for (const QByteArray &line : text.split('\n')) {
        const QString trimmed = QString::fromUtf8(line).trimmed();
        if (!trimmed.isEmpty())
            lines.append(trimmed);
    }
    return lines;
}

// The command line's outcome: the last line of its output that is a JSON
// object with a status (what the device sent comes before it).
std::optional<QJsonObject> OutcomeLine(const QByteArray &out)
{
    const QList<QByteArray> lines = out.trimmed().split('\n');
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        const QJsonDocument document = QJsonDocument::fromJson(it->trimmed());
        if (document.isObject() && document.object().contains(QStringLiteral("status")))
            return document.object();
    }
    return std::nullopt;
}

// Without an outcome line, the exit status says how it ended.
QString StatusOfExit(int exitCode)
{
    if (exitCode == 0)
        return QStringLiteral("done");
    if (exitCode == 128 + 1 || exitCode == 128 + 2 || exitCode == 128 + 15)
        return QStringLiteral("stopped");
    return QStringLiteral("failed");
}

} // namespace

QStringList CliArguments(const Command &command, const QString &sign, const JobFiles &files)
{
    QStringList args{command.op, QStringLiteral("--sign"), sign, QStringLiteral("--registry"), files.registry,
                     QStringLiteral("--json"), QStringLiteral("--transcript"), files.transcript,
                     // A line another program holds is waited for, as the
                     // bridge's own operations wait for one another.
                     QStringLiteral("--wait-line")};
    if (command.op == QLatin1String("load-controller") && command.verify)
        args << QStringLiteral("--verify");
    if (command.op == QLatin1String("run") && command.duration)
        args << QStringLiteral("--duration") << QString::number(*command.duration, 'g', 12);
    // Whatever the text begins with, it is the text.
    QStringList positionals;
    if (command.op == QLatin1String("send"))
        positionals << command.text;
    else if (command.op == QLatin1String("call-message"))
        positionals << QString::number(command.number);
    else if (command.op == QLatin1String("upload"))
        positionals << files.output;
    else if (!files.table.isEmpty())
        positionals << files.table;
    if (!positionals.isEmpty())
        args << QStringLiteral("--") << positionals;
    return args;
}

QByteArray TableBytes(const QList<CommandMessage> &messages)
{
    QList<MessageEntry> entries;
    entries.reserve(messages.size());
    for (qsizetype i = 0; i < messages.size(); ++i) {
        const CommandMessage &m = messages.at(i);
        entries.append({qint16(i), m.interval, TextToBytes(m.text), {}, TextToBytes(m.comment)});
    }
    return WriteTvd(entries);
}

QString UtcText(const QDateTime &time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

QJsonObject RefusalResult(const QString &sign, const CommandRefusal &refusal, const QDateTime &at)
{
    QJsonObject result = Skeleton(sign, refusal.id, refusal.op);
    result.insert(QStringLiteral("status"), QStringLiteral("refused"));
    result.insert(QStringLiteral("reasons"), QJsonArray{refusal.reason, QStringLiteral("Nothing was sent.")});
    SetTimes(result, at, at);
    return result;
}

QJsonObject ChildResult(const QString &sign, const Command &command, const JobFiles &files, const ChildEnding &ending)
{
    QJsonObject result = Skeleton(sign, command.id, command.op);
    result.insert(QStringLiteral("transcript"), files.transcript);
    if (const auto outcome = OutcomeLine(ending.out)) {
        for (auto it = outcome->begin(); it != outcome->end(); ++it)
            result.insert(it.key(), it.value());
        result.insert(QStringLiteral("sign"), sign);
        result.insert(QStringLiteral("id"), command.id);
        result.insert(QStringLiteral("op"), command.op);
    } else {
        QJsonArray reasons = Lines(ending.err);
        if (ending.crashed)
            reasons.append(QStringLiteral("telvaro-cli ended without an outcome: %1").arg(ending.crashReason));
        result.insert(QStringLiteral("status"),
                      ending.crashed ? QStringLiteral("failed") : StatusOfExit(ending.exitCode));
        result.insert(QStringLiteral("exit"), ending.crashed ? QJsonValue() : QJsonValue(ending.exitCode));
        result.insert(QStringLiteral("reasons"), reasons);
        SetTimes(result, ending.started, ending.ended);
    }
    if (!files.output.isEmpty())
        result.insert(QStringLiteral("file"), files.output);
    return result;
}

QJsonObject InterruptedResult(const QJsonObject &start, const QDateTime &now)
{
    QJsonObject result =
        Skeleton(start.value(QStringLiteral("sign")).toString(), start.value(QStringLiteral("id")).toString(),
                 start.value(QStringLiteral("op")).toString());
    const QString transcript = start.value(QStringLiteral("transcript")).toString();
    result.insert(QStringLiteral("transcript"), transcript);
    result.insert(QStringLiteral("status"), QStringLiteral("interrupted"));
    int chunks = 0;
    qint64 bytes = 0;
    QString last;
    QFile file(transcript);
    if (file.open(QIODevice::ReadOnly)) {
        while (!file.atEnd()) {
            const QByteArray line = file.readLine();
            const qsizetype tab = line.indexOf('\t');
            const QList<QByteArray> head = line.left(tab).split(' ');
            if (tab > 0 && head.size() == 3 && head.at(1) == "TX") {
                ++chunks;
                bytes += head.at(2).toLongLong();
                last = QString::fromLatin1(head.at(0));
            }
        }
    }
    const QString sent =
        chunks == 0
            ? QStringLiteral("Nothing had been sent.")
            : QStringLiteral("%1 bytes had been sent in %2 writes, the last at %3.").arg(bytes).arg(chunks).arg(last);
    result.insert(QStringLiteral("reasons"),
                  QJsonArray{QStringLiteral("The bridge ended while the operation ran; it did not finish."), sent});
    result.insert(QStringLiteral("frames_sent"), chunks);
    const QDateTime started =
        QDateTime::fromString(start.value(QStringLiteral("started")).toString(), Qt::ISODateWithMs);
    SetTimes(result, started.isValid() ? started : now, now);
    return result;
}

} // namespace telvaro::bridge
