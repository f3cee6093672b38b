// "Add contact", "Authorization request" and the x-status dialog, opened from the account's menus
// through the real protocols manager and driven from another thread by window messages; what they
// confirm reaches the fake server, Cancel sends nothing.
#include "WexContactsFixture.h"

#include "Wex/dialogs/WexResources.h"

#include "Handheld/tests/DisplayRequirement.h"
#include "Zel/core/tests/ModalDialogDriver.h"
#include "Zel/core/plugin/PopupMenu.h"
#include "Zel/core/tests/BusTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <thread>

namespace {

using DialogTest::FindDialog;
using DialogTest::Type;
using DialogTest::WithDialog;

using namespace WexTest;
using Answer = FakeWexServer::Answer;

std::wstring ItemText(HWND dialog, int id)
{
    wchar_t text[1100] = L"";
    GetDlgItemTextW(dialog, id, text, 1100);
    return text;
}

// The control with the keyboard focus in the dialog's thread, asked from another thread.
HWND FocusOf(HWND dialog)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
    return info.hwndFocus;
}

// The 16-byte capabilities a location update announces (its TLV 0x0005).
std::multiset<Bytes> Capabilities(const Bytes& frame)
{
    std::multiset<Bytes> out;
    if (frame.size() < Wex::SnacBodyOffset) return out;
    Wex::TlvChain tlvs;
    tlvs.Parse(frame.data() + Wex::SnacBodyOffset, frame.size() - Wex::SnacBodyOffset);
    const Wex::Tlv* list = tlvs.Find(0x0005);
    if (!list) return out;
    EXPECT_EQ(list->GetLength() % 16, 0u);
    for (size_t at = 0; at + 16 <= size_t(list->GetLength()); at += 16)
        out.insert(Bytes(list->GetValue() + at, list->GetValue() + at + 16));
    return out;
}

bool Contains(const Bytes& bytes, const Bytes& part)
{
    return std::search(bytes.begin(), bytes.end(), part.begin(), part.end()) != bytes.end();
}

Answer RosterWith(const std::vector<Bytes>& items)
{
    Wire body;
    body.U8(0).U16(unsigned(items.size()));
    for (const Bytes& item : items) body.Raw(item);
    body.U32(1700000000);
    Answer answer;
    answer.family = 0x13;
    answer.subtype = 0x06;
    answer.body = body;
    return answer;
}

class WexSmallDialogsTest : public WexTest::WexAccountFixture {
protected:
    WexSmallDialogsTest() : WexAccountFixture(L"wex_small_dialogs") {}

    // Signed on with the groups "Friends" and "Old" and "222", who has not yet authorised the user.
    unsigned Online()
    {
        server.SetRoster({RosterWith({WexTest::ListItemBytes("Friends", 1, 0, 1), WexTest::ListItemBytes("Old", 2, 0, 1),
                                      WexTest::ListItemBytes("222", 1, 12, 0, Wire().Tlv(0x0066, Bytes()))})});
        const unsigned account = CreateAccount();
        SignOn(account);
        EXPECT_TRUE(BusTest::WaitUntil([&] { return FindContact(account, "222") != 0; }));
        return account;
    }

    // The account's group of that name in the contact list, or 0.
    int GroupNamed(unsigned account, const wchar_t* name)
    {
        CZELArray<int> groups;
        ContactListDataService->GetAccountGroups(account, groups);
        for (int i = 0; i < groups.GetCount(); ++i) {
            CZELString text;
            ContactListDataService->GetPropertyString(groups[i], CZELString(L"Account name"), text);
            if (text == name) return groups[i];
        }
        return 0;
    }

