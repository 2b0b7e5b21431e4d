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
using devsim::ControllerDevice;
using test::PtyPeer;
using test::TcpPeer;
using test::UdpPeer;

namespace {

struct Fixture : test::LinkedWorkspace {
    PtyPeer pty;
    QList<QByteArray> received; // by the device, one entry per arrival
    ControllerDevice device{[this](const QByteArray &b) { pty.reply(b); }};

    explicit Fixture(ControllerDevice::Fault fault = ControllerDevice::Fault::None)
    {
        linkTo(1, 0, pty.devicePath());
        device.setFault(fault);
        device.setPaceMs(fault == ControllerDevice::Fault::SlowUpload ? 700 : 20);
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

const QByteArray registerFrame("\x01"
                               "0230;125 \x04");

} // namespace

Q_DECLARE_METATYPE(telvaro::devsim::ControllerDevice::Fault)

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

    // Each frame goes out only after the exact reply to the one before.
    void loadsOverATerminal_data()
    {
        QTest::addColumn<bool>("serialInput");
        QTest::addColumn<ControllerDevice::Fault>("fault");
        QTest::newRow("binary input") << false << ControllerDevice::Fault::None;
        QTest::newRow("serial input") << true << ControllerDevice::Fault::None;
        QTest::newRow("replies split over polls") << true << ControllerDevice::Fault::SplitReply;
    }
    void loadsOverATerminal()
    {
        QFETCH(bool, serialInput);
        QFETCH(ControllerDevice::Fault, fault);
        Fixture f(fault);
        f.fill({"<0x02>ONE<0x04>", "TWO<0x04>"});
        f.prompter.answer(serialInput ? Prompter::Answer::Yes : Prompter::Answer::No);
        const OperationOutcome outcome = f.ws.MnuLoadController_Click();
        QVERIFY(outcome.complete());
        QCOMPARE(f.prompter.shown.front().text, QStringLiteral("Is this a serial interface controller?"));
        QCOMPARE(f.prompter.shown.front().title, QStringLiteral("Controller Setup"));
        QCOMPARE(f.received,
                 (QList<QByteArray>{"\x01\x04",
                                    "\x01"
                                    "2\x04",
                                    registerFrame, "\x02ONE\x04", "TWO\x04", ConfigurationFrame(serialInput)}));
        QCOMPARE(f.device.serialInput(), std::optional<bool>(serialInput));
        QCOMPARE(f.ws.box(Workspace::Box::RecData), QStringLiteral("\x05"));
        QVERIFY(f.ws.menus().item(Item::MnuLoadController).enabled && !f.ws.link().serial().isOpen());
    }

    void loadEndings_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("frames");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<OperationOutcome::Ending>("ending");
        using Ending = OperationOutcome::Ending;
        const QString question = "Is this a serial interface controller?";
        QTest::newRow("cancel") << "cancel" << 0 << QStringList{question} << Ending::Stopped;
        QTest::newRow("empty table") << "empty" << 0 << QStringList{question, "Error Loading Controller"}
                                     << Ending::Failed;
        QTest::newRow("doubled ENQ") << "double-enq" << 3 << QStringList{question, "Serial Connection Failed."}
                                     << Ending::Failed;
        QTest::newRow("data entry in a reply wait") << "data entry" << 1 << QStringList{question} << Ending::Stopped;
    }
    void loadEndings()
    {
        QFETCH(QString, how);
        QFETCH(int, frames);
        QFETCH(QStringList, messages);
        QFETCH(OperationOutcome::Ending, ending);
        Fixture f(how == QLatin1String("double-enq")   ? ControllerDevice::Fault::DoubleEnq
                  : how == QLatin1String("data entry") ? ControllerDevice::Fault::NoReply
                                                       : ControllerDevice::Fault::None);
        if (how != QLatin1String("empty"))
            f.fill({"A<0x04>"});
        f.prompter.answer(how == QLatin1String("cancel") ? Prompter::Answer::Cancel : Prompter::Answer::Yes);
        if (how == QLatin1String("data entry"))
            QTimer::singleShot(100, &f.ws, [&f] { f.ws.MnuModeData_Click(); });
        QElapsedTimer clock;
        clock.start();
        const OperationOutcome outcome = f.ws.MnuLoadController_Click();
        QCOMPARE(outcome.ending, ending);
        QCOMPARE(f.received.size(), frames);
        QCOMPARE(f.prompter.messageTexts(), messages);
        if (how == QLatin1String("double-enq")) // 120 polls of 500 ms on the test clock
            QVERIFY2(clock.elapsed() >= 590, qPrintable(QString::number(clock.elapsed())));
        if (how == QLatin1String("data entry"))
            QVERIFY(clock.elapsed() < 500);
        QVERIFY(f.ws.menus().item(Item::MnuModeData).checked && !f.ws.link().serial().isOpen());
    }

