#include "Zel/prefs/SearchDialog.h"

#include "Zel/core/accounts/ManagerPayloads.h"
#include "Zel/core/accounts/ProtocolsManager.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/prefs/PreferencesDialog.h"
#include "Zel/prefs/PreferencesPage.h"
#include "Zel/shell/CoreServices.h"
#include "Zel/shell/app/Application.h"
#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/dialogs/DetailsDialogs.h"
#include "Zel/shell/dialogs/DialogTemplates.h"
#include "Zel/shell/helpers/ClipboardHelpers.h"
#include "Zel/shell/helpers/ControlHelpers.h"
#include "Zel/shell/menu/PopupMenuWnd.h"
#include "Zel/shell/notify/Notifier.h"
#include "Zel/core/skin/SkinImageSet.h"
#include "ZELCommon/ZELWMUI_HiDpi.h"

#include <commctrl.h>

namespace {

enum { ListId = 1022, ColumnCount = 6 };
enum { MenuCopy = 1, MenuSend = 2, MenuDetails = 3, MenuClear = 4 };
const int kColumnTexts[ColumnCount] = {28, 233, 234, 235, 236, 237};

CSearchDialog* g_current = nullptr;

}  // namespace

// The results page: the dialog's result array as an owner-drawn list, and its menu.
class SearchResultsPage : public SkinnedPage {
public:
    explicit SearchResultsPage(CSearchDialog& owner) : owner(owner) {}

    CZELString GetTitle() override { return GuiText(230); }
    CZELArray<int> GetIcons() override { return CZELArray<int>(); }
    ZELTabDlg::PanResource GetResource() override { return {PreferencesModule(), 160}; }

    HWND List() const { return GetDlgItem(ListId); }

    void AppendRow(int index)
    {
        LVITEMW item = {};
        item.mask = LVIF_PARAM;
        item.iItem = index;
        item.lParam = index;
        const int row = int(SendMessageW(List(), LVM_INSERTITEMW, 0, LPARAM(&item)));
        if (row == 0) {
            LVITEMW state = {};
            state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageW(List(), LVM_SETITEMSTATE, 0, LPARAM(&state));
        }
    }

    void Clear()
    {
        SendMessageW(List(), LVM_DELETEALLITEMS, 0, 0);
        owner.Results().clear();
    }

    // The menu at a point of the list (screen coordinates).
    void ShowMenu(POINT at)
    {
        POINT client = at;
        ScreenToClient(List(), &client);
        LVHITTESTINFO hit = {};
        hit.pt = client;
        const int row = int(SendMessageW(List(), LVM_HITTEST, 0, LPARAM(&hit)));
        const bool onRow = row >= 0 && row < int(owner.Results().size());
        CPopupMenu menu;
        if (onRow) {
            menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, 36, GuiText(45), MenuCopy, nullptr, 0, false));
            menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, 24, GuiText(42), MenuSend, nullptr, 0, false));
            menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, 34, GuiText(43), MenuDetails, nullptr, 0, false));
            menu.AddItem(CMenuItem(MENU_ITEM_SEPARATOR));
            if (ProtocolsManagerService)
                ProtocolsManagerService->FillSearchResultMenu(
                    owner.AccountId(), reinterpret_cast<void*>(intptr_t(owner.Results()[size_t(row)].contactId)), &menu);
        }
        menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, 44, GuiText(241), MenuClear, nullptr, 0, false));
        RECT area = {};
        GetWindowRect(List(), &area);
        PopupMenuResult chosen = ShowPopupMenu(menu, area, at, MenuAlignAboveLeft, hwnd, true);
        if (chosen.commandId == MenuClear) {
            Clear();
            return;
        }
        if (!onRow || row >= int(owner.Results().size())) return;
        SearchResultEntry& entry = owner.Results()[size_t(row)];
        if (chosen.callback) {
            chosen.callback(intptr_t(entry.contactId), chosen.argument);
        } else if (chosen.commandId == MenuCopy) {
            CopyTextToClipboard(entry.texts[0].GetBuffer() ? entry.texts[0].GetBuffer() : L"");
        } else if (chosen.commandId == MenuSend) {
            SendMessageTo(entry);
        } else if (chosen.commandId == MenuDetails) {
            ShowContactDetailsDialog(hwnd, entry.contactId);
        }
    }

