#include "cli/fleetrun.h"

#include "base/stopsignals.h"
#include "base/wait.h"
#include "cli/commands.h"
#include "cli/fleetplan.h"
#include "cli/fleetreport.h"
#include "cli/operationrun.h"
#include "cli/output.h"
#include "cli/progressline.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <algorithm>
#include <csignal>
#include <unistd.h>

namespace telvaro::cli {

namespace {

constexpr int progressRedrawMs = 500;
constexpr int startsSavedMs = 200;
// What the fleet keeps of a child's output: the outcome is its last line.
constexpr qsizetype keptOutput = 64 * 1024;
constexpr qsizetype keptErrorLines = 8;

QString Now()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
}

QString Status(const FleetSign &sign)
{
    return sign.outcome.value(QStringLiteral("status")).toString();
}

// An outcome the fleet writes itself, where no child gave one.
QJsonObject OwnOutcome(const FleetSign &sign, const QString &status, const QStringList &reasons)
{
    const QString now = Now();
    return QJsonObject{{QStringLiteral("sign"), sign.name},
                       {QStringLiteral("op"), sign.entry ? QJsonValue(sign.entry->operation()) : QJsonValue()},
                       {QStringLiteral("status"), status},
                       {QStringLiteral("exit"), status == QLatin1String("done") ? 0 : 1},
                       {QStringLiteral("reasons"), QJsonArray::fromStringList(reasons)},
                       {QStringLiteral("started"), now},
                       {QStringLiteral("ended"), now},
                       {QStringLiteral("duration"), 0},
                       {QStringLiteral("frames_sent"), 0},
                       {QStringLiteral("frames_planned"), QJsonValue()},
                       {QStringLiteral("verification"), QJsonValue()},
                       {QStringLiteral("transcript"), QJsonValue()}};
}

// The names of a previous report's signs, split by whether they ended done.
QSet<QString> PreviousNames(const QJsonObject &report, bool done)
{
    QSet<QString> names;
    for (const QJsonValue &v : report.value(QStringLiteral("signs")).toArray()) {
        const QJsonObject sign = v.toObject();
        if ((sign.value(QStringLiteral("status")).toString() == QLatin1String("done")) == done)
            names.insert(sign.value(QStringLiteral("sign")).toString());
    }
    return names;
}

FleetSign FromRegistry(const std::variant<SignEntry, RegistryError> &read, const QString &name)
{
    FleetSign sign;
    sign.name = name;
    if (const auto *entry = std::get_if<SignEntry>(&read)) {
        sign.entry = *entry;
        return sign;
    }
    sign.state = FleetSign::State::Ended;
    sign.outcome = OwnOutcome(sign, QStringLiteral("refused"), {std::get<RegistryError>(read).text()});
    return sign;
}

QString NameOfFile(const QString &file)
{
    return QFileInfo(file).completeBaseName();
}

} // namespace

std::variant<QList<FleetSign>, QString> SelectSigns(const FleetOptions &options)
{
    QList<FleetSign> signs;
    QStringList names = options.names;
    names.removeDuplicates();
    names.sort();
    if (!names.isEmpty()) {
        for (const QString &name : std::as_const(names))
            signs << FromRegistry(ReadSign(options.registry, name), name);
    } else {
        for (const auto &read : ReadRegistry(options.registry)) {
            if (const auto *error = std::get_if<RegistryError>(&read); error && error->file == options.registry)
                return error->text();
            const QString file = std::holds_alternative<SignEntry>(read) ? std::get<SignEntry>(read).file
                                                                         : std::get<RegistryError>(read).file;
            signs << FromRegistry(read, NameOfFile(file));
        }
    }
    const auto left = [&](const FleetSign &s) {
        const bool tagged = options.tag.isEmpty() || !s.entry || s.entry->tags().contains(options.tag);
        const bool again = !options.previous || !PreviousNames(*options.previous, true).contains(s.name);
        return !(tagged && again);
    };
    signs.removeIf(left);
    if (signs.isEmpty() && !options.previous)
        return options.tag.isEmpty()
                   ? QStringLiteral("No sign in %1.").arg(options.registry)
                   : QStringLiteral("No sign in %1 has the tag %2.").arg(options.registry, options.tag);
    return signs;
}

