#include "Zel/net/ChunkQueue.h"

#include <cstdlib>
#include <cstring>

CChunkQueue::~CChunkQueue()
{
    CZELLock hold(lock);
    for (Chunk& chunk : chunks) free(chunk.data);
    chunks.clear();
}

bool CChunkQueue::Append(const char* data, int length)
{
    if (!data || length <= 0 || length > MaxChunk) return false;
    char* copy = static_cast<char*>(malloc(size_t(length)));
    if (!copy) return false;
    memcpy(copy, data, size_t(length));
    bool stored = true;
    {
        CZELLock hold(lock);
        try {
            chunks.push_back({length, copy});
        } catch (...) {
            stored = false;
        }
    }
    if (!stored) free(copy);
    return stored;
}

int CChunkQueue::Take(void* buffer, int size)
{
    if (size < 0) size = 0;
    CZELLock hold(lock);
    if (chunks.empty() || (!buffer && size != 0)) return 0;
    Chunk& first = chunks.front();
    if (size < first.length) {
        memcpy(buffer, first.data, size_t(size));
        memmove(first.data, first.data + size, size_t(first.length - size));
        first.length -= size;
        return size;
    }
    memcpy(buffer, first.data, size_t(first.length));
    int taken = first.length;
    free(first.data);
    chunks.pop_front();
    return taken;
}

int CChunkQueue::Count()
{
    CZELLock hold(lock);
    return int(chunks.size());
}
