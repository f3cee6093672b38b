// PNG files made in the tests, of any kind libpng reads: the samples of each pixel are given plainly
// and packed, filtered (filter 0), interlaced when asked, deflated with zlib and framed in chunks
// here. Header only, for any test program that links zlib.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace PngFixture {

enum Colour { Grey = 0, Rgb = 2, Palette = 3, GreyAlpha = 4, Rgba = 6 };

struct PngPicture {
    unsigned width = 1;
    unsigned height = 1;
    int depth = 8;
    int colour = Rgba;
    bool interlaced = false;
    std::vector<unsigned> samples;  // width * height * channels, rows top to bottom
    std::vector<uint8_t> palette;   // PLTE: red, green, blue per entry
    std::vector<uint8_t> trns;      // tRNS chunk data, when not empty
};

inline int Channels(int colour)
{
    switch (colour) {
    case Rgb: return 3;
    case GreyAlpha: return 2;
    case Rgba: return 4;
    default: return 1;
    }
}

inline void PutBig32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(value >> shift));
}

inline void AddChunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data)
{
    PutBig32(png, uint32_t(data.size()));
    size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    PutBig32(png, uint32_t(crc32(0, &png[start], uInt(png.size() - start))));
}

// The filtered rows of the pixels (x0 + i * dx, y0 + j * dy), one interlace pass or the whole image.
inline void AppendRows(const PngPicture& picture, unsigned x0, unsigned y0, unsigned dx, unsigned dy, std::vector<uint8_t>& raw)
{
    int channels = Channels(picture.colour);
    for (unsigned y = y0; y < picture.height; y += dy) {
        raw.push_back(0);
        unsigned bits = 0, accumulator = 0;
        for (unsigned x = x0; x < picture.width; x += dx) {
            for (int c = 0; c < channels; ++c) {
                unsigned sample = picture.samples[(size_t(y) * picture.width + x) * channels + c];
                if (picture.depth == 16) {
                    raw.push_back(uint8_t(sample >> 8));
                    raw.push_back(uint8_t(sample));
                } else if (picture.depth == 8) {
                    raw.push_back(uint8_t(sample));
                } else {
                    accumulator = (accumulator << picture.depth) | (sample & ((1u << picture.depth) - 1));
                    bits += unsigned(picture.depth);
                    if (bits == 8) {
                        raw.push_back(uint8_t(accumulator));
                        bits = accumulator = 0;
                    }
                }
            }
        }
        if (bits) raw.push_back(uint8_t(accumulator << (8 - bits)));
    }
}

inline std::vector<uint8_t> Encode(const PngPicture& picture)
{
    std::vector<uint8_t> raw;
    if (picture.interlaced) {
        static const unsigned passes[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                              {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
        for (const auto& pass : passes)
            if (pass[0] < picture.width && pass[1] < picture.height) AppendRows(picture, pass[0], pass[1], pass[2], pass[3], raw);
    } else {
        AppendRows(picture, 0, 0, 1, 1, raw);
    }
    std::vector<uint8_t> packed(compressBound(uLong(raw.size())));
    uLongf packedSize = uLongf(packed.size());
    compress2(packed.data(), &packedSize, raw.data(), uLong(raw.size()), 9);
    packed.resize(packedSize);

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<uint8_t> header;
    PutBig32(header, picture.width);
    PutBig32(header, picture.height);
    header.push_back(uint8_t(picture.depth));
    header.push_back(uint8_t(picture.colour));
    header.push_back(0);
    header.push_back(0);
    header.push_back(picture.interlaced ? 1 : 0);
    AddChunk(png, "IHDR", header);
    if (!picture.palette.empty()) AddChunk(png, "PLTE", picture.palette);
    if (!picture.trns.empty()) AddChunk(png, "tRNS", picture.trns);
    AddChunk(png, "IDAT", packed);
    AddChunk(png, "IEND", {});
    return png;
}

// An RGBA picture of 8-bit samples.
inline std::vector<uint8_t> Rgba8(unsigned width, unsigned height, const std::vector<unsigned>& rgba)
{
    PngPicture picture;
    picture.width = width;
    picture.height = height;
    picture.samples = rgba;
    return Encode(picture);
}

}  // namespace PngFixture
