// Device identity of the handheld: the serial number of its cellular line and its OEM information
// text. A desktop has neither, so each is a configured value, empty until something sets it (the
// tests, or the program where it knows better).
#pragma once

#include "Handheld/HandheldApi.h"

#include <windows.h>

extern "C" {
// Serial number of the line device named "Cellular Line". Copies at most size - 1 units and a zero
// into buffer (when buffer is given and size > 0) and returns the serial's full length in units, 0
// when there is no such line; a caller whose buffer was short asks again with length + 1 units.
HANDHELD_API DWORD GetCellularLineSerial(LPWSTR buffer, DWORD size);
// Sets the serial the cellular line reports; null or empty text means the device has no such line.
HANDHELD_API void SetCellularLineSerial(LPCWSTR serial);

// The OEM information text (the handheld's system parameter SPI_GETOEMINFO). Copies at most
// size - 1 units and a zero into buffer; FALSE when there is no buffer to fill.
HANDHELD_API BOOL GetOemInfoText(LPWSTR buffer, UINT size);
// Sets the OEM information text; null means empty.
HANDHELD_API void SetOemInfoText(LPCWSTR text);

// The screen's logical pixels per inch along LOGPIXELSX or LOGPIXELSY: the configured density, or
// the desktop screen's while none is configured. The shell layer draws its bars at this density.
HANDHELD_API int GetScreenLogPixels(int axis);
// Configures the screen's density for both axes (a handheld's screen is 96, 128, 192 dpi...); 0
// returns to the desktop screen's.
HANDHELD_API void SetScreenLogPixels(int dpi);
}
