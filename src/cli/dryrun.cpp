#include "cli/dryrun.h"

#include "app/workspace.h"
#include "cli/cliprompter.h"
#include "cli/commandline.h"
#include "cli/linkoptions.h"
#include "cli/output.h"
#include "codec/escapes.h"

namespace telvaro::cli {

namespace {

const QString dryRunOption = QStringLiteral("dry-run");
const QString hexOption = QStringLiteral("hex");

QByteArray SecondsText(double seconds)
{
    return QByteArray::number(seconds, 'f', 3);
}

} // namespace

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

OperationOutcome RunDryRun(Workspace &ws, const DryRun &how, PlanRequest request)
{
    // --verbose echoes the panels of the command's workspace.
    request.panelChanged = [&ws](int panel, const QString &text) { ws.status().setText(panel, text); };
    const PlanEnding ending = PlanOperation(ws, request, ws.prompter(), [&how](const PlannedFrame &frame) {
        const QByteArray shown = how.hex ? frame.bytes.toHex(' ').toUpper() : FormatReceived(frame.bytes);
        // Output nobody can take ends the plan as data entry would.
        return WriteOut(SecondsText(frame.offset) + '\t' + shown + '\n');
    });
    WriteOut("total " + SecondsText(ending.total) + '\n');
    return ending.outcome;
}

int CountPlannedFrames(Workspace &ws, const PlanRequest &request)
{
    // Planned without a word on stderr: the real operation says what it has to.
    auto *prompter = dynamic_cast<CliPrompter *>(&ws.prompter());
    if (prompter)
        prompter->setMuted(true);
    int frames = 0;
    PlanOperation(ws, request, ws.prompter(), [&frames](const PlannedFrame &) {
        ++frames;
        return true;
    });
    if (prompter)
        prompter->setMuted(false);
    return frames;
}

} // namespace telvaro::cli
