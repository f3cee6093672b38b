// The steps of a connection's worker, on its thread: attach, connect (directly or through a proxy),
// secure, report, receive.

#include "Zel/net/ConnectionWorker.h"

#include "Handheld/ConnMgr.h"
#include "Zel/net/ConnectionManagerApi.h"
#include "Zel/net/ProxyHandshake.h"
#include "Zel/net/SecureChannel.h"

#include <winsock2.h>

#include <algorithm>
#include <vector>

namespace {

// The idle select time-out grows from one unit of 60 ms by doubling while nothing happens, up to
// 512 units (30.72 s), and drops back to one unit on any activity.
const int kUnitMicroseconds = 60000;
const int kMaxUnitToDouble = 500;
// While data flows, the abort and network events are looked at once per unit rather than before
// every receive: under Wine each look is a trip to the wine server. Abort also shuts the socket
// down, which ends a receive at once.
const ULONGLONG kPollMilliseconds = kUnitMicroseconds / 1000;
// The most one receive of a plain connection takes from the socket.
const int kReceiveBytes = 64 * 1024;

// Connects to the proxy server and has it open the tunnel to the destination. tunnelData gets the
// destination's first bytes when they came with the proxy's reply.
int ConnectThroughProxy(CConnectionWorker* worker, Proxy::Bytes& tunnelData)
{
    const ConnectionSettings& settings = worker->settings;
    int code = ConnectToHost(worker, settings.proxyHost, settings.proxyPort);
    if (code != 0) return code;
    worker->PostText(CM_STATUS_TEXT, Proxy::TextInitProxy);
    Proxy::SocketStream stream(worker->Socket());
    Proxy::HandshakeResult result;
    code = Proxy::RunHandshake(stream, Proxy::HandshakeParams::From(settings), result);
    if (code != 0) {
        if (!result.errorText.IsEmpty()) worker->PostText(CM_ERROR_TEXT, result.errorText);
        return code;
    }
    tunnelData.swap(result.tunnelData);
    return 0;
}

// Once the connection is closing, whatever the worker's calls report is the close itself.
int DisconnectReason(CConnectionWorker* worker, int reason)
{
    return worker->IsClosing() ? 0 : reason;
}

// Queues every plaintext byte the secure channel holds, reading the socket at most once (only when
// mayRead). True when it ran dry; false when the connection ended, with the reason.
bool DrainSecureChannel(CConnectionWorker* worker, CSecureChannel* secure, bool mayRead, int& reason)
{
    char buffer[CChunkQueue::MaxChunk];
    for (;;) {
        int count = secure->Receive(worker->Socket(), buffer, CChunkQueue::MaxChunk, mayRead);
        mayRead = false;
        if (count == CSecureChannel::NeedMore) return true;
        if (count == 0) {
            reason = 0;
            return false;
        }
        if (count < 0) {
            reason = DisconnectReason(worker, secure->LastError());
            return false;
        }
        if (!worker->QueueChunk(buffer, count)) {
            reason = WSAENOBUFS;  // a chunk that cannot be kept would be lost data
            return false;
        }
    }
}

// Receives until the connection ends; the reason it ended (0 when closed or aborted).
int ReceiveLoop(CConnectionWorker* worker)
{
    CSecureChannel* secure = worker->SecureChannel();
    int reason = 0;
    // The handshake's last read may already have brought data.
    if (secure && !DrainSecureChannel(worker, secure, false, reason)) {
        return reason;
    }

    std::vector<char> received(kReceiveBytes);
    int unit = 1;
    ULONGLONG lastPoll = 0;
    for (;;) {
        ULONGLONG now = GetTickCount64();
        HANDLE handles[2] = {worker->abortEvent, worker->networkConnection};
        DWORD poll = WAIT_TIMEOUT;
        if (now - lastPoll >= kPollMilliseconds) {
            lastPoll = now;
            poll = WaitForMultipleObjects(2, handles, FALSE, 0);
        }
        if (poll == WAIT_OBJECT_0) {
            ResetEvent(worker->abortEvent);
            return 0;
        }
        if (poll == WAIT_OBJECT_0 + 1) {
            DWORD status = 0;
            HRESULT read = ConnMgrConnectionStatus(worker->networkConnection, &status);
            if (FAILED(read)) {
                return DisconnectReason(worker, int(read));
            }
            if (status != ConnMgrStatusConnected && status != ConnMgrStatusSuspended) {
                return DisconnectReason(worker, int(status));
            }
        } else if (poll != WAIT_TIMEOUT) {
            DWORD error = GetLastError();
            return DisconnectReason(worker, error ? int(error) : -1);
        }

        SOCKET s = worker->Socket();
        fd_set readable, failed;
        FD_ZERO(&readable);
        FD_ZERO(&failed);
        FD_SET(s, &readable);
        // Bytes already waiting need no select, which under Wine is another trip to the server.
        u_long waiting = 0;
        int ready = ioctlsocket(s, FIONREAD, &waiting) == 0 && waiting > 0 ? 1 : 0;
        if (!ready) {
            FD_SET(s, &failed);
            long long wait = (long long)unit * kUnitMicroseconds;
            timeval timeout = {long(wait / 1000000), long(wait % 1000000)};
            ready = select(0, &readable, nullptr, &failed, &timeout);
        }
        if (ready == SOCKET_ERROR) {
            int error = WSAGetLastError();
            if (error == WSAEINPROGRESS && !worker->IsClosing()) {
                Sleep(DWORD(unit));
                continue;
            }
            return DisconnectReason(worker, error ? error : -1);
        }
        if (ready == 0) {
            if (unit < kMaxUnitToDouble) unit *= 2;
            continue;
        }

        if (FD_ISSET(s, &readable)) {
            if (secure) {
                if (!DrainSecureChannel(worker, secure, true, reason)) {
                    return reason;
                }
            } else {
                // One receive takes what the socket holds, and it is queued in chunks: under Wine
                // each socket call is a trip to the wine server, which a 1 KB read pays per KB.
                char* buffer = received.data();
                int count = recv(s, buffer, int(received.size()), 0);
                if (count == SOCKET_ERROR) {
                    int error = WSAGetLastError();
                    return DisconnectReason(worker, error ? error : -1);
                }
                if (count == 0) {
                    return 0;
                }
                if (!worker->QueueChunks(buffer, size_t(count))) {
                    return WSAENOBUFS;
                }
            }
        }
        if (FD_ISSET(s, &failed)) {
            int error = 0;
            int size = sizeof error;
            getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size);
            return DisconnectReason(worker, error);
        }
        unit = 1;
    }
}

