#include "BusTestSupport.h"

#include "Zel/core/CoreGuids.h"
#include "ZELCommon/tests/SlotOf.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace BusTest;
using namespace Services;
using TestSupport::SlotOf;

namespace {

CountedPayload* Fresh(std::atomic<int>& destroyed, intptr_t value = 0)
{
    return new CountedPayload(destroyed, value);
}

// Receivers that write their index into one shared log, to see the order of deliveries across
// queues.
struct OrderLog {
    std::mutex mutex;
    std::vector<int> entries;
    void Add(int index)
    {
        std::lock_guard<std::mutex> hold(mutex);
        entries.push_back(index);
    }
    std::vector<int> Entries()
    {
        std::lock_guard<std::mutex> hold(mutex);
        return entries;
    }
};

}  // namespace

TEST(ServicesManager, VirtualOperationsKeepTheirSlotOrder)
{
    // Plug-ins call the bus through these slots; the order is the interface.
    EXPECT_EQ(SlotOf(&CServicesManager::RegisterService), 0);
    EXPECT_EQ(SlotOf(&CServicesManager::UnregisterService), 1);
    EXPECT_EQ(SlotOf(&CServicesManager::HasService), 2);
    EXPECT_EQ(SlotOf(&CServicesManager::GetService), 3);
    EXPECT_EQ(SlotOf(&CServicesManager::CreateQueue), 4);
    EXPECT_EQ(SlotOf(&CServicesManager::DestroyQueue), 5);
    EXPECT_EQ(SlotOf(&CServicesManager::SendMessage), 6);
    EXPECT_EQ(SlotOf(&CServicesManager::RegisterEvent), 7);
    EXPECT_EQ(SlotOf(&CServicesManager::UnregisterEvent), 8);
    EXPECT_EQ(SlotOf(&CServicesManager::FireEvent), 9);
    EXPECT_EQ(SlotOf(&CServicesManager::Subscribe), 10);
    EXPECT_EQ(SlotOf(&CServicesManager::Unsubscribe), 11);
    EXPECT_EQ(SlotOf(&QueueReceiver::HandleMessage), 0);
}

TEST(ServicesManager, IdentifiersComeFromTheirCountersAndAreNeverReused)
{
    RecordingReceiver receiver;
    int a = 0, b = 0;
    CServicesManager bus;

    // The manager registered itself first, and its start-up event.
    EXPECT_TRUE(bus.HasService(ZEL_GUID_NULL));
    EXPECT_EQ(bus.GetService(ZEL_GUID_NULL), &bus);
    int settings = bus.RegisterService(GUID_SETTINGS_STORE, &a);
    EXPECT_EQ(settings, 0x10000002);
    // A GUID already taken keeps its first service; the failure uses up no handle.
    EXPECT_EQ(bus.RegisterService(GUID_SETTINGS_STORE, &b), 0);
    EXPECT_EQ(bus.GetService(GUID_SETTINGS_STORE), &a);
    EXPECT_EQ(bus.RegisterService(GUID_SKIN_IMAGES, &b), 0x10000003);
    EXPECT_EQ(bus.UnregisterService(settings), SM_OK);
    EXPECT_FALSE(bus.HasService(GUID_SETTINGS_STORE));
    EXPECT_EQ(bus.GetService(GUID_SETTINGS_STORE), nullptr);
    EXPECT_EQ(bus.UnregisterService(settings), SM_NOT_FOUND);
    EXPECT_EQ(bus.RegisterService(GUID_SETTINGS_STORE, &b), 0x10000004);
    EXPECT_EQ(bus.GetService(GUID_SETTINGS_STORE), &b);

    int first = bus.CreateQueue(&receiver, L"first");
    EXPECT_EQ(first, 0x20000001);
    EXPECT_EQ(bus.DestroyQueue(first), SM_OK);
    EXPECT_EQ(bus.CreateQueue(&receiver, L"second"), 0x20000002);

    int event = bus.RegisterEvent(TestClass, 5);
    EXPECT_EQ(event, 0x30000002);  // 0x30000001 is the start-up event
    EXPECT_EQ(bus.Subscribe(OtherClass, 5, 0x20000002), 0);
    EXPECT_EQ(bus.Subscribe(TestClass, 6, 0x20000002), 0);
    int subscription = bus.Subscribe(TestClass, 5, 0x20000002);
    EXPECT_EQ(subscription, 0x40000001);
    EXPECT_EQ(bus.Unsubscribe(subscription), SM_OK);
    EXPECT_EQ(bus.Subscribe(TestClass, 5, 0x20000002), 0x40000002);
    EXPECT_EQ(bus.UnregisterEvent(event), SM_OK);
    EXPECT_EQ(bus.RegisterEvent(TestClass, 5), 0x30000003);
}

