// What the updater's tests share: packages, their digests in hexadecimal, and nginx serving the
// update service's files from a folder of the build tree.
#pragma once

#include <winsock2.h>

#include "Zel/net/tests/LinuxPeer.h"
#include "Zel/shell/updater/PackageDigest.h"
#include "ZELCommon/tests/RemoveTree.h"

#include <atomic>
#include <cstdio>
#include <string>

namespace UpdaterTest {

using PeerTest::DosPath;

inline std::string Hex(const PackageDigest digest)
{
    char hex[65];
    for (int i = 0; i < 32; ++i) snprintf(hex + 2 * i, 3, "%02x", digest[i]);
    return hex;
}

// A package of size bytes that differ along the file.
inline std::string MakePackage(size_t size)
{
    std::string bytes(size, '\0');
    unsigned state = 12345;
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = char(state >> 16);
    }
    return bytes;
}

// nginx serving a folder of the build tree.
class WebSite {
public:
    WebSite()
    {
        static std::atomic<int> serial(0);
        www = PeerTest::PeersRunDir() + "/www-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial);
        CreateDirectoryW(DosPath(www).c_str(), nullptr);
        CreateDirectoryW(DosPath(www + "/pda").c_str(), nullptr);
    }
    ~WebSite()
    {
        nginx.Stop();
        TestSupport::RemoveTree(DosPath(www) + L"\\");
    }

    bool Start() { return nginx.Start("nginx", {www}); }
    void Put(const std::string& name, const std::string& bytes) { PeerTest::WriteTextFile(www + "/" + name, bytes); }
    void Remove(const std::string& name) { DeleteFileW(DosPath(www + "/" + name).c_str()); }
    std::string AccessLog() { return PeerTest::ReadTextFile(nginx.RunDir() + "/access.log"); }
    int Port() const { return nginx.Port(); }

    // The version answer for build, with the digest of package.
    void Offer(unsigned build, const std::string& package)
    {
        PackageDigest digest;
        Sha256(package.data(), package.size(), digest);
        Put("newpda_ppc.php", std::to_string(build) + " " + Hex(digest) + "\n");
        Put("pda/zelpda" + std::to_string(build) + ".cab", package);
    }

    PeerTest::LinuxPeer nginx;
    std::string www;
};

}  // namespace UpdaterTest
