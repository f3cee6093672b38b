#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/ProtocolsManager.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/skin/SkinImageSet.h"
#include "Zel/core/skin/SkinImages.h"
#include "Zel/core/tests/PluginTreeSupport.h"
#include "Zel/core/tests/plugins/TestPluginGuids.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

using namespace PluginTree;

namespace {

// Accounts alive in the loaded plug-in dllName, read through its test export; -1 when not loaded.
int LiveAccounts(const wchar_t* dllName)
{
    HMODULE module = GetModuleHandleW(dllName);
    if (!module) return -1;
    TestLiveAccountsPtr live =
        reinterpret_cast<TestLiveAccountsPtr>(reinterpret_cast<void*>(GetProcAddress(module, "TestLiveAccounts")));
    return live ? live() : -1;
}

struct CreateArguments {
    void* bus = nullptr;
    unsigned accountId = 0;
    unsigned ownerQueue = 0;
};

CreateArguments LastCreate(const wchar_t* dllName)
{
    CreateArguments out;
    HMODULE module = GetModuleHandleW(dllName);
    if (!module) return out;
    TestLastCreatePtr last =
        reinterpret_cast<TestLastCreatePtr>(reinterpret_cast<void*>(GetProcAddress(module, "TestLastCreate")));
    if (last) last(&out.bus, &out.accountId, &out.ownerQueue);
    return out;
}

class ProtocolBinding : public ::testing::Test {
protected:
    ProtocolBinding() : skinImages(bus, imageSet), manager(bus, skinImages, ProtosFolder(L"Order")) {}

    Services::CServicesManager bus;
    CSkinImageSet imageSet;
    CSkinImages skinImages;
    CProtocolsManager manager;
};

}  // namespace

// Each account holds its own load of the plug-in: the library leaves memory only with the last.
TEST_F(ProtocolBinding, EachAccountLoadsThePluginOnce)
{
    ASSERT_FALSE(IsLoaded(L"Wex.dll"));
    CZELDll first;
    unsigned firstHandle = manager.BindAccount(GUID_WEX_PROTOCOL, 0x10000001, first);
    ASSERT_NE(firstHandle, 0u);
    EXPECT_EQ(LiveAccounts(L"Wex.dll"), 1);
    CreateArguments arguments = LastCreate(L"Wex.dll");
    EXPECT_EQ(arguments.bus, static_cast<void*>(&bus));
    EXPECT_EQ(arguments.accountId, 0x10000001u);
    EXPECT_EQ(arguments.ownerQueue, unsigned(manager.GetQueueHandle()));

    CZELDll second;
    unsigned secondHandle = manager.BindAccount(GUID_WEX_PROTOCOL, 0x10000002, second);
    ASSERT_NE(secondHandle, 0u);
    EXPECT_NE(secondHandle, firstHandle);
    EXPECT_EQ(LiveAccounts(L"Wex.dll"), 2);
    EXPECT_EQ(LastCreate(L"Wex.dll").accountId, 0x10000002u);

    // Releasing destroys the account through the plug-in, then drops that account's load.
    Protocols::ReleaseAccountPlugin(first, firstHandle);
    EXPECT_TRUE(IsLoaded(L"Wex.dll"));
    EXPECT_EQ(LiveAccounts(L"Wex.dll"), 1);
    Protocols::ReleaseAccountPlugin(second, secondHandle);
    EXPECT_FALSE(IsLoaded(L"Wex.dll"));
}

TEST_F(ProtocolBinding, OneAccountLoadsThePluginOnlyOnce)
{
    CZELDll library;
    unsigned handle = manager.BindAccount(GUID_TEST_OTHER, 0x10000001, library);
    ASSERT_NE(handle, 0u);
    EXPECT_TRUE(IsLoaded(L"Other.dll"));
    Protocols::ReleaseAccountPlugin(library, handle);
    EXPECT_FALSE(IsLoaded(L"Other.dll"));
}

// Two protocols of one plug-in share the one library instance.
TEST_F(ProtocolBinding, AccountsOfTwoProtocolsOfOnePlugin)
{
    CZELDll xmpp, other;
    unsigned xmppHandle = manager.BindAccount(GUID_XMPP_ZEL_PROTOCOL, 0x10000001, xmpp);
    unsigned otherHandle = manager.BindAccount(GUID_TEST_FIVE_D, 0x10000002, other);
    ASSERT_NE(xmppHandle, 0u);
    ASSERT_NE(otherHandle, 0u);
    EXPECT_EQ(LiveAccounts(L"Xmpp.dll"), 2);
    Protocols::ReleaseAccountPlugin(xmpp, xmppHandle);
    EXPECT_EQ(LiveAccounts(L"Xmpp.dll"), 1);
    Protocols::ReleaseAccountPlugin(other, otherHandle);
    EXPECT_FALSE(IsLoaded(L"Xmpp.dll"));
}

// Every way an account cannot be had leaves nothing loaded and the account's library empty.
TEST_F(ProtocolBinding, RefusalsUnloadTheLibrary)
{
    struct Case {
        const char* name;
        const wchar_t* scenario;
        const wchar_t* folder;
        ZEL_GUID guid;
    } cases[] = {
        {"a protocol the plug-in does not serve", L"Order", L"Wex", GUID_TEST_OTHER},
        {"no CreateAccountFunc", L"Skipped", L"NoCreate", GUID_TEST_PARTIAL},
        {"CreateAccountFunc throws", L"ThrowerLast", L"Thrower", GUID_TEST_THROWER},
        {"not a library", L"Skipped", L"Broken", GUID_TEST_OTHER},
        {"no library in the folder", L"Skipped", L"Empty", GUID_TEST_OTHER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProtocolRecord record = RecordFor(c.scenario, c.folder, c.guid);
        CZELDll library;
        EXPECT_EQ(Protocols::BindAccountPlugin(record, &bus, 0x10000001, 7, library), 0u);
        EXPECT_FALSE(IsLoaded(Wide(record.dllFile)));
        EXPECT_FALSE(library.Unload());  // nothing left to unload
    }
}

TEST_F(ProtocolBinding, ProtocolNotInTheTableGetsNoAccount)
{
    CZELDll library;
    EXPECT_EQ(manager.BindAccount(GUID_TEST_PARTIAL, 0x10000001, library), 0u);
    EXPECT_EQ(manager.BindAccount(ZEL_GUID_NULL, 0x10000001, library), 0u);
    EXPECT_FALSE(library.Unload());
}

// A plug-in without DestroyAccountFunc (only reachable for an account made outside the scan's
// checks) still has its library released.
TEST_F(ProtocolBinding, ReleaseWithoutDestroyExportStillUnloads)
{
    ProtocolRecord record = RecordFor(L"Skipped", L"NoDestroy", GUID_TEST_PARTIAL);
    CZELDll library;
    unsigned handle = Protocols::BindAccountPlugin(record, &bus, 0x10000001, 7, library);
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(LiveAccounts(L"NoDestroy.dll"), 1);
    EXPECT_EQ(LastCreate(L"NoDestroy.dll").ownerQueue, 7u);
    Protocols::ReleaseAccountPlugin(library, handle);
    EXPECT_FALSE(IsLoaded(L"NoDestroy.dll"));
}
