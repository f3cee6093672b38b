// The handheld's Connection Manager: it tells which network destinations the device has, maps an
// address to one of them, and hands out network connections whose state a caller reads after the
// connection's handle is signalled.
//
// A desktop is always on its network, so by default there is one destination ("Internet"), every
// address maps to it, a connection is connected as soon as it is asked for, and the network has no
// proxy. Tests replace that with a simulation (below) that can make each step fail or wait, and read
// back what the callers asked for.
#pragma once

#include "Handheld/HandheldApi.h"

#include <windows.h>

extern "C" {

// Connection states. The 0x20 bit marks a connection that is down or could not be made.
enum {
    ConnMgrStatusUnknown = 0x00,
    ConnMgrStatusConnected = 0x10,
    ConnMgrStatusSuspended = 0x11,
    ConnMgrStatusDisconnected = 0x20,
    ConnMgrStatusConnectionFailed = 0x21,
    ConnMgrStatusConnectionCanceled = 0x22,
    ConnMgrStatusConnectionDisabled = 0x23,
    ConnMgrStatusNoPathToDestination = 0x24,
    ConnMgrStatusWaitingForPath = 0x25,
    ConnMgrStatusWaitingForPhone = 0x26,
    ConnMgrStatusPhoneOff = 0x27,
    ConnMgrStatusExclusiveConflict = 0x28,
    ConnMgrStatusNoResources = 0x29,
    ConnMgrStatusConnectionLinkFailed = 0x2A,
    ConnMgrStatusAuthenticationFailed = 0x2B,
    ConnMgrStatusNoPathWithProperty = 0x2C,
    ConnMgrStatusDownBit = 0x20,
};

// ConnMgrRequest.parameters: which of the optional fields are given.
enum { ConnMgrParamDestination = 0x1 };

// ConnMgrRequest.flags: the proxies the caller can talk through, and that it copes with suspension.
enum {
    ConnMgrFlagHttpProxy = 0x01,
    ConnMgrFlagSocks4Proxy = 0x04,
    ConnMgrFlagSocks5Proxy = 0x08,
    ConnMgrFlagSuspendAware = 0x10,
};

// ConnMgrRequest.priority of a request made while the user waits for it.
enum { ConnMgrPriorityUserInteractive = 0x8000 };

// ConnMgrProxyConfig.type.
enum {
    ConnMgrProxyNone = 0,
    ConnMgrProxyHttp = 1,
    ConnMgrProxySocks4 = 4,
    ConnMgrProxySocks5 = 8,
};

// One network destination.
struct ConnMgrDestination {
    GUID id;
    WCHAR description[129];  // at most 128 units and a zero
    BOOL secure;
};

// A request for a network connection.
struct ConnMgrRequest {
    DWORD size;        // sizeof(ConnMgrRequest)
    DWORD parameters;  // ConnMgrParam* bits
    DWORD flags;       // ConnMgrFlag* bits
    DWORD priority;
    BOOL exclusive;
    BOOL disabled;
    GUID destination;
    HWND window;  // no notification window: callers wait on the connection's handle
    UINT message;
    LPARAM parameter;
    ULONG maxCost;
    ULONG minBandwidth;
    ULONG maxLatency;
};

// The proxy a network tells its callers to use.
struct ConnMgrProxyConfig {
    DWORD type;  // ConnMgrProxy*
    BOOL enabled;
    WCHAR server[256];  // "host:port"
    WCHAR userName[32];
    WCHAR password[32];
    WCHAR overrides[256];
    WCHAR extra[64];
};

// The provider that answers a ConnMgrProxyConfig query: {AF96B0BD-A481-482C-A094-A8448767A0C0}.
HANDHELD_API extern const GUID ConnMgrProxyProvider;

// A new handle (the caller closes it) that becomes signalled once the Connection Manager is ready;
// null when there is none to give.
HANDHELD_API HANDLE ConnMgrApiReadyEvent(void);
// The index-th destination (from 0); a failure past the last one.
HANDHELD_API HRESULT ConnMgrEnumDestinations(int index, ConnMgrDestination* destination);
// The destination that reaches url, and its index.
HANDHELD_API HRESULT ConnMgrMapURL(LPCWSTR url, GUID* destination, DWORD* index);
// A new network connection for request. *connection is a waitable handle, signalled whenever the
// connection's state changes; it stays valid until ConnMgrReleaseConnection.
HANDHELD_API HRESULT ConnMgrEstablishConnection(const ConnMgrRequest* request, HANDLE* connection);
// The connection's current state (ConnMgrStatus*).
HANDHELD_API HRESULT ConnMgrConnectionStatus(HANDLE connection, DWORD* status);
// Asks a provider of the connection's network; for ConnMgrProxyProvider, params is a
// ConnMgrProxyConfig of size bytes, filled with the network's proxy.
HANDHELD_API HRESULT ConnMgrProviderMessage(HANDLE connection, const GUID* provider, DWORD* index, DWORD message1,
                                            DWORD message2, BYTE* params, ULONG size);
// Gives the connection back; cache non-zero lets the network stay up for a later request. The
// handle is invalid afterwards.
HANDHELD_API HRESULT ConnMgrReleaseConnection(HANDLE connection, LONG cache);

// ---- Simulation, for tests ----

enum {
    ConnMgrReadyAtOnce = 0,
    ConnMgrReadyNever = 1,  // the ready handle is never signalled
    ConnMgrReadyNoHandle = 2,  // ConnMgrApiReadyEvent gives no handle at all
};

enum { ConnMgrMaxSimulatedDestinations = 8, ConnMgrMaxSimulatedStatuses = 8 };

struct ConnMgrSimulation {
    DWORD readiness;  // ConnMgrReady*
    int destinationCount;
    ConnMgrDestination destinations[ConnMgrMaxSimulatedDestinations];
    // ConnMgrMapURL: a failure result, or S_OK to map every address to destination mapIndex.
    HRESULT mapResult;
    int mapIndex;
    // ConnMgrEstablishConnection: a failure result, or S_OK to hand out a connection.
    HRESULT establishResult;
    // Hands out a handle nobody can wait on (waits on it fail).
    BOOL unwaitableHandle;
    // The states a new connection passes through: it starts in the first and is signalled; each
    // status query that reads a state moves it to the next and signals again. The last state stays
    // and is not signalled again. No states: the connection is never signalled.
    int statusCount;
    DWORD statuses[ConnMgrMaxSimulatedStatuses];
    // ConnMgrConnectionStatus: a failure result, or S_OK.
    HRESULT statusResult;
    // ConnMgrProviderMessage for the proxy provider: a failure result, or S_OK giving proxy.
    HRESULT proxyResult;
    ConnMgrProxyConfig proxy;
};

// What callers asked of the Connection Manager since the simulation was last set.
struct ConnMgrLog {
    WCHAR lastMappedUrl[512];  // the last address ConnMgrMapURL was asked for (clipped)
    int mapCalls;
    int establishCalls;
    ConnMgrRequest lastRequest;
    int releases;  // successful ConnMgrReleaseConnection calls
    LONG lastCache;
    int openConnections;
};

// The desktop's behaviour: one destination "Internet", everything connected at once, no proxy.
HANDHELD_API void ConnMgrDefaultSimulation(ConnMgrSimulation* simulation);
// Replaces the behaviour (null restores the default) and clears the log. Connections already open
// keep their states.
HANDHELD_API void ConnMgrSetSimulation(const ConnMgrSimulation* simulation);
// Changes the behaviour of status queries from now on, for connections already open too.
HANDHELD_API void ConnMgrSetStatusResult(HRESULT result);
// Moves every open connection to status and signals it (the network going away, for example).
HANDHELD_API void ConnMgrChangeStatus(DWORD status);
HANDHELD_API void ConnMgrGetLog(ConnMgrLog* log);
}
