// The login computations against reference values computed independently (Python's hashlib and
// base64, and RFC 2831's own worked example).
#include "Jabber/sasl/Base64.h"
#include "Jabber/sasl/DigestMd5.h"
#include "Jabber/sasl/HexDigest.h"
#include "Jabber/sasl/LegacyAuth.h"
#include "Jabber/sasl/SaslPlain.h"

#include <gtest/gtest.h>

#include <set>

using namespace Sasl;

namespace {

// "пётр" and "пароль" in UTF-8.
const std::string kCyrillicUser = "\xd0\xbf\xd1\x91\xd1\x82\xd1\x80";
const std::string kCyrillicPassword = "\xd0\xbf\xd0\xb0\xd1\x80\xd0\xbe\xd0\xbb\xd1\x8c";
const std::string kCnonce = "0123456789abcdef0123456789abcdef";

TEST(SaslPlain, InitialResponseIsBareJidUserAndPassword)
{
    struct Case {
        const char* name;
        std::string user, server, password, expected;
    } cases[] = {
        {"ascii", "alice", "localhost", "alicepw", "YWxpY2VAbG9jYWxob3N0AGFsaWNlAGFsaWNlcHc="},
        {"utf-8", kCyrillicUser, "localhost", kCyrillicPassword, "0L/RkdGC0YBAbG9jYWxob3N0ANC/0ZHRgtGAANC/0LDRgNC+0LvRjA=="},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PlainInitialResponse(c.user, c.server, c.password), c.expected);
    }
}

TEST(DigestMd5, ResponseValueMatchesTheWorkedExampleOfRfc2831)
{
    // user, realm, password, nonce, cnonce, nc, qop, digest-uri
    DigestAnswer answer = {"chris", "elwood.innosoft.com", "secret", "OA6MG9tEQGm2hh", "OA6MHXh6VqTrRk",
                           "00000001", "auth", "imap/elwood.innosoft.com"};
    EXPECT_EQ(DigestResponseValue(answer), "d388dad90d4bbd760a152321f2143af7");
}

TEST(DigestMd5, AnswersTheServersFirstChallenge)
{
    // The challenge as the test server sends it: no realm, unquoted charset and algorithm.
    const std::string challenge = "bm9uY2U9IjgxNTExMTMyMjQ1NzE3NDMwNTQiLHFvcD0iYXV0aCIsY2hhcnNldD11dGYtOCxhbGdvcml0aG09bWQ1LXNlc3M=";
    EXPECT_EQ(DigestMd5Response(challenge, "alice", "localhost", "alicepw", kCnonce),
              "dXNlcm5hbWU9ImFsaWNlIixyZWFsbT0iIixub25jZT0iODE1MTExMzIyNDU3MTc0MzA1NCIsY25vbmNlPSIwMTIzNDU2Nzg5YWJj"
              "ZGVmMDEyMzQ1Njc4OWFiY2RlZiIsbmM9MDAwMDAwMDEscW9wPWF1dGgsZGlnZXN0LXVyaT0ieG1wcC9sb2NhbGhvc3QiLGNoYXJz"
              "ZXQ9dXRmLTgscmVzcG9uc2U9ODRmYTdlMDExNjFkZTUwMGM2YWM5MzBkZjE1N2Y3ODU=");
}

TEST(DigestMd5, SendsTheUtf8BytesItHashed)
{
    const std::string challenge = Base64Encode("realm=\"localhost\",nonce=\"abc\",qop=\"auth\"");
    std::string sent = Base64Decode(DigestMd5Response(challenge, kCyrillicUser, "localhost", kCyrillicPassword, kCnonce));
    EXPECT_EQ(sent, "username=\"" + kCyrillicUser + "\",realm=\"localhost\",nonce=\"abc\",cnonce=\"" + kCnonce +
                        "\",nc=00000001,qop=auth,digest-uri=\"xmpp/localhost\",charset=utf-8,"
                        "response=a11e63878539a91cbd73e90ada666a9b");
}

