// The three exports of Dax.dll as the program binds them, by their decorated names.
#include "Dax/DaxGuids.h"
#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/PluginExports.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/tests/PluginTreeSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

template <typename F>
F Bind(HMODULE module, PluginExport which)
{
    CZELString name(PluginExportNames[which]);
    char* narrow = CZELString::Convert(name, 0);
    F f = narrow ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, narrow))) : nullptr;
    free(narrow);
    return f;
}

} // namespace

TEST(DaxPluginExports, OneProtocolAndAccountsOfItOnly)
{
    HMODULE module = LoadLibraryW((PluginTree::ProgramFolder() + L"Protos\\Dax\\Dax.dll").c_str());
    ASSERT_NE(nullptr, module);
    auto info = Bind<GetProtocolInfoFuncPtr>(module, ExportGetProtocolInfo);
    auto create = Bind<CreateAccountFuncPtr>(module, ExportCreateAccount);
    auto destroy = Bind<DestroyAccountFuncPtr>(module, ExportDestroyAccount);
    ASSERT_TRUE(info && create && destroy);

    Services::CServicesManager bus;
    CZELArray<Protocols::ProtocolInfo> protocols;
    info(&bus, protocols);
    ASSERT_EQ(1, protocols.GetCount());
    EXPECT_TRUE(protocols[0].guid == GUID_DAX_PROTOCOL);
    EXPECT_EQ(L"dax_proto.png", PluginTree::Wide(protocols[0].iconFile));
    EXPECT_EQ(L"DAX", PluginTree::Wide(protocols[0].name));
    EXPECT_TRUE(protocols[0].reserved.IsEmpty());

    EXPECT_EQ(0u, create(GUID_WEX_PROTOCOL, &bus, 0x10000001, 0));
    unsigned handle = create(GUID_DAX_PROTOCOL, &bus, 0x10000002, 0);
    EXPECT_NE(0u, handle);
    // The handle is the account's queue: it answers the protocols manager's commands.
    EXPECT_EQ(0, bus.SendMessage(int(handle), GUID_PROTOCOLS_MANAGER, 54, nullptr, nullptr, true));
    destroy(handle);
    EXPECT_EQ(Services::SM_NOT_FOUND, bus.SendMessage(int(handle), GUID_PROTOCOLS_MANAGER, 54, nullptr, nullptr, true));
    destroy(handle);  // unknown now: nothing happens
    FreeLibrary(module);
}
