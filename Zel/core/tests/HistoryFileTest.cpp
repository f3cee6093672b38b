#include "Zel/core/history/HistoryFile.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/history/HistoryFileStream.h"
#include "Zel/core/settings/SettingsStore.h"
#include "ZELCommon/ZELTime.h"

#include "ZELCommon/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;

std::wstring Text(const CZELString& s)
{
    return s.GetBuffer() ? std::wstring(s.GetBuffer(), size_t(s.GetLength())) : std::wstring();
}

Bytes BE32(unsigned n)
{
    return {(unsigned char)(n >> 24), (unsigned char)(n >> 16), (unsigned char)(n >> 8), (unsigned char)n};
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

unsigned Read32(const Bytes& bytes, size_t at)
{
    return (unsigned(bytes[at]) << 24) | (unsigned(bytes[at + 1]) << 16) | (unsigned(bytes[at + 2]) << 8) | bytes[at + 3];
}

void Write32(Bytes& bytes, size_t at, unsigned value)
{
    Bytes be = BE32(value);
    std::copy(be.begin(), be.end(), bytes.begin() + at);
}

// A history file in memory that logs what is done to it and can be told to fail.
class MemoryStream : public IHistoryStream {
public:
    MemoryStream() = default;
    explicit MemoryStream(const Bytes& bytes) : bytes(bytes) {}

    bool Size(unsigned long long& size) override
    {
        size = bytes.size();
        return true;
    }

    size_t ReadAt(unsigned long long offset, unsigned char* buffer, size_t n) override
    {
        if (offset >= bytes.size()) return 0;
        size_t count = std::min<size_t>(n, bytes.size() - size_t(offset));
        std::copy(bytes.begin() + size_t(offset), bytes.begin() + size_t(offset) + count, buffer);
        bytesRead += count;
        return count;
    }

    bool WriteAt(unsigned long long offset, const unsigned char* buffer, size_t n) override
    {
        size_t call = writes++;
        log.push_back("write " + std::to_string(offset));
        size_t count = call == failWrite ? std::min(n, shortWriteBytes) : n;
        if (bytes.size() < offset + count) bytes.resize(size_t(offset + count));
        std::copy(buffer, buffer + count, bytes.begin() + size_t(offset));
        return count == n;
    }

    bool Truncate(unsigned long long size) override
    {
        log.push_back("truncate " + std::to_string(size));
        bytes.resize(size_t(size));
        return true;
    }

    bool Flush() override
    {
        log.push_back("flush");
        return !failFlush;
    }

    bool KeepAside(const unsigned char* kept, size_t n) override
    {
        log.push_back("aside " + std::to_string(n));
        if (failAside) return false;
        aside.insert(aside.end(), kept, kept + n);
        return true;
    }

    Bytes bytes;
    Bytes aside;  // what was set aside, one after another
    bool failAside = false;
    std::vector<std::string> log;
    size_t writes = 0;
    size_t failWrite = size_t(-1);  // the write call (0 = first) that comes short
    size_t shortWriteBytes = 0;     // what that write still puts down
    bool failFlush = false;
    size_t bytesRead = 0;
};

const HistoryStore::ContactStrings kContact = {CZELString(L"12345"), CZELString(L"Bob")};

HistoryRecord Message(unsigned time, unsigned char direction, const std::wstring& text)
{
    HistoryRecord record;
    record.time = time;
    record.direction = direction;
    record.flag1 = 0;
    record.flag2 = 1;
    record.text = CZELString(text.c_str(), int(text.size()));
    return record;
}

std::wstring MessageText(int i)
{
    return L"message " + std::to_wstring(i) + std::wstring(size_t(i % 7), L'x');
}

// A good file of n messages, numbered 1 to n.
Bytes Sample(int n)
{
    MemoryStream stream;
    for (int i = 1; i <= n; ++i)
        EXPECT_EQ(HistoryOk, HistoryStore::Append(stream, kContact, Message(1000 + i, i % 2, MessageText(i))));
    return stream.bytes;
}

// Where each record of a sample of n messages starts, and the header's length.
std::vector<size_t> RecordStarts(const Bytes& file, size_t& headerSize)
{
    HistoryHeader header;
    HistoryFormat::DecodeHeader(file.data(), file.size(), header);
    headerSize = header.GetSize();
    std::vector<size_t> starts;
    for (size_t at = headerSize; at + 6 <= file.size(); at += 6 + Read32(file, at + 2)) starts.push_back(at);
    return starts;
}

struct Loaded {
    int result;
    std::vector<HistoryRecord> records;
};

Loaded LoadFrom(const Bytes& bytes, unsigned count)
{
    MemoryStream stream(bytes);
    Loaded loaded;
    loaded.result = HistoryStore::Load(stream, kContact, count, loaded.records);
    return loaded;
}

// The texts of records, for comparing with the messages that made them.
std::vector<std::wstring> Texts(const std::vector<HistoryRecord>& records)
{
    std::vector<std::wstring> out;
    for (const HistoryRecord& record : records) out.push_back(Text(record.text));
    return out;
}

std::vector<std::wstring> MessageTexts(int first, int last)
{
    std::vector<std::wstring> out;
    for (int i = first; i <= last; ++i) out.push_back(MessageText(i));
    return out;
}

// The header's view of a file: size, count and last number agree with its records.
void ExpectConsistent(const Bytes& file, unsigned count, unsigned lastNumber)
{
    HistoryHeader header;
    ASSERT_EQ(HistoryOk, HistoryFormat::DecodeHeader(file.data(), file.size(), header).result);
    EXPECT_EQ(file.size(), header.GetSize() + header.totalSize);
    EXPECT_EQ(count, header.recordCount);
    EXPECT_EQ(lastNumber, header.lastNumber);
}

// ---------------------------------------------------------------------------------------------------
// The operations over a stream

TEST(HistoryStoreTest, FirstAppendWritesTheGoldenFile)
{
    MemoryStream stream;
    ASSERT_EQ(HistoryOk, HistoryStore::Append(stream, kContact, Message(0x5F5E1000, 1, L"Hi")));
    Bytes golden = Concat({{'Z', 'H', 'F', 1}, BE32(35), Bytes(26, 0), BE32(1), BE32(1), {0, 1},
                           {0, 6, '1', '2', '3', '4', '5', 0}, {0, 4, 'B', 'o', 'b', 0},
                           {0x00, 0x01}, BE32(29), {0x00, 0x01, 0x00, 0x04}, BE32(1), {0x00, 0x02, 0x00, 0x04},
                           BE32(0x5F5E1000), {0x00, 0x03, 0x00, 0x03, 0x01, 0x00, 0x01},
                           {0x00, 0x04, 0x00, 0x02, 'H', 'i'}});
    EXPECT_EQ(golden, stream.bytes);
}

TEST(HistoryStoreTest, LaterAppendsCountOnAndKeepTheHeaderAsRead)
{
    Bytes file = Sample(1);
    file[8] = 0x77;  // a reserved byte
    file[43] = 9;    // the field at 42
    MemoryStream stream(file);
    // The header's strings stay those of the first append.
    HistoryStore::ContactStrings renamed = {CZELString(L"12345"), CZELString(L"Robert")};
    ASSERT_EQ(HistoryOk, HistoryStore::Append(stream, renamed, Message(5, 0, L"second")));
    Bytes second = HistoryFormat::EncodeRecord([] {
        HistoryRecord record = Message(5, 0, L"second");
        record.number = 2;
        return record;
    }());
    ASSERT_EQ(file.size() + second.size(), stream.bytes.size());
    EXPECT_EQ(second, Bytes(stream.bytes.begin() + file.size(), stream.bytes.end()));
    EXPECT_EQ(0x77, stream.bytes[8]);
    EXPECT_EQ(9, stream.bytes[43]);
    EXPECT_EQ(Bytes(file.begin() + 44, file.end()), Bytes(stream.bytes.begin() + 44, stream.bytes.begin() + file.size()));
    ExpectConsistent(stream.bytes, 2, 2);
}

TEST(HistoryStoreTest, RecordIsFlushedBeforeTheHeaderCountsIt)
{
    MemoryStream stream(Sample(2));
    size_t end = stream.bytes.size();
    ASSERT_EQ(HistoryOk, HistoryStore::Append(stream, kContact, Message(1, 1, L"x")));
    EXPECT_EQ((std::vector<std::string>{"write " + std::to_string(end), "flush", "write 0"}), stream.log);

    MemoryStream fresh;
    ASSERT_EQ(HistoryOk, HistoryStore::Append(fresh, kContact, Message(1, 1, L"x")));
    EXPECT_EQ((std::vector<std::string>{"write " + std::to_string(44 + 8 + 6), "flush", "write 0"}), fresh.log);
}

TEST(HistoryStoreTest, RoundTripsEveryField)
{
    MemoryStream stream;
    const HistoryRecord messages[] = {Message(0, 0, L""), Message(0xFFFFFFFF, 1, L"\x041F\x0440\x0438 \xD83D\xDE00"),
                                      Message(1234567890, 7, L"a\r\nb")};
    for (const HistoryRecord& message : messages) ASSERT_EQ(HistoryOk, HistoryStore::Append(stream, kContact, message));
    Loaded loaded = LoadFrom(stream.bytes, HistoryStore::AllRecords);
    ASSERT_EQ(HistoryOk, loaded.result);
    ASSERT_EQ(3u, loaded.records.size());
    for (unsigned i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(i + 1, loaded.records[i].number);
        EXPECT_EQ(messages[i].time, loaded.records[i].time);
        EXPECT_EQ(messages[i].direction, loaded.records[i].direction);
        EXPECT_EQ(0, loaded.records[i].flag1);
        EXPECT_EQ(1, loaded.records[i].flag2);
        EXPECT_EQ(Text(messages[i].text), Text(loaded.records[i].text));
    }
}

TEST(HistoryStoreTest, LoadLastGivesTheLastRecordsOldestFirst)
{
    const int total = 20;
    Bytes file = Sample(total);
    const unsigned asks[] = {0, 1, 2, 5, 19, 20, 21, 1000, HistoryStore::AllRecords};
    for (unsigned n : asks) {
        SCOPED_TRACE(n);
        Loaded loaded = LoadFrom(file, n);
        EXPECT_EQ(HistoryOk, loaded.result);
        int first = n >= unsigned(total) ? 1 : total - int(n) + 1;
        EXPECT_EQ(MessageTexts(first, total), Texts(loaded.records));
        for (size_t i = 0; i < loaded.records.size(); ++i) EXPECT_EQ(unsigned(first) + i, loaded.records[i].number);
    }
    EXPECT_EQ(HistoryBadHeader, LoadFrom(Bytes(), 0).result);
}

TEST(HistoryStoreTest, LoadLastReadsAboutWhatItReturns)
{
    // Two files, one ten times the other: the last 5 records cost the same to find in both.
    size_t reads[2];
    const int sizes[2] = {300, 3000};
    for (int k = 0; k < 2; ++k) {
        MemoryStream stream(Sample(sizes[k]));
        std::vector<HistoryRecord> records;
        ASSERT_EQ(HistoryOk, HistoryStore::Load(stream, kContact, 5, records));
        EXPECT_EQ(MessageTexts(sizes[k] - 4, sizes[k]), Texts(records));
        reads[k] = stream.bytesRead;
    }
    EXPECT_LT(reads[1], 32u * 1024);
    EXPECT_LE(reads[1], reads[0] + 1024);
}

TEST(HistoryStoreTest, LoadLastFromTheStartGivesTheSameRecords)
{
    // Records not as Append writes them (an extra item) cannot be found from the end; the walk from
    // the start must give the same answer.
    MemoryStream stream;
    for (int i = 1; i <= 30; ++i) ASSERT_EQ(HistoryOk, HistoryStore::Append(stream, kContact, Message(i, 0, MessageText(i))));
    Bytes tagged = stream.bytes;
    size_t headerSize = 0;
    std::vector<size_t> starts = RecordStarts(tagged, headerSize);
    // Give the 28th record an extra empty item 9 at its end.
    size_t at = starts[27], next = starts[28];
    tagged.insert(tagged.begin() + next, {0, 9, 0, 0});
    Write32(tagged, at + 2, Read32(tagged, at + 2) + 4);
    Write32(tagged, 4, Read32(tagged, 4) + 4);
    for (unsigned n : {1u, 2u, 3u, 5u, 29u}) {
        SCOPED_TRACE(n);
        Loaded loaded = LoadFrom(tagged, n);
        EXPECT_EQ(HistoryOk, loaded.result);
        EXPECT_EQ(MessageTexts(30 - int(n) + 1, 30), Texts(loaded.records));
    }
}

TEST(HistoryStoreTest, EveryTruncationLoadsWhatIsWhole)
{
    const int total = 6;
    Bytes file = Sample(total);
    size_t headerSize = 0;
    std::vector<size_t> starts = RecordStarts(file, headerSize);
    ASSERT_EQ(size_t(total), starts.size());
    for (size_t cut = 0; cut < file.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        Bytes input(file.begin(), file.begin() + cut);
        int whole = 0;
        while (whole < total && (whole + 1 < total ? starts[whole + 1] : file.size()) <= cut) ++whole;

        Loaded all = LoadFrom(input, HistoryStore::AllRecords);
        if (cut < headerSize) {
            EXPECT_EQ(HistoryBadHeader, all.result);
            EXPECT_TRUE(all.records.empty());
            EXPECT_EQ(HistoryBadHeader, LoadFrom(input, 2).result);
            continue;
        }
        // What can be read is given, and the result says the file was read.
        EXPECT_EQ(HistoryOk, all.result);
        EXPECT_EQ(MessageTexts(1, whole), Texts(all.records));

        Loaded last = LoadFrom(input, 2);
        EXPECT_EQ(HistoryOk, last.result);
        EXPECT_EQ(MessageTexts(std::max(1, whole - 1), whole), Texts(last.records));
    }
}

TEST(HistoryStoreTest, AppendToEveryTruncationKeepsTheWholeRecords)
{
    const int total = 4;
    Bytes file = Sample(total);
    size_t headerSize = 0;
    std::vector<size_t> starts = RecordStarts(file, headerSize);
    for (size_t cut = 0; cut < file.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        Bytes input(file.begin(), file.begin() + cut);
        int whole = 0;
        while (whole < total && (whole + 1 < total ? starts[whole + 1] : file.size()) <= cut) ++whole;

        MemoryStream stream(input);
        int result = HistoryStore::Append(stream, kContact, Message(99, 1, L"after"));
        if (cut == 0) {  // an empty file is a new one
            EXPECT_EQ(HistoryOk, result);
            ExpectConsistent(stream.bytes, 1, 1);
            continue;
        }
        if (cut < headerSize) {
            EXPECT_EQ(HistoryBadHeader, result);
            EXPECT_EQ(input, stream.bytes);  // untouched
            continue;
        }
        ASSERT_EQ(HistoryOk, result);
        // The whole records stay where they were, byte for byte; the new one follows them.
        size_t wholeEnd = whole < total ? starts[whole] : file.size();
        EXPECT_EQ(Bytes(file.begin() + headerSize, file.begin() + wholeEnd),
                  Bytes(stream.bytes.begin() + headerSize, stream.bytes.begin() + wholeEnd));
        // The remains of the record cut short were set aside.
        EXPECT_EQ(Bytes(input.begin() + std::min(wholeEnd, cut), input.end()), stream.aside);
        ExpectConsistent(stream.bytes, unsigned(whole) + 1, total + 1);
        Loaded loaded = LoadFrom(stream.bytes, HistoryStore::AllRecords);
        EXPECT_EQ(HistoryOk, loaded.result);
        std::vector<std::wstring> expected = MessageTexts(1, whole);
        expected.push_back(L"after");
        EXPECT_EQ(expected, Texts(loaded.records));
        EXPECT_EQ(unsigned(total + 1), loaded.records.back().number);
    }
}

TEST(HistoryStoreTest, HostileCountsAndLengthsAreBoundedByTheFile)
{
    const Bytes good = Sample(3);
    size_t headerSize = 0;
    std::vector<size_t> starts = RecordStarts(good, headerSize);
    struct Case {
        const char* name;
        size_t at;      // where the 32-bit value goes
        unsigned value;
        int allCount;   // records LoadAll gives
        int lastCount;  // records LoadLast(2) gives
        bool lastSetAside;  // Append sets the last record aside, as it cannot tell where it ends
    };
    const Case cases[] = {
        // The count is never trusted for how many records there are.
        {"count 0xFFFFFFFF", 34, 0xFFFFFFFF, 3, 2, false},
        {"count 0x7FFFFFFF", 34, 0x7FFFFFFF, 3, 2, false},
        {"count one more", 34, 4, 3, 2, false},
        {"count one less", 34, 2, 3, 2, false},
        {"total 0xFFFFFFFF", 4, 0xFFFFFFFF, 3, 2, false},
        {"total 0", 4, 0, 3, 2, false},
        // The first record's damage hides it from a walk from the start; the others are found from
        // the end.
        {"first body 0xFFFFFFFF", starts[0] + 2, 0xFFFFFFFF, 2, 2, false},
        {"first body 0x7FFFFFFF", starts[0] + 2, 0x7FFFFFFF, 2, 2, false},
        {"second body past the end", starts[1] + 2, 0x01000000, 2, 2, false},
        // A last record with a damaged length cannot be told from garbage.
        {"last body past the end", starts[2] + 2, 1000, 2, 2, true},
        {"last body 0xFFFFFFFF", starts[2] + 2, 0xFFFFFFFF, 2, 2, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file = good;
        Write32(file, c.at, c.value);
        Loaded all = LoadFrom(file, HistoryStore::AllRecords);
        EXPECT_EQ(HistoryOk, all.result);
        EXPECT_EQ(size_t(c.allCount), all.records.size());
        Loaded last = LoadFrom(file, 2);
        EXPECT_EQ(size_t(c.lastCount), last.records.size());

        MemoryStream stream(file);
        ASSERT_EQ(HistoryOk, HistoryStore::Append(stream, kContact, Message(1, 0, L"new")));
        // The stored records stay where they were, or went aside; the new one is found.
        size_t kept = file.size() - stream.aside.size();
        EXPECT_EQ(c.lastSetAside ? file.size() - starts[2] : 0u, stream.aside.size());
        EXPECT_EQ(Bytes(file.begin() + kept, file.end()), stream.aside);
        EXPECT_EQ(Bytes(file.begin() + 44, file.begin() + kept), Bytes(stream.bytes.begin() + 44, stream.bytes.begin() + kept));
        Loaded last1 = LoadFrom(stream.bytes, 1);
        ASSERT_EQ(1u, last1.records.size());
        EXPECT_EQ(L"new", Text(last1.records[0].text));
        Loaded after = LoadFrom(stream.bytes, HistoryStore::AllRecords);
        EXPECT_EQ(size_t(c.allCount) + 1, after.records.size());
    }
}

TEST(HistoryStoreTest, AppendSetsWhatFollowsTheLastWholeRecordAside)
{
    Bytes good = Sample(3);
    size_t headerSize = 0;
    std::vector<size_t> starts = RecordStarts(good, headerSize);
    struct Case {
        const char* name;
        Bytes file;
        size_t asideFrom;  // where the bytes set aside begin
    };
    Bytes garbageTail = Concat({good, {0xAB, 0xCD, 0xEF, 0x01, 0x02, 0x03, 0x04}});
    Bytes hugeTail = Concat({good, {0x00, 0x01}, BE32(0x00100000), {1, 2, 3}});
    Bytes zeros = Concat({good, Bytes(64, 0)});
    Bytes damagedLast = good;  // all of the last record is there, but its length says more
    Write32(damagedLast, starts[2] + 2, Read32(damagedLast, starts[2] + 2) + 1);
    const Case cases[] = {{"garbage after the records", garbageTail, good.size()},
                          {"a tail that says it is larger than any record", hugeTail, good.size()},
                          {"zeros after the records", zeros, good.size()},
                          {"the last record's length one more", damagedLast, starts[2]}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryStream stream(c.file);
        ASSERT_EQ(HistoryOk, HistoryStore::Append(stream, kContact, Message(1, 0, L"new")));
        EXPECT_EQ(Bytes(c.file.begin() + c.asideFrom, c.file.end()), stream.aside);
        // Set aside before the record takes their place.
        ASSERT_FALSE(stream.log.empty());
        EXPECT_EQ("aside " + std::to_string(c.file.size() - c.asideFrom), stream.log[0]);
        int whole = c.asideFrom == good.size() ? 3 : 2;
        ExpectConsistent(stream.bytes, unsigned(whole) + 1, 4);
        std::vector<std::wstring> expected = MessageTexts(1, whole);
        expected.push_back(L"new");
        EXPECT_EQ(expected, Texts(LoadFrom(stream.bytes, HistoryStore::AllRecords).records));
    }
}

TEST(HistoryStoreTest, AppendAdoptsRecordsTheHeaderDidNotCount)
{
    // The header write of an earlier append failed and could not be undone: a whole record stands
    // after those the header counts.
    Bytes three = Sample(3);
    Bytes four = Sample(4);
    Bytes stale = Concat({Bytes(three.begin(), three.begin() + 44), Bytes(four.begin() + 44, four.end())});
    Loaded before = LoadFrom(stale, HistoryStore::AllRecords);
    EXPECT_EQ(HistoryOk, before.result);
    EXPECT_EQ(MessageTexts(1, 4), Texts(before.records));

    MemoryStream stream(stale);
    ASSERT_EQ(HistoryOk, HistoryStore::Append(stream, kContact, Message(5, 1, L"fifth")));
    ExpectConsistent(stream.bytes, 5, 5);
    Loaded after = LoadFrom(stream.bytes, HistoryStore::AllRecords);
    std::vector<std::wstring> expected = MessageTexts(1, 4);
    expected.push_back(L"fifth");
    EXPECT_EQ(expected, Texts(after.records));
    for (unsigned i = 0; i < 5; ++i) EXPECT_EQ(i + 1, after.records[i].number);
}

TEST(HistoryStoreTest, AppendAfterAHeaderThatCountedAMissingRecord)
{
    // A header rewritten before its record was written, and the record never came.
    Bytes three = Sample(3);
    Bytes file = three;
    Write32(file, 4, Read32(file, 4) + 40);
    Write32(file, 34, 4);
    Write32(file, 38, 4);
    MemoryStream stream(file);
    ASSERT_EQ(HistoryOk, HistoryStore::Append(stream, kContact, Message(5, 1, L"next")));
    ExpectConsistent(stream.bytes, 4, 5);
    Loaded loaded = LoadFrom(stream.bytes, HistoryStore::AllRecords);
    EXPECT_EQ(HistoryOk, loaded.result);
    std::vector<std::wstring> expected = MessageTexts(1, 3);
    expected.push_back(L"next");
    EXPECT_EQ(expected, Texts(loaded.records));
    EXPECT_EQ(5u, loaded.records.back().number);
}

// Damaged samples: every cut, every byte changed three ways, and zeros after the records.
std::vector<std::pair<std::string, Bytes>> DamagedSamples(const Bytes& good)
{
    std::vector<std::pair<std::string, Bytes>> samples;
    for (size_t cut = 0; cut < good.size(); ++cut)
        samples.emplace_back("cut at " + std::to_string(cut), Bytes(good.begin(), good.begin() + cut));
    for (size_t at = 0; at < good.size(); ++at) {
        for (int how = 0; how < 3; ++how) {
            Bytes file = good;
            file[at] = how == 0 ? (unsigned char)~file[at] : how == 1 ? 0 : (unsigned char)(file[at] + 1);
            if (file != good) samples.emplace_back("byte " + std::to_string(at) + " changed " + std::to_string(how), file);
        }
    }
    for (size_t zeros : {1, 5, 6, 7, 12, 40, 1000}) {
        Bytes file = good;
        file.resize(good.size() + zeros, 0);
        samples.emplace_back(std::to_string(zeros) + " zeros after", file);
    }
    return samples;
}

TEST(HistoryStoreTest, AMessageAppendedToADamagedFileIsAlwaysShown)
{
    const Bytes good = Sample(5);
    for (const auto& sample : DamagedSamples(good)) {
        SCOPED_TRACE(sample.first);
        Loaded before = LoadFrom(sample.second, HistoryStore::AllRecords);
        MemoryStream stream(sample.second);
        int result = HistoryStore::Append(stream, kContact, Message(77, 1, L"new"));
        if (result != HistoryOk) {
            // Refused only for a header that cannot be read or is another contact's: untouched.
            EXPECT_TRUE(result == HistoryBadHeader || result == HistoryBadVersion || result == HistoryCannotOpen) << result;
            EXPECT_EQ(sample.second, stream.bytes);
            continue;
        }
        // Everything shown before is still shown, and the new message after it.
        Loaded all = LoadFrom(stream.bytes, HistoryStore::AllRecords);
        std::vector<std::wstring> expected = Texts(before.records);
        expected.push_back(L"new");
        EXPECT_EQ(expected, Texts(all.records));
        for (unsigned n : {1u, 3u}) {
            Loaded last = LoadFrom(stream.bytes, n);
            std::vector<std::wstring> tail(expected.end() - std::min<size_t>(n, expected.size()), expected.end());
            EXPECT_EQ(tail, Texts(last.records)) << "last " << n;
        }
        // Nothing was dropped: the file and what was set aside hold every byte there was after the
        // header, except where the new record went.
        EXPECT_GE(stream.bytes.size() + stream.aside.size(), sample.second.size());
        if (HasFailure()) break;
    }
}

TEST(HistoryStoreTest, FailedAppendLeavesTheFileAsItWas)
{
    struct Case {
        const char* name;
        size_t failWrite;
        size_t shortBytes;
        bool failFlush;
    };
    const Case cases[] = {
        {"record not written at all", 0, 0, false},
        {"record written in part", 0, 10, false},
        {"flush fails", size_t(-1), 0, true},
        {"header not written", 1, 0, false},
        {"header written in part", 1, 20, false},
    };
    const Bytes three = Sample(3);
    const Bytes withGarbage = Concat({three, {0xAB, 0xCD, 0xEF, 0x01, 0x02, 0x03, 0x04}});
    struct File {
        const char* name;
        Bytes bytes;
        std::vector<std::wstring> shown;
    } files[] = {{"new file", Bytes(), {}},
                 {"file of 3", three, MessageTexts(1, 3)},
                 {"file of 3 and garbage to set aside", withGarbage, MessageTexts(1, 3)}};
    for (const File& file : files) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", " + file.name);
            const Bytes& before = file.bytes;
            MemoryStream stream(before);
            stream.failWrite = c.failWrite;
            stream.shortWriteBytes = c.shortBytes;
            stream.failFlush = c.failFlush;
            EXPECT_EQ(HistoryRecordError, HistoryStore::Append(stream, kContact, Message(1, 0, L"lost")));
            EXPECT_EQ(before, stream.bytes);

            // The next append works as if the failed one never happened.
            stream.failWrite = size_t(-1);
            stream.failFlush = false;
            ASSERT_EQ(HistoryOk, HistoryStore::Append(stream, kContact, Message(2, 0, L"kept")));
            Loaded loaded = LoadFrom(stream.bytes, HistoryStore::AllRecords);
            EXPECT_EQ(HistoryOk, loaded.result);
            std::vector<std::wstring> expected = file.shown;
            expected.push_back(L"kept");
            EXPECT_EQ(expected, Texts(loaded.records));
        }
    }

    // Bytes that cannot be set aside are not overwritten.
    MemoryStream stream(withGarbage);
    stream.failAside = true;
    EXPECT_EQ(HistoryRecordError, HistoryStore::Append(stream, kContact, Message(1, 0, L"lost")));
    EXPECT_EQ(withGarbage, stream.bytes);
    EXPECT_EQ((std::vector<std::string>{"aside 7"}), stream.log);
}

