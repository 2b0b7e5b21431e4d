// telvaro-devsim: a device to talk to without hardware. It listens on TCP or
// UDP, or creates a pseudo-terminal that Telvaro opens as a serial port, and
// logs every chunk it receives with a time stamp.
#include "base/stopsignals.h"
#include "codec/codepage.h"
#include "codec/escapes.h"
#include "devsim/devicelog.h"
#include "devsim/roles.h"
#include "devsim/transports.h"

#include <QCoreApplication>
#include <QTextStream>
#include <QTimer>
#include <cstdio>
#include <memory>

using namespace telvaro;
using namespace telvaro::devsim;

namespace {

const char usageText[] = "usage: telvaro-devsim (--tcp PORT | --udp PORT | --pty) [--host ADDRESS] [--link PATH]\n"
                         "                      [--role recorder] [--reply TEXT] [--duration SECONDS]\n"
                         "  --tcp PORT       listen for TCP connections (0 picks a free port)\n"
                         "  --udp PORT       receive UDP datagrams (0 picks a free port)\n"
                         "  --pty            create a pseudo-terminal and print its device path\n"
                         "  --host ADDRESS   address to listen on (default 127.0.0.1)\n"
                         "  --link PATH      with --pty: also make PATH a link to the device\n"
                         "  --role NAME      what the device does (default recorder: it records)\n"
                         "  --reply TEXT     answer every chunk received with TEXT (escape notation)\n"
                         "  --duration SECS  end after that many seconds (default: on SIGINT/SIGTERM)\n";

int usage(const QString &problem)
{
    QTextStream err(stderr);
    if (!problem.isEmpty())
        err << problem << '\n';
    err << usageText;
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);

    QString kind;
    quint16 port = 0;
    QHostAddress host(QHostAddress::LocalHost);
    QString linkPath;
    QString roleName = QStringLiteral("recorder");
    QByteArray reply;
    double duration = 0;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == QLatin1String("--pty")) {
            kind = arg;
            continue;
        }
        if (!hasValue)
            return usage(arg.startsWith(QLatin1String("--")) ? arg + QStringLiteral(" needs a value")
                                                             : QStringLiteral("unknown argument ") + arg);
        const QString value = args[++i];
        bool ok = true;
        if (arg == QLatin1String("--tcp") || arg == QLatin1String("--udp")) {
            kind = arg;
            const uint number = value.toUInt(&ok);
            ok = ok && number <= 65535;
            port = quint16(number);
        } else if (arg == QLatin1String("--host")) {
            ok = host.setAddress(value);
        } else if (arg == QLatin1String("--link")) {
            linkPath = value;
        } else if (arg == QLatin1String("--role")) {
            roleName = value;
        } else if (arg == QLatin1String("--reply")) {
            const auto bytes = ParseEscapes(TextToBytes(value));
            ok = bytes.has_value();
            reply = bytes.value_or(QByteArray());
        } else if (arg == QLatin1String("--duration")) {
            duration = value.toDouble(&ok);
            ok = ok && duration > 0;
        } else {
            return usage(QStringLiteral("unknown option ") + arg);
        }
        if (!ok)
            return usage(QStringLiteral("bad value for %1: %2").arg(arg, value));
    }
    if (kind.isEmpty())
        return usage(QStringLiteral("choose --tcp, --udp or --pty"));
    std::unique_ptr<DeviceRole> role = MakeRole(roleName, reply);
    if (!role)
        return usage(QStringLiteral("unknown role ") + roleName);

    std::unique_ptr<Transport> transport;
    if (kind == QLatin1String("--tcp"))
        transport = std::make_unique<TcpTransport>(host, port);
    else if (kind == QLatin1String("--udp"))
        transport = std::make_unique<UdpTransport>(host, port);
    else
        transport = std::make_unique<PtyTransport>(linkPath);
    if (const QString error = transport->start(); !error.isEmpty()) {
        QTextStream(stderr) << "telvaro-devsim: " << error << '\n';
        return 1;
    }

    DeviceLog log;
    QObject::connect(transport.get(), &Transport::connected, &app,
                     [&log](const QString &peer) { log.line(QStringLiteral("connected ") + peer); });
    QObject::connect(transport.get(), &Transport::disconnected, &app,
                     [&log](const QString &peer) { log.line(QStringLiteral("disconnected ") + peer); });
    QObject::connect(transport.get(), &Transport::chunkReceived, &app, [&](const QByteArray &chunk) {
        log.bytes("received", chunk);
        role->onReceived(chunk, *transport);
    });
    QObject::connect(transport.get(), &Transport::sent, &app, [&log](const QByteArray &b) { log.bytes("sent", b); });

    const QByteArray ready = transport->description().toUtf8() + '\n';
    std::fwrite(ready.constData(), 1, size_t(ready.size()), stdout);
    std::fflush(stdout);

    // SIGINT and SIGTERM end the event loop, so links and sockets are cleaned up.
    const StopSignals stop;
    QObject::connect(&stop, &StopSignals::stopRequested, &app, &QCoreApplication::quit);
    if (duration > 0)
        QTimer::singleShot(qRound64(duration * 1000), &app, &QCoreApplication::quit);
    const int status = app.exec();
    transport.reset();
    return status;
}
