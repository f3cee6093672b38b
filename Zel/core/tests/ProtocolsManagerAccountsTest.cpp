// Accounts through the real bus and the fake account plug-ins: creation and numbering, order,
// names, per-account values, removal, and "Accounts data" across managers.
#include "Zel/core/tests/AccountTestSupport.h"

#include "Zel/core/accounts/AccountsData.h"

#include <gtest/gtest.h>

#include <ctime>

using namespace AccountTest;

namespace {

typedef std::vector<unsigned char> Bytes;

const unsigned kFirst = CProtocolsManager::FirstAccountId;

Bytes Record(const std::string& name, const Bytes& data)
{
    Bytes out;
    out.push_back(static_cast<unsigned char>(name.size()));
    out.insert(out.end(), name.begin(), name.end());
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(data.size() >> (8 * i)));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

Bytes Join(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

std::string GuidText(const ZEL_GUID& guid)
{
    return PluginTree::GuidText(guid);
}

// A value list holding one string value, serialised.
Bytes StringValue(const wchar_t* key, const std::string& text)
{
    return Record(PluginTree::Narrow(CZELString(key)), Bytes(text.begin(), text.end()));
}

std::vector<unsigned> Ids(CProtocolsManager& manager)
{
    std::vector<unsigned> ids;
    for (int i = 0; i < manager.GetAccountCount(); ++i) ids.push_back(manager.GetAccountId(unsigned(i)));
    return ids;
}

}  // namespace

TEST_F(ManagerTest, AccountIdsStartAtTheFirstAndRefusalsTakeNone)
{
    ASSERT_TRUE(fakeA.Loaded());
    Start();
    const ZEL_GUID unknown = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_EQ(manager->CreateAccount(GUID_FAKE_REFUSING), 0u);
    EXPECT_EQ(manager->CreateAccount(unknown), 0u);
    EXPECT_EQ(manager->CreateAccount(GUID_FAKE_A), kFirst);
    EXPECT_EQ(kFirst, 0x10000001u);
    EXPECT_EQ(manager->CreateAccount(GUID_FAKE_REFUSING), 0u);
    EXPECT_EQ(manager->CreateAccount(GUID_FAKE_B), kFirst + 1);
    EXPECT_EQ(Ids(*manager), (std::vector<unsigned>{kFirst, kFirst + 1}));
    EXPECT_EQ(manager->GetAccountId(2), 0u);
    EXPECT_EQ(fakeA.live(), 1);

    Settle();
    std::vector<Event> created = recorder->Events(PMEV_ACCOUNT_CREATED);
    ASSERT_EQ(created.size(), 2u);
    EXPECT_EQ(created[0].v1, intptr_t(kFirst));
    EXPECT_EQ(created[1].v1, intptr_t(kFirst + 1));
}

// The plug-in object sees creation, PM_LOAD, the language, PM_ACCOUNT_ADDED, in that order, and
// may use its values already while it is being created.
TEST_F(ManagerTest, CreationSequence)
{
    Start();
    unsigned id = manager->CreateAccount(GUID_FAKE_A);
    ASSERT_NE(id, 0u);
    Settle(id);
    EXPECT_EQ(fakeA.Codes(id), (std::vector<int>{PM_LOAD, PM_LANGUAGE_CHANGED, PM_ACCOUNT_ADDED}));
    std::vector<FakeLogEntry> log = fakeA.Log(id);
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(std::wstring(log[1].text), L"English");
    EXPECT_EQ(Int(id, FAKE_VALUE_LOADS), 1);
    char seen = 7;
    EXPECT_TRUE(manager->GetAccountByte(id, FAKE_VALUE_SEEN_AT_CREATE, &seen));
    EXPECT_EQ(seen, 0);  // a new account has no name yet, but could look

    ProtocolDescription protocol = manager->GetAccountProtocol(id);
    EXPECT_EQ(protocol.guid, GUID_FAKE_A);
    EXPECT_EQ(Text(protocol.name), L"Fake A");
    ProtocolDescription none = manager->GetAccountProtocol(id + 100);
    EXPECT_EQ(none.guid, ZEL_GUID_NULL);
    EXPECT_EQ(none.imageIndex, -1);
    EXPECT_TRUE(none.name.IsEmpty());
}

TEST_F(ManagerTest, AccountNamesComeFromThePlugin)
{
    Start();
    unsigned id = Create(GUID_FAKE_A, L"alice@example");
    EXPECT_EQ(Name(id), L"alice@example");
    CZELString keyed;
    manager->GetAccountName(keyed, id, true);
    EXPECT_EQ(Text(keyed), L"{FA4EAC01-1111-4A4A-8101-0203040506A1}alice@example");
    CZELString unknown = L"stale";
    EXPECT_TRUE(manager->GetAccountName(unknown, id + 1, true).IsEmpty());
}

// Each typed getter takes a value only of its own stored width.
TEST_F(ManagerTest, TypedGettersCheckTheStoredWidth)
{
    Start();
    unsigned id = manager->CreateAccount(GUID_FAKE_A);
    int i = 0x11223344;
    short s = 0x5566;
    char b = 2;
    int three = 3;
    manager->SetAccountInt(id, L"int", &i);
    manager->SetAccountShort(id, L"short", &s);
    manager->SetAccountByte(id, L"byte", &b);
    manager->SetAccountBool(id, L"bool", &b);
    manager->SetAccountBlob(id, L"blob", "abc", &three);
    manager->SetAccountString(id, L"text", L"x", 0);

    struct Case {
        const wchar_t* key;
        int size;
        bool asInt, asShort, asByte, asBool;
    } cases[] = {
        {L"int", 4, true, false, false, false},  {L"short", 2, false, true, false, false},
        {L"byte", 1, false, false, true, true},  {L"bool", 1, false, false, true, true},
        {L"blob", 3, false, false, false, false}, {L"text", 1, false, false, true, true},
        {L"missing", -1, false, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(PluginTree::Narrow(CZELString(c.key)));
        int size = -1;
        EXPECT_EQ(manager->GetAccountValueSize(id, c.key, &size), c.size >= 0);
        EXPECT_EQ(size, c.size);
        int asInt = -7;
        short asShort = -7;
        char asByte = -7;
        bool asBool = false;
        EXPECT_EQ(manager->GetAccountInt(id, c.key, &asInt), c.asInt);
        EXPECT_EQ(manager->GetAccountShort(id, c.key, &asShort), c.asShort);
        EXPECT_EQ(manager->GetAccountByte(id, c.key, &asByte), c.asByte);
        EXPECT_EQ(manager->GetAccountBool(id, c.key, &asBool), c.asBool);
        // Refused reads leave the caller's default.
        if (!c.asInt) {
            EXPECT_EQ(asInt, -7);
        }
        if (!c.asShort) {
            EXPECT_EQ(asShort, -7);
        }
        if (!c.asByte) {
            EXPECT_EQ(asByte, -7);
        }
        if (!c.asBool) {
            EXPECT_FALSE(asBool);
        }
    }
    int readInt = 0;
    short readShort = 0;
    char readByte = 0;
    bool readBool = false;
    EXPECT_TRUE(manager->GetAccountInt(id, L"INT", &readInt));  // names ignore case
    EXPECT_EQ(readInt, 0x11223344);
    EXPECT_TRUE(manager->GetAccountShort(id, L"short", &readShort));
    EXPECT_EQ(readShort, 0x5566);
    // A bool stored as 2 stays 2; read as a bool it is 1.
    EXPECT_TRUE(manager->GetAccountByte(id, L"bool", &readByte));
    EXPECT_EQ(readByte, 2);
    EXPECT_TRUE(manager->GetAccountBool(id, L"bool", &readBool));
    EXPECT_TRUE(readBool);

    // A setter replaces the value, width and all.
    manager->SetAccountShort(id, L"Int", &s);
    EXPECT_FALSE(manager->GetAccountInt(id, L"int", &readInt));
    EXPECT_TRUE(manager->GetAccountShort(id, L"int", &readShort));
}

TEST_F(ManagerTest, BlobsAndScrambledStrings)
{
    Start();
    unsigned id = manager->CreateAccount(GUID_FAKE_A);
    int length = 5;
    manager->SetAccountBlob(id, L"blob", "\x01\x02\x03\x04\x05", &length);

    unsigned char buffer[8] = {0};
    unsigned capacity = 4;  // one byte short
    EXPECT_FALSE(manager->GetAccountBlob(id, L"blob", buffer, &capacity));
    EXPECT_EQ(capacity, 4u);
    EXPECT_EQ(buffer[0], 0);
    capacity = 5;
    EXPECT_TRUE(manager->GetAccountBlob(id, L"blob", buffer, &capacity));
    EXPECT_EQ(capacity, 5u);
    EXPECT_EQ(buffer[4], 5);
    capacity = 8;
    EXPECT_TRUE(manager->GetAccountBlob(id, L"blob", buffer, &capacity));
    EXPECT_EQ(capacity, 5u);

    // Bad lengths store nothing.
    int negative = -1;
    manager->SetAccountBlob(id, L"bad", "x", &negative);
    manager->SetAccountBlob(id, L"bad", nullptr, &length);
    manager->SetAccountBlob(id, L"bad", "x", nullptr);
    EXPECT_FALSE(manager->GetAccountValueSize(id, L"bad", nullptr));

    // Scrambled on the way in (any low byte but 0), unscrambled on the way out.
    manager->SetAccountString(id, L"Password", L"abc", 0x101);
    unsigned char stored[3];
    capacity = 3;
    ASSERT_TRUE(manager->GetAccountBlob(id, L"Password", stored, &capacity));
    EXPECT_EQ(Bytes(stored, stored + 3), (Bytes{0x9D, 0x9B, 0x99}));
    CZELString text;
    EXPECT_TRUE(manager->GetAccountString(id, L"Password", text, 1));
    EXPECT_EQ(Text(text), L"abc");
    // A scramble flag with a zero low byte means plain.
    manager->SetAccountString(id, L"Plain", L"abc", 0x100);
    EXPECT_TRUE(manager->GetAccountString(id, L"Plain", text, 0));
    EXPECT_EQ(Text(text), L"abc");
}

// An id that is not in the table: getters false with their output untouched, setters nothing.
TEST_F(ManagerTest, UnknownIdsChangeNothing)
{
    Start();
    unsigned id = manager->CreateAccount(GUID_FAKE_A);
    int one = 1;
    for (unsigned unknown : {0u, id + 1, 0xFFFFFFFFu}) {
        SCOPED_TRACE(unknown);
        manager->SetAccountInt(unknown, L"x", &one);
        manager->SetAccountString(unknown, L"x", L"y", 0);
        int size = -5;
        EXPECT_FALSE(manager->GetAccountValueSize(unknown, L"x", &size));
        EXPECT_EQ(size, -5);
        int value = -5;
        EXPECT_FALSE(manager->GetAccountInt(unknown, L"x", &value));
        EXPECT_EQ(value, -5);
        CZELString text = L"keep";
        EXPECT_FALSE(manager->GetAccountString(unknown, L"x", text, 0));
        EXPECT_EQ(Text(text), L"keep");
        EXPECT_EQ(manager->MoveAccount(unknown, 0), -1);
        CZELTime when;
        EXPECT_EQ(manager->GetLogonDate(unknown, &when), 1);
        EXPECT_EQ(when.GetUnixTime(), 0u);
    }
    EXPECT_FALSE(manager->GetAccountValueSize(id, L"x", nullptr));
}

TEST_F(ManagerTest, LogonDateOfAnAccountThatNeverConnected)
{
    Start();
    unsigned id = manager->CreateAccount(GUID_FAKE_A);
    CZELTime when;
    EXPECT_EQ(manager->GetLogonDate(id, &when), 1);
    EXPECT_EQ(when.GetUnixTime(), 0u);
    int stamp = 1700000000;
    manager->SetAccountInt(id, L"Logon date", &stamp);
    EXPECT_EQ(manager->GetLogonDate(id, &when), 0);
    EXPECT_EQ(when.GetUnixTime(), 1700000000u);
}

TEST_F(ManagerTest, MoveAccount)
{
    Start();
    unsigned a = manager->CreateAccount(GUID_FAKE_A);
    unsigned b = manager->CreateAccount(GUID_FAKE_A);
    unsigned c = manager->CreateAccount(GUID_FAKE_B);
    Settle();
    recorder->Clear();

    struct Case {
        const char* name;
        unsigned id;
        unsigned index;
        int result;
        std::vector<unsigned> order;
    } cases[] = {
        {"to the count", c, 3, -1, {a, b, c}},
        {"far past the end", c, 0xFFFFFFFFu, -1, {a, b, c}},
        {"last to first", c, 0, 0, {c, a, b}},
        {"first to last", c, 2, 0, {a, b, c}},
        {"to where it is", b, 1, 0, {a, b, c}},
        {"unknown id", c + 1, 0, -1, {a, b, c}},
    };
    int moves = 0;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        EXPECT_EQ(manager->MoveAccount(k.id, k.index), k.result);
        EXPECT_EQ(Ids(*manager), k.order);
        moves += k.result == 0;
    }
    Settle();
    std::vector<Event> moved = recorder->Events(PMEV_ACCOUNT_MOVED);
    ASSERT_EQ(int(moved.size()), moves);
    EXPECT_EQ(moved[0].v1, intptr_t(c));
    EXPECT_EQ(moved[0].v2, 0);
    EXPECT_EQ(moved[1].v2, 2);
}

TEST_F(ManagerTest, RemoveAccountRunsOnTheManagersQueue)
{
    Start();
    unsigned a = Create(GUID_FAKE_A, L"a");
    unsigned b = Create(GUID_FAKE_A, L"b");
    Settle();
    EXPECT_EQ(manager->RemoveAccount(a), 0);
    EXPECT_EQ(manager->RemoveAccount(a), 0);       // a second removal finds nothing
    EXPECT_EQ(manager->RemoveAccount(a + 50), 0);  // nor does one of an unknown id
    Settle();

    EXPECT_EQ(Ids(*manager), (std::vector<unsigned>{b}));
    EXPECT_EQ(fakeA.Count(a, PM_UNLOAD), 1);
    EXPECT_EQ(fakeA.live(), 1);
    EXPECT_FALSE(manager->GetAccountValueSize(a, FAKE_VALUE_NAME, nullptr));
    std::vector<Event> removing = recorder->Events(PMEV_ACCOUNT_REMOVING);
    ASSERT_GE(removing.size(), 1u);
    EXPECT_EQ(removing[0].v1, intptr_t(a));
    EXPECT_EQ(Name(b), L"b");
}

// The library of a removed account leaves memory once its last account is gone.
TEST_F(ManagerTest, RemovalUnloadsThePluginLibrary)
{
    Start();
    EXPECT_FALSE(PluginTree::IsLoaded(L"FakeB.dll"));
    unsigned first = manager->CreateAccount(GUID_FAKE_B);
    unsigned second = manager->CreateAccount(GUID_FAKE_B);
    ASSERT_TRUE(first && second);
    EXPECT_TRUE(PluginTree::IsLoaded(L"FakeB.dll"));
    manager->RemoveAccount(first);
    Settle();
    EXPECT_TRUE(PluginTree::IsLoaded(L"FakeB.dll"));
    manager->RemoveAccount(second);
    Settle();
    EXPECT_FALSE(PluginTree::IsLoaded(L"FakeB.dll"));
    EXPECT_EQ(manager->GetAccountCount(), 0);
}

// Two accounts of one protocol: two records of the same name, in table order, each with the values
// its account had when it was unloaded; a new manager recreates both, in order, with new ids.
TEST_F(ManagerTest, AccountsAndTheirValuesSurviveTheManager)
{
    Start();
    unsigned bob = Create(GUID_FAKE_A, L"bob");
    unsigned alice = Create(GUID_FAKE_A, L"alice");
    ASSERT_EQ(bob, kFirst);
    int port = 5190;
    manager->SetAccountInt(alice, L"Port", &port);
    manager->SetAccountString(alice, L"Password", L"secret", 1);
    manager->MoveAccount(alice, 0);
    Stop();

    Bytes blob = StoredAccounts();
    AccountsData::Parsed parsed = AccountsData::Parse(blob.data(), unsigned(blob.size()));
    ASSERT_EQ(parsed.records.size(), 2u);
    EXPECT_TRUE(parsed.tail.empty());
    for (const AccountsData::StoredRecord& record : parsed.records) {
        EXPECT_EQ(record.raw[0], 38);
        EXPECT_EQ(std::string(record.raw.begin() + 1, record.raw.begin() + 39), GuidText(GUID_FAKE_A));
        EXPECT_EQ(record.protocol, GUID_FAKE_A);
    }
    ValueRecordList first;
    ASSERT_TRUE(AccountsData::ReadValues(parsed.records[0], first));
    EXPECT_EQ(Text(first.Find(CZELString(FAKE_VALUE_NAME))->ReadString(false)), L"alice");
    // What the account wrote while unloading is in.
    EXPECT_EQ(first.Find(CZELString(FAKE_VALUE_UNLOADS))->ReadInt(), 1);

    Start();
    Settle();
    EXPECT_EQ(Ids(*manager), (std::vector<unsigned>{kFirst, kFirst + 1}));
    EXPECT_EQ(Name(kFirst), L"alice");
    EXPECT_EQ(Name(kFirst + 1), L"bob");
    EXPECT_EQ(Int(kFirst, L"Port"), 5190);
    CZELString password;
    EXPECT_TRUE(manager->GetAccountString(kFirst, L"Password", password, 1));
    EXPECT_EQ(Text(password), L"secret");
    EXPECT_EQ(Int(kFirst, FAKE_VALUE_LOADS), 2);
    char seen = 0;
    EXPECT_TRUE(manager->GetAccountByte(kFirst, FAKE_VALUE_SEEN_AT_CREATE, &seen));
    EXPECT_EQ(seen, 1);  // the stored values were there before the plug-in's creation ran
    EXPECT_EQ(recorder->Events(PMEV_ACCOUNTS_LOADED).size(), 1u);
}

// One bad record, or a plug-in missing or refusing in this run, loses nothing: the accounts that
// can be made are made, everything else goes back to "Accounts data" as it was, in its place.
TEST_F(ManagerTest, StoredRecordsThatCannotBeUsedAreCarriedThrough)
{
    Bytes carol = Record(GuidText(GUID_FAKE_A), StringValue(FAKE_VALUE_NAME, "carol"));
    Bytes foreign = Record(GuidText(GUID_FAKE_FOREIGN), StringValue(FAKE_VALUE_NAME, "nobody"));
    Bytes refused = Record(GuidText(GUID_FAKE_REFUSING), StringValue(FAKE_VALUE_NAME, "refused"));
    Bytes badValues = Record(GuidText(GUID_FAKE_A), Bytes{9, 'x'});  // a value cut short
    Bytes badName = Record("{not a guid}", Bytes{1, 2});
    Bytes dave = Record(GuidText(GUID_FAKE_A), StringValue(FAKE_VALUE_NAME, "dave"));
    Bytes tail = {38, '{', 'F'};  // a record cut off
    StoreAccounts(Join({carol, foreign, refused, badValues, badName, dave, tail}));

    Start();
    Settle();
    EXPECT_EQ(manager->GetAccountCount(), 2);
    EXPECT_EQ(Name(manager->GetAccountId(0)), L"carol");
    EXPECT_EQ(Name(manager->GetAccountId(1)), L"dave");
    EXPECT_EQ(recorder->Events(PMEV_ACCOUNTS_LOADED).size(), 1u);
    Stop();

    Bytes blob = StoredAccounts();
    AccountsData::Parsed parsed = AccountsData::Parse(blob.data(), unsigned(blob.size()));
    ASSERT_EQ(parsed.records.size(), 6u);
    EXPECT_EQ(parsed.records[1].raw, foreign);
    EXPECT_EQ(parsed.records[2].raw, refused);
    EXPECT_EQ(parsed.records[3].raw, badValues);
    EXPECT_EQ(parsed.records[4].raw, badName);
    EXPECT_EQ(parsed.tail, tail);
    ValueRecordList values;
    ASSERT_TRUE(AccountsData::ReadValues(parsed.records[5], values));
    EXPECT_EQ(Text(values.Find(CZELString(FAKE_VALUE_NAME))->ReadString(false)), L"dave");
    EXPECT_EQ(values.Find(CZELString(FAKE_VALUE_LOADS))->ReadInt(), 1);
}

TEST_F(ManagerTest, NoStoredAccountsStillAnnouncesTheLoad)
{
    struct Case {
        const char* name;
        bool store;
        Bytes blob;
    } cases[] = {
        {"absent", false, {}},
        {"empty", true, {}},
        {"all damaged", true, {200, 1, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.store) StoreAccounts(c.blob);
        Start();
        Settle();
        EXPECT_EQ(manager->GetAccountCount(), 0);
        EXPECT_EQ(recorder->Events(PMEV_ACCOUNTS_LOADED).size(), 1u);
        Stop();
        // What was there stays as it was; where nothing was, nothing is written.
        EXPECT_EQ(store->GetValueSize(GUID_PROTOCOLS_MANAGER, CZELString(L"Accounts data"), nullptr), c.store ? 1 : 0);
        EXPECT_EQ(StoredAccounts(), c.blob);
    }
}

TEST_F(ManagerTest, WithoutSettingsStoreNothingLoadsAndNoEventFires)
{
    store.reset();
    Start();
    Settle();
    EXPECT_EQ(recorder->Events(PMEV_ACCOUNTS_LOADED).size(), 0u);
    unsigned id = manager->CreateAccount(GUID_FAKE_A);
    EXPECT_NE(id, 0u);
    Stop();  // nothing to store into; must not fail
}

// A run without start-up never read what was stored: its accounts are stored in front of it.
TEST_F(ManagerTest, ARunThatNeverLoadedKeepsWhatWasStored)
{
    Bytes carol = Record(GuidText(GUID_FAKE_A), StringValue(FAKE_VALUE_NAME, "carol"));
    StoreAccounts(carol);
    Start(L"Accounts", false);
    EXPECT_EQ(manager->GetAccountCount(), 0);
    Create(GUID_FAKE_A, L"dave");
    Stop();

    Start();
    Settle();
    ASSERT_EQ(manager->GetAccountCount(), 2);
    EXPECT_EQ(Name(manager->GetAccountId(0)), L"dave");
    EXPECT_EQ(Name(manager->GetAccountId(1)), L"carol");
}

// A removal still queued when the manager goes is done first: the account is not stored again.
TEST_F(ManagerTest, ARemovalQueuedAtShutdownIsNotLost)
{
    Start();
    unsigned a = Create(GUID_FAKE_A, L"a");
    Create(GUID_FAKE_A, L"b");
    manager->RemoveAccount(a);
    Stop();
    Bytes blob = StoredAccounts();
    AccountsData::Parsed parsed = AccountsData::Parse(blob.data(), unsigned(blob.size()));
    ASSERT_EQ(parsed.records.size(), 1u);
    EXPECT_EQ(fakeA.live(), 0);
    EXPECT_EQ(fakeA.Count(a, PM_UNLOAD), 1);
}

// Removing every account stores an empty list, so none comes back.
TEST_F(ManagerTest, RemovingEveryAccountIsStored)
{
    Start();
    Create(GUID_FAKE_A, L"a");
    Stop();
    ASSERT_FALSE(StoredAccounts().empty());
    Start();
    Settle();
    ASSERT_EQ(manager->GetAccountCount(), 1);
    manager->RemoveAccount(manager->GetAccountId(0));
    Stop();
    int size = -1;
    EXPECT_TRUE(store->GetValueSize(GUID_PROTOCOLS_MANAGER, CZELString(L"Accounts data"), &size));
    EXPECT_EQ(size, 0);
    Start();
    Settle();
    EXPECT_EQ(manager->GetAccountCount(), 0);
}
