// The two interfaces every bus message touches: the reference-counted payload base and the receiver
// of a queue. Header-only, because plug-ins build, hand over and release payloads without importing
// anything from the program; the counter operations come from ZELCommon, which every module links.
#pragma once

#include "ZELCommon/ZELCriticalSection.h"
#include "ZELCommon/ZELGuid.h"

// Base of every payload. The count is the number of deliveries still holding the object; it starts
// at 0, the bus adds one per queued copy and drops it after delivery, and the object deletes itself
// through its virtual destructor when the count ends at 0. Counts change on several threads at once,
// so only interlocked operations touch them.
class CRefObject {
public:
    CRefObject() : refCount(0) {}
    // A copy is a new object: nobody holds it yet.
    CRefObject(const CRefObject&) : refCount(0) {}
    CRefObject& operator=(const CRefObject&) { return *this; }
    virtual ~CRefObject() {}

    // Adds n (which may be 0 or negative). A count that ends at 0 frees the object, so AddRef(0) on
    // an object nobody holds frees it.
    void AddRef(int n)
    {
        if (CZELCriticalSection::InterlockedExchangeAdd(&refCount, n) + n == 0) delete this;
    }

    void Release()
    {
        if (CZELCriticalSection::InterlockedDecrement(&refCount) == 0) delete this;
    }

private:
    long refCount;
};

// The owner of a queue. HandleMessage must stay the first virtual operation: plug-in accounts
// implement it and the bus calls it through that slot. The payloads stay valid for the call only; a
// receiver that keeps one adds its own reference.
class QueueReceiver {
public:
    virtual int HandleMessage(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2) = 0;
    virtual ~QueueReceiver() {}
};

// One message of a burst posted to a queue at once: its code and payloads.
struct PostedMessage {
    int code;
    CRefObject* p1;
    CRefObject* p2;
};
