#include "Zel/shell/notify/Notifier.h"

#include "Zel/core/accounts/ProtocolsManager.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/prefs/GlobalSettings.h"
#include "Zel/shell/CoreServices.h"
#include "Zel/shell/alerts/NotificationLed.h"
#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/notify/GlobalStatusQuery.h"
#include "Zel/shell/notify/NotifyHtml.h"
#include "ZELCommon/ZELBrowserLauncher.h"
#include "Handheld/Notification.h"

#include <cwchar>
#include <string>

namespace {

const wchar_t kTargetClass[] = L"ZELNotificationsTargetWindow";
const CLSID kNotificationClass = {0xA319BA90, 0x7F8A, 0x4BD4, {0xB2, 0xC2, 0x48, 0x94, 0x8E, 0x0D, 0x16, 0x5B}};
const int kMessageMs = 7000;
const int kWarningMs = 7000;
const int kMailMs = 14000;
const int kStatusMs = 7000;

// Language texts.
const int kTextOffline = 0;
const int kTextOnline = 2;
const int kTextUpdateAvailable = 223;
const int kTextUpdateReady = 224;
const int kTextStatus = 225;
const int kTextWarning = 226;
const int kTextInformation = 227;
const int kTextEmail = 228;
const int kTextOk = 243;
const int kTextOpen = 249;
const int kTextHide = 250;

// Skin pictures of the bubbles.
const int kImageInformation = 59;
const int kImageMail = 60;
const int kImageWarning = 64;

// The text with its "%d" replaced by the number. The text comes from a language module: nothing
// else in it is taken as a format.
CZELString WithNumber(const CZELString& text, int number)
{
    std::wstring pattern(text.GetBuffer() ? text.GetBuffer() : L"", size_t(text.GetLength()));
    size_t at = pattern.find(L"%d");
    if (at != std::wstring::npos) pattern.replace(at, 2, std::to_wstring(number));
    if (pattern.size() > 260) pattern.resize(260);
    return CZELString(pattern.c_str(), int(pattern.size()));
}

LRESULT CALLBACK TargetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const CREATESTRUCTW* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, LONG_PTR(create->lpCreateParams));
        return DefWindowProcW(window, message, wParam, lParam);
    }
    CNotifier* notifier = reinterpret_cast<CNotifier*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    if (notifier) notifier->OnMessage(window, message, wParam, lParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

HINSTANCE ProgramInstance()
{
    return GetModuleHandleW(nullptr);
}

bool RegisterTargetClass()
{
    static bool registered = false;
    if (registered) return true;
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = TargetProc;
    windowClass.hInstance = ProgramInstance();
    windowClass.hbrBackground = HBRUSH(GetStockObject(HOLLOW_BRUSH));
    windowClass.lpszClassName = kTargetClass;
    registered = RegisterClassW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    return registered;
}

}  // namespace

CNotifier::CNotifier(INotifierCallbacks* callbacks, GlobalSettings& settings, CSkinImageSet* images, HWND owner)
    : callbacks(callbacks), settings(settings), images(images), owner(owner), current(-1), target(nullptr),
      blinkPhase(true), ledOn(false), bubbleUp(false)
{
    // A bubble an earlier run left behind goes.
    SHNotificationRemove(&kNotificationClass, BubbleId);
    CreateTargetWindow();
}

CNotifier::~CNotifier()
{
    if (target) DestroyWindow(target);
    target = nullptr;
    if (bubbleUp) SHNotificationRemove(&kNotificationClass, BubbleId);
    bubbleUp = false;
    if (ledOn) SetLed(false);
    for (const auto& icon : icons)
        if (icon.second) DestroyIcon(icon.second);
}

void CNotifier::CreateTargetWindow()
{
    // Without the class the notifier still adds bubbles; keys and timers have no effect.
    if (!RegisterTargetClass()) return;
    target = CreateWindowExW(0, kTargetClass, L"", WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, nullptr, nullptr, ProgramInstance(), this);
}

