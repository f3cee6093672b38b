// The server-side list through the real services: the roster the fake server sends becomes the
// contact list, survives a restart, and the user's edits go out as commands that change the list
// only when the server acknowledges them.
#include "WexAccountFixture.h"

#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/core/contactlist/ContactListPayloads.h"
#include "Zel/core/plugin/PopupMenu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>

using namespace WexTest;

namespace {

using Answer = FakeWexServer::Answer;

Bytes Item(const std::string& name, unsigned group, unsigned item, unsigned type, const Bytes& tlvs = Bytes())
{
    return Wire().Str16(name).U16(group).U16(item).U16(type).U16(unsigned(tlvs.size())).Raw(tlvs);
}

// One roster frame of items; the last carries the time of the last change.
Answer RosterFrame(const std::vector<Bytes>& items, bool last)
{
    Wire body;
    body.U8(0).U16(unsigned(items.size()));
    for (const Bytes& item : items) body.Raw(item);
    if (last) body.U32(1700000000);
    Answer answer;
    answer.family = 0x13;
    answer.subtype = 0x06;
    answer.body = body;
    answer.flags = last ? 0 : Wex::SnacFlagMoreFollow;
    return answer;
}

const Bytes kAnnAlias = Wire().Tlv(0x0131, Wire().Text("\xD0\x90\xD0\xBD\xD1\x8F"));  // "Аня"

// Groups after the contacts that name them, privacy entries, a contact awaiting authorisation, cut
// over three frames.
std::vector<Answer> MixedRoster()
{
    return {
        RosterFrame({Item("111", 2, 11, 0, kAnnAlias), Item("222", 2, 12, 0, Wire().Tlv(0x0066, Bytes())),
                     Item("111", 0, 13, 2)},
                    false),
        RosterFrame({Item("Work", 2, 0, 1), Item("Friends", 1, 0, 1), Item("333", 1, 14, 0), Item("333", 0, 15, 14),
                     Item("111", 0, 16, 3)},
                    false),
        RosterFrame({Item("", 0, 17, 4, Wire().Tlv(0x00CA, Wire().U8(3)).Tlv(0x00CB, Wire().U32(0xFFFFFFFF)))}, true),
    };
}

// The body of a client's SNAC frame (after its 16 header bytes) and its request id.
std::string BodyOf(const Bytes& frame)
{
    return ToHex(Bytes(frame.begin() + Wex::SnacBodyOffset, frame.end()));
}

unsigned RequestIdOf(const Bytes& frame)
{
    Wex::SnacPacket snac;
    Wex::UnpackSnac(frame.data(), frame.size(), snac);
    return snac.requestId;
}

// The incoming messages the contact list relays.
class MessageRecorder : public QueueReceiver {
public:
    explicit MessageRecorder(Services::CServicesManager& bus) : bus(bus)
    {
        queue = bus.CreateQueue(this, CZELString(L"Message recorder"));
        bus.Subscribe(GUID_CONTACT_LIST_DATA, CLE_INCOMING_MESSAGE, queue);
    }
    ~MessageRecorder() override { bus.DestroyQueue(queue); }

    int HandleMessage(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2) override
    {
        CMessagePayload* message = dynamic_cast<CMessagePayload*>(p2);
        if (msgClass != GUID_CONTACT_LIST_DATA || code != CLE_INCOMING_MESSAGE || !message) return 0;
        std::lock_guard<std::mutex> hold(lock);
        seen.push_back(message->message);
        (void)p1;
        return 0;
    }

    std::vector<MessageRecord> Seen()
    {
        std::lock_guard<std::mutex> hold(lock);
        return seen;
    }

private:
    Services::CServicesManager& bus;
    int queue;
    std::mutex lock;
    std::vector<MessageRecord> seen;
};

class WexRosterTest : public WexAccountFixture {
protected:
    WexRosterTest() : WexAccountFixture(L"wex_roster") {}

    IContactListData& List() { return *ContactListDataService; }

    std::wstring Property(int item, const wchar_t* name)
    {
        CZELString value;
        List().GetPropertyString(item, CZELString(name), value);
        return Text(value);
    }

