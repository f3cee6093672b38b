// CProtocolsManager: the protocols and accounts service. It finds the protocol plug-ins, one per
// sub-folder N of the protocols folder as N\N.dll, asks each which protocols it serves, and keeps one
// record per protocol, ordered as every list of protocols the user sees. Plug-in libraries stay
// loaded only while the scan asks them and while an account of theirs exists.
//
// It keeps the accounts in the user's order with their named values, creates and destroys the
// plug-in object behind each, turns the application's requests into PM_ commands on the account's
// queue and the accounts' ACC_ notifications into its PMEV events, and keeps the global status.
// The accounts and their values are read from "Accounts data" in the settings store when the bus
// announces start-up and written back when the manager is destroyed.
//
// Plug-ins reach the manager through the bus and call it through IProtocolsManager, so that
// interface's slot order is fixed and it must stay the first base.
//
// Threads and locks: the account operations run on the caller's thread; removals, notifications and
// the loading of the stored accounts run on the queue "Protocols manager". The accounts lock guards
// the account table and every value list; it is re-entrant (a plug-in's CreateAccountFunc runs
// inside it and may use its values) and never held while an account or its queue is waited for,
// nor while a plug-in library is loaded or unloaded for an account. Where both are held, the
// accounts lock is taken before the protocols lock.
#pragma once

#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/accounts/AccountsData.h"
#include "Zel/core/accounts/GlobalStatus.h"
#include "Zel/core/accounts/IProtocolsManager.h"
#include "Zel/core/accounts/ManagerPayloads.h"
#include "Zel/core/accounts/PluginExports.h"
#include "Zel/core/accounts/ProtocolInfo.h"
#include "Zel/core/bus/RefObject.h"
#include "ZELCommon/ZELCriticalSection.h"
#include "ZELCommon/ZELDll.h"
#include "ZELCommon/ZELGuid.h"
#include "ZELCommon/ZELString.h"

#include <atomic>
#include <map>
#include <vector>

namespace Services {
class CServicesManager;
}
class CSkinImages;
class ValueRecord;
class ValueRecordList;

namespace Protocols {

// The order of the protocol table: the XMPP own-server kind first, then the Wex protocol, then the
// rest by ZEL_GUID's byte-wise order. Only meaningful for two different GUIDs.
bool CompareProtocolOrder(const ZEL_GUID& a, const ZEL_GUID& b);

// Asks record's plug-in, loaded in library, for an account of record's protocol. The account's
// queue handle; 0 when the library has no CreateAccountFunc or the plug-in refuses. The library
// stays loaded either way.
unsigned CreatePluginAccount(const ProtocolRecord& record, Services::CServicesManager* bus, unsigned accountId,
                             unsigned ownerQueue, CZELDll& library);

// Loads record's plug-in into library (empty, the account's own) and asks it for an account, as
// CreatePluginAccount. 0 when the library does not load or no account was made, and then the
// library is unloaded again.
unsigned BindAccountPlugin(const ProtocolRecord& record, Services::CServicesManager* bus, unsigned accountId,
                           unsigned ownerQueue, CZELDll& library);

// Destroys the account through its plug-in's DestroyAccountFunc, when the library has one. This
// waits for the account's queue to finish what it is handling, which may call the manager: the
// caller holds none of the manager's locks.
void DestroyPluginAccount(CZELDll& library, unsigned handle);

// DestroyPluginAccount, then unloads the account's library (no lock held either).
void ReleaseAccountPlugin(CZELDll& library, unsigned handle);

}  // namespace Protocols

class CProtocolsManager : public IProtocolsManager, public QueueReceiver {
public:
    // Registers the service, creates the queue "Protocols manager", registers the 19 events and
    // subscribes the queue to the bus's start-up event; the scan stays pending until first needed.
    // protosFolder and historyFolder (each ending with "\") replace the program's "Protos\" and
    // "History\" folders when given.
    CProtocolsManager(Services::CServicesManager& bus, CSkinImages& skinImages,
                      const CZELString& protosFolder = CZELString(), const CZELString& historyFolder = CZELString());
    // Lets the queued work finish, unloads every account, stores "Accounts data", gives back the
    // protocol icons and unregisters the service.
    ~CProtocolsManager() override;

    CProtocolsManager(const CProtocolsManager&) = delete;
    CProtocolsManager& operator=(const CProtocolsManager&) = delete;

    int ScanProtocolPlugins() override;
    int GetProtocolCount() override;
    ProtocolRecord* FindProtocol(const ZEL_GUID& protocol) override;
    ProtocolDescription GetProtocol(int index) override;

