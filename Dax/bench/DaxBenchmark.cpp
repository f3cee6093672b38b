// The plug-in's speed, measured in one run so the figures compare with each other:
//
// 1. A buffer of 64 MB of recorded packets (what a session server sends after login: contact
//    statuses, messages, mail counters, acknowledgements) fed to the stream reader in the 1,024-byte
//    pieces the connection service hands over, whole and in 64 KB reads; every packet cut out and its
//    fields walked by the bounded readers, without turning texts into strings. Beside it memcpy of
//    the same bytes.
// 2. Contact lists of 1,000 to 5,000 contacts parsed and applied to the contact-list data in one
//    batch, then the status packet of every contact that follows a login.
//
// Each figure is the best of several runs.
#include "Dax/MrimContactList.h"
#include "Dax/proto/ContactListPacket.h"
#include "Dax/proto/MrimCommands.h"
#include "Dax/proto/PacketReader.h"
#include "Dax/proto/tests/MrimTestSupport.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/core/CoreGuids.h"
#include "ZELCommon/tests/BenchClock.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

using namespace MrimTest;

namespace {

const size_t BufferSize = 64u << 20;
const int Runs = 5;

double Best(const std::function<void()>& work, int runs = Runs)
{
    double best = 1e30;
    for (int run = 0; run < runs; ++run) {
        double start = BenchSeconds();
        work();
        best = std::min(best, BenchSeconds() - start);
    }
    return best;
}

Bytes StatusPacket(const std::string& email)
{
    return Packet(Mrim::CmdUserStatus, 0,
                  Wire().U32(4).Lps("status_chat").Lps16(L"At the lake").Lps16(L"Back at six").Lps(email).U32(0x3FF)
                      .Lps("client=\"test\" version=\"1.0\""));
}

// What a session server sends after login, over and over, to at least size bytes.
Bytes RecordedPackets(size_t size)
{
    std::vector<Bytes> packets = {
        StatusPacket("user17@example.org"),
        Packet(Mrim::CmdMessageIncoming, 0,
               Wire().U32(77).U32(0x00100000).Lps("user17@example.org")
                   .Lps16(L"\u041F\u0440\u0438\u0432\u0435\u0442, are we still on for tonight?").U32(0)),
        Packet(Mrim::CmdMessageStatus, 5, Wire().U32(0)),
        Packet(Mrim::CmdMailboxStatus, 0, Wire().U32(3)),
        Packet(Mrim::CmdUserInfo, 0, Wire().Lps("MESSAGES.TOTAL").Lps16(L"120").Lps("MESSAGES.UNREAD").Lps16(L"3")),
        Packet(Mrim::CmdModifyContactAck, 9, Wire().U32(0)),
    };
    Bytes buffer;
    buffer.reserve(size + 4096);
    while (buffer.size() < size)
        for (const Bytes& packet : packets) buffer.insert(buffer.end(), packet.begin(), packet.end());
    return buffer;
}

// Walks a body's fields as its handler's reader does, without making strings.
unsigned WalkFields(const Mrim::Packet& packet)
{
    ByteReader reader(packet.body, packet.length);
    const unsigned char* bytes = nullptr;
    size_t length = 0;
    unsigned check = 0;
    switch (packet.header.command) {
    case Mrim::CmdUserStatus:
        check += reader.U32LE();
        for (int i = 0; i < 4; ++i) Mrim::ReadLps(reader, bytes, length), check += unsigned(length);
        check += reader.U32LE();
        Mrim::ReadLps(reader, bytes, length);
        break;
    case Mrim::CmdMessageIncoming:
        check += reader.U32LE() + reader.U32LE();
        Mrim::ReadLps(reader, bytes, length);
        Mrim::ReadLps(reader, bytes, length);
        check += unsigned(length);
        break;
    case Mrim::CmdUserInfo:
        while (reader.Remaining() > 0 && !reader.Failed()) Mrim::ReadLps(reader, bytes, length), check += unsigned(length);
        break;
    default: check += reader.U32LE(); break;
    }
    return reader.Failed() ? 0 : check;
}

struct Cut {
    size_t packets = 0;
    unsigned check = 0;
};

Cut CutPackets(const Bytes& buffer, size_t read)
{
    Cut cut;
    Mrim::PacketReader reader;
    for (size_t at = 0; at < buffer.size(); at += read) {
        reader.Feed(buffer.data() + at, std::min(read, buffer.size() - at));
        Mrim::Packet packet;
        while (reader.Next(packet) == Mrim::PacketReader::GotPacket) {
            ++cut.packets;
            cut.check += WalkFields(packet);
        }
    }
    return cut;
}

void ReaderBenchmark()
{
    Bytes buffer = RecordedPackets(BufferSize);
    Bytes copy(buffer.size(), 0);
    double mb = double(buffer.size()) / (1 << 20);
    std::printf("Reader: %.1f MB of recorded packets\n", mb);
    double copySeconds = Best([&] { memcpy(copy.data(), buffer.data(), buffer.size()); });
    std::printf("  %-36s %9.1f MB/s\n", "memcpy", mb / copySeconds);
    struct Read {
        const char* name;
        size_t size;
    } reads[] = {{"reader + fields, whole", buffer.size()},
                 {"reader + fields, 64 KB reads", 64u << 10},
                 {"reader + fields, 1 KB reads", 1024}};
    for (const Read& read : reads) {
        Cut cut;
        double seconds = Best([&] { cut = CutPackets(buffer, read.size); });
        std::printf("  %-36s %9.1f MB/s  %5.2f of memcpy  %.1f M packets/s  (%zu packets, check %08x)\n", read.name,
                    mb / seconds, copySeconds / seconds, double(cut.packets) / seconds / 1e6, cut.packets, cut.check);
    }
}

// The protocols manager as the contact-list data asks it: one account.
class OneAccount : public IContactListAccounts {
public:
    bool IsAvailable() override { return true; }
    int GetAccountCount() override { return 1; }
    unsigned GetAccountId(int index) override { return index == 0 ? Account : 0; }
    CZELString GetAccountKey(unsigned) override { return CZELString(L"{E3CA4FAB-0F3C-4FA8-ADFF-88A01C3622F7}me@example.org"); }
    bool GetContactIcons(unsigned, int, StatusInfo&) override { return true; }
    bool SendInstantMessage(unsigned, const MessageRecord&, bool) override { return true; }
    bool GetAccountsNotCreated(std::vector<ZEL_GUID>& protocols) override
    {
        protocols.clear();
        return true;
    }

