// The GIF decoder's figures: LoadGif beside giflib's DGifSlurp on the tests' corpus (the pictures
// gif_corpus.py makes with gifbuild), from memory and from files, the default smiley pack loaded
// whole, and the transparent key colour's search. A program, not a test: run it by hand under Wine
// and compare the figures of one run with each other. giflib is Debian's, cross-built into the build
// folder by build-giflib.sh; without it the program leaves its figures out. Packs of 10 and 100
// smilies, made from the default pack's pictures, are loaded by the pack's own loader thread.
#include "Zel/chat/SmileyPack.h"
#include "Zel/chat/gif/ZELWMSmile_GifLoad.h"
#include "Zel/chat/smiley/SmileyPackLoad.h"
#include "Zel/chat/tests/DefaultSmileyPack.h"
#include "ZELCommon/tests/BenchClock.h"
#include "ZELCommon/tests/TempFolder.h"
#include "ZELCommon/tests/UnixHost.h"

#ifdef ZELCHAT_BENCH_GIFLIB
#include <gif_lib.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

const int kRuns = 5;
const double kRunSeconds = 0.2;  // each run repeats the work for about this long

struct CorpusFile {
    std::string name;
    std::string path;  // narrow, for both decoders' file functions
    std::vector<unsigned char> bytes;
    long long pixels = 0;
};

std::vector<CorpusFile> ReadCorpus()
{
    std::vector<CorpusFile> files;
    std::string folder = ZELCHAT_GIF_CORPUS_DIR;
    std::string listing = TestSupport::ReadTextFile(folder + "/corpus.txt");
    size_t at = 0;
    while (at < listing.size()) {
        size_t end = std::min(listing.find('\n', at), listing.size());
        if (end > at) {
            CorpusFile file;
            file.name = listing.substr(at, end - at);
            std::wstring dos = TestSupport::DosPath(folder + "/" + file.name + ".gif");
            file.path.assign(dos.begin(), dos.end());
            TestSupport::ReadWholeFile(dos, file.bytes);
            GifImage image;
            DecodeGif(image, file.bytes.data(), file.bytes.size());
            for (const auto& frame : image.frames) file.pixels += static_cast<long long>(frame->width) * frame->height;
            files.push_back(file);
        }
        at = end + 1;
    }
    return files;
}

// How many passes of work take about a quarter of kRunSeconds, found by running it.
template <typename Work> int PassesPerRun(Work work)
{
    int passes = 1;
    for (double start = BenchSeconds(); BenchSeconds() - start < kRunSeconds / 4; ++passes) work();
    return passes;
}

// The best time of one pass of work over kRuns runs.
template <typename Work> double TimeOnePass(Work work)
{
    int passes = PassesPerRun(work);
    return BestOf(kRuns, [&] {
               for (int i = 0; i < passes; ++i) work();
           }) /
           passes;
}

// The same for two kinds of work, their runs taken in turn, so that a machine busy with other work
// slows both alike.
template <typename First, typename Second> std::pair<double, double> TimeOnePassEach(First first, Second second)
{
    int firstPasses = PassesPerRun(first), secondPasses = PassesPerRun(second);
    double firstBest = 1e30, secondBest = 1e30;
    for (int run = 0; run < kRuns; ++run) {
        firstBest = std::min(firstBest, BestOf(1, [&] {
                                 for (int i = 0; i < firstPasses; ++i) first();
                             }) / firstPasses);
        secondBest = std::min(secondBest, BestOf(1, [&] {
                                  for (int i = 0; i < secondPasses; ++i) second();
                              }) / secondPasses);
    }
    return {firstBest, secondBest};
}

void OursFromMemory(const std::vector<const CorpusFile*>& files)
{
    GifImage image;
    for (const CorpusFile* file : files) DecodeGif(image, file->bytes.data(), file->bytes.size());
}

void OursFromFiles(const std::vector<const CorpusFile*>& files)
{
    GifImage image;
    for (const CorpusFile* file : files) LoadGif(image, file->path.c_str());
}

#ifdef ZELCHAT_BENCH_GIFLIB
struct MemorySource {
    const unsigned char* data;
    size_t size, at;
};

int ReadMemory(GifFileType* gif, GifByteType* out, int n)
{
    MemorySource* source = static_cast<MemorySource*>(gif->UserData);
    size_t take = std::min(size_t(n), source->size - source->at);
    std::memcpy(out, source->data + source->at, take);
    source->at += take;
    return int(take);
}