    unsigned CreateAccount(const ZEL_GUID& protocol) override;
    int RemoveAccount(unsigned id) override;
    int GetAccountCount() override;
    int MoveAccount(unsigned id, unsigned newIndex) override;
    unsigned GetAccountId(unsigned index) override;
    CZELString& GetAccountName(CZELString& out, unsigned id, bool withProtocolGuid) override;
    ProtocolDescription GetAccountProtocol(unsigned id) override;
    bool GetAccountValueSize(unsigned id, const CZELString& key, int* size) override;
    bool GetAccountBlob(unsigned id, const CZELString& key, void* buffer, unsigned* length) override;
    bool GetAccountString(unsigned id, const CZELString& key, CZELString& out, unsigned scrambled) override;
    bool GetAccountInt(unsigned id, const CZELString& key, int* out) override;
    bool GetAccountShort(unsigned id, const CZELString& key, short* out) override;
    bool GetAccountByte(unsigned id, const CZELString& key, char* out) override;
    bool GetAccountBool(unsigned id, const CZELString& key, bool* out) override;
    void SetAccountBlob(unsigned id, const CZELString& key, const void* data, const int* length) override;
    void SetAccountString(unsigned id, const CZELString& key, const CZELString& value, unsigned scrambled) override;
    void SetAccountInt(unsigned id, const CZELString& key, const int* value) override;
    void SetAccountShort(unsigned id, const CZELString& key, const short* value) override;
    void SetAccountByte(unsigned id, const CZELString& key, const char* value) override;
    void SetAccountBool(unsigned id, const CZELString& key, const char* value) override;

    bool Reserved57(unsigned id, int value) override;
    bool GetContactIcons(unsigned id, int contactId, StatusInfo* out) override;
    bool FillAccountMenu(unsigned id, CPopupMenu* menu) override;
    bool FillGroupMenu(unsigned id, int groupId, CPopupMenu* menu) override;
    bool FillContactMenu(unsigned id, int contactId, CPopupMenu* menu) override;
    bool FillChatMenu(unsigned id, int contactId, CPopupMenu* menu) override;
    bool FillMainMenu(CPopupMenu* menu) override;
    bool AddGroup(unsigned id, const CZELString& name) override;
    bool RenameGroup(unsigned id, int groupId, const CZELString& name) override;
    bool DeleteGroup(unsigned id, int groupId) override;
    bool RenameContact(unsigned id, int contactId, const CZELString& name) override;
    bool MoveContact(unsigned id, int contactId, int groupId) override;
    bool DeleteContact(unsigned id, int contactId) override;
    bool ContactAdded(unsigned id, int contactId) override;
    bool RequestAuthorization(unsigned id, int contactId) override;
    bool SendInstantMessage(unsigned id, const MessageRecord& message, bool silent) override;
    bool SetTyping(unsigned id, int contactId, bool stopped) override;
    int GetOwnDetailsPages(unsigned id, void* pages) override;
    int GetContactDetailsPages(unsigned id, int contactId, void* pages) override;
    int StartSearch(unsigned id, intptr_t request) override;
    int GetSearchPages(unsigned id, void* pages) override;
    bool FillSearchResultMenu(unsigned id, void* resultItem, CPopupMenu* menu) override;
    int SetStatus(unsigned id, int status) override;
    int GetStatus(unsigned id, int* out) override;
    int GetStatusInfo(unsigned id, int status, StatusEntry* out) override;
    int GetLogonDate(unsigned id, CZELTime* out) override;
    int GetStatusMenu(unsigned id, int iconIndex, CPopupMenu* out) override;
    int GetSettingsPages(unsigned id, void* pages) override;

    // Runs on the queue "Protocols manager": start-up, the language change, the accounts'
    // notifications and the manager's own deferred messages.
    int HandleMessage(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2) override;

    // The plug-in side of creating an account: binds the plug-in of protocol into library (the
    // account's own) with this manager's bus and queue. The account's handle, 0 when protocol is not
    // in the table or the plug-in refuses.
    unsigned BindAccount(const ZEL_GUID& protocol, unsigned accountId, CZELDll& library);

    // The protocols of the stored accounts that are not accounts in this run (plug-in missing or
    // refusing, values unreadable), one per such account: what they own elsewhere waits for a later
    // run. False when that cannot be told (the stored accounts not read yet, or partly unreadable).
    bool GetAccountsNotCreated(std::vector<ZEL_GUID>& protocols);

    // The queue accounts post their notifications to.
    int GetQueueHandle() const { return queueHandle; }
    // The bus id of event PMEV_* code, 0 when it could not be registered.
    int GetEventId(int code) const { return code >= 1 && code <= PMEV_COUNT ? eventIds[code] : 0; }

    // The first account id handed out in a run; each successful creation takes the next.
    static const unsigned FirstAccountId = 0x10000001;

private:
    // Equal GUIDs are one key; the protocol order only decides between different ones.
    struct ProtocolKeyLess {
        bool operator()(const ZEL_GUID& a, const ZEL_GUID& b) const
        {
            return a != b && Protocols::CompareProtocolOrder(a, b);
        }
    };
    typedef std::map<ZEL_GUID, ProtocolRecord, ProtocolKeyLess> ProtocolTable;

    // A protocol the running scan added, with the icon to acquire for it once the lock is left.
    struct ProtocolIcon {
        ZEL_GUID guid;
        CZELString iconFile;
    };

