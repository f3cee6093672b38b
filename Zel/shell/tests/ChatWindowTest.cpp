// The chat window as a tabbed dialog, with the real core services, the test plug-in and the default
// skin: the strip draws each tab's contact icon and the typing picture while the contact types; taps
// and the strip's keys turn the tabs and a double tap closes one; the soft keys show the actions the
// settings chose and do them; a screen-size change lays the strip, pages and bar out again. Then
// the window on the screen at 96 and 192 dpi (a process started at that system density): incoming
// and outgoing lines, a selection and the composer grown to three lines, in the skin's colours.
#include "Zel/chat/ChatDlg.h"
#include "Zel/chat/ChatLogView.h"
#include "Zel/chat/SmileyDialog.h"
#include "Zel/chat/SmileyPack.h"
#include "Zel/chat/settings/MessageWindowSettings.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/skin/SkinImageSet.h"
#include "Zel/core/tests/plugins/FakeAccountPlugin.h"
#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/menu/PopupMenuWnd.h"
#include "Zel/shell/skin/ColorScheme.h"
#include "Zel/shell/tests/AppTestSupport.h"
#include "ZELCommon/ZELCommonResources.h"
#include "ZELCommon/ZELWMUI_HiDpi.h"
#include "ZELCommon/tests/WindowScreenshot.h"
#include "Handheld/Device.h"
#include "Handheld/ShellUi.h"
#include "Handheld/tests/SystemDensity.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

using namespace AppTest;

namespace {

const int kTypingPicture = 49;

// One run of the application with an account of the test plug-in and contacts to chat with.
struct ChatRun {
    explicit ChatRun(const wchar_t* name) : folder(name), fake(L"Accounts", L"FakeA"), run(folder) {}

    bool Start()
    {
        if (!run.started || !fake.Loaded()) return false;
        account = run.NewAccount(L"alice");
        return account != 0;
    }
    bool GoOnline()
    {
        ProtocolsManagerService->SetStatus(account, AccountStatus::Online);
        return PumpUntil([&] {
            int status = -1;
            return ProtocolsManagerService->GetStatus(account, &status) == 0 && status == AccountStatus::Online;
        });
    }
    CChatDlg* Chat() { return run.App().ChatWindow(); }
    HWND Window() { return Chat()->GetWindow(); }

