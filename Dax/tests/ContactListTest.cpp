// The server's contact list mirrored into the contact-list data, statuses, and lists that must
// change nothing.
#include "Dax/tests/DaxHost.h"

#include "Dax/proto/MrimCommands.h"
#include "Zel/core/accounts/AccountCodes.h"

using namespace MrimTest;

namespace {

std::vector<ListContact> ManyContacts(int count)
{
    std::vector<ListContact> contacts;
    for (int i = 0; i < count; ++i)
        contacts.push_back({"user" + std::to_string(i) + "@example.org", L"User " + std::to_wstring(i), unsigned(i % 3),
                            i % 10 == 0 ? 1u : 0u});
    return contacts;
}

} // namespace

class DaxContactListTest : public DaxHostTest {
protected:
    std::map<std::wstring, int> ItemsByName(unsigned id)
    {
        std::map<std::wstring, int> byName;
        for (const ContactListItemPair& pair : Items(id)) {
            int item = pair.contactId ? pair.contactId : pair.groupId;
            byName[Property(item, L"Account name")] = item;
        }
        return byName;
    }

    bool WaitItems(unsigned id, size_t count)
    {
        return BusTest::WaitUntil([&]() { return Items(id).size() == count; }, 20000);
    }
};

TEST_F(DaxContactListTest, ThousandContactsMirroredAndKeptAcrossReconnection)
{
    unsigned id = CreateAccount();
    const std::vector<std::wstring> groups = {L"\u0414\u0440\u0443\u0437\u044C\u044F", L"Work", L"Family"};
    server->afterLogin = {Packet(Mrim::CmdContactList, 0, ContactListBody(groups, ManyContacts(1000)))};
    ASSERT_TRUE(GoOnline(id));
    ASSERT_TRUE(WaitItems(id, 1003));
    std::map<std::wstring, int> first = ItemsByName(id);
    int bob = first[L"user7@example.org"];
    ASSERT_NE(0, bob);
    EXPECT_EQ(L"User 7", Property(bob, L"CL Alias"));
    EXPECT_EQ(first[L"Work"], contactList->GetContactGroup(bob));
    EXPECT_EQ(L"\u0414\u0440\u0443\u0437\u044C\u044F", Property(first[L"\u0414\u0440\u0443\u0437\u044C\u044F"], L"CL Alias"));

    // After a loss the same list comes again: every group and contact keeps its id.
    server->Drop();
    ASSERT_TRUE(WaitStatus(id, AccountStatus::Offline));
    ASSERT_TRUE(WaitStatus(id, AccountStatus::Online));
    ASSERT_EQ(2, server->Connections());
    Settle();
    ASSERT_TRUE(WaitItems(id, 1003));
    EXPECT_EQ(first, ItemsByName(id));
}

TEST_F(DaxContactListTest, FailedOrTruncatedListLeavesTheListIntact)
{
    unsigned id = CreateAccount();
    Bytes good = ContactListBody({L"Work"}, {{"bob@example.org", L"Bob", 0, 1}, {"ann@example.org", L"Ann", 0, 0}});
    server->afterLogin = {Packet(Mrim::CmdContactList, 0, good)};
    ASSERT_TRUE(GoOnline(id));
    ASSERT_TRUE(WaitItems(id, 3));
    std::map<std::wstring, int> before = ItemsByName(id);

    server->SendPacket(Mrim::CmdContactList, 0, Wire().U32(2));
    Bytes truncated(good.begin(), good.end() - 7);
    server->SendPacket(Mrim::CmdContactList, 0, truncated);
    server->SendPacket(Mrim::CmdContactList, 0, Wire().U32(0).U32(1).Lps("us").Lps("us").U32(2).U32(0x7FFFFFFF));
    // Something the account answers shows the three were handled.
    server->SendPacket(Mrim::CmdUserStatus, 0, Wire().U32(2).Lps("").Lps16(L"").Lps16(L"").Lps("ann@example.org").U32(0).Lps(""));
    ASSERT_TRUE(listEvents->WaitFor(CLE_CONTACT_STATUS, before[L"ann@example.org"]));
    Settle();
    EXPECT_EQ(before, ItemsByName(id));
}

TEST_F(DaxContactListTest, StatusPacketsShowOnTheirContacts)
{
    unsigned id = CreateAccount();
    server->afterLogin = {Packet(Mrim::CmdContactList, 0,
                                 ContactListBody({L"Work"}, {{"bob@example.org", L"Bob", 0, 0}}))};
    ASSERT_TRUE(GoOnline(id));
    ASSERT_TRUE(WaitItems(id, 2));
    int bob = ContactByEmail(id, L"bob@example.org");
    listEvents->Clear();
    server->SendPacket(Mrim::CmdUserStatus, 0,
                       Wire().U32(4).Lps("status_chat").Lps16(L"T").Lps16(L"X").Lps("BOB@example.org").U32(0x3FF).Lps("a"));
    ASSERT_TRUE(listEvents->WaitFor(CLE_CONTACT_STATUS, bob));
    ContactListEvents::Event event = listEvents->Events(CLE_CONTACT_STATUS).back();
    EXPECT_EQ(5, event.status.status);
    EXPECT_EQ(2, event.status.kinds.GetCount());
    // Going offline shows every contact offline, in one batch: the list reads them again at its end.
    listEvents->Clear();
    manager->SetStatus(id, AccountStatus::Offline);
    ASSERT_TRUE(listEvents->WaitFor(CLE_UPDATE_END));
    StatusInfo info;
    info.status = -1;
    ASSERT_TRUE(manager->GetContactIcons(id, bob, &info));
    EXPECT_EQ(0, info.status);
}

TEST_F(DaxContactListTest, FailedFirstListKeepsWhatTheListHeldFromBefore)
{
    unsigned id = CreateAccount();
    // What a previous run left in the contact list for this account.
    int group = contactList->AddGroup(id);
    contactList->SetPropertyString(group, CZELString(L"Account name"), CZELString(L"Work"));
    int saved = contactList->AddContact(id, group);
    contactList->SetPropertyString(saved, CZELString(L"Account name"), CZELString(L"saved@example.org"));
    ASSERT_EQ(2u, Items(id).size());

    server->afterLogin = {Packet(Mrim::CmdContactList, 0, Wire().U32(2)),
                          Packet(Mrim::CmdContactList, 0, Wire().U32(0).U32(1).Lps("us").Lps("us").U32(2).U32(99)),
                          Packet(Mrim::CmdUserInfo, 0, Wire().Lps("MESSAGES.UNREAD").Lps16(L"1"))};
    ASSERT_TRUE(GoOnline(id));
    // The account answers the last packet, so it has handled the lists before it.
    ReceivedPacket request;
    ASSERT_TRUE(server->WaitFor(Mrim::CmdWebSessionRequest, request));
    BusTest::Flush(bus, contactList->GetQueueHandle());
    EXPECT_EQ(2u, Items(id).size());
    EXPECT_EQ(group, contactList->GetContactGroup(saved));
}
