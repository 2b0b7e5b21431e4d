// The entry panel and the Edit menu, driven through the real widgets.
#include "windowfixture.h"

#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace telvaro;
using test::row;
using Box = Workspace::Box;

namespace {

struct Fixture : test::WindowFixture {
    QLineEdit *edit(Box which) { return window.boxWidget(which); }
    void type(Box which, const QString &text)
    {
        edit(which)->setFocus();
        edit(which)->selectAll();
        QTest::keyClicks(edit(which), text);
    }
    void click(const QString &button) { QTest::mouseClick(test::child<QPushButton>(&window, button), Qt::LeftButton); }
    // Types the four boxes, then presses the button.
    void enter(const char *button, const QString &number, const QString &interval, const QString &text,
               const QString &comment = {})
    {
        type(Box::MessageNumber, number);
        type(Box::Interval, interval);
        type(Box::Entry, text);
        type(Box::Comment, comment);
        click(button);
    }
    // What a refused command must leave alone: the table, the boxes as
    // shown and as held, the repeat caption.
    QStringList state() const
    {
        QStringList s = entries() << boxes() << ws.box(Box::RepeatCaption);
        for (Box b : {Box::MessageNumber, Box::Interval, Box::Entry, Box::Comment})
            s << ws.box(b);
        return s;
    }
    int gridRow() const { return window.grid()->currentIndex().row() + 1; }
};

} // namespace

class GuiEntryTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A text longer than Qt's default limit of a line box is shown whole,
    // and a keystroke at its end keeps all of it; the interval box keeps the
    // last three digits typed.
    void keystrokesKeepTheBoxesWhole()
    {
        Fixture f;
        const QString text = QString(40000, u'A') + QStringLiteral("<0x04>");
        f.ws.setBox(Box::Entry, text);
        QCOMPARE(f.edit(Box::Entry)->text(), text);
        f.edit(Box::Entry)->setFocus();
        f.edit(Box::Entry)->end(false);
        QTest::keyClick(f.edit(Box::Entry), Qt::Key_B);
        QCOMPARE(f.ws.box(Box::Entry), text + u'b');
        f.type(Box::Interval, "5");
        QCOMPARE(f.edit(Box::Interval)->text(), QStringLiteral("005"));
        QTest::keyClicks(f.edit(Box::Interval), "0");
        QCOMPARE(f.ws.box(Box::Interval), QStringLiteral("050"));
    }
    void addAndReplace()
    {
        Fixture f;
        f.enter("CmdAddMessage", "000", "200", "Hi");
        QCOMPARE(f.boxes(), QStringLiteral("001|200|Hi|")); // the number moves on, the rest is kept
        f.enter("CmdAddMessage", "001", "5", "B<0x0D>", "two");
        f.enter("CmdAddMessage", "002", "7", "C"); // the count itself appends at the end
        f.enter("CmdAddMessage", "001", "9", "X");
        QCOMPARE(f.boxes(), QStringLiteral("002|009|X|two"));
        QCOMPARE(f.entries(), (QStringList{"0 200 Hi|Hi|", "1 9 X|X|two", "2 5 B<0x0D>|B\r|two", "3 7 C|C|two"}));
        QCOMPARE(f.window.grid()->model()->index(1, 2).data().toString(), QStringLiteral("X"));
        QCOMPARE(f.window.infoLabel(6)->text(), QStringLiteral(" 6 / 128"));

        f.enter("CmdReplaceMessage", "001", "600000", "R<0x41>", "new"); // stored, and the number moves on
        QCOMPARE(f.entries()[1], QStringLiteral("1 600000 R<0x41>|RA|new"));
        QCOMPARE(f.ws.table().count(), 4);
        QCOMPARE(f.boxes(), QStringLiteral("002|600000|R<0x41>|new"));
        QCOMPARE(f.gridRow(), 3);
        QVERIFY(f.prompter.shown.isEmpty());
    }

    void rejectedCommandsChangeNothing_data()
    {
        test::columns<int, QString, QString, QString, QString, QString>(
            {"entries", "button", "number", "interval", "text", "message"});
        const char *interval = "Timing Interval Out of Range!";
        const char *number = "Message number Out of Range!";
        const char *replace = "Out of Range for Replacement";
        const char *add = "CmdAddMessage";
        row("add interval too long", 3, add, "000", "600001", "x", interval);
        row("add interval negative", 3, add, "000", "-1", "x", interval);
        row("add interval not a number", 3, add, "000", "12a", "x", interval);
        // Ranges hold before rounding: 3.4 and -0.4 would round into them.
        row("add beyond the count before rounding", 3, add, "3.4", "5", "x", number);
        row("add negative before rounding", 3, add, "-0.4", "5", "x", number);
        row("add number beyond 16 bits", 3, add, "99999", "5", "x", number);
        row("add bad escape", 3, add, "000", "5", "<1234>", "Escape Value Out of Range! Escapes hold 0 to 255.");
        row("add to a full table", MessageTable::MaxEntries, add, "0", "5", "x",
            "The message table is full: it holds at most 32766 messages.");
        const char *put = "CmdReplaceMessage";
        row("replace beyond table", 3, put, "005", "5", "x", replace);
        row("replace bad escape", 3, put, "001", "5", "<-001>", replace);
        row("replace interval", 3, put, "001", "600001", "x", interval);
        row("replace interval beyond 32 bits", 3, put, "001", "9999999999", "x", interval);
        row("replace interval not a number", 3, put, "001", "x1", "x", replace);
        // Above 200 Replace refuses even where an entry exists.
        row("replace above 200 before rounding", 250, put, "200.4", "5", "x", number);
    }
    void rejectedCommandsChangeNothing()
    {
        const auto [entries, button, number, interval, text, message] =
            test::fetch<int, QString, QString, QString, QString, QString>(
                {"entries", "button", "number", "interval", "text", "message"});
        Fixture f;
        f.addEntries(entries);
        f.type(Box::Interval, interval);
        f.type(Box::Entry, text);
        // Set without the focus, which would write it back as a whole number on leaving.
        f.ws.setBox(Box::MessageNumber, number);
        const QStringList before = f.state();
        f.click(button);
        QCOMPARE(f.shown(), QStringList{"Telvaro: " + message});
        QCOMPARE(f.prompter.shown.front().buttons, Prompter::Buttons::Ok);
        QCOMPARE(f.state(), before);
    }

    // Load, Increment and Decrement; the number box left by Tab, or Enter in
    // the interval box, which write the number whole and select its row.
    // Over "M0" to "M2" with the grid on the second row, "999" in the
    // interval box and "typed" in the message box.
    void loadAndStep_data()
    {
        // boxes: number|interval|message|comment
        test::columns<QString, QString, QString, int>({"number", "button", "boxes", "gridRow"});
        row("load", "002", "CmdLoadMessage", "002|102|M2|c2", 2);
        row("load beyond the table", "7", "CmdLoadMessage", "7|999|typed|", 2);
        row("increment keeps the grid's row", "001", "CmdIncrement", "002|102|M2|c2", 2);
        row("increment at the last", "002", "CmdIncrement", "002|999|typed|", 2);
        row("increment from letters", "abc", "CmdIncrement", "abc|999|typed|", 2);
        row("decrement selects the row", "001", "CmdDecrement", "000|100|M0|c0", 1);
        row("decrement at the first", "000", "CmdDecrement", "000|999|typed|", 2);
        row("decrement from letters", "abc", "CmdDecrement", "abc|999|typed|", 2);
        row("decrement from beyond lands on the last", "050", "CmdDecrement", "002|102|M2|c2", 3);
        row("number box left", "2", "Tab", "002|999|typed|", 3);
        row("Return reads letters as 0", "abc", "Return", "000|999|typed|", 1);
        row("Enter, no such row: nothing selected", "30", "Enter", "030|999|typed|", 2);
    }
    void loadAndStep()
    {
        const auto [number, button, boxes, gridRow] =
            test::fetch<QString, QString, QString, int>({"number", "button", "boxes", "gridRow"});
        Fixture f;
        f.addEntries(3);
        f.window.grid()->selectRow(1);
        f.ws.setBox(Box::Interval, "999");
        f.ws.setBox(Box::Entry, "typed");
        f.ws.setBox(Box::MessageNumber, number); // without leaving the box, which would normalise it
        if (button.startsWith(QLatin1String("Cmd"))) {
            f.click(button);
        } else if (button == QLatin1String("Tab")) {
            f.edit(Box::MessageNumber)->setFocus();
            QTest::keyClick(f.edit(Box::MessageNumber), Qt::Key_Tab);
        } else {
            QTest::keyClick(f.edit(Box::Interval), button == QLatin1String("Enter") ? Qt::Key_Enter : Qt::Key_Return);
        }
        QCOMPARE(f.boxes(), boxes);
        QCOMPARE(f.gridRow(), gridRow);
        QVERIFY(f.prompter.shown.isEmpty());
    }

    void setBeginRepeat_data()
    {
        test::columns<QString, QString, bool>({"answer", "caption", "invalid"});
        row("007", "007", "7", false);
        row("200", "200", "200", false);
        row("2.5", "2.5", "2", false);
        row("201", "201", "3", true);
        row("-1", "-1", "3", true);
        row("abc", "abc", "3", true);
        row("70000", "70000", "3", true);
        row("empty", "", "3", false);
    }
    void setBeginRepeat()
    {
        const auto [answer, caption, invalid] = test::fetch<QString, QString, bool>({"answer", "caption", "invalid"});
        Fixture f;
        f.ws.setBox(Box::RepeatCaption, "3");
        f.prompter.type(answer);
        f.click("CmdSetRepeat");
        QCOMPARE(f.shown().front(),
                 QStringLiteral("Repetition Start: Enter the Message that is the Start of Repetition [0]"));
        QCOMPARE(f.window.findChild<QLabel *>("LblBeginRepeat")->text(), caption);
        QCOMPARE(f.prompter.messageTexts(), invalid ? QStringList{"Invalid Value!"} : QStringList{});
    }

    // The Delete key in the grid removes the entry the number box names,
    // not the grid's row; "Clear Message" the one its answer names. The
    // rest move up; the number box and the header stay as they were.
    void removeOneEntry_data()
    {
        // answer: null for the Delete key
        test::columns<int, QString, QString, QString>({"entries", "number", "answer", "texts"});
        const QString key;
        row("Delete, middle", 3, "001", key, "M0 M2");
        row("Delete beyond the table removes the last", 3, "050", key, "M0 M1");
        row("Delete, negative acts as zero", 2, "-3", key, "M1");
        row("Delete, only entry", 1, "000", key, "");
        row("Clear 3 of 10", 10, "004", "3", "M0 M1 M2 M4 M5 M6 M7 M8 M9");
        row("Clear 12 of 10 removes the last", 10, "004", "12", "M0 M1 M2 M3 M4 M5 M6 M7 M8");
        row("Clear, empty answer", 10, "004", "", "M0 M1 M2 M3 M4 M5 M6 M7 M8 M9");
        row("Clear, letters read as 0", 10, "004", "x", "M1 M2 M3 M4 M5 M6 M7 M8 M9");
        row("Clear, only entry", 1, "004", "0", "");
        row("Clear, empty table", 0, "004", "0", "");
    }
    void removeOneEntry()
    {
        const auto [entries, number, answer, texts] =
            test::fetch<int, QString, QString, QString>({"entries", "number", "answer", "texts"});
        Fixture f;
        f.addEntries(entries);
        QTest::mouseClick(f.window.grid()->viewport(), Qt::LeftButton, {}, f.cellCenter(qMax(0, entries - 1), 2));
        f.ws.setBox(Box::MessageNumber, number);
        const QString named = number + u' ' + f.ws.box(Box::HeaderLabel);
        if (answer.isNull()) {
            QTest::keyClick(f.window.grid(), Qt::Key_Delete);
        } else {
            f.prompter.type(answer);
            f.window.action(Item::MnuEditClearMessage)->trigger();
        }
        QCOMPARE(f.shown(), answer.isNull() ? QStringList{} : QStringList{"Clear Message: Clear This Message: [004]"});
        // The grid shows what is left; an empty table keeps one blank row.
        const QAbstractItemModel *grid = f.window.grid()->model();
        QStringList shown;
        for (int row = 0; row < grid->rowCount(); ++row)
            shown << grid->index(row, 2).data().toString();
        QCOMPARE(shown.join(u' '), texts);
        for (int i = 0; i < f.ws.table().count(); ++i)
            QCOMPARE(f.ws.table().entry(i).Number, qint16(i));
        QCOMPARE(f.edit(Box::MessageNumber)->text() + u' ' + f.ws.box(Box::HeaderLabel), named);
        if (f.ws.table().isEmpty())
            QCOMPARE(grid->index(0, 1).data().toString(), QStringLiteral("000000"));
        QCOMPARE(f.window.infoLabel(6)->text(), QStringLiteral(" %1 / 128").arg(f.ws.table().count() * 2));
    }

    // A selection dragged over "M0" to "M7", then the right button: a
    // prompt for each column the selection spans, then the cells filled;
    // nothing changes after Cancel or for an answer refused.
    void massFillOverASelection_data()
    {
        // from, to: (column, position); changed: the entries that differ afterwards
        test::columns<QPoint, QPoint, bool, QStringList, QStringList, QStringList, QKeySequence>(
            {"from", "to", "ok", "answers", "shown", "changed", "keys"});
        const QString confirm =
            "Mass Fill: You have selected messages %1 through %2 for Mass Fill!\r\nSelect Cancel to stop";
        const QString interval = "Message Interval: What is the interval for these messages? [%1]";
        const QString data = "Message Data: What is the fill message? [M%1]";
        const QString comments = "Message Comments: What is the fill comment? [c%1]";
        const QStringList all{confirm.arg(3).arg(5), interval.arg("000103"), data.arg(3), comments.arg(3)};
        const QStringList filled{"3 1500 HELLO|HELLO|x", "4 1500 HELLO|HELLO|x", "5 1500 HELLO|HELLO|x"};
        const QStringList answers{"1500", "HELLO", "x"};
        row("down over all columns", QPoint(1, 3), QPoint(3, 5), true, answers, all, filled, QKeySequence());
        row("up and left fills the same block", QPoint(3, 5), QPoint(1, 3), true, answers, all, filled, QKeySequence());
        // The keyboard's context-menu keys stand for the right button.
        const QKeySequence shiftF10(Qt::ShiftModifier | Qt::Key_F10);
        row("Menu key", QPoint(1, 3), QPoint(3, 5), true, answers, all, filled, QKeySequence(Qt::Key_Menu));
        row("Shift+F10", QPoint(1, 3), QPoint(3, 5), true, answers, all, filled, shiftF10);
        row("message and comment only", QPoint(2, 0), QPoint(3, 1), true, QStringList{"HELLO", "x"},
            QStringList{confirm.arg(0).arg(1), data.arg(0), comments.arg(0)},
            QStringList{"0 100 HELLO|HELLO|x", "1 101 HELLO|HELLO|x"}, QKeySequence());
        row("cancelled", QPoint(1, 0), QPoint(3, 3), false, QStringList{}, QStringList{confirm.arg(0).arg(3)},
            QStringList{}, QKeySequence());
        // An interval that is not a whole number is refused, never written;
        // the other columns still get their prompts.
        const QStringList refused{confirm.arg(0).arg(3),
                                  interval.arg("000100"),
                                  "Telvaro: Timing Interval Out of Range!",
                                  data.arg(0),
                                  "Telvaro: Escape Value Out of Range! Escapes hold 0 to 255.",
                                  comments.arg(0)};
        row("refused answers", QPoint(1, 0), QPoint(3, 3), true, QStringList{"12.5", "<1234>", ""}, refused,
            QStringList{}, QKeySequence());
    }
    void massFillOverASelection()
    {
        const auto [from, to, ok, answers, shown, changed, keys] =
            test::fetch<QPoint, QPoint, bool, QStringList, QStringList, QStringList, QKeySequence>(
                {"from", "to", "ok", "answers", "shown", "changed", "keys"});
        Fixture f;
        f.addEntries(8);
        QStringList expected = f.entries();
        for (const QString &entry : changed)
            expected[entry.section(u' ', 0, 0).toInt()] = entry;
        QWidget *view = f.window.grid()->viewport();
        const QPoint end = f.cellCenter(to.y(), to.x());
        test::drag(view, f.cellCenter(from.y(), from.x()), end);
        f.prompter.answer(ok ? Prompter::Answer::Ok : Prompter::Answer::Cancel);
        for (const QString &answer : answers)
            f.prompter.type(answer);
        if (keys.isEmpty()) {
            QTest::mouseClick(view, Qt::RightButton, {}, end);
        } else {
            f.window.grid()->setFocus(Qt::MouseFocusReason); // as the drag's press gives it
            QTest::keySequence(f.window.grid(), keys);
        }
        QCOMPARE(f.shown(), shown);
        QCOMPARE(f.prompter.shown.front().buttons, Prompter::Buttons::OkCancel);
        QCOMPARE(f.entries(), expected);
        // The grid shows the table as filled.
        QCOMPARE(f.window.grid()->model()->index(3, 2).data().toString(),
                 expected[3].section(u' ', 2).section(u'|', 0, 0));
    }

    // Cut, Copy and Paste from the Edit menu or the toolbar act on the box
    // that has the focus.
    void clipboardFollowsTheFocusedBox_data()
    {
        test::rows<QString>("commands", {{"menu", "mnuEdit"}, {"toolbar", "tb"}});
    }
    void clipboardFollowsTheFocusedBox()
    {
        const auto [commands] = test::fetch<QString>({"commands"});
        Fixture f;
        QClipboard *clip = QGuiApplication::clipboard();
        const auto trigger = [&f, commands = commands](const char *command) {
            test::child<QAction>(&f.window, commands + command)->trigger();
        };
        f.type(Box::Entry, "xxABCyy");
        QLineEdit *entry = f.edit(Box::Entry);
        entry->setSelection(2, 3);
        trigger("Cut");
        QCOMPARE(clip->text() + u' ' + f.ws.box(Box::Entry), QStringLiteral("ABC xxyy"));
        trigger("Paste"); // at the caret
        entry->setSelection(1, 2);
        trigger("Paste"); // over a selection
        QCOMPARE(f.ws.box(Box::Entry), QStringLiteral("xABCBCyy"));
        // An empty clipboard takes the selection away and nothing else.
        clip->clear();
        trigger("Paste");
        entry->setSelection(0, 4);
        trigger("Paste");
        QCOMPARE(entry->text() + u' ' + f.ws.box(Box::Entry), QStringLiteral("BCyy BCyy"));

        f.type(Box::Comment, "note");
        f.edit(Box::Comment)->selectAll();
        trigger("Copy");
        QCOMPARE(clip->text(), QStringLiteral("note"));
        QVERIFY(f.ws.entry().Ez95TextFocused && !f.ws.entry().EntryFocused);
    }

    void menuShortcutsWinOverTheBoxes_data()
    {
        // command: the action's name
        test::columns<QString, QString, QString, QString>({"focus", "keys", "command", "clipboardAfter"});
        row("copy with nothing selected", "TxtEntry", "Ctrl+C", "mnuEditCopy", "");
        row("paste in the number box", "TxtMessageNumber", "Ctrl+V", "mnuEditPaste", "old");
        row("ctrl+a in the entry box", "TxtEntry", "Ctrl+A", "MnuADPProtocol", "old");
        row("ctrl+a in the received data", "TxtRecData", "Ctrl+A", "MnuADPProtocol", "old");
    }
    void menuShortcutsWinOverTheBoxes()
    {
        const auto [focus, keys, command, clipboardAfter] =
            test::fetch<QString, QString, QString, QString>({"focus", "keys", "command", "clipboardAfter"});
        Fixture f;
        f.type(Box::Entry, "ABC");
        f.ws.setBox(Box::RecData, "received");
        QGuiApplication::clipboard()->setText("old");
        QWidget *box = test::child<QWidget>(&f.window, focus);
        box->setFocus();
        // The box's text and selection, whatever kind of box it is.
        const auto textOf = [box] {
            return box->inputMethodQuery(Qt::ImSurroundingText).toString() + u'|' +
                   box->inputMethodQuery(Qt::ImCurrentSelection).toString();
        };
        const QString before = textOf();
        QSignalSpy triggered(test::child<QAction>(&f.window, command), &QAction::triggered);
        QTest::keySequence(box, QKeySequence(keys));
        QCOMPARE(triggered.size(), 1);
        QCOMPARE(textOf(), before);
        QCOMPARE(QGuiApplication::clipboard()->text(), clipboardAfter);
    }
};

QTEST_MAIN(GuiEntryTest)
#include "tst_gui_entry.moc"
