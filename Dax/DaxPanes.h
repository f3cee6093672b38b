// The panes the program's tabbed dialogs show for a Dax account: its settings, the own and a
// contact's details, and the two searches. Each pane knows its account only by its queue handle
// (the plug-in's account table finds it, or finds nothing once it is gone) and hands what it stores
// to the account's queue.
#pragma once

#include "ZELCommon/ZELTabDlg_IPan.h"

class IContactListData;

ZELTabDlg::IPan* NewAccountPane(unsigned handle);
ZELTabDlg::IPan* NewAdvancedPane(unsigned handle);
ZELTabDlg::IPan* NewOwnDetailsPane(unsigned handle);
// The three panes of a contact's details, read from the contact-list data.
ZELTabDlg::IPan* NewGeneralPane(IContactListData* data, int contactId);
ZELTabDlg::IPan* NewHomePane(IContactListData* data, int contactId);
ZELTabDlg::IPan* NewPersonalPane(IContactListData* data, int contactId);
ZELTabDlg::IPan* NewEmailSearchPane(unsigned handle);
ZELTabDlg::IPan* NewGlobalSearchPane(unsigned handle);

// Appends pane to the host's page list (a ZELTabDlg::PanList); without a list the pane is deleted.
void AppendPane(void* pages, ZELTabDlg::IPan* pane);
