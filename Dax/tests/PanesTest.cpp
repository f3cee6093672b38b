// The plug-in's panes and dialogs, made from Dax.dll's own templates and driven by window messages:
// the settings panes that the next login follows, the e-mail cell, the add-contact and reason
// dialogs opened from the menus, a contact's details and the searches. Pure parts (domains, ids,
// birthdays) are checked as tables.
#include "Dax/tests/DaxHost.h"
#include "Dax/tests/PaneLook.h"

#include "Dax/DaxDomains.h"
#include "Dax/DaxIdTables.h"
#include "Dax/DaxResources.h"
#include "Dax/proto/MrimCommands.h"
#include "Dax/proto/MrimRequests.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/accounts/ManagerPayloads.h"
#include "Zel/core/plugin/PopupMenu.h"
#include "ZELCommon/ZELTabDlg_IPan.h"
#include "ZELCommon/ZELWMUI_SettingsPan.h"
#include "Handheld/Shell.h"
#include "Handheld/tests/DisplayRequirement.h"
#include "Handheld/tests/SystemDensity.h"
#include "Zel/core/tests/ModalDialogDriver.h"
#include "ZELCommon/tests/WindowScreenshot.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

using namespace MrimTest;

namespace {

using DialogTest::FindDialog;
using DialogTest::Type;
using DialogTest::WithDialog;

std::wstring Wide(const CZELString& text)
{
    return text.GetBuffer() ? std::wstring(text.GetBuffer(), size_t(text.GetLength())) : std::wstring();
}

std::wstring ItemText(HWND window, int id)
{
    wchar_t text[300] = L"";
    GetDlgItemTextW(window, id, text, 300);
    return text;
}

// The control that has the focus on the thread of window (a dialog runs on the test's thread while
// another drives it).
HWND FocusOn(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

// Moves the dialog's focus to control, on the dialog's own thread.
void FocusControl(HWND dialog, int control)
{
    SendMessageW(dialog, WM_NEXTDLGCTL, WPARAM(GetDlgItem(dialog, control)), TRUE);
}

bool Contains(const Bytes& bytes, const std::string& part)
{
    return std::search(bytes.begin(), bytes.end(), part.begin(), part.end()) != bytes.end();
}

// The rows of the manager's search results as the search dialog reads them; a message without a row
// is the end of the search.
class SearchRows : public QueueReceiver {
public:
    struct Row {
        bool end = true;
        std::wstring email, nickname, firstName, lastName;
    };
    explicit SearchRows(Services::CServicesManager& bus) : bus(bus)
    {
        queue = bus.CreateQueue(this, CZELString(L"Search rows"));
        bus.Subscribe(GUID_PROTOCOLS_MANAGER, PMEV_SEARCH_RESULT, queue);
    }
    ~SearchRows() override { bus.DestroyQueue(queue); }
    int HandleMessage(const ZEL_GUID& msgClass, int code, CRefObject*, CRefObject* p2) override
    {
        if (msgClass != GUID_PROTOCOLS_MANAGER || code != PMEV_SEARCH_RESULT) return 0;
        Row row;
        if (CSearchResultPayload* result = dynamic_cast<CSearchResultPayload*>(p2)) {
            row.end = false;
            row.email = Wide(result->row.email);
            row.nickname = Wide(result->row.nickname);
            row.firstName = Wide(result->row.firstName);
            row.lastName = Wide(result->row.lastName);
        }
        std::lock_guard<std::mutex> hold(mutex);
        rows.push_back(row);
        return 0;
    }
    std::vector<Row> Rows()
    {
        std::lock_guard<std::mutex> hold(mutex);
        return rows;
    }
    void Clear()
    {
        std::lock_guard<std::mutex> hold(mutex);
        rows.clear();
    }

private:
    Services::CServicesManager& bus;
    int queue = 0;
    std::mutex mutex;
    std::vector<Row> rows;
};

}  // namespace

TEST(DaxDomains, SplitAndComposeTheAccountName)
{
    struct {
        const wchar_t* stored;
        const wchar_t* user;
        int domain;
    } splits[] = {
        {L"alice@example.net", L"alice", 1},
        {L"Alice@EXAMPLE.NET", L"Alice", 1},
        {L"alice@elsewhere.test", L"alice", -1},
        {L"alice", L"", -1},
        {L"", L"", -1},
        {L"@example.com", L"", 0},
    };
    for (const auto& test : splits) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(test.stored)));
        CZELString user;
        int domain = 7;
        DaxDomains::Split(CZELString(test.stored), user, domain);
        EXPECT_EQ(test.user, Wide(user));
        EXPECT_EQ(test.domain, domain);
    }

    using DaxDomains::Verdict;
    struct {
        const wchar_t* user;
        int domain;
        Verdict verdict;
        const wchar_t* name;
    } composes[] = {
        {L"alice", 1, Verdict::Name, L"alice@example.net"},
        {L"", -1, Verdict::KeepStored, L""},
        {L"", 2, Verdict::FixUser, L""},
        {L"al@ice", 2, Verdict::FixUser, L""},
        {L"alice", -1, Verdict::FixDomain, L""},
        {L"alice", DaxDomains::Count, Verdict::FixDomain, L""},
    };
    for (const auto& test : composes) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(test.user)) + " " + std::to_string(test.domain));
        CZELString name;
        EXPECT_EQ(test.verdict, DaxDomains::Compose(CZELString(test.user), test.domain, name));
        EXPECT_EQ(test.name, Wide(name));
    }
    for (int i = 0; i < DaxDomains::Count; ++i) EXPECT_EQ(L'@', Wide(DaxDomains::Domain(i))[0]);
    EXPECT_TRUE(DaxDomains::Domain(DaxDomains::Count).IsEmpty());
}

TEST(DaxIdTables, IdsFindTheirTextsAndBirthdaysKeepTheirSeparators)
{
    EXPECT_EQ(54u, DaxIds::Countries().count);
    EXPECT_EQ(90u, DaxIds::Regions().count);
    EXPECT_EQ(12u, DaxIds::ZodiacSigns().count);
    EXPECT_EQ(2u, DaxIds::Genders().count);
    // The lookup halves the table: each must run in strictly rising id order for every row to be found.
    for (const DaxIds::IdTable& table : {DaxIds::Countries(), DaxIds::Regions(), DaxIds::ZodiacSigns(), DaxIds::Genders()}) {
        for (size_t i = 0; i < table.count; ++i) {
            SCOPED_TRACE(table.rows[i].id);
            if (i > 0) {
                EXPECT_LT(table.rows[i - 1].id, table.rows[i].id);
            }
            EXPECT_EQ(table.rows[i].textNumber, DaxIds::TextNumberOf(table, table.rows[i].id));
        }
    }
    struct {
        DaxIds::IdTable table;
        int id;
        int text;
    } lookups[] = {
        {DaxIds::Countries(), 24, 112}, {DaxIds::Countries(), 340, 76}, {DaxIds::Countries(), 25, -1},
        {DaxIds::Regions(), 25, 174},   {DaxIds::Regions(), 3425, 202}, {DaxIds::Regions(), 24, -1},
        {DaxIds::ZodiacSigns(), 1, 216}, {DaxIds::ZodiacSigns(), 12, 227}, {DaxIds::ZodiacSigns(), 13, -1},
        {DaxIds::Genders(), 1, 228},    {DaxIds::Genders(), 2, 229},     {DaxIds::Genders(), 0, -1},
    };
    for (const auto& test : lookups) {
        SCOPED_TRACE(test.id);
        EXPECT_EQ(test.text, DaxIds::TextNumberOf(test.table, test.id));
    }
    struct {
        int day, month, year;
        const wchar_t* text;
    } birthdays[] = {
        {5, 0, 1980, L"05//1980"}, {31, 12, 1999, L"31/12/1999"}, {0, 0, 0, L"//"},
        {1, 2, 33, L"01/02/0033"}, {-4, 13, 12345, L"/13/"},
    };
    for (const auto& test : birthdays) EXPECT_EQ(test.text, Wide(DaxIds::BirthdayText(test.day, test.month, test.year)));
}

