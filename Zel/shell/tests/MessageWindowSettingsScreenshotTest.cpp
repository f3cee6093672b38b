// The chat window's settings pages as they show in the running application with the default skin,
// at 96 dpi and at 192: each page shows the skin's background beside its controls, and its labels
// are written in the colour scheme's text colour. The screenshots are saved under bin\screenshots.
#include "Zel/shell/tests/AppTestSupport.h"

#include "Handheld/tests/SystemDensity.h"
#include "Zel/chat/MessageWindowSettingsDialog.h"
#include "Zel/chat/settings/MessageWindowSettings.h"
#include "Zel/prefs/tests/DialogScript.h"
#include "Zel/shell/dialogs/DialogTemplates.h"
#include "Zel/shell/skin/ColorScheme.h"
#include "ZELCommon/tests/WindowScreenshot.h"

#include <memory>
#include <string>
#include <vector>

using namespace AppTest;
using TestSupport::Image;

namespace {

// The default skin's background: a pale field with a darker dot every 8 pixels.
const uint32_t kField = 0xEAF2FA;
const uint32_t kDot = 0xC8DCF0;

MessageWindowSettingsDialog* g_dialog = nullptr;

int RunModally(void*, MessageWindowSettingsDialog& dialog, HWND parent)
{
    g_dialog = &dialog;
    const int result = DoModalDialog(&dialog, parent);
    g_dialog = nullptr;
    return result;
}

bool Covered(const std::vector<RECT>& controls, int x, int y)
{
    const POINT point = {x, y};
    for (const RECT& rect : controls)
        if (PtInRect(&rect, point)) return true;
    return false;
}

// The first label of the page that shows a text.
HWND FirstLabel(HWND page)
{
    for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t kind[16] = L"", text[8] = L"";
        GetClassNameW(child, kind, 16);
        GetWindowTextW(child, text, 8);
        if (lstrcmpiW(kind, L"Static") == 0 && text[0] && IsWindowVisible(child)) return child;
    }
    return nullptr;
}

void CheckPage(HWND dialog, int index, int dpi)
{
    TabPage* tab = g_dialog->FindPage(index);
    ASSERT_NE(tab, nullptr);
    HWND page = *tab->window;
    const std::wstring name = L"zel_chat_settings_page" + std::to_wstring(index) + L"_" + std::to_wstring(dpi) + L".png";
    TestSupport::SaveScreenshot(dialog, false, name.c_str());
    Image image;
    ASSERT_TRUE(TestSupport::CaptureWindow(dialog, false, &image));

    // Beside the controls: the skin's field with its dots, nothing else.
    const RECT area = TestSupport::RectIn(page, dialog);
    std::vector<RECT> controls;
    for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (IsWindowVisible(child)) controls.push_back(TestSupport::RectIn(child, dialog));
    int free = 0, skin = 0;
    for (int y = area.top; y < area.bottom && y < image.height; ++y)
        for (int x = area.left; x < area.right && x < image.width; ++x) {
            if (Covered(controls, x, y)) continue;
            ++free;
            skin += image.At(x, y) == kField || image.At(x, y) == kDot;
        }
    EXPECT_GT(free, 0);
    // A glyph's edge or a focus mark may spill a pixel or two past a control.
    EXPECT_GE(skin, free * 98 / 100) << "page " << index;

    // A label in the scheme's text colour.
    HWND label = FirstLabel(page);
    ASSERT_NE(label, nullptr) << "page " << index;
    const uint32_t text = TestSupport::Rgb(GetSchemeColor(ColorScheme::TextColor));
    const RECT box = TestSupport::RectIn(label, dialog);
    int written = 0;
    for (int y = box.top; y < box.bottom && y < image.height; ++y)
        for (int x = box.left; x < box.right && x < image.width; ++x) written += image.At(x, y) == text;
    EXPECT_GT(written, 10 * dpi / 96) << "page " << index;
}

void CheckThePages(int dpi)
{
    AppFolder folder{L"ChatSettingsPictures"};
    AppRun app(folder, L"Missing");
    ASSERT_TRUE(app.started);
    ASSERT_EQ(g_HIDPI_LogPixelsY, dpi);
    HWND window = app.Window();
    SetWindowPos(window, HWND_TOP, 0, 0, dpi * 5 / 2, dpi * 7 / 2, SWP_SHOWWINDOW);
    PumpFor(200);

    MessageWindowSettings settings{nullptr};
    PrefsTest::DialogScript script;
    for (int index = 0; index < MWPageCount; ++index) {
        auto shown = std::make_shared<ULONGLONG>(0);
        script.Then([index, shown] {
            if (!g_dialog || !IsWindowVisible(HWND(*g_dialog))) return false;
            if (*shown == 0) {
                g_dialog->SelectPage(index);
                RedrawWindow(*g_dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
                *shown = GetTickCount64();
            }
            // A while for what was drawn to reach the screen.
            return GetTickCount64() >= *shown + 200;
        });
        script.Then([index, dpi] {
            CheckPage(*g_dialog, index, dpi);
            return true;
        });
    }
    script.Then([] {
        PrefsTest::RightSoftKey(*g_dialog);
        return true;
    });
    SetMessageWindowSettingsRunner(&RunModally, nullptr);
    script.Start(30000);
    ShowMessageWindowSettingsDialog(window, settings, nullptr, 0);
    SetMessageWindowSettingsRunner(nullptr, nullptr);
    EXPECT_TRUE(script.Finished());
}

}  // namespace

TEST(MessageWindowSettingsScreenshot, PagesShowTheSkinAndTheSchemesTextAt96Dpi)
{
    ZEL_REQUIRE_DISPLAY();
    CheckThePages(96);
}

TEST(MessageWindowSettingsScreenshot, PagesShowTheSkinAndTheSchemesTextAt192Dpi)
{
    ZEL_REQUIRE_DISPLAY();
    ZEL_AT_SYSTEM_DENSITY(192);
    CheckThePages(192);
}
