// PNG files of every kind to premultiplied, upright 32-bit pixels, and damaged or oversized files to
// an empty picture without a crash.
#include "Zel/shell/skin/SkinPictureFile.h"
#include "Zel/shell/tests/PngFixtures.h"
#include "ZELCommon/tests/TempFolder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace PngFixture;

namespace {

// BGRA premultiplied, bottom-up, from 8-bit RGBA given top-down.
std::vector<uint8_t> Expected(unsigned width, unsigned height, const std::vector<unsigned>& rgba)
{
    std::vector<uint8_t> out(size_t(width) * height * 4);
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            const unsigned* p = &rgba[(size_t(y) * width + x) * 4];
            uint8_t* q = &out[(size_t(height - 1 - y) * width + x) * 4];
            unsigned a = p[3];
            q[0] = uint8_t(p[2] * a / 255);
            q[1] = uint8_t(p[1] * a / 255);
            q[2] = uint8_t(p[0] * a / 255);
            q[3] = uint8_t(a);
        }
    }
    return out;
}

PngPicture Make(unsigned width, unsigned height, int depth, int colour, std::vector<unsigned> samples)
{
    PngPicture picture;
    picture.width = width;
    picture.height = height;
    picture.depth = depth;
    picture.colour = colour;
    picture.samples = std::move(samples);
    return picture;
}

struct KindCase {
    const char* name;
    PngPicture picture;
    std::vector<unsigned> rgba;  // what the picture shows, 8-bit RGBA top-down
};

std::vector<unsigned> Gradient(unsigned width, unsigned height, int channels)
{
    std::vector<unsigned> samples;
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x)
            for (int c = 0; c < channels; ++c) samples.push_back((x * 37 + y * 91 + unsigned(c) * 53) % 256);
    return samples;
}

std::vector<unsigned> Opaque(const std::vector<unsigned>& rgb)
{
    std::vector<unsigned> rgba;
    for (size_t i = 0; i < rgb.size(); i += 3) rgba.insert(rgba.end(), {rgb[i], rgb[i + 1], rgb[i + 2], 255});
    return rgba;
}

std::vector<KindCase> KindCases()
{
    std::vector<KindCase> cases;
    cases.push_back({"rgba 8-bit",
                     Make(2, 2, 8, Rgba, {255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 0, 200, 100, 50, 255}),
                     {255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 0, 200, 100, 50, 255}});
    cases.push_back({"rgb 8-bit", Make(2, 2, 8, Rgb, {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120}),
                     Opaque({10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120})});
    PngPicture keyed = Make(2, 1, 8, Rgb, {40, 50, 60, 1, 2, 3});
    keyed.trns = {0, 40, 0, 50, 0, 60};
    cases.push_back({"rgb with a transparent colour", keyed, {0, 0, 0, 0, 1, 2, 3, 255}});
    cases.push_back({"grey 8-bit", Make(2, 2, 8, Grey, {0, 100, 200, 255}),
                     {0, 0, 0, 255, 100, 100, 100, 255, 200, 200, 200, 255, 255, 255, 255, 255}});
    cases.push_back({"grey 1-bit", Make(3, 1, 1, Grey, {0, 1, 1}),
                     {0, 0, 0, 255, 255, 255, 255, 255, 255, 255, 255, 255}});
    PngPicture greyKey = Make(2, 1, 4, Grey, {3, 15});
    greyKey.trns = {0, 3};
    cases.push_back({"grey 4-bit with a transparent value", greyKey, {0, 0, 0, 0, 255, 255, 255, 255}});
    cases.push_back({"grey and alpha 8-bit", Make(2, 2, 8, GreyAlpha, {100, 255, 100, 0, 50, 128, 255, 255}),
                     {100, 100, 100, 255, 100, 100, 100, 0, 50, 50, 50, 128, 255, 255, 255, 255}});
    PngPicture palette = Make(2, 2, 8, Palette, {0, 1, 2, 1});
    palette.palette = {255, 0, 0, 0, 255, 0, 0, 0, 255};
    cases.push_back({"palette without transparency", palette,
                     {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 0, 255, 0, 255}});
    PngPicture clear = Make(3, 1, 2, Palette, {0, 1, 2});
    clear.palette = {255, 0, 0, 0, 255, 0, 0, 0, 255};
    clear.trns = {0, 128};
    cases.push_back({"palette with transparency", clear, {255, 0, 0, 0, 0, 255, 0, 128, 0, 0, 255, 255}});
    cases.push_back({"rgba 16-bit", Make(2, 1, 16, Rgba, {0xFFFF, 0x80FF, 0x0001, 0xFFFF, 0x1234, 0x5678, 0x9ABC, 0x8000}),
                     {255, 128, 0, 255, 0x12, 0x56, 0x9A, 0x80}});
    cases.push_back({"grey 16-bit", Make(1, 1, 16, Grey, {0xC0FF}), {0xC0, 0xC0, 0xC0, 255}});
    PngPicture interlaced = Make(11, 9, 8, Rgb, Gradient(11, 9, 3));
    interlaced.interlaced = true;
    cases.push_back({"interlaced rgb", interlaced, Opaque(Gradient(11, 9, 3))});
    PngPicture interlacedRgba = Make(3, 5, 8, Rgba, Gradient(3, 5, 4));
    interlacedRgba.interlaced = true;
    cases.push_back({"interlaced rgba smaller than a pass", interlacedRgba, Gradient(3, 5, 4)});
    return cases;
}

