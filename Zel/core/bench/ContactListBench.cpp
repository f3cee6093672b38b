// Contact-list speed, the way start-up and incoming traffic use it: one account's stored list of
// 50 groups is loaded into CContactListData (parse, items, properties, one batch announced to one
// subscribed queue), contacts are found by their "Account name" and by their key, the list is
// stored again. The account is a real one: the protocols manager with the fake account plug-in
// built beside this program, so every question the list asks an account (its name, a contact's
// status) goes through the manager to the account's own queue and back, as in the program. Each
// figure is taken at 1,000, 10,000 and 20,000 contacts and printed per item, so a cost that grows
// faster than the list shows as a per-item figure that grows; each is the best of five runs, since
// other work on the machine only ever adds. A walk of the whole list, which is what a look-up by
// name would cost without the name index, is printed beside.
#include "Zel/core/bench/Benchmarks.h"

#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/core/contactlist/ContactListFile.h"
#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/ProtocolsManager.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/settings/SettingsStore.h"
#include "Zel/core/skin/SkinImageSet.h"
#include "Zel/core/skin/SkinImages.h"
#include "Zel/core/tests/plugins/FakeAccountPlugin.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

const wchar_t kAccountName[] = L"100200300";
const int kGroups = 50;
const int kRuns = 5;
const int kKeyFinds = 1000;
const ZEL_GUID kFlushClass = {0xBE4C0001, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};

// The fake account plug-ins the tests build beside the programs.
CZELString ProtosFolder()
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    folder = folder.substr(0, folder.find_last_of(L"\\/") + 1) + L"PluginTrees\\Accounts\\Protos\\";
    return CZELString(folder.c_str());
}

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
std::vector<unsigned char> BuildList(const CZELString& key, int contacts)
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
    AppendRecord(list, key, items);
    return list;
}

struct Figures {
    double load, find, findKey, walk, save;
    size_t bytes;
    bool ok;
};

Figures Measure(int contacts, const std::wstring& settingsPath)
{
    Figures f = {0, 0, 0, 0, 0, 0, true};
    Services::CServicesManager bus;
    CSettingsStore store(&bus, CZELString(settingsPath.c_str()));
    CSkinImageSet images;
    CSkinImages skin(bus, images);
    // As the program makes them: the list first, the manager after it; they go in the other order.
    std::unique_ptr<CContactListData> list(new CContactListData(bus));
    std::unique_ptr<CProtocolsManager> manager(new CProtocolsManager(bus, skin, ProtosFolder()));
    // The account is offline, as every account is when its stored list loads.
    unsigned account = manager->CreateAccount(GUID_FAKE_A);
    if (!account) return Figures{0, 0, 0, 0, 0, 0, false};
    manager->SetAccountString(account, CZELString(FAKE_VALUE_NAME), CZELString(kAccountName), 0);
    CZELString key;
    manager->GetAccountName(key, account, true);

    std::vector<unsigned char> blob = BuildList(key, contacts);
    f.bytes = blob.size();
    int length = int(blob.size());
    store.SetBlob(GUID_CONTACT_LIST_DATA, CZELString(L"CL data"), blob.data(), &length);

    EventCounter counter;
    int queue = bus.CreateQueue(&counter, CZELString(L"Bench UI"));
    for (int code = 1; code <= CLE_EVENT_COUNT; ++code) bus.Subscribe(GUID_CONTACT_LIST_DATA, code, queue);

    // Loading: the account announced on the list's queue, until the last event is handled.
    double start = BenchSeconds();
    CRefValue* created = new CRefValue(account);
    bus.SendMessage(list->GetQueueHandle(), GUID_PROTOCOLS_MANAGER, PMEV_ACCOUNT_CREATED, created, nullptr, true);
    bus.SendMessage(queue, kFlushClass, 0, nullptr, nullptr, true);
    f.load = BenchSeconds() - start;
    CZELArray<ContactListItemPair> loaded;
    list->GetAccountItems(account, loaded);
    f.ok = counter.count == 2 && loaded.GetCount() == kGroups + contacts;

    // Finding: every contact once by its "Account name", in a scattered order, as the account's
    // thread does for each message and presence.
    start = BenchSeconds();
    int found = 0;
    for (int i = 0; i < contacts; ++i) {
        int c = int((long long)i * 7919 % contacts);
        if (!list->IsTempContact(list->FindOrAddContact(account, CZELString(NameOf(c).c_str())))) ++found;
    }
    f.find = (BenchSeconds() - start) / contacts;
    f.ok = f.ok && found == contacts;

    // Finding by key, which asks the accounts for their names.
    start = BenchSeconds();
    found = 0;
    for (int i = 0; i < kKeyFinds; ++i) {
        int c = int((long long)i * 7919 % contacts);
        std::wstring text = std::wstring(key.GetBuffer(), size_t(key.GetLength())) + L"|" + NameOf(c);
        if (list->FindContactByKey(CZELString(text.c_str()))) ++found;
    }
    f.findKey = (BenchSeconds() - start) / kKeyFinds;
    f.ok = f.ok && found == kKeyFinds;

    // A walk of the list, reading every contact's name.
    const int walks = 20;
    start = BenchSeconds();
    for (int w = 0; w < walks; ++w) {
        CZELArray<ContactListItemPair> items;
        list->GetAccountItems(account, items);
        CZELString name;
        for (int i = 0; i < items.GetCount(); ++i)
            if (items[i].contactId) list->GetPropertyString(items[i].contactId, CZELString(L"Account name"), name);
    }
    f.walk = (BenchSeconds() - start) / walks;

    start = BenchSeconds();
    list->SaveContactList();
    f.save = BenchSeconds() - start;
    bus.DestroyQueue(queue);
    list.reset();
    manager.reset();
    return f;
}

}  // namespace

void RunContactListBenchmark()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring settings = std::wstring(temp) + L"ZelContactListBench" + std::to_wstring(GetCurrentProcessId()) + L".zel";

    std::printf("Contact list: %d groups, one account of the fake plug-in, offline\n", kGroups);
    std::printf("%9s %10s %10s %14s %13s %13s %14s %10s\n", "contacts", "CL data", "load ms", "load us/item",
                "find us/each", "by key us", "walk us/item", "save ms");
    for (int contacts : {1000, 10000, 20000}) {
        Figures f = Measure(contacts, settings);
        DeleteFileW(settings.c_str());
        for (int run = 1; run < kRuns; ++run) {
            Figures again = Measure(contacts, settings);
            DeleteFileW(settings.c_str());
            f.load = again.load < f.load ? again.load : f.load;
            f.find = again.find < f.find ? again.find : f.find;
            f.findKey = again.findKey < f.findKey ? again.findKey : f.findKey;
            f.walk = again.walk < f.walk ? again.walk : f.walk;
            f.save = again.save < f.save ? again.save : f.save;
            f.ok = f.ok && again.ok;
        }
        std::printf("%9d %10u %10.1f %14.2f %13.2f %13.1f %14.3f %10.1f%s\n", contacts, unsigned(f.bytes), f.load * 1e3,
                    f.load * 1e6 / contacts, f.find * 1e6, f.findKey * 1e6, f.walk * 1e6 / contacts, f.save * 1e3,
                    f.ok ? "" : "  (incomplete!)");
    }
}
