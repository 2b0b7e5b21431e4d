// "telvaro-cli send" against "telvaro-devsim" devices, both as processes: the
// bytes received, the hold on the real clock, messages, exit status, settings.
#include "peers.h"
#include "programs.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Starts a device simulator and returns the line it announces itself with.
QString startDevice(QProcess &p, const QStringList &args)
{
    p.start(qEnvironmentVariable("TELVARO_DEVSIM"), args);
    while (!p.canReadLine() && p.waitForReadyRead(5000)) {
    }
    return QString::fromUtf8(p.readLine()).trimmed();
}

// Ends a device simulator the way an operator does (SIGTERM) and returns its
// log: each event ("received Hi", peer addresses left out) and its seconds.
QMultiMap<QString, double> stopDevice(QProcess &p)
{
    p.terminate();
    p.waitForFinished(5000);
    static const QRegularExpression line(QStringLiteral("^(\\S+) (.*?)( 127\\.0\\.0\\.1:\\d+)?$"));
    QMultiMap<QString, double> log;
    for (const QString &text : QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts))
        log.insert(line.match(text).captured(2), line.match(text).captured(1).toDouble());
    return log;
}

} // namespace

class CliLinkTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_config; // where the programs started here keep their settings

private Q_SLOTS:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path())); }

    void failures_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("err"); // all of it, or a part of a usage error (2)
        const auto row = [](const char *name, const QStringList &args, int status, const QByteArray &err) {
            QTest::newRow(name) << args << status << err;
        };
        const QByteArray usage = "Usage: telvaro-cli send";
        row("no text", {"send"}, 2, usage);
        row("port without value", {"send", "x", "--port"}, 2, usage);
        row("port beyond 16 bits", {"send", "--port", "40000", "x"}, 2, usage);
        row("unsupported baud", {"send", "--port", "1", "--baud", "12345", "x"}, 2, usage);
        row("device for tcp", {"send", "--port", "0", "--device", "/dev/null", "x"}, 2,
            "--device needs a serial link (--port 1 or above); the link is TCP (port 0)");
        // The stored port is serial 1: an address would be dropped silently.
        row("ip for the stored serial port", {"send", "--ip", "127.0.0.1", "--ip-port", "3001", "x"}, 2,
            "--ip and --ip-port need a network link (--port 0 for TCP, -1 for UDP); the link is serial port 1");
        row("ip port for a serial port", {"run", "--port", "3", "--ip-port", "3001", "x.TVD"}, 2,
            "the link is serial port 3");
        row("missing device", {"send", "--port", "4", "--device", "/nonexistent/tty", "x"}, 1,
            "Error Going into Run\nCommunications not available\n"
            "The connection failed: /nonexistent/tty: No such file or directory\n");
        row("refused", {"send", "--port", "0", "--ip", "127.0.0.1", "--ip-port", "CLOSED", "x"}, 1,
            "Unable to connect!  State = 9\nThe connection failed: Connection refused\n");
        row("sign type", {"load-sign", "--sign-type", "neon", "x.TVD"}, 2, "--sign-type is vyrena or orbilux");
        row("load address", {"load-sign", "--address", "0", "x.TVD"}, 2, "--address takes two letters or digits");
        row("message number", {"call-message", "--", "-1"}, 1, "Invalid Message Number!\n");
        row("message number beyond 8100", {"call-message", "8101"}, 1, "Invalid Message Number!\n");
        row("address of a call", {"clear-list", "--address", "123"}, 1,
            "Invalid Sign Address.\nAddress must be 2 Hexadecimal characters.\n");
        row("no input kind", {"load-controller", "x.TVD"}, 2, "give one of --serial-input and --binary-input");
        row("upload elsewhere", {"upload", "--port", "0", "x.TVD"}, 1,
            "Error Loading Controller\nThe upload reads a serial port; choose a port number of 1 or above.\n");
    }
    void failures()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QByteArray, err);
        telvaro::test::TcpPeer closed; // a port nobody listens on
        args.replaceInStrings(QStringLiteral("CLOSED"), QString::number(closed.port()));
        closed.stopListening();
        const auto r = telvaro::test::RunCli(args);
        QCOMPARE(r.status, status);
        QVERIFY2(status == 2 ? r.err.contains(err) : r.err == err, r.err.constData());
        QVERIFY(r.out.isEmpty());
    }

    void sendsOverEveryLink()
    {
        QProcess tcp, udp, pty;
        const QString link = m_config.path() + QStringLiteral("/ttyTelvaro");
        const QString tcpPort = startDevice(tcp, {"--tcp", "0", "--reply", "OK<0x0D>"}).section(u':', -1);
        const QString udpPort = startDevice(udp, {"--udp", "0"}).section(u':', -1);
        // The device makes the link as it starts: ask for the link's target only after.
        const QString ptyPath = startDevice(pty, {"--pty", "--link", link}).section(u' ', 1, 1);
        QCOMPARE(QFileInfo(link).symLinkTarget(), ptyPath);
        // TCP from the settings store alone.
        QSettings store(m_config.path() + QStringLiteral("/Telvaro/Telvaro.ini"), QSettings::IniFormat);
        store.setValue(QStringLiteral("Settings/AppPort"), QStringLiteral("0"));
        store.setValue(QStringLiteral("Settings/AppIP"), QStringLiteral("127.0.0.1"));
        store.setValue(QStringLiteral("Settings/AppIPPort"), tcpPort);
        store.sync();
        // All three at once: each holds its link two real seconds.
        QProcess viaTcp, viaUdp, viaPty;
        const QString cli = qEnvironmentVariable("TELVARO_CLI");
        viaTcp.start(cli, {"send", "--verbose", "<0x02>Hi<0x03>"});
        viaUdp.start(cli, {"send", "--port", "-1", "--ip", "127.0.0.1", "--ip-port", udpPort, "udp <&H7E>"});
        viaPty.start(cli, {"send", "--port", "2", "--device", link, "--baud", "19200", "ser<0x0D><0x0A>"});
        for (QProcess *p : {&viaTcp, &viaUdp, &viaPty})
            QVERIFY(p->waitForFinished(20000) && p->exitCode() == 0);
        QVERIFY(viaUdp.readAllStandardError().isEmpty() && viaPty.readAllStandardError().isEmpty());
        const QByteArray verbose = viaTcp.readAllStandardError();
        QVERIFY2(verbose.contains("panel 2: <0x02>Hi<0x03>\n") && verbose.contains("panel 2: No Traffic\n"),
                 verbose.constData());
        const QString answer = QString::fromLatin1(viaTcp.readAllStandardOutput());
        QVERIFY2(QRegularExpression(QStringLiteral("^OK<0d13>\n\\d+\\.\\d\\d\n$")).match(answer).hasMatch(),
                 qPrintable(answer));

        const auto tcpLog = stopDevice(tcp);
        QCOMPARE(tcpLog.keys(), (QStringList{"connected", "disconnected", "received <0x02>Hi<0x03>", "sent OK<0x0D>"}));
        const double held = tcpLog.value(QStringLiteral("disconnected")) - tcpLog.value("received <0x02>Hi<0x03>");
        QVERIFY2(held >= 1.95 && held < 4.0, qPrintable(QString::number(held)));
        QCOMPARE(stopDevice(udp).keys(), QStringList{"received udp <0x7E>"});
        QCOMPARE(stopDevice(pty).keys(), QStringList{"received ser<0x0D><0x0A>"});
        // SIGTERM ends the simulator cleanly and takes its link along.
        QVERIFY(pty.exitStatus() == QProcess::NormalExit && pty.exitCode() == 0);
        QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
    }

    // A link that a running simulator owns is refused and left to it; a
    // dangling one that a killed simulator left behind is taken over.
    void simulatorLinkPath()
    {
        using telvaro::test::DevsimPath;
        using telvaro::test::RunProgram;
        const QString link = m_config.path() + QStringLiteral("/ttyShared");
        const QStringList again = {"--pty", "--link", link, "--duration", "0.2"};
        QProcess first;
        const QString device = startDevice(first, {"--pty", "--link", link}).section(u' ', 1, 1);
        const auto second = RunProgram(DevsimPath(), again);
        QCOMPARE(second.status, 1);
        QVERIFY2(second.err.contains("which is in use"), second.err.constData());
        QCOMPARE(QFileInfo(link).symLinkTarget(), device);
        first.kill();
        QVERIFY(first.waitForFinished(5000));
        QVERIFY(QFileInfo(link).isSymLink() && !QFileInfo::exists(link));
        QCOMPARE(RunProgram(DevsimPath(), again).status, 0);
        QVERIFY(!QFileInfo(link).isSymLink());
        // Whatever else lies there is not the simulator's to replace.
        QFile plain(link);
        QVERIFY(plain.open(QIODevice::WriteOnly) && plain.write("keep") == 4);
        plain.close();
        QCOMPARE(RunProgram(DevsimPath(), again).status, 1);
        QVERIFY(plain.open(QIODevice::ReadOnly) && plain.readAll() == "keep");
    }
};

QTEST_GUILESS_MAIN(CliLinkTest)
#include "tst_cli_link.moc"