// A combo box filled from a table offers "nothing chosen" first; that entry and no selection at all
// both read as id 0, so neither becomes a search condition.
TEST(DaxIdTables, AnIdComboStartsWithAnEmptyEntryAndReadsNoSelectionAsZero)
{
    ZEL_REQUIRE_DISPLAY();
    for (const DaxIds::IdTable& table : {DaxIds::Genders(), DaxIds::Countries()}) {
        SCOPED_TRACE(table.count);
        HWND combo = CreateWindowExW(0, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL, 0, 0, 100, 200, nullptr,
                                     nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(nullptr, combo);
        DaxIds::FillIdCombo(combo, table);
        ASSERT_EQ(LRESULT(table.count + 1), SendMessageW(combo, CB_GETCOUNT, 0, 0));
        EXPECT_EQ(0, SendMessageW(combo, CB_GETLBTEXTLEN, 0, 0));
        EXPECT_EQ(0, SendMessageW(combo, CB_GETITEMDATA, 0, 0));
        for (size_t i = 0; i < table.count; ++i) {
            EXPECT_EQ(table.rows[i].id, SendMessageW(combo, CB_GETITEMDATA, i + 1, 0));
            EXPECT_GT(SendMessageW(combo, CB_GETLBTEXTLEN, i + 1, 0), 0);
        }

        EXPECT_EQ(CB_ERR, SendMessageW(combo, CB_GETCURSEL, 0, 0));
        EXPECT_EQ(0, DaxIds::SelectedId(combo));
        SendMessageW(combo, CB_SETCURSEL, 0, 0);
        EXPECT_EQ(0, DaxIds::SelectedId(combo));
        SendMessageW(combo, CB_SETCURSEL, WPARAM(table.count), 0);
        EXPECT_EQ(table.rows[table.count - 1].id, DaxIds::SelectedId(combo));
        SendMessageW(combo, CB_SETCURSEL, WPARAM(-1), 0);
        EXPECT_EQ(0, DaxIds::SelectedId(combo));

        // Filled again (a pane loaded twice), it keeps its entries instead of doubling them.
        DaxIds::FillIdCombo(combo, table);
        EXPECT_EQ(LRESULT(table.count + 1), SendMessageW(combo, CB_GETCOUNT, 0, 0));
        DestroyWindow(combo);
    }
}

class DaxPanesTest : public DaxHostTest {
protected:
    DaxPanesTest()
    {
        host = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 240, 320, nullptr,
                               nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~DaxPanesTest() override
    {
        ClearPanes();
        DestroyWindow(host);
    }

    unsigned OnlineWithList(const std::vector<std::wstring>& groups = {L"Work", L"Friends"})
    {
        unsigned id = CreateAccount();
        std::vector<ListContact> contacts;
        if (!groups.empty()) contacts.push_back({"bob@example.org", L"Bob", 0, 1, 0x08, 1});
        server->afterLogin = {Packet(Mrim::CmdContactList, 0, ContactListBody(groups, contacts))};
        EXPECT_TRUE(GoOnline(id));
        EXPECT_TRUE(BusTest::WaitUntil([&]() { return Items(id).size() == groups.size() + contacts.size(); }));
        bob = ContactByEmail(id, L"bob@example.org");
        return id;
    }

    // Makes the windows of the pages the account appended, as a tabbed host does.
    std::vector<HWND> MakePanes()
    {
        std::vector<HWND> windows;
        for (int i = 0; i < pages.GetCount(); ++i) {
            UI::CZELWMUI_SettingsPan* pane = dynamic_cast<UI::CZELWMUI_SettingsPan*>(pages[i]);
            windows.push_back(pane ? pane->Create(host) : nullptr);
        }
        return windows;
    }
    // OK: every page stores, in order, until one refuses.
    bool StorePanes()
    {
        for (int i = 0; i < pages.GetCount(); ++i) {
            UI::CZELWMUI_TabPan* pane = dynamic_cast<UI::CZELWMUI_SettingsPan*>(pages[i]);
            if (!pane || !pane->DoDataExchange(1)) return false;
        }
        return true;
    }
    void ClearPanes()
    {
        for (int i = 0; i < pages.GetCount(); ++i) delete dynamic_cast<UI::CZELWMUI_SettingsPan*>(pages[i]);
        pages = ZELTabDlg::PanList();
    }
    std::wstring StoredString(unsigned id, const wchar_t* name, unsigned char scrambled = 0)
    {
        CZELString value;
        manager->GetAccountString(id, CZELString(name), value, scrambled);
        return Wide(value);
    }
    // Items of the menu the account fills for the account's own menu.
    CMenuItem AccountMenuItem(unsigned id, const wchar_t* text)
    {
        CPopupMenu menu;
        for (int command = 1000; command <= 1005; ++command)
            menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, -1, CZELString(L"host"), command, nullptr, 0, false));
        manager->FillAccountMenu(id, &menu);
        for (int i = 0; i < menu.GetCount(); ++i)
            if (Wide(menu.items[i].text) == text) return menu.items[i];
        ADD_FAILURE() << "no menu item";
        return CMenuItem(MENU_ITEM_PLAIN, -1, CZELString(), 0, nullptr, 0, false);
    }

    // Shows each pane the account appended, alone and at its template's size, and checks its look.
    void CheckPanes(const std::vector<PaneLook::Look>& looks, COLORREF background, COLORREF text)
    {
        HMODULE dax = GetModuleHandleW(L"Dax.dll");
        std::vector<HWND> panes = MakePanes();
        ASSERT_EQ(looks.size(), panes.size());
        for (size_t i = 0; i < panes.size(); ++i) {
            ASSERT_NE(nullptr, panes[i]);
            for (HWND other : panes)
                if (other != panes[i]) ShowWindow(other, SW_HIDE);
            SIZE size = {};
            PaneLook::ReadTemplate(dax, looks[i].dialog, &size);
            RECT r = {0, 0, size.cx, size.cy};
            MapDialogRect(panes[i], &r);
            SetWindowPos(panes[i], HWND_TOP, 0, 0, r.right, r.bottom, SWP_SHOWWINDOW);
            PaneLook::Settle(panes[i]);
            PumpMessages();
            PaneLook::Check(panes[i], dax, looks[i], background, text);
        }
        ClearPanes();
    }
    // A modal dialog opened by a menu item, checked while it stands, then cancelled.
    void CheckDialog(const CMenuItem& item, const PaneLook::Look& look, COLORREF background, COLORREF text)
    {
        ASSERT_NE(nullptr, item.callback);
        HMODULE dax = GetModuleHandleW(L"Dax.dll");
        WithDialog([&]() { item.callback(0, item.argument); },
                   [&](HWND dialog) {
                       PaneLook::Settle(dialog);
                       PaneLook::Check(dialog, dax, look, background, text);
                       PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                   });
    }
    static void PumpMessages()
    {
        MSG message;
        for (int i = 0; i < 10; ++i) {
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
            Sleep(10);
        }
    }
    // Every pane and dialog of the plug-in on the skin's colours, at the screen's density.
    void CheckEveryPaneAndDialog()
    {
        const COLORREF background = RGB(10, 120, 200), text = RGB(250, 250, 0);
        HBRUSH brush = CreateSolidBrush(background);
        skin.SetBkBrush(brush);
        skin.SetTextColor(text);
        // Room for the largest pane at twice the density.
        SetWindowPos(host, nullptr, 0, 0, 640, 720, SWP_NOZORDER | SWP_NOMOVE);
        unsigned id = OnlineWithList();
        ASSERT_NE(0, bob);

        manager->GetSettingsPages(id, &pages);
        CheckPanes({{L"DaxAccount", IDD_DAX_ACCOUNT, IDC_ACCOUNT_LABEL, IDC_ACCOUNT_USER},
                    {L"DaxAdvanced", IDD_DAX_ADVANCED, IDC_HIDE_EMAIL_LABEL, IDC_HIDE_EMAIL}},
                   background, text);

        manager->GetOwnDetailsPages(id, &pages);
        CheckPanes({{L"DaxOwnDetails", IDD_DAX_OWN_DETAILS, IDC_OWN_DETAILS_TEXT, IDC_OWN_DETAILS_OPEN}}, background,
                   text);

        manager->GetContactDetailsPages(id, bob, &pages);
        ReceivedPacket request;
        EXPECT_TRUE(server->WaitFor(Mrim::CmdDirectoryRequest, request));
        server->SendPacket(Mrim::CmdAnketaInfo, request.header.sequence,
                           Wire().U32(1).U32(10).U32(1).U32(0).Lps("Username").Lps("Domain").Lps("Nickname")
                               .Lps("FirstName").Lps("LastName").Lps("Sex").Lps("Birthday").Lps("Zodiac")
                               .Lps("Country_id").Lps("City_id").Lps("bob").Lps("example.org").Lps16(L"Bobby")
                               .Lps16(L"Robert").Lps16(L"Smith").Lps("2").Lps("1980-00-05").Lps("5").Lps("24")
                               .Lps("25"));
        EXPECT_TRUE(BusTest::WaitUntil([&]() { return Property(bob, L"DAX: last name") == L"Smith"; }));
        CheckPanes({{L"DaxGeneral", IDD_DAX_GENERAL, IDC_GENERAL_NICKNAME_LABEL, IDC_GENERAL_NICKNAME},
                    {L"DaxHome", IDD_DAX_HOME, IDC_HOME_COUNTRY_LABEL, IDC_HOME_COUNTRY},
                    {L"DaxPersonal", IDD_DAX_PERSONAL, IDC_PERSONAL_BIRTHDAY_LABEL, IDC_PERSONAL_BIRTHDAY}},
                   background, text);

        manager->GetSearchPages(id, &pages);
        CheckPanes({{L"DaxSearchEmail", IDD_DAX_SEARCH_EMAIL, IDC_SEARCH_EMAIL_LABEL, IDC_SEARCH_EMAIL},
                    {L"DaxSearchGlobal", IDD_DAX_SEARCH_GLOBAL, IDC_GLOBAL_GENDER_LABEL, IDC_GLOBAL_COUNTRY}},
                   background, text);

        CheckDialog(AccountMenuItem(id, L"Add contact"),
                    {L"DaxAddContact", IDD_DAX_ADD_CONTACT, IDC_ADD_GROUP_LABEL, IDC_ADD_EMAIL}, background, text);
        CPopupMenu menu;
        for (int command = 4000; command <= 4012; ++command)
            menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, -1, CZELString(L"host"), command, nullptr, 0, false));
        manager->FillContactMenu(id, bob, &menu);
        CMenuItem ask(MENU_ITEM_PLAIN, -1, CZELString(), 0, nullptr, 0, false);
        for (int i = 0; i < menu.GetCount(); ++i)
            if (Wide(menu.items[i].text) == L"Authorization request") ask = menu.items[i];
        CheckDialog(ask, {L"DaxAskText", IDD_DAX_ASK_TEXT, 0, IDC_ASK_TEXT}, background, text);

        skin.SetBkBrush(nullptr);
        DeleteObject(brush);
    }

    HWND host = nullptr;
    ZELTabDlg::PanList pages;
    int bob = 0;
};