// ---- Raising ----

void CNotifier::ShowMessage(int item, int image, int contact, const CZELString& text)
{
    NotificationEntry entry;
    entry.item = item;
    entry.kind = NK_MESSAGE;
    entry.contact = contact;
    entry.image = image;
    entry.title = ContactAlias(contact);
    entry.body = NotifyHtml::MessageToHtml(text);
    Add(entry);
}

void CNotifier::ShowContactOnline(int contact)
{
    if (settings.turnOffEvents || !settings.notifySignOn) return;
    ShowContactStatus(contact, true);
}

void CNotifier::ShowContactOffline(int contact)
{
    if (settings.turnOffEvents || !settings.notifySignOff) return;
    ShowContactStatus(contact, false);
}

void CNotifier::ShowContactStatus(int contact, bool online)
{
    NotificationEntry entry;
    entry.item = contact;
    entry.kind = NK_STATUS;
    entry.contact = contact;
    entry.image = kImageInformation;
    entry.title = GuiText(kTextStatus);
    entry.body = StatusBody(contact, online);
    Add(entry);
}

void CNotifier::ShowMail(const CZELString& text, const CZELString& link)
{
    NotificationEntry entry;
    entry.kind = NK_MAIL;
    entry.image = kImageMail;
    entry.title = GuiText(kTextEmail);
    entry.body = NotifyHtml::TextToHtml(text);
    entry.link = link;
    Add(entry);
}

void CNotifier::ShowUpdate(int build, bool available)
{
    NotificationEntry entry;
    entry.item = build;
    entry.kind = available ? NK_UPDATE_AVAILABLE : NK_UPDATE_READY;
    entry.image = kImageInformation;
    entry.title = GuiText(kTextInformation);
    entry.body = NotifyHtml::TextToHtml(WithNumber(GuiText(available ? kTextUpdateAvailable : kTextUpdateReady), build));
    Add(entry);
}

void CNotifier::ShowInfo(const CZELString& text)
{
    NotificationEntry entry;
    entry.kind = NK_WARNING;
    entry.image = kImageWarning;
    entry.title = GuiText(kTextWarning);
    entry.body = NotifyHtml::TextToHtml(text);
    Add(entry);
}

void CNotifier::Add(const NotificationEntry& entry)
{
    entries.Add(entry);
    ShowNext();
}

void CNotifier::RemoveContactNotifications(int contact)
{
    for (int i = entries.GetCount() - 1; i >= 0; --i) {
        if (i >= entries.GetCount() || entries[i].contact != contact) continue;
        if (i == current) {
            CloseCurrent(true);
            continue;
        }
        entries.RemoveAt(i);
        if (current > i) --current;
    }
    if (current == -1) ShowNext();
}

// ---- Choosing and showing ----

int CNotifier::LowestKindIndex() const
{
    int best = -1;
    for (int i = 0; i < entries.GetCount(); ++i)
        if (best == -1 || entries[i].kind < entries[best].kind) best = i;
    return best;
}

void CNotifier::ShowNext()
{
    if (entries.GetCount() == 0) return;
    if (current == -1) {
        current = LowestKindIndex();
        ShowCurrent();
        return;
    }
    // A waiting message gives the bubble up to whatever came since.
    if (entries[current].kind == NK_MESSAGE_WAITING) CloseCurrent(false);
}

void CNotifier::ShowCurrent()
{
    if (current < 0 || current >= entries.GetCount()) return;
    switch (entries[current].kind) {
    case NK_UPDATE_AVAILABLE:
    case NK_UPDATE_READY:
        AddBubble();
        StartBlinking();
        break;
    case NK_WARNING:
        AddBubble();
        if (target) SetTimer(target, CloseTimer, kWarningMs, nullptr);
        break;
    case NK_MAIL:
        AddBubble();
        StartBlinking();
        if (target) SetTimer(target, CloseTimer, kMailMs, nullptr);
        break;
    case NK_STATUS:
        AddBubble();
        StartBlinking();
        if (target) SetTimer(target, CloseTimer, kStatusMs, nullptr);
        break;
    case NK_MESSAGE:
        if (!settings.turnOffEvents) AddBubble();
        StartBlinking();
        if (target) SetTimer(target, CloseTimer, kMessageMs, nullptr);
        break;
    case NK_MESSAGE_WAITING:
        if (!settings.turnOffEvents) AddBubble();
        StartBlinking();
        break;
    default: break;
    }
}

