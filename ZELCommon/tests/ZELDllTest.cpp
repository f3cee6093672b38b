#include "ZELCommon/ZELDll.h"

#include "modules/TestModules.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

typedef bool (*GetStringFunction)(int id, CZELString& out);

}  // namespace

TEST(ZELDll, LoadsFromFolderFindsExportsAndUnloadsOnce)
{
    CZELDll dll;
    ASSERT_TRUE(dll.Load(L"TST_Russian.dll", TestModulesFolder()));
    EXPECT_NE(GetModuleHandleW(L"TST_Russian.dll"), nullptr);

    auto getString = reinterpret_cast<GetStringFunction>(reinterpret_cast<void*>(dll.GetProcAddressW(kMuiGetStringExport)));
    ASSERT_NE(getString, nullptr);
    CZELString text;
    EXPECT_TRUE(getString(1, text));
    EXPECT_EQ(WideText(text), L"\x0412 \x0441\x0435\x0442\x0438");

    const struct {
        const char* name;
        CZELString export_;
    } absent[] = {
        {"unknown name", L"NoSuchExport"},
        {"non-ASCII name", L"MUI_\x0416GetString"},
        {"empty name", CZELString()},
    };
    for (const auto& c : absent) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(dll.GetProcAddressW(c.export_), nullptr);
    }

    EXPECT_TRUE(dll.Unload());
    EXPECT_EQ(GetModuleHandleW(L"TST_Russian.dll"), nullptr);
    EXPECT_FALSE(dll.Unload());
    EXPECT_EQ(dll.GetProcAddressW(kMuiGetStringExport), nullptr);
}

TEST(ZELDll, FailedLoadLeavesNoHandle)
{
    CZELString folder = TestModulesFolder();
    CZELString folderWithoutSeparator(folder.GetBuffer(), folder.GetLength() - 1);
    const struct {
        const char* name;
        CZELString file;
        CZELString folder;
    } cases[] = {
        {"missing file", L"NoSuchPlugin.dll", folder},
        // The bare name would be found: the library is loaded and sits beside the program.
        {"empty folder", L"ZELCommon.dll", CZELString()},
        {"folder without its separator", L"TST_Russian.dll", folderWithoutSeparator},
        {"empty file name", CZELString(), folder},
        {"both empty", CZELString(), CZELString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CZELDll dll;
        EXPECT_FALSE(dll.Load(c.file, c.folder));
        EXPECT_EQ(dll.GetProcAddressW(L"DllMain"), nullptr);
        EXPECT_FALSE(dll.Unload());
    }
    EXPECT_EQ(GetModuleHandleW(L"TST_Russian.dll"), nullptr);
}

// Holders share the handle: the destructor keeps the library, and a copy given to another thread
// is the one that unloads it.
TEST(ZELDll, CopyOnAnotherThreadUnloadsWhatTheOriginalLoaded)
{
    {
        CZELDll dll;
        ASSERT_TRUE(dll.Load(L"TST_Russian.dll", TestModulesFolder()));
    }
    HMODULE module = GetModuleHandleW(L"TST_Russian.dll");
    ASSERT_NE(module, nullptr) << "destroying the object must not free the library";
    FreeLibrary(module);
    ASSERT_EQ(GetModuleHandleW(L"TST_Russian.dll"), nullptr);

    CZELDll dll;
    ASSERT_TRUE(dll.Load(L"TST_Russian.dll", TestModulesFolder()));
    CZELDll copy = dll;
    EXPECT_NE(copy.GetProcAddressW(kMuiGetStringExport), nullptr);
    bool unloaded = false;
    std::thread([copy, &unloaded]() mutable { unloaded = copy.Unload(); }).join();
    EXPECT_TRUE(unloaded);
    EXPECT_EQ(GetModuleHandleW(L"TST_Russian.dll"), nullptr);
}
