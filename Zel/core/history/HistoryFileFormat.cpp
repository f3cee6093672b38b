#include "Zel/core/history/HistoryFileFormat.h"

#include "ZELCommon/ByteReader.h"
#include "Zel/core/history/TlvList.h"
#include "ZELCommon/Packer.h"
#include "ZELCommon/ZELTime.h"

#include <windows.h>

#include <cstring>
#include <cwchar>

namespace HistoryFormat {

namespace {

const unsigned char kMagic[3] = {'Z', 'H', 'F'};
const unsigned short kRecordMarker = 1;
const int kKindIncoming = 24, kKindOutgoing = 25;
enum : unsigned short { ItemNumber = 1, ItemTime = 2, ItemFlags = 3, ItemText = 4 };

void Put16(std::vector<unsigned char>& out, unsigned short value)
{
    unsigned char bytes[2];
    CPacker::Pack16(bytes, value);
    out.insert(out.end(), bytes, bytes + 2);
}

void Put32(std::vector<unsigned char>& out, unsigned value)
{
    unsigned char bytes[4];
    CPacker::Pack32(bytes, value);
    out.insert(out.end(), bytes, bytes + 4);
}

// A header string as stored: its UTF-8 and a zero byte, within the 16-bit length.
std::vector<unsigned char> StoredString(const CZELString& text)
{
    std::string bytes = TextBytes(text, 0xFFFF - 1);
    std::vector<unsigned char> out(bytes.begin(), bytes.end());
    out.push_back(0);
    return out;
}

// Reads a u16 length and that many bytes; false (the reader failed) when they are not all there.
bool ReadString(ByteReader& reader, std::vector<unsigned char>& out)
{
    unsigned short length = reader.U16();
    const unsigned char* bytes = reader.Bytes(length);
    if (reader.Failed()) return false;
    out.assign(bytes ? bytes : nullptr, bytes ? bytes + length : nullptr);
    return true;
}

}  // namespace

HistoryHeader NewHeader(const CZELString& contactName, const CZELString& alias)
{
    HistoryHeader header;
    header.contactName = StoredString(contactName);
    header.alias = StoredString(alias);
    return header;
}

std::vector<unsigned char> EncodeHeader(const HistoryHeader& header)
{
    std::vector<unsigned char> out(kMagic, kMagic + 3);
    out.reserve(header.GetSize());
    out.push_back(header.version);
    Put32(out, header.totalSize);
    out.insert(out.end(), header.reserved, header.reserved + HistoryHeader::ReservedBytes);
    Put32(out, header.recordCount);
    Put32(out, header.lastNumber);
    Put16(out, header.created);
    for (const std::vector<unsigned char>* text : {&header.contactName, &header.alias}) {
        Put16(out, (unsigned short)text->size());
        out.insert(out.end(), text->begin(), text->end());
    }
    return out;
}

HeaderDecode DecodeHeader(const unsigned char* data, size_t length, HistoryHeader& out)
{
    HeaderDecode result;
    ByteReader reader(data, length);
    const unsigned char* magic = reader.Bytes(3);
    unsigned char version = reader.U8();
    out.totalSize = reader.U32();
    const unsigned char* reserved = reader.Bytes(HistoryHeader::ReservedBytes);
    out.recordCount = reader.U32();
    out.lastNumber = reader.U32();
    out.created = reader.U16();
    if (reader.Failed()) {
        result.needed = HistoryHeader::FixedBytes + 2;
        result.errorOffset = length;
        return result;
    }
    if (memcmp(magic, kMagic, 3) != 0) return result;  // not a history file; errorOffset 0
    if (version != HistoryHeader::Version) {
        result.result = HistoryBadVersion;
        result.errorOffset = 3;
        return result;
    }
    out.version = version;
    memcpy(out.reserved, reserved, HistoryHeader::ReservedBytes);

    // Each string's length is known once its two length bytes are in; the first string is followed
    // by at least the second one's length.
    for (std::vector<unsigned char>* text : {&out.contactName, &out.alias}) {
        size_t start = reader.Offset();
        if (!ReadString(reader, *text)) {
            size_t known = length - start >= 2 ? size_t(CPacker::Unpack16(data + start)) : 0;
            result.errorOffset = start;
            result.needed = start + 2 + known + (text == &out.contactName ? 2 : 0);
            return result;
        }
    }
    result.result = HistoryOk;
    return result;
}

CZELString HeaderText(const std::vector<unsigned char>& stored)
{
    size_t length = 0;
    while (length < stored.size() && stored[length]) ++length;
    if (!length) return CZELString();
    return CZELString(reinterpret_cast<const char*>(stored.data()), int(length), CP_UTF8);
}

std::string TextBytes(const CZELString& text, size_t maxBytes)
{
    const wchar_t* units = text.GetBuffer();
    int count = units ? int(wcsnlen(units, size_t(text.GetLength()))) : 0;
    if (!count) return std::string();
    int bytes = WideCharToMultiByte(CP_UTF8, 0, units, count, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return std::string();
    std::string out(size_t(bytes), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, units, count, &out[0], bytes, nullptr, nullptr) != bytes) return std::string();
    if (out.size() > maxBytes) {
        size_t cut = maxBytes;
        // Back off over continuation bytes so the cut falls before a character's first byte.
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;
        out.resize(cut);
    }
    return out;
}

std::vector<unsigned char> EncodeRecord(const HistoryRecord& record)
{
    std::string text = TextBytes(record.text);
    const unsigned char flags[3] = {record.direction, record.flag1, record.flag2};
    TlvList body;
    body.Add(Tlv(ItemNumber, record.number));
    body.Add(Tlv(ItemTime, record.time));
    body.Add(Tlv(ItemFlags, 3, flags));
    body.Add(Tlv(ItemText, (unsigned short)text.size(), reinterpret_cast<const unsigned char*>(text.data())));
    std::vector<unsigned char> bodyBytes = body.Serialise();

    std::vector<unsigned char> out;
    out.reserve(RecordHeadBytes + bodyBytes.size());
    Put16(out, kRecordMarker);
    Put32(out, unsigned(bodyBytes.size()));
    out.insert(out.end(), bodyBytes.begin(), bodyBytes.end());
    return out;
}

unsigned RecordBodyLength(const unsigned char* head)
{
    ByteReader reader(head + 2, 4);
    return reader.U32();
}

bool DecodeRecordBody(const unsigned char* body, size_t length, HistoryRecord& out)
{
    if (length > MaxBodyBytes) return false;
    TlvList items;
    items.Parse(body, int(length));
    const Tlv* time = items.Find(ItemTime);
    const Tlv* flags = items.Find(ItemFlags);
    const Tlv* text = items.Find(ItemText);
    if (!time || !flags || !text || !time->GetUint32(out.time) || flags->GetLength() < 1) return false;
    const Tlv* number = items.Find(ItemNumber);
    out.number = 0;
    if (number) number->GetUint32(out.number);
    out.direction = flags->GetValue()[0];
    out.flag1 = flags->GetLength() > 1 ? flags->GetValue()[1] : 0;
    out.flag2 = flags->GetLength() > 2 ? flags->GetValue()[2] : 0;
    out.text = text->GetLength()
                   ? CZELString(reinterpret_cast<const char*>(text->GetValue()), text->GetLength(), CP_UTF8)
                   : CZELString();
    return true;
}

bool IsWrittenRecord(const unsigned char* data, size_t length, unsigned* number)
{
    if (length < RecordHeadBytes + WrittenBodyFixedBytes || length > MaxWrittenRecordBytes) return false;
    ByteReader reader(data, length);
    if (reader.U16() != kRecordMarker || reader.U32() != length - RecordHeadBytes) return false;
    static const unsigned short kFixed[3][2] = {{ItemNumber, 4}, {ItemTime, 4}, {ItemFlags, 3}};
    unsigned first = 0;
    for (int i = 0; i < 3; ++i) {
        if (reader.U16() != kFixed[i][0] || reader.U16() != kFixed[i][1]) return false;
        if (i == 0)
            first = reader.U32();
        else
            reader.Skip(kFixed[i][1]);
    }
    unsigned short type = reader.U16();
    unsigned short textLength = reader.U16();
    if (reader.Failed() || type != ItemText || textLength != reader.Remaining()) return false;
    const unsigned char* text = reader.Bytes(textLength);
    if (textLength && memchr(text, 0, textLength) != nullptr) return false;
    if (number) *number = first;
    return true;
}

ChatLogEntry MakeEntry(const HistoryRecord& record, const CZELString& alias, const CZELString& ownName)
{
    ChatLogEntry entry;
    bool outgoing = record.direction == 1;
    entry.direction = outgoing ? 1 : 0;
    entry.kind = outgoing ? kKindOutgoing : kKindIncoming;
    entry.name = outgoing ? ownName : alias;
    entry.timeText = CZELString(L"(") + CZELTime(record.time).ToString(CZELString(L"%c")) + L")";
    entry.text = record.text;
    return entry;
}

}  // namespace HistoryFormat
