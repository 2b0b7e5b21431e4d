#include "cli/linkoptions.h"

#include "app/workspace.h"
#include "base/settingsstore.h"
#include "cli/commands.h"
#include "codec/codepage.h"
#include "codec/escapes.h"
#include "codec/numbers.h"
#include "link/linkrules.h"
#include "link/linksettings.h"

#include <QTextStream>

namespace telvaro::cli {

std::optional<QString> TakeLinkOptions(QStringList &args, LinkOptions &options)
{
    QStringList rest;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (arg == QLatin1String("--")) {
            // Whatever follows is an argument even if it looks like an option.
            rest += args.mid(i);
            break;
        }
        if (arg == QLatin1String("--verbose")) {
            options.verbose = true;
            continue;
        }
        std::optional<QString> *target = nullptr;
        if (arg == QLatin1String("--ip"))
            target = &options.ip;
        else if (arg == QLatin1String("--ip-port"))
            target = &options.ipPort;
        else if (arg == QLatin1String("--baud"))
            target = &options.baud;
        else if (arg == QLatin1String("--device"))
            target = &options.device;
        else if (arg != QLatin1String("--port")) {
            rest.append(arg);
            continue;
        }
        if (i + 1 >= args.size())
            return arg + QStringLiteral(" needs a value");
        const QString value = args[++i];
        if (target) {
            *target = value;
            continue;
        }
        const auto number = StrictValue(value);
        const auto port = number ? RoundToInt16(*number) : std::nullopt;
        if (!port)
            return QStringLiteral("--port needs a number from -32768 to 32767, not \"%1\"").arg(value);
        options.port = *port;
    }
    args = rest;
    return std::nullopt;
}

QString LinkOptionsUsage()
{
    return QStringLiteral("[--port N] [--ip ADDRESS] [--ip-port PORT] [--baud RATE] [--device PATH] [--verbose]");
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
            return LinkSetupError{QStringLiteral("--device needs a serial port number (--port 1 or above)"), ExitUsage};
        settings.DevicePath = *options.device;
    }
    ws.linkSettings().set(settings);
    ws.MnuModeData_Click();
    return std::nullopt;
}

void EchoStatusPanels(Workspace &ws)
{
    QObject::connect(&ws.status(), &StatusPanels::changed, &ws, [&ws](int panel) {
        QTextStream(stderr) << "panel " << panel << ": "
                            << QString::fromLatin1(FormatReceived(TextToBytes(ws.status().text(panel)))) << '\n';
    });
}

std::optional<int> PrepareLink(Workspace &ws, const LinkOptions &options, const QString &usage)
{
    if (const auto error = SetUpLink(ws, options)) {
        if (error->status == ExitUsage)
            return UsageError(error->message + u'\n' + usage);
        PrintMessage(error->message);
        return error->status;
    }
    if (options.verbose)
        EchoStatusPanels(ws);
    return std::nullopt;
}

} // namespace telvaro::cli

namespace telvaro::cli {

int OutcomeStatus(const OperationOutcome &outcome)
{
    using Ending = OperationOutcome::Ending;
    QStringList lines;
    switch (outcome.ending) {
    case Ending::Done:
    case Ending::Stopped: break;
    case Ending::Refused: lines << QStringLiteral("Another operation holds the link."); break;
    case Ending::ConnectionFailed: lines << QStringLiteral("The connection failed: ") + outcome.reason; break;
    case Ending::Failed:
        if (!outcome.linkDropped)
            lines << outcome.reason;
        break;
    }
    if (outcome.linkDropped)
        lines << QStringLiteral("The link dropped: ") + outcome.reason;
    if (outcome.framesNotSent > 0)
        lines << QStringLiteral("%1 message(s) could not be sent (Port Not Open or out of time).")
                     .arg(outcome.framesNotSent);
    if (outcome.bytesNotSent > 0)
        lines << QStringLiteral("%1 byte(s) were still queued for the device when the link closed.")
                     .arg(outcome.bytesNotSent);
    lines.removeAll(QString());
    for (const QString &line : std::as_const(lines))
        QTextStream(stderr) << line << '\n';
    const bool ended = outcome.ending == Ending::Done || outcome.ending == Ending::Stopped;
    return ended && outcome.framesNotSent == 0 && outcome.bytesNotSent == 0 && !outcome.linkDropped ? ExitDone
                                                                                                    : ExitFailed;
}

} // namespace telvaro::cli
