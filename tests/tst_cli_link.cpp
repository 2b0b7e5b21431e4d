// "telvaro-cli send" against "telvaro-devsim" devices, both as processes: the
// bytes received, the hold on the real clock, messages, exit status, settings.
#include "peers.h"

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
        const QByteArray usage = "usage: telvaro-cli send";
        QTest::newRow("no text") << QStringList{} << 2 << usage;
        QTest::newRow("port without value") << QStringList{"x", "--port"} << 2 << usage;
        QTest::newRow("port beyond 16 bits") << QStringList{"--port", "40000", "x"} << 2 << usage;
        QTest::newRow("unsupported baud") << QStringList{"--port", "1", "--baud", "12345", "x"} << 2 << usage;
        QTest::newRow("device for tcp") << QStringList{"--port", "0", "--device", "/dev/null", "x"} << 2 << usage;
        QTest::newRow("missing device") << QStringList{"--port", "4", "--device", "/nonexistent/tty", "x"} << 1
                                        << QByteArray(
                                               "Error Going into Run\nCommunications not available\n"
                                               "The connection failed: /nonexistent/tty: No such file or directory\n");
        QTest::newRow("refused") << QStringList{"--port", "0", "--ip", "127.0.0.1", "--ip-port", "CLOSED", "x"} << 1
                                 << QByteArray(
                                        "Unable to connect!  State = 9\nThe connection failed: Connection refused\n");
    }
    void failures()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QByteArray, err);
        telvaro::test::TcpPeer closed; // a port nobody listens on
        args.replaceInStrings(QStringLiteral("CLOSED"), QString::number(closed.port()));
        closed.stopListening();
        QProcess p;
        p.start(qEnvironmentVariable("TELVARO_CLI"), QStringList{"send"} + args);
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitCode(), status);
        const QByteArray shown = p.readAllStandardError();
        QVERIFY2(status == 2 ? shown.contains(err) : shown == err, shown.constData());
        QVERIFY(p.readAllStandardOutput().isEmpty());
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
};

QTEST_GUILESS_MAIN(CliLinkTest)
#include "tst_cli_link.moc"
