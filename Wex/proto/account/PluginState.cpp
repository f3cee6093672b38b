#include "Wex/proto/account/PluginState.h"

#include "Wex/proto/account/WexAccount.h"

namespace WexPlugin {

HMODULE& Module()
{
    static HMODULE module = nullptr;
    return module;
}

AccountRegistry<WexAccount>& Accounts()
{
    static AccountRegistry<WexAccount> accounts;
    return accounts;
}

SharedTables& Shared()
{
    static SharedTables tables;
    return tables;
}

}  // namespace WexPlugin
