// Presence and messages through the program's services with a scripted server: the statuses a
// contact's presence gives, the presence the account sends for each status, its status menu, what
// an incoming message is delivered as and which notices answer it, outgoing messages and their
// acknowledgements, and strangers under the anti-spam settings.
#include "Jabber/tests/RosterSession.h"

#include "Jabber/account/PresenceMapping.h"

#include <gtest/gtest.h>

namespace {

using JabberTest::ContactListEvents;
using JabberTest::Narrow;
using JabberTest::PluginLibrary;
using JabberTest::RosterSession;

const char kBob[] = "<item jid='bob@localhost' name='Bob' subscription='both'><group>Friends</group></item>";

class PresenceMessagesTest : public ::testing::Test {
protected:
    PresenceMessagesTest() { plugin.SetTimings(300, 0); }
    ~PresenceMessagesTest() override { plugin.SetTimings(15000, 60000); }
    PluginLibrary plugin;
};

TEST(PresenceMapping, TablesBothWays)
{
    struct Out {
        int chosen;
        int presence;
        const char* show;
        bool invisible;
        int xStatus;
    } outs[] = {
        {2, 2, nullptr, false, 0},  {3, 3, nullptr, true, 0},   {4, 4, nullptr, true, 0},
        {5, 5, "chat", false, 0},   {6, 2, nullptr, false, 4},  {7, 2, nullptr, false, 5},
        {8, 2, nullptr, false, 6},  {9, 2, nullptr, false, 7},  {10, 11, "away", false, 10},
        {11, 11, "away", false, 0}, {12, 12, "xa", false, 0},   {13, 14, "dnd", false, 8},
        {14, 14, "dnd", false, 0},  {99, 2, nullptr, false, 0},
    };
    for (const Out& o : outs) {
        SCOPED_TRACE(o.chosen);
        OutgoingPresence got = OutgoingPresenceFor(o.chosen);
        EXPECT_EQ(got.presenceStatus, o.presence);
        EXPECT_EQ(got.show ? std::string(got.show) : "", o.show ? std::string(o.show) : "");
        EXPECT_EQ(got.invisible, o.invisible);
        EXPECT_EQ(got.xStatus, o.xStatus);
    }
    struct Priority {
        const char* text;
        int expected;
    } priorities[] = {{"5", 5}, {"-1", -1}, {"200", -56}, {"127", 127}, {"-128", -128}, {"256", 0},
                      {"abc", 0}, {"", 0},   {" 7", 7},    {"12x", 12}, {"4294967297", 1}};
    for (const Priority& p : priorities) {
        SCOPED_TRACE(p.text);
        EXPECT_EQ(PriorityFromText(p.text), p.expected);
    }
    EXPECT_EQ(IncomingStatusFor(nullptr), 2);
    EXPECT_EQ(IncomingStatusFor("unknown"), 2);
    EXPECT_EQ(StatusWithXStatus(14, "8"), 13);
    EXPECT_EQ(StatusWithXStatus(11, "9"), 11);
    EXPECT_EQ(StatusWithXStatus(11, "3"), 11);
    EXPECT_EQ(StatusWithXStatus(11, "-4"), 11);
}

// Each resource's "show", extended status and priority; the contact shows its best resource.
TEST_F(PresenceMessagesTest, ContactPresenceGivesTheStatusShown)
{
    ASSERT_TRUE(plugin.Loaded());
    RosterSession session;
    session.Create();
    ASSERT_TRUE(session.SignIn(kBob));
    const int bob = session.Contact("bob@localhost");
    ASSERT_NE(bob, 0);
    EXPECT_EQ(session.Icons(bob).status, 0);

    struct Step {
        const char* name;
        const char* stanza;
        int expected;
    } steps[] = {
        {"available", "<presence from='bob@localhost/a'/>", 2},
        {"away", "<presence from='bob@localhost/a'><show>away</show></presence>", 11},
        {"not available", "<presence from='bob@localhost/a'><show>xa</show></presence>", 12},
        {"do not disturb", "<presence from='bob@localhost/a'><show>dnd</show></presence>", 14},
        {"free for chat", "<presence from='bob@localhost/a'><show>chat</show></presence>", 5},
        {"an unknown show", "<presence from='bob@localhost/a'><show>sleeping</show></presence>", 2},
        {"occupied by extended status",
         "<presence from='bob@localhost/a'><show>dnd</show><x xmlns='zel:x:status' value='8'/></presence>", 13},
        {"lunch by extended status",
         "<presence from='bob@localhost/a'><show>away</show><x xmlns='zel:x:status' value='10'/></presence>", 10},
        {"an extended status outside the table",
         "<presence from='bob@localhost/a'><show>away</show><x xmlns='zel:x:status' value='9'/></presence>", 11},
        {"a second resource on line outranks away", "<presence from='bob@localhost/b'><priority>1</priority></presence>",
         2},
        {"it leaves", "<presence from='bob@localhost/b' type='unavailable'/>", 11},
        {"a resource spelled otherwise does not leave", "<presence from='bob@localhost/A' type='unavailable'/>", 11},
        {"presence to itself is ignored", "<presence from='bob@localhost/a' to='bob@localhost/a'/>", 11},
        {"an error is ignored", "<presence from='bob@localhost/a' type='error'/>", 11},
        {"the last leaves", "<presence from='bob@localhost/a' type='unavailable'><status>bye</status></presence>", 0},
        {"presence from the bare JID", "<presence from='bob@localhost'><show>xa</show></presence>", 12},
        {"a stranger's presence is dropped", "<presence from='eve@localhost/x'/>", 12},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        session.ServerSends(step.stanza);
        EXPECT_EQ(session.Icons(bob).status, step.expected);
    }
    EXPECT_EQ(session.Contact("eve@localhost"), 0);
    // The status also reached the list as the contact's status.
    std::vector<ContactListEvents::Event> statuses = session.events.Events(CLE_CONTACT_STATUS);
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses.back().id, bob);
    EXPECT_EQ(statuses.back().status.status, 12);

