#include "bridge/linequeue.h"

#include <QProcess>
#include <csignal>
#include <sys/prctl.h>

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

LineQueue::LineQueue(const QString &cliPath, QObject *parent) : QObject(parent), m_cli(cliPath) {}

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
    QList<Job> waiting;
    waiting.swap(m_queue);
    Interrupt(m_process);
    return waiting;
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
    m_process = new QProcess(this);
    // A bridge that dies does not leave an operation running on the device.
    m_process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    connect(m_process, &QProcess::readyReadStandardOutput, this,
            [this] { AppendBounded(m_ending.out, m_process->readAllStandardOutput()); });
    connect(m_process, &QProcess::readyReadStandardError, this,
            [this] { AppendBounded(m_ending.err, m_process->readAllStandardError()); });
    connect(m_process, &QProcess::finished, this,
            [this](int exitCode, QProcess::ExitStatus status) { finish(exitCode, status == QProcess::CrashExit); });
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finish(-1, true);
    });
    Q_EMIT jobStarted(m_current, m_ending.started);
    m_process->start(m_cli, CliArguments(m_current.command, m_current.sign, m_current.files));
}

void LineQueue::finish(int exitCode, bool crashed)
{
    if (!m_process)
        return;
    AppendBounded(m_ending.out, m_process->readAllStandardOutput());
    AppendBounded(m_ending.err, m_process->readAllStandardError());
    m_ending.exitCode = exitCode;
    m_ending.crashed = crashed;
    m_ending.crashReason = m_process->errorString();
    m_ending.ended = QDateTime::currentDateTimeUtc();
    m_process->disconnect(this);
    m_process->deleteLater();
    m_process = nullptr;
    const Job done = m_current;
    Q_EMIT jobEnded(done, ChildResult(done.sign, done.command, done.files, m_ending));
    startNext();
}

} // namespace telvaro::bridge
