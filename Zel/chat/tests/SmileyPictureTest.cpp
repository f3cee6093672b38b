// Smiley pictures: frames made from decoded GIFs, the frame drawn underneath each one, the paint
// order, and frames composed over what lies behind the picture.
#include "Zel/chat/smiley/SmileyPicture.h"
#include "Zel/chat/tests/GifTestSupport.h"

#include <gtest/gtest.h>

using namespace GifTest;

namespace {

// Table entries: W white, R red, B blue, G green.
const std::vector<Rgb> kColours = {{255, 255, 255}, {255, 0, 0}, {0, 0, 255}, {0, 255, 0}};
const uint32_t kBackground = 0x123456;

SmileyPicture PictureOf(const Bytes& gif)
{
    GifImage image;
    DecodeGif(image, gif.data(), gif.size());
    SmileyPicture picture;
    MakeSmileyFrames(image, picture);
    return picture;
}

// The canvas as rows of letters: W R B G for the table's colours, "." for the background.
std::vector<std::string> Compose(const SmileyPicture& picture, int n)
{
    std::vector<uint32_t> canvas(size_t(picture.width) * size_t(picture.height), kBackground);
    ComposeSmileyFrame(picture, n, canvas.data(), picture.width, picture.height);
    std::vector<std::string> rows;
    for (int y = 0; y < picture.height; ++y) {
        std::string row;
        for (int x = 0; x < picture.width; ++x) {
            uint32_t p = canvas[size_t(y) * size_t(picture.width) + x];
            row += p == kBackground ? '.' : p == 0xFFFFFF ? 'W' : p == 0xFF0000 ? 'R' : p == 0x0000FF ? 'B' : p == 0x00FF00 ? 'G' : '?';
        }
        rows.push_back(row);
    }
    return rows;
}

std::vector<int> Order(const std::vector<int>& baseFrames, int n, const std::vector<bool>& drawable)
{
    std::vector<SmileyFrame> frames(baseFrames.size());
    for (size_t i = 0; i < frames.size(); ++i) frames[i].baseFrame = baseFrames[i];
    return SmileyPaintOrder(frames, n, [&drawable](int i) { return bool(drawable[size_t(i)]); });
}

TEST(SmileyPicture, FrameDrawnUnderneath)
{
    struct Case {
        int index, previousDisposal, base;
    };
    const Case cases[] = {
        {0, 0, -1}, {0, 1, -1}, {0, 3, -1},  // the first frame is always drawn alone
        {1, 0, 0},  {1, 1, 0},  {1, 2, -1}, {1, 3, -1},  // restoring needs two frames before
        {2, 3, 0},  {5, 3, 3},  {4, 1, 3},  {4, 0, 3},  {3, 2, -1}, {3, 4, -1}, {3, 7, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("frame " + std::to_string(c.index) + " after disposal " + std::to_string(c.previousDisposal));
        EXPECT_EQ(SmileyBaseFrame(c.index, c.previousDisposal), c.base);
    }
}

TEST(SmileyPicture, FramesFromADecodedImage)
{
    SmileyPicture picture = PictureOf(GifBuilder()
                                          .Header(5, 4, kColours)
                                          .Control(1, 0, -1)
                                          .Image(0, 0, 5, 4, Bytes(20, 1), 2)
                                          .Control(3, 10, 0)
                                          .Image(1, 2, 2, 2, {0, 2, 3, 0}, 2)
                                          .Control(2, 20, -1)
                                          .Image(3, 0, 1, 1, {3}, 2)
                                          .Image(0, 0, 1, 1, {2}, 2)
                                          .bytes);
    EXPECT_EQ(picture.width, 5);
    EXPECT_EQ(picture.height, 4);
    ASSERT_EQ(picture.FrameCount(), 4);
    EXPECT_TRUE(picture.IsAnimated());

    const SmileyFrame& first = picture.frames[0];
    EXPECT_EQ(first.delay, kSmileyMinDelay);
    EXPECT_EQ(first.baseFrame, -1);
    EXPECT_EQ(first.transparentColor, CLR_INVALID);
    EXPECT_EQ(first.pixels, std::vector<uint32_t>(20, 0xFF0000));

    const SmileyFrame& second = picture.frames[1];
    EXPECT_EQ(second.delay, kSmileyMinDelay);  // 100 ms raised
    EXPECT_EQ(second.baseFrame, 0);
    EXPECT_EQ(second.left, 1);
    EXPECT_EQ(second.top, 2);
    EXPECT_EQ(second.width, 2);
    EXPECT_EQ(second.height, 2);
    // No entry but the transparent one is dark: black is the key.
    EXPECT_EQ(second.transparentColor, RGB(0, 0, 0));
    EXPECT_EQ(second.pixels, (std::vector<uint32_t>{0x000000, 0x0000FF, 0x00FF00, 0x000000}));

    EXPECT_EQ(picture.frames[2].delay, 200);
    EXPECT_EQ(picture.frames[2].baseFrame, 0);  // after "restore to previous"
    EXPECT_EQ(picture.frames[3].baseFrame, -1);  // after "restore to background"
}

TEST(SmileyPicture, PictureWithoutFramesIsNeitherDrawnNorAnimated)
{
    DebugLines quiet;
    SmileyPicture picture = PictureOf(GifBuilder().Header(4, 4, kColours).Trailer().bytes);
    EXPECT_EQ(picture.FrameCount(), 0);
    EXPECT_EQ(picture.width, 0);
    EXPECT_FALSE(picture.IsAnimated());
    EXPECT_TRUE(SmileyPaintOrder(picture.frames, 0).empty());
    uint32_t canvas[4] = {1, 2, 3, 4};
    EXPECT_EQ(ComposeSmileyFrame(picture, 0, canvas, 2, 2), 0);
    EXPECT_EQ(canvas[0], 1u);

    picture.path = L"Z:\\no\\such\\smiley.gif";
    EXPECT_FALSE(LoadSmileyFrames(picture));
    EXPECT_TRUE(picture.frames.empty());

    SmileyPicture still = PictureOf(GifBuilder().Header(1, 1, kColours).Image(0, 0, 1, 1, {1}, 2).bytes);
    EXPECT_EQ(still.FrameCount(), 1);
    EXPECT_FALSE(still.IsAnimated());
}

TEST(SmileyPicture, PaintOrder)
{
    const std::vector<bool> all(6, true);
    struct Case {
        const char* name;
        std::vector<int> bases;
        std::vector<bool> drawable;
        int n;
        std::vector<int> order;
    };
    const Case cases[] = {
        {"alone", {-1, -1, -1}, all, 1, {1}},
        {"over the previous frames", {-1, 0, 1, 2}, all, 3, {0, 1, 2, 3}},
        {"over the frame before the previous", {-1, 0, 0, 2}, all, 3, {0, 2, 3}},
        {"an index past the last is the last", {-1, 0, 1}, all, 9, {0, 1, 2}},
        {"an index below 0 is the first", {-1, 0}, all, -4, {0}},
        {"a frame that cannot be drawn shows the one before", {-1, -1, -1}, {true, true, false}, 2, {1}},
        {"and that one's own base", {-1, 0, -1}, {true, true, false}, 2, {0, 1}},
        {"nothing before the first frame", {-1, -1}, {false, true}, 0, {}},
        {"one that has a base draws only the base", {-1, 0, 1}, {true, true, false}, 2, {0, 1}},
        {"a base that cannot be drawn is left out", {-1, 0, 1}, {true, false, true}, 2, {0, 2}},
        {"no frames", {}, {}, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Order(c.bases, c.n, c.drawable), c.order);
    }
}

TEST(SmileyPicture, LongChainsOfBaseFramesAreWalkedWithoutRecursion)
{
    const int count = 200000;
    std::vector<int> bases(count);
    for (int i = 0; i < count; ++i) bases[size_t(i)] = i - 1;
    std::vector<int> order = Order(bases, count - 1, std::vector<bool>(count, true));
    ASSERT_EQ(int(order.size()), count);
    EXPECT_EQ(order.front(), 0);
    EXPECT_EQ(order.back(), count - 1);
}

TEST(SmileyPicture, Composition)
{
    // Red, then blue over it restored afterwards, then green.
    const Bytes restoring = GifBuilder()
                                .Header(4, 4, kColours)
                                .Control(1, 0, -1)
                                .Image(0, 0, 4, 4, Bytes(16, 1), 2)
                                .Control(3, 0, -1)
                                .Image(0, 0, 2, 2, Bytes(4, 2), 2)
                                .Image(2, 2, 2, 2, Bytes(4, 3), 2)
                                .bytes;
    struct Case {
        const char* name;
        Bytes gif;
        int n;
        std::vector<std::string> canvas;
    };
    const Case cases[] = {
        {"do not dispose: drawn over the previous frame",
         GifBuilder().Header(4, 4, kColours).Control(1, 0, -1).Image(0, 0, 4, 4, Bytes(16, 1), 2).Image(1, 1, 2, 2, Bytes(4, 2), 2).bytes,
         1, {"RRRR", "RBBR", "RBBR", "RRRR"}},
        {"no disposal given: the same",
         GifBuilder().Header(4, 4, kColours).Image(0, 0, 4, 4, Bytes(16, 1), 2).Image(1, 1, 2, 2, Bytes(4, 2), 2).bytes, 1,
         {"RRRR", "RBBR", "RBBR", "RRRR"}},
        {"restore to background: drawn alone",
         GifBuilder().Header(4, 4, kColours).Control(2, 0, -1).Image(0, 0, 4, 4, Bytes(16, 1), 2).Image(1, 1, 2, 2, Bytes(4, 2), 2).bytes,
         1, {"....", ".BB.", ".BB.", "...."}},
        {"restore to previous: drawn over the frame before the previous",
         restoring,
         2, {"RRRR", "RRRR", "RRGG", "RRGG"}},
        {"the frame restored from still shows its own base",
         restoring,
         1, {"BBRR", "BBRR", "RRRR", "RRRR"}},
        {"restore to previous on the first frame: drawn alone",
         GifBuilder().Header(4, 4, kColours).Control(3, 0, -1).Image(0, 0, 4, 4, Bytes(16, 1), 2).Image(1, 1, 2, 2, Bytes(4, 2), 2).bytes,
         1, {"....", ".BB.", ".BB.", "...."}},
        {"a chain of frames kept",
         GifBuilder()
             .Header(4, 1, kColours)
             .Control(1, 0, -1)
             .Image(0, 0, 1, 1, {1}, 2)
             .Control(1, 0, -1)
             .Image(1, 0, 1, 1, {2}, 2)
             .Control(1, 0, -1)
             .Image(2, 0, 1, 1, {3}, 2)
             .Image(3, 0, 1, 1, {0}, 2)
             .bytes,
         3, {"RBGW"}},
        {"the key colour shows the frame underneath",
         GifBuilder()
             .Header(4, 4, kColours)
             .Control(1, 0, -1)
             .Image(0, 0, 4, 4, Bytes(16, 1), 2)
             .Control(2, 0, 0)
             .Image(0, 0, 4, 4, {0, 0, 0, 0, 0, 2, 2, 0, 0, 3, 2, 0, 0, 0, 0, 0}, 2)
             .bytes,
         1, {"RRRR", "RBBR", "RGBR", "RRRR"}},
        {"and the background under the first frame",
         GifBuilder().Header(3, 1, kColours).Control(2, 0, 1).Image(0, 0, 3, 1, {1, 2, 1}, 2).bytes, 0, {".B."}},
        {"frames are clipped to the picture",
         GifBuilder().Header(4, 4, kColours).Control(1, 0, -1).Image(0, 0, 4, 4, Bytes(16, 0), 2).Image(3, 3, 2, 2, Bytes(4, 2), 2).bytes,
         1, {"WWWW", "WWWW", "WWWW", "WWWB"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SmileyPicture picture = PictureOf(c.gif);
        ASSERT_GT(picture.FrameCount(), c.n);
        EXPECT_EQ(Compose(picture, c.n), c.canvas);
    }
}

}  // namespace
