// telvaro-devsim: a device to talk to without hardware. It listens on TCP or
// UDP, or creates a pseudo-terminal that Telvaro opens as a serial port, and
// logs every chunk it receives with a time stamp; as a sign or a controller
// it also says what it understood, and a controller answers.
#include "base/stopsignals.h"
#include "codec/codepage.h"
#include "codec/escapes.h"
#include "devsim/devicelog.h"
#include "devsim/roles.h"
#include "devsim/transports.h"
#include "link/transcript.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <memory>

using namespace telvaro;
using namespace telvaro::devsim;

namespace {

QCommandLineOption Option(const QStringList &names, const QString &sentence, const QString &example,
                          const QString &valueName = {})
{
    return QCommandLineOption(names, sentence + QStringLiteral(" Example: ") + example, valueName);
}

void Print(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

// The parser names the program as it was started; the help as it is typed.
QString HelpText(const QCommandLineParser &parser)
{
    QString text = parser.helpText();
    const QString started = QStringLiteral("Usage: ") + QCoreApplication::arguments().constFirst();
    if (text.startsWith(started))
        text.replace(0, started.size(), QStringLiteral("Usage: telvaro-devsim"));
    return text +
           QStringLiteral("\nRoles:\n"
                          "  recorder    logs what arrives; answers with --reply when given\n"
                          "  sign        an ADP sign: logs the sign-load frames and loaded-message commands it\n"
                          "              understood, with the seconds since the frame before\n"
                          "  controller  a sign controller: answers the load handshake, keeps registers, messages\n"
                          "              and configuration, serves them on an upload (use --pty for serial)\n"
                          "\nLog lines: SECONDS EVENT DETAILS, seconds on a monotonic clock since the start;\n"
                          "events received, sent (bytes in escape notation), connected, disconnected (peer),\n"
                          "understood (what the role made of it).\n"
                          "\nExamples:\n"
                          "  telvaro-devsim --tcp 3001\n"
                          "  telvaro-devsim --udp 3001 --role sign --log sign.log\n"
                          "  telvaro-devsim --pty --link /tmp/ttyController --role controller\n");
}

int UsageError(const QString &problem)
{
    Print(stderr, QStringLiteral("telvaro-devsim: %1\nRun \"telvaro-devsim --help\" for its options.\n").arg(problem));
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
#ifdef SIGPIPE
    // A reader that went away does not end the device.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Plays a device for Telvaro without hardware: on a TCP or UDP port, or on a "
                       "pseudo-terminal that Telvaro opens as a serial port. It prints where it can be reached, "
                       "then one log line per event."));
    const QStringList faults = {QStringLiteral("no-reply"),        QStringLiteral("double-enq"),
                                QStringLiteral("split-reply"),     QStringLiteral("slow-upload"),
                                QStringLiteral("garbage-upload"),  QStringLiteral("changed-message"),
                                QStringLiteral("changed-register")};
    parser.addOptions({
        Option({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Shows this help and ends."),
               QStringLiteral("telvaro-devsim --help")),
        Option({QStringLiteral("version")}, QStringLiteral("Shows the version and ends."),
               QStringLiteral("telvaro-devsim --version")),
        Option({QStringLiteral("tcp")}, QStringLiteral("Listens for TCP connections on PORT (0 picks a free port)."),
               QStringLiteral("--tcp 3001"), QStringLiteral("PORT")),
        Option({QStringLiteral("udp")}, QStringLiteral("Receives UDP datagrams on PORT (0 picks a free port)."),
               QStringLiteral("--udp 3001"), QStringLiteral("PORT")),
        Option({QStringLiteral("pty")}, QStringLiteral("Creates a pseudo-terminal and prints its device path."),
               QStringLiteral("--pty")),
        Option({QStringLiteral("host")}, QStringLiteral("The address to listen on; default 127.0.0.1."),
               QStringLiteral("--host 0.0.0.0"), QStringLiteral("ADDRESS")),
        Option({QStringLiteral("link")},
               QStringLiteral("With --pty, also makes PATH a link to the device, removed at the end. A PATH that "
                              "exists is refused unless it is a link to a device that is gone."),
               QStringLiteral("--link /tmp/ttyTelvaro"), QStringLiteral("PATH")),
        Option({QStringLiteral("role")},
               QStringLiteral("What the device does: recorder (the default), sign or controller."),
               QStringLiteral("--role sign"), QStringLiteral("NAME")),
        Option({QStringLiteral("reply")},
               QStringLiteral("The recorder answers every chunk with TEXT (escape notation)."),
               QStringLiteral("--reply 'OK<0x0D>'"), QStringLiteral("TEXT")),
        Option({QStringLiteral("fault")},
               QStringLiteral("The controller misbehaves: ") + faults.join(QStringLiteral(", ")) + u'.',
               QStringLiteral("--fault split-reply"), QStringLiteral("NAME")),
        Option({QStringLiteral("pace")},
               QStringLiteral("Milliseconds between a slow upload's frames and before a split reply's second half "
                              "(default 61000 for slow-upload, otherwise 100)."),
               QStringLiteral("--pace 500"), QStringLiteral("MS")),
        Option({QStringLiteral("log")}, QStringLiteral("Also appends every log line to FILE."),
               QStringLiteral("--log device.log"), QStringLiteral("FILE")),
        Option({QStringLiteral("transcript")},
               QStringLiteral("Appends every chunk received (RX) and sent (TX) and every connection to FILE, one line "
                              "each with its UTC time in microseconds, as telvaro-cli --transcript writes them; exit "
                              "status 1 when FILE does not hold every line."),
               QStringLiteral("--transcript device.transcript"), QStringLiteral("FILE")),
        Option({QStringLiteral("duration")},
               QStringLiteral("Ends after that many seconds; otherwise on Ctrl+C or SIGTERM."),
               QStringLiteral("--duration 60"), QStringLiteral("SECONDS")),
    });
    if (!parser.parse(QCoreApplication::arguments()))
        return UsageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        Print(stdout, HelpText(parser));
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        Print(stdout, QStringLiteral("telvaro-devsim " TELVARO_VERSION_TEXT "\n"));
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return UsageError(QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().front()));

