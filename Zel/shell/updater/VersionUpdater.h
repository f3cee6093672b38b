// CVersionUpdater: looks for a newer build once an account is online, downloads the package the
// user accepts (resuming a partial one) and checks it before the installer gets it. It lives on the
// user-interface thread: transactions are created and deleted here, and report through the queue
// "GUI" (GUIMSG_UPDATE_*), whose reports the main window hands back to CloseUpdateChecks,
// CloseUpdateDownload and NoteOffer.
#pragma once

#include "Zel/shell/updater/PackageDigest.h"
#include "Zel/shell/updater/UpdateTransaction.h"
#include "ZELCommon/ZELString.h"

#include <map>
#include <vector>

namespace Services {
class CServicesManager;
}
class CUpdateCheck;
class CUpdateDownload;

class CVersionUpdater {
public:
    // bus null: the process's bus; appFolder empty: the application's folder.
    explicit CVersionUpdater(Services::CServicesManager* bus = nullptr, const CZELString& appFolder = CZELString());
    ~CVersionUpdater();

    CVersionUpdater(const CVersionUpdater&) = delete;
    CVersionUpdater& operator=(const CVersionUpdater&) = delete;

    // Asks the version server, unless a check is still open. The first call of a run clears the
    // records and the package of a build this program has reached.
    void StartUpdateCheck(int guiQueue);
    // Downloads the package of an offered build, unless a download is current; a package already
    // whole is checked and reported ready at once.
    void StartUpdateDownload(int guiQueue, unsigned build);
    // Closes and deletes one check, or every check for null.
    void CloseUpdateChecks(void* check);
    void CloseUpdateDownload();
    // At exit: every transfer closed and freed.
    void CancelAll();

    // An offer (or a ready report) reached the user: its digest is what the package must match.
    void NoteOffer(unsigned build, const PackageDigest digest);
    // Right before the installer starts: whether the package file is the offered build's package
    // (never while a download may be writing it). A package that does not match is deleted with the
    // records.
    bool VerifyPackage(unsigned build);

    // The downloaded package: the application folder's "zelpda.cab".
    CZELString GetCabPath() const;

    size_t OpenChecks() const { return checks.size(); }
    bool HasDownload() const { return download != nullptr; }

private:
    UpdaterContext Context(int guiQueue) const;
    CUpdateRecords Records() const;

    Services::CServicesManager* bus;
    CZELString appFolder;
    std::vector<CUpdateCheck*> checks;
    CUpdateDownload* download = nullptr;
    bool checkedOnce = false;
    struct Digest {
        PackageDigest bytes;
    };
    std::map<unsigned, Digest> offers;
};
