// The account's tables as plain data: the status words both ways, the status table's rows, the
// privacy pictures, the texts and picture names, and the shared tables under many threads.
#include "Wex/proto/account/AccountSettings.h"
#include "Wex/proto/account/BuiltInTexts.h"
#include "Wex/proto/account/PictureNames.h"
#include "Wex/proto/account/SharedTables.h"
#include "Wex/proto/account/StatusMapping.h"

#include "WexTestSupport.h"
#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/skin/ISkinImages.h"
#include "ZELCommon/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using namespace WexStatus;
using WexTest::Text;

namespace {

unsigned short Swapped(unsigned short word)
{
    return (unsigned short)((word >> 8) | (word << 8));
}

}  // namespace

TEST(StatusMapping, SendsEachStatusAsItsWireWord)
{
    const struct {
        int status;
        unsigned short wire;
    } cases[] = {
        {2, 0x0000}, {3, 0x0100}, {4, 0x0100}, {5, 0x0020}, {6, 0x3000}, {7, 0x4000}, {8, 0x5000},
        {9, 0x6000}, {10, 0x2001}, {11, 0x0001}, {12, 0x0004}, {13, 0x0010}, {14, 0x0002},
        // Nothing to send for these.
        {0, 0xFFFF}, {1, 0xFFFF}, {15, 0xFFFF}, {-1, 0xFFFF},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        EXPECT_EQ(c.wire, StatusToWire(c.status));
        // In memory the word is held as the codec reads it, low byte first.
        EXPECT_EQ(c.wire == 0xFFFF ? 0xFFFF : Swapped(c.wire), StatusToFlags(c.status));
    }
}

TEST(StatusMapping, ReadsEachWireWordAsItsStatus)
{
    const struct {
        const char* name;
        unsigned short wire;
        int status;
    } cases[] = {
        {"online", 0x0000, 2},
        {"invisible", 0x0100, 3},
        {"free for chat", 0x0020, 5},
        {"evil", 0x3000, 6},
        {"depression", 0x4000, 7},
        {"at home", 0x5000, 8},
        {"at work", 0x6000, 9},
        {"lunch before away", 0x2001, 10},
        {"away", 0x0001, 11},
        {"not available", 0x0004, 12},
        {"occupied", 0x0010, 13},
        {"do not disturb", 0x0002, 14},
        {"away wins over invisible", 0x0101, 11},
        {"free for chat wins over all", 0x7777, 5},
        {"not available before do not disturb", 0x0006, 12},
        {"do not disturb before occupied", 0x0012, 14},
        {"an unknown word", 0x8000, 2},
        {"evil with another bit", 0x3100, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.status, WireToStatus(c.wire));
        EXPECT_EQ(c.status, FlagsToStatus(Swapped(c.wire)));
    }
}

TEST(StatusMapping, EveryStatusSentReadsBackAsItselfOrItsNetworkForm)
{
    for (int status = 2; status < StatusCount; ++status) {
        SCOPED_TRACE(status);
        // Invisible for all travels as Invisible; the account tells them apart by what it asked for.
        EXPECT_EQ(status == 4 ? 3 : status, FlagsToStatus(StatusToFlags(status)));
    }
}

TEST(StatusMapping, ExtendedStatusesGoOutAsOnlineOrAway)
{
    for (int status = 0; status < StatusCount; ++status) {
        SCOPED_TRACE(status);
        const int expected = status >= 5 && status <= 9 ? 2 : status == 10 ? 11 : status;
        EXPECT_EQ(expected, NetworkStatus(status));
        EXPECT_EQ(status >= 5 && status <= 10, IsExtendedStatus(status));
    }
}