    QStringList kinds;
    for (const char *kind : {"tcp", "udp", "pty"})
        if (parser.isSet(QLatin1String(kind)))
            kinds << QLatin1String(kind);
    if (kinds.size() != 1)
        return UsageError(QStringLiteral("choose one of --tcp, --udp and --pty"));
    const QString kind = kinds.front();
    quint16 port = 0;
    if (kind != QLatin1String("pty")) {
        bool ok = false;
        const uint number = parser.value(kind).toUInt(&ok);
        if (!ok || number > 65535)
            return UsageError(QStringLiteral("--%1 takes a port from 0 to 65535").arg(kind));
        port = quint16(number);
    }
    QHostAddress host(QHostAddress::LocalHost);
    if (parser.isSet(QStringLiteral("host")) && !host.setAddress(parser.value(QStringLiteral("host"))))
        return UsageError(QStringLiteral("--host takes an IP address"));
    if (parser.isSet(QStringLiteral("link")) && kind != QLatin1String("pty"))
        return UsageError(QStringLiteral("--link goes with --pty"));
    RoleOptions roleOptions;
    if (parser.isSet(QStringLiteral("reply"))) {
        const auto bytes = ParseEscapes(TextToBytes(parser.value(QStringLiteral("reply"))));
        if (!bytes)
            return UsageError(QStringLiteral("--reply: an escape has a value outside 0 to 255"));
        roleOptions.reply = *bytes;
    }
    if (parser.isSet(QStringLiteral("fault"))) {
        const auto fault = ControllerDevice::FaultFromName(parser.value(QStringLiteral("fault")));
        if (!fault)
            return UsageError(QStringLiteral("--fault is one of ") + faults.join(QStringLiteral(", ")));
        roleOptions.fault = *fault;
    }
    if (parser.isSet(QStringLiteral("pace"))) {
        bool ok = false;
        roleOptions.paceMs = parser.value(QStringLiteral("pace")).toInt(&ok);
        if (!ok || *roleOptions.paceMs < 0)
            return UsageError(QStringLiteral("--pace takes milliseconds"));
    }
    double duration = 0;
    if (parser.isSet(QStringLiteral("duration"))) {
        bool ok = false;
        duration = parser.value(QStringLiteral("duration")).toDouble(&ok);
        if (!ok || !(duration > 0))
            return UsageError(QStringLiteral("--duration takes a number of seconds above 0"));
    }
    const QString roleName =
        parser.isSet(QStringLiteral("role")) ? parser.value(QStringLiteral("role")) : QStringLiteral("recorder");
    if (!RoleNames().contains(roleName))
        return UsageError(QStringLiteral("--role is one of ") + RoleNames().join(QStringLiteral(", ")));

