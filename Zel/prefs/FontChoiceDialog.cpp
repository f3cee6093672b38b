#include "Zel/prefs/FontChoiceDialog.h"

#include "Zel/prefs/PreferencesPage.h"
#include "Zel/shell/app/GuiResources.h"
#include "ZELCommon/ZELWMUI_HiDpi.h"

#include <cwchar>
#include <string>

namespace {

enum {
    FaceLabel = 1083, SizeLabel = 1084, FaceList = 1032, SizeList = 1014, BoldBox = 1049, ItalicBox = 1050,
    UnderlineBox = 1051, StrikeBox = 1019, PreviewId = 1056, DefaultSizeIndex = 5, FaceChars = LF_FACESIZE - 1,
};

LOGFONTW StartFont()
{
    LOGFONTW font = {};
    font.lfHeight = 14;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    wcscpy(font.lfFaceName, L"Tahoma");
    return font;
}

LOGFONTW g_font = StartFont();

int CALLBACK AddFace(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM context)
{
    const LRESULT added = SendMessageW(HWND(context), CB_ADDSTRING, 0, LPARAM(font->lfFaceName));
    return added == CB_ERR || added == CB_ERRSPACE ? 0 : 1;
}

// A face name copied into a LOGFONTW: at most 31 characters, always ended.
void CopyFace(wchar_t* out, const wchar_t* face)
{
    size_t i = 0;
    for (; i < FaceChars && face[i]; ++i) out[i] = face[i];
    out[i] = 0;
}

}  // namespace

const int FontChoiceDialog::Sizes[SizeCount] = {8, 9, 10, 11, 12, 13, 14, 16, 20, 24, 28, 36};

LOGFONTW& EditedFont()
{
    return g_font;
}

FontChoiceDialog::FontChoiceDialog(const LOGFONTW& font) : preview(nullptr)
{
    g_font = font;
    // A caller's face without its end is cut here too.
    g_font.lfFaceName[FaceChars] = 0;
}

FontChoiceDialog::~FontChoiceDialog()
{
    if (preview) DeleteObject(preview);
}

void FontChoiceDialog::OnInitDialog()
{
    UI::CZELWMUI_BigDlg::OnInitDialog();
}

int FontChoiceDialog::DoDataExchange(int save)
{
    if (save) {
        g_font = Chosen();
        return 1;
    }
    const struct {
        int id, text;
    } labels[] = {{FaceLabel, 257}, {SizeLabel, 258}, {1114, 259}, {1115, 260}, {1116, 261}, {1117, 262}, {PreviewId, 263}};
    for (const auto& label : labels) SetDlgItemTextW(hwnd, label.id, GuiText(label.text).GetBuffer());

    HWND faces = GetDlgItem(FaceList);
    SendMessageW(faces, CB_RESETCONTENT, 0, 0);
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesW(screen, nullptr, AddFace, LPARAM(faces));
    ReleaseDC(nullptr, screen);
    const int faceCount = int(SendMessageW(faces, CB_GETCOUNT, 0, 0));
    int selected = -1;
    for (int i = 0; i < faceCount && selected < 0; ++i) {
        wchar_t name[LF_FACESIZE * 2] = L"";
        if (SendMessageW(faces, CB_GETLBTEXTLEN, WPARAM(i), 0) >= LF_FACESIZE * 2) continue;
        SendMessageW(faces, CB_GETLBTEXT, WPARAM(i), LPARAM(name));
        if (wcscmp(name, g_font.lfFaceName) == 0) selected = i;
    }
    SendMessageW(faces, CB_SETCURSEL, WPARAM(selected >= 0 ? selected : 0), 0);

    HWND sizes = GetDlgItem(SizeList);
    SendMessageW(sizes, CB_RESETCONTENT, 0, 0);
    int sizeIndex = DefaultSizeIndex;
    for (int i = 0; i < SizeCount; ++i) {
        wchar_t text[8];
        swprintf(text, 8, L"%d", Sizes[i]);
        const LRESULT added = SendMessageW(sizes, CB_ADDSTRING, 0, LPARAM(text));
        if (added == CB_ERR || added == CB_ERRSPACE) break;
        if (Sizes[i] == g_font.lfHeight) sizeIndex = i;
    }
    SendMessageW(sizes, CB_SETCURSEL, WPARAM(sizeIndex), 0);

    CheckDlgButton(hwnd, BoldBox, g_font.lfWeight == FW_BOLD ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hwnd, ItalicBox, g_font.lfItalic ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hwnd, UnderlineBox, g_font.lfUnderline ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hwnd, StrikeBox, g_font.lfStrikeOut ? BST_CHECKED : BST_UNCHECKED);
    UpdatePreview();
    return 1;
}

