// The own-details and contact-details dialogs with Jabber.dll's panes: the program's dialogs, opened
// as the menus open them, worked by window messages from a second thread; what they store, what
// they send, and when.
#include "Zel/net/tests/PeerSupport.h"

#include "Jabber/tests/RosterSession.h"
#include "Jabber/tests/DetailsDialogDriver.h"
#include "Jabber/tests/ExtrasTestSupport.h"
#include "Jabber/tests/XmlTestSupport.h"

#include "Handheld/tests/DisplayRequirement.h"
#include "ZELCommon/ZELTime.h"

#include <gtest/gtest.h>

namespace {

using namespace VCardDialogTest;
using DialogTest::WithDialog;

class VCardDialogsTest : public ::testing::Test {
protected:
    VCardDialogsTest() : services(session.host) { plugin.SetTimings(300, 0); }
    ~VCardDialogsTest() override { plugin.SetTimings(15000, 60000); }

    std::vector<std::string> Requests() { return XmlTest::Containing(session.SentWith("vcard-temp"), "type='get'"); }
    std::vector<std::string> Publications() { return XmlTest::Containing(session.SentWith("vcard-temp"), "type='set'"); }
    bool WaitDetails(size_t n)
    {
        return TestSupport::WaitUntil([&] { return session.host.EventsOf(session.id, PMEV_DETAILS_RECEIVED).size() >= n; },
                                      10000);
    }

