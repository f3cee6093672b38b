// ContactStore: an account's own picture of the people it talks to. One ContactRecord per contact,
// keyed by (kind, bare JID ignoring letter case), each with the resources that announced presence.
// The roster creates and names records, presence fills their resources, messages read and mark
// them; the contact list only ever sees one status per contact.
//
// Lookups go through an index keyed by the kind and the lower-cased bare JID (cut at its first "/"
// and at 255 units), so a stanza costs one hash lookup, not a walk over the roster. Records keep the
// order they were made in.
//
// Locking: one lock guards the records. The operations that change the set of records or a
// contact's resources take it themselves; Find, FindStatusRecord, At and the record fields are read
// without it by the account's queue thread, which is the only writer. A record stays valid until
// Remove or Clear destroys it.
#pragma once

#include "ZELCommon/ZELCriticalSection.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

// One connected resource of a contact, or a contact's bare-JID presence.
struct ResourceRecord {
    int status = 0;
    std::wstring resource;
    std::wstring statusText;
    // What identifies the client: its software-version answer and its capabilities announcement.
    std::wstring clientName;
    std::wstring clientVersion;
    std::wstring capsNode;
    std::wstring capsVersion;
    std::wstring capsExtensions;  // space-separated names
    // Milliseconds since boot of the first query (0 none, ~0 settled) and of the discovery query to
    // the resource itself (0 none, ~0 answered), the mask that query returned and a mask always added.
    uint64_t firstQueryTime = 0;
    uint64_t discoQueryTime = 0;
    uint64_t discoMask = 0;
    uint64_t extraMask = 0;
    signed char priority = 0;
    uint64_t features = 0;  // FeatureChatStates, FeatureReceipts
    bool conversation = false;
};

enum : uint64_t {
    FeatureChatStates = 0x800,
    FeatureReceipts = 0x40000000,
};

enum : uint16_t {
    ContactChatStates = 0x10,
};

struct ContactRecord {
    int kind = 0;
    std::wstring jid;  // bare (see ContactStore::FindOrAdd)
    int contactId = 0; // in the contact list, 0 while it has none
    bool authPending = false;
    std::wstring name;
    std::vector<ResourceRecord> resources;  // in order of first appearance
    // Presence from the bare JID; its status is also the contact's visible status.
    ResourceRecord bare;
    int lastWriter = -1;   // index in resources of the last one a message came from
    int subscription = 0;  // 0 none, 1 to, 2 from, 3 both
    std::wstring group;
    std::wstring composingId;
    bool hasComposingId = false;
    uint16_t flags = ContactChatStates;
};

// The status that comes first in the order Free for Chat, Online, Evil, Depression, @ Home, @ Work,
// Do not Disturb, Occupied, Away, Lunch, Not Available, Invisible; when neither is in it, a if both
// are non-zero, else 0.
int RankStatus(int a, int b);

// The part of jid after its first "/", or empty with *has false when there is no "/".
std::wstring ResourcePart(const std::wstring& jid, bool* has = nullptr);

class ContactStore {
public:
    enum { MaxJidUnits = 255 };

    ContactStore() = default;
    ~ContactStore() { Clear(); }
    ContactStore(const ContactStore&) = delete;
    ContactStore& operator=(const ContactStore&) = delete;

    // The record of (kind, jid), matched on the bare JID without regard to case; null when none.
    ContactRecord* Find(int kind, const std::wstring& jid) const;
    // The record, made when missing: a JID with "@" is cut to its bare form, one without "@" (a
    // gateway's) keeps its "/" part. Never null.
    ContactRecord* FindOrAdd(int kind, const std::wstring& jid);
    void Remove(int kind, const std::wstring& jid);
    void Clear();

    // Presence of fullJid: the bare record without a resource part, else the resource spelled
    // exactly so (made when missing). 1 when a resource was added; 0 otherwise, also for an unknown
    // contact or an empty resource part.
    int SetResourceStatus(int kind, const std::wstring& fullJid, int status, const std::wstring& statusText,
                          signed char priority);
    // Removes the resource spelled exactly as fullJid's resource part; the last writer follows.
    void RemoveResource(int kind, const std::wstring& fullJid);
    // Empties every resource of contact.
    void ClearResources(ContactRecord* contact);

    // The resource to address: the last writer when there are several, else the highest priority
    // (the first of equals); with one resource, that one. Empty when none.
    std::wstring BestResource(const std::wstring& jid) const;
    // The record holding the status of exactly this JID (kind 0): the bare record without "/", the
    // resource spelled so with one; null otherwise.
    ResourceRecord* FindStatusRecord(const std::wstring& jid) const;
    // jid, with "/" and the best resource appended when it has no "/" and there is one; at most
    // size - 1 units.
    std::wstring AddressFor(const std::wstring& jid, size_t size = 256) const;
    // The contact's visible status recomputed from its resources (the bare status when it has none
    // and jid names no resource) and stored; -1 for an unknown contact.
    int UpdateVisibleStatus(const std::wstring& jid);

    int Count() const { return int(records.size()); }
    // The record at index, null outside the array.
    ContactRecord* At(int index) const;
    // The index of the first record of kind at or after start (negative: 0); -1 when none.
    int NextOfKind(int kind, int start) const;

    CZELCriticalSection& Lock() const { return lock; }

private:
    static std::wstring Key(int kind, const std::wstring& jid);
    ContactRecord* FindLocked(int kind, const std::wstring& jid) const;

    mutable CZELCriticalSection lock;
    std::vector<ContactRecord*> records;
    std::unordered_map<std::wstring, ContactRecord*> index;
};
