#include "ZELCommon/ZELPath.h"

#include <cstdarg>
#include <cwchar>
#include <vector>

namespace {

// Filled by the first call that succeeds; the lock guards the shared record while it is read or set.
SRWLOCK appDirLock = SRWLOCK_INIT;
CZELString appDir;

// Up to the platform's longest path: a deep folder does not fit the classic limit, and the
// platform cuts the name short rather than fail, so the buffer grows until the name fits.
CZELString ReadAppDir()
{
    const DWORD longest = 32768;
    for (DWORD size = 256; size <= longest; size *= 2) {
        std::vector<wchar_t> buffer(size);
        DWORD length = GetModuleFileNameW(nullptr, buffer.data(), size);
        if (length == 0) return CZELString();
        if (length >= size) continue;  // cut short
        const wchar_t* slash = wcsrchr(buffer.data(), L'\\');
        return CZELString(buffer.data(), slash ? int(slash - buffer.data()) + 1 : int(length));
    }
    return CZELString();
}

// Appends a zero-terminated piece at out[length]; false when it would not fit with its zero.
bool Append(wchar_t* out, int& length, const wchar_t* piece)
{
    size_t n = wcslen(piece);
    if (n >= size_t(CZELPath::MaxPath - length)) return false;
    wmemcpy(out + length, piece, n);
    length += int(n);
    return true;
}

}  // namespace

CZELString CZELPath::AppDir()
{
    AcquireSRWLockShared(&appDirLock);
    CZELString copy = appDir;
    ReleaseSRWLockShared(&appDirLock);
    if (!copy.IsEmpty()) return copy;
    // Read outside the lock (the platform call takes the loader's own lock); threads that race
    // here compute the same text, and the first one to finish fills the cache.
    copy = ReadAppDir();
    AcquireSRWLockExclusive(&appDirLock);
    if (appDir.IsEmpty()) appDir = copy;
    ReleaseSRWLockExclusive(&appDirLock);
    return copy;
}

CZELString CZELPath::GetProtosDir()
{
    return AppDir() + ProtosDir();
}

CZELString CZELPath::GetHistDir()
{
    return AppDir() + HistDir();
}

CZELString CZELPath::GetProtoDir(const wchar_t* name, int length)
{
    return GetProtosDir() + CZELString(name, length < 0 ? -1 : length) + Sep();
}

int CZELPath::Path(wchar_t* out, const wchar_t* first, ...)
{
    if (!out) return 0;
    CZELString dir = AppDir();
    int length = 0;
    bool fits = !dir.IsEmpty() ? Append(out, length, dir.GetBuffer()) : true;
    va_list pieces;
    va_start(pieces, first);
    for (const wchar_t* piece = first; piece && fits; piece = va_arg(pieces, const wchar_t*))
        fits = Append(out, length, piece);
    va_end(pieces);
    if (!fits) length = 0;
    out[length] = 0;
    return length;
}