TEST(ServicesManager, UnknownHandlesAndIdsGiveNotFound)
{
    RecordingReceiver receiver;
    CServicesManager bus;
    int queue = bus.CreateQueue(&receiver, L"Q");
    int event = bus.RegisterEvent(TestClass, 1);
    int subscription = bus.Subscribe(TestClass, 1, queue);
    int service = bus.RegisterService(TestClass, &receiver);
    ASSERT_NE(queue, 0);
    ASSERT_NE(event, 0);
    ASSERT_NE(subscription, 0);
    ASSERT_NE(service, 0);

    struct Case {
        const char* name;
        std::function<int()> call;
    };
    const Case cases[] = {
        {"DestroyQueue of a queue that never was", [&] { return bus.DestroyQueue(queue + 100); }},
        {"DestroyQueue of 0", [&] { return bus.DestroyQueue(0); }},
        {"DestroyQueue given an event id", [&] { return bus.DestroyQueue(event); }},
        {"UnregisterService", [&] { return bus.UnregisterService(service + 100); }},
        {"UnregisterEvent", [&] { return bus.UnregisterEvent(event + 100); }},
        {"Unsubscribe", [&] { return bus.Unsubscribe(subscription + 100); }},
        {"SendMessage posting", [&] { return bus.SendMessage(queue + 100, TestClass, 1, nullptr, nullptr, false); }},
        {"SendMessage waiting", [&] { return bus.SendMessage(queue + 100, TestClass, 1, nullptr, nullptr, true); }},
        {"FireEvent", [&] { return bus.FireEvent(event + 100, nullptr, nullptr, true); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.call(), SM_NOT_FOUND);
    }
    EXPECT_FALSE(bus.HasService(OtherClass));
    EXPECT_EQ(bus.GetService(OtherClass), nullptr);
    EXPECT_EQ(Flush(bus, queue), 0);
    EXPECT_EQ(receiver.Count(), 0u);
}

TEST(ServicesManager, UnknownQueueFreesPayloadsNobodyHoldsButUnknownEventLeavesThem)
{
    CServicesManager bus;
    std::atomic<int> destroyed{0};

    EXPECT_EQ(bus.SendMessage(0x2FFFFFFF, TestClass, 1, Fresh(destroyed), Fresh(destroyed), false), SM_NOT_FOUND);
    EXPECT_EQ(destroyed, 2);
    CountedPayload* both = Fresh(destroyed);
    EXPECT_EQ(bus.SendMessage(0x2FFFFFFF, TestClass, 1, both, both, true), SM_NOT_FOUND);
    EXPECT_EQ(destroyed, 3);  // passed twice, freed once

    CountedPayload* held = Fresh(destroyed);
    held->AddRef(1);
    EXPECT_EQ(bus.SendMessage(0x2FFFFFFF, TestClass, 1, held, nullptr, false), SM_NOT_FOUND);
    EXPECT_EQ(destroyed, 3);
    held->Release();
    EXPECT_EQ(destroyed, 4);

    CountedPayload* untouched = Fresh(destroyed);
    EXPECT_EQ(bus.FireEvent(0x3FFFFFFF, untouched, nullptr, false), SM_NOT_FOUND);
    EXPECT_EQ(destroyed, 4);
    untouched->AddRef(0);  // still at count 0: the caller frees it
    EXPECT_EQ(destroyed, 5);
}

// Ten queues: "all" has every queue subscribed in order, "none" has no subscriber, "stale" has
// one subscription naming a queue that does not exist.
class BusPayloads : public ::testing::Test {
protected:
    static const int QueueCount = 10;

    void SetUp() override
    {
        for (int i = 0; i < QueueCount; ++i) {
            queues[i] = bus.CreateQueue(&receivers[i], L"queue");
            ASSERT_NE(queues[i], 0);
        }
        all = bus.RegisterEvent(TestClass, 1);
        none = bus.RegisterEvent(TestClass, 2);
        stale = bus.RegisterEvent(TestClass, 3);
        for (int i = 0; i < QueueCount; ++i) ASSERT_NE(bus.Subscribe(TestClass, 1, queues[i]), 0);
        ASSERT_NE(bus.Subscribe(TestClass, 3, 0x2FFFFFFF), 0);
    }

    void FlushAll()
    {
        for (int i = 0; i < QueueCount; ++i) ASSERT_EQ(Flush(bus, queues[i]), 0);
    }

    size_t Delivered()
    {
        size_t count = 0;
        for (RecordingReceiver& receiver : receivers) count += receiver.Count();
        return count;
    }

    RecordingReceiver receivers[QueueCount];
    CServicesManager bus;
    int queues[QueueCount] = {};
    int all = 0, none = 0, stale = 0;
};

TEST_F(BusPayloads, EveryPathFreesEachPayloadExactlyOnce)
{
    struct Case {
        const char* name;
        std::function<int(CRefObject* p1, CRefObject* p2)> call;
        int result;
        size_t deliveries;
    };
    const Case cases[] = {
        {"posted to a queue", [&](CRefObject* p1, CRefObject* p2) { return bus.SendMessage(queues[0], TestClass, 1, p1, p2, false); }, 1, 1},
        {"sent to a queue, waiting", [&](CRefObject* p1, CRefObject* p2) { return bus.SendMessage(queues[0], TestClass, 1, p1, p2, true); }, 0, 1},
        {"posted to an unknown queue", [&](CRefObject* p1, CRefObject* p2) { return bus.SendMessage(0x2FFFFFFE, TestClass, 1, p1, p2, false); }, SM_NOT_FOUND, 0},
        {"posted in a burst", [&](CRefObject* p1, CRefObject* p2) {
             PostedMessage burst[] = {{1, p1, p2}};
             return bus.PostMessages(queues[0], TestClass, burst, 1);
         }, 1, 1},
        {"posted in a burst to an unknown queue", [&](CRefObject* p1, CRefObject* p2) {
             PostedMessage burst[] = {{1, p1, p2}};
             return bus.PostMessages(0x2FFFFFFE, TestClass, burst, 1);
         }, SM_NOT_FOUND, 0},
        {"event posted to ten queues", [&](CRefObject* p1, CRefObject* p2) { return bus.FireEvent(all, p1, p2, false); }, 0, 10},
        {"event sent to ten queues, waiting", [&](CRefObject* p1, CRefObject* p2) { return bus.FireEvent(all, p1, p2, true); }, 0, 10},
        {"event without subscribers", [&](CRefObject* p1, CRefObject* p2) { return bus.FireEvent(none, p1, p2, false); }, 0, 0},
        {"event without subscribers, waiting", [&](CRefObject* p1, CRefObject* p2) { return bus.FireEvent(none, p1, p2, true); }, 0, 0},
        {"event whose subscriber's queue is gone", [&](CRefObject* p1, CRefObject* p2) { return bus.FireEvent(stale, p1, p2, false); }, 0, 0},
        {"event whose subscriber's queue is gone, waiting", [&](CRefObject* p1, CRefObject* p2) { return bus.FireEvent(stale, p1, p2, true); }, 0, 0},
    };
    for (const Case& c : cases) {
        for (int shape = 0; shape < 3; ++shape) {
            // Two payloads; one payload and null; one payload passed as both.
            SCOPED_TRACE(std::string(c.name) + (shape == 0 ? ", two payloads" : shape == 1 ? ", p1 only" : ", one payload twice"));
            std::atomic<int> destroyed{0};
            CountedPayload* p1 = Fresh(destroyed, 1);
            CountedPayload* p2 = shape == 0 ? Fresh(destroyed, 2) : shape == 1 ? nullptr : p1;
            int expected = shape == 0 ? 2 : 1;
            size_t before = Delivered();
            EXPECT_EQ(c.call(p1, p2), c.result);
            FlushAll();
            EXPECT_EQ(Delivered() - before, c.deliveries);
            EXPECT_EQ(destroyed, expected);
        }
    }
}

TEST_F(BusPayloads, APayloadTheCallerHoldsOutlivesEveryDelivery)
{
    std::atomic<int> destroyed{0};
    CountedPayload* held = Fresh(destroyed, 7);
    held->AddRef(1);
    EXPECT_EQ(bus.FireEvent(all, held, nullptr, false), 0);
    EXPECT_EQ(bus.SendMessage(queues[3], TestClass, 4, held, nullptr, false), 1);
    EXPECT_EQ(bus.SendMessage(queues[3], TestClass, 4, held, nullptr, true), 0);
    FlushAll();
    EXPECT_EQ(Delivered(), size_t(QueueCount + 2));
    EXPECT_EQ(destroyed, 0);
    held->Release();
    EXPECT_EQ(destroyed, 1);
}

TEST_F(BusPayloads, SynchronousEventEndsAtTheFirstNonZeroResult)
{
    receivers[2].onMessage = [](int, CRefObject*, CRefObject*) { return 7; };
    receivers[5].onMessage = [](int, CRefObject*, CRefObject*) { return 9; };
    std::atomic<int> destroyed{0};
    EXPECT_EQ(bus.FireEvent(all, Fresh(destroyed), Fresh(destroyed), true), 7);
    EXPECT_EQ(destroyed, 2);  // the shares of the skipped subscribers are given back at once
    FlushAll();
    for (int i = 0; i < QueueCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(receivers[i].Count(), i <= 2 ? 1u : 0u);
    }

    // Posting ignores handler results: everybody gets it.
    EXPECT_EQ(bus.FireEvent(all, Fresh(destroyed), nullptr, false), 0);
    FlushAll();
    for (int i = 0; i < QueueCount; ++i) EXPECT_EQ(receivers[i].Count(), i <= 2 ? 2u : 1u);
    EXPECT_EQ(destroyed, 3);
}

TEST(ServicesManager, MessagesFromManyThreadsArriveInEachSendersOrder)
{
    RecordingReceiver receiver;
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    receiver.onMessage = [&](int, CRefObject*, CRefObject*) {
        if (++inside > 1) overlapped = true;
        --inside;
        return 0;
    };
    CServicesManager bus;
    int queue = bus.CreateQueue(&receiver, L"fifo");
    ASSERT_NE(queue, 0);
    const int threads = 4, perThread = 3000;
    std::atomic<int> destroyed{0};
    std::vector<std::thread> senders;
    for (int t = 0; t < threads; ++t)
        senders.emplace_back([&, t] {
            for (int i = 0; i < perThread; ++i)
                ASSERT_EQ(bus.SendMessage(queue, TestClass, t, Fresh(destroyed, i), nullptr, false), 1);
        });
    for (std::thread& sender : senders) sender.join();
    ASSERT_EQ(Flush(bus, queue), 0);

    std::vector<Delivery> deliveries = receiver.Deliveries();
    ASSERT_EQ(deliveries.size(), size_t(threads * perThread));
    std::vector<intptr_t> next(threads, 0);
    for (const Delivery& d : deliveries) {
        ASSERT_EQ(d.v1, next[d.code]) << "sender " << d.code;
        ++next[d.code];
        EXPECT_EQ(d.thread, deliveries[0].thread);
    }
    EXPECT_FALSE(overlapped);
    EXPECT_EQ(destroyed, threads * perThread);
}

TEST(ServicesManager, ABurstArrivesWholeAndInOrderAmongSingleMessages)
{
    CServicesManager bus;
    RecordingReceiver receiver;
    int queue = bus.CreateQueue(&receiver, L"burst");
    ASSERT_NE(queue, 0);
    std::atomic<int> destroyed{0};
    // The queue's thread waits when each burst comes: one wake-up must deliver all of it.
    for (int round = 0; round < 20; ++round) {
        ASSERT_EQ(bus.SendMessage(queue, TestClass, 0, Fresh(destroyed), nullptr, false), 1);
        std::vector<PostedMessage> burst;
        for (int i = 1; i <= 64; ++i) burst.push_back({i, Fresh(destroyed, i), i % 2 ? Fresh(destroyed) : nullptr});
        ASSERT_EQ(bus.PostMessages(queue, TestClass, burst.data(), int(burst.size())), 1);
        ASSERT_EQ(bus.SendMessage(queue, TestClass, 65, nullptr, nullptr, false), 1);
        ASSERT_TRUE(WaitUntil([&] { return receiver.Count() == size_t(66 * (round + 1)); })) << "round " << round;
    }
    std::vector<Delivery> deliveries = receiver.Deliveries();
    for (size_t i = 0; i < deliveries.size(); ++i) ASSERT_EQ(deliveries[i].code, int(i % 66)) << i;
    EXPECT_EQ(destroyed, 20 * (1 + 64 + 32));
    bus.DestroyQueue(queue);
}

TEST(ServicesManager, SynchronousSendsFromOtherThreadsGetTheirOwnResults)
{
    RecordingReceiver receiver;
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    receiver.onMessage = [&](int, CRefObject* p1, CRefObject*) {
        if (++inside > 1) overlapped = true;
        int result = int(PayloadValue(p1) * 2);
        --inside;
        return result;
    };
    CServicesManager bus;
    int queue = bus.CreateQueue(&receiver, L"sync");
    ASSERT_NE(queue, 0);
    const int threads = 4, perThread = 200;
    std::atomic<int> destroyed{0}, wrong{0};
    std::vector<std::thread> senders;
    for (int t = 0; t < threads; ++t)
        senders.emplace_back([&, t] {
            for (int i = 0; i < perThread; ++i) {
                int value = t * 1000 + i;
                if (bus.SendMessage(queue, TestClass, 1, Fresh(destroyed, value), nullptr, true) != value * 2) ++wrong;
            }
        });
    for (std::thread& sender : senders) sender.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_FALSE(overlapped);
    EXPECT_EQ(destroyed, threads * perThread);
    for (const Delivery& d : receiver.Deliveries()) EXPECT_NE(d.thread, GetCurrentThreadId());
}

TEST(ServicesManager, SynchronousSendToTheOwnQueueRunsNestedAtOnce)
{
    RecordingReceiver receiver;
    CServicesManager bus;
    int queue = 0;
    std::vector<int> order;  // touched on the queue's thread only
    std::atomic<int> innerDestroyed{0};
    receiver.onMessage = [&](int code, CRefObject*, CRefObject*) {
        order.push_back(code);
        if (code == 1) {
            int inner = bus.SendMessage(queue, TestClass, 2, Fresh(innerDestroyed, 20), nullptr, true);
            order.push_back(innerDestroyed == 1 ? -2 : -99);  // the nested delivery already released it
            return inner + 1;
        }
        return 41;
    };
    queue = bus.CreateQueue(&receiver, L"nested");
    ASSERT_NE(queue, 0);
    EXPECT_EQ(bus.SendMessage(queue, TestClass, 1, nullptr, nullptr, true), 42);
    EXPECT_EQ(order, (std::vector<int>{1, 2, -2}));
    std::vector<Delivery> deliveries = receiver.Deliveries();
    ASSERT_EQ(deliveries.size(), 2u);
    EXPECT_EQ(deliveries[1].v1, 20);
    EXPECT_EQ(deliveries[0].thread, deliveries[1].thread);
}

TEST(ServicesManager, EventsReachSubscribersInSubscriptionOrder)
{
    OrderLog log;
    RecordingReceiver receivers[3];
    for (int i = 0; i < 3; ++i)
        receivers[i].onMessage = [&log, i](int, CRefObject*, CRefObject*) {
            log.Add(i);
            return 0;
        };
    CServicesManager bus;
    int queues[3];
    for (int i = 0; i < 3; ++i) queues[i] = bus.CreateQueue(&receivers[i], L"Q");
    int event = bus.RegisterEvent(TestClass, 4);
    for (int i : {2, 0, 1}) ASSERT_NE(bus.Subscribe(TestClass, 4, queues[i]), 0);

    std::atomic<int> destroyed{0};
    EXPECT_EQ(bus.FireEvent(event, Fresh(destroyed, 5), nullptr, true), 0);
    EXPECT_EQ(log.Entries(), (std::vector<int>{2, 0, 1}));
    EXPECT_EQ(destroyed, 1);
    for (int i = 0; i < 3; ++i) {
        std::vector<Delivery> deliveries = receivers[i].Deliveries();
        ASSERT_EQ(deliveries.size(), 1u);
        EXPECT_TRUE(deliveries[0].msgClass == TestClass);
        EXPECT_EQ(deliveries[0].code, 4);
        EXPECT_EQ(deliveries[0].v1, 5);
        EXPECT_EQ(deliveries[0].v2, -1);
    }
}

TEST(ServicesManager, TwoEventsWithOneGuidAndCodeKeepSeparateSubscribers)
{
    RecordingReceiver receiver;
    CServicesManager bus;
    int queue = bus.CreateQueue(&receiver, L"Q");
    int first = bus.RegisterEvent(TestClass, 5);
    int second = bus.RegisterEvent(TestClass, 5);
    ASSERT_NE(first, 0);
    ASSERT_NE(second, 0);
    ASSERT_NE(first, second);
    ASSERT_NE(bus.Subscribe(TestClass, 5, queue), 0);  // attaches to the first registered

    EXPECT_EQ(bus.FireEvent(second, nullptr, nullptr, true), 0);
    EXPECT_EQ(receiver.Count(), 0u);
    EXPECT_EQ(bus.FireEvent(first, nullptr, nullptr, true), 0);
    EXPECT_EQ(receiver.Count(), 1u);

    // Once the first is gone (with its subscribers), subscribing reaches the second.
    EXPECT_EQ(bus.UnregisterEvent(first), SM_OK);
    EXPECT_EQ(bus.FireEvent(first, nullptr, nullptr, true), SM_NOT_FOUND);
    ASSERT_NE(bus.Subscribe(TestClass, 5, queue), 0);
    EXPECT_EQ(bus.FireEvent(second, nullptr, nullptr, true), 0);
    EXPECT_EQ(receiver.Count(), 2u);
}

TEST(ServicesManager, UnsubscribedQueuesNoLongerReceive)
{
    RecordingReceiver a, b;
    CServicesManager bus;
    int qa = bus.CreateQueue(&a, L"a"), qb = bus.CreateQueue(&b, L"b");
    int event = bus.RegisterEvent(TestClass, 1);
    int sa = bus.Subscribe(TestClass, 1, qa);
    ASSERT_NE(bus.Subscribe(TestClass, 1, qb), 0);
    EXPECT_EQ(bus.Unsubscribe(sa), SM_OK);
    EXPECT_EQ(bus.Unsubscribe(sa), SM_NOT_FOUND);
    EXPECT_EQ(bus.FireEvent(event, nullptr, nullptr, true), 0);
    EXPECT_EQ(a.Count(), 0u);
    EXPECT_EQ(b.Count(), 1u);
}

TEST(ServicesManager, DestroyQueueRemovesItsSubscriptions)
{
    RecordingReceiver a, b;
    CServicesManager bus;
    int qa = bus.CreateQueue(&a, L"a"), qb = bus.CreateQueue(&b, L"b");
    int event = bus.RegisterEvent(TestClass, 1);
    int other = bus.RegisterEvent(TestClass, 2);
    int sa = bus.Subscribe(TestClass, 1, qa);
    int so = bus.Subscribe(TestClass, 2, qa);
    ASSERT_NE(bus.Subscribe(TestClass, 1, qb), 0);
    ASSERT_NE(sa, 0);
    ASSERT_NE(so, 0);

    EXPECT_EQ(bus.DestroyQueue(qa), SM_OK);
    EXPECT_EQ(bus.DestroyQueue(qa), SM_NOT_FOUND);
    EXPECT_EQ(bus.Unsubscribe(sa), SM_NOT_FOUND);
    EXPECT_EQ(bus.Unsubscribe(so), SM_NOT_FOUND);
    std::atomic<int> destroyed{0};
    EXPECT_EQ(bus.FireEvent(event, Fresh(destroyed), nullptr, true), 0);
    EXPECT_EQ(bus.FireEvent(other, Fresh(destroyed), nullptr, true), 0);
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(a.Count(), 0u);
    EXPECT_EQ(b.Count(), 1u);
    EXPECT_EQ(bus.SendMessage(qa, TestClass, 1, Fresh(destroyed), nullptr, false), SM_NOT_FOUND);
    EXPECT_EQ(destroyed, 3);
}

TEST(ServicesManager, DestroyQueueWaitsForTheRunningHandlerAndWakesBlockedSenders)
{
    RecordingReceiver receiver;
    std::atomic<bool> entered{false}, mayFinish{false}, finished{false};
    receiver.onMessage = [&](int code, CRefObject*, CRefObject*) {
        if (code == 1) {
            entered = true;
            while (!mayFinish) Sleep(1);
            finished = true;
        }
        return 0;
    };
    CServicesManager bus;
    int queue = bus.CreateQueue(&receiver, L"busy");
    std::atomic<int> destroyed{0};
    ASSERT_EQ(bus.SendMessage(queue, TestClass, 1, Fresh(destroyed), nullptr, false), 1);
    ASSERT_TRUE(WaitUntil([&] { return entered.load(); }));
    ASSERT_EQ(bus.SendMessage(queue, TestClass, 2, Fresh(destroyed), Fresh(destroyed), false), 1);
    std::atomic<int> senderResult{0};
    std::atomic<bool> senderDone{false};
    std::thread sender([&] {
        senderResult = bus.SendMessage(queue, TestClass, 3, Fresh(destroyed), nullptr, true);
        senderDone = true;
    });
    Sleep(200);  // the sender is now waiting behind the running handler
    ASSERT_FALSE(senderDone);

    std::atomic<int> destroyResult{1};
    std::thread destroyer([&] { destroyResult = bus.DestroyQueue(queue); });
    ASSERT_TRUE(WaitUntil([&] { return senderDone.load(); }));
    EXPECT_EQ(senderResult, SM_NOT_DELIVERED);
    EXPECT_TRUE(WaitUntil([&] { return destroyed == 3; }));
    // The bus stays usable while the stop waits for the handler.
    EXPECT_EQ(bus.SendMessage(queue, TestClass, 4, nullptr, nullptr, false), SM_NOT_FOUND);
    EXPECT_NE(bus.RegisterEvent(OtherClass, 1), 0);
    Sleep(50);
    EXPECT_EQ(destroyResult, 1);
    EXPECT_FALSE(finished);

    mayFinish = true;
    destroyer.join();
    sender.join();
    EXPECT_EQ(destroyResult, SM_OK);
    EXPECT_TRUE(finished);
    EXPECT_EQ(destroyed, 4);
    EXPECT_EQ(receiver.Count(), 1u);
}

TEST(ServicesManager, AHandlerMayDestroyItsOwnQueue)
{
    RecordingReceiver receiver;
    CServicesManager bus;
    int queue = 0;
    std::atomic<bool> mayGo{false}, returned{false};
    std::atomic<int> destroyResult{1}, laterPost{1}, laterSend{1};
    std::atomic<int> destroyed{0};
    receiver.onMessage = [&](int code, CRefObject*, CRefObject*) {
        if (code == 1) {
            while (!mayGo) Sleep(1);
            destroyResult = bus.DestroyQueue(queue);
            laterPost = bus.SendMessage(queue, TestClass, 5, Fresh(destroyed), nullptr, false);
            laterSend = bus.SendMessage(queue, TestClass, 6, Fresh(destroyed), nullptr, true);
            returned = true;
        }
        return 0;
    };
    queue = bus.CreateQueue(&receiver, L"self");
    ASSERT_EQ(bus.SendMessage(queue, TestClass, 1, Fresh(destroyed), nullptr, false), 1);
    ASSERT_EQ(bus.SendMessage(queue, TestClass, 2, Fresh(destroyed), nullptr, false), 1);
    ASSERT_EQ(bus.SendMessage(queue, TestClass, 3, Fresh(destroyed), nullptr, false), 1);
    mayGo = true;

    ASSERT_TRUE(WaitUntil([&] { return returned.load(); }));
    EXPECT_EQ(destroyResult, SM_OK);
    EXPECT_EQ(laterPost, SM_NOT_FOUND);
    EXPECT_EQ(laterSend, SM_NOT_FOUND);
    EXPECT_TRUE(WaitUntil([&] { return destroyed == 5; }));
    Sleep(50);
    EXPECT_EQ(destroyed, 5);
    EXPECT_EQ(receiver.Count(), 1u);  // 2 and 3 were pending and were dropped
}

TEST(ServicesManager, DestroyingAQueueWhileOthersSendToItFreesEveryPayloadOnce)
{
    RecordingReceiver receiver;
    receiver.onMessage = [](int code, CRefObject* p1, CRefObject*) { return int(PayloadValue(p1)); };
    CServicesManager bus;
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        int queue = bus.CreateQueue(&receiver, L"raced");
        ASSERT_NE(queue, 0);
        std::atomic<int> created{0}, destroyed{0}, badResults{0};
        std::vector<std::thread> senders;
        for (int t = 0; t < 4; ++t)
            senders.emplace_back([&, t] {
                for (int i = 0;; ++i) {
                    ++created;
                    bool wait = (t + i) % 3 == 0;
                    int result = bus.SendMessage(queue, TestClass, 1, Fresh(destroyed, 1), nullptr, wait);
                    if (result == SM_NOT_FOUND) return;
                    // Waiting: the handler's 1 or no delivery. Posting: always 1.
                    if (result != 1 && !(wait && result == SM_NOT_DELIVERED)) ++badResults;
                }
            });
        Sleep(20 + 10 * round);
        EXPECT_EQ(bus.DestroyQueue(queue), SM_OK);
        for (std::thread& sender : senders) sender.join();
        EXPECT_EQ(badResults, 0);
        EXPECT_TRUE(WaitUntil([&] { return destroyed == created; }));
        EXPECT_EQ(destroyed, created);
    }
}

