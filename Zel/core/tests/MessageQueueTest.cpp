#include "BusTestSupport.h"

#include "Zel/core/bus/MessageQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace BusTest;
using Services::SM_NOT_DELIVERED;

namespace {

// The caller's reference on a payload, as SendMessage would have added it.
CountedPayload* Held(std::atomic<int>& destroyed, intptr_t value = 0)
{
    CountedPayload* payload = new CountedPayload(destroyed, value);
    payload->AddRef(1);
    return payload;
}

}  // namespace

TEST(MessageQueue, AStoppedQueueDropsEveryMessageAndFreesItsPayloads)
{
    RecordingReceiver receiver;
    CMessageQueue* queue = new CMessageQueue(L"stopped");
    queue->Start();
    queue->Stop();

    std::atomic<int> destroyed{0};
    // A post to a stopping queue still reports success; a synchronous send reports no delivery,
    // which no handler's 0 can be mistaken for.
    EXPECT_EQ(queue->PostAsync(&receiver, TestClass, 1, Held(destroyed), Held(destroyed)), 1);
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(queue->SendSync(&receiver, TestClass, 2, Held(destroyed), nullptr), SM_NOT_DELIVERED);
    EXPECT_EQ(destroyed, 3);
    PostedMessage burst[] = {{3, Held(destroyed), Held(destroyed)}, {4, Held(destroyed), nullptr}};
    EXPECT_EQ(queue->PostAsyncBurst(&receiver, TestClass, burst, 2), 1);
    EXPECT_EQ(destroyed, 6);
    EXPECT_EQ(receiver.Count(), 0u);
    queue->Release();
}

TEST(MessageQueue, AQueueThatNeverRanStopsAndDropsWhatWasPosted)
{
    RecordingReceiver receiver;
    std::atomic<int> destroyed{0};
    CMessageQueue* queue = new CMessageQueue(L"never started");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(queue->PostAsync(&receiver, TestClass, i, Held(destroyed), nullptr), 1);
    EXPECT_EQ(destroyed, 0);
    queue->Stop();  // must not wait forever for a suspended thread
    EXPECT_EQ(destroyed, 3);
    EXPECT_EQ(receiver.Count(), 0u);
    queue->Release();
}

TEST(MessageQueue, StopWaitsForTheRunningHandlerAndWakesBlockedSenders)
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
    CMessageQueue* queue = new CMessageQueue(L"busy");
    queue->Start();
    std::atomic<int> destroyed{0};
    ASSERT_EQ(queue->PostAsync(&receiver, TestClass, 1, Held(destroyed, 1), nullptr), 1);
    ASSERT_TRUE(WaitUntil([&] { return entered.load(); }));

    // Behind the running handler: two posts and a sender that waits.
    ASSERT_EQ(queue->PostAsync(&receiver, TestClass, 2, Held(destroyed, 2), nullptr), 1);
    ASSERT_EQ(queue->PostAsync(&receiver, TestClass, 3, Held(destroyed, 3), Held(destroyed, 4)), 1);
    std::atomic<int> senderResult{0};
    std::atomic<bool> senderDone{false};
    std::thread sender([&] {
        senderResult = queue->SendSync(&receiver, TestClass, 4, Held(destroyed, 5), nullptr);
        senderDone = true;
    });
    Sleep(100);  // let the sender queue its message
    EXPECT_FALSE(senderDone);

    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        queue->Stop();
        stopped = true;
    });
    // The waiting sender is released while the handler still runs, with the failure result.
    ASSERT_TRUE(WaitUntil([&] { return senderDone.load(); }));
    EXPECT_EQ(senderResult, SM_NOT_DELIVERED);
    EXPECT_TRUE(WaitUntil([&] { return destroyed == 4; }));  // every pending payload, once
    Sleep(50);
    EXPECT_FALSE(stopped);  // still waiting for the handler
    EXPECT_FALSE(finished);

    mayFinish = true;
    stopper.join();
    sender.join();
    EXPECT_TRUE(finished);
    EXPECT_EQ(destroyed, 5);  // the running message's payload after its handler
    ASSERT_EQ(receiver.Count(), 1u);
    EXPECT_EQ(receiver.Deliveries()[0].code, 1);
    queue->Release();
}

