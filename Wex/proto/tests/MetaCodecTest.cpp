// The meta service's requests against golden bytes written from their field tables, and its replies
// read from records written by hand, whole, cut at every offset, and with lengths that lie.
#include "Wex/proto/MetaCommands.h"
#include "Wex/proto/MetaReplies.h"

#include "WexTestSupport.h"

#include <gtest/gtest.h>

#include <functional>

using namespace WexTest;
using namespace Wex;

namespace {

const unsigned short kSeq = 0x1234;
const unsigned kRid = 0x01020304;
const unsigned kOwn = 123456789;  // 0x075BCD15

// A 15/03 frame around a meta record: TLV 1 holding chunk size, UIN, reply type, sequence, rest.
Bytes MetaFrame(unsigned replyType, unsigned sequence, const Bytes& rest, unsigned flags = 0)
{
    Wire record;
    record.U16LE(unsigned(rest.size() + 8)).U32LE(kOwn).U16LE(replyType).U16LE(sequence).Raw(rest);
    return Snac(0x15, 0x03, Wire().Tlv(0x0001, record), flags);
}

// A meta string: u16 LE length counting the zero, the text and the zero.
Wire& MetaString(Wire& wire, const std::string& text)
{
    return wire.U16LE(unsigned(text.size() + 1)).Text(text).U8(0);
}

Bytes BasicRecord(unsigned char result, bool trailingZip)
{
    Wire w;
    w.U16LE(MetaInfoBasic).U8(result);
    for (const char* text : {"nick", "First", "Last", "a@b.c", "City", "ST", "111", "222", "Street 1", "333", "10001"})
        MetaString(w, text);
    w.U16LE(7).U8(3).U8(1).U8(0).U8(2).U8(1);
    if (trailingZip) MetaString(w, "20002");
    return w;
}

Bytes SearchRecord(unsigned result, unsigned uin, const std::string& nick, unsigned status)
{
    Wire w;
    w.U8(result);
    if (result != 10) return w;
    Wire fields;
    fields.U32LE(uin);
    MetaString(fields, nick);
    MetaString(fields, "Ann");
    MetaString(fields, "Lee");
    MetaString(fields, "ann@x.y");
    fields.U8(1).U16LE(status).U8(2).U16LE(33);
    return w.U16LE(unsigned(fields.Get().size())).Raw(fields);
}

}  // namespace

TEST(MetaRequests, MatchTheirGoldenBytes)
{
    WhitePagesForm empty;
    empty.onlineOnly = 1;
    WhitePagesForm full;
    full.nickname = CZELString(L"ab");
    full.language = 5;
    full.gender = 2;
    full.ageFrom = 18;
    full.ageTo = 22;
    full.marital = 255;  // any: left out
    full.country = 7;
    full.city = CZELString(L"c");
    full.occupation = 0xFFFF;  // any: left out
    full.categories[1] = 0x0102;
    full.keywords = CZELString(L"k");
    TlvChain saved;
    saved.Add(Tlv(0x0154, (unsigned short)2, reinterpret_cast<const unsigned char*>("xy")));
    const struct {
        const char* name;
        std::function<Bytes()> build;
        const char* expected;
    } rows[] = {
        {"delete offline messages", [] { return MetaDeleteOfflineRequest(kSeq, kOwn, 0x0203); },
         "2A 02 12 34 00 18  00 15 00 02 00 00 00 02 00 02  00 01 00 0A  08 00 15 CD 5B 07 3E 00 03 02"},
        {"full information", [] { return MetaFullInfoRequest(kSeq, kRid, kOwn, 0x0203, 0x01020304); },
         "2A 02 12 34 00 1E  00 15 00 02 00 00 01 02 03 04  00 01 00 10"
         "  0E 00 15 CD 5B 07 D0 07 03 02 D0 04 04 03 02 01"},
        {"save information", [&] { return MetaSaveInfoRequest(kSeq, kRid, kOwn, 1, saved); },
         "2A 02 12 34 00 20  00 15 00 02 00 00 01 02 03 04  00 01 00 12"
         "  10 00 15 CD 5B 07 D0 07 01 00 3A 0C 54 01 02 00 78 79"},
        {"search by number", [] { return MetaSearchByUinRequest(kSeq, kRid, kOwn, 1, 42); },
         "2A 02 12 34 00 22  00 15 00 02 00 00 01 02 03 04  00 01 00 14"
         "  12 00 15 CD 5B 07 D0 07 01 00 69 05 36 01 04 00 2A 00 00 00"},
        {"search by e-mail", [] { return MetaSearchByEmailRequest(kSeq, kRid, kOwn, 1, CZELString(L"a@b")); },
         "2A 02 12 34 00 24  00 15 00 02 00 00 01 02 03 04  00 01 00 16"
         "  14 00 15 CD 5B 07 D0 07 01 00 73 05 5E 01 06 00 04 00 61 40 62 00"},
        {"white pages, online only", [&] { return MetaWhitePagesSearchRequest(kSeq, kRid, kOwn, 1, empty); },
         "2A 02 12 34 00 1F  00 15 00 02 00 00 01 02 03 04  00 01 00 11"
         "  0F 00 15 CD 5B 07 D0 07 01 00 5F 05 30 02 01 00 01"},
        {"white pages, the set fields", [&] { return MetaWhitePagesSearchRequest(kSeq, kRid, kOwn, 1, full); },
         "2A 02 12 34 00 53  00 15 00 02 00 00 01 02 03 04  00 01 00 45"
         "  43 00 15 CD 5B 07 D0 07 01 00 5F 05"
         "  54 01 05 00 03 00 61 62 00"   // nickname
         "  86 01 02 00 05 00"            // language
         "  7C 01 01 00 02"               // gender
         "  68 01 04 00 12 00 16 00"      // age from, to
         "  A4 01 02 00 07 00"            // country
         "  90 01 04 00 02 00 63 00"      // city
         "  D6 01 06 00 02 01 02 00 6B 00"  // second category with the keywords
         "  30 02 01 00 00"},             // online only
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ToHex(row.build()), ToHex(Hex(row.expected)));
    }
}

