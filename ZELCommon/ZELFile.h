// CZELFile: one file opened, created or replaced once, with no sharing while it is open. Failures
// show only in the results; a failed open leaves no handle, so reads, writes and seeks then fail.
#pragma once

#include "ZELCommon/ZELCommonApi.h"
#include "ZELCommon/ZELString.h"

#include <windows.h>

class ZELCOMMON_API CZELFile {
public:
    // Any value but ModeWrite reads.
    enum Mode { ModeRead = 0, ModeWrite = 1 };
    // Any value but SeekCurrent and SeekEnd counts from the beginning.
    enum SeekType { SeekBegin = 0, SeekCurrent = 1, SeekEnd = 2 };

    // Touches no file.
    CZELFile(const CZELString& path, Mode mode);
    ~CZELFile();

    CZELFile(const CZELFile&) = delete;
    CZELFile& operator=(const CZELFile&) = delete;

    bool Open();     // an existing file
    bool Create();   // a new file; fails when one exists
    bool Replace();  // a new file, or an existing one cut to zero length

    // Up to n bytes; the count read, 0 on failure or at the end.
    int Read(unsigned char* buffer, int n);
    // True only when all n bytes were written (n = 0 on an open file is true).
    bool Write(const unsigned char* buffer, int n);
    bool Seek(SeekType type, int offset);
    // Size in bytes; 0 without an open file, 0xFFFFFFFF for files of 4 GB or more.
    unsigned Size();
    void Close();

private:
    bool OpenAs(DWORD disposition);
    bool IsOpen() const { return handle && handle != INVALID_HANDLE_VALUE; }

    HANDLE handle;  // 0 when closed; INVALID_HANDLE_VALUE after a failed open
    CZELString path;
    Mode mode;
};
