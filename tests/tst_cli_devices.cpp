// telvaro-cli's sign and controller commands against telvaro-devsim as a
// sign and as a controller, both as processes. The command line runs its
// protocol waits 100 times faster (TELVARO_TIME_SCALE); the devices run in
// real time.
#include "programs.h"
#include "table/messagefiles.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#endif

using namespace telvaro;
using test::RunCli;
using test::StartDevice;
using test::StopDevice;

class CliDevicesTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    const QStringList m_env = {"TELVARO_TIME_SCALE=100", "XDG_CONFIG_HOME=" + m_dir.path()};

    QString writeTable(const QString &name, const QList<QByteArray> &texts, const RegisterTable *registers = nullptr)
    {
        QList<MessageEntry> entries;
        for (const QByteArray &text : texts) {
            MessageEntry e;
            e.Number = qint16(entries.size());
            e.Interval = 1000;
            e.Text = text;
            entries << e;
        }
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(WriteTvd(entries)) < 0)
            return {};
        if (registers) {
            QFile companion(CompanionName(path));
            if (!companion.open(QIODevice::WriteOnly) || companion.write(WriteTv1(*registers, 1)) < 0)
                return {};
        }
        return path;
    }

    static QStringList understood(const QStringList &log)
    {
        static const QRegularExpression seconds(QStringLiteral("^\\+\\d+\\.\\d{3} "));
        QStringList lines;
        for (const QString &line : log)
            if (line.startsWith(QLatin1String("understood ")))
                lines << line.mid(11).remove(seconds); // without the seconds since the frame before
        return lines;
    }

private Q_SLOTS:
    // A load of two messages, a call and a clear over UDP, as the sign
    // understood them; the log file holds the same lines as stdout.
    void signOverUdp()
    {
        const QString logFile = m_dir.filePath(QStringLiteral("sign.log"));
        QProcess sign;
        const QString port = StartDevice(sign, {"--udp", "0", "--role", "sign", "--log", logFile}).section(u':', -1);
        const QStringList udp = {"--port", "-1", "--ip", "127.0.0.1", "--ip-port", port};
        const QString table = writeTable(QStringLiteral("two.TVD"), {"<0x02>HELLO<0x03>", "WORLD<0x0D>"});
        const auto load = RunCli(QStringList{"load-sign", "--address", "0a"} + udp + QStringList{table}, m_env);
        QCOMPARE(load.status, 0);
        QVERIFY2(load.err.isEmpty() && load.out.isEmpty(), load.err.constData()); // no terminal: no progress
        QCOMPARE(RunCli(QStringList{"call-message", "--address", "01"} + udp + QStringList{"91"}, m_env).status, 0);
        QCOMPARE(RunCli(QStringList{"clear-list", "--sign-type", "orbilux"} + udp, m_env).status, 0);
        const QStringList log = StopDevice(sign);
        QCOMPARE(understood(log), (QStringList{
                                      "orbilux address 0A, E$: erase the memory",
                                      "orbilux address 0A, E.SL: clear the play list",
                                      "SETPLAYLISTTOE: set the play list to E",
                                      "vyrena address 0A, store message 000 (label !!): <0x02>HELLO<0x03>",
                                      "vyrena address 0A, store message 001 (label !\"): WORLD<0x0D>",
                                      "vyrena address 01, E.SL: call message 091 (label \"\")",
                                      "orbilux address 00, E.SL: clear the play list",
                                  }));
        QFile file(logFile);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QStringList logged = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
        for (QString &line : logged)
            line = line.section(u' ', 1);
        QCOMPARE(logged, log);
    }

    // Load, then upload, against the simulated controller on a
    // pseudo-terminal: the messages and registers come back; a controller
    // that misbehaves makes the command fail with the window's message.
    void controllerOverPty_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("loadStatus");
        QTest::addColumn<int>("uploadStatus");
        QTest::addColumn<QByteArray>("err");
        QTest::newRow("round trip") << "none" << 0 << 0 << QByteArray("Controller configured for Binary Input\n");
        QTest::newRow("double enq") << "double-enq" << 1 << 0 << QByteArray("Serial Connection Failed.\n");
        QTest::newRow("garbage upload") << "garbage-upload" << 0 << 1 << QByteArray("Error Loading Controller\n");
    }
    void controllerOverPty()
    {
        QFETCH(QString, fault);
        QFETCH(int, loadStatus);
        QFETCH(int, uploadStatus);
        QFETCH(QByteArray, err);
        RegisterTable registers{};
        registers[2] = {3, "0"};
        registers[12] = {5, " "};
        const QList<QByteArray> texts = {"<0x02>HELLO<0x03><0x04>", "WORLD<0x0D><0x04>"};
        const QString table = writeTable(QStringLiteral("load.TVD"), texts, &registers);
        const QString link = m_dir.filePath(QStringLiteral("ttyController"));
        QProcess controller;
        StartDevice(controller, {"--pty", "--link", link, "--role", "controller", "--fault", fault});
        const QStringList serial = {"--port", "1", "--device", link};
        const auto load = RunCli(QStringList{"load-controller", "--binary-input"} + serial + QStringList{table}, m_env);
        QCOMPARE(load.status, loadStatus);
        const QString out = m_dir.filePath(QStringLiteral("up.TVD"));
        QFile::remove(out);
        const auto upload = RunCli(QStringList{"upload"} + serial + QStringList{out}, m_env);
        QCOMPARE(upload.status, uploadStatus);
        QVERIFY2((load.err + upload.err).startsWith(err), (load.err + upload.err).constData());
        const QStringList log = understood(StopDevice(controller));
        QVERIFY2(log.contains(QStringLiteral("registers <0x01>0230;125 <0x04>")), qPrintable(log.join(u'\n')));
        if (uploadStatus != 0) {
            QVERIFY(!QFileInfo::exists(out)); // nothing is saved from a failed upload
            return;
        }
        QFile file(out), companion(CompanionName(out));
        QVERIFY(file.open(QIODevice::ReadOnly) && companion.open(QIODevice::ReadOnly));
        const MessageFileRead read = ReadTvd(file.readAll());
        QList<QByteArray> uploaded;
        for (const MessageEntry &e : read.entries)
            uploaded << e.Text;
        // A load cut short after the registers leaves the controller without messages.
        QCOMPARE(uploaded.mid(0, 2) == texts, loadStatus == 0);
        QCOMPARE(uploaded.contains(texts.front()), loadStatus == 0);
        const RegisterFileRead back = ReadTv1(companion.readAll());
        QCOMPARE(back.result, RegisterFileRead::Result::Loaded);
        QVERIFY(back.registers == registers);
    }

