// Contact and group changes: each waits for the server's acknowledgement; refusals change nothing.
// The menus the account fills, and a contact's details from the directory.
#include "Dax/tests/DaxHost.h"

#include "Dax/proto/MrimCommands.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/plugin/PopupMenu.h"

using namespace MrimTest;

class DaxContactOpsTest : public DaxHostTest {
protected:
    unsigned OnlineWithList()
    {
        unsigned id = CreateAccount();
        server->afterLogin = {Packet(Mrim::CmdContactList, 0,
                                     ContactListBody({L"Work", L"Home"}, {{"bob@example.org", L"Bob", 0, 1, 0x08, 1}}))};
        EXPECT_TRUE(GoOnline(id));
        EXPECT_TRUE(BusTest::WaitUntil([&]() { return Items(id).size() == 3; }));
        bob = ContactByEmail(id, L"bob@example.org");
        return id;
    }

    int GroupNamed(unsigned id, const std::wstring& name)
    {
        for (const ContactListItemPair& pair : Items(id))
            if (!pair.contactId && Property(pair.groupId, L"Account name") == name) return pair.groupId;
        return 0;
    }

    int bob = 0;
};

TEST_F(DaxContactOpsTest, GroupAddedOnlyWhenTheServerAgrees)
{
    unsigned id = OnlineWithList();
    manager->AddGroup(id, CZELString(L"Friends"));
    ReceivedPacket add;
    ASSERT_TRUE(server->WaitFor(Mrim::CmdAddContact, add));
    EXPECT_EQ(ToHex(Wire().U32(0x02000002).U32(0).U32(0).Lps16(L"Friends").U32(0).U32(0).U32(0)), ToHex(add.body));
    // Refused: a warning, no group.
    server->SendPacket(Mrim::CmdAddContactAck, add.header.sequence, Wire().U32(6).U32(0));
    ASSERT_TRUE(BusTest::WaitUntil([&]() {
        Settle();
        return !Warnings().empty();
    }));
    EXPECT_EQ(L"Groups limit (max 20)", Warnings()[0]);
    EXPECT_EQ(0, GroupNamed(id, L"Friends"));

    manager->AddGroup(id, CZELString(L"Friends"));
    ASSERT_TRUE(server->WaitFor(Mrim::CmdAddContact, add, 2));
    server->SendPacket(Mrim::CmdAddContactAck, add.header.sequence, Wire().U32(0).U32(7));
    EXPECT_TRUE(BusTest::WaitUntil([&]() { return GroupNamed(id, L"Friends") != 0; }));
}

TEST_F(DaxContactOpsTest, RenameAppliedOnAcknowledgementAndRefusalKeepsTheModel)
{
    unsigned id = OnlineWithList();
    manager->RenameContact(id, bob, CZELString(L"Robert"));
    ReceivedPacket rename;
    ASSERT_TRUE(server->WaitFor(Mrim::CmdModifyContact, rename));
    EXPECT_EQ(ToHex(Wire().U32(20).U32(0x208).U32(0).Lps("bob@example.org").Lps16(L"Robert").Lps("")), ToHex(rename.body));
    server->SendPacket(Mrim::CmdModifyContactAck, rename.header.sequence, Wire().U32(3));
    ASSERT_TRUE(BusTest::WaitUntil([&]() {
        Settle();
        return !Warnings().empty();
    }));
    EXPECT_EQ(L"Contact not exist", Warnings()[0]);
    EXPECT_EQ(L"Bob", Property(bob, L"CL Alias"));

    // A refused delete left no removed flag behind: the next request carries the real flags.
    manager->DeleteContact(id, bob);
    ReceivedPacket remove;
    ASSERT_TRUE(server->WaitFor(Mrim::CmdModifyContact, remove, 2));
    server->SendPacket(Mrim::CmdModifyContactAck, remove.header.sequence, Wire().U32(2));
    manager->RenameContact(id, bob, CZELString(L"Rob"));
    ReceivedPacket again;
    ASSERT_TRUE(server->WaitFor(Mrim::CmdModifyContact, again, 3));
    EXPECT_EQ(ToHex(Wire().U32(20).U32(0x208).U32(0).Lps("bob@example.org").Lps16(L"Rob").Lps("")), ToHex(again.body));
    server->SendPacket(Mrim::CmdModifyContactAck, again.header.sequence, Wire().U32(0));
    EXPECT_TRUE(BusTest::WaitUntil([&]() { return Property(bob, L"CL Alias") == L"Rob"; }));

    // Moved once the server agrees.
    int home = GroupNamed(id, L"Home");
    manager->MoveContact(id, bob, home);
    ReceivedPacket move;
    ASSERT_TRUE(server->WaitFor(Mrim::CmdModifyContact, move, 4));
    server->SendPacket(Mrim::CmdModifyContactAck, move.header.sequence, Wire().U32(0));
    EXPECT_TRUE(BusTest::WaitUntil([&]() { return contactList->GetContactGroup(bob) == home; }));
}

