// The requests that wait for the server: a change reaches the model and the contact list only when
// the server acknowledges it with status 0; a refusal leaves both as they were.
#include "Dax/MrimContactList.h"

#include "Zel/core/contactlist/ContactListData.h"

#include <algorithm>

namespace {

// Seconds of quiet after which a contact no longer shows as typing.
const unsigned TypingTimeout = 10;

// How long a stopped typing watch may take to end before it is ended by force.
const unsigned WatchStopWaitMs = 5000;

template <typename Entry>
std::vector<Entry> TakeMatching(std::vector<Entry>& pending, unsigned sequence)
{
    std::vector<Entry> taken;
    auto split = std::stable_partition(pending.begin(), pending.end(),
                                       [sequence](const Entry& e) { return e.sequence != sequence; });
    taken.assign(split, pending.end());
    pending.erase(split, pending.end());
    return taken;
}

} // namespace

void MrimContactList::AddPendingGroupAdd(unsigned sequence, const MrimGroup& group)
{
    pendingGroupAdds.push_back({sequence, group});
}

void MrimContactList::AddPendingGroupDelete(unsigned sequence, int groupId)
{
    pendingGroupDeletes.push_back({sequence, groupId});
}

void MrimContactList::AddPendingGroupRename(unsigned sequence, int groupId, const CZELString& name)
{
    pendingGroupRenames.push_back({sequence, groupId, name});
}

void MrimContactList::AddPendingContactOp(unsigned sequence, ContactOp kind, const MrimContact& changed)
{
    pendingContactOps.push_back({sequence, kind, changed});
}

size_t MrimContactList::PendingCount() const
{
    return pendingGroupAdds.size() + pendingGroupDeletes.size() + pendingGroupRenames.size() + pendingContactOps.size();
}

void MrimContactList::OnAddAck(unsigned sequence, unsigned status, unsigned id)
{
    for (PendingGroupAdd& entry : TakeMatching(pendingGroupAdds, sequence)) {
        if (status != 0) continue;
        MrimGroup group = entry.group;
        group.flags |= Mrim::GroupUtf16Name;
        group.index = id;
        group.clGroupId = AddGroupToList(group.name);
        groups.push_back(group);
    }
    for (PendingContactOp& entry : TakeMatching(pendingContactOps, sequence)) {
        if (status != 0 || entry.kind != OpAdd) continue;
        MrimContact contact = entry.contact;
        contact.serverId = id;
        contact.serverFlags |= Mrim::ServerNotAuthorised;
        contacts.push_back(contact);
        Reindex();
        MrimGroup* group = FindGroupByIndex(contact.group);
        // Mirrored after it joined the model, so its icons are built from its own record.
        int clId = group ? AddContactToList(group->clGroupId, contact.email, contact.nickname, true) : 0;
        contacts.back().clContactId = clId;
        Reindex();
        if (clId) NotifyStatus(clId);
    }
}

void MrimContactList::OnModifyAck(unsigned sequence, unsigned status)
{
    IContactListData* data = Data();
    for (PendingGroupDelete& entry : TakeMatching(pendingGroupDeletes, sequence)) {
        if (status != 0) continue;
        groups.erase(std::remove_if(groups.begin(), groups.end(),
                                    [&](const MrimGroup& g) { return g.clGroupId == entry.groupId; }),
                     groups.end());
        RenumberGroups();
        if (data) data->RemoveGroup(entry.groupId);
    }
    for (PendingGroupRename& entry : TakeMatching(pendingGroupRenames, sequence)) {
        if (status != 0) continue;
        MrimGroup* group = FindGroupById(entry.groupId);
        if (group) group->name = entry.name;
        if (!data) continue;
        data->SetPropertyString(entry.groupId, CZELString(L"Account name"), entry.name);
        data->SetPropertyString(entry.groupId, CZELString(L"CL Alias"), entry.name);
        data->NotifyGroupChanged(entry.groupId);
    }
    for (PendingContactOp& entry : TakeMatching(pendingContactOps, sequence)) {
        if (status == 0 && entry.kind != OpAdd) ApplyContactOp(entry.contact, entry.kind);
    }
}

