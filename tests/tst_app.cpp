// Start-up state, the settings store, the shutdown question, Pause, the
// layout and where the manual is.
#include "app/helpfile.h"
#include "app/mainlayout.h"
#include "app/workspace.h"
#include "base/settingsstore.h"
#include "base/transfer.h"
#include "base/wait.h"
#include "scriptedprompter.h"
#include "temphome.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <QtTest>

using namespace telvaro;
using test::ScriptedPrompter;
using test::TempHome;

namespace {
void Store(const QList<std::pair<QString, QString>> &values)
{
    SettingsStore s;
    for (const auto &[key, value] : values)
        s.write(key, value);
    QVERIFY(s.flush());
}

struct Fixture {
    TempHome home;
    ScriptedPrompter prompter;
    Workspace ws{prompter};
};
} // namespace

Q_DECLARE_METATYPE(telvaro::Wait::End)

class AppTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void firstRunUsesDefaults()
    {
        Fixture f;
        SettingsStore settings;
        const auto outcome = f.ws.Form_Load(settings);
        QVERIFY(outcome.completed);
        QVERIFY(f.prompter.shown.isEmpty());
        QCOMPARE((QList<std::optional<double>>{outcome.left, outcome.top, outcome.width, outcome.height}),
                 (QList<std::optional<double>>{1000, 1000, 7500, 6000}));
        QCOMPARE(f.ws.linkSettings().value().PortNumber, qint16(1));
        QCOMPARE((QStringList{f.ws.linkSettings().value().BaudText, f.ws.linkSettings().value().IpPort,
                              f.ws.linkSettings().value().IpAddress}),
                 (QStringList{"9600", "3001", LinkSettings::DefaultIpAddress()}));
        QCOMPARE(f.ws.caption(), QStringLiteral("Telvaro - Test Mode"));
        using Box = Workspace::Box;
        QCOMPARE((QStringList{f.ws.box(Box::MessageNumber), f.ws.box(Box::Interval), f.ws.box(Box::RepeatCaption)}),
                 (QStringList{"000", "200", "0"}));
        // Test mode's menu state, and data entry checked.
        for (Item hidden : {Item::MnuLoadSign, Item::MnuLoadController, Item::MnuUploadController,
                            Item::MnuDisplayLoaded, Item::MnuRegister})
            QVERIFY2(!f.ws.menus().item(hidden).visible, qPrintable(ItemName(hidden)));
        QCOMPARE(f.ws.menus().item(Item::MnuModeData), (ItemState{true, true, true}));
        QCOMPARE(f.ws.menus().item(Item::MnuModeRun), (ItemState{true, true, false}));
        QVERIFY(!QFile::exists(f.home.settingsFile())); // reading writes nothing
    }

    void storedValuesAreRestored_data()
    {
        QTest::addColumn<QString>("appPort");
        QTest::addColumn<qint16>("port");
        QTest::addColumn<QString>("savedBack");
        QTest::newRow("udp") << "-1" << qint16(-1) << "-1";
        QTest::newRow("letters select tcp") << "abc" << qint16(0) << "0";
        QTest::newRow("rounded half even") << "2.5" << qint16(2) << "2";
        QTest::newRow("serial 3") << " 3" << qint16(3) << "3";
    }
    void storedValuesAreRestored()
    {
        QFETCH(QString, appPort);
        QFETCH(qint16, port);
        QFETCH(QString, savedBack);
        Fixture f;
        // clang-format off
        Store({{"AppPort", appPort}, {"AppIP", "127.0.0.1"}, {"AppIPPort", "4001"}, {"AppSerialBaud", " 19200"},
               {"MainLeft", "1500"}, {"MainWidth", "9000.5"}});
        // clang-format on
        SettingsStore settings;
        const auto outcome = f.ws.Form_Load(settings);
        QVERIFY(outcome.completed);
        QCOMPARE(f.ws.linkSettings().value().PortNumber, port);
        QCOMPARE((QStringList{f.ws.linkSettings().value().IpAddress, f.ws.linkSettings().value().IpPort,
                              f.ws.linkSettings().value().BaudText}),
                 (QStringList{"127.0.0.1", "4001", " 19200"}));
        QCOMPARE((QList<std::optional<double>>{outcome.left, outcome.width}),
                 (QList<std::optional<double>>{1500, 9000.5}));

        f.ws.SaveSettings(settings, false, {15, 30, 7500, 6000});
        QSettings raw(f.home.settingsFile(), QSettings::IniFormat);
        QStringList saved;
        for (const char *key : {"AppPort", "AppSerialBaud", "MainLeft", "MainTop"})
            saved << raw.value(QStringLiteral("Settings/") + key).toString();
        QCOMPARE(saved, (QStringList{savedBack, " 19200", "15", "30"}));
    }

    void badStoredValuesStopTheLoadWithErrorMessage_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("geometryKeysRead"); // left, top, width, height, in that order
        QTest::newRow("top not a number") << "MainTop"
                                          << "12a" << 1;
        QTest::newRow("width not a number") << "MainWidth"
                                            << "12a" << 2;
        QTest::newRow("port beyond 16 bits") << "AppPort"
                                             << "40000" << 4;
    }
    void badStoredValuesStopTheLoadWithErrorMessage()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(int, geometryKeysRead);
        Fixture f;
        Store({{key, value}});
        SettingsStore settings;
        const auto outcome = f.ws.Form_Load(settings);
        QVERIFY(!outcome.completed);
        const QList<bool> read{outcome.left.has_value(), outcome.top.has_value(), outcome.width.has_value(),
                               outcome.height.has_value()};
        QCOMPARE(read.count(true), geometryKeysRead);
        QVERIFY(!read.mid(0, geometryKeysRead).contains(false));
        QCOMPARE(f.prompter.messageTexts(), QStringList{QStringLiteral("error!")});
        QCOMPARE(f.prompter.shown.front().title, QStringLiteral("Telvaro"));
        QCOMPARE(f.ws.caption(), QStringLiteral("Telvaro")); // the later steps did not run
    }

    void closeAsksOnceAndNoWritesNothing()
    {
        Fixture f;
        SettingsStore settings;
        f.ws.Form_Load(settings);
        f.ws.linkSettings().setPortNumber(-1);

        f.prompter.answer(Prompter::Answer::No);
        QVERIFY(!f.ws.ConfirmShutdown());
        QCOMPARE(f.prompter.shown[0].text, QStringLiteral("Are You Sure You want to Shutdown Telvaro?"));
        QCOMPARE(f.prompter.shown[0].title, QStringLiteral("Close Telvaro"));
        QCOMPARE(f.prompter.shown[0].buttons, Prompter::Buttons::YesNo);
        QVERIFY(!QFile::exists(f.home.settingsFile()));

        f.prompter.answer(Prompter::Answer::Yes);
        QVERIFY(f.ws.ConfirmShutdown()); // asked again after a refusal
        QVERIFY(f.ws.ConfirmShutdown()); // but only once per shutdown

        // Minimised: geometry stays as stored before, the link values are saved.
        Store({{"MainLeft", "777"}});
        f.ws.SaveSettings(settings, true, {1, 2, 3, 4});
        QSettings raw(f.home.settingsFile(), QSettings::IniFormat);
        QCOMPARE(raw.value(QStringLiteral("Settings/MainLeft")).toString(), QStringLiteral("777"));
        QVERIFY(!raw.contains(QStringLiteral("Settings/MainWidth")));
        QCOMPARE(raw.value(QStringLiteral("Settings/AppPort")).toString(), QStringLiteral("-1"));
        QCOMPARE(f.prompter.shown.size(), 2); // asked once for No, once for Yes, never while saving
    }

    void unwritableStoreReportsFailure()
    {
        Fixture f;
        // A folder where the settings file should be makes every write fail.
        QDir().mkpath(f.home.settingsFile());
        SettingsStore settings;
        f.ws.SaveSettings(settings, false, {});
        QCOMPARE(f.prompter.messageTexts(), QStringList{QStringLiteral("!?ERROR?!")});
    }

    void pauseWaitsAndKeepsProcessingEvents()
    {
        SetPauseTimeScale(1.0);
        // Zero, negative and too long intervals return at once and process nothing.
        bool ran = false, late = false;
        QTimer::singleShot(0, [&ran] { ran = true; });
        QTimer::singleShot(60, [&late] { late = true; }); // due in the middle of the wait
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(Pause(0), qint16(1));
        QCOMPARE(Pause(-5), qint16(1));
        QCOMPARE(Pause(600001), qint16(0)); // above ten minutes: refused at once
        QVERIFY(!ran);
        QVERIFY(clock.elapsed() < 1000);

        clock.restart();
        QCOMPARE(Pause(120), qint16(1));
        QCOMPARE_GE(clock.elapsed(), 119);
        QVERIFY(ran && late);

        // A Pause started inside another's wait ends on its own deadline.
        int innerDone = 0;
        QTimer::singleShot(10, [&innerDone] { innerDone = Pause(30); });
        clock.restart();
        Pause(60);
        QCOMPARE(innerDone, 1);
        QVERIFY(clock.elapsed() >= 59);

        SetPauseTimeScale(1000.0);
        clock.restart();
        QCOMPARE(Pause(600000), qint16(1)); // ten minutes of test clock
        QVERIFY(clock.elapsed() < 5000);
        SetPauseTimeScale(1.0);
    }

    // How the one wait ends: its condition (checked at the start and on the
    // signals named), Transmitting falling to 0, or its deadline; and a wait
    // whose deadline passes under a nested one (a prompt the operator keeps
    // open) returns when that one closes, adding nothing.
    void waitEndsOnConditionStopOrDeadline_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<Wait::End>("end");
        QTest::addColumn<int>("minMs");
        QTest::addColumn<int>("maxMs");
        // The end reached tells an early end; the bounds are loose for busy
        // machines, except where a restarted deadline would show (500 ms).
        QTest::newRow("condition at once") << "true" << Wait::End::Condition << 0 << 20;
        QTest::newRow("condition on a signal") << "signal" << Wait::End::Condition << 30 << 1000;
        QTest::newRow("transmitting falls") << "idle" << Wait::End::Stopped << 20 << 1000;
        QTest::newRow("deadline") << "none" << Wait::End::Elapsed << 199 << 1000;
        QTest::newRow("deadline under a prompt") << "nested" << Wait::End::Elapsed << 299 << 480;
    }
    void waitEndsOnConditionStopOrDeadline()
    {
        QFETCH(QString, how);
        QFETCH(Wait::End, end);
        QFETCH(int, minMs);
        QFETCH(int, maxMs);
        SetPauseTimeScale(1.0);
        TransferState transfer;
        transfer.setTransmitting(1);
        bool flag = how == QLatin1String("true");
        // The condition turns true at 20 ms unseen; the signal at 40 ms
        // makes the wait look again.
        QTimer notify;
        notify.setSingleShot(true);
        QElapsedTimer clock;
        clock.start();
        notify.start(40);
        QTimer::singleShot(20, &transfer, [&] {
            if (how == QLatin1String("signal")) {
                flag = true;
            } else if (how == QLatin1String("idle")) {
                transfer.setTransmitting(0);
            } else if (how == QLatin1String("nested")) {
                Pause(280);
            }
        });
        const Wait::End ended =
            Wait(200).until([&flag] { return flag; }).recheckOn(&notify, &QTimer::timeout).stopWhenIdle(transfer).run();
        const qint64 elapsed = clock.elapsed();
        QCOMPARE(ended, end);
        QVERIFY2(elapsed >= minMs && elapsed < maxMs, qPrintable(QString::number(elapsed)));
    }

    // The main window's layout in twips: widths from the client width, the
    // grid's height from the client height; a step that fails leaves the
    // rest where it was.
    void resizeLayout_data()
    {
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("height");
        QTest::addColumn<double>("boxWidth");
        QTest::addColumn<double>("textColumns"); // -1: the grid is not placed
        QTest::newRow("9000 wide") << 9000.0 << 8000.0 << 8000.0 << 3035.0;
        QTest::newRow("halves to even") << 8001.0 << 8000.0 << 7001.0 << 2536.0;
        QTest::newRow("narrower than 1000") << 800.0 << 8000.0 << 0.0 << 0.0;
        QTest::newRow("lower than 5000") << 9000.0 << 4999.0 << 8000.0 << -1.0;
    }
    void resizeLayout()
    {
        QFETCH(double, width);
        QFETCH(double, height);
        QFETCH(double, boxWidth);
        QFETCH(double, textColumns);
        const TwipsRect select{0, 0, 6000, 1500};
        const MainLayout l = Form_Resize(width, height, select, 300);
        QCOMPARE(*l.entry, (TwipsRect{500, 500, boxWidth, 750}));
        QCOMPARE(*l.select, (TwipsRect{500, 1300, 6000, 1500}));
        QCOMPARE(*l.comment, (TwipsRect{500, 2850, boxWidth, 300}));
        QCOMPARE(l.grid.has_value(), textColumns >= 0);
        QCOMPARE(l.recData.has_value(), textColumns >= 0);
        if (textColumns < 0)
            return;
        QCOMPARE(*l.grid, (TwipsRect{500, 3200, boxWidth, height - 5000}));
        QCOMPARE(*l.columns, (std::array<double, 4>{550, 1000, textColumns, textColumns}));
        QCOMPARE(*l.recData, (TwipsRect{500, 3200 + height - 5000 + 100, boxWidth, 750}));
    }

    // The manual beside the program wins; otherwise the installed one, found
    // from the program's folder, whether it is there or not.
    void helpFilePath_data()
    {
        QTest::addColumn<QString>("beside"); // "file", "folder" or "" (nothing)
        QTest::addColumn<bool>("installed");
        QTest::addColumn<bool>("expectBeside");
        QTest::newRow("beside the program") << "file" << true << true;
        QTest::newRow("installed only") << "" << true << false;
        QTest::newRow("a folder of that name") << "folder" << true << false;
        QTest::newRow("nowhere") << "" << false << false;
    }
    void helpFilePath()
    {
        QFETCH(QString, beside);
        QFETCH(bool, installed);
        QFETCH(bool, expectBeside);
        const QTemporaryDir prefix;
        const QDir root(prefix.path());
        const QString bin = root.filePath(QStringLiteral(TELVARO_BINDIR));
        const QString docs = root.filePath(QStringLiteral(TELVARO_DOCDIR));
        QVERIFY(QDir().mkpath(bin) && QDir().mkpath(docs));
        const QString name = QStringLiteral("Telvaro_Manual.pdf");
        const auto createFile = [](const QString &path) {
            QFile file(path);
            return file.open(QIODevice::WriteOnly) && file.write("%PDF-1.4\n") > 0;
        };
        if (beside == QLatin1String("file"))
            QVERIFY(createFile(QDir(bin).filePath(name)));
        if (beside == QLatin1String("folder"))
            QVERIFY(QDir(bin).mkdir(name));
        if (installed)
            QVERIFY(createFile(QDir(docs).filePath(name)));
        QCOMPARE(HelpFilePath(bin), QDir(expectBeside ? bin : docs).filePath(name));
    }
};

QTEST_GUILESS_MAIN(AppTest)
#include "tst_app.moc"
