// The worker thread of a connection and its steps. The worker does all the slow work on its own
// thread: it attaches the device to a network, connects directly or through a proxy, runs the
// secure handshake when asked, reports the outcome as one CM_CONNECT_RESULT, and then receives until
// the connection ends. Every message to the owner is posted without waiting, so the worker never
// waits for its owner and Close can wait for the worker.
#pragma once

// Winsock's header must come before anything that brings in windows.h.
#include <winsock2.h>

#include "ZELCommon/ZELString.h"

#include <windows.h>

class CConnection;

// The thread procedure Connect starts, with the connection as its argument; -1 for none.
DWORD WINAPI ConnectionThreadProc(void* connection);

// Asks the platform's Connection Manager for a network connection to the destination (or to the
// proxy) and waits for it; may take over the network's proxy into the settings. 0 attached; -1
// failed, after posting "Network error" and the detail; the wait's result when the Connection
// Manager did not become ready (nothing posted).
int AttachNetwork(CConnection* connection);

// Resolves host and connects the connection's socket to the first address that takes it,
// preparing the secure channel on it when the settings ask for one. 0 connected; otherwise the
// look-up's error or the last socket error, never 0, after posting the error text.
int ConnectToHost(CConnection* connection, const CZELString& host, int port);

// The text of a Connection Manager status; empty for a status without one.
CZELString GetConnMgrStatusText(int status);

// How long AttachNetwork waits for the Connection Manager to become ready, and for each change of
// the network connection's state. Tests shorten them; the program keeps the defaults.
struct AttachWaitLimits {
    DWORD readyMilliseconds = 10000;
    DWORD statusMilliseconds = 60000;
};
void SetAttachWaitLimits(const AttachWaitLimits& limits);
AttachWaitLimits GetAttachWaitLimits();
