#include "Handheld/FileSystemRoot.h"

#include <mutex>
#include <string>

namespace {

std::mutex g_lock;
std::wstring g_root;  // empty: the program's drive

std::wstring ProgramDrive()
{
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring text(path);
    if (text.size() >= 3 && text[1] == L':') return text.substr(0, 2) + L"\\";
    return L"C:\\";
}

}  // namespace

extern "C" DWORD GetDeviceRootFolder(LPWSTR buffer, DWORD size)
{
    std::wstring root;
    {
        std::lock_guard<std::mutex> hold(g_lock);
        root = g_root;
    }
    if (root.empty()) root = ProgramDrive();
    if (buffer && size > 0) {
        const size_t count = root.size() < size - 1 ? root.size() : size - 1;
        root.copy(buffer, count);
        buffer[count] = 0;
    }
    return DWORD(root.size());
}

extern "C" void SetDeviceRootFolder(LPCWSTR folder)
{
    std::lock_guard<std::mutex> hold(g_lock);
    g_root = folder ? folder : L"";
    if (!g_root.empty() && g_root.back() != L'\\') g_root += L'\\';
}
