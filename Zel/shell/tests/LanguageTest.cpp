// The program's texts: the built-in English table, and language modules switched at run time through
// the GUI resources, each text falling back to English where the module has none.
#include "Zel/core/skin/SkinImageSet.h"
#include "Zel/prefs/GlobalSettings.h"
#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/lang/EnglishTexts.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

std::wstring Wide(const CZELString& text)
{
    return text.GetBuffer() ? std::wstring(text.GetBuffer(), size_t(text.GetLength())) : std::wstring();
}

std::wstring English(int number)
{
    CZELString text(L"untouched");
    EXPECT_TRUE(EnglishText(number, text));
    return Wide(text);
}

// The test module's texts 0 to 2 (in code page 1251 inside the module).
const std::wstring kTranslated0 = L"\x0412\x044b\x043a\x043b\x044e\x0447\x0435\x043d";

}  // namespace

TEST(EnglishTexts, TheTableByNumber)
{
    struct {
        int number;
        const wchar_t* text;
    } cases[] = {
        {0, L"Offline"},
        {14, L"Do not Disturb"},
        {15, L"Global status"},
        {16, L"Menu"},
        {29, L"Open groups"},
        {34, L"Open groups"},
        {87, L"Save message history for \"Not in list\""},
        {123, L" <empty>"},
        {158, L"Show \"Send message\" button"},
        {159, L"Show \"Select smilies\" button"},
        {217, L"Total: "},
        {224, L"New version of ZEL PDA (%d) loaded! Install now?"},
        {243, L"OK"},
        {280, L"Vibra code:"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.number);
        EXPECT_EQ(English(test.number), test.text);
    }
    EXPECT_EQ(English(222).rfind(L"New version of ZEL PDA (%d) is available on ", 0), 0u);
    EXPECT_EQ(English(222).back(), L'!');
    EXPECT_EQ(English(223), English(222) + L"\nDownload now?");
    EXPECT_FALSE(English(229).empty());
    for (int number = 0; number < EnglishTextCount; ++number) {
        SCOPED_TRACE(number);
        EXPECT_FALSE(English(number).empty());
    }
}

TEST(EnglishTexts, ANumberOutsideTheTableIsRefused)
{
    for (int number : {-1, int(EnglishTextCount), 100000, int(0x80000000)}) {
        SCOPED_TRACE(number);
        CZELString text(L"untouched");
        EXPECT_FALSE(EnglishText(number, text));
        EXPECT_TRUE(text == L"untouched");
    }
}

TEST(GuiResourcesLanguage, SwitchesAtRunTimeAndBack)
{
    GlobalSettings settings;
    settings.language = L"English";
    CSkinImageSet images;
    CGuiResources resources(settings, images, nullptr);
    EXPECT_EQ(Wide(resources.Text(0)), L"Offline");
    EXPECT_EQ(Wide(GuiText(0)), L"Offline");

    settings.language = L"Test";
    resources.OnOptionChanged(OPT_LANGUAGE);
    EXPECT_EQ(Wide(resources.CurrentLanguage()), L"Test");
    EXPECT_EQ(Wide(resources.Text(0)), kTranslated0);
    EXPECT_EQ(Wide(GuiText(0)), kTranslated0);
    // What the module lacks is English.
    EXPECT_EQ(Wide(resources.Text(16)), L"Menu");
    EXPECT_TRUE(resources.Text(EnglishTextCount).IsEmpty());

    // A missing module or one without the export keeps the language in force.
    for (const wchar_t* broken : {L"Missing", L"NoExport", L"..\\Langs\\ZEL_Test"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(broken)));
        settings.language = broken;
        resources.OnOptionChanged(OPT_LANGUAGE);
        EXPECT_EQ(Wide(resources.CurrentLanguage()), L"Test");
        EXPECT_EQ(Wide(resources.Text(0)), kTranslated0);
    }

    settings.language = L"english";
    resources.OnOptionChanged(OPT_LANGUAGE);
    EXPECT_EQ(Wide(resources.Text(0)), L"Offline");
    EXPECT_EQ(GetModuleHandleW(L"ZEL_Test.dll"), nullptr);  // unloaded
}

TEST(GuiResourcesLanguage, StartsInTheStoredLanguageOrInEnglishWhenItsModuleIsMissing)
{
    GlobalSettings settings;
    CSkinImageSet images;
    settings.language = L"Test";
    {
        CGuiResources resources(settings, images, nullptr);
        EXPECT_EQ(Wide(resources.Text(0)), kTranslated0);
    }
    settings.language = L"Missing";
    CGuiResources resources(settings, images, nullptr);
    EXPECT_EQ(Wide(resources.Text(0)), L"Offline");
    EXPECT_EQ(Wide(resources.CurrentLanguage()), L"English");
}

TEST(GuiResourcesLanguage, NotificationStateListsEmptyOnTheirCodes)
{
    GlobalSettings settings;
    settings.language = L"English";
    CSkinImageSet images;
    CGuiResources resources(settings, images, nullptr);
    for (int i = 0; i < 3; ++i) resources.NotificationList(i).Add(i);
    resources.OnOptionChanged(OPT_NOTIFICATIONS_FIRST);
    EXPECT_EQ(resources.NotificationList(0).GetCount(), 0);
    EXPECT_EQ(resources.NotificationList(1).GetCount(), 1);
    resources.OnOptionChanged(OPT_NOTIFICATIONS_ALL);
    EXPECT_EQ(resources.NotificationList(1).GetCount() + resources.NotificationList(2).GetCount(), 0);
}

// The "GUI" queue reads texts while the window thread switches languages: a reader must never meet a
// module that is being freed, and every text it reads is whole, in one language or the other.
TEST(GuiResourcesLanguage, ReadersOnOtherThreadsMeetOnlyWholeTexts)
{
    GlobalSettings settings;
    settings.language = L"English";
    CSkinImageSet images;
    CGuiResources resources(settings, images, nullptr);

    std::vector<std::wstring> english, russian;
    for (int number = 0; number < EnglishTextCount; ++number) english.push_back(Wide(resources.Text(number)));
    settings.language = L"Russian";
    resources.OnOptionChanged(OPT_LANGUAGE);
    ASSERT_EQ(Wide(resources.CurrentLanguage()), L"Russian") << "Langs\\ZEL_Russian.dll beside the tests";
    for (int number = 0; number < EnglishTextCount; ++number) russian.push_back(Wide(resources.Text(number)));
    EXPECT_NE(russian[0], english[0]);

    std::atomic<bool> stop{false};
    std::atomic<int> torn{0}, reads{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 3; ++t) {
        readers.emplace_back([&, t] {
            for (int number = t; !stop; number = (number + 7) % EnglishTextCount) {
                std::wstring text = Wide(GuiText(number));
                if (text != english[number] && text != russian[number]) ++torn;
                ++reads;
            }
        });
    }
    for (int i = 0; i < 200; ++i) {
        settings.language = (i % 2) ? L"Russian" : L"English";
        resources.OnOptionChanged(OPT_LANGUAGE);
    }
    stop = true;
    for (auto& reader : readers) reader.join();
    EXPECT_EQ(torn, 0);
    EXPECT_GT(reads, 0);
    EXPECT_EQ(Wide(resources.Text(0)), russian[0]);
}
