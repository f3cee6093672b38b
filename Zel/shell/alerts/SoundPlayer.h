// CSoundPlayer: plays the WAV files of alerts. The device is powered first when the handheld is
// unattended or resuming; then either the system's simple sound call plays the file, or (the
// "advanced sound engine" option) the player itself plays it through a waveOut device at the
// alert volume, one request after another, each finished buffer reported to this hidden window.
// Every failure is silent and never keeps the next request from playing.
// User-interface thread only.
#pragma once

#include "Zel/shell/alerts/AudioOutput.h"
#include "ZELCommon/ZELString.h"
#include "ZELCommon/ZELWMUI_Wnd.h"

#include <cstddef>
#include <deque>
#include <vector>

class GlobalSettings;

// A WAV file taken as a 44-byte canonical header followed by its samples.
struct WavFile {
    enum : unsigned { HeaderSize = 44, MaxDataSize = 8u * 1024 * 1024 };

    // False for a file that cannot be read or is shorter than the header. The samples read are
    // the rest of the file, at most MaxDataSize bytes.
    bool Read(const wchar_t* path);
    // The same over bytes in memory.
    bool Parse(const unsigned char* bytes, size_t length);

    WAVEFORMATEX format = {};
    std::vector<unsigned char> data;
};

class CSoundPlayer : public UI::CZELWMUI_Wnd {
public:
    explicit CSoundPlayer(const GlobalSettings* settings);
    ~CSoundPlayer() override;

    void PlayFile(const CZELString& path);
    // The Sound of that event's alert entry, when its SoundOn is set.
    void PlayEventSound(int event);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    // The one 32-bit volume for "AlertVol" (clamped to 0..10): the same level on both channels.
    static DWORD VolumeFor(int alertVolume);

    size_t Queued() const { return queue.size(); }
    int Playing() const { return playing; }

private:
    struct Request {
        HWAVEOUT device;
        WAVEHDR* header;
    };

    void PowerAudioDevice();
    void PlayOwn(const CZELString& path);
    void PlayNext();
    void Release(HWAVEOUT device, WAVEHDR* header);

    const GlobalSettings* settings;
    std::deque<Request> queue;
    int playing;
    // What is written and not finished: closed at the end if it never reports.
    std::vector<Request> written;
};
