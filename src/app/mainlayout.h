#pragma once
// Where the main window's working controls go when it is resized, in twips:
// entry box, frame, comment box, grid with its column widths, received-data
// box. A step that cannot be done (a negative height) ends the layout
// there; what was not placed keeps its place.

#include <array>
#include <optional>

namespace telvaro {

struct TwipsRect {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
    bool operator==(const TwipsRect &) const = default;
};

struct MainLayout {
    std::optional<TwipsRect> entry, select, comment, grid, recData;
    // Columns 0 to 3 of the grid.
    std::optional<std::array<double, 4>> columns;
};

// select: the frame as it stands (only its size is used). commentHeight:
// the comment box's height, at least one line of its font.
MainLayout Form_Resize(double clientWidth, double clientHeight, const TwipsRect &select, double commentHeight);

} // namespace telvaro
