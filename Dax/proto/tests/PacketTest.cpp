// The packet header, the three text encodings of LPS fields, and the reader that cuts the stream.
#include "Dax/proto/MrimCommands.h"
#include "Dax/proto/PacketReader.h"
#include "Dax/proto/tests/MrimTestSupport.h"

#include <gtest/gtest.h>

using namespace MrimTest;
using Mrim::Encoding;

TEST(MrimPacket, HeaderIsWrittenFieldByField)
{
    Bytes packet = Mrim::BuildPacket(0x1008, 7, Hex("01 02 03"));
    EXPECT_EQ(ToHex(Hex("EF BE AD DE  13 00 01 00  07 00 00 00  08 10 00 00  03 00 00 00"
                        "00 00 00 00  00 00 00 00  00000000 00000000 00000000 00000000  01 02 03")),
              ToHex(packet));
    Mrim::PacketHeader header;
    ASSERT_TRUE(Mrim::ReadHeader(packet.data(), packet.size(), header));
    EXPECT_EQ(0xDEADBEEFu, header.magic);
    EXPECT_EQ(0x00010013u, header.version);
    EXPECT_EQ(7u, header.sequence);
    EXPECT_EQ(0x1008u, header.command);
    EXPECT_EQ(3u, header.bodyLength);
    EXPECT_FALSE(Mrim::ReadHeader(packet.data(), 43, header));
}

TEST(MrimPacket, TextsInEachEncoding)
{
    struct Case {
        const char* name;
        std::wstring text;
        Encoding encoding;
        Bytes bytes;
    } cases[] = {
        {"UTF-8 Cyrillic", L"\u041F\u0440\u0438", Encoding::Utf8, Hex("D0 9F D1 80 D0 B8")},
        {"code page 1251", L"\u041F\u0440\u0438", Encoding::Cp1251, Hex("CF F0 E8")},
        {"UTF-16LE", L"A\u041F", Encoding::Utf16LE, Hex("41 00 1F 04")},
        {"empty", L"", Encoding::Utf16LE, Bytes()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ToHex(c.bytes), ToHex(Mrim::Encode(Str(c.text), c.encoding)));
        EXPECT_EQ(c.text, Text(Mrim::Decode(c.bytes, c.encoding)));
    }
    // An odd last byte of a UTF-16LE field is left out.
    EXPECT_EQ(L"A", Text(Mrim::Decode(Hex("41 00 42"), Encoding::Utf16LE)));
}

TEST(MrimPacket, LpsIsBoundedByTheBody)
{
    Bytes good = Wire().Lps("abc").U32(9);
    ByteReader reader(good.data(), good.size());
    EXPECT_EQ(L"abc", Text(Mrim::ReadLps(reader, Encoding::Utf8)));
    EXPECT_EQ(9u, reader.U32LE());

    for (const Bytes& bad : {Wire().U32(4).Text("abc").Get(), Wire().U32(0xFFFFFFFF).Text("abc").Get(), Hex("03 00")}) {
        ByteReader hostile(bad.data(), bad.size());
        EXPECT_TRUE(Mrim::ReadLps(hostile, Encoding::Utf8).IsEmpty());
        EXPECT_TRUE(hostile.Failed());
    }
}

TEST(MrimCommandTable, HoldsThirtyDistinctCommands)
{
    int toServer = 0;
    for (size_t i = 0; i < 30; ++i) {
        const Mrim::CommandInfo& row = Mrim::CommandTable[i];
        EXPECT_EQ(&row, Mrim::FindCommand(row.code));
        if (i > 0) {
            EXPECT_LT(Mrim::CommandTable[i - 1].code, row.code);
        }
        toServer += row.direction == Mrim::Direction::ToServer;
    }
    EXPECT_EQ(12, toServer);
    EXPECT_EQ(nullptr, Mrim::FindCommand(0x1003));
}

namespace {

// Feeds stream in pieces of chunk bytes (the last one shorter) and gathers every packet handed out.
std::vector<Bytes> Cut(const Bytes& stream, size_t chunk, std::vector<unsigned>* commands = nullptr)
{
    Mrim::PacketReader reader;
    std::vector<Bytes> bodies;
    for (size_t at = 0; at < stream.size(); at += chunk) {
        reader.Feed(stream.data() + at, std::min(chunk, stream.size() - at));
        Mrim::Packet packet;
        while (reader.Next(packet) == Mrim::PacketReader::GotPacket) {
            bodies.emplace_back(packet.body, packet.body + packet.length);
            if (commands) commands->push_back(packet.header.command);
        }
    }
    return bodies;
}

} // namespace