    // Signing off shows every contact off line.
    session.host.SetStatus(session.id, AccountStatus::Offline);
    session.Settle();
    EXPECT_EQ(session.Icons(bob).status, 0);
}

// Signing off shows every contact that showed a status off line, whatever its resources (the list
// hears of them in one batch).
TEST_F(PresenceMessagesTest, SigningOffResetsEveryContactShowingAStatus)
{
    ASSERT_TRUE(plugin.Loaded());
    RosterSession session;
    session.Create();
    ASSERT_TRUE(session.SignIn(std::string(kBob) + "<item jid='carol@localhost' name='Carol' subscription='both'/>" +
                               "<item jid='dave@localhost' name='Dave' subscription='both'/>" +
                               "<item jid='erin@localhost' name='Erin' subscription='both'/>"));
    const int bob = session.Contact("bob@localhost"), carol = session.Contact("carol@localhost"),
              dave = session.Contact("dave@localhost"), erin = session.Contact("erin@localhost");
    ASSERT_TRUE(bob && carol && dave && erin);
    session.ServerSends("<presence from='bob@localhost/a'/>"
                        "<presence from='carol@localhost/x'><show>dnd</show></presence>"
                        "<presence from='carol@localhost/y'><show>away</show><priority>2</priority></presence>"
                        "<presence from='dave@localhost'><show>xa</show></presence>");
    EXPECT_EQ(session.Icons(bob).status, 2);
    EXPECT_NE(session.Icons(carol).status, 0);
    EXPECT_EQ(session.Icons(dave).status, 12);
    EXPECT_EQ(session.Icons(erin).status, 0);

    session.host.SetStatus(session.id, AccountStatus::Offline);
    session.Settle();
    for (int contact : {bob, carol, dave, erin}) EXPECT_EQ(session.Icons(contact).status, 0) << contact;
}

