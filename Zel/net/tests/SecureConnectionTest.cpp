// Secure connections: the server certificate checks on their own, and whole connections to real
// TLS echo servers on 127.0.0.1 (openssl, through socat), directly and through a real SOCKS5 proxy.

#include "Zel/net/tests/NetTestSupport.h"
#include "Zel/net/tests/PeerSupport.h"

#include "Zel/net/SecureChannel.h"

#include <gtest/gtest.h>

#include <memory>

using namespace NetTest;

namespace {

using PeerTest::LoadCertificate;

// The real peers the secure tests share; started once for the suite.
struct SecurePeers : PeerTest::PeerSet {
    PeerTest::LinuxPeer good;       // the test CA's certificate for localhost and 127.0.0.1
    PeerTest::LinuxPeer wrongName;  // the test CA's certificate for another name
    PeerTest::LinuxPeer untrusted;  // a certificate for localhost from a CA nobody trusts
    PeerTest::LinuxPeer socks5;

    SecurePeers()
    {
        if (!PeerTest::IsTestCATrusted()) failures += PeerTest::TestCAFailure() + "\n";
        Start(good, "tls-echo", {PeerTest::TestCertDir(), "localhost"});
        Start(wrongName, "tls-echo", {PeerTest::TestCertDir(), "wrongname"});
        Start(untrusted, "tls-echo", {PeerTest::TestCertDir(), "untrusted"});
        Start(socks5, "dante-socks5");
    }
};

class Secure : public PeerTest::SharedPeers<SecurePeers, ConnectionFixture> {};

// Sends data in pieces and waits until it has all come back.
bool EchoesBack(IConnectionManager& manager, OwnerQueue& owner, CConnection* connection, const std::string& data)
{
    size_t before = owner.Received().size();
    for (size_t offset = 0, piece = 1; offset < data.size(); offset += piece, piece = piece * 3 + 1) {
        piece = std::min(piece, data.size() - offset);
        if (manager.Send(connection, data.data() + offset, int(piece), 0) != int(piece)) return false;
    }
    if (!owner.WaitForReceived(before + data.size(), 60000)) return false;
    return owner.Received().substr(before) == data;
}

}  // namespace

TEST(SecureChannel, EachSecureModeHasItsProtocolId)
{
    EXPECT_EQ(CSecureChannel::ProtocolIdForMode(SECURE_SSL), 3);
    EXPECT_EQ(CSecureChannel::ProtocolIdForMode(SECURE_TLS), 4);
    // Modes the preferences never offer take the newer protocol.
    EXPECT_EQ(CSecureChannel::ProtocolIdForMode(7), 4);
}

TEST(SecureChannel, TheServerCertificateMustChainToATrustedRootAndNameTheHost)
{
    ASSERT_TRUE(PeerTest::IsTestCATrusted()) << PeerTest::TestCAFailure();
    const struct {
        const char* certificate;
        const wchar_t* host;
        int verdict;
    } cases[] = {
        {"localhost", L"localhost", 0},
        {"localhost", L"LocalHost", 0},
        {"localhost", L"127.0.0.1", 0},
        {"localhost", L"127.0.0.2", int(CERT_E_CN_NO_MATCH)},
        {"localhost", L"::1", int(CERT_E_CN_NO_MATCH)},
        {"wrongname", L"127.0.0.1", int(CERT_E_CN_NO_MATCH)},
        {"localhost", L"other.example", int(CERT_E_CN_NO_MATCH)},
        {"localhost", L"", int(CERT_E_CN_NO_MATCH)},
        {"wrongname", L"wrong.zel.invalid", 0},
        {"wrongname", L"localhost", int(CERT_E_CN_NO_MATCH)},
        {"untrusted", L"localhost", int(CERT_E_UNTRUSTEDROOT)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.certificate) + " for " + std::string(c.host, c.host + wcslen(c.host)));
        PCCERT_CONTEXT certificate = LoadCertificate(c.certificate);
        ASSERT_NE(certificate, nullptr);
        EXPECT_EQ(CSecureChannel::VerifyServerCertificate(certificate, c.host), c.verdict);
        CertFreeCertificateContext(certificate);
    }
    EXPECT_NE(CSecureChannel::VerifyServerCertificate(nullptr, L"localhost"), 0);
}

