// The directory's code-to-text lists: reading their files, ordering, lookups and the combo rows.
#include "Wex/dialogs/LookupLists.h"

#include "Handheld/tests/DisplayRequirement.h"
#include "Zel/core/tests/PluginTreeSupport.h"
#include "ZELCommon/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::wstring Wide(const CZELString& text)
{
    return text.GetBuffer() ? std::wstring(text.GetBuffer(), size_t(text.GetLength())) : std::wstring();
}

std::vector<unsigned char> Utf16(const std::wstring& text)
{
    std::vector<unsigned char> bytes;
    for (wchar_t c : text) {
        bytes.push_back((unsigned char)(c & 0xFF));
        bytes.push_back((unsigned char)(c >> 8));
    }
    return bytes;
}

// "code:text" of every entry, in the list's order.
std::vector<std::wstring> Rows(const LookupList& list)
{
    std::vector<std::wstring> rows;
    for (const LookupEntry& entry : list.Entries()) rows.push_back(std::to_wstring(entry.code) + L":" + Wide(entry.text));
    return rows;
}

std::vector<std::wstring> Parsed(const std::vector<unsigned char>& bytes)
{
    LookupList list;
    list.Parse(bytes.data(), bytes.size());
    return Rows(list);
}

}  // namespace

TEST(LookupListsTest, FilesReadAsTheirLinesSay)
{
    const std::wstring line253 = L"1;" + std::wstring(251, L'x');
    const std::wstring line254 = L"2;" + std::wstring(252, L'y');
    const std::wstring line255 = L"3;" + std::wstring(253, L'z');
    const struct {
        const char* name;
        std::wstring text;
        std::vector<std::wstring> rows;
    } cases[] = {
        {"final CR LF", L"2;Bravo\r\n1;Alpha\r\n", {L"1:Alpha", L"2:Bravo"}},
        {"no final CR LF", L"2;Bravo\r\n1;Alpha", {L"1:Alpha", L"2:Bravo"}},
        {"case-equal texts keep the first", L"10;Germany\r\n11;GERMANY\r\n", {L"10:Germany"}},
        {"shared codes", L"5;One\r\n5;Two\r\n", {L"5:One", L"5:Two"}},
        {"leading semicolon", L";Nobody\r\n", {L"0:Nobody"}},
        {"further semicolons dropped", L"7;a;b\r\n", {L"7:ab"}},
        {"no semicolon", L"42\r\n", {L"42:"}},
        {"code stops at a non-digit", L"12x;Text\r\n", {L"12:Text"}},
        {"byte-order mark", std::wstring(1, wchar_t(0xFEFF)) + L"3;Mark\r\n", {L"3:Mark"}},
        {"empty lines carry nothing", L"\r\n1;A\r\n\r\n", {L"1:A"}},
        {"253 and 254 characters", line253 + L"\r\n" + line254, {L"1:" + std::wstring(251, L'x'), L"2:" + std::wstring(252, L'y')}},
        {"255 skipped, later lines still load", line255 + L"\r\n4;After\r\n", {L"4:After"}},
        {"empty file", L"", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(Parsed(Utf16(c.text)), c.rows) << c.name;

    // An odd last byte is no character.
    std::vector<unsigned char> odd = Utf16(L"1;A\r\n2;B");
    odd.push_back(0x41);
    EXPECT_EQ(Parsed(odd), (std::vector<std::wstring>{L"1:A", L"2:B"}));
}

TEST(LookupListsTest, TextsByCode)
{
    LookupList list;
    const std::vector<unsigned char> bytes = Utf16(L"5;Zulu\r\n5;alpha\r\n9;Mike\r\n");
    list.Parse(bytes.data(), bytes.size());
    EXPECT_EQ(Wide(list.Text(5)), L"alpha");  // the first in text order
    EXPECT_EQ(Wide(list.Text(9)), L"Mike");
    EXPECT_EQ(Wide(list.Text(77)), L"");
    EXPECT_FALSE(list.Insert(1, CZELString(L"MIKE")));
    EXPECT_EQ(list.Count(), 3);
}

TEST(LookupListsTest, OpenSetsShareTheListsAndTheLastEmptiesThem)
{
    TestSupport::TempFolder folder(L"wex_lookup");
    {
        const std::vector<unsigned char> bytes = Utf16(L"49;Germany\r\n7;Russia\r\n");
        HANDLE file = CreateFileW(folder.File(L"countries.txt").GetBuffer(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
        CloseHandle(file);
    }
    const CZELString path = folder.Path();
    LookupLists::Open(path);
    EXPECT_EQ(LookupLists::Get(LookupLists::Countries).Count(), 2);
    EXPECT_EQ(LookupLists::Get(LookupLists::Gender).Count(), 0);  // no file: empty
    // A second set (details opened from the search dialog) and its closing leave the first's lists.
    LookupLists::Open(path);
    LookupLists::Close();
    EXPECT_EQ(LookupLists::Get(LookupLists::Countries).Count(), 2);
    LookupLists::Close();
    EXPECT_EQ(LookupLists::Get(LookupLists::Countries).Count(), 0);
    EXPECT_EQ(LookupLists::OpenSets(), 0);
    LookupLists::Close();  // one close too many does not go below none
    EXPECT_EQ(LookupLists::OpenSets(), 0);
}

TEST(LookupListsTest, ComboRowsCarryTheCodes)
{
    ZEL_REQUIRE_DISPLAY();
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    HWND combo = CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | CBS_DROPDOWNLIST, 0, 0, 100, 100, parent, HMENU(77),
                                 GetModuleHandleW(nullptr), nullptr);
    LookupList list;
    const std::vector<unsigned char> bytes = Utf16(L"2;Bravo\r\n;Nobody\r\n1;Alpha\r\n");
    list.Parse(bytes.data(), bytes.size());
    FillLookupCombo(parent, 77, list);
    ASSERT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 4);
    const int codes[] = {0, 1, 2, 0};
    const wchar_t* texts[] = {L"", L"Alpha", L"Bravo", L"Nobody"};
    for (int i = 0; i < 4; ++i) {
        wchar_t text[32] = L"";
        SendMessageW(combo, CB_GETLBTEXT, WPARAM(i), LPARAM(text));
        EXPECT_EQ(std::wstring(text), texts[i]);
        EXPECT_EQ(SendMessageW(combo, CB_GETITEMDATA, WPARAM(i), 0), codes[i]);
    }
    // Filled once: a second call adds nothing.
    FillLookupCombo(parent, 77, list);
    EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 4);
    DestroyWindow(parent);
}

TEST(LookupListsTest, TheShippedFilesAllLoad)
{
    LookupLists::Open(CZELString((PluginTree::ProgramFolder() + L"Protos\\Wex\\").c_str()));
    for (int kind = 0; kind < LookupLists::Count; ++kind)
        EXPECT_GT(LookupLists::Get(LookupLists::Kind(kind)).Count(), 0) << Wide(CZELString(LookupLists::FileName(LookupLists::Kind(kind))));
    EXPECT_EQ(Wide(LookupLists::Get(LookupLists::Gender).Text(2)), L"Male");
    LookupLists::Close();
}
