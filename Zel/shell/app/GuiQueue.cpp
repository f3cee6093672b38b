// The queue "GUI": the core's events onto the main window. Runs on the queue's own thread: it calls
// only the status panel and the global status table itself; whatever touches the chats, the
// history or the notifications is sent to the main window (SendMessage, so that the payloads stay
// alive until the window has handled them) or posted when it carries plain values.
#include "Zel/shell/app/Application.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/accounts/ManagerPayloads.h"
#include "Zel/core/accounts/ProtocolsManager.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/core/contactlist/ContactListPayloads.h"
#include "Zel/shell/CoreServices.h"
#include "Zel/shell/updater/UpdateReports.h"
#include "ZELCommon/ZELBrowserLauncher.h"

namespace {

// The typing picture shown as a chat tab's icon while the contact types.
const int kTypingImage = 49;

template <typename Payload> Payload* As(CRefObject* payload)
{
    return dynamic_cast<Payload*>(payload);
}

}  // namespace

int CApplication::HandleMessage(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2)
{
    if (msgClass == GUID_PROTOCOLS_MANAGER) {
        OnManagerEvent(code, p1, p2);
    } else if (msgClass == GUID_CONTACT_LIST_DATA) {
        OnContactListEvent(code, p1, p2);
    } else if (msgClass == GUID_GUI && code >= GUIMSG_UPDATE_AVAILABLE && code <= GUIMSG_UPDATE_DOWNLOAD_DONE) {
        UINT message = WM_APP_UPDATE_AVAILABLE + UINT(code - GUIMSG_UPDATE_AVAILABLE);
        // An offer carries its digest: sent, so the payload lives until the window has kept it.
        if (code == GUIMSG_UPDATE_AVAILABLE || code == GUIMSG_UPDATE_READY)
            SendMessageW(mainWindow, message, WPARAM(ValueOf(p1)), LPARAM(p1));
        else
            PostMessageW(mainWindow, message, WPARAM(ValueOf(p1)), 0);
    }
    // The start-up event and anything else: nothing to do.
    return 0;
}

void CApplication::OnManagerEvent(int code, CRefObject* p1, CRefObject* p2)
{
    CTopPanelWnd* panel = topPanel.load();
    unsigned account = unsigned(ValueOf(p1));
    switch (code) {
    case PMEV_FILL_STATUS_TABLE: {
        CZELString* title = reinterpret_cast<CZELString*>(ValueOf(p1));
        CZELArray<StatusEntry>* table = reinterpret_cast<CZELArray<StatusEntry>*>(ValueOf(p2));
        if (title && table) FillGlobalStatusTable(*title, *table);
        break;
    }
    case PMEV_ACCOUNT_CREATED:
        if (panel) panel->AddAccountGroup(account);
        break;
    case PMEV_ACCOUNT_REMOVING:
        if (panel) panel->RemoveAccountGroup(account);
        break;
    case PMEV_ACCOUNT_MOVED:
        if (panel) panel->MoveAccountGroup(account, int(ValueOf(p2)));
        break;
    case PMEV_STATUS_CHANGED: {
        CAccountStatusPayload* status = As<CAccountStatusPayload>(p2);
        if (!status) break;
        if (account != 0) {
            if (panel) panel->SetAccountCellIcons(account, 0, status->entry.images);
            if (status->entry.status > AccountStatus::Connecting) PostMessageW(mainWindow, WM_APP_UPDATE_CHECK, 0, 0);
        } else {
            if (panel) panel->SetGlobalCellIcons(0, status->entry.images);
            // The tray icon belongs to the window's thread.
            PostMessageW(mainWindow, WM_APP_TRAY_UPDATE, 0, 0);
        }
        break;
    }
    case PMEV_MESSAGE_SENT: SendMessageW(mainWindow, WM_APP_MESSAGE_SENT, WPARAM(p1), LPARAM(p2)); break;
    case PMEV_DETAILS_RECEIVED: SendMessageW(mainWindow, WM_APP_DETAILS_RECEIVED, WPARAM(p1), LPARAM(p2)); break;
    case PMEV_DETAILS_NOTIFY: SendMessageW(mainWindow, WM_APP_DETAILS_NOTIFY, WPARAM(p1), LPARAM(p2)); break;
    case PMEV_SEARCH_RESULT: SendMessageW(mainWindow, WM_APP_SEARCH_RESULT, WPARAM(p1), LPARAM(p2)); break;
    // The account's own icons in its group of the status panel: cell 0 is its status.
    case PMEV_ACCOUNT_TEXT:
        if (CArrayPayload* icon = As<CArrayPayload>(p2))
            if (panel) panel->AddAccountCell(account, icon->images);
        break;
    case PMEV_ACCOUNT_XSTATUS:
        if (CIconSetPayload* icon = As<CIconSetPayload>(p2))
            if (panel) panel->SetAccountCellIcons(account, icon->index, icon->images);
        break;
    case PMEV_ACCOUNT_INDICATOR: {
        intptr_t index = 0;
        if (panel && TryValueOf(p2, index)) panel->RemoveAccountCell(account, int(index));
        break;
    }
    case PMEV_SHOW_TEXT:
        if (CStringPayload* text = As<CStringPayload>(p2)) {
            CZELString copy = text->text;
            SendMessageW(mainWindow, WM_APP_SHOW_TEXT, WPARAM(&copy), 3);
        }
        break;
    case PMEV_SHOW_TITLED_TEXT:
        if (CStringPairPayload* texts = As<CStringPairPayload>(p2)) {
            CStringPairPayload copy(texts->link, texts->text);
            SendMessageW(mainWindow, WM_APP_TITLED_TEXT, WPARAM(&copy), 0);
        }
        break;
    case PMEV_TIMER_SET: SendMessageW(mainWindow, WM_APP_TIMER_SET, WPARAM(p1), LPARAM(p2)); break;
    case PMEV_TIMER_CANCEL: SendMessageW(mainWindow, WM_APP_TIMER_CANCEL, WPARAM(p1), LPARAM(p2)); break;
    case PMEV_OPEN_URL:
        if (CStringPayload* url = As<CStringPayload>(p2)) CZELBrowserLauncher::Launch(url->text);
        break;
    default:
        break;
    }
}

