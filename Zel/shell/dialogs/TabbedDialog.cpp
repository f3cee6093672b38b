#include "Zel/shell/dialogs/TabbedDialog.h"

#include "Zel/core/skin/SkinImageSet.h"
#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/dialogs/TabStripLayout.h"
#include "Zel/shell/skin/ColorScheme.h"
#include "ZELCommon/ZELCriticalSection.h"
#include "ZELCommon/ZELWMUI_Gdi.h"
#include "ZELCommon/ZELWMUI_HiDpi.h"
#include "ZELCommon/ZELWMUI_TabPan.h"

#include <cstdlib>

namespace {

// The button class's own procedure, saved once for every key button.
WNDPROC g_buttonProcedure = nullptr;

const int kRightArrowImage = 47;
const int kLeftArrowImage = 48;

// The font the dialog was given, selected for measuring and painting the captions.
HFONT DialogFont(HWND dialog)
{
    return reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
}

int TextExtent(HDC dc, const CZELString& text)
{
    if (text.IsEmpty()) return 0;
    SIZE size = {};
    GetTextExtentExPointW(dc, text.GetBuffer(), int(text.GetLength()), 0, nullptr, nullptr, &size);
    return size.cx;
}

}  // namespace

void RedrawWindowNow(UI::CZELWMUI_WndBase* window)
{
    if (window) window->Redraw(UI::PaintFull);
}

CTabbedDialog::CTabbedDialog()
    : pageArea(),
      strip(),
      current(-1),
      firstVisible(0),
      overflow(false),
      scrolled(false),
      alertedCount(0),
      alertTimer(false),
      keyButton(nullptr),
      stripFocus(1),
      pressedTab(-1),
      pressX(0),
      pressTick(0),
      releaseAfterDoubleTap(false)
{
}

CTabbedDialog::~CTabbedDialog()
{
    if (alertedCount != 0) StopAlertTimer();
    for (TabPage* page : pages) {
        delete page->window;
        delete page;
    }
    pages.clear();
    if (keyButton && IsWindow(keyButton)) DestroyWindow(keyButton);
}

void CTabbedDialog::OnInitDialog()
{
    CZELWMUI_BigDlg::OnInitDialog();
    // The strip is painted over the whole client: the page windows keep their own pixels.
    SetWindowLongPtrW(hwnd, GWL_STYLE, GetWindowLongPtrW(hwnd, GWL_STYLE) | WS_CLIPCHILDREN);
    keyButton = CreateWindowExW(0, L"BUTTON", L"FB", 0x50814000, 0, 0, 50, 20, hwnd, nullptr,
                                reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd, GWLP_HINSTANCE)), nullptr);
    if (keyButton) {
        // It only holds the focus for the strip: under the pages, and clipped by them.
        SetWindowLongPtrW(keyButton, GWL_STYLE, GetWindowLongPtrW(keyButton, GWL_STYLE) | WS_CLIPSIBLINGS);
        SetWindowPos(keyButton, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        WNDPROC previous = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(keyButton, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&KeyForwardButtonProc)));
        if (!g_buttonProcedure) g_buttonProcedure = previous;
    }
    Layout();
}

LRESULT CALLBACK CTabbedDialog::KeyForwardButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND parent = GetParent(button);
    switch (message) {
    case WM_GETDLGCODE: return DLGC_WANTALLKEYS;
    case WM_KEYDOWN: {
        // The dialog's own answer: the dialog procedure cannot return a non-zero result.
        UI::CZELWMUI_Dlg* object =
            parent ? reinterpret_cast<UI::CZELWMUI_Dlg*>(GetWindowLongPtrW(parent, DWLP_USER)) : nullptr;
        CTabbedDialog* dialog = dynamic_cast<CTabbedDialog*>(object);
        if (dialog && dialog->OnMessage(WM_STRIP_KEY, wParam, lParam) == 0) return 0;
        break;
    }
    case WM_CHAR:
        if (parent) return SendMessageW(parent, WM_CHAR, wParam, lParam);
        break;
    default: break;
    }
    return g_buttonProcedure ? CallWindowProcW(g_buttonProcedure, button, message, wParam, lParam)
                             : DefWindowProcW(button, message, wParam, lParam);
}

