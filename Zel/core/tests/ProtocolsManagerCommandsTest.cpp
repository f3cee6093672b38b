// The manager's commands reaching the fake accounts as PM_ codes, the accounts' ACC_ notifications
// coming out as PMEV events, the global status, the language change and file transfers; all through
// the real bus.
#include "Zel/core/tests/AccountTestSupport.h"

#include "Zel/core/plugin/PopupMenu.h"
#include "Zel/core/history/SafeFileName.h"

#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <functional>

using namespace AccountTest;

namespace {

std::vector<int> Commands(const CPopupMenu& menu)
{
    std::vector<int> ids;
    for (int i = 0; i < menu.GetCount(); ++i) ids.push_back(menu.items[i].commandId);
    return ids;
}

// The contact menu as the contact list builds it before an account adds to it.
CPopupMenu ContactMenu()
{
    CPopupMenu menu;
    for (int id : {4001, 4003, 4004, 4005, 4007, 4008, 4010})
        menu.AddItem(CMenuItem(id == 4003 || id == 4008 ? MENU_ITEM_SEPARATOR : MENU_ITEM_PLAIN, L"x", id, nullptr, 0,
                               false));
    return menu;
}

class CommandsTest : public ManagerTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fakeA.Loaded());
        Start();
        id = Create(GUID_FAKE_A, L"alice");
        other = Create(GUID_FAKE_A, L"bob");
        ASSERT_TRUE(id && other);
        Settle(id);
        Settle(other);
        fakeA.clearLog();
        recorder->Clear();
    }

    // Asks the account to post notification code and waits until the manager has dealt with it.
    void Notify(unsigned account, int code, intptr_t value = 0, const wchar_t* text = L"", int mode = FAKE_NOTIFY_OWN)
    {
        ASSERT_EQ(fakeA.notify(account, code, value, text, mode), 1);
        Settle(account);
    }

    // Sets an account's status through the manager and waits until its change was relayed.
    void SetAccountStatus(unsigned account, int status)
    {
        ASSERT_EQ(manager->SetStatus(account, status), 1);
        Settle(account);
        Settle(account);
    }

    int Global()
    {
        int g = -1;
        EXPECT_EQ(manager->GetStatus(0, &g), 0);
        return g;
    }

    unsigned id = 0;
    unsigned other = 0;
};

}  // namespace

