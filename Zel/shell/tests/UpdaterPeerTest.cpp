// The version updater against nginx started by the test on 127.0.0.1: the check offers a newer
// build once a day, the download resumes a cut transfer with a range request, the package is
// verified against the digest of the offer, and the same runs through each proxy. The test thread
// plays the user-interface thread: it starts the transactions and closes them when they report.
// Winsock before windows.h, which the bus brings.
#include <winsock2.h>

#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/Payloads.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/settings/SettingsStore.h"
#include "Zel/net/ConnectionManager.h"
#include "Zel/net/ConnectionWorker.h"
#include "Zel/net/tests/LinuxPeer.h"
#include "Zel/shell/tests/UpdaterTestSupport.h"
#include "Zel/shell/updater/PackageDigest.h"
#include "Zel/shell/updater/UpdateDownload.h"
#include "Zel/shell/updater/UpdateEndpoints.h"
#include "Zel/shell/updater/UpdateReports.h"
#include "Zel/shell/updater/VersionUpdater.h"
#include "ZELCommon/ZELSystemInfo.h"
#include "ZELCommon/tests/TempFolder.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

using PeerTest::DosPath;
using PeerTest::LinuxPeer;
using namespace UpdaterTest;

namespace {

const unsigned kOwnBuild = CZELSystemInfo::ZELVersion();

bool WaitUntil(const std::function<bool()>& check, DWORD milliseconds = 20000)
{
    ULONGLONG end = GetTickCount64() + milliseconds;
    while (!check()) {
        if (GetTickCount64() > end) return false;
        Sleep(5);
    }
    return true;
}

int ThreadCount()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    int count = 0;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    CloseHandle(snapshot);
    return count;
}

// One report that reached the queue "GUI".
struct Report {
    int code;
    intptr_t value;
    bool hasDigest;
    std::string digest;
};

// The queue "GUI" as the updater sees it: every report kept for the test thread.
class GuiRecorder : public QueueReceiver {
public:
    int HandleMessage(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject*) override
    {
        if (msgClass != GUID_GUI) return 0;
        Report report = {code, ValueOf(p1), false, std::string()};
        if (CUpdateOffer* offer = dynamic_cast<CUpdateOffer*>(p1)) {
            report.hasDigest = true;
            report.digest = Hex(offer->digest);
        }
        std::lock_guard<std::mutex> hold(lock);
        reports.push_back(report);
        return 0;
    }

    std::vector<Report> Since(size_t first)
    {
        std::lock_guard<std::mutex> hold(lock);
        return std::vector<Report>(reports.begin() + std::min(first, reports.size()), reports.end());
    }
    size_t Count()
    {
        std::lock_guard<std::mutex> hold(lock);
        return reports.size();
    }

private:
    std::mutex lock;
    std::vector<Report> reports;
};

// A relay in front of the web site: the answer of the connection numbered cutConnection is cut
// after cutAfter bytes; with stall set, that connection then hangs until the client goes.
class Relay {
public:
    explicit Relay(int target) : target(target), server([this](SOCKET s) { Serve(s); }) {}

    int Port() const { return server.Port(); }

    std::atomic<int> cutConnection{1};
    std::atomic<size_t> cutAfter{SIZE_MAX};
    std::atomic<bool> stall{false};
    std::atomic<int> connections{0};
    std::atomic<bool> stalled{false};  // the cut connection is held

private:
    void Serve(SOCKET client)
    {
        int number = ++connections;
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            int got = recv(client, buffer, sizeof buffer, 0);
            if (got <= 0) return;
            request.append(buffer, size_t(got));
        }
        SOCKET up = PeerTest::ConnectLoopback(target);
        if (up == INVALID_SOCKET) return;
        PeerTest::SendAllBytes(up, request);
        size_t limit = number == cutConnection ? cutAfter.load() : SIZE_MAX, passed = 0;
        for (;;) {
            int got = recv(up, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            size_t take = std::min(size_t(got), limit - passed);
            if (!PeerTest::SendAllBytes(client, std::string(buffer, take))) break;
            passed += take;
            if (passed >= limit) break;
        }
        closesocket(up);
        if (number == cutConnection && stall) {
            // Holds the connection open until the client closes it.
            stalled = true;
            for (;;) {
                fd_set readable;
                FD_ZERO(&readable);
                FD_SET(client, &readable);
                timeval wait = {0, 50000};
                int ready = select(0, &readable, nullptr, nullptr, &wait);
                if (server.IsStopping() || ready < 0) return;
                if (ready > 0 && recv(client, buffer, sizeof buffer, 0) <= 0) return;
            }
        }
    }

