#include "Wex/proto/MessageText.h"

#include "Wex/proto/Rendezvous.h"
#include "Wex/proto/WireText.h"

#include <cstring>
#include <string>

namespace Wex {

namespace {

const wchar_t kHtmlOpening[] = L"<HTML><BODY";
const wchar_t kHtmlClosing[] = L"</BODY></HTML>";
const size_t kOpeningLength = 11;
const size_t kClosingLength = 14;

bool StartsWithNoCase(const std::wstring& text, size_t at, const wchar_t* prefix, size_t length)
{
    return text.size() >= at + length && CZELString(text.data() + at, int(length)) == CZELString(prefix, int(length));
}

// "br" or "hr" in any case, and nothing more: "br/" or "br class=x" is removed like any tag.
bool IsLineTag(const std::wstring& name)
{
    if (name.size() != 2) return false;
    CZELString tag(name.data(), 2);
    return tag == L"br" || tag == L"hr";
}

// Tags: each "<...>" removed, br and hr replaced by CR LF; a "<" with no ">" after it ends the
// search and stays, with the rest.
std::wstring RemoveTags(const std::wstring& text)
{
    std::wstring out;
    out.reserve(text.size());
    size_t at = 0;
    for (;;) {
        size_t open = text.find(L'<', at);
        size_t close = open == std::wstring::npos ? open : text.find(L'>', open + 1);
        if (close == std::wstring::npos) break;
        out.append(text, at, open - at);
        if (IsLineTag(text.substr(open + 1, close - open - 1))) out += L"\r\n";
        at = close + 1;
    }
    out.append(text, at, std::wstring::npos);
    return out;
}

// The four entities, each replaced once where it stands: a text that shows "&lt;" literally keeps it.
std::wstring ReplaceEntities(const std::wstring& text)
{
    static const struct {
        const wchar_t* entity;
        wchar_t character;
    } kEntities[] = {{L"&quot;", L'"'}, {L"&amp;", L'&'}, {L"&gt;", L'>'}, {L"&lt;", L'<'}};
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        bool replaced = false;
        if (text[i] == L'&') {
            for (const auto& e : kEntities) {
                size_t length = wcslen(e.entity);
                if (text.compare(i, length, e.entity) == 0) {
                    out += e.character;
                    i += length;
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) out += text[i++];
    }
    return out;
}

bool IsHtml(const CZELString& text, const CZELString& sender)
{
    const wchar_t* name = sender.GetBuffer();
    if (!name || name[0] < L'0' || name[0] > L'9') return true;
    std::wstring whole(text.GetBuffer() ? text.GetBuffer() : L"", size_t(text.GetLength()));
    return StartsWithNoCase(whole, 0, kHtmlOpening, kOpeningLength) &&
           whole.size() >= kClosingLength &&
           StartsWithNoCase(whole, whole.size() - kClosingLength, kHtmlClosing, kClosingLength);
}

CZELString PlainText(const TlvChain& tlvs, const CZELString& sender)
{
    const Tlv* fragments = tlvs.Find(0x0002);
    if (!fragments) return CZELString();
    ByteReader reader = fragments->Reader();
    reader.Skip(2);
    reader.Skip(reader.U16());  // the capabilities fragment
    reader.Skip(2);
    size_t length = reader.U16();
    unsigned short characterSet = reader.U16();
    reader.Skip(2);
    if (length < 4) return CZELString();
    const unsigned char* bytes = reader.Bytes(length - 4);
    if (reader.Failed()) return CZELString();

    CZELString text = characterSet == 0 || characterSet == 3 ? Widen(bytes, length - 4, CodePage1251)
                                                              : WidenUtf16BE(bytes, length - 4);
    return IsHtml(text, sender) ? HtmlToText(text) : text;
}

CZELString RendezvousPlainText(const Tlv& data, const RendezvousLayout& layout)
{
    const unsigned char* value = data.GetValue();
    size_t size = data.GetLength();
    size_t m = layout.textLength, textAt = layout.TextOffset();
    if (size < textAt + m) return CZELString();
    if (size < layout.typeOffset + m + 20) return WidenToZero(value + textAt, m, CodePage1251);
    if (m == 0) return CZELString();

    ByteReader reader = data.Reader();
    reader.Skip(layout.typeOffset + m + 16);
    size_t capabilityLength = reader.U32LE();
    const unsigned char* capability = reader.Bytes(capabilityLength);
    bool utf8 = !reader.Failed() && capabilityLength == strlen(Utf8CapabilityText) &&
                memcmp(capability, Utf8CapabilityText, capabilityLength) == 0;
    return Widen(value + textAt, m - 1, utf8 ? CodePageUtf8 : CodePage1251);
}

CZELString XStatusNoticeText(const Tlv& data, const RendezvousLayout& layout)
{
    size_t noticeAt = layout.TextOffset() + layout.textLength + PluginHeaderSize;
    Bytes title, description;
    ReadXStatusNotice(data.GetValue() + noticeAt, data.GetLength() - noticeAt, title, description);
    return Widen(title.data(), title.size(), CodePage1251) + Widen(description.data(), description.size(), CodePage1251);
}

CZELString RendezvousText(const TlvChain& tlvs)
{
    TlvChain inner;
    const Tlv* data = FindRendezvousData(tlvs, inner);
    RendezvousLayout layout;
    if (!data || !ReadRendezvousLayout(*data, layout)) return CZELString();
    if (layout.type == MessageTypePlainText) return RendezvousPlainText(*data, layout);
    if (IsXStatusPluginData(*data, layout)) return XStatusNoticeText(*data, layout);
    return CZELString();
}

CZELString ServerText(const TlvChain& tlvs)
{
    const Tlv* extension = tlvs.Find(0x0005);
    if (!extension) return CZELString();
    ByteReader reader = extension->Reader();
    reader.Skip(6);
    size_t length = reader.U16LE();
    const unsigned char* bytes = reader.Bytes(length);
    return reader.Failed() ? CZELString() : WidenToZero(bytes, length, CodePage1251);
}

} // namespace

CZELString HtmlToText(const CZELString& text)
{
    std::wstring body(text.GetBuffer() ? text.GetBuffer() : L"", size_t(text.GetLength()));
    if (StartsWithNoCase(body, 0, kHtmlOpening, kOpeningLength)) {
        size_t open = body.find(L'>', kOpeningLength);
        if (open == std::wstring::npos) return text;
        size_t end = body.size();
        if (end >= open + 1 + kClosingLength && StartsWithNoCase(body, end - kClosingLength, kHtmlClosing, kClosingLength))
            end -= kClosingLength;
        body = body.substr(open + 1, end - open - 1);
    }
    std::wstring plain = ReplaceEntities(RemoveTags(body));
    return CZELString(plain.data(), int(plain.size()));
}

CZELString DecodeMessageText(unsigned short channel, const TlvChain& messageTlvs, const CZELString& sender)
{
    switch (channel) {
    case 1: return PlainText(messageTlvs, sender);
    case 2: return RendezvousText(messageTlvs);
    case 4: return ServerText(messageTlvs);
    default: return CZELString();
    }
}

} // namespace Wex