// Each command reaches the account as its PM_ code with its values, and the operation gives what the
// account answered.
TEST_F(CommandsTest, EachCommandReachesTheAccount)
{
    const int contact = int(0x80000005);
    StatusInfo icons;
    CPopupMenu menu;
    StatusEntry entry;
    int status = -1;
    int pages = 0;
    int resultItem = 0;
    MessageRecord message;
    message.text = L"hello";

    struct Case {
        const char* name;
        std::function<intptr_t()> call;
        intptr_t result;
        int code;
        intptr_t v1;
        intptr_t v2;
        std::wstring text;
    } cases[] = {
        {"Reserved57", [&] { return manager->Reserved57(id, 42); }, 1, PM_RESERVED_57, 42, 0, L""},
        {"GetContactIcons", [&] { return manager->GetContactIcons(id, contact, &icons); }, 1, PM_GET_CONTACT_ICONS,
         contact, intptr_t(&icons), L""},
        {"FillAccountMenu", [&] { return manager->FillAccountMenu(id, &menu); }, 1, PM_FILL_ACCOUNT_MENU, 0,
         intptr_t(&menu), L""},
        {"FillGroupMenu", [&] { return manager->FillGroupMenu(id, 3, &menu); }, 1, PM_FILL_GROUP_MENU, 3,
         intptr_t(&menu), L""},
        {"FillGroupMenu not handled", [&] { return manager->FillGroupMenu(id, 0, &menu); }, 0, PM_FILL_GROUP_MENU, 0,
         intptr_t(&menu), L""},
        {"FillContactMenu", [&] { return manager->FillContactMenu(id, contact, &menu); }, 1, PM_FILL_CONTACT_MENU,
         contact, intptr_t(&menu), L""},
        {"FillChatMenu", [&] { return manager->FillChatMenu(id, contact, &menu); }, 1, PM_FILL_CHAT_MENU, contact,
         intptr_t(&menu), L""},
        {"AddGroup", [&] { return manager->AddGroup(id, L"Friends"); }, 1, PM_ADD_GROUP, 0, 0, L"Friends"},
        {"RenameGroup", [&] { return manager->RenameGroup(id, 3, L"Family"); }, 1, PM_RENAME_GROUP, 3, 0, L"Family"},
        {"DeleteGroup", [&] { return manager->DeleteGroup(id, 3); }, 1, PM_DELETE_GROUP, 3, 0, L""},
        {"RenameContact", [&] { return manager->RenameContact(id, contact, L"Zed"); }, 1, PM_RENAME_CONTACT, contact,
         0, L"Zed"},
        {"MoveContact", [&] { return manager->MoveContact(id, contact, 4); }, 1, PM_MOVE_CONTACT, contact, 4, L""},
        {"DeleteContact", [&] { return manager->DeleteContact(id, contact); }, 1, PM_DELETE_CONTACT, contact, 0, L""},
        {"RequestAuthorization", [&] { return manager->RequestAuthorization(id, contact); }, 1, PM_REQUEST_AUTH,
         contact, 0, L""},
        {"SendInstantMessage", [&] { return manager->SendInstantMessage(id, message, true); }, 1, PM_SEND_MESSAGE, 0,
         0, L"hello"},
        {"SetTyping typing", [&] { return manager->SetTyping(id, contact, false); }, 1, PM_SET_TYPING, contact, 0, L""},
        {"SetTyping stopped", [&] { return manager->SetTyping(id, contact, true); }, 1, PM_SET_TYPING, contact, 1, L""},
        {"ContactAdded", [&] { return manager->ContactAdded(id, contact); }, 1, PM_CONTACT_ADDED, contact, 0, L""},
        {"GetOwnDetailsPages", [&] { return manager->GetOwnDetailsPages(id, &pages); }, 100 + PM_GET_OWN_DETAILS_PAGES,
         PM_GET_OWN_DETAILS_PAGES, intptr_t(&pages), 0, L""},
        {"GetContactDetailsPages", [&] { return manager->GetContactDetailsPages(id, contact, &pages); },
         100 + PM_GET_CONTACT_DETAILS_PAGES, PM_GET_CONTACT_DETAILS_PAGES, contact, intptr_t(&pages), L""},
        {"StartSearch", [&] { return manager->StartSearch(id, 2); }, 100 + PM_SEARCH, PM_SEARCH, 2, 0, L""},
        {"GetSearchPages", [&] { return manager->GetSearchPages(id, &pages); }, 100 + PM_GET_SEARCH_PAGES,
         PM_GET_SEARCH_PAGES, 0, intptr_t(&pages), L""},
        {"FillSearchResultMenu", [&] { return manager->FillSearchResultMenu(id, &resultItem, &menu); }, 1,
         PM_FILL_SEARCH_RESULT_MENU, intptr_t(&resultItem), intptr_t(&menu), L""},
        {"GetSettingsPages", [&] { return manager->GetSettingsPages(id, &pages); }, 100 + PM_GET_SETTINGS_PAGES,
         PM_GET_SETTINGS_PAGES, intptr_t(&pages), 0, L""},
        {"SetStatus", [&] { return manager->SetStatus(id, 2); }, 1, PM_SET_STATUS, 2, 0, L""},
        {"GetStatus", [&] { return manager->GetStatus(id, &status); }, 0, PM_GET_STATUS, 0, 0, L""},
        {"GetStatusInfo", [&] { return manager->GetStatusInfo(id, 11, &entry); }, 0, PM_GET_STATUS_INFO, 11,
         intptr_t(&entry), L""},
        {"GetStatusMenu", [&] { return manager->GetStatusMenu(id, 0, &menu); }, 0, PM_GET_STATUS_MENU, intptr_t(&menu),
         0, L""},
        {"GetStatusMenu of another icon", [&] { return manager->GetStatusMenu(id, 1, &menu); }, 5, PM_GET_STATUS_MENU,
         intptr_t(&menu), 1, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fakeA.clearLog();
        EXPECT_EQ(c.call(), c.result);
        Settle(id);
        std::vector<FakeLogEntry> log = fakeA.Log(id);
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(log[0].code, c.code);
        EXPECT_EQ(log[0].v1, c.v1);
        EXPECT_EQ(log[0].v2, c.v2);
        EXPECT_EQ(std::wstring(log[0].text), c.text);
        EXPECT_EQ(fakeA.Log(other).size(), 0u);
    }

    // What the account filled in during the synchronous calls.
    EXPECT_EQ(icons.status, AccountStatus::Online);
    EXPECT_EQ(status, AccountStatus::Online);
    EXPECT_EQ(entry.status, 11);
    EXPECT_EQ(Text(entry.name), L"Away");
    EXPECT_EQ(Text(menu.title), L"Fake A");
}

TEST_F(CommandsTest, MenusAreEditedInPlace)
{
    CPopupMenu contactMenu = ContactMenu();
    ASSERT_TRUE(manager->FillContactMenu(id, 5, &contactMenu));
    EXPECT_EQ(Commands(contactMenu), (std::vector<int>{0, 4001, 4003, 4004, 4005, 4007, 4008}));
    EXPECT_EQ(contactMenu.items[0].kind, MENU_ITEM_INFO);

    // The main menu goes to every account in table order.
    CPopupMenu mainMenu;
    manager->MoveAccount(other, 0);
    fakeA.clearLog();
    ASSERT_TRUE(manager->FillMainMenu(&mainMenu));
    EXPECT_EQ(Commands(mainMenu), (std::vector<int>{9000 + PM_FILL_MAIN_MENU, 9000 + PM_FILL_MAIN_MENU}));
    std::vector<FakeLogEntry> log = fakeA.Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].accountId, other);
    EXPECT_EQ(log[0].v1, intptr_t(other));
    EXPECT_EQ(log[1].accountId, id);
    EXPECT_EQ(log[1].v1, intptr_t(id));
}

