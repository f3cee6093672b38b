// An account's settings pages as the account settings dialog holds them: made by the account, their
// windows made on a host window of the handheld's size, and saved in order as "OK" saves them.
#pragma once

#include "Zel/core/accounts/IProtocolsManager.h"
#include "ZELCommon/ZELTabDlg_IPan.h"
#include "ZELCommon/ZELWMUI_SettingsPan.h"

#include <windows.h>

#include <string>
#include <vector>

namespace JabberTest {

class SettingsPagesDriver {
public:
    explicit SettingsPagesDriver(IProtocolsManager& manager) : manager(manager)
    {
        parent = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 240, 320, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~SettingsPagesDriver()
    {
        Clear();
        DestroyWindow(parent);
    }
    SettingsPagesDriver(const SettingsPagesDriver&) = delete;
    SettingsPagesDriver& operator=(const SettingsPagesDriver&) = delete;

    // Account id's pages, their windows made as the tabbed dialog makes them.
    std::vector<HWND> Open(unsigned id)
    {
        Clear();
        manager.GetSettingsPages(id, &pages);
        std::vector<HWND> windows;
        for (int i = 0; i < pages.GetCount(); ++i) windows.push_back(Page(i)->Create(parent));
        return windows;
    }
    // "OK": every page saves in order; false when one refused.
    bool Save()
    {
        bool saved = true;
        for (int i = 0; i < pages.GetCount(); ++i)
            saved = static_cast<UI::CZELWMUI_TabPan*>(Page(i))->DoDataExchange(1) == 1 && saved;
        return saved;
    }
    void Clear()
    {
        for (int i = 0; i < pages.GetCount(); ++i) delete Page(i);
        pages = ZELTabDlg::PanList();
    }
    UI::CZELWMUI_SettingsPan* Page(int i) { return dynamic_cast<UI::CZELWMUI_SettingsPan*>(pages[i]); }

    ZELTabDlg::PanList pages;

private:
    IProtocolsManager& manager;
    HWND parent = nullptr;
};

// Types text into control as the keyboard would, after emptying it.
inline void TypeInto(HWND control, const std::wstring& text)
{
    SendMessageW(control, WM_SETTEXT, 0, LPARAM(L""));
    for (wchar_t c : text) SendMessageW(control, WM_CHAR, WPARAM(c), 0);
}

}  // namespace JabberTest
