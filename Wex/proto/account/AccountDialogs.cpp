#include "Wex/proto/account/AccountDialogs.h"

#include "Wex/proto/account/WexAccount.h"
#include "Wex/dialogs/SettingsPages.h"

namespace WexDialogs {

void RunAddContactDialog(WexAccount*, const CZELString&, const CZELString&, const CZELString&) {}

bool RunAuthRequestDialog(WexAccount*, CZELString&)
{
    return false;
}

bool RunXStatusDialog(WexAccount*, CZELString&, CZELString&)
{
    return false;
}

int AddSettingsPages(WexAccount* account, void* pages)
{
    if (account) WexPages::AppendSettingsPages(*account, pages);
    return 0;
}

// The details pages show what the server holds: opening them asks for it (on the account's queue,
// where the host's request for the pages runs).
int AddOwnDetailsPages(WexAccount* account, void*)
{
    if (account) account->RequestDetails(0);
    return 0;
}

int AddContactDetailsPages(WexAccount* account, int contactId, void*)
{
    if (account) account->RequestDetails(contactId);
    return 0;
}

int AddSearchPages(WexAccount*, void*)
{
    return 0;
}

}  // namespace WexDialogs
