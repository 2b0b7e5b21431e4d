// The window with the table at its full 32,766 messages: scrolling to either
// end shows and names the right message, deleting the first moves every
// other up, and Add works again once there is room.
#include "gui/messagegrid.h"
#include "windowfixture.h"

#include <QPushButton>
#include <QtTest>

using namespace telvaro;
using Box = Workspace::Box;

class GuiScaleTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fullTableInTheWindow()
    {
        test::WindowFixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QList<MessageEntry> entries(MessageTable::MaxEntries);
        for (int i = 0; i < entries.size(); ++i)
            entries[i] = {qint16(i), 1000, "M" + QByteArray::number(i), {}, {}};
        f.ws.table().ReplaceAll(entries);
        f.ws.table().RefreshGrid();
        MessageGrid *grid = f.window.grid();
        const auto shownAt = [grid](int y) {
            return grid->model()->index(grid->rowAt(y), MessageTable::ColText).data().toString();
        };

        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(f.ws.box(Box::MessageNumber), QStringLiteral("32765"));
        QCOMPARE(shownAt(grid->viewport()->height() - 2), QStringLiteral("M32765"));

        QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(f.ws.box(Box::MessageNumber), QStringLiteral("000"));
        QCOMPARE(shownAt(1), QStringLiteral("M0"));

        QTest::keyClick(grid, Qt::Key_Delete);
        QCOMPARE(f.ws.table().count(), MessageTable::MaxEntries - 1);
        QCOMPARE(f.ws.table().entry(0).Text, QByteArray("M1"));
        QCOMPARE(f.ws.table().entry(MessageTable::MaxEntries - 2).Text, QByteArray("M32765"));

        f.ws.setBox(Box::MessageNumber, QStringLiteral("32765"));
        f.ws.setBox(Box::Entry, QStringLiteral("LAST"));
        QTest::mouseClick(f.window.findChild<QPushButton *>(QStringLiteral("CmdAddMessage")), Qt::LeftButton);
        QVERIFY(f.prompter.shown.isEmpty());
        QCOMPARE(f.ws.table().count(), MessageTable::MaxEntries);
        QCOMPARE(f.ws.table().entry(MessageTable::MaxEntries - 1).Text, QByteArray("LAST"));
        QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(shownAt(grid->viewport()->height() - 2), QStringLiteral("LAST"));
    }
};

QTEST_MAIN(GuiScaleTest)
#include "tst_gui_scale.moc"
