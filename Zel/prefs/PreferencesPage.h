// The base of the preferences' pages: caption, icon and template, and the small control helpers
// every page uses. A page loads its controls and runs its enabling rules when its window is made,
// stores when the dialog ends with OK (always accepting) and re-runs its rules on each click.
#pragma once

#include "Zel/prefs/SkinnedDialog.h"

#include <windows.h>

#include <initializer_list>

class PreferencesDialog;
class GlobalSettings;

class PreferencesPage : public SkinnedPage {
public:
    PreferencesPage(PreferencesDialog& owner, int templateId, int caption, int icon);

    CZELString GetTitle() override;
    CZELArray<int> GetIcons() override;
    ZELTabDlg::PanResource GetResource() override;

protected:
    int DoDataExchange(int save) override;
    void OnCommand(WORD notifyCode, WORD id, HWND control) override;

    virtual void Load() = 0;
    virtual void Store() = 0;
    // The enabling rules; id is the control that changed, 0 on load.
    virtual void UpdateEnabling(int id) { (void)id; }
    // A click on a push button.
    virtual void OnButton(int id) { (void)id; }

    GlobalSettings& Settings();
    void Notify(int code);

    void Label(int id, int text);
    bool Checked(int id) const;
    void Check(int id, bool checked);
    void EnableItems(std::initializer_list<int> ids, bool enabled);
    CZELString ItemText(int id, int limit = 255) const;
    void SetItemText(int id, const CZELString& text);
    // The list emptied and filled with names, the one equal to current (letter case ignored)
    // selected, else the first.
    void FillNames(int id, const CZELArray<CZELString>& names, const CZELString& current);
    // The selected entry's text; empty when none is selected.
    CZELString SelectedText(int id) const;
    int Selection(int id) const;
    void Select(int id, int index);

    PreferencesDialog& owner;

private:
    int templateId, caption, icon;
};

// Case-blind equality of names (packs, skins, languages).
bool SameName(const CZELString& a, const CZELString& b);
// The module that holds the program's templates.
HINSTANCE PreferencesModule();
