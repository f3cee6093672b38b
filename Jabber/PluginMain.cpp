// Jabber.dll's entry point and its export for the tests.
#include "Jabber/account/JabberAccount.h"
#include "Jabber/account/PluginAccounts.h"
#include "Jabber/account/PluginModule.h"
#include "Jabber/account/Timings.h"

#include <windows.h>


BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) PluginModule() = instance;
    return TRUE;
}

// Lets the tests shorten the waits of the accounts created after the call; 0 keeps a wait as it is.
extern "C" void JabberTestTimings(unsigned reconnectDelayMs, unsigned negotiationLimitMs)
{
    if (reconnectDelayMs) Timings().reconnectDelayMs = reconnectDelayMs;
    if (negotiationLimitMs) Timings().negotiationLimitMs = negotiationLimitMs;
}

// Lets the tests do what the details dialogs do: ask for the vCard of jid (publish 0) or publish the
// own one (publish 1), on the account's queue. False when the account is unknown or busy stopping.
extern "C" bool JabberTestDetails(unsigned accountId, int publish, const wchar_t* jid)
{
    bool queued = false;
    PluginAccounts().WithAccountId(accountId, [&](JabberAccount* account) {
        queued = publish ? account->QueueOwnVCardPublication() : account->QueueVCardRequest(CZELString(jid ? jid : L""));
    });
    return queued;
}

// The contact menus' authorisation actions, for the tests to run as a menu item would.
extern "C" MenuCallback JabberTestContactAction(int action)
{
    return JabberAccount::ContactActionCallback(action);
}
