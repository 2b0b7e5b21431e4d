#pragma once
// The main window's menu bar as data: identities, captions with access keys
// and shortcuts. The window builds its menus from it; the core keeps each
// item's state in a MenuState.

#include "base/items.h"

#include <QList>
#include <QString>
#include <optional>

namespace telvaro {

struct MenuItemDef {
    Item item;
    QString caption;
    QString shortcut;           // portable text form, e.g. "Ctrl+N"
    std::optional<Item> parent; // none for a menu-bar entry
};

// In menu-bar order, each menu followed by its items.
const QList<MenuItemDef> &MainMenuDefinition();

} // namespace telvaro
