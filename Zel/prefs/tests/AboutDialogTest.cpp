// The about box: the build number with at least four digits, the credits with the trademark
// notice and the libraries' notices, OK on the left soft key.
#include "Zel/prefs/AboutDialog.h"

#include "Zel/prefs/PreferencesPage.h"
#include "Zel/shell/app/GuiResources.h"
#include "ZELCommon/tests/UiTestSupport.h"

#include <gtest/gtest.h>

#include <string>

using TestSupport::Scripted;

namespace {

std::wstring Text(const CZELString& text)
{
    return text.GetBuffer() ? std::wstring(text.GetBuffer(), size_t(text.GetLength())) : std::wstring();
}

std::wstring ItemText(HWND dialog, int id)
{
    wchar_t text[4096] = L"";
    GetDlgItemTextW(dialog, id, text, 4096);
    return text;
}

class ScriptedAbout : public Scripted<AboutDialog> {
public:
    using Scripted<AboutDialog>::Scripted;
    void OnInitDialog() override
    {
        Scripted<AboutDialog>::OnInitDialog();
        StartScript();
    }
    HWND Window() const { return hwnd; }
};

}  // namespace

TEST(AboutBox, BuildTextHasAtLeastFourDigits)
{
    const struct {
        unsigned build;
        const wchar_t* text;
    } cases[] = {{2140, L"Build: 2140"}, {7, L"Build: 0007"}, {0, L"Build: 0000"}, {123456, L"Build: 123456"}};
    for (const auto& c : cases) EXPECT_EQ(Text(AboutBuildText(c.build)), c.text);
}

TEST(AboutBox, ShowsTheBuildAndCreditsAndEndsWithOk)
{
    ZEL_REQUIRE_DISPLAY();
    HWND host = TestSupport::CreateHostWindow(240, 320);
    TestSupport::WindowScope scope(host);
    ScriptedAbout dialog(7u);
    std::wstring build, credits;
    dialog.steps.push_back([&] {
        build = ItemText(dialog.Window(), 1121);
        credits = ItemText(dialog.Window(), 1056);
        dialog.OnSoftKey(AboutDialog::SoftKeyRight);  // no action
        dialog.OnSoftKey(AboutDialog::SoftKeyLeft);
    });
    EXPECT_EQ(dialog.DoModal(AboutDialog::TemplateId, PreferencesModule(), host), IDOK);
    EXPECT_EQ(build, L"Build: 0007");
    EXPECT_NE(credits.find(Text(GuiText(229))), std::wstring::npos);
    EXPECT_NE(credits.find(L"zlib"), std::wstring::npos);
    EXPECT_NE(credits.find(L"libpng"), std::wstring::npos);
    CZELString caption;
    EXPECT_EQ(dialog.GetSoftKeyCap(AboutDialog::SoftKeyLeft, caption), 1);
    EXPECT_EQ(Text(caption), L"OK");
    EXPECT_EQ(dialog.GetSoftKeyCap(AboutDialog::SoftKeyRight, caption), 0);
}