    // The menu of one search result as the search dialog builds it: its own rows, then the
    // account's, the result named by its contact id.
    CPopupMenu SearchResultMenu(unsigned account, int contact)
    {
        CPopupMenu menu;
        menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, CZELString(L"Copy"), 1, nullptr, 0, false));
        menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, CZELString(L"Send message"), 2, nullptr, 0, false));
        menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, CZELString(L"Details"), 3, nullptr, 0, false));
        menu.AddItem(CMenuItem(MENU_ITEM_SEPARATOR));
        EXPECT_TRUE(Manager().FillSearchResultMenu(account, reinterpret_cast<void*>(intptr_t(contact)), &menu));
        return menu;
    }

    // A menu of the program's plain items with these command ids.
    static CPopupMenu ProgramMenu(const std::vector<int>& ids)
    {
        CPopupMenu menu;
        for (int id : ids) menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, CZELString(std::to_wstring(id).c_str()), id, nullptr, 0, false));
        return menu;
    }

    // A menu in one line: the program's items by command id, "-" for a separator, the account's
    // own items by their text.
    std::wstring Describe(const CPopupMenu& menu)
    {
        std::wstring line;
        for (int i = 0; i < menu.GetCount(); ++i) {
            const CMenuItem& item = menu.items[i];
            if (!line.empty()) line += L" ";
            if (item.kind == MENU_ITEM_SEPARATOR)
                line += L"-";
            else if (item.callback)
                line += L"[" + Text(item.text) + L"]";
            else
                line += std::to_wstring(item.commandId);
        }
        return line;
    }

    CMenuItem MainMenuAdd()
    {
        CPopupMenu menu;
        Manager().FillMainMenu(&menu);
        EXPECT_EQ(menu.GetCount(), 1);
        return menu.GetCount() ? menu.items[menu.GetCount() - 1] : CMenuItem(MENU_ITEM_SEPARATOR);
    }
};

}  // namespace

TEST_F(WexSmallDialogsTest, AddContactSendsTheListAddIntoTheChosenGroup)
{
    ZEL_REQUIRE_DISPLAY();
    const unsigned id = Online();
    CMenuItem add = MainMenuAdd();
    ASSERT_NE(add.callback, nullptr);
    const size_t adds = server.ClientSnacs(0x13, 0x08).size();
    // The contact list names the server's "Friends" in other letter case.
    const int friends = GroupNamed(id, L"Friends");
    ASSERT_NE(friends, 0);
    ContactListDataService->SetPropertyString(friends, CZELString(L"Account name"), CZELString(L"FRIENDS"));

    WithDialog([&] { add.callback(0, add.argument); },
               [&](HWND dialog) {
                   wchar_t caption[64] = L"";
                   GetWindowTextW(dialog, caption, 64);
                   EXPECT_EQ(std::wstring(caption), L"Add contact");
                   HWND number = GetDlgItem(dialog, IDC_WEX_ADD_NUMBER);
                   HWND nick = GetDlgItem(dialog, IDC_WEX_ADD_NICK);
                   HWND combo = GetDlgItem(dialog, IDC_WEX_ADD_GROUP);
                   EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 2);
                   EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);
                   // An empty required field keeps the dialog open and takes the focus, wherever it was.
                   struct Empty {
                       const char* name;
                       const wchar_t* number;
                       int group;  // the combo's selection, -1 for none
                       HWND focus;
                   };
                   const Empty empties[] = {
                       {"no number", L"", 0, number},
                       {"no group", L"444555", -1, combo},
                   };
                   for (const Empty& e : empties) {
                       SCOPED_TRACE(e.name);
                       Type(number, e.number);
                       SendMessageW(combo, CB_SETCURSEL, WPARAM(e.group), 0);
                       SendMessageW(dialog, WM_NEXTDLGCTL, WPARAM(nick), TRUE);
                       EXPECT_EQ(FocusOf(dialog), nick);
                       SendMessageW(dialog, WM_COMMAND, IDOK, 0);
                       EXPECT_TRUE(IsWindowVisible(dialog));
                       EXPECT_EQ(FocusOf(dialog), e.focus);
                   }
                   ASSERT_NE(SendMessageW(combo, CB_SELECTSTRING, WPARAM(-1), LPARAM(L"friends")), CB_ERR);
                   EXPECT_EQ(ItemText(dialog, IDC_WEX_ADD_GROUP), L"FRIENDS");
                   Type(nick, std::wstring(300, L'n'));
                   EXPECT_EQ(ItemText(dialog, IDC_WEX_ADD_NICK).size(), 300u);
                   PostMessageW(dialog, WM_COMMAND, IDOK, 0);
               });
    ASSERT_TRUE(server.WaitUntil([&] { return server.ClientSnacs(0x13, 0x08).size() > adds; }));
    const Bytes sent = server.ClientSnacs(0x13, 0x08).back();
    // Into the server's group 1, "Friends".
    EXPECT_TRUE(Contains(sent, Wire().Str16("444555").U16(1).Get()));
    // The nick goes out cut to 255 characters.
    EXPECT_TRUE(Contains(sent, Wire().Tlv(0x0131, Wire().Text(std::string(255, 'n'))).Get()));
    // Acknowledged, the contact sits in the existing group; no group was made for the other spelling.
    ASSERT_TRUE(BusTest::WaitUntil([&] {
        const int added = FindContact(id, "444555");
        return added != 0 && ContactListDataService->GetContactGroup(added) == friends;
    }));
    CZELArray<int> groups;
    ContactListDataService->GetAccountGroups(id, groups);
    EXPECT_EQ(groups.GetCount(), 2);

    // Cancel sends nothing.
    WithDialog([&] { add.callback(0, add.argument); },
               [&](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); });
    Sleep(200);
    EXPECT_EQ(server.ClientSnacs(0x13, 0x08).size(), adds + 1);
    ExpectNoFaults();
}

