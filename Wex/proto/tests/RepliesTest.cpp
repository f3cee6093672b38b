// Every reply parser: a good frame, every truncation of it, frames whose lengths lie, and the values
// each reply reports.
#include "Wex/proto/ErrorTexts.h"
#include "Wex/proto/IncomingMessage.h"
#include "Wex/proto/ListCommands.h"
#include "Wex/proto/ListReplies.h"
#include "Wex/proto/ServiceCommands.h"
#include "Wex/proto/ServiceReplies.h"
#include "Wex/proto/SignOnReplies.h"
#include "Wex/proto/UserInfo.h"
#include "Wex/proto/XStatusReply.h"

#include "WexTestSupport.h"

#include <gtest/gtest.h>

#include <functional>

using namespace WexTest;
using namespace Wex;

namespace {

template <typename Reply> std::function<int(const unsigned char*, size_t)> Parser()
{
    return [](const unsigned char* frame, size_t size) {
        Reply reply;
        int read = reply.Unpack(frame, size);
        EXPECT_LE(reply.failedAt, size);
        return read;
    };
}

const size_t kWhole = SIZE_MAX;

struct ParserCase {
    const char* name;
    std::function<int(const unsigned char*, size_t)> parse;
    Bytes frame;
    // Data bytes (after the FLAP header) that must all be there for the frame to be read; a frame
    // cut shorter is rejected, one cut longer is read. kWhole: every byte is required.
    size_t required;
    // A shorter cut that is read all the same: where an optional part begins.
    size_t optionalFrom = kWhole;
};

Bytes Roster(unsigned flags)
{
    Bytes item = Wire().Str16("Bob").U16(1).U16(2).U16(0).U16(9).Tlv(0x0131, Wire().Text("bobby"));
    Wire body;
    body.U8(0).U16(2).Raw(item).Raw(item);
    if (!(flags & 1)) body.U32(1700000000);
    return Snac(0x13, 0x06, body, flags);
}

Bytes RateInfo(unsigned classes)
{
    Wire body;
    body.U16(classes);
    for (unsigned id = 1; id <= classes; ++id)
        body.U16(id).U32(80).U32(2500).U32(2000).U32(1500).U32(800).U32(6000).U32(6000).U32(0).U8(0);
    for (unsigned id = 1; id <= classes; ++id) body.U16(id).U16(2).U32(0x00010002).U32(0x00040006);
    return Snac(0x01, 0x07, body);
}

Bytes UserInfoBody(const std::string& name)
{
    return Wire().Str8(name).U16(7).U16(2).Tlv(0x0001, Wire().U16(0x0050)).Tlv(0x0006, Wire().U16(0x1000).U16(0x0100));
}

const std::string kNotice = "&lt;title&gt;Coffee&lt;/title&gt;&lt;desc&gt;a break&lt;/desc&gt;";

std::vector<ParserCase> ParserCases()
{
    Bytes message = IncomingMessageFrame(1, "200300400", PlainMessageTlv(0, Wire().Text("hi")), 1, Wire().Tlv(0x0001, Wire().U16(0x50)));
    Bytes xstatus = XStatusReplyFrame("200300400", kNotice);
    return {
        {"ServerHello", Parser<ServerHello>(), Flap(1, Wire().U32(1)), kWhole},
        {"CloseFrame", Parser<CloseFrame>(), Flap(4, Wire().Tlv(0x0008, Wire().U16(24)).Tlv(0x0009, Wire().U16(1))), 0},
        {"AuthKeyReply", Parser<AuthKeyReply>(), Snac(0x17, 0x07, Wire().Str16("3219787463")), kWhole},
        {"LoginReply", Parser<LoginReply>(),
         Snac(0x17, 0x03, Wire().Tlv(1, Wire().Text("1")).Tlv(5, Wire().Text("h:1")).Tlv(6, Wire().Text("c"))), 10},
        {"ServerFamiliesReply", Parser<ServerFamiliesReply>(), Snac(0x01, 0x03, Wire().U16(1).U16(2).U16(0x13)), 10},
        {"FamilyVersionsReply", Parser<FamilyVersionsReply>(), Snac(0x01, 0x18, Wire().U16(1).U16(4).U16(2).U16(1)), 10},
        {"RateInfoReply", Parser<RateInfoReply>(), RateInfo(3), kWhole},
        {"SelfInfoReply", Parser<SelfInfoReply>(), Snac(0x01, 0x0F, UserInfoBody("100200300")), 10 + 10 + 4},
        {"UserOnlineInfo", Parser<UserOnlineInfo>(), Snac(0x03, 0x0B, UserInfoBody("200300400")), 10 + 10 + 4},
        {"IncomingMessage", Parser<IncomingMessage>(), message, 10 + 10 + 10 + 4},
        // The plug-in part after the message text is there only if the frame goes on; the
        // notification is read as far as the frame holds it.
        {"XStatusReply", Parser<XStatusReply>(), xstatus, xstatus.size() - 6 - kNotice.size(),
         /* SNAC header, cookies, channel, sender, reason */ 10 + 8 + 2 + 10 + 2 +
             /* the two headers, type to m, the text */ 2 + 27 + 2 + 14 + 8 + 1},
        {"ListRoster, last frame", Parser<ListRoster>(), Roster(0), kWhole},
        {"ListRoster, more to follow", Parser<ListRoster>(), Roster(1), kWhole},
        {"ListAck", Parser<ListAck>(), Snac(0x13, 0x0E, Wire().U16(0x000E)), kWhole},
        {"AuthRequestNotice", Parser<AuthRequestNotice>(), Snac(0x13, 0x19, Wire().Str8("123").Str16("let me")), kWhole},
        {"AuthReplyNotice", Parser<AuthReplyNotice>(), Snac(0x13, 0x1B, Wire().Str8("123").U8(1).Str16("ok")), kWhole},
    };
}

// The frame with its data cut to length bytes, the header saying so.
Bytes Cut(const Bytes& frame, size_t length)
{
    return Wire().U8(0x2A).U8(frame[1]).U8(frame[2]).U8(frame[3]).U16(unsigned(length))
        .Raw(Bytes(frame.begin() + 6, frame.begin() + 6 + long(length)));
}

// The frame whose header claims length data bytes, with its bytes as they are.
Bytes Claim(const Bytes& frame, unsigned length)
{
    Bytes lying = frame;
    lying[4] = (unsigned char)(length >> 8);
    lying[5] = (unsigned char)length;
    return lying;
}

template <typename Reply> Reply Parsed(const Bytes& frame, int* read = nullptr)
{
    GuardedBytes bytes(frame);
    Reply reply;
    int result = reply.Unpack(bytes.data(), bytes.size());
    if (read) *read = result;
    return reply;
}

} // namespace

