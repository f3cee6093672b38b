// One bus queue: a worker thread that hands messages, one at a time and first in first out, to the
// receiver named in each message.
//
// Payload references: PostAsync and SendSync take over one reference on each non-null payload and
// release it exactly once on every path (delivered, dropped while stopping, not stored).
//
// Lifetime: the queue is counted. Its creator holds one reference and the worker thread another, so
// a handler may stop and release its own queue: the object then goes away when the worker leaves
// its loop, not under the running handler. Whoever calls PostAsync or SendSync holds a reference
// for the length of the call.
#pragma once

#include "Zel/core/bus/RefObject.h"
#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELCriticalSection.h"
#include "ZELCommon/ZELEvent.h"
#include "ZELCommon/ZELGuid.h"
#include "ZELCommon/ZELString.h"
#include "ZELCommon/ZELThread.h"

enum { QUEUE_MODE_SYNC = 0x80, QUEUE_MODE_ASYNC = 0xFF };

struct QueueMessage {
    QueueReceiver* receiver;
    ZEL_GUID msgClass;
    int code;
    unsigned char mode;   // QUEUE_MODE_SYNC or QUEUE_MODE_ASYNC
    CRefObject* p1;
    CRefObject* p2;
    CZELEvent* doneEvent; // the waiting sender's wake-up; null for a post
    int result;           // the handler's result, read by the waiting sender
};

class CMessageQueue {
public:
    // The thread exists but does not run until Start. The creator holds the one reference.
    explicit CMessageQueue(const CZELString& name);

    CMessageQueue(const CMessageQueue&) = delete;
    CMessageQueue& operator=(const CMessageQueue&) = delete;

    // False when the queue's wake-up event could not be made; such a queue is only released.
    bool IsUsable();

    void Start();

    // 1 when the message was queued, or dropped because the queue is stopping; 0 when it could not
    // be stored.
    int PostAsync(QueueReceiver* receiver, const ZEL_GUID& msgClass, int code, CRefObject* p1,
                  CRefObject* p2);

    // Posts count messages of one class, in order, waking the worker at most once: a burst costs
    // one wake-up instead of one per message. 1 when all were queued (or dropped by a stopping
    // queue); 0 when one could not be stored, which drops it and those after it.
    int PostAsyncBurst(QueueReceiver* receiver, const ZEL_GUID& msgClass, const PostedMessage* posts, int count);

    // The handler's result; Services::SM_NOT_DELIVERED when the message never reached the handler
    // (the queue is or becomes stopping, or no wake-up event or record could be had). On the queue's
    // own thread the handler runs at once, nested in the running one. Waits without a time limit.
    int SendSync(QueueReceiver* receiver, const ZEL_GUID& msgClass, int code, CRefObject* p1,
                 CRefObject* p2);

    // Refuses further messages, drops every pending one (releasing its payloads and waking its
    // sender with SM_NOT_DELIVERED), lets the handler that runs now finish, and waits for the
    // worker to end. Called on the queue's own thread it cannot wait: the worker ends once the
    // current handler returns. Never kills the thread, which could hold any lock at that moment.
    void Stop();

    void AddRef();
    void Release();

    const CZELString& GetName() const { return name; }

    static unsigned long QueueThreadProc(void* queue);

private:
    ~CMessageQueue();

    // Under lock: append (false when the array cannot grow; wake tells whether the worker must be
    // woken) and take the oldest message.
    bool Append(QueueMessage* message, bool& wake);
    QueueMessage* TakeFirst();
    void DropPending();
    void TruncatePending(int count);

    CZELEvent* TakeSpareEvent();
    void KeepSpareEvent(CZELEvent* event);

    void Run();
    void Deliver(QueueMessage* message);
    static void ReleasePayloads(CRefObject* p1, CRefObject* p2);

    // pending[head .. count) wait for delivery; slots before head are spent and reclaimed in bulk,
    // so taking a message never shifts the whole array.
    CZELArray<QueueMessage*> pending;
    int head;
    CZELCriticalSection lock;  // guards pending, head, stopping, started, workerWaiting, spareEvents
    CZELThread thread;
    CZELEvent wakeEvent;       // auto-reset; set once for a worker that waits, and on Stop
    bool stopping;
    bool started;
    // The worker found nothing and waits, or is about to; the first message after that wakes it.
    // A worker that is busy rereads pending before it waits, so nobody signals it: every signal
    // costs a system call on each side.
    bool workerWaiting;
    CZELString name;
    // Wake-up events of finished synchronous sends, reused: making one per send costs a system call
    // each way. A sender consumes its event's one signal, so a kept event is always reset.
    CZELArray<CZELEvent*> spareEvents;
    long references;
};
