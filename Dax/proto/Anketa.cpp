#include "Dax/proto/Anketa.h"

namespace Mrim {

namespace {

bool IsNameColumn(const std::wstring& column)
{
    return column == L"nickname" || column == L"firstname" || column == L"lastname";
}

} // namespace

bool ParseAnketa(const unsigned char* body, size_t length, Anketa& out)
{
    ByteReader reader(body, length);
    Anketa anketa;
    anketa.status = reader.U32LE();
    if (reader.Failed()) return false;
    if (anketa.status != 1) {
        out = anketa;
        return true;
    }
    unsigned columnCount = reader.U32LE();
    unsigned maxRows = reader.U32LE();
    reader.U32LE();
    std::vector<std::wstring> columns;
    for (unsigned i = 0; i < columnCount && !reader.Failed(); ++i) columns.push_back(LowerKey(ReadLps(reader, Encoding::Cp1251)));
    if (reader.Failed()) {
        out = anketa;
        return true;
    }
    while (!columns.empty() && anketa.rows.size() < maxRows && reader.Remaining() > 4) {
        AnketaRow row;
        for (const std::wstring& column : columns)
            row[column] = ReadLps(reader, IsNameColumn(column) ? Encoding::Utf16LE : Encoding::Cp1251);
        if (reader.Failed()) break;
        anketa.rows.push_back(row);
    }
    out = anketa;
    return true;
}

bool SplitBirthday(const CZELString& text, int& year, int& month, int& day)
{
    int a = text.Find(0, CZELString(L"-"));
    if (a < 1) return false;
    int b = text.Find(a + 1, CZELString(L"-"));
    if (b < 1) return false;
    const wchar_t* p = text.GetBuffer();
    year = int(CZELString::Toi(p, a, false));
    month = int(CZELString::Toi(p + a + 1, b - a - 1, false));
    day = int(CZELString::Toi(p + b + 1, text.GetLength() - b - 1, false));
    return true;
}

int AgeOn(int birthYear, int birthMonth, int birthDay, int year, int month, int day)
{
    int age = year - birthYear;
    if (month < birthMonth || (month == birthMonth && day < birthDay)) --age;
    return age;
}

} // namespace Mrim
