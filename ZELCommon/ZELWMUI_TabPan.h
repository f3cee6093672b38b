// UI::CZELWMUI_TabPan: a page of a tabbed dialog, a modeless child dialog whose host drives its
// data exchange.
#pragma once

#include "ZELCommon/ZELCommonApi.h"
#include "ZELCommon/ZELWMUI_Dlg.h"

#include <windows.h>

namespace UI {

class ZELCOMMON_API CZELWMUI_TabPan : public CZELWMUI_Dlg {
public:
    CZELWMUI_TabPan();

    // Makes the page from the library's own empty child template; returns its window, or null.
    HWND CreateEmpty(HWND parent);

    // The host fills and reads its pages.
    using CZELWMUI_Dlg::DoDataExchange;
};

}  // namespace UI
