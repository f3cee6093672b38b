// JabberAccount: new-mail notices from the account's own server, raised to the program.
#include "Jabber/account/JabberAccount.h"

#include "Jabber/account/MailNotice.h"
#include "Jabber/account/PluginShared.h"
#include "Jabber/xml/Jid.h"
#include "Jabber/xml/XmlText.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/accounts/ManagerPayloads.h"

#include <cctype>
#include <new>

namespace {

const char MailNotifyNs[] = "zel:mail:notify";

std::wstring Text(int number)
{
    CZELString text = PluginShared::Instance().Text(number);
    return text.GetBuffer() ? std::wstring(text.GetBuffer(), size_t(text.GetLength())) : std::wstring();
}

}  // namespace

bool JabberAccount::IsFromOwnServer(const std::string* from) const
{
    // The server stamps "from" on everything it routes: a stanza without one is the server's own.
    if (!from) return true;
    const std::string server = Utf8FromWide(settings.GetServer().GetBuffer());
    const std::string sender = StripResource(*from);
    if (server.empty() || sender.size() != server.size()) return false;
    for (size_t i = 0; i < server.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(sender[i])) != std::tolower(static_cast<unsigned char>(server[i])))
            return false;
    return true;
}

void JabberAccount::MailNoticeFromPresence(const XmlElement& presence)
{
    const XmlElement* x = FindChildWithAttribute(&presence, "x", "xmlns", MailNotifyNs);
    // Anyone can send us a presence; only our own server tells about our mailbox.
    if (!x || !IsFromOwnServer(GetAttribute(&presence, "from"))) return;
    HandleMailNotice(*x);
}

void JabberAccount::HandleMailNotice(const XmlElement& x)
{
    if (!settings.GetEmailNotify()) return;
    MailNoticeLabels labels{Text(79), Text(80), Text(81)};
    CZELString name = settings.GetAccountName();
    const std::wstring accountName = name.GetBuffer() ? std::wstring(name.GetBuffer(), size_t(name.GetLength())) : L"";
    const std::vector<std::wstring> alerts = MailNoticeAlerts(x, labels, accountName);
    if (alerts.empty()) return;
    const CZELString link = BuildWebMailLink();
    for (const std::wstring& alert : alerts)
        Notify(ProtocolGuid(), ACC_MAIL_NOTICE,
               new (std::nothrow) CStringPairPayload(link, CZELString(alert.c_str(), int(alert.size()))));
}

CZELString JabberAccount::BuildWebMailLink() const
{
    CZELString own = settings.OwnJid(), password = settings.GetPassword();
    const std::wstring link = WebMailLinkFor(own.GetBuffer() ? own.GetBuffer() : L"",
                                             password.GetBuffer() ? password.GetBuffer() : L"");
    return CZELString(link.c_str(), int(link.size()));
}
