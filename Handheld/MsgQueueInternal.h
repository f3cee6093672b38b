// The message queue objects behind the handles (internal to the layer), for the power manager,
// which writes into the queues its callers registered.
#pragma once

#include <windows.h>

#include <deque>
#include <memory>
#include <vector>

namespace MsgQueueInternal {

class Queue {
public:
    Queue(DWORD maxMessages, DWORD maxSize);
    ~Queue();
    Queue(const Queue&) = delete;
    Queue& operator=(const Queue&) = delete;

    // ERROR_SUCCESS or the error of WriteMsgQueue / ReadMsgQueue.
    DWORD Write(const void* data, DWORD size);
    DWORD Read(void* buffer, DWORD size, DWORD* read, DWORD timeout);

private:
    const DWORD maxMessages;
    const DWORD maxSize;
    CRITICAL_SECTION lock;
    HANDLE available;  // manual reset: set while messages wait
    std::deque<std::vector<BYTE>> messages;
};

// The queue behind a handle (either access), or null.
std::shared_ptr<Queue> Find(HANDLE handle);

}  // namespace MsgQueueInternal
