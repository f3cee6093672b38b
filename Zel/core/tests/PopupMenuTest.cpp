#include "Zel/core/plugin/PopupMenu.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

// A sub-menu whose destruction the test can see: its items live only inside it.
struct Counter {
    static int destroyed;
};
int Counter::destroyed = 0;

class CCountedMenu : public CPopupMenu {
public:
    CCountedMenu() {}
    CCountedMenu(const CCountedMenu& other) : CPopupMenu(other) {}
    ~CCountedMenu() override { ++Counter::destroyed; }
};

std::wstring Text(const CZELString& s)
{
    return s.GetBuffer() ? std::wstring(s.GetBuffer(), size_t(s.GetLength())) : std::wstring();
}

std::vector<int> Commands(const CPopupMenu& menu)
{
    std::vector<int> ids;
    for (int i = 0; i < menu.GetCount(); ++i) ids.push_back(menu.items[i].commandId);
    return ids;
}

void Chosen(intptr_t context, intptr_t argument) {}

CPopupMenu MenuOf(std::initializer_list<int> ids)
{
    CPopupMenu menu;
    for (int id : ids) menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, L"item", id, nullptr, 0, false));
    return menu;
}

}  // namespace

TEST(PopupMenu, ConstructorFormsFillTheirFields)
{
    CPopupMenu sub;
    sub.AddItem(CMenuItem(MENU_ITEM_PLAIN, L"inner", 7, nullptr, 0, false));
    CZELArray<int> images;
    images.Add(3);
    images.Add(4);
    intptr_t wide = intptr_t(0x123456789ABCLL);

    struct Case {
        const char* name;
        CMenuItem item;
        int kind;
        std::wstring text;
        std::vector<int> images;
        int commandId;
        bool hasCallback;
        intptr_t argument;
        bool hasSubMenu;
        int checked;
    } cases[] = {
        {"separator", CMenuItem(MENU_ITEM_SEPARATOR), 1, L"", {}, 0, false, 0, false, 0},
        {"plain", CMenuItem(MENU_ITEM_PLAIN, L"Plain", 12, &Chosen, 5, true), 0, L"Plain", {}, 12, true, 5, false, 1},
        {"one image", CMenuItem(MENU_ITEM_PLAIN, 9, L"Image", 13, &Chosen, wide, false), 0, L"Image", {9}, 13, true,
         wide, false, 0},
        {"first image -1 gives no images", CMenuItem(MENU_ITEM_INFO, -1, L"Info", 0, nullptr, 0, false), 2, L"Info",
         {}, 0, false, 0, false, 0},
        {"sub-menu", CMenuItem(8, L"Move to group", 4011, sub), 3, L"Move to group", {8}, 4011, false, 0, true, 0},
        {"image list", CMenuItem(MENU_ITEM_PLAIN, images, L"Online", 0, &Chosen, 2, true), 0, L"Online", {3, 4}, 0,
         true, 2, false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.item.kind, c.kind);
        EXPECT_EQ(Text(c.item.text), c.text);
        std::vector<int> got;
        for (int i = 0; i < c.item.images.GetCount(); ++i) got.push_back(c.item.images[i]);
        EXPECT_EQ(got, c.images);
        EXPECT_EQ(c.item.commandId, c.commandId);
        EXPECT_EQ(c.item.callback != nullptr, c.hasCallback);
        EXPECT_EQ(c.item.argument, c.argument);
        EXPECT_EQ(c.item.subMenu != nullptr, c.hasSubMenu);
        EXPECT_EQ(c.item.checked, c.checked);
    }
}

// The item owns a copy: the menu it was built from may go at once.
TEST(PopupMenu, SubMenuItemHoldsItsOwnCopy)
{
    CMenuItem item(-1, L"Groups", 4011, MenuOf({1, 2}));
    ASSERT_NE(item.subMenu, nullptr);
    EXPECT_EQ(Commands(*item.subMenu), (std::vector<int>{1, 2}));
}

TEST(PopupMenu, DestroyingAMenuDestroysItsSubMenus)
{
    Counter::destroyed = 0;
    {
        CPopupMenu* menu = new CPopupMenu();
        menu->AddItem(CMenuItem(MENU_ITEM_SUBMENU));
        // Two levels: the menu owns a sub-menu which owns one of its own.
        CCountedMenu* middle = new CCountedMenu();
        middle->AddItem(CMenuItem(MENU_ITEM_SUBMENU));
        middle->items[0].subMenu = new CCountedMenu();
        menu->items[0].subMenu = middle;
        EXPECT_EQ(Counter::destroyed, 0);
        delete menu;
    }
    // Both went through their virtual destructors.
    EXPECT_EQ(Counter::destroyed, 2);
}

