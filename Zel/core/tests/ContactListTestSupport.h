// Doubles for the contact-list tests: a protocols manager that answers from a table, a queue that
// records every contact-list event with what it carried, and a fixture that puts a settings store in
// a folder of its own and the service on a private bus.
#pragma once

#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/core/contactlist/ContactListPayloads.h"
#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/settings/SettingsStore.h"

#include "ZELCommon/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ContactListTest {

typedef std::vector<unsigned char> Bytes;

inline std::wstring Text(const CZELString& s)
{
    return s.GetBuffer() ? std::wstring(s.GetBuffer(), size_t(s.GetLength())) : std::wstring();
}

inline CZELString Str(const std::wstring& s)
{
    return CZELString(s.c_str(), int(s.size()));
}

const unsigned AccountA = 0x10000001;
const unsigned AccountB = 0x10000002;
const unsigned AccountC = 0x10000003;

// The key the fake manager gives AccountA and AccountB.
const wchar_t KeyA[] = L"{BB11FAAD-81A3-4CD4-913B-39DDA89CF340}alice";
const wchar_t KeyB[] = L"{97573E1B-25C2-4222-A5E3-C2CC540F0ADE}bob@example.org";

struct SentMessage {
    unsigned account;
    int contactId;
    int flags;
    std::wstring text;
    bool silent;
};

// The protocols manager as the contact list sees it: accounts with fixed keys, of which those the
// fixture created are the manager's accounts; contact status records made from the contact id, and
// a log of the messages sent.
class FakeAccounts : public IContactListAccounts {
public:
    FakeAccounts()
    {
        keys.push_back({AccountA, KeyA});
        keys.push_back({AccountB, KeyB});
    }

    bool IsAvailable() override { return available; }
    int GetAccountCount() override
    {
        std::lock_guard<std::mutex> hold(mutex);
        return int(created.size());
    }
    unsigned GetAccountId(int index) override
    {
        std::lock_guard<std::mutex> hold(mutex);
        return index >= 0 && index < int(created.size()) ? created[size_t(index)] : 0;
    }
    CZELString GetAccountKey(unsigned account) override
    {
        if (onWait) onWait();
        ++keyRequests;
        std::lock_guard<std::mutex> hold(mutex);
        for (const auto& key : keys)
            if (key.first == account) return Str(key.second);
        return CZELString();
    }
    bool GetContactIcons(unsigned account, int contactId, StatusInfo& out) override
    {
        if (onWait) onWait();
        ++iconRequests;
        out = IconsOf(contactId);
        return true;
    }
    bool SendInstantMessage(unsigned account, const MessageRecord& message, bool silent) override
    {
        if (onWait) onWait();
        std::lock_guard<std::mutex> hold(mutex);
        sent.push_back({account, message.contactId, message.flags, Text(message.text), silent});
        return true;
    }

    bool GetAccountsNotCreated(std::vector<ZEL_GUID>& protocols) override
    {
        std::lock_guard<std::mutex> hold(mutex);
        protocols = notCreated;
        return notCreatedKnown;
    }

    // The status record the fake gives a contact.
    static StatusInfo IconsOf(int contactId)
    {
        StatusInfo info;
        info.status = 2;
        info.kinds.Add(7);
        info.images.Add(contactId & 0xFFFF);
        return info;
    }

    void SetKey(unsigned account, const std::wstring& key)
    {
        std::lock_guard<std::mutex> hold(mutex);
        for (auto& entry : keys)
            if (entry.first == account) {
                entry.second = key;
                return;
            }
        keys.push_back({account, key});
    }

    // Adds the account to the manager's accounts, or takes it away.
    void SetCreated(unsigned account, bool exists)
    {
        std::lock_guard<std::mutex> hold(mutex);
        for (size_t i = 0; i < created.size(); ++i)
            if (created[i] == account) created.erase(created.begin() + long(i));
        if (exists) created.push_back(account);
    }

    // The protocols of stored accounts the manager did not create; known false: it cannot tell.
    void SetNotCreated(const std::vector<ZEL_GUID>& protocols, bool known = true)
    {
        std::lock_guard<std::mutex> hold(mutex);
        notCreated = protocols;
        notCreatedKnown = known;
    }

