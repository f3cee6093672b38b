// CProtocolsManager: its queue "Protocols manager": start-up, the language change, the accounts'
// notifications, the global status and file transfers, and the manager's own deferred messages.
#include "Zel/core/accounts/ProtocolsManager.h"

#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/ProtocolsManagerInternal.h"
#include "Zel/core/history/SafeFileName.h"
#include "Zel/core/bus/ServicesManager.h"
#include "ZELCommon/ZELFile.h"
#include "ZELCommon/ZELPath.h"

#include <cwchar>
#include <ctime>

using ProtocolsManagerInternal::kFlushCode;

namespace {

// The event each notification is passed on as, unchanged; 0 for those handled otherwise.
int RelayedAs(int code)
{
    switch (code) {
    case ACC_NAME_CHANGED: return PMEV_ACCOUNT_RENAMED;
    case ACC_OWN_DETAILS_CHANGED: return PMEV_DETAILS_RECEIVED;
    case ACC_CONTACT_DETAILS_CHANGED: return PMEV_DETAILS_NOTIFY;
    case ACC_WARNING: return PMEV_SHOW_TEXT;
    case ACC_MAIL_NOTICE: return PMEV_SHOW_TITLED_TEXT;
    case ACC_SEARCH_RESULT: return PMEV_SEARCH_RESULT;
    case ACC_ICON_ADD: return PMEV_ACCOUNT_TEXT;
    case ACC_ICON_SET: return PMEV_ACCOUNT_XSTATUS;
    case ACC_ICON_REMOVE: return PMEV_ACCOUNT_INDICATOR;
    case ACC_TIMER_START: return PMEV_TIMER_SET;
    default: return 0;
    }
}

}  // namespace

int CProtocolsManager::Fire(int code, CRefObject* p1, CRefObject* p2, bool wait)
{
    int result = bus.FireEvent(GetEventId(code), p1, p2, wait);
    if (result == Services::SM_NOT_FOUND || result == Services::SM_FAILED) {
        // The bus left them alone; objects nobody holds go now, relayed ones stay with their sender.
        if (p1) p1->AddRef(0);
        if (p2) p2->AddRef(0);
    }
    return result;
}

int CProtocolsManager::HandleMessage(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2)
{
    if (msgClass == ZEL_GUID_NULL) {
        if (code == Services::SMEV_STARTUP) OnStartup();
        return 0;
    }
    if (msgClass == GUID_GUI) {
        if (code == GUIEV_LANGUAGE_CHANGED) OnLanguageChanged(p1);
        return 0;
    }
    if (msgClass == GUID_PROTOCOLS_MANAGER) {
        intptr_t value = 0;
        switch (code) {
        case PM_SELF_STATUS: OnSelfStatus(p1, p2); break;
        case PM_SELF_REMOVE_ACCOUNT:
            if (TryValueOf(p1, value)) RemoveAccountNow(unsigned(value));
            break;
        case PM_SELF_UNLOAD_DLL:
            if (CDllPayload* dll = dynamic_cast<CDllPayload*>(p1)) dll->library.Unload();
            break;
        case kFlushCode:
        default: break;
        }
        return 0;
    }
    OnAccountNotification(msgClass, code, p1, p2);
    return 0;
}

void CProtocolsManager::OnStartup()
{
    if (queueHandle) bus.Subscribe(GUID_GUI, GUIEV_LANGUAGE_CHANGED, queueHandle);
    FillStatusTable(false);
    LoadAccounts();
}

void CProtocolsManager::FillStatusTable(bool wait)
{
    CRefValue* title = nullptr;
    CRefValue* entries = nullptr;
    statusTables.NewFill(title, entries);
    if (!title || !entries) return;
    // Our own references keep the fill open until the event is out; the table is installed when
    // the last delivery lets go, which with waiting is before this returns.
    title->AddRef(1);
    entries->AddRef(1);
    Fire(PMEV_FILL_STATUS_TABLE, title, entries, wait);
    title->Release();
    entries->Release();
}

void CProtocolsManager::AnnounceGlobalStatus()
{
    StatusEntry entry;
    // The status is right even when the table has no row for it.
    entry.status = globalStatus.load();
    GetStatusInfo(0, entry.status, &entry);
    Fire(PMEV_STATUS_CHANGED, NewValue(0), new (std::nothrow) CAccountStatusPayload(entry), false);
}

void CProtocolsManager::OnLanguageChanged(CRefObject* language)
{
    FillStatusTable(true);
    AnnounceGlobalStatus();
    CZELLock hold(accountsLock);
    for (const AccountRecord& account : accounts)
        bus.SendMessage(int(account.handle), GUID_PROTOCOLS_MANAGER, PM_LANGUAGE_CHANGED, language, nullptr, false);
}

