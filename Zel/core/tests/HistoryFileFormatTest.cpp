#include "Zel/core/history/HistoryFileFormat.h"

#include "ZELCommon/ZELTime.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes Ascii(const char* text)
{
    return Bytes(text, text + std::char_traits<char>::length(text));
}

Bytes BE32(unsigned n)
{
    return {(unsigned char)(n >> 24), (unsigned char)(n >> 16), (unsigned char)(n >> 8), (unsigned char)n};
}

std::wstring Text(const CZELString& s)
{
    return s.GetBuffer() ? std::wstring(s.GetBuffer(), size_t(s.GetLength())) : std::wstring();
}

// The 44 fixed bytes of a header, by hand.
Bytes Fixed(unsigned total, unsigned count, unsigned last, unsigned char version = 1)
{
    return Concat({Ascii("ZHF"), {version}, BE32(total), Bytes(26, 0), BE32(count), BE32(last), {0, 1}});
}

// A header string: u16 length with the zero byte, the bytes, the zero.
Bytes Str(const char* text)
{
    Bytes bytes = Ascii(text);
    unsigned short length = (unsigned short)(bytes.size() + 1);
    return Concat({{(unsigned char)(length >> 8), (unsigned char)length}, bytes, {0}});
}

TEST(HistoryFileFormatTest, NewHeaderMatchesTheGoldenBytes)
{
    HistoryHeader header = HistoryFormat::NewHeader(CZELString(L"12345"), CZELString(L"Bob"));
    Bytes golden = Concat({Fixed(0, 0, 0), Str("12345"), Str("Bob")});
    ASSERT_EQ(44u + 2 + 6 + 2 + 4, golden.size());
    EXPECT_EQ(golden, HistoryFormat::EncodeHeader(header));
    EXPECT_EQ(golden.size(), header.GetSize());
}

TEST(HistoryFileFormatTest, EmptyStringsAreOneZeroByte)
{
    HistoryHeader header = HistoryFormat::NewHeader(CZELString(), CZELString());
    EXPECT_EQ(Concat({Fixed(0, 0, 0), {0, 1, 0}, {0, 1, 0}}), HistoryFormat::EncodeHeader(header));
}

TEST(HistoryFileFormatTest, HeaderStringsAreUtf8)
{
    HistoryHeader header = HistoryFormat::NewHeader(CZELString(L"\x0416"), CZELString(L"\x20AC"));
    EXPECT_EQ(Concat({Fixed(0, 0, 0), {0, 3, 0xD0, 0x96, 0}, {0, 4, 0xE2, 0x82, 0xAC, 0}}),
              HistoryFormat::EncodeHeader(header));
    EXPECT_EQ(L"\x0416", Text(HistoryFormat::HeaderText(header.contactName)));
    EXPECT_EQ(L"\x20AC", Text(HistoryFormat::HeaderText(header.alias)));
}

TEST(HistoryFileFormatTest, DecodesAHeaderAndKeepsWhatItDoesNotUse)
{
    Bytes bytes = Concat({Ascii("ZHF"), {1}, BE32(0x11223344), Bytes(26, 0), BE32(7), BE32(9), {0, 5},
                          Str("a"), Str("bc")});
    for (int i = 0; i < 26; ++i) bytes[8 + i] = (unsigned char)(0xA0 + i);
    HistoryHeader header;
    HistoryFormat::HeaderDecode decoded = HistoryFormat::DecodeHeader(bytes.data(), bytes.size(), header);
    ASSERT_EQ(HistoryOk, decoded.result);
    EXPECT_EQ(0x11223344u, header.totalSize);
    EXPECT_EQ(7u, header.recordCount);
    EXPECT_EQ(9u, header.lastNumber);
    EXPECT_EQ(5, header.created);
    EXPECT_EQ(L"a", Text(HistoryFormat::HeaderText(header.contactName)));
    EXPECT_EQ(L"bc", Text(HistoryFormat::HeaderText(header.alias)));
    EXPECT_EQ(bytes.size(), header.GetSize());
    EXPECT_EQ(bytes, HistoryFormat::EncodeHeader(header));  // written back as read

    // Bytes after the header are not its business.
    Bytes longer = Concat({bytes, {0, 1, 2, 3}});
    EXPECT_EQ(HistoryOk, HistoryFormat::DecodeHeader(longer.data(), longer.size(), header).result);
    EXPECT_EQ(bytes.size(), header.GetSize());
}

