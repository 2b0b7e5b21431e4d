// telvaro-cli: Telvaro's commands for scripts and integrators, on the same
// core as the window.
#include "base/wait.h"
#include "cli/commands.h"
#include "cli/operationrun.h"
#include "cli/outcomejson.h"
#include "cli/output.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <functional>
#include <optional>
#include <unistd.h>

using namespace telvaro;
using namespace telvaro::cli;

namespace {

struct Command {
    const char *name;
    const char *synopsis;
    const char *summary;
    std::function<int(const QStringList &)> run;
    bool takesLink = false;
};

const Command commands[] = {
    {"encode", "[--hex] TEXT", "escape notation to bytes on stdout", Encode},
    {"decode", "", "bytes on stdin to notation on stdout", Decode},
    {"list", "[--text-view] [--raw] FILE", "a TVD or QND file as the grid shows it", List},
    {"convert", "[--force] IN OUT", "open IN, save OUT as TVD or QND by its extension", Convert},
    {"send", "[LINK] [--dry-run [--hex]] TEXT", "Quick Send of TEXT", Send, true},
    {"run", "[LINK] [--repeat-from N] [--duration SECONDS] [--dry-run [--hex]] FILE", "run FILE's table", Run, true},
    {"load-sign", "[LINK] [--sign-type vyrena|orbilux] [--address XX] [--dry-run [--hex]] FILE",
     "load FILE's table into an ADP sign", LoadSign, true},
    {"call-message", "[LINK] [--sign-type T] [--address XX] [--dry-run [--hex]] N",
     "make the sign show loaded message N", CallMessage, true},
    {"clear-list", "[LINK] [--sign-type T] [--address XX] [--dry-run [--hex]]", "empty the sign's play list", ClearList,
     true},
    {"load-controller", "[LINK] (--serial-input|--binary-input) [--verify] [--dry-run [--hex]] FILE",
     "load a sign controller; --verify reads it back and compares", LoadController, true},
    {"upload", "[LINK] OUT | [LINK] --compare FILE (--serial-input|--binary-input)",
     "read a controller back into OUT and its TV1 companion, or compare it with FILE", Upload, true},
    {"ports", "[--json]", "the serial devices plugged in, stable names first", Ports},
    {"fleet",
     "load [--parallel N] [--retries K] [--tag TAG] [--report FILE] [--only-failed REPORT] [--registry DIR] "
     "[NAME...] | status [REPORT]",
     "load the signs of the registry, a JSON report of every sign; or print a report", Fleet},
};

QString ProgramHelp(const QCommandLineParser &parser)
{
    QString text = QStringLiteral("Usage: telvaro-cli COMMAND [options] [arguments]\n"
                                  "Composes, stores and sends messages to LED signs and sign controllers:\n"
                                  "the commands of the Telvaro window, for scripts.\n\nCommands:\n");
    for (const Command &c : commands) {
        const QString synopsis = QLatin1String(c.synopsis);
        text +=
            QStringLiteral("  ") + QLatin1String(c.name) + (synopsis.isEmpty() ? QString() : u' ' + synopsis) + u'\n';
        text += QStringLiteral("      %1\n").arg(QLatin1String(c.summary));
    }
    // The options section as the parser lays it out.
    text += u'\n' + parser.helpText().section(QStringLiteral("\n\n"), 1, 1) + u'\n';
    text += QStringLiteral("\nLINK is --port N (1 and up serial, 0 TCP, -1 UDP), --ip ADDRESS, --ip-port PORT,\n"
                           "--baud RATE, --device PATH, --verbose, --transcript FILE, --sign NAME,\n"
                           "--registry DIR, --json; what is not given comes from the registry file of\n"
                           "--sign, then from the window's settings. Exit status: 0 done, 1 the\n"
                           "operation failed or was refused (its message is on stderr), 2 usage error,\n"
                           "128 + N stopped by signal N (129 SIGHUP, 130 SIGINT, 143 SIGTERM).\n"
                           "Run \"telvaro-cli COMMAND --help\" for the options of a command.\n");
    return text;
}

// The test suites run the protocol waits faster; see README. A build for
// installing ignores the variable: a real device keeps its waits. Where it
// is honoured, it is said, so that a load at test speed is never taken for
// a real one.
bool ApplyTimeScale()
{
#ifdef TELVARO_TEST_TIME_SCALE
    const QByteArray scale = qgetenv("TELVARO_TIME_SCALE");
    if (scale.isEmpty())
        return true;
    bool ok = false;
    const double factor = scale.toDouble(&ok);
    if (!ok || !std::isfinite(factor) || factor <= 0)
        return false;
    SetPauseTimeScale(factor);
    PrintError(QStringLiteral("telvaro-cli: TELVARO_TIME_SCALE=%1 runs the protocol waits at %1 times real "
                              "speed (a test build).")
                   .arg(QString::fromLatin1(scale)));
#endif
    return true;
}

// A process started ahead of its command (the bridge keeps one ready per
// line) takes its arguments as one line on stdin, a JSON array of strings,
// once the start-up that does not depend on them is done.
constexpr char argumentsFromStdin[] = "--arguments-from-stdin";
constexpr qsizetype longestArgumentLine = 64 << 20;

std::optional<QStringList> ArgumentsFromStdin()
{
    QByteArray line;
    char chunk[65536];
    while (!line.contains('\n') && line.size() < longestArgumentLine) {
        const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        line.append(chunk, got);
    }
    if (!line.contains('\n'))
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(line.left(line.indexOf('\n')));
    if (!document.isArray())
        return std::nullopt;
    QStringList arguments{QCoreApplication::arguments().constFirst()};
    for (const QJsonValue &value : document.array()) {
        if (!value.isString())
            return std::nullopt;
        arguments.append(value.toString());
    }
    return arguments;
}

} // namespace

