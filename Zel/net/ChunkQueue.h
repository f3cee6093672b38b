// CChunkQueue: the received data of one connection, waiting for its owner's Receive, as the chunks
// the worker received: each 1 to MaxChunk bytes, exactly as received, in a block of exactly that
// size. The worker appends, the owner takes; the queue's own lock keeps them apart.
#pragma once

#include "ZELCommon/ZELCriticalSection.h"

#include <deque>

class CChunkQueue {
public:
    enum { MaxChunk = 1024 };

    CChunkQueue() {}
    // Frees every chunk still queued.
    ~CChunkQueue();

    CChunkQueue(const CChunkQueue&) = delete;
    CChunkQueue& operator=(const CChunkQueue&) = delete;

    // Appends a copy of data (1 to MaxChunk bytes) as one chunk; false when it is out of range or no
    // memory could be had for it.
    bool Append(const char* data, int length);
    // Copies up to size bytes of the first chunk, removing what was taken: the count, 0 when none.
    int Take(void* buffer, int size);
    int Count();

private:
    struct Chunk {
        int length;
        char* data;
    };

    CZELCriticalSection lock;
    std::deque<Chunk> chunks;
};
