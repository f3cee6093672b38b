// The roster's cost at sign-on, for a list of 5,000 contacts in 50 groups (each with an alias, one
// in ten also on a privacy list): the roster frames parsed into the account's copy of the list, that
// copy merged into the real contact-list service, first into an empty list (a first sign-on) and
// then into the list it made (every later one), and the list's cache written and read back. Each
// figure is the best of five runs.
#include "Wex/proto/bench/RosterBench.h"

#include "Wex/proto/ListReplies.h"
#include "Wex/proto/account/RosterMerge.h"

#include "Wex/proto/tests/WexTestSupport.h"
#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "ZELCommon/tests/BenchClock.h"

#include <cstdio>
#include <memory>
#include <string>

using namespace WexTest;

namespace {

const int kContacts = 5000;
const int kGroups = 50;
const int kPerFrame = 500;
const int kRuns = 5;
const unsigned kAccount = 1;

// The account as the contact list asks about it; no protocols manager behind it.
class OneAccount : public IContactListAccounts {
public:
    bool IsAvailable() override { return true; }
    int GetAccountCount() override { return 1; }
    unsigned GetAccountId(int) override { return kAccount; }
    CZELString GetAccountKey(unsigned) override { return CZELString(L"{WEX}100200300"); }
    bool GetContactIcons(unsigned, int, StatusInfo&) override { return false; }
    bool SendInstantMessage(unsigned, const MessageRecord&, bool) override { return false; }
    bool GetAccountsNotCreated(std::vector<ZEL_GUID>&) override { return true; }
};

Bytes Item(const std::string& name, unsigned group, unsigned item, unsigned type, const Bytes& tlvs = Bytes())
{
    return Wire().Str16(name).U16(group).U16(item).U16(type).U16(unsigned(tlvs.size())).Raw(tlvs);
}

// The roster as the server sends it: groups first, then contacts, then privacy entries, in frames
// of kPerFrame items.
std::vector<Bytes> RosterFrames()
{
    std::vector<Bytes> items;
    for (int g = 1; g <= kGroups; ++g) items.push_back(Item("Group " + std::to_string(g), unsigned(g), 0, 1));
    for (int c = 0; c < kContacts; ++c) {
        const std::string uin = std::to_string(300000000 + c * 7);
        items.push_back(Item(uin, unsigned(1 + c % kGroups), unsigned(2000 + c), 0,
                             Wire().Tlv(0x0131, Wire().Text("Contact " + std::to_string(c)))));
        if (c % 10 == 0) items.push_back(Item(uin, 0, unsigned(20000 + c), c % 20 ? 2 : 14));
    }
    std::vector<Bytes> frames;
    for (size_t at = 0; at < items.size(); at += kPerFrame) {
        const size_t end = std::min(items.size(), at + kPerFrame);
        Wire body;
        body.U8(0).U16(unsigned(end - at));
        for (size_t i = at; i < end; ++i) body.Raw(items[i]);
        const bool last = end == items.size();
        if (last) body.U32(1700000000);
        frames.push_back(Snac(0x13, 0x06, body, last ? 0 : Wex::SnacFlagMoreFollow));
    }
    return frames;
}

Wex::ServerList Parse(const std::vector<Bytes>& frames)
{
    Wex::ServerList list;
    for (const Bytes& frame : frames) {
        Wex::ListRoster roster;
        if (!roster.Unpack(frame.data(), frame.size())) break;
        for (const Wex::ListItem& item : roster.items) list.Append(Wex::ServerListItem(item));
    }
    return list;
}

StatusInfo Offline(int)
{
    StatusInfo info;
    info.images.Add(0);
    return info;
}

}  // namespace

void RosterBenchmark()
{
    const std::vector<Bytes> frames = RosterFrames();
    size_t bytes = 0;
    for (const Bytes& frame : frames) bytes += frame.size();
    std::printf("Roster: %d contacts in %d groups, %zu frames, %zu bytes\n", kContacts, kGroups, frames.size(), bytes);

    Wex::ServerList parsed;
    const double parse = BestOf(kRuns, [&] { parsed = Parse(frames); });
    std::printf("  %-40s %8.2f ms  (%d items)\n", "frames parsed into the list", parse * 1e3, parsed.Count());

    Services::CServicesManager bus;
    OneAccount account;
    double first = 1e30, again = 1e30;
    int items = 0;
    for (int run = 0; run < kRuns; ++run) {
        std::unique_ptr<CContactListData> data(new CContactListData(bus, &account));
        data->HandleMessage(GUID_PROTOCOLS_MANAGER, PMEV_ACCOUNT_CREATED, NewValue(kAccount), nullptr);
        Wex::ServerList list = parsed;
        double start = BenchSeconds();
        WexRoster::Merge(list, *data, kAccount, &Offline);
        first = std::min(first, BenchSeconds() - start);
        list = parsed;
        start = BenchSeconds();
        WexRoster::Merge(list, *data, kAccount, &Offline);
        again = std::min(again, BenchSeconds() - start);
        CZELArray<ContactListItemPair> pairs;
        data->GetAccountItems(kAccount, pairs);
        items = pairs.GetCount();
    }
    std::printf("  %-40s %8.2f ms  %5.2f us a contact  (%d list items)\n", "merged into an empty contact list",
                first * 1e3, first * 1e6 / kContacts, items);
    std::printf("  %-40s %8.2f ms  %5.2f us a contact\n", "merged again into the list it made", again * 1e3,
                again * 1e6 / kContacts);

    Bytes cache;
    const double save = BestOf(kRuns, [&] { cache = parsed.SaveCache(); });
    Wex::ServerList loaded;
    const double load = BestOf(kRuns, [&] { loaded.LoadCache(cache.data(), cache.size()); });
    std::printf("  %-40s %8.2f ms  (%zu bytes)\n", "cache written", save * 1e3, cache.size());
    std::printf("  %-40s %8.2f ms  (%d items)\n", "cache read back", load * 1e3, loaded.Count());
}
