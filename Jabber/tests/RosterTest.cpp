// The roster and the contact list kept in line, through the program's services with a scripted
// server: the sign-in's roster merged into what the list held, pushes (and who may send them), the
// user's group and contact commands as roster sets, and the subscription handshake.
#include "Jabber/tests/RosterSession.h"

#include "Jabber/account/JabberAccount.h"

#include <gtest/gtest.h>

namespace {

using JabberTest::PluginLibrary;
using JabberTest::RosterSession;

typedef std::vector<std::string> Rows;

std::wstring Widen(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

class RosterTest : public ::testing::Test {
protected:
    RosterTest() { plugin.SetTimings(300, 0); }
    ~RosterTest() override { plugin.SetTimings(15000, 60000); }
    PluginLibrary plugin;
};

TEST_F(RosterTest, TheRosterResultMergesIntoTheListInOneBatch)
{
    ASSERT_TRUE(plugin.Loaded());
    struct Listed {
        const char* group;  // "" top level
        const char* jid;
    };
    struct Case {
        const char* name;
        std::vector<Listed> listed;
        const char* items;
        Rows expected;
        size_t moved;  // a move is announced as the contact's removal and addition after the batch
    } cases[] = {
        {"the first sign-in: groups made, names kept with markup, the first group counts",
         {},
         "<item jid='bob@localhost' name='Bob' subscription='both'/>"
         "<item jid='carol@localhost' name='Carol &amp; &quot;Co&quot;' subscription='to'><group>Work</group></item>"
         "<item jid='dave@localhost' subscription='from'><group>Home</group><group>Work</group></item>"
         "<item jid='erin@localhost' subscription='remove'><group>Work</group></item>"
         "<item name='no jid'/>",
         {"General", "General|bob@localhost|Bob|3", "Home", "Home|dave@localhost|dave|2", "Work",
          "Work|carol@localhost|Carol & \"Co\"|1", "Work|erin@localhost|erin|0"},
         0},
        {"a later sign-in: moved, leftovers removed, the top level kept",
         {{"Friends", "bob@localhost"},
          {"Old", "zed@localhost"},
          {"Work", "carol@localhost"},
          {"Friends", "carol@localhost"},
          {"Empty", nullptr},
          {"", "stranger@elsewhere"},
          {"Friends", "dave@localhost"}},
         "<item jid='BOB@localhost' name='Robert' subscription='both'><group>Friends</group></item>"
         "<item jid='carol@localhost' subscription='to'><group>Work</group></item>"
         "<item jid='dave@localhost' subscription='none'><group>Mates</group></item>",
         {"Friends", "Friends|bob@localhost|bob|3", "Mates", "Mates|dave@localhost|dave|-1", "Work",
          "Work|carol@localhost|carol|1", "|stranger@elsewhere|stranger|-1"},
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RosterSession session;
        unsigned id = session.Create();
        IContactListData& list = session.List();
        std::map<std::string, int> groups;
        for (const Listed& listed : c.listed) {
            int group = 0;
            if (*listed.group) {
                if (!groups.count(listed.group)) {
                    groups[listed.group] = list.AddGroup(id);
                    list.SetPropertyString(groups[listed.group], CZELString(L"Account name"),
                                           CZELString(Widen(listed.group).c_str()));
                }
                group = groups[listed.group];
            }
            if (!listed.jid) continue;
            const int contact = list.AddContact(id, group);
            const std::string jid = listed.jid;
            list.SetPropertyString(contact, CZELString(L"Account name"), CZELString(Widen(jid).c_str()));
            list.SetPropertyString(contact, CZELString(L"CL Alias"),
                                   CZELString(Widen(jid.substr(0, jid.find('@'))).c_str()));
        }
        session.events.Clear();
        ASSERT_TRUE(session.SignIn(c.items));
        EXPECT_EQ(session.Rows(), c.expected);
        // One batch: the list announced its start and end once.
        EXPECT_EQ(session.events.Events(CLE_UPDATE_BEGIN).size(), 1u);
        EXPECT_EQ(session.events.Events(CLE_UPDATE_END).size(), 1u);
        EXPECT_EQ(session.events.Events(CLE_CONTACT_ADDED).size(), c.moved);
    }
}

// Pushes count only without "from" or from the account's own bare JID, and each such push gets its
// empty result; a push that removes an item removes the contact.
TEST_F(RosterTest, PushesFromTheServerAloneChangeTheList)
{
    ASSERT_TRUE(plugin.Loaded());
    RosterSession session;
    session.Create();
    ASSERT_TRUE(session.SignIn("<item jid='bob@localhost' name='Bob' subscription='both'><group>Friends</group></item>"));

    struct Step {
        const char* name;
        const char* push;
        const char* id;
        bool answered;
        Rows expected;
    } steps[] = {
        {"added without from",
         "<iq type='set' id='p1'><query xmlns='jabber:iq:roster'><item jid='carol@localhost' name='Carol' "
         "subscription='none'><group>Work</group></item></query></iq>",
         "p1", true,
         {"Friends", "Friends|bob@localhost|Bob|3", "Work", "Work|carol@localhost|Carol|0"}},
        {"renamed and moved from our own bare JID",
         "<iq type='set' id='p2' from='Alice@localhost'><query xmlns='jabber:iq:roster'><item jid='bob@localhost' "
         "name='Robert &amp; Son' subscription='both'><group>Mates</group></item></query></iq>",
         "p2", true,
         {"Friends", "Mates", "Mates|bob@localhost|Robert & Son|3", "Work", "Work|carol@localhost|Carol|0"}},
        {"a stranger's push changes nothing and is not answered",
         "<iq type='set' id='p3' from='mallory@localhost'><query xmlns='jabber:iq:roster'><item "
         "jid='evil@localhost' subscription='both'/><item jid='bob@localhost' name='Pwned' "
         "subscription='none'/></query></iq>",
         "p3", false,
         {"Friends", "Mates", "Mates|bob@localhost|Robert & Son|3", "Work", "Work|carol@localhost|Carol|0"}},
        {"subscription granted",
         "<iq type='set' id='p4'><query xmlns='jabber:iq:roster'><item jid='carol@localhost' name='Carol' "
         "subscription='to'><group>Work</group></item></query></iq>",
         "p4", true,
         {"Friends", "Mates", "Mates|bob@localhost|Robert & Son|3", "Work", "Work|carol@localhost|Carol|1"}},
        {"removed",
         "<iq type='set' id='p5'><query xmlns='jabber:iq:roster'><item jid='carol@localhost' "
         "subscription='remove'/></query></iq>",
         "p5", true,
         {"Friends", "Mates", "Mates|bob@localhost|Robert & Son|3", "Work"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        session.ServerSends(step.push);
        EXPECT_EQ(session.Rows(), step.expected);
        // The account's reply is all it sends with the push's id.
        std::vector<std::string> replies = session.SentWith("id='" + std::string(step.id) + "'");
        ASSERT_EQ(replies.size(), step.answered ? 1u : 0u);
        if (step.answered) EXPECT_EQ(replies[0].substr(0, 18), "<iq type='result' ") << replies[0];
    }
}

// The user's commands leave the server's roster as they say, names with markup intact; while off
// line, commands on roster contacts are refused and change nothing.
TEST_F(RosterTest, CommandsBecomeRosterSetsAndAreRefusedOffline)
{
    ASSERT_TRUE(plugin.Loaded());
    RosterSession session;
    unsigned id = session.Create();
    ASSERT_TRUE(session.SignIn("<item jid='bob@localhost' name='Bob' subscription='both'><group>Friends</group></item>"
                               "<item jid='carol@localhost' name='Carol' subscription='to'><group>Friends</group></item>"));
    CProtocolsManager& manager = *session.host.manager;
    const int bob = session.Contact("bob@localhost"), carol = session.Contact("carol@localhost");
    ASSERT_TRUE(bob && carol);

    manager.AddGroup(id, CZELString(L"Q&A \"x\""));
    session.Settle();
    const int qa = session.Group("Q&A \"x\"");
    ASSERT_NE(qa, 0);
    EXPECT_TRUE(session.SentWith("Q&amp;A").empty());

    manager.RenameGroup(id, session.Group("Friends"), CZELString(L"Pals & Co"));
    session.Settle();
    EXPECT_EQ(session.SentWith("<group>Pals &amp; Co</group>").size(), 2u);

    manager.MoveContact(id, bob, qa);
    session.Settle();
    std::vector<std::string> moved = session.SentWith("<group>Q&amp;A &quot;x&quot;</group>");
    ASSERT_EQ(moved.size(), 1u);
    EXPECT_NE(moved[0].find("<item jid='bob@localhost' name='Bob' subscription='both'>"), std::string::npos)
        << moved[0];
    EXPECT_NE(moved[0].find(" id='zel_"), std::string::npos) << moved[0];

    manager.RenameContact(id, carol, CZELString(L"Caz 'the' <best>"));
    session.Settle();
    EXPECT_EQ(session.SentWith("name='Caz &apos;the&apos; &lt;best&gt;' subscription='to'><group>Pals &amp; Co").size(),
              1u);
    EXPECT_EQ(session.Rows(), (Rows{"Pals & Co", "Pals & Co|carol@localhost|Caz 'the' <best>|1", "Q&A \"x\"",
                                    "Q&A \"x\"|bob@localhost|Bob|3"}));

    manager.DeleteContact(id, carol);
    session.Settle();
    EXPECT_EQ(session.SentWith("<item jid='carol@localhost' subscription='remove'/>").size(), 1u);
    manager.DeleteGroup(id, qa);
    session.Settle();
    EXPECT_EQ(session.SentWith("<item jid='bob@localhost' subscription='remove'/>").size(), 1u);
    EXPECT_EQ(session.Rows(), (Rows{"Pals & Co"}));

    // Off line: nothing a roster contact's command does would reach the server, so nothing is done.
    session.ServerSends("<iq type='set'><query xmlns='jabber:iq:roster'><item jid='dave@localhost' name='Dave' "
                        "subscription='both'><group>Pals &amp; Co</group></item></query></iq>");
    const int dave = session.Contact("dave@localhost");
    ASSERT_NE(dave, 0);
    session.host.SetStatus(id, AccountStatus::Offline);
    ASSERT_TRUE(session.host.WaitForStatuses(id, {AccountStatus::Connecting, AccountStatus::Online, AccountStatus::Offline}));
    const Rows before = session.Rows();
    manager.RenameContact(id, dave, CZELString(L"Other"));
    manager.DeleteContact(id, dave);
    manager.MoveContact(id, dave, 0);
    manager.RenameGroup(id, session.Group("Pals & Co"), CZELString(L"New"));
    manager.DeleteGroup(id, session.Group("Pals & Co"));
    session.Settle();
    EXPECT_EQ(session.Rows(), before);
}

// A request from a contact arrives as a message in its chat; the answers reach the server; our own
// request, once granted, clears the not-authorised mark. A gateway is granted unasked.
TEST_F(RosterTest, SubscriptionsAndTheSixAuthorisationActions)
{
    ASSERT_TRUE(plugin.Loaded());
    RosterSession session;
    unsigned id = session.Create();
    ASSERT_TRUE(session.SignIn("<item jid='bob@localhost' name='Bob' subscription='none'><group>Friends</group></item>"
                               "<item jid='carol@localhost' name='Carol' subscription='from'/>"));
    const int bob = session.Contact("bob@localhost");
    ASSERT_NE(bob, 0);
    EXPECT_EQ(session.Icons(bob).images.GetCount(), 1);

    session.ServerSends("<presence from='dave@localhost/pc' type='subscribe'/>");
    ASSERT_TRUE(session.events.WaitFor(CLE_INCOMING_MESSAGE));
    const int dave = session.Contact("dave@localhost");
    ASSERT_NE(dave, 0);
    std::vector<JabberTest::ContactListEvents::Event> asked = session.events.Events(CLE_INCOMING_MESSAGE);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].id, dave);
    EXPECT_EQ(JabberTest::Narrow(asked[0].message.text), "Authorization request: ");
    EXPECT_NE(asked[0].message.kind, -1);

    struct Action {
        int action;
        int contact;
        const char* sent;  // null: nothing
    } actions[] = {
        {JabberAccount::ActionAcceptAuth, dave, "<presence to='dave@localhost' type='subscribed'/>"},
        {JabberAccount::ActionDeclineAuth, dave, "<presence to='dave@localhost' type='unsubscribed'/>"},
        {JabberAccount::ActionIgnoreAuth, dave, nullptr},
        {JabberAccount::ActionRequestAuth, bob, "<presence to='bob@localhost' type='subscribe'/>"},
        {JabberAccount::ActionGrantAuth, bob, "<presence to='bob@localhost' type='subscribed'/>"},
        {JabberAccount::ActionRevokeAuth, bob, "<presence to='bob@localhost' type='unsubscribed'/>"},
    };
    for (const Action& a : actions) {
        SCOPED_TRACE(a.action);
        MenuCallback callback = JabberTest::ContactAction(a.action);
        ASSERT_NE(callback, nullptr);
        const size_t before = session.SentWith("<presence to=").size();
        callback(0, JabberTest::ContactActionArgument(id, a.contact));
        session.Settle();
        if (a.sent)
            EXPECT_EQ(session.SentWith(a.sent).size(), 1u);
        else
            EXPECT_EQ(session.SentWith("<presence to=").size(), before);
    }

    // Granted: "none" becomes "to" and the mark goes.
    session.ServerSends("<presence from='bob@localhost' type='subscribed'/>");
    EXPECT_EQ(session.Icons(bob).images.GetCount(), 0);
    char subscription = 0;
    EXPECT_TRUE(session.List().GetPropertyByte(bob, CZELString(L"Subscription"), &subscription));
    EXPECT_EQ(subscription, 1);
    // "from" becomes "both".
    session.ServerSends("<presence from='carol@localhost/x' type='subscribed'/>");
    const Rows rows = session.Rows();
    EXPECT_NE(std::find(rows.begin(), rows.end(), "General|carol@localhost|Carol|3"), rows.end())
        << ::testing::PrintToString(rows);

    session.ServerSends("<presence from='icq.localhost' type='subscribe'/>");
    EXPECT_EQ(session.SentWith("<presence to='icq.localhost' type='subscribed'/>").size(), 1u);
    EXPECT_EQ(session.Contact("icq.localhost"), 0);

    // Off line the actions send nothing.
    session.host.SetStatus(id, AccountStatus::Offline);
    session.Settle();
    const size_t before = session.SentWith("<presence to=").size();
    JabberTest::ContactAction(JabberAccount::ActionRequestAuth)(0, JabberTest::ContactActionArgument(id, bob));
    session.Settle();
    EXPECT_EQ(session.SentWith("<presence to=").size(), before);
}

}  // namespace

// Stanzas from strangers and stanzas that are malformed or odd: only what the server of a kind-0
// account may do (tell it an account was made) has an effect; everything else leaves the list and
// the connection as they were.
TEST_F(RosterTest, HostileAndOddStanzasChangeOnlyWhatTheyMay)
{
    ASSERT_TRUE(plugin.Loaded());
    RosterSession session;
    unsigned id = session.Create(GUID_XMPP_ZEL_PROTOCOL);
    ASSERT_TRUE(session.SignIn("<item jid='bob@localhost' name='Bob' subscription='both'><group>Friends</group></item>"));
    const Rows rows = session.Rows();
    const int bob = session.Contact("bob@localhost");
    const std::string longJid = std::string(3000, 'x') + "@localhost";

    struct Case {
        const char* name;
        std::string stanza;
        const char* sent;  // what the account must have sent in answer, or null for nothing new
    } cases[] = {
        {"our server tells of a new account", "<message from='localhost'><x xmlns='zel:x:gotaccount'/></message>",
         "<presence to='localhost' type='subscribed'/>"},
        {"a stranger tells of one", "<message from='mallory@localhost'><x xmlns='zel:x:gotaccount'/></message>",
         nullptr},
        {"a resource of the server tells of one", "<message from='localhost/x'><x xmlns='zel:x:gotaccount'/></message>",
         nullptr},
        {"presence without from", "<presence><show>dnd</show></presence>", nullptr},
        {"presence from nobody", "<presence from=''/>", nullptr},
        {"presence from a lone slash", "<presence from='/'/>", nullptr},
        {"presence with an empty resource", "<presence from='bob@localhost/'><show>dnd</show></presence>", nullptr},
        // A new resource without capabilities: only its client's version is asked.
        {"a priority far out of range", "<presence from='bob@localhost/a'><priority>99999999999999999999</priority></presence>",
         "<iq type='get' to='bob@localhost/a' id='zel_"},
        {"presence from a very long JID", "<presence from='" + longJid + "/r'/>", nullptr},
        {"a push without items", "<iq type='set' id='h1'><query xmlns='jabber:iq:roster'/></iq>", "id='h1'"},
        {"a push with odd items",
         "<iq type='set' id='h2'><query xmlns='jabber:iq:roster'><item/><item jid=''/><item jid='x@localhost'/>"
         "<item subscription='both'/><item jid='" + longJid + "' subscription='sideways'/></query></iq>",
         "id='h2'"},
        {"a message without from", "<message><body>x</body></message>", nullptr},
        {"a redirection without a JID",
         "<message from='localhost'><body>x</body><addresses xmlns='http://jabber.org/protocol/address'>"
         "<address type='ofrom'/></addresses></message>",
         nullptr},
        {"event ids that are not ours",
         "<message from='bob@localhost/a'><x xmlns='jabber:x:event'><delivered/><id>zel_99999999999999</id></x>"
         "<x xmlns='jabber:x:event'><offline/><id>zel_</id></x></message>",
         nullptr},
        {"an unknown top-level element", "<bogus from='bob@localhost'><body>x</body></bogus>", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t before = session.Server()->Sent().size();
        session.ServerSends(c.stanza);
        EXPECT_EQ(session.host.AskStatus(id), AccountStatus::Online);
        std::vector<std::string> sent = session.Server()->Sent();
        std::vector<std::string> fresh(sent.begin() + long(before), sent.end());
        if (c.sent) {
            ASSERT_EQ(fresh.size(), 1u) << ::testing::PrintToString(fresh);
            EXPECT_NE(fresh[0].find(c.sent), std::string::npos) << fresh[0];
        } else {
            EXPECT_TRUE(fresh.empty()) << ::testing::PrintToString(fresh);
        }
    }
    // The odd push's only sound item, x@localhost without a subscription, is skipped too. The one
    // message delivered is the server's own, kept as its sender's since its redirection names no one.
    Rows expected = rows;
    expected.push_back("|localhost|localhost|0");
    EXPECT_EQ(session.Rows(), expected);
    EXPECT_EQ(session.Icons(bob).status, 2);
    std::vector<JabberTest::ContactListEvents::Event> delivered = session.events.Events(CLE_INCOMING_MESSAGE);
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(delivered[0].id, session.Contact("localhost"));
    EXPECT_EQ(JabberTest::Narrow(delivered[0].message.text), "x");
}
