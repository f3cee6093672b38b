#include "ContactListTestSupport.h"

#include "Zel/core/contactlist/ContactListFile.h"

#include <cstring>
#include <random>

using namespace ContactListTest;

namespace {

Bytes Ascii(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

Bytes Utf8(const std::wstring& text)
{
    Bytes out;
    if (text.empty()) return out;
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0, nullptr, nullptr);
    out.resize(size_t(n));
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), reinterpret_cast<char*>(out.data()), n, nullptr, nullptr);
    return out;
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes LE32(unsigned n)
{
    return {(unsigned char)n, (unsigned char)(n >> 8), (unsigned char)(n >> 16), (unsigned char)(n >> 24)};
}

// One value record: [name length][UTF-8 name][32-bit little-endian data length][data].
Bytes Form(const Bytes& name, const Bytes& data)
{
    return Concat({{(unsigned char)name.size()}, name, LE32(unsigned(data.size())), data});
}

Bytes Form(const std::string& name, const Bytes& data)
{
    return Form(Ascii(name), data);
}

Bytes Prop(const std::string& name, const std::string& value)
{
    return Form(name, Ascii(value));
}

// Account A: group "Friends" holding 111 and 222 (with an alias), then the top-level contact 333.
Bytes AccountARecord()
{
    return Form(Utf8(KeyA),
                Concat({Form("Group", Concat({Form("Group settings", Prop("CL Alias", "Friends")),
                                              Form("Contact", Prop("Account name", "111")),
                                              Form("Contact", Concat({Prop("Account name", "222"), Prop("CL Alias", "Two")}))})),
                        Form("Contact", Prop("Account name", "333"))}));
}

// Account B: one top-level contact.
Bytes AccountBRecord()
{
    return Form(Utf8(KeyB), Form("Contact", Prop("Account name", "bob-friend")));
}

const std::wstring kGhostKey = L"{11111111-2222-3333-4444-555555555555}ghost";

Bytes GhostRecord()
{
    return Form(Utf8(kGhostKey), Form("Group", Form("Group settings", Prop("CL Alias", "Haunted"))));
}

// The "Account name" of every contact of the account, in list order, "g:" + alias for groups.
std::vector<std::wstring> Describe(CContactListData& list, unsigned account)
{
    std::vector<std::wstring> out;
    CZELArray<ContactListItemPair> items;
    list.GetAccountItems(account, items);
    for (int i = 0; i < items.GetCount(); ++i) {
        CZELString text;
        if (items[i].contactId) {
            list.GetPropertyString(items[i].contactId, CZELString(L"Account name"), text);
            out.push_back((items[i].groupId ? L"  " : L"") + Text(text));
        } else {
            list.GetPropertyString(items[i].groupId, CZELString(L"CL Alias"), text);
            out.push_back(L"g:" + Text(text));
        }
    }
    return out;
}

const std::vector<std::wstring> kAccountAList = {L"g:Friends", L"  111", L"  222", L"333"};

}  // namespace

class ContactListFileTest : public ContactListFixture {
protected:
    // Fills account A as AccountARecord describes it.
    void FillAccountA()
    {
        CreateAccount(AccountA);
        int group = list->AddGroup(AccountA);
        list->SetPropertyString(group, CZELString(L"CL Alias"), CZELString(L"Friends"));
        int top = list->AddContact(AccountA, 0);
        SetName(top, L"333");
        int first = list->AddContact(AccountA, group);
        SetName(first, L"111");
        int second = list->AddContact(AccountA, group);
        SetName(second, L"222");
        list->SetPropertyString(second, CZELString(L"CL Alias"), CZELString(L"Two"));
    }
};

TEST_F(ContactListFileTest, AnAccountIsStoredAsGroupsWithTheirContactsThenTopLevelContacts)
{
    FillAccountA();
    list->FindOrAddContact(AccountA, CZELString(L"stranger"));  // never stored
    Restart();
    EXPECT_EQ(StoredList(), AccountARecord());
}

