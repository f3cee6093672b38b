#include "Zel/shell/UserWarning.h"

namespace {

const wchar_t kCaption[] = L"ZEL PDA";

UserWarningInterceptor interceptor = nullptr;
void* interceptorContext = nullptr;

}  // namespace

void ShowUserWarning(HWND owner, const CZELString& text)
{
    if (text.IsEmpty()) return;
    if (interceptor) {
        interceptor(text.GetBuffer(), interceptorContext);
        return;
    }
    MessageBoxW(owner, text.GetBuffer(), kCaption, MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
}

void SetUserWarningInterceptor(UserWarningInterceptor newInterceptor, void* context)
{
    interceptor = newInterceptor;
    interceptorContext = context;
}
