// Attaching the device to a network through the platform's Connection Manager.

#include "Zel/net/ConnectionWorker.h"

#include "Handheld/ConnMgr.h"
#include "Zel/net/ConnectionManagerApi.h"

#include <atomic>
#include <cwchar>

namespace {

std::atomic<DWORD> g_readyWait(10000);
std::atomic<DWORD> g_statusWait(60000);

// Destinations are numbered from 0 until the enumeration fails; a platform never has this many.
const int kMaxDestinations = 1024;

CZELString Hex(unsigned value, int width)
{
    wchar_t text[16];
    swprintf(text, 16, L"%0*x", width, value);
    return CZELString(text);
}

// Gives the network connection back (not kept for later), reports why, and fails.
int FailAttach(CConnectionWorker* worker, const CZELString& detail)
{
    worker->ReleaseNetwork(0);
    worker->PostText(CM_ERROR_TEXT, CZELString(L"Network error") + detail);
    return -1;
}

// The part of text before the first ':' and the decimal number after it (0 when there is none).
void SplitServer(const wchar_t* text, CZELString& host, int& port)
{
    const wchar_t* colon = wcschr(text, L':');
    if (!colon) {
        host = CZELString(text);
        port = 0;
        return;
    }
    host = CZELString(text, int(colon - text));
    port = int(CZELString::Toi(colon + 1, int(wcslen(colon + 1)), false));
}

// Takes over the network's own proxy when the connection names none.
void TakeNetworkProxy(CConnectionWorker* worker)
{
    ConnectionSettings& settings = worker->settings;
    ConnMgrProxyConfig proxy;
    ZeroMemory(&proxy, sizeof proxy);
    HRESULT result = ConnMgrProviderMessage(worker->networkConnection, &ConnMgrProxyProvider, nullptr, 0, 0,
                                            reinterpret_cast<BYTE*>(&proxy), sizeof proxy);
    if (FAILED(result)) return;
    int type;
    switch (proxy.type) {
    case ConnMgrProxyHttp: type = PROXY_HTTP; break;
    case ConnMgrProxySocks4: type = PROXY_SOCKS4; break;
    case ConnMgrProxySocks5: type = PROXY_SOCKS5; break;
    default: return;
    }
    proxy.server[255] = proxy.userName[31] = proxy.password[31] = L'\0';
    settings.proxyType = type;
    worker->PostText(CM_STATUS_TEXT, L"Connect to network");
    SplitServer(proxy.server, settings.proxyHost, settings.proxyPort);
    if (proxy.userName[0]) {
        settings.proxyAuth = true;
        settings.proxyLogin = CZELString(proxy.userName);
        settings.proxyPassword = CZELString(proxy.password);
    } else {
        settings.proxyAuth = false;
    }
}

}  // namespace

void SetAttachWaitLimits(const AttachWaitLimits& limits)
{
    g_readyWait = limits.readyMilliseconds;
    g_statusWait = limits.statusMilliseconds;
}

AttachWaitLimits GetAttachWaitLimits()
{
    AttachWaitLimits limits;
    limits.readyMilliseconds = g_readyWait;
    limits.statusMilliseconds = g_statusWait;
    return limits;
}

CZELString GetConnMgrStatusText(int status)
{
    switch (status) {
    case 0x20: return L"Connection is disconnected";
    case 0x21: return L"Connection failed and can't be reestablished";
    case 0x22: return L"User aborted connection";
    case 0x23: return L"Connection is ready to connect but disabled";
    case 0x24: return L"No path could be found to destination";
    case 0x27: return L"Phone resource needed and phone is off";
    case 0x28:
        return L"The connection could not be established because it would multi-home an exclusive connection";
    case 0x29: return L"Failed to allocate resources to make the connection";
    case 0x2A: return L"Connection link disconnected prematurely";
    case 0x2B: return L"Failed to authenticate user";
    case 0x2C: return L"Path with connection having requested property, ex. WAKE_ON_INCOMING, is not available";
    default: return CZELString();
    }
}

