#include "Zel/shell/skin/SkinPictureFile.h"

#include "Zel/shell/helpers/FileHelpers.h"

#include <memory>
#include <new>

namespace {

// The DIB section the decoder fills.
struct SectionRoom {
    HBITMAP bitmap = nullptr;
};

unsigned char* AllocateSection(void* context, unsigned width, unsigned height)
{
    SectionRoom& room = *static_cast<SectionRoom*>(context);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = LONG(width);
    info.bmiHeader.biHeight = LONG(height);  // positive: bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = DWORD(width) * height * 4;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    room.bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (screen) ReleaseDC(nullptr, screen);
    return room.bitmap ? static_cast<unsigned char*>(bits) : nullptr;
}

unsigned char* AllocateVector(void* context, unsigned width, unsigned height)
{
    DecodedPng& out = *static_cast<DecodedPng*>(context);
    try {
        out.pixels.assign(size_t(width) * height * 4, 0);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return out.pixels.data();
}

}  // namespace

bool LoadSkinPictureFromBytes(const unsigned char* data, size_t size, CSkinPicture& picture)
{
    picture.Free();
    SectionRoom room;
    unsigned width = 0, height = 0;
    if (ZelPngDecode(data, size, AllocateSection, &room, &width, &height) != ZelPngOk) {
        if (room.bitmap) DeleteObject(room.bitmap);
        return false;
    }
    picture.bitmap = room.bitmap;
    picture.width = int(width);
    picture.height = int(height);
    return true;
}

void LoadSkinPicture(const wchar_t* path, CSkinPicture& picture)
{
    picture.Free();
    unsigned size = 0;
    std::unique_ptr<unsigned char[]> data(ReadWholeFile(path, &size, kMaxSkinFileBytes));
    if (data) LoadSkinPictureFromBytes(data.get(), size, picture);
}

int DecodePng(const unsigned char* data, size_t size, DecodedPng& out)
{
    out = DecodedPng();
    int result = ZelPngDecode(data, size, AllocateVector, &out, &out.width, &out.height);
    if (result != ZelPngOk) out = DecodedPng();
    return result;
}
