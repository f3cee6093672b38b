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
