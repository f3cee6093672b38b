// What the details pages show and send, as data and pure functions: the editor's table of controls,
// keys and item types, the bodies of the items a save request carries, and the viewer's formatting.
// The keys are the same for a contact's properties and the account's own values.
#pragma once

#include "Wex/dialogs/LookupLists.h"
#include "Wex/proto/Flap.h"

#include "ZELCommon/ZELString.h"

#include <vector>

namespace WexDetails {

// The nine pages, in tab order; editor and viewer share them and their titles.
enum Page { General, Home, Work, Company, Phones, Personal, Origin, Interests, About, PageCount };

// The title's text number of a page; the template of its viewer or editor form.
int PageTitle(Page page);
int ViewerTemplate(Page page);
int EditorTemplate(Page page);

// How an editor field is compared, stored and sent.
enum Rule {
    Shown,      // the account's login id: shown only
    Text,       // a string, sent as a text item
    Email,      // a string, sent as a text item with one more zero byte
    ShortCode,  // a list's code kept as 16 bits
    ByteCode,   // a list's code kept as a byte
    Zip,        // a number typed, kept as its decimal text, sent as 32 bits
    Birthday,   // the date picker over three keys (year, month, day)
    Interest,   // one row of a category list (key) and its keywords (key2, control2)
    Note,       // kept on the device, never sent
};

struct EditorField {
    Page page;
    int control;
    int label;        // 0: none
    int text;         // the label's text number
    Rule rule;
    const wchar_t* key;
    unsigned short type;  // the item's type; 0 for fields never sent
    LookupLists::Kind list;  // for the list rules
    const wchar_t* key2 = nullptr;  // interest keywords; birth month
    const wchar_t* key3 = nullptr;  // birth day
    int control2 = 0;               // interest keywords
};

// Every editor field in page and table order.
const std::vector<EditorField>& EditorFields();

// How a viewer field is shown.
enum Format {
    AsText,        // a string property as it is
    AsShortCode,   // a 16-bit code as its list's text
    AsByteCode,    // a byte code as its list's text
    AsAge,         // a 16-bit number in decimal
    AsBirthday,    // year, month and day as the locale's date
    AsLanguages,   // three byte codes joined
    AsNote,        // the editable note
};

struct ViewerField {
    Page page;
    int control;
    Format format;
    const wchar_t* key;
    LookupLists::Kind list;
};

const std::vector<ViewerField>& ViewerFields();

// The labels of a page: control id and text number.
struct Label {
    Page page;
    int control;
    int text;
};
const std::vector<Label>& ViewerLabels();
const std::vector<Label>& EditorLabels();

// The keys of the date and of the languages.
extern const wchar_t BirthYearKey[];
extern const wchar_t BirthMonthKey[];
extern const wchar_t BirthDayKey[];
extern const wchar_t* const LanguageKeys[3];
extern const wchar_t NotesKey[];

enum { MaxWireText = 255, MaxKeywords = 254, MaxNote = 1023 };

// The longest start of text whose code page 1251 form fits in MaxWireText bytes.
CZELString CutForWire(const CZELString& text);
// text's bytes in code page 1251 (characters it lacks as '?'), cut as CutForWire cuts.
Wex::Bytes Cp1251(const CZELString& text);

// Item bodies, little-endian.
// u16 n + 1, n bytes of text, a zero.
Wex::Bytes TextBody(const CZELString& text);
// TextBody and one more zero.
Wex::Bytes EmailBody(const CZELString& text);
Wex::Bytes CodeBody(unsigned short code);
Wex::Bytes ZipBody(unsigned zip);
Wex::Bytes BirthdayBody(unsigned short year, unsigned short month, unsigned short day);
// u16 code, then the keywords as TextBody.
Wex::Bytes InterestBody(unsigned short code, const CZELString& keywords);

// A zip as a number: decimal digits alone that fit 32 bits; anything else, and the empty text, is 0.
unsigned ZipNumber(const CZELString& text);
// The text a zip number is kept as: its decimal digits, empty for 0.
CZELString ZipText(unsigned zip);

// The three language texts joined in order, with ";" only between two texts that are both there.
CZELString JoinLanguages(const CZELString texts[3]);
// True when the date exists (1 to 9999, the month's days, leap years counted).
bool DateExists(int year, int month, int day);
// The date the picker and the viewer may show: 0 < year < 2100, 0 < month < 13, 0 < day < 32.
bool DateInRange(int year, int month, int day);
// The birthday as the locale's date and time of its midnight; empty when it is out of range or does
// not exist.
CZELString FormatBirthday(int year, int month, int day);

}  // namespace WexDetails