int main(int argc, char *argv[])
{
    HoldClosedStandardStreams();
#ifdef SIGPIPE
    // A closed pipe is a failed write, reported like any other.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Telvaro"));
    QCoreApplication::setOrganizationName(QStringLiteral("Telvaro"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TELVARO_VERSION_TEXT));

    QCommandLineParser parser;
    // Everything from the command's name on belongs to the command.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    parser.addOption(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Shows this help and ends. Example: telvaro-cli --help")));
    parser.addOption(QCommandLineOption(QStringLiteral("version"),
                                        QStringLiteral("Shows the version and ends. Example: telvaro-cli --version")));
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("The command to run."));

    const auto usageError = [](const QString &problem) {
        PrintError(QStringLiteral("telvaro-cli: ") + problem);
        PrintError(QStringLiteral("Run \"telvaro-cli --help\" for the commands."));
        return ExitUsage;
    };
    QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 2 && arguments.at(1) == QLatin1String(argumentsFromStdin)) {
        const auto given = ArgumentsFromStdin();
        if (!given)
            return ExitUsage;
        arguments = *given;
    }
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (!ApplyTimeScale())
        return usageError(QStringLiteral("TELVARO_TIME_SCALE must be a number above 0"));
    int status = ExitDone;
    QStringList args = parser.positionalArguments();
    if (parser.isSet(QStringLiteral("help"))) {
        WriteOut(ProgramHelp(parser).toUtf8());
    } else if (parser.isSet(QStringLiteral("version"))) {
        WriteOut(QByteArrayLiteral("telvaro-cli " TELVARO_VERSION_TEXT "\n"));
    } else if (args.isEmpty()) {
        return usageError(QStringLiteral("no command given"));
    } else {
        const QString name = args.takeFirst();
        const auto command = std::find_if(std::begin(commands), std::end(commands),
                                          [&name](const Command &c) { return name == QLatin1String(c.name); });
        if (command == std::end(commands))
            return usageError(QStringLiteral("unknown command \"%1\"").arg(name));
        // The commands that talk to a device can end with a machine-readable outcome.
        if (command->takesLink)
            ExpectOutcome(name, args);
        status = command->run(args);
    }
    // Output that did not go out in full is a failure, whatever came before;
    // the transcript's last line carries the status the command ends with.
    return WriteOutcome(EndTranscript(OutputFailed() && status == ExitDone ? ExitFailed : status));
}
