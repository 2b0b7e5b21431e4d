// "telvaro-cli send" and "telvaro-devsim" as processes: the bytes a device
// receives, the two-second hold on the real clock, messages on stderr, exit
// status, the settings store as the default link.
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

struct Result {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// A device simulator running for one test.
class Device {
public:
    explicit Device(const QStringList &args)
    {
        m_process.start(qEnvironmentVariable("TELVARO_DEVSIM"), args);
        if (m_process.waitForStarted(5000))
            while (!m_process.canReadLine() && m_process.waitForReadyRead(5000)) {
            }
        ready = QString::fromUtf8(m_process.readLine()).trimmed();
    }
    ~Device()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    QString endpointPort() const { return ready.section(u':', -1); }
    QString devicePath() const { return ready.section(u' ', 1, 1); }
    // Ends it the way an operator does (SIGTERM) and returns its log.
    QStringList stop(int *status = nullptr)
    {
        m_process.terminate();
        m_process.waitForFinished(5000);
        if (status)
            *status = m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
        const QString log = QString::fromUtf8(m_process.readAllStandardOutput());
        return log.split(u'\n', Qt::SkipEmptyParts);
    }
    QString ready;

private:
    QProcess m_process;
};

// Seconds of a log line's time stamp, or -1.
double stampOf(const QStringList &log, const QString &event)
{
    static const QRegularExpression line(QStringLiteral("^(\\d+\\.\\d{3}) (.*)$"));
    for (const QString &l : log) {
        const auto m = line.match(l);
        if (m.hasMatch() && m.captured(2).startsWith(event))
            return m.captured(1).toDouble();
    }
    return -1;
}

} // namespace

class CliLinkTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_config;

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
        return env;
    }
    void start(QProcess &p, const QStringList &args) const
    {
        p.setProcessEnvironment(environment());
        p.start(qEnvironmentVariable("TELVARO_CLI"), QStringList{QStringLiteral("send")} + args);
    }
    Result finish(QProcess &p) const
    {
        p.waitForFinished(20000);
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
                p.readAllStandardError()};
    }
    Result send(const QStringList &args) const
    {
        QProcess p;
        start(p, args);
        return finish(p);
    }

