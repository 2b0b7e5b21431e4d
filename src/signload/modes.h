#pragma once
// What each operating mode offers: the "&Action" entries it shows, the
// window caption and the mode button's picture.

#include "base/items.h"
#include "base/mode.h"

#include <QList>
#include <QString>
#include <optional>

namespace telvaro {

struct ModeView {
    QString caption;
    // Image 7, 8 or 9 of the toolbar's image list.
    int picture;
    QList<Item> shown;
};

ModeView ModeViewFor(OperatingMode mode);
// The "&Action" entries and commands a mode shows or hides.
const QList<Item> &ModeDependentItems();
// The mode button's drop-down keys, "Test Mode" and so on; any other key
// names no mode.
QString ModeKey(OperatingMode mode);
std::optional<OperatingMode> ModeForKey(const QString &key);
// The "Use Mode" entry of a mode.
Item UseModeItem(OperatingMode mode);

// Shown, with OK only, each time Sign Load mode is chosen.
QString SignLoadWarningText();

} // namespace telvaro
