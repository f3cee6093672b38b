#include "WindowScreenshot.h"

#include <cstdio>

namespace TestSupport {

bool CaptureWindow(HWND window, bool wholeWindow, Image* out)
{
    RECT area = {};
    if (wholeWindow) {
        GetWindowRect(window, &area);
        OffsetRect(&area, -area.left, -area.top);
    } else {
        GetClientRect(window, &area);
    }
    int width = area.right, height = area.bottom;
    if (width <= 0 || height <= 0) return false;

    HDC source = wholeWindow ? GetWindowDC(window) : GetDC(window);
    if (!source) return false;
    HDC memory = CreateCompatibleDC(source);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = memory && bitmap && bits;
    if (ok) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        ok = BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY) != 0;
        GdiFlush();
        if (ok) {
            out->width = width;
            out->height = height;
            out->pixels.assign((const uint32_t*)bits, (const uint32_t*)bits + size_t(width) * height);
            for (uint32_t& pixel : out->pixels) pixel &= 0x00FFFFFF;
        }
        SelectObject(memory, previous);
    }
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
    ReleaseDC(window, source);
    return ok;
}

uint32_t Crc32(const uint8_t* data, size_t length, uint32_t crc)
{
    crc = ~crc;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

uint32_t Adler32(const uint8_t* data, size_t length)
{
    uint32_t a = 1, b = 0;
    for (size_t i = 0; i < length; ++i) {
        a = (a + data[i]) % 65521u;
        b = (b + a) % 65521u;
    }
    return (b << 16) | a;
}

namespace {

void PutBig32(std::vector<uint8_t>& out, uint32_t value)
{
    out.push_back(uint8_t(value >> 24));
    out.push_back(uint8_t(value >> 16));
    out.push_back(uint8_t(value >> 8));
    out.push_back(uint8_t(value));
}

void PutChunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& data)
{
    PutBig32(out, uint32_t(data.size()));
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBig32(out, Crc32(&out[start], out.size() - start));
}

}  // namespace

std::vector<uint8_t> EncodePng(const Image& image)
{
    // Rows of filter type 0 (none) followed by the RGB bytes.
    std::vector<uint8_t> raw;
    raw.reserve(size_t(image.height) * (size_t(image.width) * 3 + 1));
    for (int y = 0; y < image.height; ++y) {
        raw.push_back(0);
        for (int x = 0; x < image.width; ++x) {
            uint32_t pixel = image.At(x, y);
            raw.push_back(uint8_t(pixel >> 16));
            raw.push_back(uint8_t(pixel >> 8));
            raw.push_back(uint8_t(pixel));
        }
    }

    // A zlib stream of stored blocks, at most 65535 bytes each.
    std::vector<uint8_t> zlib = {0x78, 0x01};
    size_t offset = 0;
    do {
        size_t length = raw.size() - offset;
        if (length > 65535) length = 65535;
        bool last = offset + length == raw.size();
        zlib.push_back(last ? 1 : 0);
        zlib.push_back(uint8_t(length));
        zlib.push_back(uint8_t(length >> 8));
        zlib.push_back(uint8_t(~length));
        zlib.push_back(uint8_t(~length >> 8));
        zlib.insert(zlib.end(), raw.begin() + offset, raw.begin() + offset + length);
        offset += length;
    } while (offset < raw.size());
    PutBig32(zlib, Adler32(raw.data(), raw.size()));

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<uint8_t> header;
    PutBig32(header, uint32_t(image.width));
    PutBig32(header, uint32_t(image.height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter choice, no interlace
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", zlib);
    PutChunk(png, "IEND", {});
    return png;
}

bool WriteFileBytes(const std::wstring& path, const std::vector<uint8_t>& bytes)
{
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (!file) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && ok;
}

std::wstring ScreenshotPath(const wchar_t* name)
{
    wchar_t module[MAX_PATH] = L"";
    DWORD length = GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring folder(module, length);
    size_t slash = folder.find_last_of(L"\\/");
    folder = slash == std::wstring::npos ? std::wstring(L".") : folder.substr(0, slash);
    folder += L"\\screenshots";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\" + name;
}

bool SaveScreenshot(HWND window, bool wholeWindow, const wchar_t* name, std::wstring* savedPath)
{
    Image image;
    if (!CaptureWindow(window, wholeWindow, &image)) return false;
    std::wstring path = ScreenshotPath(name);
    if (savedPath) *savedPath = path;
    return WriteFileBytes(path, EncodePng(image));
}

}  // namespace TestSupport
