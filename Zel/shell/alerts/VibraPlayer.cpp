#include "Zel/shell/alerts/VibraPlayer.h"

#include "Zel/prefs/GlobalSettings.h"
#include "Zel/shell/alerts/NotificationLed.h"
#include "Handheld/Nled.h"

CVibraPlayer::CVibraPlayer(const GlobalSettings* settings)
    : currentStep(-1), foundVibrator(FindVibratorIndex()), settings(settings)
{
}

int CVibraPlayer::Vibrator() const
{
    int hard = settings ? int(static_cast<signed char>(settings->vibraLed)) : -1;
    return hard != -1 ? hard : foundVibrator;
}

void CVibraPlayer::PlayEventVibra(int event)
{
    if (settings && event >= 0 && event < settings->alerts.GetCount()) Play(settings->alerts[event].vibra);
}

CVibraPlayer::~CVibraPlayer()
{
    if (steps.GetCount() > 0) {
        if (hwnd) KillTimer(hwnd, StepTimer);
        if (currentStep >= 0 && currentStep < steps.GetCount() && steps[currentStep] == 1) Switch(false);
    }
}

CZELArray<int> CVibraPlayer::StepsOf(unsigned pattern)
{
    CZELArray<int> out;
    if (pattern == 0) return out;
    int first = 0, last = 31;
    while (!((pattern >> first) & 1)) ++first;
    while (!((pattern >> last) & 1)) --last;
    for (int bit = first; bit <= last; ++bit) out.Add(int((pattern >> bit) & 1));
    out.Add(0);
    return out;
}

void CVibraPlayer::Play(unsigned pattern)
{
    if (pattern == 0) return;
    queue.Add(pattern);
    StartNext();
}

void CVibraPlayer::StartNext()
{
    if (steps.GetCount() > 0 || queue.GetCount() == 0) return;
    unsigned pattern = queue[0];
    queue.RemoveAt(0);
    steps = StepsOf(pattern);
    currentStep = -1;
    if (hwnd) SetTimer(hwnd, StepTimer, StepMs, nullptr);
}

void CVibraPlayer::OnTimer(UINT_PTR id, TIMERPROC)
{
    if (id != StepTimer || steps.GetCount() == 0) return;
    int next = currentStep + 1;
    if (next >= steps.GetCount()) {
        currentStep = -1;
        steps = CZELArray<int>();
        if (hwnd) KillTimer(hwnd, StepTimer);
        StartNext();
        return;
    }
    int previous = currentStep >= 0 ? steps[currentStep] : 0;
    currentStep = next;
    if (steps[next] == 1 && previous == 0) Switch(true);
    else if (steps[next] == 0 && previous == 1) Switch(false);
}

void CVibraPlayer::Switch(bool on)
{
    int device = Vibrator();
    if (device < 0) return;
    NLED_SETTINGS_INFO settings = {UINT(device), on ? 1 : 0, 0, 0, 0, 0, 0};
    NLedSetDevice(NLED_SETTINGS_INFO_ID, &settings);
}