TEST(HistoryFileFormatTest, StringsAreKeptInTheFormTheyWereRead)
{
    // No zero byte, and bytes after a zero: a damaged file's strings still round-trip unchanged, so
    // a rewritten header keeps its length.
    Bytes bytes = Concat({Fixed(0, 0, 0), {0, 2, 'a', 'b'}, {0, 4, 'c', 0, 'd', 0}});
    HistoryHeader header;
    ASSERT_EQ(HistoryOk, HistoryFormat::DecodeHeader(bytes.data(), bytes.size(), header).result);
    EXPECT_EQ(L"ab", Text(HistoryFormat::HeaderText(header.contactName)));
    EXPECT_EQ(L"c", Text(HistoryFormat::HeaderText(header.alias)));
    EXPECT_EQ(bytes, HistoryFormat::EncodeHeader(header));

    Bytes empty = Concat({Fixed(0, 0, 0), {0, 0}, {0, 0}});
    ASSERT_EQ(HistoryOk, HistoryFormat::DecodeHeader(empty.data(), empty.size(), header).result);
    EXPECT_TRUE(HistoryFormat::HeaderText(header.contactName).IsEmpty());
    EXPECT_EQ(empty, HistoryFormat::EncodeHeader(header));
}

TEST(HistoryFileFormatTest, RejectsWhatIsNotAVersionOneHeader)
{
    struct Case {
        const char* name;
        Bytes bytes;
        int result;
    };
    const Bytes fixed = Fixed(0, 0, 0);
    const Bytes afterMagic(fixed.begin() + 3, fixed.end());
    const Case cases[] = {
        {"version 2", Concat({Fixed(0, 0, 0, 2), Str("a"), Str("b")}), HistoryBadVersion},
        {"version 0", Concat({Fixed(0, 0, 0, 0), Str("a"), Str("b")}), HistoryBadVersion},
        {"wrong magic", Concat({Ascii("ZHG"), afterMagic, Str("a"), Str("b")}),
         HistoryBadHeader},
        {"lower-case magic", Concat({Ascii("zhf"), afterMagic, Str("a"), Str("b")}),
         HistoryBadHeader},
        {"string 1 runs past the end", Concat({Fixed(0, 0, 0), {0xFF, 0xFF}, Ascii("abc")}), HistoryBadHeader},
        {"string 2 runs past the end", Concat({Fixed(0, 0, 0), Str("a"), {0x00, 0x09}, Ascii("abc")}), HistoryBadHeader},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HistoryHeader header;
        EXPECT_EQ(c.result, HistoryFormat::DecodeHeader(c.bytes.data(), c.bytes.size(), header).result);
    }
}

TEST(HistoryFileFormatTest, EveryTruncationOfAHeaderAsksForMore)
{
    Bytes bytes = Concat({Fixed(35, 1, 1), Str("12345"), Str("Bob")});
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        Bytes input(bytes.begin(), bytes.begin() + cut);
        HistoryHeader header;
        HistoryFormat::HeaderDecode decoded = HistoryFormat::DecodeHeader(input.data(), input.size(), header);
        EXPECT_EQ(HistoryBadHeader, decoded.result);
        // Reading what it asks for, again and again, reaches the whole header.
        EXPECT_GT(decoded.needed, cut);
        EXPECT_LE(decoded.needed, bytes.size());
        EXPECT_LE(decoded.errorOffset, cut);
    }
    HistoryHeader header;
    EXPECT_EQ(HistoryOk, HistoryFormat::DecodeHeader(bytes.data(), bytes.size(), header).result);
}

TEST(HistoryFileFormatTest, HostileStringLengthAsksOnlyForWhatItSays)
{
    Bytes bytes = Concat({Fixed(0, 0, 0), {0xFF, 0xFF}, Ascii("ab")});
    HistoryHeader header;
    HistoryFormat::HeaderDecode decoded = HistoryFormat::DecodeHeader(bytes.data(), bytes.size(), header);
    EXPECT_EQ(HistoryBadHeader, decoded.result);
    EXPECT_EQ(44u + 2 + 0xFFFF + 2, decoded.needed);
    EXPECT_EQ(44u, decoded.errorOffset);
}