void CNotifier::StartBlinking()
{
    blinkPhase = true;
    if (target) SetTimer(target, BlinkTimer, BlinkMs, nullptr);
}

bool CNotifier::GoesToTray(int kind, bool showMessages, bool dontShowIfOccupied, bool statusKnown, int globalStatus,
                           bool dontShowIfActive, bool mainWindowInFront)
{
    bool tray = showMessages ? kind == NK_MESSAGE_WAITING : kind > NK_UPDATE_READY;
    if (kind == NK_MESSAGE && !tray) {
        if (dontShowIfOccupied && statusKnown && IsDoNotDisturbStatus(globalStatus)) tray = true;
        if (dontShowIfActive) tray = mainWindowInFront;
    }
    return tray;
}

void CNotifier::AddBubble()
{
    const NotificationEntry& entry = entries[current];
    int status = 0;
    bool known = entry.kind == NK_MESSAGE && settings.dontShowIfOccupied && QueryGlobalStatus(&status);
    bool inFront = entry.kind == NK_MESSAGE && settings.dontShowIfActive && MainWindowInFront();
    bool tray = GoesToTray(entry.kind, settings.showMessages, settings.dontShowIfOccupied, known, status,
                           settings.dontShowIfActive, inFront);

    CZELString keyFirst = GuiText(entry.kind == NK_MAIL || entry.kind >= NK_MESSAGE ? kTextOpen : kTextOk);
    CZELString keyHide = GuiText(kTextHide);
    wchar_t program[MAX_PATH + 1] = L"";
    GetModuleFileNameW(nullptr, program, MAX_PATH);

    SHNOTIFICATIONDATA data = {};
    data.cbStruct = sizeof data;
    data.dwID = BubbleId;
    data.npPriority = SHNP_INFORM;
    data.csDuration = 0xFFFFFFFF;  // the notifier closes its bubbles itself
    data.hicon = GetIcon(entry.image);
    data.grfFlags = SHNF_SILENT | (tray ? SHNF_STRAIGHTTOTRAY : 0);
    data.clsid = kNotificationClass;
    data.hwndSink = target;
    data.pszHTML = entry.body.GetBuffer() ? entry.body.GetBuffer() : L"";
    data.pszTitle = entry.title.GetBuffer() ? entry.title.GetBuffer() : L"";
    bool single = entry.kind == NK_WARNING || entry.kind == NK_STATUS;
    data.rgskn[0] = {keyFirst.GetBuffer(), DWORD(single ? CommandOk : CommandOpen), NOTIF_SOFTKEY_FLAGS_STAYOPEN};
    if (!single) data.rgskn[1] = {keyHide.GetBuffer(), DWORD(CommandHide), NOTIF_SOFTKEY_FLAGS_STAYOPEN};
    data.pszTodaySK = L"ZEL";
    data.pszTodayExec = program;
    SHNotificationAdd(&data);
    bubbleUp = true;
}

// ---- Closing ----

void CNotifier::CloseCurrent(bool dropEntry)
{
    if (current < 0 || current >= entries.GetCount()) {
        current = -1;
        return;
    }
    int kind = entries[current].kind;
    bool drop = dropEntry || kind < NK_MESSAGE;
    if (kind != NK_WARNING && target) KillTimer(target, BlinkTimer);
    if (target) KillTimer(target, CloseTimer);
    if ((kind == NK_MESSAGE || kind == NK_MESSAGE_WAITING) && (settings.useBlinking || ledOn)) SetLed(false);
    if (bubbleUp) SHNotificationRemove(&kNotificationClass, BubbleId);
    bubbleUp = false;
    if (drop) entries.RemoveAt(current);
    else entries[current].kind = NK_MESSAGE_WAITING;
    current = -1;
    ShowNext();
}

