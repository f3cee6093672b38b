#include "Zel/shell/dialogs/DetailsDialogs.h"

#include "Zel/core/accounts/ProtocolsManager.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/shell/CoreServices.h"
#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/dialogs/DialogTemplates.h"

namespace {

// Soft-key texts.
const int kUpdateText = 247;
const int kCloseText = 248;

CContactDetailsDialog* g_contactDetails = nullptr;
COwnDetailsDialog* g_ownDetails = nullptr;

}  // namespace

int CDetailsDialog::GetSoftKeyCap(TSoftKey key, CZELString& caption)
{
    if (key == SoftKeyLeft) {
        caption = GuiText(kUpdateText);
        return 1;
    }
    if (key == SoftKeyRight) {
        caption = GuiText(kCloseText);
        return 1;
    }
    return 0;
}

void CDetailsDialog::OnSoftKey(TSoftKey key)
{
    if (key == SoftKeyLeft)
        DoDataExchange(1);
    else if (key == SoftKeyRight)
        EndDialog(IDCANCEL);
}

CContactDetailsDialog::~CContactDetailsDialog() {}

void CContactDetailsDialog::BuildPages(SettingsPageList& list)
{
    if (!ContactListDataService || !ProtocolsManagerService) return;
    unsigned account = ContactListDataService->GetItemAccount(contact);
    if (account) ProtocolsManagerService->GetContactDetailsPages(account, contact, &list.pages);
}

COwnDetailsDialog::~COwnDetailsDialog() {}

void COwnDetailsDialog::BuildPages(SettingsPageList& list)
{
    if (ProtocolsManagerService && account) ProtocolsManagerService->GetOwnDetailsPages(account, &list.pages);
}

int RunContactDetailsDialog(CContactDetailsDialog* dialog, HWND owner)
{
    // One at a time: a second request while one runs is that one's business.
    if (g_contactDetails || !dialog) return 0;
    g_contactDetails = dialog;
    int result = DoModalDialog(dialog, owner);
    g_contactDetails = nullptr;
    return result;
}

void ShowContactDetailsDialog(HWND owner, int contact)
{
    if (g_contactDetails) return;
    CContactDetailsDialog* dialog = new CContactDetailsDialog(contact);
    RunContactDetailsDialog(dialog, owner);
    delete dialog;
}

void RefreshContactDetailsDialog(int contact)
{
    if (g_contactDetails && g_contactDetails->Contact() == contact && *g_contactDetails)
        g_contactDetails->DoDataExchange(0);
}

int RunOwnDetailsDialog(COwnDetailsDialog* dialog, HWND owner)
{
    if (g_ownDetails || !dialog) return 0;
    g_ownDetails = dialog;
    int result = DoModalDialog(dialog, owner);
    g_ownDetails = nullptr;
    return result;
}

void ShowOwnDetailsDialog(HWND owner, unsigned account)
{
    if (g_ownDetails) return;
    COwnDetailsDialog* dialog = new COwnDetailsDialog(account);
    RunOwnDetailsDialog(dialog, owner);
    delete dialog;
}

void RefreshOwnDetailsDialog(unsigned account)
{
    if (g_ownDetails && g_ownDetails->Account() == account && *g_ownDetails) g_ownDetails->DoDataExchange(0);
}

CContactDetailsDialog* OpenContactDetailsDialog()
{
    return g_contactDetails;
}

COwnDetailsDialog* OpenOwnDetailsDialog()
{
    return g_ownDetails;
}
