#include "Zel/prefs/AboutDialog.h"

#include "Zel/prefs/PreferencesPage.h"
#include "Zel/shell/app/GuiResources.h"
#include "ZELCommon/ZELSystemInfo.h"
#include "ZELCommon/ZELWMUI_HiDpi.h"

#include <cwchar>

namespace {

enum { IconId = 1123, TitleId = 1122, BuildId = 1121, CreditsId = 1056, OkText = 243, TrademarkText = 229 };

}  // namespace

AboutDialog::AboutDialog() : AboutDialog(CZELSystemInfo::ZELVersion()) {}

AboutDialog::AboutDialog(unsigned build) : build(build), titleFont(nullptr) {}

AboutDialog::~AboutDialog()
{
    if (titleFont) DeleteObject(titleFont);
}

void AboutDialog::OnInitDialog()
{
    UI::CZELWMUI_BigDlg::OnInitDialog();
    LOGFONTW font = {};
    font.lfHeight = (g_HIDPI_LogPixelsX * 24 + 48) / 96;
    font.lfWeight = FW_BOLD;
    wcscpy(font.lfFaceName, L"Tahoma");
    titleFont = CreateFontIndirectW(&font);
    if (titleFont) SendMessageW(GetDlgItem(TitleId), WM_SETFONT, WPARAM(titleFont), TRUE);
    CZELString text = AboutBuildText(build);
    SetDlgItemTextW(hwnd, BuildId, text.GetBuffer());
    text = AboutCreditsText();
    SetDlgItemTextW(hwnd, CreditsId, text.GetBuffer());
}

int AboutDialog::GetSoftKeyCap(TSoftKey key, CZELString& caption)
{
    if (key != SoftKeyLeft) return 0;
    caption = GuiText(OkText);
    return 1;
}

void AboutDialog::OnSoftKey(TSoftKey key)
{
    if (key == SoftKeyLeft) EndDialog(IDOK);
}

HBRUSH AboutDialog::GetBkBrush()
{
    HBRUSH brush = GuiBackgroundBrush();
    return brush ? brush : UI::CZELWMUI_BigDlg::GetBkBrush();
}

HBRUSH AboutDialog::OnCtlColor(HDC dc, HWND control)
{
    if (GetDlgCtrlID(control) != TitleId) return UI::CZELWMUI_BigDlg::OnCtlColor(dc, control);
    POINT origin = {0, 0};
    ClientToScreen(control, &origin);
    SetBrushOrgEx(dc, -origin.x, -origin.y, nullptr);
    SetTextColor(dc, TitleColor);
    SetBkMode(dc, TRANSPARENT);
    return GetBkBrush();
}

CZELString AboutBuildText(unsigned build)
{
    wchar_t text[32];
    swprintf(text, 32, L"Build: %.4u", build);
    return CZELString(text);
}

CZELString AboutCreditsText()
{
    CZELString text(L"ZEL PDA. All rights reserved.\r\n\r\n");
    text += GuiText(TrademarkText);
    text += L"\r\n\r\n"
            L"This program uses the zlib compression library, (C) Jean-loup Gailly and Mark Adler, "
            L"provided 'as-is', without any express or implied warranty.\r\n\r\n"
            L"This program uses libpng, the PNG reference library, (C) the PNG Reference Library "
            L"Authors, provided 'as is', without warranty of any kind.\r\n\r\n"
            L"Thanks to everyone who tested the program and translated its texts.";
    return text;
}

void ShowAboutDialog(HWND owner)
{
    AboutDialog dialog;
    dialog.DoModal(AboutDialog::TemplateId, PreferencesModule(), owner);
}