TEST(DigestMd5, QuotesWhatItEchoes)
{
    DigestAnswer answer = {"a\"b\\c", "r", "p", "n", "c", "00000001", "auth", "xmpp/s"};
    const std::string expected = "username=\"a\\\"b\\\\c\",realm=";
    EXPECT_EQ(DigestResponseText(answer).substr(0, expected.size()), expected);
}

TEST(DigestMd5, ChallengeWithoutNonceGetsNoAnswer)
{
    EXPECT_EQ(DigestMd5Response(Base64Encode("realm=\"x\",qop=\"auth\""), "u", "s", "p", kCnonce), "");
    EXPECT_EQ(DigestMd5Response("", "u", "s", "p", kCnonce), "");
    EXPECT_EQ(DigestMd5Response(Base64Encode("nonce=\"\""), "u", "s", "p", kCnonce), "");
}

TEST(DigestMd5, ParsesChallengeDirectives)
{
    typedef std::vector<std::pair<std::string, std::string>> Directives;
    struct Case {
        const char* name;
        std::string text;
        Directives expected;
    } cases[] = {
        {"quoted and token values",
         "nonce=\"8151\",qop=\"auth\",charset=utf-8,algorithm=md5-sess",
         {{"nonce", "8151"}, {"qop", "auth"}, {"charset", "utf-8"}, {"algorithm", "md5-sess"}}},
        {"a token before the nonce", "charset=utf-8,nonce=\"n1\"", {{"charset", "utf-8"}, {"nonce", "n1"}}},
        {"commas inside quotes", "realm=\"a,b\",nonce=\"x,y,z\"", {{"realm", "a,b"}, {"nonce", "x,y,z"}}},
        {"backslash quoting", "realm=\"say \\\"hi\\\" \\\\o/\"", {{"realm", "say \"hi\" \\o/"}}},
        {"blanks and line breaks", " nonce = \"n\" ,\r\n\tqop = auth , ", {{"nonce", "n"}, {"qop", "auth"}}},
        {"empty values", "realm=\"\",x=", {{"realm", ""}, {"x", ""}}},
        {"unterminated quote stops", "qop=\"auth\",nonce=\"abc", {{"qop", "auth"}}},
        {"key without = stops", "qop=\"auth\",garbage,nonce=\"n\"", {{"qop", "auth"}}},
        {"empty", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ParseDigestChallenge(c.text).directives, c.expected);
    }
}

TEST(DigestMd5, ReadsAtMostOneHundredDirectives)
{
    std::string text;
    for (int i = 0; i < 150; ++i) text += "k" + std::to_string(i) + "=\"v\",";
    text += "nonce=\"late\"";
    DigestChallenge challenge = ParseDigestChallenge(text);
    EXPECT_EQ(challenge.directives.size(), size_t(DigestChallenge::MaxDirectives));
    EXPECT_EQ(challenge.Find("nonce"), nullptr);
    ASSERT_NE(challenge.Find("k99"), nullptr);
}

TEST(DigestMd5, CnoncesAreRandomHex)
{
    std::set<std::string> seen;
    for (int i = 0; i < 20; ++i) {
        std::string cnonce = NewCnonce();
        ASSERT_EQ(cnonce.size(), 32u);
        EXPECT_EQ(cnonce.find_first_not_of("0123456789abcdef"), std::string::npos) << cnonce;
        seen.insert(cnonce);
    }
    EXPECT_EQ(seen.size(), 20u);
}

TEST(LegacyAuth, DigestIsSha1HexOfStreamIdAndPassword)
{
    EXPECT_EQ(LegacyAuthDigest("3BF96D9B", "alicepw"), "aa0e62b0fb4b457b6929c574c267d5731aac2ee5");
    EXPECT_EQ(LegacyAuthDigest("3BF96D9B", kCyrillicPassword), "7f442870fa8d24002d72bf6dea54eb81f452a70d");
    EXPECT_EQ(Sha1Hex(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
}

}  // namespace
