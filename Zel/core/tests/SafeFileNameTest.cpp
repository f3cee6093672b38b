#include "Zel/core/history/SafeFileName.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <map>
#include <random>
#include <string>

namespace {

std::wstring Safe(const std::wstring& name)
{
    CZELString safe = MakeSafeFileName(CZELString(name.c_str(), int(name.size())));
    return safe.GetBuffer() ? std::wstring(safe.GetBuffer(), size_t(safe.GetLength())) : std::wstring();
}

int HexValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    return -1;
}

// The way back: '%' and two hexadecimal digits is the unit of that code, every other unit itself.
std::wstring Original(const std::wstring& safe)
{
    std::wstring out;
    for (size_t i = 0; i < safe.size(); ++i) {
        if (safe[i] == L'%' && i + 2 < safe.size() && HexValue(safe[i + 1]) >= 0 && HexValue(safe[i + 2]) >= 0) {
            out += wchar_t(HexValue(safe[i + 1]) * 16 + HexValue(safe[i + 2]));
            i += 2;
        } else {
            out += safe[i];
        }
    }
    return out;
}

std::wstring Folded(std::wstring text)
{
    for (wchar_t& c : text) c = wchar_t(std::towupper(c));
    return text;
}

// What every safe name must be: one bare name that stays in its folder.
void ExpectBareName(const std::wstring& safe)
{
    EXPECT_EQ(safe.find_first_of(L"\\/:*?\"<>|"), std::wstring::npos);
    for (wchar_t c : safe) EXPECT_GE(c, 0x20);
    EXPECT_EQ(safe.find(L".."), std::wstring::npos);
    if (!safe.empty()) {
        EXPECT_NE(safe.back(), L'.');
        EXPECT_NE(safe.back(), L' ');
    }
}

}  // namespace

