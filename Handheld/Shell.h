// Opening a web address with the shell's default handler, in a normal window and without error UI.
// Tests install an interceptor so that no real browser ever starts: while one is installed it
// receives the address in place of the shell, and its answer is the result.
#pragma once

#include "Handheld/HandheldApi.h"

#include <windows.h>

extern "C" {
typedef BOOL (*ShellOpenInterceptor)(LPCWSTR address, void* context);

// Hands an http, https or mailto address, trimmed of the blanks around it, to the shell (or the
// interceptor). Anything else (empty, another scheme, a path, a control character inside) is
// refused: FALSE, and it reaches neither.
HANDHELD_API BOOL ShellOpenAddress(LPCWSTR address);
// Installs an interceptor with its context; null restores the real shell.
HANDHELD_API void SetShellOpenInterceptor(ShellOpenInterceptor interceptor, void* context);

// The cab installer: starts the installer program (on the device "\windows\wceload.exe") with the
// cab file's path in double quotes, maximised. TRUE when it started. A desktop has no such program
// unless one is configured; every request is kept for the tests to read.
HANDHELD_API BOOL StartCabInstaller(LPCWSTR cabPath);
// The program StartCabInstaller runs; null restores the device's.
HANDHELD_API void SetCabInstaller(LPCWSTR program);
// How many installs were asked since the last reset, and the last cab file (clipped to size units
// with a zero; buffer may be null).
HANDHELD_API int GetCabInstallerLog(LPWSTR lastCab, DWORD size);
HANDHELD_API void ResetCabInstallerLog(void);
}
