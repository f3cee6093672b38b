// Jabber.dll's entry point and its export for the tests.
#include "Jabber/account/JabberAccount.h"
#include "Jabber/account/Timings.h"

#include <windows.h>

// The library's module handle, for the dialog resources of the pages to come.
HINSTANCE ModuleInstance = nullptr;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) ModuleInstance = instance;
    return TRUE;
}

// Lets the tests shorten the waits of the accounts created after the call; 0 keeps a wait as it is.
extern "C" void JabberTestTimings(unsigned reconnectDelayMs, unsigned negotiationLimitMs)
{
    if (reconnectDelayMs) Timings().reconnectDelayMs = reconnectDelayMs;
    if (negotiationLimitMs) Timings().negotiationLimitMs = negotiationLimitMs;
}

// The contact menus' authorisation actions, for the tests to run as a menu item would.
extern "C" MenuCallback JabberTestContactAction(int action)
{
    return JabberAccount::ContactActionCallback(action);
}
