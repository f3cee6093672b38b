#include "Zel/net/ProxyHandshake.h"

#include "PeerSupport.h"
#include "ProxyTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

using Proxy::Bytes;
using namespace ProxyTest;

namespace {

// A proxy that says what it was scripted to: every byte it will send, handed out in pieces of at
// most chunk bytes (and never more than asked), then an end of stream, or a failed receive when
// endError is set. Records what was sent; the send call numbered failSendAt fails with sendError.
class ScriptedStream : public Proxy::ByteStream {
public:
    ScriptedStream(const Bytes& incoming, size_t chunk) : incoming(incoming), chunk(chunk) {}

    int Send(const unsigned char* data, int length) override
    {
        if (sends++ == failSendAt) {
            lastError = sendError;
            return -1;
        }
        sent.insert(sent.end(), data, data + length);
        return length;
    }

    int Receive(unsigned char* buffer, int size) override
    {
        EXPECT_GT(size, 0);
        if (offset == incoming.size()) {
            if (endError == 0) return 0;
            lastError = endError;
            return -1;
        }
        size_t n = incoming.size() - offset;
        if (n > chunk) n = chunk;
        if (n > size_t(size)) n = size_t(size);
        memcpy(buffer, incoming.data() + offset, n);
        offset += n;
        return int(n);
    }

    int LastError() const override { return lastError; }

    // What the proxy sent that the handshake left in the stream.
    Bytes Unread() const { return Bytes(incoming.begin() + long(offset), incoming.end()); }