TEST_F(CommandsTest, SentMessagesAreAnnouncedUnlessSilent)
{
    MessageRecord message;
    message.contactId = 5;
    message.text = L"loud";
    EXPECT_TRUE(manager->SendInstantMessage(id, message, false));
    message.text = L"quiet";
    EXPECT_TRUE(manager->SendInstantMessage(id, message, true));
    Settle(id);
    EXPECT_EQ(fakeA.Count(id, PM_SEND_MESSAGE), 2);
    std::vector<Event> sent = recorder->Events(PMEV_MESSAGE_SENT);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].v1, intptr_t(id));
    EXPECT_EQ(sent[0].p2Kind, "message");
    EXPECT_EQ(sent[0].text, L"loud");
}

// Nothing is sent for an id that is not in the table; each operation says so its own way.
TEST_F(CommandsTest, UnknownAccountsGetNothing)
{
    const unsigned unknown = other + 10;
    CPopupMenu menu;
    StatusEntry entry;
    entry.status = 77;
    int pages = 0;
    int status = -7;
    MessageRecord message;
    struct Case {
        const char* name;
        std::function<intptr_t()> call;
        intptr_t result;
    } cases[] = {
        {"Reserved57", [&] { return manager->Reserved57(unknown, 1); }, 0},
        {"FillAccountMenu", [&] { return manager->FillAccountMenu(unknown, &menu); }, 0},
        {"FillAccountMenu of id 0", [&] { return manager->FillAccountMenu(0, &menu); }, 0},
        {"AddGroup", [&] { return manager->AddGroup(unknown, L"g"); }, 0},
        {"RenameGroup", [&] { return manager->RenameGroup(unknown, 1, L"g"); }, 0},
        {"DeleteGroup", [&] { return manager->DeleteGroup(unknown, 1); }, 0},
        {"RenameContact", [&] { return manager->RenameContact(unknown, 1, L"c"); }, 0},
        {"MoveContact", [&] { return manager->MoveContact(unknown, 1, 2); }, 0},
        {"DeleteContact", [&] { return manager->DeleteContact(unknown, 1); }, 0},
        {"ContactAdded", [&] { return manager->ContactAdded(unknown, 1); }, 0},
        {"RequestAuthorization", [&] { return manager->RequestAuthorization(unknown, 1); }, 0},
        {"SendInstantMessage", [&] { return manager->SendInstantMessage(unknown, message, false); }, 0},
        {"SetTyping", [&] { return manager->SetTyping(unknown, 1, true); }, 0},
        {"GetOwnDetailsPages", [&] { return manager->GetOwnDetailsPages(unknown, &pages); }, -2},
        {"GetOwnDetailsPages of id 0", [&] { return manager->GetOwnDetailsPages(0, &pages); }, 0},
        {"GetSettingsPages of id 0", [&] { return manager->GetSettingsPages(0, &pages); }, 0},
        {"GetSearchPages", [&] { return manager->GetSearchPages(unknown, &pages); }, -2},
        {"StartSearch", [&] { return manager->StartSearch(unknown, 0); }, -2},
        {"SetStatus", [&] { return manager->SetStatus(unknown, 2); }, -2},
        {"GetStatus", [&] { return manager->GetStatus(unknown, &status); }, -2},
        {"GetStatusInfo", [&] { return manager->GetStatusInfo(unknown, 2, &entry); }, -2},
        {"GetStatusMenu", [&] { return manager->GetStatusMenu(unknown, 0, &menu); }, -2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.call(), c.result);
    }
    Settle(id);
    Settle(other);
    EXPECT_EQ(fakeA.Log().size(), 0u);
    EXPECT_EQ(status, -7);
    EXPECT_EQ(entry.status, 77);
    EXPECT_EQ(menu.GetCount(), 0);
    EXPECT_EQ(recorder->Events(PMEV_MESSAGE_SENT).size(), 0u);
}

