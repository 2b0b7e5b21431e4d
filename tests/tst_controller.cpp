// Controller load and upload over a real pseudo-terminal against the
// simulated controller, and over loopback TCP and UDP: every frame, the
// exact replies, the failure endings and the round trip.
#include "base/wait.h"
#include "controller/controllerprotocol.h"
#include "devsim/controllerdevice.h"
#include "linkedworkspace.h"
#include "peers.h"

#include <QtTest>

using namespace telvaro;
using Fault = devsim::ControllerDevice::Fault;
using Ending = OperationOutcome::Ending;
using test::PtyPeer;

namespace {

const QByteArray registerFrame("\0010230;125 \004");

struct Fixture : test::LinkedWorkspace {
    test::TcpPeer tcp;
    test::UdpPeer udp;
    PtyPeer pty;
    QList<QByteArray> received; // by the device, one entry per arrival
    devsim::ControllerDevice device{[this](const QByteArray &b) { pty.reply(b); }};

    // Port 1 the terminal, 0 TCP, -1 UDP.
    explicit Fixture(Fault fault = Fault::None, qint16 port = 1)
    {
        linkTo(port, port == 0 ? tcp.port() : udp.port(), pty.devicePath());
        device.setFault(fault);
        device.setPaceMs(fault == Fault::SlowUpload ? 700 : 20);
        pty.onReceive = [this](PtyPeer &, const QByteArray &chunk) {
            received << chunk;
            device.receive(chunk);
        };
        RegisterTable registers{};
        registers[2] = {3, "0"};
        registers[12] = {5, " "};
        ws.registers().setTable(registers);
    }
    QList<QByteArray> texts() const
    {
        QList<QByteArray> all;
        for (const MessageEntry &e : ws.table().entries())
            all << e.Text;
        return all;
    }
};

// One load: the link and controller, the operator's answers, what follows.
struct Load {
    qint16 port;
    Fault fault;
    Prompter::Answer serial; // to "Is this a serial interface controller?"
    QList<QByteArray> texts;
    int dataEntryAtMs;        // 0: none
    QList<QByteArray> frames; // as received: one per reply over the terminal, all at once over sockets
    QString messages;         // joined by "|"
    Ending ending;
    QString recData;
    int minMs = 0;
    int maxMs = 5000;
};

} // namespace

Q_DECLARE_METATYPE(Load)

class ControllerTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { SetPauseTimeScale(100); }
    void cleanupTestCase() { SetPauseTimeScale(1); }

    void registerFrameAndUploadParse()
    {
        RegisterTable registers{};
        QCOMPARE(RegisterFrame(registers), QByteArray("\x01\x04"));
        registers[2] = {3, "0"};
        registers[12] = {5, " "};
        QCOMPARE(RegisterFrame(registers), registerFrame);

        const UploadContents c =
            ParseUpload("<0x01>0230;125 <0x04>A<0x04><0x02>B<0x04><0x01><0x02>1<0x03><0x04>trailing");
        QCOMPARE(c.registers.size(), 2);
        QCOMPARE(c.registers[1].first, 12);
        QCOMPARE(c.registers[1].second, (RegisterEntry{5, " "}));
        QCOMPARE(c.pieces.size(), 3);
        QCOMPARE(c.pieces[1].text, QByteArray("<0x02>B<0x04>"));
        QVERIFY(c.configurationSeen && c.error.isEmpty());
        QVERIFY(ParseUpload("<0x01><0x04>X<0x04>").registers.isEmpty());
        QVERIFY(!ParseUpload("<0x01>3210<0x04>").error.isEmpty());
    }

    // Over the terminal each frame goes out only after the exact reply to
    // the one before; over sockets nothing answers and they go back to back.
    void loads_data()
    {
        QTest::addColumn<Load>("l");
        const QString asked = "Is this a serial interface controller?";
        const QList<QByteArray> two = {"<0x02>ONE<0x04>", "TWO<0x04>"}, one = {"A<0x04>"};
        const QList<QByteArray> start = {"\001\004", "\0012\004", registerFrame};
        const QList<QByteArray> sent = start + QList<QByteArray>{"\002ONE\004", "TWO\004"};
        const auto Y = Prompter::Answer::Yes, N = Prompter::Answer::No;
        // clang-format off
        const std::pair<const char *, Load> rows[] = {
            {"binary input", {1, Fault::None, N, two, 0, sent + QList{ConfigurationFrame(false)}, asked, Ending::Done, "\x05"}},
            {"serial input", {1, Fault::None, Y, two, 0, sent + QList{ConfigurationFrame(true)}, asked, Ending::Done, "\x05"}},
            {"replies split over polls", {1, Fault::SplitReply, Y, two, 0, sent + QList{ConfigurationFrame(true)}, asked, Ending::Done, "\x05"}},
            {"tcp", {0, Fault::None, N, two, 0, {(sent + QList{ConfigurationFrame(false)}).join()}, asked, Ending::Done, ""}},
            {"udp", {-1, Fault::None, N, two, 0, {(sent + QList{ConfigurationFrame(false)}).join()}, asked, Ending::Done, ""}},
            {"cancel", {1, Fault::None, Prompter::Answer::Cancel, one, 0, {}, asked, Ending::Stopped, ""}},
            {"empty table", {1, Fault::None, Y, {}, 0, {}, asked + "|Error Loading Controller", Ending::Failed, ""}},
            // 120 polls of 500 ms on the test clock.
            {"doubled ENQ", {1, Fault::DoubleEnq, Y, one, 0, start, asked + "|Serial Connection Failed.", Ending::Failed, "\001Clearing\004\005", 590}},
            {"data entry in a reply wait", {1, Fault::NoReply, Y, one, 100, {start[0]}, asked, Ending::Stopped, "", 0, 500}},
        };
        // clang-format on
        for (const auto &[name, load] : rows)
            QTest::newRow(name) << load;
    }
    void loads()
    {
        QFETCH(Load, l);
        Fixture f(l.fault, l.port);
        f.fill(l.texts);
        f.prompter.answer(l.serial);
        if (l.dataEntryAtMs > 0)
            QTimer::singleShot(l.dataEntryAtMs, &f.ws, [&f] { f.ws.MnuModeData_Click(); });
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(f.ws.MnuLoadController_Click().ending, l.ending);
        QVERIFY2(clock.elapsed() >= l.minMs && clock.elapsed() < l.maxMs, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(f.prompter.messageTexts().join(u'|'), l.messages);
        QCOMPARE(f.prompter.shown.front().title, QStringLiteral("Controller Setup"));
        if (l.port > 0)
            QCOMPARE(f.received, l.frames);
        else
            QTRY_COMPARE(QList<QByteArray>{f.tcp.received + f.udp.datagrams.join()}, l.frames);
        QCOMPARE(f.ws.box(Workspace::Box::RecData), l.recData);
        QVERIFY(f.ws.menus().item(Item::MnuLoadController).enabled && f.ws.menus().item(Item::MnuModeData).checked);
        QVERIFY(!f.ws.link().serial().isOpen() && f.ws.link().socket().state() == 0);
    }

    // A load read back gives the same registers and texts, and the
    // configuration message.
    void uploadGivesBackWhatWasLoaded()
    {
        Fixture f;
        f.fill({"<0x02>ONE<0x04>", "TWO<0x04>"});
        QVERIFY(f.ws.LoadController(true).complete());
        const RegisterTable loaded = f.ws.registers().table();
        f.ws.NewTable();
        QVERIFY(f.ws.MnuUploadController_Click().complete());
        QCOMPARE(f.ws.registers().table(), loaded);
        QCOMPARE(f.texts(), (QList<QByteArray>{"<0x02>ONE<0x04>", "TWO<0x04>"}));
        QCOMPARE(f.prompter.messageTexts(), QStringList{"Controller configured for Serial Input"});
        QCOMPARE(f.prompter.shown.front().title, QStringLiteral("Controller Upload"));
    }

    // A failed upload keeps the operator's table and registers.
    void failedUploadKeepsTheTable_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<qint16>("port");
        QTest::addColumn<QString>("message"); // its first lines
        QTest::newRow("wrong wake-up reply") << Fault::NoReply << qint16(1) << "Failed to connect to controller.";
        QTest::newRow("interrupted") << Fault::SlowUpload << qint16(1)
                                     << "Upload Interrupted.\r\nPower-Cycle Controller and Try again";
        QTest::newRow("register 99") << Fault::GarbageUpload << qint16(1) << "Error Loading Controller";
        QTest::newRow("tcp link") << Fault::None << qint16(0) << "Error Loading Controller";
    }
    void failedUploadKeepsTheTable()
    {
        QFETCH(Fault, fault);
        QFETCH(qint16, port);
        QFETCH(QString, message);
        Fixture f(fault, port);
        if (fault == Fault::NoReply) // a device that is not a controller
            f.pty.onReceive = [&f](PtyPeer &p, const QByteArray &c) {
                f.received << c;
                p.reply("\001Ready\004!");
            };
        f.fill({"KEEP"});
        const RegisterTable before = f.ws.registers().table();
        QCOMPARE(f.ws.MnuUploadController_Click().ending, Ending::Failed);
        QCOMPARE(f.prompter.messageTexts().value(0).section(QStringLiteral("\r\n"), 0, message.count(u'\n')), message);
        QCOMPARE(f.texts(), QList<QByteArray>{"KEEP"});
        QCOMPARE(f.ws.registers().table(), before);
        QCOMPARE(f.received.isEmpty(), port == 0); // an upload reads a serial port only
        QCOMPARE(f.tcp.connections, 0);
        QVERIFY(f.ws.menus().item(Item::MnuUploadController).enabled && !f.ws.link().serial().isOpen());
    }
};

QTEST_GUILESS_MAIN(ControllerTest)
#include "tst_controller.moc"