    Bytes sent;
    int endError = 0;
    int failSendAt = -1;
    int sendError = 0;

private:
    Bytes incoming;
    size_t chunk;
    size_t offset = 0;
    int sends = 0;
    int lastError = 0;
};

// "dest.example" is 10.0.0.7; "unresolvable" fails with WSAHOST_NOT_FOUND; anything else goes to
// the real resolver.
int FakeResolve(const CZELString& host, int port, unsigned long* address)
{
    if (host == L"unresolvable") return WSAHOST_NOT_FOUND;
    if (host == L"dest.example") {
        unsigned char bytes[4] = {10, 0, 0, 7};
        memcpy(address, bytes, 4);
        return 0;
    }
    return Proxy::ResolveHostIPv4(host, port, address);
}

const char kHttpRequestAuth[] =
    "CONNECT dest.example:5190 HTTP/1.0\r\nConnection: Keep-Alive\r\nUser-agent: Mozilla/4.0\r\n"
    "Proxy-Authorization: basic dXNlcjpwdw==\r\n\r\n";
const char kHttpRequestPlain[] =
    "CONNECT 10.1.2.3:443 HTTP/1.0\r\nConnection: Keep-Alive\r\nUser-agent: Mozilla/4.0\r\n\r\n";

const Bytes kSocks4Request{0x04, 0x01, 0x14, 0x46, 10, 0, 0, 7, 0x00};
const Bytes kSocks4RequestUser{0x04, 0x01, 0x14, 0x46, 10, 0, 0, 7, 'b', 'o', 'b', 0x00};
const Bytes kGreetingAuth{0x05, 0x01, 0x02};
const Bytes kGreetingPlain{0x05, 0x01, 0x00};
const Bytes kAuthRequest{0x01, 4, 'u', 's', 'e', 'r', 2, 'p', 'w'};
const Bytes kConnectRequest{0x05, 0x01, 0x00, 0x01, 10, 0, 0, 7, 0x14, 0x46};
const Bytes kGrantedIPv4{0x05, 0x00, 0x00, 0x01, 127, 0, 0, 1, 0x30, 0x39};

Bytes GrantedIPv6()
{
    Bytes reply{0x05, 0x00, 0x00, 0x04};
    for (int i = 0; i < 16; ++i) reply.push_back((unsigned char)(0xF0 + i % 16));
    reply.push_back(0x30);
    reply.push_back(0x39);
    return reply;
}

Bytes GrantedDomain()
{
    Bytes reply{0x05, 0x00, 0x00, 0x03, 9, 'l', 'o', 'c', 'a', 'l', 'h', 'o', 's', 't', 0x30, 0x39};
    return reply;
}

// The destination's first bytes, which arrive right behind the proxy's reply.
const Bytes kTunnel{'W', 'E', 'L', 'C', 'O', 'M', 'E', 0x2A, 0x01, 0x00, '\r', '\n', '\r', '\n'};

struct SuccessCase {
    const char* name;
    Proxy::HandshakeParams params;
    Bytes incoming;  // the proxy's replies, then kTunnel
    Bytes sent;
};

std::vector<SuccessCase> SuccessCases()
{
    return {
        {"HTTP with auth", Params(PROXY_HTTP, L"dest.example", 5190, true, L"user", L"pw"),
         Ascii("HTTP/1.0 200 Connection established\r\nProxy-agent: test\r\n\r\n"), Ascii(kHttpRequestAuth)},
        {"HTTP without auth, bare line feeds", Params(PROXY_HTTP, L"10.1.2.3", 443),
         Ascii("HTTP/1.1 200 OK\n\n"), Ascii(kHttpRequestPlain)},
        {"SOCKS4 without auth", Params(PROXY_SOCKS4, L"dest.example", 5190, false, L"bob"),
         {0x00, 0x5A, 0, 0, 0, 0, 0, 0}, kSocks4Request},
        {"SOCKS4 with a user id", Params(PROXY_SOCKS4, L"dest.example", 5190, true, L"bob", L"unused"),
         {0x00, 0x5A, 0x14, 0x46, 10, 0, 0, 7}, kSocks4RequestUser},
        {"SOCKS5 with auth, IPv4 bound", Params(PROXY_SOCKS5, L"dest.example", 5190, true, L"user", L"pw"),
         Concat({{0x05, 0x02}, {0x01, 0x00}, kGrantedIPv4}), Concat({kGreetingAuth, kAuthRequest, kConnectRequest})},
        {"SOCKS5 with auth, domain bound", Params(PROXY_SOCKS5, L"dest.example", 5190, true, L"user", L"pw"),
         Concat({{0x05, 0x02}, {0x01, 0x00}, GrantedDomain()}), Concat({kGreetingAuth, kAuthRequest, kConnectRequest})},
        {"SOCKS5 with auth, IPv6 bound", Params(PROXY_SOCKS5, L"dest.example", 5190, true, L"user", L"pw"),
         Concat({{0x05, 0x02}, {0x01, 0x00}, GrantedIPv6()}), Concat({kGreetingAuth, kAuthRequest, kConnectRequest})},
        {"SOCKS5 without auth", Params(PROXY_SOCKS5, L"dest.example", 5190),
         Concat({{0x05, 0x00}, kGrantedIPv4}), Concat({kGreetingPlain, kConnectRequest})},
        // The credentials go whenever auth is on, even when the proxy chose no authentication...
        {"SOCKS5 with auth, proxy chose none", Params(PROXY_SOCKS5, L"dest.example", 5190, true, L"user", L"pw"),
         Concat({{0x05, 0x00}, {0x01, 0x00}, kGrantedIPv4}), Concat({kGreetingAuth, kAuthRequest, kConnectRequest})},
        // ...and never when it is off, whatever the proxy chose.
        {"SOCKS5 without auth, proxy chose user name", Params(PROXY_SOCKS5, L"dest.example", 5190),
         Concat({{0x05, 0x02}, kGrantedIPv4}), Concat({kGreetingPlain, kConnectRequest})},
        {"SOCKS5, version byte of the method reply not examined", Params(PROXY_SOCKS5, L"dest.example", 5190),
         Concat({{0x04, 0x00}, kGrantedIPv4}), Concat({kGreetingPlain, kConnectRequest})},
    };
}

} // namespace

