#include "Zel/shell/alerts/SoundPlayer.h"

#include "Zel/prefs/GlobalSettings.h"
#include "Handheld/Power.h"

#include <cstdio>
#include <cwchar>
#include <memory>
#include <new>

namespace {

const DWORD kSimpleSoundFlags = SND_FILENAME | SND_NOSTOP | SND_NODEFAULT | SND_ASYNC;
const int kPowerWaits = 5;
const DWORD kPowerWaitMs = 1000;

unsigned Read16(const unsigned char* at)
{
    return unsigned(at[0]) | unsigned(at[1]) << 8;
}

unsigned Read32(const unsigned char* at)
{
    return Read16(at) | Read16(at + 2) << 16;
}

struct FileCloser {
    void operator()(FILE* file) const { fclose(file); }
};

}  // namespace

// ---- WAV files ----

bool WavFile::Parse(const unsigned char* bytes, size_t length)
{
    data.clear();
    if (!bytes || length < HeaderSize) return false;
    format = WAVEFORMATEX();
    format.wFormatTag = WORD(Read16(bytes + 20));
    format.nChannels = WORD(Read16(bytes + 22));
    format.nSamplesPerSec = Read32(bytes + 24);
    format.nAvgBytesPerSec = Read32(bytes + 28);
    format.nBlockAlign = WORD(Read16(bytes + 32));
    format.wBitsPerSample = WORD(Read16(bytes + 34));
    size_t size = length - HeaderSize;
    if (size > MaxDataSize) size = MaxDataSize;
    data.assign(bytes + HeaderSize, bytes + HeaderSize + size);
    return true;
}

bool WavFile::Read(const wchar_t* path)
{
    data.clear();
    if (!path) return false;
    std::unique_ptr<FILE, FileCloser> file(_wfopen(path, L"rb"));
    if (!file) return false;
    unsigned char header[HeaderSize];
    if (fread(header, 1, HeaderSize, file.get()) != HeaderSize) return false;
    // The samples: whatever the file holds after the header, never more than the cap.
    std::vector<unsigned char> bytes(header, header + HeaderSize);
    unsigned char chunk[16384];
    size_t got;
    while (bytes.size() < size_t(HeaderSize) + MaxDataSize && (got = fread(chunk, 1, sizeof chunk, file.get())) > 0) {
        size_t room = size_t(HeaderSize) + MaxDataSize - bytes.size();
        bytes.insert(bytes.end(), chunk, chunk + (got < room ? got : room));
    }
    return Parse(bytes.data(), bytes.size());
}

// ---- The player ----

CSoundPlayer::CSoundPlayer(const GlobalSettings* settings) : settings(settings), playing(0) {}

CSoundPlayer::~CSoundPlayer()
{
    // Nothing plays on past the player: every device it holds is stopped and closed.
    IAudioOutput& audio = AudioOutput();
    for (const Request& request : written) {
        audio.Reset(request.device);
        Release(request.device, request.header);
    }
    for (const Request& request : queue) Release(request.device, request.header);
    written.clear();
    queue.clear();
}

DWORD CSoundPlayer::VolumeFor(int alertVolume)
{
    if (alertVolume < 0) alertVolume = 0;
    if (alertVolume > 10) alertVolume = 10;
    DWORD level = DWORD(alertVolume * 6553.5);
    return level | level << 16;
}

void CSoundPlayer::PlayEventSound(int event)
{
    if (!settings || event < 0 || event >= settings->alerts.GetCount()) return;
    const AlertEntry& entry = settings->alerts[event];
    if (entry.soundOn) PlayFile(entry.sound);
}

void CSoundPlayer::PowerAudioDevice()
{
    wchar_t state[101] = L"";
    DWORD flags = 0;
    if (GetSystemPowerStateName(state, 100, &flags) != ERROR_SUCCESS) return;
    if (_wcsicmp(state, L"unattended") != 0 && _wcsicmp(state, L"resuming") != 0) return;
    SetSystemPowerStateName(L"screenoff", 0, POWER_FORCE);
    for (int i = 0; i < kPowerWaits; ++i) {
        Sleep(kPowerWaitMs);
        CEDEVICE_POWER_STATE power = PwrDeviceUnspecified;
        if (GetDevicePower(L"wav1:", POWER_NAME, &power) == ERROR_SUCCESS && power == D0) break;
    }
}

void CSoundPlayer::PlayFile(const CZELString& path)
{
    PowerAudioDevice();
    if (!settings || !settings->alertAdvancedSound) {
        AudioOutput().PlaySoundFile(path.GetBuffer() ? path.GetBuffer() : L"", kSimpleSoundFlags);
        return;
    }
    PlayOwn(path);
}

void CSoundPlayer::PlayOwn(const CZELString& path)
{
    WavFile wav;
    if (!wav.Read(path.GetBuffer())) return;
    IAudioOutput& audio = AudioOutput();
    HWAVEOUT device = nullptr;
    bool opened = false;
    UINT count = audio.GetNumDevs();
    for (UINT id = 0; id < count && !opened; ++id)
        opened = audio.Open(&device, id, &wav.format, DWORD_PTR(hwnd), CALLBACK_WINDOW) == MMSYSERR_NOERROR;
    if (!opened) return;
    audio.SetVolume(device, VolumeFor(settings->alertVolume));

    std::unique_ptr<WAVEHDR> header(new (std::nothrow) WAVEHDR());
    char* buffer = header ? new (std::nothrow) char[wav.data.size() + 1] : nullptr;
    if (!header || !buffer) {
        audio.Close(device);
        return;
    }
    if (!wav.data.empty()) memcpy(buffer, wav.data.data(), wav.data.size());
    header->lpData = buffer;
    header->dwBufferLength = DWORD(wav.data.size());
    if (audio.Prepare(device, header.get()) != MMSYSERR_NOERROR) {
        delete[] buffer;
        audio.Close(device);
        return;
    }
    queue.push_back(Request{device, header.release()});
    PlayNext();
}

void CSoundPlayer::PlayNext()
{
    // A request whose write fails ends there, and the next one is tried at once.
    while (!queue.empty() && playing == 0) {
        Request request = queue.front();
        queue.pop_front();
        if (AudioOutput().Write(request.device, request.header) == MMSYSERR_NOERROR) {
            ++playing;
            written.push_back(request);
            return;
        }
        Release(request.device, request.header);
    }
}

void CSoundPlayer::Release(HWAVEOUT device, WAVEHDR* header)
{
    IAudioOutput& audio = AudioOutput();
    if (header) {
        audio.Unprepare(device, header);
        delete[] header->lpData;
        delete header;
    }
    audio.Close(device);
}

LRESULT CSoundPlayer::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != MM_WOM_DONE) return CZELWMUI_Wnd::OnMessage(message, wParam, lParam);
    HWAVEOUT device = reinterpret_cast<HWAVEOUT>(wParam);
    WAVEHDR* header = reinterpret_cast<WAVEHDR*>(lParam);
    // Only a buffer this player wrote is released.
    for (size_t i = 0; i < written.size(); ++i) {
        if (written[i].device != device || written[i].header != header) continue;
        written.erase(written.begin() + long(i));
        Release(device, header);
        if (playing > 0) --playing;
        PlayNext();
        break;
    }
    return 0;
}