    JabberTest::PluginLibrary plugin;
    JabberTest::RosterSession session;
    ProgramServices services;
    ReloadWindow reload;
};

// Opened on line, the own details ask once and refuse a save until the answer has been stored;
// the answer reloads them; "Update" stores and publishes once, "Close" publishes nothing. An
// error answer lets the user save what is typed.
TEST_F(VCardDialogsTest, TheOwnDetailsWaitForTheServersVCardAndPublishOnlyOnUpdate)
{
    ZEL_REQUIRE_DISPLAY();
    ASSERT_TRUE(plugin.Loaded());
    session.Create();
    session.host.SetString(session.id, DisplayName, L"kept here");
    ASSERT_TRUE(session.SignIn(""));
    WithDialog([&] { ShowOwnDetailsDialog(nullptr, session.id); },
               [&](HWND dialog) {
                   DetailsPages pages(dialog);
                   ASSERT_TRUE(pages.All());
                   EXPECT_EQ(Text(pages.general, IDC_JB_VC_JID), L"alice");
                   EXPECT_EQ(Text(pages.general, IDC_JB_VC_DISPLAY_NAME), L"kept here");
                   ASSERT_TRUE(TestSupport::WaitUntil([&] { return Requests().size() == 1; }, 10000));
                   const std::string request = Requests()[0];
                   EXPECT_NE(request.find("to='alice@localhost'"), std::string::npos) << request;

                   // Before the answer: nothing is stored, nothing goes out.
                   Type(GetDlgItem(pages.general, IDC_JB_VC_DISPLAY_NAME), L"typed too early");
                   Type(GetDlgItem(pages.about, IDC_JB_VC_ABOUT), L"early");
                   Update(dialog);
                   session.Settle();
                   EXPECT_EQ(Stored(session.host, session.id, DisplayName), L"kept here");
                   EXPECT_EQ(Stored(session.host, session.id, About), L"(absent)");
                   EXPECT_TRUE(Publications().empty());

                   // The answer is stored and the panes reload from it.
                   session.ServerSends("<iq type='result' id='" + IdOf(request) +
                                       "'><vCard xmlns='vcard-temp'><FN>Server Alice</FN><GENDER>female</GENDER>"
                                       "<BDAY>1975-03-09</BDAY><DESC>one\ntwo</DESC></vCard></iq>");
                   ASSERT_TRUE(WaitDetails(1));
                   reload.Own(session.id);
                   EXPECT_EQ(Text(pages.general, IDC_JB_VC_DISPLAY_NAME), L"Server Alice");
                   EXPECT_EQ(Text(pages.about, IDC_JB_VC_ABOUT), L"one\r\ntwo");
                   EXPECT_EQ(PickedGender(pages.personal), L"Female");
                   EXPECT_EQ(PickedDate(pages.personal), "1975-3-9");

                   Type(GetDlgItem(pages.general, IDC_JB_VC_DISPLAY_NAME), L"Alice & Co");
                   Update(dialog);
                   session.Settle();
                   EXPECT_EQ(Stored(session.host, session.id, DisplayName), L"Alice & Co");
                   ASSERT_EQ(Publications().size(), 1u);
                   EXPECT_NE(Publications()[0].find("<FN>Alice &amp; Co</FN>"), std::string::npos) << Publications()[0];
                   EXPECT_NE(Publications()[0].find("<BDAY>1975-3-9</BDAY>"), std::string::npos) << Publications()[0];
                   Close(dialog);
               });
    session.Settle();
    EXPECT_EQ(Publications().size(), 1u);
    EXPECT_EQ(OpenOwnDetailsDialog(), nullptr);

    // An error answer (no vCard there) keeps what is stored and lets a save through.
    WithDialog([&] { ShowOwnDetailsDialog(nullptr, session.id); },
               [&](HWND dialog) {
                   DetailsPages pages(dialog);
                   ASSERT_TRUE(pages.All());
                   ASSERT_TRUE(TestSupport::WaitUntil([&] { return Requests().size() == 2; }, 10000));
                   session.ServerSends("<iq type='error' id='" + IdOf(Requests()[1]) +
                                       "'><error type='cancel'><item-not-found "
                                       "xmlns='urn:ietf:params:xml:ns:xmpp-stanzas'/></error></iq>");
                   EXPECT_EQ(Stored(session.host, session.id, DisplayName), L"Alice & Co");
                   Type(GetDlgItem(pages.company, IDC_JB_VC_COMPANY), L"Acme");
                   Update(dialog);
                   session.Settle();
                   EXPECT_EQ(Stored(session.host, session.id, WorkCompany), L"Acme");
                   EXPECT_EQ(Publications().size(), 2u);
                   Close(dialog);
               });
    session.Settle();
    EXPECT_EQ(Publications().size(), 2u);
}

// Off line the dialogs ask nothing, show what is stored and save it by the panes' rules.
TEST_F(VCardDialogsTest, OfflineTheOwnPanesShowAndStoreByTheirRules)
{
    ZEL_REQUIRE_DISPLAY();
    ASSERT_TRUE(plugin.Loaded());
    struct Case {
        const char* name;
        const wchar_t* gender;  // null: not stored
        int year, month, day;   // year -1: not stored
        const wchar_t* shownGender;
        const char* shownDate;
    } cases[] = {
        {"lower-case female, a valid date", L"female", 1980, 2, 29, L"Female", "1980-2-29"},
        {"male, the last year", L"MALE", 2099, 12, 31, L"Male", "2099-12-31"},
        {"nothing stored", nullptr, -1, 0, 0, L"", "no date"},
        {"an empty gender, year 2100", L"", 2100, 1, 1, L"", "no date"},
        {"month 0", L"Female", 1980, 0, 5, L"Female", "no date"},
        {"day 32", L"Female", 1980, 5, 32, L"Female", "no date"},
        {"another word", L"robot", 0, 0, 0, L"(none)", "no date"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // An account of its own, so nothing is stored but what the case stores.
        const unsigned id = session.Create();
        if (c.gender) session.host.SetString(id, Gender, c.gender);
        if (c.year >= 0) StoreDate(session.host, id, c.year, c.month, c.day);
        WithDialog([&] { ShowOwnDetailsDialog(nullptr, id); },
                   [&](HWND dialog) {
                       DetailsPages pages(dialog);
                       ASSERT_TRUE(pages.All());
                       EXPECT_EQ(PickedGender(pages.personal), c.shownGender);
                       EXPECT_EQ(PickedDate(pages.personal), c.shownDate);
                       Close(dialog);
                   });
    }
    EXPECT_TRUE(session.SentWith("vcard-temp").empty());

    // Saving: the empty entry stores an empty gender, no date stores three zeros, and every pane's
    // fields go to their keys.
    const unsigned id = session.id;
    session.host.SetString(id, Gender, L"Male");
    StoreDate(session.host, id, 1980, 2, 29);
    WithDialog([&] { ShowOwnDetailsDialog(nullptr, id); },
               [&](HWND dialog) {
                   DetailsPages pages(dialog);
                   ASSERT_TRUE(pages.All());
                   PickGender(pages.personal, L"");
                   PickDate(pages.personal, 0, 0, 0);
                   Type(GetDlgItem(pages.home, IDC_JB_VC_HOME_CITY), L"Town");
                   Type(GetDlgItem(pages.work, IDC_JB_VC_WORK_ZIP), L"12345");
                   Type(GetDlgItem(pages.phones, IDC_JB_VC_WORK_FAX), L"+1 555");
                   Type(GetDlgItem(pages.about, IDC_JB_VC_NOTE), L"my own note");
                   Update(dialog);
                   Close(dialog);
               });
    session.Settle();
    EXPECT_EQ(Stored(session.host, id, Gender), L"");
    EXPECT_EQ(StoredDate(session.host, id), "0-0-0");
    EXPECT_EQ(Stored(session.host, id, HomeCity), L"Town");
    EXPECT_EQ(Stored(session.host, id, WorkZip), L"12345");
    EXPECT_EQ(Stored(session.host, id, WorkFax), L"+1 555");
    EXPECT_EQ(Stored(session.host, id, L"Jabber: notes"), L"my own note");
    EXPECT_EQ(Stored(session.host, id, HomeCountry), L"");
}

// A contact's panes show its properties read-only, the gender in words, the birthday and the age;
// the note is the one field stored, and survives reopening.
TEST_F(VCardDialogsTest, OfflineTheContactPanesShowItsDetailsAndKeepTheNote)
{
    ZEL_REQUIRE_DISPLAY();
    ASSERT_TRUE(plugin.Loaded());
    const unsigned id = session.Create();
    const int bob = JabberTest::AddListedContact(session.host, id, L"bob@localhost");
    ASSERT_NE(bob, 0);
    IContactListData& list = session.List();
    auto set = [&](const wchar_t* key, const wchar_t* value) {
        list.SetPropertyString(bob, CZELString(key), CZELString(value));
    };
    set(NickName, L"bobby");
    set(DisplayName, L"Robert");
    set(Gender, L"FEMALE");
    set(HomeAddress, L"Main street 1\r\nflat 2");
    const short year = 1990;
    const char month = 7, day = 4;
    list.SetPropertyShort(bob, CZELString(BirthYear), &year);
    list.SetPropertyByte(bob, CZELString(BirthMonth), &month);
    list.SetPropertyByte(bob, CZELString(BirthDay), &day);

    const CZELTime now;
    const int age = now.Year() - 1990 - ((now.Month() < 7 || (now.Month() == 7 && now.Day() < 4)) ? 1 : 0);
    WithDialog([&] { ShowContactDetailsDialog(nullptr, bob); },
               [&](HWND dialog) {
                   DetailsPages pages(dialog);
                   ASSERT_TRUE(pages.All());
                   EXPECT_EQ(Text(pages.general, IDC_JB_VC_JID), L"bob@localhost");
                   EXPECT_EQ(Text(pages.general, IDC_JB_VC_DISPLAY_NAME), L"bobby");
                   EXPECT_EQ(Text(pages.general, IDC_JB_VC_DISPLAY_NAME_LABEL), L"Display name");
                   EXPECT_EQ(Text(pages.home, IDC_JB_VC_HOME_STREET), L"Main street 1\r\nflat 2");
                   EXPECT_EQ(Text(pages.personal, IDC_JB_VC_GENDER), L"Female");
                   EXPECT_EQ(Text(pages.personal, IDC_JB_VC_AGE), std::to_wstring(age));
                   EXPECT_EQ(Text(pages.personal, IDC_JB_VC_BIRTHDAY),
                             Wide(CZELTime(1990, 6, 4, 0, 0, 0).ToString(CZELString(L"%c"))));
                   EXPECT_EQ(Text(pages.home, IDC_JB_VC_HOME_COUNTRY_LABEL), L"Country");
                   const int readOnly[][2] = {{0, IDC_JB_VC_JID}, {1, IDC_JB_VC_HOME_STREET}, {5, IDC_JB_VC_GENDER},
                                              {6, IDC_JB_VC_ABOUT}};
                   const HWND byIndex[] = {pages.general, pages.home, pages.work, pages.company,
                                           pages.phones, pages.personal, pages.about};
                   for (const auto& field : readOnly)
                       EXPECT_TRUE(GetWindowLongW(GetDlgItem(byIndex[field[0]], field[1]), GWL_STYLE) & ES_READONLY)
                           << field[1];
                   EXPECT_FALSE(GetWindowLongW(GetDlgItem(pages.about, IDC_JB_VC_NOTE), GWL_STYLE) & ES_READONLY);
                   Type(GetDlgItem(pages.about, IDC_JB_VC_NOTE), L"met at the fair");
                   Update(dialog);
                   Close(dialog);
               });
    // A birthday out of range shows neither birthday nor age; the note is there again.
    const short late = 2100;
    list.SetPropertyShort(bob, CZELString(BirthYear), &late);
    WithDialog([&] { ShowContactDetailsDialog(nullptr, bob); },
               [&](HWND dialog) {
                   DetailsPages pages(dialog);
                   ASSERT_TRUE(pages.All());
                   EXPECT_EQ(Text(pages.about, IDC_JB_VC_NOTE), L"met at the fair");
                   EXPECT_EQ(Text(pages.personal, IDC_JB_VC_BIRTHDAY), L"");
                   EXPECT_EQ(Text(pages.personal, IDC_JB_VC_AGE), L"");
                   Close(dialog);
               });
    CZELString about;
    EXPECT_FALSE(list.GetPropertyString(bob, CZELString(About), about));
    EXPECT_TRUE(session.SentWith("vcard-temp").empty());
}

}  // namespace
