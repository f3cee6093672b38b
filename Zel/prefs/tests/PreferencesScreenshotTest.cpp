// The preferences and their dialogs as they show on the screen in the running application with the
// default skin, at 96 dpi and at 192 (the system's density as a device of that density starts):
// every page with its controls painted, the Accounts rows (the protocol's icon, the name or
// " <empty>"), the file browser in details view, the colour scheme rows' swatches, the palette's
// cells and the about box's title colour. The screenshots are saved under bin\screenshots.
#include "Zel/shell/tests/AppTestSupport.h"

#include "Handheld/FileSystemRoot.h"
#include "Handheld/tests/SystemDensity.h"
#include "Zel/prefs/AboutDialog.h"
#include "Zel/prefs/ColorEditors.h"
#include "Zel/prefs/FileBrowserDialog.h"
#include "Zel/prefs/PreferencesPage.h"
#include "Zel/prefs/tests/DialogScript.h"
#include "Zel/shell/dialogs/DialogTemplates.h"
#include "Zel/shell/skin/ColorScheme.h"
#include "ZELCommon/ZELWMUI_ListImageCtrl.h"
#include "ZELCommon/tests/WindowScreenshot.h"

#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace AppTest;
using namespace PrefsTest;
using TestSupport::Image;

namespace {

struct PreferencesRun {
    PreferencesDialog* dialog = nullptr;
};

int RunModally(void* context, PreferencesDialog& dialog, HWND owner)
{
    PreferencesRun& run = *static_cast<PreferencesRun*>(context);
    if (run.dialog) return IDCANCEL;  // one at a time
    run.dialog = &dialog;
    const int result = DoModalDialog(&dialog, owner);
    run.dialog = nullptr;
    return result;
}

// A step that waits a while, so what was drawn reaches the screen before it is read.
DialogScript::Step Pause(DWORD milliseconds)
{
    auto until = std::make_shared<ULONGLONG>(0);
    return [until, milliseconds] {
        if (*until == 0) *until = GetTickCount64() + milliseconds;
        return GetTickCount64() >= *until;
    };
}

void Redraw(HWND window)
{
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

bool Capture(HWND window, const std::wstring& name, Image& image)
{
    TestSupport::SaveScreenshot(window, false, name.c_str());
    return TestSupport::CaptureWindow(window, false, &image);
}

RECT Clip(RECT rect, const Image& image)
{
    rect.left = std::max<LONG>(rect.left, 0);
    rect.top = std::max<LONG>(rect.top, 0);
    rect.right = std::min<LONG>(rect.right, image.width);
    rect.bottom = std::min<LONG>(rect.bottom, image.height);
    return rect;
}

int Count(const Image& image, RECT area, const std::function<bool(uint32_t)>& test)
{
    area = Clip(area, image);
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) count += test(image.At(x, y)) ? 1 : 0;
    return count;
}

bool Green(uint32_t pixel)
{
    const int r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
    return g > r + 40 && g > b + 40;
}

bool Dark(uint32_t pixel)
{
    return ((pixel >> 16) & 0xFF) < 110 && ((pixel >> 8) & 0xFF) < 110 && (pixel & 0xFF) < 110;
}

// The colours of a band that shows only background.
std::vector<uint32_t> Colours(const Image& image, RECT area)
{
    std::vector<uint32_t> colours;
    area = Clip(area, image);
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (std::find(colours.begin(), colours.end(), image.At(x, y)) == colours.end())
                colours.push_back(image.At(x, y));
    return colours;
}

// A list-view row's rectangle in the coordinates of the dialog that holds the list.
RECT RowRect(HWND dialog, HWND list, int row)
{
    RECT rect = {};
    rect.left = LVIR_BOUNDS;
    SendMessageW(list, LVM_GETITEMRECT, WPARAM(row), LPARAM(&rect));
    MapWindowPoints(list, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

int TextWidth(HWND control, const std::wstring& text)
{
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, HFONT(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE size = {};
    GetTextExtentPoint32W(dc, text.c_str(), int(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return size.cx;
}

std::wstring Text(const CZELString& text)
{
    return text.GetBuffer() ? std::wstring(text.GetBuffer(), size_t(text.GetLength())) : std::wstring();
}

// The default skin with a picture for the test plug-in's protocol icon, in a folder of the test's.
void UseSkinWithProtocolIcon(const std::wstring& folder)
{
    wchar_t module[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring from(module);
    from = from.substr(0, from.rfind(L'\\') + 1) + L"Skins\\ZEL PDA skin\\";
    const std::wstring to = folder + L"ZEL PDA skin\\";
    CreateDirectoryW(to.c_str(), nullptr);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((from + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                CopyFileW((from + found.cFileName).c_str(), (to + found.cFileName).c_str(), FALSE);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    CopyFileW((from + L"dax_proto.png").c_str(), (to + L"fake.png").c_str(), FALSE);
    CSkinImageSet* images = GuiImages();
    ASSERT_NE(images, nullptr);
    images->SetSkin(CZELString(folder.c_str()), CZELString(L"ZEL PDA skin"));
    images->UnloadAll();
}

void MakeFile(const std::wstring& path, size_t size)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::string bytes(size, 'x');
    DWORD written = 0;
    if (size) WriteFile(file, bytes.data(), DWORD(size), &written, nullptr);
    CloseHandle(file);
}

// Every visible control of a page that shows something has a pixel of its own: neither the page's
// background nor missing.
void CheckPageControls(const Image& image, HWND dialog, HWND page, const std::vector<uint32_t>& background, int index)
{
    int checked = 0;
    for (HWND control = GetWindow(page, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
        if (!IsWindowVisible(control)) continue;
        wchar_t kind[32] = L"", text[8] = L"";
        GetClassNameW(control, kind, 32);
        GetWindowTextW(control, text, 8);
        if (lstrcmpiW(kind, L"Static") == 0 && !text[0]) continue;
        if (lstrcmpiW(kind, L"Edit") == 0 || lstrcmpiW(kind, L"msctls_updown32") == 0) continue;  // blank until typed in
        RECT rect = TestSupport::RectIn(control, dialog);
        const int own = Count(image, rect, [&](uint32_t pixel) {
            return std::find(background.begin(), background.end(), pixel) == background.end();
        });
        EXPECT_GT(own, 0) << "page " << index << ", control " << GetDlgCtrlID(control);
        ++checked;
    }
    EXPECT_GT(checked, 0) << "page " << index;
}

// One page as it shows: its controls painted over its background; on the Accounts page the rows.
void CheckPage(const PreferencesRun& run, HWND dialog, int page, int dpi, const std::wstring& protocolName,
               const std::wstring& suffix)
{
    Image image;
    EXPECT_TRUE(Capture(dialog, L"zel_prefs_page" + std::to_wstring(page) + suffix, image));
    if (image.width == 0) return;
    HWND pageWindow = *run.dialog->FindPage(page)->window;
    RECT area = TestSupport::RectIn(pageWindow, dialog);
    EXPECT_TRUE(IsWindowVisible(pageWindow));
    // The page's own background: the band along its top edge, above every control.
    RECT band = {area.left, area.top, area.right, area.top + 2};
    const std::vector<uint32_t> background = Colours(image, band);
    EXPECT_LE(background.size(), 4u) << "page " << page;
    CheckPageControls(image, dialog, pageWindow, background, page);
    if (page != PreferencesAccountsPage) return;

    // The Accounts rows: the second, unselected, shows the icon and " <empty>".
    HWND list = GetDlgItem(pageWindow, 1000);
    ASSERT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 2);
    const int iconWidth = (dpi + 3) * 16 / 96, iconHeight = (dpi + 3) * 16 / 96;
    const int textLeft = iconWidth + (dpi + 24) * 2 / 96;
    for (int row = 0; row < 2; ++row) {
        SCOPED_TRACE(row);
        RECT rect = RowRect(dialog, list, row);
        const int middle = (rect.top + rect.bottom) / 2;
        const int iconTop = middle - (dpi + 6) * 8 / 96;
        // The icon's box, within the row (the box may reach into the neighbouring rows).
        RECT icon = {rect.left, std::max<LONG>(iconTop, rect.top), rect.left + iconWidth,
                     std::min<LONG>(iconTop + iconHeight, rect.bottom)};
        // The protocol's picture (the test skin's is a green diamond) fills a good part of it.
        EXPECT_GT(Count(image, icon, Green), iconWidth * (icon.bottom - icon.top) / 6);
        if (row == 0) continue;  // drawn selected in the highlight colours
        const std::wstring line = protocolName + L" <empty>";
        RECT textBox = {rect.left + textLeft, rect.top, rect.right, rect.bottom};
        int first = -1, last = -1;
        for (int x = textBox.left; x < std::min<LONG>(textBox.right, image.width); ++x)
            for (int y = textBox.top; y < textBox.bottom; ++y)
                if (Dark(image.At(x, y))) {
                    if (first < 0) first = x;
                    last = x;
                    break;
                }
        ASSERT_GE(first, 0);
        // The text starts where the row's text box does (a glyph's side bearing and the list's
        // edge aside) and is as wide as the line drawn in the list's font.
        EXPECT_GE(first, textBox.left);
        EXPECT_LE(first - textBox.left, 4 * dpi / 96);
        const int width = TextWidth(list, line);
        EXPECT_NEAR(last + 1 - first, width, 3 * dpi / 96) << "the text is not \" <empty>\"";
    }
}

void CheckThePictures(int dpi)
{
    TestSupport::TempFolder tree{L"PrefsPicturesTree"};
    TestSupport::TempFolder skins{L"PrefsPicturesSkins"};
    AppFolder folder{L"PrefsPictures"};
    SetDeviceRootFolder(tree.path.c_str());
    FileBrowserReset();
    CreateDirectoryW((tree.path + L"Music").c_str(), nullptr);
    MakeFile(tree.path + L"notes.txt", 1025);
    MakeFile(tree.path + L"readme.txt", 12);

    AppRun app(folder, L"Pages");
    ASSERT_TRUE(app.started);
    ASSERT_EQ(g_HIDPI_LogPixelsY, dpi);
    UseSkinWithProtocolIcon(skins.path);
    HWND window = app.Window();
    SetWindowPos(window, HWND_TOP, 0, 0, dpi * 5 / 2, dpi * 7 / 2, SWP_SHOWWINDOW);
    ASSERT_NE(app.NewAccount(L"Al"), 0u);
    ASSERT_NE(app.NewAccount(L""), 0u);
    std::wstring protocolName;
    for (int i = 0; i < ProtocolsManagerService->GetProtocolCount(); ++i)
        if (ProtocolsManagerService->GetProtocol(i).guid == GUID_FAKE_A)
            protocolName = Text(ProtocolsManagerService->GetProtocol(i).displayName);
    const std::wstring suffix = L"_" + std::to_wstring(dpi) + L".png";

    // Every page.
    {
        PreferencesRun run;
        DialogScript script;
        HWND dialog = nullptr;
        for (int page = 0; page < PreferencesPageCount; ++page) {
            script.Then([&run, &dialog, page] {
                if (!run.dialog || !IsWindowVisible(HWND(*run.dialog))) return false;
                dialog = *run.dialog;
                run.dialog->SelectPage(page);
                Redraw(dialog);
                return true;
            });
            script.Then(Pause(200));
            script.Then([&, page] {
                CheckPage(run, dialog, page, dpi, protocolName, suffix);
                return true;
            });
        }
        script.Then([&] {
            RightSoftKey(dialog);
            return true;
        });
        PumpFor(200);
        SetPreferencesRunner(&RunModally, &run);
        script.Start(30000);
        app.App().OpenPreferences(PreferencesGeneralPage);
        SetPreferencesRunner(&SkipPreferences, nullptr);
        EXPECT_TRUE(script.Finished());
    }

    // The file browser in details view: the columns' widths, the system icon, the size right-aligned.
    {
        DialogScript script;
        script.In(1063, [](HWND browser) { RightSoftKey(browser); });
        script.Choose(L"Details View");
        script.Then(Pause(200));
        script.In(1063, [&](HWND browser) {
            Redraw(browser);
            Image image;
            ASSERT_TRUE(Capture(browser, L"zel_prefs_browser" + suffix, image));
            HWND list = GetDlgItem(browser, 1022);
            EXPECT_EQ(GetWindowLongW(list, GWL_STYLE) & LVS_TYPEMASK, LVS_REPORT);
            EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0), (dpi * 120 + 48) / 96);
            EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0), (dpi * 55 + 48) / 96);
            EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 2, 0), (dpi * 100 + 48) / 96);
            HWND header = HWND(SendMessageW(list, LVM_GETHEADER, 0, 0));
            EXPECT_TRUE(IsWindowVisible(header));
            ASSERT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 3);  // Music, notes.txt, readme.txt
            // Row 1, notes.txt (unselected): its size "1.00K" ends at the size column's right edge.
            RECT row = RowRect(browser, list, 1);
            const int nameWidth = (dpi * 120 + 48) / 96, sizeWidth = (dpi * 55 + 48) / 96;
            RECT sizeCell = {row.left + nameWidth, row.top, row.left + nameWidth + sizeWidth, row.bottom};
            int last = -1;
            for (int x = sizeCell.left; x < sizeCell.right && x < image.width; ++x)
                if (Count(image, RECT{x, sizeCell.top, x + 1, sizeCell.bottom}, Dark) > 0) last = x;
            ASSERT_GE(last, 0);
            EXPECT_GE(last, sizeCell.right - 1 - 8 * dpi / 96);
            const int textWidth = TextWidth(list, L"1.00K");
            EXPECT_EQ(Count(image, RECT{sizeCell.left, sizeCell.top, sizeCell.right - textWidth - 8 * dpi / 96, sizeCell.bottom}, Dark), 0);
            // The small icon before the name.
            RECT icon = {row.left, row.top, row.left + GetSystemMetrics(SM_CXSMICON) + 4, row.bottom};
            RECT blank = {row.left + nameWidth + 2, row.top, row.left + nameWidth + 6, row.bottom};
            const std::vector<uint32_t> rowBackground = Colours(image, blank);
            EXPECT_GT(Count(image, icon, [&](uint32_t pixel) {
                          return std::find(rowBackground.begin(), rowBackground.end(), pixel) == rowBackground.end();
                      }),
                      20);
            RightSoftKey(browser);
        });
        script.Choose(L"Cancel");
        script.Start();
        std::wstring path;
        EXPECT_FALSE(RunFileBrowser(window, L"*.txt;", FileBrowserDialog::ModeOpen, path));
        EXPECT_TRUE(script.Finished());
    }

    // The colour scheme rows: each visible row's swatch in its colour.
    {
        COLORREF colors[ColorSchemeEditor::Count];
        for (int i = 0; i < ColorSchemeEditor::Count; ++i) colors[i] = RGB(255 - i * 7, i * 7, (i * 53) & 0xFF);
        DialogScript script;
        script.Then(Pause(200));
        script.In(1022, [&](HWND editor) {
            Redraw(editor);
            Image image;
            ASSERT_TRUE(Capture(editor, L"zel_prefs_colors" + suffix, image));
            HWND list = GetDlgItem(editor, 1022);
            RECT client = {};
            GetClientRect(list, &client);
            MapWindowPoints(list, editor, reinterpret_cast<POINT*>(&client), 2);
            const int one = (dpi + 48) / 96, swatchWidth = (14 * dpi + 48) / 96;
            int rows = 0;
            for (int i = 0; i < ColorSchemeEditor::Count; ++i) {
                RECT row = RowRect(editor, list, i);
                if (row.bottom > client.bottom || row.top < client.top) continue;
                ++rows;
                // The swatch, 14 by the row's height less 2, in exactly the row's colour.
                RECT band = {row.left - 4, row.top, row.left + one + swatchWidth + 6, row.bottom};
                const int area = swatchWidth * (row.bottom - row.top - 2 * one);
                EXPECT_EQ(Count(image, band, [&](uint32_t pixel) { return pixel == TestSupport::Rgb(colors[i]); }), area)
                    << "row " << i;
            }
            EXPECT_GE(rows, 5);
            LeftSoftKey(editor);
        });
        script.Start();
        EXPECT_TRUE(RunColorSchemeEditor(window, colors, CZELString(L"ZEL PDA skin")));
        EXPECT_TRUE(script.Finished());
    }

    // The palette: every cell in its colour, 5 pure red, 127 pure blue.
    {
        PaletteSelection() = -1;
        PaletteDialog palette;
        DialogScript script;
        script.Then(Pause(200));
        script.In(1040, [&](HWND dialog) {
            Redraw(dialog);
            Image image;
            ASSERT_TRUE(Capture(dialog, L"zel_prefs_palette" + suffix, image));
            const UI::CZELWMUI_ListImageCtrl* grid = palette.Grid();
            ASSERT_NE(grid, nullptr);
            for (int cell = 0; cell < PaletteDialog::Cells; ++cell) {
                RECT rect = {};
                ASSERT_TRUE(grid->GetImageRect(cell, &rect)) << cell;
                MapWindowPoints(*grid, dialog, reinterpret_cast<POINT*>(&rect), 2);
                const POINT centre = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
                ASSERT_LT(centre.y, image.height) << cell;
                EXPECT_EQ(image.At(centre.x, centre.y), TestSupport::Rgb(PaletteColor(cell))) << "cell " << cell;
            }
            EXPECT_EQ(PaletteColor(5), RGB(255, 0, 0));
            EXPECT_EQ(PaletteColor(127), RGB(0, 0, 255));
            RightSoftKey(dialog);
        });
        script.Start();
        EXPECT_EQ(palette.DoModal(PaletteDialog::TemplateId, PreferencesModule(), window), IDCANCEL);
        EXPECT_TRUE(script.Finished());
    }

    // The about box: the title in dark grey, nothing darker.
    {
        AboutDialog about(2140u);
        DialogScript script;
        script.Then(Pause(200));
        script.In(1121, [&](HWND dialog) {
            Redraw(dialog);
            Image image;
            ASSERT_TRUE(Capture(dialog, L"zel_prefs_about" + suffix, image));
            wchar_t build[32] = L"";
            GetDlgItemTextW(dialog, 1121, build, 32);
            EXPECT_STREQ(build, L"Build: 2140");
            RECT title = TestSupport::RectIn(GetDlgItem(dialog, 1122), dialog);
            EXPECT_GT(Count(image, title, [](uint32_t pixel) { return pixel == 0x414141; }), 20 * dpi / 96);
            EXPECT_EQ(Count(image, title, [](uint32_t pixel) {
                          return ((pixel >> 16) & 0xFF) < 0x41 && ((pixel >> 8) & 0xFF) < 0x41 && (pixel & 0xFF) < 0x41;
                      }),
                      0);
            LeftSoftKey(dialog);
        });
        script.Start();
        EXPECT_EQ(about.DoModal(AboutDialog::TemplateId, PreferencesModule(), window), IDOK);
        EXPECT_TRUE(script.Finished());
    }
    FileBrowserReset();
    SetDeviceRootFolder(nullptr);
}

}  // namespace

TEST(PreferencesScreenshot, PagesAndDialogsAt96Dpi)
{
    ZEL_REQUIRE_DISPLAY();
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    ASSERT_EQ(dpi, 96);
    CheckThePictures(96);
}

TEST(PreferencesScreenshot, PagesAndDialogsAt192Dpi)
{
    ZEL_REQUIRE_DISPLAY();
    ZEL_AT_SYSTEM_DENSITY(192);
    CheckThePictures(192);
}
