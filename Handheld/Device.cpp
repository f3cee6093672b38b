#include "Handheld/Device.h"

#include <string>

namespace {

// Set from any thread (tests, the program) while others read it.
SRWLOCK g_lock = SRWLOCK_INIT;
std::wstring g_cellularSerial;
std::wstring g_oemInfo;

void Store(std::wstring& target, LPCWSTR text)
{
    std::wstring value = text ? text : L"";
    AcquireSRWLockExclusive(&g_lock);
    target.swap(value);
    ReleaseSRWLockExclusive(&g_lock);
}

// Copies what fits of source (with a zero) and returns its full length.
size_t CopyOut(const std::wstring& source, LPWSTR buffer, size_t size)
{
    AcquireSRWLockShared(&g_lock);
    size_t length = source.size();
    if (buffer && size > 0) {
        size_t count = length < size - 1 ? length : size - 1;
        source.copy(buffer, count);
        buffer[count] = L'\0';
    }
    ReleaseSRWLockShared(&g_lock);
    return length;
}

}  // namespace

DWORD GetCellularLineSerial(LPWSTR buffer, DWORD size)
{
    size_t length = CopyOut(g_cellularSerial, buffer, size);
    return length > MAXDWORD ? MAXDWORD : DWORD(length);
}

void SetCellularLineSerial(LPCWSTR serial)
{
    Store(g_cellularSerial, serial);
}

BOOL GetOemInfoText(LPWSTR buffer, UINT size)
{
    if (!buffer || size == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    CopyOut(g_oemInfo, buffer, size);
    return TRUE;
}

void SetOemInfoText(LPCWSTR text)
{
    Store(g_oemInfo, text);
}

namespace {

volatile LONG g_screenDpi = 0;

}  // namespace

int GetScreenLogPixels(int axis)
{
    LONG configured = InterlockedCompareExchange(&g_screenDpi, 0, 0);
    if (configured > 0) return int(configured);
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, axis == LOGPIXELSX ? LOGPIXELSX : LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

void SetScreenLogPixels(int dpi)
{
    InterlockedExchange(&g_screenDpi, dpi > 0 ? dpi : 0);
}
