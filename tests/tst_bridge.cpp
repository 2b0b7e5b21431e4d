// telvaro-bridge end to end: a real Mosquitto broker on loopback with its
// own configuration and port, the bridge as a process, the test as an MQTT
// client, and simulated signs and controllers that record what they get.
// Protocol waits run 20 times faster (TELVARO_TIME_SCALE).

#include "bridge/mqttclient.h"
#include "datatable.h"
#include "peers.h"
#include "programs.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <pwd.h>
#include <sys/prctl.h>
#include <unistd.h>

using namespace telvaro;
using namespace telvaro::bridge;
using namespace telvaro::test;

namespace {

const QStringList timeScale{QStringLiteral("TELVARO_TIME_SCALE=20")};
// Interval, number, text, comment.
const QByteArray table = "5,0,\"ONE\",\"first\"\r\n7,1,\"TWO<0x0D>\",\"\"\r\n";
const QByteArray controllerTable = "1000,0,\"<0x02>HELLO<0x03><0x04>\",\"\"\r\n1000,1,\"WORLD<0x0D><0x04>\",\"\"\r\n";
// A run that goes on until it is stopped: 2,000 messages a second apart
// (intervals are in milliseconds).
QByteArray LongRun()
{
    QByteArrayList messages;
    for (int i = 0; i < 2000; ++i)
        messages << R"({"text":"M)" + QByteArray::number(i) + R"(","interval":1000})";
    return R"({"id":"long","op":"run","messages":[)" + messages.join(',') + "]}";
}

int Scale()
{
    return qMax(1, qEnvironmentVariableIntValue("TELVARO_TIMEOUT_SCALE"));
}

quint16 FreePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

QString Write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qWarning("cannot write %s", qPrintable(path));
    return path;
}

// A Mosquitto broker of the test's own: its configuration, its port.
class Broker {
public:
    explicit Broker(const QString &dir) : m_dir(dir), m_port(FreePort()) {}
    ~Broker() { stop(); }
    quint16 port() const { return m_port; }

    // Starts it, with configuration lines added to its own.
    bool start(const QByteArray &extra = {})
    {
        // Run as root, it would drop to a user that cannot read the test's files.
        const QByteArray user = getpwuid(getuid())->pw_name;
        const QString conf =
            Write(m_dir + "/broker.conf",
                  "listener " + QByteArray::number(m_port) + " 127.0.0.1\nlog_dest none\nuser " + user + '\n' +
                      (extra.contains("persistence") ? "" : "persistence false\n") +
                      (extra.contains("allow_anonymous") ? "" : "allow_anonymous true\n") + extra);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.setStandardOutputFile(QProcess::nullDevice());
        // A test killed from outside (a CTest time-out) leaves no broker behind.
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_process.start(QStandardPaths::findExecutable(QStringLiteral("mosquitto"), {"/usr/sbin", "/usr/bin"}),
                        {"-c", conf});
        return QTest::qWaitFor(
            [this] {
                QTcpSocket probe;
                probe.connectToHost(QHostAddress::LocalHost, m_port);
                return probe.waitForConnected(100);
            },
            15000 * Scale());
    }
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }

private:
    QString m_dir;
    quint16 m_port;
    QProcess m_process;
};

// The test's side of the bus: commands out, everything the bridge says in.
class Bus : public QObject {
public:
    Bus(quint16 port, const BrokerSettings &extra = {})
    {
        BrokerSettings settings = extra;
        settings.host = QStringLiteral("127.0.0.1");
        settings.port = port;
        settings.clientId = QStringLiteral("tst_bridge-%1").arg(++s_clients);
        connect(&m_client, &MqttClient::messageReceived, this,
                [this](const QString &topic, const QByteArray &payload, bool) {
                    m_seen.append({topic, payload});
                });
        connect(&m_client, &MqttClient::connected, this, [this] { m_client.subscribe(QStringLiteral("#"), 1); });
        if (const auto problem = m_client.start(settings))
            qWarning("test client: %s", qPrintable(*problem));
        if (!QTest::qWaitFor([this] { return m_client.isConnected(); }, 5000 * Scale()))
            qWarning("test client: not connected");
    }
    ~Bus() override { m_client.disconnectFromBroker(1000); }

