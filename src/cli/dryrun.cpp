#include "cli/dryrun.h"

#include "app/workspace.h"
#include "base/wait.h"
#include "cli/cliprompter.h"
#include "cli/commandline.h"
#include "cli/linkoptions.h"
#include "cli/output.h"
#include "codec/escapes.h"
#include "link/plannedlink.h"

#include <QSignalBlocker>

namespace telvaro::cli {

namespace {

const QString dryRunOption = QStringLiteral("dry-run");
const QString hexOption = QStringLiteral("hex");

double Seconds(MonotonicClock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

QByteArray SecondsText(double seconds)
{
    return QByteArray::number(seconds, 'f', 3);
}

// Runs operation on the planned clock over the planned link; frame gets
// each write at its planned time. Frames that keep coming while the clock
// stands still (a run that repeats messages without an interval) could go
// on for ever: the plan ends there with a message.
OperationOutcome Planned(Workspace &ws, int messages, std::optional<double> durationSeconds,
                         const std::function<void(double, const QByteArray &)> &frame,
                         const std::function<OperationOutcome()> &operation, double &total)
{
    PlannedClock clock;
    const std::optional<OperationEnd> end = EndAfter(ws, durationSeconds);
    double last = -1;
    int standing = 0;
    bool endless = false;
    const PlannedLink link(ws.link(), [&](const QByteArray &bytes) {
        const double at = Seconds(clock.elapsed());
        standing = at == last ? standing + 1 : 0;
        last = at;
        if (standing > messages + 4) {
            endless = true;
            ws.MnuModeData_Click();
            return;
        }
        frame(at, bytes);
    });
    OperationOutcome outcome = operation();
    total = Seconds(clock.elapsed());
    if (endless) {
        outcome.ending = OperationOutcome::Ending::Failed;
        outcome.reason = QStringLiteral("The run repeats messages without an interval: it cannot be planned.");
        outcome.told = false;
    }
    return outcome;
}

} // namespace

std::optional<OperationEnd> EndAfter(Workspace &ws, std::optional<double> durationSeconds)
{
    if (!durationSeconds)
        return std::nullopt;
    return std::optional<OperationEnd>(std::in_place,
                                       MonotonicNow() + std::chrono::duration_cast<MonotonicClock::duration>(
                                                            std::chrono::duration<double>(*durationSeconds)),
                                       [&ws] { ws.MnuModeData_Click(); });
}

void AddDryRunOptions(CommandLine &line)
{
    line.addOption({dryRunOption},
                   QStringLiteral("Opens no link and sends nothing: prints each frame the command would send, its "
                                  "planned start in seconds, a tab and the frame in escape notation, then "
                                  "\"total SECONDS\", when it would end. A transcript is not written."),
                   QStringLiteral("--dry-run"));
    line.addOption({hexOption}, QStringLiteral("With --dry-run, the frames as hexadecimal bytes."),
                   QStringLiteral("--dry-run --hex"));
}

std::optional<QString> ReadDryRun(const CommandLine &line, LinkOptions &options, std::optional<DryRun> &dryRun)
{
    dryRun.reset();
    if (!line.isSet(dryRunOption)) {
        if (line.isSet(hexOption))
            return QStringLiteral("--hex needs --dry-run: it shows a dry run's frames, and without --dry-run the "
                                  "command would send to the device");
        return std::nullopt;
    }
    dryRun = DryRun{line.isSet(hexOption)};
    if (options.transcript) {
        PrintError(
            QStringLiteral("--dry-run opens no link: the transcript %1 is not written.").arg(*options.transcript));
        options.transcript.reset();
    }
    return std::nullopt;
}

OperationOutcome RunDryRun(Workspace &ws, const DryRun &how, int messages, std::optional<double> durationSeconds,
                           const std::function<OperationOutcome()> &operation)
{
    double total = 0;
    const auto frame = [&](double at, const QByteArray &bytes) {
        const QByteArray shown = how.hex ? bytes.toHex(' ').toUpper() : FormatReceived(bytes);
        // Output nobody can take ends the plan as data entry would.
        if (!WriteOut(SecondsText(at) + '\t' + shown + '\n'))
            ws.MnuModeData_Click();
    };
    const OperationOutcome outcome = Planned(ws, messages, durationSeconds, frame, operation, total);
    WriteOut("total " + SecondsText(total) + '\n');
    return outcome;
}

namespace {
// Runs plan with the prompter muted, so that nothing of it reaches stderr.
void Muted(Workspace &ws, const std::function<void()> &plan)
{
    auto *prompter = dynamic_cast<CliPrompter *>(&ws.prompter());
    if (prompter)
        prompter->setMuted(true);
    plan();
    if (prompter)
        prompter->setMuted(false);
}
} // namespace

int CountPlannedFrames(Workspace &ws, int messages, std::optional<double> durationSeconds,
                       const std::function<OperationOutcome()> &operation)
{
    int frames = 0;
    Muted(ws, [&] {
        const QSignalBlocker quiet(ws.status());
        double total = 0;
        Planned(
            ws, messages, durationSeconds, [&frames](double, const QByteArray &) { ++frames; }, operation, total);
    });
    return frames;
}

StepPlan PlanSteps(Workspace &ws, int messages, const std::function<OperationOutcome()> &operation)
{
    StepPlan plan;
    Muted(ws, [&] {
        // --verbose echoes the panels: the plan changes them only as the real
        // operation will.
        const QSignalBlocker quiet(ws.status());
        const auto frame = [&](double at, const QByteArray &) {
            const QString step = ws.status().text(3);
            if (plan.starts.isEmpty() || plan.starts.constLast().first != step)
                plan.starts.append({step, at});
        };
        const OperationOutcome outcome = Planned(ws, messages, std::nullopt, frame, operation, plan.total);
        // A plan that failed says nothing about the real operation's time.
        if (!outcome.complete())
            plan = {};
    });
    return plan;
}

} // namespace telvaro::cli
