// The accounts' keep-alive timers, run as timers of the main window on the user-interface thread,
// and the power states: while a timer exists the device is held in unattended mode; when it is about
// to sleep, a launch of the program is scheduled in time for the earliest timer.
#include "Zel/shell/app/Application.h"

#include "Handheld/Power.h"
#include "ZELCommon/ZELPath.h"

#include <climits>
#include <ctime>

namespace {

const wchar_t kResuming[] = L"resuming";
const wchar_t kUnattended[] = L"unattended";
const wchar_t kWakeupEvent[] = L"ZEL-PDA-WAKEUP";
// A wake-up closer than this is not worth a launch.
const long long kWakeupMinSeconds = 5;
const long long kNoTimer = INT_MAX;

long long Now()
{
    return (long long)time(nullptr);
}

long long SecondsUntil(const CZELTime& due)
{
    return (long long)due.GetUnixTime() - Now();
}

}  // namespace

CZELString CApplication::WakeupProgram() const
{
    return CZELPath::AppDir() + L"zel.exe";
}

void CApplication::EnterUnattendedMode()
{
    PowerPolicyNotify(PPN_UNATTENDEDMODE, TRUE);
}

void CApplication::LeaveUnattendedMode()
{
    PowerPolicyNotify(PPN_UNATTENDEDMODE, FALSE);
}

void CApplication::ArmTimer(AppTimer& timer, long long milliseconds)
{
    // A due time already past fires at once; nothing is set beyond what a window timer takes.
    if (milliseconds < 0) milliseconds = 0;
    if (milliseconds > USER_TIMER_MAXIMUM) milliseconds = USER_TIMER_MAXIMUM;
    timer.timer = SetTimer(mainWindow, UINT_PTR(timer.id), UINT(milliseconds), nullptr);
}

void CApplication::OnTimerSet(CRefObject* p2)
{
    CTimerPayload* payload = dynamic_cast<CTimerPayload*>(p2);
    if (!payload) return;
    AppTimer timer;
    timer.id = int(nextTimerId++);
    timer.due = payload->due;
    timer.callback = payload->callback;
    timer.userData = payload->context;
    ArmTimer(timer, SecondsUntil(timer.due) * 1000);
    if (timers.Add(timer) < 0) {
        KillTimer(mainWindow, UINT_PTR(timer.id));
        return;
    }
    if (timers.GetCount() == 1) {
        if (_wcsicmp(lastPowerState.GetBuffer() ? lastPowerState.GetBuffer() : L"", kUnattended) == 0)
            OnPowerState(kUnattended);
        else
            EnterUnattendedMode();
    }
}

void CApplication::OnTimerCancel(CRefObject* p2)
{
    CCallbackPayload* payload = dynamic_cast<CCallbackPayload*>(p2);
    if (!payload) return;
    for (int i = 0; i < timers.GetCount(); ++i) {
        if (timers[i].callback != payload->callback || timers[i].userData != payload->context) continue;
        KillTimer(mainWindow, UINT_PTR(timers[i].id));
        timers.RemoveAt(i);
        // The last timer gone: the device may sleep again, as after the last expiry.
        if (timers.GetCount() == 0 && !settings.dontSleep) LeaveUnattendedMode();
        return;
    }
}

bool CApplication::RunTimer(int index)
{
    // The callback may change the list (the entry may move): the timer is found again by its id.
    int id = timers[index].id;
    AccountTimerCallback callback = timers[index].callback;
    intptr_t userData = timers[index].userData;
    unsigned next = callback ? callback(userData) : 0;
    for (index = 0; index < timers.GetCount() && timers[index].id != id; ++index) {
    }
    if (index == timers.GetCount()) return false;
    AppTimer& current = timers[index];
    KillTimer(mainWindow, UINT_PTR(current.id));
    if (next == 0) {
        timers.RemoveAt(index);
        return false;
    }
    current.due = CZELTime(unsigned(Now() + next / 1000));
    ArmTimer(current, next);
    return true;
}

void CApplication::OnTimerExpired(UINT_PTR id)
{
    int index = 0;
    while (index < timers.GetCount() && UINT_PTR(timers[index].id) != id) ++index;
    if (index == timers.GetCount()) return;
    RunTimer(index);
    if (timers.GetCount() == 0 && !settings.dontSleep) {
        LeaveUnattendedMode();
        return;
    }
    if (_wcsicmp(lastPowerState.GetBuffer() ? lastPowerState.GetBuffer() : L"", kUnattended) == 0)
        OnPowerState(kUnattended);
}

void CApplication::OnPowerState(const wchar_t* name)
{
    if (!name) return;
    if (_wcsicmp(name, kResuming) == 0) {
        if (timers.GetCount()) {
            EnterUnattendedMode();
            CeRunAppAtTime(WakeupProgram().GetBuffer(), nullptr);
        }
        long long now = Now();
        for (int i = timers.GetCount() - 1; i >= 0; --i) {
            if (i >= timers.GetCount()) continue;
            long long left = (long long)timers[i].due.GetUnixTime() - now;
            if (left < 1) RunTimer(i);
            else ArmTimer(timers[i], left * 1000);
        }
        if (timers.GetCount() == 0 && !settings.dontSleep) LeaveUnattendedMode();
        // Releases a wake-up launch that waits for this instance.
        if (HANDLE wakeup = OpenEventW(EVENT_ALL_ACCESS, FALSE, kWakeupEvent)) {
            SetEvent(wakeup);
            CloseHandle(wakeup);
        }
    } else if (_wcsicmp(name, kUnattended) == 0 && !settings.dontSleep) {
        long long seconds = kNoTimer;
        for (int i = 0; i < timers.GetCount(); ++i) {
            long long left = SecondsUntil(timers[i].due);
            if (left < seconds) seconds = left;
        }
        if (seconds < 0) seconds = 0;
        if (seconds > kWakeupMinSeconds) {
            if (seconds < kNoTimer) {
                SYSTEMTIME local;
                GetLocalTime(&local);
                FILETIME file;
                SystemTimeToFileTime(&local, &file);
                ULARGE_INTEGER at;
                at.LowPart = file.dwLowDateTime;
                at.HighPart = file.dwHighDateTime;
                at.QuadPart += (unsigned long long)seconds * 10000000ull;
                file.dwLowDateTime = at.LowPart;
                file.dwHighDateTime = at.HighPart;
                SYSTEMTIME launch;
                FileTimeToSystemTime(&file, &launch);
                CeRunAppAtTime(WakeupProgram().GetBuffer(), &launch);
            }
            LeaveUnattendedMode();
        }
    }
    lastPowerState = name;
}
