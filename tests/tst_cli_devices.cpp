// telvaro-cli against telvaro-devsim, both as processes: Quick Send over
// every link with the hold on the real clock, the sign and controller
// commands as the devices understood them, progress on a terminal, and the
// simulator's link. The command line runs its protocol waits 100 times
// faster (TELVARO_TIME_SCALE); the devices run in real time.
#include "programs.h"
#include "table/messagefiles.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

using namespace telvaro;
using namespace telvaro::test;

namespace {

// The simulator's log after SIGTERM: each event (peer addresses left out)
// and its seconds.
QMultiMap<QString, double> Events(QProcess &device)
{
    static const QRegularExpression line(QStringLiteral("^(\\S+) (.*?)( 127\\.0\\.0\\.1:\\d+)?$"));
    QMultiMap<QString, double> log;
    for (const QString &text : StopDevice(device, true)) {
        const QRegularExpressionMatch m = line.match(text);
        log.insert(m.captured(2), m.captured(1).toDouble());
    }
    return log;
}

// The lines the simulator understood, without the seconds since the frame before.
QStringList Understood(const QStringList &log)
{
    static const QRegularExpression seconds(QStringLiteral("^\\+\\d+\\.\\d{3} "));
    QStringList lines;
    for (const QString &line : log)
        if (line.startsWith(QLatin1String("understood ")))
            lines << line.mid(11).remove(seconds);
    return lines;
}

} // namespace

class CliDevicesTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    const QStringList m_env = {"TELVARO_TIME_SCALE=100", "XDG_CONFIG_HOME=" + m_dir.path()};

    QString writeTable(const QString &name, const QList<QByteArray> &texts, const RegisterTable *registers = nullptr)
    {
        QList<MessageEntry> entries;
        for (const QByteArray &text : texts)
            entries << MessageEntry{qint16(entries.size()), 1000, text, {}, {}};
        const QString path = m_dir.filePath(name);
        QFile file(path), companion(CompanionName(path));
        if (!file.open(QIODevice::WriteOnly) || file.write(WriteTvd(entries)) < 0)
            return {};
        if (registers && (!companion.open(QIODevice::WriteOnly) || companion.write(WriteTv1(*registers, 1)) < 0))
            return {};
        return path;
    }

