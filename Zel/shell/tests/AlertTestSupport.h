// Alerts as the application tests hear them: every event's entry given a sound of its own
// ("event0" to "event4") and the recording audio output, so each played alert is one sound.
#pragma once

#include "Zel/prefs/GlobalSettings.h"
#include "Zel/shell/tests/RecordingAudio.h"

#include <algorithm>
#include <string>

namespace AlertTest {

inline void GiveEventSounds(GlobalSettings& settings)
{
    settings.alerts = AlertEntryArray();
    for (int event = 0; event < AlertEventCount; ++event) {
        AlertEntry entry;
        entry.on = entry.soundOn = true;
        entry.sound = CZELString((L"event" + std::to_wstring(event)).c_str());
        settings.alerts.Add(entry);
    }
    settings.alertSoundOn = true;
    settings.alertAdvancedSound = false;
    settings.alertSoftMode = false;
}

inline int PlayedCount(const RecordingAudio& audio, int event)
{
    return int(std::count(audio.sounds.begin(), audio.sounds.end(), L"event" + std::to_wstring(event)));
}

}  // namespace AlertTest
