// Quick sends and runs over loopback TCP, UDP and a real pseudo-terminal: the
// bytes, the hold, status panels, messages, received data, devices that go
// away midway, the menu states around a run.
#include "app/communication.h"
#include "base/boundedwriter.h"
#include "base/clock.h"
#include "base/wait.h"
#include "codec/escapes.h"
#include "datatable.h"
#include "founddevices.h"
#include "link/link.h"
#include "link/linkrules.h"
#include "link/serialdevices.h"
#include "link/transcript.h"
#include "linkedworkspace.h"
#include "peers.h"

#include <QSerialPort>
#include <QtTest>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>

using namespace telvaro;
using namespace telvaro::test;
using Box = Workspace::Box;
using Ending = OperationOutcome::Ending;

namespace {

const QDateTime pinnedNow(QDate(2024, 3, 5), QTime(12, 34, 56, 130));
const QString answer = QStringLiteral("A<0d13><0d10>\r\n45296.13\r\n"); // "A\r\n" from the device

// A socket for what loopback cannot produce on demand: a connection that
// never completes, a failure of an established connection, a short read.
class FakeSocket : public SocketService {
public:
    int code = SocketState::Closed;
    bool connects = false; // and then fails once the first send is out
    QByteArray sent;
    QByteArray toReceive;
    std::function<void()> whileConnecting;

    bool setProtocol(Protocol) override { return code == SocketState::Closed; }
    void setRemoteHost(const QString &) override {}
    void setRemotePort(quint16) override {}
    void connectToRemote() override
    {
        code = connects ? SocketState::Connected : SocketState::Connecting;
        if (whileConnecting)
            QTimer::singleShot(0, this, whileConnecting);
    }
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

// What the device does with what it receives: answers "A\r\n" (twice: and "B" while the box shows
// the first); data entry and another send; resets, closes, vanishes or never reads; or the
// connection is refused, never made, fails after the send, or nobody is at the UDP port.
// clang-format off
enum class Device { Replies, RepliesTwice, DataEntry, Resets, Closes, Vanishes, NeverReads, Refuses, Stalls, FailsAfterSend,
                    Gone };
// clang-format on

struct Fixture : LinkedWorkspace {
    FakeSocket fake;
    TcpPeer tcp;
    UdpPeer udp;
    PtyPeer pty;
    QStringList panel2; // every text panel 2 was given
    int failures = 0;
    QList<QByteArray> received; // by the device, one entry per arrival
    QString panel1AtReceipt;
    std::function<void()> afterReceipt;

