#include "ZELCommon/ZELBrowserLauncher.h"

#include "Handheld/Shell.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

BOOL Record(LPCWSTR address, void* context)
{
    static_cast<std::vector<std::wstring>*>(context)->push_back(address);
    return TRUE;
}

// The shell must never be reached from a test: a real browser would start.
class ZELBrowserLauncher : public ::testing::Test {
protected:
    void SetUp() override { SetShellOpenInterceptor(Record, &launched); }
    void TearDown() override { SetShellOpenInterceptor(nullptr, nullptr); }
    std::vector<std::wstring> launched;
};

}  // namespace

TEST_F(ZELBrowserLauncher, HandsTheExactAddressToTheShell)
{
    const wchar_t* addresses[] = {
        L"http://example.org/",
        L"https://mail.example.org/inbox?user=\x0438\x0432\x0430\x043D&x=1#top",
    };
    for (const wchar_t* address : addresses) {
        launched.clear();
        CZELBrowserLauncher::Launch(address);
        ASSERT_EQ(launched.size(), 1u);
        EXPECT_EQ(launched[0], address);
    }
}

TEST_F(ZELBrowserLauncher, EmptyAddressOpensNothing)
{
    CZELBrowserLauncher::Launch(CZELString());
    CZELBrowserLauncher::Launch(L"");
    EXPECT_TRUE(launched.empty());
}

// The launcher opens links from received messages: what is not a web or mail address stays shut.
TEST_F(ZELBrowserLauncher, RefusesWhatIsNotAWebAddress)
{
    const wchar_t* hostile[] = {L"file:///C:/x.exe", L"\\\\server\\share\\x.exe", L"C:\\x.exe", L"javascript:x"};
    for (const wchar_t* address : hostile) CZELBrowserLauncher::Launch(address);
    EXPECT_TRUE(launched.empty());
}
