#include "Jabber/account/MailNotice.h"

#include "Jabber/xml/XmlText.h"
#include "ZELCommon/MD5.h"

namespace {

// Values of the web-mail service.
const char WebMailKey[] = "zel-mail-key-2009";  // 17 characters
const wchar_t LoginEndpoint[] = L"https://passport.zel.example";
const wchar_t ProjectWord[] = L"mail";
const wchar_t MailboxStart[] = L"https://mail.zel.example/";

void AppendByte(std::wstring& out, unsigned byte)
{
    static const wchar_t digits[] = L"0123456789abcdef";
    out += L'%';
    out += digits[(byte >> 4) & 0xF];
    out += digits[byte & 0xF];
}

}  // namespace

std::vector<std::wstring> MailNoticeAlerts(const XmlElement& x, const MailNoticeLabels& labels,
                                           const std::wstring& accountName)
{
    std::vector<std::wstring> alerts;
    if (FindChild(&x, "unread")) return alerts;
    for (int m = 1; const XmlElement* message = FindChild(&x, "message", m); ++m) {
        const XmlElement* senders = FindChild(message, "senders");
        if (!senders) continue;
        const XmlElement* sender = FindChild(senders, "sender", int(senders->children.size()));
        if (!sender) continue;
        const std::string* address = GetAttribute(sender, "address");
        const XmlElement* subject = FindChild(message, "subject");
        alerts.push_back(labels.account + accountName + L"\r\n" + labels.from +
                         (address ? WideFromUtf8(*address) : std::wstring()) + L"\r\n" + labels.subject +
                         (subject ? WideFromUtf8(subject->text) : std::wstring()));
    }
    return alerts;
}

std::wstring UrlEncode(const std::wstring& text)
{
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned u = text[i];
        if ((u >= L'0' && u <= L'9') || (u >= L'A' && u <= L'Z') || (u >= L'a' && u <= L'z') || u == L'-' || u == L'.') {
            out += wchar_t(u);
            continue;
        }
        // A surrogate pair is one character; a half alone stands for nothing and is replaced.
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            u = 0x10000 + ((u - 0xD800) << 10) + (unsigned(text[i + 1]) - 0xDC00);
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            u = 0xFFFD;
        }
        if (u < 0x80) {
            AppendByte(out, u);
        } else if (u < 0x800) {
            AppendByte(out, 0xC0 | (u >> 6));
            AppendByte(out, 0x80 | (u & 0x3F));
        } else if (u < 0x10000) {
            AppendByte(out, 0xE0 | (u >> 12));
            AppendByte(out, 0x80 | ((u >> 6) & 0x3F));
            AppendByte(out, 0x80 | (u & 0x3F));
        } else {
            AppendByte(out, 0xF0 | (u >> 18));
            AppendByte(out, 0x80 | ((u >> 12) & 0x3F));
            AppendByte(out, 0x80 | ((u >> 6) & 0x3F));
            AppendByte(out, 0x80 | (u & 0x3F));
        }
    }
    return out;
}

std::wstring WebMailLinkFor(const std::wstring& ownJid, const std::wstring& password)
{
    const std::string signed_ = std::string(WebMailKey) + Utf8FromWide(ownJid.c_str(), int(ownJid.size())) + "|" +
                                Utf8FromWide(password.c_str(), int(password.size()));
    unsigned char digest[CMD5::DigestSize];
    CMD5::Hash(signed_.data(), unsigned(signed_.size()), digest);
    static const wchar_t digits[] = L"0123456789abcdef";
    std::wstring hash;
    for (unsigned char byte : digest) {
        hash += digits[byte >> 4];
        hash += digits[byte & 0xF];
    }
    return std::wstring(LoginEndpoint) + L"/reg/test?user=" + UrlEncode(ownJid) + L"&hash=" + hash +
           L"&project=" + ProjectWord + L"&retpath=" + UrlEncode(MailboxStart);
}
