// One operation per serial line across processes, and the small hazards of
// the command line: completion of file names with blanks, characters
// without a byte in windows-1252.
// Two telvaro-cli processes meet on one real pseudo-terminal served by
// telvaro-devsim; protocol waits run 3 times faster (TELVARO_TIME_SCALE).
#include "codec/codepage.h"
#include "datatable.h"
#include "link/linelock.h"
#include "linkedworkspace.h"
#include "peers.h"
#include "programs.h"

#include <QSerialPort>
#include <QtTest>

#include <unistd.h>

using namespace telvaro;
using namespace telvaro::test;

// The programs' protocol waits, 3 times faster.
const QStringList kScaled = {"TELVARO_TIME_SCALE=3"};

class TestLines : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

private Q_SLOTS:
    // The window's waits on the test clock; the programs say theirs.
    void init() { SetPauseTimeScale(100); }
    void cleanupTestCase() { SetPauseTimeScale(1); }
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QFile table(dir.filePath("three.TVD"));
        QVERIFY(table.open(QIODevice::WriteOnly));
        table.write("9000,0,\"A\",\"\"\r\n9000,1,\"B\",\"\"\r\n9000,2,\"C\",\"\"\r\n");
    }

    // A send started in a sign load's close-and-reopen gap: refused at once
    // (naming the load's process), or with --wait-line sent after the load.
    void sendInLoadGap_data() { rows<bool>("wait", {{"refused at once", false}, {"waits its turn", true}}); }
    void sendInLoadGap()
    {
        const auto [wait] = fetch<bool>({"wait"});
        const QString pty = dir.filePath("line");
        QProcess device;
        QVERIFY(StartDevice(device, {"--role", "sign", "--pty", "--link", pty}).startsWith("device "));
        QProcess load;
        load.setProcessEnvironment(EnvironmentWith(kScaled));
        load.start(CliPath(), {"load-sign", "--port", "1", "--device", pty, dir.filePath("three.TVD")});
        QVERIFY(load.waitForStarted());
        const QString loader = QStringLiteral("(PID %1, telvaro-cli)").arg(load.processId());
        // The load closes the line after its erase and opens it again later.
        QString early;
        QTRY_VERIFY_WITH_TIMEOUT((early += device.readAllStandardOutput()).contains(QLatin1String("erase the memory")),
                                 10000);
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
        const QStringList log = StopDevice(device);
        const auto at = [&log](const QString &pattern) { return log.indexOf(QRegularExpression(pattern)); };
        if (wait) {
            QCOMPARE(send.exitCode(), 0);
            QVERIFY2(at(".*store message 002.*") < at(".*received HELLO"), qPrintable(log.join('\n')));
        } else {
            QCOMPARE(send.exitCode(), 1);
            QVERIFY(loadRunning);
            // Refused as the quick send's own failure, the holder on its reason line.
            QCOMPARE(err, "Error Going into Run\nCommunications not available\n" + LineBusyText(pty, loader).toUtf8() +
                              '\n');
            QCOMPARE(at(".*received HELLO"), -1);
        }
    }

    // A device held by another program says so, and names the holder where
    // the system tells it (a Telvaro process holding its line is refused in
    // the load's gap above); a send that waits for a held line says so once
    // and ends at once on a stop.
    void heldByAnotherProgram_data()
    {
        rows<bool>("wait", {{"serial port opened by another program", false},
                            {"waiting for a Telvaro process's line, stopped", true}});
    }
    void heldByAnotherProgram()
    {
        const auto [wait] = fetch<bool>({"wait"});
        PtyPeer peer;
        LineLock line;
        QSerialPort other;
        if (wait) {
            QCOMPARE(line.tryTake(peer.devicePath()), LineLock::Take::Taken);
        } else {
            other.setPortName(peer.devicePath());
            QVERIFY(other.open(QIODevice::ReadWrite));
        }
        QProcess send;
        send.setReadChannel(QProcess::StandardError);
        send.start(CliPath(), QStringList{"send", "--port", "1", "--device", peer.devicePath(), "HELLO"} +
                                  (wait ? QStringList{"--wait-line"} : QStringList{}));
        const QByteArray busy = LineBusyText(peer.devicePath(), ProcessText(::getpid())).toUtf8();
        QByteArray err;
        while (wait && !err.contains(busy) && send.waitForReadyRead(5000))
            err += send.readAllStandardError();
        if (wait)
            send.terminate();
        QVERIFY(send.waitForFinished(5000));
        const QByteArray told =
            wait ? "143 " + busy + " Waiting until it is free.\nStopped by SIGTERM. Nothing was sent.\n"
                 : "1 Error Going into Run\nCommunications not available\n" + busy + "\n";
        QCOMPARE(QByteArray::number(send.exitCode()) + ' ' + WithoutScaleLine(err + send.readAllStandardError()), told);
    }

    // A terminal that went away while an operation held its line (its port
    // closed between two steps) leaves that number's line held: the
    // simulator's next terminal is another number, or a program given it
    // would be told the line is in use.
    void newTerminalNotOnAHeldLine()
    {
        LineLock stale;
        QString gone;
        {
            PtyPeer peer;
            gone = peer.devicePath();
            QCOMPARE(stale.tryTake(gone), LineLock::Take::Taken);
        }
        PtyPeer next;
        QVERIFY(!next.devicePath().isEmpty());
        QVERIFY2(next.devicePath() != gone, qPrintable(gone));
    }

    // The window tells a held line as the reason line of the operation's own
    // failure message, and lets the line go at each operation's end.
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
        QVERIFY2(f.prompter.shown.front().text.endsWith(QStringLiteral("\r\n") +
                                                        LineBusyText(peer.devicePath(), ProcessText(::getpid()))),
                 qPrintable(f.prompter.shown.front().text));
        QVERIFY(f.settled());
        line.release();
        QCOMPARE(f.ws.CmdQuickSend_Click().ending, OperationOutcome::Ending::Done);
        // The window lets the line go after each operation; a command keeps
        // it to its end, across a load and its read-back.
        QCOMPARE(line.tryTake(peer.devicePath()), LineLock::Take::Taken);
        line.release();
        f.ws.operations().keepLineToEnd();
        QCOMPARE(f.ws.CmdQuickSend_Click().ending, OperationOutcome::Ending::Done);
        QCOMPARE(line.tryTake(peer.devicePath()), LineLock::Take::Busy);
    }
    // Completion as bash runs it: one reply a line, a name with blanks one
    // reply, however the typed part is quoted.
    void completion_data()
    {
        columns<QStringList, QStringList>({"words", "replies"});
        row("start of names with blanks", QStringList{"list", "my"}, QStringList{"my file.TVD", "my other.TVD"});
        row("blank escaped", QStringList{"list", "my\\ f"}, QStringList{"my file.TVD"});
        row("in double quotes", QStringList{"list", "\"my f"}, QStringList{"my file.TVD"});
        row("in single quotes", QStringList{"list", "'my o"}, QStringList{"my other.TVD"});
        row("after --transcript", QStringList{"send", "--transcript", "my"},
            QStringList{"my file.TVD", "my other.TVD"});
        row("an option", QStringList{"send", "--wait-l"}, QStringList{"--wait-line"});
        row("a command", QStringList{"load-s"}, QStringList{"load-sign"});
    }
    void completion()
    {
        const auto [words, replies] = fetch<QStringList, QStringList>({"words", "replies"});
        QTemporaryDir folder;
        for (const char *name : {"my file.TVD", "my other.TVD", "plain.TVD"})
            QVERIFY(QFile(folder.filePath(name)).open(QIODevice::WriteOnly));
        QProcess bash;
        bash.setWorkingDirectory(folder.path());
        const QString script =
            QStringLiteral("source \"$0\"; COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); _telvaro_cli; "
                           "printf '%s\\n' \"${COMPREPLY[@]}\" | sort");
        bash.start("bash", QStringList{"-c", script, TELVARO_COMPLETION, CliPath()} + words);
        QVERIFY(bash.waitForFinished(10000));
        QCOMPARE(QString::fromUtf8(bash.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts), replies);
    }

    // Characters without a byte in windows-1252 are named on stderr.
    void codePageWarningOnCommandLine_data()
    {
        columns<QString, QByteArray, QByteArray>({"text", "bytes", "warning"});
        row("none", "Caf\u00e9 \u20ac", QByteArray("43 61 66 E9 20 80"), QByteArray());
        row("one, twice", "a\u2192b\u2192", QByteArray("61 3F 62 3F"),
            QByteArray("The character \"\u2192\" has no byte in windows-1252; it becomes \"?\".\n"));
        row("several, one outside the basic plane", "\u2192\u0142\U0001F600", QByteArray("3F 3F 3F"),
            QByteArray("The characters \"\u2192\u0142\U0001F600\" have no byte in windows-1252; each becomes "
                       "\"?\".\n"));
    }
    void codePageWarningOnCommandLine()
    {
        const auto [text, bytes, warning] = fetch<QString, QByteArray, QByteArray>({"text", "bytes", "warning"});
        const ProgramResult encoded = RunCli({"encode", "--hex", text});
        QCOMPARE(Outcome(encoded), "0 [" + warning + "] " + bytes + "\n");
        UdpPeer peer;
        const ProgramResult sent = RunProgram(
            CliPath(), {"send", "--port", "-1", "--ip", "127.0.0.1", "--ip-port", QString::number(peer.port()), text},
            {"TELVARO_TIME_SCALE=100"});
        QCOMPARE(Outcome(sent), "0 [" + warning + "] ");
        QTRY_COMPARE(peer.datagrams.value(0).toHex(' ').toUpper(), bytes);
    }

    // The window tells it once per text, not once per send.
    void codePageWarningInWindow()
    {
        UdpPeer peer;
        LinkedWorkspace f;
        f.linkTo(-1, peer.port());
        const auto send = [&f](const QString &text) {
            f.ws.setBox(Workspace::Box::Entry, text);
            return f.ws.CmdQuickSend_Click().ending;
        };
        for (const char *text : {"a\u2192", "a\u2192", "plain", "b\u0142", "a\u2192"})
            QCOMPARE(send(QString::fromUtf8(text)), OperationOutcome::Ending::Done);
        QCOMPARE(f.prompter.messageTexts(), QStringList({CodePageWarning(u"\u2192"), CodePageWarning(u"\u0142")}));
    }
};

QTEST_GUILESS_MAIN(TestLines)
#include "tst_lines.moc"
