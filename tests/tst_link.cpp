// The link end to end over loopback TCP, UDP and a real pseudo-terminal:
// the exact bytes of quick sends, the hold before the link closes, status
// panel texts, failures and their messages, received-data display, the
// Communication prompts, and devices that go away in the middle.
#include "app/clock.h"
#include "app/pause.h"
#include "app/workspace.h"
#include "codec/codepage.h"
#include "codec/escapes.h"
#include "codec/numbers.h"
#include "link/communication.h"
#include "link/link.h"
#include "link/linkrules.h"
#include "link/quicksend.h"
#include "peers.h"
#include "scriptedprompter.h"
#include "temphome.h"

#include <QElapsedTimer>
#include <QSettings>
#include <QtTest>
#include <termios.h>

using namespace telvaro;
using test::PtyPeer;
using test::ScriptedPrompter;
using test::TcpPeer;
using test::TempHome;
using test::UdpPeer;
using Box = Workspace::Box;

namespace {

const QDateTime pinnedNow(QDate(2024, 3, 5), QTime(12, 34, 56, 130));
const QString errorGoingIntoRun = QStringLiteral("Error Going into Run\r\nCommunications not available");

struct Fixture {
    TempHome home;
    ScriptedPrompter prompter;
    Workspace ws{prompter};
    QList<QPair<int, QString>> panels;
    QStringList failures;

    Fixture()
    {
        ws.MnuModeData_Click();
        ws.IpAddress = QStringLiteral("127.0.0.1");
        ws.BaudText = QStringLiteral("9600");
        QObject::connect(&ws, &Workspace::statusPanelChanged, &ws, [this](int p) {
            panels.append({p, ws.statusPanel(p)});
        });
        QObject::connect(&ws.link(), &Link::linkFailed, &ws, [this](const QString &d) { failures.append(d); });
    }
    QStringList history(int panel) const
    {
        QStringList texts;
        for (const auto &[p, text] : panels)
            if (p == panel)
                texts.append(text);
        return texts;
    }
    bool controlsEnabled() const
    {
        return ws.item(QStringLiteral("CmdQuickSend")).enabled && ws.item(QStringLiteral("MnuMode")).enabled &&
               ws.item(QStringLiteral("MnuCommunication")).enabled;
    }
    bool controlsDisabled() const
    {
        return !ws.item(QStringLiteral("CmdQuickSend")).enabled && !ws.item(QStringLiteral("MnuMode")).enabled &&
               !ws.item(QStringLiteral("MnuCommunication")).enabled;
    }
    bool linkClosed() { return !ws.link().serial().isOpen() && ws.link().socket().state() == SocketState::Closed; }
    QString panel1()
    {
        ws.link().TmrCheck_Timer();
        return ws.statusPanel(1);
    }
    void useSerial(qint16 number, const QString &device)
    {
        QSettings store(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Telvaro"),
                        QStringLiteral("Telvaro"));
        store.setValue(QStringLiteral("SerialPorts/%1").arg(number), device);
        store.sync();
        ws.PortNumber = number;
    }
    void useTcp(const TcpPeer &peer)
    {
        ws.PortNumber = 0;
        ws.IpPort = QString::number(peer.port());
    }
    void useUdp(const UdpPeer &peer, qint16 number = -1)
    {
        ws.PortNumber = number;
        ws.IpPort = QString::number(peer.port());
    }
    void quickSend(const QString &entry)
    {
        ws.setBox(Box::Entry, entry);
        CmdQuickSend_Click(ws);
    }
};

// A socket whose state and events the test decides, for what loopback cannot
// produce on demand: a connection that never completes, a failure of an
// established connection, a short read.
class FakeSocket : public SocketService {
public:
    int code = SocketState::Closed;
    int stateAfterConnect = SocketState::Connecting;
    bool failAfterSend = false;
    QByteArray sent;
    QByteArray toReceive;

    bool setProtocol(Protocol) override { return code == SocketState::Closed; }
    void setRemoteHost(const QString &) override {}
    void setRemotePort(quint16) override {}
    void connectToRemote() override { setCode(stateAfterConnect); }
    int state() const override { return code; }
    bool send(const QByteArray &bytes) override
    {
        sent += bytes;
        QTimer::singleShot(0, this, [this] {
            Q_EMIT sendComplete();
            if (failAfterSend) {
                setCode(SocketState::Error);
                Q_EMIT error(10054, QStringLiteral("Connection reset by peer"));
            }
        });
        return true;
    }
    QByteArray takeReceived() override { return std::exchange(toReceive, {}); }
    void close() override { setCode(SocketState::Closed); }
    QString errorString() const override { return {}; }
    void setCode(int c)
    {
        code = c;
        Q_EMIT stateChanged();
    }
};

} // namespace

class LinkTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        SetPauseTimeScale(100);
        SetLocalNowSource([] { return pinnedNow; });
    }
    void cleanupTestCase()
    {
        SetPauseTimeScale(1);
        SetLocalNowSource({});
    }
    void init() { SetPauseTimeScale(100); }

    // --- What the operator reads ---------------------------------------

    void statusText_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("transmitting");
        QTest::addColumn<bool>("serialOpen");
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("text");
        QTest::newRow("serial open") << 1 << 0 << true << 0 << "Port 1 Open";
        QTest::newRow("serial closed") << 3 << 1 << false << 7 << "Port 3 Closed";
        QTest::newRow("udp sending") << -1 << 1 << false << 1 << "UDP Send to 10.0.0.7";
        QTest::newRow("udp idle") << -1 << 0 << false << 0 << "No open connection";
        QTest::newRow("other udp port") << -2 << 1 << false << 1 << "Open Connection";
        QTest::newRow("0") << 0 << 0 << false << 0 << "No open connection";
        QTest::newRow("2") << 0 << 0 << false << 2 << "Listening";
        QTest::newRow("3") << 0 << 0 << false << 3 << "Connection pending";
        QTest::newRow("4") << 0 << 0 << false << 4 << "Resolving Host";
        QTest::newRow("5") << 0 << 0 << false << 5 << "Host resolved";
        QTest::newRow("6") << 0 << 1 << false << 6 << "Connecting to 10.0.0.7";
        QTest::newRow("7") << 0 << 1 << false << 7 << "Connected to 10.0.0.7";
        QTest::newRow("8") << 0 << 0 << false << 8 << "Peer is closing the connection";
        QTest::newRow("9") << 0 << 0 << false << 9 << "Error! Restart of program is required for IP communications.";
        QTest::newRow("beyond 9") << 0 << 0 << false << 12
                                  << "Error! Restart of program is required for IP communications.";
    }
    void statusText()
    {
        QFETCH(int, port);
        QFETCH(int, transmitting);
        QFETCH(bool, serialOpen);
        QFETCH(int, state);
        QFETCH(QString, text);
        QCOMPARE(LinkStatusText(qint16(port), transmitting, serialOpen, state, QStringLiteral("10.0.0.7")), text);
    }

    void socketStateCodes_data()
    {
        QTest::addColumn<int>("qtState");
        QTest::addColumn<bool>("failed");
        QTest::addColumn<bool>("peerClosed");
        QTest::addColumn<int>("code");
        QTest::newRow("closed") << int(QAbstractSocket::UnconnectedState) << false << false << 0;
        QTest::newRow("bound") << int(QAbstractSocket::BoundState) << false << false << 1;
        QTest::newRow("listening") << int(QAbstractSocket::ListeningState) << false << false << 2;
        QTest::newRow("lookup") << int(QAbstractSocket::HostLookupState) << false << false << 4;
        QTest::newRow("connecting") << int(QAbstractSocket::ConnectingState) << false << false << 6;
        QTest::newRow("connected") << int(QAbstractSocket::ConnectedState) << false << false << 7;
        QTest::newRow("closing") << int(QAbstractSocket::ClosingState) << false << false << 8;
        QTest::newRow("peer closed") << int(QAbstractSocket::UnconnectedState) << false << true << 8;
        QTest::newRow("refused") << int(QAbstractSocket::UnconnectedState) << true << false << 9;
        QTest::newRow("failed while connected") << int(QAbstractSocket::ConnectedState) << true << true << 9;
    }
    void socketStateCodes()
    {
        QFETCH(int, qtState);
        QFETCH(bool, failed);
        QFETCH(bool, peerClosed);
        QFETCH(int, code);
        QCOMPARE(SocketStateCode(QAbstractSocket::SocketState(qtState), failed, peerClosed), code);
    }

    void receivedText_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("announced");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("complete");
        QTest::newRow("line") << QByteArray("A\r\n") << 3 << "A<0d13><0d10>\r\n45296.13\r\n" << true;
        QTest::newRow("edges") << QByteArray(" }~\x7f\xc8\x1f", 6) << 6
                               << " }<0d126><0d127><0d200><0d31>\r\n45296.13\r\n"
                               << true;
        QTest::newRow("nul") << QByteArray("\0<>", 3) << 3 << "<0d0><>\r\n45296.13\r\n" << true;
        QTest::newRow("nothing") << QByteArray() << 0 << "" << true;
        QTest::newRow("short") << QByteArray("AB") << 4 << "AB" << false;
        QTest::newRow("only the announced bytes") << QByteArray("ABC") << 2 << "AB\r\n45296.13\r\n" << true;
    }
    void receivedText()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, announced);
        QFETCH(QString, text);
        QFETCH(bool, complete);
        const ReceivedDisplay shown = ReceivedText(data, announced, pinnedNow.time());
        QCOMPARE(shown.text, text);
        QCOMPARE(shown.complete, complete);
    }

    void timeOfDayText_data()
    {
        QTest::addColumn<QTime>("time");
        QTest::addColumn<QString>("text");
        QTest::newRow("midnight") << QTime(0, 0) << "0.00";
        QTest::newRow("example") << QTime(12, 34, 56, 130) << "45296.13";
        QTest::newRow("hundredths rounded") << QTime(0, 0, 1, 5) << "1.01";
        QTest::newRow("last hundredth") << QTime(23, 59, 59, 994) << "86399.99";
    }
    void timeOfDayText()
    {
        QFETCH(QTime, time);
        QFETCH(QString, text);
        QCOMPARE(SecondsSinceMidnightText(time), text);
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
        QTest::newRow("no line start near") << QString(30, u'o') << line << QString(16, u'o') + line;
        QTest::newRow("arrival alone too long") << "old" << QString(25, u'n') << QString(20, u'n');
    }
    void recDataBound()
    {
        QFETCH(QString, box);
        QFETCH(QString, arrival);
        QFETCH(QString, result);
        QCOMPARE(AppendBounded(box, arrival, 20), result);
    }

    // --- Parameters as opened ------------------------------------------

    void lineSettings_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("baud");
        QTest::newRow("default") << "9600,n,8,1" << true << 9600;
        QTest::newRow("signed form") << " 19200,n,8,1" << true << 19200;
        QTest::newRow("zero") << " 0,n,8,1" << false << 0;
        QTest::newRow("unsupported") << " 12345,n,8,1" << false << 0;
        QTest::newRow("fraction") << " 9600.5,n,8,1" << false << 0;
        QTest::newRow("negative") << "-9600,n,8,1" << false << 0;
        QTest::newRow("letters") << "abc,n,8,1" << false << 0;
        QTest::newRow("bad parity") << "9600,x,8,1" << false << 0;
        QTest::newRow("even 7 2") << "4800,E,7,2" << true << 4800;
        QTest::newRow("missing part") << "9600,n,8" << false << 0;
    }
    void lineSettings()
    {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        QFETCH(int, baud);
        const auto settings = ParseLineSettings(text);
        QCOMPARE(settings.has_value(), accepted);
        if (accepted)
            QCOMPARE(settings->baud, baud);
    }

    void remotePort_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("port"); // -1: the link cannot open
        QTest::newRow("plain") << "3001" << 3001;
        QTest::newRow("blanks") << " 3001 " << 3001;
        QTest::newRow("rounded") << "3000.5" << 3000;
        QTest::newRow("letters") << "abc" << -1;
        QTest::newRow("trailing letters") << "3001x" << -1;
        QTest::newRow("empty") << "" << -1;
        QTest::newRow("zero") << "0" << -1;
        QTest::newRow("above 16 bits") << "70000" << -1;
    }
    void remotePort()
    {
        QFETCH(QString, text);
        QFETCH(int, port);
        const auto value = RemotePortValue(text);
        QCOMPARE(value ? int(*value) : -1, port);
    }

    void serialDevices()
    {
        Fixture f;
        QCOMPARE(SerialDeviceName(7, QString()), QStringLiteral("/dev/ttyS6"));
        QCOMPARE(SerialDeviceName(1, QString()), QStringLiteral("/dev/ttyS0"));
        f.useSerial(2, QStringLiteral("/dev/ttyUSB0"));
        QtSerialPortService &serial = f.ws.link().builtinSerial();
        serial.setPortNumber(2);
        QCOMPARE(serial.deviceName(), QStringLiteral("/dev/ttyUSB0"));
        serial.setPortNumber(7);
        QCOMPARE(serial.deviceName(), QStringLiteral("/dev/ttyS6"));
        serial.setDeviceOverride(QStringLiteral("/dev/pts/99"));
        QCOMPARE(serial.deviceName(), QStringLiteral("/dev/pts/99"));
    }

    // --- The Communication menu ----------------------------------------

    void setPort_data()
    {
        QTest::addColumn<QVariant>("answer"); // null variant: cancelled
        QTest::addColumn<int>("port");
        QTest::addColumn<QStringList>("messages");
        const QStringList none;
        QTest::newRow("tcp") << QVariant("0") << 0 << none;
        QTest::newRow("udp") << QVariant("-1") << -1 << none;
        QTest::newRow("letters select tcp") << QVariant("COM") << 0 << none;
        QTest::newRow("2.5 gives 2") << QVariant("2.5") << 2 << none;
        QTest::newRow("3.5 gives 4") << QVariant("3.5") << 4 << none;
        QTest::newRow("largest") << QVariant("32767") << 32767 << none;
        QTest::newRow("empty") << QVariant("") << 1 << none;
        QTest::newRow("cancelled") << QVariant() << 1 << none;
        const QStringList refused{"The port must be a number from -32768 to 32767."};
        QTest::newRow("above 16 bits") << QVariant("40000") << 1 << refused;
        QTest::newRow("below 16 bits") << QVariant("-32769") << 1 << refused;
    }
    void setPort()
    {
        QFETCH(QVariant, answer);
        QFETCH(int, port);
        QFETCH(QStringList, messages);
        Fixture f;
        f.ws.PortNumber = 1;
        answer.isNull() ? f.prompter.cancelInput() : f.prompter.type(answer.toString());
        MnuComSetPort_Click(f.ws);
        QCOMPARE(int(f.ws.PortNumber), port);
        QCOMPARE(f.prompter.shown.front().kind, test::Shown::Input);
        QCOMPARE(f.prompter.shown.front().text, QStringLiteral("Select Serial Port\r\nPort 0 Selects TCP "
                                                               "Communication\r\nPort -1 Selects UDP Communication"));
        QCOMPARE(f.prompter.shown.front().title, QStringLiteral("Port Selection"));
        QCOMPARE(f.prompter.shown.front().defaultAnswer, QStringLiteral("1"));
        QCOMPARE(f.prompter.messageTexts(), messages);
        QVERIFY(f.linkClosed());
    }

    void setIp_data()
    {
        QTest::addColumn<QVariantList>("answers");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("prompts");
        QTest::newRow("both") << QVariantList{"10.1.2.3", "4001"} << "10.1.2.3"
                              << "4001" << 2;
        QTest::newRow("address as typed") << QVariantList{" sign.local ", "x"} << " sign.local "
                                          << "x" << 2;
        QTest::newRow("port kept") << QVariantList{"10.1.2.3", ""} << "10.1.2.3"
                                   << "3001" << 2;
        QTest::newRow("port cancelled") << QVariantList{"10.1.2.3", QVariant()} << "10.1.2.3"
                                        << "3001" << 2;
        QTest::newRow("empty address") << QVariantList{""} << "192.168.1.100"
                                       << "3001" << 1;
        QTest::newRow("cancelled") << QVariantList{QVariant()} << "192.168.1.100"
                                   << "3001" << 1;
    }
    void setIp()
    {
        QFETCH(QVariantList, answers);
        QFETCH(QString, address);
        QFETCH(QString, port);
        QFETCH(int, prompts);
        Fixture f;
        f.ws.IpAddress = QStringLiteral("192.168.1.100");
        f.ws.IpPort = QStringLiteral("3001");
        for (const QVariant &a : answers)
            a.isNull() ? f.prompter.cancelInput() : f.prompter.type(a.toString());
        MnuComSetIP_Click(f.ws);
        QCOMPARE(f.ws.IpAddress, address);
        QCOMPARE(f.ws.IpPort, port);
        QCOMPARE(f.prompter.shown.size(), prompts);
        QCOMPARE(f.prompter.shown[0].text, QStringLiteral("Enter IP Address"));
        QCOMPARE(f.prompter.shown[0].title, QStringLiteral("IP Entry"));
        QCOMPARE(f.prompter.shown[0].defaultAnswer, QStringLiteral("192.168.1.100"));
        if (prompts == 2) {
            QCOMPARE(f.prompter.shown[1].text, QStringLiteral("Enter IP Port"));
            QCOMPARE(f.prompter.shown[1].title, QStringLiteral("IP Entry"));
            QCOMPARE(f.prompter.shown[1].defaultAnswer, QStringLiteral("3001"));
        }
    }

    void setBaud_data()
    {
        QTest::addColumn<QVariant>("answer");
        QTest::addColumn<QString>("baudText");
        QTest::newRow("19200") << QVariant("19200") << " 19200";
        QTest::newRow("blanks and fraction zero") << QVariant("  4800.0") << " 4800";
        QTest::newRow("zero") << QVariant("0") << "9600";
        QTest::newRow("empty") << QVariant("") << "9600";
        QTest::newRow("cancelled") << QVariant() << "9600";
        QTest::newRow("unsupported") << QVariant("12345") << "9600";
        QTest::newRow("negative") << QVariant("-9600") << "9600";
        QTest::newRow("fraction") << QVariant("9600.5") << "9600";
        QTest::newRow("letters") << QVariant("fast") << "9600";
    }
    void setBaud()
    {
        QFETCH(QVariant, answer);
        QFETCH(QString, baudText);
        Fixture f;
        answer.isNull() ? f.prompter.cancelInput() : f.prompter.type(answer.toString());
        MnuComSetBaud_Click(f.ws);
        QCOMPARE(f.ws.BaudText, baudText);
        QCOMPARE(f.prompter.shown.size(), 1); // silent, whatever the answer
        QCOMPARE(f.prompter.shown[0].text, QStringLiteral("Enter Baud Rate"));
        QCOMPARE(f.prompter.shown[0].title, QStringLiteral("Baud"));
        QCOMPARE(f.prompter.shown[0].defaultAnswer, QStringLiteral("9600"));
        const auto applied = f.ws.link().builtinSerial().settings();
        QCOMPARE(applied.baud, qint32(LenientValue(baudText)));
        QCOMPARE(applied.parity, 'n');
        QCOMPARE(applied.dataBits, 8);
    }

    void communicationMenuDisabled()
    {
        Fixture f;
        f.ws.setItemEnabled(QStringLiteral("MnuCommunication"), false);
        f.prompter.type(QStringLiteral("0"));
        MnuComSetPort_Click(f.ws);
        MnuComSetIP_Click(f.ws);
        MnuComSetBaud_Click(f.ws);
        QVERIFY(f.prompter.shown.isEmpty());
        QCOMPARE(int(f.ws.PortNumber), 1);
    }

    void baudRateReachesTheDevice_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<unsigned>("speed");
        QTest::newRow("default") << "" << unsigned(B9600);
        QTest::newRow("19200") << "19200" << unsigned(B19200);
        QTest::newRow("115200") << "115200" << unsigned(B115200);
    }
    void baudRateReachesTheDevice()
    {
        QFETCH(QString, answer);
        QFETCH(unsigned, speed);
        Fixture f;
        PtyPeer pty;
        QVERIFY(pty.isValid());
        f.useSerial(3, pty.devicePath());
        f.prompter.type(answer);
        MnuComSetBaud_Click(f.ws);
        unsigned seen = 0;
        pty.onReceive = [&](PtyPeer &p, const QByteArray &) { seen = p.outputSpeed(); };
        f.quickSend(QStringLiteral("x"));
        QTRY_COMPARE(pty.received, QByteArray("x"));
        QCOMPARE(seen, speed);
    }

    // --- Quick send end to end -----------------------------------------

    void quickSendBytes_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray stamp = TimeTokenText(pinnedNow);
        for (const char *kind : {"tcp", "udp", "pty"}) {
            auto row = [kind](const char *name) -> QTestData & { return QTest::addRow("%s %s", kind, name); };
            row("plain") << kind << "Hello" << QByteArray("Hello");
            row("escapes") << kind << "<0x02>A<&H1B><0013><0x0d>~<0x00>"
                           << QByteArray("\x02"
                                         "A\x1b\r\r~\0",
                                         7);
            row("code page") << kind << QStringLiteral("\u20ac<0xFF>") << QByteArray("\x80\xff");
            row("time") << kind << "T=<T>!"
                        << "T=" + stamp + "!";
            row("empty") << kind << "" << QByteArray();
        }
    }
    void quickSendBytes()
    {
        QFETCH(QString, kind);
        QFETCH(QString, entry);
        QFETCH(QByteArray, bytes);
        Fixture f;
        TcpPeer tcp;
        UdpPeer udp;
        PtyPeer pty;
        QVERIFY(pty.isValid());
        if (kind == QLatin1String("tcp"))
            f.useTcp(tcp);
        else if (kind == QLatin1String("udp"))
            f.useUdp(udp);
        else
            f.useSerial(3, pty.devicePath());

        bool disabledDuring = false;
        QTimer::singleShot(0, &f.ws, [&] { disabledDuring = f.controlsDisabled() && f.ws.Transmitting == 1; });
        f.quickSend(entry);

        QVERIFY(f.prompter.shown.isEmpty());
        QVERIFY(disabledDuring);
        QVERIFY(f.controlsEnabled());
        QCOMPARE(f.ws.Transmitting, 1); // until "Data Entry"
        QVERIFY(f.linkClosed());
        if (bytes.isEmpty())
            QVERIFY(f.history(2).isEmpty()); // "No Traffic" throughout
        else
            QCOMPARE(f.history(2), (QStringList{QString(), BytesToText(bytes), QStringLiteral("No Traffic")}));
        QCOMPARE(f.ws.statusPanel(2), QStringLiteral("No Traffic"));

        if (kind == QLatin1String("tcp")) {
            QTRY_COMPARE(tcp.disconnections, 1);
            QCOMPARE(tcp.connections, 1); // opened even for nothing to send
            QCOMPARE(tcp.received, bytes);
        } else if (kind == QLatin1String("udp")) {
            if (!bytes.isEmpty())
                QTRY_COMPARE(udp.datagrams.size(), 1);
            QTest::qWait(20);
            QCOMPARE(udp.datagrams, bytes.isEmpty() ? QList<QByteArray>{} : QList<QByteArray>{bytes});
        } else {
            QTRY_COMPARE(pty.received.size(), bytes.size());
            QTest::qWait(20);
            QCOMPARE(pty.received, bytes);
        }
    }

    void holdsTwoSecondsBeforeClosing()
    {
        SetPauseTimeScale(10);
        Fixture f;
        TcpPeer tcp;
        f.useTcp(tcp);
        bool buttonDisabledAtReceipt = false;
        tcp.onReceive = [&](TcpPeer &, const QByteArray &chunk) {
            if (!chunk.isEmpty())
                buttonDisabledAtReceipt = !f.ws.item(QStringLiteral("CmdQuickSend")).enabled;
        };
        f.quickSend(QStringLiteral("hold"));
        QTRY_COMPARE(tcp.disconnections, 1);
        QCOMPARE(tcp.received, QByteArray("hold"));
        QVERIFY(buttonDisabledAtReceipt);
        const qint64 held = tcp.disconnectedAt - tcp.receivedAt;
        QVERIFY2(held >= QuickSendHoldMs / 10 - 5, qPrintable(QString::number(held)));
        QVERIFY2(held < QuickSendHoldMs, qPrintable(QString::number(held)));
    }

    void statusPanelPerLink_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("during");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("afterDataEntry");
        QTest::newRow("tcp") << "tcp" << 0 << "Connected to 127.0.0.1"
                             << "No open connection"
                             << "No open connection";
        QTest::newRow("udp -1") << "udp" << -1 << "UDP Send to 127.0.0.1"
                                << "UDP Send to 127.0.0.1"
                                << "No open connection";
        QTest::newRow("udp -2") << "udp" << -2 << "Open Connection"
                                << "No open connection"
                                << "No open connection";
        QTest::newRow("serial 3") << "pty" << 3 << "Port 3 Open"
                                  << "Port 3 Closed"
                                  << "Port 3 Closed";
    }
    void statusPanelPerLink()
    {
        QFETCH(QString, kind);
        QFETCH(int, port);
        QFETCH(QString, during);
        QFETCH(QString, after);
        QFETCH(QString, afterDataEntry);
        Fixture f;
        TcpPeer tcp;
        UdpPeer udp;
        PtyPeer pty;
        QString seen;
        auto look = [&] { seen = f.panel1(); };
        tcp.onReceive = [&](TcpPeer &, const QByteArray &c) {
            if (!c.isEmpty())
                look();
        };
        udp.onReceive = [&](UdpPeer &, const QByteArray &) { look(); };
        pty.onReceive = [&](PtyPeer &, const QByteArray &) { look(); };
        if (kind == QLatin1String("tcp"))
            f.useTcp(tcp);
        else if (kind == QLatin1String("udp"))
            f.useUdp(udp, qint16(port));
        else
            f.useSerial(qint16(port), pty.devicePath());
        QCOMPARE(f.panel1(), afterDataEntry); // before: closed
        f.quickSend(QStringLiteral("status"));
        QCOMPARE(seen, during);
        QCOMPARE(f.panel1(), after);
        f.ws.MnuModeData_Click();
        QCOMPARE(f.panel1(), afterDataEntry);
    }

    void statusTimerTicks()
    {
        Fixture f;
        f.ws.PortNumber = 4;
        QTRY_COMPARE_WITH_TIMEOUT(f.ws.statusPanel(1), QStringLiteral("Port 4 Closed"), 2000);
    }

    void refusedConnection()
    {
        Fixture f;
        TcpPeer tcp;
        f.useTcp(tcp);
        tcp.stopListening();
        f.ws.setStatusPanel(2, QStringLiteral("earlier"));
        f.panels.clear();
        f.quickSend(QStringLiteral("x"));
        QCOMPARE(f.prompter.messageTexts(), QStringList{QStringLiteral("Unable to connect!  State = 9")});
        QCOMPARE(f.prompter.shown.front().title, QStringLiteral("Telvaro"));
        QCOMPARE(f.prompter.shown.front().buttons, Prompter::Buttons::Ok);
        QVERIFY(f.controlsEnabled());
        QVERIFY(f.history(2).isEmpty());
        QCOMPARE(f.ws.statusPanel(2), QStringLiteral("earlier"));
        QVERIFY(f.linkClosed());
        QCOMPARE(f.panel1(), QStringLiteral("No open connection"));
    }

    void connectionThatNeverCompletes()
    {
        Fixture f;
        FakeSocket socket;
        f.ws.link().useServices(f.ws.link().builtinSerial(), socket);
        f.ws.PortNumber = 0;
        f.ws.IpPort = QStringLiteral("3001");
        QElapsedTimer clock;
        clock.start();
        f.quickSend(QStringLiteral("x"));
        // Twenty waits of 500 ms on the test clock (a hundred times faster).
        QVERIFY2(clock.elapsed() >= Link::ConnectWaits * Link::ConnectWaitMs / 100 - 5,
                 qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(f.prompter.messageTexts(), QStringList{QStringLiteral("Unable to connect!  State = 6")});
        QVERIFY(socket.sent.isEmpty());
        QCOMPARE(socket.code, SocketState::Closed);
        QVERIFY(f.controlsEnabled());
    }

    void hostNameConnects()
    {
        Fixture f;
        TcpPeer tcp;
        f.useTcp(tcp);
        f.ws.IpAddress = QStringLiteral("localhost");
        f.quickSend(QStringLiteral("by name"));
        QVERIFY2(f.prompter.shown.isEmpty(), qPrintable(f.prompter.messageTexts().join(u'|')));
        QTRY_COMPARE(tcp.received, QByteArray("by name"));
    }

    void openFailures_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("ipPort");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("transmitting");
        QTest::newRow("missing serial device") << "serial"
                                               << ""
                                               << "x" << 1;
        QTest::newRow("escape out of range") << "tcp"
                                             << ""
                                             << "A<1234>" << 0;
        QTest::newRow("ip port not a number") << "tcp"
                                              << "abc"
                                              << "x" << 1;
        QTest::newRow("udp port above 16 bits") << "udp"
                                                << "70000"
                                                << "x" << 1;
    }
    void openFailures()
    {
        QFETCH(QString, kind);
        QFETCH(QString, ipPort);
        QFETCH(QString, entry);
        QFETCH(int, transmitting);
        Fixture f;
        TcpPeer tcp;
        if (kind == QLatin1String("serial"))
            f.useSerial(5, f.home.path() + QStringLiteral("/no-such-tty"));
        else
            f.useTcp(tcp);
        if (kind == QLatin1String("udp"))
            f.ws.PortNumber = -1;
        if (!ipPort.isEmpty())
            f.ws.IpPort = ipPort;
        f.ws.setStatusPanel(2, QStringLiteral("earlier"));
        f.quickSend(entry);
        QCOMPARE(f.prompter.messageTexts(), QStringList{errorGoingIntoRun});
        QCOMPARE(f.prompter.shown.front().title, QStringLiteral("Telvaro"));
        QVERIFY(f.controlsEnabled());
        QCOMPARE(f.ws.statusPanel(2), QStringLiteral("No Traffic"));
        QCOMPARE(f.ws.Transmitting, transmitting);
        QVERIFY(f.linkClosed());
        QTest::qWait(10);
        QCOMPARE(tcp.connections, 0);
    }

    void udpWithNobodyListening()
    {
        Fixture f;
        quint16 port = 0;
        {
            UdpPeer gone;
            port = gone.port();
        }
        f.ws.PortNumber = -1;
        f.ws.IpPort = QString::number(port);
        f.quickSend(QStringLiteral("into the void"));
        QVERIFY(f.prompter.shown.isEmpty());
        QCOMPARE(f.history(2), (QStringList{QString(), QStringLiteral("into the void"), QStringLiteral("No Traffic")}));
        QVERIFY(f.linkClosed());
    }

    // --- Received data ---------------------------------------------------

    void receivedDataShown_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("shown");
        QTest::newRow("tcp") << "tcp" << QByteArray("A\r\n") << "A<0d13><0d10>\r\n45296.13\r\n";
        QTest::newRow("udp") << "udp" << QByteArray(" }~\x7f\xc8") << " }<0d126><0d127><0d200>\r\n45296.13\r\n";
        // Bytes on the serial port are for the controller transfers only.
        QTest::newRow("serial not shown") << "pty" << QByteArray("A\r\n") << "";
    }
    void receivedDataShown()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, reply);
        QFETCH(QString, shown);
        Fixture f;
        TcpPeer tcp;
        UdpPeer udp;
        PtyPeer pty;
        tcp.onReceive = [&](TcpPeer &p, const QByteArray &c) {
            if (!c.isEmpty())
                p.reply(reply);
        };
        udp.onReceive = [&](UdpPeer &p, const QByteArray &) { p.reply(reply); };
        pty.onReceive = [&](PtyPeer &p, const QByteArray &) { p.reply(reply); };
        if (kind == QLatin1String("tcp"))
            f.useTcp(tcp);
        else if (kind == QLatin1String("udp"))
            f.useUdp(udp);
        else
            f.useSerial(3, pty.devicePath());
        SetPauseTimeScale(10); // time for the answer within the hold
        f.quickSend(QStringLiteral("ask"));
        QCOMPARE(f.ws.box(Box::RecData), shown);
        QVERIFY(f.prompter.shown.isEmpty());
    }

    void receivedDataAppends()
    {
        Fixture f;
        TcpPeer tcp;
        tcp.onReceive = [&](TcpPeer &p, const QByteArray &c) {
            if (!c.isEmpty())
                p.reply("OK");
        };
        f.useTcp(tcp);
        SetPauseTimeScale(40);
        f.ws.setBox(Box::RecData, QStringLiteral("typed\r\n"));
        f.quickSend(QStringLiteral("1"));
        f.quickSend(QStringLiteral("2"));
        QCOMPARE(f.ws.box(Box::RecData), QStringLiteral("typed\r\nOK\r\n45296.13\r\nOK\r\n45296.13\r\n"));
    }

    void floodStaysBounded()
    {
        Fixture f;
        TcpPeer tcp;
        const QByteArray chunk = QByteArray(999, 'x') + '\n';
        tcp.onReceive = [&](TcpPeer &p, const QByteArray &c) {
            if (c.isEmpty())
                return;
            for (int i = 0; i < 100; ++i)
                p.reply(chunk);
            p.reply("END");
        };
        f.useTcp(tcp);
        SetPauseTimeScale(4);
        f.ws.setBox(Box::RecData, QStringLiteral("old text\r\n"));
        f.quickSend(QStringLiteral("flood me"));
        const QString box = f.ws.box(Box::RecData);
        QVERIFY2(box.size() <= RecDataLimit, qPrintable(QString::number(box.size())));
        QVERIFY(box.size() > RecDataLimit * 3 / 4);
        QVERIFY(!box.contains(QStringLiteral("old text")));
        QVERIFY(box.endsWith(QStringLiteral("END\r\n45296.13\r\n")));
    }

    void arrivalsDuringAHandlersWait_data()
    {
        QTest::addColumn<bool>("udp");
        QTest::newRow("tcp") << false;
        QTest::newRow("udp") << true;
    }
    void arrivalsDuringAHandlersWait()
    {
        // A handler of one arrival that waits (a message box, a Pause) gets no
        // new signal for what arrives meanwhile; none of it may be lost.
        QFETCH(bool, udp);
        QtSocketService service;
        TcpPeer tcp;
        UdpPeer udpPeer;
        service.setProtocol(udp ? SocketService::Protocol::Udp : SocketService::Protocol::Tcp);
        service.setRemoteHost(QStringLiteral("127.0.0.1"));
        service.setRemotePort(udp ? udpPeer.port() : tcp.port());
        std::function<void(const QByteArray &)> reply = [&](const QByteArray &b) {
            udp ? udpPeer.reply(b) : tcp.reply(b);
        };
        if (udp) {
            QVERIFY(service.send("hello"));
            QTRY_COMPARE(udpPeer.datagrams.size(), 1);
        } else {
            service.connectToRemote();
            QTRY_COMPARE(service.state(), SocketState::Connected);
            QTRY_COMPARE(tcp.connections, 1);
        }
        QByteArray taken;
        int arrivals = 0;
        connect(&service, &SocketService::dataArrival, this, [&](qint64 total) {
            ++arrivals;
            const QByteArray data = service.takeReceived();
            QCOMPARE(data.size(), total);
            taken += data;
            if (arrivals == 1) {
                reply("second");
                Pause(5000); // 50 ms on the test clock
            }
        });
        reply("first");
        QTRY_COMPARE_WITH_TIMEOUT(taken, QByteArray("firstsecond"), 2000);
        service.close();
    }

    void hugeArrivalShowsItsNewestBytes()
    {
        Fixture f;
        FakeSocket socket;
        f.ws.link().useServices(f.ws.link().builtinSerial(), socket);
        QByteArray data;
        for (int i = 0; i < 100000; ++i)
            data += char(i * 7 % 256);
        f.ws.setBox(Box::RecData, QStringLiteral("before\r\n"));
        socket.toReceive = data;
        f.ws.link().WskMain_DataArrival(data.size());
        const QString whole = ReceivedText(data, data.size(), pinnedNow.time()).text;
        QCOMPARE(f.ws.box(Box::RecData), AppendBounded(QStringLiteral("before\r\n"), whole));
        QVERIFY(f.prompter.shown.isEmpty());
    }

    void invalidReception()
    {
        Fixture f;
        FakeSocket socket;
        f.ws.link().useServices(f.ws.link().builtinSerial(), socket);
        f.ws.setBox(Box::RecData, QStringLiteral(">"));
        socket.toReceive = "AB";
        f.ws.link().WskMain_DataArrival(4);
        QCOMPARE(f.ws.box(Box::RecData), QStringLiteral(">AB"));
        QCOMPARE(f.prompter.messageTexts(), QStringList{QStringLiteral("Error due to Invalid Reception")});
        QCOMPARE(f.prompter.shown.front().title, QStringLiteral("Telvaro"));
    }

    // --- Endings and devices that go away ------------------------------

    void dataEntryDuringTheHold()
    {
        Fixture f;
        TcpPeer tcp;
        f.useTcp(tcp);
        bool closedAtOnce = false;
        tcp.onReceive = [&](TcpPeer &, const QByteArray &c) {
            if (c.isEmpty())
                return;
            f.ws.MnuModeData_Click();
            closedAtOnce =
                f.linkClosed() && f.ws.Transmitting == 0 && f.ws.item(QStringLiteral("CmdQuickSend")).enabled;
            // The button is usable again, but the first send still holds
            // the link: a second one must not start inside its wait.
            f.quickSend(QStringLiteral("second"));
        };
        f.quickSend(QStringLiteral("first"));
        QVERIFY(closedAtOnce);
        QTRY_COMPARE(tcp.disconnections, 1);
        QCOMPARE(tcp.connections, 1);
        QCOMPARE(tcp.received, QByteArray("first"));
        QVERIFY(f.controlsEnabled());
        QCOMPARE(f.ws.statusPanel(2), QStringLiteral("No Traffic"));
        QVERIFY(f.linkClosed());
        QVERIFY(!f.ws.link().busy());
    }

    void socketErrorEndsTheOperation()
    {
        Fixture f;
        FakeSocket socket;
        socket.stateAfterConnect = SocketState::Connected;
        socket.failAfterSend = true;
        f.ws.link().useServices(f.ws.link().builtinSerial(), socket);
        f.ws.PortNumber = 0;
        f.ws.IpPort = QStringLiteral("3001");
        f.quickSend(QStringLiteral("x"));
        QCOMPARE(socket.sent, QByteArray("x"));
        QCOMPARE(f.failures, QStringList{QStringLiteral("Connection reset by peer")});
        QCOMPARE(f.ws.Transmitting, 0); // data entry ran
        QVERIFY(f.prompter.shown.isEmpty());
        QVERIFY(f.controlsEnabled());
        QCOMPARE(socket.code, SocketState::Closed);
        QCOMPARE(f.ws.statusPanel(2), QStringLiteral("No Traffic"));
    }

    void deviceGoesAway_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("tcp reset after receipt") << "tcp reset";
        QTest::newRow("tcp close after receipt") << "tcp close";
        QTest::newRow("tcp close on connect") << "tcp close early";
        QTest::newRow("pseudo-terminal vanishes") << "pty";
    }
    void deviceGoesAway()
    {
        QFETCH(QString, how);
        Fixture f;
        TcpPeer tcp;
        PtyPeer pty;
        tcp.onReceive = [&](TcpPeer &p, const QByteArray &c) {
            if (c.isEmpty() == (how == QLatin1String("tcp close early")))
                p.dropConnection(how == QLatin1String("tcp reset"));
        };
        pty.onReceive = [&](PtyPeer &p, const QByteArray &) { p.vanish(); };
        if (how == QLatin1String("pty"))
            f.useSerial(3, pty.devicePath());
        else
            f.useTcp(tcp);
        SetPauseTimeScale(10);
        QElapsedTimer clock;
        clock.start();
        f.quickSend(QStringLiteral("going"));
        QVERIFY(clock.elapsed() < 5000);
        QVERIFY(f.controlsEnabled());
        QVERIFY(f.linkClosed());
        QCOMPARE(f.ws.statusPanel(2), QStringLiteral("No Traffic"));
        QVERIFY(!f.ws.link().busy());
        if (how == QLatin1String("pty")) {
            // The lost device ends the operation through data entry.
            QCOMPARE(f.failures.size(), 1);
            QCOMPARE(f.ws.Transmitting, 0);
            QCOMPARE(f.panel1(), QStringLiteral("Port 3 Closed"));
        }
        // The link is usable again afterwards.
        TcpPeer next;
        f.useTcp(next);
        f.prompter.clear();
        f.quickSend(QStringLiteral("again"));
        QTRY_COMPARE(next.received, QByteArray("again"));
    }

    void tcpSendWaitEnds_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("device resets") << "reset";
        QTest::newRow("data entry") << "data entry";
    }
    void tcpSendWaitEnds()
    {
        QFETCH(QString, how);
        Fixture f;
        TcpPeer tcp;
        tcp.stallReading = true;
        f.useTcp(tcp);
        Link &link = f.ws.link();
        QVERIFY(link.OpenLink());
        QVERIFY(link.CheckLink());
        SetPauseTimeScale(1); // the send wait's own limit is 30 s now
        QTimer::singleShot(100, &f.ws, [&] {
            if (how == QLatin1String("reset"))
                tcp.dropConnection(true);
            else
                f.ws.MnuModeData_Click();
        });
        QElapsedTimer clock;
        clock.start();
        const QByteArray big(32 * 1024 * 1024, 'b');
        const auto shown = link.SendOnLink(big);
        QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(clock.elapsed() >= 90); // it did wait for the stalled device
        QVERIFY(shown.has_value());
        QVERIFY(f.ws.link().socket().state() != SocketState::Connected);
        link.CloseLink();
        QVERIFY(f.linkClosed());
    }

    void zeroByteSendNeverWaits()
    {
        Fixture f;
        TcpPeer tcp;
        f.useTcp(tcp);
        Link &link = f.ws.link();
        QVERIFY(link.OpenLink());
        QVERIFY(link.CheckLink());
        SetPauseTimeScale(1);
        QElapsedTimer clock;
        clock.start();
        const auto shown = link.SendOnLink({});
        QVERIFY(clock.elapsed() < 1000);
        QCOMPARE(shown, std::optional<QByteArray>(QByteArray()));
        QCOMPARE(link.SendDone, qint16(1));
        link.CloseLink();
    }

    void sendOnClosedLink_data()
    {
        QTest::addColumn<int>("port");
        QTest::newRow("serial") << 2;
        QTest::newRow("tcp") << 0;
    }
    void sendOnClosedLink()
    {
        QFETCH(int, port);
        Fixture f;
        Link &link = f.ws.link();
        // An absent serial device, a TCP port nobody listens on: the link
        // does not come up, and a send is no failure of its own.
        f.useSerial(2, f.home.path() + QStringLiteral("/absent"));
        f.ws.PortNumber = qint16(port);
        f.ws.IpPort = QStringLiteral("1");
        link.OpenLink();
        QCOMPARE(link.SendOnLink("data"), std::optional<QByteArray>("Port Not Open"));
        link.CloseLink();
    }
};

QTEST_GUILESS_MAIN(LinkTest)
#include "tst_link.moc"
