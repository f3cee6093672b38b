#include "Zel/chat/ChatLogView.h"

#include "Zel/chat/AnimatedPictureWnd.h"
#include "Zel/chat/SmileyPack.h"
#include "Zel/chat/settings/MessageWindowSettings.h"
#include "Zel/core/skin/SkinImageSet.h"
#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/helpers/ClipboardHelpers.h"
#include "Zel/shell/menu/PopupMenuWnd.h"
#include "Zel/shell/skin/ColorScheme.h"
#include "Handheld/Shell.h"

#include <algorithm>

namespace {

// The codes of the smiley pack in use; none while it loads or when there is none.
class PackSmileyCodes : public ISmileyCodes {
public:
    int GetSmileyCount() const override
    {
        const CSmileyPack& pack = SmileyPackInUse();
        return pack.IsLoaded() ? int(pack.CodeTable().size()) : 0;
    }
    int GetCodeCount(int smiley) const override { return int(SmileyPackInUse().CodeTable()[size_t(smiley)].size()); }
    std::wstring GetCode(int smiley, int code) const override
    {
        return SmileyPackInUse().CodeTable()[size_t(smiley)][size_t(code)];
    }
};

const PackSmileyCodes g_packCodes;

enum {
    StyleInName = 1, StyleOutName, StyleInTime, StyleOutTime, StyleEventName, StyleEventTime,
    StyleInText, StyleOutText
};

std::wstring Wide(const CZELString& s) { return s.GetBuffer() ? std::wstring(s.GetBuffer(), size_t(s.GetLength())) : std::wstring(); }

}  // namespace

const ISmileyCodes* CChatLogView::smileyCodes = &g_packCodes;

CSmileyElement::CSmileyElement(int smiley, int code, const std::wstring& codeText, IAnimatedElementOwner* owner)
    : smiley(smiley), code(code), codeText(codeText)
{
    const CSmileyPack& pack = SmileyPackInUse();
    if (pack.IsLoaded() && smiley >= 0 && smiley < pack.GetCount())
        cell.reset(new CSmileyCellElement(pack, smiley, owner));
}

CSmileyElement::~CSmileyElement() = default;

void CSmileyElement::Measure(SIZE* size)
{
    *size = cell ? cell->Size() : SIZE{0, 0};
}

void CSmileyElement::Paint(HDC dc, POINT at)
{
    if (cell) cell->Paint(dc, at.x, at.y);
}

void CChatLogView::OnFrameChanged(AnimatedElement*, int)
{
    if (hwnd) InvalidateRect(hwnd, nullptr, FALSE);
}

void CMessageIconElement::Measure(SIZE* size)
{
    size->cx = (g_HIDPI_LogPixelsX + 3) * 16 / 96;
    size->cy = (g_HIDPI_LogPixelsY + 3) * 16 / 96;
}

void CMessageIconElement::Paint(HDC dc, POINT at)
{
    if (CSkinImageSet* images = GuiImages()) images->Draw(image, dc, at, 255);
}

void CSeparatorElement::Measure(SIZE* size)
{
    size->cx = UI::HIDPI_ScaleX(100);
    size->cy = 1;
}

void CSeparatorElement::Paint(HDC dc, POINT at)
{
    HPEN pen = CreatePen(PS_DASH, 1, GetSchemeColor(20));
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, at.x + UI::HIDPI_ScaleX(5), at.y, nullptr);
    LineTo(dc, at.x + UI::HIDPI_ScaleX(100), at.y);
    SelectObject(dc, old);
    DeleteObject(pen);
}

CChatLogView::CChatLogView(IChatLogHost* host) : CTextView(nullptr), logHost(host)
{
    this->host = this;
}

CChatLogView* CChatLogView::Create(HWND parent, const RECT& rect, IChatLogHost* host)
{
    CChatLogView* view = new CChatLogView(host);
    if (!view->CTextView::Create(GetModuleHandleW(nullptr), parent, WS_VISIBLE, rect)) {
        delete view;
        return nullptr;
    }
    return view;
}

CChatLogView::~CChatLogView()
{
    // The paragraphs refer to the elements: they go first.
    Clear();
    ClearAll();
}

void CChatLogView::GetStyle(Style* out, int style)
{
    out->font = nullptr;
    out->color = 0;
    if (logHost) logHost->GetStyle(out, style);
}

void CChatLogView::GetSelectionColors(COLORREF* text, COLORREF* background)
{
    if (logHost) logHost->GetSelectionColors(text, background);
}

int CChatLogView::GetCaretHeight()
{
    MessageWindowSettings* settings = logHost ? logHost->GetSettings() : nullptr;
    return settings ? settings->textLogFont.lfHeight : 14;
}

