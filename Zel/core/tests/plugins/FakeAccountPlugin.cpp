// The fake account plug-in (see FakeAccountPlugin.h).
#include "Zel/core/tests/plugins/FakeAccountPlugin.h"

#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/core/contactlist/ContactListPayloads.h"
#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/IProtocolsManager.h"
#include "Zel/core/accounts/ManagerPayloads.h"
#include "Zel/core/accounts/PluginExports.h"
#include "Zel/core/plugin/PopupMenu.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/net/ConnectionManagerApi.h"

#include <windows.h>

#include <cwchar>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#if defined(FAKE_ACCOUNT_PAGES)
#include "ZELCommon/ZELCommonMain.h"
#include "ZELCommon/ZELCommonResources.h"
#include "ZELCommon/ZELWMUI_SettingsPan.h"
#endif

extern "C" {
int FakeAccountLog(unsigned accountId, FakeLogEntry* out, int capacity);
void FakeAccountClearLog();
int FakeAccountLive();
int FakeAccountQueue(unsigned accountId);
int FakeAccountNotify(unsigned accountId, int code, intptr_t value, const wchar_t* text, int mode);
unsigned FakeAccountTimer(intptr_t context);
}

namespace {

// The class of the tests' requests to an account, on the account's own queue.
const ZEL_GUID kControlClass = {0xFA4EAC0F, 0xFFFF, 0x4F4F, {0x8F, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0xFF}};

#if defined(FAKE_ACCOUNT_A)
const ZEL_GUID* const kServed[] = {&GUID_FAKE_A, &GUID_FAKE_REFUSING};
const wchar_t kPluginName[] = L"Fake A";
const bool kLateAfterUnload = false;
#elif defined(FAKE_ACCOUNT_B)
const ZEL_GUID* const kServed[] = {&GUID_FAKE_B};
const wchar_t kPluginName[] = L"Fake B";
const bool kLateAfterUnload = false;
#elif defined(FAKE_ACCOUNT_PROBE)
const ZEL_GUID* const kServed[] = {&GUID_FAKE_PROBE};
const wchar_t kPluginName[] = L"Probe";
const bool kLateAfterUnload = true;
#elif defined(FAKE_ACCOUNT_PAGES)
const ZEL_GUID* const kServed[] = {&GUID_FAKE_A};
const wchar_t kPluginName[] = L"Fake pages";
const bool kLateAfterUnload = false;
#else
#error "no fake account kind"
#endif

struct ControlPayload : CRefObject {
    ControlPayload(intptr_t value, const wchar_t* text, int mode) : value(value), text(text ? text : L""), mode(mode) {}

    intptr_t value;
    CZELString text;
    int mode;
};

CZELString TextOf(CRefObject* payload)
{
    if (CStringPayload* text = dynamic_cast<CStringPayload*>(payload)) return text->text;
    if (CMessagePayload* message = dynamic_cast<CMessagePayload*>(payload)) return message->message.text;
    return CZELString();
}

#if defined(FAKE_ACCOUNT_PAGES)
// A page on the foundation library's empty template; OK counts its stores in the account's value
// FAKE_VALUE_PAGE_STORES through the manager, as a real page stores its fields.
class FakePage : public UI::CZELWMUI_SettingsPan {
public:
    FakePage(IProtocolsManager* manager, unsigned account, const wchar_t* title)
        : manager(manager), account(account), title(title)
    {
    }
    CZELString GetTitle() override { return CZELString(title); }
    CZELArray<int> GetIcons() override { return CZELArray<int>(); }
    ZELTabDlg::PanResource GetResource() override { return {GetZELCommonModule(), IDD_ZELCOMMON_EMPTY_PAGE}; }

protected:
    int DoDataExchange(int save) override
    {
        if (save && manager) {
            int stores = 0;
            manager->GetAccountInt(account, FAKE_VALUE_PAGE_STORES, &stores);
            ++stores;
            manager->SetAccountInt(account, FAKE_VALUE_PAGE_STORES, &stores);
        }
        return 1;
    }

private:
    IProtocolsManager* manager;
    unsigned account;
    const wchar_t* title;
};
const bool kHasPages = true;
#else
const bool kHasPages = false;
#endif

class CFakeAccount;
// The status menu's items set the status chosen, as a real plug-in's do.
void SetStatusFromMenu(intptr_t accountId, intptr_t status);

std::mutex StateLock;
void SetStatusFromMenu(intptr_t account, intptr_t status);
std::vector<CFakeAccount*> Accounts;
std::vector<FakeLogEntry> Log;

void Record(unsigned accountId, int code, CRefObject* p1, CRefObject* p2)
{
    FakeLogEntry entry = {accountId, code, ValueOf(p1), ValueOf(p2), {0}};
    CZELString text = TextOf(p1);
    if (text.IsEmpty()) text = TextOf(p2);
    if (text.GetBuffer()) wcsncpy(entry.text, text.GetBuffer(), 63);
    std::lock_guard<std::mutex> hold(StateLock);
    Log.push_back(entry);
}

class CFakeAccount : public QueueReceiver {
public:
    CFakeAccount(const ZEL_GUID& protocol, Services::CServicesManager* bus, unsigned id, unsigned ownerQueue)
        : protocol(protocol), bus(bus), id(id), ownerQueue(ownerQueue), queue(0), status(AccountStatus::Offline)
    {
        // The manager lets a plug-in use its values while it is being created.
        CZELString stored;
        char seen = Manager() && Manager()->GetAccountString(id, FAKE_VALUE_NAME, stored, 0) ? 1 : 0;
        if (Manager()) Manager()->SetAccountByte(id, FAKE_VALUE_SEEN_AT_CREATE, &seen);
    }

