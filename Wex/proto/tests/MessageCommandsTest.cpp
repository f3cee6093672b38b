// The messaging commands against golden bytes written from their field tables, read back through
// the codec's own readers as the server relays them, and the cutting of long texts.
#include "Wex/proto/IncomingMessage.h"
#include "Wex/proto/MessageCommands.h"
#include "Wex/proto/MessageChunks.h"
#include "Wex/proto/MessageText.h"
#include "Wex/proto/WireText.h"
#include "Wex/proto/XStatusReply.h"

#include "WexTestSupport.h"

#include <gtest/gtest.h>

#include <functional>

using namespace WexTest;
using namespace Wex;

namespace {

const unsigned short kSeq = 0x1234;
const MessageCookie kCookie = {0x01020304, 0x05060708};
const char kRelay[] = "09 46 13 49 4C 7F 11 D1 82 22 44 45 53 54 00 00";
const char kPluginHeader[] = "4F 00 3B 60 B3 EF D8 2A 6C 45 A4 E0 9C 5A 5E 67 E8 65 08 00 2A 00 00 00";

// The two headers of the rendezvous data for a second cookie word ending in 07 08.
Bytes RendezvousHeads()
{
    return Wire().U16LE(27).U16LE(10).Zeros(16).U16LE(0).U32LE(3).U8(0).U16LE(0x0708).U16LE(14).U16LE(0x0708).Zeros(12);
}

// A channel-2 frame to UIN 123 around the rendezvous data after the heads.
Bytes RendezvousFrame(const Bytes& afterHeads)
{
    Bytes data = Wire().Raw(RendezvousHeads()).Raw(afterHeads);
    Bytes extension = Wire().U16(0).U32(0x01020304).U32(0x05060708).Raw(Hex(kRelay))
                          .Tlv(0x000A, Wire().U16(1)).Tlv(0x000F, Bytes()).Tlv(0x2711, data);
    return Snac(4, 6, Wire().U32(0x01020304).U32(0x05060708).U16(2).Str8("123").Tlv(0x0005, extension).Tlv(0x0003, Bytes()),
                0, 6, kSeq);
}

std::string Query(int n, const std::string& uin)
{
    return "<N><QUERY>&lt;Q&gt;&lt;PluginID&gt;srvMng&lt;/PluginID&gt;&lt;/Q&gt;</QUERY><NOTIFY>&lt;srv&gt;&lt;id&gt;"
           "cAwaySrv&lt;/id&gt;&lt;req&gt;&lt;id&gt;AwayStat&lt;/id&gt;&lt;trans&gt;" +
           std::to_string(n) + "&lt;/trans&gt;&lt;senderId&gt;" + uin +
           "&lt;/senderId&gt;&lt;/req&gt;&lt;/srv&gt;</NOTIFY></N>\r\n";
}

// The message TLVs of an outgoing 04/06 frame, as the server relays them in a 04/07.
Bytes RelayedTlvs(const Bytes& frame)
{
    size_t at = SnacBodyOffset + 10;
    at += 1 + frame[at];
    return Bytes(frame.begin() + long(at), frame.end());
}

CZELString Str(const std::wstring& text)
{
    return CZELString(text.c_str(), int(text.size()));
}

struct Golden {
    const char* name;
    std::function<Bytes()> build;
    Bytes expected;
};

} // namespace