void CTabbedDialog::Layout()
{
    // The strip goes above the soft-key bar.
    RECT client = ClientAboveBar();
    HDC dc = GetDC(hwnd);
    UI::GdiSelection font(dc, DialogFont(hwnd));
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    ReleaseDC(hwnd, dc);
    TabStrip::Areas areas = TabStrip::Layout(client, metrics.tmHeight, GetBottomBarHeight(), g_HIDPI_LogPixelsY);
    pageArea = areas.pageArea;
    strip = areas.strip;
}

void CTabbedDialog::MeasureTab(TabPage& page)
{
    HDC dc = GetDC(hwnd);
    int extent;
    {
        UI::GdiSelection font(dc, DialogFont(hwnd));
        extent = TextExtent(dc, page.caption);
    }
    ReleaseDC(hwnd, dc);
    page.width = TabStrip::TabWidth(extent, page.icons.GetCount() > 0, g_HIDPI_LogPixelsX);
}

void CTabbedDialog::Relayout()
{
    Layout();
    for (TabPage* page : pages) {
        MeasureTab(*page);
        if (page->window)
            SetWindowPos(*page->window, nullptr, pageArea.left, pageArea.top, pageArea.right - pageArea.left,
                         pageArea.bottom - pageArea.top, 0);
    }
    Redraw(UI::PaintFull);
}

std::vector<int> CTabbedDialog::GetTabWidths() const
{
    std::vector<int> widths;
    for (const TabPage* page : pages) widths.push_back(page->width);
    return widths;
}

void CTabbedDialog::AddPage(int id, UI::CZELWMUI_WndBase* window, const CZELString& caption,
                            const CZELArray<int>& icons)
{
    TabPage* page = new TabPage{id, window, 0, icons, caption, -1};
    MeasureTab(*page);
    if (window && *window)
        SetWindowPos(*window, nullptr, pageArea.left, pageArea.top, pageArea.right - pageArea.left,
                     pageArea.bottom - pageArea.top, SWP_HIDEWINDOW);
    pages.push_back(page);
}

void CTabbedDialog::RemovePage(int id)
{
    int index = IndexOfPage(id);
    if (index < 0) return;
    ClearPageAlert(id);
    TabPage* page = pages[size_t(index)];
    pages.erase(pages.begin() + index);
    delete page->window;
    delete page;
    if (firstVisible > 0 && firstVisible >= int(pages.size())) firstVisible = int(pages.size()) - 1;

    if (index < current) {
        --current;
        SelectIndex(current);
    } else if (index == current) {
        current = -1;  // its window is gone: nothing to hide
        if (pages.empty()) {
            Show(0);
        } else {
            SelectIndex(index < int(pages.size()) ? index : int(pages.size()) - 1);
        }
    } else {
        Redraw(UI::PaintFull);
    }
}

void CTabbedDialog::RemoveAllPages()
{
    if (alertedCount > 0) StopAlertTimer();
    alertedCount = 0;
    for (TabPage* page : pages) {
        delete page->window;
        delete page;
    }
    pages.clear();
    current = -1;
    firstVisible = 0;
}

void CTabbedDialog::SelectPage(int id)
{
    int index = IndexOfPage(id);
    if (index >= 0) SelectIndex(index);
}

void CTabbedDialog::SelectIndex(int index)
{
    if (current >= 0 && current < int(pages.size()) && pages[size_t(current)]->window)
        pages[size_t(current)]->window->Show(0);
    current = index;
    TabPage* page = pages[size_t(index)];
    if (page->window) page->window->Show(1);
    ClearPageAlert(page->id);
    if (keyButton) SetFocus(keyButton);
    ScrollToCurrentTab();
    OnPageChanged();
    Redraw(UI::PaintFull);
}

