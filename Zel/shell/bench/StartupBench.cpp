// Time from process start to the first paint of the main window: Zel (from a folder laid out as a
// user's, with its default skin and three test plug-ins) beside MinimalWindow.exe, which shows one
// painted window and nothing else, both started the same way and alternated. The paint is seen from
// outside: a pixel of the client area taking the colour the program paints there.
#include "Zel/shell/bench/ShellBenchmarks.h"

#include "Zel/shell/tests/ProgramFolder.h"
#include "ZELCommon/tests/RemoveTree.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const int kRounds = 9;

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
    std::wstring bin = ProgramFolder::Bin();
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"ZelStartupBench" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    TestSupport::RemoveTree(folder);
    if (!ProgramFolder::LayOut(folder, L"Order") ||
        !CopyFileW((bin + L"MinimalWindow.exe").c_str(), (folder + L"MinimalWindow.exe").c_str(), FALSE)) {
        std::printf("Start-up: the program's files are not all built\n");
        return;
    }

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
    TestSupport::RemoveTree(folder);
}
