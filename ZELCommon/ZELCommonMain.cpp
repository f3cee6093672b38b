#include "ZELCommon/ZELCommonMain.h"

namespace {
HINSTANCE g_module = nullptr;
}

HINSTANCE GetZELCommonModule()
{
    return g_module;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) g_module = instance;
    return TRUE;
}
