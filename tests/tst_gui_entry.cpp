// The entry panel and the Edit menu, driven through the real widgets.
#include "windowfixture.h"

#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace telvaro;
using Box = Workspace::Box;

namespace {

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
    void click(const QString &button) { QTest::mouseClick(test::child<QPushButton>(&window, button), Qt::LeftButton); }
    void add(const QString &number, const QString &interval, const QString &text, const QString &comment = {})
    {
        type(Box::MessageNumber, number);
        type(Box::Interval, interval);
        type(Box::Entry, text);
        type(Box::Comment, comment);
        click("CmdAddMessage");
    }
    QString texts() const
    {
        QStringList out;
        for (const MessageEntry &e : ws.table().entries())
            out << QString::fromLatin1(e.Text);
        return out.join(u' ');
    }
    // What a refused command must leave alone: the grid's cells, the text
    // view, the boxes as shown and as held, the repeat caption.
    QStringList state() const
    {
        QStringList s{QString::fromLatin1(ws.table().TextView()), boxes(), ws.box(Box::RepeatCaption)};
        for (int row = 1; row <= ws.table().rowCount(); ++row)
            for (int c = 0; c < 4; ++c)
                s << ws.table().CellText(row, c);
        for (Box b : {Box::MessageNumber, Box::Interval, Box::Entry, Box::Comment})
            s << ws.box(b);
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
        QCOMPARE(f.boxes(), QStringLiteral("001|200|Hi|")); // the number moves on, the rest is kept
        f.add("001", "5", "B<0x0D>", "two");
        f.add("002", "7", "C");
        f.add("001", "9", "X");
        QCOMPARE(f.boxes(), QStringLiteral("002|009|X|two"));
        QCOMPARE(f.entries(), (QStringList{"0 200 Hi|Hi|", "1 9 X|X|two", "2 5 B<0x0D>|B\r|two", "3 7 C|C|two"}));
        QCOMPARE(f.window.grid()->model()->index(1, 2).data().toString(), QStringLiteral("X"));
        QCOMPARE(f.window.infoLabel(6)->text(), QStringLiteral(" 6 / 128"));
        QVERIFY(f.prompter.shown.isEmpty());

        f.add("004", "1", "E"); // the count itself appends at the end
        QCOMPARE(f.texts(), QStringLiteral("Hi X B<0x0D> C E"));
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
        const auto add = [](const char *what, const char *n, const char *i, const char *t, const QString &m) {
            QTest::newRow(what) << 3 << "CmdAddMessage" << QString(n) << QString(i) << QString(t) << m;
        };
        const auto replaceIn = [](int entries, const char *what, const char *n, const char *i, const char *t,
                                  const QString &m) {
            QTest::newRow(what) << entries << "CmdReplaceMessage" << QString(n) << QString(i) << QString(t) << m;
        };
        add("add interval too long", "000", "600001", "x", interval);
        add("add interval negative", "000", "-1", "x", interval);
        add("add interval not a number", "000", "12a", "x", interval);
        // Ranges hold before rounding: 3.4 and -0.4 would round into them.
        add("add beyond the count before rounding", "3.4", "5", "x", number);
        add("add negative before rounding", "-0.4", "5", "x", number);
        add("add number beyond 16 bits", "99999", "5", "x", number);
        add("add bad escape", "000", "5", "<1234>", escape);
        replaceIn(3, "replace beyond table", "005", "5", "x", replace);
        replaceIn(3, "replace bad escape", "001", "5", "<-001>", replace);
        replaceIn(3, "replace interval", "001", "600001", "x", interval);
        replaceIn(3, "replace interval beyond 32 bits", "001", "9999999999", "x", interval);
        replaceIn(3, "replace interval not a number", "001", "x1", "x", replace);
        // Above 200 Replace refuses even where an entry exists.
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
        f.addEntries(entries);
        f.type(Box::Interval, interval);
        f.type(Box::Entry, text);
        // Set without the focus, which would write it back as a whole number on leaving.
        f.ws.setBox(Box::MessageNumber, number);
        const QStringList before = f.state();
        f.click(button);
        QCOMPARE(f.prompter.messageTexts(), QStringList{message});
        QCOMPARE(f.prompter.shown.front().title, QStringLiteral("Telvaro"));
        QCOMPARE(f.prompter.shown.front().buttons, Prompter::Buttons::Ok);
        QCOMPARE(f.state(), before);
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
        f.addEntries(3);
        f.type(Box::MessageNumber, "001");
        f.type(Box::Interval, "600000");
        f.type(Box::Entry, "R<0x41>");
        f.type(Box::Comment, "new");
        f.click("CmdReplaceMessage");
        QVERIFY(f.prompter.shown.isEmpty());
        QCOMPARE(f.entries(), (QStringList{"0 100 M0|M0|c0", "1 600000 R<0x41>|RA|new", "2 102 M2|M2|c2"}));
        QCOMPARE(f.edit(Box::MessageNumber)->text(), QStringLiteral("002"));
        QCOMPARE(f.currentGridRow(), 3);
    }

