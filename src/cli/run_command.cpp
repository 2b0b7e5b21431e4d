#include "app/workspace.h"
#include "cli/cliprompter.h"
#include "cli/commandline.h"
#include "cli/commands.h"
#include "cli/dryrun.h"
#include "cli/linkoptions.h"
#include "cli/operationrun.h"
#include "codec/numbers.h"

namespace telvaro::cli {

int Run(const QStringList &args)
{
    CommandLine line(QStringLiteral("run"),
                     QStringLiteral("Runs the table of FILE as Action > Run does: each message, then its interval. "
                                    "It ends after the last message, or with a repeat point when stopped by "
                                    "--duration, Ctrl+C, SIGTERM or SIGHUP, as Data Entry ends it."));
    AddLinkOptions(line);
    line.addOption({QStringLiteral("repeat-from")},
                   QStringLiteral("After the last message, starts again at message N (0 to 200) until stopped."),
                   QStringLiteral("--repeat-from 0"), QStringLiteral("N"));
    line.addOption({QStringLiteral("duration")},
                   QStringLiteral("Stops the run that many seconds after it starts, counted from the opening of "
                                  "the link (a connection's wait counts); a message due at that moment or later is "
                                  "not sent. A dry run ends its plan at the same moment."),
                   QStringLiteral("--duration 60"), QStringLiteral("SECONDS"));
    AddDryRunOptions(line);
    AddQuietOption(line);
    line.addPositional(QStringLiteral("FILE"), QStringLiteral("The table: a TVD or QND file."));
    line.addExample(QStringLiteral("telvaro-cli run --port -1 --ip 127.0.0.1 --ip-port 3001 signs.TVD"));
    line.addExample(QStringLiteral("telvaro-cli run --repeat-from 0 --duration 3600 signs.TVD"),
                    QStringLiteral("loops over the table for an hour"));
    if (const auto status = line.parse(args))
        return *status;
    LinkOptions options;
    std::optional<DryRun> dryRun;
    if (const auto bad = ReadLinkOptions(line, options))
        return line.usageError(*bad);
    if (const auto bad = ReadDryRun(line, options, dryRun))
        return line.usageError(*bad);
    std::optional<qint16> repeatFrom;
    if (line.isSet(QStringLiteral("repeat-from"))) {
        const auto value = StrictValue(line.value(QStringLiteral("repeat-from")));
        repeatFrom = value ? RoundToInt16(*value) : std::nullopt;
        if (!repeatFrom || *repeatFrom < 0 || *repeatFrom > 200)
            return line.usageError(QStringLiteral("--repeat-from takes a message number from 0 to 200"));
    }
    std::optional<double> duration;
    if (line.isSet(QStringLiteral("duration"))) {
        duration = StrictValue(line.value(QStringLiteral("duration")));
        if (!duration || !(*duration > 0) || *duration > 864000)
            return line.usageError(QStringLiteral("--duration takes a number of seconds above 0"));
    }
    // A run that repeats goes on until stopped: its plan needs an end.
    if (dryRun && repeatFrom && !duration)
        return line.usageError(QStringLiteral("--dry-run of a run with --repeat-from needs --duration"));
    CliPrompter prompter;
    Workspace ws(prompter);
    if (const auto status = PrepareTable(ws, options, line))
        return *status;
    if (repeatFrom) {
        ws.entry().setRepeatEnabled(true);
        ws.setBox(Workspace::Box::RepeatCaption, QString::number(*repeatFrom));
    }

    const OperationRun how{ProgressLine::Steps::Run, ws.table().count(), Quiet(line), duration, dryRun,
                           repeatFrom.has_value()};
    return RunOperation(ws, how, [&ws] { return ws.MnuModeRun_Click(); }).status;
}

} // namespace telvaro::cli
