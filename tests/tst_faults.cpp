// Devices that fail in the middle of a run, a load or an upload, flood the
// link or send garbage: each operation ends in data entry with the link closed,
// within its time limits and bounded memory, and its outcome says whether
// it went through.
#include "base/operatortexts.h"
#include "base/transfer.h"
#include "base/wait.h"
#include "codec/escapes.h"
#include "controller/controllerprotocol.h"
#include "datatable.h"
#include "devsim/controllerdevice.h"
#include "link/linkrules.h"
#include "linkedworkspace.h"
#include "peers.h"
#include "resident.h"

#include <QElapsedTimer>
#include <QtTest>
#include <fcntl.h>
#include <unistd.h>

using namespace telvaro;
using namespace telvaro::test;

namespace {

enum class Operation { Run, SignLoad, ControllerLoad, Upload };
enum class Fault { TerminalClosed, TcpReset, NeverReads, NeverReplies, TerminalGoneAtFirst, RefusesReopen };

OperationOutcome Start(Workspace &ws, Operation operation)
{
    switch (operation) {
    case Operation::Run: return ws.MnuModeRun_Click();
    case Operation::SignLoad: return ws.MnuLoadSign_Click(SignChoice{});
    case Operation::ControllerLoad: return ws.LoadController(true);
    case Operation::Upload: break;
    }
    return ws.MnuUploadController_Click();
}

struct Fixture : LinkedWorkspace {
    TcpPeer tcp;
    PtyPeer pty;
    devsim::ControllerDevice controller{[this](const QByteArray &b) { pty.reply(b); }};

    Fixture(Operation operation, Fault fault)
    {
        const bool serial =
            fault == Fault::TerminalClosed || fault == Fault::NeverReplies || fault == Fault::TerminalGoneAtFirst;
        linkTo(serial ? 1 : 0, tcp.port(), pty.devicePath());
        // A large first message keeps a device that never reads busy; the
        // device goes while later messages are still due.
        const QByteArray first = fault == Fault::NeverReads ? QByteArray(16 << 20, 'x') : QByteArray("A<0x04>");
        // A run's device goes early in a long interval (5 minutes, 3 s here).
        fill({first, "B<0x04>", "C<0x04>"}, operation == Operation::Run ? 300000 : 2000);
        if (fault == Fault::NeverReads)
            tcp.stallReading();
        // The controller answers the handshake; every device goes once the
        // first message (or, for an upload, the wake-up) has come.
        const bool talks = operation == Operation::ControllerLoad || operation == Operation::Upload;
        const QByteArray last = operation == Operation::Upload ? QByteArray("\x01\x04") : QByteArray("A");
        if (fault == Fault::NeverReplies)
            return;
        // The sign restarts after its erase frame and does not come back.
        // The terminal goes as the load closes the link after that frame,
        // not when this peer gets round to reading it: a late read would let
        // the reopen find the terminal still there.
        if (fault == Fault::TerminalGoneAtFirst || fault == Fault::RefusesReopen) {
            // A terminal of the test's own keeps the number of the one that
            // went from being given to another program's terminal, which the
            // reopen would find in its place.
            if (fault == Fault::TerminalGoneAtFirst)
                held = ::open(qPrintable(pty.devicePath()), O_RDWR | O_NOCTTY);
            QObject::connect(&ws.link(), &Link::linkEvent, &pty, [this, fault](LinkEvent event) {
                if (event == LinkEvent::ClosedByUs && fault == Fault::TerminalGoneAtFirst)
                    pty.vanish();
            });
            tcp.onReceive = [](TcpPeer &p, const QByteArray &chunk) {
                if (!chunk.isEmpty())
                    p.stopListening();
            };
            return;
        }
        pty.onReceive = [this, talks, last](PtyPeer &p, const QByteArray &chunk) {
            if (talks)
                controller.receive(chunk);
            if (chunk.contains(last))
                QTimer::singleShot(10, &p, [&p] { p.vanish(); });
        };
        tcp.onReceive = [](TcpPeer &p, const QByteArray &chunk) {
            if (chunk.contains('A'))
                p.dropConnection(true);
        };
    }

    ~Fixture()
    {
        if (held >= 0)
            ::close(held);
    }
    int held = -1;
};

} // namespace

class FaultsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { SetPauseTimeScale(100); }
    void cleanupTestCase() { SetPauseTimeScale(1); }

    // Each ending is told in the window with the operation's own message
    // and why, at once: the wait under way ends when the device goes. After
    // a sign's erase the message says what the sign is left with.
    void deviceFailsMidOperation_data()
    {
        // message: its start, or its start and end around a "*"
        columns<Operation, Fault, QString>({"operation", "fault", "message"});
        const QString run = "Error Going into Run\r\n", sign = "Error Loading Sign\r\n",
                      controller = "Error Loading Controller\r\n", gone = "The device /dev/pts/",
                      reset = "The device reset the connection.",
                      noData = "The device took no data for 30 s; the connection was ended.",
                      erased = "The sign's memory was erased; 0 of 3 messages are stored.";
        const auto R = Operation::Run, SL = Operation::SignLoad, CL = Operation::ControllerLoad, U = Operation::Upload;
        const auto TC = Fault::TerminalClosed, TR = Fault::TcpReset, NR = Fault::NeverReads, NRp = Fault::NeverReplies;
        row("run, terminal closed", R, TC, run + gone);
        // The frames never tried count as not sent.
        row("run, tcp peer never reads", R, NR, run + noData + "\r\n3 of 3 frames were not sent.");
        row("sign load, terminal closed", SL, TC, sign + gone);
        row("sign load, tcp reset", SL, TR, sign + reset);
        row("sign load, tcp peer never reads", SL, NR, sign + noData + "\r\n3 of 6 frames were not sent.\r\n" + erased);
        row("sign load, terminal gone at the reopen", SL, Fault::TerminalGoneAtFirst,
            sign + "The serial device /dev/pts/*\r\n" + erased);
        row("sign load, reopen refused", SL, Fault::RefusesReopen,
            sign + "The device at 127.0.0.1:* refused the connection.\r\n5 of 6 frames were not sent.\r\n" + erased);
        row("controller load, terminal closed", CL, TC, controller + gone);
        row("controller load, tcp reset", CL, TR, controller + reset);
        row("controller load, tcp peer never reads", CL, NR, controller + noData + "\r\n4 of 7 frames were not sent.");
        row("controller load, controller never replies", CL, NRp, QStringLiteral("Serial Connection Failed."));
        row("upload, terminal closed", U, TC, controller + gone);
        row("upload, controller never replies", U, NRp, QStringLiteral("Failed to connect to controller."));
    }
    void deviceFailsMidOperation()
    {
        const auto [operation, fault, message] = fetch<Operation, Fault, QString>({"operation", "fault", "message"});
        // A terminal that went is seen at once, not at the end of a reply wait
        // (a minute, 6 s here).
        const bool atOnce = fault == Fault::TerminalClosed &&
                            (operation == Operation::ControllerLoad || operation == Operation::Upload);
        // The refusal comes early in the 10 s wait after the erase (2 s here).
        if (atOnce || fault == Fault::RefusesReopen)
            SetPauseTimeScale(atOnce ? 10 : 5);
        Fixture f(operation, fault);
        const auto before = f.ws.table().entries();
        const IdleClock idle(f.ws);
        const OperationOutcome outcome = Start(f.ws, operation);
        QCOMPARE(outcome.complete(), message.isEmpty());
        const QString shown = f.prompter.messageTexts().join(u'|');
        const QStringList ends = message.split(u'*');
        QVERIFY2(message.isEmpty()
                     ? shown.isEmpty()
                     : shown.startsWith(ends.front()) && (ends.size() == 1 || shown.endsWith(ends.back())),
                 qPrintable(shown));
        QVERIFY2(idle.clock.elapsed() < (atOnce ? 1500 : 15000), qPrintable(QString::number(idle.clock.elapsed())));
        // Told, and the menus the operator's again, as soon as the link went.
        QVERIFY2(idle.sinceIdle() < 1000, qPrintable(QString::number(idle.sinceIdle())));
        QVERIFY(f.settled());
        QVERIFY(operation != Operation::Upload || f.ws.table().entries() == before);
        // A frame given up on is not completed later: the device's connection
        // is reset, and it keeps only what had reached it before.
        if (fault == Fault::NeverReads) {
            f.tcp.resumeReading();
            QTest::qWait(100);
            QVERIFY(f.tcp.disconnections >= 1 && f.tcp.received.size() < (16 << 20));
        }
    }
    // A device that floods the link while the program sends: a run and a
    // sign load still deliver everything, a controller load and an upload
    // fail; the received box and memory stay bounded.
    void floodingDevice_data()
    {
        columns<Operation, QString, qint64>({"operation", "message", "boundKiB"}); // no message: all delivered
        row("run", Operation::Run, QString(), qint64(32 << 10));
        row("sign load", Operation::SignLoad, QString(), qint64(32 << 10));
        row("controller load", Operation::ControllerLoad, "Serial Connection Failed.", qint64(32 << 10));
        // The upload holds at most its limit of text, which may double as it grows.
        row("upload", Operation::Upload, "Error Loading Controller", qint64(UploadLimit / 1024 * 3));
    }
    void floodingDevice()
    {
        const auto [operation, message, boundKiB] =
            fetch<Operation, QString, qint64>({"operation", "message", "boundKiB"});
        LinkedWorkspace f;
        TcpPeer tcp;
        PtyPeer pty;
        const bool serial = operation == Operation::ControllerLoad || operation == Operation::Upload;
        f.linkTo(serial ? 1 : 0, tcp.port(), pty.devicePath());
        QList<QByteArray> texts;
        for (int i = 0; i < 30; ++i)
            texts << "M" + QByteArray::number(i) + "<0x04>";
        f.fill(texts, 2000);
        // A steady stream of every byte, whatever the device is told; control
        // bytes widen the most as text: the upload reaches its limit soonest.
        QByteArray stream(operation == Operation::Upload ? 64 << 10 : 16 << 10, '\x01');
        for (qsizetype i = 0; operation != Operation::Upload && i < stream.size(); ++i)
            stream[i] = char(i);
        devsim::Transport &device = serial ? static_cast<devsim::Transport &>(pty) : tcp;
        QTimer flood;
        qint64 peakKiB = 0;
        // As fast as the link takes it, not faster.
        QObject::connect(&flood, &QTimer::timeout, [&] {
            if (device.queued() < stream.size())
                device.reply(stream);
            peakKiB = qMax(peakKiB, ResidentKiB());
        });
        tcp.onReceive = [&flood](TcpPeer &, const QByteArray &) { flood.start(0); };
        pty.onReceive = [&flood](PtyPeer &p, const QByteArray &chunk) {
            if (chunk == WakeUpFrame())
                p.reply(WakeUpReply());
            else
                flood.start(0);
        };
        // The upload's polls last long enough for a slow machine to reach the limit.
        if (operation == Operation::Upload)
            SetPauseTimeScale(10);
        const qint64 before = ResidentKiB();
        const OperationOutcome outcome = Start(f.ws, operation);
        flood.stop();
        QCOMPARE(outcome.complete(), message.isEmpty());
        QCOMPARE(f.prompter.messageTexts().value(0).section(u'\r', 0, 0), message);
        if (message.isEmpty())
            for (int i = 0; i < 30; ++i)
                QVERIFY(tcp.received.contains("M" + QByteArray::number(i) + "\x04"));
        QVERIFY(f.ws.box(Workspace::Box::RecData).size() <= RecDataLimit);
        QVERIFY(f.settled());

        if (MemoryIsMeasurable)
            QVERIFY2(peakKiB - before < boundKiB,
                     qPrintable(QStringLiteral("%1 KiB -> %2 KiB").arg(before).arg(peakKiB)));
    }

    // Uploads of garbage: a wrong wake-up reply or register number fails
    // the upload, a message without its end byte is reported, and
    // any byte a message holds comes back as the same byte to send. An
    // upload the table cannot take (too many messages, or one that reads as
    // an escape above a byte), or one Add would refuse for the interval box,
    // says so once and keeps the table and the registers; the latter before
    // the first frame. Edits made during the upload's waits are replaced
    // only when the operator answers Yes.
    void garbageUpload_data()
    {
        // edits: the answer to the question about edits made meanwhile (Ok: none made)
        columns<QByteArray, QString, Prompter::Answer, QString, QList<QByteArray>>(
            {"upload", "interval", "edits", "message", "bytes"});
        const auto row = [](const QString &name, const QByteArray &upload, const QString &message,
                            const QList<QByteArray> &bytes, const char *interval = "200",
                            Prompter::Answer edits = Prompter::Answer::Ok) {
            QTest::newRow(qPrintable(name)) << upload << QString(interval) << edits << message << bytes;
        };
        const QByteArray registers = RegisterFrame(RegisterTable{}), end = ConfigurationFrame(true);
        const QString serialInput = "Controller Upload: Controller configured for Serial Input";
        const QByteArray high = "\x80\xC4\xFF\x04", nul("\0A\0\x04", 4);
        const QList<QByteArray> kept{"KEEP"};
        row("end byte missing before the configuration", registers + "AB" + end,
            "Configuration Upload: Incomplete load from Controller", {"AB" + end});
        row("end byte missing at the end", registers + "AB",
            "Telvaro: Upload Interrupted.\r\nPower-Cycle Controller and Try again", kept);
        // A register the register dialog could not set refuses the whole upload.
        const QString broken = "Telvaro: Error Loading Controller\r\nThe upload's register 02: the ";
        row("register width 7", "\0010270\004A\004" + end, broken + "width 7", kept);
        row("register filled with a control byte", "\001023\001\004A\004" + end, broken + "fill \"<0x01>\"", kept);
        row("register width not a digit", "\00102\00130\004A\004" + end, broken + "width \"<0x01>\"", kept);
        // One that starts with "?" answers the wake-up instead.
        row("wrong wake-up reply", QByteArray("?\x01Ready\x04!"), "Telvaro: Failed to connect to controller.", kept);
        row("bytes above 127", registers + high + end, serialInput, {high});
        row("NUL bytes", registers + nul + end, serialInput, {nul});
        // Text the controller keeps that reads as an escape above a byte.
        row("escape above a byte", registers + "<0300>\x04" + end, "Telvaro: " + texts::EscapeOutOfRange(), kept);
        row("one message more than the table holds", registers + QByteArray(MessageTable::MaxEntries + 1, '\x04') + end,
            "Telvaro: " + texts::TableFull(), kept);
        for (const char *interval : {"abc", "", "700000"})
            row(QStringLiteral("interval box ") + interval, registers + "A\x04" + end,
                "Telvaro: " + texts::IntervalOutOfRange(), kept, interval);
        const QString edited = "Controller Upload: " + Workspace::ChangedDuringUploadText();
        row("edited meanwhile, replaced", registers + "A\x04" + end, edited + "|" + serialInput, {"A\x04"}, "200",
            Prompter::Answer::Yes);
        row("edited meanwhile, kept", registers + "A\x04" + end, edited, {"EDITED"}, "200", Prompter::Answer::No);
    }
    void garbageUpload()
    {
        const auto [upload, interval, edits, message, bytes] =
            fetch<QByteArray, QString, Prompter::Answer, QString, QList<QByteArray>>(
                {"upload", "interval", "edits", "message", "bytes"});
        LinkedWorkspace f;
        PtyPeer pty;
        f.linkTo(1, 0, pty.devicePath());
        f.fill({"KEEP"});
        f.ws.registers().setEntry(1, {3, "0"});
        f.ws.setBox(Workspace::Box::Interval, interval);
        f.prompter.answer(edits);
        // The upload goes in slices a terminal's buffer can take.
        QByteArray received, pending;
        QTimer slices;
        slices.setInterval(1);
        QObject::connect(&slices, &QTimer::timeout, [&pending, &pty] {
            pty.reply(pending.first(qMin<qsizetype>(pending.size(), 1024)));
            pending.remove(0, 1024);
        });
        pty.onReceive = [&, upload = upload, edits = edits](PtyPeer &p, const QByteArray &chunk) {
            received += chunk;
            if (chunk == WakeUpFrame())
                return p.reply(upload.startsWith('?') ? upload.mid(1) : WakeUpReply());
            if (edits != Prompter::Answer::Ok) {
                f.ws.setBox(Workspace::Box::MessageNumber, "000");
                f.ws.setBox(Workspace::Box::Entry, "EDITED");
                f.ws.CmdReplaceMessage_Click();
            }
            pending = upload;
            slices.start();
        };
        const OperationOutcome outcome = f.ws.MnuUploadController_Click();
        QCOMPARE(outcome.complete(), message.endsWith(QLatin1String("Serial Input")));
        QStringList shown;
        for (const auto &s : std::as_const(f.prompter.shown))
            shown << s.title + ": " + s.text;
        QVERIFY2(shown.join(u'|').startsWith(message) && shown.size() == message.count(u'|') + 1,
                 qPrintable(shown.join(u'|')));
        QList<QByteArray> sent;
        for (int i = 0; i < f.ws.table().count(); ++i)
            sent << ParseEscapes(f.ws.table().entry(i).Text).value_or("unreadable");
        QCOMPARE(sent, bytes);
        // The registers go with the table, unless the operator's own stays.
        const bool ownTable = bytes == QList<QByteArray>{"KEEP"} || bytes == QList<QByteArray>{"EDITED"};
        QCOMPARE(f.ws.registers().entry(1).Width, ownTable ? 3 : 0);
        QCOMPARE(received.isEmpty(), interval != QLatin1String("200"));
        QVERIFY(f.settled());
    }
};

QTEST_GUILESS_MAIN(FaultsTest)
#include "tst_faults.moc"
