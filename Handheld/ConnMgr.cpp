#include "Handheld/ConnMgr.h"

#include <cwchar>
#include <map>

const GUID ConnMgrProxyProvider = {0xAF96B0BD, 0xA481, 0x482C, {0xA0, 0x94, 0xA8, 0x44, 0x87, 0x67, 0xA0, 0xC0}};

namespace {

// The desktop's one destination.
const GUID kInternetDestination = {0x436EF144, 0xB4FB, 0x4863, {0xA0, 0x41, 0x8F, 0x90, 0x5A, 0x62, 0xC5, 0x72}};

struct NetworkConnection {
    int position;  // index into the simulation's states of the current one
    DWORD status;
};

// Every call may come from any thread; one lock covers the simulation, the log and the connections.
SRWLOCK g_lock = SRWLOCK_INIT;
bool g_initialised = false;
ConnMgrSimulation g_simulation;
ConnMgrLog g_log;
std::map<HANDLE, NetworkConnection> g_connections;

void FillDefault(ConnMgrSimulation& simulation)
{
    ZeroMemory(&simulation, sizeof simulation);
    simulation.readiness = ConnMgrReadyAtOnce;
    simulation.destinationCount = 1;
    simulation.destinations[0].id = kInternetDestination;
    wcscpy(simulation.destinations[0].description, L"Internet");
    simulation.mapResult = S_OK;
    simulation.establishResult = S_OK;
    simulation.statusCount = 1;
    simulation.statuses[0] = ConnMgrStatusConnected;
    simulation.statusResult = S_OK;
    simulation.proxyResult = S_OK;
    simulation.proxy.type = ConnMgrProxyNone;
}

// Callers hold the lock.
void EnsureInitialised()
{
    if (g_initialised) return;
    FillDefault(g_simulation);
    ZeroMemory(&g_log, sizeof g_log);
    g_initialised = true;
}

struct Exclusive {
    Exclusive()
    {
        AcquireSRWLockExclusive(&g_lock);
        EnsureInitialised();
    }
    ~Exclusive() { ReleaseSRWLockExclusive(&g_lock); }
};

int Clamp(int value, int low, int high)
{
    return value < low ? low : value > high ? high : value;
}

}  // namespace

HANDLE ConnMgrApiReadyEvent(void)
{
    DWORD readiness;
    {
        Exclusive hold;
        readiness = g_simulation.readiness;
    }
    if (readiness == ConnMgrReadyNoHandle) return nullptr;
    return CreateEventW(nullptr, TRUE, readiness == ConnMgrReadyAtOnce, nullptr);
}

HRESULT ConnMgrEnumDestinations(int index, ConnMgrDestination* destination)
{
    if (!destination) return E_POINTER;
    Exclusive hold;
    int count = Clamp(g_simulation.destinationCount, 0, ConnMgrMaxSimulatedDestinations);
    if (index < 0 || index >= count) return E_FAIL;
    *destination = g_simulation.destinations[index];
    destination->description[128] = L'\0';
    return S_OK;
}

HRESULT ConnMgrMapURL(LPCWSTR url, GUID* destination, DWORD* index)
{
    if (!url || !destination) return E_POINTER;
    Exclusive hold;
    ++g_log.mapCalls;
    wcsncpy(g_log.lastMappedUrl, url, 511);
    g_log.lastMappedUrl[511] = L'\0';
    if (FAILED(g_simulation.mapResult)) return g_simulation.mapResult;
    int count = Clamp(g_simulation.destinationCount, 0, ConnMgrMaxSimulatedDestinations);
    int chosen = g_simulation.mapIndex;
    if (chosen < 0 || chosen >= count) return E_FAIL;
    *destination = g_simulation.destinations[chosen].id;
    if (index) *index = DWORD(chosen);
    return S_OK;
}