int AttachNetwork(CConnectionWorker* worker)
{
    worker->PostText(CM_STATUS_TEXT, L"Connect to network");

    HANDLE ready = ConnMgrApiReadyEvent();
    DWORD readiness = WaitForSingleObject(ready, g_readyWait);
    if (ready) CloseHandle(ready);
    if (readiness != WAIT_OBJECT_0) return int(readiness);

    // The network is chosen for the first hop: the proxy, unless it is this machine.
    ConnectionSettings& settings = worker->settings;
    bool localProxy = settings.proxyHost == L"localhost" || settings.proxyHost == L"127.0.0.1";
    CZELString address =
        CZELString(L"http://") + (settings.proxyType != PROXY_NONE && !localProxy ? settings.proxyHost : settings.host);

    GUID destination = GUID_NULL;
    bool chosen = false;
    if (!settings.accessPoint.IsEmpty()) {
        ConnMgrDestination info;
        for (int index = 0; index < kMaxDestinations && SUCCEEDED(ConnMgrEnumDestinations(index, &info)); ++index) {
            info.description[128] = L'\0';
            if (settings.accessPoint == info.description) {
                destination = info.id;
                chosen = true;
                break;
            }
        }
    }
    if (!chosen) {
        DWORD index = 0;
        HRESULT mapped = ConnMgrMapURL(address.GetBuffer() ? address.GetBuffer() : L"", &destination, &index);
        if (FAILED(mapped))
            return FailAttach(worker, L": can't find network (0x" + Hex(unsigned(mapped), 8) + L")");
    }

    ConnMgrRequest request;
    ZeroMemory(&request, sizeof request);
    request.size = sizeof request;
    request.parameters = ConnMgrParamDestination;
    request.flags = ConnMgrFlagHttpProxy | ConnMgrFlagSocks4Proxy | ConnMgrFlagSocks5Proxy | ConnMgrFlagSuspendAware;
    request.priority = ConnMgrPriorityUserInteractive;
    request.destination = destination;
    HANDLE network = nullptr;
    HRESULT established = ConnMgrEstablishConnection(&request, &network);
    if (FAILED(established))
        return FailAttach(worker, L": connection request error 0x" + Hex(unsigned(established), 0));
    worker->networkConnection = network;

    DWORD lastStatus = ConnMgrStatusUnknown;
    for (;;) {
        HANDLE handles[2] = {network, worker->abortEvent};
        DWORD wait = WaitForMultipleObjects(2, handles, FALSE, g_statusWait);
        if (wait == WAIT_OBJECT_0) {
            DWORD status = 0;
            HRESULT read = ConnMgrConnectionStatus(network, &status);
            if (FAILED(read))
                return FailAttach(worker, L" can't determine connection status 0x" + Hex(unsigned(read), 0));
            lastStatus = status;
            if ((status & ConnMgrStatusDownBit) && status != ConnMgrStatusWaitingForPath &&
                status != ConnMgrStatusWaitingForPhone) {
                CZELString text = GetConnMgrStatusText(int(status));
                return FailAttach(worker, text.IsEmpty() ? L" 0x" + Hex(status, 0) : L": " + text);
            }
            if (status == ConnMgrStatusConnected) break;
            continue;  // still on its way: each wait has its own time
        }
        if (wait == WAIT_OBJECT_0 + 1) {
            ResetEvent(worker->abortEvent);
            return FailAttach(worker, L": user aborted connection");
        }
        if (wait == WAIT_TIMEOUT) {
            CZELString text = GetConnMgrStatusText(int(lastStatus));
            CZELString detail = L": timeout expired ";
            if (!text.IsEmpty()) detail += L"(" + text + L")";
            return FailAttach(worker, detail);
        }
        ResetEvent(worker->abortEvent);
        return FailAttach(worker, L" state detection error 0x" + Hex(wait, 0));
    }

    if (settings.proxyType == PROXY_NONE) TakeNetworkProxy(worker);
    return 0;
}
