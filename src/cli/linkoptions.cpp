#include "cli/linkoptions.h"

#include "app/filecommands.h"
#include "app/workspace.h"
#include "base/settingsstore.h"
#include "cli/commandline.h"
#include "cli/commands.h"
#include "cli/operationrun.h"
#include "cli/outcomejson.h"
#include "cli/output.h"
#include "codec/codepage.h"
#include "codec/escapes.h"
#include "codec/numbers.h"
#include "fleet/registry.h"
#include "link/linkrules.h"
#include "link/linksettings.h"

namespace telvaro::cli {

namespace {
const QString portOption = QStringLiteral("port");
const QString ipOption = QStringLiteral("ip");
const QString ipPortOption = QStringLiteral("ip-port");
const QString baudOption = QStringLiteral("baud");
const QString deviceOption = QStringLiteral("device");
const QString verboseOption = QStringLiteral("verbose");
const QString transcriptOption = QStringLiteral("transcript");
const QString signOption = QStringLiteral("sign");
const QString registryOption = QStringLiteral("registry");
const QString waitLineOption = QStringLiteral("wait-line");

std::optional<QString> Given(const CommandLine &line, const QString &name)
{
    return line.isSet(name) ? std::optional(line.value(name)) : std::nullopt;
}

QString PortKind(qint16 port)
{
    if (port >= 1)
        return QStringLiteral("serial port %1").arg(port);
    return (port == 0 ? QStringLiteral("TCP (port %1)") : QStringLiteral("UDP (port %1)")).arg(port);
}
// The options of a sign's file as (option, value) pairs: a flag has no value.
QList<std::pair<QString, std::optional<QString>>> OptionPairs(const QStringList &args)
{
    QList<std::pair<QString, std::optional<QString>>> pairs;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString name = args[i].mid(2);
        if (i + 1 < args.size() && !args[i + 1].startsWith(QStringLiteral("--")))
            pairs.append({name, args[++i]});
        else
            pairs.append({name, std::nullopt});
    }
    return pairs;
}

// Whether the command line's own --port is a serial port; nothing when it
// gives none (or one that its reading refuses later).
std::optional<bool> GivenSerial(const CommandLine &line)
{
    if (!line.isSet(portOption))
        return std::nullopt;
    const auto number = StrictValue(line.value(portOption));
    const auto port = number ? RoundToInt16(*number) : std::nullopt;
    return port ? std::optional(*port >= 1) : std::nullopt;
}

bool IsGiven(const CommandLine &line, const QString &name)
{
    return line.knows(name) && line.isSet(name);
}

// The sign's options that this command takes and its command line does not
// decide otherwise: an option given wins, a link of the other kind drops
// the file's details of its own kind, an input given replaces the file's,
// and a dry run reads nothing back.
QStringList SignDefaults(const CommandLine &line, const SignEntry &sign)
{
    const auto serial = GivenSerial(line);
    // An upload that writes a file has no use for the controller's input.
    const bool inputDecided = (line.knows(QStringLiteral("compare")) && !line.isSet(QStringLiteral("compare"))) ||
                              IsGiven(line, QStringLiteral("serial-input")) ||
                              IsGiven(line, QStringLiteral("binary-input"));
    QStringList args;
    for (const auto &[name, value] : OptionPairs(sign.linkArguments())) {
        const bool networkDetail = name == ipOption || name == ipPortOption;
        const bool serialDetail = name == deviceOption || name == baudOption;
        const bool dropped = !line.knows(name) || line.isSet(name) || (serial && *serial && networkDetail) ||
                             (serial && !*serial && serialDetail) ||
                             (name.endsWith(QStringLiteral("-input")) && inputDecided) ||
                             (name == QStringLiteral("verify") && IsGiven(line, QStringLiteral("dry-run")));
        if (dropped)
            continue;
        args << QStringLiteral("--") + name;
        if (value)
            args << *value;
    }
    return args;
}

// --sign NAME: the arguments the command runs with, the sign's file first
// so that what the command line gives wins, and the sign's table as FILE
// where the command takes one and none is given.
std::variant<QStringList, int> WithSign(const CommandLine &line, const QStringList &args)
{
    if (!line.isSet(signOption)) {
        if (line.isSet(registryOption))
            return line.usageError(QStringLiteral("--registry goes with --sign"));
        return args;
    }
    NoteSign(line.value(signOption));
    const QString dir = line.isSet(registryOption) ? line.value(registryOption) : DefaultRegistryDir();
    const auto read = ReadSign(dir, line.value(signOption));
    if (const auto *error = std::get_if<RegistryError>(&read)) {
        PrintError(error->text());
        PrintError(QStringLiteral("Nothing was sent."));
        return ExitFailed;
    }
    const SignEntry &sign = std::get<SignEntry>(read);
    QStringList runWith = SignDefaults(line, sign) + args;
    if (line.takesPositional(QStringLiteral("FILE")) && line.positionals().isEmpty()) {
        if (!args.contains(QStringLiteral("--")))
            runWith << QStringLiteral("--");
        runWith << sign.table();
    }
    return runWith;
}

} // namespace