FleetRun::FleetRun(FleetOptions options, QList<FleetSign> signs, QObject *parent)
    : QObject(parent), m_options(std::move(options)), m_signs(std::move(signs)), m_started(Now())
{
    m_saveSoon.setSingleShot(true);
    m_saveSoon.setInterval(startsSavedMs);
    connect(&m_saveSoon, &QTimer::timeout, this, &FleetRun::saveReport);
}

int FleetRun::exec()
{
    if (const auto problem = SaveReport(m_options.report, report())) {
        PrintError(QStringLiteral("telvaro-cli fleet: cannot write the report %1: %2").arg(m_options.report, *problem));
        return ExitFailed;
    }
    QDir().mkpath(m_options.transcripts);
    for (const FleetSign &s : std::as_const(m_signs))
        if (s.state == FleetSign::State::Ended)
            tell(QStringLiteral("%1: refused: %2")
                     .arg(s.name, s.outcome.value(QStringLiteral("reasons"))[0].toString()));
    if (m_options.progress) {
        for (FleetSign &s : m_signs)
            if (s.entry)
                s.plannedSeconds = PlannedSeconds(*s.entry);
        connect(&m_progressTimer, &QTimer::timeout, this, &FleetRun::drawProgress);
        if (ErrorIsTerminal())
            m_progressTimer.start(progressRedrawMs);
    }
    StopSignals signals;
    connect(&signals, &StopSignals::stopRequested, this, &FleetRun::stop);
    QEventLoop loop;
    m_loop = &loop;
    pump();
    if (!allEnded())
        loop.exec();
    m_loop = nullptr;
    m_progressTimer.stop();
    if (m_options.progress && ErrorIsTerminal())
        WriteError("\r\x1b[K");
    saveReport();
    if (m_stopSignal != 0)
        return 128 + m_stopSignal;
    const bool allDone = std::all_of(m_signs.cbegin(), m_signs.cend(),
                                     [](const FleetSign &s) { return Status(s) == QLatin1String("done"); });
    return allDone && !m_reportFailed ? ExitDone : ExitFailed;
}

bool FleetRun::allEnded() const
{
    return std::all_of(m_signs.cbegin(), m_signs.cend(),
                       [](const FleetSign &s) { return s.state == FleetSign::State::Ended; });
}

// A sign on a serial device waits for the signs before it on that device
// and for the one using it now.
bool FleetRun::lineFree(qsizetype index) const
{
    const QString line = m_signs[index].entry->lineKey();
    if (line.isEmpty())
        return true;
    for (qsizetype j = 0; j < m_signs.size(); ++j) {
        const FleetSign &other = m_signs[j];
        if (j == index || !other.entry || other.entry->lineKey() != line)
            continue;
        if (other.state == FleetSign::State::Running || (j < index && other.state == FleetSign::State::Pending))
            return false;
    }
    return true;
}

void FleetRun::pump()
{
    if (m_stopSignal != 0)
        return;
    qsizetype running = std::count_if(m_signs.cbegin(), m_signs.cend(),
                                      [](const FleetSign &s) { return s.state == FleetSign::State::Running; });
    for (qsizetype i = 0; i < m_signs.size() && running < m_options.parallel; ++i) {
        if (m_signs[i].state == FleetSign::State::Pending && lineFree(i)) {
            start(i);
            ++running;
        }
    }
}

void FleetRun::start(qsizetype index)
{
    FleetSign &sign = m_signs[index];
    sign.state = FleetSign::State::Running;
    ++sign.attempts;
    sign.out.clear();
    sign.errorLines.clear();
    sign.since.start();
    sign.startedAt = Now();
    auto *process = new QProcess(this);
    sign.process = process;
    process->setProgram(QCoreApplication::applicationFilePath());
    process->setArguments({sign.entry->operation(), QStringLiteral("--sign"), sign.name, QStringLiteral("--registry"),
                           m_options.registry, QStringLiteral("--json"), QStringLiteral("--quiet"),
                           QStringLiteral("--transcript"),
                           QDir(m_options.transcripts).filePath(sign.name + QStringLiteral(".log"))});
    // A Ctrl+C at the terminal reaches the fleet alone, which hands it on
    // once: a second one would end a child at once, mid-frame.
    process->setChildProcessModifier([] { ::setpgid(0, 0); });
    process->setStandardInputFile(QProcess::nullDevice());
    connect(process, &QProcess::readyReadStandardOutput, this, [process, &sign] {
        sign.out += process->readAllStandardOutput();
        if (sign.out.size() > 2 * keptOutput)
            sign.out = sign.out.right(keptOutput);
    });
    connect(process, &QProcess::readyReadStandardError, this, [process, &sign] {
        for (const QByteArray &line : process->readAllStandardError().split('\n'))
            if (!line.trimmed().isEmpty())
                sign.errorLines << QString::fromUtf8(line);
        sign.errorLines = sign.errorLines.mid(qMax<qsizetype>(0, sign.errorLines.size() - keptErrorLines));
    });
    connect(process, &QProcess::finished, this,
            [this, index](int code, QProcess::ExitStatus status) { finished(index, code, status); });
    connect(process, &QProcess::errorOccurred, this, [this, index, process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            m_signs[index].errorLines << process->errorString();
            finished(index, -1, QProcess::CrashExit);
        }
    });
    process->start();
    // Starts come in bursts: one save tells them all.
    if (!m_saveSoon.isActive())
        m_saveSoon.start();
}

