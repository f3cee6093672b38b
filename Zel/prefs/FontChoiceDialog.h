// FontChoiceDialog: face, size and style of a font. The font being edited is one program-wide
// LOGFONTW: the dialog copies the caller's font into it when built, and after OK the caller reads
// it back (EditedFont), so the last edited font stays between runs.
#pragma once

#include "Zel/prefs/SkinnedDialog.h"

#include <windows.h>

class FontChoiceDialog : public SkinnedDialog {
public:
    enum { TemplateId = 146, SizeCount = 12 };
    static const int Sizes[SizeCount];

    explicit FontChoiceDialog(const LOGFONTW& font);
    ~FontChoiceDialog() override;

    void OnInitDialog() override;
    int GetSoftKeyCap(TSoftKey key, CZELString& caption) override;
    void OnSoftKey(TSoftKey key) override;
    void OnCommand(WORD notifyCode, WORD id, HWND control) override;

protected:
    int DoDataExchange(int save) override;

private:
    // The edited font with the controls' choices in it.
    LOGFONTW Chosen() const;
    void UpdatePreview();

    HFONT preview;
};

// The font being edited; Tahoma 14, weight 400, character set 1 at start.
LOGFONTW& EditedFont();
// Runs the dialog over owner on font; true and font replaced after OK.
bool RunFontChoiceDialog(HWND owner, LOGFONTW& font);
