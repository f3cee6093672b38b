#include "ContactListTestSupport.h"

#include "ZELCommon/ZELRand.h"
#include "ZELCommon/tests/SlotOf.h"

#include <algorithm>
#include <map>
#include <random>

using namespace ContactListTest;
using TestSupport::SlotOf;

namespace {

const CZELString kAccountName(L"Account name");

struct Expected {
    int code;
    intptr_t p1;
    intptr_t p2;
};

void ExpectEvents(const std::vector<EventRecord>& got, const std::vector<Expected>& want)
{
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE("event " + std::to_string(i));
        EXPECT_EQ(got[i].code, want[i].code);
        EXPECT_EQ(got[i].p1, want[i].p1);
        EXPECT_EQ(got[i].p2, want[i].p2);
    }
}

std::vector<std::pair<int, int>> Items(CContactListData& list, unsigned account)
{
    CZELArray<ContactListItemPair> items;
    std::vector<std::pair<int, int>> out;
    if (!list.GetAccountItems(account, items)) return out;
    for (int i = 0; i < items.GetCount(); ++i) out.push_back({items[i].groupId, items[i].contactId});
    return out;
}

std::vector<int> Groups(CContactListData& list, unsigned account)
{
    CZELArray<int> groups;
    std::vector<int> out;
    list.GetAccountGroups(account, groups);
    for (int i = 0; i < groups.GetCount(); ++i) out.push_back(groups[i]);
    return out;
}

}  // namespace

TEST(ContactListSlotsTest, OperationsSitInTheirSlotsInOrder)
{
    EXPECT_EQ(SlotOf(&IContactListData::BeginUpdate), 0);
    EXPECT_EQ(SlotOf(&IContactListData::EndUpdate), 1);
    EXPECT_EQ(SlotOf(&IContactListData::AddGroup), 2);
    EXPECT_EQ(SlotOf(&IContactListData::NotifyGroupAdded), 3);
    EXPECT_EQ(SlotOf(&IContactListData::RemoveGroup), 4);
    EXPECT_EQ(SlotOf(&IContactListData::NotifyGroupChanged), 5);
    EXPECT_EQ(SlotOf(&IContactListData::AddContact), 6);
    EXPECT_EQ(SlotOf(&IContactListData::NotifyContactAdded), 7);
    EXPECT_EQ(SlotOf(&IContactListData::RemoveContact), 8);
    EXPECT_EQ(SlotOf(&IContactListData::MoveContact), 9);
    EXPECT_EQ(SlotOf(&IContactListData::GetContactGroup), 10);
    EXPECT_EQ(SlotOf(&IContactListData::NotifyContactStatus), 11);
    EXPECT_EQ(SlotOf(&IContactListData::NotifyContactChanged), 12);
    EXPECT_EQ(SlotOf(&IContactListData::FilterIncomingMessage), 13);
    EXPECT_EQ(SlotOf(&IContactListData::PostIncomingMessage), 14);
    EXPECT_EQ(SlotOf(&IContactListData::PostMessageAck), 15);
    EXPECT_EQ(SlotOf(&IContactListData::PostTypingNotify), 16);
    EXPECT_EQ(SlotOf(&IContactListData::GetContactKey), 17);
    EXPECT_EQ(SlotOf(&IContactListData::FindContactByKey), 18);
    EXPECT_EQ(SlotOf(&IContactListData::FindOrAddContact), 19);
    EXPECT_EQ(SlotOf(&IContactListData::RemoveTempContact), 20);
    EXPECT_EQ(SlotOf(&IContactListData::RemoveAccountTempContacts), 21);
    EXPECT_EQ(SlotOf(&IContactListData::IsTempContact), 22);
    EXPECT_EQ(SlotOf(&IContactListData::GetItemAccount), 23);
    EXPECT_EQ(SlotOf(&IContactListData::GetPropertyBlob), 24);
    EXPECT_EQ(SlotOf(&IContactListData::GetPropertyString), 25);
    EXPECT_EQ(SlotOf(&IContactListData::GetPropertyInt), 26);
    EXPECT_EQ(SlotOf(&IContactListData::GetPropertyShort), 27);
    EXPECT_EQ(SlotOf(&IContactListData::GetPropertyByte), 28);
    EXPECT_EQ(SlotOf(&IContactListData::SetPropertyBlob), 29);
    EXPECT_EQ(SlotOf(&IContactListData::SetPropertyString), 30);
    EXPECT_EQ(SlotOf(&IContactListData::SetPropertyInt), 31);
    EXPECT_EQ(SlotOf(&IContactListData::SetPropertyShort), 32);
    EXPECT_EQ(SlotOf(&IContactListData::SetPropertyByte), 33);
    EXPECT_EQ(SlotOf(&IContactListData::GetAccountItems), 34);
    EXPECT_EQ(SlotOf(&IContactListData::GetAccountGroups), 35);
    EXPECT_EQ(SlotOf(&IContactListData::GetAntispamMsgsFromNIL), 36);
    EXPECT_EQ(SlotOf(&QueueReceiver::HandleMessage), 0);
}

class ContactListDataTest : public ContactListFixture {};

TEST_F(ContactListDataTest, TheServiceOnTheBusIsItsInterface)
{
    void* service = bus.GetService(GUID_CONTACT_LIST_DATA);
    ASSERT_NE(service, nullptr);
    EXPECT_EQ(service, static_cast<IContactListData*>(list.get()));
    EXPECT_NE(list->GetQueueHandle(), 0);
}

TEST_F(ContactListDataTest, IdsStartAtOneForGroupsAndAtTheTopBitForContacts)
{
    CreateAccount(AccountA);
    int group = list->AddGroup(AccountA);
    int contact = list->AddContact(AccountA, group);
    int temp = list->FindOrAddContact(AccountA, CZELString(L"stranger"));
    int second = list->AddContact(AccountA, 0);
    EXPECT_EQ(group, 1);
    EXPECT_EQ(unsigned(contact), 0x80000001u);
    // Temporary and list contacts share one counter.
    EXPECT_EQ(unsigned(temp), 0x80000002u);
    EXPECT_EQ(unsigned(second), 0x80000003u);
    EXPECT_EQ(list->AddGroup(AccountA), 2);
    EXPECT_TRUE(IsGroupId(group));
    EXPECT_TRUE(IsContactId(contact));
    EXPECT_FALSE(IsGroupId(0));
    EXPECT_FALSE(IsContactId(0));
}

