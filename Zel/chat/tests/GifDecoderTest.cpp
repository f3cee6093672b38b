// The GIF decoder on files written here byte by byte: what giflib's encoder never writes (code
// streams of odd minimum code sizes, codes used as they are defined or past the next free one, a
// table that defines code 4095, stray bytes between blocks, broken control blocks) and every hostile
// field the decoder must refuse or bound.
#include "Zel/chat/gif/GifLzw.h"
#include "Zel/chat/tests/GifTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace GifTest;

namespace {

const std::vector<Rgb> kTwo = {{255, 255, 255}, {0, 0, 0}};
const std::vector<Rgb> kFour = {{200, 40, 40}, {40, 200, 40}, {40, 40, 200}, {250, 250, 250}};

Bytes Pattern(int width, int height, int colours, int seed)
{
    Bytes out(size_t(width) * size_t(height));
    unsigned state = unsigned(seed) * 2654435761u + 1;
    for (auto& p : out) {
        state = state * 1103515245u + 12345u;
        p = (unsigned char)((state >> 16) % unsigned(colours));
    }
    return out;
}

Bytes Alternating(int width, int height)
{
    Bytes out(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) out[size_t(y) * width + x] = (unsigned char)((x + y) & 1);
    return out;
}

bool SameColour(const RGBQUAD& a, const RGBQUAD& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(GifDecoder, OneImageWithoutControlGetsTheDefaults)
{
    GifImage image;
    Bytes file = GifBuilder().Header(1, 1, kTwo, -1, "GIF87a").Image(0, 0, 1, 1, {1}, 2).Trailer().bytes;
    ASSERT_EQ(Decode(image, file), 1);
    const GifFrame& frame = *image.frames[0];
    EXPECT_EQ(image.width, 1);
    EXPECT_EQ(image.height, 1);
    EXPECT_EQ(frame.transparentIndex, -1);
    EXPECT_EQ(frame.delay, 0);
    EXPECT_EQ(frame.disposal, 0);
    EXPECT_EQ(frame.colorBits, 1);
    EXPECT_EQ(frame.stride, 4);
    EXPECT_EQ(FramePixels(frame), Bytes{1});
    EXPECT_TRUE(SameColour(frame.Palette()[0], RGBQUAD{255, 255, 255, 0}));
    EXPECT_TRUE(SameColour(frame.Palette()[1], RGBQUAD{0, 0, 0, 0}));
}

TEST(GifDecoder, ControlExtensionAppliesToTheNextImageOnly)
{
    GifImage image;
    Bytes file = GifBuilder()
                     .Header(2, 1, kFour)
                     .Control(2, 10, 0)
                     .Image(0, 0, 2, 1, {1, 2}, 2)
                     .Comment("between")
                     .Image(0, 0, 2, 1, {2, 1}, 2)
                     .Control(3, 7, -1)
                     .Comment("a comment between the control block and its image")
                     .Image(0, 0, 2, 1, {3, 3}, 2)
                     .Trailer()
                     .bytes;
    ASSERT_EQ(Decode(image, file), 3);
    EXPECT_EQ(image.frames[0]->transparentIndex, 0);
    EXPECT_EQ(image.frames[0]->delay, 100);
    EXPECT_EQ(image.frames[0]->disposal, 2);
    EXPECT_EQ(image.frames[1]->transparentIndex, -1);
    EXPECT_EQ(image.frames[1]->delay, 0);
    EXPECT_EQ(image.frames[1]->disposal, 0);
    EXPECT_EQ(image.frames[2]->transparentIndex, -1);
    EXPECT_EQ(image.frames[2]->delay, 70);
    EXPECT_EQ(image.frames[2]->disposal, 3);
}

TEST(GifDecoder, KeyColourIsTheFirstBoxNoOtherEntryFallsIn)
{
    struct Case {
        const char* name;
        std::vector<RGBQUAD> table;
        int transparent;
        RGBQUAD key;
    };
    const Case cases[] = {
        {"no dark colour: black", {{255, 255, 255, 0}, {10, 200, 90, 0}}, 0, {0, 0, 0, 0}},
        {"the entry itself does not count", {{0, 0, 0, 0}, {250, 250, 250, 0}}, 0, {0, 0, 0, 0}},
        {"black taken: blue moves first", {{15, 15, 15, 0}, {0, 0, 0, 0}}, 1, {16, 0, 0, 0}},
        {"every blue box of the first row taken: green moves next", [] {
             std::vector<RGBQUAD> row;
             for (int blue = 0; blue < 256; blue += 16) row.push_back(RGBQUAD{BYTE(blue + 15), 15, 15, 0});
             row.push_back(RGBQUAD{0, 0, 0, 0});
             return row;
         }(), 16, {0, 16, 0, 0}},
        {"box edges: 15 is in the first box, 16 in the next", {{0, 0, 15, 0}, {16, 0, 0, 0}, {0, 0, 0, 0}}, 2, {32, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<RGBQUAD> table = c.table;
        ChooseGifKeyColour(table.data(), int(table.size()), c.transparent);
        EXPECT_TRUE(SameColour(table[c.transparent], c.key))
            << int(table[c.transparent].rgbRed) << "," << int(table[c.transparent].rgbGreen) << ","
            << int(table[c.transparent].rgbBlue);
        for (size_t i = 0; i < table.size(); ++i)
            if (int(i) != c.transparent) {
                EXPECT_TRUE(SameColour(table[i], c.table[i])) << "entry " << i;
            }
    }
}

TEST(GifDecoder, KeyColourIsFoundForEveryFullTable)
{
    // 256 entries, each in a box of its own: the first free box lies past them.
    std::vector<RGBQUAD> table(256);
    for (int i = 0; i < 256; ++i) table[i] = RGBQUAD{BYTE((i & 15) * 16), BYTE((i >> 4) * 16), 0, 0};
    ChooseGifKeyColour(table.data(), 256, 255);
    EXPECT_TRUE(SameColour(table[255], RGBQUAD{240, 240, 0, 0}));
    table[255] = RGBQUAD{1, 1, 1, 0};
    std::vector<RGBQUAD> shifted = table;
    shifted[0] = RGBQUAD{240, 240, 0, 0};
    ChooseGifKeyColour(shifted.data(), 256, 17);
    EXPECT_TRUE(SameColour(shifted[17], RGBQUAD{16, 16, 0, 0}));
}

TEST(GifDecoder, TransparentIndexOutsideTheTableMeansNoTransparency)
{
    struct Case {
        const char* name;
        int transparent;
        int expected;
    };
    const Case cases[] = {{"last entry", 1, 1}, {"one past the table", 2, -1}, {"far past it", 200, -1}, {"255", 255, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GifImage image;
        Bytes file = GifBuilder().Header(2, 2, kTwo).Control(1, 0, c.transparent).Image(0, 0, 2, 2, {0, 1, 1, 0}, 2).bytes;
        ASSERT_EQ(Decode(image, file), 1);
        const GifFrame& frame = *image.frames[0];
        EXPECT_EQ(frame.transparentIndex, c.expected);
        EXPECT_EQ(frame.disposal, 1);
        EXPECT_TRUE(SameColour(frame.Palette()[0], RGBQUAD{255, 255, 255, 0}));
        if (c.expected < 0) {
            EXPECT_TRUE(SameColour(frame.Palette()[1], RGBQUAD{0, 0, 0, 0}));
        }
        for (int i = 2; i < 256; ++i) EXPECT_TRUE(SameColour(frame.Palette()[i], RGBQUAD{0, 0, 0, 0})) << "entry " << i;
    }
}

TEST(GifDecoder, EveryPixelValueHasATableEntry)
{
    // Minimum code size 8 on a 2-entry table: values past the table index the zeroed entries,
    // which are there, and the header leaves the drawing side reading 256 of them.
    GifImage image;
    Bytes pixels = {0, 1, 2, 255, 128, 7};
    ASSERT_EQ(Decode(image, GifBuilder().Header(3, 2, kTwo).Image(0, 0, 3, 2, pixels, 8).bytes), 1);
    const GifFrame& frame = *image.frames[0];
    EXPECT_EQ(FramePixels(frame), pixels);
    EXPECT_EQ(frame.BitmapInfo()->bmiHeader.biClrUsed, 0u);
    EXPECT_EQ(frame.BitmapInfo()->bmiHeader.biBitCount, 8);
    EXPECT_EQ(sizeof frame.bitmapInfo, sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    for (unsigned char p : pixels)
        if (p >= 2) {
            EXPECT_TRUE(SameColour(frame.Palette()[p], RGBQUAD{0, 0, 0, 0}));
        }
}

TEST(GifDecoder, InterlacedAndPlainImagesGiveTheSamePixels)
{
    for (int height = 1; height <= 17; ++height) {
        SCOPED_TRACE("height " + std::to_string(height));
        Bytes pixels = Pattern(5, height, 4, height);
        GifImage plain, interlaced;
        ASSERT_EQ(Decode(plain, GifBuilder().Header(5, height, kFour).Image(0, 0, 5, height, pixels, 2).bytes), 1);
        ASSERT_EQ(Decode(interlaced,
                         GifBuilder().Header(5, height, kFour).Image(0, 0, 5, height, pixels, 2, nullptr, true).bytes),
                  1);
        EXPECT_EQ(FramePixels(*plain.frames[0]), pixels);
        EXPECT_EQ(FramePixels(*interlaced.frames[0]), pixels);
    }
}

TEST(GifDecoder, ShortInterlacedImagesWriteNoRowOutsideThemselves)
{
    // The rows past a short image belong to nobody: a pass starting below it must not write there.
    for (int height = 1; height <= 4; ++height) {
        SCOPED_TRACE("height " + std::to_string(height));
        Bytes pixels(size_t(3) * 8, 1);
        std::vector<unsigned char> rows(size_t(4) * 8, 0xEE);  // stride 4, eight rows of room
        Bytes data = EncodeLzw(pixels, 2);                      // more pixels than the image holds
        ASSERT_NE(DecodeLzw(data.data(), data.size(), rows.data(), 2, 4, 3, height, true), 0u);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 4; ++x)
                EXPECT_EQ(rows[size_t(y) * 4 + x], (y < height && x < 3) ? 1 : 0xEE) << "row " << y << " column " << x;
    }
}

TEST(GifDecoder, CodesUsedAsTheyAreDefinedDecode)
{
    struct Case {
        const char* name;
        int width, height;
        Bytes pixels;
    };
    const Case cases[] = {
        {"alternating pixels", 64, 16, Alternating(64, 16)},
        {"one long run", 300, 7, Bytes(2100, 3)},
        {"runs that grow", 40, 40, [] {
             Bytes out;
             for (int run = 1; out.size() < 1600; ++run) out.insert(out.end(), size_t(run), (unsigned char)(run & 3));
             out.resize(1600);
             return out;
         }()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GifImage image;
        ASSERT_EQ(Decode(image, GifBuilder().Header(c.width, c.height, kFour).Image(0, 0, c.width, c.height, c.pixels, 2).bytes), 1);
        EXPECT_EQ(FramePixels(*image.frames[0]), c.pixels);
    }
}

TEST(GifDecoder, CodePastTheNextFreeOneRepeatsThePreviousString)
{
    // Minimum code size 2: clear 4, end 5, next free 6. Code 7 after 1 stands for "1 1" and is
    // stored as 6; code 6 then adds "1 1 1" as 7 and widens the codes to 4 bits.
    Bytes data = CodeWriter().Put(4, 3).Put(1, 3).Put(7, 3).Put(6, 3).Put(5, 4).Finish();
    GifImage image;
    ASSERT_EQ(Decode(image, GifBuilder().Header(5, 1, kFour).ImageData(0, 0, 5, 1, 2, data).bytes), 1);
    EXPECT_EQ(FramePixels(*image.frames[0]), Bytes(5, 1));

    // With no previous string (right after a clear code) there is nothing to repeat.
    DebugLines lines;
    Bytes orphan = CodeWriter().Put(4, 3).Put(6, 3).Put(5, 3).Finish();
    EXPECT_EQ(Decode(image, GifBuilder().Header(5, 1, kFour).ImageData(0, 0, 5, 1, 2, orphan).bytes), 0);
    EXPECT_EQ(lines.lines, (std::vector<std::string>{DebugLines::Line(GifLineImageData), DebugLines::Line(GifLineNoFrame)}));
}

TEST(GifDecoder, MinimumCodeSizes)
{
    struct Case {
        const char* name;
        int minimumCodeSize;
        Bytes pixels;
        bool decodes;
    };
    const Case cases[] = {
        {"0: one root, widened after the first code", 0, Bytes(50, 0), true},
        {"1: two roots", 1, Alternating(10, 5), true},
        {"2", 2, Pattern(10, 5, 4, 1), true},
        {"8 on four colours", 8, Pattern(10, 5, 4, 2), true},
        {"9: roots up to 511", 9, Pattern(10, 5, 256, 3), true},
        {"11: the largest the table holds", 11, Pattern(30, 30, 256, 4), true},
        {"12: no room for the clear and end codes", 12, Pattern(10, 5, 4, 5), false},
        {"255", 255, Pattern(10, 5, 4, 6), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int width = c.pixels.size() >= 900 ? 30 : 10, height = int(c.pixels.size()) / width;
        // Codes of sizes 12 and up cannot be written; any bytes do, since the frame fails unread.
        Bytes data = c.minimumCodeSize <= 11 ? EncodeLzw(c.pixels, c.minimumCodeSize) : Bytes{0xFF, 0x0F, 0x00, 0x10};
        DebugLines lines;
        GifImage image;
        Bytes file = GifBuilder()
                         .Header(width, height, kFour)
                         .Image(0, 0, 2, 1, {3, 2}, 2)
                         .ImageData(0, 0, width, height, c.minimumCodeSize, data)
                         .Image(0, 0, 2, 1, {1, 0}, 2)
                         .Trailer()
                         .bytes;
        ASSERT_EQ(Decode(image, file), c.decodes ? 3 : 2);
        EXPECT_EQ(FramePixels(*image.frames[0]), (Bytes{3, 2}));
        EXPECT_EQ(FramePixels(*image.frames[c.decodes ? 2 : 1]), (Bytes{1, 0}));
        if (c.decodes) {
            EXPECT_EQ(FramePixels(*image.frames[1]), c.pixels);
        }
        EXPECT_EQ(lines.lines.size(), c.decodes ? 0u : 1u);
    }
}

TEST(GifDecoder, RootCodesAbove255WriteTheirLowByte)
{
    const int clear = 512;
    Bytes data = CodeWriter().Put(clear, 10).Put(300, 10).Put(7, 10).Put(clear + 1, 10).Finish();
    GifImage image;
    ASSERT_EQ(Decode(image, GifBuilder().Header(2, 1, kFour).ImageData(0, 0, 2, 1, 9, data).bytes), 1);
    EXPECT_EQ(FramePixels(*image.frames[0]), (Bytes{300 & 0xFF, 7}));
}

TEST(GifDecoder, ATableThatDefinesCode4095FailsItsFrameOnly)
{
    Bytes noise = Pattern(128, 128, 256, 9);
    DebugLines lines;
    GifImage image;
    Bytes file = GifBuilder()
                     .Header(128, 128, {{1, 2, 3}, {4, 5, 6}})
                     .Image(0, 0, 2, 1, {1, 0}, 2)
                     .ImageData(0, 0, 128, 128, 8, EncodeLzw(noise, 8, 4096))
                     .ImageData(0, 0, 128, 128, 8, EncodeLzw(noise, 8, 4095))
                     .Trailer()
                     .bytes;
    ASSERT_EQ(Decode(image, file), 2);
    EXPECT_EQ(FramePixels(*image.frames[0]), (Bytes{1, 0}));
    EXPECT_EQ(FramePixels(*image.frames[1]), noise);
    EXPECT_EQ(lines.lines, std::vector<std::string>{DebugLines::Line(GifLineImageData)});
}

TEST(GifDecoder, StrayBytesBetweenBlocksAreIgnored)
{
    GifImage image;
    Bytes file = GifBuilder()
                     .Header(2, 2, kFour)
                     .Raw({0x00, 0xFF, 0x99, 0x01})
                     .Image(0, 0, 2, 2, {0, 1, 2, 3}, 2)
                     .Raw({0x2B, 0x3A, 0x20})
                     .Control(2, 3, 1)
                     .Raw({0x00})
                     .Image(0, 0, 2, 2, {3, 2, 1, 0}, 2)
                     .Raw({0xFE})
                     .Trailer()
                     .Image(0, 0, 2, 2, {1, 1, 1, 1}, 2)  // after the trailer: never read
                     .bytes;
    ASSERT_EQ(Decode(image, file), 2);
    EXPECT_EQ(FramePixels(*image.frames[0]), (Bytes{0, 1, 2, 3}));
    EXPECT_EQ(FramePixels(*image.frames[1]), (Bytes{3, 2, 1, 0}));
    EXPECT_EQ(image.frames[1]->transparentIndex, 1);
    EXPECT_EQ(image.frames[1]->delay, 30);
}

TEST(GifDecoder, ControlBlocksOfOtherSizes)
{
    struct Case {
        const char* name;
        Bytes block;  // after 21 F9
        int transparent, delay, disposal;
    };
    const Case cases[] = {
        {"too short: ignored", {3, 0x09, 5, 0, 0}, -1, 0, 0},
        {"empty: ignored", {0}, -1, 0, 0},
        {"longer: the first four bytes count", {6, 0x09, 5, 0, 2, 0xAA, 0xBB, 0}, 2, 50, 2},
        {"followed by more sub-blocks", {4, 0x05, 1, 0, 3, 2, 0xCC, 0xDD, 0}, 3, 10, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GifImage image;
        Bytes file = GifBuilder().Header(2, 2, kFour).Byte(0x21).Byte(0xF9).Raw(c.block).Image(0, 0, 2, 2, {0, 1, 2, 3}, 2).bytes;
        ASSERT_EQ(Decode(image, file), 1);
        EXPECT_EQ(image.frames[0]->transparentIndex, c.transparent);
        EXPECT_EQ(image.frames[0]->delay, c.delay);
        EXPECT_EQ(image.frames[0]->disposal, c.disposal);
        EXPECT_EQ(FramePixels(*image.frames[0]), (Bytes{0, 1, 2, 3}));
    }
}

TEST(GifDecoder, TablesInUse)
{
    // Without a global table the screen's size bits give grey levels; a local table wins over both.
    std::vector<Rgb> local = {{9, 8, 7}, {6, 5, 4}};
    GifImage image;
    Bytes file = GifBuilder()
                     .Header(2, 2, {}, 2)
                     .Image(0, 0, 2, 2, {0, 1, 6, 7}, 3)
                     .Image(0, 0, 2, 2, {1, 0, 0, 1}, 2, &local)
                     .bytes;
    ASSERT_EQ(Decode(image, file), 2);
    EXPECT_EQ(image.frames[0]->colorBits, 3);
    for (int i = 0; i < 8; ++i) EXPECT_TRUE(SameColour(image.frames[0]->Palette()[i], RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0}));
    EXPECT_TRUE(SameColour(image.frames[0]->Palette()[8], RGBQUAD{0, 0, 0, 0}));
    EXPECT_EQ(image.frames[1]->colorBits, 1);
    EXPECT_TRUE(SameColour(image.frames[1]->Palette()[0], RGBQUAD{7, 8, 9, 0}));
    EXPECT_TRUE(SameColour(image.frames[1]->Palette()[1], RGBQUAD{4, 5, 6, 0}));
    EXPECT_TRUE(SameColour(image.frames[1]->Palette()[2], RGBQUAD{0, 0, 0, 0}));
}

TEST(GifDecoder, SubBlocksOfAnySizeCarryTheSameData)
{
    Bytes pixels = Pattern(20, 20, 4, 11);
    Bytes data = EncodeLzw(pixels, 2);
    GifBuilder builder;
    builder.Header(20, 20, kFour).Byte(0x2C).U16(0).U16(0).U16(20).U16(20).Byte(0).Byte(2);
    for (size_t at = 0, n = 1; at < data.size(); at += n, n = n % 7 + 1) {
        size_t take = std::min(n, data.size() - at);
        builder.Byte(int(take)).Raw(Bytes(data.begin() + at, data.begin() + at + take));
    }
    builder.Byte(0).Trailer();
    GifImage image;
    ASSERT_EQ(Decode(image, builder.bytes), 1);
    EXPECT_EQ(FramePixels(*image.frames[0]), pixels);
}

TEST(GifDecoder, EndCodeBeforeTheLastPixelLeavesTheRestZero)
{
    Bytes data = CodeWriter().Put(4, 3).Put(2, 3).Put(3, 3).Put(5, 3).Finish();
    GifImage image;
    ASSERT_EQ(Decode(image, GifBuilder().Header(3, 2, kFour).ImageData(0, 0, 3, 2, 2, data).bytes), 1);
    EXPECT_EQ(FramePixels(*image.frames[0]), (Bytes{2, 3, 0, 0, 0, 0}));
}

TEST(GifDecoder, DataThatEndsBeforeTheLastPixelFailsTheFrame)
{
    Bytes pixels = Pattern(16, 16, 4, 12);
    Bytes data = EncodeLzw(pixels, 2, 4095, false);
    data.resize(data.size() / 2);
    DebugLines lines;
    GifImage image;
    Bytes file = GifBuilder()
                     .Header(16, 16, kFour)
                     .Image(0, 0, 16, 16, pixels, 2)
                     .ImageData(0, 0, 16, 16, 2, data)
                     .Trailer()
                     .bytes;
    ASSERT_EQ(Decode(image, file), 1);
    EXPECT_EQ(FramePixels(*image.frames[0]), pixels);
    EXPECT_EQ(lines.lines, std::vector<std::string>{DebugLines::Line(GifLineImageData)});

    // Without the end code, the frame is whole once its last pixel is written.
    Bytes whole = EncodeLzw(pixels, 2, 4095, false);
    ASSERT_EQ(Decode(image, GifBuilder().Header(16, 16, kFour).ImageData(0, 0, 16, 16, 2, whole).bytes), 1);
    EXPECT_EQ(FramePixels(*image.frames[0]), pixels);
}

TEST(GifDecoder, BitReaderStopsAtTheEndOfTheData)
{
    // The end code's last bit lies past the data: the reader must not take it from what follows.
    Bytes data = CodeWriter().Put(4, 3).Put(1, 3).Put(2, 3).Put(5, 3).Finish();  // 12 bits: 2 bytes
    unsigned char pixels[8] = {};
    Bytes padded = data;
    padded.push_back(0xFF);
    EXPECT_EQ(DecodeLzw(data.data(), 1, pixels, 2, 8, 8, 1, false), 0u);
    EXPECT_EQ(DecodeLzw(padded.data(), 1, pixels, 2, 8, 8, 1, false), 0u);
    EXPECT_EQ(DecodeLzw(data.data(), data.size(), pixels, 2, 8, 8, 1, false), 12u);
    EXPECT_EQ(DecodeLzw(nullptr, 0, pixels, 2, 8, 8, 1, false), 0u);
}

TEST(GifDecoder, EmptyAndOversizedFramesAreRefused)
{
    struct Case {
        const char* name;
        int width, height;
    };
    const Case cases[] = {{"no columns", 0, 5}, {"no rows", 5, 0}, {"65535 x 65535", 65535, 65535},
                          {"one row past the limit", 4096, 4097}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DebugLines lines;
        GifImage image;
        Bytes file = GifBuilder()
                         .Header(c.width, c.height, kFour)
                         .ImageData(0, 0, c.width, c.height, 2, CodeWriter().Put(4, 3).Put(5, 3).Finish())
                         .Image(0, 0, 1, 1, {2}, 2)
                         .bytes;
        ASSERT_EQ(Decode(image, file), 1);
        EXPECT_EQ(FramePixels(*image.frames[0]), Bytes{2});
        EXPECT_EQ(lines.lines, std::vector<std::string>{DebugLines::Line(GifLineImageData)});
    }
}

TEST(GifDecoder, FramesPastTheImagesMemoryLimitAreRefused)
{
    // Each frame claims the largest size allowed and ends at once: cheap to write, not to keep.
    GifBuilder builder;
    builder.Header(4096, 4096, kFour);
    const int claimed = 10;
    for (int i = 0; i < claimed; ++i)
        builder.ImageData(0, 0, 4096, 4096, 2, CodeWriter().Put(4, 3).Put(5, 3).Finish());
    DebugLines lines;
    GifImage image;
    int kept = Decode(image, builder.bytes);
    EXPECT_EQ(kept, int(kGifMaxImageBytes / GifImage::FrameBytes(4096, 4096)));
    EXPECT_LE(image.Bytes(), kGifMaxImageBytes);
    EXPECT_EQ(int(lines.lines.size()), claimed - kept);
}

TEST(GifDecoder, DebugLinesForFilesThatGiveNoFrame)
{
    TestSupport::TempFolder folder(L"GifDebugLines");
    struct Case {
        const char* name;
        Bytes file;
        std::vector<int> lines;
    };
    const Case cases[] = {
        {"empty file", {}, {GifLineSignature}},
        {"not a GIF", Bytes{'P', 'N', 'G', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0}, {GifLineSignature}},
        {"screen only", GifBuilder().Header(1, 1, kTwo).Trailer().bytes, {GifLineNoFrame}},
        {"version bytes not examined", GifBuilder().Header(1, 1, kTwo, -1, "GIF12z").Image(0, 0, 1, 1, {1}, 2).bytes, {}},
        {"cut inside the global table", Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x81, 0, 0, 1, 2}, {GifLineNoFrame}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring path = folder.path + L"picture.gif";
        ASSERT_TRUE(TestSupport::WriteWholeFile(path, c.file));
        DebugLines lines;
        GifImage image;
        EXPECT_EQ(LoadGif(image, path.c_str()), c.lines.empty() ? 1 : 0);
        std::vector<std::string> expected;
        for (int line : c.lines) expected.push_back(DebugLines::Line(line));
        EXPECT_EQ(lines.lines, expected);
    }

    DebugLines lines;
    GifImage image;
    EXPECT_EQ(LoadGif(image, (folder.path + L"missing.gif").c_str()), 0);
    EXPECT_EQ(LoadGif(image, "Z:\\no\\such\\folder\\missing.gif"), 0);
    EXPECT_EQ(LoadGif(image, static_cast<const char*>(nullptr)), 0);
    EXPECT_EQ(lines.lines, std::vector<std::string>(3, DebugLines::Line(GifLineFileNotOpened)));
}

TEST(GifDecoder, FilesPastTheSizeLimitAreNotRead)
{
    TestSupport::TempFolder folder(L"GifLimit");
    std::wstring path = folder.path + L"huge.gif";
    Bytes head = GifBuilder().Header(1, 1, kTwo).Image(0, 0, 1, 1, {1}, 2).Trailer().bytes;
    ASSERT_TRUE(TestSupport::WriteWholeFile(path, head));
    for (unsigned long long size : {static_cast<unsigned long long>(kGifMaxFileBytes), kGifMaxFileBytes + 1ULL}) {
        SCOPED_TRACE(size);
        // Grown to size without writing it: the rest reads as zeros, stray bytes after the trailer.
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        LARGE_INTEGER at;
        at.QuadPart = LONGLONG(size);
        EXPECT_TRUE(SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file));
        CloseHandle(file);
        DebugLines lines;
        GifImage image;
        bool fits = size <= kGifMaxFileBytes;
        EXPECT_EQ(LoadGif(image, path.c_str()), fits ? 1 : 0);
        EXPECT_EQ(lines.lines, fits ? std::vector<std::string>() : std::vector<std::string>{DebugLines::Line(GifLineFileNotOpened)});
    }
}

TEST(GifDecoder, LoadsFilesByNarrowAndWidePaths)
{
    TestSupport::TempFolder folder(L"GifPaths");
    Bytes file = GifBuilder().Header(2, 1, kFour).Image(0, 0, 2, 1, {3, 1}, 2).Trailer().bytes;
    // A name outside the system code page opens through the wide path only.
    std::wstring wide = folder.path + L"\x0443\x043B\x044B\x0431\x043A\x0430 \x263A.gif";
    std::wstring plain = folder.path + L"plain.gif";
    ASSERT_TRUE(TestSupport::WriteWholeFile(wide, file));
    ASSERT_TRUE(TestSupport::WriteWholeFile(plain, file));
    char narrow[MAX_PATH * 2];
    ASSERT_GT(WideCharToMultiByte(CP_ACP, 0, plain.c_str(), -1, narrow, sizeof narrow, nullptr, nullptr), 0);

    GifImage image;
    ASSERT_EQ(LoadGif(image, wide.c_str()), 1);
    EXPECT_EQ(FramePixels(*image.frames[0]), (Bytes{3, 1}));
    ASSERT_EQ(LoadGif(image, narrow), 1);
    EXPECT_EQ(FramePixels(*image.frames[0]), (Bytes{3, 1}));
}

TEST(GifDecoder, ImageStartsEmptyOnEveryLoad)
{
    GifImage image;
    ASSERT_EQ(Decode(image, GifBuilder().Header(2, 1, kFour).Image(0, 0, 2, 1, {3, 1}, 2).Image(0, 0, 1, 1, {0}, 2).bytes), 2);
    DebugLines lines;
    EXPECT_EQ(Decode(image, Bytes{'G', 'I', 'F'}), 0);
    EXPECT_EQ(image.Count(), 0);
    EXPECT_EQ(image.Bytes(), 0);
    EXPECT_EQ(image.width, 0);
}

}  // namespace
