// Text on the clipboard, as CF_UNICODETEXT.
#pragma once

// Puts the zero-terminated text on the clipboard; the clipboard is left as it was when no memory
// can be had or it cannot be opened.
void CopyTextToClipboard(const wchar_t* text);
// Copies the clipboard's text and a zero unit into buffer when capacity (in units) holds both, and
// returns its length u; returns u + 1, copying nothing, when capacity is smaller; 0 without text.
int PasteTextFromClipboard(wchar_t* buffer, int capacity);
bool ClipboardHasText();
