// The two details dialogs that show a plug-in's pages: a contact's details and an account's own
// details. Each runs modally; while it runs the program keeps one pointer to it, so that details
// arriving from the network reload its pages. "Update" (left soft key) sends the pages' values,
// "Close" (right soft key) ends it.
#pragma once

#include "Zel/shell/dialogs/SettingsDialog.h"

#include <windows.h>

class CDetailsDialog : public CSettingsDialog {
public:
    int GetSoftKeyCap(TSoftKey key, CZELString& caption) override;
    void OnSoftKey(TSoftKey key) override;
};

class CContactDetailsDialog : public CDetailsDialog {
public:
    explicit CContactDetailsDialog(int contact) : contact(contact) {}
    ~CContactDetailsDialog() override;
    void BuildPages(SettingsPageList& list) override;
    int Contact() const { return contact; }

private:
    int contact;
};

class COwnDetailsDialog : public CDetailsDialog {
public:
    explicit COwnDetailsDialog(unsigned account) : account(account) {}
    ~COwnDetailsDialog() override;
    void BuildPages(SettingsPageList& list) override;
    unsigned Account() const { return account; }

private:
    unsigned account;
};

void ShowContactDetailsDialog(HWND owner, int contact);
// Runs a dialog made by the caller as the open contact details dialog (nothing when one runs);
// its end code, 0 when it did not run.
int RunContactDetailsDialog(CContactDetailsDialog* dialog, HWND owner);
// Reloads the open contact details dialog when it shows this contact.
void RefreshContactDetailsDialog(int contact);
void ShowOwnDetailsDialog(HWND owner, unsigned account);
int RunOwnDetailsDialog(COwnDetailsDialog* dialog, HWND owner);
// Reloads the open own details dialog when it shows this account.
void RefreshOwnDetailsDialog(unsigned account);

// The open dialogs, null when none runs.
CContactDetailsDialog* OpenContactDetailsDialog();
COwnDetailsDialog* OpenOwnDetailsDialog();