void CTabbedDialog::SetPageCaption(int id, const CZELString& caption)
{
    TabPage* page = FindPage(id);
    if (!page) return;
    page->caption = caption;
    MeasureTab(*page);
    Redraw(UI::PaintFull);
}

void CTabbedDialog::SetPageIcons(int id, const CZELArray<int>& icons)
{
    TabPage* page = FindPage(id);
    if (!page) return;
    page->icons = icons;
    Redraw(UI::PaintFull);
}

void CTabbedDialog::StartAlertTimer()
{
    SetTimer(hwnd, AlertTimerId, AlertPeriodMs, nullptr);
    alertTimer = true;
}

void CTabbedDialog::StopAlertTimer()
{
    KillTimer(hwnd, AlertTimerId);
    alertTimer = false;
}

void CTabbedDialog::SetPageAlert(int id, int picture)
{
    TabPage* page = FindPage(id);
    if (!page || page->alert != -1) return;
    page->alert = picture;
    if (InterlockedCompareExchange(&alertedCount, 1, 0) == 0)
        StartAlertTimer();
    else
        CZELCriticalSection::InterlockedIncrement(&alertedCount);
}

void CTabbedDialog::ClearPageAlert(int id)
{
    TabPage* page = FindPage(id);
    if (!page || page->alert == -1) return;
    page->alert = -1;
    if (CZELCriticalSection::InterlockedDecrement(&alertedCount) == 0) StopAlertTimer();
}

TabPage* CTabbedDialog::FindPage(int id)
{
    int index = IndexOfPage(id);
    return index < 0 ? nullptr : pages[size_t(index)];
}

int CTabbedDialog::IndexOfPage(int id) const
{
    for (size_t i = 0; i < pages.size(); ++i)
        if (pages[i]->id == id) return int(i);
    return -1;
}

bool CTabbedDialog::HasPage(int id) const
{
    return IndexOfPage(id) >= 0;
}

int CTabbedDialog::PageIdOfWindow(const UI::CZELWMUI_WndBase* window) const
{
    for (const TabPage* page : pages)
        if (page->window == window) return page->id;
    return -1;
}

int CTabbedDialog::GetCurrentPageId() const
{
    if (current < 0 || current >= int(pages.size())) return -1;
    return pages[size_t(current)]->id;
}

void CTabbedDialog::FocusCurrentPage()
{
    if (current >= 0 && current < int(pages.size()) && pages[size_t(current)]->window)
        SetFocus(*pages[size_t(current)]->window);
    Redraw(UI::PaintFull);
}

void CTabbedDialog::ScrollToCurrentTab()
{
    firstVisible = TabStrip::ScrollToTab(GetTabWidths(), firstVisible, current, strip.right - strip.left);
}

void CTabbedDialog::ScrollTabsBy(int x)
{
    firstVisible = TabStrip::ScrollBy(GetTabWidths(), pressedTab, x, strip.left);
    Redraw(UI::PaintFull);
}

int CTabbedDialog::HitTestTab(const POINT& point) const
{
    return TabStrip::HitTest(GetTabWidths(), firstVisible, strip, overflow, scrolled, point, g_HIDPI_LogPixelsX);
}

int CTabbedDialog::DoDataExchange(int save)
{
    for (TabPage* page : pages) {
        UI::CZELWMUI_TabPan* pan = dynamic_cast<UI::CZELWMUI_TabPan*>(page->window);
        if (pan && !pan->DoDataExchange(save)) return 0;
    }
    return 1;
}

void CTabbedDialog::OnScreenSizeChanged()
{
    Relayout();
}

void CTabbedDialog::OnActivate(WORD state, int, HWND)
{
    if (state == WA_ACTIVE && GetCurrentPageId() != -1) ClearPageAlert(GetCurrentPageId());
}

void CTabbedDialog::OnTimer(UINT_PTR id, TIMERPROC procedure)
{
    // The blink phase comes from the clock while painting.
    if (id == AlertTimerId)
        Redraw(UI::PaintFull);
    else
        CZELWMUI_BigDlg::OnTimer(id, procedure);
}

