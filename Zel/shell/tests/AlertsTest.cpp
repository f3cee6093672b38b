// Alerts end to end with the recording audio output and the simulated vibrator: what each event
// plays under the switches and the global status, the vibration per tick, the default pack beside
// the program, a pack that fails part way, stored lists with short values, and string lists.
#include "Zel/shell/alerts/AlertPlayer.h"

#include "Zel/core/settings/SettingsStore.h"
#include "Zel/core/settings/ValueRecordList.h"
#include "Zel/prefs/GlobalSettings.h"
#include "Zel/shell/alerts/NotificationLed.h"
#include "Zel/shell/alerts/SoundPlayer.h"
#include "Zel/shell/alerts/StringListSetting.h"
#include "Zel/shell/alerts/VibraPlayer.h"
#include "Zel/shell/notify/GlobalStatusQuery.h"
#include "Zel/shell/tests/RecordingAudio.h"
#include "ZELCommon/ZELPath.h"
#include "ZELCommon/tests/TempFolder.h"
#include "ZELCommon/tests/UiTestSupport.h"
#include "Handheld/Nled.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

std::wstring W(const CZELString& text)
{
    return text.GetBuffer() ? std::wstring(text.GetBuffer(), size_t(text.GetLength())) : std::wstring();
}

const ZEL_GUID kSection = {0x5CA0CBC1, 0x999A, 0x4EA2, {0x8B, 0x44, 0xF8, 0xF6, 0x7D, 0x7F, 0x8E, 0xBE}};

int g_status = 2;
bool Status(int* status)
{
    *status = g_status;
    return true;
}

// A hidden top-level window the players' windows belong to.
struct OwnerWindow {
    OwnerWindow()
    {
        window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, GetModuleHandleW(nullptr),
                                 nullptr);
    }
    ~OwnerWindow() { DestroyWindow(window); }
    HWND window;
};

// The vibrator's (device 1) switches as a string: '1' on, '0' off, one per setting made.
std::string VibratorSwitches()
{
    NLED_SETTINGS_INFO log[64];
    int count = HandheldGetNledLog(log, 64);
    std::string out;
    for (int i = 0; i < count && i < 64; ++i)
        if (log[i].LedNum == 1) out += log[i].OffOnBlink ? '1' : '0';
    return out;
}

void Tick(CVibraPlayer& vibra)
{
    SendMessageW(vibra, WM_TIMER, CVibraPlayer::StepTimer, 0);
}

}  // namespace

