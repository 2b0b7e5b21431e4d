// Long runs on the test clock with resident memory sampled, a run's
// schedule around a slow send, and a table at its full size through save,
// open and run.
#include "app/filecommands.h"
#include "base/wait.h"
#include "datatable.h"
#include "linkedworkspace.h"
#include "peers.h"
#include "resident.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace telvaro;
using test::TcpPeer;
using test::UdpPeer;

namespace {

struct Fixture : test::LinkedWorkspace {
    UdpPeer udp;
    Fixture() { linkTo(-1, udp.port()); }
    void fill(int count, qint32 interval)
    {
        QList<MessageEntry> entries(count);
        for (int i = 0; i < count; ++i)
            entries[i] = {qint16(i), interval, "<0x02>MESSAGE " + QByteArray::number(i) + "<0x03>", {}, {}};
        ws.table().ReplaceAll(entries);
        ws.table().RefreshGrid();
    }
};

} // namespace

class SoakTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { SetPauseTimeScale(1000); }
    void cleanupTestCase() { SetPauseTimeScale(1); }

    // Memory after the first thousand sends and after ten thousand stays
    // within a small margin: nothing grows with the number of sends.
    void longRunAndLoadStayFlat_data()
    {
        test::rows<bool>("signLoad",
                         {{"run of 10,000 sends with repeat", false}, {"sign load of 1,000 messages", true}});
    }
    void longRunAndLoadStayFlat()
    {
        QFETCH(bool, signLoad);
        Fixture f;
        f.fill(signLoad ? 1000 : 10, 0);
        qint64 early = 0;
        int received = 0;
        f.udp.onReceive = [&](UdpPeer &peer, const QByteArray &) {
            if (++received == 100)
                early = test::ResidentKiB();
            if (!signLoad && received == 10000)
                f.ws.MnuModeData_Click();
            // The device keeps no history: only the count matters here.
            peer.datagrams.clear();
        };
        int sent = 0;
        QObject::connect(&f.ws.status(), &StatusPanels::changed, [&](int panel) {
            if (panel == 2 && !f.ws.status().text(2).isEmpty() && f.ws.status().text(2) != QLatin1String("No Traffic"))
                ++sent;
        });
        if (signLoad) {
            QVERIFY(f.ws.MnuLoadSign_Click(SignChoice{}).complete());
            QCOMPARE(sent, 1003);
        } else {
            f.ws.entry().setRepeatEnabled(true);
            f.ws.setBox(Workspace::Box::RepeatCaption, QStringLiteral("0"));
            QCOMPARE(f.ws.MnuModeRun_Click().ending, OperationOutcome::Ending::Stopped);
            QVERIFY(sent >= 10000);
        }
        if (!test::MemoryIsMeasurable)
            QSKIP("AddressSanitizer keeps freed memory in quarantine: memory is measured in the plain build");
        const qint64 late = test::ResidentKiB();
        QVERIFY(early > 0);
        QVERIFY2(late - early < 8 * 1024, qPrintable(QStringLiteral("%1 KiB -> %2 KiB").arg(early).arg(late)));
    }

    // A run keeps the schedule its first message set, whatever a send costs:
    // a send that took part of an interval (a device slow to take the frame)
    // moves nothing after it; one that took several intervals restarts the
    // schedule from its end, without a burst of the messages missed meanwhile.
    void runKeepsItsSchedule_data()
    {
        test::columns<int, int>({"intervalMs", "stallMs"});
        test::row("send for half an interval", 800, 400);
        test::row("send for five intervals", 200, 1000);
    }
    void runKeepsItsSchedule()
    {
        const auto [interval, stall] = test::fetch<int, int>({"intervalMs", "stallMs"});
        SetPauseTimeScale(2);
        TcpPeer tcp;
        tcp.stallReading(); // from its connection on, with room for little
        test::LinkedWorkspace f;
        f.linkTo(0, tcp.port());
        // Message 1 is more than the sockets hold: its send lasts until the device reads again.
        f.fill({"A", QByteArray(8 << 20, 'x'), "C", "D"}, interval * 2);
        QElapsedTimer clock;
        clock.start();
        QList<qint64> due; // when each message became due, in ms
        QObject::connect(&f.ws.status(), &StatusPanels::changed, &f.ws, [&, stall = stall](int panel) {
            bool number = false;
            const int at = f.ws.status().text(3).toInt(&number);
            if (panel != 3 || !number)
                return;
            due << clock.elapsed();
            if (at == 1)
                QTimer::singleShot(stall, &tcp, [&tcp] { tcp.resumeReading(); });
        });
        QVERIFY(f.ws.MnuModeRun_Click().complete());
        QCOMPARE(due.size(), 4);
        const QString times =
            QStringLiteral("due at %1, %2, %3, %4 ms").arg(due[0]).arg(due[1]).arg(due[2]).arg(due[3]);
        if (stall < interval) {
            // Message 3 is due three intervals after message 0, the slow send not added.
            QVERIFY2(due[3] - due[0] >= 3 * interval - 1 && due[3] - due[0] < 3 * interval + stall / 2,
                     qPrintable(times));
        } else {
            // Message 2 goes once message 1 is out, message 3 a whole interval later.
            QVERIFY2(due[2] - due[1] >= stall && due[3] - due[2] >= interval / 2, qPrintable(times));
        }
    }

    // The table at its 32,766 messages: saved and opened whole, and a run
    // starts.
    void fullTable()
    {
        Fixture f;
        f.fill(MessageTable::MaxEntries, 1000);
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("full.TVD"));
        FileCommands files(f.ws);
        QCOMPARE(files.SaveFile(name), FileCommands::SaveResult::Saved);
        f.ws.NewTable();
        QVERIFY(files.OpenWithCompanion(name));
        QCOMPARE(f.ws.table().count(), MessageTable::MaxEntries);
        QCOMPARE(f.ws.table().entry(32765).Text, QByteArray("<0x02>MESSAGE 32765<0x03>"));
        f.udp.onReceive = [&f](UdpPeer &peer, const QByteArray &) {
            if (peer.datagrams.size() == 3)
                f.ws.MnuModeData_Click();
        };
        QCOMPARE(f.ws.MnuModeRun_Click().ending, OperationOutcome::Ending::Stopped);
        QCOMPARE(f.udp.datagrams.size(), 3);
    }
};

QTEST_GUILESS_MAIN(SoakTest)
#include "tst_soak.moc"