TEST(HistoryStoreTest, VersionAndMagicAreChecked)
{
    Bytes good = Sample(2);
    struct Case {
        const char* name;
        size_t at;
        unsigned char value;
        int result;
    };
    const Case cases[] = {{"version 2", 3, 2, HistoryBadVersion},
                          {"version 0", 3, 0, HistoryBadVersion},
                          {"magic", 0, 'X', HistoryBadHeader},
                          {"magic's last letter", 2, 'G', HistoryBadHeader}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file = good;
        file[c.at] = c.value;
        EXPECT_EQ(c.result, LoadFrom(file, HistoryStore::AllRecords).result);
        EXPECT_EQ(c.result, LoadFrom(file, 1).result);
        MemoryStream stream(file);
        EXPECT_EQ(c.result, HistoryStore::Append(stream, kContact, Message(1, 0, L"x")));
        EXPECT_EQ(file, stream.bytes);
    }
}

TEST(HistoryStoreTest, AnotherContactsFileIsNotOpened)
{
    Bytes file = Sample(2);
    const HistoryStore::ContactStrings other = {CZELString(L"1234"), CZELString(L"Bob")};
    MemoryStream stream(file);
    EXPECT_EQ(HistoryCannotOpen, HistoryStore::Append(stream, other, Message(1, 0, L"x")));
    EXPECT_EQ(file, stream.bytes);
    std::vector<HistoryRecord> records;
    EXPECT_EQ(HistoryCannotOpen, HistoryStore::Load(stream, other, HistoryStore::AllRecords, records));
    EXPECT_EQ(HistoryCannotOpen, HistoryStore::Load(stream, other, 1, records));
    EXPECT_TRUE(records.empty());

    // A name too long for the header still matches its own file.
    std::wstring longName(40000, L'\x0416');  // 80,000 bytes of UTF-8
    const HistoryStore::ContactStrings longContact = {CZELString(longName.c_str(), int(longName.size())), CZELString()};
    MemoryStream longFile;
    ASSERT_EQ(HistoryOk, HistoryStore::Append(longFile, longContact, Message(1, 0, L"a")));
    ASSERT_EQ(HistoryOk, HistoryStore::Append(longFile, longContact, Message(2, 0, L"b")));
    EXPECT_EQ(HistoryOk, HistoryStore::Load(longFile, longContact, HistoryStore::AllRecords, records));
    EXPECT_EQ(2u, records.size());
}

