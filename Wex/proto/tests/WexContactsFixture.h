// What the tests of messages and presence share: the account signed on with buddies in its server
// list, which the account mirrors into the contact list; a recorder of the contact list's events;
// and the frames the network sends about contacts, written by hand.
#pragma once

#include "WexAccountFixture.h"

#include "Wex/proto/Capabilities.h"
#include "Wex/proto/Tlv.h"
#include "Wex/proto/account/PictureNames.h"

#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/core/contactlist/ContactListPayloads.h"

#include <mutex>

namespace WexTest {

// Records every event of the contact list with what it carried.
class ListEventRecorder : public QueueReceiver {
public:
    struct Event {
        int code;
        intptr_t id;
        intptr_t value;
        MessageRecord message;
        StatusInfo status;
    };

    explicit ListEventRecorder(Services::CServicesManager& bus) : bus(bus)
    {
        queue = bus.CreateQueue(this, CZELString(L"List events"));
        for (int code = 1; code <= CLE_EVENT_COUNT; ++code) bus.Subscribe(GUID_CONTACT_LIST_DATA, code, queue);
    }
    ~ListEventRecorder() override
    {
        if (queue) bus.DestroyQueue(queue);
    }

    int HandleMessage(const ZEL_GUID& msgClass, int code, CRefObject* p1, CRefObject* p2) override
    {
        if (msgClass != GUID_CONTACT_LIST_DATA) return 0;
        Event event{code, ValueOf(p1, -1), ValueOf(p2, -1), MessageRecord(), StatusInfo()};
        if (CMessagePayload* message = dynamic_cast<CMessagePayload*>(p2)) event.message = message->message;
        if (CStatusInfoPayload* status = dynamic_cast<CStatusInfoPayload*>(p2)) event.status = status->info;
        std::lock_guard<std::mutex> hold(mutex);
        events.push_back(event);
        return 0;
    }

    // The events of code about id (-1: any).
    std::vector<Event> Events(int code, intptr_t id = -1)
    {
        std::lock_guard<std::mutex> hold(mutex);
        std::vector<Event> out;
        for (const Event& event : events)
            if (event.code == code && (id == -1 || event.id == id)) out.push_back(event);
        return out;
    }
    bool WaitFor(int code, intptr_t id = -1, size_t count = 1, unsigned milliseconds = 10000)
    {
        return BusTest::WaitUntil([&] { return Events(code, id).size() >= count; }, milliseconds);
    }

private:
    Services::CServicesManager& bus;
    int queue = 0;
    std::mutex mutex;
    std::vector<Event> events;
};

inline Bytes Caps(std::initializer_list<Wex::CapabilityGuid> guids)
{
    Bytes out;
    for (const Wex::CapabilityGuid& guid : guids) out.insert(out.end(), guid.begin(), guid.end());
    return out;
}

// A direct-connection block (TLV 0x000C value) of the protocol version and the three dcinfo words.
inline Bytes DcBlock(unsigned version, unsigned dc1 = 0, unsigned dc2 = 0, unsigned dc3 = 0)
{
    return Wire().Zeros(9).U16(version).Zeros(12).U32(dc1).U32(dc2).U32(dc3);
}

// One contact's user information: status word (as on the wire, -1 for none), capabilities and the
// direct-connection block (each left out when empty).
struct Presence {
    int statusWord = 0;
    Bytes capabilities;
    Bytes dc;
};

inline Bytes UserInfoBlock(const std::string& uin, const Presence& presence)
{
    Wire tlvs;
    unsigned count = 1;
    tlvs.Tlv(0x0001, Wire().U16(0x0050));
    if (presence.statusWord >= 0) {
        tlvs.Tlv(0x0006, Wire().U16(0).U16(unsigned(presence.statusWord)));
        ++count;
    }
    if (!presence.dc.empty()) {
        tlvs.Tlv(0x000C, presence.dc);
        ++count;
    }
    if (!presence.capabilities.empty()) {
        tlvs.Tlv(0x000D, presence.capabilities);
        ++count;
    }
    return Wire().Str8(uin).U16(0).U16(count).Raw(tlvs);
}

inline Bytes ArrivalFrame(const std::string& uin, const Presence& presence)
{
    return Snac(0x03, 0x0B, UserInfoBlock(uin, presence));
}

inline Bytes DepartureFrame(const std::string& uin)
{
    return Snac(0x03, 0x0C, Wire().Str8(uin).U16(0).U16(1).Tlv(0x0001, Wire().U16(0x0050)));
}

inline Bytes TypingFrame(const std::string& uin, unsigned wire)
{
    return Snac(0x04, 0x14, Wire().Zeros(8).U16(1).Str8(uin).U16(wire));
}

// A contact's client telling that a message arrived (04/0B naming the client's plug-in).
inline Bytes DeliveredFrame(const std::string& uin, unsigned cookie1, unsigned cookie2)
{
    Wire body;
    body.U32(cookie1).U32(cookie2).U16(2).Str8(uin).U16(3);
    body.U16LE(27).U16LE(10).Zeros(16).U16LE(0).U32LE(3).U8(0).U16LE(1).U16LE(14).U16LE(1).Zeros(12);
    body.U8(0x1A).U8(0).U16LE(0).U16LE(1).U16LE(1).U8(0);
    body.U16LE(0x1B).Raw(Hex("BE 6B 73 05 0F C2 10 4F A6 DE 4D B1 E3 56 4B 0E")).Zeros(11);
    body.U32LE(4).U32LE(0);
    return Snac(0x04, 0x0B, body);
}

// A list item as the list reply lays it out.
inline Bytes ListItemBytes(const std::string& name, unsigned group, unsigned item, unsigned type,
                           const Bytes& attributes = Bytes())
{
    return Wire().Str16(name).U16(group).U16(item).U16(type).U16(unsigned(attributes.size())).Raw(attributes);
}

// The message TLVs of a message the client sent (04/06) as the server relays them in a 04/07: the
// message itself (TLV 0x0002 or 0x0005), without the client's requests of an acknowledgement and of
// storage while offline.
inline Bytes MessageTlvsOf(const Bytes& frame)
{
    size_t at = Wex::SnacBodyOffset + 10;
    at += 1 + frame[at];
    Wex::TlvChain sent, relayed;
    sent.Parse(frame.data() + at, frame.size() - at);
    for (int i = 0; i < sent.GetCount(); ++i)
        if (sent[i].GetType() == 0x0002 || sent[i].GetType() == 0x0005) relayed.Add(sent[i]);
    return relayed.Serialize();
}

inline std::string UinOf(const Bytes& frame)
{
    const size_t at = Wex::SnacBodyOffset + 10;
    return std::string(frame.begin() + long(at) + 1, frame.begin() + long(at) + 1 + frame[at]);
}

inline unsigned ChannelOf(const Bytes& frame)
{
    return unsigned(frame[Wex::SnacBodyOffset + 8] << 8 | frame[Wex::SnacBodyOffset + 9]);
}

inline unsigned Cookie1Of(const Bytes& frame)
{
    const unsigned char* p = frame.data() + Wex::SnacBodyOffset;
    return unsigned(p[0]) << 24 | unsigned(p[1]) << 16 | unsigned(p[2]) << 8 | p[3];
}

class WexContactsTest : public WexAccountFixture {
protected:
    ~WexContactsTest() override { events.reset(); }

