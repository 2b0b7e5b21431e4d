// What the window proves after a load: "Verify Controller" reads the
// simulated controller back and lists what differs from the screen.
#include "app/verification.h"
#include "base/wait.h"
#include "gui/frmverify.h"
#include "programs.h"
#include "windowfixture.h"

#include <QLabel>
#include <QTemporaryDir>
#include <QTreeWidget>

using namespace telvaro;
using test::child;

namespace {

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

    void setMessages(const QList<QByteArray> &texts)
    {
        QList<MessageEntry> entries;
        for (const QByteArray &text : texts)
            entries.append({qint16(entries.size()), 100, text, text, "c"});
        ws.table().ReplaceAll(entries);
        ws.table().RefreshGrid();
    }
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
        f.setMessages({"ONE<0x04>", "TWO<0x04>", "THREE<0x04>"});
        f.prompter.answer(Prompter::Answer::No);  // a binary interface
        f.prompter.answer(Prompter::Answer::Yes); // verify now
        f.window.action(Item::MnuLoadController)->trigger();
        QCOMPARE(f.prompter.messageTexts(),
                 (QStringList{"Is this a serial interface controller?", VerifyNowQuestion()}));
        QCOMPARE(f.verified(), QStringList{ControllerHoldsTheTableText()});

        f.ws.table().SetContents(1, 100, "TWICE<0x04>", "TWICE<0x04>", "c");
        f.ws.table().RefreshGrid();
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
};

QTEST_MAIN(GuiProofTest)
#include "tst_gui_proof.moc"