TEST(Alerts, EachEventUnderTheSwitchesAndTheGlobalStatus)
{
    ZEL_REQUIRE_DISPLAY();
    const LONG devices[] = {0, -1};
    HandheldSetNledDevices(devices, 2);
    SetGlobalStatusQuery(Status);
    struct Case {
        const char* name;
        bool soundOn, vibraOn, softMode;
        int status;
        bool sounds, vibrates;
    } cases[] = {
        {"all on, online", true, true, true, 2, true, true},
        {"soft mode, occupied 13", true, true, true, 13, false, false},
        {"soft mode, not available 12", true, true, true, 12, false, false},
        {"soft mode off, occupied", true, true, false, 13, true, true},
        {"sound off", false, true, true, 2, false, true},
        {"vibration off", true, false, true, 2, true, false},
    };
    for (const Case& c : cases) {
        for (int event = 0; event < AlertEventCount; ++event) {
            SCOPED_TRACE(std::string(c.name) + ", event " + std::to_string(event));
            RecordingAudio audio;
            OwnerWindow owner;
            GlobalSettings settings;
            settings.vibraLed = 255;
            AlertPack::SetDefaults(settings.alerts);
            for (int i = 0; i < AlertEventCount; ++i) {
                settings.alerts[i].soundOn = true;
                settings.alerts[i].sound = CZELString((L"sound" + std::to_wstring(i)).c_str());
            }
            settings.alertSoundOn = c.soundOn;
            settings.alertVibraOn = c.vibraOn;
            settings.alertSoftMode = c.softMode;
            g_status = c.status;
            CAlertPlayer player(settings, owner.window);
            HandheldResetNledLog();
            PlayEventAlert(player, event);
            std::vector<std::wstring> expected;
            if (c.sounds) expected.push_back(L"sound" + std::to_wstring(event));
            EXPECT_EQ(audio.sounds, expected);
            // The defaults vibrate 0xF for an incoming message and 0x3 for mail.
            for (int tick = 0; tick < 6; ++tick) Tick(player.Vibra());
            std::string switches = !c.vibrates ? "" : event == AE_MESSAGE_IN ? "10" : event == AE_MAIL ? "10" : "";
            EXPECT_EQ(VibratorSwitches(), switches);
        }
    }
    // An entry that is off plays nothing at all; PlayAlert ignores the switches.
    RecordingAudio audio;
    OwnerWindow owner;
    GlobalSettings settings;
    settings.vibraLed = 255;
    AlertPack::SetDefaults(settings.alerts);
    settings.alerts[1].on = false;
    settings.alerts[1].soundOn = true;
    settings.alerts[1].sound = L"off";
    settings.alertSoundOn = true;
    CAlertPlayer player(settings, owner.window);
    PlayEventAlert(player, AE_MESSAGE_OUT);
    PlayEventAlert(player, 7);
    EXPECT_TRUE(audio.sounds.empty());
    AlertEntry entry;
    entry.on = entry.soundOn = true;
    entry.sound = L"direct";
    settings.alertSoundOn = false;
    PlayAlert(player, entry);
    EXPECT_EQ(audio.sounds, std::vector<std::wstring>{L"direct"});
    SetGlobalStatusQuery(nullptr);
}

