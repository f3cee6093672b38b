// The sound player through the recording audio output: the simple path's call, the own path's
// device, volume and buffers one request after another, the WAV fixtures, failures that must
// not stop the next request, the end of the player, and the real output with no device.
#include "Zel/shell/alerts/SoundPlayer.h"

#include "Zel/prefs/GlobalSettings.h"
#include "Zel/shell/tests/RecordingAudio.h"
#include "ZELCommon/tests/TempFolder.h"
#include "ZELCommon/tests/UiTestSupport.h"
#include "Handheld/Power.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// A canonical 44-byte header (format at 20..35) followed by samples; fmtExtra bytes of a longer
// format chunk go after the 16 and count as samples to the player.
std::string Wav(unsigned short channels, unsigned rate, unsigned short bits, size_t samples, size_t fmtExtra = 0)
{
    auto u16 = [](unsigned short v) { return std::string{char(v & 0xFF), char(v >> 8)}; };
    auto u32 = [&](unsigned v) { return u16((unsigned short)(v & 0xFFFF)) + u16((unsigned short)(v >> 16)); };
    unsigned short align = (unsigned short)(channels * bits / 8);
    std::string out = "RIFF" + u32(unsigned(36 + fmtExtra + samples)) + "WAVEfmt " + u32(unsigned(16 + fmtExtra)) +
                      u16(1) + u16(channels) + u32(rate) + u32(rate * align) + u16(align) + u16(bits);
    out += std::string(fmtExtra, '\0');
    out += "data" + u32(unsigned(samples));
    for (size_t i = 0; i < samples; ++i) out += char(i * 7);
    return out;
}

struct OwnerWindow {
    OwnerWindow()
    {
        window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, GetModuleHandleW(nullptr),
                                 nullptr);
    }
    ~OwnerWindow() { DestroyWindow(window); }
    HWND window;
};

void Pump()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

class SoundPlayerTest : public ::testing::Test {
protected:
    SoundPlayerTest() : folder(L"SoundPlayerTest") {}
    void SetUp() override
    {
        ZEL_REQUIRE_DISPLAY();
        settings.alertAdvancedSound = true;
        settings.alertVolume = 10;
        player.reset(new CSoundPlayer(&settings));
        RECT none = {};
        ASSERT_TRUE(player->Create(GetModuleHandleW(nullptr), owner.window, 0, none));
    }
    CZELString File(const wchar_t* name, const std::string& bytes)
    {
        std::wstring path = folder.path + name;
        TestSupport::WriteWholeFile(path, bytes);
        return CZELString(path.c_str());
    }
    int Count(const std::string& prefix)
    {
        return int(std::count_if(audio.calls.begin(), audio.calls.end(),
                                 [&](const std::string& call) { return call.compare(0, prefix.size(), prefix) == 0; }));
    }

    RecordingAudio audio;
    TestSupport::TempFolder folder;
    OwnerWindow owner;
    GlobalSettings settings;
    std::unique_ptr<CSoundPlayer> player;
};

}  // namespace