// ---- Timers and keys ----

LRESULT CNotifier::OnMessage(HWND, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_COMMAND: OnCommand(LOWORD(wParam)); break;
    case WM_TIMER:
        if (wParam == CloseTimer) CloseCurrent(false);
        else if (wParam == BlinkTimer) OnBlinkTimer();
        break;
    default: break;
    }
    return 0;
}

void CNotifier::OnCommand(int command)
{
    if (command != CommandOpen && command != CommandHide && command != CommandOk) return;
    if (current < 0 || current >= entries.GetCount()) return;
    NotificationEntry entry = entries[current];
    CloseCurrent(true);
    if (command != CommandOpen) return;
    switch (entry.kind) {
    case NK_MAIL: CZELBrowserLauncher::Launch(entry.link); break;
    case NK_UPDATE_AVAILABLE:
    case NK_UPDATE_READY:
        if (callbacks) callbacks->OnUpdateReady(entry.item, entry.kind == NK_UPDATE_AVAILABLE);
        break;
    default:
        // A message's item is its number; what opens is its contact's chat.
        if (callbacks) callbacks->OpenContact(entry.contact ? entry.contact : entry.item, true);
        break;
    }
}

void CNotifier::OnBlinkTimer()
{
    if (current < 0 || current >= entries.GetCount()) return;
    const NotificationEntry& entry = entries[current];
    // "Turn off" and "Dont blinking" keep the icon still; the LED follows "Use blinking" alone.
    if (!settings.turnOffEvents && !settings.dontBlink) {
        SetBubbleIcon(GetIcon(blinkPhase ? -1 : entry.image));
        blinkPhase = !blinkPhase;
    }
    if (settings.useBlinking && !ledOn && (entry.kind == NK_MESSAGE || entry.kind == NK_MESSAGE_WAITING)) SetLed(true);
}

void CNotifier::SetBubbleIcon(HICON icon)
{
    SHNOTIFICATIONDATA data = {};
    data.cbStruct = sizeof data;
    if (SHNotificationGetData(&kNotificationClass, BubbleId, &data) != S_OK) return;
    data.hicon = icon;
    SHNotificationUpdate(SHNUM_ICON, &data);
}

void CNotifier::SetLed(bool on)
{
    SetNotificationLed(on, static_cast<signed char>(settings.blinkLed));
    ledOn = on;
}

HICON CNotifier::GetIcon(int image)
{
    auto found = icons.find(image);
    if (found != icons.end()) return found->second;
    HICON icon = MakeBubbleIcon(images, image);
    icons[image] = icon;
    return icon;
}

// ---- What the notifier learns from the program ----

CZELString CNotifier::ContactAlias(int contact)
{
    CZELString alias;
    if (ContactListDataService) ContactListDataService->GetPropertyString(contact, CZELString(L"CL Alias"), alias);
    return alias;
}

CZELString CNotifier::StatusBody(int contact, bool online)
{
    CZELString protocol, account;
    if (ContactListDataService && ProtocolsManagerService) {
        unsigned id = ContactListDataService->GetItemAccount(contact);
        protocol = ProtocolsManagerService->GetAccountProtocol(id).displayName;
        ProtocolsManagerService->GetAccountName(account, id, false);
    }
    return NotifyHtml::StatusHtml(ContactAlias(contact), online, GuiText(online ? kTextOnline : kTextOffline), protocol,
                                  account);
}

bool CNotifier::MainWindowInFront()
{
    HWND window = GetForegroundWindow();
    for (; window && owner; window = GetAncestor(window, GA_PARENT))
        if (window == owner) return true;
    // The main window's owned windows count as it too.
    window = GetForegroundWindow();
    return owner && window && GetAncestor(window, GA_ROOTOWNER) == owner;
}
