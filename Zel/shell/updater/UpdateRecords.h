// The updater's records in the settings store (section GUID_NULL): when the service's answer was
// last taken, and which package download was started and how big it is; together with the package
// file they tell whether a download can resume or is complete.
#pragma once

#include "ZELCommon/ZELString.h"

class CSettingsStore;

class CUpdateRecords {
public:
    // store may be null: then nothing is recorded and nothing is due.
    CUpdateRecords(CSettingsStore* store, const CZELString& cabPath) : store(store), cabPath(cabPath) {}

    // "VerCheckTime" (0 when absent) is before today's local midnight.
    bool IsUpdateCheckDue() const;
    void MarkChecked(unsigned unixTime);

    // Both records are there, the recorded build is at least build, and the package file's size is
    // the recorded size.
    bool IsDownloadComplete(unsigned build) const;

    // Where a download of build starts: 0 from the beginning, -1 when the recorded package is
    // already whole, otherwise the partial file's size, with expectedSize the recorded size. A
    // partial file of another build or longer than the recorded size is deleted.
    long long GetResumeOffset(unsigned build, unsigned& expectedSize) const;

    // A download of build whose whole package has size bytes has begun.
    void Record(unsigned build, unsigned size);
    // The recorded build (0 for none).
    unsigned RecordedBuild() const;
    // Deletes the package file and stores 0 in both records.
    void Clear();

    const CZELString& CabPath() const { return cabPath; }

private:
    bool Read(const wchar_t* key, unsigned& value) const;

    CSettingsStore* store;
    CZELString cabPath;
};
