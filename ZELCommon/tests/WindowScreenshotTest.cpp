#include "WindowScreenshot.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using TestSupport::Image;

namespace {

uint32_t Big32(const std::vector<uint8_t>& bytes, size_t at)
{
    return (uint32_t(bytes[at]) << 24) | (uint32_t(bytes[at + 1]) << 16) | (uint32_t(bytes[at + 2]) << 8) | bytes[at + 3];
}

struct Chunk {
    std::string type;
    std::vector<uint8_t> data;
};

// Splits a PNG into its chunks, checking the signature, every length and every CRC.
::testing::AssertionResult ReadChunks(const std::vector<uint8_t>& png, std::vector<Chunk>* chunks)
{
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (png.size() < 8 || std::memcmp(png.data(), signature, 8) != 0) return ::testing::AssertionFailure() << "signature";
    size_t at = 8;
    while (at < png.size()) {
        if (png.size() - at < 12) return ::testing::AssertionFailure() << "short chunk at " << at;
        uint32_t length = Big32(png, at);
        if (png.size() - at - 12 < length) return ::testing::AssertionFailure() << "chunk overruns at " << at;
        Chunk chunk;
        chunk.type.assign((const char*)&png[at + 4], 4);
        chunk.data.assign(png.begin() + at + 8, png.begin() + at + 8 + length);
        if (TestSupport::Crc32(&png[at + 4], length + 4) != Big32(png, at + 8 + length))
            return ::testing::AssertionFailure() << "CRC of " << chunk.type;
        chunks->push_back(chunk);
        at += 12 + length;
    }
    return ::testing::AssertionSuccess();
}

// Inflates a zlib stream made only of stored blocks.
::testing::AssertionResult InflateStored(const std::vector<uint8_t>& zlib, std::vector<uint8_t>* out, int* blocks)
{
    if (zlib.size() < 6 || zlib[0] != 0x78 || ((zlib[0] << 8) | zlib[1]) % 31 != 0)
        return ::testing::AssertionFailure() << "zlib header";
    size_t at = 2;
    bool last = false;
    *blocks = 0;
    while (!last) {
        if (zlib.size() - at < 5) return ::testing::AssertionFailure() << "short block";
        if ((zlib[at] & 0x06) != 0) return ::testing::AssertionFailure() << "not a stored block";
        last = zlib[at] & 1;
        uint16_t length = uint16_t(zlib[at + 1] | (zlib[at + 2] << 8));
        uint16_t check = uint16_t(zlib[at + 3] | (zlib[at + 4] << 8));
        if (uint16_t(~length) != check) return ::testing::AssertionFailure() << "NLEN";
        at += 5;
        if (zlib.size() - at < length) return ::testing::AssertionFailure() << "block overruns";
        out->insert(out->end(), zlib.begin() + at, zlib.begin() + at + length);
        at += length;
        ++*blocks;
    }
    if (zlib.size() - at != 4) return ::testing::AssertionFailure() << "trailer";
    if (TestSupport::Adler32(out->data(), out->size()) != Big32(zlib, at)) return ::testing::AssertionFailure() << "Adler-32";
    return ::testing::AssertionSuccess();
}

Image Pattern(int width, int height)
{
    Image image;
    image.width = width;
    image.height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.pixels.push_back(uint32_t((x * 37) & 0xFF) << 16 | uint32_t((y * 11) & 0xFF) << 8 | uint32_t((x + y) & 0xFF));
    return image;
}

TEST(Screenshot, ChecksumsMatchTheirReferenceValues)
{
    const char digits[] = "123456789";
    EXPECT_EQ(0xCBF43926u, TestSupport::Crc32((const uint8_t*)digits, 9));
    EXPECT_EQ(0u, TestSupport::Crc32(nullptr, 0));
    const char word[] = "Wikipedia";
    EXPECT_EQ(0x11E60398u, TestSupport::Adler32((const uint8_t*)word, 9));
    EXPECT_EQ(1u, TestSupport::Adler32(nullptr, 0));
    // CRC continues over pieces.
    EXPECT_EQ(0xCBF43926u, TestSupport::Crc32((const uint8_t*)digits + 4, 5, TestSupport::Crc32((const uint8_t*)digits, 4)));
}

// Encoded pictures decode back to the same pixels, small ones and ones that need several blocks.
TEST(Screenshot, PngRoundTrips)
{
    struct Case {
        const char* name;
        int width, height, blocks;
    } cases[] = {{"one pixel", 1, 1, 1}, {"small", 3, 2, 1}, {"several blocks", 200, 200, 2}, {"wide", 1000, 70, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Image image = Pattern(c.width, c.height);
        std::vector<uint8_t> png = TestSupport::EncodePng(image);
        std::vector<Chunk> chunks;
        ASSERT_TRUE(ReadChunks(png, &chunks));
        ASSERT_EQ(3u, chunks.size());
        EXPECT_EQ("IHDR", chunks[0].type);
        EXPECT_EQ("IDAT", chunks[1].type);
        EXPECT_EQ("IEND", chunks[2].type);
        ASSERT_EQ(13u, chunks[0].data.size());
        EXPECT_EQ(uint32_t(c.width), Big32(chunks[0].data, 0));
        EXPECT_EQ(uint32_t(c.height), Big32(chunks[0].data, 4));
        EXPECT_EQ((std::vector<uint8_t>{8, 2, 0, 0, 0}), std::vector<uint8_t>(chunks[0].data.begin() + 8, chunks[0].data.end()));

        std::vector<uint8_t> raw;
        int blocks = 0;
        ASSERT_TRUE(InflateStored(chunks[1].data, &raw, &blocks));
        EXPECT_EQ(c.blocks, blocks);
        ASSERT_EQ(size_t(c.height) * (size_t(c.width) * 3 + 1), raw.size());
        for (int y = 0; y < c.height; ++y) {
            const uint8_t* row = &raw[size_t(y) * (size_t(c.width) * 3 + 1)];
            ASSERT_EQ(0, row[0]) << "row " << y;
            for (int x = 0; x < c.width; ++x) {
                uint32_t pixel = (uint32_t(row[1 + x * 3]) << 16) | (uint32_t(row[2 + x * 3]) << 8) | row[3 + x * 3];
                ASSERT_EQ(image.At(x, y), pixel) << x << "," << y;
            }
        }
    }
}

}  // namespace
