// The account's copy of the server-side list: every item as the network stores it (name, group id,
// item id, type and its own TLVs), with what the account keeps beside it (the contact or group of
// the contact list it stands for, the contact's status and last user information, typing and
// authorisation state). Host commands name contact ids and network events name UINs; they meet
// here. Pure code: the account fills it from the roster and from its cache, and mirrors it into the
// contact list.
#pragma once

#include "Wex/proto/ListCommands.h"
#include "Wex/proto/Tlv.h"

#include "ZELCommon/ZELString.h"

#include <vector>

namespace Wex {

enum ListItemType : unsigned short {
    ItemBuddy = 0,
    ItemGroup = 1,
    ItemVisible = 2,
    ItemInvisible = 3,
    ItemPrivacySettings = 4,
    ItemIgnore = 14,
};

// TLVs of the items the account reads or writes.
enum : unsigned short {
    TlvAlias = 0x0131,        // the contact's alias, UTF-8
    TlvAwaitingAuth = 0x0066, // empty: the contact has not yet granted authorisation
    TlvPrivacyMode = 0x00CA,  // privacy-settings item: 1 byte, the privacy status
    TlvPrivacyMask = 0x00CB,  // privacy-settings item: 4 bytes, all bits set
    TlvDirectConnection = 0x000C,
};

struct ServerListItem {
    explicit ServerListItem(int contactId = 0) : ContactId(contactId) {}
    explicit ServerListItem(const ListItem& item, int contactId = 0);

    CZELString Name;
    unsigned short GroupId = 0;
    unsigned short ItemId = 0;
    unsigned short ItemType = 0;
    TlvChain Attributes;
    int ContactId = 0;
    int Status = 0;
    TlvChain UserInfo;
    unsigned char AuthRequestPending = 0;
    unsigned LastTypingSent = 0;
    unsigned char IsTyping = 0;
    unsigned char HasXStatus = 0;

    // The item as the edits send it.
    ListItem ToListItem() const;
    // TLV 0x0131 as text, or the name when it has none.
    CZELString Alias() const;
};

// Visible, invisible and ignore-list membership of one UIN.
struct PrivacyMembership {
    bool visible = false;
    bool invisible = false;
    bool ignore = false;

    bool operator==(const PrivacyMembership& other) const
    {
        return visible == other.visible && invisible == other.invisible && ignore == other.ignore;
    }
};

class ServerList {
public:
    enum : unsigned short { FirstNewItemId = 1024 };

    std::vector<ServerListItem> Items;

    int Count() const { return int(Items.size()); }
    void Clear() { Items.clear(); }
    ServerListItem& Append(const ServerListItem& item);

    // The first item whose ContactId is contactId (never 0), a buddy named uin, the privacy-settings
    // item; null when there is none.
    ServerListItem* FindItemByContact(int contactId);
    ServerListItem* FindBuddy(const CZELString& uin);
    ServerListItem* FindPrivacySettingsItem();
    // The first item of the type with the name; the first group item with the group id; the first
    // item of the item id that is not a group.
    ServerListItem* FindItem(unsigned short type, const CZELString& name);
    ServerListItem* FindGroup(unsigned short groupId);
    ServerListItem* FindByItemId(unsigned short itemId, unsigned short type);

    // A group uses its group id, every item its item id.
    bool IsItemIdUsed(unsigned short id) const;
    // The smallest unused id from 1024 up, for new groups and items alike; 0 when every one is taken.
    unsigned short NewItemId() const;

    PrivacyMembership GetPrivacyMembership(const CZELString& uin) const;

    // Removes the items at index.
    void RemoveAt(int index) { Items.erase(Items.begin() + index); }

    // The cache of the list: u8 0, u16 count, then per item the name as a str16 in UTF-8, group id,
    // item id, type and the TLVs behind their u16 length; big-endian. Only the first 65,535 items
    // fit its count.
    Bytes SaveCache() const;
    // Replaces the list with the items of a cache; a cache that ends early gives the items that fit.
    void LoadCache(const unsigned char* bytes, size_t size);
};

// True when the name does not begin with a decimal digit (a screen name, not a number).
bool IsScreenName(const ServerListItem& item);
// The protocol version of the contact's direct connection: the u16 at offset 9 of TLV 0x000C of its
// user information; 0 without one long enough to hold it.
unsigned short GetDcProtocolVersion(const ServerListItem& item);

// Replaces the first TLV of its type in chain, or appends it; true when the chain changed.
bool ReplaceTlv(TlvChain& chain, const Tlv& item);
// The text of TLV 0x0131 of an item's TLVs, UTF-8; false without one.
bool AliasOf(const TlvChain& attributes, CZELString& out);
// TLV 0x0131 holding alias in UTF-8 (empty when it does not fit).
Tlv AliasTlv(const CZELString& alias);

} // namespace Wex
