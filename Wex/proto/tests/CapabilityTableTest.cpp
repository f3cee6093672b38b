// The capability and x-status tables: their rows, the look-ups by identifier and by name, a
// contact's capability list from both forms of its TLVs, the family's clients and the x-status a
// contact announces.
#include "Wex/proto/CapabilityTable.h"
#include "Wex/proto/XStatusTable.h"
#include "Wex/proto/account/PictureNames.h"

#include "WexTestSupport.h"

#include <gtest/gtest.h>

#include <set>

using namespace WexTest;
using namespace Wex;

namespace {

const char kUtf8[] = "09 46 13 4E 4C 7F 11 D1 82 22 44 45 53 54 00 00";
const char kTyping[] = "56 3F C8 09 0B 6F 41 BD 9F 79 42 26 09 DF A2 F3";
const char kXtraz[] = "1A 09 3C 6C D7 FD 4E C5 9D 51 A6 47 4E 34 F5 A0";
const char kUnknown[] = "01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10";
const char kMobile[] = "56 3F C8 09 0B 6F 41 5A 45 4C 20 20 20 20 20 22";
const char kPellox[] = "7C 73 75 02 C3 BE 4F 3E A6 9F 01 53 13 43 1E 1A";
const char kSymbian[] = "51 AD D1 90 72 04 47 3D A1 A1 49 F4 A3 97 A4 1F";
const char kPda[] = "56 3F C8 09 0B 6F 41 5A 45 4C 20 20 20 20 20 21";
const char kFamily[] = "56 3F C8 09 0B 6F 41 5A 45 4C 00 00 00 00 00 00";
// x-statuses 3, 5 and 7.
const char kTired[] = "83 C9 B7 8E 77 E7 43 78 B2 C5 FB 6C FC C3 5B EC";
const char kBeer[] = "8C 50 DB AE 81 ED 47 86 AC CA 16 CC 32 13 C7 B7";
const char kEating[] = "F8 E8 D7 B2 82 C4 41 42 90 F8 10 C6 CE 0A 89 A6";

TlvChain UserInfo(const std::string& full, const std::string& brief = "", bool withBrief = false)
{
    TlvChain chain;
    Bytes value = Hex(full);
    if (!full.empty()) chain.Add(Tlv(0x000D, (unsigned short)value.size(), value.data()));
    Bytes shortValue = Hex(brief);
    if (withBrief) chain.Add(Tlv(0x0019, (unsigned short)shortValue.size(), shortValue.data()));
    return chain;
}

std::vector<std::wstring> Names(const CapabilityList& list)
{
    std::vector<std::wstring> names;
    for (const CapabilityEntry& entry : list) names.push_back(Text(entry.name));
    return names;
}

} // namespace

TEST(CapabilityTable, HoldsEveryRowOnceWithItsNameAndText)
{
    CapabilityTable table;
    EXPECT_EQ(table.GetCount(), 109);
    std::set<std::wstring> names;
    for (const auto& entry : table.Entries()) {
        EXPECT_EQ(entry.first, entry.second.guid);
        names.insert(Text(entry.second.name));
    }
    EXPECT_EQ(names.size(), 109u);
    const struct {
        const char* guid;
        const wchar_t* name;
        const wchar_t* text;
    } rows[] = {
        {"B2 EC 8F 16 7C 6F 45 1B BD 79 DC 58 49 78 88 B9", L"capXtZers", L"WEX-XtZers"},
        {"67 36 15 15 61 2D 4C 07 8F 3D BD E6 40 8E A0 41", L"capXSStatuses", L"Xtraz MultiUser Chat"},
        {"01 D8 D7 EE AC 3B 49 2A A5 8D D3 D8 77 E6 6B 92", L"capXS1pic", L"XStatus(Angry)"},
        {"00 72 D9 08 4A D1 43 DD 91 99 6F 02 69 66 02 6F", L"capXS35pic", L"XStatus(RuJournal)"},
        {"09 46 13 4A 4C 7F 11 D1 22 82 44 45 53 54 00 00", L"caGames2", L"Advanced Chat Features"},
        {kUtf8, L"caUTF8support", L"UTF8 Messages"},
        {"4A 69 6D 6D 20 00 00 00 00 00 00 00 00 00 00 00", L"caJimm", L""},
        {"51 AD D1 90 72 04 47 3D A1 A1 49 F4 A3 97 A4 1F", L"caZELPDASymbian", L"IM is ZEL PDA ( Symbian )"},
        {"B7 07 43 78 F5 0C 77 77 97 77 57 78 50 2D 05 79", L"caStatusEvil", L""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.guid);
        const CapabilityEntry* entry = table.FindByGuid(Hex(row.guid).data());
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(Text(entry->name), row.name);
        EXPECT_EQ(Text(entry->text), row.text);
    }
    EXPECT_EQ(table.FindByGuid(Hex(kUnknown).data()), nullptr);
    EXPECT_EQ(table.FindByGuid(nullptr), nullptr);
}

TEST(CapabilityTable, FindsNamesWhateverTheirCase)
{
    CapabilityTable table;
    const CapabilityEntry* xtraz = table.FindByName(CZELString(L"CAXTRAZ"));
    ASSERT_NE(xtraz, nullptr);
    EXPECT_EQ(Text(xtraz->name), L"caXtraz");
    EXPECT_EQ(xtraz->guid, caXtraz);
    EXPECT_EQ(table.FindByName(CZELString(L"caNothing")), nullptr);
    EXPECT_EQ(table.FindByName(CZELString()), nullptr);
}

