// One account of Jabber.dll through the program's bus, protocols manager and contact list, with the
// connection service played by the test and a scripted server behind it: no sockets. The test signs
// in with a roster of its choice, makes the server send stanzas and reads back the contact list,
// its events and what the account sent.
#pragma once

#include "Jabber/tests/ContactListView.h"
#include "Jabber/tests/FakeServerTransports.h"
#include "Jabber/tests/JabberTestHost.h"

#include <gtest/gtest.h>

namespace JabberTest {

// The plug-in's contact-menu actions, as a menu item holds them.
inline MenuCallback ContactAction(int action)
{
    HMODULE module = GetModuleHandleW((PluginTree::Wide(ProtosFolder()) + L"Jabber\\Jabber.dll").c_str());
    typedef MenuCallback (*Lookup)(int);
    Lookup lookup =
        module ? reinterpret_cast<Lookup>(reinterpret_cast<void*>(GetProcAddress(module, "JabberTestContactAction")))
               : nullptr;
    return lookup ? lookup(action) : nullptr;
}

// What a menu item of the plug-in's contact menus carries for contactId of account.
inline intptr_t ContactActionArgument(unsigned account, int contactId)
{
    return intptr_t((uint64_t(uint32_t(contactId)) << 32) | account);
}

struct RosterSession {
    Services::CServicesManager bus;
    FakeConnectionService service{bus};
    Host host{bus, false};
    ContactListEvents events{bus};
    unsigned id = 0;

    RosterSession()
    {
        // Senders outside the list get through unasked unless a test says otherwise.
        host.contactList->SetAntispamEnable(false);
    }

    IContactListData& List() { return *host.contactList; }

    unsigned Create(const ZEL_GUID& protocol = GUID_XMPP_PROTOCOL)
    {
        id = host.CreateAccount(protocol);
        EXPECT_NE(id, 0u);
        host.Configure(id, L"alice", L"alicepw", 5222);
        Settle();
        return id;
    }

    // Signs in with roster items and status; true once the first presence went out (the roster
    // has been merged by then).
    bool SignIn(const std::string& rosterItems, int status = AccountStatus::Online)
    {
        ServerScript script;
        script.rosterItems = rosterItems;
        service.Serve(script);
        host.SetStatus(id, status);
        if (!host.WaitForStatuses(id, {AccountStatus::Connecting, status})) {
            ADD_FAILURE() << ::testing::PrintToString(host.Statuses(id));
            return false;
        }
        const bool presence = TestSupport::WaitUntil(
            [&] { return Server() && !Server()->SentWith("<presence").empty(); }, 10000);
        Settle();
        return presence;
    }

    std::shared_ptr<FakeXmppServer> Server()
    {
        std::shared_ptr<FakeXmppServer> last;
        for (size_t n = 0; std::shared_ptr<FakeXmppServer> session = service.Session(n); ++n) last = session;
        return last;
    }

    std::vector<std::string> SentWith(const std::string& part)
    {
        std::shared_ptr<FakeXmppServer> server = Server();
        return server ? server->SentWith(part) : std::vector<std::string>();
    }

    // Everything queued for the account, the manager and the contact list has run.
    void Settle()
    {
        host.Settle(id);
        BusTest::Flush(bus, host.contactList->GetQueueHandle());
        host.Settle(id);
        BusTest::Flush(bus, host.contactList->GetQueueHandle());
    }

    void ServerSends(const std::string& text)
    {
        service.ServerSends(text);
        Settle();
    }

    std::vector<std::string> Rows() { return ListRows(List(), id); }
    int Contact(const std::string& jid) { return ContactByJid(List(), id, jid); }
    int Group(const std::string& name) { return GroupByName(List(), id, name); }

    // The contact's icons as the account gives them.
    StatusInfo Icons(int contactId)
    {
        StatusInfo info;
        host.manager->GetContactIcons(id, contactId, &info);
        return info;
    }
};

}  // namespace JabberTest