    static const unsigned Account = 0x10000001;
};

Bytes ListBody(int contacts, int groups)
{
    Wire wire;
    wire.U32(0).U32(unsigned(groups)).Lps("us").Lps("uussuussssus");
    for (int g = 0; g < groups; ++g) wire.U32(0x202).Lps16(L"Group " + std::to_wstring(g));
    for (int c = 0; c < contacts; ++c)
        wire.U32(0x200).U32(unsigned(c % groups)).Lps("user" + std::to_string(c) + "@example.org")
            .Lps16(L"User " + std::to_wstring(c)).U32(0).U32(c % 4 == 0 ? 1 : 0).Lps("").Lps("").Lps("").Lps("")
            .U32(0x3FF).Lps("client=\"test\"");
    return wire;
}

void ContactListBenchmark()
{
    std::printf("Contact list, 20 groups, applied to the contact-list data in one batch:\n");
    std::printf("  %8s %12s %12s %14s %14s\n", "contacts", "parse", "apply", "apply again", "statuses");
    for (int contacts : {1000, 2000, 5000}) {
        Services::CServicesManager bus;
        OneAccount accounts;
        CContactListData data(bus, &accounts);
        bus.SendMessage(data.GetQueueHandle(), GUID_PROTOCOLS_MANAGER, PMEV_ACCOUNT_CREATED,
                        new CRefValue(intptr_t(OneAccount::Account)), nullptr, true);
        MrimContactList list(&bus, OneAccount::Account);
        Bytes body = ListBody(contacts, 20);
        double parse = Best([&] { list.ParseContactList(body.data(), body.size()); });
        double start = BenchSeconds();
        list.ApplyContactList();
        double apply = BenchSeconds() - start;
        // A second list after a reconnection finds every item again.
        double again = Best([&] { list.ApplyContactList(); }, 3);
        std::vector<Bytes> statuses;
        for (int c = 0; c < contacts; ++c)
            statuses.push_back(Wire().U32(4).Lps("status_chat").Lps16(L"T").Lps16(L"X")
                                   .Lps("user" + std::to_string(c) + "@example.org").U32(0x3FF).Lps("a"));
        double flood = Best([&] {
            for (const Bytes& status : statuses) list.OnUserStatus(status.data(), status.size());
        }, 3);
        std::printf("  %8d %9.1f ms %9.1f ms %11.1f ms %11.1f ms  (%.2f us a status)\n", contacts, parse * 1e3,
                    apply * 1e3, again * 1e3, flood * 1e3, flood * 1e6 / contacts);
    }
}

} // namespace

int main()
{
    ReaderBenchmark();
    ContactListBenchmark();
    return 0;
}
