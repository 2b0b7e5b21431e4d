// Start-up from the settings store, saving, the shutdown question, the stop
// signals and the one wait every pause and reply wait is made of.
#include "app/mainlayout.h"
#include "app/workspace.h"
#include "base/settingsstore.h"
#include "base/transfer.h"
#include "base/wait.h"
#include "datatable.h"
#include "peers.h"
#include "programs.h"
#include "scriptedprompter.h"
#include "temphome.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using namespace telvaro;

namespace {

struct Fixture {
    test::TempHome home;
    test::ScriptedPrompter prompter;
    Workspace ws{prompter};
    SettingsStore settings;

    // "KEY=value" pairs.
    void store(const QStringList &values)
    {
        for (const QString &pair : values)
            settings.write(pair.section(u'=', 0, 0), pair.section(u'=', 1));
        QVERIFY(settings.flush());
    }
    QString saved(const char *key) const
    {
        return QSettings(home.settingsFile(), QSettings::IniFormat).value(QStringLiteral("Settings/") + key).toString();
    }
};

// At 20 ms into a wait of 200 ms: its condition turns true unseen until a signal at 40 ms, Transmitting
// falls, or a nested wait of 280 ms (a prompt kept open) starts; or it was true at the start; or the
// wait is a Pause of 2 s on a test clock ten times as fast.
enum class Event { None, ConditionTrue, Signal, TransmittingFalls, NestedPause, ScaledPause };
using Ending = std::tuple<Event, Wait::End, int, int>; // how, end, at least, below ms

} // namespace

Q_DECLARE_METATYPE(QList<telvaro::TwipsRect>)

class AppTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The working controls for several inner sizes, every rectangle and
    // column compared: a frame of 9000 x 1600 and a comment box of 100.
    void layoutArithmetic_data()
    {
        using Rects = QList<TwipsRect>; // entry, frame, comment, grid, received data
        test::columns<QSizeF, Rects, QList<double>>({"client", "rects", "columns"});
        const auto stack = [](double w, double gridHeight) {
            return Rects{{500, 500, w, 750},
                         {500, 1300, 9000, 1600},
                         {500, 2950, w, 100},
                         {500, 3100, w, gridHeight},
                         {500, 3200 + gridHeight, w, 750}};
        };
        test::row("half rounds to even up", QSizeF(9001, 5000), stack(8001, 0), QList<double>{550, 1000, 3036, 3036});
        test::row("half rounds to even down", QSizeF(9003, 6000), stack(8003, 1000),
                  QList<double>{550, 1000, 3036, 3036});
        test::row("narrower than the margins", QSizeF(900, 7000), stack(0, 2000), QList<double>{550, 1000, 0, 0});
        test::row("lower than 5000", QSizeF(9000, 4999), stack(8000, 0).mid(0, 3), QList<double>{});
        test::row("minimised", QSizeF(0, 0), stack(0, 0).mid(0, 3), QList<double>{});
    }
    void layoutArithmetic()
    {
        const auto [client, rects, columns] =
            test::fetch<QSizeF, QList<TwipsRect>, QList<double>>({"client", "rects", "columns"});
        const MainLayout layout = Form_Resize(client.width(), client.height(), {0, 0, 9000, 1600}, 100);
        QList<TwipsRect> placed;
        for (const auto &r : {layout.entry, layout.select, layout.comment, layout.grid, layout.recData})
            if (r)
                placed << *r;
        QCOMPARE(placed, rects);
        QCOMPARE(layout.columns ? QList<double>(layout.columns->begin(), layout.columns->end()) : QList<double>{},
                 columns);
    }

    // Geometry read in order, then the link; a value that does not read
    // stops the load with a message, the later steps not run. Then saved
    // back: the port as a number, the rest as stored.
    void formLoad_data()
    {
        // loaded: left,top,width,height|port|address|IP port|baud|caption|message; saved: AppPort|AppSerialBaud
        test::columns<QStringList, QString, QString>({"stored", "loaded", "saved"});
        const QString defaults = "|192.168.1.100|3001|9600|Telvaro - Test Mode|", at = "1000,1000,7500,6000|";
        using L = QStringList;
        test::row("first run", L{}, at + "1" + defaults, "1|9600");
        test::row("udp",
                  L{"AppPort=-1", "AppIP=127.0.0.1", "AppIPPort=4001", "AppSerialBaud= 19200", "MainLeft=1500",
                    "MainWidth=9000.5"},
                  "1500,1000,9000.5,6000|-1|127.0.0.1|4001| 19200|Telvaro - Test Mode|", "-1| 19200");
        test::row("letters select tcp", L{"AppPort=abc"}, at + "0" + defaults, "0|9600");
        test::row("rounded half even", L{"AppPort=2.5"}, at + "2" + defaults, "2|9600");
        const QString failed = "|1|192.168.1.100|3001|9600|Telvaro|error!";
        test::row("top not a number", L{"MainTop=12a"}, "1000,-,-,-" + failed, "1|9600");
        test::row("width not a number", L{"MainWidth=12a"}, "1000,1000,-,-" + failed, "1|9600");
        test::row("port beyond 16 bits", L{"AppPort=40000"}, at.chopped(1) + failed, "1|9600");
    }
    void formLoad()
    {
        const auto [stored, loaded, saved] = test::fetch<QStringList, QString, QString>({"stored", "loaded", "saved"});
        Fixture f;
        f.store(stored);
        const auto outcome = f.ws.Form_Load(f.settings);
        QCOMPARE(QFile::exists(f.home.settingsFile()), !stored.isEmpty()); // reading writes nothing
        QStringList geometry;
        for (const auto &value : {outcome.left, outcome.top, outcome.width, outcome.height})
            geometry << (value ? QString::number(*value) : QStringLiteral("-"));
        const LinkSettings &link = f.ws.linkSettings().value();
        QCOMPARE((QStringList{geometry.join(u','), QString::number(link.PortNumber), link.IpAddress, link.IpPort,
                              link.BaudText, f.ws.caption(), f.prompter.messageTexts().join(u'|')})
                     .join(u'|'),
                 loaded);
        QCOMPARE(outcome.completed, f.prompter.shown.isEmpty());
        for (const auto &s : std::as_const(f.prompter.shown))
            QCOMPARE(s.title, QStringLiteral("Telvaro"));
        if (outcome.completed) { // in test mode, data entry checked
            using Box = Workspace::Box;
            QCOMPARE(f.ws.box(Box::MessageNumber) + f.ws.box(Box::Interval) + f.ws.box(Box::RepeatCaption),
                     QStringLiteral("0002000"));
            for (Item hidden : {Item::MnuLoadSign, Item::MnuLoadController, Item::MnuUploadController,
                                Item::MnuDisplayLoaded, Item::MnuRegister})
                QVERIFY2(!f.ws.menus().item(hidden).visible, qPrintable(ItemName(hidden)));
            QCOMPARE(f.ws.menus().item(Item::MnuModeData), (ItemState{true, true, true}));
            QCOMPARE(f.ws.menus().item(Item::MnuModeRun), (ItemState{true, true, false}));
        }
        f.ws.SaveSettings(f.settings, false, {15, 30, 7500, 6000});
        QCOMPARE(f.saved("AppPort") + u'|' + f.saved("AppSerialBaud"), saved);
    }

    void closeAsksOnceThenSaves()
    {
        Fixture f;
        f.ws.Form_Load(f.settings);
        f.ws.linkSettings().setPortNumber(-1);
        f.prompter.answer(Prompter::Answer::No);
        QVERIFY(!f.ws.ConfirmShutdown());
        QCOMPARE(f.prompter.shown[0].title, QStringLiteral("Close Telvaro"));
        QCOMPARE(f.prompter.shown[0].buttons, Prompter::Buttons::YesNo);
        f.prompter.answer(Prompter::Answer::Yes);
        QVERIFY(f.ws.ConfirmShutdown()); // asked again after a refusal
        QVERIFY(f.ws.ConfirmShutdown()); // but only once per shutdown
        // Minimised: geometry stays as stored before, the link values are saved.
        f.store({"MainLeft=777"});
        f.ws.SaveSettings(f.settings, true, {1, 2, 3, 4});
        QCOMPARE(f.saved("MainLeft") + u'|' + f.saved("MainWidth") + u'|' + f.saved("AppPort"),
                 QStringLiteral("777||-1"));
        QCOMPARE(f.prompter.shown.size(), 2); // asked once for No, once for Yes, never while saving
        // A folder where the settings file should be makes every write fail.
        QVERIFY(QFile::remove(f.home.settingsFile()) && QDir().mkpath(f.home.settingsFile()));
        f.ws.SaveSettings(f.settings, false, {});
        QCOMPARE(f.prompter.messageTexts().mid(2), QStringList{QStringLiteral("!?ERROR?!")});
    }

    // A second stop signal ends the command line at once, without the
    // orderly stop the first asked for: an operator's second Ctrl+C is never
    // held up. Both come while the program is held, so the first cannot have
    // been acted on yet.
    void secondStopSignalEndsAtOnce()
    {
        test::PtyPeer controller; // never answers: the upload waits for it
        QByteArray heard;
        controller.onReceive = [&heard](test::PtyPeer &, const QByteArray &b) { heard += b; };
        QTemporaryDir dir;
        QProcess cli;
        cli.start(test::CliPath(),
                  {"upload", "--port", "1", "--device", controller.devicePath(), dir.filePath("out.TVD")});
        QVERIFY(cli.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(!heard.isEmpty(), 5000); // waiting for the wake-up's reply
        const auto pid = pid_t(cli.processId());
        for (int signal : {SIGSTOP, SIGINT, SIGTERM, SIGCONT})
            QCOMPARE(::kill(pid, signal), 0);
        QVERIFY(cli.waitForFinished(5000));
        const QByteArray said = cli.readAllStandardError();
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QVERIFY2(cli.exitCode() == 128 + SIGINT || cli.exitCode() == 128 + SIGTERM, said.constData());
        QVERIFY2(!said.contains("Stopped by"), said.constData());
    }

    // How the one wait ends: its condition (checked at the start and on the
    // signals named), Transmitting falling to 0, or its deadline; a deadline
    // passed under a nested wait returns when that one closes, adding nothing.
    void waitEnds_data()
    {
        QTest::addColumn<Ending>("row");
        // Loose bounds for busy machines; a condition true at the start ends the wait before any event,
        // a deadline passed under a prompt when the prompt closes (below).
        QTest::newRow("condition at once") << Ending{Event::ConditionTrue, Wait::End::Condition, 0, 1000};
        QTest::newRow("condition on a signal") << Ending{Event::Signal, Wait::End::Condition, 30, 1000};
        QTest::newRow("transmitting falls") << Ending{Event::TransmittingFalls, Wait::End::Stopped, 20, 1000};
        QTest::newRow("deadline") << Ending{Event::None, Wait::End::Elapsed, 200, 1000};
        QTest::newRow("deadline under a prompt") << Ending{Event::NestedPause, Wait::End::Elapsed, 299, 1000};
        QTest::newRow("Pause on the test clock") << Ending{Event::ScaledPause, Wait::End::Elapsed, 200, 1000};
    }
    void waitEnds()
    {
        QFETCH(Ending, row);
        const auto &[event, end, minMs, maxMs] = row;
        SetPauseTimeScale(event == Event::ScaledPause ? 10.0 : 1.0);
        TransferState transfer;
        transfer.setTransmitting(1);
        bool flag = event == Event::ConditionTrue;
        QTimer notify;
        notify.setSingleShot(true);
        QElapsedTimer clock;
        clock.start();
        notify.start(40);
        qint64 promptClosedUs = 0;
        QTimer::singleShot(20, &transfer, [&, event = event] {
            flag = flag || event == Event::Signal;
            if (event == Event::TransmittingFalls)
                transfer.setTransmitting(0);
            if (event == Event::NestedPause) {
                Pause(280);
                promptClosedUs = clock.nsecsElapsed() / 1000;
            }
        });
        Wait::End ended = Wait::End::Elapsed;
        if (event == Event::ScaledPause)
            QCOMPARE(Pause(2000), qint16(1));
        else
            ended = Wait(200)
                        .until([&flag] { return flag; })
                        .recheckOn(&notify, &QTimer::timeout)
                        .stopWhenIdle(transfer)
                        .run();
        // Microseconds, so that an end even slightly before the deadline shows.
        const qint64 elapsedUs = clock.nsecsElapsed() / 1000;
        SetPauseTimeScale(1.0);
        QCOMPARE(ended, end);
        if (event == Event::ConditionTrue)
            QVERIFY(notify.isActive()); // its timer never came round: no event was processed
        // A deadline restarted after the prompt would add its 200 ms.
        if (event == Event::NestedPause)
            QVERIFY2(elapsedUs - promptClosedUs < 150000, qPrintable(QString::number(elapsedUs - promptClosedUs)));
        QVERIFY2(elapsedUs >= minMs * 1000 && elapsedUs < maxMs * 1000, qPrintable(QString::number(elapsedUs)));
    }
};

QTEST_GUILESS_MAIN(AppTest)
#include "tst_app.moc"
