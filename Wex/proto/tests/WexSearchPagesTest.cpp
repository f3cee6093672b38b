// A Wex account's search pages in the program's own search dialog: the dialog asks the real
// protocols manager for them, Wex.dll makes them from its templates, they are driven by window
// messages, and the search goes to the fake server, whose hits come back as the dialog's rows
// through the same relay the main window runs. Also the age table and the id field as tables.
#include "WexAccountFixture.h"

#include "Wex/dialogs/SearchPages.h"
#include "Wex/dialogs/WexResources.h"
#include "Wex/proto/MetaCommands.h"

#include "Handheld/tests/DisplayRequirement.h"
#include "Zel/core/accounts/ManagerPayloads.h"
#include "Zel/core/tests/BusTestSupport.h"
#include "Zel/prefs/PreferencesDialog.h"
#include "Zel/prefs/SearchDialog.h"
#include "Zel/shell/dialogs/DialogTemplates.h"
#include "ZELCommon/ZELTabDlg_IPan.h"
#include "ZELCommon/ZELWMUI_SettingsPan.h"
#include "ZELCommon/tests/UiTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using TestSupport::Scripted;
using namespace WexTest;

TEST(WexSearchTables, AgeRowsStoreTheirBoundsAndNoRowIsAny)
{
    const struct {
        intptr_t row;
        const wchar_t* text;
        int min, max;
    } cases[] = {
        {0, L"", 0, 0},           {1, L"13-17", 13, 17}, {4, L"30-39", 30, 39}, {6, L"50-59", 50, 59},
        {7, L"60 ...", 60, 231},  // the last row's upper bound is 231, not 255
        {-1, L"", 0, 0},          // the list left without a choice
        {8, L"", 0, 0},           {1000, L"", 0, 0},
    };
    for (const auto& c : cases) {
        const WexSearch::AgeRange& range = WexSearch::AgeRangeOfRow(c.row);
        EXPECT_STREQ(range.text, c.text) << c.row;
        EXPECT_EQ(range.min, c.min) << c.row;
        EXPECT_EQ(range.max, c.max) << c.row;
    }
}

TEST(WexSearchTables, OnlyA32BitNumberIsAnIdToSearchFor)
{
    const struct {
        const wchar_t* text;
        unsigned uin;
    } cases[] = {
        {L"", 0},           {L"0", 0},           {L"123456", 123456},   {L"000042", 42},
        {L"4294967295", 4294967295u},            {L"4294967296", 0},    {L"99999999999999999999", 0},
        {L"12a", 0},        {L" 12", 0},         {L"-5", 0},            {L"+5", 0},
        {L"\x0661\x0662", 0},  // digits of another script are not the network's
    };
    for (const auto& c : cases) EXPECT_EQ(WexSearch::ParseSearchUin(CZELString(c.text)), c.uin) << wcslen(c.text);
}

namespace {

const unsigned kRelayMessage = WM_APP + 0x51;

// The main window's part for search rows: the protocols manager's PMEV_SEARCH_RESULT, handed from a
// queue thread to the user interface's thread with SendMessage (so the row lives until handled),
// and given to the open search dialog there.
class SearchRelay : public QueueReceiver {
public:
    explicit SearchRelay(Services::CServicesManager& bus) : bus(bus)
    {
        WNDCLASSW type = {};
        type.lpfnWndProc = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
            if (message == kRelayMessage) {
                AddSearchResult(reinterpret_cast<const void*>(lParam));
                return 0;
            }
            return DefWindowProcW(window, message, wParam, lParam);
        };
        type.hInstance = GetModuleHandleW(nullptr);
        type.lpszClassName = L"WexSearchRelay";
        RegisterClassW(&type);
        window = CreateWindowExW(0, type.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, type.hInstance, nullptr);
        queue = bus.CreateQueue(this, CZELString(L"Search relay"));
        bus.Subscribe(GUID_PROTOCOLS_MANAGER, PMEV_SEARCH_RESULT, queue);
    }
    ~SearchRelay() override
    {
        bus.DestroyQueue(queue);
        DestroyWindow(window);
    }
    int HandleMessage(const ZEL_GUID& msgClass, int code, CRefObject*, CRefObject* p2) override
    {
        // Bounded, so that a row still on its way when the test ends cannot hold the queue's end.
        DWORD_PTR result = 0;
        if (msgClass == GUID_PROTOCOLS_MANAGER && code == PMEV_SEARCH_RESULT)
            SendMessageTimeoutW(window, kRelayMessage, 0, LPARAM(p2), SMTO_NORMAL, 5000, &result);
        return 0;
    }

private:
    Services::CServicesManager& bus;
    HWND window = nullptr;
    int queue = 0;
};