// Each notification comes out as its event, with the account's id and what it carried.
TEST_F(CommandsTest, NotificationsBecomeEvents)
{
    struct Case {
        const char* name;
        int code;
        intptr_t value;
        const wchar_t* text;
        int event;
        std::function<void(const Event&)> check;
    } cases[] = {
        {"name changed", ACC_NAME_CHANGED, 0, L"", PMEV_ACCOUNT_RENAMED,
         [](const Event& e) { EXPECT_EQ(e.p2Kind, ""); }},
        {"own details", ACC_OWN_DETAILS_CHANGED, 0, L"", PMEV_DETAILS_RECEIVED,
         [](const Event& e) { EXPECT_EQ(e.p2Kind, ""); }},
        {"contact details", ACC_CONTACT_DETAILS_CHANGED, 0x80000009, L"", PMEV_DETAILS_NOTIFY,
         [](const Event& e) { EXPECT_EQ(e.v2, intptr_t(0x80000009)); }},
        {"warning", ACC_WARNING, 0, L"Wrong password", PMEV_SHOW_TEXT,
         [](const Event& e) { EXPECT_EQ(e.text, L"Wrong password"); }},
        {"mail notice", ACC_MAIL_NOTICE, 0, L"2 new letters", PMEV_SHOW_TITLED_TEXT,
         [](const Event& e) {
             EXPECT_EQ(e.p2Kind, "pair");
             EXPECT_EQ(e.link, L"http://mail.example/");
             EXPECT_EQ(e.text, L"2 new letters");
         }},
        {"search result", ACC_SEARCH_RESULT, 77, L"", PMEV_SEARCH_RESULT, [](const Event& e) { EXPECT_EQ(e.v2, 77); }},
        {"search ended", ACC_SEARCH_RESULT, 0, L"", PMEV_SEARCH_RESULT,
         [](const Event& e) { EXPECT_EQ(e.p2Kind, ""); }},
        {"icon added", ACC_ICON_ADD, 31, L"", PMEV_ACCOUNT_TEXT,
         [](const Event& e) {
             EXPECT_EQ(e.p2Kind, "array");
             EXPECT_EQ(e.images, std::vector<int>{31});
         }},
        {"icon set", ACC_ICON_SET, 2, L"", PMEV_ACCOUNT_XSTATUS,
         [](const Event& e) {
             EXPECT_EQ(e.p2Kind, "icon");
             EXPECT_EQ(e.index, 2);
         }},
        {"icon removed", ACC_ICON_REMOVE, 1, L"", PMEV_ACCOUNT_INDICATOR, [](const Event& e) { EXPECT_EQ(e.v2, 1); }},
        {"timer started", ACC_TIMER_START, 0x5000, L"", PMEV_TIMER_SET,
         [this](const Event& e) {
             EXPECT_EQ(e.p2Kind, "timer");
             EXPECT_EQ(e.callback, fakeA.timer);
             EXPECT_EQ(e.context, 0x5000);
         }},
        {"timer stopped", ACC_TIMER_STOP, intptr_t(0x123456789ALL), L"", PMEV_TIMER_CANCEL,
         [this](const Event& e) {
             EXPECT_EQ(e.p2Kind, "callback");
             EXPECT_EQ(e.callback, fakeA.timer);
             EXPECT_EQ(e.context, intptr_t(0x123456789ALL));  // a pointer-sized context survives
         }},
        {"open a link", ACC_OPEN_URL, 0, L"http://example.org/", PMEV_OPEN_URL,
         [](const Event& e) {
             EXPECT_EQ(e.p2Kind, "string");
             EXPECT_EQ(e.text, L"http://example.org/");
         }},
        {"status", ACC_STATUS_CHANGED, 11, L"", PMEV_STATUS_CHANGED,
         [](const Event& e) {
             EXPECT_EQ(e.p2Kind, "status");
             EXPECT_EQ(e.status, 11);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        recorder->Clear();
        Notify(id, c.code, c.value, c.text);
        // The account's own event (a status report may also bring the global status's, with p1 0).
        std::vector<Event> events;
        for (const Event& event : recorder->Events(c.event))
            if (event.v1 == intptr_t(id)) events.push_back(event);
        ASSERT_EQ(events.size(), 1u);
        c.check(events[0]);
    }
}

// A notification is heard only from an account of the table with its own protocol.
TEST_F(CommandsTest, NotificationsFromStrangersAreIgnored)
{
    struct Case {
        const char* name;
        int mode;
    } cases[] = {
        {"another protocol", FAKE_NOTIFY_FOREIGN},
        {"an id not in the table", FAKE_NOTIFY_WRONG_ID},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        recorder->Clear();
        int before = Int(other, L"Logon date", 0);
        Notify(other, ACC_WARNING, 0, L"spoofed", c.mode);
        Notify(other, ACC_STATUS_CHANGED, AccountStatus::Connecting, L"", c.mode);
        Notify(other, ACC_OPEN_URL, 0, L"http://spoof/", c.mode);
        EXPECT_EQ(recorder->Events().size(), 0u);
        EXPECT_EQ(Int(other, L"Logon date", 0), before);
    }
}

// Each report of Connecting stamps "Logon date" anew.
TEST_F(CommandsTest, ConnectingStampsTheLogonDate)
{
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        int old = 1000;
        manager->SetAccountInt(id, L"Logon date", &old);
        int before = int(time(nullptr));
        Notify(id, ACC_STATUS_CHANGED, AccountStatus::Connecting);
        int stamp = Int(id, L"Logon date");
        EXPECT_GE(stamp, before);
        EXPECT_LE(stamp, int(time(nullptr)));
        CZELTime when;
        EXPECT_EQ(manager->GetLogonDate(id, &when), 0);
        EXPECT_EQ(when.GetUnixTime(), unsigned(stamp));
    }
    // Other statuses leave it alone.
    int old = 1000;
    manager->SetAccountInt(id, L"Logon date", &old);
    Notify(id, ACC_STATUS_CHANGED, AccountStatus::Online);
    EXPECT_EQ(Int(id, L"Logon date"), 1000);
}

// The global status follows the accounts' reports; each step is one account's report, with the
// global status after it and what was announced for it (-1: nothing).
TEST_F(CommandsTest, GlobalStatusFollowsTheAccounts)
{
    unsigned third = Create(GUID_FAKE_A, L"carol");
    Settle(third);
    recorder->Clear();
    unsigned accounts[] = {id, other, third};

    struct Step {
        int account;
        int status;
        int global;
        int announced;
    };
    struct Scenario {
        const char* name;
        std::vector<Step> steps;
    } scenarios[] = {
        {"one connects, another follows, both drop",
         {{0, 1, 1, 1}, {0, 2, 2, 2}, {1, 1, 2, 2}, {0, 0, 1, 1}, {1, 0, 0, 0}}},
        {"connected ones agree",
         {{0, 2, 2, 2}, {1, 2, 2, 2}, {0, 11, 2, -1}, {1, 11, 11, 11}, {2, 1, 11, 11}, {1, 0, 11, -1},
          {0, 0, 1, 1}, {2, 0, 0, 0}}},
        {"offline while offline", {{2, 0, 0, -1}}},
    };
    for (const Scenario& scenario : scenarios) {
        SCOPED_TRACE(scenario.name);
        for (size_t i = 0; i < scenario.steps.size(); ++i) {
            const Step& step = scenario.steps[i];
            SCOPED_TRACE(i);
            recorder->Clear();
            unsigned account = accounts[step.account];
            SetAccountStatus(account, step.status);
            EXPECT_EQ(Global(), step.global);
            std::vector<Event> changes = recorder->Events(PMEV_STATUS_CHANGED);
            // The announcement (p1 0) comes before the relay of the account's own change.
            ASSERT_EQ(changes.size(), step.announced == -1 ? 1u : 2u);
            if (step.announced != -1) {
                EXPECT_EQ(changes[0].v1, 0);
                EXPECT_EQ(changes[0].p2Kind, "status");
                EXPECT_EQ(changes[0].status, step.announced);
                EXPECT_EQ(changes[0].name, std::wstring(L"EN ") + AccountStatus::Names[step.announced]);
            }
            EXPECT_EQ(changes.back().v1, intptr_t(account));
            EXPECT_EQ(changes.back().status, step.status);
        }
    }
}

// Setting the status of all accounts: only the connected ones when any is connected.
TEST_F(CommandsTest, SetStatusOfAllAccounts)
{
    unsigned third = Create(GUID_FAKE_A, L"carol");
    Settle(third);
    unsigned accounts[] = {id, other, third};
    struct Case {
        const char* name;
        std::vector<int> before;
        std::vector<int> receives;
    } cases[] = {
        {"two of three connected", {0, 2, 5}, {0, 1, 1}},
        {"none connected", {0, 0, 0}, {1, 1, 1}},
        {"one connecting, none connected", {1, 0, 0}, {1, 1, 1}},
        {"all connected", {12, 2, 3}, {1, 1, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int i = 0; i < 3; ++i) SetAccountStatus(accounts[i], c.before[i]);
        fakeA.clearLog();
        EXPECT_EQ(manager->SetStatus(0, AccountStatus::Away), 1);
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE(i);
            Settle(accounts[i]);
            EXPECT_EQ(fakeA.Count(accounts[i], PM_SET_STATUS), c.receives[i]);
        }
    }
}

TEST_F(CommandsTest, SetStatusOfAllWithoutAccounts)
{
    manager->RemoveAccount(id);
    manager->RemoveAccount(other);
    Settle();
    EXPECT_EQ(manager->SetStatus(0, AccountStatus::Online), 0);
}

// The global status menu is built from the table the application filled on start-up.
TEST_F(CommandsTest, GlobalStatusMenu)
{
    ASSERT_EQ(recorder->fills, 1);
    SetAccountStatus(id, AccountStatus::Online);
    ASSERT_EQ(Global(), AccountStatus::Online);

    CPopupMenu menu;
    EXPECT_EQ(manager->GetStatusMenu(0, 1, &menu), 0);
    EXPECT_EQ(menu.GetCount(), 0);
    EXPECT_EQ(manager->GetStatusMenu(0, 0, &menu), 0);
    EXPECT_EQ(Text(menu.title), L"EN Status");
    ASSERT_EQ(menu.GetCount(), 17);
    int checked = -1;
    for (int i = 0; i < menu.GetCount(); ++i)
        if (menu.items[i].checked) checked = int(menu.items[i].argument);
    EXPECT_EQ(checked, AccountStatus::Online);

    // Choosing "Away" with the context 0 sets every connected account to it.
    int away = -1;
    for (int i = 0; i < menu.GetCount(); ++i)
        if (menu.items[i].kind == MENU_ITEM_PLAIN && menu.items[i].argument == AccountStatus::Away) away = i;
    ASSERT_NE(away, -1);
    ASSERT_NE(menu.items[away].callback, nullptr);
    fakeA.clearLog();
    menu.items[away].callback(0, menu.items[away].argument);
    Settle(id);
    Settle(other);
    EXPECT_EQ(fakeA.Count(id, PM_SET_STATUS), 1);
    EXPECT_EQ(fakeA.Count(other, PM_SET_STATUS), 0);  // offline while another is connected

    StatusEntry entry;
    EXPECT_EQ(manager->GetStatusInfo(0, AccountStatus::Away, &entry), 0);
    EXPECT_EQ(entry.status, AccountStatus::Away);
    EXPECT_EQ(Text(entry.name), L"EN Away");
    ASSERT_EQ(entry.images.GetCount(), 2);
    EXPECT_EQ(entry.images[1], 111);
}

// A language change: the table is filled again (and is whole when the event returns), the global
// status is announced in the new language and every account is told.
TEST_F(CommandsTest, LanguageChange)
{
    int languageEvent = bus.RegisterEvent(GUID_GUI, GUIEV_LANGUAGE_CHANGED);
    // Subscribed on start-up, so start again with the event registered.
    Stop();
    Start();
    Settle();
    ASSERT_EQ(manager->GetAccountCount(), 2);
    unsigned first = manager->GetAccountId(0);
    unsigned second = manager->GetAccountId(1);
    Settle(first);
    Settle(second);
    fakeA.clearLog();
    recorder->Clear();

    recorder->language = L"DE";
    ASSERT_EQ(bus.FireEvent(languageEvent, NewStringPayload(L"Deutsch"), nullptr, true), 0);
    StatusEntry entry;
    manager->GetStatusInfo(0, AccountStatus::Online, &entry);
    EXPECT_EQ(Text(entry.name), L"DE Online");
    Settle(first);
    Settle(second);
    std::vector<Event> changes = recorder->Events(PMEV_STATUS_CHANGED);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].v1, 0);
    EXPECT_EQ(changes[0].name, L"DE Offline");
    for (unsigned account : {first, second}) {
        std::vector<FakeLogEntry> log = fakeA.Log(account);
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(log[0].code, PM_LANGUAGE_CHANGED);
        EXPECT_EQ(std::wstring(log[0].text), L"Deutsch");
    }
}

