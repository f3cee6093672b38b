// The details pages of Wex.dll in the program's own details dialogs, through the real protocols
// manager, against the fake server's directory: the user's own details changed on every page go out
// as one save request per page and come back at the next opening; offline nothing goes out; a
// contact's pages refill when its details arrive.
#include "WexContactsFixture.h"

#include "Wex/dialogs/DetailsFields.h"
#include "Wex/dialogs/DetailsResources.h"

#include "Handheld/tests/DisplayRequirement.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/core/tests/BusTestSupport.h"
#include "Zel/shell/dialogs/DetailsDialogs.h"
#include "ZELCommon/ZELCommonResources.h"
#include "ZELCommon/ZELTabDlg_IPan.h"
#include "ZELCommon/ZELWMUI_SettingsPan.h"
#include "ZELCommon/tests/UiTestSupport.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace WexTest;

namespace {

// A details dialog that runs the test's steps once it stands.
template <typename Details> class Scripted : public TestSupport::Scripted<Details> {
public:
    using TestSupport::Scripted<Details>::Scripted;
    void OnInitDialog() override
    {
        Details::OnInitDialog();
        this->StartScript();
    }
};

const unsigned kOwnNumber = 100200300;

std::wstring ItemText(HWND page, int id)
{
    wchar_t text[1100] = L"";
    GetDlgItemTextW(page, id, text, 1100);
    return text;
}

void Type(HWND control, const std::wstring& text)
{
    SendMessageW(control, WM_SETTEXT, 0, LPARAM(L""));
    for (wchar_t c : text) SendMessageW(control, WM_CHAR, WPARAM(c), 0);
}

std::wstring Selected(HWND page, int id)
{
    HWND combo = GetDlgItem(page, id);
    const LRESULT row = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (row == CB_ERR) return L"(none)";
    wchar_t text[256] = L"";
    SendMessageW(combo, CB_GETLBTEXT, WPARAM(row), LPARAM(text));
    return text;
}

void Choose(HWND page, int id, const wchar_t* text)
{
    ASSERT_NE(SendDlgItemMessageW(page, id, CB_SELECTSTRING, WPARAM(-1), LPARAM(text)), CB_ERR) << text;
}

// "none", or the picker's date as y-m-d.
std::string PickerDate(HWND page)
{
    SYSTEMTIME date{};
    if (SendDlgItemMessageW(page, IDC_WEX_D_BIRTHDAY, DTM_GETSYSTEMTIME, 0, LPARAM(&date)) != GDT_VALID) return "none";
    return std::to_string(date.wYear) + "-" + std::to_string(date.wMonth) + "-" + std::to_string(date.wDay);
}

void Pick(HWND page, int year, int month, int day)
{
    SYSTEMTIME date{};
    date.wYear = WORD(year);
    date.wMonth = WORD(month);
    date.wDay = WORD(day);
    SendDlgItemMessageW(page, IDC_WEX_D_BIRTHDAY, DTM_SETSYSTEMTIME, GDT_VALID, LPARAM(&date));
}

// The user's record in the directory before the test changes it.
DirectoryRecord OwnRecord()
{
    DirectoryRecord r;
    r.nick = "Annie";
    r.firstName = "Ann";
    r.lastName = "Lee";
    r.email = "ann@x.y";
    r.homeCity = "Town";
    r.homeState = "ST";
    r.homeZip = "10001";
    r.homeAddress = "Street 1";
    r.homeCountry = 7;
    r.homePhone = "111-22";
    r.cellPhone = "+7 900";
    r.workCity = "Berlin";
    r.workCountry = 49;
    r.workZip = "10115";
    r.company = "Co";
    r.department = "Dept";
    r.position = "Boss";
    r.occupation = 5;
    r.workPage = "http://w";
    r.age = 35;
    r.gender = 1;
    r.homepage = "home.page";
    r.birthYear = 1990;
    r.birthMonth = 4;
    r.birthDay = 5;
    r.languages[0] = 12;
    r.languages[1] = 40;
    r.marital = 10;
    r.city = "Lyon";
    r.state = "RA";
    r.country = 33;
    r.about = "Hi";
    r.interests[0] = 100;
    r.interestKeys[0] = "books";
    r.interests[1] = 113;
    r.interestKeys[1] = "jazz";
    return r;
}

// A save request as it must leave the client: its variable numbers (FLAP sequence, request id, meta
// sequence) taken from the frame sent, the rest written from the command's layout around items.
Bytes ExpectedSave(const Bytes& sent, const std::string& itemsHex)
{
    const Bytes items = Hex(itemsHex);
    Wire record;
    record.U16LE(unsigned(items.size() + 10)).U32LE(kOwnNumber).U16LE(2000);
    record.U16LE(sent.size() > 29 ? unsigned(sent[28] | sent[29] << 8) : 0).U16LE(0x0C3A).Raw(items);
    Wire snac;
    snac.U16(0x15).U16(0x02).U16(0);
    snac.Raw(Bytes(sent.begin() + 12, sent.begin() + 16)).Tlv(0x0001, record);
    Bytes frame = Wire().U8(0x2A).U8(2).Raw(Bytes(sent.begin() + 2, sent.begin() + 4)).U16(unsigned(snac.Get().size()));
    frame.insert(frame.end(), snac.Get().begin(), snac.Get().end());
    return frame;
}

class WexDetailsPagesTest : public WexAccountFixture {
protected:
    WexDetailsPagesTest() : WexAccountFixture(L"wex_details_pages")
    {
        Wire roster;
        roster.U8(0).U16(2).Raw(ListItemBytes("Friends", 1, 0, 1)).Raw(ListItemBytes("555", 1, 5, 0)).U32(1700000000);
        FakeWexServer::Answer answer;
        answer.family = 0x13;
        answer.subtype = 0x06;
        answer.body = roster;
        server.SetRoster({answer});
        server.SetDetails(kOwnNumber, OwnRecord());
    }
    void SetUp() override
    {
        ZEL_REQUIRE_DISPLAY();
        host = TestSupport::CreateHostWindow(240, 320, L"Details host");
    }
    void TearDown() override
    {
        if (host) DestroyWindow(host);
    }