    int target;
    PeerTest::ScriptedServer server;
};

class UpdaterPeer : public ::testing::Test {
protected:
    UpdaterPeer()
        : folder(L"zel-updater-"), store(&bus, folder.File(L"settings.zel")), connections(bus), updater(&bus, folder.Path())
    {
        guiQueue = bus.CreateQueue(&gui, CZELString(L"GUI"));
    }
    ~UpdaterPeer() override
    {
        updater.CancelAll();
        bus.DestroyQueue(guiQueue);
        ResetUpdateEndpoints();
    }

    void SetUp() override
    {
        ASSERT_NE(guiQueue, 0);
        ASSERT_TRUE(site.Start()) << site.nginx.Failure();
        PointAt(site.Port(), site.Port());
    }

    void PointAt(int versionPort, int downloadPort)
    {
        UpdateEndpoints endpoints;
        endpoints.version.host = CZELString(L"127.0.0.1");
        endpoints.version.port = versionPort;
        endpoints.download.host = CZELString(L"127.0.0.1");
        endpoints.download.port = downloadPort;
        SetUpdateEndpoints(endpoints);
    }

    // Handles the reports as the main window does, until the transaction that reports done has
    // gone. The reports that came.
    std::vector<Report> Settle(size_t first, int doneCode)
    {
        std::vector<Report> reports;
        bool done = WaitUntil([&] {
            reports = gui.Since(first);
            for (const Report& report : reports)
                if (report.code == doneCode) return true;
            return false;
        });
        EXPECT_TRUE(done) << "no report " << doneCode;
        for (const Report& report : reports) {
            if (report.code == GUIMSG_UPDATE_AVAILABLE || report.code == GUIMSG_UPDATE_READY) {
                PackageDigest digest;
                for (int i = 0; i < 32 && report.digest.size() == 64; ++i)
                    digest[i] = (unsigned char)strtoul(report.digest.substr(size_t(2 * i), 2).c_str(), nullptr, 16);
                updater.NoteOffer(unsigned(report.value), digest);
            }
            if (report.code == GUIMSG_UPDATE_CHECK_DONE) updater.CloseUpdateChecks(reinterpret_cast<void*>(report.value));
            if (report.code == GUIMSG_UPDATE_DOWNLOAD_DONE) updater.CloseUpdateDownload();
        }
        return reports;
    }

    std::vector<Report> Check()
    {
        size_t first = gui.Count();
        updater.StartUpdateCheck(guiQueue);
        if (updater.OpenChecks() == 0) return gui.Since(first);
        return Settle(first, GUIMSG_UPDATE_CHECK_DONE);
    }

    std::vector<Report> Download(unsigned build)
    {
        size_t first = gui.Count();
        updater.StartUpdateDownload(guiQueue, build);
        if (!updater.HasDownload()) {
            // Answered at once, or not started.
            Sleep(200);
            return gui.Since(first);
        }
        return Settle(first, GUIMSG_UPDATE_DOWNLOAD_DONE);
    }

    static std::vector<int> Codes(const std::vector<Report>& reports)
    {
        std::vector<int> codes;
        for (const Report& report : reports) codes.push_back(report.code);
        return codes;
    }

    int Record(const wchar_t* key)
    {
        int value = -1;
        store.GetInt(ZEL_GUID_NULL, CZELString(key), &value);
        return value;
    }
    void SetRecord(const wchar_t* key, int value) { store.SetInt(ZEL_GUID_NULL, CZELString(key), &value); }
    std::wstring CabPath() { return folder.path + L"zelpda.cab"; }
    std::string Cab() { return TestSupport::TempFolder::Read(CabPath()); }
    bool CabExists() { return TestSupport::FileExists(CabPath()); }

    TestSupport::TempFolder folder;
    Services::CServicesManager bus;
    CSettingsStore store;
    CConnectionManager connections;
    GuiRecorder gui;
    int guiQueue = 0;
    CVersionUpdater updater;
    WebSite site;
};

}  // namespace

