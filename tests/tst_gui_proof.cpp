// What the window proves after a load: "Verify Controller" reads the
// simulated controller back and lists what differs from the screen; "Record
// Transcript" keeps the link's traffic as the command line's --transcript.
#include "app/verification.h"
#include "base/wait.h"
#include "gui/frmverify.h"
#include "peers.h"
#include "programs.h"
#include "windowfixture.h"

#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTreeWidget>

using namespace telvaro;
using test::child;

namespace {

// A transcript's lines with their times masked.
QStringList Untimed(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("cannot read ") + path};
    static const QRegularExpression time(QStringLiteral("^\\S+Z "));
    QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    for (QString &line : lines)
        line.replace(time, QStringLiteral("TIME "));
    return lines;
}

struct Fixture : test::WindowFixture {
    QTemporaryDir dir;
    QProcess controller;
    QString pty = dir.filePath(QStringLiteral("ttyController"));

    Fixture()
    {
        test::StartDevice(controller, {"--pty", "--link", pty, "--role", "controller"});
        ws.linkSettings().set({1, "127.0.0.1", "3001", "9600", pty});
        switchMode(true, OperatingMode::ControllerLoad);
    }
    ~Fixture() { test::StopDevice(controller); }

    // The verify window's summary, and its rows as "what|on screen|read back".
    QStringList verified() const
    {
        const auto *verify = child<QWidget>(&window, "FrmVerify");
        QStringList shown{child<QLabel>(verify, "LblSummary")->text()};
        const auto *list = child<QTreeWidget>(verify, "LstDifferences");
        for (int i = 0; list->isVisibleTo(verify) && i < list->topLevelItemCount(); ++i) {
            const QTreeWidgetItem *row = list->topLevelItem(i);
            shown << row->text(0) + u'|' + row->text(1) + u'|' + row->text(2);
        }
        return shown;
    }
};

} // namespace

class GuiProofTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { SetPauseTimeScale(100); }
    void cleanup() { SetPauseTimeScale(1); }

    // After a serial load ended done, the window offers to read the
    // controller back: it holds exactly the table. One message changed on
    // screen is then the one difference, and the table stays as it is.
    void verifyControllerAfterALoadAndAgain()
    {
        Fixture f;
        f.ws.table().ReplaceAll({{0, 100, "ONE<0x04>", "ONE<0x04>", "c"},
                                 {1, 100, "TWO<0x04>", "TWO<0x04>", "c"},
                                 {2, 100, "THREE<0x04>", "THREE<0x04>", "c"}});
        f.prompter.answer(Prompter::Answer::No);  // a binary interface
        f.prompter.answer(Prompter::Answer::Yes); // verify now
        f.window.action(Item::MnuLoadController)->trigger();
        QCOMPARE(f.prompter.messageTexts(),
                 (QStringList{"Is this a serial interface controller?", VerifyNowQuestion()}));
        QCOMPARE(f.verified(), QStringList{ControllerHoldsTheTableText()});

        f.ws.table().SetContents(1, 100, "TWICE<0x04>", "TWICE<0x04>", "c");
        const QStringList before = f.entries();
        f.prompter.clear();
        f.prompter.answer(Prompter::Answer::No);
        QTest::keyClick(&f.window, Qt::Key_A, Qt::AltModifier);
        QTRY_VERIFY(QApplication::activePopupWidget());
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_V);
        QTRY_COMPARE(f.prompter.messageTexts(), QStringList{"Is this a serial interface controller?"});
        QTRY_COMPARE(f.verified(), (QStringList{"1 difference between what was sent and what the controller holds.",
                                                R"(message 001|"TWICE<0x04>"|"TWO<0x04>")"}));
        QCOMPARE(f.entries(), before);
    }

    // The window's transcript as the command line's --transcript: a quick
    // send recorded from both gives the same lines but for their times. The
    // window's choice is kept in the settings, panel 1's tool tip names the
    // file, and unchecking the entry ends the recording. One that cannot be
    // opened is told as the command line tells it, and is not kept; one kept
    // from before goes on at the start.
    void transcriptAsTheCommandLineWritesIt_data()
    {
        test::rows<bool>("writable", {{"written", true}, {"cannot be opened", false}});
    }
    void transcriptAsTheCommandLineWritesIt()
    {
        const auto [writable] = test::fetch<bool>({"writable"});
        QTemporaryDir dir;
        test::UdpPeer device;
        const QString cli = dir.filePath(writable ? "cli.log" : "missing/t.log");
        const QString window = writable ? dir.filePath("window.log") : cli;
        const QString port = QString::number(device.port());
        const test::ProgramResult sent = test::RunCli(
            {"send", "--port", "-1", "--ip", "127.0.0.1", "--ip-port", port, "--transcript", cli, "HELLO<0x0D>"});
        test::WindowFixture f;
        f.ws.linkSettings().set({-1, "127.0.0.1", port, "9600", {}});
        f.prompter.choosePath(window);
        f.window.action(Item::MnuComTranscript)->trigger();
        QCOMPARE(f.window.action(Item::MnuComTranscript)->isChecked(), writable);
        QCOMPARE(f.settings.read("Transcript", {}), writable ? window : QString());
        if (!writable) {
            const QString told = QString::fromUtf8(sent.err).section(u'\n', 0, 0).section("telvaro-cli: ", 1);
            QVERIFY2(told.startsWith("cannot open the transcript " + cli), sent.err.constData());
            QCOMPARE(f.prompter.messageTexts(), QStringList{u'C' + told.mid(1)});
            test::WindowFixture again({"Transcript", dir.filePath("kept.log")});
            QVERIFY(again.ws.transcript().recording());
            QVERIFY(again.window.action(Item::MnuComTranscript)->isChecked());
            return;
        }
        QCOMPARE(sent.status, 0);
        QVERIFY2(f.window.statusLabel(1)->toolTip().endsWith(window), qPrintable(f.window.statusLabel(1)->toolTip()));
        f.ws.setBox(Workspace::Box::Entry, "HELLO<0x0D>");
        QTest::mouseClick(child<QPushButton>(&f.window, "CmdQuickSend"), Qt::LeftButton);
        QTRY_COMPARE(device.datagrams.size(), 2);
        f.window.action(Item::MnuComTranscript)->trigger();
        QVERIFY(!f.window.action(Item::MnuComTranscript)->isChecked());
        QCOMPARE(f.settings.read("Transcript", {}), QString());
        QVERIFY(f.prompter.messageTexts().isEmpty());
        QCOMPARE(Untimed(window), Untimed(cli));
    }
};

QTEST_MAIN(GuiProofTest)
#include "tst_gui_proof.moc"
