#include "Zel/shell/alerts/AudioOutput.h"

namespace {

class SystemAudio : public IAudioOutput {
public:
    BOOL PlaySoundFile(const wchar_t* path, DWORD flags) override { return PlaySoundW(path, nullptr, flags); }
    UINT GetNumDevs() override { return waveOutGetNumDevs(); }
    MMRESULT Open(HWAVEOUT* device, UINT id, const WAVEFORMATEX* format, DWORD_PTR callback, DWORD flags) override
    {
        return waveOutOpen(device, id, format, callback, 0, flags);
    }
    MMRESULT SetVolume(HWAVEOUT device, DWORD volume) override { return waveOutSetVolume(device, volume); }
    MMRESULT Prepare(HWAVEOUT device, WAVEHDR* header) override
    {
        return waveOutPrepareHeader(device, header, sizeof *header);
    }
    MMRESULT Write(HWAVEOUT device, WAVEHDR* header) override { return waveOutWrite(device, header, sizeof *header); }
    MMRESULT Unprepare(HWAVEOUT device, WAVEHDR* header) override
    {
        return waveOutUnprepareHeader(device, header, sizeof *header);
    }
    MMRESULT Reset(HWAVEOUT device) override { return waveOutReset(device); }
    MMRESULT Close(HWAVEOUT device) override { return waveOutClose(device); }
};

SystemAudio System;
IAudioOutput* Current = nullptr;

}  // namespace

IAudioOutput& AudioOutput()
{
    return Current ? *Current : System;
}

void SetAudioOutput(IAudioOutput* output)
{
    Current = output;
}