protected:
    int DoDataExchange(int save) override
    {
        if (save) return 1;
        HWND list = List();
        SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
        SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
        while (SendMessageW(list, LVM_DELETECOLUMN, 0, 0)) {
        }
        RECT client = {};
        GetClientRect(list, &client);
        for (int i = 0; i < ColumnCount; ++i) {
            CZELString text = GuiText(kColumnTexts[i]);
            LVCOLUMNW column = {};
            column.mask = LVCF_WIDTH | LVCF_TEXT;
            column.cx = client.right / 3;
            column.pszText = const_cast<wchar_t*>(text.GetBuffer() ? text.GetBuffer() : L"");
            SendMessageW(list, LVM_INSERTCOLUMNW, WPARAM(i), LPARAM(&column));
        }
        for (int i = 0; i < int(owner.Results().size()); ++i) AppendRow(i);
        ListViewApplySkin(list);
        return 1;
    }

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_CONTEXTMENU && HWND(wParam) == List()) {
            POINT at = {short(LOWORD(lParam)), short(HIWORD(lParam))};
            if (at.x == -1 && at.y == -1) {
                RECT rect = {};
                GetWindowRect(List(), &rect);
                at = POINT{rect.left, rect.top};
            }
            ShowMenu(at);
            return 0;
        }
        return SkinnedPage::OnMessage(message, wParam, lParam);
    }

    void OnDrawItem(UINT id, DRAWITEMSTRUCT* item) override
    {
        if (id != ListId || !item) return;
        const int index = int(item->itemData);
        if (index < 0 || index >= int(owner.Results().size())) return;
        const SearchResultEntry& entry = owner.Results()[size_t(index)];
        HDC dc = item->hDC;
        RECT row = item->rcItem;
        const bool selected = (item->itemState & ODS_SELECTED) != 0;
        const bool focused = GetFocus() == List();
        if (selected) FillRect(dc, &row, GetSysColorBrush(focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
        const int iconWidth = (g_HIDPI_LogPixelsX + 3) * 16 / 96;
        const int iconHeight = (g_HIDPI_LogPixelsY + 3) * 16 / 96;
        const int iconTop = (row.top + row.bottom - iconHeight) / 2;
        if (CSkinImageSet* images = GuiImages())
            for (int i = 0; i < entry.images.GetCount(); ++i)
                images->DrawStretched(entry.images[i], dc, row.left, iconTop, row.left + iconWidth, iconTop + iconHeight, 1, 255);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(selected && focused ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        const int gap = (g_HIDPI_LogPixelsX + 24) * 2 / 96;
        for (int column = 0; column < ColumnCount; ++column) {
            RECT box = {};
            ListView_GetSubItemRect(List(), index, column, LVIR_BOUNDS, &box);
            if (column == 0) box.right = box.left + int(SendMessageW(List(), LVM_GETCOLUMNWIDTH, 0, 0));
            box.top = row.top;
            box.bottom = row.bottom;
            box.left += gap + (column == 0 ? iconWidth : 0);
            const CZELString& text = entry.texts[column];
            if (!text.IsEmpty())
                DrawTextW(dc, text.GetBuffer(), text.GetLength(), &box,
                          DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
        }
        SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, TRUE);
    }

private:
    // A temporary contact becomes a list contact of the account first; then its chat opens.
    void SendMessageTo(SearchResultEntry& entry)
    {
        CContactListData* data = ContactListDataService;
        if (data && data->IsTempContact(entry.contactId)) {
            const int added = data->AddContact(owner.AccountId(), 0);
            if (added) {
                for (const wchar_t* key : {L"Account name", L"CL Alias"}) {
                    CZELString value;
                    if (data->GetPropertyString(entry.contactId, CZELString(key), value))
                        data->SetPropertyString(added, CZELString(key), value);
                }
                StatusInfo icons;
                if (ProtocolsManagerService) ProtocolsManagerService->GetContactIcons(owner.AccountId(), added, &icons);
                data->NotifyContactAdded(added, icons);
                if (ProtocolsManagerService) ProtocolsManagerService->ContactAdded(owner.AccountId(), added);
                entry.contactId = added;
            }
        }
        if (TheApplication) TheApplication->OpenChat(entry.contactId);
    }

    CSearchDialog& owner;
};

CSearchDialog::CSearchDialog(unsigned accountId)
    : accountId(accountId), busy(0), lastSearchPage(-1), resultsPage(-1), resultsWindow(nullptr)
{
}

CSearchDialog::~CSearchDialog()
{
    if (g_current == this) g_current = nullptr;
}

void CSearchDialog::OnInitDialog()
{
    g_current = this;
    CSettingsDialog::OnInitDialog();
}

void CSearchDialog::BuildPages(SettingsPageList& list)
{
    if (ProtocolsManagerService) ProtocolsManagerService->GetSearchPages(accountId, &list.pages);
    if (list.pages.GetCount() == 0) return;
    resultsPage = list.pages.GetCount();
    resultsWindow = new SearchResultsPage(*this);
    list.pages.Add(resultsWindow);
}

int CSearchDialog::GetSoftKeyCap(TSoftKey key, CZELString& caption)
{
    caption = GuiText(key == SoftKeyLeft ? (busy ? 232 : 231) : 248);
    return 1;
}

void CSearchDialog::OnSoftKey(TSoftKey key)
{
    if (key == SoftKeyLeft)
        StartOrStop();
    else
        EndDialog(IDCANCEL);
}

void CSearchDialog::StartOrStop()
{
    if (InterlockedCompareExchange(&busy, 1, 0) != 0) {
        InterlockedExchange(&busy, 0);
        SetSoftKeys();
        return;
    }
    const int current = GetCurrentPageId();
    if (current < 0 || current == resultsPage) {
        if (lastSearchPage < 0) {
            if (CGuiResources* resources = TheApplication ? TheApplication->Resources() : nullptr)
                resources->Notifier().ShowInfo(GuiText(242));
            InterlockedExchange(&busy, 0);
            return;
        }
    } else {
        lastSearchPage = current;
    }
    DoDataExchange(1);
    SetSoftKeys();
    if (ProtocolsManagerService) ProtocolsManagerService->StartSearch(accountId, intptr_t(lastSearchPage));
    if (resultsWindow) resultsWindow->Clear();
    results.clear();
    if (resultsPage >= 0 && HasPage(resultsPage)) SelectPage(resultsPage);
}

void CSearchDialog::AddResult(const SearchResultRow* row)
{
    if (!busy) return;
    if (!row || row->contactId == 0) {
        InterlockedExchange(&busy, 0);
        SetSoftKeys();
        return;
    }
    SearchResultEntry entry;
    entry.contactId = row->contactId;
    entry.images = row->images;
    entry.texts[0] = row->account;
    entry.texts[1] = row->nickname;
    entry.texts[2] = row->firstName;
    entry.texts[3] = row->lastName;
    entry.texts[4] = row->email;
    entry.texts[5] = SearchGenderAgeText(row->gender, row->age);
    results.push_back(entry);
    if (resultsWindow) resultsWindow->AppendRow(int(results.size()) - 1);
}

CZELString SearchGenderAgeText(unsigned char gender, int age)
{
    CZELString text = gender == 1 ? GuiText(239) : gender == 2 ? GuiText(238) : CZELString();
    if (age >= 1 && age <= 999) {
        wchar_t number[8];
        wsprintfW(number, L"%d", age);
        if (!text.IsEmpty()) text += L" - ";
        text += number;
    }
    return text;
}

void ShowSearchDialog(HWND owner, unsigned accountId)
{
    CSearchDialog* dialog = new CSearchDialog(accountId);
    g_current = dialog;
    DoModalDialog(dialog, owner);
    g_current = nullptr;
    delete dialog;
}

CSearchDialog* CurrentSearchDialog()
{
    return g_current;
}

void AddSearchResult(const void* payload)
{
    CSearchDialog* dialog = g_current;
    if (!dialog) return;
    const CRefObject* object = static_cast<const CRefObject*>(payload);
    const CSearchResultPayload* row = dynamic_cast<const CSearchResultPayload*>(object);
    dialog->AddResult(row ? &row->row : nullptr);
}
