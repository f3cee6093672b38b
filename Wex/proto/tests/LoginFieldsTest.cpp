// What the settings pages make of typed login ids, passwords and ports.
#include "Wex/dialogs/LoginFields.h"

#include "ZELCommon/MD5.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::wstring Wide(const CZELString& text)
{
    return text.GetBuffer() ? std::wstring(text.GetBuffer(), size_t(text.GetLength())) : std::wstring();
}

Wex::Md5Digest DigestOf(const char* bytes)
{
    Wex::Md5Digest digest{};
    CMD5::Hash(bytes, unsigned(std::strlen(bytes)), digest.data());
    return digest;
}

}  // namespace

TEST(LoginFieldsTest, LoginIdsKeepDigitsOrAWholeEmail)
{
    const struct {
        const wchar_t* typed;
        bool accepted;
        const wchar_t* stored;
    } cases[] = {
        {L"12 34-56", true, L"123456"},
        {L"100200300", true, L"100200300"},
        {L" 1a2b3 ", true, L"123"},
        {L"Someone@Example.org", true, L"Someone@Example.org"},
        {L"x 1@y", true, L"x 1@y"},
        {L"@", true, L"@"},
        {L"letters", false, L""},
        {L"- -", false, L""},
        {L"", false, L""},
    };
    for (const auto& c : cases) {
        CZELString out(L"untouched");
        EXPECT_EQ(WexLogin::NormalizeLoginId(CZELString(c.typed), out), c.accepted) << Wide(CZELString(c.typed));
        EXPECT_EQ(Wide(out), c.accepted ? std::wstring(c.stored) : std::wstring(L"untouched")) << Wide(CZELString(c.typed));
    }
}

TEST(LoginFieldsTest, PasswordsAreHashedFromTheirFirstEightCharacters)
{
    EXPECT_EQ(WexLogin::PasswordDigest(CZELString(L"abcdefghijkl")), DigestOf("abcdefgh"));
    EXPECT_EQ(WexLogin::PasswordDigest(CZELString(L"abcdefgh")), DigestOf("abcdefgh"));
    EXPECT_EQ(WexLogin::PasswordDigest(CZELString(L"secret")), DigestOf("secret"));
    EXPECT_EQ(WexLogin::PasswordDigest(CZELString(L"")), DigestOf(""));
}

TEST(LoginFieldsTest, PortsAreOneTo65535)
{
    const struct {
        const wchar_t* typed;
        int port;  // 0: refused
    } cases[] = {
        {L"5190", 5190}, {L"1", 1}, {L"65535", 65535}, {L"00080", 80}, {L"0", 0},         {L"65536", 0},
        {L"70000", 0},   {L"", 0},  {L"-1", 0},        {L"12a", 0},     {L"99999999999", 0}, {L" 80", 0},
    };
    for (const auto& c : cases) {
        int port = -1;
        const bool accepted = WexLogin::ParsePort(CZELString(c.typed), port);
        EXPECT_EQ(accepted, c.port != 0) << Wide(CZELString(c.typed));
        EXPECT_EQ(port, accepted ? c.port : -1) << Wide(CZELString(c.typed));
    }
}