TEST(ProxyHandshakeScripted, OpensTheTunnelHoweverTheRepliesAreSplit)
{
    for (const SuccessCase& c : SuccessCases()) {
        Bytes incoming = Concat({c.incoming, kTunnel});
        for (size_t chunk = 1; chunk <= incoming.size(); ++chunk) {
            SCOPED_TRACE(std::string(c.name) + ", chunk " + std::to_string(chunk));
            ScriptedStream stream(incoming, chunk);
            Proxy::HandshakeResult result;
            EXPECT_EQ(0, Proxy::RunHandshake(stream, c.params, result, FakeResolve));
            EXPECT_EQ(0, result.code);
            EXPECT_EQ(L"", Text(result.errorText));
            EXPECT_EQ(c.sent, stream.sent);
            // Every byte behind the reply reaches the caller, in order: handed back, or still unread.
            EXPECT_EQ(kTunnel, Concat({result.tunnelData, stream.Unread()}));
            // Fixed-size replies are read exactly, so nothing of the tunnel leaves the stream early.
            if (c.params.proxyType != PROXY_HTTP) {
                EXPECT_TRUE(result.tunnelData.empty());
            }
        }
    }
}

TEST(ProxyHandshakeScripted, HttpHandsBackTheTunnelBytesThatCameWithTheReply)
{
    ScriptedStream stream(Concat({Ascii("HTTP/1.0 200 Connection established\r\n\r\n"), kTunnel}), 1024);
    Proxy::HandshakeResult result;
    ASSERT_EQ(0, Proxy::RunHandshake(stream, Params(PROXY_HTTP, L"10.1.2.3", 443), result));
    EXPECT_EQ(kTunnel, result.tunnelData);
    EXPECT_TRUE(stream.Unread().empty());
}

