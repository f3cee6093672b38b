#include "Zel/prefs/AlertsEditor.h"

#include "Zel/prefs/FileBrowserDialog.h"
#include "Zel/prefs/GlobalSettings.h"
#include "Zel/prefs/PreferencesPage.h"
#include "Zel/shell/alerts/AlertPlayer.h"
#include "Zel/shell/app/Application.h"
#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/helpers/ControlHelpers.h"
#include "Zel/shell/menu/PopupMenuWnd.h"

#include <commctrl.h>

#include <string>

namespace {

enum { AlertList = 1177, FirstEventName = 207 };
enum { OnBox = 1178, OnLabel = 1179, SoundBox = 1180, SoundLabel = 1181, SoundField = 1182, SoundFieldLabel = 1183,
       VibraLabel = 1184, VibraField = 1185, ChangeButton = 1019, VibraLimit = 32 };

}  // namespace

AlertsEditor::AlertsEditor(const AlertEntryArray& source, const CZELString& packName) : packName(packName)
{
    for (int i = 0; i < source.GetCount(); ++i) entries.Add(source[i]);
}

void AlertsEditor::OnInitDialog()
{
    UI::CZELWMUI_BigDlg::OnInitDialog();
    HWND list = GetDlgItem(AlertList);
    RECT client = ClientAboveBar();
    MoveWindow(list, 0, 0, client.right, client.bottom, FALSE);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    GetClientRect(list, &client);
    LVCOLUMNW column = {};
    column.mask = LVCF_WIDTH;
    column.cx = client.right;
    SendMessageW(list, LVM_INSERTCOLUMNW, 0, LPARAM(&column));
    for (int i = 0; i < Rows; ++i) {
        CZELString name = GuiText(FirstEventName + i);
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = i;
        item.pszText = const_cast<wchar_t*>(name.GetBuffer() ? name.GetBuffer() : L"");
        SendMessageW(list, LVM_INSERTITEMW, 0, LPARAM(&item));
    }
    LVITEMW state = {};
    state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, 0, LPARAM(&state));
    ListViewApplySkin(list);
}

int AlertsEditor::GetSoftKeyCap(TSoftKey key, CZELString& caption)
{
    caption = GuiText(key == SoftKeyLeft ? 243 : 246);
    return 1;
}

void AlertsEditor::OnSoftKey(TSoftKey key)
{
    if (key == SoftKeyLeft) {
        EndDialog(IDOK);
        return;
    }
    CPopupMenu menu;
    menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, -1, GuiText(252), MenuChange, nullptr, 0, false));
    menu.AddItem(CMenuItem(MENU_ITEM_SEPARATOR));
    menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, 61, GuiText(253), MenuDefault, nullptr, 0, false));
    menu.AddItem(CMenuItem(MENU_ITEM_SEPARATOR));
    menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, 67, GuiText(244), MenuCancel, nullptr, 0, false));
    RECT area = {};
    GetWindowRect(hwnd, &area);
    RunMenuCommand(ShowPopupMenu(menu, area, POINT{area.right, area.bottom}, MenuAlignAboveRight, hwnd, true).commandId);
}

void AlertsEditor::RunMenuCommand(int command)
{
    switch (command) {
    case MenuChange: Change(); break;
    case MenuDefault:
        AlertPack::LoadPack(packName, entries);
        InvalidateRect(GetDlgItem(AlertList), nullptr, TRUE);
        break;
    case MenuCancel: EndDialog(IDCANCEL); break;
    default: break;
    }
}

void AlertsEditor::Change()
{
    const int row = ListViewGetSelected(GetDlgItem(AlertList));
    if (row < 0 || row >= Rows || row >= entries.GetCount()) return;
    AlertEntryDialog dialog(entries[row]);
    dialog.DoModal(AlertEntryDialog::TemplateId, PreferencesModule(), hwnd);
}

