// The plug-in-wide tables (the status images and the status records) are one set for all accounts:
// the first account that loads makes them, the others share them, and the last one to unload gives
// them back. Accounts here are made in this process and driven on their own queues as the manager
// drives them.
#include "Dax/DaxShared.h"
#include "Dax/MrimAccount.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/tests/AccountTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <thread>

namespace {

class DaxSharedTablesTest : public ::testing::Test {
protected:
    DaxSharedTablesTest() : skin(bus, imageSet) { skin.SetLanguageName(L"English"); }
    ~DaxSharedTablesTest() override
    {
        for (unsigned handle : handles) {
            Command(handle, PM_UNLOAD);
            DaxShared::Registry().Destroy(handle);
        }
    }

    unsigned Add()
    {
        MrimAccount* account = new (std::nothrow) MrimAccount(&bus, 0x10000001 + unsigned(handles.size()), 0);
        unsigned handle = DaxShared::Registry().Add(account);
        EXPECT_NE(0u, handle);
        handles.push_back(handle);
        return handle;
    }
    int Command(unsigned handle, int code, CRefObject* p1 = nullptr)
    {
        return bus.SendMessage(int(handle), GUID_PROTOCOLS_MANAGER, code, p1, nullptr, true);
    }
    int UseCount(const wchar_t* name)
    {
        for (int index = 0;; ++index) {
            CZELString found = imageSet.GetName(index);
            if (found.IsEmpty() && index >= CSkinImageSet::BuiltInCount) return -1;
            if (found == CZELString(name)) return imageSet.GetUseCount(index);
        }
    }
    std::wstring ImageName(int index) { return AccountTest::Text(imageSet.GetName(index)); }

    Services::CServicesManager bus;
    CSkinImageSet imageSet;
    CSkinImages skin;
    std::vector<unsigned> handles;
};

} // namespace

TEST_F(DaxSharedTablesTest, TwoAccountsShareOneSetAndTheLastReleasesIt)
{
    const unsigned first = Add(), second = Add();
    Command(first, PM_LOAD);
    Command(second, PM_LOAD);
    EXPECT_EQ(2, DaxShared::LoadedAccounts());
    ASSERT_EQ(31, DaxShared::ImageCount());
    // Each image acquired once for both accounts.
    for (const wchar_t* name : {L"dax_stoffline.png", L"dax_stonline.png", L"proto_mailboxfull.png"}) {
        SCOPED_TRACE(testing::Message() << name);
        EXPECT_EQ(1, UseCount(name));
    }
    StatusEntry online = DaxShared::StatusRecord(2);
    EXPECT_EQ(L"Online", AccountTest::Text(online.name));
    ASSERT_EQ(1, online.images.GetCount());
    EXPECT_EQ(L"dax_stonline.png", ImageName(online.images[0]));

    // One account left: everything stays.
    Command(first, PM_UNLOAD);
    EXPECT_EQ(1, DaxShared::LoadedAccounts());
    EXPECT_EQ(31, DaxShared::ImageCount());
    EXPECT_EQ(1, UseCount(L"dax_stoffline.png"));
    EXPECT_EQ(L"Away", AccountTest::Text(DaxShared::StatusRecord(11).name));

    // The last one gives the images back and drops the table.
    Command(second, PM_UNLOAD);
    EXPECT_EQ(0, DaxShared::LoadedAccounts());
    EXPECT_EQ(0, DaxShared::ImageCount());
    EXPECT_EQ(-1, DaxShared::Image(0));
    EXPECT_EQ(0, UseCount(L"dax_stoffline.png"));
    EXPECT_EQ(0, UseCount(L"proto_mailboxfull.png"));
    EXPECT_TRUE(DaxShared::StatusRecord(2).name.IsEmpty());
    // Unloading twice counts once.
    Command(second, PM_UNLOAD);
    EXPECT_EQ(0, DaxShared::LoadedAccounts());

    // A new account makes them again.
    const unsigned third = Add();
    Command(third, PM_LOAD);
    EXPECT_EQ(1, UseCount(L"dax_stoffline.png"));
    EXPECT_EQ(L"Online", AccountTest::Text(DaxShared::StatusRecord(2).name));
    Command(third, PM_UNLOAD);
    EXPECT_EQ(0, UseCount(L"dax_stoffline.png"));
}

// A language change reaches each account on its own thread while other threads read status records:
// the table is rebuilt whole and swapped in, so no reader sees half of one.
TEST_F(DaxSharedTablesTest, LanguageChangesOnEveryAccountNeverTearATable)
{
    for (int i = 0; i < 4; ++i) Command(Add(), PM_LOAD);
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0}, reads{0};
    std::vector<std::thread> readers;
    for (int r = 0; r < 3; ++r)
        readers.emplace_back([&]() {
            while (!stop) {
                for (int status : {0, 2, 11}) {
                    StatusEntry entry = DaxShared::StatusRecord(status);
                    if (entry.status != status || entry.name.IsEmpty() || entry.images.GetCount() == 0) ++torn;
                    ++reads;
                }
            }
        });
    for (int round = 0; round < 50; ++round)
        for (unsigned handle : handles)
            bus.SendMessage(int(handle), GUID_PROTOCOLS_MANAGER, PM_LANGUAGE_CHANGED, NewStringPayload(L"English"),
                            nullptr, round % 2 == 0);
    for (unsigned handle : handles) Command(handle, PM_GET_STATUS);
    stop = true;
    for (std::thread& reader : readers) reader.join();
    EXPECT_EQ(0, torn.load());
    EXPECT_GT(reads.load(), 0);
}
