#include "ZELCommon/ZELFile.h"
#include "ZELCommon/ZELPath.h"
#include "ZELCommon/ZELThread.h"

#include "ZELCommon/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cwchar>
#include <memory>
#include <string>
#include <vector>

namespace {

std::wstring ModulePath()
{
    std::vector<wchar_t> buffer(32768);
    DWORD length = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
    return std::wstring(buffer.data(), length);
}

std::wstring Wide(const CZELString& text)
{
    return text.IsEmpty() ? std::wstring() : std::wstring(text.GetBuffer(), size_t(text.GetLength()));
}

std::wstring EnvironmentValue(const wchar_t* name)
{
    DWORD length = GetEnvironmentVariableW(name, nullptr, 0);
    if (length == 0) return std::wstring();
    std::vector<wchar_t> value(length);
    GetEnvironmentVariableW(name, value.data(), length);
    return value.data();
}

}  // namespace

TEST(ZELPath, AppDirIsTheFolderOfTheExecutable)
{
    std::wstring dir = Wide(CZELPath::AppDir());
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(L'\\', dir.back());
    std::wstring module = ModulePath();
    size_t slash = module.rfind(L'\\');
    ASSERT_NE(std::wstring::npos, slash);
    EXPECT_TRUE(CZELString(dir.c_str()) == module.substr(0, slash + 1).c_str());
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((dir + module.substr(slash + 1)).c_str()));
    // The library lives beside the program here, but AppDir names the program's folder, not its own.
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((dir + L"ZELCommon.dll").c_str()));
}

TEST(ZELPath, AppDirIsTheSameOnEveryThread)
{
    const CZELString expected = CZELPath::AppDir();
    const int threads = 8;
    struct Slot {
        const CZELString* expected;
        volatile long mismatches;
    } slot{&expected, 0};
    std::vector<std::unique_ptr<CZELThread>> workers;
    for (int i = 0; i < threads; ++i)
        workers.emplace_back(new CZELThread(L"appdir", [](void* s) -> unsigned long {
            Slot* slot = static_cast<Slot*>(s);
            for (int n = 0; n < 500; ++n)
                if (CZELPath::AppDir() != *slot->expected) InterlockedIncrement(&slot->mismatches);
            return 0;
        }, &slot));
    for (auto& worker : workers) worker->Resume();
    for (auto& worker : workers) ASSERT_TRUE(worker->WaitTermination(30000));
    EXPECT_EQ(0, slot.mismatches);
}

// Only run as the child of AppDirOfADeepFolderIsWhole: writes AppDir, in UTF-16, to the file
// named by ZEL_APPDIR_OUT.
TEST(ZELPath, DISABLED_WriteAppDirForParent)
{
    std::wstring out = EnvironmentValue(L"ZEL_APPDIR_OUT");
    if (out.empty()) GTEST_SKIP() << "run by AppDirOfADeepFolderIsWhole";
    CZELString dir = CZELPath::AppDir();
    CZELFile file(CZELString(out.c_str()), CZELFile::ModeWrite);
    ASSERT_TRUE(file.Replace());
    ASSERT_TRUE(file.Write(reinterpret_cast<const unsigned char*>(dir.GetBuffer()), dir.GetLength() * 2));
}

