// Hostile bodies through every reader: none may crash or read outside its buffer. Each body is
// copied into a buffer of exactly its size, so a read past the end is one past the allocation.
#include "Dax/proto/PacketReader.h"
#include "Dax/proto/tests/MrimTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

using namespace MrimTest;

namespace {

void Replay(const Bytes& body)
{
    std::unique_ptr<unsigned char[]> exact(new unsigned char[body.size() + 1]);
    std::copy(body.begin(), body.end(), exact.get());
    for (size_t cut = 0; cut <= body.size(); ++cut) ReadEveryWay(exact.get(), cut);
}

} // namespace

TEST(MrimHostileInput, CorpusThroughEveryReader)
{
    const Bytes corpus[] = {
        Bytes(),
        Hex("FF FF FF FF"),
        Hex("00 00 00 00 FF FF FF FF"),
        Wire().U32(0).U32(0xFFFFFFFF).Lps("us").Lps("uussuus"),          // a huge group count
        Wire().U32(0).U32(3).Lps("").Lps("").U32(1),                      // masks that read nothing
        Wire().U32(0).U32(1).Lps("us").Lps("uussuus").U32(2).U32(0xFFFFFFF0),
        Wire().U32(0).U32(0).Lps("us").Lps("xyz").U32(1),                 // contacts of no fields
        Wire().U32(1).U32(0xFFFFFFFF).U32(0xFFFFFFFF).U32(0).Lps("username"),  // anketa: huge counts
        Wire().U32(1).U32(0).U32(0xFFFFFFFF).U32(0),                      // no columns, many rows
        Wire().U32(1).U32(2).U32(5).U32(0).Lps("username").Lps("domain").Lps("a").U32(70000),
        Wire().U32(1).U32(0x08).Lps("a@b").Lps("AgAAAA=="),               // an auth block of n = 2, nothing else
        Wire().U32(1).U32(0x08).Lps("a@b").Lps("////"),
        Wire().U32(1).U32(0x00100000).Lps("a@b").Lps(Hex("41")),          // odd UTF-16 length
        Wire().U32(1).Lps("k").U32(0x7FFFFFFF),
        Wire().Raw(Hex("0102030405060708")).U32(0).Text("Content-Type: multipart/alternative; boundary=\n\n--\n"),
        Wire().Raw(Hex("0102030405060708")).U32(0).Text("a: b\nContent-Type: text/plain\nFrom: x\nDate: y\n"
                                                        "X-MRIM-Flags: zz\n\n"),
        Wire().Raw(Hex("0102030405060708")).U32(0).Text("<smile>id=</smile><###20###img><smile>alt='"),
        Bytes(4096, 0xFF),
        Bytes(4096, 0x00),
    };
    for (size_t i = 0; i < sizeof corpus / sizeof corpus[0]; ++i) {
        SCOPED_TRACE(i);
        Replay(corpus[i]);
    }
}

TEST(MrimHostileInput, RandomBytesThroughTheReaderAndEveryReader)
{
    unsigned state = 12345;
    auto next = [&state]() {
        state = state * 1103515245u + 12345u;
        return (unsigned char)(state >> 16);
    };
    for (int round = 0; round < 200; ++round) {
        Bytes body(size_t(next()) + 1);
        for (unsigned char& b : body) b = next() < 64 ? 0 : next();
        Replay(body);
        Mrim::PacketReader reader;
        reader.Feed(body.data(), body.size());
        Mrim::Packet packet;
        while (reader.Next(packet) == Mrim::PacketReader::GotPacket) ReadEveryWay(packet.body, packet.length);
    }
}