    int HandleMessage(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2) override
    {
        if (msgClass == kControlClass) {
            ControlPayload* control = dynamic_cast<ControlPayload*>(p1);
            if (control && code >= FAKE_ADD_GROUP && code <= FAKE_TYPING) ChangeList(code, *control);
            else if (control) Notify(code, *control);
            return 0;
        }
        if (msgClass == GUID_CONNECTION_MANAGER && code == CM_DISCONNECTED) {
            LateDisconnect();
            return 0;
        }
        if (msgClass != GUID_PROTOCOLS_MANAGER) return 0;
        Record(id, code, p1, p2);
        return Command(code, p1, p2);
    }

    const ZEL_GUID protocol;
    Services::CServicesManager* const bus;
    const unsigned id;
    const unsigned ownerQueue;
    int queue;

private:
    IProtocolsManager* Manager()
    {
        return static_cast<IProtocolsManager*>(
            bus->GetService(GUID_PROTOCOLS_MANAGER));
    }

    int Count(const wchar_t* key)
    {
        int count = 0;
        if (!Manager()) return 0;
        Manager()->GetAccountInt(id, key, &count);
        ++count;
        Manager()->SetAccountInt(id, key, &count);
        return 0;
    }

    // The last report of a closed connection: the account keeps using its values for a while, as a
    // real one updates its state and settings.
    void LateDisconnect()
    {
        Record(id, CM_DISCONNECTED, nullptr, nullptr);
        for (int round = 0; round < 5; ++round) {
            Sleep(1);
            Count(FAKE_VALUE_LATE);
        }
    }

    CZELString Name()
    {
        CZELString name = L"fake";
        if (Manager()) Manager()->GetAccountString(id, FAKE_VALUE_NAME, name, 0);
        return name;
    }

    static StatusEntry Entry(int status)
    {
        StatusEntry entry;
        entry.status = status;
        if (status >= 0 && status < AccountStatus::Count) entry.name = AccountStatus::Names[status];
        entry.images.Add(status);
        return entry;
    }

    static int AddMenuItem(CRefObject* menuValue, int commandId)
    {
        CPopupMenu* menu = reinterpret_cast<CPopupMenu*>(ValueOf(menuValue));
        if (!menu) return 1;
        menu->AddItem(CMenuItem(MENU_ITEM_PLAIN, -1, kPluginName, commandId, nullptr, 0, false));
        return 0;
    }

