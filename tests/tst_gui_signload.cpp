// The mode switch from each of its places, and the sign type and loaded-
// message dialogs driving a device over loopback UDP.
#include "base/wait.h"
#include "peers.h"
#include "signload/modes.h"
#include "windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

using namespace telvaro;
using test::UdpPeer;
using test::WindowFixture;

namespace {

struct Fixture : WindowFixture {
    UdpPeer udp;
    Fixture()
    {
        LinkSettings link;
        link.PortNumber = -1;
        link.IpAddress = QStringLiteral("127.0.0.1");
        link.IpPort = QString::number(udp.port());
        ws.linkSettings().set(link);
    }
    // Runs fill on the modal dialog of type T once it shows.
    template <typename T> void whenShown(std::function<void(T &)> fill)
    {
        QTimer::singleShot(0, &window, [fill] {
            auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            fill(*dialog);
        });
    }
};

void click(QWidget &dialog, const char *name)
{
    auto *button = dialog.findChild<QPushButton *>(QString::fromLatin1(name));
    QVERIFY(button);
    button->click();
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
        QTest::addColumn<QString>("place");
        QTest::addColumn<OperatingMode>("mode");
        for (const char *place : {"Use Mode", "mode button"})
            for (OperatingMode mode : {OperatingMode::SignLoad, OperatingMode::ControllerLoad, OperatingMode::Test})
                QTest::addRow("%s, %s", place, qPrintable(ModeKey(mode))) << QString::fromLatin1(place) << mode;
    }
    void modeSwitchFromEachPlace()
    {
        QFETCH(QString, place);
        QFETCH(OperatingMode, mode);
        Fixture f;
        f.ws.table().AppendEntry();
        f.ws.table().SetContents(0, 100, "KEEP", "kept", {});
        auto *button = f.window.findChild<QToolButton *>(QStringLiteral("tbSoftMode"));
        for (int twice = 0; twice < 2; ++twice) {
            if (place == QLatin1String("Use Mode")) {
                f.window.action(UseModeItem(mode))->trigger();
            } else {
                const QList<QAction *> entries = button->menu()->actions();
                const auto it = std::find_if(entries.begin(), entries.end(),
                                             [mode](QAction *a) { return a->data().toString() == ModeKey(mode); });
                QVERIFY(it != entries.end());
                (*it)->trigger();
            }
        }
        const QStringList warnings =
            mode == OperatingMode::SignLoad ? QStringList(2, SignLoadWarningText()) : QStringList{};
        QCOMPARE(f.prompter.messageTexts(), warnings);
        QCOMPARE(f.ws.mode().mode(), mode);
        QCOMPARE(f.window.windowTitle(), ModeViewFor(mode).caption);
        QCOMPARE(button->text(), ModeKey(mode));
        for (Item item : ModeDependentItems())
            QCOMPARE(f.window.action(item)->isVisible(), ModeViewFor(mode).shown.contains(item));
        for (OperatingMode each : {OperatingMode::Test, OperatingMode::SignLoad, OperatingMode::ControllerLoad})
            QCOMPARE(f.window.action(UseModeItem(each))->isChecked(), each == mode);
        // The link and the table stay as they were.
        QCOMPARE(f.ws.link().socket().state(), 0);
        QCOMPARE(f.ws.table().count(), 1);
        QCOMPARE(f.ws.table().entry(0).Text, QByteArray("KEEP"));
        // A key that names no mode does nothing.
        f.ws.tbToolBar_ButtonMenuClick(QStringLiteral("Sign Load"));
        QCOMPARE(f.ws.mode().mode(), mode);
    }

    void signTypeDialogChoosesTypeAndAddress_data()
    {
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QList<QByteArray>>("frames");
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
        QFETCH(bool, ok);
        QFETCH(QList<QByteArray>, frames);
        Fixture f;
        f.ws.table().AppendEntry();
        f.ws.table().SetContents(0, 100, "M", {}, {});
        f.ws.SetOperatingMode(OperatingMode::SignLoad);
        f.whenShown<QDialog>([ok](QDialog &dialog) {
            auto *address = dialog.findChild<QLineEdit *>(QStringLiteral("MEDSignAddress"));
            QCOMPARE(address->text(), QStringLiteral("00"));
            QVERIFY(dialog.findChild<QRadioButton *>(QStringLiteral("OptVyrena"))->isChecked());
            dialog.findChild<QRadioButton *>(QStringLiteral("OptOB"))->setChecked(true);
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
        f.whenShown<QDialog>([&f](QDialog &dialog) {
            dialog.findChild<QLineEdit *>(QStringLiteral("TxtMessageNumber"))->setText(QStringLiteral("8101"));
            click(dialog, "CmdCallMessage");
            dialog.findChild<QLineEdit *>(QStringLiteral("TxtMessageNumber"))->setText(QStringLiteral("0"));
            dialog.findChild<QLineEdit *>(QStringLiteral("TxtAddress"))->setText(QStringLiteral("01"));
            click(dialog, "CmdCallMessage");
            QCOMPARE(f.ws.box(Workspace::Box::Entry), QStringLiteral("<0x01>401<0x02>E.SL<0x0F>DT!!<0x04>"));
            dialog.findChild<QRadioButton *>(QStringLiteral("OptOrbilux"))->setChecked(true);
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
