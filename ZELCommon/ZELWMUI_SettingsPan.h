// UI::CZELWMUI_SettingsPan: a tab page that also tells the settings dialog its caption, icons and
// template through ZELTabDlg::IPan.
#pragma once

#include "ZELCommon/ZELCommonApi.h"
#include "ZELCommon/ZELTabDlg_IPan.h"
#include "ZELCommon/ZELWMUI_TabPan.h"

#include <windows.h>

namespace UI {

class ZELCOMMON_API CZELWMUI_SettingsPan : public CZELWMUI_TabPan, public ZELTabDlg::IPan {
public:
    CZELWMUI_SettingsPan();

    // Makes the page modeless under parent from the template GetResource names; returns its
    // window, or null.
    HWND Create(HWND parent);
};

}  // namespace UI
