// Doubles for the account tests: a handle on a fake account plug-in, a queue that records the
// protocols manager's events (and fills the global status table as the application does), and a
// temporary folder.
#pragma once

#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/contactlist/ContactListPayloads.h"
#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/ManagerPayloads.h"
#include "Zel/core/accounts/ProtocolsManager.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/settings/SettingsStore.h"
#include "Zel/core/skin/SkinImageSet.h"
#include "Zel/core/skin/SkinImages.h"
#include "Zel/core/tests/BusTestSupport.h"
#include "Zel/core/tests/PluginTreeSupport.h"
#include "Zel/core/tests/plugins/FakeAccountPlugin.h"

#include "ZELCommon/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace AccountTest {

using PluginTree::Wide;

// The fake plug-in folder's library, loaded by the test as well, so its log outlives the accounts
// and the library stays put while the manager loads and unloads it.
class FakePlugin {
public:
    FakePlugin(const wchar_t* scenario, const wchar_t* folder)
    {
        std::wstring path = Wide(PluginTree::ProtosFolder(scenario)) + folder + L"\\" + folder + L".dll";
        module = LoadLibraryW(path.c_str());
        log = Export<FakeAccountLogPtr>("FakeAccountLog");
        clearLog = Export<FakeAccountClearLogPtr>("FakeAccountClearLog");
        live = Export<FakeAccountLivePtr>("FakeAccountLive");
        queue = Export<FakeAccountQueuePtr>("FakeAccountQueue");
        notify = Export<FakeAccountNotifyPtr>("FakeAccountNotify");
        timer = Export<FakeAccountTimerPtr>("FakeAccountTimer");
    }
    ~FakePlugin()
    {
        if (module) FreeLibrary(module);
    }
    FakePlugin(const FakePlugin&) = delete;
    FakePlugin& operator=(const FakePlugin&) = delete;

    bool Loaded() const { return module && log && clearLog && live && queue && notify && timer; }

    std::vector<FakeLogEntry> Log(unsigned accountId = 0) const
    {
        std::vector<FakeLogEntry> entries(size_t(log(accountId, nullptr, 0)));
        int count = log(accountId, entries.data(), int(entries.size()));
        entries.resize(size_t(count) < entries.size() ? size_t(count) : entries.size());
        return entries;
    }

    std::vector<int> Codes(unsigned accountId) const
    {
        std::vector<int> codes;
        for (const FakeLogEntry& entry : Log(accountId)) codes.push_back(entry.code);
        return codes;
    }

    int Count(unsigned accountId, int code) const
    {
        int count = 0;
        for (const FakeLogEntry& entry : Log(accountId)) count += entry.code == code;
        return count;
    }

    FakeAccountLogPtr log = nullptr;
    FakeAccountClearLogPtr clearLog = nullptr;
    FakeAccountLivePtr live = nullptr;
    FakeAccountQueuePtr queue = nullptr;
    FakeAccountNotifyPtr notify = nullptr;
    FakeAccountTimerPtr timer = nullptr;

private:
    template <typename F> F Export(const char* name)
    {
        return module ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
    }

    HMODULE module = nullptr;
};

// One event as it reached the recorder, with what its payloads said.
struct Event {
    int code = 0;
    intptr_t v1 = -1;  // CRefValue values; -1 when absent or another payload
    intptr_t v2 = -1;
    std::string p2Kind;  // the p2 payload's class, "" when absent
    int status = -1;     // CAccountStatusPayload
    std::wstring name;   // CAccountStatusPayload
    std::vector<int> images;
    std::wstring text;                        // CStringPayload, CStringPairPayload (text), CMessagePayload (text)
    std::wstring link;                        // CStringPairPayload
    int index = -1;                           // CIconSetPayload
    AccountTimerCallback callback = nullptr;  // CCallbackPayload, CTimerPayload
    intptr_t context = 0;
};

inline std::wstring Text(const CZELString& s)
{
    return Wide(s);
}

inline std::vector<int> Images(const CZELArray<int>& images)
{
    std::vector<int> out;
    for (int i = 0; i < images.GetCount(); ++i) out.push_back(images[i]);
    return out;
}