TEST(ZELPath, AppDirOfADeepFolderIsWhole)
{
    // A copy of this program in a folder longer than 256 units, which the platform still starts: a
    // one-letter name without extension keeps the whole path inside its limit for starting programs.
    const size_t pathLength = MAX_PATH - 1;
    const std::wstring exeName = L"z";
    std::wstring module = ModulePath();
    TestSupport::TempFolder folder(L"ZELPathTest-");
    const std::wstring& base = folder.path;
    ASSERT_LT(base.size() + exeName.size() + 2, pathLength);
    // Folders of at most 100 letters, each with its separator, fill the path up to the program's name.
    std::vector<std::wstring> folders{base};
    size_t left = pathLength - base.size() - exeName.size();
    while (left > 1) {
        size_t letters = left <= 101 ? left - 1 : left == 102 ? 99 : 100;  // never leave a single unit
        folders.push_back(folders.back() + std::wstring(letters, L'd') + L"\\");
        left -= letters + 1;
    }
    const std::wstring deep = folders.back();
    ASSERT_GT(deep.size(), 256u);
    for (const std::wstring& folder : folders) CreateDirectoryW(folder.c_str(), nullptr);

    std::wstring copy = deep + exeName;
    ASSERT_EQ(pathLength, copy.size());
    std::wstring result = base + L"appdir.bin";
    ASSERT_TRUE(CopyFileW(module.c_str(), copy.c_str(), FALSE));

    // The copy finds its libraries here through PATH.
    std::wstring oldPath = EnvironmentValue(L"PATH");
    SetEnvironmentVariableW(L"PATH", (Wide(CZELPath::AppDir()) + L";" + oldPath).c_str());
    SetEnvironmentVariableW(L"ZEL_APPDIR_OUT", result.c_str());
    std::wstring command = L"\"" + copy + L"\" --gtest_filter=ZELPath.DISABLED_WriteAppDirForParent"
                                          L" --gtest_also_run_disabled_tests";
    HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    SetHandleInformation(nul, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = nul;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION child{};
    BOOL started = CreateProcessW(copy.c_str(), &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child);
    DWORD startError = started ? 0 : GetLastError();
    SetEnvironmentVariableW(L"PATH", oldPath.c_str());
    SetEnvironmentVariableW(L"ZEL_APPDIR_OUT", nullptr);
    CloseHandle(nul);

    DWORD exitCode = 1;
    if (started) {
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(child.hProcess, 60000));
        GetExitCodeProcess(child.hProcess, &exitCode);
        CloseHandle(child.hThread);
        CloseHandle(child.hProcess);
    }
    std::wstring written;
    CZELFile file(CZELString(result.c_str()), CZELFile::ModeRead);
    if (file.Open()) {
        std::vector<unsigned char> bytes(file.Size());
        int got = bytes.empty() ? 0 : file.Read(bytes.data(), int(bytes.size()));
        written.assign(reinterpret_cast<const wchar_t*>(bytes.data()), size_t(got) / 2);
        file.Close();
    }
    DeleteFileW(result.c_str());
    DeleteFileW(copy.c_str());
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) RemoveDirectoryW(folder->c_str());

    ASSERT_TRUE(started) << "CreateProcessW failed: " << startError;
    EXPECT_EQ(0u, exitCode);
    EXPECT_TRUE(CZELString(written.c_str()) == deep.c_str()) << "child reported a folder of " << written.size()
                                                             << " units, expected " << deep.size();
}

TEST(ZELPath, FoldersUnderTheApplicationFolder)
{
    const std::wstring app = Wide(CZELPath::AppDir());
    struct Case {
        const char* name;
        CZELString actual;
        std::wstring expected;
    } cases[] = {
        {"protocols", CZELPath::GetProtosDir(), app + L"Protos\\"},
        {"history", CZELPath::GetHistDir(), app + L"History\\"},
        {"one plug-in", CZELPath::GetProtoDir(L"Wex", -1), app + L"Protos\\Wex\\"},
        {"default length", CZELPath::GetProtoDir(L"WEX"), app + L"Protos\\WEX\\"},
        {"counted name", CZELPath::GetProtoDir(L"Wexyz", 3), app + L"Protos\\Wex\\"},
        {"any negative length measures", CZELPath::GetProtoDir(L"Dax", -7), app + L"Protos\\Dax\\"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, Wide(c.actual));
    }
    // A missing name gives the protocols folder itself, then the separator; it never crashes.
    EXPECT_EQ(app + L"Protos\\\\", Wide(CZELPath::GetProtoDir(nullptr, -1)));
}