int CChatLogView::OnLinkActivated(const wchar_t* link, int length, const wchar_t*)
{
    OpenLink(link, length);
    return 1;
}

int CChatLogView::IsCaretKeyEnabled(int which)
{
    MessageWindowSettings* settings = logHost ? logHost->GetSettings() : nullptr;
    if (!settings) return 1;
    return which == 0 ? settings->caretLeftRight : settings->caretUpDown;
}

bool CChatLogView::OpenLink(const wchar_t* link, int length)
{
    if (!link || length <= 0) return false;
    std::wstring address(link, size_t(length));
    if (address[0] == L'w') address = L"http://" + address;
    // The address comes from the network: the handheld layer takes http(s) addresses only.
    return ShellOpenAddress(address.c_str()) != FALSE;
}

void CChatLogView::AppendWithSpans(TextParagraph& paragraph, const std::wstring& text, bool plain, int style)
{
    std::vector<LogSpan> spans;
    if (!plain) {
        MessageWindowSettings* settings = logHost ? logHost->GetSettings() : nullptr;
        spans = FindSpans(text, smileyCodes, settings ? settings->smiliesPerMessage : 10);
    }
    int at = 0;
    for (const LogSpan& span : spans) {
        paragraph.AppendText(text.c_str() + at, span.start - at, style);
        if (span.kind == LogSpanLink) {
            paragraph.AppendText(text.c_str() + span.start, span.length, STYLE_LINK);
        } else {
            CSmileyElement* element = new CSmileyElement(span.smiley, span.code, text.substr(size_t(span.start), size_t(span.length)), this);
            paragraph.AppendElement(element);
            smilies.push_back(SmileyRecord{element, GetParagraphCount(), style});
        }
        at = span.start + span.length;
    }
    paragraph.AppendText(text.c_str() + at, int(text.size()) - at, style);
}

void CChatLogView::BuildEntryParagraph(const ChatLogEntry& entry, bool plain)
{
    MessageWindowSettings* settings = logHost ? logHost->GetSettings() : nullptr;
    bool names = !settings || settings->showNames, times = settings && settings->showTime;
    bool newLine = settings && settings->messageFromNewLine;
    std::wstring name = Wide(entry.name), time = Wide(entry.timeText), text = Wide(entry.text);
    TextParagraph* paragraph = new TextParagraph(int(name.size() + time.size() + text.size()) + 10);
    int kind = entry.direction;
    if (kind == ChatLineIncoming || kind == ChatLineOutgoing || kind == ChatLineEvent) {
        CMessageIconElement* icon = new CMessageIconElement(entry.kind, entry.messageNumber, kind);
        icons.push_back(icon);
        paragraph->AppendElement(icon);
    }
    if (kind == ChatLineIncoming || kind == ChatLineOutgoing) {
        bool out = kind == ChatLineOutgoing;
        int h = out ? StyleOutText : StyleInText;
        if (names) {
            h = out ? StyleOutName : StyleInName;
            paragraph->AppendText(L" ", 1, h);
            paragraph->AppendText(name.c_str(), int(name.size()), h);
        }
        if (times) {
            h = out ? StyleOutTime : StyleInTime;
            paragraph->AppendText(L" ", 1, h);
            paragraph->AppendText(time.c_str(), int(time.size()), h);
        }
        if (newLine) paragraph->AppendChar(kLineSeparator, h);
        else paragraph->AppendText(L": ", 2, h);
        AppendWithSpans(*paragraph, text, plain, out ? StyleOutText : StyleInText);
    } else if (kind == ChatLineEvent) {
        paragraph->AppendText(L" ", 1, StyleEventName);
        paragraph->AppendText(name.c_str(), int(name.size()), StyleEventName);
        paragraph->AppendText(L" ", 1, StyleEventTime);
        paragraph->AppendText(time.c_str(), int(time.size()), StyleEventTime);
    } else if (kind == ChatLineSeparator) {
        CSeparatorElement* separator = new CSeparatorElement;
        separators.push_back(separator);
        paragraph->AppendElement(separator);
    } else {
        delete paragraph;
        return;
    }
    AddParagraph(paragraph);
}

int CChatLogView::TrimSmilies()
{
    MessageWindowSettings* settings = logHost ? logHost->GetSettings() : nullptr;
    int limit = settings ? settings->smiliesPerMessage : 10;
    int excess = int(smilies.size()) - limit;
    if (excess < 1) return -1;
    int first = smilies.front().paragraph;
    for (int i = 0; i < excess; ++i) {
        SmileyRecord& r = smilies[size_t(i)];
        ReplaceElement(r.paragraph, r.element, r.element->codeText.c_str(), int(r.element->codeText.size()), r.style);
        delete r.element;
    }
    smilies.erase(smilies.begin(), smilies.begin() + excess);
    return first;
}