// File transfers are appended to their file in the history folder; the file name, which may come
// from the peer, cannot leave it.
TEST_F(CommandsTest, FileTransfersWriteIntoTheHistoryFolder)
{
    std::wstring history = folder.path + L"History\\";
    const wchar_t* hostile = L"..\\escaped.txt";
    Notify(id, ACC_FILE_BEGIN, 5, hostile);
    std::vector<FakeLogEntry> log = fakeA.Log(id);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].code, PM_FILE_OPENED);
    EXPECT_EQ(log[0].v1, 5);
    EXPECT_EQ(log[0].v2, 1);

    Notify(id, ACC_FILE_DATA, 5, L"hello");
    Notify(id, ACC_FILE_DATA, 5, L" world");
    Notify(id, ACC_FILE_DATA, 6, L"never begun");
    Notify(id, ACC_FILE_END, 5);
    Notify(id, ACC_FILE_DATA, 5, L" after the end");

    std::wstring safe = Text(MakeSafeFileName(hostile));
    EXPECT_EQ(TempFolder::Read(history + safe), "hello world");
    EXPECT_FALSE(TempFolder::Exists(folder.path + L"escaped.txt"));
    // Nothing else appeared in the folder.
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((history + L"*").c_str(), &found);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    std::vector<std::wstring> names;
    do {
        if (std::wstring(found.cFileName) != L"." && std::wstring(found.cFileName) != L"..")
            names.push_back(found.cFileName);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    EXPECT_EQ(names, std::vector<std::wstring>{safe});
    EXPECT_EQ(recorder->Events().size(), 0u);  // transfers are not relayed
}

