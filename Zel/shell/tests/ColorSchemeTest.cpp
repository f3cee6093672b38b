// "_colors.ini" read and written: values in file order, every default for anything short of a whole
// scheme, and never a byte read past the file's text.
#include "Zel/shell/skin/ColorScheme.h"
#include "ZELCommon/tests/RemoveTree.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Lines(int count, int firstNumber = 1, const char* format = "\r\n%d=%06X")
{
    std::string text = "[ZELColors]";
    for (int n = 0; n < count; ++n) {
        char line[32];
        snprintf(line, sizeof line, format, firstNumber + n, unsigned(0x010203 * (n + 1)));
        text += line;
    }
    return text;
}

std::vector<COLORREF> Numbered(int count)
{
    std::vector<COLORREF> colours;
    for (int n = 0; n < count; ++n) colours.push_back(COLORREF(0x010203 * (n + 1)));
    return colours;
}

std::vector<COLORREF> Defaults()
{
    return std::vector<COLORREF>(ColorScheme::Defaults, ColorScheme::Defaults + ColorScheme::Count);
}

std::vector<COLORREF> Parsed(const std::string& text, bool* accepted = nullptr)
{
    std::vector<COLORREF> table(ColorScheme::Count, 0x123456);
    bool result = ColorScheme::Parse(text.data(), text.size(), table.data());
    if (accepted) *accepted = result;
    return table;
}

}  // namespace

TEST(ColorScheme, DefaultsAreTheBuiltInTable)
{
    std::vector<COLORREF> defaults = Defaults();
    EXPECT_EQ(defaults[0], COLORREF(0x008000));
    EXPECT_EQ(defaults[11], COLORREF(0x357EC9));
    EXPECT_EQ(defaults[22], COLORREF(0x000000));
    EXPECT_EQ(defaults[24], COLORREF(0xC97E35));
    EXPECT_EQ(defaults[32], COLORREF(0xA0A0A0));
}

TEST(ColorScheme, ReadsThirtyThreeValuesInFileOrderOrGivesEveryDefault)
{
    std::string outOfOrder = "[ZELColors]\r\n7=0000FF";
    for (int n = 1; n < 33; ++n) {
        char line[32];
        snprintf(line, sizeof line, "\r\n%d=%06X", n == 7 ? 1 : n, unsigned(0x0000FF + n));
        outOfOrder += line;
    }
    std::vector<COLORREF> outOfOrderColours = {0x0000FF};
    for (int n = 1; n < 33; ++n) outOfOrderColours.push_back(COLORREF(0x0000FF + n));
    std::string lowerCase = Lines(33, 1, "\r\n%d=%06x");
    std::string nonHex = Lines(33);
    nonHex[nonHex.find('=', 100) + 1] = 'G';
    std::string extra = Lines(40);  // the first 33 count
    std::string unnumbered = Lines(33);
    for (size_t at = unnumbered.find("\r\n"); at != std::string::npos; at = unnumbered.find("\r\n", at + 1))
        unnumbered[at + 2] = 'x';

    struct {
        const char* name;
        std::string text;
        bool accepted;
        std::vector<COLORREF> colours;
    } cases[] = {
        {"the format Save writes", Lines(33), true, Numbered(33)},
        {"numbers in any order", outOfOrder, true, outOfOrderColours},
        {"lower-case digits", lowerCase, true, Numbered(33)},
        {"more than 33 values", extra, true, Numbered(33)},
        {"numbers before = not read", unnumbered, true, Numbered(33)},
        {"32 values", Lines(32), false, Defaults()},
        {"no header", Lines(33).substr(11), false, Defaults()},
        {"a byte-order mark first", "\xEF\xBB\xBF" + Lines(33), false, Defaults()},
        {"a blank line first", "\r\n" + Lines(33), false, Defaults()},
        {"header in another letter case", "[zelcolors]" + Lines(33).substr(11), false, Defaults()},
        {"six characters that are not hexadecimal", nonHex, false, Defaults()},
        {"the last value cut to five digits", Lines(33).substr(0, Lines(33).size() - 1), false, Defaults()},
        {"empty", "", false, Defaults()},
        {"header only", "[ZELColors]", false, Defaults()},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        bool accepted = !test.accepted;
        EXPECT_EQ(Parsed(test.text, &accepted), test.colours);
        EXPECT_EQ(accepted, test.accepted);
    }
}

// A truncated file whose text ends right after a value's six digits: the next value is looked for
// past that end. The text is placed against a page that may not be read, so any look beyond it
// faults.
TEST(ColorScheme, ATruncatedFileGivesTheDefaultsWithoutReadingPastItsText)
{
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    size_t page = system.dwPageSize;
    char* pages = static_cast<char*>(VirtualAlloc(nullptr, page * 2, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(pages, nullptr);
    DWORD old = 0;
    ASSERT_TRUE(VirtualProtect(pages + page, page, PAGE_NOACCESS, &old));
    for (const std::string& text : {std::string("[ZELColors]\r\n1=008000"), Lines(5), Lines(32)}) {
        SCOPED_TRACE(text.size());
        char* placed = pages + page - text.size();
        memcpy(placed, text.data(), text.size());
        std::vector<COLORREF> table(ColorScheme::Count, 0);
        EXPECT_FALSE(ColorScheme::Parse(placed, text.size(), table.data()));
        EXPECT_EQ(table, Defaults());
    }
    VirtualFree(pages, 0, MEM_RELEASE);
}

TEST(ColorScheme, SavedFileLoadsBackAndBeginsWithTheHeader)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring path = std::wstring(temp) + L"ColorSchemeTest" + std::to_wstring(GetCurrentProcessId()) + L".ini";
    std::vector<COLORREF> saved = Numbered(33);
    ASSERT_TRUE(ColorScheme::Save(path.c_str(), saved.data()));
    std::vector<COLORREF> loaded(ColorScheme::Count, 0);
    ColorScheme::Load(path.c_str(), loaded.data());
    EXPECT_EQ(loaded, saved);

    ASSERT_TRUE(ColorScheme::Save(path.c_str(), ColorScheme::Defaults));
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    char head[64] = {};
    DWORD read = 0;
    ReadFile(file, head, 41, &read, nullptr);
    CloseHandle(file);
    EXPECT_EQ(std::string(head, read), std::string("[ZELColors]\r\n1=008000\r\n2=FFFFFF\r\n3=C8D0D4"));
    DeleteFileW(path.c_str());

    // Missing file: every default.
    ColorScheme::Load(path.c_str(), loaded.data());
    EXPECT_EQ(loaded, Defaults());
    // A file that cannot be created is not written.
    EXPECT_FALSE(ColorScheme::Save((std::wstring(temp) + L"NoSuchFolder\\x\\_colors.ini").c_str(), saved.data()));
}

TEST(ColorScheme, SchemeColoursComeFromTheCurrentTable)
{
    std::vector<COLORREF> table = Numbered(33);
    EXPECT_EQ(GetSchemeColor(22), COLORREF(0));
    ColorScheme::SetCurrent(table.data());
    EXPECT_EQ(GetSchemeColor(22), table[22]);
    EXPECT_EQ(GetSchemeColor(-5), table[0]);
    EXPECT_EQ(GetSchemeColor(99), table[32]);
    ColorScheme::SetCurrent(nullptr);
    EXPECT_EQ(GetSchemeColor(0), COLORREF(0x008000));
}
