// Running the table over a real loopback link: order, repeat, stopping,
// failures and the menu states around a run.
#include "base/clock.h"
#include "base/wait.h"
#include "codec/escapes.h"
#include "link/link.h"
#include "linkedworkspace.h"
#include "peers.h"
#include "run/run.h"

#include <QElapsedTimer>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

using namespace telvaro;
using test::PtyPeer;
using test::TcpPeer;
using test::UdpPeer;

namespace {

struct Fixture : test::LinkedWorkspace {
    UdpPeer udp;

    Fixture() { linkTo(-1, udp.port()); }
    void repeatFrom(const QString &caption)
    {
        ws.entry().setRepeatEnabled(true);
        ws.setBox(Workspace::Box::RepeatCaption, caption);
    }
    void useTerminal(const QString &device)
    {
        QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Telvaro"), QStringLiteral("Telvaro"))
            .setValue(QStringLiteral("SerialPorts/3"), device);
        ws.linkSettings().setPortNumber(3);
    }
    // Data entry once the device has received n datagrams.
    void stopAfter(int n)
    {
        udp.onReceive = [this, n](UdpPeer &peer, const QByteArray &) {
            if (peer.datagrams.size() == n)
                ws.MnuModeData_Click();
        };
    }
    // While a stopped run still holds the link, the commands that would be
    // refused show disabled.
    bool dataEntryState(bool linkFree = true)
    {
        const MenuState &menus = ws.menus();
        return menus.item(Item::MnuModeData).checked && !menus.item(Item::MnuModeRun).checked &&
               menus.item(Item::MnuModeRun).enabled == linkFree && menus.item(Item::CmdQuickSend).enabled == linkFree &&
               menus.item(Item::MnuCommunication).enabled && ws.transfer().transmitting() == 0 &&
               ws.status().text(2) == QLatin1String("No Traffic") && ws.status().text(3) == QLatin1String("Off") &&
               ws.link().socket().state() == 0;
    }
};

} // namespace

Q_DECLARE_METATYPE(telvaro::OperationOutcome::Ending)

class RunTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { SetPauseTimeScale(100); }
    void cleanupTestCase() { SetPauseTimeScale(1); }

    void runOrder_data()
    {
        QTest::addColumn<int>("entries");
        QTest::addColumn<QString>("repeat"); // empty: repeat off
        QTest::addColumn<int>("stopAt");
        QTest::addColumn<QList<QByteArray>>("sent");
        QTest::newRow("once through") << 3 << "" << 0 << QList<QByteArray>{"E0", "E1", "E2"};
        QTest::newRow("repeat from 2") << 5 << "2" << 9
                                       << QList<QByteArray>{"E0", "E1", "E2", "E3", "E4", "E2", "E3", "E4", "E2"};
        QTest::newRow("empty repeat caption starts at 0")
            << 2 << "<none>" << 5 << QList<QByteArray>{"E0", "E1", "E0", "E1", "E0"};
        QTest::newRow("repeat point above the bound ends") << 3 << "9" << 0 << QList<QByteArray>{"E0", "E1", "E2"};
    }
    void runOrder()
    {
        QFETCH(int, entries);
        QFETCH(QString, repeat);
        QFETCH(int, stopAt);
        QFETCH(QList<QByteArray>, sent);
        Fixture f;
        QList<QByteArray> texts;
        for (int i = 0; i < entries; ++i)
            texts << "E" + QByteArray::number(i);
        f.fill(texts);
        if (!repeat.isEmpty())
            f.repeatFrom(repeat == QLatin1String("<none>") ? QString() : repeat);
        if (stopAt > 0)
            f.stopAfter(stopAt);
        QSignalSpy highlights(&f.ws.table(), &MessageTable::highlightRequested);
        f.ws.MnuModeRun_Click();
        QCOMPARE(f.udp.datagrams, sent);
        QVERIFY(f.dataEntryState());
        QVERIFY(f.prompter.shown.isEmpty());
        QCOMPARE(highlights.size(), sent.size());
        QCOMPARE(highlights.front(), (QList<QVariant>{1, 1, 3}));
    }

    void menusAndPanelsDuringARun()
    {
        Fixture f;
        f.fill({"A<0x0D>", "B"});
        f.ws.table().entry(0).SendData = "stale";
        QStringList panel2, panel3;
        QObject::connect(&f.ws.status(), &StatusPanels::changed, [&](int panel) {
            if (panel == 2 || panel == 3)
                (panel == 2 ? panel2 : panel3) << f.ws.status().text(panel);
        });
        QList<QList<bool>> menus; // run checked, run enabled, quick send, communication, data checked, mode
        f.udp.onReceive = [&](UdpPeer &, const QByteArray &) {
            menus << QList<bool>{
                f.ws.menus().item(Item::MnuModeRun).checked,   f.ws.menus().item(Item::MnuModeRun).enabled,
                f.ws.menus().item(Item::CmdQuickSend).enabled, f.ws.menus().item(Item::MnuCommunication).enabled,
                f.ws.menus().item(Item::MnuModeData).checked,  f.ws.menus().item(Item::MnuMode).enabled};
        };
        f.ws.MnuModeRun_Click();
        const QList<bool> running{true, false, false, false, false, true}; // data entry can still be chosen
        QCOMPARE(menus, (QList<QList<bool>>{running, running}));
        QCOMPARE(panel3, (QStringList{"0", "1", "Off"}));
        QCOMPARE(panel2, (QStringList{"", "A\r", "", "B", "No Traffic"}));
        QCOMPARE(f.ws.table().entry(0).SendData, QByteArray("A\r")); // derived again before sending
    }

    void timeTokenExpandedAtSending()
    {
        Fixture f;
        const QDateTime when(QDate(2026, 12, 6), QTime(13, 45, 7));
        SetLocalNowSource([when] { return when; });
        f.fill({"<T>|<0x54>"});
        f.ws.MnuModeRun_Click();
        SetLocalNowSource({});
        QCOMPARE(f.udp.datagrams, (QList<QByteArray>{TimeTokenText(when) + "|T"}));
        QCOMPARE(f.ws.table().entry(0).SendData, QByteArray("<T>|T")); // the stored bytes keep the token
    }

    void dataEntryDuringAWaitStopsAtTheNextStep()
    {
        Fixture f;
        f.fill({"A", "B", "C"}, 60000);
        f.udp.onReceive = [&f](UdpPeer &, const QByteArray &) {
            QTimer::singleShot(20, [&f] {
                f.ws.MnuModeData_Click();
                // At once: link closed and menus restored, while the run waits.
                QVERIFY(f.dataEntryState(false));
            });
        };
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(f.ws.MnuModeRun_Click().ending, OperationOutcome::Ending::Stopped);
        QCOMPARE(f.udp.datagrams, QList<QByteArray>{"A"});
        // The remaining wait still ran out (60 s on the test clock).
        QVERIFY2(clock.elapsed() >= 590, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(f.dataEntryState());
    }

    void zeroIntervalsStillStopWithRepeat()
    {
        Fixture f;
        f.fill({"A", "B"}, 0);
        f.ws.table().entry(1).Interval = 600001; // above ten minutes: no wait either
        f.repeatFrom("0");
        f.stopAfter(40);
        f.ws.MnuModeRun_Click();
        QVERIFY(f.udp.datagrams.size() >= 40);
        QVERIFY(f.udp.datagrams.size() < 200);
        QVERIFY(f.dataEntryState());
    }

    void entriesAddedDuringARunAreNotSent()
    {
        Fixture f;
        f.fill({"A", "B"});
        f.repeatFrom("0");
        f.udp.onReceive = [&f](UdpPeer &peer, const QByteArray &) {
            if (peer.datagrams.size() == 1) {
                f.ws.table().AppendEntry();
                f.ws.table().SetContents(2, 100, "NEW", "NEW", {});
            }
        };
        f.ws.MnuModeRun_Click();
        // The repeat test no longer matches, so the run ends after B.
        QCOMPARE(f.udp.datagrams, (QList<QByteArray>{"A", "B"}));
        QVERIFY(f.dataEntryState());
    }

    void failuresEndInDataEntry_data()
    {
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<QString>("repeat");
        QTest::addColumn<QString>("link"); // udp, a bad port text, or a refused tcp connection
        QTest::addColumn<QList<QByteArray>>("sent");
        QTest::addColumn<QString>("message");
        QTest::addColumn<OperationOutcome::Ending>("ending");
        const QString error = "Error Going into Run";
        using Ending = OperationOutcome::Ending;
        QTest::newRow("escape out of range") << QByteArray("<1234>") << ""
                                             << "udp" << QList<QByteArray>{"A"} << error << Ending::Failed;
        QTest::newRow("repeat point below 0") << QByteArray("B") << "-1"
                                              << "udp" << QList<QByteArray>{"A", "B"} << error << Ending::Failed;
        QTest::newRow("port not a number") << QByteArray("B") << ""
                                           << "not a port" << QList<QByteArray>{} << error << Ending::ConnectionFailed;
        QTest::newRow("connection refused")
            << QByteArray("B") << ""
            << "refused" << QList<QByteArray>{} << "Unable to connect!  State = 9" << Ending::ConnectionFailed;
    }
    void failuresEndInDataEntry()
    {
        QFETCH(QByteArray, second);
        QFETCH(QString, repeat);
        QFETCH(QString, link);
        QFETCH(QList<QByteArray>, sent);
        QFETCH(QString, message);
        QFETCH(OperationOutcome::Ending, ending);
        Fixture f;
        f.fill({"A", second});
        if (!repeat.isEmpty())
            f.repeatFrom(repeat);
        TcpPeer refused;
        if (link == QLatin1String("refused"))
            f.ws.linkSettings().setPortNumber(0), f.ws.linkSettings().setIpPort(QString::number(refused.port()));
        else if (link != QLatin1String("udp"))
            f.ws.linkSettings().setIpPort(link);
        refused.stopListening();
        const OperationOutcome outcome = f.ws.MnuModeRun_Click();
        QCOMPARE(outcome.ending, ending);
        QVERIFY(!outcome.reason.isEmpty());
        QCOMPARE(f.udp.datagrams, sent);
        QCOMPARE(f.prompter.messageTexts(), QStringList{message});
        QCOMPARE(f.prompter.shown.front().title, QStringLiteral("Telvaro"));
        QVERIFY(f.dataEntryState());
    }

    void portNotOpenAndTheRunGoesOn()
    {
        Fixture f;
        TcpPeer peer;
        f.ws.linkSettings().setPortNumber(0);
        f.ws.linkSettings().setIpPort(QString::number(peer.port()));
        f.fill({"A", "B", "C"}, 500);
        peer.onReceive = [](TcpPeer &p, const QByteArray &chunk) {
            if (chunk.contains('A'))
                p.dropConnection(false);
        };
        QStringList panel2;
        QObject::connect(&f.ws.status(), &StatusPanels::changed, [&](int panel) {
            if (panel == 2 && !f.ws.status().text(2).isEmpty())
                panel2 << f.ws.status().text(2);
        });
        const OperationOutcome outcome = f.ws.MnuModeRun_Click();
        QCOMPARE(outcome.ending, OperationOutcome::Ending::Done);
        QCOMPARE(outcome.framesNotSent, 2);
        QVERIFY(!outcome.complete());
        QCOMPARE(peer.received, QByteArray("A"));
        QCOMPARE(panel2, (QStringList{"A", "Port Not Open", "Port Not Open", "No Traffic"}));
        QVERIFY(f.prompter.shown.isEmpty());
        QVERIFY(f.dataEntryState());
    }

    void secondRunInsideAWaitIsRefused()
    {
        Fixture f;
        f.fill({"A"}, 1000);
        OperationOutcome second;
        f.udp.onReceive = [&f, &second](UdpPeer &, const QByteArray &) {
            f.ws.menus().setEnabled(Item::MnuModeRun, true); // even if something re-enabled it
            second = f.ws.MnuModeRun_Click();
        };
        QVERIFY(f.ws.MnuModeRun_Click().complete());
        QCOMPARE(second.ending, OperationOutcome::Ending::Refused);
        QCOMPARE(f.udp.datagrams, QList<QByteArray>{"A"});
    }

    void droppedLinkIsReported_data()
    {
        // A closed connection leaves the run to send "Port Not Open" to its
        // end; a device that vanishes ends it through data entry.
        QTest::addColumn<QString>("how");
        QTest::addColumn<OperationOutcome::Ending>("ending");
        QTest::addColumn<int>("framesNotSent");
        QTest::newRow("tcp reset") << "tcp reset" << OperationOutcome::Ending::Done << 2;
        QTest::newRow("terminal closed") << "pty" << OperationOutcome::Ending::Failed << 0;
    }
    void droppedLinkIsReported()
    {
        QFETCH(QString, how);
        QFETCH(OperationOutcome::Ending, ending);
        QFETCH(int, framesNotSent);
        Fixture f;
        TcpPeer tcp;
        PtyPeer pty;
        QByteArray got; // by the device before it went
        f.fill({"A", "B", "C"}, 1000);
        if (how == QLatin1String("pty")) {
            f.useTerminal(pty.devicePath());
            pty.onReceive = [&got](PtyPeer &p, const QByteArray &chunk) {
                got += chunk;
                p.vanish();
            };
        } else {
            f.ws.linkSettings().setPortNumber(0);
            f.ws.linkSettings().setIpPort(QString::number(tcp.port()));
            tcp.onReceive = [&got](TcpPeer &p, const QByteArray &chunk) {
                got += chunk;
                if (!chunk.isEmpty())
                    p.dropConnection(true);
            };
        }
        const OperationOutcome outcome = f.ws.MnuModeRun_Click();
        QCOMPARE(outcome.ending, ending);
        QCOMPARE(outcome.framesNotSent, framesNotSent);
        QVERIFY(outcome.linkDropped);
        QVERIFY(!outcome.reason.isEmpty());
        QVERIFY(f.prompter.shown.isEmpty());
        QCOMPARE(got, QByteArray("A"));
        QVERIFY(f.dataEntryState());
    }

    // The table replaced while a send waits for a device that does not read:
    // the run copies what it needs before the send, counts the send that ran
    // out of time as not sent, and stops at the entry that is gone.
    void tableReplacedDuringASendWait()
    {
        Fixture f;
        TcpPeer peer;
        peer.stallReading();
        f.ws.linkSettings().setPortNumber(0);
        f.ws.linkSettings().setIpPort(QString::number(peer.port()));
        f.fill({QByteArray(16 << 20, 'x'), "B"}, 100);
        QTimer::singleShot(100, &f.ws, [&f] {
            f.ws.table().Clear();
            f.ws.table().RefreshGrid();
        });
        const OperationOutcome outcome = f.ws.MnuModeRun_Click();
        QCOMPARE(outcome.ending, OperationOutcome::Ending::Failed);
        QCOMPARE(outcome.framesNotSent, 1);
        QCOMPARE(f.prompter.messageTexts(), QStringList{"Error Going into Run"});
        QVERIFY(f.dataEntryState());
    }

    // A device that reads late: the send runs out of time and is reported,
    // but what is queued still gets to the device before the link closes.
    void queuedBytesGoOutBeforeTheClose()
    {
        Fixture f;
        SetPauseTimeScale(20);
        TcpPeer peer;
        peer.stallReading();
        f.ws.linkSettings().setPortNumber(0);
        f.ws.linkSettings().setIpPort(QString::number(peer.port()));
        const int size = 16 << 20;
        f.ws.setBox(Workspace::Box::Entry, QString(size, u'q'));
        // The send runs out of time (30 s, 1.5 s here); the device reads
        // again after the two-second hold, within the closing drain.
        QObject::connect(&f.ws.status(), &StatusPanels::changed, &peer, [&f, &peer](int panel) {
            if (panel == 2 && f.ws.status().text(2) == QLatin1String("Port Not Open"))
                QTimer::singleShot(200, &peer, [&peer] { peer.resumeReading(); });
        });
        const OperationOutcome outcome = f.ws.CmdQuickSend_Click();
        QCOMPARE(outcome.framesNotSent, 1);
        QCOMPARE(outcome.bytesNotSent, 0);
        QTRY_COMPARE_WITH_TIMEOUT(peer.received.size(), size, 10000);
    }
};

QTEST_GUILESS_MAIN(RunTest)
#include "tst_run.moc"
