#include "Zel/net/NameLookup.h"

#include <atomic>

namespace {

std::atomic<NameLookup> g_lookup(nullptr);

}  // namespace

int LookUpName(const char* name, const char* service, const addrinfo* hints, addrinfo** result)
{
    NameLookup lookup = g_lookup.load();
    return lookup ? lookup(name, service, hints, result) : getaddrinfo(name, service, hints, result);
}

void SetNameLookup(NameLookup lookup)
{
    g_lookup = lookup;
}