    struct AccountRecord {
        unsigned id;
        ZEL_GUID protocol;
        unsigned handle;          // the account's own bus queue
        CZELDll library;          // the account's own load of its plug-in
        ValueRecordList* values;  // owned
    };
    typedef std::vector<AccountRecord> AccountTable;

    // Protocol table (ProtocolsManager.cpp).

    // Scans when no scan has run yet. The check and the scan are one step under the protocols lock,
    // so a second caller waits for the table instead of reading it half built.
    void ScanIfPending();
    // Asks the plug-in in protosDir + name for its protocols and adds the new ones to the table
    // (lock held), counting them in added. False when the plug-in failed while filling the array,
    // which ends the scan.
    bool ScanPlugin(const CZELString& protosDir, const CZELString& name, std::vector<ProtocolIcon>& icons, int& added);
    // A copy of protocol's record; false when it is not in the table.
    bool CopyProtocol(const ZEL_GUID& protocol, ProtocolRecord& out);

    // Accounts (ProtocolsManagerAccounts.cpp).

    // Takes ownership of values. The new id, or 0 (values released).
    unsigned CreateAccountWithValues(const ZEL_GUID& protocol, ValueRecordList* values);
    // Message 163.
    void RemoveAccountNow(unsigned id);
    // Runs on start-up: creates the stored accounts, keeps what it cannot use for the next save.
    void LoadAccounts();
    // Reads "Accounts data"; false when there is no settings store.
    bool ReadStoredAccounts(AccountsData::Parsed& stored);
    // Unloads every account (the destructor), then stores them.
    void UnloadAccounts();
    void SaveAccounts(const std::vector<AccountsData::LiveAccount>& live);
    // The record of id, or null (accounts lock held).
    AccountRecord* FindAccount(unsigned id);
    // The value key of account id, or null (accounts lock held).
    ValueRecord* FindValue(unsigned id, const CZELString& key);
    // Replaces or appends the value key of account id; write fills the record (accounts lock
    // taken here).
    template <typename Write> void SetValue(unsigned id, const CZELString& key, Write write);

    // Commands (ProtocolsManagerCommands.cpp).

    // The queue of account id, 0 when unknown.
    unsigned AccountHandle(unsigned id);
    // Sends code to account id and waits: the handler's result; SM_NOT_FOUND for an unknown id.
    int SendToAccount(unsigned id, int code, CRefObject* p1, CRefObject* p2);
    // Posts code to account id: the bus's result; SM_NOT_FOUND for an unknown id.
    int PostToAccount(unsigned id, int code, CRefObject* p1, CRefObject* p2);
    // A page operation's result: the handler's, 0 for id 0, -2 unknown, -1 not delivered.
    int SendPageRequest(unsigned id, int code, CRefObject* p1, CRefObject* p2);
    // The statuses of every account in table order, each asked synchronously (-1 when one could
    // not be asked).
    std::vector<int> AskAccountStatuses();
    static void GlobalStatusMenuCallback(intptr_t context, intptr_t argument);

    // Notifications and events (ProtocolsManagerEvents.cpp).

    void OnStartup();
    void OnLanguageChanged(CRefObject* language);
    void OnAccountNotification(const ZEL_GUID& protocol, int code, CRefObject* p1, CRefObject* p2);
    void OnSelfStatus(CRefObject* p1, CRefObject* p2);
    void OnFileBegin(unsigned id, CRefObject* p2);
    void OnFileData(CRefObject* p2);
    void OnFileEnd(CRefObject* p2);
    // Fires the fill event for a fresh status table; with wait, the table is current on return.
    void FillStatusTable(bool wait);
    // Fires PMEV_STATUS_CHANGED for the global status.
    void AnnounceGlobalStatus();
    // Fires event PMEV_* code; payloads the bus did not take are released.
    int Fire(int code, CRefObject* p1, CRefObject* p2, bool wait);

    Services::CServicesManager& bus;
    CSkinImages& skinImages;
    CZELString protosFolder;   // empty: the program's own
    CZELString historyFolder;  // empty: the program's own
    int serviceHandle;
    int queueHandle;
    int eventIds[PMEV_COUNT + 1];  // by PMEV code; [0] unused

    CZELCriticalSection protocolsLock;  // guards the protocol table and the scan state
    ProtocolTable protocols;
    unsigned tableGeneration;  // advances on every rebuild, so a scan never marks a newer table
    bool scanPending;

    CZELCriticalSection accountsLock;  // guards everything below up to the status
    AccountTable accounts;
    unsigned nextAccountId;
    // What "Accounts data" held that is not an account in this run, kept for the next save.
    bool storedRead;
    std::vector<AccountsData::CarriedRecord> carried;
    std::vector<unsigned char> carriedTail;

    std::atomic<int> globalStatus;
    GlobalStatus::CTableStore statusTables;

    // Used on the manager's queue thread only.
    // Received files being written: the account's entry and the file chosen for it when it began.
    struct Transfer {
        HistoryFileEntry entry;
        CZELString path;
    };
    std::vector<Transfer> transfers;
};
