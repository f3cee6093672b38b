#include "Wex/proto/ServerList.h"

#include "Wex/proto/WireText.h"

#include <algorithm>
#include <set>

namespace Wex {

ServerListItem::ServerListItem(const ListItem& item, int contactId)
    : Name(item.name),
      GroupId(item.groupId),
      ItemId(item.itemId),
      ItemType(item.itemType),
      Attributes(item.attributes),
      ContactId(contactId)
{
}

ListItem ServerListItem::ToListItem() const
{
    ListItem item;
    item.name = Name;
    item.groupId = GroupId;
    item.itemId = ItemId;
    item.itemType = ItemType;
    item.attributes = Attributes;
    return item;
}

CZELString ServerListItem::Alias() const
{
    CZELString alias;
    return AliasOf(Attributes, alias) ? alias : Name;
}

ServerListItem& ServerList::Append(const ServerListItem& item)
{
    Items.push_back(item);
    return Items.back();
}

ServerListItem* ServerList::FindItemByContact(int contactId)
{
    if (contactId == 0) return nullptr;
    for (ServerListItem& item : Items)
        if (item.ContactId == contactId) return &item;
    return nullptr;
}

ServerListItem* ServerList::FindBuddy(const CZELString& uin)
{
    return FindItem(ItemBuddy, uin);
}

ServerListItem* ServerList::FindPrivacySettingsItem()
{
    for (ServerListItem& item : Items)
        if (item.ItemType == ItemPrivacySettings) return &item;
    return nullptr;
}

ServerListItem* ServerList::FindItem(unsigned short type, const CZELString& name)
{
    for (ServerListItem& item : Items)
        if (item.ItemType == type && item.Name == name) return &item;
    return nullptr;
}

ServerListItem* ServerList::FindGroup(unsigned short groupId)
{
    for (ServerListItem& item : Items)
        if (item.ItemType == ItemGroup && item.GroupId == groupId) return &item;
    return nullptr;
}

ServerListItem* ServerList::FindByItemId(unsigned short itemId, unsigned short type)
{
    for (ServerListItem& item : Items)
        if (item.ItemType == type && item.ItemId == itemId) return &item;
    return nullptr;
}

bool ServerList::IsItemIdUsed(unsigned short id) const
{
    for (const ServerListItem& item : Items)
        if ((item.ItemType == ItemGroup && item.GroupId == id) || item.ItemId == id) return true;
    return false;
}

unsigned short ServerList::NewItemId() const
{
    // One pass over the list instead of one per candidate.
    std::vector<bool> used(0x10000 - FirstNewItemId, false);
    for (const ServerListItem& item : Items) {
        if (item.ItemId >= FirstNewItemId) used[item.ItemId - FirstNewItemId] = true;
        if (item.ItemType == ItemGroup && item.GroupId >= FirstNewItemId) used[item.GroupId - FirstNewItemId] = true;
    }
    for (size_t i = 0; i < used.size(); ++i)
        if (!used[i]) return (unsigned short)(FirstNewItemId + i);
    return 0;
}

PrivacyMembership ServerList::GetPrivacyMembership(const CZELString& uin) const
{
    PrivacyMembership flags;
    for (const ServerListItem& item : Items) {
        if (!(item.Name == uin)) continue;
        if (item.ItemType == ItemVisible)
            flags.visible = true;
        else if (item.ItemType == ItemInvisible)
            flags.invisible = true;
        else if (item.ItemType == ItemIgnore)
            flags.ignore = true;
    }
    return flags;
}

Bytes ServerList::SaveCache() const
{
    const size_t count = std::min(Items.size(), size_t(0xFFFF));
    Bytes out;
    out.push_back(0);
    out.push_back((unsigned char)(count >> 8));
    out.push_back((unsigned char)count);
    auto put16 = [&out](size_t value) {
        out.push_back((unsigned char)(value >> 8));
        out.push_back((unsigned char)value);
    };
    for (size_t i = 0; i < count; ++i) {
        const ServerListItem& item = Items[i];
        Bytes name = NarrowBytes(item.Name, CodePageUtf8);
        if (name.size() > 0xFFFF) name.clear();
        Bytes attributes = item.Attributes.Serialize();
        if (attributes.size() > 0xFFFF) attributes.clear();
        put16(name.size());
        out.insert(out.end(), name.begin(), name.end());
        put16(item.GroupId);
        put16(item.ItemId);
        put16(item.ItemType);
        put16(attributes.size());
        out.insert(out.end(), attributes.begin(), attributes.end());
    }
    return out;
}

void ServerList::LoadCache(const unsigned char* bytes, size_t size)
{
    Items.clear();
    ByteReader reader(bytes, size);
    reader.U8();
    const unsigned count = reader.U16();
    for (unsigned i = 0; i < count; ++i) {
        ServerListItem item;
        item.Name = ReadStr16(reader, CodePageUtf8);
        item.GroupId = reader.U16();
        item.ItemId = reader.U16();
        item.ItemType = reader.U16();
        const size_t length = reader.U16();
        const unsigned char* attributes = reader.Bytes(length);
        if (reader.Failed()) break;
        item.Attributes.Parse(attributes, length);
        Items.push_back(item);
    }
}

bool IsScreenName(const ServerListItem& item)
{
    const wchar_t* name = item.Name.GetBuffer();
    return item.Name.IsEmpty() || !name || name[0] < L'0' || name[0] > L'9';
}

unsigned short GetDcProtocolVersion(const ServerListItem& item)
{
    const Tlv* block = item.UserInfo.Find(TlvDirectConnection);
    if (!block || block->GetLength() < 11) return 0;
    ByteReader reader = block->Reader();
    reader.Skip(9);
    return reader.U16();
}

bool ReplaceTlv(TlvChain& chain, const Tlv& item)
{
    const int index = chain.IndexOf(item.GetType());
    if (index < 0) {
        chain.Add(item);
        return true;
    }
    const Tlv& old = chain[index];
    const bool same = old.GetLength() == item.GetLength() &&
                      (item.GetLength() == 0 || std::equal(item.GetValue(), item.GetValue() + item.GetLength(), old.GetValue()));
    if (same) return false;
    // Rebuilt in order, so the item keeps its place.
    TlvChain rebuilt;
    for (int i = 0; i < chain.GetCount(); ++i) rebuilt.Add(i == index ? item : chain[i]);
    chain = rebuilt;
    return true;
}

bool AliasOf(const TlvChain& attributes, CZELString& out)
{
    const Tlv* alias = attributes.Find(TlvAlias);
    if (!alias) return false;
    out = Widen(alias->GetValue(), alias->GetLength(), CodePageUtf8);
    return true;
}

Tlv AliasTlv(const CZELString& alias)
{
    Bytes bytes = NarrowBytes(alias, CodePageUtf8);
    if (bytes.size() > Tlv::MaxLength) bytes.clear();
    return Tlv(TlvAlias, (unsigned short)bytes.size(), bytes.data());
}

} // namespace Wex
