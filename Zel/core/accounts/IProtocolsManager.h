// IProtocolsManager: the protocols and accounts service as plug-ins and the user interface see it.
// Plug-ins are built separately and call it through the bus's service pointer, so the order of the
// slots below is the interface: nothing may be inserted before or between them.
//
// Account ids are 0 for "none" (and for "all accounts" or the global status where an operation says
// so). Commands to an id that is not in the table send nothing and give false (boolean ones) or -2
// (integer ones); value getters give false with their output untouched, setters do nothing. A
// synchronous send that never reaches the account gives -1 (or false).
//
// No lock of the manager is held while it waits for an account, so an account may call the value
// operations from its own thread while it handles a command. An account must not wait
// synchronously on the manager's queue while it handles a command (PM_GET_STATUS above all): the
// manager may be the one waiting for it.
#pragma once

#include "Zel/core/bus/Payloads.h"
#include "Zel/core/accounts/ProtocolInfo.h"
#include "ZELCommon/ZELGuid.h"
#include "ZELCommon/ZELString.h"
#include "ZELCommon/ZELTime.h"

#include <cstdint>

class CPopupMenu;

class IProtocolsManager {
public:
    // Plug-ins and protocols.

    // Rebuilds the protocol table from the plug-ins; the number of protocols added.
    virtual int ScanProtocolPlugins() = 0;
    virtual int GetProtocolCount() = 0;
    // The record of protocol, or null. The pointer stays valid until the table is rebuilt.
    virtual ProtocolRecord* FindProtocol(const ZEL_GUID& protocol) = 0;
    // The index-th protocol in table order; past either end a description with the null GUID,
    // image index -1 and empty texts.
    virtual ProtocolDescription GetProtocol(int index) = 0;

    // Accounts.

    // The new account's id, 0 when the protocol is unknown or its plug-in refuses.
    virtual unsigned CreateAccount(const ZEL_GUID& protocol) = 0;
    // Queues the removal, which runs later on the manager's queue; always 0.
    virtual int RemoveAccount(unsigned id) = 0;
    virtual int GetAccountCount() = 0;
    // 0 moved; -1 for an unknown id or newIndex at or past the count.
    virtual int MoveAccount(unsigned id, unsigned newIndex) = 0;
    // 0 past the end.
    virtual unsigned GetAccountId(unsigned index) = 0;
    // out = the account's name as its plug-in reports it, after the braced protocol GUID when
    // withProtocolGuid is set (the account's stable key in other services' stored data); empty for
    // an unknown id.
    virtual CZELString& GetAccountName(CZELString& out, unsigned id, bool withProtocolGuid) = 0;
    virtual ProtocolDescription GetAccountProtocol(unsigned id) = 0;

    // Per-account values by key (names compared without regard to case). The typed getters accept a
    // value only of their exact stored length (4, 2, 1 bytes).
    virtual bool GetAccountValueSize(unsigned id, const CZELString& key, int* size) = 0;
    // *length: in, the buffer's capacity; out, the stored length. False, nothing copied and
    // *length untouched, when the value is absent or does not fit.
    virtual bool GetAccountBlob(unsigned id, const CZELString& key, void* buffer, unsigned* length) = 0;
    // UTF-8; unscrambled first when the low byte of scrambled is not 0.
    virtual bool GetAccountString(unsigned id, const CZELString& key, CZELString& out, unsigned scrambled) = 0;
    virtual bool GetAccountInt(unsigned id, const CZELString& key, int* out) = 0;
    virtual bool GetAccountShort(unsigned id, const CZELString& key, short* out) = 0;
    virtual bool GetAccountByte(unsigned id, const CZELString& key, char* out) = 0;
    // 1 when the stored byte is not 0.
    virtual bool GetAccountBool(unsigned id, const CZELString& key, bool* out) = 0;
    // The setters replace the value or append it. Null data or a negative length store nothing.
    virtual void SetAccountBlob(unsigned id, const CZELString& key, const void* data, const int* length) = 0;
    virtual void SetAccountString(unsigned id, const CZELString& key, const CZELString& value, unsigned scrambled) = 0;
    virtual void SetAccountInt(unsigned id, const CZELString& key, const int* value) = 0;
    virtual void SetAccountShort(unsigned id, const CZELString& key, const short* value) = 0;
    virtual void SetAccountByte(unsigned id, const CZELString& key, const char* value) = 0;
    // The same one-byte store as SetAccountByte.
    virtual void SetAccountBool(unsigned id, const CZELString& key, const char* value) = 0;

