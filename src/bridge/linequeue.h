#pragma once
// The operations of one serial line (or of one TCP or UDP sign), one at a
// time in the order they came. Each runs as a telvaro-cli child process, so
// that signs never wait for one another and an operation that crashes takes
// nothing else with it. One child per line is kept started ahead, waiting
// for its arguments, so that an operation does not wait for a process to
// start; it runs one operation and ends like any other.

#include "bridge/outcome.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QList>
#include <QObject>

class QProcess;

namespace telvaro::bridge {

struct Job {
    QString key; // the journal's name for it
    QString sign;
    Command command;
    JobFiles files;
};

class LineQueue : public QObject {
    Q_OBJECT
public:
    // Starts the line's waiting child at once.
    LineQueue(const QString &cliPath, QObject *parent = nullptr);
    ~LineQueue() override;

    void enqueue(const Job &job);
    // The jobs of a sign that wait, and whether one of its jobs runs.
    int waiting(const QString &sign) const;
    bool running(const QString &sign) const;
    bool idle() const { return !m_process && m_queue.isEmpty(); }
    // Ends the sign's running operation as Data Entry does (SIGINT to its
    // process). False when none of the sign's operations runs.
    bool stop(const QString &sign);
    // The bridge is ending: what waits is handed back, what runs is stopped,
    // the waiting child ends quietly.
    QList<Job> drain();

Q_SIGNALS:
    void jobStarted(const Job &job, const QDateTime &at);
    void jobEnded(const Job &job, const QJsonObject &result);
    // Its expiry passed while it waited for the line: it never starts.
    void jobExpired(const Job &job);

private:
    void startNext();
    void finish(int exitCode, bool crashed, const QString &reason);
    void warmUp();
    void childEnded(QProcess *process, int exitCode, bool crashed);
    void endWarmQuietly();

    QString m_cli;
    QList<Job> m_queue;
    QProcess *m_process = nullptr; // runs m_current
    QProcess *m_warm = nullptr;    // started, waits for its arguments
    QString m_warmFailure;         // why the last waiting child ended
    QElapsedTimer m_warmLost;
    bool m_draining = false;
    Job m_current;
    ChildEnding m_ending;
};

} // namespace telvaro::bridge