    int Command(int code, CRefObject* p1, CRefObject* p2)
    {
        switch (code) {
        case PM_LOAD: return Count(FAKE_VALUE_LOADS);
        case PM_UNLOAD:
            // Closing its connection now; the connection's last report comes behind this command.
            if (kLateAfterUnload)
                bus->SendMessage(queue, GUID_CONNECTION_MANAGER, CM_DISCONNECTED, nullptr, nullptr, false);
            return Count(FAKE_VALUE_UNLOADS);
        case PM_GET_NAME:
            if (CZELString* out = reinterpret_cast<CZELString*>(ValueOf(p1))) *out = Name();
            return 0;
        case PM_SET_STATUS: {
            status = int(ValueOf(p1));
            CAccountStatusPayload* payload = new (std::nothrow) CAccountStatusPayload(Entry(status));
            bus->SendMessage(int(ownerQueue), protocol, ACC_STATUS_CHANGED,
                new CRefValue(id), payload, false);
            return 0;
        }
        case PM_GET_STATUS: return status;
        case PM_GET_STATUS_INFO:
            if (StatusEntry* out = reinterpret_cast<StatusEntry*>(ValueOf(p2))) *out = Entry(int(ValueOf(p1)));
            return 0;
        case PM_GET_STATUS_MENU: {
            if (ValueOf(p2) != 0) return 5;  // no such icon
            CPopupMenu* menu = reinterpret_cast<CPopupMenu*>(ValueOf(p1));
            if (!menu) return 1;
            menu->title = kPluginName;
            menu->AddItem(CMenuItem(MENU_ITEM_PLAIN, AccountStatus::Online, L"Online", 0, &SetStatusFromMenu,
                                    AccountStatus::Online, status == AccountStatus::Online));
            menu->AddItem(CMenuItem(MENU_ITEM_PLAIN, AccountStatus::Offline, L"Offline", 0, &SetStatusFromMenu,
                                    AccountStatus::Offline, status == AccountStatus::Offline));
            return 0;
        }
        case PM_GET_CONTACT_ICONS:
            if (StatusInfo* out = reinterpret_cast<StatusInfo*>(ValueOf(p2))) {
                out->status = AccountStatus::Online;
                out->images.Add(int(ValueOf(p1)) & 0xFF);
            }
            return 0;
        case PM_FILL_ACCOUNT_MENU:
        case PM_FILL_CHAT_MENU:
        case PM_FILL_MAIN_MENU:
        case PM_FILL_SEARCH_RESULT_MENU: return AddMenuItem(p2, 9000 + code);
        case PM_FILL_GROUP_MENU:
            // Group 0 is not one of this account's groups.
            return ValueOf(p1) == 0 ? 1 : AddMenuItem(p2, 9000 + code);
        case PM_FILL_CONTACT_MENU: {
            // Edits the owner's menu in place: the delete command goes, a line of its own comes first.
            CPopupMenu* menu = reinterpret_cast<CPopupMenu*>(ValueOf(p2));
            if (!menu) return 1;
            int remove = menu->FindItem(4010);
            if (remove >= 0) menu->RemoveItem(remove);
            menu->InsertItem(0, CMenuItem(MENU_ITEM_INFO, kPluginName, 0, nullptr, 0, false));
            return 0;
        }
        case PM_GET_SETTINGS_PAGES:
            if (kHasPages) AddPage(p1, L"Fake settings");
            return 100 + code;
        case PM_GET_SEARCH_PAGES:
            if (kHasPages) AddPage(p2, L"Fake search");
            return 100 + code;
        case PM_SEARCH:
            if (kHasPages) AnswerSearch();
            return 100 + code;
        case PM_SEND_MESSAGE:
            AcknowledgeSent(dynamic_cast<CMessagePayload*>(p1));
            return 0;
        case PM_GET_OWN_DETAILS_PAGES:
        case PM_GET_CONTACT_DETAILS_PAGES: return 100 + code;
        default: return 0;
        }
    }

    IContactListData* List()
    {
        return static_cast<IContactListData*>(bus->GetService(GUID_CONTACT_LIST_DATA));
    }

    // As a network's server would, a moment after the message left: the user interface shows the
    // line on the manager's "message sent" event, which must come first for the mark to find it.
    void AcknowledgeSent(const CMessagePayload* sent)
    {
        IContactListData* list = List();
        if (!sent || !list) return;
        Sleep(30);
        list->PostMessageAck(sent->message.contactId, sent->message.messageNumber);
    }

