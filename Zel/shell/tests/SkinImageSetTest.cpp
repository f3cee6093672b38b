// The picture set with real PNG files: pictures load on first draw from the current skin's folder,
// draw at the icon size, stay loaded (empty ones too), reload after UnloadAll, and stay whole while
// accounts acquire and release on their own threads during drawing.
#include "Zel/core/skin/SkinImageSet.h"
#include "Zel/shell/skin/SkinPictureFile.h"
#include "Zel/shell/tests/PngFixtures.h"
#include "ZELCommon/tests/TempFolder.h"
#include "ZELCommon/tests/UiTestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

// A 32-bit top-down memory surface to draw on, its pixels readable.
class Surface {
public:
    Surface(int width, int height, uint32_t fill) : width(width), height(height)
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
        previous = SelectObject(dc, bitmap);
        for (int i = 0; i < width * height; ++i) bits[i] = fill;
    }
    ~Surface()
    {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    uint32_t At(int x, int y)
    {
        GdiFlush();
        return bits[y * width + x] & 0xFFFFFF;
    }

    HDC dc;
    int width, height;

private:
    HBITMAP bitmap;
    HGDIOBJ previous;
    uint32_t* bits = nullptr;
};

// A skins folder: skin\name files under its root.
class SkinFolder : public TestSupport::TempFolder {
public:
    SkinFolder() : TempFolder(L"SkinImageSetTest") {}
    void Write(const wchar_t* skin, const wchar_t* name, const std::vector<uint8_t>& bytes)
    {
        TempFolder::Write(std::wstring(skin) + L"\\" + name, bytes);
    }
};

// A square of one opaque colour (0x00RRGGBB).
std::vector<uint8_t> Square(unsigned side, uint32_t rgb, unsigned alpha = 255)
{
    std::vector<unsigned> rgba;
    for (unsigned i = 0; i < side * side; ++i) rgba.insert(rgba.end(), {(rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF, alpha});
    return PngFixture::Rgba8(side, side, rgba);
}

std::vector<std::wstring> LoadedPaths;

void RecordingLoader(const wchar_t* path, CSkinPicture& picture)
{
    LoadedPaths.push_back(path);
    LoadSkinPicture(path, picture);
}

}  // namespace

TEST(SkinImageSet, DrawsAtTheIconSizeFromTheCurrentSkin)
{
    SkinFolder folder;
    folder.Write(L"Blue", L"zel_stonline.png", Square(4, 0x0000FF));
    folder.Write(L"Red", L"zel_stonline.png", Square(4, 0xFF0000));
    folder.Write(L"Blue", L"half.png", Square(4, 0x00FF00, 128));
    CSkinImageSet set;
    set.SetLoader(LoadSkinPicture);
    set.SetSkin(folder.path.c_str(), L"Blue");

    for (int dpi : {96, 192}) {
        SCOPED_TRACE(dpi);
        TestSupport::DpiScope scope(dpi);
        int icon = dpi == 96 ? 16 : 32;
        Surface surface(80, 80, 0xFFFFFF);
        set.Draw(14, surface.dc, POINT{2, 3}, 255);
        EXPECT_EQ(surface.At(2, 3), 0x0000FFu);
        EXPECT_EQ(surface.At(2 + icon - 1, 3 + icon - 1), 0x0000FFu);
        EXPECT_EQ(surface.At(2 + icon, 3), 0xFFFFFFu);
        EXPECT_EQ(surface.At(1, 3), 0xFFFFFFu);
        // Half-transparent green over white; then the whole picture faded to alpha 0.
        int half = set.Acquire(L"half.png");
        set.Draw(half, surface.dc, POINT{40, 40}, 255);
        uint32_t blended = surface.At(41, 41);
        EXPECT_NEAR(int(blended >> 16), 127, 2);
        EXPECT_EQ((blended >> 8) & 0xFF, 0xFFu);
        set.Draw(14, surface.dc, POINT{40, 0}, 0);
        EXPECT_EQ(surface.At(41, 1), 0xFFFFFFu);
        // Index -1 and indices never given out draw nothing.
        set.Draw(-1, surface.dc, POINT{0, 0}, 255);
        set.Draw(5000, surface.dc, POINT{0, 0}, 255);
        EXPECT_EQ(surface.At(0, 0), 0xFFFFFFu);
    }

    // A change of skin shows only after UnloadAll.
    set.SetSkin(folder.path.c_str(), L"Red");
    Surface surface(20, 20, 0xFFFFFF);
    set.Draw(14, surface.dc, POINT{0, 0}, 255);
    EXPECT_EQ(surface.At(0, 0), 0x0000FFu);
    set.UnloadAll();
    EXPECT_FALSE(set.IsLoaded(14));
    set.Draw(14, surface.dc, POINT{0, 0}, 255);
    EXPECT_EQ(surface.At(0, 0), 0xFF0000u);
}

