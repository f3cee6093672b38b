// Jabber.dll against the scripted server, for what a real server never sends or what must be exact:
// mail notices (from the own server, from strangers, with notices off), vCard replies of each type,
// and received files with every kind of bad block, a hostile name and two files at once.
#include "Jabber/tests/FakeServerTransports.h"

#include "Jabber/tests/ExtrasTestSupport.h"

#include <gtest/gtest.h>

namespace {

using JabberTest::FakeXmppServer;
using JabberTest::Host;
using JabberTest::PluginLibrary;
using JabberTest::ServerScript;
using JabberTest::TcpFakeServer;

const char kClient[] = " to='alice@localhost/ZEL PDA'";

std::string B64(const std::string& bytes)
{
    return Sasl::Base64Encode(bytes);
}

class ExtrasFakeServerTest : public ::testing::Test {
protected:
    ExtrasFakeServerTest() : host(bus), server({ServerScript()}) { plugin.SetTimings(300, 0); }
    ~ExtrasFakeServerTest() override { plugin.SetTimings(15000, 60000); }

    // The account on line with the server; false when it did not get there.
    bool Online()
    {
        if (!plugin.Loaded() || !details.Loaded()) return false;
        id = host.CreateAccount(GUID_XMPP_PROTOCOL);
        host.Configure(id, L"alice", L"alicepw", server.Port());
        host.SetStatus(id, AccountStatus::Online);
        TestSupport::WaitUntil([&] { return (session = server.Session(0)) && session->Online(); }, 20000);
        if (!session || !session->Online()) return false;
        // The roster's answer is merged before the test lists contacts of its own, which the merge
        // would otherwise drop as gone from the roster.
        Barrier();
        return true;
    }

    void Send(const std::string& text) { server.Send(0, text); }

    // The client's stanza carrying id='iqId', once it came; empty when none came in time.
    std::string AnswerTo(const std::string& iqId, DWORD milliseconds = 10000)
    {
        const std::string tag = " id='" + iqId + "'";
        std::string found;
        TestSupport::WaitUntil(
            [&] {
                std::vector<std::string> sent = session->SentWith(tag);
                if (sent.empty()) return false;
                found = sent.back();
                return true;
            },
            milliseconds);
        return found;
    }

    // Everything sent before it has been handled once the client answers a ping sent after it.
    void Barrier()
    {
        const std::string mark = "mark" + std::to_string(++marks);
        Send("<iq type='get' from='localhost' id='" + mark + "'><ping xmlns='urn:xmpp:ping'/></iq>");
        EXPECT_FALSE(AnswerTo(mark).empty());
        host.Settle(id);
    }

    std::vector<JabberTest::Event> Events(int code) { return host.EventsOf(id, code); }

    std::wstring History() { return PluginTree::Wide(host.HistoryFolder()); }

