// Linux peers for tests that run under Wine: a loopback server program run and stopped through
// peers/peer.sh, which reports through files in a run folder under the build folder ("ready" with
// the peer's process id, or "failed" with the reason and the peer's log) and stops the peer by its
// process id when the test asks (LinuxPeer::Stop, also run by the destructor), when the test process
// ends (it keeps a lease file mapped, by which the script finds it: a crashed test leaves no peer
// behind) or after 900 s. Ports are chosen free on 127.0.0.1 and checked again by the script before
// the peer binds them. The packages and the SOCKS5 test account come from scripts/setup.sh. peer.sh
// lists the kinds and their arguments.
//
//     PeerTest::LinuxPeer socks5;
//     ASSERT_TRUE(socks5.Start("dante-socks5")) << socks5.Failure();
//     connect to 127.0.0.1:socks5.Port() ...
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include "Zel/net/tests/LoopbackSupport.h"
#include "ZELCommon/tests/UnixHost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#ifndef ZEL_NET_PEERS_DIR
#error "ZEL_NET_PEERS_DIR: the Unix path of Zel/net/tests/peers"
#endif
#ifndef ZEL_NET_PEERS_RUN_DIR
#error "ZEL_NET_PEERS_RUN_DIR: the Unix path of the peers' run folders in the build folder"
#endif

namespace PeerTest {

// Accounts the peers accept. The SOCKS5 one is a system account that scripts/setup.sh creates.
const wchar_t SocksUser[] = L"zelsocks";
const wchar_t SocksPassword[] = L"zelsocks-pw";
const wchar_t HttpUser[] = L"zelproxy";
const wchar_t HttpPassword[] = L"zelproxy-pw";

using TestSupport::DosPath;
using TestSupport::FileExists;
using TestSupport::ReadTextFile;
using TestSupport::Widen;
using TestSupport::WriteTextFile;

inline std::string PeersRunDir()
{
    static std::string dir = [] {
        std::string base = ZEL_NET_PEERS_RUN_DIR;
        CreateDirectoryW(DosPath(base).c_str(), nullptr);
        return base;
    }();
    return dir;
}

// A file this process keeps mapped for as long as it runs; the peer scripts watch the process that
// maps it. Deleted when the process ends, however it ends.
inline const std::string& LeasePath()
{
    static std::string path = [] {
        std::string lease = PeersRunDir() + "/lease-" + std::to_string(GetCurrentProcessId()) + "-" +
                            std::to_string(GetTickCount64());
        HANDLE file = CreateFileW(DosPath(lease).c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                                  FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file == INVALID_HANDLE_VALUE) return std::string();
        DWORD written = 0;
        WriteFile(file, "zel test lease\n", 15, &written, nullptr);
        HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
        if (!mapping || !MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0)) return std::string();
        // The handles stay open on purpose: the mapping is the lease.
        return lease;
    }();
    return path;
}

// One Linux peer process, run and stopped through peers/peer.sh.
class LinuxPeer {
public:
    LinuxPeer() {}
    ~LinuxPeer() { Stop(); }
    LinuxPeer(const LinuxPeer&) = delete;
    LinuxPeer& operator=(const LinuxPeer&) = delete;

    // Starts kind on a free loopback port and waits until it accepts connections. False with
    // Failure() telling why (with the peer's log).
    bool Start(const std::string& kind, const std::vector<std::string>& arguments = {})
    {
        Stop();
        failure.clear();
        if (LeasePath().empty()) {
            failure = "cannot make the lease file in " + PeersRunDir();
            return false;
        }
        // A port taken between our check and the peer's bind (by a peer another test program starts
        // at the same moment) shows as a busy port, or as a server that ended before it listened
        // (ejabberd's second port, for its node): try others.
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (Launch(kind, arguments)) return true;
            if (failure.find("is busy") == std::string::npos && failure.find("ended before it listened") == std::string::npos)
                return false;
        }
        return false;
    }

    // Asks the script to stop the peer by its process id and waits until it has (at most 20 s).
    void Stop()
    {
        if (runDir.empty()) return;
        if (FileExists(runDir)) {
            WriteTextFile(runDir + "/stop", "stop\n");
            for (int i = 0; i < 1000 && FileExists(runDir) && !FileExists(runDir + "/died"); ++i) Sleep(20);
        }
        runDir.clear();
        port = 0;
        pid = 0;
    }

    // Runs an ejabberdctl command (arguments split at blanks) against a running "ejabberd" peer and
    // waits for it (at most a minute): true when it succeeded; *output gets what it printed.
    bool Control(const std::string& arguments, std::string* output = nullptr)
    {
        if (runDir.empty()) return false;
        static std::atomic<int> counter(0);
        const std::string base = runDir + "/ctl-" + std::to_string(++counter);
        // Written whole first, so the script never reads half a request.
        if (!WriteTextFile(base + ".part", arguments + "\n") ||
            !MoveFileW(DosPath(base + ".part").c_str(), DosPath(base + ".request").c_str()))
            return false;
        for (int i = 0; i < 3000 && !FileExists(base + ".done"); ++i) Sleep(20);
        if (output) *output = ReadTextFile(base + ".out");
        return FileExists(base + ".done") && atoi(ReadTextFile(base + ".done").c_str()) == 0;
    }

    int Port() const { return port; }
    // The peer's run folder (Unix path): its log and whatever the kind keeps there.
    const std::string& RunDir() const { return runDir; }
    int ProcessId() const { return pid; }
    bool IsRunning() const { return !runDir.empty() && FileExists(runDir + "/ready") && !FileExists(runDir + "/died"); }
    const std::string& Failure() const { return failure; }

