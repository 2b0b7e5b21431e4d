#include "cli/operationrun.h"

#include "app/workspace.h"
#include "base/stopsignals.h"
#include "base/wait.h"
#include "cli/cliprompter.h"
#include "cli/commands.h"
#include "cli/linkoptions.h"
#include "cli/outcomejson.h"
#include "cli/output.h"
#include "link/transcript.h"
#include "plan/stepplan.h"
#include "run/endingtext.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <csignal>
#include <memory>

namespace telvaro::cli {

namespace {

struct CommandTranscriptState {
    std::unique_ptr<Transcript> transcript;
    QString path;
    // How the last operation ended, and its status, for its END line.
    std::optional<QString> ending;
    int endStatus = 0;
};
CommandTranscriptState commandTranscript;

QString DeviceHolds(const OperationRun &how, const OperationOutcome &outcome)
{
    const int sent = outcome.framesSent;
    switch (how.steps) {
    case ProgressLine::Steps::Send:
        return sent > 0 ? QStringLiteral("The message was sent.") : QStringLiteral("Nothing was sent.");
    case ProgressLine::Steps::Run: return QStringLiteral("%1 messages were sent.").arg(sent);
    case ProgressLine::Steps::Load:
        // The load's own account, as the window gives it with a failure.
        return outcome.deviceState.isEmpty() ? QStringLiteral("Nothing was sent: the sign is as it was.")
                                             : outcome.deviceState;
    case ProgressLine::Steps::Controller:
        return QStringLiteral("The controller received %1 of %2 frames.").arg(sent).arg(how.messages + 4);
    case ProgressLine::Steps::Upload: break;
    }
    return QStringLiteral("Nothing was saved.");
}

// How an operation ended, with its reasons, for the transcript's END line.
QString EndingText(const CommandEnding &ending)
{
    return telvaro::EndingText(ending.outcome, ending.signalNumber != 0 ? SignalName(ending.signalNumber) : QString());
}

// The END line of the operation before, written as the next one starts or
// the command ends.
void WriteEnd(Transcript &transcript, int status)
{
    if (const auto ending = std::exchange(commandTranscript.ending, std::nullopt))
        transcript.event("END", EndLineText(*ending, status));
}

// What the progress line counts down from: the operation's own plan; for
// an upload, whose length is the controller's, the longest it may take.
std::optional<StepPlan> ProgressPlan(Workspace &ws, const OperationRun &how)
{
    if (!ProgressLine::Shown(how.quiet))
        return std::nullopt;
    switch (how.steps) {
    case ProgressLine::Steps::Load:
    case ProgressLine::Steps::Controller:
    case ProgressLine::Steps::Upload: break;
    case ProgressLine::Steps::Run:
    case ProgressLine::Steps::Send: return std::nullopt;
    }
    // The plan is worked out without a word on stderr.
    auto *prompter = dynamic_cast<CliPrompter *>(&ws.prompter());
    if (prompter)
        prompter->setMuted(true);
    const StepPlan plan = PlanSteps(ws, how.plan, ws.prompter());
    if (prompter)
        prompter->setMuted(false);
    return plan.atMost || !plan.starts.isEmpty() ? std::optional(plan) : std::nullopt;
}

// The frames the operation's plan holds; none for a run that repeats
// without an end.
std::optional<int> FramesPlanned(Workspace &ws, const OperationRun &how, const std::optional<StepPlan> &steps)
{
    switch (how.steps) {
    case ProgressLine::Steps::Upload: return UploadFrames;
    case ProgressLine::Steps::Run:
        if (how.repeats && !how.plan.durationSeconds)
            return std::nullopt;
        break;
    case ProgressLine::Steps::Send:
    case ProgressLine::Steps::Load:
    case ProgressLine::Steps::Controller: break;
    }
    // The progress line's plan has counted them already: a large table is
    // not planned twice before its first frame.
    if (steps && !steps->starts.isEmpty())
        return steps->frames;
    return CountPlannedFrames(ws, how.plan);
}

} // namespace

QString SignalName(int number)
{
    switch (number) {
#ifdef SIGHUP
    case SIGHUP: return QStringLiteral("SIGHUP");
#endif
    case SIGINT: return QStringLiteral("SIGINT");
    case SIGTERM: return QStringLiteral("SIGTERM");
    default: return QStringLiteral("signal %1").arg(number);
    }
}

bool OpenTranscript(Workspace &ws, const QString &path)
{
    auto transcript = std::make_unique<Transcript>();
    if (!transcript->open(path)) {
        PrintError(
            QStringLiteral("telvaro-cli: cannot open the transcript %1: %2").arg(path, transcript->errorString()));
        return false;
    }
    transcript->observe(ws.link());
    commandTranscript = {std::move(transcript), path, std::nullopt, 0};
    NoteTranscript(QFileInfo(path).absoluteFilePath());
    return true;
}

Transcript *CommandTranscript()
{
    return commandTranscript.transcript.get();
}

int EndTranscript(int status)
{
    const std::unique_ptr<Transcript> transcript = std::move(commandTranscript.transcript);
    if (!transcript)
        return status;
    // Whether the lines so far all reached the file decides the status the
    // END line carries; then whether the END line itself did.
    QElapsedTimer waited;
    waited.start();
    bool whole = transcript->flush(Transcript::FinalWaitMs);
    if (!whole)
        status = status == ExitDone ? ExitFailed : status;
    if (commandTranscript.ending) {
        WriteEnd(*transcript, status);
        if (!transcript->flush(int(qMax<qint64>(0, Transcript::FinalWaitMs - waited.elapsed()))) && whole) {
            whole = false;
            status = status == ExitDone ? ExitFailed : status;
        }
    }
    if (!whole)
        PrintError(QStringLiteral("telvaro-cli: the transcript %1 is incomplete: %2")
                       .arg(commandTranscript.path, transcript->problem()));
    return status;
}

QString StopLine(int signalNumber, const OperationRun &how, const QString &stepPanel, const OperationOutcome &outcome)
{
    const QString step = ProgressLine::StepText(how.steps, stepPanel, how.messages);
    return QStringLiteral("Stopped by %1%2. %3")
        .arg(SignalName(signalNumber), step.isEmpty() ? QString() : QStringLiteral(" at ") + step,
             DeviceHolds(how, outcome));
}

CommandEnding RunOperation(Workspace &ws, const OperationRun &how, const std::function<OperationOutcome()> &operation)
{
    CommandEnding ending;
    if (how.dryRun) {
        ending.outcome = RunDryRun(ws, *how.dryRun, how.plan);
        ending.status = OutcomeStatus(ending.outcome);
        NoteOperation(ending, ending.outcome.framesSent);
        return ending;
    }
    // An operation before this one (a load before its read-back) ended with
    // the status it had.
    if (commandTranscript.transcript)
        WriteEnd(*commandTranscript.transcript, commandTranscript.endStatus);
    const std::optional<StepPlan> plan = ProgressPlan(ws, how);
    const std::optional<int> framesPlanned = OutcomeWanted() ? FramesPlanned(ws, how, plan) : std::nullopt;
    const LiveOutput output;
    QString stepAtStop;
    // A stop ends the operation as data entry does, and at once: every wait
    // under way is cut short by leaving every event loop.
    auto stop = [&ws](auto &&before) {
        before();
        ws.MnuModeData_Click();
        QCoreApplication::exit(0);
    };
    StopSignals signals;
    QObject::connect(&signals, &StopSignals::stopRequested, &ws, [&](int number) {
        stop([&] {
            ending.signalNumber = number;
            stepAtStop = ws.status().text(3);
        });
    });
    // A wait for a serial line held by another process is told once.
    QObject waiting;
    if (!how.quiet)
        QObject::connect(&ws.operations(), &Operations::waitingForLine, &waiting,
                         [](const QString &text) { PrintError(text); });
    {
        const ProgressLine progress(ws.status(), how.steps, how.messages,
                                    how.quiet || how.steps == ProgressLine::Steps::Send, plan);
        // From the same moment as in a plan, and ended by the same waits.
        const std::optional<OperationEnd> end = EndAfter(ws, how.plan.durationSeconds);
        ending.outcome = operation();
    }
    if (ending.signalNumber != 0) {
        PrintError(StopLine(ending.signalNumber, how, stepAtStop, ending.outcome));
        ending.status = 128 + ending.signalNumber;
    } else {
        ending.status = OutcomeStatus(ending.outcome);
    }
    NoteOperation(ending, framesPlanned);
    if (commandTranscript.transcript) {
        commandTranscript.ending = EndingText(ending);
        commandTranscript.endStatus = ending.status;
    }
    return ending;
}

} // namespace telvaro::cli
