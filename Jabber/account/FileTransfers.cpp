#include "Jabber/account/FileTransfers.h"

#include "Jabber/xml/Iq.h"
#include "Jabber/xml/XmlText.h"

#include <cctype>
#include <climits>
#include <cwchar>
#include <cwctype>

namespace TransferNs {
const char StreamInitiation[] = "http://jabber.org/protocol/si";
const char FileProfile[] = "http://jabber.org/protocol/si/profile/file-transfer";
const char FeatureNeg[] = "http://jabber.org/protocol/feature-neg";
const char DataForms[] = "jabber:x:data";
const char Bytestreams[] = "http://jabber.org/protocol/bytestreams";
const char InBand[] = "http://jabber.org/protocol/ibb";
}  // namespace TransferNs

using namespace TransferNs;

namespace {

const char StanzasNs[] = "urn:ietf:params:xml:ns:xmpp-stanzas";

bool HasNs(const XmlElement* element, const char* ns)
{
    const std::string* value = GetAttribute(element, "xmlns");
    return value && *value == ns;
}

// The first child name in namespace ns.
const XmlElement* ChildIn(const XmlElement* parent, const char* name, const char* ns)
{
    for (int n = 1; const XmlElement* child = FindChild(parent, name, n); ++n)
        if (HasNs(child, ns)) return child;
    return nullptr;
}

bool SameNoCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

// A decimal number of at least one digit and nothing else, up to limit.
bool ReadDecimal(const std::string& text, unsigned long long limit, unsigned long long& out)
{
    out = 0;
    if (text.empty()) return false;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        out = out * 10 + unsigned(c - '0');
        if (out > limit) return false;
    }
    return true;
}

bool IsDeviceName(const std::wstring& name)
{
    static const wchar_t* const devices[] = {L"CON",  L"PRN",  L"AUX",  L"NUL",  L"COM0", L"COM1", L"COM2", L"COM3",
                                             L"COM4", L"COM5", L"COM6", L"COM7", L"COM8", L"COM9", L"LPT0", L"LPT1",
                                             L"LPT2", L"LPT3", L"LPT4", L"LPT5", L"LPT6", L"LPT7", L"LPT8", L"LPT9",
                                             L"CONIN$", L"CONOUT$", L"CLOCK$"};
    std::wstring stem = name.substr(0, name.find(L'.'));
    while (!stem.empty() && stem.back() == L' ') stem.pop_back();
    for (wchar_t& c : stem) c = wchar_t(std::towupper(c));
    for (const wchar_t* device : devices)
        if (stem == device) return true;
    return false;
}

