#include "Zel/core/bus/MessageQueue.h"

#include "Zel/core/bus/ServicesManager.h"

#include <new>

namespace {

// Spent slots are reclaimed once the reader has passed this many and at least half the array, so
// reclaiming costs at most as much as the takes that led to it.
const int CompactAfter = 64;

}  // namespace

CMessageQueue::CMessageQueue(const CZELString& name)
    : head(0),
      thread(name, QueueThreadProc, this),
      stopping(false),
      started(false),
      workerWaiting(false),
      name(name),
      references(2)  // the creator's and the worker's
{
}

CMessageQueue::~CMessageQueue()
{
    // Nothing is pending any more; this only waits out the last instants of the worker's exit.
    Stop();
    for (int i = 0; i < spareEvents.GetCount(); ++i) delete spareEvents[i];
}

bool CMessageQueue::IsUsable()
{
    // Only before Start: the worker would take the signal otherwise.
    wakeEvent.Set();
    return wakeEvent.Wait(0);
}

void CMessageQueue::Start()
{
    lock.Enter();
    bool resume = !started && !stopping;
    if (resume) started = true;
    lock.Leave();
    if (resume) thread.Resume();
}

void CMessageQueue::AddRef()
{
    CZELCriticalSection::InterlockedIncrement(&references);
}

void CMessageQueue::Release()
{
    if (CZELCriticalSection::InterlockedDecrement(&references) == 0) delete this;
}

void CMessageQueue::ReleasePayloads(CRefObject* p1, CRefObject* p2)
{
    if (p1) p1->Release();
    if (p2) p2->Release();
}

int CMessageQueue::PostAsync(QueueReceiver* receiver, const ZEL_GUID& msgClass, int code, CRefObject* p1,
                             CRefObject* p2)
{
    QueueMessage* message = new (std::nothrow) QueueMessage{receiver, msgClass, code, QUEUE_MODE_ASYNC, p1, p2, nullptr, 0};
    if (!message) {
        ReleasePayloads(p1, p2);
        return 0;
    }
    bool wake = false;
    lock.Enter();
    bool dropped = stopping;
    bool stored = !dropped && Append(message, wake);
    lock.Leave();
    if (!stored) {
        ReleasePayloads(p1, p2);
        delete message;
        return dropped ? 1 : 0;
    }
    if (wake) wakeEvent.Set();
    return 1;
}

int CMessageQueue::PostAsyncBurst(QueueReceiver* receiver, const ZEL_GUID& msgClass, const PostedMessage* posts,
                                  int count)
{
    bool wake = false;
    int stored = 0;
    lock.Enter();
    const bool dropped = stopping;
    for (; !dropped && stored < count; ++stored) {
        const PostedMessage& post = posts[stored];
        QueueMessage* message =
            new (std::nothrow) QueueMessage{receiver, msgClass, post.code, QUEUE_MODE_ASYNC, post.p1, post.p2, nullptr, 0};
        bool woke = false;
        if (!message || !Append(message, woke)) {
            delete message;
            break;
        }
        wake = wake || woke;
    }
    lock.Leave();
    for (int i = stored; i < count; ++i) ReleasePayloads(posts[i].p1, posts[i].p2);
    if (wake) wakeEvent.Set();
    return stored == count || dropped ? 1 : 0;
}

int CMessageQueue::SendSync(QueueReceiver* receiver, const ZEL_GUID& msgClass, int code, CRefObject* p1,
                            CRefObject* p2)
{
    if (thread.IsCurrent()) {
        // The worker would wait for itself: run the handler here, nested in the current one.
        lock.Enter();
        bool dropped = stopping;
        lock.Leave();
        int result = dropped ? Services::SM_NOT_DELIVERED
                             : receiver ? receiver->HandleMessage(msgClass, code, p1, p2) : 0;
        ReleasePayloads(p1, p2);
        return result;
    }

    CZELEvent* done = TakeSpareEvent();
    if (!done) {
        ReleasePayloads(p1, p2);
        return Services::SM_NOT_DELIVERED;
    }
    // The record lives here: this thread waits until the worker or Stop is done with it.
    QueueMessage message{receiver, msgClass, code, QUEUE_MODE_SYNC, p1, p2, done, 0};
    bool wake = false;
    lock.Enter();
    bool stored = !stopping && Append(&message, wake);
    lock.Leave();
    if (!stored) {
        KeepSpareEvent(done);
        ReleasePayloads(p1, p2);
        return Services::SM_NOT_DELIVERED;
    }
    if (wake) wakeEvent.Set();
    // A checked event only fails its wait if its handle is gone; leaving early would let the worker
    // write into a record that no longer exists, so keep waiting.
    while (!done->Wait()) CZELThread::Sleep(1);
    int result = message.result;
    KeepSpareEvent(done);
    return result;
}

