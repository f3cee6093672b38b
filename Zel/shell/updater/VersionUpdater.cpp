#include "Zel/shell/updater/VersionUpdater.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/shell/updater/UpdateCheck.h"
#include "Zel/shell/updater/UpdateDownload.h"
#include "Zel/shell/updater/UpdateReports.h"
#include "ZELCommon/ZELPath.h"
#include "ZELCommon/ZELSystemInfo.h"

#include <algorithm>
#include <cstring>

CVersionUpdater::CVersionUpdater(Services::CServicesManager* bus, const CZELString& appFolder)
    : bus(bus), appFolder(appFolder)
{
}

CVersionUpdater::~CVersionUpdater()
{
    CancelAll();
}

CZELString CVersionUpdater::GetCabPath() const
{
    return (appFolder.IsEmpty() ? CZELPath::AppDir() : appFolder) + L"zelpda.cab";
}

UpdaterContext CVersionUpdater::Context(int guiQueue) const
{
    UpdaterContext context;
    context.bus = bus ? bus : &TheBus();
    context.guiQueue = guiQueue;
    context.cabPath = GetCabPath();
    return context;
}

CUpdateRecords CVersionUpdater::Records() const
{
    Services::CServicesManager* services = bus ? bus : &TheBus();
    return CUpdateRecords(static_cast<CSettingsStore*>(services->GetService(GUID_SETTINGS_STORE)), GetCabPath());
}

void CVersionUpdater::StartUpdateCheck(int guiQueue)
{
    // Every account that comes online triggers a check; two at once could both offer.
    if (!checks.empty()) {
        if (!checks.front()->IsStale(GetTickCount64())) return;
        CloseUpdateChecks(nullptr);
    }
    if (!checkedOnce) {
        checkedOnce = true;
        CUpdateRecords records = Records();
        unsigned recorded = records.RecordedBuild();
        if (recorded != 0 && CZELSystemInfo::ZELVersion() >= recorded) records.Clear();
    }
    CUpdateCheck* check = new CUpdateCheck(Context(guiQueue));
    checks.push_back(check);
    if (!check->Start(GetUpdateEndpoints().version)) CloseUpdateChecks(check);
}

void CVersionUpdater::StartUpdateDownload(int guiQueue, unsigned build)
{
    auto offer = offers.find(build);
    if (download || offer == offers.end()) return;
    UpdaterContext context = Context(guiQueue);
    download = new CUpdateDownload(context, build, offer->second.bytes);
    if (download->ResumeOffset() < 0) {
        CloseUpdateDownload();
        if (FileMatchesDigest(context.cabPath, offer->second.bytes)) {
            context.bus->SendMessage(guiQueue, GUID_GUI, GUIMSG_UPDATE_READY, new CUpdateOffer(build, offer->second.bytes),
                                     nullptr, false);
            return;
        }
        // A whole file that is not the offered package: fetched again from the start.
        Records().Clear();
        download = new CUpdateDownload(context, build, offer->second.bytes);
    }
    if (!download->Start(GetUpdateEndpoints().download)) CloseUpdateDownload();
}

void CVersionUpdater::CloseUpdateChecks(void* check)
{
    for (auto it = checks.begin(); it != checks.end();) {
        if (check && *it != check) {
            ++it;
            continue;
        }
        CUpdateCheck* closing = *it;
        it = checks.erase(it);
        closing->Close();
        delete closing;
    }
    if (checks.empty()) checks.shrink_to_fit();
}

void CVersionUpdater::CloseUpdateDownload()
{
    CUpdateDownload* closing = download;
    download = nullptr;
    if (!closing) return;
    closing->Close();
    delete closing;
}

void CVersionUpdater::CancelAll()
{
    CloseUpdateChecks(nullptr);
    CloseUpdateDownload();
}

void CVersionUpdater::NoteOffer(unsigned build, const PackageDigest digest)
{
    memcpy(offers[build].bytes, digest, sizeof(PackageDigest));
}

bool CVersionUpdater::VerifyPackage(unsigned build)
{
    auto offer = offers.find(build);
    if (offer == offers.end() || download) return false;
    DigestCheck check = CheckFileDigest(GetCabPath(), offer->second.bytes);
    if (check == DigestDiffers) Records().Clear();
    return check == DigestMatches;
}
