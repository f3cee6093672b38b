// The connection's worker thread: attach, connect (directly or through a proxy), secure, report,
// receive.

#include "Zel/net/ConnectionWorker.h"

#include "Handheld/ConnMgr.h"
#include "Zel/net/Connection.h"
#include "Zel/net/ConnectionManagerApi.h"
#include "Zel/net/ProxyHandshake.h"
#include "Zel/net/SecureChannel.h"

#include <winsock2.h>

#include <algorithm>

namespace {

// The idle select time-out grows from one unit of 60 ms by doubling while nothing happens, up to
// 512 units (30.72 s), and drops back to one unit on any activity.
const int kUnitMicroseconds = 60000;
const int kMaxUnitToDouble = 500;

// Connects to the proxy server and has it open the tunnel to the destination. tunnelData gets the
// destination's first bytes when they came with the proxy's reply.
int ConnectThroughProxy(CConnection* connection, Proxy::Bytes& tunnelData)
{
    const ConnectionSettings& settings = connection->settings;
    int code = ConnectToHost(connection, settings.proxyHost, settings.proxyPort);
    if (code != 0) return code;
    connection->PostText(CM_STATUS_TEXT, Proxy::TextInitProxy);
    Proxy::SocketStream stream(connection->Socket());
    Proxy::HandshakeResult result;
    code = Proxy::RunHandshake(stream, Proxy::HandshakeParams::From(settings), result);
    if (code != 0) {
        if (!result.errorText.IsEmpty()) connection->PostText(CM_ERROR_TEXT, result.errorText);
        return code;
    }
    tunnelData.swap(result.tunnelData);
    return 0;
}

// Queues bytes that arrived before the receive loop, in chunks of at most MaxChunk bytes. False
// when one could not be stored.
bool QueueEarlyData(CConnection* connection, const Proxy::Bytes& data)
{
    size_t offset = 0;
    while (offset < data.size()) {
        int piece = int(std::min<size_t>(CConnection::MaxChunk, data.size() - offset));
        if (!connection->QueueChunk(reinterpret_cast<const char*>(data.data() + offset), piece)) return false;
        offset += size_t(piece);
    }
    return true;
}

// Once the connection is closing, whatever the worker's calls report is the close itself.
int DisconnectReason(CConnection* connection, int reason)
{
    return connection->IsClosing() ? 0 : reason;
}

// Queues every plaintext byte the secure channel holds, reading the socket at most once (only when
// mayRead). True when it ran dry; false when the connection ended, with the reason.
bool DrainSecureChannel(CConnection* connection, CSecureChannel* secure, bool mayRead, int& reason)
{
    char buffer[CConnection::MaxChunk];
    for (;;) {
        int count = secure->Receive(connection->Socket(), buffer, CConnection::MaxChunk, mayRead);
        mayRead = false;
        if (count == CSecureChannel::NeedMore) return true;
        if (count == 0) {
            reason = 0;
            return false;
        }
        if (count < 0) {
            reason = DisconnectReason(connection, secure->LastError());
            return false;
        }
        if (!connection->QueueChunk(buffer, count)) {
            reason = WSAENOBUFS;  // a chunk that cannot be kept would be lost data
            return false;
        }
    }
}

// Receives until the connection ends; posts CM_DISCONNECTED once with the reason.
void ReceiveLoop(CConnection* connection)
{
    CSecureChannel* secure = connection->SecureChannel();
    int reason = 0;
    // The handshake's last read may already have brought data.
    if (secure && !DrainSecureChannel(connection, secure, false, reason)) {
        connection->PostValue(CM_DISCONNECTED, reason);
        return;
    }

    int unit = 1;
    for (;;) {
        HANDLE handles[2] = {connection->abortEvent, connection->networkConnection};
        DWORD poll = WaitForMultipleObjects(2, handles, FALSE, 0);
        if (poll == WAIT_OBJECT_0) {
            connection->PostValue(CM_DISCONNECTED, 0);
            ResetEvent(connection->abortEvent);
            return;
        }
        if (poll == WAIT_OBJECT_0 + 1) {
            DWORD status = 0;
            HRESULT read = ConnMgrConnectionStatus(connection->networkConnection, &status);
            if (FAILED(read)) {
                connection->PostValue(CM_DISCONNECTED, DisconnectReason(connection, int(read)));
                return;
            }
            if (status != ConnMgrStatusConnected && status != ConnMgrStatusSuspended) {
                connection->PostValue(CM_DISCONNECTED, DisconnectReason(connection, int(status)));
                return;
            }
        } else if (poll != WAIT_TIMEOUT) {
            DWORD error = GetLastError();
            connection->PostValue(CM_DISCONNECTED, DisconnectReason(connection, error ? int(error) : -1));
            return;
        }

        SOCKET s = connection->Socket();
        fd_set readable, failed;
        FD_ZERO(&readable);
        FD_ZERO(&failed);
        FD_SET(s, &readable);
        FD_SET(s, &failed);
        long long wait = (long long)unit * kUnitMicroseconds;
        timeval timeout = {long(wait / 1000000), long(wait % 1000000)};
        int ready = select(0, &readable, nullptr, &failed, &timeout);
        if (ready == SOCKET_ERROR) {
            int error = WSAGetLastError();
            if (error == WSAEINPROGRESS && !connection->IsClosing()) {
                Sleep(DWORD(unit));
                continue;
            }
            connection->PostValue(CM_DISCONNECTED, DisconnectReason(connection, error ? error : -1));
            return;
        }
        if (ready == 0) {
            if (unit < kMaxUnitToDouble) unit *= 2;
            continue;
        }

        if (FD_ISSET(s, &readable)) {
            if (secure) {
                if (!DrainSecureChannel(connection, secure, true, reason)) {
                    connection->PostValue(CM_DISCONNECTED, reason);
                    return;
                }
            } else {
                char buffer[CConnection::MaxChunk];
                int count = recv(s, buffer, CConnection::MaxChunk, 0);
                if (count == SOCKET_ERROR) {
                    int error = WSAGetLastError();
                    connection->PostValue(CM_DISCONNECTED, DisconnectReason(connection, error ? error : -1));
                    return;
                }
                if (count == 0) {
                    connection->PostValue(CM_DISCONNECTED, 0);
                    return;
                }
                if (!connection->QueueChunk(buffer, count)) {
                    connection->PostValue(CM_DISCONNECTED, WSAENOBUFS);
                    return;
                }
            }
        }
        if (FD_ISSET(s, &failed)) {
            int error = 0;
            int size = sizeof error;
            getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size);
            connection->PostValue(CM_DISCONNECTED, DisconnectReason(connection, error));
            return;
        }
        unit = 1;
    }
}

