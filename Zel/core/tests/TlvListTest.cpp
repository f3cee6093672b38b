#include "Zel/core/history/TlvList.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;

Bytes Value(const Tlv& item)
{
    return item.GetLength() ? Bytes(item.GetValue(), item.GetValue() + item.GetLength()) : Bytes();
}

TEST(TlvListTest, ItemsHoldTheirValues)
{
    Tlv number(7, 42u);
    EXPECT_EQ(7, number.GetType());
    EXPECT_EQ((Bytes{0, 0, 0, 42}), Value(number));
    unsigned out = 0;
    EXPECT_TRUE(number.GetUint32(out));
    EXPECT_EQ(42u, out);
    EXPECT_EQ((Bytes{0x12, 0x34, 0x56, 0x78}), Value(Tlv(1, 0x12345678u)));

    const unsigned char bytes[] = {1, 2, 3};
    Tlv three(0x0102, 3, bytes);
    EXPECT_EQ((Bytes{1, 2, 3}), Value(three));
    out = 99;
    EXPECT_FALSE(three.GetUint32(out));
    EXPECT_EQ(99u, out);

    Tlv empty(5, 0, nullptr);
    EXPECT_EQ(0, empty.GetLength());
    EXPECT_EQ(nullptr, empty.GetValue());
}

TEST(TlvListTest, CopiesOwnTheirBytes)
{
    unsigned char bytes[] = {1, 2};
    Tlv original(1, 2, bytes);
    bytes[0] = 9;  // the item copied them
    Tlv copy = original;
    Tlv assigned(3, 0u);
    assigned = original;
    EXPECT_EQ((Bytes{1, 2}), Value(original));
    EXPECT_EQ((Bytes{1, 2}), Value(copy));
    EXPECT_EQ((Bytes{1, 2}), Value(assigned));
    EXPECT_NE(original.GetValue(), copy.GetValue());
}

TEST(TlvListTest, SerialisesBigEndianAndLittleEndian)
{
    const unsigned char one[] = {0xAB};
    const unsigned char text[] = {'h', 'i'};
    TlvList list;
    list.Add(Tlv(0x0102, 1, one));
    list.Add(Tlv(0x0003, 0, nullptr));
    list.Add(Tlv(0xFF04, 2, text));
    EXPECT_EQ(3u, list.GetCount());
    EXPECT_EQ(5u + 4u + 6u, list.GetSize());
    EXPECT_EQ((Bytes{0x01, 0x02, 0x00, 0x01, 0xAB, 0x00, 0x03, 0x00, 0x00, 0xFF, 0x04, 0x00, 0x02, 'h', 'i'}),
              list.Serialise(false));
    EXPECT_EQ((Bytes{0x02, 0x01, 0x01, 0x00, 0xAB, 0x03, 0x00, 0x00, 0x00, 0x04, 0xFF, 0x02, 0x00, 'h', 'i'}),
              list.Serialise(true));
    EXPECT_TRUE(TlvList().Serialise().empty());
}

