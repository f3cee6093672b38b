#include "Zel/shell/alerts/AlertPlayer.h"

#include "Zel/prefs/GlobalSettings.h"
#include "Zel/shell/alerts/SoundPlayer.h"
#include "Zel/shell/alerts/VibraPlayer.h"
#include "Zel/shell/notify/GlobalStatusQuery.h"

CAlertPlayer::CAlertPlayer(GlobalSettings& settings, HWND owner)
    : settings(settings), sound(new CSoundPlayer(&settings)), vibra(new CVibraPlayer(&settings))
{
    if (!owner) return;
    RECT empty = {0, 0, 0, 0};
    HINSTANCE instance = GetModuleHandleW(nullptr);
    sound->Create(instance, owner, 0, empty);
    vibra->Create(instance, owner, 0, empty);
}

CAlertPlayer::~CAlertPlayer() = default;

void PlayEventAlert(CAlertPlayer& player, int event)
{
    GlobalSettings& settings = player.Settings();
    if (event < 0 || event >= settings.alerts.GetCount() || !settings.alerts[event].on) return;
    int status = 0;
    if (settings.alertSoftMode && QueryGlobalStatus(&status) && IsDoNotDisturbStatus(status)) return;
    if (settings.alertSoundOn) player.Sound().PlayEventSound(event);
    if (settings.alertVibraOn) player.Vibra().PlayEventVibra(event);
}

void PlayAlert(CAlertPlayer& player, const AlertEntry& entry)
{
    if (!entry.on) return;
    if (entry.soundOn) player.Sound().PlayFile(entry.sound);
    player.Vibra().Play(entry.vibra);
}
