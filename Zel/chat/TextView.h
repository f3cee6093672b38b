// CTextView: the scrolling, read-only rich-text window under the chat log and the history dialog.
// The layout, caret and selection logic is in textview/; this class measures with the host's fonts,
// keeps one cached layout per width it was shown at, paints the visible paragraphs and turns keys
// and the stylus into caret commands, selections and link taps.
#pragma once

#include "Zel/chat/textview/TextViewState.h"
#include "ZELCommon/ZELWMUI_ScrollWnd.h"

#include <memory>
#include <string>

// The owner of a view: fonts and colours of its styles, and what a link tap does.
class ITextViewHost {
public:
    struct Style {
        HFONT font;
        COLORREF color;
    };
    virtual void GetStyle(Style* out, int style) = 0;
    virtual void GetSelectionColors(COLORREF* text, COLORREF* background) = 0;
    // In 96-dpi units.
    virtual int GetCaretHeight() = 0;
    // Non-zero when the link was handled.
    virtual int OnLinkActivated(const wchar_t* link, int length, const wchar_t* paragraphText) = 0;
    // which: 0 Left/Right, 1 Up/Down; zero lets those keys move the focus out of the view.
    virtual int IsCaretKeyEnabled(int which) = 0;

protected:
    ~ITextViewHost() {}
};

class CTextView : public UI::CZELWMUI_ScrollWnd, private ITextViewStateHost, private ITextMetrics {
public:
    explicit CTextView(ITextViewHost* host);
    ~CTextView() override;

    int Create(HINSTANCE instance, HWND parent, DWORD style, const RECT& rect);

    // Takes the paragraph over; ParagraphsAdded lays it out.
    void AddParagraph(TextParagraph* paragraph);
    void ParagraphsAdded(int n);
    void Relayout();
    void Clear();
    bool ReplaceElement(int paragraph, ITextElement* element, const wchar_t* text, int length, int style);
    void RedrawElement(int paragraph, ITextElement* element);

    void MoveCaret(int command, bool extend);
    bool GetSelectedText(std::wstring& out, bool quote) const { return state()->GetSelectedText(out, quote); }
    bool GetLastParagraphText(std::wstring& out, bool quote) const { return state()->GetLastParagraphText(out, quote); }
    bool GetAllText(std::wstring& out, bool quote) const { return state()->GetAllText(out, quote); }
    bool HasSelection() const { return state() && state()->HasSelection(); }
    bool Find(const wchar_t* text, const FindOptions& options);
    void CopySelection();
    int GetParagraphCount() const { return document.GetCount(); }
    const CTextDocument& Document() const { return document; }
    TextViewState* State() const { return state(); }
    void EnsureCaretVisible();
    void UpdateCaret();
    void UpdateScrollInfo();

    void OnCreate() override;
    void OnWindowPosChanged(WINDOWPOS* position) override;
    void OnKeyDown(int virtualKey) override;
    void OnChar(wchar_t character, LPARAM keyData) override;
    void OnLButtonDown(int keyFlags, const POINT& point) override;
    void OnLButtonUp(int keyFlags, const POINT& point) override;
    void OnMouseMove(int keyFlags, const POINT& point) override;
    void OnSetFocus(HWND previous) override;
    void OnKillFocus(HWND next) override;
    int OnGetDlgCode() override { return DLGC_WANTARROWS | DLGC_WANTCHARS; }
    void Paint(HDC dc) override;
    void OnScroll() override;
    // A long press; the chat log shows its menu.
    virtual void OnContextMenu(const POINT& point);

protected:
    ITextViewHost* host;

private:
    void EdgeReached(int direction) override;
    void Redraw() override { UI::CZELWMUI_WndBase::Redraw(UI::PaintFull); }
    int Measure(int style, const wchar_t* text, int count, int* widths) override;
    TextViewState* state() const { return active == 1 ? stateB.get() : stateA.get(); }
    CTextLayout* layout() const { return active == 1 ? layoutB.get() : layoutA.get(); }
    void WidenDirty(int first, int last);
    void SwitchLayout(int width, int height);
    bool ActivateLinkAt(const TextPosition& position);
    void PaintParagraph(HDC dc, const LaidOutParagraph* laid);

    CTextDocument document;
    std::unique_ptr<CTextLayout> layoutA, layoutB;
    std::unique_ptr<TextViewState> stateA, stateB;
    int active;
    int penState;  // 0 idle, 1 down, 2 selecting, 3 scrolling
    POINT anchor;
    int dirtyFirst, dirtyLast;
    HDC measureDc;
};