TEST_F(WexSmallDialogsTest, ASearchResultOutsideTheListOffersToAddIt)
{
    ZEL_REQUIRE_DISPLAY();
    const unsigned id = Online();
    // A result row's contact, made as a search reply makes it: temporary, with the hit's nick.
    const int found = ContactListDataService->FindOrAddContact(id, CZELString(L"555666"));
    ASSERT_NE(found, 0);
    ASSERT_TRUE(ContactListDataService->IsTempContact(found));
    ContactListDataService->SetPropertyString(found, CZELString(L"CL Alias"), CZELString(L"Finn"));
    const int listed = FindContact(id, "222");

    struct Case {
        const char* name;
        int contact;
        bool online;
        bool offersAdd;
    };
    const Case cases[] = {
        {"online, not in the list", found, true, true},
        {"online, already in a group", listed, true, false},
        {"offline, not in the list", found, false, false},
        {"offline, already in a group", listed, false, false},
    };
    CMenuItem add;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.online && Status(id) != AccountStatus::Offline) {
            Manager().SetStatus(id, AccountStatus::Offline);
            ASSERT_TRUE(WaitForStatus(id, AccountStatus::Offline));
        }
        CPopupMenu menu = SearchResultMenu(id, c.contact);
        // The dialog's own rows stay as they were.
        ASSERT_GE(menu.GetCount(), 4);
        EXPECT_EQ(menu.items[0].commandId, 1);
        EXPECT_EQ(menu.items[3].kind, MENU_ITEM_SEPARATOR);
        ASSERT_EQ(menu.GetCount(), c.offersAdd ? 5 : 4);
        if (!c.offersAdd) continue;
        const CMenuItem& item = menu.items[4];
        EXPECT_EQ(Text(item.text), L"Add to contact list");
        EXPECT_EQ(item.kind, MENU_ITEM_PLAIN);
        ASSERT_EQ(item.images.GetCount(), 1);
        EXPECT_EQ(Text(images->GetName(item.images[0])), L"proto_addcontact.png");
        EXPECT_NE(item.callback, nullptr);
        if (c.contact == found) add = item;
    }
    ASSERT_NE(add.callback, nullptr);

    // Chosen (the dialog calls it with the result's contact id), it opens "Add contact" filled with
    // the result; confirmed, the contact goes to the server and into the chosen group.
    SignOn(id);
    const size_t adds = server.ClientSnacs(0x13, 0x08).size();
    WithDialog([&] { add.callback(intptr_t(found), add.argument); },
               [&](HWND dialog) {
                   EXPECT_EQ(ItemText(dialog, IDC_WEX_ADD_NUMBER), L"555666");
                   EXPECT_EQ(ItemText(dialog, IDC_WEX_ADD_NICK), L"Finn");
                   HWND combo = GetDlgItem(dialog, IDC_WEX_ADD_GROUP);
                   EXPECT_NE(SendMessageW(combo, CB_SELECTSTRING, WPARAM(-1), LPARAM(L"Old")), CB_ERR);
                   PostMessageW(dialog, WM_COMMAND, IDOK, 0);
               });
    ASSERT_TRUE(server.WaitUntil([&] { return server.ClientSnacs(0x13, 0x08).size() > adds; }));
    const Bytes sent = server.ClientSnacs(0x13, 0x08).back();
    EXPECT_TRUE(Contains(sent, Wire().Str16("555666").U16(2).Get()));
    EXPECT_TRUE(Contains(sent, Wire().Tlv(0x0131, Wire().Text("Finn")).Get()));
    ASSERT_TRUE(BusTest::WaitUntil([&] {
        const int added = FindContact(id, "555666");
        return added != 0 && ContactListDataService->GetContactGroup(added) == GroupNamed(id, L"Old");
    }));
    // Now in a group, the result offers nothing more.
    EXPECT_EQ(SearchResultMenu(id, FindContact(id, "555666")).GetCount(), 4);
    ExpectNoFaults();
}

