// The GIF decoder on broken files: every truncation of the corpus's pictures, and a fixed number of
// seeded mutations of them. Nothing may crash, a cut file keeps exactly the frames that lay before
// the cut, every frame kept is well formed, and the memory the decoding takes stays bounded.
#include "Zel/chat/tests/GifTestSupport.h"

#include <gtest/gtest.h>

#include <psapi.h>

#include <cstring>
#include <random>

using namespace GifTest;

namespace {

// Larger files are cut everywhere in their first and last few kilobytes and at a stride between,
// so the whole run stays within seconds.
const size_t kCutEverywhereUpTo = 8192;
const size_t kCutEverywhereAtEnds = 2048;
const size_t kCutsBetween = 1000;
const int kMutations = 4000;

size_t PeakMemory()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakPagefileUsage;
}

size_t CurrentMemory()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PagefileUsage;
}

bool SameFrame(const GifFrame& a, const GifFrame& b)
{
    return a.width == b.width && a.height == b.height && a.left == b.left && a.top == b.top && a.colorBits == b.colorBits &&
           a.transparentIndex == b.transparentIndex && a.delay == b.delay && a.disposal == b.disposal &&
           std::memcmp(&a.bitmapInfo, &b.bitmapInfo, sizeof a.bitmapInfo) == 0 &&
           std::memcmp(a.pixels.get(), b.pixels.get(), size_t(a.stride) * size_t(a.height)) == 0;
}

// What every frame the decoder keeps must be, whatever the file held.
void ExpectWellFormed(const GifImage& image)
{
    long long bytes = 0;
    for (const auto& frame : image.frames) {
        ASSERT_TRUE(frame && frame->pixels);
        EXPECT_GE(frame->width, 1);
        EXPECT_GE(frame->height, 1);
        EXPECT_LE(static_cast<long long>(frame->width) * frame->height, kGifMaxFramePixels);
        EXPECT_EQ(frame->stride, (frame->width + 3) & ~3);
        EXPECT_GE(frame->colorBits, 1);
        EXPECT_LE(frame->colorBits, 8);
        EXPECT_GE(frame->transparentIndex, -1);
        EXPECT_LT(frame->transparentIndex, 1 << frame->colorBits);
        EXPECT_GE(frame->disposal, 0);
        EXPECT_LE(frame->disposal, 7);
        EXPECT_EQ(frame->BitmapInfo()->bmiHeader.biHeight, -frame->height);
        for (int i = 1 << frame->colorBits; i < 256; ++i) {
            const RGBQUAD& c = frame->Palette()[i];
            EXPECT_EQ(c.rgbRed | c.rgbGreen | c.rgbBlue | c.rgbReserved, 0);
        }
        bytes += GifImage::FrameBytes(frame->width, frame->height);
    }
    EXPECT_EQ(bytes, image.Bytes());
    EXPECT_LE(image.Bytes(), kGifMaxImageBytes);
}

std::vector<size_t> CutPoints(size_t size)
{
    std::vector<size_t> cuts;
    if (size <= kCutEverywhereUpTo) {
        for (size_t n = 0; n < size; ++n) cuts.push_back(n);
        return cuts;
    }
    for (size_t n = 0; n < kCutEverywhereAtEnds; ++n) cuts.push_back(n);
    size_t step = (size - 2 * kCutEverywhereAtEnds) / kCutsBetween + 1;
    for (size_t n = kCutEverywhereAtEnds; n < size - kCutEverywhereAtEnds; n += step) cuts.push_back(n);
    for (size_t n = size - kCutEverywhereAtEnds; n < size; ++n) cuts.push_back(n);
    return cuts;
}

