// The registry and message bus of the whole process. Plug-ins get its address and use it only through
// its twelve virtual operations, so their slot order is the interface: nothing may be inserted
// before or between them.
//
// Payload references: every operation that takes payloads releases them as the message is
// delivered or dropped; a payload nobody else holds is freed once no delivery needs it. The one
// exception is FireEvent of an unknown event, which leaves them alone.
//
// Locks: no bus lock is held while a handler runs, a synchronous send waits or a queue is stopped.
// A cycle of synchronous sends between queues deadlocks (sends wait without a time limit); callers
// never wait synchronously on a queue that may be waiting on them.
#pragma once

// windows.h maps SendMessage to SendMessageW; including it here gives every user of this header the
// same name for the slot.
#include <windows.h>

#include "Zel/core/bus/RefObject.h"
#include "ZELCommon/ZELCriticalSection.h"
#include "ZELCommon/ZELGuid.h"
#include "ZELCommon/ZELString.h"

#include <map>

class CMessageQueue;

namespace Services {

// The bus's own start-up event: class ZEL_GUID_NULL, this code.
enum { SMEV_STARTUP = 1 };

const int SM_OK = 0;
const int SM_FAILED = -1;       // an exception was raised while changing a map
const int SM_NOT_FOUND = -2;    // no service, queue, event or subscription has that handle or id
const int SM_POST_FAILED = -3;  // FireEvent: an asynchronous post could not be stored
// A synchronous send that never reached the handler: the queue was or became stopping, or no
// wake-up event or record could be had. Distinct from 0, which handlers return as a real result.
const int SM_NOT_DELIVERED = int(0xCCCCCCCC);

// Not final: plug-ins must reach every operation through the virtual slots, never by a direct call.
class CServicesManager {
public:
    // Registers itself under ZEL_GUID_NULL (service handle 0x10000001) and its start-up event
    // (event 0x30000001).
    CServicesManager();
    ~CServicesManager();

    CServicesManager(const CServicesManager&) = delete;
    CServicesManager& operator=(const CServicesManager&) = delete;

    // The new handle; 0 when it cannot be stored, also when id is taken (the first stays).
    virtual int RegisterService(const ZEL_GUID& id, void* service);
    virtual int UnregisterService(int handle);
    virtual bool HasService(const ZEL_GUID& id);
    virtual void* GetService(const ZEL_GUID& id);
    // The new queue handle, or 0. The queue's thread delivers to receiver.
    virtual int CreateQueue(QueueReceiver* receiver, const CZELString& name);
    // Drops the queue's subscriptions, then stops it (waiting for a running handler, unless called
    // from that handler) and frees it.
    virtual int DestroyQueue(int handle);
    // Asynchronous: 1 posted (also when dropped by a stopping queue), 0 not stored. Synchronous: the
    // handler's result or SM_NOT_DELIVERED. SM_NOT_FOUND for an unknown queue.
    virtual int SendMessage(int queue, const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2,
                            bool wait);
    virtual int RegisterEvent(const ZEL_GUID& eventClass, int code);
    virtual int UnregisterEvent(int eventId);
    // Delivers to every subscribed queue in subscription order. 0 when all went; with wait, the first
    // non-zero handler result, which ends the walk; SM_POST_FAILED when a post could not be stored.
    virtual int FireEvent(int eventId, CRefObject* p1, CRefObject* p2, bool wait);
    // Attaches queue to the first registered event (eventClass, code); 0 when there is none.
    virtual int Subscribe(const ZEL_GUID& eventClass, int code, int queue);
    virtual int Unsubscribe(int subscriptionId);

    // Posts a burst of messages of one class to queue, in order, with one wake-up of its thread
    // (not a slot: the connection service's workers use it for the notices of one receive). As
    // SendMessage without waiting, for all of them.
    int PostMessages(int queue, const ZEL_GUID& msgClass, const PostedMessage* posts, int count);

    // Sends SMEV_STARTUP synchronously to every subscriber in subscription order; results ignored.
    void FireStartupEvent();
    // Stops and frees every queue in handle order, then empties the services, queues and events.
    void ClearAll();

private:
    struct ServiceEntry {
        int handle;
        ZEL_GUID id;
        void* service;
    };
    struct QueueEntry {
        int handle;
        QueueReceiver* receiver;
        CMessageQueue* queue;
        CZELString name;
    };
    struct EventEntry {
        int id;
        ZEL_GUID eventClass;
        int code;
        std::map<int, int> subscribers;  // subscription id -> queue handle
    };

    // Finds a queue and takes a reference on it, so it outlives a concurrent DestroyQueue while
    // the caller uses it with no lock held.
    bool AcquireQueue(int handle, QueueReceiver*& receiver, CMessageQueue*& queue);

    CZELCriticalSection servicesLock;
    std::map<ZEL_GUID, ServiceEntry> services;
    CZELCriticalSection queuesLock;
    std::map<int, QueueEntry> queues;
    CZELCriticalSection eventsLock;
    std::map<int, EventEntry> events;
    int ownServiceHandle;
    int ownEventId;

    // Never reused during a run; each advances only after a successful insertion, under the lock of
    // the map that received the entry.
    int nextServiceHandle;
    int nextQueueHandle;
    int nextEventId;
    int nextSubscriptionId;
};

}  // namespace Services

// The process's one bus, built by the runtime's start-up before WinMain and destroyed after it
// returns.
Services::CServicesManager& TheBus();

// Delivers the start-up event of the process's bus.
void BroadcastStartup();
