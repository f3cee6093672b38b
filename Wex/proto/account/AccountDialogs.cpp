#include "Wex/proto/account/AccountDialogs.h"

namespace WexDialogs {

void RunAddContactDialog(WexAccount*, const CZELString&, const CZELString&, const CZELString&) {}

bool RunAuthRequestDialog(WexAccount*, CZELString&)
{
    return false;
}

bool RunXStatusDialog(WexAccount*, CZELString&, CZELString&)
{
    return false;
}

int AddSettingsPages(WexAccount*, void*)
{
    return 0;
}

int AddOwnDetailsPages(WexAccount*, void*)
{
    return 0;
}

int AddContactDetailsPages(WexAccount*, int, void*)
{
    return 0;
}

int AddSearchPages(WexAccount*, void*)
{
    return 0;
}

}  // namespace WexDialogs
