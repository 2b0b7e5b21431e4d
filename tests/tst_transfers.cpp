// Sign and controller loads over loopback links and a pseudo-terminal, against the simulated controller
// where it answers: the frames byte for byte, the waits between them on the test clock, the exact
// replies, the failure endings and the upload round trip.
#include "base/transfer.h"
#include "base/wait.h"
#include "codec/codepage.h"
#include "codec/escapes.h"
#include "controller/controllerprotocol.h"
#include "controller/controllerverify.h"
#include "devsim/controllerdevice.h"
#include "linkedworkspace.h"
#include "peers.h"
#include "signload/adp.h"

#include "datatable.h"

#include <QtTest>

using namespace telvaro;
using namespace telvaro::test;
using Ending = OperationOutcome::Ending;
using Fault = devsim::ControllerDevice::Fault;

namespace {

const QByteArray registerFrame("\0010230;125 \004");

struct Fixture : test::LinkedWorkspace {
    TcpPeer tcp;
    UdpPeer udp;
    PtyPeer pty;
    QElapsedTimer clock;
    QList<QByteArray> frames; // as the device received them, one per arrival
    QStringList panel2AtReceipt;
    devsim::ControllerDevice device{[this](const QByteArray &b) { pty.reply(b); }};

    // Port 0 TCP, -1 UDP, 1 the terminal, where a controller answers if one is given.
    explicit Fixture(qint16 port, std::optional<Fault> controller = {})
    {
        clock.start();
        linkTo(port, port == 0 ? tcp.port() : udp.port(), pty.devicePath());
        tcp.onReceive = [this](TcpPeer &, const QByteArray &b) { record(b); };
        udp.onReceive = [this](UdpPeer &, const QByteArray &b) { record(b); };
        pty.onReceive = [this, controller](PtyPeer &, const QByteArray &b) {
            record(b);
            if (controller)
                device.receive(b);
        };
        device.setFault(controller.value_or(Fault::None));
        device.setPaceMs(20);
        RegisterTable registers{};
        registers[2] = {3, "0"};
        registers[12] = {5, " "};
        ws.registers().setTable(registers);
    }
    void record(const QByteArray &bytes)
    {
        if (bytes.isEmpty())
            return;
        frames << bytes;
        panel2AtReceipt << ws.status().text(2);
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

// A serial device whose answer to each frame comes in pieces, one more at
// each look at the port: a reply cut anywhere spans two polls.
class PiecewiseSerial : public SerialPortService {
public:
    std::function<QList<QByteArray>(const QByteArray &)> answer;
    void setPortNumber(qint16) override {}
    bool setSettings(const QString &) override { return true; }
    bool open() override { return m_open = true; }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    bool write(const QByteArray &bytes) override
    {
        m_coming += answer(bytes);
        return true;
    }
    void setReceiveThreshold(int) override {}
    qint64 bytesWaiting() override { return arrived().size(); }
    QByteArray takeInput() override { return std::exchange(arrived(), {}); }
    QString errorString() const override { return {}; }

private:
    QByteArray &arrived()
    {
        if (!m_coming.isEmpty())
            m_waiting += m_coming.takeFirst();
        return m_waiting;
    }
    bool m_open = false;
    QList<QByteArray> m_coming;
    QByteArray m_waiting;
};

// texts, choice, data entry (n > 0: n ms after the first frame came; -n: as frame n goes out),
// ending, frames, message, panel 3, what the sign is left with, the link (port 0 TCP, -1 UDP)
using SignEnding =
    std::tuple<QList<QByteArray>, std::optional<SignChoice>, int, Ending, int, QString, QStringList, QString, qint16>;

} // namespace

class TransfersTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { SetPauseTimeScale(100); }
    void cleanupTestCase() { SetPauseTimeScale(1); }

