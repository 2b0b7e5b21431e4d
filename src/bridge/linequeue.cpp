#include "bridge/linequeue.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <csignal>
#include <sys/prctl.h>
#include <utility>

namespace telvaro::bridge {

namespace {

// The outcome line comes last; what the device sent before it may be long.
constexpr qsizetype keptOutput = 8 << 20;

void AppendBounded(QByteArray &kept, const QByteArray &more)
{
    kept += more;
    if (kept.size() > keptOutput)
        kept.remove(0, kept.size() - keptOutput);
}

// Never pid 0, which would be the bridge's own process group.
void Interrupt(const QProcess *process)
{
    if (process && process->processId() > 0)
        ::kill(pid_t(process->processId()), SIGINT);
}

} // namespace

LineQueue::LineQueue(const QString &cliPath, QObject *parent) : QObject(parent), m_cli(cliPath)
{
    warmUp();
}

LineQueue::~LineQueue()
{
    // The child kept ready ends at the end of its input; one that has not yet
    // is given a moment, then ended, rather than left to QProcess to kill
    // with a warning in the journal at every stop.
    for (QProcess *child : findChildren<QProcess *>(Qt::FindDirectChildrenOnly)) {
        child->disconnect(this);
        child->closeWriteChannel();
        if (child->state() != QProcess::NotRunning && !child->waitForFinished(3000)) {
            child->kill();
            child->waitForFinished(1000);
        }
    }
}

void LineQueue::enqueue(const Job &job)
{
    m_queue.append(job);
    if (!m_process)
        startNext();
}

int LineQueue::waiting(const QString &sign) const
{
    return int(std::count_if(m_queue.begin(), m_queue.end(), [&sign](const Job &job) { return job.sign == sign; }));
}

bool LineQueue::running(const QString &sign) const
{
    return m_process && m_current.sign == sign;
}

bool LineQueue::stop(const QString &sign)
{
    if (!running(sign))
        return false;
    Interrupt(m_process);
    return true;
}

QList<Job> LineQueue::drain()
{
    m_draining = true;
    QList<Job> waiting;
    waiting.swap(m_queue);
    Interrupt(m_process);
    endWarmQuietly();
    return waiting;
}

void LineQueue::warmUp()
{
    if (m_warm || m_draining)
        return;
    // Known before start(), which may already report that it failed.
    QProcess *const process = m_warm = new QProcess(this);
    // A bridge that dies does not leave an operation running on the device.
    process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    connect(process, &QProcess::finished, this, [this, process](int exitCode, QProcess::ExitStatus status) {
        childEnded(process, exitCode, status == QProcess::CrashExit);
    });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            childEnded(process, -1, true);
    });
    process->start(m_cli, {QStringLiteral("--arguments-from-stdin")});
}

void LineQueue::childEnded(QProcess *process, int exitCode, bool crashed)
{
    if (process == m_process) {
        finish(exitCode, crashed, process->errorString());
        return;
    }
    if (process != m_warm)
        return;
    // It ended before it had an operation: nothing ran, nothing to tell.
    // Replaced at once, but not more than once a second, so that a program
    // that cannot start is not started over and over; the next operation
    // then starts its own.
    m_warm = nullptr;
    m_warmFailure = process->errorString();
    process->disconnect(this);
    process->deleteLater();
    const bool again = m_warmLost.isValid() && m_warmLost.elapsed() < 1000;
    m_warmLost.start();
    if (!again)
        warmUp();
}

void LineQueue::endWarmQuietly()
{
    QProcess *const idle = std::exchange(m_warm, nullptr);
    if (!idle)
        return;
    idle->disconnect(this);
    connect(idle, &QProcess::finished, idle, &QObject::deleteLater);
    // At the end of its input it ends without a word.
    idle->closeWriteChannel();
}

void LineQueue::startNext()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    while (!m_queue.isEmpty() && m_queue.first().command.expires && *m_queue.first().command.expires <= now)
        Q_EMIT jobExpired(m_queue.takeFirst());
    if (m_queue.isEmpty())
        return;
    m_current = m_queue.takeFirst();
    m_ending = {};
    m_ending.started = QDateTime::currentDateTimeUtc();
    Q_EMIT jobStarted(m_current, m_ending.started);
    // One that ended unseen while it waited is replaced before it is given work.
    if (m_warm && m_warm->state() == QProcess::Running)
        m_warm->waitForFinished(0);
    warmUp();
    if (!m_warm) {
        finish(-1, true, m_warmFailure);
        return;
    }
    m_process = std::exchange(m_warm, nullptr);
    connect(m_process, &QProcess::readyReadStandardOutput, this,
            [this] { AppendBounded(m_ending.out, m_process->readAllStandardOutput()); });
    connect(m_process, &QProcess::readyReadStandardError, this,
            [this] { AppendBounded(m_ending.err, m_process->readAllStandardError()); });
    const QStringList arguments = CliArguments(m_current.command, m_current.sign, m_current.files);
    m_process->write(QJsonDocument(QJsonArray::fromStringList(arguments)).toJson(QJsonDocument::Compact) + '\n');
    m_process->closeWriteChannel();
    warmUp();
}

void LineQueue::finish(int exitCode, bool crashed, const QString &reason)
{
    if (m_process) {
        AppendBounded(m_ending.out, m_process->readAllStandardOutput());
        AppendBounded(m_ending.err, m_process->readAllStandardError());
        m_process->disconnect(this);
        m_process->deleteLater();
        m_process = nullptr;
    }
    m_ending.exitCode = exitCode;
    m_ending.crashed = crashed;
    m_ending.crashReason = reason;
    m_ending.ended = QDateTime::currentDateTimeUtc();
    const Job done = m_current;
    Q_EMIT jobEnded(done, ChildResult(done.sign, done.command, done.files, m_ending));
    startNext();
}

} // namespace telvaro::bridge
