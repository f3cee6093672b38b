// The updater's reports in the application: an offer reaches the notifier only with its package's
// digest, "OK" on a ready package hands its quoted path to the installer and closes the window,
// and a package that no longer matches is deleted instead.
// Winsock before windows.h, which the application brings; the web site needs it.
#include <winsock2.h>

#include "Zel/shell/tests/AppTestSupport.h"

#include "Zel/shell/tests/UpdaterTestSupport.h"
#include "Zel/shell/updater/PackageDigest.h"
#include "Zel/shell/updater/UpdateEndpoints.h"
#include "Zel/shell/updater/UpdateReports.h"
#include "Zel/shell/updater/VersionUpdater.h"
#include "Handheld/Shell.h"
#include "ZELCommon/ZELSystemInfo.h"

#include <string>
#include <vector>

using namespace AppTest;

namespace {

std::wstring BesideTheTests(const wchar_t* name)
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\') + 1) + name;
}

class UpdaterApp : public ::testing::Test {
protected:
    UpdaterApp() : folder(L"UpdaterAppTest") {}
    void SetUp() override
    {
        ZEL_REQUIRE_DISPLAY();
        run.reset(new AppRun(folder));
        ASSERT_TRUE(run->started);
        installerLog = folder.path + L"installer.log";
        SetEnvironmentVariableW(L"ZEL_TEST_INSTALLER_LOG", installerLog.c_str());
        SetCabInstaller(BesideTheTests(L"ZelTestInstaller.exe").c_str());
        ResetCabInstallerLog();
        package = std::string(40000, 'z');
        package[123] = 'q';
        folder.Write(L"zelpda.cab", package);
        ASSERT_TRUE(Sha256(package.data(), package.size(), digest));
    }
    void TearDown() override
    {
        ResetUpdateEndpoints();
        SetCabInstaller(nullptr);
        SetEnvironmentVariableW(L"ZEL_TEST_INSTALLER_LOG", nullptr);
    }

    CApplication& App() { return run->App(); }
    // The update offers the notifier holds, oldest first.
    std::vector<NotificationEntry> Offers()
    {
        std::vector<NotificationEntry> offers;
        const CZELArray<NotificationEntry>& entries = App().Resources()->Notifier().Entries();
        for (int i = 0; i < entries.GetCount(); ++i)
            if (entries[i].kind == NK_UPDATE_AVAILABLE || entries[i].kind == NK_UPDATE_READY) offers.push_back(entries[i]);
        return offers;
    }
    size_t UpdateRequests() { return Offers().size(); }
    // The command line the installer was started with, once it has written it.
    std::wstring InstallerLine()
    {
        std::string bytes;
        PumpUntil([&] { return !(bytes = TestSupport::TempFolder::Read(installerLog)).empty(); });
        return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    }
    std::wstring QuotedCab() { return L"\"" + folder.path + L"zelpda.cab\""; }
    static bool EndsWith(const std::wstring& text, const std::wstring& end)
    {
        return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
    }
    void ReportToGui(int code, CRefObject* p1) { run->bus.SendMessage(App().GuiQueue(), GUID_GUI, code, p1, nullptr, false); }

    AppFolder folder;
    std::unique_ptr<AppRun> run;
    std::wstring installerLog;
    std::string package;
    PackageDigest digest;
    const unsigned build = CZELSystemInfo::ZELVersion() + 1;
};

}  // namespace

TEST_F(UpdaterApp, AReadyPackageThatMatchesGoesToTheInstallerAndTheWindowCloses)
{
    ReportToGui(GUIMSG_UPDATE_READY, new CUpdateOffer(build, digest));
    ASSERT_TRUE(PumpUntil([&] { return UpdateRequests() == 1; }));
    const NotificationEntry request = Offers().back();
    EXPECT_EQ(request.item, int(build));
    EXPECT_EQ(request.kind, int(NK_UPDATE_READY));

    HWND window = run->Window();
    App().OnUpdateReady(int(build), false);
    EXPECT_EQ(GetCabInstallerLog(nullptr, 0), 1);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(window); }));
    std::wstring line = InstallerLine();
    EXPECT_TRUE(EndsWith(line, QuotedCab())) << line;
}

TEST_F(UpdaterApp, APackageChangedSinceItWasReadyIsDeletedNotInstalled)
{
    ReportToGui(GUIMSG_UPDATE_READY, new CUpdateOffer(build, digest));
    ASSERT_TRUE(PumpUntil([&] { return UpdateRequests() == 1; }));
    package[20000] ^= 1;
    folder.Write(L"zelpda.cab", package);

    App().OnUpdateReady(int(build), false);
    PumpFor(200);
    EXPECT_EQ(GetCabInstallerLog(nullptr, 0), 0);
    EXPECT_TRUE(IsWindow(run->Window()));
    EXPECT_FALSE(TestSupport::FileExists(folder.path + L"zelpda.cab"));
    EXPECT_FALSE(TestSupport::FileExists(installerLog));
}

TEST_F(UpdaterApp, AnOfferWithoutItsDigestIsNotShown)
{
    ReportToGui(GUIMSG_UPDATE_AVAILABLE, NewValue(intptr_t(build)));
    ReportToGui(GUIMSG_UPDATE_READY, NewValue(intptr_t(build)));
    ReportToGui(GUIMSG_UPDATE_AVAILABLE, new CUpdateOffer(build + 1, digest));
    ASSERT_TRUE(PumpUntil([&] { return UpdateRequests() == 1; }));
    PumpFor(100);
    EXPECT_EQ(UpdateRequests(), 1u);
    EXPECT_EQ(Offers().back().item, int(build + 1));
    // The install of a build never offered with a digest is refused.
    App().OnUpdateReady(int(build), false);
    EXPECT_EQ(GetCabInstallerLog(nullptr, 0), 0);
    EXPECT_TRUE(IsWindow(run->Window()));
}

// The whole road against nginx: an account online asks, the offer is accepted, the package comes,
// is verified and offered for install, and "OK" hands it to the installer.
TEST_F(UpdaterApp, FromTheOfferThroughTheDownloadToTheInstaller)
{
    UpdaterTest::WebSite site;
    ASSERT_TRUE(site.Start()) << site.nginx.Failure();
    std::string served = UpdaterTest::MakePackage(150000);
    site.Offer(build, served);
    UpdateEndpoints endpoints;
    endpoints.version.host = endpoints.download.host = CZELString(L"127.0.0.1");
    endpoints.version.port = endpoints.download.port = site.Port();
    SetUpdateEndpoints(endpoints);
    DeleteFileW((folder.path + L"zelpda.cab").c_str());

    PostMessageW(run->Window(), CApplicationBase::WM_APP_UPDATE_CHECK, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return UpdateRequests() == 1 && App().Updater().OpenChecks() == 0; }));
    EXPECT_EQ(Offers().back().kind, int(NK_UPDATE_AVAILABLE));
    EXPECT_EQ(Offers().back().item, int(build));

    App().OnUpdateReady(int(build), true);
    ASSERT_TRUE(PumpUntil([&] { return UpdateRequests() == 2 && !App().Updater().HasDownload(); }));
    EXPECT_EQ(Offers().back().kind, int(NK_UPDATE_READY));
    EXPECT_EQ(TestSupport::TempFolder::Read(folder.path + L"zelpda.cab"), served);

    HWND window = run->Window();
    App().OnUpdateReady(int(build), false);
    EXPECT_EQ(GetCabInstallerLog(nullptr, 0), 1);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(window); }));
    std::wstring line = InstallerLine();
    EXPECT_TRUE(EndsWith(line, QuotedCab())) << line;
}