    void command(const QString &sign, const QByteArray &payload, bool retain = false)
    {
        m_client.publish(QStringLiteral("telvaro/%1/command").arg(sign), payload, 1, retain);
    }
    // The last message on a topic whose JSON holds the fields given, waiting
    // up to seconds for it.
    QJsonObject waitFor(const QString &topic, const QJsonObject &fields, int seconds = 10)
    {
        QJsonObject found;
        (void)QTest::qWaitFor(
            [&] {
                for (const QByteArray &payload : payloads(topic))
                    if (const QJsonObject o = QJsonDocument::fromJson(payload).object(); Holds(o, fields))
                        found = o;
                return !found.isEmpty();
            },
            seconds * 1000 * Scale());
        return found;
    }
    // Every message seen on a topic, oldest first.
    QList<QByteArray> payloads(const QString &topic) const
    {
        QList<QByteArray> found;
        for (const auto &[t, payload] : m_seen)
            if (t == topic)
                found << payload;
        return found;
    }

private:
    static bool Holds(const QJsonObject &o, const QJsonObject &fields)
    {
        const QStringList keys = fields.keys();
        return std::all_of(keys.begin(), keys.end(), [&](const QString &key) { return o[key] == fields[key]; });
    }
    static inline int s_clients = 0;
    MqttClient m_client;
    QList<std::pair<QString, QByteArray>> m_seen;
};

} // namespace

class TestBridge : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Broker> m_broker;
    // The test's bridges, ended by cleanup() whatever the test's outcome.
    std::vector<std::unique_ptr<QProcess>> m_bridges;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // A registry folder holding one NAME.conf per sign and the signs' table.
    QString registry(const QString &name, const QMap<QString, QString> &signs)
    {
        const QString dir = path(name);
        QDir().mkpath(dir);
        Write(dir + "/t.TVD", table);
        Write(dir + "/c.TVD", controllerTable);
        for (auto it = signs.begin(); it != signs.end(); ++it)
            Write(dir + '/' + it.key() + ".conf",
                  it.value().toUtf8() + (it.value().contains("input=") ? "\ntable=c.TVD\n" : "\ntable=t.TVD\n"));
        return dir;
    }
    static QString udpSign(quint16 port) { return QStringLiteral("port=-1\nip=127.0.0.1\nip-port=%1").arg(port); }

    // Starts a bridge, ended by cleanup(), and waits until it serves the
    // signs named (their state is published after their commands are
    // subscribed to); null if it does not.
    QProcess *startBridge(const QString &id, const QString &registryDir, Bus &bus, const QStringList &signs = {"s"})
    {
        QProcess &bridge = *m_bridges.emplace_back(std::make_unique<QProcess>());
        bridge.setProcessEnvironment(EnvironmentWith(timeScale + QStringList{"XDG_CONFIG_HOME=" + path("home")}));
        bridge.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        bridge.start(qEnvironmentVariable("TELVARO_BRIDGE"),
                     {"--broker", QStringLiteral("127.0.0.1:%1").arg(m_broker->port()), "--registry", registryDir,
                      "--id", id, "--state", path("state-" + id)});
        if (!bridge.waitForStarted(5000))
            return nullptr;
        for (const QString &sign : signs)
            if (bus.waitFor("telvaro/" + sign + "/state", {{"bridge", id}}).isEmpty())
                return nullptr;
        return &bridge;
    }

    // The one child the bridge keeps ready for a command (started by its
    // main thread) once it is another than before; 0 if none comes.
    static qint64 waitingChild(qint64 bridge, qint64 before = 0)
    {
        qint64 found = 0;
        (void)QTest::qWaitFor(
            [&] {
                QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(bridge));
                (void)children.open(QIODevice::ReadOnly);
                QList<qint64> waiting;
                for (const QByteArray &pid : children.readAll().simplified().split(' ')) {
                    QFile cmdline("/proc/" + pid + "/cmdline");
                    if (!pid.isEmpty() && cmdline.open(QIODevice::ReadOnly) &&
                        cmdline.readAll().contains("--arguments-from-stdin"))
                        waiting << pid.toLongLong();
                }
                found = waiting.size() == 1 && waiting.first() != before ? waiting.first() : 0;
                return found != 0;
            },
            5000 * Scale());
        return found;
    }

    // The frames the command line plans for an operation: what the device
    // must get, byte for byte.
    QByteArray planned(const QString &registryDir, const QStringList &args)
    {
        const ProgramResult r = RunProgram(
            CliPath(), args.first(1) + QStringList{"--registry", registryDir, "--dry-run", "--hex"} + args.mid(1),
            timeScale);
        QByteArray bytes;
        for (const QByteArray &line : r.out.split('\n'))
            if (line.contains('\t'))
                bytes += QByteArray::fromHex(line.mid(line.indexOf('\t') + 1));
        return bytes;
    }

