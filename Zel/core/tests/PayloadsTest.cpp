#include "BusTestSupport.h"

#include "Zel/core/bus/Payloads.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <thread>
#include <vector>

using BusTest::CountedPayload;

TEST(RefObject, CountChangesFreeTheObjectExactlyWhenTheCountEndsAtZero)
{
    struct Case {
        const char* name;
        std::vector<int> addRefs;  // AddRef arguments; 0x7FFF means Release
        int destroyedAfter;
    };
    const int R = 0x7FFF;
    const Case cases[] = {
        {"AddRef(0) on a fresh object frees it", {0}, 1},
        {"AddRef(1) keeps a fresh object", {1}, 0},
        {"AddRef(1) then Release frees", {1, R}, 1},
        {"AddRef(3) and two releases keep it", {3, R, R}, 0},
        {"AddRef(3) and three releases free it", {3, R, R, R}, 1},
        {"AddRef(2) then AddRef(-2) frees", {2, -2}, 1},
        {"AddRef(0) on a held object keeps it", {1, 0}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<int> destroyed{0};
        CountedPayload* payload = new CountedPayload(destroyed);
        for (int n : c.addRefs) {
            ASSERT_EQ(destroyed, 0);
            if (n == R)
                payload->Release();
            else
                payload->AddRef(n);
        }
        EXPECT_EQ(destroyed, c.destroyedAfter);
        // Whatever count is left, releasing it frees the object once.
        while (destroyed == 0) payload->Release();
        EXPECT_EQ(destroyed, 1);
    }
}

TEST(RefObject, ReleasesFromManyThreadsFreeOnce)
{
    std::atomic<int> destroyed{0};
    const int threads = 8, perThread = 2000;
    CountedPayload* payload = new CountedPayload(destroyed);
    payload->AddRef(threads * perThread);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([payload] {
            for (int i = 0; i < perThread; ++i) payload->Release();
        });
    for (std::thread& worker : workers) worker.join();
    EXPECT_EQ(destroyed, 1);
}

TEST(RefObject, ACopyIsANewObjectThatNobodyHolds)
{
    std::atomic<int> destroyed{0};
    CountedPayload* original = new CountedPayload(destroyed, 5);
    original->AddRef(1);
    CountedPayload* copy = new CountedPayload(*original);
    EXPECT_EQ(copy->value, 5);
    copy->AddRef(0);  // count 0: freed
    EXPECT_EQ(destroyed, 1);
    original->Release();
    EXPECT_EQ(destroyed, 2);
}

TEST(Payloads, RefValueCarriesAFullPointer)
{
    static_assert(sizeof(CRefValue::value) == sizeof(void*), "values carry pointers");
    // An address above 4 GiB loses its top half in a 32-bit field.
    void* high = reinterpret_cast<void*>(uintptr_t(0x7FF612345678ull));
    CRefValue* value = new CRefValue(reinterpret_cast<intptr_t>(high));
    EXPECT_EQ(reinterpret_cast<void*>(value->value), high);
    CRefValue negative(-2);
    EXPECT_EQ(negative.value, -2);
    value->AddRef(0);
}

TEST(Payloads, StringPayloadHoldsItsOwnCopy)
{
    CZELString text(L"hello");
    CStringPayload* payload = NewStringPayload(text);
    ASSERT_NE(payload, nullptr);
    text += L" world";
    EXPECT_TRUE(payload->text == L"hello");
    payload->AddRef(1);
    payload->Release();  // frees the payload and its string

    CStringPayload* empty = NewStringPayload(CZELString());
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(empty->text.IsEmpty());
    empty->AddRef(0);
}

TEST(Payloads, NewMessageRecordIsStampedNowWithEmptyTexts)
{
    time_t before = time(nullptr);
    MessageRecord record;
    time_t after = time(nullptr);
    EXPECT_GE(record.timeStamp.GetUnixTime(), unsigned(before) - 1);
    EXPECT_LE(record.timeStamp.GetUnixTime(), unsigned(after) + 1);
    EXPECT_TRUE(record.text.IsEmpty());
    EXPECT_TRUE(record.secondText.IsEmpty());

    record.contactId = int(0x80000001);
    record.messageNumber = 7;
    record.flags = 1;
    record.kind = -1;
    record.text = L"hi";
    record.secondText = L"there";
    MessageRecord copy(record);
    record.text = L"changed";
    EXPECT_EQ(copy.contactId, int(0x80000001));
    EXPECT_EQ(copy.messageNumber, 7);
    EXPECT_EQ(copy.flags, 1);
    EXPECT_EQ(copy.kind, -1);
    EXPECT_EQ(copy.timeStamp.GetUnixTime(), record.timeStamp.GetUnixTime());
    EXPECT_TRUE(copy.text == L"hi");
    EXPECT_TRUE(copy.secondText == L"there");
}

TEST(Payloads, StatusRecordsCopyTheirArrays)
{
    StatusInfo info;
    info.status = 3;
    info.kinds.Add(1);
    info.images.Add(10);
    info.images.Add(11);
    StatusInfo copy(info);
    info.images.Add(12);
    EXPECT_EQ(copy.status, 3);
    EXPECT_EQ(copy.kinds.GetCount(), 1);
    ASSERT_EQ(copy.images.GetCount(), 2);
    EXPECT_EQ(copy.images[1], 11);

    StatusEntry entry;
    EXPECT_TRUE(entry.name.IsEmpty());
    EXPECT_EQ(entry.images.GetCount(), 0);
    for (int i = 0; i < 10; ++i) entry.images.Add(i);
    EXPECT_EQ(entry.images.GetCapacity(), 10);  // grows by 10
    entry.name = L"Online";
    StatusEntry assigned;
    assigned = entry;
    entry.name = L"Away";
    EXPECT_TRUE(assigned.name == L"Online");
    EXPECT_EQ(assigned.images.GetCount(), 10);
}
