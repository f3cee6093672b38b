// Linux programs and files from tests that run under Wine. Wine maps the Unix root as a drive and
// starts a Unix program when asked to (CreateProcess on it), but hands back no process handle, so a
// program run this way reports through files, which the test polls. Header only, for any test
// program.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace TestSupport {

inline std::wstring Widen(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

// The Windows path of a Unix path, through Wine's own mapping (Z: maps / by default).
inline std::wstring DosPath(const std::string& unixPath)
{
    typedef WCHAR*(CDECL * DosName)(const char*);
    static DosName toDos = reinterpret_cast<DosName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    if (toDos) {
        if (WCHAR* dos = toDos(unixPath.c_str())) {
            std::wstring out(dos);
            HeapFree(GetProcessHeap(), 0, dos);
            return out;
        }
    }
    std::wstring out = L"Z:" + Widen(unixPath);
    for (wchar_t& c : out)
        if (c == L'/') c = L'\\';
    return out;
}

inline bool FileExists(const std::string& unixPath)
{
    return GetFileAttributesW(DosPath(unixPath).c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline std::string ReadTextFile(const std::string& unixPath)
{
    HANDLE file = CreateFileW(DosPath(unixPath).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0 && text.size() < 1000000)
        text.append(buffer, got);
    CloseHandle(file);
    return text;
}

// Writes the bytes of text (any bytes) as the whole file.
inline bool WriteTextFile(const std::string& unixPath, const std::string& text)
{
    HANDLE file = CreateFileW(DosPath(unixPath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == text.size();
}

// Runs the Unix script with bash, each argument quoted; false, with the reason in failure, when it
// cannot be started. The script runs on by itself: it reports through files.
inline bool StartUnixScript(const std::string& script, const std::vector<std::string>& arguments, std::string& failure)
{
    std::wstring command = L"\"" + DosPath("/bin/bash") + L"\" \"" + Widen(script) + L"\"";
    for (const std::string& argument : arguments) command += L" \"" + Widen(argument) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::vector<wchar_t> line(command.begin(), command.end());
    line.push_back(0);
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &process)) {
        failure = "cannot run " + script + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    // Wine gives no process handle for a Unix program, and leaves in the thread handle whatever it
    // held: a number that may name one of this process's own handles (a thread's desktop, closed
    // under it, makes every later window of that thread fail). Only a real process's are closed.
    if (process.hProcess) {
        CloseHandle(process.hProcess);
        if (process.hThread) CloseHandle(process.hThread);
    }
    return true;
}

} // namespace TestSupport
