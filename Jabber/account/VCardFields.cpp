#include "Jabber/account/VCardFields.h"

#include "Jabber/xml/XmlText.h"

#include <cctype>
#include <string>

namespace VCardKeys {
const wchar_t DisplayName[] = L"Jabber: display name";
const wchar_t PrefixName[] = L"Jabber: prefix name";
const wchar_t FirstName[] = L"Jabber: first name";
const wchar_t LastName[] = L"Jabber: last name";
// Spelled so: the stored values of every earlier version use this key.
const wchar_t MiddleName[] = L"Jabber: midle name";
const wchar_t SuffixName[] = L"Jabber: suffix name";
const wchar_t NickName[] = L"Jabber: nick name";
const wchar_t Gender[] = L"Jabber: gender";
const wchar_t HomePage[] = L"Jabber: home page";
const wchar_t BirthYear[] = L"Jabber: birth year";
const wchar_t BirthMonth[] = L"Jabber: birth month";
const wchar_t BirthDay[] = L"Jabber: birth day";
const wchar_t Age[] = L"Jabber: age";
const wchar_t HomeCountry[] = L"Jabber: home country";
const wchar_t HomeState[] = L"Jabber: home state";
const wchar_t HomeCity[] = L"Jabber: home city";
const wchar_t HomeAddress[] = L"Jabber: home address";
const wchar_t HomeZip[] = L"Jabber: home zip";
const wchar_t HomeEmail[] = L"Jabber: home e-mail";
const wchar_t WorkCountry[] = L"Jabber: work country";
const wchar_t WorkState[] = L"Jabber: work state";
const wchar_t WorkCity[] = L"Jabber: work city";
const wchar_t WorkAddress[] = L"Jabber: work address";
const wchar_t WorkZip[] = L"Jabber: work zip";
const wchar_t WorkEmail[] = L"Jabber: work e-mail";
const wchar_t WorkCompany[] = L"Jabber: work company";
const wchar_t WorkDepartment[] = L"Jabber: work department";
const wchar_t WorkPosition[] = L"Jabber: work position";
const wchar_t WorkRole[] = L"Jabber: work role";
const wchar_t HomePhone[] = L"Jabber: home phone";
const wchar_t HomeFax[] = L"Jabber: home fax";
const wchar_t CellPhone[] = L"Jabber: cell phone";
const wchar_t WorkPhone[] = L"Jabber: work phone";
const wchar_t WorkFax[] = L"Jabber: work fax";
const wchar_t About[] = L"Jabber: about";
}  // namespace VCardKeys

using namespace VCardKeys;

namespace {

const wchar_t* const TextKeys[] = {DisplayName, PrefixName, FirstName,   LastName,    MiddleName,   SuffixName,
                                   NickName,    Gender,     HomePage,    HomeCountry, HomeState,    HomeCity,
                                   HomeAddress, HomeZip,    HomeEmail,   WorkCountry, WorkState,    WorkCity,
                                   WorkAddress, WorkZip,    WorkEmail,   WorkCompany, WorkDepartment, WorkPosition,
                                   WorkRole,    HomePhone,  HomeFax,     CellPhone,   WorkPhone,    WorkFax,
                                   About};

const size_t MaxStreetLength = 127;

CZELString Wide(const std::string& utf8)
{
    std::wstring wide = WideFromUtf8(utf8);
    return CZELString(wide.c_str(), int(wide.size()));
}

// The text of child name of element, when the child is there and has text.
const std::string* ChildText(const XmlElement* element, const char* name)
{
    const XmlElement* child = FindChild(element, name);
    return child && !child->text.empty() ? &child->text : nullptr;
}

void StoreChildText(const XmlElement* element, const char* name, const wchar_t* key, VCardValues& values)
{
    if (const std::string* text = ChildText(element, name)) values.SetString(key, Wide(*text));
}

// A leading run of decimal digits that fits limit; false without a digit or past limit.
bool ReadNumber(const std::string& text, unsigned long limit, unsigned long& out)
{
    out = 0;
    size_t i = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        out = out * 10 + unsigned(text[i] - '0');
        if (out > limit) return false;
    }
    return i > 0;
}

// "year-month-day", each part at least 1.
void StoreBirthDate(const std::string& text, VCardValues& values)
{
    const size_t first = text.find('-');
    if (first == std::string::npos || first == 0) return;
    const size_t second = text.find('-', first + 1);
    if (second == std::string::npos) return;
    unsigned long year, month, day;
    if (!ReadNumber(text.substr(0, first), 0xFFFF, year) ||
        !ReadNumber(text.substr(first + 1, second - first - 1), 0xFF, month) ||
        !ReadNumber(text.substr(second + 1), 0xFF, day))
        return;
    if (year < 1 || month < 1 || day < 1) return;
    values.SetNumber(BirthYear, 16, int(year));
    values.SetNumber(BirthMonth, 8, int(month));
    values.SetNumber(BirthDay, 8, int(day));
}

