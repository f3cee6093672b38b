// The contact list in the whole program: the real core services and a fake account that changes
// its list from its own thread; the list follows in both views, a group is renamed through the
// text input dialog, the account's status menu brings it online, and keys and taps move the
// selection and open chats.
#include "Zel/shell/tests/AppTestSupport.h"

#include "Zel/chat/MessageHistoryDialog.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/shell/ZelResources.h"
#include "Zel/shell/menu/PopupMenuWnd.h"

#include <ctime>
#include <map>
#include <string>
#include <thread>
#include <vector>

using namespace AppTest;

namespace {

// Picks the item with the wanted number, or the one with the wanted text.
struct Picker {
    int number = -1;
    std::wstring text;
    int shown = 0;

    static PopupMenuResult Run(void* context, const CPopupMenu& menu, const RECT&, const POINT&, int)
    {
        auto* picker = static_cast<Picker*>(context);
        ++picker->shown;
        for (int i = 0; i < menu.items.GetCount(); ++i) {
            const CMenuItem& item = menu.items[i];
            if (item.kind == MENU_ITEM_SEPARATOR) continue;
            if (item.commandId == picker->number || (!picker->text.empty() && Wide(item.text) == picker->text))
                return PopupMenuResult{item.callback, item.commandId, item.argument};
        }
        return NothingChosen;
    }
};

class AppContactList : public ::testing::Test {
protected:
    AppContactList() : folder(L"AppContactListTest") {}
    void SetUp() override
    {
        ZEL_REQUIRE_DISPLAY();
        run.reset(new AppRun(folder));
        ASSERT_TRUE(run->started);
        ASSERT_TRUE(fake.Loaded());
        account = run->NewAccount(L"alice");
        ASSERT_NE(account, 0u);
        SetPopupMenuRunner(&Picker::Run, &picker);
    }
    void TearDown() override
    {
        SetPopupMenuRunner(nullptr, nullptr);
        run.reset();
    }

    CContactListCtrl& List() { return *run->App().ContactList(); }

    // What the account made for a request: the item it logged.
    intptr_t Request(int code, intptr_t value, const wchar_t* text, int mode = 0)
    {
        size_t before = Made(code).size();
        EXPECT_EQ(fake.notify(account, code, value, text, mode), 1);
        EXPECT_TRUE(PumpUntil([&] { return Made(code).size() > before; }));
        std::vector<intptr_t> made = Made(code);
        return made.empty() ? 0 : made.back();
    }
    std::vector<intptr_t> Made(int code)
    {
        std::vector<intptr_t> items;
        for (const FakeLogEntry& entry : fake.Log(account))
            if (entry.code == code) items.push_back(entry.v1);
        return items;
    }

    std::vector<std::wstring> Names(CCLNode* parent)
    {
        std::vector<std::wstring> names;
        for (CCLNode* child = parent ? parent->firstChild : nullptr; child; child = child->next)
            if (child->Kind() == CLContact) names.push_back(Wide(static_cast<CCLContactNode*>(child)->name));
        return names;
    }

    AppFolder folder;
    std::unique_ptr<AppRun> run;
    AccountTest::FakePlugin fake{L"Accounts", L"FakeA"};
    unsigned account = 0;
    Picker picker;
};

}  // namespace

TEST_F(AppContactList, TheListFollowsTheAccountInBothViews)
{
    int group = int(Request(FAKE_ADD_GROUP, 0, L"Friends"));
    ASSERT_NE(group, 0);
    int bob = int(Request(FAKE_ADD_CONTACT, group, L"bob"));
    int amy = int(Request(FAKE_ADD_CONTACT, group, L"amy"));
    int loose = int(Request(FAKE_ADD_CONTACT, 0, L"zoe"));
    ASSERT_TRUE(PumpUntil([&] { return List().HasContact(bob) && List().HasContact(amy) && List().HasContact(loose); }));
    {
        CZELLock hold(List().Lock());
        ASSERT_TRUE(List().FindAccountNode(account));
        EXPECT_EQ(Names(List().FindGroupNode(group, account)), (std::vector<std::wstring>{L"amy", L"bob"}));
        EXPECT_EQ(Names(List().FindGroupNode(0, account)), std::vector<std::wstring>{L"zoe"});
        EXPECT_EQ(Names(List().FindStatusGroup(1)), (std::vector<std::wstring>{L"amy", L"bob"}));
        EXPECT_EQ(Names(List().FindStatusGroup(2)), std::vector<std::wstring>{L"zoe"});
    }
    // bob comes online: first in his group and in Online.
    Request(FAKE_SET_CONTACT_STATUS, bob, nullptr, 2);
    ASSERT_TRUE(PumpUntil([&] {
        CZELLock hold(List().Lock());
        return Names(List().FindStatusGroup(0)) == std::vector<std::wstring>{L"bob"};
    }));
    CZELLock hold(List().Lock());
    EXPECT_EQ(Names(List().FindGroupNode(group, account)), (std::vector<std::wstring>{L"bob", L"amy"}));
}

