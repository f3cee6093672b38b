#include "Handheld/Notification.h"

#include "Handheld/BubbleHtml.h"
#include "Handheld/NotificationBubble.h"

#include <cstring>
#include <cwchar>
#include <string>

namespace {

// The standing notification: its record with the texts kept here.
struct Standing {
    bool present = false;
    SHNOTIFICATIONDATA data = {};
    std::wstring html, title, todayKey, todayExec;
    std::wstring keys[NOTIF_NUM_SOFTKEYS];
};

Standing g_standing;
HandheldNotificationLog g_counters = {};

std::wstring Copy(LPCWSTR text)
{
    return text ? std::wstring(text) : std::wstring();
}

// The record's text pointers aimed at the kept copies.
void Repoint()
{
    SHNOTIFICATIONDATA& data = g_standing.data;
    data.pszHTML = g_standing.html.c_str();
    data.pszTitle = g_standing.title.c_str();
    data.pszTodaySK = g_standing.todayKey.c_str();
    data.pszTodayExec = g_standing.todayExec.c_str();
    for (int i = 0; i < NOTIF_NUM_SOFTKEYS; ++i) data.rgskn[i].pszTitle = g_standing.keys[i].c_str();
}

bool Matches(const CLSID* clsid, DWORD id)
{
    return g_standing.present && clsid && IsEqualCLSID(*clsid, g_standing.data.clsid) && id == g_standing.data.dwID;
}

bool ValidRecord(const SHNOTIFICATIONDATA* data)
{
    return data && data->cbStruct >= sizeof(SHNOTIFICATIONDATA);
}

// The bubble as the record says: shown unless it goes straight to the tray.
void Refresh()
{
    if (!g_standing.present || (g_standing.data.grfFlags & SHNF_STRAIGHTTOTRAY)) {
        NotificationBubble::Hide();
        return;
    }
    NotificationBubble::Content content;
    content.icon = g_standing.data.hicon;
    content.title = g_standing.title;
    content.html = g_standing.html;
    content.sink = g_standing.data.hwndSink;
    for (int i = 0; i < NOTIF_NUM_SOFTKEYS; ++i) {
        if (g_standing.keys[i].empty()) continue;
        content.keys.push_back({g_standing.keys[i], g_standing.data.rgskn[i].skc});
    }
    NotificationBubble::Show(content);
}

void Clip(WCHAR* out, size_t capacity, const std::wstring& text)
{
    wcsncpy(out, text.c_str(), capacity - 1);
    out[capacity - 1] = 0;
}

}  // namespace

LRESULT SHNotificationAdd(SHNOTIFICATIONDATA* data)
{
    if (!ValidRecord(data)) return E_INVALIDARG;
    ++g_counters.addCalls;
    g_standing.present = true;
    g_standing.data = *data;
    g_standing.html = Copy(data->pszHTML);
    g_standing.title = Copy(data->pszTitle);
    g_standing.todayKey = Copy(data->pszTodaySK);
    g_standing.todayExec = Copy(data->pszTodayExec);
    for (int i = 0; i < NOTIF_NUM_SOFTKEYS; ++i) g_standing.keys[i] = Copy(data->rgskn[i].pszTitle);
    Repoint();
    Refresh();
    return S_OK;
}

LRESULT SHNotificationUpdate(DWORD mask, SHNOTIFICATIONDATA* data)
{
    if (!ValidRecord(data)) return E_INVALIDARG;
    ++g_counters.updateCalls;
    g_counters.lastUpdateMask = mask;
    if (!Matches(&data->clsid, data->dwID)) return E_FAIL;
    SHNOTIFICATIONDATA& kept = g_standing.data;
    if (mask & SHNUM_PRIORITY) kept.npPriority = data->npPriority;
    if (mask & SHNUM_DURATION) kept.csDuration = data->csDuration;
    if (mask & SHNUM_ICON) kept.hicon = data->hicon;
    if (mask & SHNUM_FLAGS) kept.grfFlags = data->grfFlags;
    if (mask & SHNUM_HTML) g_standing.html = Copy(data->pszHTML);
    if (mask & SHNUM_TITLE) g_standing.title = Copy(data->pszTitle);
    if (mask & SHNUM_TODAYKEY) g_standing.todayKey = Copy(data->pszTodaySK);
    if (mask & SHNUM_TODAYEXEC) g_standing.todayExec = Copy(data->pszTodayExec);
    for (int i = 0; i < NOTIF_NUM_SOFTKEYS; ++i) {
        if (mask & SHNUM_SOFTKEYS) g_standing.keys[i] = Copy(data->rgskn[i].pszTitle);
        if (mask & SHNUM_SOFTKEYCMDS) {
            kept.rgskn[i].skc = data->rgskn[i].skc;
            kept.rgskn[i].grfFlags = data->rgskn[i].grfFlags;
        }
    }
    Repoint();
    // Only the icon changed: the bubble is drawn again where it stands.
    if (mask == SHNUM_ICON) NotificationBubble::SetIcon(kept.hicon);
    else Refresh();
    return S_OK;
}

LRESULT SHNotificationRemove(const CLSID* clsid, DWORD id)
{
    ++g_counters.removeCalls;
    if (!Matches(clsid, id)) return E_FAIL;
    g_standing = Standing();
    NotificationBubble::Hide();
    return S_OK;
}

LRESULT SHNotificationGetData(const CLSID* clsid, DWORD id, SHNOTIFICATIONDATA* data)
{
    ++g_counters.getDataCalls;
    if (!data) return E_INVALIDARG;
    if (!Matches(clsid, id)) return E_FAIL;
    *data = g_standing.data;
    return S_OK;
}

void HandheldGetNotificationLog(HandheldNotificationLog* log)
{
    if (!log) return;
    *log = g_counters;
    const SHNOTIFICATIONDATA& data = g_standing.data;
    log->present = g_standing.present;
    log->bubble = NotificationBubble::Window();
    log->popup = log->bubble != nullptr;
    if (!g_standing.present) return;
    log->clsid = data.clsid;
    log->id = data.dwID;
    log->flags = data.grfFlags;
    log->priority = data.npPriority;
    log->duration = data.csDuration;
    log->icon = data.hicon;
    log->sink = data.hwndSink;
    log->lParam = data.lParam;
    Clip(log->title, 128, g_standing.title);
    Clip(log->html, 1024, g_standing.html);
    log->softKeyCount = 0;
    for (int i = 0; i < NOTIF_NUM_SOFTKEYS; ++i) {
        if (g_standing.keys[i].empty()) continue;
        int n = log->softKeyCount++;
        Clip(log->softKeyTitle[n], 32, g_standing.keys[i]);
        log->softKeyCommand[n] = data.rgskn[i].skc;
        log->softKeyFlags[n] = data.rgskn[i].grfFlags;
    }
    Clip(log->todayKey, 32, g_standing.todayKey);
    Clip(log->todayExec, MAX_PATH, g_standing.todayExec);
}

void HandheldResetNotificationLog(void)
{
    g_counters = HandheldNotificationLog();
}

BOOL HandheldPressNotificationKey(int index)
{
    return NotificationBubble::PressKey(index) ? TRUE : FALSE;
}
