// Stream compression: the 100,000 message stanzas deflated with a sync flush each, as a sender does
// it. Figures in MB/s of the plain text: our sending side, zlib's own inflate of that stream, our
// receiving side alone and with the parser behind it, beside the plain parse.
#include "Jabber/bench/Bench.h"

#include "Jabber/stream/StreamCompression.h"
#include "Jabber/xml/XmlStreamParser.h"

#include <zlib.h>

#include <cstdio>
#include <vector>

namespace {

const int kRuns = 5;
const int kMessages = 100000;
const int kPiece = 16384;  // what the receive path inflates at a time

// zlib alone, fed in network-sized pieces.
size_t ZlibInflate(const std::string& wire)
{
    z_stream stream = {};
    inflateInit(&stream);
    std::vector<char> out(kPiece);
    size_t total = 0;
    for (size_t at = 0; at < wire.size(); at += kBenchChunk) {
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(wire.data() + at));
        stream.avail_in = uInt(std::min(kBenchChunk, wire.size() - at));
        do {
            stream.next_out = reinterpret_cast<Bytef*>(out.data());
            stream.avail_out = kPiece;
            inflate(&stream, Z_NO_FLUSH);
            total += kPiece - stream.avail_out;
        } while (stream.avail_out == 0);
    }
    inflateEnd(&stream);
    return total;
}

// Our receiving side: network-sized pieces in, inflated pieces to the parser when there is one.
long Receive(const std::string& wire, bool parse, size_t* inflated = nullptr)
{
    StreamCompression compression;
    compression.Start();
    XmlStreamParser parser;
    std::vector<char> piece(kPiece);
    long stanzas = 0;
    size_t total = 0;
    for (size_t at = 0; at < wire.size(); at += kBenchChunk) {
        compression.Put(wire.data() + at, std::min(kBenchChunk, wire.size() - at));
        for (int n; (n = compression.Decompress(piece.data(), kPiece)) > 0;) {
            total += size_t(n);
            if (!parse) continue;
            parser.Feed(piece.data(), size_t(n));
            for (XmlEvent event = parser.Next(); event.kind != XmlEvent::NeedMore; event = parser.Next()) {
                if (event.kind == XmlEvent::Failed) return -1;
                stanzas += event.kind == XmlEvent::Stanza;
            }
        }
    }
    if (inflated) *inflated = total;
    return stanzas;
}

long ParsePlain(const std::string& input)
{
    XmlStreamParser parser;
    long stanzas = 0;
    for (size_t at = 0; at < input.size(); at += kBenchChunk) {
        parser.Feed(input.data() + at, std::min(kBenchChunk, input.size() - at));
        for (XmlEvent event = parser.Next(); event.kind != XmlEvent::NeedMore; event = parser.Next())
            stanzas += event.kind == XmlEvent::Stanza;
    }
    return stanzas;
}

void Row(const char* name, size_t bytes, double seconds, const char* note = "")
{
    std::printf("  %-44s %9.1f MB/s%s\n", name, MegabytesPerSecond(bytes, seconds), note);
}

}  // namespace

void RunCompressionBenchmark()
{
    std::string first;
    std::string input = MessagesInput(kMessages, &first);
    // Each message is sent on its own, as the account sends each element.
    std::string header = input.substr(0, input.find("<message"));
    std::string messages = input.substr(header.size());
    std::vector<size_t> starts;
    for (size_t at = 0; (at = messages.find("<message ", at)) != std::string::npos; ++at) starts.push_back(at);

    std::string wire;
    double sendSeconds = BestOf(kRuns, [&] {
        StreamCompression compression;
        compression.Start();
        wire.clear();
        compression.Compress(header.data(), header.size(), wire);
        for (size_t i = 0; i < starts.size(); ++i) {
            size_t end = i + 1 < starts.size() ? starts[i + 1] : messages.size();
            compression.Compress(messages.data() + starts[i], end - starts[i], wire);
        }
    });

    size_t inflated = 0;
    long stanzas = Receive(wire, true, &inflated);
    std::printf("Stream compression: %d message stanzas, %zu bytes, a sync flush each: %zu bytes on the wire "
                "(%.1f%%); best of %d runs\n",
                kMessages, input.size(), wire.size(), 100.0 * double(wire.size()) / double(input.size()), kRuns);
    if (inflated != input.size() || stanzas != kMessages) std::printf("  (WRONG RESULT: %zu bytes, %ld stanzas)\n", inflated, stanzas);

    Row("sending: Compress, level 9, memory level 2", input.size(), sendSeconds);
    Row("zlib's own inflate", input.size(), BestOf(kRuns, [&] { ZlibInflate(wire); }));
    Row("receiving: Put and Decompress", input.size(), BestOf(kRuns, [&] { Receive(wire, false); }));
    Row("receiving and parsing", input.size(), BestOf(kRuns, [&] { Receive(wire, true); }));
    Row("parsing the plain text", input.size(), BestOf(kRuns, [&] { ParsePlain(input); }));
}
