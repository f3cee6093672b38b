// CChatLogView: one conversation on a rich-text view. Each ChatLogEntry becomes one paragraph: the
// line's picture, a head (name, time) and the text with its links (and smiley pictures once a pack
// provides its codes). An acknowledgement finds its sent line again by the message number.
#pragma once

#include "Zel/chat/ChatDlg.h"
#include "Zel/chat/ChatLogHost.h"
#include "Zel/chat/TextView.h"
#include "Zel/chat/log/LogSpans.h"
#include "Zel/chat/smiley/AnimationSchedule.h"

#include <memory>
#include <vector>

class CSmileyCellElement;

// The line's picture (a skin image), with the message number and kind an acknowledgement looks for.
class CMessageIconElement : public ITextElement {
public:
    CMessageIconElement(int image, int messageNumber, int lineKind)
        : image(image), messageNumber(messageNumber), lineKind(lineKind) {}
    void Measure(SIZE* size) override;
    void Paint(HDC dc, POINT at) override;
    const wchar_t* GetText() override { return L""; }

    int image;
    int messageNumber;
    int lineKind;
};

// The dashed line between older history and the new messages.
class CSeparatorElement : public ITextElement {
public:
    void Measure(SIZE* size) override;
    void Paint(HDC dc, POINT at) override;
    const wchar_t* GetText() override { return L""; }
};

// A smiley picture in a message: the smiley pack's picture, animated while it lives when it has
// frames to show; without a loaded pack it has no size and draws nothing.
class CSmileyElement : public ITextElement {
public:
    CSmileyElement(int smiley, int code, const std::wstring& codeText, IAnimatedElementOwner* owner = nullptr);
    ~CSmileyElement() override;
    void Measure(SIZE* size) override;
    void Paint(HDC dc, POINT at) override;
    const wchar_t* GetText() override { return codeText.c_str(); }

    int smiley;
    int code;
    std::wstring codeText;

private:
    std::unique_ptr<CSmileyCellElement> cell;
};

enum ChatLogOp { ChatLogCopy = 0, ChatLogQuote = 2, ChatLogQuoteLast = 3, ChatLogClear = 4 };

class CChatLogView : public CTextView, private ITextViewHost, private IAnimatedElementOwner {
public:
    static CChatLogView* Create(HWND parent, const RECT& rect, IChatLogHost* host);
    ~CChatLogView() override;

    void AddEntry(const ChatLogEntry& entry);
    // plain: texts as they are, without links or smiley pictures (the history dialog).
    void AddEntries(const CZELArray<ChatLogEntry>& entries, bool plain);
    // The newest outgoing line with the acknowledged number takes the acknowledgement's picture.
    bool MarkAcked(const ChatAck& ack);
    void SmiliesToText();
    void ClearAll();
    bool CanDo(int op) const;
    void Do(int op);
    // Opens a link of the log ("www." addresses as http).
    static bool OpenLink(const wchar_t* link, int length);

    // The codes of the smiley pack in use; null (the default) finds links only.
    static void SetSmileyCodes(const ISmileyCodes* codes) { smileyCodes = codes; }

    void OnChar(wchar_t character, LPARAM keyData) override;
    void OnContextMenu(const POINT& point) override;
    // The skin's background, white while there is no skin.
    HBRUSH GetBkBrush() override;

    const std::vector<CMessageIconElement*>& Icons() const { return icons; }

private:
    explicit CChatLogView(IChatLogHost* host);

    void GetStyle(Style* out, int style) override;
    void GetSelectionColors(COLORREF* text, COLORREF* background) override;
    int GetCaretHeight() override;
    int OnLinkActivated(const wchar_t* link, int length, const wchar_t* paragraphText) override;
    int IsCaretKeyEnabled(int which) override;

    void BuildEntryParagraph(const ChatLogEntry& entry, bool plain);
    void AppendWithSpans(TextParagraph& paragraph, const std::wstring& text, bool plain, int style);
    int TrimSmilies();

    struct SmileyRecord {
        CSmileyElement* element;
        int paragraph;
        int style;
    };

    IChatLogHost* logHost;
    std::vector<CMessageIconElement*> icons;
    std::vector<SmileyRecord> smilies;
    std::vector<CSeparatorElement*> separators;
    static const ISmileyCodes* smileyCodes;

    // A smiley's new frame: the view is painted again.
    void OnFrameChanged(AnimatedElement* element, int frame) override;
};
