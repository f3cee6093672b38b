// The contact list's keys, stylus and menus: moves through a grid, the menus' items as captured
// models, and their commands run by item id, also when the item goes while a dialog is open.
#include "Zel/shell/tests/ContactListSupport.h"

#include "Zel/shell/menu/PopupMenuWnd.h"
#include "Zel/shell/skin/ColorScheme.h"
#include "ZELCommon/tests/UiTestSupport.h"
#include "ZELCommon/tests/WindowScreenshot.h"

#include <functional>

using namespace ContactListTesting;

namespace {

const unsigned Alice = 21;

// Captures every menu shown and picks the item with the wanted number (none: cancels).
struct MenuCapture {
    std::vector<CPopupMenu> menus;
    int pick = -1;

    static PopupMenuResult Run(void* context, const CPopupMenu& menu, const RECT&, const POINT&, int)
    {
        auto* capture = static_cast<MenuCapture*>(context);
        capture->menus.push_back(menu);
        for (int i = 0; i < menu.items.GetCount(); ++i) {
            const CMenuItem& item = menu.items[i];
            if (item.commandId == capture->pick && item.kind != MENU_ITEM_SEPARATOR)
                return PopupMenuResult{item.callback, item.commandId, item.argument};
            if (item.subMenu)
                for (int k = 0; k < item.subMenu->items.GetCount(); ++k)
                    if (item.subMenu->items[k].commandId == capture->pick)
                        return PopupMenuResult{item.subMenu->items[k].callback, capture->pick,
                                               item.subMenu->items[k].argument};
        }
        return NothingChosen;
    }

    // The numbers of the last menu, separators as negatives.
    std::vector<int> Numbers() const
    {
        std::vector<int> numbers;
        const CPopupMenu& menu = menus.back();
        for (int i = 0; i < menu.items.GetCount(); ++i)
            numbers.push_back(menu.items[i].kind == MENU_ITEM_SEPARATOR ? -menu.items[i].commandId
                                                                         : menu.items[i].commandId);
        return numbers;
    }
};

class ContactListInput : public ContactListFixture {
protected:
    void SetUp() override
    {
        ContactListFixture::SetUp();
        SetPopupMenuRunner(&MenuCapture::Run, &capture);
    }
    void TearDown() override
    {
        SetPopupMenuRunner(nullptr, nullptr);
        ContactListFixture::TearDown();
    }

    // One account, a group of five online contacts c1..c5, a second group with one.
    void Populate()
    {
        AddAccount(Alice, L"alice");
        AddGroup(1, Alice, L"G");
        AddGroup(2, Alice, L"H");
        for (int i = 1; i <= 5; ++i) AddContact(ContactId(i), Alice, 1, (L"c" + std::to_wstring(i)).c_str(), 2);
        AddContact(ContactId(6), Alice, 2, L"h1", 0);
    }

    std::wstring SelectedName()
    {
        CZELLock hold(List().Lock());
        CCLNode* node = List().Selected();
        if (!node) return L"";
        switch (node->Kind()) {
        case CLContact: return W(static_cast<CCLContactNode*>(node)->name);
        case CLGroup: return W(static_cast<CCLGroupNode*>(node)->name);
        case CLAccount: return W(static_cast<CCLAccountNode*>(node)->name);
        default: return std::to_wstring(node->ItemId());
        }
    }

    void Select(CCLNode* node) { List().SelectByTap(node); }

    void Menu(CLNodeKind kind, intptr_t item, int pick = -1)
    {
        capture.pick = pick;
        List().ShowNodeMenu(kind, item, nullptr, RECT{0, 0, 240, 320}, POINT{0, 0}, 1);
    }

    MenuCapture capture;
};

}  // namespace

TEST_F(ContactListInput, ArrowsMoveThroughATwoColumnGroupOfFive)
{
    Populate();
    struct Case {
        const wchar_t* start;
        std::vector<int> keys;
        const wchar_t* end;
    } cases[] = {
        {L"G", {VK_DOWN}, L"c1"},
        {L"G", {VK_DOWN, VK_DOWN, VK_DOWN}, L"c5"},
        {L"c5", {VK_DOWN}, L"H"},
        {L"c2", {VK_DOWN}, L"c4"},
        {L"c2", {VK_DOWN, VK_DOWN}, L"c5"},       // the shorter last row
        {L"c2", {VK_DOWN, VK_DOWN, VK_UP}, L"c4"},  // back to the aimed column
        {L"c1", {VK_RIGHT}, L"c2"},
        {L"c2", {VK_RIGHT}, L"c2"},
        {L"c2", {VK_LEFT}, L"c1"},
        {L"c1", {VK_LEFT}, L"G"},
        {L"c1", {VK_UP}, L"G"},
        {L"G", {VK_UP}, L"alice"},
        {L"alice", {VK_UP}, L"h1"},               // the top wraps to the last node
        {L"h1", {VK_DOWN}, L"alice"},             // the end wraps to the first
        {L"H", {VK_UP}, L"c5"},                   // the last row of the group above
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::wstring(c.start) + L" -> " + c.end);
        CCLNode* start = nullptr;
        {
            CZELLock hold(List().Lock());
            std::wstring name = c.start;
            if (name == L"alice") start = List().FindAccountNode(Alice);
            else if (name == L"G") start = List().FindGroupNode(1, Alice);
            else if (name == L"H") start = List().FindGroupNode(2, Alice);
            else if (name == L"h1") start = List().FindContactNode(ContactId(6));
            else start = List().FindContactNode(ContactId(name[1] - L'0'));
        }
        Select(start);
        for (int key : c.keys) List().OnKeyDown(key);
        EXPECT_EQ(SelectedName(), c.end);
    }
}