    // The command, or why it is refused: the number first, then the address.
    void loadedMessageCommands_data()
    {
        columns<SignType, QString, QString, QString>({"type", "address", "number", "command"});
        const QString badNumber = "Invalid Message Number!";
        const SignType V = SignType::Vyrena, O = SignType::Orbilux;
        row("vyrena 01, message 0", V, "01", "0", "<0x01>401<0x02>E.SL<0x0F>DT!!<0x04>");
        // The label: two characters from '!' in base 90.
        row("89", V, "00", "89", "<0x01>400<0x02>E.SL<0x0F>DT!z<0x04>");
        row("90", V, "00", "90", "<0x01>400<0x02>E.SL<0x0F>DT\"!<0x04>");
        row("8099", V, "00", "8099", "<0x01>400<0x02>E.SL<0x0F>DTzz<0x04>");
        row("8100", V, "00", "8100", "<0x01>400<0x02>E.SL<0x0F>DT{!<0x04>");
        row("45.5 becomes 46", O, "00", "45.5", "<0x01>Z00<0x02>E.SL<0x0F>DT!O<0x04>");
        row("44.5 becomes 44", O, "00", "44.5", "<0x01>Z00<0x02>E.SL<0x0F>DT!M<0x04>");
        row("blanks, then not a number", V, "00", "  x7", "<0x01>400<0x02>E.SL<0x0F>DT!!<0x04>");
        row("-1", V, "00", "-1", badNumber);
        row("number checked first", V, "123", "9000", badNumber);
        row("address 123", V, "123", "1", "Invalid Sign Address.\r\nAddress must be 2 Hexadecimal characters.");
        row("address G", V, "G", "1", "<0x01>4G<0x02>E.SL<0x0F>DT!\"<0x04>");
        row("empty address", V, "", "1", "<0x01>4<0x02>E.SL<0x0F>DT!\"<0x04>");
    }
    void loadedMessageCommands()
    {
        const auto [type, address, number, command] =
            fetch<SignType, QString, QString, QString>({"type", "address", "number", "command"});
        const LoadedCommand c = CallMessageCommand(type, address, number);
        QCOMPARE(c.text.isEmpty() ? c.refusal : c.text, command);
        QVERIFY(c.text.isEmpty() != c.refusal.isEmpty());
    }

    // Three set-up frames with "Z", then each message behind its header;
    // a new connection after the first frame; 5 s + 10 s after it, 2 s
    // after the others (a hundredth on the test clock).
    void loadsEveryFrameWithItsWaits_data() { rows<qint16>("port", {{"tcp", 0}, {"pty", 1}}); }
    void loadsEveryFrameWithItsWaits()
    {
        QFETCH(qint16, port);
        Fixture f(port);
        f.fill({"ABC", "<0x1B>D<0x0D>"});
        // What the load did and when, as it did it: each frame begun (panel 3
        // takes its step), the link closed and opened, the erase frame shown.
        QList<qint64> at;
        QStringList order;
        QObject::connect(&f.ws.status(), &StatusPanels::changed, &f.ws, [&](int panel) {
            bool number = false;
            f.ws.status().text(3).toInt(&number);
            if (panel == 3 && number)
                at << f.clock.elapsed();
            if (panel == 2 && !f.ws.status().text(2).isEmpty())
                order << QStringLiteral("shown ") + f.ws.status().text(2);
        });
        QObject::connect(&f.ws.link(), &Link::linkEvent, &f.ws, [&order](LinkEvent event) {
            if (event == LinkEvent::Opened || event == LinkEvent::ClosedByUs)
                order << (event == LinkEvent::Opened ? QStringLiteral("opened") : QStringLiteral("closed"));
        });
        QVERIFY(f.ws.MnuLoadSign_Click(SignChoice{SignType::Orbilux, "0A"}).complete());
        // Each frame as sent, and all of them as the device read them.
        const QList<QByteArray> frames = {"\001Z0A\002E$\004", "\001Z0A\002E.SL\004", "SETPLAYLISTTOE",
                                          "\001Z0A\002A\017DT!!ABC", "\001Z0A\002A\017DT!\"\033D\r"};
        QStringList shown;
        for (const QByteArray &frame : frames)
            shown << QStringLiteral("shown ") + BytesToText(frame);
        shown << QStringLiteral("shown No Traffic"); // once the load is over
        QCOMPARE(order.filter(QRegularExpression(QStringLiteral("^shown "))), shown);
        QCOMPARE(f.frames.join(), frames.join());
        QCOMPARE(f.tcp.connections, port == 0 ? 2 : 0);
        // The erase frame shows in panel 2 once the link is renewed, not before
        // it is closed for the pause.
        QVERIFY2(order.indexOf(shown.front()) > order.indexOf(QStringLiteral("closed")),
                 qPrintable(order.join(QStringLiteral(", "))));
        // The program's own times, as each frame began: a late wake-up only
        // lengthens a wait, so none may be shorter than its length; from the
        // first message on, so that one late wait does not make up the next.
        QCOMPARE(at.size(), 5);
        QVERIFY2(at[1] - at[0] >= 149, qPrintable(QString::number(at[1] - at[0])));
        for (int i = 2; i < at.size(); ++i)
            QVERIFY2(at[i] - at[1] >= (i - 1) * 20 - 1 && at[i] - at[1] < (i - 1) * 140,
                     qPrintable(QString::number(at[i] - at[1])));
        QCOMPARE(f.ws.table().entry(1).SendData, QByteArray("\033D\r"));
        QVERIFY(f.settled() && !f.ws.menus().item(Item::MnuLoadSign).checked);
    }

