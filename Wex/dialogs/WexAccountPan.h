// What every page of the plug-in stands on: the account it belongs to, by id (the account may be
// deleted while the page is open), and the program's skin behind its controls and in its labels;
// the framework's own colours while no skin service answers.
#pragma once

#include "Wex/proto/account/WexAccount.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/skin/ISkinImages.h"
#include "ZELCommon/ZELWMUI_SettingsPan.h"

class WexAccountPan : public UI::CZELWMUI_SettingsPan {
protected:
    explicit WexAccountPan(WexAccount& account) : accountId(account.AccountId()), bus(account.Bus()) {}

    HBRUSH GetBkBrush() override
    {
        ISkinImages* skin = Skin();
        return skin ? skin->GetBkBrush() : UI::CZELWMUI_SettingsPan::GetBkBrush();
    }
    COLORREF GetTextColor() override
    {
        ISkinImages* skin = Skin();
        return skin ? skin->GetTextColor() : UI::CZELWMUI_SettingsPan::GetTextColor();
    }

    const unsigned accountId;
    Services::CServicesManager* const bus;

private:
    ISkinImages* Skin() const
    {
        return bus ? static_cast<ISkinImages*>(bus->GetService(GUID_SKIN_IMAGES)) : nullptr;
    }
};
