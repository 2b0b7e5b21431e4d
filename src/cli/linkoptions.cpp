#include "cli/linkoptions.h"

#include "app/settings.h"
#include "app/workspace.h"
#include "cli/commands.h"
#include "codec/codepage.h"
#include "codec/escapes.h"
#include "codec/numbers.h"
#include "link/link.h"

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
    const SettingsStore settings;
    const QString storedPort = settings.read(QStringLiteral("AppPort"), QStringLiteral("1"));
    const auto port = RoundToInt16(LenientValue(storedPort));
    if (!port && !options.port)
        return LinkSetupError{QStringLiteral("The stored port \"%1\" is out of range; give --port.").arg(storedPort),
                              ExitFailed};
    ws.PortNumber = options.port.value_or(port.value_or(0));
    ws.IpAddress = options.ip.value_or(settings.read(QStringLiteral("AppIP"), Workspace::DefaultIpAddress()));
    ws.IpPort = options.ipPort.value_or(settings.read(QStringLiteral("AppIPPort"), QStringLiteral("3001")));
    ws.BaudText = settings.read(QStringLiteral("AppSerialBaud"), QStringLiteral("9600"));
    if (options.baud) {
        // The same reading and the same refusal as "Set Baud".
        const QString baudText = BaudAnswerText(*options.baud);
        if (!ParseLineSettings(LineSettingsText(baudText)))
            return LinkSetupError{QStringLiteral("--baud: the serial port cannot run at \"%1\"").arg(*options.baud),
                                  ExitUsage};
        ws.BaudText = baudText;
    }
    if (options.device) {
        if (ws.PortNumber < 1)
            return LinkSetupError{QStringLiteral("--device needs a serial port number (--port 1 or above)"), ExitUsage};
        ws.link().builtinSerial().setDeviceOverride(*options.device);
    }
    ws.MnuModeData_Click();
    return std::nullopt;
}

void EchoStatusPanels(Workspace &ws)
{
    QObject::connect(&ws, &Workspace::statusPanelChanged, &ws, [&ws](int panel) {
        QTextStream(stderr) << "panel " << panel << ": "
                            << QString::fromLatin1(FormatReceived(TextToBytes(ws.statusPanel(panel)))) << '\n';
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
