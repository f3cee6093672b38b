#include "Zel/shell/alerts/StringListSetting.h"

#include "Zel/core/settings/SettingsStore.h"
#include "Zel/core/settings/ValueRecordList.h"

#include <memory>
#include <new>
#include <vector>

namespace StringListSetting {

bool Load(CSettingsStore& store, const ZEL_GUID& section, const CZELString& key, CZELArray<CZELString>& strings)
{
    strings = CZELArray<CZELString>();
    int size = 0;
    if (!store.GetValueSize(section, key, &size) || size <= 0) return false;
    std::unique_ptr<unsigned char[]> bytes(new (std::nothrow) unsigned char[size_t(size)]);
    unsigned length = unsigned(size);
    if (!bytes || !store.GetBlob(section, key, bytes.get(), &length)) return false;
    ValueRecordList list;
    if (list.Parse(bytes.get(), length) != length) return false;
    for (int i = 0; i < list.GetCount(); ++i) strings.Add(list.Get(i)->ReadString(false));
    return true;
}

void Save(CSettingsStore& store, const ZEL_GUID& section, const CZELString& key, const CZELArray<CZELString>& strings)
{
    ValueRecordList list;
    for (int i = 0; i < strings.GetCount(); ++i) {
        ValueRecord record{CZELString()};
        record.WriteString(strings[i], false);
        if (!list.Append(record)) return;  // nothing stored: the old value stays
    }
    try {
        std::vector<unsigned char> bytes(list.GetSize());
        int length = int(list.Serialise(bytes.data(), unsigned(bytes.size())));
        store.SetBlob(section, key, bytes.data(), &length);
    } catch (const std::bad_alloc&) {
    }
}

}  // namespace StringListSetting