void CChatLogView::AddEntry(const ChatLogEntry& entry)
{
    int before = GetParagraphCount();
    BuildEntryParagraph(entry, false);
    if (GetParagraphCount() == before) return;
    int r = TrimSmilies();
    ParagraphsAdded(r < 0 ? 1 : GetParagraphCount() - r);
    MoveCaret(CARET_DOC_END, false);
    UI::CZELWMUI_WndBase::Redraw(UI::PaintFull);
}

void CChatLogView::AddEntries(const CZELArray<ChatLogEntry>& entries, bool plain)
{
    int before = GetParagraphCount();
    for (int i = 0; i < entries.GetCount(); ++i) BuildEntryParagraph(entries[i], plain);
    int n = GetParagraphCount() - before;
    if (!plain) {
        int r = TrimSmilies();
        if (r >= 0) n = std::max(n, GetParagraphCount() - r);
    }
    if (n > 0) ParagraphsAdded(n);
    MoveCaret(CARET_DOC_END, false);
    UI::CZELWMUI_WndBase::Redraw(UI::PaintFull);
}

bool CChatLogView::MarkAcked(const ChatAck& ack)
{
    // Only a line the user sent is acknowledged; an incoming one may carry the same number.
    for (auto it = icons.rbegin(); it != icons.rend(); ++it) {
        if ((*it)->lineKind == ChatLineOutgoing && (*it)->messageNumber == ack.messageNumber) {
            (*it)->image = ack.image;
            UI::CZELWMUI_WndBase::Redraw(UI::PaintFull);
            return true;
        }
    }
    return false;
}

void CChatLogView::SmiliesToText()
{
    if (smilies.empty()) return;
    int first = smilies.front().paragraph;
    for (SmileyRecord& r : smilies) {
        ReplaceElement(r.paragraph, r.element, r.element->codeText.c_str(), int(r.element->codeText.size()), r.style);
        delete r.element;
    }
    smilies.clear();
    ParagraphsAdded(GetParagraphCount() - first);
    UI::CZELWMUI_WndBase::Redraw(UI::PaintFull);
}

void CChatLogView::ClearAll()
{
    Clear();
    for (CMessageIconElement* e : icons) delete e;
    for (SmileyRecord& r : smilies) delete r.element;
    for (CSeparatorElement* e : separators) delete e;
    icons.clear();
    smilies.clear();
    separators.clear();
}

bool CChatLogView::CanDo(int op) const
{
    switch (op) {
    case ChatLogCopy:
    case ChatLogQuote: return HasSelection();
    case ChatLogQuoteLast:
    case ChatLogClear: return GetParagraphCount() > 0;
    }
    return false;
}

void CChatLogView::Do(int op)
{
    if (!CanDo(op)) return;
    std::wstring text;
    switch (op) {
    case ChatLogCopy:
        if (GetSelectedText(text, false)) CopyTextToClipboard(text.c_str());
        break;
    case ChatLogQuote:
        if (GetSelectedText(text, true) && logHost) logHost->InsertText(text.c_str());
        break;
    case ChatLogQuoteLast:
        if (GetLastParagraphText(text, true) && logHost) logHost->InsertText(text.c_str());
        break;
    case ChatLogClear:
        ClearAll();
        break;
    }
}

void CChatLogView::OnChar(wchar_t character, LPARAM keyData)
{
    if (character == L'\t') return;
    if (character == L'\r' && GetParagraphCount() > 0) {
        CTextView::OnChar(character, keyData);
        return;
    }
    // Typing while the log has the focus writes into the composer.
    SendMessageW(Parent(), WM_CHAR, character, keyData);
}

HBRUSH CChatLogView::GetBkBrush()
{
    HBRUSH brush = GuiBackgroundBrush();
    return brush ? brush : static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
}

void CChatLogView::OnContextMenu(const POINT& point)
{
    CPopupMenu menu;
    auto add = [&](int image, int text, int id) {
        menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, image, GuiText(text), id, nullptr, 0, false));
    };
    if (CanDo(ChatLogCopy)) {
        add(36, 131, ChatLogCopy);
        add(39, 133, ChatLogQuote);
    }
    if (CanDo(ChatLogClear)) {
        add(39, 134, ChatLogQuoteLast);
        add(44, 136, ChatLogClear);
    }
    if (menu.GetCount() == 0) return;
    POINT screen = point;
    ClientToScreen(hwnd, &screen);
    RECT area = {};
    GetWindowRect(Parent(), &area);
    PopupMenuResult chosen = ShowPopupMenu(menu, area, screen, 0, hwnd, false);
    if (!chosen.callback && chosen.commandId >= 0) Do(chosen.commandId);
}