TEST(HistoryStoreTest, AnUnusableRecordHidesOnlyItself)
{
    // The second of four records has no text item: the first loads from the start, the last two
    // from the end.
    MemoryStream stream;
    for (int i = 1; i <= 4; ++i) ASSERT_EQ(HistoryOk, HistoryStore::Append(stream, kContact, Message(i, 0, MessageText(i))));
    Bytes file = stream.bytes;
    size_t headerSize = 0;
    std::vector<size_t> starts = RecordStarts(file, headerSize);
    file[starts[1] + 6 + 8 + 8 + 7 + 1] = 5;  // item 4 becomes item 5
    Loaded all = LoadFrom(file, HistoryStore::AllRecords);
    EXPECT_EQ(HistoryOk, all.result);
    EXPECT_EQ((std::vector<std::wstring>{MessageText(1), MessageText(3), MessageText(4)}), Texts(all.records));
    Loaded last = LoadFrom(file, 2);
    EXPECT_EQ(HistoryOk, last.result);
    EXPECT_EQ(MessageTexts(3, 4), Texts(last.records));
    Loaded three = LoadFrom(file, 3);
    EXPECT_EQ(Texts(all.records), Texts(three.records));
}

TEST(HistoryStoreTest, LongTextsAreCutToTheItemLength)
{
    MemoryStream stream;
    std::wstring text(70000, L'a');
    ASSERT_EQ(HistoryOk, HistoryStore::Append(stream, kContact, Message(1, 0, text)));
    ASSERT_EQ(HistoryOk, HistoryStore::Append(stream, kContact, Message(2, 0, L"next")));
    Loaded loaded = LoadFrom(stream.bytes, HistoryStore::AllRecords);
    ASSERT_EQ(2u, loaded.records.size());
    EXPECT_EQ(std::wstring(65535, L'a'), Text(loaded.records[0].text));
    EXPECT_EQ(L"next", Text(loaded.records[1].text));
    EXPECT_EQ(L"next", Text(LoadFrom(stream.bytes, 1).records.at(0).text));
}