    int Flag(int item, const wchar_t* name)
    {
        char value = 0;
        List().GetPropertyByte(item, CZELString(name), &value);
        return value;
    }

    // The account's list as lines "group/alias (uin) v i g", sorted; a group alone as "group/".
    std::vector<std::wstring> Snapshot(unsigned id)
    {
        std::vector<std::wstring> lines;
        CZELArray<ContactListItemPair> pairs;
        List().GetAccountItems(id, pairs);
        for (int i = 0; i < pairs.GetCount(); ++i) {
            const ContactListItemPair& pair = pairs[i];
            std::wstring group = pair.groupId ? Property(pair.groupId, L"Account name") + L"/" : L"/";
            if (!pair.contactId) {
                lines.push_back(group);
                continue;
            }
            lines.push_back(group + Property(pair.contactId, L"CL Alias") + L" (" +
                            Property(pair.contactId, L"Account name") + L") " +
                            std::to_wstring(Flag(pair.contactId, L"In visible list")) + L" " +
                            std::to_wstring(Flag(pair.contactId, L"In invisible list")) + L" " +
                            std::to_wstring(Flag(pair.contactId, L"In ignore list")));
        }
        std::sort(lines.begin(), lines.end());
        return lines;
    }

    bool WaitForSnapshot(unsigned id, const std::vector<std::wstring>& expected)
    {
        return BusTest::WaitUntil([&] { return Snapshot(id) == expected; });
    }

    int ItemNamed(unsigned id, const wchar_t* name, bool group)
    {
        CZELArray<ContactListItemPair> pairs;
        List().GetAccountItems(id, pairs);
        for (int i = 0; i < pairs.GetCount(); ++i) {
            const int item = group ? pairs[i].groupId : pairs[i].contactId;
            if (item && (group ? !pairs[i].contactId : true) && Property(item, L"Account name") == name) return item;
        }
        return 0;
    }

    // Waits for the count-th client frame of the family and subtype (1-based) and gives it.
    Bytes ClientFrame(unsigned family, unsigned subtype, size_t count)
    {
        server.WaitUntil([&] { return server.ClientSnacs(family, subtype).size() >= count; });
        std::vector<Bytes> frames = server.ClientSnacs(family, subtype);
        return frames.size() >= count ? frames[count - 1] : Bytes();
    }

    void Acknowledge(const Bytes& frame, unsigned short result = 0)
    {
        Answer ack;
        ack.family = 0x13;
        ack.subtype = 0x0E;
        ack.body = Wire().U16(result);
        ack.requestId = RequestIdOf(frame);
        server.Push(ack);
    }

    // The list commands the client sent after the sign-on (adds, updates, deletes and the
    // transaction markers), by subtype; the privacy-settings updates left out.
    std::vector<unsigned> ListCommandsSent()
    {
        std::vector<unsigned> subtypes;
        for (const FakeWexServer::Frame& frame : server.Frames()) {
            Wex::SnacPacket snac;
            if (!frame.main || !frame.fromClient || frame.bytes[1] != 2 ||
                !Wex::UnpackSnac(frame.bytes.data(), frame.bytes.size(), snac) || snac.family != 0x13)
                continue;
            const bool privacyItem = frame.bytes.size() > 23 && frame.bytes[16] == 0 && frame.bytes[17] == 0 &&
                                     frame.bytes[22] == 0 && frame.bytes[23] == 4;
            if (snac.subtype >= 0x08 && snac.subtype <= 0x12 && !privacyItem) subtypes.push_back(snac.subtype);
        }
        return subtypes;
    }

    // The updates (13/09) the client has sent so far.
    size_t Updates() { return server.ClientSnacs(0x13, 0x09).size(); }

    const std::vector<std::wstring> kMixed = {
        L"Friends/",
        L"Friends/333 (333) 0 0 1",
        L"Work/",
        L"Work/222 (222) 0 0 0",
        L"Work/\x0410\x043D\x044F (111) 1 1 0",
    };
};

}  // namespace

