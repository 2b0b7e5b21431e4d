#pragma once
// The main window's menu bar as data: names, captions with access keys and
// shortcuts. The window builds its menus from it; the core keeps each item's
// visible/enabled/checked state by name.

#include <QList>
#include <QString>

namespace telvaro {

struct MenuItemDef {
    QString name;
    QString caption;
    QString shortcut; // portable text form, e.g. "Ctrl+N"
    QString parent;   // empty for a menu-bar entry
};

// In menu-bar order, each menu followed by its items.
const QList<MenuItemDef> &MainMenuDefinition();

struct ItemState {
    bool visible = true;
    bool enabled = true;
    bool checked = false;
    bool operator==(const ItemState &) const = default;
};

} // namespace telvaro
