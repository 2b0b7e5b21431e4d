// The mode switch from each of its places, and the sign type and loaded-
// message dialogs driving a device over loopback UDP.
#include "base/wait.h"
#include "peers.h"
#include "windowfixture.h"

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

using namespace telvaro;
using test::child;

namespace {

struct Fixture : test::WindowFixture {
    test::UdpPeer udp;
    Fixture()
    {
        LinkSettings link;
        link.PortNumber = -1;
        link.IpAddress = QStringLiteral("127.0.0.1");
        link.IpPort = QString::number(udp.port());
        ws.linkSettings().set(link);
    }
    // Runs fill on the modal dialog once it shows.
    void whenShown(const std::function<void(QDialog &)> &fill)
    {
        QTimer::singleShot(0, &window, [fill] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            fill(*dialog);
        });
    }
};

void click(const QDialog &dialog, const char *name)
{
    child<QPushButton>(&dialog, QString::fromLatin1(name))->click();
}

void setText(const QDialog &dialog, const char *box, const char *text)
{
    child<QLineEdit>(&dialog, QString::fromLatin1(box))->setText(QString::fromLatin1(text));
}

} // namespace

Q_DECLARE_METATYPE(telvaro::OperatingMode)

class GuiSignLoadTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { SetPauseTimeScale(100); }
    void cleanupTestCase() { SetPauseTimeScale(1); }

    void modeSwitchFromEachPlace_data()
    {
        test::columns<bool, OperatingMode, QString, QList<Item>>({"fromMenu", "mode", "caption", "shown"});
        for (const bool menu : {true, false}) {
            const char *place = menu ? "Use Mode" : "mode button";
            QTest::addRow("%s, Sign Load", place)
                << menu << OperatingMode::SignLoad << QString("Telvaro - Sign Load Mode")
                << QList<Item>{Item::MnuLoadSign, Item::MnuDisplayLoaded};
            QTest::addRow("%s, Controller Load", place)
                << menu << OperatingMode::ControllerLoad << QString("Telvaro - Controller Load Mode")
                << QList<Item>{Item::MnuLoadController, Item::MnuUploadController, Item::MnuRegister};
            QTest::addRow("%s, Test", place)
                << menu << OperatingMode::Test << QString("Telvaro - Test Mode") << QList<Item>{Item::MnuModeRun};
        }
    }
    void modeSwitchFromEachPlace()
    {
        const auto [fromMenu, mode, caption, shown] =
            test::fetch<bool, OperatingMode, QString, QList<Item>>({"fromMenu", "mode", "caption", "shown"});
        Fixture f;
        f.addEntries(1);
        f.switchMode(fromMenu, mode);
        f.switchMode(fromMenu, mode);
        const QStringList warnings =
            mode == OperatingMode::SignLoad ? QStringList(2, SignLoadWarningText()) : QStringList{};
        QCOMPARE(f.prompter.messageTexts(), warnings);
        QCOMPARE(f.ws.mode().mode(), mode);
        QCOMPARE(f.window.windowTitle(), caption);
        QCOMPARE(child<QToolButton>(&f.window, "tbSoftMode")->text(), caption.section(u'-', 1).trimmed());
        for (Item item : {Item::MnuModeRun, Item::MnuLoadSign, Item::MnuDisplayLoaded, Item::MnuLoadController,
                          Item::MnuUploadController, Item::MnuRegister})
            QCOMPARE(f.window.action(item)->isVisible(), shown.contains(item));
        for (OperatingMode each : {OperatingMode::Test, OperatingMode::SignLoad, OperatingMode::ControllerLoad})
            QCOMPARE(f.window.action(UseModeItem(each))->isChecked(), each == mode);
        // The link and the table stay as they were.
        QCOMPARE(f.ws.link().socket().state(), 0);
        QCOMPARE(f.ws.table().count(), 1);
        QCOMPARE(f.ws.table().entry(0).Text, QByteArray("M0"));
        // A key that names no mode does nothing.
        f.ws.tbToolBar_ButtonMenuClick(QStringLiteral("Sign Load"));
        QCOMPARE(f.ws.mode().mode(), mode);
    }

    void signTypeDialogChoosesTypeAndAddress_data()
    {
        test::columns<bool, QList<QByteArray>>({"ok", "frames"});
        QTest::newRow("ok") << true
                            << QList<QByteArray>{"\x01ZA1\x02"
                                                 "E$\x04",
                                                 "\x01ZA1\x02"
                                                 "E.SL\x04",
                                                 "SETPLAYLISTTOE",
                                                 "\x01ZA1\x02"
                                                 "A\x0F"
                                                 "DT!!M"};
        QTest::newRow("cancel") << false << QList<QByteArray>{};
    }
    void signTypeDialogChoosesTypeAndAddress()
    {
        const auto [ok, frames] = test::fetch<bool, QList<QByteArray>>({"ok", "frames"});
        Fixture f;
        f.ws.table().AppendEntry();
        f.ws.table().SetContents(0, 100, "M", {}, {});
        f.ws.SetOperatingMode(OperatingMode::SignLoad);
        f.whenShown([ok](QDialog &dialog) {
            auto *address = child<QLineEdit>(&dialog, QStringLiteral("MEDSignAddress"));
            QCOMPARE(address->text(), QStringLiteral("00"));
            QVERIFY(child<QRadioButton>(&dialog, QStringLiteral("OptVyrena"))->isChecked());
            child<QRadioButton>(&dialog, QStringLiteral("OptOB"))->setChecked(true);
            address->selectAll();
            QTest::keyClicks(address, QStringLiteral("a1"));
            QCOMPARE(address->text(), QStringLiteral("A1")); // the mask turns letters to upper case
            click(dialog, ok ? "CmdOK" : "CmdCancel");
        });
        f.window.action(Item::MnuLoadSign)->trigger();
        QTRY_COMPARE(f.udp.datagrams, frames);
        QVERIFY(f.window.action(Item::MnuModeData)->isChecked());
    }

    void loadedMessageDialogSendsThroughQuickSend()
    {
        Fixture f;
        f.ws.SetOperatingMode(OperatingMode::SignLoad);
        f.whenShown([&f](QDialog &dialog) {
            setText(dialog, "TxtMessageNumber", "8101");
            click(dialog, "CmdCallMessage");
            setText(dialog, "TxtMessageNumber", "0");
            setText(dialog, "TxtAddress", "01");
            click(dialog, "CmdCallMessage");
            QCOMPARE(f.ws.box(Workspace::Box::Entry), QStringLiteral("<0x01>401<0x02>E.SL<0x0F>DT!!<0x04>"));
            child<QRadioButton>(&dialog, QStringLiteral("OptOrbilux"))->setChecked(true);
            click(dialog, "CmdClearList");
            QVERIFY(dialog.isVisible()); // it stays open for further commands
            click(dialog, "CmdClose");
        });
        f.window.action(Item::MnuDisplayLoaded)->trigger();
        QCOMPARE(f.udp.datagrams, (QList<QByteArray>{"\x01"
                                                     "401\x02"
                                                     "E.SL\x0F"
                                                     "DT!!\x04",
                                                     "\x01Z01\x02"
                                                     "E.SL\x04"}));
        QCOMPARE(f.prompter.messageTexts(), (QStringList{SignLoadWarningText(), "Invalid Message Number!"}));
    }
};

QTEST_MAIN(GuiSignLoadTest)
#include "tst_gui_signload.moc"