inline Event Describe(int code, CRefObject* p1, CRefObject* p2)
{
    Event event;
    event.code = code;
    if (CRefValue* value = dynamic_cast<CRefValue*>(p1)) event.v1 = value->value;
    if (CRefValue* value = dynamic_cast<CRefValue*>(p2)) {
        event.v2 = value->value;
        event.p2Kind = "value";
    } else if (CAccountStatusPayload* status = dynamic_cast<CAccountStatusPayload*>(p2)) {
        event.p2Kind = "status";
        event.status = status->entry.status;
        event.name = Text(status->entry.name);
        event.images = Images(status->entry.images);
    } else if (CStringPayload* text = dynamic_cast<CStringPayload*>(p2)) {
        event.p2Kind = "string";
        event.text = Text(text->text);
    } else if (CStringPairPayload* pair = dynamic_cast<CStringPairPayload*>(p2)) {
        event.p2Kind = "pair";
        event.link = Text(pair->link);
        event.text = Text(pair->text);
    } else if (CArrayPayload* array = dynamic_cast<CArrayPayload*>(p2)) {
        event.p2Kind = "array";
        event.images = Images(array->images);
    } else if (CIconSetPayload* icon = dynamic_cast<CIconSetPayload*>(p2)) {
        event.p2Kind = "icon";
        event.index = icon->index;
        event.images = Images(icon->images);
    } else if (CCallbackPayload* callback = dynamic_cast<CCallbackPayload*>(p2)) {
        event.p2Kind = "callback";
        event.callback = callback->callback;
        event.context = callback->context;
    } else if (CTimerPayload* timer = dynamic_cast<CTimerPayload*>(p2)) {
        event.p2Kind = "timer";
        event.callback = timer->callback;
        event.context = timer->context;
    } else if (CMessagePayload* message = dynamic_cast<CMessagePayload*>(p2)) {
        event.p2Kind = "message";
        event.text = Text(message->message.text);
    } else if (p2) {
        event.p2Kind = "other";
    }
    return event;
}

// Subscribed to every event of the protocols manager. On PMEV_FILL_STATUS_TABLE it does what the
// application does: the title and fifteen rows, statuses 5 to 14, then 2, 3, 4, 1, 0, each named
// (here: the language prefix and the status name) and carrying two images.
class EventRecorder : public QueueReceiver {
public:
    EventRecorder(Services::CServicesManager& bus, const CProtocolsManager& manager) : bus(bus)
    {
        queue = bus.CreateQueue(this, CZELString(L"Event recorder"));
        for (int code = 1; code <= PMEV_COUNT; ++code) bus.Subscribe(GUID_PROTOCOLS_MANAGER, code, queue);
    }
    ~EventRecorder() override { Stop(); }

    void Stop()
    {
        if (queue) bus.DestroyQueue(queue);
        queue = 0;
    }

    int HandleMessage(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2) override
    {
        if (msgClass != GUID_PROTOCOLS_MANAGER) return 0;
        if (code == PMEV_FILL_STATUS_TABLE && fillTable) Fill(p1, p2);
        std::lock_guard<std::mutex> hold(mutex);
        events.push_back(Describe(code, p1, p2));
        return 0;
    }

    std::vector<Event> Events()
    {
        std::lock_guard<std::mutex> hold(mutex);
        return events;
    }

    std::vector<Event> Events(int code)
    {
        std::vector<Event> out;
        for (const Event& event : Events())
            if (event.code == code) out.push_back(event);
        return out;
    }

    void Clear()
    {
        std::lock_guard<std::mutex> hold(mutex);
        events.clear();
    }

    // Waits until an event of code (with p1 value v1 when given) has arrived.
    bool WaitFor(int code, intptr_t v1 = -2, DWORD milliseconds = 10000)
    {
        return BusTest::WaitUntil(
            [&]() {
                for (const Event& event : Events())
                    if (event.code == code && (v1 == -2 || event.v1 == v1)) return true;
                return false;
            },
            milliseconds);
    }

    int Flush() { return queue ? BusTest::Flush(bus, queue) : 0; }

    std::wstring language = L"EN";  // set before a fill is fired
    bool fillTable = true;          // set before a fill is fired
    std::atomic<int> rowDelay{0};   // milliseconds between two rows of a fill
    std::atomic<int> fills{0};

private:
    void Fill(CRefObject* p1, CRefObject* p2)
    {
        CRefValue* titleValue = dynamic_cast<CRefValue*>(p1);
        CRefValue* tableValue = dynamic_cast<CRefValue*>(p2);
        if (!titleValue || !tableValue) return;
        CZELString* title = reinterpret_cast<CZELString*>(titleValue->value);
        CZELArray<StatusEntry>* table = reinterpret_cast<CZELArray<StatusEntry>*>(tableValue->value);
        *title = CZELString((language + L" Status").c_str());
        static const int kOrder[] = {5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 2, 3, 4, 1, 0};
        for (int status : kOrder) {
            StatusEntry entry;
            entry.status = status;
            entry.name = CZELString((language + L" " + AccountStatus::Names[status]).c_str());
            entry.images.Add(status);
            entry.images.Add(100 + status);
            table->Add(entry);
            if (rowDelay) Sleep(DWORD(rowDelay));
        }
        ++fills;
    }

