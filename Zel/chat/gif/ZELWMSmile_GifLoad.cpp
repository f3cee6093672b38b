#include "Zel/chat/gif/ZELWMSmile_GifLoad.h"

#include "Zel/chat/gif/GifLzw.h"
#include "ZELCommon/ByteReader.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <io.h>
#include <new>
#include <vector>

void (*GifDebugOutput)(const char* line) = OutputDebugStringA;

namespace {

const unsigned char kExtensionIntroducer = 0x21;
const unsigned char kImageSeparator = 0x2C;
const unsigned char kTrailer = 0x3B;
const unsigned char kGraphicControlLabel = 0xF9;

void DebugLine(int line)
{
    char text[64];
    std::snprintf(text, sizeof text, "ERROR: %s line %d: ", ".\\ZELWMSmile_GifLoad", line);
    GifDebugOutput(text);
}

// What a graphic control extension says about the image after it.
struct GraphicControl {
    bool present = false;
    int packed = 0;
    int delay = 0;
    int transparentIndex = 0;
};

// Skips data sub-blocks up to their terminator, or to the end of the data.
void SkipSubBlocks(ByteReader& in)
{
    for (;;) {
        unsigned length = in.U8();
        if (in.Failed() || length == 0) return;
        if (!in.Skip(length)) return;
    }
}

GraphicControl ReadGraphicControl(ByteReader& in)
{
    GraphicControl control;
    unsigned length = in.U8();
    if (in.Failed() || length == 0) return control;
    const unsigned char* block = in.Bytes(length);
    if (block && length >= 4) {
        control.present = true;
        control.packed = block[0];
        control.delay = block[1] | (block[2] << 8);
        control.transparentIndex = block[3];
    }
    if (block) SkipSubBlocks(in);
    return control;
}

// Reads 2^bits triples (red, green, blue) into table as RGBQUADs; false when the data ends first.
bool ReadColourTable(ByteReader& in, int bits, RGBQUAD* table)
{
    int count = 1 << bits;
    const unsigned char* rgb = in.Bytes(size_t(count) * 3);
    if (!rgb) return false;
    for (int i = 0; i < count; ++i, rgb += 3) table[i] = RGBQUAD{rgb[2], rgb[1], rgb[0], 0};
    return true;
}

// The image data's sub-blocks back to back in data; a cut sub-block gives the bytes that exist.
void CollectImageData(ByteReader& in, std::vector<unsigned char>& data)
{
    data.clear();
    for (;;) {
        unsigned length = in.U8();
        if (in.Failed() || length == 0) return;
        size_t take = length <= in.Remaining() ? length : in.Remaining();
        const unsigned char* bytes = in.Bytes(take);
        if (bytes) data.insert(data.end(), bytes, bytes + take);
        if (take < length) {
            in.Skip(length);  // sets the end of the data
            return;
        }
    }
}

class GifDecoder {
public:
    GifDecoder(GifImage& image, const unsigned char* bytes, size_t size) : image(image), in(bytes, size) {}