TEST(ReplyParsers, ReadTheirGoodFrameWhole)
{
    for (const ParserCase& c : ParserCases()) {
        SCOPED_TRACE(c.name);
        GuardedBytes bytes(c.frame);
        EXPECT_EQ(int(c.frame.size()), c.parse(bytes.data(), bytes.size()));
    }
}

TEST(ReplyParsers, RejectEveryTruncationThatCutsARequiredField)
{
    for (const ParserCase& c : ParserCases()) {
        size_t data = c.frame.size() - 6;
        size_t required = c.required == kWhole ? data : c.required;
        for (size_t length = 0; length < data; ++length) {
            SCOPED_TRACE(std::string(c.name) + ", data cut to " + std::to_string(length));
            GuardedBytes cut(Cut(c.frame, length));
            int read = c.parse(cut.data(), cut.size());
            if (length < required && length != c.optionalFrom)
                EXPECT_EQ(0, read);
            else
                EXPECT_GT(read, 0);
            EXPECT_LE(read, int(cut.size()));

            // The same frame inside a buffer that goes on: nothing past the frame is read.
            Bytes longer = Claim(c.frame, unsigned(length));
            EXPECT_EQ(read, c.parse(longer.data(), longer.size()));

            // A buffer cut short of what the header claims.
            GuardedBytes shorter(Bytes(c.frame.begin(), c.frame.begin() + 6 + long(length)));
            EXPECT_EQ(0, c.parse(shorter.data(), shorter.size()));
        }
    }
}

TEST(ReplyParsers, RejectFramesThatClaimMoreThanTheBuffer)
{
    for (const ParserCase& c : ParserCases()) {
        size_t data = c.frame.size() - 6;
        for (unsigned claim : {unsigned(data) + 1, unsigned(data) + 100, 0xFFFFu}) {
            SCOPED_TRACE(std::string(c.name) + ", claiming " + std::to_string(claim));
            GuardedBytes lying(Claim(c.frame, claim));
            EXPECT_EQ(0, c.parse(lying.data(), lying.size()));
        }
    }
}