    PluginLibrary plugin;
    JabberTest::DetailsHook details;
    Services::CServicesManager bus;
    Host host;
    TcpFakeServer server;
    std::shared_ptr<FakeXmppServer> session;
    unsigned id = 0;
    int marks = 0;
};

std::string MailPresence(const std::string& fromAttribute, const std::string& subject)
{
    return "<presence" + fromAttribute + "><x xmlns='zel:mail:notify'><message><senders>"
           "<sender address='bob@mail.example'/></senders><subject>" + subject + "</subject></message></x></presence>";
}

TEST_F(ExtrasFakeServerTest, MailNoticesOnlyFromTheOwnServerAndOnlyWhenWanted)
{
    ASSERT_TRUE(Online()) << ::testing::PrintToString(host.Statuses(id));
    Send(MailPresence(" from='localhost'", "one"));
    Send(MailPresence(" from='bob@localhost/pc'", "stranger"));
    Send(MailPresence(" from='localhost.evil.example'", "look-alike"));
    Send(MailPresence(" from='LOCALHOST/resource'", "two"));
    Send(MailPresence("", "three"));
    Barrier();
    std::vector<JabberTest::Event> notices = Events(PMEV_SHOW_TITLED_TEXT);
    ASSERT_EQ(notices.size(), 3u);
    const char* subjects[] = {"one", "two", "three"};
    for (size_t i = 0; i < notices.size(); ++i) {
        EXPECT_EQ(notices[i].p2Kind, "pair");
        EXPECT_EQ(notices[i].text, L"Acc.: alice\r\nE-mail received\r\nFrom: bob@mail.example\r\nSubject: " +
                                       std::wstring(subjects[i], subjects[i] + strlen(subjects[i])));
        EXPECT_NE(notices[i].link.find(L"/reg/test?user=alice%40localhost&hash="), std::wstring::npos);
    }

    host.SetByte(id, L"EmailNotify", 0);
    Send(MailPresence(" from='localhost'", "off"));
    Barrier();
    EXPECT_EQ(Events(PMEV_SHOW_TITLED_TEXT).size(), 3u);
    host.SetByte(id, L"EmailNotify", 1);
    Send(MailPresence(" from='localhost'", "on again"));
    Barrier();
    EXPECT_EQ(Events(PMEV_SHOW_TITLED_TEXT).size(), 4u);
}

// The own vCard's reply: an error leaves the stored details alone; a result replaces them all and
// tells the program. A contact's reply fills that contact's properties.
TEST_F(ExtrasFakeServerTest, VCardRepliesFillOnlyWhenTheyAreResults)
{
    ASSERT_TRUE(Online()) << ::testing::PrintToString(host.Statuses(id));
    host.SetString(id, L"Jabber: nick name", L"kept");
    host.SetString(id, L"Jabber: work role", L"kept role");
    const int bob = JabberTest::AddListedContact(host, id, L"bob@localhost");
    ASSERT_NE(bob, 0);

    ASSERT_TRUE(details.Request(id, L"alice@localhost"));
    std::string asked;
    TestSupport::WaitUntil([&] { return !(asked = JabberTest::IdOfLast(session->Sent(), "vcard-temp")).empty(); }, 10000);
    ASSERT_FALSE(asked.empty());
    const std::string request = session->SentWith("id='" + asked + "'").at(0);
    EXPECT_NE(request.find("type='get' to='alice@localhost'"), std::string::npos) << request;
    EXPECT_NE(request.find("<vCard xmlns='vcard-temp' prodid='"), std::string::npos) << request;
    EXPECT_NE(request.find("version='2.0'/>"), std::string::npos) << request;
    Send("<iq type='error' from='alice@localhost' id='" + asked + "'><vCard xmlns='vcard-temp'/>"
         "<error type='cancel'><item-not-found xmlns='urn:ietf:params:xml:ns:xmpp-stanzas'/></error></iq>");
    Barrier();
    CZELString value;
    IProtocolsManager& manager = *host.manager;
    ASSERT_TRUE(manager.GetAccountString(id, CZELString(L"Jabber: nick name"), value, 0));
    EXPECT_EQ(PluginTree::Wide(value), L"kept");
    EXPECT_TRUE(Events(PMEV_DETAILS_RECEIVED).empty());

    // The same answer from a stranger is nobody's: the request stays open for the real one.
    ASSERT_TRUE(details.Request(id, L"alice@localhost"));
    std::string again;
    TestSupport::WaitUntil([&] { return (again = JabberTest::IdOfLast(session->Sent(), "vcard-temp")) != asked; }, 10000);
    ASSERT_NE(again, asked);
    Send("<iq type='result' from='mallory@localhost' id='" + again + "'><vCard xmlns='vcard-temp'><NICKNAME>evil</NICKNAME></vCard></iq>");
    Send("<iq type='result' from='alice@localhost' id='" + again + "'><vCard xmlns='vcard-temp'>"
         "<NICKNAME>Al &amp; Ice</NICKNAME><BDAY>1980-01-05</BDAY></vCard></iq>");
    Barrier();
    ASSERT_TRUE(manager.GetAccountString(id, CZELString(L"Jabber: nick name"), value, 0));
    EXPECT_EQ(PluginTree::Wide(value), L"Al & Ice");
    ASSERT_TRUE(manager.GetAccountString(id, CZELString(L"Jabber: work role"), value, 0));
    EXPECT_EQ(PluginTree::Wide(value), L"");
    short year = 0;
    ASSERT_TRUE(manager.GetAccountShort(id, CZELString(L"Jabber: birth year"), &year));
    EXPECT_EQ(year, 1980);
    EXPECT_EQ(Events(PMEV_DETAILS_RECEIVED).size(), 1u);

    ASSERT_TRUE(details.Request(id, L"bob@localhost"));
    std::string bobAsked;
    TestSupport::WaitUntil([&] { return !(bobAsked = JabberTest::IdOfLast(session->Sent(), "to='bob@localhost'")).empty(); },
                           10000);
    ASSERT_FALSE(bobAsked.empty());
    Send("<iq type='result' from='bob@localhost' id='" + bobAsked + "'><vCard xmlns='vcard-temp'>"
         "<FN>Bob B</FN><TEL><CELL/><NUMBER>+1 555</NUMBER></TEL></vCard></iq>");
    Barrier();
    ASSERT_TRUE(host.contactList->GetPropertyString(bob, CZELString(L"Jabber: display name"), value));
    EXPECT_EQ(PluginTree::Wide(value), L"Bob B");
    ASSERT_TRUE(host.contactList->GetPropertyString(bob, CZELString(L"Jabber: cell phone"), value));
    EXPECT_EQ(PluginTree::Wide(value), L"+1 555");
    std::vector<JabberTest::Event> changed = Events(PMEV_DETAILS_NOTIFY);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].v2, bob);

    // The server answers for the own account without a "from".
    ASSERT_TRUE(details.Request(id, L"alice@localhost"));
    std::string third;
    TestSupport::WaitUntil([&] { return (third = JabberTest::IdOfLast(session->Sent(), "to='alice@localhost'")) != again; },
                           10000);
    ASSERT_NE(third, again);
    Send("<iq type='result' id='" + third + "'><vCard xmlns='vcard-temp'><NICKNAME>no from</NICKNAME></vCard></iq>");
    Barrier();
    ASSERT_TRUE(manager.GetAccountString(id, CZELString(L"Jabber: nick name"), value, 0));
    EXPECT_EQ(PluginTree::Wide(value), L"no from");
    EXPECT_EQ(Events(PMEV_DETAILS_RECEIVED).size(), 2u);
}