    // No replies over sockets: the frames go out back to back.
    void loadsOverSockets_data()
    {
        QTest::addColumn<bool>("tcp");
        QTest::newRow("tcp") << true;
        QTest::newRow("udp") << false;
    }
    void loadsOverSockets()
    {
        QFETCH(bool, tcp);
        Fixture f;
        TcpPeer tcpPeer;
        UdpPeer udpPeer;
        f.ws.linkSettings().setPortNumber(tcp ? 0 : -1);
        f.ws.linkSettings().setIpAddress(QStringLiteral("127.0.0.1"));
        f.ws.linkSettings().setIpPort(QString::number(tcp ? tcpPeer.port() : udpPeer.port()));
        f.fill({"A<0x04>", "B<0x04>"});
        QVERIFY(f.ws.LoadController(false).complete());
        const QByteArray all = QByteArray("\x01\x04\x01"
                                          "2\x04") +
                               registerFrame +
                               "A\x04"
                               "B\x04" +
                               ConfigurationFrame(false);
        if (tcp)
            QTRY_COMPARE(tcpPeer.received, all);
        else
            QTRY_COMPARE(udpPeer.datagrams.join(), all);
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
        f.prompter.shown.clear();
        QVERIFY(f.ws.MnuUploadController_Click().complete());
        QCOMPARE(f.ws.registers().table(), loaded);
        QCOMPARE(f.texts(), (QList<QByteArray>{"<0x02>ONE<0x04>", "TWO<0x04>"}));
        QCOMPARE(f.prompter.messageTexts(), QStringList{"Controller configured for Serial Input"});
        QCOMPARE(f.prompter.shown.front().title, QStringLiteral("Controller Upload"));
    }

    // A failed upload keeps the operator's table and registers.
    void failedUploadKeepsTheTable_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("message");
        QTest::newRow("wrong wake-up reply") << "wrong"
                                             << "Failed to connect to controller.";
        QTest::newRow("interrupted") << "slow"
                                     << "Upload Interrupted.\r\nPower-Cycle Controller and Try again";
        QTest::newRow("register 99") << "garbage"
                                     << "Error Loading Controller";
        QTest::newRow("tcp link") << "tcp"
                                  << "Error Loading Controller";
    }
    void failedUploadKeepsTheTable()
    {
        QFETCH(QString, how);
        QFETCH(QString, message);
        Fixture f(how == QLatin1String("slow")      ? ControllerDevice::Fault::SlowUpload
                  : how == QLatin1String("garbage") ? ControllerDevice::Fault::GarbageUpload
                                                    : ControllerDevice::Fault::None);
        if (how == QLatin1String("wrong"))
            f.pty.onReceive = [](PtyPeer &p, const QByteArray &) { p.reply("\x01Ready\x04!"); };
        if (how == QLatin1String("tcp"))
            f.ws.linkSettings().setPortNumber(0);
        f.fill({"KEEP"});
        const RegisterTable before = f.ws.registers().table();
        const OperationOutcome outcome = f.ws.MnuUploadController_Click();
        QCOMPARE(outcome.ending, OperationOutcome::Ending::Failed);
        QCOMPARE(f.prompter.messageTexts().value(0).section(QStringLiteral("\r\n"), 0, message.count(u'\n')), message);
        QCOMPARE(f.texts(), QList<QByteArray>{"KEEP"});
        QCOMPARE(f.ws.registers().table(), before);
        if (how == QLatin1String("tcp"))
            QVERIFY(f.received.isEmpty());
        QVERIFY(f.ws.menus().item(Item::MnuUploadController).enabled && !f.ws.link().serial().isOpen());
    }
};

QTEST_GUILESS_MAIN(ControllerTest)
#include "tst_controller.moc"
