// What the GIF decoder's tests share: GIF files written field by field with an LZW encoder of their
// own, the debugger lines the decoder prints, the corpus that gif_corpus.py makes with giflib, and a
// frame's pixels without the row padding. Header only.
#pragma once

#include "Zel/chat/gif/ZELWMSmile_GifLoad.h"
#include "ZELCommon/tests/TempFolder.h"
#include "ZELCommon/tests/UnixHost.h"

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace GifTest {

typedef std::vector<unsigned char> Bytes;

struct Rgb {
    unsigned char red, green, blue;
};

// Collects the decoder's debugger lines while it lives.
class DebugLines {
public:
    DebugLines()
    {
        current = this;
        GifDebugOutput = &Collect;
    }
    ~DebugLines()
    {
        GifDebugOutput = OutputDebugStringA;
        current = nullptr;
    }
    DebugLines(const DebugLines&) = delete;
    DebugLines& operator=(const DebugLines&) = delete;

    static std::string Line(int number) { return "ERROR: .\\ZELWMSmile_GifLoad line " + std::to_string(number) + ": "; }

    std::vector<std::string> lines;

private:
    static void Collect(const char* line)
    {
        if (current) current->lines.push_back(line);
    }
    static inline DebugLines* current = nullptr;
};

// LZW codes packed least-significant bit first, each at the width given.
class CodeWriter {
public:
    CodeWriter& Put(int code, int width)
    {
        value |= uint64_t(code) << bits;
        bits += width;
        while (bits >= 8) {
            out.push_back((unsigned char)(value & 0xFF));
            value >>= 8;
            bits -= 8;
        }
        return *this;
    }
    Bytes Finish() const
    {
        Bytes done = out;
        if (bits) done.push_back((unsigned char)(value & 0xFF));
        return done;
    }

private:
    Bytes out;
    uint64_t value = 0;
    int bits = 0;
};

// Codes as GIF encoders write them: a clear code first, the width grown once the next code to
// define reaches it, a clear code when the next code would be tableLimit (4095 for giflib's
// encoder; 4096 defines code 4095), the end code last unless endCode is false.
inline Bytes EncodeLzw(const Bytes& indices, int minimumCodeSize, int tableLimit = 4095, bool endCode = true)
{
    const int clear = 1 << minimumCodeSize, firstFree = clear + 2;
    CodeWriter writer;
    int width = minimumCodeSize + 1, next = firstFree;
    std::map<std::pair<int, int>, int> table;
    writer.Put(clear, width);
    auto emit = [&](int code) {
        writer.Put(code, width);
        if (next >= (1 << width) && width < 12) ++width;
    };
    if (indices.empty()) return writer.Finish();
    int prefix = indices[0];
    for (size_t i = 1; i < indices.size(); ++i) {
        auto found = table.find({prefix, indices[i]});
        if (found != table.end()) {
            prefix = found->second;
            continue;
        }
        emit(prefix);
        if (next >= tableLimit) {
            writer.Put(clear, width);
            width = minimumCodeSize + 1;
            next = firstFree;
            table.clear();
        } else {
            table[{prefix, indices[i]}] = next++;
        }
        prefix = indices[i];
    }
    emit(prefix);
    if (endCode) writer.Put(clear + 1, width);
    return writer.Finish();
}

// Rows in the order an interlaced image stores them.
inline Bytes InterlaceRows(const Bytes& pixels, int width, int height)
{
    static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    Bytes out;
    for (int pass = 0; pass < 4; ++pass)
        for (int y = start[pass]; y < height; y += step[pass])
            out.insert(out.end(), pixels.begin() + y * width, pixels.begin() + (y + 1) * width);
    return out;
}

// A GIF file written block by block.
class GifBuilder {
public:
    // Logical screen and global table: sizeBits is the packed field's size (the table then holds
    // 2^(sizeBits + 1) entries, padded with black); -1 takes it from the table, and no table clears
    // the flag.
    GifBuilder& Header(int width, int height, const std::vector<Rgb>& table, int sizeBits = -1, const char* signature = "GIF89a")
    {
        Raw(Bytes(signature, signature + 6));
        U16(width).U16(height);
        int bits = sizeBits >= 0 ? sizeBits : TableSizeBits(table);
        Byte((table.empty() ? 0 : 0x80) | bits).Byte(0).Byte(0);
        if (!table.empty()) Table(table, bits);
        return *this;
    }
    // A graphic control extension; transparent -1 leaves the flag off.
    GifBuilder& Control(int disposal, int delayHundredths, int transparent)
    {
        Byte(0x21).Byte(0xF9).Byte(4).Byte((disposal << 2) | (transparent >= 0 ? 1 : 0));
        return U16(delayHundredths).Byte(transparent >= 0 ? transparent : 0).Byte(0);
    }
    // An image of already encoded data, cut into sub-blocks.
    GifBuilder& ImageData(int left, int top, int width, int height, int minimumCodeSize, const Bytes& data,
                          const std::vector<Rgb>* local = nullptr, bool interlaced = false)
    {
        Byte(0x2C).U16(left).U16(top).U16(width).U16(height);
        int bits = local ? TableSizeBits(*local) : 0;
        Byte((local ? 0x80 | bits : 0) | (interlaced ? 0x40 : 0));
        if (local) Table(*local, bits);
        Byte(minimumCodeSize);
        return SubBlocks(data);
    }
    // An image of pixels given top row first, encoded here.
    GifBuilder& Image(int left, int top, int width, int height, const Bytes& pixels, int minimumCodeSize = 8,
                      const std::vector<Rgb>* local = nullptr, bool interlaced = false)
    {
        Bytes order = interlaced ? InterlaceRows(pixels, width, height) : pixels;
        return ImageData(left, top, width, height, minimumCodeSize, EncodeLzw(order, minimumCodeSize), local, interlaced);
    }
    GifBuilder& SubBlocks(const Bytes& data)
    {
        for (size_t at = 0; at < data.size(); at += 255) {
            size_t n = data.size() - at < 255 ? data.size() - at : 255;
            Byte(int(n));
            bytes.insert(bytes.end(), data.begin() + at, data.begin() + at + n);
        }
        return Byte(0);
    }
    GifBuilder& Comment(const std::string& text)
    {
        Byte(0x21).Byte(0xFE);
        return SubBlocks(Bytes(text.begin(), text.end()));
    }
    GifBuilder& Trailer() { return Byte(0x3B); }
    GifBuilder& Raw(const Bytes& more)
    {
        bytes.insert(bytes.end(), more.begin(), more.end());
        return *this;
    }
    GifBuilder& Byte(int value)
    {
        bytes.push_back((unsigned char)value);
        return *this;
    }
    GifBuilder& U16(int value) { return Byte(value & 0xFF).Byte((value >> 8) & 0xFF); }

    Bytes bytes;

private:
    static int TableSizeBits(const std::vector<Rgb>& table)
    {
        int bits = 0;
        while ((2 << bits) < int(table.size())) ++bits;
        return bits;
    }
    void Table(const std::vector<Rgb>& table, int bits)
    {
        for (int i = 0; i < (2 << bits); ++i) {
            Rgb c = i < int(table.size()) ? table[i] : Rgb{0, 0, 0};
            Byte(c.red).Byte(c.green).Byte(c.blue);
        }
    }
};

// A frame's indices without the row padding, rows top first.
inline Bytes FramePixels(const GifFrame& frame)
{
    Bytes out;
    for (int y = 0; y < frame.height; ++y) out.insert(out.end(), frame.Row(y), frame.Row(y) + frame.width);
    return out;
}

inline int Decode(GifImage& image, const Bytes& bytes)
{
    return DecodeGif(image, bytes.data(), bytes.size());
}

// The corpus gif_corpus.py made in the build folder (Unix paths).
inline std::string CorpusDir()
{
    return ZELCHAT_GIF_CORPUS_DIR;
}

inline std::vector<std::string> CorpusNames()
{
    std::vector<std::string> names;
    std::string listing = TestSupport::ReadTextFile(CorpusDir() + "/corpus.txt");
    size_t at = 0;
    while (at < listing.size()) {
        size_t end = listing.find('\n', at);
        if (end == std::string::npos) end = listing.size();
        if (end > at) names.push_back(listing.substr(at, end - at));
        at = end + 1;
    }
    return names;
}

inline Bytes ReadCorpusFile(const std::string& name)
{
    Bytes bytes;
    TestSupport::ReadWholeFile(TestSupport::DosPath(CorpusDir() + "/" + name), bytes);
    return bytes;
}

}  // namespace GifTest
