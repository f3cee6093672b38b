// The contact lists across restarts of the whole service core over one settings file, with the real
// protocols manager and the fake account plug-ins: what one run stores, the next gets back, also
// when a plug-in is missing for a run in between.
#include "Zel/core/tests/ContactListTestSupport.h"

#include "Zel/shell/CoreServices.h"
#include "Zel/core/accounts/ProtocolsManager.h"
#include "Zel/core/contactlist/ContactListFile.h"
#include "Zel/core/skin/SkinImageSet.h"
#include "Zel/core/tests/BusTestSupport.h"
#include "Zel/core/tests/PluginTreeSupport.h"
#include "Zel/core/tests/plugins/FakeAccountPlugin.h"

using ContactListTest::EventRecorder;
using ContactListTest::Str;
using ContactListTest::TempFolder;
using ContactListTest::Text;

namespace {

const CZELString kAccountName(L"Account name");
const CZELString kAlias(L"CL Alias");

// One run of the service core on a bus of its own (as a process has): created over the settings
// file with the plug-ins of scenario, the start-up announced, and every saved account created with
// its list loaded.
class CoreRun {
public:
    Services::CServicesManager bus;

    CoreRun(CSkinImageSet& images, const std::wstring& settings, const wchar_t* scenario)
    {
        CoreServicesPlace place;
        place.bus = &bus;
        place.images = &images;
        place.settingsFile = Str(settings);
        place.protosFolder = PluginTree::ProtosFolder(scenario);
        CreateCoreServices(place);
        recorder.reset(new EventRecorder(bus, ContactListDataService));
        recorder->probeRemovals = false;
        bus.FireStartupEvent();
        // The list relays the manager's "accounts loaded" after the loads of every account, which
        // its queue handled first.
        ready = BusTest::WaitUntil([&] {
            for (int code : recorder->Codes())
                if (code == CLE_ACCOUNTS_READY) return true;
            return false;
        });
    }
    ~CoreRun()
    {
        recorder.reset();
        DestroyCoreServices();
    }

    // The id of the account whose plug-in reports name, 0 when there is none.
    unsigned Account(const std::wstring& name)
    {
        for (int i = 0; i < ProtocolsManagerService->GetAccountCount(); ++i) {
            unsigned id = ProtocolsManagerService->GetAccountId(unsigned(i));
            CZELString reported;
            ProtocolsManagerService->GetAccountName(reported, id, false);
            if (Text(reported) == name) return id;
        }
        return 0;
    }

    // A new account of protocol that reports name, once the list follows it.
    unsigned NewAccount(const ZEL_GUID& protocol, const std::wstring& name)
    {
        unsigned id = ProtocolsManagerService->CreateAccount(protocol);
        if (!id) return 0;
        ProtocolsManagerService->SetAccountString(id, CZELString(FAKE_VALUE_NAME), Str(name), 0);
        CZELArray<int> groups;
        if (!BusTest::WaitUntil([&] { return ContactListDataService->GetAccountGroups(id, groups); })) return 0;
        return id;
    }

    bool ready = false;
    std::unique_ptr<EventRecorder> recorder;
};

// The account's list, one line per item: "g:<alias>" for a group, its contacts indented, then the
// top-level contacts, each as "<Account name>/<alias>/<the int "Rank">".
std::vector<std::wstring> Describe(unsigned account)
{
    std::vector<std::wstring> out;
    CZELArray<ContactListItemPair> items;
    if (!ContactListDataService->GetAccountItems(account, items)) return {L"<not registered>"};
    for (int i = 0; i < items.GetCount(); ++i) {
        CZELString alias;
        if (!items[i].contactId) {
            ContactListDataService->GetPropertyString(items[i].groupId, kAlias, alias);
            out.push_back(L"g:" + Text(alias));
            continue;
        }
        CZELString name;
        int rank = -1;
        ContactListDataService->GetPropertyString(items[i].contactId, kAccountName, name);
        ContactListDataService->GetPropertyString(items[i].contactId, kAlias, alias);
        ContactListDataService->GetPropertyInt(items[i].contactId, CZELString(L"Rank"), &rank);
        out.push_back((items[i].groupId ? L"  " : L"") + Text(name) + L"/" + Text(alias) + L"/" + std::to_wstring(rank));
    }
    return out;
}

// The names of the account records in the "CL data" that settings holds.
std::vector<std::wstring> StoredAccountRecords(const std::wstring& settings)
{
    Services::CServicesManager bus;
    CSettingsStore store(&bus, Str(settings));
    std::vector<unsigned char> blob;
    int size = 0;
    if (store.GetValueSize(GUID_CONTACT_LIST_DATA, CZELString(L"CL data"), &size) && size > 0) {
        blob.resize(size_t(size));
        unsigned length = unsigned(size);
        store.GetBlob(GUID_CONTACT_LIST_DATA, CZELString(L"CL data"), blob.data(), &length);
    }
    std::vector<ContactListFile::RecordView> records;
    ContactListFile::ReadRecords(blob.data(), unsigned(blob.size()), records);
    std::vector<std::wstring> names;
    for (const ContactListFile::RecordView& record : records) names.push_back(Text(record.name));
    return names;
}

int AddContact(unsigned account, int group, const wchar_t* name, const wchar_t* alias, int rank)
{
    int contact = ContactListDataService->AddContact(account, group);
    ContactListDataService->SetPropertyString(contact, kAccountName, CZELString(name));
    if (*alias) ContactListDataService->SetPropertyString(contact, kAlias, CZELString(alias));
    ContactListDataService->SetPropertyInt(contact, CZELString(L"Rank"), &rank);
    return contact;
}

}  // namespace

