#include "Zel/prefs/SkinnedDialog.h"

#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/skin/ColorScheme.h"

HBRUSH SkinnedBackground()
{
    HBRUSH brush = GuiBackgroundBrush();
    return brush ? brush : GetSysColorBrush(COLOR_WINDOW);
}

COLORREF SkinnedTextColor()
{
    return GetSchemeColor(ColorScheme::TextColor);
}

HBRUSH SkinnedDialog::GetBkBrush()
{
    return SkinnedBackground();
}

COLORREF SkinnedDialog::GetTextColor()
{
    return SkinnedTextColor();
}

HBRUSH SkinnedPage::GetBkBrush()
{
    return SkinnedBackground();
}

COLORREF SkinnedPage::GetTextColor()
{
    return SkinnedTextColor();
}