TEST(MetaReplies, ReadTheHeaderBoundedByItsTlv)
{
    Bytes frame = MetaFrame(MetaReplyOfflineDone, 0x0506, Bytes(), SnacFlagMoreFollow);
    MetaReply header;
    ASSERT_EQ(header.Unpack(frame.data(), frame.size()), int(frame.size()));
    EXPECT_EQ(header.uin, kOwn);
    EXPECT_EQ(header.replyType, MetaReplyOfflineDone);
    EXPECT_EQ(header.metaSequence, 0x0506);
    EXPECT_FALSE(header.IsLastPacket());

    // Another TLV type, and a TLV that claims more than the frame holds, are rejected.
    Bytes other = frame;
    other[SnacBodyOffset + 1] = 2;
    EXPECT_EQ(header.Unpack(other.data(), other.size()), 0);
    Bytes lying = frame;
    lying[SnacBodyOffset + 3] += 1;
    EXPECT_EQ(header.Unpack(lying.data(), lying.size()), 0);
}

TEST(MetaReplies, BasicInformationKeepsOrReplacesTheZip)
{
    for (bool trailing : {false, true}) {
        SCOPED_TRACE(trailing);
        Bytes frame = MetaFrame(MetaReplyInfo, 9, BasicRecord(0x0A, trailing));
        GuardedBytes bytes(frame);
        MetaBasicInfoReply reply;
        ASSERT_GT(reply.Unpack(bytes.data(), bytes.size()), 0);
        EXPECT_TRUE(reply.IsSuccess());
        EXPECT_EQ(reply.subtype, MetaInfoBasic);
        EXPECT_EQ(Text(reply.nick), L"nick");
        EXPECT_EQ(Text(reply.homeAddress), L"Street 1");
        EXPECT_EQ(Text(reply.cellPhone), L"333");
        EXPECT_EQ(Text(reply.homeZip), trailing ? L"20002" : L"10001");
        EXPECT_EQ(reply.homeCountry, 7);
        EXPECT_EQ(reply.gmtOffset, 3);
        EXPECT_EQ(reply.authorization, 1);
        EXPECT_EQ(reply.directConnection, 2);
        EXPECT_EQ(reply.publishEmail, 1);
    }
}