TEST_F(UpdaterPeer, ANewerBuildIsOfferedOnceADayWithItsDigest)
{
    std::string package = MakePackage(5000);
    site.Offer(kOwnBuild + 1, package);
    PackageDigest digest;
    Sha256(package.data(), package.size(), digest);

    // Every account coming online asks; while one check is open another would offer again.
    size_t before = gui.Count();
    updater.StartUpdateCheck(guiQueue);
    updater.StartUpdateCheck(guiQueue);
    EXPECT_EQ(updater.OpenChecks(), 1u);
    std::vector<Report> first = Settle(before, GUIMSG_UPDATE_CHECK_DONE);
    ASSERT_EQ(Codes(first), (std::vector<int>{GUIMSG_UPDATE_AVAILABLE, GUIMSG_UPDATE_CHECK_DONE}));
    EXPECT_EQ(first[0].value, intptr_t(kOwnBuild + 1));
    EXPECT_TRUE(first[0].hasDigest);
    EXPECT_EQ(first[0].digest, Hex(digest));
    EXPECT_GT(Record(L"VerCheckTime"), 0);
    EXPECT_EQ(updater.OpenChecks(), 0u);

    // The same day: asked again, but the answer is not taken.
    EXPECT_EQ(Codes(Check()), std::vector<int>{GUIMSG_UPDATE_CHECK_DONE});

    std::string log = site.AccessLog();
    EXPECT_NE(log.find("GET /newpda_ppc.php?uuid="), std::string::npos) << log;
    EXPECT_NE(log.find("&cur_ver=" + std::to_string(kOwnBuild) + "&model="), std::string::npos) << log;
}

TEST_F(UpdaterPeer, AnswersWithoutANewerBuildOrItsDigestOfferNothing)
{
    struct Case {
        std::string body;  // empty: no such page (404)
        bool taken;
    } cases[] = {
        {std::to_string(kOwnBuild) + " " + std::string(64, 'a'), true},
        {std::to_string(kOwnBuild - 1) + " " + std::string(64, 'a'), true},
        {std::to_string(kOwnBuild + 1), false},                       // no digest
        {std::to_string(kOwnBuild + 1) + " " + std::string(63, 'a'), false},
        {"<html>" + std::to_string(kOwnBuild + 1), false},
        {"", false},
    };
    for (const Case& c : cases) {
        SetRecord(L"VerCheckTime", 0);
        if (c.body.empty())
            site.Remove("newpda_ppc.php");
        else
            site.Put("newpda_ppc.php", c.body);
        EXPECT_EQ(Codes(Check()), std::vector<int>{GUIMSG_UPDATE_CHECK_DONE}) << c.body;
        EXPECT_EQ(Record(L"VerCheckTime") > 0, c.taken) << c.body;
    }
}

TEST_F(UpdaterPeer, ACutDownloadResumesWithARangeAndIsReadyOnceVerified)
{
    const unsigned build = kOwnBuild + 1;
    std::string package = MakePackage(300000);
    site.Offer(build, package);
    Relay relay(site.Port());
    PointAt(site.Port(), relay.Port());
    relay.cutAfter = 100000;

    ASSERT_EQ(Codes(Check()), (std::vector<int>{GUIMSG_UPDATE_AVAILABLE, GUIMSG_UPDATE_CHECK_DONE}));
    // Cut halfway: no ready report, the partial file and the records stay.
    EXPECT_EQ(Codes(Download(build)), std::vector<int>{GUIMSG_UPDATE_DOWNLOAD_DONE});
    std::string partial = Cab();
    ASSERT_GT(partial.size(), 0u);
    ASSERT_LT(partial.size(), package.size());
    EXPECT_EQ(partial, package.substr(0, partial.size()));
    EXPECT_EQ(Record(L"NewVersionNumber"), int(build));
    EXPECT_EQ(Record(L"NewcabSize"), int(package.size()));

    std::vector<Report> resumed = Download(build);
    ASSERT_EQ(Codes(resumed), (std::vector<int>{GUIMSG_UPDATE_READY, GUIMSG_UPDATE_DOWNLOAD_DONE}));
    EXPECT_EQ(resumed[0].value, intptr_t(build));
    EXPECT_EQ(Cab(), package);
    std::string log = site.AccessLog();
    EXPECT_NE(log.find("GET /pda/zelpda" + std::to_string(build) + ".cab HTTP/1.0 \"-\" 200"), std::string::npos) << log;
    EXPECT_NE(log.find("\"bytes=" + std::to_string(partial.size()) + "-\" 206"), std::string::npos) << log;
    EXPECT_TRUE(updater.VerifyPackage(build));

    // The next day's check finds the package whole: ready at once.
    SetRecord(L"VerCheckTime", 0);
    EXPECT_EQ(Codes(Check()), (std::vector<int>{GUIMSG_UPDATE_READY, GUIMSG_UPDATE_CHECK_DONE}));
}

