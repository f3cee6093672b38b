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
    // could be read. n is at most MaxBodyBytes.
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

struct Walk {
    unsigned long long end;    // after the last whole record walked
    unsigned long long count;  // whole records walked
    bool cutShort;             // stopped at a record that is not all in the file
    bool stopped;              // the visitor stopped it
};

// Walks at most maxCount records from start, handing each whole one's (offset, body length) to
// visit, which returns false to stop. Every record takes at least its 6-byte head, so the walk ends
// within size / 6 steps whatever the file says.
template <typename Visit>
Walk WalkRecords(Cursor& cursor, unsigned long long start, unsigned long long size, unsigned long long maxCount,
                 Visit visit)
{
    Walk walk = {start, 0, false, false};
    while (walk.count < maxCount && walk.end < size) {
        const unsigned char* head = cursor.At(walk.end, RecordHeadBytes);
        if (!head) {
            walk.cutShort = true;
            break;
        }
        unsigned body = RecordBodyLength(head);
        if (body > MaxBodyBytes || body > size - walk.end - RecordHeadBytes) {
            walk.cutShort = true;
            break;
        }
        if (!visit(walk.end, body)) {
            walk.stopped = true;
            break;
        }
        walk.end += RecordHeadBytes + body;
        ++walk.count;
    }
    return walk;
}

bool ReadBody(Cursor& cursor, unsigned long long offset, unsigned body, HistoryRecord& out)
{
    const unsigned char* bytes = cursor.At(offset + RecordHeadBytes, body);
    return bytes && DecodeRecordBody(bytes, body, out);
}

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

