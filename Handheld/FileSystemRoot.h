// The handheld's file system has one root, "\". On the desktop that root is a folder: the drive the
// program runs from, unless something (the tests) names another. Device paths map onto it by
// putting the folder in place of the leading "\".
#pragma once

#include "Handheld/HandheldApi.h"

#include <windows.h>

extern "C" {
// Copies the root folder, ending in "\", into buffer (at most size - 1 units and a zero); its full
// length in units.
HANDHELD_API DWORD GetDeviceRootFolder(LPWSTR buffer, DWORD size);
// Sets the root folder (a "\" is added when missing); null or empty returns to the program's drive.
HANDHELD_API void SetDeviceRootFolder(LPCWSTR folder);
}
