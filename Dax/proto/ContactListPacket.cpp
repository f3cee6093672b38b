#include "Dax/proto/ContactListPacket.h"

namespace Mrim {

namespace {

// More groups than this is not a list this protocol sends (the server allows a few dozen).
const unsigned MaxGroups = 65536;

struct Mask {
    const unsigned char* letters = nullptr;
    size_t length = 0;

    // Whether a record takes any bytes at all: a mask without "u" or "s" would read nothing.
    bool ReadsFields() const
    {
        for (size_t i = 0; i < length; ++i)
            if (letters[i] == 'u' || letters[i] == 's') return true;
        return false;
    }
};

// Walks one record: calls u(k, value) for the k-th "u" and s(k, bytes, length) for the k-th "s".
template <typename U, typename S>
bool WalkRecord(ByteReader& reader, const Mask& mask, U u, S s)
{
    int uCount = 0, sCount = 0;
    for (size_t i = 0; i < mask.length; ++i) {
        if (mask.letters[i] == 'u') {
            unsigned value = reader.U32LE();
            if (reader.Failed()) return false;
            u(++uCount, value);
        } else if (mask.letters[i] == 's') {
            const unsigned char* bytes = nullptr;
            size_t length = 0;
            if (!ReadLps(reader, bytes, length)) return false;
            s(++sCount, bytes, length);
        }
    }
    return true;
}

bool ReadGroup(ByteReader& reader, const Mask& mask, unsigned position, MrimGroup& group)
{
    const unsigned char* nameBytes = nullptr;
    size_t nameLength = 0;
    bool ok = WalkRecord(
        reader, mask, [&](int k, unsigned value) { if (k == 1) group.flags = value; },
        [&](int k, const unsigned char* bytes, size_t length) {
            if (k == 1) {
                nameBytes = bytes;
                nameLength = length;
            }
        });
    if (!ok) return false;
    group.index = position;
    group.name = Decode(nameBytes, nameLength, (group.flags & GroupUtf16Name) ? Encoding::Utf16LE : Encoding::Utf8);
    return true;
}

bool ReadContact(ByteReader& reader, const Mask& mask, unsigned position, MrimContact& contact)
{
    const unsigned char* nickBytes = nullptr;
    size_t nickLength = 0;
    bool ok = WalkRecord(
        reader, mask,
        [&](int k, unsigned value) {
            switch (k) {
            case 1: contact.flags = value; break;
            case 2: contact.group = value; break;
            case 3: contact.serverFlags = value; break;
            case 4: contact.status = value; break;
            case 5: contact.features = value; break;
            default: break;
            }
        },
        [&](int k, const unsigned char* bytes, size_t length) {
            CZELString* field = nullptr;
            switch (k) {
            case 1: field = &contact.email; break;
            case 2:
                nickBytes = bytes;
                nickLength = length;
                return;
            case 3: field = &contact.phone; break;
            case 4: field = &contact.xstatusId; break;
            case 5: field = &contact.xstatusTitle; break;
            case 6: field = &contact.xstatusText; break;
            case 7: field = &contact.userAgent; break;
            default: return;
            }
            *field = Decode(bytes, length, Encoding::Utf8);
        });
    if (!ok) return false;
    contact.nickname =
        Decode(nickBytes, nickLength, (contact.flags & ContactUtf16Name) ? Encoding::Utf16LE : Encoding::Utf8);
    if (contact.nickname.IsEmpty()) contact.nickname = LocalPart(contact.email);
    if (contact.group == 0xFFFFFFFFu) contact.group = 0;
    if (contact.userAgent.IsEmpty()) contact.features = 0;
    contact.serverId = FirstServerId + position;
    return true;
}

} // namespace

CZELString LocalPart(const CZELString& email)
{
    int at = email.Find(0, CZELString(L"@"));
    return at > 0 ? email.Substring(0, at) : email;
}

int ParseContactList(const unsigned char* body, size_t length, std::vector<MrimGroup>& groups,
                     std::vector<MrimContact>& contacts)
{
    ByteReader reader(body, length);
    unsigned status = reader.U32LE();
    if (reader.Failed()) return ListBroken;
    if (status != 0) return int(status);
    unsigned groupCount = reader.U32LE();
    Mask groupMask, contactMask;
    ReadLps(reader, groupMask.letters, groupMask.length);
    ReadLps(reader, contactMask.letters, contactMask.length);
    if (reader.Failed() || groupCount > MaxGroups) return ListBroken;
    if (groupCount > 0 && !groupMask.ReadsFields()) return ListBroken;

    std::vector<MrimGroup> newGroups;
    for (unsigned i = 0; i < groupCount; ++i) {
        MrimGroup group;
        if (!ReadGroup(reader, groupMask, i, group)) return ListBroken;
        newGroups.push_back(group);
    }
    std::vector<MrimContact> newContacts;
    if (reader.Remaining() > 0 && !contactMask.ReadsFields()) return ListBroken;
    for (unsigned position = 0; reader.Remaining() > 0; ++position) {
        MrimContact contact;
        if (!ReadContact(reader, contactMask, position, contact)) return ListBroken;
        newContacts.push_back(std::move(contact));
    }
    groups.swap(newGroups);
    contacts.swap(newContacts);
    return ListParsed;
}

} // namespace Mrim
