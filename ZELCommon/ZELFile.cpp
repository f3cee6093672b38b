#include "ZELCommon/ZELFile.h"

CZELFile::CZELFile(const CZELString& path, Mode mode) : handle(nullptr), path(path), mode(mode), lastError(0) {}

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

bool CZELFile::OpenOrCreate()
{
    return OpenAs(OPEN_ALWAYS);
}

bool CZELFile::Outcome(bool ok)
{
    lastError = ok ? 0 : GetLastError();
    // A failure the platform gave no reason for still reads as a failure.
    if (!ok && lastError == 0) lastError = ERROR_GEN_FAILURE;
    return ok;
}

bool CZELFile::OpenAs(DWORD disposition)
{
    Close();  // a second open must not leak the first handle
    if (path.IsEmpty()) {
        handle = INVALID_HANDLE_VALUE;
        lastError = ERROR_INVALID_NAME;
        return false;
    }
    DWORD access = mode == ModeWrite ? GENERIC_WRITE : mode == ModeReadWrite ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
    handle = CreateFileW(path.GetBuffer(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    return Outcome(handle != INVALID_HANDLE_VALUE);
}

int CZELFile::Read(unsigned char* buffer, int n)
{
    if (!IsOpen() || !buffer || n <= 0) {
        lastError = ERROR_INVALID_PARAMETER;
        return 0;
    }
    DWORD done = 0;
    if (!Outcome(ReadFile(handle, buffer, DWORD(n), &done, nullptr))) return 0;
    return int(done);
}

bool CZELFile::Write(const unsigned char* buffer, int n)
{
    if (!IsOpen() || n < 0 || (n > 0 && !buffer)) {
        lastError = ERROR_INVALID_PARAMETER;
        return false;
    }
    DWORD done = 0;
    if (!Outcome(WriteFile(handle, buffer, DWORD(n), &done, nullptr))) return false;
    if (done != DWORD(n)) lastError = ERROR_HANDLE_DISK_FULL;
    return done == DWORD(n);
}

bool CZELFile::Seek(SeekType type, int offset)
{
    if (!IsOpen()) {
        lastError = ERROR_INVALID_HANDLE;
        return false;
    }
    DWORD origin = type == SeekCurrent ? FILE_CURRENT : type == SeekEnd ? FILE_END : FILE_BEGIN;
    return Outcome(SetFilePointer(handle, offset, nullptr, origin) != INVALID_SET_FILE_POINTER);
}

bool CZELFile::SeekTo(unsigned long long offset)
{
    if (!IsOpen() || offset > 0x7FFFFFFFFFFFFFFFull) {
        lastError = IsOpen() ? ERROR_NEGATIVE_SEEK : ERROR_INVALID_HANDLE;
        return false;
    }
    LARGE_INTEGER position;
    position.QuadPart = LONGLONG(offset);
    return Outcome(SetFilePointerEx(handle, position, nullptr, FILE_BEGIN));
}

unsigned CZELFile::Size()
{
    unsigned long long size = 0;
    if (!GetSize(size)) return 0;
    return size > 0xFFFFFFFFull ? 0xFFFFFFFFu : unsigned(size);
}

bool CZELFile::GetSize(unsigned long long& size)
{
    LARGE_INTEGER value;
    if (!IsOpen()) {
        lastError = ERROR_INVALID_HANDLE;
        return false;
    }
    if (!Outcome(GetFileSizeEx(handle, &value))) return false;
    size = (unsigned long long)value.QuadPart;
    return true;
}

bool CZELFile::Truncate()
{
    if (!IsOpen()) {
        lastError = ERROR_INVALID_HANDLE;
        return false;
    }
    return Outcome(SetEndOfFile(handle));
}

bool CZELFile::Flush()
{
    if (!IsOpen()) {
        lastError = ERROR_INVALID_HANDLE;
        return false;
    }
    return Outcome(FlushFileBuffers(handle));
}

void CZELFile::Close()
{
    // A failed open leaves INVALID_HANDLE_VALUE, which is no file: closing it would close the
    // pseudo-handle of the process instead.
    if (IsOpen()) CloseHandle(handle);
    handle = nullptr;
}
