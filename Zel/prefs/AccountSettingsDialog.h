// CAccountSettingsDialog: the settings pages of one account, which its plug-in builds; OK stores
// through each page. An account that gives no page ends the dialog at once.
#pragma once

#include "Zel/shell/dialogs/SettingsDialog.h"

class CAccountSettingsDialog : public CSettingsDialog {
public:
    explicit CAccountSettingsDialog(unsigned accountId) : accountId(accountId) {}
    void BuildPages(SettingsPageList& list) override;
    unsigned AccountId() const { return accountId; }

private:
    unsigned accountId;
};

// Runs the dialog modally over owner.
void ShowAccountSettingsDialog(unsigned accountId, HWND owner);
