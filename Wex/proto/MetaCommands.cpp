#include "Wex/proto/MetaCommands.h"

#include "Wex/proto/PacketWriter.h"
#include "Wex/proto/WireText.h"

namespace Wex {

namespace {

const unsigned short MetaTlv = 0x0001;
// u16 length, u32 UIN, u16 command, u16 sequence.
const size_t MetaHeaderSize = 10;

// The frame of a meta request whose record after the header is tail (subtype and data).
Bytes MetaFrame(unsigned short sequence, unsigned requestId, unsigned ownUin, unsigned short command,
                unsigned short metaSequence, const Bytes& tail)
{
    const size_t metaLength = MetaHeaderSize + tail.size();
    if (metaLength > 0xFFFF) return Bytes();
    PacketWriter writer(sequence, FamilyMeta, 0x02, requestId, PacketWriter::TlvSize(metaLength));
    writer.U16(MetaTlv);
    writer.U16((unsigned short)metaLength);
    writer.U16LE((unsigned short)(metaLength - 2));
    writer.U32LE(ownUin);
    writer.U16LE(command);
    writer.U16LE(metaSequence);
    writer.Raw(tail);
    return writer.Finish();
}

// Little-endian appenders of the records' fields.
void PutU16LE(Bytes& out, unsigned value)
{
    out.push_back((unsigned char)value);
    out.push_back((unsigned char)(value >> 8));
}

void PutU32LE(Bytes& out, unsigned value)
{
    PutU16LE(out, value & 0xFFFF);
    PutU16LE(out, value >> 16);
}

// A zero-terminated text behind its u16 LE length (which counts the zero).
void PutZeroText(Bytes& out, const Bytes& text)
{
    PutU16LE(out, unsigned(text.size() + 1));
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

// The longest text a search item can carry: its item length counts 3 bytes more, and a category 5.
Bytes ItemText(const CZELString& text)
{
    Bytes bytes = NarrowBytes(text, CodePageSystem);
    if (bytes.size() > 0xFFFF - 5) bytes.resize(0xFFFF - 5);
    return bytes;
}

void PutStringItem(Bytes& out, unsigned short type, const CZELString& text)
{
    if (text.IsEmpty()) return;
    Bytes bytes = ItemText(text);
    PutU16LE(out, type);
    PutU16LE(out, unsigned(bytes.size() + 3));
    PutZeroText(out, bytes);
}

void PutNumberItem(Bytes& out, unsigned short type, unsigned value, unsigned width)
{
    PutU16LE(out, type);
    PutU16LE(out, width);
    if (width == 1) out.push_back((unsigned char)value);
    if (width == 2) PutU16LE(out, value);
    if (width == 4) PutU32LE(out, value);
}

Bytes SubtypeThen(unsigned short subtype, const Bytes& data)
{
    Bytes tail;
    PutU16LE(tail, subtype);
    tail.insert(tail.end(), data.begin(), data.end());
    return tail;
}

} // namespace

Bytes MetaDeleteOfflineRequest(unsigned short sequence, unsigned ownUin, unsigned short metaSequence)
{
    return MetaFrame(sequence, MetaDeleteOfflineRequestId, ownUin, MetaCommandDeleteOffline, metaSequence, Bytes());
}

Bytes MetaFullInfoRequest(unsigned short sequence, unsigned requestId, unsigned ownUin, unsigned short metaSequence,
                          unsigned targetUin)
{
    Bytes data;
    PutU32LE(data, targetUin);
    return MetaFrame(sequence, requestId, ownUin, MetaCommandInfo, metaSequence,
                     SubtypeThen(MetaSubtypeFullInfo, data));
}

Bytes MetaSaveInfoRequest(unsigned short sequence, unsigned requestId, unsigned ownUin, unsigned short metaSequence,
                          const TlvChain& details)
{
    return MetaFrame(sequence, requestId, ownUin, MetaCommandInfo, metaSequence,
                     SubtypeThen(MetaSubtypeSaveInfo, details.Serialize(true)));
}

Bytes MetaSearchByUinRequest(unsigned short sequence, unsigned requestId, unsigned ownUin,
                             unsigned short metaSequence, unsigned uin)
{
    Bytes data;
    PutNumberItem(data, 0x0136, uin, 4);
    return MetaFrame(sequence, requestId, ownUin, MetaCommandInfo, metaSequence,
                     SubtypeThen(MetaSubtypeSearchByUin, data));
}

Bytes MetaSearchByEmailRequest(unsigned short sequence, unsigned requestId, unsigned ownUin,
                               unsigned short metaSequence, const CZELString& email)
{
    Bytes data;
    Bytes address = ItemText(email);
    PutU16LE(data, 0x015E);
    PutU16LE(data, unsigned(address.size() + 3));
    PutZeroText(data, address);
    return MetaFrame(sequence, requestId, ownUin, MetaCommandInfo, metaSequence,
                     SubtypeThen(MetaSubtypeSearchByEmail, data));
}

Bytes WhitePagesItems(const WhitePagesForm& form)
{
    Bytes out;
    PutStringItem(out, 0x0154, form.nickname);
    PutStringItem(out, 0x0140, form.firstName);
    PutStringItem(out, 0x014A, form.lastName);
    PutStringItem(out, 0x015E, form.email);
    if (form.language != 0 && form.language != 255) PutNumberItem(out, 0x0186, form.language, 2);
    if (form.gender != 0) PutNumberItem(out, 0x017C, form.gender, 1);
    if (form.ageFrom != 0) PutNumberItem(out, 0x0168, unsigned(form.ageFrom) | unsigned(form.ageTo) << 16, 4);
    if (form.marital != 0 && form.marital != 255) PutNumberItem(out, 0x033E, form.marital, 1);
    if (form.country != 0 && form.country != 0xFFFF) PutNumberItem(out, 0x01A4, form.country, 2);
    PutStringItem(out, 0x0190, form.city);
    if (form.occupation != 0 && form.occupation != 0xFFFF) PutNumberItem(out, 0x01CC, form.occupation, 2);
    static const unsigned short kCategoryTypes[3] = {0x01FE, 0x01D6, 0x01EA};
    const Bytes keywords = ItemText(form.keywords);
    for (int i = 0; i < 3; ++i) {
        const unsigned short code = form.categories[i];
        if (code == 0 || code == 0xFFFF) continue;
        PutU16LE(out, kCategoryTypes[i]);
        PutU16LE(out, unsigned(keywords.size() + 5));
        PutU16LE(out, code);
        PutZeroText(out, keywords);
    }
    PutNumberItem(out, 0x0230, form.onlineOnly, 1);
    return out;
}

Bytes MetaWhitePagesSearchRequest(unsigned short sequence, unsigned requestId, unsigned ownUin,
                                  unsigned short metaSequence, const WhitePagesForm& form)
{
    return MetaFrame(sequence, requestId, ownUin, MetaCommandInfo, metaSequence,
                     SubtypeThen(MetaSubtypeWhitePages, WhitePagesItems(form)));
}

} // namespace Wex