    // Port 0 TCP, below 0 UDP, above 0 serial: port 3 is the peer's terminal.
    explicit Fixture(int port = -1)
    {
        linkTo(qint16(port), port < 0 ? udp.port() : tcp.port());
        AssignSerialDevice(3, pty.devicePath());
        ws.linkSettings().setBaudText(QStringLiteral(" 19200"));
        ws.status().setText(2, QStringLiteral("earlier"));
        ws.setBox(Box::RecData, QStringLiteral("typed\r\n"));
        QObject::connect(&ws.status(), &StatusPanels::changed, &ws, [this](int p) {
            if (p == 2)
                panel2.append(ws.status().text(2));
        });
        QObject::connect(&ws.link(), &Link::linkFailed, &ws, [this] { ++failures; });
    }
    bool linkClosed() { return !ws.link().serial().isOpen() && ws.link().socket().state() == SocketState::Closed; }
    QString panel1()
    {
        ws.link().TmrCheck_Timer();
        return ws.status().text(1);
    }
    void behave(Device device)
    {
        if (device == Device::Refuses)
            tcp.stopListening();
        if (device == Device::NeverReads)
            tcp.stallReading();
        if (device == Device::Gone)
            ws.linkSettings().setIpPort(QString::number(UdpPeer().port()));
        if (device == Device::Stalls || device == Device::FailsAfterSend) {
            fake.connects = device == Device::FailsAfterSend;
            ws.link().useServices(ws.link().builtinSerial(), fake);
        }
        if (device == Device::RepliesTwice) // what arrives while a handler of the last arrival waits is kept
            QObject::connect(&ws.entry(), &EntryPanel::boxChanged, &ws, [this, waited = false](Box box) mutable {
                if (box != Box::RecData || std::exchange(waited, true))
                    return;
                tcp.connections ? tcp.reply("B") : udp.reply("B");
                Pause(1000);
            });
        tcp.onReceive = [this, device](TcpPeer &p, const QByteArray &c) {
            if (c.isEmpty())
                return;
            receipt(c, device);
            if (device != Device::Resets && device != Device::Closes)
                return p.reply("A\r\n");
            p.dropConnection(device == Device::Resets);
            // Panel 1 once the link has seen the device go.
            QTimer::singleShot(50, &ws, [this] { panel1AtReceipt = panel1(); });
        };
        udp.onReceive = [this, device](UdpPeer &p, const QByteArray &d) {
            receipt(d, device);
            p.reply("A\r\n");
        };
        pty.onReceive = [this, device](PtyPeer &p, const QByteArray &c) {
            receipt(c, device);
            QCOMPARE(p.outputSpeed(), unsigned(B19200));
            device == Device::Vanishes ? p.vanish() : p.reply("A\r\n");
        };
    }
    void receipt(const QByteArray &bytes, Device device)
    {
        received << bytes;
        panel1AtReceipt = panel1();
        if (afterReceipt)
            afterReceipt();
        if (device != Device::DataEntry)
            return;
        ws.MnuModeData_Click();
        // The first send still holds the link: a second one must not start,
        // and its button shows so.
        QVERIFY(linkClosed() && ws.transfer().transmitting() == 0 && !ws.menus().item(Item::CmdQuickSend).enabled);
        quickSend(QStringLiteral("second"));
    }
    OperationOutcome quickSend(const QString &entry)
    {
        ws.setBox(Box::Entry, entry);
        return ws.CmdQuickSend_Click();
    }
    // The link works for the next quick send.
    bool sendsAgain()
    {
        TcpPeer next;
        SetPauseTimeScale(100);
        ws.link().useServices(ws.link().builtinSerial(), ws.link().builtinSocket());
        linkTo(0, next.port());
        quickSend(QStringLiteral("again"));
        return QTest::qWaitFor([&next] { return next.received == "again"; }, 2000);
    }
};

using Arrival = std::tuple<QByteArray, int, QTime, QString>; // bytes, announced, time, shown

// One quick send: the link, what the device does, the bytes it got, what its answers added to the
// box, the message, every text of panel 2, panel 1 at receipt and after (joined by "|"; empty: not
// checked), Transmitting and link failures after, its least time, another port or terminal, the address.
struct Send {
    int port;
    QString entry;
    Device device;
    QByteArray bytes;
    QString recData, message, panel2, panel1;
    int transmitting, failures, minMs = 0;
    QString other = {}, address = QStringLiteral("127.0.0.1");
};

// One run: the table, link and device, what the operator does once `at` frames came (later: 20 ms
// after), what the device got, the ending, the message, another port, its least and most time.
struct Run {
    QList<QByteArray> texts;
    qint32 interval;
    QString repeat; // null: repeat off
    int port;
    Device device;
    enum { None, DataEntry, DataEntryLater, DataEntryConnecting, Append, Clear } action;
    int at;
    QList<QByteArray> received;
    Ending ending;
    int framesNotSent;
    bool linkDropped;
    QString message, other = {};
    int minMs = 0, maxMs = 60000;
};

// What arrives at the reading end of a pipe or FIFO until stop() finds it
// quiet: read on a thread of its own, so the writer never waits on the test.
class PipeReader {
public:
    explicit PipeReader(int fd) : m_fd(fd), m_thread([this](std::stop_token stop) { read(stop); }) {}
    QByteArray stop()
    {
        m_thread.request_stop();
        m_thread.join();
        ::close(m_fd);
        return m_got;
    }

private:
    void read(const std::stop_token &stop)
    {
        char chunk[65536];
        pollfd p{m_fd, POLLIN, 0};
        // Until the end of the data, or a quiet look after the stop.
        for (;;) {
            const int ready = ::poll(&p, 1, 200);
            if (ready <= 0 && stop.stop_requested())
                return;
            const auto n = ready > 0 ? ::read(m_fd, chunk, sizeof chunk) : -1;
            if (n == 0)
                return;
            m_got.append(chunk, qMax<qsizetype>(n, 0));
        }
    }
    const int m_fd;
    QByteArray m_got;
    std::jthread m_thread;
};

} // namespace

class LinkTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        found.list.clear();
        found.folder.clear();
        SetPauseTimeScale(20);
        SetLocalNowSource([] { return pinnedNow; });
    }
    void cleanupTestCase() { SetPauseTimeScale(1); }

    // Received bytes as the box shows them: what is announced, in decimal
    // escapes, with the seconds since midnight in hundredths.
    void arrival_data()
    {
        QTest::addColumn<Arrival>("row");
        const QTime t = pinnedNow.time();
        QTest::newRow("edges") << Arrival{QByteArray(" }~\x7f\xc8\x1f\0<>", 9), 9, t,
                                          " }<0d126><0d127><0d200><0d31><0d0><>\r\n45296.13\r\n"};
        QTest::newRow("short read") << Arrival{"AB", 4, t, "AB"};
        QTest::newRow("only the announced bytes") << Arrival{"ABC", 2, t, "AB\r\n45296.13\r\n"};
        QTest::newRow("midnight") << Arrival{"x", 1, QTime(0, 0), "x\r\n0.00\r\n"};
        QTest::newRow("hundredths rounded") << Arrival{"x", 1, QTime(0, 0, 1, 5), "x\r\n1.01\r\n"};
        QTest::newRow("last hundredth") << Arrival{"x", 1, QTime(23, 59, 59, 994), "x\r\n86399.99\r\n"};
        // Only the newest bytes of a huge arrival are formatted; the box
        // must read as if all of it had been: the newest 32,768 characters.
        QByteArray huge;
        for (int i = 0; i < 100000; ++i)
            huge += i < 60000 ? char(i * 7 % 256) : 'x';
        QTest::newRow("huge") << Arrival{huge, int(huge.size()), t, QString(32756, u'x') + "\r\n45296.13\r\n"};
    }
    void arrival()
    {
        QFETCH(Arrival, row);
        const auto &[data, announced, time, shown] = row;
        SetLocalNowSource([time = time] { return QDateTime(pinnedNow.date(), time); });
        Fixture f;
        f.ws.link().useServices(f.ws.link().builtinSerial(), f.fake);
        f.fake.toReceive = data;
        f.ws.link().WskMain_DataArrival(announced);
        QCOMPARE(f.ws.box(Box::RecData), AppendBounded(QStringLiteral("typed\r\n"), shown));
        const bool shortRead = data.size() < announced;
        QCOMPARE(f.prompter.messageTexts(), shortRead ? QStringList{"Error due to Invalid Reception"} : QStringList());
    }

    // The Communication prompts, their texts and defaults, and what each
    // answer leaves (port|address|IP port|baud): letters read as 0, halves
    // round to even, an empty or cancelled answer or an unusable rate
    // changes nothing.
    void communicationMenu_data()
    {
        columns<QString, QVariantList, QString, QString>({"menu", "answers", "link", "message"}); // null: cancel
        const QString same = "1|127.0.0.1|3001| 19200", refused = "The port must be a number from -32768 to 32767.";
        const QVariant cancel;
        row("port letters", "port", QVariantList{"COM"}, "0|127.0.0.1|3001| 19200", "");
        row("port cancelled", "port", QVariantList{cancel}, same, "");
        row("port above 16 bits", "port", QVariantList{"32767.5"}, same, refused);
        row("ip port cancelled", "ip", QVariantList{"10.1.2.3", cancel}, "1|10.1.2.3|3001| 19200", "");
        row("ip empty", "ip", QVariantList{""}, same, "");
        row("baud blanks", "baud", QVariantList{"  4800.0"}, "1|127.0.0.1|3001| 4800", "");
        row("baud unusable", "baud", QVariantList{"12345"}, same, "");
        row("menu disabled", "disabled", QVariantList{"0"}, same, "");
    }
    void communicationMenu()
    {
        const auto [menu, answers, link, message] =
            fetch<QString, QVariantList, QString, QString>({"menu", "answers", "link", "message"});
        const QMap<QString, QList<QStringList>> prompts{
            {"port",
             {{"Select Serial Port\r\nPort 0 Selects TCP Communication\r\nPort -1 Selects UDP Communication",
               "Port Selection", "1"}}},
            {"ip", {{"Enter IP Address", "IP Entry", "127.0.0.1"}, {"Enter IP Port", "IP Entry", "3001"}}},
            {"baud", {{"Enter Baud Rate", "Baud", " 19200"}}}};
        LinkedWorkspace f;
        f.linkTo(1, 3001);
        f.ws.linkSettings().setBaudText(QStringLiteral(" 19200"));
        for (const QVariant &a : answers)
            a.isNull() ? f.prompter.cancelInput() : f.prompter.type(a.toString());
        const bool disabled = menu == QLatin1String("disabled");
        f.ws.menus().setEnabled(Item::MnuCommunication, !disabled);
        for (const auto &[name, click] : {std::pair{"port", &MnuComSetPort_Click}, std::pair{"ip", &MnuComSetIP_Click},
                                          std::pair{"baud", &MnuComSetBaud_Click}})
            if (disabled || menu == QLatin1String(name))
                click(f.ws);
        const LinkSettings now = f.ws.linkSettings().value();
        QCOMPARE(QStringLiteral("%1|%2|%3|%4").arg(now.PortNumber).arg(now.IpAddress, now.IpPort, now.BaudText), link);
        QList<QStringList> inputs;
        for (const auto &s : std::as_const(f.prompter.shown))
            if (s.kind == Shown::Input)
                inputs.append({s.text, s.title, s.defaultAnswer});
        // One prompt per answer (the IP port only after an address); none if disabled.
        QCOMPARE(inputs, prompts.value(menu).mid(0, answers.size()));
        QCOMPARE(f.prompter.messageTexts().join(QString()), message);
    }

    // The received-data box keeps the newest text within its bound, from
    // the start of a line when one is near.
    void receivedBoxKeepsTheNewest_data()
    {
        columns<QString, QString, QString>({"box", "arrival", "kept"});
        row("fits", "ab", "cd", "abcd");
        row("oldest dropped", "0123456789ABCDEFGHIJ", "xy", "23456789ABCDEFGHIJxy");
        row("from a line start", "a\r\n" + QString(16, u'b'), "cc", QString(16, u'b') + "cc");
    }
    void receivedBoxKeepsTheNewest()
    {
        const auto [box, arrival, kept] = fetch<QString, QString, QString>({"box", "arrival", "kept"});
        QCOMPARE(AppendBounded(box, arrival, 20), kept);
    }

    void quickSend_data()
    {
        const QString noComms = QStringLiteral("Error Going into Run\r\nCommunications not available");
        const QString entry = "<0x02>A<&H1B><0013><0x0d>~<0x00>\u20ac<0xFF>T=<T>!";
        const QByteArray bytes = QByteArray("\x02\x41\x1b\r\r~\0\x80\xffT=", 11) + TimeTokenText(pinnedNow) + "!";
        const QString sent = "|" + QString::fromLatin1(bytes).replace(u'\x80', u'\u20ac') + "|No Traffic";
        const QString tcp = "Connected to 127.0.0.1|No open connection",
                      udp = "UDP Send to 127.0.0.1|UDP Send to 127.0.0.1", pty = "Port 3 Open|Port 3 Closed",
                      closed = "|No open connection", closing = "Peer is closing the connection|No open connection",
                      x = "|x|No Traffic", twice = answer + "B\r\n45296.13\r\n",
                      unable = "Unable to connect!  State = ", why = "\r\nThe connection failed: ",
                      busy = "Another operation is using the link.\r\nWait for it to end, or choose Data Entry.";
        const Device r = Device::Replies;
        // clang-format off
        const std::pair<const char *, Send> rows[] = {
            {"tcp", {0, entry, r, bytes, answer, "", sent, tcp, 1, 0}},
            {"udp", {-1, entry, r, bytes, answer, "", sent, udp, 1, 0}},
            // Serial bytes from the device are for the controller transfers.
            {"pty", {3, entry, r, bytes, "", "", sent, pty, 1, 0}},
            // The link opens even for nothing to send.
            {"tcp empty", {0, "", r, "", "", "", "No Traffic", "|No open connection", 1, 0}},
            {"udp empty", {-1, "", r, "", "", "", "No Traffic", "|UDP Send to 127.0.0.1", 1, 0}},
            {"pty empty", {3, "", r, "", "", "", "No Traffic", "|Port 3 Closed", 1, 0}},
            {"tcp by name", {0, "x", r, "x", answer, "", x, "Connected to localhost|No open connection", 1, 0, 0, {},
                             "localhost"}},
            {"udp by name", {-1, "x", r, "x", answer, "", x, "UDP Send to localhost|UDP Send to localhost", 1, 0, 0, {},
                             "localhost"}},
            {"udp port -2", {-2, "x", r, "x", answer, "", x, "Open Connection|No open connection", 1, 0}},
            {"tcp answer while shown", {0, "x", Device::RepliesTwice, "x", twice, "", x, tcp, 1, 0}},
            {"udp answer while shown", {-1, "x", Device::RepliesTwice, "x", twice, "", x, udp, 1, 0}},
            // The second send, refused while the first holds the link, says so.
            {"data entry in the hold", {0, "x", Device::DataEntry, "x", "", busy, x, "", 0, 0}},
            {"missing serial device", {3, "x", r, "", "", noComms + "\r\nThe serial device /no/tty is not plugged in."
                                       "\r\nNo serial device is plugged in.", "No Traffic", "", 1, 0, 0, "/no/tty"}},
            // The text is checked before the link opens.
            {"escape out of range", {0, "A<1234>", r, "", "", noComms, "No Traffic", "", 0, 0}},
            {"ip port not a number", {0, "x", r, "", "", noComms, "No Traffic", "", 1, 0, 0, "abc"}},
            // The IP port's limits, after rounding; and a host that cannot be found.
            {"tcp port above 16 bits", {0, "x", r, "", "", noComms, "No Traffic", "", 1, 0, 0, "65536"}},
            {"udp port rounds to 0", {-1, "x", r, "", "", noComms, "No Traffic", "", 1, 0, 0, "0.5"}},
            {"udp port 65535", {-1, "x", r, "", "", "", x, "", 1, 0, 0, "65535"}},
            {"udp host not found", {-1, "x", r, "", "", noComms, "No Traffic", "", 1, 0, 0, {}, "no-such-host.invalid"}},
            {"tcp host not found", {0, "x", r, "", "", unable + "9" + why + "Host no-such-host.invalid not found.", "", "", 1, 0, 0, {}, "no-such-host.invalid"}},
            // A datagram larger than the system takes.
            {"udp frame refused", {-1, QString(70000, u'u'), r, "", "", noComms, "No Traffic", "", 1, 0}},
            // A failed connection says why; the traffic panel stays as it was.
            // Twenty waits of 500 ms, 0.5 s on the test clock.
            {"never connects", {0, "x", Device::Stalls, "", "", unable + "6" + why + "No answer from 127.0.0.1:PORT within 10 s.", "", closed, 1, 0, 495}},
            {"socket error", {0, "x", Device::FailsAfterSend, "x", "", "", x, "", 0, 1}},
            // A reset, even after the text went out, drops what the device had not read yet.
            {"tcp reset", {0, "x", Device::Resets, "x", "", noComms + "\r\nThe device reset the connection; anything it "
                           "had not yet read was lost.", x, closing, 1, 0}},
            {"tcp close", {0, "x", Device::Closes, "x", "", "", x, closing, 1, 0}},
            {"terminal vanishes", {3, "x", Device::Vanishes, "x", "", "", x, pty, 0, 1}},
            {"udp, nobody listening", {-1, "x", Device::Gone, "", "", "", x, "", 1, 0}},
        };
        // clang-format on
        test::rows("s", rows);
    }
    void quickSend()
    {
        QFETCH(Send, s);
        Fixture f(s.port);
        f.ws.linkSettings().setIpAddress(s.address);
        if (!s.other.isEmpty() && s.port <= 0)
            f.ws.linkSettings().setIpPort(s.other);
        if (!s.other.isEmpty() && s.port > 0)
            AssignSerialDevice(3, s.other);
        f.behave(s.device);
        f.panel2.clear();
        QElapsedTimer clock;
        clock.start();
        const OperationOutcome outcome = f.quickSend(s.entry);
        QCOMPARE(outcome.bytesNotSent, 0);
        QCOMPARE(f.panel2.count(QStringLiteral("Port Not Open")), outcome.framesNotSent);
        QVERIFY2(clock.elapsed() >= s.minMs && clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(f.settled());
        QCOMPARE(f.prompter.messageTexts().join(QString()),
                 QString(s.message).replace("PORT", f.ws.linkSettings().value().IpPort));
        for (const auto &shown : std::as_const(f.prompter.shown))
            QVERIFY(shown.title == QStringLiteral("Telvaro") && shown.buttons == Prompter::Buttons::Ok);
        QCOMPARE(f.panel2.join(u'|'), s.panel2);
        QCOMPARE(f.ws.transfer().transmitting(), s.transmitting);
        QCOMPARE(f.failures, s.failures);
        QCOMPARE(f.ws.box(Box::RecData), "typed\r\n" + s.recData);
        const auto got = [&f] { return f.received.join() + f.fake.sent; };
        QTRY_COMPARE_WITH_TIMEOUT(got().size(), s.bytes.size(), 1000); // a failure waits three times that
        QTest::qWait(20);
        QCOMPARE(got(), s.bytes);
        QVERIFY(f.udp.datagrams.size() <= 1);
        if (!s.panel1.isEmpty())
            QCOMPARE(f.panel1AtReceipt + u'|' + f.panel1(), s.panel1);
        // TCP connects once, only for a text that is good, even for nothing to send.
        const bool connectFailed = s.message.startsWith(QLatin1String("Unable")) ||
                                   s.message == QLatin1String("Error Going into Run\r\nCommunications not available");
        const int connections = s.port == 0 && !connectFailed && s.device != Device::FailsAfterSend;
        QCOMPARE(f.tcp.connections, connections);
        QTRY_COMPARE_WITH_TIMEOUT(f.tcp.disconnections, connections, 1000);
        // A device that replies saw the link held two seconds (0.1 s here).
        const qint64 held = f.tcp.disconnectedAt - f.tcp.receivedAt;
        QVERIFY2(f.tcp.receivedAt < 0 || s.device != Device::Replies || (held >= 95 && held < 2000),
                 qPrintable(QString::number(held)));
        QVERIFY(f.sendsAgain());
    }

    void runs_data()
    {
        const QString error = "Error Going into Run";
        const Device D = Device::Replies;
        const auto N = Run::None, E = Run::DataEntry, L = Run::DataEntryLater, Ap = Run::Append, Cl = Run::Clear;
        const auto Dn = Ending::Done, S = Ending::Stopped, F = Ending::Failed, CF = Ending::ConnectionFailed;
        const QList<QByteArray> e5 = {"E0", "E1", "E2", "E3", "E4"}, abc = {"A", "B", "C"};
        const QByteArray stamp = TimeTokenText(pinnedNow), big(16 << 20, 'x');
        QList<QByteArray> ab20;
        for (int i = 0; i < 20; ++i)
            ab20 += {"A", "B"};
        // clang-format off
        const std::pair<const char *, Run> rows[] = {
            {"once through", {{"E0", "E1", "E2"}, 100, {}, -1, D, N, 0, {"E0", "E1", "E2"}, Dn, 0, false, ""}},
            {"repeat from 2", {e5, 100, "2", -1, D, E, 9, e5 + e5.mid(2) + e5.mid(2, 1), S, 0, false, ""}},
            {"empty repeat caption: 0", {{"A", "B"}, 100, "", -1, D, E, 5, {"A", "B", "A", "B", "A"}, S, 0, false, ""}},
            {"repeat point past the end", {{"E0", "E1"}, 100, "9", -1, D, N, 0, {"E0", "E1"}, Dn, 0, false, ""}},
            // Events are still seen once per entry where there is no wait.
            {"zero intervals", {{"A", "B"}, 0, "0", -1, D, E, 40, ab20, S, 0, false, ""}},
            {"intervals above ten minutes", {{"A", "B"}, 600001, "0", -1, D, E, 40, ab20, S, 0, false, ""}},
            // The repeat test no longer matches, so the run ends after B.
            {"entries added are not sent", {{"A", "B"}, 100, "0", -1, D, Ap, 1, {"A", "B"}, Dn, 0, false, ""}},
            {"time token", {{"<T>|<0x54>"}, 100, {}, -1, D, N, 0, {stamp + "|T"}, Dn, 0, false, ""}},
            {"escape out of range", {{"A", "<1234>"}, 100, {}, -1, D, N, 0, {"A"}, F, 0, false, error}},
            {"repeat point below 0", {{"A", "B"}, 100, "-1", -1, D, N, 0, {"A", "B"}, F, 0, false, error}},
            {"refused", {{"A"}, 100, {}, 0, Device::Refuses, N, 0, {}, CF, 0, false, "Unable to connect!  State = 9"}},
            // A device that closes ends the run at once, and the operator is told so.
            {"tcp closed", {abc, 500, {}, 0, Device::Closes, N, 0, {"A"}, F, 0, true,
                            error + "\r\nThe device closed the connection."}},
            // A send that runs out of time on a device that does not read ends the connection: the frame
            // counts as not sent, and the run ends there.
            {"table emptied in a send", {{big, "B"}, 100, {}, 0, Device::NeverReads, Cl, 1, {}, F, 1, true,
                                         error + "\r\nThe device took no data for 30 s; the connection was ended."}},
            // Stopped while connecting: no connection had failed.
            {"data entry while connecting", {abc, 100, {}, 0, Device::Stalls, Run::DataEntryConnecting, 0, {}, S, 0,
                                             false, ""}},
            // Data entry ends the run at once: its wait (5 minutes, 3 s here) is cut short, so the
            // menus are the operator's again.
            {"data entry during a wait", {abc, 300000, {}, -1, D, L, 1, {"A"}, S, 0, false, "", {}, 0, 1500}},
        };
        // clang-format on
        test::rows("r", rows);
    }
    void runs()
    {
        QFETCH(Run, r);
        SetPauseTimeScale(100);
        Fixture f(r.port);
        f.fill(r.texts, r.interval);
        if (!r.repeat.isNull()) {
            f.ws.entry().setRepeatEnabled(true);
            f.ws.setBox(Workspace::Box::RepeatCaption, r.repeat);
        }
        if (!r.other.isEmpty())
            f.ws.linkSettings().setIpPort(r.other);
        f.behave(r.device);
        f.afterReceipt = [&f, &r] {
            // While the run goes on only data entry can be chosen.
            const MenuState &m = f.ws.menus();
            QVERIFY(m.item(Item::MnuModeRun).checked && !m.item(Item::MnuModeRun).enabled &&
                    !m.item(Item::CmdQuickSend).enabled && !m.item(Item::MnuCommunication).enabled &&
                    !m.item(Item::MnuModeData).checked && m.item(Item::MnuMode).enabled);
            if (f.received.size() != r.at)
                return;
            if (r.action == Run::DataEntry)
                f.ws.MnuModeData_Click();
            if (r.action == Run::DataEntryLater)
                QTimer::singleShot(20, &f.ws, [&f] { f.ws.MnuModeData_Click(); });
            if (r.action == Run::Append) {
                f.ws.table().AppendEntry();
                f.ws.table().SetContents(f.ws.table().UpperIndex(), 100, "NEW", "NEW", {});
            }
        };
        if (r.action == Run::DataEntryConnecting)
            f.fake.whileConnecting = [&f] { f.ws.MnuModeData_Click(); };
        if (r.action == Run::Clear)
            QTimer::singleShot(100, &f.ws, [&f] {
                f.ws.table().Clear();
                f.ws.table().RefreshGrid();
            });
        QElapsedTimer clock;
        clock.start();
        const OperationOutcome outcome = f.ws.MnuModeRun_Click();
        QVERIFY2(clock.elapsed() >= r.minMs && clock.elapsed() < r.maxMs, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(f.received, r.received);
        QCOMPARE(outcome.ending, r.ending);
        QCOMPARE(outcome.framesNotSent, r.framesNotSent);
        QCOMPARE(f.panel2.count(QStringLiteral("Port Not Open")), r.framesNotSent);
        QCOMPARE(outcome.linkDropped, r.linkDropped);
        QCOMPARE(outcome.reason.isEmpty(), (r.ending == Ending::Done && !r.linkDropped) || r.ending == Ending::Stopped);
        const QString shown = f.prompter.messageTexts().join(QString());
        QVERIFY2(r.message.isEmpty() ? shown.isEmpty() : shown.startsWith(r.message), qPrintable(shown));
        QVERIFY(f.prompter.shown.isEmpty() || f.prompter.shown[0].title == QStringLiteral("Telvaro"));
        // Data entry after a run: every command can be chosen again.
        QVERIFY(f.settled() && f.ws.transfer().transmitting() == 0 && f.ws.status().text(2) == "No Traffic");
    }

    // Devices as they are in the field: a slow serial line whose terminal
    // fills, one that never reads, a TCP device that reads steadily for
    // longer than the send limit, one that reads 7 bytes and resets, one
    // that keeps the connection open. A slow device is not a lost one; a
    // reset after the last send is a loss.
    void slowDevices_data()
    {
        columns<bool, int, QList<QByteArray>, QList<int>, double, QString>(
            {"controller", "port", "texts", "reads", "scale", "reason"});
        const auto texts = [](int count, int size) {
            QList<QByteArray> list(count, QByteArray(size, '0'));
            for (int i = 0; i < count; ++i)
                for (int k = 0; k < size; ++k)
                    list[i][k] = char('A' + (i + k) % 26);
            return list;
        };
        const QList<QByteArray> load = {"<0x02>HELLO<0x03><0x04>", "WORLD<0x0D><0x04>"};
        const QString none = "The device took no data for 30 s; the rest of the frame was dropped.";
        // reads: bytes every ms (0 ms: those bytes and no more), and when it resets after its first bytes
        // (a serial line: when its driver, full, refuses a write, as a line slower than the program does).
        row("serial 30 kB frame", false, 3, texts(1, 30000), QList<int>{2048, 20, -1}, 20.0, QString());
        row("serial driver full", false, 3, texts(1, 30000), QList<int>{2048, 20, 0}, 20.0, QString());
        row("serial messages of 1,005 bytes", false, 3, texts(40, 1005), QList<int>{1024, 20, -1}, 20.0, QString());
        row("serial device never reads", false, 3, texts(1, 30000), QList<int>{0, 60000, -1}, 20.0, none);
        // 10 MB at 6.4 MB/s: the send takes longer than the limit (0.6 s here), with no pause of that length.
        row("tcp steady reader", false, 0, texts(1, 10 << 20), QList<int>{128 << 10, 20, -1}, 50.0, QString());
        row("tcp reads 7 bytes, resets", true, 0, load, QList<int>{7, 0, 50}, 1.0,
            "The device reset the connection; anything it had not yet read was lost.");
        row("tcp keeps the connection open", true, 0, load, QList<int>{1 << 20, 0, -1}, 10.0, QString());
    }
    void slowDevices()
    {
        const auto [controller, port, texts, reads, scale, reason] =
            fetch<bool, int, QList<QByteArray>, QList<int>, double, QString>(
                {"controller", "port", "texts", "reads", "scale", "reason"});
        SetPauseTimeScale(scale);
        Fixture f(port);
        f.fill(texts, 100);
        QByteArray received;
        port > 0 ? f.pty.pace(reads[0], reads[1]) : f.tcp.pace(reads[0], reads[1]);
        f.pty.onReceive = [&received, &f, full = reads[2] >= 0](PtyPeer &, const QByteArray &chunk) {
            if (full && received.isEmpty())
                Q_EMIT f.ws.link().serial().findChild<QSerialPort *>()->errorOccurred(QSerialPort::ResourceError);
            received += chunk;
        };
        f.tcp.onReceive = [&received, resetMs = reads[2]](TcpPeer &p, const QByteArray &chunk) {
            if (resetMs >= 0 && received.isEmpty() && !chunk.isEmpty())
                QTimer::singleShot(resetMs, &p, [&p] { p.dropConnection(true); });
            received += chunk;
        };
        QElapsedTimer clock;
        clock.start();
        const OperationOutcome outcome = controller ? f.ws.LoadController(false) : f.ws.MnuModeRun_Click();
        const qint64 took = clock.elapsed();
        QCOMPARE(outcome.reason, reason);
        QCOMPARE(outcome.ending, reason.isEmpty() ? Ending::Done : Ending::Failed);
        const QString shown = f.prompter.messageTexts().join(QString());
        QVERIFY2(reason.isEmpty() ? shown.isEmpty() : shown.contains(reason), qPrintable(shown));
        QVERIFY(f.settled());
        if (!controller && reason.isEmpty()) {
            QTRY_COMPARE_WITH_TIMEOUT(received.size(), texts.join().size(), 5000);
            QVERIFY(received == texts.join());
        }
        // The steady reader needed longer than the limit allows a device that takes nothing; a device
        // that stopped taking data is given up one limit after the last it took.
        const double limit = Link::SendWaitLimitMs / scale;
        if (reads[1] == 20 && port == 0)
            QVERIFY2(took > limit, qPrintable(QString::number(took)));
        if (reason.startsWith("The device took no data"))
            QVERIFY2(took >= limit && took < 1.5 * limit, qPrintable(QString::number(took)));
    }

    // An adapter chosen from the list: its stable name followed when it
    // comes back as another terminal, named with what is plugged in when it
    // is gone as a send starts; the choice is refused while the
    // Communication menu is disabled.
    void serialDevices()
    {
        PtyPeer first, second;
        QTemporaryDir dir;
        found.folder = dir.path() + QStringLiteral("/by-id");
        const QString stable = found.folder + QStringLiteral("/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
        QVERIFY(QDir().mkpath(found.folder) && QFile::link(first.devicePath(), stable));
        found.list = {{first.devicePath(), "FT232R USB UART", "FTDI", "A50285BI", 0x0403, 0x6001, {}}};
        const auto adapter = FindSerialDevice(CurrentSerialDevices().devices(), stable);
        QVERIFY(adapter);

        Fixture f(0);
        f.ws.menus().setEnabled(Item::MnuCommunication, false);
        QVERIFY(!AssignChosenDevice(f.ws, *adapter) && !SerialAssignments().contains(1));
        f.ws.menus().setEnabled(Item::MnuCommunication, true);
        QVERIFY(AssignChosenDevice(f.ws, *adapter));

        QByteArray toFirst, toSecond;
        first.onReceive = [&toFirst](PtyPeer &, const QByteArray &chunk) { toFirst += chunk; };
        second.onReceive = [&toSecond](PtyPeer &, const QByteArray &chunk) { toSecond += chunk; };
        QCOMPARE(f.quickSend("one").ending, Ending::Done);
        QTRY_COMPARE_WITH_TIMEOUT(toFirst, QByteArray("one"), 1000);

        // Plugged into another socket.
        QVERIFY(QFile::remove(stable) && QFile::link(second.devicePath(), stable));
        QCOMPARE(f.quickSend("two").ending, Ending::Done);
        QTRY_COMPARE_WITH_TIMEOUT(toSecond, QByteArray("two"), 1000);
        QCOMPARE(toFirst, QByteArray("one"));

        // Unplugged.
        QVERIFY(QFile::remove(stable));
        found.list = {{first.devicePath(), {}, {}, {}, {}, {}, {}}};
        QCOMPARE(f.quickSend("three").ending, Ending::ConnectionFailed);
        QCOMPARE(f.prompter.messageTexts(),
                 QStringList("Error Going into Run\r\nCommunications not available\r\nThe serial device " + stable +
                             " is not plugged in.\r\nPlugged in now: " + first.devicePath()));
        QVERIFY(f.settled());
    }

    // A transcript holds every line whole, however long; a FIFO that takes
    // nothing while more than the transcript's bound comes gets one DROPPED
    // line for all it missed, and the transcript says it is incomplete.
    void transcriptLines_data()
    {
        columns<bool, int, int, QByteArray>({"stalled", "chunks", "bytes", "got"});
        row("a line over 1 MiB", false, 1, 1100000, QByteArray("1 lines, 0 DROPPED lines, whole"));
        row("a flood while nothing reads", true, 300, 100000, QByteArray("300 lines, 1 DROPPED lines, incomplete"));
    }
    void transcriptLines()
    {
        const auto [stalled, chunks, bytes, got] =
            fetch<bool, int, int, QByteArray>({"stalled", "chunks", "bytes", "got"});
        QCOMPARE(Transcript::Line(QDateTime(QDate(2026, 12, 7), QTime(10, 15, 2), Qt::UTC), 12345, "TX 1", "A"),
                 QByteArray("2026-12-07T10:15:02.012345Z TX 1\tA\n"));
        QTemporaryDir dir;
        const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("t.log")));
        QVERIFY(::mkfifo(path.constData(), 0600) == 0);
        const int readEnd = ::open(path.constData(), O_RDWR); // holds the FIFO open while nothing reads
        QVERIFY(readEnd >= 0);
        QByteArray chunk(bytes, 'x');
        for (int i = 0; i < bytes; i += 1000)
            chunk[i] = '\x04';
        QByteArray all;
        {
            Transcript transcript;
            QVERIFY(transcript.open(dir.filePath(QStringLiteral("t.log"))));
            std::optional<PipeReader> reader;
            if (!stalled)
                reader.emplace(readEnd);
            for (int i = 0; i < chunks; ++i)
                transcript.traffic(true, chunk);
            if (stalled)
                reader.emplace(readEnd);
            const bool whole = transcript.flush(20000);
            QCOMPARE(whole, transcript.problem().isEmpty());
            all = reader->stop() + (whole ? "whole" : "incomplete");
        }
        qint64 lines = 0, dropped = 0;
        for (const QByteArray &line : all.split('\n')) {
            const QByteArray details = line.mid(line.indexOf('\t') + 1);
            if (line.contains(" TX ")) {
                QCOMPARE(details, FormatReceived(chunk));
                ++lines;
            } else if (line.contains(" DROPPED\t")) {
                lines += details.left(details.indexOf(' ')).toLongLong();
                ++dropped;
            }
        }
        QCOMPARE(QByteArray::number(lines) + " lines, " + QByteArray::number(dropped) + " DROPPED lines, " +
                     all.split('\n').constLast(),
                 got);
    }

    // The live output's writer gives back the room of what went out: more
    // than its bound, in turns, all arrives.
    void boundedWriterGivesRoomBack()
    {
        int ends[2];
        QVERIFY(::pipe(ends) == 0);
        PipeReader reader(ends[0]);
        {
            BoundedWriter writer(ends[1], 1 << 20, true);
            for (int turn = 0; turn < 3; ++turn) {
                for (int i = 0; i < 1000; ++i)
                    QVERIFY(writer.put(QByteArray(1023, 'a' + turn) + '\n'));
                QVERIFY(writer.drain(20000));
            }
            QCOMPARE(writer.takeDropped(), 0);
        }
        QCOMPARE(reader.stop().size(), 3 * 1024 * 1000);
    }

private:
    FoundDevices found;
};

QTEST_GUILESS_MAIN(LinkTest)
#include "tst_link.moc"
