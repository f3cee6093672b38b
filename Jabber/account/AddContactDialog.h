// The add-contact dialog: a JID, an optional name and one of the account's groups.
#pragma once

#include "Zel/core/skin/SkinnedWindow.h"
#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELString.h"
#include "ZELCommon/ZELWMUI_BigDlg.h"

class AddContactDialog : public SkinnedWindow<UI::CZELWMUI_BigDlg> {
public:
    // The three strings are the presets, and after OK what was entered; bus gives the skin.
    AddContactDialog(Services::CServicesManager* bus, CZELString& accountName, CZELString& contactName,
                     CZELString& group, const CZELArray<CZELString>& groups);

protected:
    ISkinImages* Skin() override { return SkinService(bus); }
    void OnInitDialog() override;
    void OnCommand(WORD notifyCode, WORD id, HWND control) override;
    int GetSoftKeyCap(TSoftKey key, CZELString& caption) override;
    void OnSoftKey(TSoftKey key) override;

private:
    // Reads the fields; false (the focus on the field to fill) while the JID or the group is empty.
    bool Confirm();

    Services::CServicesManager* const bus;
    CZELString& accountName;
    CZELString& contactName;
    CZELString& group;
    const CZELArray<CZELString>& groups;
};

// Runs the dialog modally on the calling (user interface) thread, owned by the active window;
// true when it ended with OK, the strings then holding what was entered.
bool RunAddContactDialog(Services::CServicesManager* bus, CZELString& accountName, CZELString& contactName, CZELString& group,
                         const CZELArray<CZELString>& groups);