TEST(MessageCommands, MatchTheirGoldenBytes)
{
    const std::string response =
        "<NR><RES>&lt;ret event='OnRemoteNotification'&gt;&lt;srv&gt;&lt;id&gt;cAwaySrv&lt;/id&gt;&lt;val "
        "srv_id='cAwaySrv'&gt;&lt;Root&gt;&lt;CASXtraSetAwayMessage&gt;&lt;/CASXtraSetAwayMessage&gt;&lt;uin&gt;"
        "555&lt;/uin&gt;&lt;index&gt;3&lt;/index&gt;&lt;title&gt;Tired&lt;/title&gt;&lt;desc&gt;so&lt;/desc&gt;&lt;/"
        "Root&gt;\r\n&lt;/val&gt;&lt;/srv&gt;&lt;srv&gt;&lt;id&gt;cRandomizerSrv&lt;/id&gt;&lt;val "
        "srv_id='cRandomizerSrv'&gt;undefined&lt;/val&gt;&lt;/srv&gt;&lt;/ret&gt;</RES></NR>\r\n";
    const Bytes answerHead = Wire().Raw(Hex("1B 00 09 00")).Zeros(16).Raw(Hex("00 00 01 00 00 00 00")).U16(0x0A0B)
                                 .Raw(Hex("0E 00")).U16(0x0A0B).Zeros(12);
    const std::vector<Golden> rows = {
        {"plain, code page", [] { return SendPlainMessage(kSeq, 6, kCookie, CZELString(L"123"), CZELString(L"hi"), false); },
         Hex("2A 02 12 34 00 34  00 04 00 06 00 00 00 00 00 06  01 02 03 04 05 06 07 08  00 01  03 31 32 33"
             "  00 02 00 10  05 01 00 02 01 06  01 01 00 06  00 00 00 00  68 69  00 03 00 00  00 06 00 00")},
        {"plain, unicode", [] { return SendPlainMessage(kSeq, 6, kCookie, CZELString(L"123"), CZELString(L"hi"), true); },
         Hex("2A 02 12 34 00 36  00 04 00 06 00 00 00 00 00 06  01 02 03 04 05 06 07 08  00 01  03 31 32 33"
             "  00 02 00 12  05 01 00 02 01 06  01 01 00 08  00 02 00 00  00 68 00 69  00 03 00 00  00 06 00 00")},
        {"plain, paragraph separator", [] { return SendPlainMessage(kSeq, 6, kCookie, CZELString(L"1"), CZELString(L"a\x2029"), true); },
         Hex("2A 02 12 34 00 34  00 04 00 06 00 00 00 00 00 06  01 02 03 04 05 06 07 08  00 01  01 31"
             "  00 02 00 12  05 01 00 02 01 06  01 01 00 08  00 02 00 00  00 61 00 0A  00 03 00 00  00 06 00 00")},
        {"rendezvous, empty, code page", [] { return SendRendezvousMessage(kSeq, 6, kCookie, CZELString(L"123"), CZELString(), false); },
         RendezvousFrame(Hex("01 00 00 00 04 00 01 00 00  00 00 00 00  FF FF FF 00"))},
        {"rendezvous, UTF-8", [] { return SendRendezvousMessage(kSeq, 6, kCookie, CZELString(L"123"), CZELString(L"\x044F"), true); },
         RendezvousFrame(Wire().Raw(Hex("01 00 00 00 04 00 03 00 D1 8F 00  00 00 00 00  FF FF FF 00")).U32LE(38)
                             .Text("{0946134E-4C7F-11D1-8222-444553540000}"))},
        {"x-status query", [] { return SendXStatusQuery(kSeq, 6, kCookie, CZELString(L"123"), 7, CZELString(L"555")); },
         RendezvousFrame(Wire().Raw(Hex("1A 00 00 00 01 00 01 00 00")).Raw(Hex(kPluginHeader))
                             .Text("Script Plug-in: Remote Notification Arrive").Raw(Hex("00 00 01")).Zeros(12)
                             .U32LE(unsigned(Query(7, "555").size()) + 4).U32LE(unsigned(Query(7, "555").size()))
                             .Text(Query(7, "555")))},
        {"acknowledgement", [] { return RendezvousMessageAck(kSeq, 11, kCookie, CZELString(L"123"), 0x0A0B); },
         Snac(4, 0x0B, Wire().U32(0x01020304).U32(0x05060708).U16(2).Str8("123").U16(3).Raw(answerHead)
                           .Raw(Hex("01 00 00 00 00 00 01 00 00  00 00 00 00  00 FF FF FF")), 0, 11, kSeq)},
        {"x-status response",
         [] { return XStatusResponse(kSeq, 11, kCookie, CZELString(L"555"), CZELString(L"123"), 3, CZELString(L"Tired"), CZELString(L"so"), 0x0A0B); },
         Snac(4, 0x0B, Wire().U32(0x01020304).U32(0x05060708).U16(2).Str8("123").U16(3).Raw(answerHead)
                           .Raw(Hex("1A 00 00 00 00 00 01 00 00")).Raw(Hex(kPluginHeader))
                           .Text("Script Plug-in: Remote Notification Arrive").Raw(Hex("00 00 01")).Zeros(12)
                           .U32LE(unsigned(response.size()) + 4).U32LE(unsigned(response.size())).Text(response), 0, 11, kSeq)},
        {"typing begun", [] { return TypingNotification(kSeq, 0x77, CZELString(L"123"), TypingBegun); },
         Hex("2A 02 12 34 00 1A  00 04 00 14 00 00 00 00 00 77  00 00 00 00 00 00 00 00  00 01  03 31 32 33  00 02")},
        {"typing paused", [] { return TypingNotification(kSeq, 0x77, CZELString(L"123"), TypingPaused); },
         Hex("2A 02 12 34 00 1A  00 04 00 14 00 00 00 00 00 77  00 00 00 00 00 00 00 00  00 01  03 31 32 33  00 01")},
        {"typing finished", [] { return TypingNotification(kSeq, 0x77, CZELString(L"123"), TypingFinished); },
         Hex("2A 02 12 34 00 1A  00 04 00 14 00 00 00 00 00 77  00 00 00 00 00 00 00 00  00 01  03 31 32 33  00 00")},
    };
    for (const Golden& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ToHex(row.expected), ToHex(row.build()));
    }
}

