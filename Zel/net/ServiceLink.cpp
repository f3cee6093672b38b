#include "Zel/net/ServiceLink.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/net/ConnectionManagerApi.h"

#include <new>

void CServiceLink::Post(int ownerQueue, CConnection* about, uint64_t serial, int code, CRefObject* p2)
{
    CRefObject* p1 = new (std::nothrow) CConnectionRef(about, serial);
    CZELLock hold(lock);
    if (bus) {
        // An asynchronous post only queues: it never waits for a thread that may want this lock.
        bus->SendMessage(ownerQueue, GUID_CONNECTION_MANAGER, code, p1, p2, false);
        return;
    }
    // Nobody holds them: a count that ends at 0 frees them.
    if (p1) p1->AddRef(0);
    if (p2) p2->AddRef(0);
}

void CServiceLink::Cut()
{
    CZELLock hold(lock);
    bus = nullptr;
}