    // A sign load cancelled, refused or stopped: how it ended, the frames
    // sent, the message and every text panel 3 was given.
    void endings_data()
    {
        QTest::addColumn<SignEnding>("row");
        const QList<QByteArray> ab = {"A", "B"};
        const std::optional<SignChoice> cancelled, chosen = SignChoice{};
        const QString erased = "The sign's memory was erased; 0 of 2 messages are stored.";
        const auto row = [](const QString &name, const QList<QByteArray> &texts, std::optional<SignChoice> choice,
                            int dataEntry, Ending ending, int frames, const QString &message,
                            const QStringList &panel3 = {}, const QString &deviceState = {}, qint16 port = -1) {
            QTest::newRow(qPrintable(name))
                << SignEnding{texts, choice, dataEntry, ending, frames, message, panel3, deviceState, port};
        };
        row("cancelled", ab, cancelled, 0, Ending::Stopped, 0, "");
        // A table the load would refuse half way is refused before the erase.
        row("empty table", {}, chosen, 0, Ending::Failed, 0,
            "Error Loading Sign\r\nThe table is empty: there is nothing to load.");
        // Data entry 30 ms after the first frame, in the 10 s wait; over TCP in the 5 s pause
        // before the new connection (real time divided by 4 here): either ends at once.
        row("data entry in a wait", ab, chosen, 30, Ending::Stopped, 1, "", {"-3", "Off"}, erased);
        row("data entry before the reconnection", ab, chosen, 30, Ending::Stopped, 1, "", {"-3", "Off"}, erased, 0);
        row("data entry as message 0 goes out", ab, chosen, -4, Ending::Stopped, 4, "", {"-3", "-2", "-1", "0", "Off"},
            "The sign's memory was erased; 1 of 2 messages are stored.");
        // One rule for the address, before any frame.
        for (const char *address : {"0", "", "0?", "0a"})
            row(QStringLiteral("address \"%1\"").arg(address), ab, SignChoice{SignType::Vyrena, address}, 0,
                Ending::Failed, 0,
                Workspace::SignAddressRefusalText() +
                    QStringLiteral("\r\nThe address takes two letters or digits, not \"%1\".").arg(address));
    }
    void endings()
    {
        QFETCH(SignEnding, row);
        const auto &[texts, choice, dataEntry, ending, frames, message, panel3, deviceState, port] = row;
        if (port == 0)
            SetPauseTimeScale(4);
        Fixture f(port);
        f.fill(texts);
        QStringList shown;
        QObject::connect(&f.ws.status(), &StatusPanels::changed, [&](int panel) {
            if (panel == 3)
                shown << f.ws.status().text(3);
        });
        const auto dataEntryLater = [&f, ms = dataEntry](const QByteArray &b) {
            f.record(b);
            if (!b.isEmpty()) // not the connection itself
                QTimer::singleShot(ms, &f.ws, [&f] { f.ws.MnuModeData_Click(); });
        };
        if (dataEntry > 0) {
            f.udp.onReceive = [&](UdpPeer &, const QByteArray &b) { dataEntryLater(b); };
            f.tcp.onReceive = [&](TcpPeer &, const QByteArray &b) { dataEntryLater(b); };
        }
        const test::IdleClock idle(f.ws);
        int goneOut = 0;
        QObject::connect(&f.ws.link(), &Link::transmitted, &f.ws, [&, dataEntry = dataEntry] {
            if (++goneOut == -dataEntry)
                f.ws.MnuModeData_Click();
        });
        const OperationOutcome outcome = f.ws.MnuLoadSign_Click(choice);
        // Data entry ends the load at once, whatever wait it was in.
        QVERIFY2(idle.sinceIdle() < 1000, qPrintable(QString::number(idle.sinceIdle())));
        QCOMPARE(outcome.ending, ending);
        QTRY_COMPARE_WITH_TIMEOUT(f.frames.size(), frames, 1000);
        QCOMPARE(f.prompter.messageTexts().join(QString()), message);
        QCOMPARE(shown, panel3);
        QCOMPARE(outcome.deviceState, deviceState);
        QVERIFY(f.settled() && !f.ws.progress().isShown());
    }

