// FLAP and SNAC headers, the frame sequence numbers, and TLV items and chains.
#include "Wex/proto/Flap.h"
#include "Wex/proto/FlapSequence.h"
#include "Wex/proto/Tlv.h"

#include "WexTestSupport.h"

#include <gtest/gtest.h>

using namespace WexTest;
using Wex::Tlv;
using Wex::TlvChain;

TEST(FlapHeader, UnpacksOnlyAMarkedSixByteHeader)
{
    struct Case {
        const char* name;
        std::string bytes;
        int result;
        unsigned channel, sequence, length;
    };
    const Case cases[] = {
        {"a good header", "2A 02 00 07 00 0A", 6, 2, 7, 10},
        {"data need not have arrived", "2A 01 FF FF FF FF", 6, 1, 0xFFFF, 0xFFFF},
        {"five bytes", "2A 02 00 07 00", 0, 0, 0, 0},
        {"nothing", "", 0, 0, 0, 0},
        {"another marker", "2B 02 00 07 00 0A", 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GuardedBytes bytes(Hex(c.bytes));
        Wex::FlapPacket header;
        EXPECT_EQ(c.result, Wex::UnpackFlap(bytes.data(), bytes.size(), header));
        EXPECT_EQ(c.channel, header.channel);
        EXPECT_EQ(c.sequence, header.sequence);
        EXPECT_EQ(c.length, header.length);
    }
}

TEST(FlapHeader, PacksTheSixHeaderBytes)
{
    Wex::FlapPacket header;
    header.channel = 5;
    header.sequence = 0x8000;
    header.length = 0x1234;
    unsigned char out[6] = {};
    EXPECT_EQ(6, Wex::PackFlap(header, out));
    EXPECT_EQ(Hex("2A 05 80 00 12 34"), Bytes(out, out + 6));
}

TEST(SnacHeader, GivesTheBodyOffsetOfAFrameThatHoldsItsHeader)
{
    struct Case {
        const char* name;
        std::string bytes;
        int offset;
    };
    const Case cases[] = {
        {"no block", "2A 02 00 01 00 0A  00 04 00 07 00 00 00 00 00 01", 16},
        {"no block, whatever follows", "2A 02 00 01 00 0C  00 04 00 07 00 00 00 00 00 01  80 00", 16},
        {"a block of 4", "2A 02 00 01 00 12  00 04 00 07 80 00 00 00 00 01  00 04 AA BB CC DD  01 02", 22},
        {"an empty block", "2A 02 00 01 00 0C  00 04 00 07 80 01 00 00 00 01  00 00", 18},
        // A frame that lies about a length is dropped, never read past.
        {"frame shorter than a SNAC header", "2A 02 00 01 00 04  00 04 00 07", 0},
        {"header cut by the buffer", "2A 02 00 01 00 0A  00 04 00 07 00 00 00", 0},
        {"frame longer than the buffer", "2A 02 00 01 00 40  00 04 00 07 00 00 00 00 00 01", 0},
        {"block length missing", "2A 02 00 01 00 0A  00 04 00 07 80 00 00 00 00 01", 0},
        {"block runs past the frame", "2A 02 00 01 00 0E  00 04 00 07 80 00 00 00 00 01  00 05 AA BB", 0},
        {"block runs past the frame, not the buffer", "2A 02 00 01 00 0E  00 04 00 07 80 00 00 00 00 01  00 05 AA BB CC DD EE", 0},
        {"bad marker", "2B 02 00 01 00 0A  00 04 00 07 00 00 00 00 00 01", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GuardedBytes bytes(Hex(c.bytes));
        Wex::SnacPacket snac;
        int offset = Wex::UnpackSnac(bytes.data(), bytes.size(), snac);
        EXPECT_EQ(c.offset, offset);
        if (offset) {
            EXPECT_EQ(2, snac.channel);
            EXPECT_EQ(4, snac.family);
            EXPECT_EQ(7, snac.subtype);
            EXPECT_EQ(1u, snac.requestId);
        }
    }
}

TEST(SnacHeader, PacksHeadersOnChannelTwo)
{
    Wex::SnacPacket header;
    header.channel = 9;  // not used: a SNAC travels on channel 2
    header.sequence = 0x0102;
    header.length = 10;
    header.family = 0x13;
    header.subtype = 0x04;
    header.flags = 0x0001;
    header.requestId = 0x10004;
    unsigned char out[16] = {};
    EXPECT_EQ(16, Wex::PackSnac(header, out));
    EXPECT_EQ(Hex("2A 02 01 02 00 0A 00 13 00 04 00 01 00 01 00 04"), Bytes(out, out + 16));
}

TEST(FlapSequence, IsSeededFromTheDrawAndNeverAbove0x7FFE)
{
    EXPECT_EQ(2, Wex::SeedFlapSequence(0));
    EXPECT_EQ(3, Wex::NextFlapSequence(Wex::SeedFlapSequence(0)));
    EXPECT_EQ(0x11, Wex::SeedFlapSequence(8));
    EXPECT_EQ(0x12, Wex::NextFlapSequence(Wex::SeedFlapSequence(8)));
    EXPECT_EQ(Wex::SeedFlapSequence(8), Wex::SeedFlapSequence(0x18008)) << "only the low 15 bits count";
    unsigned highest = 0;
    for (unsigned draw = 0; draw <= 0xFFFF; ++draw) highest = std::max<unsigned>(highest, Wex::SeedFlapSequence(draw));
    EXPECT_EQ(unsigned(Wex::MaxSeededSequence), highest);
}

TEST(FlapSequence, Uses0x8000OnceThenWrapsToZero)
{
    EXPECT_EQ(0x8000, Wex::NextFlapSequence(0x7FFF));
    EXPECT_EQ(0, Wex::NextFlapSequence(0x8000));
    EXPECT_EQ(1, Wex::NextFlapSequence(0));
}

TEST(TlvItem, ConstructorsStoreTheirValuesBigEndian)
{
    struct Case {
        const char* name;
        Tlv item;
        unsigned type;
        std::string value;
    };
    const unsigned char bytes[] = {1, 2, 3};
    const Case cases[] = {
        {"default", Tlv(), 0xFFFF, ""},
        {"u8", Tlv(0x94, (unsigned char)0xAB), 0x94, "AB"},
        {"u16", Tlv(0x17, (unsigned short)0x0102), 0x17, "01 02"},
        {"u32", Tlv(0x14, 30007u), 0x14, "00 00 75 37"},
        {"bytes", Tlv(0x06, (unsigned short)3, bytes), 0x06, "01 02 03"},
        {"empty bytes", Tlv(0x4C, (unsigned short)0, nullptr), 0x4C, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.type, c.item.GetType());
        Bytes value = Hex(c.value);
        EXPECT_EQ(value.size(), c.item.GetLength());
        EXPECT_EQ(value, Bytes(c.item.GetValue(), c.item.GetValue() + c.item.GetLength()));
        EXPECT_EQ(value.empty(), c.item.GetValue() == nullptr);
    }
}

TEST(TlvItem, CopiesOwnTheirValue)
{
    const unsigned char bytes[] = {1, 2, 3};
    Tlv original(1, (unsigned short)3, bytes);
    Tlv copy(original);
    Tlv assigned;
    assigned = original;
    original.Set(2, 1, bytes + 2);
    EXPECT_EQ(2, original.GetType());
    EXPECT_EQ(1, original.GetLength());
    for (const Tlv* item : {&copy, &assigned}) {
        EXPECT_EQ(1, item->GetType());
        EXPECT_EQ(Hex("01 02 03"), Bytes(item->GetValue(), item->GetValue() + item->GetLength()));
    }
}

TEST(TlvChain, ParsesWholeItemsAndDropsOneThatRunsPast)
{
    struct Case {
        const char* name;
        std::string bytes;
        size_t result;
        std::vector<std::pair<unsigned, std::string>> items;
    };
    const Case cases[] = {
        {"an item, then one that runs past", "00 01 00 02 AA BB  00 05 00 09 11", 6, {{1, "AA BB"}}},
        {"three bytes", "00 01 00", 0, {}},
        {"nothing", "", 0, {}},
        {"an empty item", "00 4C 00 00", 4, {{0x4C, ""}}},
        {"two of one type, kept in order", "00 05 00 01 01  00 05 00 01 02", 10, {{5, "01"}, {5, "02"}}},
        {"three trailing bytes ignored", "00 01 00 01 AA  00 02 00", 5, {{1, "AA"}}},
        {"the first runs past", "00 01 FF FF 00 02 00 00", 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GuardedBytes bytes(Hex(c.bytes));
        TlvChain chain;
        EXPECT_EQ(c.result, chain.Parse(bytes.data(), bytes.size()));
        ASSERT_EQ(int(c.items.size()), chain.GetCount());
        for (int i = 0; i < chain.GetCount(); ++i) {
            EXPECT_EQ(c.items[size_t(i)].first, chain[i].GetType());
            EXPECT_EQ(Hex(c.items[size_t(i)].second), Bytes(chain[i].GetValue(), chain[i].GetValue() + chain[i].GetLength()));
        }
    }
}

TEST(TlvChain, ParseFromStopsBeforeAnItemThatDoesNotFit)
{
    Bytes bytes = Hex("00 01 00 01 AA  00 02 00 01 BB  00 03 00 09 CC");
    ByteReader reader(bytes.data(), bytes.size());
    TlvChain chain;
    chain.ParseFrom(reader, 1);
    EXPECT_EQ(1, chain.GetCount());
    EXPECT_EQ(5u, reader.Offset());
    chain.ParseFrom(reader, 5);
    EXPECT_EQ(2, chain.GetCount());
    EXPECT_EQ(10u, reader.Offset()) << "left before the item that runs past";
    EXPECT_FALSE(reader.Failed());
}

TEST(TlvChain, ParseCountsItemsHeldBefore)
{
    TlvChain chain;
    chain.Add(Tlv(1, (unsigned short)7));
    Bytes bytes = Hex("00 02 00 01 AA");
    EXPECT_EQ(11u, chain.Parse(bytes.data(), bytes.size()));
    EXPECT_EQ(2, chain.GetCount());
}

TEST(TlvChain, FindsTheFirstItemOfAType)
{
    TlvChain chain;
    chain.Add(Tlv(5, (unsigned char)1));
    chain.Add(Tlv(6, (unsigned char)2));
    chain.Add(Tlv(5, (unsigned char)3));
    ASSERT_NE(nullptr, chain.Find(5));
    EXPECT_EQ(1, chain.Find(5)->GetValue()[0]);
    EXPECT_EQ(nullptr, chain.Find(7));
}

TEST(TlvChain, SerialisesBigOrLittleEndianHeadsWithValuesAsTheyAre)
{
    TlvChain chain;
    const unsigned char value[] = {1, 2, 3, 4};
    chain.Add(Tlv(0x0136, (unsigned short)4, value));
    EXPECT_EQ(Hex("36 01 04 00 01 02 03 04"), chain.Serialize(true));
    EXPECT_EQ(Hex("01 36 00 04 01 02 03 04"), chain.Serialize(false));
    EXPECT_EQ(8u, chain.TotalSize());
    EXPECT_TRUE(TlvChain().Serialize().empty());
    EXPECT_EQ(0u, TlvChain().TotalSize());
}

TEST(TlvChain, KeepsTheOrderOfManyItems)
{
    TlvChain chain;
    for (unsigned short i = 0; i < 25; ++i) EXPECT_EQ(int(i), chain.Add(Tlv(i, (unsigned short)(i * 3))));
    ASSERT_EQ(25, chain.GetCount());
    for (int i = 0; i < 25; ++i) EXPECT_EQ(i, chain[i].GetType());
    TlvChain copy = chain;
    Bytes bytes = chain.Serialize();
    TlvChain parsed;
    EXPECT_EQ(bytes.size(), parsed.Parse(bytes.data(), bytes.size()));
    EXPECT_EQ(bytes, parsed.Serialize());
    EXPECT_EQ(bytes, copy.Serialize());
}
