#include "Jabber/stream/StreamCompression.h"

#include <zlib.h>

#include <climits>

StreamCompression::~StreamCompression()
{
    Reset();
}

bool StreamCompression::Start()
{
    Reset();
    deflater = new z_stream();
    inflater = new z_stream();
    if (deflateInit2(deflater, Level, Z_DEFLATED, WindowBits, MemoryLevel, Z_DEFAULT_STRATEGY) != Z_OK) {
        delete deflater;
        deflater = nullptr;
    }
    if (inflateInit(inflater) != Z_OK) {
        delete inflater;
        inflater = nullptr;
    }
    if (deflater && inflater) return true;
    Reset();
    return false;
}

void StreamCompression::Reset()
{
    if (deflater) {
        deflateEnd(deflater);
        delete deflater;
        deflater = nullptr;
    }
    if (inflater) {
        inflateEnd(inflater);
        delete inflater;
        inflater = nullptr;
    }
    std::string().swap(input);
    inputUsed = 0;
    corrupt = false;
}

bool StreamCompression::Compress(const char* data, size_t length, std::string& out)
{
    if (!deflater) return false;
    const size_t kStep = 2048;
    deflater->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    for (;;) {
        // zlib counts in 32-bit units: a longer input goes in slices.
        uInt slice = uInt(length < UINT_MAX ? length : UINT_MAX);
        deflater->avail_in = slice;
        length -= slice;
        const int flush = length == 0 ? Z_SYNC_FLUSH : Z_NO_FLUSH;
        do {
            size_t used = out.size();
            out.resize(used + kStep);
            deflater->next_out = reinterpret_cast<Bytef*>(&out[used]);
            deflater->avail_out = uInt(kStep);
            int result = deflate(deflater, flush);
            out.resize(used + kStep - deflater->avail_out);
            // Z_BUF_ERROR only says no progress was possible: the flush was complete already.
            if (result != Z_OK && result != Z_BUF_ERROR) {
                Reset();
                return false;
            }
        } while (deflater->avail_out == 0);
        if (length == 0) return true;
    }
}

void StreamCompression::Put(const char* data, size_t length)
{
    if (!inflater || corrupt || !data) return;
    if (inputUsed > 0 && inputUsed == input.size()) {
        input.clear();
        inputUsed = 0;
    }
    input.append(data, length);
}

int StreamCompression::Decompress(char* out, int capacity)
{
    if (!inflater || corrupt) return -1;
    if (capacity <= 0) return 0;
    size_t held = input.size() - inputUsed;
    inflater->next_in = reinterpret_cast<Bytef*>(&input[0] + inputUsed);
    inflater->avail_in = uInt(held < UINT_MAX ? held : UINT_MAX);
    inflater->next_out = reinterpret_cast<Bytef*>(out);
    inflater->avail_out = uInt(capacity);
    const uInt before = inflater->avail_in;
    int result = inflate(inflater, Z_NO_FLUSH);
    inputUsed += before - inflater->avail_in;
    int written = capacity - int(inflater->avail_out);
    if (inputUsed == input.size()) {
        input.clear();
        inputUsed = 0;
    } else if (inputUsed > (64 << 10)) {
        input.erase(0, inputUsed);
        inputUsed = 0;
    }
    switch (result) {
    case Z_OK:
    case Z_BUF_ERROR:  // no progress possible: the input held is used up
        return written;
    case Z_STREAM_END:
        // A stream compression never ends while the stream lives; bytes after the end are not zlib's.
        if (HeldBytes() > 0) corrupt = true;
        return written;
    default:
        corrupt = true;
        return -1;
    }
}