// The own JID in the own contact list: its vCard fills both the own values and the contact, and
// both are told.
TEST_F(ExtrasFakeServerTest, OwnVCardOfAListedOwnJidFillsBoth)
{
    ASSERT_TRUE(Online()) << ::testing::PrintToString(host.Statuses(id));
    const int self = JabberTest::AddListedContact(host, id, L"Alice@LocalHost");
    ASSERT_NE(self, 0);
    ASSERT_TRUE(details.Request(id, L"alice@localhost"));
    std::string asked;
    TestSupport::WaitUntil([&] { return !(asked = JabberTest::IdOfLast(session->Sent(), "vcard-temp")).empty(); }, 10000);
    ASSERT_FALSE(asked.empty());
    Send("<iq type='result' from='alice@localhost/ZEL PDA' id='" + asked + "'><vCard xmlns='vcard-temp'><FN>Me</FN></vCard></iq>");
    Barrier();
    CZELString value;
    ASSERT_TRUE(host.manager->GetAccountString(id, CZELString(L"Jabber: display name"), value, 0));
    EXPECT_EQ(PluginTree::Wide(value), L"Me");
    ASSERT_TRUE(host.contactList->GetPropertyString(self, CZELString(L"Jabber: display name"), value));
    EXPECT_EQ(PluginTree::Wide(value), L"Me");
    EXPECT_EQ(Events(PMEV_DETAILS_RECEIVED).size(), 1u);
    ASSERT_EQ(Events(PMEV_DETAILS_NOTIFY).size(), 1u);
    EXPECT_EQ(Events(PMEV_DETAILS_NOTIFY)[0].v2, self);
}

