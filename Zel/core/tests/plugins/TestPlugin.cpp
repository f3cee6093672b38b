// A protocol plug-in for the tests. One source, built once per plug-in folder; the kind macro picks
// which protocols it describes:
//   TEST_PLUGIN_WEX_A, TEST_PLUGIN_WEX_B  the Wex protocol (named "Wex A" / "Wex B")
//   TEST_PLUGIN_FIVE                      five protocols, the XMPP own-server kind among them
//   TEST_PLUGIN_OTHER                     one protocol that is neither XMPP nor Wex
//   TEST_PLUGIN_PARTIAL                   one protocol; built with a .def that leaves out an export
//   TEST_PLUGIN_THROWER                   appends a protocol, then throws (in CreateAccountFunc too)
// The credits text of every protocol is the bus address it was given, in hexadecimal, so the tests
// see what the scan passed. When ZEL_TEST_PLUGIN_LOG names a file, each description request appends
// a line to it, so a test of the whole program sees the scan from outside.
#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/PluginExports.h"
#include "Zel/core/tests/plugins/TestPluginGuids.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <stdexcept>

extern "C" int TestLiveAccounts();
extern "C" void TestLastCreate(void** bus, unsigned* accountId, unsigned* ownerQueue);

namespace {

struct Described {
    const ZEL_GUID* guid;
    const wchar_t* name;
    const wchar_t* iconFile;
};

#if defined(TEST_PLUGIN_WEX_A)
const Described kProtocols[] = {{&GUID_WEX_PROTOCOL, L"Wex A", L"wex_a.png"}};
#elif defined(TEST_PLUGIN_WEX_B)
const Described kProtocols[] = {{&GUID_WEX_PROTOCOL, L"Wex B", L"wex_b.png"}};
#elif defined(TEST_PLUGIN_FIVE)
const Described kProtocols[] = {
    {&GUID_TEST_FIVE_A, L"Five A", L"five_a.png"},
    {&GUID_TEST_FIVE_B, L"Five B", L"five_b.png"},
    {&GUID_XMPP_ZEL_PROTOCOL, L"XMPP", L"xmpp.png"},
    {&GUID_TEST_FIVE_C, L"Five C", L"five_c.png"},
    {&GUID_TEST_FIVE_D, L"Five D", L"five_d.png"},
};
#elif defined(TEST_PLUGIN_OTHER)
const Described kProtocols[] = {{&GUID_TEST_OTHER, L"Other", L"other.png"}};
#elif defined(TEST_PLUGIN_PARTIAL)
const Described kProtocols[] = {{&GUID_TEST_PARTIAL, L"Partial", L"partial.png"}};
#elif defined(TEST_PLUGIN_THROWER)
const Described kProtocols[] = {{&GUID_TEST_THROWER, L"Thrower", L"thrower.png"}};
#else
#error "no test plug-in kind"
#endif
const int kProtocolCount = sizeof(kProtocols) / sizeof(kProtocols[0]);

int liveAccounts = 0;
unsigned nextHandle = 0x5A000001;
void* lastBus = nullptr;
unsigned lastAccountId = 0;
unsigned lastOwnerQueue = 0;

void LogDescribed()
{
    wchar_t path[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"ZEL_TEST_PLUGIN_LOG", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    HANDLE log = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) return;
    char line[64];
    int n = snprintf(line, sizeof line, "described %d\n", kProtocolCount);
    DWORD written = 0;
    WriteFile(log, line, DWORD(n), &written, nullptr);
    CloseHandle(log);
}

bool Serves(const ZEL_GUID& protocol)
{
    for (int i = 0; i < kProtocolCount; ++i)
        if (*kProtocols[i].guid == protocol) return true;
    return false;
}

}  // namespace

void GetProtocolInfoFunc(Services::CServicesManager* bus, CZELArray<Protocols::ProtocolInfo>& protocols)
{
    LogDescribed();
    wchar_t busText[24];
    swprintf(busText, 24, L"%016llX", (unsigned long long)(uintptr_t)bus);
    for (int i = 0; i < kProtocolCount; ++i) {
        Protocols::ProtocolInfo info;
        info.guid = *kProtocols[i].guid;
        info.iconFile = kProtocols[i].iconFile;
        info.name = kProtocols[i].name;
        info.displayName = kProtocols[i].name;
        info.credits = busText;
        protocols.Add(info);
    }
#if defined(TEST_PLUGIN_THROWER)
    throw std::runtime_error("plug-in failed while describing its protocols");
#endif
}

unsigned CreateAccountFunc(const ZEL_GUID& protocol, Services::CServicesManager* bus, unsigned accountId,
                           unsigned ownerQueue)
{
    lastBus = bus;
    lastAccountId = accountId;
    lastOwnerQueue = ownerQueue;
#if defined(TEST_PLUGIN_THROWER)
    throw std::runtime_error("plug-in failed while creating an account");
#endif
    if (!Serves(protocol)) return 0;
    ++liveAccounts;
    return nextHandle++;
}

void DestroyAccountFunc(unsigned handle)
{
    --liveAccounts;
}

int TestLiveAccounts()
{
    return liveAccounts;
}

void TestLastCreate(void** bus, unsigned* accountId, unsigned* ownerQueue)
{
    *bus = lastBus;
    *accountId = lastAccountId;
    *ownerQueue = lastOwnerQueue;
}
