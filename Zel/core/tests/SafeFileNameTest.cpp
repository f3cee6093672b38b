#include "Zel/core/history/SafeFileName.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring Safe(const std::wstring& name)
{
    CZELString safe = MakeSafeFileName(CZELString(name.c_str(), int(name.size())));
    return safe.GetBuffer() ? std::wstring(safe.GetBuffer(), size_t(safe.GetLength())) : std::wstring();
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
        {"letters beyond ASCII", L"\u0444\u043e\u0442\u043e.png", L"\u0444\u043e\u0442\u043e.png"},
        {"parent folder with backslashes", L"..\\..\\evil.exe", L"______evil.exe"},
        {"parent folder with slashes", L"../../evil.exe", L"______evil.exe"},
        {"a folder inside", L"sub\\file.txt", L"sub_file.txt"},
        {"an absolute path", L"C:\\Windows\\win.ini", L"C__Windows_win.ini"},
        {"a UNC path", L"\\\\server\\share\\x", L"__server_share_x"},
        {"an alternate stream", L"file.txt:stream", L"file.txt_stream"},
        {"two dots alone", L"..", L"__"},
        {"one dot alone", L".", L"_"},
        {"dots inside the name", L"a..b", L"a__b"},
        {"three dots", L"...", L"___"},
        {"a trailing dot the file system would drop", L"name.", L"name_"},
        {"trailing spaces and dots", L"name. .", L"name___"},
        {"characters the file system refuses", L"a<b>c\"d|e?f*g", L"a_b_c_d_e_f_g"},
        {"control characters", std::wstring(L"a\x01" L"b\x1F" L"c\tz"), L"a_b_c_z"},
        {"an embedded zero", std::wstring(L"a\0b", 3), L"a_b"},
        {"empty", L"", L"_"},
        {"a device name", L"CON", L"_CON"},
        {"a device name with an extension", L"nul.txt", L"_nul.txt"},
        {"a device name in lower case with spaces", L"com1 .log", L"_com1 .log"},
        {"a name that only starts like a device", L"CONSOLE.txt", L"CONSOLE.txt"},
        {"a leading dot is a name", L".hidden", L".hidden"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring safe = Safe(c.input);
        EXPECT_EQ(safe, c.expected);
        EXPECT_EQ(safe.find_first_of(L"\\/:"), std::wstring::npos);
        EXPECT_EQ(safe.find(L".."), std::wstring::npos);
        // A safe name stays as it is.
        EXPECT_EQ(Safe(safe), safe);
    }
}