// The record of the first message "Hi", sent at 0x5F5E1000, by hand.
const Bytes kGoldenRecord = Concat({{0x00, 0x01}, BE32(29),
                                    {0x00, 0x01, 0x00, 0x04}, BE32(1),
                                    {0x00, 0x02, 0x00, 0x04}, BE32(0x5F5E1000),
                                    {0x00, 0x03, 0x00, 0x03, 0x01, 0x00, 0x01},
                                    {0x00, 0x04, 0x00, 0x02, 'H', 'i'}});

HistoryRecord Record(unsigned number, unsigned time, unsigned char direction, const wchar_t* text)
{
    HistoryRecord record;
    record.number = number;
    record.time = time;
    record.direction = direction;
    record.flag1 = 0;
    record.flag2 = 1;
    record.text = CZELString(text);
    return record;
}

TEST(HistoryFileFormatTest, RecordMatchesTheGoldenBytes)
{
    EXPECT_EQ(kGoldenRecord, HistoryFormat::EncodeRecord(Record(1, 0x5F5E1000, 1, L"Hi")));
    EXPECT_EQ(29u, HistoryFormat::RecordBodyLength(kGoldenRecord.data()));
    unsigned number = 0;
    EXPECT_TRUE(HistoryFormat::IsWrittenRecord(kGoldenRecord.data(), kGoldenRecord.size(), &number));
    EXPECT_EQ(1u, number);
}

TEST(HistoryFileFormatTest, RecordsRoundTrip)
{
    const HistoryRecord records[] = {
        Record(1, 0, 0, L""),
        Record(0xFFFFFFFF, 0xFFFFFFFF, 1, L"\x041F\x0440\x0438\x0432\x0435\x0442 \xD83D\xDE00"),
        Record(7, 1234567890, 2, L"line\r\nnext"),
    };
    for (const HistoryRecord& record : records) {
        SCOPED_TRACE(record.number);
        Bytes bytes = HistoryFormat::EncodeRecord(record);
        ASSERT_EQ(bytes.size() - 6, HistoryFormat::RecordBodyLength(bytes.data()));
        HistoryRecord back;
        ASSERT_TRUE(HistoryFormat::DecodeRecordBody(bytes.data() + 6, bytes.size() - 6, back));
        EXPECT_EQ(record.number, back.number);
        EXPECT_EQ(record.time, back.time);
        EXPECT_EQ(record.direction, back.direction);
        EXPECT_EQ(record.flag1, back.flag1);
        EXPECT_EQ(record.flag2, back.flag2);
        EXPECT_EQ(Text(record.text), Text(back.text));
        EXPECT_TRUE(HistoryFormat::IsWrittenRecord(bytes.data(), bytes.size(), nullptr));
    }
}

TEST(HistoryFileFormatTest, TextIsStoredUpToItsFirstZeroAndWithinTheItemLength)
{
    EXPECT_EQ("ab", HistoryFormat::TextBytes(CZELString(L"ab\0cd", 5)));
    EXPECT_EQ("", HistoryFormat::TextBytes(CZELString(L"\0x", 2)));

    // 'a' and 21,845 euro signs: 65,536 bytes of UTF-8, one too many; the cut must not split a sign.
    std::wstring wide = L"a" + std::wstring(21845, L'\x20AC');
    std::string stored = HistoryFormat::TextBytes(CZELString(wide.c_str(), int(wide.size())));
    EXPECT_EQ(1u + 3 * 21844, stored.size());
    EXPECT_EQ('a', stored[0]);
    EXPECT_EQ("\xE2\x82\xAC", stored.substr(stored.size() - 3));

    HistoryRecord record = Record(1, 1, 0, L"");
    record.text = CZELString(wide.c_str(), int(wide.size()));
    Bytes bytes = HistoryFormat::EncodeRecord(record);
    EXPECT_TRUE(HistoryFormat::IsWrittenRecord(bytes.data(), bytes.size(), nullptr));
    HistoryRecord back;
    ASSERT_TRUE(HistoryFormat::DecodeRecordBody(bytes.data() + 6, bytes.size() - 6, back));
    EXPECT_EQ(wide.substr(0, 21845), Text(back.text));
}