TEST(SafeFileName, NamesFromThePeerStayOneFileInTheFolder)
{
    struct Case {
        const char* name;
        std::wstring input;
        std::wstring expected;
    } cases[] = {
        {"an ordinary name", L"photo 01.jpg", L"photo 01.jpg"},
        {"an address", L"john_doe@example.org", L"john_doe@example.org"},
        {"letters beyond ASCII", L"\u0444\u043e\u0442\u043e.png", L"\u0444\u043e\u0442\u043e.png"},
        {"a percent sign alone stays", L"user%gateway.example", L"user%gateway.example"},
        {"a percent sign at the end stays", L"100%", L"100%"},
        {"a percent sign that reads as a code", L"a%2Ab", L"a%252Ab"},
        {"a percent sign before a code", L"%*", L"%%2A"},
        {"a percent sign before lower-case digits", L"%ff", L"%25ff"},
        {"parent folder with backslashes", L"..\\..\\evil.exe", L"%2E.%5C%2E.%5Cevil.exe"},
        {"parent folder with slashes", L"../../evil.exe", L"%2E.%2F%2E.%2Fevil.exe"},
        {"a folder inside", L"sub\\file.txt", L"sub%5Cfile.txt"},
        {"an absolute path", L"C:\\Windows\\win.ini", L"C%3A%5CWindows%5Cwin.ini"},
        {"a UNC path", L"\\\\server\\share\\x", L"%5C%5Cserver%5Cshare%5Cx"},
        {"an alternate stream", L"file.txt:stream", L"file.txt%3Astream"},
        {"two dots alone", L"..", L"%2E%2E"},
        {"one dot alone", L".", L"%2E"},
        {"dots inside the name", L"a..b", L"a%2E.b"},
        {"three dots", L"...", L"%2E%2E%2E"},
        {"a trailing dot the file system would drop", L"name.", L"name%2E"},
        {"trailing spaces and dots", L"name. .", L"name%2E%20%2E"},
        {"characters the file system refuses", L"a<b>c\"d|e?f*g", L"a%3Cb%3Ec%22d%7Ce%3Ff%2Ag"},
        {"control characters", std::wstring(L"a\x01" L"b\x1F" L"c\tz"), L"a%01b%1Fc%09z"},
        {"an embedded zero", std::wstring(L"a\0b", 3), L"a%00b"},
        {"empty", L"", L""},
        {"a device name", L"CON", L"%43ON"},
        {"a device name with an extension", L"nul.txt", L"%6Eul.txt"},
        {"a device name in lower case with spaces", L"com1 .log", L"%63om1 .log"},
        {"a device name whose dots are written as codes is none", L"aux..", L"aux%2E%2E"},
        {"a name that only starts like a device", L"CONSOLE.txt", L"CONSOLE.txt"},
        {"a leading dot is a name", L".hidden", L".hidden"},
        {"what used to stand for refused characters", L"a_b", L"a_b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring safe = Safe(c.input);
        EXPECT_EQ(safe, c.expected);
        ExpectBareName(safe);
        EXPECT_EQ(Original(safe), c.input);
    }
}

TEST(SafeFileName, DifferentNamesNeverShareAFile)
{
    // Names that differ by more than letter case give file names that differ by more than letter
    // case, and each comes back from its file name. Random names over the units that matter.
    const wchar_t units[] = L"aA.%  _*?:\\/\x01" L"0Fe2CON";
    std::mt19937 random(20240607);
    std::map<std::wstring, std::wstring> owners;  // folded file name -> folded name
    for (int i = 0; i < 20000; ++i) {
        std::wstring name;
        for (size_t n = random() % 7; n > 0; --n) name += units[random() % (sizeof units / sizeof units[0] - 1)];
        std::wstring safe = Safe(name);
        SCOPED_TRACE(testing::Message() << "name of " << name.size() << " units, safe: " << std::string(safe.begin(), safe.end()));
        ExpectBareName(safe);
        ASSERT_EQ(Original(safe), name);
        auto placed = owners.emplace(Folded(safe), Folded(name));
        ASSERT_EQ(placed.first->second, Folded(name));
    }
}

// Parts made with MakeSafeFilePart and joined with "_" split back into the same parts, so two lists
// of names never give one file name; a part without "_" is what MakeSafeFileName gives.
TEST(SafeFileName, JoinedPartsNeverShareAName)
{
    auto part = [](const std::wstring& name) {
        CZELString safe = MakeSafeFilePart(CZELString(name.c_str(), int(name.size())));
        return safe.GetBuffer() ? std::wstring(safe.GetBuffer(), size_t(safe.GetLength())) : std::wstring();
    };
    EXPECT_EQ(part(L"me_x"), L"me%5Fx");
    EXPECT_EQ(part(L"%_"), L"%%5F");
    EXPECT_EQ(part(L"%5F"), L"%255F");
    EXPECT_EQ(part(L"bob@example.org"), Safe(L"bob@example.org"));

    const wchar_t units[] = L"a_%5F.";
    std::mt19937 random(20261211);
    std::map<std::wstring, std::wstring> owners;  // folded joined name -> folded parts
    for (int i = 0; i < 20000; ++i) {
        std::wstring account, contact;
        for (size_t n = random() % 5; n > 0; --n) account += units[random() % (sizeof units / sizeof units[0] - 1)];
        for (size_t n = random() % 5; n > 0; --n) contact += units[random() % (sizeof units / sizeof units[0] - 1)];
        const std::wstring joined = part(account) + L"_" + part(contact);
        const size_t cut = joined.find(L'_');
        ASSERT_NE(cut, std::wstring::npos);
        ASSERT_EQ(joined.find(L'_', cut + 1), std::wstring::npos) << std::string(joined.begin(), joined.end());
        EXPECT_EQ(Original(joined.substr(0, cut)), account);
        EXPECT_EQ(Original(joined.substr(cut + 1)), contact);
        auto placed = owners.emplace(Folded(joined), Folded(account + L"\n" + contact));
        ASSERT_EQ(placed.first->second, Folded(account + L"\n" + contact));
    }
}

// Received files keep their safe names, but never the history's own endings.
TEST(SafeFileName, TransferNamesNeverEndLikeAHistoryFile)
{
    struct Case {
        const wchar_t* name;
        const wchar_t* expected;
    } cases[] = {
        {L"photo.jpg", L"photo.jpg"},
        {L"WEX_1_2.zhf", L"WEX_1_2.zhf.bin"},
        {L"a.ZHF", L"a.ZHF.bin"},
        {L"a.zhf.damaged", L"a.zhf.damaged.bin"},
        {L"zhf", L"zhf"},
        {L"a.zhfx", L"a.zhfx"},
        {L"..\\x.zhf", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name);
        CZELString transfer = MakeTransferFileName(c.name);
        std::wstring got = transfer.GetBuffer() ? std::wstring(transfer.GetBuffer()) : std::wstring();
        if (c.expected) {
            EXPECT_EQ(got, c.expected);
        }
        std::wstring tail = got.size() >= 4 ? got.substr(got.size() - 4) : got;
        EXPECT_NE(_wcsicmp(tail.c_str(), L".zhf"), 0);
        EXPECT_EQ(got.find(L'\\'), std::wstring::npos);
    }
}