private:
    bool Launch(const std::string& kind, const std::vector<std::string>& arguments)
    {
        static std::atomic<int> counter(0);
        int candidate = PickFreePort();
        std::string run = PeersRunDir() + "/peer-" + kind + "-" + std::to_string(GetCurrentProcessId()) + "-" +
                          std::to_string(++counter);
        std::vector<std::string> line = {"start", kind, run, std::to_string(candidate), LeasePath()};
        line.insert(line.end(), arguments.begin(), arguments.end());
        if (!TestSupport::StartUnixScript(ZEL_NET_PEERS_DIR "/peer.sh", line, failure)) return false;

        // A minute: ejabberd takes seconds to start, and each account it is given a second or two more.
        for (int i = 0; i < 3000; ++i) {
            if (FileExists(run + "/ready")) {
                runDir = run;
                port = candidate;
                pid = atoi(ReadTextFile(run + "/ready").c_str());
                return true;
            }
            if (FileExists(run + "/failed")) {
                failure = kind + ": " + ReadTextFile(run + "/failed") + "\n--- peer.log ---\n" +
                          ReadTextFile(run + "/peer.log");
                RemoveRunFolder(run);
                return false;
            }
            Sleep(20);
        }
        failure = kind + ": no answer from peer.sh within 60 s\n--- peer.log ---\n" + ReadTextFile(run + "/peer.log");
        // Should it still come up, it ends with this process through the lease.
        return false;
    }

    // The script has ended and its report is read: nothing in the folder is needed any more.
    static void RemoveRunFolder(const std::string& run)
    {
        std::wstring folder = DosPath(run);
        WIN32_FIND_DATAW found;
        HANDLE walk = FindFirstFileW((folder + L"\\*").c_str(), &found);
        if (walk != INVALID_HANDLE_VALUE) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((folder + L"\\" + found.cFileName).c_str());
            } while (FindNextFileW(walk, &found));
            FindClose(walk);
        }
        RemoveDirectoryW(folder.c_str());
    }

    std::string runDir;
    std::string failure;
    int port = 0;
    int pid = 0;
};

// Peers a suite of tests shares. A derived set starts its peers in its constructor with Start,
// which notes why any did not start.
struct PeerSet {
    std::string failures;  // a line for each peer that did not start; empty when all run

    void Start(LinuxPeer& peer, const std::string& kind, const std::vector<std::string>& arguments = {})
    {
        if (!peer.Start(kind, arguments)) failures += peer.Failure() + "\n";
    }
};

// The proxies, each with the test accounts: HTTP CONNECT with Basic authorisation (squid,
// tinyproxy), SOCKS5 with user name and password, and SOCKS4 (dante).
struct ProxyPeerSet : PeerSet {
    LinuxPeer squid, tinyproxy, socks5, socks4;

    ProxyPeerSet()
    {
        std::vector<std::string> http = {Narrow(HttpUser), Narrow(HttpPassword)};
        Start(squid, "squid", http);
        Start(tinyproxy, "tinyproxy", http);
        Start(socks5, "dante-socks5");
        Start(socks4, "dante-socks4");
    }

    static std::string Narrow(const wchar_t* text)
    {
        std::wstring wide(text);
        return std::string(wide.begin(), wide.end());
    }
};

// A fixture whose suite starts one set of peers (a PeerSet) before its first test and stops them
// after its last; each test fails at once when a peer did not start.
template <typename Peers, typename Base = testing::Test> class SharedPeers : public Base {
protected:
    static void SetUpTestSuite() { peers = new Peers; }
    static void TearDownTestSuite()
    {
        delete peers;
        peers = nullptr;
    }
    void SetUp() override
    {
        Base::SetUp();
        ASSERT_EQ(peers->failures, "");
    }

    static Peers* peers;
};

template <typename Peers, typename Base> Peers* SharedPeers<Peers, Base>::peers = nullptr;

} // namespace PeerTest