private Q_SLOTS:
    // All three at once: each holds its link two real seconds.
    void sendsOverEveryLink()
    {
        QProcess tcp, udp, pty;
        const QString link = m_dir.filePath(QStringLiteral("ttyTelvaro"));
        const QString tcpPort = StartDevice(tcp, {"--tcp", "0", "--reply", "OK<0x0D>"}).section(u':', -1);
        const QString udpPort = StartDevice(udp, {"--udp", "0"}).section(u':', -1);
        // The device makes the link as it starts: ask for the link's target only after.
        const QString ptyPath = StartDevice(pty, {"--pty", "--link", link}).section(u' ', 1, 1);
        QCOMPARE(QFileInfo(link).symLinkTarget(), ptyPath);
        // TCP from the settings store alone.
        QSettings store(m_dir.filePath(QStringLiteral("Telvaro/Telvaro.ini")), QSettings::IniFormat);
        store.setValue(QStringLiteral("Settings/AppPort"), QStringLiteral("0"));
        store.setValue(QStringLiteral("Settings/AppIP"), QStringLiteral("127.0.0.1"));
        store.setValue(QStringLiteral("Settings/AppIPPort"), tcpPort);
        store.sync();
        QProcess viaTcp, viaUdp, viaPty;
        for (QProcess *p : {&viaTcp, &viaUdp, &viaPty})
            p->setProcessEnvironment(EnvironmentWith({"XDG_CONFIG_HOME=" + m_dir.path()}));
        viaTcp.start(CliPath(), {"send", "--verbose", "<0x02>Hi<0x03>"});
        viaUdp.start(CliPath(), {"send", "--port", "-1", "--ip", "127.0.0.1", "--ip-port", udpPort, "udp <&H7E>"});
        viaPty.start(CliPath(), {"send", "--port", "2", "--device", link, "--baud", "19200", "ser<0x0D><0x0A>"});
        for (QProcess *p : {&viaTcp, &viaUdp, &viaPty})
            QVERIFY(p->waitForFinished(10000) && p->exitCode() == 0);
        QVERIFY(viaUdp.readAllStandardError().isEmpty() && viaPty.readAllStandardError().isEmpty());
        const QByteArray verbose = viaTcp.readAllStandardError();
        QVERIFY2(verbose.contains("panel 2: <0x02>Hi<0x03>\n") && verbose.contains("panel 2: No Traffic\n"),
                 verbose.constData());
        const QString answer = QString::fromLatin1(viaTcp.readAllStandardOutput());
        QVERIFY2(QRegularExpression(QStringLiteral("^OK<0d13>\n\\d+\\.\\d\\d\n$")).match(answer).hasMatch(),
                 qPrintable(answer));

        const auto tcpLog = Events(tcp);
        QCOMPARE(tcpLog.keys(), (QStringList{"connected", "disconnected", "received <0x02>Hi<0x03>", "sent OK<0x0D>"}));
        const double held = tcpLog.value(QStringLiteral("disconnected")) - tcpLog.value("received <0x02>Hi<0x03>");
        QVERIFY2(held >= 1.95 && held < 4.0, qPrintable(QString::number(held)));
        QCOMPARE(Events(udp).keys(), QStringList{"received udp <0x7E>"});
        QCOMPARE(Events(pty).keys(), QStringList{"received ser<0x0D><0x0A>"});
        // SIGTERM ends the simulator cleanly and takes its link along.
        QVERIFY(pty.exitStatus() == QProcess::NormalExit && pty.exitCode() == 0);
        QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
    }

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
        QCOMPARE(Understood(log), (QStringList{
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
        const QStringList log = Understood(StopDevice(controller));
        QVERIFY2(log.contains(QStringLiteral("registers <0x01>0230;125 <0x04>")), qPrintable(log.join(u'\n')));
        QFile file(out), companion(CompanionName(out));
        QCOMPARE(file.open(QIODevice::ReadOnly) && companion.open(QIODevice::ReadOnly), uploadStatus == 0);
        if (uploadStatus != 0) // nothing is saved from a failed upload
            return;
        QList<QByteArray> uploaded;
        for (const MessageEntry &e : ReadTvd(file.readAll()).entries)
            uploaded << e.Text;
        // A load cut short after the registers leaves the controller without messages.
        QCOMPARE(uploaded.mid(0, 2) == texts, loadStatus == 0);
        QCOMPARE(uploaded.contains(texts.front()), loadStatus == 0);
        const RegisterFileRead back = ReadTv1(companion.readAll());
        QCOMPARE(back.result, RegisterFileRead::Result::Loaded);
        QVERIFY(back.registers == registers);
    }

    // On a terminal the load shows which message goes out and the time,
    // unless told to be quiet.
    void progressOnTerminal_data()
    {
        QTest::addColumn<QStringList>("option");
        QTest::addColumn<QByteArray>("shown"); // parts of it; empty: nothing at all
        QTest::newRow("progress") << QStringList{}
                                  << QByteArray("\rset-up frame 1 of 3, |\rmessage 3 of 3, | s\x1b[K\r\n");
        QTest::newRow("quiet") << QStringList{"--quiet"} << QByteArray();
    }
    void progressOnTerminal()
    {
        QFETCH(QStringList, option);
        QFETCH(QByteArray, shown);
        QProcess sign;
        const QString port = StartDevice(sign, {"--udp", "0", "--role", "sign"}).section(u':', -1);
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
        const QByteArray terminal = ::ptsname(master);
        QProcess p;
        p.setProcessEnvironment(EnvironmentWith(m_env));
        p.setChildProcessModifier([terminal] { ::dup2(::open(terminal.constData(), O_RDWR), 2); });
        const QString table = writeTable(QStringLiteral("three.TVD"), {"A", "B", "C"});
        p.start(CliPath(),
                QStringList{"load-sign", "--port", "-1", "--ip", "127.0.0.1", "--ip-port", port, table} + option);
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 0);
        QByteArray got;
        ::fcntl(master, F_SETFL, O_NONBLOCK);
        char buffer[4096];
        for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
            got.append(buffer, n);
        ::close(master);
        StopDevice(sign);
        QCOMPARE(got.isEmpty(), shown.isEmpty());
        const QList<QByteArray> parts = shown.split('|');
        QVERIFY2(got.contains(parts[0]) && got.contains(parts.value(1)) && got.endsWith(parts.last()), got.constData());
    }

    // A link that a running simulator owns is refused and left to it; a
    // dangling one that a killed simulator left behind is taken over.
    void simulatorLinkPath()
    {
        const QString link = m_dir.filePath(QStringLiteral("ttyShared"));
        const QStringList again = {"--pty", "--link", link, "--duration", "0.2"};
        QProcess first;
        const QString device = StartDevice(first, {"--pty", "--link", link}).section(u' ', 1, 1);
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

QTEST_GUILESS_MAIN(CliDevicesTest)
#include "tst_cli_devices.moc"
