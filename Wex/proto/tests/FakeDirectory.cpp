#include "FakeDirectory.h"

#include "Wex/proto/Flap.h"
#include "ZELCommon/ByteReader.h"

namespace WexTest {

namespace {

Wire& Meta(Wire& wire, const std::string& text)
{
    return wire.U16LE(unsigned(text.size() + 1)).Text(text).U8(0);
}

// A text item's body: u16 n + 1, n bytes, a zero.
bool ReadText(ByteReader& reader, std::string& out)
{
    const unsigned length = reader.U16LE();
    const unsigned char* bytes = reader.Bytes(length);
    if (reader.Failed() || length == 0 || bytes[length - 1] != 0) return false;
    out.assign(reinterpret_cast<const char*>(bytes), length - 1);
    return true;
}

}  // namespace

bool ReadMetaRequestRecord(const Bytes& frame, MetaRequestRecord& out)
{
    ByteReader reader(frame.data(), frame.size());
    reader.Skip(Wex::SnacBodyOffset + 4 + 2);  // TLV 1's header, the record's length
    out.ownUin = reader.U32LE();
    out.command = reader.U16LE();
    out.sequence = reader.U16LE();
    if (out.command == 2000) out.subtype = reader.U16LE();
    if (reader.Failed()) return false;
    const size_t rest = reader.Remaining();
    const unsigned char* bytes = reader.Bytes(rest);
    out.data = rest ? Bytes(bytes, bytes + rest) : Bytes();
    return true;
}

std::vector<Bytes> DetailsRecords(const DirectoryRecord& r)
{
    Wire basic;
    basic.U16LE(0x00C8).U8(0x0A);
    for (const std::string* text : {&r.nick, &r.firstName, &r.lastName, &r.email, &r.homeCity, &r.homeState,
                                    &r.homePhone, &r.homeFax, &r.homeAddress, &r.cellPhone, &r.homeZip})
        Meta(basic, *text);
    basic.U16LE(r.homeCountry).U8(r.gmtOffset).U8(r.authorization).U8(r.webAware).U8(r.directConnection)
        .U8(r.publishEmail);

    Wire work;
    work.U16LE(0x00D2).U8(0x0A);
    for (const std::string* text : {&r.workCity, &r.workState, &r.workPhone, &r.workFax, &r.workAddress, &r.workZip})
        Meta(work, *text);
    work.U16LE(r.workCountry);
    Meta(Meta(Meta(work, r.company), r.department), r.position).U16LE(r.occupation);
    Meta(work, r.workPage);

    Wire more;
    more.U16LE(0x00DC).U8(0x0A).U16LE(r.age).U8(r.gender);
    Meta(more, r.homepage).U16LE(r.birthYear).U8(r.birthMonth).U8(r.birthDay);
    more.U8(r.languages[0]).U8(r.languages[1]).U8(r.languages[2]).Zeros(2);
    Meta(Meta(more, r.city), r.state).U16LE(r.country).U8(r.marital).Zeros(4);
    Meta(more, "").Zeros(8);
    Meta(more, "");

    Wire about;
    about.U16LE(0x00E6).U8(0x0A);
    Meta(about, r.about);

    Wire interests;
    interests.U16LE(0x00F0).U8(0x0A).U8(4);
    for (int i = 0; i < 4; ++i) Meta(interests.U16LE(r.interests[i]), r.interestKeys[i]);
    return {basic, work, more, about, interests};
}

Bytes MetaReplyBody(unsigned ownUin, unsigned replyType, unsigned sequence, const Bytes& rest)
{
    Wire record;
    record.U16LE(unsigned(rest.size() + 8)).U32LE(ownUin).U16LE(replyType).U16LE(sequence).Raw(rest);
    return Wire().Tlv(0x0001, record);
}

bool ApplySave(const Bytes& items, DirectoryRecord& record)
{
    DirectoryRecord r = record;
    ByteReader reader(items.data(), items.size());
    int languages = 0, interests = 0;
    while (reader.Remaining() > 0) {
        const unsigned type = reader.U16LE();
        const unsigned length = reader.U16LE();
        const unsigned char* value = reader.Bytes(length);
        if (reader.Failed()) return false;
        ByteReader item(value, length);
        std::string* text = nullptr;
        switch (type) {
        case 340: text = &r.nick; break;
        case 320: text = &r.firstName; break;
        case 330: text = &r.lastName; break;
        case 400: text = &r.homeCity; break;
        case 410: text = &r.homeState; break;
        case 610: text = &r.homeAddress; break;
        case 630: text = &r.homePhone; break;
        case 640: text = &r.homeFax; break;
        case 650: text = &r.cellPhone; break;
        case 670: text = &r.workCity; break;
        case 680: text = &r.workState; break;
        case 660: text = &r.workAddress; break;
        case 430: text = &r.company; break;
        case 440: text = &r.department; break;
        case 450: text = &r.position; break;
        case 730: text = &r.workPage; break;
        case 710: text = &r.workPhone; break;
        case 720: text = &r.workFax; break;
        case 531: text = &r.homepage; break;
        case 800: text = &r.city; break;
        case 810: text = &r.state; break;
        case 600: text = &r.about; break;
        case 350:
            // The e-mail's text is followed by one more zero.
            if (!ReadText(item, r.email) || item.U8() != 0 || item.Failed()) return false;
            break;
        case 420: r.homeCountry = item.U16LE(); break;
        case 690: r.workCountry = item.U16LE(); break;
        case 460: r.occupation = item.U16LE(); break;
        case 820: r.country = item.U16LE(); break;
        case 380: r.gender = (unsigned char)item.U16LE(); break;
        case 830: r.marital = (unsigned char)item.U16LE(); break;
        case 390:
            if (languages >= 3) return false;
            r.languages[languages++] = (unsigned char)item.U16LE();
            break;
        case 620:
        case 700: {
            const unsigned zip = item.U32LE();
            (type == 620 ? r.homeZip : r.workZip) = zip ? std::to_string(zip) : std::string();
            break;
        }
        case 570:
            r.birthYear = item.U16LE();
            r.birthMonth = (unsigned char)item.U16LE();
            r.birthDay = (unsigned char)item.U16LE();
            break;
        case 490:
            if (interests >= 4) return false;
            r.interests[interests] = item.U16LE();
            if (!ReadText(item, r.interestKeys[interests++])) return false;
            break;
        default: return false;
        }
        if (text && !ReadText(item, *text)) return false;
        if (item.Failed() || item.Remaining() != 0) return false;
    }
    record = r;
    return true;
}

}  // namespace WexTest