HRESULT ConnMgrEstablishConnection(const ConnMgrRequest* request, HANDLE* connection)
{
    if (!request || !connection) return E_POINTER;
    if (request->size != sizeof(ConnMgrRequest)) return E_INVALIDARG;
    Exclusive hold;
    ++g_log.establishCalls;
    g_log.lastRequest = *request;
    if (FAILED(g_simulation.establishResult)) return g_simulation.establishResult;
    if (g_simulation.unwaitableHandle) {
        // A handle value no process has: every wait on it fails.
        *connection = reinterpret_cast<HANDLE>(intptr_t(0x7FFFFFF0));
        return S_OK;
    }
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!event) return HRESULT_FROM_WIN32(GetLastError());
    NetworkConnection state = {0, ConnMgrStatusUnknown};
    if (g_simulation.statusCount > 0) {
        state.status = g_simulation.statuses[0];
        SetEvent(event);
    }
    g_connections[event] = state;
    ++g_log.openConnections;
    *connection = event;
    return S_OK;
}

HRESULT ConnMgrConnectionStatus(HANDLE connection, DWORD* status)
{
    if (!status) return E_POINTER;
    Exclusive hold;
    auto found = g_connections.find(connection);
    if (found == g_connections.end()) return E_INVALIDARG;
    if (FAILED(g_simulation.statusResult)) return g_simulation.statusResult;
    NetworkConnection& state = found->second;
    *status = state.status;
    int count = Clamp(g_simulation.statusCount, 0, ConnMgrMaxSimulatedStatuses);
    if (state.position + 1 < count) {
        ++state.position;
        state.status = g_simulation.statuses[state.position];
        SetEvent(connection);
    }
    return S_OK;
}

HRESULT ConnMgrProviderMessage(HANDLE connection, const GUID* provider, DWORD* index, DWORD message1,
                               DWORD message2, BYTE* params, ULONG size)
{
    if (!provider || !params) return E_POINTER;
    Exclusive hold;
    if (g_connections.find(connection) == g_connections.end()) return E_INVALIDARG;
    if (!IsEqualGUID(*provider, ConnMgrProxyProvider)) return E_NOINTERFACE;
    if (size < sizeof(ConnMgrProxyConfig)) return E_INVALIDARG;
    if (FAILED(g_simulation.proxyResult)) return g_simulation.proxyResult;
    ConnMgrProxyConfig proxy = g_simulation.proxy;
    proxy.server[255] = proxy.userName[31] = proxy.password[31] = L'\0';
    memcpy(params, &proxy, sizeof proxy);
    return S_OK;
}

HRESULT ConnMgrReleaseConnection(HANDLE connection, LONG cache)
{
    Exclusive hold;
    auto found = g_connections.find(connection);
    if (found == g_connections.end()) return E_INVALIDARG;
    CloseHandle(found->first);
    g_connections.erase(found);
    --g_log.openConnections;
    ++g_log.releases;
    g_log.lastCache = cache;
    return S_OK;
}

void ConnMgrDefaultSimulation(ConnMgrSimulation* simulation)
{
    if (simulation) FillDefault(*simulation);
}

void ConnMgrSetSimulation(const ConnMgrSimulation* simulation)
{
    Exclusive hold;
    if (simulation)
        g_simulation = *simulation;
    else
        FillDefault(g_simulation);
    int open = g_log.openConnections;
    ZeroMemory(&g_log, sizeof g_log);
    g_log.openConnections = open;
}

void ConnMgrSetStatusResult(HRESULT result)
{
    Exclusive hold;
    g_simulation.statusResult = result;
}

void ConnMgrChangeStatus(DWORD status)
{
    Exclusive hold;
    for (auto& entry : g_connections) {
        entry.second.status = status;
        // Past the scripted states: this one stays.
        entry.second.position = ConnMgrMaxSimulatedStatuses;
        SetEvent(entry.first);
    }
}

void ConnMgrGetLog(ConnMgrLog* log)
{
    if (!log) return;
    Exclusive hold;
    *log = g_log;
}