// Handles this thread's messages until condition holds or the time is over.
bool PumpUntil(const std::function<bool()>& condition, DWORD milliseconds = 10000)
{
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > milliseconds) return false;
        TestSupport::PumpMessages();
        Sleep(5);
    }
    return true;
}

std::wstring Wide(const CZELString& text)
{
    return text.GetBuffer() ? std::wstring(text.GetBuffer(), size_t(text.GetLength())) : std::wstring();
}

class SearchDialogUnderTest : public Scripted<CSearchDialog> {
public:
    using Scripted<CSearchDialog>::Scripted;
    void OnInitDialog() override
    {
        Scripted<CSearchDialog>::OnInitDialog();
        StartScript();
    }
    HWND Page(int id)
    {
        TabPage* page = FindPage(id);
        return page && page->window ? HWND(*page->window) : nullptr;
    }
    HWND Item(int page, int id) { return ::GetDlgItem(Page(page), id); }
    void SetText(int page, int id, const wchar_t* text) { SetWindowTextW(Item(page, id), text); }
    // Chooses the row with exactly this text, as a tap on it would; "" is the empty first row.
    void Choose(int page, int id, const wchar_t* text)
    {
        HWND list = Item(page, id);
        const LRESULT row = *text ? SendMessageW(list, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(text)) : 0;
        ASSERT_GE(row, 0) << "no row \"" << std::string(text, text + wcslen(text)) << "\"";
        SendMessageW(list, CB_SETCURSEL, WPARAM(row), 0);
    }
    // Starts a search from page and waits for its end row; false when it never ends.
    bool Search(int page)
    {
        SetTimer(hwnd, kWatchdogTimer, 10000, nullptr);  // each search gets the watchdog's full time
        SelectPage(page);
        StartOrStop();
        return PumpUntil([&] { return !IsBusy(); });
    }
    std::vector<std::wstring> Accounts()
    {
        std::vector<std::wstring> uins;
        for (const SearchResultEntry& row : Results()) uins.push_back(Wide(row.texts[0]));
        return uins;
    }
};

FakeWexServer::Person Person(unsigned uin, const char* nick, const char* first, const char* last, const char* email,
                             unsigned char gender, unsigned short age, unsigned short status)
{
    FakeWexServer::Person person;
    person.uin = uin;
    person.nick = nick;
    person.first = first;
    person.last = last;
    person.email = email;
    person.gender = gender;
    person.age = age;
    person.status = status;
    return person;
}

class WexSearchPagesTest : public WexAccountFixture {
protected:
    WexSearchPagesTest() : WexAccountFixture(L"wex_search_pages")
    {
        server.SetDirectory({Person(111222, "ann", "Ann", "Lee", "ann@example.org", 1, 30, 1),
                             Person(333444, "bob", "Bob", "Ray", "bob@example.org", 2, 64, 0),
                             Person(555666, "cy", "Cy", "Day", "cy@example.org", 2, 61, 1)});
    }
    ~WexSearchPagesTest() override
    {
        relay.reset();
        DestroyWindow(host);
    }

    // Signed on, with the relay and a window to own the dialog.
    unsigned Online()
    {
        const unsigned account = CreateAccount();
        SignOn(account);
        relay.reset(new SearchRelay(*bus));
        host = TestSupport::CreateHostWindow(240, 320);
        return account;
    }

    size_t Searches() { return server.Searches().size(); }
    // The data of the white-pages form as the engine writes it.
    static Bytes Items(const Wex::WhitePagesForm& form) { return Wex::WhitePagesItems(form); }

    std::unique_ptr<SearchRelay> relay;
    HWND host = nullptr;
};

enum { UinPage, EmailPage, Global1Page, Global2Page, ResultsPage };

}  // namespace

