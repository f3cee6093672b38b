// The reply readers on good packets, on every truncation of them, and on hostile bodies.
#include "Dax/proto/MrimReplies.h"
#include "Dax/proto/MrimRequests.h"
#include "Dax/proto/tests/MrimTestSupport.h"

#include <gtest/gtest.h>

using namespace MrimTest;

TEST(MrimReplies, LeadingNumberNeedsFourBytes)
{
    unsigned value = 99;
    EXPECT_FALSE(Mrim::ReadLeadingU32(Hex("01 02 03").data(), 3, value));
    EXPECT_EQ(99u, value);
    Bytes four = Hex("3C 00 00 00 FF");
    EXPECT_TRUE(Mrim::ReadLeadingU32(four.data(), four.size(), value));
    EXPECT_EQ(60u, value);
}

TEST(MrimReplies, LoginRejectedReason)
{
    Bytes body = Wire().Lps("Invalid login");
    CZELString reason;
    ASSERT_TRUE(Mrim::ParseLoginRejected(body.data(), body.size(), reason));
    EXPECT_EQ(L"Invalid login", Text(reason));
    for (size_t cut = 0; cut < body.size(); ++cut) EXPECT_FALSE(Mrim::ParseLoginRejected(body.data(), cut, reason));
}

TEST(MrimReplies, UserInfoPairsUpToTheFirstBrokenOne)
{
    Bytes body = Wire().Lps("MESSAGES.TOTAL").Lps16(L"12").Lps("MESSAGES.UNREAD").Lps16(L"3").Lps("MRIM.NICKNAME");
    auto pairs = Mrim::ParseUserInfo(body.data(), body.size());
    ASSERT_EQ(2u, pairs.size());
    EXPECT_EQ(L"MESSAGES.UNREAD", Text(pairs[1].first));
    EXPECT_EQ(L"3", Text(pairs[1].second));
    EXPECT_TRUE(Mrim::ParseUserInfo(nullptr, 0).empty());
}

TEST(MrimReplies, NewMailAndWebSessionKey)
{
    Bytes mail = Wire().U32(5).Lps("\xC8\xE2\xE0\xED <i@example.org>").Lps("Re: \xEF\xF0\xE8\xE2\xE5\xF2");
    Mrim::NewMail parsed;
    ASSERT_TRUE(Mrim::ParseNewMail(mail.data(), mail.size(), parsed));
    EXPECT_EQ(L"\u0418\u0432\u0430\u043D <i@example.org>", Text(parsed.sender));
    EXPECT_EQ(L"Re: \u043F\u0440\u0438\u0432\u0435\u0442", Text(parsed.subject));
    EXPECT_FALSE(Mrim::ParseNewMail(mail.data(), 8, parsed));

    Bytes key = Wire().U32(1).Lps("0123abcd");
    Mrim::WebSessionKey session;
    ASSERT_TRUE(Mrim::ParseWebSessionKey(key.data(), key.size(), session));
    EXPECT_EQ(L"0123abcd", Text(session.key));
    Bytes refused = Wire().U32(0);
    ASSERT_TRUE(Mrim::ParseWebSessionKey(refused.data(), refused.size(), session));
    EXPECT_EQ(0u, session.status);
    EXPECT_FALSE(Mrim::ParseWebSessionKey(key.data(), 10, session));
}

TEST(MrimReplies, IncomingMessageEveryTruncationFails)
{
    Bytes body = Wire().U32(77).U32(0x00100000).Lps("bob@example.org").Lps16(L"Hello").U32(0);
    Mrim::IncomingMessage message;
    ASSERT_TRUE(Mrim::ParseIncomingMessage(body.data(), body.size(), message));
    EXPECT_EQ(77u, message.id);
    EXPECT_EQ(L"bob@example.org", Text(message.sender));
    EXPECT_EQ(L"Hello", Text(Mrim::Decode(message.text, message.textLength, Mrim::TextEncoding(message.flags))));
    // The RTF part is not needed; anything before the text's end is.
    for (size_t cut = 0; cut < body.size() - 4; ++cut) {
        SCOPED_TRACE(cut);
        EXPECT_FALSE(Mrim::ParseIncomingMessage(body.data(), cut, message));
    }
}

