// The details pages a Wex account hands the program's details dialogs: nine pages of the user's own
// details that store what changed and send it, one save request per page, and nine read-only pages
// of a contact's details with an editable note. They are made on the account's queue (where the
// host's request for them runs) and live on the user interface's thread; what they hand the account
// goes through its queue.
#pragma once

class WexAccount;

namespace WexPages {

// Appends the own-details editor pages to the host's list (a ZELTabDlg::PanList).
void AppendOwnDetailsPages(WexAccount& account, void* pages);
// Appends a contact's viewer pages.
void AppendContactDetailsPages(WexAccount& account, int contactId, void* pages);

}  // namespace WexPages