TEST_F(DaxContactOpsTest, RequestsWhileOfflineAreRefused)
{
    unsigned id = OnlineWithList();
    manager->SetStatus(id, AccountStatus::Offline);
    ASSERT_TRUE(WaitStatus(id, AccountStatus::Offline));
    server->Clear();
    manager->AddGroup(id, CZELString(L"Later"));
    manager->RenameContact(id, bob, CZELString(L"Later"));
    ASSERT_TRUE(GoOnline(id));
    ReceivedPacket login;
    ASSERT_TRUE(server->WaitFor(Mrim::CmdLogin, login));
    Sleep(300);
    EXPECT_EQ(0, server->Count(Mrim::CmdAddContact));
    EXPECT_EQ(0, server->Count(Mrim::CmdModifyContact));
}

TEST_F(DaxContactOpsTest, ContactMenuOnlineAndOffline)
{
    unsigned id = OnlineWithList();
    auto fill = [&]() {
        CPopupMenu menu;
        for (int command = 4000; command <= 4012; ++command)
            menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, -1, CZELString(L"host"), command, nullptr, 0, false));
        manager->FillContactMenu(id, bob, &menu);
        std::vector<std::wstring> texts;
        for (int i = 0; i < menu.GetCount(); ++i)
            texts.push_back(menu.items[i].commandId ? std::to_wstring(menu.items[i].commandId) : Text(menu.items[i].text));
        return texts;
    };
    EXPECT_EQ((std::vector<std::wstring>{L"4001", L"Authorization request", L"4003", L"4004", L"4005", L"4007", L"4008",
                                         L"4009", L"4010", L"4011", L"", L"Remove from vis. list", L"Add to invis. list",
                                         L"Add to ignore list"}),
              fill());
    manager->SetStatus(id, AccountStatus::Offline);
    ASSERT_TRUE(WaitStatus(id, AccountStatus::Offline));
    EXPECT_EQ((std::vector<std::wstring>{L"4001", L"4003", L"4004", L"4005", L"4007"}), fill());
}

TEST_F(DaxContactOpsTest, StatusMenuChecksTheWantedStatus)
{
    unsigned id = OnlineWithList();
    CPopupMenu menu;
    manager->GetStatusMenu(id, 0, &menu);
    EXPECT_EQ(L"DAX me@example.org", Text(menu.title));
    ASSERT_EQ(16, menu.GetCount());
    EXPECT_EQ(L"Free for chat", Text(menu.items[0].text));
    EXPECT_EQ(MENU_ITEM_SEPARATOR, menu.items[5].kind);
    EXPECT_EQ(L"Online", Text(menu.items[12].text));
    EXPECT_TRUE(menu.items[12].checked);
    EXPECT_EQ(L"Offline", Text(menu.items[15].text));
    // Choosing an item acts on the account's own queue.
    menu.items[7].callback(intptr_t(id), menu.items[7].argument);
    EXPECT_TRUE(WaitStatus(id, AccountStatus::Away));
}

TEST_F(DaxContactOpsTest, ContactDetailsFromTheDirectory)
{
    unsigned id = OnlineWithList();
    manager->GetContactDetailsPages(id, bob, nullptr);
    ReceivedPacket request;
    ASSERT_TRUE(server->WaitFor(Mrim::CmdDirectoryRequest, request));
    EXPECT_EQ(0x90000000u, request.header.sequence & 0xF0000000u);
    EXPECT_EQ(ToHex(Wire().U32(0).Lps("bob").U32(1).Lps("example.org")), ToHex(request.body));
    server->SendPacket(Mrim::CmdAnketaInfo, request.header.sequence,
                       Wire().U32(1).U32(5).U32(1).U32(0).Lps("Username").Lps("Domain").Lps("FirstName").Lps("Birthday")
                           .Lps("Country_id").Lps("bob").Lps("example.org").Lps16(L"Robert").Lps("1980-12-31").Lps("24"));
    ASSERT_TRUE(BusTest::WaitUntil([&]() { return Property(bob, L"DAX: first name") == L"Robert"; }));
    int country = 0, year = 0;
    contactList->GetPropertyInt(bob, CZELString(L"DAX: country id"), &country);
    contactList->GetPropertyInt(bob, CZELString(L"DAX: birth year"), &year);
    EXPECT_EQ(24, country);
    EXPECT_EQ(1980, year);
}