void GiflibFromMemory(const std::vector<const CorpusFile*>& files)
{
    for (const CorpusFile* file : files) {
        MemorySource source = {file->bytes.data(), file->bytes.size(), 0};
        int error = 0;
        if (GifFileType* gif = DGifOpen(&source, ReadMemory, &error)) {
            DGifSlurp(gif);
            DGifCloseFile(gif, &error);
        }
    }
}

void GiflibFromFiles(const std::vector<const CorpusFile*>& files)
{
    for (const CorpusFile* file : files) {
        int error = 0;
        if (GifFileType* gif = DGifOpenFileName(file->path.c_str(), &error)) {
            DGifSlurp(gif);
            DGifCloseFile(gif, &error);
        }
    }
}
#endif

void PrintDecoder(const char* name, double seconds, long long pixels, size_t count)
{
    std::printf("    %-24s %9.1f Mpixel/s %9.3f ms %9.1f us per file\n", name, double(pixels) / 1e6 / seconds,
                seconds * 1e3, seconds * 1e6 / double(count));
}

void Compare(const char* title, const std::vector<const CorpusFile*>& files, bool fromFiles)
{
    long long pixels = 0, bytes = 0;
    for (const CorpusFile* file : files) {
        pixels += file->pixels;
        bytes += static_cast<long long>(file->bytes.size());
    }
    std::printf("  %s: %zu files, %.2f Mpixel, %.1f KB\n", title, files.size(), double(pixels) / 1e6, double(bytes) / 1024);
    auto ours = [&] { fromFiles ? OursFromFiles(files) : OursFromMemory(files); };
    const char* ourName = fromFiles ? "ours (LoadGif)" : "ours (DecodeGif)";
#ifdef ZELCHAT_BENCH_GIFLIB
    auto times = TimeOnePassEach(ours, [&] { fromFiles ? GiflibFromFiles(files) : GiflibFromMemory(files); });
    PrintDecoder(ourName, times.first, pixels, files.size());
    PrintDecoder("giflib (DGifSlurp)", times.second, pixels, files.size());
    std::printf("    %-24s %9.2f\n", "giflib time / our time", times.second / times.first);
#else
    PrintDecoder(ourName, TimeOnePass(ours), pixels, files.size());
#endif
}

void RunDecoderBenchmark()
{
    std::vector<CorpusFile> corpus = ReadCorpus();
    std::vector<const CorpusFile*> all, large, small;
    for (const CorpusFile& file : corpus) {
        all.push_back(&file);
        (file.pixels >= 50000 ? large : small).push_back(&file);
    }
    std::printf("GIF decoding, the tests' corpus, best of %d runs, ours and giflib's in turn\n", kRuns);
#ifndef ZELCHAT_BENCH_GIFLIB
    std::printf("  (giflib not built: run Zel/chat/bench/build-giflib.sh <build folder> and configure again)\n");
#endif
    if (corpus.empty()) {
        std::printf("  no corpus in %s: build the tests first\n", ZELCHAT_GIF_CORPUS_DIR);
        return;
    }
    Compare("whole corpus, from memory", all, false);
    Compare("pictures of 50,000 pixels or more, from memory", large, false);
    Compare("smaller pictures, from memory", small, false);
    Compare("whole corpus, from files", all, true);
}

void RunSmileyPackBenchmark()
{
    CZELArray<CZELString> files;
    if (!TestSupport::ListDefaultSmileyPack(files)) {
        std::printf("Default smiley pack: not beside the program\n");
        return;
    }
    CZELString folder = TestSupport::DefaultSmileyPackFolder();
    std::vector<std::unique_ptr<SmileyPicture>> pictures;
    double seconds = TimeOnePass([&] { LoadSmileyPictures(folder, files, pictures); });
    int frames = 0;
    for (const auto& picture : pictures) frames += picture->FrameCount();
    std::printf("Default smiley pack: %zu pictures, %d frames read, decoded and made 32-bit in %.2f ms\n",
                pictures.size(), frames, seconds * 1e3);
}

// Tells when the loader thread reached the observer.
struct LoadedClock : SmileyPackObserver {
    LARGE_INTEGER at = {};
    void OnSmileyPackLoaded(CSmileyPack*) override { QueryPerformanceCounter(&at); }
};

