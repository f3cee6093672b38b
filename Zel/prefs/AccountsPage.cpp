// The Accounts page: one owner-drawn row per account of the protocols manager, each row's data the
// account id. Every button acts on the manager at once; nothing is stored on OK.
#include "Zel/prefs/PreferencesPages.h"

#include "Zel/core/accounts/ProtocolsManager.h"
#include "Zel/prefs/PreferencesDialog.h"
#include "Zel/shell/CoreServices.h"
#include "Zel/shell/helpers/ControlHelpers.h"
#include "Zel/shell/menu/PopupMenuWnd.h"
#include "Zel/shell/skin/ColorScheme.h"
#include "Zel/core/skin/SkinImageSet.h"
#include "ZELCommon/ZELWMUI_HiDpi.h"

#include <commctrl.h>

namespace {

enum { ListId = 1000, AddId = 1001, SettingsId = 1002, DeleteId = 1004, UpId = 1005, DownId = 1006 };
enum { FirstProtocolCommand = 1000, LastProtocolCommand = 1099 };
const int kRowTextColor = 22;

class AccountsPage : public PreferencesPage {
public:
    explicit AccountsPage(PreferencesDialog& owner) : PreferencesPage(owner, 130, 59, 56) {}

protected:
    void Load() override
    {
        Label(AddId, 118);
        Label(SettingsId, 119);
        Label(1003, 120);
        Label(DeleteId, 122);
        Label(UpId, 124);
        Label(DownId, 125);
        HWND list = GetDlgItem(ListId);
        SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
        while (SendMessageW(list, LVM_DELETECOLUMN, 0, 0)) {
        }
        RECT client = {};
        GetClientRect(list, &client);
        LVCOLUMNW column = {};
        column.mask = LVCF_WIDTH;
        column.cx = client.right;
        SendMessageW(list, LVM_INSERTCOLUMNW, 0, LPARAM(&column));
        CProtocolsManager* manager = ProtocolsManagerService;
        const int count = manager ? manager->GetAccountCount() : 0;
        for (int i = 0; i < count; ++i)
            if (InsertRow(i, manager->GetAccountId(unsigned(i))) < 0) break;
        if (count > 0) SelectRow(0);
        ListViewApplySkin(list);
    }
    void Store() override {}

    void OnButton(int id) override
    {
        switch (id) {
        case AddId: Add(); break;
        case SettingsId: OpenSettings(); break;
        case DeleteId: Delete(); break;
        case UpId: Move(-1); break;
        case DownId: Move(1); break;
        default: break;
        }
    }

    void OnNotify(HWND from, UINT_PTR id, UINT code, NMHDR* header) override
    {
        if (id == ListId && code == UINT(NM_RETURN))
            OpenSettings();
        else
            PreferencesPage::OnNotify(from, id, code, header);
    }

    void OnDrawItem(UINT id, DRAWITEMSTRUCT* item) override
    {
        if (id != ListId || !item) return PreferencesPage::OnDrawItem(id, item);
        DrawRow(*item);
        SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, TRUE);
    }

private:
    HWND List() const { return GetDlgItem(ListId); }

    int InsertRow(int index, unsigned account)
    {
        LVITEMW row = {};
        row.mask = LVIF_PARAM;
        row.iItem = index;
        row.lParam = LPARAM(account);
        return int(SendMessageW(List(), LVM_INSERTITEMW, 0, LPARAM(&row)));
    }

    unsigned RowAccount(int index) const
    {
        LVITEMW row = {};
        row.mask = LVIF_PARAM;
        row.iItem = index;
        if (!SendMessageW(List(), LVM_GETITEMW, 0, LPARAM(&row))) return 0;
        return unsigned(row.lParam);
    }

    void SelectRow(int index)
    {
        LVITEMW state = {};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(List(), LVM_SETITEMSTATE, WPARAM(index), LPARAM(&state));
        SendMessageW(List(), LVM_ENSUREVISIBLE, WPARAM(index), FALSE);
    }

