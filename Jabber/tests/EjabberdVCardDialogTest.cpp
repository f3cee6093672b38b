// The details dialogs against a real ejabberd (mod_vcard, mod_admin_extra) and the second party
// (peers/xmpp_party.py): the own details typed on every pane reach the server once, read back there,
// by the party and by a fresh program folder; a contact's details show the party's vCard, and the
// note on it never leaves this device. A relay in front of the server sees what the program sends.
#include "Zel/net/tests/PeerSupport.h"

#include "Jabber/tests/DetailsDialogDriver.h"
#include "Jabber/tests/ExtrasTestSupport.h"
#include "Jabber/tests/StanzaText.h"
#include "Jabber/tests/XmppRelay.h"

#include "Handheld/tests/DisplayRequirement.h"
#include "ZELCommon/ZELTime.h"

#include <gtest/gtest.h>

#ifndef JABBER_TEST_PEERS_DIR
#error "JABBER_TEST_PEERS_DIR: the Unix folder of the second party's script"
#endif

namespace {

using namespace VCardDialogTest;
using DialogTest::WithDialog;
using JabberTest::Host;
using JabberTest::PluginLibrary;

// A field of the own details: the pane (by a control only it has), the control, the key behind it
// and what the test types (a carriage return types a line break).
struct PaneField {
    int pane, id;
    const wchar_t* key;
    std::wstring typed;
};

// What a typed text is stored as.
std::wstring StoredAs(const std::wstring& typed)
{
    std::wstring out;
    for (wchar_t c : typed) {
        out += c;
        if (c == L'\r') out += L'\n';
    }
    return out;
}

const std::vector<PaneField>& OwnFields()
{
    static const std::vector<PaneField> fields = {
        {IDC_JB_VC_JID_LABEL, IDC_JB_VC_DISPLAY_NAME, DisplayName, L"\x0410\x043b\x0438\x0441\x0430 & Co"},
        {IDC_JB_VC_JID_LABEL, IDC_JB_VC_FIRST_NAME, FirstName, L"\x0410\x043b\x0438\x0441\x0430"},
        {IDC_JB_VC_JID_LABEL, IDC_JB_VC_MIDDLE_NAME, MiddleName, L"\"M\""},
        {IDC_JB_VC_JID_LABEL, IDC_JB_VC_LAST_NAME, LastName, L"Smith & <Sons>"},
        {IDC_JB_VC_HOME_EMAIL, IDC_JB_VC_HOME_COUNTRY, HomeCountry, L"\x0420\x043e\x0441\x0441\x0438\x044f"},
        {IDC_JB_VC_HOME_EMAIL, IDC_JB_VC_HOME_STATE, HomeState, L"Home state"},
        {IDC_JB_VC_HOME_EMAIL, IDC_JB_VC_HOME_CITY, HomeCity, L"Town & Co"},
        {IDC_JB_VC_HOME_EMAIL, IDC_JB_VC_HOME_ZIP, HomeZip, L"101000"},
        {IDC_JB_VC_HOME_EMAIL, IDC_JB_VC_HOME_STREET, HomeAddress, L"Main street 1\rflat 2"},
        {IDC_JB_VC_HOME_EMAIL, IDC_JB_VC_HOME_EMAIL, HomeEmail, L"alice@home.example"},
        {IDC_JB_VC_WORK_EMAIL, IDC_JB_VC_WORK_COUNTRY, WorkCountry, L"Work land"},
        {IDC_JB_VC_WORK_EMAIL, IDC_JB_VC_WORK_STATE, WorkState, L"Work state"},
        {IDC_JB_VC_WORK_EMAIL, IDC_JB_VC_WORK_CITY, WorkCity, L"Work city"},
        {IDC_JB_VC_WORK_EMAIL, IDC_JB_VC_WORK_ZIP, WorkZip, L"20500"},
        {IDC_JB_VC_WORK_EMAIL, IDC_JB_VC_WORK_STREET, WorkAddress, L"Office 5"},
        {IDC_JB_VC_WORK_EMAIL, IDC_JB_VC_WORK_EMAIL, WorkEmail, L"alice@work.example"},
        {IDC_JB_VC_COMPANY, IDC_JB_VC_COMPANY, WorkCompany, L"Acme & Co"},
        {IDC_JB_VC_COMPANY, IDC_JB_VC_DEPARTMENT, WorkDepartment, L"R&D"},
        {IDC_JB_VC_COMPANY, IDC_JB_VC_POSITION, WorkPosition, L"Lead"},
        {IDC_JB_VC_HOME_PHONE, IDC_JB_VC_HOME_PHONE, HomePhone, L"+7 495 1"},
        {IDC_JB_VC_HOME_PHONE, IDC_JB_VC_HOME_FAX, HomeFax, L"+7 495 2"},
        {IDC_JB_VC_HOME_PHONE, IDC_JB_VC_CELL_PHONE, CellPhone, L"+7 900 3"},
        {IDC_JB_VC_HOME_PHONE, IDC_JB_VC_WORK_PHONE, WorkPhone, L"+1 555 4"},
        {IDC_JB_VC_HOME_PHONE, IDC_JB_VC_WORK_FAX, WorkFax, L"+1 555 5"},
        {IDC_JB_VC_BIRTHDAY, IDC_JB_VC_HOME_PAGE, HomePage, L"http://alice.example/?a=1&b=2"},
        {IDC_JB_VC_ABOUT, IDC_JB_VC_ABOUT, About, L"first line & more\rsecond \x0441\x0442\x0440\x043e\x043a\x0430"},
    };
    return fields;
}

const wchar_t kNote[] = L"private note, never sent";

// One program: its own folder, bus and core, its dialogs bound to them while it is the current one.
struct Program {
    Services::CServicesManager bus;
    Host host{bus};
    unsigned id = 0;

