// Connecting the worker's socket to a host: the destination, or the proxy server before the proxy
// step.

#include "Zel/net/ConnectionWorker.h"

#include "Zel/net/ConnectionManagerApi.h"
#include "Zel/net/NameLookup.h"
#include "Zel/net/SecureChannel.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>

namespace {

// The last Winsock error, or fallback when the call left none.
int SocketError(int fallback)
{
    int error = WSAGetLastError();
    return error ? error : fallback;
}

// How long one address may take to accept, and the step at which a connect looks at the worker's
// closing flag: a Close must not wait for the network's own time-out.
const int kConnectTimeoutMs = 30000;
const int kConnectStepMs = 100;

// Connects the worker's socket to address: 0, or the Winsock error (WSAEINTR when the worker was
// told to end). The socket is back in blocking mode afterwards.
int ConnectSocket(CConnectionWorker* worker, const addrinfo* address)
{
    SOCKET s = worker->Socket();
    u_long nonBlocking = 1;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) return SocketError(WSAENOTSOCK);
    int error = 0;
    if (connect(s, address->ai_addr, int(address->ai_addrlen)) != 0) {
        error = SocketError(WSAECONNREFUSED);
        if (error == WSAEWOULDBLOCK) {
            error = WSAETIMEDOUT;
            for (int waited = 0; waited < kConnectTimeoutMs && !worker->IsClosing(); waited += kConnectStepMs) {
                fd_set writable, failed;
                FD_ZERO(&writable);
                FD_ZERO(&failed);
                FD_SET(s, &writable);
                FD_SET(s, &failed);
                timeval step = {0, kConnectStepMs * 1000};
                int ready = select(0, nullptr, &writable, &failed, &step);
                if (ready == SOCKET_ERROR) {
                    error = SocketError(WSAENOTSOCK);
                    break;
                }
                if (ready == 0) continue;
                if (FD_ISSET(s, &writable)) {
                    error = 0;
                    break;
                }
                int refused = 0;
                int size = sizeof refused;
                getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&refused), &size);
                error = refused ? refused : WSAECONNREFUSED;
                break;
            }
            if (worker->IsClosing()) error = WSAEINTR;
        }
    }
    u_long blocking = 0;
    if (ioctlsocket(s, FIONBIO, &blocking) != 0 && error == 0) error = SocketError(WSAENOTSOCK);
    return error;
}

}  // namespace

int ConnectToHost(CConnectionWorker* worker, const CZELString& host, int port)
{
    worker->PostText(CM_STATUS_TEXT, L"Address translation");

    char service[16];
    snprintf(service, sizeof service, "%d", port);
    char* narrowHost = CZELString::Convert(host, CP_ACP);
    addrinfo hints;
    ZeroMemory(&hints, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* addresses = nullptr;
    // The resolver takes an empty name for this machine; for a connection it names no destination.
    int resolved = narrowHost && narrowHost[0] ? LookUpName(narrowHost, service, &hints, &addresses)
                                               : WSAHOST_NOT_FOUND;
    free(narrowHost);
    if (resolved != 0) {
        wchar_t code[16];
        swprintf(code, 16, L"%d", resolved);
        worker->PostText(CM_ERROR_TEXT, CZELString(L"Address translation error: ") + code);
        return resolved;
    }

    worker->PostText(CM_STATUS_TEXT, CZELString(L"Connect to ") + host);
    int secureMode = worker->settings.secureMode;
    CZELString errorText;
    int lastError = 0;
    bool connected = false;
    for (addrinfo* address = addresses; address && !connected; address = address->ai_next) {
        if (address->ai_family != AF_INET && address->ai_family != AF_INET6) continue;
        SOCKET s = socket(address->ai_family, address->ai_socktype, address->ai_protocol);
        if (s == INVALID_SOCKET) {
            lastError = SocketError(WSAENOTSOCK);
            continue;
        }
        if (!worker->AdoptSocket(s)) {
            lastError = WSAEINTR;  // told to end: no more addresses
            break;
        }
        if (secureMode != SECURE_NONE) {
            errorText = L"Can't init secure socket";
            std::unique_ptr<CSecureChannel> channel(
                new (std::nothrow) CSecureChannel(CSecureChannel::ProtocolIdForMode(secureMode)));
            int prepared = channel ? channel->Prepare() : WSAENOBUFS;
            if (prepared != 0) {
                lastError = prepared;
                worker->CloseSocket();
                continue;
            }
            // The handshake waits until any proxy step has opened the tunnel.
            worker->SetSecureChannel(std::move(channel));
            errorText = CZELString();
        }
        int failed = ConnectSocket(worker, address);
        if (failed == 0) {
            connected = true;
        } else {
            lastError = failed;
            worker->CloseSocket();
            if (failed == WSAEINTR) break;  // told to end: no more addresses
        }
    }
    freeaddrinfo(addresses);
    if (connected) return 0;

    if (errorText.IsEmpty()) errorText = CZELString(L"Can't connect to ") + host;
    worker->PostText(CM_ERROR_TEXT, errorText);
    // A failure must never read as "connected".
    return lastError ? lastError : -1;
}
