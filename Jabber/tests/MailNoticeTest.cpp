// New-mail notices: the alert of each described message, the link's encoding and signature.
#include "Jabber/account/MailNotice.h"

#include "Jabber/tests/StanzaText.h"
#include "ZELCommon/MD5.h"

#include <gtest/gtest.h>

namespace {

const MailNoticeLabels kLabels{L"Acc.: ", L"E-mail received\r\nFrom: ", L"Subject: "};

std::vector<std::wstring> Alerts(const std::string& inner, const std::wstring& account = L"alice")
{
    std::unique_ptr<XmlElement> presence =
        JabberTest::ParseStanza("<presence><x xmlns='zel:mail:notify'>" + inner + "</x></presence>");
    EXPECT_TRUE(presence);
    if (!presence) return {};
    return MailNoticeAlerts(*FindChild(presence.get(), "x"), kLabels, account);
}

std::wstring Alert(const std::wstring& account, const std::wstring& from, const std::wstring& subject)
{
    return L"Acc.: " + account + L"\r\nE-mail received\r\nFrom: " + from + L"\r\nSubject: " + subject;
}

TEST(MailNotice, OneAlertPerDescribedMessage)
{
    const std::string message = "<message><senders><sender address='bob@mail.example'/></senders>"
                                "<subject>Hi &amp; bye</subject></message>";
    struct Case {
        const char* name;
        std::string inner;
        std::wstring account;
        std::vector<std::wstring> alerts;
    } cases[] = {
        {"one message", message, L"alice", {Alert(L"alice", L"bob@mail.example", L"Hi & bye")}},
        {"three messages, each its own", message + message + message, L"alice",
         std::vector<std::wstring>(3, Alert(L"alice", L"bob@mail.example", L"Hi & bye"))},
        {"unread suppresses all", "<unread/>" + message + message, L"alice", {}},
        {"no subject: the label ends the text",
         "<message><senders><sender address='c@d'/></senders></message>", L"alice", {Alert(L"alice", L"c@d", L"")}},
        {"the sender is the k-th of k children", "<message><senders><sender address='one'/><sender address='two'/>"
                                                 "</senders><subject>s</subject></message>",
         L"alice", {Alert(L"alice", L"two", L"s")}},
        {"k-th child is not a sender", "<message><senders><sender address='a'/><other/></senders></message>", L"alice",
         {}},
        {"no senders", "<message><subject>s</subject></message>" + message, L"alice",
         {Alert(L"alice", L"bob@mail.example", L"Hi & bye")}},
        // Every piece is joined: a missing one is empty and does not cut the text short.
        {"empty account name", message, L"", {Alert(L"", L"bob@mail.example", L"Hi & bye")}},
        {"sender without address", "<message><senders><sender/></senders><subject>s</subject></message>", L"alice",
         {Alert(L"alice", L"", L"s")}},
        {"non-ASCII subject", "<message><senders><sender address='a'/></senders><subject>\xd0\x9f\xd1\x80\xd0\xb8</subject></message>",
         L"alice", {Alert(L"alice", L"a", L"\x041f\x0440\x0438")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Alerts(c.inner, c.account), c.alerts);
    }
}

TEST(MailNotice, UrlEncodeWritesTwoDigitsAndRealUtf8)
{
    struct Case {
        std::wstring in;
        std::wstring out;
    } cases[] = {
        {L"azAZ09-.", L"azAZ09-."},
        {L"a b", L"a%20b"},
        {L"a@b", L"a%40b"},
        {L"\t", L"%09"},
        {L"\x01", L"%01"},
        {L"/_~", L"%2f%5f%7e"},
        {L"\x00e9", L"%c3%a9"},
        {L"\x4e2d", L"%e4%b8%ad"},
        {L"\xd83d\xde00", L"%f0%9f%98%80"},  // one character beyond 16 bits
        {L"\xd83d", L"%ef%bf%bd"},           // a half alone
        {L"\xde00x", L"%ef%bf%bdx"},
        {L"", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(UrlEncode(c.in), c.out);
}

TEST(MailNotice, LinkIsSignedWithTheJidAndPassword)
{
    const std::wstring link = WebMailLinkFor(L"al ice@zel.example", L"p\x00e9");
    const size_t user = link.find(L"/reg/test?user=al%20ice%40zel.example&hash=");
    ASSERT_NE(user, std::wstring::npos) << std::string(link.begin(), link.end());
    const size_t hashAt = link.find(L"&hash=") + 6;
    const std::wstring hash = link.substr(hashAt, 32);
    EXPECT_EQ(link.substr(hashAt + 32, 9), L"&project=");
    EXPECT_NE(link.find(L"&retpath="), std::wstring::npos);
    // MD5 of the service's key, the JID, "|" and the password in UTF-8.
    const std::string input = std::string("zel-mail-key-2009") + "al ice@zel.example|p\xc3\xa9";
    unsigned char digest[CMD5::DigestSize];
    CMD5::Hash(input.data(), unsigned(input.size()), digest);
    std::wstring expected;
    for (unsigned char b : digest) {
        expected += L"0123456789abcdef"[b >> 4];
        expected += L"0123456789abcdef"[b & 15];
    }
    EXPECT_EQ(hash, expected);
    // Another password, another signature.
    EXPECT_NE(WebMailLinkFor(L"al ice@zel.example", L"other"), link);
}

}  // namespace
