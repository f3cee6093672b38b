#include "Jabber/account/CapsCache.h"

#include "Jabber/account/ClientFeatures.h"

#include <sstream>

namespace {

std::wstring Wide(const char* text)
{
    std::wstring out;
    for (; *text; ++text) out += wchar_t(static_cast<unsigned char>(*text));
    return out;
}

struct Guess {
    const wchar_t* client;
    uint64_t mask;
};

const Guess Guesses[] = {
    {L"Bombus", 0x73158},
    {L"BombusMod", 0x73158},
    {L"neos", 0x23080},
    {L"sim", 0x22080},
};

// The query sent at time has waited long enough: it is settled (or answered) now.
bool Outstanding(uint64_t& time, uint64_t now)
{
    if (time == 0 || time == Caps::Settled) return false;
    if (now - time < Caps::QueryLimitMs) return true;
    time = Caps::Settled;
    return false;
}

uint64_t FromCapabilities(ResourceRecord& resource, CapsCache& cache, uint64_t now)
{
    uint64_t mask = 0;
    bool pending = false;
    const uint64_t version = cache.Get(resource.capsNode, resource.capsVersion, now);
    if (version == Caps::StateFailed && resource.discoQueryTime != 0) return resource.extraMask;
    if (version == Caps::StatePending)
        pending = true;
    else if (!Caps::IsState(version))
        mask = version;

    std::wistringstream names(resource.capsExtensions);
    std::wstring name;
    while (names >> name) {
        const uint64_t extension = cache.Get(resource.capsNode, name, now);
        if (extension == Caps::StatePending)
            pending = true;
        else if (!Caps::IsState(extension))
            mask |= extension;
        // An extension whose query failed teaches nothing; it must not undo what the version taught.
    }
    return pending ? Caps::AskLater : mask | resource.extraMask;
}

}  // namespace

uint64_t CapsCache::Get(const std::wstring& node, const std::wstring& key, uint64_t now)
{
    CZELLock hold(lock);
    auto outer = nodes.find(node);
    if (outer == nodes.end()) return Caps::StateUnknown;
    auto inner = outer->second.find(key);
    if (inner == outer->second.end()) return Caps::StateUnknown;
    Entry& entry = inner->second;
    if (entry.mask == Caps::StatePending && now - entry.stamp >= Caps::QueryLimitMs) {
        entry.mask = Caps::StateFailed;
        entry.stamp = 0;
    }
    return entry.mask;
}

void CapsCache::Set(const std::wstring& node, const std::wstring& key, uint64_t mask, uint64_t now)
{
    CZELLock hold(lock);
    Entry& entry = nodes[node][key];
    entry.mask = mask;
    entry.stamp = mask == Caps::StatePending ? now : 0;
}

void CapsCache::ForgetPending(const std::wstring& node, const std::wstring& key)
{
    CZELLock hold(lock);
    auto outer = nodes.find(node);
    if (outer == nodes.end()) return;
    auto inner = outer->second.find(key);
    if (inner != outer->second.end() && inner->second.mask == Caps::StatePending) outer->second.erase(inner);
}

void CapsCache::RegisterOwnCaps()
{
    const std::wstring node = Wide(OwnCapsNode);
    Set(node, Wide(OwnCapsVersion), FullOwnMask(), 0);
    for (const OwnCapsEntry& entry : OwnCapsEntries) Set(node, Wide(entry.name), entry.mask, 0);
}

uint64_t ComputeClientFeatures(ResourceRecord* resource, CapsCache& cache, uint64_t now)
{
    if (!resource) return Caps::NoResource;
    if (!resource->capsNode.empty() && !resource->capsVersion.empty())
        return FromCapabilities(*resource, cache, now);
    if (!resource->clientVersion.empty() && resource->clientName.empty()) return 0;
    if (resource->clientName.empty() || resource->clientVersion.empty()) {
        if (Outstanding(resource->firstQueryTime, now)) return Caps::AskLater;
        if (resource->discoQueryTime == 0) return 0;
        if (resource->discoQueryTime == Caps::Settled) return resource->discoMask | resource->extraMask;
        if (Outstanding(resource->discoQueryTime, now)) return Caps::AskLater;
        return 0;
    }
    uint64_t mask = cache.Get(resource->clientName, resource->clientVersion, now);
    if (mask == Caps::StateUnknown) {
        mask = 0;
        for (const Guess& guess : Guesses) {
            if (resource->clientName != guess.client) continue;
            mask = guess.mask | Caps::Guessed;
            cache.Set(resource->clientName, resource->clientVersion, mask, now);
            break;
        }
    }
    return mask | resource->extraMask;
}
