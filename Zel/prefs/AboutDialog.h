// AboutDialog: the program's name, icon, build number and credits, with OK on the left soft key.
#pragma once

#include "ZELCommon/ZELString.h"
#include "ZELCommon/ZELWMUI_BigDlg.h"

#include <windows.h>

class AboutDialog : public UI::CZELWMUI_BigDlg {
public:
    enum { TemplateId = 155, TitleColor = 0x414141 };

    // build: the number shown; the program's own by default.
    AboutDialog();
    explicit AboutDialog(unsigned build);
    ~AboutDialog() override;

    void OnInitDialog() override;
    int GetSoftKeyCap(TSoftKey key, CZELString& caption) override;
    void OnSoftKey(TSoftKey key) override;
    HBRUSH GetBkBrush() override;
    HBRUSH OnCtlColor(HDC dc, HWND control) override;

private:
    unsigned build;
    HFONT titleFont;
};

// "Build: " and at least four digits.
CZELString AboutBuildText(unsigned build);
// The credits: rights, text 229, the libraries' notices.
CZELString AboutCreditsText();
// Runs the box modally over owner.
void ShowAboutDialog(HWND owner);