TEST_F(DaxPanesTest, AccountPaneNamesTheNextLogin)
{
    ZEL_REQUIRE_DISPLAY();
    unsigned id = CreateAccount();
    manager->GetSettingsPages(id, &pages);
    ASSERT_EQ(2, pages.GetCount());
    EXPECT_EQ(L"Account", Wide(pages[0]->GetTitle()));
    EXPECT_EQ(L"Advanced", Wide(pages[1]->GetTitle()));
    EXPECT_EQ(IDD_DAX_ACCOUNT, pages[0]->GetResource().templateId);
    EXPECT_EQ(1, pages[0]->GetIcons().GetCount());
    std::vector<HWND> panes = MakePanes();
    HWND pane = panes[0];
    ASSERT_NE(nullptr, pane);
    // "me@example.org": the third domain; the stored password shows as the mask only.
    EXPECT_EQ(L"me", ItemText(pane, IDC_ACCOUNT_USER));
    EXPECT_EQ(2, SendDlgItemMessageW(pane, IDC_ACCOUNT_DOMAIN, CB_GETCURSEL, 0, 0));
    EXPECT_EQ(5, SendDlgItemMessageW(pane, IDC_ACCOUNT_DOMAIN, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(L"**************", ItemText(pane, IDC_ACCOUNT_PASSWORD));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(pane, IDC_SHOW_PASSWORD)));

    Type(GetDlgItem(pane, IDC_ACCOUNT_USER), L"alice");
    SendDlgItemMessageW(pane, IDC_ACCOUNT_DOMAIN, CB_SETCURSEL, 1, 0);
    // Emptied, the password may be shown as typed.
    Type(GetDlgItem(pane, IDC_ACCOUNT_PASSWORD), L"");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(pane, IDC_SHOW_PASSWORD)));
    Type(GetDlgItem(pane, IDC_ACCOUNT_PASSWORD), L"s3cret");
    ASSERT_TRUE(StorePanes());
    ASSERT_TRUE(BusTest::WaitUntil([&]() { return StoredString(id, L"Account name") == L"alice@example.net"; }));
    EXPECT_EQ(L"s3cret", StoredString(id, L"Account password", 1));
    Settle();
    EXPECT_EQ(1u, recorder->Events(PMEV_ACCOUNT_RENAMED).size());

    ASSERT_TRUE(GoOnline(id));
    ReceivedPacket login;
    ASSERT_TRUE(server->WaitFor(Mrim::CmdLogin, login));
    EXPECT_TRUE(Contains(login.body, "alice@example.net"));
    EXPECT_TRUE(Contains(login.body, "s3cret"));

    // Reopened: the mask again, and a store without touching it keeps the password and the name.
    ClearPanes();
    manager->GetSettingsPages(id, &pages);
    panes = MakePanes();
    EXPECT_EQ(L"**************", ItemText(panes[0], IDC_ACCOUNT_PASSWORD));
    ASSERT_TRUE(StorePanes());
    Settle();
    EXPECT_EQ(L"s3cret", StoredString(id, L"Account password", 1));
    EXPECT_EQ(1u, recorder->Events(PMEV_ACCOUNT_RENAMED).size());
}