    // The list changes a plug-in makes from its own thread.
    void ChangeList(int code, const ControlPayload& control)
    {
        IContactListData* list = List();
        if (!list) return;
        intptr_t item = 0;
        if (code == FAKE_ADD_GROUP) {
            int group = list->AddGroup(id);
            list->SetPropertyString(group, CZELString(L"CL Alias"), control.text);
            list->NotifyGroupAdded(group);
            item = group;
        } else if (code == FAKE_ADD_CONTACT) {
            int contact = list->AddContact(id, int(control.value));
            list->SetPropertyString(contact, CZELString(L"CL Alias"), control.text);
            list->SetPropertyString(contact, CZELString(L"Account name"), control.text);
            list->NotifyContactAdded(contact, StatusInfo());
            item = contact;
        } else if (code == FAKE_SET_CONTACT_STATUS) {
            StatusInfo info;
            info.status = control.mode;
            info.kinds.Add(control.mode);
            list->NotifyContactStatus(int(control.value), info);
            item = control.value;
        } else if (code == FAKE_INCOMING_MESSAGE) {
            MessageRecord message;
            message.contactId = int(control.value);
            message.messageNumber = control.mode;
            message.text = control.text;
            // Past the anti-spam filter, which would hold a first message back for its question.
            list->PostIncomingMessage(message.contactId, message);
            item = control.value;
        } else if (code == FAKE_TYPING) {
            list->PostTypingNotify(int(control.value), control.mode);
            item = control.value;
        }
        CRefValue made(item);
        Record(id, code, &made, nullptr);
    }

    void AddPage(CRefObject* pagesValue, const wchar_t* title)
    {
#if defined(FAKE_ACCOUNT_PAGES)
        if (auto* pages = reinterpret_cast<ZELTabDlg::PanList*>(ValueOf(pagesValue)))
            pages->Add(new FakePage(Manager(), id, title));
#else
        (void)pagesValue;
        (void)title;
#endif
    }

    // Two rows, then the row without a contact that ends the search.
    void AnswerSearch()
    {
        for (int i = 0; i <= FAKE_SEARCH_ROWS; ++i) {
            SearchResultRow row;
            if (i < FAKE_SEARCH_ROWS) {
                row.contactId = int(0x80007000u + unsigned(i));
                row.account = CZELString(i == 0 ? L"first@fake" : L"second@fake");
                row.nickname = CZELString(L"nick");
                row.gender = i == 0 ? 2 : 1;
                row.age = i == 0 ? 25 : 1000;
            }
            bus->SendMessage(int(ownerQueue), protocol, ACC_SEARCH_RESULT, new CRefValue(id),
                             new CSearchResultPayload(row), false);
        }
    }

    void Notify(int code, const ControlPayload& control)
    {
        if (code == ACC_STATUS_CHANGED) status = int(control.value);
        CRefObject* p2 = nullptr;
        switch (code) {
        case ACC_STATUS_CHANGED: p2 = new CAccountStatusPayload(Entry(status)); break;
        case ACC_CONTACT_DETAILS_CHANGED:
        case ACC_ICON_REMOVE: p2 = new CRefValue(control.value); break;
        case ACC_WARNING:
        case ACC_OPEN_URL: p2 = new CStringPayload(control.text); break;
        case ACC_MAIL_NOTICE: p2 = new CStringPairPayload(L"http://mail.example/", control.text); break;
        case ACC_SEARCH_RESULT:
            if (control.value) p2 = new CRefValue(control.value);
            break;
        case ACC_ICON_ADD: p2 = new CArrayPayload(CZELArray<int>(1, int(control.value))); break;
        case ACC_ICON_SET: p2 = new CIconSetPayload(int(control.value), CZELArray<int>(1, int(control.value))); break;
        case ACC_TIMER_START: p2 = new CTimerPayload(CZELTime(), &FakeAccountTimer, control.value); break;
        case ACC_TIMER_STOP: p2 = new CCallbackPayload(&FakeAccountTimer, control.value); break;
        case ACC_FILE_BEGIN:
            p2 = new CFileBeginPayload(HistoryFileEntry(int(control.value), 7, control.text, 0));
            break;
        case ACC_FILE_DATA: {
            // The text's units cut to bytes, in a buffer the receiver frees.
            unsigned length = unsigned(control.text.GetLength());
            unsigned char* bytes = new unsigned char[length ? length : 1];
            for (unsigned i = 0; i < length; ++i) bytes[i] = static_cast<unsigned char>(control.text.GetBuffer()[i]);
            p2 = new CFileDataPayload(int(control.value), bytes, length);
            break;
        }
        case ACC_FILE_END: p2 = new CFileEndPayload(int(control.value)); break;
        default: break;
        }
        const ZEL_GUID& msgClass = control.mode == FAKE_NOTIFY_FOREIGN ? GUID_FAKE_FOREIGN : protocol;
        unsigned sender = control.mode == FAKE_NOTIFY_WRONG_ID ? id + 1 : id;
        bus->SendMessage(int(ownerQueue), msgClass, code, new CRefValue(sender), p2,
            false);
    }

