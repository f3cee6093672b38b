#include "Zel/shell/contactlist/ContactListCtrl.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/shell/CoreServices.h"
#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/skin/ColorScheme.h"

bool CContactListCtrl::HasContact(int contact)
{
    return IsContactId(contact) && ContactListDataService && ContactListDataService->GetItemAccount(contact) != 0 &&
           !ContactListDataService->IsTempContact(contact);
}

void CContactListCtrl::MarkNewMessage(int contact, int, int)
{
    ++unread[contact];
}

void CContactListCtrl::RemoveNewMessage(int contact)
{
    unread.erase(contact);
}

int CContactListCtrl::UnreadCount(int contact) const
{
    auto found = unread.find(contact);
    return found == unread.end() ? 0 : found->second;
}

HBRUSH CContactListCtrl::GetBkBrush()
{
    return GuiBackgroundBrush();
}

COLORREF CContactListCtrl::GetTextColor()
{
    return GetSchemeColor(ColorScheme::TextColor);
}