std::string OfferStanza(const std::string& from, const std::string& sid, const std::string& name, size_t size,
                        const std::string& methods = "<option><value>http://jabber.org/protocol/ibb</value></option>",
                        const std::string& profile = "http://jabber.org/protocol/si/profile/file-transfer")
{
    return "<iq type='set' from='" + from + "'" + kClient + " id='offer-" + sid + "'><si xmlns='http://jabber.org/protocol/si' id='" +
           sid + "' profile='" + profile + "'><file xmlns='http://jabber.org/protocol/si/profile/file-transfer' name='" +
           name + "' size='" + std::to_string(size) + "'/><feature xmlns='http://jabber.org/protocol/feature-neg'>"
           "<x xmlns='jabber:x:data' type='form'><field var='stream-method' type='list-single'>" + methods +
           "</field></x></feature></si></iq>";
}

std::string IbbIq(const std::string& from, const std::string& iqId, const std::string& body)
{
    return "<iq type='set' from='" + from + "'" + kClient + " id='" + iqId + "'>" + body + "</iq>";
}

std::string Data(const std::string& sid, int seq, const std::string& base64)
{
    return "<data xmlns='http://jabber.org/protocol/ibb' sid='" + sid + "' seq='" + std::to_string(seq) + "'>" + base64 + "</data>";
}

