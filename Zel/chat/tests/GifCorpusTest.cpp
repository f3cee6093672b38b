// Every picture of the corpus (gif_corpus.py, written by giflib's gifbuild) decoded and compared,
// frame by frame, with giflib's own decoding of it as gifbuild -d dumped it: frame count, geometry,
// delay, disposal, transparent index, the colour table bar the key entry, and every index.
#include "Zel/chat/tests/GifDump.h"
#include "Zel/chat/tests/GifTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace GifTest;

namespace {

// The one place the decoder parts from giflib on purpose: a table that defines code 4095 fails its
// frame. Each entry names the file and the frame (counted from 0 in giflib's decoding).
const struct {
    const char* name;
    int frame;
} kRefusedFrames[] = {{"table_4096", 1}};

bool Refused(const std::string& name, int frame)
{
    for (const auto& refused : kRefusedFrames)
        if (name == refused.name && frame == refused.frame) return true;
    return false;
}

std::string NarrowPath(const std::wstring& path)
{
    char narrow[MAX_PATH * 2];
    int n = WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, narrow, sizeof narrow, nullptr, nullptr);
    return n > 0 ? std::string(narrow) : std::string();
}

// The first colour box in the search order that none of the other entries falls in: computed here
// the slow way, box by box.
RGBQUAD ExpectedKeyColour(const std::vector<DumpColour>& table, int transparent)
{
    for (int red = 0; red < 256; red += 16)
        for (int green = 0; green < 256; green += 16)
            for (int blue = 0; blue < 256; blue += 16) {
                bool taken = false;
                for (int i = 0; i < int(table.size()) && !taken; ++i)
                    taken = i != transparent && table[i].red >= red && table[i].red < red + 16 && table[i].green >= green &&
                            table[i].green < green + 16 && table[i].blue >= blue && table[i].blue < blue + 16;
                if (!taken) return RGBQUAD{BYTE(blue), BYTE(green), BYTE(red), 0};
            }
    return RGBQUAD{};
}

// The table a frame uses: its own, the global one, or grey levels sized by the screen's packed byte.
std::vector<DumpColour> TableInUse(const DumpImage& image, const GifDump& dump, const Bytes& file)
{
    if (!image.localTable.empty()) return image.localTable;
    if (!dump.globalTable.empty()) return dump.globalTable;
    std::vector<DumpColour> grey;
    for (int i = 0; i < (2 << (file[10] & 7)); ++i) grey.push_back(DumpColour{i, i, i});
    return grey;
}

void ExpectFrame(const GifFrame& frame, const DumpImage& image, const std::vector<DumpColour>& table)
{
    EXPECT_EQ(frame.left, image.left);
    EXPECT_EQ(frame.top, image.top);
    ASSERT_EQ(frame.width, image.width);
    ASSERT_EQ(frame.height, image.height);
    EXPECT_EQ(frame.stride, (image.width + 3) & ~3);
    EXPECT_EQ(1 << frame.colorBits, int(table.size()));
    EXPECT_EQ(frame.delay, image.delay * 10);
    EXPECT_EQ(frame.disposal, image.disposal);
    ASSERT_LT(image.transparentIndex, int(table.size())) << "the corpus keeps transparent indices in the table";
    EXPECT_EQ(frame.transparentIndex, image.transparentIndex);

    const BITMAPINFOHEADER& h = frame.BitmapInfo()->bmiHeader;
    EXPECT_EQ(h.biSize, sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(h.biWidth, image.width);
    EXPECT_EQ(h.biHeight, -image.height);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 8);
    EXPECT_EQ(h.biCompression, DWORD(BI_RGB));
    EXPECT_EQ(h.biXPelsPerMeter, 11811);
    EXPECT_EQ(h.biYPelsPerMeter, 11811);
    EXPECT_EQ(h.biClrUsed, 0u);

    const RGBQUAD* palette = frame.Palette();
    for (int i = 0; i < 256; ++i) {
        RGBQUAD expected = i >= int(table.size()) ? RGBQUAD{0, 0, 0, 0}
                           : i == image.transparentIndex
                               ? ExpectedKeyColour(table, i)
                               : RGBQUAD{BYTE(table[i].blue), BYTE(table[i].green), BYTE(table[i].red), 0};
        EXPECT_EQ(std::memcmp(&palette[i], &expected, sizeof expected), 0) << "table entry " << i;
    }

    ASSERT_EQ(FramePixels(frame), image.indices);
    for (int y = 0; y < frame.height; ++y)
        for (int x = frame.width; x < frame.stride; ++x) EXPECT_EQ(frame.Row(y)[x], 0) << "padding of row " << y;
}

TEST(GifCorpus, EveryFrameMatchesGiflibsDecoding)
{
    std::vector<std::string> names = CorpusNames();
    ASSERT_FALSE(names.empty()) << "no corpus in " << CorpusDir();
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        GifDump dump;
        std::string error;
        ASSERT_TRUE(ParseGifDump(TestSupport::ReadTextFile(CorpusDir() + "/" + name + ".dump"), dump, error)) << error;
        ASSERT_FALSE(dump.images.empty());
        Bytes file = ReadCorpusFile(name + ".gif");
        ASSERT_GT(file.size(), 13u);

        DebugLines lines;
        GifImage image;
        int count = LoadGif(image, NarrowPath(TestSupport::DosPath(CorpusDir() + "/" + name + ".gif")).c_str());
        EXPECT_EQ(image.width, dump.width);
        EXPECT_EQ(image.height, dump.height);

        int frame = 0;
        for (int i = 0; i < int(dump.images.size()); ++i) {
            if (Refused(name, i)) continue;
            SCOPED_TRACE("frame " + std::to_string(i));
            ASSERT_LT(frame, count);
            ExpectFrame(*image.frames[frame], dump.images[i], TableInUse(dump.images[i], dump, file));
            ++frame;
        }
        EXPECT_EQ(count, frame);
        EXPECT_EQ(image.Count(), count);
        std::vector<std::string> expectedLines(int(dump.images.size()) - frame, DebugLines::Line(GifLineImageData));
        EXPECT_EQ(lines.lines, expectedLines);
    }
}

}  // namespace
