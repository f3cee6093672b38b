// The program's menus as the tests read them after an account adjusted them: the host's items by
// id, the account's by text and image, a sub-menu's items indented below it; and an item found by
// its text, to choose it as the user would.
#pragma once

#include "Jabber/tests/ContactListView.h"

#include "Zel/core/accounts/IProtocolsManager.h"
#include "Zel/core/plugin/PopupMenu.h"

#include <initializer_list>
#include <string>
#include <vector>

namespace JabberTest {

typedef std::vector<std::string> MenuRows;

inline void AddMenuRows(const CPopupMenu& menu, const std::string& indent, MenuRows& rows)
{
    for (int i = 0; i < menu.GetCount(); ++i) {
        const CMenuItem& item = menu.items[i];
        if (item.kind == MENU_ITEM_SEPARATOR) {
            rows.push_back(indent + "-");
            continue;
        }
        if (item.commandId) {
            rows.push_back(indent + std::to_string(item.commandId));
            continue;
        }
        // Image indices depend on the skin: a row says whether the item has one.
        const int image = item.images.GetCount() ? item.images[0] : -1;
        rows.push_back(indent + Narrow(item.text) + (image >= 0 ? "|image" : "|" + std::to_string(image)) +
                       (item.callback ? "" : "|none"));
        if (item.subMenu) AddMenuRows(*item.subMenu, indent + "  ", rows);
    }
}

inline MenuRows RowsOf(const CPopupMenu& menu)
{
    MenuRows rows;
    AddMenuRows(menu, "", rows);
    return rows;
}

// A menu as the program hands it over: its own items with these ids.
inline CPopupMenu HostMenu(std::initializer_list<int> ids)
{
    CPopupMenu menu;
    for (int id : ids) menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, -1, CZELString(L"host"), id, nullptr, 0, false));
    return menu;
}

// The item with text, sub-menus searched too; null when there is none.
inline const CMenuItem* ItemNamed(const CPopupMenu& menu, const std::string& text)
{
    for (int i = 0; i < menu.GetCount(); ++i) {
        if (Narrow(menu.items[i].text) == text) return &menu.items[i];
        if (menu.items[i].subMenu)
            if (const CMenuItem* inner = ItemNamed(*menu.items[i].subMenu, text)) return inner;
    }
    return nullptr;
}

// The program's own items of a contact's menu and of the chat window's menu.
inline CPopupMenu ContactHostMenu()
{
    return HostMenu({4000, 4001, 4002, 4003, 4004, 4005, 4006, 4007, 4008, 4009, 4010, 4011, 4012});
}
inline CPopupMenu ChatHostMenu() { return HostMenu({5000, 5001}); }

// The program's contact and chat menus for contactId, as the account adjusted them.
inline CPopupMenu ContactMenuOf(IProtocolsManager& manager, unsigned account, int contactId)
{
    CPopupMenu menu = ContactHostMenu();
    manager.FillContactMenu(account, contactId, &menu);
    return menu;
}

inline CPopupMenu ChatMenuOf(IProtocolsManager& manager, unsigned account, int contactId)
{
    CPopupMenu menu = ChatHostMenu();
    manager.FillChatMenu(account, contactId, &menu);
    return menu;
}

// Chooses the item with text as the user would: false when the menu has none.
inline bool Choose(const CPopupMenu& menu, const std::string& text)
{
    const CMenuItem* item = ItemNamed(menu, text);
    if (!item || !item->callback) return false;
    item->callback(0, item->argument);
    return true;
}

}  // namespace JabberTest
