// The program's entry: the bus already stands (built by the runtime's start-up); the main window's
// creation brings up the core services, the start-up event reaches every subscriber, the message loop
// runs until the window is closed (showing first, over the window, what the user must know of the
// start, such as a settings file left as it is), and the services go down in their shutdown order.
//
// Until the user interface is built the main window is empty: closing it ends the program. The
// switch "/quit" ends the run right after start-up.

#include "Zel/shell/CoreServices.h"
#include "Zel/shell/StartupWarnings.h"
#include "Zel/core/bus/ServicesManager.h"

#include <windows.h>

#include <cwchar>

namespace {

const wchar_t kWindowClass[] = L"ZELWM_APPLICATION_CLASS";
const wchar_t kWindowTitle[] = L"ZEL PDA";
// Posted once the window is shown: what the user must be told about the start shows over it.
const UINT kShowStartupWarnings = WM_APP + 1;

// Without a display the window's creation can run WM_CREATE and still fail; the services must come
// up exactly once either way.
bool servicesCreated = false;

void CreateServicesOnce()
{
    if (servicesCreated) return;
    CreateCoreServices();
    servicesCreated = true;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        CreateServicesOnce();
        return 0;
    case kShowStartupWarnings:
        ShowStartupWarnings(window);
        return 0;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

HWND CreateMainWindow(HINSTANCE instance)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassW(&windowClass)) return nullptr;
    return CreateWindowExW(0, kWindowClass, kWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
}

bool HasSwitch(const wchar_t* commandLine, const wchar_t* name)
{
    return commandLine && wcsstr(commandLine, name) != nullptr;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int show)
{
    HWND window = CreateMainWindow(instance);
    CreateServicesOnce();  // when no window could be made, the services run all the same
    BroadcastStartup();

    if (window && !HasSwitch(commandLine, L"/quit")) {
        ShowWindow(window, show);
        PostMessageW(window, kShowStartupWarnings, 0, 0);
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    } else if (window) {
        DestroyWindow(window);
    }
    DestroyCoreServices();
    return 0;
}
