// Details, search and the offline messages of the meta service through the real services: the fake
// server answers the account's meta requests with records written by hand.
#include "WexAccountFixture.h"

#include "Zel/core/accounts/ManagerPayloads.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/core/contactlist/ContactListPayloads.h"

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

Wire& MetaString(Wire& wire, const std::string& text)
{
    return wire.U16LE(unsigned(text.size() + 1)).Text(text).U8(0);
}

// A 15/03 answer holding a meta record for the account's own number.
Answer MetaAnswer(unsigned replyType, unsigned sequence, const Bytes& rest, bool more = false)
{
    Wire record;
    record.U16LE(unsigned(rest.size() + 8)).U32LE(100200300).U16LE(replyType).U16LE(sequence).Raw(rest);
    Answer answer;
    answer.family = 0x15;
    answer.subtype = 0x03;
    answer.body = Wire().Tlv(0x0001, record);
    answer.flags = more ? Wex::SnacFlagMoreFollow : 0;
    return answer;
}

Bytes BasicRecord(const std::string& nick, unsigned char result = 0x0A)
{
    Wire w;
    w.U16LE(0x00C8).U8(result);
    if (result != 0x0A) return w;
    for (const std::string& text : {nick, std::string("Ann"), std::string("Lee"), std::string("ann@x.y"),
                                    std::string("Town"), std::string("ST"), std::string("111-22"), std::string(""),
                                    std::string("Street 1"), std::string("+7 900"), std::string("10001")})
        MetaString(w, text);
    return w.U16LE(7).U8(3).U8(1).U8(0).U8(2).U8(1);
}

Bytes SearchHit(unsigned uin, const std::string& nick, unsigned status)
{
    Wire fields;
    fields.U32LE(uin);
    MetaString(fields, nick);
    MetaString(fields, "First");
    MetaString(fields, "Last");
    MetaString(fields, "mail@x.y");
    fields.U8(0).U16LE(status).U8(1).U16LE(25);
    return Wire().U8(10).U16LE(unsigned(fields.Get().size())).Raw(fields);
}

Bytes Cut(const Bytes& bytes, size_t keep)
{
    return Bytes(bytes.begin(), bytes.begin() + long(std::min(keep, bytes.size())));
}

// The meta request in a client frame: command, sequence, subtype and the data after it.
struct MetaRequestSeen {
    unsigned command = 0, sequence = 0, subtype = 0;
    Bytes data;
};

MetaRequestSeen ReadMetaRequest(const Bytes& frame)
{
    MetaRequestSeen seen;
    ByteReader reader(frame.data(), frame.size());
    reader.Skip(Wex::SnacBodyOffset + 4 + 2 + 4);
    seen.command = reader.U16LE();
    seen.sequence = reader.U16LE();
    if (seen.command == 2000) seen.subtype = reader.U16LE();
    const size_t rest = reader.Remaining();
    const unsigned char* bytes = reader.Bytes(rest);
    if (bytes) seen.data.assign(bytes, bytes + rest);
    return seen;
}

// Search rows and the end of a search, as the protocols manager relays them.
class SearchRecorder : public QueueReceiver {
public:
    explicit SearchRecorder(Services::CServicesManager& bus) : bus(bus)
    {
        queue = bus.CreateQueue(this, CZELString(L"Search recorder"));
        bus.Subscribe(GUID_PROTOCOLS_MANAGER, PMEV_SEARCH_RESULT, queue);
        bus.Subscribe(GUID_CONTACT_LIST_DATA, CLE_INCOMING_MESSAGE, queue);
    }
    ~SearchRecorder() override { bus.DestroyQueue(queue); }

