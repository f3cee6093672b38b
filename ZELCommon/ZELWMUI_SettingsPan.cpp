#include "ZELCommon/ZELWMUI_SettingsPan.h"

namespace UI {

CZELWMUI_SettingsPan::CZELWMUI_SettingsPan() {}

HWND CZELWMUI_SettingsPan::Create(HWND parent)
{
    ZELTabDlg::PanResource resource = GetResource();
    return CZELWMUI_TabPan::Create(resource.templateId, resource.module, parent);
}

}  // namespace UI
