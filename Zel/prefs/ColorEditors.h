// The colour editors: the scheme editor over a copy of the 33 scheme colours, the colour picker
// (three track bars and their numbers) and the palette of 128 cells. The picker's colour and the
// palette's selected cell are program-wide and last for the run.
#pragma once

#include "Zel/prefs/SkinnedDialog.h"
#include "ZELCommon/ZELWMUI_ListImageCtrl.h"

#include <windows.h>

class ColorSchemeEditor : public SkinnedDialog {
public:
    enum { TemplateId = 144, Count = 33 };
    enum { MenuChange = 1, MenuDefault, MenuLoad, MenuSave, MenuCancel };

    ColorSchemeEditor(const COLORREF* colors, const wchar_t* skinName);

    void OnInitDialog() override;
    int GetSoftKeyCap(TSoftKey key, CZELString& caption) override;
    void OnSoftKey(TSoftKey key) override;
    void OnNotify(HWND from, UINT_PTR id, UINT code, NMHDR* header) override;
    void OnDrawItem(UINT id, DRAWITEMSTRUCT* item) override;

    void RunMenuCommand(int command);
    // Runs the picker on the selected row.
    void Change();
    const COLORREF* Colors() const { return colors; }

private:
    COLORREF colors[Count];
    CZELString skinName;
};

class ColorPicker : public SkinnedDialog {
public:
    enum { TemplateId = 141 };
    explicit ColorPicker(COLORREF start);
    ~ColorPicker() override;

    void OnInitDialog() override;
    int GetSoftKeyCap(TSoftKey key, CZELString& caption) override;
    void OnSoftKey(TSoftKey key) override;
    void OnCommand(WORD notifyCode, WORD id, HWND control) override;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    HBRUSH OnCtlColor(HDC dc, HWND control) override;

    // Reads a channel's edit into the colour (modulo 256) and moves its track bar.
    void ReadEdit(int channel);
    // Sets every control from the colour.
    void ShowColor();

protected:
    int DoDataExchange(int save) override;

private:
    void RenewPreview();
    BYTE rgb[3];
    HBRUSH preview;
};

class PaletteGrid;

class PaletteDialog : public SkinnedDialog {
public:
    enum { TemplateId = 142, Cells = 128 };
    PaletteDialog();
    ~PaletteDialog() override;

    void OnInitDialog() override;
    int GetSoftKeyCap(TSoftKey key, CZELString& caption) override;
    void OnSoftKey(TSoftKey key) override;
    // Selects a cell as a tap would.
    void SelectCell(int index);
    void ShowCell(int index);
    // The grid of cells once the dialog stands, else null.
    const UI::CZELWMUI_ListImageCtrl* Grid() const;

private:
    PaletteGrid* grid;
};

// The picker's current colour; the palette's remembered cell (-1 none) and a cell's colour.
COLORREF& PickedColor();
int& PaletteSelection();
COLORREF PaletteColor(int index);

// Run over owner; true after OK.
bool RunColorSchemeEditor(HWND owner, COLORREF* colors, const CZELString& skinName);
bool RunColorPicker(HWND owner, COLORREF& color);
