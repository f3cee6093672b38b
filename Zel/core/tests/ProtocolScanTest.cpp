#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/ProtocolsManager.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/skin/SkinImageSet.h"
#include "Zel/core/skin/SkinImages.h"
#include "Zel/core/tests/PluginTreeSupport.h"
#include "Zel/core/tests/plugins/TestPluginGuids.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

using namespace PluginTree;

namespace {

// A bus, a skin image registry and a manager pointed at one scenario's protocols folder.
class ProtocolScan : public ::testing::Test {
protected:
    ProtocolScan() : skinImages(bus, imageSet) {}

    CProtocolsManager& Manager(const wchar_t* scenario)
    {
        manager.reset(new CProtocolsManager(bus, skinImages, ProtosFolder(scenario)));
        return *manager;
    }

    // The index the registry gave out for name, or -1.
    int ImageIndexOf(const std::wstring& name)
    {
        for (int i = CSkinImageSet::BuiltInCount; !imageSet.GetName(i).IsEmpty(); ++i)
            if (Wide(imageSet.GetName(i)) == name) return i;
        return -1;
    }

    int UseCountOf(const std::wstring& name)
    {
        int index = ImageIndexOf(name);
        return index == -1 ? 0 : imageSet.GetUseCount(index);
    }

    Services::CServicesManager bus;
    CSkinImageSet imageSet;
    CSkinImages skinImages;
    std::unique_ptr<CProtocolsManager> manager;
};

void ExpectEmptyDescription(const ProtocolDescription& d)
{
    EXPECT_EQ(GuidText(d.guid), GuidText(ZEL_GUID_NULL));
    EXPECT_EQ(d.imageIndex, -1);
    EXPECT_TRUE(d.name.IsEmpty());
    EXPECT_TRUE(d.displayName.IsEmpty());
    EXPECT_TRUE(d.reserved.IsEmpty());
    EXPECT_TRUE(d.credits.IsEmpty());
}

}  // namespace

TEST(ProtocolOrder, XmppFirstThenWexThenByteOrder)
{
    struct Case {
        const char* name;
        ZEL_GUID a;
        ZEL_GUID b;
        bool aFirst;
    } cases[] = {
        {"XMPP before Wex", GUID_XMPP_ZEL_PROTOCOL, GUID_WEX_PROTOCOL, true},
        {"Wex after XMPP", GUID_WEX_PROTOCOL, GUID_XMPP_ZEL_PROTOCOL, false},
        {"XMPP before a smaller GUID", GUID_XMPP_ZEL_PROTOCOL, ZEL_GUID_NULL, true},
        {"a smaller GUID after XMPP", ZEL_GUID_NULL, GUID_XMPP_ZEL_PROTOCOL, false},
        {"Wex before a smaller GUID", GUID_WEX_PROTOCOL, ZEL_GUID_NULL, true},
        {"a smaller GUID after Wex", ZEL_GUID_NULL, GUID_WEX_PROTOCOL, false},
        {"Wex before a larger GUID", GUID_WEX_PROTOCOL, GUID_TEST_FIVE_C, true},
        {"a larger GUID after Wex", GUID_TEST_FIVE_C, GUID_WEX_PROTOCOL, false},
        // Bytes in memory decide, not the Data1 number: 00 00 00 01 < 01 00 00 00.
        {"byte order, not number order", GUID_TEST_FIVE_B, GUID_TEST_FIVE_A, true},
        {"byte order reversed", GUID_TEST_FIVE_A, GUID_TEST_FIVE_B, false},
        {"last byte decides", GUID_TEST_OTHER, GUID_TEST_FIVE_A, true},
        {"null before any other", ZEL_GUID_NULL, GUID_TEST_OTHER, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Protocols::CompareProtocolOrder(c.a, c.b), c.aFirst);
    }
}