// Finds the record that ends at end, looking back at most one record's length (not below start):
// a record exactly as Append writes it. Append never stores a zero byte in a text, so no such record
// can be made out inside another one's bytes. Its start and number, or false.
bool FindWrittenRecordEndingAt(TailWindow& window, unsigned long long start, unsigned long long end,
                               unsigned long long& at, unsigned& number)
{
    const unsigned long long minimum = RecordHeadBytes + WrittenBodyFixedBytes;
    if (end < start || end - start < minimum) return false;
    unsigned long long lowest = end - start > MaxWrittenRecordBytes ? end - MaxWrittenRecordBytes : start;
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

// The last n records found from the end of a file whose header fits it: each ends where the next
// begins (the last at the end of the file), and the message numbers fall from the header's last
// number backwards. False when that does not hold for n records; out is then untouched.
bool LoadTail(IHistoryStream& stream, unsigned long long size, unsigned long long start, unsigned lastNumber,
              unsigned n, std::vector<HistoryRecord>& out)
{
    TailWindow window(stream, size, start);
    std::vector<unsigned long long> starts;
    unsigned long long end = size;
    unsigned previous = 0;
    while (starts.size() < n) {
        unsigned number = 0;
        if (!FindWrittenRecordEndingAt(window, start, end, end, number)) return false;
        if (starts.empty() ? number != lastNumber : number >= previous) return false;
        previous = number;
        starts.push_back(end);
    }
    std::vector<HistoryRecord> records(starts.size());
    for (size_t i = 0; i < starts.size(); ++i) {
        const unsigned char* b = window.At(starts[starts.size() - 1 - i]);
        if (!DecodeRecordBody(b + RecordHeadBytes, RecordBodyLength(b), records[i])) return false;
    }
    out.insert(out.end(), records.begin(), records.end());
    return true;
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

// Whether the bytes from offset to the end of the file are what a record cut short leaves: less
// than a head, or a head that promises more than is there, no more than Append ever writes, and
// whose bytes are not a whole record after all (a damaged length).
bool IsCutShortRecord(Cursor& cursor, unsigned long long offset, unsigned long long size)
{
    unsigned long long rest = size - offset;
    if (rest < RecordHeadBytes) return true;
    const unsigned char* head = cursor.At(offset, RecordHeadBytes);
    if (!head || head[0] != 0 || head[1] != 1) return false;
    unsigned body = RecordBodyLength(head);
    if (body > MaxWrittenRecordBytes - RecordHeadBytes || body <= rest - RecordHeadBytes) return false;
    const unsigned char* bytes = cursor.At(offset, size_t(rest));
    if (!bytes) return false;
    std::vector<unsigned char> asWhole(bytes, bytes + rest);
    unsigned fitted = unsigned(rest - RecordHeadBytes);
    asWhole[2] = (unsigned char)(fitted >> 24);
    asWhole[3] = (unsigned char)(fitted >> 16);
    asWhole[4] = (unsigned char)(fitted >> 8);
    asWhole[5] = (unsigned char)fitted;
    return !IsWrittenRecord(asWhole.data(), asWhole.size(), nullptr);
}

// A header that does not fit its file: walks the records and makes the header count the whole
// ones. False when what follows them is not the remains of one record cut short.
bool Recount(IHistoryStream& stream, unsigned long long size, HistoryHeader& header)
{
    Cursor cursor(stream, size);
    unsigned long long start = header.GetSize(), lastOffset = 0;
    unsigned lastBody = 0;
    Walk walk = WalkRecords(cursor, start, size, ~0ull, [&](unsigned long long offset, unsigned body) {
        lastOffset = offset;
        lastBody = body;
        return true;
    });
    if (walk.end < size && !IsCutShortRecord(cursor, walk.end, size)) return false;
    if (walk.count >= kMaxU32 || walk.end - start > kMaxU32) return false;
    header.recordCount = unsigned(walk.count);
    header.totalSize = unsigned(walk.end - start);
    // A record the old header did not count may already carry the next number.
    const unsigned char* body = walk.count ? cursor.At(lastOffset + RecordHeadBytes, lastBody) : nullptr;
    if (body) {
        TlvList items;
        items.Parse(body, int(lastBody));
        unsigned number = 0;
        const Tlv* item = items.Find(1);
        if (item && item->GetUint32(number) && number > header.lastNumber) header.lastNumber = number;
    }
    return true;
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
    std::vector<unsigned char> oldHeader;
    unsigned long long end, rollback;
    if (size == 0) {
        header = NewHeader(contact.contactName, contact.alias);
        end = header.GetSize();
        rollback = 0;
    } else {
        int result = ReadHeader(stream, size, header);
        if (result != HistoryOk) return result;
        if (!IsContactsFile(header, contact)) return HistoryCannotOpen;
        oldHeader = EncodeHeader(header);
        if (!HeaderFits(stream, size, header) && !Recount(stream, size, header)) return HistoryRecordError;
        end = rollback = header.GetSize() + header.totalSize;
    }

    HistoryRecord stored = record;
    stored.number = header.lastNumber + 1;
    std::vector<unsigned char> bytes = EncodeRecord(stored);
    unsigned long long total = end - header.GetSize() + bytes.size();
    if (total > kMaxU32 || header.recordCount == kMaxU32 || header.lastNumber == kMaxU32) return HistoryRecordError;

    // The record reaches the disk before the header counts it.
    bool written = stream.WriteAt(end, bytes.data(), bytes.size());
    if (written && size > end + bytes.size()) written = stream.Truncate(end + bytes.size());
    if (!written || !stream.Flush()) {
        stream.Truncate(rollback);
        return HistoryRecordError;
    }
    header.recordCount += 1;
    header.totalSize = unsigned(total);
    header.lastNumber = stored.number;
    std::vector<unsigned char> newHeader = EncodeHeader(header);
    if (!stream.WriteAt(0, newHeader.data(), newHeader.size())) {
        if (!oldHeader.empty()) stream.WriteAt(0, oldHeader.data(), oldHeader.size());
        stream.Truncate(rollback);
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
    unsigned long long start = header.GetSize();
    if (count == 0) return HistoryOk;

    Cursor cursor(stream, size);
    if (count >= header.recordCount) {
        Walk walk = WalkRecords(cursor, start, size, header.recordCount, [&](unsigned long long offset, unsigned body) {
            HistoryRecord record;
            if (!ReadBody(cursor, offset, body, record)) return false;
            out.push_back(record);
            return true;
        });
        return walk.count == header.recordCount ? HistoryOk : HistoryRecordError;
    }

    if (start + header.totalSize == size && LoadTail(stream, size, start, header.lastNumber, count, out))
        return HistoryOk;

    // From the start: the places of the last count records, then those records.
    std::deque<std::pair<unsigned long long, unsigned>> last;
    Walk walk = WalkRecords(cursor, start, size, header.recordCount, [&](unsigned long long offset, unsigned body) {
        last.emplace_back(offset, body);
        if (last.size() > count) last.pop_front();
        return true;
    });
    bool whole = walk.count == header.recordCount;
    for (const auto& place : last) {
        HistoryRecord record;
        if (!ReadBody(cursor, place.first, place.second, record)) return HistoryRecordError;
        out.push_back(record);
    }
    return whole ? HistoryOk : HistoryRecordError;
}

}  // namespace HistoryStore
