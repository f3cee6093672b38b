// Time from process start to the first paint of the main window: Zel (from a folder laid out as a
// user's, with its default skin and three test plug-ins, then with its own three network plug-ins)
// beside MinimalWindow.exe, which shows one
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
    const std::wstring base = std::wstring(temp) + L"ZelStartupBench" + std::to_wstring(GetCurrentProcessId());
    // One folder with the three test plug-ins, one with the program's own three (the network
    // plug-ins and their language modules, as the build lays them out in "Protos\").
    const std::wstring tested = base + L"Test\\", shipped = base + L"Real\\";
    TestSupport::RemoveTree(tested);
    TestSupport::RemoveTree(shipped);
    if (!ProgramFolder::LayOut(tested, L"Order") || !ProgramFolder::LayOut(shipped, L"Missing") ||
        GetFileAttributesW((bin + L"Protos\\Wex\\Wex.dll").c_str()) == INVALID_FILE_ATTRIBUTES ||
        !CopyFileW((bin + L"MinimalWindow.exe").c_str(), (tested + L"MinimalWindow.exe").c_str(), FALSE)) {
        std::printf("Start-up: the program's files are not all built\n");
        return;
    }
    ProgramFolder::CopyTree(bin + L"Protos\\", shipped + L"Protos\\");

    const wchar_t* appClass = L"ZELWM_APPLICATION_CLASS";
    const COLORREF background = RGB(0xEA, 0xF2, 0xFA);
    Program withTests = {tested + L"Zel.exe", appClass, {12, 64}, background};
    Program withOwn = {shipped + L"Zel.exe", appClass, {12, 64}, background};
    Program minimal = {tested + L"MinimalWindow.exe", L"MinimalWindowClass", {12, 64}, RGB(0x20, 0x80, 0x40)};
    std::vector<double> testTimes, ownTimes, minimalTimes;
    // One of each first, unmeasured: the first start of a program under Wine loads its libraries cold.
    for (const Program* program : {&minimal, &withTests, &withOwn}) TimeToFirstPaint(*program);
    for (int round = 0; round < kRounds; ++round) {
        double m = TimeToFirstPaint(minimal);
        double t = TimeToFirstPaint(withTests);
        double o = TimeToFirstPaint(withOwn);
        if (m > 0) minimalTimes.push_back(m);
        if (t > 0) testTimes.push_back(t);
        if (o > 0) ownTimes.push_back(o);
    }
    std::printf("\nStart-up to the first paint, median of %d starts each:\n", kRounds);
    if (testTimes.empty() || ownTimes.empty() || minimalTimes.empty()) {
        std::printf("  no paint seen (is there a display?)\n");
    } else {
        double m = Median(minimalTimes), t = Median(testTimes), o = Median(ownTimes);
        std::printf("  %-44s %8.1f ms\n", "minimal Win32 window program", m * 1000);
        std::printf("  %-44s %8.1f ms  %5.2f x minimal\n", "Zel, three test plug-ins in Protos\\", t * 1000, t / m);
        std::printf("  %-44s %8.1f ms  %5.2f x minimal\n", "Zel, its Wex, Jabber and Dax in Protos\\", o * 1000, o / m);
    }
    TestSupport::RemoveTree(tested);
    TestSupport::RemoveTree(shipped);
}