// A pack of count smilies in root\<count>\: the default pack's pictures over and over, one code
// line each.
bool MakeBenchPack(const std::wstring& root, int count, const CZELArray<CZELString>& source)
{
    std::wstring folder = root + std::to_wstring(count) + L"\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    std::string definition;
    for (int i = 0; i < count; ++i) {
        const CZELString& name = source[i % source.GetCount()];
        wchar_t target[32];
        swprintf(target, 32, L"%03d.gif", i);
        if (!CopyFileW((std::wstring(TestSupport::DefaultSmileyPackFolder().GetBuffer()) + name.GetBuffer()).c_str(),
                       (folder + target).c_str(), FALSE))
            return false;
        definition += ":s" + std::to_string(i) + ":,[" + std::to_string(i) + "]\n";
    }
    return TestSupport::WriteWholeFile(folder + L"_define.ini", definition);
}

void RunPackLoadBenchmark()
{
    CZELArray<CZELString> files;
    if (!TestSupport::ListDefaultSmileyPack(files)) return;
    TestSupport::TempFolder root(L"PackBench");
    std::printf("Smiley pack load, construction to observer, on the loader thread (best of %d):\n", kRuns);
    std::printf("    %-8s %10s %10s %10s %10s %12s\n", "smilies", "listing", "decoding", "bitmaps", "total", "per smiley");
    for (int count : {10, 100}) {
        if (!MakeBenchPack(root.path, count, files)) {
            std::printf("    could not lay out a pack of %d\n", count);
            continue;
        }
        double best = 1e9;
        SmileyLoadTimings bestTimings;
        for (int run = 0; run < kRuns; ++run) {
            LoadedClock clock;
            LARGE_INTEGER start, frequency;
            QueryPerformanceFrequency(&frequency);
            QueryPerformanceCounter(&start);
            CSmileyPack pack(CZELString(std::to_wstring(count).c_str()), &clock, CZELString(root.path.c_str()));
            pack.WaitLoaded(INFINITE);
            if (pack.GetCount() != count || clock.at.QuadPart == 0) {
                std::printf("    pack of %d did not load\n", count);
                break;
            }
            double ms = double(clock.at.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart);
            if (ms < best) {
                best = ms;
                bestTimings = pack.Timings();
            }
        }
        if (best < 1e9)
            std::printf("    %-8d %8.2f ms %8.2f ms %8.2f ms %8.2f ms %9.3f ms\n", count, bestTimings.listing,
                        bestTimings.decoding, bestTimings.bitmaps, best, best / count);
    }
}

// The key colour's search as a first reading suggests it: every candidate box against every entry.
void KeyColourByComparison(RGBQUAD* palette, int count, int transparent)
{
    for (int red = 0; red < 256; red += 16)
        for (int green = 0; green < 256; green += 16)
            for (int blue = 0; blue < 256; blue += 16) {
                bool taken = false;
                for (int i = 0; i < count && !taken; ++i)
                    taken = i != transparent && palette[i].rgbRed >= red && palette[i].rgbRed < red + 16 &&
                            palette[i].rgbGreen >= green && palette[i].rgbGreen < green + 16 &&
                            palette[i].rgbBlue >= blue && palette[i].rgbBlue < blue + 16;
                if (!taken) {
                    palette[transparent] = RGBQUAD{BYTE(blue), BYTE(green), BYTE(red), 0};
                    return;
                }
            }
}

void RunKeyColourBenchmark()
{
    // 255 entries in distinct boxes from black on: the free box lies past all of them.
    RGBQUAD table[256];
    for (int i = 0; i < 256; ++i) table[i] = RGBQUAD{BYTE((i & 15) << 4), BYTE((i >> 4) << 4), 0, 0};
    RGBQUAD work[256];
    double bitmap = TimeOnePass([&] {
        std::memcpy(work, table, sizeof table);
        ChooseGifKeyColour(work, 256, 255);
    });
    double compared = TimeOnePass([&] {
        std::memcpy(work, table, sizeof table);
        KeyColourByComparison(work, 256, 255);
    });
    std::printf("Transparent key colour, 256-entry table, free box after 255 taken ones:\n");
    std::printf("    %-24s %9.2f us\n", "one pass, 4096-bit map", bitmap * 1e6);
    std::printf("    %-24s %9.2f us\n", "box by box, entry by entry", compared * 1e6);
}

}  // namespace

int main()
{
    RunDecoderBenchmark();
    RunSmileyPackBenchmark();
    RunPackLoadBenchmark();
    RunKeyColourBenchmark();
    return 0;
}