TEST_F(AppContactList, RenameGroupGoesToThePlugInThroughTheDialog)
{
    int group = int(Request(FAKE_ADD_GROUP, 0, L"Friends"));
    ASSERT_TRUE(PumpUntil([&] {
        CZELLock hold(List().Lock());
        return List().FindGroupNode(group, account) != nullptr;
    }));
    bool stayedOpen = false;
    std::thread driver([&] {
        HWND dialog = nullptr;
        for (int i = 0; i < 500 && !dialog; ++i) {
            HWND window = nullptr;
            while ((window = FindWindowExW(nullptr, window, L"#32770", nullptr)) != nullptr)
                if (GetDlgItem(window, IDC_TEXT_INPUT_EDIT) && IsWindowVisible(window)) dialog = window;
            if (!dialog) Sleep(10);
        }
        if (!dialog) return;
        HWND edit = GetDlgItem(dialog, IDC_TEXT_INPUT_EDIT);
        // An empty name keeps the dialog open.
        SendMessageW(edit, WM_SETTEXT, 0, LPARAM(L""));
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
        stayedOpen = IsWindow(dialog) != FALSE;
        SendMessageW(edit, WM_SETTEXT, 0, LPARAM(L"Pals"));
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    picker.number = 2004;
    {
        CZELLock hold(List().Lock());
        List().SelectNode(List().FindGroupNode(group, account));
    }
    run->App().ShowItemMenu();
    driver.join();
    EXPECT_EQ(picker.shown, 1);
    EXPECT_TRUE(stayedOpen);
    bool renamed = false;
    for (const FakeLogEntry& entry : fake.Log(account))
        renamed = renamed || (entry.code == PM_RENAME_GROUP && entry.v1 == group && std::wstring(entry.text) == L"Pals");
    EXPECT_TRUE(renamed);
}

TEST_F(AppContactList, TheStatusMenuBringsTheAccountOnline)
{
    picker.text = L"Online";
    run->App().ShowAccountStatusMenu(account, 0);
    EXPECT_EQ(picker.shown, 1);
    int status = -1;
    EXPECT_TRUE(PumpUntil([&] {
        return ProtocolsManagerService->GetStatus(account, &status) == 0 && status == AccountStatus::Online;
    }));
}

TEST_F(AppContactList, AStoredListShowsAfterARestart)
{
    int group = int(Request(FAKE_ADD_GROUP, 0, L"Friends"));
    int bob = int(Request(FAKE_ADD_CONTACT, group, L"bob"));
    ASSERT_TRUE(PumpUntil([&] { return List().HasContact(bob); }));
    SetPopupMenuRunner(nullptr, nullptr);
    run.reset();
    // The list is loaded in one batch that announces nothing item by item.
    run.reset(new AppRun(folder));
    ASSERT_TRUE(run->started);
    SetPopupMenuRunner(&Picker::Run, &picker);
    ASSERT_TRUE(PumpUntil([&] {
        CZELLock hold(List().Lock());
        CCLNode* root = List().AccountRoot();
        CCLNode* account = root->firstChild;
        if (!account || !account->firstChild) return false;
        auto* first = static_cast<CCLGroupNode*>(account->firstChild);
        return Wide(first->name) == L"Friends" && Names(first) == std::vector<std::wstring>{L"bob"};
    }));
}

// Keys and taps reach the list as window messages in the running program: a tap selects the row
// under it, the arrows move the selection, Enter and a double tap open the contact's chat.
TEST_F(AppContactList, KeysAndTapsMoveTheSelectionAndOpenChats)
{
    int group = int(Request(FAKE_ADD_GROUP, 0, L"Friends"));
    int amy = int(Request(FAKE_ADD_CONTACT, group, L"amy"));
    int bob = int(Request(FAKE_ADD_CONTACT, group, L"bob"));
    ASSERT_TRUE(PumpUntil([&] { return List().HasContact(amy) && List().HasContact(bob); }));
    List().SetColumns(1);
    PumpFor(100);
    auto selected = [&] {
        CZELLock hold(List().Lock());
        CCLNode* node = List().Selected();
        return node && node->Kind() == CLContact ? int(node->ItemId()) : 0;
    };
    // Where each contact's row is, found by selecting down the list as a tap would.
    std::map<int, int> rowAt;
    RECT client = {};
    GetClientRect(List(), &client);
    for (int y = 0; y < client.bottom && rowAt.size() < 2; ++y)
        if (List().SelectAt(10, y) && selected() && !rowAt.count(selected())) rowAt[selected()] = y + 2;
    ASSERT_TRUE(rowAt.count(amy) && rowAt.count(bob));
    ASSERT_LT(rowAt[amy], rowAt[bob]);

    HWND list = List();
    auto tap = [&](int contact) {
        SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, rowAt[contact]));
        SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(10, rowAt[contact]));
    };
    tap(bob);
    EXPECT_TRUE(PumpUntil([&] { return selected() == bob; }));
    SendMessageW(list, WM_KEYDOWN, VK_UP, 0);
    EXPECT_TRUE(PumpUntil([&] { return selected() == amy; }));
    SendMessageW(list, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_TRUE(PumpUntil([&] { return selected() == bob; }));
    SendMessageW(list, WM_KEYDOWN, VK_UP, 0);
    SendMessageW(list, WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_TRUE(PumpUntil([&] { return run->App().ChatWindow() && run->App().ChatWindow()->FindTab(amy); }));
    EXPECT_FALSE(run->App().ChatWindow()->FindTab(bob));
    // A double tap: down, up, the second down as the system reports it, up.
    tap(bob);
    SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, rowAt[bob]));
    SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(10, rowAt[bob]));
    EXPECT_TRUE(PumpUntil([&] { return run->App().ChatWindow()->FindTab(bob) != nullptr; }));
}

