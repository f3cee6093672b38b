// Runs a window test at a system density other than the display's, as a device of that density
// starts: dialog templates, fonts and metrics follow the LogPixels the system reads once, when a
// process starts (under Wine, the prefix's "Control Panel\Desktop" value). The test runs again in a
// child process started while the value is set; the value goes back as soon as the child has read
// it, so other programs started meanwhile are barely touched. Header only, like the display check.
//
//     TEST(Pages, LookRightAt192Dpi)
//     {
//         ZEL_AT_SYSTEM_DENSITY(192);   // the parent returns here; the body runs in the child
//         ...
//     }
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace DisplayTestSupport {

inline std::wstring EnvironmentText(const wchar_t* name)
{
    wchar_t value[256] = L"";
    DWORD length = GetEnvironmentVariableW(name, value, 256);
    return length > 0 && length < 256 ? std::wstring(value, length) : std::wstring();
}

// True in a process started to run a test at another density: what the whole test program sets up
// once (and takes down at its end) is the starting program's, not this one's.
inline bool IsDensityChild()
{
    return !EnvironmentText(L"ZEL_TEST_DENSITY").empty();
}

// Sets the density the system reads at a process's start, and puts the old one back.
class SystemDensityValue {
public:
    explicit SystemDensityValue(DWORD dpi)
    {
        if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0,
                            KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
            key = nullptr;
            return;
        }
        DWORD size = sizeof old;
        DWORD type = 0;
        hadOld = RegQueryValueExW(key, L"LogPixels", nullptr, &type, reinterpret_cast<BYTE*>(&old), &size) ==
                     ERROR_SUCCESS && type == REG_DWORD;
        set = RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi) ==
              ERROR_SUCCESS;
    }
    ~SystemDensityValue() { Restore(); }
    SystemDensityValue(const SystemDensityValue&) = delete;
    SystemDensityValue& operator=(const SystemDensityValue&) = delete;

    bool IsSet() const { return set; }
    void Restore()
    {
        if (!key) return;
        if (hadOld)
            RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&old), sizeof old);
        else
            RegDeleteValueW(key, L"LogPixels");
        RegCloseKey(key);
        key = nullptr;
    }

private:
    HKEY key = nullptr;
    DWORD old = 0;
    bool hadOld = false;
    bool set = false;
};

// An inheritable copy of one of this process's standard handles, so the child writes where we do.
inline HANDLE InheritableStdHandle(DWORD which)
{
    HANDLE handle = GetStdHandle(which);
    HANDLE copy = nullptr;
    if (!handle || handle == INVALID_HANDLE_VALUE ||
        !DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, TRUE, DUPLICATE_SAME_ACCESS))
        return nullptr;
    return copy;
}

// True in the child, where the test body goes on at dpi; false in the parent once the child has run,
// its failures reported as this test's.
inline bool RunsAtSystemDensity(int dpi)
{
    const std::wstring wanted = std::to_wstring(dpi);
    if (EnvironmentText(L"ZEL_TEST_DENSITY") == wanted) {
        HDC screen = GetDC(nullptr);
        const int actual = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
        if (screen) ReleaseDC(nullptr, screen);
        HANDLE read = OpenEventW(EVENT_MODIFY_STATE, FALSE, EnvironmentText(L"ZEL_TEST_DENSITY_READ").c_str());
        if (read) {
            SetEvent(read);
            CloseHandle(read);
        }
        if (actual != dpi) {
            ADD_FAILURE() << "the system density is " << actual << " dpi, not " << dpi;
            return false;
        }
        return true;
    }

    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string filter = std::string(test->test_suite_name()) + "." + test->name();
    wchar_t module[MAX_PATH];
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(module) + L"\" --gtest_color=no --gtest_also_run_disabled_tests"
                                                         L" --gtest_filter=" + std::wstring(filter.begin(), filter.end());

    // One density change at a time, across every test program.
    HANDLE turn = CreateMutexW(nullptr, FALSE, L"ZelTestSystemDensity");
    const DWORD gotTurn = turn ? WaitForSingleObject(turn, 300000) : WAIT_FAILED;
    const std::wstring readName = L"ZelTestDensityRead" + std::to_wstring(GetCurrentProcessId());
    HANDLE read = CreateEventW(nullptr, TRUE, FALSE, readName.c_str());

    SystemDensityValue value{DWORD(dpi)};
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = InheritableStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = InheritableStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = InheritableStdHandle(STD_ERROR_HANDLE);
    SetEnvironmentVariableW(L"ZEL_TEST_DENSITY", wanted.c_str());
    SetEnvironmentVariableW(L"ZEL_TEST_DENSITY_READ", readName.c_str());
    PROCESS_INFORMATION child{};
    const BOOL started = value.IsSet() && read &&
                         CreateProcessW(module, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child);
    SetEnvironmentVariableW(L"ZEL_TEST_DENSITY", nullptr);
    SetEnvironmentVariableW(L"ZEL_TEST_DENSITY_READ", nullptr);
    for (HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
        if (handle) CloseHandle(handle);

    if (started) {
        HANDLE either[] = {read, child.hProcess};
        WaitForMultipleObjects(2, either, FALSE, 60000);
    }
    value.Restore();
    if (read) CloseHandle(read);
    if (gotTurn == WAIT_OBJECT_0 || gotTurn == WAIT_ABANDONED) ReleaseMutex(turn);
    if (turn) CloseHandle(turn);

    if (!started) {
        ADD_FAILURE() << "could not start the test again at " << dpi << " dpi (error " << GetLastError() << ")";
        return false;
    }
    const DWORD waited = WaitForSingleObject(child.hProcess, 600000);
    DWORD exitCode = 1;
    if (waited != WAIT_OBJECT_0) TerminateProcess(child.hProcess, 1);
    GetExitCodeProcess(child.hProcess, &exitCode);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    EXPECT_EQ(WAIT_OBJECT_0, waited) << "the test at " << dpi << " dpi did not end";
    EXPECT_EQ(0u, exitCode) << "the test at " << dpi << " dpi failed in its own process (its output is above)";
    return false;
}

}  // namespace DisplayTestSupport

// At the start of a window test: the rest of the body runs in a process started at this density.
#define ZEL_AT_SYSTEM_DENSITY(dpi) \
    if (!::DisplayTestSupport::RunsAtSystemDensity(dpi)) return
