// vCards and received files against a real ejabberd (mod_vcard) and a second party on it
// (peers/xmpp_transfer_party.py, Debian's python3-slixmpp), through the program's bus, protocols manager,
// contact list and connection service: the own vCard published and read back on both sides, the
// party's vCard in the contact's properties, and files offered by stream initiation and sent over
// in-band bytestreams landing in the history folder.
#include "Zel/net/tests/PeerSupport.h"

#include "Jabber/tests/ExtrasTestSupport.h"
#include "Jabber/tests/StanzaText.h"

#include "Jabber/account/VCardFields.h"

#include <gtest/gtest.h>

#include <map>

#ifndef JABBER_TEST_PEERS_DIR
#error "JABBER_TEST_PEERS_DIR: the Unix folder of the second party's script"
#endif

namespace {

using JabberTest::Host;
using JabberTest::PluginLibrary;
using namespace VCardKeys;

struct ExtrasPeers {
    PeerTest::LinuxPeer server;
    std::string failures;

    ExtrasPeers()
    {
        if (!server.Start("ejabberd", {"admin-extra", "user=alice:alicepw", "user=bob:bobpw",
                                              "ctl=add_rosteritem alice localhost bob localhost Bob Friends both"})) failures = server.Failure();
    }
};

// The stored values of one side, as texts and numbers.
class ValuesOf : public VCardValues {
public:
    explicit ValuesOf(std::function<bool(const wchar_t*, CZELString&)> read) : read(std::move(read)) {}
    bool GetString(const wchar_t* key, CZELString& out) override { return read(key, out); }
    void SetString(const wchar_t*, const CZELString&) override {}
    bool GetNumber(const wchar_t*, int, int&) override { return false; }
    void SetNumber(const wchar_t*, int, int) override {}

private:
    std::function<bool(const wchar_t*, CZELString&)> read;
};

using Memory = JabberTest::VCardMemory;

class EjabberdExtrasTest : public PeerTest::SharedPeers<ExtrasPeers> {
protected:
    EjabberdExtrasTest() : host(bus) { plugin.SetTimings(300, 0); }
    ~EjabberdExtrasTest() override { plugin.SetTimings(15000, 60000); }

    // Alice on line through the program; 0 when she did not get there.
    unsigned AliceOnline()
    {
        if (!plugin.Loaded() || !details.Loaded()) return 0;
        unsigned id = host.CreateAccount(GUID_XMPP_PROTOCOL);
        host.Configure(id, L"alice", L"alicepw", peers->server.Port());
        host.SetStatus(id, AccountStatus::Online);
        if (!host.WaitForStatuses(id, {AccountStatus::Connecting, AccountStatus::Online}, 30000)) return 0;
        host.Settle(id);
        return id;
    }

    // Runs the second party as bob with arguments until it ends; its output.
    std::string Party(const std::vector<std::string>& arguments)
    {
        return JabberTest::RunParty(peers->server.Port(), arguments);
    }

    // Waits for the n-th event of code about account id.
    bool WaitEvents(unsigned id, int code, size_t n)
    {
        return TestSupport::WaitUntil([&] { return host.EventsOf(id, code).size() >= n; }, 20000);
    }