TEST_F(DaxContactOpsTest, SearchRowsNeverRenameAContactOfTheList)
{
    unsigned id = OnlineWithList();
    Bytes answer = Wire().U32(1).U32(4).U32(5).U32(0).Lps("Username").Lps("Domain").Lps("Nickname").Lps("Sex")
                       .Lps("bob").Lps("example.org").Lps16(L"Searcher's Bob").Lps("1")
                       .Lps("eve").Lps("example.org").Lps16(L"Eve").Lps("2");
    server->SendPacket(Mrim::CmdAnketaInfo, 0x70000005, answer);
    // Two rows and the end of the search.
    ASSERT_TRUE(BusTest::WaitUntil([&]() {
        Settle();
        return recorder->Events(PMEV_SEARCH_RESULT).size() >= 3;
    }));
    EXPECT_EQ(L"Bob", Property(bob, L"CL Alias"));
    EXPECT_EQ(L"Searcher's Bob", Property(bob, L"DAX: nick name"));
    int eve = contactList->FindOrAddContact(id, CZELString(L"eve@example.org"));
    EXPECT_EQ(1, contactList->IsTempContact(eve));
    EXPECT_EQ(L"Eve", Property(eve, L"CL Alias"));
    int gender = 0;
    contactList->GetPropertyInt(eve, CZELString(L"DAX: gender id"), &gender);
    EXPECT_EQ(2, gender);
}

// Each group request carries the group's index and its flags as the model holds them (the removed
// flag only on a delete), and the group changes only once the server accepts; a refusal leaves the
// group as it was, so the next request is built from the old record.
TEST_F(DaxContactOpsTest, GroupRenameAndDeleteAppliedOnlyOnAcknowledgement)
{
    unsigned id = OnlineWithList();
    const int home = GroupNamed(id, L"Home");
    ASSERT_NE(0, home);
    auto groupBody = [](unsigned flags, const std::wstring& name) {
        return Wire().U32(1).U32(flags).U32(0).U32(0).Lps16(name).U32(0);
    };
    auto homeItemLeft = [&]() {
        for (const ContactListItemPair& pair : Items(id))
            if (!pair.contactId && pair.groupId == home) return true;
        return false;
    };
    struct Case {
        const char* name;
        bool rename;  // else delete
        const wchar_t* newName;
        Bytes expected;
        unsigned status;
        const wchar_t* warning;
        const wchar_t* shownName;  // the group's name afterwards; null: the group is gone
    } cases[] = {
        {"rename refused", true, L"Family", groupBody(0x202, L"Family"), 3, L"Contact not exist", L"Home"},
        {"delete refused", false, nullptr, groupBody(0x203, L"Home"), 2, L"Internal server error", L"Home"},
        {"rename accepted", true, L"Family", groupBody(0x202, L"Family"), 0, nullptr, L"Family"},
        {"delete accepted, with the current name", false, nullptr, groupBody(0x203, L"Family"), 0, nullptr, nullptr},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t warnings = Warnings().size();
        if (c.rename) manager->RenameGroup(id, home, CZELString(c.newName));
        else manager->DeleteGroup(id, home);
        ReceivedPacket request;
        ASSERT_TRUE(server->WaitFor(Mrim::CmdModifyContact, request, ++n));
        EXPECT_EQ(ToHex(c.expected), ToHex(request.body));
        server->SendPacket(Mrim::CmdModifyContactAck, request.header.sequence, Wire().U32(c.status));
        if (c.warning) {
            ASSERT_TRUE(BusTest::WaitUntil([&]() {
                Settle();
                return Warnings().size() > warnings;
            }));
            EXPECT_EQ(c.warning, Warnings().back());
        } else if (c.shownName) {
            EXPECT_TRUE(BusTest::WaitUntil([&]() { return Property(home, L"Account name") == c.shownName; }));
        } else {
            EXPECT_TRUE(BusTest::WaitUntil([&]() { return !homeItemLeft(); }));
        }
        if (c.shownName) {
            EXPECT_TRUE(homeItemLeft());
            EXPECT_EQ(c.shownName, Property(home, L"Account name"));
            EXPECT_EQ(c.shownName, Property(home, L"CL Alias"));
        }
    }
    // The other group and its contact are untouched.
    EXPECT_NE(0, GroupNamed(id, L"Work"));
    EXPECT_EQ(bob, ContactByEmail(id, L"bob@example.org"));
}