TEST(ServicesManager, NoBusLockIsHeldWhileAHandlerRuns)
{
    RecordingReceiver blocked, other;
    std::atomic<bool> entered{false}, mayFinish{false};
    blocked.onMessage = [&](int code, CRefObject*, CRefObject*) {
        if (code == 1) {
            entered = true;
            while (!mayFinish) Sleep(1);
        }
        return 0;
    };
    CServicesManager bus;
    int qBlocked = bus.CreateQueue(&blocked, L"blocked");
    int qOther = bus.CreateQueue(&other, L"other");
    int event = bus.RegisterEvent(TestClass, 1);
    ASSERT_NE(bus.Subscribe(TestClass, 1, qBlocked), 0);
    ASSERT_EQ(bus.SendMessage(qBlocked, TestClass, 1, nullptr, nullptr, false), 1);
    ASSERT_TRUE(WaitUntil([&] { return entered.load(); }));

    // Every operation goes through while the handler runs.
    int service = bus.RegisterService(OtherClass, &other);
    EXPECT_NE(service, 0);
    EXPECT_TRUE(bus.HasService(OtherClass));
    EXPECT_EQ(bus.UnregisterService(service), SM_OK);
    int queue = bus.CreateQueue(&other, L"new");
    EXPECT_NE(queue, 0);
    EXPECT_EQ(bus.DestroyQueue(queue), SM_OK);
    EXPECT_EQ(bus.SendMessage(qOther, TestClass, 2, nullptr, nullptr, true), 0);
    EXPECT_EQ(bus.FireEvent(event, nullptr, nullptr, false), 0);  // queued behind the handler
    int subscription = bus.Subscribe(TestClass, 1, qOther);
    EXPECT_NE(subscription, 0);
    EXPECT_EQ(bus.Unsubscribe(subscription), SM_OK);
    EXPECT_EQ(other.Count(), 1u);

    mayFinish = true;
    EXPECT_EQ(Flush(bus, qBlocked), 0);
    EXPECT_EQ(blocked.Count(), 2u);
}

