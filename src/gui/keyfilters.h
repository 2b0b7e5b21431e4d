#pragma once
// The main window's application-wide event filters: its menu shortcuts
// before the text boxes' own keys, access keys in the window that has the
// focus, and the order in which the other windows open.

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

class QAction;

namespace telvaro {

// Menus and tool tips are windows too, but nothing a shutdown closes.
bool isTransient(const QWidget *window);

// The menu's shortcuts run their commands wherever the focus is in the
// window: the text boxes would otherwise take Ctrl+C, Ctrl+V and Ctrl+A as
// their own copy, paste and select-all.
class MenuShortcutsFirst : public QObject {
public:
    MenuShortcutsFirst(QWidget &window, QList<QAction *> actions);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget &m_window;
    const QList<QAction *> m_actions;
};

// An access key acts in the window that has the focus. The editors share
// the main window's keys, so the menu bar's would otherwise open its menus
// over them, or take turns with their buttons.
class AccessKeysInTheActiveWindow : public QObject {
public:
    explicit AccessKeysInTheActiveWindow(QWidget &main);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget &m_main;
};

// Notes the order in which the program's other windows open: the toolkit's
// list of windows is in no particular order, and a shutdown closes them
// newest first.
class WindowOrder : public QObject {
public:
    explicit WindowOrder(QWidget &main);

    // The other windows open now, the most recently opened first; any opened
    // before the watch began count as the oldest.
    QWidgetList newestFirst() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget &m_main;
    QList<QPointer<QWidget>> m_opened;
};

} // namespace telvaro
