// Stream compression against zlib itself: what we send inflates whole at every flush, what a server
// sends comes out whole however it is split, a burst is drained at once, and a decompression bomb
// fed to the receive path (XmppInput) ends at the parser's limits.
#include "Jabber/stream/StreamCompression.h"
#include "Jabber/stream/XmppInput.h"

#include "Jabber/xml/XmlStreamParser.h"

#include "Jabber/tests/XmlTestSupport.h"

#include <gtest/gtest.h>
#include <zlib.h>

namespace {

// The server's side: a zlib stream of the pieces, each ended by a sync flush, or generated piece
// after piece by next() until it gives an empty one.
class ReferenceDeflater {
public:
    explicit ReferenceDeflater(int level = Z_DEFAULT_COMPRESSION) { deflateInit(&stream, level); }
    ~ReferenceDeflater() { deflateEnd(&stream); }

    std::string Deflate(const std::string& piece, int flush = Z_SYNC_FLUSH)
    {
        std::string out;
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
        stream.avail_in = uInt(piece.size());
        do {
            char buffer[16384];
            stream.next_out = reinterpret_cast<Bytef*>(buffer);
            stream.avail_out = sizeof buffer;
            deflate(&stream, flush);
            out.append(buffer, sizeof buffer - stream.avail_out);
        } while (stream.avail_out == 0);
        return out;
    }

private:
    z_stream stream = {};
};

// Our side's peer: inflates what we sent, one flush at a time.
class ReferenceInflater {
public:
    ReferenceInflater() { inflateInit(&stream); }
    ~ReferenceInflater() { inflateEnd(&stream); }

