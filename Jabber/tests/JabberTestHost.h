// The program around Jabber.dll, for the tests that drive accounts as the program does: the bus, a
// settings store over a temporary file, the skin images, the connection service (the real one, or
// the test's own), the contact list and the protocols manager, which finds Jabber.dll where the
// build puts it, in "Protos\Jabber\" beside the programs. A recorder keeps the manager's events.
#pragma once

#include "Zel/core/tests/AccountTestSupport.h"

#include "Jabber/account/AccountKinds.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/net/ConnectionManager.h"

#include <memory>
#include <string>
#include <vector>

namespace JabberTest {

using AccountTest::Event;

// The build's "Protos\" folder beside the test program.
inline CZELString ProtosFolder()
{
    return CZELString((PluginTree::ProgramFolder() + L"Protos\\").c_str());
}

// Jabber.dll loaded by the test as well: it stays put while the manager loads and unloads it, and
// the waits the test shortens stay short.
class PluginLibrary {
public:
    PluginLibrary()
    {
        module = LoadLibraryW((PluginTree::Wide(ProtosFolder()) + L"Jabber\\Jabber.dll").c_str());
        timings = module ? reinterpret_cast<TimingsFunction>(
                               reinterpret_cast<void*>(GetProcAddress(module, "JabberTestTimings")))
                         : nullptr;
    }
    ~PluginLibrary()
    {
        if (module) FreeLibrary(module);
    }
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    bool Loaded() const { return module && timings; }
    // 0 leaves a wait as it is.
    void SetTimings(unsigned reconnectDelayMs, unsigned negotiationLimitMs)
    {
        if (timings) timings(reconnectDelayMs, negotiationLimitMs);
    }

private:
    typedef void (*TimingsFunction)(unsigned, unsigned);
    HMODULE module = nullptr;
    TimingsFunction timings = nullptr;
};

class Host {
public:
    // With ownConnectionService the program's connection service runs; otherwise the test's, which
    // must already be registered on bus.
    explicit Host(Services::CServicesManager& bus, bool ownConnectionService = true)
        : bus(bus), folder(L"jabberhost")
    {
        store.reset(new CSettingsStore(&bus, folder.File(L"settings.zel")));
        skinImages.reset(new CSkinImages(bus, imageSet));
        skinImages->SetLanguageName(L"English");
        if (ownConnectionService) connections.reset(new CConnectionManager(bus));
        contactList.reset(new CContactListData(bus));
        manager.reset(new CProtocolsManager(bus, *skinImages, ProtosFolder(), HistoryFolder()));
        recorder.reset(new AccountTest::EventRecorder(bus, *manager));
        bus.FireStartupEvent();
    }

    ~Host()
    {
        // The program's shutdown order.
        contactList.reset();
        recorder.reset();
        manager.reset();
        connections.reset();
        skinImages.reset();
        store.reset();
    }

    CZELString HistoryFolder()
    {
        CreateDirectoryW((folder.path + L"History").c_str(), nullptr);
        return CZELString((folder.path + L"History\\").c_str());
    }

    unsigned CreateAccount(const ZEL_GUID& protocol) { return manager->CreateAccount(protocol); }

    void SetString(unsigned id, const wchar_t* key, const std::wstring& value, bool scrambled = false)
    {
        manager->SetAccountString(id, CZELString(key), CZELString(value.c_str()), scrambled ? 1 : 0);
    }
    void SetInt(unsigned id, const wchar_t* key, int value) { manager->SetAccountInt(id, CZELString(key), &value); }
    void SetByte(unsigned id, const wchar_t* key, int value)
    {
        const char byte = char(value);
        manager->SetAccountByte(id, CZELString(key), &byte);
    }

    // A sign-in for user on server "localhost" at 127.0.0.1:port.
    void Configure(unsigned id, const std::wstring& user, const std::wstring& password, int port)
    {
        SetString(id, L"Account name", user);
        SetString(id, L"Account password", password, true);
        SetString(id, L"Account server", L"localhost");
        SetString(id, L"Manual connection server", L"127.0.0.1");
        SetInt(id, L"Manual connection port", port);
    }

    int SetStatus(unsigned id, int status) { return manager->SetStatus(id, status); }

    // The events of code about account id, in order.
    std::vector<Event> EventsOf(unsigned id, int code)
    {
        std::vector<Event> out;
        for (const Event& event : recorder->Events(code))
            if (event.v1 == intptr_t(id)) out.push_back(event);
        return out;
    }

    // The statuses announced for account id, in order.
    std::vector<int> Statuses(unsigned id)
    {
        std::vector<int> out;
        for (const Event& event : EventsOf(id, PMEV_STATUS_CHANGED)) out.push_back(event.status);
        return out;
    }

    std::vector<std::wstring> Warnings(unsigned id)
    {
        std::vector<std::wstring> out;
        for (const Event& event : EventsOf(id, PMEV_SHOW_TEXT)) out.push_back(event.text);
        return out;
    }

    // Waits until account id has announced statuses that begin with expected; false (with what came
    // in *got) when they still differ after the time.
    bool WaitForStatuses(unsigned id, const std::vector<int>& expected, DWORD milliseconds = 20000)
    {
        return TestSupport::WaitUntil(
            [&] {
                std::vector<int> got = Statuses(id);
                return got.size() >= expected.size() && std::equal(expected.begin(), expected.end(), got.begin());
            },
            milliseconds);
    }

    // Waits until the n-th status announcement (from 0) of account id has come.
    bool WaitForAnnouncements(unsigned id, size_t count, DWORD milliseconds = 20000)
    {
        return TestSupport::WaitUntil([&] { return Statuses(id).size() >= count; }, milliseconds);
    }

    // The account's status as it answers PM_GET_STATUS; -1 when it could not be asked. The command
    // waits for the account, so everything queued for it before has run.
    int AskStatus(unsigned id)
    {
        int status = -1;
        return manager->GetStatus(id, &status) == 0 ? status : -1;
    }

    // Lets everything queued for the account and the manager run, twice over.
    void Settle(unsigned id)
    {
        for (int round = 0; round < 2; ++round) {
            AskStatus(id);
            BusTest::Flush(bus, manager->GetQueueHandle());
            recorder->Flush();
        }
    }

    Services::CServicesManager& bus;
    TestSupport::TempFolder folder;
    CSkinImageSet imageSet;
    std::unique_ptr<CSettingsStore> store;
    std::unique_ptr<CSkinImages> skinImages;
    std::unique_ptr<CConnectionManager> connections;
    std::unique_ptr<CContactListData> contactList;
    std::unique_ptr<CProtocolsManager> manager;
    std::unique_ptr<AccountTest::EventRecorder> recorder;
};

}  // namespace JabberTest