    AppFolder folder;
    AccountTest::FakePlugin fake;
    AppRun run;
    unsigned account = 0;
};

void Repaint(HWND window)
{
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpFor(150);
}

// A skin picture drawn alone over a background, as a window would show it there.
TestSupport::Image PictureOn(int picture, int size, COLORREF background)
{
    TestSupport::Image image;
    CSkinImageSet* images = GuiImages();
    if (!images || size <= 0) return image;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    if (!bitmap || !bits) {
        DeleteDC(dc);
        return image;
    }
    HGDIOBJ old = SelectObject(dc, bitmap);
    HBRUSH brush = CreateSolidBrush(background);
    RECT all = {0, 0, size, size};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    images->Draw(picture, dc, POINT{0, 0}, 255);
    GdiFlush();
    image.width = image.height = size;
    const uint32_t* pixels = static_cast<const uint32_t*>(bits);
    image.pixels.assign(pixels, pixels + size_t(size) * size);
    for (uint32_t& pixel : image.pixels) pixel &= 0xFFFFFF;
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return image;
}

// How many of a picture's opaque pixels there are, and how many of them the screen shows at `at`.
struct PictureMatch {
    int opaque = 0;
    int shown = 0;
    bool Shown() const { return opaque >= 8 && shown * 10 >= opaque * 9; }
};

// A picture drawn over black and over white: the pixels that agree are its opaque ones.
struct Reference {
    Reference(int picture, int size)
        : size(size), onBlack(PictureOn(picture, size, RGB(0, 0, 0))), onWhite(PictureOn(picture, size, RGB(255, 255, 255)))
    {
    }
    int size;
    TestSupport::Image onBlack, onWhite;
};

PictureMatch MatchPicture(const TestSupport::Image& screen, POINT at, const Reference& reference)
{
    PictureMatch match;
    if (reference.onBlack.pixels.empty() || reference.onWhite.pixels.empty()) return match;
    for (int y = 0; y < reference.size; ++y)
        for (int x = 0; x < reference.size; ++x) {
            const uint32_t pixel = reference.onBlack.At(x, y);
            if (pixel != reference.onWhite.At(x, y)) continue;
            ++match.opaque;
            const int sx = at.x + x, sy = at.y + y;
            if (sx >= 0 && sy >= 0 && sx < screen.width && sy < screen.height && screen.At(sx, sy) == pixel)
                ++match.shown;
        }
    return match;
}

PictureMatch MatchPicture(const TestSupport::Image& screen, POINT at, int picture, int size)
{
    return MatchPicture(screen, at, Reference(picture, size));
}

// Where the strip draws the icons of tab `index` (the strip not scrolled).
POINT TabIconPoint(CChatDlg* chat, int index)
{
    const RECT& strip = chat->GetStripRect();
    std::vector<int> widths = chat->GetTabWidths();
    int x = strip.left;
    for (int i = chat->GetFirstVisible(); i < index; ++i) x += widths[size_t(i)];
    const int dpiX = g_HIDPI_LogPixelsX, dpiY = g_HIDPI_LogPixelsY;
    return POINT{x + (dpiX + 12) * 4 / 96, (strip.top + strip.bottom - (dpiY + 3) * 16 / 96) / 2};
}

POINT TabCentre(CChatDlg* chat, int index)
{
    const RECT& strip = chat->GetStripRect();
    std::vector<int> widths = chat->GetTabWidths();
    int x = strip.left;
    for (int i = chat->GetFirstVisible(); i < index; ++i) x += widths[size_t(i)];
    return POINT{x + widths[size_t(index)] / 2, (strip.top + strip.bottom) / 2};
}

void Tap(HWND window, POINT at)
{
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
}

std::wstring SoftKeyCaption(HWND bar, UI::CZELWMUI_BigDlg::TSoftKey key)
{
    const int id = UI::CZELWMUI_BigDlg::GetSoftKeyId(bar, key);
    wchar_t text[64] = L"";
    TBBUTTONINFOW info = {};
    info.cbSize = sizeof(info);
    info.dwMask = TBIF_TEXT;
    info.pszText = text;
    info.cchText = 64;
    SendMessageW(bar, TB_GETBUTTONINFOW, WPARAM(id), reinterpret_cast<LPARAM>(&info));
    return text;
}

std::wstring Text(const CZELString& text)
{
    return text.IsEmpty() ? std::wstring() : std::wstring(text.GetBuffer());
}

// Once a dialog over the chat window has the focus, Enter there (the smiley dialog takes its
// current smiley).
HWND g_chatWindow = nullptr;
void CALLBACK EnterInTheDialog(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND focus = GetFocus();
    if (!focus || GetAncestor(focus, GA_ROOT) == g_chatWindow) return;
    KillTimer(nullptr, timer);
    SendMessageW(focus, WM_KEYDOWN, VK_RETURN, 0);
}

// The only page window shown is the current tab's.
int ShownPanes(CChatDlg* chat)
{
    int shown = 0;
    for (int i = 0; i < chat->GetPageCount(); ++i) shown += IsWindowVisible(*chat->PageAt(i)->window) ? 1 : 0;
    return shown;
}

}  // namespace

