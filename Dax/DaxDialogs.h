// The plug-in's full-screen dialogs. They run on the user interface's thread, from copies of what
// they show; the caller posts their answer to the account.
#pragma once

#include "ZELCommon/ZELString.h"

#include <windows.h>

#include <vector>

struct AddContactRequest {
    CZELString email;
    CZELString nickname;
    CZELString groupName;
};

// The add-contact dialog over the given group names, the group of request selected (any letter
// case; else the first). True with the three fields filled on OK; an empty address or group keeps
// the dialog open.
bool RunAddContactDialog(const std::vector<CZELString>& groups, AddContactRequest& request);
// The one-line text dialog, prefilled with text: true and the edited text on OK.
bool RunAskTextDialog(CZELString& text);
