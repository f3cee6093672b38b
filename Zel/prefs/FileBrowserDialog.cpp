#include "Zel/prefs/FileBrowserDialog.h"

#include "Zel/prefs/FileBrowserModel.h"
#include "Zel/prefs/PreferencesPage.h"
#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/menu/PopupMenuWnd.h"
#include "ZELCommon/ZELWMUI_HiDpi.h"

#include <commctrl.h>
#include <shellapi.h>

namespace {

enum { PathList = 1032, UpButton = 1019, Rows = 1022, NameField = 1056, TypeList = 1063, NameLimit = 259 };

std::wstring g_lastPath;
bool g_showAll = false;
int g_viewMode = 0;

std::wstring WindowText(HWND window, int limit)
{
    std::vector<wchar_t> text(size_t(limit) + 1, 0);
    GetWindowTextW(window, text.data(), limit + 1);
    return text.data();
}

int SystemIcon(const std::wstring& path)
{
    SHFILEINFOW info = {};
    SHGetFileInfoW(path.c_str(), 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    return info.iIcon;
}

}  // namespace

FileBrowserDialog::FileBrowserDialog(const wchar_t* filter, int mode)
    : filter(filter ? filter : L""), mode(mode), folder(L"\\"), folderRows(0), nameEntry(false)
{
}

void FileBrowserDialog::OnInitDialog()
{
    UI::CZELWMUI_BigDlg::OnInitDialog();
    HWND types = GetDlgItem(TypeList);
    for (const std::wstring& entry : FileBrowser::Types(filter)) SendMessageW(types, CB_ADDSTRING, 0, LPARAM(entry.c_str()));
    if (SendMessageW(types, CB_GETCOUNT, 0, 0) > 0) {
        SendMessageW(types, CB_SETCURSEL, 0, 0);
        type = FileBrowser::Types(filter)[0];
    }
    HWND list = GetDlgItem(Rows);
    SHFILEINFOW info = {};
    HIMAGELIST icons = HIMAGELIST(
        SHGetFileInfoW(L"dummy.txt", FILE_ATTRIBUTE_NORMAL, &info, sizeof info, SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    // The system's list is shared: the list view must not destroy it.
    SetWindowLongW(list, GWL_STYLE, GetWindowLongW(list, GWL_STYLE) | LVS_SHAREIMAGELISTS);
    if (icons) SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, LPARAM(icons));
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    const struct {
        int text, width, format;
    } columns[] = {{264, 120, LVCFMT_LEFT}, {265, 55, LVCFMT_RIGHT}, {266, 100, LVCFMT_LEFT}};
    for (int i = 0; i < 3; ++i) {
        CZELString text = GuiText(columns[i].text);
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = columns[i].format;
        column.cx = (g_HIDPI_LogPixelsX * columns[i].width + 48) / 96;
        column.pszText = const_cast<wchar_t*>(text.GetBuffer() ? text.GetBuffer() : L"");
        SendMessageW(list, LVM_INSERTCOLUMNW, WPARAM(i), LPARAM(&column));
    }
    SetViewMode(g_viewMode);
    if (!g_lastPath.empty()) folder = g_lastPath.substr(0, g_lastPath.rfind(L'\\') + 1);
    ListFolder();
    HWND name = GetDlgItem(NameField);
    if (mode == ModeOpen) {
        SetWindowTextW(name, L"");
        SendMessageW(name, EM_SETREADONLY, TRUE, 0);
    } else {
        SendMessageW(name, EM_SETREADONLY, FALSE, 0);
        SendMessageW(name, EM_LIMITTEXT, NameLimit, 0);
        SetWindowTextW(name, type.c_str());
        SetFocus(name);
        SetNameEntry(true);
    }
}

void FileBrowserDialog::SetViewMode(int viewMode)
{
    g_viewMode = viewMode == 1 ? 1 : 0;
    HWND list = GetDlgItem(Rows);
    LONG style = GetWindowLongW(list, GWL_STYLE) & ~LVS_TYPEMASK;
    SetWindowLongW(list, GWL_STYLE, style | (g_viewMode ? LVS_REPORT : LVS_LIST));
}

void FileBrowserDialog::ListFolder()
{
    HWND list = GetDlgItem(Rows);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    rowNames.clear();
    folderRows = 0;
    if (mode == ModeOpen) SetDlgItemTextW(hwnd, NameField, L"");
    std::vector<FileBrowser::Entry> folders, files;
    if (!FileBrowser::List(folder, type, g_showAll, folders, files)) {
        folder = L"\\";
        FileBrowser::List(folder, type, g_showAll, folders, files);
    }
    auto insert = [&](const FileBrowser::Entry& entry, bool isFolder) {
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        item.iItem = int(rowNames.size());
        item.pszText = const_cast<wchar_t*>(entry.name.c_str());
        item.iImage = SystemIcon(FileBrowser::RealPath(folder + entry.name));
        item.lParam = LPARAM(rowNames.size());
        const int row = int(SendMessageW(list, LVM_INSERTITEMW, 0, LPARAM(&item)));
        if (row < 0) return;
        rowNames.push_back(entry.name);
        if (isFolder) ++folderRows;
        std::wstring size = isFolder ? std::wstring() : FileBrowser::SizeText(entry.size);
        std::wstring date = FileBrowser::DateText(entry.written);
        LVITEMW sub = {};
        sub.iSubItem = 1;
        sub.pszText = const_cast<wchar_t*>(size.c_str());
        SendMessageW(list, LVM_SETITEMTEXTW, WPARAM(row), LPARAM(&sub));
        sub.iSubItem = 2;
        sub.pszText = const_cast<wchar_t*>(date.c_str());
        SendMessageW(list, LVM_SETITEMTEXTW, WPARAM(row), LPARAM(&sub));
    };
    for (const auto& entry : folders) insert(entry, true);
    for (const auto& entry : files) insert(entry, false);
    if (!rowNames.empty()) {
        LVITEMW state = {};
        state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list, LVM_SETITEMSTATE, 0, LPARAM(&state));
    }
    FillPathList();
}

void FileBrowserDialog::FillPathList()
{
    HWND paths = GetDlgItem(PathList);
    SendMessageW(paths, CB_RESETCONTENT, 0, 0);
    std::vector<std::wstring> entries = FileBrowser::PathEntries(folder);
    for (const std::wstring& entry : entries) SendMessageW(paths, CB_ADDSTRING, 0, LPARAM(entry.c_str()));
    SendMessageW(paths, CB_SETCURSEL, WPARAM(entries.size() - 1), 0);
    EnableWindow(GetDlgItem(UpButton), entries.size() > 1);
}

void FileBrowserDialog::GoTo(const std::wstring& deviceFolder)
{
    folder = deviceFolder;
    ListFolder();
}

int FileBrowserDialog::SelectedRow() const
{
    return int(SendMessageW(GetDlgItem(Rows), LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
}

void FileBrowserDialog::SetNameEntry(bool on)
{
    nameEntry = on;
    SetSoftKeys();
}

void FileBrowserDialog::OnRowSelected(int row)
{
    if (row < 0 || row >= int(rowNames.size())) return;
    if (row < folderRows) {
        if (mode == ModeOpen)
            SetDlgItemTextW(hwnd, NameField, L"");
        else
            SetNameEntry(false);
    } else {
        SetDlgItemTextW(hwnd, NameField, rowNames[size_t(row)].c_str());
        if (mode == ModeSave) SetNameEntry(true);
    }
}

void FileBrowserDialog::OpenFolderRow(int row)
{
    std::wstring next;
    // A folder whose path would pass MAX_PATH is not entered.
    if (!FileBrowser::Child(folder, rowNames[size_t(row)], next)) return;
    GoTo(next);
    if (mode == ModeSave) SetNameEntry(true);
}

void FileBrowserDialog::Choose(const std::wstring& devicePath)
{
    g_lastPath = devicePath;
    EndDialog(IDOK);
}

void FileBrowserDialog::Activate()
{
    const int row = SelectedRow();
    if (mode == ModeOpen) {
        if (row < 0 || row >= int(rowNames.size())) return;
        if (row < folderRows) {
            OpenFolderRow(row);
            return;
        }
        std::wstring path = folder + rowNames[size_t(row)];
        if (FileBrowser::RealPath(path).size() > MAX_PATH - 1) return;
        Choose(path);
        return;
    }
    if (nameEntry) {
        std::wstring path;
        if (FileBrowser::SavePath(folder, WindowText(GetDlgItem(NameField), NameLimit), type, path)) Choose(path);
        return;
    }
    if (row >= 0 && row < folderRows)
        OpenFolderRow(row);
    else
        SetNameEntry(true);
}

int FileBrowserDialog::GetSoftKeyCap(TSoftKey key, CZELString& caption)
{
    if (key == SoftKeyLeft)
        caption = GuiText(mode == ModeSave && nameEntry ? 255 : 249);
    else
        caption = GuiText(246);
    return 1;
}

void FileBrowserDialog::OnSoftKey(TSoftKey key)
{
    if (key == SoftKeyLeft) {
        Activate();
        return;
    }
    CPopupMenu menu;
    auto item = [&](int text, int command, int image) {
        menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, image, GuiText(text), command, nullptr, 0, false));
    };
    item(mode == ModeSave && nameEntry ? 255 : 249, MenuActivate, -1);
    item(268, MenuUp, -1);
    menu.AddItem(CMenuItem(MENU_ITEM_SEPARATOR));
    item(269, MenuRefresh, -1);
    item(270, MenuShowAll, g_showAll ? 66 : -1);
    menu.AddItem(CMenuItem(MENU_ITEM_SEPARATOR));
    item(271, MenuListView, g_viewMode == 0 ? 19 : -1);
    item(272, MenuDetailsView, g_viewMode == 1 ? 19 : -1);
    menu.AddItem(CMenuItem(MENU_ITEM_SEPARATOR));
    item(244, MenuCancel, -1);
    RECT area = {};
    GetWindowRect(hwnd, &area);
    PopupMenuResult chosen = ShowPopupMenu(menu, area, POINT{area.right, area.bottom}, MenuAlignAboveRight, hwnd, true);
    RunMenuCommand(chosen.commandId);
}

void FileBrowserDialog::RunMenuCommand(int command)
{
    switch (command) {
    case MenuActivate: Activate(); break;
    case MenuUp:
        if (folder != L"\\") GoTo(FileBrowser::Parent(folder));
        break;
    case MenuRefresh: ListFolder(); break;
    case MenuShowAll:
        g_showAll = !g_showAll;
        ListFolder();
        break;
    case MenuListView: SetViewMode(0); break;
    case MenuDetailsView: SetViewMode(1); break;
    case MenuCancel: EndDialog(IDCANCEL); break;
    default: break;
    }
}

void FileBrowserDialog::OnCommand(WORD notifyCode, WORD id, HWND control)
{
    if (id == UpButton && notifyCode == BN_CLICKED) {
        RunMenuCommand(MenuUp);
    } else if (id == PathList && notifyCode == CBN_SELCHANGE) {
        const int index = int(SendMessageW(control, CB_GETCURSEL, 0, 0));
        if (index >= 0) GoTo(FileBrowser::CutAt(folder, index));
    } else if (id == TypeList && notifyCode == CBN_SELCHANGE) {
        const int index = int(SendMessageW(control, CB_GETCURSEL, 0, 0));
        std::vector<std::wstring> types = FileBrowser::Types(filter);
        type = index >= 0 && index < int(types.size()) ? types[size_t(index)] : std::wstring();
        ListFolder();
    } else if (id == NameField && notifyCode == EN_SETFOCUS && mode == ModeSave) {
        SetNameEntry(true);
    } else {
        UI::CZELWMUI_BigDlg::OnCommand(notifyCode, id, control);
    }
}

void FileBrowserDialog::OnNotify(HWND from, UINT_PTR id, UINT code, NMHDR* header)
{
    if (id == Rows && code == UINT(LVN_ITEMCHANGED)) {
        NMLISTVIEW* change = reinterpret_cast<NMLISTVIEW*>(header);
        if ((change->uChanged & LVIF_STATE) && (change->uNewState & LVIS_SELECTED) && !(change->uOldState & LVIS_SELECTED))
            OnRowSelected(change->iItem);
        else if ((change->uChanged & LVIF_STATE) && (change->uOldState & LVIS_SELECTED) &&
                 !(change->uNewState & LVIS_SELECTED) && mode == ModeSave)
            SetNameEntry(true);
    } else if (id == Rows && (code == UINT(LVN_ITEMACTIVATE) || code == UINT(NM_DBLCLK))) {
        Activate();
    } else {
        UI::CZELWMUI_BigDlg::OnNotify(from, id, code, header);
    }
}

const std::wstring& FileBrowserLastPath()
{
    return g_lastPath;
}

std::wstring FileBrowserLastRealPath()
{
    return g_lastPath.empty() ? std::wstring() : FileBrowser::RealPath(g_lastPath);
}

void FileBrowserReset()
{
    g_lastPath.clear();
    g_showAll = false;
    g_viewMode = 0;
}

bool FileBrowserShowAll()
{
    return g_showAll;
}

int FileBrowserViewMode()
{
    return g_viewMode;
}

bool RunFileBrowser(HWND owner, const wchar_t* filter, int mode, std::wstring& path)
{
    FileBrowserDialog dialog(filter, mode);
    if (dialog.DoModal(FileBrowserDialog::TemplateId, PreferencesModule(), owner) != IDOK) return false;
    path = FileBrowserLastRealPath();
    return true;
}
