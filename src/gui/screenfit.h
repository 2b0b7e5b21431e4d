#pragma once
// Placing windows on the screen: twips to pixels, and rectangles kept on a
// screen's free area.

#include <QObject>
#include <QRect>

class QScreen;
class QWidget;

namespace telvaro {

// Twips to pixels, kept within a range where later arithmetic on the
// pixels cannot overflow.
int toPixels(double twips, double twipsPerPixel);

// The rectangle moved, and shrunk if it must, so that all of it lies on
// the screen's free area, as a window manager would keep it.
QRect keptOnScreen(QRect wanted, const QScreen *screen);

// The size a window's inside may take on its screen, its frame and title
// bar taken off (guessed until the window has been shown).
QSize roomOnScreen(const QWidget *window);

// Keeps every window that opens whole on its screen's free area, frame
// and all: moved, and made smaller where the window allows it.
class WindowsKeptOnScreen : public QObject {
public:
    explicit WindowsKeptOnScreen(QObject *parent);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

} // namespace telvaro
