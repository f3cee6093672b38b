// JabberAccount: the contact-list id of a bare JID, for the rare stanzas that name a contact the
// roster may not hold (vCard replies, file offers): the roster's index first, then the contact
// list itself (a temporary contact; its "Account name" property, letter case aside).
#include "Jabber/account/JabberAccount.h"

#include "Jabber/xml/XmlText.h"
#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/contactlist/ContactListData.h"

#include <cwctype>

int JabberAccount::ContactIdForJid(const std::string& bareJid)
{
    IContactListData* list =
        services ? static_cast<IContactListData*>(services->GetService(GUID_CONTACT_LIST_DATA)) : nullptr;
    if (bareJid.empty()) return 0;
    const std::wstring wanted = WideFromUtf8(bareJid);
    if (const int listed = ContactIdByJid(wanted)) return listed;
    if (!list) return 0;
    CZELArray<ContactListItemPair> items;
    if (!list->GetAccountItems(accountId, items)) return 0;
    for (int i = 0; i < items.GetCount(); ++i) {
        const int contact = items[i].contactId;
        CZELString name;
        if (!contact || !list->GetPropertyString(contact, CZELString(L"Account name"), name)) continue;
        if (size_t(name.GetLength()) != wanted.size()) continue;
        bool same = true;
        for (size_t k = 0; k < wanted.size() && same; ++k)
            same = std::towlower(name.GetBuffer()[k]) == std::towlower(wanted[k]);
        if (same) return contact;
    }
    return 0;
}
