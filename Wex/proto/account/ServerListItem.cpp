#include "Wex/proto/account/ServerListItem.h"

ServerListItem ServerItemOf(const Wex::ListItem& item)
{
    ServerListItem out;
    out.Name = item.name;
    out.GroupId = item.groupId;
    out.ItemId = item.itemId;
    out.ItemType = item.itemType;
    out.Attributes = item.attributes;
    return out;
}

ServerListItem* FindItemByContact(ServerItemList& list, int contactId)
{
    if (contactId == 0) return nullptr;
    for (ServerListItem& item : list)
        if (item.ContactId == contactId) return &item;
    return nullptr;
}

ServerListItem* FindBuddy(ServerItemList& list, const CZELString& uin)
{
    for (ServerListItem& item : list)
        if (item.ItemType == ItemBuddy && item.Name == uin) return &item;
    return nullptr;
}

bool IsScreenName(const ServerListItem& item)
{
    const wchar_t first = item.Name.IsEmpty() ? L'\0' : item.Name.GetBuffer()[0];
    return !(first >= L'0' && first <= L'9');
}

unsigned short GetDcProtocolVersion(const ServerListItem& item)
{
    const Wex::Tlv* block = item.UserInfo.Find(0x000C);
    if (!block) return 0;
    ByteReader reader = block->Reader();
    reader.Skip(9);
    const unsigned short version = reader.U16();
    return reader.Failed() ? 0 : version;
}

PrivacyMembership GetPrivacyMembership(const ServerItemList& list, const CZELString& uin)
{
    PrivacyMembership out;
    for (const ServerListItem& item : list) {
        if (!(item.Name == uin)) continue;
        if (item.ItemType == ItemVisible)
            out.visible = true;
        else if (item.ItemType == ItemInvisible)
            out.invisible = true;
        else if (item.ItemType == ItemIgnore)
            out.ignore = true;
    }
    return out;
}

bool IsVisibleTo(const ServerItemList& list, const ServerListItem* item, int privacyMode)
{
    if (!item) return false;
    const bool inList = item->GroupId != 0;
    PrivacyMembership membership;
    if (inList) membership = GetPrivacyMembership(list, item->Name);
    switch (privacyMode) {
    case 2: return false;
    case 3: return inList && membership.visible;
    case 4: return inList && !membership.invisible;
    case 5: return inList;
    default: return true;
    }
}

bool TypingNoticeDue(const ServerListItem& item, unsigned now, bool stopped)
{
    return stopped || item.LastTypingSent + 3 < now;
}
