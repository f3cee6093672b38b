// A plug-in's page or dialog on the program's skin: the skin's brush behind its controls and the
// scheme's text colour on its labels, as on the program's own windows. While no skin service answers
// (or it has no brush yet) the framework's own colours stay.
//
//     class MyPage : public SkinnedWindow<UI::CZELWMUI_SettingsPan> {
//         ISkinImages* Skin() override { return SkinService(bus); }
//     };
#pragma once

#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/skin/ISkinImages.h"

#include <windows.h>

// The skin service on bus; null without one.
inline ISkinImages* SkinService(Services::CServicesManager* bus)
{
    return bus ? static_cast<ISkinImages*>(bus->GetService(GUID_SKIN_IMAGES)) : nullptr;
}

template <typename Base> class SkinnedWindow : public Base {
public:
    using Base::Base;

    HBRUSH GetBkBrush() override
    {
        ISkinImages* skin = Skin();
        HBRUSH brush = skin ? skin->GetBkBrush() : nullptr;
        return brush ? brush : Base::GetBkBrush();
    }
    COLORREF GetTextColor() override
    {
        ISkinImages* skin = Skin();
        return skin ? skin->GetTextColor() : Base::GetTextColor();
    }

protected:
    // The skin to paint with; null while there is none.
    virtual ISkinImages* Skin() = 0;
};
