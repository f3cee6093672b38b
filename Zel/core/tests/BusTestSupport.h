// Doubles for the bus tests: payloads that count their destructions and receivers that record what
// reached them, on which thread.
#pragma once

#include "Zel/core/bus/Payloads.h"
#include "Zel/core/bus/ServicesManager.h"
#include "ZELCommon/tests/WaitUntil.h"

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

namespace BusTest {

const ZEL_GUID TestClass = {0x0BADF00D, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};
const ZEL_GUID OtherClass = {0x0BADF00D, 0x1234, 0x5678, {8, 7, 6, 5, 4, 3, 2, 1}};

// Not recorded: a synchronous send of it returns once everything posted before it was handled.
const int FlushCode = 9999;

class CountedPayload : public CRefObject {
public:
    CountedPayload(std::atomic<int>& destroyed, intptr_t value = 0) : value(value), destroyed(destroyed) {}
    ~CountedPayload() override { ++destroyed; }

    intptr_t value;

private:
    std::atomic<int>& destroyed;
};

// The value a payload carries; -1 for none.
inline intptr_t PayloadValue(CRefObject* payload)
{
    if (!payload) return -1;
    if (CRefValue* value = dynamic_cast<CRefValue*>(payload)) return value->value;
    if (CountedPayload* counted = dynamic_cast<CountedPayload*>(payload)) return counted->value;
    return -1;
}

struct Delivery {
    ZEL_GUID msgClass;
    int code;
    intptr_t v1;
    intptr_t v2;
    DWORD thread;
};

class RecordingReceiver : public QueueReceiver {
public:
    // Decides the handler's result when set; runs after the message is recorded.
    std::function<int(int code, CRefObject* p1, CRefObject* p2)> onMessage;

    int HandleMessage(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2) override
    {
        if (code == FlushCode) return 0;
        {
            std::lock_guard<std::mutex> hold(mutex);
            deliveries.push_back({msgClass, code, PayloadValue(p1), PayloadValue(p2), GetCurrentThreadId()});
        }
        return onMessage ? onMessage(code, p1, p2) : 0;
    }

    std::vector<Delivery> Deliveries()
    {
        std::lock_guard<std::mutex> hold(mutex);
        return deliveries;
    }

    size_t Count()
    {
        std::lock_guard<std::mutex> hold(mutex);
        return deliveries.size();
    }

private:
    std::mutex mutex;
    std::vector<Delivery> deliveries;
};

// The bus tests allow a longer default wait than the shared helper.
template <typename Check> bool WaitUntil(Check check, DWORD milliseconds = 10000)
{
    return TestSupport::WaitUntil(check, milliseconds);
}

inline int Flush(Services::CServicesManager& bus, int queue)
{
    return bus.SendMessage(queue, TestClass, FlushCode, nullptr, nullptr, true);
}

}  // namespace BusTest