TEST_F(ContactListDataTest, AddersRefuseWhatNamesNoPlaceInTheAccountsList)
{
    CreateAccount(AccountA);
    CreateAccount(AccountB);
    int groupA = list->AddGroup(AccountA);
    int contactA = list->AddContact(AccountA, groupA);
    struct Case {
        const char* name;
        std::function<int()> add;
    } cases[] = {
        {"a group for an account never announced", [&] { return list->AddGroup(AccountC); }},
        {"a contact in a group that does not exist", [&] { return list->AddContact(AccountA, 77); }},
        {"a contact in a contact", [&] { return list->AddContact(AccountA, contactA); }},
        {"a contact in another account's group", [&] { return list->AddContact(AccountB, groupA); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.add(), 0);
    }
    // A refusal uses up no id.
    EXPECT_EQ(unsigned(list->AddContact(AccountA, 0)), 0x80000002u);
    EXPECT_EQ(list->AddGroup(AccountB), 2);
}

TEST_F(ContactListDataTest, ATopLevelContactOfAnUnknownAccountGetsAnIdButJoinsNoList)
{
    int contact = list->AddContact(AccountC, 0);
    EXPECT_EQ(unsigned(contact), 0x80000001u);
    EXPECT_EQ(list->GetItemAccount(contact), AccountC);
    EXPECT_TRUE(SetName(contact, L"orphan"));
    CZELArray<ContactListItemPair> items;
    EXPECT_FALSE(list->GetAccountItems(AccountC, items));
    EXPECT_NE(list->FindOrAddContact(AccountC, CZELString(L"orphan")), contact);
}

TEST_F(ContactListDataTest, NestedUpdatesAnnounceOneBeginAndOneEnd)
{
    list->BeginUpdate();
    list->BeginUpdate();
    list->EndUpdate();
    list->EndUpdate();
    // An unmatched end is ignored; the next begin is announced again.
    list->EndUpdate();
    list->BeginUpdate();
    list->EndUpdate();
    Settle();
    EXPECT_EQ(recorder->Codes(), (std::vector<int>{CLE_UPDATE_BEGIN, CLE_UPDATE_END, CLE_UPDATE_BEGIN, CLE_UPDATE_END}));
}

// Between BeginUpdate and EndUpdate additions and changes are not announced: the subscribers read
// the whole list when the batch ends. Removals still are, while the item exists, and messages are
// relayed as ever.
TEST_F(ContactListDataTest, InABatchOnlyRemovalsAndMessagesAreAnnouncedUntilItsEnd)
{
    CreateAccount(AccountA);
    int group = list->AddGroup(AccountA);
    int moved = list->AddContact(AccountA, 0);
    int removed = list->AddContact(AccountA, group);
    Settle();
    recorder->Clear();

    list->BeginUpdate();
    int added = list->AddGroup(AccountA);
    list->NotifyGroupAdded(added);
    list->NotifyGroupChanged(group);
    int contact = list->AddContact(AccountA, added);
    list->NotifyContactAdded(contact, FakeAccounts::IconsOf(contact));
    list->NotifyContactStatus(contact, FakeAccounts::IconsOf(contact));
    list->NotifyContactChanged(contact);
    EXPECT_TRUE(list->MoveContact(moved, added));
    EXPECT_TRUE(list->RemoveContact(removed));
    MessageRecord message;
    EXPECT_TRUE(list->PostIncomingMessage(contact, message));
    Settle();
    int icons = accounts.iconRequests;
    list->EndUpdate();
    Settle();
    ExpectEvents(recorder->Records(), {{CLE_UPDATE_BEGIN, -1, -1},
                                       {CLE_CONTACT_REMOVED, moved, -1},
                                       {CLE_CONTACT_REMOVED, removed, group},
                                       {CLE_INCOMING_MESSAGE, contact, -1},
                                       {CLE_UPDATE_END, -1, -1}});
    // Nobody asked the account for the moved contact's status: nothing would carry it.
    EXPECT_EQ(icons, 0);
    EXPECT_EQ(Items(*list, AccountA),
              (std::vector<std::pair<int, int>>{{group, 0}, {added, 0}, {added, moved}, {added, contact}}));

    // After the batch each is announced again.
    recorder->Clear();
    list->NotifyContactChanged(contact);
    Settle();
    ExpectEvents(recorder->Records(), {{CLE_CONTACT_CHANGED, contact, -1}});
}

TEST_F(ContactListDataTest, EveryEventReachesASubscribedQueue)
{
    CreateAccount(AccountA);
    int group = list->AddGroup(AccountA);
    int contact = list->AddContact(AccountA, group);
    int top = list->AddContact(AccountA, 0);
    int image = contact & 0xFFFF;
    MessageRecord message;
    message.text = CZELString(L"hi there");
    Settle();
    recorder->Clear();

    struct Case {
        const char* name;
        std::function<void()> act;
        std::vector<Expected> events;
    } cases[] = {
        {"accounts loaded", [&] { Announce(PMEV_ACCOUNTS_LOADED, 0); }, {{CLE_ACCOUNTS_READY, -1, -1}}},
        {"update begin", [&] { list->BeginUpdate(); }, {{CLE_UPDATE_BEGIN, -1, -1}}},
        {"update end", [&] { list->EndUpdate(); }, {{CLE_UPDATE_END, -1, -1}}},
        {"group added", [&] { list->NotifyGroupAdded(group); }, {{CLE_GROUP_ADDED, group, -1}}},
        {"group changed", [&] { list->NotifyGroupChanged(group); }, {{CLE_GROUP_CHANGED, group, -1}}},
        {"contact added", [&] { list->NotifyContactAdded(contact, FakeAccounts::IconsOf(contact)); },
         {{CLE_CONTACT_ADDED, contact, -1}}},
        {"contact status", [&] { list->NotifyContactStatus(contact, FakeAccounts::IconsOf(contact)); },
         {{CLE_CONTACT_STATUS, contact, -1}}},
        {"contact changed", [&] { list->NotifyContactChanged(contact); }, {{CLE_CONTACT_CHANGED, contact, -1}}},
        {"incoming message", [&] { EXPECT_TRUE(list->PostIncomingMessage(contact, message)); },
         {{CLE_INCOMING_MESSAGE, contact, -1}}},
        {"message ack", [&] { EXPECT_TRUE(list->PostMessageAck(contact, 42)); }, {{CLE_MESSAGE_ACK, contact, 42}}},
        {"typing", [&] { EXPECT_TRUE(list->PostTypingNotify(contact, 0)); }, {{CLE_TYPING, contact, 0}}},
        {"typing over", [&] { EXPECT_TRUE(list->PostTypingNotify(contact, 1)); }, {{CLE_TYPING, contact, 1}}},
        {"top-level contact removed", [&] { EXPECT_TRUE(list->RemoveContact(top)); },
         {{CLE_CONTACT_REMOVED, top, 0}}},
        {"group removed", [&] { EXPECT_TRUE(list->RemoveGroup(group)); },
         {{CLE_CONTACT_REMOVED, contact, -1}, {CLE_GROUP_REMOVED, group, -1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.act();
        Settle();
        std::vector<EventRecord> got = recorder->Records();
        ExpectEvents(got, c.events);
        if (!got.empty() && got[0].code == CLE_CONTACT_ADDED) {
            EXPECT_EQ(got[0].group, group);
            EXPECT_EQ(got[0].status, 2);
            EXPECT_EQ(got[0].image, image);
        }
        if (!got.empty() && got[0].code == CLE_CONTACT_STATUS) {
            EXPECT_EQ(got[0].image, image);
        }
        if (!got.empty() && got[0].code == CLE_INCOMING_MESSAGE) {
            EXPECT_EQ(got[0].text, L"hi there");
        }
        recorder->Clear();
    }
}

TEST_F(ContactListDataTest, NotifiersAndRelaysIgnoreWhatIsNotAListItem)
{
    CreateAccount(AccountA);
    int group = list->AddGroup(AccountA);
    int contact = list->AddContact(AccountA, group);
    int temp = list->FindOrAddContact(AccountA, CZELString(L"stranger"));
    MessageRecord message;
    Settle();
    recorder->Clear();
    struct Case {
        const char* name;
        std::function<void()> act;
    } cases[] = {
        {"group added for a contact id", [&] { list->NotifyGroupAdded(contact); }},
        {"group added for an unknown id", [&] { list->NotifyGroupAdded(999); }},
        {"group changed for an unknown id", [&] { list->NotifyGroupChanged(0); }},
        {"contact added for a group id", [&] { list->NotifyContactAdded(group, StatusInfo()); }},
        {"contact added for a temporary contact", [&] { list->NotifyContactAdded(temp, StatusInfo()); }},
        {"status of an unknown contact", [&] { list->NotifyContactStatus(int(0x8000FFFF), StatusInfo()); }},
        {"changed of a temporary contact", [&] { list->NotifyContactChanged(temp); }},
        {"message of a temporary contact", [&] { list->PostIncomingMessage(temp, message); }},
        {"message of an unknown contact", [&] { list->PostIncomingMessage(-5, message); }},
        {"message addressed to a group", [&] { list->PostIncomingMessage(group, message); }},
        {"ack of an unknown contact", [&] { list->PostMessageAck(12345, 1); }},
        {"typing of a temporary contact", [&] { list->PostTypingNotify(temp, 0); }},
        {"removal of an unknown contact", [&] { list->RemoveContact(int(0x80001234)); }},
        {"removal of a contact as a group", [&] { list->RemoveGroup(contact); }},
        {"removal of a group as a contact", [&] { list->RemoveContact(group); }},
        {"removal of a temporary contact as a list contact", [&] { list->RemoveContact(temp); }},
        {"move of an unknown contact", [&] { list->MoveContact(int(0x80001234), group); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.act();
        Settle();
        EXPECT_TRUE(recorder->Codes().empty());
        recorder->Clear();
    }
    EXPECT_EQ(list->GetContactGroup(contact), group);
    EXPECT_EQ(list->IsTempContact(temp), 1);
}

TEST_F(ContactListDataTest, RemovingAGroupAnnouncesEachContactThenTheGroupWhileTheyStillExist)
{
    CreateAccount(AccountA);
    int group = list->AddGroup(AccountA);
    int first = list->AddContact(AccountA, group);
    int second = list->AddContact(AccountA, group);
    int other = list->AddGroup(AccountA);
    int stays = list->AddContact(AccountA, other);
    SetName(first, L"one");
    SetName(second, L"two");
    Settle();
    recorder->Clear();

    EXPECT_TRUE(list->RemoveGroup(group));
    Settle();
    std::vector<EventRecord> got = recorder->Records();
    ExpectEvents(got, {{CLE_CONTACT_REMOVED, first, -1}, {CLE_CONTACT_REMOVED, second, -1}, {CLE_GROUP_REMOVED, group, -1}});
    ASSERT_EQ(got.size(), 3u);
    // Synchronous: each item was still there, with its properties, while the subscriber handled it.
    EXPECT_TRUE(got[0].itemExisted);
    EXPECT_EQ(got[0].nameSeen, L"one");
    EXPECT_EQ(got[1].nameSeen, L"two");
    EXPECT_TRUE(got[2].itemExisted);
    // And gone afterwards.
    EXPECT_EQ(list->GetItemAccount(first), 0u);
    EXPECT_EQ(list->GetItemAccount(group), 0u);
    EXPECT_EQ(Items(*list, AccountA), (std::vector<std::pair<int, int>>{{other, 0}, {other, stays}}));
}

// While a removal waits for its subscribers the lock is left, and plug-in threads go on adding:
// nothing they add to what is being removed may be left behind, out of every list.
TEST_F(ContactListDataTest, NothingJoinsWhatIsBeingRemoved)
{
    CreateAccount(AccountA);
    int group = list->AddGroup(AccountA);
    list->AddContact(AccountA, group);
    std::vector<int> addedToGroup;
    int addedGroup = 0, addedTop = 0;
    recorder->onEvent = [&](const EventRecord& event) {
        // Twice at most, so that a list that kept taking contacts could still end its removal.
        if ((event.code == CLE_CONTACT_REMOVED || event.code == CLE_GROUP_REMOVED) && addedToGroup.size() < 2)
            addedToGroup.push_back(list->AddContact(AccountA, group));
    };
    EXPECT_TRUE(list->RemoveGroup(group));
    Settle();
    EXPECT_EQ(addedToGroup, (std::vector<int>{0, 0}));
    EXPECT_EQ(list->GetItemAccount(group), 0u);

    // What joins an account while its list is emptied goes too; then the account is gone.
    int late = list->AddContact(AccountA, 0);
    recorder->onEvent = [&](const EventRecord& event) {
        if (event.code == CLE_CONTACT_REMOVED && event.p1 == late && !addedGroup) {
            addedGroup = list->AddGroup(AccountA);
            addedTop = list->AddContact(AccountA, 0);
        }
    };
    Announce(PMEV_ACCOUNT_REMOVING, AccountA);
    Settle();
    recorder->onEvent = nullptr;
    EXPECT_NE(addedGroup, 0);
    EXPECT_NE(addedTop, 0);
    EXPECT_EQ(list->GetItemAccount(addedGroup), 0u);
    EXPECT_EQ(list->GetItemAccount(addedTop), 0u);
    EXPECT_EQ(list->AddGroup(AccountA), 0);
}

TEST_F(ContactListDataTest, RemovingAContactAnnouncesItsGroupWhileItStillExists)
{
    CreateAccount(AccountA);
    int group = list->AddGroup(AccountA);
    int member = list->AddContact(AccountA, group);
    int top = list->AddContact(AccountA, 0);
    SetName(member, L"member");
    Settle();
    recorder->Clear();
    struct Case {
        const char* name;
        int contact;
        int group;
        const wchar_t* seen;
    } cases[] = {{"in a group", member, group, L"member"}, {"at the top level", top, 0, L""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(list->RemoveContact(c.contact));
        Settle();
        std::vector<EventRecord> got = recorder->Records();
        ExpectEvents(got, {{CLE_CONTACT_REMOVED, c.contact, c.group}});
        if (!got.empty()) {
            EXPECT_TRUE(got[0].itemExisted);
            EXPECT_EQ(got[0].nameSeen, c.seen);
        }
        EXPECT_EQ(list->GetItemAccount(c.contact), 0u);
        recorder->Clear();
    }
    EXPECT_EQ(Items(*list, AccountA), (std::vector<std::pair<int, int>>{{group, 0}}));
}

TEST_F(ContactListDataTest, MovesAnnounceRemovalThenAdditionWithTheNewGroupAndStatus)
{
    CreateAccount(AccountA);
    CreateAccount(AccountB);
    int from = list->AddGroup(AccountA);
    int to = list->AddGroup(AccountA);
    int foreign = list->AddGroup(AccountB);
    int member = list->AddContact(AccountA, from);
    int top = list->AddContact(AccountA, 0);
    Settle();
    recorder->Clear();

    struct Case {
        const char* name;
        int contact;
        int target;
        std::vector<Expected> events;
        int groupAfter;
    } cases[] = {
        {"from a group to another", member, to, {{CLE_CONTACT_REMOVED, member, from}, {CLE_CONTACT_ADDED, member, -1}}, to},
        {"from the top level to a group", top, from, {{CLE_CONTACT_REMOVED, top, -1}, {CLE_CONTACT_ADDED, top, -1}}, from},
        {"to the top level", member, 0, {}, to},
        {"to a group that does not exist", member, 99, {}, to},
        {"to another account's group", member, foreign, {}, to},
        {"to a contact", member, top, {}, to},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(list->MoveContact(c.contact, c.target));
        Settle();
        std::vector<EventRecord> got = recorder->Records();
        ExpectEvents(got, c.events);
        if (got.size() == 2) {
            EXPECT_EQ(got[1].group, c.target);
            EXPECT_EQ(got[1].status, 2);
            EXPECT_EQ(got[1].image, c.contact & 0xFFFF);
        }
        EXPECT_EQ(list->GetContactGroup(c.contact), c.groupAfter);
        recorder->Clear();
    }
    EXPECT_EQ(Items(*list, AccountA), (std::vector<std::pair<int, int>>{{from, 0}, {from, top}, {to, 0}, {to, member}}));
}

TEST_F(ContactListDataTest, AccountItemsListEachGroupWithItsContactsThenTheTopLevel)
{
    EXPECT_TRUE(Items(*list, AccountA).empty());
    CZELArray<ContactListItemPair> items;
    CZELArray<int> groups;
    EXPECT_FALSE(list->GetAccountItems(AccountA, items));
    EXPECT_FALSE(list->GetAccountGroups(AccountA, groups));

    CreateAccount(AccountA);
    EXPECT_TRUE(list->GetAccountItems(AccountA, items));
    EXPECT_EQ(items.GetCount(), 0);
    int group = list->AddGroup(AccountA);
    int top = list->AddContact(AccountA, 0);
    int first = list->AddContact(AccountA, group);
    int second = list->AddContact(AccountA, group);
    ASSERT_EQ(group, 1);
    ASSERT_EQ(unsigned(top), 0x80000001u);
    EXPECT_EQ(Items(*list, AccountA), (std::vector<std::pair<int, int>>{{1, 0}, {1, first}, {1, second}, {0, top}}));
    EXPECT_EQ(unsigned(first), 0x80000002u);
    EXPECT_EQ(unsigned(second), 0x80000003u);
    int later = list->AddGroup(AccountA);
    EXPECT_EQ(Groups(*list, AccountA), (std::vector<int>{group, later}));
    // Appended after what the array held.
    CZELArray<int> more;
    more.Add(-7);
    EXPECT_TRUE(list->GetAccountGroups(AccountA, more));
    ASSERT_EQ(more.GetCount(), 3);
    EXPECT_EQ(more[0], -7);
}

TEST_F(ContactListDataTest, TypedPropertiesAcceptOnlyTheirOwnLength)
{
    CreateAccount(AccountA);
    int group = list->AddGroup(AccountA);
    int contact = list->AddContact(AccountA, group);
    int temp = list->FindOrAddContact(AccountA, CZELString(L"stranger"));
    const int intValue = 0x01020304;
    const short shortValue = 0x0506;
    const char byteValue = char(0xF7);
    struct Case {
        const char* name;
        std::function<bool(int item, const CZELString& key)> set;
        Bytes stored;
        bool isInt, isShort, isByte, isString;
    } cases[] = {
        {"int", [&](int i, const CZELString& k) { return list->SetPropertyInt(i, k, &intValue); }, {4, 3, 2, 1}, true,
         false, false, true},
        {"short", [&](int i, const CZELString& k) { return list->SetPropertyShort(i, k, &shortValue); }, {6, 5}, false,
         true, false, true},
        {"byte", [&](int i, const CZELString& k) { return list->SetPropertyByte(i, k, &byteValue); }, {0xF7}, false,
         false, true, true},
        {"string", [&](int i, const CZELString& k) { return list->SetPropertyString(i, k, CZELString(L"h\u00e9")); },
         {'h', 0xC3, 0xA9}, false, false, false, true},
        {"empty string", [&](int i, const CZELString& k) { return list->SetPropertyString(i, k, CZELString()); }, {},
         false, false, false, false},
        {"blob of four", [&](int i, const CZELString& k) {
             const unsigned char b[] = {9, 8, 7, 6};
             int n = 4;
             return list->SetPropertyBlob(i, k, b, &n);
         },
         {9, 8, 7, 6}, true, false, false, true},
    };
    for (int item : {group, contact, temp}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " on item " + std::to_string(item));
            CZELString key(L"Value");
            ASSERT_TRUE(c.set(item, key));
            // Names ignore letter case.
            CZELString other(L"VALUE");
            unsigned char buffer[8] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
            unsigned capacity = unsigned(c.stored.size());
            EXPECT_TRUE(list->GetPropertyBlob(item, other, buffer, &capacity));
            EXPECT_EQ(Bytes(buffer, buffer + c.stored.size()), c.stored);
            if (!c.stored.empty()) {
                // One byte short of the stored length: nothing is copied.
                unsigned shorter = capacity - 1;
                unsigned char untouched[8] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
                EXPECT_FALSE(list->GetPropertyBlob(item, other, untouched, &shorter));
                EXPECT_EQ(untouched[0], 0xEE);
            }
            int i = -1;
            short s = -1;
            char b = -1;
            CZELString text(L"default");
            EXPECT_EQ(list->GetPropertyInt(item, other, &i), c.isInt);
            EXPECT_EQ(list->GetPropertyShort(item, other, &s), c.isShort);
            EXPECT_EQ(list->GetPropertyByte(item, other, &b), c.isByte);
            EXPECT_EQ(list->GetPropertyString(item, other, text), c.isString);
            if (c.isInt && c.stored[0] == 4) {
                EXPECT_EQ(i, intValue);
            }
            if (!c.isInt) {
                EXPECT_EQ(i, -1);
            }
            if (c.isShort) {
                EXPECT_EQ(s, shortValue);
            }
            if (!c.isShort) {
                EXPECT_EQ(s, -1);
            }
            if (c.isByte) {
                EXPECT_EQ(b, byteValue);
            }
            if (!c.isString) {
                EXPECT_EQ(Text(text), L"default");
            }
        }
    }
    EXPECT_EQ(Property(contact, L"value"), L"\u0009\u0008\u0007\u0006");
}

TEST_F(ContactListDataTest, PropertySettersRefuseWhatCannotBeStored)
{
    CreateAccount(AccountA);
    int contact = list->AddContact(AccountA, 0);
    const int value = 5;
    const int negative = -1, four = 4;
    struct Case {
        const char* name;
        std::function<bool()> set;
        bool stored;
    } cases[] = {
        {"an unknown item", [&] { return list->SetPropertyInt(12345, CZELString(L"x"), &value); }, false},
        {"no item at all", [&] { return list->SetPropertyInt(0, CZELString(L"x"), &value); }, false},
        {"a name of 255 bytes", [&] { return list->SetPropertyInt(contact, Str(std::wstring(255, L'n')), &value); }, true},
        {"a name of 256 bytes", [&] { return list->SetPropertyInt(contact, Str(std::wstring(256, L'n')), &value); }, false},
        {"a name of 100 three-byte characters",
         [&] { return list->SetPropertyInt(contact, Str(std::wstring(100, L'\u4e2d')), &value); }, false},
        {"a negative length", [&] { return list->SetPropertyBlob(contact, CZELString(L"x"), "abcd", &negative); }, false},
        {"no length", [&] { return list->SetPropertyBlob(contact, CZELString(L"x"), "abcd", nullptr); }, false},
        {"no bytes", [&] { return list->SetPropertyBlob(contact, CZELString(L"x"), nullptr, &four); }, false},
        {"no int", [&] { return list->SetPropertyInt(contact, CZELString(L"x"), nullptr); }, false},
        {"no short", [&] { return list->SetPropertyShort(contact, CZELString(L"x"), nullptr); }, false},
        {"no byte", [&] { return list->SetPropertyByte(contact, CZELString(L"x"), nullptr); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.set(), c.stored);
    }
    int out = 0;
    EXPECT_FALSE(list->GetPropertyInt(contact, CZELString(L"x"), &out));
    EXPECT_FALSE(list->GetPropertyInt(12345, CZELString(L"x"), &out));
    EXPECT_FALSE(list->GetPropertyInt(contact, CZELString(L"x"), nullptr));
    unsigned capacity = 4;
    EXPECT_FALSE(list->GetPropertyBlob(contact, CZELString(L"x"), &out, nullptr));
    EXPECT_FALSE(list->GetPropertyBlob(12345, CZELString(L"x"), &out, &capacity));
}

TEST_F(ContactListDataTest, ASetterReplacesTheValueInPlace)
{
    CreateAccount(AccountA);
    int contact = list->AddContact(AccountA, 0);
    const int four = 4;
    EXPECT_TRUE(list->SetPropertyInt(contact, CZELString(L"Count"), &four));
    EXPECT_TRUE(list->SetPropertyString(contact, CZELString(L"count"), CZELString(L"a much longer text")));
    int out = 0;
    EXPECT_FALSE(list->GetPropertyInt(contact, CZELString(L"COUNT"), &out));
    EXPECT_EQ(Property(contact, L"Count"), L"a much longer text");
}

TEST_F(ContactListDataTest, KeysJoinTheAccountKeyAndTheContactsAccountName)
{
    CreateAccount(AccountA);
    CreateAccount(AccountB);
    int group = list->AddGroup(AccountA);
    int alice = list->AddContact(AccountA, group);
    int top = list->AddContact(AccountA, 0);
    int unnamed = list->AddContact(AccountA, 0);
    int bobs = list->AddContact(AccountB, 0);
    SetName(alice, L"12345");
    SetName(top, L"Carol");
    SetName(bobs, L"12345");
    int temp = list->FindOrAddContact(AccountA, CZELString(L"stranger"));

    EXPECT_EQ(Text(list->GetContactKey(alice)), std::wstring(KeyA) + L"|12345");
    EXPECT_EQ(Text(list->GetContactKey(unnamed)), std::wstring(KeyA) + L"|");
    EXPECT_EQ(Text(list->GetContactKey(bobs)), std::wstring(KeyB) + L"|12345");
    EXPECT_EQ(Text(list->GetContactKey(temp)), std::wstring(KeyA) + L"|stranger");
    EXPECT_EQ(Text(list->GetContactKey(group)), L"");
    EXPECT_EQ(Text(list->GetContactKey(int(0x80009999))), L"");

    struct Case {
        const char* name;
        std::wstring key;
        int found;
    } cases[] = {
        {"a key of account A", std::wstring(KeyA) + L"|12345", alice},
        {"the same number in account B", std::wstring(KeyB) + L"|12345", bobs},
        {"letter case ignored", L"{bb11faad-81a3-4cd4-913b-39dda89cf340}ALICE|carol", top},
        {"the empty name finds an unnamed contact", std::wstring(KeyA) + L"|", unnamed},
        {"an unknown name", std::wstring(KeyA) + L"|nobody", 0},
        {"temporary contacts are not searched", std::wstring(KeyA) + L"|stranger", 0},
        {"no bar", std::wstring(KeyA), 0},
        {"a bar first", L"|12345", 0},
        {"an unknown account", L"{00000000-0000-0000-0000-000000000000}x|12345", 0},
        {"an empty key", L"", 0},
        {"a bar in the name", std::wstring(KeyA) + L"|123|45", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(list->FindContactByKey(Str(c.key)), c.found);
        // Every key the service hands out finds its contact again.
    }
    for (int contact : {alice, top, unnamed, bobs}) EXPECT_EQ(list->FindContactByKey(list->GetContactKey(contact)), contact);
}

TEST_F(ContactListDataTest, TemporaryContactsAreFoundOrMadeAndRemovedApart)
{
    CreateAccount(AccountA);
    CreateAccount(AccountB);
    int listed = list->AddContact(AccountA, 0);
    SetName(listed, L"friend");
    Settle();
    recorder->Clear();

    EXPECT_EQ(list->FindOrAddContact(AccountA, CZELString(L"FRIEND")), listed);
    int stranger = list->FindOrAddContact(AccountA, CZELString(L"stranger"));
    EXPECT_TRUE(IsContactId(stranger));
    EXPECT_EQ(list->IsTempContact(stranger), 1);
    EXPECT_EQ(list->IsTempContact(listed), 0);
    EXPECT_EQ(list->GetItemAccount(stranger), AccountA);
    EXPECT_EQ(list->GetContactGroup(stranger), 0);
    EXPECT_EQ(Property(stranger, L"Account name"), L"stranger");
    EXPECT_EQ(list->FindOrAddContact(AccountA, CZELString(L"Stranger")), stranger);
    int otherAccount = list->FindOrAddContact(AccountB, CZELString(L"stranger"));
    EXPECT_NE(otherAccount, stranger);
    int second = list->FindOrAddContact(AccountA, CZELString(L"another"));
    // Temporary contacts belong to no list and are never announced.
    EXPECT_EQ(Items(*list, AccountA), (std::vector<std::pair<int, int>>{{0, listed}}));

    list->RemoveTempContact(stranger);
    EXPECT_EQ(list->IsTempContact(stranger), 0);
    EXPECT_EQ(list->GetItemAccount(stranger), 0u);
    int again = list->FindOrAddContact(AccountA, CZELString(L"stranger"));
    EXPECT_NE(again, stranger);
    list->RemoveTempContact(listed);  // not a temporary contact: nothing happens
    EXPECT_EQ(list->GetItemAccount(listed), AccountA);

    list->RemoveAccountTempContacts(AccountA);
    EXPECT_EQ(list->IsTempContact(again), 0);
    EXPECT_EQ(list->IsTempContact(second), 0);
    EXPECT_EQ(list->IsTempContact(otherAccount), 1);

    // The account's removal leaves its temporary contacts alone.
    int kept = list->FindOrAddContact(AccountB, CZELString(L"kept"));
    Announce(PMEV_ACCOUNT_REMOVING, AccountB);
    EXPECT_EQ(list->IsTempContact(kept), 1);
    Settle();
    for (int code : recorder->Codes()) EXPECT_TRUE(code == CLE_UPDATE_BEGIN || code == CLE_UPDATE_END);
}

TEST_F(ContactListDataTest, AStrangersMessageIsAnnouncedOnlyAfterHeJoinsTheList)
{
    CreateAccount(AccountA);
    int stranger = list->FindOrAddContact(AccountA, CZELString(L"stranger"));
    MessageRecord message;
    message.text = CZELString(L"hello");
    EXPECT_TRUE(list->PostIncomingMessage(stranger, message));
    Settle();
    EXPECT_TRUE(recorder->Codes().empty());
    int listed = list->AddContact(AccountA, 0);
    SetName(listed, L"stranger");
    list->RemoveTempContact(stranger);
    EXPECT_EQ(list->FindOrAddContact(AccountA, CZELString(L"stranger")), listed);
    EXPECT_TRUE(list->PostIncomingMessage(listed, message));
    Settle();
    EXPECT_EQ(recorder->Codes(), (std::vector<int>{CLE_INCOMING_MESSAGE}));
}

// The name look-up answers what a walk of the account's list would: groups in ascending id order,
// each with its contacts in ascending order, then the top-level contacts; the last match wins.
TEST_F(ContactListDataTest, FindingByAccountNameAgreesWithAWalkOfTheList)
{
    CreateAccount(AccountA);
    CreateAccount(AccountB);
    recorder->probeRemovals = false;
    std::mt19937 random(1234);
    const wchar_t* names[] = {L"ann", L"ANN", L"bob", L"", L"carl", L"dora"};
    auto pick = [&](size_t n) { return size_t(random() % n); };
    std::vector<int> groups, contacts;

    auto walk = [&](unsigned account, const std::wstring& name) {
        int last = 0;
        for (const auto& item : Items(*list, account)) {
            if (!item.second) continue;
            CZELString value;
            list->GetPropertyString(item.second, kAccountName, value);
            if (value == Str(name)) last = item.second;
        }
        return last;
    };

    for (int round = 0; round < 400; ++round) {
        unsigned account = pick(4) ? AccountA : AccountB;
        switch (pick(7)) {
        case 0:
            if (int g = list->AddGroup(account)) groups.push_back(g);
            break;
        case 1:
        case 2: {
            int group = groups.empty() || pick(3) == 0 ? 0 : groups[pick(groups.size())];
            if (group && list->GetItemAccount(group) != account) group = 0;
            int c = list->AddContact(account, group);
            if (c) {
                contacts.push_back(c);
                if (pick(5)) SetName(c, names[pick(6)]);
            }
            break;
        }
        case 3:
            if (!contacts.empty()) SetName(contacts[pick(contacts.size())], names[pick(6)]);
            break;
        case 4:
            if (!contacts.empty() && !groups.empty()) list->MoveContact(contacts[pick(contacts.size())], groups[pick(groups.size())]);
            break;
        case 5:
            if (!contacts.empty()) list->RemoveContact(contacts[pick(contacts.size())]);
            break;
        case 6:
            if (!groups.empty() && pick(4) == 0) list->RemoveGroup(groups[pick(groups.size())]);
            break;
        }
        if (round % 20 != 19) continue;
        Settle();
        for (const wchar_t* name : names) {
            SCOPED_TRACE("round " + std::to_string(round));
            EXPECT_EQ(list->FindContactByKey(Str(std::wstring(KeyA) + L"|" + name)), walk(AccountA, name));
            EXPECT_EQ(list->FindContactByKey(Str(std::wstring(KeyB) + L"|" + name)), walk(AccountB, name));
        }
    }
}

TEST_F(ContactListDataTest, RemovingAnAccountEmptiesItsListHighestIdFirstAndForgetsIt)
{
    for (int code : {PMEV_ACCOUNT_REMOVING, PMEV_ACCOUNT_RENAMED}) {
        SCOPED_TRACE(code == PMEV_ACCOUNT_REMOVING ? "removing" : "renamed");
        CreateAccount(AccountA);
        CreateAccount(AccountB);
        int group = list->AddGroup(AccountA);
        int first = list->AddContact(AccountA, group);
        int second = list->AddContact(AccountA, group);
        int topOne = list->AddContact(AccountA, 0);
        int topTwo = list->AddContact(AccountA, 0);
        int others = list->AddContact(AccountB, 0);
        Settle();
        recorder->Clear();

        Announce(code, AccountA);
        Settle();
        ExpectEvents(recorder->Records(), {{CLE_UPDATE_BEGIN, -1, -1},
                                           {CLE_CONTACT_REMOVED, topTwo, 0},
                                           {CLE_CONTACT_REMOVED, topOne, 0},
                                           {CLE_CONTACT_REMOVED, first, -1},
                                           {CLE_CONTACT_REMOVED, second, -1},
                                           {CLE_GROUP_REMOVED, group, -1},
                                           {CLE_UPDATE_END, -1, -1}});
        for (int item : {group, first, second, topOne, topTwo}) EXPECT_EQ(list->GetItemAccount(item), 0u);
        EXPECT_EQ(list->GetItemAccount(others), AccountB);
        CZELArray<ContactListItemPair> items;
        if (code == PMEV_ACCOUNT_REMOVING) {
            EXPECT_FALSE(list->GetAccountItems(AccountA, items));
            EXPECT_EQ(list->AddGroup(AccountA), 0);
        } else {
            // A renamed account stays, with an empty list.
            EXPECT_TRUE(list->GetAccountItems(AccountA, items));
            EXPECT_EQ(items.GetCount(), 0);
            EXPECT_NE(list->AddGroup(AccountA), 0);
        }
        // An account that is not registered: nothing happens.
        recorder->Clear();
        Announce(PMEV_ACCOUNT_REMOVING, AccountC);
        Settle();
        EXPECT_TRUE(recorder->Codes().empty());
        Announce(PMEV_ACCOUNT_REMOVING, AccountA);
        Announce(PMEV_ACCOUNT_REMOVING, AccountB);
        Settle();
        recorder->Clear();
    }
}

TEST_F(ContactListDataTest, PostsReportWhetherTheyWereQueued)
{
    CreateAccount(AccountA);
    int group = list->AddGroup(AccountA);
    int contact = list->AddContact(AccountA, group);
    MessageRecord message;
    EXPECT_TRUE(list->RemoveContact(int(0x80005555)));
    EXPECT_TRUE(list->RemoveGroup(77));
    EXPECT_TRUE(list->MoveContact(contact, group));
    Settle();
    // Without the queue nothing can be queued.
    ASSERT_EQ(bus.DestroyQueue(list->GetQueueHandle()), Services::SM_OK);
    EXPECT_FALSE(list->RemoveContact(contact));
    EXPECT_FALSE(list->RemoveGroup(group));
    EXPECT_FALSE(list->MoveContact(contact, group));
    EXPECT_FALSE(list->PostIncomingMessage(contact, message));
    EXPECT_FALSE(list->PostMessageAck(contact, 1));
    EXPECT_FALSE(list->PostTypingNotify(contact, 1));
    EXPECT_EQ(list->GetItemAccount(contact), AccountA);
}

TEST_F(ContactListDataTest, HostileInputNeverCrashes)
{
    CreateAccount(AccountA);
    int group = list->AddGroup(AccountA);
    int contact = list->AddContact(AccountA, group);
    std::wstring huge(70000, L'x');
    int big = list->FindOrAddContact(AccountA, Str(huge));
    EXPECT_NE(big, 0);
    EXPECT_EQ(list->FindOrAddContact(AccountA, Str(huge)), big);
    EXPECT_EQ(list->FindContactByKey(Str(huge + L"|" + huge)), 0);
    EXPECT_EQ(list->FindContactByKey(Str(L"|" + huge)), 0);
    Bytes megabyte(1 << 20, 0xAB);
    int length = int(megabyte.size());
    EXPECT_TRUE(list->SetPropertyBlob(contact, kAccountName, megabyte.data(), &length));
    CZELString out;
    EXPECT_TRUE(list->GetPropertyString(contact, kAccountName, out));
    EXPECT_TRUE(SetName(contact, huge));

    const int ids[] = {0, 1, -1, 0x7FFFFFFF, int(0x80000000), int(0xFFFFFFFF), group, contact, big, 12345};
    StatusInfo info;
    MessageRecord message;
    for (int id : ids) {
        SCOPED_TRACE(std::to_string(id));
        list->NotifyGroupAdded(id);
        list->NotifyGroupChanged(id);
        list->NotifyContactStatus(id, info);
        list->NotifyContactChanged(id);
        list->GetContactGroup(id);
        list->GetContactKey(id);
        list->IsTempContact(id);
        list->GetItemAccount(id);
        list->PostMessageAck(id, id);
        list->PostTypingNotify(id, id);
        list->PostIncomingMessage(id, message);
        list->MoveContact(id, id);
        list->MoveContact(contact, id);
        list->AddContact(AccountA, id);
        list->AddContact(unsigned(id), 0);
        char b = 0;
        list->GetPropertyByte(id, kAccountName, &b);
    }
    Settle();
    for (int id : ids) {
        list->RemoveGroup(id);
        list->RemoveContact(id);
        list->RemoveTempContact(id);
    }
    Settle();
    CZELArray<ContactListItemPair> items;
    EXPECT_TRUE(list->GetAccountItems(AccountA, items));
}

// Plug-in threads fill the list while the queue removes and the user interface reads.
TEST_F(ContactListDataTest, ThreadsShareTheListSafely)
{
    CreateAccount(AccountA);
    recorder->probeRemovals = false;
    const int kThreads = 4, kContacts = 150;
    std::vector<int> groups;
    for (int t = 0; t < kThreads; ++t) groups.push_back(list->AddGroup(AccountA));
    std::vector<std::vector<int>> added(kThreads);
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kContacts; ++i) {
                int c = list->AddContact(AccountA, groups[size_t(t)]);
                if (!c) continue;
                added[size_t(t)].push_back(c);
                SetName(c, L"c" + std::to_wstring(t) + L"-" + std::to_wstring(i));
                list->NotifyContactAdded(c, StatusInfo());
                list->FindOrAddContact(AccountA, Str(L"t" + std::to_wstring(i)));
                // Every second contact goes again, on the queue's thread.
                if (i % 2) list->RemoveContact(c);
            }
        });
    }
    std::thread reader([&] {
        while (!stop) {
            Items(*list, AccountA);
            list->FindContactByKey(Str(std::wstring(KeyA) + L"|c1-3"));
        }
    });
    for (std::thread& thread : threads) thread.join();
    Settle();
    stop = true;
    reader.join();
    std::vector<std::pair<int, int>> expected;
    for (int t = 0; t < kThreads; ++t) {
        expected.push_back({groups[size_t(t)], 0});
        for (size_t i = 0; i < added[size_t(t)].size(); i += 2) expected.push_back({groups[size_t(t)], added[size_t(t)][i]});
    }
    EXPECT_EQ(Items(*list, AccountA), expected);
    EXPECT_EQ(list->FindContactByKey(Str(std::wstring(KeyA) + L"|c2-4")), added[2][4]);
    EXPECT_EQ(list->FindContactByKey(Str(std::wstring(KeyA) + L"|c2-5")), 0);
}

// The list follows the protocols manager's events once the bus announces start-up.
TEST_F(ContactListDataTest, StartUpSubscribesToTheManagersAccountEvents)
{
    int events[PMEV_COUNT];
    for (int code = 1; code <= PMEV_COUNT; ++code) events[code - 1] = bus.RegisterEvent(GUID_PROTOCOLS_MANAGER, code);
    bus.FireStartupEvent();

    bus.FireEvent(events[PMEV_ACCOUNT_CREATED - 1], new CRefValue(AccountA), nullptr, false);
    bus.FireEvent(events[PMEV_ACCOUNTS_LOADED - 1], nullptr, nullptr, false);
    Settle();
    EXPECT_EQ(recorder->Codes(), (std::vector<int>{CLE_ACCOUNTS_READY}));
    int group = list->AddGroup(AccountA);
    EXPECT_NE(group, 0);

    recorder->Clear();
    bus.FireEvent(events[PMEV_ACCOUNT_RENAMED - 1], new CRefValue(AccountA), nullptr, false);
    Settle();
    EXPECT_EQ(recorder->Codes(), (std::vector<int>{CLE_UPDATE_BEGIN, CLE_GROUP_REMOVED, CLE_UPDATE_END}));
    recorder->Clear();
    EXPECT_EQ(bus.FireEvent(events[PMEV_ACCOUNT_REMOVING - 1], new CRefValue(AccountA), nullptr, true), Services::SM_OK);
    EXPECT_EQ(list->AddGroup(AccountA), 0);
    // Events the list does not follow change nothing.
    bus.FireEvent(events[PMEV_ACCOUNT_MOVED - 1], new CRefValue(AccountA), new CRefValue(0), false);
    Settle();
    EXPECT_EQ(recorder->Codes(), (std::vector<int>{CLE_UPDATE_BEGIN, CLE_UPDATE_END}));
}

// A second service on the same bus (a restart) registers its own events; subscribers find those.
TEST_F(ContactListDataTest, ARestartedServiceFiresItsOwnEvents)
{
    Restart();
    CreateAccount(AccountA);
    int group = list->AddGroup(AccountA);
    list->NotifyGroupAdded(group);
    Settle();
    EXPECT_EQ(recorder->Codes(), (std::vector<int>{CLE_GROUP_ADDED}));
}
