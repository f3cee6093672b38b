// The account's dialogs, as the engine calls them from the user interface's thread, and the pages it
// hands the host's dialogs. Dialogs and page lists not yet built stand in: each returns as if the
// user cancelled, and those page lists get no pages.
#pragma once

#include "ZELCommon/ZELString.h"

class WexAccount;

namespace WexDialogs {

// "Add contact": on OK adds the contact to the server-side list. No result.
void RunAddContactDialog(WexAccount* account, const CZELString& number, const CZELString& nick,
                         const CZELString& group);
// "Authorization request": true and the edited text on OK.
bool RunAuthRequestDialog(WexAccount* account, CZELString& text);
// The x-status dialog: true and the edited title and description on OK.
bool RunXStatusDialog(WexAccount* account, CZELString& title, CZELString& description);

// The panes the account hands to the host's dialogs: 0 when done. The details pages ask for the
// details they show.
int AddSettingsPages(WexAccount* account, void* pages);
int AddOwnDetailsPages(WexAccount* account, void* pages);
int AddContactDetailsPages(WexAccount* account, int contactId, void* pages);
int AddSearchPages(WexAccount* account, void* pages);

}  // namespace WexDialogs
