// New-mail notices of the own service's server (an "x" in "zel:mail:notify" inside a presence):
// the alert text of each new message, and the signed link into the web mailbox that the notice's
// button opens.
#pragma once

#include "Jabber/xml/XmlElement.h"

#include <string>
#include <vector>

// The plug-in's texts the alert is built from: the account label, the "mail received / from" label
// and the subject label, each with its own separators.
struct MailNoticeLabels {
    std::wstring account;
    std::wstring from;
    std::wstring subject;
};

// One alert text per described message, in document order; none when x marks them unread. A
// message without its sender is skipped. A missing piece (the account name, an address, a subject)
// counts as empty, so the text always holds all three lines.
std::vector<std::wstring> MailNoticeAlerts(const XmlElement& x, const MailNoticeLabels& labels,
                                           const std::wstring& accountName);

// The query-value encoding of text: letters, digits, "-" and "." as they are; every other
// character as its UTF-8 bytes, each "%" and two lower-case hexadecimal digits. A lone surrogate
// half is encoded as U+FFFD.
std::wstring UrlEncode(const std::wstring& text);

// The login link into the web mailbox of ownJid, signed with the MD5 of the service's key, the JID,
// "|" and the password (both UTF-8).
std::wstring WebMailLinkFor(const std::wstring& ownJid, const std::wstring& password);