// ---------------------------------------------------------------------------------------------------
// CHistoryFile over real files

class FakeContacts : public IHistoryContacts {
public:
    bool Describe(int contact, HistoryContactInfo& out) override
    {
        auto found = contacts.find(contact);
        if (found == contacts.end()) return false;
        out = found->second;
        return true;
    }

    std::map<int, HistoryContactInfo> contacts;
};

HistoryContactInfo Contact(const wchar_t* protocol, const wchar_t* account, const wchar_t* name, const wchar_t* alias,
                           bool inGroup)
{
    HistoryContactInfo info;
    info.protocolName = CZELString(protocol);
    info.accountName = CZELString(account);
    info.contactName = CZELString(name);
    info.alias = CZELString(alias);
    info.inGroup = inGroup;
    return info;
}

using TestSupport::FileExists;
using TestSupport::ReadWholeFile;
using TestSupport::WriteWholeFile;

// Files directly in a folder (ending with "\").
std::vector<std::wstring> FilesIn(const std::wstring& folder)
{
    std::vector<std::wstring> out;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return out;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) out.push_back(found.cFileName);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    std::sort(out.begin(), out.end());
    return out;
}

// A private folder holding the history folder "History\" (not created: the operations make it) and
// the settings file.
class HistoryFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        temp.reset(new TestSupport::TempFolder(L"ZelHistoryTest"));
        root = temp->path;
        folder = root + L"History\\";
        settings.reset(new CSettingsStore(nullptr, CZELString((root + L"settings.zel").c_str())));
        contacts.contacts[1] = Contact(L"Wex", L"111", L"12345", L"Bob", true);
        contacts.contacts[2] = Contact(L"Wex", L"111", L"67890", L"Temp", false);
        contacts.contacts[3] = Contact(L"XMPP", L"me@example.org", L"", L"", true);
    }

    void TearDown() override
    {
        settings.reset();
        temp.reset();
    }

    CHistoryFile History()
    {
        HistoryPlace place;
        place.folder = CZELString(folder.c_str());
        place.contacts = &contacts;
        place.settings = settings.get();
        return CHistoryFile(place);
    }

    // Appends messages 1 to 3 of contact 1; the file's path.
    std::wstring ThreeMessages()
    {
        CHistoryFile history = History();
        for (int i = 1; i <= 3; ++i)
            EXPECT_EQ(HistoryOk, history.Append(1, 1, 0, 0, i, CZELString(MessageText(i).c_str())));
        return folder + L"Wex_111_12345.zhf";
    }

    void SetByte(const wchar_t* key, char value)
    {
        settings->SetByte(GUID_GUI, CZELString(key), &value);
    }

    std::unique_ptr<TestSupport::TempFolder> temp;
    std::wstring root, folder;
    std::unique_ptr<CSettingsStore> settings;
    FakeContacts contacts;
};