// What the account sends for each status, the priority within XMPP's range.
TEST_F(PresenceMessagesTest, OwnPresenceForEveryStatusAndTheStatusMenu)
{
    ASSERT_TRUE(plugin.Loaded());
    RosterSession session;
    unsigned id = session.Create();
    session.host.SetByte(id, L"Account priority", 200);
    ASSERT_TRUE(session.SignIn(kBob, AccountStatus::Invisible));
    std::vector<std::string> first = session.SentWith("<presence");
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0], "<presence type='invisible'><priority>127</priority><c xmlns='http://jabber.org/protocol/caps' "
                        "node='http://zel.invalid/caps' ver='0.2.1.1'/></presence>");

    struct Case {
        int status;
        const char* expected;
    } cases[] = {
        {AccountStatus::Online, "<presence><priority>127</priority><c "},
        {AccountStatus::Lunch, "<show>away</show><x xmlns='zel:x:status' value='10'/></presence>"},
        {AccountStatus::Evil, "ver='0.2.1.1'/><x xmlns='zel:x:status' value='4'/></presence>"},
        {AccountStatus::Occupied, "<show>dnd</show><x xmlns='zel:x:status' value='8'/></presence>"},
        {AccountStatus::FreeForChat, "<show>chat</show></presence>"},
        {AccountStatus::NotAvailable, "<show>xa</show></presence>"},
        {AccountStatus::InvisibleForAll, "<presence type='invisible'>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        session.host.SetStatus(id, c.status);
        session.Settle();
        std::vector<std::string> sent = session.SentWith("<presence");
        ASSERT_FALSE(sent.empty());
        EXPECT_NE(sent.back().find(c.expected), std::string::npos) << sent.back();
        EXPECT_EQ(session.host.AskStatus(id), c.status);
    }

    CPopupMenu menu;
    session.host.manager->GetStatusMenu(id, 0, &menu);
    EXPECT_EQ(Narrow(menu.title), "XMPP(Jabber) alice@localhost");
    const int order[] = {5, 6, 7, 8, 9, -1, 10, 11, 12, 13, 14, -1, 2, 3, 4, -1, 0};
    ASSERT_EQ(menu.GetCount(), int(sizeof order / sizeof order[0]));
    int lunch = -1;
    for (int i = 0; i < menu.GetCount(); ++i) {
        SCOPED_TRACE(i);
        const CMenuItem& item = menu.items[i];
        EXPECT_EQ(item.kind, order[i] < 0 ? int(MENU_ITEM_SEPARATOR) : int(MENU_ITEM_PLAIN));
        if (order[i] < 0) continue;
        EXPECT_NE(item.callback, nullptr);
        EXPECT_EQ(item.checked != 0, order[i] == AccountStatus::InvisibleForAll);
        if (order[i] == AccountStatus::Lunch) lunch = i;
    }
    EXPECT_EQ(Narrow(menu.items[lunch].text), "Lunch");
    // Picked as the menu's owner would: the status changes on the account's own queue.
    menu.items[lunch].callback(intptr_t(id), menu.items[lunch].argument);
    EXPECT_TRUE(TestSupport::WaitUntil([&] { return session.host.AskStatus(id) == AccountStatus::Lunch; }, 5000));
    session.Settle();
    EXPECT_NE(session.SentWith("<presence").back().find("value='10'"), std::string::npos);
}

