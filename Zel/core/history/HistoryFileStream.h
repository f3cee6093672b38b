// The history file operations over an open file: append one record, load all records or the last
// few. They work on IHistoryStream, so the tests can run them over memory and make any write fail.
//
// Keeping the file whole:
// - Append writes and flushes the record first and rewrites the header after it; when either fails
//   it cuts the file back to where it was (and puts the old header back), so a failed append leaves
//   the records and the header that counts them as they were.
// - The header is trusted when the records it counts end exactly at the end of the file and the
//   last of them is a whole record carrying the header's last number. Otherwise (a file cut short, or
//   a header left behind by an append that failed) Append walks the records: it keeps every whole
//   one, counts them into the header, and appends after the last of them, over the remains of a
//   record cut short. When what follows the last whole record is not such remains (garbage, or a
//   complete record whose length is damaged), Append refuses (4) and leaves the file as it is: it
//   never overwrites a whole record.
// - Every count and length read from the file is bounded by the file's size before it is used.
//
// Loading delivers every whole record up to the first that cannot be read; the result is 4 when the
// file holds fewer usable records than its header counts. LoadLast finds the last records from the
// end of the file when the file is consistent, so it reads about as much as it returns; otherwise
// (or when the records there are not as Append writes them) it walks from the start.
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

private:
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
// file), HistoryBadHeader, HistoryBadVersion or HistoryRecordError.
int Append(IHistoryStream& stream, const ContactStrings& contact, const HistoryRecord& record);

// Every record (count = AllRecords) or the last count records, oldest first, appended to out.
const unsigned AllRecords = 0xFFFFFFFFu;
int Load(IHistoryStream& stream, const ContactStrings& contact, unsigned count, std::vector<HistoryRecord>& out);

// Whether a file belongs to the contact: its header holds the contact's "Account name" (compared
// ignoring case, as the file system compares file names). Names made safe never meet, but the parts of
// a file name are joined with "_", which names may hold too (account "a_b" with contact "c", account
// "a" with contact "b_c"); Append and Load answer HistoryCannotOpen for a file that is another
// contact's, and Delete leaves it, so no contact's messages ever show in or vanish with another's.
bool IsContactsFile(const HistoryHeader& header, const ContactStrings& contact);

// Whether the contact may delete the file: an empty one is nobody's; otherwise its header must be
// readable and name the contact.
bool MayDelete(IHistoryStream& stream, const ContactStrings& contact);

// Reads the header; HistoryOk, HistoryBadHeader or HistoryBadVersion.
int ReadHeader(IHistoryStream& stream, unsigned long long size, HistoryHeader& header);

}  // namespace HistoryStore
