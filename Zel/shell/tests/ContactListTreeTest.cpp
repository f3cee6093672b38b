// The contact list's two trees built from the bus events, fed to the handler in-process: order,
// filter, status moves, unread marks, heights and hit tests.
#include "Zel/shell/tests/ContactListSupport.h"

#include "ZELCommon/ZELWMUI_HiDpi.h"

using namespace ContactListTesting;

namespace {

const unsigned Alice = 11;
const unsigned Bob = 12;

class ContactListTree : public ContactListFixture {
protected:
    // One account with two groups and a contact in each, plus one outside the groups.
    void Populate()
    {
        AddAccount(Alice, L"alice");
        AddGroup(1, Alice, L"Friends");
        AddGroup(2, Alice, L"Work");
        AddContact(ContactId(1), Alice, 1, L"Carol", 2);
        AddContact(ContactId(2), Alice, 2, L"Dave", 0);
        AddContact(ContactId(3), Alice, 0, L"Eve", 0);
    }
};

}  // namespace

TEST_F(ContactListTree, RegistersItsServiceAndSeventeenSubscriptions)
{
    control.reset();
    for (int code = 1; code <= PMEV_COUNT; ++code) bus.RegisterEvent(GUID_PROTOCOLS_MANAGER, code);
    for (int code = 1; code <= CLE_EVENT_COUNT; ++code) bus.RegisterEvent(GUID_CONTACT_LIST_DATA, code);
    Make();
    EXPECT_EQ(bus.GetService(GUID_CONTACT_LIST_CONTROL), static_cast<void*>(control.get()));
    EXPECT_EQ(List().SubscriptionCount(), 17);
    control.reset();
    EXPECT_EQ(bus.GetService(GUID_CONTACT_LIST_CONTROL), nullptr);
}

TEST_F(ContactListTree, BuildsBothViewsFromTheEvents)
{
    Populate();
    CZELLock hold(List().Lock());
    EXPECT_EQ(Children(List().AccountRoot()), std::vector<std::wstring>{L"alice"});
    CCLAccountNode* account = List().FindAccountNode(Alice);
    ASSERT_TRUE(account);
    // The group outside the groups comes last and shows while it holds someone.
    EXPECT_EQ(Children(account), (std::vector<std::wstring>{L"Friends", L"Work", L"Not in list"}));
    EXPECT_EQ(Children(List().FindGroupNode(1, Alice)), std::vector<std::wstring>{L"Carol"});
    EXPECT_EQ(Children(List().FindGroupNode(0, Alice)), std::vector<std::wstring>{L"Eve"});
    // Status view: online, offline, not in list.
    EXPECT_EQ(Children(List().FindStatusGroup(0)), std::vector<std::wstring>{L"Carol"});
    EXPECT_EQ(Children(List().FindStatusGroup(1)), std::vector<std::wstring>{L"Dave"});
    EXPECT_EQ(Children(List().FindStatusGroup(2)), std::vector<std::wstring>{L"Eve"});
    EXPECT_TRUE(List().FindStatusGroup(2)->visible);
    // In the account view the first account is selected.
    EXPECT_EQ(List().Selected(), account);
    // Group indices were given in arrival order and written back.
    EXPECT_EQ(host.groupIndex[1], 0);
    EXPECT_EQ(host.groupIndex[2], 1);
}

TEST_F(ContactListTree, EventsForUnknownItemsChangeNothing)
{
    AddGroup(5, 99, L"Orphan");
    AddContact(ContactId(9), Alice, 7, L"Nobody", 2);
    SetStatus(ContactId(9), 0);
    Data(CLE_CONTACT_REMOVED, ContactId(9));
    Data(CLE_GROUP_REMOVED, 5);
    Manager(PMEV_ACCOUNT_REMOVING, 99);
    CZELLock hold(List().Lock());
    EXPECT_EQ(List().AccountRoot()->firstChild, nullptr);
    EXPECT_FALSE(List().HasContact(ContactId(9)));
}