TEST_F(ProtocolScan, DuplicateGuidKeepsThePluginListedFirst)
{
    int indexA = ListedIndex(L"Duplicate", L"WexA");
    int indexB = ListedIndex(L"Duplicate", L"WexB");
    ASSERT_GE(indexA, 0);
    ASSERT_GE(indexB, 0);
    const wchar_t* first = indexA < indexB ? L"WexA" : L"WexB";
    std::wstring firstName = indexA < indexB ? L"Wex A" : L"Wex B";
    std::wstring firstIcon = indexA < indexB ? L"wex_a.png" : L"wex_b.png";
    std::wstring droppedIcon = indexA < indexB ? L"wex_b.png" : L"wex_a.png";

    CProtocolsManager& m = Manager(L"Duplicate");
    EXPECT_EQ(m.ScanProtocolPlugins(), 1);
    EXPECT_EQ(m.GetProtocolCount(), 1);
    ProtocolRecord* record = m.FindProtocol(GUID_WEX_PROTOCOL);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(Wide(record->name), firstName);
    EXPECT_EQ(Wide(record->dllFile), std::wstring(first) + L".dll");
    EXPECT_EQ(Wide(record->folder), Wide(ProtosFolder(L"Duplicate")) + first + L"\\");
    // The dropped duplicate's icon is never acquired.
    EXPECT_EQ(record->imageIndex, ImageIndexOf(firstIcon));
    EXPECT_EQ(ImageIndexOf(droppedIcon), -1);
}

TEST_F(ProtocolScan, FivePluginProtocolsShareLibraryAndFolder)
{
    CProtocolsManager& m = Manager(L"Five");
    ASSERT_EQ(m.ScanProtocolPlugins(), 5);
    EXPECT_EQ(m.GetProtocolCount(), 5);
    struct Expected {
        const ZEL_GUID& guid;
        const wchar_t* name;
    } expected[] = {
        {GUID_TEST_FIVE_A, L"Five A"}, {GUID_TEST_FIVE_B, L"Five B"}, {GUID_XMPP_ZEL_PROTOCOL, L"XMPP"},
        {GUID_TEST_FIVE_C, L"Five C"}, {GUID_TEST_FIVE_D, L"Five D"},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(GuidText(e.guid));
        ProtocolRecord* record = m.FindProtocol(e.guid);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(GuidText(record->guid), GuidText(e.guid));
        EXPECT_EQ(Wide(record->name), e.name);
        EXPECT_EQ(Wide(record->displayName), e.name);
        EXPECT_TRUE(record->reserved.IsEmpty());
        // The plug-in was handed the manager's bus.
        EXPECT_EQ(Wide(record->credits), BusText(&bus));
        EXPECT_EQ(Wide(record->dllFile), L"Xmpp.dll");
        EXPECT_EQ(Wide(record->folder), Wide(ProtosFolder(L"Five")) + L"Xmpp\\");
    }
    EXPECT_EQ(m.FindProtocol(GUID_WEX_PROTOCOL), nullptr);
}

TEST_F(ProtocolScan, TableOrderIsXmppThenWexThenByteOrder)
{
    CProtocolsManager& m = Manager(L"Order");
    ASSERT_EQ(m.GetProtocolCount(), 7);
    struct Expected {
        const ZEL_GUID& guid;
        const wchar_t* name;
        const wchar_t* dllFile;
    } expected[] = {
        {GUID_XMPP_ZEL_PROTOCOL, L"XMPP", L"Xmpp.dll"}, {GUID_WEX_PROTOCOL, L"Wex A", L"Wex.dll"},
        {GUID_TEST_FIVE_B, L"Five B", L"Xmpp.dll"},    {GUID_TEST_OTHER, L"Other", L"Other.dll"},
        {GUID_TEST_FIVE_A, L"Five A", L"Xmpp.dll"},    {GUID_TEST_FIVE_D, L"Five D", L"Xmpp.dll"},
        {GUID_TEST_FIVE_C, L"Five C", L"Xmpp.dll"},
    };
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        ProtocolDescription d = m.GetProtocol(i);
        EXPECT_EQ(GuidText(d.guid), GuidText(expected[i].guid));
        EXPECT_EQ(Wide(d.name), expected[i].name);
        EXPECT_EQ(Wide(d.credits), BusText(&bus));
        ProtocolRecord* record = m.FindProtocol(expected[i].guid);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(Wide(record->dllFile), expected[i].dllFile);
        EXPECT_EQ(d.imageIndex, record->imageIndex);
    }
}

