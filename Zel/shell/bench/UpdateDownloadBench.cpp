// A 32 MB package fetched from nginx on 127.0.0.1 by the updater's download (connection service,
// its queue, the package file, the digest computed as it is written) beside a plain Winsock read of the same file from
// the same server to disk, in one run; each the best of three.
#include <winsock2.h>

#include "Zel/shell/bench/ShellBenchmarks.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/settings/SettingsStore.h"
#include "Zel/net/ConnectionManager.h"
#include "Zel/shell/tests/UpdaterTestSupport.h"
#include "Zel/shell/updater/UpdateEndpoints.h"
#include "Zel/shell/updater/UpdateReports.h"
#include "Zel/shell/updater/VersionUpdater.h"
#include "ZELCommon/ZELSystemInfo.h"
#include "ZELCommon/tests/TempFolder.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>

namespace {

const size_t kPackageBytes = 32u * 1024 * 1024;

// The queue "GUI": notes when the download has ended.
class DoneWatcher : public QueueReceiver {
public:
    int HandleMessage(const ZEL_GUID& msgClass, int code, CRefObject*, CRefObject*) override
    {
        if (msgClass == GUID_GUI && code == GUIMSG_UPDATE_READY) ready = true;
        if (msgClass == GUID_GUI && code == GUIMSG_UPDATE_DOWNLOAD_DONE) done = true;
        return 0;
    }
    std::atomic<bool> ready{false}, done{false};
};

// The plain read: one request, the answer's body written to path as it comes.
bool PlainDownload(int port, const std::string& request, const std::wstring& path, size_t& body)
{
    SOCKET s = PeerTest::ConnectLoopback(port);
    if (s == INVALID_SOCKET) return false;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    PeerTest::SendAllBytes(s, request);
    std::string header;
    bool inBody = false;
    body = 0;
    static char buffer[65536];
    for (;;) {
        int got = recv(s, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        const char* at = buffer;
        size_t count = size_t(got);
        if (!inBody) {
            header.append(buffer, count);
            size_t end = header.find("\r\n\r\n");
            if (end == std::string::npos) continue;
            inBody = true;
            at = header.data() + end + 4;
            count = header.size() - end - 4;
        }
        DWORD written = 0;
        WriteFile(file, at, DWORD(count), &written, nullptr);
        body += count;
    }
    CloseHandle(file);
    closesocket(s);
    return true;
}

}  // namespace

void RunUpdateDownloadBenchmark()
{
    UpdaterTest::WebSite site;
    if (!site.Start()) {
        printf("update download: nginx did not start: %s\n", site.nginx.Failure().c_str());
        return;
    }
    const unsigned build = CZELSystemInfo::ZELVersion() + 1;
    std::string package = UpdaterTest::MakePackage(kPackageBytes);
    site.Offer(build, package);
    PackageDigest digest;
    Sha256(package.data(), package.size(), digest);

    TestSupport::TempFolder folder(L"ZelUpdateBench");
    Services::CServicesManager bus;
    CSettingsStore store(&bus, folder.File(L"settings.zel"));
    CConnectionManager connections(bus);
    DoneWatcher watcher;
    int gui = bus.CreateQueue(&watcher, CZELString(L"GUI"));
    CVersionUpdater updater(&bus, folder.Path());
    updater.NoteOffer(build, digest);
    UpdateEndpoints endpoints;
    endpoints.version.host = endpoints.download.host = CZELString(L"127.0.0.1");
    endpoints.version.port = endpoints.download.port = site.Port();
    SetUpdateEndpoints(endpoints);

    std::string request = "GET /pda/zelpda" + std::to_string(build) + ".cab HTTP/1.0\r\nAccept: */*\r\nHost: 127.0.0.1\r\n\r\n";
    double plainBest = 1e9, oursBest = 1e9;
    bool allReady = true;
    for (int round = 0; round < 3; ++round) {
        size_t body = 0;
        double start = BenchSeconds();
        if (!PlainDownload(site.Port(), request, folder.path + L"plain.cab", body) || body != kPackageBytes) {
            printf("update download: the plain read got %zu bytes\n", body);
            return;
        }
        double plain = BenchSeconds() - start;
        if (plain < plainBest) plainBest = plain;

        int zero = 0;
        store.SetInt(ZEL_GUID_NULL, CZELString(L"NewVersionNumber"), &zero);
        DeleteFileW((folder.path + L"zelpda.cab").c_str());
        watcher.ready = watcher.done = false;
        start = BenchSeconds();
        updater.StartUpdateDownload(gui, build);
        while (!watcher.done) Sleep(1);
        double ours = BenchSeconds() - start;
        updater.CloseUpdateDownload();
        allReady = allReady && watcher.ready;
        if (ours < oursBest) oursBest = ours;
    }
    ResetUpdateEndpoints();
    bus.DestroyQueue(gui);

    double mb = double(kPackageBytes) / (1024 * 1024);
    printf("update download, 32 MB from nginx on 127.0.0.1 (best of 3):\n");
    printf("  plain Winsock read to disk:        %7.1f ms, %6.1f MB/s\n", plainBest * 1000, mb / plainBest);
    printf("  the updater's download, verified:  %7.1f ms, %6.1f MB/s%s\n", oursBest * 1000, mb / oursBest,
           allReady ? "" : " (NOT reported ready)");
    printf("  speed of the updater / plain read: %.2fx\n", plainBest / oursBest);
    // The download hashes every byte on its queue's thread: the digest alone bounds the figure.
    double hashBest = 1e9;
    for (int round = 0; round < 3; ++round) {
        double start = BenchSeconds();
        Sha256(package.data(), package.size(), digest);
        hashBest = std::min(hashBest, BenchSeconds() - start);
    }
    printf("  the SHA-256 alone, 32 MB in memory: %7.1f ms, %6.1f MB/s\n", hashBest * 1000, mb / hashBest);
}