TEST_F(WexRosterTest, ARosterInPiecesAndOutOfOrderBecomesTheContactList)
{
    server.SetRoster(MixedRoster());
    unsigned id = CreateAccount();
    for (auto delivery : {FakeWexServer::Delivery::EachFrame, FakeWexServer::Delivery::Pieces}) {
        server.SetDelivery(delivery, 5);
        SignOn(id);
        // Merged once, and again at the next sign-on without doubling anything.
        EXPECT_TRUE(WaitForSnapshot(id, kMixed)) << testing::PrintToString(Snapshot(id));
        Manager().SetStatus(id, AccountStatus::Offline);
        ASSERT_TRUE(WaitForStatus(id, AccountStatus::Offline));
    }
    ExpectNoFaults();
}

TEST_F(WexRosterTest, TheListSurvivesARestartFromItsCache)
{
    server.SetRoster(MixedRoster());
    unsigned id = CreateAccount();
    SignOn(id);
    ASSERT_TRUE(WaitForSnapshot(id, kMixed)) << testing::PrintToString(Snapshot(id));
    Manager().SetStatus(id, AccountStatus::Offline);
    ASSERT_TRUE(WaitForStatus(id, AccountStatus::Offline));
    StopProgram();

    StartProgram();
    ASSERT_EQ(Manager().GetAccountCount(), 1);
    id = Manager().GetAccountId(0);
    // Before any sign-on: the contact list kept its items, the account its copy of the server's.
    EXPECT_TRUE(WaitForSnapshot(id, kMixed)) << testing::PrintToString(Snapshot(id));
    int size = 0;
    ASSERT_TRUE(Manager().GetAccountValueSize(id, CZELString(L"CL data"), &size));
    std::vector<unsigned char> cache(static_cast<size_t>(size));
    unsigned length = unsigned(size);
    ASSERT_TRUE(Manager().GetAccountBlob(id, CZELString(L"CL data"), cache.data(), &length));
    ASSERT_GE(cache.size(), 3u);
    EXPECT_EQ(cache[1] << 8 | cache[2], 9);  // every item, the privacy entries too
    // The privacy status came back from the cache: the menu marks 3.
    CPopupMenu privacy;
    Manager().GetStatusMenu(id, 2, &privacy);
    ASSERT_EQ(privacy.GetCount(), 5);
    for (int i = 0; i < privacy.GetCount(); ++i)
        EXPECT_EQ(privacy.items[i].checked, privacy.items[i].argument == 3 ? 1 : 0);

    // A sign-on with a changed roster: what went is removed, what stayed keeps its item.
    const int kept = ItemNamed(id, L"333", false);
    server.SetRoster({RosterFrame({Item("Friends", 1, 0, 1), Item("333", 1, 14, 0)}, true)});
    SignOn(id);
    EXPECT_TRUE(WaitForSnapshot(id, {L"Friends/", L"Friends/333 (333) 0 0 0"}))
        << testing::PrintToString(Snapshot(id));
    EXPECT_EQ(ItemNamed(id, L"333", false), kept);
    ExpectNoFaults();
}

