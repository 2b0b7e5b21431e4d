#pragma once
// The main window as the program starts it, in a temporary home, with the
// scripted prompter answering for the operator, and the gestures the window
// suites share. Only for suites that link the widgets.

#include "app/workspace.h"
#include "base/settingsstore.h"
#include "datatable.h"
#include "gui/frmdisplayloaded.h"
#include "gui/frmmain.h"
#include "gui/frmserialdevices.h"
#include "gui/frmsigntype.h"
#include "gui/frmverify.h"
#include "scriptedprompter.h"
#include "signload/modes.h"
#include "temphome.h"
#include "watchdog.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

namespace telvaro::test {

// A read-back that found one message changed, as the verify window shows it.
inline ControllerVerification OneDifference()
{
    ControllerVerification verification;
    verification.compared = true;
    ControllerComparison &comparison = verification.result.comparison;
    comparison.rows = {
        {"message 001", "\"A<0x04>\"", "\"B<0x04>\"", "message 001: sent \"A<0x04>\", read back \"B<0x04>\""}};
    comparison.differences = {comparison.rows.front().line};
    verification.result.lines = DifferenceReport(comparison);
    return verification;
}

// A named control; the suite stops if there is none.
template <typename T> T *child(const QObject *parent, const QString &name)
{
    T *found = parent->findChild<T *>(name);
    if (!found)
        qFatal("no %s", qPrintable(name));
    return found;
}

// A left-button drag: pressed, moved with the button held, released.
inline void drag(QWidget *view, QPoint from, QPoint to)
{
    QTest::mousePress(view, Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, to, view->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &move);
    QTest::mouseRelease(view, Qt::LeftButton, {}, to);
}

struct WindowFixture {
    TempHome home;
    ScriptedPrompter prompter;
    SettingsStore settings;
    Workspace ws{prompter};
    frmMain window{ws, settings};
    Watchdog watchdog{ws.status()};

    // Starts as the program does, over the stored settings given as key,
    // value, key, value, ...
    explicit WindowFixture(const QStringList &stored = {})
    {
        for (qsizetype i = 0; i + 1 < stored.size(); i += 2)
            settings.write(stored[i], stored[i + 1]);
        window.Form_Load();
        window.show();
        if (!QTest::qWaitForWindowActive(&window))
            qWarning("the main window did not become active");
    }
    // Every window of the program, as the walks over all of them want it:
    // opened over the main window (which owns them) in Controller Load mode,
    // with a verification of one difference. Returns the one named name.
    QWidget *openEveryWindow(const QString &name)
    {
        ws.SetOperatingMode(OperatingMode::ControllerLoad);
        window.action(name == "FrmEditS" ? Item::MnuSCPProtocol : Item::MnuADPProtocol)->trigger();
        window.action(Item::MnuRegister)->trigger();
        window.action(Item::MnuPreview)->trigger();
        new FrmSignType(&window);
        new FrmDisplayLoaded(ws, &window);
        new FrmSerialDevices(ws, &window);
        (new FrmVerify(&window))->show(OneDifference());
        QWidget *found = name == "frmMain" ? &window : nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->objectName() == name)
                found = w;
        return found;
    }
    // Appends "M<i>" sent as is, interval 100 + i, comment "c<i>", for i
    // from 0 to n - 1.
    void addEntries(int n)
    {
        for (int i = 0; i < n; ++i) {
            ws.table().AppendEntry();
            const QByteArray text = "M" + QByteArray::number(i);
            ws.table().SetContents(ws.table().UpperIndex(), 100 + i, text, text, "c" + QByteArray::number(i));
        }
        ws.table().RefreshGrid();
    }
    // The number, interval, message and comment boxes as shown.
    QString boxes() const
    {
        QStringList shown;
        for (Workspace::Box b :
             {Workspace::Box::MessageNumber, Workspace::Box::Interval, Workspace::Box::Entry, Workspace::Box::Comment})
            shown << window.boxWidget(b)->text();
        return shown.join(u'|');
    }
    // The table's entries as "number interval text|sent|comment".
    QStringList entries() const
    {
        QStringList out;
        for (const MessageEntry &e : ws.table().entries())
            out << QStringLiteral("%1 %2 ").arg(e.Number).arg(e.Interval) +
                       QString::fromLatin1(e.Text + '|' + e.SendData + '|' + e.Comment);
        return out;
    }
    // Every box put before the operator as "title: text", an input box's
    // default answer after it in brackets.
    QStringList shown() const
    {
        QStringList out;
        for (const Shown &s : prompter.shown)
            out << s.title + QStringLiteral(": ") + s.text +
                       (s.kind == Shown::Input ? " [" + s.defaultAnswer + u']' : QString());
        return out;
    }
    QPoint cellCenter(int position, int column) const
    {
        const QTableView *g = window.grid();
        return g->visualRect(g->model()->index(position, column)).center();
    }
    // A mode chosen from the "Use Mode" menu or from the mode button's list.
    void switchMode(bool fromMenu, OperatingMode mode)
    {
        if (fromMenu)
            return window.action(UseModeItem(mode))->trigger();
        for (QAction *a : child<QToolButton>(&window, QStringLiteral("tbSoftMode"))->menu()->actions())
            if (a->data().toString() == ModeKey(mode))
                a->trigger();
    }
};

} // namespace telvaro::test
