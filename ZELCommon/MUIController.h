// MUI::CZELWMMUI_Controller: a component's user-interface texts by number. The component's own
// table holds its default language; another language comes from a module, the library
// prefix + language + ".dll" exporting MUI_GetString. The module is asked first and the built-in
// table answers whatever the module lacks, so a partial translation still shows every text.
// Used from the component's user-interface thread; not synchronised.
#pragma once

#include "ZELCommon/ZELCommonApi.h"
#include "ZELCommon/ZELString.h"

#include <windows.h>

namespace MUI {

// Fills out and returns true for a text number it knows; false leaves out alone.
typedef bool (*TextFunction)(int id, CZELString& out);

class ZELCOMMON_API CZELWMMUI_Controller {
public:
    // Modules are looked for as folder + prefix + language + ".dll".
    CZELWMMUI_Controller(const CZELString& folder, const CZELString& prefix, const CZELString& defaultLanguage,
                         TextFunction builtIn);
    ~CZELWMMUI_Controller();

    // A copy would hold the same module and free it a second time.
    CZELWMMUI_Controller(const CZELWMMUI_Controller&) = delete;
    CZELWMMUI_Controller& operator=(const CZELWMMUI_Controller&) = delete;

    // Switches to the language; a module that is missing or lacks the export leaves the language
    // in force as it was.
    void ChangeLang(const CZELString& language);
    // Text of the number in the current language, else from the built-in table; out is left as
    // it was when neither knows the number.
    void GetString(int id, CZELString& out) const;
    CZELString GetCurLang() const { return currentLanguage; }
    CZELString GetDefLang() const { return defaultLanguage; }

    // Sets the text of a window, or of a dialog's item, to text number id (empty when unknown).
    static void SetWinText(const CZELWMMUI_Controller* controller, HWND window, int id);
    static void SetWinText(const CZELWMMUI_Controller* controller, HWND dialog, int itemId, int id);

private:
    void UnloadModule();

    CZELString modulePrefix;
    CZELString currentLanguage;
    HMODULE module;
    TextFunction currentFunction;
    CZELString defaultLanguage;
    TextFunction builtInFunction;
};

}  // namespace MUI