private Q_SLOTS:
    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no text") << QStringList{};
        QTest::newRow("two texts") << QStringList{"a", "b"};
        QTest::newRow("unknown option") << QStringList{"--bogus", "x"};
        QTest::newRow("port without value") << QStringList{"x", "--port"};
        QTest::newRow("port not a number") << QStringList{"--port", "abc", "x"};
        QTest::newRow("port beyond 16 bits") << QStringList{"--port", "40000", "x"};
        QTest::newRow("unsupported baud") << QStringList{"--port", "1", "--baud", "12345", "x"};
        QTest::newRow("device without serial port") << QStringList{"--port", "0", "--device", "/dev/null", "x"};
    }
    void usageErrors()
    {
        QFETCH(QStringList, args);
        const Result r = send(args);
        QCOMPARE(r.status, 2);
        QVERIFY(r.err.contains("usage: telvaro-cli send"));
        QVERIFY(r.out.isEmpty());
    }

    void failures_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("err");
        const QByteArray noComms = "Error Going into Run\nCommunications not available\n";
        QTest::newRow("missing serial device")
            << QStringList{"--port", "4", "--device", QDir::tempPath() + "/telvaro-no-such-tty", "x"} << noComms;
        QTest::newRow("escape out of range") << QStringList{"--port", "0", "<9999>"} << noComms;
        QTest::newRow("ip port not a number") << QStringList{"--port", "0", "--ip-port", "tcp", "x"} << noComms;
    }
    void failures()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, err);
        const Result r = send(args);
        QCOMPARE(r.status, 1);
        QCOMPARE(r.err, err);
    }

    void refusedConnection()
    {
        // A port nobody listens on: take a free one and let it go.
        quint16 port = 0;
        {
            Device probe({"--tcp", "0"});
            port = probe.endpointPort().toUShort();
            probe.stop();
        }
        const Result r = send({"--port", "0", "--ip", "127.0.0.1", "--ip-port", QString::number(port), "x"});
        QCOMPARE(r.status, 1);
        QCOMPARE(r.err, QByteArray("Unable to connect!  State = 9\n"));
    }

    void sendsOverEveryLink()
    {
        Device tcp({"--tcp", "0", "--reply", "OK<0x0D>"});
        Device udp({"--udp", "0"});
        const QString link = m_config.path() + QStringLiteral("/ttyTelvaro");
        Device pty({"--pty", "--link", link});
        QVERIFY2(tcp.ready.startsWith(QLatin1String("listening tcp 127.0.0.1:")), qPrintable(tcp.ready));
        QVERIFY2(udp.ready.startsWith(QLatin1String("listening udp 127.0.0.1:")), qPrintable(udp.ready));
        QVERIFY2(pty.ready.startsWith(QLatin1String("device /dev/")), qPrintable(pty.ready));
        QCOMPARE(QFileInfo(link).symLinkTarget(), pty.devicePath());

        // TCP from the settings store alone.
        {
            QSettings store(m_config.path() + QStringLiteral("/Telvaro/Telvaro.ini"), QSettings::IniFormat);
            store.setValue(QStringLiteral("Settings/AppPort"), QStringLiteral("0"));
            store.setValue(QStringLiteral("Settings/AppIP"), QStringLiteral("127.0.0.1"));
            store.setValue(QStringLiteral("Settings/AppIPPort"), tcp.endpointPort());
        }
        // All three at once: each holds its link two real seconds.
        QProcess viaTcp, viaUdp, viaPty;
        QElapsedTimer clock;
        clock.start();
        start(viaTcp, {"--verbose", "<0x02>Hi<0x03>"});
        start(viaUdp, {"--port", "-1", "--ip", "127.0.0.1", "--ip-port", udp.endpointPort(), "udp <&H7E>"});
        start(viaPty, {"--port", "2", "--device", link, "--baud", "19200", "ser<0x0D><0x0A>"});
        const Result rTcp = finish(viaTcp);
        const Result rUdp = finish(viaUdp);
        const Result rPty = finish(viaPty);
        QVERIFY(clock.elapsed() >= 2000);

        QCOMPARE(rTcp.status, 0);
        QCOMPARE(rUdp.status, 0);
        QCOMPARE(rPty.status, 0);
        QVERIFY(rUdp.err.isEmpty());
        QVERIFY(rPty.err.isEmpty());
        QVERIFY2(rTcp.err.contains("panel 2: <0x02>Hi<0x03>\n"), rTcp.err.constData());
        QVERIFY(rTcp.err.contains("panel 2: No Traffic\n"));
        static const QRegularExpression answer(QStringLiteral("^OK<0d13>\n\\d+\\.\\d\\d\n$"));
        QVERIFY2(answer.match(QString::fromLatin1(rTcp.out)).hasMatch(), rTcp.out.constData());

        const QStringList tcpLog = tcp.stop();
        const QStringList udpLog = udp.stop();
        int ptyStatus = -1;
        const QStringList ptyLog = pty.stop(&ptyStatus);
        QVERIFY2(
            tcpLog.filter(QStringLiteral(" received ")).join(u'|').endsWith(QLatin1String("received <0x02>Hi<0x03>")),
            qPrintable(tcpLog.join(u'|')));
        QVERIFY(tcpLog.filter(QStringLiteral(" sent OK<0x0D>")).size() == 1);
        const double held =
            stampOf(tcpLog, QStringLiteral("disconnected")) - stampOf(tcpLog, QStringLiteral("received"));
        QVERIFY2(held >= 1.95 && held < 4.0, qPrintable(QString::number(held)));
        QCOMPARE(udpLog.filter(QStringLiteral(" received ")).join(u'|').section(u' ', 1),
                 QStringLiteral("received udp <0x7E>"));
        QCOMPARE(ptyLog.filter(QStringLiteral(" received ")).join(u'|').section(u' ', 1),
                 QStringLiteral("received ser<0x0D><0x0A>"));
        // SIGTERM ends the simulator cleanly and takes its link along.
        QCOMPARE(ptyStatus, 0);
        QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
    }

    void simulatorUsage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no link") << QStringList{};
        QTest::newRow("port beyond 16 bits") << QStringList{"--tcp", "70000"};
        QTest::newRow("unknown role") << QStringList{"--udp", "0", "--role", "sign-of-the-times"};
        QTest::newRow("bad reply") << QStringList{"--pty", "--reply", "<1234>"};
    }
    void simulatorUsage()
    {
        QFETCH(QStringList, args);
        QProcess p;
        p.start(qEnvironmentVariable("TELVARO_DEVSIM"), args);
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(p.readAllStandardError().contains("usage: telvaro-devsim"));
    }
};

QTEST_GUILESS_MAIN(CliLinkTest)
#include "tst_cli_link.moc"