void FleetRun::finished(qsizetype index, int exitCode, QProcess::ExitStatus status)
{
    FleetSign &sign = m_signs[index];
    if (sign.state != FleetSign::State::Running)
        return;
    sign.out += sign.process->readAllStandardOutput();
    sign.process->deleteLater();
    sign.process = nullptr;
    const QJsonDocument doc = QJsonDocument::fromJson(std::exchange(sign.out, {}).trimmed().split('\n').constLast());
    if (doc.isObject()) {
        sign.outcome = doc.object();
    } else if (m_stopSignal != 0 && status == QProcess::CrashExit) {
        // The signal came before the load had set up its own stop, and so
        // before it had opened its link.
        sign.outcome = OwnOutcome(
            sign, QStringLiteral("stopped"),
            {QStringLiteral("Stopped by %1 as it started; nothing was sent.").arg(SignalName(m_stopSignal))});
    } else {
        QStringList reasons = sign.errorLines;
        reasons << (status == QProcess::CrashExit
                        ? QStringLiteral("telvaro-cli %1 did not end normally.").arg(sign.entry->operation())
                        : QStringLiteral("telvaro-cli %1 ended with exit status %2 and no outcome.")
                              .arg(sign.entry->operation())
                              .arg(exitCode));
        sign.outcome = OwnOutcome(sign, QStringLiteral("failed"), reasons);
    }
    const QString statusText = Status(sign);
    const QJsonArray reasons = sign.outcome.value(QStringLiteral("reasons")).toArray();
    const QString why = reasons.isEmpty() ? QString() : QStringLiteral(": ") + reasons.first().toString();
    if (statusText == QLatin1String("done") || m_stopSignal != 0 || sign.attempts > m_options.retries) {
        sign.state = FleetSign::State::Ended;
        tell(QStringLiteral("%1: %2 after %3%4")
                 .arg(sign.name, statusText, ProgressLine::DurationText(sign.since.elapsed() / 1000.0), why));
    } else {
        sign.state = FleetSign::State::Pausing;
        tell(QStringLiteral("%1: %2 (attempt %3 of %4), again in %5%6")
                 .arg(sign.name, statusText)
                 .arg(sign.attempts)
                 .arg(m_options.retries + 1)
                 .arg(ProgressLine::DurationText(m_options.retryPauseSeconds), why));
        QTimer::singleShot(
            std::chrono::duration_cast<std::chrono::milliseconds>(ScaledInterval(m_options.retryPauseSeconds * 1000.0)),
            this, [this, index] {
                if (m_signs[index].state != FleetSign::State::Pausing)
                    return;
                m_signs[index].state = FleetSign::State::Pending;
                pump();
            });
    }
    saveReport();
    pump();
    if (allEnded() && m_loop)
        m_loop->quit();
}

// Each child is stopped through its own stop, so that it ends as data
// entry ends it and says what its device holds; signs not started are
// reported as stopped.
void FleetRun::stop(int signalNumber)
{
    if (m_stopSignal != 0)
        return;
    m_stopSignal = signalNumber;
    for (FleetSign &sign : m_signs) {
        if (sign.state == FleetSign::State::Running && sign.process)
            ::kill(pid_t(sign.process->processId()), signalNumber);
        else if (sign.state == FleetSign::State::Pausing)
            sign.state = FleetSign::State::Ended;
        else if (sign.state == FleetSign::State::Pending) {
            sign.state = FleetSign::State::Ended;
            sign.outcome =
                OwnOutcome(sign, QStringLiteral("stopped"),
                           {QStringLiteral("Not started: the fleet was stopped by %1.").arg(SignalName(signalNumber))});
        }
    }
    saveReport();
    if (allEnded() && m_loop)
        m_loop->quit();
}