TEST_F(WexSmallDialogsTest, AccountAndGroupMenusKeepWhatTheConnectionAllows)
{
    ZEL_REQUIRE_DISPLAY();
    const unsigned id = Online();
    const int old = GroupNamed(id, L"Old");
    ASSERT_NE(old, 0);
    const std::vector<int> accountItems = {1001, 1002, 1003, 1004, 1005};
    const std::vector<int> accountItemsWithoutAdd = {1001, 1002, 1003, 1005};
    const std::vector<int> groupItems = {1999, 2000, 2001, 2002, 2003, 2004, 2005, 2006};
    const std::vector<int> groupItemsWithoutAdd = {2000, 2001, 2002, 2003, 2004};
    enum Kind { AccountMenu, GroupMenu };
    struct Case {
        const char* name;
        bool online;
        Kind kind;
        const std::vector<int>* items;
        bool inGroup;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {"account, online", true, AccountMenu, &accountItems, false, L"1001 1002 1003 1004 1005 [Add contact]"},
        {"account without its add command, online", true, AccountMenu, &accountItemsWithoutAdd, false,
         L"1001 1002 1003 1005"},
        {"group, online", true, GroupMenu, &groupItems, true, L"2000 2001 2002 2003 2004 2005 - [Add contact]"},
        {"group without its add command, online", true, GroupMenu, &groupItemsWithoutAdd, true, L"2000 2001 2002 2003 2004"},
        {"top level, online", true, GroupMenu, &groupItems, false, L"2000 2001 2002 2003 2005"},
        {"account, offline", false, AccountMenu, &accountItems, false, L"1001 1004 1005"},
        {"group, offline", false, GroupMenu, &groupItems, true, L"2000 2001"},
        {"top level, offline", false, GroupMenu, &groupItems, false, L"2000 2001 2002 2005"},
    };
    CMenuItem addToOld;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.online && Status(id) != AccountStatus::Offline) {
            Manager().SetStatus(id, AccountStatus::Offline);
            ASSERT_TRUE(WaitForStatus(id, AccountStatus::Offline));
        }
        CPopupMenu menu = ProgramMenu(*c.items);
        if (c.kind == AccountMenu)
            ASSERT_TRUE(Manager().FillAccountMenu(id, &menu));
        else
            ASSERT_TRUE(Manager().FillGroupMenu(id, c.inGroup ? old : 0, &menu));
        EXPECT_EQ(Describe(menu), c.expected);
        for (int i = 0; i < menu.GetCount(); ++i) {
            const CMenuItem& item = menu.items[i];
            if (!item.callback) continue;
            ASSERT_EQ(item.images.GetCount(), 1);
            EXPECT_EQ(Text(images->GetName(item.images[0])), L"proto_addcontact.png");
            if (c.kind == GroupMenu) addToOld = item;
        }
    }
    ASSERT_NE(addToOld.callback, nullptr);

    // A group's "Add contact" opens the dialog with that group chosen.
    SignOn(id);
    WithDialog([&] { addToOld.callback(0, addToOld.argument); },
               [&](HWND dialog) {
                   EXPECT_EQ(ItemText(dialog, IDC_WEX_ADD_GROUP), L"Old");
                   EXPECT_EQ(ItemText(dialog, IDC_WEX_ADD_NUMBER), L"");
                   PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
               });
    ExpectNoFaults();
}

TEST_F(WexSmallDialogsTest, AGroupGoneBeforeOkAddsNothingAndSaysSo)
{
    ZEL_REQUIRE_DISPLAY();
    const unsigned id = Online();
    CMenuItem add = MainMenuAdd();
    const size_t adds = server.ClientSnacs(0x13, 0x08).size();
    WithDialog([&] { add.callback(0, add.argument); },
               [&](HWND dialog) {
                   HWND combo = GetDlgItem(dialog, IDC_WEX_ADD_GROUP);
                   ASSERT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 2);
                   ASSERT_NE(SendMessageW(combo, CB_SELECTSTRING, WPARAM(-1), LPARAM(L"Old")), CB_ERR);
                   Type(GetDlgItem(dialog, IDC_WEX_ADD_NUMBER), L"777");
                   // The group goes while the dialog is open.
                   CZELArray<int> groups;
                   ContactListDataService->GetAccountGroups(id, groups);
                   int old = 0;
                   for (int i = 0; i < groups.GetCount(); ++i) {
                       CZELString name;
                       ContactListDataService->GetPropertyString(groups[i], CZELString(L"Account name"), name);
                       if (name == L"Old") old = groups[i];
                   }
                   Manager().DeleteGroup(id, old);
                   EXPECT_TRUE(BusTest::WaitUntil([&] {
                       CZELArray<int> left;
                       ContactListDataService->GetAccountGroups(id, left);
                       return left.GetCount() == 1;
                   }));
                   PostMessageW(dialog, WM_COMMAND, IDOK, 0);
               });
    ASSERT_TRUE(BusTest::WaitUntil([&] {
        for (const std::wstring& text : Warnings())
            if (text.find(L"Error adding item") != std::wstring::npos && text.find(L"Old") != std::wstring::npos) return true;
        return false;
    }));
    EXPECT_EQ(server.ClientSnacs(0x13, 0x08).size(), adds);
}