void CProtocolsManager::OnAccountNotification(const ZEL_GUID& protocol, int code, CRefObject* p1, CRefObject* p2)
{
    intptr_t value = 0;
    if (!TryValueOf(p1, value)) return;
    unsigned id = unsigned(value);
    {
        // Only an account of this table, with this very protocol, is heard.
        CZELLock hold(accountsLock);
        AccountRecord* account = FindAccount(id);
        if (!account || account->protocol != protocol) return;
    }

    if (int relay = RelayedAs(code)) {
        Fire(relay, p1, p2, false);
        return;
    }
    switch (code) {
    case ACC_STATUS_CHANGED: {
        CAccountStatusPayload* status = dynamic_cast<CAccountStatusPayload*>(p2);
        if (status && status->entry.status == AccountStatus::Connecting) {
            int now = int(time(nullptr));
            SetAccountInt(id, CZELString(L"Logon date"), &now);
        }
        bus.SendMessage(queueHandle, GUID_PROTOCOLS_MANAGER, PM_SELF_STATUS, p1, p2, false);
        break;
    }
    case ACC_TIMER_STOP: {
        CCallbackPayload* timer = dynamic_cast<CCallbackPayload*>(p2);
        if (!timer) return;
        Fire(PMEV_TIMER_CANCEL, NewValue(intptr_t(id)),
             new (std::nothrow) CCallbackPayload(timer->callback, timer->context), false);
        break;
    }
    case ACC_OPEN_URL: {
        CStringPayload* url = dynamic_cast<CStringPayload*>(p2);
        if (!url) return;
        Fire(PMEV_OPEN_URL, NewValue(intptr_t(id)), NewStringPayload(url->text), false);
        break;
    }
    case ACC_FILE_BEGIN: OnFileBegin(id, p2); break;
    case ACC_FILE_DATA: OnFileData(p2); break;
    case ACC_FILE_END: OnFileEnd(p2); break;
    default: break;
    }
}

void CProtocolsManager::OnSelfStatus(CRefObject* p1, CRefObject* p2)
{
    CAccountStatusPayload* status = dynamic_cast<CAccountStatusPayload*>(p2);
    if (status) {
        bool announce = false;
        int g = GlobalStatus::Recompute(
            status->entry.status, globalStatus.load(), [this]() { return AskAccountStatuses(); }, announce);
        globalStatus.store(g);
        if (announce) AnnounceGlobalStatus();
    }
    Fire(PMEV_STATUS_CHANGED, p1, p2, false);
}

void CProtocolsManager::OnFileBegin(unsigned id, CRefObject* p2)
{
    CFileBeginPayload* begin = dynamic_cast<CFileBeginPayload*>(p2);
    if (!begin) return;
    // The name may come from the peer: it stays a bare name inside the history folder, never one
    // of the history's own files, and never a file that is there already (a file received twice,
    // or the user's own, is not appended to): "name (2).ext" and so on instead.
    CZELString folder = historyFolder.IsEmpty() ? CZELPath::GetHistDir() : historyFolder;
    CZELString name = MakeTransferFileName(begin->entry.fileName);
    CZELString path = folder + name;
    auto taken = [this](const CZELString& candidate) {
        if (GetFileAttributesW(candidate.GetBuffer()) != INVALID_FILE_ATTRIBUTES) return true;
        CZELString key = candidate;
        key.ToLower();
        for (const Transfer& transfer : transfers) {
            CZELString other = transfer.path;
            other.ToLower();
            if (other == key) return true;
        }
        return false;
    };
    for (int n = 2; taken(path) && n < 1000; ++n) {
        int dot = -1;
        for (int at = 0; (at = name.Find(at, CZELString(L"."))) >= 0; ++at) dot = at;
        if (dot <= 0) dot = name.GetLength();
        wchar_t suffix[16];
        swprintf(suffix, 16, L" (%d)", n);
        path = folder + name.Substring(0, dot) + suffix + name.Substring(dot, name.GetLength() - dot);
    }
    try {
        transfers.push_back(Transfer{begin->entry, path});
    } catch (const std::bad_alloc&) {
        return;
    }
    PostToAccount(id, PM_FILE_OPENED, NewValue(begin->entry.key), NewValue(1));
}

void CProtocolsManager::OnFileData(CRefObject* p2)
{
    CFileDataPayload* data = dynamic_cast<CFileDataPayload*>(p2);
    if (!data) return;
    for (const Transfer& transfer : transfers) {
        if (transfer.entry.key != data->key) continue;
        CZELFile file(transfer.path, CZELFile::ModeWrite);
        if ((file.Open() || file.Create()) && file.Seek(CZELFile::SeekEnd, 0) && data->buffer && data->length &&
            data->length <= unsigned(0x7FFFFFFF))
            file.Write(data->buffer, int(data->length));
        file.Close();
        break;
    }
    data->FreeBuffer();
}

void CProtocolsManager::OnFileEnd(CRefObject* p2)
{
    CFileEndPayload* end = dynamic_cast<CFileEndPayload*>(p2);
    if (!end) return;
    for (size_t i = 0; i < transfers.size(); ++i) {
        if (transfers[i].entry.key == end->key) {
            transfers.erase(transfers.begin() + i);
            return;
        }
    }
}
