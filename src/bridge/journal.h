#pragma once
// The bridge's journal in its state folder: a line when an operation starts,
// one with its result when it ends, one when that result has gone to the
// broker. What a killed bridge left unfinished is read back at its next
// start: operations that never ended, and results never published.

#include <QFile>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>

namespace telvaro::bridge {

class Journal {
public:
    struct Entry {
        QJsonObject start;                 // job, sign, id, op, started, transcript
        std::optional<QJsonObject> result; // when it ended
    };

    // Reads what the last run left, keeps only what is unfinished and opens
    // the file for appending; the reason when it cannot.
    std::optional<QString> open(const QString &path);
    // What the last run left unfinished, in the order it started.
    const QList<Entry> &leftOver() const { return m_leftOver; }

    void started(const QJsonObject &start);
    void ended(const QString &job, const QJsonObject &result);
    void published(const QString &job);

private:
    void append(const QJsonObject &line);

    QFile m_file;
    QList<Entry> m_leftOver;
};

} // namespace telvaro::bridge