TEST_F(WexRosterTest, EditsGoOutByteForByteAndApplyOnlyOnAcknowledgement)
{
    server.SetRoster(MixedRoster());
    unsigned id = CreateAccount();
    SignOn(id);
    ASSERT_TRUE(WaitForSnapshot(id, kMixed));
    server.SetListAcks(false);

    // A group: its id is the first free one from 1024.
    Manager().AddGroup(id, CZELString(L"New"));
    Bytes add = ClientFrame(0x13, 0x08, 1);
    ASSERT_FALSE(add.empty());
    EXPECT_EQ(BodyOf(add), ToHex(Hex("00 03 4E 65 77  04 00  00 00  00 01  00 00")));
    Sleep(200);
    EXPECT_EQ(ItemNamed(id, L"New", true), 0);
    Acknowledge(add);
    ASSERT_TRUE(BusTest::WaitUntil([&] { return ItemNamed(id, L"New", true) != 0; }));
    const int newGroup = ItemNamed(id, L"New", true);

    // A move: start, delete, add under the next free id, end; the contact moves on the add's
    // acknowledgement only.
    const int contact = ItemNamed(id, L"333", false);
    Manager().MoveContact(id, contact, newGroup);
    Bytes begin = ClientFrame(0x13, 0x11, 1);
    Bytes remove = ClientFrame(0x13, 0x0A, 1);
    Bytes readd = ClientFrame(0x13, 0x08, 2);
    Bytes end = ClientFrame(0x13, 0x12, 1);
    ASSERT_FALSE(end.empty());
    EXPECT_EQ(BodyOf(remove), ToHex(Hex("00 03 33 33 33  00 01  00 0E  00 00  00 00")));
    EXPECT_EQ(BodyOf(readd), ToHex(Hex("00 03 33 33 33  04 00  04 01  00 00  00 00")));
    EXPECT_EQ(ListCommandsSent(), (std::vector<unsigned>{0x08, 0x11, 0x0A, 0x08, 0x12}));
    Acknowledge(remove);
    Sleep(200);
    EXPECT_EQ(List().GetContactGroup(contact), ItemNamed(id, L"Friends", true));
    Acknowledge(readd);
    EXPECT_TRUE(BusTest::WaitUntil([&] { return List().GetContactGroup(contact) == newGroup; }));

    // A rename carries the alias in UTF-8 and shows only when acknowledged.
    const int ann = ItemNamed(id, L"111", false);
    const size_t updates = Updates();
    Manager().RenameContact(id, ann, CZELString(L"\x0410\x043D\x043D\x0430"));
    Bytes rename = ClientFrame(0x13, 0x09, updates + 1);
    ASSERT_FALSE(rename.empty());
    EXPECT_EQ(BodyOf(rename), ToHex(Hex("00 03 31 31 31  00 02  00 0B  00 00  00 0C  01 31 00 08 D0 90 D0 BD D0 BD D0 B0")));
    Sleep(200);
    EXPECT_EQ(Property(ann, L"CL Alias"), L"\x0410\x043D\x044F");
    Acknowledge(rename);
    EXPECT_TRUE(BusTest::WaitUntil([&] { return Property(ann, L"CL Alias") == L"\x0410\x043D\x043D\x0430"; }));
    ExpectNoFaults();
}

// Two deletes sent before either is acknowledged: each acknowledgement applies its own, in whatever
// order they come.
TEST_F(WexRosterTest, TwoPendingDeletesEachApplyTheirOwn)
{
    server.SetRoster(MixedRoster());
    unsigned id = CreateAccount();
    SignOn(id);
    ASSERT_TRUE(WaitForSnapshot(id, kMixed));
    server.SetListAcks(false);
    const int ann = ItemNamed(id, L"111", false);
    const int bob = ItemNamed(id, L"222", false);
    Manager().DeleteContact(id, ann);
    Manager().DeleteContact(id, bob);
    Bytes first = ClientFrame(0x13, 0x0A, 1);
    Bytes second = ClientFrame(0x13, 0x0A, 2);
    ASSERT_FALSE(second.empty());
    // The end of the second edit follows its delete in a frame of its own.
    BusTest::WaitUntil([&] { return ListCommandsSent().size() >= 6; });
    EXPECT_EQ(ListCommandsSent(), (std::vector<unsigned>{0x11, 0x0A, 0x12, 0x11, 0x0A, 0x12}));
    EXPECT_NE(RequestIdOf(first), RequestIdOf(second));
    EXPECT_EQ(BodyOf(first), ToHex(Hex("00 03 31 31 31  00 02  00 0B  00 00  00 0A  01 31 00 06 D0 90 D0 BD D1 8F")));
    Acknowledge(second);
    ASSERT_TRUE(BusTest::WaitUntil([&] { return ItemNamed(id, L"222", false) == 0; }));
    EXPECT_EQ(ItemNamed(id, L"111", false), ann);
    Acknowledge(first);
    ASSERT_TRUE(BusTest::WaitUntil([&] { return ItemNamed(id, L"111", false) == 0; }));
    // An acknowledgement nobody waits for changes nothing.
    Acknowledge(first);
    Sleep(200);
    EXPECT_EQ(Snapshot(id), (std::vector<std::wstring>{L"Friends/", L"Friends/333 (333) 0 0 1", L"Work/"}));
    ExpectNoFaults();
}

