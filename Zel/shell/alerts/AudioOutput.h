// The one seam between the sound player and the system's audio: the simple sound call and the
// waveOut device calls. The program uses the system's; tests put a recording one in its place.
#pragma once

#include <windows.h>
#include <mmsystem.h>

class IAudioOutput {
public:
    virtual ~IAudioOutput() {}
    virtual BOOL PlaySoundFile(const wchar_t* path, DWORD flags) = 0;
    virtual UINT GetNumDevs() = 0;
    virtual MMRESULT Open(HWAVEOUT* device, UINT id, const WAVEFORMATEX* format, DWORD_PTR callback, DWORD flags) = 0;
    virtual MMRESULT SetVolume(HWAVEOUT device, DWORD volume) = 0;
    virtual MMRESULT Prepare(HWAVEOUT device, WAVEHDR* header) = 0;
    virtual MMRESULT Write(HWAVEOUT device, WAVEHDR* header) = 0;
    virtual MMRESULT Unprepare(HWAVEOUT device, WAVEHDR* header) = 0;
    virtual MMRESULT Reset(HWAVEOUT device) = 0;
    virtual MMRESULT Close(HWAVEOUT device) = 0;
};

// The output in use: the system's unless one was set.
IAudioOutput& AudioOutput();
// Null restores the system's.
void SetAudioOutput(IAudioOutput* output);
