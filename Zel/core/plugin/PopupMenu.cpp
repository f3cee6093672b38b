#include "Zel/core/plugin/PopupMenu.h"

#include <new>

CMenuItem::CMenuItem(int kind) : kind(kind), callback(nullptr), commandId(0), argument(0), subMenu(nullptr), checked(0)
{
}

CMenuItem::CMenuItem(int kind, const CZELString& text, int commandId, MenuCallback callback, intptr_t argument,
                     bool checked)
    : kind(kind),
      text(text),
      callback(callback),
      commandId(commandId),
      argument(argument),
      subMenu(nullptr),
      checked(checked ? 1 : 0)
{
}

CMenuItem::CMenuItem(int kind, int firstImage, const CZELString& text, int commandId, MenuCallback callback,
                     intptr_t argument, bool checked)
    : CMenuItem(kind, text, commandId, callback, argument, checked)
{
    if (firstImage != -1) images.Add(firstImage);
}

CMenuItem::CMenuItem(int firstImage, const CZELString& text, int commandId, const CPopupMenu& subMenu)
    : CMenuItem(MENU_ITEM_SUBMENU, firstImage, text, commandId, nullptr, 0, false)
{
    this->subMenu = new (std::nothrow) CPopupMenu(subMenu);
}

CMenuItem::CMenuItem(int kind, const CZELArray<int>& images, const CZELString& text, int commandId,
                     MenuCallback callback, intptr_t argument, bool checked)
    : CMenuItem(kind, text, commandId, callback, argument, checked)
{
    this->images = images;
}

CMenuItem::CMenuItem(const CMenuItem& other)
    : kind(other.kind),
      text(other.text),
      images(other.images),
      callback(other.callback),
      commandId(other.commandId),
      argument(other.argument),
      subMenu(other.subMenu ? new (std::nothrow) CPopupMenu(*other.subMenu) : nullptr),
      checked(other.checked)
{
}

CMenuItem& CMenuItem::operator=(const CMenuItem& other)
{
    if (this == &other) return *this;
    // The new copy is made before the old sub-menu goes: other may live inside it.
    CPopupMenu* copied = other.subMenu ? new (std::nothrow) CPopupMenu(*other.subMenu) : nullptr;
    kind = other.kind;
    text = other.text;
    images = other.images;
    callback = other.callback;
    commandId = other.commandId;
    argument = other.argument;
    checked = other.checked;
    delete subMenu;
    subMenu = copied;
    return *this;
}

CMenuItem::~CMenuItem()
{
    delete subMenu;
}

int CPopupMenu::AddItem(const CMenuItem& item)
{
    return items.Add(item);
}

int CPopupMenu::InsertItem(int index, const CMenuItem& item)
{
    if (index < 0 || index > items.GetCount()) return -1;
    // A copy first: item may be one of this menu's own items, which the shift below overwrites.
    CMenuItem copy(item);
    int last = items.Add(copy);
    if (last < 0) return -1;
    for (int i = last; i > index; --i) items[i] = items[i - 1];
    items[index] = copy;
    return index;
}

bool CPopupMenu::RemoveItem(int index)
{
    if (index < 0 || index >= items.GetCount()) return false;
    items.RemoveAt(index);
    return true;
}

int CPopupMenu::FindItem(int commandId) const
{
    for (int i = 0; i < items.GetCount(); ++i)
        if (items[i].commandId == commandId) return i;
    return -1;
}