    // Commands to one account (or to all). "Handled" below means the account's handler returned 0.

    virtual bool Reserved57(unsigned id, int value) = 0;
    virtual bool GetContactIcons(unsigned id, int contactId, StatusInfo* out) = 0;
    // The account adds, inserts or removes items of the menu during the call.
    virtual bool FillAccountMenu(unsigned id, CPopupMenu* menu) = 0;
    virtual bool FillGroupMenu(unsigned id, int groupId, CPopupMenu* menu) = 0;
    virtual bool FillContactMenu(unsigned id, int contactId, CPopupMenu* menu) = 0;
    virtual bool FillChatMenu(unsigned id, int contactId, CPopupMenu* menu) = 0;
    // Every account in table order; true when any handled it.
    virtual bool FillMainMenu(CPopupMenu* menu) = 0;
    // The posted commands give true when the post was queued.
    virtual bool AddGroup(unsigned id, const CZELString& name) = 0;
    virtual bool RenameGroup(unsigned id, int groupId, const CZELString& name) = 0;
    virtual bool DeleteGroup(unsigned id, int groupId) = 0;
    virtual bool RenameContact(unsigned id, int contactId, const CZELString& name) = 0;
    virtual bool MoveContact(unsigned id, int contactId, int groupId) = 0;
    virtual bool DeleteContact(unsigned id, int contactId) = 0;
    virtual bool ContactAdded(unsigned id, int contactId) = 0;
    // True when the account exists.
    virtual bool RequestAuthorization(unsigned id, int contactId) = 0;
    // True when the account exists; the account gets its own copy of the message, and unless
    // silent PMEV_MESSAGE_SENT carries another.
    virtual bool SendInstantMessage(unsigned id, const MessageRecord& message, bool silent) = 0;
    // stopped: false while the user types, true when typing has stopped. True when the account
    // exists.
    virtual bool SetTyping(unsigned id, int contactId, bool stopped) = 0;
    // The page operations give the handler's result; 0 for the id 0.
    virtual int GetOwnDetailsPages(unsigned id, void* pages) = 0;
    virtual int GetContactDetailsPages(unsigned id, int contactId, void* pages) = 0;
    virtual int StartSearch(unsigned id, intptr_t request) = 0;
    virtual int GetSearchPages(unsigned id, void* pages) = 0;
    virtual bool FillSearchResultMenu(unsigned id, void* resultItem, CPopupMenu* menu) = 0;

    // Status.

    // id 0: every connected account, or every account when none is connected; the post result of
    // the last one, 0 when none. Otherwise the post result.
    virtual int SetStatus(unsigned id, int status) = 0;
    // 0 and *out = the status (the global status for id 0).
    virtual int GetStatus(unsigned id, int* out) = 0;
    // id 0: the global status table's row of status, when there is one (result 0 either way).
    virtual int GetStatusInfo(unsigned id, int status, StatusEntry* out) = 0;
    // *out = the unix time of "Logon date": 0 found, 1 (and time 0) when never connected.
    virtual int GetLogonDate(unsigned id, CZELTime* out) = 0;
    // id 0: the global status menu (icon index 0 only). Otherwise the account fills it.
    virtual int GetStatusMenu(unsigned id, int iconIndex, CPopupMenu* out) = 0;
    virtual int GetSettingsPages(unsigned id, void* pages) = 0;

protected:
    // Nobody deletes the manager through the interface; keeping the destructor out of it keeps the
    // operations in the first slots.
    ~IProtocolsManager() {}
};