    int HandleMessage(const ZEL_GUID& msgClass, int code, CRefObject*, CRefObject* p2) override
    {
        std::lock_guard<std::mutex> hold(lock);
        if (msgClass == GUID_CONTACT_LIST_DATA && code == CLE_INCOMING_MESSAGE) {
            if (CMessagePayload* message = dynamic_cast<CMessagePayload*>(p2)) messages.push_back(message->message);
            return 0;
        }
        if (msgClass != GUID_PROTOCOLS_MANAGER || code != PMEV_SEARCH_RESULT) return 0;
        CSearchResultPayload* row = dynamic_cast<CSearchResultPayload*>(p2);
        rows.push_back(row ? row->row : SearchResultRow());
        ended.push_back(row == nullptr);
        return 0;
    }

    std::vector<SearchResultRow> rows;
    std::vector<bool> ended;  // per entry: the end of a search rather than a row
    std::vector<MessageRecord> messages;
    std::mutex lock;

private:
    Services::CServicesManager& bus;
    int queue;
};

class WexDetailsTest : public WexAccountFixture {
protected:
    WexDetailsTest() : WexAccountFixture(L"wex_details")
    {
        Answer roster;
        roster.family = 0x13;
        roster.subtype = 0x06;
        roster.body = Wire().U8(0).U16(3).Raw(Item("Friends", 1, 0, 1)).Raw(Item("555", 1, 5, 0))
                          .Raw(Item("100200300", 1, 6, 0, Wire().Tlv(0x0131, Wire().Text("Me"))))
                          .U32(1700000000);
        server.SetRoster({roster});
        server.SetResponder([this](const Wex::SnacPacket& snac, const Bytes& frame, std::vector<Answer>& out) {
            if (snac.family != 0x15 || snac.subtype != 0x02) return false;
            MetaRequestSeen request = ReadMetaRequest(frame);
            std::lock_guard<std::mutex> hold(answersLock);
            if (answers) answers(request, out);
            return true;
        });
    }

    void Answering(const std::function<void(const MetaRequestSeen&, std::vector<Answer>&)>& f)
    {
        std::lock_guard<std::mutex> hold(answersLock);
        answers = f;
    }

    int ContactNamed(unsigned id, const wchar_t* uin)
    {
        CZELArray<ContactListItemPair> pairs;
        ContactListDataService->GetAccountItems(id, pairs);
        for (int i = 0; i < pairs.GetCount(); ++i)
            if (pairs[i].contactId && Property(pairs[i].contactId, L"Account name") == uin) return pairs[i].contactId;
        return 0;
    }

    std::wstring Property(int item, const wchar_t* name)
    {
        CZELString value;
        ContactListDataService->GetPropertyString(item, CZELString(name), value);
        return Text(value);
    }

    int Short(int item, const wchar_t* name)
    {
        short value = -1;
        ContactListDataService->GetPropertyShort(item, CZELString(name), &value);
        return value;
    }

    int Byte(int item, const wchar_t* name)
    {
        char value = -1;
        ContactListDataService->GetPropertyByte(item, CZELString(name), &value);
        return value;
    }

    size_t EventCount(int code) { return recorder->Events(code).size(); }

    std::mutex answersLock;
    std::function<void(const MetaRequestSeen&, std::vector<Answer>&)> answers;
};

// Every details kind, in one reply of five frames.
void AnswerAllKinds(const MetaRequestSeen& request, std::vector<Answer>& out)
{
    if (request.subtype != 0x04D0) return;
    const unsigned s = request.sequence;
    Wire work;
    work.U16LE(0x00D2).U8(0x0A);
    for (const char* text : {"WCity", "WState", "WPhone", "WFax", "WAddr", "WZip"}) MetaString(work, text);
    MetaString(MetaString(MetaString(work.U16LE(44), "Co"), "Dept"), "Boss").U16LE(12);
    MetaString(work, "http://w");
    Wire more;
    more.U16LE(0x00DC).U8(0x0A).U16LE(30).U8(2);
    MetaString(more, "home.page").U16LE(1990).U8(4).U8(5).U8(10).U8(11).U8(12).Zeros(2);
    MetaString(MetaString(more, "Town"), "Land").U16LE(49).U8(3).Zeros(4);
    MetaString(more, "loc").Zeros(8);
    MetaString(more, "loc@mail");
    Wire about;
    about.U16LE(0x00E6).U8(0x0A).U16LE(7).Raw(Hex("CF F0 E8 E2 E5 F2 00"));  // code page 1251
    Wire interests;
    interests.U16LE(0x00F0).U8(0x0A).U8(2);
    MetaString(interests.U16LE(100), "books");
    MetaString(interests.U16LE(101), "music");
    out = {MetaAnswer(0x07DA, s, BasicRecord("Annie"), true), MetaAnswer(0x07DA, s, work, true),
           MetaAnswer(0x07DA, s, more, true), MetaAnswer(0x07DA, s, about, true), MetaAnswer(0x07DA, s, interests)};
}

}  // namespace