TEST(Alerts, VibrationPatternsTickByTick)
{
    ZEL_REQUIRE_DISPLAY();
    const LONG devices[] = {0, -1};
    HandheldSetNledDevices(devices, 2);
    OwnerWindow owner;
    struct Case {
        const char* name;
        std::vector<unsigned> patterns;
        int ticks;
        const char* perTick;  // the vibrator after each tick: '1' on, '0' off, '.' unchanged
    } cases[] = {
        {"0x5: on, off, on, off", {0x5}, 5, "1010."},
        {"0x80000000: one step", {0x80000000u}, 3, "10."},
        {"0xF: four steps", {0xF}, 6, "1...0."},
        {"0x6 is 0x3", {0x6}, 4, "1.0."},
        {"two patterns in turn", {0x1, 0x1}, 6, "10.10."},
        {"0 ignored", {0, 0x1}, 3, "10."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GlobalSettings settings;
        settings.vibraLed = 255;
        CVibraPlayer vibra(&settings);
        RECT none = {};
        ASSERT_TRUE(vibra.Create(GetModuleHandleW(nullptr), owner.window, 0, none));
        HandheldResetNledLog();
        for (unsigned pattern : c.patterns) vibra.Play(pattern);
        std::string seen;
        for (int tick = 0; tick < c.ticks; ++tick) {
            std::string before = VibratorSwitches();
            Tick(vibra);
            std::string after = VibratorSwitches();
            seen += after.size() > before.size() ? after.back() : '.';
        }
        EXPECT_EQ(seen, c.perTick);
        EXPECT_FALSE(vibra.Running());
    }
    EXPECT_EQ(CVibraPlayer::StepsOf(0x6).GetCount(), 3);

    // "HardVibraLed" 2 drives device 2 whatever was found; a player ended mid-pattern stops it.
    const LONG three[] = {0, -1, 0};
    HandheldSetNledDevices(three, 3);
    GlobalSettings settings;
    settings.vibraLed = 2;
    {
        CVibraPlayer vibra(&settings);
        RECT none = {};
        ASSERT_TRUE(vibra.Create(GetModuleHandleW(nullptr), owner.window, 0, none));
        vibra.Play(0x3);
        Tick(vibra);
        NLED_SETTINGS_INFO state = {};
        HandheldGetNledState(2, &state);
        EXPECT_EQ(state.OffOnBlink, 1);
    }
    NLED_SETTINGS_INFO state = {};
    HandheldGetNledState(2, &state);
    EXPECT_EQ(state.OffOnBlink, 0);
    HandheldGetNledState(1, &state);
    EXPECT_EQ(state.OffOnBlink, 0);
    HandheldSetNledDevices(devices, 2);
}

TEST(Alerts, LedDevicesAndTheBlinkSetting)
{
    const LONG devices[] = {-1, 5, 0};
    HandheldSetNledDevices(devices, 3);
    ForgetNotificationLed();
    EXPECT_EQ(GetLedCount(), 3);
    EXPECT_EQ(FindLedIndex(), 1);
    EXPECT_EQ(FindVibratorIndex(), 0);
    SetNotificationLed(true);
    NLED_SETTINGS_INFO state = {};
    HandheldGetNledState(1, &state);
    EXPECT_EQ(state.OffOnBlink, 2);
    EXPECT_EQ(state.TotalCycleTime, 5000);
    EXPECT_EQ(state.OnTime, 200);
    EXPECT_EQ(state.MetaCycleOn, 200);
    SetNotificationLed(false, 2);
    HandheldGetNledState(2, &state);
    EXPECT_EQ(state.OffOnBlink, 0);
    // No driver: nothing, quietly.
    HandheldSetNledDevices(nullptr, -1);
    ForgetNotificationLed();
    EXPECT_EQ(GetLedCount(), 0);
    EXPECT_EQ(FindLedIndex(), -1);
    SetNotificationLed(true);
    const LONG standard[] = {0, -1};
    HandheldSetNledDevices(standard, 2);
    ForgetNotificationLed();
}

TEST(Alerts, DefaultPackBesideTheProgram)
{
    AlertEntryArray entries;
    AlertPack::LoadPack(L"ZEL PDA alerts", entries);
    ASSERT_EQ(entries.GetCount(), 5);
    std::set<std::string> contents;
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(entries[i].on && entries[i].soundOn);
        std::string bytes;
        ASSERT_TRUE(TestSupport::ReadWholeFile(W(entries[i].sound), bytes));
        ASSERT_GT(bytes.size(), 44u);
        EXPECT_EQ(bytes.substr(0, 4), "RIFF");
        EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
        EXPECT_EQ(bytes.substr(36, 4), "data");
        WavFile wav;
        ASSERT_TRUE(wav.Read(entries[i].sound.GetBuffer()));
        EXPECT_EQ(wav.format.wFormatTag, WAVE_FORMAT_PCM);
        EXPECT_EQ(wav.data.size(), bytes.size() - 44);
        contents.insert(bytes);
    }
    EXPECT_EQ(contents.size(), 5u);
    EXPECT_EQ(entries[AE_MESSAGE_IN].vibra, 0xFu);
    EXPECT_EQ(entries[AE_MAIL].vibra, 0x3u);
}

TEST(Alerts, APackFailingPartWayGivesExactlyTheDefaults)
{
    TestSupport::TempFolder folder(L"AlertsTestPack");
    const std::string head = "[ZELAlerts]\r\n";
    const std::string texts[] = {
        head + "a=in.wav 1\r\nb=out.wav 1\r\nc=on.wav 1\r\n",  // three entries, then the end
        head + "a=in.wav 1\r\nb=out.wav 1\r\nc=on.wav 1\r\nd=i.wav 1\r\ne=m.wav",
        "[ZELAlerts]\n",
        "",
    };
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        std::wstring path = folder.path + L"_alerts.ini";
        ASSERT_TRUE(TestSupport::WriteWholeFile(path, text));
        AlertEntryArray entries;
        AlertPack::Load(path.c_str(), entries);
        AlertEntryArray defaults;
        AlertPack::SetDefaults(defaults);
        ASSERT_EQ(entries.GetCount(), 5);
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(entries[i].on, defaults[i].on);
            EXPECT_FALSE(entries[i].soundOn);
            EXPECT_TRUE(entries[i].sound.IsEmpty());
            EXPECT_EQ(entries[i].vibra, defaults[i].vibra);
        }
    }
}