// Ends the worker's hold on the connection: socket, secure channel and network.
void EndWorker(CConnection* connection)
{
    connection->CloseSocket();
    connection->CloseTransport();
    connection->ReleaseNetwork(1);
}

}  // namespace

DWORD WINAPI ConnectionThreadProc(void* argument)
{
    CConnection* connection = static_cast<CConnection*>(argument);
    if (!connection) return DWORD(-1);
    ConnectionSettings& settings = connection->settings;

    // Without a network there is no connection to report: the attach's own code (-1, or the
    // wait's result) is the connect result.
    int code = AttachNetwork(connection);
    if (code != 0) {
        connection->PostValue(CM_CONNECT_RESULT, code);
        EndWorker(connection);
        return 0;
    }

    Proxy::Bytes tunnelData;
    switch (settings.proxyType) {
    case PROXY_NONE: code = ConnectToHost(connection, settings.host, settings.port); break;
    case PROXY_HTTP:
    case PROXY_SOCKS4:
    case PROXY_SOCKS5: code = ConnectThroughProxy(connection, tunnelData); break;
    default: code = -1; break;
    }
    if (code != 0) {
        connection->CloseSocket();
        connection->CloseTransport();
        connection->PostValue(CM_CONNECT_RESULT, code);
        connection->ReleaseNetwork(1);
        return 0;
    }

    if (settings.secureMode != SECURE_NONE) {
        connection->PostText(CM_STATUS_TEXT, L"Init secure connection");
        CSecureChannel* secure = connection->SecureChannel();
        int failed = secure ? secure->Handshake(connection->Socket(), settings.host,
                                                reinterpret_cast<const char*>(tunnelData.data()),
                                                int(tunnelData.size()))
                            : -1;
        tunnelData.clear();  // the handshake took it
        if (failed != 0) {
            connection->PostText(CM_ERROR_TEXT, L"Secure connection error");
            connection->PostValue(CM_CONNECT_RESULT, -1);
            EndWorker(connection);
            return 0;
        }
    }

    connection->OpenTransport();
    connection->PostValue(CM_CONNECT_RESULT, 0);
    if (!QueueEarlyData(connection, tunnelData))
        connection->PostValue(CM_DISCONNECTED, WSAENOBUFS);
    else
        ReceiveLoop(connection);
    EndWorker(connection);
    return 0;
}
