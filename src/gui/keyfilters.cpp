#include "gui/keyfilters.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>

#include <algorithm>

namespace telvaro {

bool isTransient(const QWidget *window)
{
    const Qt::WindowType type = window->windowType();
    return type == Qt::Popup || type == Qt::ToolTip;
}

MenuShortcutsFirst::MenuShortcutsFirst(QWidget &window, QList<QAction *> actions)
    : QObject(&window), m_window(window), m_actions(std::move(actions))
{
    QCoreApplication::instance()->installEventFilter(this);
}

bool MenuShortcutsFirst::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ShortcutOverride || !watched->isWidgetType() ||
        static_cast<QWidget *>(watched)->window() != &m_window)
        return false;
    const QKeySequence keys(static_cast<QKeyEvent *>(event)->keyCombination());
    const bool menuKeys = std::any_of(m_actions.cbegin(), m_actions.cend(),
                                      [&keys](const QAction *a) { return a->isEnabled() && a->shortcut() == keys; });
    if (!menuKeys)
        return false;
    // Left unaccepted, the override lets the menu's shortcut fire.
    event->ignore();
    return true;
}

AccessKeysInTheActiveWindow::AccessKeysInTheActiveWindow(QWidget &main) : QObject(&main), m_main(main)
{
    QCoreApplication::instance()->installEventFilter(this);
}

bool AccessKeysInTheActiveWindow::eventFilter(QObject *watched, QEvent *event)
{
    QWidget *active = QApplication::activeWindow();
    if (event->type() != QEvent::Shortcut || !watched->isWidgetType() || !active || active == &m_main)
        return false;
    const QKeySequence keys = static_cast<QShortcutEvent *>(event)->key();
    if (keys.count() != 1 || keys[0].keyboardModifiers() != Qt::AltModifier)
        return false;
    const QList<QAbstractButton *> buttons = active->findChildren<QAbstractButton *>();
    const auto own = std::find_if(buttons.cbegin(), buttons.cend(), [&keys](const QAbstractButton *b) {
        return b->isVisible() && b->isEnabled() && QKeySequence::mnemonic(b->text()) == keys;
    });
    if (own != buttons.cend()) {
        (*own)->setFocus(Qt::ShortcutFocusReason);
        (*own)->animateClick();
        return true;
    }
    // A label's key takes the focus to the control it names.
    const QList<QLabel *> labels = active->findChildren<QLabel *>();
    const auto label = std::find_if(labels.cbegin(), labels.cend(), [&keys](const QLabel *l) {
        return l->isVisible() && l->buddy() && l->buddy()->isEnabled() && QKeySequence::mnemonic(l->text()) == keys;
    });
    if (label != labels.cend()) {
        (*label)->buddy()->setFocus(Qt::ShortcutFocusReason);
        if (auto *button = qobject_cast<QAbstractButton *>((*label)->buddy()))
            button->animateClick();
        return true;
    }
    // The main window's own keys stay there.
    return static_cast<QWidget *>(watched)->window() == &m_main;
}

WindowOrder::WindowOrder(QWidget &main) : QObject(&main), m_main(main)
{
    QCoreApplication::instance()->installEventFilter(this);
}

QWidgetList WindowOrder::newestFirst() const
{
    QWidgetList windows;
    for (auto it = m_opened.crbegin(); it != m_opened.crend(); ++it)
        if (*it && (*it)->isVisible())
            windows << *it;
    const QWidgetList all = QApplication::topLevelWidgets();
    for (QWidget *w : all)
        if (w != &m_main && w->isVisible() && !isTransient(w) && !windows.contains(w))
            windows << w;
    return windows;
}

bool WindowOrder::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Show || event->spontaneous() || !watched->isWidgetType())
        return false;
    auto *window = static_cast<QWidget *>(watched);
    if (window->isWindow() && window != &m_main && !isTransient(window)) {
        // Opened again after closing, it is the newest.
        m_opened.removeIf([window](const QPointer<QWidget> &w) { return w.isNull() || w == window; });
        m_opened << window;
    }
    return false;
}

} // namespace telvaro