TEST(SecureChannel, NothingIsSentOrReceivedBeforeTheHandshake)
{
    CSecureChannel channel(4);
    EXPECT_NE(channel.Send(INVALID_SOCKET, "x", 1), 0);
    char buffer[16];
    EXPECT_EQ(channel.Receive(INVALID_SOCKET, buffer, sizeof buffer, true), SOCKET_ERROR);
    // No credentials yet: no handshake either.
    EXPECT_NE(channel.Handshake(INVALID_SOCKET, L"localhost", nullptr, 0), 0);
}

TEST_F(Secure, ATrustedServerForTheHostWorksInBothModes)
{
    for (int mode : {SECURE_TLS, SECURE_SSL}) {
        SCOPED_TRACE(mode);
        OwnerQueue queue(bus, manager);
        CConnection* connection = manager.CreateConnection(queue.Handle());
        ASSERT_EQ(manager.Connect(connection, To(L"localhost", peers->good.Port(), mode)), 0);
        ASSERT_TRUE(queue.WaitFor(CM_CONNECT_RESULT, 1, 30000));
        ASSERT_EQ(queue.OfCode(CM_CONNECT_RESULT)[0].value, 0) << Describe(queue.Messages());
        EXPECT_TRUE(EchoesBack(manager, queue, connection, PatternBytes(1 << 20, unsigned(mode))));
        ASSERT_NO_FATAL_FAILURE(CloseAndExpectCleanEnd(
            queue, connection,
            {L"Connect to network", L"Address translation", L"Connect to localhost", L"Init secure connection"}));
        for (const CmMessage& m : queue.OfCode(CM_DATA_RECEIVED)) {
            EXPECT_GE(m.value, 1);
            EXPECT_LE(m.value, CConnection::MaxChunk);
        }
        manager.DestroyConnection(connection);
    }
}

