#include "Zel/core/bus/ServicesManager.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/MessageQueue.h"

#include <new>
#include <vector>

namespace Services {

namespace {

// Adds n references on each payload. With n = 0 this frees a payload nobody holds; the same object
// passed twice must then be freed once only.
void AddRefPayloads(CRefObject* p1, CRefObject* p2, int n)
{
    if (p1) p1->AddRef(n);
    if (p2 && !(n == 0 && p2 == p1)) p2->AddRef(n);
}

// Gives back the references taken for n deliveries that will not happen.
void DropPayloads(CRefObject* p1, CRefObject* p2, int n)
{
    if (n <= 0) return;
    if (p1) p1->AddRef(-n);
    if (p2) p2->AddRef(-n);
}

}  // namespace

CServicesManager::CServicesManager()
    : ownServiceHandle(0),
      ownEventId(0),
      nextServiceHandle(0x10000001),
      nextQueueHandle(0x20000001),
      nextEventId(0x30000001),
      nextSubscriptionId(0x40000001)
{
    ownServiceHandle = RegisterService(ZEL_GUID_NULL, this);
    ownEventId = RegisterEvent(ZEL_GUID_NULL, SMEV_STARTUP);
}

CServicesManager::~CServicesManager()
{
    ClearAll();
}

int CServicesManager::RegisterService(const ZEL_GUID& id, void* service)
{
    try {
        CZELLock hold(servicesLock);
        int handle = nextServiceHandle;
        if (!services.emplace(id, ServiceEntry{handle, id, service}).second) return 0;
        ++nextServiceHandle;
        return handle;
    } catch (...) {
        return 0;
    }
}

int CServicesManager::UnregisterService(int handle)
{
    try {
        CZELLock hold(servicesLock);
        for (auto it = services.begin(); it != services.end(); ++it) {
            if (it->second.handle == handle) {
                services.erase(it);
                return SM_OK;
            }
        }
        return SM_NOT_FOUND;
    } catch (...) {
        return SM_FAILED;
    }
}

bool CServicesManager::HasService(const ZEL_GUID& id)
{
    try {
        CZELLock hold(servicesLock);
        return services.find(id) != services.end();
    } catch (...) {
        return false;
    }
}

void* CServicesManager::GetService(const ZEL_GUID& id)
{
    try {
        CZELLock hold(servicesLock);
        auto it = services.find(id);
        return it == services.end() ? nullptr : it->second.service;
    } catch (...) {
        return nullptr;
    }
}

int CServicesManager::CreateQueue(QueueReceiver* receiver, const CZELString& name)
{
    CMessageQueue* queue = new (std::nothrow) CMessageQueue(name);
    if (!queue) return 0;
    if (queue->IsUsable()) {
        try {
            CZELLock hold(queuesLock);
            int handle = nextQueueHandle;
            if (queues.emplace(handle, QueueEntry{handle, receiver, queue, name}).second) {
                queue->Start();
                ++nextQueueHandle;
                return handle;
            }
        } catch (...) {
        }
    }
    queue->Stop();
    queue->Release();
    return 0;
}

int CServicesManager::DestroyQueue(int handle)
{
    CMessageQueue* queue = nullptr;
    try {
        {
            CZELLock hold(eventsLock);
            for (auto& event : events) {
                auto& subscribers = event.second.subscribers;
                for (auto it = subscribers.begin(); it != subscribers.end(); ++it) {
                    if (it->second == handle) {
                        subscribers.erase(it);
                        break;
                    }
                }
            }
        }
        CZELLock hold(queuesLock);
        auto it = queues.find(handle);
        if (it == queues.end()) return SM_NOT_FOUND;
        queue = it->second.queue;
        queues.erase(it);
    } catch (...) {
        return SM_FAILED;
    }
    // Outside the lock: stopping waits for the running handler, which may well use the bus.
    queue->Stop();
    queue->Release();
    return SM_OK;
}

bool CServicesManager::AcquireQueue(int handle, QueueReceiver*& receiver, CMessageQueue*& queue)
{
    CZELLock hold(queuesLock);
    auto it = queues.find(handle);
    if (it == queues.end()) return false;
    receiver = it->second.receiver;
    queue = it->second.queue;
    queue->AddRef();
    return true;
}

int CServicesManager::SendMessage(int queueHandle, const ZEL_GUID& msgClass, int code, CRefObject* p1,
                                  CRefObject* p2, bool wait)
{
    QueueReceiver* receiver = nullptr;
    CMessageQueue* queue = nullptr;
    if (!AcquireQueue(queueHandle, receiver, queue)) {
        AddRefPayloads(p1, p2, 0);
        return SM_NOT_FOUND;
    }
    AddRefPayloads(p1, p2, 1);
    int result = wait ? queue->SendSync(receiver, msgClass, code, p1, p2)
                      : queue->PostAsync(receiver, msgClass, code, p1, p2);
    queue->Release();
    return result;
}

int CServicesManager::PostMessages(int queueHandle, const ZEL_GUID& msgClass, const PostedMessage* posts, int count)
{
    QueueReceiver* receiver = nullptr;
    CMessageQueue* queue = nullptr;
    if (!AcquireQueue(queueHandle, receiver, queue)) {
        for (int i = 0; i < count; ++i) AddRefPayloads(posts[i].p1, posts[i].p2, 0);
        return SM_NOT_FOUND;
    }
    for (int i = 0; i < count; ++i) AddRefPayloads(posts[i].p1, posts[i].p2, 1);
    int result = queue->PostAsyncBurst(receiver, msgClass, posts, count);
    queue->Release();
    return result;
}

int CServicesManager::RegisterEvent(const ZEL_GUID& eventClass, int code)
{
    try {
        CZELLock hold(eventsLock);
        int id = nextEventId;
        if (!events.emplace(id, EventEntry{id, eventClass, code, {}}).second) return 0;
        ++nextEventId;
        return id;
    } catch (...) {
        return 0;
    }
}

int CServicesManager::UnregisterEvent(int eventId)
{
    try {
        CZELLock hold(eventsLock);
        return events.erase(eventId) ? SM_OK : SM_NOT_FOUND;
    } catch (...) {
        return SM_FAILED;
    }
}

int CServicesManager::FireEvent(int eventId, CRefObject* p1, CRefObject* p2, bool wait)
{
    // The subscribers are copied so that no lock is held while delivering: a handler may subscribe,
    // unsubscribe or fire events itself.
    std::vector<int> targets;
    ZEL_GUID eventClass = ZEL_GUID_NULL;
    int code = 0;
    try {
        CZELLock hold(eventsLock);
        auto it = events.find(eventId);
        if (it == events.end()) return SM_NOT_FOUND;
        eventClass = it->second.eventClass;
        code = it->second.code;
        targets.reserve(it->second.subscribers.size());
        for (const auto& subscriber : it->second.subscribers) targets.push_back(subscriber.second);
    } catch (...) {
        return SM_FAILED;
    }

    int count = int(targets.size());
    AddRefPayloads(p1, p2, count);
    for (int i = 0; i < count; ++i) {
        QueueReceiver* receiver = nullptr;
        CMessageQueue* queue = nullptr;
        if (!AcquireQueue(targets[i], receiver, queue)) {
            DropPayloads(p1, p2, 1);  // the queue is gone: its share is released like any dropped one
            continue;
        }
        int result = wait ? queue->SendSync(receiver, eventClass, code, p1, p2)
                          : (queue->PostAsync(receiver, eventClass, code, p1, p2) ? SM_OK : SM_POST_FAILED);
        queue->Release();
        if (result != SM_OK) {
            DropPayloads(p1, p2, count - 1 - i);
            return result;
        }
    }
    return SM_OK;
}

int CServicesManager::Subscribe(const ZEL_GUID& eventClass, int code, int queue)
{
    try {
        CZELLock hold(eventsLock);
        for (auto& event : events) {
            if (event.second.eventClass == eventClass && event.second.code == code) {
                int id = nextSubscriptionId;
                if (!event.second.subscribers.emplace(id, queue).second) return 0;
                ++nextSubscriptionId;
                return id;
            }
        }
        return 0;
    } catch (...) {
        return 0;
    }
}

int CServicesManager::Unsubscribe(int subscriptionId)
{
    try {
        CZELLock hold(eventsLock);
        bool removed = false;
        for (auto& event : events) removed = event.second.subscribers.erase(subscriptionId) || removed;
        return removed ? SM_OK : SM_NOT_FOUND;
    } catch (...) {
        return SM_FAILED;
    }
}

void CServicesManager::FireStartupEvent()
{
    std::vector<int> targets;
    ZEL_GUID eventClass = ZEL_GUID_NULL;
    int code = 0;
    try {
        CZELLock hold(eventsLock);
        auto it = events.find(ownEventId);
        if (it == events.end()) return;
        eventClass = it->second.eventClass;
        code = it->second.code;
        for (const auto& subscriber : it->second.subscribers) targets.push_back(subscriber.second);
    } catch (...) {
        return;
    }
    for (int handle : targets) {
        QueueReceiver* receiver = nullptr;
        CMessageQueue* queue = nullptr;
        if (!AcquireQueue(handle, receiver, queue)) continue;
        queue->SendSync(receiver, eventClass, code, nullptr, nullptr);
        queue->Release();
    }
}

void CServicesManager::ClearAll()
{
    // One queue at a time, so that nothing here needs memory; each is stopped with no lock held.
    for (;;) {
        CMessageQueue* queue = nullptr;
        {
            CZELLock hold(queuesLock);
            if (queues.empty()) break;
            queue = queues.begin()->second.queue;
            queues.erase(queues.begin());
        }
        queue->Stop();
        queue->Release();
    }
    {
        CZELLock hold(servicesLock);
        services.clear();
    }
    {
        CZELLock hold(eventsLock);
        events.clear();
    }
}

}  // namespace Services
