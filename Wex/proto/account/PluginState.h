// What the plug-in library keeps once for all its accounts: its module handle, the accounts by
// handle, and the tables they share.
#pragma once

#include "Wex/proto/account/SharedTables.h"

#include "Zel/core/plugin/AccountRegistry.h"

#include <windows.h>

class WexAccount;

namespace WexPlugin {

// Set by the library's entry point.
HMODULE& Module();
AccountRegistry<WexAccount>& Accounts();
SharedTables& Shared();

}  // namespace WexPlugin
