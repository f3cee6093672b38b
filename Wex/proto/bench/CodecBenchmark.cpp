// The codec's speed, measured in one run so the figures compare with each other:
//
// 1. A buffer of 64 MB of recorded frames (what a main server sends after sign-on: presence,
//    messages of every channel, list answers) cut into FLAP frames, and every SNAC header read, with
//    every bound checked; beside it memcpy of the same bytes. The framer is fed the buffer whole,
//    in 64 KB reads and in the 1,024-byte pieces the connection service hands over.
// 2. 100,000 incoming message frames parsed and their texts decoded, mixed and by kind.
// 3. A roster of 5,000 contacts parsed, merged and cached (RosterBench.cpp).
//
// Each figure is the best of several runs.
#include "Wex/proto/FlapFramer.h"
#include "Wex/proto/IncomingMessage.h"
#include "Wex/proto/bench/RosterBench.h"

#include "Wex/proto/tests/WexTestSupport.h"
#include "ZELCommon/tests/BenchClock.h"

#include <cstdio>
#include <cstring>
#include <functional>

using namespace WexTest;

namespace {

const size_t kBufferSize = 64u << 20;
const int kRuns = 5;
const int kMessages = 100000;

double Best(const std::function<void()>& work)
{
    double best = 1e30;
    for (int run = 0; run < kRuns; ++run) {
        double start = BenchSeconds();
        work();
        best = std::min(best, BenchSeconds() - start);
    }
    return best;
}

// The main server's frames of a sign-on, over and over, to at least size bytes.
Bytes RecordedFrames(size_t size)
{
    std::vector<Bytes> frames = ServerSignOn().main;
    Bytes buffer;
    buffer.reserve(size + 4096);
    while (buffer.size() < size)
        for (const Bytes& frame : frames) buffer.insert(buffer.end(), frame.begin(), frame.end());
    return buffer;
}

struct Cut {
    size_t frames = 0, snacs = 0;
    unsigned check = 0;
    bool broken = false;
};

Cut CutFrames(const Bytes& buffer, size_t read)
{
    Cut cut;
    Wex::FlapFramer framer;
    for (size_t at = 0; at < buffer.size() && !cut.broken; at += read) {
        const unsigned char* data = buffer.data() + at;
        size_t length = std::min(read, buffer.size() - at);
        while (length > 0) {
            size_t used = framer.Feed(data, length);
            data += used;
            length -= used;
            if (framer.IsBroken()) {
                cut.broken = true;
                break;
            }
            if (!framer.HasFrame()) continue;
            ++cut.frames;
            if (framer.Header().channel != Wex::ChannelSnac) continue;
            Wex::SnacPacket snac;
            if (Wex::UnpackSnac(framer.Frame(), framer.FrameSize(), snac)) {
                ++cut.snacs;
                cut.check += snac.family ^ snac.subtype ^ snac.requestId;
            }
        }
    }
    return cut;
}

void FramingBenchmark()
{
    Bytes buffer = RecordedFrames(kBufferSize);
    Bytes copy(buffer.size(), 0);
    double mb = double(buffer.size()) / (1 << 20);
    std::printf("Framing: %.1f MB of recorded frames\n", mb);

    double copySeconds = Best([&] { memcpy(copy.data(), buffer.data(), buffer.size()); });
    std::printf("  %-34s %9.1f MB/s\n", "memcpy", mb / copySeconds);

    struct Read {
        const char* name;
        size_t size;
    };
    const Read reads[] = {{"framer + SNAC headers, whole", buffer.size()},
                          {"framer + SNAC headers, 64 KB reads", 64u << 10},
                          {"framer + SNAC headers, 1 KB reads", 1024}};
    for (const Read& read : reads) {
        Cut cut;
        double seconds = Best([&] { cut = CutFrames(buffer, read.size); });
        std::printf("  %-34s %9.1f MB/s  %5.2f of memcpy  %.1f M frames/s  (%zu frames, %zu SNACs%s)\n", read.name,
                    mb / seconds, copySeconds / seconds, double(cut.frames) / seconds / 1e6, cut.frames, cut.snacs,
                    cut.broken ? ", BROKEN" : "");
    }
}

struct Kind {
    const char* name;
    Bytes frame;
};

std::vector<Kind> MessageKinds()
{
    Bytes cyrillic = Hex("04 1F 04 40 04 38 04 32 04 35 04 42 00 2C 00 20 04 3A 04 30 04 3A 00 20 04 34 04 35 04 3B 04 30 04 3F");
    std::string html = "<HTML><BODY dir=\"ltr\"><FONT face=\"Arial\" color=\"#000000\">Are we still on for <B>tonight</B>?"
                       "<BR>Bring the &quot;map&quot; &amp; the tickets &lt;3</FONT></BODY></HTML>";
    return {
        {"channel 1, code page 1251", IncomingMessageFrame(1, "200300400", PlainMessageTlv(0, Wire().Text("Hello, how are you today? Lunch at noon?")))},
        {"channel 1, UTF-16", IncomingMessageFrame(1, "200300400", PlainMessageTlv(2, cyrillic))},
        {"channel 1, HTML", IncomingMessageFrame(1, "Some Body", PlainMessageTlv(0, Wire().Text(html)))},
        {"channel 2, UTF-8",
         IncomingMessageFrame(2, "200300400",
                              RendezvousTlv(RendezvousPlainText(Hex("D0 9F D1 80 D0 B8 D0 B2 D0 B5 D1 82 2C 20 D0 BA D0 B0 D0 BA 20 D0 B4 D0 B5 D0 BB D0 B0 3F"),
                                                                "{0946134E-4C7F-11D1-8222-444553540000}")))},
        {"channel 4, server text",
         IncomingMessageFrame(4, "200300400", Wire().Tlv(0x0005, Wire().U32LE(1).U8(1).U8(0).U16LE(26).Text("You were added, welcome!!").U8(0)))},
    };
}

// Parses count frames taken in turn from frames; the total length of their texts.
size_t DecodeMessages(const std::vector<const Bytes*>& frames, int count)
{
    size_t characters = 0;
    for (int i = 0; i < count; ++i) {
        const Bytes& frame = *frames[size_t(i) % frames.size()];
        Wex::IncomingMessage message;
        if (message.Unpack(frame.data(), frame.size())) characters += size_t(message.GetText().GetLength());
    }
    return characters;
}

void MessageBenchmark()
{
    std::vector<Kind> kinds = MessageKinds();
    std::printf("Incoming messages: %d frames parsed and their texts decoded\n", kMessages);
    std::vector<const Bytes*> mixed;
    for (const Kind& kind : kinds) mixed.push_back(&kind.frame);
    size_t characters = 0;
    double seconds = Best([&] { characters = DecodeMessages(mixed, kMessages); });
    std::printf("  %-28s %8.0f ms  %6.2f us each  (%zu characters)\n", "all kinds in turn", seconds * 1e3,
                seconds * 1e6 / kMessages, characters);
    for (const Kind& kind : kinds) {
        std::vector<const Bytes*> one = {&kind.frame};
        seconds = Best([&] { characters = DecodeMessages(one, kMessages); });
        std::printf("  %-28s %8.0f ms  %6.2f us each  (%zu bytes a frame)\n", kind.name, seconds * 1e3,
                    seconds * 1e6 / kMessages, kind.frame.size());
    }
}

} // namespace

int main()
{
    FramingBenchmark();
    MessageBenchmark();
    RosterBenchmark();
    return 0;
}
