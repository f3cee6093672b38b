// Contacts' presence through the real services: arrivals and departures become the icons the
// contact list shows (status, x-status, client picture from a small clients file, list marks), a
// status check is answered, and x-statuses travel both ways.
#include "WexContactsFixture.h"

#include "Wex/proto/CapabilityTable.h"
#include "Wex/proto/IncomingMessage.h"
#include "Wex/proto/MessageCommands.h"
#include "Wex/proto/XStatusTable.h"
#include "Zel/core/plugin/PopupMenu.h"
#include "ZELCommon/tests/TempFolder.h"

#include <gtest/gtest.h>

using namespace WexTest;

namespace {

Bytes XStatusGuid(int index)
{
    return Bytes(Wex::XStatusRows[index - 1].guid.begin(), Wex::XStatusRows[index - 1].guid.end());
}

// The identifier of a capability by its name in the table.
Bytes Named(const wchar_t* name)
{
    static const Wex::CapabilityTable table;
    const Wex::CapabilityEntry* entry = table.FindByName(CZELString(name));
    return entry ? Bytes(entry->guid.begin(), entry->guid.end()) : Bytes();
}

// A clients file in the plug-in's own folder for one test, gone after it.
class ClientsFile {
public:
    explicit ClientsFile(const std::wstring& text) : path(PluginTree::ProgramFolder() + L"Protos\\Wex\\Clients.cfg")
    {
        std::string bytes = "\xFF\xFE";
        for (wchar_t c : text) bytes += {char(c & 0xFF), char(c >> 8)};
        written = TestSupport::WriteWholeFile(path, bytes);
    }
    ~ClientsFile() { DeleteFileW(path.c_str()); }

    const std::wstring path;
    bool written = false;
};

class WexPresenceTest : public WexContactsTest {
protected:
    StatusInfo LastStatus(const std::string& uin)
    {
        std::vector<ListEventRecorder::Event> seen = events->Events(CLE_CONTACT_STATUS, ContactOf(uin));
        return seen.empty() ? StatusInfo() : seen.back().status;
    }

    // Waits for the count-th status notice of uin.
    bool WaitStatus(const std::string& uin, size_t count = 1)
    {
        return events->WaitFor(CLE_CONTACT_STATUS, ContactOf(uin), count);
    }
};

} // namespace

TEST_F(WexPresenceTest, ArrivalsAndDeparturesBecomeTheContactsIcons)
{
    ClientsFile clients(L"[nine]\r\nname=Nine\r\nprotover=9\r\npic=nine.png\r\n");
    ASSERT_TRUE(clients.written);
    const int x = WexPictures::XStatusFirst;
    struct Case {
        const char* name;
        std::string uin;
        Presence presence;
        int status;
        std::vector<int> main;
        std::vector<std::wstring> extra;  // picture names
    };
    const Bytes statuses = Wire().Raw(Named(L"caStatusHome")).Raw(Named(L"caStatusWork"));
    const Case cases[] = {
        {"online", "71", {0, Bytes(), Bytes()}, 2, {3}, {}},
        {"away", "72", {0x0001, Bytes(), Bytes()}, 11, {14}, {}},
        {"invisible", "73", {0x0100, Bytes(), Bytes()}, 3, {6}, {}},
        {"at home, then at work: the last counts", "74", {0, statuses, Bytes()}, 9, {12}, {}},
        {"x-status 3", "75", {0, Wire().Raw(Caps({Wex::caXtraz})).Raw(XStatusGuid(3)), Bytes()}, 2, {3, x + 3}, {}},
        {"a client of this family", "76", {0, Caps({Wex::caZELPDA}), Bytes()}, 2, {4}, {}},
        {"a client the clients file knows", "77", {0, Bytes(), DcBlock(9)}, 2, {3}, {L"Clients\\nine.png"}},
        {"a screen name", "zed", {0, Bytes(), Bytes()}, 2, {5}, {}},
    };
    std::vector<std::string> uins;
    for (const Case& c : cases) uins.push_back(c.uin);
    unsigned id = OnlineWith(uins);
    ASSERT_NE(0u, id);
    for (const Case& c : cases) Push(ArrivalFrame(c.uin, c.presence));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(WaitStatus(c.uin));
        StatusInfo icons = LastStatus(c.uin);
        EXPECT_EQ(c.status, icons.status);
        EXPECT_EQ(c.main, Entries(icons.kinds));
        std::vector<std::wstring> extra;
        for (int i = 0; i < icons.images.GetCount(); ++i) extra.push_back(Text(images->GetName(icons.images[i])));
        EXPECT_EQ(c.extra, extra);
        // The same icons when the contact list asks.
        StatusInfo asked;
        ASSERT_TRUE(Manager().GetContactIcons(id, ContactOf(c.uin), &asked));
        EXPECT_EQ(Entries(icons.kinds), Entries(asked.kinds));
    }

    // Departures: offline pictures, a screen name its own.
    Push(DepartureFrame("71"));
    Push(DepartureFrame("zed"));
    ASSERT_TRUE(WaitStatus("zed", 2));
    ASSERT_TRUE(WaitStatus("71", 2));
    EXPECT_EQ(0, LastStatus("71").status);
    EXPECT_EQ(std::vector<int>{0}, Entries(LastStatus("71").kinds));
    EXPECT_EQ(std::vector<int>{1}, Entries(LastStatus("zed").kinds));
    ExpectNoFaults();
}