private Q_SLOTS:
    void cleanup()
    {
        for (const auto &bridge : m_bridges) {
            bridge->terminate();
            if (!bridge->waitForFinished(10000 * Scale()))
                bridge->kill();
        }
        m_bridges.clear();
    }

    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("mosquitto"), {"/usr/sbin", "/usr/bin"}).isEmpty())
            QSKIP("the mosquitto broker is not installed");
        QVERIFY(!qEnvironmentVariable("TELVARO_BRIDGE").isEmpty());
        m_broker = std::make_unique<Broker>(path("broker"));
        QDir().mkpath(path("broker"));
        QVERIFY(m_broker->start());
    }

    // Every command through the bridge and its result. An op sends exactly
    // the bytes the command line plans for it (plan: its arguments), or to
    // a sign that cannot be reached (no plan) fails with the command line's
    // reasons; what never reaches a device is refused with its reason (a
    // pattern), the caller's id echoed where it could be read, and the
    // bridge goes on. Each command has one result.
    void commands_data()
    {
        columns<QByteArray, QString, QString, QString, QStringList>({"command", "id", "status", "reason", "plan"});
        const auto op = [](const char *name, const QByteArray &command, const QStringList &plan) {
            row(name, command, "a", plan.isEmpty() ? "failed" : "done", "", plan);
        };
        op("send", R"({"id":"a","op":"send","text":"HELLO<0x0D>"})", {"send", "--sign", "s", "--", "HELLO<0x0D>"});
        op("call-message", R"({"id":"a","op":"call-message","number":1})", {"call-message", "--sign", "s", "--", "1"});
        op("clear-list", R"({"id":"a","op":"clear-list"})", {"clear-list", "--sign", "s"});
        op("load-sign registry table", R"({"id":"a","op":"load-sign"})", {"load-sign", "--sign", "s"});
        op("load-sign messages",
           R"({"id":"a","op":"load-sign","messages":[{"text":"ONE","interval":5,"comment":"first"},)"
           R"({"text":"TWO<0x0D>","interval":7}]})",
           {"load-sign", "--sign", "s", "--", path("reg-commands/t.TVD")});
        op("run", R"({"id":"a","op":"run","duration":0.3,"messages":[{"text":"ONE","interval":5}]})",
           {"run", "--sign", "s", "--duration", "0.3", "--", path("reg-commands/one.TVD")});
        op("unreachable", R"({"id":"a","op":"send","text":"X"})", {});
        op("after its waiting child was killed", R"({"id":"a","op":"clear-list"})", {"clear-list", "--sign", "s"});
        const auto refused = [](const char *name, const QByteArray &command, const char *id, const char *reason) {
            row(name, command, id, "refused", reason, QStringList{});
        };
        refused("not JSON", "{\"id\":", "", "is not JSON");
        refused("not an object", "[1,2]", "", "not a JSON object");
        refused("oversized", "{\"id\":\"big\",\"op\":\"send\",\"text\":\"" + QByteArray(1 << 20, 'A') + "\"}", "",
                "at most 1048576");
        refused("unknown op", R"({"id":"r","op":"reboot"})", "r", "unknown op \"reboot\"");
        refused("wrong type", R"({"id":"r","op":"send","text":5})", "r", "\"text\" must be a string");
        refused("missing field", R"({"id":"r","op":"call-message"})", "r", "needs \"number\"");
        refused("field of another op", R"({"id":"r","op":"clear-list","text":"X"})", "r", "takes no field \"text\"");
        refused("expired", R"({"id":"r","op":"send","text":"X","expires":"2001-01-01T00:00:00Z"})", "r",
                "expired at 2001-01-01T00:00:00.000Z$"); // when it came, not while it waited
        refused("no time zone", R"({"id":"r","op":"send","text":"X","expires":"2099-01-01T00:00:00"})", "r",
                "time zone");
        refused("outside the code page", R"({"id":"r","op":"send","text":"€ ✓"})", "r", "no byte in windows-1252");
        refused("nothing to stop", R"({"id":"r","op":"stop"})", "r", "nothing was stopped");
        // Left on the broker with the retain flag (and cleared at the row's end).
        refused("retained", R"({"id":"r","op":"send","text":"AGAIN"})", "r", "a retained command is not run");
    }
    void commands()
    {
        const auto [command, id, status, reason, plan] =
            fetch<QByteArray, QString, QString, QString, QStringList>({"command", "id", "status", "reason", "plan"});
        UdpPeer sign;
        const QString dir =
            registry("reg-commands",
                     {{"s", status == u"failed" ? QStringLiteral("port=0\nip=127.0.0.1\nip-port=%1").arg(FreePort())
                                                : udpSign(sign.port())}});
        Write(dir + "/one.TVD", "5,0,\"ONE\",\"\"\r\n");
        Bus bus(m_broker->port());
        // A retained command is one the broker hands to the bridge as it
        // subscribes.
        const bool retain = QTest::currentDataTag() == QLatin1String("retained");
        if (retain)
            bus.command("s", command, true);
        // (A bridge with a session of its own on the broker would also get
        // it once, queued for the session as it was published.)
        const QProcess *bridge = startBridge(retain ? "retain" : "commands", dir, bus);
        QVERIFY(bridge);
        // Killed while it waits, the child a line keeps ready tells nothing
        // and another takes its place.
        if (QTest::currentDataTag() == QLatin1String("after its waiting child was killed")) {
            const qint64 killed = waitingChild(bridge->processId());
            QVERIFY(killed && ::kill(pid_t(killed), SIGKILL) == 0);
            QVERIFY(waitingChild(bridge->processId(), killed));
        }
        if (!retain)
            bus.command("s", command);
        const QJsonObject result = bus.waitFor("telvaro/s/result", {{"status", status}});
        const QString said = result.value("reasons").toArray().first().toString();
        QCOMPARE(result.value("id").toString(), id);
        QCOMPARE(bus.payloads("telvaro/s/result").size(), 1);
        QVERIFY2(QRegularExpression(reason).match(said).hasMatch() && said.isEmpty() == (status == u"done"),
                 qPrintable(said));
        if (status != u"refused") {
            QCOMPARE(result.value("exit").toInt(-1), status == u"done" ? 0 : 1);
            QCOMPARE(result.value("sign").toString(), "s");
            QVERIFY(QFile::exists(result.value("transcript").toString()));
            QCOMPARE(sign.datagrams.join(), plan.isEmpty() ? QByteArray() : planned(dir, plan));
            return;
        }
        // The bridge goes on serving.
        bus.command("s", R"({"id":"after","op":"send","text":"OK"})");
        QCOMPARE(bus.waitFor("telvaro/s/result", {{"id", "after"}}).value("status").toString(), "done");
        QCOMPARE(sign.datagrams, QList<QByteArray>{"OK"});
        if (retain)
            bus.command("s", {}, true);
    }

    // A controller load with verification over a pseudo-terminal: the
    // result and the sign's state carry the verification (the device read
    // back the table) and the table's digest; an upload is kept in a file.
    void controllerLoad()
    {
        const QString pty = path("ttyController");
        QProcess controller;
        StartDevice(controller, {"--pty", "--link", pty, "--role", "controller"});
        const QString dir = registry("reg-ctl", {{"c", "port=1\ndevice=" + pty + "\ninput=binary"}});
        Bus bus(m_broker->port());
        QVERIFY(startBridge("ctl", dir, bus, {"c"}));
        bus.command("c", R"({"id":"v","op":"load-controller","verify":true})");
        const QJsonObject result = bus.waitFor("telvaro/c/result", {{"id", "v"}}, 30);
        QVERIFY2(result.value("status").toString() == "done", QJsonDocument(result).toJson());
        QCOMPARE(result.value("verification").toObject().value("result").toString(), "same");
        const QJsonObject state = bus.waitFor("telvaro/c/state", {}).value("last_verified_load").toObject();
        QCOMPARE(state.value("result").toString(), "same");
        QCOMPARE(state.value("table_sha256").toString(),
                 QCryptographicHash::hash(controllerTable, QCryptographicHash::Sha256).toHex());
        bus.command("c", R"({"id":"u","op":"upload"})");
        const QJsonObject upload = bus.waitFor("telvaro/c/result", {{"id", "u"}}, 30);
        QCOMPARE(upload.value("status").toString(), "done");
        QVERIFY(QFile::exists(upload.value("file").toString()));
        StopDevice(controller);
    }

    // Ops of different signs run at once; ops of one serial line run one at
    // a time in the order they came; stop ends the running one. A second
    // bridge on the broker serves its own sign and never the first's.
    void timeAndOrder()
    {
        UdpPeer fast, other;
        QProcess line;
        const QString pty = path("ttyShared");
        StartDevice(line, {"--pty", "--link", pty, "--role", "sign"});
        const QString dir = registry("reg-order", {{"x", "port=1\ndevice=" + pty + "\naddress=01"},
                                                   {"y", "port=1\ndevice=" + pty + "\naddress=02"},
                                                   {"u", udpSign(fast.port())}});
        Bus bus(m_broker->port());
        QVERIFY(startBridge("order", dir, bus, {"x", "y", "u"}));
        QVERIFY(startBridge("other", registry("reg-other", {{"v", udpSign(other.port())}}), bus, {"v"}));
        bus.command("x", LongRun());
        bus.command("y", R"({"id":"second","op":"clear-list"})");
        // Taken in time, but its expiry passes while the line is busy.
        const QDateTime expires = QDateTime::currentDateTimeUtc().addSecs(3);
        bus.command("y", QStringLiteral(R"({"id":"late","op":"clear-list","expires":"%1"})")
                             .arg(expires.toString(Qt::ISODateWithMs))
                             .toUtf8());
        bus.command("u", R"({"id":"other","op":"send","text":"FAST"})");
        bus.command("v", R"({"id":"v","op":"send","text":"OTHER"})");
        QCOMPARE(bus.waitFor("telvaro/u/result", {{"id", "other"}}).value("status").toString(), "done");
        QCOMPARE(bus.waitFor("telvaro/v/result", {{"id", "v"}}).value("status").toString(), "done");
        QCOMPARE(bus.payloads("telvaro/x/result"), QList<QByteArray>{});
        QCOMPARE(bus.payloads("telvaro/y/result"), QList<QByteArray>{});
        QCOMPARE(bus.waitFor("telvaro/y/state", {{"queue", 2}}).value("state").toString(), "idle");
        QVERIFY(QTest::qWaitFor([&expires] { return QDateTime::currentDateTimeUtc() > expires; }, 10000));
        bus.command("x", R"({"id":"halt","op":"stop"})");
        QCOMPARE(bus.waitFor("telvaro/x/result", {{"id", "halt"}}).value("status").toString(), "done");
        const QJsonObject stopped = bus.waitFor("telvaro/x/result", {{"id", "long"}});
        QCOMPARE(stopped.value("status").toString(), "stopped");
        const QJsonObject second = bus.waitFor("telvaro/y/result", {{"id", "second"}});
        QCOMPARE(second.value("status").toString(), "done");
        QVERIFY(second.value("started").toString() >= stopped.value("ended").toString());
        const QJsonObject late = bus.waitFor("telvaro/y/result", {{"id", "late"}});
        QCOMPARE(late.value("status").toString(), "refused");
        QVERIFY(late.value("reasons").toArray().first().toString().contains("while it waited for the line"));
        // Each answered once: by the bridge whose sign it is.
        QCOMPARE(bus.payloads("telvaro/u/result").size(), 1);
        QCOMPARE(bus.payloads("telvaro/v/result").size(), 1);
        QCOMPARE(fast.datagrams, QList<QByteArray>{"FAST"});
        QCOMPARE(other.datagrams, QList<QByteArray>{"OTHER"});
        StopDevice(line);
    }

    // The broker restarted while an operation runs: the operation goes on,
    // its result and the retained state come once the broker is back. The
    // broker keeps the sessions over its restart, as one that serves signs
    // would, so the result reaches the test's client whichever of it and the
    // bridge is back first.
    void brokerRestart()
    {
        const QByteArray persistent = "persistence true\npersistence_location " + path("broker-db/").toUtf8() + '\n';
        QVERIFY(QDir().mkpath(path("broker-db")));
        m_broker->stop();
        QVERIFY(m_broker->start(persistent));
        UdpPeer sign;
        const QString dir = registry("reg-restart", {{"s", udpSign(sign.port())}});
        Bus bus(m_broker->port());
        QVERIFY(startBridge("restart", dir, bus));
        bus.command("s", R"({"id":"through","op":"run","duration":1.5})");
        QVERIFY(!bus.waitFor("telvaro/s/state", {{"state", "busy"}}).isEmpty());
        m_broker->stop();
        QTest::qWait(300);
        QVERIFY(m_broker->start(persistent));
        QCOMPARE(bus.waitFor("telvaro/s/result", {{"id", "through"}}, 20).value("status").toString(), "done");
        QVERIFY(QTest::qWaitFor([&bus] { return bus.payloads("telvaro/bridge/restart/status").endsWith("online"); },
                                10000 * Scale()));
        QVERIFY(!bus.waitFor("telvaro/s/state", {{"state", "idle"}}).isEmpty());
        QVERIFY(!sign.datagrams.isEmpty());
    }

    // SIGTERM ends the running operation through data entry, publishes its
    // outcome and "offline"; SIGKILL leaves it to the next start, which
    // says it was interrupted and what had been sent.
    void bridgeEnds_data()
    {
        columns<int, QString>({"signal", "status"});
        row("SIGTERM", int(SIGTERM), "stopped");
        row("SIGKILL", int(SIGKILL), "interrupted");
    }
    void bridgeEnds()
    {
        const auto [signal, status] = fetch<int, QString>({"signal", "status"});
        UdpPeer sign;
        const QString dir = registry("reg-end", {{"s", udpSign(sign.port())}});
        Bus bus(m_broker->port());
        // A bridge of the row's own, whose state holds nothing of another's.
        const QString id = QString::fromLatin1(QTest::currentDataTag());
        QProcess *bridge = startBridge(id, dir, bus);
        QVERIFY(bridge);
        bus.command("s", LongRun());
        QVERIFY(QTest::qWaitFor([&sign] { return !sign.datagrams.isEmpty(); }, 10000 * Scale()));
        ::kill(pid_t(bridge->processId()), signal);
        QVERIFY(bridge->waitForFinished(10000 * Scale()));
        QCOMPARE(bridge->exitStatus() == QProcess::NormalExit, signal == SIGTERM);
        // Retained, so that a client coming later sees it too.
        Bus later(m_broker->port());
        QVERIFY(QTest::qWaitFor([&] { return later.payloads("telvaro/bridge/" + id + "/status").endsWith("offline"); },
                                10000 * Scale()));
        // Nothing goes on sending once the bridge is gone.
        QTest::qWait(300);
        const qsizetype sent = sign.datagrams.size();
        QTest::qWait(500);
        QCOMPARE(sign.datagrams.size(), sent);
        if (signal == SIGKILL)
            QVERIFY(startBridge(id, dir, bus, {}));
        const QJsonObject result = bus.waitFor("telvaro/s/result", {{"id", "long"}});
        QCOMPARE(result.value("status").toString(), status);
        QVERIFY(result.value("frames_sent").toInt() > 0);
        if (signal == SIGKILL)
            QVERIFY(result.value("reasons").toArray().at(1).toString().contains("had been sent"));
        QCOMPARE(bus.payloads("telvaro/s/result").size(), 1);
    }

    // A bridge set up by its configuration file alone, on a broker that asks
    // for a password and speaks only TLS with a self-signed certificate made
    // here, its own authority: it serves its sign with the prefix and id of
    // the file and offers Home Assistant its entities, retained, each with
    // the bridge's availability.
    void configured()
    {
        const QString dir = path("secure");
        QDir().mkpath(dir);
        const QString crt = dir + "/server.crt", key = dir + "/server.key";
        const QString make = "req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 -keyout %1 -out %2";
        QCOMPARE(RunProgram("openssl", make.arg(key, crt).split(u' ')).status, 0);
        QCOMPARE(RunProgram("mosquitto_passwd", {"-c", "-b", dir + "/passwd", "bridge", "s3cret word"}).status, 0);
        Broker broker(dir);
        QVERIFY(broker.start(
            QStringLiteral("allow_anonymous false\npassword_file %1/passwd\ncafile %2\ncertfile %2\nkeyfile %3\n")
                .arg(dir, crt, key)
                .toUtf8()));
        BrokerSettings client;
        client.username = QStringLiteral("bridge");
        client.password = QStringLiteral("s3cret word");
        client.caFile = crt;
        Bus bus(broker.port(), client);
        const QString conf = QStringLiteral("broker=127.0.0.1:%1\nregistry=%2\nstate=%3\ncredentials=%4\nca=%5\n"
                                            "prefix=other\nid=fromfile\ndiscovery-prefix=ha\n# a comment\n")
                                 .arg(broker.port())
                                 .arg(registry("reg-secured", {{"s", udpSign(1)}}), path("state-secured"),
                                      Write(dir + "/credentials", "username=bridge\npassword=s3cret word\n"), crt);
        m_bridges.emplace_back(std::make_unique<QProcess>())
            ->start(qEnvironmentVariable("TELVARO_BRIDGE"), {"--config", Write(dir + "/bridge.conf", conf.toUtf8())});
        QCOMPARE(bus.waitFor("other/s/state", {}).value("bridge").toString(), "fromfile");
        const QJsonObject text = bus.waitFor("ha/text/telvaro_fromfile/s_send/config", {});
        QCOMPARE(text.value("command_topic").toString(), "other/s/command");
        QCOMPARE(text.value("availability_topic").toString(), "other/bridge/fromfile/status");
        QCOMPARE(bus.waitFor("ha/button/telvaro_fromfile/s_clear/config", {}).value("payload_press").toString(),
                 "{\"op\": \"clear-list\"}");
        QCOMPARE(bus.waitFor("ha/sensor/telvaro_fromfile/s_outcome/config", {}).value("state_topic").toString(),
                 "other/s/state");
    }

    // The settings from a configuration file, the command line winning;
    // what cannot be used ends the bridge at once with the reason.
    void settings_data()
    {
        columns<QByteArray, QStringList, int, QString>({"config", "args", "status", "message"});
        row("unknown key", QByteArray("brokr=x\n"), QStringList{}, 2, "bridge.conf:4: unknown key \"brokr\"");
        row("bad discovery", QByteArray("discovery=maybe\n"), QStringList{}, 2, "discovery is yes or no");
        row("cert without key", QByteArray(""), QStringList{"--ca", "ca.crt", "--cert", "c.crt"}, 2,
            "--cert and --key go together");
        row("bad broker", QByteArray(""), QStringList{"--broker", "host:99999"}, 2, "--broker takes HOST");
        row("credentials without username", QByteArray("credentials=CREDS\n"), QStringList{}, 1, "no username= line");
    }
    void settings()
    {
        const auto [config, args, status, message] =
            fetch<QByteArray, QStringList, int, QString>({"config", "args", "status", "message"});
        const QString dir = registry("reg-conf", {{"s", udpSign(1)}});
        Write(path("creds"), "password=secret\n");
        const QString conf =
            Write(path("bridge.conf"), "broker=127.0.0.1:" + QByteArray::number(m_broker->port()) +
                                           "\nregistry=" + dir.toUtf8() + "\nstate=" + path("state-conf").toUtf8() +
                                           "\n" + QByteArray(config).replace("CREDS", path("creds").toUtf8()));
        const ProgramResult r =
            RunProgram(qEnvironmentVariable("TELVARO_BRIDGE"), QStringList{"--config", conf} + args);
        QCOMPARE(r.status, status);
        QVERIFY2(r.err.contains(message.toUtf8()), r.err.constData());
        QVERIFY(!r.err.contains("secret"));
    }
};

QTEST_GUILESS_MAIN(TestBridge)
#include "tst_bridge.moc"
