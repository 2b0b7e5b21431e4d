// The SCP and ADP editors and the register dialog through their real
// widgets: codes into the entry box at its caret, the "&Protocol" menu's
// rules, the quick start, the register dialog and the register controls
// after each kind of mode switch.
#include "gui/frmedita.h"
#include "gui/frmedits.h"
#include "gui/frmregister.h"
#include "signload/modes.h"
#include "windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QTextCursor>
#include <QToolButton>
#include <QtTest>

using namespace telvaro;
using Box = Workspace::Box;

namespace {

struct Fixture : test::WindowFixture {
    Fixture() { activate(&window); }

    void activate(QWidget *w)
    {
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
    }
    // A menu shortcut typed where the operator works, in the entry box;
    // returns the window that is active afterwards.
    QWidget *shortcut(const char *keys)
    {
        activate(&window);
        entry()->setFocus();
        QTest::keySequence(entry(), QKeySequence(QString::fromLatin1(keys)));
        // The window it opens becomes active once the toolkit has had its say.
        const auto opened = [this] {
            const QWidget *focus = QApplication::focusWidget();
            return focus && focus->window() != &window && focus->window() == QApplication::activeWindow();
        };
        if (!QTest::qWaitFor(opened))
            qFatal("%s opened no window", keys);
        return QApplication::activeWindow();
    }
    QLineEdit *entry() const { return window.boxWidget(Box::Entry); }
    // The open editor of that kind, once a closed one is gone.
    template <typename T> T *editor() const
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return window.findChild<T *>();
    }
    FrmRegister *registerDialog() const
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *dialog = qobject_cast<FrmRegister *>(w))
                return dialog;
        return nullptr;
    }
    void switchMode(const QString &place, OperatingMode mode)
    {
        if (place == QLatin1String("menu")) {
            window.action(UseModeItem(mode))->trigger();
            return;
        }
        const QList<QAction *> entries = window.findChild<QToolButton *>("tbSoftMode")->menu()->actions();
        for (QAction *a : entries)
            if (a->data().toString() == ModeKey(mode))
                a->trigger();
    }
};

template <typename T> T *child(const QWidget *window, const QString &name)
{
    T *found = window->findChild<T *>(name);
    if (!found)
        qFatal("no %s", qPrintable(name));
    return found;
}

void click(const QWidget *window, const QString &name)
{
    auto *button = child<QAbstractButton>(window, name);
    // A check box or option button takes clicks on its mark and caption
    // only, at its left.
    const bool marked = qobject_cast<QCheckBox *>(button) || qobject_cast<QRadioButton *>(button);
    QTest::mouseClick(button, Qt::LeftButton, {}, marked ? QPoint(6, button->height() / 2) : QPoint());
}

void choose(const QWidget *window, const QString &list, int row)
{
    auto *l = child<QListWidget>(window, list);
    l->scrollToItem(l->item(row));
    QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, l->visualItemRect(l->item(row)).center());
}

QString captionOf(const QWidget *w)
{
    QString text;
    if (const auto *b = qobject_cast<const QAbstractButton *>(w))
        text = b->text();
    else if (const auto *l = qobject_cast<const QLabel *>(w))
        text = l->text();
    else if (const auto *g = qobject_cast<const QGroupBox *>(w))
        text = g->title();
    else if (const auto *e = qobject_cast<const QLineEdit *>(w))
        text = e->text();
    else if (const auto *p = qobject_cast<const QPlainTextEdit *>(w))
        text = p->toPlainText();
    // The access key's marker is not part of what the operator reads.
    return text.remove(u'&');
}

QStringList itemsOf(const QListWidget *list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    return items;
}

// The widgets the Tab key visits, in its order.
QWidgetList tabChain(QWidget *window)
{
    QWidgetList chain;
    for (QWidget *w = window->nextInFocusChain(); w != window; w = w->nextInFocusChain())
        if (w->window() == window && (w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(window) && w->isEnabled())
            chain << w;
    return chain;
}

} // namespace

Q_DECLARE_METATYPE(telvaro::OperatingMode)

class GuiEditorsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void captions_data()
    {
        QTest::addColumn<QString>("shortcut");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("controls");
        QTest::newRow("SCP") << "Ctrl+S"
                             << "Message Editing "
                             << QStringList{"CmdSOT=Start of Message",
                                            "CmdMode=Exception",
                                            "CmdFlash=Flash",
                                            "CmdColor=Fore Color Start",
                                            "CmdBackColor=Back Color Start",
                                            "CmdFont=Font Start",
                                            "Label2=Justification",
                                            "CmdLJustification=L",
                                            "CmdMJustification=M",
                                            "CmdRJustification=R",
                                            "CmdComputerTime=Computer Time",
                                            "TxtCode=00",
                                            "CmdCode=Character Code",
                                            "CmdEOT=End of Message",
                                            "Label1=SCP Message Editing Format: "
                                            "<0x02>0000<0x1B>CMDrRcCaApPsSgGfF[message text]jJ<0x04>"};
        QTest::newRow("ADP") << "Ctrl+A"
                             << "Message Editing"
                             << QStringList{"CmdSOT=Start of Message",
                                            "CmdStartText=Start of Text",
                                            "CmdETX=End of Text",
                                            "CmdEOT=End of Message",
                                            "CmdMode=Mode Start",
                                            "CmdFlash=Flash Start",
                                            "CmdColor=Fore Color Start",
                                            "CmdBackColor=Back Color Start",
                                            "CmdFont=Font Start",
                                            "Label2=Justification",
                                            "CmdLJustification=L",
                                            "CmdMJustification=M",
                                            "CmdRJustification=R",
                                            "CmdSignDate=Sign Date Start",
                                            "CmdSignTime=Sign Time",
                                            "CmdComputerTime=Computer Time",
                                            "CmdString=Call String File",
                                            "TxtCode=00",
                                            "CmdCode=Character Code",
                                            "Label3=Quick Start Message",
                                            "Label4=Address Type",
                                            "TxtSignAddress=00",
                                            "LblType=OB",
                                            "Label5=Fore Color              Back Color",
                                            "Label6= Available Fonts",
                                            "Label7=Mode Position Mode Type",
                                            "Label8=  Flash",
                                            "ChkFlash=",
                                            "ChkMode=Mode",
                                            "ChkFont=Font",
                                            "ChkFore=Fore Color",
                                            "ChkBack=Back Ground",
                                            "TxtQuickEdit=Message to Display",
                                            "CmdQuickDate=Call Date",
                                            "CmdQuickTime=Call Time",
                                            "CmdQuickAdd=Load",
                                            "CmdAddMessage=Add",
                                            "CmdInsertRegister=Register Insert"};
        QTest::newRow("registers") << "Registers"
                                   << "Controller Register Setup"
                                   << QStringList{"Label1=Selected Register  Width",
                                                  "LblRegister=01",
                                                  "LblWidth=00",
                                                  "Frame1=Fill Character",
                                                  "OptSpace=Spaces",
                                                  "Opt0=Zeroes",
                                                  "CmdOK=OK",
                                                  "CmdCancel=Cancel"};
    }
    void captions()
    {
        QFETCH(QString, shortcut);
        QFETCH(QString, title);
        QFETCH(QStringList, controls);
        Fixture f;
        QWidget *window = nullptr;
        if (shortcut == QLatin1String("Registers")) {
            f.window.action(Item::MnuRegister)->trigger();
            window = f.registerDialog();
        } else {
            window = f.shortcut(qPrintable(shortcut));
        }
        QVERIFY(window && window != &f.window);
        QCOMPARE(window->windowTitle(), title);
        for (const QString &control : controls) {
            const QString name = control.section(u'=', 0, 0);
            QCOMPARE(name + u'=' + captionOf(child<QWidget>(window, name)), control);
        }
        // No two controls share an access key.
        QStringList keys;
        for (const QWidget *w : window->findChildren<QWidget *>()) {
            const QKeySequence key = QKeySequence::mnemonic(
                qobject_cast<const QAbstractButton *>(w) ? static_cast<const QAbstractButton *>(w)->text()
                : qobject_cast<const QLabel *>(w)        ? static_cast<const QLabel *>(w)->text()
                : qobject_cast<const QGroupBox *>(w)     ? static_cast<const QGroupBox *>(w)->title()
                                                         : QString());
            if (!key.isEmpty()) {
                QVERIFY2(!keys.contains(key.toString()), qPrintable(key.toString()));
                keys << key.toString();
            }
        }
    }

    void listsAsLoaded()
    {
        Fixture f;
        f.shortcut("Ctrl+S");
        const FrmEditS *scp = f.editor<FrmEditS>();
        const QStringList colours = {"Red",    "Green",  "Amber",     "Dim Red",   "Dim Green", "Brown",
                                     "Orange", "Yellow", "Rainbow 1", "Rainbow 2", "Color Mix", "Autocolor"};
        QCOMPARE(itemsOf(child<QListWidget>(scp, "LstColor")), colours);
        QVERIFY(child<QListWidget>(scp, "LstColor")->selectedItems().isEmpty());
        QCOMPARE(child<QSlider>(scp, "SldFont")->minimum(), 1);
        QCOMPARE(child<QSlider>(scp, "SldFont")->maximum(), 16);
        QCOMPARE(child<QSlider>(scp, "SldFont")->value(), 1);

        f.shortcut("Ctrl+A");
        const FrmEditA *adp = f.editor<FrmEditA>();
        QCOMPARE(itemsOf(child<QListWidget>(adp, "LstColor")), colours);
        QVERIFY(child<QListWidget>(adp, "LstColor")->selectedItems().isEmpty());
        QCOMPARE(child<QSlider>(adp, "SldFont")->minimum(), 0);
        QCOMPARE(child<QSlider>(adp, "SldFont")->maximum(), 15);
        const struct {
            const char *list;
            int count;
            const char *selected;
        } lists[] = {{"LstQuickForeColor", 13, "Red"}, {"LstQuickBackColor", 13, "Black"},
                     {"LstQuickFont", 16, "Seven SS"}, {"LstQuickModeP", 5, "Fill"},
                     {"LstQuickModeT", 16, "Hold"},    {"LstNumReg", 31, "02"}};
        for (const auto &l : lists) {
            const auto *list = child<QListWidget>(adp, QString::fromLatin1(l.list));
            QCOMPARE(list->count(), l.count);
            QCOMPARE(list->selectedItems().size(), 1);
            QCOMPARE(list->selectedItems().first()->text(), QString::fromLatin1(l.selected));
        }
        QCOMPARE(child<QListWidget>(adp, "LstQuickModeT")->item(15)->text(), QStringLiteral("Unveil Up/Out"));
        QCOMPARE(child<QListWidget>(adp, "LstQuickModeP")->item(4)->text(), QStringLiteral("In/Out Mode"));
        QCOMPARE(child<QListWidget>(adp, "LstQuickFont")->item(15)->text(), QStringLiteral("User 15"));
        QList<bool> checks;
        for (const char *box : {"ChkMode", "ChkFont", "ChkFore", "ChkBack", "ChkFlash"})
            checks << child<QCheckBox>(adp, QString::fromLatin1(box))->isChecked();
        QCOMPARE(checks, (QList<bool>{true, true, true, false, false}));
    }

    void tabOrderFollowsReadingOrder_data()
    {
        QTest::addColumn<QString>("shortcut");
        QTest::newRow("SCP") << "Ctrl+S";
        QTest::newRow("ADP") << "Ctrl+A";
        QTest::newRow("registers") << "Registers";
    }
    void tabOrderFollowsReadingOrder()
    {
        QFETCH(QString, shortcut);
        Fixture f;
        f.ws.SetOperatingMode(OperatingMode::ControllerLoad);
        QWidget *window = nullptr;
        if (shortcut == QLatin1String("Registers")) {
            f.window.action(Item::MnuRegister)->trigger();
            window = f.registerDialog();
        } else {
            window = f.shortcut(qPrintable(shortcut));
        }
        QVERIFY(QTest::qWaitForWindowExposed(window));
        // The ADP editor reads as two columns: the code buttons, then the
        // quick start right of them.
        int split = INT_MAX;
        for (const QFrame *frame : window->findChildren<QFrame *>(QString(), Qt::FindDirectChildrenOnly))
            if (frame->frameShape() == QFrame::VLine)
                split = frame->x();
        const QWidgetList chain = tabChain(window);
        QVERIFY(chain.size() > 5);
        const auto place = [window](const QWidget *w) { return QRect(w->mapTo(window, QPoint()), w->size()); };
        for (qsizetype i = 1; i < chain.size(); ++i) {
            const QRect a = place(chain[i - 1]);
            const QRect b = place(chain[i]);
            const bool nextColumn = a.left() < split && b.left() >= split;
            const bool below = b.top() >= a.bottom();
            const bool rightInRow = b.top() < a.bottom() && a.top() < b.bottom() && b.left() > a.left();
            QVERIFY2(nextColumn || below || rightInRow,
                     qPrintable(chain[i - 1]->objectName() + QStringLiteral(" then ") + chain[i]->objectName()));
        }
    }

    void buttonsInsertTheirCodes_data()
    {
        QTest::addColumn<QString>("shortcut");
        QTest::addColumn<int>("colour");
        QTest::addColumn<int>("font");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<QString>("entry");
        QTest::newRow("SCP, Green, font 3, code 7") << "Ctrl+S" << 1 << 3 << "7"
                                                    << QStringList{"CmdSOT",
                                                                   "CmdMode",
                                                                   "CmdFlash",
                                                                   "CmdColor",
                                                                   "CmdBackColor",
                                                                   "CmdFont",
                                                                   "CmdLJustification",
                                                                   "CmdMJustification",
                                                                   "CmdRJustification",
                                                                   "CmdComputerTime",
                                                                   "CmdCode",
                                                                   "CmdEOT"}
                                                    << "<0x02><0x1B>2A2P2G3F1J2J3J<T><0x07><0x04>";
        QTest::newRow("ADP, Rainbow 2, font 12, code 1B")
            << "Ctrl+A" << 9 << 12 << "1B"
            << QStringList{"CmdSOT",
                           "CmdStartText",
                           "CmdETX",
                           "CmdEOT",
                           "CmdMode",
                           "CmdFlash",
                           "CmdColor",
                           "CmdBackColor",
                           "CmdFont",
                           "CmdLJustification",
                           "CmdMJustification",
                           "CmdRJustification",
                           "CmdSignDate",
                           "CmdSignTime",
                           "CmdComputerTime",
                           "CmdString",
                           "CmdCode"}
            << "<0x01><0x02><0x03><0x04><0x1B><0x07><0x1C>A<0x1D>BA<0x1A><<0x0A>0<0x0A>1<0x0A>2<0x0B><0x13><T>"
               "<0x10><0x1B>";
    }
    void buttonsInsertTheirCodes()
    {
        QFETCH(QString, shortcut);
        QFETCH(int, colour);
        QFETCH(int, font);
        QFETCH(QString, code);
        QFETCH(QStringList, buttons);
        QFETCH(QString, entry);
        Fixture f;
        QWidget *editor = f.shortcut(qPrintable(shortcut));
        choose(editor, "LstColor", colour);
        child<QSlider>(editor, "SldFont")->setValue(font);
        auto *txtCode = child<QLineEdit>(editor, "TxtCode");
        txtCode->selectAll();
        QTest::keyClicks(txtCode, code);
        for (const QString &button : buttons)
            click(editor, button);
        QCOMPARE(f.entry()->text(), entry);
        QCOMPARE(f.ws.box(Box::Entry), entry);
    }

    void insertReplacesSelectionOrAtCaret_data()
    {
        QTest::addColumn<QString>("shortcut");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("entry");
        QTest::newRow("SCP at the caret") << "Ctrl+S" << 2 << 0 << "HE<0x02><0x04>LLO";
        QTest::newRow("SCP over a selection") << "Ctrl+S" << 1 << 3 << "H<0x02><0x04>O";
        QTest::newRow("ADP at the caret") << "Ctrl+A" << 5 << 0 << "HELLO<0x01><0x04>";
        QTest::newRow("ADP over a selection") << "Ctrl+A" << 0 << 5 << "<0x01><0x04>";
    }
    void insertReplacesSelectionOrAtCaret()
    {
        QFETCH(QString, shortcut);
        QFETCH(int, start);
        QFETCH(int, length);
        QFETCH(QString, entry);
        Fixture f;
        f.entry()->setFocus();
        QTest::keyClicks(f.entry(), "HELLO");
        f.entry()->setSelection(start, length);
        if (length == 0)
            f.entry()->setCursorPosition(start);
        QWidget *editor = f.shortcut(qPrintable(shortcut));
        QVERIFY(editor != &f.window);
        // Two codes in a row: the second lands behind the first.
        for (const char *button : {"CmdSOT", "CmdEOT"}) {
            auto *b = child<QPushButton>(editor, button);
            QTest::mouseClick(b, Qt::LeftButton);
            QCOMPARE(QApplication::activeWindow(), editor);
            QCOMPARE(QApplication::focusWidget(), b);
        }
        QCOMPARE(f.entry()->text(), entry);
        QCOMPARE(f.ws.box(Box::Entry), entry);
        QCOMPARE(f.entry()->cursorPosition(), start + 12);
        QVERIFY(!f.entry()->hasSelectedText());
    }

    void protocolMenuOpensAndHides_data()
    {
        QTest::addColumn<QStringList>("shortcuts");
        QTest::addColumn<bool>("scpShown");
        QTest::addColumn<bool>("adpShown");
        QTest::newRow("SCP") << QStringList{"Ctrl+S"} << true << false;
        QTest::newRow("ADP") << QStringList{"Ctrl+A"} << false << true;
        QTest::newRow("ADP beside an open SCP") << QStringList{"Ctrl+S", "Ctrl+A"} << true << true;
        QTest::newRow("SCP hides ADP") << QStringList{"Ctrl+A", "Ctrl+S"} << true << false;
        QTest::newRow("ADP back after SCP") << QStringList{"Ctrl+A", "Ctrl+S", "Ctrl+A"} << true << true;
        QTest::newRow("SCP twice") << QStringList{"Ctrl+S", "Ctrl+S"} << true << false;
    }
    void protocolMenuOpensAndHides()
    {
        QFETCH(QStringList, shortcuts);
        QFETCH(bool, scpShown);
        QFETCH(bool, adpShown);
        Fixture f;
        const int below = qRound(4000 / f.window.twipsPerPixel());
        for (const QString &keys : shortcuts) {
            f.window.move(f.window.pos() + QPoint(7, 11));
            f.shortcut(qPrintable(keys));
            QWidget *opened = keys == QLatin1String("Ctrl+S") ? static_cast<QWidget *>(f.editor<FrmEditS>())
                                                              : static_cast<QWidget *>(f.editor<FrmEditA>());
            QVERIFY(opened && opened->isVisible());
            QTRY_COMPARE(QApplication::focusWidget(), child<QPushButton>(opened, "CmdCode"));
            QCOMPARE(opened->parentWidget(), &f.window);
            QCOMPARE(opened->frameGeometry().topLeft(), f.window.frameGeometry().topLeft() + QPoint(0, below));
        }
        const FrmEditS *scp = f.editor<FrmEditS>();
        const FrmEditA *adp = f.editor<FrmEditA>();
        QCOMPARE(scp && scp->isVisible(), scpShown);
        QCOMPARE(adp && adp->isVisible(), adpShown);
    }

    void adpEditorHiddenKeepsClosedLoadsAfresh()
    {
        Fixture f;
        f.shortcut("Ctrl+A");
        auto *quick = child<QPlainTextEdit>(f.editor<FrmEditA>(), "TxtQuickEdit");
        quick->setPlainText("kept");
        f.shortcut("Ctrl+S");
        f.shortcut("Ctrl+A");
        QCOMPARE(child<QPlainTextEdit>(f.editor<FrmEditA>(), "TxtQuickEdit")->toPlainText(), QStringLiteral("kept"));
        // Opened again at once, before the closed one is discarded.
        f.editor<FrmEditA>()->close();
        f.window.action(Item::MnuADPProtocol)->trigger();
        const FrmEditA *fresh = f.editor<FrmEditA>();
        QVERIFY(fresh && fresh->isVisible());
        QCOMPARE(child<QPlainTextEdit>(fresh, "TxtQuickEdit")->toPlainText(), QStringLiteral("Message to Display"));
    }

    void quickStartAsLoaded_data()
    {
        QTest::addColumn<OperatingMode>("mode");
        QTest::addColumn<QString>("message");
        const QString body = QStringLiteral("<0x1B>0b<0x1A>1<0x1C>1<0x07>0Message to Display<0x04>");
        QTest::newRow("Test") << OperatingMode::Test << "<0x01>Z00<0x02>AA" + body;
        QTest::newRow("SignLoad") << OperatingMode::SignLoad << body;
        QTest::newRow("ControllerLoad") << OperatingMode::ControllerLoad << "<0x01>Z00<0x02>AA" + body;
    }
    void quickStartAsLoaded()
    {
        QFETCH(OperatingMode, mode);
        QFETCH(QString, message);
        Fixture f;
        f.ws.SetOperatingMode(mode);
        f.shortcut("Ctrl+A");
        const FrmEditA *adp = f.editor<FrmEditA>();
        const auto *quick = child<QPlainTextEdit>(adp, "TxtQuickEdit");
        QCOMPARE(quick->palette().color(QPalette::Text), QColor(255, 0, 0));
        QCOMPARE(quick->palette().color(QPalette::Base), QColor(0, 0, 0));
        QCOMPARE(quick->font().pointSize(), 9);

        f.entry()->setText("replaced");
        click(adp, "CmdQuickAdd");
        QCOMPARE(f.entry()->text(), message);
        QCOMPARE(f.ws.table().count(), 0);

        // "Add" stores it at the number box's position, as "Add Message" does.
        f.ws.setBox(Box::MessageNumber, "000");
        click(adp, "CmdAddMessage");
        QCOMPARE(f.ws.table().count(), 1);
        QCOMPARE(QString::fromLatin1(f.ws.table().entry(0).Text), message);
        QCOMPARE(f.ws.box(Box::MessageNumber), QStringLiteral("001"));
    }

    void quickStartChoices()
    {
        Fixture f;
        f.shortcut("Ctrl+A");
        FrmEditA *adp = f.editor<FrmEditA>();
        choose(adp, "LstQuickForeColor", 9);
        choose(adp, "LstQuickBackColor", 12);
        choose(adp, "LstQuickFont", 12);
        choose(adp, "LstQuickModeT", 4);
        choose(adp, "LstQuickModeP", 4);
        auto *quick = child<QPlainTextEdit>(adp, "TxtQuickEdit");
        QCOMPARE(quick->palette().color(QPalette::Text), QColor(0, 0, 0));
        QCOMPARE(quick->palette().color(QPalette::Base), QColor(255, 255, 255));
        QCOMPARE(quick->font().pointSize(), 20);
        click(adp, "ChkFlash");
        click(adp, "ChkBack");
        click(adp, "ChkFont");
        auto *address = child<QLineEdit>(adp, "TxtSignAddress");
        address->selectAll();
        QTest::keyClicks(address, "A1");
        quick->selectAll();
        QTest::keyClicks(quick, "AB");
        QTest::keyClick(quick, Qt::Key_Return);
        QTest::keyClicks(quick, "CD");
        click(adp, "CmdQuickAdd");
        QCOMPARE(f.entry()->text(),
                 QStringLiteral("<0x01>ZA1<0x02>AA<0x1B>Ie<0x1B>Oe<0x1C>9<0x1D>BC<0x07>1AB<0x0D>CD<0x04>"));

        // The label's click only changes what it says.
        for (const char *type : {"VY", "OB"}) {
            QTest::mouseClick(child<QLabel>(adp, "LblType"), Qt::LeftButton);
            QCOMPARE(child<QLabel>(adp, "LblType")->text(), QString::fromLatin1(type));
        }
    }

    void quickEditInsertsAtItsCaret_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("reg");
        QTest::addColumn<QString>("text");
        QTest::newRow("date") << "CmdQuickDate" << -1 << "M<0x0B>8age";
        QTest::newRow("time") << "CmdQuickTime" << -1 << "M<0x13>age";
        QTest::newRow("register 02 as loaded") << "CmdInsertRegister" << -1 << "M<0x10><0x0F>ES<0x21>Rage";
        QTest::newRow("register 05") << "CmdInsertRegister" << 4 << "M<0x10><0x0F>ES<0x21>Uage";
        QTest::newRow("register 16") << "CmdInsertRegister" << 15 << "M<0x10><0x0F>ES<0x21>`age";
    }
    void quickEditInsertsAtItsCaret()
    {
        QFETCH(QString, button);
        QFETCH(int, reg);
        QFETCH(QString, text);
        Fixture f;
        f.ws.SetOperatingMode(OperatingMode::ControllerLoad);
        f.shortcut("Ctrl+A");
        FrmEditA *adp = f.editor<FrmEditA>();
        if (reg >= 0)
            choose(adp, "LstNumReg", reg);
        auto *quick = child<QPlainTextEdit>(adp, "TxtQuickEdit");
        quick->setPlainText("Message");
        QTextCursor cursor = quick->textCursor();
        cursor.setPosition(1);
        cursor.setPosition(4, QTextCursor::KeepAnchor);
        quick->setTextCursor(cursor);
        click(adp, button);
        QCOMPARE(quick->toPlainText(), text);
        QCOMPARE(quick->textCursor().position(), text.size() - 3);
        QCOMPARE(f.entry()->text(), QString());
    }

    void registerDialogOkAndCancel_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("close");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<qint16>("width");
        QTest::newRow("3, OK") << "3"
                               << "CmdOK"
                               << "03" << qint16(3);
        QTest::newRow("3, Cancel") << "3"
                                   << "CmdCancel"
                                   << "03" << qint16(1);
        QTest::newRow("3, close box") << "3"
                                      << ""
                                      << "03" << qint16(1);
        QTest::newRow("6 is ignored") << "6"
                                      << "CmdOK"
                                      << "01" << qint16(1);
        QTest::newRow("-1 is ignored") << "-1"
                                       << "CmdOK"
                                       << "01" << qint16(1);
        QTest::newRow("abc is 0") << "abc"
                                  << "CmdOK"
                                  << "00" << qint16(0);
    }
    void registerDialogOkAndCancel()
    {
        QFETCH(QString, answer);
        QFETCH(QString, close);
        QFETCH(QString, shown);
        QFETCH(qint16, width);
        Fixture f;
        f.ws.registers().setEntry(7, {1, " "});
        f.ws.registers().setEntry(12, {4, "0"});
        f.ws.SetOperatingMode(OperatingMode::ControllerLoad);
        QVERIFY(f.window.action(Item::MnuRegister)->isVisible());
        f.window.action(Item::MnuRegister)->trigger();
        FrmRegister *dialog = f.registerDialog();
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(!dialog->parentWidget());
        auto *scroll = child<QScrollBar>(dialog, "VScroll1");
        QCOMPARE((QList<int>{scroll->minimum(), scroll->maximum(), scroll->value()}), (QList<int>{1, 31, 1}));
        scroll->setValue(12);
        QCOMPARE(child<QLabel>(dialog, "LblRegister")->text(), QStringLiteral("12"));
        QCOMPARE(captionOf(child<QPushButton>(dialog, "LblWidth")), QStringLiteral("04"));
        QVERIFY(child<QRadioButton>(dialog, "Opt0")->isChecked());
        scroll->setValue(7);
        QVERIFY(child<QRadioButton>(dialog, "OptSpace")->isChecked());
        f.prompter.type(answer);
        click(dialog, "LblWidth");
        QCOMPARE(f.prompter.shown.last().title, QStringLiteral("Register Size"));
        QCOMPARE(captionOf(child<QPushButton>(dialog, "LblWidth")), shown);
        if (close.isEmpty())
            dialog->close();
        else
            click(dialog, close);
        QCOMPARE(f.ws.registers().entry(7).Width, width);
        QCOMPARE(f.ws.registers().entry(12), (RegisterEntry{4, "0"}));

        // Opened again at once, it starts afresh from the register table.
        f.window.action(Item::MnuRegister)->trigger();
        dialog = f.registerDialog();
        QVERIFY(dialog && dialog->isVisible());
        scroll = child<QScrollBar>(dialog, "VScroll1");
        QCOMPARE(scroll->value(), 1);
        scroll->setValue(7);
        QCOMPARE(captionOf(child<QPushButton>(dialog, "LblWidth")), QStringLiteral("0%1").arg(width));
    }

    void registerFillKeptWhenScrolling()
    {
        Fixture f;
        f.window.action(Item::MnuRegister)->trigger();
        FrmRegister *dialog = f.registerDialog();
        auto *scroll = child<QScrollBar>(dialog, "VScroll1");
        scroll->setFocus();
        QTest::keyClick(scroll, Qt::Key_Down);
        QTest::keyClick(scroll, Qt::Key_Down);
        QCOMPARE(child<QLabel>(dialog, "LblRegister")->text(), QStringLiteral("03"));
        click(dialog, "Opt0");
        QTest::keyClick(scroll, Qt::Key_Down);
        QVERIFY(child<QRadioButton>(dialog, "OptSpace")->isChecked());
        QTest::keyClick(scroll, Qt::Key_Up);
        QVERIFY(child<QRadioButton>(dialog, "Opt0")->isChecked());
        click(dialog, "CmdOK");
        QCOMPARE(f.ws.registers().entry(3).Fill, QByteArray("0"));
        QCOMPARE(f.ws.registers().entry(4).Fill, QByteArray(" "));
    }

    void registerControlsFollowModeSwitches_data()
    {
        QTest::addColumn<OperatingMode>("openIn");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<bool>("shown");
        using M = OperatingMode;
        QTest::newRow("opened in Test") << M::Test << QStringList{} << false;
        QTest::newRow("opened in Sign Load") << M::SignLoad << QStringList{} << true;
        QTest::newRow("opened in Controller Load") << M::ControllerLoad << QStringList{} << true;
        QTest::newRow("menu to Controller Load") << M::Test << QStringList{"menu 2"} << true;
        QTest::newRow("button to Controller Load") << M::Test << QStringList{"button 2"} << true;
        QTest::newRow("menu back to Test: still shown") << M::Test << QStringList{"menu 2", "menu 0"} << true;
        QTest::newRow("button back to Test: hidden") << M::Test << QStringList{"menu 2", "button 0"} << false;
        QTest::newRow("menu to Sign Load: still shown") << M::ControllerLoad << QStringList{"menu 1"} << true;
        QTest::newRow("button to Sign Load: hidden") << M::SignLoad << QStringList{"button 1"} << false;
        QTest::newRow("menu to Sign Load: still hidden") << M::Test << QStringList{"menu 1"} << false;
        QTest::newRow("button to Test while hidden: kept")
            << M::ControllerLoad << QStringList{"Ctrl+S", "button 0", "Ctrl+A"} << true;
        QTest::newRow("closed, opened again in Test")
            << M::ControllerLoad << QStringList{"close", "menu 0", "Ctrl+A"} << false;
    }
    void registerControlsFollowModeSwitches()
    {
        QFETCH(OperatingMode, openIn);
        QFETCH(QStringList, steps);
        QFETCH(bool, shown);
        Fixture f;
        f.ws.SetOperatingMode(openIn);
        f.shortcut("Ctrl+A");
        for (const QString &step : steps) {
            if (step.startsWith(QLatin1String("Ctrl")))
                f.shortcut(qPrintable(step));
            else if (step == QLatin1String("close"))
                f.editor<FrmEditA>()->close();
            else
                f.switchMode(step.section(u' ', 0, 0), OperatingMode(step.section(u' ', 1).toInt()));
        }
        const FrmEditA *adp = f.editor<FrmEditA>();
        QVERIFY(adp && adp->isVisible());
        QCOMPARE(child<QListWidget>(adp, "LstNumReg")->isVisible(), shown);
        QCOMPARE(child<QPushButton>(adp, "CmdInsertRegister")->isVisible(), shown);
    }
};

QTEST_MAIN(GuiEditorsTest)
#include "tst_gui_editors.moc"
