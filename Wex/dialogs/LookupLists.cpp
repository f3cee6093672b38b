#include "Wex/dialogs/LookupLists.h"

#include <algorithm>
#include <string>

bool LookupList::Insert(int code, const CZELString& text)
{
    auto at = std::lower_bound(entries.begin(), entries.end(), text,
                               [](const LookupEntry& entry, const CZELString& t) { return entry.text.Compare(t) < 0; });
    if (at != entries.end() && at->text == text) return false;
    entries.insert(at, LookupEntry{code, text});
    return true;
}

namespace {

void ParseLine(LookupList& list, const std::wstring& line)
{
    const size_t semicolon = line.find(L';');
    int code = 0;
    const size_t codeEnd = semicolon == std::wstring::npos ? line.size() : semicolon;
    // Digits up to the first other character; more than nine would overflow and are not codes.
    for (size_t i = 0; i < codeEnd && i < 9 && line[i] >= L'0' && line[i] <= L'9'; ++i) code = code * 10 + (line[i] - L'0');
    std::wstring text;
    if (semicolon != std::wstring::npos)
        for (size_t i = semicolon + 1; i < line.size(); ++i)
            if (line[i] != L';') text += line[i];
    list.Insert(code, CZELString(text.c_str()));
}

}  // namespace

void LookupList::Parse(const unsigned char* bytes, size_t size)
{
    std::wstring units;
    units.reserve(size / 2);
    // An odd last byte is no character.
    for (size_t i = 0; i + 1 < size; i += 2) units += wchar_t(bytes[i] | (bytes[i + 1] << 8));
    size_t start = !units.empty() && units[0] == 0xFEFF ? 1 : 0;  // an editor's byte-order mark is no code
    while (start < units.size()) {
        size_t end = units.find(L"\r\n", start);
        const bool last = end == std::wstring::npos;
        if (last) end = units.size();
        const size_t length = end - start;
        // Empty lines carry nothing; an overlong one is skipped, the lines after it still count.
        if (length > 0 && length <= size_t(LongestLine)) ParseLine(*this, units.substr(start, length));
        if (last) break;
        start = end + 2;
    }
}

bool LookupList::Load(const CZELString& path)
{
    HANDLE file = CreateFileW(path.GetBuffer() ? path.GetBuffer() : L"", GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    // The lists are a few hundred lines: a file past a megabyte is no list.
    if (!GetFileSizeEx(file, &size) || size.QuadPart > (1 << 20)) {
        CloseHandle(file);
        return false;
    }
    std::vector<unsigned char> bytes(size_t(size.QuadPart));
    DWORD read = 0;
    const bool ok = bytes.empty() || ReadFile(file, bytes.data(), DWORD(bytes.size()), &read, nullptr);
    CloseHandle(file);
    if (!ok) return false;
    Parse(bytes.data(), read);
    return true;
}

CZELString LookupList::Text(int code) const
{
    for (const LookupEntry& entry : entries)
        if (entry.code == code) return entry.text;
    return CZELString();
}

namespace LookupLists {
namespace {

LookupList lists[Count];
int openSets = 0;

}  // namespace

const wchar_t* FileName(Kind kind)
{
    static const wchar_t* const names[Count] = {L"countries.txt", L"occupations.txt", L"languages.txt",
                                                L"interests.txt", L"groups.txt",      L"pastbg.txt",
                                                L"gender.txt",    L"maritalstatus.txt"};
    return names[kind];
}

void Open(const CZELString& folder)
{
    ++openSets;
    for (int kind = 0; kind < Count; ++kind)
        if (lists[kind].Count() == 0) lists[kind].Load(folder + FileName(Kind(kind)));
}

void Close()
{
    if (openSets > 0 && --openSets == 0)
        for (LookupList& list : lists) list.Clear();
}

int OpenSets()
{
    return openSets;
}

LookupList& Get(Kind kind)
{
    return lists[kind];
}

}  // namespace LookupLists

void FillLookupCombo(HWND dialog, int controlId, const LookupList& list)
{
    HWND combo = GetDlgItem(dialog, controlId);
    if (!combo || SendMessageW(combo, CB_GETCOUNT, 0, 0) > 0) return;
    LRESULT row = SendMessageW(combo, CB_ADDSTRING, 0, LPARAM(L""));
    if (row >= 0) SendMessageW(combo, CB_SETITEMDATA, WPARAM(row), 0);
    for (const LookupEntry& entry : list.Entries()) {
        row = SendMessageW(combo, CB_ADDSTRING, 0, LPARAM(entry.text.GetBuffer() ? entry.text.GetBuffer() : L""));
        if (row >= 0) SendMessageW(combo, CB_SETITEMDATA, WPARAM(row), LPARAM(entry.code));
    }
}
