// telvaro-cli run as a process against a device in this test.
#include "peers.h"
#include "table/messagefiles.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

using namespace telvaro;
using test::UdpPeer;

class CliRunTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString writeTable(const QList<QPair<QByteArray, qint32>> &rows)
    {
        QList<MessageEntry> entries;
        for (const auto &[text, interval] : rows) {
            MessageEntry e;
            e.Number = qint16(entries.size());
            e.Text = text;
            e.Interval = interval;
            entries << e;
        }
        const QString path = m_dir.filePath(QStringLiteral("table%1.TVD").arg(++m_files));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(WriteTvd(entries)) < 0)
            return {};
        return path;
    }
    int m_files = 0;

    void start(QProcess &p, const QStringList &args)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.path());
        p.setProcessEnvironment(env);
        p.start(qEnvironmentVariable("TELVARO_CLI"), QStringList{"run"} + args);
        QVERIFY(p.waitForStarted(10000));
    }
    static QStringList udp(const UdpPeer &peer)
    {
        return {"--port", "-1", "--ip", "127.0.0.1", "--ip-port", QString::number(peer.port())};
    }

private Q_SLOTS:
    void runsTheTableOnceAndEnds()
    {
        UdpPeer peer;
        QProcess p;
        start(p, udp(peer) << writeTable({{"<0x02>A", 20}, {"B<0x0D>", 20}, {"", 20}, {"C", 20}}));
        QTRY_VERIFY_WITH_TIMEOUT(p.state() == QProcess::NotRunning, 20000);
        QCOMPARE(p.exitCode(), 0);
        // An empty text sends no datagram.
        QCOMPARE(peer.datagrams, (QList<QByteArray>{"\x02"
                                                    "A",
                                                    "B\r", "C"}));
    }

    void repeatsUntilStoppedBySignal()
    {
        UdpPeer peer;
        QProcess p;
        start(p, udp(peer) << "--repeat-from"
                           << "1" << writeTable({{"X", 10}, {"Y", 10}, {"Z", 60000}}));
        QTRY_VERIFY_WITH_TIMEOUT(peer.datagrams.size() >= 3, 10000);
        QElapsedTimer clock;
        clock.start();
        ::kill(pid_t(p.processId()), SIGTERM);
        QTRY_VERIFY_WITH_TIMEOUT(p.state() == QProcess::NotRunning, 10000);
        // The 60-second wait was cut short: the stop ends the run at once.
        QVERIFY(clock.elapsed() < 5000);
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(peer.datagrams.mid(0, 3), (QList<QByteArray>{"X", "Y", "Z"}));
    }

    void durationEndsTheRun()
    {
        UdpPeer peer;
        QProcess p;
        start(p, udp(peer) << "--repeat-from"
                           << "0"
                           << "--duration"
                           << "0.5" << writeTable({{"R", 30}}));
        QTRY_VERIFY_WITH_TIMEOUT(p.state() == QProcess::NotRunning, 10000);
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(peer.datagrams.size() >= 3);
    }

    // Frames that could not go out make the run a failure, with the reason.
    void deviceGoneMidRunFails()
    {
        test::TcpPeer peer;
        peer.onReceive = [](test::TcpPeer &p, const QByteArray &chunk) {
            if (!chunk.isEmpty())
                p.dropConnection(true);
        };
        QProcess p;
        start(p, QStringList{"--port", "0", "--ip", "127.0.0.1", "--ip-port", QString::number(peer.port())}
                     << writeTable({{"A", 50}, {"B", 50}, {"C", 50}}));
        QTRY_VERIFY_WITH_TIMEOUT(p.state() == QProcess::NotRunning, 20000);
        QCOMPARE(p.exitCode(), 1);
        QCOMPARE(peer.received, QByteArray("A"));
        const QByteArray err = p.readAllStandardError();
        QVERIFY2(err.contains("The link dropped") && err.contains("2 message(s) could not be sent"), err.constData());
    }

    void failuresAndUsage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("error");
        QTest::newRow("bad escape") << QStringList{"--port", "-1", "--ip-port", "9", "BAD"} << 1
                                    << QByteArray("Error Going into Run");
        QTest::newRow("missing file") << QStringList{"--port", "-1", "/nonexistent/x.TVD"} << 1
                                      << QByteArray("Error Opening file");
        QTest::newRow("repeat beyond 200")
            << QStringList{"--repeat-from", "201", "x.TVD"} << 2 << QByteArray("0 to 200");
        QTest::newRow("no file") << QStringList{"--port", "-1"} << 2 << QByteArray("expects one FILE");
        QTest::newRow("bad duration") << QStringList{"--duration", "-1", "x.TVD"} << 2 << QByteArray("--duration");
    }
    void failuresAndUsage()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QByteArray, error);
        if (args.last() == QLatin1String("BAD"))
            args.last() = writeTable({{"<1234>", 10}});
        QProcess p;
        start(p, args);
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitCode(), status);
        QVERIFY2(p.readAllStandardError().contains(error), error);
    }
};

QTEST_GUILESS_MAIN(CliRunTest)
#include "tst_cli_run.moc"