void CApplication::OnContactListEvent(int code, CRefObject* p1, CRefObject* p2)
{
    int contact = int(ValueOf(p1));
    switch (code) {
    case CLE_ACCOUNTS_READY:
        if (ProtocolsManagerService && ProtocolsManagerService->GetAccountCount() > 0) {
            if (settings.autoConnect) RestoreAccountStatuses();
        } else {
            PostMessageW(mainWindow, WM_APP_NO_ACCOUNTS, 0, 0);
        }
        break;
    case CLE_CONTACT_REMOVED: SendMessageW(mainWindow, WM_APP_CONTACT_REMOVED, WPARAM(contact), 0); break;
    case CLE_CONTACT_STATUS:
        if (CStatusInfoPayload* status = As<CStatusInfoPayload>(p2)) {
            CZELArray<int> images = status->info.images;
            SendMessageW(mainWindow, WM_APP_TAB_ICONS, WPARAM(contact), LPARAM(&images));
        }
        break;
    case CLE_CONTACT_CHANGED: {
        CZELString alias;
        if (ContactListDataService) ContactListDataService->GetPropertyString(contact, CZELString(L"CL Alias"), alias);
        SendMessageW(mainWindow, WM_APP_TAB_CAPTION, WPARAM(contact), LPARAM(&alias));
        break;
    }
    case CLE_INCOMING_MESSAGE: SendMessageW(mainWindow, WM_APP_MESSAGE_IN, WPARAM(p1), LPARAM(p2)); break;
    case CLE_MESSAGE_ACK: SendMessageW(mainWindow, WM_APP_MESSAGE_ACK, WPARAM(contact), LPARAM(ValueOf(p2))); break;
    case CLE_TYPING: {
        CZELArray<int> images;
        if (ValueOf(p2) != 0) {
            StatusInfo info;
            if (ContactListDataService && ProtocolsManagerService &&
                ProtocolsManagerService->GetContactIcons(ContactListDataService->GetItemAccount(contact), contact, &info))
                images = info.images;
        } else {
            images.Add(kTypingImage);
        }
        SendMessageW(mainWindow, WM_APP_TAB_ICONS, WPARAM(contact), LPARAM(&images));
        break;
    }
    default:
        break;
    }
}
