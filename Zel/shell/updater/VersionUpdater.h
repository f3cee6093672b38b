// The version updater: asks the update service for a newer build once an account is online and
// downloads it. This build has no update service to ask: a check finds nothing and there is never a
// package to install, so the application's update messages never arrive.
#pragma once

#include "ZELCommon/ZELString.h"

class CVersionUpdater {
public:
    // The check step, reporting to the queue "GUI" (GUID_GUI messages 2 to 5).
    void StartCheck(int guiQueue) { ++checks; }
    void CloseUpdateChecks(void* check) {}
    void CloseUpdateDownload() {}
    // Carries on with a download the user accepted.
    void Continue(int guiQueue, void* object) {}
    // Cancels and frees every transfer.
    void CancelAll() {}
    // The downloaded package: the application folder's "zelpda.cab".
    CZELString GetCabPath() const;

    int checks = 0;
};