TEST_F(WexSearchPagesTest, EachPageFindsTheFakesHitsThenEnds)
{
    ZEL_REQUIRE_DISPLAY();
    const unsigned account = Online();
    SearchDialogUnderTest dialog(account);
    dialog.steps = {
        [&] {
            ASSERT_EQ(dialog.GetPageCount(), 5);
            EXPECT_EQ(dialog.ResultsPageId(), ResultsPage);
            const wchar_t* titles[] = {L"By WEX#", L"By Email", L"Global 1", L"Global 2"};
            for (int i = 0; i < 4; ++i) EXPECT_EQ(Wide(dialog.FindPage(i)->caption), titles[i]);
            wchar_t label[64] = L"";
            GetWindowTextW(dialog.Item(UinPage, IDC_WEX_SEARCH_UIN_LABEL), label, 64);
            EXPECT_STREQ(label, L"Search by WEX#:");
            // The age list holds the table; the code lists an empty first row, then the file's.
            HWND ages = dialog.Item(Global1Page, IDC_WEX_SEARCH_AGE);
            ASSERT_EQ(SendMessageW(ages, CB_GETCOUNT, 0, 0), WexSearch::AgeRangeCount);
            wchar_t last[16] = L"";
            SendMessageW(ages, CB_GETLBTEXT, 7, LPARAM(last));
            EXPECT_STREQ(last, L"60 ...");
            HWND genders = dialog.Item(Global1Page, IDC_WEX_SEARCH_GENDER);
            EXPECT_EQ(SendMessageW(genders, CB_GETCOUNT, 0, 0), 3);
            EXPECT_EQ(SendMessageW(genders, CB_GETITEMDATA, 0, 0), 0);
            EXPECT_GT(SendMessageW(dialog.Item(Global2Page, IDC_WEX_SEARCH_COUNTRY), CB_GETCOUNT, 0, 0), 10);

            // By id: one hit, then the end.
            dialog.SetText(UinPage, IDC_WEX_SEARCH_UIN, L"333444");
            ASSERT_TRUE(dialog.Search(UinPage));
            EXPECT_EQ(dialog.GetCurrentPageId(), ResultsPage);
            ASSERT_EQ(dialog.Accounts(), std::vector<std::wstring>{L"333444"});
            const SearchResultEntry& bob = dialog.Results()[0];
            EXPECT_EQ(Wide(bob.texts[1]), L"bob");
            EXPECT_EQ(Wide(bob.texts[2]), L"Bob");
            EXPECT_EQ(Wide(bob.texts[3]), L"Ray");
            EXPECT_EQ(Wide(bob.texts[4]), L"bob@example.org");
            EXPECT_NE(Wide(bob.texts[5]).find(L"64"), std::wstring::npos);
            ASSERT_FALSE(server.Searches().empty());
            EXPECT_EQ(server.Searches().back().subtype, Wex::MetaSubtypeSearchByUin);
            EXPECT_EQ(ToHex(server.Searches().back().data), ToHex(Wire().U16LE(0x0136).U16LE(4).U32LE(333444)));
        },
        [&] {
            // By e-mail, letter case aside on the server's side.
            dialog.SetText(EmailPage, IDC_WEX_SEARCH_EMAIL, L"ANN@example.org");
            ASSERT_TRUE(dialog.Search(EmailPage));
            EXPECT_EQ(dialog.Accounts(), std::vector<std::wstring>{L"111222"});
            EXPECT_EQ(server.Searches().back().subtype, Wex::MetaSubtypeSearchByEmail);
        },
        [&] {
            // From "Global 2": the white pages with the fields of both global pages; the age row
            // "60 ..." goes out as 60 to 231.
            dialog.Choose(Global1Page, IDC_WEX_SEARCH_AGE, L"60 ...");
            dialog.Choose(Global1Page, IDC_WEX_SEARCH_GENDER, L"Male");
            ASSERT_TRUE(dialog.Search(Global2Page));
            EXPECT_EQ(dialog.Accounts(), (std::vector<std::wstring>{L"333444", L"555666"}));
            Wex::WhitePagesForm form;
            form.gender = 2;
            form.ageFrom = 60;
            form.ageTo = 231;
            EXPECT_EQ(server.Searches().back().subtype, Wex::MetaSubtypeWhitePages);
            EXPECT_EQ(ToHex(server.Searches().back().data), ToHex(Items(form)));
            // Online only narrows it to who is online.
            CheckDlgButton(dialog.Page(Global2Page), IDC_WEX_SEARCH_ONLINE, BST_CHECKED);
            ASSERT_TRUE(dialog.Search(Global2Page));
            EXPECT_EQ(dialog.Accounts(), std::vector<std::wstring>{L"555666"});
            // Nobody that young: the fake's result 20 ends the search without a row.
            dialog.Choose(Global1Page, IDC_WEX_SEARCH_AGE, L"13-17");
            ASSERT_TRUE(dialog.Search(Global1Page));
            EXPECT_TRUE(dialog.Results().empty());
            dialog.EndDialog(IDCANCEL);
        }};
    EXPECT_EQ(DoModalDialog(&dialog, host), IDCANCEL);
    ExpectNoFaults();
}

