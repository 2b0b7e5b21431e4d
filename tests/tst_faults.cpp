// Devices that fail in the middle of every operation on the link: each
// operation ends in data entry with the link closed, within its time
// limits, and its outcome says it did not go through.
#include "base/wait.h"
#include "devsim/controllerdevice.h"
#include "linkedworkspace.h"
#include "peers.h"

#include <QElapsedTimer>
#include <QtTest>

using namespace telvaro;
using test::PtyPeer;
using test::TcpPeer;

namespace {

enum class Operation { QuickSend, Run, SignLoad, ControllerLoad, Upload };
enum class Fault { TerminalClosed, TcpReset, NeverReads };

struct Fixture : test::LinkedWorkspace {
    TcpPeer tcp;
    PtyPeer pty;
    devsim::ControllerDevice controller{[this](const QByteArray &b) { pty.reply(b); }};

    Fixture(Operation operation, Fault fault)
    {
        linkTo(fault == Fault::TerminalClosed ? 1 : 0, tcp.port(), pty.devicePath());
        // A large first message keeps a device that never reads busy.
        const QByteArray first = fault == Fault::NeverReads ? QByteArray(16 << 20, 'x') : QByteArray("A<0x04>");
        fill({first, "B<0x04>", "C<0x04>"});
        ws.setBox(Workspace::Box::Entry, QString::fromLatin1(first));
        if (fault == Fault::NeverReads)
            tcp.stallReading();
        // The controller answers the handshake; every device goes once the
        // first message (or, for an upload, the wake-up) has come.
        const bool talks = operation == Operation::ControllerLoad || operation == Operation::Upload;
        const QByteArray last = operation == Operation::Upload ? QByteArray("\x01\x04") : QByteArray("A");
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

    OperationOutcome run(Operation operation)
    {
        switch (operation) {
        case Operation::QuickSend: return ws.CmdQuickSend_Click();
        case Operation::Run: return ws.MnuModeRun_Click();
        case Operation::SignLoad: return ws.MnuLoadSign_Click(SignChoice{});
        case Operation::ControllerLoad: return ws.LoadController(true);
        case Operation::Upload: break;
        }
        return ws.MnuUploadController_Click();
    }
};

} // namespace

Q_DECLARE_METATYPE(Operation)
Q_DECLARE_METATYPE(Fault)

class FaultsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { SetPauseTimeScale(100); }
    void cleanupTestCase() { SetPauseTimeScale(1); }

    void deviceFailsMidOperation_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<Fault>("fault");
        const struct {
            const char *name;
            Operation operation;
        } operations[] = {{"quick send", Operation::QuickSend},
                          {"run", Operation::Run},
                          {"sign load", Operation::SignLoad},
                          {"controller load", Operation::ControllerLoad},
                          {"upload", Operation::Upload}};
        const struct {
            const char *name;
            Fault fault;
        } faults[] = {{"terminal closed", Fault::TerminalClosed},
                      {"tcp reset", Fault::TcpReset},
                      {"tcp peer never reads", Fault::NeverReads}};
        for (const auto &o : operations)
            for (const auto &f : faults)
                // The upload talks to a serial port only.
                if (o.operation != Operation::Upload || f.fault == Fault::TerminalClosed)
                    QTest::addRow("%s, %s", o.name, f.name) << o.operation << f.fault;
    }
    void deviceFailsMidOperation()
    {
        QFETCH(Operation, operation);
        QFETCH(Fault, fault);
        Fixture f(operation, fault);
        const QList<QByteArray> before = {f.ws.table().entry(0).Text, f.ws.table().entry(2).Text};
        QElapsedTimer clock;
        clock.start();
        const OperationOutcome outcome = f.run(operation);
        // A quick send's one message went out before the device went; a
        // device that closes after each message is no failure.
        if (operation != Operation::QuickSend || fault != Fault::TcpReset)
            QVERIFY2(!outcome.complete(), qPrintable(outcome.reason));
        QVERIFY2(clock.elapsed() < 15000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!f.ws.operations().holdsLink());
        QVERIFY(!f.ws.link().serial().isOpen());
        QCOMPARE(f.ws.link().socket().state(), 0);
        QVERIFY(f.ws.menus().item(Item::CmdQuickSend).enabled && f.ws.menus().item(Item::MnuCommunication).enabled);
        if (operation == Operation::Upload)
            QCOMPARE((QList<QByteArray>{f.ws.table().entry(0).Text, f.ws.table().entry(2).Text}), before);
    }
};

QTEST_GUILESS_MAIN(FaultsTest)
#include "tst_faults.moc"
