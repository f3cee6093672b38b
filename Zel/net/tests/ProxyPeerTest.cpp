// The handshakes against real proxies (squid, tinyproxy, dante) on 127.0.0.1, tunnelling to an echo
// server of the test.
#include "Zel/net/ProxyHandshake.h"

#include "PeerSupport.h"
#include "ProxyTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace ProxyTest;

namespace {

// The proxies, and an echo server to tunnel to.
struct Peers : PeerTest::ProxyPeerSet {
    PeerTest::EchoServer echo;

    Peers()
    {
        if (echo.Port() == 0) failures += "the echo server does not listen\n";
    }
};

// A pattern that shows lost, doubled or reordered bytes.
unsigned char PatternByte(size_t i)
{
    return (unsigned char)(i * 7 + (i >> 9) + (i >> 17));
}

// Sends total bytes through s in pieces of changing size and checks that each comes back intact.
testing::AssertionResult EchoesIntact(SOCKET s, size_t total)
{
    static const size_t pieces[] = {1, 3, 100, 1024, 1500, 4096, 16384, 65536, 7};
    std::vector<unsigned char> out, in;
    size_t offset = 0;
    for (size_t k = 0; offset < total; ++k) {
        size_t piece = pieces[k % (sizeof pieces / sizeof pieces[0])];
        if (piece > total - offset) piece = total - offset;
        out.resize(piece);
        for (size_t i = 0; i < piece; ++i) out[i] = PatternByte(offset + i);
        size_t sent = 0;
        while (sent < piece) {
            int n = send(s, reinterpret_cast<const char*>(out.data() + sent), int(piece - sent), 0);
            if (n <= 0) return testing::AssertionFailure() << "send failed at " << offset << ": " << WSAGetLastError();
            sent += size_t(n);
        }
        in.assign(piece, 0);
        size_t got = 0;
        while (got < piece) {
            int n = recv(s, reinterpret_cast<char*>(in.data() + got), int(piece - got), 0);
            if (n <= 0)
                return testing::AssertionFailure() << "stream ended at " << offset + got << " (" << n << ", "
                                                   << WSAGetLastError() << ")";
            got += size_t(n);
        }
        if (in != out) return testing::AssertionFailure() << "bytes differ in the piece at " << offset;
        offset += piece;
    }
    return testing::AssertionSuccess();
}

} // namespace

class ProxyPeers : public PeerTest::SharedPeers<Peers> {};

