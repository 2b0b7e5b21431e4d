// Start-up state, the settings store, the shutdown question and Pause.
#include "app/pause.h"
#include "app/settings.h"
#include "app/workspace.h"
#include "scriptedprompter.h"
#include "temphome.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <QtTest>

using namespace telvaro;
using test::ScriptedPrompter;
using test::TempHome;

class AppTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void firstRunUsesDefaults()
    {
        TempHome home;
        ScriptedPrompter prompter;
        Workspace ws(prompter);
        SettingsStore settings;
        const auto outcome = ws.Form_Load(settings);
        QVERIFY(outcome.completed);
        QVERIFY(prompter.shown.isEmpty());
        QCOMPARE(outcome.geometry->left, 1000.0);
        QCOMPARE(outcome.geometry->top, 1000.0);
        QCOMPARE(outcome.geometry->width, 7500.0);
        QCOMPARE(outcome.geometry->height, 6000.0);
        QCOMPARE(ws.PortNumber, qint16(1));
        QCOMPARE(ws.BaudText, QStringLiteral("9600"));
        QCOMPARE(ws.IpPort, QStringLiteral("3001"));
        QCOMPARE(ws.IpAddress, Workspace::DefaultIpAddress());
        QCOMPARE(ws.caption(), QStringLiteral("Telvaro - Test Mode"));
        QCOMPARE(ws.Transmitting, 0);
        QCOMPARE(ws.statusPanel(2), QStringLiteral("No Traffic"));
        QCOMPARE(ws.statusPanel(3), QStringLiteral("Off"));
        QCOMPARE(ws.table().UpperIndex(), qint16(-1));
        QCOMPARE(ws.box(Workspace::Box::MessageNumber), QStringLiteral("000"));
        QCOMPARE(ws.box(Workspace::Box::Interval), QStringLiteral("200"));
        QCOMPARE(ws.box(Workspace::Box::RepeatCaption), QStringLiteral("0"));
        QCOMPARE(ws.Registers[31].Width, qint16(0));
        QCOMPARE(ws.Registers[31].Fill, QByteArray(" "));

        // Test mode's menu state, and data entry checked.
        QVERIFY(ws.item(QStringLiteral("MnuModeRun")).visible);
        for (const char *hidden :
             {"MnuLoadSign", "MnuLoadController", "MnuUploadController", "MnuDisplayLoaded", "MnuRegister"})
            QVERIFY2(!ws.item(QString::fromLatin1(hidden)).visible, hidden);
        QCOMPARE(ws.item(QStringLiteral("MnuModeData")), (ItemState{true, true, true}));
        QCOMPARE(ws.item(QStringLiteral("MnuModeRun")), (ItemState{true, true, false}));
        QVERIFY(!ws.item(QStringLiteral("MnuEditClearRange")).enabled);
        QVERIFY(ws.item(QStringLiteral("MnuCommunication")).enabled);
        QVERIFY(ws.item(QStringLiteral("CmdQuickSend")).enabled);
        QVERIFY(!QFile::exists(home.settingsFile())); // reading writes nothing
    }

    void storedValuesAreRestored_data()
    {
        QTest::addColumn<QString>("appPort");
        QTest::addColumn<qint16>("port");
        QTest::addColumn<QString>("savedBack");
        QTest::newRow("tcp") << "0" << qint16(0) << "0";
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
        TempHome home;
        {
            SettingsStore s;
            s.write(QStringLiteral("AppPort"), appPort);
            s.write(QStringLiteral("AppIP"), QStringLiteral("127.0.0.1"));
            s.write(QStringLiteral("AppIPPort"), QStringLiteral("4001"));
            s.write(QStringLiteral("AppSerialBaud"), QStringLiteral(" 19200"));
            s.write(QStringLiteral("MainLeft"), QStringLiteral("1500"));
            s.write(QStringLiteral("MainWidth"), QStringLiteral("9000.5"));
            QVERIFY(s.flush());
        }
        ScriptedPrompter prompter;
        Workspace ws(prompter);
        SettingsStore settings;
        const auto outcome = ws.Form_Load(settings);
        QVERIFY(outcome.completed);
        QCOMPARE(ws.PortNumber, port);
        QCOMPARE(ws.IpAddress, QStringLiteral("127.0.0.1"));
        QCOMPARE(ws.IpPort, QStringLiteral("4001"));
        QCOMPARE(ws.BaudText, QStringLiteral(" 19200"));
        QCOMPARE(outcome.geometry->left, 1500.0);
        QCOMPARE(outcome.geometry->width, 9000.5);

        prompter.answer(Prompter::Answer::Yes);
        QVERIFY(ws.ConfirmShutdown());
        ws.SaveSettings(settings, false, {15, 30, 7500, 6000});
        QSettings raw(home.settingsFile(), QSettings::IniFormat);
        QCOMPARE(raw.value(QStringLiteral("Settings/AppPort")).toString(), savedBack);
        QCOMPARE(raw.value(QStringLiteral("Settings/AppSerialBaud")).toString(), QStringLiteral(" 19200"));
        QCOMPARE(raw.value(QStringLiteral("Settings/MainLeft")).toString(), QStringLiteral("15"));
        QCOMPARE(raw.value(QStringLiteral("Settings/MainTop")).toString(), QStringLiteral("30"));
    }

    void badStoredValuesStopTheLoadWithErrorMessage_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("geometryRead");
        QTest::newRow("geometry not a number") << "MainTop" << "12a" << false;
        QTest::newRow("port beyond 16 bits") << "AppPort" << "40000" << true;
    }
    void badStoredValuesStopTheLoadWithErrorMessage()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(bool, geometryRead);
        TempHome home;
        {
            SettingsStore s;
            s.write(key, value);
            QVERIFY(s.flush());
        }
        ScriptedPrompter prompter;
        Workspace ws(prompter);
        SettingsStore settings;
        const auto outcome = ws.Form_Load(settings);
        QVERIFY(!outcome.completed);
        QCOMPARE(outcome.geometry.has_value(), geometryRead);
        QCOMPARE(prompter.messageTexts(), QStringList{QStringLiteral("error!")});
        QCOMPARE(prompter.shown.front().title, QStringLiteral("Telvaro"));
        QCOMPARE(ws.caption(), QStringLiteral("Telvaro")); // the later steps did not run
    }

    void closeAsksOnceAndNoWritesNothing()
    {
        TempHome home;
        ScriptedPrompter prompter;
        Workspace ws(prompter);
        SettingsStore settings;
        ws.Form_Load(settings);
        ws.PortNumber = -1;

        prompter.answer(Prompter::Answer::No);
        QVERIFY(!ws.ConfirmShutdown());
        QCOMPARE(prompter.shown.size(), 1);
        QCOMPARE(prompter.shown[0].text, QStringLiteral("Are You Sure You want to Shutdown Telvaro?"));
        QCOMPARE(prompter.shown[0].title, QStringLiteral("Close Telvaro"));
        QCOMPARE(prompter.shown[0].buttons, Prompter::Buttons::YesNo);
        QVERIFY(!QFile::exists(home.settingsFile()));

        prompter.answer(Prompter::Answer::Yes);
        QVERIFY(ws.ConfirmShutdown()); // asked again after a refusal
        QCOMPARE(prompter.shown.size(), 2);
        QVERIFY(ws.ConfirmShutdown()); // but only once per shutdown
        QCOMPARE(prompter.shown.size(), 2);

        // Minimised: geometry stays as stored before, the link values are saved.
        {
            SettingsStore s;
            s.write(QStringLiteral("MainLeft"), QStringLiteral("777"));
            QVERIFY(s.flush());
        }
        ws.SaveSettings(settings, true, {1, 2, 3, 4});
        QSettings raw(home.settingsFile(), QSettings::IniFormat);
        QCOMPARE(raw.value(QStringLiteral("Settings/MainLeft")).toString(), QStringLiteral("777"));
        QVERIFY(!raw.contains(QStringLiteral("Settings/MainWidth")));
        QCOMPARE(raw.value(QStringLiteral("Settings/AppPort")).toString(), QStringLiteral("-1"));
        QCOMPARE(prompter.shown.size(), 2);
    }

    void unwritableStoreReportsFailure()
    {
        TempHome home;
        QDir().mkpath(home.path() + QStringLiteral("/Telvaro"));
        // A folder where the settings file should be makes every write fail.
        QDir().mkpath(home.settingsFile());
        ScriptedPrompter prompter;
        Workspace ws(prompter);
        SettingsStore settings;
        ws.SaveSettings(settings, false, {});
        QCOMPARE(prompter.messageTexts(), QStringList{QStringLiteral("!?ERROR?!")});
    }

    void pauseWaitsAndKeepsProcessingEvents()
    {
        SetPauseTimeScale(1.0);
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
        ticker.start(5);

        // Zero and negative intervals return at once and process nothing.
        bool ran = false;
        QTimer::singleShot(0, [&ran] { ran = true; });
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(Pause(0), qint16(1));
        QCOMPARE(Pause(-5), qint16(1));
        QVERIFY(!ran);
        // Above ten minutes: refused at once, nothing processed.
        QCOMPARE(Pause(600001), qint16(0));
        QVERIFY(!ran);
        QVERIFY(clock.elapsed() < 1000);

        clock.restart();
        QCOMPARE(Pause(120), qint16(1));
        const qint64 waited = clock.elapsed();
        QVERIFY2(waited >= 119, qPrintable(QString::number(waited)));
        QVERIFY(ran);
        QVERIFY(ticks >= 5);

        // A Pause started inside another's wait ends on its own deadline.
        int innerDone = 0;
        QTimer::singleShot(10, [&innerDone] { innerDone = Pause(30); });
        clock.restart();
        Pause(60);
        QCOMPARE(innerDone, 1);
        QVERIFY(clock.elapsed() >= 59);
    }

    void pauseTimeScaleShortensWaits()
    {
        SetPauseTimeScale(1000.0);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(Pause(600000), qint16(1)); // ten minutes of test clock
        QVERIFY(clock.elapsed() < 5000);
        SetPauseTimeScale(1.0);
    }
};

QTEST_GUILESS_MAIN(AppTest)
#include "tst_app.moc"
