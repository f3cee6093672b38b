#include "Zel/core/settings/ValueRecordList.h"

#include <new>
#include <utility>

ValueRecordList::ValueRecordList() {}

ValueRecordList::ValueRecordList(const ValueRecordList& other)
{
    CopyFrom(other);
}

ValueRecordList& ValueRecordList::operator=(const ValueRecordList& other)
{
    if (this != &other) {
        Clear();
        CopyFrom(other);
    }
    return *this;
}

ValueRecordList::~ValueRecordList()
{
    Clear();
}

bool ValueRecordList::CopyFrom(const ValueRecordList& other)
{
    for (int i = 0; i < other.GetCount(); ++i) {
        if (Add(*other.records[i]) < 0) {
            Clear();  // all or nothing
            return false;
        }
    }
    return true;
}

int ValueRecordList::Add(const ValueRecord& record)
{
    if (!record.HasValidName()) return -1;
    ValueRecord* copy = nullptr;
    try {
        copy = new ValueRecord(record);
    } catch (const std::bad_alloc&) {
        return -1;
    }
    int index = records.Add(copy);
    if (index < 0) delete copy;
    return index;
}

int ValueRecordList::Add(ValueRecord&& record)
{
    if (!record.HasValidName()) return -1;
    ValueRecord* moved = new (std::nothrow) ValueRecord(std::move(record));
    if (!moved) return -1;
    int index = records.Add(moved);
    if (index < 0) {
        record = std::move(*moved);  // the caller keeps what it had
        delete moved;
    }
    return index;
}

ValueRecord* ValueRecordList::Get(int index)
{
    int count = records.GetCount();
    if (count == 0 || index < 0) return nullptr;
    return records[index < count ? index : count - 1];
}

const ValueRecord* ValueRecordList::Get(int index) const
{
    return const_cast<ValueRecordList*>(this)->Get(index);
}

ValueRecord* ValueRecordList::Find(const CZELString& name)
{
    for (int i = 0; i < records.GetCount(); ++i) {
        if (records[i]->GetName() == name) return records[i];
    }
    return nullptr;
}

const ValueRecord* ValueRecordList::Find(const CZELString& name) const
{
    return const_cast<ValueRecordList*>(this)->Find(name);
}

unsigned ValueRecordList::GetSize() const
{
    unsigned long long total = 0;
    for (int i = 0; i < records.GetCount(); ++i) total += records[i]->GetSize();
    return total > 0xFFFFFFFFull ? 0xFFFFFFFFu : unsigned(total);
}

unsigned ValueRecordList::Parse(const unsigned char* input, unsigned length)
{
    unsigned offset = 0;
    while (offset < length) {
        ValueRecord record;
        unsigned used = record.Parse(input + offset, length - offset);
        if (used == 0 || (record.HasValidName() && Add(record) < 0)) {
            Clear();
            return 0;
        }
        offset += used;
    }
    return offset;
}

unsigned ValueRecordList::Serialise(unsigned char* buffer, unsigned capacity) const
{
    unsigned long long total = 0;
    for (int i = 0; i < records.GetCount(); ++i) total += records[i]->GetSize();
    if (!buffer || total > capacity) return 0;
    unsigned offset = 0;
    for (int i = 0; i < records.GetCount(); ++i) {
        unsigned written = records[i]->Serialise(buffer + offset, capacity - offset);
        if (written == 0) return 0;  // only a conversion failure of the platform gets here
        offset += written;
    }
    return offset;
}

void ValueRecordList::Clear()
{
    for (int i = records.GetCount() - 1; i >= 0; --i) {
        delete records[i];
        records.RemoveAt(i);
    }
}