TEST_F(ContactListInput, NothingHappensWithoutASelection)
{
    ASSERT_EQ(List().Selected(), nullptr);
    for (int key : {VK_RETURN, VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT}) List().OnKeyDown(key);
    List().OnDoubleClick(5, 5);
    List().OnContextMenu(POINT{5, 5});
    List().ShowSelectedItemMenu(nullptr, RECT{0, 0, 10, 10}, POINT{10, 10}, 5);
    EXPECT_TRUE(capture.menus.empty());
    EXPECT_TRUE(owner.chats.empty());
    EXPECT_EQ(W(List().GetSoftKeyText()), L"");
}

TEST_F(ContactListInput, EnterTogglesGroupsAndOpensChats)
{
    Populate();
    CCLGroupNode* group;
    {
        CZELLock hold(List().Lock());
        group = List().FindGroupNode(1, Alice);
    }
    List().SelectNode(group);
    EXPECT_EQ(W(List().GetSoftKeyText()), L"Group");
    List().OnKeyDown(VK_RETURN);
    EXPECT_FALSE(group->expanded);
    EXPECT_FALSE(host.groupOpen[1]);
    List().OnDoubleClick(0, 0);
    EXPECT_TRUE(group->expanded);
    List().OnKeyDown(VK_DOWN);
    EXPECT_EQ(W(List().GetSoftKeyText()), L"Contact");
    List().OnKeyDown(VK_RETURN);
    List().OnDoubleClick(0, 0);
    EXPECT_EQ(owner.chats, (std::vector<int>{ContactId(1), ContactId(1)}));
    // Digits go to the top panel, letters nowhere.
    List().OnChar(L'3');
    List().OnChar(L'x');
    EXPECT_EQ(owner.panelValues, std::vector<int>{3});
}

TEST_F(ContactListInput, TimersWakeTheOwnerAndBlink)
{
    host.dontSleep = true;
    List().OnTimer(CContactListCtrl::SelectionTimer);
    EXPECT_EQ(owner.wakes, 1);
    bool phase = List().BlinkPhase();
    List().OnTimer(CContactListCtrl::BlinkTimer);
    List().OnTimer(CContactListCtrl::BlinkTimer);
    EXPECT_EQ(List().BlinkPhase(), phase);
    EXPECT_EQ(host.Count(L"IdleReset"), 1);
}

TEST_F(ContactListInput, AccountMenuNumbersThePlugInsItems)
{
    Populate();
    host.fillAccount = [](CPopupMenu* menu) {
        menu->AddItem(CMenuItem(MENU_ITEM_PLAIN, -1, CZELString(L"Add contact"), 0, nullptr, 0, false));
        menu->AddItem(CMenuItem(MENU_ITEM_PLAIN, -1, CZELString(L"More"), 0, nullptr, 0, false));
    };
    Menu(CLAccount, Alice);
    EXPECT_EQ(capture.Numbers(), (std::vector<int>{1000, 1001, -1002, 1003, -1004, 1005, 1006, 1007}));
    Menu(CLAccount, Alice, 1001);
    CZELLock hold(List().Lock());
    EXPECT_FALSE(List().FindGroupNode(1, Alice)->expanded);
    EXPECT_FALSE(List().FindAccountNode(Alice)->expanded);
}