TEST_F(WexPresenceTest, ListMarksAndContactsOutsideTheList)
{
    // 81 waits for authorisation and is on the visible and ignore lists.
    unsigned id = OnlineWith({"81", "82"}, nullptr,
                             {ListItemBytes("81", 0, 0x30, 2), ListItemBytes("81", 0, 0x31, 14)});
    ASSERT_NE(0u, id);
    IContactListData& list = *ContactListDataService;
    auto contact = [&](int group, const wchar_t* uin) {
        const int contactId = list.AddContact(id, group);
        list.SetPropertyString(contactId, CZELString(L"Account name"), CZELString(uin));
        return contactId;
    };
    const int group = list.GetContactGroup(ContactOf("82"));
    ASSERT_NE(0, group);
    const int outsideGroups = contact(0, L"82");
    const int unknown = contact(group, L"83");
    const int unknownTop = contact(0, L"84");
    struct Case {
        const char* name;
        int contactId;
        std::vector<int> main;
        std::vector<int> extra;
    };
    const Case cases[] = {
        {"on two lists", ContactOf("81"), {0}, {62, 64}},
        {"in the server list, in no group", outsideGroups, {18}, {}},
        {"in a group, not in the server list", unknown, {0}, {}},
        {"in neither", unknownTop, {18}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StatusInfo icons;
        ASSERT_TRUE(Manager().GetContactIcons(id, c.contactId, &icons));
        EXPECT_EQ(0, icons.status);
        EXPECT_EQ(c.main, Entries(icons.kinds));
        EXPECT_EQ(c.extra, Entries(icons.images));
    }
}

TEST_F(WexPresenceTest, AContactAwaitingAuthorisationIsMarked)
{
    unsigned id = CreateAccount();
    ASSERT_NE(0u, id);
    events.reset(new ListEventRecorder(*bus));
    Wire body;
    body.U8(0).U16(3).Raw(ListItemBytes("Friends", 1, 0, 1)).Raw(ListItemBytes("85", 1, 0x10, 0, Wire().Tlv(0x0066, Bytes())));
    body.Raw(ListItemBytes("", 0, 0x21, 4, Wire().Tlv(0x00CA, Wire().U8(1)))).U32(1700000000);
    FakeWexServer::Answer answer;
    answer.family = 0x13;
    answer.subtype = 0x06;
    answer.body = body;
    server.SetRoster({answer});
    SignOn(id);
    int contactId = 0;
    ASSERT_TRUE(BusTest::WaitUntil([&] { return (contactId = FindContact(id, "85")) != 0; }));
    StatusInfo icons;
    ASSERT_TRUE(Manager().GetContactIcons(id, contactId, &icons));
    EXPECT_EQ(std::vector<int>{65}, Entries(icons.images));
}

TEST_F(WexPresenceTest, AStatusCheckIsAnsweredWithTheContactsStatus)
{
    unsigned id = OnlineWith({"91"});
    ASSERT_NE(0u, id);
    recorder->Clear();
    Push(Snac(0x02, 0x06, UserInfoBlock("91", {0x0001, Bytes(), Bytes()})));
    ASSERT_TRUE(recorder->WaitFor(PMEV_SHOW_TEXT));
    EXPECT_EQ(L"91 \nAway", Warnings().back());
    // The location rights reply is answered with the capabilities announced at sign-on.
    const size_t before = server.ClientSnacs(2, 4).size();
    Push(Snac(0x02, 0x03, Bytes()));
    ASSERT_TRUE(WaitClientSnacs(2, 4, before + 1));
    EXPECT_EQ(16u + 4 + 192, server.ClientSnacs(2, 4).back().size());
}

TEST_F(WexPresenceTest, OwnXStatusIsAnnouncedAndToldToThoseWhoAsk)
{
    unsigned id = OnlineWith({"101"}, [](ValueRecordList& values) {
        Put(values, WexKeys::XStatus).WriteByte(4);
        Put(values, WexKeys::XStatusTitle(3).GetBuffer()).WriteString(CZELString(L"Party <time>"), false);
        Put(values, WexKeys::XStatusDescription(3).GetBuffer()).WriteString(CZELString(L"at Bob's & Ann's"), false);
    });
    ASSERT_NE(0u, id);
    // Announced at sign-on with the rest of the status capabilities.
    ASSERT_TRUE(WaitClientSnacs(2, 4, 1));
    const Bytes announced = server.ClientSnacs(2, 4).front();
    const Bytes party = XStatusGuid(4);
    EXPECT_NE(announced.end(), std::search(announced.begin(), announced.end(), party.begin(), party.end()));

    // A contact asks: the answer carries the query's cookie and sequence (its bytes as they came),
    // and the own texts escaped.
    const Bytes query = Wex::SendXStatusQuery(1, 6, {0x51, 0x52}, CZELString(L"100200300"), 9, CZELString(L"101"));
    Push(IncomingMessageFrame(2, "101", MessageTlvsOf(query)));
    ASSERT_TRUE(WaitClientSnacs(4, 0x0B, 1));
    const Bytes answer = server.ClientSnacs(4, 0x0B)[0];
    // The message as relayed carries the server's cookie.
    EXPECT_EQ(0x11111111u, Cookie1Of(answer));
    const Bytes expected = Wex::XStatusResponse(0, 11, {0x11111111, 0x22222222}, CZELString(L"100200300"), CZELString(L"101"), 4,
                                                CZELString(L"Party <time>"), CZELString(L"at Bob's & Ann's"), 0x5200);
    EXPECT_EQ(ToHex(Bytes(expected.begin() + 6, expected.end())), ToHex(Bytes(answer.begin() + 6, answer.end())));
    const std::string body(answer.begin(), answer.end());
    EXPECT_NE(std::string::npos, body.find("&lt;title&gt;Party &amp;lt;time&amp;gt;&lt;/title&gt;"));
    ExpectNoFaults();
}

TEST_F(WexPresenceTest, ContactsXStatusIsAskedForAndShown)
{
    unsigned id = OnlineWith({"111"}, [](ValueRecordList& values) { Put(values, WexKeys::XStatusAutoRequest).WriteByte(1); });
    ASSERT_NE(0u, id);
    const int contact = ContactOf("111");
    Push(ArrivalFrame("111", {0, XStatusGuid(7), Bytes()}));
    ASSERT_TRUE(events->WaitFor(CLE_CONTACT_STATUS, contact));
    // Asked once: the mark goes with the question.
    Manager().RequestAuthorization(id, contact);
    Manager().RequestAuthorization(id, contact);
    ASSERT_TRUE(WaitClientSnacs(4, 6, 1));
    Sleep(300);
    ASSERT_EQ(1u, server.ClientSnacs(4, 6).size());
    const Bytes query = server.ClientSnacs(4, 6)[0];
    Wex::IncomingMessage asked;
    const Bytes relayed = IncomingMessageFrame(2, "100200300", MessageTlvsOf(query));
    ASSERT_GT(asked.Unpack(relayed.data(), relayed.size()), 0);
    EXPECT_TRUE(asked.IsXStatusQuery());
    const std::string body(query.begin(), query.end());
    EXPECT_NE(std::string::npos, body.find("&lt;trans&gt;7&lt;/trans&gt;&lt;senderId&gt;100200300&lt;"));

    // Asked again from the contact's menus, whatever the mark says.
    CPopupMenu contactMenu;
    contactMenu.AddItem(CMenuItem(MENU_ITEM_PLAIN, CZELString(L"Send message"), 4001, nullptr, 0, false));
    contactMenu.AddItem(CMenuItem(MENU_ITEM_PLAIN, CZELString(L"Contact details"), 4004, nullptr, 0, false));
    ASSERT_TRUE(Manager().FillContactMenu(id, contact, &contactMenu));
    ASSERT_GE(contactMenu.GetCount(), 3);
    const CMenuItem& fromList = contactMenu.items[1];
    EXPECT_EQ(L"Request x-status", Text(fromList.text));
    EXPECT_EQ(std::vector<int>{WexPictures::XStatusNone}, Entries(fromList.images));
    CPopupMenu chatMenu;
    ASSERT_TRUE(Manager().FillChatMenu(id, contact, &chatMenu));
    ASSERT_EQ(1, chatMenu.GetCount());
    EXPECT_EQ(L"Request x-status", Text(chatMenu.items[0].text));
    ASSERT_NE(nullptr, chatMenu.items[0].callback);
    chatMenu.items[0].callback(0, chatMenu.items[0].argument);
    ASSERT_TRUE(WaitClientSnacs(4, 6, 2));

    // The answer is shown as a message with the x-status's picture, its texts as the contact wrote
    // them.
    Push(XStatusReplyFrame("111", "&lt;title&gt;Eating &amp;amp; more&lt;/title&gt;&lt;desc&gt;soup&lt;/desc&gt;"));
    ASSERT_TRUE(events->WaitFor(CLE_INCOMING_MESSAGE, contact));
    MessageRecord shown = events->Events(CLE_INCOMING_MESSAGE, contact)[0].message;
    EXPECT_EQ(2, shown.flags);
    EXPECT_EQ(L"Eating & more", Text(shown.text));
    EXPECT_EQ(L"soup", Text(shown.secondText));
    CZELArray<int> kind(1, shown.kind);
    EXPECT_EQ(std::vector<int>{WexPictures::XStatusFirst + 7}, Entries(kind));
    ExpectNoFaults();
}

TEST_F(WexPresenceTest, StatusesWithoutANetworkWordAreAnnouncedAsCapabilities)
{
    unsigned id = CreateAccount();
    ASSERT_NE(0u, id);
    SignOn(id, AccountStatus::FreeForChat);
    auto announces = [&](const Bytes& frame, const wchar_t* name) {
        const Bytes guid = Named(name);
        return std::search(frame.begin(), frame.end(), guid.begin(), guid.end()) != frame.end();
    };
    ASSERT_TRUE(WaitClientSnacs(2, 4, 1));
    EXPECT_TRUE(announces(server.ClientSnacs(2, 4).back(), L"caStatusFFC"));
    // A change to another such status announces the new one at once, not the one it leaves.
    const size_t before = server.ClientSnacs(2, 4).size();
    Manager().SetStatus(id, AccountStatus::AtHome);
    ASSERT_TRUE(WaitClientSnacs(2, 4, before + 1));
    const Bytes home = server.ClientSnacs(2, 4).back();
    EXPECT_TRUE(announces(home, L"caStatusHome"));
    EXPECT_FALSE(announces(home, L"caStatusFFC"));
    // Leaving them announces none.
    Manager().SetStatus(id, AccountStatus::Online);
    ASSERT_TRUE(WaitClientSnacs(2, 4, before + 2));
    EXPECT_FALSE(announces(server.ClientSnacs(2, 4).back(), L"caStatusHome"));
    ExpectNoFaults();
}

TEST_F(WexPresenceTest, AnAuthorisationRequestIsAnsweredFromTheChatMenu)
{
    unsigned id = OnlineWith({"121"});
    ASSERT_NE(0u, id);
    const int contact = ContactOf("121");
    CPopupMenu none;
    ASSERT_TRUE(Manager().FillChatMenu(id, contact, &none));
    EXPECT_EQ(0, none.GetCount());
    Push(Snac(0x13, 0x19, Wire().Str8("121").Str16("let me in").U16(0)));
    ASSERT_TRUE(events->WaitFor(CLE_INCOMING_MESSAGE, contact));
    CPopupMenu chat;
    ASSERT_TRUE(Manager().FillChatMenu(id, contact, &chat));
    ASSERT_EQ(1, chat.GetCount());
    ASSERT_EQ(MENU_ITEM_SUBMENU, chat.items[0].kind);
    EXPECT_EQ(L"Authorization", Text(chat.items[0].text));
    const CPopupMenu& answers = *chat.items[0].subMenu;
    ASSERT_EQ(3, answers.GetCount());
    EXPECT_EQ(L"Accept", Text(answers.items[0].text));
    EXPECT_EQ(L"Decline", Text(answers.items[1].text));
    EXPECT_EQ(L"Ignore", Text(answers.items[2].text));
    answers.items[0].callback(0, answers.items[0].argument);
    ASSERT_TRUE(WaitClientSnacs(0x13, 0x1A, 1));
    // Answered: the menu offers it no more.
    ASSERT_TRUE(BusTest::WaitUntil([&] {
        CPopupMenu after;
        Manager().FillChatMenu(id, contact, &after);
        return after.GetCount() == 0;
    }));
    ExpectNoFaults();
}
