// Our layer in place of the handheld shell's notification bubbles. A program adds a notification
// (class identifier and id), may change its icon, reads its record back and removes it. The shell
// shows one bubble: a small topmost window that never takes the focus, with the icon, the title,
// the body (the markup of BubbleHtml.h) and the soft keys along its bottom; a key posts
// WM_COMMAND (its command, 0) to the record's sink window. A notification flagged "straight to the
// tray" is kept and reported but shows no bubble. Every call is kept for the tests
// (HandheldGetNotificationLog). User-interface thread only.
#pragma once

#include "Handheld/HandheldApi.h"

#include <windows.h>

// SHNOTIFICATIONDATA.grfFlags.
const DWORD SHNF_STRAIGHTTOTRAY = 0x00000001;
const DWORD SHNF_CRITICAL = 0x00000002;
const DWORD SHNF_FORCEMESSAGE = 0x00000008;
const DWORD SHNF_DISPLAYON = 0x00000010;
const DWORD SHNF_SILENT = 0x00000020;
const DWORD SHNF_HASMENU = 0x00000040;
const DWORD SHNF_TITLETIME = 0x00000080;
const DWORD SHNF_SPINNERS = 0x00000100;
const DWORD SHNF_ALERTONUPDATE = 0x00000200;

// SHNotificationUpdate masks.
const DWORD SHNUM_PRIORITY = 0x0001;
const DWORD SHNUM_DURATION = 0x0002;
const DWORD SHNUM_ICON = 0x0004;
const DWORD SHNUM_HTML = 0x0008;
const DWORD SHNUM_TITLE = 0x0010;
const DWORD SHNUM_SOFTKEYS = 0x0020;
const DWORD SHNUM_TODAYKEY = 0x0040;
const DWORD SHNUM_TODAYEXEC = 0x0080;
const DWORD SHNUM_SOFTKEYCMDS = 0x0100;
const DWORD SHNUM_FLAGS = 0x0200;

// Priorities.
enum SHNP { SHNP_INFORM = 0x1B1, SHNP_ICONIC = 0 };

// A soft key's flags.
const DWORD NOTIF_SOFTKEY_FLAGS_DISMISS = 0x0000;
const DWORD NOTIF_SOFTKEY_FLAGS_HIDE = 0x0001;
const DWORD NOTIF_SOFTKEY_FLAGS_STAYOPEN = 0x0002;
const DWORD NOTIF_SOFTKEY_FLAGS_SUBMIT_FORM = 0x0004;
const DWORD NOTIF_SOFTKEY_FLAGS_DISABLED = 0x0008;

const int NOTIF_NUM_SOFTKEYS = 2;

struct SOFTKEYNOTIFY {
    LPCWSTR pszTitle;
    DWORD skc;  // command
    DWORD grfFlags;
};

struct SHNOTIFICATIONDATA {
    DWORD cbStruct;
    DWORD dwID;
    SHNP npPriority;
    DWORD csDuration;
    HICON hicon;
    DWORD grfFlags;
    CLSID clsid;
    HWND hwndSink;
    LPCWSTR pszHTML;
    LPCWSTR pszTitle;
    LPARAM lParam;
    SOFTKEYNOTIFY rgskn[NOTIF_NUM_SOFTKEYS];
    LPCWSTR pszTodaySK;
    LPCWSTR pszTodayExec;
};

// What the tests read: the calls since the last reset and the notification that stands.
struct HandheldNotificationLog {
    int addCalls;
    int updateCalls;
    int removeCalls;
    int getDataCalls;
    DWORD lastUpdateMask;
    BOOL present;  // a notification stands
    BOOL popup;    // ... and shows its bubble (not straight to the tray)
    HWND bubble;   // the bubble window, null while none shows
    CLSID clsid;
    DWORD id;
    DWORD flags;
    SHNP priority;
    DWORD duration;
    HICON icon;
    HWND sink;
    LPARAM lParam;
    WCHAR title[128];
    WCHAR html[1024];
    int softKeyCount;
    WCHAR softKeyTitle[NOTIF_NUM_SOFTKEYS][32];
    DWORD softKeyCommand[NOTIF_NUM_SOFTKEYS];
    DWORD softKeyFlags[NOTIF_NUM_SOFTKEYS];
    WCHAR todayKey[32];
    WCHAR todayExec[MAX_PATH];
};

extern "C" {
// Adds the notification; one with the same class and id is replaced. E_INVALIDARG for a missing
// or short record.
HANDHELD_API LRESULT SHNotificationAdd(SHNOTIFICATIONDATA* data);
// Changes the parts the mask names of a standing notification (matched by data's class and id).
HANDHELD_API LRESULT SHNotificationUpdate(DWORD mask, SHNOTIFICATIONDATA* data);
HANDHELD_API LRESULT SHNotificationRemove(const CLSID* clsid, DWORD id);
// Fills data with the standing notification's record. Its text pointers are the layer's own,
// valid until the next call that changes the notification.
HANDHELD_API LRESULT SHNotificationGetData(const CLSID* clsid, DWORD id, SHNOTIFICATIONDATA* data);

HANDHELD_API void HandheldGetNotificationLog(HandheldNotificationLog* log);
// Clears the counters; the standing notification stays.
HANDHELD_API void HandheldResetNotificationLog(void);
// The bubble's soft key at index as the user would press it (what a click on it does); FALSE when
// no bubble shows or it has no such key.
HANDHELD_API BOOL HandheldPressNotificationKey(int index);
}
