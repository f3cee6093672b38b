// Contact-list speed, the way start-up and incoming traffic use it: one account's stored list of
// 50 groups is loaded into CContactListData (parse, items, properties, one status request and one
// event per item, to one subscribed queue), contacts are found by their "Account name", the list
// is stored again. Each figure is taken at 1,000, 10,000 and 20,000 contacts and printed per item,
// so a cost that grows faster than the list shows as a per-item figure that grows; each is the best
// of three runs, since other work on the machine only ever adds. A walk of the whole list, which is
// what a look-up by name would cost without the name index, is printed beside.
#include "Zel/core/bench/Benchmarks.h"

#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/core/contactlist/ContactListFile.h"
#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/settings/SettingsStore.h"
#include "ZELCommon/ZELEvent.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const unsigned kAccount = 0x10000001;
const wchar_t kKey[] = L"{BB11FAAD-81A3-4CD4-913B-39DDA89CF340}100200300";
const int kGroups = 50;
const int kRuns = 3;
const ZEL_GUID kFlushClass = {0xBE4C0001, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};

// One account, answering at once what the real manager asks the account's queue for.
class BenchAccounts : public IContactListAccounts {
public:
    bool IsAvailable() override { return true; }
    int GetAccountCount() override { return 1; }
    unsigned GetAccountId(int index) override { return index == 0 ? kAccount : 0; }
    CZELString GetAccountKey(unsigned account) override { return account == kAccount ? CZELString(kKey) : CZELString(); }
    bool GetContactIcons(unsigned account, int contactId, StatusInfo& out) override
    {
        out.status = 2;
        out.images.Add(1);
        return true;
    }
    bool SendInstantMessage(unsigned account, const MessageRecord& message, bool silent) override { return true; }
    bool GetAccountsNotCreated(std::vector<ZEL_GUID>& protocols) override { return true; }
};

// The user interface's side: a queue that counts the list's events.
class EventCounter : public QueueReceiver {
public:
    int HandleMessage(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2) override
    {
        if (msgClass == GUID_CONTACT_LIST_DATA) ++count;
        return 0;
    }
    std::atomic<long> count{0};
};

std::wstring NameOf(int contact)
{
    return std::to_wstring(300000000 + contact * 7);
}

// "CL data" holding one account with contacts spread over kGroups groups.
std::vector<unsigned char> BuildList(int contacts)
{
    using namespace ContactListFile;
    std::vector<unsigned char> items;
    for (int g = 0; g < kGroups; ++g) {
        ValueRecordList settings;
        ValueRecord alias(CZELString(L"CL Alias"));
        alias.WriteString(CZELString((L"Group " + std::to_wstring(g)).c_str()), false);
        settings.Add(alias);
        std::vector<unsigned char> group, bytes;
        AppendProperties(bytes, settings);
        AppendRecord(group, CZELString(GroupSettingsRecord), bytes);
        for (int c = g; c < contacts; c += kGroups) {
            ValueRecordList properties;
            ValueRecord name(CZELString(L"Account name"));
            name.WriteString(CZELString(NameOf(c).c_str()), false);
            ValueRecord contactAlias(CZELString(L"CL Alias"));
            contactAlias.WriteString(CZELString((L"Contact number " + std::to_wstring(c)).c_str()), false);
            ValueRecord flag(CZELString(L"WEX: In visible list"));
            flag.WriteByte(1);
            properties.Add(name);
            properties.Add(contactAlias);
            properties.Add(flag);
            bytes.clear();
            AppendProperties(bytes, properties);
            AppendRecord(group, CZELString(ContactRecord), bytes);
        }
        AppendRecord(items, CZELString(GroupRecord), group);
    }
    std::vector<unsigned char> list;
    AppendRecord(list, CZELString(kKey), items);
    return list;
}

struct Figures {
    double load, find, walk, save;
    size_t bytes;
    bool ok;
};

Figures Measure(int contacts, const std::wstring& settingsPath)
{
    Figures f = {0, 0, 0, 0, 0, true};
    Services::CServicesManager bus;
    CSettingsStore store(&bus, CZELString(settingsPath.c_str()));
    std::vector<unsigned char> blob = BuildList(contacts);
    f.bytes = blob.size();
    int length = int(blob.size());
    store.SetBlob(GUID_CONTACT_LIST_DATA, CZELString(L"CL data"), blob.data(), &length);

    BenchAccounts accounts;
    CContactListData list(bus, &accounts);
    EventCounter counter;
    int queue = bus.CreateQueue(&counter, CZELString(L"Bench UI"));
    for (int code = 1; code <= CLE_EVENT_COUNT; ++code) bus.Subscribe(GUID_CONTACT_LIST_DATA, code, queue);

    // Loading: the account announced on the list's queue, until the last event is handled.
    double start = BenchSeconds();
    CRefValue* account = new CRefValue(kAccount);
    bus.SendMessage(list.GetQueueHandle(), GUID_PROTOCOLS_MANAGER, 3, account, nullptr, true);
    bus.SendMessage(queue, kFlushClass, 0, nullptr, nullptr, true);
    f.load = BenchSeconds() - start;
    f.ok = counter.count == kGroups + contacts + 2;

    // Finding: every contact once by its key, in a scattered order.
    start = BenchSeconds();
    int found = 0;
    for (int i = 0; i < contacts; ++i) {
        int c = int((long long)i * 7919 % contacts);
        std::wstring key = std::wstring(kKey) + L"|" + NameOf(c);
        if (list.FindContactByKey(CZELString(key.c_str()))) ++found;
    }
    f.find = (BenchSeconds() - start) / contacts;
    f.ok = f.ok && found == contacts;

    // A walk of the list, reading every contact's name.
    const int walks = 20;
    start = BenchSeconds();
    for (int w = 0; w < walks; ++w) {
        CZELArray<ContactListItemPair> items;
        list.GetAccountItems(kAccount, items);
        CZELString name;
        for (int i = 0; i < items.GetCount(); ++i)
            if (items[i].contactId) list.GetPropertyString(items[i].contactId, CZELString(L"Account name"), name);
    }
    f.walk = (BenchSeconds() - start) / walks;

    start = BenchSeconds();
    list.SaveContactList();
    f.save = BenchSeconds() - start;
    bus.DestroyQueue(queue);
    return f;
}

}  // namespace

void RunContactListBenchmark()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring settings = std::wstring(temp) + L"ZelContactListBench" + std::to_wstring(GetCurrentProcessId()) + L".zel";

    std::printf("Contact list: %d groups, one account\n", kGroups);
    std::printf("%9s %10s %12s %14s %14s %14s %12s\n", "contacts", "CL data", "load ms", "load us/item",
                "find us/each", "walk us/item", "save ms");
    for (int contacts : {1000, 10000, 20000}) {
        Figures f = Measure(contacts, settings);
        DeleteFileW(settings.c_str());
        for (int run = 1; run < kRuns; ++run) {
            Figures again = Measure(contacts, settings);
            DeleteFileW(settings.c_str());
            f.load = again.load < f.load ? again.load : f.load;
            f.find = again.find < f.find ? again.find : f.find;
            f.walk = again.walk < f.walk ? again.walk : f.walk;
            f.save = again.save < f.save ? again.save : f.save;
            f.ok = f.ok && again.ok;
        }
        std::printf("%9d %10u %12.1f %14.2f %14.2f %14.3f %12.1f%s\n", contacts, unsigned(f.bytes), f.load * 1e3,
                    f.load * 1e6 / contacts, f.find * 1e6, f.walk * 1e6 / contacts, f.save * 1e3,
                    f.ok ? "" : "  (incomplete!)");
    }
}