TEST(ChatWindow, TheStripDrawsEachTabsIconAndTheTypingPictureWhileTheContactTypes)
{
    ZEL_REQUIRE_DISPLAY();
    ChatRun chat(L"ChatWindowStripTest");
    ASSERT_TRUE(chat.Start());
    const int bob = chat.run.NewContact(chat.account, L"bob", L"Bob");
    const int carol = chat.run.NewContact(chat.account, L"carol", L"Carol");
    chat.run.App().OpenChat(bob);
    chat.run.App().OpenChat(carol);
    CChatDlg* window = chat.Chat();
    ASSERT_EQ(window->GetPageCount(), 2);
    ASSERT_EQ(window->GetCurrentPageId(), carol);
    ASSERT_TRUE(window->IsVisible());
    const int icon = (g_HIDPI_LogPixelsX + 3) * 16 / 96;

    // Each tab shows the picture its contact's account gave it.
    auto strip = [&] {
        Repaint(chat.Window());
        TestSupport::Image image;
        EXPECT_TRUE(TestSupport::CaptureWindow(chat.Window(), false, &image));
        return image;
    };
    TestSupport::Image image = strip();
    TestSupport::SaveScreenshot(chat.Window(), false, L"ChatWindowStrip.png");
    for (int index : {0, 1}) {
        SCOPED_TRACE(index);
        const TabPage* page = window->PageAt(index);
        ASSERT_EQ(page->icons.GetCount(), 1);
        PictureMatch match = MatchPicture(image, TabIconPoint(window, index), page->icons[0], icon);
        EXPECT_TRUE(match.Shown()) << match.shown << " of " << match.opaque;
        EXPECT_FALSE(MatchPicture(image, TabIconPoint(window, index), kTypingPicture, icon).Shown());
    }

    // Bob types: his tab (behind Carol's) shows the typing picture until he stops.
    const int bobIcon = window->FindPage(bob)->icons[0];
    ASSERT_EQ(chat.fake.notify(chat.account, FAKE_TYPING, bob, nullptr, 0), 1);
    ASSERT_TRUE(PumpUntil([&] { return window->FindPage(bob)->icons[0] == kTypingPicture; }));
    image = strip();
    TestSupport::SaveScreenshot(chat.Window(), false, L"ChatWindowStripTyping.png");
    const int bobIndex = window->IndexOfPage(bob);
    PictureMatch typing = MatchPicture(image, TabIconPoint(window, bobIndex), kTypingPicture, icon);
    EXPECT_TRUE(typing.Shown()) << typing.shown << " of " << typing.opaque;
    EXPECT_FALSE(MatchPicture(image, TabIconPoint(window, 1 - bobIndex), kTypingPicture, icon).Shown());
    EXPECT_EQ(window->GetAlertedCount(), 0);

    ASSERT_EQ(chat.fake.notify(chat.account, FAKE_TYPING, bob, nullptr, 1), 1);
    ASSERT_TRUE(PumpUntil([&] { return window->FindPage(bob)->icons[0] == bobIcon; }));
    image = strip();
    EXPECT_FALSE(MatchPicture(image, TabIconPoint(window, bobIndex), kTypingPicture, icon).Shown());
    EXPECT_TRUE(MatchPicture(image, TabIconPoint(window, bobIndex), bobIcon, icon).Shown());

    // A message for Bob's tab behind Carol's alerts it with the message's picture, and the blink
    // timer runs until the user turns to the tab.
    ASSERT_EQ(chat.fake.notify(chat.account, FAKE_INCOMING_MESSAGE, bob, L"still there?", 3), 1);
    ASSERT_TRUE(PumpUntil([&] { return window->FindPage(bob)->alert != -1; }));
    const CZELArray<ChatLogEntry>& bobLines = window->FindTab(bob)->entries;
    EXPECT_EQ(window->FindPage(bob)->alert, bobLines[bobLines.GetCount() - 1].kind);
    EXPECT_TRUE(window->IsAlertTimerRunning());
    Tap(chat.Window(), TabCentre(window, bobIndex));
    EXPECT_EQ(window->GetCurrentPageId(), bob);
    EXPECT_EQ(window->FindPage(bob)->alert, -1);
    EXPECT_FALSE(window->IsAlertTimerRunning());
}

