// The plug-in's accounts by handle (their own queue handle), behind the three exports; the keep-alive
// timer finds its account here, so a tick for an account already destroyed does nothing.
#pragma once

#include "Zel/core/plugin/AccountRegistry.h"

class JabberAccount;

AccountRegistry<JabberAccount>& PluginAccounts();
