// Our stream parser against expat: a roster push of 10,000 items (one stanza of about 1.1 MB) and
// 100,000 small message stanzas, the same input fed in 1024-byte pieces to both, both building the
// same tree and dropping each stanza once complete.
#include "Jabber/bench/Bench.h"

#include "Jabber/xml/XmlSerializer.h"
#include "Jabber/xml/XmlStreamParser.h"

#ifdef JABBER_BENCH_EXPAT
#include "Jabber/bench/ExpatTreeBuilder.h"
#endif

#include <cstdio>

namespace {

const int kRuns = 5;

long OurParseStanzas(const std::string& input, size_t chunk, std::unique_ptr<XmlElement>* first = nullptr)
{
    XmlStreamParser parser;
    long stanzas = 0;
    for (size_t at = 0; at < input.size(); at += chunk) {
        parser.Feed(input.data() + at, std::min(chunk, input.size() - at));
        for (XmlEvent event = parser.Next(); event.kind != XmlEvent::NeedMore; event = parser.Next()) {
            if (event.kind == XmlEvent::Failed) return -1;
            if (event.kind != XmlEvent::Stanza) continue;
            ++stanzas;
            if (first && !*first) *first = std::move(event.element);
        }
    }
    return stanzas;
}

void Compare(const char* name, const std::string& input, long expected)
{
    std::unique_ptr<XmlElement> ours;
    long stanzas = OurParseStanzas(input, kBenchChunk, &ours);
    double oursSeconds = BestOf(kRuns, [&] { OurParseStanzas(input, kBenchChunk); });
    std::printf("  %-28s %10zu bytes %8ld stanzas\n", name, input.size(), stanzas);
    std::printf("    %-26s %9.1f MB/s %9.1f ms %9.2f us per stanza%s\n", "ours",
                MegabytesPerSecond(input.size(), oursSeconds), oursSeconds * 1e3, oursSeconds * 1e6 / double(expected),
                stanzas == expected ? "" : "  (WRONG COUNT)");
#ifdef JABBER_BENCH_EXPAT
    std::unique_ptr<XmlElement> theirs;
    long expatStanzas = ExpatParseStanzas(input, kBenchChunk, &theirs);
    double expatSeconds = BestOf(kRuns, [&] { ExpatParseStanzas(input, kBenchChunk); });
    bool same = ours && theirs && Serialize(*ours) == Serialize(*theirs);
    std::printf("    %-26s %9.1f MB/s %9.1f ms %9.2f us per stanza%s\n", "expat",
                MegabytesPerSecond(input.size(), expatSeconds), expatSeconds * 1e3, expatSeconds * 1e6 / double(expected),
                expatStanzas == expected && same ? "" : "  (DIFFERENT RESULT)");
    std::printf("    %-26s %9.2f\n", "expat time / our time", expatSeconds / oursSeconds);
#endif
}

}  // namespace

void RunParserBenchmark()
{
    std::printf("Stream parser, input in %zu-byte pieces, best of %d runs\n", kBenchChunk, kRuns);
#ifndef JABBER_BENCH_EXPAT
    std::printf("  (expat not built: run Jabber/bench/build-expat.sh <build folder> and configure again)\n");
#endif
    Compare("roster push, 10,000 items", RosterPushInput(10000), 1);
    Compare("100,000 message stanzas", MessagesInput(100000), 100000);
}