#ifdef Q_OS_UNIX
    // On a terminal the load shows which message goes out and the time,
    // unless told to be quiet.
    void progressOnTerminal_data()
    {
        QTest::addColumn<bool>("quiet");
        QTest::newRow("progress") << false;
        QTest::newRow("quiet") << true;
    }
    void progressOnTerminal()
    {
        QFETCH(bool, quiet);
        QProcess sign;
        const QString port = StartDevice(sign, {"--udp", "0", "--role", "sign"}).section(u':', -1);
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
        const QByteArray terminal = ::ptsname(master);
        QProcess p;
        p.setProcessEnvironment(test::EnvironmentWith(m_env));
        p.setChildProcessModifier([terminal] {
            const int fd = ::open(terminal.constData(), O_RDWR);
            ::dup2(fd, 2);
        });
        const QString table = writeTable(QStringLiteral("three.TVD"), {"A", "B", "C"});
        QStringList args = {"load-sign", "--port", "-1", "--ip", "127.0.0.1", "--ip-port", port, table};
        if (quiet)
            args << "--quiet";
        p.start(test::CliPath(), args);
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitCode(), 0);
        QByteArray shown;
        ::fcntl(master, F_SETFL, O_NONBLOCK);
        char buffer[4096];
        for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
            shown.append(buffer, n);
        ::close(master);
        StopDevice(sign);
        if (quiet) {
            QCOMPARE(shown, QByteArray());
            return;
        }
        QVERIFY2(shown.contains("\rset-up frame 1 of 3, ") && shown.contains("\rmessage 3 of 3, ") &&
                     shown.endsWith(" s\x1b[K\r\n"),
                 shown.constData());
    }
#endif
};

QTEST_GUILESS_MAIN(CliDevicesTest)
#include "tst_cli_devices.moc"
