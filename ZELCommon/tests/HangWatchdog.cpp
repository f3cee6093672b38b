// Linked into every test program: a test still running after its time limit ends the program, with
// the test's name and, under Wine, every thread's stack (from winedbg) on the output. Without it a
// hang shows only as the run's timeout with the hung test's name as the last line.
// ZEL_TEST_HANG_SECONDS sets the limit (default 300 s; 0 turns the watchdog off).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace {

bool UnderWine()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

std::wstring TempFile(const wchar_t* prefix)
{
    wchar_t folder[MAX_PATH] = L"", path[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, prefix, 0, path);
    return path;
}

// winedbg attached to this process prints every thread's stack. It writes to a file, not a pipe:
// while it holds this process stopped, nothing here could drain a pipe.
std::string ThreadStacks()
{
    const std::wstring commands = TempFile(L"zwc"), output = TempFile(L"zwo");
    HANDLE file = CreateFileW(commands.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, "bt all\ndetach\nquit\n", 19, &written, nullptr);
    CloseHandle(file);

    SECURITY_ATTRIBUTES inherit = {};
    inherit.nLength = sizeof(inherit);
    inherit.bInheritHandle = TRUE;
    HANDLE in = CreateFileW(commands.c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit, OPEN_EXISTING, 0, nullptr);
    HANDLE out = CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = out;
    PROCESS_INFORMATION process = {};
    std::wstring line = L"winedbg.exe " + std::to_wstring(GetCurrentProcessId());
    if (CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        WaitForSingleObject(process.hProcess, 60000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(in);
    CloseHandle(out);

    // Only this process's threads, not the other processes' that "bt all" lists too.
    char own[32];
    snprintf(own, sizeof(own), "in process %04lx ", (unsigned long)GetCurrentProcessId());
    std::string stacks, text;
    file = CreateFileW(output.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                       nullptr);
    char buffer[4096];
    DWORD got = 0;
    while (file != INVALID_HANDLE_VALUE && ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got)
        text.append(buffer, got);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    DeleteFileW(commands.c_str());
    DeleteFileW(output.c_str());
    bool ours = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string row = text.substr(start, end - start);
        if (row.find("Backtracing for thread") != std::string::npos) ours = row.find(own) != std::string::npos;
        if (ours) stacks += row + "\n";
        start = end + 1;
    }
    return stacks.empty() ? "(no stacks: winedbg gave nothing for this process)\n" : stacks;
}

class HangWatchdog : public testing::EmptyTestEventListener {
public:
    explicit HangWatchdog(DWORD seconds) : limit(ULONGLONG(seconds) * 1000)
    {
        CloseHandle(CreateThread(nullptr, 0, &HangWatchdog::Watch, this, 0, nullptr));
    }

    void OnTestStart(const testing::TestInfo& test) override
    {
        std::lock_guard<std::mutex> hold(lock);
        name = std::string(test.test_suite_name()) + "." + test.name();
        started = GetTickCount64();
    }
    void OnTestEnd(const testing::TestInfo&) override
    {
        std::lock_guard<std::mutex> hold(lock);
        name.clear();
    }

private:
    static DWORD WINAPI Watch(void* self)
    {
        static_cast<HangWatchdog*>(self)->Run();
        return 0;
    }

    void Run()
    {
        for (;;) {
            Sleep(1000);
            std::string hung;
            {
                std::lock_guard<std::mutex> hold(lock);
                if (!name.empty() && GetTickCount64() - started > limit) hung = name;
            }
            if (hung.empty()) continue;
            fflush(stdout);
            fprintf(stderr, "\n%s has run for more than %llu s: the test program ends here.\n", hung.c_str(),
                    limit / 1000);
            if (UnderWine()) fprintf(stderr, "Its threads:\n%s", ThreadStacks().c_str());
            fflush(stderr);
            TerminateProcess(GetCurrentProcess(), 4);
        }
    }

    const ULONGLONG limit;
    std::mutex lock;
    std::string name;
    ULONGLONG started = 0;
};

DWORD LimitSeconds()
{
    const char* set = getenv("ZEL_TEST_HANG_SECONDS");
    return set ? DWORD(strtoul(set, nullptr, 10)) : 300;
}

// Made before main: gtest's listeners are in place before the first test starts.
const bool installed = [] {
    const DWORD seconds = LimitSeconds();
    if (seconds) testing::UnitTest::GetInstance()->listeners().Append(new HangWatchdog(seconds));
    return true;
}();

}  // namespace
