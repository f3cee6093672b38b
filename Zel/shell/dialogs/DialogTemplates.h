// The program's dialogs on its common template (132): an empty full-screen dialog that each dialog
// object fills with its own windows.
#pragma once

#include "Zel/shell/ZelResources.h"

#include <windows.h>

namespace UI {
class CZELWMUI_Dlg;
}

// Runs the dialog modally over owner; the dialog's end code, -1 when it could not be made.
int DoModalDialog(UI::CZELWMUI_Dlg* dialog, HWND owner);
// Makes the dialog modeless under owner; its window, or null.
HWND CreateModelessDialog(UI::CZELWMUI_Dlg* dialog, HWND owner);
