// Changes to the server's list: each request is sent from a copy of the record it changes and
// waits, by its sequence, for the server's acknowledgement; only an accepted change reaches the
// model and the contact list. Requests made while not online are refused.
#include "Dax/MrimAccount.h"

#include "Dax/DaxShared.h"
#include "Dax/proto/BuiltinTexts.h"
#include "Dax/proto/MrimCommands.h"
#include "Dax/proto/MrimReplies.h"

namespace {

// The server's refusals, by status.
const wchar_t* const AckErrors[] = {
    nullptr,
    L"Protocol error",
    L"Internal server error",
    L"Contact not exist",
    L"Incorrect contact name",
    L"Contact already exist",
    L"Groups limit (max 20)",
};

} // namespace

bool MrimAccount::CanChangeList() const
{
    return status >= 2 && connection != nullptr;
}

int MrimAccount::AddGroup(CZELString name)
{
    if (!CanChangeList() || name.IsEmpty()) return 0;
    MrimGroup group;
    group.flags = Mrim::GroupFlag;
    group.name = name;
    const unsigned sequence = NextSequence();
    SendPacket(Mrim::CmdAddContact, Mrim::AddGroupBody(contactList.RenumberGroups(), name), sequence);
    contactList.AddPendingGroupAdd(sequence, group);
    return 0;
}

int MrimAccount::RenameGroup(int groupId, CZELString name)
{
    MrimGroup* group = contactList.FindGroupById(groupId);
    if (!CanChangeList() || !group || name.IsEmpty()) return 0;
    const unsigned sequence = NextSequence();
    SendPacket(Mrim::CmdModifyContact, Mrim::ModifyGroupBody(group->index, group->flags, name), sequence);
    contactList.AddPendingGroupRename(sequence, groupId, name);
    return 0;
}

int MrimAccount::DeleteGroup(int groupId)
{
    MrimGroup* group = contactList.FindGroupById(groupId);
    if (!CanChangeList() || !group) return 0;
    const unsigned sequence = NextSequence();
    SendPacket(Mrim::CmdModifyContact,
               Mrim::ModifyGroupBody(group->index, group->flags | Mrim::GroupRemoved, group->name), sequence);
    contactList.AddPendingGroupDelete(sequence, groupId);
    return 0;
}

namespace {

Mrim::Bytes ContactBody(const MrimContact& c)
{
    return Mrim::ModifyContactBody(c.serverId, c.flags, c.group, c.email, c.nickname, c.phone);
}

} // namespace

int MrimAccount::RenameContact(int contactId, CZELString name)
{
    MrimContact* contact = contactList.FindByContactId(contactId);
    if (!CanChangeList() || !contact || name.IsEmpty()) return 0;
    MrimContact changed = *contact;
    changed.nickname = name;
    const unsigned sequence = NextSequence();
    SendPacket(Mrim::CmdModifyContact, ContactBody(changed), sequence);
    contactList.AddPendingContactOp(sequence, MrimContactList::OpRename, changed);
    return 0;
}

int MrimAccount::MoveContact(int contactId, int groupId)
{
    MrimContact* contact = contactList.FindByContactId(contactId);
    MrimGroup* group = contactList.FindGroupById(groupId);
    if (!CanChangeList() || !contact || !group) return 0;
    MrimContact changed = *contact;
    changed.group = group->index;
    const unsigned sequence = NextSequence();
    SendPacket(Mrim::CmdModifyContact, ContactBody(changed), sequence);
    contactList.AddPendingContactOp(sequence, MrimContactList::OpMove, changed);
    return 0;
}

int MrimAccount::DeleteContact(int contactId)
{
    MrimContact* contact = contactList.FindByContactId(contactId);
    if (!CanChangeList() || !contact) return 0;
    MrimContact changed = *contact;
    changed.flags |= Mrim::ContactRemoved;
    const unsigned sequence = NextSequence();
    SendPacket(Mrim::CmdModifyContact, ContactBody(changed), sequence);
    contactList.AddPendingContactOp(sequence, MrimContactList::OpDelete, changed);
    return 0;
}

void MrimAccount::SetListFlag(int contactId, bool on, unsigned flag)
{
    MrimContact* contact = contactList.FindByContactId(contactId);
    if (!CanChangeList() || !contact) return;
    MrimContact changed = *contact;
    changed.flags = on ? (changed.flags | flag) : (changed.flags & ~flag);
    const unsigned sequence = NextSequence();
    SendPacket(Mrim::CmdModifyContact, ContactBody(changed), sequence);
    contactList.AddPendingContactOp(sequence, MrimContactList::OpListFlags, changed);
}

void MrimAccount::RequestAddContact(int groupId, const CZELString& email, const CZELString& nickname)
{
    MrimGroup* group = contactList.FindGroupById(groupId);
    if (!CanChangeList() || !group || email.IsEmpty()) return;
    MrimContact contact;
    contact.group = group->index;
    contact.email = email;
    contact.nickname = nickname.IsEmpty() ? Mrim::LocalPart(email) : nickname;
    const unsigned sequence = NextSequence();
    SendPacket(Mrim::CmdAddContact,
               Mrim::AddContactBody(group->index, email, nickname, DaxShared::Text(Mrim::TextPleaseAuthorize)),
               sequence);
    contactList.AddPendingContactOp(sequence, MrimContactList::OpAdd, contact);
}

void MrimAccount::OnContactAck(const Mrim::Packet& packet)
{
    Mrim::ContactAck ack;
    if (!Mrim::ParseContactAck(packet.body, packet.length, ack)) return;
    if (packet.header.command == Mrim::CmdAddContactAck) contactList.OnAddAck(packet.header.sequence, ack.status, ack.id);
    else contactList.OnModifyAck(packet.header.sequence, ack.status);
    if (ack.status > 0 && ack.status < sizeof AckErrors / sizeof AckErrors[0]) PostWarning(CZELString(AckErrors[ack.status]));
}