    // Over the terminal each frame goes out only after the exact reply to
    // the one before; over sockets nothing answers and they go back to back.
    void loads_data()
    {
        const QString asked = "Is this a serial interface controller?";
        const QList<QByteArray> two = {"<0x02>ONE<0x04>", "TWO<0x04>"}, one = {"A<0x04>"};
        const QList<QByteArray> start = {"\001\004", "\0012\004", registerFrame};
        const QList<QByteArray> sent = start + QList<QByteArray>{"\002ONE\004", "TWO\004"},
                                binary = sent + QList{ConfigurationFrame(false)},
                                serial = sent + QList{ConfigurationFrame(true)};
        const auto Y = Prompter::Answer::Yes, N = Prompter::Answer::No;
        const auto Dn = Ending::Done, F = Ending::Failed, S = Ending::Stopped;
        // clang-format off
        const std::pair<const char *, Load> rows[] = {
            {"binary input", {1, Fault::None, N, two, 0, binary, asked, Dn, "\x05"}},
            {"serial input", {1, Fault::None, Y, two, 0, serial, asked, Dn, "\x05"}},
            // "&New" leaves an empty message last: no frame, no reply awaited.
            {"empty message", {1, Fault::None, Y, two + QList<QByteArray>{""}, 0, serial, asked, Dn, "\x05"}},
            {"replies split over polls", {1, Fault::SplitReply, Y, two, 0, serial, asked, Dn, "\x05"}},
            {"tcp", {0, Fault::None, N, two, 0, {binary.join()}, asked, Dn, ""}},
            {"udp", {-1, Fault::None, N, two, 0, {binary.join()}, asked, Dn, ""}},
            {"cancel", {1, Fault::None, Prompter::Answer::Cancel, one, 0, {}, asked, S, ""}},
            {"empty table", {1, Fault::None, Y, {}, 0, {}, asked + "|Error Loading Controller", F, ""}},
            // 120 polls of 500 ms on the test clock.
            {"doubled ENQ", {1, Fault::DoubleEnq, Y, one, 0, start, asked + "|Serial Connection Failed.", F,
                             "\001Clearing\004\005", 590}},
            {"data entry in a reply wait", {1, Fault::NoReply, Y, one, 100, {start[0]}, asked, S, "", 0, 500}},
            // A message without its end byte gets no answer.
            {"no end byte", {1, Fault::None, Y, {"NO END"}, 0, start + QList<QByteArray>{"NO END"},
                             asked + "|Serial Connection Failed.", F, "\x05", 590}},
        };
        // clang-format on
        test::rows("l", rows);
    }
    void loads()
    {
        QFETCH(Load, l);
        Fixture f(l.port, l.fault);
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
        // Each frame shows in panel 2 once its reply came, not while it is awaited.
        for (qsizetype i = 0; l.port > 0 && i < f.frames.size(); ++i)
            QVERIFY(f.panel2AtReceipt[i] != BytesToText(f.frames[i]));
        if (l.port > 0)
            QCOMPARE(f.frames, l.frames);
        else
            QTRY_COMPARE_WITH_TIMEOUT(QList<QByteArray>{f.tcp.received + f.udp.datagrams.join()}, l.frames, 1000);
        QCOMPARE(f.ws.box(Workspace::Box::RecData), l.recData);
        QVERIFY(f.settled());
        // The controller gives up a half frame at the next wake-up: whatever
        // came before, the next load goes through.
        f.ws.table().Clear();
        f.fill({"END<0x04>"});
        QVERIFY(l.port < 1 || l.fault != Fault::None || f.ws.LoadController(true).complete());
    }