void StoreAddress(const XmlElement& adr, VCardValues& values)
{
    const bool home = FindChild(&adr, "HOME") != nullptr;
    if (!home && !FindChild(&adr, "WORK")) return;
    if (const std::string* street = ChildText(&adr, "STREET")) {
        // The street is edited on several lines, as the about text is: XML brings its line ends as
        // bare line feeds.
        std::wstring address = ExpandNewlines(WideFromUtf8(*street));
        const std::string* extra = ChildText(&adr, "EXTADR");
        if (!extra) extra = ChildText(&adr, "EXTADD");
        if (extra) address += L"\r\n" + ExpandNewlines(WideFromUtf8(*extra));
        if (address.size() > MaxStreetLength) address.resize(MaxStreetLength);
        values.SetString(home ? HomeAddress : WorkAddress, CZELString(address.c_str(), int(address.size())));
    }
    StoreChildText(&adr, "LOCALITY", home ? HomeCity : WorkCity, values);
    StoreChildText(&adr, "REGION", home ? HomeState : WorkState, values);
    StoreChildText(&adr, "PCODE", home ? HomeZip : WorkZip, values);
    const std::string* country = ChildText(&adr, "CTRY");
    if (!country) country = ChildText(&adr, "COUNTRY");
    if (country) values.SetString(home ? HomeCountry : WorkCountry, Wide(*country));
}

void StorePhone(const XmlElement& tel, VCardValues& values)
{
    const std::string* number = ChildText(&tel, "NUMBER");
    if (!number) return;
    const bool work = FindChild(&tel, "WORK") != nullptr, fax = FindChild(&tel, "FAX") != nullptr;
    const wchar_t* key = FindChild(&tel, "CELL") ? CellPhone
                         : work                  ? (fax ? WorkFax : WorkPhone)
                                                 : (fax ? HomeFax : HomePhone);
    values.SetString(key, Wide(*number));
}

void StoreField(const XmlElement& field, VCardValues& values)
{
    const std::string& name = field.name;
    struct Plain {
        const char* name;
        const wchar_t* key;
    } static const plain[] = {
        {"FN", DisplayName}, {"NICKNAME", NickName}, {"URL", HomePage}, {"TITLE", WorkPosition}, {"ROLE", WorkRole},
    };
    for (const Plain& p : plain) {
        if (name != p.name) continue;
        if (!field.text.empty()) values.SetString(p.key, Wide(field.text));
        return;
    }
    if (name == "N") {
        StoreChildText(&field, "GIVEN", FirstName, values);
        StoreChildText(&field, "FAMILY", LastName, values);
        StoreChildText(&field, "MIDDLE", MiddleName, values);
    } else if (name == "EMAIL") {
        const XmlElement* userId = FindChild(&field, "USERID");
        const std::string& address = userId ? userId->text : field.text;
        if (!address.empty()) values.SetString(FindChild(&field, "WORK") ? WorkEmail : HomeEmail, Wide(address));
    } else if (name == "BDAY") {
        StoreBirthDate(field.text, values);
    } else if (name == "GENDER") {
        const char first = field.text.empty() ? '\0' : field.text[0];
        const wchar_t* gender = (first == 'm' || first == 'M') ? L"Male" : (first == 'f' || first == 'F') ? L"Female" : L"";
        values.SetString(Gender, CZELString(gender));
    } else if (name == "ADR") {
        StoreAddress(field, values);
    } else if (name == "TEL") {
        StorePhone(field, values);
    } else if (name == "ORG") {
        StoreChildText(&field, "ORGNAME", WorkCompany, values);
        StoreChildText(&field, "ORGUNIT", WorkDepartment, values);
    } else if (name == "DESC") {
        if (!field.text.empty()) {
            std::wstring about = ExpandNewlines(WideFromUtf8(field.text));
            values.SetString(About, CZELString(about.c_str(), int(about.size())));
        }
    }
}

std::string Utf8(const CZELString& text)
{
    return text.GetBuffer() ? Utf8FromWide(text.GetBuffer(), text.GetLength()) : std::string();
}

// Adds element name holding the stored text of key, or empty when the key is not stored.
XmlElement* AddFromKey(XmlElement* parent, const char* name, const wchar_t* key, VCardValues& values)
{
    CZELString text;
    return values.GetString(key, text) ? AddTextChild(parent, name, Utf8(text)) : AddChild(parent, name);
}

