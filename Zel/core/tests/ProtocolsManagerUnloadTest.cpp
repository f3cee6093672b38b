// Accounts that go on using their values after PM_UNLOAD, while the manager destroys them (as one
// does whose connection reports its end late): neither a removal nor a shutdown may hang on them,
// and everything they wrote while unloading is stored.
#include "Zel/core/tests/AccountTestSupport.h"

#include "Zel/core/accounts/AccountsData.h"
#include "Zel/net/ConnectionManagerApi.h"
#include "ZELCommon/tests/Watchdog.h"

#include <gtest/gtest.h>

using namespace AccountTest;

namespace {

// Far beyond what the runs below take; reached only by a hang.
const DWORD kWatchdog = 120000;

}  // namespace

TEST_F(ManagerTest, RemovalsOfAccountsStillBusyAfterUnloadFinish)
{
    FakePlugin probe(L"Probe", L"Probe");
    ASSERT_TRUE(probe.Loaded());
    probe.clearLog();
    Start(L"Probe");

    const int kRemovals = 50;
    TestSupport::RunWithWatchdog(kWatchdog, [&]() {
        for (int i = 0; i < kRemovals; ++i) {
            unsigned id = Create(GUID_FAKE_PROBE, L"probe");
            ASSERT_NE(id, 0u);
            manager->RemoveAccount(id);
            Settle();
        }
    });

    EXPECT_EQ(manager->GetAccountCount(), 0);
    EXPECT_EQ(probe.live(), 0);
    EXPECT_EQ(probe.Count(0, PM_UNLOAD), kRemovals);
    EXPECT_GT(probe.Count(0, CM_DISCONNECTED), 0);  // the late reports did run into the removals
}

TEST_F(ManagerTest, ShutdownsWithAccountsStillBusyAfterUnloadStoreEverything)
{
    FakePlugin probe(L"Probe", L"Probe");
    ASSERT_TRUE(probe.Loaded());
    probe.clearLog();

    const int kShutdowns = 20;
    TestSupport::RunWithWatchdog(kWatchdog, [&]() {
        for (int run = 0; run < kShutdowns; ++run) {
            Start(L"Probe");
            Settle();
            if (run == 0) {
                Create(GUID_FAKE_PROBE, L"first");
                Create(GUID_FAKE_PROBE, L"second");
            }
            ASSERT_EQ(manager->GetAccountCount(), 2);
            Stop();
        }
    });
    EXPECT_EQ(probe.live(), 0);
    EXPECT_GT(probe.Count(0, CM_DISCONNECTED), 0);

    // "settings.zel" is written when the store goes, with both accounts and every unload counted.
    store.reset();
    store.reset(new CSettingsStore(&bus, folder.File(L"settings.zel")));
    std::vector<unsigned char> blob = StoredAccounts();
    AccountsData::Parsed parsed = AccountsData::Parse(blob.data(), unsigned(blob.size()));
    ASSERT_EQ(parsed.records.size(), 2u);
    const wchar_t* const names[] = {L"first", L"second"};
    for (size_t i = 0; i < parsed.records.size(); ++i) {
        SCOPED_TRACE(i);
        ValueRecordList values;
        ASSERT_TRUE(AccountsData::ReadValues(parsed.records[i], values));
        ASSERT_TRUE(values.Find(CZELString(FAKE_VALUE_NAME)));
        EXPECT_EQ(Text(values.Find(CZELString(FAKE_VALUE_NAME))->ReadString(false)), names[i]);
        ASSERT_TRUE(values.Find(CZELString(FAKE_VALUE_UNLOADS)));
        EXPECT_EQ(values.Find(CZELString(FAKE_VALUE_UNLOADS))->ReadInt(), kShutdowns);
    }
}
