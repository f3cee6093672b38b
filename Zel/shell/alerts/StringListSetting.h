// A plain list of strings kept as one settings value: a list of value records with empty names,
// each holding one string as UTF-8 (the message window's quick replies, "MWReplies").
#pragma once

#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELGuid.h"
#include "ZELCommon/ZELString.h"

class CSettingsStore;

namespace StringListSetting {

// Empties the list, then appends every stored string; false (and an empty list) when the value is
// missing or unreadable.
bool Load(CSettingsStore& store, const ZEL_GUID& section, const CZELString& key, CZELArray<CZELString>& strings);
void Save(CSettingsStore& store, const ZEL_GUID& section, const CZELString& key, const CZELArray<CZELString>& strings);

}  // namespace StringListSetting