TEST(StatusMapping, RowsNameEachStatusAndItsPictures)
{
    const struct {
        int status;
        const wchar_t* name;
        std::vector<int> entries;
    } cases[] = {
        {0, L"Offline", {0}},           {1, L"Connection", {2}},         {2, L"Online", {3}},
        {3, L"Invisible", {3, 6}},      {4, L"Invisible for all", {7, 6}}, {5, L"Free for chat", {3, 8}},
        {6, L"Evil", {3, 9}},           {7, L"Depression", {3, 10}},     {8, L"@ Home", {3, 11}},
        {9, L"@ Work", {3, 12}},        {10, L"Lunch", {3, 13}},         {11, L"Away", {3, 14}},
        {12, L"Not available", {3, 15}}, {13, L"Occupied", {3, 16}},     {14, L"Do not disturb", {3, 17}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        const StatusRow& row = StatusRows[c.status];
        EXPECT_EQ(c.status, row.status);
        EXPECT_EQ(std::wstring(c.name), WexTexts::English(row.textId));
        EXPECT_EQ(c.entries, std::vector<int>(row.imageEntries, row.imageEntries + row.imageCount));
    }
}

TEST(StatusMapping, PrivacyModesHaveTheirTextsAndPictures)
{
    const struct {
        int mode;
        const wchar_t* text;
        const wchar_t* picture;
    } cases[] = {
        {1, L"Visible for all", L"wex_priv_st_vis4all.png"},
        {2, L"Invisible for all", L"wex_priv_st_invis4all.png"},
        {3, L"Visible only for visible list", L"wex_priv_st_vis4vis.png"},
        {4, L"Visible for all except invisible list", L"wex_priv_st_vis4all_except_invis.png"},
        {5, L"Visible only for contact list", L"wex_priv_st_vis4cl.png"},
        // Before the first list arrives the mode is 0: shown as mode 4.
        {0, L"Visible for all except invisible list", L"wex_priv_st_vis4all_except_invis.png"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        EXPECT_EQ(std::wstring(c.text), WexTexts::English(PrivacyTextId(c.mode)));
        EXPECT_EQ(std::wstring(c.picture), WexPictures::Names[PrivacyImageEntry(c.mode)]);
    }
}

TEST(BuiltInTexts, CoverEveryNumberAndOnlyThose)
{
    for (int id = 0; id < WexTexts::Count; ++id) {
        SCOPED_TRACE(id);
        CZELString text;
        EXPECT_TRUE(WexTexts::BuiltInText(id, text));
        EXPECT_FALSE(text.IsEmpty());
    }
    CZELString untouched(L"kept");
    EXPECT_FALSE(WexTexts::BuiltInText(WexTexts::Count, untouched));
    EXPECT_FALSE(WexTexts::BuiltInText(-1, untouched));
    EXPECT_EQ(L"kept", Text(untouched));
    EXPECT_EQ(std::wstring(L"Server pause"), WexTexts::English(118));
    EXPECT_EQ(std::wstring(L"Invalid UIN or password"), WexTexts::English(125));
    EXPECT_EQ(std::wstring(L"Your account used on another computer"), WexTexts::English(157));
    EXPECT_EQ(std::wstring(L"Cancel"), WexTexts::English(161));
}

TEST(PictureNames, SeventySevenDistinctFilesInTheirOrder)
{
    EXPECT_EQ(std::wstring(L"wex_stoffline.png"), WexPictures::Names[0]);
    EXPECT_EQ(std::wstring(L"wex_xstatus_none.png"), WexPictures::Names[WexPictures::XStatusFirst]);
    EXPECT_EQ(std::wstring(L"wex_proto.png"), WexPictures::Names[WexPictures::Protocol]);
    EXPECT_EQ(std::wstring(L"proto_optadvanced.png"), WexPictures::Names[76]);
    for (int i = 0; i < WexPictures::Count; ++i)
        for (int j = i + 1; j < WexPictures::Count; ++j) EXPECT_NE(std::wstring(WexPictures::Names[i]), WexPictures::Names[j]);
}

TEST(AccountSettingsKeys, XStatusTextsKeepTheirStoredKeys)
{
    EXPECT_EQ(L"0X status nameX status desc", Text(WexKeys::XStatusTitle(0)));
    EXPECT_EQ(L"0", Text(WexKeys::XStatusDescription(0)));
    EXPECT_EQ(L"34X status nameX status desc", Text(WexKeys::XStatusTitle(34)));
    EXPECT_EQ(L"34", Text(WexKeys::XStatusDescription(34)));
}

// Every account changes the language on its own thread when the user switches, while the others
// read the status table: readers always get whole rows.
TEST(SharedTables, LanguageChangesOnManyThreadsWhileOthersRead)
{
    SharedTables tables;
    tables.Acquire(nullptr, CZELString(L"C:\\nowhere\\"));
    tables.ChangeLanguage(CZELString(L"English"));
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int round = 0; round < 5000; ++round) tables.ChangeLanguage(CZELString(L"English"));
        });
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            while (!stop) {
                for (int status = 0; status < StatusCount; ++status) {
                    StatusEntry row;
                    if (!tables.StatusRow(status, row) || row.status != status ||
                        Text(row.name) != WexTexts::English(StatusRows[status].textId))
                        ++torn;
                }
            }
        });
    for (int t = 0; t < 4; ++t) threads[size_t(t)].join();
    stop = true;
    for (size_t t = 4; t < threads.size(); ++t) threads[t].join();
    EXPECT_EQ(0, torn.load());
    EXPECT_EQ(StatusCount, tables.StatusRowCount());
    tables.Release(nullptr);
    EXPECT_EQ(0, tables.StatusRowCount());
    EXPECT_EQ(0, tables.Users());
}

