// The main window under the offscreen platform: menus, the grid's mouse and
// key handling, the status bars and the close request.
#include "app/workspace.h"
#include "base/settingsstore.h"
#include "base/wait.h"
#include "codec/numbers.h"
#include "gui/frmmain.h"
#include "gui/frmsplash.h"
#include "peers.h"
#include "scriptedprompter.h"
#include "temphome.h"
#include "windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

#include <map>
#include <memory>

using namespace telvaro;
using test::ScriptedPrompter;
using test::TempHome;
using Box = Workspace::Box;

namespace {
struct Fixture : test::WindowFixture {
    void addEntries(int n)
    {
        for (int i = 0; i < n; ++i) {
            ws.table().AppendEntry();
            const QByteArray text = "M" + QByteArray::number(i);
            ws.table().SetContents(i, 100 * (i + 1), text, text, "c" + QByteArray::number(i));
        }
        ws.table().RefreshGrid();
    }
    void useUdp(const test::UdpPeer &device)
    {
        ws.linkSettings().setPortNumber(-1);
        ws.linkSettings().setIpAddress("127.0.0.1");
        ws.linkSettings().setIpPort(QString::number(device.port()));
    }
    QPoint cellCenter(int position, int column)
    {
        QTableView *g = window.grid();
        return g->visualRect(g->model()->index(position, column)).center();
    }
};
} // namespace

class GuiMainTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void menusCaptionsAndShortcuts()
    {
        Fixture f;
        QCOMPARE(f.window.windowTitle(), QStringLiteral("Telvaro - Test Mode"));
        QStringList bar;
        for (QAction *a : f.window.menuBar()->actions())
            if (a->isVisible())
                bar << a->text();
        QCOMPARE(bar, (QStringList{"&File", "Use Mode", "&Edit", "&Protocol", "&Communication", "&Action", "&Help"}));
        QCOMPARE(f.window.action(Item::mnuFileNew)->shortcut(), QKeySequence(QStringLiteral("Ctrl+N")));
        QCOMPARE(f.window.action(Item::MnuEditClearMessage)->shortcut(), QKeySequence(QStringLiteral("Ctrl+M")));
        QCOMPARE(f.window.action(Item::MnuSCPProtocol)->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
        QCOMPARE(f.window.action(Item::mnuFileOpen)->text(), QStringLiteral("&Open..."));
        QCOMPARE(f.window.action(Item::MnuComSetIP)->text(), QStringLiteral("Set &IP Address and Port"));
        QVERIFY(!f.window.action(Item::MnuEditClearRange)->isEnabled());
        QVERIFY(f.window.action(Item::MnuModeData)->isChecked());
        QVERIFY(!f.window.action(Item::MnuModeRun)->isChecked());
        QVERIFY(!f.window.action(Item::MnuLoadSign)->isVisible());
        QVERIFY(!f.window.action(Item::MnuRegister)->isVisible());

        // Core state changes show at once.
        f.ws.menus().setEnabled(Item::MnuCommunication, false);
        QVERIFY(!f.window.action(Item::MnuCommunication)->isEnabled());
        f.ws.menus().setEnabled(Item::CmdQuickSend, false);
        QVERIFY(!f.window.findChild<QWidget *>("CmdQuickSend")->isEnabled());

        QCOMPARE(f.window.statusLabel(2)->text(), QStringLiteral("No Traffic"));
        QCOMPARE(f.window.statusLabel(3)->text(), QStringLiteral("Off"));
        QCOMPARE(f.window.infoLabel(6)->text(), QStringLiteral(" 0 / 128"));
        QCOMPARE(f.window.infoLabel(7)->text(), QStringLiteral("00.0%"));
        QCOMPARE(f.window.infoLabel(1)->text(), QStringLiteral("Connection Status"));
        QVERIFY(!f.window.findChild<QWidget *>("TxtMessages")->isVisible());
        QVERIFY(!f.window.findChild<QWidget *>("ChkLoad")->isVisible());

        QCOMPARE(f.window.grid()->model()->rowCount(), 1);
        QCOMPARE(f.window.grid()->model()->index(0, 0).data().toString(), QStringLiteral("000"));
        QCOMPARE(f.window.grid()->model()->index(0, 1).data().toString(), QStringLiteral("000000"));
    }

    void gridClicksFillTheEntryPanel()
    {
        Fixture f;
        f.addEntries(3);
        QTableView *g = f.window.grid();
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, f.cellCenter(1, 2));
        QCOMPARE(f.window.boxWidget(Box::MessageNumber)->text(), QStringLiteral("001"));
        // The interval box normalises what the grid writes ("000200").
        QCOMPARE(f.window.boxWidget(Box::Interval)->text(), QStringLiteral("200"));
        QCOMPARE(f.ws.box(Box::HeaderLabel), QStringLiteral("<0x01>Z00A<0x0F>DT<0x20><0x21>"));
        QCOMPARE(f.window.boxWidget(Box::Entry)->text(), QString()); // a click does not load the text

        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, f.cellCenter(2, 1));
        QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, f.cellCenter(2, 1));
        QCOMPARE(f.window.boxWidget(Box::MessageNumber)->text(), QStringLiteral("002"));
        QCOMPARE(f.window.boxWidget(Box::Entry)->text(), QStringLiteral("M2"));
        QCOMPARE(f.window.boxWidget(Box::Comment)->text(), QStringLiteral("c2"));
        QCOMPARE(f.window.boxWidget(Box::Interval)->text(), QStringLiteral("300"));
        QSet<std::pair<int, int>> selected;
        for (const QModelIndex &i : g->selectionModel()->selectedIndexes())
            selected << std::pair(i.row(), i.column());
        QCOMPARE(selected, (QSet<std::pair<int, int>>{{2, 1}, {2, 2}, {2, 3}})); // the row but its fixed number

        // Keyboard selection changes write the number box too.
        g->setFocus();
        QTest::keyClick(g, Qt::Key_Up);
        QCOMPARE(f.window.boxWidget(Box::MessageNumber)->text(), QStringLiteral("001"));

        // A refresh is not a selection change: the number box keeps its text.
        f.ws.setBox(Box::MessageNumber, QStringLiteral("007"));
        f.ws.table().RefreshGrid();
        QCOMPARE(f.window.boxWidget(Box::MessageNumber)->text(), QStringLiteral("007"));
    }

    void messageNumbersStayFixedAtTheLeft()
    {
        Fixture f;
        f.addEntries(3);
        QTableView *g = f.window.grid();
        g->setColumnWidth(MessageTable::ColText, 4 * g->viewport()->width());
        g->horizontalScrollBar()->setValue(g->horizontalScrollBar()->maximum());
        for (int position = 0; position < 3; ++position) {
            const QRect cell = g->visualRect(g->model()->index(position, MessageTable::ColComment));
            const QPoint leftEdge(g->frameWidth() + 1, g->viewport()->mapTo(g, cell.center()).y());
            const QHeaderView *shown = nullptr;
            for (QWidget *w = g->childAt(leftEdge); w && w != g; w = w->parentWidget())
                if (const auto *header = qobject_cast<QHeaderView *>(w))
                    shown = header;
            QVERIFY(shown);
            const int section = shown->logicalIndexAt(shown->mapFrom(g, leftEdge));
            QCOMPARE(shown->model()->headerData(section, shown->orientation()).toString(), MessageNumberText(position));
        }

        // The numbers cannot be reached or selected.
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, f.cellCenter(1, MessageTable::ColComment));
        g->horizontalScrollBar()->setValue(0);
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, f.cellCenter(1, MessageTable::ColInterval));
        QTest::keyClick(g, Qt::Key_Left);
        QCOMPARE(g->currentIndex().column(), int(MessageTable::ColInterval));
        g->selectAll();
        for (const QModelIndex &i : g->selectionModel()->selectedIndexes())
            QVERIFY(i.column() != MessageTable::ColNumber);
    }

    void emptyGridClickGivesZero()
    {
        Fixture f;
        f.ws.setBox(Box::MessageNumber, QStringLiteral("042"));
        QTest::mouseClick(f.window.grid()->viewport(), Qt::LeftButton, {}, f.cellCenter(0, MessageTable::ColInterval));
        QCOMPARE(f.window.boxWidget(Box::MessageNumber)->text(), QStringLiteral("000"));
        QCOMPARE(f.window.boxWidget(Box::Interval)->text(), QStringLiteral("000"));
    }

    void deleteKeyRemovesTheNumberedEntry_data()
    {
        QTest::addColumn<int>("entries");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("middle") << 3 << "001" << QStringList{"M0", "M2"};
        QTest::newRow("beyond the table removes the last")
            << 10 << "050" << QStringList{"M0", "M1", "M2", "M3", "M4", "M5", "M6", "M7", "M8"};
        QTest::newRow("only entry") << 1 << "000" << QStringList{};
        QTest::newRow("negative acts as zero") << 2 << "-3" << QStringList{"M1"};
    }
    void deleteKeyRemovesTheNumberedEntry()
    {
        QFETCH(int, entries);
        QFETCH(QString, number);
        QFETCH(QStringList, texts);
        Fixture f;
        f.addEntries(entries);
        f.ws.setBox(Box::MessageNumber, number);
        f.window.grid()->setFocus();
        QTest::keyClick(f.window.grid(), Qt::Key_Delete);
        const MessageTable &t = f.ws.table();
        QCOMPARE(t.count(), texts.size());
        for (int i = 0; i < texts.size(); ++i) {
            QCOMPARE(QString::fromLatin1(t.entry(i).Text), texts[i]);
            QCOMPARE(t.entry(i).Number, qint16(i));
        }
        QCOMPARE(f.window.grid()->model()->rowCount(), qMax(1, int(texts.size())));
        if (texts.isEmpty())
            QCOMPARE(f.window.grid()->model()->index(0, 1).data().toString(), QStringLiteral("000000"));
        QCOMPARE(f.window.infoLabel(6)->text(), QStringLiteral(" %1 / 128").arg(texts.size() * 2));
    }

    void removingRowsIsNoSelectionChange_data()
    {
        QTest::addColumn<QString>("removal");
        QTest::newRow("delete key") << "delete";
        QTest::newRow("clear message") << "clear";
        QTest::newRow("open a shorter table") << "open";
    }
    void removingRowsIsNoSelectionChange()
    {
        QFETCH(QString, removal);
        Fixture f;
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        QTemporaryDir dir;
        const QString shorter = dir.filePath("short.TVD");
        f.addEntries(2);
        f.prompter.choosePath(shorter);
        f.window.action(Item::mnuFileSave)->trigger();
        f.ws.table().AppendEntry();
        f.ws.table().AppendEntry();
        f.ws.table().RefreshGrid();
        QTest::mouseClick(f.window.grid()->viewport(), Qt::LeftButton, {}, f.cellCenter(3, 2));
        const QStringList before{f.window.boxWidget(Box::MessageNumber)->text(), f.ws.box(Box::HeaderLabel)};
        QCOMPARE(before.front(), QStringLiteral("003"));

        if (removal == "delete") {
            f.window.grid()->setFocus();
            QTest::keyClick(f.window.grid(), Qt::Key_Delete);
        } else if (removal == "clear") {
            f.prompter.type("3");
            f.window.action(Item::MnuEditClearMessage)->trigger();
        } else {
            f.prompter.choosePath(shorter);
            f.window.action(Item::mnuFileOpen)->trigger();
        }
        // A dialog hands the focus back to the grid when it closes.
        f.window.grid()->clearFocus();
        f.window.grid()->setFocus(Qt::ActiveWindowFocusReason);
        QVERIFY(f.ws.table().count() < 4);
        QCOMPARE((QStringList{f.window.boxWidget(Box::MessageNumber)->text(), f.ws.box(Box::HeaderLabel)}), before);
    }

    void selectionStartNamesTheMessage_data()
    {
        QTest::addColumn<QString>("gesture");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::newRow("drag down") << "drag down" << 1 << 3;
        QTest::newRow("drag up") << "drag up" << 3 << 1;
        QTest::newRow("shift and arrow keys") << "shift keys" << 1 << 3;
        QTest::newRow("shift click") << "shift click" << 1 << 3;
        QTest::newRow("right press on another row") << "right press" << 1 << 1;
    }
    void selectionStartNamesTheMessage()
    {
        QFETCH(QString, gesture);
        QFETCH(int, start);
        QFETCH(int, end);
        Fixture f;
        f.addEntries(6);
        QTableView *g = f.window.grid();
        QWidget *view = g->viewport();
        const auto drag = [&](QPoint from, QPoint to) {
            QTest::mousePress(view, Qt::LeftButton, {}, from);
            QMouseEvent move(QEvent::MouseMove, to, view->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                             Qt::NoModifier);
            QApplication::sendEvent(view, &move);
            QTest::mouseRelease(view, Qt::LeftButton, {}, to);
        };
        if (gesture == "drag down") {
            drag(f.cellCenter(1, 1), f.cellCenter(3, 3));
        } else if (gesture == "drag up") {
            drag(f.cellCenter(3, 3), f.cellCenter(1, 1));
        } else {
            QTest::mouseClick(view, Qt::LeftButton, {}, f.cellCenter(1, 2));
            if (gesture == "shift keys") {
                QTest::keyClick(g, Qt::Key_Down, Qt::ShiftModifier);
                QTest::keyClick(g, Qt::Key_Down, Qt::ShiftModifier);
            } else if (gesture == "shift click") {
                QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, f.cellCenter(3, 2));
            } else {
                QTest::mousePress(view, Qt::RightButton, {}, f.cellCenter(4, 2));
            }
        }
        QCOMPARE(g->currentIndex().row(), start);
        QCOMPARE(f.window.boxWidget(Box::MessageNumber)->text(), MessageNumberText(start));
        QCOMPARE(f.ws.box(Box::HeaderLabel), f.ws.HeaderFor(start));
        QSet<int> selectedRows;
        for (const QModelIndex &i : g->selectionModel()->selectedIndexes())
            selectedRows << i.row();
        QSet<int> spanned;
        for (int row = qMin(start, end); row <= qMax(start, end); ++row)
            spanned << row;
        QCOMPARE(selectedRows, spanned);

        g->setFocus();
        QTest::keyClick(g, Qt::Key_Delete);
        QList<QByteArray> texts;
        for (const MessageEntry &e : f.ws.table().entries())
            texts << e.Text;
        QCOMPARE(texts.size(), 5);
        QVERIFY(!texts.contains("M" + QByteArray::number(start)));
    }

    void typingIntoTheIntervalBoxNormalises()
    {
        Fixture f;
        QLineEdit *interval = f.window.boxWidget(Box::Interval);
        interval->clear();
        f.ws.setBox(Box::Interval, QString());
        interval->setFocus();
        QTest::keyClicks(interval, QStringLiteral("5"));
        QCOMPARE(interval->text(), QStringLiteral("005"));
        QCOMPARE(f.ws.box(Box::Interval), QStringLiteral("005"));
        QTest::keyClicks(interval, QStringLiteral("0"));
        QCOMPARE(interval->text(), QStringLiteral("050"));
    }

    void closeAsksThenClosesTheOtherWindowsNewestFirst()
    {
        QStringList closed;
        struct Other : QWidget {
            QStringList *log = nullptr;
            void closeEvent(QCloseEvent *event) override
            {
                *log << objectName();
                QWidget::closeEvent(event);
            }
        };
        std::map<QString, std::unique_ptr<Other>> others;
        for (const char *name : {"A", "B", "C", "D", "E", "early"}) {
            auto &other = others[QString::fromLatin1(name)] = std::make_unique<Other>();
            other->setObjectName(QString::fromLatin1(name));
            other->log = &closed;
        }
        others["early"]->show(); // open before the main window
        Fixture f;
        for (const char *name : {"C", "A", "E", "B", "D"})
            others[QString::fromLatin1(name)]->show();
        others["A"]->close(); // closed and opened again: now the newest
        others["A"]->show();
        closed.clear();

        f.prompter.answer(Prompter::Answer::No);
        QVERIFY(!f.window.close());
        QVERIFY(f.window.isVisible());
        QVERIFY(closed.isEmpty());
        QVERIFY(!QFile::exists(f.home.settingsFile()));

        f.ws.linkSettings().setPortNumber(0);
        f.prompter.answer(Prompter::Answer::Yes);
        QVERIFY(f.window.close());
        QCOMPARE(closed, (QStringList{"A", "D", "B", "E", "C", "early"}));
        QSettings raw(f.home.settingsFile(), QSettings::IniFormat);
        QCOMPARE(raw.value("Settings/AppPort").toString(), QStringLiteral("0"));
    }

    void runHighlightsRowsAndShowsMenuState()
    {
        SetPauseTimeScale(100);
        Fixture f;
        f.addEntries(3);
        test::UdpPeer device;
        f.useUdp(device);
        f.ws.setBox(Box::MessageNumber, "042");
        QList<int> rows;
        QList<bool> runChecked, dataChecked;
        device.onReceive = [&](test::UdpPeer &, const QByteArray &) {
            rows << f.window.grid()->currentIndex().row() + 1;
            runChecked << f.window.action(Item::MnuModeRun)->isChecked();
            dataChecked << f.window.action(Item::MnuModeData)->isChecked();
        };
        f.window.action(Item::MnuModeRun)->trigger();
        SetPauseTimeScale(1);
        QCOMPARE(device.datagrams.size(), 3);
        QCOMPARE(rows, (QList<int>{1, 2, 3}));
        QCOMPARE(runChecked, (QList<bool>{true, true, true}));
        QCOMPARE(dataChecked, (QList<bool>{false, false, false}));
        // The run's highlight is not the operator's selection.
        QCOMPARE(f.window.boxWidget(Box::MessageNumber)->text(), QStringLiteral("042"));
        QVERIFY(f.window.action(Item::MnuModeData)->isChecked());
        QVERIFY(!f.window.action(Item::MnuModeRun)->isChecked());

        // Choosing the checked "Data Entry" again keeps it checked.
        f.window.action(Item::MnuModeData)->trigger();
        QVERIFY(f.window.action(Item::MnuModeData)->isChecked());
    }

    void closingDuringARunStopsIt()
    {
        SetPauseTimeScale(100);
        QGuiApplication::setQuitOnLastWindowClosed(false);
        Fixture f;
        f.addEntries(2);
        test::UdpPeer device;
        f.useUdp(device);
        f.ws.entry().setRepeatEnabled(true);
        device.onReceive = [&](test::UdpPeer &peer, const QByteArray &) {
            if (peer.datagrams.size() == 3) {
                f.prompter.answer(Prompter::Answer::Yes);
                f.window.close();
            } else if (peer.datagrams.size() > 50) {
                f.ws.MnuModeData_Click(); // only if the close did not stop it
            }
        };
        f.window.action(Item::MnuModeRun)->trigger();
        SetPauseTimeScale(1);
        QCOMPARE(device.datagrams.size(), 3);
        QCOMPARE(f.ws.transfer().transmitting(), 0);
        QVERIFY(!f.window.isVisible());
    }

    void storedGeometryIsPlacedOnTheScreen_data()
    {
        QTest::addColumn<QStringList>("stored"); // key, value, key, value, ...
        QTest::addColumn<QRect>("expected");
        QTest::addColumn<bool>("failed");
        const QScreen *screen = QGuiApplication::primaryScreen();
        const QRect area = screen->availableGeometry();
        const double tpp = 1440.0 / screen->logicalDotsPerInchX();
        const auto px = [tpp](double twips) { return qRound(twips / tpp); };
        const QStringList inside{"MainLeft", "1500", "MainTop", "3000", "MainWidth", "6000", "MainHeight", "4500"};
        QTest::newRow("first run") << QStringList{} << QRect(px(1000), px(1000), px(7500), px(6000)) << false;
        QTest::newRow("inside the screen") << inside << QRect(px(1500), px(3000), px(6000), px(4500)) << false;
        for (const char *huge : {"1e9", "5e5"})
            QTest::addRow("width %s", huge) << QStringList{"MainLeft", "1500", "MainWidth", huge}
                                            << QRect(area.left(), px(1000), area.width(), px(6000)) << false;
        QTest::newRow("height 1e9") << QStringList{"MainTop", "1500", "MainHeight", "1e9"}
                                    << QRect(px(1000), area.top(), px(7500), area.height()) << false;
        QTest::newRow("left 1e30") << QStringList{"MainLeft", "1e30", "MainTop", "1500"}
                                   << QRect(area.right() + 1 - px(7500), px(1500), px(7500), px(6000)) << false;
        QTest::newRow("left -1e30") << QStringList{"MainLeft", "-1e30"}
                                    << QRect(area.left(), px(1000), px(7500), px(6000)) << false;
        QTest::newRow("a bad width keeps left and top")
            << QStringList{"MainLeft", "1500", "MainTop", "3000", "MainWidth", "12a", "MainHeight", "4500"}
            << QRect(px(1500), px(3000), px(7500), px(6000)) << true;
    }
    void storedGeometryIsPlacedOnTheScreen()
    {
        QFETCH(QStringList, stored);
        QFETCH(QRect, expected);
        QFETCH(bool, failed);
        TempHome home;
        {
            SettingsStore s;
            for (int i = 0; i + 1 < stored.size(); i += 2)
                s.write(stored[i], stored[i + 1]);
            QVERIFY(s.flush());
        }
        ScriptedPrompter prompter;
        SettingsStore settings;
        Workspace ws(prompter);
        frmMain window(ws, settings);
        window.Form_Load();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(QRect(window.pos(), window.size()), expected);
        QCOMPARE(prompter.messageTexts(), failed ? QStringList{"error!"} : QStringList{});

        prompter.answer(Prompter::Answer::Yes);
        QVERIFY(window.close());
        QSettings raw(home.settingsFile(), QSettings::IniFormat);
        const double tpp = window.twipsPerPixel();
        QList<double> saved;
        for (const char *key : {"MainLeft", "MainTop", "MainWidth", "MainHeight"})
            saved << raw.value(QStringLiteral("Settings/") + key).toDouble();
        QCOMPARE(saved, (QList<double>{expected.left() * tpp, expected.top() * tpp, expected.width() * tpp,
                                       expected.height() * tpp}));
    }

    void splashShowsTheVersionLine()
    {
        frmSplash splash;
        QCOMPARE(splash.productLine(), QStringLiteral("TelvaroVersion %1.%2.%3")
                                           .arg(TELVARO_VERSION_MAJOR)
                                           .arg(TELVARO_VERSION_MINOR)
                                           .arg(TELVARO_VERSION_PATCH));
        QVERIFY(splash.findChild<QWidget *>("picLogo"));
        QVERIFY(splash.findChild<QWidget *>("lblCompany"));
    }

    // The layout applied at the screen's resolution; the comment box keeps
    // one line; a low window leaves the grid and the received box alone.
    void resizePlacesTheControls()
    {
        Fixture f;
        const double tpp = f.window.twipsPerPixel();
        const auto px = [tpp](double twips) { return qRound(twips / tpp); };
        f.window.Form_Resize(QSizeF(9000, 8000));
        QCOMPARE(f.window.boxWidget(Workspace::Box::Entry)->geometry(), QRect(px(500), px(500), px(8000), px(750)));
        QLineEdit *comment = f.window.boxWidget(Workspace::Box::Comment);
        QCOMPARE(comment->width(), px(8000));
        QCOMPARE(comment->height(), comment->sizeHint().height());
        const QRect grid = f.window.grid()->geometry();
        QCOMPARE((QList<int>{grid.x(), grid.width(), grid.height()}), (QList<int>{px(500), px(8000), px(3000)}));
        QCOMPARE(f.window.grid()->columnWidth(MessageTable::ColText), px(3035));
        QCOMPARE(f.window.grid()->columnWidth(MessageTable::ColComment), px(3035));
        const auto *recData = f.window.findChild<QPlainTextEdit *>(QStringLiteral("TxtRecData"));
        QCOMPARE(recData->geometry().top(), grid.bottom() + 1 + px(100));

        f.window.Form_Resize(QSizeF(6000, 4000));
        QCOMPARE(f.window.boxWidget(Workspace::Box::Entry)->width(), px(5000));
        QCOMPARE(f.window.grid()->geometry(), grid);
    }

    // Each toolbar key runs its menu command; the mode button itself does
    // nothing.
    void toolbarRoutesToTheMenuCommands()
    {
        Fixture f;
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        f.ws.table().AppendEntry();
        f.ws.table().AppendEntry();
        QLineEdit *entry = f.window.boxWidget(Box::Entry);
        entry->setFocus();
        entry->setText(QStringLiteral("ABC"));
        entry->selectAll();
        QGuiApplication::clipboard()->clear();
        f.window.findChild<QAction *>(QStringLiteral("tbCopy"))->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("ABC"));
        f.window.findChild<QAction *>(QStringLiteral("tbNew"))->trigger();
        QCOMPARE(f.ws.table().count(), 1);
        f.window.findChild<QToolButton *>(QStringLiteral("tbSoftMode"))->click();
        f.window.tbToolBar_ButtonClick(QStringLiteral("SoftMode"));
        QCOMPARE(f.ws.mode().mode(), OperatingMode::Test);
        QVERIFY(f.prompter.shown.isEmpty());
    }

    // "&About" shows the splash for two seconds while the window reacts.
    void aboutKeepsTheWindowReacting()
    {
        Fixture f;
        SetPauseTimeScale(10);
        const auto splashShown = [] {
            const QWidgetList windows = QApplication::topLevelWidgets();
            return std::any_of(windows.cbegin(), windows.cend(),
                               [](QWidget *w) { return qobject_cast<frmSplash *>(w) && w->isVisible(); });
        };
        bool reacted = false;
        QTimer::singleShot(50, &f.window, [&] {
            QVERIFY(splashShown());
            f.window.action(Item::MnuModeData)->trigger();
            reacted = true;
        });
        QElapsedTimer clock;
        clock.start();
        f.window.action(Item::MnuAbout)->trigger();
        SetPauseTimeScale(1);
        QVERIFY(reacted);
        QVERIFY(clock.elapsed() >= 190);
        QVERIFY(!splashShown());
    }
};

QTEST_MAIN(GuiMainTest)
#include "tst_gui_main.moc"