TEST_F(ContactListTree, ContactsSortUnreadFirstThenOnlineThenByName)
{
    AddAccount(Alice, L"alice");
    AddGroup(1, Alice, L"G");
    struct Case {
        const wchar_t* name;
        int status;
    } cases[] = {{L"zed", 0}, {L"Bea", 2}, {L"amy", 0}, {L"Cy", 1}, {L"bob", 5}, {L"Al", 2}};
    int n = 0;
    for (const Case& c : cases) AddContact(ContactId(++n), Alice, 1, c.name, c.status);
    {
        CZELLock hold(List().Lock());
        // Status 1 sorts by name against everyone; offline after online.
        EXPECT_EQ(Children(List().FindGroupNode(1, Alice)),
                  (std::vector<std::wstring>{L"Al", L"Bea", L"bob", L"amy", L"Cy", L"zed"}));
    }
    List().AddUnread(ContactId(1), 7, 24);  // zed
    {
        CZELLock hold(List().Lock());
        EXPECT_EQ(Children(List().FindGroupNode(1, Alice)).front(), L"zed");
        EXPECT_EQ(Children(List().FindStatusGroup(0)).front(), L"zed");
    }
    SetStatus(ContactId(3), 2);  // amy comes online
    CZELLock hold(List().Lock());
    EXPECT_EQ(Children(List().FindGroupNode(1, Alice)),
              (std::vector<std::wstring>{L"zed", L"Al", L"amy", L"Bea", L"bob", L"Cy"}));
}

TEST_F(ContactListTree, GroupsFollowTheirStoredIndexAndNotInListStaysLast)
{
    AddAccount(Alice, L"alice");
    AddGroup(1, Alice, L"third", 5);
    AddGroup(2, Alice, L"first", 1);
    AddGroup(3, Alice, L"second", 3);
    AddGroup(4, Alice, L"also third", 5);
    AddGroup(5, Alice, L"unstored");
    CZELLock hold(List().Lock());
    EXPECT_EQ(Children(List().FindAccountNode(Alice)),
              (std::vector<std::wstring>{L"first", L"second", L"third", L"also third", L"unstored", L"-Not in list"}));
    // Without a stored index: the last real group's plus one, written back.
    EXPECT_EQ(host.groupIndex[5], 6);
    EXPECT_EQ(host.Count(L"SetGroupIndex"), 1);
}

TEST_F(ContactListTree, OnlyOnlineHidesOfflineContactsAndTheirGroups)
{
    Populate();
    AddContact(ContactId(4), Alice, 2, L"Fay", 1);
    List().SetOnlyOnline(true);
    {
        CZELLock hold(List().Lock());
        EXPECT_EQ(Children(List().FindGroupNode(1, Alice)), std::vector<std::wstring>{L"Carol"});
        // Status 1 is left as it is by the filter; the group shows only for an online first contact.
        EXPECT_EQ(Children(List().FindGroupNode(2, Alice)), (std::vector<std::wstring>{L"-Dave", L"Fay"}));
        EXPECT_FALSE(List().FindGroupNode(2, Alice)->visible);
        EXPECT_TRUE(List().FindGroupNode(0, Alice)->visible);
        EXPECT_FALSE(List().FindStatusGroup(1)->visible);
    }
    // A later status event of type 1 hides it.
    SetStatus(ContactId(4), 1);
    {
        CZELLock hold(List().Lock());
        EXPECT_FALSE(List().FindContactNode(ContactId(4))->visible);
    }
    SetStatus(ContactId(2), 2);
    {
        CZELLock hold(List().Lock());
        EXPECT_TRUE(List().FindGroupNode(2, Alice)->visible);
        EXPECT_EQ(Children(List().FindGroupNode(2, Alice)).front(), L"Dave");
    }
    List().SetOnlyOnline(false);
    CZELLock hold(List().Lock());
    // Off again, everyone shows, status 1 included.
    EXPECT_TRUE(List().FindContactNode(ContactId(2))->visible);
    EXPECT_TRUE(List().FindContactNode(ContactId(4))->visible);
    EXPECT_TRUE(List().FindStatusGroup(1)->visible);
}