TEST(MessageCommands, LengthsFollowTheirTables)
{
    // FLAP lengths: 47 + n + t, 10 + body, 85 + n, 166 + n + x, 23 + n.
    Bytes plain = SendPlainMessage(1, 6, kCookie, CZELString(L"12345"), CZELString(L"abcd"), false);
    EXPECT_EQ(6u + 47 + 5 + 4, plain.size());
    Bytes ack = RendezvousMessageAck(1, 11, kCookie, CZELString(L"12345"), 0);
    EXPECT_EQ(6u + 85 + 5, ack.size());
    Bytes typing = TypingNotification(1, 3, CZELString(L"12345"), TypingBegun);
    EXPECT_EQ(6u + 23 + 5, typing.size());
    // Rendezvous: TLV 0x0005 of L + 40, L = b + 62 in code page 1251 and b + 104 in UTF-8.
    for (bool utf8 : {false, true}) {
        Bytes frame = SendRendezvousMessage(1, 6, kCookie, CZELString(L"12345"), CZELString(L"abc"), utf8);
        const size_t extension = frame[SnacBodyOffset + 16 + 2] << 8 | frame[SnacBodyOffset + 16 + 3];
        EXPECT_EQ(3u + (utf8 ? 104 : 62) + 40, extension);
    }
}

TEST(MessageCommands, MessagesComeBackIntactThroughTheServersRelay)
{
    const std::wstring outside = L"\xD83D\xDE00\xD834\xDD1E";  // two characters outside the basic plane
    struct Case {
        const char* name;
        std::wstring text;
        int form;  // 0 plain code page, 1 plain unicode, 2 rendezvous code page, 3 rendezvous UTF-8
    };
    const Case cases[] = {
        {"Latin, plain code page", L"Hello, world", 0},
        {"Cyrillic, plain code page", L"\x041F\x0440\x0438\x0432\x0435\x0442", 0},
        {"Latin, plain unicode", L"Hello", 1},
        {"outside the basic plane, plain unicode", L"a" + outside + L"b", 1},
        {"Cyrillic, rendezvous code page", L"\x0414\x0430", 2},
        {"outside the basic plane, rendezvous UTF-8", outside + L"\x0416 z", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CZELString text = Str(c.text);
        Bytes frame = c.form < 2 ? SendPlainMessage(1, 6, kCookie, CZELString(L"777"), text, c.form == 1)
                                 : SendRendezvousMessage(1, 6, kCookie, CZELString(L"777"), text, c.form == 3);
        Bytes relayed = IncomingMessageFrame(c.form < 2 ? 1 : 2, "777", RelayedTlvs(frame));
        IncomingMessage message;
        ASSERT_GT(message.Unpack(relayed.data(), relayed.size()), 0);
        EXPECT_EQ(c.text, Text(message.GetText()));
    }
}

TEST(MessageCommands, XStatusAnswerReadsBackWithItsTextsEscaped)
{
    Bytes frame = XStatusResponse(1, 11, kCookie, CZELString(L"555"), CZELString(L"123"), 4,
                                  CZELString(L"Party"), CZELString(L"at home"), 0x0102);
    // As the peer receives it: the same body, from the other side.
    XStatusReply reply;
    ASSERT_GT(reply.Unpack(frame.data(), frame.size()), 0);
    EXPECT_EQ(XStatusReply::KindNotice, reply.kind);
    EXPECT_EQ(L"Party", Text(reply.title));
    EXPECT_EQ(L"at home", Text(reply.description));

    // The user's own texts cannot end the markup around them.
    const std::wstring text = Text(XStatusResponseText(CZELString(L"1"), 2, CZELString(L"a</title>&b"),
                                                       CZELString(L"<x>\"'")));
    EXPECT_NE(std::wstring::npos, text.find(L"&lt;title&gt;a&amp;lt;/title&amp;gt;&amp;amp;b&lt;/title&gt;"));
    EXPECT_NE(std::wstring::npos, text.find(L"&lt;desc&gt;&amp;lt;x&amp;gt;&amp;quot;&amp;apos;&lt;/desc&gt;"));
    EXPECT_EQ(L"a&lt;b&gt;&amp;&quot;&apos;", Text(EscapeXml(CZELString(L"a<b>&\"'"))));

    // Read back, the texts come out as they were written.
    Bytes party = XStatusResponse(1, 11, kCookie, CZELString(L"555"), CZELString(L"123"), 4,
                                  CZELString(L"Tea & <cake>"), CZELString(L"\"now\" &amp; 'here'"), 0);
    XStatusReply back;
    ASSERT_GT(back.Unpack(party.data(), party.size()), 0);
    EXPECT_EQ(L"Tea & <cake>", Text(XStatusNoticeText(back.title)));
    EXPECT_EQ(L"\"now\" &amp; 'here'", Text(XStatusNoticeText(back.description)));
    // One pass: an entity written as text stays one; a lone & and unknown entities stay as they are.
    EXPECT_EQ(L"&lt; & &x; <", Text(UnescapeXml(CZELString(L"&amp;lt; & &x; &lt;"))));
    EXPECT_EQ(L"plain", Text(XStatusNoticeText(CZELString(L"plain"))));
}

TEST(MessageCommands, TypingNoticesReadTheirWireState)
{
    struct Case {
        unsigned wire;
        bool known;
        TypingState state;
    };
    const Case cases[] = {{2, true, TypingBegun}, {1, true, TypingPaused}, {0, true, TypingFinished}, {7, false, TypingPaused}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.wire);
        Bytes frame = Snac(4, 0x14, Wire().Zeros(8).U16(1).Str8("12 3").U16(c.wire));
        TypingNotice notice;
        notice.state = TypingPaused;  // what an unknown value leaves
        ASSERT_GT(notice.Unpack(frame.data(), frame.size()), 0);
        EXPECT_EQ(L"123", Text(notice.uin));
        EXPECT_EQ(c.known, notice.known);
        EXPECT_EQ(c.state, notice.state);
    }
    // Our own notice reads back.
    Bytes own = TypingNotification(1, 2, CZELString(L"456"), TypingFinished);
    TypingNotice back;
    ASSERT_GT(back.Unpack(own.data(), own.size()), 0);
    EXPECT_EQ(TypingFinished, back.state);
    // Every truncation is rejected.
    for (size_t size = 0; size < own.size(); ++size) {
        Bytes cut(own.begin(), own.begin() + long(size));
        if (size >= 6) cut[5] = (unsigned char)(size - 6), cut[4] = 0;
        GuardedBytes guarded(cut);
        TypingNotice notice;
        EXPECT_EQ(0, notice.Unpack(guarded.data(), guarded.size())) << size;
    }
}

