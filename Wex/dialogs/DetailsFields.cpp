#include "Wex/dialogs/DetailsFields.h"

#include "Wex/dialogs/DetailsResources.h"

#include <windows.h>

#include <string>

namespace WexDetails {

const wchar_t BirthYearKey[] = L"WEX: birth year";
const wchar_t BirthMonthKey[] = L"WEX: birth month";
const wchar_t BirthDayKey[] = L"WEX: birth day";
const wchar_t* const LanguageKeys[3] = {L"WEX: spoken language1", L"WEX: spoken language2",
                                        L"WEX: spoken language3"};
const wchar_t NotesKey[] = L"WEX: notes";

namespace {

using LookupLists::Countries;
using LookupLists::Gender;
using LookupLists::Languages;
using LookupLists::MaritalStatus;
using LookupLists::Occupations;

const LookupLists::Kind None = LookupLists::Groups;  // for fields without a list; never read

void PutU16(Wex::Bytes& bytes, unsigned value)
{
    bytes.push_back((unsigned char)(value & 0xFF));
    bytes.push_back((unsigned char)((value >> 8) & 0xFF));
}

Wex::Bytes Narrow(const CZELString& text)
{
    const int length = text.GetLength();
    if (length == 0) return Wex::Bytes();
    const int size = WideCharToMultiByte(1251, 0, text.GetBuffer(), length, nullptr, 0, nullptr, nullptr);
    Wex::Bytes bytes(size_t(size > 0 ? size : 0));
    if (size > 0) WideCharToMultiByte(1251, 0, text.GetBuffer(), length, reinterpret_cast<char*>(bytes.data()), size, nullptr, nullptr);
    return bytes;
}

}  // namespace

int PageTitle(Page page)
{
    return 68 + int(page);
}

int ViewerTemplate(Page page)
{
    return IDD_WEX_VIEW_GENERAL + int(page);
}

int EditorTemplate(Page page)
{
    return IDD_WEX_EDIT_GENERAL + int(page);
}

const std::vector<EditorField>& EditorFields()
{
    static const std::vector<EditorField> fields = {
        {General, IDC_WEX_D_ACCOUNT, IDC_WEX_D_ACCOUNT_LABEL, 77, Shown, L"Account name", 0, None},
        {General, IDC_WEX_D_NICK, IDC_WEX_D_NICK_LABEL, 78, Text, L"WEX: nick name", 340, None},
        {General, IDC_WEX_D_FIRST_NAME, IDC_WEX_D_FIRST_NAME_LABEL, 79, Text, L"WEX: first name", 320, None},
        {General, IDC_WEX_D_LAST_NAME, IDC_WEX_D_LAST_NAME_LABEL, 80, Text, L"WEX: last name", 330, None},
        {General, IDC_WEX_D_EMAIL, IDC_WEX_D_EMAIL_LABEL, 81, Email, L"WEX: e-mail", 350, None},
        {Home, IDC_WEX_D_HOME_COUNTRY, IDC_WEX_D_HOME_COUNTRY_LABEL, 82, ShortCode, L"WEX: home country code", 420, Countries},
        {Home, IDC_WEX_D_HOME_CITY, IDC_WEX_D_HOME_CITY_LABEL, 83, Text, L"WEX: home city", 400, None},
        {Home, IDC_WEX_D_HOME_STATE, IDC_WEX_D_HOME_STATE_LABEL, 84, Text, L"WEX: home state", 410, None},
        {Home, IDC_WEX_D_HOME_ZIP, IDC_WEX_D_HOME_ZIP_LABEL, 85, Zip, L"WEX: home zip", 620, None},
        {Home, IDC_WEX_D_HOME_STREET, IDC_WEX_D_HOME_STREET_LABEL, 86, Text, L"WEX: home address", 610, None},
        {Work, IDC_WEX_D_WORK_COUNTRY, IDC_WEX_D_WORK_COUNTRY_LABEL, 82, ShortCode, L"WEX: work country code", 690, Countries},
        {Work, IDC_WEX_D_WORK_CITY, IDC_WEX_D_WORK_CITY_LABEL, 83, Text, L"WEX: work city", 670, None},
        {Work, IDC_WEX_D_WORK_STATE, IDC_WEX_D_WORK_STATE_LABEL, 84, Text, L"WEX: work state", 680, None},
        {Work, IDC_WEX_D_WORK_ZIP, IDC_WEX_D_WORK_ZIP_LABEL, 85, Zip, L"WEX: work zip", 700, None},
        {Work, IDC_WEX_D_WORK_STREET, IDC_WEX_D_WORK_STREET_LABEL, 86, Text, L"WEX: work address", 660, None},
        {Company, IDC_WEX_D_COMPANY, IDC_WEX_D_COMPANY_LABEL, 87, Text, L"WEX: work company", 430, None},
        {Company, IDC_WEX_D_DEPARTMENT, IDC_WEX_D_DEPARTMENT_LABEL, 88, Text, L"WEX: work department", 440, None},
        {Company, IDC_WEX_D_OCCUPATION, IDC_WEX_D_OCCUPATION_LABEL, 89, ShortCode, L"WEX: work ocupation code", 460, Occupations},
        {Company, IDC_WEX_D_POSITION, IDC_WEX_D_POSITION_LABEL, 90, Text, L"WEX: work position", 450, None},
        {Company, IDC_WEX_D_WEBSITE, IDC_WEX_D_WEBSITE_LABEL, 91, Text, L"WEX: work webpage", 730, None},
        {Phones, IDC_WEX_D_HOME_PHONE, IDC_WEX_D_HOME_PHONE_LABEL, 92, Text, L"WEX: home phone", 630, None},
        {Phones, IDC_WEX_D_HOME_FAX, IDC_WEX_D_HOME_FAX_LABEL, 93, Text, L"WEX: home fax", 640, None},
        {Phones, IDC_WEX_D_CELL_PHONE, IDC_WEX_D_CELL_PHONE_LABEL, 94, Text, L"WEX: cell phone", 650, None},
        {Phones, IDC_WEX_D_WORK_PHONE, IDC_WEX_D_WORK_PHONE_LABEL, 95, Text, L"WEX: work phone", 710, None},
        {Phones, IDC_WEX_D_WORK_FAX, IDC_WEX_D_WORK_FAX_LABEL, 96, Text, L"WEX: work fax", 720, None},
        {Personal, IDC_WEX_D_GENDER, IDC_WEX_D_GENDER_LABEL, 97, ByteCode, L"WEX: gender", 380, Gender},
        {Personal, IDC_WEX_D_MARITAL, IDC_WEX_D_MARITAL_LABEL, 99, ByteCode, L"WEX: marital status code", 830, MaritalStatus},
        {Personal, IDC_WEX_D_HOMEPAGE, IDC_WEX_D_HOMEPAGE_LABEL, 100, Text, L"WEX: homepage", 531, None},
        {Personal, IDC_WEX_D_BIRTHDAY, IDC_WEX_D_BIRTHDAY_LABEL, 101, Birthday, BirthYearKey, 570, None, BirthMonthKey, BirthDayKey},
        {Personal, IDC_WEX_D_LANGUAGE1, IDC_WEX_D_LANGUAGES_LABEL, 102, ByteCode, LanguageKeys[0], 390, Languages},
        {Personal, IDC_WEX_D_LANGUAGE2, 0, 0, ByteCode, LanguageKeys[1], 390, Languages},
        {Personal, IDC_WEX_D_LANGUAGE3, 0, 0, ByteCode, LanguageKeys[2], 390, Languages},
        {Origin, IDC_WEX_D_ORIGIN_COUNTRY, IDC_WEX_D_ORIGIN_COUNTRY_LABEL, 82, ShortCode, L"WEX: country code", 820, Countries},
        {Origin, IDC_WEX_D_ORIGIN_CITY, IDC_WEX_D_ORIGIN_CITY_LABEL, 83, Text, L"WEX: city", 800, None},
        {Origin, IDC_WEX_D_ORIGIN_STATE, IDC_WEX_D_ORIGIN_STATE_LABEL, 84, Text, L"WEX: state", 810, None},
        {WexDetails::Interests, IDC_WEX_D_INTEREST1, 0, 0, Interest, L"WEX: interest1", 490, LookupLists::Interests, L"WEX: interest keys1", nullptr, IDC_WEX_D_INTEREST_KEYS1},
        {WexDetails::Interests, IDC_WEX_D_INTEREST2, 0, 0, Interest, L"WEX: interest2", 490, LookupLists::Interests, L"WEX: interest keys2", nullptr, IDC_WEX_D_INTEREST_KEYS2},
        {WexDetails::Interests, IDC_WEX_D_INTEREST3, 0, 0, Interest, L"WEX: interest3", 490, LookupLists::Interests, L"WEX: interest keys3", nullptr, IDC_WEX_D_INTEREST_KEYS3},
        {WexDetails::Interests, IDC_WEX_D_INTEREST4, 0, 0, Interest, L"WEX: interest4", 490, LookupLists::Interests, L"WEX: interest keys4", nullptr, IDC_WEX_D_INTEREST_KEYS4},
        {About, IDC_WEX_D_ABOUT, IDC_WEX_D_ABOUT_LABEL, 103, Text, L"WEX: about", 600, None},
        {About, IDC_WEX_D_NOTE, IDC_WEX_D_NOTE_LABEL, 104, Note, NotesKey, 0, None},
    };
    return fields;
}

const std::vector<ViewerField>& ViewerFields()
{
    static const std::vector<ViewerField> fields = {
        {General, IDC_WEX_D_ACCOUNT, AsText, L"Account name", None},
        {General, IDC_WEX_D_NICK, AsText, L"WEX: nick name", None},
        {General, IDC_WEX_D_FIRST_NAME, AsText, L"WEX: first name", None},
        {General, IDC_WEX_D_LAST_NAME, AsText, L"WEX: last name", None},
        {General, IDC_WEX_D_EMAIL, AsText, L"WEX: e-mail", None},
        {Home, IDC_WEX_D_HOME_COUNTRY, AsShortCode, L"WEX: home country code", Countries},
        {Home, IDC_WEX_D_HOME_CITY, AsText, L"WEX: home city", None},
        {Home, IDC_WEX_D_HOME_STATE, AsText, L"WEX: home state", None},
        {Home, IDC_WEX_D_HOME_ZIP, AsText, L"WEX: home zip", None},
        {Home, IDC_WEX_D_HOME_STREET, AsText, L"WEX: home address", None},
        {Work, IDC_WEX_D_WORK_COUNTRY, AsShortCode, L"WEX: work country code", Countries},
        {Work, IDC_WEX_D_WORK_CITY, AsText, L"WEX: work city", None},
        {Work, IDC_WEX_D_WORK_STATE, AsText, L"WEX: work state", None},
        {Work, IDC_WEX_D_WORK_ZIP, AsText, L"WEX: work zip", None},
        {Work, IDC_WEX_D_WORK_STREET, AsText, L"WEX: work address", None},
        {Company, IDC_WEX_D_COMPANY, AsText, L"WEX: work company", None},
        {Company, IDC_WEX_D_DEPARTMENT, AsText, L"WEX: work department", None},
        {Company, IDC_WEX_D_OCCUPATION, AsShortCode, L"WEX: work ocupation code", Occupations},
        {Company, IDC_WEX_D_POSITION, AsText, L"WEX: work position", None},
        {Company, IDC_WEX_D_WEBSITE, AsText, L"WEX: work webpage", None},
        {Phones, IDC_WEX_D_HOME_PHONE, AsText, L"WEX: home phone", None},
        {Phones, IDC_WEX_D_HOME_FAX, AsText, L"WEX: home fax", None},
        {Phones, IDC_WEX_D_CELL_PHONE, AsText, L"WEX: cell phone", None},
        {Phones, IDC_WEX_D_WORK_PHONE, AsText, L"WEX: work phone", None},
        {Phones, IDC_WEX_D_WORK_FAX, AsText, L"WEX: work fax", None},
        {Personal, IDC_WEX_D_GENDER, AsByteCode, L"WEX: gender", Gender},
        {Personal, IDC_WEX_D_AGE, AsAge, L"WEX: age", None},
        {Personal, IDC_WEX_D_MARITAL, AsByteCode, L"WEX: marital status code", MaritalStatus},
        {Personal, IDC_WEX_D_HOMEPAGE, AsText, L"WEX: homepage", None},
        {Personal, IDC_WEX_D_BIRTHDAY, AsBirthday, BirthYearKey, None},
        {Personal, IDC_WEX_D_LANGUAGES, AsLanguages, LanguageKeys[0], Languages},
        {Origin, IDC_WEX_D_ORIGIN_COUNTRY, AsShortCode, L"WEX: country code", Countries},
        {Origin, IDC_WEX_D_ORIGIN_CITY, AsText, L"WEX: city", None},
        {Origin, IDC_WEX_D_ORIGIN_STATE, AsText, L"WEX: state", None},
        {WexDetails::Interests, IDC_WEX_D_INTEREST1, AsShortCode, L"WEX: interest1", LookupLists::Interests},
        {WexDetails::Interests, IDC_WEX_D_INTEREST_KEYS1, AsText, L"WEX: interest keys1", None},
        {WexDetails::Interests, IDC_WEX_D_INTEREST2, AsShortCode, L"WEX: interest2", LookupLists::Interests},
        {WexDetails::Interests, IDC_WEX_D_INTEREST_KEYS2, AsText, L"WEX: interest keys2", None},
        {WexDetails::Interests, IDC_WEX_D_INTEREST3, AsShortCode, L"WEX: interest3", LookupLists::Interests},
        {WexDetails::Interests, IDC_WEX_D_INTEREST_KEYS3, AsText, L"WEX: interest keys3", None},
        {WexDetails::Interests, IDC_WEX_D_INTEREST4, AsShortCode, L"WEX: interest4", LookupLists::Interests},
        {WexDetails::Interests, IDC_WEX_D_INTEREST_KEYS4, AsText, L"WEX: interest keys4", None},
        {About, IDC_WEX_D_ABOUT, AsText, L"WEX: about", None},
        {About, IDC_WEX_D_NOTE, AsNote, NotesKey, None},
    };
    return fields;
}

const std::vector<Label>& EditorLabels()
{
    static const std::vector<Label> labels = [] {
        std::vector<Label> out;
        for (const EditorField& field : EditorFields())
            if (field.label) out.push_back({field.page, field.label, field.text});
        return out;
    }();
    return labels;
}

const std::vector<Label>& ViewerLabels()
{
    // The editor's, and the age that only the viewer shows.
    static const std::vector<Label> labels = [] {
        std::vector<Label> out;
        for (const Label& label : EditorLabels()) {
            if (label.control == IDC_WEX_D_MARITAL_LABEL) out.push_back({Personal, IDC_WEX_D_AGE_LABEL, 98});
            out.push_back(label);
        }
        return out;
    }();
    return labels;
}

Wex::Bytes Cp1251(const CZELString& text)
{
    Wex::Bytes bytes = Narrow(text);
    if (bytes.size() > MaxWireText) bytes.resize(MaxWireText);
    return bytes;
}

CZELString CutForWire(const CZELString& text)
{
    int length = text.GetLength();
    if (Narrow(text).size() <= MaxWireText) return text;
    // Code page 1251 writes at most one byte for each unit; a pair of surrogates stays whole.
    if (length > MaxWireText) length = MaxWireText;
    for (; length > 0; --length) {
        const wchar_t last = text.GetBuffer()[length - 1];
        if (last >= 0xD800 && last <= 0xDBFF) continue;
        CZELString start(text.GetBuffer(), length);
        if (Narrow(start).size() <= MaxWireText) return start;
    }
    return CZELString();
}

Wex::Bytes TextBody(const CZELString& text)
{
    const Wex::Bytes bytes = Cp1251(text);
    Wex::Bytes body;
    PutU16(body, unsigned(bytes.size() + 1));
    body.insert(body.end(), bytes.begin(), bytes.end());
    body.push_back(0);
    return body;
}

Wex::Bytes EmailBody(const CZELString& text)
{
    Wex::Bytes body = TextBody(text);
    body.push_back(0);
    return body;
}

Wex::Bytes CodeBody(unsigned short code)
{
    Wex::Bytes body;
    PutU16(body, code);
    return body;
}

Wex::Bytes ZipBody(unsigned zip)
{
    Wex::Bytes body;
    PutU16(body, zip & 0xFFFF);
    PutU16(body, zip >> 16);
    return body;
}

Wex::Bytes BirthdayBody(unsigned short year, unsigned short month, unsigned short day)
{
    Wex::Bytes body;
    PutU16(body, year);
    PutU16(body, month);
    PutU16(body, day);
    return body;
}

Wex::Bytes InterestBody(unsigned short code, const CZELString& keywords)
{
    Wex::Bytes body;
    PutU16(body, code);
    const Wex::Bytes text = TextBody(keywords);
    body.insert(body.end(), text.begin(), text.end());
    return body;
}

unsigned ZipNumber(const CZELString& text)
{
    unsigned long long value = 0;
    const int length = text.GetLength();
    for (int i = 0; i < length; ++i) {
        const wchar_t c = text.GetBuffer()[i];
        if (c < L'0' || c > L'9') return 0;
        value = value * 10 + unsigned(c - L'0');
        if (value > 0xFFFFFFFFull) return 0;
    }
    return unsigned(value);
}

CZELString ZipText(unsigned zip)
{
    return zip ? CZELString(std::to_wstring(zip).c_str()) : CZELString();
}

CZELString JoinLanguages(const CZELString texts[3])
{
    CZELString joined;
    for (int i = 0; i < 3; ++i) {
        if (!joined.IsEmpty() && !texts[i].IsEmpty()) joined = joined + CZELString(L";");
        joined = joined + texts[i];
    }
    return joined;
}

bool DateExists(int year, int month, int day)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= days[month - 1] + (month == 2 && leap ? 1 : 0);
}

bool DateInRange(int year, int month, int day)
{
    return year > 0 && year < 2100 && month > 0 && month < 13 && day > 0 && day < 32;
}

CZELString FormatBirthday(int year, int month, int day)
{
    // From the date itself, not through seconds since 1970: a birthday before then shows as it is.
    if (!DateInRange(year, month, day) || !DateExists(year, month, day) || year < 1601) return CZELString();
    SYSTEMTIME date{};
    date.wYear = WORD(year);
    date.wMonth = WORD(month);
    date.wDay = WORD(day);
    wchar_t dateText[128] = L"", timeText[64] = L"";
    if (!GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &date, nullptr, dateText, 128)) return CZELString();
    if (!GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &date, nullptr, timeText, 64)) return CZELString(dateText);
    return CZELString((std::wstring(dateText) + L" " + timeText).c_str());
}

}  // namespace WexDetails
