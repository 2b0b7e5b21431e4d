// The SCP and ADP editors and the register dialog through their real
// widgets: codes into the entry box at its caret, the "&Protocol" menu's
// rules, the quick start, the register dialog and the register controls
// after each kind of mode switch.
#include "gui/frmedita.h"
#include "gui/frmedits.h"
#include "gui/frmregister.h"
#include "windowfixture.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QTextCursor>

using namespace telvaro;
using test::child;
using Box = Workspace::Box;

namespace {

struct Fixture : test::WindowFixture {
    // A menu shortcut typed where the operator works, in the entry box;
    // returns the window that is active afterwards.
    QWidget *shortcut(const QString &keys)
    {
        window.activateWindow();
        if (!QTest::qWaitForWindowActive(&window))
            qFatal("the main window is not active");
        entry()->setFocus();
        QTest::keySequence(entry(), QKeySequence(keys));
        // The window it opens becomes active once the toolkit has had its say.
        const auto opened = [this] {
            const QWidget *focus = QApplication::focusWidget();
            return focus && focus->window() != &window && focus->window() == QApplication::activeWindow();
        };
        if (!QTest::qWaitFor(opened))
            qFatal("%s opened no window", qPrintable(keys));
        return QApplication::activeWindow();
    }
    // An editor by its shortcut, or the register dialog from the menu bar.
    QWidget *open(const QString &which)
    {
        if (which != QLatin1String("Registers"))
            return shortcut(which);
        window.action(Item::MnuRegister)->trigger();
        for (QWidget *w : QApplication::topLevelWidgets())
            if (qobject_cast<FrmRegister *>(w) && w->isVisible())
                return w;
        return nullptr;
    }
    QLineEdit *entry() const { return window.boxWidget(Box::Entry); }
    // The open editor of that kind, once a closed one is gone.
    template <typename T> T *editor() const
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return window.findChild<T *>();
    }
};

void click(const QWidget *window, const QString &name)
{
    auto *button = child<QAbstractButton>(window, name);
    // At its left: a check box or option button takes clicks on its mark
    // and caption only.
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

void choose(const QWidget *window, const QString &list, int row)
{
    auto *l = child<QListWidget>(window, list);
    l->scrollToItem(l->item(row));
    QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, l->visualItemRect(l->item(row)).center());
}

// What the operator reads (with the access key's marker): a control's
// caption, a list's items with the selected ones starred, a slider's value
// and range.
QString captionOf(const QWidget *w)
{
    if (const auto *list = qobject_cast<const QListWidget *>(w)) {
        QStringList items;
        for (int i = 0; i < list->count(); ++i)
            items << (list->item(i)->isSelected() ? QStringLiteral("*") : QString()) + list->item(i)->text();
        return items.join(u',');
    }
    if (const auto *slider = qobject_cast<const QSlider *>(w))
        return QStringLiteral("%1 in %2..%3").arg(slider->value()).arg(slider->minimum()).arg(slider->maximum());
    if (const auto *b = qobject_cast<const QAbstractButton *>(w))
        return b->text();
    if (const auto *l = qobject_cast<const QLabel *>(w))
        return l->text();
    if (const auto *g = qobject_cast<const QGroupBox *>(w))
        return g->title();
    if (const auto *e = qobject_cast<const QLineEdit *>(w))
        return e->text();
    if (const auto *p = qobject_cast<const QPlainTextEdit *>(w))
        return p->toPlainText();
    return {};
}

// The quick start's preview: its text colour, background and size.
QString previewOf(const QPlainTextEdit *quick)
{
    return QStringLiteral("%1 on %2, %3 pt")
        .arg(quick->palette().color(QPalette::Text).name(), quick->palette().color(QPalette::Base).name())
        .arg(quick->font().pointSize());
}

} // namespace

Q_DECLARE_METATYPE(telvaro::OperatingMode)

class GuiEditorsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // What the windows hold as loaded: the lists in their order with their
    // choices, the sliders' ranges, the boxes' texts.
    void windowsAsLaidOut_data()
    {
        // controls: name=caption|name=caption|...
        test::columns<QString, QString, QString>({"opener", "title", "controls"});
        const QString colours = "Red,Green,Amber,Dim Red,Dim Green,Brown,Orange,Yellow,Rainbow 1,Rainbow 2,Color Mix,"
                                "Autocolor";
        const QString adp =
            "SldFont=0 in 0..15|LstQuickFont=Five High,*Seven SS,Seven S,Fifteen High SS,Fifteen High S,User 5,User 6,"
            "User 7,User 8,User 9,User 10,User 11,User 12,User 13,User 14,User 15|LstQuickModeP=*Fill,Top,Bottom,"
            "Middle,In/Out Mode|LstQuickModeT=Rotate (No Wrap),*Hold,Flash,Random,Move Left,Move Right,Scroll O/L,"
            "Scroll O/R,Move Up,Move Down,Scroll O/C,Unveil Up,Unveil Down,Unveil In,Unveil Up/In,Unveil Up/Out|"
            "LstNumReg=01,*02,03,04,05,06,07,08,09,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,31|"
            "TxtCode=00|TxtSignAddress=00|LblType=OB|ChkFlash=|TxtQuickEdit=Message to Display";
        test::row("SCP", "Ctrl+S", "Message Editing ", "LstColor=" + colours + "|SldFont=1 in 1..16|TxtCode=00");
        test::row("ADP", "Ctrl+A", "Message Editing",
                  "LstColor=" + colours + "|LstQuickForeColor=Black,*" + colours + "|LstQuickBackColor=*Black," +
                      colours + '|' + adp);
        test::row("registers", "Registers", "Controller Register Setup", "LblRegister=01|LblWidth=00");
    }
    void windowsAsLaidOut()
    {
        const auto [opener, title, controls] = test::fetch<QString, QString, QString>({"opener", "title", "controls"});
        Fixture f;
        f.ws.SetOperatingMode(OperatingMode::ControllerLoad);
        QWidget *window = f.open(opener);
        QVERIFY(window && window != &f.window);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->windowTitle(), title);
        const QFontMetrics titleBar(window->font()); // the whole title beside the frame's icon and buttons
        QVERIFY(window->width() >= titleBar.horizontalAdvance(title) + 6 * titleBar.height());
        for (const QString &control : controls.split(u'|')) {
            const QString name = control.section(u'=', 0, 0);
            QCOMPARE(name + u'=' + captionOf(child<QWidget>(window, name)).remove(u'&'), control);
        }
        // No two controls share an access key.
        QStringList keys;
        for (const QWidget *w : window->findChildren<QWidget *>()) {
            const QString key =
                qobject_cast<const QLineEdit *>(w) ? QString() : QKeySequence::mnemonic(captionOf(w)).toString();
            QVERIFY2(key.isEmpty() || !keys.contains(key), qPrintable(key));
            keys << key;
        }
        // The main window's menu keys do not reach through: an access key
        // acts in the window that has the focus, clicks its button once or
        // takes the focus to its label's control.
        for (const Qt::Key key : {Qt::Key_F, Qt::Key_E, Qt::Key_C, Qt::Key_H, Qt::Key_A, Qt::Key_P, Qt::Key_V}) {
            const QKeySequence keys(Qt::AltModifier | key);
            QAbstractButton *own = nullptr;
            for (QAbstractButton *b : window->findChildren<QAbstractButton *>())
                if (b->isVisible() && QKeySequence::mnemonic(b->text()) == keys)
                    own = b;
            QWidget *labelled = nullptr;
            for (QLabel *l : window->findChildren<QLabel *>())
                if (l->buddy() && QKeySequence::mnemonic(l->text()) == keys)
                    labelled = l->buddy();
            QSignalSpy clicks(own ? own : window, own ? SIGNAL(clicked()) : SIGNAL(destroyed()));
            QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier);
            QVERIFY2(!QApplication::activePopupWidget() && !f.window.menuBar()->activeAction(),
                     qPrintable(keys.toString()));
            // A button pressed by its key is released a moment later, and
            // clicked once.
            QTRY_COMPARE_WITH_TIMEOUT(clicks.count(), own ? 1 : 0, 2000);
            QTest::qWait(own ? 150 : 0);
            QCOMPARE(clicks.count(), own ? 1 : 0);
            if (labelled)
                QCOMPARE(QApplication::focusWidget(), labelled);
        }
    }

    // Every button of an editor in turn: the codes go into the entry box in
    // place of its selection, or at its caret, and the caret ends behind
    // them; the editor keeps the focus.
    void buttonsInsertTheirCodes_data()
    {
        // controls: colour, font, selection start, selection length
        test::columns<QString, QList<int>, QString, QString, QString, bool>(
            {"shortcut", "controls", "code", "buttons", "entry", "throughComment"});
        test::row("SCP at the caret, Green, font 3, code 7", "Ctrl+S", QList<int>{1, 3, 2, 0}, "7",
                  "CmdSOT CmdMode CmdFlash CmdColor CmdBackColor CmdFont CmdLJustification CmdMJustification "
                  "CmdRJustification CmdComputerTime CmdCode CmdEOT",
                  "HE<0x02><0x1B>2A2P2G3F1J2J3J<T><0x07><0x04>LLO", false);
        test::row("ADP over a selection, Rainbow 2, font 12, code 1B", "Ctrl+A", QList<int>{9, 12, 1, 3}, "1B",
                  "CmdSOT CmdStartText CmdETX CmdEOT CmdMode CmdFlash CmdColor CmdBackColor CmdFont CmdLJustification "
                  "CmdMJustification CmdRJustification CmdSignDate CmdSignTime CmdComputerTime CmdString CmdCode",
                  "H<0x01><0x02><0x03><0x04><0x1B><0x07><0x1C>A<0x1D>BA<0x1A><<0x0A>0<0x0A>1<0x0A>2<0x0B><0x13><T>"
                  "<0x10><0x1B>O",
                  false);
        test::row("SCP over a selection hidden as the comment box took the focus", "Ctrl+S", QList<int>{0, 1, 1, 2},
                  "00", "CmdSOT CmdEOT", "H<0x02><0x04>LO", true);
    }
    void buttonsInsertTheirCodes()
    {
        const auto [shortcut, controls, code, buttons, entry, throughComment] =
            test::fetch<QString, QList<int>, QString, QString, QString, bool>(
                {"shortcut", "controls", "code", "buttons", "entry", "throughComment"});
        Fixture f;
        f.entry()->setText("HELLO");
        f.entry()->setCursorPosition(controls[2]);
        f.entry()->setSelection(controls[2], controls[3]);
        QWidget *editor = f.shortcut(shortcut);
        choose(editor, "LstColor", controls[0]);
        child<QSlider>(editor, "SldFont")->setValue(controls[1]);
        auto *txtCode = child<QLineEdit>(editor, "TxtCode");
        txtCode->selectAll();
        QTest::keyClicks(txtCode, code);
        if (throughComment) {
            f.window.activateWindow();
            QTRY_COMPARE(QApplication::focusWidget(), f.entry());
            QTest::mouseClick(f.window.boxWidget(Box::Comment), Qt::LeftButton);
            editor->activateWindow();
            QTRY_COMPARE(QApplication::activeWindow(), editor);
        }
        for (const QString &button : buttons.split(u' '))
            click(editor, button);
        QCOMPARE(QApplication::focusWidget(), child<QWidget>(editor, buttons.section(u' ', -1)));
        QCOMPARE(f.entry()->text(), entry);
        QCOMPARE(f.ws.box(Box::Entry), entry);
        QVERIFY(!f.entry()->hasSelectedText());
        QCOMPARE(f.entry()->text().mid(f.entry()->cursorPosition()),
                 QStringLiteral("HELLO").mid(controls[2] + controls[3]));
    }

    // The lists and boxes chosen, then the calls and register fields put
    // into the typed text at its caret, in place of its selection.
    void quickStartChoices()
    {
        Fixture f;
        f.ws.SetOperatingMode(OperatingMode::ControllerLoad);
        const QWidget *adp = f.shortcut("Ctrl+A");
        auto *quick = child<QPlainTextEdit>(adp, "TxtQuickEdit");
        QCOMPARE(previewOf(quick), QStringLiteral("#ff0000 on #000000, 9 pt")); // as loaded
        choose(adp, "LstQuickBackColor", 9);
        choose(adp, "LstQuickForeColor", 1); // chosen already, clicked again
        QCOMPARE(previewOf(quick), QStringLiteral("#ff0000 on #ffffff, 9 pt"));
        choose(adp, "LstQuickForeColor", 9);
        choose(adp, "LstQuickBackColor", 12);
        choose(adp, "LstQuickFont", 12);
        choose(adp, "LstQuickModeT", 4);
        choose(adp, "LstQuickModeP", 4);
        QCOMPARE(previewOf(quick), QStringLiteral("#000000 on #ffffff, 20 pt"));
        for (const char *box : {"ChkFlash", "ChkBack", "ChkFont"})
            click(adp, box);
        auto *address = child<QLineEdit>(adp, "TxtSignAddress");
        address->selectAll();
        QTest::keyClicks(address, "A1");
        quick->selectAll();
        QTest::keyClicks(quick, "AB");
        QTest::keyClick(quick, Qt::Key_Return);
        QTest::keyClicks(quick, "CD");
        QTextCursor cursor = quick->textCursor();
        cursor.setPosition(3);
        cursor.setPosition(4, QTextCursor::KeepAnchor);
        quick->setTextCursor(cursor);
        click(adp, "CmdInsertRegister"); // register 02 as loaded
        click(adp, "CmdQuickDate");
        click(adp, "CmdQuickTime");
        choose(adp, "LstNumReg", 15);
        click(adp, "CmdInsertRegister");
        const QString typed = "AB\n<0x10><0x0F>ES<0x21>R<0x0B>8<0x13><0x10><0x0F>ES<0x21>`D";
        QCOMPARE(quick->toPlainText(), typed);
        QCOMPARE(quick->textCursor().position(), typed.size() - 1);
        QCOMPARE(f.entry()->text(), QString());
        click(adp, "CmdQuickAdd");
        QCOMPARE(f.entry()->text(),
                 QStringLiteral("<0x01>ZA1<0x02>AA<0x1B>Ie<0x1B>Oe<0x1C>9<0x1D>BC<0x07>1AB<0x0D><0x10>"
                                "<0x0F>ES<0x21>R<0x0B>8<0x13><0x10><0x0F>ES<0x21>`D<0x04>"));
        // "Add" stores it at the number box's position (000 as loaded), as
        // "Add Message" does.
        click(adp, "CmdAddMessage");
        QCOMPARE(QString::fromLatin1(f.ws.table().entry(0).Text) + u' ' + f.ws.box(Box::MessageNumber),
                 f.entry()->text() + " 001");
        f.ws.SetOperatingMode(OperatingMode::SignLoad); // a sign load's message has no header
        click(adp, "CmdQuickAdd");
        QVERIFY2(f.entry()->text().startsWith("<0x1B>Ie<0x1B>Oe"), qPrintable(f.entry()->text()));

        // The label's click only changes what it says.
        for (const char *type : {"VY", "OB"}) {
            QTest::mouseClick(child<QLabel>(adp, "LblType"), Qt::LeftButton);
            QCOMPARE(child<QLabel>(adp, "LblType")->text(), QString::fromLatin1(type));
        }
    }

    // The dialog works on a copy of the register table, kept while scrolling:
    // OK writes it back, Cancel and the close box drop it.
    void registerDialogOkAndCancel_data()
    {
        test::rows<QString>("close", {{"OK", "CmdOK"}, {"Cancel", "CmdCancel"}, {"close box", ""}});
    }
    void registerDialogOkAndCancel()
    {
        const auto [close] = test::fetch<QString>({"close"});
        const bool written = close == QLatin1String("CmdOK");
        Fixture f;
        f.ws.registers().setEntry(7, {1, " "});
        f.ws.registers().setEntry(8, {0, "x"});
        f.ws.registers().setEntry(12, {4, "x"});
        f.ws.SetOperatingMode(OperatingMode::ControllerLoad);
        QWidget *dialog = f.open("Registers");
        QVERIFY(dialog && !dialog->parentWidget());
        auto *scroll = child<QScrollBar>(dialog, "VScroll1");
        const auto shown = [&dialog] { // register, width, fill
            return QStringList{captionOf(child<QLabel>(dialog, "LblRegister")),
                               captionOf(child<QPushButton>(dialog, "LblWidth")),
                               child<QRadioButton>(dialog, "Opt0")->isChecked() ? "0" : " "};
        };
        QCOMPARE((QList<int>{scroll->minimum(), scroll->maximum(), scroll->value()}), (QList<int>{1, 31, 1}));
        scroll->setValue(12); // a fill other than a blank shows as zeroes, and is one once shown
        QCOMPARE(shown(), (QStringList{"12", "04", "0"}));
        click(dialog, "OptSpace");
        scroll->setValue(7);
        QCOMPARE(shown(), (QStringList{"07", "01", " "}));
        f.prompter.type("3");
        // The prompt opens over the dialog, and whichever window had the
        // focus as it closed, the dialog has it after.
        f.window.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &f.window);
        click(dialog, "LblWidth");
        QCOMPARE(f.prompter.shown.last().over, dialog);
        QTRY_COMPARE(QApplication::activeWindow(), dialog);
        QCOMPARE(f.shown(), QStringList{"Register Size: Enter the width the Register will occupy\r\n"
                                        "Value must be in a range from 0 to 5 [0]"});
        click(dialog, "Opt0");
        // The choices are kept while scrolling away and back.
        scroll->setFocus();
        QTest::keyClick(scroll, Qt::Key_Down);
        QCOMPARE(shown(), (QStringList{"08", "00", "0"}));
        QTest::keyClick(scroll, Qt::Key_Up);
        QCOMPARE(shown(), (QStringList{"07", "03", "0"}));
        scroll->setValue(12);
        QCOMPARE(shown(), (QStringList{"12", "04", " "}));
        if (close.isEmpty())
            dialog->close();
        else
            click(dialog, close);
        QCOMPARE(f.ws.registers().entry(7), written ? (RegisterEntry{3, "0"}) : (RegisterEntry{1, " "}));
        QCOMPARE(f.ws.registers().entry(8), written ? (RegisterEntry{0, "0"}) : (RegisterEntry{0, "x"}));
        QCOMPARE(f.ws.registers().entry(12), written ? (RegisterEntry{4, " "}) : (RegisterEntry{4, "x"}));

        // Opened again at once, it starts afresh from the register table.
        dialog = f.open("Registers");
        QVERIFY(dialog);
        scroll = child<QScrollBar>(dialog, "VScroll1");
        QCOMPARE(scroll->value(), 1);
        scroll->setValue(7);
        QCOMPARE(shown(), written ? (QStringList{"07", "03", "0"}) : (QStringList{"07", "01", " "}));
    }

    // The "&Protocol" menu's editors by their shortcuts: each opens below
    // the main window, SCP hides ADP. The ADP editor's register controls
    // after each kind of mode switch; its quick start's text lives as long
    // as the editor, hidden or not.
    void editorsFollowShortcutsAndModes_data()
    {
        // steps: a shortcut, "typed" into the quick start, a mode chosen from
        // "menu" or "button", or "reopen": the ADP editor closed and opened
        // again at once, before the closed one is discarded.
        // shown: the SCP editor, the ADP editor, its register controls.
        test::columns<OperatingMode, QStringList, QString, QString>({"openIn", "steps", "shown", "quick"});
        using M = OperatingMode;
        using L = QStringList;
        const QString loaded = "Message to Display";
        test::row("SCP", M::Test, L{"Ctrl+S"}, "S", "");
        test::row("ADP", M::Test, L{"Ctrl+A"}, "A", loaded);
        test::row("ADP beside an open SCP", M::Test, L{"Ctrl+S", "Ctrl+A"}, "SA", loaded);
        test::row("SCP hides ADP", M::Test, L{"Ctrl+A", "Ctrl+S"}, "S", "");
        test::row("ADP back after SCP", M::Test, L{"Ctrl+A", "Ctrl+S", "Ctrl+A"}, "SA", loaded);
        test::row("SCP twice", M::Test, L{"Ctrl+S", "Ctrl+S"}, "S", "");
        const L typed{"Ctrl+A", "typed"};
        test::row("opened in Sign Load", M::SignLoad, typed, "AR", "typed");
        test::row("menu to Controller Load", M::Test, typed + L{"menu 2"}, "AR", "typed");
        test::row("button to Controller Load", M::Test, typed + L{"button 2"}, "AR", "typed");
        test::row("menu back to Test: still shown", M::Test, typed + L{"menu 2", "menu 0"}, "AR", "typed");
        test::row("button back to Test: hidden", M::Test, typed + L{"menu 2", "button 0"}, "A", "typed");
        test::row("menu to Sign Load: still shown", M::ControllerLoad, typed + L{"menu 1"}, "AR", "typed");
        test::row("button to Sign Load: hidden", M::SignLoad, typed + L{"button 1"}, "A", "typed");
        test::row("menu to Sign Load: still hidden", M::Test, typed + L{"menu 1"}, "A", "typed");
        test::row("button to Test while hidden: kept", M::ControllerLoad, typed + L{"Ctrl+S", "button 0", "Ctrl+A"},
                  "SAR", "typed");
        test::row("closed, opened again in Test", M::ControllerLoad, typed + L{"menu 0", "reopen"}, "A", loaded);
    }
    void editorsFollowShortcutsAndModes()
    {
        const auto [openIn, steps, shown, quick] =
            test::fetch<OperatingMode, QStringList, QString, QString>({"openIn", "steps", "shown", "quick"});
        Fixture f;
        f.ws.SetOperatingMode(openIn);
        const int below = qRound(4000 / f.window.twipsPerPixel());
        for (const QString &step : steps) {
            if (step == QLatin1String("typed")) {
                child<QPlainTextEdit>(f.editor<FrmEditA>(), "TxtQuickEdit")->setPlainText(step);
            } else if (step == QLatin1String("reopen")) {
                f.editor<FrmEditA>()->close();
                f.window.action(Item::MnuADPProtocol)->trigger();
            } else if (!step.startsWith(QLatin1String("Ctrl"))) {
                f.switchMode(step.startsWith(QLatin1String("menu")), OperatingMode(step.section(u' ', 1).toInt()));
            } else {
                f.window.move(f.window.pos() + QPoint(7, 11));
                f.shortcut(step);
                const QWidget *opened = step == QLatin1String("Ctrl+S") ? static_cast<QWidget *>(f.editor<FrmEditS>())
                                                                        : f.editor<FrmEditA>();
                QVERIFY(opened && opened->isVisible());
                QTRY_COMPARE(QApplication::focusWidget(), child<QPushButton>(opened, "CmdCode"));
                QCOMPARE(opened->parentWidget(), &f.window);
                // Below the main window as far as the screen allows.
                const QRect area = f.window.screen()->availableGeometry();
                const QRect placed = opened->frameGeometry();
                QCOMPARE(placed.top(),
                         std::min(f.window.frameGeometry().top() + below, area.bottom() + 1 - placed.height()));
            }
        }
        const FrmEditS *scp = f.editor<FrmEditS>();
        const FrmEditA *adp = f.editor<FrmEditA>();
        QCOMPARE(scp && scp->isVisible(), shown.contains(u'S'));
        QCOMPARE(adp && adp->isVisible(), shown.contains(u'A'));
        // Both open, neither stands exactly on the other.
        if (shown.contains(QLatin1String("SA")))
            QVERIFY(scp->frameGeometry().topLeft() != adp->frameGeometry().topLeft());
        if (!shown.contains(u'A'))
            return;
        QCOMPARE(child<QListWidget>(adp, "LstNumReg")->isVisible(), shown.contains(u'R'));
        QCOMPARE(child<QPushButton>(adp, "CmdInsertRegister")->isVisible(), shown.contains(u'R'));
        QCOMPARE(captionOf(child<QPlainTextEdit>(adp, "TxtQuickEdit")), quick);
    }
};

QTEST_MAIN(GuiEditorsTest)
#include "tst_gui_editors.moc"
