// The history file operations over an open file: append one record, load all records or the last
// few. They work on IHistoryStream, so the tests can run them over memory and make any write fail.
//
// What the loaders show: every record from the start as long as each is whole and readable; and,
// when that leaves bytes behind or passes a record not exactly as Append writes it (whose length
// may be damaged and hide the records after it), also the records found from the end of the file.
// So whatever damage lies in a file, its last whole record, the latest message, is always shown.
// The header's count is not trusted for this: a file may hold more or fewer records than it says.
//
// Keeping the file whole, so that a message Append reports saved is always shown:
// - The header is trusted when the records it counts end exactly at the end of the file and the
//   last of them is a whole record carrying the header's last number; the record then goes at the
//   end. Otherwise (a file cut short or padded, a damaged count or length, a header left behind by an
//   append that failed) Append first repairs it: the header counts what the loaders show, with the
//   highest message number among them, and bytes after the last whole record (the remains of a
//   record cut short, padding, garbage) are added to a file beside it (AsidePath) before the new
//   record takes their place. Nothing is dropped: every byte stays in the file or goes beside it.
// - The record is written and flushed before the header counts it; when a write fails the old
//   header, the bytes set aside and the old length are put back, so a failed append leaves the file
//   as it was.
// - Every count and length read from the file is bounded by the file's size before it is used.
//
// LoadLast finds the last records from the end of the file when the header fits it, so it reads
// about as much as it returns; otherwise it reads as above.
#pragma once

#include "Zel/core/history/HistoryFileFormat.h"
#include "ZELCommon/ZELFile.h"
#include "ZELCommon/ZELString.h"

#include <cstddef>
#include <memory>
#include <vector>

class IHistoryStream {
public:
    virtual ~IHistoryStream() {}
    // False when the size cannot be had.
    virtual bool Size(unsigned long long& size) = 0;
    // Up to n bytes from offset; the count read (short at the end of the file or on failure).
    virtual size_t ReadAt(unsigned long long offset, unsigned char* buffer, size_t n) = 0;
    // True only when all n bytes were written.
    virtual bool WriteAt(unsigned long long offset, const unsigned char* buffer, size_t n) = 0;
    // Makes size the end of the file.
    virtual bool Truncate(unsigned long long size) = 0;
    // To the disk.
    virtual bool Flush() = 0;
    // Adds n bytes, flushed, to the file kept beside this one for bytes taken out of it.
    virtual bool KeepAside(const unsigned char* bytes, size_t n) = 0;
};

// A history file opened with no sharing for the time of one operation.
class CHistoryFileStream : public IHistoryStream {
public:
    enum Mode { OpenExisting, OpenOrCreate };

    CHistoryFileStream() = default;
    ~CHistoryFileStream() override { Close(); }
    CHistoryFileStream(const CHistoryFileStream&) = delete;
    CHistoryFileStream& operator=(const CHistoryFileStream&) = delete;

    // OpenExisting reads; OpenOrCreate reads and writes.
    bool Open(const CZELString& path, Mode mode);
    void Close();

    bool Size(unsigned long long& size) override;
    size_t ReadAt(unsigned long long offset, unsigned char* buffer, size_t n) override;
    bool WriteAt(unsigned long long offset, const unsigned char* buffer, size_t n) override;
    bool Truncate(unsigned long long size) override;
    bool Flush() override;
    // Into the file at AsidePath.
    bool KeepAside(const unsigned char* bytes, size_t n) override;

    // Where the bytes taken out of the history file at path are kept: its name and ".damaged".
    static CZELString AsidePath(const CZELString& path);

private:
    CZELString path;
    std::unique_ptr<CZELFile> file;  // null when closed
};

namespace HistoryStore {

// What a new file's header holds about the contact.
struct ContactStrings {
    CZELString contactName;  // "Account name"
    CZELString alias;        // "CL Alias"
};

// Appends one record (its number = the file's last message number + 1; record.number is ignored).
// A new file's header takes the contact's strings. HistoryOk, HistoryCannotOpen (another contact's
// file), HistoryBadHeader, HistoryBadVersion (the file is left untouched) or HistoryRecordError (a
// read or write failed; the file is as it was).
int Append(IHistoryStream& stream, const ContactStrings& contact, const HistoryRecord& record);

// Every record (count = AllRecords) or the last count records, oldest first, appended to out: what
// the file shows as described above. HistoryOk (also when damage kept some records back),
// HistoryCannotOpen (another contact's file), HistoryBadHeader or HistoryBadVersion.
const unsigned AllRecords = 0xFFFFFFFFu;
int Load(IHistoryStream& stream, const ContactStrings& contact, unsigned count, std::vector<HistoryRecord>& out);

// Whether a file belongs to the contact: its header holds the contact's "Account name" (compared
// ignoring case, as the file system compares file names). Names made safe never meet, but the parts of
// a file name are joined with "_", which names may hold too (account "a_b" with contact "c", account
// "a" with contact "b_c"); Append and Load answer HistoryCannotOpen for a file that is another
// contact's, and Delete leaves it, so no contact's messages ever show in or vanish with another's
// (CHistoryFile then gives the second contact a file of its own).
bool IsContactsFile(const HistoryHeader& header, const ContactStrings& contact);

// Whether the contact may delete the file: an empty one is nobody's; otherwise its header must be
// readable and name the contact.
bool MayDelete(IHistoryStream& stream, const ContactStrings& contact);

// Whether the file's header is readable and names another contact; an empty or damaged file may be
// the contact's own.
bool NamesAnotherContact(IHistoryStream& stream, const ContactStrings& contact);

// Reads the header; HistoryOk, HistoryBadHeader or HistoryBadVersion.
int ReadHeader(IHistoryStream& stream, unsigned long long size, HistoryHeader& header);

}  // namespace HistoryStore
