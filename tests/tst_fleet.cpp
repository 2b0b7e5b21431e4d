// The registry of signs, --sign, --json and the fleet command, against
// simulated signs on UDP, TCP and a pseudo-terminal. Protocol waits run
// 100 times faster (TELVARO_TIME_SCALE) unless a case says otherwise.
#include "datatable.h"
#include "fleet/registry.h"
#include "programs.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace telvaro;
using namespace telvaro::test;

namespace {

const QByteArray twoMessages = "10,0,\"A\",\"\"\r\n10,1,\"B\",\"\"\r\n";

QJsonObject ReportSign(const QJsonObject &report, const QString &name)
{
    for (const QJsonValue &v : report.value(QStringLiteral("signs")).toArray())
        if (v.toObject().value(QStringLiteral("sign")).toString() == name)
            return v.toObject();
    return {};
}

QByteArray Contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QJsonObject ReadJsonFile(const QString &path)
{
    return QJsonDocument::fromJson(Contents(path)).object();
}

QString UdpSign(const QString &port, const QString &address)
{
    return QStringLiteral("port=-1\nip=127.0.0.1\nip-port=%1\naddress=%2\ntable=t.TVD\n").arg(port, address);
}

// Starts a simulated sign on UDP, logging to a file where given, and returns its port.
QString StartSign(QProcess &sign, const QString &log = {})
{
    const QStringList toFile = log.isEmpty() ? QStringList() : QStringList{"--log", log};
    return StartDevice(sign, QStringList{"--udp", "0", "--role", "sign"} + toFile).section(u':', -1);
}

// telvaro-cli on the test clock at a scale; SIGTERM once the sign's log
// (where given) holds its erase.
ProgramResult RunAt(const char *scale, const QStringList &args, const QString &stopAfterErase = {})
{
    QProcess cli;
    cli.setProcessEnvironment(EnvironmentWith({QStringLiteral("TELVARO_TIME_SCALE=") + scale}));
    cli.start(CliPath(), args);
    if (!stopAfterErase.isEmpty() && QTest::qWaitFor([&] { return Contents(stopAfterErase).contains("E$"); }, 5000))
        cli.terminate();
    const bool ended = cli.waitForFinished(20000) && cli.exitStatus() == QProcess::NormalExit;
    cli.kill();
    return {ended ? cli.exitCode() : -1, cli.readAllStandardOutput(), WithoutScaleLine(cli.readAllStandardError())};
}

} // namespace

class FleetTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_signs; // the registry of the current test

    void write(const QString &name, const QByteArray &bytes)
    {
        QFile f(QDir(m_signs).filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    }
    void writeSign(const QString &name, const QString &text) { write(name + QStringLiteral(".conf"), text.toUtf8()); }
    // A fresh registry folder holding the table t.TVD.
    void freshRegistry(const QString &name)
    {
        m_signs = m_dir.filePath(name);
        QVERIFY(QDir().mkpath(m_signs));
        write(QStringLiteral("t.TVD"), twoMessages);
    }
    ProgramResult fleet(const QStringList &args, const char *scale = "100", const QString &stopAfterErase = {})
    {
        return RunAt(scale, QStringList{"fleet", "load", "--registry", m_signs} + args, stopAfterErase);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(QDir::setCurrent(m_dir.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.path()));
        qputenv("XDG_STATE_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("state"))));
        qputenv("TELVARO_TIME_SCALE", "100");
    }

    // A file that cannot be loaded is refused with its path, its line and
    // the reason.
    void registryErrors_data()
    {
        columns<QString, int, QString>({"file", "line", "reason"});
        row("unknown key", "port=-1\nip=h\nip-port=1\nflavour=red\ntable=t.TVD\n", 4, "unknown key \"flavour\"");
        row("bad value", "# sign 7\nport=twelve\ntable=t.TVD\n", 2, "port needs a number");
        row("bad sign type", "port=1\nsign-type=neon\ntable=t.TVD\n", 2, "sign-type is vyrena or orbilux");
        row("no key=value", "port=1\njust words\n", 2, "expected key=value");
        row("given twice", "port=1\nport=2\ntable=t.TVD\n", 2, "port= is given again (first on line 1)");
        row("missing table key", "port=1\n", 0, "incomplete: no table=");
        row("missing table file", "port=1\ntable=gone.TVD\n", 2, "the table");
        row("network without address", "port=-1\ntable=t.TVD\n", 0, "needs ip=");
        row("address on serial", "port=1\nip=10.0.0.7\ntable=t.TVD\n", 2, "ip= does not go with port=1");
        row("verify on a sign", "port=1\nverify=yes\ntable=t.TVD\n", 2, "a sign without input=");
        row("missing file", "", 0, "no such sign");
        row("far too large", "port=1\ntable=t.TVD\n" + QString(70000, u'#'), 0, "too large");
    }
    void registryErrors()
    {
        const auto [file, line, reason] = fetch<QString, int, QString>({"file", "line", "reason"});
        freshRegistry(QString::fromLatin1(QTest::currentDataTag()));
        const QString path = QDir(m_signs).filePath(QStringLiteral("s.conf"));
        if (!file.isEmpty())
            writeSign(QStringLiteral("s"), file);
        const auto read = ReadSign(m_signs, QStringLiteral("s"));
        QVERIFY(std::holds_alternative<RegistryError>(read));
        const RegistryError error = std::get<RegistryError>(read);
        const QString prefix = line > 0 ? QStringLiteral("%1:%2: ").arg(path).arg(line) : path + QStringLiteral(": ");
        QVERIFY2(error.text().startsWith(prefix) && error.reason.contains(reason), qPrintable(error.text()));
    }

    // Every NAME.conf, sorted; editor backups and hidden files are not signs.
    void registryListing()
    {
        freshRegistry(QStringLiteral("listing"));
        for (const char *name : {"b.conf", "a.conf", "a.conf~", "sign-07~", ".a.conf.swp", ".#a.conf", "#a.conf#"})
            write(QString::fromLatin1(name), "port=1\ntable=t.TVD\n");
        QStringList names;
        for (const auto &read : ReadRegistry(m_signs))
            names << (std::holds_alternative<SignEntry>(read) ? std::get<SignEntry>(read).name
                                                              : std::get<RegistryError>(read).text());
        QCOMPARE(names, (QStringList{"a", "b"}));
    }

    // --sign gives the link and the sign's options; what the command line
    // gives wins.
    void signGivesLink_data()
    {
        columns<QStringList, QString>({"options", "addressed"});
        row("from the file", QStringList{}, "vyrena address 07");
        row("address given", QStringList{"--address", "09"}, "vyrena address 09");
        row("type given", QStringList{"--sign-type", "orbilux"}, "orbilux address 07");
    }
    void signGivesLink()
    {
        const auto [options, addressed] = fetch<QStringList, QString>({"options", "addressed"});
        freshRegistry(QStringLiteral("link"));
        QProcess sign;
        writeSign(QStringLiteral("s7"), UdpSign(StartSign(sign), QStringLiteral("07")));
        const auto r =
            RunCli(QStringList{"call-message"} + options + QStringList{"--sign", "s7", "--registry", m_signs, "5"});
        QVERIFY2(r.status == 0, r.err.constData());
        QCOMPARE(Understood(StopDevice(sign)), QStringList{addressed + ", E.SL: call message 005 (label !&)"});
    }

    // The one line --json ends with, for each kind of ending.
    void jsonOutcome_data()
    {
        columns<QString, QString, int, QString>({"sign", "status", "exit", "reason"});
        row("done", "udp", "done", 0, "");
        row("failed", "closed", "failed", 1, "Unable to connect");
        row("refused", "broken", "refused", 1, "broken.conf:2: unknown key \"colour\"");
        row("stopped", "udp", "stopped", 143, "Stopped by SIGTERM");
    }
    void jsonOutcome()
    {
        const auto [name, status, exit, reason] =
            fetch<QString, QString, int, QString>({"sign", "status", "exit", "reason"});
        freshRegistry(QStringLiteral("json"));
        QProcess sign;
        const QString devLog = m_dir.filePath(QStringLiteral("json-%1.dev").arg(status));
        writeSign(QStringLiteral("udp"), UdpSign(StartSign(sign, devLog), QStringLiteral("07")));
        writeSign(QStringLiteral("closed"), QStringLiteral("port=0\nip=127.0.0.1\nip-port=1\ntable=t.TVD\n"));
        writeSign(QStringLiteral("broken"), QStringLiteral("port=-1\ncolour=red\n"));
        const QString transcript = m_dir.filePath(QStringLiteral("json-%1.log").arg(status));
        // A stop comes while the load waits after its erase: real time.
        const bool stop = status == QLatin1String("stopped");
        const ProgramResult r =
            RunAt(stop ? "1" : "100",
                  {"load-sign", "--sign", name, "--registry", m_signs, "--json", "--transcript", transcript},
                  stop ? devLog : QString());
        const QStringList log = StopDevice(sign);
        QCOMPARE(r.status, exit);
        const QJsonObject o = QJsonDocument::fromJson(r.out.trimmed().split('\n').constLast()).object();
        QCOMPARE(QStringList(o.keys()),
                 (QStringList{"duration", "ended", "exit", "frames_planned", "frames_sent", "op", "reasons", "sign",
                              "started", "status", "transcript", "verification"}));
        QCOMPARE((QStringList{o["op"].toString(), o["sign"].toString(), o["status"].toString()}),
                 (QStringList{"load-sign", name, status}));
        QCOMPARE(o.value("exit").toInt(), exit);
        const QString reasons = o.value("reasons").toVariant().toStringList().join(u'\n');
        QVERIFY2(reason.isEmpty() ? reasons.isEmpty() : reasons.contains(reason), qPrintable(reasons));
        QVERIFY(QDateTime::fromString(o.value("started").toString(), Qt::ISODateWithMs).isValid());
        QVERIFY(o.value("ended").toString() >= o.value("started").toString());
        const bool refused = status == QLatin1String("refused");
        // Nothing reaches the device from a refused file.
        QCOMPARE(Understood(log).isEmpty(), refused || status == QLatin1String("failed"));
        QCOMPARE(o.value("frames_planned").toInt(), refused ? 0 : 5);
        QCOMPARE(o.value("frames_sent").toInt(), status == QLatin1String("done") ? 5 : int(Understood(log).size()));
        QCOMPARE(o.value("transcript").toString(), refused ? QString() : transcript);
    }

    // At most N loads at once: no moment lies inside more than N of the
    // loads' spans. Two signs wired to one pseudo-terminal never overlap:
    // the second starts after the first ended, in registry order, even with
    // room to run both at once.
    void parallelLimitAndSharedLine()
    {
        freshRegistry(QStringLiteral("parallel"));
        QProcess sign, wired;
        const QString port = StartSign(sign), pty = m_dir.filePath(QStringLiteral("ttyShared"));
        StartDevice(wired, {"--pty", "--link", pty, "--role", "sign"});
        for (int i = 0; i < 3; ++i)
            writeSign(QStringLiteral("s%1").arg(i), UdpSign(port, QStringLiteral("0%1").arg(i)));
        for (const char *n : {"p2", "p1"})
            writeSign(QString::fromLatin1(n), QStringLiteral("port=1\ndevice=%1\naddress=%2\ntable=t.TVD\n")
                                                  .arg(pty, QString::fromLatin1(n).toUpper()));
        const auto r = fleet({"--parallel", "2", "--report", "parallel.json"}, "20");
        QVERIFY2(r.status == 0, r.err.constData());
        StopDevice(sign);
        QStringList addresses;
        for (const QString &line : Understood(StopDevice(wired)).filter(QStringLiteral(" address ")))
            addresses << line.section(u',', 0, 0).section(u' ', -1);
        QCOMPARE(addresses, (QStringList{"P1", "P1", "P1", "P1", "P2", "P2", "P2", "P2"}));
        const QJsonObject report = ReadJsonFile(QStringLiteral("parallel.json"));
        QVERIFY(ReportSign(report, "p1").value("ended").toString() <
                ReportSign(report, "p2").value("started").toString());
        // The most loads at once are under way at one of their starts.
        const QJsonArray signs = report.value("signs").toArray();
        QCOMPARE(signs.size(), 5);
        for (const QJsonValue &load : signs) {
            const QString moment = load["started"].toString();
            const auto under = std::count_if(signs.begin(), signs.end(), [&moment](const QJsonValue &other) {
                return other["started"].toString() <= moment && moment < other["ended"].toString();
            });
            QVERIFY2(under <= 2, qPrintable(moment));
        }
    }

    // A failed sign is tried again; the report holds every sign once with
    // its outcome; --only-failed loads the others again and carries the
    // done ones; fleet status prints the report; exit 0 only when all done.
    void retriesReportAndOnlyFailed()
    {
        freshRegistry(QStringLiteral("retries"));
        QProcess sign;
        const QString port = StartSign(sign);
        writeSign(QStringLiteral("a"), UdpSign(port, QStringLiteral("0A")));
        writeSign(QStringLiteral("b"), QStringLiteral("port=0\nip=127.0.0.1\nip-port=1\naddress=0B\ntable=t.TVD\n"));
        writeSign(QStringLiteral("c"), QStringLiteral("port=-1\nip=127.0.0.1\nip-port=%1\naddress=0C\n").arg(port));
        const auto first = fleet({"--retries", "2", "--retry-pause", "1", "--report", "first.json", "--progress"});
        QCOMPARE(first.status, 1);
        QVERIFY2(first.err.trimmed().endsWith("fleet: 1 of 3 done, 2 failed, 0 running, about 0.0 s left"),
                 first.err.constData());
        const QJsonObject report = ReadJsonFile(QStringLiteral("first.json"));
        QStringList outcomes;
        for (const QJsonValue &s : report.value("signs").toArray())
            outcomes << s["sign"].toString() + ' ' + s["status"].toString() + ' ' +
                            s["attempts"].toVariant().toString();
        QCOMPARE(outcomes, (QStringList{"a done 1", "b failed 3", "c refused 0"}));
        const QString refused = ReportSign(report, "c").value("reasons")[0].toString();
        QVERIFY2(refused.endsWith("c.conf: incomplete: no table= (the table file to load)"), qPrintable(refused));
        QVERIFY(QFile::exists(m_dir.filePath("state/telvaro/transcripts/b.log")));

        writeSign(QStringLiteral("b"), UdpSign(port, QStringLiteral("0B")));
        writeSign(QStringLiteral("c"), UdpSign(port, QStringLiteral("0C")));
        const auto again = RunCli({"fleet", "load", "--only-failed", "first.json", "--report", "again.json"});
        QVERIFY2(again.status == 0, again.err.constData());
        // b and c load at once: in either order.
        QStringList erased = Understood(StopDevice(sign)).filter("erase the memory");
        erased.sort();
        QCOMPARE(erased,
                 (QStringList{"orbilux address 0A, E$: erase the memory", "orbilux address 0B, E$: erase the memory",
                              "orbilux address 0C, E$: erase the memory"}));
        const QJsonObject second = ReadJsonFile(QStringLiteral("again.json"));
        QCOMPARE(ReportSign(second, "a"), ReportSign(report, "a"));
        const auto status = RunCli({"fleet", "status"});
        QCOMPARE(status.status, 0);
        const QList<QByteArray> lines = status.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines[1].startsWith("b\tdone\t") && lines[1].contains("\t5/5\t"), lines[1].constData());
        QCOMPARE(RunCli({"fleet", "status", "first.json"}).status, 1);
    }

    // SIGTERM reaches the load under way through its own stop, which says
    // where it stopped; signs not started are reported stopped; 143.
    void stopHandsOn()
    {
        freshRegistry(QStringLiteral("stop"));
        QProcess sign;
        const QString devLog = m_dir.filePath(QStringLiteral("stop.dev"));
        const QString port = StartSign(sign, devLog);
        for (const char *n : {"s1", "s2", "s3"})
            writeSign(QString::fromLatin1(n), UdpSign(port, QStringLiteral("07")));
        const ProgramResult r = fleet({"--parallel", "1", "--report", "stop.json"}, "1", devLog);
        StopDevice(sign);
        QCOMPARE(r.status, 143);
        const QJsonObject report = ReadJsonFile(QStringLiteral("stop.json"));
        QCOMPARE(report.value("status").toString(), QStringLiteral("stopped"));
        const QJsonObject s1 = ReportSign(report, "s1");
        QCOMPARE(s1.value("status").toString(), QStringLiteral("stopped"));
        QVERIFY2(s1.value("reasons")[0].toString().startsWith("Stopped by SIGTERM at set-up frame"),
                 qPrintable(s1.value("reasons")[0].toString()));
        for (const char *n : {"s2", "s3"})
            QCOMPARE(ReportSign(report, QString::fromLatin1(n)).value("reasons")[0].toString(),
                     QStringLiteral("Not started: the fleet was stopped by SIGTERM."));
    }
};

QTEST_GUILESS_MAIN(FleetTest)
#include "tst_fleet.moc"
