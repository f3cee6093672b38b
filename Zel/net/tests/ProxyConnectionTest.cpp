// Whole connections through real proxies on 127.0.0.1 (squid, tinyproxy, dante), as an owner queue
// sees them: the tunnel carries a megabyte both ways, and every refusal gives its text and code.

#include "Zel/net/tests/NetTestSupport.h"
#include "Zel/net/tests/PeerSupport.h"

#include "Zel/net/ProxyCodec.h"

#include <gtest/gtest.h>

using namespace NetTest;

namespace {

class ThroughProxy : public PeerTest::SharedPeers<PeerTest::ProxyPeerSet, ConnectionFixture> {
protected:
    ConnectionSettings Via(int type, PeerTest::LinuxPeer& proxy, int destinationPort, const wchar_t* login,
                           const wchar_t* password)
    {
        ConnectionSettings settings = To(L"127.0.0.1", destinationPort);
        settings.proxyType = type;
        settings.proxyHost = L"127.0.0.1";
        settings.proxyPort = proxy.Port();
        settings.proxyAuth = login != nullptr;
        if (login) settings.proxyLogin = login;
        if (password) settings.proxyPassword = password;
        return settings;
    }
};

}  // namespace

TEST_F(ThroughProxy, EveryProxyCarriesAMegabyteBothWaysAndTheMessagesComeInOrder)
{
    ScriptedServer echo(Echo);
    const struct {
        const char* name;
        int type;
        PeerTest::LinuxPeer* proxy;
        const wchar_t* login;
        const wchar_t* password;
    } cases[] = {
        {"squid, HTTP CONNECT with Basic", PROXY_HTTP, &peers->squid, PeerTest::HttpUser, PeerTest::HttpPassword},
        {"tinyproxy, HTTP CONNECT with Basic", PROXY_HTTP, &peers->tinyproxy, PeerTest::HttpUser,
         PeerTest::HttpPassword},
        {"dante, SOCKS5 with user name and password", PROXY_SOCKS5, &peers->socks5, PeerTest::SocksUser,
         PeerTest::SocksPassword},
        {"dante, SOCKS4", PROXY_SOCKS4, &peers->socks4, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OwnerQueue queue(bus, manager);
        CConnection* connection = manager.CreateConnection(queue.Handle());
        ASSERT_EQ(manager.Connect(connection, Via(c.type, *c.proxy, echo.Port(), c.login, c.password)), 0);
        ASSERT_TRUE(queue.WaitFor(CM_CONNECT_RESULT, 1, 30000));
        ASSERT_EQ(queue.OfCode(CM_CONNECT_RESULT)[0].value, 0) << Describe(queue.Messages());

        std::string data = PatternBytes(1 << 20, 11);
        for (size_t offset = 0, piece = 1; offset < data.size(); offset += piece, piece = piece * 2 + 3) {
            piece = std::min(piece, data.size() - offset);
            ASSERT_EQ(manager.Send(connection, data.data() + offset, int(piece), 0), int(piece));
        }
        ASSERT_TRUE(queue.WaitForReceived(data.size(), 60000)) << queue.Received().size();
        EXPECT_TRUE(queue.Received() == data) << "the echo through the proxy differs";
        ASSERT_NO_FATAL_FAILURE(CloseAndExpectCleanEnd(
            queue, connection,
            {L"Connect to network", L"Address translation", L"Connect to 127.0.0.1", L"Init proxy server"}));
        manager.DestroyConnection(connection);
    }
}

TEST_F(ThroughProxy, RefusalsGiveTheirTextAndCode)
{
    ScriptedServer echo(Echo);
    int closed = ClosedPort();
    PeerTest::LinuxPeer* none = nullptr;
    std::wstring longName(256, L'u');
    const struct {
        const char* name;
        int type;
        PeerTest::LinuxPeer* proxy;  // null: nothing listens where the proxy should be
        int destination;
        const wchar_t* login;
        const wchar_t* password;
        std::wstring text;
        intptr_t code;
        // dante resets the connection as it refuses, and the reset can overtake its answer: then
        // the answer's receive fails, with the step's receive error text and the reset's code.
        std::wstring resetText;
    } cases[] = {
        {"squid, wrong password", PROXY_HTTP, &peers->squid, echo.Port(), PeerTest::HttpUser, L"wrong",
         L"HTTP proxy server error 407", 407, L""},
        {"squid, no credentials", PROXY_HTTP, &peers->squid, echo.Port(), nullptr, nullptr,
         L"HTTP proxy server error 407", 407, L""},
        {"dante SOCKS5, wrong password", PROXY_SOCKS5, &peers->socks5, echo.Port(), PeerTest::SocksUser, L"wrong",
         L"SOCKS5 proxy server error: auth error", -1, L""},
        {"dante SOCKS5, no credentials", PROXY_SOCKS5, &peers->socks5, echo.Port(), nullptr, nullptr,
         L"SOCKS5 proxy server error: auth type not supported", -1, L""},
        {"dante SOCKS5, a user name too long to send", PROXY_SOCKS5, &peers->socks5, echo.Port(),
         longName.c_str(), L"pw", L"SOCKS5 proxy server error: auth error", -1, L""},
        {"dante SOCKS5, destination refuses", PROXY_SOCKS5, &peers->socks5, closed, PeerTest::SocksUser,
         PeerTest::SocksPassword, L"SOCKS5 proxy server error: can't connect to destination host", -1,
         L"SOCKS5 proxy server error: can't connect to destination host"},
        {"dante SOCKS4, destination refuses", PROXY_SOCKS4, &peers->socks4, closed, nullptr, nullptr,
         L"SOCKS4 proxy server error", -1, L"Can't init proxy server"},
        {"no proxy listening", PROXY_SOCKS5, none, echo.Port(), nullptr, nullptr, L"Can't connect to 127.0.0.1",
         WSAECONNREFUSED, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OwnerQueue queue(bus, manager);
        CConnection* connection = manager.CreateConnection(queue.Handle());
        ConnectionSettings settings;
        if (c.proxy) {
            settings = Via(c.type, *c.proxy, c.destination, c.login, c.password);
        } else {
            settings = To(L"127.0.0.1", c.destination);
            settings.proxyType = c.type;
            settings.proxyHost = L"127.0.0.1";
            settings.proxyPort = closed;
        }
        int acceptedBefore = echo.Accepted();
        ASSERT_EQ(manager.Connect(connection, settings), 0);
        ASSERT_TRUE(queue.WaitFor(CM_CONNECT_RESULT, 1, 30000));
        queue.Flush();
        std::vector<CmMessage> messages = queue.ConnectionMessages();
        ASSERT_EQ(queue.Count(CM_ERROR_TEXT), 1) << Describe(messages);
        intptr_t code = queue.OfCode(CM_CONNECT_RESULT)[0].value;
        std::wstring text = queue.OfCode(CM_ERROR_TEXT)[0].text;
        if (!c.resetText.empty() && code == WSAECONNRESET) {
            EXPECT_EQ(text, c.resetText);
        } else {
            EXPECT_EQ(code, c.code) << Describe(messages);
            EXPECT_EQ(text, c.text);
        }
        EXPECT_EQ(messages.back().code, CM_CONNECT_RESULT);
        EXPECT_EQ(queue.Count(CM_DISCONNECTED), 0);
        EXPECT_EQ(echo.Accepted(), acceptedBefore);
        // The worker gives the network back as it ends, right after its connect result.
        ASSERT_TRUE(WaitForConnectionWorkers(15000));
        ConnMgrLog log;
        ConnMgrGetLog(&log);
        EXPECT_EQ(log.openConnections, 0);
        manager.DestroyConnection(connection);
    }
}

TEST_F(ThroughProxy, AProxyThatClosesEarlyFailsTheConnect)
{
    const struct {
        const char* name;
        int type;
        ScriptedServer::Handler proxy;
        std::wstring text;
        intptr_t code;
    } cases[] = {
        {"HTTP proxy hangs up without an answer", PROXY_HTTP, [](SOCKET s) { ReceiveExactly(s, 10); },
         L"HTTP proxy server error 0", -1},
        {"SOCKS5 proxy hangs up after one byte of its answer", PROXY_SOCKS5,
         [](SOCKET s) {
             ReceiveExactly(s, 3);
             SendAllBytes(s, "\x05");
         },
         L"Can't init proxy server", -1},
        {"SOCKS4 proxy hangs up mid-answer", PROXY_SOCKS4,
         [](SOCKET s) {
             ReceiveExactly(s, 9);
             SendAllBytes(s, std::string("\x00\x5A\x00", 3));
         },
         L"Can't init proxy server", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer proxy(c.proxy);
        OwnerQueue queue(bus, manager);
        CConnection* connection = manager.CreateConnection(queue.Handle());
        ConnectionSettings settings = To(L"127.0.0.1", 4242);
        settings.proxyType = c.type;
        settings.proxyHost = L"127.0.0.1";
        settings.proxyPort = proxy.Port();
        ASSERT_EQ(manager.Connect(connection, settings), 0);
        ASSERT_TRUE(queue.WaitFor(CM_CONNECT_RESULT, 1, 30000));
        queue.Flush();
        EXPECT_EQ(queue.OfCode(CM_CONNECT_RESULT)[0].value, c.code);
        ASSERT_EQ(queue.Count(CM_ERROR_TEXT), 1) << Describe(queue.Messages());
        EXPECT_EQ(queue.OfCode(CM_ERROR_TEXT)[0].text, c.text);
        manager.DestroyConnection(connection);
    }
}
