#include "Zel/prefs/SkinnedDialog.h"

#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/skin/ColorScheme.h"

HBRUSH SkinnedDialog::GetBkBrush()
{
    HBRUSH brush = GuiBackgroundBrush();
    return brush ? brush : GetSysColorBrush(COLOR_WINDOW);
}

COLORREF SkinnedDialog::GetTextColor()
{
    return GetSchemeColor(ColorScheme::TextColor);
}