void AlertsEditor::OnNotify(HWND from, UINT_PTR id, UINT code, NMHDR* header)
{
    if (id == AlertList && (code == UINT(LVN_ITEMACTIVATE) || code == UINT(NM_RETURN))) {
        Change();
    } else if (id == AlertList && code == UINT(LVN_ITEMCHANGED)) {
        NMLISTVIEW* change = reinterpret_cast<NMLISTVIEW*>(header);
        const bool selected = (change->uChanged & LVIF_STATE) && (change->uNewState & LVIS_SELECTED) &&
                              !(change->uOldState & LVIS_SELECTED);
        if (selected && GetFocus() == GetDlgItem(AlertList) && change->iItem >= 0 && change->iItem < entries.GetCount())
            if (CGuiResources* resources = TheApplication ? TheApplication->Resources() : nullptr)
                PlayAlert(resources->Alerts(), entries[change->iItem]);
    } else {
        UI::CZELWMUI_BigDlg::OnNotify(from, id, code, header);
    }
}

bool RunAlertsEditor(HWND owner, AlertEntryArray& entries)
{
    CZELString pack = TheApplication ? TheApplication->Settings().alertPackName : CZELString();
    AlertsEditor editor(entries, pack);
    if (editor.DoModal(AlertsEditor::TemplateId, PreferencesModule(), owner) != IDOK) return false;
    entries = AlertEntryArray();
    for (int i = 0; i < editor.Entries().GetCount(); ++i) entries.Add(editor.Entries()[i]);
    return true;
}

AlertEntryDialog::AlertEntryDialog(AlertEntry& entry) : entry(entry), sound(entry.sound) {}

int AlertEntryDialog::DoDataExchange(int save)
{
    if (save) {
        entry.on = IsDlgButtonChecked(hwnd, OnBox) == BST_CHECKED;
        entry.soundOn = IsDlgButtonChecked(hwnd, SoundBox) == BST_CHECKED;
        entry.sound = sound;
        CZELString vibra;
        GetWindowString(GetDlgItem(VibraField), vibra);
        entry.vibra = BitsFromString(vibra);
        return 1;
    }
    const struct {
        int id, text;
    } labels[] = {{OnLabel, 277}, {SoundLabel, 278}, {SoundFieldLabel, 279}, {ChangeButton, 252}, {VibraLabel, 280}};
    for (const auto& label : labels) SetDlgItemTextW(hwnd, label.id, GuiText(label.text).GetBuffer());
    CheckDlgButton(hwnd, OnBox, entry.on ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hwnd, SoundBox, entry.soundOn ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemTextW(hwnd, SoundField, sound.GetBuffer() ? sound.GetBuffer() : L"");
    SendMessageW(GetDlgItem(VibraField), EM_LIMITTEXT, VibraLimit, 0);
    CZELString bits = BitsToString(entry.vibra);
    SetDlgItemTextW(hwnd, VibraField, bits.GetBuffer() ? bits.GetBuffer() : L"");
    UpdateEnabling();
    return 1;
}

void AlertEntryDialog::UpdateEnabling()
{
    const bool on = IsDlgButtonChecked(hwnd, OnBox) == BST_CHECKED;
    const bool soundOn = IsDlgButtonChecked(hwnd, SoundBox) == BST_CHECKED;
    for (int id : {int(SoundBox), int(SoundLabel), int(VibraField), int(VibraLabel)}) EnableWindow(GetDlgItem(id), on);
    for (int id : {int(SoundField), int(SoundFieldLabel), int(ChangeButton)}) EnableWindow(GetDlgItem(id), on && soundOn);
}

void AlertEntryDialog::OnCommand(WORD notifyCode, WORD id, HWND control)
{
    if ((id == OnBox || id == SoundBox) && notifyCode == BN_CLICKED) {
        UpdateEnabling();
    } else if (id == ChangeButton && notifyCode == BN_CLICKED) {
        std::wstring path;
        if (RunFileBrowser(hwnd, L"*.wav;", FileBrowserDialog::ModeOpen, path)) {
            sound = CZELString(path.c_str());
            SetDlgItemTextW(hwnd, SoundField, path.c_str());
        }
    } else {
        UI::CZELWMUI_BigDlg::OnCommand(notifyCode, id, control);
    }
}

int AlertEntryDialog::GetSoftKeyCap(TSoftKey key, CZELString& caption)
{
    caption = GuiText(key == SoftKeyLeft ? 243 : 244);
    return 1;
}

void AlertEntryDialog::OnSoftKey(TSoftKey key)
{
    EndDialog(key == SoftKeyLeft ? IDOK : IDCANCEL);
}