TEST_F(ProtocolScan, GetProtocolPastEitherEndIsEmpty)
{
    CProtocolsManager& m = Manager(L"Order");
    int count = m.GetProtocolCount();
    ASSERT_EQ(count, 7);
    for (int index : {count, count + 1, -1, int(0x80000000), 0x7FFFFFFF}) {
        SCOPED_TRACE(index);
        ExpectEmptyDescription(m.GetProtocol(index));
    }
}

TEST_F(ProtocolScan, FoldersWithoutAUsableLibraryAreSkipped)
{
    CProtocolsManager& m = Manager(L"Skipped");
    EXPECT_EQ(m.ScanProtocolPlugins(), 1);
    EXPECT_EQ(m.GetProtocolCount(), 1);
    EXPECT_NE(m.FindProtocol(GUID_TEST_OTHER), nullptr);
    // The three plug-ins that lack one export each describe this protocol.
    EXPECT_EQ(m.FindProtocol(GUID_TEST_PARTIAL), nullptr);
    for (const wchar_t* dll : {L"NoInfo.dll", L"NoCreate.dll", L"NoDestroy.dll", L"Other.dll"}) {
        SCOPED_TRACE(Narrow(CZELString(dll)));
        EXPECT_FALSE(IsLoaded(dll));
    }
}

// The skipped plug-ins are real libraries that lack exactly the one export they are named after,
// so the scan above skips them for that reason alone.
TEST(ProtocolScanTree, PartialPluginsLackExactlyOneExport)
{
    struct Case {
        const wchar_t* folder;
        int missing;
    } cases[] = {
        {L"NoInfo", ExportGetProtocolInfo},
        {L"NoCreate", ExportCreateAccount},
        {L"NoDestroy", ExportDestroyAccount},
        {L"Other", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(CZELString(c.folder)));
        ProtocolRecord record = RecordFor(L"Skipped", c.folder, GUID_TEST_PARTIAL);
        CZELDll library;
        ASSERT_TRUE(library.Load(record.dllFile, record.folder));
        for (int e = 0; e < PluginExportCount; ++e) {
            SCOPED_TRACE(e);
            EXPECT_EQ(library.GetProcAddressW(PluginExportNames[e]) != nullptr, e != c.missing);
        }
        library.Unload();
    }
}

TEST_F(ProtocolScan, NothingStaysLoadedAfterAScan)
{
    for (const wchar_t* scenario : {L"Duplicate", L"Five", L"Order", L"Skipped", L"ThrowerLast", L"ThrowerFirst"}) {
        SCOPED_TRACE(Narrow(CZELString(scenario)));
        std::vector<std::wstring> folders = ListedFolders(scenario);
        ASSERT_FALSE(folders.empty());
        Manager(scenario).ScanProtocolPlugins();
        for (const std::wstring& folder : folders) {
            SCOPED_TRACE(Narrow(CZELString(folder.c_str())));
            EXPECT_FALSE(IsLoaded(folder + L".dll"));
        }
    }
}

TEST_F(ProtocolScan, NoProtocolsFolderGivesNoProtocols)
{
    CProtocolsManager& m = Manager(L"Missing");
    EXPECT_EQ(m.ScanProtocolPlugins(), 0);
    EXPECT_EQ(m.GetProtocolCount(), 0);
    EXPECT_EQ(m.FindProtocol(GUID_WEX_PROTOCOL), nullptr);
    ExpectEmptyDescription(m.GetProtocol(0));
}

