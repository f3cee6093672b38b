// The popup-menu model: every context menu is built as data, handed to the account concerned to be
// changed in place (during one synchronous call), then shown. The program and every plug-in read
// and write these records directly, so both build them from this one declaration and its layout is
// shared; all modules allocate from the same heap.
//
// A chosen item gives back its callback, command id and argument. When the callback is set, the
// menu's owner calls it with (a context of its own, argument): the account id for a status menu
// (0 for the global one), the window's own context for the other menus. Items without a callback
// are handled by the owner by their command id. Contexts and arguments are pointer-sized.
#pragma once

#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELString.h"

#include <cstdint>

class CPopupMenu;

typedef void (*MenuCallback)(intptr_t context, intptr_t argument);

enum MenuItemKind {
    MENU_ITEM_PLAIN = 0,
    MENU_ITEM_SEPARATOR = 1,  // no other field is used
    MENU_ITEM_INFO = 2,       // an information line, built without a command
    MENU_ITEM_SUBMENU = 3,    // opens subMenu
};

class CMenuItem {
public:
    // Kind only (separators); also the blank item an array is built with.
    explicit CMenuItem(int kind = MENU_ITEM_PLAIN);
    // No images.
    CMenuItem(int kind, const CZELString& text, int commandId, MenuCallback callback, intptr_t argument, bool checked);
    // One image, or none when firstImage is -1.
    CMenuItem(int kind, int firstImage, const CZELString& text, int commandId, MenuCallback callback, intptr_t argument,
              bool checked);
    // A sub-menu item (kind 3) holding a copy of subMenu; no callback, argument 0, unchecked.
    CMenuItem(int firstImage, const CZELString& text, int commandId, const CPopupMenu& subMenu);
    // A copy of an image list (the global status menu's form).
    CMenuItem(int kind, const CZELArray<int>& images, const CZELString& text, int commandId, MenuCallback callback,
              intptr_t argument, bool checked);

    // Copies own a new copy of the sub-menu, so destroying one item never touches another's.
    CMenuItem(const CMenuItem& other);
    CMenuItem& operator=(const CMenuItem& other);
    virtual ~CMenuItem();

    int kind;
    CZELString text;
    CZELArray<int> images;  // skin image indices; grows by 10
    MenuCallback callback;
    int commandId;
    intptr_t argument;
    CPopupMenu* subMenu;    // owned; kind 3 only
    unsigned char checked;  // marks the current choice
};

class CPopupMenu {
public:
    CPopupMenu() {}
    CPopupMenu(const CPopupMenu& other) = default;
    CPopupMenu& operator=(const CPopupMenu& other) = default;
    virtual ~CPopupMenu() {}

    // Appends a copy of item; its index, or -1 when memory runs out.
    int AddItem(const CMenuItem& item);
    // Inserts a copy of item before index (at the end when index is the count); its index, or -1
    // when index is out of range or memory runs out.
    int InsertItem(int index, const CMenuItem& item);
    // Removes the item at index; false when there is none.
    bool RemoveItem(int index);
    // The index of the first item with that command id, or -1.
    int FindItem(int commandId) const;

    int GetCount() const { return items.GetCount(); }

    CZELArray<CMenuItem> items;  // display order; grows by 10
    CZELString title;            // shown above the items; empty for most menus
};
