#include "Zel/core/history/HistoryFileStream.h"

#include "Zel/core/history/TlvList.h"

#include <algorithm>
#include <deque>
#include <new>
#include <utility>

using namespace HistoryFormat;

namespace {

// CZELFile counts bytes in a signed int.
const size_t kChunkBytes = 1u << 30;

}  // namespace

// ---------------------------------------------------------------------------------------------------
// The file

bool CHistoryFileStream::Open(const CZELString& path, Mode mode)
{
    Close();
    if (path.IsEmpty()) return false;
    this->path = path;
    file.reset(new (std::nothrow) CZELFile(path, mode == OpenOrCreate ? CZELFile::ModeReadWrite : CZELFile::ModeRead));
    if (file && (mode == OpenOrCreate ? file->OpenOrCreate() : file->Open())) return true;
    file.reset();
    return false;
}

void CHistoryFileStream::Close()
{
    file.reset();
}

bool CHistoryFileStream::Size(unsigned long long& size)
{
    return file && file->GetSize(size);
}

size_t CHistoryFileStream::ReadAt(unsigned long long offset, unsigned char* buffer, size_t n)
{
    if (!file || !file->SeekTo(offset)) return 0;
    size_t done = 0;
    while (done < n) {
        int read = file->Read(buffer + done, int(std::min<size_t>(n - done, kChunkBytes)));
        if (read <= 0) break;
        done += size_t(read);
    }
    return done;
}

bool CHistoryFileStream::WriteAt(unsigned long long offset, const unsigned char* buffer, size_t n)
{
    if (!file || !file->SeekTo(offset)) return false;
    for (size_t done = 0; done < n;) {
        size_t chunk = std::min<size_t>(n - done, kChunkBytes);
        if (!file->Write(buffer + done, int(chunk))) return false;
        done += chunk;
    }
    return true;
}

bool CHistoryFileStream::Truncate(unsigned long long size)
{
    return file && file->SeekTo(size) && file->Truncate();
}

bool CHistoryFileStream::Flush()
{
    return file && file->Flush();
}

CZELString CHistoryFileStream::AsidePath(const CZELString& path)
{
    return path + L".damaged";
}

bool CHistoryFileStream::KeepAside(const unsigned char* bytes, size_t n)
{
    if (!file) return false;
    // Kept one after another: each repair adds what it set aside.
    CZELFile aside(AsidePath(path), CZELFile::ModeReadWrite);
    unsigned long long end = 0;
    if (!aside.OpenOrCreate() || !aside.GetSize(end) || !aside.SeekTo(end)) return false;
    for (size_t done = 0; done < n;) {
        size_t chunk = std::min<size_t>(n - done, kChunkBytes);
        if (!aside.Write(bytes + done, int(chunk))) {
            aside.SeekTo(end);
            aside.Truncate();
            return false;
        }
        done += chunk;
    }
    return aside.Flush();
}

// ---------------------------------------------------------------------------------------------------
// The operations

namespace HistoryStore {

namespace {

// The first read of a header: enough for the 44 bytes and both strings of almost every file.
const size_t kHeaderProbeBytes = 512;
// Reads ahead while walking records front to back.
const size_t kBlockBytes = 64 * 1024;
// The first read from the end of a file when looking for its last records; doubled as needed.
const size_t kTailFirstBytes = 8 * 1024;
const unsigned long long kMaxU32 = 0xFFFFFFFFull;

// Reads through one block, front to back.
class Cursor {
public:
    Cursor(IHistoryStream& stream, unsigned long long size) : stream(stream), size(size) {}

    // The n bytes at offset, valid until the next call; null unless all of them are in the file and
    // could be read. n is at most MaxBodyBytes + RecordHeadBytes.
    const unsigned char* At(unsigned long long offset, size_t n)
    {
        if (offset > size || n > size - offset) return nullptr;
        if (offset >= blockStart && offset - blockStart + n <= block.size()) return block.data() + (offset - blockStart);
        size_t want = std::max<size_t>(n, size_t(std::min<unsigned long long>(kBlockBytes, size - offset)));
        block.resize(want);
        block.resize(want ? stream.ReadAt(offset, block.data(), want) : 0);
        blockStart = offset;
        return block.size() >= n ? block.data() : nullptr;
    }

private:
    IHistoryStream& stream;
    unsigned long long size;
    std::vector<unsigned char> block;
    unsigned long long blockStart = 0;
};

// The bytes from some offset to the end of the file, growing towards the start on demand.
class TailWindow {
public:
    TailWindow(IHistoryStream& stream, unsigned long long size, unsigned long long floor)
        : stream(stream), size(size), floor(floor), start(size)
    {
    }