void AddLinkOptions(CommandLine &line)
{
    line.addOption({signOption},
                   QStringLiteral("Takes the link, the sign's options and the table from the registry file "
                                  "NAME.conf; options given on the command line win. A missing, malformed or "
                                  "incomplete file ends the command with exit status 1 before anything is sent."),
                   QStringLiteral("--sign sign-07"), QStringLiteral("NAME"));
    line.addOption({registryOption},
                   QStringLiteral("The folder of the registry, for --sign; default /etc/telvaro/signs."),
                   QStringLiteral("--registry /srv/signs"), QStringLiteral("DIR"));
    line.setArgumentsHook(WithSign);
    AddJsonOption(line);
    line.addOption({portOption},
                   QStringLiteral("The link: serial port N (1 and up), 0 for TCP, -1 for UDP; default the stored "
                                  "port."),
                   QStringLiteral("--port 0"), QStringLiteral("N"));
    line.addOption({ipOption}, QStringLiteral("The device's address, for TCP and UDP; default the stored one."),
                   QStringLiteral("--ip 192.168.1.100"), QStringLiteral("ADDRESS"));
    line.addOption({ipPortOption}, QStringLiteral("The device's port, for TCP and UDP; default the stored one."),
                   QStringLiteral("--ip-port 3001"), QStringLiteral("PORT"));
    line.addOption({baudOption}, QStringLiteral("The serial rate (no parity, 8 data bits, 1 stop bit)."),
                   QStringLiteral("--baud 19200"), QStringLiteral("RATE"));
    line.addOption({deviceOption},
                   QStringLiteral("The device to open for the serial port number, instead of the configured one."),
                   QStringLiteral("--device /dev/ttyUSB0"), QStringLiteral("PATH"));
    line.addOption({waitLineOption},
                   QStringLiteral("When another program uses the serial device, waits until it is free (or until "
                                  "SIGINT or SIGTERM) instead of failing at once."),
                   QStringLiteral("--wait-line"));
    line.addOption({verboseOption}, QStringLiteral("Prints every change of the status panels on stderr."),
                   QStringLiteral("--verbose"));
    line.addOption({transcriptOption},
                   QStringLiteral("Appends every chunk sent (TX) and received (RX), every link event and the ending "
                                  "to FILE, one line each with its UTC time in microseconds; exit status 1 when FILE "
                                  "does not hold every line."),
                   QStringLiteral("--transcript sign-07.log"), QStringLiteral("FILE"));
}

std::optional<QString> ReadLinkOptions(const CommandLine &line, LinkOptions &options)
{
    if (const auto value = Given(line, portOption)) {
        const auto number = StrictValue(*value);
        const auto port = number ? RoundToInt16(*number) : std::nullopt;
        if (!port)
            return QStringLiteral("--port needs a number from -32768 to 32767, not \"%1\"").arg(*value);
        options.port = *port;
    }
    options.ip = Given(line, ipOption);
    options.ipPort = Given(line, ipPortOption);
    options.baud = Given(line, baudOption);
    options.device = Given(line, deviceOption);
    options.transcript = Given(line, transcriptOption);
    options.verbose = line.isSet(verboseOption);
    options.waitLine = line.isSet(waitLineOption);
    return std::nullopt;
}