// The first Load makes the tables, later ones share them, the last Unload ends them; no pictures
// without the skin image registry.
TEST(SharedTables, LiveFromTheFirstUserToTheLast)
{
    SharedTables tables;
    tables.Acquire(nullptr, CZELString(L"C:\\nowhere\\"));
    tables.Acquire(nullptr, CZELString(L"C:\\nowhere\\"));
    tables.ChangeLanguage(CZELString(L"English"));
    EXPECT_EQ(-1, tables.Image(3));
    EXPECT_TRUE(tables.ImageIds().empty());
    tables.Release(nullptr);
    EXPECT_EQ(StatusCount, tables.StatusRowCount());
    EXPECT_EQ(L"Online", Text(tables.Text(15)));
    tables.Release(nullptr);
    EXPECT_EQ(0, tables.StatusRowCount());
    // Without a controller the English table still answers.
    EXPECT_EQ(L"Online", Text(tables.Text(15)));
}

namespace {

// The skin image registry as far as the tables use it: each name gets the next index, and what is
// still held is kept.
class RecordingSkinImages : public ISkinImages {
public:
    int AcquireImage(const CZELString& name) override
    {
        names.push_back(Text(name));
        held.push_back(int(names.size()) - 1);
        return held.back();
    }
    void ReleaseImage(int index) override
    {
        for (size_t i = 0; i < held.size(); ++i)
            if (held[i] == index) {
                held.erase(held.begin() + std::ptrdiff_t(i));
                return;
            }
        ++unknownReleases;
    }
    CZELString& GetLanguageName(CZELString& out) override { return out = CZELString(L"English"); }
    HBRUSH GetBkBrush() override { return nullptr; }
    COLORREF GetTextColor() override { return 0; }

    std::vector<std::wstring> names;
    std::vector<int> held;
    int unknownReleases = 0;
};

// A direct-connection block of protocol version 9 and one capability.
Wex::TlvChain ContactOfVersion9()
{
    std::vector<unsigned char> block(35);
    block[10] = 9;
    Wex::TlvChain userInfo;
    userInfo.Add(Wex::Tlv(0x000C, (unsigned short)block.size(), block.data()));
    std::vector<unsigned char> caps(Wex::caUTF8support.begin(), Wex::caUTF8support.end());
    userInfo.Add(Wex::Tlv(0x000D, (unsigned short)caps.size(), caps.data()));
    return userInfo;
}

}  // namespace

// The clients file is read once while accounts share it; a second account leaving does not take
// the rules from the first, which still matches against them; the last takes them and their
// pictures away, and the next account to come reads the file again.
TEST(SharedTables, ClientRulesLiveWithTheirLastAccount)
{
    TestSupport::TempFolder folder(L"WexClients");
    std::wstring text = L"\xFEFF[v9]\r\nname=Nine\r\nprotover=9\r\npic=Nine.png\r\n[other]\r\nname=other\r\n";
    std::string bytes;
    for (wchar_t c : text) bytes += {char(c & 0xFF), char(c >> 8)};
    ASSERT_TRUE(TestSupport::WriteWholeFile(folder.path + L"Clients.cfg", bytes));

    Services::CServicesManager bus;
    RecordingSkinImages images;
    bus.RegisterService(GUID_SKIN_IMAGES, static_cast<ISkinImages*>(&images));
    SharedTables tables;
    tables.Acquire(&bus, folder.Path());
    tables.Acquire(&bus, folder.Path());
    size_t plugInPictures = images.held.size();
    tables.LoadClientRules(&bus, folder.Path());
    tables.LoadClientRules(&bus, folder.Path());  // already loaded: the file is not read again
    EXPECT_EQ(tables.ClientRuleCount(), 2);
    ASSERT_EQ(images.held.size(), plugInPictures + 1);
    EXPECT_EQ(images.names.back(), L"Clients\\nine.png");
    int picture = images.held.back();

    tables.Release(&bus);
    EXPECT_EQ(tables.ClientPicture(ContactOfVersion9()), picture);
    tables.Release(&bus);
    EXPECT_EQ(tables.ClientRuleCount(), 0);
    EXPECT_EQ(tables.ClientPicture(ContactOfVersion9()), -1);
    EXPECT_TRUE(images.held.empty());
    EXPECT_EQ(images.unknownReleases, 0);

    tables.Acquire(&bus, folder.Path());
    tables.LoadClientRules(&bus, folder.Path());
    EXPECT_EQ(tables.ClientRuleCount(), 2);
    tables.Release(&bus);
    // Without the file, or without the registry, no rules.
    DeleteFileW((folder.path + L"Clients.cfg").c_str());
    tables.Acquire(&bus, folder.Path());
    tables.LoadClientRules(&bus, folder.Path());
    EXPECT_EQ(tables.ClientRuleCount(), 0);
    tables.Release(&bus);
}
