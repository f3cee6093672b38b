#include "Zel/chat/gif/GifImage.h"

#include <cstring>
#include <new>

bool GifFrame::Init(int frameWidth, int frameHeight, int bits)
{
    Free();
    if (frameWidth <= 0 || frameHeight <= 0 || bits < 1 || bits > 8) return false;
    if (static_cast<long long>(frameWidth) * frameHeight > kGifMaxFramePixels) return false;
    int rowBytes = (frameWidth + 3) & ~3;
    pixels.reset(new (std::nothrow) unsigned char[size_t(rowBytes) * size_t(frameHeight)]());
    if (!pixels) return false;
    width = frameWidth;
    height = frameHeight;
    colorBits = bits;
    stride = rowBytes;

    std::memset(&bitmapInfo, 0, sizeof bitmapInfo);
    BITMAPINFOHEADER& h = bitmapInfo.header;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = frameWidth;
    h.biHeight = -frameHeight;  // rows top first
    h.biPlanes = 1;
    h.biBitCount = 8;
    h.biCompression = BI_RGB;
    h.biXPelsPerMeter = 11811;
    h.biYPelsPerMeter = 11811;
    return true;
}

void GifFrame::Free()
{
    pixels.reset();
    width = height = colorBits = stride = 0;
}

long long GifImage::FrameBytes(int width, int height)
{
    return static_cast<long long>((width + 3) & ~3) * height + static_cast<long long>(sizeof(GifFrame));
}

void GifImage::AddFrame(std::unique_ptr<GifFrame> frame)
{
    bytes += FrameBytes(frame->width, frame->height);
    frames.push_back(std::move(frame));
}

void GifImage::Free()
{
    frames.clear();
    bytes = 0;
    width = height = 0;
}
