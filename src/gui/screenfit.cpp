#include "gui/screenfit.h"

#include "gui/keyfilters.h"

#include <QApplication>
#include <QEvent>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace telvaro {

int toPixels(double twips, double twipsPerPixel)
{
    constexpr double limit = 1 << 24;
    return qRound(std::clamp(twips / twipsPerPixel, -limit, limit));
}

QRect keptOnScreen(QRect wanted, const QScreen *screen)
{
    if (!screen)
        return wanted;
    const QRect area = screen->availableGeometry();
    wanted.setSize(wanted.size().boundedTo(area.size()));
    wanted.moveLeft(std::clamp(wanted.left(), area.left(), area.right() + 1 - wanted.width()));
    wanted.moveTop(std::clamp(wanted.top(), area.top(), area.bottom() + 1 - wanted.height()));
    return wanted;
}

namespace {
// The frame around a window's inside: the window system's once shown, a
// title bar's height and a border before.
QMargins frameOf(const QWidget *window)
{
    if (const QWindow *handle = window->windowHandle(); handle && window->isVisible())
        return handle->frameMargins();
    const int border = window->style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth);
    return {border, window->style()->pixelMetric(QStyle::PM_TitleBarHeight) + border, border, border};
}

// Moved, and made smaller where the window allows it, so that all of it
// and its frame lies on the screen's free area.
void keepWhole(QWidget *window)
{
    if (!window->isVisible() || !window->screen())
        return;
    const QRect area = window->screen()->availableGeometry();
    const QRect before = window->frameGeometry();
    QRect outer = before;
    outer.setSize(outer.size().boundedTo(area.size()));
    outer.moveLeft(std::clamp(outer.left(), area.left(), std::max(area.left(), area.right() + 1 - outer.width())));
    outer.moveTop(std::clamp(outer.top(), area.top(), std::max(area.top(), area.bottom() + 1 - outer.height())));
    if (outer.size() != before.size())
        window->resize(window->size() - (before.size() - outer.size()));
    if (outer.topLeft() != before.topLeft())
        window->move(outer.topLeft());
}
} // namespace

QSize roomOnScreen(const QWidget *window)
{
    const QScreen *screen = window->screen();
    if (!screen)
        return {QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};
    const QMargins frame = frameOf(window);
    return screen->availableGeometry().size().shrunkBy(frame);
}

WindowsKeptOnScreen::WindowsKeptOnScreen(QObject *parent) : QObject(parent)
{
    QCoreApplication::instance()->installEventFilter(this);
}

bool WindowsKeptOnScreen::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Show || !watched->isWidgetType())
        return false;
    auto *window = static_cast<QWidget *>(watched);
    if (!window->isWindow() || isTransient(window))
        return false;
    // Once the window system has placed and framed it.
    QTimer::singleShot(0, window, [window] { keepWhole(window); });
    return false;
}

} // namespace telvaro
