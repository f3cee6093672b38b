#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/accounts/GlobalStatus.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::wstring Text(const CZELString& s)
{
    return s.GetBuffer() ? std::wstring(s.GetBuffer(), size_t(s.GetLength())) : std::wstring();
}

// The table as the application fills it: 5 to 14, then 2, 3, 4, 1, 0.
GlobalStatus::Table ApplicationTable()
{
    GlobalStatus::Table table;
    table.title = L"Status";
    for (int status : {5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 2, 3, 4, 1, 0}) {
        StatusEntry entry;
        entry.status = status;
        entry.name = AccountStatus::Names[status];
        entry.images.Add(status);
        entry.images.Add(100 + status);
        table.entries.Add(entry);
    }
    return table;
}

void Choose(intptr_t context, intptr_t argument) {}

}  // namespace

// One report of an account's new status s, with the global status g before and the statuses the
// accounts give when asked (the reporting one included).
TEST(GlobalStatusRules, Table)
{
    struct Case {
        const char* name;
        int s;
        int g;
        std::vector<int> accounts;
        int expected;
        bool announce;
        bool asks;
    } cases[] = {
        {"rule 1: first account connecting", 1, 0, {1, 0, 0}, 1, true, false},
        {"rule 1: connected from connecting", 2, 1, {2, 0, 0}, 2, true, false},
        {"rule 1: straight to away", 11, 0, {11, 0}, 11, true, false},
        {"rule 3: connecting while another is online", 1, 2, {2, 1, 0}, 2, true, true},
        {"rule 2: the online one drops, one still connecting", 0, 2, {0, 1, 0}, 1, true, true},
        {"rule 2: the last one drops", 0, 1, {0, 0, 0}, 0, true, true},
        {"rule 2: one stays online", 0, 2, {0, 2}, 2, false, true},
        {"rule 2: connecting, another still connecting", 0, 1, {0, 1}, 1, false, true},
        {"rule 2: an account that cannot answer counts as offline", 0, 2, {0, -1}, 0, true, true},
        {"rule 3: all connected agree", 11, 2, {11, 11}, 11, true, true},
        {"rule 3: connected ones disagree", 11, 2, {11, 2}, 2, false, true},
        {"rule 3: only offline and connecting", 1, 2, {1, 0}, 2, false, true},
        {"rule 3: agreement on the same status is announced again", 2, 2, {2, 0, 2}, 2, true, true},
        {"rule 3: offline report while offline", 0, 0, {0, 0}, 0, false, true},
        {"rule 3: agreement ignores the unconnected", 5, 11, {5, 1, 0, 5}, 5, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool asked = false;
        bool announce = !c.announce;
        int g = GlobalStatus::Recompute(
            c.s, c.g,
            [&]() {
                asked = true;
                return c.accounts;
            },
            announce);
        EXPECT_EQ(g, c.expected);
        EXPECT_EQ(announce, c.announce);
        EXPECT_EQ(asked, c.asks);
    }
}

// With the application's table the menu reads 5 to 9, a separator, 10 to 14, a separator, 2 to 4,
// a separator, 0: no item for Connecting.
TEST(GlobalStatusMenu, FollowsTheTable)
{
    GlobalStatus::Table table = ApplicationTable();
    CPopupMenu menu;
    GlobalStatus::BuildMenu(table, 11, &Choose, menu);

    EXPECT_EQ(Text(menu.title), L"Status");
    std::vector<int> expected = {5, 6, 7, 8, 9, -1, 10, 11, 12, 13, 14, -1, 2, 3, 4, -1, 0};
    ASSERT_EQ(menu.GetCount(), int(expected.size()));
    int items = 0;
    for (int i = 0; i < menu.GetCount(); ++i) {
        SCOPED_TRACE(i);
        const CMenuItem& item = menu.items[i];
        if (expected[i] == -1) {
            EXPECT_EQ(item.kind, MENU_ITEM_SEPARATOR);
            continue;
        }
        ++items;
        EXPECT_EQ(item.kind, MENU_ITEM_PLAIN);
        EXPECT_EQ(item.argument, expected[i]);
        EXPECT_EQ(item.commandId, 0);
        EXPECT_EQ(item.callback, &Choose);
        EXPECT_EQ(Text(item.text), AccountStatus::Names[expected[i]]);
        ASSERT_EQ(item.images.GetCount(), 2);
        EXPECT_EQ(item.images[0], expected[i]);
        EXPECT_EQ(item.images[1], 100 + expected[i]);
        EXPECT_EQ(item.checked, expected[i] == 11 ? 1 : 0);
    }
    EXPECT_EQ(items, 14);
}

TEST(GlobalStatusMenu, EmptyTableGivesTitleOnly)
{
    GlobalStatus::Table table;
    CPopupMenu menu;
    menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, L"owner's", 1, nullptr, 0, false));
    GlobalStatus::BuildMenu(table, 0, &Choose, menu);
    EXPECT_EQ(menu.GetCount(), 1);
    EXPECT_TRUE(menu.title.IsEmpty());
}

