// Time from process start to the first paint of the main window: Zel (from a folder laid out as a
// user's, with its default skin and three test plug-ins) beside MinimalWindow.exe, which shows one
// painted window and nothing else, both started the same way and alternated. The paint is seen from
// outside: a pixel of the client area taking the colour the program paints there.
#include "Zel/shell/bench/ShellBenchmarks.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const int kRounds = 9;

void CopyTree(const std::wstring& from, const std::wstring& to)
{
    CreateDirectoryW(to.c_str(), nullptr);
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((from + L"*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CopyTree(from + name + L"\\", to + name + L"\\");
        else
            CopyFileW((from + name).c_str(), (to + name).c_str(), FALSE);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
}

void RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(folder + name + L"\\");
            else DeleteFileW((folder + name).c_str());
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

struct Program {
    std::wstring path;
    const wchar_t* windowClass;
    POINT probe;       // a client point the program paints
    COLORREF painted;  // its colour once painted
};

// Seconds from the start of the process to the probe's colour; negative when it never came.
double TimeToFirstPaint(const Program& program)
{
    std::wstring commandLine = L"\"" + program.path + L"\"";
    std::wstring folder = program.path.substr(0, program.path.rfind(L'\\') + 1);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    double start = BenchSeconds();
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &process))
        return -1;
    double painted = -1;
    HWND window = nullptr;
    while (BenchSeconds() - start < 20) {
        if (!window) window = FindWindowW(program.windowClass, nullptr);
        if (window) {
            HDC dc = GetDC(window);
            COLORREF pixel = dc ? GetPixel(dc, program.probe.x, program.probe.y) : CLR_INVALID;
            if (dc) ReleaseDC(window, dc);
            if (pixel == program.painted) {
                painted = BenchSeconds() - start;
                break;
            }
        }
        Sleep(1);
    }
    if (window) PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return painted;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

void RunStartupBenchmark()
{
    std::wstring bin = BenchFolder();
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"ZelStartupBench" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    RemoveTree(folder);
    CreateDirectoryW(folder.c_str(), nullptr);
    for (const wchar_t* file : {L"Zel.exe", L"ZELCommon.dll", L"Handheld.dll", L"libstdc++-6.dll", L"libgcc_s_seh-1.dll",
                                L"libwinpthread-1.dll", L"MinimalWindow.exe"})
        CopyFileW((bin + file).c_str(), (folder + file).c_str(), FALSE);
    CopyTree(bin + L"Skins\\", folder + L"Skins\\");
    CopyTree(bin + L"PluginTrees\\Order\\Protos\\", folder + L"Protos\\");

    Program zel = {folder + L"Zel.exe", L"ZELWM_APPLICATION_CLASS", {12, 64}, RGB(0xEA, 0xF2, 0xFA)};
    Program minimal = {folder + L"MinimalWindow.exe", L"MinimalWindowClass", {12, 64}, RGB(0x20, 0x80, 0x40)};
    std::vector<double> zelTimes, minimalTimes;
    // One of each first, unmeasured: the first start of a program under Wine loads its libraries cold.
    TimeToFirstPaint(minimal);
    TimeToFirstPaint(zel);
    for (int round = 0; round < kRounds; ++round) {
        double m = TimeToFirstPaint(minimal);
        double z = TimeToFirstPaint(zel);
        if (m > 0) minimalTimes.push_back(m);
        if (z > 0) zelTimes.push_back(z);
    }
    std::printf("\nStart-up to the first paint, median of %d starts each (three test plug-ins in Protos\\):\n", kRounds);
    if (zelTimes.empty() || minimalTimes.empty()) {
        std::printf("  no paint seen (is there a display?)\n");
    } else {
        double z = Median(zelTimes), m = Median(minimalTimes);
        std::printf("  %-28s %8.1f ms\n  %-28s %8.1f ms\n  %-28s %8.2f\n", "minimal Win32 window program", m * 1000,
                    "Zel", z * 1000, "Zel / minimal", z / m);
    }
    RemoveTree(folder);
}
