#include "Zel/core/settings/ValueRecordMap.h"

#include <new>
#include <utility>

int ValueRecordMap::Insert(const ValueRecord& record)
{
    if (!record.HasValidName()) return 0;
    if (records.find(record.GetName()) != records.end()) return 1;
    try {
        records.emplace(record.GetName(), record);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return 1;
}

int ValueRecordMap::Insert(ValueRecord&& record)
{
    if (!record.HasValidName()) return 0;
    try {
        CZELString name = record.GetName();
        records.emplace(name, std::move(record));  // an equal name already there is kept
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return 1;
}

ValueRecord* ValueRecordMap::Find(const CZELString& name)
{
    auto found = records.find(name);
    return found == records.end() ? nullptr : &found->second;
}

const ValueRecord* ValueRecordMap::Find(const CZELString& name) const
{
    auto found = records.find(name);
    return found == records.end() ? nullptr : &found->second;
}

unsigned ValueRecordMap::GetSize() const
{
    unsigned long long total = 0;
    for (const auto& entry : records) total += entry.second.GetSize();
    return total > 0xFFFFFFFFull ? 0xFFFFFFFFu : unsigned(total);
}

unsigned ValueRecordMap::Parse(const unsigned char* input, unsigned length)
{
    unsigned offset = 0;
    while (offset < length) {
        ValueRecord record;
        unsigned used = record.Parse(input + offset, length - offset);
        if (used == 0 || (record.HasValidName() && !Insert(std::move(record)))) {
            Clear();
            return 0;
        }
        offset += used;
    }
    return offset;
}

unsigned ValueRecordMap::Serialise(unsigned char* buffer, unsigned capacity) const
{
    unsigned long long total = 0;
    for (const auto& entry : records) total += entry.second.GetSize();
    if (!buffer || total > capacity) return 0;
    unsigned offset = 0;
    for (const auto& entry : records) {
        unsigned written = entry.second.Serialise(buffer + offset, capacity - offset);
        if (written == 0) return 0;  // only a conversion failure of the platform gets here
        offset += written;
    }
    return offset;
}
