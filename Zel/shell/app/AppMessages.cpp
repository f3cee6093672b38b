// The main window's own messages: incoming and outgoing messages with their history, the chats,
// notifications and the update offers; opening a chat with its pending messages; sending; the global
// status table and the accounts' stored statuses.
#include "Zel/shell/app/Application.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/accounts/ManagerPayloads.h"
#include "Zel/core/accounts/ProtocolsManager.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/core/contactlist/ContactListPayloads.h"
#include "Zel/core/history/HistoryFile.h"
#include "Zel/prefs/PreferencesDialog.h"
#include "Zel/shell/CoreServices.h"
#include "Zel/shell/alerts/AlertPlayer.h"
#include "Zel/shell/menu/MainMenu.h"
#include "Zel/shell/updater/UpdateReports.h"
#include "Zel/shell/updater/VersionUpdater.h"
#include "Handheld/Power.h"

#include <atomic>

namespace {

// Pictures of the message lines (skin picture indices).
const int kImageIncoming = 24;
const int kImageOutgoing = 25;
const int kImageAcked = 26;
const int kImageOffline = 27;

// Message flags the window reads.
const int kFlagOffline = 1;
const int kFlagServiceLine = 2;

// The numbers of messages this program sends, from 1.
std::atomic<int> NextOutgoingNumber{1};

struct StatusRow {
    int status;
    int images[2];
    int imageCount;
};

// The global status table: status, its pictures; each named by the text of the status's number.
const StatusRow kStatusRows[] = {
    {5, {14, 7}, 2},  {6, {14, 6}, 2},  {7, {14, 4}, 2}, {8, {14, 0}, 2},   {9, {14, 1}, 2},
    {10, {14, 10}, 2}, {11, {14, 2}, 2}, {12, {14, 11}, 2}, {13, {14, 12}, 2}, {14, {14, 5}, 2},
    {2, {14, 0}, 1},  {3, {14, 9}, 2},  {4, {8, 9}, 2},  {1, {3, 0}, 1},    {0, {13, 0}, 1},
};

const wchar_t kStatusValue[] = L"Status";

CZELString TimeText(const CZELTime& time)
{
    return CZELString(L"(") + time.ToString(CZELString(L"%c")) + L")";
}

}  // namespace

LRESULT CApplication::WndProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER: OnTimerExpired(wParam); break;
    case WM_APP_WAKE: UpdateSoftKeys(false); break;
    case WM_APP_MESSAGE_SENT:
        if (CMessagePayload* payload = dynamic_cast<CMessagePayload*>(reinterpret_cast<CRefObject*>(lParam)))
            OnOutgoingMessage(payload->message);
        break;
    case WM_APP_MESSAGE_IN:
        if (CMessagePayload* payload = dynamic_cast<CMessagePayload*>(reinterpret_cast<CRefObject*>(lParam)))
            OnIncomingMessage(payload->message);
        break;
    case WM_APP_SEARCH_RESULT: AddSearchResult(reinterpret_cast<const void*>(lParam)); break;
    case WM_APP_DETAILS_RECEIVED: RefreshOwnDetailsDialog(unsigned(ValueOf(reinterpret_cast<CRefObject*>(wParam)))); break;
    case WM_APP_DETAILS_NOTIFY: RefreshContactDetailsDialog(int(ValueOf(reinterpret_cast<CRefObject*>(lParam)))); break;
    case WM_APP_SHOW_TEXT:
        if (resources && wParam) {
            resources->Notifier().ShowInfo(*reinterpret_cast<const CZELString*>(wParam));
            PlayEventAlert(resources->Alerts(), AE_INFORMATION);
        }
        break;
    case WM_APP_TAB_ICONS:
    case WM_APP_TAB_CAPTION:
    case WM_APP_MESSAGE_ACK:
    case WM_APP_CONTACT_REMOVED: OnTabMessage(message, wParam, lParam); break;
    case WM_APP_NO_ACCOUNTS:
        // Opened before the first paint, their modal loop would leave the main window blank behind them.
        if (startCompleted)
            OpenPreferences(PreferencesAccountsPage);
        else
            preferencesWanted = true;
        break;
    case WM_APP_TITLED_TEXT:
        if (resources && wParam) {
            const CStringPairPayload* texts = reinterpret_cast<const CStringPairPayload*>(wParam);
            resources->Notifier().ShowMail(texts->text, texts->link);
            PlayEventAlert(resources->Alerts(), AE_MAIL);
        }
        break;
    case WM_APP_TIMER_SET: OnTimerSet(reinterpret_cast<CRefObject*>(lParam)); break;
    case WM_APP_TIMER_CANCEL: OnTimerCancel(reinterpret_cast<CRefObject*>(lParam)); break;
    case WM_APP_UPDATE_CHECK: updater->StartUpdateCheck(guiQueue); break;
    case WM_APP_UPDATE_AVAILABLE:
    case WM_APP_UPDATE_READY:
    case WM_APP_CHECK_DONE:
    case WM_APP_DOWNLOAD_DONE: OnUpdateMessage(message, wParam, lParam); break;
    case WM_APP_TRAY_UPDATE: UpdateTrayIcon(); break;
    case WM_APP_TRAY:
        if (wParam == TrayIconId && lParam == WM_LBUTTONDOWN) SetForegroundWindow(mainWindow);
        break;
    default: break;
    }
    return 1;
}