// A received file named like a contact's history never writes into that history.
TEST_F(CommandsTest, FileTransfersNeverWriteIntoAHistoryFile)
{
    std::wstring history = folder.path + L"History\\";
    ASSERT_TRUE(TestSupport::WriteWholeFile(history + L"WEX_1_2.zhf", std::string("ZHF-kept")));
    Notify(id, ACC_FILE_BEGIN, 7, L"WEX_1_2.ZHF");
    Notify(id, ACC_FILE_DATA, 7, L"peer bytes");
    Notify(id, ACC_FILE_END, 7);
    EXPECT_EQ(TempFolder::Read(history + L"WEX_1_2.zhf"), "ZHF-kept");
    EXPECT_EQ(TempFolder::Read(history + L"WEX_1_2.ZHF.bin"), "peer bytes");
}

// A file received under a name already in the folder (the user's own, or one received before)
// is written beside it, never appended to it.
TEST_F(CommandsTest, AReceivedFileNeverAppendsToAFileAlreadyThere)
{
    std::wstring history = folder.path + L"History\\";
    ASSERT_TRUE(TestSupport::WriteWholeFile(history + L"photo.jpg", std::string("mine")));
    ASSERT_TRUE(TestSupport::WriteWholeFile(history + L"photo (2).jpg", std::string("mine too")));
    Notify(id, ACC_FILE_BEGIN, 8, L"photo.jpg");
    Notify(id, ACC_FILE_BEGIN, 9, L"photo.jpg");  // a second at once takes the next name
    Notify(id, ACC_FILE_DATA, 8, L"first");
    Notify(id, ACC_FILE_DATA, 9, L"second");
    Notify(id, ACC_FILE_END, 8);
    Notify(id, ACC_FILE_END, 9);
    Notify(id, ACC_FILE_BEGIN, 10, L"README");
    Notify(id, ACC_FILE_DATA, 10, L"a");
    Notify(id, ACC_FILE_END, 10);
    Notify(id, ACC_FILE_BEGIN, 11, L"README");
    Notify(id, ACC_FILE_DATA, 11, L"b");
    Notify(id, ACC_FILE_END, 11);
    EXPECT_EQ(TempFolder::Read(history + L"photo.jpg"), "mine");
    EXPECT_EQ(TempFolder::Read(history + L"photo (2).jpg"), "mine too");
    EXPECT_EQ(TempFolder::Read(history + L"photo (3).jpg"), "first");
    EXPECT_EQ(TempFolder::Read(history + L"photo (4).jpg"), "second");
    EXPECT_EQ(TempFolder::Read(history + L"README"), "a");
    EXPECT_EQ(TempFolder::Read(history + L"README (2)"), "b");
}

