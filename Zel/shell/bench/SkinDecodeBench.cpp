// Decoding the whole default skin: through the picture set (each picture read, decoded, premultiplied
// and made a bitmap under the set's lock) beside libpng alone on the same files. Each round
// decodes every picture once; rounds alternate, the median counts.
#include "Zel/shell/bench/ShellBenchmarks.h"

#include "Zel/core/skin/SkinImageSet.h"
#include "Zel/shell/skin/SkinPictureFile.h"
#include "Zel/shell/tests/ProgramFolder.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

extern "C" int DecodeWithLibpngAlone(const wchar_t* path);

namespace {

const int kRounds = 41;

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

void RunSkinDecodeBenchmark()
{
    std::wstring skins = ProgramFolder::Bin() + L"Skins\\";
    std::wstring skin = skins + L"ZEL PDA skin\\";
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((skin + L"*.png").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        std::printf("Skin decoding: no default skin in %ls\n", skin.c_str());
        return;
    }
    do files.push_back(entry.cFileName);
    while (FindNextFileW(search, &entry));
    FindClose(search);

    CSkinImageSet set;
    set.SetLoader(LoadSkinPicture);
    set.SetSkin(skins.c_str(), L"ZEL PDA skin");
    int count = CSkinImageSet::BuiltInCount;
    for (const std::wstring& file : files) {
        int index = set.Acquire(file.c_str());
        if (index + 1 > count) count = index + 1;
    }

    std::vector<double> ours, alone;
    int failed = 0;
    for (int round = 0; round < kRounds; ++round) {
        double start = BenchSeconds();
        set.UnloadAll();
        for (int index = 0; index < count; ++index) set.LoadEntry(index);
        ours.push_back(BenchSeconds() - start);
        for (int index = 0; index < count; ++index) failed += set.IsLoaded(index) && !set.GetBitmap(index);

        start = BenchSeconds();
        for (const std::wstring& file : files) failed += !DecodeWithLibpngAlone((skin + file).c_str());
        alone.push_back(BenchSeconds() - start);
    }
    double o = Median(ours), a = Median(alone);
    std::printf("\nDecoding the default skin (%d pictures), median of %d rounds:\n", int(files.size()), kRounds);
    std::printf("  %-34s %8.2f ms (%5.1f us a picture)\n", "libpng alone, file to memory", a * 1000,
                a * 1e6 / double(files.size()));
    std::printf("  %-34s %8.2f ms (%5.1f us a picture)\n", "picture set, file to bitmap", o * 1000,
                o * 1e6 / double(count));
    std::printf("  %-34s %+7.1f %%\n", "our overhead", (o / a - 1) * 100);
    if (failed) std::printf("  %d pictures failed to decode\n", failed);
}