TEST(PopupMenu, CopiesAndAssignmentsNeverShareASubMenu)
{
    CMenuItem first(-1, L"A", 1, MenuOf({10}));
    CMenuItem copy(first);
    ASSERT_NE(copy.subMenu, nullptr);
    EXPECT_NE(copy.subMenu, first.subMenu);

    CMenuItem target(-1, L"B", 2, MenuOf({20, 21}));
    target = first;
    ASSERT_NE(target.subMenu, nullptr);
    EXPECT_NE(target.subMenu, first.subMenu);
    EXPECT_EQ(Commands(*target.subMenu), (std::vector<int>{10}));

    // Destroying one leaves the others whole.
    first = CMenuItem(MENU_ITEM_SEPARATOR);
    EXPECT_EQ(first.subMenu, nullptr);
    EXPECT_EQ(Commands(*copy.subMenu), (std::vector<int>{10}));
    EXPECT_EQ(Commands(*target.subMenu), (std::vector<int>{10}));

    // Self-assignment keeps the sub-menu.
    CMenuItem& alias = target;
    target = alias;
    ASSERT_NE(target.subMenu, nullptr);
    EXPECT_EQ(Commands(*target.subMenu), (std::vector<int>{10}));

    // Assigning an item of the target's own sub-menu to the target.
    CMenuItem nested(-1, L"outer", 3, CPopupMenu());
    nested.subMenu->AddItem(CMenuItem(-1, L"inner", 4, MenuOf({40})));
    nested = nested.subMenu->items[0];
    EXPECT_EQ(nested.commandId, 4);
    ASSERT_NE(nested.subMenu, nullptr);
    EXPECT_EQ(Commands(*nested.subMenu), (std::vector<int>{40}));
}

TEST(PopupMenu, ImagesCanBeAddedToAnItemBuiltWithout)
{
    CMenuItem item(MENU_ITEM_PLAIN, L"x", 1, nullptr, 0, false);
    for (int i = 0; i < 25; ++i) ASSERT_EQ(item.images.Add(i), i);
    EXPECT_EQ(item.images.GetCount(), 25);
    EXPECT_EQ(item.images[24], 24);
}

TEST(PopupMenu, AddInsertRemoveAndFind)
{
    CPopupMenu menu = MenuOf({4001, 4003, 4004, 4010});
    EXPECT_EQ(menu.FindItem(4004), 2);
    EXPECT_EQ(menu.FindItem(9999), -1);

    struct Case {
        const char* name;
        int index;
        int result;
        std::vector<int> after;
    } inserts[] = {
        {"front", 0, 0, {1, 4001, 4003, 4004, 4010}},
        {"middle", 2, 2, {1, 4001, 2, 4003, 4004, 4010}},
        {"end", 6, 6, {1, 4001, 2, 4003, 4004, 4010, 3}},
        {"past the end", 8, -1, {1, 4001, 2, 4003, 4004, 4010, 3}},
        {"negative", -1, -1, {1, 4001, 2, 4003, 4004, 4010, 3}},
    };
    int next = 1;
    for (const Case& c : inserts) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(menu.InsertItem(c.index, CMenuItem(MENU_ITEM_PLAIN, L"new", next, nullptr, 0, false)), c.result);
        if (c.result >= 0) ++next;
        EXPECT_EQ(Commands(menu), c.after);
    }

    EXPECT_TRUE(menu.RemoveItem(menu.FindItem(4010)));
    EXPECT_FALSE(menu.RemoveItem(menu.FindItem(4010)));
    EXPECT_FALSE(menu.RemoveItem(100));
    EXPECT_EQ(Commands(menu), (std::vector<int>{1, 4001, 2, 4003, 4004, 3}));

    // Inserting one of the menu's own items copies it before anything moves.
    menu.InsertItem(0, menu.items[4]);
    EXPECT_EQ(Commands(menu), (std::vector<int>{4004, 1, 4001, 2, 4003, 4004, 3}));
}

TEST(PopupMenu, MenuCopyIsDeep)
{
    CPopupMenu menu;
    menu.title = L"Title";
    menu.AddItem(CMenuItem(-1, L"sub", 1, MenuOf({5})));
    CPopupMenu copy(menu);
    EXPECT_EQ(Text(copy.title), L"Title");
    ASSERT_EQ(copy.GetCount(), 1);
    ASSERT_NE(copy.items[0].subMenu, nullptr);
    EXPECT_NE(copy.items[0].subMenu, menu.items[0].subMenu);
    menu.RemoveItem(0);
    EXPECT_EQ(Commands(*copy.items[0].subMenu), (std::vector<int>{5}));
}
