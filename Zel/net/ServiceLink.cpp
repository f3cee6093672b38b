#include "Zel/net/ServiceLink.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/Payloads.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/net/ConnectionManagerApi.h"

#include <algorithm>
#include <new>

namespace {

// Nobody holds them: a count that ends at 0 frees them.
void FreeUnheld(CRefObject* p1, CRefObject* p2)
{
    if (p1) p1->AddRef(0);
    if (p2) p2->AddRef(0);
}

}  // namespace

void CServiceLink::Post(int ownerQueue, CConnection* about, uint64_t serial, int code, CRefObject* p2)
{
    CRefObject* p1 = new (std::nothrow) CConnectionRef(about, serial);
    CZELLock hold(lock);
    if (bus) {
        // An asynchronous post only queues: it never waits for a thread that may want this lock.
        bus->SendMessage(ownerQueue, GUID_CONNECTION_MANAGER, code, p1, p2, false);
        return;
    }
    FreeUnheld(p1, p2);
}

void CServiceLink::PostValues(int ownerQueue, CConnection* about, uint64_t serial, int code, const intptr_t* values,
                              int count)
{
    for (int first = 0; first < count; first += MaxBurst) {
        const int burst = std::min<int>(MaxBurst, count - first);
        PostedMessage posts[MaxBurst];
        for (int i = 0; i < burst; ++i)
            posts[i] = {code, new (std::nothrow) CConnectionRef(about, serial), NewValue(values[first + i])};
        CZELLock hold(lock);
        if (bus) {
            bus->PostMessages(ownerQueue, GUID_CONNECTION_MANAGER, posts, burst);
            continue;
        }
        for (int i = 0; i < burst; ++i) FreeUnheld(posts[i].p1, posts[i].p2);
    }
}

void CServiceLink::Cut()
{
    CZELLock hold(lock);
    bus = nullptr;
}