TEST_F(HistoryFileTest, PathIsProtocolAccountAndContactInTheHistoryFolder)
{
    CHistoryFile history = History();
    EXPECT_EQ(folder + L"Wex_111_12345.zhf", Text(history.GetPath(1)));
    EXPECT_TRUE(FileExists(folder));  // made when the path is built
    EXPECT_TRUE(history.GetPath(99).IsEmpty());
}

TEST_F(HistoryFileTest, FirstMessageCreatesTheFile)
{
    CHistoryFile history = History();
    ASSERT_EQ(HistoryOk, history.Append(1, 1, 1, 0, 0x5F5E1000, CZELString(L"Hi")));
    Bytes bytes;
    ASSERT_TRUE(ReadWholeFile(folder + L"Wex_111_12345.zhf", bytes));
    size_t header = 44 + 2 + 6 + 2 + 4;
    ASSERT_EQ(header + 35, bytes.size());
    EXPECT_EQ(35u, Read32(bytes, 4));
    EXPECT_EQ(1u, Read32(bytes, 34));
    EXPECT_EQ(1u, Read32(bytes, 38));
    EXPECT_EQ(1u, Read32(bytes, header + 6 + 4));  // item 1 of the record
    EXPECT_EQ(Bytes({0x00, 0x04, 0x00, 0x02, 'H', 'i'}), Bytes(bytes.end() - 6, bytes.end()));
}

