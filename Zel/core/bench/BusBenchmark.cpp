// Bus throughput, measured in one run so the figures compare with each other: asynchronous posts
// through one queue, synchronous round trips (between two queues, and from a plain thread to a
// queue), event fan-out to ten subscribers, and the floor every synchronous send stands on: two
// threads handing a value back and forth over two auto-reset events. Each figure doubles its count
// until one measurement takes at least half a second.
#include "Zel/core/bench/Benchmarks.h"
#include "Zel/core/bus/Payloads.h"
#include "Zel/core/bus/ServicesManager.h"
#include "ZELCommon/ZELEvent.h"
#include "ZELCommon/ZELThread.h"

#include <windows.h>

#include <cstdio>
#include <functional>

namespace {

const ZEL_GUID BenchClass = {0x5EEDBE4C, 0x0001, 0x0002, {3, 4, 5, 6, 7, 8, 9, 10}};
const int CodeCount = 1, CodeEcho = 2, CodeForward = 3;
const double MinimumSeconds = 0.5;

// Runs measure(n) with n doubling from 256 until a run lasts long enough; the rate of that run.
double Rate(const std::function<void(long n)>& measure)
{
    for (long n = 256;; n *= 2) {
        double start = BenchSeconds();
        measure(n);
        double seconds = BenchSeconds() - start;
        if (seconds >= MinimumSeconds) return double(n) / seconds;
    }
}

// Counts what arrives and signals once the expected number is in.
class CCountingReceiver : public QueueReceiver {
public:
    void Expect(long n)
    {
        count = 0;
        target = n;
    }

    int HandleMessage(const ZEL_GUID&, int, CRefObject*, CRefObject*) override
    {
        if (++count == target) done.Set();
        return 0;
    }

    CZELEvent done;

private:
    long count = 0;  // the queue's thread only
    long target = 0;
};

// Answers a value with the value plus one.
class CEchoReceiver : public QueueReceiver {
public:
    int HandleMessage(const ZEL_GUID&, int, CRefObject* p1, CRefObject*) override
    {
        return p1 ? int(static_cast<CRefValue*>(p1)->value) + 1 : 0;
    }
};

// On CodeForward (p1 = a round count), sends that many synchronous messages to another queue.
class CForwardingReceiver : public QueueReceiver {
public:
    CForwardingReceiver(Services::CServicesManager& bus) : bus(bus) {}

    int HandleMessage(const ZEL_GUID&, int code, CRefObject* p1, CRefObject*) override
    {
        if (code != CodeForward || !p1) return 0;
        intptr_t rounds = static_cast<CRefValue*>(p1)->value;
        int wrong = 0;
        for (intptr_t i = 0; i < rounds; ++i)
            if (bus.SendMessage(target, BenchClass, CodeEcho, new CRefValue(i), nullptr, true) != i + 1) ++wrong;
        return wrong;
    }

    int target = 0;

private:
    Services::CServicesManager& bus;
};

double AsynchronousPosts()
{
    CCountingReceiver receiver;
    Services::CServicesManager bus;
    int queue = bus.CreateQueue(&receiver, L"posts");
    return Rate([&](long n) {
        receiver.Expect(n);
        for (long i = 0; i < n; ++i) bus.SendMessage(queue, BenchClass, CodeCount, new CRefValue(i), nullptr, false);
        receiver.done.Wait();
    });
}

double QueueToQueueRoundTrips(int& failures)
{
    CEchoReceiver echo;
    Services::CServicesManager bus;
    CForwardingReceiver forwarder(bus);
    forwarder.target = bus.CreateQueue(&echo, L"B");
    int queueA = bus.CreateQueue(&forwarder, L"A");
    failures = 0;
    return Rate([&](long n) {
        failures += bus.SendMessage(queueA, BenchClass, CodeForward, new CRefValue(n), nullptr, true);
    });
}

double ThreadToQueueRoundTrips(int& failures)
{
    CEchoReceiver echo;
    Services::CServicesManager bus;
    int queue = bus.CreateQueue(&echo, L"echo");
    failures = 0;
    return Rate([&](long n) {
        for (long i = 0; i < n; ++i)
            if (bus.SendMessage(queue, BenchClass, CodeEcho, new CRefValue(i), nullptr, true) != i + 1) ++failures;
    });
}

double EventFanOut(int subscribers)
{
    CCountingReceiver receivers[16];
    Services::CServicesManager bus;
    int event = bus.RegisterEvent(BenchClass, CodeCount);
    for (int i = 0; i < subscribers; ++i) bus.Subscribe(BenchClass, CodeCount, bus.CreateQueue(&receivers[i], L"fan"));
    return Rate([&](long n) {
        for (int i = 0; i < subscribers; ++i) receivers[i].Expect(n);
        for (long i = 0; i < n; ++i) bus.FireEvent(event, new CRefValue(i), nullptr, false);
        for (int i = 0; i < subscribers; ++i) receivers[i].done.Wait();
    });
}

// Two threads and two auto-reset events, nothing else.
struct BarePair {
    CZELEvent ping, pong;
    volatile long value = 0;
    volatile long rounds = 0;
};

unsigned long BareEchoThread(void* argument)
{
    BarePair* pair = static_cast<BarePair*>(argument);
    for (;;) {
        pair->ping.Wait();
        if (pair->rounds < 0) return 0;
        pair->value = pair->value + 1;
        pair->pong.Set();
    }
}

double BareRoundTrips()
{
    BarePair pair;
    CZELThread thread(L"bare", BareEchoThread, &pair);
    thread.Resume();
    double rate = Rate([&](long n) {
        for (long i = 0; i < n; ++i) {
            pair.ping.Set();
            pair.pong.Wait();
        }
    });
    pair.rounds = -1;
    pair.ping.Set();
    thread.WaitTermination(INFINITE);
    return rate;
}

}  // namespace

int main()
{
    std::printf("Bus benchmark: each figure from one run of at least %.1f s\n", MinimumSeconds);
    std::fflush(stdout);

    double bare = BareRoundTrips();
    double posts = AsynchronousPosts();
    int queueFailures = 0, threadFailures = 0;
    double queueToQueue = QueueToQueueRoundTrips(queueFailures);
    double threadToQueue = ThreadToQueueRoundTrips(threadFailures);
    const int subscribers = 10;
    double fanOut = EventFanOut(subscribers);

    std::printf("  asynchronous posts delivered, one queue:      %10.0f /s  (%.2f us each)\n", posts, 1e6 / posts);
    std::printf("  synchronous round trips, queue A -> queue B:  %10.0f /s  (%.1f us each)\n", queueToQueue,
                1e6 / queueToQueue);
    std::printf("  synchronous round trips, thread -> queue:     %10.0f /s  (%.1f us each)\n", threadToQueue,
                1e6 / threadToQueue);
    std::printf("  event fan-out to %d subscribers:              %10.0f events/s  (%.0f deliveries/s)\n", subscribers,
                fanOut, fanOut * subscribers);
    std::printf("  bare round trip, two auto-reset events:       %10.0f /s  (%.1f us each)\n", bare, 1e6 / bare);
    std::printf("  synchronous round trip / bare round trip:     %.2f (queue A -> queue B), %.2f (thread -> queue)\n",
                bare / queueToQueue, bare / threadToQueue);
    if (queueFailures || threadFailures)
        std::printf("  WRONG RESULTS: %d (queue A -> queue B), %d (thread -> queue)\n", queueFailures, threadFailures);

    RunHistoryBenchmark();
    RunContactListBenchmark();
    return queueFailures || threadFailures ? 1 : 0;
}