std::vector<uint8_t> GoodSample()
{
    PngPicture picture = Make(11, 9, 8, Rgba, Gradient(11, 9, 4));
    picture.interlaced = true;
    return Encode(picture);
}

// The offset of a chunk's type in a PNG.
size_t ChunkAt(const std::vector<uint8_t>& png, const char* type)
{
    for (size_t i = 8; i + 8 <= png.size(); i += 12 + ((size_t(png[i]) << 24) | (png[i + 1] << 16) | (png[i + 2] << 8) | png[i + 3]))
        if (memcmp(&png[i + 4], type, 4) == 0) return i + 4;
    return 0;
}

// The bitmap's pixels as 32-bit rows, bottom-up.
std::vector<uint8_t> BitmapBytes(HBITMAP bitmap)
{
    BITMAP info = {};
    if (GetObjectW(bitmap, sizeof info, &info) != sizeof info) return {};
    BITMAPINFO format = {};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), info.bmWidth, info.bmHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<uint8_t> bytes(size_t(info.bmWidth) * info.bmHeight * 4);
    HDC dc = CreateCompatibleDC(nullptr);
    int rows = GetDIBits(dc, bitmap, 0, UINT(info.bmHeight), bytes.data(), &format, DIB_RGB_COLORS);
    DeleteDC(dc);
    return rows == info.bmHeight ? bytes : std::vector<uint8_t>();
}

}  // namespace

TEST(SkinPicture, EveryKindBecomesPremultipliedUprightPixels)
{
    for (const KindCase& test : KindCases()) {
        SCOPED_TRACE(test.name);
        std::vector<uint8_t> png = Encode(test.picture);
        DecodedPng decoded;
        ASSERT_EQ(DecodePng(png.data(), png.size(), decoded), ZelPngOk);
        EXPECT_EQ(decoded.width, test.picture.width);
        EXPECT_EQ(decoded.height, test.picture.height);
        EXPECT_EQ(decoded.pixels, Expected(test.picture.width, test.picture.height, test.rgba));

        // Top-down, the same rows the other way up.
        DecodedPng topDown;
        ASSERT_EQ(DecodePng(png.data(), png.size(), topDown, false), ZelPngOk);
        size_t row = size_t(test.picture.width) * 4;
        for (unsigned y = 0; y < test.picture.height; ++y)
            EXPECT_TRUE(std::equal(topDown.pixels.begin() + long(y * row), topDown.pixels.begin() + long((y + 1) * row),
                                   decoded.pixels.begin() + long((test.picture.height - 1 - y) * row)));

        // The same pixels in the picture's 32-bit bitmap.
        CSkinPicture picture;
        ASSERT_TRUE(LoadSkinPictureFromBytes(png.data(), png.size(), picture));
        EXPECT_EQ(picture.width, int(test.picture.width));
        EXPECT_EQ(picture.height, int(test.picture.height));
        BITMAP info = {};
        ASSERT_EQ(GetObjectW(picture.bitmap, sizeof info, &info), int(sizeof info));
        EXPECT_EQ(info.bmBitsPixel, 32);
        EXPECT_EQ(BitmapBytes(picture.bitmap), decoded.pixels);
    }
}

