#include "ZELCommon/MUIController.h"

#include "Handheld/tests/DisplayRequirement.h"
#include "modules/TestModules.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>

using MUI::CZELWMMUI_Controller;

namespace {

const wchar_t* const kEnglish[] = {L"Offline", L"Online", L"Not at home", L"Occupied", L"Invisible"};

bool BuiltInText(int id, CZELString& out)
{
    if (id < 0 || id >= int(sizeof(kEnglish) / sizeof(kEnglish[0]))) return false;
    out = kEnglish[id];
    return true;
}

// Texts 0..2 of the test language modules.
const wchar_t* const kModuleTexts[] = {
    L"\x0412\x044B\x043A\x043B\x044E\x0447\x0435\x043D",
    L"\x0412 \x0441\x0435\x0442\x0438",
    L"\x041D\x0435\x0442 \x0434\x043E\x043C\x0430",
};

bool IsLoaded(const wchar_t* module)
{
    return GetModuleHandleW(module) != nullptr;
}

std::wstring Text(const CZELWMMUI_Controller& controller, int id)
{
    CZELString out(L"unchanged");
    controller.GetString(id, out);
    return WideText(out);
}

// Exact spelling: CZELString equality ignores letter case.
std::wstring CurLang(const CZELWMMUI_Controller& controller)
{
    return WideText(controller.GetCurLang());
}

class MUIController : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(IsLoaded(L"TST_Russian.dll")) << "an earlier test left the module loaded";
        controller.reset(new CZELWMMUI_Controller(TestModulesFolder(), L"TST_", L"English", BuiltInText));
    }
    void TearDown() override
    {
        controller.reset();
        EXPECT_FALSE(IsLoaded(L"TST_Russian.dll"));
        EXPECT_FALSE(IsLoaded(L"TST_Belarusian.dll"));
        EXPECT_FALSE(IsLoaded(L"TST_Undecorated.dll"));
    }
    void SwitchToRussian()
    {
        controller->ChangeLang(L"Russian");
        ASSERT_EQ(CurLang(*controller), L"Russian");
        ASSERT_TRUE(IsLoaded(L"TST_Russian.dll"));
    }
    std::unique_ptr<CZELWMMUI_Controller> controller;
};

}  // namespace

TEST_F(MUIController, StartsInTheDefaultLanguageWithoutModule)
{
    EXPECT_EQ(CurLang(*controller), L"English");
    EXPECT_EQ(WideText(controller->GetDefLang()), L"English");
    EXPECT_EQ(Text(*controller, 0), L"Offline");
    EXPECT_EQ(Text(*controller, 4), L"Invisible");
    EXPECT_EQ(Text(*controller, 5), L"unchanged");
}

TEST_F(MUIController, ModuleAnswersFirstAndBuiltInTableFillsTheGaps)
{
    SwitchToRussian();
    EXPECT_EQ(WideText(controller->GetDefLang()), L"English");
    const struct {
        const char* name;
        int id;
        std::wstring expected;
    } cases[] = {
        {"first module text", 0, kModuleTexts[0]},
        {"last module text", 2, kModuleTexts[2]},
        {"past the module's table", 3, L"Occupied"},
        {"last built-in text", 4, L"Invisible"},
        {"known to neither", 5, L"unchanged"},
        {"negative", -1, L"unchanged"},
        {"most negative", INT_MIN, L"unchanged"},
        {"largest", INT_MAX, L"unchanged"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Text(*controller, c.id), c.expected);
    }
}

TEST_F(MUIController, CurrentLanguageInAnotherCaseDoesNothing)
{
    controller->ChangeLang(L"ENGLISH");
    EXPECT_EQ(CurLang(*controller), L"English");
    EXPECT_EQ(Text(*controller, 0), L"Offline");

    SwitchToRussian();
    HMODULE module = GetModuleHandleW(L"TST_Russian.dll");
    controller->ChangeLang(L"rUSSIAN");
    EXPECT_EQ(CurLang(*controller), L"Russian");
    EXPECT_EQ(GetModuleHandleW(L"TST_Russian.dll"), module);
    EXPECT_EQ(Text(*controller, 1), kModuleTexts[1]);
    // Had the module been loaded again, one free would leave it loaded.
    controller->ChangeLang(L"English");
    EXPECT_FALSE(IsLoaded(L"TST_Russian.dll"));
}

TEST_F(MUIController, UnusableModuleKeepsTheLanguageInForce)
{
    const struct {
        const char* name;
        const wchar_t* language;
        const wchar_t* library;  // must not stay loaded
    } refused[] = {
        {"module file missing", L"Klingon", L"TST_Klingon.dll"},
        {"module without the decorated export", L"Undecorated", L"TST_Undecorated.dll"},
        {"empty language", L"", L"TST_.dll"},
    };
    for (bool fromModule : {false, true}) {
        if (fromModule) SwitchToRussian();
        const std::wstring language = fromModule ? L"Russian" : L"English";
        const std::wstring text0 = fromModule ? kModuleTexts[0] : L"Offline";
        for (const auto& c : refused) {
            SCOPED_TRACE(std::string(c.name) + (fromModule ? ", module in force" : ", default in force"));
            controller->ChangeLang(c.language);
            EXPECT_EQ(CurLang(*controller), language);
            EXPECT_EQ(Text(*controller, 0), text0);
            EXPECT_EQ(Text(*controller, 3), L"Occupied");
            EXPECT_FALSE(IsLoaded(c.library));
            EXPECT_EQ(IsLoaded(L"TST_Russian.dll"), fromModule);
        }
    }
}

