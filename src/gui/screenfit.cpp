#include "gui/screenfit.h"

#include <QScreen>

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

} // namespace telvaro
