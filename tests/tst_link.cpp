// The link end to end over loopback TCP, UDP and a real pseudo-terminal: the
// bytes of quick sends, the hold, status panels, failures and their messages,
// received data, the Communication prompts, devices that go away midway.
#include "app/communication.h"
#include "app/workspace.h"
#include "base/clock.h"
#include "base/wait.h"
#include "codec/escapes.h"
#include "link/link.h"
#include "peers.h"
#include "run/quicksend.h"
#include "scriptedprompter.h"
#include "temphome.h"

#include <QSettings>
#include <QtTest>
#include <termios.h>

using namespace telvaro;
using namespace telvaro::test;
using Box = Workspace::Box;

namespace {

const QDateTime pinnedNow(QDate(2024, 3, 5), QTime(12, 34, 56, 130));
const QString errorGoingIntoRun = QStringLiteral("Error Going into Run\r\nCommunications not available");

// A socket for what loopback cannot produce on demand: a connection that
// never completes, a failure of an established connection, a short read.
class FakeSocket : public SocketService {
public:
    int code = SocketState::Closed;
    bool connects = false; // and then fails once the first send is out
    QByteArray sent;
    QByteArray toReceive;

    bool setProtocol(Protocol) override { return code == SocketState::Closed; }
    void setRemoteHost(const QString &) override {}
    void setRemotePort(quint16) override {}
    void connectToRemote() override { code = connects ? SocketState::Connected : SocketState::Connecting; }
    int state() const override { return code; }
    bool send(const QByteArray &bytes) override
    {
        sent += bytes;
        QTimer::singleShot(0, this, [this] {
            Q_EMIT sendComplete();
            QTimer::singleShot(0, this, [this] {
                code = SocketState::Error;
                Q_EMIT error(10054, QStringLiteral("Connection reset by peer"));
            });
        });
        return true;
    }
    qint64 pendingBytes() const override { return 0; }
    QByteArray takeReceived() override { return std::exchange(toReceive, {}); }
    void close() override { code = SocketState::Closed; }
    QString errorString() const override { return {}; }
};

struct Fixture {
    TempHome home;
    ScriptedPrompter prompter;
    Workspace ws{prompter};
    TcpPeer tcp;
    UdpPeer udp;
    PtyPeer pty;
    QStringList panel2; // every text panel 2 was given
    QStringList failures;

    Fixture()
    {
        ws.MnuModeData_Click();
        ws.linkSettings().setIpAddress(QStringLiteral("127.0.0.1"));
        ws.linkSettings().setIpPort(QStringLiteral("3001"));
        ws.linkSettings().setBaudText(QStringLiteral(" 19200"));
        QObject::connect(&ws.status(), &StatusPanels::changed, &ws, [this](int p) {
            if (p == 2)
                panel2.append(ws.status().text(2));
        });
        QObject::connect(&ws.link(), &Link::linkFailed, &ws, [this](const QString &d) { failures.append(d); });
    }
    bool linkClosed() { return !ws.link().serial().isOpen() && ws.link().socket().state() == SocketState::Closed; }
    QString panel1()
    {
        ws.link().TmrCheck_Timer();
        return ws.status().text(1);
    }
    // "tcp" (port 0), "udp" (port -1) or "pty" (serial port 3, the peer's
    // terminal unless another device is given): the link to that peer.
    void use(const QString &kind, const QString &device = {})
    {
        QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Telvaro"), QStringLiteral("Telvaro"))
            .setValue(QStringLiteral("SerialPorts/3"), device.isEmpty() ? pty.devicePath() : device);
        ws.linkSettings().setPortNumber(kind == QLatin1String("pty") ? 3 : kind == QLatin1String("udp") ? -1 : 0);
        ws.linkSettings().setIpPort(QString::number(kind == QLatin1String("udp") ? udp.port() : tcp.port()));
    }
    void quickSend(const QString &entry)
    {
        ws.setBox(Box::Entry, entry);
        ws.CmdQuickSend_Click();
    }
};

// One quick send: the link, what the device or operator does, what follows.
struct Send {
    QString name, kind, how, entry;
    QByteArray bytes = {}; // as the device received them
    QString recData = {};  // what the device's answer added to the box
    QStringList messages = {};
    QStringList panel2 = {}; // every text panel 2 was given
    QStringList panel1 = {}; // at receipt, afterwards
    int transmitting = 1;
    bool ended = false; // by a failure of the link
};

} // namespace