namespace {

struct FailureCase {
    const char* name;
    Proxy::HandshakeParams params;
    Bytes incoming;
    int endError;     // after incoming: 0 the proxy closes, else a receive fails with this
    int failSendAt;   // the send call that fails with WSAECONNRESET, -1 none
    int code;
    std::wstring text;
    Bytes sent;       // what reached the proxy
};

std::vector<FailureCase> FailureCases()
{
    const int reset = WSAECONNRESET;
    const std::wstring cantInit = Proxy::TextCantInitProxy;
    const std::wstring socks4 = Proxy::TextSocks4Error;
    const std::wstring authType = Proxy::TextSocks5AuthType;
    const std::wstring authError = Proxy::TextSocks5AuthError;
    const std::wstring cantConnect = Proxy::TextSocks5ConnectError;
    const std::wstring cantResolve = Proxy::TextCantResolve;
    Proxy::HandshakeParams http = Params(PROXY_HTTP, L"dest.example", 5190, true, L"user", L"pw");
    Proxy::HandshakeParams socks4Params = Params(PROXY_SOCKS4, L"dest.example", 5190);
    Proxy::HandshakeParams socks5 = Params(PROXY_SOCKS5, L"dest.example", 5190, true, L"user", L"pw");
    Proxy::HandshakeParams socks5Plain = Params(PROXY_SOCKS5, L"dest.example", 5190);
    Bytes request = Ascii(kHttpRequestAuth);
    Bytes socks5Sent = Concat({kGreetingAuth, kAuthRequest, kConnectRequest});
    Bytes methodAndAuth{0x05, 0x02, 0x01, 0x00};
    Bytes ipv6 = GrantedIPv6();
    ipv6.resize(12);
    return {
        // HTTP
        {"HTTP 407", http,
         Ascii("HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic realm=\"p\"\r\n\r\n<html>"), 0,
         -1, 407, L"HTTP proxy server error 407", request},
        {"HTTP 503 and the proxy closes", http, Ascii("HTTP/1.1 503 Service Unavailable\r\n\r\n"), 0, -1, 503,
         L"HTTP proxy server error 503", request},
        {"HTTP closed without an answer", http, {}, 0, -1, -1, L"HTTP proxy server error 0", request},
        {"HTTP closed after the status line", http, Ascii("HTTP/1.0 403 Forbidden\r\n"), 0, -1, 403,
         L"HTTP proxy server error 403", request},
        {"HTTP 200 but closed before the empty line", http, Ascii("HTTP/1.0 200 Connection established\r\n"), 0, -1,
         -1, L"HTTP proxy server error 0", request},
        {"HTTP status not a number", http, Ascii("HTTP/1.0 OK\r\n\r\n"), 0, -1, -1, L"HTTP proxy server error 0",
         request},
        {"HTTP receive fails", http, Ascii("HTTP/1.0 200 Conn"), reset, -1, reset, cantInit, request},
        {"HTTP send fails", http, Ascii("HTTP/1.0 200 OK\r\n\r\n"), 0, 0, reset, cantInit, {}},
        {"HTTP host that would inject a header", Params(PROXY_HTTP, L"dest.example\r\nX-Evil: 1", 80),
         Ascii("HTTP/1.0 200 OK\r\n\r\n"), 0, -1, -1, cantInit, {}},
        // SOCKS4
        {"SOCKS4 refused", socks4Params, {0x00, 0x5B, 0, 0, 0, 0, 0, 0}, 0, -1, -1, socks4, kSocks4Request},
        {"SOCKS4 identd refused", socks4Params, {0x00, 0x5C, 0, 0, 0, 0, 0, 0}, 0, -1, -1, socks4, kSocks4Request},
        {"SOCKS4 short reply", socks4Params, {0x00, 0x5A, 0, 0, 0}, 0, -1, -1, cantInit, kSocks4Request},
        {"SOCKS4 closed at once", socks4Params, {}, 0, -1, -1, cantInit, kSocks4Request},
        {"SOCKS4 receive fails", socks4Params, {0x00}, reset, -1, reset, cantInit, kSocks4Request},
        {"SOCKS4 send fails", socks4Params, {}, 0, 0, reset, cantInit, {}},
        {"SOCKS4 destination not found", Params(PROXY_SOCKS4, L"unresolvable", 80), {}, 0, -1, WSAHOST_NOT_FOUND,
         cantResolve, {}},
        {"SOCKS4 user id with a zero byte", Params(PROXY_SOCKS4, L"dest.example", 5190, true, std::wstring(L"a\0b", 3)),
         {0x00, 0x5A, 0, 0, 0, 0, 0, 0}, 0, -1, -1, cantInit, {}},
        // SOCKS5 method
        {"SOCKS5 no acceptable method", socks5Plain, {0x05, 0xFF}, 0, -1, -1, authType, kGreetingPlain},
        {"SOCKS5 method GSSAPI", socks5, {0x05, 0x01}, 0, -1, -1, authType, kGreetingAuth},
        {"SOCKS5 closed after one byte of the method reply", socks5, {0x05}, 0, -1, -1, cantInit, kGreetingAuth},
        {"SOCKS5 method reply fails", socks5, {}, reset, -1, reset, cantInit, kGreetingAuth},
        {"SOCKS5 greeting send fails", socks5, {}, 0, 0, reset, cantInit, {}},
        {"SOCKS5 destination not found", Params(PROXY_SOCKS5, L"unresolvable", 80, true, L"user", L"pw"), {}, 0, -1,
         WSAHOST_NOT_FOUND, cantResolve, {}},
        // SOCKS5 authentication
        {"SOCKS5 wrong password", socks5, {0x05, 0x02, 0x01, 0x01}, 0, -1, -1, authError,
         Concat({kGreetingAuth, kAuthRequest})},
        {"SOCKS5 auth reply of the wrong version", socks5, {0x05, 0x02, 0x05, 0x00}, 0, -1, -1, authError,
         Concat({kGreetingAuth, kAuthRequest})},
        {"SOCKS5 closed after one byte of the auth reply", socks5, {0x05, 0x02, 0x01}, 0, -1, -1, authError,
         Concat({kGreetingAuth, kAuthRequest})},
        {"SOCKS5 auth reply fails", socks5, {0x05, 0x02}, reset, -1, reset, authError,
         Concat({kGreetingAuth, kAuthRequest})},
        {"SOCKS5 auth send fails", socks5, {0x05, 0x02}, 0, 1, reset, authError, kGreetingAuth},
        {"SOCKS5 user name over 255 bytes",
         Params(PROXY_SOCKS5, L"dest.example", 5190, true, std::wstring(256, L'u'), L"pw"), {0x05, 0x02}, 0, -1, -1,
         authError, kGreetingAuth},
        {"SOCKS5 password over 255 bytes",
         Params(PROXY_SOCKS5, L"dest.example", 5190, true, L"user", std::wstring(300, L'p')), {0x05, 0x02}, 0, -1, -1,
         authError, kGreetingAuth},
        // SOCKS5 CONNECT
        {"SOCKS5 connection refused, head only", socks5, Concat({methodAndAuth, {0x05, 0x05, 0x00, 0x01}}), 0, -1, -1,
         cantConnect, socks5Sent},
        {"SOCKS5 general failure, whole reply", socks5,
         Concat({methodAndAuth, {0x05, 0x01, 0x00, 0x01, 0, 0, 0, 0, 0, 0}}), 0, -1, -1, cantConnect, socks5Sent},
        {"SOCKS5 connect reply of the wrong version", socks5, Concat({methodAndAuth, {0x04, 0x00, 0x00, 0x01}}), 0,
         -1, -1, cantConnect, socks5Sent},
        {"SOCKS5 unknown address type", socks5, Concat({methodAndAuth, {0x05, 0x00, 0x00, 0x07, 1, 2, 3, 4}}), 0, -1,
         -1, cantConnect, socks5Sent},
        {"SOCKS5 closed inside the IPv6 address", socks5, Concat({methodAndAuth, ipv6}), 0, -1, -1, cantConnect,
         socks5Sent},
        {"SOCKS5 closed before the domain length", socks5, Concat({methodAndAuth, {0x05, 0x00, 0x00, 0x03}}), 0, -1,
         -1, cantConnect, socks5Sent},
        {"SOCKS5 closed before the connect reply", socks5, methodAndAuth, 0, -1, -1, cantConnect, socks5Sent},
        {"SOCKS5 connect reply fails", socks5, Concat({methodAndAuth, {0x05, 0x00}}), reset, -1, reset, cantConnect,
         socks5Sent},
        {"SOCKS5 connect send fails", socks5, methodAndAuth, 0, 2, reset, cantConnect,
         Concat({kGreetingAuth, kAuthRequest})},
        // Not a proxy
        {"proxy type none", Params(PROXY_NONE, L"dest.example", 80), {}, 0, -1, -1, L"", {}},
        {"proxy type 4", Params(4, L"dest.example", 80), {}, 0, -1, -1, L"", {}},
    };
}

} // namespace