TEST_F(Secure, AnUntrustedCertificateOrAnotherNameEndsTheConnection)
{
    const struct {
        const char* name;
        PeerTest::LinuxPeer* server;
        const wchar_t* host;
    } cases[] = {
        {"certificate from an unknown CA", &peers->untrusted, L"localhost"},
        {"certificate for another name", &peers->wrongName, L"localhost"},
        {"certificate for another name, server given by address", &peers->wrongName, L"127.0.0.1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OwnerQueue queue(bus, manager);
        CConnection* connection = manager.CreateConnection(queue.Handle());
        ASSERT_EQ(manager.Connect(connection, To(c.host, c.server->Port(), SECURE_TLS)), 0);
        ASSERT_TRUE(queue.WaitFor(CM_CONNECT_RESULT, 1, 30000));
        queue.Flush();
        std::vector<CmMessage> messages = queue.ConnectionMessages();
        ASSERT_EQ(queue.Count(CM_CONNECT_RESULT), 1);
        EXPECT_EQ(queue.OfCode(CM_CONNECT_RESULT)[0].value, -1);
        ASSERT_EQ(queue.Count(CM_ERROR_TEXT), 1) << Describe(messages);
        EXPECT_EQ(queue.OfCode(CM_ERROR_TEXT)[0].text, L"Secure connection error");
        EXPECT_EQ(messages[messages.size() - 2].code, CM_ERROR_TEXT);
        EXPECT_EQ(queue.Count(CM_DISCONNECTED), 0);
        EXPECT_EQ(manager.Send(connection, "secret", 6, 0), -1) << "nothing goes out over a rejected channel";
        // The worker gives the network back as it ends, right after its connect result.
        ASSERT_TRUE(WaitForConnectionWorkers(15000));
        ConnMgrLog log;
        ConnMgrGetLog(&log);
        EXPECT_EQ(log.openConnections, 0);
        manager.DestroyConnection(connection);
    }
}

TEST_F(Secure, AServerGivenByAddressWorksWhenItsCertificateListsTheAddress)
{
    CConnection* connection = manager.CreateConnection(owner.Handle());
    ASSERT_EQ(ConnectAndWait(connection, To(L"127.0.0.1", peers->good.Port(), SECURE_TLS)), 0)
        << Describe(owner.Messages());
    EXPECT_TRUE(EchoesBack(manager, owner, connection, "by address"));
    manager.Close(connection);
    manager.DestroyConnection(connection);
}

TEST_F(Secure, ThroughSocks5TheHandshakeRunsInsideTheTunnel)
{
    const struct {
        const char* name;
        PeerTest::LinuxPeer* server;
        intptr_t result;
    } cases[] = {
        {"trusted", &peers->good, 0},
        {"untrusted", &peers->untrusted, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OwnerQueue queue(bus, manager);
        CConnection* connection = manager.CreateConnection(queue.Handle());
        ConnectionSettings settings = To(L"localhost", c.server->Port(), SECURE_TLS);
        settings.proxyType = PROXY_SOCKS5;
        settings.proxyHost = L"127.0.0.1";
        settings.proxyPort = peers->socks5.Port();
        settings.proxyAuth = true;
        settings.proxyLogin = PeerTest::SocksUser;
        settings.proxyPassword = PeerTest::SocksPassword;
        ASSERT_EQ(manager.Connect(connection, settings), 0);
        ASSERT_TRUE(queue.WaitFor(CM_CONNECT_RESULT, 1, 30000));
        ASSERT_EQ(queue.OfCode(CM_CONNECT_RESULT)[0].value, c.result) << Describe(queue.Messages());
        std::vector<std::wstring> expected = {L"Connect to network", L"Address translation", L"Connect to 127.0.0.1",
                                              L"Init proxy server", L"Init secure connection"};
        EXPECT_EQ(queue.Texts(CM_STATUS_TEXT), expected);
        if (c.result == 0) {
            EXPECT_TRUE(EchoesBack(manager, queue, connection, PatternBytes(300000, 5)));
        } else {
            EXPECT_EQ(queue.OfCode(CM_ERROR_TEXT)[0].text, L"Secure connection error");
        }
        manager.Close(connection);
        manager.DestroyConnection(connection);
    }
}

TEST_F(Secure, AServerThatDoesNotSpeakTlsFailsTheHandshake)
{
    const struct {
        const char* name;
        ScriptedServer::Handler handler;
    } cases[] = {
        {"closes at once", [](SOCKET) {}},
        {"answers in plain text", [](SOCKET s) {
             ReceiveExactly(s, 5);
             SendAllBytes(s, "HTTP/1.0 400 Bad Request\r\n\r\n");
         }},
        {"answers with noise", [](SOCKET s) {
             ReceiveExactly(s, 5);
             SendAllBytes(s, PatternBytes(100000, 3));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server(c.handler);
        OwnerQueue queue(bus, manager);
        CConnection* connection = manager.CreateConnection(queue.Handle());
        ASSERT_EQ(manager.Connect(connection, To(L"localhost", server.Port(), SECURE_TLS)), 0);
        ASSERT_TRUE(queue.WaitFor(CM_CONNECT_RESULT, 1, 30000));
        queue.Flush();
        EXPECT_EQ(queue.OfCode(CM_CONNECT_RESULT)[0].value, -1);
        ASSERT_EQ(queue.Count(CM_ERROR_TEXT), 1) << Describe(queue.Messages());
        EXPECT_EQ(queue.OfCode(CM_ERROR_TEXT)[0].text, L"Secure connection error");
        manager.DestroyConnection(connection);
    }
}

TEST_F(Secure, CloseDuringAStalledHandshakeEndsIt)
{
    ScriptedServer silent([](SOCKET s) { ReceiveAll(s); });
    CConnection* connection = manager.CreateConnection(owner.Handle());
    ASSERT_EQ(manager.Connect(connection, To(L"localhost", silent.Port(), SECURE_TLS)), 0);
    ASSERT_TRUE(WaitUntil([&] {
        for (const CmMessage& m : owner.OfCode(CM_STATUS_TEXT))
            if (m.text == L"Init secure connection") return true;
        return false;
    }));
    manager.Close(connection);
    ASSERT_TRUE(WaitForConnectionWorkers(15000));  // Close does not wait for the worker
    owner.Flush();
    ASSERT_EQ(owner.Count(CM_CONNECT_RESULT), 1);
    EXPECT_NE(owner.OfCode(CM_CONNECT_RESULT)[0].value, 0);
    manager.DestroyConnection(connection);
}
