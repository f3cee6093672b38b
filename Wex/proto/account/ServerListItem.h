// ServerListItem: one entry of the account's copy of the server-side list (a buddy, a group, a
// privacy-list entry or the privacy-settings item), with what the account learns of a buddy while
// it runs (its contact in the contact list, its presence, typing and x-status marks). Buddies are
// found by UIN when the network names them and by contact id when the program does; the lookups
// here are plain functions over the list, run on the account's queue thread.
#pragma once

#include "Wex/proto/ListCommands.h"
#include "Wex/proto/Tlv.h"

#include "ZELCommon/ZELString.h"

#include <vector>

enum ServerItemType {
    ItemBuddy = 0,
    ItemGroup = 1,
    ItemVisible = 2,
    ItemInvisible = 3,
    ItemPrivacySettings = 4,
    ItemIgnore = 14,
};

struct ServerListItem {
    explicit ServerListItem(int contactId = 0) : ContactId(contactId) {}

    // As the network stores the item.
    CZELString Name;  // the UIN of a buddy or privacy entry, the name of a group
    unsigned short GroupId = 0;
    unsigned short ItemId = 0;
    unsigned short ItemType = 0;
    Wex::TlvChain Attributes;

    int ContactId;                     // its contact or group in the contact list; 0 for none
    int Status = 0;                    // 0 offline; 2 and above online
    Wex::TlvChain UserInfo;            // the last user-information block
    unsigned char AuthRequestPending = 0;
    unsigned LastTypingSent = 0;       // Unix seconds of the last typing-begun notice; 0 after a stop
    unsigned char IsTyping = 0;
    unsigned char HasXStatus = 0;      // an x-status is announced whose texts were not asked yet
};

typedef std::vector<ServerListItem> ServerItemList;

// The item as the list reply carries it, with nothing learnt yet.
ServerListItem ServerItemOf(const Wex::ListItem& item);

// The first item whose ContactId is contactId, or null (contact id 0 finds nothing).
ServerListItem* FindItemByContact(ServerItemList& list, int contactId);
// The first buddy whose name equals uin ignoring case, or null.
ServerListItem* FindBuddy(ServerItemList& list, const CZELString& uin);

// A name that does not begin with a decimal digit: a screen name, not a number.
bool IsScreenName(const ServerListItem& item);
// The big-endian u16 at offset 9 of TLV 0x000C of the user information; 0 without it, or when the
// TLV is too short to hold it.
unsigned short GetDcProtocolVersion(const ServerListItem& item);

struct PrivacyMembership {
    bool visible = false;
    bool invisible = false;
    bool ignore = false;
};
// Whether uin is on the visible, invisible and ignore lists.
PrivacyMembership GetPrivacyMembership(const ServerItemList& list, const CZELString& uin);

// Whether the account shows itself to item under privacy mode: never without an item or in mode 2;
// mode 3 only to a buddy in a group on the visible list, mode 4 to one in a group not on the
// invisible list, mode 5 to one in a group; any other mode to everyone.
bool IsVisibleTo(const ServerItemList& list, const ServerListItem* item, int privacyMode);

// Whether a typing notice to item goes out at now (Unix seconds): a stop always does; a begin only
// when the last begin went out more than three seconds before, so at most one in any four seconds.
bool TypingNoticeDue(const ServerListItem& item, unsigned now, bool stopped);
