// The ADP frame layout, the loaded-message commands and the sign load over
// real loopback links and a pseudo-terminal: every frame byte for byte and
// the waits between them on the test clock.
#include "base/wait.h"
#include "linkedworkspace.h"
#include "peers.h"
#include "signload/adp.h"

#include <QElapsedTimer>
#include <QSettings>
#include <QtTest>

using namespace telvaro;
using test::PtyPeer;
using test::TcpPeer;
using test::UdpPeer;

namespace {

// What the device received, one entry per arrival, with the time.
struct Arrival {
    QByteArray bytes;
    qint64 atMs;
};

struct Fixture : test::LinkedWorkspace {
    TcpPeer tcp;
    UdpPeer udp;
    PtyPeer pty;
    QElapsedTimer clock;
    QList<Arrival> arrivals;

    explicit Fixture(const QString &kind)
    {
        clock.start();
        if (kind == QLatin1String("tcp"))
            linkTo(0, tcp.port());
        else if (kind == QLatin1String("udp"))
            linkTo(-1, udp.port());
        else
            linkTo(1, 0, pty.devicePath());
        const auto record = [this](const QByteArray &bytes) {
            if (!bytes.isEmpty())
                arrivals.append({bytes, clock.elapsed()});
        };
        tcp.onReceive = [record](TcpPeer &, const QByteArray &b) { record(b); };
        udp.onReceive = [record](UdpPeer &, const QByteArray &b) { record(b); };
        pty.onReceive = [record](PtyPeer &, const QByteArray &b) { record(b); };
    }
    QList<QByteArray> frames() const
    {
        QList<QByteArray> all;
        for (const Arrival &a : arrivals)
            all << a.bytes;
        return all;
    }
};

QByteArray bytes(std::initializer_list<int> codes)
{
    QByteArray b;
    for (int c : codes)
        b.append(char(c));
    return b;
}

} // namespace

Q_DECLARE_METATYPE(telvaro::SignType)
Q_DECLARE_METATYPE(telvaro::OperationOutcome::Ending)

class SignLoadTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { SetPauseTimeScale(100); }
    void cleanupTestCase() { SetPauseTimeScale(1); }

    void fileLabelsAndHeaders_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QByteArray>("label");
        QTest::newRow("0") << 0 << bytes({33, 33});
        QTest::newRow("1") << 1 << bytes({33, 34});
        QTest::newRow("89") << 89 << bytes({33, 122});
        QTest::newRow("90") << 90 << bytes({34, 33});
        QTest::newRow("8099") << 8099 << bytes({122, 122});
        QTest::newRow("8100") << 8100 << bytes({123, 33});
    }
    void fileLabelsAndHeaders()
    {
        QFETCH(int, number);
        QFETCH(QByteArray, label);
        QCOMPARE(AdpFileLabel(number), label);
        QCOMPARE(FileLabelNumber(label), std::optional<int>(number));
        QCOMPARE(AdpHeader(SignType::Orbilux, "0A", number),
                 bytes({0x01, 0x5A, 0x30, 0x41, 0x02, 0x41, 0x0F, 0x44, 0x54}) + label);
        QCOMPARE(AdpHeader(SignType::Vyrena, "01", number).left(2), bytes({0x01, 0x34}));
    }

    void loadedMessageCommands_data()
    {
        QTest::addColumn<bool>("call");
        QTest::addColumn<SignType>("type");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("refusal");
        const QString badNumber = "Invalid Message Number!";
        const QString badAddress = "Invalid Sign Address.\r\nAddress must be 2 Hexadecimal characters.";
        const auto V = SignType::Vyrena, O = SignType::Orbilux;
        QTest::newRow("vyrena 01, message 0") << true << V << "01"
                                              << "0"
                                              << "<0x01>401<0x02>E.SL<0x0F>DT!!<0x04>"
                                              << "";
        QTest::newRow("8100") << true << V << "00"
                              << "8100"
                              << "<0x01>400<0x02>E.SL<0x0F>DT{!<0x04>"
                              << "";
        QTest::newRow("45.5 becomes 46") << true << O << "00"
                                         << "45.5"
                                         << "<0x01>Z00<0x02>E.SL<0x0F>DT!O<0x04>"
                                         << "";
        QTest::newRow("44.5 becomes 44") << true << O << "00"
                                         << "44.5"
                                         << "<0x01>Z00<0x02>E.SL<0x0F>DT!M<0x04>"
                                         << "";
        QTest::newRow("blanks, then not a number") << true << V << "00"
                                                   << "  x7"
                                                   << "<0x01>400<0x02>E.SL<0x0F>DT!!<0x04>"
                                                   << "";
        QTest::newRow("8101") << true << V << "00"
                              << "8101"
                              << "" << badNumber;
        QTest::newRow("-1") << true << V << "00"
                            << "-1"
                            << "" << badNumber;
        QTest::newRow("number checked first") << true << V << "123"
                                              << "9000"
                                              << "" << badNumber;
        QTest::newRow("address 123") << true << V << "123"
                                     << "1"
                                     << "" << badAddress;
        QTest::newRow("address G") << true << V << "G"
                                   << "1"
                                   << "<0x01>4G<0x02>E.SL<0x0F>DT!\"<0x04>"
                                   << "";
        QTest::newRow("empty address") << true << V << ""
                                       << "1"
                                       << "<0x01>4<0x02>E.SL<0x0F>DT!\"<0x04>"
                                       << "";
        QTest::newRow("clear list") << false << O << "00"
                                    << "99999"
                                    << "<0x01>Z00<0x02>E.SL<0x04>"
                                    << "";
        QTest::newRow("clear list, address 123") << false << O << "123"
                                                 << "0"
                                                 << "" << badAddress;
    }
    void loadedMessageCommands()
    {
        QFETCH(bool, call);
        QFETCH(SignType, type);
        QFETCH(QString, address);
        QFETCH(QString, number);
        QFETCH(QString, text);
        QFETCH(QString, refusal);
        const LoadedCommand command =
            call ? CallMessageCommand(type, address, number) : ClearListCommand(type, address);
        QCOMPARE(command.text, text);
        QCOMPARE(command.refusal, refusal);
    }

    // Three set-up frames with "Z", then each message behind its header;
    // a new connection after the first frame; 5 s + 10 s after it, 2 s
    // after the others (a hundredth on the test clock).
    void loadsEveryFrameWithItsWaits_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("firstGapMs"); // UDP has no connection to renew
        QTest::newRow("tcp") << "tcp" << 150;
        QTest::newRow("udp") << "udp" << 100;
        QTest::newRow("pty") << "pty" << 150;
    }
    void loadsEveryFrameWithItsWaits()
    {
        QFETCH(QString, kind);
        QFETCH(int, firstGapMs);
        Fixture f(kind);
        f.fill({"ABC", "<0x1B>D<0x0D>"});
        const OperationOutcome outcome = f.ws.MnuLoadSign_Click(SignChoice{SignType::Vyrena, "01"});
        QVERIFY(outcome.complete());
        const QList<QByteArray> expected = {
            bytes({0x01, 'Z', '0', '1', 0x02, 'E', '$', 0x04}),
            bytes({0x01, 'Z', '0', '1', 0x02, 'E', '.', 'S', 'L', 0x04}),
            "SETPLAYLISTTOE",
            bytes({0x01, 0x34, 0x30, 0x31, 0x02, 0x41, 0x0F, 0x44, 0x54, 0x21, 0x21, 0x41, 0x42, 0x43}),
            bytes({0x01, 0x34, 0x30, 0x31, 0x02, 0x41, 0x0F, 0x44, 0x54, 0x21, 0x22, 0x1B, 'D', 0x0D}),
        };
        QCOMPARE(f.frames(), expected);
        if (kind == QLatin1String("tcp"))
            QCOMPARE(f.tcp.connections, 2);
        // Measured from the first message on, so that a late read of one
        // frame does not shorten the wait seen after it.
        const QList<Arrival> &a = f.arrivals;
        QVERIFY2(a[1].atMs - a[0].atMs >= firstGapMs - 8, qPrintable(QString::number(a[1].atMs - a[0].atMs)));
        for (int i = 2; i < a.size(); ++i) {
            const qint64 since = a[i].atMs - a[1].atMs;
            QVERIFY2(since >= (i - 1) * 20 - 8 && since < (i - 1) * 140, qPrintable(QString::number(since)));
        }
        // Escapes resolved into SendData, the time token left as it is.
        QCOMPARE(f.ws.table().entry(1).SendData, QByteArray("\x1B"
                                                            "D\r"));
        QCOMPARE(f.ws.status().text(3), QStringLiteral("Off"));
        QVERIFY(f.ws.menus().item(Item::MnuLoadSign).enabled && !f.ws.menus().item(Item::MnuLoadSign).checked);
        QVERIFY(!f.ws.link().serial().isOpen() && f.ws.link().socket().state() == 0);
    }

    void endings_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("frames");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<OperationOutcome::Ending>("ending");
        using Ending = OperationOutcome::Ending;
        QTest::newRow("cancelled") << "cancel" << 0 << QStringList{} << Ending::Stopped;
        QTest::newRow("empty table") << "empty" << 0 << QStringList{"Error Loading Sign"} << Ending::Failed;
        QTest::newRow("data entry in the 10 s wait") << "data entry" << 1 << QStringList{} << Ending::Stopped;
        QTest::newRow("escape out of range")
            << "bad escape" << 3 << QStringList{"Error Loading Sign"} << Ending::Failed;
    }
    void endings()
    {
        QFETCH(QString, how);
        QFETCH(int, frames);
        QFETCH(QStringList, messages);
        QFETCH(OperationOutcome::Ending, ending);
        Fixture f(QStringLiteral("udp"));
        if (how != QLatin1String("empty"))
            f.fill({how == QLatin1String("bad escape") ? "<0999>" : "A", "B"});
        QStringList panel3;
        QObject::connect(&f.ws.status(), &StatusPanels::changed, [&](int panel) {
            if (panel == 3)
                panel3 << f.ws.status().text(3);
        });
        if (how == QLatin1String("data entry"))
            f.udp.onReceive = [&f](UdpPeer &, const QByteArray &b) {
                f.arrivals.append({b, f.clock.elapsed()});
                QTimer::singleShot(30, &f.ws, [&f] { f.ws.MnuModeData_Click(); });
            };
        std::optional<SignChoice> choice;
        if (how != QLatin1String("cancel"))
            choice = SignChoice{};
        const OperationOutcome outcome = f.ws.MnuLoadSign_Click(choice);
        QCOMPARE(outcome.ending, ending);
        QCOMPARE(f.arrivals.size(), frames);
        QCOMPARE(f.prompter.messageTexts(), messages);
        QCOMPARE(f.ws.status().text(3), QStringLiteral("Off"));
        if (how == QLatin1String("data entry"))
            QCOMPARE(panel3, (QStringList{"-3", "Off"}));
        QVERIFY(f.ws.menus().item(Item::MnuLoadSign).enabled && f.ws.menus().item(Item::MnuModeData).checked);
        QVERIFY(f.ws.link().socket().state() == 0 && !f.ws.progress().isShown());
    }
};

QTEST_GUILESS_MAIN(SignLoadTest)
#include "tst_signload.moc"