TEST_F(UpdaterPeer, APackageChangedByOneByteIsRefusedAndDeleted)
{
    const unsigned build = kOwnBuild + 1;
    std::string package = MakePackage(70000);
    site.Offer(build, package);
    std::string changed = package;
    changed[35000] ^= 0x20;
    site.Put("pda/zelpda" + std::to_string(build) + ".cab", changed);

    ASSERT_EQ(Codes(Check()), (std::vector<int>{GUIMSG_UPDATE_AVAILABLE, GUIMSG_UPDATE_CHECK_DONE}));
    EXPECT_EQ(Codes(Download(build)), std::vector<int>{GUIMSG_UPDATE_DOWNLOAD_DONE});
    EXPECT_FALSE(CabExists());
    EXPECT_EQ(Record(L"NewVersionNumber"), 0);
    EXPECT_EQ(Record(L"NewcabSize"), 0);
    EXPECT_FALSE(updater.VerifyPackage(build));
}

TEST_F(UpdaterPeer, AnOldPartialFileIsReplacedByAWholeAnswer)
{
    const unsigned build = kOwnBuild + 1;
    std::string package = MakePackage(20000);
    site.Offer(build, package);
    // A longer file than the recorded package: deleted, and the download starts over.
    SetRecord(L"NewVersionNumber", int(build));
    SetRecord(L"NewcabSize", 20000);
    folder.Write(L"zelpda.cab", std::string(25000, 'x'));
    ASSERT_EQ(Codes(Check()), (std::vector<int>{GUIMSG_UPDATE_AVAILABLE, GUIMSG_UPDATE_CHECK_DONE}));
    EXPECT_EQ(Codes(Download(build)), (std::vector<int>{GUIMSG_UPDATE_READY, GUIMSG_UPDATE_DOWNLOAD_DONE}));
    EXPECT_EQ(Cab(), package);

    // Another build's partial file: a whole answer replaces it.
    site.Offer(build + 1, package);
    SetRecord(L"VerCheckTime", 0);
    ASSERT_EQ(Codes(Check()), (std::vector<int>{GUIMSG_UPDATE_AVAILABLE, GUIMSG_UPDATE_CHECK_DONE}));
    folder.Write(L"zelpda.cab", std::string(100, 'x'));
    EXPECT_EQ(Codes(Download(build + 1)), (std::vector<int>{GUIMSG_UPDATE_READY, GUIMSG_UPDATE_DOWNLOAD_DONE}));
    EXPECT_EQ(Cab(), package);
    EXPECT_EQ(site.AccessLog().find("\" 206 "), std::string::npos);
}

TEST_F(UpdaterPeer, TheFirstCheckAfterAnUpdateClearsTheRecords)
{
    SetRecord(L"NewVersionNumber", int(kOwnBuild));
    SetRecord(L"NewcabSize", 100);
    folder.Write(L"zelpda.cab", std::string(100, 'p'));
    site.Put("newpda_ppc.php", std::to_string(kOwnBuild) + " " + std::string(64, '0'));
    EXPECT_EQ(Codes(Check()), std::vector<int>{GUIMSG_UPDATE_CHECK_DONE});
    EXPECT_FALSE(CabExists());
    EXPECT_EQ(Record(L"NewVersionNumber"), 0);
    EXPECT_EQ(Record(L"NewcabSize"), 0);
}

TEST_F(UpdaterPeer, ExitMidTransferLeavesNoThread)
{
    const unsigned build = kOwnBuild + 1;
    site.Offer(build, MakePackage(200000));
    Relay relay(site.Port());
    PointAt(site.Port(), relay.Port());
    relay.stall = true;
    relay.cutAfter = 50000;
    ASSERT_EQ(Codes(Check()), (std::vector<int>{GUIMSG_UPDATE_AVAILABLE, GUIMSG_UPDATE_CHECK_DONE}));
    ASSERT_TRUE(WaitForConnectionWorkers(10000));
    Sleep(200);
    int before = ThreadCount();
    for (int round = 1; round <= 3; ++round) {
        relay.cutConnection = relay.connections + 1;
        relay.stalled = false;
        updater.StartUpdateDownload(guiQueue, build);
        ASSERT_TRUE(updater.HasDownload());
        ASSERT_TRUE(WaitUntil([&] { return relay.stalled.load(); })) << round;
        updater.CancelAll();
        EXPECT_FALSE(updater.HasDownload());
        EXPECT_TRUE(WaitForConnectionWorkers(10000)) << round;
        EXPECT_TRUE(WaitUntil([&] { return ThreadCount() <= before; }, 10000)) << round << ": " << ThreadCount() << " > " << before;
    }
}

