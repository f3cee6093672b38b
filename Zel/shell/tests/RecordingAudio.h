// An audio output that plays nothing and keeps every call as a line of text, for the tests of the
// sound player and of whatever raises alerts. Devices are numbered handles; a written buffer is
// finished (MM_WOM_DONE posted to the window the device reports to) at once when autoFinish is
// set, else when the test calls Finish. Installed for its own life.
#pragma once

#include "Zel/shell/alerts/AudioOutput.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

class RecordingAudio : public IAudioOutput {
public:
    RecordingAudio() { SetAudioOutput(this); }
    ~RecordingAudio() override { SetAudioOutput(nullptr); }

    BOOL PlaySoundFile(const wchar_t* path, DWORD flags) override
    {
        Log("PlaySound " + Narrow(path) + " " + Hex(flags));
        sounds.push_back(path ? path : L"");
        return TRUE;
    }
    UINT GetNumDevs() override { return devices; }
    MMRESULT Open(HWAVEOUT* device, UINT id, const WAVEFORMATEX* format, DWORD_PTR callback, DWORD flags) override
    {
        Log("Open " + std::to_string(id) + " tag " + std::to_string(format->wFormatTag) + " ch " +
            std::to_string(format->nChannels) + " rate " + std::to_string(format->nSamplesPerSec) + " bits " +
            std::to_string(format->wBitsPerSample) + " flags " + Hex(flags));
        if (int(id) < firstWorkingDevice) return MMSYSERR_ALLOCATED;
        *device = reinterpret_cast<HWAVEOUT>(UINT_PTR(++opened));
        windows[*device] = (flags & CALLBACK_WINDOW) ? reinterpret_cast<HWND>(callback) : nullptr;
        ++openDevices;
        return MMSYSERR_NOERROR;
    }
    MMRESULT SetVolume(HWAVEOUT device, DWORD volume) override
    {
        Log("Volume " + Id(device) + " " + Hex(volume));
        return MMSYSERR_NOERROR;
    }
    MMRESULT Prepare(HWAVEOUT device, WAVEHDR* header) override
    {
        Log("Prepare " + Id(device) + " " + std::to_string(header->dwBufferLength));
        return failPrepare ? MMSYSERR_NOMEM : MMSYSERR_NOERROR;
    }
    MMRESULT Write(HWAVEOUT device, WAVEHDR* header) override
    {
        Log("Write " + Id(device));
        if (failWrites > 0) {
            --failWrites;
            return MMSYSERR_ERROR;
        }
        pending.push_back({device, header});
        if (autoFinish) Finish();
        return MMSYSERR_NOERROR;
    }
    MMRESULT Unprepare(HWAVEOUT device, WAVEHDR*) override
    {
        Log("Unprepare " + Id(device));
        return MMSYSERR_NOERROR;
    }
    MMRESULT Reset(HWAVEOUT device) override
    {
        Log("Reset " + Id(device));
        return MMSYSERR_NOERROR;
    }
    MMRESULT Close(HWAVEOUT device) override
    {
        Log("Close " + Id(device));
        --openDevices;
        return MMSYSERR_NOERROR;
    }

    // The oldest written buffer ends: the device reports it to its window.
    bool Finish()
    {
        if (pending.empty()) return false;
        auto done = pending.front();
        pending.erase(pending.begin());
        HWND window = windows[done.first];
        if (window) PostMessageW(window, MM_WOM_DONE, WPARAM(done.first), LPARAM(done.second));
        return true;
    }

    std::vector<std::string> calls;
    std::vector<std::wstring> sounds;
    UINT devices = 1;
    int firstWorkingDevice = 0;
    bool failPrepare = false;
    int failWrites = 0;
    bool autoFinish = false;
    int openDevices = 0;

private:
    void Log(const std::string& line) { calls.push_back(line); }
    static std::string Id(HWAVEOUT device) { return std::to_string(UINT_PTR(device)); }
    static std::string Hex(DWORD value)
    {
        char text[16];
        snprintf(text, sizeof text, "%lX", static_cast<unsigned long>(value));
        return text;
    }
    static std::string Narrow(const wchar_t* text)
    {
        std::string out;
        for (; text && *text; ++text) out += char(*text < 128 ? *text : '?');
        return out;
    }

    int opened = 0;
    std::map<HWAVEOUT, HWND> windows;
    std::vector<std::pair<HWAVEOUT, WAVEHDR*>> pending;
};
