#include "Jabber/account/DelayedPost.h"

#include "ZELCommon/ZELEvent.h"
#include "ZELCommon/ZELThread.h"

#include <new>

namespace {

std::atomic<int> Live{0};

}  // namespace

// What the thread uses: shared with the owner, so neither outlives the other's needs.
struct DelayedPost::Run {
    unsigned delayMs = 0;
    bool repeat = false;
    std::function<void()> fire;
    CZELEvent stop;
};

DelayedPost::~DelayedPost()
{
    Stop();
}

bool DelayedPost::Start(unsigned delayMs, bool repeat, std::function<void()> fire)
{
    Stop();
    std::shared_ptr<Run> fresh;
    try {
        fresh = std::make_shared<Run>();
    } catch (const std::bad_alloc&) {
        return false;
    }
    fresh->delayMs = delayMs;
    fresh->repeat = repeat;
    fresh->fire = std::move(fire);
    // The thread holds a reference of its own, given back when it ends.
    std::shared_ptr<Run>* held = new (std::nothrow) std::shared_ptr<Run>(fresh);
    if (!held) return false;
    thread = new (std::nothrow) CZELThread(CZELString(), ThreadProc, held);
    if (!thread) {
        delete held;
        return false;
    }
    run = fresh;
    ++Live;
    thread->Resume();
    return true;
}

void DelayedPost::Stop()
{
    if (!thread) return;
    run->stop.Set();
    thread->WaitTermination(INFINITE);
    delete thread;
    thread = nullptr;
    run.reset();
}

unsigned long DelayedPost::ThreadProc(void* argument)
{
    std::shared_ptr<Run>* held = static_cast<std::shared_ptr<Run>*>(argument);
    Run& run = **held;
    do {
        if (run.stop.Wait(run.delayMs)) break;
        run.fire();
    } while (run.repeat);
    delete held;
    --Live;
    return 0;
}

int DelayedPost::LiveThreads()
{
    return Live;
}