    std::wstring AccountString(unsigned id, const wchar_t* key)
    {
        CZELString value;
        if (!Manager().GetAccountString(id, CZELString(key), value, 0)) return L"(absent)";
        return Text(value);
    }

    size_t Events(int code) { return recorder->Events(code).size(); }

    HWND host = nullptr;
    TestSupport::DpiScope dpi{96};
};

template <typename Dialog> HWND PageWindow(Dialog& dialog, int page)
{
    TabPage* tab = dialog.FindPage(page);
    return tab ? HWND(*tab->window) : nullptr;
}

template <typename Dialog> void SoftKey(Dialog& dialog, int key)
{
    SendMessageW(dialog, WM_COMMAND, key, 0);
}

}  // namespace

TEST_F(WexDetailsPagesTest, AChangeOnEveryPageSendsOneSaveRequestEachAndComesBack)
{
    const unsigned id = CreateAccount();
    SignOn(id);
    using WexDetails::Page;

    std::vector<Bytes> saves;
    {
        Scripted<COwnDetailsDialog> dialog(id);
        dialog.steps.push_back([&] {
            ASSERT_EQ(dialog.GetPageCount(), 9);
            const wchar_t* titles[] = {L"General", L"Home", L"Work", L"Company", L"Phones", L"Personal",
                                       L"Originally from", L"Interests", L"About"};
            for (int i = 0; i < 9; ++i) EXPECT_TRUE(dialog.FindPage(i)->caption == titles[i]) << i;
            // The pages asked for the details; the host reloads them when they are in.
            ASSERT_TRUE(recorder->WaitFor(PMEV_DETAILS_RECEIVED));
            RefreshOwnDetailsDialog(id);
            HWND general = PageWindow(dialog, WexDetails::General);
            EXPECT_EQ(ItemText(general, IDC_WEX_D_ACCOUNT), L"100200300");
            EXPECT_EQ(ItemText(general, IDC_WEX_D_NICK_LABEL), L"Display name");
            EXPECT_EQ(ItemText(general, IDC_WEX_D_NICK), L"Annie");
            EXPECT_EQ(Selected(PageWindow(dialog, WexDetails::Home), IDC_WEX_D_HOME_COUNTRY), L"Russia");
            EXPECT_EQ(ItemText(PageWindow(dialog, WexDetails::Home), IDC_WEX_D_HOME_ZIP), L"10001");
            EXPECT_EQ(Selected(PageWindow(dialog, WexDetails::Work), IDC_WEX_D_WORK_COUNTRY), L"Germany");
            EXPECT_EQ(Selected(PageWindow(dialog, WexDetails::Company), IDC_WEX_D_OCCUPATION), L"Computers");
            HWND personal = PageWindow(dialog, WexDetails::Personal);
            EXPECT_EQ(Selected(personal, IDC_WEX_D_GENDER), L"Female");
            EXPECT_EQ(Selected(personal, IDC_WEX_D_MARITAL), L"Single");
            EXPECT_EQ(PickerDate(personal), "1990-4-5");
            EXPECT_EQ(Selected(personal, IDC_WEX_D_LANGUAGE1), L"English");
            EXPECT_EQ(Selected(personal, IDC_WEX_D_LANGUAGE2), L"Russian");
            EXPECT_EQ(Selected(personal, IDC_WEX_D_LANGUAGE3), L"");
            EXPECT_EQ(Selected(PageWindow(dialog, WexDetails::Origin), IDC_WEX_D_ORIGIN_COUNTRY), L"France");
            EXPECT_EQ(Selected(PageWindow(dialog, WexDetails::Interests), IDC_WEX_D_INTEREST2), L"Music");
            EXPECT_EQ(ItemText(PageWindow(dialog, WexDetails::About), IDC_WEX_D_ABOUT), L"Hi");

            // One change on each page; the display name's only in letter case.
            Type(GetDlgItem(general, IDC_WEX_D_NICK), L"annie");
            Type(GetDlgItem(PageWindow(dialog, WexDetails::Home), IDC_WEX_D_HOME_ZIP), L"20002");
            Choose(PageWindow(dialog, WexDetails::Work), IDC_WEX_D_WORK_COUNTRY, L"France");
            // The empty first row of a list is code 0.
            SendDlgItemMessageW(PageWindow(dialog, WexDetails::Company), IDC_WEX_D_OCCUPATION, CB_SETCURSEL, 0, 0);
            Type(GetDlgItem(PageWindow(dialog, WexDetails::Company), IDC_WEX_D_POSITION), L"Chief");
            Type(GetDlgItem(PageWindow(dialog, WexDetails::Phones), IDC_WEX_D_CELL_PHONE), L"+7 901");
            Pick(personal, 1965, 3, 10);
            Type(GetDlgItem(PageWindow(dialog, WexDetails::Origin), IDC_WEX_D_ORIGIN_CITY), L"Paris");
            Type(GetDlgItem(PageWindow(dialog, WexDetails::Interests), IDC_WEX_D_INTEREST_KEYS2), L"blues");
            HWND about = PageWindow(dialog, WexDetails::About);
            Type(GetDlgItem(about, IDC_WEX_D_ABOUT), L"Hello there");
            Type(GetDlgItem(about, IDC_WEX_D_NOTE), L"my note");
            SoftKey(dialog, ID_ZELCOMMON_SOFTKEY_LEFT);
            ASSERT_TRUE(server.WaitUntil([&] { return server.SavesApplied() == 9; })) << server.SavesApplied();
            for (const Bytes& frame : server.ClientSnacs(0x15, 0x02)) {
                MetaRequestRecord record;
                if (ReadMetaRequestRecord(frame, record) && record.subtype == 0x0C3A) saves.push_back(frame);
            }
            EXPECT_TRUE(IsWindow(dialog));
            SoftKey(dialog, ID_ZELCOMMON_SOFTKEY_RIGHT);
        });
        EXPECT_EQ(RunOwnDetailsDialog(&dialog, host), IDCANCEL);
    }

    const char* const items[] = {
        "54 01 08 00 06 00 61 6e 6e 69 65 00",                              // display name
        "6c 02 04 00 22 4e 00 00",                                          // home zip 20002
        "b2 02 02 00 21 00",                                                // work country 33
        "cc 01 02 00 00 00 c2 01 08 00 06 00 43 68 69 65 66 00",            // occupation none, position
        "8a 02 09 00 07 00 2b 37 20 39 30 31 00",                           // cell phone
        "3a 02 06 00 ad 07 03 00 0a 00",                                    // birthday 1965-03-10
        "20 03 08 00 06 00 50 61 72 69 73 00",                              // city of origin
        "ea 01 0a 00 64 00 06 00 62 6f 6f 6b 73 00 ea 01 0a 00 71 00 06 00 62 6c 75 65 73 00"
        " ea 01 05 00 00 00 01 00 00 ea 01 05 00 00 00 01 00 00",           // the four interest rows
        "58 02 0e 00 0c 00 48 65 6c 6c 6f 20 74 68 65 72 65 00",            // about
    };
    ASSERT_EQ(saves.size(), 9u);
    for (size_t i = 0; i < 9; ++i) EXPECT_EQ(ToHex(saves[i]), ToHex(ExpectedSave(saves[i], items[i]))) << "page " << i;
    EXPECT_EQ(AccountString(id, L"WEX: notes"), L"my note");
    EXPECT_EQ(AccountString(id, L"WEX: nick name"), L"annie");
    EXPECT_EQ(AccountString(id, L"WEX: home zip"), L"20002");

    // Reopened: the pages show what the directory sends back.
    recorder->Clear();
    {
        Scripted<COwnDetailsDialog> dialog(id);
        dialog.steps.push_back([&] {
            ASSERT_TRUE(recorder->WaitFor(PMEV_DETAILS_RECEIVED));
            RefreshOwnDetailsDialog(id);
            EXPECT_EQ(ItemText(PageWindow(dialog, WexDetails::General), IDC_WEX_D_NICK), L"annie");
            EXPECT_EQ(ItemText(PageWindow(dialog, WexDetails::Home), IDC_WEX_D_HOME_ZIP), L"20002");
            EXPECT_EQ(Selected(PageWindow(dialog, WexDetails::Work), IDC_WEX_D_WORK_COUNTRY), L"France");
            EXPECT_EQ(ItemText(PageWindow(dialog, WexDetails::Company), IDC_WEX_D_POSITION), L"Chief");
            EXPECT_EQ(Selected(PageWindow(dialog, WexDetails::Company), IDC_WEX_D_OCCUPATION), L"");
            EXPECT_EQ(ItemText(PageWindow(dialog, WexDetails::Phones), IDC_WEX_D_CELL_PHONE), L"+7 901");
            EXPECT_EQ(PickerDate(PageWindow(dialog, WexDetails::Personal)), "1965-3-10");
            EXPECT_EQ(ItemText(PageWindow(dialog, WexDetails::Origin), IDC_WEX_D_ORIGIN_CITY), L"Paris");
            EXPECT_EQ(ItemText(PageWindow(dialog, WexDetails::Interests), IDC_WEX_D_INTEREST_KEYS2), L"blues");
            EXPECT_EQ(ItemText(PageWindow(dialog, WexDetails::About), IDC_WEX_D_ABOUT), L"Hello there");
            EXPECT_EQ(ItemText(PageWindow(dialog, WexDetails::About), IDC_WEX_D_NOTE), L"my note");
            // Nothing changed: confirming sends nothing more.
            SoftKey(dialog, ID_ZELCOMMON_SOFTKEY_LEFT);
            Sleep(300);
            EXPECT_EQ(server.SavesApplied(), 9);
            SoftKey(dialog, ID_ZELCOMMON_SOFTKEY_RIGHT);
        });
        EXPECT_EQ(RunOwnDetailsDialog(&dialog, host), IDCANCEL);
    }
    ExpectNoFaults();
}

