// The handheld's point-to-point message queues: a queue named by its creator holds whole messages
// (each at most the queue's message size) in arrival order; every CreateMsgQueue of the same name
// opens the same queue, for reading or for writing. Unnamed queues are private to their handle.
// The power manager writes its notifications into such queues (Power.h). Any thread.
#pragma once

#include "Handheld/HandheldApi.h"

#include <windows.h>

// MSGQUEUEOPTIONS.dwFlags.
const DWORD MSGQUEUE_NOPRECOMMIT = 0x00000001;
const DWORD MSGQUEUE_ALLOW_BROKEN = 0x00000002;
// ReadMsgQueue's out flags.
const DWORD MSGQUEUE_MSGALERT = 0x00000001;

struct MSGQUEUEOPTIONS {
    DWORD dwSize;        // sizeof(MSGQUEUEOPTIONS)
    DWORD dwFlags;
    DWORD dwMaxMessages;  // 0: no limit
    DWORD cbMaxMessage;   // the largest message, in bytes
    BOOL bReadAccess;     // the handle reads (TRUE) or writes (FALSE)
};

extern "C" {
// A handle to the named queue (made with the options when new), or null for bad options.
HANDHELD_API HANDLE CreateMsgQueue(LPCWSTR name, MSGQUEUEOPTIONS* options);
// Takes the oldest message into buffer, waiting up to timeout ms (INFINITE for ever). FALSE with
// ERROR_TIMEOUT when none came, ERROR_INSUFFICIENT_BUFFER when it does not fit (it stays queued),
// ERROR_ACCESS_DENIED on a writing handle.
HANDHELD_API BOOL ReadMsgQueue(HANDLE queue, LPVOID buffer, DWORD size, LPDWORD read, DWORD timeout, DWORD* flags);
// Appends a message; FALSE with ERROR_INSUFFICIENT_BUFFER when it is larger than the queue's message
// size, ERROR_TIMEOUT when the queue is full (no wait), ERROR_ACCESS_DENIED on a reading handle.
HANDHELD_API BOOL WriteMsgQueue(HANDLE queue, LPVOID buffer, DWORD size, DWORD timeout, DWORD flags);
HANDHELD_API BOOL CloseMsgQueue(HANDLE queue);
}