void CTabbedDialog::OnCommand(WORD notifyCode, WORD id, HWND control)
{
    if (control && control == keyButton) {
        if (notifyCode == BN_SETFOCUS) {
            stripFocus = 1;
            ScrollToCurrentTab();
            Redraw(UI::PaintFull);
        } else if (notifyCode == BN_KILLFOCUS) {
            stripFocus = 0;
            Redraw(UI::PaintFull);
        }
    }
    CZELWMUI_BigDlg::OnCommand(notifyCode, id, control);
}

LRESULT CTabbedDialog::OnStripKey(int key)
{
    int count = int(pages.size());
    switch (key) {
    case VK_RIGHT:
        if (count) SelectIndex(current < 0 || current + 1 >= count ? 0 : current + 1);
        break;
    case VK_LEFT:
        if (count) SelectIndex(current <= 0 ? count - 1 : current - 1);
        break;
    case VK_UP: PostMessageW(hwnd, WM_NEXTDLGCTL, 1, 0); break;
    case VK_DOWN:
    case VK_TAB: PostMessageW(hwnd, WM_NEXTDLGCTL, 0, 0); break;
    default: return 1;
    }
    ScrollToCurrentTab();
    Redraw(UI::PaintFull);
    return 0;
}

LRESULT CTabbedDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_STRIP_KEY && stripFocus) return OnStripKey(int(wParam));
    return CZELWMUI_BigDlg::OnMessage(message, wParam, lParam);
}

void CTabbedDialog::OnLButtonDown(int, const POINT& point)
{
    int previousX = pressX;
    pressX = point.x;
    pressedTab = HitTestTab(point);
    releaseAfterDoubleTap = false;
    if (pressedTab < 0) return;
    SetCapture(hwnd);
    DWORD previousTick = pressTick;
    pressTick = GetTickCount();
    int threshold = TabStrip::IconSize(g_HIDPI_LogPixelsX);
    if (pressTick - previousTick <= DWORD(DoubleTapMs) && std::abs(point.x - previousX) < threshold) {
        OnTabDoubleTap();
        ReleaseCapture();
        pressedTab = -1;
        pressX = 0;
        releaseAfterDoubleTap = true;
    }
}

void CTabbedDialog::OnMouseMove(int, const POINT& point)
{
    if (pressedTab >= 0) ScrollTabsBy(point.x);
}

void CTabbedDialog::OnLButtonUp(int, const POINT& point)
{
    if (pressedTab >= 0 && GetCapture() == hwnd) ReleaseCapture();
    if (releaseAfterDoubleTap) {
        // The double tap has acted (it may have closed the tab under the stylus).
        releaseAfterDoubleTap = false;
        pressedTab = -1;
        return;
    }
    int threshold = TabStrip::IconSize(g_HIDPI_LogPixelsX);
    if (std::abs(point.x - pressX) < threshold) {
        int hit = HitTestTab(point);
        if (hit == TabStrip::HitScrollRight) {
            if (firstVisible + 1 < int(pages.size())) ++firstVisible;
            Redraw(UI::PaintFull);
        } else if (hit == TabStrip::HitScrollLeft) {
            if (firstVisible > 0) --firstVisible;
            Redraw(UI::PaintFull);
        } else if (hit >= 0 && hit == current) {
            if (keyButton) SetFocus(keyButton);
        } else if (hit >= 0) {
            SelectIndex(hit);
            FocusCurrentPage();
        }
    } else if (pressedTab >= 0) {
        ScrollTabsBy(point.x);
    }
    pressedTab = -1;
}