TEST(ProxyHandshakeScripted, FailuresGiveTheirCodeAndOneText)
{
    for (const FailureCase& c : FailureCases()) {
        for (size_t chunk = 1; chunk <= c.incoming.size() + 1; ++chunk) {
            SCOPED_TRACE(std::string(c.name) + ", chunk " + std::to_string(chunk));
            ScriptedStream stream(c.incoming, chunk);
            stream.endError = c.endError;
            stream.failSendAt = c.failSendAt;
            stream.sendError = WSAECONNRESET;
            Proxy::HandshakeResult result;
            EXPECT_EQ(c.code, Proxy::RunHandshake(stream, c.params, result, FakeResolve));
            EXPECT_NE(0, result.code);
            EXPECT_EQ(c.code, result.code);
            EXPECT_EQ(c.text, Text(result.errorText));
            EXPECT_EQ(c.sent, stream.sent);
            EXPECT_TRUE(result.tunnelData.empty());
        }
    }
}

TEST(ProxyHandshakeScripted, AStreamThatFailsWithoutAReasonStillFails)
{
    // A failed send or receive whose error reads 0 must not look like an open tunnel.
    ScriptedStream stream({}, 1);
    stream.failSendAt = 0;
    stream.sendError = 0;
    Proxy::HandshakeResult result;
    EXPECT_EQ(-1, Proxy::RunHandshake(stream, Params(PROXY_SOCKS5, L"dest.example", 1), result, FakeResolve));
    EXPECT_EQ(std::wstring(Proxy::TextCantInitProxy), Text(result.errorText));

    ScriptedStream silent({}, 1);
    silent.endError = 0;
    Proxy::HandshakeResult second;
    EXPECT_NE(0, Proxy::RunHandshake(silent, Params(PROXY_SOCKS4, L"dest.example", 1), second, FakeResolve));
}

