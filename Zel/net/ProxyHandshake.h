// The proxy step of a connection: asks a proxy server, over a stream already connected to it, to
// open a tunnel to the destination, by HTTP CONNECT, SOCKS4 or SOCKS5 (with RFC 1929 user name and
// password). Blocking; runs on the connection's worker thread.
//
// How the worker uses it, between connecting to the proxy and any secure handshake:
//
//     // connected to proxyHost:proxyPort; post CM_STATUS_TEXT Proxy::TextInitProxy
//     Proxy::SocketStream stream(socket);
//     Proxy::HandshakeResult result;
//     int code = Proxy::RunHandshake(stream, Proxy::HandshakeParams::From(settings), result);
//     if (code != 0) { if (!result.errorText.IsEmpty()) post CM_ERROR_TEXT result.errorText; fail with code }
//     // result.tunnelData: the destination's first bytes, which came with the proxy's reply; they
//     // are the first received data (or the first bytes of a secure handshake).
//
// The codes are those of the connect result: 0 tunnel open; a Winsock error of a failed send or
// receive; the resolver's error; the HTTP status when it is not 200; -1 for a refusal, an early end
// of stream or a request that cannot be built. A failure always has a non-zero code and exactly one
// error text (none only for a proxy type outside 1 to 3, code -1).
#pragma once

#include "Zel/net/ConnectionSettings.h"
#include "Zel/net/ProxyCodec.h"

#include <winsock2.h>

namespace Proxy {

// A blocking byte stream to the proxy.
class ByteStream {
public:
    virtual ~ByteStream() {}
    // Sends all length bytes: length, or -1 when it failed.
    virtual int Send(const unsigned char* data, int length) = 0;
    // Receives 1 to size bytes: the count; 0 when the other side closed; -1 when it failed.
    virtual int Receive(unsigned char* buffer, int size) = 0;
    // The reason of the last failed Send or Receive.
    virtual int LastError() const = 0;
};

// A connected socket; the caller keeps and closes it.
class SocketStream : public ByteStream {
public:
    explicit SocketStream(SOCKET s) : s(s), lastError(0) {}

    // Loops over partial sends.
    int Send(const unsigned char* data, int length) override;
    // One recv.
    int Receive(unsigned char* buffer, int size) override;
    int LastError() const override { return lastError; }

private:
    SOCKET s;
    int lastError;
};

struct HandshakeParams {
    HandshakeParams() : proxyType(PROXY_NONE), port(0), auth(false) {}
    // The proxy type and the destination and proxy credentials of a connection's settings.
    static HandshakeParams From(const ConnectionSettings& settings);

    int proxyType;      // PROXY_HTTP, PROXY_SOCKS4 or PROXY_SOCKS5
    CZELString host;    // the destination: a name or a dotted IPv4 address
    int port;
    bool auth;          // send login (and password) to the proxy
    CZELString login;   // SOCKS4: the user id
    CZELString password;
};

struct HandshakeResult {
    HandshakeResult() : code(-1) {}

    int code;                // as RunHandshake returned it
    CZELString errorText;    // the one error text of a failure; empty on success
    Bytes tunnelData;        // bytes after the proxy's reply: the destination's first data
};

// Finds the IPv4 address of host for the SOCKS requests: a dotted IPv4 address is taken as it is,
// a name is looked up (converted with the system code page) and its first IPv4 address taken.
// 0 and *address in network order; otherwise the look-up's error, never 0.
typedef int (*Resolver)(const CZELString& host, int port, unsigned long* address);
int ResolveHostIPv4(const CZELString& host, int port, unsigned long* address);

// Runs the handshake that params.proxyType names over stream; fills result and returns its code.
// resolve replaces ResolveHostIPv4 (tests).
int RunHandshake(ByteStream& stream, const HandshakeParams& params, HandshakeResult& result,
                 Resolver resolve = nullptr);

} // namespace Proxy