TEST_F(WexRosterTest, RefusedEditsWarnAndChangeNothing)
{
    server.SetRoster(MixedRoster());
    unsigned id = CreateAccount();
    SignOn(id);
    ASSERT_TRUE(WaitForSnapshot(id, kMixed));
    const struct {
        unsigned short code;
        const wchar_t* warning;
    } cases[] = {
        {2, L"Item not found"},
        {3, L"Item already exist"},
        {10, L"Error adding item"},
        {12, L"Can't add item (limit of this type of items exceeded)"},
        {13, L"Trying to add WEX contact to AIM list"},
        {14, nullptr},  // a group is no contact to ask first: neither added again nor warned about
        {7, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        recorder->Clear();
        server.SetListAcks(true, c.code);
        const size_t adds = server.ClientSnacs(0x13, 0x08).size();
        Manager().AddGroup(id, CZELString(L"Other"));
        ASSERT_FALSE(ClientFrame(0x13, 0x08, adds + 1).empty());
        if (c.warning) {
            ASSERT_TRUE(recorder->WaitFor(PMEV_SHOW_TEXT));
            EXPECT_EQ(Warnings(), std::vector<std::wstring>{c.warning});
        } else {
            Sleep(300);
            EXPECT_TRUE(Warnings().empty());
        }
        EXPECT_EQ(server.ClientSnacs(0x13, 0x08).size(), adds + 1);
        EXPECT_EQ(Snapshot(id), kMixed);
    }
    ExpectNoFaults();
}

// The contact menu's privacy items add and remove list entries; the contact's flags follow the
// acknowledgements.
TEST_F(WexRosterTest, PrivacyListsFromTheContactMenu)
{
    server.SetRoster(MixedRoster());
    unsigned id = CreateAccount();
    SignOn(id);
    ASSERT_TRUE(WaitForSnapshot(id, kMixed));
    const int bob = ItemNamed(id, L"222", false);
    auto choose = [&](const wchar_t* text) {
        CPopupMenu menu;
        menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, CZELString(L"Send message"), 4001, nullptr, 0, false));
        menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, CZELString(L"Unknown"), 4999, nullptr, 0, false));
        menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, CZELString(L"Rename contact"), 4009, nullptr, 0, false));
        Manager().FillContactMenu(id, bob, &menu);
        EXPECT_EQ(menu.FindItem(4999), -1);
        EXPECT_GE(menu.FindItem(4009), 0);
        for (int i = 0; i < menu.GetCount(); ++i) {
            if (Text(menu.items[i].text) != text) continue;
            menu.items[i].callback(0, menu.items[i].argument);
            return true;
        }
        return false;
    };
    ASSERT_TRUE(choose(L"Add to visible list"));
    Bytes add = ClientFrame(0x13, 0x08, 1);
    EXPECT_EQ(BodyOf(add), ToHex(Hex("00 03 32 32 32  00 00  04 00  00 02  00 00")));
    ASSERT_TRUE(WaitForSnapshot(id, {L"Friends/", L"Friends/333 (333) 0 0 1", L"Work/", L"Work/222 (222) 1 0 0",
                                     L"Work/\x0410\x043D\x044F (111) 1 1 0"}));
    ASSERT_TRUE(choose(L"Remove from vis. list"));
    Bytes remove = ClientFrame(0x13, 0x0A, 1);
    EXPECT_EQ(BodyOf(remove), BodyOf(add));
    ASSERT_TRUE(WaitForSnapshot(id, kMixed));
    ASSERT_TRUE(choose(L"Add to ignore list"));
    ASSERT_TRUE(WaitForSnapshot(id, {L"Friends/", L"Friends/333 (333) 0 0 1", L"Work/", L"Work/222 (222) 0 0 1",
                                     L"Work/\x0410\x043D\x044F (111) 1 1 0"}));
    ExpectNoFaults();
}

