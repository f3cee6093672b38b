// CSettingsDialog: a tabbed dialog whose pages are settings pages (ZELTabDlg::IPan) that a subclass
// supplies, with OK and Cancel on the soft keys. Each page is made as a child of the dialog and
// added with the ids 0, 1, 2, ... in the order given; the dialog opens on the page the subclass
// names. A dialog without pages ends at once with IDCANCEL.
#pragma once

#include "Zel/shell/dialogs/TabbedDialog.h"
#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELTabDlg_IPan.h"

// What BuildPages fills: the pages in tab order (the dialog owns them afterwards) and the index of
// the page to open on. The array comes first: the plug-ins append to it by its address.
struct SettingsPageList {
    ZELTabDlg::PanList pages;
    int firstPage = 0;
};

class CSettingsDialog : public CTabbedDialog {
public:
    ~CSettingsDialog() override;

    void OnInitDialog() override;
    int GetSoftKeyCap(TSoftKey key, CZELString& caption) override;
    void OnSoftKey(TSoftKey key) override;

    // After CTabbedDialog's operations.
    virtual void BuildPages(SettingsPageList& list) = 0;
};