namespace {

DWORD WINAPI CountFromAnotherThread(void* argument)
{
    return DWORD(static_cast<CProtocolsManager*>(argument)->GetProtocolCount());
}

}  // namespace

// A plug-in that throws while filling the array ends the scan: the lock is free again, the library
// is unloaded, and what earlier folders gave stays. Two trees put the failing plug-in after and
// before the good one, in name order; the expectation follows the actual listing order.
TEST_F(ProtocolScan, PluginFailingWhileDescribingEndsTheScan)
{
    struct Case {
        const wchar_t* scenario;
        const wchar_t* good;
    } cases[] = {{L"ThrowerLast", L"Other"}, {L"ThrowerFirst", L"Zulu"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(CZELString(c.scenario)));
        int throwerAt = ListedIndex(c.scenario, L"Thrower");
        int goodAt = ListedIndex(c.scenario, c.good);
        ASSERT_GE(throwerAt, 0);
        ASSERT_GE(goodAt, 0);
        bool goodFirst = goodAt < throwerAt;

        CProtocolsManager& m = Manager(c.scenario);
        EXPECT_EQ(m.ScanProtocolPlugins(), goodFirst ? 1 : 0);
        EXPECT_FALSE(IsLoaded(L"Thrower.dll"));
        EXPECT_FALSE(IsLoaded(std::wstring(c.good) + L".dll"));

        // Another thread gets the lock.
        HANDLE thread = CreateThread(nullptr, 0, CountFromAnotherThread, &m, 0, nullptr);
        ASSERT_NE(thread, nullptr);
        bool finished = WaitForSingleObject(thread, 5000) == WAIT_OBJECT_0;
        EXPECT_TRUE(finished) << "the scan left the protocols lock held";
        DWORD count = 99;
        if (finished) {
            GetExitCodeThread(thread, &count);
        } else {
            TerminateThread(thread, 0);
        }
        CloseHandle(thread);
        if (!finished) return;
        EXPECT_EQ(count, goodFirst ? 1u : 0u);

        EXPECT_EQ(m.FindProtocol(GUID_TEST_THROWER), nullptr);
        ProtocolRecord* good = m.FindProtocol(GUID_TEST_OTHER);
        EXPECT_EQ(good != nullptr, goodFirst);
        if (good) {
            EXPECT_EQ(good->imageIndex, ImageIndexOf(L"other.png"));
        }
        EXPECT_EQ(ImageIndexOf(L"thrower.png"), -1);
    }
}

TEST_F(ProtocolScan, IconsAreAcquiredOncePerProtocolAndGivenBack)
{
    const std::wstring icons[] = {L"xmpp.png", L"wex_a.png", L"five_b.png", L"other.png",
                                  L"five_a.png", L"five_d.png", L"five_c.png"};
    CProtocolsManager& m = Manager(L"Order");
    ASSERT_EQ(m.GetProtocolCount(), 7);
    m.GetProtocolCount();  // no second scan
    std::vector<int> indices;
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(Narrow(CZELString(icons[i].c_str())));
        ProtocolDescription d = m.GetProtocol(i);
        ASSERT_GE(d.imageIndex, int(CSkinImageSet::BuiltInCount));
        EXPECT_EQ(Wide(imageSet.GetName(d.imageIndex)), icons[i]);
        EXPECT_EQ(imageSet.GetUseCount(d.imageIndex), 1);
        indices.push_back(d.imageIndex);
    }
    // Acquired in table order.
    for (size_t i = 1; i < indices.size(); ++i) EXPECT_EQ(indices[i], indices[i - 1] + 1);

    // A rescan rebuilds the table with the same images and gives the old uses back.
    EXPECT_EQ(m.ScanProtocolPlugins(), 7);
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(m.GetProtocol(i).imageIndex, indices[i]);
        EXPECT_EQ(imageSet.GetUseCount(indices[i]), 1);
    }

    manager.reset();
    for (int index : indices) EXPECT_EQ(imageSet.GetUseCount(index), 0);
}