    int Run()
    {
        image.Free();
        const unsigned char* signature = in.Bytes(6);
        if (!signature || std::memcmp(signature, "GIF", 3) != 0) {
            DebugLine(GifLineSignature);
            return 0;
        }
        image.width = in.U16LE();
        image.height = in.U16LE();
        unsigned packed = in.U8();
        in.Skip(2);  // background colour and aspect ratio
        globalBits = int(packed & 7) + 1;
        std::memset(globalTable, 0, sizeof globalTable);
        if (packed & 0x80) {
            ReadColourTable(in, globalBits, globalTable);
        } else {
            for (int i = 0; i < (1 << globalBits); ++i) globalTable[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
        }

        while (!in.Failed()) {
            unsigned char block = in.U8();
            if (in.Failed() || block == kTrailer) break;
            if (block == kExtensionIntroducer) {
                unsigned char label = in.U8();
                if (label == kGraphicControlLabel) {
                    control = ReadGraphicControl(in);
                } else {
                    SkipSubBlocks(in);
                }
            } else if (block == kImageSeparator) {
                ReadImage();
                control = GraphicControl();
            }
            // Any other byte is ignored.
        }
        if (image.Count() == 0) DebugLine(GifLineNoFrame);
        return image.Count();
    }

private:
    void ReadImage()
    {
        int left = in.U16LE(), top = in.U16LE(), width = in.U16LE(), height = in.U16LE();
        unsigned packed = in.U8();
        bool local = (packed & 0x80) != 0;
        int bits = local ? int(packed & 7) + 1 : globalBits;
        if (local) ReadColourTable(in, bits, localTable);
        int minimumCodeSize = in.U8();
        CollectImageData(in, data);
        if (in.Failed() && data.empty()) {
            DebugLine(GifLineImageData);
            return;
        }

        long long pixels = static_cast<long long>(width) * height;
        auto frame = std::make_unique<GifFrame>();
        if (minimumCodeSize > kLzwMaxMinimumCodeSize || pixels > kGifMaxFramePixels ||
            image.Bytes() + GifImage::FrameBytes(width, height) > kGifMaxImageBytes || !frame->Init(width, height, bits)) {
            DebugLine(GifLineImageData);
            return;
        }
        frame->left = left;
        frame->top = top;
        int count = 1 << bits;
        std::memcpy(frame->Palette(), local ? localTable : globalTable, sizeof(RGBQUAD) * size_t(count));
        if (control.present) {
            // An index outside the table would name no colour: no transparency then.
            bool transparent = (control.packed & 1) && control.transparentIndex < count;
            frame->transparentIndex = transparent ? control.transparentIndex : -1;
            frame->disposal = (control.packed >> 2) & 7;
            frame->delay = control.delay * 10;
        }
        if (frame->transparentIndex >= 0) ChooseGifKeyColour(frame->Palette(), count, frame->transparentIndex);

        if (!DecodeLzw(data.data(), data.size(), frame->pixels.get(), minimumCodeSize, frame->stride, width, height,
                       (packed & 0x40) != 0)) {
            DebugLine(GifLineImageData);
            return;
        }
        image.AddFrame(std::move(frame));
    }

    GifImage& image;
    ByteReader in;
    int globalBits = 1;
    RGBQUAD globalTable[256];
    RGBQUAD localTable[256];
    GraphicControl control;
    std::vector<unsigned char> data;
};

int ReadAndDecode(GifImage& image, FILE* file)
{
    image.Free();
    if (!file) {
        DebugLine(GifLineFileNotOpened);
        return 0;
    }
    // Read whole into a buffer of the file's size: no larger block than the file needs.
    long long length = _filelengthi64(_fileno(file));
    bool ok = length >= 0 && static_cast<unsigned long long>(length) <= kGifMaxFileBytes;
    std::unique_ptr<unsigned char[]> bytes(ok ? new (std::nothrow) unsigned char[size_t(length) + 1] : nullptr);
    size_t total = bytes ? std::fread(bytes.get(), 1, size_t(length), file) : 0;
    ok = ok && bytes && total == size_t(length);
    std::fclose(file);
    if (!ok) {
        DebugLine(GifLineFileNotOpened);
        return 0;
    }
    return DecodeGif(image, bytes.get(), total);
}

}  // namespace

int LoadGif(GifImage& image, const char* path)
{
    return ReadAndDecode(image, path ? std::fopen(path, "rb") : nullptr);
}

int LoadGif(GifImage& image, const wchar_t* path)
{
    return ReadAndDecode(image, path ? _wfopen(path, L"rb") : nullptr);
}

int DecodeGif(GifImage& image, const unsigned char* data, size_t size)
{
    return GifDecoder(image, data, size).Run();
}

void ChooseGifKeyColour(RGBQUAD* palette, int count, int transparentIndex)
{
    if (transparentIndex < 0 || transparentIndex >= count) return;
    // One bit per candidate box: red, green, blue in steps of 16, blue the lowest digit.
    uint64_t taken[4096 / 64] = {};
    for (int i = 0; i < count; ++i) {
        if (i == transparentIndex) continue;
        const RGBQUAD& c = palette[i];
        int box = ((c.rgbRed >> 4) << 8) | ((c.rgbGreen >> 4) << 4) | (c.rgbBlue >> 4);
        taken[box >> 6] |= uint64_t(1) << (box & 63);
    }
    // At most 255 boxes are taken, so a free one is always found.
    int box = 0;
    for (int word = 0; word < 4096 / 64; ++word) {
        if (~taken[word]) {
            box = word * 64 + __builtin_ctzll(~taken[word]);
            break;
        }
    }
    palette[transparentIndex] = RGBQUAD{BYTE((box & 15) << 4), BYTE(((box >> 4) & 15) << 4), BYTE((box >> 8) << 4), 0};
}
