// Messages both ways through the real services: the form each contact's client gets, long texts in
// pieces, the texts coming back intact as a contact would send them, acknowledgements, messages
// kept offline, typing notices and the anti-spam filter in front of strangers.
#include "WexContactsFixture.h"

#include "Wex/proto/MessageCommands.h"
#include "Wex/proto/Rendezvous.h"
#include "Wex/proto/Tlv.h"

#include <gtest/gtest.h>

#include <ctime>

using namespace WexTest;

namespace {

std::wstring Repeat(const std::wstring& unit, size_t count)
{
    std::wstring out;
    for (size_t i = 0; i < count; ++i) out += unit;
    return out;
}

bool IsHighSurrogate(wchar_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(wchar_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// What a text comes back as after a trip through the code page: a character outside the plane,
// which it lacks, as a question mark per unit.
std::wstring ThroughCodePage(const std::wstring& text)
{
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            out += L"??";
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

CZELString Str(const std::wstring& text)
{
    return CZELString(text.c_str(), int(text.size()));
}

// The character set of a channel-1 message (2 for UTF-16), or -1 for another channel.
int CharacterSetOf(const Bytes& frame)
{
    if (ChannelOf(frame) != 1) return -1;
    Wex::TlvChain tlvs;
    const Bytes message = MessageTlvsOf(frame);
    tlvs.Parse(message.data(), message.size());
    const Wex::Tlv* text = tlvs.Find(0x0002);
    if (!text || text->GetLength() < 14) return -1;
    return text->GetValue()[10] << 8 | text->GetValue()[11];
}

bool CarriesUtf8Mark(const Bytes& frame)
{
    const std::string mark = Wex::Utf8CapabilityText;
    return std::search(frame.begin(), frame.end(), mark.begin(), mark.end()) != frame.end();
}

class WexMessagesTest : public WexContactsTest {
protected:
    // Sends text to uin and returns the frames it left as: at least expected, and any that follow
    // them at once.
    std::vector<Bytes> Send(unsigned id, const std::string& uin, const std::wstring& text, int number, size_t expected)
    {
        const size_t before = server.ClientSnacs(4, 6).size();
        MessageRecord record;
        record.contactId = ContactOf(uin);
        record.messageNumber = number;
        record.text = Str(text);
        Manager().SendInstantMessage(id, record, true);
        server.WaitUntil([&] { return server.ClientSnacs(4, 6).size() >= before + expected; });
        Sleep(100);
        std::vector<Bytes> all = server.ClientSnacs(4, 6);
        return std::vector<Bytes>(all.begin() + long(before), all.end());
    }

    // The texts delivered to contactId so far.
    std::vector<std::wstring> Delivered(int contactId)
    {
        std::vector<std::wstring> texts;
        for (const ListEventRecorder::Event& event : events->Events(CLE_INCOMING_MESSAGE, contactId))
            texts.push_back(Text(event.message.text));
        return texts;
    }
};

} // namespace

TEST_F(WexMessagesTest, EachContactGetsTheFormItsClientReads)
{
    const Bytes utf8 = Caps({Wex::caUTF8support, Wex::caWEXRelay});
    const Bytes relayOnly = Caps({Wex::caWEXRelay});
    struct Case {
        const char* name;
        std::string uin;
        bool online;
        Presence presence;
        unsigned channel;
        int characterSet;  // channel 1
        bool utf8;         // channel 2
    };
    const Case cases[] = {
        {"offline", "11", false, {}, 1, 2, false},
        {"a screen name", "bob", true, {0, utf8, DcBlock(8)}, 1, 2, false},
        {"UTF-8 and relay, version 8", "12", true, {0, utf8, DcBlock(8)}, 2, -1, true},
        {"UTF-8 and relay, version 7", "13", true, {0, utf8, DcBlock(7)}, 1, 2, false},
        {"relay without UTF-8, version 9", "14", true, {0, relayOnly, DcBlock(9)}, 2, -1, false},
        {"neither, no direct connection", "15", true, {0, Bytes(), Bytes()}, 1, 2, false},
        {"neither, version 7", "16", true, {0, Bytes(), DcBlock(7)}, 1, 0, false},
    };
    std::vector<std::string> uins;
    for (const Case& c : cases) uins.push_back(c.uin);
    unsigned id = OnlineWith(uins);
    ASSERT_NE(0u, id);
    for (const Case& c : cases)
        if (c.online) Push(ArrivalFrame(c.uin, c.presence));
    for (const Case& c : cases)
        if (c.online) ASSERT_TRUE(events->WaitFor(CLE_CONTACT_STATUS, ContactOf(c.uin))) << c.name;

    int number = 100;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Bytes> frames = Send(id, c.uin, L"Hi \x0416", ++number, 1);
        ASSERT_EQ(1u, frames.size());
        EXPECT_EQ(c.uin, UinOf(frames[0]));
        EXPECT_EQ(c.channel, ChannelOf(frames[0]));
        EXPECT_EQ(unsigned(number), Cookie1Of(frames[0]));
        if (c.channel == 1) EXPECT_EQ(c.characterSet, CharacterSetOf(frames[0]));
        if (c.channel == 2) EXPECT_EQ(c.utf8, CarriesUtf8Mark(frames[0]));
    }
    ExpectNoFaults();
}

TEST_F(WexMessagesTest, LongTextsGoInChunksAndComeBackIntact)
{
    const std::wstring outsideThePlane = L"\xD83D\xDE00";
    // Every length with every kind of text, to each form a contact's client can read.
    struct Peer {
        const char* name;
        std::string uin;
        bool carriesOutsideThePlane;  // the code page has no such characters
    };
    struct Script {
        const char* name;
        std::wstring first, rest;  // the text is first, then rest repeated up to the length in characters
        size_t pieces[4];          // per length
    };
    const size_t lengths[4] = {1, 2000, 2001, 4500};
    const Peer peers[] = {
        {"UTF-16", "21", true},
        {"UTF-8", "22", true},
        {"code page", "23", false},
    };
    // A piece holds at most 2000 UTF-16 units; a character outside the plane takes two, so 1000 fit.
    const Script scripts[] = {
        {"Latin", L"a", L"a", {1, 1, 2, 3}},
        {"Cyrillic", L"\x0416", L"\x0416", {1, 1, 2, 3}},
        {"outside the plane", outsideThePlane, outsideThePlane, {1, 2, 3, 5}},
        // One unit first: every cut falls where a pair would be split, so the pair moves on whole.
        {"one Latin, then outside the plane", L"a", outsideThePlane, {1, 2, 3, 5}},
    };
    unsigned id = OnlineWith({"21", "22", "23"});
    ASSERT_NE(0u, id);
    Push(ArrivalFrame("22", {0, Caps({Wex::caUTF8support, Wex::caWEXRelay}), DcBlock(8)}));
    Push(ArrivalFrame("23", {0, Caps({Wex::caWEXRelay}), DcBlock(8)}));
    ASSERT_TRUE(events->WaitFor(CLE_CONTACT_STATUS, ContactOf("23")));

    int number = 500;
    for (const Peer& peer : peers)
        for (const Script& script : scripts)
            for (size_t l = 0; l < 4; ++l) {
                SCOPED_TRACE(std::to_string(lengths[l]) + " " + script.name + ", " + peer.name);
                const std::wstring text = script.first + Repeat(script.rest, lengths[l] - 1);
                std::vector<Bytes> frames = Send(id, peer.uin, text, ++number, script.pieces[l]);
                ASSERT_EQ(script.pieces[l], frames.size());
                // The contact sends each piece back as it came.
                const size_t before = Delivered(ContactOf(peer.uin)).size();
                for (const Bytes& frame : frames) {
                    EXPECT_EQ(unsigned(number), Cookie1Of(frame));
                    Push(IncomingMessageFrame(ChannelOf(frame), peer.uin, MessageTlvsOf(frame)));
                }
                ASSERT_TRUE(events->WaitFor(CLE_INCOMING_MESSAGE, ContactOf(peer.uin), before + frames.size()));
                std::vector<std::wstring> back = Delivered(ContactOf(peer.uin));
                std::wstring joined;
                for (size_t i = before; i < back.size(); ++i) {
                    // No piece ends or starts inside a pair.
                    const std::wstring& piece = back[i];
                    ASSERT_FALSE(piece.empty());
                    EXPECT_FALSE(IsHighSurrogate(piece.back())) << "piece " << i - before;
                    EXPECT_FALSE(IsLowSurrogate(piece.front())) << "piece " << i - before;
                    joined += piece;
                }
                const std::wstring expected = peer.carriesOutsideThePlane ? text : ThroughCodePage(text);
                EXPECT_EQ(expected.size(), joined.size());
                EXPECT_TRUE(expected == joined) << "the text came back changed";
            }
    ExpectNoFaults();
}

TEST_F(WexMessagesTest, IncomingTextsAreAcknowledgedAndDeliveriesReported)
{
    unsigned id = OnlineWith({"31"});
    ASSERT_NE(0u, id);
    const int contact = ContactOf("31");
    Push(IncomingMessageFrame(1, "31", PlainMessageTlv(0, Bytes{'h', 'e', 'y'})));
    ASSERT_TRUE(events->WaitFor(CLE_INCOMING_MESSAGE, contact));
    ListEventRecorder::Event first = events->Events(CLE_INCOMING_MESSAGE, contact)[0];
    EXPECT_EQ(L"hey", Text(first.message.text));
    EXPECT_EQ(0, first.message.flags);
    EXPECT_EQ(-1, first.message.kind);
    // Answered with the message's own cookie, whatever channel it came on.
    ASSERT_TRUE(WaitClientSnacs(4, 0x0B, 1));
    const Bytes ack = server.ClientSnacs(4, 0x0B)[0];
    EXPECT_EQ(0x11111111u, Cookie1Of(ack));
    EXPECT_EQ("31", UinOf(ack));

    // The contact's client reports the message number back.
    Push(DeliveredFrame("31", 0x4242, 0x99));
    ASSERT_TRUE(events->WaitFor(CLE_MESSAGE_ACK, contact));
    EXPECT_EQ(0x4242, events->Events(CLE_MESSAGE_ACK, contact)[0].value);
    ExpectNoFaults();
}

TEST_F(WexMessagesTest, MessagesKeptOfflineShowWhenTheyWereSent)
{
    unsigned id = OnlineWith({"41"});
    ASSERT_NE(0u, id);
    const int contact = ContactOf("41");
    const unsigned sent = 1700000000;
    Bytes tlvs = Wire().Raw(PlainMessageTlv(0, Bytes{'l', 'a', 't', 'e'})).Tlv(0x0006, Bytes()).Tlv(0x0016, Wire().U32(sent));
    Push(IncomingMessageFrame(1, "41", tlvs));
    ASSERT_TRUE(events->WaitFor(CLE_INCOMING_MESSAGE, contact));
    MessageRecord message = events->Events(CLE_INCOMING_MESSAGE, contact)[0].message;
    wchar_t when[128];
    const time_t stamp = time_t(sent);
    wcsftime(when, 128, L"%c", localtime(&stamp));
    EXPECT_EQ(std::wstring(L"Offline message (") + when + L")\r\nlate", Text(message.text));
    EXPECT_EQ(1, message.flags);
}

TEST_F(WexMessagesTest, MessagesTheServerKeptArriveDatedAndAreThenDeleted)
{
    unsigned id = OnlineWith({"42"});
    ASSERT_NE(0u, id);
    const int contact = ContactOf("42");
    auto meta = [](unsigned type, const Bytes& rest) {
        Wire record;
        record.U16LE(unsigned(rest.size() + 8)).U32LE(100200300).U16LE(type).U16LE(7).Raw(rest);
        return Snac(0x15, 0x03, Wire().Tlv(0x0001, record));
    };
    // Sent 2009-03-14 15:09 in universal time; a text in code page 1251.
    Push(meta(0x41, Wire().U32LE(42).U16LE(2009).U8(3).U8(14).U8(15).U8(9).U8(1).U8(0).U16LE(4).Raw(Hex("CF F0 E8 00"))));
    // An empty one shows nothing.
    Push(meta(0x41, Wire().U32LE(42).U16LE(2009).U8(3).U8(14).U8(15).U8(10).U8(1).U8(0).U16LE(1).U8(0)));
    Push(meta(0x42, Wire().U8(0)));
    ASSERT_TRUE(WaitClientSnacs(0x15, 0x02, 1));
    ASSERT_TRUE(events->WaitFor(CLE_INCOMING_MESSAGE, contact));
    Sleep(200);
    std::vector<ListEventRecorder::Event> shown = events->Events(CLE_INCOMING_MESSAGE, contact);
    ASSERT_EQ(1u, shown.size());
    const time_t sent = 1237043340;
    wchar_t when[128];
    wcsftime(when, 128, L"%c", localtime(&sent));
    EXPECT_EQ(std::wstring(L"Offline message (") + when + L")\r\n\x041F\x0440\x0438", Text(shown[0].message.text));
    EXPECT_EQ(1, shown[0].message.flags);
    // The request to delete them: command 0x003E for the own number.
    const Bytes deletion = server.ClientSnacs(0x15, 0x02)[0];
    EXPECT_EQ(ToHex(Hex("00 01 00 0A 08 00 6C EF F8 05 3E 00")),
              ToHex(Bytes(deletion.begin() + Wex::SnacBodyOffset, deletion.begin() + Wex::SnacBodyOffset + 12)));
    ExpectNoFaults();
}

TEST_F(WexMessagesTest, TypingNoticesBothWays)
{
    unsigned id = OnlineWith({"51", "52"});
    ASSERT_NE(0u, id);
    Push(ArrivalFrame("51", {0, Caps({Wex::caTyping}), Bytes()}));
    Push(ArrivalFrame("52", {0, Caps({Wex::caUTF8support}), Bytes()}));
    ASSERT_TRUE(events->WaitFor(CLE_CONTACT_STATUS, ContactOf("52")));
    const int typist = ContactOf("51");

    // Begun twice in a row: the second waits its four seconds. A stop always goes, and lets the next
    // begin go at once.
    Manager().SetTyping(id, typist, false);
    Manager().SetTyping(id, typist, false);
    Manager().SetTyping(id, typist, true);
    Manager().SetTyping(id, typist, false);
    // A contact whose client shows no typing gets none.
    Manager().SetTyping(id, ContactOf("52"), false);
    ASSERT_TRUE(WaitClientSnacs(4, 0x14, 3));
    Sleep(300);
    std::vector<Bytes> sent = server.ClientSnacs(4, 0x14);
    ASSERT_EQ(3u, sent.size());
    const unsigned expected[] = {2, 0, 2};
    for (size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ("51", UinOf(sent[i]));
        EXPECT_EQ(expected[i], unsigned(sent[i][sent[i].size() - 1])) << i;
    }

    // Incoming: wire 2 types, 0 stops; an unknown value says nothing; a departure stops the typing.
    Push(TypingFrame("51", 2));
    Push(TypingFrame("51", 0));
    Push(TypingFrame("51", 7));
    Push(TypingFrame("51", 1));
    Push(DepartureFrame("51"));
    ASSERT_TRUE(events->WaitFor(CLE_TYPING, typist, 4));
    Sleep(300);
    std::vector<ListEventRecorder::Event> typing = events->Events(CLE_TYPING, typist);
    ASSERT_EQ(4u, typing.size());
    const intptr_t flags[] = {0, 1, 0, 1};
    for (size_t i = 0; i < typing.size(); ++i) EXPECT_EQ(flags[i], typing[i].value) << i;
    ExpectNoFaults();
}

TEST_F(WexMessagesTest, StrangersAreDroppedOrQuestionedByTheAntiSpamFilter)
{
    unsigned id = OnlineWith({"61"});
    ASSERT_NE(0u, id);
    CContactListData& list = *ContactListDataService;
    auto stranger = [&](const std::string& text) {
        Push(IncomingMessageFrame(1, "777", PlainMessageTlv(0, Bytes(text.begin(), text.end()))));
    };
    auto topLevelContacts = [&] {
        CZELArray<ContactListItemPair> items;
        list.GetAccountItems(id, items);
        std::vector<int> top;
        for (int i = 0; i < items.GetCount(); ++i)
            if (items[i].groupId == 0 && items[i].contactId) top.push_back(items[i].contactId);
        return top;
    };

    // Not taken at all: nothing is delivered, nobody is asked.
    list.SetAntispamMsgsFromNIL(false);
    stranger("buy now");
    Push(IncomingMessageFrame(1, "61", PlainMessageTlv(0, Bytes{'o', 'k'})));
    ASSERT_TRUE(events->WaitFor(CLE_INCOMING_MESSAGE, ContactOf("61")));
    EXPECT_EQ(1u, events->Events(CLE_INCOMING_MESSAGE).size());
    EXPECT_TRUE(server.ClientSnacs(4, 6).empty());

    // Taken through the filter: the stranger is asked, answers, and the next message comes through
    // with the stranger now in the list.
    list.SetAntispamMsgsFromNIL(true);
    list.SetAntispamEnable(true);
    list.SetAntispamQuestion(CZELString(L"Colour of the sun?"));
    list.SetAntispamAnswer(CZELString(L"Amber"));
    list.SetAntispamConfirm(CZELString(L"Thanks"));
    stranger("buy now");
    ASSERT_TRUE(WaitClientSnacs(4, 6, 1));
    EXPECT_EQ("777", UinOf(server.ClientSnacs(4, 6)[0]));
    EXPECT_TRUE(topLevelContacts().empty());
    stranger("amber");
    ASSERT_TRUE(WaitClientSnacs(4, 6, 2));
    EXPECT_EQ(1u, events->Events(CLE_INCOMING_MESSAGE).size());
    stranger("hello there");
    ASSERT_TRUE(events->WaitFor(CLE_INCOMING_MESSAGE, -1, 2));
    std::vector<int> top = topLevelContacts();
    ASSERT_EQ(1u, top.size());
    CZELString name;
    ASSERT_TRUE(list.GetPropertyString(top[0], CZELString(L"Account name"), name));
    EXPECT_EQ(L"777", Text(name));
    std::vector<ListEventRecorder::Event> delivered = events->Events(CLE_INCOMING_MESSAGE, top[0]);
    ASSERT_EQ(1u, delivered.size());
    EXPECT_EQ(L"hello there", Text(delivered[0].message.text));
    // Now in the list: the next message goes straight to it.
    stranger("again");
    ASSERT_TRUE(events->WaitFor(CLE_INCOMING_MESSAGE, top[0], 2));
    ExpectNoFaults();
}

TEST_F(WexMessagesTest, HiddenFromAllAndWithoutTypingNoticesNothingIsAnsweredOrShown)
{
    unsigned id = CreateAccount([](ValueRecordList& values) {
        Put(values, WexKeys::TypingNotification).WriteByte(0);
        Put(values, WexKeys::XStatus).WriteByte(3);
    });
    ASSERT_NE(0u, id);
    events.reset(new ListEventRecorder(*bus));
    // Privacy status 2: the account shows itself to nobody.
    Wire body;
    body.U8(0).U16(3).Raw(ListItemBytes("Friends", 1, 0, 1)).Raw(ListItemBytes("131", 1, 0x10, 0));
    body.Raw(ListItemBytes("", 0, 0x21, 4, Wire().Tlv(0x00CA, Wire().U8(2)))).U32(1700000000);
    FakeWexServer::Answer list;
    list.family = 0x13;
    list.subtype = 0x06;
    list.body = body;
    server.SetRoster({list});
    SignOn(id);
    int contact = 0;
    ASSERT_TRUE(BusTest::WaitUntil([&] { return (contact = FindContact(id, "131")) != 0; }));

    Push(TypingFrame("131", 2));
    const Bytes query = Wex::SendXStatusQuery(1, 6, {1, 2}, CZELString(L"100200300"), 3, CZELString(L"131"));
    Push(IncomingMessageFrame(2, "131", MessageTlvsOf(query)));
    Push(IncomingMessageFrame(1, "131", PlainMessageTlv(0, Bytes{'h', 'i'})));
    // The text is shown; nothing else happens.
    ASSERT_TRUE(events->WaitFor(CLE_INCOMING_MESSAGE, contact));
    Sleep(300);
    EXPECT_TRUE(events->Events(CLE_TYPING).empty());
    EXPECT_TRUE(server.ClientSnacs(4, 0x0B).empty());
    ExpectNoFaults();
}