TEST_F(ContactListTree, OnlineAlertOnlyWellAfterTheAccountsLogon)
{
    Populate();
    struct Case {
        const wchar_t* name;
        bool logonStored;
        unsigned secondsAgo;
        bool alert;
    } cases[] = {
        {L"just logged on", true, 30, false},
        {L"at the limit", true, 120, false},
        {L"long after", true, 121, true},
        {L"never logged on", false, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        host.log.clear();
        if (c.logonStored) host.logon[Alice] = host.now - c.secondsAgo;
        else host.logon.erase(Alice);
        SetStatus(ContactId(2), 2);
        EXPECT_EQ(host.Count(L"Online"), c.alert ? 1 : 0);
        // Online to online again raises nothing.
        SetStatus(ContactId(2), 3);
        EXPECT_EQ(host.Count(L"Online"), c.alert ? 1 : 0);
        SetStatus(ContactId(2), 0);
    }
}

TEST_F(ContactListTree, SignOffRaisesTheOfflineNotice)
{
    Populate();
    // A real sign-off (status 0) from Online.
    SetStatus(ContactId(1), 0);
    EXPECT_EQ(host.Count(L"Offline " + std::to_wstring(ContactId(1))), 1);
    // Already offline: nothing more.
    SetStatus(ContactId(1), 1);
    EXPECT_EQ(host.Count(L"Offline"), 1);
    CZELLock hold(List().Lock());
    EXPECT_EQ(Children(List().FindStatusGroup(1)), (std::vector<std::wstring>{L"Carol", L"Dave"}));
}

TEST_F(ContactListTree, UnreadMarksComeAndGo)
{
    Populate();
    List().AddUnread(ContactId(2), 10, 24);
    List().AddUnread(ContactId(2), 11, 27);
    EXPECT_EQ(List().UnreadCount(ContactId(2)), 2);
    {
        CZELLock hold(List().Lock());
        EXPECT_TRUE(List().FindContactNode(ContactId(2))->unread);
        // Unread moves it to Online.
        EXPECT_EQ(Children(List().FindStatusGroup(0)).front(), L"Dave");
    }
    // While pairs remain the mark stays; the last one takes entry and mark, and it is refiled.
    EXPECT_EQ(List().TakeUnreadMessage(10), ContactId(2));
    {
        CZELLock hold(List().Lock());
        EXPECT_TRUE(List().FindContactNode(ContactId(2))->unread);
        EXPECT_EQ(List().Unread().size(), 1u);
    }
    EXPECT_EQ(List().TakeUnreadMessage(10), 0);
    EXPECT_EQ(List().TakeUnreadMessage(11), ContactId(2));
    {
        CZELLock hold(List().Lock());
        EXPECT_FALSE(List().FindContactNode(ContactId(2))->unread);
        EXPECT_TRUE(List().Unread().empty());
        EXPECT_EQ(Children(List().FindStatusGroup(1)), std::vector<std::wstring>{L"Dave"});
    }
    List().AddUnread(ContactId(3), 12, 24);
    EXPECT_EQ(List().ClearUnread(ContactId(3)), 1);
    EXPECT_EQ(List().ClearUnread(ContactId(3)), 0);
    EXPECT_EQ(List().ClearUnread(ContactId(99)), -1);
    List().AddUnread(ContactId(99), 1, 24);
    EXPECT_TRUE(List().Unread().empty());
    CZELLock hold(List().Lock());
    EXPECT_EQ(Children(List().FindStatusGroup(2)), std::vector<std::wstring>{L"Eve"});
}

TEST_F(ContactListTree, RemovalsMoveTheSelectionAndHideEmptyGroups)
{
    Populate();
    {
        CZELLock hold(List().Lock());
        List().SelectNode(List().FindContactNode(ContactId(3)));
    }
    Data(CLE_CONTACT_REMOVED, ContactId(3));
    {
        CZELLock hold(List().Lock());
        EXPECT_FALSE(List().FindGroupNode(0, Alice)->visible);
        EXPECT_FALSE(List().FindStatusGroup(2)->visible);
        // Its parent went with it: the account takes the selection.
        EXPECT_EQ(List().Selected(), List().FindAccountNode(Alice));
        List().SelectNode(List().FindGroupNode(2, Alice));
    }
    Data(CLE_GROUP_REMOVED, 2);
    {
        CZELLock hold(List().Lock());
        EXPECT_EQ(List().Selected(), List().FindGroupNode(1, Alice));
        EXPECT_FALSE(List().HasContact(ContactId(2)));
        EXPECT_EQ(Children(List().FindStatusGroup(1)), std::vector<std::wstring>{});
    }
    AddAccount(Bob, L"bob");
    CRefValue first(0);
    Manager(PMEV_ACCOUNT_MOVED, intptr_t(Bob), &first);
    {
        CZELLock hold(List().Lock());
        EXPECT_EQ(Children(List().AccountRoot()), (std::vector<std::wstring>{L"bob", L"alice"}));
    }
    Manager(PMEV_ACCOUNT_REMOVING, intptr_t(Alice));
    CZELLock hold(List().Lock());
    EXPECT_EQ(Children(List().AccountRoot()), std::vector<std::wstring>{L"bob"});
    EXPECT_EQ(List().Selected(), List().FindAccountNode(Bob));
    EXPECT_EQ(Children(List().FindStatusGroup(0)), std::vector<std::wstring>{});
}

TEST_F(ContactListTree, NamesFollowTheirEvents)
{
    Populate();
    host.displayNames[Alice] = L"alice2";
    host.aliases[1] = L"Pals";
    host.aliases[ContactId(1)] = L"Caroline";
    Manager(PMEV_ACCOUNT_RENAMED, intptr_t(Alice));
    Data(CLE_GROUP_CHANGED, 1);
    Data(CLE_CONTACT_CHANGED, ContactId(1));
    CZELLock hold(List().Lock());
    EXPECT_EQ(W(List().FindAccountNode(Alice)->name), L"alice2");
    EXPECT_EQ(W(List().FindGroupNode(1, Alice)->name), L"Pals");
    EXPECT_EQ(W(List().FindContactNode(ContactId(1))->name), L"Caroline");
    EXPECT_EQ(W(List().FindStatusContactNode(ContactId(1))->name), L"Caroline");
}

TEST_F(ContactListTree, ColumnsBelowOneCountAsOne)
{
    ContactListOptions options;
    options.columns = 0;
    control.reset();
    Make(options);
    EXPECT_EQ(List().Columns(), 1);
    Populate();
    List().SetColumns(-3);
    EXPECT_EQ(List().Columns(), 1);
    CZELLock hold(List().Lock());
    EXPECT_EQ(List().FindContactNode(ContactId(1))->GetColumnCount(), 1);
    EXPECT_GT(List().CurrentRoot()->GetHeight(), 0);
    List().SetColumns(3);
    EXPECT_EQ(List().FindContactNode(ContactId(1))->GetColumnCount(), 3);
}

TEST_F(ContactListTree, HeightsAndGridHitTestsAtBothDensities)
{
    struct Case {
        int dpi;
        int header;
        int row;
    } cases[] = {{96, 18, 20}, {192, 36, 40}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dpi);
        g_HIDPI_LogPixelsX = g_HIDPI_LogPixelsY = c.dpi;
        control.reset();
        Make();
        AddAccount(Alice, L"alice");
        AddGroup(1, Alice, L"G");
        for (int i = 1; i <= 5; ++i) AddContact(ContactId(i), Alice, 1, (L"c" + std::to_wstring(i)).c_str(), 2);
        CZELLock hold(List().Lock());
        CCLGroupNode* group = List().FindGroupNode(1, Alice);
        // Two columns, five contacts: three rows.
        EXPECT_EQ(group->GetOwnHeight(), c.header);
        EXPECT_EQ(group->GetHeight(), c.header + 3 * c.row);
        int top = 0, bottom = 0;
        List().FindContactNode(ContactId(5))->GetRect(&top, &bottom);
        EXPECT_EQ(top, c.header * 2 + 2 * c.row);  // account header, group header, two rows
        const int width = 200;
        struct Hit {
            int x, y;
            const wchar_t* name;
        } hits[] = {
            {10, 5, L"G"},
            {10, c.header + 1, L"c1"},
            {150, c.header + 1, L"c2"},
            {10, c.header + c.row + 1, L"c3"},
            {150, c.header + 2 * c.row + 1, nullptr},  // the right half of the third row
            {10, c.header + 3 * c.row + 1, nullptr},
        };
        for (const Hit& hit : hits) {
            CCLNode* node = group->HitTest(hit.x, hit.y, width);
            if (!hit.name) {
                EXPECT_EQ(node, nullptr) << hit.x << "," << hit.y;
                continue;
            }
            ASSERT_TRUE(node) << hit.x << "," << hit.y;
            std::wstring name = node->Kind() == CLGroup ? W(static_cast<CCLGroupNode*>(node)->name)
                                                        : W(static_cast<CCLContactNode*>(node)->name);
            EXPECT_EQ(name, hit.name);
        }
        EXPECT_EQ(List().FindContactNode(ContactId(4))->GetColumnIndex(), 1);
        EXPECT_EQ(List().FindContactNode(ContactId(5))->GetColumnIndex(), 0);
    }
    g_HIDPI_LogPixelsX = g_HIDPI_LogPixelsY = 96;
}