int Base64Value(char c)
{
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

OfferVerdict ReadFileOffer(const XmlElement& iq, FileOffer& offer)
{
    const std::string* from = GetAttribute(&iq, "from");
    const std::string* type = GetAttribute(&iq, "type");
    const XmlElement* si = ChildIn(&iq, "si", StreamInitiation);
    if (!from || !type || *type != "set" || !si) return OfferVerdict::Ignored;
    const std::string* id = GetAttribute(&iq, "id");
    const std::string* sid = GetAttribute(si, "id");
    const XmlElement* file = ChildIn(si, "file", FileProfile);
    const std::string* name = GetAttribute(file, "name");
    const std::string* size = GetAttribute(file, "size");
    const XmlElement* field = FindChildWithAttribute(ChildIn(ChildIn(si, "feature", FeatureNeg), "x", DataForms),
                                                     "field", "var", "stream-method");
    unsigned long long bytes = 0;
    if (!sid || sid->empty() || !name || !size || !ReadDecimal(*size, INT_MAX, bytes) || !field)
        return OfferVerdict::Malformed;
    bool inBand = false;
    for (int n = 1; const XmlElement* option = FindChild(field, "option", n); ++n) {
        const XmlElement* value = FindChild(option, "value");
        if (value && value->text == InBand) inBand = true;
    }
    if (!inBand) return OfferVerdict::NoValidStreams;
    offer.from = *from;
    offer.iqId = id ? *id : std::string();
    offer.sid = *sid;
    offer.name = BareOfferedFileName(WideFromUtf8(*name));
    offer.size = int(bytes);
    offer.method = MethodInBand;
    return OfferVerdict::Good;
}

std::wstring BareOfferedFileName(const std::wstring& name)
{
    // The last piece after any separator or drive colon.
    size_t start = name.find_last_of(L"\\/:");
    std::wstring bare = start == std::wstring::npos ? name : name.substr(start + 1);
    std::wstring kept;
    for (wchar_t c : bare)
        if (c >= 0x20 && !wcschr(L"*?\"<>|", c)) kept += c;
    // Leading and trailing dots and blanks: no "." or "..", nothing the file system would drop.
    const size_t first = kept.find_first_not_of(L". ");
    kept = first == std::wstring::npos ? std::wstring() : kept.substr(first, kept.find_last_not_of(L". ") - first + 1);
    if (kept.empty()) return L"file";
    if (IsDeviceName(kept)) kept = L"_" + kept;
    return kept;
}

void MakeTransferError(XmlElement* reply, const XmlElement& request, TransferError error)
{
    MakeIqReply(reply, "error", &request);
    XmlElement* e = AddChild(reply, "error");
    if (error == TransferError::NotFound) {
        SetAttribute(e, "code", "404");
        SetAttribute(e, "type", "cancel");
        SetAttribute(AddChild(e, "item-not-found"), "xmlns", StanzasNs);
        return;
    }
    SetAttribute(e, "code", "400");
    SetAttribute(e, "type", "cancel");
    SetAttribute(AddChild(e, "bad-request"), "xmlns", StanzasNs);
    if (error == TransferError::OtherProfile) {
        AddChild(e, "bad-profile");
        return;
    }
    SetAttribute(AddChild(e, error == TransferError::NoValidStreams ? "no-valid-streams" : "bad-profile"), "xmlns",
                 StreamInitiation);
}

void MakeOfferAcceptance(XmlElement* reply, const FileTransfer& transfer)
{
    MakeIq(reply, "result", transfer.iqId, &transfer.from);
    XmlElement* si = AddChild(reply, "si");
    SetAttribute(si, "xmlns", StreamInitiation);
    XmlElement* feature = AddChild(si, "feature");
    SetAttribute(feature, "xmlns", FeatureNeg);
    XmlElement* x = AddChild(feature, "x");
    SetAttribute(x, "xmlns", DataForms);
    SetAttribute(x, "type", "submit");
    XmlElement* field = AddChild(x, "field");
    SetAttribute(field, "var", "stream-method");
    AddTextChild(field, "value", transfer.method == MethodBytestreams ? Bytestreams : InBand);
}

bool DecodeBase64Strict(const std::string& text, std::string& bytes)
{
    bytes.clear();
    int group[4];
    int have = 0, pad = 0;
    bool ended = false;  // a padded group was the last
    for (char c : text) {
        if (c == '\r' || c == '\n' || c == ' ' || c == '\t') continue;
        if (ended) return false;
        int value;
        if (c == '=') {
            if (have < 2) return false;
            ++pad;
            value = 0;
        } else {
            if (pad) return false;
            value = Base64Value(c);
            if (value < 0) return false;
        }
        group[have++] = value;
        if (have < 4) continue;
        const unsigned bits = unsigned(group[0]) << 18 | unsigned(group[1]) << 12 | unsigned(group[2]) << 6 | unsigned(group[3]);
        bytes += char(bits >> 16);
        if (pad < 2) bytes += char(bits >> 8);
        if (pad < 1) bytes += char(bits);
        ended = pad > 0;
        have = 0;
    }
    return have == 0;
}

FileTransfer* FileTransferTable::Find(const std::string& from, const std::string& sid)
{
    for (FileTransfer& transfer : transfers)
        if (transfer.sid == sid && SameNoCase(transfer.from, from)) return &transfer;
    return nullptr;
}

FileTransfer* FileTransferTable::FindKey(int key)
{
    for (FileTransfer& transfer : transfers)
        if (transfer.key == key) return &transfer;
    return nullptr;
}

bool FileTransferTable::NameInUse(const std::wstring& name) const
{
    for (const FileTransfer& transfer : transfers) {
        if (transfer.name.size() != name.size()) continue;
        bool same = true;
        for (size_t i = 0; i < name.size() && same; ++i) same = std::towlower(transfer.name[i]) == std::towlower(name[i]);
        if (same) return true;
    }
    return false;
}

FileTransfer* FileTransferTable::Add(const FileOffer& offer)
{
    if (Full() || Find(offer.from, offer.sid)) return nullptr;
    // Two files written at once never share one: "a.txt", "a (2).txt", ...
    std::wstring name = offer.name;
    const size_t dot = name.rfind(L'.');
    const std::wstring stem = dot == std::wstring::npos || dot == 0 ? name : name.substr(0, dot);
    const std::wstring extension = name.substr(stem.size());
    for (int n = 2; NameInUse(name); ++n) name = stem + L" (" + std::to_wstring(n) + L")" + extension;
    // A key no transfer in the table holds, never 0.
    do {
        lastKey = lastKey == INT_MAX ? 1 : lastKey + 1;
    } while (FindKey(lastKey));
    FileTransfer transfer;
    transfer.key = lastKey;
    transfer.name = name;
    transfer.from = offer.from;
    transfer.iqId = offer.iqId;
    transfer.sid = offer.sid;
    transfer.method = offer.method;
    transfers.push_back(std::move(transfer));
    return &transfers.back();
}

void FileTransferTable::Erase(int key)
{
    for (size_t i = 0; i < transfers.size(); ++i) {
        if (transfers[i].key != key) continue;
        transfers.erase(transfers.begin() + long(i));
        return;
    }
}

FileTransferTable::Block FileTransferTable::Receive(const std::string& from, const std::string& sid,
                                                    const std::string& seq, const std::string& base64, int& key,
                                                    std::string& bytes)
{
    FileTransfer* transfer = Find(from, sid);
    if (!transfer) return Block::UnknownStream;
    if (seq.empty()) return Block::OutOfOrder;
    unsigned number = 0;
    for (char c : seq) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return Block::OutOfOrder;
        number = (number * 10 + unsigned(c - '0')) & 0xFFFF;
    }
    if (number != transfer->nextSeq) return Block::OutOfOrder;
    if (!DecodeBase64Strict(base64, bytes)) return Block::BadData;
    transfer->nextSeq = (transfer->nextSeq + 1) & 0xFFFF;
    key = transfer->key;
    return Block::Taken;
}