TEST(WavFileTest, HeaderAndSamples)
{
    struct Case {
        const char* name;
        std::string bytes;
        bool reads;
        size_t samples;
        unsigned short channels, bits;
    } cases[] = {
        {"44 bytes: empty samples", Wav(1, 8000, 8, 0), true, 0, 1, 8},
        {"43 bytes refused", Wav(1, 8000, 8, 0).substr(0, 43), false, 0, 0, 0},
        {"nothing", "", false, 0, 0, 0},
        {"8-bit mono", Wav(1, 11025, 8, 100), true, 100, 1, 8},
        {"16-bit stereo", Wav(2, 22050, 16, 64), true, 64, 2, 16},
        {"longer format chunk: its tail is samples", Wav(1, 8000, 8, 10, 2), true, 12, 1, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WavFile wav;
        EXPECT_EQ(wav.Parse(reinterpret_cast<const unsigned char*>(c.bytes.data()), c.bytes.size()), c.reads);
        if (!c.reads) continue;
        EXPECT_EQ(wav.data.size(), c.samples);
        EXPECT_EQ(wav.format.nChannels, c.channels);
        EXPECT_EQ(wav.format.wBitsPerSample, c.bits);
        EXPECT_EQ(wav.format.wFormatTag, WAVE_FORMAT_PCM);
    }
    // Samples past 8 MB are not read.
    std::string big = Wav(1, 8000, 8, 0) + std::string(WavFile::MaxDataSize + 100, 'x');
    TestSupport::TempFolder folder(L"WavFileTest");
    std::wstring path = folder.path + L"big.wav";
    ASSERT_TRUE(TestSupport::WriteWholeFile(path, big));
    WavFile wav;
    ASSERT_TRUE(wav.Read(path.c_str()));
    EXPECT_EQ(wav.data.size(), size_t(WavFile::MaxDataSize));
    EXPECT_FALSE(wav.Read((folder.path + L"missing.wav").c_str()));
}

TEST(SoundVolume, BothChannelsClamped)
{
    EXPECT_EQ(CSoundPlayer::VolumeFor(10), 0xFFFFFFFFu);
    EXPECT_EQ(CSoundPlayer::VolumeFor(5), 0x7FFF7FFFu);
    EXPECT_EQ(CSoundPlayer::VolumeFor(0), 0u);
    EXPECT_EQ(CSoundPlayer::VolumeFor(11), 0xFFFFFFFFu);
    EXPECT_EQ(CSoundPlayer::VolumeFor(-3), 0u);
}

TEST_F(SoundPlayerTest, SimplePathHandsTheFileToTheSystem)
{
    settings.alertAdvancedSound = false;
    player->PlayFile(L"C:\\a.wav");
    ASSERT_EQ(audio.calls.size(), 1u);
    EXPECT_EQ(audio.calls[0], "PlaySound C:\\a.wav 20013");
}

TEST_F(SoundPlayerTest, RequestsPlayInTurnAtTheAlertVolume)
{
    settings.alertVolume = 5;
    CZELString first = File(L"first.wav", Wav(1, 8000, 8, 10));
    CZELString second = File(L"second.wav", Wav(2, 22050, 16, 20));
    player->PlayFile(first);
    player->PlayFile(second);
    std::vector<std::string> expected = {
        "Open 0 tag 1 ch 1 rate 8000 bits 8 flags 10000", "Volume 1 7FFF7FFF", "Prepare 1 10", "Write 1",
        "Open 0 tag 1 ch 2 rate 22050 bits 16 flags 10000", "Volume 2 7FFF7FFF", "Prepare 2 20",
    };
    EXPECT_EQ(audio.calls, expected);
    EXPECT_EQ(player->Queued(), 1u);
    // The first buffer ends: its device goes and the second plays.
    ASSERT_TRUE(audio.Finish());
    Pump();
    EXPECT_EQ(Count("Close 1"), 1);
    EXPECT_EQ(audio.calls.back(), "Write 2");
    ASSERT_TRUE(audio.Finish());
    Pump();
    EXPECT_EQ(audio.openDevices, 0);
    EXPECT_EQ(player->Playing(), 0);
    // An empty (44-byte) file still releases its device.
    player->PlayFile(File(L"empty.wav", Wav(1, 8000, 8, 0)));
    EXPECT_EQ(Count("Prepare 3 0"), 1);
    audio.Finish();
    Pump();
    EXPECT_EQ(audio.openDevices, 0);
}

TEST_F(SoundPlayerTest, FailuresEndOneRequestOnly)
{
    // Too short, missing: nothing opened.
    player->PlayFile(File(L"short.wav", Wav(1, 8000, 8, 0).substr(0, 43)));
    player->PlayFile(CZELString((folder.path + L"missing.wav").c_str()));
    EXPECT_EQ(Count("Open"), 0);
    // No device opens: quietly nothing.
    CZELString wav = File(L"ok.wav", Wav(1, 8000, 8, 4));
    audio.devices = 0;
    player->PlayFile(wav);
    audio.devices = 2;
    audio.firstWorkingDevice = 5;
    player->PlayFile(wav);
    EXPECT_EQ(Count("Open"), 2);
    EXPECT_EQ(audio.openDevices, 0);
    // The second device is taken when the first will not open.
    audio.firstWorkingDevice = 1;
    audio.autoFinish = true;
    player->PlayFile(wav);
    Pump();
    EXPECT_EQ(Count("Open 1"), 2);
    EXPECT_EQ(Count("Write 1"), 1);
    EXPECT_EQ(audio.openDevices, 0);
    audio.firstWorkingDevice = 0;
    // A failed preparation closes its device.
    audio.failPrepare = true;
    player->PlayFile(wav);
    audio.failPrepare = false;
    EXPECT_EQ(audio.openDevices, 0);
    // A failed write lets the request queued behind it play at once.
    audio.autoFinish = false;
    audio.failWrites = 1;
    player->PlayFile(wav);
    EXPECT_EQ(audio.openDevices, 0);
    EXPECT_EQ(player->Playing(), 0);
    player->PlayFile(wav);
    EXPECT_EQ(player->Playing(), 1);
    audio.failWrites = 1;
    audio.Finish();
    Pump();
}

TEST_F(SoundPlayerTest, TheEndClosesEveryDevice)
{
    CZELString wav = File(L"ok.wav", Wav(1, 8000, 8, 4));
    player->PlayFile(wav);
    player->PlayFile(wav);
    player->PlayFile(wav);
    EXPECT_EQ(audio.openDevices, 3);
    player.reset();
    EXPECT_EQ(audio.openDevices, 0);
    EXPECT_EQ(Count("Reset 1"), 1);
    EXPECT_EQ(Count("Unprepare"), 3);
}

TEST_F(SoundPlayerTest, UnattendedDeviceIsPoweredFirst)
{
    SetSystemPowerStateName(L"unattended", 0, POWER_FORCE);
    HandheldResetPowerLog();
    settings.alertAdvancedSound = false;
    player->PlayFile(L"x.wav");
    HandheldPowerLog log;
    HandheldGetPowerLog(&log);
    EXPECT_EQ(std::wstring(log.systemPowerState), L"screenoff");
    EXPECT_EQ(log.lastSetSystemPowerOptions, ULONG(POWER_FORCE));
    EXPECT_EQ(log.getDevicePowerCalls, 1);  // full power at the first question
    EXPECT_EQ(std::wstring(log.lastDevicePowerName), L"wav1:");
    SetSystemPowerStateName(L"on", 0, POWER_FORCE);
}

TEST(SoundPlayerReal, WithoutADeviceEachRequestEndsQuietly)
{
    ZEL_REQUIRE_DISPLAY();
    TestSupport::TempFolder folder(L"SoundPlayerReal");
    std::wstring path = folder.path + L"tone.wav";
    ASSERT_TRUE(TestSupport::WriteWholeFile(path, Wav(1, 8000, 8, 800)));
    OwnerWindow owner;
    GlobalSettings settings;
    settings.alertVolume = 3;
    for (bool advanced : {false, true}) {
        settings.alertAdvancedSound = advanced;
        CSoundPlayer player(&settings);
        RECT none = {};
        ASSERT_TRUE(player.Create(GetModuleHandleW(nullptr), owner.window, 0, none));
        player.PlayFile(CZELString(path.c_str()));
        player.PlayFile(CZELString(path.c_str()));
        Pump();
        Sleep(50);
        Pump();
    }
}
