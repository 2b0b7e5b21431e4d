// One operation per serial line across processes, and the small hazards of
// the command line: the ports table's columns, completion of file names
// with blanks, characters without a byte in windows-1252, upload's help.
// Two telvaro-cli processes meet on one real pseudo-terminal served by
// telvaro-devsim; protocol waits run 3 times faster (TELVARO_TIME_SCALE).
#include "datatable.h"
#include "linkedworkspace.h"
#include "peers.h"
#include "programs.h"
#include "link/linelock.h"

#include <QSerialPort>
#include <QtTest>

#include <csignal>
#include <unistd.h>

using namespace telvaro;
using namespace telvaro::test;

namespace {

const QStringList kScaled = {"TELVARO_TIME_SCALE=3"};

QString OwnProcessText()
{
    return ProcessText(::getpid());
}

// Reads the simulator's log as it comes until a line holds text.
bool AwaitLog(QProcess &device, QStringList &log, const QString &text)
{
    const int scale = qMax(1, qEnvironmentVariableIntValue("TELVARO_TIMEOUT_SCALE"));
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000 * scale) {
        while (device.canReadLine()) {
            log << QString::fromUtf8(device.readLine()).trimmed();
            if (log.last().contains(text))
                return true;
        }
        device.waitForReadyRead(100);
    }
    return false;
}

QByteArray WithoutScaleLine(const QByteArray &err)
{
    QByteArrayList lines = err.split('\n');
    lines.removeIf([](const QByteArray &line) { return line.startsWith("telvaro-cli: TELVARO_TIME_SCALE="); });
    return lines.join('\n').trimmed();
}

} // namespace

class TestLines : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QFile table(dir.filePath("three.TVD"));
        QVERIFY(table.open(QIODevice::WriteOnly));
        table.write("9000,0,\"A\",\"\"\r\n9000,1,\"B\",\"\"\r\n9000,2,\"C\",\"\"\r\n");
    }

    // A send started in a sign load's close-and-reopen gap: refused at once
    // (naming the load's process), or with --wait-line sent after the load.
    void sendInLoadGap_data()
    {
        QTest::addColumn<bool>("wait");
        QTest::newRow("refused at once") << false;
        QTest::newRow("waits its turn") << true;
    }
    void sendInLoadGap()
    {
        QFETCH(bool, wait);
        const QString pty = dir.filePath("line");
        QProcess device;
        QVERIFY(StartDevice(device, {"--role", "sign", "--pty", "--link", pty}).startsWith("device "));
        QProcess load;
        load.setProcessEnvironment(EnvironmentWith(kScaled));
        load.start(CliPath(), {"load-sign", "--port", "1", "--device", pty, dir.filePath("three.TVD")});
        QVERIFY(load.waitForStarted());
        const QString loader = QStringLiteral("(PID %1, telvaro-cli)").arg(load.processId());
        QStringList log;
        // The load closes the line after its erase and opens it again later.
        QVERIFY(AwaitLog(device, log, "erase the memory"));
        QProcess send;
        send.setProcessEnvironment(EnvironmentWith(kScaled));
        send.start(CliPath(), QStringList{"send", "--port", "1", "--device", pty, "HELLO"} +
                                  (wait ? QStringList{"--wait-line"} : QStringList{}));
        QVERIFY(send.waitForFinished(20000));
        const bool loadRunning = load.state() != QProcess::NotRunning;
        QVERIFY(load.waitForFinished(20000));
        QCOMPARE(load.exitCode(), 0);
        QCOMPARE(WithoutScaleLine(load.readAllStandardError()), QByteArray());
        const QByteArray err = WithoutScaleLine(send.readAllStandardError());
        log += StopDevice(device);
        const auto at = [&log](const QString &pattern) { return log.indexOf(QRegularExpression(pattern)); };
        if (wait) {
            QCOMPARE(send.exitCode(), 0);
            QVERIFY2(at(".*store message 002.*") < at(".*received HELLO"), qPrintable(log.join('\n')));
        } else {
            QCOMPARE(send.exitCode(), 1);
            QVERIFY(loadRunning);
            QVERIFY2(err.endsWith(LineBusyText(pty, loader).toUtf8()), err);
            QCOMPARE(at(".*received HELLO"), -1);
        }
    }

    // A device held by another process, whichever way it holds it: the
    // command says so, and names the holder where the system tells it.
    void heldByAnotherProgram_data()
    {
        QTest::addColumn<bool>("telvaroLock");
        QTest::newRow("line lock of a Telvaro process") << true;
        QTest::newRow("serial port opened by another program") << false;
    }
    void heldByAnotherProgram()
    {
        QFETCH(bool, telvaroLock);
        PtyPeer peer;
        LineLock line;
        QSerialPort other;
        if (telvaroLock) {
            QCOMPARE(line.tryTake(peer.devicePath()), LineLock::Take::Taken);
        } else {
            other.setPortName(peer.devicePath());
            QVERIFY(other.open(QIODevice::ReadWrite));
        }
        const ProgramResult r = RunCli({"send", "--port", "1", "--device", peer.devicePath(), "HELLO"});
        QCOMPARE(r.status, 1);
        const QString busy = LineBusyText(peer.devicePath(), OwnProcessText());
        QVERIFY2(r.err.contains(busy.toUtf8()), r.err);
    }

    // Waiting for a held line ends at once on the operator's stop.
    void waitEndsOnStop()
    {
        PtyPeer peer;
        LineLock line;
        QCOMPARE(line.tryTake(peer.devicePath()), LineLock::Take::Taken);
        QProcess send;
        send.start(CliPath(), {"send", "--wait-line", "--port", "1", "--device", peer.devicePath(), "X"});
        QVERIFY(send.waitForStarted());
        // It waits once it has the line's lock file open.
        const QString lockFile = LineLockPath(peer.devicePath());
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(send.processId()));
        const auto opened = [&] {
            const QStringList links = fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
            return std::any_of(links.begin(), links.end(),
                               [&](const QString &fd) { return QFile::symLinkTarget(fds.filePath(fd)) == lockFile; });
        };
        QTRY_VERIFY_WITH_TIMEOUT(opened(), 5000);
        QCOMPARE(send.state(), QProcess::Running);
        send.terminate();
        QVERIFY(send.waitForFinished(5000));
        QCOMPARE(send.exitCode(), 128 + SIGTERM);
        const QByteArray err = send.readAllStandardError();
        QVERIFY2(err.endsWith("Stopped by SIGTERM. Nothing was sent.\n"), err);
    }

    // The window tells a held line as the reason line of the operation's own
    // failure message.
    void windowTellsHeldLine()
    {
        PtyPeer peer;
        LineLock line;
        QCOMPARE(line.tryTake(peer.devicePath()), LineLock::Take::Taken);
        LinkedWorkspace f;
        f.linkTo(1, 0, peer.devicePath());
        f.ws.setBox(Workspace::Box::Entry, QStringLiteral("HELLO"));
        const OperationOutcome outcome = f.ws.CmdQuickSend_Click();
        QCOMPARE(outcome.ending, OperationOutcome::Ending::Refused);
        QCOMPARE(f.prompter.shown.size(), 1);
        QVERIFY2(f.prompter.shown.front().text.endsWith(
                     QStringLiteral("\r\n") + LineBusyText(peer.devicePath(), OwnProcessText())),
                 qPrintable(f.prompter.shown.front().text));
        QVERIFY(f.settled());
        line.release();
        QCOMPARE(f.ws.CmdQuickSend_Click().ending, OperationOutcome::Ending::Done);
    }
};

QTEST_GUILESS_MAIN(TestLines)
#include "tst_lines.moc"