TEST(ChatWindow, TapsAndTheStripKeysTurnTheTabsAndADoubleTapClosesOne)
{
    ZEL_REQUIRE_DISPLAY();
    ChatRun chat(L"ChatWindowTabsTest");
    ASSERT_TRUE(chat.Start());
    std::vector<int> contacts;
    for (const wchar_t* name : {L"Bob", L"Carol", L"Dave"}) {
        contacts.push_back(chat.run.NewContact(chat.account, name, name));
        chat.run.App().OpenChat(contacts.back());
    }
    CChatDlg* window = chat.Chat();
    HWND hwnd = chat.Window();
    ASSERT_EQ(window->GetCurrentPageId(), contacts[2]);
    Repaint(hwnd);
    ASSERT_EQ(ShownPanes(window), 1);

    // A tap on another tab turns to it and puts the focus into its composer.
    Tap(hwnd, TabCentre(window, 0));
    EXPECT_EQ(window->GetCurrentPageId(), contacts[0]);
    EXPECT_EQ(ShownPanes(window), 1);
    EXPECT_TRUE(IsWindowVisible(*window->FindTab(contacts[0])));
    EXPECT_EQ(GetFocus(), window->FindTab(contacts[0])->composer);
    PumpFor(600);  // the next tap is not a double tap

    // The strip's keys: Left before the first tab wraps to the last, Right after the last to the first.
    struct {
        int key;
        int current;
    } keys[] = {{VK_LEFT, 2}, {VK_LEFT, 1}, {VK_RIGHT, 2}, {VK_RIGHT, 0}, {VK_RIGHT, 1}};
    HWND button = window->GetKeyButton();
    SetFocus(button);
    ASSERT_EQ(GetFocus(), button);
    for (const auto& step : keys) {
        SendMessageW(button, WM_KEYDOWN, WPARAM(step.key), 0);
        EXPECT_EQ(window->GetCurrentPageId(), contacts[size_t(step.current)]) << step.key;
        EXPECT_EQ(ShownPanes(window), 1);
    }
    // A character typed on the strip goes to the current tab's composer.
    SetFocus(button);
    SendMessageW(button, WM_CHAR, L'x', 0);
    wchar_t typed[16] = L"";
    GetWindowTextW(window->FindTab(contacts[1])->composer, typed, 16);
    EXPECT_STREQ(typed, L"x");

    // Two taps on the current tab in quick succession close it; its neighbour takes its place.
    const POINT at = TabCentre(window, 1);
    Tap(hwnd, at);
    Tap(hwnd, at);
    EXPECT_FALSE(window->HasTab(contacts[1]));
    EXPECT_EQ(window->GetPageCount(), 2);
    EXPECT_EQ(window->GetCurrentPageId(), contacts[2]);
    EXPECT_EQ(window->GetPressedTab(), -1);
}

