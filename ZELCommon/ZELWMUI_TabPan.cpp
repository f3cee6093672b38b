#include "ZELCommon/ZELWMUI_TabPan.h"

#include "ZELCommon/ZELCommonMain.h"
#include "ZELCommon/ZELCommonResources.h"

namespace UI {

CZELWMUI_TabPan::CZELWMUI_TabPan() {}

HWND CZELWMUI_TabPan::CreateEmpty(HWND parent)
{
    return Create(IDD_ZELCOMMON_EMPTY_PAGE, GetZELCommonModule(), parent);
}

}  // namespace UI
