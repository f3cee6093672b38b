#include "Wex/proto/ClientRules.h"

#include <algorithm>
#include <cwctype>
#include <string>

namespace Wex {

namespace {

// The fields of the direct-connection block that the rules test end at byte 35.
const size_t kDcBlockLength = 35;

int HexValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    return -1;  // the line is lower-cased before it is read
}

// Leading digits of text in base 10 or 16; what follows them is ignored.
unsigned ReadNumber(const std::wstring& text, bool hex)
{
    unsigned value = 0;
    for (wchar_t c : text) {
        int digit = hex ? HexValue(c) : (c >= L'0' && c <= L'9' ? c - L'0' : -1);
        if (digit < 0) break;
        value = value * (hex ? 16u : 10u) + unsigned(digit);
    }
    return value;
}

// One item: up to 32 digits, the bytes they give and how many of them are compared (never more
// than the 16 a capability has). False for an item with a character that is not a digit.
bool ReadPrefix(const std::wstring& item, CapPrefix& out)
{
    std::wstring digits = item.substr(0, 32);
    for (wchar_t c : digits)
        if (HexValue(c) < 0) return false;
    out = CapPrefix();
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        out.guid[i / 2] = (unsigned char)(HexValue(digits[i]) << 4 | HexValue(digits[i + 1]));
    if (digits.size() % 2) out.guid[digits.size() / 2] = (unsigned char)(HexValue(digits.back()) << 4);
    out.length = int(std::min<size_t>(item.size() / 2, 16));
    return true;
}

// "a, b, c": after a comma the next item starts two characters on (files write ", ").
void ReadPrefixList(const std::wstring& list, std::vector<CapPrefix>& out)
{
    size_t at = 0;
    while (at < list.size()) {
        size_t comma = list.find(L',', at);
        std::wstring item = list.substr(at, comma == std::wstring::npos ? std::wstring::npos : comma - at);
        CapPrefix prefix;
        if (!item.empty() && ReadPrefix(item, prefix)) out.push_back(prefix);
        if (comma == std::wstring::npos) break;
        at = comma + 2;
    }
}

bool StartsWith(const std::wstring& line, const wchar_t* key, std::wstring& value)
{
    size_t length = std::char_traits<wchar_t>::length(key);
    if (line.compare(0, length, key) != 0) return false;
    value = line.substr(length);
    return true;
}

void ReadLine(const std::wstring& line, ClientIdEntry& rule)
{
    std::wstring value;
    if (StartsWith(line, L"name=", value)) {
        rule.name = CZELString(value.c_str(), int(value.size()));
    } else if (StartsWith(line, L"protover=", value)) {
        rule.protocolVersion = ReadNumber(value, false);
        rule.hasProtocolVersion = true;
    } else if (StartsWith(line, L"dcinfo1=", value) || StartsWith(line, L"dcinfo2=", value) ||
               StartsWith(line, L"dcinfo3=", value)) {
        int word = line[6] - L'1';
        rule.dcInfo[word] = ReadNumber(value, true);
        rule.hasDcInfo[word] = true;
    } else if (StartsWith(line, L"caps=", value)) {
        if (!value.empty() && value[0] == L'!') {
            rule.exactCapCount = true;
            value.erase(0, 1);
        }
        ReadPrefixList(value, rule.caps);
    } else if (StartsWith(line, L"nocaps=", value)) {
        ReadPrefixList(value, rule.noCaps);
    } else if (StartsWith(line, L"pic=", value)) {
        rule.picture = CZELString(value.c_str(), int(value.size()));
    }
}

bool Matches(const CapPrefix& prefix, const CapabilityEntry& capability)
{
    return std::equal(prefix.guid.begin(), prefix.guid.begin() + prefix.length, capability.guid.begin());
}

bool AnyMatches(const CapPrefix& prefix, const CapabilityList& list)
{
    return std::any_of(list.begin(), list.end(), [&](const CapabilityEntry& c) { return Matches(prefix, c); });
}

unsigned ReadBigEndian(const unsigned char* at, int bytes)
{
    unsigned value = 0;
    for (int i = 0; i < bytes; ++i) value = value << 8 | at[i];
    return value;
}

} // namespace

ClientIdTable ParseClientRules(const unsigned char* bytes, size_t size)
{
    ClientIdTable table;
    if (!bytes) return table;
    // Whole UTF-16LE units; the first is the byte-order mark.
    std::wstring text;
    for (size_t at = 2; at + 1 < size; at += 2) text += wchar_t(bytes[at] | bytes[at + 1] << 8);

    ClientIdEntry rule;
    auto finishRule = [&] {
        if (!rule.name.IsEmpty()) table.push_back(rule);
        rule = ClientIdEntry();
    };
    size_t at = 0;
    for (size_t end; (end = text.find(L"\r\n", at)) != std::wstring::npos; at = end + 2) {
        std::wstring line = text.substr(at, end - at);
        for (wchar_t& c : line) c = wchar_t(std::towlower(c));
        if (line.empty() || line[0] == L';') continue;
        if (line[0] == L'[') {
            finishRule();
            continue;
        }
        ReadLine(line, rule);
    }
    finishRule();
    return table;
}

int IdentifyClient(const ClientIdTable& table, const CapabilityTable& capabilities, const TlvChain& userInfo)
{
    const Tlv* dc = userInfo.Find(0x000C);
    if (!dc || dc->GetLength() < kDcBlockLength) return -1;
    const unsigned char* block = dc->GetValue();
    unsigned version = ReadBigEndian(block + 9, 2);
    unsigned dcInfo[3] = {ReadBigEndian(block + 23, 4), ReadBigEndian(block + 27, 4), ReadBigEndian(block + 31, 4)};
    CapabilityList list = ParseCapabilities(capabilities, userInfo);

    for (size_t index = 0; index < table.size(); ++index) {
        const ClientIdEntry& rule = table[index];
        if (rule.hasProtocolVersion && rule.protocolVersion != version) continue;
        bool dcMatches = true;
        for (int i = 0; i < 3; ++i) dcMatches = dcMatches && (!rule.hasDcInfo[i] || rule.dcInfo[i] == dcInfo[i]);
        if (!dcMatches) continue;
        if (rule.exactCapCount && list.size() != rule.caps.size()) continue;
        if (!std::all_of(rule.caps.begin(), rule.caps.end(), [&](const CapPrefix& p) { return AnyMatches(p, list); }))
            continue;
        if (std::any_of(rule.noCaps.begin(), rule.noCaps.end(), [&](const CapPrefix& p) { return AnyMatches(p, list); }))
            continue;
        return int(index);
    }
    return -1;
}

} // namespace Wex
