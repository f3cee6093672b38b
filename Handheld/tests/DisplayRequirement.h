// Window tests need a display (under Wine, an X server such as Xvfb). Without one, a developer's
// run skips them and says why; a run under CI fails them instead, because a skipped test counts as
// passed and the run would pass without having made a single window. CI services say so with the
// variable CI in the environment ("true"; "false" or "0" mean a developer's run). Header only, so
// that the test programs of every module share it.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cwctype>
#include <string>

namespace DisplayTestSupport {

// True when the variable CI, set to value (null when unset), says a CI service runs the tests.
inline bool IsCIValue(const wchar_t* value)
{
    if (!value || !*value) return false;
    std::wstring text(value);
    for (wchar_t& c : text) c = wchar_t(std::towlower(c));
    return text != L"false" && text != L"0";
}

// True when the environment says a CI service runs the tests.
inline bool RunByCI()
{
    wchar_t value[32] = L"";
    DWORD length = GetEnvironmentVariableW(L"CI", value, 32);
    if (length == 0) return false;
    if (length >= 32) return true;  // some long value: set all the same
    return IsCIValue(value);
}

enum class WindowTestAction { Run, Skip, Fail };

// What a window test does: runs with a display; without one, fails under CI and skips otherwise.
inline WindowTestAction ActionFor(bool displayAvailable, bool runByCI)
{
    if (displayAvailable) return WindowTestAction::Run;
    return runByCI ? WindowTestAction::Fail : WindowTestAction::Skip;
}

// True when a window can be made here; asked once.
inline bool DisplayAvailable()
{
    static const bool available = [] {
        HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                     GetModuleHandleW(nullptr), nullptr);
        if (probe) DestroyWindow(probe);
        return probe != nullptr;
    }();
    return available;
}

}  // namespace DisplayTestSupport

// At the start of a window test (or its SetUp): without a display, fails under CI, else skips.
#define ZEL_REQUIRE_DISPLAY()                                                                       \
    do {                                                                                            \
        switch (::DisplayTestSupport::ActionFor(::DisplayTestSupport::DisplayAvailable(),            \
                                                ::DisplayTestSupport::RunByCI())) {                 \
        case ::DisplayTestSupport::WindowTestAction::Fail:                                          \
            FAIL() << "no display under CI: CreateWindowExW made no window (start Xvfb, set "       \
                      "DISPLAY)";                                                                   \
        case ::DisplayTestSupport::WindowTestAction::Skip:                                          \
            GTEST_SKIP() << "no display: CreateWindowExW made no window (start Xvfb, set DISPLAY)"; \
        case ::DisplayTestSupport::WindowTestAction::Run:                                           \
            break;                                                                                  \
        }                                                                                           \
    } while (0)
