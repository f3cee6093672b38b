// The core services destroyed and created again over the same "settings.zel", as in three runs of
// the program: accounts come back with their values, and an account whose plug-in is missing for
// one run comes back, in its place, in the run after.
#include "Zel/shell/CoreServices.h"
#include "Zel/core/tests/AccountTestSupport.h"

#include <gtest/gtest.h>

#include <functional>

using namespace AccountTest;

namespace {

struct Account {
    std::wstring name;
    int port;
    int loads;
};

// One run of the program's services over settingsFile and the plug-ins of scenario.
void RunProgram(const CZELString& settingsFile, const wchar_t* scenario,
                const std::function<void(CProtocolsManager&)>& body)
{
    Services::CServicesManager bus;
    CSkinImageSet images;
    CoreServicesPlace place;
    place.bus = &bus;
    place.images = &images;
    place.settingsFile = settingsFile;
    place.protosFolder = PluginTree::ProtosFolder(scenario);
    CreateCoreServices(place);
    ASSERT_NE(ProtocolsManagerService, nullptr);
    ASSERT_NE(SettingsStoreService, nullptr);
    bus.FireStartupEvent();
    body(*ProtocolsManagerService);
    DestroyCoreServices();
    EXPECT_EQ(ProtocolsManagerService, nullptr);
}

std::vector<Account> Accounts(CProtocolsManager& manager)
{
    std::vector<Account> accounts;
    for (int i = 0; i < manager.GetAccountCount(); ++i) {
        unsigned id = manager.GetAccountId(unsigned(i));
        EXPECT_EQ(id, CProtocolsManager::FirstAccountId + unsigned(i));  // ids are handed out afresh
        CZELString name;
        manager.GetAccountName(name, id, false);
        int port = -1;
        int loads = -1;
        manager.GetAccountInt(id, L"Port", &port);
        manager.GetAccountInt(id, FAKE_VALUE_LOADS, &loads);
        accounts.push_back({Text(name), port, loads});
    }
    return accounts;
}

unsigned Create(CProtocolsManager& manager, const ZEL_GUID& protocol, const wchar_t* name, int port)
{
    unsigned id = manager.CreateAccount(protocol);
    EXPECT_NE(id, 0u);
    manager.SetAccountString(id, FAKE_VALUE_NAME, name, 0);
    manager.SetAccountInt(id, L"Port", &port);
    return id;
}

void ExpectAccounts(CProtocolsManager& manager, const std::vector<Account>& expected)
{
    std::vector<Account> got = Accounts(manager);
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(got[i].name, expected[i].name);
        EXPECT_EQ(got[i].port, expected[i].port);
        EXPECT_EQ(got[i].loads, expected[i].loads);
    }
}

}  // namespace

TEST(AccountsRestart, AccountsComeBackAndAMissingPluginMissesOneRunOnly)
{
    TempFolder folder(L"restart");
    CZELString settings = folder.File(L"settings.zel");

    {
        SCOPED_TRACE("first run: three accounts, one of them of the plug-in Fake B");
        RunProgram(settings, L"Accounts", [](CProtocolsManager& manager) {
            Create(manager, GUID_FAKE_A, L"alice", 5190);
            unsigned bob = Create(manager, GUID_FAKE_B, L"bob", 2222);
            manager.SetAccountString(bob, L"Password", L"hunter2", 1);
            Create(manager, GUID_FAKE_A, L"carol", 443);
            ExpectAccounts(manager, {{L"alice", 5190, 1}, {L"bob", 2222, 1}, {L"carol", 443, 1}});
        });
    }
    ASSERT_TRUE(TempFolder::Exists(Wide(settings)));
    {
        SCOPED_TRACE("second run: Fake B is missing");
        RunProgram(settings, L"AccountsNoB", [](CProtocolsManager& manager) {
            ExpectAccounts(manager, {{L"alice", 5190, 2}, {L"carol", 443, 2}});
            int port = 5191;
            manager.SetAccountInt(manager.GetAccountId(0), L"Port", &port);
            Create(manager, GUID_FAKE_A, L"dave", 80);
        });
    }
    {
        SCOPED_TRACE("third run: Fake B is back, and so is its account, where it was");
        RunProgram(settings, L"Accounts", [](CProtocolsManager& manager) {
            ExpectAccounts(manager, {{L"alice", 5191, 3}, {L"bob", 2222, 2}, {L"carol", 443, 3}, {L"dave", 80, 2}});
            CZELString password;
            EXPECT_TRUE(manager.GetAccountString(manager.GetAccountId(1), L"Password", password, 1));
            EXPECT_EQ(Text(password), L"hunter2");
        });
    }
}