// Privacy 2 while Invisible is Invisible for all; another privacy status returns to Invisible. Each
// change updates the privacy-settings item on the server.
TEST_F(WexRosterTest, PrivacyStatusAndInvisibleForAll)
{
    server.SetRoster(MixedRoster());
    unsigned id = CreateAccount();
    SignOn(id, AccountStatus::Invisible);
    auto choosePrivacy = [&](int mode) {
        CPopupMenu privacy;
        Manager().GetStatusMenu(id, 2, &privacy);
        for (int i = 0; i < privacy.GetCount(); ++i)
            if (privacy.items[i].argument == mode) privacy.items[i].callback(intptr_t(id), privacy.items[i].argument);
    };
    const size_t updates = Updates();
    choosePrivacy(2);
    ASSERT_TRUE(WaitForStatus(id, AccountStatus::InvisibleForAll));
    Bytes update = ClientFrame(0x13, 0x09, updates + 1);
    EXPECT_EQ(BodyOf(update), ToHex(Hex("00 00  00 00  00 11  00 04  00 0D  00 CA 00 01 02  00 CB 00 04 FF FF FF FF")));
    choosePrivacy(1);
    ASSERT_TRUE(WaitForStatus(id, AccountStatus::Invisible));
    EXPECT_FALSE(ClientFrame(0x13, 0x09, updates + 2).empty());
    ExpectNoFaults();
}

// A contact's authorisation request reaches its chat; a reply that grants it drops the contact's
// awaiting mark on the server.
TEST_F(WexRosterTest, AuthorisationNoticesReachTheChats)
{
    server.SetRoster(MixedRoster());
    unsigned id = CreateAccount();
    MessageRecorder messages(*bus);
    SignOn(id);
    ASSERT_TRUE(WaitForSnapshot(id, kMixed));
    const size_t updates = Updates();
    Answer request;
    request.family = 0x13;
    request.subtype = 0x19;
    request.body = Wire().Str8("111").Str16("let me in").U16(0);
    server.Push(request);
    Answer reply;
    reply.family = 0x13;
    reply.subtype = 0x1B;
    reply.body = Wire().Str8("222").U8(1).Str16("").U16(0);
    server.Push(reply);
    Answer stranger = reply;
    stranger.body = Wire().Str8("999").U8(1).Str16("").U16(0);
    server.Push(stranger);
    ASSERT_TRUE(BusTest::WaitUntil([&] { return messages.Seen().size() >= 2; }));
    std::vector<MessageRecord> seen = messages.Seen();
    EXPECT_EQ(seen[0].contactId, ItemNamed(id, L"111", false));
    EXPECT_EQ(Text(seen[0].text), L"Authorization request: let me in");
    EXPECT_EQ(seen[0].flags, 0);
    EXPECT_EQ(seen[1].contactId, ItemNamed(id, L"222", false));
    EXPECT_EQ(Text(seen[1].text), L"222\nAccepted your authorization");
    EXPECT_NE(seen[0].kind, seen[1].kind);
    Bytes update = ClientFrame(0x13, 0x09, updates + 1);
    EXPECT_EQ(BodyOf(update), ToHex(Hex("00 03 32 32 32  00 02  00 0C  00 00  00 00")));
    Sleep(200);
    EXPECT_EQ(messages.Seen().size(), 2u);

    // The chat with the contact who asked offers the answers; accepting sends the reply once.
    const int ann = ItemNamed(id, L"111", false);
    CPopupMenu none;
    Manager().FillChatMenu(id, ItemNamed(id, L"333", false), &none);
    EXPECT_EQ(none.GetCount(), 0);
    auto answer = [&](const wchar_t* text) {
        CPopupMenu chat;
        Manager().FillChatMenu(id, ann, &chat);
        if (chat.GetCount() != 1 || !chat.items[0].subMenu) return false;
        const CPopupMenu& answers = *chat.items[0].subMenu;
        EXPECT_EQ(Text(chat.items[0].text), L"Authorization");
        for (int i = 0; i < answers.GetCount(); ++i)
            if (Text(answers.items[i].text) == text) answers.items[i].callback(0, answers.items[i].argument);
        return true;
    };
    ASSERT_TRUE(answer(L"Accept"));
    Bytes granted = ClientFrame(0x13, 0x1A, 1);
    EXPECT_EQ(BodyOf(granted), ToHex(Hex("03 31 31 31  01  00 00")));
    // Answered: the menu has nothing more to offer.
    ASSERT_TRUE(BusTest::WaitUntil([&] { return !answer(L"Accept"); }));
    EXPECT_EQ(server.ClientSnacs(0x13, 0x1A).size(), 1u);
    ExpectNoFaults();
}