namespace {

// One stored entry's record with each value given as raw bytes (null: left out).
std::vector<unsigned char> EntryRecord(const std::vector<unsigned char>* on, const std::vector<unsigned char>* vibra)
{
    ValueRecordList inner;
    if (on) inner.Add(ValueRecord(CZELString(L"On"), on->data(), unsigned(on->size())));
    unsigned char one = 1;
    inner.Add(ValueRecord(CZELString(L"SoundOn"), &one, 1));
    ValueRecord sound{CZELString(L"Sound")};
    sound.WriteString(CZELString(L"x.wav"), false);
    inner.Add(sound);
    if (vibra) inner.Add(ValueRecord(CZELString(L"Vibra"), vibra->data(), unsigned(vibra->size())));
    std::vector<unsigned char> bytes(inner.GetSize());
    inner.Serialise(bytes.data(), unsigned(bytes.size()));
    return bytes;
}

}  // namespace

TEST(Alerts, StoredListsRefuseShortValues)
{
    CSettingsStore store(nullptr, L"C:\\nonexistent-folder-for-test\\settings.zel");
    const std::vector<unsigned char> byte1 = {1}, none = {}, vibra4 = {0xF, 0, 0, 0}, vibra2 = {0xF, 0};
    struct Case {
        const char* name;
        const std::vector<unsigned char>* on;
        const std::vector<unsigned char>* vibra;
        bool loads;
    } cases[] = {
        {"whole", &byte1, &vibra4, true},
        {"short Vibra", &byte1, &vibra2, false},
        {"empty Vibra", &byte1, &none, false},
        {"empty On", &none, &vibra4, false},
        {"no Vibra", &byte1, nullptr, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ValueRecordList outer;
        for (int i = 0; i < 5; ++i) {
            std::vector<unsigned char> record = EntryRecord(&byte1, &vibra4);
            if (i == 3) record = EntryRecord(c.on, c.vibra);
            outer.Add(ValueRecord(CZELString(), record.data(), unsigned(record.size())));
        }
        std::vector<unsigned char> bytes(outer.GetSize());
        int length = int(outer.Serialise(bytes.data(), unsigned(bytes.size())));
        store.SetBlob(kSection, L"Alerts", bytes.data(), &length);
        AlertEntryArray loaded;
        EXPECT_EQ(AlertListSetting::Load(store, kSection, L"Alerts", loaded), c.loads);
        if (c.loads) EXPECT_EQ(loaded[3].vibra, 0xFu);
    }

    // String lists: every string back in order; a missing value gives an empty list.
    CZELArray<CZELString> replies;
    replies.Add(CZELString(L"Yes"));
    replies.Add(CZELString(L"\x041D\x0435\x0442"));
    replies.Add(CZELString());
    StringListSetting::Save(store, kSection, L"MWReplies", replies);
    CZELArray<CZELString> loaded;
    loaded.Add(CZELString(L"stale"));
    ASSERT_TRUE(StringListSetting::Load(store, kSection, L"MWReplies", loaded));
    ASSERT_EQ(loaded.GetCount(), 3);
    EXPECT_EQ(W(loaded[1]), L"\x041D\x0435\x0442");
    EXPECT_TRUE(loaded[2].IsEmpty());
    EXPECT_FALSE(StringListSetting::Load(store, kSection, L"Missing", loaded));
    EXPECT_EQ(loaded.GetCount(), 0);
}
