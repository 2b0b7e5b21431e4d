#include "app/mainlayout.h"

#include "codec/numbers.h"

#include <algorithm>

namespace telvaro {

MainLayout Form_Resize(double clientWidth, double clientHeight, const TwipsRect &select, double commentHeight)
{
    constexpr double margin = 500;
    constexpr double gap = 50;
    MainLayout layout;
    const double w = std::max(0.0, clientWidth - 1000);
    layout.entry = TwipsRect{margin, margin, w, 750};
    layout.select = TwipsRect{margin, layout.entry->top + layout.entry->height + gap, select.width, select.height};
    layout.comment = TwipsRect{margin, layout.select->top + layout.select->height + gap, w, commentHeight};
    const double gridHeight = clientHeight - 5000;
    if (gridHeight < 0)
        return layout;
    layout.grid = TwipsRect{margin, layout.comment->top + layout.comment->height + gap, w, gridHeight};
    // The two text columns share what the number columns leave; a grid too
    // narrow for them gives them nothing rather than failing.
    const double shared = std::max(0.0, double(RoundToInt64((w - 1930) / 2).value_or(0)));
    layout.columns = std::array<double, 4>{550, 1000, shared, shared};
    layout.recData = TwipsRect{margin, layout.grid->top + layout.grid->height + 100, w, 750};
    return layout;
}

} // namespace telvaro