TEST_F(ContactListInput, GroupMenusOfferWhatTheGroupAllows)
{
    Populate();
    AddContact(ContactId(7), Alice, 0, L"loose", 0);
    host.fillGroup = [](CPopupMenu* menu) {
        menu->AddItem(CMenuItem(MENU_ITEM_PLAIN, -1, CZELString(L"Plug-in"), 0, nullptr, 0, false));
    };
    Menu(CLGroup, 1);
    // First group: the plug-in's item before "Move down", numbered from 2006; no "Move up".
    EXPECT_EQ(capture.Numbers(), (std::vector<int>{2000, 2001, -2002, 2003, 2004, 2005, 2006, 2007}));
    EXPECT_EQ(W(capture.menus.back().items[6].text), L"Plug-in");
    host.fillGroup = nullptr;
    Menu(CLGroup, 2);
    EXPECT_EQ(capture.Numbers(), (std::vector<int>{2000, 2001, -2002, 2003, 2004, 2005, 2006}));
    // Outside the groups: no rename, no moves; its commands reach its account.
    Menu(CLGroup, -intptr_t(Alice));
    EXPECT_EQ(capture.Numbers(), (std::vector<int>{2000, 2001, -2002, 2003, 2005}));
    Menu(CLGroup, -intptr_t(Alice), 2005);
    EXPECT_EQ(host.Count(L"DeleteGroup 21 0"), 1);
    Menu(CLGroup, -intptr_t(Alice), 2003);
    EXPECT_EQ(host.Count(L"AddGroup 21 typed"), 1);
}

TEST_F(ContactListInput, GroupMovesSwapTheStoredIndices)
{
    Populate();
    Menu(CLGroup, 2, 2006);
    {
        CZELLock hold(List().Lock());
        EXPECT_EQ(Children(List().FindAccountNode(Alice)), (std::vector<std::wstring>{L"H", L"G", L"-Not in list"}));
    }
    EXPECT_EQ(host.groupIndex[1], 1);
    EXPECT_EQ(host.groupIndex[2], 0);
    Menu(CLGroup, 2, 2007);
    CZELLock hold(List().Lock());
    EXPECT_EQ(Children(List().FindAccountNode(Alice)), (std::vector<std::wstring>{L"G", L"H", L"-Not in list"}));
}

TEST_F(ContactListInput, ContactMenusAndTheirCommands)
{
    Populate();
    AddContact(ContactId(7), Alice, 0, L"loose", 0);
    Menu(CLContact, ContactId(1));
    EXPECT_EQ(W(capture.menus.back().title), L"id-c1 - c1");
    EXPECT_EQ(capture.Numbers(), (std::vector<int>{4001, -4003, 4004, 4005, 4007, -4008, 4009, 4010, 4011}));
    const CMenuItem& move = capture.menus.back().items[8];
    ASSERT_TRUE(move.subMenu);
    ASSERT_EQ(move.subMenu->GetCount(), 1);
    EXPECT_EQ(W(move.subMenu->items[0].text), L"H");
    EXPECT_EQ(move.subMenu->items[0].commandId, 4012);
    // Outside the groups: no rename, no move.
    Menu(CLContact, ContactId(7));
    EXPECT_EQ(capture.Numbers(), (std::vector<int>{4001, -4003, 4004, 4005, 4007, -4008, 4010}));

    struct Case {
        int pick;
        std::wstring logged;
    } commands[] = {
        {4004, L"ContactDetails " + std::to_wstring(ContactId(1))},
        {4005, L"History " + std::to_wstring(ContactId(1))},
        {4007, L"Copy id-c1"},
        {4009, L"RenameContact 21 " + std::to_wstring(ContactId(1)) + L" typed"},
        {4010, L"DeleteContact 21 " + std::to_wstring(ContactId(1))},
        {4012, L"MoveContact 21 " + std::to_wstring(ContactId(1)) + L" 2"},
    };
    for (const Case& c : commands) {
        SCOPED_TRACE(c.pick);
        host.log.clear();
        Menu(CLContact, ContactId(1), c.pick);
        EXPECT_EQ(host.Count(c.logged), 1);
    }
    Menu(CLContact, ContactId(1), 4001);
    EXPECT_EQ(owner.chats, std::vector<int>{ContactId(1)});
    // A cancelled menu runs nothing.
    host.log.clear();
    Menu(CLContact, ContactId(1), -1);
    EXPECT_EQ(host.Count(L"Rename"), 0);
    EXPECT_EQ(owner.chats.size(), 1u);
}

TEST_F(ContactListInput, RenameGroupThroughTheDialogAndItsCancels)
{
    Populate();
    Menu(CLGroup, 1, 2004);
    EXPECT_EQ(host.Count(L"AskText 0 G"), 1);
    EXPECT_EQ(host.Count(L"RenameGroup 21 1 typed"), 1);
    host.log.clear();
    host.answer = false;
    Menu(CLGroup, 1, 2004);
    EXPECT_EQ(host.Count(L"RenameGroup"), 0);
    // The group goes while the dialog is open: nothing is sent for it.
    host.answer = true;
    host.beforeAnswer = [this] { Data(CLE_GROUP_REMOVED, 1); };
    Menu(CLGroup, 1, 2004);
    EXPECT_EQ(host.Count(L"RenameGroup"), 0);
    host.beforeAnswer = nullptr;
    Menu(CLAccount, Alice, 1003);
    EXPECT_EQ(host.Count(L"AddGroup 21 typed"), 1);
    Menu(CLAccount, Alice, 1005);
    EXPECT_EQ(host.Count(L"AccountSettings 21"), 1);
}

