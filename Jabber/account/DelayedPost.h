// DelayedPost: a thread that waits, then fires (once, or again after every period) until stopped.
// What it fires must only hand work on (post to a queue) and return: the account's state stays
// with the account's queue thread. Stop signals the thread and waits for it to end; the wait is
// short, since the thread only ever waits on its own signal.
#pragma once

#include <atomic>
#include <functional>
#include <memory>

class CZELEvent;
class CZELThread;

class DelayedPost {
public:
    DelayedPost() = default;
    ~DelayedPost();
    DelayedPost(const DelayedPost&) = delete;
    DelayedPost& operator=(const DelayedPost&) = delete;

    // Stops an earlier run, then fires fire after delayMs (and, with repeat, every delayMs after
    // that). False when no thread could be started.
    bool Start(unsigned delayMs, bool repeat, std::function<void()> fire);
    // Idempotent. Never call it from fire.
    void Stop();
    bool IsRunning() const { return thread != nullptr; }

    // Threads of this kind alive in the module, for the tests.
    static int LiveThreads();

private:
    struct Run;
    static unsigned long ThreadProc(void* run);

    CZELThread* thread = nullptr;
    std::shared_ptr<Run> run;
};