    Services::CServicesManager& bus;
    int queue = 0;
    std::mutex mutex;
    std::vector<Event> events;
};

using TestSupport::TempFolder;

// The queue of a fake account of either fake plug-in loaded in the process, 0 when none has it.
inline int FakeQueue(unsigned accountId)
{
    for (const wchar_t* dll : {L"FakeA.dll", L"FakeB.dll", L"FakeOnlyA.dll", L"Probe.dll"}) {
        HMODULE module = GetModuleHandleW(dll);
        if (!module) continue;
        FakeAccountQueuePtr queue =
            reinterpret_cast<FakeAccountQueuePtr>(reinterpret_cast<void*>(GetProcAddress(module, "FakeAccountQueue")));
        if (int handle = queue ? queue(accountId) : 0) return handle;
    }
    return 0;
}

// A protocols manager over the fake plug-ins of a scenario, with its own bus, skin images, a
// settings store over a temporary file and a temporary history folder. The test starts and stops
// the manager itself; the store lives on, so a second manager reads what the first one stored.
class ManagerTest : public ::testing::Test {
protected:
    ManagerTest()
        : skinImages(bus, imageSet),
          folder(L"accounts"),
          store(new CSettingsStore(&bus, folder.File(L"settings.zel"))),
          fakeA(L"Accounts", L"FakeA")
    {
        skinImages.SetLanguageName(L"English");
        CreateDirectoryW((folder.path + L"History").c_str(), nullptr);
    }
    ~ManagerTest() override
    {
        recorder.reset();
        manager.reset();
    }

    // A new manager over scenario's plug-ins, with a recorder subscribed to its events; with
    // startup, the bus announces start-up (the stored accounts are loaded on return).
    void Start(const wchar_t* scenario = L"Accounts", bool startup = true)
    {
        manager.reset(new CProtocolsManager(bus, skinImages, PluginTree::ProtosFolder(scenario), HistoryFolder()));
        recorder.reset(new EventRecorder(bus, *manager));
        recorder->fillTable = fillStatusTable;
        if (startup) bus.FireStartupEvent();
    }

    // Destroys the manager, which stores the accounts.
    void Stop()
    {
        recorder.reset();
        manager.reset();
    }

    CZELString HistoryFolder() const { return CZELString((folder.path + L"History\\").c_str()); }

    // Lets everything the account was asked to do, the manager's handling of what it then posted
    // (twice: handling may queue more), the account's handling of the manager's answers, and the
    // recorder's events run to the end.
    void Settle(unsigned accountId = 0)
    {
        int queue = FakeQueue(accountId);
        if (queue) BusTest::Flush(bus, queue);
        for (int round = 0; round < 2; ++round) BusTest::Flush(bus, manager->GetQueueHandle());
        if (queue) BusTest::Flush(bus, queue);
        if (recorder) recorder->Flush();
    }

    std::vector<unsigned char> StoredAccounts()
    {
        std::vector<unsigned char> bytes;
        int size = 0;
        if (!store->GetValueSize(GUID_PROTOCOLS_MANAGER, CZELString(L"Accounts data"), &size)) return bytes;
        bytes.resize(size_t(size));
        unsigned length = unsigned(size);
        if (size && !store->GetBlob(GUID_PROTOCOLS_MANAGER, CZELString(L"Accounts data"), bytes.data(), &length))
            bytes.clear();
        return bytes;
    }

    void StoreAccounts(const std::vector<unsigned char>& bytes)
    {
        int length = int(bytes.size());
        static const unsigned char none = 0;
        store->SetBlob(GUID_PROTOCOLS_MANAGER, CZELString(L"Accounts data"), bytes.empty() ? &none : bytes.data(),
                       &length);
    }

    unsigned Create(const ZEL_GUID& protocol, const wchar_t* name)
    {
        unsigned id = manager->CreateAccount(protocol);
        if (id && name) manager->SetAccountString(id, FAKE_VALUE_NAME, CZELString(name), 0);
        return id;
    }

    std::wstring Name(unsigned id)
    {
        CZELString name;
        return Text(manager->GetAccountName(name, id, false));
    }

    int Int(unsigned id, const wchar_t* key, int fallback = -1)
    {
        int value = fallback;
        manager->GetAccountInt(id, CZELString(key), &value);
        return value;
    }

    Services::CServicesManager bus;
    CSkinImageSet imageSet;
    CSkinImages skinImages;
    TempFolder folder;
    std::unique_ptr<CSettingsStore> store;
    FakePlugin fakeA;
    std::unique_ptr<CProtocolsManager> manager;
    std::unique_ptr<EventRecorder> recorder;
    bool fillStatusTable = true;  // whether the recorder answers the fill event
};

}  // namespace AccountTest
