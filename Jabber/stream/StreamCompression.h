// StreamCompression: both directions of XMPP stream compression (XEP-0138, "zlib"), as bytes in and
// bytes out; the connection stays with the caller.
//
// Sending: Compress deflates each element or text with a sync flush, so it arrives whole.
// Receiving: Put holds the compressed bytes as they come; Decompress inflates them in pieces of at
// most the caller's capacity, and the caller hands each piece to the stream parser at once, so a
// burst is drained completely and a small input that inflates to a flood (a decompression bomb)
// never holds more than one piece plus what the parser's own limits allow:
//
//     compression.Put(raw, rawCount);
//     for (int n; (n = compression.Decompress(piece, sizeof piece)) > 0;) parser.Feed(piece, n), ...
//     n < 0: the stream is corrupt
//
// The zlib state exists between Start and Reset (or destruction) only: a disconnect frees it.
#pragma once

#include <cstddef>
#include <string>

struct z_stream_s;

class StreamCompression {
public:
    // Deflate level 9, a zlib-wrapped stream with a 32 KB window and memory level 2, which keeps the
    // sender's state small; the inflater takes zlib's defaults.
    enum { Level = 9, WindowBits = 15, MemoryLevel = 2 };

    StreamCompression() = default;
    ~StreamCompression();
    StreamCompression(const StreamCompression&) = delete;
    StreamCompression& operator=(const StreamCompression&) = delete;

    // (Re)starts both directions afresh. False, holding nothing, when zlib cannot start.
    bool Start();
    // Frees both streams and the input held.
    void Reset();
    bool IsStarted() const { return deflater != nullptr; }

    // Appends the compressed form of length bytes, ended by a sync flush, to out. False when not
    // started or when zlib fails (both directions are then stopped until Start).
    bool Compress(const char* data, size_t length, std::string& out);

    // Holds received compressed bytes until Decompress takes them. Ignored when not started.
    void Put(const char* data, size_t length);
    // Inflates held input into out, at most capacity bytes: the count written; 0 when everything
    // held is inflated and nothing is pending; -1 when not started or the stream is corrupt (it then
    // stays -1 until Start).
    int Decompress(char* out, int capacity);
    // Compressed bytes held, not inflated yet.
    size_t HeldBytes() const { return input.size() - inputUsed; }

private:
    z_stream_s* deflater = nullptr;
    z_stream_s* inflater = nullptr;
    std::string input;
    size_t inputUsed = 0;
    bool corrupt = false;
};
