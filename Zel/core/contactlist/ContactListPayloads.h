// Payloads of the contact-list data's events and messages, and of the protocols manager's message
// commands that carry a message record. Header-only: the plug-ins build and free them too, so each
// is complete here. Each holds a copy of what it was built from; the count starts at 0.
#pragma once

#include "Zel/core/bus/Payloads.h"

#include <new>

// One message record.
class CMessagePayload : public CRefObject {
public:
    explicit CMessagePayload(const MessageRecord& message) : message(message) {}

    // A new payload holding a copy of message, or null when memory runs out.
    static CMessagePayload* Create(const MessageRecord& message)
    {
        return new (std::nothrow) CMessagePayload(message);
    }

    MessageRecord message;
};

// One contact status record.
class CStatusInfoPayload : public CRefObject {
public:
    explicit CStatusInfoPayload(const StatusInfo& info) : info(info) {}

    static CStatusInfoPayload* Create(const StatusInfo& info)
    {
        return new (std::nothrow) CStatusInfoPayload(info);
    }

    StatusInfo info;
};

// A contact that joined the list or a group: its group (0 at the top level) and its status.
class CContactAddedPayload : public CRefObject {
public:
    CContactAddedPayload(int groupId, const StatusInfo& info) : groupId(groupId), info(info) {}

    static CContactAddedPayload* Create(int groupId, const StatusInfo& info)
    {
        return new (std::nothrow) CContactAddedPayload(groupId, info);
    }

    int groupId;
    StatusInfo info;
};