// The whole offer and download through each of the proxies the connection service speaks.
class UpdaterThroughProxy : public PeerTest::SharedPeers<PeerTest::ProxyPeerSet, UpdaterPeer>,
                            public ::testing::WithParamInterface<const char*> {
protected:
    void UseProxy(const std::string& kind)
    {
        ConnectionSettings settings = connections.GetSettings();
        settings.proxyAuth = false;
        if (kind == "squid" || kind == "tinyproxy") {
            settings.proxyType = PROXY_HTTP;
            settings.proxyPort = kind == "squid" ? peers->squid.Port() : peers->tinyproxy.Port();
            settings.proxyAuth = true;
            settings.proxyLogin = PeerTest::HttpUser;
            settings.proxyPassword = PeerTest::HttpPassword;
        } else if (kind == "dante-socks5") {
            settings.proxyType = PROXY_SOCKS5;
            settings.proxyPort = peers->socks5.Port();
            settings.proxyAuth = true;
            settings.proxyLogin = PeerTest::SocksUser;
            settings.proxyPassword = PeerTest::SocksPassword;
        } else {
            settings.proxyType = PROXY_SOCKS4;
            settings.proxyPort = peers->socks4.Port();
        }
        settings.proxyHost = L"127.0.0.1";
        connections.SetSettings(settings);
    }
};

TEST_P(UpdaterThroughProxy, OfferResumeAndVerify)
{
    UseProxy(GetParam());
    const unsigned build = kOwnBuild + 1;
    std::string package = MakePackage(120000);
    site.Offer(build, package);
    Relay relay(site.Port());
    PointAt(site.Port(), relay.Port());
    relay.cutAfter = 40000;

    ASSERT_EQ(Codes(Check()), (std::vector<int>{GUIMSG_UPDATE_AVAILABLE, GUIMSG_UPDATE_CHECK_DONE}));
    EXPECT_EQ(Codes(Download(build)), std::vector<int>{GUIMSG_UPDATE_DOWNLOAD_DONE});
    EXPECT_EQ(Codes(Download(build)), (std::vector<int>{GUIMSG_UPDATE_READY, GUIMSG_UPDATE_DOWNLOAD_DONE}));
    EXPECT_EQ(Cab(), package);
    EXPECT_NE(site.AccessLog().find("\" 206 "), std::string::npos) << site.AccessLog();

    // The proxy is on the way: with it gone, nothing arrives.
    ConnectionSettings settings = connections.GetSettings();
    settings.proxyPort = PeerTest::PickFreePort();
    connections.SetSettings(settings);
    SetRecord(L"VerCheckTime", 0);
    EXPECT_EQ(Codes(Check()), std::vector<int>{GUIMSG_UPDATE_CHECK_DONE});
    EXPECT_EQ(Record(L"VerCheckTime"), 0);
}

INSTANTIATE_TEST_SUITE_P(Proxies, UpdaterThroughProxy,
                         ::testing::Values("squid", "tinyproxy", "dante-socks5", "dante-socks4"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (c == '-') c = '_';
                             return name;
                         });

namespace {

// A server of the test that answers every request with the same bytes and closes.
class CannedServer {
public:
    CannedServer()
        : server([this](SOCKET s) {
              std::string request;
              char buffer[4096];
              while (request.find("\r\n\r\n") == std::string::npos) {
                  int got = recv(s, buffer, sizeof buffer, 0);
                  if (got <= 0) return;
                  request.append(buffer, size_t(got));
              }
              std::string reply;
              {
                  std::lock_guard<std::mutex> hold(lock);
                  requests.push_back(request);
                  reply = answer;
              }
              PeerTest::SendAllBytes(s, reply);
              // Held open until the client closes it, or the test ends.
              while (keepOpen) {
                  fd_set readable;
                  FD_ZERO(&readable);
                  FD_SET(s, &readable);
                  timeval wait = {0, 50000};
                  int ready = select(0, &readable, nullptr, nullptr, &wait);
                  if (server.IsStopping() || ready < 0) return;
                  if (ready > 0 && recv(s, buffer, sizeof buffer, 0) <= 0) return;
              }
          })
    {
    }

