// The account's dialogs, as the engine calls them from the user interface's thread, and the pages it
// hands the host's dialogs. Page lists not yet built get no pages.
#pragma once

#include "ZELCommon/ZELString.h"

#include <vector>

class WexAccount;
namespace Services {
class CServicesManager;
}

namespace WexDialogs {

// The modal dialogs run on the user interface's thread and never while the account registry's lock
// is held; bus gives the skin. Each is true, with the edited values, on OK.
struct AddContactValues {
    CZELString number, nick, group;
};
// "Add contact": groups are offered; number and group must not be empty.
bool RunAddContactDialog(Services::CServicesManager* bus, const std::vector<CZELString>& groups, AddContactValues& values);
// "Authorization request": the reason.
bool RunAuthRequestDialog(Services::CServicesManager* bus, CZELString& text);
// The x-status dialog: title and description.
bool RunXStatusDialog(Services::CServicesManager* bus, CZELString& title, CZELString& description);

// The menu commands' side: each reads what the dialog shows (under the registry's lock only to copy),
// runs the dialog, and posts what was confirmed to the account's queue.
// "Add contact", pre-filled with start (its group a name, chosen case aside).
void AddContactFromMenu(unsigned accountId, const AddContactValues& start);
// The authorisation request to contactId, with the reason the user confirmed.
void AuthRequestFromMenu(unsigned accountId, int contactId, const CZELString& reason);
// X-status index (from 1) with the texts stored for it, edited; on OK stored and set.
void XStatusFromMenu(unsigned accountId, int index);
// A string property of a contact-list item (safe from any thread: the list guards itself).
CZELString ItemProperty(Services::CServicesManager* bus, int itemId, const wchar_t* name);

// The panes the account hands to the host's dialogs: 0 when done. The details pages ask for the
// details they show.
int AddSettingsPages(WexAccount* account, void* pages);
int AddOwnDetailsPages(WexAccount* account, void* pages);
int AddContactDetailsPages(WexAccount* account, int contactId, void* pages);
int AddSearchPages(WexAccount* account, void* pages);

}  // namespace WexDialogs
