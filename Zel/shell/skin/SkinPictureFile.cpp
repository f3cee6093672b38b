#include "Zel/shell/skin/SkinPictureFile.h"

#include "Zel/shell/helpers/FileHelpers.h"

#include <memory>
#include <new>

namespace {

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

int DecodePng(const unsigned char* data, size_t size, DecodedPng& out, bool bottomUp)
{
    out = DecodedPng();
    int result = ZelPngDecode(data, size, bottomUp ? 1 : 0, AllocateVector, &out, &out.width, &out.height);
    if (result != ZelPngOk) out = DecodedPng();
    return result;
}

bool LoadSkinPictureFromBytes(const unsigned char* data, size_t size, CSkinPicture& picture)
{
    picture.Free();
    DecodedPng decoded;
    if (DecodePng(data, size, decoded, false) != ZelPngOk) return false;
    // A 32-bit bitmap made from the rows (top-down, four bytes a pixel, so every row is aligned)
    // blends like a DIB section at a fraction of its cost to make and to free.
    picture.bitmap = CreateBitmap(int(decoded.width), int(decoded.height), 1, 32, decoded.pixels.data());
    if (!picture.bitmap) return false;
    picture.width = int(decoded.width);
    picture.height = int(decoded.height);
    return true;
}

void LoadSkinPicture(const wchar_t* path, CSkinPicture& picture)
{
    picture.Free();
    unsigned size = 0;
    std::unique_ptr<unsigned char[]> data(ReadWholeFile(path, &size, kMaxSkinFileBytes));
    if (data) LoadSkinPictureFromBytes(data.get(), size, picture);
}