// While the manager's thread fills the table again (a language change), a reader on another thread
// (the window thread showing the menu) sees the old table or the new one, never one half built.
TEST_F(CommandsTest, StatusTableIsNeverSeenHalfBuilt)
{
    int languageEvent = bus.RegisterEvent(GUID_GUI, GUIEV_LANGUAGE_CHANGED);
    Stop();
    Start();
    Settle();
    recorder->rowDelay = 1;

    struct Reader {
        CProtocolsManager* manager;
        std::atomic<bool> done{false};
        std::atomic<int> reads{0};
        std::atomic<int> torn{0};
    } state;
    state.manager = manager.get();
    HANDLE reader = CreateThread(
        nullptr, 0,
        [](void* context) -> DWORD {
            Reader& state = *static_cast<Reader*>(context);
            while (!state.done) {
                CPopupMenu menu;
                state.manager->GetStatusMenu(0, 0, &menu);
                StatusEntry entry;
                state.manager->GetStatusInfo(0, 0, &entry);
                if (menu.GetCount() != 17 || entry.status != 0 || entry.images.GetCount() != 2) ++state.torn;
                ++state.reads;
            }
            return 0;
        },
        &state, 0, nullptr);
    ASSERT_NE(reader, nullptr);
    for (int round = 0; round < 5; ++round) {
        recorder->language = round % 2 ? L"EN" : L"DE";
        ASSERT_EQ(bus.FireEvent(languageEvent, NewStringPayload(L"x"), nullptr, true), 0);
    }
    state.done = true;
    WaitForSingleObject(reader, INFINITE);
    CloseHandle(reader);
    EXPECT_GT(state.reads.load(), 0);
    EXPECT_EQ(state.torn.load(), 0);
    StatusEntry entry;
    manager->GetStatusInfo(0, 2, &entry);
    EXPECT_EQ(Text(entry.name), L"DE Online");
}

// Until the application has filled the table, the global status has no row: lookups leave their
// output alone, the menu stays empty, and an announcement still carries the right status.
TEST_F(ManagerTest, GlobalStatusWithoutTable)
{
    fillStatusTable = false;
    Start();
    Settle();
    StatusEntry entry;
    entry.status = 77;
    EXPECT_EQ(manager->GetStatusInfo(0, 2, &entry), 0);
    EXPECT_EQ(entry.status, 77);
    CPopupMenu menu;
    EXPECT_EQ(manager->GetStatusMenu(0, 0, &menu), 0);
    EXPECT_EQ(menu.GetCount(), 0);

    unsigned id = manager->CreateAccount(GUID_FAKE_A);
    Settle(id);
    recorder->Clear();
    manager->SetStatus(id, AccountStatus::Away);
    Settle(id);
    Settle(id);
    std::vector<Event> changes = recorder->Events(PMEV_STATUS_CHANGED);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].v1, 0);
    EXPECT_EQ(changes[0].status, AccountStatus::Away);
    EXPECT_TRUE(changes[0].name.empty());
}
