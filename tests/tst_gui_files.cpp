// The window's File menu and toolbar buttons reach the file commands.
#include "windowfixture.h"

#include <QAction>
#include <QTableView>
#include <QtTest>

using namespace telvaro;

class GuiFilesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void menuAndToolbarDriveTheFiles_data()
    {
        QTest::addColumn<QString>("prefix");
        QTest::newRow("menu") << "mnuFile";
        QTest::newRow("toolbar") << "tb";
    }
    void menuAndToolbarDriveTheFiles()
    {
        QFETCH(QString, prefix);
        test::WindowFixture f;
        const auto trigger = [&f, &prefix](const char *command) {
            QAction *act = f.window.findChild<QAction *>(prefix + QLatin1String(command));
            QVERIFY2(act, command);
            act->trigger();
        };
        for (int i = 0; i < 3; ++i) {
            f.ws.table().AppendEntry();
            f.ws.table().SetContents(i, 10 * i, "M" + QByteArray::number(i), {}, {});
        }
        f.ws.table().RefreshGrid();
        QTemporaryDir dir;
        f.prompter.choosePath(dir.filePath("w.TVD"));
        trigger("Save");

        trigger("New");
        const QAbstractItemModel *grid = f.window.grid()->model();
        QCOMPARE(grid->rowCount(), 1);
        QCOMPARE(grid->index(0, 2).data().toString(), QString());

        f.prompter.choosePath(dir.filePath("w.TVD"));
        trigger("Open");
        QCOMPARE(grid->rowCount(), 3);
        QCOMPARE(grid->index(2, 2).data().toString(), QStringLiteral("M2"));
        QCOMPARE(grid->index(2, 1).data().toString(), QStringLiteral("000020"));
        QStringList titles;
        for (const auto &s : std::as_const(f.prompter.shown))
            titles << s.title;
        QCOMPARE(titles, (QStringList{"Save", "Open"}));
    }

    void exitGoesThroughTheCloseQuestion()
    {
        test::WindowFixture f;
        f.prompter.answer(Prompter::Answer::No);
        f.window.action(Item::mnuFileExit)->trigger();
        QVERIFY(f.window.isVisible());
        QCOMPARE(f.prompter.messageTexts(), QStringList{"Are You Sure You want to Shutdown Telvaro?"});
        f.prompter.answer(Prompter::Answer::Yes);
        f.window.action(Item::mnuFileExit)->trigger();
        QVERIFY(!f.window.isVisible());
    }
};

QTEST_MAIN(GuiFilesTest)
#include "tst_gui_files.moc"
