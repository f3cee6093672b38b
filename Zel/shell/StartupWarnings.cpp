#include "Zel/shell/StartupWarnings.h"

#include "Zel/core/settings/SettingsStore.h"
#include "Zel/shell/CoreServices.h"
#include "Zel/shell/UserWarning.h"

#include <cwchar>
#include <string>

namespace {

// The platform's text for an error, without its line break; empty when it has none.
CZELString ErrorText(unsigned long error)
{
    wchar_t text[512] = L"";
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                                  sizeof text / sizeof text[0], nullptr);
    while (length > 0 && (text[length - 1] == L'\n' || text[length - 1] == L'\r' || text[length - 1] == L' ')) --length;
    return CZELString(text, int(length));
}

}  // namespace

CZELString SettingsFileWarning(const CZELString& path, unsigned long error)
{
    if (error == 0) return CZELString();
    CZELString what = error == ERROR_FILE_READ_ONLY ? CZELString(L"The settings file is read-only:\n")
                                                    : CZELString(L"The settings file could not be read:\n");
    wchar_t code[32];
    swprintf(code, sizeof code / sizeof code[0], L"(error %lu)", error);
    CZELString reason = ErrorText(error);
    return what + path + L"\n" + (reason.IsEmpty() ? CZELString() : reason + L" ") + code +
           L"\n\nIt is left as it is: settings changed while the program runs will not be saved.";
}

void ShowStartupWarnings(HWND owner)
{
    if (!SettingsStoreService) return;
    const CZELString warning = SettingsFileWarning(SettingsStoreService->FilePath(), SettingsStoreService->FileError());
    if (!warning.IsEmpty()) {
        // The reason also goes to the debugger's output, one line, for whoever looks after the device.
        std::wstring line = L"ZEL: " + std::wstring(warning.GetBuffer(), size_t(warning.GetLength()));
        for (wchar_t& c : line)
            if (c == L'\n') c = L' ';
        OutputDebugStringW((line + L"\n").c_str());
    }
    ShowUserWarning(owner, warning);
}