QJsonObject FleetRun::report() const
{
    QList<std::pair<QString, QJsonObject>> entries;
    for (const FleetSign &sign : m_signs) {
        QJsonObject entry = sign.outcome;
        if (sign.state == FleetSign::State::Pending || sign.state == FleetSign::State::Running) {
            entry = OwnOutcome(
                sign, sign.state == FleetSign::State::Running ? QStringLiteral("running") : QStringLiteral("pending"),
                {});
            entry[QStringLiteral("exit")] = QJsonValue();
            entry[QStringLiteral("started")] =
                sign.state == FleetSign::State::Running ? QJsonValue(sign.startedAt) : QJsonValue();
            entry[QStringLiteral("ended")] = QJsonValue();
            entry[QStringLiteral("duration")] = QJsonValue();
        }
        entry[QStringLiteral("sign")] = sign.name;
        entry[QStringLiteral("attempts")] = sign.attempts;
        entries.append({sign.name, entry});
    }
    if (m_options.previous) {
        const QSet<QString> done = PreviousNames(*m_options.previous, true);
        for (const QJsonValue &v : m_options.previous->value(QStringLiteral("signs")).toArray())
            if (const QJsonObject sign = v.toObject(); done.contains(sign.value(QStringLiteral("sign")).toString()))
                entries.append({sign.value(QStringLiteral("sign")).toString(), sign});
    }
    std::stable_sort(entries.begin(), entries.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    QJsonArray signs;
    for (const auto &[name, entry] : entries)
        signs.append(entry);
    const bool ended = allEnded();
    const bool allDone = std::all_of(signs.begin(), signs.end(), [](const QJsonValue &v) {
        return v.toObject().value(QStringLiteral("status")).toString() == QLatin1String("done");
    });
    const QString status = !ended              ? QStringLiteral("running")
                           : m_stopSignal != 0 ? QStringLiteral("stopped")
                           : allDone           ? QStringLiteral("done")
                                               : QStringLiteral("failed");
    return QJsonObject{{QStringLiteral("registry"), QFileInfo(m_options.registry).absoluteFilePath()},
                       {QStringLiteral("status"), status},
                       {QStringLiteral("started"), m_started},
                       {QStringLiteral("ended"), ended ? QJsonValue(Now()) : QJsonValue()},
                       {QStringLiteral("parallel"), m_options.parallel},
                       {QStringLiteral("retries"), m_options.retries},
                       {QStringLiteral("signs"), signs}};
}

void FleetRun::saveReport()
{
    m_saveSoon.stop();
    if (const auto problem = SaveReport(m_options.report, report())) {
        if (!m_reportFailed)
            tell(QStringLiteral("telvaro-cli fleet: cannot write the report %1: %2").arg(m_options.report, *problem));
        m_reportFailed = true;
    }
}

void FleetRun::tell(const QString &line)
{
    if (m_progressTimer.isActive())
        WriteError("\r\x1b[K");
    PrintError(line);
    if (m_options.progress)
        drawProgress();
}

// Signs done, failed and under way, and the time left from the plans: the
// work left spread over the parallel slots, but never less than the
// longest sign still under way.
void FleetRun::drawProgress()
{
    int done = 0, failed = 0, running = 0;
    double work = 0, longest = 0;
    for (const FleetSign &s : std::as_const(m_signs)) {
        const double planned = s.plannedSeconds.value_or(0);
        switch (s.state) {
        case FleetSign::State::Ended: (Status(s) == QLatin1String("done") ? done : failed) += 1; break;
        case FleetSign::State::Running: {
            ++running;
            const double left = qMax(0.0, planned - s.since.elapsed() / 1000.0);
            work += left;
            longest = qMax(longest, left);
            break;
        }
        case FleetSign::State::Pending:
        case FleetSign::State::Pausing: work += planned; break;
        }
    }
    const QString text = QStringLiteral("fleet: %1 of %2 done, %3 failed, %4 running, about %5 left")
                             .arg(done)
                             .arg(m_signs.size())
                             .arg(failed)
                             .arg(running)
                             .arg(ProgressLine::DurationText(qMax(longest, work / m_options.parallel)));
    if (ErrorIsTerminal())
        WriteError("\r" + TerminalText(text) + "\x1b[K");
    else
        PrintError(text);
}

} // namespace telvaro::cli