Q_DECLARE_METATYPE(Send)

class LinkTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        SetPauseTimeScale(100);
        SetLocalNowSource([] { return pinnedNow; });
    }

    // Panel 1 texts the live links below cannot show on demand.
    void statusPanelTexts_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("transmitting");
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("text");
        const QString restart = QStringLiteral("Error! Restart of program is required for IP communications.");
        QTest::newRow("2") << 0 << 0 << 2 << "Listening";
        QTest::newRow("3") << 0 << 0 << 3 << "Connection pending";
        QTest::newRow("4") << 0 << 0 << 4 << "Resolving Host";
        QTest::newRow("5") << 0 << 0 << 5 << "Host resolved";
        QTest::newRow("6") << 0 << 1 << 6 << "Connecting to 10.0.0.7";
        QTest::newRow("8") << 0 << 0 << 8 << "Peer is closing the connection";
        QTest::newRow("9") << 0 << 0 << 9 << restart;
        QTest::newRow("beyond 9") << 0 << 0 << 12 << restart;
        QTest::newRow("serial, whatever the socket") << 2 << 1 << 7 << "Port 2 Closed";
        QTest::newRow("udp idle") << -1 << 0 << 1 << "Open Connection";
    }
    void statusPanelTexts()
    {
        QFETCH(int, port);
        QFETCH(int, transmitting);
        QFETCH(int, state);
        QFETCH(QString, text);
        QCOMPARE(LinkStatusText(qint16(port), transmitting, false, state, QStringLiteral("10.0.0.7")), text);
    }

    void arrival_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("announced");
        QTest::addColumn<QTime>("time");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("invalid");
        const QTime t = pinnedNow.time();
        QTest::newRow("line") << QByteArray("A\r\n") << 3 << t << "A<0d13><0d10>\r\n45296.13\r\n" << false;
        QTest::newRow("edges") << QByteArray(" }~\x7f\xc8\x1f", 6) << 6 << t
                               << " }<0d126><0d127><0d200><0d31>\r\n45296.13\r\n"
                               << false;
        QTest::newRow("nul") << QByteArray("\0<>", 3) << 3 << t << "<0d0><>\r\n45296.13\r\n" << false;
        QTest::newRow("nothing") << QByteArray() << 0 << t << "" << false;
        QTest::newRow("short read") << QByteArray("AB") << 4 << t << "AB" << true;
        QTest::newRow("only the announced bytes") << QByteArray("ABC") << 2 << t << "AB\r\n45296.13\r\n" << false;
        QTest::newRow("midnight") << QByteArray("x") << 1 << QTime(0, 0) << "x\r\n0.00\r\n" << false;
        QTest::newRow("hundredths rounded") << QByteArray("x") << 1 << QTime(0, 0, 1, 5) << "x\r\n1.01\r\n" << false;
        QTest::newRow("last hundredth") << QByteArray("x") << 1 << QTime(23, 59, 59, 994) << "x\r\n86399.99\r\n"
                                        << false;
        // Only the newest bytes of a huge arrival are formatted; the box
        // must read as if all of it had been.
        QByteArray huge;
        for (int i = 0; i < 100000; ++i)
            huge += i < 60000 ? char(i * 7 % 256) : 'x';
        QTest::newRow("huge") << huge << int(huge.size()) << t << ReceivedText(huge, huge.size(), t).text << false;
    }
    void arrival()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, announced);
        QFETCH(QTime, time);
        QFETCH(QString, shown);
        QFETCH(bool, invalid);
        SetLocalNowSource([time] { return QDateTime(pinnedNow.date(), time); });
        Fixture f;
        FakeSocket socket;
        f.ws.link().useServices(f.ws.link().builtinSerial(), socket);
        f.ws.setBox(Box::RecData, QStringLiteral("before\r\n"));
        socket.toReceive = data;
        f.ws.link().WskMain_DataArrival(announced);
        QCOMPARE(f.ws.box(Box::RecData), AppendBounded(QStringLiteral("before\r\n"), shown));
        QCOMPARE(f.prompter.messageTexts(),
                 invalid ? QStringList{QStringLiteral("Error due to Invalid Reception")} : QStringList());
        for (const auto &s : std::as_const(f.prompter.shown))
            QCOMPARE(s.title, QStringLiteral("Telvaro"));
    }

    void recDataBound_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("arrival");
        QTest::addColumn<QString>("result");
        const QString line = QStringLiteral("ab\r\n");
        QTest::newRow("fits") << "old\r\n" << line << "old\r\nab\r\n";
        QTest::newRow("exactly full") << QString(16, u'o') << line << QString(16, u'o') + line;
        QTest::newRow("drops to a near line start")
            << QStringLiteral("XXXXXXXX\r\n456789012345\r\n") << line << "456789012345\r\nab\r\n";
        QTest::newRow("line start too far") << "XXXXoooooo\r\nxxxxxxxx" << line << "oooooo\r\nxxxxxxxxab\r\n";
        QTest::newRow("arrival alone too long") << "old" << QString(25, u'n') << QString(20, u'n');
    }
    void recDataBound()
    {
        QFETCH(QString, box);
        QFETCH(QString, arrival);
        QFETCH(QString, result);
        QCOMPARE(AppendBounded(box, arrival, 20), result);
    }

    void communicationMenu_data()
    {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QVariantList>("answers"); // a null answer cancels
        QTest::addColumn<QString>("link");         // port|address|IP port|baud afterwards
        QTest::addColumn<QStringList>("messages");
        const QString unchanged = QStringLiteral("1|127.0.0.1|3001| 19200");
        const QStringList none;
        const QStringList refused{"The port must be a number from -32768 to 32767."};
        const QVariant cancel;
        // Letters read as 0, halves round to even.
        for (const auto &[answer, port] :
             {std::pair{"0", "0"}, {"-1", "-1"}, {"COM", "0"}, {"2.5", "2"}, {"3.5", "4"}, {"32767", "32767"}})
            QTest::addRow("port %s", answer)
                << "port" << QVariantList{answer} << QStringLiteral("%1|127.0.0.1|3001| 19200").arg(port) << none;
        QTest::newRow("port empty") << "port" << QVariantList{""} << unchanged << none;
        QTest::newRow("port cancelled") << "port" << QVariantList{cancel} << unchanged << none;
        QTest::newRow("port above 16 bits") << "port" << QVariantList{"40000"} << unchanged << refused;
        QTest::newRow("port below 16 bits") << "port" << QVariantList{"-32769"} << unchanged << refused;
        QTest::newRow("ip both") << "ip" << QVariantList{"10.1.2.3", "4001"} << "1|10.1.2.3|4001| 19200" << none;
        QTest::newRow("ip as typed") << "ip" << QVariantList{" sign.local ", "x"} << "1| sign.local |x| 19200" << none;
        QTest::newRow("ip port kept") << "ip" << QVariantList{"10.1.2.3", ""} << "1|10.1.2.3|3001| 19200" << none;
        QTest::newRow("ip port cancelled")
            << "ip" << QVariantList{"10.1.2.3", cancel} << "1|10.1.2.3|3001| 19200" << none;
        QTest::newRow("ip empty") << "ip" << QVariantList{""} << unchanged << none;
        QTest::newRow("ip cancelled") << "ip" << QVariantList{cancel} << unchanged << none;
        QTest::newRow("baud 9600") << "baud" << QVariantList{"9600"} << "1|127.0.0.1|3001| 9600" << none;
        QTest::newRow("baud blanks") << "baud" << QVariantList{"  4800.0"} << "1|127.0.0.1|3001| 4800" << none;
        // A rate the port cannot take changes nothing, silently.
        for (const char *rate : {"0", "", "12345", "-9600", "9600.5", "fast"})
            QTest::addRow("baud \"%s\"", rate) << "baud" << QVariantList{rate} << unchanged << none;
        QTest::newRow("baud cancelled") << "baud" << QVariantList{cancel} << unchanged << none;
        QTest::newRow("menu disabled") << "disabled" << QVariantList{"0"} << unchanged << none;
    }
    void communicationMenu()
    {
        QFETCH(QString, menu);
        QFETCH(QVariantList, answers);
        QFETCH(QString, link);
        QFETCH(QStringList, messages);
        static const QMap<QString, QList<QStringList>> prompts{
            {"port",
             {{"Select Serial Port\r\nPort 0 Selects TCP Communication\r\nPort -1 Selects UDP Communication",
               "Port Selection", "1"}}},
            {"ip", {{"Enter IP Address", "IP Entry", "127.0.0.1"}, {"Enter IP Port", "IP Entry", "3001"}}},
            {"baud", {{"Enter Baud Rate", "Baud", " 19200"}}}};
        Fixture f;
        for (const QVariant &a : answers)
            a.isNull() ? f.prompter.cancelInput() : f.prompter.type(a.toString());
        const bool disabled = menu == QLatin1String("disabled");
        f.ws.menus().setEnabled(Item::MnuCommunication, !disabled);
        for (const auto &[name, click] : {std::pair{"port", &MnuComSetPort_Click}, std::pair{"ip", &MnuComSetIP_Click},
                                          std::pair{"baud", &MnuComSetBaud_Click}})
            if (disabled || menu == QLatin1String(name))
                click(f.ws);
        QCOMPARE(QStringLiteral("%1|%2|%3|%4")
                     .arg(f.ws.linkSettings().value().PortNumber)
                     .arg(f.ws.linkSettings().value().IpAddress, f.ws.linkSettings().value().IpPort,
                          f.ws.linkSettings().value().BaudText),
                 link);
        QList<QStringList> inputs;
        for (const auto &s : std::as_const(f.prompter.shown))
            if (s.kind == Shown::Input)
                inputs.append({s.text, s.title, s.defaultAnswer});
        // One prompt per answer (the IP port only after an address); none if disabled.
        QCOMPARE(inputs, prompts.value(menu).mid(0, answers.size()));
        QCOMPARE(f.prompter.messageTexts(), messages);
    }

    void quickSend_data()
    {
        QTest::addColumn<Send>("s");
        const QString answer = QStringLiteral("A<0d13><0d10>\r\n45296.13\r\n"), twice = "B\r\n45296.13\r\n";
        auto sent = [](const QString &text) { return QStringList{QString(), text, "No Traffic"}; };
        const QStringList noComms{errorGoingIntoRun}, noTraffic{"No Traffic"}, closed{"", "No open connection"};
        const QStringList unable9{"Unable to connect!  State = 9"}, unable6{"Unable to connect!  State = 6"};
        const QStringList portOpen{"Port 3 Open", "Port 3 Closed"}, udpSend(2, "UDP Send to 127.0.0.1");
        const QStringList peerClosing{"Peer is closing the connection", "No open connection"};
        QList<Send> sends{
            {"tcp by name", "tcp", "localhost", "by name", "by name", answer, {}, sent("by name")},
            {"udp by name", "udp", "localhost", "by name", "by name", answer, {}, sent("by name")},
            {"tcp answer while shown", "tcp", "slow box", "ask", "ask", answer + twice, {}, sent("ask")},
            {"udp answer while shown", "udp", "slow box", "ask", "ask", answer + twice, {}, sent("ask")},
            {"missing serial device", "pty", "missing", "x", {}, {}, noComms, noTraffic},
            {"escape out of range", "tcp", "", "A<1234>", {}, {}, noComms, noTraffic, {}, 0},
            {"ip port not a number", "tcp", "port abc", "x", {}, {}, noComms, noTraffic},
            {"udp port above 16 bits", "udp", "port 70000", "x", {}, {}, noComms, noTraffic},
            {"refused", "tcp", "refused", "x", {}, {}, unable9, {}, closed},
            {"never connects", "tcp", "stalled", "x", {}, {}, unable6, {}, closed},
            {"socket error", "tcp", "error", "x", "x", {}, {}, sent("x"), {}, 0, true},
            {"data entry in the hold", "tcp", "data entry", "first", "first", {}, {}, sent("first"), {}, 0},
            {"udp port -2", "udp", "-2", "x", "x", answer, {}, sent("x"), {"Open Connection", "No open connection"}},
            {"tcp reset after receipt", "tcp", "reset", "going", "going", {}, {}, sent("going"), peerClosing},
            {"tcp close after receipt", "tcp", "close", "going", "going", {}, {}, sent("going"), peerClosing},
            // How far this one gets depends on when the close is seen.
            {"tcp close on connect", "tcp", "close early", "going"},
            {"device vanishes", "pty", "vanish", "going", "going", {}, {}, sent("going"), portOpen, 0, true},
            {"udp, nobody listening", "udp", "gone", "going", {}, {}, {}, sent("going")},
        };
        const QByteArray escaped("\x02\x41\x1b\r\r~\0", 7);
        const QByteArray stamped = "T=" + TimeTokenText(pinnedNow) + "!";
        for (const auto &[kind, live] :
             {std::pair<QString, QStringList>{"tcp", {"Connected to 127.0.0.1", "No open connection"}},
              {"udp", udpSend},
              {"pty", portOpen}}) {
            // Serial bytes from the device are for the controller transfers.
            const QString shown = kind == QLatin1String("pty") ? QString() : answer;
            const QString escapes = QStringLiteral("<0x02>A<&H1B><0013><0x0d>~<0x00>");
            sends.append(
                {kind + " escapes", kind, "", escapes, escaped, shown, {}, sent(QString::fromLatin1(escaped)), live});
            sends.append(
                {kind + " code page", kind, "", "\u20ac<0xFF>", "\x80\xff", shown, {}, sent("\u20ac\u00ff"), live});
            sends.append({kind + " time", kind, "", "T=<T>!", stamped, shown, {}, sent(stamped), live});
            sends.append({kind + " empty", kind, "", "", {}, {}, {}, noTraffic, {"", live[1]}});
        }
        for (const Send &s : std::as_const(sends))
            QTest::newRow(qPrintable(s.name)) << s;
    }
    void quickSend()
    {
        QFETCH(Send, s);
        auto is = [&s](const char *how) { return s.how == QLatin1String(how); };
        const bool faked = is("stalled") || is("error");
        SetPauseTimeScale(20);
        Fixture f;
        FakeSocket fake;
        fake.connects = is("error");
        f.use(s.kind, is("missing") ? f.home.path() + QStringLiteral("/no-such-tty") : QString());
        if (is("localhost"))
            f.ws.linkSettings().setIpAddress(s.how);
        if (is("-2"))
            f.ws.linkSettings().setPortNumber(-2);
        if (s.how.startsWith(QLatin1String("port ")))
            f.ws.linkSettings().setIpPort(s.how.mid(5));
        if (is("gone"))
            f.ws.linkSettings().setIpPort(QString::number(UdpPeer().port()));
        if (is("refused"))
            f.tcp.stopListening();
        if (faked)
            f.ws.link().useServices(f.ws.link().builtinSerial(), fake);

        QString panel1AtReceipt;
        QByteArray received; // by the device
        auto receipt = [&](const QByteArray &bytes) {
            received += bytes;
            panel1AtReceipt = f.panel1();
            if (!is("data entry"))
                return;
            f.ws.MnuModeData_Click();
            // The first send still holds the link: a second one must not
            // start, and its button shows so.
            QVERIFY(f.linkClosed() && f.ws.transfer().transmitting() == 0 &&
                    !f.ws.menus().item(Item::CmdQuickSend).enabled);
            f.quickSend(QStringLiteral("second"));
        };
        f.tcp.onReceive = [&](TcpPeer &p, const QByteArray &c) {
            if (c.isEmpty() != is("close early"))
                return;
            receipt(c);
            if (!is("reset") && !s.how.startsWith(QLatin1String("close")))
                return p.reply("A\r\n");
            p.dropConnection(is("reset"));
            // Panel 1 once the link has seen the device go.
            QTimer::singleShot(50, &f.ws, [&] { panel1AtReceipt = f.panel1(); });
        };
        f.udp.onReceive = [&](UdpPeer &p, const QByteArray &d) {
            receipt(d);
            p.reply("A\r\n");
        };
        f.pty.onReceive = [&](PtyPeer &p, const QByteArray &c) {
            receipt(c);
            QCOMPARE(p.outputSpeed(), unsigned(B19200));
            is("vanish") ? p.vanish() : p.reply("A\r\n");
        };
        f.ws.status().setText(2, QStringLiteral("earlier"));
        f.panel2.clear();
        f.ws.setBox(Box::RecData, QStringLiteral("typed\r\n"));
        // What arrives while a handler of the last arrival waits may not be lost.
        QObject::connect(&f.ws.entry(), &EntryPanel::boxChanged, &f.ws, [&, waited = false](Box box) mutable {
            if (!is("slow box") || box != Box::RecData || std::exchange(waited, true))
                return;
            s.kind == QLatin1String("udp") ? f.udp.reply("B") : f.tcp.reply("B");
            Pause(1000);
        });
        QElapsedTimer clock;
        clock.start();
        f.quickSend(s.entry);

        QVERIFY(clock.elapsed() < 5000);
        if (is("stalled")) // twenty waits of 500 ms, 0.5 s on the test clock
            QVERIFY(clock.elapsed() >= 495);
        QVERIFY(f.ws.menus().item(Item::CmdQuickSend).enabled && f.ws.menus().item(Item::MnuMode).enabled &&
                f.ws.menus().item(Item::MnuCommunication).enabled);
        QVERIFY(f.linkClosed());
        QVERIFY(!f.ws.operations().holdsLink());
        QCOMPARE(f.ws.box(Box::RecData), QStringLiteral("typed\r\n") + s.recData);
        for (const auto &shown : std::as_const(f.prompter.shown)) {
            QCOMPARE(shown.title, QStringLiteral("Telvaro"));
            QCOMPARE(shown.buttons, Prompter::Buttons::Ok);
        }
        if (!is("close early")) {
            QCOMPARE(f.prompter.messageTexts(), s.messages);
            QCOMPARE(f.panel2, s.panel2);
            QCOMPARE(f.ws.transfer().transmitting(), s.transmitting);
            QCOMPARE(f.failures.size(), s.ended ? 1 : 0);
            if (faked)
                received = fake.sent;
            QTRY_COMPARE(received, s.bytes);
            QTest::qWait(20);
            QCOMPARE(received, s.bytes);
            QVERIFY(f.udp.datagrams.size() <= 1);
        }
        if (faked && s.ended)
            QCOMPARE(f.failures, QStringList{QStringLiteral("Connection reset by peer")});
        if (!s.panel1.isEmpty()) {
            QCOMPARE(panel1AtReceipt, s.panel1[0]);
            QCOMPARE(f.panel1(), s.panel1[1]);
        }
        if (s.messages == QStringList{errorGoingIntoRun})
            QCOMPARE(f.tcp.connections, 0);
        if (s.kind == QLatin1String("tcp") && (s.how.isEmpty() || is("data entry")) && s.messages.isEmpty()) {
            QTRY_COMPARE(f.tcp.disconnections, 1);
            QCOMPARE(f.tcp.connections, 1); // opened even for nothing to send, and only once
            // The link stays open two seconds after the send, 0.1 s on the test clock.
            const qint64 held = f.tcp.disconnectedAt - f.tcp.receivedAt;
            if (s.how.isEmpty() && !s.bytes.isEmpty())
                QVERIFY2(held >= 95 && held < 2000, qPrintable(QString::number(held)));
        }
        if (s.how.isEmpty())
            return;
        // The link is usable again afterwards.
        TcpPeer next;
        f.ws.link().useServices(f.ws.link().builtinSerial(), f.ws.link().builtinSocket());
        f.ws.linkSettings().setPortNumber(0);
        f.ws.linkSettings().setIpPort(QString::number(next.port()));
        f.quickSend(QStringLiteral("again"));
        QTRY_COMPARE(next.received, QByteArray("again"));
    }

    void tcpSendWait_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("size");
        QTest::newRow("device resets") << "reset" << 32 * 1024 * 1024;
        QTest::newRow("data entry") << "data entry" << 32 * 1024 * 1024;
        QTest::newRow("nothing to send") << "" << 0;
    }
    void tcpSendWait()
    {
        QFETCH(QString, how);
        QFETCH(int, size);
        Fixture f;
        f.tcp.stallReading();
        f.use(QStringLiteral("tcp"));
        Link &link = f.ws.link();
        QVERIFY(link.OpenLink());
        QVERIFY(link.CheckLink());
        SetPauseTimeScale(1); // the send wait's own limit is 30 s now
        QTimer::singleShot(100, &f.ws, [&] {
            if (how == QLatin1String("reset"))
                f.tcp.dropConnection(true);
            else if (how == QLatin1String("data entry"))
                f.ws.MnuModeData_Click();
        });
        QElapsedTimer clock;
        clock.start();
        const SendResult shown = link.SendOnLink(QByteArray(size, 'b'));
        QCOMPARE(shown.status, SendResult::Status::Sent);
        QCOMPARE(shown.shown.size(), size);
        if (size == 0) {
            QVERIFY(clock.elapsed() < 1000);
            QCOMPARE(link.SendDone, qint16(1));
        } else { // it waited for the stalled device, and stopped with it
            QVERIFY2(clock.elapsed() >= 90 && clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
            QVERIFY(link.socket().state() != SocketState::Connected);
        }
    }
};

QTEST_GUILESS_MAIN(LinkTest)
#include "tst_link.moc"