TEST(ServicesManager, HandlersOfASynchronousEventMayUseTheBus)
{
    // The firing thread waits inside FireEvent while the handler, on another thread, changes the
    // same event's subscribers and sends on: nothing may hold the events or queues lock meanwhile.
    RecordingReceiver first, second, third;
    CServicesManager bus;
    int q1 = bus.CreateQueue(&first, L"1"), q2 = bus.CreateQueue(&second, L"2"), q3 = bus.CreateQueue(&third, L"3");
    int event = bus.RegisterEvent(TestClass, 1);
    int chained = bus.RegisterEvent(TestClass, 2);
    ASSERT_NE(bus.Subscribe(TestClass, 2, q3), 0);
    std::atomic<int> steps{0};
    first.onMessage = [&](int code, CRefObject*, CRefObject*) {
        int s = bus.Subscribe(TestClass, 1, q3);  // joins during the walk
        if (s != 0 && bus.Unsubscribe(s) == SM_OK) ++steps;
        if (bus.SendMessage(q2, TestClass, 7, nullptr, nullptr, true) == 0) ++steps;
        if (bus.FireEvent(chained, nullptr, nullptr, true) == 0) ++steps;
        int q = bus.CreateQueue(&third, L"temp");
        if (q != 0 && bus.DestroyQueue(q) == SM_OK) ++steps;
        return 0;
    };
    ASSERT_NE(bus.Subscribe(TestClass, 1, q1), 0);
    ASSERT_NE(bus.Subscribe(TestClass, 1, q2), 0);
    EXPECT_EQ(bus.FireEvent(event, nullptr, nullptr, true), 0);
    EXPECT_EQ(steps, 4);
    EXPECT_EQ(second.Count(), 2u);  // the direct send, then the event
    EXPECT_EQ(third.Count(), 1u);   // the chained event only
}