TEST(ReplyParsers, RejectInnerLengthsThatRunPastTheFrame)
{
    struct Case {
        const char* name;
        std::function<int(const unsigned char*, size_t)> parse;
        Bytes frame;
    };
    const Case cases[] = {
        {"auth key longer than the frame", Parser<AuthKeyReply>(), Snac(0x17, 0x07, Wire().U16(11).Text("3219787463"))},
        {"rate classes beyond the frame", Parser<RateInfoReply>(), Snac(0x01, 0x07, Wire().U16(0xFFFF).Zeros(35))},
        {"rate pairs beyond the frame", Parser<RateInfoReply>(),
         Snac(0x01, 0x07, Wire().U16(1).U16(1).Zeros(33).U16(1).U16(0xFFFF).U32(0x00010002))},
        {"own UIN longer than the frame", Parser<SelfInfoReply>(), Snac(0x01, 0x0F, Wire().U8(200).Text("100200300"))},
        {"contact name longer than the frame", Parser<UserOnlineInfo>(), Snac(0x03, 0x0B, Wire().U8(200).Text("200300400"))},
        {"sender longer than the frame", Parser<IncomingMessage>(),
         Snac(0x04, 0x07, Wire().U32(1).U32(2).U16(1).U8(255).Text("200300400").U16(0).U16(0))},
        {"x-status sender longer than the frame", Parser<XStatusReply>(),
         Snac(0x04, 0x0B, Wire().U32(1).U32(2).U16(2).U8(255).Text("2003").U16(3))},
        {"x-status headers longer than the frame", Parser<XStatusReply>(),
         Snac(0x04, 0x0B, Wire().U32(1).U32(2).U16(2).Str8("2003").U16(3).U16LE(0xFFFF).Zeros(20))},
        {"x-status text longer than the frame", Parser<XStatusReply>(),
         Snac(0x04, 0x0B, Wire().U32(1).U32(2).U16(2).Str8("2003").U16(3).U16LE(0).U16LE(0).U8(0x1A).Zeros(5).U16LE(900).Text("x"))},
        {"roster item name longer than the frame", Parser<ListRoster>(), Snac(0x13, 0x06, Wire().U8(0).U16(1).U16(500).Text("Bob"))},
        {"roster attributes longer than the frame", Parser<ListRoster>(),
         Snac(0x13, 0x06, Wire().U8(0).U16(1).Str16("Bob").U16(1).U16(2).U16(0).U16(900).Zeros(4).U32(0))},
        {"roster count beyond the frame", Parser<ListRoster>(), Snac(0x13, 0x06, Wire().U8(0).U16(0xFFFF).U32(0))},
        {"request text longer than the frame", Parser<AuthRequestNotice>(), Snac(0x13, 0x19, Wire().Str8("123").U16(40).Text("hi"))},
        {"reply reason longer than the frame", Parser<AuthReplyNotice>(), Snac(0x13, 0x1B, Wire().Str8("123").U8(1).U16(40).Text("no"))},
        {"SNAC block longer than the frame", Parser<ListAck>(), Snac(0x13, 0x0E, Wire().U16(0xFFFF).U16(0), 0x8000)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GuardedBytes bytes(c.frame);
        EXPECT_EQ(0, c.parse(bytes.data(), bytes.size()));
    }
}

TEST(ReplyParsers, RejectFramesOfAnotherCommandWhereTheyNameTheirs)
{
    struct Case {
        const char* name;
        std::function<int(const unsigned char*, size_t)> parse;
        Bytes frame;
    };
    Bytes other = Snac(0x01, 0x05, Wire().U16(1).U16(2));
    const Case cases[] = {
        {"AuthKeyReply", Parser<AuthKeyReply>(), Snac(0x17, 0x03, Wire().U16(0))},
        {"ServerFamiliesReply", Parser<ServerFamiliesReply>(), other},
        {"FamilyVersionsReply", Parser<FamilyVersionsReply>(), other},
        {"RateInfoReply", Parser<RateInfoReply>(), other},
        {"SelfInfoReply", Parser<SelfInfoReply>(), other},
        {"a close frame travels on channel 4", Parser<CloseFrame>(), Flap(2, Bytes())},
        {"a hello holds version 1", Parser<ServerHello>(), Flap(1, Wire().U32(2))},
        {"a hello is exactly four bytes", Parser<ServerHello>(), Flap(1, Wire().U32(1).U8(0))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GuardedBytes bytes(c.frame);
        EXPECT_EQ(0, c.parse(bytes.data(), bytes.size()));
    }
}

TEST(ServerHello, ReadsTenBytes)
{
    int read = 0;
    Parsed<ServerHello>(Flap(1, Wire().U32(1)), &read);
    EXPECT_EQ(10, read);
}

TEST(CloseFrame, ReportsErrorAndReasonTexts)
{
    struct Case {
        const char* name;
        Bytes data;
        unsigned error, reason;
        int errorText, closeText;
    };
    const Case cases[] = {
        {"account used elsewhere", Wire().Tlv(0x0009, Wire().U16(1)), 0, 1, 0, 157},
        {"another reason", Wire().Tlv(0x0009, Wire().U16(2)), 0, 2, 0, 158},
        {"no reason", Wire().Tlv(0x0001, Wire().Text("1")), 0, 0, 0, 158},
        {"rate limit", Wire().Tlv(0x0008, Wire().U16(29)), 29, 0, 153, 158},
        {"a code too short to read", Wire().Tlv(0x0008, Wire().U8(5)).Tlv(0x0009, Wire().U8(1)), 0, 0, 0, 158},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int read = 0;
        Bytes frame = Flap(4, c.data);
        CloseFrame close = Parsed<CloseFrame>(frame, &read);
        EXPECT_EQ(int(frame.size()), read);
        EXPECT_EQ(c.error, close.ErrorCode());
        EXPECT_EQ(c.reason, close.Reason());
        EXPECT_EQ(c.errorText, close.ErrorTextId());
        EXPECT_EQ(c.closeText, close.CloseTextId());
    }
    EXPECT_EQ(std::wstring(L"Your account used on another computer"), ErrorText(157));
    EXPECT_EQ(std::wstring(L"Server error"), ErrorText(158));
}

TEST(LoginReply, TakesUinAddressAndCookie)
{
    struct Case {
        const char* name;
        Bytes body;
        std::wstring uin, host;
        int port;
        std::string cookie;
        unsigned error;
    };
    const Case cases[] = {
        {"a sign-on", Wire().Tlv(1, Wire().Text("100200300")).Tlv(5, Wire().Text("127.0.0.1:5190")).Tlv(6, Hex("01 02")),
         L"100200300", L"127.0.0.1", 5190, "01 02", 0},
        {"digits end at the first other character", Wire().Tlv(1, Wire().Text("1")).Tlv(5, Wire().Text("bos.example:5190x")).Tlv(6, Hex("01")),
         L"1", L"bos.example", 5190, "01", 0},
        {"no colon", Wire().Tlv(1, Wire().Text("1")).Tlv(5, Wire().Text("bos.example")).Tlv(6, Hex("01")), L"1", L"bos.example", 0, "01", 0},
        {"no digits", Wire().Tlv(1, Wire().Text("1")).Tlv(5, Wire().Text("h:x")).Tlv(6, Hex("01")), L"1", L"h", 0, "01", 0},
        {"a number too large for a port", Wire().Tlv(1, Wire().Text("1")).Tlv(5, Wire().Text("h:4294972486")).Tlv(6, Hex("01")),
         L"1", L"h", 0, "01", 0},
        {"a later item replaces an earlier one",
         Wire().Tlv(5, Wire().Text("a:1")).Tlv(1, Wire().Text("1")).Tlv(6, Hex("01")).Tlv(5, Wire().Text("b:2")).Tlv(6, Hex("02")),
         L"1", L"b", 2, "02", 0},
        {"only an error code", Wire().Tlv(8, Wire().U16(0x0018)), L"", L"", 0, "", 24},
        {"an error code with the items", Wire().Tlv(1, Wire().Text("1")).Tlv(5, Wire().Text("h:1")).Tlv(6, Hex("01")).Tlv(8, Wire().U16(5)),
         L"1", L"h", 1, "01", 0},
        {"an item missing, no error code", Wire().Tlv(1, Wire().Text("1")).Tlv(5, Wire().Text("h:1")), L"1", L"h", 1, "", 0},
        {"an item given twice is still one", Wire().Tlv(1, Wire().Text("1")).Tlv(1, Wire().Text("2")).Tlv(5, Wire().Text("h:1")).Tlv(8, Wire().U16(1)),
         L"2", L"h", 1, "", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int read = 0;
        Bytes frame = Snac(0x17, 0x03, c.body);
        LoginReply reply = Parsed<LoginReply>(frame, &read);
        EXPECT_EQ(int(frame.size()), read);
        EXPECT_EQ(c.uin, Text(reply.uin));
        EXPECT_EQ(c.host, Text(reply.host));
        EXPECT_EQ(c.port, reply.port);
        EXPECT_EQ(Hex(c.cookie), reply.cookie);
        EXPECT_EQ(c.error, reply.errorCode);
    }
}

TEST(LoginReply, NamesTheTextOfItsErrorCode)
{
    LoginReply reply = Parsed<LoginReply>(Snac(0x17, 0x03, Wire().Tlv(8, Wire().U16(0x0018))));
    EXPECT_EQ(24, reply.errorCode);
    EXPECT_EQ(148, reply.ErrorTextId());
    EXPECT_EQ(std::wstring(L"Rate limit exceeded (reservation). Please try to reconnect in a few minutes"), ErrorText(148));

    struct Case {
        unsigned code;
        int text;
    };
    const Case cases[] = {{0, 0}, {1, 125}, {16, 140}, {29, 153}, {30, 154}, {31, 0}, {32, 155}, {33, 0}, {34, 156}, {35, 0}, {0xFFFF, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(c.text, LoginErrorTextId((unsigned short)c.code));
    }
    EXPECT_EQ(std::wstring(L"Invalid UIN or password"), ErrorText(125));
    EXPECT_EQ(std::wstring(L"Account suspended because of your age (age < 13)"), ErrorText(156));
    EXPECT_EQ(std::wstring(L""), ErrorText(124));
    EXPECT_EQ(std::wstring(L""), ErrorText(159));
}

TEST(AuthKeyReply, KeepsTheKey)
{
    AuthKeyReply reply = Parsed<AuthKeyReply>(Snac(0x17, 0x07, Wire().Str16("3219787463")));
    EXPECT_EQ(Wire().Text("3219787463").Get(), reply.key);
    EXPECT_TRUE(Parsed<AuthKeyReply>(Snac(0x17, 0x07, Wire().U16(0))).key.empty());
}

TEST(ServiceReplies, ReadFamiliesAndVersionsWhileWholeEntriesRemain)
{
    ServerFamiliesReply families = Parsed<ServerFamiliesReply>(Snac(0x01, 0x03, Wire().U16(1).U16(0x13).U8(4)));
    EXPECT_EQ((std::vector<unsigned short>{1, 0x13}), families.families);

    FamilyVersionsReply versions = Parsed<FamilyVersionsReply>(Snac(0x01, 0x18, Wire().U16(1).U16(4).U16(2).U16(1).U16(3)));
    ASSERT_EQ(2u, versions.entries.size());
    EXPECT_EQ(2, versions.entries[1].family);
    EXPECT_EQ(1, versions.entries[1].version);
}

TEST(RateInfoReply, StoresEachClassWithItsGroup)
{
    RateInfoReply rates = Parsed<RateInfoReply>(RateInfo(5));
    ASSERT_EQ(5u, rates.classes.size());
    const RateClass& first = rates.classes[0];
    EXPECT_EQ(1, first.id);
    EXPECT_EQ(80u, first.window);
    EXPECT_EQ(2500u, first.clearLevel);
    EXPECT_EQ(2000u, first.alertLevel);
    EXPECT_EQ(1500u, first.limitLevel);
    EXPECT_EQ(800u, first.disconnectLevel);
    EXPECT_EQ(6000u, first.currentLevel);
    EXPECT_EQ(6000u, first.maxLevel);
    EXPECT_EQ((std::vector<unsigned>{0x00010002, 0x00040006}), first.pairs);
    EXPECT_EQ((std::vector<unsigned short>{1, 2, 3, 4, 5}), rates.GroupClassIds());

    // The acknowledgement answers with those ids: classes 1 to 5 make a FLAP length of 20.
    Bytes ack = RateClassesAck(1, rates.GroupClassIds());
    EXPECT_EQ(Hex("00 14"), Bytes(ack.begin() + 4, ack.begin() + 6));
    EXPECT_EQ(Hex("00 01 00 02 00 03 00 04 00 05"), Bytes(ack.begin() + 16, ack.end()));
}

TEST(RateInfoReply, RejectsAGroupRecordThatRunsPastTheFrame)
{
    Bytes whole = RateInfo(2);
    Bytes cut = Cut(whole, whole.size() - 6 - 3);
    int read = -1;
    RateInfoReply rates = Parsed<RateInfoReply>(cut, &read);
    EXPECT_EQ(0, read);
    EXPECT_GT(rates.failedAt, size_t(16 + 2 + 70));
}

TEST(UserInfo, ReadsNameWarningAndItems)
{
    int read = 0;
    Bytes frame = Snac(0x03, 0x0B, Wire().Str8("Some Body").U16(7).U16(2).Tlv(1, Wire().U16(0x50)).Tlv(6, Wire().U16(0x1000).U16(0x0100))
                                       .Tlv(0x0D, Bytes(16, 1)));
    UserOnlineInfo user = Parsed<UserOnlineInfo>(frame, &read);
    EXPECT_EQ(L"somebody", Text(user.name));
    EXPECT_EQ(7, user.warningLevel);
    EXPECT_EQ(2, user.items.GetCount()) << "only the counted items";
    EXPECT_EQ(int(frame.size()) - 20, read);
    unsigned short status = 0;
    EXPECT_TRUE(user.TryGetStatus(status));
    EXPECT_EQ(0x0001, status) << "bytes 2 and 3 of TLV 6, low byte first";
}

TEST(UserInfo, TakesTheStatusFromTlv6OrTheUserClass)
{
    struct Case {
        const char* name;
        Bytes items;
        unsigned count;
        bool hasStatus;
        unsigned status;
    };
    const Case cases[] = {
        {"TLV 6", Wire().Tlv(6, Wire().U16(0x1000).U16(0x0020)), 1, true, 0x2000},
        {"TLV 6 with more bytes", Wire().Tlv(6, Wire().U16(0).U16(0x0100).U16(9)), 1, true, 0x0001},
        {"TLV 6 too short, class bit set", Wire().Tlv(6, Wire().U16(0x1000).U8(1)).Tlv(1, Wire().U16(0x0020)), 2, false, 0x0100},
        {"no TLV 6, class bit set", Wire().Tlv(1, Wire().U16(0x0020)), 1, false, 0x0100},
        {"no TLV 6, class bit clear", Wire().Tlv(1, Wire().U16(0x2000)), 1, false, 0},
        {"no TLV 6, class too short", Wire().Tlv(1, Wire().U8(0x20)), 1, false, 0},
        {"nothing", Bytes(), 0, false, 0},
        {"a trailing empty item is kept", Wire().Tlv(1, Wire().U16(0x0020)).Tlv(0x1D, Bytes()), 2, false, 0x0100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UserOnlineInfo user = Parsed<UserOnlineInfo>(Snac(0x03, 0x0B, Wire().Str8("1").U16(0).U16(c.count).Raw(c.items)));
        EXPECT_EQ(int(c.count), user.items.GetCount());
        unsigned short status = 0xEEEE;
        EXPECT_EQ(c.hasStatus, user.TryGetStatus(status));
        EXPECT_EQ(c.status, user.GetStatus());
    }
}

TEST(UserInfo, SelfInfoReadsEveryItemAfterTheCount)
{
    SelfInfoReply self = Parsed<SelfInfoReply>(Snac(0x01, 0x0F, Wire().Str8("100200300").U16(0).U16(1)
                                                                    .Tlv(1, Wire().U16(0x50)).Tlv(6, Wire().U16(0x1000).U16(0x0100))));
    EXPECT_EQ(L"100200300", Text(self.uin));
    EXPECT_EQ(2, self.items.GetCount()) << "the count is not used";
    unsigned short status = 0;
    EXPECT_TRUE(self.TryGetStatus(status));
    EXPECT_EQ(0x0001, status);
}

TEST(IncomingMessage, ReadsItsHeaderAndSplitsTheTlvs)
{
    Bytes frame = IncomingMessageFrame(1, "Some Body", Wire().Raw(PlainMessageTlv(0, Wire().Text("hi"))).Tlv(0x16, Wire().U32(1700000000)).Tlv(6, Bytes()),
                                       2, Wire().Tlv(1, Wire().U16(0x50)).Tlv(6, Wire().U32(0)));
    int read = 0;
    IncomingMessage message = Parsed<IncomingMessage>(frame, &read);
    EXPECT_EQ(int(frame.size()), read);
    EXPECT_EQ(0x11111111u, message.cookie1);
    EXPECT_EQ(0x22222222u, message.cookie2);
    EXPECT_EQ(1, message.channel);
    EXPECT_EQ(L"somebody", Text(message.sender));
    EXPECT_EQ(2, message.userInfo.GetCount());
    EXPECT_EQ(3, message.messageTlvs.GetCount());
    EXPECT_TRUE(message.HasTlv6());
    EXPECT_EQ(1700000000u, message.GetTime());
    EXPECT_EQ(L"hi", Text(message.GetText()));
    EXPECT_FALSE(message.IsXStatusQuery());
    EXPECT_EQ(0, message.messageSequence);
}

TEST(IncomingMessage, RejectsASenderThatNormalisesToNothing)
{
    for (const char* sender : {" ", "", "   "}) {
        SCOPED_TRACE(std::string("\"") + sender + "\"");
        int read = -1;
        IncomingMessage message = Parsed<IncomingMessage>(IncomingMessageFrame(1, sender, PlainMessageTlv(0, Wire().Text("hi"))), &read);
        EXPECT_EQ(0, read);
        EXPECT_EQ(26u, message.failedAt) << "at the name";
    }
}

TEST(IncomingMessage, HasNoTimeWithoutAWholeTlv16)
{
    EXPECT_EQ(0u, Parsed<IncomingMessage>(IncomingMessageFrame(1, "1", Wire().Tlv(0x16, Wire().U16(5)))).GetTime());
    EXPECT_EQ(0u, Parsed<IncomingMessage>(IncomingMessageFrame(1, "1", Bytes())).GetTime());
}

TEST(IncomingMessage, WithUserInfoThatRunsPastHasNoMessageTlvs)
{
    IncomingMessage message = Parsed<IncomingMessage>(IncomingMessageFrame(1, "1", Wire().Tlv(6, Bytes()), 3, Wire().Tlv(1, Wire().U16(0x50))));
    EXPECT_EQ(2, message.userInfo.GetCount()) << "two of the three counted: the item after them is taken as the second";
    EXPECT_EQ(0, message.messageTlvs.GetCount());
}

TEST(XStatusReply, ReadsTitleAndDescriptionOfTheNotification)
{
    struct Case {
        const char* name;
        std::string notification;
        unsigned cookie2;
        int kind;
        std::wstring title, description;
    };
    const Case cases[] = {
        {"both", kNotice, 0x2222, XStatusReply::KindNotice, L"Coffee", L"a break"},
        {"title only", "&lt;title&gt;Coffee&lt;/title&gt;", 0x2222, XStatusReply::KindNotice, L"Coffee", L""},
        {"description only", "&lt;desc&gt;x&lt;/desc&gt;", 0, XStatusReply::KindNotice, L"", L"x"},
        {"nothing between the title markers", "&lt;title&gt;&lt;/title&gt;", 0x2222, XStatusReply::KindNone, L"", L""},
        {"no closing marker", "&lt;title&gt;Coffee", 0x2222, XStatusReply::KindNone, L"", L""},
        {"UTF-8", "&lt;title&gt;\xD0\x9F\xD1\x80&lt;/title&gt;", 0, XStatusReply::KindNotice, L"\x041F\x0440", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int read = 0;
        Bytes frame = XStatusReplyFrame("Some Body", c.notification, c.cookie2);
        XStatusReply reply = Parsed<XStatusReply>(frame, &read);
        EXPECT_EQ(int(frame.size()), read);
        EXPECT_EQ(L"somebody", Text(reply.sender));
        EXPECT_EQ(2, reply.channel);
        EXPECT_EQ(c.cookie2, reply.cookie2);
        EXPECT_EQ(c.kind, reply.kind);
        EXPECT_EQ(c.title, Text(reply.title));
        EXPECT_EQ(c.description, Text(reply.description));
    }
}

TEST(XStatusReply, TakesAsMuchNotificationAsTheFrameHolds)
{
    Bytes frame = XStatusReplyFrame("1", kNotice);
    // The notification's length says more than follows: what is there is read.
    size_t lengthAt = frame.size() - kNotice.size() - 4;
    frame[lengthAt] = 0xFF;
    XStatusReply reply = Parsed<XStatusReply>(frame);
    EXPECT_EQ(L"Coffee", Text(reply.title));
    EXPECT_EQ(L"a break", Text(reply.description));
}

TEST(XStatusReply, NamesThePluginOfOtherReplies)
{
    auto withPlugin = [](const std::string& plugin, unsigned function, unsigned cookie2) {
        Wire body;
        body.U32(1).U32(cookie2).U16(2).Str8("1").U16(3);
        body.Raw(Hex("1B 00 09 00")).Zeros(16).Raw(Hex("00 00 01 00 00 00 00 01 02 0E 00 01 02")).Zeros(12);
        body.Raw(Hex("1A 00 00 00 00 00 01 00 00"));
        body.U16LE(79).Raw(Hex(plugin)).U16LE(function).U32LE(42).Zeros(42 + 15).U32LE(4).U32LE(0);
        return Snac(0x04, 0x0B, body);
    };
    struct Case {
        const char* name;
        Bytes frame;
        int kind;
    };
    const Case cases[] = {
        {"first plug-in", withPlugin("BE 6B 73 05 0F C2 10 4F A6 DE 4D B1 E3 56 4B 0E", 8, 0), 4},
        {"second plug-in, no cookie", withPlugin("81 1A 18 BC 0E 6C 18 47 A5 91 6F 18 DC C7 6F 1A", 8, 0), 2},
        {"second plug-in with a cookie", withPlugin("81 1A 18 BC 0E 6C 18 47 A5 91 6F 18 DC C7 6F 1A", 8, 5), 4},
        {"another function with a cookie", withPlugin("3B 60 B3 EF D8 2A 6C 45 A4 E0 9C 5A 5E 67 E8 65", 9, 5), 4},
        {"another function without a cookie", withPlugin("3B 60 B3 EF D8 2A 6C 45 A4 E0 9C 5A 5E 67 E8 65", 9, 0), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int read = 0;
        XStatusReply reply = Parsed<XStatusReply>(c.frame, &read);
        EXPECT_EQ(int(c.frame.size()), read);
        EXPECT_EQ(c.kind, reply.kind);
    }
}

TEST(XStatusReply, StopsAtHeadersThatAreNotOurs)
{
    Wire body;
    body.U32(1).U32(2).U16(2).Str8("1").U16(3).U16LE(27).U16LE(9).Zeros(3).U8(1).Zeros(12);
    int read = 0;
    XStatusReply reply = Parsed<XStatusReply>(Snac(0x04, 0x0B, body), &read);
    EXPECT_GT(read, 0);
    EXPECT_EQ(0, reply.kind);
    EXPECT_EQ(L"1", Text(reply.sender));

    // On another channel nothing follows the reason.
    Bytes other = Snac(0x04, 0x0B, Wire().U32(1).U32(2).U16(1).Str8("1").U16(3));
    EXPECT_EQ(int(other.size()), [&] { int r = 0; Parsed<XStatusReply>(other, &r); return r; }());
}

TEST(ListRoster, ReadsItemsAndTheTimeOfTheLastFrame)
{
    ListRoster last = Parsed<ListRoster>(Roster(0));
    ASSERT_EQ(2u, last.items.size());
    EXPECT_EQ(L"Bob", Text(last.items[0].name));
    EXPECT_EQ(1, last.items[0].groupId);
    EXPECT_EQ(2, last.items[0].itemId);
    EXPECT_EQ(0, last.items[0].itemType);
    ASSERT_EQ(1, last.items[0].attributes.GetCount());
    EXPECT_EQ(0x0131, last.items[0].attributes[0].GetType());
    EXPECT_TRUE(last.last);
    EXPECT_EQ(1700000000u, last.lastChange);

    ListRoster more = Parsed<ListRoster>(Roster(1));
    EXPECT_EQ(2u, more.items.size());
    EXPECT_FALSE(more.last);
    EXPECT_EQ(0u, more.lastChange) << "with flags bit 0 no time is read";
}

TEST(ListReplies, ReadAcknowledgementAndAuthorisationNotices)
{
    EXPECT_EQ(0x000E, Parsed<ListAck>(Snac(0x13, 0x0E, Wire().U16(0x000E).U16(0))).result);

    AuthRequestNotice request = Parsed<AuthRequestNotice>(Snac(0x13, 0x19, Wire().Str8("123").Str16("\xD0\x9F\xD1\x80")));
    EXPECT_EQ(L"123", Text(request.uin));
    EXPECT_EQ(L"\x041F\x0440", Text(request.text));

    AuthReplyNotice granted = Parsed<AuthReplyNotice>(Snac(0x13, 0x1B, Wire().Str8("123").U8(1).Str16("ok")));
    EXPECT_TRUE(granted.granted);
    EXPECT_EQ(L"ok", Text(granted.reason));
    EXPECT_FALSE(Parsed<AuthReplyNotice>(Snac(0x13, 0x1B, Wire().Str8("123").U8(0).Str16(""))).granted);
}

TEST(CommandsReadBack, ThroughTheRepliesOfTheSameLayout)
{
    AuthRequestNotice request = Parsed<AuthRequestNotice>(AuthRequest(1, 2, CZELString(L"200300400"), CZELString(L"\x041F\x0440 please")));
    EXPECT_EQ(L"200300400", Text(request.uin));
    EXPECT_EQ(L"\x041F\x0440 please", Text(request.text));

    for (bool accept : {true, false}) {
        AuthReplyNotice reply = Parsed<AuthReplyNotice>(AuthReply(1, 2, CZELString(L"200300400"), accept));
        EXPECT_EQ(L"200300400", Text(reply.uin));
        EXPECT_EQ(accept, reply.granted);
        EXPECT_TRUE(reply.reason.IsEmpty());
    }

    // The status change's TLV 6 carries the code the user-information reader finds.
    Bytes status = SetStatusRequest(1, 2, 0x1000, 0x0100);
    TlvChain items;
    items.Parse(status.data() + 16, status.size() - 16);
    unsigned short code = 0;
    EXPECT_TRUE(StatusCodeOf(items, code));
    EXPECT_EQ(0x0100, code);

    // A list edit's item, wrapped in a list frame, reads back as the same item.
    ListItem item;
    item.name = CZELString(L"\x041F\x0440");
    item.groupId = 3;
    item.itemId = 0x44;
    item.itemType = 0x0E;
    item.attributes.Add(Tlv(0x0066, (unsigned short)0, nullptr));
    item.attributes.Add(Tlv(0x0131, (unsigned short)2, reinterpret_cast<const unsigned char*>("Pr")));
    Bytes edit = ListAddItem(1, 2, item);
    ListRoster roster = Parsed<ListRoster>(Snac(0x13, 0x06, Wire().U8(0).U16(1).Raw(Bytes(edit.begin() + 16, edit.end())).U32(7)));
    ASSERT_EQ(1u, roster.items.size());
    const ListItem& back = roster.items[0];
    EXPECT_EQ(L"\x041F\x0440", Text(back.name));
    EXPECT_EQ(3, back.groupId);
    EXPECT_EQ(0x44, back.itemId);
    EXPECT_EQ(0x0E, back.itemType);
    EXPECT_EQ(item.attributes.Serialize(), back.attributes.Serialize());
}
