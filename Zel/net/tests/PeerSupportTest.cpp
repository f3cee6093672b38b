// The real-peer harness itself: peers start and stop by their process id, and the test CA makes
// exactly the test certificates signed by it trusted.
#include "PeerSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using PeerTest::LoadCertificate;

// The chain's error status bits for certificate (0 = trusted), or ~0 when no chain was built.
DWORD ChainErrors(PCCERT_CONTEXT certificate)
{
    CERT_CHAIN_PARA para = {};
    para.cbSize = sizeof para;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    if (!CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &para, 0, nullptr, &chain))
        return ~DWORD(0);
    DWORD errors = chain->TrustStatus.dwErrorStatus;
    CertFreeCertificateChain(chain);
    return errors;
}

// The SSL policy's verdict on certificate for host: 0 or the policy error (CERT_E_...).
LONG SslPolicyError(PCCERT_CONTEXT certificate, const wchar_t* host)
{
    CERT_CHAIN_PARA para = {};
    para.cbSize = sizeof para;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    if (!CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &para, 0, nullptr, &chain))
        return -1;
    HTTPSPolicyCallbackData https = {};
    https.cbStruct = sizeof https;
    https.dwAuthType = AUTHTYPE_SERVER;
    https.pwszServerName = const_cast<wchar_t*>(host);
    CERT_CHAIN_POLICY_PARA policy = {};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &https;
    CERT_CHAIN_POLICY_STATUS status = {};
    status.cbSize = sizeof status;
    LONG error = -1;
    if (CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status)) error = LONG(status.dwError);
    CertFreeCertificateChain(chain);
    return error;
}

bool CaInRootStore()
{
    PCCERT_CONTEXT ca = LoadCertificate("ca");
    if (!ca) return false;
    HCERTSTORE root = PeerTest::TestCAEnvironment::OpenRootRegistry();
    PCCERT_CONTEXT found = root ? CertFindCertificateInStore(root, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, ca, nullptr)
                                : nullptr;
    if (found) CertFreeCertificateContext(found);
    if (root) CertCloseStore(root, 0);
    CertFreeCertificateContext(ca);
    return found != nullptr;
}

} // namespace

TEST(PeerHarness, StartsAPeerOnAFreePortAndStopsItByItsProcessId)
{
    PeerTest::LinuxPeer peer;
    ASSERT_TRUE(peer.Start("dante-socks4")) << peer.Failure();
    EXPECT_TRUE(peer.IsRunning());
    EXPECT_GT(peer.ProcessId(), 1);
    int port = peer.Port();
    ASSERT_GT(port, 0);
    SOCKET s = PeerTest::ConnectLoopback(port);
    EXPECT_NE(INVALID_SOCKET, s);
    if (s != INVALID_SOCKET) closesocket(s);

    peer.Stop();
    EXPECT_FALSE(peer.IsRunning());
    s = PeerTest::ConnectLoopback(port);
    EXPECT_EQ(INVALID_SOCKET, s) << "nothing listens after the stop";
    if (s != INVALID_SOCKET) closesocket(s);
}

TEST(PeerHarness, TellsWhyAPeerDidNotStart)
{
    PeerTest::LinuxPeer peer;
    EXPECT_FALSE(peer.Start("no-such-peer"));
    EXPECT_NE(std::string::npos, peer.Failure().find("unknown kind")) << peer.Failure();
    EXPECT_FALSE(peer.IsRunning());

    PeerTest::LinuxPeer tls;
    EXPECT_FALSE(tls.Start("tls-echo", {PeerTest::TestCertDir(), "no-such-certificate"}));
    EXPECT_NE(std::string::npos, tls.Failure().find("no certificate")) << tls.Failure();
}

TEST(PeerHarness, TlsEchoServersStartWithEachTestCertificate)
{
    for (const char* name : {"localhost", "wrongname", "untrusted"}) {
        SCOPED_TRACE(name);
        PeerTest::LinuxPeer tls;
        ASSERT_TRUE(tls.Start("tls-echo", {PeerTest::TestCertDir(), name})) << tls.Failure();
        SOCKET s = PeerTest::ConnectLoopback(tls.Port());
        EXPECT_NE(INVALID_SOCKET, s);
        if (s != INVALID_SOCKET) closesocket(s);
    }
}

TEST(PeerHarness, EchoServerReturnsWhatItGets)
{
    PeerTest::EchoServer echo;
    ASSERT_GT(echo.Port(), 0);
    SOCKET s = PeerTest::ConnectLoopback(echo.Port());
    ASSERT_NE(INVALID_SOCKET, s);
    const char message[] = "ping";
    ASSERT_EQ(4, send(s, message, 4, 0));
    char back[4] = {};
    int got = 0;
    while (got < 4) {
        int n = recv(s, back + got, 4 - got, 0);
        if (n <= 0) break;
        got += n;
    }
    EXPECT_EQ(std::string("ping"), std::string(back, size_t(got)));
    closesocket(s);
    EXPECT_EQ(1, echo.Accepted());
}

TEST(PeerHarness, EchoServerEndsWhileAClientStillHoldsItsConnection)
{
    SOCKET s = INVALID_SOCKET;
    ULONGLONG ending = 0;
    {
        PeerTest::EchoServer echo;
        ASSERT_GT(echo.Port(), 0);
        s = PeerTest::ConnectLoopback(echo.Port());
        ASSERT_NE(INVALID_SOCKET, s);
        ASSERT_TRUE(PeerTest::SendAllBytes(s, "ping"));
        EXPECT_EQ("ping", PeerTest::ReceiveExactly(s, 4));
        ending = GetTickCount64();
    }
    EXPECT_LT(GetTickCount64() - ending, 5000u) << "the open connection held the server up";
    EXPECT_EQ("", PeerTest::ReceiveAll(s)) << "the server's end is closed";
    closesocket(s);
}

TEST(TestCertificateAuthority, TrustsTheTestCertificatesAndNoOthers)
{
    ASSERT_TRUE(PeerTest::IsTestCATrusted()) << PeerTest::TestCAFailure();
    EXPECT_TRUE(CaInRootStore());

    PCCERT_CONTEXT good = LoadCertificate("localhost");
    PCCERT_CONTEXT wrongName = LoadCertificate("wrongname");
    PCCERT_CONTEXT untrusted = LoadCertificate("untrusted");
    ASSERT_TRUE(good && wrongName && untrusted) << "test certificates missing in " << PeerTest::TestCertDir();

    EXPECT_EQ(0u, ChainErrors(good));
    EXPECT_EQ(0, SslPolicyError(good, L"localhost"));
    EXPECT_EQ(0u, ChainErrors(wrongName));
    EXPECT_EQ(LONG(CERT_E_CN_NO_MATCH), SslPolicyError(wrongName, L"localhost"));
    EXPECT_NE(0u, ChainErrors(untrusted)) << "signed by a CA nobody trusts";

    CertFreeCertificateContext(good);
    CertFreeCertificateContext(wrongName);
    CertFreeCertificateContext(untrusted);
}
