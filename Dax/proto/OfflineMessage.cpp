#include "Dax/proto/OfflineMessage.h"

namespace Mrim {

namespace {

bool Contains(const CZELString& value, const wchar_t* what)
{
    CZELString lower = value;
    lower.ToLower();
    return lower.Find(0, CZELString(what)) >= 0;
}

wchar_t At(const CZELString& text, int i)
{
    return i >= 0 && i < text.GetLength() ? text.GetBuffer()[i] : 0;
}

Bytes DecodeRange(const CZELString& text, int from, int to)
{
    if (to <= from) return Bytes();
    Bytes ascii;
    ascii.reserve(size_t(to - from));
    for (int i = from; i < to; ++i) ascii.push_back((unsigned char)(At(text, i) & 0xFF));
    return FromBase64(ascii.data(), ascii.size());
}

// Past one line break (CR LF or LF) at i.
int SkipLineBreak(const CZELString& text, int i)
{
    if (At(text, i) == L'\r') ++i;
    if (At(text, i) == L'\n') ++i;
    return i;
}

// The end of a body that runs to the next empty line, or to the end of the text.
int BodyEnd(const CZELString& text, int start)
{
    const CZELString lf(L"\n");
    for (int p = start;;) {
        int n = text.Find(p, lf);
        if (n < 0) return text.GetLength();
        int next = n + 1;
        if (At(text, next) == L'\n' || (At(text, next) == L'\r' && At(text, next + 1) == L'\n')) return n;
        p = next;
    }
}

CZELString Boundary(const CZELString& contentType)
{
    CZELString lower = contentType;
    lower.ToLower();
    int at = lower.Find(0, CZELString(L"boundary="));
    if (at < 0) return CZELString();
    int start = at + 9;
    CZELString boundary = contentType.Substring(start, contentType.GetLength() - start);
    int n = boundary.GetLength();
    if (n >= 2 && boundary.GetBuffer()[0] == L'"' && boundary.GetBuffer()[n - 1] == L'"')
        boundary = boundary.Substring(1, n - 2);
    return boundary;
}

bool MultipartBody(const CZELString& text, int end, const CZELString& contentType, Bytes& body)
{
    CZELString boundary = Boundary(contentType);
    if (boundary.IsEmpty()) return false;
    const CZELString delimiter = CZELString(L"--") + boundary;
    const CZELString lf(L"\n");
    bool found = false;
    int u = text.Find(end + 1, delimiter);
    while (u > 0) {
        int a = text.Find(u + delimiter.GetLength(), lf);
        u = text.Find(u + delimiter.GetLength(), delimiter);
        if (a < 0) break;
        MimeHeaders part;
        a = ParseMimeHeaders(text, a + 1, part);
        while (At(text, a) == L'\n' || At(text, a) == L'\r') ++a;
        auto type = part.find(L"content-type");
        if (type != part.end() && Contains(type->second, L"text/plain") && u > 0) {
            body = DecodeRange(text, a, u);
            found = true;
        }
    }
    return found;
}

} // namespace

int ParseMimeHeaders(const CZELString& text, int start, MimeHeaders& headers)
{
    const CZELString lf(L"\n"), separator(L": ");
    int p = start;
    for (;;) {
        int n = text.Find(p, lf);
        if (n < 0 || p + 1 >= n) break;
        CZELString line = text.Substring(p, n - p);
        int c = line.Find(0, separator);
        if (c > 0) {
            CZELString value = line.Substring(c + 2, line.GetLength() - c - 2);
            if (value.GetLength() > 0 && value.GetBuffer()[value.GetLength() - 1] == L'\r')
                value = value.Substring(0, value.GetLength() - 1);
            headers[LowerKey(line.Substring(0, c))] = value;
        }
        p = n + 1;
    }
    return p;
}

OfflineMessage ParseOfflineMessage(const CZELString& text)
{
    OfflineMessage message;
    MimeHeaders headers;
    int end = ParseMimeHeaders(text, 0, headers);
    auto from = headers.find(L"from"), date = headers.find(L"date");
    auto type = headers.find(L"content-type"), flags = headers.find(L"x-mrim-flags");
    if (from != headers.end()) message.from = from->second;
    if (date != headers.end()) message.date = date->second;
    if (from == headers.end() || date == headers.end() || type == headers.end() || flags == headers.end())
        return message;
    message.flags = flags->second.Uint(true);
    if (Contains(type->second, L"multipart/alternative")) {
        message.readable = MultipartBody(text, end, type->second, message.body);
    } else if (Contains(type->second, L"text/plain") && end > 0) {
        // The body starts after the empty line, whether it ends in LF or CR LF.
        int start = SkipLineBreak(text, end);
        message.body = DecodeRange(text, start, BodyEnd(text, start));
        message.readable = true;
    }
    return message;
}

} // namespace Mrim