std::vector<std::wstring> FolderNames(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (wcscmp(found.cFileName, L".") && wcscmp(found.cFileName, L"..")) names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

bool IsResult(const std::string& stanza)
{
    return stanza.find("type='result'") != std::string::npos;
}

bool IsItemNotFound(const std::string& stanza)
{
    return stanza.find("type='error'") != std::string::npos && stanza.find("<item-not-found") != std::string::npos;
}

// One file with every kind of block a sender may get wrong; only the good ones land, in order, in
// a file named by the bare offered name inside the history folder.
TEST_F(ExtrasFakeServerTest, HostileBlocksAndNameChangeOnlyWhatTheyMay)
{
    ASSERT_TRUE(Online()) << ::testing::PrintToString(host.Statuses(id));
    ASSERT_NE(JabberTest::AddListedContact(host, id, L"bob@localhost"), 0);
    const std::string bob = "bob@localhost/pc";
    const std::string content = JabberTest::Pattern(3000, 1);
    const std::string part[3] = {content.substr(0, 1000), content.substr(1000, 1000), content.substr(2000)};

    Send(OfferStanza(bob, "s1", "..\\..\\evil.txt", content.size()));
    const std::string accepted = AnswerTo("offer-s1");
    ASSERT_TRUE(IsResult(accepted)) << accepted;
    EXPECT_NE(accepted.find("<value>http://jabber.org/protocol/ibb</value>"), std::string::npos) << accepted;

    struct Step {
        const char* what;
        std::string stanza;
        bool taken;
    } steps[] = {
        {"open", IbbIq(bob, "i1", "<open xmlns='http://jabber.org/protocol/ibb' sid='s1' block-size='4096'/>"), true},
        {"second open", IbbIq(bob, "i2", "<open xmlns='http://jabber.org/protocol/ibb' sid='s1' block-size='4096'/>"), false},
        {"block 0", IbbIq(bob, "d0", Data("s1", 0, B64(part[0]))), true},
        {"block 0 again", IbbIq(bob, "d0b", Data("s1", 0, B64(part[0]))), false},
        {"block 2 first", IbbIq(bob, "d2a", Data("s1", 2, B64(part[2]))), false},
        {"bad Base64", IbbIq(bob, "d1a", Data("s1", 1, "!!" + B64(part[1]))), false},
        {"from another JID", IbbIq("mallory@localhost/pc", "d1b", Data("s1", 1, B64(std::string(1000, 'X')))), false},
        {"from another resource", IbbIq("bob@localhost/other", "d1c", Data("s1", 1, B64(std::string(1000, 'Y')))), false},
        {"unknown stream", IbbIq(bob, "d1d", Data("s9", 1, B64(part[1]))), false},
        {"block 1 resent", IbbIq(bob, "d1", Data("s1", 1, B64(part[1]))), true},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        Send(s.stanza);
        const std::string answer = AnswerTo(JabberTest::IdOfLast({s.stanza}, ""));
        EXPECT_TRUE(s.taken ? IsResult(answer) : IsItemNotFound(answer)) << answer;
    }
    // Block 2 in a message, once from a stranger first; messages get no answer either way.
    Send("<message from='mallory@localhost/pc'" + std::string(kClient) + ">" + Data("s1", 2, B64(std::string(1000, 'Z'))) + "</message>");
    Send("<message from='" + bob + "'" + kClient + ">" + Data("s1", 2, B64(part[2])) + "</message>");
    Send(IbbIq(bob, "c1", "<close xmlns='http://jabber.org/protocol/ibb' sid='s1'/>"));
    EXPECT_TRUE(IsResult(AnswerTo("c1")));
    // Closed: later blocks find no stream.
    Send(IbbIq(bob, "d3", Data("s1", 3, B64("late"))));
    EXPECT_TRUE(IsItemNotFound(AnswerTo("d3")));
    Barrier();

    const std::wstring file = History() + L"evil.txt";
    EXPECT_TRUE(TestSupport::WaitUntil([&] { return JabberTest::ReadAll(file) == content; }, 10000));
    EXPECT_EQ(JabberTest::ReadAll(file).size(), content.size());
    // Nothing was written beside the history folder.
    EXPECT_FALSE(TestSupport::FileExists(host.folder.path + L"evil.txt"));
    EXPECT_EQ(FolderNames(History()), std::vector<std::wstring>{L"evil.txt"});
}

// Two files at once from the same contact under the same name, their blocks interleaved, stay apart.
TEST_F(ExtrasFakeServerTest, TwoTransfersAtOnceStayApart)
{
    ASSERT_TRUE(Online()) << ::testing::PrintToString(host.Statuses(id));
    ASSERT_NE(JabberTest::AddListedContact(host, id, L"bob@localhost"), 0);
    const std::string bob = "bob@localhost/pc";
    const std::string a = JabberTest::Pattern(5000, 2), b = JabberTest::Pattern(4000, 3);
    // The same name for both: each still gets a file of its own.
    Send(OfferStanza(bob, "sa", "same.bin", a.size()));
    Send(OfferStanza(bob, "sb", "same.bin", b.size()));
    ASSERT_TRUE(IsResult(AnswerTo("offer-sa")));
    ASSERT_TRUE(IsResult(AnswerTo("offer-sb")));
    Send(IbbIq(bob, "oa", "<open xmlns='http://jabber.org/protocol/ibb' sid='sa' block-size='1000'/>"));
    Send(IbbIq(bob, "ob", "<open xmlns='http://jabber.org/protocol/ibb' sid='sb' block-size='1000'/>"));
    for (int seq = 0; seq < 5; ++seq) {
        Send(IbbIq(bob, "a" + std::to_string(seq), Data("sa", seq, B64(a.substr(size_t(seq) * 1000, 1000)))));
        if (seq < 4) Send(IbbIq(bob, "b" + std::to_string(seq), Data("sb", seq, B64(b.substr(size_t(seq) * 1000, 1000)))));
    }
    Send(IbbIq(bob, "ca", "<close xmlns='http://jabber.org/protocol/ibb' sid='sa'/>"));
    Send(IbbIq(bob, "cb", "<close xmlns='http://jabber.org/protocol/ibb' sid='sb'/>"));
    EXPECT_TRUE(IsResult(AnswerTo("ca")));
    EXPECT_TRUE(IsResult(AnswerTo("cb")));
    Barrier();
    EXPECT_TRUE(TestSupport::WaitUntil([&] { return JabberTest::ReadAll(History() + L"same.bin") == a; }, 10000));
    EXPECT_TRUE(TestSupport::WaitUntil([&] { return JabberTest::ReadAll(History() + L"same (2).bin") == b; }, 10000));
}

// A sender that closes a stream it never opened ends the transfer without an answer; a refused
// block leaves nothing behind for the program.
TEST_F(ExtrasFakeServerTest, CloseBeforeOpenEndsTheTransferUnanswered)
{
    ASSERT_TRUE(Online()) << ::testing::PrintToString(host.Statuses(id));
    ASSERT_NE(JabberTest::AddListedContact(host, id, L"bob@localhost"), 0);
    const std::string bob = "bob@localhost/pc";
    Send(OfferStanza(bob, "sc", "closed.bin", 10));
    ASSERT_TRUE(IsResult(AnswerTo("offer-sc")));
    Send(IbbIq(bob, "c0", "<close xmlns='http://jabber.org/protocol/ibb' sid='sc'/>"));
    Barrier();
    EXPECT_TRUE(session->SentWith("id='c0'").empty());
    Send(IbbIq(bob, "d0", Data("sc", 0, B64("0123456789"))));
    EXPECT_TRUE(IsItemNotFound(AnswerTo("d0")));
    Send(IbbIq(bob, "o0", "<open xmlns='http://jabber.org/protocol/ibb' sid='sc' block-size='10'/>"));
    EXPECT_TRUE(IsItemNotFound(AnswerTo("o0")));
    Barrier();
    EXPECT_TRUE(FolderNames(History()).empty());
}

// Offers the account does not take: a stranger's gets no answer at all; one without in-band
// streams, one of another profile and a malformed one get their errors.
TEST_F(ExtrasFakeServerTest, OffersThatAreNotTaken)
{
    ASSERT_TRUE(Online()) << ::testing::PrintToString(host.Statuses(id));
    ASSERT_NE(JabberTest::AddListedContact(host, id, L"bob@localhost"), 0);
    Send(OfferStanza("carol@localhost/pc", "st", "x.txt", 10));
    Send(OfferStanza("bob@localhost/pc", "s5", "x.txt", 10,
                     "<option><value>http://jabber.org/protocol/bytestreams</value></option>"));
    Send(OfferStanza("bob@localhost/pc", "sp", "x.txt", 10, "<option><value>http://jabber.org/protocol/ibb</value></option>",
                     "http://example.org/other-profile"));
    Send("<iq type='set' from='bob@localhost/pc'" + std::string(kClient) + " id='offer-bad'><si xmlns='http://jabber.org/protocol/si' id='sbad' "
         "profile='http://jabber.org/protocol/si/profile/file-transfer'><file xmlns='http://jabber.org/protocol/si/profile/file-transfer' "
         "name='x'/></si></iq>");
    Barrier();
    EXPECT_TRUE(session->SentWith("id='offer-st'").empty());
    const std::string noStreams = AnswerTo("offer-s5");
    EXPECT_NE(noStreams.find("<no-valid-streams xmlns='http://jabber.org/protocol/si'/>"), std::string::npos) << noStreams;
    const std::string otherProfile = AnswerTo("offer-sp");
    EXPECT_NE(otherProfile.find("<bad-request xmlns='urn:ietf:params:xml:ns:xmpp-stanzas'/><bad-profile/>"), std::string::npos)
        << otherProfile;
    const std::string malformed = AnswerTo("offer-bad");
    EXPECT_NE(malformed.find("<bad-profile xmlns='http://jabber.org/protocol/si'/>"), std::string::npos) << malformed;
}

}  // namespace
