// A stand-in for the device's package installer: writes the command line it was started with
// (UTF-16) to the file named by ZEL_TEST_INSTALLER_LOG, so that a test sees what the program handed
// to the installer.
#include <windows.h>

int main()
{
    wchar_t log[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"ZEL_TEST_INSTALLER_LOG", log, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 1;
    const wchar_t* line = GetCommandLineW();
    HANDLE file = CreateFileW(log, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    BOOL ok = WriteFile(file, line, DWORD(lstrlenW(line) * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
    return ok ? 0 : 1;
}