TEST_F(DaxContactOpsTest, AcceptedContactDeleteRemovesTheContact)
{
    unsigned id = OnlineWithList();
    manager->DeleteContact(id, bob);
    ReceivedPacket remove;
    ASSERT_TRUE(server->WaitFor(Mrim::CmdModifyContact, remove));
    EXPECT_EQ(ToHex(Wire().U32(20).U32(0x209).U32(0).Lps("bob@example.org").Lps16(L"Bob").Lps("")), ToHex(remove.body));
    // Still there until the server answers.
    Sleep(200);
    Settle();
    EXPECT_EQ(bob, ContactByEmail(id, L"bob@example.org"));
    server->SendPacket(Mrim::CmdModifyContactAck, remove.header.sequence, Wire().U32(0));
    ASSERT_TRUE(BusTest::WaitUntil([&]() { return ContactByEmail(id, L"bob@example.org") == 0; }));
    EXPECT_EQ(2u, Items(id).size());
    // Gone from the model too: a later rename of it sends nothing.
    manager->RenameContact(id, bob, CZELString(L"Ghost"));
    manager->AddGroup(id, CZELString(L"Marker"));
    ReceivedPacket marker;
    ASSERT_TRUE(server->WaitFor(Mrim::CmdAddContact, marker));
    EXPECT_EQ(1, server->Count(Mrim::CmdModifyContact));
}

// The list commands of the contact menu: each sends the contact with its flag set or cleared, and the
// marks follow only an accepted request.
TEST_F(DaxContactOpsTest, ListFlagsFromTheContactMenu)
{
    unsigned id = OnlineWithList();
    auto choose = [&](const std::wstring& text) {
        CPopupMenu menu;
        manager->FillContactMenu(id, bob, &menu);
        for (int i = 0; i < menu.GetCount(); ++i)
            if (Text(menu.items[i].text) == text && menu.items[i].callback) {
                menu.items[i].callback(intptr_t(id), menu.items[i].argument);
                return true;
            }
        return false;
    };
    auto mark = [&](const wchar_t* name) {
        char value = 0;
        contactList->GetPropertyByte(bob, CZELString(name), &value);
        return int(value);
    };
    struct Case {
        const wchar_t* item;
        unsigned flags;  // as sent
        unsigned status;
        int visible, invisible, ignore;  // the marks afterwards
    } cases[] = {
        {L"Add to invis. list", 0x20C, 0, 1, 1, 0},
        {L"Remove from vis. list", 0x204, 5, 1, 1, 0},
        {L"Remove from vis. list", 0x204, 0, 0, 1, 0},
        {L"Add to ignore list", 0x214, 0, 0, 1, 1},
        {L"Remove from invis. list", 0x210, 0, 0, 0, 1},
        {L"Add to visible list", 0x218, 0, 1, 0, 1},
        {L"Remove from ignore list", 0x208, 0, 1, 0, 0},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << n << " " << c.item);
        const size_t warnings = Warnings().size();
        ASSERT_TRUE(choose(c.item));
        ReceivedPacket request;
        ASSERT_TRUE(server->WaitFor(Mrim::CmdModifyContact, request, ++n));
        EXPECT_EQ(ToHex(Wire().U32(20).U32(c.flags).U32(0).Lps("bob@example.org").Lps16(L"Bob").Lps("")),
                  ToHex(request.body));
        server->SendPacket(Mrim::CmdModifyContactAck, request.header.sequence, Wire().U32(c.status));
        if (c.status) {
            ASSERT_TRUE(BusTest::WaitUntil([&]() {
                Settle();
                return Warnings().size() > warnings;
            }));
        }
        EXPECT_TRUE(BusTest::WaitUntil([&]() {
            return mark(L"In visible list") == c.visible && mark(L"In invisible list") == c.invisible &&
                   mark(L"In ignore list") == c.ignore;
        }));
    }
}
