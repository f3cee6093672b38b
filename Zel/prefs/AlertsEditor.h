// The alerts editor over a copy of the five alert entries, and the dialog for one entry. A row
// selected while the list has the focus plays its alert as a preview.
#pragma once

#include "Zel/shell/alerts/AlertPack.h"
#include "Zel/prefs/SkinnedDialog.h"

#include <windows.h>

class AlertsEditor : public SkinnedDialog {
public:
    enum { TemplateId = 166, Rows = 5 };
    enum { MenuChange = 1, MenuDefault, MenuCancel };

    AlertsEditor(const AlertEntryArray& entries, const CZELString& packName);

    void OnInitDialog() override;
    int GetSoftKeyCap(TSoftKey key, CZELString& caption) override;
    void OnSoftKey(TSoftKey key) override;
    void OnNotify(HWND from, UINT_PTR id, UINT code, NMHDR* header) override;

    void RunMenuCommand(int command);
    // Opens the entry dialog on the selected row.
    void Change();
    const AlertEntryArray& Entries() const { return entries; }

private:
    AlertEntryArray entries;
    CZELString packName;
};

class AlertEntryDialog : public SkinnedDialog {
public:
    enum { TemplateId = 167 };
    explicit AlertEntryDialog(AlertEntry& entry);

    int GetSoftKeyCap(TSoftKey key, CZELString& caption) override;
    void OnSoftKey(TSoftKey key) override;
    void OnCommand(WORD notifyCode, WORD id, HWND control) override;

protected:
    int DoDataExchange(int save) override;

private:
    void UpdateEnabling();
    AlertEntry& entry;
    CZELString sound;
};

// Runs the editor over owner on entries; true and entries replaced after OK.
bool RunAlertsEditor(HWND owner, AlertEntryArray& entries);