    std::vector<SentMessage> Sent()
    {
        std::lock_guard<std::mutex> hold(mutex);
        return sent;
    }

    std::atomic<bool> available{true};
    std::atomic<int> keyRequests{0};
    std::atomic<int> iconRequests{0};
    // Runs at every call that would wait for an account in the real manager.
    std::function<void()> onWait;

private:
    std::mutex mutex;
    std::vector<std::pair<unsigned, std::wstring>> keys;
    std::vector<SentMessage> sent;
    std::vector<ZEL_GUID> notCreated;
    bool notCreatedKnown = true;
    std::vector<unsigned> created;
};

// The protocol an account key begins with.
inline ZEL_GUID ProtocolOf(const std::wstring& key)
{
    ZEL_GUID protocol = ZEL_GUID_NULL;
    protocol.SetString(Str(key.substr(0, 38)));
    return protocol;
}

struct EventRecord {
    int code;
    intptr_t p1;       // -1 when absent
    intptr_t p2;       // the value of a CRefValue p2; -1 when absent or not a value
    int group;         // CContactAddedPayload's group, -1 otherwise
    int status;        // the status of a CContactAddedPayload or CStatusInfoPayload, -1 otherwise
    int image;         // its first image index, -1 otherwise
    std::wstring text; // CMessagePayload's text
    // What the subscriber found while handling the event: the item's "Account name" property.
    std::wstring nameSeen;
    bool itemExisted;
};

// The value a payload carries; -1 for none.
inline intptr_t ValueOrNone(CRefObject* payload)
{
    return ValueOf(payload, -1);
}

// A queue subscribed to all 13 events of a contact list; records each with what it carried. While
// handling it asks the list about the item, so tests see what a subscriber could still read.
class EventRecorder : public QueueReceiver {
public:
    EventRecorder(Services::CServicesManager& bus, CContactListData* list) : bus(bus), list(list)
    {
        queue = bus.CreateQueue(this, CZELString(L"Recorder"));
        for (int code = 1; code <= CLE_EVENT_COUNT; ++code) bus.Subscribe(GUID_CONTACT_LIST_DATA, code, queue);
    }
    ~EventRecorder() override { bus.DestroyQueue(queue); }

    int HandleMessage(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2) override
    {
        if (msgClass != GUID_CONTACT_LIST_DATA) return 0;
        EventRecord record{code, ValueOrNone(p1), ValueOrNone(p2), -1, -1, -1, std::wstring(), std::wstring(), false};
        if (CContactAddedPayload* added = dynamic_cast<CContactAddedPayload*>(p2)) {
            record.group = added->groupId;
            record.status = added->info.status;
            record.image = added->info.images.GetCount() ? added->info.images[0] : -1;
        }
        if (CStatusInfoPayload* status = dynamic_cast<CStatusInfoPayload*>(p2)) {
            record.status = status->info.status;
            record.image = status->info.images.GetCount() ? status->info.images[0] : -1;
        }
        if (CMessagePayload* message = dynamic_cast<CMessagePayload*>(p2)) record.text = Text(message->message.text);
        if (list && p1 && (code == CLE_CONTACT_REMOVED || code == CLE_GROUP_REMOVED)) {
            // Give a removal that did not wait for us every chance to go ahead first.
            if (probeRemovals) Sleep(20);
            record.itemExisted = list->GetItemAccount(int(record.p1)) != 0;
            CZELString name;
            if (list->GetPropertyString(int(record.p1), CZELString(L"Account name"), name)) record.nameSeen = Text(name);
        }
        if (onEvent) onEvent(record);
        std::lock_guard<std::mutex> hold(mutex);
        records.push_back(record);
        return 0;
    }

    std::vector<EventRecord> Records()
    {
        std::lock_guard<std::mutex> hold(mutex);
        return records;
    }
    std::vector<int> Codes()
    {
        std::vector<int> codes;
        for (const EventRecord& record : Records()) codes.push_back(record.code);
        return codes;
    }
    void Clear()
    {
        std::lock_guard<std::mutex> hold(mutex);
        records.clear();
    }
    std::atomic<bool> probeRemovals{true};
    // Runs on the recorder's thread for every event, while a synchronous one holds up the list.
    std::function<void(const EventRecord&)> onEvent;

