// Alert packs ("_alerts.ini"), the vibration codes and the stored "Alerts" list.
#include "Zel/shell/alerts/AlertPack.h"

#include "Zel/core/settings/SettingsStore.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring Wide(const CZELString& text)
{
    return text.GetBuffer() ? std::wstring(text.GetBuffer(), size_t(text.GetLength())) : std::wstring();
}

const ZEL_GUID kSection = {0x5CA0CBC1, 0x999A, 0x4EA2, {0x8B, 0x44, 0xF8, 0xF6, 0x7D, 0x7F, 0x8E, 0xBE}};

}  // namespace

TEST(AlertPack, ParsesFiveEntriesOrFails)
{
    const std::string head = "[ZELAlerts]\r\n";
    const std::string four = "a=in.wav 1\r\nb=out.wav 0\r\nc=on.wav 0101\r\nd=info.wav 1\r\n";
    struct {
        const char* name;
        std::string text;
        bool parses;
    } cases[] = {
        {"a whole pack", head + four + "e=mail.wav 11\r\n", true},
        {"the last code ends the file", head + four + "e=mail.wav 11", true},
        {"the last file name ends the file", head + four + "e=mail.wav", false},
        {"four entries", head + four, false},
        {"header with a bare line feed", "[ZELAlerts]\n" + four + "e=m.wav 1", false},
        {"no header", four + "e=m.wav 1", false},
        {"an earlier code ends the file", head + "a=in.wav 1", false},
        {"empty", "", false},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        AlertEntryArray entries;
        EXPECT_EQ(AlertPack::ParseIni(test.text.data(), test.text.size(), L"C:\\Pack\\", entries), test.parses);
        if (!test.parses) continue;
        ASSERT_EQ(entries.GetCount(), 5);
        EXPECT_EQ(Wide(entries[0].sound), L"C:\\Pack\\in.wav");
        EXPECT_TRUE(entries[0].on && entries[0].soundOn);
        EXPECT_EQ(entries[2].vibra, 0xAu);
        EXPECT_EQ(entries[4].vibra, 0x3u);
    }
    // A space right after "=": an empty file name, the sound is the folder itself.
    std::string spaced = head + "a= 1\r\n" + four.substr(12) + "e=m.wav 1";
    AlertEntryArray entries;
    ASSERT_TRUE(AlertPack::ParseIni(spaced.data(), spaced.size(), L"C:\\Pack\\", entries));
    EXPECT_EQ(Wide(entries[0].sound), L"C:\\Pack\\");
}

TEST(AlertPack, VibrationCodes)
{
    EXPECT_EQ(BitsFromString(L"0101"), 0xAu);
    EXPECT_EQ(BitsFromString(CZELString()), 0u);
    EXPECT_EQ(BitsFromString(std::wstring(40, L'1').c_str()), 0xFFFFFFFFu);
    EXPECT_EQ(Wide(BitsToString(0x3)), L"11");
    EXPECT_EQ(Wide(BitsToString(0)), L"0");
    EXPECT_EQ(Wide(BitsToString(0x80000000u)), std::wstring(31, L'0') + L"1");
}

TEST(AlertPack, StoredListRoundTrip)
{
    CSettingsStore store(nullptr, L"C:\\nonexistent-folder-for-test\\settings.zel");
    AlertEntryArray entries;
    AlertPack::SetDefaults(entries);
    entries[1].sound = L"\x0416.wav";
    entries[1].soundOn = true;
    AlertListSetting::Save(store, kSection, L"Alerts", entries);
    AlertEntryArray loaded;
    ASSERT_TRUE(AlertListSetting::Load(store, kSection, L"Alerts", loaded));
    ASSERT_EQ(loaded.GetCount(), 5);
    EXPECT_EQ(Wide(loaded[1].sound), L"\x0416.wav");
    EXPECT_TRUE(loaded[1].soundOn);
    EXPECT_EQ(loaded[0].vibra, 0xFu);
    AlertEntryArray none;
    EXPECT_FALSE(AlertListSetting::Load(store, kSection, L"Missing", none));
}
