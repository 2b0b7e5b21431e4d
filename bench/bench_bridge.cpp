// telvaro-bridge with 100 simulated signs (UDP, in this process) and 1,000
// send commands: the time from publishing a command to its first byte at
// the sign (median and 99th percentile), the bridge's memory and CPU, and
// the time from a broker restart until every sign's state is published
// again. Targets: median <= 10 ms, p99 <= 50 ms, memory flat, state back
// within 5 s. The protocol waits run at TELVARO_TIME_SCALE=100 so that a
// send's two-second hold does not queue the next one.
//   bench_bridge [SIGNS] [COMMANDS] [MS BETWEEN COMMANDS]
// The broker runs with set_tcp_nodelay, as the README advises.
// Each command runs in one telvaro-cli process that the bridge started
// ahead, one per line, so that its start-up is not waited for; that
// start-up still costs a few milliseconds of CPU per command, which the
// children's figure counts.

#include "bridge/mqttclient.h"
#include "devsim/transports.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <pwd.h>
#include <unistd.h>
#include <vector>

using namespace telvaro;

namespace {

quint16 FreePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

// Waits in the event loop, which sleeps until something comes or the
// timer looks again: the bench does not take the CPU it measures.
template <typename Done> bool SpinUntil(Done done, int ms)
{
    QElapsedTimer t;
    t.start();
    QTimer look;
    look.start(1);
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

void Spin(int ms)
{
    SpinUntil([] { return false; }, ms);
}

bool StartBroker(QProcess &broker, const QString &dir, quint16 port)
{
    QFile conf(dir + "/broker.conf");
    if (!conf.open(QIODevice::WriteOnly))
        return false;
    conf.write("listener " + QByteArray::number(port) +
               " 127.0.0.1\nallow_anonymous true\npersistence false\n"
               "log_dest none\nmax_queued_messages 100000\nset_tcp_nodelay true\nuser " +
               QByteArray(getpwuid(getuid())->pw_name) + "\n");
    conf.close();
    broker.setStandardErrorFile(QProcess::nullDevice());
    broker.start(QStandardPaths::findExecutable("mosquitto", {"/usr/sbin", "/usr/bin"}), {"-c", conf.fileName()});
    QTcpSocket probe;
    for (int i = 0; i < 100; ++i) {
        probe.connectToHost(QHostAddress::LocalHost, port);
        if (probe.waitForConnected(100))
            return true;
        probe.abort();
        QThread::msleep(50);
    }
    return false;
}

struct Usage {
    long rss = 0;        // KiB
    double cpu = 0;      // s, the process's own
    double children = 0; // s, of its children that have ended
};

// Resident memory and CPU of a process, from /proc.
Usage UsageOf(qint64 pid)
{
    long rss = 0;
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("VmRSS:"))
                rss = line.mid(6).trimmed().split(' ').first().toLong();
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    Usage usage{rss};
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        const double tick = double(sysconf(_SC_CLK_TCK));
        usage.cpu = double(fields.value(11).toLong() + fields.value(12).toLong()) / tick;
        usage.children = double(fields.value(13).toLong() + fields.value(14).toLong()) / tick;
    }
    return usage;
}