TEST_F(WexDetailsPagesTest, OfflineNothingIsSentAndOnlyTheNoteIsStored)
{
    const unsigned id = CreateAccount();
    Scripted<COwnDetailsDialog> dialog(id);
    dialog.steps.push_back([&] {
        ASSERT_EQ(dialog.GetPageCount(), 9);
        HWND general = PageWindow(dialog, WexDetails::General);
        HWND about = PageWindow(dialog, WexDetails::About);
        // Without a stored date the picker starts at "none".
        EXPECT_EQ(PickerDate(PageWindow(dialog, WexDetails::Personal)), "none");
        // The note alone is the device's: it is kept, and nothing is said.
        Type(GetDlgItem(about, IDC_WEX_D_NOTE), L"first note");
        SoftKey(dialog, ID_ZELCOMMON_SOFTKEY_LEFT);
        EXPECT_EQ(AccountString(id, L"WEX: notes"), L"first note");
        Sleep(200);
        EXPECT_EQ(Events(PMEV_SHOW_TEXT), 0u);

        // A change for the network refuses at its page, says why, keeps the edit on the page; the
        // note is stored all the same.
        Type(GetDlgItem(general, IDC_WEX_D_NICK), L"Offline name");
        Type(GetDlgItem(PageWindow(dialog, WexDetails::Phones), IDC_WEX_D_HOME_FAX), L"555");
        Type(GetDlgItem(about, IDC_WEX_D_NOTE), L"second note");
        SoftKey(dialog, ID_ZELCOMMON_SOFTKEY_LEFT);
        EXPECT_TRUE(recorder->WaitFor(PMEV_SHOW_TEXT));
        EXPECT_EQ(AccountString(id, L"WEX: nick name"), L"(absent)");
        EXPECT_EQ(AccountString(id, L"WEX: home fax"), L"(absent)");
        EXPECT_EQ(AccountString(id, L"WEX: notes"), L"second note");
        EXPECT_EQ(ItemText(general, IDC_WEX_D_NICK), L"Offline name");
        EXPECT_TRUE(IsWindow(dialog));
        SoftKey(dialog, ID_ZELCOMMON_SOFTKEY_RIGHT);
    });
    EXPECT_EQ(RunOwnDetailsDialog(&dialog, host), IDCANCEL);
    std::vector<std::wstring> warnings = Warnings();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0], L"Your details can be saved only while you are online");
    EXPECT_TRUE(server.ClientSnacs(0x15, 0x02).empty());
}

