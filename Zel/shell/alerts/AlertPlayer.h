// CAlertPlayer: plays what a program event's alert entry says (a sound, a vibration pattern, or
// both) under the global alert switches, through its sound player and vibration player, two
// hidden windows of the main window. User-interface thread only.
#pragma once

#include "Zel/shell/alerts/AlertPack.h"

#include <windows.h>

#include <memory>

class GlobalSettings;
class CSoundPlayer;
class CVibraPlayer;

class CAlertPlayer {
public:
    // owner: the main window the two players' windows belong to (none: they have no window, so
    // the own sound path and vibration timers do nothing).
    explicit CAlertPlayer(GlobalSettings& settings, HWND owner = nullptr);
    ~CAlertPlayer();
    CAlertPlayer(const CAlertPlayer&) = delete;
    CAlertPlayer& operator=(const CAlertPlayer&) = delete;

    CSoundPlayer& Sound() { return *sound; }
    CVibraPlayer& Vibra() { return *vibra; }
    GlobalSettings& Settings() { return settings; }

private:
    GlobalSettings& settings;
    std::unique_ptr<CSoundPlayer> sound;
    std::unique_ptr<CVibraPlayer> vibra;
};

// The event's entry under the switches: nothing when the entry is off, or with "AlertSoftMode"
// while the global status is "Occupied" or "Not Available"; then the sound with "AlertSoundOn"
// and the vibration with "AlertVibraOn".
void PlayEventAlert(CAlertPlayer& player, int event);
// One entry as it stands, without the switches (the preferences' alert list).
void PlayAlert(CAlertPlayer& player, const AlertEntry& entry);
