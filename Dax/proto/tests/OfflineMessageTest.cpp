// The MIME form of offline messages: headers, the plain and the multipart bodies, LF and CR LF.
#include "Dax/proto/OfflineMessage.h"
#include "Dax/proto/tests/MrimTestSupport.h"

#include <gtest/gtest.h>

using namespace MrimTest;

namespace {

// "Hello" in Base64, and "Привет" in code page 1251.
const std::wstring HelloB64 = L"SGVsbG8=";
const std::wstring PrivetB64 = L"z/Do4uXy";

std::wstring Lines(const std::wstring& text, const std::wstring& lineEnd)
{
    std::wstring out;
    for (wchar_t c : text) {
        if (c == L'\n') out += lineEnd;
        else out += c;
    }
    return out;
}

std::string Body(const Mrim::OfflineMessage& message)
{
    return std::string(message.body.begin(), message.body.end());
}

} // namespace

TEST(MrimOfflineMessage, HeadersStopAtTheEmptyLine)
{
    for (const wchar_t* end : {L"\n", L"\r\n"}) {
        Mrim::MimeHeaders headers;
        CZELString text = Str(Lines(L"From: bob@example.org\nDate: Mon, 1 Jan 2009\nNoColon\nX: a: b\n\nbody\n", end));
        int stop = Mrim::ParseMimeHeaders(text, 0, headers);
        EXPECT_EQ(3u, headers.size());
        EXPECT_EQ(L"bob@example.org", Text(headers[L"from"]));
        EXPECT_EQ(L"a: b", Text(headers[L"x"]));
        EXPECT_EQ(L"body", Text(text.Substring(stop, text.GetLength() - stop)).substr(std::wstring(end).size(), 4));
    }
}

TEST(MrimOfflineMessage, PlainAndMultipartInLfAndCrLf)
{
    const std::wstring plain = L"From: bob@example.org\nDate: Tue, 2 Feb 2010 10:00:00\nContent-Type: text/plain; charset=CP-1251\n"
                               L"X-MRIM-Flags: 00100000\n\n" + HelloB64 + L"\n";
    const std::wstring wrapped = L"From: bob@example.org\nDate: D\nContent-Type: text/plain\nX-MRIM-Flags: 0\n\nSGVs\nbG8=\n";
    const std::wstring multipart =
        L"From: ann@example.org\nDate: D\nX-MRIM-Flags: 00000000\nContent-Type: multipart/alternative; boundary=XYZ\n\n"
        L"--XYZ\nContent-Type: text/html\n\nPGI+\n--XYZ\nContent-Type: text/plain; charset=CP-1251\n"
        L"Content-Transfer-Encoding: base64\n\n" + PrivetB64 + L"\n--XYZ--\n";
    struct Case {
        const char* name;
        std::wstring text;
        bool readable;
        std::wstring from;
        unsigned flags;
        std::string body;
    } cases[] = {
        {"plain", plain, true, L"bob@example.org", 0x00100000, "Hello"},
        {"wrapped Base64", wrapped, true, L"bob@example.org", 0, "Hello"},
        {"multipart", multipart, true, L"ann@example.org", 0, "\xCF\xF0\xE8\xE2\xE5\xF2"},
        {"no date", L"From: a@b\nContent-Type: text/plain\nX-MRIM-Flags: 0\n\nSGVsbG8=\n", false, L"a@b", 0, ""},
        {"no boundary", L"From: a@b\nDate: D\nX-MRIM-Flags: 0\nContent-Type: multipart/alternative\n\n--\n", false,
         L"a@b", 0, ""},
        {"no text part", L"From: a@b\nDate: D\nX-MRIM-Flags: 0\nContent-Type: multipart/alternative; boundary=B\n\n"
                         L"--B\nContent-Type: text/html\n\nPGI+\n--B--\n", false, L"a@b", 0, ""},
        {"other type", L"From: a@b\nDate: D\nX-MRIM-Flags: 0\nContent-Type: image/png\n\nAAAA\n", false, L"a@b", 0, ""},
    };
    for (const Case& c : cases) {
        for (const wchar_t* end : {L"\n", L"\r\n"}) {
            SCOPED_TRACE(testing::Message() << c.name << (end[0] == L'\r' ? " CR LF" : " LF"));
            Mrim::OfflineMessage message = Mrim::ParseOfflineMessage(Str(Lines(c.text, end)));
            EXPECT_EQ(c.readable, message.readable);
            EXPECT_EQ(c.from, Text(message.from));
            if (!c.readable) continue;
            EXPECT_EQ(c.flags, message.flags);
            EXPECT_EQ(c.body, Body(message));
        }
    }
}

TEST(MrimOfflineMessage, LaterTextPartReplacesAnEarlierOne)
{
    std::wstring text = L"From: a@b\nDate: D\nX-MRIM-Flags: 0\nContent-Type: multipart/alternative; boundary=\"B\"\n\n"
                        L"--B\nContent-Type: text/plain\n\nZmlyc3Q=\n--B\nContent-Type: text/plain\n\n" + HelloB64 +
                        L"\n--B--\n";
    Mrim::OfflineMessage message = Mrim::ParseOfflineMessage(Str(text));
    ASSERT_TRUE(message.readable);
    EXPECT_EQ("Hello", Body(message));
}
