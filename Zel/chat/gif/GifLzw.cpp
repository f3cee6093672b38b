#include "Zel/chat/gif/GifLzw.h"

#include <cstdint>
#include <cstring>

namespace {

const int kTableSize = 4096;
const int kMaxCodeWidth = 12;

// Reads codes least-significant bit first from a 64-bit window, never past the data's end.
class CodeReader {
public:
    CodeReader(const unsigned char* data, size_t size) : data(data), size(size) {}

    // False when fewer than width bits remain.
    bool Read(int width, uint32_t mask, int& code)
    {
        if (have < width) {
            Refill();
            if (have < width) return false;
        }
        code = int(window & mask);
        window >>= width;
        have -= width;
        return true;
    }

    size_t Consumed() const { return pos * 8 - size_t(have); }

private:
    void Refill()
    {
        if (size - pos >= 8) {
            // Eight bytes at once; those beyond the whole bytes taken land where the next refill puts
            // them again, so the extra bits do no harm.
            uint64_t word;
            std::memcpy(&word, data + pos, 8);
            window |= word << have;
            int take = (63 - have) >> 3;
            pos += size_t(take);
            have += take * 8;
            return;
        }
        while (have <= 56 && pos < size) {
            window |= uint64_t(data[pos++]) << have;
            have += 8;
        }
    }

    const unsigned char* data;
    size_t size;
    size_t pos = 0;
    uint64_t window = 0;
    int have = 0;
};

// The rows in the order the data fills them: top to bottom, or the four passes of the interlaced
// order, a pass that starts below the last row skipped.
class RowCursor {
public:
    RowCursor(unsigned char* pixels, int stride, int width, int height, bool interlaced)
        : pixels(pixels), stride(stride), width(width), height(height), interlaced(interlaced), out(pixels), left(width)
    {
    }

    // False once every row is written.
    bool NextRow()
    {
        static const int passStart[4] = {0, 4, 2, 1};
        static const int passStep[4] = {8, 8, 4, 2};
        if (!interlaced) {
            if (++row >= height) return false;
        } else {
            row += passStep[pass];
            while (row >= height) {
                if (++pass >= 4) return false;
                row = passStart[pass];
            }
        }
        out = pixels + size_t(row) * size_t(stride);
        left = width;
        return true;
    }

private:
    unsigned char* pixels;
    int stride, width, height;
    bool interlaced;
    int row = 0, pass = 0;

public:
    unsigned char* out;  // the next pixel
    int left;            // pixels left in the current row
};

// Writes the string of entry so that its last character lands just before end, walking back along
// the prefixes to the root.
inline void WriteString(unsigned char* end, int entry, int firstFree, const uint16_t* prefix, const uint8_t* suffix)
{
    int k = entry;
    while (k >= firstFree) {
        *--end = suffix[k];
        k = prefix[k];
    }
    *--end = uint8_t(k);
}

}  // namespace

size_t DecodeLzw(const unsigned char* data, size_t size, unsigned char* pixels, int minimumCodeSize, int stride,
                 int width, int height, bool interlaced)
{
    if (minimumCodeSize < 0 || minimumCodeSize > kLzwMaxMinimumCodeSize) return 0;
    if (width <= 0 || height <= 0 || stride < width || !pixels || (!data && size)) return 0;

    const int clear = 1 << minimumCodeSize;
    const int end = clear + 1;
    const int firstFree = clear + 2;
    uint16_t prefix[kTableSize];
    uint16_t length[kTableSize];
    uint8_t suffix[kTableSize];
    uint8_t first[kTableSize];
    for (int c = 0; c < clear; ++c) {
        suffix[c] = first[c] = uint8_t(c);
        length[c] = 1;
    }

    CodeReader codes(data, size);
    RowCursor rows(pixels, stride, width, height, interlaced);
    int codeWidth;
    uint32_t mask;
    int widthLimit;  // next reaching it widens the codes; never once they are 12 bits wide
    auto setWidth = [&](int bits) {
        codeWidth = bits;
        mask = (1u << bits) - 1;
        widthLimit = bits < kMaxCodeWidth ? 1 << bits : kTableSize + 1;
    };
    setWidth(minimumCodeSize + 1);
    int next = firstFree;
    int previous = -1;  // none: at the start and after a clear code
    for (;;) {
        int code;
        if (!codes.Read(codeWidth, mask, code)) return 0;
        if (unsigned(code - clear) <= 1) {  // the clear or the end code
            if (code == end) return codes.Consumed();
            setWidth(minimumCodeSize + 1);
            next = firstFree;
            previous = -1;
            continue;
        }

        int entry = code;
        if (previous >= 0) {
            uint8_t c;  // the new entry's last character: the first of the current string
            if (code < next) {
                c = first[code];
            } else {
                // The string being defined: the previous one and its own first character.
                c = first[previous];
                entry = next;
            }
            prefix[next] = uint16_t(previous);
            suffix[next] = c;
            first[next] = first[previous];
            length[next] = uint16_t(length[previous] + 1);
            if (++next == kTableSize) return 0;
        } else if (code >= next) {
            return 0;
        }
        // Checked after every code, not only after one that adds an entry: with minimum code sizes
        // 0 and 1 the first free code already fills the width, and encoders widen after the first
        // code.
        if (next >= widthLimit) setWidth(codeWidth + 1);
        previous = entry;

        int count = length[entry];
        if (count <= rows.left) {
            WriteString(rows.out + count, entry, firstFree, prefix, suffix);
            rows.out += count;
            rows.left -= count;
            if (rows.left == 0 && !rows.NextRow()) return codes.Consumed();
            continue;
        }
        // Across the end of a row: unwound first, then copied row by row.
        unsigned char string[kTableSize];
        WriteString(string + count, entry, firstFree, prefix, suffix);
        const unsigned char* source = string;
        while (count > 0) {
            int n = count < rows.left ? count : rows.left;
            std::memcpy(rows.out, source, size_t(n));
            rows.out += n;
            rows.left -= n;
            source += n;
            count -= n;
            if (rows.left == 0 && !rows.NextRow()) return codes.Consumed();
        }
    }
}
