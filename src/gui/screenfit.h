#pragma once
// Placing windows on the screen: twips to pixels, and rectangles kept on a
// screen's free area.

#include <QRect>

class QScreen;

namespace telvaro {

// Twips to pixels, kept within a range where later arithmetic on the
// pixels cannot overflow.
int toPixels(double twips, double twipsPerPixel);

// The rectangle moved, and shrunk if it must, so that all of it lies on
// the screen's free area, as a window manager would keep it.
QRect keptOnScreen(QRect wanted, const QScreen *screen);

} // namespace telvaro
