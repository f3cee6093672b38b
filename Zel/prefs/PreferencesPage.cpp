#include "Zel/prefs/PreferencesPage.h"

#include "Zel/prefs/PreferencesDialog.h"
#include "Zel/shell/app/Application.h"
#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/helpers/ControlHelpers.h"

PreferencesPage::PreferencesPage(PreferencesDialog& owner, int templateId, int caption, int icon)
    : owner(owner), templateId(templateId), caption(caption), icon(icon)
{
}

CZELString PreferencesPage::GetTitle()
{
    return GuiText(caption);
}

CZELArray<int> PreferencesPage::GetIcons()
{
    CZELArray<int> icons;
    icons.Add(icon);
    return icons;
}

ZELTabDlg::PanResource PreferencesPage::GetResource()
{
    return {PreferencesModule(), templateId};
}

int PreferencesPage::DoDataExchange(int save)
{
    if (save) {
        Store();
    } else {
        Load();
        UpdateEnabling(0);
    }
    return 1;
}

void PreferencesPage::OnCommand(WORD notifyCode, WORD id, HWND control)
{
    wchar_t kind[32] = L"";
    if (control) GetClassNameW(control, kind, 32);
    const bool button = lstrcmpiW(kind, L"Button") == 0;
    if (button && notifyCode == BN_CLICKED) {
        const LONG style = GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
        if (style == BS_PUSHBUTTON || style == BS_DEFPUSHBUTTON)
            OnButton(id);
        else
            UpdateEnabling(id);
    } else if (!button && notifyCode == CBN_SELCHANGE && lstrcmpiW(kind, L"ComboBox") == 0) {
        UpdateEnabling(id);
    } else {
        SkinnedPage::OnCommand(notifyCode, id, control);
    }
}

GlobalSettings& PreferencesPage::Settings()
{
    return owner.Settings();
}

void PreferencesPage::Notify(int code)
{
    owner.NotifyListeners(code);
}

void PreferencesPage::Label(int id, int text)
{
    CZELString value = GuiText(text);
    SetDlgItemTextW(hwnd, id, value.GetBuffer() ? value.GetBuffer() : L"");
}

bool PreferencesPage::Checked(int id) const
{
    return SendMessageW(GetDlgItem(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void PreferencesPage::Check(int id, bool checked)
{
    SendMessageW(GetDlgItem(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void PreferencesPage::EnableItems(std::initializer_list<int> ids, bool enabled)
{
    for (int id : ids) EnableWindow(GetDlgItem(id), enabled ? TRUE : FALSE);
}

CZELString PreferencesPage::ItemText(int id, int limit) const
{
    CZELString text;
    GetWindowString(GetDlgItem(id), text);
    return text.GetLength() > limit ? text.Substring(0, limit) : text;
}

void PreferencesPage::SetItemText(int id, const CZELString& text)
{
    SetDlgItemTextW(hwnd, id, text.GetBuffer() ? text.GetBuffer() : L"");
}

void PreferencesPage::FillNames(int id, const CZELArray<CZELString>& names, const CZELString& current)
{
    HWND combo = GetDlgItem(id);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    int selected = 0;
    for (int i = 0; i < names.GetCount(); ++i) {
        SendMessageW(combo, CB_ADDSTRING, 0, LPARAM(names[i].GetBuffer() ? names[i].GetBuffer() : L""));
        if (SameName(names[i], current) && selected == 0) selected = i;
    }
    // A first entry equal to the current one is found above as well.
    if (names.GetCount() > 0) SendMessageW(combo, CB_SETCURSEL, WPARAM(selected), 0);
}

CZELString PreferencesPage::SelectedText(int id) const
{
    CZELString text;
    ComboGetSelectedText(GetDlgItem(id), text);
    return text;
}

int PreferencesPage::Selection(int id) const
{
    return int(SendMessageW(GetDlgItem(id), CB_GETCURSEL, 0, 0));
}

void PreferencesPage::Select(int id, int index)
{
    SendMessageW(GetDlgItem(id), CB_SETCURSEL, WPARAM(index), 0);
}

bool SameName(const CZELString& a, const CZELString& b)
{
    if (a.GetLength() != b.GetLength()) return false;
    if (a.IsEmpty()) return true;
    return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.GetBuffer(), a.GetLength(), b.GetBuffer(),
                          b.GetLength()) == CSTR_EQUAL;
}

HINSTANCE PreferencesModule()
{
    HINSTANCE instance = TheApplication ? TheApplication->GetInstance() : nullptr;
    return instance ? instance : GetModuleHandleW(nullptr);
}
