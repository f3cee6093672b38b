#include "Jabber/account/PluginModule.h"

HINSTANCE& PluginModule()
{
    static HINSTANCE module = GetModuleHandleW(nullptr);
    return module;
}