    DeviceLog log;
    if (parser.isSet(QStringLiteral("log")) && !log.openFile(parser.value(QStringLiteral("log")))) {
        Print(stderr, QStringLiteral("telvaro-devsim: cannot open the log %1: %2\n")
                          .arg(parser.value(QStringLiteral("log")), log.errorString()));
        return 1;
    }
    Transcript transcript;
    if (parser.isSet(QStringLiteral("transcript")) && !transcript.open(parser.value(QStringLiteral("transcript")))) {
        Print(stderr, QStringLiteral("telvaro-devsim: cannot open the transcript %1: %2\n")
                          .arg(parser.value(QStringLiteral("transcript")), transcript.errorString()));
        return 1;
    }
    std::unique_ptr<Transport> transport;
    if (kind == QLatin1String("tcp"))
        transport = std::make_unique<TcpTransport>(host, port);
    else if (kind == QLatin1String("udp"))
        transport = std::make_unique<UdpTransport>(host, port);
    else
        transport = std::make_unique<PtyTransport>(parser.value(QStringLiteral("link")));
    if (const QString error = transport->start(); !error.isEmpty()) {
        Print(stderr, QStringLiteral("telvaro-devsim: %1\n").arg(error));
        return 1;
    }
    const std::unique_ptr<DeviceRole> role = MakeRole(roleName, roleOptions, *transport, [&log](const QString &text) {
        log.line(QStringLiteral("understood ") + text);
    });

    QObject::connect(transport.get(), &Transport::connected, &app, [&](const QString &peer) {
        transcript.event("LINK", QStringLiteral("opened: ") + peer);
        log.line(QStringLiteral("connected ") + peer);
    });
    QObject::connect(transport.get(), &Transport::disconnected, &app, [&](const QString &peer) {
        transcript.event("LINK", QStringLiteral("closed: ") + peer);
        log.line(QStringLiteral("disconnected ") + peer);
    });
    QObject::connect(transport.get(), &Transport::chunkReceived, &app, [&](const QByteArray &chunk) {
        transcript.traffic(false, chunk);
        log.bytes("received", chunk);
        role->onReceived(chunk, *transport);
    });
    QObject::connect(transport.get(), &Transport::sent, &app, [&](const QByteArray &bytes) {
        transcript.traffic(true, bytes);
        log.bytes("sent", bytes);
    });

    Print(stdout, transport->description() + u'\n');

    // SIGHUP, SIGINT and SIGTERM end the event loop, so links and sockets are cleaned up.
    const StopSignals stop;
    QString ending = QStringLiteral("the duration ran out");
    QObject::connect(&stop, &StopSignals::stopRequested, &app, [&ending](int number) {
        ending = QStringLiteral("stopped by signal %1").arg(number);
        QCoreApplication::quit();
    });
    if (duration > 0)
        QTimer::singleShot(qRound64(duration * 1000), &app, &QCoreApplication::quit);
    const int status = app.exec();
    transcript.event("END", ending);
    // A transcript that does not hold every line is no success.
    if (!transcript.flush(Transcript::FinalWaitMs)) {
        Print(stderr, QStringLiteral("telvaro-devsim: the transcript %1 is incomplete: %2\n")
                          .arg(parser.value(QStringLiteral("transcript")), transcript.problem()));
        return status == 0 ? 1 : status;
    }
    return status;
}
