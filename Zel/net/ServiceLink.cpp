#include "Zel/net/ServiceLink.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/Payloads.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/net/ConnectionManagerApi.h"

#include <new>
#include <vector>

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

void CServiceLink::PostValues(int ownerQueue, CConnection* about, uint64_t serial, int code, const intptr_t* values,
                              int count)
{
    std::vector<PostedMessage> posts;
    try {
        posts.reserve(size_t(count));
    } catch (...) {
        for (int i = 0; i < count; ++i) Post(ownerQueue, about, serial, code, NewValue(values[i]));
        return;
    }
    for (int i = 0; i < count; ++i)
        posts.push_back({code, new (std::nothrow) CConnectionRef(about, serial), NewValue(values[i])});
    CZELLock hold(lock);
    if (bus) {
        bus->PostMessages(ownerQueue, GUID_CONNECTION_MANAGER, posts.data(), count);
        return;
    }
    for (PostedMessage& post : posts) {
        if (post.p1) post.p1->AddRef(0);
        if (post.p2) post.p2->AddRef(0);
    }
}

void CServiceLink::Cut()
{
    CZELLock hold(lock);
    bus = nullptr;
}
