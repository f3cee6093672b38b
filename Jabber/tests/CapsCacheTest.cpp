// What a contact's resource is taken to support: from its capabilities announcement through the
// cache, from its client name and version, or from a discovery query to it.
#include "Jabber/account/CapsCache.h"
#include "Jabber/account/ClientFeatures.h"

#include <gtest/gtest.h>

namespace {

const wchar_t kOwnNode[] = L"http://zel.invalid/caps";
const wchar_t kPeerNode[] = L"http://peer.invalid/caps";

TEST(CapsCache, PendingQueriesFailAfterTenSeconds)
{
    CapsCache cache;
    EXPECT_EQ(cache.Get(kPeerNode, L"1.0", 0), Caps::StateUnknown);
    cache.Set(kPeerNode, L"1.0", Caps::StatePending, 1000);
    EXPECT_EQ(cache.Get(kPeerNode, L"1.0", 10999), Caps::StatePending);
    EXPECT_EQ(cache.Get(kPeerNode, L"1.0", 11000), Caps::StateFailed);
    // Failed stays failed; a mask stored later replaces it.
    EXPECT_EQ(cache.Get(kPeerNode, L"1.0", 99999), Caps::StateFailed);
    cache.Set(kPeerNode, L"1.0", 0x800, 100000);
    EXPECT_EQ(cache.Get(kPeerNode, L"1.0", 200000), 0x800u);

    cache.RegisterOwnCaps();
    // The version is also the name of an extension, which is registered after it.
    EXPECT_EQ(cache.Get(kOwnNode, L"0.2.1.1", 0), 0x4004A0F9u);
    EXPECT_EQ(cache.Get(kOwnNode, L"cmds", 0), 0x100u);
}

TEST(CapsCache, ClientFeaturesByWhatTheResourceAnnounced)
{
    const uint64_t now = 100000;
    struct Case {
        const char* name;
        const wchar_t* node;
        const wchar_t* version;
        const wchar_t* extensions;
        const wchar_t* clientName;
        const wchar_t* clientVersion;
        uint64_t firstQuery;
        uint64_t discoQuery;
        uint64_t discoMask;
        uint64_t extra;
        uint64_t expected;
    } cases[] = {
        {"our own node, version and cmds", kOwnNode, L"0.2.1.1", L"cmds", L"", L"", 0, 0, 0, 0, 0x4004A1F9},
        {"extensions with repeated blanks", kOwnNode, L"1.0", L"  cmds   x ", L"", L"", 0, 0, 0, 0, 0x900},
        {"the extra mask is always added", kOwnNode, L"1.0", L"", L"", L"", 0, 0, 0, 0x1, 0x801},
        {"a version whose query is under way", kOwnNode, L"pending", L"", L"", L"", 0, 0, 0, 0, Caps::AskLater},
        {"an extension whose query is under way", kOwnNode, L"1.0", L"pend", L"", L"", 0, 0, 0, 0, Caps::AskLater},
        // A failed extension is skipped, not OR-ed in as a state that would hide the version's mask.
        {"a failed extension teaches nothing", kOwnNode, L"1.0", L"failed cmds", L"", L"", 0, 0, 0, 0, 0x900},
        {"a failed version after a direct query", kOwnNode, L"failed", L"cmds", L"", L"", 0, 5, 0x7, 0x40, 0x40},
        {"a failed version without one", kOwnNode, L"failed", L"cmds", L"", L"", 0, 0, 0, 0, 0x100},
        {"a version and no client name", L"", L"", L"", L"", L"2.0", 0, 0, 0, 0, 0},
        {"nothing known, nothing asked", L"", L"", L"", L"", L"", 0, 0, 0, 0, 0},
        {"first query under way", L"", L"", L"", L"", L"", now - 5, 0, 0, 0, Caps::AskLater},
        {"first query run out, none to the resource", L"", L"", L"", L"", L"", now - 20000, 0, 0, 0, 0},
        {"direct query answered", L"", L"", L"", L"", L"", 0, Caps::Settled, 0x30, 0x1, 0x31},
        {"direct query under way", L"", L"", L"", L"", L"", 0, now - 9999, 0, 0, Caps::AskLater},
        {"direct query run out", L"", L"", L"", L"", L"", 0, now - 10000, 0, 0, 0},
        {"Bombus guessed", L"", L"", L"", L"Bombus", L"0.7", 0, 0, 0, 0, 0x73158 | Caps::Guessed},
        {"BombusMod guessed", L"", L"", L"", L"BombusMod", L"1", 0, 0, 0, 0, 0x73158 | Caps::Guessed},
        {"neos guessed", L"", L"", L"", L"neos", L"1", 0, 0, 0, 0, 0x23080 | Caps::Guessed},
        {"sim guessed", L"", L"", L"", L"sim", L"1", 0, 0, 0, 0, 0x22080 | Caps::Guessed},
        {"names compare exactly", L"", L"", L"", L"bombus", L"1", 0, 0, 0, 0, 0},
        {"a client learnt before", L"", L"", L"", L"Known", L"3", 0, 0, 0, 0, 0x4000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CapsCache cache;
        cache.RegisterOwnCaps();
        cache.Set(kOwnNode, L"1.0", 0x800, 0);
        cache.Set(kOwnNode, L"pending", Caps::StatePending, now - 1);
        cache.Set(kOwnNode, L"pend", Caps::StatePending, now - 1);
        cache.Set(kOwnNode, L"failed", Caps::StatePending, now - 20000);
        cache.Set(L"Known", L"3", 0x4000, 0);
        ResourceRecord resource;
        resource.capsNode = c.node;
        resource.capsVersion = c.version;
        resource.capsExtensions = c.extensions;
        resource.clientName = c.clientName;
        resource.clientVersion = c.clientVersion;
        resource.firstQueryTime = c.firstQuery;
        resource.discoQueryTime = c.discoQuery;
        resource.discoMask = c.discoMask;
        resource.extraMask = c.extra;
        EXPECT_EQ(ComputeClientFeatures(&resource, cache, now), c.expected);
    }
    CapsCache cache;
    EXPECT_EQ(ComputeClientFeatures(nullptr, cache, 0), Caps::NoResource);

    // A guess is kept for that client and version.
    ResourceRecord bombus;
    bombus.clientName = L"Bombus";
    bombus.clientVersion = L"0.7";
    ComputeClientFeatures(&bombus, cache, 0);
    EXPECT_EQ(cache.Get(L"Bombus", L"0.7", 0), 0x73158 | Caps::Guessed);
    // A query that ran out is settled, and is not awaited again.
    ResourceRecord late;
    late.firstQueryTime = 1;
    EXPECT_EQ(ComputeClientFeatures(&late, cache, 20000), 0u);
    EXPECT_EQ(late.firstQueryTime, Caps::Settled);
}

}  // namespace
