// Windows of the framework's class made by two modules of one process: the test program and a
// library loaded at run time, as the program and a plug-in are; the library makes a plain window
// and a page from its own template holding a framework control, as a plug-in's dialogs do. The
// class is registered once per process, when the first window is made, so each order runs in a
// fresh process.
#include "ZELCommon/ZELCommonMain.h"
#include "ZELCommon/ZELWMUI_Wnd.h"

#include "UiTestSupport.h"
#include "modules/TestModules.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

using TestSupport::WindowScope;

namespace {

typedef HWND (*MakeFrameworkWindowFunction)(HWND parent, DWORD* error);
typedef HWND (*MakeFrameworkPageFunction)(HWND parent, HWND* control, DWORD* error);

template <typename Function> Function Export(HMODULE library, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

void ExpectClassOfTheLibrary(HWND window)
{
    wchar_t className[32] = L"";
    GetClassNameW(window, className, 32);
    EXPECT_STREQ(L"ZELWNDCLASS", className);
    EXPECT_EQ(GetClassLongPtrW(window, GCLP_HMODULE), (ULONG_PTR)GetZELCommonModule());
}

// The module's window and the program's own, in the order asked for, on one host.
void MakeWindowsFromBothModules(bool libraryFirst)
{
    ZEL_REQUIRE_DISPLAY();
    WindowScope host(TestSupport::CreateHostWindow(100, 100));
    ASSERT_NE(host.Get(), nullptr);
    HMODULE library = LoadLibraryW((WideText(TestModulesFolder()) + L"TST_FrameworkWindow.dll").c_str());
    ASSERT_NE(library, nullptr);
    auto makeWindow = Export<MakeFrameworkWindowFunction>(library, "MakeFrameworkWindow");
    auto makePage = Export<MakeFrameworkPageFunction>(library, "MakeFrameworkPage");
    ASSERT_NE(makeWindow, nullptr);
    ASSERT_NE(makePage, nullptr);

    UI::CZELWMUI_Wnd own;
    RECT rect = {30, 0, 50, 20};
    HWND window = nullptr, page = nullptr, control = nullptr;
    DWORD windowError = 0, controlError = 0;
    auto makeInLibrary = [&] {
        window = makeWindow(host.Get(), &windowError);
        page = makePage(host.Get(), &control, &controlError);
    };
    if (libraryFirst) makeInLibrary();
    SetLastError(0);
    EXPECT_EQ(1, own.Create(TestSupport::TestModule(), host.Get(), WS_VISIBLE, rect)) << "error " << GetLastError();
    if (!libraryFirst) makeInLibrary();
    EXPECT_NE(window, nullptr) << "error " << windowError;
    ASSERT_NE(page, nullptr);
    EXPECT_NE(control, nullptr) << "error " << controlError;

    struct Made {
        HWND window, parent;
    } made[] = {{window, host.Get()}, {own, host.Get()}, {control, page}};
    for (const Made& m : made) {
        if (!m.window) continue;
        ExpectClassOfTheLibrary(m.window);
        EXPECT_EQ(GetParent(m.window), m.parent);
    }
    DestroyWindow(page);
    if (window) DestroyWindow(window);
    FreeLibrary(library);
}

// Runs one of the disabled cases below in a process of its own; its output goes to output.
DWORD RunInFreshProcess(const std::wstring& test, std::string* output)
{
    wchar_t temp[MAX_PATH], file[MAX_PATH];
    if (!GetTempPathW(MAX_PATH, temp) || !GetTempFileNameW(temp, L"zwm", 0, file)) return DWORD(-1);
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE log = CreateFileW(file, GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    if (log == INVALID_HANDLE_VALUE) return DWORD(-1);
    std::wstring command = L"\"" + TestProgramFolder() + L"ZELCommon_tests.exe\" --gtest_also_run_disabled_tests" +
                           L" --gtest_filter=" + test;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = log;
    PROCESS_INFORMATION child = {};
    DWORD exitCode = DWORD(-1);
    if (CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child)) {
        if (WaitForSingleObject(child.hProcess, 60000) != WAIT_OBJECT_0) TerminateProcess(child.hProcess, 1);
        GetExitCodeProcess(child.hProcess, &exitCode);
        CloseHandle(child.hThread);
        CloseHandle(child.hProcess);
    }
    CloseHandle(log);
    std::ifstream in(file, std::ios::binary);
    output->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    in.close();
    DeleteFileW(file);
    return exitCode;
}

}  // namespace

// Children of EitherModuleMayMakeTheFirstWindow.
TEST(WndTwoModules, DISABLED_LibraryFirst)
{
    MakeWindowsFromBothModules(true);
}

TEST(WndTwoModules, DISABLED_ProgramFirst)
{
    MakeWindowsFromBothModules(false);
}

TEST(WndTwoModules, EitherModuleMayMakeTheFirstWindow)
{
    ZEL_REQUIRE_DISPLAY();
    for (const wchar_t* order : {L"WndTwoModules.DISABLED_LibraryFirst", L"WndTwoModules.DISABLED_ProgramFirst"}) {
        SCOPED_TRACE(std::string(order, order + wcslen(order)));
        std::string output;
        DWORD exitCode = RunInFreshProcess(order, &output);
        EXPECT_TRUE(exitCode == 0 && output.find("[  PASSED  ] 1 test") != std::string::npos)
            << "exit code " << exitCode << "\n" << output;
    }
}

// In this process the class may already stand: the library's window joins it all the same.
TEST(WndTwoModules, LibraryWindowBesideThisProgramsWindows)
{
    MakeWindowsFromBothModules(false);
}
