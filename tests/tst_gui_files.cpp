// The window's File menu and toolbar buttons reach the file commands.
#include "app/settings.h"
#include "gui/frmmain.h"
#include "scriptedprompter.h"
#include "windowfixture.h"
#include "temphome.h"

#include <QAction>
#include <QTableView>
#include <QtTest>

using namespace telvaro;
using test::ScriptedPrompter;
using test::TempHome;

namespace {
struct Fixture : test::WindowFixture {
    QAction *button(const char *name) { return window.findChild<QAction *>(QString::fromLatin1(name)); }
};
} // namespace

class GuiFilesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void menuAndToolbarDriveTheFiles_data()
    {
        QTest::addColumn<QString>("save");
        QTest::addColumn<QString>("open");
        QTest::addColumn<QString>("fresh");
        QTest::newRow("menu") << "mnuFileSave"
                              << "mnuFileOpen"
                              << "mnuFileNew";
        QTest::newRow("toolbar") << "tbSave"
                                 << "tbOpen"
                                 << "tbNew";
    }
    void menuAndToolbarDriveTheFiles()
    {
        QFETCH(QString, save);
        QFETCH(QString, open);
        QFETCH(QString, fresh);
        Fixture f;
        auto trigger = [&f](const QString &name) {
            QAction *act = f.window.action(name) ? f.window.action(name) : f.button(qPrintable(name));
            QVERIFY2(act, qPrintable(name));
            act->trigger();
        };
        for (int i = 0; i < 3; ++i) {
            f.ws.table().AppendEntry();
            f.ws.table().SetContents(i, 10 * i, "M" + QByteArray::number(i), {}, {});
        }
        f.ws.table().RefreshGrid();
        QTemporaryDir dir;
        const QString name = dir.filePath("w.TVD");

        f.prompter.choosePath(name);
        trigger(save);
        QVERIFY(QFile::exists(name));

        trigger(fresh);
        QCOMPARE(f.window.grid()->model()->rowCount(), 1);
        QCOMPARE(f.window.grid()->model()->index(0, 2).data().toString(), QString());

        f.prompter.choosePath(name);
        trigger(open);
        QCOMPARE(f.window.grid()->model()->rowCount(), 3);
        QCOMPARE(f.window.grid()->model()->index(2, 2).data().toString(), QStringLiteral("M2"));
        QCOMPARE(f.window.grid()->model()->index(2, 1).data().toString(), QStringLiteral("000020"));

        QStringList titles;
        for (const auto &s : std::as_const(f.prompter.shown))
            titles << s.title;
        QCOMPARE(titles, (QStringList{"Save", "Open"}));
    }

    void exitGoesThroughTheCloseQuestion()
    {
        Fixture f;
        f.prompter.answer(Prompter::Answer::No);
        f.window.action("mnuFileExit")->trigger();
        QVERIFY(f.window.isVisible());
        QCOMPARE(f.prompter.shown.size(), 1);
        QCOMPARE(f.prompter.shown[0].text, QStringLiteral("Are You Sure You want to Shutdown Telvaro?"));
        f.prompter.answer(Prompter::Answer::Yes);
        f.window.action("mnuFileExit")->trigger();
        QVERIFY(!f.window.isVisible());
    }
};

QTEST_MAIN(GuiFilesTest)
#include "tst_gui_files.moc"