TEST_F(ContactListTree, ExpandStatesAreReadAndStored)
{
    host.settingOpen[L"CLCtrl offline open"] = false;
    host.accountOpen[Alice] = false;
    host.groupOpen[1] = false;
    control.reset();
    Make();
    AddAccount(Alice, L"alice");
    AddGroup(1, Alice, L"G");
    CZELLock hold(List().Lock());
    EXPECT_TRUE(List().FindStatusGroup(0)->expanded);
    EXPECT_FALSE(List().FindStatusGroup(1)->expanded);
    EXPECT_FALSE(List().FindAccountNode(Alice)->expanded);
    EXPECT_FALSE(List().FindGroupNode(1, Alice)->expanded);
    EXPECT_TRUE(List().FindGroupNode(1, Alice)->Activate());
    EXPECT_TRUE(host.groupOpen[1]);
    List().FindStatusGroup(0)->SetExpanded(false);
    EXPECT_FALSE(host.settingOpen[L"CLCtrl online open"]);
    List().FindAccountNode(Alice)->SetExpanded(true);
    EXPECT_TRUE(host.accountOpen[Alice]);
}

TEST_F(ContactListTree, BatchesRepaintOnlyAtTheEnd)
{
    Data(CLE_UPDATE_BEGIN, 0);
    EXPECT_FALSE(List().Repainting());
    Populate();
    Data(CLE_UPDATE_END, 0);
    EXPECT_TRUE(List().Repainting());
}

