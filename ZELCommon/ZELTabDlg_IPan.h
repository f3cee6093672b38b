// ZELTabDlg::IPan: what a tabbed settings dialog asks of each page: its caption, its tab icons and
// the template its window is made from. Pages are owned and deleted as the page class that
// implements this interface, never through it.
#pragma once

#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELString.h"

#include <windows.h>

namespace ZELTabDlg {

// Where a page's window comes from.
struct PanResource {
    HINSTANCE module;
    int templateId;
};

class IPan {
public:
    // Slots in this order.
    virtual CZELString GetTitle() = 0;
    virtual CZELArray<int> GetIcons() = 0;
    virtual PanResource GetResource() = 0;

protected:
    ~IPan() {}
};

// The page list a host hands an account, which appends its pages; the host owns them from then on.
typedef CZELArray<IPan*> PanList;

}  // namespace ZELTabDlg