double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int signs = argc > 1 ? std::atoi(argv[1]) : 100;
    const int commands = argc > 2 ? std::atoi(argv[2]) : 1000;
    const int spacingMs = argc > 3 ? std::atoi(argv[3]) : 10;
    const QString bin = QCoreApplication::applicationDirPath() + "/..";
    QTemporaryDir dir;
    const quint16 port = FreePort();
    QProcess broker;
    if (!StartBroker(broker, dir.path(), port)) {
        std::fprintf(stderr, "bench_bridge: the mosquitto broker did not start\n");
        return 1;
    }

    // The signs, each a UDP socket here that notes when its first byte came.
    std::vector<std::unique_ptr<devsim::UdpTransport>> devices;
    QHash<QString, qint64> firstByte; // command id -> ns
    QHash<int, QString> expecting;    // sign -> id of the command it waits for
    QElapsedTimer clock;
    clock.start();
    QDir().mkpath(dir.path() + "/signs");
    QFile table(dir.path() + "/signs/t.TVD");
    table.open(QIODevice::WriteOnly);
    table.write("1,0,\"X\",\"\"\r\n");
    table.close();
    for (int i = 0; i < signs; ++i) {
        devices.push_back(std::make_unique<devsim::UdpTransport>(QHostAddress::LocalHost, 0));
        devices.back()->start();
        QObject::connect(devices.back().get(), &devsim::Transport::chunkReceived, [&, i](const QByteArray &) {
            const QString id = expecting.take(i);
            if (!id.isEmpty())
                firstByte.insert(id, clock.nsecsElapsed());
        });
        QFile conf(QStringLiteral("%1/signs/s%2.conf").arg(dir.path()).arg(i));
        conf.open(QIODevice::WriteOnly);
        conf.write(
            QStringLiteral("port=-1\nip=127.0.0.1\nip-port=%1\ntable=t.TVD\n").arg(devices.back()->port()).toUtf8());
    }

    bridge::MqttClient client;
    QHash<QString, int> states;
    int results = 0;
    QObject::connect(&client, &bridge::MqttClient::connected, [&] { client.subscribe("telvaro/#", 1); });
    QObject::connect(&client, &bridge::MqttClient::messageReceived,
                     [&](const QString &topic, const QByteArray &, bool) {
                         if (topic.endsWith("/state"))
                             ++states[topic];
                         else if (topic.endsWith("/result"))
                             ++results;
                     });
    bridge::BrokerSettings settings;
    settings.host = "127.0.0.1";
    settings.port = port;
    settings.clientId = "bench_bridge";
    client.start(settings);
    SpinUntil([&] { return client.isConnected(); }, 5000);

    QProcess bridgeProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TELVARO_TIME_SCALE", "100");
    env.insert("TELVARO_CLI", bin + "/telvaro-cli");
    env.insert("XDG_CONFIG_HOME", dir.path() + "/home");
    bridgeProcess.setProcessEnvironment(env);
    bridgeProcess.setStandardErrorFile(QProcess::nullDevice());
    bridgeProcess.start(bin + "/telvaro-bridge",
                        {"--broker", QStringLiteral("127.0.0.1:%1").arg(port), "--registry", dir.path() + "/signs",
                         "--state", dir.path() + "/state", "--id", "bench", "--no-discovery"});
    if (!SpinUntil([&] { return states.size() == signs; }, 20000)) {
        std::fprintf(stderr, "bench_bridge: the bridge did not publish every sign's state\n");
        return 1;
    }
    const Usage start = UsageOf(bridgeProcess.processId());

    // Commands spread over the signs, ten a second per sign at most.
    QHash<QString, qint64> published;
    long rssPeak = start.rss;
    for (int n = 0; n < commands; ++n) {
        const int sign = n % signs;
        // A sign takes its next command once the last has reached it.
        SpinUntil([&] { return !expecting.contains(sign); }, 5000);
        const QString id = QString::number(n);
        expecting.insert(sign, id);
        published.insert(id, clock.nsecsElapsed());
        client.publish(QStringLiteral("telvaro/s%1/command").arg(sign),
                       QStringLiteral(R"({"id":"%1","op":"send","text":"X"})").arg(id).toUtf8(), 1, false);
        Spin(spacingMs);
        if (n % 100 == 0)
            rssPeak = std::max(rssPeak, UsageOf(bridgeProcess.processId()).rss);
    }
    SpinUntil([&] { return results >= commands; }, 60000);
    const Usage end = UsageOf(bridgeProcess.processId());
    std::vector<double> latencies;
    for (auto it = firstByte.begin(); it != firstByte.end(); ++it)
        latencies.push_back(double(it.value() - published.value(it.key())) / 1e6);

    // The broker restarted: how long until every sign's state is back.
    broker.terminate();
    broker.waitForFinished(5000);
    StartBroker(broker, dir.path(), port);
    QElapsedTimer restart;
    restart.start();
    states.clear();
    SpinUntil([&] { return client.isConnected(); }, 20000);
    const bool back = SpinUntil([&] { return states.size() == signs; }, 30000);
    const double stateBack = double(restart.elapsed()) / 1000.0;

    std::printf("bench_bridge: %d signs, %d send commands %d ms apart, %zu reached their sign, %d results\n", signs,
                commands, spacingMs, latencies.size(), results);
    std::printf("publish -> first byte: median %.2f ms (target <= 10), p99 %.2f ms (target <= 50), max %.2f ms\n",
                Percentile(latencies, 0.5), Percentile(latencies, 0.99), Percentile(latencies, 1.0));
    std::printf("bridge memory: %ld KiB at start, %ld KiB peak, %ld KiB at end\n", start.rss, rssPeak, end.rss);
    std::printf("bridge CPU: %.2f s for the run, its telvaro-cli children %.2f s\n", end.cpu - start.cpu,
                end.children - start.children);
    std::printf("broker restart -> every state republished: %s%.2f s (target <= 5)\n", back ? "" : "not within ",
                stateBack);
    bridgeProcess.terminate();
    bridgeProcess.waitForFinished(10000);
    client.disconnectFromBroker(1000);
    broker.terminate();
    broker.waitForFinished(5000);
    return 0;
}
