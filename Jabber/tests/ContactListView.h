// What the tests read back from the contact list: every event it fired (messages, acknowledgements,
// typing, statuses), and an account's groups and contacts as plain rows.
#pragma once

#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/core/contactlist/ContactListPayloads.h"
#include "Zel/core/tests/BusTestSupport.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

namespace JabberTest {

class ContactListEvents : public QueueReceiver {
public:
    explicit ContactListEvents(Services::CServicesManager& bus) : bus(bus)
    {
        queue = bus.CreateQueue(this, CZELString(L"Contact list events"));
        for (int code = 1; code <= CLE_EVENT_COUNT; ++code) bus.Subscribe(GUID_CONTACT_LIST_DATA, code, queue);
    }
    ~ContactListEvents() override
    {
        if (queue) bus.DestroyQueue(queue);
    }

    struct Event {
        int code;
        intptr_t id;
        intptr_t value;
        MessageRecord message;
        StatusInfo status;
    };

    int HandleMessage(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2) override
    {
        if (!(msgClass == GUID_CONTACT_LIST_DATA)) return 0;
        Event event{code, ValueOf(p1, -1), ValueOf(p2, -1), MessageRecord(), StatusInfo()};
        if (CMessagePayload* message = dynamic_cast<CMessagePayload*>(p2)) event.message = message->message;
        if (CStatusInfoPayload* status = dynamic_cast<CStatusInfoPayload*>(p2)) event.status = status->info;
        std::lock_guard<std::mutex> hold(mutex);
        events.push_back(event);
        return 0;
    }

    std::vector<Event> Events(int code)
    {
        std::lock_guard<std::mutex> hold(mutex);
        std::vector<Event> out;
        for (const Event& event : events)
            if (event.code == code) out.push_back(event);
        return out;
    }

    // Waits until count events of code (about id, unless -1) have come.
    bool WaitFor(int code, intptr_t id = -1, size_t count = 1, unsigned milliseconds = 10000)
    {
        return BusTest::WaitUntil(
            [&]() {
                size_t n = 0;
                for (const Event& event : Events(code))
                    if (id == -1 || event.id == id) ++n;
                return n >= count;
            },
            milliseconds);
    }

    void Clear()
    {
        std::lock_guard<std::mutex> hold(mutex);
        events.clear();
    }

private:
    Services::CServicesManager& bus;
    int queue = 0;
    std::mutex mutex;
    std::vector<Event> events;
};

inline std::string Narrow(const CZELString& text)
{
    std::string out;
    for (int i = 0; i < text.GetLength(); ++i) {
        const wchar_t c = text.GetBuffer()[i];
        out += c < 128 ? char(c) : '?';
    }
    return out;
}

inline std::string Property(IContactListData& list, int item, const wchar_t* name)
{
    CZELString value;
    list.GetPropertyString(item, CZELString(name), value);
    return Narrow(value);
}

// The account's list as sorted rows: "group" for a group, "group|jid|alias|subscription" for a
// contact ("" as the group of a top-level contact).
inline std::vector<std::string> ListRows(IContactListData& list, unsigned account)
{
    CZELArray<ContactListItemPair> items;
    list.GetAccountItems(account, items);
    std::vector<std::string> rows;
    for (int i = 0; i < items.GetCount(); ++i) {
        const ContactListItemPair pair = items[i];
        const std::string group = pair.groupId ? Property(list, pair.groupId, L"Account name") : std::string();
        if (!pair.contactId) {
            rows.push_back(group);
            continue;
        }
        char subscription = -1;
        list.GetPropertyByte(pair.contactId, CZELString(L"Subscription"), &subscription);
        rows.push_back(group + "|" + Property(list, pair.contactId, L"Account name") + "|" +
                       Property(list, pair.contactId, L"CL Alias") + "|" + std::to_string(int(subscription)));
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

// The account's contact with that "Account name", 0 when none.
inline int ContactByJid(IContactListData& list, unsigned account, const std::string& jid)
{
    CZELArray<ContactListItemPair> items;
    list.GetAccountItems(account, items);
    for (int i = 0; i < items.GetCount(); ++i)
        if (items[i].contactId && Property(list, items[i].contactId, L"Account name") == jid) return items[i].contactId;
    return 0;
}

inline int GroupByName(IContactListData& list, unsigned account, const std::string& name)
{
    CZELArray<int> groups;
    list.GetAccountGroups(account, groups);
    for (int i = 0; i < groups.GetCount(); ++i)
        if (Property(list, groups[i], L"Account name") == name) return groups[i];
    return 0;
}

}  // namespace JabberTest
