#include "Handheld/Shell.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Recorder {
    std::vector<std::wstring> addresses;
    BOOL answer = TRUE;
};

BOOL Record(LPCWSTR address, void* context)
{
    Recorder* recorder = static_cast<Recorder*>(context);
    recorder->addresses.push_back(address);
    return recorder->answer;
}

// No test may reach the real shell: every one runs with the recorder installed.
class ShellOpen : public ::testing::Test {
protected:
    void SetUp() override { SetShellOpenInterceptor(Record, &recorder); }
    void TearDown() override { SetShellOpenInterceptor(nullptr, nullptr); }
    Recorder recorder;
};

}  // namespace

TEST_F(ShellOpen, InterceptorReceivesTheExactAddressAndAnswers)
{
    const wchar_t* addresses[] = {
        L"http://example.org/",
        L"https://example.org/path?q=a%20b&x=\x0439#frag",
        L"mailto:someone@example.org",
    };
    for (const wchar_t* address : addresses) {
        recorder.addresses.clear();
        EXPECT_TRUE(ShellOpenAddress(address));
        ASSERT_EQ(recorder.addresses.size(), 1u);
        EXPECT_EQ(recorder.addresses[0], address);
    }
    recorder.answer = FALSE;
    EXPECT_FALSE(ShellOpenAddress(L"http://example.org/"));
}

TEST_F(ShellOpen, EmptyAddressReachesNobody)
{
    EXPECT_FALSE(ShellOpenAddress(nullptr));
    EXPECT_FALSE(ShellOpenAddress(L""));
    EXPECT_TRUE(recorder.addresses.empty());
}

// Links arrive in messages from anybody: only web and mail addresses may reach the shell.
TEST_F(ShellOpen, OpensOnlyWebAndMailAddresses)
{
    struct Case {
        const char* name;
        const wchar_t* address;
        const wchar_t* opened;  // what the shell receives; null when refused
    } cases[] = {
        {"http", L"http://example.org/", L"http://example.org/"},
        {"https", L"https://example.org/a?b=c", L"https://example.org/a?b=c"},
        {"mailto", L"mailto:someone@example.org", L"mailto:someone@example.org"},
        {"scheme in capitals", L"HTTPS://EXAMPLE.ORG/", L"HTTPS://EXAMPLE.ORG/"},
        {"scheme in mixed case", L"MailTo:a@b.c", L"MailTo:a@b.c"},
        {"leading space trimmed", L" https://example.org/", L"https://example.org/"},
        {"blanks around trimmed", L"\t\r\n http://example.org/ \r\n", L"http://example.org/"},
        {"space inside kept", L"http://example.org/a b", L"http://example.org/a b"},
        {"file link", L"file:///C:/Windows/system32/calc.exe", nullptr},
        {"file link in capitals", L"FILE://server/share/x.exe", nullptr},
        {"network share", L"\\\\server\\share\\setup.exe", nullptr},
        {"network share, forward slashes", L"//server/share/setup.exe", nullptr},
        {"program path", L"C:\\x.exe", nullptr},
        {"relative program", L"x.exe", nullptr},
        {"bare host", L"www.example.org", nullptr},
        {"javascript", L"javascript:alert(1)", nullptr},
        {"data", L"data:text/html,<script>", nullptr},
        {"other scheme", L"ftp://example.org/", nullptr},
        {"shell scheme", L"shell:startup", nullptr},
        {"http without colon", L"http//example.org/", nullptr},
        {"http alone", L"http", nullptr},
        {"http without slashes", L"http:C:\\x.exe", nullptr},
        {"http with one slash", L"http:/example.org", nullptr},
        {"scheme only", L"https://", nullptr},
        {"mailto only", L"mailto:", nullptr},
        {"scheme as a suffix", L"xhttp://example.org/", nullptr},
        {"scheme after a path", L"C:\\http://example.org/", nullptr},
        {"blanks only", L" \t ", nullptr},
        {"line break inside", L"http://example.org/\nC:\\x.exe", nullptr},
        {"tab inside", L"http://example.org/\tx", nullptr},
        {"escape inside", L"http://example.org/\x1b[2J", nullptr},
        {"delete inside", L"http://exam\x7fple.org/", nullptr},
        {"C1 control inside", L"http://example.org/\x85x", nullptr},
        {"control before the scheme", L"\x01http://example.org/", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        recorder.addresses.clear();
        SetLastError(0);
        BOOL result = ShellOpenAddress(c.address);
        if (c.opened) {
            EXPECT_TRUE(result);
            ASSERT_EQ(recorder.addresses.size(), 1u);
            EXPECT_EQ(recorder.addresses[0], c.opened);
        } else {
            EXPECT_FALSE(result);
            EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
            EXPECT_TRUE(recorder.addresses.empty());
        }
    }
}