    // Everything the bytes give now; false on a zlib error.
    bool Inflate(const std::string& bytes, std::string& out)
    {
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
        stream.avail_in = uInt(bytes.size());
        do {
            char buffer[4096];
            stream.next_out = reinterpret_cast<Bytef*>(buffer);
            stream.avail_out = sizeof buffer;
            int result = inflate(&stream, Z_SYNC_FLUSH);
            if (result != Z_OK && result != Z_BUF_ERROR) return false;
            out.append(buffer, sizeof buffer - stream.avail_out);
        } while (stream.avail_out == 0 || stream.avail_in > 0);
        return true;
    }

private:
    z_stream stream = {};
};

std::string Sample(size_t size, unsigned seed)
{
    std::string text;
    text.reserve(size);
    for (size_t i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        text += char(seed >> 16);  // barely compressible, so outputs cross buffer boundaries
    }
    return text;
}

std::string DecompressAll(StreamCompression& compression, int capacity)
{
    std::string out;
    std::vector<char> piece(static_cast<size_t>(capacity));
    for (int n; (n = compression.Decompress(piece.data(), capacity)) > 0;) out.append(piece.data(), size_t(n));
    return out;
}

TEST(StreamCompression, EverySendInflatesWholeAtOnce)
{
    StreamCompression compression;
    ASSERT_TRUE(compression.Start());
    ReferenceInflater server;
    // Sizes around the multiples of our 2048-byte output steps, where a full step needs another round.
    std::vector<size_t> sizes = {0, 1, 2, 100};
    for (size_t size = 2030; size < 2070; ++size) sizes.push_back(size);
    for (size_t size = 4080; size < 4110; ++size) sizes.push_back(size);
    sizes.push_back(100000);
    unsigned seed = 1;
    for (size_t size : sizes) {
        SCOPED_TRACE(size);
        std::string text = Sample(size, seed++);
        std::string compressed;
        ASSERT_TRUE(compression.Compress(text.data(), text.size(), compressed));
        std::string inflated;
        ASSERT_TRUE(server.Inflate(compressed, inflated));
        ASSERT_EQ(inflated, text);
        // A sync flush ends every send.
        ASSERT_GE(compressed.size(), 4u);
        EXPECT_EQ(compressed.substr(compressed.size() - 4), std::string("\0\0\xff\xff", 4));
    }
}

TEST(StreamCompression, AppendsToWhatIsThere)
{
    StreamCompression compression;
    ASSERT_TRUE(compression.Start());
    std::string out = "kept";
    ASSERT_TRUE(compression.Compress("x", 1, out));
    EXPECT_EQ(out.substr(0, 4), "kept");
    // The stream's own header: level 9 with a 32 KB window.
    EXPECT_EQ(out.substr(4, 2), "\x78\xda");
}

TEST(StreamCompression, ReceivedBytesComeOutWholeHoweverSplit)
{
    ReferenceDeflater server;
    std::string expected, wire;
    for (int i = 0; i < 50; ++i) {
        std::string piece = "<message id='" + std::to_string(i) + "'><body>" + Sample(size_t(i * 37), unsigned(i)) + "</body></message>";
        expected += piece;
        wire += server.Deflate(piece);
    }
    for (size_t chunk : {size_t(1), size_t(7), size_t(1024), wire.size()}) {
        for (int capacity : {1, 13, 2048, 1 << 16}) {
            SCOPED_TRACE(std::to_string(chunk) + " " + std::to_string(capacity));
            StreamCompression compression;
            ASSERT_TRUE(compression.Start());
            std::string out;
            for (size_t at = 0; at < wire.size(); at += chunk) {
                compression.Put(wire.data() + at, std::min(chunk, wire.size() - at));
                out += DecompressAll(compression, capacity);
                EXPECT_EQ(compression.HeldBytes(), 0u);
            }
            EXPECT_EQ(out, expected);
        }
    }
}

TEST(StreamCompression, ABurstIsDrainedWithoutWaitingForMoreInput)
{
    // One network read that inflates to far more than one output piece: every stanza in it must
    // come out now, not when the server happens to send something else.
    ReferenceDeflater server(9);
    std::string burst;
    for (int i = 0; i < 500; ++i)
        burst += server.Deflate("<message from='bob@localhost/r' to='alice@localhost' type='chat' id='m" +
                                std::to_string(i) + "'><body>Hello, number " + std::to_string(i) + "</body></message>");
    ASSERT_LT(burst.size(), 20000u);

    XmlStreamParser parser;
    parser.Feed(XmlTest::kStreamHeader, sizeof XmlTest::kStreamHeader - 1);
    ASSERT_EQ(parser.Next().kind, XmlEvent::StreamOpened);
    StreamCompression compression;
    ASSERT_TRUE(compression.Start());
    compression.Put(burst.data(), burst.size());
    int stanzas = 0;
    char piece[2048];
    for (int n; (n = compression.Decompress(piece, sizeof piece)) > 0;) {
        parser.Feed(piece, size_t(n));
        for (XmlEvent event = parser.Next(); event.kind == XmlEvent::Stanza; event = parser.Next()) ++stanzas;
    }
    EXPECT_EQ(stanzas, 500);
}

TEST(StreamCompression, CorruptInputFailsUntilStartedAgain)
{
    StreamCompression compression;
    ASSERT_TRUE(compression.Start());
    const std::string garbage = "this is not a zlib stream";
    compression.Put(garbage.data(), garbage.size());
    char out[64];
    EXPECT_EQ(compression.Decompress(out, sizeof out), -1);
    compression.Put(garbage.data(), garbage.size());
    EXPECT_EQ(compression.Decompress(out, sizeof out), -1);

    ASSERT_TRUE(compression.Start());
    ReferenceDeflater server;
    std::string wire = server.Deflate("<a/>");
    compression.Put(wire.data(), wire.size());
    EXPECT_EQ(DecompressAll(compression, 64), "<a/>");
}

TEST(StreamCompression, NothingWorksBeforeStartOrAfterReset)
{
    StreamCompression compression;
    std::string out;
    char piece[16];
    EXPECT_FALSE(compression.IsStarted());
    EXPECT_FALSE(compression.Compress("x", 1, out));
    compression.Put("x", 1);
    EXPECT_EQ(compression.HeldBytes(), 0u);
    EXPECT_EQ(compression.Decompress(piece, sizeof piece), -1);

    ASSERT_TRUE(compression.Start());
    EXPECT_TRUE(compression.IsStarted());
    compression.Put("\x78", 1);
    compression.Reset();
    EXPECT_FALSE(compression.IsStarted());
    EXPECT_EQ(compression.HeldBytes(), 0u);
    EXPECT_FALSE(compression.Compress("x", 1, out));
    EXPECT_EQ(compression.Decompress(piece, sizeof piece), -1);
}

TEST(StreamCompression, EachStartIsAFreshStream)
{
    // After a reconnection the server expects a new zlib stream, header first.
    StreamCompression compression;
    ASSERT_TRUE(compression.Start());
    std::string first;
    ASSERT_TRUE(compression.Compress("<a/>", 4, first));
    ASSERT_TRUE(compression.Compress("<b/>", 4, first));
    ASSERT_TRUE(compression.Start());
    std::string second;
    ASSERT_TRUE(compression.Compress("<a/>", 4, second));
    EXPECT_EQ(second, first.substr(0, second.size()));
}

// A bomb as a server could send it: a few kilobytes that inflate to size bytes of filler after
// prefix, fed to the account's receive path (XmppInput) in the connection's 1024-byte chunks. The
// events, the most bytes the parser and the inflater held after any chunk, and the compressed bytes
// left unread when a failure ended it.
struct BombResult {
    std::vector<std::string> events;
    size_t mostHeld = 0;
    size_t leftCompressed = 0;
};

BombResult Detonate(const std::string& prefix, char filler, size_t size, const std::string& suffix)
{
    ReferenceDeflater server(9);
    std::string wire = server.Deflate(XmlTest::kStreamHeader + prefix, Z_NO_FLUSH);
    std::string block(1 << 16, filler);
    for (size_t done = 0; done < size; done += block.size()) wire += server.Deflate(block, Z_NO_FLUSH);
    wire += server.Deflate(suffix);
    EXPECT_LT(wire.size(), size / 200);

    BombResult result;
    StreamCompression compression;
    EXPECT_TRUE(compression.Start());
    XmppInput input(compression);
    input.Restart(true);  // compressed from the first byte
    for (size_t at = 0; at < wire.size(); at += 1024) {
        input.Put(wire.data() + at, std::min<size_t>(1024, wire.size() - at));
        for (XmlEvent event = input.Next(); event.kind != XmlEvent::NeedMore; event = input.Next()) {
            result.events.push_back(XmlTest::Describe(event, input.Parser()));
            if (event.kind != XmlEvent::Failed) continue;
            result.leftCompressed = wire.size() - at - std::min<size_t>(1024, wire.size() - at) + compression.HeldBytes();
            return result;
        }
        result.mostHeld = std::max(result.mostHeld, input.Parser().HeldBytes() + compression.HeldBytes());
    }
    return result;
}

TEST(StreamCompression, DecompressionBombEndsAtTheStanzaLimit)
{
    const size_t limit = XmlStreamParser::MaxStanzaBytes;
    BombResult bomb = Detonate("<message><body>", 'a', 8 * limit, "</body></message>");
    ASSERT_EQ(bomb.events.size(), 2u);
    EXPECT_EQ(bomb.events[1].substr(0, 9), "failed " + std::to_string(int(XmlStreamParser::StanzaTooLarge)) + " ");
    EXPECT_LE(bomb.mostHeld, limit + 16384);
    // Inflating stopped with the parser: most of the bomb was never opened.
    EXPECT_GT(bomb.leftCompressed, 0u);
}

TEST(StreamCompression, DecompressionBombOfBlanksIsNeverHeld)
{
    BombResult bomb = Detonate("<a/>", ' ', 32 << 20, "<presence/>");
    EXPECT_EQ(bomb.events, (std::vector<std::string>{XmlTest::kOpenEvent, "<a></a>", "<presence></presence>"}));
    EXPECT_LE(bomb.mostHeld, 1024u);
}

}  // namespace

namespace {

// The receive path's failures stay until the next connection starts it afresh.
TEST(XmppInput, CorruptCompressedStreamFailsUntilReset)
{
    StreamCompression compression;
    ASSERT_TRUE(compression.Start());
    XmppInput input(compression);
    const std::string compressed = "<compressed xmlns='http://jabber.org/protocol/compress'/>";
    const std::string start = XmlTest::kStreamHeader + compressed;
    input.Put(start.data(), start.size());
    EXPECT_EQ(input.Next().kind, XmlEvent::StreamOpened);
    EXPECT_EQ(input.Next().kind, XmlEvent::Stanza);
    input.Restart(true);
    EXPECT_TRUE(input.IsCompressed());
    input.Put("not zlib at all", 15);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(input.Next().kind, XmlEvent::Failed);
    EXPECT_TRUE(input.IsCorrupt());

    input.Reset();
    EXPECT_FALSE(input.IsCompressed());
    EXPECT_FALSE(compression.IsStarted());
    const std::string header = XmlTest::kStreamHeader;
    input.Put(header.data(), header.size());
    EXPECT_EQ(input.Next().kind, XmlEvent::StreamOpened);
}

}  // namespace
