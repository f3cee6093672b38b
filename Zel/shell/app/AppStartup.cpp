// The program's start: the scheduled wake-up launch, the single instance, the main window; and the
// message loop, which also reads the power notifications.
#include "Zel/shell/app/Application.h"

#include "Zel/shell/ZelResources.h"
#include "Handheld/Device.h"
#include "Handheld/Power.h"
#include "ZELCommon/ZELWMUI_HiDpi.h"

#include <cstddef>
#include <cstring>
#include <cwchar>

namespace {

const wchar_t kWindowClass[] = L"ZELWM_APPLICATION_CLASS";
const wchar_t kWindowTitle[] = L"ZEL PDA";
const wchar_t kWakeupSwitch[] = L"AppRunAtTime";
const wchar_t kWakeupEvent[] = L"ZEL-PDA-WAKEUP";
const wchar_t kQuitSwitch[] = L"/quit";
const wchar_t kPowerQueue[] = L"Power";
const wchar_t kSoundDevice[] = L"wav1:";
const DWORD kPowerRecordBytes = 1024;
const DWORD kPowerQueueLength = 20;

bool Holds(const wchar_t* commandLine, const wchar_t* text)
{
    return commandLine && wcsstr(commandLine, text) != nullptr;
}

// A scheduled launch keeps the device awake until the running instance has its timers going, or
// for a second at most.
void RunWakeupLaunch()
{
    PowerPolicyNotify(PPN_UNATTENDEDMODE, TRUE);
    HANDLE wakeup = CreateEventW(nullptr, FALSE, FALSE, kWakeupEvent);
    if (wakeup) {
        WaitForSingleObject(wakeup, CApplication::WakeupWaitMs);
        CloseHandle(wakeup);
    }
    PowerPolicyNotify(PPN_UNATTENDEDMODE, FALSE);
}

// The power state's name of one notification record of size bytes.
bool PowerStateName(const BYTE* record, DWORD size, wchar_t* name, size_t capacity)
{
    const DWORD header = offsetof(POWER_BROADCAST, SystemPowerState);
    if (size <= header) return false;
    size_t units = (size - header) / sizeof(wchar_t);
    if (units >= capacity) units = capacity - 1;
    memcpy(name, record + header, units * sizeof(wchar_t));
    name[units] = 0;
    return true;
}

}  // namespace

bool InitInstance(CApplication& application, const wchar_t* commandLine)
{
    if (Holds(commandLine, kWakeupSwitch)) {
        RunWakeupLaunch();
        return false;
    }
    g_HIDPI_LogPixelsX = GetScreenLogPixels(LOGPIXELSX);
    g_HIDPI_LogPixelsY = GetScreenLogPixels(LOGPIXELSY);
    // The common controls are initialised once the window has painted (CompleteStart).
    if (HWND running = FindWindowW(kWindowClass, kWindowTitle)) {
        // The owned windows come along with their owner on a desktop without asking.
        SetForegroundWindow(running);
        return false;
    }
    HINSTANCE instance = application.GetInstance();
    WNDCLASSW windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = CApplicationBase::MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_ZEL));
    windowClass.hbrBackground = HBRUSH(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassW(&windowClass)) return false;

    HWND window = CreateWindowExW(0, kWindowClass, kWindowTitle, WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, &application);
    if (!window) return false;
    application.OnCreate();
    ShowWindow(window, application.StartShowCommand());
    if (Holds(commandLine, kQuitSwitch)) PostMessageW(window, WM_CLOSE, 0, 0);
    return true;
}

int RunMessageLoop(CApplication& application)
{
    HACCEL accelerators = LoadAcceleratorsW(application.GetInstance(), kWindowClass);
    MSGQUEUEOPTIONS options = {sizeof options, MSGQUEUE_NOPRECOMMIT, kPowerQueueLength, kPowerRecordBytes, FALSE};
    HANDLE powerWrite = CreateMsgQueue(kPowerQueue, &options);
    options.bReadAccess = TRUE;
    HANDLE powerRead = CreateMsgQueue(kPowerQueue, &options);
    HANDLE notifications = powerWrite ? RequestPowerNotifications(powerWrite, PBT_TRANSITION) : nullptr;
    HANDLE sound = SetPowerRequirement(kSoundDevice, D0, POWER_NAME, nullptr, 0);

    MSG message = {};
    bool startCompleted = false;
    for (;;) {
        // The first time nothing waits (the window has painted): the rest of the start.
        if (!startCompleted && !PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            startCompleted = true;
            if (!application.CompleteStart()) PostMessageW(application.GetMainWindow(), WM_CLOSE, 0, 0);
        }
        if (GetMessageW(&message, nullptr, 0, 0) <= 0) break;
        BYTE record[kPowerRecordBytes];
        DWORD size = 0, flags = 0;
        wchar_t name[kPowerRecordBytes / sizeof(wchar_t)];
        if (powerRead && ReadMsgQueue(powerRead, record, sizeof record, &size, 0, &flags) &&
            PowerStateName(record, size, name, sizeof name / sizeof name[0]))
            application.OnPowerState(name);
        if (accelerators && TranslateAcceleratorW(application.GetMainWindow(), accelerators, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }

    if (sound) ReleasePowerRequirement(sound);
    if (notifications) StopPowerNotifications(notifications);
    if (powerRead) CloseMsgQueue(powerRead);
    if (powerWrite) CloseMsgQueue(powerWrite);
    return int(message.wParam);
}

int ZelWinMain(HINSTANCE instance, const wchar_t* commandLine, int showCommand)
{
    AppStartRecord start = {instance, kWindowClass, kWindowTitle, showCommand};
    CApplication* application = new CApplication(&start);
    if (!InitInstance(*application, commandLine)) {
        delete application;
        return 1;
    }
    int result = RunMessageLoop(*application);
    delete application;
    return result;
}
