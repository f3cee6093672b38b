// ServiceEventListener: the base of every plug-in account. It owns the account's queue on the bus and
// turns each message that reaches it into a call of one virtual operation: the protocols manager's
// commands (class GUID_PROTOCOLS_MANAGER, codes 49 to 82) and the connection service's notices
// (class GUID_CONNECTION_MANAGER, codes 2 to 9); anything else goes to OnOtherMessage. Every
// operation runs on the queue's thread, one message at a time, and its result goes back to a
// synchronous sender.
//
// The slot order is fixed: HandleMessage first (the bus calls it through QueueReceiver), then the
// destructor, then the operations in the order below.
//
// Connections: an account connects through StartConnect, which records the serial of that Connect;
// notices of any other Connect (an earlier connection that was closed or replaced, whose messages
// still wait in the queue) are dropped before they reach an operation.
//
// Other threads (timers, the account's own threads, windows) never touch the account's state: they
// hand their work to RunOnQueue, which runs it on the queue's thread between two messages.
//
// Shutdown: the derived class's destructor calls StopQueue first, so that no message runs while its
// members are being destroyed; the base destructor stops the queue too, for accounts that never
// started one of their own members.
#pragma once

#include "Zel/core/bus/Payloads.h"
#include "Zel/core/bus/RefObject.h"
#include "ZELCommon/ZELGuid.h"
#include "ZELCommon/ZELString.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

namespace Services {
class CServicesManager;
}
class CConnection;
class CPopupMenu;
class IConnectionManager;
struct ConnectionSettings;

class ServiceEventListener : public QueueReceiver {
public:
    ServiceEventListener(Services::CServicesManager* services, unsigned accountId, unsigned ownerQueue);

    int HandleMessage(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2) override;
    ~ServiceEventListener() override;

    virtual CZELString GetListenerName();
    virtual int Load();
    virtual int PublishIcons();
    virtual int Unload();
    virtual int GetDisplayName(CZELString* out);
    virtual int SetStatus(int status);
    virtual int GetStatus();
    virtual int GetStatusInfo(int status, StatusEntry* out);
    virtual int GetStatusMenu(intptr_t iconIndex, CPopupMenu* menu);
    virtual int GetContactIcons(int contactId, StatusInfo* out);
    virtual int GetSettingsPages(void* pages);
    virtual int FillAccountMenu(CPopupMenu* menu);
    virtual int FillGroupMenu(int groupId, CPopupMenu* menu);
    virtual int FillContactMenu(int contactId, CPopupMenu* menu);
    virtual int FillChatMenu(int contactId, CPopupMenu* menu);
    virtual int FillMainMenu(CPopupMenu* menu);
    virtual int AddGroup(CZELString name);
    virtual int RenameGroup(int groupId, CZELString name);
    virtual int DeleteGroup(int groupId);
    virtual int RenameContact(int contactId, CZELString name);
    virtual int MoveContact(int contactId, int groupId);
    virtual int DeleteContact(int contactId);
    virtual int RequestAuthorization(int contactId);
    // Owns message: the base deletes it.
    virtual int SendInstantMessage(MessageRecord* message);
    virtual int GetOwnDetailsPages(void* pages);
    virtual int GetContactDetailsPages(int contactId, void* pages);
    virtual int ChangeLanguage(CZELString language);
    virtual int GetSearchPages(void* pages);
    virtual int Search(intptr_t request);
    virtual int FillSearchResultMenu(void* resultItem, CPopupMenu* menu);
    virtual int OnContactAdded(int contactId);
    virtual int SetTyping(int contactId, bool typing);
    virtual int AnswerFileOffer(intptr_t transfer, bool accept);
    virtual int OnConnectResult(CConnection* connection, int result);
    virtual int OnDataReceived(CConnection* connection, int length);
    virtual int OnDataSent(CConnection* connection, int error);
    virtual int OnDisconnected(CConnection* connection, int reason);
    virtual int OnStatusText(CConnection* connection, const CZELString& text);
    virtual int OnErrorText(CConnection* connection, const CZELString& text);
    virtual int OnOtherMessage(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2);

    unsigned AccountId() const { return accountId; }
    int OwnQueue() const { return ownQueue; }

    // Stops the queue: a message being handled finishes, pending ones are dropped, and no other
    // runs. Idempotent; from the queue's own thread it only marks the queue to stop.
    void StopQueue();

    // Posts work to the account's own queue, from any thread; it runs on the queue's thread after the
    // messages queued before it. False when it could not be posted; work that a stopping queue drops
    // is destroyed without running.
    bool RunOnQueue(std::function<void()> work);

protected:
    // Posts an ACC_ notification to the owner queue, class protocol, p1 = the account id; p2 is
    // handed over (released when the post fails). False when it could not be posted.
    bool Notify(const ZEL_GUID& protocol, int code, CRefObject* p2 = nullptr);
    // Posts a message to the account's own queue (for timers, threads and windows that must act on
    // the queue's thread).
    bool PostToSelf(const ZEL_GUID& msgClass, int code, CRefObject* p1 = nullptr, CRefObject* p2 = nullptr);

    // Starts connection with settings through service and makes that Connect the connection's
    // current one: 0, or the service's failure (nothing is then recorded, no notice will come).
    int StartConnect(IConnectionManager* service, CConnection* connection, const ConnectionSettings& settings);
    // Drops every later notice about connection (before destroying or abandoning it).
    void ForgetConnection(CConnection* connection);

    Services::CServicesManager* const services;
    const unsigned accountId;
    const unsigned ownerQueue;

private:
    int DispatchManagerCommand(int code, CRefObject* p1, CRefObject* p2);
    int DispatchConnectionNotice(int code, CRefObject* p1, CRefObject* p2);
    bool IsCurrentNotice(CRefObject* p1) const;

    struct CurrentConnect {
        CConnection* connection;
        uint64_t serial;
    };

    // Read by other threads through RunOnQueue while the queue stops.
    std::atomic<int> ownQueue;
    // Touched on the queue's thread only.
    std::vector<CurrentConnect> connects;
};
