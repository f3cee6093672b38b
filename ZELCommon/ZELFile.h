// CZELFile: one file opened, created or replaced once, with no sharing while it is open. Failures
// show in the results, and LastError keeps the platform's reason; a failed open leaves no handle, so
// reads, writes and seeks then fail.
#pragma once

#include "ZELCommon/ZELCommonApi.h"
#include "ZELCommon/ZELString.h"

#include <windows.h>

class ZELCOMMON_API CZELFile {
public:
    // Any value but ModeWrite and ModeReadWrite reads.
    enum Mode { ModeRead = 0, ModeWrite = 1, ModeReadWrite = 2 };
    // Any value but SeekCurrent and SeekEnd counts from the beginning.
    enum SeekType { SeekBegin = 0, SeekCurrent = 1, SeekEnd = 2 };

    // Touches no file.
    CZELFile(const CZELString& path, Mode mode);
    ~CZELFile();

    CZELFile(const CZELFile&) = delete;
    CZELFile& operator=(const CZELFile&) = delete;

    bool Open();          // an existing file
    bool Create();        // a new file; fails when one exists
    bool Replace();       // a new file, or an existing one cut to zero length
    bool OpenOrCreate();  // an existing file as it is, or a new one

    // Up to n bytes; the count read, 0 on failure or at the end (LastError tells them apart).
    int Read(unsigned char* buffer, int n);
    // True only when all n bytes were written (n = 0 on an open file is true).
    bool Write(const unsigned char* buffer, int n);
    bool Seek(SeekType type, int offset);
    // Size in bytes; 0 without an open file, 0xFFFFFFFF for files of 4 GB or more.
    unsigned Size();
    void Close();

    // Files of any size: the position counted from the beginning, and the whole size.
    bool SeekTo(unsigned long long offset);
    bool GetSize(unsigned long long& size);
    // Makes the current position the end of the file.
    bool Truncate();
    // Writes everything written so far through to the disk.
    bool Flush();
    // The platform's error code of the last operation that failed; 0 when the last one succeeded.
    DWORD LastError() const { return lastError; }

private:
    bool OpenAs(DWORD disposition);
    bool IsOpen() const { return handle && handle != INVALID_HANDLE_VALUE; }
    // Records the outcome of an operation for LastError; returns ok.
    bool Outcome(bool ok);

    HANDLE handle;  // 0 when closed; INVALID_HANDLE_VALUE after a failed open
    CZELString path;
    Mode mode;
    DWORD lastError;
};