// Each account's group for contacts outside the groups takes its name in the new language with the
// switch, and back.
TEST_F(AppContactList, TheGroupOutsideTheGroupsFollowsTheLanguage)
{
    int loose = int(Request(FAKE_ADD_CONTACT, 0, L"zoe"));
    ASSERT_TRUE(PumpUntil([&] { return List().HasContact(loose); }));
    auto looseName = [&] {
        CZELLock hold(List().Lock());
        CCLGroupNode* group = List().FindGroupNode(0, account);
        return group ? Wide(group->name) : std::wstring();
    };
    auto switchTo = [&](const wchar_t* language) {
        run->App().Settings().language = language;
        run->App().Resources()->OnOptionChanged(OPT_LANGUAGE);
        run->App().ApplyOption(OPT_LANGUAGE);
    };
    EXPECT_EQ(looseName(), L"Not in list");
    switchTo(L"Russian");
    EXPECT_EQ(looseName(), L"\x041d\x0435 \x0432 \x0441\x043f\x0438\x0441\x043a\x0435");
    switchTo(L"English");
    EXPECT_EQ(looseName(), L"Not in list");
}

// "Message history" on a contact's menu opens the history dialog over the program, for that
// contact's file, until the user closes it.
TEST_F(AppContactList, TheContactMenuOpensTheContactsHistory)
{
    int group = int(Request(FAKE_ADD_GROUP, 0, L"Friends"));
    int bob = int(Request(FAKE_ADD_CONTACT, group, L"bob"));
    ASSERT_TRUE(PumpUntil([&] { return List().HasContact(bob); }));
    ASSERT_EQ(HistoryOk, run->History().Append(bob, 1, 0, 0, unsigned(time(nullptr)), CZELString(L"kept line")));
    bool found = false;
    std::wstring title;
    std::thread driver([&] {
        HWND dialog = nullptr;
        for (int i = 0; i < 500 && !dialog; ++i) {
            HWND window = nullptr;
            while ((window = FindWindowExW(nullptr, window, L"#32770", nullptr)) != nullptr)
                if (GetDlgItem(window, MessageHistoryDialog::IdFindText) && IsWindowVisible(window)) dialog = window;
            if (!dialog) Sleep(10);
        }
        if (!dialog) return;
        found = true;
        wchar_t text[64] = L"";
        GetWindowTextW(dialog, text, 64);
        title = text;
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    picker.number = 4005;
    {
        CZELLock hold(List().Lock());
        List().SelectNode(List().FindContactNode(bob));
    }
    run->App().ShowItemMenu();
    driver.join();
    EXPECT_EQ(picker.shown, 1);
    EXPECT_TRUE(found);
    EXPECT_EQ(title, std::wstring(GuiText(44).GetBuffer()));
}