std::optional<LinkSetupError> SetUpLink(Workspace &ws, const LinkOptions &options)
{
    const StoredLinkSettings stored = ReadLinkSettings(SettingsStore());
    if (!stored.settings && !options.port)
        return LinkSetupError{
            QStringLiteral("The stored port \"%1\" is out of range; give --port.").arg(stored.storedPort), ExitFailed};
    LinkSettings settings = stored.settings.value_or(LinkSettings{});
    if (options.port)
        settings.PortNumber = *options.port;
    // An address for a serial link would be dropped without a word, and the
    // bytes would go to a serial port the caller did not mean.
    if ((options.ip || options.ipPort) && settings.PortNumber >= 1)
        return LinkSetupError{QStringLiteral("--ip and --ip-port need a network link (--port 0 for TCP, -1 for UDP); "
                                             "the link is %1")
                                  .arg(PortKind(settings.PortNumber)),
                              ExitUsage};
    settings.IpAddress = options.ip.value_or(settings.IpAddress);
    settings.IpPort = options.ipPort.value_or(settings.IpPort);
    if (options.baud) {
        // The same reading and the same refusal as "Set Baud".
        const QString baudText = BaudAnswerText(*options.baud);
        if (!ParseLineSettings(LineSettingsText(baudText)))
            return LinkSetupError{QStringLiteral("--baud: the serial port cannot run at \"%1\"").arg(*options.baud),
                                  ExitUsage};
        settings.BaudText = baudText;
    }
    if (options.device) {
        if (settings.PortNumber < 1)
            return LinkSetupError{QStringLiteral("--device needs a serial link (--port 1 or above); the link is %1")
                                      .arg(PortKind(settings.PortNumber)),
                                  ExitUsage};
        settings.DevicePath = *options.device;
    }
    ws.linkSettings().set(settings);
    ws.operations().setWaitForLine(options.waitLine);
    ws.MnuModeData_Click();
    return std::nullopt;
}

void EchoStatusPanels(Workspace &ws)
{
    QObject::connect(&ws.status(), &StatusPanels::changed, &ws, [&ws](int panel) {
        PrintError(QStringLiteral("panel %1: ").arg(panel) +
                   QString::fromLatin1(FormatReceived(TextToBytes(ws.status().text(panel)))));
    });
}

std::optional<int> PrepareLink(Workspace &ws, const LinkOptions &options, const CommandLine &line)
{
    if (const auto error = SetUpLink(ws, options)) {
        if (error->status == ExitUsage)
            return line.usageError(error->message);
        PrintMessage(error->message);
        return error->status;
    }
    // What arrives is written as it comes, in the received-data box's form;
    // when it cannot be written the operation is ended as data entry would.
    QObject::connect(&ws.link(), &Link::received, &ws, [&ws](const QString &display) {
        QByteArrayList lines;
        for (const QString &line : display.split(QStringLiteral("\r\n")))
            lines << TerminalText(line);
        if (!WriteOut(lines.join('\n')))
            ws.MnuModeData_Click();
    });
    if (options.verbose)
        EchoStatusPanels(ws);
    if (options.transcript && !OpenTranscript(ws, *options.transcript))
        return ExitFailed;
    return std::nullopt;
}

} // namespace telvaro::cli

namespace telvaro::cli {

int OutcomeStatus(const OperationOutcome &outcome)
{
    using Ending = OperationOutcome::Ending;
    // What the operation showed as its message is printed already.
    if (!outcome.told) {
        QStringList lines = OutcomeDetails(outcome);
        if (outcome.ending == Ending::ConnectionFailed && !lines.isEmpty())
            lines.front().prepend(QStringLiteral("The connection failed: "));
        if (outcome.ending == Ending::Refused)
            lines << outcome.reason;
        for (const QString &line : std::as_const(lines))
            PrintError(line);
    }
    const bool ended = outcome.ending == Ending::Done || outcome.ending == Ending::Stopped;
    return ended && outcome.framesNotSent == 0 && outcome.bytesNotSent == 0 && !outcome.linkDropped ? ExitDone
                                                                                                    : ExitFailed;
}

std::optional<int> PrepareTable(Workspace &ws, const LinkOptions &options, const CommandLine &line)
{
    const QStringList files = line.positionals();
    if (files.size() != 1)
        return line.usageError(QStringLiteral("expects one FILE"));
    if (const auto status = PrepareLink(ws, options, line))
        return status;
    // The companion is read in every mode, so the registers are the file's.
    if (!FileCommands(ws).OpenWithCompanion(files.front()))
        return ExitFailed;
    return std::nullopt;
}

} // namespace telvaro::cli
