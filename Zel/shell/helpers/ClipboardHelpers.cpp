#include "Zel/shell/helpers/ClipboardHelpers.h"

#include <windows.h>

#include <cwchar>

void CopyTextToClipboard(const wchar_t* text)
{
    if (!text) return;
    size_t length = wcslen(text);
    // A desktop clipboard takes movable global memory.
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (length + 1) * sizeof(wchar_t));
    if (!block) return;
    wchar_t* copy = static_cast<wchar_t*>(GlobalLock(block));
    if (!copy) {
        GlobalFree(block);
        return;
    }
    wmemcpy(copy, text, length + 1);
    GlobalUnlock(block);
    if (!OpenClipboard(nullptr)) {
        GlobalFree(block);
        return;
    }
    EmptyClipboard();
    // From here on the clipboard owns the block.
    if (!SetClipboardData(CF_UNICODETEXT, block)) GlobalFree(block);
    CloseClipboard();
}

int PasteTextFromClipboard(wchar_t* buffer, int capacity)
{
    if (!OpenClipboard(nullptr)) return 0;
    int result = 0;
    HANDLE block = GetClipboardData(CF_UNICODETEXT);
    const wchar_t* text = block ? static_cast<const wchar_t*>(GlobalLock(block)) : nullptr;
    if (text) {
        int units = int(GlobalSize(block) / sizeof(wchar_t));
        if (!buffer || capacity < units + 1) {
            result = units + 1;
        } else {
            wmemcpy(buffer, text, size_t(units));
            buffer[units] = 0;
            result = units;
        }
        GlobalUnlock(block);
    }
    CloseClipboard();
    return result;
}

bool ClipboardHasText()
{
    return IsClipboardFormatAvailable(CF_UNICODETEXT) != 0;
}
