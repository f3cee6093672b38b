// CapsCache: the feature masks an account has learnt, by (capabilities node, version or extension
// name) and by (client name, client version), and the computation of what one contact resource
// supports from them. A mask is 64 bits, one bit per row of XmppFeatureTable; a value whose high
// word is exactly 0x80000000 is a state instead: unknown, pending (a discovery query is under way)
// or failed (the query got no answer in time). Any result with bit 63 set means no features known.
//
// Times are milliseconds since boot, passed in, so tests set the clock.
#pragma once

#include "Jabber/account/ContactStore.h"
#include "ZELCommon/ZELCriticalSection.h"

#include <cstdint>
#include <map>
#include <string>

namespace Caps {
const uint64_t StateUnknown = 0x8000000000000000ull;
const uint64_t StatePending = 0x8000000000000001ull;
const uint64_t StateFailed = 0x8000000000000002ull;
// ComputeClientFeatures' answers besides masks.
const uint64_t NoResource = 0x8000000000000000ull;
const uint64_t AskLater = 0x8000000000000001ull;
// Set in masks guessed from a client's name.
const uint64_t Guessed = 0x1000000000000000ull;
const uint64_t QueryLimitMs = 10000;
// The query times' "settled" and "answered" marks.
const uint64_t Settled = ~0ull;

inline bool IsState(uint64_t value)
{
    return (value >> 32) == 0x80000000u;
}
}  // namespace Caps

class CapsCache {
public:
    // The mask or state of (node, key); StateUnknown when not cached. A pending state older than
    // QueryLimitMs reads as failed from then on.
    uint64_t Get(const std::wstring& node, const std::wstring& key, uint64_t now);
    // Stores mask for (node, key); storing the pending state stamps the time.
    void Set(const std::wstring& node, const std::wstring& key, uint64_t mask, uint64_t now);
    // (node, key) back to unknown when its query is still pending: the query was lost with the
    // connection, and the next announcement may ask again.
    void ForgetPending(const std::wstring& node, const std::wstring& key);
    // The client's own node and version with the full own mask, then each own extension.
    void RegisterOwnCaps();

private:
    struct Entry {
        uint64_t mask = Caps::StateUnknown;
        uint64_t stamp = 0;
    };
    CZELCriticalSection lock;
    std::map<std::wstring, std::map<std::wstring, Entry>> nodes;
};

// What resource supports, from its capabilities announcement (resolved through cache), else from
// its client name and version (with built-in guesses for a few clients), else from a discovery
// query to it; NoResource for a null resource, AskLater while an answer is awaited. Writes the
// resource's query times when they have run out.
uint64_t ComputeClientFeatures(ResourceRecord* resource, CapsCache& cache, uint64_t now);