    int status;
};

CFakeAccount* FindById(unsigned accountId)
{
    for (CFakeAccount* account : Accounts)
        if (account->id == accountId) return account;
    return nullptr;
}

void SetStatusFromMenu(intptr_t accountId, intptr_t status)
{
    Services::CServicesManager* bus = nullptr;
    {
        std::lock_guard<std::mutex> hold(StateLock);
        if (CFakeAccount* account = FindById(unsigned(accountId))) bus = account->bus;
    }
    IProtocolsManager* manager = bus ? static_cast<IProtocolsManager*>(bus->GetService(GUID_PROTOCOLS_MANAGER)) : nullptr;
    if (manager) manager->SetStatus(unsigned(accountId), int(status));
}

}  // namespace

void GetProtocolInfoFunc(Services::CServicesManager* bus, CZELArray<Protocols::ProtocolInfo>& protocols)
{
    for (const ZEL_GUID* guid : kServed) {
        Protocols::ProtocolInfo info;
        info.guid = *guid;
        info.iconFile = L"fake.png";
        info.name = *guid == GUID_FAKE_REFUSING ? L"Refusing" : kPluginName;
        info.displayName = info.name;
        protocols.Add(info);
    }
}

unsigned CreateAccountFunc(const ZEL_GUID& protocol, Services::CServicesManager* bus, unsigned accountId,
                           unsigned ownerQueue)
{
    bool served = false;
    for (const ZEL_GUID* guid : kServed) served = served || *guid == protocol;
    if (!served || protocol == GUID_FAKE_REFUSING || !bus) return 0;
    CFakeAccount* account = new (std::nothrow) CFakeAccount(protocol, bus, accountId, ownerQueue);
    if (!account) return 0;
    account->queue = bus->CreateQueue(account, CZELString(L"Fake account"));
    if (!account->queue) {
        delete account;
        return 0;
    }
    std::lock_guard<std::mutex> hold(StateLock);
    Accounts.push_back(account);
    return unsigned(account->queue);
}

void DestroyAccountFunc(unsigned handle)
{
    CFakeAccount* account = nullptr;
    {
        std::lock_guard<std::mutex> hold(StateLock);
        for (size_t i = 0; i < Accounts.size(); ++i) {
            if (unsigned(Accounts[i]->queue) == handle) {
                account = Accounts[i];
                Accounts.erase(Accounts.begin() + i);
                break;
            }
        }
    }
    if (!account) return;
    account->bus->DestroyQueue(account->queue);
    delete account;
}

int FakeAccountLog(unsigned accountId, FakeLogEntry* out, int capacity)
{
    std::lock_guard<std::mutex> hold(StateLock);
    int count = 0;
    for (const FakeLogEntry& entry : Log) {
        if (accountId && entry.accountId != accountId) continue;
        if (out && count < capacity) out[count] = entry;
        ++count;
    }
    return count;
}

void FakeAccountClearLog()
{
    std::lock_guard<std::mutex> hold(StateLock);
    Log.clear();
}

int FakeAccountLive()
{
    std::lock_guard<std::mutex> hold(StateLock);
    return int(Accounts.size());
}

int FakeAccountQueue(unsigned accountId)
{
    std::lock_guard<std::mutex> hold(StateLock);
    CFakeAccount* account = FindById(accountId);
    return account ? account->queue : 0;
}

int FakeAccountNotify(unsigned accountId, int code, intptr_t value, const wchar_t* text, int mode)
{
    Services::CServicesManager* bus = nullptr;
    int queue = 0;
    {
        std::lock_guard<std::mutex> hold(StateLock);
        CFakeAccount* account = FindById(accountId);
        if (!account) return 0;
        bus = account->bus;
        queue = account->queue;
    }
    return bus->SendMessage(queue, kControlClass, code,
               new ControlPayload(value, text, mode), nullptr, false);
}

unsigned FakeAccountTimer(intptr_t context)
{
    return 0;
}
