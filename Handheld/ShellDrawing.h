// Drawing helpers shared by the shell layer's title strip and soft-key bar (internal to the layer).
#pragma once

#include <windows.h>

namespace ShellDrawing {

// The screen's vertical logical pixels per inch.
int ScreenDpi();

// The layer's own module, for its window class.
HINSTANCE LayerModule();

// Draws into a memory bitmap and copies it to the target at once, so a strip never flickers.
// Draws straight on the target when no bitmap can be made.
class BufferedPaint {
public:
    BufferedPaint(HDC target, const RECT& area);
    ~BufferedPaint();
    BufferedPaint(const BufferedPaint&) = delete;
    BufferedPaint& operator=(const BufferedPaint&) = delete;

    // Draw here in the target's coordinates.
    HDC Get() const { return memory ? memory : target; }

private:
    HDC target;
    RECT area;
    HDC memory;
    HBITMAP bitmap;
    HGDIOBJ previousBitmap;
    POINT previousOrigin;
};

void Fill(HDC dc, const RECT& rect, int systemColour);
// One line of text in the rectangle, in the shell's font, with the given DrawText alignment.
void Text(HDC dc, const RECT& rect, const wchar_t* text, int systemColour, UINT alignment);
void Frame(HDC dc, const RECT& rect, int systemColour);

}  // namespace ShellDrawing