TEST(MessageCommands, LongTextsAreCutAtCharactersWithinTheirEncodedSize)
{
    const std::wstring pair = L"\xD83D\xDE00";
    struct Case {
        const char* name;
        std::wstring text;
        TextForm form;
        std::vector<size_t> units;  // of each piece
    };
    std::wstring pairs1001;
    for (int i = 0; i < 1001; ++i) pairs1001 += pair;
    const Case cases[] = {
        {"empty", L"", TextForm::Utf16, {}},
        {"one letter", L"a", TextForm::Utf16, {1}},
        {"2000 letters", std::wstring(2000, L'a'), TextForm::Utf16, {2000}},
        {"2001 letters", std::wstring(2001, L'a'), TextForm::Utf16, {2000, 1}},
        {"4500 letters", std::wstring(4500, L'a'), TextForm::Utf16, {2000, 2000, 500}},
        {"4500 Cyrillic in UTF-8", std::wstring(4500, L'\x0416'), TextForm::Utf8, {2000, 2000, 500}},
        {"4500 Cyrillic in code page 1251", std::wstring(4500, L'\x0416'), TextForm::CodePage1251, {2000, 2000, 500}},
        {"a pair across the 2000th unit", std::wstring(1999, L'a') + pair + L"b", TextForm::Utf16, {1999, 3}},
        {"1001 pairs in UTF-16", pairs1001, TextForm::Utf16, {2000, 2}},
        {"1001 pairs in UTF-8: 4 bytes each", pairs1001, TextForm::Utf8, {2000, 2}},
        {"2000 letters of 3 bytes in UTF-8", std::wstring(2000, L'\x4E2D'), TextForm::Utf8, {1333, 667}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<CZELString> pieces = CutMessageText(Str(c.text), c.form);
        ASSERT_EQ(c.units.size(), pieces.size());
        std::wstring joined;
        for (size_t i = 0; i < pieces.size(); ++i) {
            EXPECT_EQ(c.units[i], size_t(pieces[i].GetLength())) << i;
            joined += Text(pieces[i]);
            // No piece ends inside a pair; none is over the byte limit once encoded.
            const wchar_t last = pieces[i].GetBuffer()[pieces[i].GetLength() - 1];
            EXPECT_FALSE(last >= 0xD800 && last <= 0xDBFF);
            const unsigned codePage = c.form == TextForm::Utf8 ? CodePageUtf8 : CodePage1251;
            if (c.form != TextForm::Utf16) EXPECT_LE(NarrowBytes(pieces[i], codePage).size(), size_t(MaxChunkBytes));
        }
        EXPECT_EQ(c.text, joined);
    }
}