TEST(MessageQueue, AHandlerMayStopAndReleaseItsOwnQueue)
{
    RecordingReceiver receiver;
    CMessageQueue* queue = new CMessageQueue(L"self");
    std::atomic<bool> returned{false}, mayStop{false};
    std::atomic<int> nestedResult{0};
    receiver.onMessage = [&](int code, CRefObject*, CRefObject*) {
        if (code == 1) {
            while (!mayStop) Sleep(1);
            queue->Stop();     // cannot wait for itself
            nestedResult = queue->SendSync(&receiver, TestClass, 5, nullptr, nullptr);
            queue->Release();  // the creator's reference: the worker's keeps the queue until it ends
            returned = true;
        }
        return 0;
    };
    queue->Start();
    std::atomic<int> destroyed{0};
    ASSERT_EQ(queue->PostAsync(&receiver, TestClass, 1, Held(destroyed), nullptr), 1);
    ASSERT_EQ(queue->PostAsync(&receiver, TestClass, 2, Held(destroyed), nullptr), 1);
    ASSERT_EQ(queue->PostAsync(&receiver, TestClass, 3, Held(destroyed), nullptr), 1);
    mayStop = true;

    ASSERT_TRUE(WaitUntil([&] { return returned.load(); }));
    EXPECT_EQ(nestedResult, SM_NOT_DELIVERED);
    EXPECT_TRUE(WaitUntil([&] { return destroyed == 3; }));
    Sleep(50);
    ASSERT_EQ(receiver.Count(), 1u);
    EXPECT_EQ(receiver.Deliveries()[0].code, 1);
}

TEST(MessageQueue, SynchronousSendOnTheQueueThreadRunsNested)
{
    RecordingReceiver receiver;
    CMessageQueue* queue = new CMessageQueue(L"nested");
    std::vector<int> order;  // only the worker thread touches it
    receiver.onMessage = [&](int code, CRefObject*, CRefObject*) {
        order.push_back(code);
        if (code == 1) {
            int inner = queue->SendSync(&receiver, TestClass, 2, nullptr, nullptr);
            order.push_back(-2);
            return inner + 1;
        }
        return 41;
    };
    queue->Start();
    EXPECT_EQ(queue->SendSync(&receiver, TestClass, 1, nullptr, nullptr), 42);
    EXPECT_EQ(order, (std::vector<int>{1, 2, -2}));
    std::vector<Delivery> deliveries = receiver.Deliveries();
    ASSERT_EQ(deliveries.size(), 2u);
    EXPECT_EQ(deliveries[0].thread, deliveries[1].thread);
    EXPECT_NE(deliveries[0].thread, GetCurrentThreadId());
    queue->Stop();
    queue->Release();
}

TEST(MessageQueue, ALongBacklogIsDeliveredInOrder)
{
    // Enough messages to make the queue reclaim spent slots several times while the worker reads.
    RecordingReceiver receiver;
    std::atomic<bool> go{false};
    receiver.onMessage = [&](int code, CRefObject*, CRefObject*) {
        while (!go) Sleep(1);
        return 0;
    };
    CMessageQueue* queue = new CMessageQueue(L"backlog");
    queue->Start();
    const int count = 5000;
    std::atomic<int> destroyed{0};
    for (int i = 0; i < count / 2; ++i) ASSERT_EQ(queue->PostAsync(&receiver, TestClass, i, Held(destroyed), nullptr), 1);
    go = true;
    for (int i = count / 2; i < count; ++i) ASSERT_EQ(queue->PostAsync(&receiver, TestClass, i, Held(destroyed), nullptr), 1);
    EXPECT_EQ(queue->SendSync(&receiver, TestClass, FlushCode, nullptr, nullptr), 0);
    std::vector<Delivery> deliveries = receiver.Deliveries();
    ASSERT_EQ(deliveries.size(), size_t(count));
    for (int i = 0; i < count; ++i) ASSERT_EQ(deliveries[i].code, i);
    EXPECT_EQ(destroyed, count);
    queue->Stop();
    queue->Release();
}