TEST_F(DaxPanesTest, AccountPaneRefusesAHalfName)
{
    ZEL_REQUIRE_DISPLAY();
    unsigned id = CreateAccount();
    manager->SetAccountString(id, CZELString(L"Account name"), CZELString(L"plainname"), 0);
    manager->GetSettingsPages(id, &pages);
    HWND pane = MakePanes()[0];
    // No "@": an empty user part and no domain.
    EXPECT_EQ(L"", ItemText(pane, IDC_ACCOUNT_USER));
    EXPECT_EQ(CB_ERR, SendDlgItemMessageW(pane, IDC_ACCOUNT_DOMAIN, CB_GETCURSEL, 0, 0));
    // Both left empty: the stored name stays.
    ASSERT_TRUE(StorePanes());
    // A user part without a domain is refused with the focus on the domain; one holding "@" too.
    Type(GetDlgItem(pane, IDC_ACCOUNT_USER), L"alice");
    EXPECT_FALSE(StorePanes());
    EXPECT_EQ(GetDlgItem(pane, IDC_ACCOUNT_DOMAIN), GetFocus());
    Type(GetDlgItem(pane, IDC_ACCOUNT_USER), L"al@ice");
    SendDlgItemMessageW(pane, IDC_ACCOUNT_DOMAIN, CB_SETCURSEL, 0, 0);
    EXPECT_FALSE(StorePanes());
    EXPECT_EQ(GetDlgItem(pane, IDC_ACCOUNT_USER), GetFocus());
    Settle();
    EXPECT_EQ(L"plainname", StoredString(id, L"Account name"));
    EXPECT_TRUE(recorder->Events(PMEV_ACCOUNT_RENAMED).empty());
}

TEST_F(DaxPanesTest, HidingTheEmailButtonWhileOnlineAndOffline)
{
    ZEL_REQUIRE_DISPLAY();
    unsigned id = OnlineWithList();
    const int empty = skin.AcquireImage(CZELString(L"proto_mailboxempty.png"));
    manager->GetSettingsPages(id, &pages);
    HWND advanced = MakePanes()[1];
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(advanced, IDC_EMAIL_NOTIFY));
    EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(advanced, IDC_HIDE_EMAIL));
    Settle();
    recorder->Clear();
    SendDlgItemMessageW(advanced, IDC_HIDE_EMAIL, BM_CLICK, 0, 0);
    ASSERT_TRUE(StorePanes());
    ASSERT_TRUE(BusTest::WaitUntil([&]() {
        Settle();
        return !recorder->Events(PMEV_ACCOUNT_INDICATOR).empty();
    }));
    EXPECT_EQ(1, recorder->Events(PMEV_ACCOUNT_INDICATOR)[0].v2);
    char hidden = 0;
    manager->GetAccountByte(id, CZELString(L"HideEmailBtn"), &hidden);
    EXPECT_EQ(1, hidden);

    SendDlgItemMessageW(advanced, IDC_HIDE_EMAIL, BM_CLICK, 0, 0);
    ASSERT_TRUE(StorePanes());
    ASSERT_TRUE(BusTest::WaitUntil([&]() {
        Settle();
        return !recorder->Events(PMEV_ACCOUNT_TEXT).empty();
    }));
    EXPECT_EQ(std::vector<int>{empty}, recorder->Events(PMEV_ACCOUNT_TEXT)[0].images);

    // Offline only the setting changes.
    manager->SetStatus(id, AccountStatus::Offline);
    ASSERT_TRUE(WaitStatus(id, AccountStatus::Offline));
    Settle();
    recorder->Clear();
    SendDlgItemMessageW(advanced, IDC_HIDE_EMAIL, BM_CLICK, 0, 0);
    ASSERT_TRUE(StorePanes());
    ASSERT_TRUE(BusTest::WaitUntil([&]() {
        manager->GetAccountByte(id, CZELString(L"HideEmailBtn"), &hidden);
        return hidden == 1;
    }));
    Settle();
    EXPECT_TRUE(recorder->Events(PMEV_ACCOUNT_INDICATOR).empty());
    EXPECT_TRUE(recorder->Events(PMEV_ACCOUNT_TEXT).empty());
    skin.ReleaseImage(empty);
}

// The e-mail cell shows the full mailbox while mail is unread; the button hidden or shown while
// offline is what the next login follows, and a login to an empty mailbox shows it empty again.
TEST_F(DaxPanesTest, TheEmailCellFollowsUnreadMailAndTheNextLoginFollowsAnOfflineChange)
{
    ZEL_REQUIRE_DISPLAY();
    unsigned id = CreateAccount();
    const auto mailbox = [](const wchar_t* unread) {
        return Packet(Mrim::CmdUserInfo, 0, Wire().Lps("MESSAGES.TOTAL").Lps16(L"5").Lps("MESSAGES.UNREAD").Lps16(unread));
    };
    const auto cells = [&]() {
        Settle();
        std::vector<std::vector<int>> images;
        for (const AccountTest::Event& event : recorder->Events(PMEV_ACCOUNT_TEXT)) images.push_back(event.images);
        return images;
    };
    const auto removals = [&]() {
        Settle();
        return recorder->Events(PMEV_ACCOUNT_INDICATOR).size();
    };
    const auto storeHidden = [&](HWND advanced, bool hidden) {
        CheckDlgButton(advanced, IDC_HIDE_EMAIL, hidden ? BST_CHECKED : BST_UNCHECKED);
        ASSERT_TRUE(StorePanes());
        char stored = -1;
        ASSERT_TRUE(BusTest::WaitUntil([&]() {
            manager->GetAccountByte(id, CZELString(L"HideEmailBtn"), &stored);
            return stored == char(hidden);
        }));
    };

    Settle();
    recorder->Clear();  // the account's own cell, added when it was created
    server->afterLogin = {mailbox(L"2")};
    ASSERT_TRUE(GoOnline(id));
    // The plug-in holds its pictures once online; these are the same ones.
    const int empty = skin.AcquireImage(CZELString(L"proto_mailboxempty.png"));
    const int full = skin.AcquireImage(CZELString(L"proto_mailboxfull.png"));
    ASSERT_TRUE(BusTest::WaitUntil([&]() { return !cells().empty(); }));
    EXPECT_EQ(std::vector<std::vector<int>>{{full}}, cells());

    // Hidden and shown again while online: back with the full mailbox, not the empty one.
    manager->GetSettingsPages(id, &pages);
    HWND advanced = MakePanes()[1];
    recorder->Clear();
    storeHidden(advanced, true);
    ASSERT_TRUE(BusTest::WaitUntil([&]() { return removals() == 1; }));
    storeHidden(advanced, false);
    ASSERT_TRUE(BusTest::WaitUntil([&]() { return !cells().empty(); }));
    EXPECT_EQ(std::vector<std::vector<int>>{{full}}, cells());

    // Hidden while offline: the next login, mail and all, adds no cell.
    manager->SetStatus(id, AccountStatus::Offline);
    ASSERT_TRUE(WaitStatus(id, AccountStatus::Offline));
    storeHidden(advanced, true);
    Settle();
    recorder->Clear();
    const int webSessions = server->Count(Mrim::CmdWebSessionRequest);
    ASSERT_TRUE(GoOnline(id));
    // The mail count asks for a web session to tell of the mail: the login's mailbox was read.
    ReceivedPacket request;
    ASSERT_TRUE(server->WaitFor(Mrim::CmdWebSessionRequest, request, webSessions + 1));
    Sleep(100);
    EXPECT_TRUE(cells().empty());

    // Shown while offline: the next login adds the cell, for a mailbox now read empty.
    manager->SetStatus(id, AccountStatus::Offline);
    ASSERT_TRUE(WaitStatus(id, AccountStatus::Offline));
    storeHidden(advanced, false);
    Settle();
    recorder->Clear();
    server->afterLogin = {mailbox(L"0")};
    ASSERT_TRUE(GoOnline(id));
    ASSERT_TRUE(BusTest::WaitUntil([&]() { return !cells().empty(); }));
    EXPECT_EQ(std::vector<std::vector<int>>{{empty}}, cells());
    skin.ReleaseImage(full);
    skin.ReleaseImage(empty);
}

