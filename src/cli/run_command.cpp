#include "app/filecommands.h"
#include "app/workspace.h"
#include "base/stopsignals.h"
#include "cli/cliprompter.h"
#include "cli/commands.h"
#include "cli/linkoptions.h"
#include "codec/numbers.h"

#include <QCoreApplication>
#include <QTimer>

namespace telvaro::cli {

int Run(const QStringList &args)
{
    QStringList rest = args;
    LinkOptions options;
    const QString usage = QStringLiteral("usage: telvaro-cli run ") + LinkOptionsUsage() +
                          QStringLiteral(" [--repeat-from N] [--duration SECONDS] FILE");
    if (const auto bad = TakeLinkOptions(rest, options))
        return UsageError(*bad + u'\n' + usage);

    std::optional<qint16> repeatFrom;
    std::optional<double> duration;
    QStringList files;
    for (qsizetype i = 0; i < rest.size(); ++i) {
        const QString &arg = rest[i];
        const bool hasValue = i + 1 < rest.size();
        if (arg == QLatin1String("--repeat-from") && hasValue) {
            const auto value = StrictValue(rest[++i]);
            repeatFrom = value ? RoundToInt16(*value) : std::nullopt;
            if (!repeatFrom || *repeatFrom < 0 || *repeatFrom > 200)
                return UsageError(QStringLiteral("--repeat-from takes a message number from 0 to 200\n") + usage);
        } else if (arg == QLatin1String("--duration") && hasValue) {
            duration = StrictValue(rest[++i]);
            if (!duration || !(*duration > 0) || *duration > 864000)
                return UsageError(QStringLiteral("--duration takes a number of seconds above 0\n") + usage);
        } else if (arg.startsWith(QLatin1String("--")) && arg != QLatin1String("--")) {
            return UsageError(usage);
        } else if (arg != QLatin1String("--")) {
            files.append(arg);
        }
    }
    if (files.size() != 1)
        return UsageError(usage);

    CliPrompter prompter;
    Workspace ws(prompter);
    if (const auto status = PrepareLink(ws, options, usage))
        return *status;
    FileCommands fileCommands(ws);
    if (!fileCommands.OpenWithCompanion(files.front()))
        return ExitFailed;
    if (repeatFrom) {
        ws.entry().setRepeatEnabled(true);
        ws.setBox(Workspace::Box::RepeatCaption, QString::number(*repeatFrom));
    }

    // A stop ends the run as data entry does, and at once: the pending wait
    // is cut short by leaving every event loop.
    auto stop = [&ws] {
        ws.MnuModeData_Click();
        QCoreApplication::exit(0);
    };
    StopSignals signals;
    QObject::connect(&signals, &StopSignals::stopRequested, &ws, stop);
    QTimer deadline;
    if (duration) {
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, &ws, stop);
        deadline.start(static_cast<int>(*duration * 1000));
    }
    return OutcomeStatus(ws.MnuModeRun_Click());
}

} // namespace telvaro::cli