    // Every reply of a load and the whole of an upload cut at each byte
    // position across two polls: the pieces are joined before they are
    // matched or searched.
    void cutAnywhereAcrossPolls()
    {
        const auto cutAt = [](const QByteArray &bytes, qsizetype at) { return QList{bytes.left(at), bytes.mid(at)}; };
        const QByteArray upload = RegisterFrame(RegisterTable{}) + "A\x04" + ConfigurationFrame(true);
        for (qsizetype at = 1; at < upload.size(); ++at) {
            Fixture f(1);
            PiecewiseSerial serial;
            f.ws.link().useServices(serial, f.ws.link().builtinSocket());
            int step = FirstControllerStep;
            serial.answer = [&](const QByteArray &frame) {
                if (frame == UploadRequestFrame())
                    return cutAt(upload, at);
                const QByteArray reply = ControllerReply(step++); // the upload's wake-up is step -3
                return cutAt(reply, qMin(at, reply.size() - 1));
            };
            f.fill({"ONE<0x04>"});
            QVERIFY2(f.ws.LoadController(true).complete(), qPrintable(QString::number(at)));
            step = FirstControllerStep;
            QVERIFY2(f.ws.MnuUploadController_Click().complete(), qPrintable(QString::number(at)));
            QCOMPARE(f.ws.table().entry(0).Text, QByteArray("A<0x04>"));
            QCOMPARE(f.ws.registers().table(), RegisterTable{});
        }
    }