    void Current()
    {
        ProtocolsManagerService = host.manager.get();
        ContactListDataService = host.contactList.get();
    }
    ~Program()
    {
        if (ProtocolsManagerService == host.manager.get()) ProtocolsManagerService = nullptr;
        if (ContactListDataService == host.contactList.get()) ContactListDataService = nullptr;
    }
};

struct VCardPeers {
    PeerTest::LinuxPeer server;
    std::string failures;

    VCardPeers()
    {
        if (!server.Start("ejabberd", {"admin-extra", "user=alice:alicepw", "user=bob:bobpw",
                                       "ctl=set_vcard alice localhost FN Before",
                                       "ctl=add_rosteritem alice localhost bob localhost Bob Friends both"}))
            failures = server.Failure();
    }
};

// The published vCards among what the client sent (a request carries more attributes).
size_t Publications(XmppTest::XmppRelay& relay)
{
    const std::string bytes = relay.ClientBytes();
    const std::string mark = "<vCard xmlns='vcard-temp'>";
    size_t count = 0;
    for (size_t at = bytes.find(mark); at != std::string::npos; at = bytes.find(mark, at + 1)) ++count;
    return count;
}

class EjabberdVCardDialogTest : public PeerTest::SharedPeers<VCardPeers> {
protected:
    EjabberdVCardDialogTest() { plugin.SetTimings(300, 0); }
    ~EjabberdVCardDialogTest() override { plugin.SetTimings(15000, 60000); }

    // The program signed in as user through the relay; false when it did not get on line.
    bool SignIn(Program& program, const wchar_t* user, const wchar_t* password)
    {
        program.id = program.host.CreateAccount(GUID_XMPP_PROTOCOL);
        program.host.Configure(program.id, user, password, relay->Port());
        program.host.SetStatus(program.id, AccountStatus::Online);
        if (!program.host.WaitForStatuses(program.id, {AccountStatus::Connecting, AccountStatus::Online}, 30000))
            return false;
        program.host.Settle(program.id);
        program.Current();
        return true;
    }

    bool WaitEvents(Program& program, int code, size_t n)
    {
        return TestSupport::WaitUntil([&] { return program.host.EventsOf(program.id, code).size() >= n; }, 20000);
    }

    std::string Ctl(const std::string& arguments)
    {
        std::string output;
        if (!peers->server.Control(arguments, &output)) return "(failed: " + output + ")";
        while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
        return output;
    }

    std::string Party(const std::vector<std::string>& arguments)
    {
        return JabberTest::RunParty(peers->server.Port(), arguments);
    }

    void SetUp() override
    {
        PeerTest::SharedPeers<VCardPeers>::SetUp();
        if (peers) relay.reset(new XmppTest::XmppRelay(peers->server.Port()));
    }

