// CVibraPlayer: plays vibration patterns, one after another, on a hidden window's timer. A pattern
// is a 32-bit mask read from bit 0 up, each bit 250 ms of vibrating (1) or rest (0); the zeros
// before the first 1 and after the last are left out, and one rest step ends every pattern.
// User-interface thread only.
#pragma once

#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELWMUI_Wnd.h"

class GlobalSettings;

class CVibraPlayer : public UI::CZELWMUI_Wnd {
public:
    enum { StepTimer = 4000, StepMs = 250 };

    // settings: "HardVibraLed" (the device the user set, -1 for the one found here) and the alert
    // entries; none: the device found, no entries.
    explicit CVibraPlayer(const GlobalSettings* settings = nullptr);
    ~CVibraPlayer() override;

    // Queues the pattern (0 is ignored) and starts it when nothing runs.
    void Play(unsigned pattern);
    // The Vibra of that event's alert entry.
    void PlayEventVibra(int event);
    void OnTimer(UINT_PTR id, TIMERPROC procedure) override;

    // The steps of a pattern as played: trimmed, then one rest step.
    static CZELArray<int> StepsOf(unsigned pattern);

    bool Running() const { return steps.GetCount() > 0; }
    // The device switched: "HardVibraLed" unless it is -1, else the one found at construction.
    int Vibrator() const;

private:
    void StartNext();
    void Switch(bool on);

    CZELArray<unsigned> queue;
    CZELArray<int> steps;
    int currentStep;
    int foundVibrator;
    const GlobalSettings* settings;
};