TEST(ServicesManager, StartupEventReachesEverySubscriberInOrderAndWaits)
{
    OrderLog log;
    RecordingReceiver receivers[3];
    for (int i = 0; i < 3; ++i)
        receivers[i].onMessage = [&log, i](int, CRefObject*, CRefObject*) {
            Sleep(20);  // the broadcast waits for each in turn
            log.Add(i);
            return 5;   // results are ignored: nobody is skipped
        };
    CServicesManager bus;
    int queues[3];
    for (int i = 0; i < 3; ++i) queues[i] = bus.CreateQueue(&receivers[i], L"Q");
    ASSERT_NE(bus.Subscribe(ZEL_GUID_NULL, SMEV_STARTUP, queues[1]), 0);
    ASSERT_NE(bus.Subscribe(ZEL_GUID_NULL, SMEV_STARTUP, 0x2FFFFFFF), 0);  // no such queue: skipped
    ASSERT_NE(bus.Subscribe(ZEL_GUID_NULL, SMEV_STARTUP, queues[2]), 0);
    ASSERT_NE(bus.Subscribe(ZEL_GUID_NULL, SMEV_STARTUP, queues[0]), 0);

    bus.FireStartupEvent();
    EXPECT_EQ(log.Entries(), (std::vector<int>{1, 2, 0}));
    for (int i = 0; i < 3; ++i) {
        std::vector<Delivery> deliveries = receivers[i].Deliveries();
        ASSERT_EQ(deliveries.size(), 1u);
        EXPECT_TRUE(deliveries[0].msgClass == ZEL_GUID_NULL);
        EXPECT_EQ(deliveries[0].code, SMEV_STARTUP);
        EXPECT_EQ(deliveries[0].v1, -1);
        EXPECT_EQ(deliveries[0].v2, -1);
        EXPECT_NE(deliveries[0].thread, GetCurrentThreadId());
    }
    // Fired as an ordinary event it is event 0x30000001.
    EXPECT_EQ(bus.FireEvent(0x30000001, nullptr, nullptr, true), 5);
}

