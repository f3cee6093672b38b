// The pages a Wex account hands the account settings dialog: "Account", "Connection" and
// "Additional", from the plug-in's templates. They are made on the account's queue and read a copy
// of its settings; what they store goes back through the queue, or, for the connection values,
// straight into the protocols manager.
#pragma once

class WexAccount;

namespace WexPages {

// Appends the account's pages to the host's list (a ZELTabDlg::PanList). Runs on the account's
// queue.
void AppendSettingsPages(WexAccount& account, void* pages);

}  // namespace WexPages