    // Makes the window reach down to offset (not below floor); doubles it at least, so the reads
    // add up to about twice what is used. False when the bytes cannot be read.
    bool Reach(unsigned long long offset)
    {
        if (offset >= start) return true;
        if (offset < floor) return false;
        unsigned long long held = size - start;
        unsigned long long grown = std::max<unsigned long long>(2 * held, kTailFirstBytes);
        unsigned long long newStart = std::max(floor, std::min(offset, size > grown ? size - grown : 0));
        std::vector<unsigned char> more(size_t(start - newStart));
        if (stream.ReadAt(newStart, more.data(), more.size()) != more.size()) return false;
        more.insert(more.end(), bytes.begin(), bytes.end());
        bytes.swap(more);
        start = newStart;
        return true;
    }

    // Byte offset of the file; it must be inside the window.
    const unsigned char* At(unsigned long long offset) const { return bytes.data() + (offset - start); }

private:
    IHistoryStream& stream;
    unsigned long long size, floor, start;
    std::vector<unsigned char> bytes;
};

// Finds the record that ends at end, looking back at most one record's length (not below floor):
// a record exactly as Append writes it. Append never stores a zero byte in a text, so no such record
// can be made out inside another one's bytes. Its start and number, or false.
bool FindWrittenRecordEndingAt(TailWindow& window, unsigned long long floor, unsigned long long end,
                               unsigned long long& at, unsigned& number)
{
    const unsigned long long minimum = RecordHeadBytes + WrittenBodyFixedBytes;
    if (end < floor || end - floor < minimum) return false;
    unsigned long long lowest = end - floor > MaxWrittenRecordBytes ? end - MaxWrittenRecordBytes : floor;
    for (unsigned long long p = end - minimum;; --p) {
        if (!window.Reach(p)) return false;
        const unsigned char* b = window.At(p);
        if (b[0] == 0 && b[1] == 1 && RecordBodyLength(b) == end - p - RecordHeadBytes &&
            IsWrittenRecord(b, size_t(end - p), &number)) {
            at = p;
            return true;
        }
        if (p == lowest) return false;
    }
}

struct Placed {
    unsigned long long offset;
    HistoryRecord record;
};

// The records found from the end of the file: each one as Append writes it, ending where the next
// begins (the last at the end of the file), their numbers falling towards the start. Newest first.
struct BackScan {
    std::vector<Placed> records;
    bool reachedFloor = false;  // the first of them starts at the floor: nothing is left before them
};

BackScan ScanBack(IHistoryStream& stream, unsigned long long size, unsigned long long floor, unsigned limit)
{
    BackScan scan;
    TailWindow window(stream, size, floor);
    unsigned long long end = size;
    while (scan.records.size() < limit) {
        if (end == floor) {
            scan.reachedFloor = true;
            break;
        }
        unsigned long long at = 0;
        unsigned number = 0;
        if (!FindWrittenRecordEndingAt(window, floor, end, at, number)) break;
        if (!scan.records.empty() && number >= scan.records.back().record.number) break;
        Placed placed = {at, HistoryRecord()};
        if (!DecodeRecordBody(window.At(at) + RecordHeadBytes, RecordBodyLength(window.At(at)), placed.record)) break;
        scan.records.push_back(placed);
        end = at;
    }
    return scan;
}

// What the loaders show of a file, and where its records lie.
struct View {
    std::deque<Placed> records;      // file order; only the last `keep` of them
    unsigned long long count = 0;    // every record shown
    unsigned maxNumber = 0;          // the highest message number among them
    unsigned long long wholeEnd = 0; // the file ends after a whole record here (then the file's size),
                                     // or after the last whole record read from the start
    bool endsWhole = false;          // the file ends with a whole record
};

// Reads the records the way every loader and the repair see them:
// 1. From the start, as long as each record is whole and readable.
// 2. When that leaves bytes behind, or passes a record that is not exactly as Append writes it
//    (whose length may be damaged and hide the records after it), also from the end, down to the
//    last record from the start that is exactly as written. Those found from the end take the place
//    of the ones from the start they overlap.
// So the records at the end of a file (the latest message above all) are always shown, whatever
// damage lies before them. keep bounds what is held; count and maxNumber cover everything.
View ReadView(IHistoryStream& stream, unsigned long long size, unsigned long long start, unsigned keep)
{
    View view;
    Cursor cursor(stream, size);
    unsigned long long end = start;
    unsigned long long trusted = start;  // the end of the records read from the start that are all as written
    bool allWritten = true;
    while (end < size) {
        const unsigned char* head = cursor.At(end, RecordHeadBytes);
        if (!head) break;
        unsigned body = RecordBodyLength(head);
        if (body > MaxBodyBytes || body > size - end - RecordHeadBytes) break;
        const unsigned char* bytes = cursor.At(end, RecordHeadBytes + body);
        Placed placed = {end, HistoryRecord()};
        if (!bytes || !DecodeRecordBody(bytes + RecordHeadBytes, body, placed.record)) break;
        allWritten = allWritten && IsWrittenRecord(bytes, RecordHeadBytes + body, nullptr);
        end += RecordHeadBytes + body;
        if (allWritten) trusted = end;
        view.records.push_back(placed);
        if (view.records.size() > keep) view.records.pop_front();
        ++view.count;
        view.maxNumber = std::max(view.maxNumber, placed.record.number);
    }
    view.wholeEnd = end;
    view.endsWhole = end == size;
    if (view.endsWhole && allWritten) return view;

    BackScan back = ScanBack(stream, size, trusted, keep);
    if (back.records.empty()) return view;
    unsigned long long from = back.records.back().offset;
    while (!view.records.empty() && view.records.back().offset >= from) {
        view.records.pop_back();
        --view.count;
    }
    for (const Placed& placed : back.records) view.maxNumber = std::max(view.maxNumber, placed.record.number);
    for (auto it = back.records.rbegin(); it != back.records.rend(); ++it) {
        view.records.push_back(*it);
        if (view.records.size() > keep) view.records.pop_front();
    }
    view.count += back.records.size();
    view.wholeEnd = size;
    view.endsWhole = true;
    return view;
}

// Whether the header can be trusted without walking the records: the records it counts end exactly
// at the end of the file, and the last of them carries its last number.
bool HeaderFits(IHistoryStream& stream, unsigned long long size, const HistoryHeader& header)
{
    unsigned long long start = header.GetSize();
    if (start + header.totalSize != size || header.recordCount > header.totalSize / RecordHeadBytes) return false;
    if (header.recordCount == 0) return header.totalSize == 0;
    TailWindow window(stream, size, start);
    unsigned long long at = 0;
    unsigned number = 0;
    return FindWrittenRecordEndingAt(window, start, size, at, number) && number == header.lastNumber;
}

}  // namespace

bool IsContactsFile(const HistoryHeader& header, const ContactStrings& contact)
{
    // Both sides in their stored form, so a name cut to fit the header still matches itself.
    HistoryHeader own = NewHeader(contact.contactName, CZELString());
    return HeaderText(header.contactName) == HeaderText(own.contactName);
}

bool MayDelete(IHistoryStream& stream, const ContactStrings& contact)
{
    unsigned long long size = 0;
    if (!stream.Size(size)) return false;
    if (size == 0) return true;
    HistoryHeader header;
    return ReadHeader(stream, size, header) == HistoryOk && IsContactsFile(header, contact);
}

bool NamesAnotherContact(IHistoryStream& stream, const ContactStrings& contact)
{
    unsigned long long size = 0;
    HistoryHeader header;
    return stream.Size(size) && size > 0 && ReadHeader(stream, size, header) == HistoryOk &&
           !IsContactsFile(header, contact);
}

int ReadHeader(IHistoryStream& stream, unsigned long long size, HistoryHeader& header)
{
    size_t want = size_t(std::min<unsigned long long>(size, kHeaderProbeBytes));
    std::vector<unsigned char> bytes;
    for (;;) {
        bytes.resize(want);
        size_t got = want ? stream.ReadAt(0, bytes.data(), want) : 0;
        bytes.resize(got);
        HeaderDecode decoded = DecodeHeader(bytes.data(), bytes.size(), header);
        // The lengths read so far tell how much more the header needs; each round learns one more.
        if (decoded.result != HistoryBadHeader || got < want || decoded.needed <= got || decoded.needed > size)
            return decoded.result;
        want = decoded.needed;
    }
}

int Append(IHistoryStream& stream, const ContactStrings& contact, const HistoryRecord& record)
{
    unsigned long long size = 0;
    if (!stream.Size(size)) return HistoryRecordError;
    HistoryHeader header;
    std::vector<unsigned char> oldHeader, tail;
    unsigned long long end;
    if (size == 0) {
        header = NewHeader(contact.contactName, contact.alias);
        end = header.GetSize();
    } else {
        int result = ReadHeader(stream, size, header);
        if (result != HistoryOk) return result;
        if (!IsContactsFile(header, contact)) return HistoryCannotOpen;
        oldHeader = EncodeHeader(header);
        end = size;
        if (!HeaderFits(stream, size, header)) {
            // Count what the loaders show; bytes after the last whole record go aside, so the new
            // record follows a whole one and is found by every loader.
            unsigned long long start = header.GetSize();
            View view = ReadView(stream, size, start, AllRecords);
            if (!view.endsWhole) {
                end = view.wholeEnd;
                try {
                    tail.resize(size_t(size - end));
                } catch (const std::bad_alloc&) {
                    return HistoryRecordError;
                }
                if (stream.ReadAt(end, tail.data(), tail.size()) != tail.size()) return HistoryRecordError;
                if (!stream.KeepAside(tail.data(), tail.size())) return HistoryRecordError;
            }
            if (view.count >= kMaxU32 || end - start > kMaxU32) return HistoryRecordError;
            header.recordCount = unsigned(view.count);
            header.totalSize = unsigned(end - start);
            header.lastNumber = std::max(header.lastNumber, view.maxNumber);
        }
    }

    HistoryRecord stored = record;
    stored.number = header.lastNumber + 1;
    std::vector<unsigned char> bytes = EncodeRecord(stored);
    unsigned long long total = end - header.GetSize() + bytes.size();
    if (total > kMaxU32 || header.recordCount == kMaxU32 || header.lastNumber == kMaxU32) return HistoryRecordError;

    // The record reaches the disk before the header counts it.
    bool written = stream.WriteAt(end, bytes.data(), bytes.size());
    if (written && size > end + bytes.size()) written = stream.Truncate(end + bytes.size());
    written = written && stream.Flush();
    if (written) {
        header.recordCount += 1;
        header.totalSize = unsigned(total);
        header.lastNumber = stored.number;
        std::vector<unsigned char> newHeader = EncodeHeader(header);
        written = stream.WriteAt(0, newHeader.data(), newHeader.size());
    }
    if (!written) {
        // Back as it was: the old header, the bytes that were set aside, the old length.
        if (!oldHeader.empty()) stream.WriteAt(0, oldHeader.data(), oldHeader.size());
        if (!tail.empty()) stream.WriteAt(end, tail.data(), tail.size());
        stream.Truncate(size);
        return HistoryRecordError;
    }
    return HistoryOk;
}

int Load(IHistoryStream& stream, const ContactStrings& contact, unsigned count, std::vector<HistoryRecord>& out)
{
    unsigned long long size = 0;
    if (!stream.Size(size)) return HistoryBadHeader;
    HistoryHeader header;
    int result = ReadHeader(stream, size, header);
    if (result != HistoryOk) return result;
    if (!IsContactsFile(header, contact)) return HistoryCannotOpen;
    if (count == 0) return HistoryOk;
    unsigned long long start = header.GetSize();

    // A file whose header fits it gives its last records from the end, reading about as much as it
    // returns.
    if (count != AllRecords && start + header.totalSize == size) {
        BackScan back = ScanBack(stream, size, start, count);
        if ((back.records.size() == count || back.reachedFloor) &&
            (back.records.empty() || back.records.front().record.number == header.lastNumber)) {
            for (auto it = back.records.rbegin(); it != back.records.rend(); ++it) out.push_back(it->record);
            return HistoryOk;
        }
    }
    View view = ReadView(stream, size, start, count);
    for (const Placed& placed : view.records) out.push_back(placed.record);
    return HistoryOk;
}

}  // namespace HistoryStore
