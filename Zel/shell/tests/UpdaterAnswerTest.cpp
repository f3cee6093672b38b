// The update service's answers read by the pure parsers: status lines, header fields, the sizes and
// ranges of a package download, and the version answer with its digest, also fed one byte at a time.
#include "Zel/shell/updater/HttpAnswer.h"
#include "Zel/shell/updater/PackageDigest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace HttpAnswer;

namespace {

const char kDigestHex[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";  // SHA-256 of "abc"

int Status(const std::string& header)
{
    return StatusCode(header.data(), header.size());
}

}  // namespace

TEST(UpdaterAnswer, HeaderEndsAtTheFirstBlankLine)
{
    std::string answer = "HTTP/1.0 200 OK\r\nA: b\r\n\r\nbody\r\n\r\n";
    EXPECT_EQ(HeaderEnd(answer.data(), answer.size()), answer.find("body"));
    EXPECT_EQ(HeaderEnd(answer.data(), answer.find("body") - 1), 0u);
    EXPECT_EQ(HeaderEnd("", 0), 0u);
    EXPECT_EQ(HeaderEnd("\n\n\r\n", 4), 0u);
}

TEST(UpdaterAnswer, StatusCodeIsThreeDigitsAfterTheFirstBlank)
{
    struct Case {
        const char* line;
        int status;
    } cases[] = {
        {"HTTP/1.0 200 OK\r\n", 200},
        {"HTTP/1.1 206 Partial Content\r\n", 206},
        {"HTTP/1.0 404\r\n", 404},
        {"HTTP/1.0 20 OK\r\n", -1},
        {"HTTP/1.0 2000 OK\r\n", -1},
        {"HTTP/1.0 2x0 OK\r\n", -1},
        {"HTTP/1.0  200 OK\r\n", -1},
        {"HTTP/1.0\r\n200 OK\r\n", -1},
        {"HTTP/1.0 200", -1},
        {"", -1},
    };
    for (const Case& c : cases) EXPECT_EQ(Status(c.line), c.status) << c.line;
}

TEST(UpdaterAnswer, FieldsAreFoundInAnyLetterCaseWithoutTheirBlanks)
{
    std::string header = "HTTP/1.0 200 Content-Length: 7\r\ncontent-LENGTH:\t 12 \r\nX-Empty:\r\nContent-Length: 99\r\n\r\n";
    std::string value;
    ASSERT_TRUE(FindField(header.data(), header.size(), "Content-Length", value));
    EXPECT_EQ(value, "12");  // the status line is no field, and the first field wins
    ASSERT_TRUE(FindField(header.data(), header.size(), "x-empty", value));
    EXPECT_EQ(value, "");
    EXPECT_FALSE(FindField(header.data(), header.size(), "Content-Range", value));
    EXPECT_FALSE(FindField(header.data(), header.size(), "Content", value));
}

TEST(UpdaterAnswer, ContentLengthTakesOnlyAPlainSizeUpToTheLimit)
{
    struct Case {
        const char* field;
        bool taken;
        unsigned size;
    } cases[] = {
        {"Content-Length: 1234\r\n", true, 1234},
        {"content-length:67108864\r\n", true, MaxPackageBytes},
        {"Content-Length: 67108865\r\n", false, 0},
        {"Content-Length: 99999999999\r\n", false, 0},
        {"Content-Length: 18446744073709551617\r\n", false, 0},
        {"Content-Length: 0\r\n", false, 0},
        {"Content-Length: -5\r\n", false, 0},
        {"Content-Length: +5\r\n", false, 0},
        {"Content-Length: 12a\r\n", false, 0},
        {"Content-Length: 1 2\r\n", false, 0},
        {"Content-Length:\r\n", false, 0},
        {"Content-Type: 12\r\n", false, 0},
    };
    for (const Case& c : cases) {
        std::string header = std::string("HTTP/1.0 200 OK\r\n") + c.field + "\r\n";
        unsigned size = 0;
        EXPECT_EQ(ContentLength(header.data(), header.size(), MaxPackageBytes, size), c.taken) << c.field;
        if (c.taken) {
            EXPECT_EQ(size, c.size) << c.field;
        }
    }
}

TEST(UpdaterAnswer, ContentRangeGivesItsFirstByte)
{
    struct Case {
        const char* value;
        bool taken;
        unsigned first;
    } cases[] = {
        {"bytes 1000-1999/100000", true, 1000},
        {"BYTES 0-9/10", true, 0},
        {"bytes  4294967295-", true, 4294967295u},
        {"bytes 4294967296-4294967297/5000000000", false, 0},
        {"bytes */100000", false, 0},
        {"bytes 12", false, 0},
        {"items 1-2/3", false, 0},
        {"bytes=10-", false, 0},
        {"", false, 0},
    };
    for (const Case& c : cases) {
        unsigned first = 7;
        EXPECT_EQ(ContentRangeStart(c.value, first), c.taken) << c.value;
        if (c.taken) {
            EXPECT_EQ(first, c.first) << c.value;
        }
    }
}

TEST(UpdaterAnswer, VersionAnswerNeedsTheBuildABlankAndTheWholeDigest)
{
    PackageDigest abc;
    ASSERT_TRUE(Sha256("abc", 3, abc));
    std::string upper = kDigestHex;
    for (char& c : upper) c = char(toupper(c));
    struct Case {
        std::string body;
        VersionParse parse;
        unsigned build;
    } cases[] = {
        {std::string("2141 ") + kDigestHex, VersionComplete, 2141},
        {std::string("2141 ") + kDigestHex + "\r\n<html>", VersionComplete, 2141},
        {"7 " + upper, VersionComplete, 7},
        {std::string("999999999 ") + kDigestHex, VersionComplete, 999999999},
        {std::string("4294967297 ") + kDigestHex, VersionMalformed, 0},
        {std::string("2141  ") + kDigestHex, VersionMalformed, 0},
        {std::string("2141\n") + kDigestHex, VersionMalformed, 0},
        {std::string(" 2141 ") + kDigestHex, VersionMalformed, 0},
        {"2141 " + std::string(kDigestHex).substr(0, 40) + "xyz", VersionMalformed, 0},
        {"<html>2141", VersionMalformed, 0},
        {"2141 " + std::string(kDigestHex).substr(0, 63), VersionIncomplete, 0},
        {"2141 ", VersionIncomplete, 0},
        {"2141", VersionIncomplete, 0},
        {"", VersionIncomplete, 0},
    };
    for (const Case& c : cases) {
        VersionAnswer answer;
        EXPECT_EQ(ParseVersionAnswer(c.body.data(), c.body.size(), answer), c.parse) << c.body;
        if (c.parse != VersionComplete) continue;
        EXPECT_EQ(answer.build, c.build) << c.body;
        EXPECT_EQ(memcmp(answer.digest, abc, sizeof(abc)), 0) << c.body;
    }
}

// What a reader that is handed the answer in pieces sees at each length: nothing until the last
// digit of the digest, then the same answer from there on.
TEST(UpdaterAnswer, VersionAnswerSplitAtEveryByte)
{
    std::string answer = std::string("HTTP/1.1 200 OK\r\nServer: test\r\nContent-Length: 70\r\n\r\n2141 ") + kDigestHex + "\n";
    size_t complete = answer.size() - 1;
    for (size_t length = 0; length <= answer.size(); ++length) {
        size_t end = HeaderEnd(answer.data(), length);
        VersionParse parse = VersionIncomplete;
        VersionAnswer read;
        if (end) {
            ASSERT_EQ(StatusCode(answer.data(), end), 200);
            parse = ParseVersionAnswer(answer.data() + end, length - end, read);
        }
        EXPECT_EQ(parse, length >= complete ? VersionComplete : VersionIncomplete) << length;
        if (parse == VersionComplete) {
            EXPECT_EQ(read.build, 2141u);
        }
    }
}

TEST(UpdaterAnswer, Sha256OfKnownTexts)
{
    struct Case {
        std::string text;
        const char* hex;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", kDigestHex},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const Case& c : cases) {
        PackageDigest digest;
        ASSERT_TRUE(Sha256(c.text.data(), c.text.size(), digest));
        char hex[65];
        for (int i = 0; i < 32; ++i) snprintf(hex + 2 * i, 3, "%02x", digest[i]);
        EXPECT_STREQ(hex, c.hex) << c.text.size();
    }
}
