// An account's roster and its contacts' presence against the contact-list data, the way a sign-in
// brings them: a parsed roster result of 1,000, 10,000 and 20,000 items in 50 groups merged into an
// empty list (the first sign-in) and into a list that already holds it (every later one, by a new
// account object as after a restart); then 100,000 presence stanzas over contacts with two
// resources each, every one going from the stanza to the contact list's status notice. Each figure
// counts until the contact list's own queue has done the work the account left it. The account is
// the plug-in's own object, driven on this thread; the list is the program's.
#include "Jabber/bench/Bench.h"

#include "Jabber/account/AccountKinds.h"
#include "Jabber/account/JabberAccount.h"
#include "Jabber/xml/XmlStreamParser.h"
#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/contactlist/ContactListData.h"

#include <cstdio>
#include <memory>
#include <vector>

// The account's stanza handlers, for the benchmark alone.
struct JabberAccountProbe {
    static void RosterResult(JabberAccount& account, const XmlElement& iq) { account.OnRosterResult(iq); }
    static void Presence(JabberAccount& account, const XmlElement& presence) { account.OnPresence(presence); }
};

namespace {

const unsigned kAccount = 0x10000001;
const int kGroups = 50;
const int kPresences = 100000;
const ZEL_GUID kFlushClass = {0xBE4C0002, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};

// The contact list's view of the one account.
class OneAccount : public IContactListAccounts {
public:
    bool IsAvailable() override { return true; }
    int GetAccountCount() override { return 1; }
    unsigned GetAccountId(int index) override { return index == 0 ? kAccount : 0; }
    CZELString GetAccountKey(unsigned account) override
    {
        return account == kAccount ? CZELString(L"{AB4D1737-3B4D-4DA7-8B82-60C8DDF8D8EB}alice@example.org")
                                   : CZELString();
    }
    bool GetContactIcons(unsigned, int, StatusInfo&) override { return false; }
    bool SendInstantMessage(unsigned, const MessageRecord&, bool) override { return false; }
    bool GetAccountsNotCreated(std::vector<ZEL_GUID>&) override { return true; }
};

std::unique_ptr<XmlElement> ParseOne(const std::string& stanza)
{
    XmlStreamParser parser;
    const std::string header = "<stream:stream xmlns='jabber:client' xmlns:stream='http://etherx.jabber.org/streams'>";
    parser.Feed(header.data(), header.size());
    parser.Feed(stanza.data(), stanza.size());
    for (XmlEvent event = parser.Next(); event.kind != XmlEvent::NeedMore; event = parser.Next())
        if (event.kind == XmlEvent::Stanza) return std::move(event.element);
    return nullptr;
}

std::string Jid(int contact)
{
    return "contact" + std::to_string(contact) + "@example.org";
}

std::unique_ptr<XmlElement> RosterResult(int contacts)
{
    std::string text = "<iq type='result' id='zel_1'><query xmlns='jabber:iq:roster'>";
    for (int c = 0; c < contacts; ++c)
        text += "<item jid='" + Jid(c) + "' name='Contact " + std::to_string(c) +
                "' subscription='both'><group>Group " + std::to_string(c % kGroups) + "</group></item>";
    return ParseOne(text + "</query></iq>");
}

struct Services {
    ::Services::CServicesManager bus;
    OneAccount accounts;
    std::unique_ptr<CContactListData> list;

    Services() : list(new CContactListData(bus, &accounts))
    {
        bus.SendMessage(list->GetQueueHandle(), GUID_PROTOCOLS_MANAGER, PMEV_ACCOUNT_CREATED, new CRefValue(kAccount),
                        nullptr, true);
    }
    void Flush() { bus.SendMessage(list->GetQueueHandle(), kFlushClass, 0, nullptr, nullptr, true); }
    int Items()
    {
        CZELArray<ContactListItemPair> items;
        list->GetAccountItems(kAccount, items);
        return items.GetCount();
    }
};

struct Figures {
    double first, again, presence;
    bool ok;
};

Figures Measure(int contacts, const XmlElement& roster, const std::vector<std::unique_ptr<XmlElement>>& presences)
{
    Figures f = {0, 0, 0, true};
    Services services;
    {
        JabberAccount account(KindPlainXmpp, &services.bus, kAccount, 0);
        const double start = BenchSeconds();
        JabberAccountProbe::RosterResult(account, roster);
        services.Flush();
        f.first = BenchSeconds() - start;
    }
    f.ok = services.Items() == kGroups + contacts;

    JabberAccount account(KindPlainXmpp, &services.bus, kAccount, 0);
    double start = BenchSeconds();
    JabberAccountProbe::RosterResult(account, roster);
    services.Flush();
    f.again = BenchSeconds() - start;
    f.ok = f.ok && services.Items() == kGroups + contacts;

    start = BenchSeconds();
    for (const std::unique_ptr<XmlElement>& presence : presences) JabberAccountProbe::Presence(account, *presence);
    services.Flush();
    f.presence = (BenchSeconds() - start) / double(presences.size());
    StatusInfo info;
    account.BuildContactStatus(account.ContactIdByJid(L"contact0@example.org"), info);
    f.ok = f.ok && info.status != 0;
    return f;
}

}  // namespace

void RunRosterBenchmark()
{
    std::printf("\nRoster merged into the contact list (50 groups), then %d presence stanzas over two resources a "
                "contact:\n",
                kPresences);
    std::printf("%9s %14s %14s %12s %16s\n", "contacts", "first merge", "merge again", "per item", "per presence");
    for (int contacts : {1000, 10000, 20000}) {
        std::unique_ptr<XmlElement> roster = RosterResult(contacts);
        static const char* const Shows[] = {"", "<show>away</show>", "<show>dnd</show>", "<show>xa</show>"};
        std::vector<std::unique_ptr<XmlElement>> presences;
        presences.reserve(kPresences);
        for (int i = 0; i < kPresences; ++i) {
            const int contact = int((long long)i * 7919 % contacts);
            presences.push_back(ParseOne("<presence from='" + Jid(contact) + "/r" + std::to_string(i % 2) + "'>" +
                                         Shows[(i / contacts) % 4] + "<priority>" + std::to_string(i % 2) +
                                         "</priority></presence>"));
        }
        Figures f = Measure(contacts, *roster, presences);
        std::printf("%9d %11.1f ms %11.1f ms %9.2f us %13.2f us%s\n", contacts, f.first * 1e3, f.again * 1e3,
                    f.again * 1e6 / contacts, f.presence * 1e6, f.ok ? "" : "  (wrong result)");
    }
}