    // Returns once everything posted to the recorder before the call was handled.
    void Flush() { bus.SendMessage(queue, GUID_NULL_FLUSH(), 0, nullptr, nullptr, true); }

private:
    static const ZEL_GUID& GUID_NULL_FLUSH()
    {
        static const ZEL_GUID flush = {0x0F1A5400, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
        return flush;
    }

    Services::CServicesManager& bus;
    CContactListData* list;
    int queue;
    std::mutex mutex;
    std::vector<EventRecord> records;
};

using TestSupport::TempFolder;

// A private bus with a settings store, the fake manager and the service; a recorder subscribed to
// every event.
class ContactListFixture : public ::testing::Test {
protected:
    ContactListFixture() : folder(L"zel-cl-") {}

    void SetUp() override
    {
        store.reset(new CSettingsStore(&bus, Str(folder.path + L"settings.zel")));
        list.reset(new CContactListData(bus, &accounts));
        recorder.reset(new EventRecorder(bus, list.get()));
    }
    void TearDown() override
    {
        recorder.reset();
        list.reset();
        store.reset();
    }

    // The protocols manager's PMEV event as the list's queue receives it, waiting until handled.
    // The manager has an account from just before its creation is announced until just after its
    // removal is.
    void Announce(int code, unsigned account)
    {
        if (code == PMEV_ACCOUNT_CREATED) accounts.SetCreated(account, true);
        CRefValue* p1 = new CRefValue(intptr_t(account));
        bus.SendMessage(list->GetQueueHandle(), GUID_PROTOCOLS_MANAGER, code, p1, nullptr, true);
        if (code == PMEV_ACCOUNT_REMOVING) accounts.SetCreated(account, false);
    }
    void CreateAccount(unsigned account) { Announce(PMEV_ACCOUNT_CREATED, account); }

    // Waits until the list's queue and then the recorder handled everything posted so far.
    void Settle()
    {
        bus.SendMessage(list->GetQueueHandle(), GUID_NULL_SETTLE(), 0, nullptr, nullptr, true);
        recorder->Flush();
    }

    static const ZEL_GUID& GUID_NULL_SETTLE()
    {
        static const ZEL_GUID settle = {0x5E771E00, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
        return settle;
    }

    // "CL data" as stored now.
    Bytes StoredList()
    {
        Bytes out;
        int size = 0;
        if (!store->GetValueSize(GUID_CONTACT_LIST_DATA, CZELString(L"CL data"), &size) || size <= 0) return out;
        out.resize(size_t(size));
        unsigned length = unsigned(size);
        store->GetBlob(GUID_CONTACT_LIST_DATA, CZELString(L"CL data"), out.data(), &length);
        return out;
    }
    void StoreList(const Bytes& bytes)
    {
        int length = int(bytes.size());
        static const unsigned char none = 0;
        store->SetBlob(GUID_CONTACT_LIST_DATA, CZELString(L"CL data"), length ? bytes.data() : &none, &length);
    }

    // Destroys the service, which stores "CL data", and makes a new one on the same store.
    void Restart()
    {
        recorder.reset();
        list.reset();
        list.reset(new CContactListData(bus, &accounts));
        recorder.reset(new EventRecorder(bus, list.get()));
    }

    std::wstring Property(int item, const wchar_t* name)
    {
        CZELString out;
        return list->GetPropertyString(item, CZELString(name), out) ? Text(out) : std::wstring(L"<none>");
    }
    bool SetName(int item, const std::wstring& name)
    {
        return list->SetPropertyString(item, CZELString(L"Account name"), Str(name));
    }

    TempFolder folder;
    Services::CServicesManager bus;
    FakeAccounts accounts;
    std::unique_ptr<CSettingsStore> store;
    std::unique_ptr<CContactListData> list;
    std::unique_ptr<EventRecorder> recorder;
};

}  // namespace ContactListTest