TEST(HistoryFileFormatTest, BodiesWithoutTimeFlagsOrTextAreRefused)
{
    struct Case {
        const char* name;
        Bytes body;
        bool usable;
    };
    const Bytes number = Concat({{0, 1, 0, 4}, BE32(3)});
    const Bytes time = Concat({{0, 2, 0, 4}, BE32(1000)});
    const Bytes flags = {0, 3, 0, 3, 1, 0, 1};
    const Bytes text = {0, 4, 0, 1, 'x'};
    const Case cases[] = {
        {"all four", Concat({number, time, flags, text}), true},
        {"any order, no number", Concat({text, flags, time}), true},
        {"only one flag byte", Concat({time, {0, 3, 0, 1, 1}, text}), true},
        {"empty text", Concat({time, flags, {0, 4, 0, 0}}), true},
        {"no time", Concat({number, flags, text}), false},
        {"no flags", Concat({number, time, text}), false},
        {"no text", Concat({number, time, flags}), false},
        {"empty flags", Concat({time, {0, 3, 0, 0}, text}), false},
        {"short time", Concat({{0, 2, 0, 2, 1, 2}, flags, text}), false},
        {"text cut short", Concat({time, flags, {0, 4, 0, 9, 'x'}}), false},
        {"nothing", {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HistoryRecord record;
        EXPECT_EQ(c.usable, HistoryFormat::DecodeRecordBody(c.body.data(), c.body.size(), record));
    }
    HistoryRecord record;
    ASSERT_TRUE(HistoryFormat::DecodeRecordBody(cases[1].body.data(), cases[1].body.size(), record));
    EXPECT_EQ(0u, record.number);
    EXPECT_EQ(1000u, record.time);
}

TEST(HistoryFileFormatTest, OnlyRecordsAsAppendWritesThemCountAsWritten)
{
    struct Case {
        const char* name;
        Bytes bytes;
    };
    Bytes withZero = kGoldenRecord;
    withZero.back() = 0;
    const Bytes body(kGoldenRecord.begin() + 6, kGoldenRecord.end());
    const Case cases[] = {
        {"head marker 00 02", Concat({{0, 2}, BE32(29), body})},
        {"body length one more", Concat({{0, 1}, BE32(30), body})},
        {"one byte more", Concat({kGoldenRecord, {'!'}})},
        {"one byte less", Bytes(kGoldenRecord.begin(), kGoldenRecord.end() - 1)},
        {"zero byte in the text", withZero},
        {"an extra item", Concat({{0, 1}, BE32(33), body, {0, 5, 0, 0}})},
        {"items swapped", Concat({{0, 1}, BE32(29), Bytes(body.begin() + 8, body.begin() + 16),
                                  Bytes(body.begin(), body.begin() + 8), Bytes(body.begin() + 16, body.end())})},
        {"empty", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(HistoryFormat::IsWrittenRecord(c.bytes.data(), c.bytes.size(), nullptr));
    }
}

TEST(HistoryFileFormatTest, EntriesNameTheWriter)
{
    struct Case {
        unsigned char direction;
        int entryDirection;
        int kind;
        const wchar_t* name;
    };
    const Case cases[] = {{0, 0, 24, L"Alice"}, {1, 1, 25, L"Me"}, {2, 0, 24, L"Alice"}, {255, 0, 24, L"Alice"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.direction));
        ChatLogEntry entry =
            HistoryFormat::MakeEntry(Record(5, 1000000000, c.direction, L"text"), CZELString(L"Alice"), CZELString(L"Me"));
        EXPECT_EQ(c.entryDirection, entry.direction);
        EXPECT_EQ(c.kind, entry.kind);
        EXPECT_EQ(c.name, Text(entry.name));
        EXPECT_EQ(0, entry.messageNumber);
        EXPECT_EQ(L"text", Text(entry.text));
        EXPECT_EQ(L"(" + Text(CZELTime(1000000000u).ToString(CZELString(L"%c"))) + L")", Text(entry.timeText));
        EXPECT_GT(entry.timeText.GetLength(), 2);
    }
}

}  // namespace
