// Real peers for the network tests: loopback proxies and a TLS echo server run as Linux processes,
// loopback servers run as threads of the test (each connection handled as the test scripts it, or
// echoed), and the tests' own certificate authority.
//
// The Linux peers are run and stopped by LinuxPeer (LinuxPeer.h); the peers need root (dante reads
// the account's password, squid and tinyproxy drop to their own accounts).
//
// Kinds and their arguments: "squid" and "tinyproxy" (HTTP CONNECT with Basic authorisation as
// HttpUser/HttpPassword), "dante-socks5" (SOCKS5 with SocksUser/SocksPassword only),
// "dante-socks4" (SOCKS4, and SOCKS5 without authentication), "tls-echo" with a certificate name
// (TLS echo server, see below), "ejabberd" with its options (an XMPP server; peers/peer.sh lists
// them).
//
// TLS: the build makes the certificates in TestCertDir() (peers/make-test-certs.sh): "localhost"
// (for localhost and 127.0.0.1, signed by the test CA), "wrongname" (signed by the test CA for
// another host name) and "untrusted" (for localhost, signed by a CA nobody trusts). The test CA is
// trusted in the current user's Root store of the tests' own Wine prefix for the whole run of a
// test program that includes this header (a global test environment; the host's trust is never
// touched):
//
//     ASSERT_TRUE(PeerTest::IsTestCATrusted()) << PeerTest::TestCAFailure();
//     PeerTest::LinuxPeer tls;
//     ASSERT_TRUE(tls.Start("tls-echo", {PeerTest::TestCertDir(), "localhost"})) << tls.Failure();
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <wincrypt.h>

#include "Handheld/tests/SystemDensity.h"
#include "Zel/net/tests/LinuxPeer.h"
#include "Zel/net/tests/LoopbackSupport.h"
#include "ZELCommon/tests/UnixHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#ifndef ZEL_NET_TEST_CERT_DIR
#error "ZEL_NET_TEST_CERT_DIR: the Unix path of the test certificates in the build folder"
#endif

namespace PeerTest {

inline std::string TestCertDir()
{
    return ZEL_NET_TEST_CERT_DIR;
}

// Echoes every byte back on every connection it accepts on 127.0.0.1, until destroyed, even while
// a client still holds its connection.
class EchoServer {
public:
    EchoServer() : server([this](SOCKET s) { EchoUntil(s, [this] { return server.IsStopping(); }); }) {}

    // 0 when it could not listen.
    int Port() const { return server.Port(); }
    int Accepted() const { return server.Accepted(); }

private:
    ScriptedServer server;
};

// The test CA (TestCertDir()/ca.der) in the current user's Root store of the tests' own Wine
// prefix, for the whole run of the test program: Wine reads the trusted roots once per process, at
// the first chain built, so trust cannot come and go between tests. A global test environment adds
// it before the first test and removes it after the last; a run started by the program to run a test
// at another density leaves both to that program.
class TestCAEnvironment : public testing::Environment {
public:
    void SetUp() override
    {
        std::string der = ReadTextFile(TestCertDir() + "/ca.der");
        HCERTSTORE store = OpenRootRegistry();
        if (der.empty()) {
            Failure() = "no test CA at " + TestCertDir() + "/ca.der";
        } else if (!store) {
            Failure() = "cannot open the Root store (error " + std::to_string(GetLastError()) + ")";
        } else if (DisplayTestSupport::IsDensityChild()) {
            // The program that started this one holds the CA for its whole run; removing it at our
            // end would take it from under that program's later tests.
            Failure().clear();
        } else if (!CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING,
                                                     reinterpret_cast<const BYTE*>(der.data()), DWORD(der.size()),
                                                     CERT_STORE_ADD_REPLACE_EXISTING, nullptr)) {
            Failure() = "cannot add the test CA (error " + std::to_string(GetLastError()) + ")";
        } else {
            Failure().clear();
            added = der;
        }
        // Closing writes the store back to the registry.
        if (store) CertCloseStore(store, 0);
    }

    void TearDown() override
    {
        if (added.empty()) return;
        PCCERT_CONTEXT ca = CertCreateCertificateContext(X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(added.data()),
                                                         DWORD(added.size()));
        HCERTSTORE store = OpenRootRegistry();
        if (ca && store) {
            // Deleting frees the context found.
            if (PCCERT_CONTEXT found = CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, ca, nullptr))
                CertDeleteCertificateFromStore(found);
        }
        if (store) CertCloseStore(store, 0);
        if (ca) CertFreeCertificateContext(ca);
        added.clear();
    }

    // Empty once the CA is trusted; else why not. Only valid while tests run.
    static std::string& Failure()
    {
        static std::string failure = "the test CA environment has not run";
        return failure;
    }

    // The registry part of the Root store: Wine keeps changes made through the whole system store
    // (a collection) in memory only, so adding and removing go here.
    static HCERTSTORE OpenRootRegistry()
    {
        return CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
    }

private:
    std::string added;
};

inline testing::Environment* const testCAEnvironment = testing::AddGlobalTestEnvironment(new TestCAEnvironment);

// Whether the test CA is trusted in this run; TestCAFailure() tells why not.
inline bool IsTestCATrusted()
{
    return TestCAEnvironment::Failure().empty();
}

inline const std::string& TestCAFailure()
{
    return TestCAEnvironment::Failure();
}

// The certificate in TestCertDir()/name.crt (PEM), or null. The caller frees it.
inline PCCERT_CONTEXT LoadCertificate(const std::string& name)
{
    std::string pem = ReadTextFile(TestCertDir() + "/" + name + ".crt");
    DWORD size = 0;
    if (pem.empty() || !CryptStringToBinaryA(pem.c_str(), DWORD(pem.size()), CRYPT_STRING_BASE64HEADER, nullptr, &size,
                                             nullptr, nullptr))
        return nullptr;
    std::vector<BYTE> der(size);
    if (!CryptStringToBinaryA(pem.c_str(), DWORD(pem.size()), CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr,
                              nullptr))
        return nullptr;
    return CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), size);
}

} // namespace PeerTest
