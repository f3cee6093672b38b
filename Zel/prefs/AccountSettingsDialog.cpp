#include "Zel/prefs/AccountSettingsDialog.h"

#include "Zel/core/accounts/ProtocolsManager.h"
#include "Zel/shell/CoreServices.h"
#include "Zel/shell/dialogs/DialogTemplates.h"

void CAccountSettingsDialog::BuildPages(SettingsPageList& list)
{
    if (ProtocolsManagerService) ProtocolsManagerService->GetSettingsPages(accountId, &list.pages);
}

void ShowAccountSettingsDialog(unsigned accountId, HWND owner)
{
    CAccountSettingsDialog dialog(accountId);
    DoModalDialog(&dialog, owner);
}
