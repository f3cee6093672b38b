// The codec's speed, measured in one run so the figures compare with each other:
//
// 1. A buffer of 64 MB of recorded frames (what a main server sends after sign-on: presence,
//    messages of every channel, list answers) cut into FLAP frames, and every SNAC header read, with
//    every bound checked; beside it memcpy of the same bytes. The framer is fed the buffer whole,
//    in 64 KB reads and in the 1,024-byte pieces the connection service hands over.
// 2. 100,000 incoming message frames parsed and their texts decoded, mixed and by kind.
// 3. 100,000 presence notices (contacts' arrivals) parsed and read as the contact's icons read
//    them: status, x-status, capabilities, the family's clients and the clients file's rules.
// 4. A roster of 5,000 contacts parsed, merged and cached (RosterBench.cpp).
//
// Each figure is the best of several runs.
#include "Wex/proto/CapabilityTable.h"
#include "Wex/proto/ClientRules.h"
#include "Wex/proto/FlapFramer.h"
#include "Wex/proto/IncomingMessage.h"
#include "Wex/proto/bench/RosterBench.h"
#include "Wex/proto/UserInfo.h"
#include "Wex/proto/XStatusTable.h"

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

// A contact's arrival: the status, and optionally a direct-connection block and capabilities.
Bytes ArrivalFrame(const std::string& uin, const Bytes& dc, const Bytes& capabilities)
{
    Wire tlvs;
    unsigned count = 3;
    tlvs.Tlv(0x0001, Wire().U16(0x0050)).Tlv(0x0006, Wire().U16(0).U16(0x0001)).Tlv(0x000F, Wire().U32(1200));
    if (!dc.empty()) tlvs.Tlv(0x000C, dc), ++count;
    if (!capabilities.empty()) tlvs.Tlv(0x000D, capabilities), ++count;
    return Snac(0x03, 0x0B, Wire().Str8(uin).U16(0).U16(count).Raw(tlvs));
}

Bytes Guid(const char* text)
{
    return Hex(text);
}

// A clients file of a few rules, as the plug-in's folder might hold.
Wex::ClientIdTable ClientRulesSample()
{
    const std::wstring text = L"\xFEFF[a]\r\nname=alpha\r\nprotover=11\r\ndcinfo1=7fffffff\r\n"
                              L"[b]\r\nname=beta\r\ncaps=!0946134e, 563fc809\r\n"
                              L"[c]\r\nname=gamma\r\ncaps=1a093c6c\r\nnocaps=563fc809\r\n"
                              L"[d]\r\nname=delta\r\nprotover=9\r\ncaps=09461349\r\n";
    Bytes bytes;
    for (wchar_t c : text) bytes.push_back((unsigned char)(c & 0xFF)), bytes.push_back((unsigned char)(c >> 8));
    return Wex::ParseClientRules(bytes.data(), bytes.size());
}

struct Presence {
    int statuses = 0, xStatuses = 0, capabilities = 0, family = 0, clients = 0;
};

Presence ReadPresence(const std::vector<const Bytes*>& frames, int count, const Wex::CapabilityTable& table,
                      const Wex::ClientIdTable& rules)
{
    Presence seen;
    for (int i = 0; i < count; ++i) {
        const Bytes& frame = *frames[size_t(i) % frames.size()];
        Wex::UserOnlineInfo info;
        if (!info.Unpack(frame.data(), frame.size())) continue;
        seen.statuses += info.GetStatus() != 0;
        seen.xStatuses += Wex::FindXStatus(info.items) != 0;
        seen.capabilities += int(Wex::ParseCapabilities(table, info.items).size());
        seen.family += Wex::DetectClient(table, info.items) != 0;
        seen.clients += Wex::IdentifyClient(rules, table, info.items) >= 0;
    }
    return seen;
}

void PresenceBenchmark()
{
    const Wex::CapabilityTable table;
    const Wex::ClientIdTable rules = ClientRulesSample();
    const Bytes relay = Guid("09 46 13 49 4C 7F 11 D1 82 22 44 45 53 54 00 00");
    const Bytes utf8 = Guid("09 46 13 4E 4C 7F 11 D1 82 22 44 45 53 54 00 00");
    const Bytes typing = Guid("56 3F C8 09 0B 6F 41 BD 9F 79 42 26 09 DF A2 F3");
    const Bytes xtraz = Guid("1A 09 3C 6C D7 FD 4E C5 9D 51 A6 47 4E 34 F5 A0");
    const Bytes pda = Guid("56 3F C8 09 0B 6F 41 5A 45 4C 20 20 20 20 20 21");
    const Bytes eating(Wex::XStatusRows[6].guid.begin(), Wex::XStatusRows[6].guid.end());
    const Bytes dc = Wire().Raw(Hex("C0 A8 00 01 00 00 00 00 04")).U16(9).Zeros(12).U32(0x7FFFFFFF).U32(0).U32(0);
    const Kind kinds[] = {
        {"status only", ArrivalFrame("200300400", Bytes(), Bytes())},
        {"4 capabilities", ArrivalFrame("200300400", Bytes(), Wire().Raw(relay).Raw(utf8).Raw(typing).Raw(xtraz))},
        {"12 capabilities and an x-status",
         ArrivalFrame("200300400", dc,
                      Wire().Raw(relay).Raw(utf8).Raw(typing).Raw(xtraz).Raw(pda).Raw(relay).Raw(utf8).Raw(typing)
                          .Raw(xtraz).Raw(relay).Raw(utf8).Raw(eating))},
        {"a client of this family", ArrivalFrame("200300400", dc, Wire().Raw(relay).Raw(pda))},
    };
    std::printf("Presence notices: %d arrivals parsed and read for the contact's icons (%d client rules)\n",
                kMessages, int(rules.size()));
    std::vector<const Bytes*> mixed;
    for (const Kind& kind : kinds) mixed.push_back(&kind.frame);
    Presence seen;
    double seconds = Best([&] { seen = ReadPresence(mixed, kMessages, table, rules); });
    std::printf("  %-34s %8.0f ms  %6.2f us each  (%d with an x-status, %d clients known)\n", "all kinds in turn",
                seconds * 1e3, seconds * 1e6 / kMessages, seen.xStatuses, seen.clients);
    for (const Kind& kind : kinds) {
        std::vector<const Bytes*> one = {&kind.frame};
        seconds = Best([&] { seen = ReadPresence(one, kMessages, table, rules); });
        std::printf("  %-34s %8.0f ms  %6.2f us each  (%zu bytes a frame)\n", kind.name, seconds * 1e3,
                    seconds * 1e6 / kMessages, kind.frame.size());
    }
    // Parsing alone, for comparison.
    seconds = Best([&] {
        int parsed = 0;
        for (int i = 0; i < kMessages; ++i) {
            const Bytes& frame = *mixed[size_t(i) % mixed.size()];
            Wex::UserOnlineInfo info;
            parsed += info.Unpack(frame.data(), frame.size()) > 0;
        }
        seen.statuses = parsed;
    });
    std::printf("  %-34s %8.0f ms  %6.2f us each\n", "parsing alone, all kinds", seconds * 1e3, seconds * 1e6 / kMessages);
}

} // namespace

int main()
{
    FramingBenchmark();
    MessageBenchmark();
    PresenceBenchmark();
    RosterBenchmark();
    return 0;
}