LOGFONTW FontChoiceDialog::Chosen() const
{
    LOGFONTW font = g_font;
    HWND faces = GetDlgItem(FaceList);
    const LRESULT face = SendMessageW(faces, CB_GETCURSEL, 0, 0);
    if (face != CB_ERR) {
        const LRESULT length = SendMessageW(faces, CB_GETLBTEXTLEN, WPARAM(face), 0);
        if (length != CB_ERR && length >= 0) {
            std::wstring name(size_t(length) + 1, L'\0');
            SendMessageW(faces, CB_GETLBTEXT, WPARAM(face), LPARAM(&name[0]));
            CopyFace(font.lfFaceName, name.c_str());
        }
    }
    const LRESULT size = SendMessageW(GetDlgItem(SizeList), CB_GETCURSEL, 0, 0);
    if (size >= 0 && size < SizeCount) font.lfHeight = Sizes[size];
    font.lfWeight = IsDlgButtonChecked(hwnd, BoldBox) == BST_CHECKED ? FW_BOLD : FW_NORMAL;
    font.lfItalic = IsDlgButtonChecked(hwnd, ItalicBox) == BST_CHECKED;
    font.lfUnderline = IsDlgButtonChecked(hwnd, UnderlineBox) == BST_CHECKED;
    font.lfStrikeOut = IsDlgButtonChecked(hwnd, StrikeBox) == BST_CHECKED;
    return font;
}

void FontChoiceDialog::UpdatePreview()
{
    LOGFONTW font = Chosen();
    const int height = font.lfHeight < 0 ? -font.lfHeight : font.lfHeight;
    const int scaled = (height * g_HIDPI_LogPixelsY + 48) / 96;
    font.lfHeight = font.lfHeight < 0 ? -scaled : scaled;
    HFONT made = CreateFontIndirectW(&font);
    SendMessageW(GetDlgItem(PreviewId), WM_SETFONT, WPARAM(made), TRUE);
    if (preview) DeleteObject(preview);
    preview = made;
}

void FontChoiceDialog::OnCommand(WORD notifyCode, WORD id, HWND control)
{
    if ((id == FaceList || id == SizeList) && notifyCode == CBN_SELCHANGE)
        UpdatePreview();
    else if ((id == BoldBox || id == ItalicBox || id == UnderlineBox || id == StrikeBox) && notifyCode == BN_CLICKED)
        UpdatePreview();
    else
        UI::CZELWMUI_BigDlg::OnCommand(notifyCode, id, control);
}

int FontChoiceDialog::GetSoftKeyCap(TSoftKey key, CZELString& caption)
{
    caption = GuiText(key == SoftKeyLeft ? 243 : 244);
    return 1;
}

void FontChoiceDialog::OnSoftKey(TSoftKey key)
{
    EndDialog(key == SoftKeyLeft ? IDOK : IDCANCEL);
}

bool RunFontChoiceDialog(HWND owner, LOGFONTW& font)
{
    FontChoiceDialog dialog(font);
    if (dialog.DoModal(FontChoiceDialog::TemplateId, PreferencesModule(), owner) != IDOK) return false;
    font = EditedFont();
    return true;
}