// A stored list comes back as one batch: one CLE_UPDATE_BEGIN and one CLE_UPDATE_END, no event per
// item (the subscribers read the whole list at the end), and no account asked for statuses.
TEST_F(ContactListFileTest, AStoredListComesBackInOneBatch)
{
    StoreList(Concat({AccountARecord(), AccountBRecord()}));
    CreateAccount(AccountA);
    Settle();
    EXPECT_EQ(recorder->Codes(), (std::vector<int>{CLE_UPDATE_BEGIN, CLE_UPDATE_END}));
    EXPECT_EQ(Describe(*list, AccountA), kAccountAList);
    CZELArray<ContactListItemPair> items;
    ASSERT_TRUE(list->GetAccountItems(AccountA, items));
    ASSERT_EQ(items.GetCount(), 4);
    EXPECT_EQ(list->GetContactGroup(items[1].contactId), items[0].groupId);
    EXPECT_EQ(list->GetContactGroup(items[3].contactId), 0);
    EXPECT_EQ(Property(items[2].contactId, L"CL Alias"), L"Two");
    EXPECT_EQ(accounts.iconRequests, 0);
    EXPECT_EQ(list->LoadAccountContactList(AccountC), 0);

    // The other account's record waits for that account.
    EXPECT_TRUE(Describe(*list, AccountB).empty());
    CreateAccount(AccountB);
    EXPECT_EQ(Describe(*list, AccountB), (std::vector<std::wstring>{L"bob-friend"}));
}