// Ends the worker's hold on the connection: socket, secure channel and network.
void EndWorker(CConnectionWorker* worker)
{
    worker->CloseSocket();
    worker->CloseTransport();
    worker->ReleaseNetwork(1);
}

}  // namespace

void RunConnectionWorker(CConnectionWorker* worker)
{
    ConnectionSettings& settings = worker->settings;

    // Without a network there is no connection to report: the attach's own code (-1, or the
    // wait's result) is the connect result.
    int code = AttachNetwork(worker);
    if (code != 0) {
        worker->PostValue(CM_CONNECT_RESULT, code);
        EndWorker(worker);
        return;
    }

    Proxy::Bytes tunnelData;
    switch (settings.proxyType) {
    case PROXY_NONE: code = ConnectToHost(worker, settings.host, settings.port); break;
    case PROXY_HTTP:
    case PROXY_SOCKS4:
    case PROXY_SOCKS5: code = ConnectThroughProxy(worker, tunnelData); break;
    default: code = -1; break;
    }
    if (code != 0) {
        worker->CloseSocket();
        worker->CloseTransport();
        worker->PostValue(CM_CONNECT_RESULT, code);
        worker->ReleaseNetwork(1);
        return;
    }

    if (settings.secureMode != SECURE_NONE) {
        worker->PostText(CM_STATUS_TEXT, L"Init secure connection");
        CSecureChannel* secure = worker->SecureChannel();
        int failed = secure ? secure->Handshake(worker->Socket(), settings.host,
                                                reinterpret_cast<const char*>(tunnelData.data()),
                                                int(tunnelData.size()))
                            : -1;
        tunnelData.clear();  // the handshake took it
        if (failed != 0) {
            worker->PostText(CM_ERROR_TEXT, L"Secure connection error");
            worker->PostValue(CM_CONNECT_RESULT, -1);
            EndWorker(worker);
            return;
        }
    }

    worker->OpenTransport();
    worker->PostValue(CM_CONNECT_RESULT, 0);
    const int reason = worker->QueueChunks(reinterpret_cast<const char*>(tunnelData.data()), tunnelData.size())
                           ? ReceiveLoop(worker)
                           : WSAENOBUFS;
    // Ended before it is announced: a send made on the notice fails instead of reaching a socket
    // whose other side has gone.
    EndWorker(worker);
    worker->PostValue(CM_DISCONNECTED, reason);
}