    // The comparison of a read-back, in bytes: the messages aligned as a diff
    // aligns lines, each numbered by its table position (twice its place
    // here); a time token stands for a time text and nothing else.
    void readBackDifferences_data()
    {
        columns<QList<QByteArray>, QList<QByteArray>, QStringList>({"sent", "back", "lines"});
        const QByteArray now = TimeTokenText(QDateTime::currentDateTime()),
                         midnight = TimeTokenText(QDateTime(QDate(2026, 12, 7), QTime(0, 0)));
        const QByteArray A = "A<0x04>", B = "B<0x04>", C = "C<0x04>", D = "D<0x04>", X = "X<0x04>";
        row("same", QList{A, B}, QList{A, B}, QStringList());
        row("time texts", QList<QByteArray>{"X<T>Y<0x04>", "<T> <T><0x04>"},
            QList<QByteArray>{"X" + now + "Y<0x04>", midnight + " " + now + "<0x04>"}, QStringList());
        row("time token, the text <T>", QList<QByteArray>{"<T><0x04>"}, QList<QByteArray>{"<0x3C>T><0x04>"},
            QStringList{"message 000: sent \"<T><0x04>\", read back \"<0x3C>T><0x04>\""});
        row("one missing", QList{A, B, C, D, X}, QList{A, B, D, X},
            QStringList{"message 004: sent \"C<0x04>\", missing from the controller"});
        row("one extra", QList{A, B, C}, QList{A, X, B, C},
            QStringList{"extra message after message 000: read back \"X<0x04>\""});
        row("extra first", QList{A}, QList{X, A},
            QStringList{"extra message before message 000: read back \"X<0x04>\""});
        row("nothing sent", QList<QByteArray>(), QList{X}, QStringList{"extra message: read back \"X<0x04>\""});
        row("changed, then missing", QList{A, B, C, D}, QList{A, X, D},
            QStringList{"message 002: sent \"B<0x04>\", read back \"X<0x04>\"",
                        "message 004: sent \"C<0x04>\", missing from the controller"});
        // A frame without its end byte runs on into the next one.
        row("numbered by the frame it starts in", QList<QByteArray>{"A", B, C}, QList<QByteArray>{"AB<0x04>", X},
            QStringList{"message 004: sent \"C<0x04>\", read back \"X<0x04>\""});
    }
    void readBackDifferences()
    {
        const auto [sent, back, lines] =
            fetch<QList<QByteArray>, QList<QByteArray>, QStringList>({"sent", "back", "lines"});
        const auto bytes = [](const QByteArray &notation) { return ParseEscapes(notation).value(); };
        QList<SentMessage> messages;
        for (qsizetype i = 0; i < sent.size(); ++i)
            messages.append({int(2 * i), bytes(sent[i])});
        const ControllerImage image = SentControllerImage(registerFrame, messages, ConfigurationFrame(true));
        QByteArray held = registerFrame;
        for (const QByteArray &m : back)
            held += bytes(m);
        const ControllerComparison c =
            CompareWithController(image, ReadControllerImage(held + ConfigurationFrame(true)));
        QCOMPARE(c.differences.join("\n"), lines.join("\n"));
        QVERIFY(!c.positional);
    }

    // A full table: one message missing and one extra found among 32,766;
    // lists that differ everywhere are compared by position and say so. A
    // report shows ten differences, then the count of all.
    void readBackOfAFullTable()
    {
        const auto image = [](const char *prefix, qsizetype skip = -1, qsizetype insert = -1) {
            QByteArray bytes = RegisterFrame({});
            for (int i = 0; i < MessageTable::MaxEntries; ++i) {
                if (i == insert)
                    bytes += "EXTRA\x04";
                if (i != skip)
                    bytes += prefix + QByteArray::number(i) + QByteArray(70, 'a') + '\x04';
            }
            return ReadControllerImage(bytes + ConfigurationFrame(false));
        };
        QCOMPARE(CompareWithController(image("m"), image("m", 1000, 30000)).differences,
                 QStringList({"message 1000: sent \"m1000" + QString(55, u'a') + "...\", missing from the controller",
                              "extra message after message 29999: read back \"EXTRA<0x04>\""}));
        const ControllerComparison positional = CompareWithController(image("m"), image("n"));
        QVERIFY(positional.positional);
        const QStringList report = DifferenceReport(positional);
        QCOMPARE(report.size(), 12);
        QCOMPARE(report.front(),
                 "message 000: sent \"m0" + QString(58, u'a') + "...\", read back \"n0" + QString(58, u'a') + "...\"");
        QVERIFY(report[10].contains("compared position by position"));
        QCOMPARE(report.back(), "32766 differences between what was sent and what the controller holds.");
    }
};

QTEST_GUILESS_MAIN(TransfersTest)
#include "tst_transfers.moc"
