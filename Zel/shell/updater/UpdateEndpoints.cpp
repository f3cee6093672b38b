#include "Zel/shell/updater/UpdateEndpoints.h"

#include <windows.h>

namespace {

// Reserved names that never resolve: this build is not tied to any update service, so a check
// fails quietly until a deployment sets its servers here.
UpdateEndpoints Defaults()
{
    UpdateEndpoints endpoints;
    endpoints.version.host = CZELString(L"version.update.invalid");
    endpoints.download.host = CZELString(L"download.update.invalid");
    return endpoints;
}

SRWLOCK g_lock = SRWLOCK_INIT;

UpdateEndpoints& Current()
{
    static UpdateEndpoints endpoints = Defaults();
    return endpoints;
}

}  // namespace

UpdateEndpoints GetUpdateEndpoints()
{
    AcquireSRWLockShared(&g_lock);
    UpdateEndpoints copy = Current();
    ReleaseSRWLockShared(&g_lock);
    return copy;
}

void SetUpdateEndpoints(const UpdateEndpoints& endpoints)
{
    AcquireSRWLockExclusive(&g_lock);
    Current() = endpoints;
    ReleaseSRWLockExclusive(&g_lock);
}

void ResetUpdateEndpoints()
{
    SetUpdateEndpoints(Defaults());
}
