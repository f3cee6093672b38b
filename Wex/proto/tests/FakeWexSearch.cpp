// The fake main server's directory: meta searches answered with the people that match, as the
// network writes its search replies.
#include "FakeWexServer.h"

#include <algorithm>
#include <cctype>

namespace WexTest {

namespace {

const unsigned short kCommandInfo = 2000, kReplyInfo = 0x07DA;
const unsigned short kByUin = 0x0569, kByEmail = 0x0573, kWhitePages = 0x055F;
const unsigned short kHit = 0x01A4, kLastHit = 0x01AE;

// Little-endian reads over a byte range; a read past the end fails the reader for good.
class LeReader {
public:
    LeReader(const unsigned char* data, size_t size) : at(data), end(data + size) {}
    bool Failed() const { return failed; }
    size_t Remaining() const { return failed ? 0 : size_t(end - at); }
    unsigned U8() { return Take(1) ? at[-1] : 0; }
    unsigned U16() { return Take(2) ? unsigned(at[-2] | at[-1] << 8) : 0; }
    unsigned U32() { return Take(4) ? unsigned(at[-4] | at[-3] << 8 | at[-2] << 16 | unsigned(at[-1]) << 24) : 0; }
    Bytes Raw(size_t count) { return Take(count) ? Bytes(at - count, at) : Bytes(); }
    // A meta string: u16 length with the zero, the text, the zero.
    std::string String()
    {
        const unsigned length = U16();
        Bytes text = Raw(length);
        if (!text.empty() && text.back() == 0) text.pop_back();
        return std::string(text.begin(), text.end());
    }

private:
    bool Take(size_t count)
    {
        if (failed || size_t(end - at) < count) {
            failed = true;
            return false;
        }
        at += count;
        return true;
    }
    const unsigned char* at;
    const unsigned char* end;
    bool failed = false;
};

bool SameText(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower((unsigned char)x) == std::tolower((unsigned char)y);
           });
}

// Whether person answers the white pages' items (little-endian type, length, value). Items the
// directory keeps nothing for (country, city, language...) match everyone.
bool MatchesWhitePages(const FakeWexServer::Person& person, const Bytes& items, bool& wellFormed)
{
    LeReader reader(items.data(), items.size());
    bool match = true;
    while (reader.Remaining() > 0) {
        const unsigned type = reader.U16();
        const Bytes value = reader.Raw(reader.U16());
        if (reader.Failed()) break;
        LeReader item(value.data(), value.size());
        switch (type) {
        case 0x0154: match = match && SameText(item.String(), person.nick); break;
        case 0x0140: match = match && SameText(item.String(), person.first); break;
        case 0x014A: match = match && SameText(item.String(), person.last); break;
        case 0x015E: match = match && SameText(item.String(), person.email); break;
        case 0x017C: match = match && item.U8() == person.gender; break;
        case 0x0168: {
            const unsigned from = item.U16(), to = item.U16();
            match = match && person.age >= from && person.age <= to;
            break;
        }
        case 0x0230: match = match && (item.U8() == 0 || person.status == 1); break;
        default: break;
        }
        if (item.Failed()) reader.Raw(reader.Remaining() + 1);
    }
    wellFormed = !reader.Failed();
    return match;
}

Bytes MetaString(const std::string& text)
{
    return Wire().U16LE(unsigned(text.size() + 1)).Text(text).U8(0);
}

// A search reply frame's body: the meta header, the subtype and the record.
Bytes SearchReplyBody(unsigned ownUin, unsigned metaSequence, unsigned short subtype, const FakeWexServer::Person* hit)
{
    Wire record;
    record.U16LE(subtype);
    if (hit) {
        Wire fields;
        fields.U32LE(hit->uin)
            .Raw(MetaString(hit->nick))
            .Raw(MetaString(hit->first))
            .Raw(MetaString(hit->last))
            .Raw(MetaString(hit->email))
            .U8(0)
            .U16LE(hit->status)
            .U8(hit->gender)
            .U16LE(hit->age);
        record.U8(10).U16LE(unsigned(fields.Get().size())).Raw(fields);
    } else {
        record.U8(20);
    }
    const Bytes rest = record;
    Wire meta;
    meta.U16LE(unsigned(rest.size() + 8)).U32LE(ownUin).U16LE(kReplyInfo).U16LE(metaSequence).Raw(rest);
    return Wire().Tlv(0x0001, meta);
}

}  // namespace

void FakeWexServer::SetDirectory(const std::vector<Person>& people)
{
    std::lock_guard<std::mutex> hold(lock);
    directory = people;
}

std::vector<FakeWexServer::SearchAsked> FakeWexServer::Searches()
{
    std::lock_guard<std::mutex> hold(lock);
    return searches;
}

bool FakeWexServer::AnswerSearch(const Wex::SnacPacket& snac, const Bytes& frame, std::vector<Answer>& out)
{
    if (snac.family != 0x15 || snac.subtype != 0x02 || frame.size() < Wex::SnacBodyOffset) return false;
    // TLV 0x0001 (big-endian type and length) holding the little-endian meta record.
    const unsigned char* body = frame.data() + Wex::SnacBodyOffset;
    const size_t size = frame.size() - Wex::SnacBodyOffset;
    if (size < 4 || (body[0] << 8 | body[1]) != 0x0001 || size_t(body[2] << 8 | body[3]) > size - 4) return false;
    LeReader meta(body + 4, size_t(body[2] << 8 | body[3]));
    meta.U16();  // length
    const unsigned ownUin = meta.U32();
    const unsigned command = meta.U16();
    const unsigned metaSequence = meta.U16();
    const unsigned short subtype = (unsigned short)meta.U16();
    if (meta.Failed() || command != kCommandInfo ||
        (subtype != kByUin && subtype != kByEmail && subtype != kWhitePages))
        return false;
    const Bytes data = meta.Raw(meta.Remaining());

    std::vector<Person> people;
    {
        std::lock_guard<std::mutex> hold(lock);
        searches.push_back({subtype, data});
        people = directory;
    }
    std::vector<const Person*> hits;
    LeReader request(data.data(), data.size());
    bool wellFormed = true;
    if (subtype == kByUin) {
        const unsigned type = request.U16(), length = request.U16(), uin = request.U32();
        wellFormed = !request.Failed() && type == 0x0136 && length == 4;
        for (const Person& person : people)
            if (person.uin == uin) hits.push_back(&person);
    } else if (subtype == kByEmail) {
        const unsigned type = request.U16();
        request.U16();
        const std::string email = request.String();
        wellFormed = !request.Failed() && type == 0x015E;
        for (const Person& person : people)
            if (SameText(person.email, email)) hits.push_back(&person);
    } else {
        for (const Person& person : people)
            if (MatchesWhitePages(person, data, wellFormed)) hits.push_back(&person);
        if (people.empty()) MatchesWhitePages(Person(), data, wellFormed);
    }
    if (!wellFormed) Fault("a meta search whose items do not read: subtype " + std::to_string(subtype));
    if (hits.empty()) {
        out.push_back({0x15, 0x03, SearchReplyBody(ownUin, metaSequence, kLastHit, nullptr), 0, snac.requestId});
        return true;
    }
    for (size_t i = 0; i < hits.size(); ++i) {
        const bool last = i + 1 == hits.size();
        out.push_back({0x15, 0x03, SearchReplyBody(ownUin, metaSequence, last ? kLastHit : kHit, hits[i]),
                       last ? 0u : 1u, snac.requestId});
    }
    return true;
}

}  // namespace WexTest