    void Answer(const std::string& bytes)
    {
        std::lock_guard<std::mutex> hold(lock);
        answer = bytes;
    }
    std::string LastRequest()
    {
        std::lock_guard<std::mutex> hold(lock);
        return requests.empty() ? std::string() : requests.back();
    }
    int Port() const { return server.Port(); }

    std::atomic<bool> keepOpen{false};

private:
    std::mutex lock;
    std::string answer;
    std::vector<std::string> requests;
    PeerTest::ScriptedServer server;
};

}  // namespace

// Answers no real server gives: the check and the download take only what they can trust.
TEST_F(UpdaterPeer, TheCheckTakesOnlyAWholeAnswerOfStatus200WithinItsLimit)
{
    CannedServer canned;
    PointAt(canned.Port(), canned.Port());
    std::string answer = std::to_string(kOwnBuild + 1) + " " + std::string(64, 'b');
    struct Case {
        std::string reply;
        bool offered;
    } cases[] = {
        {"HTTP/1.0 200 OK\r\n\r\n" + answer, true},
        {"HTTP/1.0 200 OK\r\nX-Pad: " + std::string(3900, 'x') + "\r\n\r\n" + answer, true},
        {"HTTP/1.0 200 OK\r\nX-Pad: " + std::string(4100, 'x') + "\r\n\r\n" + answer, false},
        {"HTTP/1.0 404 Not Found\r\n\r\n" + answer, false},
        {"HTTP/1.0 500 Error\r\n\r\n" + answer, false},
        {answer, false},
    };
    for (const Case& c : cases) {
        SetRecord(L"VerCheckTime", 0);
        canned.Answer(c.reply);
        std::vector<int> expected;
        if (c.offered) expected.push_back(GUIMSG_UPDATE_AVAILABLE);
        expected.push_back(GUIMSG_UPDATE_CHECK_DONE);
        EXPECT_EQ(Codes(Check()), expected) << c.reply.substr(0, 40);
    }
    std::string request = canned.LastRequest();
    EXPECT_EQ(request.rfind("GET /newpda_ppc.php?uuid=", 0), 0u) << request;
    EXPECT_NE(request.find(" HTTP/1.0\r\nAccept: */*\r\nUser-Agent: Mozilla/4.0 (compatible; zelpdappc" +
                           std::to_string(kOwnBuild) + "; Windows CE "),
              std::string::npos)
        << request;
    EXPECT_EQ(request.substr(request.size() - 21), "\r\nHost: 127.0.0.1\r\n\r\n") << request;
}