TEST(ContactListRestartTest, ListsComeBackAndSurviveARunWithoutTheirPlugin)
{
    TempFolder folder(L"zel-cl-restart-");
    std::wstring settings = folder.path + L"settings.zel";
    CSkinImageSet images;
    const std::vector<std::wstring> aliceList = {L"g:Friends", L"  111/One/1", L"  112//2", L"g:Work", L"333//3"};
    const std::vector<std::wstring> bobList = {L"bob-friend/Buddy/7"};

    {
        SCOPED_TRACE("first run: the accounts and their lists are made");
        CoreRun run(images, settings, L"Accounts");
        ASSERT_TRUE(run.ready);
        unsigned alice = run.NewAccount(GUID_FAKE_A, L"alice");
        unsigned bob = run.NewAccount(GUID_FAKE_B, L"bob");
        ASSERT_NE(alice, 0u);
        ASSERT_NE(bob, 0u);
        int friends = ContactListDataService->AddGroup(alice);
        ContactListDataService->SetPropertyString(friends, kAlias, CZELString(L"Friends"));
        int work = ContactListDataService->AddGroup(alice);
        ContactListDataService->SetPropertyString(work, kAlias, CZELString(L"Work"));
        AddContact(alice, friends, L"111", L"One", 1);
        AddContact(alice, friends, L"112", L"", 2);
        AddContact(alice, 0, L"333", L"", 3);
        AddContact(bob, 0, L"bob-friend", L"Buddy", 7);
        ContactListDataService->FindOrAddContact(alice, CZELString(L"stranger"));  // never stored
        EXPECT_EQ(Describe(alice), aliceList);
    }
    {
        SCOPED_TRACE("second run: everything comes back");
        CoreRun run(images, settings, L"Accounts");
        ASSERT_TRUE(run.ready);
        unsigned alice = run.Account(L"alice");
        unsigned bob = run.Account(L"bob");
        EXPECT_EQ(Describe(alice), aliceList);
        EXPECT_EQ(Describe(bob), bobList);
        EXPECT_EQ(ContactListDataService->FindContactByKey(
                      ContactListDataService->GetContactKey(ContactListDataService->FindOrAddContact(alice, CZELString(L"112")))),
                  ContactListDataService->FindOrAddContact(alice, CZELString(L"112")));
        EXPECT_EQ(ContactListDataService->FindContactByKey(CZELString(L"{FA4EAC01-1111-4A4A-8101-0203040506A1}alice|333")),
                  ContactListDataService->FindOrAddContact(alice, CZELString(L"333")));
        EXPECT_EQ(ContactListDataService->IsTempContact(ContactListDataService->FindOrAddContact(alice, CZELString(L"stranger"))), 1);
    }
    {
        SCOPED_TRACE("third run: bob's plug-in is missing; alice's list changes");
        CoreRun run(images, settings, L"AccountsNoB");
        ASSERT_TRUE(run.ready);
        unsigned alice = run.Account(L"alice");
        EXPECT_EQ(run.Account(L"bob"), 0u);
        EXPECT_EQ(Describe(alice), aliceList);
        AddContact(alice, 0, L"444", L"", 4);
    }
    {
        SCOPED_TRACE("fourth run: bob is back with his list, alice keeps her change");
        CoreRun run(images, settings, L"Accounts");
        ASSERT_TRUE(run.ready);
        std::vector<std::wstring> changed = aliceList;
        changed.push_back(L"444//4");
        EXPECT_EQ(Describe(run.Account(L"alice")), changed);
        EXPECT_EQ(Describe(run.Account(L"bob")), bobList);
        // The user removes alice's account: her list goes with it.
        unsigned alice = run.Account(L"alice");
        ProtocolsManagerService->RemoveAccount(alice);
        EXPECT_TRUE(BusTest::WaitUntil([&] { return run.Account(L"alice") == 0; }));
    }
    // What is stored now holds bob's list and nothing of alice's.
    std::vector<std::wstring> stored = StoredAccountRecords(settings);
    EXPECT_EQ(stored, (std::vector<std::wstring>{L"{FA4EAC02-2222-4B4B-8201-0203040506B2}bob"}));
}

// The manager's commands that only post to the account report success when the post was queued.
TEST(ContactListRestartTest, ListCommandsToAnAccountReportAQueuedPost)
{
    TempFolder folder(L"zel-cl-commands-");
    CSkinImageSet images;
    CoreRun run(images, folder.path + L"settings.zel", L"Accounts");
    ASSERT_TRUE(run.ready);
    unsigned alice = run.NewAccount(GUID_FAKE_A, L"alice");
    ASSERT_NE(alice, 0u);
    int group = ContactListDataService->AddGroup(alice);
    int contact = ContactListDataService->AddContact(alice, group);
    CProtocolsManager& manager = *ProtocolsManagerService;
    struct Case {
        const char* name;
        std::function<bool(unsigned account)> command;
    } cases[] = {
        {"AddGroup", [&](unsigned id) { return manager.AddGroup(id, CZELString(L"New group")); }},
        {"DeleteGroup", [&](unsigned id) { return manager.DeleteGroup(id, group); }},
        {"DeleteContact", [&](unsigned id) { return manager.DeleteContact(id, contact); }},
        {"ContactAdded", [&](unsigned id) { return manager.ContactAdded(id, contact); }},
        {"RenameContact", [&](unsigned id) { return manager.RenameContact(id, contact, CZELString(L"Renamed")); }},
        {"MoveContact", [&](unsigned id) { return manager.MoveContact(id, contact, group); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(c.command(alice));
        EXPECT_FALSE(c.command(0x1FFFFFFF));
    }
}