    // Load, Increment and Decrement over "M0" to "M2" with the grid on the
    // first row, "999" in the interval box and "typed" in the message box.
    void loadAndStep_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("boxes"); // number|interval|message|comment
        QTest::addColumn<int>("gridRow");
        const auto row = [](const char *name, const char *number, const char *button, const char *boxes, int grid) {
            QTest::newRow(name) << QString(number) << QString(button) << QString(boxes) << grid;
        };
        row("load", "002", "CmdLoadMessage", "002|102|M2|c2", 1);
        row("load beyond the table", "7", "CmdLoadMessage", "7|999|typed|", 1);
        row("increment keeps the grid's row", "000", "CmdIncrement", "001|101|M1|c1", 1);
        row("increment at the last", "002", "CmdIncrement", "002|999|typed|", 1);
        row("increment from letters", "abc", "CmdIncrement", "abc|999|typed|", 1);
        row("decrement selects the row", "002", "CmdDecrement", "001|101|M1|c1", 2);
        row("decrement at the first", "000", "CmdDecrement", "000|999|typed|", 1);
        row("decrement from letters", "abc", "CmdDecrement", "abc|999|typed|", 1);
        row("decrement from beyond lands on the last", "050", "CmdDecrement", "002|102|M2|c2", 3);
    }
    void loadAndStep()
    {
        QFETCH(QString, number);
        QFETCH(QString, button);
        QFETCH(QString, boxes);
        QFETCH(int, gridRow);
        Fixture f;
        f.addEntries(3);
        f.window.grid()->selectRow(0);
        f.ws.setBox(Box::Interval, "999");
        f.ws.setBox(Box::Entry, "typed");
        f.ws.setBox(Box::MessageNumber, number); // without leaving the box, which would normalise it
        f.click(button);
        QCOMPARE(f.boxes(), boxes);
        QCOMPARE(f.currentGridRow(), gridRow);
        QVERIFY(f.prompter.shown.isEmpty());
    }

    void setBeginRepeat_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("invalid");
        const auto row = [](const char *answer, const char *caption, bool invalid) {
            QTest::newRow(*answer ? answer : "empty") << QString(answer) << QString(caption) << invalid;
        };
        row("7", "7", false);
        row("007", "7", false);
        row("200", "200", false);
        row("2.5", "2", false);
        row("201", "3", true);
        row("-1", "3", true);
        row("abc", "3", true);
        row("70000", "3", true);
        row("", "3", false);
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
        f.addEntries(10);
        f.type(Box::MessageNumber, "7");
        f.edit(Box::Comment)->setFocus();
        QCOMPARE(f.edit(Box::MessageNumber)->text(), QStringLiteral("007"));
        QCOMPARE(f.currentGridRow(), 8);
        QCOMPARE(f.ws.box(Box::HeaderLabel), QStringLiteral("<0x01>Z00A<0x0F>DT<0x20><0x27>"));

        f.type(Box::MessageNumber, "abc");
        f.type(Box::Interval, "5");
        QCOMPARE(f.edit(Box::Interval)->text(), QStringLiteral("005"));
        QTest::keyClicks(f.edit(Box::Interval), "0"); // typing keeps the last three digits
        QCOMPARE(f.ws.box(Box::Interval), QStringLiteral("050"));
        QTest::keyClick(f.edit(Box::Interval), Qt::Key_Return);
        QCOMPARE(f.edit(Box::MessageNumber)->text(), QStringLiteral("000"));
        QCOMPARE(f.currentGridRow(), 1);

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
        QTest::addColumn<QString>("texts");
        const auto row = [](const char *name, int entries, const char *answer, const char *texts) {
            QTest::newRow(name) << entries << QString(answer) << QString(texts);
        };
        row("3 of 10", 10, "3", "M0 M1 M2 M4 M5 M6 M7 M8 M9");
        row("12 of 10 removes the last", 10, "12", "M0 M1 M2 M3 M4 M5 M6 M7 M8");
        row("empty answer", 10, "", "M0 M1 M2 M3 M4 M5 M6 M7 M8 M9");
        row("letters read as 0", 10, "x", "M1 M2 M3 M4 M5 M6 M7 M8 M9");
        row("only entry", 1, "0", "");
        row("empty table", 0, "0", "");
    }
    void clearMessage()
    {
        QFETCH(int, entries);
        QFETCH(QString, answer);
        QFETCH(QString, texts);
        Fixture f;
        f.addEntries(entries);
        f.ws.setBox(Box::MessageNumber, "004");
        f.prompter.type(answer);
        f.window.action(Item::MnuEditClearMessage)->trigger();
        QCOMPARE(f.prompter.shown.front().text, QStringLiteral("Clear This Message:"));
        QCOMPARE(f.prompter.shown.front().title, QStringLiteral("Clear Message"));
        QCOMPARE(f.prompter.shown.front().defaultAnswer, QStringLiteral("004"));
        QCOMPARE(f.texts(), texts);
        for (int i = 0; i < f.ws.table().count(); ++i)
            QCOMPARE(f.ws.table().entry(i).Number, qint16(i));
        QCOMPARE(f.window.grid()->model()->rowCount(), qMax(1, f.ws.table().count()));
    }

    // A selection dragged over the grid, then the right button: a prompt
    // for each column the selection spans, then the cells filled.
    void massFillOverASelection_data()
    {
        QTest::addColumn<QPoint>("from"); // (column, position)
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QString>("confirm");
        QTest::addColumn<QList<int>>("filled");
        const QStringList all{"Mass Fill", "Message Interval", "Message Data", "Message Comments"};
        const QString threeToFive = "You have selected messages 3 through 5 for Mass Fill!\r\nSelect Cancel to stop";
        QTest::newRow("down over all columns")
            << QPoint(1, 3) << QPoint(3, 5) << all << threeToFive << QList<int>{3, 4, 5};
        QTest::newRow("up and left fills the same block")
            << QPoint(3, 5) << QPoint(1, 3) << all << threeToFive << QList<int>{3, 4, 5};
        QTest::newRow("message and comment only")
            << QPoint(2, 0) << QPoint(3, 1) << QStringList{"Mass Fill", "Message Data", "Message Comments"}
            << "You have selected messages 0 through 1 for Mass Fill!\r\nSelect Cancel to stop" << QList<int>{0, 1};
    }
    void massFillOverASelection()
    {
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        QFETCH(QStringList, titles);
        QFETCH(QString, confirm);
        QFETCH(QList<int>, filled);
        Fixture f;
        f.addEntries(8);
        QWidget *view = f.window.grid()->viewport();
        const QPoint end = f.cellCenter(to.y(), to.x());
        test::drag(view, f.cellCenter(from.y(), from.x()), end);
        f.prompter.answer(Prompter::Answer::Ok);
        const QHash<QString, QString> answers{
            {"Message Interval", "1500"}, {"Message Data", "HELLO"}, {"Message Comments", "x"}};
        for (const QString &title : titles.mid(1))
            f.prompter.type(answers.value(title));
        QTest::mousePress(view, Qt::RightButton, {}, end);
        QTest::mouseRelease(view, Qt::RightButton, {}, end);

        QStringList shownTitles;
        for (const auto &s : f.prompter.shown)
            shownTitles << s.title;
        QCOMPARE(shownTitles, titles);
        QCOMPARE(f.prompter.shown.front().text, confirm);
        QCOMPARE(f.prompter.shown.front().buttons, Prompter::Buttons::OkCancel);
        const bool interval = titles.contains("Message Interval");
        if (interval) {
            QCOMPARE(f.prompter.shown[1].text, QStringLiteral("What is the interval for these messages?"));
            QCOMPARE(f.prompter.shown[1].defaultAnswer, QStringLiteral("000103"));
            QCOMPARE(f.window.grid()->model()->index(filled.front(), 1).data().toString(), QStringLiteral("001500"));
        }
        for (int i = 0; i < 8; ++i) {
            const bool inside = filled.contains(i);
            QCOMPARE(f.entries()[i], inside
                                         ? QStringLiteral("%1 %2 HELLO|HELLO|x").arg(i).arg(interval ? 1500 : 100 + i)
                                         : QStringLiteral("%1 %2 M%1|M%1|c%1").arg(i).arg(100 + i));
        }
    }

    void massFillRefusalsAndCancel()
    {
        Fixture f;
        f.addEntries(4);
        const QStringList before = f.entries();
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
        QCOMPARE(f.entries(), before);
    }

    void clipboardFollowsTheFocusedBox()
    {
        Fixture f;
        QClipboard *clip = QGuiApplication::clipboard();
        const auto trigger = [&f](Item item) { f.window.action(item)->trigger(); };
        f.type(Box::Entry, "xxABCyy");
        QLineEdit *entry = f.edit(Box::Entry);
        entry->setSelection(2, 3);
        trigger(Item::mnuEditCut);
        QCOMPARE(clip->text(), QStringLiteral("ABC"));
        QCOMPARE(f.ws.box(Box::Entry), QStringLiteral("xxyy"));
        trigger(Item::mnuEditPaste); // at the caret
        QCOMPARE(f.ws.box(Box::Entry), QStringLiteral("xxABCyy"));
        entry->setSelection(1, 2);
        trigger(Item::mnuEditPaste); // over a selection
        QCOMPARE(f.ws.box(Box::Entry), QStringLiteral("xABCBCyy"));
        // An empty clipboard takes the selection away and nothing else.
        clip->clear();
        trigger(Item::mnuEditPaste);
        QCOMPARE(f.ws.box(Box::Entry), QStringLiteral("xABCBCyy"));
        entry->setSelection(0, 4);
        trigger(Item::mnuEditPaste);
        QCOMPARE(entry->text(), QStringLiteral("BCyy"));
        QCOMPARE(f.ws.box(Box::Entry), QStringLiteral("BCyy"));

        f.type(Box::Comment, "note");
        f.edit(Box::Comment)->selectAll();
        trigger(Item::mnuEditCopy);
        QCOMPARE(clip->text(), QStringLiteral("note"));
        QVERIFY(f.ws.entry().Ez95TextFocused);
        QVERIFY(!f.ws.entry().EntryFocused);

        // The number box takes part in nothing: paste goes nowhere, and with
        // the focus in the grid Copy leaves the clipboard empty.
        f.type(Box::MessageNumber, "001");
        trigger(Item::mnuEditPaste);
        QCOMPARE(f.edit(Box::MessageNumber)->text(), QStringLiteral("001"));
        f.window.grid()->setFocus();
        trigger(Item::mnuEditCopy);
        QCOMPARE(clip->text(), QString());
        QVERIFY(f.ws.table().isEmpty());
    }

    void menuShortcutsWinOverTheBoxes_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<Item>("command");
        QTest::addColumn<QString>("clipboardAfter");
        const auto row = [](const char *name, const char *focus, const char *keys, Item command, const char *after) {
            QTest::newRow(name) << QString(focus) << QKeySequence(keys) << command << QString(after);
        };
        row("copy with nothing selected", "TxtEntry", "Ctrl+C", Item::mnuEditCopy, "");
        row("paste in the number box", "TxtMessageNumber", "Ctrl+V", Item::mnuEditPaste, "old");
        row("paste in the interval box", "TxtInterval", "Ctrl+V", Item::mnuEditPaste, "old");
        row("ctrl+a in the entry box", "TxtEntry", "Ctrl+A", Item::MnuADPProtocol, "old");
        row("ctrl+a in the received data", "TxtRecData", "Ctrl+A", Item::MnuADPProtocol, "old");
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
};

QTEST_MAIN(GuiEntryTest)
#include "tst_gui_entry.moc"