    PluginLibrary plugin;
    std::unique_ptr<XmppTest::XmppRelay> relay;
    ReloadWindow reload;
};

TEST_F(EjabberdVCardDialogTest, OwnDetailsTypedOnEveryPaneArePublishedOnceAndReadBackEverywhere)
{
    ZEL_REQUIRE_DISPLAY();
    ASSERT_TRUE(plugin.Loaded());
    ASSERT_TRUE(peers->failures.empty()) << peers->failures;
    {
        Program program;
        ASSERT_TRUE(SignIn(program, L"alice", L"alicepw")) << ::testing::PrintToString(program.host.Statuses(program.id));
        WithDialog([&] { ShowOwnDetailsDialog(nullptr, program.id); },
                   [&](HWND dialog) {
                       // Opened on line: asked once, and reloaded with the server's vCard.
                       ASSERT_TRUE(WaitEvents(program, PMEV_DETAILS_RECEIVED, 1));
                       reload.Own(program.id);
                       EXPECT_EQ(Text(Page(dialog, IDC_JB_VC_JID_LABEL), IDC_JB_VC_DISPLAY_NAME), L"Before");
                       for (const PaneField& field : OwnFields()) {
                           HWND pane = Page(dialog, field.pane);
                           ASSERT_NE(pane, nullptr) << field.pane;
                           Type(GetDlgItem(pane, field.id), field.typed);
                       }
                       HWND personal = Page(dialog, IDC_JB_VC_BIRTHDAY);
                       PickGender(personal, L"Female");
                       PickDate(personal, 1980, 2, 29);
                       Type(GetDlgItem(Page(dialog, IDC_JB_VC_ABOUT), IDC_JB_VC_NOTE), kNote);
                       SendMessageW(dialog, WM_COMMAND, ID_ZELCOMMON_SOFTKEY_LEFT, 0);
                       EXPECT_TRUE(TestSupport::WaitUntil([&] { return Publications(*relay) == 1; }, 10000));
                       PostMessageW(dialog, WM_COMMAND, ID_ZELCOMMON_SOFTKEY_RIGHT, 0);
                   });
        program.host.Settle(program.id);
        Sleep(500);
        EXPECT_EQ(Publications(*relay), 1u);
    }

    // The server has it.
    EXPECT_EQ(Ctl("get_vcard alice localhost FN"), Utf8(StoredAs(OwnFields()[0].typed)));
    EXPECT_EQ(Ctl("get_vcard2 alice localhost ORG ORGNAME"), "Acme & Co");
    EXPECT_EQ(Ctl("get_vcard alice localhost BDAY"), "1980-2-29");
    EXPECT_EQ(Ctl("get_vcard alice localhost GENDER"), "Female");
    EXPECT_EQ(Ctl("get_vcard alice localhost URL"), "http://alice.example/?a=1&b=2");

    // So does the second party, field by field.
    const std::string output = Party({"--fetch-vcard", "alice@localhost"});
    const std::string mark = "EVENT vcard ";
    const size_t at = output.find(mark);
    ASSERT_NE(at, std::string::npos) << output;
    const size_t end = output.find('\n', at);
    std::unique_ptr<XmlElement> vcard =
        JabberTest::ParseStanza(Sasl::Base64Decode(output.substr(at + mark.size(), end - at - mark.size())));
    ASSERT_TRUE(vcard) << output;
    Memory there;
    FillVCardValues(*vcard, there);
    for (const PaneField& field : OwnFields())
        EXPECT_EQ(there.texts[field.key], StoredAs(field.typed)) << Utf8(field.key);
    EXPECT_EQ(there.texts[Gender], L"Female");
    EXPECT_EQ(there.numbers[BirthYear], 1980);
    EXPECT_EQ(there.numbers[BirthMonth], 2);
    EXPECT_EQ(there.numbers[BirthDay], 29);
    // The note stays here.
    EXPECT_EQ(relay->ClientBytes().find(Utf8(kNote)), std::string::npos);
    EXPECT_EQ(output.find(Utf8(kNote)), std::string::npos);

    // A fresh program folder signed in as the same user shows them all once the answer came, and
    // without the note; there "no date" is saved and published.
    Program fresh;
    ASSERT_TRUE(SignIn(fresh, L"alice", L"alicepw"));
    WithDialog([&] { ShowOwnDetailsDialog(nullptr, fresh.id); },
               [&](HWND dialog) {
                   ASSERT_TRUE(WaitEvents(fresh, PMEV_DETAILS_RECEIVED, 1));
                   reload.Own(fresh.id);
                   for (const PaneField& field : OwnFields())
                       EXPECT_EQ(Text(Page(dialog, field.pane), field.id), StoredAs(field.typed)) << Utf8(field.key);
                   HWND personal = Page(dialog, IDC_JB_VC_BIRTHDAY);
                   EXPECT_EQ(PickedGender(personal), L"Female");
                   EXPECT_EQ(PickedDate(personal), "1980-2-29");
                   EXPECT_EQ(Text(Page(dialog, IDC_JB_VC_ABOUT), IDC_JB_VC_NOTE), L"");

                   PickDate(personal, 0, 0, 0);
                   SendMessageW(dialog, WM_COMMAND, ID_ZELCOMMON_SOFTKEY_LEFT, 0);
                   EXPECT_TRUE(TestSupport::WaitUntil([&] { return Publications(*relay) == 2; }, 10000));
                   PostMessageW(dialog, WM_COMMAND, ID_ZELCOMMON_SOFTKEY_RIGHT, 0);
               });
    fresh.host.Settle(fresh.id);
    // No date: the vCard has no birthday.
    EXPECT_NE(Ctl("get_vcard alice localhost BDAY").find("error_no_value_found"), std::string::npos);
    EXPECT_EQ(Ctl("get_vcard alice localhost FN"), Utf8(StoredAs(OwnFields()[0].typed)));
}

TEST_F(EjabberdVCardDialogTest, TheContactsDetailsShowThePartysVCardAndTheNoteStaysHere)
{
    ZEL_REQUIRE_DISPLAY();
    ASSERT_TRUE(plugin.Loaded());
    ASSERT_TRUE(peers->failures.empty()) << peers->failures;
    const std::string card =
        "<vCard xmlns='vcard-temp'><FN>Bob Party</FN><NICKNAME>bobby</NICKNAME><N><GIVEN>Bob</GIVEN><FAMILY>Party</FAMILY>"
        "</N><GENDER>male</GENDER><BDAY>1990-07-04</BDAY><TEL><CELL/><NUMBER>+7 900</NUMBER></TEL><ADR><HOME/>"
        "<LOCALITY>Town &amp; Co</LOCALITY><CTRY>XY</CTRY></ADR><ORG><ORGNAME>Party Ltd</ORGNAME></ORG>"
        "<DESC>one\ntwo</DESC></vCard>";
    const std::string published = Party({"--publish-vcard", card});
    ASSERT_NE(published.find("EVENT vcard_published result"), std::string::npos) << published;

    Program program;
    ASSERT_TRUE(SignIn(program, L"alice", L"alicepw"));
    const int bob = JabberTest::WaitForListedContact(program.host, program.id, L"bob@localhost");
    ASSERT_NE(bob, 0);
    WithDialog([&] { ShowContactDetailsDialog(nullptr, bob); },
               [&](HWND dialog) {
                   ASSERT_TRUE(WaitEvents(program, PMEV_DETAILS_NOTIFY, 1));
                   reload.Contact(bob);
                   EXPECT_EQ(Text(Page(dialog, IDC_JB_VC_JID_LABEL), IDC_JB_VC_JID), L"bob@localhost");
                   EXPECT_EQ(Text(Page(dialog, IDC_JB_VC_JID_LABEL), IDC_JB_VC_DISPLAY_NAME), L"bobby");
                   EXPECT_EQ(Text(Page(dialog, IDC_JB_VC_JID_LABEL), IDC_JB_VC_FIRST_NAME), L"Bob");
                   EXPECT_EQ(Text(Page(dialog, IDC_JB_VC_HOME_EMAIL), IDC_JB_VC_HOME_CITY), L"Town & Co");
                   EXPECT_EQ(Text(Page(dialog, IDC_JB_VC_COMPANY), IDC_JB_VC_COMPANY), L"Party Ltd");
                   EXPECT_EQ(Text(Page(dialog, IDC_JB_VC_HOME_PHONE), IDC_JB_VC_CELL_PHONE), L"+7 900");
                   EXPECT_EQ(Text(Page(dialog, IDC_JB_VC_BIRTHDAY), IDC_JB_VC_GENDER), L"Male");
                   EXPECT_EQ(Text(Page(dialog, IDC_JB_VC_BIRTHDAY), IDC_JB_VC_BIRTHDAY),
                             Wide(CZELTime(1990, 6, 4, 0, 0, 0).ToString(CZELString(L"%c"))));
                   EXPECT_EQ(Text(Page(dialog, IDC_JB_VC_ABOUT), IDC_JB_VC_ABOUT), L"one\r\ntwo");
                   Type(GetDlgItem(Page(dialog, IDC_JB_VC_ABOUT), IDC_JB_VC_NOTE), kNote);
                   SendMessageW(dialog, WM_COMMAND, ID_ZELCOMMON_SOFTKEY_LEFT, 0);
                   PostMessageW(dialog, WM_COMMAND, ID_ZELCOMMON_SOFTKEY_RIGHT, 0);
               });
    WithDialog([&] { ShowContactDetailsDialog(nullptr, bob); },
               [&](HWND dialog) {
                   ASSERT_TRUE(WaitEvents(program, PMEV_DETAILS_NOTIFY, 2));
                   reload.Contact(bob);
                   EXPECT_EQ(Text(Page(dialog, IDC_JB_VC_ABOUT), IDC_JB_VC_NOTE), kNote);
                   PostMessageW(dialog, WM_COMMAND, ID_ZELCOMMON_SOFTKEY_RIGHT, 0);
               });
    program.host.Settle(program.id);
    EXPECT_EQ(relay->ClientBytes().find(Utf8(kNote)), std::string::npos);
    EXPECT_EQ(Publications(*relay), 0u);
}

}  // namespace