TEST(ProxyHandshakeScripted, ADottedDestinationGoesAsItIs)
{
    for (int type : {PROXY_SOCKS4, PROXY_SOCKS5}) {
        SCOPED_TRACE(type);
        ScriptedStream stream(type == PROXY_SOCKS4 ? Bytes{0x00, 0x5A, 0, 0, 0, 0, 0, 0}
                                                   : Concat({{0x05, 0x00}, kGrantedIPv4}),
                              64);
        Proxy::HandshakeResult result;
        ASSERT_EQ(0, Proxy::RunHandshake(stream, Params(type, L"192.0.2.33", 0x1234), result));
        const Bytes& sent = stream.sent;
        // SOCKS4: port at 2, address at 4; SOCKS5: the CONNECT request is the last 10 bytes.
        Bytes addressAndPort = type == PROXY_SOCKS4
                                   ? Bytes{sent[4], sent[5], sent[6], sent[7], sent[2], sent[3]}
                                   : Bytes(sent.end() - 6, sent.end());
        EXPECT_EQ((Bytes{192, 0, 2, 33, 0x12, 0x34}), addressAndPort);
    }
}

TEST(ProxyHandshakeResolver, TakesDottedAddressesAsTheyAreAndLooksUpNames)
{
    unsigned long address = 0;
    ASSERT_EQ(0, Proxy::ResolveHostIPv4(Str(L"10.20.30.40"), 80, &address));
    unsigned char bytes[4];
    memcpy(bytes, &address, 4);
    EXPECT_EQ((Bytes{10, 20, 30, 40}), Bytes(bytes, bytes + 4));

    address = 0;
    ASSERT_EQ(0, Proxy::ResolveHostIPv4(Str(L"localhost"), 5190, &address));
    memcpy(bytes, &address, 4);
    EXPECT_EQ((Bytes{127, 0, 0, 1}), Bytes(bytes, bytes + 4));

    EXPECT_NE(0, Proxy::ResolveHostIPv4(CZELString(), 80, &address));
}

TEST(ProxyHandshakeParams, TakesTheConnectionsProxyFields)
{
    ConnectionSettings settings;
    settings.host = L"dest.example";
    settings.port = 5222;
    settings.proxyType = PROXY_SOCKS5;
    settings.proxyHost = L"proxy.example";
    settings.proxyPort = 1080;
    settings.proxyAuth = true;
    settings.proxyLogin = L"user";
    settings.proxyPassword = L"pw";
    Proxy::HandshakeParams params = Proxy::HandshakeParams::From(settings);
    EXPECT_EQ(PROXY_SOCKS5, params.proxyType);
    EXPECT_EQ(L"dest.example", Text(params.host));
    EXPECT_EQ(5222, params.port);
    EXPECT_TRUE(params.auth);
    EXPECT_EQ(L"user", Text(params.login));
    EXPECT_EQ(L"pw", Text(params.password));
}

// Scripted proxies on real loopback sockets: the replies come in TCP segments of their own, merged
// with the destination's first bytes, or not at all.

namespace {

struct ProxyStep {
    enum Read { Nothing, HttpHead, Count } read;
    int count;                 // bytes to read for Count
    std::vector<Bytes> send;   // each sent on its own, with a pause between
};

enum class AfterScript { Echo, Close, Reset };

class FakeProxyServer {
public:
    FakeProxyServer(std::vector<ProxyStep> steps, AfterScript after) : steps(std::move(steps)), after(after)
    {
        listener = PeerTest::ListenLoopback(1, &port);
        worker = std::thread([this] { Serve(); });
    }

    ~FakeProxyServer()
    {
        Join();
        if (listener != INVALID_SOCKET) closesocket(listener);
    }

    // Waits until the script, and any echoing after it, is over.
    void Join()
    {
        if (worker.joinable()) worker.join();
    }