TEST_F(WexDetailsPagesTest, AContactsPagesRefillFromTheReply)
{
    DirectoryRecord contact;
    contact.nick = "Five";
    contact.homeCountry = 7;
    contact.occupation = 5;
    contact.gender = 2;
    contact.marital = 20;
    contact.age = 0;
    contact.languages[0] = 5;
    contact.languages[1] = 0;
    contact.languages[2] = 7;
    contact.birthYear = 1965;
    contact.birthMonth = 3;
    contact.birthDay = 10;
    contact.interests[0] = 113;
    contact.interestKeys[0] = "jazz";
    contact.about = "About five";
    server.SetDetails(555, contact);
    const unsigned id = CreateAccount();
    SignOn(id);
    const int five = FindContact(id, "555");
    ASSERT_NE(five, 0);

    Scripted<CContactDetailsDialog> dialog(five);
    dialog.steps.push_back([&] {
        ASSERT_EQ(dialog.GetPageCount(), 9);
        EXPECT_TRUE(dialog.FindPage(6)->caption == L"Originally from");
        ASSERT_TRUE(recorder->WaitFor(PMEV_DETAILS_NOTIFY));
        RefreshContactDetailsDialog(five);
        HWND general = PageWindow(dialog, WexDetails::General);
        EXPECT_EQ(ItemText(general, IDC_WEX_D_ACCOUNT), L"555");
        EXPECT_EQ(ItemText(general, IDC_WEX_D_NICK), L"Five");
        EXPECT_EQ(ItemText(general, IDC_WEX_D_ACCOUNT_LABEL), L"Account name");
        EXPECT_EQ(ItemText(PageWindow(dialog, WexDetails::Home), IDC_WEX_D_HOME_COUNTRY), L"Russia");
        EXPECT_EQ(ItemText(PageWindow(dialog, WexDetails::Company), IDC_WEX_D_OCCUPATION), L"Computers");
        HWND personal = PageWindow(dialog, WexDetails::Personal);
        EXPECT_EQ(ItemText(personal, IDC_WEX_D_GENDER), L"Male");
        EXPECT_EQ(ItemText(personal, IDC_WEX_D_MARITAL), L"Married");
        EXPECT_EQ(ItemText(personal, IDC_WEX_D_AGE), L"0");
        EXPECT_EQ(ItemText(personal, IDC_WEX_D_AGE_LABEL), L"Age");
        EXPECT_EQ(ItemText(personal, IDC_WEX_D_LANGUAGES), L"Chinese;Czech");
        EXPECT_EQ(ItemText(personal, IDC_WEX_D_BIRTHDAY), Text(WexDetails::FormatBirthday(1965, 3, 10)));
        EXPECT_NE(ItemText(personal, IDC_WEX_D_BIRTHDAY).find(L"65"), std::wstring::npos);
        HWND interests = PageWindow(dialog, WexDetails::Interests);
        EXPECT_EQ(ItemText(interests, IDC_WEX_D_INTEREST1), L"Music");
        EXPECT_EQ(ItemText(interests, IDC_WEX_D_INTEREST_KEYS1), L"jazz");
        HWND about = PageWindow(dialog, WexDetails::About);
        EXPECT_EQ(ItemText(about, IDC_WEX_D_ABOUT), L"About five");
        // Only the note can be typed in.
        EXPECT_TRUE(GetWindowLongW(GetDlgItem(about, IDC_WEX_D_ABOUT), GWL_STYLE) & ES_READONLY);
        EXPECT_FALSE(GetWindowLongW(GetDlgItem(about, IDC_WEX_D_NOTE), GWL_STYLE) & ES_READONLY);
        Type(GetDlgItem(about, IDC_WEX_D_NOTE), L"met at work");
        SoftKey(dialog, ID_ZELCOMMON_SOFTKEY_LEFT);
        CZELString note;
        EXPECT_TRUE(ContactListDataService->GetPropertyString(five, CZELString(L"WEX: notes"), note));
        EXPECT_EQ(Text(note), L"met at work");
        // Emptied, the note is stored empty, which the contact list reads as no note.
        Type(GetDlgItem(about, IDC_WEX_D_NOTE), L"");
        SoftKey(dialog, ID_ZELCOMMON_SOFTKEY_LEFT);
        EXPECT_FALSE(ContactListDataService->GetPropertyString(five, CZELString(L"WEX: notes"), note));
        SoftKey(dialog, ID_ZELCOMMON_SOFTKEY_RIGHT);
    });
    EXPECT_EQ(RunContactDetailsDialog(&dialog, host), IDCANCEL);
    // The note never travels.
    for (const Bytes& frame : server.ClientSnacs(0x15, 0x02)) {
        MetaRequestRecord record;
        ASSERT_TRUE(ReadMetaRequestRecord(frame, record));
        EXPECT_EQ(record.subtype, 0x04D0u);
    }
    ExpectNoFaults();
}