TEST(ServicesManager, ClearAllStopsEveryQueueAndEmptiesTheMaps)
{
    RecordingReceiver receiver;
    std::atomic<bool> entered{false}, mayFinish{false};
    receiver.onMessage = [&](int code, CRefObject*, CRefObject*) {
        if (code == 1) {
            entered = true;
            while (!mayFinish) Sleep(1);
        }
        return 0;
    };
    CServicesManager bus;
    int queue = bus.CreateQueue(&receiver, L"Q");
    int idle = bus.CreateQueue(&receiver, L"idle");
    ASSERT_NE(bus.RegisterService(TestClass, &receiver), 0);
    std::atomic<int> destroyed{0};
    ASSERT_EQ(bus.SendMessage(queue, TestClass, 1, Fresh(destroyed), nullptr, false), 1);
    ASSERT_TRUE(WaitUntil([&] { return entered.load(); }));
    ASSERT_EQ(bus.SendMessage(queue, TestClass, 2, Fresh(destroyed), nullptr, false), 1);

    std::atomic<bool> cleared{false};
    std::thread clearer([&] {
        bus.ClearAll();
        cleared = true;
    });
    EXPECT_TRUE(WaitUntil([&] { return destroyed == 1; }));  // the pending message is dropped
    Sleep(50);
    EXPECT_FALSE(cleared);  // waits for the running handler
    mayFinish = true;
    clearer.join();
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(receiver.Count(), 1u);

    EXPECT_FALSE(bus.HasService(ZEL_GUID_NULL));
    EXPECT_FALSE(bus.HasService(TestClass));
    EXPECT_EQ(bus.SendMessage(queue, TestClass, 1, nullptr, nullptr, true), SM_NOT_FOUND);
    EXPECT_EQ(bus.SendMessage(idle, TestClass, 1, nullptr, nullptr, true), SM_NOT_FOUND);
    EXPECT_EQ(bus.FireEvent(0x30000001, nullptr, nullptr, true), SM_NOT_FOUND);
}

TEST(Bus, TheProcessBusIsRegisteredAndBroadcastsStartup)
{
    static RecordingReceiver receiver;  // outlives anything the global bus might still hold
    Services::CServicesManager& bus = TheBus();
    EXPECT_EQ(bus.GetService(ZEL_GUID_NULL), &bus);
    int queue = bus.CreateQueue(&receiver, L"GUI");
    ASSERT_NE(queue, 0);
    ASSERT_NE(bus.Subscribe(ZEL_GUID_NULL, SMEV_STARTUP, queue), 0);
    size_t before = receiver.Count();
    BroadcastStartup();
    ASSERT_EQ(receiver.Count(), before + 1);
    EXPECT_EQ(receiver.Deliveries().back().code, SMEV_STARTUP);
    EXPECT_EQ(bus.DestroyQueue(queue), SM_OK);
}
