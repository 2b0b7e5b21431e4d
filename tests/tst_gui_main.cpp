// The main window under the offscreen platform: menus and toolbar, the
// layout, the grid's mouse and key handling, the link controls and status
// bars, the mode switch and the sign-load dialogs, the run's highlight, the
// progress window and the close request.
#include "app/helpfile.h"
#include "base/wait.h"
#include "founddevices.h"
#include "gui/frmprogress.h"
#include "gui/widgetprompter.h"
#include "peers.h"
#include "run/progress.h"
#include "windowfixture.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTcpServer>
#include <QToolBar>
#include <QTreeWidget>

using namespace telvaro;
using test::child;
using Box = Workspace::Box;

namespace {

struct Fixture : test::WindowFixture {
    using WindowFixture::WindowFixture;
    void useUdp(const test::UdpPeer &device)
    {
        ws.linkSettings().set({-1, "127.0.0.1", QString::number(device.port()), "9600", {}});
    }
    void click(int position, int column, Qt::KeyboardModifiers keys = {})
    {
        QTest::mouseClick(window.grid()->viewport(), Qt::LeftButton, keys, cellCenter(position, column));
    }
    void key(Qt::Key key, Qt::KeyboardModifiers keys = {})
    {
        window.grid()->setFocus();
        QTest::keyClick(window.grid(), key, keys);
    }
    // Runs fill on the modal dialog once it shows.
    void whenShown(const std::function<void(QDialog &)> &fill)
    {
        QTimer::singleShot(0, &window, [fill] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            fill(*dialog);
        });
    }
    // The message number box and the header label.
    QString named() const { return boxes().section(u'|', 0, 0) + u' ' + ws.box(Box::HeaderLabel); }
    QSet<QPoint> selected() const // (column, row)
    {
        QSet<QPoint> cells;
        for (const QModelIndex &i : window.grid()->selectionModel()->selectedIndexes())
            cells << QPoint(i.column(), i.row());
        return cells;
    }
};

const QString HeaderOne = "001 <0x01>Z00A<0x0F>DT<0x20><0x21>";

// The Debian packages that own these files, by file.
QHash<QString, QString> Owners(const QStringList &files)
{
    QProcess dpkg;
    dpkg.start("dpkg-query", QStringList{"-S"} + files);
    if (!dpkg.waitForFinished(10000))
        qWarning("dpkg-query gave no answer within 10 s");
    QHash<QString, QString> owners;
    for (const QString &line : QString::fromUtf8(dpkg.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts))
        owners.insert(line.section(": ", 1), line.section(": ", 0, 0).section(u':', 0, 0));
    return owners;
}

// The Qt plugins this process has loaded.
QStringList LoadedPlugins()
{
    static const QRegularExpression plugin("/\\S*/plugins/\\S*\\.so$", QRegularExpression::MultilineOption);
    QFile maps("/proc/self/maps");
    QSet<QString> plugins;
    if (maps.open(QIODevice::ReadOnly | QIODevice::Text))
        for (const QRegularExpressionMatch &match : plugin.globalMatch(QString::fromUtf8(maps.readAll())))
            plugins << match.captured();
    return plugins.values();
}

} // namespace

Q_DECLARE_METATYPE(telvaro::OperatingMode)

class GuiMainTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void menusAndPanelsAsLoaded()
    {
        Fixture f;
        QStringList bar;
        for (QAction *a : f.window.menuBar()->actions())
            if (a->isVisible())
                bar << a->text();
        QCOMPARE(bar, (QStringList{"&File", "Use Mode", "&Edit", "&Protocol", "&Communication", "&Action", "&Help"}));
        QStringList items;
        for (Item item :
             {Item::mnuFileNew, Item::MnuEditClearMessage, Item::MnuSCPProtocol, Item::mnuFileOpen, Item::MnuComSetIP})
            items << f.window.action(item)->text() + u' ' + f.window.action(item)->shortcut().toString();
        QCOMPARE(items, (QStringList{"&New Ctrl+N", "Clear &Message Ctrl+M", "&SCP Protocol Ctrl+S", "&Open... ",
                                     "Set &IP Address and Port "}));
        QVERIFY(!f.window.action(Item::MnuEditClearRange)->isEnabled());
        QCOMPARE(
            (QStringList{f.window.statusLabel(2)->text(), f.window.statusLabel(3)->text(),
                         f.window.infoLabel(6)->text(), f.window.infoLabel(7)->text(), f.window.infoLabel(1)->text()}),
            (QStringList{"No Traffic", "Off", " 0 / 128", "00.0%", "Connection Status"}));
        QVERIFY(!child<QWidget>(&f.window, "TxtMessages")->isVisible());
        QVERIFY(!child<QWidget>(&f.window, "ChkLoad")->isVisible());
        // The layout measures the window's inside below the menu bar, in
        // twips at the screen's resolution; the comment box keeps one line.
        const double tpp = f.window.twipsPerPixel();
        const auto px = [tpp](double twips) { return qRound(twips / tpp); };
        const int menu = f.window.menuBar()->height();
        const auto inside = [&f, menu](const QWidget *w) {
            return QRect(w->mapTo(&f.window, QPoint(0, -menu)), w->size());
        };
        const QWidget *frame = child<QWidget>(&f.window, "FraSelect");
        const QLineEdit *comment = f.window.boxWidget(Box::Comment);
        const QTableView *grid = f.window.grid();
        for (const QSize size : {QSize(800, 600), QSize(1100, 900)}) {
            f.window.resize(size);
            QApplication::processEvents();
            const double wide = size.width() * tpp - 1000, gridHeight = (size.height() - menu) * tpp - 5000;
            const double commentTop = 1300 + frame->height() * tpp + 50;
            const double gridTop = commentTop + comment->height() * tpp + 50;
            QCOMPARE(inside(f.window.boxWidget(Box::Entry)), QRect(px(500), px(500), px(wide), px(750)));
            QCOMPARE(inside(frame).topLeft(), QPoint(px(500), px(1300)));
            QCOMPARE(inside(comment), QRect(px(500), px(commentTop), px(wide), comment->sizeHint().height()));
            QCOMPARE(inside(grid), QRect(px(500), px(gridTop), px(wide), px(gridHeight)));
            QCOMPARE(inside(child<QWidget>(&f.window, "TxtRecData")),
                     QRect(px(500), px(gridTop + gridHeight + 100), px(wide), px(750)));
            const int shared = px((wide - 1930) / 2);
            QCOMPARE((QList<int>{grid->verticalHeader()->width(), grid->columnWidth(1), grid->columnWidth(2),
                                 grid->columnWidth(3)}),
                     (QList<int>{px(550), px(1000), shared, shared}));
        }
        // Choosing the checked "Data Entry" again keeps it checked.
        f.window.action(Item::MnuModeData)->trigger();
        QVERIFY(f.window.action(Item::MnuModeData)->isChecked());
    }

    // The File menu's commands and the toolbar's keys for them; the mode
    // button itself does nothing.
    void menuAndToolbarCommands_data() { test::rows<QString>("file", {{"menu", "mnuFile"}, {"toolbar", "tb"}}); }
    void menuAndToolbarCommands()
    {
        const auto [file] = test::fetch<QString>({"file"});
        Fixture f;
        const auto trigger = [&f](const QString &name) { child<QAction>(&f.window, name)->trigger(); };
        const QAbstractItemModel *grid = f.window.grid()->model();
        f.addEntries(3);
        f.prompter.choosePath(f.home.path() + "/w.TVD");
        trigger(file + "Save");
        // Opening a shorter table under the selection is no selection change.
        f.addEntries(2);
        f.click(4, 2);
        f.prompter.choosePath(f.home.path() + "/w.TVD");
        trigger(file + "Open");
        f.window.grid()->clearFocus(); // the dialog hands the focus back when it closes
        f.window.grid()->setFocus(Qt::ActiveWindowFocusReason);
        QCOMPARE(grid->rowCount(), 3);
        QCOMPARE(grid->index(2, 1).data().toString() + grid->index(2, 2).data().toString(), QStringLiteral("000102M2"));
        QCOMPARE(f.named(), QStringLiteral("004 <0x01>Z00A<0x0F>DT<0x20><0x24>"));
        trigger(file + "New");
        QCOMPARE(grid->rowCount(), 1);
        QCOMPARE(grid->index(0, 2).data().toString(), QString());

        child<QToolButton>(&f.window, "tbSoftMode")->click();
        QCOMPARE(f.ws.mode().mode(), OperatingMode::Test);
        QCOMPARE(f.prompter.shown.size(), 2);
    }

    // Every toolbar button draws its picture, and the plugins Qt loaded to
    // draw them come from packages the Debian package depends on: those it
    // names itself, or those of the libraries the program links, which its
    // library dependencies declare.
    void toolbarPicturesFromDeclaredPackages()
    {
        Fixture f;
        QStringList blank;
        int buttons = 0;
        for (const QToolButton *button : child<QToolBar>(&f.window, "tbToolBar")->findChildren<QToolButton *>()) {
            if (!button->isVisible())
                continue;
            ++buttons;
            const QImage picture = button->icon().pixmap(button->iconSize()).toImage();
            QImage clear(picture.size(), picture.format());
            clear.fill(Qt::transparent);
            if (picture == clear)
                blank << button->text();
        }
        QCOMPARE(buttons, 7);
        QCOMPARE(blank, QStringList());

        if (QStandardPaths::findExecutable("dpkg-query").isEmpty())
            QSKIP("no dpkg-query: the packages of the plugins are not known here");
        const QStringList plugins = LoadedPlugins();
        QVERIFY(!plugins.isEmpty());
        const QHash<QString, QString> owners = Owners(plugins);
        QStringList declared = QString(TELVARO_PLUGIN_PACKAGES).split(u' ', Qt::SkipEmptyParts);
        declared += Owners(QString(TELVARO_LINKED_LIBRARIES).split(u' ')).values();
        for (const QString &plugin : plugins)
            QVERIFY2(
                declared.contains(owners.value(plugin)),
                qPrintable(plugin + " comes from " + owners.value(plugin, "no package") + ", which is not declared"));
    }

    // Clicks and keys in the grid fill the entry panel; where a selection
    // starts names the message: the grid's current row, the number box and
    // the header.
    void gridClicksAndSelectionsNameTheMessage()
    {
        Fixture f;
        f.addEntries(6);
        QWidget *view = f.window.grid()->viewport();
        const auto startsAt = [&f] {
            return QString::number(f.window.grid()->currentIndex().row()) + u' ' + f.named();
        };
        const auto rows = [&f] {
            QSet<int> selected;
            for (const QPoint cell : f.selected())
                selected << cell.y();
            return selected;
        };
        f.click(1, 2);
        // The interval box normalises what the grid writes ("000101"); a
        // click does not load the text.
        QCOMPARE(f.boxes(), QStringLiteral("001|101||"));
        f.click(2, 1);
        QTest::mouseDClick(view, Qt::LeftButton, {}, f.cellCenter(2, 1));
        QCOMPARE(f.boxes(), QStringLiteral("002|102|M2|c2"));
        QCOMPARE(f.selected(), (QSet<QPoint>{{1, 2}, {2, 2}, {3, 2}})); // the row but its fixed number
        f.key(Qt::Key_Up); // keyboard selection changes write the number box too
        QCOMPARE(f.named(), HeaderOne);
        f.key(Qt::Key_Left); // the numbers cannot be reached
        QCOMPARE(f.window.grid()->currentIndex().column(), int(MessageTable::ColInterval));

        // A drag down or up starts where it was pressed.
        test::drag(view, f.cellCenter(1, 1), f.cellCenter(3, 3));
        QCOMPARE(startsAt(), "1 " + HeaderOne);
        QCOMPARE(rows(), (QSet<int>{1, 2, 3}));
        test::drag(view, f.cellCenter(3, 3), f.cellCenter(1, 1));
        QCOMPARE(startsAt(), QStringLiteral("3 003 <0x01>Z00A<0x0F>DT<0x20><0x23>"));
        QCOMPARE(rows(), (QSet<int>{1, 2, 3}));
        // A right press on another row after a click.
        f.click(1, 2);
        QTest::mousePress(view, Qt::RightButton, {}, f.cellCenter(4, 2));
        QCOMPARE(startsAt(), "1 " + HeaderOne);
        QCOMPARE(rows(), QSet<int>{1});

        // A refresh is not a selection change: the number box keeps its text.
        f.ws.setBox(Box::MessageNumber, QStringLiteral("007"));
        f.ws.table().RefreshGrid();
        QCOMPARE(f.boxes().section(u'|', 0, 0), QStringLiteral("007"));

        // The numbers are the grid's fixed row header, which stays at its left
        // edge as it scrolls.
        QCOMPARE(f.window.grid()->model()->headerData(2, Qt::Vertical).toString(), QStringLiteral("002"));

        // A click on the empty grid's only row names message 0.
        f.window.action(Item::mnuFileNew)->trigger();
        f.ws.setBox(Box::Interval, QStringLiteral("042"));
        f.click(0, MessageTable::ColInterval);
        QCOMPARE(f.boxes().section(u'|', 0, 1), QStringLiteral("000|000"));
    }

    // The table at its full 32,766 messages: either end of the grid shows
    // and names its message, deleting the first moves every other up, and
    // Add works again once there is room.
    void fullTableInTheWindow()
    {
        Fixture f;
        f.addEntries(MessageTable::MaxEntries);
        QTableView *grid = f.window.grid();
        const auto shown = [&f, grid](int y) {
            return f.boxes().section(u'|', 0, 0) + u' ' +
                   grid->model()->index(grid->rowAt(y), MessageTable::ColText).data().toString();
        };
        const int bottom = grid->viewport()->height() - 2;
        f.key(Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(shown(bottom), QStringLiteral("32765 M32765"));
        f.key(Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(shown(1), QStringLiteral("000 M0"));
        f.key(Qt::Key_Delete);
        QCOMPARE(f.ws.table().count(), MessageTable::MaxEntries - 1);
        QCOMPARE(f.ws.table().entry(0).Text + f.ws.table().entries().last().Text, QByteArray("M1M32765"));
        f.ws.setBox(Box::MessageNumber, QStringLiteral("32765"));
        f.ws.setBox(Box::Entry, QStringLiteral("LAST"));
        QTest::mouseClick(child<QPushButton>(&f.window, "CmdAddMessage"), Qt::LeftButton);
        QVERIFY(f.prompter.shown.isEmpty());
        f.key(Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(shown(bottom), QStringLiteral("32765 LAST"));
    }

    // Asked first; then the other windows close, newest first, and the
    // settings are written.
    void closeAsksThenClosesTheOtherWindowsNewestFirst()
    {
        QStringList closed;
        struct Other : QWidget {
            QStringList *log;
            Other(const char *name, QStringList *log) : log(log) { setObjectName(QString::fromLatin1(name)); }
            void closeEvent(QCloseEvent *event) override
            {
                *log << objectName();
                QWidget::closeEvent(event);
            }
        } early("early", &closed), a("A", &closed), b("B", &closed);
        early.show(); // open before the main window
        Fixture f;
        b.show();
        a.show();
        b.close(); // closed and opened again: now the newest
        b.show();
        closed.clear();

        QVERIFY(!f.window.close()); // answered No
        QVERIFY(f.window.isVisible() && closed.isEmpty() && !QFile::exists(f.home.settingsFile()));

        // "E&xit" asks the same question as the close box.
        f.prompter.answer(Prompter::Answer::Yes);
        f.window.action(Item::mnuFileExit)->trigger();
        QCOMPARE(f.prompter.messageTexts(), QStringList(2, "Are You Sure You want to Shutdown Telvaro?"));
        QVERIFY(!f.window.isVisible());
        QCOMPARE(closed, (QStringList{"B", "A", "early"}));
        QVERIFY(QFile::exists(f.home.settingsFile()));
    }

    // "Quick Send" through its button: what could start another transfer is
    // off while it sends, and panel 2 shows the traffic; the received box
    // shows a line per line break. The focus starts in the message box; after
    // a quick send, delivered or failed, it is on "Quick Send" again, so a
    // second Space sends again rather than clearing the message.
    void quickSendFocusAndTheReceivedBox()
    {
        SetPauseTimeScale(20);
        Fixture f;
        const auto press = [](auto key) { QTest::keyClick(QApplication::focusWidget(), key); };
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Hi<0x09>"));
        test::UdpPeer device;
        f.useUdp(device);
        auto *button = child<QPushButton>(&f.window, "CmdQuickSend");
        const auto state = [&f, button] {
            return QStringLiteral("%1 %2 %3 %4")
                .arg(f.window.statusLabel(2)->text())
                .arg(button->isEnabled())
                .arg(f.window.action(Item::MnuCommunication)->isEnabled())
                .arg(f.window.action(Item::MnuMode)->isEnabled());
        };
        QString during;
        device.onReceive = [&](test::UdpPeer &, const QByteArray &) { during = state(); };
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(during, QStringLiteral("Hi<0x09> 0 0 0"));
        QCOMPARE(state(), QStringLiteral("No Traffic 1 1 1"));

        auto *recData = child<QPlainTextEdit>(&f.window, "TxtRecData");
        f.ws.setBox(Box::RecData, QStringLiteral("one\r\ntwo\r\n"));
        QCOMPARE(recData->toPlainText(), QStringLiteral("one\ntwo\n"));
        f.ws.setBox(Box::RecData, QStringLiteral("three"));
        // It takes no typing, and Tab leaves it.
        recData->setFocus();
        QTest::keyClicks(recData, QStringLiteral("x"));
        QTest::keyClick(recData, Qt::Key_Tab);
        QCOMPARE(recData->toPlainText() + f.ws.box(Box::RecData), QStringLiteral("threethree"));
        QVERIFY(QApplication::focusWidget() != recData);

        button->setFocus(Qt::TabFocusReason);
        press(Qt::Key_Space);
        press(Qt::Key_Space);
        QCOMPARE(device.datagrams, (QList<QByteArray>{"Hi\t", "Hi\t", "Hi\t"}));
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        f.ws.linkSettings().set({0, "127.0.0.1", QString::number(closed.serverPort()), "9600", {}});
        closed.close();
        press(Qt::Key_Space);
        SetPauseTimeScale(1);
        QCOMPARE(f.prompter.messageTexts().size(), 1);
        QCOMPARE(QApplication::focusWidget(), button);
        QCOMPARE(f.boxes().section(u'|', 2), QStringLiteral("Hi<0x09>|"));
    }

    // With nothing to open the manual, Help tells where it is; an input
    // prompt is wide enough for its whole title in a bold title bar with
    // its icon and buttons; message boxes and "About" show all they hold.
    void helpAndPromptsSayAll()
    {
        Fixture f;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_H, Qt::AltModifier);
        QTRY_VERIFY(QApplication::activePopupWidget());
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_O);
        QTRY_COMPARE(f.prompter.messageTexts().size(), 1);
        const QString manual = QDir::toNativeSeparators(HelpFilePath(QCoreApplication::applicationDirPath()));
        QVERIFY2(f.prompter.messageTexts().front().endsWith("\r\n" + manual), qPrintable(f.prompter.messageTexts()[0]));

        WidgetPrompter prompter;
        prompter.setParentWidget(&f.window);
        int width = 0;
        QTimer::singleShot(0, &f.window, [&f, &width] {
            auto *dialog = child<QDialog>(&f.window, {});
            width = dialog->width();
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        QCOMPARE(prompter.input("Clear This Message:", "Clear Message", "1"), std::nullopt);
        QFont bold = f.window.font();
        bold.setBold(true);
        const QFontMetrics titleBar(bold);
        QVERIFY2(width >= titleBar.horizontalAdvance("Clear Message") + 8 * titleBar.height(),
                 qPrintable(QString::number(width)));

        // The message boxes show the whole text, the reason on the lines
        // after the first, and give back the button pressed.
        using B = Prompter::Buttons;
        using A = Prompter::Answer;
        const QString text = QStringLiteral("Error Going into Run\r\nThe device reset the connection.\r\n"
                                            "2 messages were not sent.");
        for (const auto &[buttons, pressed, answer] : {std::tuple{B::Ok, QMessageBox::Ok, A::Ok},
                                                       {B::YesNoCancel, QMessageBox::Yes, A::Yes},
                                                       {B::YesNo, QMessageBox::No, A::No},
                                                       {B::OkCancel, QMessageBox::Cancel, A::Cancel}}) {
            QString shown;
            f.whenShown([&shown, pressed = pressed](QDialog &dialog) {
                auto &box = static_cast<QMessageBox &>(dialog);
                shown = box.windowTitle() + u'|' + box.text();
                box.button(pressed)->click();
            });
            QCOMPARE(prompter.message(text, QStringLiteral("Telvaro"), buttons, Prompter::Icon::Critical), answer);
            QCOMPARE(shown, QStringLiteral("Telvaro|") + text);
        }

        // "About" shows the splash over the window for two seconds and
        // returns at once: nothing waits under it.
        QElapsedTimer clock;
        clock.start();
        f.window.action(Item::MnuAbout)->trigger();
        QVERIFY(clock.elapsed() < 1500);
        QPointer<QWidget> splash;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->inherits("telvaro::frmSplash") && w->isVisible())
                splash = w;
        QVERIFY(splash);
        QVERIFY(f.window.screen()->availableGeometry().contains(splash->frameGeometry()));
        QVERIFY(f.window.frameGeometry().intersects(splash->frameGeometry()));
        QTRY_VERIFY_WITH_TIMEOUT(!splash || !splash->isVisible(), 5000);
        QVERIFY(clock.elapsed() >= 2000);
    }

    // Every working control whole at the first-run size and at the
    // smallest: inside the window and its frame, clear of the bars, at least
    // as large as it asks to be; the grid shows its header and three rows.
    // The suite runs this once more with a larger system font.
    void everyControlWhole_data()
    {
        test::columns<QSize>({"resizedTo"});
        QTest::newRow("first run") << QSize();
        QTest::newRow("smallest") << QSize(1, 1);
    }
    void everyControlWhole()
    {
        const auto [resizedTo] = test::fetch<QSize>({"resizedTo"});
        Fixture f;
        if (resizedTo.isValid())
            f.window.resize(resizedTo);
        QApplication::processEvents();
        const auto inWindow = [&f](const QWidget *w) { return QRect(w->mapTo(&f.window, QPoint()), w->size()); };
        QList<QRect> bars;
        for (const char *bar : {"tbToolBar", "SBMain", "SbInfo"})
            bars << inWindow(child<QWidget>(&f.window, bar));
        bars << inWindow(f.window.menuBar());
        for (const char *name :
             {"TxtEntry", "FraSelect", "TxtMessageNumber", "TxtInterval", "CmdAddMessage", "CmdReplaceMessage",
              "CmdLoadMessage", "CmdIncrement", "CmdDecrement", "CmdSetRepeat", "ChkRepeat", "CmdQuickSend",
              "Cmd95ClearText", "Txt95DisplayText", "MSFGMessages", "TxtRecData"}) {
            const QWidget *w = child<QWidget>(&f.window, name);
            const QRect r = inWindow(w);
            QString where;
            QDebug(&where) << name << r << f.window.size();
            QVERIFY2(f.window.rect().contains(r) && w->parentWidget()->rect().contains(w->geometry()),
                     qPrintable(where));
            QVERIFY2(std::none_of(bars.cbegin(), bars.cend(), [&r](const QRect &bar) { return bar.intersects(r); }),
                     qPrintable(where));
            const bool boxOrButton = !qobject_cast<const QAbstractScrollArea *>(w);
            QVERIFY2(!boxOrButton ||
                         (w->width() >= w->minimumSizeHint().width() && w->height() >= w->minimumSizeHint().height()),
                     qPrintable(where));
        }
        const QTableView *grid = f.window.grid();
        QVERIFY(grid->viewport()->height() >= 3 * grid->verticalHeader()->defaultSectionSize());
        for (const QLabel *caption : child<QWidget>(&f.window, "SbInfo")->findChildren<QLabel *>())
            QVERIFY2(caption->width() >= caption->sizeHint().width(), qPrintable(caption->text()));
    }

    // Stored left, top, width and height in twips, placed within the
    // screen's work area, frame and all, and written back as placed.
    void storedGeometryIsPlacedOnTheScreen_data()
    {
        // stored: key, value, key, value, ...; a window too small to show
        // every control grows to the smallest that does.
        test::columns<QStringList, QRect>({"stored", "expected"});
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        const double tpp = 1440.0 / QGuiApplication::primaryScreen()->logicalDotsPerInchX();
        const auto px = [tpp](double twips) { return qRound(twips / tpp); };
        test::row("first run", QStringList{}, QRect(px(1000), px(1000), px(7500), px(6000)));
        test::row("inside the screen",
                  QStringList{"MainLeft", "150", "MainTop", "1500", "MainWidth", "11700", "MainHeight", "7500"},
                  QRect(px(150), px(1500), px(11700), px(7500)));
        test::row("width 5e5", QStringList{"MainLeft", "1500", "MainWidth", "5e5"},
                  QRect(area.left(), px(1000), area.width(), px(6000)));
        test::row("left 1e30", QStringList{"MainLeft", "1e30", "MainTop", "1500"},
                  QRect(area.right() + 1 - px(7500), px(1500), px(7500), px(6000)));
        test::row("left -1e30", QStringList{"MainLeft", "-1e30"}, QRect(area.left(), px(1000), px(7500), px(6000)));
    }
    void storedGeometryIsPlacedOnTheScreen()
    {
        const auto [stored, expected] = test::fetch<QStringList, QRect>({"stored", "expected"});
        Fixture f(stored);
        QApplication::processEvents();
        // Its frame, too, stays on the screen.
        const QRect area = f.window.screen()->availableGeometry();
        const QSize frame = f.window.frameGeometry().size() - f.window.size();
        QRect grown = expected;
        grown.setSize(expected.size().expandedTo(f.window.minimumSize()).boundedTo(area.size() - frame));
        grown.moveRight(std::min(grown.right(), area.right() - frame.width()));
        QCOMPARE(QRect(f.window.pos(), f.window.size()), grown);
        QVERIFY(f.prompter.shown.isEmpty());
        f.prompter.answer(Prompter::Answer::Yes);
        QVERIFY(f.window.close());
        const QSettings raw(f.home.settingsFile(), QSettings::IniFormat);
        const auto saved = [&raw, &f](const char *key) {
            return raw.value(QStringLiteral("Settings/") + key).toDouble() / f.window.twipsPerPixel();
        };
        QCOMPARE(QRectF(saved("MainLeft"), saved("MainTop"), saved("MainWidth"), saved("MainHeight")), QRectF(grown));
    }

    void modeSwitchFromEachPlace_data()
    {
        test::columns<bool, OperatingMode, QString, QList<Item>>({"fromMenu", "mode", "caption", "shown"});
        using M = OperatingMode;
        const std::tuple<M, const char *, QList<Item>> modes[] = {
            {M::SignLoad, "Sign Load", {Item::MnuLoadSign, Item::MnuDisplayLoaded}},
            {M::ControllerLoad,
             "Controller Load",
             {Item::MnuLoadController, Item::MnuUploadController, Item::MnuRegister}},
            {M::Test, "Test", {Item::MnuModeRun}}};
        for (const bool menu : {true, false})
            for (const auto &[mode, name, shown] : modes)
                QTest::addRow("%s, %s", menu ? "Use Mode" : "mode button", name)
                    << menu << mode << QStringLiteral("Telvaro - %1 Mode").arg(name) << shown;
    }
    void modeSwitchFromEachPlace()
    {
        const auto [fromMenu, mode, caption, shown] =
            test::fetch<bool, OperatingMode, QString, QList<Item>>({"fromMenu", "mode", "caption", "shown"});
        Fixture f;
        f.addEntries(1);
        test::UdpPeer udp;
        f.useUdp(udp);
        f.switchMode(fromMenu, mode);
        f.switchMode(fromMenu, mode);
        const QStringList warnings =
            mode == OperatingMode::SignLoad ? QStringList(2, SignLoadWarningText()) : QStringList{};
        QCOMPARE(f.prompter.messageTexts(), warnings);
        QCOMPARE(f.ws.mode().mode(), mode);
        QCOMPARE(f.window.windowTitle(), caption);
        QCOMPARE(child<QToolButton>(&f.window, "tbSoftMode")->text(), caption.section(u'-', 1).trimmed());
        for (Item item : {Item::MnuModeRun, Item::MnuLoadSign, Item::MnuDisplayLoaded, Item::MnuLoadController,
                          Item::MnuUploadController, Item::MnuRegister})
            QCOMPARE(f.window.action(item)->isVisible(), shown.contains(item));
        // Each entry of "&Action" answers to a key of its own.
        QStringList keys;
        for (const QAction *a : f.window.action(Item::MnuMode)->menu()->actions())
            if (a->isVisible())
                keys << QKeySequence::mnemonic(a->text()).toString();
        QCOMPARE(QSet<QString>(keys.cbegin(), keys.cend()).size(), keys.size());
        for (OperatingMode each : {OperatingMode::Test, OperatingMode::SignLoad, OperatingMode::ControllerLoad})
            QCOMPARE(f.window.action(UseModeItem(each))->isChecked(), each == mode);
        // The link and the table stay as they were.
        QCOMPARE(f.ws.link().socket().state(), 0);
        QCOMPARE(f.entries(), QStringList{"0 100 M0|M0|c0"});
        // A key that names no mode does nothing.
        f.ws.tbToolBar_ButtonMenuClick(QStringLiteral("Sign Load"));
        QCOMPARE(f.ws.mode().mode(), mode);
    }

    void loadedMessageDialogSendsThroughQuickSend()
    {
        SetPauseTimeScale(100);
        Fixture f;
        test::UdpPeer udp;
        f.useUdp(udp);
        f.ws.SetOperatingMode(OperatingMode::SignLoad);
        f.whenShown([&f](QDialog &dialog) {
            child<QLineEdit>(&dialog, "TxtMessageNumber")->setText("8101");
            child<QPushButton>(&dialog, "CmdCallMessage")->click();
            child<QLineEdit>(&dialog, "TxtMessageNumber")->setText("0");
            child<QLineEdit>(&dialog, "TxtAddress")->setText("01");
            // A second call within the first one's hold is refused, says so,
            // and does not stay in the entry box as if it had gone out.
            QTimer::singleShot(5, &dialog, [&dialog] {
                child<QLineEdit>(&dialog, "TxtMessageNumber")->setText("3");
                child<QPushButton>(&dialog, "CmdCallMessage")->click();
            });
            child<QPushButton>(&dialog, "CmdCallMessage")->click();
            QCOMPARE(f.ws.box(Workspace::Box::Entry), QStringLiteral("<0x01>401<0x02>E.SL<0x0F>DT!!<0x04>"));
            child<QRadioButton>(&dialog, QStringLiteral("OptOrbilux"))->setChecked(true);
            child<QPushButton>(&dialog, "CmdClearList")->click();
            QVERIFY(dialog.isVisible()); // it stays open for further commands
            child<QPushButton>(&dialog, "CmdClose")->click();
        });
        f.window.action(Item::MnuDisplayLoaded)->trigger();
        SetPauseTimeScale(1);
        QCOMPARE(udp.datagrams, (QList<QByteArray>{"\001401\2E.SL\17DT!!\4", "\1Z01\2E.SL\4"}));
        QCOMPARE(f.prompter.messageTexts(),
                 (QStringList{SignLoadWarningText(), "Invalid Message Number!",
                              "Another operation is using the link.\r\nWait for it to end, or choose Data Entry."}));
    }

    // The Communication menu. "Serial Devices": what is plugged in with
    // stable names, an adapter assigned to the current port (1 from TCP)
    // and removed again, the list refreshed after it is unplugged; not
    // opened while the menu is disabled.
    void communicationMenuAndPanel1()
    {
        test::FoundDevices found;
        test::PtyPeer adapter, other;
        QTemporaryDir dir;
        found.folder = dir.path() + QStringLiteral("/by-id");
        const QString stable = found.folder + QStringLiteral("/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
        QVERIFY(QDir().mkpath(found.folder) && QFile::link(adapter.devicePath(), stable));
        found.list = {{adapter.devicePath(), "FT232R USB UART", "FTDI", "A50285BI", 0x0403, 0x6001, {}},
                      {other.devicePath(), {}, {}, {}, {}, {}, {}}};
        Fixture f;
        f.ws.linkSettings().setPortNumber(0);
        const auto rows = [](const QTreeWidget *list) {
            QStringList out;
            for (int i = 0; i < list->topLevelItemCount(); ++i) {
                QStringList cells;
                for (int c = 0; c < list->columnCount(); ++c)
                    cells << list->topLevelItem(i)->text(c);
                out << cells.join(u'|');
            }
            return out;
        };
        bool shown = false;
        f.whenShown([&](QDialog &dialog) {
            shown = true;
            auto *devices = child<QTreeWidget>(&dialog, "LstDevices");
            auto *assigned = child<QTreeWidget>(&dialog, "LstAssigned");
            auto *assign = child<QPushButton>(&dialog, "CmdAssign");
            const QStringList listed = rows(devices);
            QCOMPARE(QSet<QString>(listed.cbegin(), listed.cend()),
                     QSet<QString>({stable + u'|' + adapter.devicePath() + "|FT232R USB UART|FTDI|A50285BI|0403:6001",
                                    other.devicePath() + u'|' + other.devicePath() + "||||"}));
            QVERIFY(!assign->isEnabled() && assign->text() == QStringLiteral("&Assign to Port 1"));
            devices->setCurrentItem(devices->findItems(stable, Qt::MatchExactly).value(0));
            QVERIFY(assign->isEnabled());
            assign->click();
            QCOMPARE(rows(assigned), QStringList{"1|" + stable});
            assigned->setCurrentItem(assigned->topLevelItem(0));
            child<QPushButton>(&dialog, "CmdRemove")->click();
            QCOMPARE(rows(assigned), QStringList());
            devices->setCurrentItem(devices->findItems(stable, Qt::MatchExactly).value(0));
            assign->click();
            found.list.clear();
            child<QPushButton>(&dialog, "CmdRefresh")->click();
            QVERIFY(rows(devices).isEmpty() && child<QLabel>(&dialog, "LblNone")->isVisibleTo(&dialog));
            QVERIFY(!assign->isEnabled());
            child<QPushButton>(&dialog, "CmdClose")->click();
        });
        QAction *entry = f.window.action(Item::MnuComSerialDevices);
        QCOMPARE(entry->text(), QStringLiteral("Serial &Devices..."));
        entry->trigger();
        QVERIFY(shown);
        f.ws.link().TmrCheck_Timer();
        QCOMPARE(f.window.statusLabel(1)->toolTip(),
                 QStringLiteral("Port 1 Closed (usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0)"));

        // The menu's other commands, and panel 1 kept up to date.
        for (const char *answer : {"2", "10.9.8.7", "4001", "19200"})
            f.prompter.type(answer);
        for (Item item : {Item::MnuComSetPort, Item::MnuComSetIP, Item::MnuComSetBaud})
            f.window.action(item)->trigger();
        const LinkSettings link = f.ws.linkSettings().value();
        QCOMPARE(QStringLiteral("%1|%2|%3|%4").arg(link.PortNumber).arg(link.IpAddress, link.IpPort, link.BaudText),
                 QStringLiteral("2|10.9.8.7|4001| 19200"));
        QTRY_COMPARE_WITH_TIMEOUT(f.window.statusLabel(1)->text(), QStringLiteral("Port 2 Closed"), 2000);
        // A text longer than its panel ends in an ellipsis; the tool tip
        // holds all of it.
        const QString longText = "Error! Restart of program is required for IP communication " + QString(300, u'x');
        f.ws.status().setText(1, longText);
        const QLabel *panel = f.window.statusLabel(1);
        QVERIFY2(panel->text().endsWith(QChar(0x2026)) &&
                     panel->fontMetrics().horizontalAdvance(panel->text()) <= panel->contentsRect().width(),
                 qPrintable(panel->text()));
        QCOMPARE(panel->toolTip(), longText);

        f.ws.menus().setEnabled(Item::MnuCommunication, false);
        // A dialog that opened all the same is closed again, and noticed.
        QTimer::singleShot(0, &f.window, [&shown] {
            if (QWidget *modal = QApplication::activeModalWidget())
                shown = modal->close();
        });
        shown = false;
        entry->trigger();
        QTest::qWait(10);
        QVERIFY(!shown);
    }

    // An operation over UDP stopped as it sends. A run with repeat on
    // highlights each row it sends without selecting it; closing the window
    // stops it, and so does "Data Entry" in one chord, Ctrl+D, typed where
    // the operator works. A sign load from its dialog, of the type and
    // address chosen there, and its progress window: Stop ends the load as
    // Data Entry does, the close box and Escape ask first; the percentage
    // counts the set-up frames and reaches 100 % only with the last frame.
    // Cancel in the dialog loads nothing.
    void operationStops_data()
    {
        // seen, as each frame arrives: a run's grid row, Run checked and Data
        // Entry checked; a sign load's percentage
        test::columns<QString, QString, bool, QStringList>({"typed", "gesture", "yes", "seen"});
        const QStringList stopped{"25%", "50%"}, whole{"25%", "50%", "75%", "100%"};
        test::row("run, closing the window", "", "window", true, QStringList{"1 1 0", "2 1 0", "3 1 0", "1 1 0"});
        test::row("run, Ctrl+D", "", "Ctrl+D", false, QStringList{"1 1 0", "2 1 0"});
        test::row("Stop", "a1", "Stop", false, stopped);
        test::row("close box, Yes", "a1", "close", true, stopped);
        test::row("Escape, Yes", "a1", "Escape", true, stopped);
        test::row("Escape, No, address 99", "99", "Escape", false, whole);
        // The window manager's close request (Alt+F4) takes the close box's way.
        test::row("close request, Yes", "a1", "request", true, stopped);
        test::row("close request, No", "a1", "request", false, whole);
        test::row("dialog cancelled", "a1", "CmdCancel", false, QStringList{});
    }
    void operationStops()
    {
        const auto [typed, gesture, yes, seen] =
            test::fetch<QString, QString, bool, QStringList>({"typed", "gesture", "yes", "seen"});
        const bool run = typed.isEmpty();
        SetPauseTimeScale(100);
        QGuiApplication::setQuitOnLastWindowClosed(false);
        Fixture f;
        test::UdpPeer udp;
        f.useUdp(udp);
        f.addEntries(run ? 3 : 1);
        f.ws.entry().setRepeatEnabled(run);
        f.ws.setBox(Box::MessageNumber, "042");
        f.ws.SetOperatingMode(run ? OperatingMode::Test : OperatingMode::SignLoad);
        f.prompter.clear();
        auto *progress = child<QWidget>(&f.window, "frmProgress");
        QStringList shown;
        udp.onReceive = [&, yes = yes, gesture = gesture, stopAt = run ? seen.size() : 2](test::UdpPeer &peer,
                                                                                          const QByteArray &) {
            shown << (run ? QStringLiteral("%1 %2 %3")
                                .arg(f.window.grid()->currentIndex().row() + 1)
                                .arg(f.window.action(Item::MnuModeRun)->isChecked())
                                .arg(f.window.action(Item::MnuModeData)->isChecked())
                          : progress->windowTitle().section(u' ', -1));
            if (peer.datagrams.size() > 50)
                f.ws.MnuModeData_Click(); // only if the gesture did not stop it
            if (peer.datagrams.size() != stopAt)
                return;
            if (yes)
                f.prompter.answer(Prompter::Answer::Yes);
            if (gesture == "Stop") {
                auto *stop = child<QPushButton>(progress, "CmdStop");
                stop->setFocus();
                QTest::keyClick(stop, Qt::Key_Space);
            } else if (gesture == "window") {
                f.window.close();
            } else if (gesture == "Ctrl+D") {
                QTest::keySequence(f.window.boxWidget(Box::Entry), QKeySequence(gesture));
            } else if (gesture == "close") {
                progress->close();
            } else if (gesture == "request") {
                QCloseEvent request;
                QApplication::sendEvent(progress->windowHandle(), &request);
            } else {
                QTest::keyClick(progress, Qt::Key_Escape);
            }
        };
        if (!run)
            f.whenShown([typed = typed, gesture = gesture](QDialog &dialog) {
                auto *address = child<QLineEdit>(&dialog, QStringLiteral("MEDSignAddress"));
                QCOMPARE(address->text(), QStringLiteral("00"));
                QVERIFY(child<QRadioButton>(&dialog, QStringLiteral("OptVyrena"))->isChecked());
                child<QRadioButton>(&dialog, QStringLiteral("OptOB"))->setChecked(true);
                address->selectAll();
                QTest::keyClicks(address, typed);
                QCOMPARE(address->text(), typed.toUpper()); // the mask turns letters to upper case
                child<QPushButton>(&dialog, gesture == "CmdCancel" ? gesture : "CmdOK")->click();
            });
        f.window.boxWidget(Box::Entry)->setFocus();
        f.window.action(run ? Item::MnuModeRun : Item::MnuLoadSign)->trigger();
        SetPauseTimeScale(1);
        QCOMPARE(shown, seen);
        QCOMPARE(f.ws.transfer().transmitting(), 0);
        QVERIFY(!progress->isVisible() && f.window.action(Item::MnuModeData)->isChecked() &&
                !f.window.action(Item::MnuModeRun)->isChecked());
        QCOMPARE(f.window.isVisible(), gesture != "window");
        QCOMPARE(f.boxes().section(u'|', 0, 0), QStringLiteral("042"));
        if (run)
            return;
        // Octal escapes: \1 and \2 start a frame and its text, \4 ends it.
        QCOMPARE(udp.datagrams.value(0), seen.isEmpty() ? QByteArray() : "\1Z" + typed.toUpper().toLatin1() + "\2E$\4");
        const bool asked = gesture != "Stop" && gesture != "CmdCancel";
        QCOMPARE(f.prompter.messageTexts(),
                 asked ? QStringList{"Stop sending? What is not sent yet will not be sent."} : QStringList{});
    }

    void progressCaptions_data()
    {
        test::columns<int, int, QString, int>({"index", "total", "caption", "bar"});
        QTest::newRow("0 of 0") << 0 << 0 << "Sending Message #000/000 - 100%" << 1000;
        QTest::newRow("0 of 99") << 0 << 99 << "Sending Message #000/099 - 01%" << 10;
        QTest::newRow("1 of 2") << 1 << 2 << "Sending Message #001/002 - 67%" << 667;
        QTest::newRow("a half away from zero") << 0 << 7 << "Sending Message #000/007 - 13%" << 125;
        QTest::newRow("four digits") << 1234 << 2000 << "Sending Message #1234/2000 - 62%" << 617;
    }
    void progressCaptions()
    {
        const auto [index, total, caption, bar] =
            test::fetch<int, int, QString, int>({"index", "total", "caption", "bar"});
        Progress progress;
        test::ScriptedPrompter prompter;
        frmProgress window(progress, prompter, nullptr);
        progress.Start();
        QVERIFY(progress.Update(qint16(index), qint16(total), "\1Z\2\x7F\x81\xAD\x80\xE9"));
        QCOMPARE(window.windowTitle(), caption);
        QCOMPARE(window.findChild<QProgressBar *>("ProgressBar")->value(), bar);
        // Controls take the terminal font's glyphs; the code page's characters stay.
        QCOMPARE(window.findChild<QLabel *>("StatusBar")->text(),
                 QStringLiteral("\u263AZ\u263B\u2302\u00FC\u00A1\u20AC\u00E9"));
        // A long frame keeps the window's width: its line is cut short with
        // an ellipsis, the glyphs kept.
        const int width = window.width();
        QVERIFY(progress.Update(qint16(index), qint16(total), "\1" + QByteArray(100000, 'y')));
        const QString shown = window.findChild<QLabel *>("StatusBar")->text();
        QCOMPARE(window.width(), width);
        QVERIFY2(shown.startsWith(QStringLiteral("\u263Ayyy")) && shown.endsWith(QChar(0x2026)) && shown.size() < 200,
                 qPrintable(shown.left(40)));
        // A bad total changes nothing; the operator cannot close the window.
        QVERIFY(!progress.Update(0, -1, "y"));
        QVERIFY(!window.close());
        QCOMPARE(window.windowTitle() + (window.isVisible() ? "" : " hidden"), caption);
        progress.Done();
        progress.Done(); // a window that is not shown: nothing happens
        QVERIFY(!window.isVisible() && !progress.isShown());
    }
};

QTEST_MAIN(GuiMainTest)
#include "tst_gui_main.moc"