TEST(MrimPacketReader, EveryChunkSizeDispatchesEachPacketOnce)
{
    Bytes stream;
    std::vector<Bytes> expected = {Hex("01 02 03 04"), Bytes(), Wire().Lps("user@example.org").U32(5).Get(),
                                   Bytes(300, 0x5A)};
    unsigned command = 0x1002;
    for (const Bytes& body : expected) {
        Bytes packet = Packet(command++, 0, body);
        stream.insert(stream.end(), packet.begin(), packet.end());
    }
    for (size_t chunk = 1; chunk <= stream.size(); ++chunk) {
        SCOPED_TRACE(chunk);
        std::vector<unsigned> commands;
        ASSERT_EQ(expected, Cut(stream, chunk, &commands));
        EXPECT_EQ((std::vector<unsigned>{0x1002, 0x1003, 0x1004, 0x1005}), commands);
    }
}

TEST(MrimPacketReader, SplitAtEveryOffsetDispatchesOnce)
{
    Bytes stream = Packet(0x1009, 3, Wire().U32(1).U32(0).Lps("a@b.c").Lps("hi").U32(0));
    Bytes second = Packet(0x1004, 4, Bytes());
    stream.insert(stream.end(), second.begin(), second.end());
    for (size_t split = 0; split <= stream.size(); ++split) {
        SCOPED_TRACE(split);
        Mrim::PacketReader reader;
        int count = 0;
        Mrim::Packet packet;
        reader.Feed(stream.data(), split);
        while (reader.Next(packet) == Mrim::PacketReader::GotPacket) ++count;
        reader.Feed(stream.data() + split, stream.size() - split);
        while (reader.Next(packet) == Mrim::PacketReader::GotPacket) ++count;
        EXPECT_EQ(2, count);
        EXPECT_EQ(0u, reader.Buffered());
    }
}

TEST(MrimPacketReader, ForeignMagicIsDispatchedAllTheSame)
{
    Bytes packet = Packet(0x1004, 1, Bytes());
    packet[0] = 0x11;
    packet[4] = 0x22;
    Mrim::PacketReader reader;
    reader.Feed(packet.data(), packet.size());
    Mrim::Packet out;
    ASSERT_EQ(Mrim::PacketReader::GotPacket, reader.Next(out));
    EXPECT_EQ(0x1004u, out.header.command);
    EXPECT_EQ(0u, out.length);
}

TEST(MrimPacketReader, OversizedBodyStopsTheStreamWithoutWrapping)
{
    for (unsigned length : {0xFFFFFFF0u, 0xFFFFFFFFu, unsigned(Mrim::MaxBodyLength) + 1}) {
        SCOPED_TRACE(length);
        Bytes header = Wire().U32(0xDEADBEEF).U32(0x00010013).U32(1).U32(0x1009).U32(length).Raw(Bytes(24, 0));
        Mrim::PacketReader reader;
        reader.Feed(header.data(), header.size());
        Bytes more(64, 0);
        reader.Feed(more.data(), more.size());
        Mrim::Packet out;
        EXPECT_EQ(Mrim::PacketReader::Oversized, reader.Next(out));
        reader.Feed(header.data(), header.size());
        EXPECT_EQ(Mrim::PacketReader::Oversized, reader.Next(out));
        reader.Reset();
        Bytes good = Packet(0x1004, 1, Bytes());
        reader.Feed(good.data(), good.size());
        EXPECT_EQ(Mrim::PacketReader::GotPacket, reader.Next(out));
    }
    // The largest body allowed is still waited for.
    Bytes header = Wire().U32(0xDEADBEEF).U32(0).U32(1).U32(0x1037).U32(Mrim::MaxBodyLength).Raw(Bytes(24, 0));
    Mrim::PacketReader reader;
    reader.Feed(header.data(), header.size());
    Mrim::Packet out;
    EXPECT_EQ(Mrim::PacketReader::NeedMore, reader.Next(out));
}