void AddAddress(XmlElement* vcard, const char* where, const wchar_t* street, const wchar_t* city, const wchar_t* state,
                const wchar_t* zip, const wchar_t* country, VCardValues& values)
{
    XmlElement* adr = AddChild(vcard, "ADR");
    AddChild(adr, where);
    AddFromKey(adr, "STREET", street, values);
    AddFromKey(adr, "LOCALITY", city, values);
    AddFromKey(adr, "REGION", state, values);
    AddFromKey(adr, "PCODE", zip, values);
    AddFromKey(adr, "CTRY", country, values);
    AddFromKey(adr, "COUNTRY", country, values);
}

}  // namespace

void ResetVCardValues(VCardValues& values)
{
    const CZELString empty(L"");
    for (const wchar_t* key : TextKeys) values.SetString(key, empty);
    values.SetNumber(BirthYear, 16, 0);
    values.SetNumber(BirthMonth, 8, 0);
    values.SetNumber(BirthDay, 8, 0);
    values.SetNumber(Age, 8, 0);
}

void FillVCardValues(const XmlElement& vcard, VCardValues& values)
{
    for (const std::unique_ptr<XmlElement>& child : vcard.children) StoreField(*child, values);
}

void BuildVCard(VCardValues& values, XmlElement* vcard)
{
    AddFromKey(vcard, "FN", DisplayName, values);
    XmlElement* n = AddChild(vcard, "N");
    AddFromKey(n, "GIVEN", FirstName, values);
    AddFromKey(n, "MIDDLE", MiddleName, values);
    AddFromKey(n, "FAMILY", LastName, values);
    AddFromKey(vcard, "NICKNAME", NickName, values);

    int year = 0, month = 0, day = 0;
    if (values.GetNumber(BirthYear, 16, year) && values.GetNumber(BirthMonth, 8, month) &&
        values.GetNumber(BirthDay, 8, day) && year && month && day)
        AddTextChild(vcard, "BDAY", std::to_string(year) + "-" + std::to_string(month) + "-" + std::to_string(day));

    CZELString gender;
    if (values.GetString(Gender, gender) && !gender.IsEmpty())
        AddTextChild(vcard, "GENDER", Utf8(gender));
    else
        AddChild(vcard, "GENDER");

    struct Email {
        const wchar_t* key;
        const char* where;
    } const emails[] = {{HomeEmail, "HOME"}, {WorkEmail, "WORK"}};
    for (const Email& e : emails) {
        CZELString address;
        if (!values.GetString(e.key, address)) continue;
        XmlElement* email = AddChild(vcard, "EMAIL");
        AddTextChild(email, "USERID", Utf8(address));
        AddChild(email, e.where);
    }

    AddAddress(vcard, "HOME", HomeAddress, HomeCity, HomeState, HomeZip, HomeCountry, values);
    AddAddress(vcard, "WORK", WorkAddress, WorkCity, WorkState, WorkZip, WorkCountry, values);
    XmlElement* org = AddChild(vcard, "ORG");
    AddFromKey(org, "ORGNAME", WorkCompany, values);
    AddFromKey(org, "ORGUNIT", WorkDepartment, values);
    AddFromKey(vcard, "TITLE", WorkPosition, values);
    AddFromKey(vcard, "ROLE", WorkRole, values);
    AddFromKey(vcard, "URL", HomePage, values);
    AddFromKey(vcard, "DESC", About, values);

    struct Phone {
        const wchar_t* key;
        const char* first;
        const char* second;
    } const phones[] = {
        {HomePhone, "HOME", nullptr}, {HomeFax, "HOME", "FAX"}, {CellPhone, "CELL", nullptr},
        {WorkPhone, "WORK", nullptr}, {WorkFax, "WORK", "FAX"},
    };
    for (const Phone& p : phones) {
        CZELString number;
        if (!values.GetString(p.key, number)) continue;
        XmlElement* tel = AddChild(vcard, "TEL");
        AddTextChild(tel, "NUMBER", Utf8(number));
        AddChild(tel, p.first);
        if (p.second) AddChild(tel, p.second);
    }
}

bool IsOwnJidOrResource(const std::string& from, const std::string& ownBareJid)
{
    if (ownBareJid.empty() || from.size() < ownBareJid.size()) return false;
    for (size_t i = 0; i < ownBareJid.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(from[i])) != std::tolower(static_cast<unsigned char>(ownBareJid[i])))
            return false;
    return from.size() == ownBareJid.size() || from[ownBareJid.size()] == '/';
}
