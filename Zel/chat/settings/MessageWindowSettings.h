// MessageWindowSettings: how the chat window looks and handles keys, loaded from the settings store
// with the chat window and stored when it goes. Every value read is bounded, so a damaged file gives
// a usable window.
#pragma once

#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELString.h"

#include <windows.h>

#include <functional>

class CSettingsStore;

// What a soft key does; the value is also its place in the settings page's lists.
enum SoftKeyAction { SoftKeySend = 0, SoftKeySmilies, SoftKeyMenu, SoftKeyMinimize, SoftKeyCloseTab, SoftKeyClose };

class MessageWindowSettings {
public:
    // The texts of the interface language by number (163 to 165 are the default replies); without
    // one the English texts are used.
    typedef std::function<CZELString(int)> TextSource;

    // Loads at once; a null store gives the defaults.
    explicit MessageWindowSettings(CSettingsStore* store, TextSource texts = TextSource());
    MessageWindowSettings(const MessageWindowSettings&) = delete;
    MessageWindowSettings& operator=(const MessageWindowSettings&) = delete;
    // Frees the fonts and stores the values.
    ~MessageWindowSettings();

    void Load();
    void Save();
    void ResetReplies();
    void SetTextSource(TextSource source) { texts = source; }

    // Font handles made by the chat window from the stored fonts; the record deletes them.
    HFONT headFont, subheadFont, textFont, linkFont, editFont;

    int showNames;
    int showTime;
    int messageFromNewLine;
    CZELString yourName;
    LOGFONTW headLogFont;
    LOGFONTW subheadLogFont;
    LOGFONTW textLogFont;
    int maxLines;  // 1 to 5
    int showSendButton;
    int sendOnEnter;
    int typingNotify;
    LOGFONTW editLogFont;
    int smiliesPerMessage;  // 0 to 99
    int compactSmileyDialog;
    int showBar;
    int barSmileyButton;
    int barSendButton;
    int sendRepliesAtOnce;
    int repliesInContextMenu;
    CZELArray<CZELString> replies;
    int caretLeftRight;
    int caretUpDown;
    int volumeForScroll;
    int leftSoftKey;
    int rightSoftKey;

    static const int kMinLines = 1, kMaxLines = 5;
    static const int kMaxSmilies = 99;

    static LOGFONTW DefaultFont(int height, int weight);
    void SetDefaults();
    void DeleteFonts();

private:
    CZELString Text(int number) const;
    void ReadFont(const wchar_t* key, LOGFONTW& font, const LOGFONTW& fallback);
    void ReadReplies();

    CSettingsStore* store;
    TextSource texts;
};

static_assert(sizeof(LOGFONTW) == 92, "fonts are stored as 92-byte records");
