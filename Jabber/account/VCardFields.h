// A vCard ("vcard-temp") as named values: the keys a details pane shows, filled from a received
// vCard, cleared before a new one is read, and read back to build the vCard the user publishes. The
// same keys serve the own details (the account's values) and a contact's (its contact-list
// properties); VCardValues is whichever of the two a vCard belongs to.
#pragma once

#include "Jabber/xml/XmlElement.h"
#include "ZELCommon/ZELString.h"

class VCardValues {
public:
    virtual ~VCardValues() {}
    // False when the key is not stored.
    virtual bool GetString(const wchar_t* key, CZELString& out) = 0;
    virtual void SetString(const wchar_t* key, const CZELString& value) = 0;
    // bits: 16 (the birth year) or 8 (month, day, age).
    virtual bool GetNumber(const wchar_t* key, int bits, int& out) = 0;
    virtual void SetNumber(const wchar_t* key, int bits, int value) = 0;
};

namespace VCardKeys {
extern const wchar_t DisplayName[], PrefixName[], FirstName[], LastName[], MiddleName[], SuffixName[], NickName[],
    Gender[], HomePage[], BirthYear[], BirthMonth[], BirthDay[], Age[], HomeCountry[], HomeState[], HomeCity[],
    HomeAddress[], HomeZip[], HomeEmail[], WorkCountry[], WorkState[], WorkCity[], WorkAddress[], WorkZip[],
    WorkEmail[], WorkCompany[], WorkDepartment[], WorkPosition[], WorkRole[], HomePhone[], HomeFax[], CellPhone[],
    WorkPhone[], WorkFax[], About[];
}  // namespace VCardKeys

// Every text key set to the empty text and every number to 0.
void ResetVCardValues(VCardValues& values);

// Stores what the children of vcard (the "vCard" element) carry; a field the vCard lacks keeps its
// value.
void FillVCardValues(const XmlElement& vcard, VCardValues& values);

// Adds to vcard (an empty "vCard" element) the fields of the stored values, in the order servers
// and other clients expect them.
void BuildVCard(VCardValues& values, XmlElement* vcard);

// Whether from names the account's own bare JID: the same JID (letter case aside), alone or with a
// resource after "/".
bool IsOwnJidOrResource(const std::string& from, const std::string& ownBareJid);