TEST_F(ContactListInput, StylusSelectsScrollsAndSwipes)
{
    ZEL_REQUIRE_DISPLAY();
    HWND parent = TestSupport::CreateHostWindow(240, 60);
    Populate();
    ASSERT_TRUE(List().Create(GetModuleHandleW(nullptr), parent, WS_VISIBLE, RECT{0, 0, 240, 60}));
    TestSupport::PumpMessages();
    // Account 18, group 18, first row 20: a tap in the right half of the first row.
    List().OnPenDown(200, 18 + 18 + 5);
    List().OnPenUp(200);
    EXPECT_EQ(SelectedName(), L"c2");
    EXPECT_EQ(List().ColumnIndex(), 1);
    SCROLLINFO info = {sizeof info, SIF_POS};
    // Dragging up by 10 scrolls down by 20.
    List().OnPenDown(10, 50);
    List().OnPenMove(40);
    GetScrollInfo(List(), SB_VERT, &info);
    EXPECT_EQ(info.nPos, 20);
    List().OnPenUp(10);
    EXPECT_EQ(owner.chatWindowShown, 0);
    // A sideways swipe over half the width opens the chats, unless a menu came up meanwhile.
    List().OnPenDown(10, 50);
    List().OnPenUp(200);
    EXPECT_EQ(owner.chatWindowShown, 1);
    List().OnPenDown(10, 50);
    List().OnContextMenu(POINT{10, 50});
    List().OnPenUp(200);
    EXPECT_EQ(owner.chatWindowShown, 1);
    control.reset();
    DestroyWindow(parent);
}

TEST_F(ContactListInput, PaintsInTheSchemeColours)
{
    ZEL_REQUIRE_DISPLAY();
    for (int dpi : {96, 192}) {
        SCOPED_TRACE(dpi);
        TestSupport::DpiScope scope(dpi);
        control.reset();
        Make();
        HWND parent = TestSupport::CreateHostWindow(240, 320);
        AddAccount(Alice, L"alice");
        AddGroup(1, Alice, L"WWWWWWWW");
        AddContact(ContactId(1), Alice, 0, L"WWWWWW", 0);
        ASSERT_TRUE(List().Create(GetModuleHandleW(nullptr), parent, WS_VISIBLE, RECT{0, 0, 240, 320}));
        {
            CZELLock hold(List().Lock());
            List().SelectNode(List().FindGroupNode(1, Alice));
        }
        InvalidateRect(List(), nullptr, FALSE);
        UpdateWindow(List());
        TestSupport::Image image;
        ASSERT_TRUE(TestSupport::CaptureWindow(List(), false, &image));
        TestSupport::SaveScreenshot(List(), false, dpi == 96 ? L"contact-list-96.png" : L"contact-list-192.png");
        const int header = (18 * dpi + 48) / 96;
        // The selected group's row starts with colour 9 just inside its frame (the gradient has
        // barely begun there).
        uint32_t top = image.At(image.width / 2, header + 1), nine = TestSupport::Rgb(GetSchemeColor(9));
        for (int shift : {0, 8, 16}) EXPECT_NEAR(int((top >> shift) & 0xFF), int((nine >> shift) & 0xFF), 8 * 96 / dpi + 2);
        // The offline contact outside the groups (below the Not in list header) is written in the
        // divider colour.
        auto holds = [&](COLORREF colour, int top, int bottom) {
            for (int x = 0; x < image.width; ++x)
                for (int y = top; y < bottom && y < image.height; ++y)
                    if (image.At(x, y) == TestSupport::Rgb(colour)) return true;
            return false;
        };
        const int row = (20 * dpi + 48) / 96;
        EXPECT_TRUE(holds(GetSchemeColor(3), 3 * header, 3 * header + row));
        EXPECT_FALSE(holds(GetSchemeColor(3), 0, 3 * header));
        // Its name is written in colour 4.
        bool groupColour = false;
        for (int x = (22 * dpi + 48) / 96; x < image.width / 2; ++x)
            for (int y = header; y < 2 * header; ++y) groupColour = groupColour || image.At(x, y) == TestSupport::Rgb(GetSchemeColor(4));
        EXPECT_TRUE(groupColour);
        control.reset();
        DestroyWindow(parent);
    }
}