TEST(GifFuzz, EveryTruncationKeepsTheFramesBeforeTheCut)
{
    std::vector<std::string> names = CorpusNames();
    ASSERT_FALSE(names.empty());
    DebugLines quiet;
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        Bytes file = ReadCorpusFile(name + ".gif");
        GifImage whole;
        int frames = Decode(whole, file);
        ASSERT_GT(frames, 0);
        int previous = 0;
        for (size_t cut : CutPoints(file.size())) {
            GifImage image;
            // A copy of exactly the cut length, so a read past it is a read past the buffer.
            Bytes part(file.begin(), file.begin() + cut);
            int count = DecodeGif(image, part.empty() ? nullptr : part.data(), part.size());
            ASSERT_LE(count, frames) << "cut at " << cut;
            ASSERT_GE(count, previous) << "cut at " << cut;
            for (int i = 0; i < count; ++i) ASSERT_TRUE(SameFrame(*image.frames[i], *whole.frames[i])) << "cut at " << cut;
            previous = count;
        }
    }
}

TEST(GifFuzz, SeededMutationsNeverCrashAndStayBounded)
{
    std::vector<Bytes> files;
    for (const std::string& name : CorpusNames()) {
        Bytes file = ReadCorpusFile(name + ".gif");
        if (file.size() <= kCutEverywhereUpTo) files.push_back(file);
    }
    ASSERT_FALSE(files.empty());
    size_t before = CurrentMemory();

    DebugLines quiet;
    std::mt19937 random(20240611);
    for (int round = 0; round < kMutations; ++round) {
        Bytes file = files[random() % files.size()];
        int edits = 1 + int(random() % 8);
        for (int e = 0; e < edits && !file.empty(); ++e) {
            size_t at = random() % file.size();
            switch (random() % 6) {
            case 0: file[at] = (unsigned char)random(); break;
            case 1: file[at] ^= (unsigned char)(1u << (random() % 8)); break;
            case 2: file[at] = (random() & 1) ? 0xFF : 0x00; break;
            case 3: file.insert(file.begin() + at, (unsigned char)random()); break;
            case 4: file.erase(file.begin() + at, file.begin() + std::min(file.size(), at + 1 + random() % 16)); break;
            default: {
                // A run of bytes repeated: lengths and sizes that point far past the data.
                size_t from = random() % file.size(), n = std::min<size_t>(file.size() - from, 1 + random() % 32);
                Bytes run(file.begin() + from, file.begin() + from + n);
                file.insert(file.begin() + at, run.begin(), run.end());
            }
            }
        }
        GifImage image;
        int count = Decode(image, file);
        ASSERT_EQ(count, image.Count());
        ExpectWellFormed(image);
        if (HasFatalFailure() || HasNonfatalFailure()) {
            ADD_FAILURE() << "mutation round " << round;
            return;
        }
    }
    // The decoding's peak: frames within the image's limit, the file, the data of one frame.
    size_t peak = PeakMemory();
    EXPECT_LT(peak > before ? peak - before : 0, size_t(kGifMaxImageBytes) + (size_t(32) << 20));
}

TEST(GifFuzz, ManyHugeFramesStayWithinTheImagesLimit)
{
    // Frames of the largest size allowed that end at once, over and over: refused past the limit
    // before their rows are allocated.
    GifBuilder builder;
    builder.Header(4096, 4096, {{1, 2, 3}, {4, 5, 6}});
    for (int i = 0; i < 200; ++i)
        builder.ImageData(0, 0, 4096, 4096, 2, CodeWriter().Put(4, 3).Put(5, 3).Finish())
            .ImageData(0, 0, 65535, 65535, 2, CodeWriter().Put(4, 3).Put(5, 3).Finish());
    size_t before = CurrentMemory();
    DebugLines quiet;
    GifImage image;
    int count = Decode(image, builder.bytes);
    EXPECT_EQ(count, int(kGifMaxImageBytes / GifImage::FrameBytes(4096, 4096)));
    ExpectWellFormed(image);
    size_t peak = PeakMemory();
    EXPECT_LT(peak > before ? peak - before : 0, size_t(kGifMaxImageBytes) + (size_t(16) << 20));
}

}  // namespace
