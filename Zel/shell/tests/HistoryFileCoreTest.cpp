// History files over the real service core: the contact's names come from the contact-list data
// and the protocols manager (with a fake account plug-in), the switches from the settings store.
#include "Zel/core/history/HistoryFile.h"

#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/core/CoreGuids.h"
#include "Zel/shell/CoreServices.h"
#include "Zel/core/accounts/ProtocolsManager.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/settings/SettingsStore.h"
#include "Zel/core/skin/SkinImageSet.h"
#include "Zel/core/tests/BusTestSupport.h"
#include "Zel/core/tests/PluginTreeSupport.h"
#include "Zel/core/tests/plugins/FakeAccountPlugin.h"

#include "ZELCommon/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

std::wstring Text(const CZELString& s)
{
    return s.GetBuffer() ? std::wstring(s.GetBuffer(), size_t(s.GetLength())) : std::wstring();
}

using TestSupport::FileExists;

class HistoryFileCoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoreServicesPlace place;
        place.bus = &bus;
        place.images = &images;
        place.settingsFile = CZELString((root + L"settings.zel").c_str());
        place.protosFolder = PluginTree::ProtosFolder(L"Accounts");
        CreateCoreServices(place);
        bus.FireStartupEvent();
    }

    void TearDown() override { DestroyCoreServices(); }

    // A new account of the fake plug-in that reports name, once the contact list follows it.
    unsigned NewAccount(const wchar_t* name)
    {
        unsigned id = ProtocolsManagerService->CreateAccount(GUID_FAKE_A);
        if (!id) return 0;
        ProtocolsManagerService->SetAccountString(id, CZELString(FAKE_VALUE_NAME), CZELString(name), 0);
        CZELArray<int> groups;
        return BusTest::WaitUntil([&] { return ContactListDataService->GetAccountGroups(id, groups); }) ? id : 0;
    }

    CHistoryFile History()
    {
        HistoryPlace place;
        place.folder = CZELString((root + L"History\\").c_str());
        place.bus = &bus;
        return CHistoryFile(place);
    }

    TestSupport::TempFolder folder{L"ZelHistoryCore"};
    const std::wstring& root = folder.path;
    Services::CServicesManager bus;
    CSkinImageSet images;
};

TEST_F(HistoryFileCoreTest, NamesComeFromTheAccountAndTheContactList)
{
    unsigned account = NewAccount(L"alice");
    ASSERT_NE(0u, account);
    int group = ContactListDataService->AddGroup(account);
    int contact = ContactListDataService->AddContact(account, group);
    ContactListDataService->SetPropertyString(contact, CZELString(L"Account name"), CZELString(L"..\\bob"));
    ContactListDataService->SetPropertyString(contact, CZELString(L"CL Alias"), CZELString(L"Bob"));

    CHistoryFile history = History();
    std::wstring protocol = Text(ProtocolsManagerService->GetAccountProtocol(account).name);
    ASSERT_FALSE(protocol.empty());
    std::wstring path = Text(history.GetPath(contact));
    EXPECT_EQ(root + L"History\\" + protocol + L"_alice_%2E.%5Cbob.zhf", path);

    ASSERT_EQ(HistoryOk, history.Append(contact, 1, 0, 0, 1000, CZELString(L"hello")));
    EXPECT_TRUE(FileExists(path));
    SettingsStoreService->SetString(GUID_GUI, CZELString(L"MWYourName"), CZELString(L"Alice"));
    ASSERT_EQ(HistoryOk, history.Append(contact, 1, 1, 0, 1001, CZELString(L"hi")));
    CZELArray<ChatLogEntry> entries;
    ASSERT_EQ(HistoryOk, history.LoadLast(contact, 4, entries));
    ASSERT_EQ(2, entries.GetCount());
    EXPECT_EQ(L"Bob", Text(entries[0].name));
    EXPECT_EQ(L"Alice", Text(entries[1].name));
    EXPECT_TRUE(history.Delete(contact));
    EXPECT_FALSE(FileExists(path));
}

TEST_F(HistoryFileCoreTest, TemporaryContactsFollowHistSaveNotInList)
{
    unsigned account = NewAccount(L"alice");
    ASSERT_NE(0u, account);
    int group = ContactListDataService->AddGroup(account);
    int listed = ContactListDataService->AddContact(account, group);
    ContactListDataService->SetPropertyString(listed, CZELString(L"Account name"), CZELString(L"111"));
    int stranger = ContactListDataService->FindOrAddContact(account, CZELString(L"222"));
    ASSERT_NE(0, stranger);
    char off = 0;
    SettingsStoreService->SetByte(GUID_GUI, CZELString(L"HistSaveNotInList"), &off);

    CHistoryFile history = History();
    EXPECT_EQ(HistoryOk, history.Append(listed, 1, 0, 0, 1, CZELString(L"kept")));
    EXPECT_EQ(HistoryOk, history.Append(stranger, 1, 0, 0, 1, CZELString(L"not kept")));
    EXPECT_TRUE(FileExists(Text(history.GetPath(listed))));
    EXPECT_FALSE(FileExists(Text(history.GetPath(stranger))));

    char on = 1;
    SettingsStoreService->SetByte(GUID_GUI, CZELString(L"HistSaveNotInList"), &on);
    EXPECT_EQ(HistoryOk, history.Append(stranger, 1, 0, 0, 1, CZELString(L"kept now")));
    EXPECT_TRUE(FileExists(Text(history.GetPath(stranger))));
}

}  // namespace