TEST(MetaReplies, EachDetailKindReadsItsFields)
{
    Wire work;
    work.U16LE(MetaInfoWork).U8(0x0A);
    for (const char* text : {"WCity", "WState", "WPhone", "WFax", "WAddr", "WZip"}) MetaString(work, text);
    MetaString(MetaString(MetaString(work.U16LE(44), "Co"), "Dept"), "Boss").U16LE(12);
    MetaString(work, "http://w");
    MetaWorkInfoReply w;
    Bytes workFrame = MetaFrame(MetaReplyInfo, 1, work);
    ASSERT_GT(w.Unpack(workFrame.data(), workFrame.size()), 0);
    EXPECT_EQ(Text(w.zip), L"WZip");
    EXPECT_EQ(w.country, 44);
    EXPECT_EQ(Text(w.position), L"Boss");
    EXPECT_EQ(w.occupation, 12);
    EXPECT_EQ(Text(w.webpage), L"http://w");

    Wire more;
    more.U16LE(MetaInfoMore).U8(0x0A).U16LE(30).U8(2);
    MetaString(more, "home.page").U16LE(1990).U8(4).U8(5).U8(10).U8(11).U8(12).Zeros(2);
    MetaString(MetaString(more, "Town"), "Land").U16LE(49).U8(3).Zeros(4);
    MetaString(more, "loc").Zeros(8);
    MetaString(more, "loc@mail");
    MetaMoreInfoReply m;
    Bytes moreFrame = MetaFrame(MetaReplyInfo, 1, more);
    ASSERT_GT(m.Unpack(moreFrame.data(), moreFrame.size()), 0);
    EXPECT_EQ(m.age, 30);
    EXPECT_EQ(m.gender, 2);
    EXPECT_EQ(Text(m.homepage), L"home.page");
    EXPECT_EQ(m.birthYear, 1990);
    EXPECT_EQ(m.birthDay, 5);
    EXPECT_EQ(m.languages[2], 12);
    EXPECT_EQ(Text(m.state), L"Land");
    EXPECT_EQ(m.country, 49);
    EXPECT_EQ(m.marital, 3);
    EXPECT_EQ(Text(m.localizationId), L"loc");
    EXPECT_EQ(Text(m.localizationEmail), L"loc@mail");

    // About: code page 1251 text ("Привет").
    Wire about;
    about.U16LE(MetaInfoAbout).U8(0x0A).U16LE(7).Raw(Hex("CF F0 E8 E2 E5 F2 00"));
    MetaAboutReply a;
    Bytes aboutFrame = MetaFrame(MetaReplyInfo, 1, about);
    ASSERT_GT(a.Unpack(aboutFrame.data(), aboutFrame.size()), 0);
    EXPECT_EQ(Text(a.about), L"\x041F\x0440\x0438\x0432\x0435\x0442");

    // Interests: the count says how many; more than four reads four.
    for (unsigned count : {0u, 2u, 6u}) {
        SCOPED_TRACE(count);
        Wire interests;
        interests.U16LE(MetaInfoInterests).U8(0x0A).U8(count);
        for (unsigned i = 0; i < std::min(count, 4u); ++i) MetaString(interests.U16LE(100 + i), "kw" + std::to_string(i));
        MetaInterestsReply r;
        Bytes frame = MetaFrame(MetaReplyInfo, 1, interests);
        ASSERT_EQ(r.Unpack(frame.data(), frame.size()), int(frame.size()));
        EXPECT_EQ(r.Entries(), int(std::min(count, 4u)));
        if (count >= 2) {
            EXPECT_EQ(r.categories[1], 101);
            EXPECT_EQ(Text(r.keywords[1]), L"kw1");
        }
    }
}

TEST(MetaReplies, StringLengthsZeroAndOneGiveEmptyTexts)
{
    Wire about;
    about.U16LE(MetaInfoAbout).U8(0x0A).U16LE(0);
    MetaAboutReply a;
    Bytes frame = MetaFrame(MetaReplyInfo, 1, about);
    // Length 0 takes just its two bytes.
    ASSERT_EQ(a.Unpack(frame.data(), frame.size()), int(frame.size()));
    EXPECT_EQ(Text(a.about), L"");
    Wire one;
    one.U16LE(MetaInfoAbout).U8(0x0A).U16LE(1).U8(0);
    frame = MetaFrame(MetaReplyInfo, 1, one);
    ASSERT_EQ(a.Unpack(frame.data(), frame.size()), int(frame.size()));
    EXPECT_EQ(Text(a.about), L"");
}

TEST(MetaReplies, AFailedResultReadsNothingFurther)
{
    Bytes frame = MetaFrame(MetaReplyInfo, 1, Wire().U16LE(MetaInfoBasic).U8(0x14));
    MetaBasicInfoReply reply;
    ASSERT_GT(reply.Unpack(frame.data(), frame.size()), 0);
    EXPECT_FALSE(reply.IsSuccess());
    EXPECT_EQ(Text(reply.nick), L"");

    // A subtype outside the list, or another kind's, is rejected.
    Bytes unknown = MetaFrame(MetaReplyInfo, 1, Wire().U16LE(0x0123).U8(0x0A));
    MetaInfoReply info;
    EXPECT_EQ(info.Unpack(unknown.data(), unknown.size()), 0);
    Bytes about = MetaFrame(MetaReplyInfo, 1, Wire().U16LE(MetaInfoAbout).U8(0x0A).U16LE(0));
    EXPECT_GT(info.Unpack(about.data(), about.size()), 0);
    EXPECT_EQ(reply.Unpack(about.data(), about.size()), 0);
}