void CApplication::OnTabMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    int contact = int(wParam);
    if (!chatWindow || !chatWindow->HasTab(contact)) return;
    switch (message) {
    case WM_APP_TAB_ICONS: chatWindow->SetTabIcons(contact, *reinterpret_cast<const CZELArray<int>*>(lParam)); break;
    case WM_APP_TAB_CAPTION: chatWindow->SetTabCaption(contact, *reinterpret_cast<const CZELString*>(lParam)); break;
    case WM_APP_MESSAGE_ACK: chatWindow->MarkMessageAcked(contact, ChatAck{int(lParam), 0, kImageAcked}); break;
    case WM_APP_CONTACT_REMOVED: chatWindow->CloseTab(contact); break;
    default: break;
    }
}

void CApplication::OnUpdateMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_APP_UPDATE_AVAILABLE:
    case WM_APP_UPDATE_READY: {
        // Without the package's digest nothing could be checked before the install: no offer.
        const CUpdateOffer* offer = dynamic_cast<const CUpdateOffer*>(reinterpret_cast<CRefObject*>(lParam));
        if (!offer || offer->Build() != unsigned(wParam)) break;
        updater->NoteOffer(offer->Build(), offer->digest);
        if (!resources) break;
        resources->Notifier().ShowUpdate(int(wParam), message == WM_APP_UPDATE_AVAILABLE);
        PlayEventAlert(resources->Alerts(), AE_INFORMATION);
        break;
    }
    case WM_APP_CHECK_DONE: updater->CloseUpdateChecks(reinterpret_cast<void*>(wParam)); break;
    case WM_APP_DOWNLOAD_DONE: updater->CloseUpdateDownload(); break;
    default: break;
    }
}

CZELString CApplication::Alias(int contact) const
{
    CZELString alias;
    if (ContactListDataService) ContactListDataService->GetPropertyString(contact, CZELString(L"CL Alias"), alias);
    return alias;
}

ChatLogEntry CApplication::EntryOf(int kind, const MessageRecord& message, int image, const CZELString& name) const
{
    ChatLogEntry entry;
    entry.direction = kind;
    entry.messageNumber = message.messageNumber;
    entry.kind = image;
    entry.name = name;
    entry.timeText = TimeText(message.timeStamp);
    entry.text = message.text;
    return entry;
}

int CApplication::AppendHistory(int contact, int direction, const MessageRecord& message)
{
    // The record the preferences edit is what counts while the program runs.
    if (!settings.histSaveHistory) return HistoryOk;
    HistoryPlace history;
    history.folder = place.historyFolder;
    history.bus = &Bus();
    return CHistoryFile(history).Append(contact, 1, (unsigned char)direction, 0, message.timeStamp.GetUnixTime(),
                                        message.text);
}

void CApplication::OnIncomingMessage(const MessageRecord& record)
{
    MessageRecord message = record;
    int contact = message.contactId;
    if (message.flags == kFlagServiceLine) {
        OpenChat(contact);
        ChatLogEntry line;
        line.direction = ChatLineEvent;
        line.messageNumber = message.messageNumber;
        line.kind = message.kind;
        line.name = message.text;
        line.timeText = message.secondText;
        if (chatWindow) chatWindow->AddMessage(contact, line);
        return;
    }
    AppendHistory(contact, 0, message);
    if (settings.wakeUp) {
        wchar_t state[101] = L"";
        DWORD flags = 0;
        if (GetSystemPowerStateName(state, 101, &flags) == ERROR_SUCCESS && _wcsicmp(state, L"on") != 0)
            SetSystemPowerStateName(L"on", 0, POWER_FORCE);
    }
    int image = message.kind != -1 ? message.kind : message.flags == kFlagOffline ? kImageOffline : kImageIncoming;
    if (contactList) contactList->MarkNewMessage(contact, message.messageNumber, image);
    ChatLogEntry entry = EntryOf(ChatLineIncoming, message, image, Alias(contact));
    if (chatWindow && chatWindow->HasTab(contact)) chatWindow->AddMessage(contact, entry);
    else pending.Add(PendingMessage{contact, entry});
    if (!resources) return;
    PlayEventAlert(resources->Alerts(), AE_MESSAGE_IN);
    bool inFront = chatWindow && chatWindow->IsInFront(contact);
    if (!inFront) resources->Notifier().ShowMessage(message.messageNumber, image, contact, message.text);
}