TEST_F(HistoryFileTest, EmptyAccountNameIsOneZeroByte)
{
    CHistoryFile history = History();
    ASSERT_EQ(HistoryOk, history.Append(3, 1, 0, 0, 1, CZELString(L"x")));
    Bytes bytes;
    ASSERT_TRUE(ReadWholeFile(Text(history.GetPath(3)), bytes));
    EXPECT_EQ(Bytes({0, 1, 0, 0, 1, 0}), Bytes(bytes.begin() + 44, bytes.begin() + 50));
    EXPECT_EQ(folder + L"XMPP_me@example.org_.zhf", Text(history.GetPath(3)));
}

TEST_F(HistoryFileTest, LoadsNameTheWriters)
{
    CHistoryFile history = History();
    ASSERT_EQ(HistoryOk, history.Append(1, 1, 0, 0, 1000000000, CZELString(L"hello")));
    ASSERT_EQ(HistoryOk, history.Append(1, 1, 1, 0, 1000000060, CZELString(L"hi Bob")));

    CZELArray<ChatLogEntry> entries;
    ASSERT_EQ(HistoryOk, history.LoadAll(1, entries));
    ASSERT_EQ(2, entries.GetCount());
    EXPECT_EQ(0, entries[0].direction);
    EXPECT_EQ(24, entries[0].kind);
    EXPECT_EQ(L"Bob", Text(entries[0].name));
    EXPECT_EQ(L"hello", Text(entries[0].text));
    EXPECT_EQ(L"(" + Text(CZELTime(1000000000u).ToString(CZELString(L"%c"))) + L")", Text(entries[0].timeText));
    EXPECT_EQ(1, entries[1].direction);
    EXPECT_EQ(25, entries[1].kind);
    EXPECT_EQ(L"I", Text(entries[1].name));  // no "MWYourName"
    EXPECT_EQ(L"hi Bob", Text(entries[1].text));

    settings->SetString(GUID_GUI, CZELString(L"MWYourName"), CZELString(L"Me"));
    contacts.contacts[1].alias = CZELString(L"Robert");  // the alias of now, not of the header
    CZELArray<ChatLogEntry> last;
    last.Add(ChatLogEntry());  // loads append
    ASSERT_EQ(HistoryOk, history.LoadLast(1, 1, last));
    ASSERT_EQ(2, last.GetCount());
    EXPECT_EQ(L"Me", Text(last[1].name));
    CZELArray<ChatLogEntry> again;
    ASSERT_EQ(HistoryOk, history.LoadLast(1, 5, again));
    ASSERT_EQ(2, again.GetCount());
    EXPECT_EQ(L"Robert", Text(again[0].name));
}