TEST(TlvListTest, ParsesWholeItemsOnly)
{
    struct Case {
        const char* name;
        Bytes input;
        size_t result;
        std::vector<Bytes> values;  // of the items parsed, in order
    };
    const Case cases[] = {
        {"one number", {0, 1, 0, 4, 0, 0, 0, 0x2A}, 8, {{0, 0, 0, 0x2A}}},
        {"value one byte short", {0, 1, 0, 5, 0, 0, 0, 0x2A}, 0, {}},
        {"one trailing byte", {0, 1, 0, 1, 7, 9}, 5, {{7}}},
        {"two trailing bytes", {0, 1, 0, 1, 7, 9, 9}, 5, {{7}}},
        {"three trailing bytes", {0, 1, 0, 1, 7, 9, 9, 9}, 5, {{7}}},
        {"an empty item after one", {0, 1, 0, 1, 7, 0, 2, 0, 0}, 9, {{7}, {}}},
        {"second item cut short", {0, 1, 0, 1, 7, 0, 2, 0, 3, 1, 2}, 5, {{7}}},
        {"largest length, nothing behind", {0, 1, 0xFF, 0xFF, 1, 2, 3}, 0, {}},
        {"shorter than a header", {0, 1, 0}, 0, {}},
        {"nothing", {}, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TlvList list;
        EXPECT_EQ(c.result, list.Parse(c.input.data(), int(c.input.size())));
        ASSERT_EQ(c.values.size(), list.GetCount());
        for (unsigned i = 0; i < list.GetCount(); ++i) EXPECT_EQ(c.values[i], Value(list.At(i)));
    }
}

TEST(TlvListTest, ParseCountsItemsHeldBefore)
{
    const unsigned char input[] = {0, 1, 0, 1, 7};
    TlvList list;
    list.Add(Tlv(9, 1u));
    EXPECT_EQ(8u + 5u, list.Parse(input, sizeof input));
    EXPECT_EQ(9, list.At(0).GetType());
    EXPECT_EQ(1, list.At(1).GetType());
}

TEST(TlvListTest, ParseRefusesNoInput)
{
    TlvList list;
    EXPECT_EQ(0u, list.Parse(nullptr, 8));
    const unsigned char input[] = {0, 1, 0, 0};
    EXPECT_EQ(0u, list.Parse(input, -1));
    EXPECT_EQ(0u, list.GetCount());
}

TEST(TlvListTest, EveryTruncationParsesTheWholeItemsBeforeTheCut)
{
    const unsigned char a[] = {1, 2, 3}, c[] = {'x', 'y', 'z', 'w'};
    TlvList good;
    good.Add(Tlv(1, 3, a));
    good.Add(Tlv(2, 0, nullptr));
    good.Add(Tlv(3, 4, c));
    good.Add(Tlv(4, 0xDEADBEEFu));
    Bytes bytes = good.Serialise();
    const size_t ends[] = {7, 11, 19, 27};  // where each item ends

    for (size_t cut = 0; cut <= bytes.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        Bytes input(bytes.begin(), bytes.begin() + cut);  // a copy of exactly that size
        TlvList list;
        list.Parse(input.data(), int(input.size()));
        unsigned whole = 0;
        while (whole < 4 && ends[whole] <= cut) ++whole;
        ASSERT_EQ(whole, list.GetCount());
        for (unsigned i = 0; i < whole; ++i) {
            EXPECT_EQ(good.At(i).GetType(), list.At(i).GetType());
            EXPECT_EQ(Value(good.At(i)), Value(list.At(i)));
        }
    }
}

TEST(TlvListTest, RoundTripsThroughParse)
{
    Bytes big(0xFFFF, 0x5A);
    TlvList list;
    list.Add(Tlv(0xFFFF, 0xFFFF, big.data()));
    list.Add(Tlv(0, 0, nullptr));
    list.Add(Tlv(1, 1u));
    list.Add(Tlv(1, 2u));
    Bytes bytes = list.Serialise();
    TlvList parsed;
    EXPECT_EQ(bytes.size(), parsed.Parse(bytes.data(), int(bytes.size())));
    EXPECT_EQ(bytes, parsed.Serialise());
}

TEST(TlvListTest, FindGivesTheFirstOfAType)
{
    TlvList list;
    list.Add(Tlv(2, 10u));
    list.Add(Tlv(1, 20u));
    list.Add(Tlv(1, 30u));
    const Tlv* found = list.Find(1);
    ASSERT_NE(nullptr, found);
    unsigned value = 0;
    found->GetUint32(value);
    EXPECT_EQ(20u, value);
    EXPECT_EQ(nullptr, list.Find(3));
    EXPECT_EQ(nullptr, list.Find(0x10001));  // a type no item can have
}

TEST(TlvListTest, AtPastTheEndThrows)
{
    TlvList list;
    list.Add(Tlv(1, 1u));
    EXPECT_EQ(1, list.At(0).GetType());
    try {
        list.At(1);
        FAIL() << "no exception";
    } catch (const std::out_of_range& error) {
        EXPECT_STREQ("invalid vector<T> subscript", error.what());
    }
    list.Clear();
    EXPECT_EQ(0u, list.GetCount());
    EXPECT_EQ(0u, list.GetSize());
    EXPECT_THROW(list.At(0), std::out_of_range);
}

}  // namespace
