#include "ZELCommon/MUIController.h"

#include "Handheld/Kernel.h"

namespace MUI {

namespace {

const wchar_t kGetStringExport[] = L"?MUI_GetString@@YA_NHAAVCZELString@@@Z";

// A language is a file-name part: a separator would reach a library outside the modules' folder.
bool IsPlainName(const CZELString& language)
{
    const wchar_t* text = language.GetBuffer();
    for (int i = 0; i < language.GetLength(); ++i) {
        if (text[i] == L'\\' || text[i] == L'/' || text[i] == L':') return false;
    }
    return true;
}

}  // namespace

CZELWMMUI_Controller::CZELWMMUI_Controller(const CZELString& folder, const CZELString& prefix,
                                           const CZELString& defaultLanguage, TextFunction builtIn)
    : modulePrefix(folder + prefix),
      currentLanguage(defaultLanguage),
      module(nullptr),
      currentFunction(builtIn),
      defaultLanguage(defaultLanguage),
      builtInFunction(builtIn)
{
}

CZELWMMUI_Controller::~CZELWMMUI_Controller()
{
    UnloadModule();
}

void CZELWMMUI_Controller::UnloadModule()
{
    if (module) FreeLibrary(module);
    module = nullptr;
}

void CZELWMMUI_Controller::ChangeLang(const CZELString& language)
{
    if (language == currentLanguage) return;

    if (language == defaultLanguage) {
        UnloadModule();
        currentLanguage = defaultLanguage;
        currentFunction = builtInFunction;
        return;
    }

    if (!IsPlainName(language)) return;
    HMODULE loaded = LoadLibraryW((modulePrefix + language + L".dll").GetBuffer());
    if (!loaded) return;
    TextFunction function = reinterpret_cast<TextFunction>(reinterpret_cast<void*>(::GetProcAddressW(loaded, kGetStringExport)));
    if (!function) {
        FreeLibrary(loaded);
        return;
    }
    // The new module is in hand before the old one goes, so a failure above kept the old language.
    UnloadModule();
    module = loaded;
    currentFunction = function;
    currentLanguage = language;
}

void CZELWMMUI_Controller::GetString(int id, CZELString& out) const
{
    if (currentFunction && currentFunction(id, out)) return;
    if (builtInFunction && currentFunction != builtInFunction) builtInFunction(id, out);
}

void CZELWMMUI_Controller::SetWinText(const CZELWMMUI_Controller* controller, HWND window, int id)
{
    CZELString text;
    if (controller) controller->GetString(id, text);
    SetWindowTextW(window, text.GetBuffer() ? text.GetBuffer() : L"");
}

void CZELWMMUI_Controller::SetWinText(const CZELWMMUI_Controller* controller, HWND dialog, int itemId, int id)
{
    SetWinText(controller, GetDlgItem(dialog, itemId), id);
}

}  // namespace MUI
