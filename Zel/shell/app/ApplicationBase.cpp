#include "Zel/shell/app/ApplicationBase.h"

#include "Zel/shell/ZelResources.h"

#include <commctrl.h>

CApplicationBase::CApplicationBase() : instance(nullptr), mainWindow(nullptr), menuBar(nullptr), start(nullptr), activation() {}

CApplicationBase::~CApplicationBase()
{
    if (instance && start) UnregisterClassW(start->windowClass, instance);
}

void CApplicationBase::OnCreate() {}
void CApplicationBase::FocusContactList() {}
void CApplicationBase::Layout(int, int, int) {}
void CApplicationBase::OnCommand(int, int, HWND) {}
void CApplicationBase::InitServices() {}
void CApplicationBase::OnActivate(WPARAM, LPARAM) {}
void CApplicationBase::OnSettingChange() {}
void CApplicationBase::RemoveTrayIcon() {}
void CApplicationBase::OnPowerState(const wchar_t*) {}

LRESULT CApplicationBase::WndProc(UINT, WPARAM, LPARAM)
{
    return 1;
}

LRESULT CALLBACK CApplicationBase::MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE) {
        const CREATESTRUCTW* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, LONG_PTR(create->lpCreateParams));
    }
    CApplicationBase* application = reinterpret_cast<CApplicationBase*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!application) return DefWindowProcW(window, message, wParam, lParam);
    return application->Dispatch(window, message, wParam, lParam);
}

void CApplicationBase::SetSoftKey(int index, int command, const wchar_t* text, bool enabled)
{
    if (!menuBar) return;
    TBBUTTONINFOW info = {};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_TEXT;
    info.pszText = const_cast<wchar_t*>(text ? text : L"");
    SendMessageW(menuBar, TB_SETBUTTONINFOW, WPARAM(command), LPARAM(&info));
    TBBUTTONINFOW state = {};
    state.cbSize = sizeof state;
    state.dwMask = TBIF_STATE | TBIF_BYINDEX;
    state.fsState = enabled ? TBSTATE_ENABLED : 0;
    SendMessageW(menuBar, TB_SETBUTTONINFOW, WPARAM(index), LPARAM(&state));
}

void CApplicationBase::OnWindowCreate(HWND window)
{
    mainWindow = window;
    activation = SHACTIVATEINFO();
    activation.size = sizeof activation;
    HMENU menu = LoadMenuW(instance, MAKEINTRESOURCEW(IDR_SOFTKEYS));
    if (menu) {
        DestroyMenu(menu);
        SHMENUBARINFO bar = {};
        bar.size = sizeof bar;
        bar.parent = window;
        bar.flags = SHCMBF_HMENU | SHCMBF_HIDESIPBUTTON;
        bar.menuId = IDR_SOFTKEYS;
        bar.resourceModule = instance;
        if (SHCreateMenuBar(&bar)) {
            menuBar = bar.bar;
            SetSoftKey(0, IDM_SOFTKEY_LEFT, L"", false);
            SetSoftKey(1, IDM_SOFTKEY_RIGHT, L"", false);
        }
    }
    InitServices();
}

LRESULT CApplicationBase::Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        OnWindowCreate(window);
        return 0;
    case WM_DESTROY:
        if (menuBar) DestroyWindow(menuBar);
        menuBar = nullptr;
        PostQuitMessage(0);
        return 0;
    case WM_SIZE:
        Layout(int(wParam), LOWORD(lParam), HIWORD(lParam));
        break;
    case WM_ACTIVATE:
        SHHandleWMActivate(window, wParam, lParam, &activation, 0);
        OnActivate(wParam, lParam);
        break;
    case WM_SETFOCUS:
        FocusContactList();
        break;
    case WM_CLOSE:
        RemoveTrayIcon();
        break;
    case WM_SETTINGCHANGE:
        SHHandleWMSettingChange(window, wParam, lParam, &activation);
        if (wParam == SETTINGCHANGE_RESET || wParam == SPI_SETSIPINFO) OnSettingChange();
        break;
    case WM_WINDOWPOSCHANGED: {
        const WINDOWPOS* position = reinterpret_cast<const WINDOWPOS*>(lParam);
        if (menuBar && !(position->flags & SWP_NOZORDER) && position->hwndInsertAfter == nullptr)
            ShowWindow(menuBar, SW_SHOW);
        break;
    }
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        break;
    default:
        if (WndProc(message, wParam, lParam) == 0) return 0;
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
