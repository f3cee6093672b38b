#include "Handheld/Shell.h"

#include <shellapi.h>

#include <string>

namespace {

SRWLOCK g_lock = SRWLOCK_INIT;
ShellOpenInterceptor g_interceptor = nullptr;
void* g_context = nullptr;

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

bool IsControl(wchar_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// Whether text starts with prefix (lower-case ASCII), letters compared without case.
bool StartsWith(const std::wstring& text, const wchar_t* prefix)
{
    size_t i = 0;
    for (; prefix[i]; ++i) {
        if (i >= text.size()) return false;
        wchar_t c = text[i];
        if (c >= L'A' && c <= L'Z') c = wchar_t(c - L'A' + L'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

// Links come from received messages: only web and mail addresses may be opened, never a file, a
// network share or a program, which the shell would start just the same. The address is trimmed
// of the blanks around it; one with a control character inside is refused whole.
bool OpenableAddress(LPCWSTR address, std::wstring* out)
{
    std::wstring text(address);
    size_t first = 0, end = text.size();
    while (first < end && IsBlank(text[first])) ++first;
    while (end > first && IsBlank(text[end - 1])) --end;
    text = text.substr(first, end - first);
    for (wchar_t c : text)
        if (IsControl(c)) return false;
    static const wchar_t* const kSchemes[] = {L"http://", L"https://", L"mailto:"};
    for (const wchar_t* scheme : kSchemes) {
        if (StartsWith(text, scheme) && text.size() > wcslen(scheme)) {
            *out = text;
            return true;
        }
    }
    return false;
}

}  // namespace

BOOL ShellOpenAddress(LPCWSTR address)
{
    std::wstring openable;
    if (!address || !OpenableAddress(address, &openable)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    AcquireSRWLockShared(&g_lock);
    ShellOpenInterceptor interceptor = g_interceptor;
    void* context = g_context;
    ReleaseSRWLockShared(&g_lock);
    if (interceptor) return interceptor(openable.c_str(), context);

    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpFile = openable.c_str();  // no verb: the default action of the address
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