TEST_F(WexDetailsTest, AContactsDetailsAreStoredAndItsNickBecomesItsAlias)
{
    unsigned id = CreateAccount();
    SignOn(id);
    const int contact = ContactNamed(id, L"555");
    ASSERT_NE(contact, 0);
    Answering(AnswerAllKinds);
    const size_t renames = server.ClientSnacs(0x13, 0x09).size();
    Manager().GetContactDetailsPages(id, contact, nullptr);
    ASSERT_TRUE(recorder->WaitFor(PMEV_DETAILS_NOTIFY));
    std::vector<Bytes> requests = server.ClientSnacs(0x15, 0x02);
    ASSERT_EQ(requests.size(), 1u);
    MetaRequestSeen request = ReadMetaRequest(requests[0]);
    EXPECT_EQ(request.subtype, 0x04D0u);
    EXPECT_EQ(ToHex(request.data), "2b 02 00 00");  // 555
    EXPECT_EQ(Property(contact, L"WEX: nick name"), L"Annie");
    EXPECT_EQ(Property(contact, L"WEX: home address"), L"Street 1");
    EXPECT_EQ(Short(contact, L"WEX: home country code"), 7);
    EXPECT_EQ(Byte(contact, L"WEX: pyblish e-mail flag"), 1);
    EXPECT_EQ(Property(contact, L"WEX: work position"), L"Boss");
    EXPECT_EQ(Short(contact, L"WEX: work ocupation code"), 12);
    EXPECT_EQ(Short(contact, L"WEX: birth year"), 1990);
    EXPECT_EQ(Byte(contact, L"WEX: spoken language3"), 12);
    EXPECT_EQ(Property(contact, L"WEX: localization e-mail"), L"loc@mail");
    EXPECT_EQ(Property(contact, L"WEX: about"), L"\x041F\x0440\x0438\x0432\x0435\x0442");
    EXPECT_EQ(Short(contact, L"WEX: interest2"), 101);
    EXPECT_EQ(Property(contact, L"WEX: interest keys2"), L"music");
    EXPECT_EQ(Short(contact, L"WEX: interest3"), 0);
    // One notice, after the last frame.
    Sleep(200);
    EXPECT_EQ(EventCount(PMEV_DETAILS_NOTIFY), 1u);
    EXPECT_EQ(EventCount(PMEV_DETAILS_RECEIVED), 0u);
    // The contact still showed its number: the nick becomes its alias on the server.
    ASSERT_TRUE(server.WaitUntil([&] { return server.ClientSnacs(0x13, 0x09).size() > renames; }));
    EXPECT_TRUE(BusTest::WaitUntil([&] { return Property(contact, L"CL Alias") == L"Annie"; }));
    ExpectNoFaults();
}