    struct Buddy {
        std::string uin;
        int contactId = 0;
    };

    // The list the server answers with: group 1 ("Friends") holding uins as buddies, then extra
    // items, then the privacy-settings item (privacy status 1, visible to all).
    void ServeList(const std::vector<std::string>& uins, const std::vector<Bytes>& extra = {})
    {
        Wire body;
        body.U8(0).U16(unsigned(2 + uins.size() + extra.size())).Raw(ListItemBytes("Friends", 1, 0, 1));
        unsigned itemId = 0x10;
        for (const std::string& uin : uins) body.Raw(ListItemBytes(uin, 1, itemId++, 0));
        for (const Bytes& item : extra) body.Raw(item);
        body.Raw(ListItemBytes("", 0, 0x21, 4, Wire().Tlv(0x00CA, Wire().U8(1)))).U32(1700000000);
        FakeWexServer::Answer list;
        list.family = 0x13;
        list.subtype = 0x06;
        list.body = body;
        server.SetRoster({list});
    }

    // An account whose server list holds group 1 with uins as its buddies; signed on, with the list
    // merged into the contact list.
    unsigned OnlineWith(const std::vector<std::string>& uins, const std::function<void(ValueRecordList&)>& edit = nullptr,
                        const std::vector<Bytes>& extra = {})
    {
        unsigned id = CreateAccount(edit);
        if (!id) return 0;
        events.reset(new ListEventRecorder(*bus));
        ServeList(uins, extra);
        SignOn(id);
        for (const std::string& uin : uins) {
            Buddy buddy;
            buddy.uin = uin;
            BusTest::WaitUntil([&] { return (buddy.contactId = FindContact(id, uin)) != 0; });
            EXPECT_NE(0, buddy.contactId) << uin;
            buddies.push_back(buddy);
        }
        return id;
    }

    int ContactOf(const std::string& uin)
    {
        for (const Buddy& buddy : buddies)
            if (buddy.uin == uin) return buddy.contactId;
        return 0;
    }

    // Sends a whole SNAC frame, written by hand, to the client.
    void Push(const Bytes& frame)
    {
        FakeWexServer::Answer answer;
        answer.family = unsigned(frame[6] << 8 | frame[7]);
        answer.subtype = unsigned(frame[8] << 8 | frame[9]);
        answer.flags = unsigned(frame[10] << 8 | frame[11]);
        answer.requestId = unsigned(frame[12]) << 24 | unsigned(frame[13]) << 16 | unsigned(frame[14]) << 8 | frame[15];
        answer.body.assign(frame.begin() + Wex::SnacBodyOffset, frame.end());
        server.Push(answer);
    }

    // Waits for the count-th client frame of family and subtype.
    bool WaitClientSnacs(unsigned family, unsigned subtype, size_t count, unsigned milliseconds = 10000)
    {
        return server.WaitUntil([&] { return server.ClientSnacs(family, subtype).size() >= count; }, milliseconds);
    }

    // The picture entries of image ids, by the names the plug-in acquired them under.
    std::vector<int> Entries(const CZELArray<int>& ids)
    {
        std::vector<int> out;
        for (int i = 0; i < ids.GetCount(); ++i) {
            const CZELString name = images->GetName(ids[i]);
            int entry = -1;
            for (int e = 0; e < WexPictures::Count && entry < 0; ++e)
                if (name == WexPictures::Names[e]) entry = e;
            out.push_back(entry);
        }
        return out;
    }

    std::unique_ptr<ListEventRecorder> events;
    std::vector<Buddy> buddies;
};

}  // namespace WexTest