TEST(ZELPath, PathJoinsTheApplicationFolderAndThePieces)
{
    const std::wstring app = Wide(CZELPath::AppDir());
    wchar_t out[CZELPath::MaxPath];
    struct Call {
        const char* name;
        int (*call)(wchar_t*);
        std::wstring expected;
    } calls[] = {
        {"two pieces", [](wchar_t* o) { return CZELPath::Path(o, CZELPath::HistDir(), L"WEX_1234_5678.zhf", nullptr); },
         app + L"History\\WEX_1234_5678.zhf"},
        {"skin file",
         [](wchar_t* o) {
             return CZELPath::Path(o, CZELPath::SkinsDir(), L"Default", CZELPath::Sep(), L"zel_stonline.png", nullptr);
         },
         app + L"Skins\\Default\\zel_stonline.png"},
        {"alert pack", [](wchar_t* o) { return CZELPath::Path(o, CZELPath::AlertsDir(), L"Classic\\", CZELPath::AlertDefFile(), nullptr); },
         app + L"Alerts\\Classic\\_alerts.ini"},
        {"settings", [](wchar_t* o) { return CZELPath::Path(o, L"settings.zel", nullptr); }, app + L"settings.zel"},
        {"no pieces", [](wchar_t* o) { return CZELPath::Path(o, nullptr); }, app},
        {"empty pieces", [](wchar_t* o) { return CZELPath::Path(o, L"", L"", nullptr); }, app},
    };
    for (const Call& c : calls) {
        SCOPED_TRACE(c.name);
        wmemset(out, L'#', CZELPath::MaxPath);
        int length = c.call(out);
        EXPECT_EQ(c.expected, std::wstring(out));
        EXPECT_EQ(int(c.expected.size()), length);
    }
}

TEST(ZELPath, PathNeverWritesBeyondItsRoom)
{
    const int app = CZELPath::AppDir().GetLength();
    const int room = CZELPath::MaxPath - 1 - app;  // units left for pieces before the zero
    if (room < 4) GTEST_SKIP() << "the program's folder is too deep for this case";
    struct Case {
        const char* name;
        int first, second;  // piece lengths, 0 = no piece
        bool fits;
    } cases[] = {
        {"exactly full", room, 0, true},
        {"full in two pieces", room - 3, 3, true},
        {"one unit over", room + 1, 0, false},
        {"over in the second piece", room - 1, 2, false},
        {"far over", room, CZELPath::MaxPath, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring first(size_t(c.first), L'a'), second(size_t(c.second), L'b');
        std::vector<wchar_t> out(CZELPath::MaxPath + 64, L'#');
        int length = c.second ? CZELPath::Path(out.data(), first.c_str(), second.c_str(), nullptr)
                              : CZELPath::Path(out.data(), first.c_str(), nullptr);
        if (c.fits) {
            EXPECT_EQ(CZELPath::MaxPath - 1, length);
            EXPECT_EQ(size_t(length), wcslen(out.data()));
            EXPECT_EQ(first + second, std::wstring(out.data() + app));
        } else {
            EXPECT_EQ(0, length);
            EXPECT_EQ(0, out[0]);
        }
        for (size_t i = CZELPath::MaxPath; i < out.size(); ++i) ASSERT_EQ(L'#', out[i]) << "unit " << i;
    }
}

TEST(ZELPath, FixedNames)
{
    struct Case {
        const char* name;
        const wchar_t* actual;
        const wchar_t* expected;
    } cases[] = {
        {"ProtosDir", CZELPath::ProtosDir(), L"Protos\\"},
        {"HistDir", CZELPath::HistDir(), L"History\\"},
        {"SkinsDir", CZELPath::SkinsDir(), L"Skins\\"},
        {"SmiliesDir", CZELPath::SmiliesDir(), L"Smilies\\"},
        {"AlertsDir", CZELPath::AlertsDir(), L"Alerts\\"},
        {"Sep", CZELPath::Sep(), L"\\"},
        {"Ast", CZELPath::Ast(), L"*"},
        {"ColorFileExt", CZELPath::ColorFileExt(), L".zcl"},
        {"SmileDefFile", CZELPath::SmileDefFile(), L"_define.ini"},
        {"AlertDefFile", CZELPath::AlertDefFile(), L"_alerts.ini"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NE(nullptr, c.actual);
        EXPECT_EQ(std::wstring(c.expected), std::wstring(c.actual));
    }
}