// Each incoming message: the text delivered (or none) and the notices sent back.
TEST_F(PresenceMessagesTest, IncomingMessagesAndTheNoticesTheyAskFor)
{
    ASSERT_TRUE(plugin.Loaded());
    RosterSession session;
    session.Create();
    ASSERT_TRUE(session.SignIn(kBob));
    session.ServerSends("<presence from='bob@localhost/a'/>");
    const int bob = session.Contact("bob@localhost");
    ASSERT_NE(bob, 0);

    struct Case {
        const char* name;
        const char* stanza;
        const char* delivered;  // null: nothing delivered
        const char* under;      // the contact it is filed under
        const char* reply;      // a stanza the account must have sent, or null
    } cases[] = {
        {"a plain body", "<message from='bob@localhost/a' type='chat'><body>hi</body></message>", "hi",
         "bob@localhost", nullptr},
        {"line feeds become CR LF", "<message from='bob@localhost/a'><body>a\nb</body></message>", "a\r\nb",
         "bob@localhost", nullptr},
        {"subject and body", "<message from='bob@localhost/a'><subject>S</subject><body>B</body></message>",
         "Subject: S\r\nB", "bob@localhost", nullptr},
        {"subject alone", "<message from='bob@localhost/a'><subject>S</subject></message>", "S", "bob@localhost",
         nullptr},
        {"an empty body", "<message from='bob@localhost/a'><body/></message>", " ", "bob@localhost", nullptr},
        {"markup and non-ASCII", "<message from='bob@localhost/a'><body>&lt;&amp;&gt; \xd0\xbf</body></message>",
         "<&> ?", "bob@localhost", nullptr},
        {"the special-message payload",
         "<message from='bob@localhost/a'><body>[This is not a human readable message]</body>"
         "<x xmlns='zel:x:specmsg'>special</x></message>",
         "special", "bob@localhost", nullptr},
        {"an encrypted block is shown",
         "<message from='bob@localhost/a'><body>x</body><x xmlns='jabber:x:encrypted'>QUJD</x></message>",
         "-----BEGIN PGP MESSAGE-----\r\n\r\nQUJD\r\n-----END PGP MESSAGE-----\r\n", "bob@localhost", nullptr},
        {"an out-of-band link",
         "<message from='bob@localhost/a'><body>see</body><x xmlns='jabber:x:oob'><url>http://x/y</url></x></message>",
         "http://x/y\r\nsee", "bob@localhost", nullptr},
        {"an invitation is dropped",
         "<message from='bob@localhost/a'><body>join</body><x xmlns='jabber:x:conference' jid='r@c'/></message>",
         nullptr, nullptr, nullptr},
        {"an error is dropped", "<message from='bob@localhost/a' type='error'><body>x</body></message>", nullptr,
         nullptr, nullptr},
        {"no text, nothing delivered", "<message from='bob@localhost/a'><thread>t</thread></message>", nullptr,
         nullptr, nullptr},
        {"a receipt asked for",
         "<message from='bob@localhost/a' id='r1'><body>r</body><request xmlns='urn:xmpp:receipts'/></message>", "r",
         "bob@localhost",
         "<message to='bob@localhost/a'><received xmlns='urn:xmpp:receipts' id='r1'/></message>"},
        {"a delivered notice asked for",
         "<message from='bob@localhost/a' id='m2'><body>d</body><x xmlns='jabber:x:event'><delivered/><composing/>"
         "</x></message>",
         "d", "bob@localhost",
         "<message to='bob@localhost/a'><x xmlns='jabber:x:event'><delivered/><id>m2</id></x></message>"},
        {"a redirection from anyone but our server is not believed",
         "<message from='bob@localhost/a'><body>hi</body><addresses xmlns='http://jabber.org/protocol/address'>"
         "<address type='ofrom' jid='carol@localhost'/></addresses></message>",
         "hi", "bob@localhost", nullptr},
        {"our server's redirection",
         "<message from='localhost'><body>hi</body><addresses xmlns='http://jabber.org/protocol/address'>"
         "<address type='ofrom' jid='carol@localhost'/></addresses></message>",
         "Message redirected from: localhost\r\nhi", "carol@localhost", nullptr},
        {"an account notice from a stranger is only a message",
         "<message from='mallory@localhost'><x xmlns='zel:x:gotaccount'/></message>", nullptr, nullptr, nullptr},
        {"in-band data is no message",
         "<message from='bob@localhost/a'><body>x</body><data xmlns='http://jabber.org/protocol/ibb' sid='s' "
         "seq='0'>QQ==</data></message>",
         nullptr, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        session.events.Clear();
        session.ServerSends(c.stanza);
        std::vector<ContactListEvents::Event> got = session.events.Events(CLE_INCOMING_MESSAGE);
        if (!c.delivered) {
            EXPECT_TRUE(got.empty());
        } else {
            ASSERT_TRUE(session.events.WaitFor(CLE_INCOMING_MESSAGE));
            got = session.events.Events(CLE_INCOMING_MESSAGE);
            ASSERT_EQ(got.size(), 1u);
            EXPECT_EQ(Narrow(got[0].message.text), c.delivered);
            EXPECT_EQ(got[0].message.kind, -1);
            EXPECT_EQ(got[0].id, session.Contact(c.under));
        }
        if (c.reply) EXPECT_EQ(session.SentWith(c.reply).size(), 1u) << ::testing::PrintToString(session.SentWith("<message"));
    }
    EXPECT_TRUE(session.SentWith("type='subscribed'").empty());

    // Typing, from chat states and from "jabber:x:event" notices without a body.
    struct Typing {
        const char* stanza;
        int flag;
    } typing[] = {
        {"<message from='bob@localhost/a'><composing xmlns='http://jabber.org/protocol/chatstates'/></message>", 0},
        {"<message from='bob@localhost/a'><paused xmlns='http://jabber.org/protocol/chatstates'/></message>", 1},
        {"<message from='bob@localhost/a'><x xmlns='jabber:x:event'><composing/><id>m2</id></x></message>", 0},
        {"<message from='bob@localhost/a'><x xmlns='jabber:x:event'><id>m2</id></x></message>", 1},
    };
    for (const Typing& t : typing) {
        SCOPED_TRACE(t.stanza);
        session.events.Clear();
        session.ServerSends(t.stanza);
        ASSERT_TRUE(session.events.WaitFor(CLE_TYPING, bob));
        EXPECT_EQ(session.events.Events(CLE_TYPING).back().value, t.flag);
    }
}

// Outgoing messages go to the best resource asking for event notices; a "delivered" notice with
// our own id, and only that, acknowledges the message.
TEST_F(PresenceMessagesTest, OutgoingMessagesAndTheirAcknowledgement)
{
    ASSERT_TRUE(plugin.Loaded());
    RosterSession session;
    unsigned id = session.Create();
    ASSERT_TRUE(session.SignIn(kBob));
    session.ServerSends("<presence from='bob@localhost/low'><priority>200</priority></presence>"
                        "<presence from='bob@localhost/high'><priority>3</priority></presence>");
    const int bob = session.Contact("bob@localhost");
    ASSERT_NE(bob, 0);

    std::wstring text = L"a<&>b \x043f\x0440\x0438\x0432\x0435\x0442 ";
    while (text.size() < 4000) text += L'x';
    MessageRecord message;
    message.contactId = bob;
    message.messageNumber = 77;
    message.text = CZELString(text.c_str());
    session.host.manager->SendInstantMessage(id, message, true);
    session.Settle();
    std::vector<std::string> sent = session.SentWith("<message type='chat'");
    ASSERT_EQ(sent.size(), 1u);
    const std::string body = "<body>a&lt;&amp;&gt;b \xd0\xbf\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82 " +
                             std::string(4000 - 13, 'x') + "</body>";
    EXPECT_NE(sent[0].find(body), std::string::npos);
    const size_t idAt = sent[0].find(" id='zel_");
    ASSERT_NE(idAt, std::string::npos) << sent[0];
    const std::string ownId = sent[0].substr(idAt + 5, sent[0].find('\'', idAt + 5) - idAt - 5);
    EXPECT_NE(sent[0].find(" to='bob@localhost/high'"), std::string::npos) << sent[0];
    EXPECT_NE(sent[0].find("<x xmlns='jabber:x:event'><composing/><delivered/><offline/></x></message>"),
              std::string::npos) << sent[0];

    struct Ack {
        std::string id;
        bool acknowledged;
    } acks[] = {{"ZEL" + ownId.substr(3), false}, {ownId.substr(4), false}, {"zel_x", false}, {ownId, true},
                {ownId, false}};
    for (const Ack& ack : acks) {
        SCOPED_TRACE(ack.id);
        session.events.Clear();
        session.ServerSends("<message from='bob@localhost/high'><x xmlns='jabber:x:event'><delivered/><id>" + ack.id +
                            "</id></x></message>");
        if (ack.acknowledged) {
            ASSERT_TRUE(session.events.WaitFor(CLE_MESSAGE_ACK, bob));
            EXPECT_EQ(session.events.Events(CLE_MESSAGE_ACK)[0].value, 77);
        } else {
            EXPECT_TRUE(session.events.Events(CLE_MESSAGE_ACK).empty());
        }
    }

    // A message from the other resource steers the next reply to it.
    session.ServerSends("<message from='bob@localhost/low'><body>here</body></message>");
    session.host.manager->SendInstantMessage(id, message, true);
    session.Settle();
    sent = session.SentWith("<message type='chat'");
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_NE(sent[1].find(" to='bob@localhost/low'"), std::string::npos) << sent[1];
}

// Messages never acknowledged are not remembered for ever: past a thousand awaited, the oldest is
// forgotten, and a late notice for it acknowledges nothing; the ones kept are still acknowledged.
TEST_F(PresenceMessagesTest, OnlyTheLatestThousandMessagesAwaitTheirAcknowledgement)
{
    ASSERT_TRUE(plugin.Loaded());
    RosterSession session;
    unsigned id = session.Create();
    ASSERT_TRUE(session.SignIn(kBob));
    const int bob = session.Contact("bob@localhost");
    ASSERT_NE(bob, 0);

    MessageRecord message;
    message.contactId = bob;
    message.text = CZELString(L"hello");
    for (int number = 1; number <= 1001; ++number) {
        message.messageNumber = number;
        session.host.manager->SendInstantMessage(id, message, true);
    }
    session.Settle();
    const std::vector<std::string> sent = session.SentWith("<message type='chat'");
    ASSERT_EQ(sent.size(), 1001u);
    auto idOf = [](const std::string& stanza) {
        const size_t at = stanza.find(" id='") + 5;
        return stanza.substr(at, stanza.find('\'', at) - at);
    };

    struct Notice {
        size_t message;  // index into sent
        int acknowledged;  // the number acknowledged, 0 for none
    } notices[] = {{0, 0}, {1, 2}, {1000, 1001}, {500, 501}};
    for (const Notice& notice : notices) {
        SCOPED_TRACE(notice.message);
        session.events.Clear();
        session.ServerSends("<message from='bob@localhost'><x xmlns='jabber:x:event'><delivered/><id>" +
                            idOf(sent[notice.message]) + "</id></x></message>");
        if (notice.acknowledged) {
            ASSERT_TRUE(session.events.WaitFor(CLE_MESSAGE_ACK, bob));
            EXPECT_EQ(session.events.Events(CLE_MESSAGE_ACK)[0].value, notice.acknowledged);
        } else {
            EXPECT_TRUE(session.events.Events(CLE_MESSAGE_ACK).empty());
        }
    }
}

// A sender outside the roster: dropped, leaving no contact, when such messages are not accepted;
// asked the question when the filter is on; kept at the top level once it passes.
TEST_F(PresenceMessagesTest, StrangersMeetTheAntiSpamSettings)
{
    ASSERT_TRUE(plugin.Loaded());
    RosterSession session;
    session.Create();
    ASSERT_TRUE(session.SignIn(kBob));
    CContactListData& list = *session.host.contactList;

    list.SetAntispamMsgsFromNIL(false);
    session.ServerSends("<message from='eve@localhost/x'><body>buy now</body></message>");
    EXPECT_TRUE(session.events.Events(CLE_INCOMING_MESSAGE).empty());
    EXPECT_EQ(session.Contact("eve@localhost"), 0);

    list.SetAntispamMsgsFromNIL(true);
    list.SetAntispamEnable(true);
    list.SetAntispamQuestion(CZELString(L"2+2?"));
    list.SetAntispamAnswer(CZELString(L"4"));
    list.SetAntispamConfirm(CZELString(L"thanks"));
    session.ServerSends("<message from='frank@localhost/x'><body>hello</body></message>");
    EXPECT_TRUE(TestSupport::WaitUntil([&] { return !session.SentWith("<body>2+2?</body>").empty(); }, 5000));
    EXPECT_NE(session.SentWith("<body>2+2?</body>")[0].find("to='frank@localhost"), std::string::npos);
    session.ServerSends("<message from='frank@localhost/x'><body>4</body></message>");
    session.Settle();
    EXPECT_TRUE(session.events.Events(CLE_INCOMING_MESSAGE).empty());
    session.ServerSends("<message from='frank@localhost/x'><body>now?</body></message>");
    ASSERT_TRUE(session.events.WaitFor(CLE_INCOMING_MESSAGE));
    EXPECT_EQ(Narrow(session.events.Events(CLE_INCOMING_MESSAGE)[0].message.text), "now?");
    const JabberTest::ContactListEvents::Event delivered = session.events.Events(CLE_INCOMING_MESSAGE)[0];
    EXPECT_EQ(delivered.id, session.Contact("frank@localhost"));
    EXPECT_EQ(list.IsTempContact(int(delivered.id)), 0);
    EXPECT_EQ(list.GetContactGroup(int(delivered.id)), 0);
}

}  // namespace

