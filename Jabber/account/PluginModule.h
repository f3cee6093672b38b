// The module whose resources hold the plug-in's dialog templates: Jabber.dll once its entry point
// has run, else the program (a test linking the account's code).
#pragma once

#include <windows.h>

HINSTANCE& PluginModule();