TEST_F(DaxPanesTest, AddContactFromTheAccountMenu)
{
    ZEL_REQUIRE_DISPLAY();
    unsigned id = OnlineWithList();
    CMenuItem add = AccountMenuItem(id, L"Add contact");
    ASSERT_NE(nullptr, add.callback);

    // An empty address keeps the dialog open with the focus there, and so does no group; then the
    // second group is chosen by its place in the list and OK sends the contact form.
    WithDialog([&]() { add.callback(0, add.argument); },
               [&](HWND dialog) {
                   HWND combo = GetDlgItem(dialog, IDC_ADD_GROUP);
                   EXPECT_EQ(2, SendMessageW(combo, CB_GETCOUNT, 0, 0));
                   EXPECT_EQ(0, SendMessageW(combo, CB_GETCURSEL, 0, 0));
                   FocusControl(dialog, IDC_ADD_NAME);
                   SendMessageW(dialog, WM_COMMAND, IDOK, 0);
                   EXPECT_TRUE(IsWindowVisible(dialog));
                   EXPECT_EQ(GetDlgItem(dialog, IDC_ADD_EMAIL), FocusOn(dialog));
                   Type(GetDlgItem(dialog, IDC_ADD_EMAIL), L"carol@example.org");
                   Type(GetDlgItem(dialog, IDC_ADD_NAME), L"Carol");
                   SendMessageW(combo, CB_SETCURSEL, WPARAM(-1), 0);
                   FocusControl(dialog, IDC_ADD_NAME);
                   SendMessageW(dialog, WM_COMMAND, IDOK, 0);
                   EXPECT_TRUE(IsWindowVisible(dialog));
                   EXPECT_EQ(combo, FocusOn(dialog));
                   EXPECT_EQ(0, server->Count(Mrim::CmdAddContact));
                   SendMessageW(combo, CB_SETCURSEL, 1, 0);
                   PostMessageW(dialog, WM_COMMAND, IDOK, 0);
               });
    ReceivedPacket request;
    ASSERT_TRUE(server->WaitFor(Mrim::CmdAddContact, request));
    EXPECT_EQ(ToHex(Mrim::AddContactBody(1, CZELString(L"carol@example.org"), CZELString(L"Carol"),
                                         CZELString(L"Please authorize my request."))),
              ToHex(request.body));
    server->SendPacket(Mrim::CmdAddContactAck, request.header.sequence, Wire().U32(0).U32(9));
    ASSERT_TRUE(BusTest::WaitUntil([&]() { return ContactByEmail(id, L"carol@example.org") != 0; }));

    // Cancel sends nothing.
    WithDialog([&]() { add.callback(0, add.argument); },
               [&](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); });
    Sleep(200);
    EXPECT_EQ(1, server->Count(Mrim::CmdAddContact));
}

// "Add contact" from a group's menu offers that group; the list's name of it may differ from the
// server's in letter case only, and the contact still lands in it.
TEST_F(DaxPanesTest, AddContactFromAGroupNamedInOtherLetterCaseLandsInThatGroup)
{
    ZEL_REQUIRE_DISPLAY();
    unsigned id = OnlineWithList();
    int friends = 0;
    for (const ContactListItemPair& pair : Items(id))
        if (!pair.contactId && Property(pair.groupId, L"Account name") == L"Friends") friends = pair.groupId;
    ASSERT_NE(0, friends);
    contactList->SetPropertyString(friends, CZELString(L"Account name"), CZELString(L"fRIENDS"));
    CPopupMenu menu;
    for (int command = 2000; command <= 2005; ++command)
        menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, -1, CZELString(L"host"), command, nullptr, 0, false));
    manager->FillGroupMenu(id, friends, &menu);
    CMenuItem add(MENU_ITEM_PLAIN, -1, CZELString(), 0, nullptr, 0, false);
    for (int i = 0; i < menu.GetCount(); ++i)
        if (Wide(menu.items[i].text) == L"Add contact") add = menu.items[i];
    ASSERT_NE(nullptr, add.callback);

    WithDialog([&]() { add.callback(0, add.argument); },
               [&](HWND dialog) {
                   EXPECT_EQ(1, SendDlgItemMessageW(dialog, IDC_ADD_GROUP, CB_GETCURSEL, 0, 0));
                   EXPECT_EQ(L"fRIENDS", ItemText(dialog, IDC_ADD_GROUP));  // as the list names it
                   Type(GetDlgItem(dialog, IDC_ADD_EMAIL), L"carol@example.org");
                   PostMessageW(dialog, WM_COMMAND, IDOK, 0);
               });
    ReceivedPacket request;
    ASSERT_TRUE(server->WaitFor(Mrim::CmdAddContact, request));
    EXPECT_EQ(ToHex(Mrim::AddContactBody(1, CZELString(L"carol@example.org"), CZELString(),
                                         CZELString(L"Please authorize my request."))),
              ToHex(request.body));
    server->SendPacket(Mrim::CmdAddContactAck, request.header.sequence, Wire().U32(0).U32(9));
    int carol = 0;
    ASSERT_TRUE(BusTest::WaitUntil([&]() { return (carol = ContactByEmail(id, L"carol@example.org")) != 0; }));
    EXPECT_EQ(friends, contactList->GetContactGroup(carol));
    EXPECT_TRUE(Warnings().empty());
}

TEST_F(DaxPanesTest, AddContactNeedsAGroupThatStillExists)
{
    ZEL_REQUIRE_DISPLAY();
    unsigned id = OnlineWithList({});
    CMenuItem add = AccountMenuItem(id, L"Add contact");
    add.callback(0, add.argument);  // no dialog: there is no group
    ASSERT_TRUE(BusTest::WaitUntil([&]() {
        Settle();
        for (const std::wstring& warning : Warnings())
            if (warning == L"Please add at least one group") return true;
        return false;
    }));
    EXPECT_EQ(0, server->Count(Mrim::CmdAddContact));
}