// The lookup lists are shared by every open set of pages: closing one set leaves them to the other.
TEST_F(WexDetailsPagesTest, ClosingOnePageSetLeavesTheListsToAnotherStillOpen)
{
    const unsigned id = CreateAccount();
    const int contact = ContactListDataService->FindOrAddContact(id, CZELString(L"777"));
    ASSERT_NE(contact, 0);
    const short russia = 7;
    ContactListDataService->SetPropertyShort(contact, CZELString(L"WEX: home country code"), &russia);
    auto drop = [](ZELTabDlg::PanList& pages) {
        for (int i = 0; i < pages.GetCount(); ++i) delete dynamic_cast<UI::CZELWMUI_SettingsPan*>(pages[i]);
        pages = ZELTabDlg::PanList();
    };
    ZELTabDlg::PanList own, theirs;
    Manager().GetOwnDetailsPages(id, &own);
    Manager().GetContactDetailsPages(id, contact, &theirs);
    ASSERT_EQ(own.GetCount(), 9);
    ASSERT_EQ(theirs.GetCount(), 9);
    drop(own);
    // The contact's pages fill after the other set has gone, and still find the countries.
    HWND home = dynamic_cast<UI::CZELWMUI_SettingsPan*>(theirs[WexDetails::Home])->Create(host);
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(ItemText(home, IDC_WEX_D_HOME_COUNTRY), L"Russia");
    drop(theirs);
}
