#include "Handheld/Shell.h"

#include <shellapi.h>

namespace {

SRWLOCK g_lock = SRWLOCK_INIT;
ShellOpenInterceptor g_interceptor = nullptr;
void* g_context = nullptr;

}  // namespace

BOOL ShellOpenAddress(LPCWSTR address)
{
    // An empty file name would make the shell open its current folder instead of a link.
    if (!address || !*address) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    AcquireSRWLockShared(&g_lock);
    ShellOpenInterceptor interceptor = g_interceptor;
    void* context = g_context;
    ReleaseSRWLockShared(&g_lock);
    if (interceptor) return interceptor(address, context);

    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpFile = address;  // no verb: the default action of the address
    info.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&info);
}

void SetShellOpenInterceptor(ShellOpenInterceptor interceptor, void* context)
{
    AcquireSRWLockExclusive(&g_lock);
    g_interceptor = interceptor;
    g_context = context;
    ReleaseSRWLockExclusive(&g_lock);
}
