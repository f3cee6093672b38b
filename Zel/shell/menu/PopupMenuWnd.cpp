#include "Zel/shell/menu/PopupMenuWnd.h"

namespace {
PopupMenuRunner g_runner;
void* g_runnerContext;
}

void SetPopupMenuRunner(PopupMenuRunner runner, void* context)
{
    g_runner = runner;
    g_runnerContext = context;
}

PopupMenuResult ShowPopupMenu(const CPopupMenu& menu, const RECT& area, const POINT& anchor, int alignment, HWND,
                              bool)
{
    if (g_runner) return g_runner(g_runnerContext, menu, area, anchor, alignment);
    return PopupMenuResult{nullptr, -1, 0};
}
