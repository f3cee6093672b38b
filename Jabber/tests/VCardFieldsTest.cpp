// The vCard as named values: what each element fills, what a reset clears, what a publication
// holds, and that a published vCard reads back into the same values.
#include "Jabber/account/VCardFields.h"

#include "Jabber/tests/StanzaText.h"
#include "Jabber/xml/XmlSerializer.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

using namespace VCardKeys;

// Values in memory: texts and numbers apart, as the stores keep them.
class MemoryValues : public VCardValues {
public:
    bool GetString(const wchar_t* key, CZELString& out) override
    {
        auto it = texts.find(key);
        if (it == texts.end()) return false;
        out = CZELString(it->second.c_str(), int(it->second.size()));
        return true;
    }
    void SetString(const wchar_t* key, const CZELString& value) override
    {
        texts[key] = value.GetBuffer() ? std::wstring(value.GetBuffer(), size_t(value.GetLength())) : L"";
    }
    bool GetNumber(const wchar_t* key, int bits, int& out) override
    {
        auto it = numbers.find(key);
        if (it == numbers.end() || it->second.first != bits) return false;
        out = it->second.second;
        return true;
    }
    void SetNumber(const wchar_t* key, int bits, int value) override { numbers[key] = {bits, value}; }

    std::map<std::wstring, std::wstring> texts;
    std::map<std::wstring, std::pair<int, int>> numbers;
};

MemoryValues Filled(const std::string& inner)
{
    std::unique_ptr<XmlElement> iq =
        JabberTest::ParseStanza("<iq type='result'><vCard xmlns='vcard-temp'>" + inner + "</vCard></iq>");
    MemoryValues values;
    EXPECT_TRUE(iq);
    if (iq) FillVCardValues(*FindChild(iq.get(), "vCard"), values);
    return values;
}

