// The entry panel and the Edit menu, driven through the real widgets.
#include "app/workspace.h"
#include "base/settingsstore.h"
#include "codec/numbers.h"
#include "gui/frmmain.h"
#include "scriptedprompter.h"
#include "temphome.h"
#include "windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

using namespace telvaro;
using test::ScriptedPrompter;
using test::TempHome;
using Box = Workspace::Box;

namespace {

struct Snapshot {
    QList<QByteArray> rows;
    QStringList boxes;
    bool operator==(const Snapshot &) const = default;
};

struct Fixture : test::WindowFixture {
    Fixture() { QVERIFY(QTest::qWaitForWindowExposed(&window)); }
    QLineEdit *edit(Box which) { return window.boxWidget(which); }
    void type(Box which, const QString &text)
    {
        QLineEdit *e = edit(which);
        e->setFocus();
        e->selectAll();
        QTest::keyClicks(e, text);
    }
    void click(const char *button) { QTest::mouseClick(window.findChild<QPushButton *>(button), Qt::LeftButton); }
    void add(const QString &number, const QString &interval, const QString &text, const QString &comment = {})
    {
        type(Box::MessageNumber, number);
        type(Box::Interval, interval);
        type(Box::Entry, text);
        type(Box::Comment, comment);
        click("CmdAddMessage");
    }
    void fill(int n)
    {
        for (int i = 0; i < n; ++i)
            add(MessageNumberText(i), QString::number(100 + i), QStringLiteral("M%1").arg(i),
                QStringLiteral("c%1").arg(i));
        prompter.clear();
    }
    QStringList texts() const
    {
        QStringList out;
        for (const MessageEntry &e : ws.table().entries())
            out << QString::fromLatin1(e.Text);
        return out;
    }
    Snapshot snapshot() const
    {
        Snapshot s;
        for (int row = 1; row <= ws.table().rowCount(); ++row) {
            QByteArray line;
            for (int c = 0; c < 4; ++c)
                line += ws.table().CellText(row, c).toLatin1() + '|';
            s.rows << line;
        }
        s.rows << ws.table().TextView();
        for (Box b : {Box::MessageNumber, Box::Interval, Box::Entry, Box::Comment})
            s.boxes << window.boxWidget(b)->text() << ws.box(b);
        s.boxes << ws.box(Box::RepeatCaption);
        return s;
    }
    int currentGridRow() const { return window.grid()->currentIndex().row() + 1; }
};

} // namespace

Q_DECLARE_METATYPE(telvaro::Item)

class GuiEntryTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void addInsertsAndMovesEntries()
    {
        Fixture f;
        f.add("000", "200", "Hi");
        QCOMPARE(f.ws.table().count(), 1);
        const MessageEntry &e = f.ws.table().entry(0);
        QCOMPARE(e.Interval, 200);
        QCOMPARE(e.Text, QByteArray("Hi"));
        QCOMPARE(e.SendData, QByteArray("Hi"));
        QCOMPARE(f.edit(Box::MessageNumber)->text(), QStringLiteral("001"));
        QCOMPARE(f.edit(Box::Entry)->text(), QStringLiteral("Hi")); // boxes keep their texts

        f.add("001", "5", "B<0x0D>", "two");
        f.add("002", "7", "C");
        f.add("001", "9", "X");
        QCOMPARE(f.texts(), (QStringList{"Hi", "X", "B<0x0D>", "C"}));
        for (int i = 0; i < 4; ++i)
            QCOMPARE(f.ws.table().entry(i).Number, qint16(i));
        QCOMPARE(f.ws.table().entry(2).SendData, QByteArray("B\r"));
        QCOMPARE(f.ws.table().entry(2).Comment, QByteArray("two"));
        QCOMPARE(f.edit(Box::MessageNumber)->text(), QStringLiteral("002"));
        QCOMPARE(f.window.grid()->model()->index(1, 2).data().toString(), QStringLiteral("X"));
        QCOMPARE(f.window.infoLabel(6)->text(), QStringLiteral(" 6 / 128"));
        QVERIFY(f.prompter.shown.isEmpty());

        f.add("004", "1", "E"); // the count itself appends at the end
        QCOMPARE(f.texts().last(), QStringLiteral("E"));
    }

    void rejectedCommandsChangeNothing_data()
    {
        QTest::addColumn<int>("entries");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("interval");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        const QString interval = "Timing Interval Out of Range!";
        const QString number = "Message number Out of Range!";
        const QString replace = "Out of Range for Replacement";
        const QString escape = "Escape Value Out of Range! Escapes hold 0 to 255.";
        const auto add = [](const char *what, const QString &n, const QString &i, const QString &t, const QString &m) {
            QTest::newRow(what) << 3 << "CmdAddMessage" << n << i << t << m;
        };
        const auto replaceIn = [](int entries, const char *what, const QString &n, const QString &i, const QString &t,
                                  const QString &m) {
            QTest::newRow(what) << entries << "CmdReplaceMessage" << n << i << t << m;
        };
        add("add interval too long", "000", "600001", "x", interval);
        add("add interval negative", "000", "-1", "x", interval);
        add("add interval not a number", "000", "12a", "x", interval);
        add("add beyond the count", "004", "5", "x", number);
        // Ranges hold before rounding: 3.4 and -0.4 would round into them.
        add("add beyond the count before rounding", "3.4", "5", "x", number);
        add("add negative before rounding", "-0.4", "5", "x", number);
        add("add negative number", "-1", "5", "x", number);
        add("add number beyond 16 bits", "99999", "5", "x", number);
        add("add bad escape", "000", "5", "<1234>", escape);
        replaceIn(3, "replace beyond table", "005", "5", "x", replace);
        replaceIn(3, "replace bad escape", "001", "5", "<-001>", replace);
        replaceIn(3, "replace interval", "001", "600001", "x", interval);
        replaceIn(3, "replace interval beyond 32 bits", "001", "9999999999", "x", interval);
        replaceIn(3, "replace interval not a number", "001", "x1", "x", replace);
        // Above 200 Replace refuses even where an entry exists.
        replaceIn(250, "replace above 200", "220", "5", "x", number);
        replaceIn(250, "replace above 200 before rounding", "200.4", "5", "x", number);
    }
    void rejectedCommandsChangeNothing()
    {
        QFETCH(int, entries);
        QFETCH(QString, button);
        QFETCH(QString, number);
        QFETCH(QString, interval);
        QFETCH(QString, text);
        QFETCH(QString, message);
        Fixture f;
        QList<MessageEntry> table(entries);
        for (int i = 0; i < entries; ++i)
            table[i] = {qint16(i), 100 + i, "M" + QByteArray::number(i), "M" + QByteArray::number(i), "c"};
        f.ws.table().ReplaceAll(table);
        f.ws.table().RefreshGrid();
        f.type(Box::Interval, interval);
        f.type(Box::Entry, text);
        // Set without the focus, which would write it back as a whole number on leaving.
        f.ws.setBox(Box::MessageNumber, number);
        const Snapshot before = f.snapshot();
        f.click(button.toLatin1().constData());
        QCOMPARE(f.prompter.messageTexts(), QStringList{message});
        QCOMPARE(f.prompter.shown.front().title, QStringLiteral("Telvaro"));
        QCOMPARE(f.prompter.shown.front().buttons, Prompter::Buttons::Ok);
        QVERIFY(f.snapshot() == before);
    }

    void addRefusedWhenTheTableIsFull()
    {
        Fixture f;
        f.ws.table().ReplaceAll(QList<MessageEntry>(MessageTable::MaxEntries));
        f.type(Box::MessageNumber, "0");
        f.type(Box::Entry, "x");
        f.click("CmdAddMessage");
        QCOMPARE(f.prompter.messageTexts(), QStringList{"The message table is full: it holds at most 32766 messages."});
        QCOMPARE(f.ws.table().count(), MessageTable::MaxEntries);
        QCOMPARE(f.ws.table().entry(0).Text, QByteArray());
    }

    void replaceStoresAndMovesOn()
    {
        Fixture f;
        f.fill(3);
        f.type(Box::MessageNumber, "001");
        f.type(Box::Interval, "600000");
        f.type(Box::Entry, "R<0x41>");
        f.type(Box::Comment, "new");
        f.click("CmdReplaceMessage");
        QVERIFY(f.prompter.shown.isEmpty());
        const MessageEntry &e = f.ws.table().entry(1);
        QCOMPARE(e.Interval, 600000);
        QCOMPARE(e.SendData, QByteArray("RA"));
        QCOMPARE(e.Comment, QByteArray("new"));
        QCOMPARE(f.edit(Box::MessageNumber)->text(), QStringLiteral("002"));
        QCOMPARE(f.currentGridRow(), 3);
        QCOMPARE(f.ws.table().count(), 3);
    }

    void loadIncrementDecrement()
    {
        Fixture f;
        f.fill(3);
        f.type(Box::MessageNumber, "002");
        f.click("CmdLoadMessage");
        QCOMPARE(f.edit(Box::Entry)->text(), QStringLiteral("M2"));
        QCOMPARE(f.edit(Box::Comment)->text(), QStringLiteral("c2"));
        QCOMPARE(f.edit(Box::Interval)->text(), QStringLiteral("102"));

        f.type(Box::MessageNumber, "7");
        f.type(Box::Entry, "typed");
        f.click("CmdLoadMessage"); // beyond the table: nothing
        QCOMPARE(f.edit(Box::Entry)->text(), QStringLiteral("typed"));

        f.type(Box::MessageNumber, "002");
        f.click("CmdIncrement"); // already the last
        QCOMPARE(f.edit(Box::MessageNumber)->text(), QStringLiteral("002"));
        f.type(Box::MessageNumber, "000");
        f.click("CmdDecrement"); // already the first
        QCOMPARE(f.edit(Box::MessageNumber)->text(), QStringLiteral("000"));

        f.click("CmdIncrement");
        QCOMPARE(f.edit(Box::MessageNumber)->text(), QStringLiteral("001"));
        QCOMPARE(f.edit(Box::Entry)->text(), QStringLiteral("M1"));
        QCOMPARE(f.edit(Box::Interval)->text(), QStringLiteral("101"));

        f.type(Box::MessageNumber, "002");
        f.click("CmdDecrement");
        QCOMPARE(f.edit(Box::MessageNumber)->text(), QStringLiteral("001"));
        QCOMPARE(f.edit(Box::Comment)->text(), QStringLiteral("c1"));
        QCOMPARE(f.currentGridRow(), 2);

        // Decrement from beyond the table lands on the last message.
        f.type(Box::MessageNumber, "050");
        f.click("CmdDecrement");
        QCOMPARE(f.edit(Box::MessageNumber)->text(), QStringLiteral("002"));
        QCOMPARE(f.edit(Box::Entry)->text(), QStringLiteral("M2"));

        f.type(Box::Entry, "same");
        f.ws.setBox(Box::MessageNumber, "abc"); // without leaving the box, which would normalise it
        f.click("CmdIncrement");
        f.click("CmdDecrement");
        QCOMPARE(f.edit(Box::Entry)->text(), QStringLiteral("same"));
        QVERIFY(f.prompter.shown.isEmpty());
    }

    void setBeginRepeat_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("invalid");
        QTest::newRow("7") << "7"
                           << "7" << false;
        QTest::newRow("007") << "007"
                             << "7" << false;
        QTest::newRow("200") << "200"
                             << "200" << false;
        QTest::newRow("rounded") << "2.5"
                                 << "2" << false;
        QTest::newRow("201") << "201"
                             << "3" << true;
        QTest::newRow("-1") << "-1"
                            << "3" << true;
        QTest::newRow("letters") << "abc"
                                 << "3" << true;
        QTest::newRow("beyond 16 bits") << "70000"
                                        << "3" << true;
        QTest::newRow("empty") << ""
                               << "3" << false;
    }
    void setBeginRepeat()
    {
        QFETCH(QString, answer);
        QFETCH(QString, caption);
        QFETCH(bool, invalid);
        Fixture f;
        f.ws.setBox(Box::RepeatCaption, "3");
        f.prompter.type(answer);
        f.click("CmdSetRepeat");
        QCOMPARE(f.prompter.shown.front().text, QStringLiteral("Enter the Message that is the Start of Repetition"));
        QCOMPARE(f.prompter.shown.front().title, QStringLiteral("Repetition Start"));
        QCOMPARE(f.prompter.shown.front().defaultAnswer, QStringLiteral("0"));
        QCOMPARE(f.window.findChild<QLabel *>("LblBeginRepeat")->text(), caption);
        QCOMPARE(f.prompter.messageTexts(), invalid ? QStringList{"Invalid Value!"} : QStringList{});
    }

    void numberBoxAndEnterSelectTheRow()
    {
        Fixture f;
        f.fill(10);
        f.type(Box::MessageNumber, "7");
        f.edit(Box::Comment)->setFocus();
        QCOMPARE(f.edit(Box::MessageNumber)->text(), QStringLiteral("007"));
        QCOMPARE(f.currentGridRow(), 8);
        QCOMPARE(f.ws.box(Box::HeaderLabel), QStringLiteral("<0x01>Z00A<0x0F>DT<0x20><0x27>"));

        f.type(Box::MessageNumber, "abc");
        f.type(Box::Interval, "5");
        QTest::keyClick(f.edit(Box::Interval), Qt::Key_Return);
        QCOMPARE(f.edit(Box::MessageNumber)->text(), QStringLiteral("000"));
        QCOMPARE(f.currentGridRow(), 1);
        QCOMPARE(f.edit(Box::Interval)->text(), QStringLiteral("005"));

        f.type(Box::MessageNumber, "30"); // no such row: nothing selected, nothing said
        QTest::keyClick(f.edit(Box::Interval), Qt::Key_Enter);
        QCOMPARE(f.edit(Box::MessageNumber)->text(), QStringLiteral("030"));
        QCOMPARE(f.currentGridRow(), 1);
        QVERIFY(f.prompter.shown.isEmpty());
    }

    void clearMessage_data()
    {
        QTest::addColumn<int>("entries");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("atThree");
        QTest::newRow("3 of 10") << 10 << "3" << 9 << "M0"
                                 << "M4";
        QTest::newRow("12 of 10 removes the last") << 10 << "12" << 9 << "M0"
                                                   << "M3";
        QTest::newRow("empty answer") << 10 << "" << 10 << "M0"
                                      << "M3";
        QTest::newRow("letters read as 0") << 10 << "x" << 9 << "M1"
                                           << "M4";
        QTest::newRow("only entry") << 1 << "0" << 0 << ""
                                    << "";
        QTest::newRow("empty table") << 0 << "0" << 0 << ""
                                     << "";
    }
    void clearMessage()
    {
        QFETCH(int, entries);
        QFETCH(QString, answer);
        QFETCH(int, count);
        QFETCH(QString, first);
        QFETCH(QString, atThree);
        Fixture f;
        f.fill(entries);
        f.ws.setBox(Box::MessageNumber, "004");
        f.prompter.type(answer);
        f.window.action(Item::MnuEditClearMessage)->trigger();
        QCOMPARE(f.prompter.shown.front().text, QStringLiteral("Clear This Message:"));
        QCOMPARE(f.prompter.shown.front().title, QStringLiteral("Clear Message"));
        QCOMPARE(f.prompter.shown.front().defaultAnswer, QStringLiteral("004"));
        QCOMPARE(f.ws.table().count(), count);
        QCOMPARE(f.window.grid()->model()->rowCount(), qMax(1, count));
        if (count > 0)
            QCOMPARE(QString::fromLatin1(f.ws.table().entry(0).Text), first);
        if (count > 3) {
            QCOMPARE(QString::fromLatin1(f.ws.table().entry(3).Text), atThree);
            QCOMPARE(f.ws.table().entry(3).Number, qint16(3));
        }
    }

    void massFillOverASelection_data()
    {
        QTest::addColumn<QPoint>("from"); // (column, position)
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QString>("confirm");
        QTest::addColumn<QList<int>>("filled");
        QTest::newRow("down over all columns")
            << QPoint(1, 3) << QPoint(3, 5) << QStringList{"1500", "HELLO", "x"}
            << QStringList{"Mass Fill", "Message Interval", "Message Data", "Message Comments"}
            << "You have selected messages 3 through 5 for Mass Fill!\r\nSelect Cancel to stop" << QList<int>{3, 4, 5};
        QTest::newRow("up and left fills the same block")
            << QPoint(3, 5) << QPoint(1, 3) << QStringList{"1500", "HELLO", "x"}
            << QStringList{"Mass Fill", "Message Interval", "Message Data", "Message Comments"}
            << "You have selected messages 3 through 5 for Mass Fill!\r\nSelect Cancel to stop" << QList<int>{3, 4, 5};
        QTest::newRow("message and comment only")
            << QPoint(2, 0) << QPoint(3, 1) << QStringList{"HELLO", "x"}
            << QStringList{"Mass Fill", "Message Data", "Message Comments"}
            << "You have selected messages 0 through 1 for Mass Fill!\r\nSelect Cancel to stop" << QList<int>{0, 1};
    }
    void massFillOverASelection()
    {
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        QFETCH(QStringList, answers);
        QFETCH(QStringList, titles);
        QFETCH(QString, confirm);
        QFETCH(QList<int>, filled);
        Fixture f;
        f.fill(8);
        QTableView *g = f.window.grid();
        const QPoint start = g->visualRect(g->model()->index(from.y(), from.x())).center();
        const QPoint end = g->visualRect(g->model()->index(to.y(), to.x())).center();
        QTest::mousePress(g->viewport(), Qt::LeftButton, {}, start);
        QMouseEvent move(QEvent::MouseMove, end, g->viewport()->mapToGlobal(end), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(g->viewport(), &move);
        QTest::mouseRelease(g->viewport(), Qt::LeftButton, {}, end);

        f.prompter.answer(Prompter::Answer::Ok);
        for (const QString &a : answers)
            f.prompter.type(a);
        QTest::mousePress(g->viewport(), Qt::RightButton, {}, end);
        QTest::mouseRelease(g->viewport(), Qt::RightButton, {}, end);

        QStringList shownTitles;
        for (const auto &s : f.prompter.shown)
            shownTitles << s.title;
        QCOMPARE(shownTitles, titles);
        QCOMPARE(f.prompter.shown.front().text, confirm);
        QCOMPARE(f.prompter.shown.front().buttons, Prompter::Buttons::OkCancel);
        if (titles.contains("Message Interval")) {
            QCOMPARE(f.prompter.shown[1].text, QStringLiteral("What is the interval for these messages?"));
            QCOMPARE(f.prompter.shown[1].defaultAnswer, QStringLiteral("000103"));
        }
        for (int i = 0; i < 8; ++i) {
            const MessageEntry &e = f.ws.table().entry(i);
            const bool inside = filled.contains(i);
            QCOMPARE(QString::fromLatin1(e.Text), inside ? QStringLiteral("HELLO") : QStringLiteral("M%1").arg(i));
            QCOMPARE(e.SendData, e.Text);
            QCOMPARE(QString::fromLatin1(e.Comment), inside ? QStringLiteral("x") : QStringLiteral("c%1").arg(i));
            const bool intervalFilled = inside && titles.contains("Message Interval");
            QCOMPARE(e.Interval, intervalFilled ? 1500 : 100 + i);
        }
        if (titles.contains("Message Interval"))
            QCOMPARE(g->model()->index(filled.front(), 1).data().toString(), QStringLiteral("001500"));
    }

    void massFillRefusalsAndCancel()
    {
        Fixture f;
        f.fill(4);
        const Snapshot before = f.snapshot();
        f.ws.setBox(Box::Interval, "005");
        f.prompter.answer(Prompter::Answer::Cancel);
        f.ws.MassFill(1, 1, 4, 3);
        QCOMPARE(f.prompter.shown.size(), 1);

        // An interval that is not a whole number is refused, never written;
        // the other columns still get their prompts.
        f.prompter.clear();
        f.prompter.answer(Prompter::Answer::Ok);
        f.prompter.type("12.5");
        f.prompter.type("<1234>");
        f.prompter.type("");
        f.ws.MassFill(1, 1, 4, 3);
        QCOMPARE(f.prompter.messageTexts(),
                 (QStringList{"You have selected messages 0 through 3 for Mass Fill!\r\nSelect Cancel to stop",
                              "Timing Interval Out of Range!", "Escape Value Out of Range! Escapes hold 0 to 255."}));
        QCOMPARE(f.snapshot().rows, before.rows);
    }

    void clipboardFollowsTheFocusedBox()
    {
        Fixture f;
        QClipboard *clip = QGuiApplication::clipboard();
        f.type(Box::Entry, "xxABCyy");
        QLineEdit *entry = f.edit(Box::Entry);
        entry->setSelection(2, 3);
        f.window.action(Item::mnuEditCut)->trigger();
        QCOMPARE(clip->text(), QStringLiteral("ABC"));
        QCOMPARE(entry->text(), QStringLiteral("xxyy"));
        QCOMPARE(f.ws.box(Box::Entry), QStringLiteral("xxyy"));
        f.window.action(Item::mnuEditPaste)->trigger();
        QCOMPARE(entry->text(), QStringLiteral("xxABCyy"));

        f.type(Box::Comment, "note");
        f.edit(Box::Comment)->selectAll();
        f.window.action(Item::mnuEditCopy)->trigger();
        QCOMPARE(clip->text(), QStringLiteral("note"));
        QVERIFY(f.ws.entry().Ez95TextFocused);
        QVERIFY(!f.ws.entry().EntryFocused);

        // The number box takes part in nothing: paste goes nowhere, and with
        // the focus in the grid Copy leaves the clipboard empty.
        f.type(Box::MessageNumber, "001");
        f.window.action(Item::mnuEditPaste)->trigger();
        QCOMPARE(f.edit(Box::MessageNumber)->text(), QStringLiteral("001"));
        f.window.grid()->setFocus();
        f.window.action(Item::mnuEditCopy)->trigger();
        QCOMPARE(clip->text(), QString());
        QVERIFY(f.ws.table().isEmpty());
    }

    void menuShortcutsWinOverTheBoxes_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<Item>("command");
        QTest::addColumn<QString>("clipboardAfter");
        QTest::newRow("copy with nothing selected") << "TxtEntry" << QKeySequence("Ctrl+C") << Item::mnuEditCopy << "";
        QTest::newRow("paste in the number box")
            << "TxtMessageNumber" << QKeySequence("Ctrl+V") << Item::mnuEditPaste << "old";
        QTest::newRow("paste in the interval box")
            << "TxtInterval" << QKeySequence("Ctrl+V") << Item::mnuEditPaste << "old";
        QTest::newRow("ctrl+a in the entry box")
            << "TxtEntry" << QKeySequence("Ctrl+A") << Item::MnuADPProtocol << "old";
        QTest::newRow("ctrl+a in the received data")
            << "TxtRecData" << QKeySequence("Ctrl+A") << Item::MnuADPProtocol << "old";
    }
    void menuShortcutsWinOverTheBoxes()
    {
        QFETCH(QString, focus);
        QFETCH(QKeySequence, keys);
        QFETCH(Item, command);
        QFETCH(QString, clipboardAfter);
        Fixture f;
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        f.type(Box::Entry, "ABC");
        f.ws.setBox(Box::RecData, "received");
        QGuiApplication::clipboard()->setText("old");
        QWidget *box = f.window.findChild<QWidget *>(focus);
        box->setFocus();
        const auto textOf = [box] {
            if (auto *line = qobject_cast<QLineEdit *>(box))
                return std::pair(line->text(), line->hasSelectedText());
            const auto *plain = qobject_cast<QPlainTextEdit *>(box);
            return std::pair(plain->toPlainText(), plain->textCursor().hasSelection());
        };
        const auto before = textOf();
        QSignalSpy triggered(f.window.action(command), &QAction::triggered);
        QTest::keySequence(box, keys);
        QCOMPARE(triggered.size(), 1);
        QCOMPARE(textOf(), before);
        QCOMPARE(QGuiApplication::clipboard()->text(), clipboardAfter);
    }

    void pasteReplacesTheSelection_data()
    {
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty clipboard at the caret") << "" << 2 << 0 << "ABCDEF";
        QTest::newRow("empty clipboard over a selection") << "" << 1 << 2 << "ADEF";
        QTest::newRow("text at the caret") << "xy" << 2 << 0 << "ABxyCDEF";
        QTest::newRow("text over a selection") << "xy" << 1 << 2 << "AxyDEF";
    }
    void pasteReplacesTheSelection()
    {
        QFETCH(QString, clipboard);
        QFETCH(int, start);
        QFETCH(int, length);
        QFETCH(QString, expected);
        Fixture f;
        QClipboard *clip = QGuiApplication::clipboard();
        if (clipboard.isEmpty())
            clip->clear();
        else
            clip->setText(clipboard);
        f.type(Box::Entry, "ABCDEF");
        QLineEdit *entry = f.edit(Box::Entry);
        entry->setCursorPosition(start);
        if (length > 0)
            entry->setSelection(start, length);
        f.window.action(Item::mnuEditPaste)->trigger();
        QCOMPARE(entry->text(), expected);
        QCOMPARE(f.ws.box(Box::Entry), expected);
    }
};

QTEST_MAIN(GuiEntryTest)
#include "tst_gui_entry.moc"