    int port = 0;
    Bytes received;

private:
    bool ReadExactly(SOCKET s, int count)
    {
        while (count > 0) {
            char c[512];
            int n = recv(s, c, count < 512 ? count : 512, 0);
            if (n <= 0) return false;
            received.insert(received.end(), c, c + n);
            count -= n;
        }
        return true;
    }

    bool ReadHead(SOCKET s)
    {
        while (received.size() < 4 || memcmp(&received[received.size() - 4], "\r\n\r\n", 4) != 0)
            if (!ReadExactly(s, 1)) return false;
        return true;
    }

    void Serve()
    {
        SOCKET s = accept(listener, nullptr, nullptr);
        if (s == INVALID_SOCKET) return;
        bool ok = true;
        for (const ProxyStep& step : steps) {
            if (step.read == ProxyStep::HttpHead) ok = ReadHead(s);
            if (step.read == ProxyStep::Count) ok = ReadExactly(s, step.count);
            if (!ok) break;
            for (const Bytes& piece : step.send) {
                send(s, reinterpret_cast<const char*>(piece.data()), int(piece.size()), 0);
                Sleep(30);
            }
        }
        if (ok && after == AfterScript::Echo) PeerTest::Echo(s);
        if (after == AfterScript::Reset) {
            linger hard = {1, 0};
            setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard), sizeof hard);
        } else {
            shutdown(s, SD_SEND);
            // Let the client see the end before the socket goes.
            char drain[256];
            timeval wait = {2, 0};
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(s, &readable);
            if (select(0, &readable, nullptr, nullptr, &wait) > 0) recv(s, drain, sizeof drain, 0);
        }
        closesocket(s);
    }

    std::vector<ProxyStep> steps;
    AfterScript after;
    SOCKET listener = INVALID_SOCKET;
    std::thread worker;
};

// Receives exactly count bytes from s; fewer when the stream ends first.
Bytes ReceiveExactly(SOCKET s, size_t count)
{
    return Ascii(PeerTest::ReceiveExactly(s, count));
}

struct SocketRun {
    int code;
    std::wstring text;
    Bytes tunnel;        // handed back by the handshake
    Bytes afterwards;    // the server's first bytes as then read from the socket
    Bytes echoed;
};

// Runs the handshake through server; on success reads serverFirst more bytes (the server's own
// first data, minus what the handshake handed back) and has one message echoed.
SocketRun RunThrough(FakeProxyServer& server, const Proxy::HandshakeParams& params, size_t serverFirst)
{
    SocketRun run;
    SOCKET s = PeerTest::ConnectLoopback(server.port);
    EXPECT_NE(INVALID_SOCKET, s);
    Proxy::SocketStream stream(s);
    Proxy::HandshakeResult result;
    run.code = Proxy::RunHandshake(stream, params, result);
    run.text = Text(result.errorText);
    run.tunnel = result.tunnelData;
    if (run.code == 0) {
        if (serverFirst > run.tunnel.size()) run.afterwards = ReceiveExactly(s, serverFirst - run.tunnel.size());
        const char message[] = "echo me through the tunnel";
        send(s, message, sizeof message - 1, 0);
        run.echoed = ReceiveExactly(s, sizeof message - 1);
    }
    shutdown(s, SD_SEND);
    closesocket(s);
    return run;
}

} // namespace

TEST(ProxyHandshakeSockets, HttpReplySplitAndMergedWithTheServersFirstBytes)
{
    FakeProxyServer server({{ProxyStep::HttpHead, 0,
                             {Ascii("HTTP/1.0 2"), Ascii("00 Connection established\r\nProxy-agent: fa"),
                              Ascii("ke\r\n\r\nSERVER-FIRST:"), Ascii("rest of greeting")}}},
                           AfterScript::Echo);
    SocketRun run = RunThrough(server, Params(PROXY_HTTP, L"127.0.0.1", 5190, true, L"user", L"pw"),
                               strlen("SERVER-FIRST:rest of greeting"));
    ASSERT_EQ(0, run.code);
    EXPECT_EQ(L"", run.text);
    EXPECT_EQ(Ascii("SERVER-FIRST:rest of greeting"), Concat({run.tunnel, run.afterwards}));
    EXPECT_FALSE(run.tunnel.empty()) << "the bytes that came with the head are handed back";
    EXPECT_EQ(Ascii("echo me through the tunnel"), run.echoed);
    server.Join();
    EXPECT_EQ(Ascii("CONNECT 127.0.0.1:5190 HTTP/1.0\r\nConnection: Keep-Alive\r\nUser-agent: Mozilla/4.0\r\n"
                    "Proxy-Authorization: basic dXNlcjpwdw==\r\n\r\n"),
              server.received);
}