namespace {

// The pictures a contact shows: the kind's status picture with the status's overlay, the kind's
// "not in list" picture outside the groups, and the not-authorised mark until a subscription to the
// contact stands.
TEST_F(PresenceMessagesTest, ContactIconsByStatusGroupAndSubscription)
{
    ASSERT_TRUE(plugin.Loaded());
    RosterSession session;
    session.Create();
    ASSERT_TRUE(session.SignIn(std::string(kBob) + "<item jid='carol@localhost' name='Carol' subscription='from'/>"));
    CSkinImages& skin = *session.host.skinImages;
    auto image = [&](const wchar_t* name) {
        const int index = skin.AcquireImage(CZELString(name));
        skin.ReleaseImage(index);
        return index;
    };
    auto kinds = [](const StatusInfo& info) {
        std::vector<int> out;
        for (int i = 0; i < info.kinds.GetCount(); ++i) out.push_back(info.kinds[i]);
        return out;
    };
    const int bob = session.Contact("bob@localhost"), carol = session.Contact("carol@localhost");
    struct Case {
        const char* presence;
        std::vector<int> expected;
    } cases[] = {
        {"<presence from='bob@localhost/a' type='unavailable'/>", {image(L"goxxmpp_stoffline.png")}},
        {"<presence from='bob@localhost/a'/>", {image(L"goxxmpp_stonline.png")}},
        {"<presence from='bob@localhost/a'><show>away</show></presence>",
         {image(L"goxxmpp_stonline.png"), image(L"zel_staway.png")}},
        {"<presence from='bob@localhost/a'><show>dnd</show><x xmlns='zel:x:status' value='8'/></presence>",
         {image(L"goxxmpp_stonline.png"), image(L"zel_stoccupied.png")}},
        {"<presence from='bob@localhost/a'><show>chat</show></presence>",
         {image(L"goxxmpp_stonline.png"), image(L"zel_stfreeforchat.png")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.presence);
        session.ServerSends(c.presence);
        StatusInfo info = session.Icons(bob);
        EXPECT_EQ(kinds(info), c.expected);
        EXPECT_EQ(info.images.GetCount(), 0);
    }
    StatusInfo marked = session.Icons(carol);
    ASSERT_EQ(marked.images.GetCount(), 1);
    EXPECT_EQ(marked.images[0], image(L"proto_authrequired.png"));

    session.ServerSends("<message from='eve@localhost/x'><body>hi</body></message>");
    const int eve = session.Contact("eve@localhost");
    ASSERT_NE(eve, 0);
    EXPECT_EQ(kinds(session.Icons(eve)), std::vector<int>{image(L"goxxmpp_stnotinlist.png")});
}

}  // namespace
