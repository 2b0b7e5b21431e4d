#include "bridge/journal.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>
#include <cstdio>

namespace telvaro::bridge {

namespace {

const QString jobKey = QStringLiteral("job");
const QString eventKey = QStringLiteral("event");

QList<Journal::Entry> Unfinished(QFile &file)
{
    QList<QString> order;
    QHash<QString, Journal::Entry> entries;
    while (!file.atEnd()) {
        const QJsonObject line = QJsonDocument::fromJson(file.readLine()).object();
        const QString job = line.value(jobKey).toString();
        const QString event = line.value(eventKey).toString();
        // A line cut short by the kill that ended the last run is skipped.
        if (job.isEmpty())
            continue;
        if (event == QLatin1String("start")) {
            order.append(job);
            entries.insert(job, {line, std::nullopt});
        } else if (event == QLatin1String("end") && entries.contains(job)) {
            entries[job].result = line.value(QStringLiteral("result")).toObject();
        } else if (event == QLatin1String("published")) {
            entries.remove(job);
        }
    }
    QList<Journal::Entry> left;
    for (const QString &job : order) {
        if (entries.contains(job))
            left.append(entries.value(job));
    }
    return left;
}

QByteArray Lines(const QList<Journal::Entry> &entries)
{
    QByteArray bytes;
    for (const Journal::Entry &entry : entries) {
        bytes += QJsonDocument(entry.start).toJson(QJsonDocument::Compact) + '\n';
        if (entry.result) {
            const QJsonObject end{{eventKey, QStringLiteral("end")},
                                  {jobKey, entry.start.value(jobKey)},
                                  {QStringLiteral("result"), *entry.result}};
            bytes += QJsonDocument(end).toJson(QJsonDocument::Compact) + '\n';
        }
    }
    return bytes;
}

} // namespace

std::optional<QString> Journal::open(const QString &path)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return QStringLiteral("%1: the folder cannot be made").arg(QFileInfo(path).absolutePath());
    {
        QFile old(path);
        if (old.exists()) {
            if (!old.open(QIODevice::ReadOnly))
                return QStringLiteral("%1: %2").arg(path, old.errorString());
            m_leftOver = Unfinished(old);
        }
    }
    // What is finished is dropped, so the journal stays as small as the work
    // in hand.
    QSaveFile compact(path);
    if (!compact.open(QIODevice::WriteOnly) || compact.write(Lines(m_leftOver)) < 0 || !compact.commit())
        return QStringLiteral("%1: %2").arg(path, compact.errorString());
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return QStringLiteral("%1: %2").arg(path, m_file.errorString());
    return std::nullopt;
}

void Journal::started(const QJsonObject &start)
{
    QJsonObject line = start;
    line.insert(eventKey, QStringLiteral("start"));
    append(line);
}

void Journal::ended(const QString &job, const QJsonObject &result)
{
    append({{eventKey, QStringLiteral("end")}, {jobKey, job}, {QStringLiteral("result"), result}});
}

void Journal::published(const QString &job)
{
    append({{eventKey, QStringLiteral("published")}, {jobKey, job}});
}

void Journal::append(const QJsonObject &line)
{
    const QByteArray bytes = QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
    if (m_file.write(bytes) != bytes.size())
        std::fprintf(stderr, "telvaro-bridge: the journal %s cannot be written: %s\n", qPrintable(m_file.fileName()),
                     qPrintable(m_file.errorString()));
}

} // namespace telvaro::bridge
