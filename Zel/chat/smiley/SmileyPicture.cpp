#include "Zel/chat/smiley/SmileyPicture.h"

#include "Zel/chat/gif/ZELWMSmile_GifLoad.h"

namespace {

const int kDisposeNone = 0;
const int kDisposeKeep = 1;
const int kDisposeBackground = 2;
const int kDisposePrevious = 3;

uint32_t PixelWord(const RGBQUAD& c)
{
    return (uint32_t(c.rgbRed) << 16) | (uint32_t(c.rgbGreen) << 8) | c.rgbBlue;
}

uint32_t PixelWord(COLORREF c)
{
    return (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
}

SmileyFrame MakeFrame(const GifFrame& decoded, int index, int previousDisposal)
{
    SmileyFrame frame;
    frame.left = decoded.left;
    frame.top = decoded.top;
    frame.width = decoded.width;
    frame.height = decoded.height;
    frame.delay = decoded.delay < kSmileyMinDelay ? kSmileyMinDelay : decoded.delay;
    frame.baseFrame = SmileyBaseFrame(index, previousDisposal);
    const RGBQUAD* palette = decoded.Palette();
    if (decoded.transparentIndex >= 0) {
        const RGBQUAD& key = palette[decoded.transparentIndex];
        frame.transparentColor = RGB(key.rgbRed, key.rgbGreen, key.rgbBlue);
    }
    // Every byte value has a table entry: the table holds 256.
    frame.pixels.resize(size_t(decoded.width) * size_t(decoded.height));
    uint32_t* out = frame.pixels.data();
    for (int y = 0; y < decoded.height; ++y) {
        const unsigned char* row = decoded.Row(y);
        for (int x = 0; x < decoded.width; ++x) *out++ = PixelWord(palette[row[x]]);
    }
    return frame;
}

}  // namespace

int SmileyBaseFrame(int index, int previousDisposal)
{
    int disposal = index == 0 ? kDisposeBackground : previousDisposal;
    if (disposal == kDisposeNone) disposal = kDisposeKeep;
    if (disposal == kDisposePrevious && index <= 1) disposal = kDisposeBackground;
    if (disposal == kDisposeKeep) return index - 1;
    if (disposal == kDisposePrevious) return index - 2;
    return -1;
}

void MakeSmileyFrames(const GifImage& image, SmileyPicture& picture)
{
    picture.frames.clear();
    picture.width = picture.height = 0;
    if (image.Count() == 0) return;
    picture.width = image.width;
    picture.height = image.height;
    picture.frames.reserve(size_t(image.Count()));
    for (int i = 0; i < image.Count(); ++i)
        picture.frames.push_back(MakeFrame(*image.frames[size_t(i)], i, i > 0 ? image.frames[size_t(i) - 1]->disposal : 0));
}

bool LoadSmileyFrames(SmileyPicture& picture)
{
    GifImage image;
    LoadGif(image, picture.path.GetBuffer() ? picture.path.GetBuffer() : L"");
    MakeSmileyFrames(image, picture);
    return !picture.frames.empty();
}

std::vector<int> SmileyPaintOrder(const std::vector<SmileyFrame>& frames, int n,
                                  const std::function<bool(int)>& drawable)
{
    std::vector<int> order;
    if (frames.empty()) return order;
    int last = int(frames.size()) - 1;
    int current = n < 0 ? 0 : n > last ? last : n;
    // Walked from the top down; each step moves to a lower index, so the walk ends.
    for (;;) {
        const SmileyFrame& frame = frames[size_t(current)];
        bool hasBase = frame.baseFrame >= 0 && frame.baseFrame < current;
        if (drawable(current)) order.push_back(current);
        if (hasBase) {
            current = frame.baseFrame;
        } else if (!drawable(current) && current > 0 && frame.baseFrame < 0) {
            current = current - 1;
        } else {
            break;
        }
    }
    return std::vector<int>(order.rbegin(), order.rend());
}

std::vector<int> SmileyPaintOrder(const std::vector<SmileyFrame>& frames, int n)
{
    return SmileyPaintOrder(frames, n, [&frames](int i) { return !frames[size_t(i)].pixels.empty(); });
}

int ComposeSmileyFrame(const SmileyPicture& picture, int n, uint32_t* canvas, int canvasWidth, int canvasHeight)
{
    std::vector<int> order = SmileyPaintOrder(picture.frames, n);
    for (int index : order) {
        const SmileyFrame& frame = picture.frames[size_t(index)];
        bool keyed = frame.transparentColor != CLR_INVALID;
        uint32_t key = keyed ? PixelWord(frame.transparentColor) : 0;
        for (int y = 0; y < frame.height; ++y) {
            long long cy = static_cast<long long>(frame.top) + y;
            if (cy < 0 || cy >= canvasHeight) continue;
            const uint32_t* source = frame.pixels.data() + size_t(y) * size_t(frame.width);
            uint32_t* target = canvas + size_t(cy) * size_t(canvasWidth);
            for (int x = 0; x < frame.width; ++x) {
                long long cx = static_cast<long long>(frame.left) + x;
                if (cx < 0 || cx >= canvasWidth || (keyed && source[x] == key)) continue;
                target[cx] = source[x];
            }
        }
    }
    return int(order.size());
}
