// The tray icon: the global status, drawn from the status's pictures, on the user-interface thread.
#include "Zel/shell/app/Application.h"

#include "Zel/core/accounts/ProtocolsManager.h"
#include "Zel/core/skin/SkinPicture.h"
#include "Zel/shell/CoreServices.h"

#include <vector>

void CApplication::UpdateTrayIcon()
{
    if (!settings.trayIcon || !mainWindow) return;
    StatusEntry entry;
    int status = 0;
    if (ProtocolsManagerService && ProtocolsManagerService->GetStatus(0, &status) == 0)
        ProtocolsManagerService->GetStatusInfo(0, status, &entry);
    HICON icon = BuildStatusIcon(entry.images);
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof data;
    data.hWnd = mainWindow;
    data.uID = TrayIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON;
    data.uCallbackMessage = WM_APP_TRAY;
    data.hIcon = icon;
    trayNotify(trayIcon ? NIM_MODIFY : NIM_ADD, &data);
    if (trayIcon) DestroyIcon(trayIcon);
    trayIcon = icon;
}

void CApplication::RemoveTrayIcon()
{
    if (!trayIcon) return;
    DestroyIcon(trayIcon);
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof data;
    data.hWnd = mainWindow;
    data.uID = TrayIconId;
    trayNotify(NIM_DELETE, &data);
    trayIcon = nullptr;
}

void CApplication::ShowTrayIcon(bool on)
{
    if (on && !trayIcon) UpdateTrayIcon();
    else if (!on && trayIcon) RemoveTrayIcon();
}

HICON CApplication::BuildStatusIcon(const CZELArray<int>& pictures)
{
    int side = CSkinPicture::IconWidth();
    HDC screen = GetDC(nullptr);
    if (!screen) return nullptr;
    HBITMAP colour = CreateCompatibleBitmap(screen, side, side);
    HBITMAP mask = CreateCompatibleBitmap(screen, side, side);
    HDC dc = CreateCompatibleDC(screen);
    HICON icon = nullptr;
    if (colour && mask && dc) {
        RECT square = {0, 0, side, side};
        HGDIOBJ previous = SelectObject(dc, colour);
        FillRect(dc, &square, HBRUSH(GetStockObject(BLACK_BRUSH)));
        bool drawn = pictures.GetCount() > 0 && pictures[0] != -1;
        if (drawn)
            for (int i = 0; i < pictures.GetCount(); ++i) images.Draw(pictures[i], dc, POINT{0, 0}, 255);
        std::vector<COLORREF> drawnPixels;
        if (drawn)
            for (int y = 0; y < side; ++y)
                for (int x = 0; x < side; ++x) drawnPixels.push_back(GetPixel(dc, x, y));
        SelectObject(dc, mask);
        FillRect(dc, &square, HBRUSH(GetStockObject(WHITE_BRUSH)));
        // The icon shows wherever the pictures left a colour.
        for (size_t i = 0; i < drawnPixels.size(); ++i)
            if (drawnPixels[i] != RGB(0, 0, 0)) SetPixel(dc, int(i) % side, int(i) / side, RGB(0, 0, 0));
        SelectObject(dc, previous);
        ICONINFO info = {TRUE, 0, 0, mask, colour};
        icon = CreateIconIndirect(&info);
    }
    if (dc) DeleteDC(dc);
    if (colour) DeleteObject(colour);
    if (mask) DeleteObject(mask);
    ReleaseDC(nullptr, screen);
    return icon;
}