TEST_F(DaxPanesTest, AGroupGoneWhileTheDialogWasOpenIsNamedInAWarning)
{
    ZEL_REQUIRE_DISPLAY();
    unsigned id = OnlineWithList();
    CMenuItem add = AccountMenuItem(id, L"Add contact");
    WithDialog([&]() { add.callback(0, add.argument); },
               [&](HWND dialog) {
                   Type(GetDlgItem(dialog, IDC_ADD_EMAIL), L"carol@example.org");
                   SendDlgItemMessageW(dialog, IDC_ADD_GROUP, CB_SETCURSEL, 1, 0);
                   // The server's new list no longer has "Friends".
                   server->SendPacket(Mrim::CmdContactList, 0, ContactListBody({L"Work"}, {}));
                   EXPECT_TRUE(BusTest::WaitUntil([&]() { return Items(id).size() == 1; }));
                   PostMessageW(dialog, WM_COMMAND, IDOK, 0);
               });
    ASSERT_TRUE(BusTest::WaitUntil([&]() {
        Settle();
        for (const std::wstring& warning : Warnings())
            if (warning.find(L"\"Friends\"") != std::wstring::npos) return true;
        return false;
    }));
    EXPECT_EQ(0, server->Count(Mrim::CmdAddContact));
}

TEST_F(DaxPanesTest, AuthorizationRequestAsksForTheReason)
{
    ZEL_REQUIRE_DISPLAY();
    unsigned id = OnlineWithList();
    CPopupMenu menu;
    for (int command = 4000; command <= 4012; ++command)
        menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, -1, CZELString(L"host"), command, nullptr, 0, false));
    manager->FillContactMenu(id, bob, &menu);
    CMenuItem ask(MENU_ITEM_PLAIN, -1, CZELString(), 0, nullptr, 0, false);
    for (int i = 0; i < menu.GetCount(); ++i)
        if (Wide(menu.items[i].text) == L"Authorization request") ask = menu.items[i];
    ASSERT_NE(nullptr, ask.callback);

    WithDialog([&]() { ask.callback(0, ask.argument); },
               [&](HWND dialog) {
                   EXPECT_EQ(L"Please authorize my request.", ItemText(dialog, IDC_ASK_TEXT));
                   PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
               });
    Sleep(200);
    EXPECT_EQ(0, server->Count(Mrim::CmdMessage));

    WithDialog([&]() { ask.callback(0, ask.argument); },
               [&](HWND dialog) {
                   Type(GetDlgItem(dialog, IDC_ASK_TEXT), L"It's me, Alice");
                   PostMessageW(dialog, WM_COMMAND, IDOK, 0);
               });
    ReceivedPacket request;
    ASSERT_TRUE(server->WaitFor(Mrim::CmdMessage, request));
    EXPECT_EQ(ToHex(Mrim::AuthRequestBody(CZELString(L"bob@example.org"), CZELString(L"It's me, Alice"))),
              ToHex(request.body));
}

TEST_F(DaxPanesTest, ContactDetailsFillTheirPanes)
{
    ZEL_REQUIRE_DISPLAY();
    unsigned id = OnlineWithList();
    manager->GetContactDetailsPages(id, bob, &pages);
    ASSERT_EQ(3, pages.GetCount());
    ReceivedPacket request;
    ASSERT_TRUE(server->WaitFor(Mrim::CmdDirectoryRequest, request));
    server->SendPacket(Mrim::CmdAnketaInfo, request.header.sequence,
                       Wire().U32(1).U32(10).U32(1).U32(0).Lps("Username").Lps("Domain").Lps("Nickname")
                           .Lps("FirstName").Lps("LastName").Lps("Sex").Lps("Birthday").Lps("Zodiac").Lps("Country_id")
                           .Lps("City_id").Lps("bob").Lps("example.org").Lps16(L"Bobby").Lps16(L"Robert")
                           .Lps16(L"Smith").Lps("2").Lps("1980-00-05").Lps("5").Lps("24").Lps("25"));
    ASSERT_TRUE(BusTest::WaitUntil([&]() { return Property(bob, L"DAX: last name") == L"Smith"; }));
    std::vector<HWND> panes = MakePanes();
    EXPECT_EQ(L"bob@example.org", ItemText(panes[0], IDC_GENERAL_ACCOUNT));
    EXPECT_EQ(L"Bobby", ItemText(panes[0], IDC_GENERAL_NICKNAME));
    EXPECT_EQ(L"Robert", ItemText(panes[0], IDC_GENERAL_FIRST_NAME));
    EXPECT_EQ(L"Smith", ItemText(panes[0], IDC_GENERAL_LAST_NAME));
    EXPECT_EQ(L"Russia", ItemText(panes[1], IDC_HOME_COUNTRY));
    EXPECT_EQ(L"Moscow", ItemText(panes[1], IDC_HOME_REGION));
    EXPECT_EQ(L"Female", ItemText(panes[2], IDC_PERSONAL_GENDER));
    EXPECT_EQ(L"Leo", ItemText(panes[2], IDC_PERSONAL_ZODIAC));
    EXPECT_EQ(L"05//1980", ItemText(panes[2], IDC_PERSONAL_BIRTHDAY));

    // Ids the tables do not know show nothing.
    int country = 7777, region = 8888, gender = 3;
    contactList->SetPropertyInt(bob, CZELString(L"DAX: country id"), &country);
    contactList->SetPropertyInt(bob, CZELString(L"DAX: region id"), &region);
    contactList->SetPropertyInt(bob, CZELString(L"DAX: gender id"), &gender);
    ClearPanes();
    manager->GetContactDetailsPages(id, bob, &pages);
    panes = MakePanes();
    EXPECT_EQ(L"", ItemText(panes[1], IDC_HOME_COUNTRY));
    EXPECT_EQ(L"", ItemText(panes[1], IDC_HOME_REGION));
    EXPECT_EQ(L"", ItemText(panes[2], IDC_PERSONAL_GENDER));
}