TEST_F(ProxyPeers, EveryProxyTunnelsAMegabyteIntact)
{
    const int echo = peers->echo.Port();
    struct Case {
        const char* name;
        PeerTest::LinuxPeer* proxy;
        Proxy::HandshakeParams params;
    } cases[] = {
        {"squid, HTTP CONNECT with Basic", &peers->squid,
         Params(PROXY_HTTP, L"127.0.0.1", echo, true, PeerTest::HttpUser, PeerTest::HttpPassword)},
        {"tinyproxy, HTTP CONNECT with Basic", &peers->tinyproxy,
         Params(PROXY_HTTP, L"127.0.0.1", echo, true, PeerTest::HttpUser, PeerTest::HttpPassword)},
        {"dante, SOCKS5 with user name", &peers->socks5,
         Params(PROXY_SOCKS5, L"127.0.0.1", echo, true, PeerTest::SocksUser, PeerTest::SocksPassword)},
        {"dante, SOCKS5 with user name, destination by name", &peers->socks5,
         Params(PROXY_SOCKS5, L"localhost", echo, true, PeerTest::SocksUser, PeerTest::SocksPassword)},
        {"dante, SOCKS4", &peers->socks4, Params(PROXY_SOCKS4, L"127.0.0.1", echo)},
        {"dante, SOCKS4 with a user id", &peers->socks4, Params(PROXY_SOCKS4, L"localhost", echo, true, L"anyone")},
        {"dante, SOCKS5 without authentication", &peers->socks4, Params(PROXY_SOCKS5, L"127.0.0.1", echo)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int acceptedBefore = peers->echo.Accepted();
        SOCKET s = PeerTest::ConnectLoopback(c.proxy->Port());
        ASSERT_NE(INVALID_SOCKET, s);
        Proxy::SocketStream stream(s);
        Proxy::HandshakeResult result;
        EXPECT_EQ(0, Proxy::RunHandshake(stream, c.params, result));
        EXPECT_EQ(L"", Text(result.errorText));
        EXPECT_TRUE(result.tunnelData.empty()) << "the echo server says nothing first";
        if (result.code == 0) {
            EXPECT_TRUE(EchoesIntact(s, 1 << 20));
            EXPECT_EQ(acceptedBefore + 1, peers->echo.Accepted());
        }
        closesocket(s);
    }
}

TEST_F(ProxyPeers, RefusalsGiveTheirTexts)
{
    const int echo = peers->echo.Port();
    const int closed = PeerTest::PickFreePort();  // nothing listens there
    // dante resets the connection right behind a refused CONNECT's reply; a reset throws away what
    // is not yet read (Winsock does so, and Wine with it), so the refusal may come as a failed
    // receive instead.
    const std::wstring resetText = Proxy::TextCantInitProxy;
    struct Case {
        const char* name;
        PeerTest::LinuxPeer* proxy;
        Proxy::HandshakeParams params;
        int code;
        std::wstring text;
        bool mayBeReset = false;
    } cases[] = {
        {"squid, wrong password", &peers->squid,
         Params(PROXY_HTTP, L"127.0.0.1", echo, true, PeerTest::HttpUser, L"wrong"), 407,
         L"HTTP proxy server error 407"},
        {"squid, no credentials", &peers->squid, Params(PROXY_HTTP, L"127.0.0.1", echo), 407,
         L"HTTP proxy server error 407"},
        {"squid, unknown user", &peers->squid,
         Params(PROXY_HTTP, L"127.0.0.1", echo, true, L"nobody-here", PeerTest::HttpPassword), 407,
         L"HTTP proxy server error 407"},
        {"squid, destination refuses", &peers->squid,
         Params(PROXY_HTTP, L"127.0.0.1", closed, true, PeerTest::HttpUser, PeerTest::HttpPassword), 503,
         L"HTTP proxy server error 503"},
        {"tinyproxy, wrong password", &peers->tinyproxy,
         Params(PROXY_HTTP, L"127.0.0.1", echo, true, PeerTest::HttpUser, L"wrong"), 401,
         L"HTTP proxy server error 401"},
        {"dante SOCKS5, wrong password", &peers->socks5,
         Params(PROXY_SOCKS5, L"127.0.0.1", echo, true, PeerTest::SocksUser, L"wrong"), -1,
         Proxy::TextSocks5AuthError},
        {"dante SOCKS5, no authentication offered", &peers->socks5, Params(PROXY_SOCKS5, L"127.0.0.1", echo), -1,
         Proxy::TextSocks5AuthType},
        {"dante SOCKS5, user name over 255 bytes", &peers->socks5,
         Params(PROXY_SOCKS5, L"127.0.0.1", echo, true, std::wstring(256, L'u').c_str(), L"pw"), -1,
         Proxy::TextSocks5AuthError},
        {"dante SOCKS5, destination refuses", &peers->socks5,
         Params(PROXY_SOCKS5, L"127.0.0.1", closed, true, PeerTest::SocksUser, PeerTest::SocksPassword), -1,
         Proxy::TextSocks5ConnectError, true},
        {"dante SOCKS5 without authentication, user name offered", &peers->socks4,
         Params(PROXY_SOCKS5, L"127.0.0.1", echo, true, PeerTest::SocksUser, PeerTest::SocksPassword), -1,
         Proxy::TextSocks5AuthType},
        {"dante SOCKS4, destination refuses", &peers->socks4, Params(PROXY_SOCKS4, L"127.0.0.1", closed), -1,
         Proxy::TextSocks4Error, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SOCKET s = PeerTest::ConnectLoopback(c.proxy->Port());
        ASSERT_NE(INVALID_SOCKET, s);
        Proxy::SocketStream stream(s);
        Proxy::HandshakeResult result;
        int code = Proxy::RunHandshake(stream, c.params, result);
        if (c.mayBeReset && code == WSAECONNRESET) {
            // The receive of the reply failed; SOCKS5 names its CONNECT step alike either way.
            EXPECT_EQ(c.params.proxyType == PROXY_SOCKS5 ? c.text : resetText, Text(result.errorText));
        } else {
            EXPECT_EQ(c.code, code);
            EXPECT_EQ(c.text, Text(result.errorText));
        }
        closesocket(s);
    }
}