TEST(MrimReplies, TextEncodingByFlags)
{
    EXPECT_EQ(Mrim::Encoding::Cp1251, Mrim::TextEncoding(0));
    EXPECT_EQ(Mrim::Encoding::Utf16LE, Mrim::TextEncoding(0x00100000));
    EXPECT_EQ(Mrim::Encoding::Cp1251, Mrim::TextEncoding(0x00300000));
    EXPECT_EQ(Mrim::Encoding::Cp1251, Mrim::TextEncoding(0x00200000));
}

TEST(MrimReplies, AuthBlockIsBoundedByItsBytes)
{
    CZELString text;
    Bytes good = Wire().U32(2).Lps("bob@example.org").Lps("\xCF\xF0\xE8");
    ASSERT_TRUE(Mrim::ParseAuthBlock(good, 0, text));
    EXPECT_EQ(L"\u041F\u0440\u0438", Text(text));
    Bytes utf16 = Wire().U32(2).Lps16(L"bob").Lps16(L"Me");
    ASSERT_TRUE(Mrim::ParseAuthBlock(utf16, 0x00100000, text));
    EXPECT_EQ(L"Me", Text(text));
    for (const Bytes& bad : {Hex("02"), Hex("02 00 00"), Wire().U32(1).Lps("a").Lps("b").Get(),
                             Wire().U32(2).Lps("a").U32(1000).Text("b").Get(), Wire().U32(0xFFFFFFFF).Get()})
        EXPECT_FALSE(Mrim::ParseAuthBlock(bad, 0, text));
}

TEST(MrimReplies, OfflinePacketNeedsItsKey)
{
    Mrim::OfflineMessagePacket packet;
    EXPECT_FALSE(Mrim::ParseOfflineMessagePacket(Hex("01 02 03 04 05 06 07").data(), 7, packet));
    Bytes eight = Hex("01 02 03 04 05 06 07 08 09 00");
    ASSERT_TRUE(Mrim::ParseOfflineMessagePacket(eight.data(), eight.size(), packet));
    EXPECT_EQ(0x08, packet.key[7]);
    EXPECT_TRUE(packet.text.IsEmpty());
    Bytes whole = Wire().Raw(Hex("0102030405060708")).U32(3).Text("F: \xE0");
    ASSERT_TRUE(Mrim::ParseOfflineMessagePacket(whole.data(), whole.size(), packet));
    EXPECT_EQ(L"F: \u0430", Text(packet.text));
}

TEST(MrimReplies, UserStatusWithAndWithoutItsTail)
{
    Bytes body = Wire().U32(4).Lps("status_chat").Lps16(L"Title").Lps16(L"Text").Lps("bob@example.org").U32(0x3FF)
                     .Lps("client=x");
    Mrim::UserStatus status;
    ASSERT_TRUE(Mrim::ParseUserStatus(body.data(), body.size(), status));
    EXPECT_EQ(L"Title", Text(status.title));
    EXPECT_EQ(L"client=x", Text(status.userAgent));
    size_t throughEmail = body.size() - 4 - 12;
    ASSERT_TRUE(Mrim::ParseUserStatus(body.data(), throughEmail, status));
    EXPECT_TRUE(status.userAgent.IsEmpty());
    for (size_t cut = 0; cut < throughEmail; ++cut) EXPECT_FALSE(Mrim::ParseUserStatus(body.data(), cut, status));
}

TEST(MrimReplies, ContactAckIdMayBeMissing)
{
    Mrim::ContactAck ack;
    EXPECT_FALSE(Mrim::ParseContactAck(Hex("05 00 00").data(), 3, ack));
    Bytes four = Hex("05 00 00 00 07 00");
    ASSERT_TRUE(Mrim::ParseContactAck(four.data(), four.size(), ack));
    EXPECT_EQ(5u, ack.status);
    EXPECT_EQ(0u, ack.id);
    Bytes eight = Hex("00 00 00 00 2A 00 00 00");
    ASSERT_TRUE(Mrim::ParseContactAck(eight.data(), eight.size(), ack));
    EXPECT_EQ(42u, ack.id);
}
