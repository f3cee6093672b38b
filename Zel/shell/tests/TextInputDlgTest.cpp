// The text input dialog run modally, scripted from a helper thread once it stands.
#include "Zel/shell/contactlist/TextInputDlg.h"

#include "Zel/shell/ZelResources.h"
#include "ZELCommon/ZELCommonResources.h"
#include "ZELCommon/tests/UiTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

namespace {

HWND FindDialog()
{
    for (int i = 0; i < 500; ++i) {
        HWND window = nullptr;
        while ((window = FindWindowExW(nullptr, window, L"#32770", nullptr)) != nullptr)
            if (GetDlgItem(window, IDC_TEXT_INPUT_EDIT) && IsWindowVisible(window)) return window;
        Sleep(10);
    }
    return nullptr;
}

std::wstring Text(HWND window)
{
    wchar_t text[128] = {};
    SendMessageW(window, WM_GETTEXT, 128, LPARAM(text));
    return text;
}

struct DialogRun {
    int result;
    std::wstring text;
    std::wstring label;
    std::wstring shown;
    bool stayedOpen = false;
};

// Runs the dialog with a script for the helper thread.
DialogRun RunDialog(const wchar_t* initial, int kind, const std::function<void(HWND, DialogRun&)>& script)
{
    HWND owner = TestSupport::CreateHostWindow(240, 320);
    DialogRun run;
    std::thread driver([&] {
        HWND dialog = FindDialog();
        if (!dialog) return;
        run.label = Text(GetDlgItem(dialog, IDC_TEXT_INPUT_LABEL));
        run.shown = Text(GetDlgItem(dialog, IDC_TEXT_INPUT_EDIT));
        script(dialog, run);
    });
    CTextInputDlg dialog{CZELString(initial), kind};
    run.result = dialog.DoModal(owner);
    driver.join();
    run.text = dialog.GetText().GetBuffer() ? dialog.GetText().GetBuffer() : L"";
    DestroyWindow(owner);
    return run;
}

void SetEdit(HWND dialog, const wchar_t* text)
{
    SendMessageW(GetDlgItem(dialog, IDC_TEXT_INPUT_EDIT), WM_SETTEXT, 0, LPARAM(text));
}

}  // namespace

TEST(TextInputDialog, ConfirmsATypedNameAndKeepsBlanks)
{
    ZEL_REQUIRE_DISPLAY();
    DialogRun run = RunDialog(L"", CTextInputDlg::GroupName, [](HWND dialog, DialogRun&) {
        SetEdit(dialog, L"  ");
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.text, L"  ");
    EXPECT_EQ(run.label, L"Group name");
    EXPECT_EQ(run.shown, L"");
}

TEST(TextInputDialog, AnEmptyNameCannotBeConfirmed)
{
    ZEL_REQUIRE_DISPLAY();
    DialogRun run = RunDialog(L"Bob", CTextInputDlg::ContactName, [](HWND dialog, DialogRun& run) {
        SetEdit(dialog, L"");
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
        run.stayedOpen = IsWindow(dialog) && IsWindowVisible(dialog);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_TRUE(run.stayedOpen);
    EXPECT_EQ(run.result, 2);
    EXPECT_EQ(run.label, L"Contact name");
    EXPECT_EQ(run.shown, L"Bob");
    // Cancelled: the text is the one it started with.
    EXPECT_EQ(run.text, L"Bob");
}

TEST(TextInputDialog, AnUnchangedRenameIsStillConfirmed)
{
    ZEL_REQUIRE_DISPLAY();
    DialogRun run = RunDialog(L"Friends", CTextInputDlg::GroupName,
                        [](HWND dialog, DialogRun&) { PostMessageW(dialog, WM_COMMAND, IDOK, 0); });
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.text, L"Friends");
}

TEST(TextInputDialog, SoftKeysConfirmAndCancel)
{
    ZEL_REQUIRE_DISPLAY();
    DialogRun left = RunDialog(L"", CTextInputDlg::GroupName, [](HWND dialog, DialogRun& run) {
        // Empty: the left key leaves it open too.
        SendMessageW(dialog, WM_COMMAND, ID_ZELCOMMON_SOFTKEY_LEFT, 0);
        run.stayedOpen = IsWindow(dialog) != FALSE;
        SetEdit(dialog, L"New");
        PostMessageW(dialog, WM_COMMAND, ID_ZELCOMMON_SOFTKEY_LEFT, 0);
    });
    EXPECT_TRUE(left.stayedOpen);
    EXPECT_EQ(left.result, 1);
    EXPECT_EQ(left.text, L"New");
    DialogRun right = RunDialog(L"x", CTextInputDlg::GroupName,
                          [](HWND dialog, DialogRun&) { PostMessageW(dialog, WM_COMMAND, ID_ZELCOMMON_SOFTKEY_RIGHT, 0); });
    EXPECT_EQ(right.result, 2);
}