TEST_F(ContactListTree, ModeSwitchSelectsTheFirstNode)
{
    Populate();
    List().SetMode(0);
    CZELLock hold(List().Lock());
    EXPECT_EQ(List().Selected(), List().FindStatusGroup(0));
    EXPECT_EQ(W(List().GetSoftKeyText()), L"");
}

TEST_F(ContactListTree, ABatchIsReadAgainAtItsEnd)
{
    AddAccount(Alice, L"alice");
    AddGroup(1, Alice, L"Old");
    AddContact(ContactId(1), Alice, 1, L"gone", 2);
    List().AddUnread(ContactId(1), 5, 24);
    // The list the data holds after a batch that announced nothing.
    host.items[Alice] = {{3, 0}, {2, 0}, {2, ContactId(2)}, {3, ContactId(3)}, {0, ContactId(4)}};
    host.aliases[2] = L"Friends";
    host.aliases[3] = L"Work";
    host.groupIndex[3] = 5;
    host.aliases[ContactId(2)] = L"bob";
    host.aliases[ContactId(3)] = L"amy";
    host.aliases[ContactId(4)] = L"zoe";
    host.statuses[ContactId(3)] = 5;
    host.log.clear();
    // An account that is not online has no statuses to give: nobody is asked.
    Data(CLE_UPDATE_BEGIN, 0);
    Data(CLE_UPDATE_END, 0);
    EXPECT_EQ(host.Count(L"Icons"), 0);
    {
        CZELLock hold(List().Lock());
        EXPECT_EQ(Children(List().FindAccountNode(Alice)), (std::vector<std::wstring>{L"Work", L"Friends", L"Not in list"}));
        EXPECT_EQ(Children(List().FindGroupNode(2, Alice)), std::vector<std::wstring>{L"bob"});
        EXPECT_EQ(Children(List().FindStatusGroup(2)), std::vector<std::wstring>{L"zoe"});
        EXPECT_FALSE(List().HasContact(ContactId(1)));
        EXPECT_TRUE(List().Unread().empty());
        EXPECT_EQ(List().Selected(), List().FindAccountNode(Alice));
        // Its index was given, not stored.
        EXPECT_EQ(host.groupIndex.count(2), 0u);
        EXPECT_EQ(List().FindGroupNode(2, Alice)->index, 6);
    }
    host.online[Alice] = true;
    Data(CLE_UPDATE_END, 0);
    EXPECT_EQ(host.Count(L"Icons"), 3);
    CZELLock hold(List().Lock());
    EXPECT_EQ(Children(List().FindStatusGroup(0)), std::vector<std::wstring>{L"amy"});
}

TEST_F(ContactListTree, AnAccountWhoseListCameFirstShowsIt)
{
    host.items[Bob] = {{7, 0}, {7, ContactId(7)}};
    host.aliases[7] = L"G";
    host.aliases[ContactId(7)] = L"carl";
    AddAccount(Bob, L"bob");
    CZELLock hold(List().Lock());
    EXPECT_EQ(Children(List().FindGroupNode(7, Bob)), std::vector<std::wstring>{L"carl"});
    EXPECT_EQ(Children(List().FindStatusGroup(1)), std::vector<std::wstring>{L"carl"});
}
