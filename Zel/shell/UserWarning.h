// Warnings the user must see, shown in a message box over the program's window. Tests install an
// interceptor so that no dialog waits for a click: while one is installed it receives the text in
// place of the message box.
#pragma once

#include "ZELCommon/ZELString.h"

#include <windows.h>

typedef void (*UserWarningInterceptor)(const wchar_t* text, void* context);

// Shows text with a warning sign and an OK button, owned by owner (may be null), and returns when
// the user has closed it; an empty text shows nothing.
void ShowUserWarning(HWND owner, const CZELString& text);
// Installs an interceptor with its context; null restores the message box.
void SetUserWarningInterceptor(UserWarningInterceptor interceptor, void* context);