TEST_F(HistoryFileTest, SettingsDecideWhatIsKept)
{
    struct Case {
        const char* name;
        int saveHist;         // -1: not set
        int saveNotInList;
        bool groupedWritten;
        bool tempWritten;
    };
    const Case cases[] = {
        {"defaults", -1, -1, true, true},
        {"both on", 1, 1, true, true},
        {"not in list off", 1, 0, true, false},
        {"history off", 0, 1, false, false},
        {"both off", 0, 0, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        if (c.saveHist >= 0) SetByte(L"HistSaveHist", char(c.saveHist));
        if (c.saveNotInList >= 0) SetByte(L"HistSaveNotInList", char(c.saveNotInList));
        CHistoryFile history = History();
        EXPECT_EQ(HistoryOk, history.Append(1, 1, 0, 0, 1, CZELString(L"grouped")));
        EXPECT_EQ(HistoryOk, history.Append(2, 1, 0, 0, 1, CZELString(L"temporary")));
        EXPECT_EQ(c.groupedWritten, FileExists(folder + L"Wex_111_12345.zhf"));
        EXPECT_EQ(c.tempWritten, FileExists(folder + L"Wex_111_67890.zhf"));
    }
}

TEST_F(HistoryFileTest, UnsafeNamesStayInTheHistoryFolder)
{
    const wchar_t* names[] = {L"..\\..\\evil",  L"../../evil", L"C:\\Windows\\evil", L"a:stream", L"..",
                              L"CON",           L"nul.txt",    L"a*b?c\"d<e>f|g",    L"dots...",  L"\\\\server\\share\\x",
                              L"tab\there"};
    int id = 100;
    for (const wchar_t* name : names) {
        SCOPED_TRACE(testing::Message() << "name " << (id - 100) / 3);
        for (int part = 0; part < 3; ++part) {
            HistoryContactInfo info = Contact(L"Wex", L"111", L"12345", L"", true);
            (part == 0 ? info.protocolName : part == 1 ? info.accountName : info.contactName) = CZELString(name);
            contacts.contacts[++id] = info;
            CHistoryFile history = History();
            std::wstring path = Text(history.GetPath(id));
            ASSERT_EQ(folder, path.substr(0, folder.size()));
            std::wstring file = path.substr(folder.size());
            EXPECT_EQ(std::wstring::npos, file.find_first_of(L"\\/:"));
            EXPECT_EQ(std::wstring::npos, file.find(L".."));
            ASSERT_EQ(HistoryOk, history.Append(id, 1, 0, 0, 1, CZELString(L"x")));
            EXPECT_TRUE(FileExists(path));
            CZELArray<ChatLogEntry> entries;
            EXPECT_EQ(HistoryOk, history.LoadAll(id, entries));
            EXPECT_EQ(1, entries.GetCount());
            EXPECT_TRUE(history.Delete(id));
        }
    }
    // Nothing was written anywhere else in the tree.
    for (const std::wstring& name : FilesIn(root)) EXPECT_EQ(L"settings.zel", name);
    EXPECT_FALSE(FileExists(root + L"evil.zhf"));
}

TEST_F(HistoryFileTest, NamesThatDifferKeepFilesOfTheirOwn)
{
    contacts.contacts[10] = Contact(L"XMPP", L"me", L"john*doe", L"John", true);
    contacts.contacts[11] = Contact(L"XMPP", L"me", L"john?doe", L"Mallory", true);
    contacts.contacts[12] = Contact(L"XMPP", L"me", L"JOHN*DOE", L"John", true);  // the file system's view
    contacts.contacts[13] = Contact(L"XMPP", L"me", L"john_doe", L"Jo", true);
    CHistoryFile history = History();
    EXPECT_NE(history.GetPath(10), history.GetPath(11));
    EXPECT_NE(history.GetPath(10), history.GetPath(13));
    ASSERT_EQ(HistoryOk, history.Append(10, 1, 0, 0, 1, CZELString(L"from John")));
    ASSERT_EQ(HistoryOk, history.Append(11, 1, 0, 0, 2, CZELString(L"from Mallory")));
    ASSERT_EQ(HistoryOk, history.Append(13, 1, 0, 0, 2, CZELString(L"from Jo")));
    ASSERT_EQ(HistoryOk, history.Append(12, 1, 0, 0, 3, CZELString(L"again")));

    // Clearing one contact's history leaves the others'.
    EXPECT_TRUE(history.Delete(11));
    CZELArray<ChatLogEntry> entries;
    ASSERT_EQ(HistoryOk, history.LoadAll(10, entries));
    ASSERT_EQ(2, entries.GetCount());
    EXPECT_EQ(L"from John", Text(entries[0].text));
    EXPECT_EQ(L"again", Text(entries[1].text));
    CZELArray<ChatLogEntry> jo;
    ASSERT_EQ(HistoryOk, history.LoadAll(13, jo));
    ASSERT_EQ(1, jo.GetCount());
    EXPECT_EQ(HistoryCannotOpen, history.LoadAll(11, entries));

    // And the cleared contact keeps a history again.
    ASSERT_EQ(HistoryOk, history.Append(11, 1, 0, 0, 4, CZELString(L"later")));
    CZELArray<ChatLogEntry> mallory;
    ASSERT_EQ(HistoryOk, history.LoadAll(11, mallory));
    ASSERT_EQ(1, mallory.GetCount());
    EXPECT_EQ(L"later", Text(mallory[0].text));
}

// "_" joins the parts, so account "me_x" with contact "bob" and account "me" with contact "x_bob"
// are given one name; its header tells whose it is, and the other contact keeps a file of its own.
TEST_F(HistoryFileTest, ContactsGivenOneNameEachKeepTheirOwnHistory)
{
    contacts.contacts[20] = Contact(L"XMPP", L"me_x", L"bob", L"Bob", true);
    contacts.contacts[21] = Contact(L"XMPP", L"me", L"x_bob", L"Xbob", true);
    const std::wstring shared = folder + L"XMPP_me_x_bob.zhf", own = folder + L"XMPP_me_x%5Fbob.zhf";
    CHistoryFile history = History();
    ASSERT_EQ(HistoryOk, history.Append(20, 1, 0, 0, 1, CZELString(L"to bob")));
    EXPECT_EQ(shared, Text(history.GetPath(20)));
    Bytes before;
    ASSERT_TRUE(ReadWholeFile(shared, before));

    ASSERT_EQ(HistoryOk, history.Append(21, 1, 0, 0, 2, CZELString(L"to x_bob")));
    EXPECT_EQ(own, Text(history.GetPath(21)));
    Bytes after;
    ASSERT_TRUE(ReadWholeFile(shared, after));
    EXPECT_EQ(before, after);
    CZELArray<ChatLogEntry> bob, xbob;
    ASSERT_EQ(HistoryOk, history.LoadAll(20, bob));
    ASSERT_EQ(HistoryOk, history.LoadAll(21, xbob));
    ASSERT_EQ(1, bob.GetCount());
    ASSERT_EQ(1, xbob.GetCount());
    EXPECT_EQ(L"to bob", Text(bob[0].text));
    EXPECT_EQ(L"to x_bob", Text(xbob[0].text));

    // The first contact's history deleted, the second's is still its own, not the freed name.
    EXPECT_TRUE(history.Delete(20));
    EXPECT_FALSE(FileExists(shared));
    EXPECT_EQ(own, Text(history.GetPath(21)));
    CZELArray<ChatLogEntry> again;
    ASSERT_EQ(HistoryOk, history.LoadLast(21, 4, again));
    ASSERT_EQ(1, again.GetCount());
    EXPECT_TRUE(history.Delete(21));
    EXPECT_FALSE(FileExists(own));
    EXPECT_EQ(shared, Text(history.GetPath(21)));
}

// A file under the shared name whose header cannot be read may be the contact's own, damaged: it is
// not passed over for a new file.
TEST_F(HistoryFileTest, ADamagedFileUnderTheSharedNameIsNotPassedOver)
{
    contacts.contacts[20] = Contact(L"XMPP", L"me_x", L"bob", L"Bob", true);
    const std::wstring shared = folder + L"XMPP_me_x_bob.zhf", own = folder + L"XMPP_me_x%5Fbob.zhf";
    CHistoryFile history = History();
    EXPECT_EQ(shared, Text(history.GetPath(20)));  // the folder is made with the path
    ASSERT_TRUE(WriteWholeFile(shared, Bytes{'Z', 'H'}));
    EXPECT_EQ(shared, Text(history.GetPath(20)));
    EXPECT_EQ(HistoryBadHeader, history.Append(20, 1, 0, 0, 1, CZELString(L"x")));
}

TEST_F(HistoryFileTest, DeleteRemovesTheFile)
{
    CHistoryFile history = History();
    EXPECT_FALSE(history.Delete(1));  // none yet
    ASSERT_EQ(HistoryOk, history.Append(1, 1, 0, 0, 1, CZELString(L"x")));
    ASSERT_TRUE(FileExists(folder + L"Wex_111_12345.zhf"));
    EXPECT_TRUE(history.Delete(1));
    EXPECT_FALSE(FileExists(folder + L"Wex_111_12345.zhf"));
    EXPECT_FALSE(history.Delete(1));
    EXPECT_FALSE(history.Delete(99));
    CZELArray<ChatLogEntry> entries;
    EXPECT_EQ(HistoryCannotOpen, history.LoadAll(1, entries));
}

TEST_F(HistoryFileTest, UnknownContactsAndMissingFilesCannotBeOpened)
{
    CHistoryFile history = History();
    CZELArray<ChatLogEntry> entries;
    EXPECT_EQ(HistoryCannotOpen, history.Append(99, 1, 0, 0, 1, CZELString(L"x")));
    EXPECT_EQ(HistoryCannotOpen, history.LoadAll(99, entries));
    EXPECT_EQ(HistoryCannotOpen, history.LoadLast(99, 4, entries));
    EXPECT_EQ(HistoryCannotOpen, history.LoadAll(1, entries));
    EXPECT_EQ(HistoryCannotOpen, history.LoadLast(1, 4, entries));
    EXPECT_EQ(0, entries.GetCount());
    EXPECT_FALSE(FileExists(folder + L"Wex_111_12345.zhf"));  // loading creates nothing
}

TEST_F(HistoryFileTest, WithoutItsOwnContactsItAsksTheBus)
{
    // The program's contact-list data knows no such contact (or is not on the bus at all).
    HistoryPlace place;
    place.folder = CZELString(folder.c_str());
    place.settings = settings.get();
    CHistoryFile history(place);
    const int unknown = 0x7FFFFFF0;
    CZELArray<ChatLogEntry> entries;
    EXPECT_EQ(HistoryCannotOpen, history.Append(unknown, 1, 0, 0, 1, CZELString(L"x")));
    EXPECT_EQ(HistoryCannotOpen, history.LoadAll(unknown, entries));
    EXPECT_TRUE(history.GetPath(unknown).IsEmpty());
    EXPECT_FALSE(history.Delete(unknown));
    EXPECT_TRUE(FilesIn(folder).empty());
}

TEST_F(HistoryFileTest, AFileInUseCannotBeOpened)
{
    CHistoryFile history = History();
    ASSERT_EQ(HistoryOk, history.Append(1, 1, 0, 0, 1, CZELString(L"x")));
    std::wstring path = folder + L"Wex_111_12345.zhf";
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    CZELArray<ChatLogEntry> entries;
    EXPECT_EQ(HistoryCannotOpen, history.Append(1, 1, 0, 0, 2, CZELString(L"y")));
    EXPECT_EQ(HistoryCannotOpen, history.LoadAll(1, entries));
    CloseHandle(held);
    EXPECT_EQ(HistoryOk, history.LoadAll(1, entries));
    EXPECT_EQ(1, entries.GetCount());
}

TEST_F(HistoryFileTest, FilesThatAreNoVersionOneHistoryAreRefusedAndLeftUntouched)
{
    CHistoryFile history = History();
    ASSERT_EQ(HistoryOk, history.Append(1, 1, 0, 0, 1, CZELString(L"x")));
    std::wstring path = folder + L"Wex_111_12345.zhf";
    Bytes good;
    ASSERT_TRUE(ReadWholeFile(path, good));
    struct Case {
        const char* name;
        Bytes file;
        int result;
    } cases[] = {
        {"version 2", Concat({{'Z', 'H', 'F', 2}, Bytes(good.begin() + 4, good.end())}), HistoryBadVersion},
        {"cut inside the header", Bytes(good.begin(), good.begin() + 40), HistoryBadHeader},
        {"cut inside a string", Bytes(good.begin(), good.begin() + 47), HistoryBadHeader},
        {"another kind of file", Concat({{'M', 'Z', 0x90, 1}, Bytes(good.begin() + 4, good.end())}), HistoryBadHeader},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(WriteWholeFile(path, c.file));
        CZELArray<ChatLogEntry> entries;
        EXPECT_EQ(c.result, history.Append(1, 1, 0, 0, 2, CZELString(L"y")));
        EXPECT_EQ(c.result, history.LoadAll(1, entries));
        EXPECT_EQ(c.result, history.LoadLast(1, 4, entries));
        EXPECT_EQ(0, entries.GetCount());
        EXPECT_FALSE(history.Delete(1));
        Bytes after;
        ASSERT_TRUE(ReadWholeFile(path, after));
        EXPECT_EQ(c.file, after);
    }
}

TEST_F(HistoryFileTest, ADamagedFileKeepsItsRecordsThroughAppend)
{
    CHistoryFile history = History();
    std::wstring path = ThreeMessages();
    Bytes bytes;
    ASSERT_TRUE(ReadWholeFile(path, bytes));
    bytes.resize(bytes.size() - 5);  // the last record cut short
    ASSERT_TRUE(WriteWholeFile(path, bytes));

    CZELArray<ChatLogEntry> entries;
    EXPECT_EQ(HistoryOk, history.LoadAll(1, entries));
    EXPECT_EQ(2, entries.GetCount());
    ASSERT_EQ(HistoryOk, history.Append(1, 1, 1, 0, 4, CZELString(L"after")));
    CZELArray<ChatLogEntry> repaired;
    ASSERT_EQ(HistoryOk, history.LoadAll(1, repaired));
    ASSERT_EQ(3, repaired.GetCount());
    EXPECT_EQ(MessageText(1), Text(repaired[0].text));
    EXPECT_EQ(MessageText(2), Text(repaired[1].text));
    EXPECT_EQ(L"after", Text(repaired[2].text));
}

TEST_F(HistoryFileTest, APaddedFileIsRepairedAndItsPaddingKeptBesideIt)
{
    CHistoryFile history = History();
    std::wstring path = ThreeMessages();
    Bytes good;
    ASSERT_TRUE(ReadWholeFile(path, good));
    Bytes padded = Concat({good, Bytes(512, 0)});
    ASSERT_TRUE(WriteWholeFile(path, padded));

    ASSERT_EQ(HistoryOk, history.Append(1, 1, 1, 0, 4, CZELString(L"after")));
    std::vector<std::wstring> expected = MessageTexts(1, 3);
    expected.push_back(L"after");
    CZELArray<ChatLogEntry> all, last;
    ASSERT_EQ(HistoryOk, history.LoadAll(1, all));
    ASSERT_EQ(HistoryOk, history.LoadLast(1, 2, last));
    std::vector<std::wstring> allTexts, lastTexts;
    for (int i = 0; i < all.GetCount(); ++i) allTexts.push_back(Text(all[i].text));
    for (int i = 0; i < last.GetCount(); ++i) lastTexts.push_back(Text(last[i].text));
    EXPECT_EQ(expected, allTexts);
    EXPECT_EQ(std::vector<std::wstring>(expected.end() - 2, expected.end()), lastTexts);

    // The padding went to a file beside the history file; clearing the history removes both.
    std::wstring aside = Text(CHistoryFileStream::AsidePath(CZELString(path.c_str())));
    EXPECT_EQ(path + L".damaged", aside);
    Bytes kept;
    ASSERT_TRUE(ReadWholeFile(aside, kept));
    EXPECT_EQ(Bytes(512, 0), kept);
    EXPECT_TRUE(history.Delete(1));
    EXPECT_FALSE(FileExists(path));
    EXPECT_FALSE(FileExists(aside));
}

TEST_F(HistoryFileTest, ManyMessagesRoundTrip)
{
    CHistoryFile history = History();
    for (int i = 1; i <= 200; ++i)
        ASSERT_EQ(HistoryOk, history.Append(1, 1, (unsigned char)(i % 2), 0, i, CZELString(MessageText(i).c_str())));
    CZELArray<ChatLogEntry> all;
    ASSERT_EQ(HistoryOk, history.LoadAll(1, all));
    ASSERT_EQ(200, all.GetCount());
    for (int i = 0; i < 200; ++i) EXPECT_EQ(MessageText(i + 1), Text(all[i].text));
    CZELArray<ChatLogEntry> last;
    ASSERT_EQ(HistoryOk, history.LoadLast(1, 4, last));
    ASSERT_EQ(4, last.GetCount());
    for (int i = 0; i < 4; ++i) EXPECT_EQ(MessageText(197 + i), Text(last[i].text));
}

}  // namespace