    void Add()
    {
        CProtocolsManager* manager = ProtocolsManagerService;
        if (!manager) return;
        CPopupMenu menu;
        const int protocols = manager->GetProtocolCount();
        for (int i = 0; i < protocols && i <= LastProtocolCommand - FirstProtocolCommand; ++i) {
            ProtocolDescription protocol = manager->GetProtocol(i);
            menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, protocol.imageIndex, protocol.displayName, FirstProtocolCommand + i,
                                   nullptr, 0, false));
        }
        RECT button = {};
        GetWindowRect(GetDlgItem(AddId), &button);
        PopupMenuResult chosen =
            ShowPopupMenu(menu, button, POINT{button.left, button.top}, MenuAlignAboveLeft, hwnd, true);
        if (chosen.commandId < FirstProtocolCommand || chosen.commandId > LastProtocolCommand) return;
        const int index = chosen.commandId - FirstProtocolCommand;
        if (index >= manager->GetProtocolCount()) return;
        const unsigned account = manager->CreateAccount(manager->GetProtocol(index).guid);
        if (!account) return;
        const int row = InsertRow(int(SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0)), account);
        if (row < 0) return;
        SelectRow(row);
        OpenAccount(account);
    }

    void OpenSettings()
    {
        const int row = ListViewGetSelected(List());
        if (row < 0) return;
        if (unsigned account = RowAccount(row)) OpenAccount(account);
    }

    void OpenAccount(unsigned account)
    {
        if (PreferencesDialogs().accountSettings) PreferencesDialogs().accountSettings(account, hwnd);
    }

    void Delete()
    {
        const int row = ListViewGetSelected(List());
        if (row < 0) return;
        const unsigned account = RowAccount(row);
        SendMessageW(List(), LVM_DELETEITEM, WPARAM(row), 0);
        if (SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0) > 0) SelectRow(row > 0 ? row - 1 : 0);
        if (ProtocolsManagerService && account) ProtocolsManagerService->RemoveAccount(account);
    }

    void Move(int step)
    {
        const int row = ListViewGetSelected(List());
        const int count = int(SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0));
        const int target = row + step;
        if (row < 0 || target < 0 || target >= count || !ProtocolsManagerService) return;
        const unsigned account = RowAccount(row);
        if (ProtocolsManagerService->MoveAccount(account, unsigned(target)) != 0) return;
        SendMessageW(List(), LVM_DELETEITEM, WPARAM(row), 0);
        if (InsertRow(target, account) >= 0) SelectRow(target);
    }

    void DrawRow(const DRAWITEMSTRUCT& item)
    {
        HDC dc = item.hDC;
        RECT row = item.rcItem;
        const bool selected = (item.itemState & ODS_SELECTED) != 0;
        const bool focused = GetFocus() == List();
        COLORREF text = GetSchemeColor(kRowTextColor);
        if (selected) {
            FillRect(dc, &row, GetSysColorBrush(focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
            text = GetSysColor(focused ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT);
        }
        const unsigned account = unsigned(item.itemData);
        CZELString line;
        int icon = -1;
        if (CProtocolsManager* manager = ProtocolsManagerService) {
            ProtocolDescription protocol = manager->GetAccountProtocol(account);
            icon = protocol.imageIndex;
            CZELString name;
            manager->GetAccountName(name, account, false);
            line = protocol.displayName + (name.IsEmpty() ? GuiText(123) : CZELString(L" ") + name);
        }
        const int middle = (row.top + row.bottom) / 2;
        const int iconWidth = (g_HIDPI_LogPixelsX + 3) * 16 / 96;
        const int iconHeight = (g_HIDPI_LogPixelsY + 3) * 16 / 96;
        const int iconTop = middle - (g_HIDPI_LogPixelsY + 6) * 8 / 96;
        if (CSkinImageSet* images = GuiImages())
            if (icon >= 0) images->DrawStretched(icon, dc, row.left, iconTop, row.left + iconWidth, iconTop + iconHeight, 1, 255);
        RECT textBox = row;
        textBox.left = row.left + iconWidth + (g_HIDPI_LogPixelsX + 24) * 2 / 96;
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, text);
        if (!line.IsEmpty())
            DrawTextW(dc, line.GetBuffer(), line.GetLength(), &textBox,
                      DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP | DT_END_ELLIPSIS | DT_NOPREFIX);
    }
};

}  // namespace

PreferencesPage* NewAccountsPage(PreferencesDialog& owner)
{
    return new AccountsPage(owner);
}