TEST_F(UpdaterPeer, ADownloadStoresNothingItCannotTrust)
{
    CannedServer canned;
    PointAt(site.Port(), canned.Port());
    const unsigned build = kOwnBuild + 1;
    std::string package = MakePackage(1000);
    site.Offer(build, package);
    ASSERT_EQ(Codes(Check()), (std::vector<int>{GUIMSG_UPDATE_AVAILABLE, GUIMSG_UPDATE_CHECK_DONE}));

    struct Case {
        std::string reply;
        bool stored;  // records and a file of the package's size
    } cases[] = {
        {"HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\n" + package, true},
        {"HTTP/1.0 200 OK\r\ncontent-length: 1000\r\n\r\n" + package + "trailing bytes past the size", true},
        {"HTTP/1.0 200 OK\r\n\r\n" + package, false},
        {"HTTP/1.0 200 OK\r\nContent-Length: 1000x\r\n\r\n" + package, false},
        {"HTTP/1.0 200 OK\r\nContent-Length: -1000\r\n\r\n" + package, false},
        {"HTTP/1.0 200 OK\r\nContent-Length: 67108865\r\n\r\n" + package, false},
        {"HTTP/1.0 200 OK\r\nX-Pad: " + std::string(9000, 'x') + "\r\nContent-Length: 1000\r\n\r\n" + package, false},
        {"HTTP/1.0 206 Partial Content\r\nContent-Range: bytes 0-999/1000\r\n\r\n" + package, false},
        {"HTTP/1.0 302 Found\r\nContent-Length: 1000\r\n\r\n" + package, false},
    };
    for (const Case& c : cases) {
        SetRecord(L"NewVersionNumber", 0);
        SetRecord(L"NewcabSize", 0);
        DeleteFileW(CabPath().c_str());
        canned.Answer(c.reply);
        std::vector<int> expected;
        if (c.stored) expected.push_back(GUIMSG_UPDATE_READY);
        expected.push_back(GUIMSG_UPDATE_DOWNLOAD_DONE);
        EXPECT_EQ(Codes(Download(build)), expected) << c.reply.substr(0, 60);
        EXPECT_EQ(Record(L"NewcabSize"), c.stored ? 1000 : 0) << c.reply.substr(0, 60);
        EXPECT_EQ(CabExists(), c.stored) << c.reply.substr(0, 60);
        if (c.stored) {
            EXPECT_EQ(Cab(), package);
        }
    }

    // A partial file resumes only from a range that starts where it ends.
    struct Resume {
        std::string reply;
        bool ready;
    } resumes[] = {
        {"HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 600-999/1000\r\n\r\n" + package.substr(600), true},
        {"HTTP/1.1 206 Partial Content\r\nCONTENT-RANGE: Bytes 600-999/1000\r\n\r\n" + package.substr(600) + "more", true},
        {"HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 0-999/1000\r\n\r\n" + package, false},
        {"HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 599-999/1000\r\n\r\n" + package.substr(599), false},
        {"HTTP/1.1 206 Partial Content\r\n\r\n" + package.substr(600), false},
        {"HTTP/1.1 416 Range Not Satisfiable\r\n\r\n", false},
    };
    for (const Resume& c : resumes) {
        SetRecord(L"NewVersionNumber", int(build));
        SetRecord(L"NewcabSize", 1000);
        folder.Write(L"zelpda.cab", package.substr(0, 600));
        canned.Answer(c.reply);
        std::vector<int> expected;
        if (c.ready) expected.push_back(GUIMSG_UPDATE_READY);
        expected.push_back(GUIMSG_UPDATE_DOWNLOAD_DONE);
        EXPECT_EQ(Codes(Download(build)), expected) << c.reply.substr(0, 60);
        EXPECT_NE(canned.LastRequest().find("\r\nRange: bytes=600-\r\n"), std::string::npos) << canned.LastRequest();
        EXPECT_EQ(Cab(), c.ready ? package : package.substr(0, 600)) << c.reply.substr(0, 60);
    }
}

// A server that keeps the connection after its answer: the answer is all that is needed.
TEST_F(UpdaterPeer, ATransactionEndsWithItsAnswerWhenTheServerKeepsTheConnection)
{
    CannedServer canned;
    canned.keepOpen = true;
    PointAt(canned.Port(), canned.Port());
    const unsigned build = kOwnBuild + 1;
    std::string package = MakePackage(3000);
    PackageDigest digest;
    Sha256(package.data(), package.size(), digest);

    canned.Answer("HTTP/1.0 200 OK\r\n\r\n" + std::to_string(build) + " " + Hex(digest));
    EXPECT_EQ(Codes(Check()), (std::vector<int>{GUIMSG_UPDATE_AVAILABLE, GUIMSG_UPDATE_CHECK_DONE}));
    canned.Answer("HTTP/1.0 200 OK\r\nContent-Length: 3000\r\n\r\n" + package);
    EXPECT_EQ(Codes(Download(build)), (std::vector<int>{GUIMSG_UPDATE_READY, GUIMSG_UPDATE_DOWNLOAD_DONE}));
    EXPECT_EQ(Cab(), package);

    // One that never answers keeps its check open, and the next trigger waits for it.
    canned.Answer("");
    SetRecord(L"VerCheckTime", 0);
    updater.StartUpdateCheck(guiQueue);
    updater.StartUpdateCheck(guiQueue);
    EXPECT_EQ(updater.OpenChecks(), 1u);
    updater.CloseUpdateChecks(nullptr);
    EXPECT_EQ(updater.OpenChecks(), 0u);
}