TEST_F(WexSearchPagesTest, ASearchWithNothingToAskEndsAtOnceAndSendsNothing)
{
    ZEL_REQUIRE_DISPLAY();
    const unsigned account = Online();
    SearchDialogUnderTest dialog(account);
    dialog.steps = {[&] {
        const struct {
            int page, control;
            const wchar_t* text;
            bool sent;
        } cases[] = {
            {UinPage, IDC_WEX_SEARCH_UIN, L"", false},
            {UinPage, IDC_WEX_SEARCH_UIN, L"0", false},
            {UinPage, IDC_WEX_SEARCH_UIN, L"12ab", false},  // pasted: the field takes digits only when typed
            {UinPage, IDC_WEX_SEARCH_UIN, L"4294967296", false},
            {UinPage, IDC_WEX_SEARCH_UIN, L"4294967295", true},
            {EmailPage, IDC_WEX_SEARCH_EMAIL, L"", false},
            {EmailPage, IDC_WEX_SEARCH_EMAIL, L"nobody@example.org", true},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.text, c.text + wcslen(c.text)));
            const size_t before = Searches();
            dialog.SetText(c.page, c.control, c.text);
            EXPECT_TRUE(dialog.Search(c.page)) << "the dialog stays on Stop";
            EXPECT_TRUE(dialog.Results().empty());
            EXPECT_EQ(Searches(), before + (c.sent ? 1 : 0));
        }
        dialog.EndDialog(IDCANCEL);
    }};
    EXPECT_EQ(DoModalDialog(&dialog, host), IDCANCEL);
    ExpectNoFaults();
}

TEST_F(WexSearchPagesTest, TheGlobalPagesStoreTheirChoicesAndAnEmptyChoiceIsAny)
{
    ZEL_REQUIRE_DISPLAY();
    const unsigned account = Online();
    SearchDialogUnderTest dialog(account);
    struct Case {
        const char* name;
        std::function<void()> set;
        Wex::WhitePagesForm form;
    };
    Wex::WhitePagesForm everything;
    everything.nickname = CZELString(L"Nick");
    everything.firstName = CZELString(L"First");
    everything.lastName = CZELString(L"Last");
    everything.gender = 1;
    everything.ageFrom = 13;
    everything.ageTo = 17;
    everything.marital = 20;
    everything.country = 49;
    everything.city = CZELString(L"Berlin");
    everything.language = 18;
    everything.occupation = 21;
    everything.categories[0] = 101;
    everything.keywords = CZELString(L"vintage");
    everything.onlineOnly = 1;
    const std::vector<Case> cases = {
        // The lists as they open, with no row chosen: the empty first rows, age 0 to 0, codes 0.
        {"nothing chosen", [] {}, Wex::WhitePagesForm()},
        {"every field",
         [&] {
             dialog.SetText(Global1Page, IDC_WEX_SEARCH_NICK, L"Nick");
             dialog.SetText(Global1Page, IDC_WEX_SEARCH_FIRST, L"First");
             dialog.SetText(Global1Page, IDC_WEX_SEARCH_LAST, L"Last");
             dialog.Choose(Global1Page, IDC_WEX_SEARCH_GENDER, L"Female");
             dialog.Choose(Global1Page, IDC_WEX_SEARCH_AGE, L"13-17");
             dialog.Choose(Global1Page, IDC_WEX_SEARCH_MARITAL, L"Married");
             dialog.Choose(Global2Page, IDC_WEX_SEARCH_COUNTRY, L"Germany");
             dialog.SetText(Global2Page, IDC_WEX_SEARCH_CITY, L"Berlin");
             dialog.Choose(Global2Page, IDC_WEX_SEARCH_LANGUAGE, L"German");
             dialog.Choose(Global2Page, IDC_WEX_SEARCH_OCCUPATION, L"Retired");
             dialog.Choose(Global2Page, IDC_WEX_SEARCH_INTEREST, L"Cars");
             dialog.SetText(Global2Page, IDC_WEX_SEARCH_KEYWORDS, L"vintage");
             CheckDlgButton(dialog.Page(Global2Page), IDC_WEX_SEARCH_ONLINE, BST_CHECKED);
         },
         everything},
        {"the empty rows chosen again",
         [&] {
             for (int page : {Global1Page, Global2Page})
                 for (int control : {IDC_WEX_SEARCH_NICK, IDC_WEX_SEARCH_FIRST, IDC_WEX_SEARCH_LAST, IDC_WEX_SEARCH_CITY,
                                     IDC_WEX_SEARCH_KEYWORDS})
                     if (dialog.Item(page, control)) dialog.SetText(page, control, L"");
             for (int page : {Global1Page, Global2Page})
                 for (int control : {IDC_WEX_SEARCH_GENDER, IDC_WEX_SEARCH_AGE, IDC_WEX_SEARCH_MARITAL,
                                     IDC_WEX_SEARCH_COUNTRY, IDC_WEX_SEARCH_LANGUAGE, IDC_WEX_SEARCH_OCCUPATION,
                                     IDC_WEX_SEARCH_INTEREST})
                     if (dialog.Item(page, control)) dialog.Choose(page, control, L"");
             CheckDlgButton(dialog.Page(Global2Page), IDC_WEX_SEARCH_ONLINE, BST_UNCHECKED);
         },
         Wex::WhitePagesForm()},
        {"the id and address pages stay out of the white pages",
         [&] {
             dialog.SetText(UinPage, IDC_WEX_SEARCH_UIN, L"333444");
             dialog.SetText(EmailPage, IDC_WEX_SEARCH_EMAIL, L"bob@example.org");
             dialog.Choose(Global1Page, IDC_WEX_SEARCH_AGE, L"60 ...");
         },
         [] {
             Wex::WhitePagesForm form;
             form.ageFrom = 60;
             form.ageTo = 231;
             return form;
         }()},
    };
    dialog.steps = {[&] {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            c.set();
            for (int page : {Global1Page, Global2Page}) {
                const size_t before = Searches();
                ASSERT_TRUE(dialog.Search(page));
                ASSERT_EQ(Searches(), before + 1);
                EXPECT_EQ(server.Searches().back().subtype, Wex::MetaSubtypeWhitePages);
                EXPECT_EQ(ToHex(server.Searches().back().data), ToHex(Items(c.form))) << "from page " << page;
            }
        }
        dialog.EndDialog(IDCANCEL);
    }};
    EXPECT_EQ(DoModalDialog(&dialog, host), IDCANCEL);
    ExpectNoFaults();
}