TEST_F(ContactListFileTest, WhatLoadingFindsDecidesItsResult)
{
    struct Case {
        const char* name;
        Bytes stored;
        bool store;
        int result;
        std::vector<std::wstring> list;
    } cases[] = {
        {"no CL data", {}, false, 0, {}},
        {"an empty CL data", {}, true, 0, {}},
        {"no record of the account", AccountBRecord(), true, 0, {}},
        {"a record without items", Form(Utf8(KeyA), {}), true, 1, {}},
        {"the record's name in other letter case",
         Form(Utf8(L"{bb11faad-81a3-4cd4-913b-39dda89cf340}ALICE"), Form("Contact", Prop("Account name", "x"))), true,
         1, {L"x"}},
        {"two records of one name: the first counts",
         Concat({Form(Utf8(KeyA), Form("Contact", Prop("Account name", "first"))),
                 Form(Utf8(KeyA), Form("Contact", Prop("Account name", "second")))}),
         true, 1, {L"first"}},
        {"Group settings makes a group whatever the record's name",
         Form(Utf8(KeyA), Form("Anything", Concat({Form("Group settings", Prop("CL Alias", "G")),
                                                   Form("Contact", Prop("Account name", "in")),
                                                   Form("Ignored", Prop("Account name", "out"))}))),
         true, 1, {L"g:G", L"  in"}},
        {"a group's second settings record is ignored",
         Form(Utf8(KeyA), Form("Group", Concat({Form("Group settings", Prop("CL Alias", "one")),
                                                Form("Group settings", Prop("CL Alias", "two"))}))),
         true, 1, {L"g:one"}},
        {"the first of two equal property names counts",
         Form(Utf8(KeyA), Form("Contact", Concat({Prop("Account name", "a"), Prop("account NAME", "b")}))), true, 1,
         {L"a"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Restart();
        if (c.store) StoreList(c.stored);
        CreateAccount(AccountA);  // registers the account and loads its list
        EXPECT_EQ(Describe(*list, AccountA), c.list);
        Announce(PMEV_ACCOUNT_RENAMED, AccountA);  // empties the list, keeps the account
        EXPECT_EQ(list->LoadAccountContactList(AccountA), c.result);
        EXPECT_EQ(Describe(*list, AccountA), c.list);
        // Forgotten, so that the next restart does not store it.
        Announce(PMEV_ACCOUNT_REMOVING, AccountA);
        Restart();
        EXPECT_TRUE(StoredList().empty());
    }
}

// "CL data" cut at every byte: each account gets every whole group and contact before the cut (a
// group once its settings stand whole, with its whole contacts), and the bytes after them go back
// as they were, so nothing stored is lost and the next runs find the same.
TEST_F(ContactListFileTest, ACutListKeepsEveryWholeItemAndItsDamagedTail)
{
    Bytes settings = Form("Group settings", Prop("CL Alias", "Friends"));
    Bytes first = Form("Contact", Prop("Account name", "111"));
    Bytes second = Form("Contact", Concat({Prop("Account name", "222"), Prop("CL Alias", "Two")}));
    Bytes group = Form("Group", Concat({settings, first, second}));
    Bytes top = Form("Contact", Prop("Account name", "333"));
    Bytes bobs = Form("Contact", Prop("Account name", "bob-friend"));
    Bytes good = Concat({Form(Utf8(KeyA), Concat({group, top})), Form(Utf8(KeyB), bobs)});
    ASSERT_EQ(good, Concat({AccountARecord(), AccountBRecord()}));
    const size_t aHead = 1 + Utf8(KeyA).size() + 4, groupHead = 1 + 5 + 4, bHead = 1 + Utf8(KeyB).size() + 4;
    const size_t aSize = aHead + group.size() + top.size();
    // Where the record of each line of the loaded lists ends.
    struct Mark {
        size_t end;
        unsigned account;
        std::wstring line;
    } marks[] = {
        {aHead + groupHead + settings.size(), AccountA, L"g:Friends"},
        {aHead + groupHead + settings.size() + first.size(), AccountA, L"  111"},
        {aHead + group.size(), AccountA, L"  222"},
        {aSize, AccountA, L"333"},
        {aSize + bHead + bobs.size(), AccountB, L"bob-friend"},
    };
    for (size_t cut = 0; cut <= good.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        std::vector<std::wstring> expectedA, expectedB;
        for (const Mark& mark : marks)
            if (cut >= mark.end) (mark.account == AccountA ? expectedA : expectedB).push_back(mark.line);
        Restart();
        recorder->probeRemovals = false;
        StoreList(Bytes(good.begin(), good.begin() + cut));
        CreateAccount(AccountA);
        CreateAccount(AccountB);
        EXPECT_EQ(Describe(*list, AccountA), expectedA);
        EXPECT_EQ(Describe(*list, AccountB), expectedB);

        Restart();
        Bytes stored = StoredList();
        // Every byte is kept, only lengths are made whole; an account whose record did not begin
        // before the cut is stored with an empty list besides.
        EXPECT_EQ(stored.size(), cut + (cut < aHead ? aHead : 0) + (cut < aSize + bHead ? bHead : 0));
        recorder->probeRemovals = false;
        CreateAccount(AccountA);
        CreateAccount(AccountB);
        EXPECT_EQ(Describe(*list, AccountA), expectedA);
        EXPECT_EQ(Describe(*list, AccountB), expectedB);
        Restart();
        EXPECT_EQ(StoredList(), stored);
        Announce(PMEV_ACCOUNT_REMOVING, AccountA);
        Announce(PMEV_ACCOUNT_REMOVING, AccountB);
    }
}

TEST_F(ContactListFileTest, DamageInsideAnAccountCostsOnlyWhatItTouches)
{
    Bytes badProperty = Concat({Prop("Account name", "kept"), Bytes{12, 'C', 'L'}});  // cut short
    Bytes overrun = Concat({Bytes{7}, Ascii("Contact"), LE32(0xFFFFFFF0u), Ascii("xx")});
    struct Case {
        const char* name;
        Bytes items;
        std::vector<std::wstring> list;
        bool storedAgain;  // the account's record comes back byte for byte
    } cases[] = {
        {"a property list cut short keeps its whole properties",
         Concat({Form("Contact", badProperty), Form("Contact", Prop("Account name", "next"))}), {L"kept", L"next"},
         false},
        {"an item whose length runs past the end ends the list",
         Concat({Form("Contact", Prop("Account name", "before")), overrun}), {L"before"}, true},
        {"a contact of a group cut short keeps its whole properties",
         Form("Group", Concat({Form("Group settings", Prop("CL Alias", "G")), Form("Contact", badProperty)})),
         {L"g:G", L"  kept"}, false},
        {"a contact whose length runs past its group's end ends the group",
         Concat({Form("Group", Concat({Form("Group settings", Prop("CL Alias", "G")),
                                       Form("Contact", Prop("Account name", "in")), overrun})),
                 Form("Contact", Prop("Account name", "after"))}),
         {L"g:G", L"  in", L"after"}, true},
        {"a group whose settings are damaged is still a group",
         Form("Group", Concat({Form("Group settings", Bytes{3, 'a'}), Form("Contact", Prop("Account name", "in"))})),
         {L"g:", L"  in"}, false},
        {"a name byte of 0xFF and garbage after the list",
         Concat({Form("Contact", Prop("Account name", "ok")), Bytes{0xFF, 1, 2, 3}}), {L"ok"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Restart();
        Bytes stored = Form(Utf8(KeyA), c.items);
        StoreList(stored);
        CreateAccount(AccountA);
        EXPECT_EQ(Describe(*list, AccountA), c.list);
        Restart();
        if (c.storedAgain) {
            EXPECT_EQ(StoredList(), stored);
        }
        CreateAccount(AccountA);
        EXPECT_EQ(Describe(*list, AccountA), c.list);
        Announce(PMEV_ACCOUNT_REMOVING, AccountA);
    }
}

TEST_F(ContactListFileTest, RandomDamageNeverCrashes)
{
    recorder->probeRemovals = false;
    Bytes good = Concat({AccountARecord(), GhostRecord(), AccountBRecord()});
    std::mt19937 random(99);
    for (int round = 0; round < 200; ++round) {
        Bytes damaged = good;
        int flips = 1 + int(random() % 4);
        for (int i = 0; i < flips; ++i) damaged[random() % damaged.size()] = (unsigned char)random();
        Restart();
        recorder->probeRemovals = false;
        StoreList(damaged);
        CreateAccount(AccountA);
        CreateAccount(AccountB);
        Describe(*list, AccountA);
    }
    Restart();
}

// Nothing stored is lost because a plug-in is missing for one run: records of accounts not
// created in this run go back unchanged, after the lists of the accounts that were.
TEST_F(ContactListFileTest, RecordsOfAccountsNotCreatedAreCarriedThrough)
{
    accounts.SetNotCreated({ProtocolOf(kGhostKey), ProtocolOf(KeyB)});
    StoreList(Concat({GhostRecord(), AccountARecord(), AccountBRecord()}));
    CreateAccount(AccountA);
    int added = list->AddContact(AccountA, 0);
    SetName(added, L"444");
    Restart();
    Bytes expectedA = Form(Utf8(KeyA), Concat({Form("Group", Concat({Form("Group settings", Prop("CL Alias", "Friends")),
                                                                     Form("Contact", Prop("Account name", "111")),
                                                                     Form("Contact", Concat({Prop("Account name", "222"),
                                                                                             Prop("CL Alias", "Two")}))})),
                                               Form("Contact", Prop("Account name", "333")),
                                               Form("Contact", Prop("Account name", "444"))}));
    EXPECT_EQ(StoredList(), Concat({expectedA, GhostRecord(), AccountBRecord()}));

    // B's plug-in is back in the next run: its list is there.
    CreateAccount(AccountB);
    EXPECT_EQ(Describe(*list, AccountB), (std::vector<std::wstring>{L"bob-friend"}));
}

TEST_F(ContactListFileTest, EachAccountReplacesOneStoredRecordOfItsName)
{
    Bytes first = Form(Utf8(KeyA), Form("Contact", Prop("Account name", "first")));
    Bytes second = Form(Utf8(KeyA), Form("Contact", Prop("Account name", "second")));
    StoreList(Concat({first, second}));
    accounts.SetNotCreated({ProtocolOf(KeyA)});
    CreateAccount(AccountA);
    Restart();
    // The first record was loaded and written again; the second stays for whoever it belongs to,
    // another account of that protocol that is not created in this run.
    EXPECT_EQ(StoredList(), Concat({first, second}));
}

// A list goes with its account: the record of an account removed or renamed in this run is not
// stored again, so re-adding the account does not bring the old list back and renamed accounts
// leave no records behind. Records of stored accounts that are not created in this run stay.
TEST_F(ContactListFileTest, ForgottenAccountsLeaveNoListBehind)
{
    const std::wstring renamedKey = std::wstring(KeyA) + L"-renamed";
    Bytes renamed = Form(Utf8(renamedKey), Form("Contact", Prop("Account name", "new")));
    struct Case {
        const char* name;
        Bytes stored;
        std::vector<ZEL_GUID> notCreated;
        bool known;
        bool rename;  // else the account is removed
        Bytes expected;
    } cases[] = {
        {"a removed account", Concat({AccountARecord(), AccountBRecord(), GhostRecord()}), {ProtocolOf(KeyB)}, true,
         false, AccountBRecord()},
        {"a removed account whose protocol has an account not created",
         Concat({AccountARecord(), AccountBRecord()}), {ProtocolOf(KeyA), ProtocolOf(KeyB)}, true, false,
         AccountBRecord()},
        {"a removed account when the stored accounts cannot be told apart",
         Concat({GhostRecord(), AccountARecord()}), {}, false, false, GhostRecord()},
        {"the only account removed", AccountARecord(), {}, true, false, {}},
        {"a renamed account", Concat({AccountARecord(), AccountBRecord()}), {ProtocolOf(KeyB)}, true, true,
         Concat({renamed, AccountBRecord()})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Restart();
        StoreList(c.stored);
        accounts.SetNotCreated(c.notCreated, c.known);
        CreateAccount(AccountA);
        EXPECT_EQ(Describe(*list, AccountA), kAccountAList);
        if (c.rename) {
            accounts.SetKey(AccountA, renamedKey);
            Announce(PMEV_ACCOUNT_RENAMED, AccountA);
            SetName(list->AddContact(AccountA, 0), L"new");
        } else {
            Announce(PMEV_ACCOUNT_REMOVING, AccountA);
        }
        Restart();
        EXPECT_EQ(StoredList(), c.expected);
        if (!c.rename) {
            // The account is added again: with an empty list.
            CreateAccount(AccountA);
            EXPECT_TRUE(Describe(*list, AccountA).empty());
        }
        Announce(PMEV_ACCOUNT_REMOVING, AccountA);
        accounts.SetKey(AccountA, KeyA);
    }
}

TEST_F(ContactListFileTest, WithNothingToStoreTheOldValueStays)
{
    struct Case {
        const char* name;
        bool stored;
        bool manager;
        bool account;
    } cases[] = {
        {"no account and nothing stored", false, true, false},
        {"no account: the stored records go back as they were", true, true, false},
        {"no protocols manager: nothing is saved", true, false, true},
    };
    accounts.SetNotCreated({ProtocolOf(kGhostKey), ProtocolOf(KeyB)});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Restart();
        Announce(PMEV_ACCOUNT_REMOVING, AccountA);
        Bytes before = c.stored ? Concat({GhostRecord(), AccountBRecord()}) : Bytes();
        int size = 0;
        if (c.stored) {
            StoreList(before);
        } else {
            // Nothing stored at all.
            ASSERT_FALSE(store->GetValueSize(GUID_CONTACT_LIST_DATA, CZELString(L"CL data"), &size));
        }
        accounts.available = c.manager;
        if (c.account) {
            CreateAccount(AccountA);
            list->AddGroup(AccountA);
        }
        Restart();
        accounts.available = true;
        EXPECT_EQ(StoredList(), before);
        EXPECT_EQ(store->GetValueSize(GUID_CONTACT_LIST_DATA, CZELString(L"CL data"), &size) != 0, c.stored);
        Announce(PMEV_ACCOUNT_REMOVING, AccountA);
    }
}

TEST_F(ContactListFileTest, WithoutASettingsStoreNothingIsLoadedOrSaved)
{
    Services::CServicesManager bare;
    FakeAccounts fake;
    CContactListData alone(bare, &fake);
    CRefValue account(AccountA);
    alone.HandleMessage(GUID_PROTOCOLS_MANAGER, PMEV_ACCOUNT_CREATED, &account, nullptr);
    int group = alone.AddGroup(AccountA);
    EXPECT_NE(group, 0);
    EXPECT_EQ(alone.LoadAccountContactList(AccountA), 0);
    EXPECT_TRUE(alone.GetAntispamEnable());
    EXPECT_TRUE(alone.GetAntispamMsgsFromNIL());
    EXPECT_EQ(Text(alone.GetAntispamAnswer()), L"");
}

// The accounts' names are asked of the accounts themselves: neither saving nor loading may hold
// the list's lock while it waits for one, since the account's thread may be waiting for that lock.
TEST_F(ContactListFileTest, NoAccountIsWaitedForWhileTheLockIsHeld)
{
    StoreList(AccountARecord());
    std::atomic<int> waits{0}, blocked{0};
    CContactListData* current = list.get();
    accounts.onWait = [&] {
        ++waits;
        auto done = std::make_shared<std::atomic<bool>>(false);
        CContactListData* probed = current;
        std::thread probe([probed, done] {
            probed->GetContactGroup(1);
            *done = true;
        });
        for (int i = 0; i < 2000 && !*done; ++i) Sleep(1);
        if (*done) {
            probe.join();
        } else {
            ++blocked;
            probe.detach();
        }
    };
    CreateAccount(AccountA);  // loads: names and statuses asked
    EXPECT_EQ(Describe(*list, AccountA), kAccountAList);
    list->GetContactKey(int(0x80000001));
    list->FindContactByKey(Str(std::wstring(KeyA) + L"|111"));
    Restart();  // saves: names asked
    accounts.onWait = nullptr;
    EXPECT_GE(waits, 4);
    EXPECT_EQ(blocked, 0);
    EXPECT_EQ(StoredList(), AccountARecord());
}

// A name the network chose may be too long for a record's length byte: the record is stored under
// the name cut at a character boundary, and found again under it.
TEST_F(ContactListFileTest, AnAccountNameTooLongForARecordIsCutAlikeOnSaveAndLoad)
{
    std::wstring longKey = L"{BB11FAAD-81A3-4CD4-913B-39DDA89CF340}" + std::wstring(300, L'\u00e9');
    accounts.SetKey(AccountA, longKey);
    CreateAccount(AccountA);
    SetName(list->AddContact(AccountA, 0), L"kept");
    Restart();
    Bytes stored = StoredList();
    ASSERT_FALSE(stored.empty());
    // 38 bytes of GUID and 108 two-byte characters; a 109th would pass 255.
    EXPECT_EQ(stored[0], 38 + 108 * 2);
    EXPECT_EQ(Bytes(stored.begin() + 1, stored.begin() + 1 + stored[0]), Utf8(longKey.substr(0, 38 + 108)));
    CreateAccount(AccountA);
    EXPECT_EQ(Describe(*list, AccountA), (std::vector<std::wstring>{L"kept"}));
}

TEST(ContactListFileFormatTest, RecordNamesAreCutAtCharacterBoundaries)
{
    struct Case {
        const char* name;
        std::wstring key;
        size_t units;
    } cases[] = {
        {"short", L"abc", 3},
        {"255 bytes", std::wstring(255, L'a'), 255},
        {"256 bytes", std::wstring(256, L'a'), 255},
        {"three-byte characters", std::wstring(100, L'\u4e2d'), 85},
        {"a pair not split", std::wstring(254, L'a') + L"\U0001F600", 254},
        {"a pair that fits", std::wstring(251, L'a') + L"\U0001F600" + L"b", 253},
        {"empty", L"", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CZELString cut = ContactListFile::AccountRecordName(Str(c.key));
        EXPECT_EQ(size_t(cut.GetLength()), c.units);
        EXPECT_LE(ValueRecord::Utf8Length(cut), 255u);
    }
}

TEST(ContactListFileFormatTest, ReadingStopsAtTheFirstRecordThatIsNotWhole)
{
    Bytes good = Concat({Prop("a", "1"), Prop("bb", "22"), Prop("", "")});
    for (size_t cut = 0; cut <= good.size(); ++cut) {
        SCOPED_TRACE(cut);
        std::vector<ContactListFile::RecordView> records;
        unsigned used = ContactListFile::ReadRecords(good.data(), unsigned(cut), records);
        size_t whole = cut >= 21 ? 3 : cut >= 16 ? 2 : cut >= 7 ? 1 : 0;
        EXPECT_EQ(records.size(), whole);
        EXPECT_EQ(used, whole == 3 ? 21u : whole == 2 ? 16u : whole == 1 ? 7u : 0u);
    }
    // Read as a list, the first record that is not whole begins the tail, and is read as a record
    // cut short once its header stands whole.
    for (size_t cut = 0; cut <= good.size(); ++cut) {
        SCOPED_TRACE(cut);
        ContactListFile::RecordList read;
        ContactListFile::ReadList(good.data(), unsigned(cut), read);
        size_t used = cut >= 21 ? 21 : cut >= 16 ? 16 : cut >= 7 ? 7 : 0;
        size_t next = used == 0 ? 6 : used == 7 ? 7 : used == 16 ? 5 : 0;  // the next record's header
        ASSERT_EQ(read.tailLength, cut - used);
        EXPECT_EQ(read.tail, good.data() + used);
        EXPECT_EQ(read.hasCut, next && cut - used >= next);
        if (read.hasCut) {
            EXPECT_EQ(read.cut.bytes, good.data() + used);
            EXPECT_EQ(read.cut.size, cut - used);
            EXPECT_EQ(read.cut.data, good.data() + used + next);
            EXPECT_EQ(read.cut.length, cut - used - next);
        }
    }
    // A data length near 4 GB must not wrap the bounds check.
    Bytes huge = Concat({Bytes{1, 'x'}, LE32(0xFFFFFFFEu), Bytes{1, 2, 3}});
    std::vector<ContactListFile::RecordView> records;
    EXPECT_EQ(ContactListFile::ReadRecords(huge.data(), unsigned(huge.size()), records), 0u);
    EXPECT_TRUE(records.empty());
    EXPECT_EQ(ContactListFile::ReadRecords(nullptr, 10, records), 0u);
}
