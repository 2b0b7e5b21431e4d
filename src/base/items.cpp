#include "base/items.h"

namespace telvaro {

QString ItemName(Item item)
{
    static const std::array<const char *, ItemCount> names = {
#define TELVARO_ITEM_NAME(name) #name,
        TELVARO_ITEMS(TELVARO_ITEM_NAME)
#undef TELVARO_ITEM_NAME
    };
    return QString::fromLatin1(names.at(size_t(item)));
}

bool StartsOperation(Item item)
{
    switch (item) {
    case Item::MnuModeRun:
    case Item::MnuLoadSign:
    case Item::MnuLoadController:
    case Item::MnuUploadController:
    case Item::MnuVerifyController:
    case Item::MnuDisplayLoaded:
    case Item::CmdQuickSend: return true;
    default: return false;
    }
}

MenuState::MenuState(QObject *parent) : QObject(parent)
{
    // "Clear Range" exists but can never be chosen.
    m_items[size_t(Item::MnuEditClearRange)].enabled = false;
}

ItemState MenuState::item(Item which) const
{
    ItemState state = m_items.at(size_t(which));
    if (m_linkHeld && StartsOperation(which))
        state.enabled = false;
    return state;
}

void MenuState::setItem(Item which, ItemState state)
{
    ItemState &stored = m_items.at(size_t(which));
    if (stored == state)
        return;
    const ItemState shown = item(which);
    stored = state;
    if (item(which) != shown)
        Q_EMIT itemChanged(which);
}

void MenuState::setEnabled(Item which, bool enabled)
{
    ItemState s = m_items.at(size_t(which));
    s.enabled = enabled;
    setItem(which, s);
}

void MenuState::setVisible(Item which, bool visible)
{
    ItemState s = m_items.at(size_t(which));
    s.visible = visible;
    setItem(which, s);
}

void MenuState::setChecked(Item which, bool checked)
{
    ItemState s = m_items.at(size_t(which));
    s.checked = checked;
    setItem(which, s);
}

void MenuState::setLinkHeld(bool held)
{
    if (held == m_linkHeld)
        return;
    m_linkHeld = held;
    for (int i = 0; i < ItemCount; ++i) {
        const Item which = Item(i);
        if (StartsOperation(which) && m_items.at(size_t(i)).enabled)
            Q_EMIT itemChanged(which);
    }
}

} // namespace telvaro
