// The preview window against the command line's dry run, and the progress
// window's time left against the plan of the operation it shows.
#include "app/filecommands.h"
#include "devsim/controllerdevice.h"
#include "gui/frmpreview.h"
#include "peers.h"
#include "plan/planpreview.h"
#include "plan/timeleft.h"
#include "programs.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QTemporaryDir>

using namespace telvaro;
using test::child;

namespace {

// A table's intervals and texts.
using Messages = QList<std::pair<int, QByteArray>>;

struct Fixture : test::WindowFixture {
    QTemporaryDir dir;

    // The table of a TVD file as Open reads it: texts and intervals.
    void open(const Messages &messages)
    {
        QByteArray file;
        for (qsizetype i = 0; i < messages.size(); ++i)
            file += QByteArray::number(messages[i].first) + ',' + QByteArray::number(i) + ",\"" + messages[i].second +
                    "\",\"\"\r\n";
        QFile out(path());
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file) == file.size() && out.flush());
        QVERIFY(FileCommands(ws).OpenWithCompanion(path()));
    }
    QString path() const { return dir.filePath(QStringLiteral("table.TVD")); }
    FrmPreview *preview()
    {
        window.action(Item::MnuPreview)->trigger();
        return child<FrmPreview>(&window, QStringLiteral("FrmPreview"));
    }
    // What the preview shows: its refusal, in lines as a dry run prints it;
    // or one "START<tab>FRAME" line per frame, then the total as a dry run
    // prints it.
    static QString shown(const FrmPreview &preview)
    {
        if (const auto *refusal = child<QLabel>(&preview, "LblRefusal"); refusal->isVisible())
            return refusal->text().replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        const PlanPreview &plan = preview.preview();
        QString lines;
        for (int row = 0; row < plan.rowCount(); ++row)
            lines += plan.data(plan.index(row, PlanPreview::ColStart), Qt::DisplayRole).toString() + u'\t' +
                     plan.data(plan.index(row, PlanPreview::ColFrame), Qt::DisplayRole).toString() + u'\n';
        return lines + QStringLiteral("total ") + PlanPreview::StartText(plan.total()) + u'\n';
    }
};

// The operation, and the dry run's options for it, by the window's mode.
struct Operation {
    OperatingMode mode;
    QStringList command;
};

} // namespace

Q_DECLARE_METATYPE(Operation)

class GuiPreviewTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Frames, planned starts and total equal the dry run of the same table
    // and link, and the preview sends nothing; a table the operation would
    // refuse shows the message the operation gives, with its reason, as the
    // command line prints it.
    void previewEqualsDryRun_data()
    {
        test::columns<Operation, qint16, Messages, bool>({"operation", "port", "messages", "refused"});
        const Messages three{{100, "<0x02>A"}, {2500, "B<0x03>"}, {0, "C<0x0D>"}};
        const Operation signLoad{OperatingMode::SignLoad, {"load-sign"}};
        const Operation controller{OperatingMode::ControllerLoad, {"load-controller", "--serial-input"}};
        const Operation run{OperatingMode::Test, {"run"}};
        test::row("sign load over UDP", signLoad, qint16(-1), three, false);
        test::row("sign load over TCP", signLoad, qint16(0), three, false);
        test::row("sign load over serial", signLoad, qint16(1), three, false);
        test::row("controller load over serial", controller, qint16(1), three, false);
        test::row("controller load over TCP", controller, qint16(0), three, false);
        test::row("run over UDP", run, qint16(-1), three, false);
        Messages many;
        for (int i = 0; i < 300; ++i)
            many.append({10, "M" + QByteArray::number(i)});
        test::row("sign load of 300", signLoad, qint16(-1), many, false);
        test::row("sign load, bad escape", signLoad, qint16(-1), Messages{{10, "A"}, {10, "<0256>"}}, true);
        test::row("controller load, bad escape", controller, qint16(-1), Messages{{10, "<0300>"}}, true);
        test::row("run, bad escape", run, qint16(-1), Messages{{10, "<1234>"}}, true);
    }
    void previewEqualsDryRun()
    {
        const auto [operation, port, messages, refused] =
            test::fetch<Operation, qint16, Messages, bool>({"operation", "port", "messages", "refused"});
        Fixture f;
        test::UdpPeer udp;
        f.open(messages);
        const QString device = f.dir.filePath(QStringLiteral("no-such-device"));
        f.ws.linkSettings().set({port, "127.0.0.1", QString::number(udp.port()), "9600", device});
        f.ws.SetOperatingMode(operation.mode);
        f.prompter.clear();
        const QList<MessageEntry> before = f.ws.table().entries();
        FrmPreview *preview = f.preview();
        if (operation.command.contains("--serial-input")) {
            auto *serialInput = child<QCheckBox>(preview, "ChkSerialInput");
            serialInput->setFocus();
            QTest::keyClick(serialInput, Qt::Key_Space);
        }
        const QStringList link = port > 0 ? QStringList{"--device", device}
                                          : QStringList{"--ip", "127.0.0.1", "--ip-port", QString::number(udp.port())};
        const test::ProgramResult dry = test::RunProgram(
            test::CliPath(),
            operation.command + link + QStringList{"--port", QString::number(port), "--dry-run", f.path()},
            {"TELVARO_TIME_SCALE=1"});
        QCOMPARE(dry.status, refused ? 1 : 0);
        QCOMPARE(child<QLabel>(preview, "LblRefusal")->isVisible(), refused);
        QTRY_COMPARE(Fixture::shown(*preview), QString::fromUtf8(refused ? dry.err.trimmed() : dry.out));
        QCOMPARE(child<QTableView>(preview, "GrdFrames")->isVisible(), !refused);
        QCOMPARE(child<QLabel>(preview, "LblTotal")->text(), refused ? QString() : preview->preview().totalText());
        QVERIFY(preview->isVisible() && udp.datagrams.isEmpty());
        QCOMPARE(f.prompter.messageTexts(), QStringList{}); // nothing was put before the operator
        QCOMPARE(f.ws.table().entries(), before);
        QCOMPARE(f.ws.transfer().transmitting(), 0);
    }

    // The preview follows the table, the mode and its own choices, and
    // stays open.
    void previewFollowsTheTable()
    {
        Fixture f;
        f.addEntries(2);
        FrmPreview *preview = f.preview();
        const PlanPreview &plan = preview->preview();
        QCOMPARE(plan.rowCount(), 2);
        QCOMPARE(plan.data(plan.index(1, PlanPreview::ColStep), Qt::DisplayRole).toString(), "message 001");
        f.ws.setBox(Workspace::Box::MessageNumber, QStringLiteral("002"));
        f.ws.setBox(Workspace::Box::Interval, QStringLiteral("5"));
        f.ws.setBox(Workspace::Box::Entry, QStringLiteral("NEW"));
        f.ws.CmdAddMessage_Click();
        QTRY_COMPARE(plan.rowCount(), 3);
        QCOMPARE(plan.data(plan.index(2, PlanPreview::ColFrame), Qt::DisplayRole).toString(), "NEW");
        // A run that repeats shows one pass, up to where it starts again.
        f.ws.entry().setRepeatEnabled(true);
        f.ws.setBox(Workspace::Box::RepeatCaption, QStringLiteral("1"));
        QTRY_VERIFY(plan.repeats());
        QCOMPARE(plan.rowCount(), 3);
        // Message 1 comes again after the three intervals, 100, 101 and 5 ms.
        QCOMPARE(plan.totalText(), QStringLiteral("Repeats after 0.206 s (0.2 s) until Data Entry ends it"));
        f.ws.entry().setRepeatEnabled(false);
        f.ws.SetOperatingMode(OperatingMode::SignLoad);
        QTRY_COMPARE(plan.rowCount(), 6);
        QCOMPARE(plan.data(plan.index(0, PlanPreview::ColStep), Qt::DisplayRole).toString(), "set-up 1 of 3");
        auto *address = child<QLineEdit>(preview, "TxtSignAddress");
        address->setFocus();
        address->selectAll();
        QTest::keyClicks(address, "a7");
        QTRY_VERIFY(plan.data(plan.index(0, PlanPreview::ColFrame), Qt::DisplayRole).toString().contains("ZA7"));
        f.ws.SetOperatingMode(OperatingMode::ControllerLoad);
        QTRY_COMPARE(plan.data(plan.index(6, PlanPreview::ColStep), Qt::DisplayRole).toString(), "configuration");
        QCOMPARE(f.preview(), preview); // the one preview, brought forward
        QVERIFY(preview->isVisible());
    }

    // At every update of a sign load over UDP, the time left lies between
    // what the dry run plans for the end of the step reached and for its
    // start (5 % of the whole either side).
    void timeLeftFollowsThePlan()
    {
        Fixture f;
        test::UdpPeer udp;
        f.open({{10, "A"}, {10, "B"}, {10, "C"}, {10, "D"}});
        f.ws.linkSettings().set({-1, "127.0.0.1", QString::number(udp.port()), "9600", {}});
        f.ws.SetOperatingMode(OperatingMode::SignLoad);
        const double scale = 40;
        const test::ProgramResult dry = test::RunProgram(
            test::CliPath(),
            {"load-sign", "--port", "-1", "--ip", "127.0.0.1", "--ip-port", "9", "--dry-run", f.path()},
            {"TELVARO_TIME_SCALE=" + QString::number(scale)});
        QList<double> starts;
        double total = 0;
        for (const QByteArray &line : dry.out.split('\n'))
            if (line.startsWith("total "))
                total = line.mid(6).toDouble();
            else if (!line.isEmpty())
                starts << line.left(line.indexOf('\t')).toDouble();
        QCOMPARE(starts.size(), 7);
        auto *progress = child<QWidget>(&f.window, "frmProgress");
        auto *timeLeft = progress->findChild<TimeLeft *>();
        QVERIFY(timeLeft);
        QStringList faults;
        int updates = 0;
        int lastStep = -4;
        connect(timeLeft, &TimeLeft::changed, this, [&] {
            const auto left = timeLeft->left();
            bool isStep = false;
            const int step = f.ws.status().text(3).toInt(&isStep);
            if (!timeLeft->isShown() || !left || !isStep)
                return;
            ++updates;
            const qsizetype i = step + 3;
            const double latest = total - starts.at(i);
            // As a step begins, all of it is ahead; then down to the next
            // step's start.
            const double earliest = step != lastStep ? latest : i + 1 < starts.size() ? total - starts.at(i + 1) : 0;
            lastStep = step;
            if (*left > latest + total / 20 || *left < earliest - total / 20)
                faults << QString::asprintf("step %d: %g s left, planned %g to %g", step, *left, earliest, latest);
        });
        SetPauseTimeScale(scale);
        f.ws.MnuLoadSign_Click(SignChoice{});
        SetPauseTimeScale(1);
        QCOMPARE(udp.datagrams.size(), 7);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
        // A step each, and the refresh on top at least once a second.
        QVERIFY2(updates >= 7, qPrintable(QString::number(updates)));
        QVERIFY(timeLeft->text().isEmpty());
    }

    // A controller load counts down to its end; an upload counts down the
    // longest it may take.
    void controllerLoadAndUploadCountDown()
    {
        Fixture f;
        test::PtyPeer pty;
        devsim::ControllerDevice controller{[&pty](const QByteArray &b) { pty.reply(b); }};
        controller.setPaceMs(20);
        pty.onReceive = [&controller](test::PtyPeer &, const QByteArray &b) { controller.receive(b); };
        f.ws.linkSettings().set({1, "127.0.0.1", "3001", "9600", pty.devicePath()});
        f.open({{10, "A<0x04>"}, {10, "B<0x04>"}});
        f.ws.SetOperatingMode(OperatingMode::ControllerLoad);
        auto *progress = child<QWidget>(&f.window, "frmProgress");
        auto *shown = child<QLabel>(progress, "LblTimeLeft");
        QStringList seen;
        auto *timeLeft = progress->findChild<TimeLeft *>();
        connect(timeLeft, &TimeLeft::changed, this, [&] {
            if (timeLeft->isShown())
                seen << progress->windowTitle() + u'|' + shown->text();
        });
        SetPauseTimeScale(50);
        QVERIFY(f.ws.LoadController(true).complete());
        const QStringList loading = std::exchange(seen, {});
        QVERIFY(f.ws.MnuUploadController_Click().complete());
        SetPauseTimeScale(1);
        QVERIFY(!loading.isEmpty() && !seen.isEmpty());
        // The caption keeps its own text; an upload has no frames to count.
        QCOMPARE(loading.filter(QRegularExpression(R"(^Sending Message #.*\|[0-9.]+ s, [0-9.]+ s left$)")), loading);
        QCOMPARE(seen.filter(QRegularExpression(R"(^Sending Message #\|[0-9.]+ s, at most [0-9.]+ s left$)")), seen);
    }

    // The figures as the operator reads them.
    void durationTexts()
    {
        QCOMPARE((QStringList{DurationText(12.34), DurationText(724), DurationText(15420)}),
                 (QStringList{"12.3 s", "12 min 4 s", "4 h 17 min"}));
    }
};

QTEST_MAIN(GuiPreviewTest)
#include "tst_gui_preview.moc"