void CMessageQueue::Stop()
{
    lock.Enter();
    stopping = true;
    DropPending();
    bool resume = !started;  // a thread that never ran must run to see stopping and end
    started = true;
    lock.Leave();
    wakeEvent.Set();
    if (resume) thread.Resume();
    if (!thread.IsCurrent()) thread.WaitTermination(INFINITE);
}

bool CMessageQueue::Append(QueueMessage* message, bool& wake)
{
    wake = false;
    if (pending.Add(message) < 0) return false;
    wake = workerWaiting;
    workerWaiting = false;  // one signal per wait
    return true;
}

QueueMessage* CMessageQueue::TakeFirst()
{
    int count = pending.GetCount();
    if (head >= count) return nullptr;
    QueueMessage* message = pending[head];
    pending[head] = nullptr;
    ++head;
    if (head == count) {
        TruncatePending(0);
        head = 0;
    } else if (head >= CompactAfter && head * 2 >= count) {
        for (int i = head; i < count; ++i) pending[i - head] = pending[i];
        TruncatePending(count - head);
        head = 0;
    }
    return message;
}

void CMessageQueue::TruncatePending(int count)
{
    // Removing from the end moves nothing.
    while (pending.GetCount() > count) pending.RemoveAt(pending.GetCount() - 1);
}

void CMessageQueue::DropPending()
{
    for (int i = head; i < pending.GetCount(); ++i) {
        QueueMessage* message = pending[i];
        ReleasePayloads(message->p1, message->p2);
        if (message->doneEvent) {
            message->result = Services::SM_NOT_DELIVERED;
            message->doneEvent->Set();  // the sender owns the record from here on
        } else {
            delete message;
        }
    }
    TruncatePending(0);
    head = 0;
}

CZELEvent* CMessageQueue::TakeSpareEvent()
{
    CZELEvent* event = nullptr;
    lock.Enter();
    int count = spareEvents.GetCount();
    if (count > 0) {
        event = spareEvents[count - 1];
        spareEvents.RemoveAt(count - 1);
    }
    lock.Leave();
    if (event) return event;

    event = new (std::nothrow) CZELEvent;
    if (!event) return nullptr;
    // An event without a handle never signals; find out now rather than in the sender's wait.
    event->Set();
    if (!event->Wait(0)) {
        delete event;
        return nullptr;
    }
    return event;
}

void CMessageQueue::KeepSpareEvent(CZELEvent* event)
{
    lock.Enter();
    bool kept = spareEvents.Add(event) >= 0;
    lock.Leave();
    if (!kept) delete event;
}

void CMessageQueue::Deliver(QueueMessage* message)
{
    int result = 0;
    if (message->receiver)
        result = message->receiver->HandleMessage(message->msgClass, message->code, message->p1, message->p2);
    ReleasePayloads(message->p1, message->p2);
    if (message->doneEvent) {
        message->result = result;
        message->doneEvent->Set();  // the sender owns the record from here on
    } else {
        delete message;
    }
}

void CMessageQueue::Run()
{
    for (;;) {
        lock.Enter();
        if (stopping) {
            lock.Leave();
            return;
        }
        QueueMessage* message = TakeFirst();
        if (!message) workerWaiting = true;
        lock.Leave();
        if (message)
            Deliver(message);
        else
            wakeEvent.Wait();
    }
}

unsigned long CMessageQueue::QueueThreadProc(void* argument)
{
    if (!argument) return (unsigned long)-1;
    CMessageQueue* queue = static_cast<CMessageQueue*>(argument);
    queue->Run();
    // May be the last reference (the queue was destroyed from its own handler): touch nothing after.
    queue->Release();
    return 0;
}
