#include "cli/operationrun.h"

#include "app/workspace.h"
#include "base/stopsignals.h"
#include "base/wait.h"
#include "cli/linkoptions.h"
#include "cli/output.h"
#include "controller/controllerprotocol.h"
#include "link/transcript.h"

#include <QCoreApplication>
#include <QTimer>
#include <csignal>

namespace telvaro::cli {

namespace {

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

// How an operation ended, with its reasons, for the transcript.
QString EndingText(const CommandEnding &ending)
{
    using Ending = OperationOutcome::Ending;
    const OperationOutcome &outcome = ending.outcome;
    QString text;
    switch (outcome.ending) {
    case Ending::Done: text = QStringLiteral("done"); break;
    case Ending::Stopped:
        text = ending.signalNumber != 0 ? QStringLiteral("stopped by ") + SignalName(ending.signalNumber)
                                        : QStringLiteral("stopped");
        break;
    case Ending::Refused: text = QStringLiteral("refused"); break;
    case Ending::ConnectionFailed: text = QStringLiteral("connection failed"); break;
    case Ending::Failed: text = QStringLiteral("failed"); break;
    }
    QStringList reasons = OutcomeDetails(outcome);
    if (outcome.ending == Ending::Refused)
        reasons << outcome.reason;
    reasons.removeAll(QString());
    if (!reasons.isEmpty())
        text += QStringLiteral(": ") + reasons.join(QStringLiteral(" "));
    return text + QStringLiteral(" (exit status %1)").arg(ending.status);
}

// What the progress line counts down from: the operation's own plan; for
// an upload, whose length is the controller's, the longest it may take.
std::optional<StepPlan> ProgressPlan(Workspace &ws, const OperationRun &how,
                                     const std::function<OperationOutcome()> &operation)
{
    if (!ProgressLine::Shown(how.quiet))
        return std::nullopt;
    switch (how.steps) {
    case ProgressLine::Steps::Load:
    case ProgressLine::Steps::Controller: {
        const StepPlan plan = PlanSteps(ws, how.messages, operation);
        return plan.starts.isEmpty() ? std::nullopt : std::optional(plan);
    }
    case ProgressLine::Steps::Upload:
        return StepPlan{{}, std::chrono::duration<double>(ScaledInterval(UploadLimitMs)).count()};
    case ProgressLine::Steps::Run:
    case ProgressLine::Steps::Send: break;
    }
    return std::nullopt;
}

} // namespace

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
        ending.outcome = RunDryRun(ws, *how.dryRun, how.messages, how.durationSeconds, operation);
        ending.status = OutcomeStatus(ending.outcome);
        return ending;
    }
    const std::optional<StepPlan> plan = ProgressPlan(ws, how, operation);
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
    QTimer deadline;
    if (how.durationSeconds) {
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, &ws, [&] { stop([] {}); });
        deadline.start(static_cast<int>(*how.durationSeconds * 1000));
    }
    {
        const ProgressLine progress(ws.status(), how.steps, how.messages,
                                    how.quiet || how.steps == ProgressLine::Steps::Send, plan);
        ending.outcome = operation();
    }
    if (ending.signalNumber != 0) {
        PrintError(StopLine(ending.signalNumber, how, stepAtStop, ending.outcome));
        ending.status = 128 + ending.signalNumber;
    } else {
        ending.status = OutcomeStatus(ending.outcome);
    }
    if (auto *transcript = ws.findChild<Transcript *>())
        transcript->event("END", EndingText(ending));
    return ending;
}

} // namespace telvaro::cli