TEST_F(DaxPanesTest, SearchPanesFillTheQueryAndAnEmptyOneEndsAtOnce)
{
    ZEL_REQUIRE_DISPLAY();
    unsigned id = OnlineWithList();
    manager->GetSearchPages(id, &pages);
    ASSERT_EQ(2, pages.GetCount());
    std::vector<HWND> panes = MakePanes();
    HWND global = panes[1];
    EXPECT_EQ(3, SendDlgItemMessageW(global, IDC_GLOBAL_GENDER, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(55, SendDlgItemMessageW(global, IDC_GLOBAL_COUNTRY, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(L"0", ItemText(global, IDC_GLOBAL_AGE_FROM));

    // Nothing filled in: the search ends at once with the end row and sends nothing.
    Settle();
    recorder->Clear();
    ASSERT_TRUE(StorePanes());
    manager->StartSearch(id, 1);
    ASSERT_TRUE(BusTest::WaitUntil([&]() {
        Settle();
        return recorder->Events(PMEV_SEARCH_RESULT).size() == 1;
    }));
    EXPECT_EQ(0, server->Count(Mrim::CmdDirectoryRequest));

    // By the global form: a nickname and the first country (the table's lowest id, 24).
    Type(GetDlgItem(global, IDC_GLOBAL_NICKNAME), L"Bob");
    SendDlgItemMessageW(global, IDC_GLOBAL_COUNTRY, CB_SETCURSEL, 1, 0);
    ASSERT_TRUE(StorePanes());
    manager->StartSearch(id, 1);
    ReceivedPacket request;
    ASSERT_TRUE(server->WaitFor(Mrim::CmdDirectoryRequest, request));
    Mrim::SearchFields fields;
    fields.nickname = CZELString(L"Bob");
    fields.countryId = 24;
    EXPECT_EQ(ToHex(Mrim::FieldSearchBody(fields)), ToHex(request.body));

    // By address: the body of the address, then the fake's rows and the end row.
    Type(GetDlgItem(panes[0], IDC_SEARCH_EMAIL), L"eve@example.org");
    ASSERT_TRUE(StorePanes());
    Settle();
    recorder->Clear();
    manager->StartSearch(id, 0);
    ASSERT_TRUE(server->WaitFor(Mrim::CmdDirectoryRequest, request, 2));
    EXPECT_EQ(ToHex(Wire().U32(0).Lps("eve").U32(1).Lps("example.org")), ToHex(request.body));
    server->SendPacket(Mrim::CmdAnketaInfo, request.header.sequence,
                       Wire().U32(1).U32(3).U32(1).U32(0).Lps("Username").Lps("Domain").Lps("Nickname").Lps("eve")
                           .Lps("example.org").Lps16(L"Eve"));
    ASSERT_TRUE(BusTest::WaitUntil([&]() {
        Settle();
        return recorder->Events(PMEV_SEARCH_RESULT).size() == 2;
    }));
    EXPECT_FALSE(recorder->Events(PMEV_SEARCH_RESULT)[0].p2Kind.empty());  // Eve's row
    EXPECT_TRUE(recorder->Events(PMEV_SEARCH_RESULT)[1].p2Kind.empty());   // the end
}

// Every field of the global form reaches the request: the combos' ids, both ages, the online box.
// No selection and the empty first entry add no condition; an age that is not a number is none
// either (its other end then gets the default). The fake's rows come back as rows, then the end.
TEST_F(DaxPanesTest, GlobalSearchSendsEveryFieldOfItsForm)
{
    ZEL_REQUIRE_DISPLAY();
    unsigned id = OnlineWithList();
    SearchRows rows(bus);
    manager->GetSearchPages(id, &pages);
    ASSERT_EQ(2, pages.GetCount());
    HWND global = MakePanes()[1];
    ASSERT_NE(nullptr, global);
    // The genders in id order after the empty entry: 1 "Male", 2 "Female"; the countries likewise
    // (index 1 is id 24, index 3 id 34).
    struct {
        const wchar_t* nickname;
        int gender;  // combo index; -1: nothing selected
        const wchar_t* ageFrom;
        const wchar_t* ageTo;
        int country;
        bool online;
        Bytes body;
    } cases[] = {
        {L"", 2, L"20", L"30", 1, true,
         Wire().U32(5).Lps16(L"2").U32(7).Lps("20").U32(8).Lps("30").U32(15).Lps("24").U32(9).Lps16(L"1")},
        {L"", 1, L"18", L"", 3, false, Wire().U32(5).Lps16(L"1").U32(7).Lps("18").U32(8).Lps("120").U32(15).Lps("34")},
        {L"Bob", -1, L"abc", L"30", -1, false, Wire().U32(2).Lps16(L"Bob").U32(7).Lps("1").U32(8).Lps("30")},
        {L"Bob", 0, L"-5", L"", 0, false, Wire().U32(2).Lps16(L"Bob")},
        {L"Bob", -1, L"2x", L" ", -1, false, Wire().U32(2).Lps16(L"Bob")},
        {L"Bob", -1, L" 25 ", L"99999999999", -1, false, Wire().U32(2).Lps16(L"Bob").U32(7).Lps("25").U32(8).Lps("120")},
    };
    int sent = 0;
    for (const auto& test : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(test.nickname)) + " " + std::to_string(test.gender) + " " +
                     testing::PrintToString(std::wstring(test.ageFrom)) + " " +
                     testing::PrintToString(std::wstring(test.ageTo)) + " " + std::to_string(test.country));
        Type(GetDlgItem(global, IDC_GLOBAL_NICKNAME), test.nickname);
        SendDlgItemMessageW(global, IDC_GLOBAL_GENDER, CB_SETCURSEL, WPARAM(test.gender), 0);
        // Set as pasted text: the edits' digits-only style filters typing, not a paste.
        SetDlgItemTextW(global, IDC_GLOBAL_AGE_FROM, test.ageFrom);
        SetDlgItemTextW(global, IDC_GLOBAL_AGE_TO, test.ageTo);
        SendDlgItemMessageW(global, IDC_GLOBAL_COUNTRY, CB_SETCURSEL, WPARAM(test.country), 0);
        CheckDlgButton(global, IDC_GLOBAL_ONLINE, test.online ? BST_CHECKED : BST_UNCHECKED);
        ASSERT_TRUE(StorePanes());
        rows.Clear();
        manager->StartSearch(id, 1);
        ReceivedPacket request;
        ASSERT_TRUE(server->WaitFor(Mrim::CmdDirectoryRequest, request, ++sent));
        EXPECT_EQ(ToHex(test.body), ToHex(request.body));

        server->SendPacket(Mrim::CmdAnketaInfo, request.header.sequence,
                           Wire().U32(1).U32(5).U32(2).U32(0).Lps("Username").Lps("Domain").Lps("Nickname")
                               .Lps("FirstName").Lps("LastName").Lps("eve").Lps("example.org").Lps16(L"Eve")
                               .Lps16(L"Eva").Lps16(L"Stone").Lps("ann").Lps("example.net").Lps16(L"Annie")
                               .Lps16(L"Ann").Lps16(L"Lee"));
        ASSERT_TRUE(BusTest::WaitUntil([&]() { return rows.Rows().size() >= 3; }));
        Settle();
        std::vector<SearchRows::Row> got = rows.Rows();
        ASSERT_EQ(3u, got.size());
        EXPECT_FALSE(got[0].end);
        EXPECT_EQ(L"eve@example.org", got[0].email);
        EXPECT_EQ(L"Eve", got[0].nickname);
        EXPECT_EQ(L"Eva", got[0].firstName);
        EXPECT_EQ(L"Stone", got[0].lastName);
        EXPECT_FALSE(got[1].end);
        EXPECT_EQ(L"ann@example.net", got[1].email);
        EXPECT_EQ(L"Annie", got[1].nickname);
        EXPECT_TRUE(got[2].end);
    }
}

// A search with nothing to send, or no session to send it on, ends at once with the end row alone,
// so the search dialog leaves "Stop"; nothing reaches the server.
TEST_F(DaxPanesTest, ASearchThatSendsNothingEndsAtOnce)
{
    ZEL_REQUIRE_DISPLAY();
    unsigned id = CreateAccount();
    server->afterLogin = {Packet(Mrim::CmdContactList, 0, ContactListBody({L"Work"}, {}))};
    SearchRows rows(bus);
    manager->GetSearchPages(id, &pages);
    std::vector<HWND> panes = MakePanes();
    ASSERT_EQ(2u, panes.size());
    struct {
        bool online;
        int kind;  // 0 by address, 1 by the global form
        const wchar_t* text;
    } cases[] = {
        {false, 0, L"eve@example.org"},
        {false, 1, L"Bob"},
        {true, 0, L"@example.org"},
        {true, 0, L"eve"},
        {true, 0, L""},
        {true, 1, L""},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(std::to_string(test.online) + " " + std::to_string(test.kind) + " " +
                     testing::PrintToString(std::wstring(test.text)));
        if (test.online && Status(id) != AccountStatus::Online) {
            ASSERT_TRUE(GoOnline(id));
        }
        Type(GetDlgItem(panes[0], IDC_SEARCH_EMAIL), test.kind == 0 ? test.text : L"");
        Type(GetDlgItem(panes[1], IDC_GLOBAL_NICKNAME), test.kind == 1 ? test.text : L"");
        ASSERT_TRUE(StorePanes());
        rows.Clear();
        manager->StartSearch(id, test.kind);
        ASSERT_TRUE(BusTest::WaitUntil([&]() { return !rows.Rows().empty(); }, 3000));
        Sleep(100);
        Settle();
        ASSERT_EQ(1u, rows.Rows().size());
        EXPECT_TRUE(rows.Rows()[0].end);
        EXPECT_EQ(0, server->Count(Mrim::CmdDirectoryRequest));
    }
}

TEST_F(DaxPanesTest, OwnDetailsOpenTheUserPageOnceTheKeyCame)
{
    ZEL_REQUIRE_DISPLAY();
    unsigned id = OnlineWithList();
    manager->SetAccountString(id, CZELString(L"User info address"), CZELString(L"http://info.test/cgi-bin/userinfo?dax=1"), 0);
    manager->GetSettingsPages(id, nullptr);  // the account reads what is stored
    std::vector<std::wstring> opened;
    SetShellOpenInterceptor(
        [](LPCWSTR address, void* context) {
            static_cast<std::vector<std::wstring>*>(context)->push_back(address);
            return TRUE;
        },
        &opened);
    manager->GetOwnDetailsPages(id, &pages);
    ASSERT_EQ(1, pages.GetCount());
    ReceivedPacket request;
    ASSERT_TRUE(server->WaitFor(Mrim::CmdWebSessionRequest, request));
    HWND pane = MakePanes()[0];
    HWND open = GetDlgItem(pane, IDC_OWN_DETAILS_OPEN);
    EXPECT_EQ(L"Open...", ItemText(pane, IDC_OWN_DETAILS_OPEN));
    EXPECT_FALSE(IsWindowEnabled(open));  // no key yet

    server->SendPacket(Mrim::CmdWebSessionKey, request.header.sequence, Wire().U32(1).Lps("K+1"));
    ASSERT_TRUE(BusTest::WaitUntil([&]() {
        Settle();
        return !recorder->Events(PMEV_DETAILS_RECEIVED).empty();
    }));
    // The host reloads the pane when the details change.
    dynamic_cast<UI::CZELWMUI_TabPan*>(dynamic_cast<UI::CZELWMUI_SettingsPan*>(pages[0]))->DoDataExchange(0);
    ASSERT_TRUE(IsWindowEnabled(open));
    SendMessageW(open, BM_CLICK, 0, 0);
    SetShellOpenInterceptor(nullptr, nullptr);
    ASSERT_EQ(1u, opened.size());
    EXPECT_EQ(L"http://auth.test/cgi-bin/auth?Login=me%40example.org&agent=K%2B1&page="
              L"http://info.test/cgi-bin/userinfo?dax=1",
              opened[0]);
}

// Each pane on the skin's background, its labels in the skin's text colour, its controls where the
// template's dialog units put them; screenshots are kept for a person to look at.
TEST_F(DaxPanesTest, PanesShowTheSkinsColoursAndTheirTemplatesLayout)
{
    ZEL_REQUIRE_DISPLAY();
    const COLORREF background = RGB(10, 120, 200), text = RGB(250, 250, 0);
    HBRUSH brush = CreateSolidBrush(background);
    skin.SetBkBrush(brush);
    skin.SetTextColor(text);
    unsigned id = OnlineWithList();
    manager->GetSettingsPages(id, &pages);
    std::vector<HWND> panes = MakePanes();
    HWND pane = panes[0];
    SetWindowPos(pane, HWND_TOP, 0, 0, 240, 200, SWP_SHOWWINDOW);
    RedrawWindow(pane, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    MSG message;
    for (int i = 0; i < 20; ++i) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        Sleep(10);
    }

    TestSupport::Image shot;
    ASSERT_TRUE(TestSupport::CaptureWindow(pane, false, &shot));
    TestSupport::SaveScreenshot(pane, false, L"DaxAccountPane.png");
    EXPECT_EQ(TestSupport::Rgb(background), shot.At(2, shot.height - 2));  // beside and below the controls
    RECT label = {};
    GetWindowRect(GetDlgItem(pane, IDC_ACCOUNT_LABEL), &label);
    MapWindowPoints(nullptr, pane, reinterpret_cast<POINT*>(&label), 2);
    int inked = 0;
    for (int y = label.top; y < label.bottom && y < shot.height; ++y)
        for (int x = label.left; x < label.right && x < shot.width; ++x) inked += shot.At(x, y) == TestSupport::Rgb(text);
    EXPECT_GT(inked, 5) << "the label \"Account\" in the skin's text colour";

    // The user edit stands where its dialog units say.
    RECT expected = {4, 14, 4 + 148, 14 + 13};
    MapDialogRect(pane, &expected);
    RECT edit = {};
    GetWindowRect(GetDlgItem(pane, IDC_ACCOUNT_USER), &edit);
    MapWindowPoints(nullptr, pane, reinterpret_cast<POINT*>(&edit), 2);
    EXPECT_EQ(expected.left, edit.left);
    EXPECT_EQ(expected.top, edit.top);
    EXPECT_EQ(expected.right, edit.right);
    EXPECT_EQ(expected.bottom, edit.bottom);

    const wchar_t* names[] = {L"DaxAccountPane.png", L"DaxAdvancedPane.png"};
    for (size_t i = 1; i < panes.size() && i < 2; ++i) TestSupport::SaveScreenshot(panes[i], false, names[i]);
    ClearPanes();
    skin.SetBkBrush(nullptr);
    DeleteObject(brush);
}

// Every pane and dialog on the skin's brush, a label in its text colour, a control framed where its
// template's dialog units put it: at the display's density, and in a process started at 192 dpi.
TEST_F(DaxPanesTest, EveryPaneAndDialogFollowsTheSkinAndItsTemplate)
{
    ZEL_REQUIRE_DISPLAY();
    ASSERT_EQ(96, TestSupport::ScreenDensity());
    CheckEveryPaneAndDialog();
}

TEST_F(DaxPanesTest, EveryPaneAndDialogFollowsTheSkinAndItsTemplateAt192Dpi)
{
    ZEL_REQUIRE_DISPLAY();
    ZEL_AT_SYSTEM_DENSITY(192);
    CheckEveryPaneAndDialog();
}
