#include "cli/commandline.h"
#include "cli/commands.h"
#include "cli/fleetreport.h"
#include "cli/fleetrun.h"
#include "cli/output.h"
#include "codec/numbers.h"

#include <QJsonArray>

namespace telvaro::cli {

namespace {

// A whole number from low to high given for option, or the problem.
std::optional<QString> ReadCount(const CommandLine &line, const QString &option, int low, int high, int &value)
{
    if (!line.isSet(option))
        return std::nullopt;
    const auto number = StrictValue(line.value(option));
    if (!number || *number != std::floor(*number) || *number < low || *number > high)
        return QStringLiteral("--%1 takes a whole number from %2 to %3").arg(option).arg(low).arg(high);
    value = int(*number);
    return std::nullopt;
}

void AddLoadOptions(CommandLine &line)
{
    line.addOption({QStringLiteral("registry")},
                   QStringLiteral("The folder of the registry, one NAME.conf per sign; default /etc/telvaro/signs."),
                   QStringLiteral("--registry /srv/signs"), QStringLiteral("DIR"));
    line.addOption({QStringLiteral("parallel")},
                   QStringLiteral("Loads at most N signs at once (1 to 1000, default 8); signs on one serial device "
                                  "always go one after another, in registry order."),
                   QStringLiteral("--parallel 50"), QStringLiteral("N"));
    line.addOption({QStringLiteral("retries")},
                   QStringLiteral("Loads a sign that did not end done again, up to K more times (0 to 100, "
                                  "default 0)."),
                   QStringLiteral("--retries 2"), QStringLiteral("K"));
    line.addOption({QStringLiteral("retry-pause")},
                   QStringLiteral("The pause before a sign is loaded again, in seconds (default 30)."),
                   QStringLiteral("--retry-pause 60"), QStringLiteral("SECONDS"));
    line.addOption({QStringLiteral("tag")}, QStringLiteral("Loads only the signs whose tags= holds TAG."),
                   QStringLiteral("--tag motorway"), QStringLiteral("TAG"));
    line.addOption({QStringLiteral("report")},
                   QStringLiteral("Writes the report to FILE; default ~/.local/state/telvaro/fleet-report.json "
                                  "(under $XDG_STATE_HOME when set)."),
                   QStringLiteral("--report night.json"), QStringLiteral("FILE"));
    line.addOption({QStringLiteral("only-failed")},
                   QStringLiteral("Loads again only the signs of REPORT that did not end done; its done signs are "
                                  "carried into the new report."),
                   QStringLiteral("--only-failed night.json"), QStringLiteral("REPORT"));
    line.addOption({QStringLiteral("transcripts")},
                   QStringLiteral("The folder of the transcripts, NAME.log for each sign, appended to; default "
                                  "~/.local/state/telvaro/transcripts."),
                   QStringLiteral("--transcripts /var/log/telvaro"), QStringLiteral("DIR"));
    line.addOption({QStringLiteral("progress")},
                   QStringLiteral("Shows the progress line (signs done, failed and running, time left) even when "
                                  "stderr is not a terminal, one line as each sign ends."),
                   QStringLiteral("--progress"));
    line.addOption({QStringLiteral("q"), QStringLiteral("quiet")},
                   QStringLiteral("No progress line, even on a terminal."), QStringLiteral("--quiet"));
}

const QStringList loadOptions = {"registry", "parallel",    "retries",     "retry-pause", "tag",
                                 "report",   "only-failed", "transcripts", "progress",    "quiet"};

std::optional<int> ReadLoadOptions(const CommandLine &line, FleetOptions &options)
{
    for (const auto &[option, low, high, value] : {std::tuple{QStringLiteral("parallel"), 1, 1000, &options.parallel},
                                                   std::tuple{QStringLiteral("retries"), 0, 100, &options.retries}})
        if (const auto bad = ReadCount(line, option, low, high, *value))
            return line.usageError(*bad);
    if (line.isSet(QStringLiteral("retry-pause"))) {
        const auto pause = StrictValue(line.value(QStringLiteral("retry-pause")));
        if (!pause || *pause < 0 || *pause > 86400)
            return line.usageError(QStringLiteral("--retry-pause takes seconds from 0 to 86400"));
        options.retryPauseSeconds = *pause;
    }
    if (line.isSet(QStringLiteral("progress")) && line.isSet(QStringLiteral("quiet")))
        return line.usageError(QStringLiteral("--progress and --quiet go against each other"));
    options.tag = line.value(QStringLiteral("tag"));
    options.names = line.positionals().mid(1);
    options.report = line.isSet(QStringLiteral("report")) ? line.value(QStringLiteral("report")) : DefaultReportPath();
    options.transcripts = line.isSet(QStringLiteral("transcripts")) ? line.value(QStringLiteral("transcripts"))
                                                                    : DefaultTranscriptFolder();
    options.progress =
        line.isSet(QStringLiteral("progress")) || (!line.isSet(QStringLiteral("quiet")) && ErrorIsTerminal());
    if (line.isSet(QStringLiteral("only-failed"))) {
        const auto read = ReadReport(line.value(QStringLiteral("only-failed")));
        if (const auto *problem = std::get_if<QString>(&read)) {
            PrintError(QStringLiteral("telvaro-cli fleet: ") + *problem);
            return ExitFailed;
        }
        options.previous = std::get<QJsonObject>(read);
    }
    const QString fromReport =
        options.previous ? options.previous->value(QStringLiteral("registry")).toString() : QString();
    options.registry = line.isSet(QStringLiteral("registry")) ? line.value(QStringLiteral("registry"))
                       : fromReport.isEmpty()                 ? DefaultRegistryDir()
                                                              : fromReport;
    return std::nullopt;
}

int FleetLoad(const CommandLine &line)
{
    FleetOptions options;
    if (const auto status = ReadLoadOptions(line, options))
        return *status;
    auto selected = SelectSigns(options);
    if (const auto *problem = std::get_if<QString>(&selected)) {
        PrintError(QStringLiteral("telvaro-cli fleet: ") + *problem);
        return ExitFailed;
    }
    FleetRun run(options, std::get<QList<FleetSign>>(std::move(selected)));
    return run.exec();
}

int FleetStatus(const CommandLine &line)
{
    for (const QString &option : loadOptions)
        if (line.isSet(option))
            return line.usageError(QStringLiteral("fleet status takes no --%1").arg(option));
    const QStringList reports = line.positionals().mid(1);
    if (reports.size() > 1)
        return line.usageError(QStringLiteral("fleet status takes at most one REPORT"));
    const QString path = reports.isEmpty() ? LastReportPath() : reports.front();
    const auto read = ReadReport(path);
    if (const auto *problem = std::get_if<QString>(&read)) {
        PrintError(QStringLiteral("telvaro-cli fleet: ") + *problem);
        return ExitFailed;
    }
    bool allDone = true;
    QByteArray out;
    for (const QJsonValue &v : std::get<QJsonObject>(read).value(QStringLiteral("signs")).toArray()) {
        allDone = allDone && v.toObject().value(QStringLiteral("status")).toString() == QLatin1String("done");
        out += SignStatusLine(v.toObject()) + '\n';
    }
    if (!WriteOut(out))
        return ExitFailed;
    return allDone ? ExitDone : ExitFailed;
}

} // namespace

int Fleet(const QStringList &args)
{
    CommandLine line(QStringLiteral("fleet"),
                     QStringLiteral("fleet load loads the signs of the registry, each by telvaro-cli load-sign or "
                                    "load-controller (with --verify where its file says verify=yes) as a process of "
                                    "its own with its transcript, and writes a JSON report with every sign's "
                                    "outcome, saved again as each sign ends; exit status 0 only when every sign "
                                    "ended done, 130 or 143 when stopped by SIGINT or SIGTERM, which is handed on "
                                    "to the loads under way. fleet status prints one line per sign of a report: "
                                    "name, status, end (UTC), frames sent/planned and the first reason, separated "
                                    "by tabs; exit status 0 when every sign ended done."));
    AddLoadOptions(line);
    line.addPositional(QStringLiteral("ACTION"), QStringLiteral("load: loads the signs; status: prints a report."),
                       QStringLiteral("load|status"));
    line.addPositional(QStringLiteral("NAME"),
                       QStringLiteral("load: the signs to load, default every sign of the registry; status: the "
                                      "report, default the one the last fleet load wrote."),
                       QStringLiteral("[NAME...|REPORT]"));
    line.addExample(QStringLiteral("telvaro-cli fleet load --parallel 20 --retries 2 --report night.json"));
    line.addExample(QStringLiteral("telvaro-cli fleet load --only-failed night.json --report night-2.json"),
                    QStringLiteral("loads again the signs that did not end done"));
    line.addExample(QStringLiteral("telvaro-cli fleet load --tag north sign-07 sign-08"));
    line.addExample(QStringLiteral("telvaro-cli fleet status night.json"));
    if (const auto status = line.parse(args))
        return *status;
    const QString action = line.positionals().value(0);
    if (action == QLatin1String("load"))
        return FleetLoad(line);
    if (action == QLatin1String("status"))
        return FleetStatus(line);
    return line.usageError(action.isEmpty() ? QStringLiteral("give load or status")
                                            : QStringLiteral("\"%1\" is not load or status").arg(action));
}

} // namespace telvaro::cli
