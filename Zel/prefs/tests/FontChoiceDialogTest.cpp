// The font choice dialog driven by messages from a script in its own modal loop: the size list's
// fallback, a face that is not installed, bold and the styles, the preview, and a face name longer
// than a LOGFONTW holds.
#include "Zel/prefs/FontChoiceDialog.h"

#include "Zel/prefs/PreferencesPage.h"
#include "ZELCommon/tests/UiTestSupport.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <functional>
#include <string>

using TestSupport::Scripted;

namespace {

class ScriptedFont : public Scripted<FontChoiceDialog> {
public:
    using Scripted<FontChoiceDialog>::Scripted;
    void OnInitDialog() override
    {
        Scripted<FontChoiceDialog>::OnInitDialog();
        StartScript();
    }
    HWND Item(int id) const { return GetDlgItem(id); }
};

std::wstring ComboText(HWND combo, int index)
{
    wchar_t text[256] = L"";
    if (SendMessageW(combo, CB_GETLBTEXTLEN, WPARAM(index), 0) < 256) SendMessageW(combo, CB_GETLBTEXT, WPARAM(index), LPARAM(text));
    return text;
}

LOGFONTW Font(const wchar_t* face, int height, int weight)
{
    LOGFONTW font = {};
    font.lfHeight = height;
    font.lfWeight = weight;
    font.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(font.lfFaceName, face, LF_FACESIZE - 1);
    return font;
}

class FontChoice : public ::testing::Test {
protected:
    void SetUp() override
    {
        ZEL_REQUIRE_DISPLAY();
        host = TestSupport::CreateHostWindow(240, 320);
    }
    void TearDown() override
    {
        if (host) DestroyWindow(host);
    }
    int Run(const LOGFONTW& font, const std::function<void(ScriptedFont&)>& script)
    {
        ScriptedFont dialog(font);
        dialog.steps.push_back([&] { script(dialog); });
        return dialog.DoModal(FontChoiceDialog::TemplateId, PreferencesModule(), host);
    }
    HWND host = nullptr;
};

}  // namespace

TEST_F(FontChoice, OpensOnTheFontAndStoresTheChoices)
{
    std::wstring firstFace;
    int sizeShown = -1;
    // Height 15 is not offered: 13 is shown and stored. A face not installed gives the first.
    EXPECT_EQ(Run(Font(L"No Such Face Here", 15, FW_BOLD), [&](ScriptedFont& d) {
                  HWND faces = d.Item(1032);
                  EXPECT_GT(SendMessageW(faces, CB_GETCOUNT, 0, 0), 0);
                  EXPECT_EQ(SendMessageW(faces, CB_GETCURSEL, 0, 0), 0);
                  firstFace = ComboText(faces, 0);
                  sizeShown = int(SendMessageW(d.Item(1014), CB_GETCURSEL, 0, 0));
                  EXPECT_EQ(IsDlgButtonChecked(GetParent(faces), 1049), BST_CHECKED);
                  EXPECT_EQ(SendMessageW(d.Item(1014), CB_GETCOUNT, 0, 0), 12);
                  EXPECT_NE(SendMessageW(d.Item(1056), WM_GETFONT, 0, 0), 0);
                  d.OnSoftKey(FontChoiceDialog::SoftKeyLeft);
              }),
              IDOK);
    EXPECT_EQ(sizeShown, 5);
    EXPECT_EQ(EditedFont().lfHeight, 13);
    EXPECT_EQ(EditedFont().lfWeight, FW_BOLD);
    EXPECT_EQ(std::wstring(EditedFont().lfFaceName), firstFace);

    // Bold off stores 400 whatever it was; italic and a size chosen.
    EXPECT_EQ(Run(Font(L"Tahoma", 20, 600), [&](ScriptedFont& d) {
                  EXPECT_EQ(SendMessageW(d.Item(1014), CB_GETCURSEL, 0, 0), 8);
                  SendMessageW(d.Item(1050), BM_CLICK, 0, 0);
                  SendMessageW(d.Item(1014), CB_SETCURSEL, 11, 0);
                  d.OnSoftKey(FontChoiceDialog::SoftKeyLeft);
              }),
              IDOK);
    EXPECT_EQ(EditedFont().lfWeight, FW_NORMAL);
    EXPECT_EQ(EditedFont().lfItalic, 1);
    EXPECT_EQ(EditedFont().lfHeight, 36);

    LOGFONTW kept = Font(L"Tahoma", 14, FW_NORMAL);
    LOGFONTW font = kept;
    EXPECT_EQ(Run(font, [](ScriptedFont& d) {
                  SendMessageW(d.Item(1049), BM_CLICK, 0, 0);
                  d.OnSoftKey(FontChoiceDialog::SoftKeyRight);
              }),
              IDCANCEL);
    EXPECT_EQ(EditedFont().lfWeight, FW_NORMAL);
}

TEST_F(FontChoice, ALongFaceNameIsCutAndEnded)
{
    const std::wstring longName(60, L'X');
    EXPECT_EQ(Run(Font(L"Tahoma", 14, FW_NORMAL), [&](ScriptedFont& d) {
                  HWND faces = d.Item(1032);
                  LRESULT index = SendMessageW(faces, CB_ADDSTRING, 0, LPARAM(longName.c_str()));
                  SendMessageW(faces, CB_SETCURSEL, WPARAM(index), 0);
                  d.OnSoftKey(FontChoiceDialog::SoftKeyLeft);
              }),
              IDOK);
    EXPECT_EQ(std::wstring(EditedFont().lfFaceName), std::wstring(31, L'X'));
    EXPECT_EQ(EditedFont().lfFaceName[31], 0);
}