TEST(CapabilityTable, ListsBothFormsInOrderAndIgnoresWhatDoesNotFill)
{
    CapabilityTable table;
    const struct {
        const char* name;
        TlvChain userInfo;
        std::vector<std::wstring> expected;
    } cases[] = {
        {"short form 13 4E", UserInfo("", "13 4E", true), {L"caUTF8support"}},
        {"40 bytes: two entries, 8 left over", UserInfo(std::string(kUtf8) + kTyping + "01 02 03 04 05 06 07 08"),
         {L"caUTF8support", L"caTyping"}},
        {"15 bytes: none", UserInfo("01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F"), {}},
        {"odd short form: the last byte ignored", UserInfo("", "13 4E 13", true), {L"caUTF8support"}},
        {"an unknown identifier has no name", UserInfo(kUnknown), {L""}},
        {"both forms: full first, nothing merged", UserInfo(kTyping, "13 4E 00 00", true),
         {L"caTyping", L"caUTF8support", L"caShortSupport"}},
        {"nothing", TlvChain(), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Names(ParseCapabilities(table, c.userInfo)), c.expected);
    }
    CapabilityList unknown = ParseCapabilities(table, UserInfo(kUnknown));
    ASSERT_EQ(unknown.size(), 1u);
    EXPECT_EQ(unknown[0].guid, GuidFromText("{01020304-0506-0708-090A-0B0C0D0E0F10}"));
}

TEST(CapabilityTable, TellsWhatAContactCanDo)
{
    CapabilityTable table;
    CapabilityList typing = ParseCapabilities(table, UserInfo(kTyping));
    CapabilityList unnamed = ParseCapabilities(table, UserInfo(kUnknown));
    EXPECT_TRUE(HasCapability(table, typing, CZELString(L"caTyping"), 16));
    EXPECT_FALSE(HasCapability(table, unnamed, CZELString(L"caTyping"), 16));
    EXPECT_FALSE(HasCapability(table, typing, CZELString(L"caNothing"), 16));
    EXPECT_FALSE(HasCapability(table, typing, CZELString(L"caUTF8support"), 16));
    // A prefix longer than an identifier compares the whole identifier.
    EXPECT_TRUE(HasCapability(table, typing, CZELString(L"caTyping"), 40));
    // caZEL's first 10 bytes are those of caTyping's first 6 and more: the prefix decides.
    CapabilityList pda = ParseCapabilities(table, UserInfo(kPda));
    EXPECT_TRUE(HasCapability(table, pda, CZELString(L"caZEL"), 10));
    EXPECT_FALSE(HasCapability(table, pda, CZELString(L"caZEL"), 16));
}

TEST(CapabilityTable, RecognisesTheFamilysClients)
{
    CapabilityTable table;
    const struct {
        const char* name;
        std::string capabilities;
        int expected;
    } cases[] = {
        {"the first client", kFamily, 1},
        {"PDA shares the first ten bytes", kPda, 1},
        {"Mobile shares the first ten bytes", kMobile, 1},
        {"Symbian", kSymbian, 3},
        {"Pellox alone", kPellox, 5},
        {"Pellox after another", std::string(kUtf8) + kPellox, 5},
        {"none of them", std::string(kUtf8) + kTyping, 0},
        {"no capabilities", "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DetectClient(table, UserInfo(c.capabilities)), c.expected);
    }
}

TEST(XStatusTable, FindsTheFirstXStatusTheContactAnnounces)
{
    const struct {
        const char* name;
        std::string capabilities;
        int expected;
    } cases[] = {
        {"caXtraz then x-status 5", std::string(kXtraz) + kBeer, 5},
        {"x-statuses 7 and 3: the contact's first", std::string(kEating) + kTired, 7},
        {"x-statuses 3 and 7", std::string(kTired) + kEating, 3},
        {"none", std::string(kXtraz) + kUtf8, 0},
        {"no capabilities", "", 0},
        {"an x-status cut short", std::string(kXtraz) + std::string(kBeer).substr(0, 45), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FindXStatus(UserInfo(c.capabilities)), c.expected);
    }
    Bytes beer = Hex(kBeer);
    EXPECT_EQ(FindXStatus(beer.data(), 0), 0);
    EXPECT_EQ(FindXStatus(beer.data(), 1), 5);
}

TEST(XStatusTable, HoldsThirtyFiveRowsAndTheUsersTexts)
{
    XStatusTable table;
    ASSERT_EQ(table.GetCount(), 35);
    CapabilityTable capabilities;
    for (int slot = 0; slot < table.GetCount(); ++slot) {
        SCOPED_TRACE(slot);
        EXPECT_EQ(Text(table[slot].name), L"capXS" + std::to_wstring(slot + 1) + L"pic");
        // The same rows in the capability table.
        const CapabilityEntry* row = capabilities.FindByGuid(table[slot].guid.data());
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->name, table[slot].name);
        EXPECT_EQ(row->text, table[slot].text);
        // Its picture is the plug-in's picture of that x-status.
        EXPECT_EQ(std::wstring(XStatusRows[slot].picture), WexPictures::Names[WexPictures::XStatusFirst + 1 + slot]);
        EXPECT_TRUE(table[slot].title.IsEmpty());
    }
    EXPECT_EQ(Text(table[9].text), L"XStatus(Coffee)");

    CZELString title(L"kept"), description(L"kept too");
    EXPECT_FALSE(table.GetXStatusText(35, title, description));
    EXPECT_FALSE(table.GetXStatusText(-1, title, description));
    EXPECT_EQ(Text(title), L"kept");
    EXPECT_EQ(Text(description), L"kept too");
    EXPECT_FALSE(table.SetXStatusText(35, title, description));
    EXPECT_TRUE(table.SetXStatusText(34, CZELString(L"Reading"), CZELString(L"a diary")));
    EXPECT_TRUE(table.GetXStatusText(34, title, description));
    EXPECT_EQ(Text(title), L"Reading");
    EXPECT_EQ(Text(description), L"a diary");
}