// The scan is pending from construction and runs once, on whichever operation comes first.
TEST_F(ProtocolScan, FirstUseScans)
{
    struct Case {
        const char* name;
        void (*use)(CProtocolsManager&);
    } cases[] = {
        {"GetProtocolCount", [](CProtocolsManager& m) { m.GetProtocolCount(); }},
        {"FindProtocol", [](CProtocolsManager& m) { m.FindProtocol(GUID_WEX_PROTOCOL); }},
        {"GetProtocol", [](CProtocolsManager& m) { m.GetProtocol(5); }},
        {"BindAccount", [](CProtocolsManager& m) {
             CZELDll library;
             unsigned handle = m.BindAccount(GUID_TEST_PARTIAL, 0x10000001, library);
             EXPECT_EQ(handle, 0u);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        manager.reset();
        CProtocolsManager& m = Manager(L"Order");
        EXPECT_EQ(UseCountOf(L"wex_a.png"), 0);
        c.use(m);
        EXPECT_EQ(UseCountOf(L"wex_a.png"), 1);
        // Later uses find the table built and do not scan again.
        EXPECT_EQ(m.GetProtocolCount(), 7);
        EXPECT_EQ(UseCountOf(L"wex_a.png"), 1);
    }
}

TEST_F(ProtocolScan, StartupEventScans)
{
    CProtocolsManager& m = Manager(L"Order");
    EXPECT_EQ(ImageIndexOf(L"xmpp.png"), -1);
    bus.FireStartupEvent();
    int index = ImageIndexOf(L"xmpp.png");
    ASSERT_NE(index, -1);
    EXPECT_EQ(imageSet.GetUseCount(index), 1);
    EXPECT_EQ(m.GetProtocolCount(), 7);
    EXPECT_EQ(imageSet.GetUseCount(index), 1);
}

TEST_F(ProtocolScan, ServiceAndQueueLiveWithTheManager)
{
    CProtocolsManager& m = Manager(L"Order");
    ASSERT_TRUE(bus.HasService(GUID_PROTOCOLS_MANAGER));
    IProtocolsManager* service = static_cast<IProtocolsManager*>(bus.GetService(GUID_PROTOCOLS_MANAGER));
    EXPECT_EQ(service, static_cast<IProtocolsManager*>(&m));
    int queue = m.GetQueueHandle();
    EXPECT_NE(queue, 0);
    // The queue handles messages: a synchronous send comes back with the handler's 0.
    EXPECT_EQ(bus.SendMessage(queue, GUID_PROTOCOLS_MANAGER, 0, nullptr, nullptr, true), 0);

    manager.reset();
    EXPECT_FALSE(bus.HasService(GUID_PROTOCOLS_MANAGER));
    EXPECT_EQ(bus.SendMessage(queue, GUID_PROTOCOLS_MANAGER, 0, nullptr, nullptr, true), Services::SM_NOT_FOUND);
}

// Plug-ins call the manager through the interface's slots, so the first ones must be these.
TEST_F(ProtocolScan, InterfaceSlotsComeInTheirFixedOrder)
{
    Manager(L"Order");
    IProtocolsManager* service = static_cast<IProtocolsManager*>(bus.GetService(GUID_PROTOCOLS_MANAGER));
    ASSERT_NE(service, nullptr);
    void** slots = *reinterpret_cast<void***>(service);
    typedef int (*IntSlot)(IProtocolsManager*);
    typedef ProtocolRecord* (*FindSlot)(IProtocolsManager*, const ZEL_GUID&);
    EXPECT_EQ(reinterpret_cast<IntSlot>(slots[0])(service), 7);  // ScanProtocolPlugins
    EXPECT_EQ(reinterpret_cast<IntSlot>(slots[1])(service), 7);  // GetProtocolCount
    ProtocolRecord* record = reinterpret_cast<FindSlot>(slots[2])(service, GUID_WEX_PROTOCOL);  // FindProtocol
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(Wide(record->dllFile), L"Wex.dll");
}