// The lookup lists are shared by every page set of the plug-in: one set closing (details opened from
// the search dialog, say) leaves them loaded for the sets still open; the last to close empties them,
// and the next set loads them again.
TEST_F(WexSearchPagesTest, ThePagesListsStayLoadedWhileAnotherSetCloses)
{
    ZEL_REQUIRE_DISPLAY();
    const unsigned account = CreateAccount();
    HWND parent = TestSupport::CreateHostWindow(240, 320);
    TestSupport::WindowScope scope(parent);
    auto countries = [&](ZELTabDlg::PanList& pages) {
        UI::CZELWMUI_SettingsPan* page = dynamic_cast<UI::CZELWMUI_SettingsPan*>(pages[Global2Page]);
        HWND window = page->Create(parent);
        const LRESULT rows = SendDlgItemMessageW(window, IDC_WEX_SEARCH_COUNTRY, CB_GETCOUNT, 0, 0);
        DestroyWindow(window);
        return rows;
    };
    auto release = [](ZELTabDlg::PanList& pages) {
        for (int i = 0; i < pages.GetCount(); ++i) delete dynamic_cast<UI::CZELWMUI_SettingsPan*>(pages[i]);
        pages = ZELTabDlg::PanList();
    };
    ZELTabDlg::PanList first, second, third;
    ASSERT_EQ(Manager().GetSearchPages(account, &first), 0);
    ASSERT_EQ(first.GetCount(), 4);
    ASSERT_EQ(Manager().GetSearchPages(account, &second), 0);
    // The second set goes, its pages in another order than they came; the first then fills in full.
    for (int i = second.GetCount() - 1; i >= 0; --i) delete dynamic_cast<UI::CZELWMUI_SettingsPan*>(second[i]);
    second = ZELTabDlg::PanList();
    const LRESULT full = countries(first);
    EXPECT_GT(full, 10);
    release(first);
    // All gone: a new set loads them again.
    ASSERT_EQ(Manager().GetSearchPages(account, &third), 0);
    EXPECT_EQ(countries(third), full);
    release(third);
}
