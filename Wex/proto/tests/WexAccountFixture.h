// The program's services for one test of the plug-in: the real bus, settings store, contact list,
// protocols manager and connection service, with Wex.dll loaded from the program's "Protos\"
// folder, and the fake servers the account signs on to.
#pragma once

#include "FakeWexServer.h"

#include "Wex/proto/account/AccountSettings.h"

#include "Zel/core/accounts/AccountsData.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/core/settings/ValueRecordList.h"
#include "Zel/core/tests/AccountTestSupport.h"
#include "Zel/core/settings/SettingsStore.h"
#include "Zel/shell/CoreServices.h"
#include "ZELCommon/MD5.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace WexTest {

using AccountTest::Event;
using AccountTest::EventRecorder;

const char kUin[] = "100200300";

inline Wex::Md5Digest PasswordDigest()
{
    Wex::Md5Digest digest{};
    CMD5::Hash("secret", 6, digest.data());
    return digest;
}

// One run of the program's services, from the test's own settings file and the program's plug-ins.
class WexAccountFixture : public ::testing::Test {
protected:
    // The fake lets in uin with digest; the account starts with kUin and PasswordDigest().
    explicit WexAccountFixture(const wchar_t* folderName = L"wex_account", const char* uin = kUin,
                               const Wex::Md5Digest& digest = PasswordDigest())
        : folder(folderName), server(uin, digest)
    {
    }
    ~WexAccountFixture() override { StopProgram(); }

    void StartProgram()
    {
        // Each run has its own bus, as each run of the program has.
        bus.reset(new Services::CServicesManager);
        images.reset(new CSkinImageSet);
        CoreServicesPlace place;
        place.bus = bus.get();
        place.images = images.get();
        place.settingsFile = folder.File(L"settings.zel");
        place.protosFolder = CZELString((PluginTree::ProgramFolder() + L"Protos\\").c_str());
        CreateCoreServices(place);
        ASSERT_NE(ProtocolsManagerService, nullptr);
        recorder.reset(new EventRecorder(*bus, *ProtocolsManagerService));
        bus->FireStartupEvent();
        running = true;
    }

    void StopProgram()
    {
        if (!running) return;
        recorder.reset();
        DestroyCoreServices();
        images.reset();
        bus.reset();
        running = false;
    }

    CProtocolsManager& Manager() { return *ProtocolsManagerService; }

    // A Wex account pointed at the fake login host, as a run of the program before this one left
    // it in "Accounts data"; the program then starts and loads it. edit changes its values first.
    unsigned CreateAccount(const std::function<void(ValueRecordList&)>& edit = nullptr)
    {
        ValueRecordList values;
        Put(values, WexKeys::AccountName).WriteString(CZELString(L"100200300"), false);
        Wex::Md5Digest digest = PasswordDigest();
        Put(values, WexKeys::AccountPassword).WriteBlob(digest.data(), unsigned(digest.size()));
        Put(values, WexKeys::ServerName).WriteString(CZELString(L"127.0.0.1"), false);
        Put(values, WexKeys::ServerPort).WriteShort(short(server.LoginPort()));
        if (edit) edit(values);
        std::vector<unsigned char> blob;
        EXPECT_TRUE(AccountsData::Build({{GUID_WEX_PROTOCOL, &values}}, {}, {}, blob));
        {
            Services::CServicesManager storeBus;
            CSettingsStore store(&storeBus, folder.File(L"settings.zel"));
            int length = int(blob.size());
            store.SetBlob(GUID_PROTOCOLS_MANAGER, CZELString(L"Accounts data"), blob.data(), &length);
        }
        StartProgram();
        EXPECT_EQ(Manager().GetAccountCount(), 1);
        return Manager().GetAccountCount() == 1 ? Manager().GetAccountId(0) : 0;
    }

    // The value key of values, added empty when missing.
    static ValueRecord& Put(ValueRecordList& values, const wchar_t* key)
    {
        if (!values.Find(CZELString(key))) values.Add(ValueRecord(CZELString(key)));
        return *values.Find(CZELString(key));
    }

    // The list contact of the account with that "Account name", or 0.
    int FindContact(unsigned id, const std::string& uin)
    {
        CZELArray<ContactListItemPair> items;
        ContactListDataService->GetAccountItems(id, items);
        const CZELString wanted(uin.c_str(), int(uin.size()), 65001);
        for (int i = 0; i < items.GetCount(); ++i) {
            CZELString name;
            if (items[i].contactId &&
                ContactListDataService->GetPropertyString(items[i].contactId, CZELString(L"Account name"), name) &&
                name == wanted)
                return items[i].contactId;
        }
        return 0;
    }

    int Status(unsigned id)
    {
        int status = -1;
        Manager().GetStatus(id, &status);
        return status;
    }

    bool WaitForStatus(unsigned id, int status, DWORD milliseconds = 15000)
    {
        return BusTest::WaitUntil([&] { return Status(id) == status; }, milliseconds);
    }

    // Signs on and waits until the main server has the client's ready and the account is online.
    void SignOn(unsigned id, int status = AccountStatus::Online)
    {
        const int readies = server.ClientReadies();
        Manager().SetStatus(id, status);
        ASSERT_TRUE(WaitForStatus(id, status)) << "status " << Status(id) << Faults();
        ASSERT_TRUE(server.WaitUntil([&] { return server.ClientReadies() > readies; })) << Faults();
    }

    std::vector<int> StatusesSeen(unsigned id)
    {
        std::vector<int> statuses;
        for (const Event& event : recorder->Events(PMEV_STATUS_CHANGED))
            if (event.v1 == intptr_t(id)) statuses.push_back(event.status);
        return statuses;
    }

    std::vector<std::wstring> Warnings()
    {
        std::vector<std::wstring> texts;
        for (const Event& event : recorder->Events(PMEV_SHOW_TEXT)) texts.push_back(event.text);
        return texts;
    }

    bool TimerSet(Event& timer)
    {
        if (!recorder->WaitFor(PMEV_TIMER_SET)) return false;
        timer = recorder->Events(PMEV_TIMER_SET).back();
        return timer.callback != nullptr;
    }

    std::string Faults()
    {
        std::string text;
        for (const std::string& fault : server.Faults()) text += "\nserver: " + fault;
        return text;
    }

    void ExpectNoFaults()
    {
        for (const std::string& fault : server.Faults()) ADD_FAILURE() << fault;
    }

    std::unique_ptr<Services::CServicesManager> bus;
    std::unique_ptr<CSkinImageSet> images;
    AccountTest::TempFolder folder;
    FakeWexServer server;
    std::unique_ptr<EventRecorder> recorder;
    bool running = false;
};

}  // namespace WexTest
