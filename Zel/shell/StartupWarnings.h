// What the user is told once the main window stands: for now, that the settings file is left as it
// is (the settings store could not read it, or it is read-only), so that settings changed in this
// run will not be kept.
#pragma once

#include "ZELCommon/ZELString.h"

#include <windows.h>

// The warning for a settings file at path that the store leaves as it is for error (its
// FileError); empty for 0.
CZELString SettingsFileWarning(const CZELString& path, unsigned long error);

// Shows every start-up warning there is (ShowUserWarning), owned by owner.
void ShowStartupWarnings(HWND owner);