void CApplication::OnOutgoingMessage(const MessageRecord& record)
{
    MessageRecord message = record;
    AppendHistory(message.contactId, 1, message);
    if (chatWindow && chatWindow->HasTab(message.contactId))
        chatWindow->AddMessage(message.contactId,
                               EntryOf(ChatLineOutgoing, message, message.kind, chatWindow->GetYourName()));
}

void CApplication::OpenChat(int contact)
{
    if (!chatWindow) return;
    if (!chatWindow->HasTab(contact)) {
        StatusInfo icons;
        if (ContactListDataService && ProtocolsManagerService)
            ProtocolsManagerService->GetContactIcons(ContactListDataService->GetItemAccount(contact), contact, &icons);
        chatWindow->OpenTab(contact, Alias(contact), icons.images);

        // The contact's pending messages, in the order they came.
        CZELArray<ChatLogEntry> arrived;
        int n = 0;
        for (int i = pending.GetCount() - 1; i >= 0; --i) {
            if (pending[i].contact != contact) continue;
            ++n;
            arrived.Add(pending[i].entry);
            pending.RemoveAt(i);
        }
        CZELArray<ChatLogEntry> list;
        for (int i = arrived.GetCount() - 1; i >= 0; --i) list.Add(arrived[i]);
        // With the history shown in the chat, the pending messages come from the file (they were
        // appended on arrival) together with the records before them; otherwise they are shown
        // themselves.
        if (settings.histSaveHistory && settings.histShowInChat) {
            HistoryPlace history;
            history.folder = place.historyFolder;
            history.bus = &Bus();
            CZELArray<ChatLogEntry> loaded;
            int count = n + (settings.histMessagesToShow > 0 ? settings.histMessagesToShow : 0);
            if (CHistoryFile(history).LoadLast(contact, unsigned(count), loaded) == HistoryOk) list = loaded;
        }
        if (list.GetCount() > n) {
            // The separator between the older history and the new messages.
            ChatLogEntry separator;
            separator.direction = ChatLineSeparator;
            separator.messageNumber = -1;
            separator.kind = -1;
            CZELArray<ChatLogEntry> withSeparator;
            for (int i = 0; i < list.GetCount(); ++i) {
                if (i == list.GetCount() - n) withSeparator.Add(separator);
                withSeparator.Add(list[i]);
            }
            list = withSeparator;
        }
        if (list.GetCount()) chatWindow->AddMessages(contact, list);
    }
    chatWindow->ShowTab(contact);
    chatWindow->Show(true);
}

int CApplication::SendMessageToContact(int contact, const CZELString& text)
{
    if (!ContactListDataService || !ProtocolsManagerService) return 0;
    unsigned account = ContactListDataService->GetItemAccount(contact);
    int status = AccountStatus::Offline;
    if (ProtocolsManagerService->GetStatus(account, &status) != 0 || !AccountStatus::IsConnected(status)) return 0;
    MessageRecord message;
    message.contactId = contact;
    message.messageNumber = NextOutgoingNumber++;
    message.flags = 0;
    message.kind = kImageOutgoing;
    message.text = text;
    ProtocolsManagerService->SendInstantMessage(account, message, false);
    if (resources) PlayEventAlert(resources->Alerts(), AE_MESSAGE_OUT);
    return 1;
}

void CApplication::FillGlobalStatusTable(CZELString& title, CZELArray<StatusEntry>& table)
{
    title = GuiText(15);
    for (const StatusRow& row : kStatusRows) {
        StatusEntry entry;
        entry.status = row.status;
        entry.name = GuiText(row.status);
        for (int i = 0; i < row.imageCount; ++i) entry.images.Add(row.images[i]);
        table.Add(entry);
    }
}

void CApplication::RestoreAccountStatuses()
{
    if (!ProtocolsManagerService) return;
    for (unsigned index = 0;; ++index) {
        unsigned account = ProtocolsManagerService->GetAccountId(index);
        if (!account) break;
        char status = 0;
        if (ProtocolsManagerService->GetAccountByte(account, CZELString(kStatusValue), &status) &&
            static_cast<unsigned char>(status) > AccountStatus::Connecting)
            ProtocolsManagerService->SetStatus(account, static_cast<unsigned char>(status));
    }
}

void CApplication::SaveAccountStatuses()
{
    if (!ProtocolsManagerService) return;
    for (unsigned index = 0;; ++index) {
        unsigned account = ProtocolsManagerService->GetAccountId(index);
        if (!account) break;
        int status = 0;
        if (ProtocolsManagerService->GetStatus(account, &status) != 0) continue;
        char low = char(status & 0xFF);
        ProtocolsManagerService->SetAccountByte(account, CZELString(kStatusValue), &low);
    }
}