TEST(ChatWindow, TheSoftKeysShowTheChosenActionsAndDoThem)
{
    ZEL_REQUIRE_DISPLAY();
    ChatRun chat(L"ChatWindowSoftKeysTest");
    ASSERT_TRUE(chat.Start());
    ASSERT_TRUE(chat.GoOnline());
    const int bob = chat.run.NewContact(chat.account, L"bob", L"Bob");
    const int carol = chat.run.NewContact(chat.account, L"carol", L"Carol");
    chat.run.App().OpenChat(bob);
    chat.run.App().OpenChat(carol);
    CChatDlg* window = chat.Chat();
    HWND hwnd = chat.Window();
    HWND bar = window->Menu();
    ASSERT_NE(bar, nullptr);
    MessageWindowSettings* settings = window->GetSettings();

    // The default keys: "Minimize" on the left, "Menu" on the right.
    EXPECT_EQ(SoftKeyCaption(bar, UI::CZELWMUI_BigDlg::SoftKeyLeft), Text(GuiText(251)));
    EXPECT_EQ(SoftKeyCaption(bar, UI::CZELWMUI_BigDlg::SoftKeyRight), Text(GuiText(246)));

    // Each action's caption, on either key, once the settings' page is saved; an unknown action
    // leaves the key without a caption.
    const int texts[] = {127, 128, 246, 251, 137, 248};
    for (int action = 0; action <= 6; ++action) {
        SCOPED_TRACE(action);
        settings->leftSoftKey = action;
        settings->rightSoftKey = 5 - action % 6;
        window->OnSettingsPageChanged(MWControlsPageIndex);
        EXPECT_EQ(SoftKeyCaption(bar, UI::CZELWMUI_BigDlg::SoftKeyLeft), action < 6 ? Text(GuiText(texts[action])) : L"");
        EXPECT_EQ(SoftKeyCaption(bar, UI::CZELWMUI_BigDlg::SoftKeyRight), Text(GuiText(texts[5 - action % 6])));
    }

    // A new interface language: the keys' captions are written again, and the replies become the
    // default three in that language.
    settings->leftSoftKey = SoftKeyCloseTab;
    settings->rightSoftKey = SoftKeySend;
    settings->replies = CZELArray<CZELString>();
    settings->replies.Add(CZELString(L"my own"));
    window->OnOptionChanged(OPT_LANGUAGE);
    EXPECT_EQ(SoftKeyCaption(bar, UI::CZELWMUI_BigDlg::SoftKeyLeft), Text(GuiText(137)));
    EXPECT_EQ(SoftKeyCaption(bar, UI::CZELWMUI_BigDlg::SoftKeyRight), Text(GuiText(127)));
    ASSERT_EQ(settings->replies.GetCount(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Text(settings->replies[i]), Text(GuiText(163 + i)));

    auto press = [&](int action, bool right) {
        (right ? settings->rightSoftKey : settings->leftSoftKey) = action;
        SendMessageW(hwnd, WM_COMMAND, right ? ID_ZELCOMMON_SOFTKEY_RIGHT : ID_ZELCOMMON_SOFTKEY_LEFT, 0);
    };

    // Send: the composer's text goes to the plug-in and the composer empties.
    HWND composer = window->FindTab(carol)->composer;
    SetWindowTextW(composer, L"by the key");
    press(SoftKeySend, false);
    ASSERT_TRUE(PumpUntil([&] { return chat.fake.Count(chat.account, PM_SEND_MESSAGE) == 1; }));
    EXPECT_EQ(GetWindowTextLengthW(composer), 0);

    // Smilies: the smiley dialog, and its choice goes into the composer as the smiley's code.
    ASSERT_TRUE(PumpUntil([] { return SmileyPackInUse().IsLoaded(); }));
    g_chatWindow = hwnd;
    UINT_PTR timer = SetTimer(nullptr, 0, 50, EnterInTheDialog);
    press(SoftKeySmilies, true);
    KillTimer(nullptr, timer);
    wchar_t code[32] = L"";
    GetWindowTextW(composer, code, 32);
    EXPECT_EQ(std::wstring(code), Text(SmileyPackInUse().GetCode(LastChosenSmiley)));
    ASSERT_FALSE(window->Bar()->Strip()->Smilies().empty());
    EXPECT_EQ(window->Bar()->Strip()->Smilies().front(), LastChosenSmiley);
    SetWindowTextW(composer, L"");

    // Menu: the chat menu at the key's corner, "Close tab" and "Close" at its end.
    struct Capture {
        std::vector<int> ids;
        POINT anchor;
        RECT area;
    } capture{};
    SetPopupMenuRunner(
        [](void* context, const CPopupMenu& menu, const RECT& area, const POINT& anchor, int) {
            Capture* c = static_cast<Capture*>(context);
            for (int i = 0; i < menu.GetCount(); ++i) c->ids.push_back(menu.items[i].commandId);
            c->anchor = anchor;
            c->area = area;
            return PopupMenuResult{nullptr, -1, 0};
        },
        &capture);
    for (bool right : {false, true}) {
        SCOPED_TRACE(right);
        capture = Capture{};
        press(SoftKeyMenu, right);
        ASSERT_GE(capture.ids.size(), 3u);
        EXPECT_EQ(capture.ids.back(), 18);
        EXPECT_EQ(capture.ids[capture.ids.size() - 3], 16);
        RECT r = {};
        GetWindowRect(hwnd, &r);
        EXPECT_EQ(capture.anchor.x, right ? r.right : r.left);
        EXPECT_EQ(capture.anchor.y, r.bottom);
    }
    SetPopupMenuRunner(nullptr, nullptr);

    // Close tab: the current tab goes, the other becomes current.
    press(SoftKeyCloseTab, true);
    EXPECT_FALSE(window->HasTab(carol));
    EXPECT_EQ(window->GetCurrentPageId(), bob);
    EXPECT_TRUE(window->IsVisible());

    // Minimize: hidden, the tab kept; shown again it is there.
    press(SoftKeyMinimize, false);
    EXPECT_FALSE(window->IsVisible());
    EXPECT_TRUE(window->HasTab(bob));
    window->Show(true);
    EXPECT_TRUE(window->IsVisible());

    // Close: hidden and every tab gone, so showing needs a tab first.
    press(SoftKeyClose, true);
    EXPECT_FALSE(window->IsVisible());
    EXPECT_EQ(window->GetPageCount(), 0);
    window->Show(true);
    EXPECT_FALSE(window->IsVisible());

    // An action the settings do not know does nothing.
    chat.run.App().OpenChat(bob);
    press(6, false);
    EXPECT_TRUE(window->IsVisible());
    EXPECT_TRUE(window->HasTab(bob));
}

TEST(ChatWindow, AScreenSizeChangeLaysTheStripThePagesAndTheBarOutAgain)
{
    ZEL_REQUIRE_DISPLAY();
    ChatRun chat(L"ChatWindowScreenSizeTest");
    ASSERT_TRUE(chat.Start());
    const int bob = chat.run.NewContact(chat.account, L"bob", L"Bob");
    chat.run.App().OpenChat(bob);
    CChatDlg* window = chat.Chat();
    HWND hwnd = chat.Window();
    ASSERT_NE(window->Bar(), nullptr);
    const int band = (g_HIDPI_LogPixelsY * 25 + 48) / 96;
    ASSERT_EQ(window->GetBottomBarHeight(), band);

    auto laidOut = [&] {
        RECT client = {};
        GetClientRect(hwnd, &client);
        HWND keys = window->Menu();
        if (keys && IsWindowVisible(keys)) {
            RECT r = {};
            GetWindowRect(keys, &r);
            client.bottom -= r.bottom - r.top;
        }
        const RECT& strip = window->GetStripRect();
        EXPECT_EQ(strip.left, client.left);
        EXPECT_EQ(strip.right, client.right);
        EXPECT_EQ(strip.bottom, client.bottom - band);
        RECT bar = TestSupport::RectIn(*window->Bar(), hwnd);
        EXPECT_EQ(bar.top, strip.bottom);
        EXPECT_EQ(bar.bottom, client.bottom);
        EXPECT_EQ(bar.right - bar.left, client.right - client.left);
        RECT pane = TestSupport::RectIn(*window->FindTab(bob), hwnd);
        const RECT& area = window->GetPageArea();
        EXPECT_EQ(pane.left, area.left);
        EXPECT_EQ(pane.top, area.top);
        EXPECT_EQ(pane.right, area.right);
        EXPECT_EQ(pane.bottom, area.bottom);
        EXPECT_LT(area.bottom, strip.top);
        // The composer stands at the bottom of the page, the log above it.
        RECT composer = TestSupport::RectIn(window->FindTab(bob)->composer, *window->FindTab(bob));
        RECT page = {};
        GetClientRect(*window->FindTab(bob), &page);
        EXPECT_EQ(composer.bottom, page.bottom);
    };
    laidOut();

    // The input panel takes part of the screen: the main window gives up its lower part, and the
    // chat window, told of the change, follows it and lays itself out again.
    auto ownerArea = [&] {
        RECT area = {};
        GetClientRect(chat.run.Window(), &area);
        MapWindowPoints(chat.run.Window(), nullptr, reinterpret_cast<POINT*>(&area), 2);
        return area;
    };
    const RECT stripBefore = window->GetStripRect();
    RECT main = {};
    GetWindowRect(chat.run.Window(), &main);
    SetWindowPos(chat.run.Window(), nullptr, 0, 0, main.right - main.left, main.bottom - main.top - 60,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(hwnd, WM_SETTINGCHANGE, SPI_SETSIPINFO, 0);
    RECT placed = {};
    GetWindowRect(hwnd, &placed);
    RECT area = ownerArea();
    EXPECT_EQ(placed.top, area.top);
    EXPECT_EQ(placed.bottom, area.bottom);
    EXPECT_EQ(window->GetStripRect().bottom, stripBefore.bottom - 60);
    {
        SCOPED_TRACE("smaller");
        laidOut();
    }

    // In full-screen mode the window also goes to the screen's corner, its right and bottom edges
    // where they were.
    chat.run.App().Settings().fullScreen = 1;
    SetWindowPos(chat.run.Window(), nullptr, 10, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(hwnd, WM_SETTINGCHANGE, SPI_SETSIPINFO, 0);
    GetWindowRect(hwnd, &placed);
    area = ownerArea();
    EXPECT_EQ(placed.left, 0);
    EXPECT_EQ(placed.top, 0);
    EXPECT_EQ(placed.right, area.right);
    EXPECT_EQ(placed.bottom, area.bottom);
    {
        SCOPED_TRACE("full screen");
        laidOut();
    }
    chat.run.App().Settings().fullScreen = 0;
}

namespace {

// The default skin's colour scheme as its file gives it: the first 33 values in file order.
std::vector<COLORREF> SkinFileColours()
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring bin(path, length);
    std::wstring file = bin.substr(0, bin.rfind(L'\\') + 1) + L"Skins\\ZEL PDA skin\\_colors.ini";
    std::ifstream in(std::string(file.begin(), file.end()));
    std::vector<COLORREF> colours;
    std::string line;
    while (std::getline(in, line) && colours.size() < 33) {
        size_t equals = line.find('=');
        if (line.empty() || line[0] == '[' || equals == std::string::npos) continue;
        colours.push_back(COLORREF(std::stoul(line.substr(equals + 1), nullptr, 16)));
    }
    return colours;
}

int CountColour(const TestSupport::Image& image, const RECT& area, COLORREF colour)
{
    int n = 0;
    for (int y = std::max(0L, area.top); y < std::min(long(image.height), area.bottom); ++y)
        for (int x = std::max(0L, area.left); x < std::min(long(image.width), area.right); ++x)
            n += image.At(x, y) == TestSupport::Rgb(colour);
    return n;
}

// Bands of rows of the area that hold dark pixels (text in a dark colour, smoothed edges included);
// rows closer than `gap` empty rows belong to one band.
int DarkBands(const TestSupport::Image& image, const RECT& area, int gap)
{
    int bands = 0;
    int empty = gap;
    for (int y = std::max(0L, area.top); y < std::min(long(image.height), area.bottom); ++y) {
        bool inked = false;
        for (int x = std::max(0L, area.left); x < std::min(long(image.width), area.right) && !inked; ++x) {
            const uint32_t pixel = image.At(x, y);
            inked = ((pixel >> 16) & 0xFF) < 0x80 && ((pixel >> 8) & 0xFF) < 0x80 && (pixel & 0xFF) < 0x80;
        }
        if (inked) {
            if (empty >= gap) ++bands;
            empty = 0;
        } else {
            ++empty;
        }
    }
    return bands;
}

// The chat window at the density the process started with.
void ChatWindowOnTheScreen(int dpi)
{
    EXPECT_EQ(GetScreenLogPixels(LOGPIXELSY), dpi);
    ChatRun chat(dpi == 96 ? L"ChatWindowScreen96Test" : L"ChatWindowScreen192Test");
    ASSERT_TRUE(chat.Start());
    // The program reads the system's density at its start.
    ASSERT_EQ(g_HIDPI_LogPixelsX, dpi);
    ASSERT_EQ(g_HIDPI_LogPixelsY, dpi);
    ASSERT_TRUE(chat.GoOnline());

    // The scheme in use is the skin's own, colours 12 to 18 included.
    std::vector<COLORREF> file = SkinFileColours();
    ASSERT_EQ(file.size(), 33u);
    for (int colour = 12; colour <= 18; ++colour) EXPECT_EQ(GetSchemeColor(colour), file[size_t(colour)]) << colour;
    EXPECT_NE(file[12], file[13]);
    EXPECT_NE(file[14], file[15]);

    const int bob = chat.run.NewContact(chat.account, L"bob", L"Bob");
    chat.run.App().OpenChat(bob);
    CChatDlg* window = chat.Chat();
    HWND hwnd = chat.Window();
    const CChatDlg::Tab* tab = window->FindTab(bob);
    ASSERT_NE(tab, nullptr);
    CChatLogView* log = tab->log;
    ASSERT_NE(log, nullptr);

    // An incoming line from the plug-in, and an outgoing one typed and sent with Enter.
    ASSERT_EQ(chat.fake.notify(chat.account, FAKE_INCOMING_MESSAGE, bob, L"incoming words here", 1), 1);
    ASSERT_TRUE(PumpUntil([&] { return log->GetParagraphCount() == 1; }));
    for (wchar_t c : std::wstring(L"outgoing words there")) SendMessageW(tab->composer, WM_CHAR, c, 0);
    SendMessageW(tab->composer, WM_CHAR, L'\r', 0);
    ASSERT_TRUE(PumpUntil([&] { return log->GetParagraphCount() == 2; }));
    Repaint(hwnd);

    const int icon = (dpi + 3) * 16 / 96;
    auto capture = [&](const wchar_t* name) {
        Repaint(hwnd);
        TestSupport::SaveScreenshot(hwnd, false, name);
        TestSupport::Image image;
        EXPECT_TRUE(TestSupport::CaptureWindow(*log, false, &image));
        return image;
    };
    std::wstring prefix = L"ChatWindow" + std::to_wstring(dpi);
    TestSupport::Image image = capture((prefix + L"Lines.png").c_str());
    // The lines' rows, told by their names' colours: the incoming line from its name (colour 12)
    // down to the outgoing name (colour 13), the outgoing line from there on.
    RECT first = {0, -1, image.width, -1}, second = {0, -1, image.width, image.height};
    for (int y = 0; y < image.height; ++y) {
        RECT row = {0, y, image.width, y + 1};
        if (first.top < 0 && CountColour(image, row, file[12])) first.top = y;
        if (second.top < 0 && CountColour(image, row, file[13])) second.top = first.bottom = y;
    }
    ASSERT_GT(first.bottom, first.top);
    ASSERT_GT(second.bottom, second.top);
    EXPECT_LE(first.bottom, second.top);
    EXPECT_GT(CountColour(image, first, file[12]), 5) << "incoming name";
    EXPECT_GT(CountColour(image, first, file[14]), 5) << "incoming text";
    EXPECT_GT(CountColour(image, second, file[13]), 5) << "outgoing name";
    EXPECT_GT(CountColour(image, second, file[15]), 5) << "outgoing text";
    EXPECT_EQ(CountColour(image, first, file[13]), 0);
    EXPECT_EQ(CountColour(image, second, file[12]), 0);
    // The incoming line's picture stands at its start, at the density's icon size.
    bool pictured = false;
    const Reference incoming(tab->entries[0].kind, icon);
    for (int y = std::max(0L, first.top - icon); y < first.bottom && !pictured; ++y)
        for (int x = 0; x < icon * 2 && !pictured; ++x)
            pictured = MatchPicture(image, POINT{x, y}, incoming).Shown();
    EXPECT_TRUE(pictured) << "incoming picture";
    // Text grows with the density.
    EXPECT_GE(first.bottom - first.top, icon / 2);

    // A selection over the first line: background 17, text 18.
    log->MoveCaret(CARET_DOC_START, false);
    log->MoveCaret(CARET_PARA_END, true);
    image = capture((prefix + L"Selection.png").c_str());
    EXPECT_GT(CountColour(image, first, file[17]), icon * icon) << "selection background";
    EXPECT_GT(CountColour(image, first, file[18]), 5) << "selected text";
    EXPECT_EQ(CountColour(image, second, file[17]), 0);

    // The composer grown to three lines: as high as three lines, and three lines of text in it.
    window->GetSettings()->sendOnEnter = 0;
    log->MoveCaret(CARET_DOC_START, false);
    SetFocus(tab->composer);
    for (const wchar_t* line : {L"one", L"\rtwo", L"\rthree"})
        for (const wchar_t* c = line; *c; ++c) SendMessageW(tab->composer, WM_CHAR, *c, 0);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(tab->composer, WM_GETFONT, 0, 0));
    HDC dc = GetDC(tab->composer);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(tab->composer, dc);
    const int lineHeight = metrics.tmHeight + metrics.tmExternalLeading;
    RECT composer = TestSupport::RectIn(tab->composer, hwnd);
    EXPECT_GE(composer.bottom - composer.top, 3 * lineHeight);
    EXPECT_LT(composer.bottom - composer.top, 4 * lineHeight);
    RECT logRect = TestSupport::RectIn(*log, hwnd);
    EXPECT_LE(logRect.bottom, composer.top + UI::HIDPI_ScaleY(1));
    Repaint(hwnd);
    TestSupport::SaveScreenshot(hwnd, false, (prefix + L"Composer.png").c_str());
    TestSupport::Image whole;
    ASSERT_TRUE(TestSupport::CaptureWindow(hwnd, false, &whole));
    RECT inside = composer;
    InflateRect(&inside, -2, -2);
    // The composer's text colour, scheme colour 21 (dark in this skin), in three lines.
    ASSERT_LT(GetRValue(GetSchemeColor(21)) + GetGValue(GetSchemeColor(21)) + GetBValue(GetSchemeColor(21)), 3 * 0x80);
    EXPECT_GT(CountColour(whole, inside, GetSchemeColor(21)), 10);
    EXPECT_EQ(DarkBands(whole, inside, 2), 3);
}

}  // namespace

TEST(ChatWindowScreen, LinesSelectionAndComposerAt96Dpi)
{
    ZEL_REQUIRE_DISPLAY();
    ZEL_AT_SYSTEM_DENSITY(96);
    ChatWindowOnTheScreen(96);
}

TEST(ChatWindowScreen, LinesSelectionAndComposerAt192Dpi)
{
    ZEL_REQUIRE_DISPLAY();
    ZEL_AT_SYSTEM_DENSITY(192);
    ChatWindowOnTheScreen(192);
}
