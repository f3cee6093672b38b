#include "Zel/core/accounts/AccountsData.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/settings/ValueRecord.h"
#include "ZELCommon/Packer.h"

#include <algorithm>
#include <new>

namespace AccountsData {

namespace {

const unsigned kUtf8 = 65001;

// The size of the record at data, or 0 when it does not stand whole in the available bytes.
unsigned RecordSize(const unsigned char* data, unsigned available)
{
    if (available < ValueRecord::HeaderBytes) return 0;
    unsigned nameLength = data[0];
    if (available - ValueRecord::HeaderBytes < nameLength) return 0;
    unsigned dataLength = CPacker::Unpack32LE(data + 1 + nameLength);
    unsigned head = nameLength + ValueRecord::HeaderBytes;
    if (available - head < dataLength) return 0;
    return head + dataLength;
}

bool Append(std::vector<unsigned char>& out, const unsigned char* bytes, size_t count)
{
    if (count > 0xFFFFFFFFu - out.size()) return false;
    out.insert(out.end(), bytes, bytes + count);
    return true;
}

bool AppendLive(std::vector<unsigned char>& out, const LiveAccount& account)
{
    unsigned valuesSize = account.values ? account.values->GetSize() : 0;
    if (valuesSize == 0xFFFFFFFFu) return false;
    std::vector<unsigned char> values(valuesSize);
    if (valuesSize && account.values->Serialise(values.data(), valuesSize) != valuesSize) return false;
    ValueRecord record(account.protocol.GetString(), values.data(), valuesSize);
    unsigned size = record.GetSize();
    if (size > 0xFFFFFFFFu - out.size()) return false;
    size_t at = out.size();
    out.resize(at + size);
    return record.Serialise(out.data() + at, size) == size;
}

}  // namespace

Parsed Parse(const unsigned char* data, unsigned length)
{
    Parsed parsed;
    if (!data) return parsed;
    unsigned offset = 0;
    while (offset < length) {
        unsigned size = RecordSize(data + offset, length - offset);
        if (size == 0) break;
        StoredRecord record;
        unsigned nameLength = data[offset];
        record.protocol = ZEL_GUID_NULL;
        record.protocol.SetString(CZELString(reinterpret_cast<const char*>(data + offset + 1), int(nameLength), kUtf8));
        record.raw.assign(data + offset, data + offset + size);
        record.valuesOffset = nameLength + ValueRecord::HeaderBytes;
        record.valuesLength = size - record.valuesOffset;
        parsed.records.push_back(std::move(record));
        offset += size;
    }
    parsed.tail.assign(data + offset, data + length);
    return parsed;
}

bool ReadValues(const StoredRecord& record, ValueRecordList& values)
{
    values.Clear();
    if (record.valuesLength == 0) return true;
    if (record.valuesOffset > record.raw.size() || record.raw.size() - record.valuesOffset < record.valuesLength)
        return false;
    const unsigned char* bytes = record.raw.data() + record.valuesOffset;
    // The list skips a value whose name could not be saved again; such a list would lose it.
    if (values.Parse(bytes, record.valuesLength) != record.valuesLength || values.GetSize() != record.valuesLength) {
        values.Clear();
        return false;
    }
    return true;
}

bool Build(const std::vector<LiveAccount>& live, const std::vector<CarriedRecord>& carried,
           const std::vector<unsigned char>& tail, std::vector<unsigned char>& out)
{
    out.clear();
    try {
        // The order first: live accounts, each carried record slid in at its old position.
        std::vector<const CarriedRecord*> byPosition;
        for (const CarriedRecord& record : carried) byPosition.push_back(&record);
        std::stable_sort(byPosition.begin(), byPosition.end(),
                         [](const CarriedRecord* a, const CarriedRecord* b) { return a->position < b->position; });
        std::vector<std::pair<const LiveAccount*, const CarriedRecord*>> order;
        for (const LiveAccount& account : live) order.push_back({&account, nullptr});
        for (const CarriedRecord* record : byPosition) {
            size_t at = std::min<size_t>(record->position, order.size());
            order.insert(order.begin() + at, {nullptr, record});
        }
        for (const auto& item : order) {
            bool written = item.first ? AppendLive(out, *item.first)
                                      : Append(out, item.second->raw.data(), item.second->raw.size());
            if (!written) return false;
        }
        return Append(out, tail.data(), tail.size());
    } catch (const std::bad_alloc&) {
        out.clear();
        return false;
    }
}

}  // namespace AccountsData
