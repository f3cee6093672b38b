// What every page of the plug-in stands on: the account it belongs to, by id (the account may be
// deleted while the page is open), and the program's skin behind its controls and in its labels;
// the framework's own colours while no skin service answers.
#pragma once

#include "Wex/proto/account/WexAccount.h"

#include "Zel/core/skin/SkinnedWindow.h"
#include "ZELCommon/ZELWMUI_SettingsPan.h"

class WexAccountPan : public SkinnedWindow<UI::CZELWMUI_SettingsPan> {
protected:
    explicit WexAccountPan(WexAccount& account) : accountId(account.AccountId()), bus(account.Bus()) {}

    ISkinImages* Skin() override { return SkinService(bus); }

    const unsigned accountId;
    Services::CServicesManager* const bus;
};