TEST(SkinImageSet, TilesAndStretchesTheBackground)
{
    SkinFolder folder;
    std::vector<unsigned> checker;
    for (unsigned y = 0; y < 2; ++y)
        for (unsigned x = 0; x < 2; ++x) checker.insert(checker.end(), {(x + y) % 2 ? 255u : 0u, 0, 0, 255});
    folder.Write(L"Skin", L"zel_mw_background.png", PngFixture::Rgba8(2, 2, checker));
    CSkinImageSet set;
    set.SetLoader(LoadSkinPicture);
    set.SetSkin(folder.path.c_str(), L"Skin");
    Surface surface(10, 10, 0xFFFFFF);
    set.DrawStretched(38, surface.dc, 0, 0, 6, 6, 0, 255);  // tiled from the brush origin
    EXPECT_EQ(surface.At(0, 0), 0x000000u);
    EXPECT_EQ(surface.At(1, 0), 0xFF0000u);
    EXPECT_EQ(surface.At(4, 5), 0xFF0000u);
    EXPECT_EQ(surface.At(6, 0), 0xFFFFFFu);
    set.DrawStretched(38, surface.dc, 0, 0, 10, 10, 1, 255);  // stretched: four 5-pixel squares
    EXPECT_EQ(surface.At(1, 1), 0x000000u);
    EXPECT_EQ(surface.At(8, 1), 0xFF0000u);
    EXPECT_EQ(surface.At(8, 8), 0x000000u);
}

TEST(SkinImageSet, AMissingOrDamagedFileIsLoadedOnceAsAnEmptyPicture)
{
    SkinFolder folder;
    folder.Write(L"Skin", L"zel_stoffline.png", {0x89, 'P', 'N', 'G'});
    CSkinImageSet set;
    LoadedPaths.clear();
    set.SetLoader(RecordingLoader);
    set.SetSkin(folder.path.c_str(), L"Skin");
    Surface surface(20, 20, 0xFFFFFF);
    for (int i = 0; i < 3; ++i) {
        set.Draw(13, surface.dc, POINT{0, 0}, 255);
        set.Draw(14, surface.dc, POINT{0, 0}, 255);
    }
    EXPECT_EQ(LoadedPaths.size(), 2u);
    EXPECT_EQ(LoadedPaths[0], folder.path + L"Skin\\zel_stoffline.png");
    EXPECT_TRUE(set.IsLoaded(13));
    EXPECT_EQ(set.GetBitmap(13), nullptr);
    EXPECT_EQ(surface.At(0, 0), 0xFFFFFFu);
}

TEST(SkinImageSet, NamesThatLeaveTheSkinFolderAreNeverOpened)
{
    SkinFolder folder;
    CSkinImageSet set;
    LoadedPaths.clear();
    set.SetLoader(RecordingLoader);
    set.SetSkin(folder.path.c_str(), L"Skin");
    Surface surface(20, 20, 0xFFFFFF);
    for (const wchar_t* name : {L"..\\settings.zel", L"sub/x.png", L"C:x.png", L".."}) {
        int index = set.Acquire(name);
        set.Draw(index, surface.dc, POINT{0, 0}, 255);
        EXPECT_TRUE(set.IsLoaded(index));
    }
    set.SetSkin(folder.path.c_str(), L"..");
    set.Draw(14, surface.dc, POINT{0, 0}, 255);
    EXPECT_TRUE(LoadedPaths.empty());
}

