// Connecting the connection's socket to a host: the destination, or the proxy server before the
// proxy step.

#include "Zel/net/Connection.h"
#include "Zel/net/ConnectionManagerApi.h"
#include "Zel/net/ConnectionWorker.h"
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

}  // namespace

int ConnectToHost(CConnection* connection, const CZELString& host, int port)
{
    connection->PostText(CM_STATUS_TEXT, L"Address translation");

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
    int resolved = narrowHost && narrowHost[0] ? getaddrinfo(narrowHost, service, &hints, &addresses)
                                               : WSAHOST_NOT_FOUND;
    free(narrowHost);
    if (resolved != 0) {
        wchar_t code[16];
        swprintf(code, 16, L"%d", resolved);
        connection->PostText(CM_ERROR_TEXT, CZELString(L"Address translation error: ") + code);
        return resolved;
    }

    connection->PostText(CM_STATUS_TEXT, CZELString(L"Connect to ") + host);
    int secureMode = connection->settings.secureMode;
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
        if (!connection->AdoptSocket(s)) {
            lastError = WSAEINTR;  // Close has begun: no more addresses
            break;
        }
        if (secureMode != SECURE_NONE) {
            errorText = L"Can't init secure socket";
            std::unique_ptr<CSecureChannel> channel(
                new (std::nothrow) CSecureChannel(CSecureChannel::ProtocolIdForMode(secureMode)));
            int prepared = channel ? channel->Prepare() : WSAENOBUFS;
            if (prepared != 0) {
                lastError = prepared;
                connection->CloseSocket();
                continue;
            }
            // The handshake waits until any proxy step has opened the tunnel.
            connection->SetSecureChannel(std::move(channel));
            errorText = CZELString();
        }
        if (connect(connection->Socket(), address->ai_addr, int(address->ai_addrlen)) == 0) {
            connected = true;
        } else {
            lastError = SocketError(WSAECONNREFUSED);
            connection->CloseSocket();
        }
    }
    freeaddrinfo(addresses);
    if (connected) return 0;

    if (errorText.IsEmpty()) errorText = CZELString(L"Can't connect to ") + host;
    connection->PostText(CM_ERROR_TEXT, errorText);
    // A failure must never read as "connected".
    return lastError ? lastError : -1;
}