TEST_F(WexDetailsTest, AFailedOrCutReplyChangesNothingStored)
{
    unsigned id = CreateAccount();
    SignOn(id);
    const int contact = ContactNamed(id, L"555");
    Answering(AnswerAllKinds);
    Manager().GetContactDetailsPages(id, contact, nullptr);
    ASSERT_TRUE(recorder->WaitFor(PMEV_DETAILS_NOTIFY));
    const Bytes whole = BasicRecord("Other");
    const struct {
        const char* name;
        Bytes record;
    } cases[] = {
        {"failed", BasicRecord("", 0x14)},
        {"cut in a text", Bytes(whole.begin(), whole.begin() + 20)},
        {"cut before the flags", Bytes(whole.begin(), whole.end() - 3)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        recorder->Clear();
        const size_t before = server.ClientSnacs(0x15, 0x02).size();
        Answering([&](const MetaRequestSeen& request, std::vector<Answer>& out) {
            out = {MetaAnswer(0x07DA, request.sequence, c.record)};
        });
        Manager().GetContactDetailsPages(id, contact, nullptr);
        ASSERT_TRUE(server.WaitUntil([&] { return server.ClientSnacs(0x15, 0x02).size() > before; }));
        Sleep(300);
        EXPECT_EQ(Property(contact, L"WEX: nick name"), L"Annie");
        EXPECT_EQ(Property(contact, L"WEX: e-mail"), L"ann@x.y");
        EXPECT_EQ(EventCount(PMEV_DETAILS_NOTIFY), 0u);
    }
    ExpectNoFaults();
}

TEST_F(WexDetailsTest, OwnDetailsGoToTheAccountAlsoWhenAskedAsAContact)
{
    unsigned id = CreateAccount();
    SignOn(id);
    Answering(AnswerAllKinds);
    Manager().GetOwnDetailsPages(id, nullptr);
    ASSERT_TRUE(recorder->WaitFor(PMEV_DETAILS_RECEIVED));
    EXPECT_EQ(ToHex(ReadMetaRequest(server.ClientSnacs(0x15, 0x02).back()).data), "6c ef f8 05");  // 100200300
    CZELString nick;
    ASSERT_TRUE(Manager().GetAccountString(id, CZELString(L"WEX: nick name"), nick, 0));
    EXPECT_EQ(Text(nick), L"Annie");
    short year = 0;
    ASSERT_TRUE(Manager().GetAccountShort(id, CZELString(L"WEX: birth year"), &year));
    EXPECT_EQ(year, 1990);

    // The own number as a contact of the list: both the contact and the account take the details.
    recorder->Clear();
    Answering([](const MetaRequestSeen& request, std::vector<Answer>& out) {
        out = {MetaAnswer(0x07DA, request.sequence, BasicRecord("Myself"))};
    });
    const int me = ContactNamed(id, L"100200300");
    ASSERT_NE(me, 0);
    Manager().GetContactDetailsPages(id, me, nullptr);
    ASSERT_TRUE(recorder->WaitFor(PMEV_DETAILS_RECEIVED));
    EXPECT_EQ(EventCount(PMEV_DETAILS_NOTIFY), 1u);
    EXPECT_EQ(Property(me, L"WEX: nick name"), L"Myself");
    ASSERT_TRUE(Manager().GetAccountString(id, CZELString(L"WEX: nick name"), nick, 0));
    EXPECT_EQ(Text(nick), L"Myself");
    // Its alias was its own, not its number: it stays.
    EXPECT_EQ(Property(me, L"CL Alias"), L"Me");
    ExpectNoFaults();
}

TEST_F(WexDetailsTest, SearchesGoOutByPageAndHitsBecomeRows)
{
    unsigned id = CreateAccount();
    SearchRecorder seen(*bus);
    SignOn(id);
    Answering([](const MetaRequestSeen& request, std::vector<Answer>& out) {
        if (request.subtype != 0x055F) return;
        const unsigned s = request.sequence;
        out = {MetaAnswer(0x07DA, s, Wire().U16LE(0x01A4).Raw(SearchHit(777, "Seven", 1)), true),
               MetaAnswer(0x07DA, s, Wire().U16LE(0x01A4).Raw(SearchHit(778, "Eight", 9)), true),
               // Cut: no row.
               MetaAnswer(0x07DA, s, Wire().U16LE(0x01A4).Raw(Cut(SearchHit(779, "Nine", 0), 12)), true),
               MetaAnswer(0x07DA, s, Wire().U16LE(0x01AE).U8(20))};
    });
    // The number page without a number sends nothing and ends at once; page 3 is the white pages.
    Manager().StartSearch(id, 0);
    Manager().StartSearch(id, 3);
    ASSERT_TRUE(BusTest::WaitUntil([&] {
        std::lock_guard<std::mutex> hold(seen.lock);
        return seen.ended.size() == 4 && seen.ended.back();
    }));
    std::vector<Bytes> requests = server.ClientSnacs(0x15, 0x02);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(ToHex(ReadMetaRequest(requests[0]).data), "30 02 01 00 00");
    {
        std::lock_guard<std::mutex> hold(seen.lock);
        ASSERT_EQ(seen.rows.size(), 4u);
        EXPECT_EQ(seen.ended, (std::vector<bool>{true, false, false, true}));
        const SearchResultRow& first = seen.rows[1];
        EXPECT_EQ(Text(first.account), L"777");
        EXPECT_EQ(Text(first.nickname), L"Seven");
        EXPECT_EQ(Text(first.email), L"mail@x.y");
        EXPECT_EQ(first.gender, 1);
        EXPECT_EQ(first.age, 25);
        ASSERT_NE(first.contactId, 0);
        EXPECT_TRUE(ContactListDataService->IsTempContact(first.contactId));
        EXPECT_EQ(Property(first.contactId, L"CL Alias"), L"Seven");
        ASSERT_EQ(first.images.GetCount(), 1);
        ASSERT_EQ(seen.rows[2].images.GetCount(), 1);
        // Online and an unknown status show different pictures.
        EXPECT_NE(first.images[0], seen.rows[2].images[0]);
    }
    // Another page repeats the search of the last kind.
    Manager().StartSearch(id, 7);
    ASSERT_TRUE(server.WaitUntil([&] { return server.ClientSnacs(0x15, 0x02).size() == 2; }));
    EXPECT_EQ(ReadMetaRequest(server.ClientSnacs(0x15, 0x02)[1]).subtype, 0x055Fu);
    ExpectNoFaults();
}

// Offline messages come through the meta service: each is handed to the chats, and their end has
// the server delete them.
TEST_F(WexDetailsTest, OfflineMessagesAreHandedOnAndDeletedAtTheirEnd)
{
    unsigned id = CreateAccount();
    SearchRecorder seen(*bus);
    SignOn(id);
    server.Push(MetaAnswer(0x0041, 1, Wire().U32LE(555).U16LE(2026).U8(1).U8(2).U8(3).U8(4).U8(1).U8(0).U16LE(6).Text("hello").U8(0)));
    server.Push(MetaAnswer(0x0042, 2, Wire().U8(0)));
    ASSERT_TRUE(server.WaitUntil([&] { return !server.ClientSnacs(0x15, 0x02).empty(); }));
    Bytes request = server.ClientSnacs(0x15, 0x02)[0];
    Wex::SnacPacket snac;
    ASSERT_TRUE(Wex::UnpackSnac(request.data(), request.size(), snac));
    EXPECT_EQ(snac.requestId, 0x20002u);
    MetaRequestSeen meta = ReadMetaRequest(request);
    EXPECT_EQ(meta.command, 0x003Eu);
    EXPECT_TRUE(meta.data.empty());
    ASSERT_TRUE(BusTest::WaitUntil([&] {
        std::lock_guard<std::mutex> hold(seen.lock);
        return !seen.messages.empty();
    }));
    std::lock_guard<std::mutex> hold(seen.lock);
    EXPECT_EQ(seen.messages[0].contactId, ContactNamed(id, L"555"));
    EXPECT_EQ(seen.messages[0].flags, 1);
    EXPECT_NE(Text(seen.messages[0].text).find(L"hello"), std::wstring::npos);
    ExpectNoFaults();
}
