// Payloads and records that cross the bus between the core services, the accounts and the user
// interface. Header-only: plug-ins construct them too, and whoever drops the last reference frees
// them through the virtual destructor of the module that built them (all modules share one heap).
#pragma once

#include "Zel/core/bus/RefObject.h"
#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELString.h"
#include "ZELCommon/ZELTime.h"

#include <cstdint>
#include <new>

// One value: an integer, an identifier, a handle or a pointer. Pointer-sized, because many messages
// carry the address of the caller's out-parameter in it.
class CRefValue : public CRefObject {
public:
    explicit CRefValue(intptr_t value = 0) : value(value) {}

    intptr_t value;
};

// A new CRefValue, or null when memory runs out (a message then goes without it).
inline CRefValue* NewValue(intptr_t value)
{
    return new (std::nothrow) CRefValue(value);
}

// The value a CRefValue payload carries; false for no payload or a payload of another kind.
inline bool TryValueOf(CRefObject* payload, intptr_t& value)
{
    CRefValue* holder = dynamic_cast<CRefValue*>(payload);
    if (!holder) return false;
    value = holder->value;
    return true;
}

// The value a CRefValue payload carries, or none.
inline intptr_t ValueOf(CRefObject* payload, intptr_t none = 0)
{
    intptr_t value = none;
    TryValueOf(payload, value);
    return value;
}

// One string, a copy of the one it was built from.
class CStringPayload : public CRefObject {
public:
    explicit CStringPayload(const CZELString& text) : text(text) {}

    CZELString text;
};

// A new string payload holding a copy of text (count 0), or null when memory runs out.
inline CStringPayload* NewStringPayload(const CZELString& text)
{
    return new (std::nothrow) CStringPayload(text);
}

// One message between the chat window, the protocols manager, the contact-list data and the
// accounts. A new record is stamped now and holds empty texts.
struct MessageRecord {
    MessageRecord() : contactId(0), messageNumber(0), flags(0), kind(0) {}

    int contactId;
    int messageNumber;
    int flags;
    int kind;
    CZELTime timeStamp;
    CZELString text;
    CZELString secondText;
};

// A contact's status as the contact list shows it.
struct StatusInfo {
    StatusInfo() : status(0) {}

    int status;
    CZELArray<int> kinds;   // status kinds
    CZELArray<int> images;  // image indices
};

// One row of a status table.
struct StatusEntry {
    StatusEntry() : status(0) {}

    int status;
    CZELString name;
    CZELArray<int> images;  // image indices; grows by 10
};