TEST(SkinPicture, BadFilesGiveAnEmptyPicture)
{
    std::vector<uint8_t> good = GoodSample();
    std::vector<uint8_t> signature(good.begin(), good.begin() + 8);
    std::vector<uint8_t> cutIdat(good.begin(), good.begin() + ChunkAt(good, "IDAT") + 20);
    std::vector<uint8_t> badHeaderCrc = good;
    badHeaderCrc[ChunkAt(good, "IHDR") + 4 + 13] ^= 0x55;
    std::vector<uint8_t> badDataCrc = good;
    badDataCrc[ChunkAt(good, "IEND") - 5] ^= 0x55;  // the last byte of IDAT's CRC
    PngPicture huge = Make(1, 1, 8, Rgba, {0, 0, 0, 0});
    auto withSize = [&](uint32_t width, uint32_t height) {
        std::vector<uint8_t> png = Encode(huge);
        size_t at = ChunkAt(png, "IHDR") + 4;
        for (int i = 0; i < 4; ++i) {
            png[at + i] = uint8_t(width >> (24 - 8 * i));
            png[at + 4 + i] = uint8_t(height >> (24 - 8 * i));
        }
        uint32_t crc = uint32_t(crc32(0, &png[at - 4], 17));
        for (int i = 0; i < 4; ++i) png[at + 13 + i] = uint8_t(crc >> (24 - 8 * i));
        return png;
    };
    std::vector<uint8_t> notPng = {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0};

    struct {
        const char* name;
        std::vector<uint8_t> bytes;
        int result;
    } cases[] = {
        {"empty", {}, ZelPngNotPng},
        {"another format", notPng, ZelPngNotPng},
        {"signature only", signature, ZelPngBadData},
        {"cut inside the image data", cutIdat, ZelPngBadData},
        {"header with a bad CRC", badHeaderCrc, ZelPngBadData},
        {"image data with a bad CRC", badDataCrc, ZelPngBadData},
        {"100000 by 100000", withSize(100000, 100000), ZelPngTooLarge},
        {"5000 by 5000, over the pixel limit", withSize(5000, 5000), ZelPngTooLarge},
        {"wider than the side limit", withSize(20000, 1), ZelPngTooLarge},
        {"zero width", withSize(0, 1), ZelPngBadData},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        DecodedPng decoded;
        EXPECT_EQ(DecodePng(test.bytes.data(), test.bytes.size(), decoded), test.result);
        EXPECT_EQ(decoded.width, 0u);
        EXPECT_TRUE(decoded.pixels.empty());
        CSkinPicture picture;
        EXPECT_FALSE(LoadSkinPictureFromBytes(test.bytes.data(), test.bytes.size(), picture));
        EXPECT_TRUE(picture.IsEmpty());
        EXPECT_EQ(picture.width, 0);
    }
}

TEST(SkinPicture, EveryTruncationOfAGoodFileDecodesWholeOrNotAtAll)
{
    std::vector<uint8_t> good = GoodSample();
    DecodedPng whole;
    ASSERT_EQ(DecodePng(good.data(), good.size(), whole), ZelPngOk);
    size_t iend = ChunkAt(good, "IEND") - 4;
    for (size_t length = 0; length < good.size(); ++length) {
        SCOPED_TRACE(length);
        DecodedPng decoded;
        int result = DecodePng(good.data(), length, decoded);
        if (length >= iend) {
            // Only the end chunk is missing: every pixel is there.
            EXPECT_EQ(result, ZelPngOk);
            EXPECT_EQ(decoded.pixels, whole.pixels);
        } else {
            EXPECT_NE(result, ZelPngOk);
            EXPECT_TRUE(decoded.pixels.empty());
        }
    }
}

TEST(SkinPicture, LoadsFromAFileAndLeavesMissingOrDamagedFilesEmpty)
{
    TestSupport::TempFolder temp(L"SkinPictureTest");
    const std::wstring& folder = temp.path;
    auto write = [&](const wchar_t* name, const std::vector<uint8_t>& bytes) { temp.Write(name, bytes); };
    std::vector<uint8_t> good = Rgba8(2, 1, {255, 255, 255, 255, 0, 0, 0, 0});
    write(L"good.png", good);
    write(L"empty.png", {});
    write(L"cut.png", std::vector<uint8_t>(good.begin(), good.begin() + 40));

    CSkinPicture picture;
    LoadSkinPicture((folder + L"good.png").c_str(), picture);
    ASSERT_FALSE(picture.IsEmpty());
    EXPECT_EQ(BitmapBytes(picture.bitmap), Expected(2, 1, {255, 255, 255, 255, 0, 0, 0, 0}));
    for (const wchar_t* name : {L"missing.png", L"empty.png", L"cut.png"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        LoadSkinPicture((folder + name).c_str(), picture);
        EXPECT_TRUE(picture.IsEmpty());
    }
}
