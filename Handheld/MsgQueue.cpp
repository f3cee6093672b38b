#include "Handheld/MsgQueue.h"

#include "Handheld/MsgQueueInternal.h"

#include <map>
#include <memory>
#include <string>

namespace {

struct Handle {
    std::shared_ptr<MsgQueueInternal::Queue> queue;
    bool read;
};

SRWLOCK g_lock = SRWLOCK_INIT;
std::map<UINT_PTR, Handle> g_handles;
std::map<std::wstring, std::weak_ptr<MsgQueueInternal::Queue>> g_named;
// Handle values are ids, never pointers; they start far from small integers.
UINT_PTR g_nextHandle = 0x4D510001;

bool Lookup(HANDLE handle, Handle& out)
{
    AcquireSRWLockShared(&g_lock);
    auto found = g_handles.find(UINT_PTR(handle));
    bool exists = found != g_handles.end();
    if (exists) out = found->second;
    ReleaseSRWLockShared(&g_lock);
    return exists;
}

}  // namespace

namespace MsgQueueInternal {

Queue::Queue(DWORD maxMessages, DWORD maxSize)
    : maxMessages(maxMessages), maxSize(maxSize), available(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    InitializeCriticalSection(&lock);
}

Queue::~Queue()
{
    if (available) CloseHandle(available);
    DeleteCriticalSection(&lock);
}

DWORD Queue::Write(const void* data, DWORD size)
{
    if (size > maxSize) return ERROR_INSUFFICIENT_BUFFER;
    EnterCriticalSection(&lock);
    DWORD result = ERROR_SUCCESS;
    if (maxMessages && messages.size() >= maxMessages) {
        result = ERROR_TIMEOUT;
    } else {
        try {
            const BYTE* bytes = static_cast<const BYTE*>(data);
            messages.emplace_back(bytes, bytes + size);
            SetEvent(available);
        } catch (...) {
            result = ERROR_OUTOFMEMORY;
        }
    }
    LeaveCriticalSection(&lock);
    return result;
}

DWORD Queue::Read(void* buffer, DWORD size, DWORD* read, DWORD timeout)
{
    ULONGLONG end = timeout == INFINITE ? 0 : GetTickCount64() + timeout;
    for (;;) {
        EnterCriticalSection(&lock);
        if (!messages.empty()) {
            const std::vector<BYTE>& first = messages.front();
            DWORD result = ERROR_SUCCESS;
            if (first.size() > size) {
                result = ERROR_INSUFFICIENT_BUFFER;
            } else {
                if (!first.empty()) memcpy(buffer, first.data(), first.size());
                if (read) *read = DWORD(first.size());
                messages.pop_front();
                if (messages.empty()) ResetEvent(available);
            }
            LeaveCriticalSection(&lock);
            return result;
        }
        LeaveCriticalSection(&lock);
        DWORD wait = INFINITE;
        if (timeout != INFINITE) {
            ULONGLONG now = GetTickCount64();
            if (now >= end) return ERROR_TIMEOUT;
            wait = DWORD(end - now);
        }
        if (WaitForSingleObject(available, wait) != WAIT_OBJECT_0) return ERROR_TIMEOUT;
    }
}

std::shared_ptr<Queue> Find(HANDLE handle)
{
    Handle found;
    return Lookup(handle, found) ? found.queue : nullptr;
}

}  // namespace MsgQueueInternal

HANDLE CreateMsgQueue(LPCWSTR name, MSGQUEUEOPTIONS* options)
{
    if (!options || options->dwSize < sizeof(MSGQUEUEOPTIONS) || options->cbMaxMessage == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    AcquireSRWLockExclusive(&g_lock);
    std::shared_ptr<MsgQueueInternal::Queue> queue;
    HANDLE handle = nullptr;
    try {
        if (name) queue = g_named[name].lock();
        if (!queue) {
            queue = std::make_shared<MsgQueueInternal::Queue>(options->dwMaxMessages, options->cbMaxMessage);
            if (name) g_named[name] = queue;
        }
        UINT_PTR id = g_nextHandle++;
        g_handles[id] = Handle{queue, options->bReadAccess != FALSE};
        handle = HANDLE(id);
    } catch (...) {
        SetLastError(ERROR_OUTOFMEMORY);
    }
    ReleaseSRWLockExclusive(&g_lock);
    return handle;
}

BOOL ReadMsgQueue(HANDLE handle, LPVOID buffer, DWORD size, LPDWORD read, DWORD timeout, DWORD* flags)
{
    Handle found;
    if (!Lookup(handle, found)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!found.read) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (flags) *flags = 0;
    DWORD result = found.queue->Read(buffer, size, read, timeout);
    if (result != ERROR_SUCCESS) SetLastError(result);
    return result == ERROR_SUCCESS;
}

BOOL WriteMsgQueue(HANDLE handle, LPVOID buffer, DWORD size, DWORD timeout, DWORD flags)
{
    Handle found;
    if (!Lookup(handle, found)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (found.read) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    DWORD result = found.queue->Write(buffer, size);
    if (result != ERROR_SUCCESS) SetLastError(result);
    return result == ERROR_SUCCESS;
}

BOOL CloseMsgQueue(HANDLE handle)
{
    AcquireSRWLockExclusive(&g_lock);
    bool erased = g_handles.erase(UINT_PTR(handle)) != 0;
    for (auto named = g_named.begin(); named != g_named.end();)
        named = named->second.expired() ? g_named.erase(named) : std::next(named);
    ReleaseSRWLockExclusive(&g_lock);
    if (!erased) SetLastError(ERROR_INVALID_HANDLE);
    return erased;
}
