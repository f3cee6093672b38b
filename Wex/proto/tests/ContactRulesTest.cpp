// The privacy rule before answering a contact, the typing throttle, and the time shown on a message
// kept offline.
#include "Wex/proto/ContactRules.h"
#include "Wex/proto/OfflineText.h"

#include "WexTestSupport.h"

#include <gtest/gtest.h>

using namespace WexTest;
using namespace Wex;

namespace {

ServerListItem Item(const wchar_t* name, unsigned short group, unsigned short type, int contactId = 0)
{
    ServerListItem item(contactId);
    item.Name = CZELString(name);
    item.GroupId = group;
    item.ItemType = type;
    return item;
}

ServerList SampleList()
{
    ServerList list;
    list.Items = {
        Item(L"Friends", 1, ItemGroup, 7),
        Item(L"100", 1, ItemBuddy, 0x80000001),
        Item(L"Bob", 1, ItemBuddy, 0x80000002),
        Item(L"300", 0, ItemBuddy, 0x80000003),
        Item(L"100", 0, ItemVisible),
        Item(L"200", 1, ItemBuddy, 0x80000004),
        Item(L"200", 0, ItemInvisible),
        Item(L"400", 1, ItemBuddy, 0x80000005),
        Item(L"400", 0, ItemVisible),
        Item(L"400", 0, ItemInvisible),
        Item(L"400", 0, ItemIgnore),
    };
    return list;
}

} // namespace

TEST(ContactRules, PrivacyDecidesWhoIsAnswered)
{
    const ServerList list = SampleList();
    const ServerListItem* onVisible = &list.Items[1];   // 100, in a group, on the visible list
    const ServerListItem* plain = &list.Items[2];       // Bob, in a group
    const ServerListItem* outside = &list.Items[3];     // 300, in no group
    const ServerListItem* onInvisible = &list.Items[5]; // 200, in a group, on the invisible list
    struct Case {
        int mode;
        bool none, visible, plainOne, outsideOne, invisible;
    };
    const Case cases[] = {
        {1, false, true, true, true, true},   {2, false, false, false, false, false},
        {3, false, true, false, false, false}, {4, false, true, true, false, false},
        {5, false, true, true, false, true},  {0, false, true, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        EXPECT_EQ(c.none, IsVisibleTo(list, nullptr, c.mode));
        EXPECT_EQ(c.visible, IsVisibleTo(list, onVisible, c.mode));
        EXPECT_EQ(c.plainOne, IsVisibleTo(list, plain, c.mode));
        EXPECT_EQ(c.outsideOne, IsVisibleTo(list, outside, c.mode));
        EXPECT_EQ(c.invisible, IsVisibleTo(list, onInvisible, c.mode));
    }
}

TEST(ContactRules, TypingBeginsGoOutOnceInFourSeconds)
{
    // Calls at seconds 100 (begin), 101 (stop), 101 (begin), 102, 104, 105 (begins).
    struct Call {
        unsigned second;
        bool stopped;
        bool sent;
    };
    const Call calls[] = {{100, false, true}, {102, false, false}, {104, false, true},
                          {105, true, true},  {105, false, true},  {107, false, false}, {109, false, true}};
    ServerListItem item = Item(L"1", 1, ItemBuddy);
    for (const Call& call : calls) {
        SCOPED_TRACE(call.second);
        const bool due = TypingNoticeDue(item, call.second, call.stopped);
        EXPECT_EQ(call.sent, due);
        if (due) item.LastTypingSent = call.stopped ? 0 : call.second;
    }
}

TEST(OfflineText, NamesTheLocalTimeItWasSent)
{
    const time_t sent = Wex::UniversalTimeOf(2009, 3, 14, 15, 9);
    EXPECT_EQ(time_t(1237043340), sent);
    wchar_t when[128];
    wcsftime(when, 128, L"%c", localtime(&sent));
    EXPECT_EQ(std::wstring(L"Offline message (") + when + L")\r\nhi",
              Text(Wex::OfflineMessageText(CZELString(L"Offline message"), sent, CZELString(L"hi"))));
    EXPECT_EQ(time_t(-1), Wex::UniversalTimeOf(2009, 13, 1, 0, 0));
    EXPECT_EQ(time_t(-1), Wex::UniversalTimeOf(0, 1, 1, 0, 0));
}
