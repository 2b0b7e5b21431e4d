// The main window's link controls: the Communication menu, the "Quick Send"
// button with its disabling, the received-data box and status panel 1.
#include "app/workspace.h"
#include "base/clock.h"
#include "base/settingsstore.h"
#include "base/wait.h"
#include "gui/frmmain.h"
#include "link/link.h"
#include "peers.h"
#include "scriptedprompter.h"
#include "temphome.h"
#include "windowfixture.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

using namespace telvaro;
using test::ScriptedPrompter;
using test::TcpPeer;
using test::TempHome;
using Box = Workspace::Box;

namespace {
struct Fixture : test::WindowFixture {
    Fixture() { ws.linkSettings().setIpAddress(QStringLiteral("127.0.0.1")); }
    QPushButton *quickSend() { return window.findChild<QPushButton *>(QStringLiteral("CmdQuickSend")); }
    QPlainTextEdit *recData() { return window.findChild<QPlainTextEdit *>(QStringLiteral("TxtRecData")); }
};
} // namespace

class GuiLinkTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        SetPauseTimeScale(20);
        SetLocalNowSource([] { return QDateTime(QDate(2024, 3, 5), QTime(12, 34, 56, 130)); });
    }
    void cleanupTestCase()
    {
        SetPauseTimeScale(1);
        SetLocalNowSource({});
    }

    void quickSendButton()
    {
        Fixture f;
        TcpPeer tcp;
        f.ws.linkSettings().setPortNumber(0);
        f.ws.linkSettings().setIpPort(QString::number(tcp.port()));
        bool disabledDuring = false;
        QString trafficDuring;
        tcp.onReceive = [&](TcpPeer &p, const QByteArray &chunk) {
            if (chunk.isEmpty())
                return;
            disabledDuring = !f.quickSend()->isEnabled() && !f.window.action(Item::MnuCommunication)->isEnabled() &&
                             !f.window.action(Item::MnuMode)->isEnabled();
            trafficDuring = f.window.statusLabel(2)->text();
            p.reply("A\r\n");
        };
        QLineEdit *entry = f.window.boxWidget(Box::Entry);
        QTest::keyClicks(entry, QStringLiteral("Hi<0x09>"));
        QTest::mouseClick(f.quickSend(), Qt::LeftButton);
        QCOMPARE(tcp.received, QByteArray("Hi\t"));
        QVERIFY(disabledDuring);
        QCOMPARE(trafficDuring, QStringLiteral("Hi\t"));
        QVERIFY(f.quickSend()->isEnabled());
        QVERIFY(f.window.action(Item::MnuCommunication)->isEnabled());
        QCOMPARE(f.window.statusLabel(2)->text(), QStringLiteral("No Traffic"));
        // Received bytes, one line per line break in the box.
        QCOMPARE(f.recData()->toPlainText(), QStringLiteral("A<0d13><0d10>\n45296.13\n"));
    }

    void receivedDataBox()
    {
        Fixture f;
        f.ws.setBox(Box::RecData, QStringLiteral("one\r\n"));
        f.ws.setBox(Box::RecData, QStringLiteral("one\r\ntwo\r\n"));
        QCOMPARE(f.recData()->toPlainText(), QStringLiteral("one\ntwo\n"));
        f.ws.setBox(Box::RecData, QStringLiteral("three"));
        QCOMPARE(f.recData()->toPlainText(), QStringLiteral("three"));
        // The operator may edit it; the workspace keeps what is shown.
        f.recData()->moveCursor(QTextCursor::End);
        QTest::keyClick(f.recData(), Qt::Key_Return);
        QTest::keyClicks(f.recData(), QStringLiteral("x"));
        QCOMPARE(f.ws.box(Box::RecData), QStringLiteral("three\r\nx"));
    }

    void communicationMenu()
    {
        Fixture f;
        f.prompter.type(QStringLiteral("-1"));
        f.window.action(Item::MnuComSetPort)->trigger();
        f.prompter.type(QStringLiteral("10.9.8.7"));
        f.prompter.type(QStringLiteral("4001"));
        f.window.action(Item::MnuComSetIP)->trigger();
        f.prompter.type(QStringLiteral("19200"));
        f.window.action(Item::MnuComSetBaud)->trigger();
        QStringList titles;
        for (const auto &s : f.prompter.shown)
            titles.append(s.title);
        QCOMPARE(titles, (QStringList{"Port Selection", "IP Entry", "IP Entry", "Baud"}));
        QCOMPARE(int(f.ws.linkSettings().value().PortNumber), -1);
        QCOMPARE(f.ws.linkSettings().value().IpAddress, QStringLiteral("10.9.8.7"));
        QCOMPARE(f.ws.linkSettings().value().IpPort, QStringLiteral("4001"));
        QCOMPARE(f.ws.linkSettings().value().BaudText, QStringLiteral(" 19200"));
    }

    void statusPanelTicks()
    {
        Fixture f;
        f.ws.linkSettings().setPortNumber(2);
        QTRY_COMPARE_WITH_TIMEOUT(f.window.statusLabel(1)->text(), QStringLiteral("Port 2 Closed"), 2000);
    }
};

QTEST_MAIN(GuiLinkTest)
#include "tst_gui_link.moc"
