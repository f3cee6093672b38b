// Every outgoing command against golden bytes written by hand from its field table, and read back
// through the codec's own readers.
#include "Wex/proto/ListCommands.h"
#include "Wex/proto/LocationCommands.h"
#include "Wex/proto/ServiceCommands.h"
#include "Wex/proto/SignOnCommands.h"

#include "WexTestSupport.h"

#include <gtest/gtest.h>

#include <functional>

using namespace WexTest;
using namespace Wex;

namespace {

const unsigned short kSeq = 0x1234;
const unsigned kRid = 0x01020304;

// The capabilities as the table lists them, byte for byte.
const char kTyping[] = "56 3F C8 09 0B 6F 41 BD 9F 79 42 26 09 DF A2 F3 ";
const char kRelay[] = "09 46 13 49 4C 7F 11 D1 82 22 44 45 53 54 00 00 ";
const char kDevils[] = "09 46 13 4C 4C 7F 11 D1 82 22 44 45 53 54 00 00 ";
const char kInterop[] = "09 46 13 4D 4C 7F 11 D1 82 22 44 45 53 54 00 00 ";
const char kUtf8[] = "09 46 13 4E 4C 7F 11 D1 82 22 44 45 53 54 00 00 ";
const char kRtf[] = "97 B1 27 51 24 3C 43 34 AD 22 D6 AB F7 3F 14 92 ";
const char kShort[] = "09 46 00 00 4C 7F 11 D1 82 22 44 45 53 54 00 00 ";
const char kMultiUser[] = "67 36 15 15 61 2D 4C 07 8F 3D BD E6 40 8E A0 41 ";
const char kFileSend[] = "09 46 13 43 4C 7F 11 D1 82 22 44 45 53 54 00 00 ";
const char kDirect[] = "09 46 13 44 4C 7F 11 D1 82 22 44 45 53 54 00 00 ";
const char kVoice[] = "B9 97 08 B5 3A 92 42 02 B0 69 F1 E7 57 BB 2E 17 ";
const char kXtraz[] = "1A 09 3C 6C D7 FD 4E C5 9D 51 A6 47 4E 34 F5 A0 ";
const char kPda[] = "56 3F C8 09 0B 6F 41 5A 45 4C 20 20 20 20 20 21 ";

Md5Digest CountingDigest()
{
    Md5Digest digest;
    for (size_t i = 0; i < digest.size(); ++i) digest[i] = (unsigned char)i;
    return digest;
}

ListItem Bob()
{
    ListItem item;
    item.name = CZELString(L"Bob");
    item.groupId = 1;
    item.itemId = 2;
    item.itemType = 0;
    item.attributes.Add(Tlv(0x0131, (unsigned short)5, reinterpret_cast<const unsigned char*>("bobby")));
    return item;
}

struct Golden {
    const char* name;
    std::function<Bytes()> build;
    std::string expected;
};

const std::vector<Golden>& GoldenCommands()
{
    static const std::vector<Golden> rows = {
        {"LoginHello", [] { return LoginHello(kSeq); },
         "2A 01 12 34 00 0C  00 00 00 01 80 03 00 04 00 10 00 00"},
        {"CookieHello", [] { return CookieHello(kSeq, Hex("AA BB CC")); },
         "2A 01 12 34 00 0B  00 00 00 01 00 06 00 03 AA BB CC"},
        {"KeepAliveFrame", [] { return KeepAliveFrame(kSeq); }, "2A 05 12 34 00 00"},
        {"AuthKeyRequest", [] { return AuthKeyRequest(kSeq, 0, CZELString(L"12345")); },
         "2A 02 12 34 00 13  00 17 00 06 00 00 00 00 00 00  00 01 00 05 31 32 33 34 35"},
        {"Md5LoginRequest", [] { return Md5LoginRequest(kSeq, 0, CZELString(L"12345"), Hex("61 62 63"), CountingDigest()); },
         "2A 02 12 34 00 70  00 17 00 02 00 00 00 00 00 00"
         "  00 01 00 05 31 32 33 34 35"
         "  00 25 00 10 C2 B4 37 99 7C A3 56 95 06 F2 76 BA BD 02 7A 47"
         "  00 4C 00 00"
         "  00 03 00 0A 57 45 58 20 43 6C 69 65 6E 74"
         "  00 17 00 02 00 06  00 18 00 02 00 05  00 19 00 02 00 00  00 1A 00 02 03 ED  00 16 00 02 01 0A"
         "  00 14 00 04 00 00 75 37  00 0F 00 02 72 75  00 0E 00 02 72 75  00 94 00 01 00"},
        {"ClientReady", [] { return ClientReady(kSeq); },
         "2A 02 12 34 00 62  00 01 00 02 00 00 00 00 00 02"
         "  00 22 00 01 01 10 16 4F  00 01 00 04 01 10 16 4F  00 13 00 04 01 10 16 4F  00 02 00 01 01 10 16 4F"
         "  00 03 00 01 01 10 16 4F  00 15 00 01 01 10 16 4F  00 04 00 01 01 10 16 4F  00 06 00 01 01 10 16 4F"
         "  00 09 00 01 01 10 16 4F  00 0A 00 01 01 10 16 4F  00 0B 00 01 01 10 16 4F"},
        {"RateInfoRequest", [] { return RateInfoRequest(kSeq); }, "2A 02 12 34 00 0A  00 01 00 06 00 00 00 00 00 06"},
        {"RateClassesAck", [] { return RateClassesAck(kSeq, {1, 2, 3, 4, 5}); },
         "2A 02 12 34 00 14  00 01 00 08 00 00 00 00 00 08  00 01 00 02 00 03 00 04 00 05"},
        {"SelfInfoRequest", [] { return SelfInfoRequest(kSeq); }, "2A 02 12 34 00 0A  00 01 00 0E 00 00 00 00 00 0E"},
        {"IdleTimeReport", [] { return IdleTimeReport(kSeq, kRid); },
         "2A 02 12 34 00 0E  00 01 00 11 00 00 01 02 03 04  00 00 00 00"},
        {"FamilyVersionsRequest", [] { return FamilyVersionsRequest(kSeq, ClientFamilies); },
         "2A 02 12 34 00 36  00 01 00 17 00 00 00 00 00 17"
         "  00 22 00 01  00 01 00 04  00 13 00 04  00 02 00 01  00 03 00 01  00 15 00 01"
         "  00 04 00 01  00 06 00 01  00 09 00 01  00 0A 00 01  00 0B 00 01"},
        {"SetStatusRequest", [] { return SetStatusRequest(kSeq, kRid, 0x1000, 0x0100); },
         "2A 02 12 34 00 3B  00 01 00 1E 00 00 01 02 03 04"
         "  00 06 00 04 10 00 00 01"
         "  00 0C 00 25 00 00 00 00 00 00 00 00 04 00 0B 01 23 45 67 00 00 10 00 00 00 00 01"
         "  00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
        {"location rights request", [] { return LocationRightsRequest(kSeq); },
         "2A 02 12 34 00 0A  00 02 00 02 00 00 00 00 00 02"},
        {"SetLocationInfo, full form", [] { return SetLocationInfo(kSeq); },
         std::string("2A 02 12 34 00 CE  00 02 00 04 00 00 00 00 00 04  00 05 00 C0 ") + kTyping + kRelay + kDevils +
             kInterop + kUtf8 + kRtf + kShort + kMultiUser + kFileSend + kDirect + kVoice + kXtraz},
        {"SetLocationInfo, list form, nothing added", [] { return SetLocationInfo(kSeq, false, {}); },
         std::string("2A 02 12 34 00 6E  00 02 00 04 00 00 00 00 00 04  00 05 00 60 ") + kShort + kDirect + kRelay +
             kUtf8 + kXtraz + kPda},
        {"SetLocationInfo, list form, an entry and typing", [] { return SetLocationInfo(kSeq, true, {caRTFsupport}); },
         std::string("2A 02 12 34 00 8E  00 02 00 04 00 00 00 00 00 04  00 05 00 80 ") + kShort + kDirect + kRelay +
             kUtf8 + kXtraz + kPda + kRtf + kTyping},
        {"UserInfoQuery", [] { return UserInfoQuery(kSeq, CZELString(L"123")); },
         "2A 02 12 34 00 12  00 02 00 15 00 00 00 00 00 06  00 00 00 05 03 31 32 33"},
        {"buddy rights request", [] { return BuddyRightsRequest(kSeq); },
         "2A 02 12 34 00 10  00 03 00 02 00 00 00 00 00 02  00 05 00 02 00 03"},
        {"SetIcbmParams", [] { return SetIcbmParams(kSeq, IcbmParams()); },
         "2A 02 12 34 00 1A  00 04 00 02 00 00 00 00 00 02  00 00 00 00 07 0B 1F 40 03 E7 03 E7 00 00 00 00"},
        {"ICBM parameters request", [] { return IcbmParamsRequest(kSeq); },
         "2A 02 12 34 00 0A  00 04 00 04 00 00 00 00 00 04"},
        {"offline-message request", [] { return OfflineMessagesRequest(kSeq, kRid); },
         "2A 02 12 34 00 0A  00 04 00 10 00 00 01 02 03 04"},
        {"privacy rights request", [] { return PrivacyRightsRequest(kSeq); },
         "2A 02 12 34 00 0A  00 09 00 02 00 00 00 00 00 02"},
        {"server-list rights request", [] { return ListRightsRequest(kSeq); },
         "2A 02 12 34 00 10  00 13 00 02 00 00 00 00 00 02  00 0B 00 02 00 0F"},
        {"server-list request", [] { return ListRequest(kSeq); }, "2A 02 12 34 00 0A  00 13 00 04 00 00 00 01 00 04"},
        {"server-list activation", [] { return ListActivate(kSeq); }, "2A 02 12 34 00 0A  00 13 00 07 00 00 00 00 00 07"},
        {"ListAddItem", [] { return ListAddItem(kSeq, kRid, Bob()); },
         "2A 02 12 34 00 20  00 13 00 08 00 00 01 02 03 04  00 03 42 6F 62 00 01 00 02 00 00 00 09 01 31 00 05 62 6F 62 62 79"},
        {"ListUpdateItem", [] { return ListUpdateItem(kSeq, kRid, Bob()); },
         "2A 02 12 34 00 20  00 13 00 09 00 00 01 02 03 04  00 03 42 6F 62 00 01 00 02 00 00 00 09 01 31 00 05 62 6F 62 62 79"},
        {"ListDeleteItem", [] { return ListDeleteItem(kSeq, kRid, Bob()); },
         "2A 02 12 34 00 20  00 13 00 0A 00 00 01 02 03 04  00 03 42 6F 62 00 01 00 02 00 00 00 09 01 31 00 05 62 6F 62 62 79"},
        {"ListAddItem without attributes",
         [] {
             ListItem group;
             group.name = CZELString(L"G");
             group.groupId = 5;
             group.itemType = 1;
             return ListAddItem(kSeq, kRid, group);
         },
         "2A 02 12 34 00 15  00 13 00 08 00 00 01 02 03 04  00 01 47 00 05 00 00 00 01 00 00"},
        {"server-list edit begin", [] { return ListEditBegin(kSeq, kRid); },
         "2A 02 12 34 00 0A  00 13 00 11 00 00 01 02 03 04"},
        {"server-list edit end", [] { return ListEditEnd(kSeq, kRid); }, "2A 02 12 34 00 0A  00 13 00 12 00 00 01 02 03 04"},
        {"AuthRequest", [] { return AuthRequest(kSeq, kRid, CZELString(L"123"), CZELString(L"hi")); },
         "2A 02 12 34 00 14  00 13 00 18 00 00 01 02 03 04  03 31 32 33 00 02 68 69 00 00"},
        {"AuthRequest, text measured in UTF-8", [] { return AuthRequest(kSeq, kRid, CZELString(L"123"), CZELString(L"\x041F\x0440")); },
         "2A 02 12 34 00 16  00 13 00 18 00 00 01 02 03 04  03 31 32 33 00 04 D0 9F D1 80 00 00"},
        {"AuthReply, accepted", [] { return AuthReply(kSeq, kRid, CZELString(L"123"), true); },
         "2A 02 12 34 00 11  00 13 00 1A 00 00 01 02 03 04  03 31 32 33 01 00 00"},
        {"AuthReply, declined", [] { return AuthReply(kSeq, kRid, CZELString(L"123"), false); },
         "2A 02 12 34 00 11  00 13 00 1A 00 00 01 02 03 04  03 31 32 33 00 00 00"},
    };
    return rows;
}

// The TLV chain of a SNAC frame's body.
TlvChain BodyTlvs(const Bytes& frame)
{
    TlvChain chain;
    chain.Parse(frame.data() + SnacBodyOffset, frame.size() - SnacBodyOffset);
    return chain;
}

Bytes Value(const Tlv* item)
{
    return item ? Bytes(item->GetValue(), item->GetValue() + item->GetLength()) : Bytes();
}

} // namespace

TEST(Commands, MatchTheirGoldenBytes)
{
    for (const Golden& row : GoldenCommands()) {
        SCOPED_TRACE(row.name);
        Bytes built = row.build();
        EXPECT_EQ(ToHex(Hex(row.expected)), ToHex(built));
    }
}

TEST(Commands, ReadBackThroughTheFrameHeaders)
{
    for (const Golden& row : GoldenCommands()) {
        SCOPED_TRACE(row.name);
        Bytes built = row.build();
        FlapPacket flap;
        ASSERT_EQ(6, UnpackFlap(built.data(), built.size(), flap));
        EXPECT_EQ(built.size(), flap.FrameSize()) << "the length field counts exactly the data written";
        if (flap.channel != ChannelSnac) continue;
        SnacPacket snac;
        EXPECT_EQ(16, UnpackSnac(built.data(), built.size(), snac));
        EXPECT_EQ(0, snac.flags);
    }
}

TEST(Commands, LoginCommandsReadBackAsTlvChains)
{
    CZELString uin(L"100200300");
    Bytes key = Hex("61 62 63");
    TlvChain request = BodyTlvs(AuthKeyRequest(1, 0, uin));
    EXPECT_EQ(Hex("31 30 30 32 30 30 33 30 30"), Value(request.Find(0x0001)));

    TlvChain login = BodyTlvs(Md5LoginRequest(1, 0, uin, key, CountingDigest()));
    EXPECT_EQ(13, login.GetCount());
    Md5Digest digest = Md5LoginDigest(key, CountingDigest());
    EXPECT_EQ(Bytes(digest.begin(), digest.end()), Value(login.Find(0x0025)));
    EXPECT_EQ(Hex("31 30 30 32 30 30 33 30 30"), Value(login.Find(0x0001)));

    Bytes cookie = SignOnCookie();
    Bytes hello = CookieHello(1, cookie);
    TlvChain data;
    data.Parse(hello.data() + 10, hello.size() - 10);
    EXPECT_EQ(cookie, Value(data.Find(0x0006)));
}

TEST(Commands, LoginDigestCoversKeyPasswordDigestAndSalt)
{
    // MD5("abc" 00 01 .. 0F "Generic Messenger Salt 01x"), worked out apart from the codec.
    Md5Digest digest = Md5LoginDigest(Hex("61 62 63"), CountingDigest());
    EXPECT_EQ(ToHex(Hex("C2 B4 37 99 7C A3 56 95 06 F2 76 BA BD 02 7A 47")), ToHex(Bytes(digest.begin(), digest.end())));
    Md5Digest other = Md5LoginDigest(Hex("61 62 64"), CountingDigest());
    EXPECT_NE(digest, other);
}

TEST(Commands, AreSizedFromTheirOwnLengthPastFiveThousandBytes)
{
    // 6,000 letters from U+0800 up are 18,000 bytes of UTF-8: far past a 5,000-byte send buffer.
    std::wstring letters(6000, L'\x0915');
    Bytes frame = AuthRequest(1, 2, CZELString(L"123"), CZELString(letters.c_str()));
    ASSERT_EQ(16u + 4 + 2 + 18000 + 2, frame.size());
    FlapPacket flap;
    UnpackFlap(frame.data(), frame.size(), flap);
    EXPECT_EQ(frame.size(), flap.FrameSize());
    EXPECT_EQ(Hex("46 50"), Bytes(frame.begin() + 20, frame.begin() + 22)) << "str16 length 18,000";
}

TEST(Commands, RefuseValuesThatDoNotFitTheirLengthFields)
{
    std::wstring uin256(256, L'1');
    std::wstring longName(21846, L'\x0915');  // 65,538 bytes of UTF-8
    ListItem item;
    item.name = CZELString(longName.c_str());
    struct Case {
        const char* name;
        Bytes frame;
    };
    const Case cases[] = {
        {"a str8 UIN of 256 bytes", AuthReply(1, 2, CZELString(uin256.c_str()), true)},
        {"a str8 UIN of 256 bytes in the system code page", UserInfoQuery(1, CZELString(uin256.c_str()))},
        {"a name over 65,535 bytes", ListAddItem(1, 2, item)},
        {"a frame over 65,535 data bytes", AuthRequest(1, 2, CZELString(L"1"), CZELString(std::wstring(21840, L'\x0915').c_str()))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(c.frame.empty());
    }
    // The largest frame still goes: 65,535 data bytes.
    std::wstring fits(65535 - 10 - 2 - 2 - 2, L'a');
    Bytes largest = AuthRequest(1, 2, CZELString(L"1"), CZELString(fits.c_str()));
    EXPECT_EQ(size_t(MaxFrameSize), largest.size());
}