// The package is hashed as it is written: a download cut anywhere, and cut again while it resumes,
// still verifies, while bytes of the partial file changed on disk between two runs are refused.
TEST_F(UpdaterPeer, ADigestCarriedAcrossResumesVerifiesOnlyTheBytesOfThePackage)
{
    CannedServer canned;
    PointAt(site.Port(), canned.Port());
    const unsigned build = kOwnBuild + 1;
    const size_t size = 3 * CUpdateDownload::HeldBytes + 4321;
    std::string package = MakePackage(size);
    site.Offer(build, package);
    ASSERT_EQ(Codes(Check()), (std::vector<int>{GUIMSG_UPDATE_AVAILABLE, GUIMSG_UPDATE_CHECK_DONE}));

    const std::string length = std::to_string(size);
    auto whole = [&](size_t cut) {
        return "HTTP/1.0 200 OK\r\nContent-Length: " + length + "\r\n\r\n" + package.substr(0, cut);
    };
    auto range = [&](size_t from, size_t to, const std::string& body) {
        return "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(from) + "-" +
               std::to_string(size - 1) + "/" + length + "\r\n\r\n" + body.substr(from, to - from);
    };
    const std::vector<int> done = {GUIMSG_UPDATE_DOWNLOAD_DONE};
    const std::vector<int> ready = {GUIMSG_UPDATE_READY, GUIMSG_UPDATE_DOWNLOAD_DONE};

    struct Case {
        const char* name;
        size_t firstCut, secondCut;  // secondCut == size: the resume runs to the end
        size_t changedAt;            // a byte of the partial file changed before the last resume; SIZE_MAX: none
        bool ready;
    } cases[] = {
        {"cut after one byte", 1, size, SIZE_MAX, true},
        {"cut one short of a held block", CUpdateDownload::HeldBytes - 1, size, SIZE_MAX, true},
        {"cut at a held block's end", CUpdateDownload::HeldBytes, size, SIZE_MAX, true},
        {"cut one past a held block", CUpdateDownload::HeldBytes + 1, size, SIZE_MAX, true},
        {"cut one short of the end", size - 1, size, SIZE_MAX, true},
        {"cut twice", 70001, 2 * CUpdateDownload::HeldBytes + 17, SIZE_MAX, true},
        {"first byte changed on disk", 100000, size, 0, false},
        {"last kept byte changed on disk", 100000, size, 99999, false},
        {"byte of the first resume changed on disk", 70001, 150000, 120000, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetRecord(L"NewVersionNumber", 0);
        SetRecord(L"NewcabSize", 0);
        DeleteFileW(CabPath().c_str());

        canned.Answer(whole(c.firstCut));
        ASSERT_EQ(Codes(Download(build)), done);
        ASSERT_TRUE(Cab() == package.substr(0, c.firstCut));
        if (c.secondCut < size) {
            canned.Answer(range(c.firstCut, c.secondCut, package));
            ASSERT_EQ(Codes(Download(build)), done);
            ASSERT_TRUE(Cab() == package.substr(0, c.secondCut));
        }
        size_t kept = c.secondCut < size ? c.secondCut : c.firstCut;
        if (c.changedAt != SIZE_MAX) {
            std::string changed = Cab();
            changed[c.changedAt] ^= 0x01;
            folder.Write(L"zelpda.cab", changed);
        }
        canned.Answer(range(kept, size, package));
        EXPECT_EQ(Codes(Download(build)), c.ready ? ready : done);
        EXPECT_NE(canned.LastRequest().find("\r\nRange: bytes=" + std::to_string(kept) + "-\r\n"), std::string::npos)
            << canned.LastRequest();
        if (c.ready) {
            EXPECT_TRUE(Cab() == package);
            EXPECT_EQ(Record(L"NewVersionNumber"), int(build));
            EXPECT_EQ(Record(L"NewcabSize"), int(size));
            EXPECT_TRUE(updater.VerifyPackage(build));
        } else {
            // A package that cannot be the offered one goes with both records.
            EXPECT_FALSE(CabExists());
            EXPECT_EQ(Record(L"NewVersionNumber"), 0);
            EXPECT_EQ(Record(L"NewcabSize"), 0);
            EXPECT_FALSE(updater.VerifyPackage(build));
        }
    }

    // A resumed rest whose own bytes differ is refused as well.
    SetRecord(L"NewVersionNumber", int(build));
    SetRecord(L"NewcabSize", int(size));
    folder.Write(L"zelpda.cab", package.substr(0, 100000));
    std::string forged = package;
    forged[size - 1] ^= 0x01;
    canned.Answer(range(100000, size, forged));
    EXPECT_EQ(Codes(Download(build)), done);
    EXPECT_FALSE(CabExists());
    EXPECT_EQ(Record(L"NewcabSize"), 0);
}