TEST(MetaReplies, OfflineMessageAndSearchReplies)
{
    Wire offline;
    offline.U32LE(555).U16LE(2026).U8(12).U8(31).U8(23).U8(59).U8(1).U8(3).U16LE(6).Text("hi").U8(0).Text("xyz");
    OfflineMessage message;
    Bytes frame = MetaFrame(MetaReplyOfflineMessage, 1, offline);
    ASSERT_EQ(message.Unpack(frame.data(), frame.size()), int(frame.size()));
    EXPECT_EQ(Text(message.SenderText()), L"555");
    EXPECT_EQ(message.year, 2026);
    EXPECT_EQ(message.minute, 59);
    EXPECT_EQ(message.messageFlags, 3);
    EXPECT_EQ(Text(message.text), L"hi");

    Bytes hit = MetaFrame(MetaReplyInfo, 1, Wire().U16LE(MetaSearchHit).Raw(SearchRecord(10, 777, "Annie", 1)));
    SearchReply search;
    ASSERT_EQ(search.Unpack(hit.data(), hit.size()), int(hit.size()));
    EXPECT_FALSE(search.lastResult);
    EXPECT_TRUE(search.record.HasHit());
    EXPECT_EQ(search.record.uin, 777u);
    EXPECT_EQ(Text(search.record.nick), L"Annie");
    EXPECT_EQ(Text(search.record.email), L"ann@x.y");
    EXPECT_EQ(search.record.status, 1);
    EXPECT_EQ(search.record.gender, 2);
    EXPECT_EQ(search.record.age, 33);

    for (unsigned result : {20u, 50u}) {
        Bytes none = MetaFrame(MetaReplyInfo, 1, Wire().U16LE(MetaSearchLastHit).Raw(SearchRecord(result, 0, "", 0)));
        ASSERT_GT(search.Unpack(none.data(), none.size()), 0);
        EXPECT_TRUE(search.lastResult);
        EXPECT_FALSE(search.record.HasHit());
    }
    // Another result value, or an information subtype, is not a search reply.
    Bytes odd = MetaFrame(MetaReplyInfo, 1, Wire().U16LE(MetaSearchHit).U8(11));
    EXPECT_EQ(search.Unpack(odd.data(), odd.size()), 0);
    Bytes basic = MetaFrame(MetaReplyInfo, 1, BasicRecord(0x0A, false));
    EXPECT_EQ(search.Unpack(basic.data(), basic.size()), 0);
}

// Cut anywhere inside the record (the header saying so), or with a text length that runs past
// the TLV while the frame goes on: rejected, never read past.
TEST(MetaReplies, RejectRecordsCutOrLyingAtEveryOffset)
{
    struct Case {
        const char* name;
        Bytes rest;
        std::function<int(const unsigned char*, size_t)> unpack;
    };
    const std::vector<Case> cases = {
        {"basic", BasicRecord(0x0A, false), [](const unsigned char* f, size_t s) { return MetaBasicInfoReply().Unpack(f, s); }},
        {"about", Wire().U16LE(MetaInfoAbout).U8(0x0A).U16LE(4).Text("abc").U8(0),
         [](const unsigned char* f, size_t s) { return MetaAboutReply().Unpack(f, s); }},
        {"interests", Wire().U16LE(MetaInfoInterests).U8(0x0A).U8(1).U16LE(5).U16LE(2).Text("k").U8(0),
         [](const unsigned char* f, size_t s) { return MetaInterestsReply().Unpack(f, s); }},
        {"offline", Wire().U32LE(1).U16LE(2).U8(3).U8(4).U8(5).U8(6).U8(1).U8(0).U16LE(3).Text("ab").U8(0),
         [](const unsigned char* f, size_t s) { return OfflineMessage().Unpack(f, s); }},
        {"search", Wire().U16LE(MetaSearchLastHit).Raw(SearchRecord(10, 1, "n", 0)),
         [](const unsigned char* f, size_t s) { return SearchReply().Unpack(f, s); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const unsigned type = std::string(c.name) == "offline" ? MetaReplyOfflineMessage : MetaReplyInfo;
        for (size_t keep = 0; keep < c.rest.size(); ++keep) {
            SCOPED_TRACE(keep);
            Bytes cut(c.rest.begin(), c.rest.begin() + long(keep));
            Bytes frame = MetaFrame(type, 1, cut);
            GuardedBytes bytes(frame);
            EXPECT_EQ(c.unpack(bytes.data(), bytes.size()), 0);
            // The same record with bytes after its TLV: still bounded by the TLV.
            Bytes padded = frame;
            padded.insert(padded.end(), 64, 0x7F);
            padded[4] = (unsigned char)((padded.size() - 6) >> 8);
            padded[5] = (unsigned char)(padded.size() - 6);
            EXPECT_EQ(c.unpack(padded.data(), padded.size()), 0);
        }
        Bytes whole = MetaFrame(type, 1, c.rest);
        GuardedBytes bytes(whole);
        EXPECT_EQ(c.unpack(bytes.data(), bytes.size()), int(whole.size()));
    }
}
