// MrimContactList: an account's copy of its server-side contact list (groups and contacts as the
// server numbers them), mirrored into the contact-list data; the requests to change it that wait
// for the server's acknowledgement; and the typing tracker. Everything but the typing tracker is
// touched on the account's queue thread only. Contacts are indexed by address and by contact-list
// id, so the status flood after login costs one look-up a packet.
#pragma once

#include "Dax/proto/ContactListPacket.h"
#include "Zel/core/bus/Payloads.h"
#include "ZELCommon/ZELCriticalSection.h"
#include "ZELCommon/ZELEvent.h"
#include "ZELCommon/ZELThread.h"

#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace Services {
class CServicesManager;
}
class IContactListData;

using Mrim::MrimContact;
using Mrim::MrimGroup;

class MrimContactList {
public:
    MrimContactList(Services::CServicesManager* services, unsigned accountId);
    ~MrimContactList();

    MrimContactList(const MrimContactList&) = delete;
    MrimContactList& operator=(const MrimContactList&) = delete;

    // Replaces the model from a contact-list packet: ListParsed, or why nothing changed.
    int ParseContactList(const unsigned char* body, size_t length);
    // Mirrors the model into the contact-list data in one batch.
    void ApplyContactList();
    // 0x100F.
    void OnUserStatus(const unsigned char* body, size_t length);
    // Every mirrored contact that shows a status shows Offline.
    void SetAllContactsOffline();

    // Status and mark images of a contact-list contact. The status icon's images go to kinds, the
    // marks to images.
    void BuildContactIcons(int contactId, StatusInfo& out);
    void NotifyStatus(int contactId);

    int AddGroupToList(const CZELString& name);
    int AddContactToList(int groupId, const CZELString& email, const CZELString& nickname, bool authWanted);
    // Numbers the groups that are not removed in their top flag byte; their count.
    unsigned RenumberGroups();

    MrimContact* FindByEmail(const CZELString& email);
    MrimContact* FindByContactId(int contactId);
    MrimGroup* FindGroupById(int groupId);
    MrimGroup* FindGroupByIndex(unsigned index);
    MrimGroup* FindGroupByName(const CZELString& name);
    std::vector<CZELString> GroupNames() const;
    const std::vector<MrimContact>& Contacts() const { return contacts; }
    const std::vector<MrimGroup>& Groups() const { return groups; }

    // Requests waiting for the server's acknowledgement, by sequence.
    enum ContactOp { OpAdd = 0, OpRename = 1, OpDelete = 2, OpMove = 3, OpListFlags = 4 };
    void AddPendingGroupAdd(unsigned sequence, const MrimGroup& group);
    void AddPendingGroupDelete(unsigned sequence, int groupId);
    void AddPendingGroupRename(unsigned sequence, int groupId, const CZELString& name);
    void AddPendingContactOp(unsigned sequence, ContactOp kind, const MrimContact& changed);
    // 0x101A and 0x101C: applies every request of sequence when status is 0 and forgets them.
    void OnAddAck(unsigned sequence, unsigned status, unsigned id);
    void OnModifyAck(unsigned sequence, unsigned status);
    size_t PendingCount() const;

    // Typing: a notice (re)starts the contact's typing display, a message or ten quiet seconds end it.
    void OnTypingNotice(const CZELString& email);
    void OnTypingStopped(const CZELString& email);

private:
    IContactListData* Data() const;
    void Reindex();
    void ApplyContactOp(const MrimContact& changed, ContactOp kind);
    void WriteMarks(IContactListData* data, const MrimContact& contact, bool& changed);
    void StopTypingWatch();
    static unsigned long TypingWatch(void* self);

    Services::CServicesManager* const services;
    const unsigned accountId;
    std::vector<MrimGroup> groups;
    std::vector<MrimContact> contacts;
    std::unordered_map<std::wstring, size_t> byEmail;  // lower-case address -> position
    std::unordered_map<int, size_t> byContactId;

    struct PendingGroupAdd {
        unsigned sequence;
        MrimGroup group;
    };
    struct PendingGroupDelete {
        unsigned sequence;
        int groupId;
    };
    struct PendingGroupRename {
        unsigned sequence;
        int groupId;
        CZELString name;
    };
    struct PendingContactOp {
        unsigned sequence;
        ContactOp kind;
        MrimContact contact;
    };
    std::vector<PendingGroupAdd> pendingGroupAdds;
    std::vector<PendingGroupDelete> pendingGroupDeletes;
    std::vector<PendingGroupRename> pendingGroupRenames;
    std::vector<PendingContactOp> pendingContactOps;

    struct Typing {
        unsigned lastNotice;  // unix seconds
        int contactId;
    };
    CZELCriticalSection typingLock;
    std::map<std::wstring, Typing> typing;  // lower-case address
    CZELThread* typingThread = nullptr;
    CZELEvent* typingStop = nullptr;
};

// The lower-case form an address is indexed by.
std::wstring AddressKey(const CZELString& email);
// Equal unit for unit (CZELString's own comparison ignores letter case).
bool SameText(const CZELString& a, const CZELString& b);
