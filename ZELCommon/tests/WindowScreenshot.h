// Screenshots for window tests: what a window shows, read back through GDI and saved as a PNG that
// a person can open. BitBlt from the window's DC is used because PrintWindow leaves the picture
// black under Wine. The PNG is written without compression (stored deflate blocks), which every
// reader accepts and needs no third-party code.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace TestSupport {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB, rows top to bottom

    uint32_t At(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

// 0x00RRGGBB of a COLORREF, for comparing with Image pixels.
inline uint32_t Rgb(COLORREF colour)
{
    return (uint32_t(GetRValue(colour)) << 16) | (uint32_t(GetGValue(colour)) << 8) | GetBValue(colour);
}

// The client area (wholeWindow false) or the whole window with its frame (true) as it stands on
// the screen. False when there is nothing to read.
bool CaptureWindow(HWND window, bool wholeWindow, Image* out);

uint32_t Crc32(const uint8_t* data, size_t length, uint32_t crc = 0);
uint32_t Adler32(const uint8_t* data, size_t length);
// An 8-bit RGB PNG of the image.
std::vector<uint8_t> EncodePng(const Image& image);
bool WriteFileBytes(const std::wstring& path, const std::vector<uint8_t>& bytes);

// bin\screenshots\<name> beside the test program, the folder made when missing.
std::wstring ScreenshotPath(const wchar_t* name);
// Captures and saves in one step; the path is returned in savedPath when given.
bool SaveScreenshot(HWND window, bool wholeWindow, const wchar_t* name, std::wstring* savedPath = nullptr);

}  // namespace TestSupport