TEST(ProxyHandshakeSockets, Socks5BoundAddressesOfEveryTypeLeaveTheServersBytesIntact)
{
    struct Case {
        const char* name;
        Bytes reply;
    } cases[] = {{"IPv4", kGrantedIPv4}, {"domain", GrantedDomain()}, {"IPv6", GrantedIPv6()}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes merged = Concat({c.reply, Ascii("HELLO")});
        FakeProxyServer server({{ProxyStep::Count, 3, {{0x05, 0x02}}},
                                {ProxyStep::Count, 9, {{0x01, 0x00}}},
                                {ProxyStep::Count, 10, {Bytes(merged.begin(), merged.begin() + 3),
                                                        Bytes(merged.begin() + 3, merged.end())}}},
                               AfterScript::Echo);
        SocketRun run = RunThrough(server, Params(PROXY_SOCKS5, L"127.0.0.1", 5190, true, L"user", L"pw"), 5);
        ASSERT_EQ(0, run.code);
        EXPECT_TRUE(run.tunnel.empty());
        EXPECT_EQ(Ascii("HELLO"), run.afterwards);
        EXPECT_EQ(Ascii("echo me through the tunnel"), run.echoed);
    }
}

TEST(ProxyHandshakeSockets, ProxiesThatCloseOrBreakEarly)
{
    struct Case {
        const char* name;
        Proxy::HandshakeParams params;
        std::vector<ProxyStep> steps;
        AfterScript after;
        int code;
        std::wstring text;
    } cases[] = {
        {"HTTP closes without answering", Params(PROXY_HTTP, L"127.0.0.1", 80), {{ProxyStep::HttpHead, 0, {}}},
         AfterScript::Close, -1, L"HTTP proxy server error 0"},
        {"HTTP 407 in pieces", Params(PROXY_HTTP, L"127.0.0.1", 80, true, L"u", L"wrong"),
         {{ProxyStep::HttpHead, 0, {Ascii("HTTP/1.1 40"), Ascii("7 Proxy Authentication Required\r\n\r\n")}}},
         AfterScript::Close, 407, L"HTTP proxy server error 407"},
        {"HTTP resets", Params(PROXY_HTTP, L"127.0.0.1", 80), {{ProxyStep::HttpHead, 0, {Ascii("HTTP/1.0 2")}}},
         AfterScript::Reset, WSAECONNRESET, Proxy::TextCantInitProxy},
        {"SOCKS4 short reply", Params(PROXY_SOCKS4, L"127.0.0.1", 80), {{ProxyStep::Count, 9, {{0x00, 0x5A, 0x00}}}},
         AfterScript::Close, -1, Proxy::TextCantInitProxy},
        {"SOCKS5 one byte of the method reply", Params(PROXY_SOCKS5, L"127.0.0.1", 80),
         {{ProxyStep::Count, 3, {{0x05}}}}, AfterScript::Close, -1, Proxy::TextCantInitProxy},
        {"SOCKS5 refused", Params(PROXY_SOCKS5, L"127.0.0.1", 80),
         {{ProxyStep::Count, 3, {{0x05, 0x00}}}, {ProxyStep::Count, 10, {{0x05, 0x05, 0x00, 0x01}}}},
         AfterScript::Close, -1, Proxy::TextSocks5ConnectError},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeProxyServer server(c.steps, c.after);
        SocketRun run = RunThrough(server, c.params, 0);
        EXPECT_EQ(c.code, run.code);
        EXPECT_EQ(c.text, run.text);
    }
}