TEST(GlobalStatusTable, FindEntryTakesTheFirstMatchAndLeavesOutAloneOtherwise)
{
    GlobalStatus::Table table = ApplicationTable();
    StatusEntry duplicate;
    duplicate.status = 2;
    duplicate.name = L"second Online";
    table.entries.Add(duplicate);

    StatusEntry out;
    ASSERT_TRUE(GlobalStatus::FindEntry(table, 2, out));
    EXPECT_EQ(Text(out.name), L"Online");

    out.status = 77;
    out.name = L"untouched";
    EXPECT_FALSE(GlobalStatus::FindEntry(table, 99, out));
    EXPECT_EQ(out.status, 77);
    EXPECT_EQ(Text(out.name), L"untouched");
}

// A fill replaces the table only once every holder of its payloads let go; a reader keeps the
// table it took, whole, whatever happens meanwhile.
TEST(GlobalStatusTable, FillsAreSwappedInWhenTheLastPayloadGoes)
{
    GlobalStatus::CTableStore store;
    std::shared_ptr<const GlobalStatus::Table> before = store.Current();
    ASSERT_TRUE(before);
    EXPECT_EQ(before->entries.GetCount(), 0);

    CRefValue* title = nullptr;
    CRefValue* entries = nullptr;
    store.NewFill(title, entries);
    ASSERT_TRUE(title && entries);
    title->AddRef(1);
    entries->AddRef(1);
    *reinterpret_cast<CZELString*>(title->value) = L"Status";
    GlobalStatus::Table filled = ApplicationTable();
    *reinterpret_cast<CZELArray<StatusEntry>*>(entries->value) = filled.entries;

    title->Release();
    EXPECT_EQ(store.Current()->entries.GetCount(), 0);  // the table payload is still held
    entries->Release();
    std::shared_ptr<const GlobalStatus::Table> after = store.Current();
    EXPECT_EQ(after->entries.GetCount(), 15);
    EXPECT_EQ(Text(after->title), L"Status");
    EXPECT_EQ(before->entries.GetCount(), 0);  // the old snapshot is unchanged

    // An older fill that ends after a newer one does not undo it.
    CRefValue *oldTitle = nullptr, *oldEntries = nullptr, *newTitle = nullptr, *newEntries = nullptr;
    store.NewFill(oldTitle, oldEntries);
    store.NewFill(newTitle, newEntries);
    StatusEntry one;
    one.status = 3;
    reinterpret_cast<CZELArray<StatusEntry>*>(newEntries->value)->Add(one);
    newTitle->AddRef(0);
    newEntries->AddRef(0);
    EXPECT_EQ(store.Current()->entries.GetCount(), 1);
    oldTitle->AddRef(0);
    oldEntries->AddRef(0);
    EXPECT_EQ(store.Current()->entries.GetCount(), 1);
}