void MrimContactList::ApplyContactOp(const MrimContact& changed, ContactOp kind)
{
    MrimContact* contact = FindByContactId(changed.clContactId);
    if (!contact) return;
    const bool authAsked = contact->authAsked;
    *contact = changed;
    contact->authAsked = authAsked;
    IContactListData* data = Data();
    const int id = changed.clContactId;
    switch (kind) {
    case OpRename:
        if (!data) break;
        data->SetPropertyString(id, CZELString(L"CL Alias"), changed.nickname);
        data->NotifyContactChanged(id);
        break;
    case OpMove: {
        MrimGroup* group = FindGroupByIndex(changed.group);
        if (data && group && group->clGroupId) data->MoveContact(id, group->clGroupId);
        break;
    }
    case OpDelete:
        if (data) data->RemoveContact(id);
        contacts.erase(std::remove_if(contacts.begin(), contacts.end(),
                                      [&](const MrimContact& c) { return c.serverId == changed.serverId; }),
                       contacts.end());
        Reindex();
        break;
    case OpListFlags: {
        if (!data) break;
        char visible = (changed.flags & Mrim::ContactVisibleList) ? 1 : 0;
        char invisible = (changed.flags & Mrim::ContactInvisibleList) ? 1 : 0;
        char ignore = (changed.flags & Mrim::ContactIgnoreList) ? 1 : 0;
        data->SetPropertyByte(id, CZELString(L"In visible list"), &visible);
        data->SetPropertyByte(id, CZELString(L"In invisible list"), &invisible);
        data->SetPropertyByte(id, CZELString(L"In ignore list"), &ignore);
        NotifyStatus(id);
        break;
    }
    default: break;
    }
}

void MrimContactList::OnTypingNotice(const CZELString& email)
{
    MrimContact* contact = FindByEmail(email);
    const int contactId = contact ? contact->clContactId : 0;
    {
        CZELLock hold(typingLock);
        typing[AddressKey(email)] = {CZELTime().GetUnixTime(), contactId};
        if (!typingThread) {
            typingStop = new CZELEvent();
            typingThread = new CZELThread(CZELString(), &MrimContactList::TypingWatch, this);
            typingThread->Resume();
        }
    }
    IContactListData* data = Data();
    if (data && contactId) data->PostTypingNotify(contactId, 0);
}

void MrimContactList::OnTypingStopped(const CZELString& email)
{
    bool last = false;
    {
        CZELLock hold(typingLock);
        typing.erase(AddressKey(email));
        last = typing.empty();
    }
    if (last) StopTypingWatch();
    MrimContact* contact = FindByEmail(email);
    IContactListData* data = Data();
    if (data && contact && contact->clContactId) data->PostTypingNotify(contact->clContactId, 1);
}

void MrimContactList::StopTypingWatch()
{
    CZELThread* thread = nullptr;
    CZELEvent* stop = nullptr;
    {
        CZELLock hold(typingLock);
        std::swap(thread, typingThread);
        std::swap(stop, typingStop);
    }
    // The watch takes the lock on each tick, so it is waited for with the lock left. Signalled, it
    // ends at once; ending it by force could leave that lock taken, so that is kept for a watch that
    // hangs past a long wait.
    if (!thread) return;
    stop->Set();
    if (!thread->WaitTermination(WatchStopWaitMs)) thread->Terminate(1);
    delete thread;
    delete stop;
}

unsigned long MrimContactList::TypingWatch(void* self)
{
    MrimContactList* list = static_cast<MrimContactList*>(self);
    CZELEvent* stop = nullptr;
    {
        CZELLock hold(list->typingLock);
        stop = list->typingStop;
    }
    while (stop && !stop->Wait(1000)) {
        std::vector<int> ended;
        {
            CZELLock hold(list->typingLock);
            const unsigned now = CZELTime().GetUnixTime();
            for (auto it = list->typing.begin(); it != list->typing.end();) {
                if (it->second.lastNotice + TypingTimeout < now) {
                    if (it->second.contactId) ended.push_back(it->second.contactId);
                    it = list->typing.erase(it);
                } else {
                    ++it;
                }
            }
        }
        IContactListData* data = list->Data();
        for (int id : ended)
            if (data) data->PostTypingNotify(id, 1);
    }
    return 0;
}
