// The XMPP plug-in's benchmarks: inputs, the shared timing helpers and the two parts.
#pragma once

#include "Zel/core/bench/Benchmarks.h"

#include <cstddef>
#include <string>

const size_t kBenchChunk = 1024;  // as the connection service hands data over

// A stream header, a roster push of items entries, nothing after it.
std::string RosterPushInput(int items);
// A stream header and count message stanzas of about 200 bytes, as a busy chat brings them.
std::string MessagesInput(int count, std::string* firstMessage = nullptr);

inline double MegabytesPerSecond(size_t bytes, double seconds)
{
    return seconds > 0 ? double(bytes) / 1e6 / seconds : 0;
}

void RunParserBenchmark();
void RunCompressionBenchmark();
void RunRosterBenchmark();