TEST_F(WexSmallDialogsTest, TheAuthorisationRequestCarriesTheEditedReason)
{
    ZEL_REQUIRE_DISPLAY();
    const unsigned id = Online();
    const int contact = FindContact(id, "222");
    CPopupMenu menu;
    menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, CZELString(L"Send message"), 4001, nullptr, 0, false));
    ASSERT_TRUE(Manager().FillContactMenu(id, contact, &menu));
    const CMenuItem* ask = nullptr;
    for (int i = 0; i < menu.GetCount(); ++i)
        if (menu.items[i].callback && menu.items[i].text == L"Authorization request") ask = &menu.items[i];
    ASSERT_NE(ask, nullptr);

    WithDialog([&] { ask->callback(0, ask->argument); },
               [&](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); });
    WithDialog([&] { ask->callback(0, ask->argument); },
               [&](HWND dialog) {
                   EXPECT_EQ(ItemText(dialog, IDC_WEX_AUTH_REASON), L"Please authorize my request.");
                   Type(GetDlgItem(dialog, IDC_WEX_AUTH_REASON), L"It's me, Ann");
                   PostMessageW(dialog, WM_COMMAND, IDOK, 0);
               });
    ASSERT_TRUE(server.WaitUntil([&] { return !server.ClientSnacs(0x13, 0x18).empty(); }));
    EXPECT_EQ(server.ClientSnacs(0x13, 0x18).size(), 1u);
    EXPECT_TRUE(Contains(server.ClientSnacs(0x13, 0x18).back(), Wire().Text("It's me, Ann").Get()));
    ExpectNoFaults();
}

TEST_F(WexSmallDialogsTest, AnXStatusKeepsItsLinesAndIsAnnounced)
{
    ZEL_REQUIRE_DISPLAY();
    const unsigned id = Online();
    CPopupMenu xStatus;
    Manager().GetStatusMenu(id, 1, &xStatus);
    ASSERT_GT(xStatus.GetCount(), 3);
    const CMenuItem item = xStatus.items[3];
    const size_t updates = server.ClientSnacs(0x02, 0x04).size();

    WithDialog([&] { item.callback(intptr_t(id), item.argument); },
               [&](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); });
    Sleep(200);
    EXPECT_EQ(server.ClientSnacs(0x02, 0x04).size(), updates);

    WithDialog([&] { item.callback(intptr_t(id), item.argument); },
               [&](HWND dialog) {
                   EXPECT_EQ(ItemText(dialog, IDC_WEX_XSTATUS_TITLE_LABEL), L"Name");
                   Type(GetDlgItem(dialog, IDC_WEX_XSTATUS_TITLE), L"At work");
                   SetDlgItemTextW(dialog, IDC_WEX_XSTATUS_DESC, L"first line\r\nsecond line");
                   PostMessageW(dialog, WM_COMMAND, IDOK, 0);
               });
    ASSERT_TRUE(server.WaitUntil([&] { return server.ClientSnacs(0x02, 0x04).size() > updates; }));
    // The update announces x-status 3, "Tired", among its capabilities; the ones before it did not.
    const Bytes tired = {0x83, 0xC9, 0xB7, 0x8E, 0x77, 0xE7, 0x43, 0x78, 0xB2, 0xC5, 0xFB, 0x6C, 0xFC, 0xC3, 0x5B, 0xEC};
    const std::vector<Bytes> sent = server.ClientSnacs(0x02, 0x04);
    for (size_t i = 0; i < sent.size(); ++i) {
        SCOPED_TRACE("location update " + std::to_string(i));
        EXPECT_EQ(Capabilities(sent[i]).count(tired), i >= updates ? 1u : 0u);
    }
    // Opened again, it shows what was stored.
    WithDialog([&] { item.callback(intptr_t(id), item.argument); },
               [&](HWND dialog) {
                   EXPECT_EQ(ItemText(dialog, IDC_WEX_XSTATUS_TITLE), L"At work");
                   EXPECT_EQ(ItemText(dialog, IDC_WEX_XSTATUS_DESC), L"first line\r\nsecond line");
                   PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
               });
    ExpectNoFaults();
}