TEST_F(MUIController, BackToTheDefaultFreesTheModule)
{
    const wchar_t* spellings[] = {L"English", L"english"};
    for (const wchar_t* spelling : spellings) {
        SCOPED_TRACE(testing::Message() << "back with " << std::string(spelling, spelling + wcslen(spelling)));
        SwitchToRussian();
        controller->ChangeLang(spelling);
        EXPECT_EQ(CurLang(*controller), L"English") << "the default keeps its own spelling";
        EXPECT_FALSE(IsLoaded(L"TST_Russian.dll"));
        for (int id = 0; id < 5; ++id) EXPECT_EQ(Text(*controller, id), kEnglish[id]);
    }
}

TEST_F(MUIController, NewModuleReplacesThePreviousOne)
{
    SwitchToRussian();
    controller->ChangeLang(L"Belarusian");
    EXPECT_EQ(CurLang(*controller), L"Belarusian");
    EXPECT_TRUE(IsLoaded(L"TST_Belarusian.dll"));
    EXPECT_FALSE(IsLoaded(L"TST_Russian.dll"));
    EXPECT_EQ(Text(*controller, 2), kModuleTexts[2]);
    EXPECT_EQ(Text(*controller, 4), L"Invisible");
}

TEST_F(MUIController, DestructionFreesTheModule)
{
    SwitchToRussian();
    controller.reset();
    EXPECT_FALSE(IsLoaded(L"TST_Russian.dll"));
}

// Language names come from settings: one that walks out of the modules' folder is refused even
// where the path it makes would name a real module.
TEST_F(MUIController, LanguageWithPathPartsIsRefused)
{
    CZELWMMUI_Controller unprefixed(TestModulesFolder() + L"Sub\\", CZELString(), L"English", BuiltInText);
    const wchar_t* languages[] = {
        L"..\\TST_Russian",
        L"../TST_Russian",
    };
    for (const wchar_t* language : languages) {
        unprefixed.ChangeLang(language);
        EXPECT_EQ(CurLang(unprefixed), L"English");
        EXPECT_FALSE(IsLoaded(L"TST_Russian.dll"));
    }
    CZELString absolute = TestModulesFolder() + L"TST_Russian";
    CZELWMMUI_Controller noFolder(CZELString(), CZELString(), L"English", BuiltInText);
    noFolder.ChangeLang(absolute);
    EXPECT_EQ(CurLang(noFolder), L"English");
    EXPECT_FALSE(IsLoaded(L"TST_Russian.dll"));
}

TEST(MUIControllerBuiltIn, MissingBuiltInTableKnowsNothing)
{
    CZELWMMUI_Controller controller(TestModulesFolder(), L"TST_", L"English", nullptr);
    EXPECT_EQ(Text(controller, 0), L"unchanged");
    controller.ChangeLang(L"Russian");
    EXPECT_EQ(Text(controller, 0), kModuleTexts[0]);
    EXPECT_EQ(Text(controller, 3), L"unchanged");
}

namespace {

// A top-level window with one child item (id 100), as a dialog holds its controls.
class MUIControllerWindow : public MUIController {
protected:
    void SetUp() override
    {
        MUIController::SetUp();
        ZEL_REQUIRE_DISPLAY();
        window = CreateWindowExW(0, L"STATIC", L"old", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
        item = CreateWindowExW(0, L"STATIC", L"old", WS_CHILD, 0, 0, 100, 20, window, HMENU(100),
                               GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(item, nullptr);
    }
    void TearDown() override
    {
        if (window) DestroyWindow(window);
        MUIController::TearDown();
    }
    static std::wstring WindowText(HWND hwnd)
    {
        wchar_t text[256] = L"";
        GetWindowTextW(hwnd, text, 256);
        return text;
    }
    HWND window = nullptr;
    HWND item = nullptr;
};

}  // namespace

TEST_F(MUIControllerWindow, SetsWindowAndDialogItemTexts)
{
    SwitchToRussian();
    const struct {
        const char* name;
        int id;
        std::wstring expected;
    } cases[] = {
        {"module text", 1, kModuleTexts[1]},
        {"built-in text", 3, L"Occupied"},
        {"unknown id clears the text", 9, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetWindowTextW(window, L"old");
        SetWindowTextW(item, L"old");
        CZELWMMUI_Controller::SetWinText(controller.get(), window, c.id);
        CZELWMMUI_Controller::SetWinText(controller.get(), window, 100, c.id);
        EXPECT_EQ(WindowText(window), c.expected);
        EXPECT_EQ(WindowText(item), c.expected);
    }
    // An item the dialog does not have is no window to set.
    CZELWMMUI_Controller::SetWinText(controller.get(), window, 101, 1);
    EXPECT_EQ(WindowText(window), L"");
}
