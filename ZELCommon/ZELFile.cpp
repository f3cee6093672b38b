#include "ZELCommon/ZELFile.h"

CZELFile::CZELFile(const CZELString& path, Mode mode) : handle(nullptr), path(path), mode(mode) {}

CZELFile::~CZELFile()
{
    Close();
}

bool CZELFile::Open()
{
    return OpenAs(OPEN_EXISTING);
}

bool CZELFile::Create()
{
    return OpenAs(CREATE_NEW);
}

bool CZELFile::Replace()
{
    return OpenAs(CREATE_ALWAYS);
}

bool CZELFile::OpenAs(DWORD disposition)
{
    Close();  // a second open must not leak the first handle
    if (path.IsEmpty()) {
        handle = INVALID_HANDLE_VALUE;
        return false;
    }
    DWORD access = mode == ModeWrite ? GENERIC_WRITE : GENERIC_READ;
    handle = CreateFileW(path.GetBuffer(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    return handle != INVALID_HANDLE_VALUE;
}

int CZELFile::Read(unsigned char* buffer, int n)
{
    if (!IsOpen() || !buffer || n <= 0) return 0;
    DWORD done = 0;
    if (!ReadFile(handle, buffer, DWORD(n), &done, nullptr)) return 0;
    return int(done);
}

bool CZELFile::Write(const unsigned char* buffer, int n)
{
    if (!IsOpen() || n < 0 || (n > 0 && !buffer)) return false;
    DWORD done = 0;
    return WriteFile(handle, buffer, DWORD(n), &done, nullptr) && done == DWORD(n);
}

bool CZELFile::Seek(SeekType type, int offset)
{
    if (!IsOpen()) return false;
    DWORD origin = type == SeekCurrent ? FILE_CURRENT : type == SeekEnd ? FILE_END : FILE_BEGIN;
    return SetFilePointer(handle, offset, nullptr, origin) != INVALID_SET_FILE_POINTER;
}

unsigned CZELFile::Size()
{
    LARGE_INTEGER size;
    if (!IsOpen() || !GetFileSizeEx(handle, &size)) return 0;
    return size.QuadPart > 0xFFFFFFFFLL ? 0xFFFFFFFFu : unsigned(size.QuadPart);
}

void CZELFile::Close()
{
    // A failed open leaves INVALID_HANDLE_VALUE, which is no file: closing it would close the
    // pseudo-handle of the process instead.
    if (IsOpen()) CloseHandle(handle);
    handle = nullptr;
}
