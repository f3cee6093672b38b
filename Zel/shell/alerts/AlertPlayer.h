// CAlertPlayer: plays the alert of a program event (sound and vibration) under the global alert
// switches. This build has no sound or vibration player yet: an event is only counted, so the
// windows that raise alerts can be followed.
#pragma once

#include "Zel/shell/alerts/AlertPack.h"

class GlobalSettings;

class CAlertPlayer {
public:
    explicit CAlertPlayer(GlobalSettings& settings) : settings(settings), played() {}

    void PlayEventAlert(int event)
    {
        if (event >= 0 && event < AlertEventCount) ++played[event];
    }
    void PlayAlert(const AlertEntry&) {}

    // How often each event was raised.
    int PlayedCount(int event) const { return event >= 0 && event < AlertEventCount ? played[event] : 0; }

private:
    GlobalSettings& settings;
    int played[AlertEventCount];
};
