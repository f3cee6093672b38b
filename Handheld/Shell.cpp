#include "Handheld/Shell.h"

#include <shellapi.h>

#include <string>

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

namespace {

const wchar_t kDeviceInstaller[] = L"\\windows\\wceload.exe";

SRWLOCK g_installerLock = SRWLOCK_INIT;
std::wstring g_installer = kDeviceInstaller;
std::wstring g_lastCab;
int g_installs = 0;

}  // namespace

BOOL StartCabInstaller(LPCWSTR cabPath)
{
    if (!cabPath || !*cabPath) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    AcquireSRWLockExclusive(&g_installerLock);
    ++g_installs;
    g_lastCab = cabPath;
    std::wstring installer = g_installer;
    ReleaseSRWLockExclusive(&g_installerLock);

    std::wstring parameters = L"\"" + std::wstring(cabPath) + L"\"";
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpFile = installer.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_MAXIMIZE;
    if (!ShellExecuteExW(&info)) return FALSE;
    if (info.hProcess) CloseHandle(info.hProcess);
    return TRUE;
}

void SetCabInstaller(LPCWSTR program)
{
    AcquireSRWLockExclusive(&g_installerLock);
    g_installer = program ? program : kDeviceInstaller;
    ReleaseSRWLockExclusive(&g_installerLock);
}

int GetCabInstallerLog(LPWSTR lastCab, DWORD size)
{
    AcquireSRWLockShared(&g_installerLock);
    if (lastCab && size > 0) {
        size_t count = g_lastCab.size() < size - 1 ? g_lastCab.size() : size - 1;
        g_lastCab.copy(lastCab, count);
        lastCab[count] = 0;
    }
    int installs = g_installs;
    ReleaseSRWLockShared(&g_installerLock);
    return installs;
}

void ResetCabInstallerLog(void)
{
    AcquireSRWLockExclusive(&g_installerLock);
    g_installs = 0;
    g_lastCab.clear();
    ReleaseSRWLockExclusive(&g_installerLock);
}
