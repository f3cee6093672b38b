// The pages an XMPP account hands the account settings dialog: "Account", "Expert" and, for the
// own-server kind, "Advanced", made from the plug-in's templates. They read and write the account's
// stored settings, which any thread may; what else they change goes to the account's queue.
#pragma once

#include "ZELCommon/ZELTabDlg_IPan.h"

class JabberAccount;

// Appends the account's pages to the host's list (a ZELTabDlg::PanList).
void AppendSettingsPages(JabberAccount& account, void* pages);