// Accounts acquire and release added pictures on their own threads while the window thread draws
// them and the skin is reloaded: every draw finds a whole picture or none.
TEST(SkinImageSet, AcquireAndReleaseOnOtherThreadsWhileDrawing)
{
    SkinFolder folder;
    const int kNames = 6;
    for (int i = 0; i < kNames; ++i)
        folder.Write(L"Skin", (L"picture" + std::to_wstring(i) + L".png").c_str(), Square(3, 0x00FF00));
    CSkinImageSet set;
    set.SetLoader(LoadSkinPicture);
    set.SetSkin(folder.path.c_str(), L"Skin");

    std::atomic<bool> stop{false};
    std::vector<std::thread> accounts;
    for (int t = 0; t < 4; ++t) {
        accounts.emplace_back([&set, &stop, t] {
            for (int round = 0; !stop; ++round) {
                std::wstring name = L"picture" + std::to_wstring((round + t) % kNames) + L".png";
                int index = set.Acquire(name.c_str());
                // New names arrive too, so the table keeps growing under the drawing thread.
                set.Acquire((L"added" + std::to_wstring(t) + L"_" + std::to_wstring(round % 50) + L".png").c_str());
                set.Release(index);
            }
        });
    }
    Surface surface(20, 20, 0xFFFFFF);
    for (int i = 0; i < 3000; ++i) {
        int index = CSkinImageSet::BuiltInCount + (i % kNames) * 2;
        set.Draw(index, surface.dc, POINT{0, 0}, 255);
        if (i % 500 == 0) set.UnloadAll();
    }
    stop = true;
    for (std::thread& account : accounts) account.join();
    // Every acquire of a picture was matched by a release: only the added names still count.
    for (int i = 0; i < kNames; ++i) {
        int index = set.Acquire((L"picture" + std::to_wstring(i) + L".png").c_str());
        EXPECT_EQ(set.GetUseCount(index), 1);
    }
}

// The default skin beside the test program: every built-in picture is there, and every picture of
// the skin decodes to something visible.
TEST(DefaultSkin, EveryPictureIsThereAndDrawsSomething)
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring bin(path, length);
    std::wstring skin = bin.substr(0, bin.rfind(L'\\') + 1) + L"Skins\\ZEL PDA skin\\";
    for (int i = 0; i < CSkinImageSet::BuiltInCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_NE(GetFileAttributesW((skin + CSkinImageSet::BuiltInName(i)).c_str()), INVALID_FILE_ATTRIBUTES);
    }
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((skin + L"*.png").c_str(), &entry);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    int pictures = 0;
    do {
        SCOPED_TRACE(testing::PrintToString(std::wstring(entry.cFileName)));
        HANDLE file = CreateFileW((skin + entry.cFileName).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        std::vector<uint8_t> bytes(GetFileSize(file, nullptr));
        DWORD read = 0;
        ReadFile(file, bytes.data(), DWORD(bytes.size()), &read, nullptr);
        CloseHandle(file);
        DecodedPng decoded;
        ASSERT_EQ(DecodePng(bytes.data(), bytes.size(), decoded), ZelPngOk);
        EXPECT_EQ(decoded.width, 16u);
        EXPECT_EQ(decoded.height, 16u);
        int visible = 0;
        for (size_t p = 3; p < decoded.pixels.size(); p += 4) visible += decoded.pixels[p] >= 64;
        EXPECT_GE(visible, 20);
        ++pictures;
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    // The program's 78 and those of the three plug-ins.
    EXPECT_EQ(pictures, 176);
}
