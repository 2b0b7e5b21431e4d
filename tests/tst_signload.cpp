// The ADP frame layout, the loaded-message commands and the sign load over
// real loopback links and a pseudo-terminal: every frame byte for byte and
// the waits between them on the test clock.
#include "base/wait.h"
#include "linkedworkspace.h"
#include "peers.h"
#include "signload/adp.h"

#include <QElapsedTimer>
#include <QtTest>

using namespace telvaro;
using test::PtyPeer;
using test::TcpPeer;
using test::UdpPeer;
using Ending = OperationOutcome::Ending;

namespace {

struct Fixture : test::LinkedWorkspace {
    TcpPeer tcp;
    UdpPeer udp;
    PtyPeer pty;
    QElapsedTimer clock;
    QList<QByteArray> frames; // as the device received them, one per arrival
    QList<qint64> atMs;

    // Port 0 TCP, -1 UDP, 1 the terminal.
    explicit Fixture(qint16 port)
    {
        clock.start();
        linkTo(port, port == 0 ? tcp.port() : udp.port(), pty.devicePath());
        tcp.onReceive = [this](TcpPeer &, const QByteArray &b) { record(b); };
        udp.onReceive = [this](UdpPeer &, const QByteArray &b) { record(b); };
        pty.onReceive = [this](PtyPeer &, const QByteArray &b) { record(b); };
    }
    void record(const QByteArray &bytes)
    {
        if (bytes.isEmpty())
            return;
        frames << bytes;
        atMs << clock.elapsed();
    }
};

} // namespace

Q_DECLARE_METATYPE(telvaro::SignType)

class SignLoadTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { SetPauseTimeScale(100); }
    void cleanupTestCase() { SetPauseTimeScale(1); }

    // Two characters from '!' in base 90, and back; the header before them.
    void fileLabelsAndHeaders_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QByteArray>("label");
        QTest::newRow("0") << 0 << QByteArray("!!");
        QTest::newRow("1") << 1 << QByteArray("!\"");
        QTest::newRow("89") << 89 << QByteArray("!z");
        QTest::newRow("90") << 90 << QByteArray("\"!");
        QTest::newRow("8099") << 8099 << QByteArray("zz");
        QTest::newRow("8100") << 8100 << QByteArray("{!");
    }
    void fileLabelsAndHeaders()
    {
        QFETCH(int, number);
        QFETCH(QByteArray, label);
        QCOMPARE(AdpFileLabel(number), label);
        QCOMPARE(FileLabelNumber(label), std::optional<int>(number));
        QCOMPARE(AdpHeader(SignType::Orbilux, "0A", number), "\001Z0A\002A\017DT" + label);
        QCOMPARE(AdpHeader(SignType::Vyrena, "01", number).left(2), QByteArray("\x01\x34"));
    }

    // The command, or why it is refused: the number first, then the address.
    void loadedMessageCommands_data()
    {
        QTest::addColumn<SignType>("type");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("number"); // null: clear the play list
        QTest::addColumn<QString>("command");
        const QString badNumber = "Invalid Message Number!";
        const QString badAddress = "Invalid Sign Address.\r\nAddress must be 2 Hexadecimal characters.";
        const auto row = [](const char *name, SignType type, const char *address, const char *number,
                            const QString &command) { QTest::newRow(name) << type << address << number << command; };
        const SignType V = SignType::Vyrena, O = SignType::Orbilux;
        row("vyrena 01, message 0", V, "01", "0", "<0x01>401<0x02>E.SL<0x0F>DT!!<0x04>");
        row("8100", V, "00", "8100", "<0x01>400<0x02>E.SL<0x0F>DT{!<0x04>");
        row("45.5 becomes 46", O, "00", "45.5", "<0x01>Z00<0x02>E.SL<0x0F>DT!O<0x04>");
        row("44.5 becomes 44", O, "00", "44.5", "<0x01>Z00<0x02>E.SL<0x0F>DT!M<0x04>");
        row("blanks, then not a number", V, "00", "  x7", "<0x01>400<0x02>E.SL<0x0F>DT!!<0x04>");
        row("8101", V, "00", "8101", badNumber);
        row("-1", V, "00", "-1", badNumber);
        row("number checked first", V, "123", "9000", badNumber);
        row("address 123", V, "123", "1", badAddress);
        row("address G", V, "G", "1", "<0x01>4G<0x02>E.SL<0x0F>DT!\"<0x04>");
        row("empty address", V, "", "1", "<0x01>4<0x02>E.SL<0x0F>DT!\"<0x04>");
        row("clear list", O, "00", nullptr, "<0x01>Z00<0x02>E.SL<0x04>");
        row("clear list, address 123", O, "123", nullptr, badAddress);
    }
    void loadedMessageCommands()
    {
        QFETCH(SignType, type);
        QFETCH(QString, address);
        QFETCH(QString, number);
        QFETCH(QString, command);
        const LoadedCommand c =
            number.isNull() ? ClearListCommand(type, address) : CallMessageCommand(type, address, number);
        QCOMPARE(c.text.isEmpty() ? c.refusal : c.text, command);
        QVERIFY(c.text.isEmpty() != c.refusal.isEmpty());
    }

    // Three set-up frames with "Z", then each message behind its header;
    // a new connection after the first frame; 5 s + 10 s after it, 2 s
    // after the others (a hundredth on the test clock).
    void loadsEveryFrameWithItsWaits_data()
    {
        QTest::addColumn<qint16>("port");
        QTest::addColumn<int>("firstGapMs"); // UDP has no connection to renew
        QTest::newRow("tcp") << qint16(0) << 150;
        QTest::newRow("udp") << qint16(-1) << 100;
        QTest::newRow("pty") << qint16(1) << 150;
    }
    void loadsEveryFrameWithItsWaits()
    {
        QFETCH(qint16, port);
        QFETCH(int, firstGapMs);
        Fixture f(port);
        f.fill({"ABC", "<0x1B>D<0x0D>"});
        QVERIFY(f.ws.MnuLoadSign_Click(SignChoice{SignType::Vyrena, "01"}).complete());
        QCOMPARE(f.frames, (QList<QByteArray>{"\001Z01\002E$\004", "\001Z01\002E.SL\004", "SETPLAYLISTTOE",
                                              "\001401\002A\017DT!!ABC", "\001401\002A\017DT!\"\033D\r"}));
        QCOMPARE(f.tcp.connections, port == 0 ? 2 : 0);
        // Measured from the first message on, so that a late read of one
        // frame does not shorten the wait seen after it.
        const QList<qint64> &at = f.atMs;
        QVERIFY2(at[1] - at[0] >= firstGapMs - 8, qPrintable(QString::number(at[1] - at[0])));
        for (int i = 2; i < at.size(); ++i)
            QVERIFY2(at[i] - at[1] >= (i - 1) * 20 - 8 && at[i] - at[1] < (i - 1) * 140,
                     qPrintable(QString::number(at[i] - at[1])));
        // Escapes resolved into SendData.
        QCOMPARE(f.ws.table().entry(1).SendData, QByteArray("\033D\r"));
        QCOMPARE(f.ws.status().text(3), QStringLiteral("Off"));
        QVERIFY(f.ws.menus().item(Item::MnuLoadSign).enabled && !f.ws.menus().item(Item::MnuLoadSign).checked);
        QVERIFY(!f.ws.link().serial().isOpen() && f.ws.link().socket().state() == 0);
    }

    void endings_data()
    {
        QTest::addColumn<QList<QByteArray>>("texts");
        QTest::addColumn<bool>("chosen");       // a sign type and address, or the dialog cancelled
        QTest::addColumn<int>("dataEntryAtMs"); // after the first frame; 0: none
        QTest::addColumn<int>("frames");
        QTest::addColumn<QString>("message");
        QTest::addColumn<Ending>("ending");
        QTest::addColumn<QStringList>("panel3");
        const QList<QByteArray> ab = {"A", "B"};
        QTest::newRow("cancelled") << ab << false << 0 << 0 << "" << Ending::Stopped << QStringList{};
        QTest::newRow("empty table") << QList<QByteArray>{} << true << 0 << 0 << "Error Loading Sign" << Ending::Failed
                                     << QStringList{"-3", "Off"};
        QTest::newRow("data entry in the 10 s wait")
            << ab << true << 30 << 1 << "" << Ending::Stopped << QStringList{"-3", "Off"};
        QTest::newRow("escape out of range")
            << QList<QByteArray>{"<0999>", "B"} << true << 0 << 3 << "Error Loading Sign" << Ending::Failed
            << QStringList{"-3", "-2", "-1", "0", "Off"};
    }
    void endings()
    {
        QFETCH(QList<QByteArray>, texts);
        QFETCH(bool, chosen);
        QFETCH(int, dataEntryAtMs);
        QFETCH(int, frames);
        QFETCH(QString, message);
        QFETCH(Ending, ending);
        QFETCH(QStringList, panel3);
        Fixture f(-1);
        f.fill(texts);
        QStringList shown;
        QObject::connect(&f.ws.status(), &StatusPanels::changed, [&](int panel) {
            if (panel == 3)
                shown << f.ws.status().text(3);
        });
        if (dataEntryAtMs > 0)
            f.udp.onReceive = [&f, dataEntryAtMs](UdpPeer &, const QByteArray &b) {
                f.record(b);
                QTimer::singleShot(dataEntryAtMs, &f.ws, [&f] { f.ws.MnuModeData_Click(); });
            };
        const OperationOutcome outcome =
            f.ws.MnuLoadSign_Click(chosen ? std::optional<SignChoice>(SignChoice{}) : std::nullopt);
        QCOMPARE(outcome.ending, ending);
        QCOMPARE(f.frames.size(), frames);
        QCOMPARE(f.prompter.messageTexts().join(QString()), message);
        QCOMPARE(shown, panel3);
        QCOMPARE(f.ws.status().text(3), QStringLiteral("Off"));
        QVERIFY(f.ws.menus().item(Item::MnuLoadSign).enabled && f.ws.menus().item(Item::MnuModeData).checked);
        QVERIFY(f.ws.link().socket().state() == 0 && !f.ws.progress().isShown());
    }
};

QTEST_GUILESS_MAIN(SignLoadTest)
#include "tst_signload.moc"