    PluginLibrary plugin;
    JabberTest::DetailsHook details;
    Services::CServicesManager bus;
    Host host;
};

// The vCard the party printed ("EVENT vcard <Base64 of the element>"), read into values.
bool PartyVCard(const std::string& output, Memory& values)
{
    const std::string mark = "EVENT vcard ";
    const size_t at = output.find(mark);
    if (at == std::string::npos) return false;
    const size_t end = output.find('\n', at);
    std::unique_ptr<XmlElement> vcard =
        JabberTest::ParseStanza(Sasl::Base64Decode(output.substr(at + mark.size(), end - at - mark.size())));
    if (!vcard) return false;
    FillVCardValues(*vcard, values);
    return true;
}

TEST_F(EjabberdExtrasTest, OwnVCardReadsBackEqualThereAndHere)
{
    const unsigned id = AliceOnline();
    ASSERT_NE(id, 0u) << ::testing::PrintToString(host.Statuses(id));
    const wchar_t* const keys[] = {DisplayName, FirstName,   LastName,   MiddleName,     NickName,     HomePage,
                                   HomeCountry, HomeState,   HomeCity,   HomeAddress,    HomeZip,      HomeEmail,
                                   WorkCountry, WorkState,   WorkCity,   WorkAddress,    WorkZip,      WorkEmail,
                                   WorkCompany, WorkDepartment, WorkPosition, WorkRole, HomePhone,   HomeFax,
                                   CellPhone,   WorkPhone,   WorkFax};
    std::map<std::wstring, std::wstring> set;
    int n = 0;
    for (const wchar_t* key : keys) set[key] = L"v" + std::to_wstring(++n) + L" Tom & \"Jerry\" <x> \x0444\x00e9";
    set[HomeAddress] = L"Main street 1, flat 2";
    set[About] = L"first line\r\nsecond line";
    set[Gender] = L"Female";
    for (const auto& entry : set) host.SetString(id, entry.first.c_str(), entry.second);
    const short year = 1980;
    const char month = 2, day = 29;
    host.manager->SetAccountShort(id, CZELString(BirthYear), &year);
    host.manager->SetAccountByte(id, CZELString(BirthMonth), &month);
    host.manager->SetAccountByte(id, CZELString(BirthDay), &day);
    ASSERT_TRUE(details.Publish(id));

    // Here: asked back after the publication (the account and the server keep the order), every
    // key as it was; a value changed here since comes back as published.
    ASSERT_TRUE(details.Request(id, L"alice@localhost"));
    ASSERT_TRUE(WaitEvents(id, PMEV_DETAILS_RECEIVED, 1));
    host.SetString(id, NickName, L"changed meanwhile");
    host.SetString(id, PrefixName, L"not in any vCard");
    ASSERT_TRUE(details.Request(id, L"alice@localhost"));
    ASSERT_TRUE(WaitEvents(id, PMEV_DETAILS_RECEIVED, 2));
    CZELString prefix;
    EXPECT_TRUE(host.manager->GetAccountString(id, CZELString(PrefixName), prefix, 0));
    EXPECT_EQ(PluginTree::Wide(prefix), L"");
    for (const auto& entry : set) {
        CZELString value;
        ASSERT_TRUE(host.manager->GetAccountString(id, CZELString(entry.first.c_str()), value, 0));
        EXPECT_EQ(PluginTree::Wide(value), entry.second) << std::string(entry.first.begin(), entry.first.end());
    }
    short gotYear = 0;
    char gotMonth = 0, gotDay = 0;
    EXPECT_TRUE(host.manager->GetAccountShort(id, CZELString(BirthYear), &gotYear));
    EXPECT_TRUE(host.manager->GetAccountByte(id, CZELString(BirthMonth), &gotMonth));
    EXPECT_TRUE(host.manager->GetAccountByte(id, CZELString(BirthDay), &gotDay));
    EXPECT_EQ(gotYear, year);
    EXPECT_EQ(gotMonth, month);
    EXPECT_EQ(gotDay, day);

    // There: the party reads the same vCard from the server.
    const std::string output = Party({"--fetch-vcard", "alice@localhost"});
    Memory there;
    ASSERT_TRUE(PartyVCard(output, there)) << output;
    // XML carries line ends as line feeds; the about text read back gets its carriage returns again.
    EXPECT_EQ(there.texts, set);
    EXPECT_EQ(there.numbers[BirthYear], 1980);
    EXPECT_EQ(there.numbers[BirthMonth], 2);
    EXPECT_EQ(there.numbers[BirthDay], 29);
}

TEST_F(EjabberdExtrasTest, ThePartysVCardFillsTheContactsProperties)
{
    const std::string card =
        "<vCard xmlns='vcard-temp'><FN>Bob Party</FN><NICKNAME>bobby</NICKNAME><N><GIVEN>Bob</GIVEN><FAMILY>Party</FAMILY>"
        "</N><BDAY>1990-07-04</BDAY><TEL><CELL/><NUMBER>+7 900</NUMBER></TEL><EMAIL><INTERNET/><WORK/><USERID>bob@work.example"
        "</USERID></EMAIL><ADR><HOME/><LOCALITY>Town &amp; Co</LOCALITY><CTRY>XY</CTRY></ADR><DESC>one\ntwo</DESC></vCard>";
    const std::string published = Party({"--publish-vcard", card});
    ASSERT_NE(published.find("EVENT vcard_published result"), std::string::npos) << published;

    const unsigned id = AliceOnline();
    ASSERT_NE(id, 0u);
    const int bob = JabberTest::WaitForListedContact(host, id, L"bob@localhost");
    ASSERT_NE(bob, 0);
    ASSERT_TRUE(details.Request(id, L"bob@localhost"));
    ASSERT_TRUE(WaitEvents(id, PMEV_DETAILS_NOTIFY, 1));
    EXPECT_EQ(host.EventsOf(id, PMEV_DETAILS_NOTIFY)[0].v2, bob);
    const std::map<std::wstring, std::wstring> expected = {
        {DisplayName, L"Bob Party"}, {NickName, L"bobby"},      {FirstName, L"Bob"},
        {LastName, L"Party"},        {CellPhone, L"+7 900"},    {WorkEmail, L"bob@work.example"},
        {HomeCity, L"Town & Co"},    {HomeCountry, L"XY"},      {About, L"one\r\ntwo"},
        {HomePhone, L""},            {WorkRole, L""},
    };
    for (const auto& entry : expected) {
        // The contact list keeps no empty text: a cleared key reads as absent.
        CZELString value;
        EXPECT_EQ(host.contactList->GetPropertyString(bob, CZELString(entry.first.c_str()), value), !entry.second.empty());
        EXPECT_EQ(PluginTree::Wide(value), entry.second) << std::string(entry.first.begin(), entry.first.end());
    }
    short year = 0;
    EXPECT_TRUE(host.contactList->GetPropertyShort(bob, CZELString(BirthYear), &year));
    EXPECT_EQ(year, 1990);
    EXPECT_TRUE(host.EventsOf(id, PMEV_DETAILS_RECEIVED).empty());
}

// Two files offered at once, one of 100 KB, arrive whole and apart in the history folder.
TEST_F(EjabberdExtrasTest, FilesOverStreamInitiationAndInBandBytestreams)
{
    const unsigned id = AliceOnline();
    ASSERT_NE(id, 0u);
    ASSERT_NE(JabberTest::WaitForListedContact(host, id, L"bob@localhost"), 0);
    const std::string big = JabberTest::Pattern(100 * 1024, 7), small = JabberTest::Pattern(70 * 1024 + 13, 8);
    const std::string dir = PeerTest::PeersRunDir();
    const std::string tag = std::to_string(GetCurrentProcessId());
    const std::string bigPath = dir + "/big-" + tag + ".bin", smallPath = dir + "/small-" + tag + ".bin";
    ASSERT_TRUE(PeerTest::WriteTextFile(bigPath, big));
    ASSERT_TRUE(PeerTest::WriteTextFile(smallPath, small));

    const std::string to = "alice@localhost/ZEL PDA";
    const std::string output = Party({"--send-file", to, bigPath, "--send-file", to, smallPath});
    EXPECT_NE(output.find("EVENT file_sent big-" + tag + ".bin " + std::to_string(big.size())), std::string::npos) << output;
    EXPECT_NE(output.find("EVENT file_sent small-" + tag + ".bin " + std::to_string(small.size())), std::string::npos)
        << output;
    EXPECT_NE(output.find("si_accepted big-" + tag + ".bin http://jabber.org/protocol/ibb"), std::string::npos) << output;

    const std::wstring history = PluginTree::Wide(host.HistoryFolder());
    const std::wstring wideTag(tag.begin(), tag.end());
    EXPECT_TRUE(TestSupport::WaitUntil([&] { return JabberTest::ReadAll(history + L"big-" + wideTag + L".bin") == big; }, 20000));
    EXPECT_TRUE(
        TestSupport::WaitUntil([&] { return JabberTest::ReadAll(history + L"small-" + wideTag + L".bin") == small; }, 20000));
    DeleteFileW(PeerTest::DosPath(bigPath).c_str());
    DeleteFileW(PeerTest::DosPath(smallPath).c_str());
}

}  // namespace