void CTabbedDialog::Paint(HDC dc)
{
    const int dpiX = g_HIDPI_LogPixelsX;
    const int dpiY = g_HIDPI_LogPixelsY;
    UI::GdiObject<HPEN> pen(CreatePen(PS_SOLID, (dpiY + 48) / 96, GetSysColor(COLOR_WINDOWFRAME)));
    UI::GdiSelection penSelection(dc, pen.Get());
    UI::GdiSelection fontSelection(dc, DialogFont(hwnd));
    FillRect(dc, &strip, GetSysColorBrush(COLOR_BTNFACE));
    MoveToEx(dc, strip.left, strip.top, nullptr);
    LineTo(dc, strip.right, strip.top);
    SetBkMode(dc, TRANSPARENT);
    overflow = false;
    scrolled = firstVisible > 0;

    CSkinImageSet* images = GuiImages();
    const int margin = (dpiX + 12) * 4 / 96;
    const int iconTop = (strip.top + strip.bottom - (dpiY + 3) * 16 / 96) / 2;
    int x = strip.left;
    for (int i = firstVisible; i < int(pages.size()); ++i) {
        TabPage& page = *pages[size_t(i)];
        if (i == current) {
            RECT tab = {x, strip.top - 1, x + page.width, strip.bottom};
            POINT origin = {0, 0};
            ClientToScreen(hwnd, &origin);
            POINT previous;
            SetBrushOrgEx(dc, -origin.x, -origin.y, &previous);
            FillRect(dc, &tab, GetBkBrush());
            SetBrushOrgEx(dc, previous.x, previous.y, nullptr);
            if (i > 0) {
                MoveToEx(dc, x, strip.top, nullptr);
                LineTo(dc, x, strip.bottom);
            }
            if (stripFocus) {
                UI::GdiObject<HPEN> focusPen(CreatePen(PS_SOLID, (dpiX + 48) / 96, GetSysColor(COLOR_HIGHLIGHT)));
                UI::GdiSelection focusSelection(dc, focusPen.Get());
                int d = (dpiX * 3 + 48) / 96;
                int e = (dpiY * 9 + 48) / 96;
                int middle = (strip.top + strip.bottom) / 2;
                POINT frame[5] = {{x + d, middle - e}, {x + page.width - d, middle - e},
                                  {x + page.width - d, middle + e}, {x + d, middle + e}, {x + d, middle - e}};
                Polyline(dc, frame, 5);
            }
        }
        bool hasIcons = page.icons.GetCount() > 0;
        if (hasIcons && images) {
            POINT at = {x + margin, iconTop};
            if (page.alert == -1) {
                for (int k = 0; k < page.icons.GetCount(); ++k) images->Draw(page.icons[k], dc, at, 255);
            } else if ((GetTickCount() / AlertPeriodMs) % 2 == 1) {
                images->Draw(page.alert, dc, at, 255);
            }
        }
        if (!page.caption.IsEmpty()) {
            RECT text = {x + TabStrip::CaptionOffset(hasIcons, dpiX), strip.top, x + page.width, strip.bottom};
            DrawTextW(dc, page.caption.GetBuffer(), int(page.caption.GetLength()), &text,
                      DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        }
        x += page.width;
        if (x >= strip.right) {
            overflow = true;
            break;
        }
        MoveToEx(dc, x, strip.top, nullptr);
        LineTo(dc, x, strip.bottom);
    }
    PaintTabIcons(dc);
}

void CTabbedDialog::PaintTabIcons(HDC dc)
{
    CSkinImageSet* images = GuiImages();
    if (!images) return;
    const int dpiX = g_HIDPI_LogPixelsX;
    const int icon = TabStrip::IconSize(dpiX);
    const int top = (strip.top + strip.bottom - icon) / 2;
    if (overflow) images->Draw(kRightArrowImage, dc, POINT{strip.right - 2 * icon, top}, 255);
    if (scrolled) images->Draw(kLeftArrowImage, dc, POINT{strip.right - (dpiX * 50 + 48) / 96, top}, 255);
}

HBRUSH CTabbedDialog::GetBkBrush()
{
    HBRUSH brush = GuiBackgroundBrush();
    return brush ? brush : GetSysColorBrush(COLOR_WINDOW);
}

COLORREF CTabbedDialog::GetTextColor()
{
    return GetSchemeColor(ColorScheme::TextColor);
}

void CTabbedDialog::OnPageChanged() {}
void CTabbedDialog::OnTabDoubleTap() {}
int CTabbedDialog::GetBottomBarHeight()
{
    return 0;
}