TEST(VCardFields, EachElementFillsItsKeys)
{
    const std::wstring longStreet(200, L's');
    struct Case {
        const char* name;
        std::string vcard;
        std::map<std::wstring, std::wstring> texts;
        std::map<std::wstring, int> numbers;
    } cases[] = {
        {"plain fields", "<FN>Ann Lee</FN><NICKNAME>ann</NICKNAME><URL>http://a.example/</URL><TITLE>boss</TITLE><ROLE>r</ROLE>",
         {{DisplayName, L"Ann Lee"}, {NickName, L"ann"}, {HomePage, L"http://a.example/"}, {WorkPosition, L"boss"},
          {WorkRole, L"r"}},
         {}},
        {"empty elements store nothing", "<FN/><NICKNAME></NICKNAME><N><GIVEN/></N><DESC/><EMAIL/>", {}, {}},
        {"name parts", "<N><FAMILY>Lee</FAMILY><GIVEN>Ann</GIVEN><MIDDLE>Q</MIDDLE></N>",
         {{FirstName, L"Ann"}, {LastName, L"Lee"}, {MiddleName, L"Q"}},
         {}},
        {"text kept as it is", "<FN>  Ann &amp; &lt;Co&gt; \xd0\x90  </FN>", {{DisplayName, L"  Ann & <Co> \x0410  "}}, {}},
        {"e-mails", "<EMAIL><HOME/><USERID>a@h</USERID></EMAIL><EMAIL><WORK/><USERID>a@w</USERID></EMAIL>",
         {{HomeEmail, L"a@h"}, {WorkEmail, L"a@w"}},
         {}},
        {"e-mail as its own text", "<EMAIL>old@h</EMAIL>", {{HomeEmail, L"old@h"}}, {}},
        {"birth date", "<BDAY>1980-01-05</BDAY>", {}, {{BirthYear, 1980}, {BirthMonth, 1}, {BirthDay, 5}}},
        {"birth month 00", "<BDAY>1980-00-05</BDAY>", {}, {}},
        {"birth date starting with a dash", "<BDAY>-1980-01-05</BDAY>", {}, {}},
        {"birth date without dashes", "<BDAY>19800105</BDAY>", {}, {}},
        {"birth year past 16 bits", "<BDAY>70000-01-05</BDAY>", {}, {}},
        {"gender lower-case f", "<GENDER>female</GENDER>", {{Gender, L"Female"}}, {}},
        {"gender M", "<GENDER>Man</GENDER>", {{Gender, L"Male"}}, {}},
        {"gender other", "<GENDER>x</GENDER>", {{Gender, L""}}, {}},
        {"home address", "<ADR><HOME/><STREET>Main 1</STREET><EXTADD>flat 2</EXTADD><LOCALITY>Town</LOCALITY>"
                         "<REGION>R</REGION><PCODE>123</PCODE><COUNTRY>C2</COUNTRY></ADR>",
         {{HomeAddress, L"Main 1\r\nflat 2"}, {HomeCity, L"Town"}, {HomeState, L"R"}, {HomeZip, L"123"},
          {HomeCountry, L"C2"}},
         {}},
        {"work address, CTRY before COUNTRY", "<ADR><WORK/><LOCALITY>W</LOCALITY><CTRY>C1</CTRY><COUNTRY>C2</COUNTRY></ADR>",
         {{WorkCity, L"W"}, {WorkCountry, L"C1"}},
         {}},
        {"street of two lines", "<ADR><WORK/><STREET>Office 5\nfloor 2</STREET><EXTADR>wing\nB</EXTADR></ADR>",
         {{WorkAddress, L"Office 5\r\nfloor 2\r\nwing\r\nB"}},
         {}},
        {"address of no kind", "<ADR><STREET>x</STREET><LOCALITY>y</LOCALITY></ADR>", {}, {}},
        {"address of both kinds counts as home", "<ADR><WORK/><HOME/><LOCALITY>y</LOCALITY></ADR>", {{HomeCity, L"y"}}, {}},
        {"long street cut", "<ADR><HOME/><STREET>" + std::string(200, 's') + "</STREET><EXTADR>e</EXTADR></ADR>",
         {{HomeAddress, longStreet.substr(0, 127)}},
         {}},
        {"cell wins over work", "<TEL><WORK/><CELL/><NUMBER>1</NUMBER></TEL>", {{CellPhone, L"1"}}, {}},
        {"phones", "<TEL><NUMBER>2</NUMBER></TEL><TEL><FAX/><NUMBER>3</NUMBER></TEL><TEL><WORK/><NUMBER>4</NUMBER></TEL>"
                   "<TEL><WORK/><FAX/><NUMBER>5</NUMBER></TEL><TEL><HOME/></TEL>",
         {{HomePhone, L"2"}, {HomeFax, L"3"}, {WorkPhone, L"4"}, {WorkFax, L"5"}},
         {}},
        {"organisation", "<ORG><ORGNAME>Acme</ORGNAME><ORGUNIT>Dev</ORGUNIT></ORG>",
         {{WorkCompany, L"Acme"}, {WorkDepartment, L"Dev"}},
         {}},
        {"about with bare line feeds", "<DESC>one\ntwo\r\nthree</DESC>", {{About, L"one\r\ntwo\r\nthree"}}, {}},
        {"names compared exactly", "<fn>x</fn><Nickname>y</Nickname><PHOTO><BINVAL>AAAA</BINVAL></PHOTO>", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryValues values = Filled(c.vcard);
        EXPECT_EQ(values.texts, c.texts);
        std::map<std::wstring, int> numbers;
        for (const auto& n : values.numbers) numbers[n.first] = n.second.second;
        EXPECT_EQ(numbers, c.numbers);
    }
}

TEST(VCardFields, ResetClearsEveryKeyTheWorkRoleToo)
{
    MemoryValues values = Filled("<ROLE>r</ROLE><FN>f</FN><BDAY>1999-2-3</BDAY>");
    values.texts[L"Other key"] = L"kept";
    ResetVCardValues(values);
    EXPECT_EQ(values.texts.size(), 32u);  // the 31 text keys and the other one
    for (const auto& t : values.texts) {
        if (t.first != L"Other key") {
            EXPECT_EQ(t.second, L"") << std::string(t.first.begin(), t.first.end());
        }
    }
    EXPECT_EQ(values.texts[WorkRole], L"");
    EXPECT_EQ(values.texts[PrefixName], L"");
    EXPECT_EQ(values.texts[SuffixName], L"");
    const std::pair<int, int> year{16, 0}, byte{8, 0};
    EXPECT_EQ(values.numbers[BirthYear], year);
    EXPECT_EQ(values.numbers[BirthMonth], byte);
    EXPECT_EQ(values.numbers[BirthDay], byte);
    EXPECT_EQ(values.numbers[Age], byte);
}

TEST(VCardFields, PublishingNothingStoredWritesTheFixedElementsOnly)
{
    MemoryValues values;
    XmlElement vcard("vCard");
    BuildVCard(values, &vcard);
    EXPECT_EQ(Serialize(vcard),
              "<vCard><FN/><N><GIVEN/><MIDDLE/><FAMILY/></N><NICKNAME/><GENDER/>"
              "<ADR><HOME/><STREET/><LOCALITY/><REGION/><PCODE/><CTRY/><COUNTRY/></ADR>"
              "<ADR><WORK/><STREET/><LOCALITY/><REGION/><PCODE/><CTRY/><COUNTRY/></ADR>"
              "<ORG><ORGNAME/><ORGUNIT/></ORG><TITLE/><ROLE/><URL/><DESC/></vCard>");
}

TEST(VCardFields, BirthDateIsPublishedOnlyWhole)
{
    MemoryValues values;
    values.SetNumber(BirthYear, 16, 1980);
    values.SetNumber(BirthMonth, 8, 1);
    XmlElement partial("vCard");
    BuildVCard(values, &partial);
    EXPECT_FALSE(FindChild(&partial, "BDAY"));
    values.SetNumber(BirthDay, 8, 5);
    XmlElement whole("vCard");
    BuildVCard(values, &whole);
    ASSERT_TRUE(FindChild(&whole, "BDAY"));
    EXPECT_EQ(FindChild(&whole, "BDAY")->text, "1980-1-5");
}

// Every key that a publication carries comes back from the published vCard as it was stored.
TEST(VCardFields, APublishedVCardReadsBackEqual)
{
    MemoryValues stored;
    const wchar_t* const keys[] = {DisplayName, FirstName,   LastName,   MiddleName,  NickName,  HomePage,
                                   HomeCountry, HomeState,   HomeCity,   HomeAddress, HomeZip,   HomeEmail,
                                   WorkCountry, WorkState,   WorkCity,   WorkAddress, WorkZip,   WorkEmail,
                                   WorkCompany, WorkDepartment, WorkPosition, WorkRole, HomePhone, HomeFax,
                                   CellPhone,   WorkPhone,   WorkFax};
    int n = 0;
    for (const wchar_t* key : keys)
        stored.texts[key] = std::wstring(L"v") + std::to_wstring(++n) + L" <&> \"q\" '\x00e9\x4e2d'";
    stored.texts[HomeAddress] = L"Main 1, flat 2";
    stored.texts[About] = L"line one\r\nline two";
    stored.texts[Gender] = L"Female";
    stored.SetNumber(BirthYear, 16, 1975);
    stored.SetNumber(BirthMonth, 8, 12);
    stored.SetNumber(BirthDay, 8, 31);

    XmlElement vcard("vCard");
    SetAttribute(&vcard, "xmlns", "vcard-temp");
    BuildVCard(stored, &vcard);
    // Through the wire form, as the server stores and returns it.
    std::unique_ptr<XmlElement> back = JabberTest::ParseStanza(Serialize(vcard));
    ASSERT_TRUE(back);
    MemoryValues read;
    FillVCardValues(*back, read);
    EXPECT_EQ(read.texts, stored.texts);
    EXPECT_EQ(read.numbers, stored.numbers);
}

TEST(VCardFields, OwnJidWithOrWithoutResource)
{
    struct Case {
        const char* from;
        bool own;
    } cases[] = {
        {"alice@localhost", true},  {"Alice@LocalHost", true},      {"alice@localhost/pc", true},
        {"alice@localhost/", true}, {"alice@localhostx", false},    {"alice@localhost.evil", false},
        {"alice@local", false},     {"bob@localhost/alice", false}, {"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsOwnJidOrResource(c.from, "alice@localhost"), c.own) << c.from;
    EXPECT_FALSE(IsOwnJidOrResource("alice@localhost", ""));
}

}  // namespace
