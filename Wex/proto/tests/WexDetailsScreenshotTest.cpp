// The details pages on the screen, in the program's details dialogs, at 96 dpi and as a 192-dpi
// device starts: every page is shot, and the pixels show the skin's brush beside the controls, a
// label in the skin's text colour, an edit where its dialog units put it, and the current tab.
#include "WexAccountFixture.h"

#include "Wex/dialogs/DetailsFields.h"
#include "Wex/dialogs/DetailsResources.h"

#include "Handheld/tests/DisplayRequirement.h"
#include "Handheld/tests/SystemDensity.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/core/skin/SkinImages.h"
#include "Zel/shell/dialogs/DetailsDialogs.h"
#include "ZELCommon/ZELCommonResources.h"
#include "ZELCommon/tests/UiTestSupport.h"
#include "ZELCommon/tests/WindowScreenshot.h"

#include <gtest/gtest.h>

#include <string>

using namespace WexTest;

namespace {

// A details dialog that runs the test's steps once it stands.
template <typename Details> class Scripted : public TestSupport::Scripted<Details> {
public:
    using TestSupport::Scripted<Details>::Scripted;
    void OnInitDialog() override
    {
        Details::OnInitDialog();
        this->StartScript();
    }
};

const COLORREF kBackground = RGB(10, 120, 200);
const COLORREF kTextColour = RGB(250, 250, 0);

// Per page: a plain edit of each form and its place in dialog units.
struct EditPlace {
    int control;
    RECT units;  // left, top, width, height
};

EditPlace EditOf(WexDetails::Page page, bool own)
{
    switch (page) {
    case WexDetails::General: return {IDC_WEX_D_NICK, {50, 20, 82, 12}};
    case WexDetails::Home: return {IDC_WEX_D_HOME_CITY, {50, 20, 82, 12}};
    case WexDetails::Work: return {IDC_WEX_D_WORK_CITY, {50, 20, 82, 12}};
    case WexDetails::Company: return {IDC_WEX_D_COMPANY, {50, 4, 82, 12}};
    case WexDetails::Phones: return {IDC_WEX_D_HOME_PHONE, {50, 4, 82, 12}};
    case WexDetails::Personal: return own ? EditPlace{IDC_WEX_D_HOMEPAGE, {50, 36, 82, 12}} : EditPlace{IDC_WEX_D_AGE, {50, 20, 82, 12}};
    case WexDetails::Origin: return {IDC_WEX_D_ORIGIN_CITY, {50, 20, 82, 12}};
    case WexDetails::Interests: return {IDC_WEX_D_INTEREST_KEYS1, {68, 4, 64, 12}};
    default: return {IDC_WEX_D_ABOUT, {3, 14, 128, 40}};
    }
}

// A label of each page, where it has one.
int LabelOf(WexDetails::Page page)
{
    for (const WexDetails::Label& label : WexDetails::ViewerLabels())
        if (label.page == page) return label.control;
    return 0;
}

RECT RectIn(HWND window, HWND parent)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void Pump(int rounds)
{
    for (int i = 0; i < rounds; ++i) {
        TestSupport::PumpMessages();
        Sleep(10);
    }
}

class WexDetailsScreenshotTest : public WexAccountFixture {
protected:
    WexDetailsScreenshotTest() : WexAccountFixture(L"wex_details_screens") {}
    void SetUp() override { ZEL_REQUIRE_DISPLAY(); }
    void TearDown() override
    {
        if (SkinImagesService) SkinImagesService->SetBkBrush(nullptr);
        if (brush) DeleteObject(brush);
    }

    // Every page of one dialog shot and checked; the dialog is the own details (own) or a contact's.
    void ShootPages(bool own, int density)
    {
        TestSupport::DpiScope dpi(density);
        // The handheld's screen: 240 by 320 at 96 dpi, twice that at 192.
        HWND host = TestSupport::CreateHostWindow(240 * density / 96, 320 * density / 96, L"Details host");
        TestSupport::WindowScope hostScope(host);
        const unsigned id = CreateAccount();
        ASSERT_NE(SkinImagesService, nullptr);
        brush = CreateSolidBrush(kBackground);
        SkinImagesService->SetBkBrush(brush);
        SkinImagesService->SetTextColor(kTextColour);
        int contact = 0;
        if (own) {
            Manager().SetAccountString(id, CZELString(L"WEX: nick name"), CZELString(L"Annie"), 0);
            Manager().SetAccountString(id, CZELString(L"WEX: about"), CZELString(L"A few words"), 0);
            const short country = 7;
            Manager().SetAccountShort(id, CZELString(L"WEX: home country code"), &country);
        } else {
            contact = ContactListDataService->FindOrAddContact(id, CZELString(L"555"));
            ASSERT_NE(contact, 0);
            ContactListDataService->SetPropertyString(contact, CZELString(L"WEX: nick name"), CZELString(L"Five"));
            const short age = 30;
            ContactListDataService->SetPropertyShort(contact, CZELString(L"WEX: age"), &age);
        }
        const std::wstring prefix = own ? L"wex_own_details_" : L"wex_contact_details_";

        auto shoot = [&](CDetailsDialog& dialog) {
            ShowWindow(dialog, SW_SHOW);
            for (int i = 0; i < dialog.GetPageCount(); ++i) {
                SCOPED_TRACE(i);
                const WexDetails::Page page = WexDetails::Page(i);
                dialog.SelectPage(i);
                RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
                Pump(10);
                TestSupport::Image shot;
                ASSERT_TRUE(TestSupport::CaptureWindow(dialog, false, &shot));
                const std::wstring name = prefix + std::to_wstring(i + 1) + L"_" + std::to_wstring(density) + L".png";
                TestSupport::SaveScreenshot(dialog, false, name.c_str());
                HWND pane = *dialog.FindPage(i)->window;
                const RECT paneRect = RectIn(pane, dialog);

                // The skin's brush below the rows.
                EXPECT_EQ(TestSupport::Rgb(kBackground), shot.At(paneRect.left + 2, paneRect.bottom - 3));

                // A label in the skin's text colour.
                if (const int labelId = LabelOf(page)) {
                    const RECT label = RectIn(GetDlgItem(pane, labelId), dialog);
                    int inked = 0;
                    for (int y = label.top; y < label.bottom && y < shot.height; ++y)
                        for (int x = label.left; x < label.right && x < shot.width; ++x)
                            inked += shot.At(x, y) == TestSupport::Rgb(kTextColour);
                    EXPECT_GT(inked, 5) << "label " << labelId;
                }

                // An edit where its dialog units put it, with its frame drawn there.
                const EditPlace place = EditOf(page, own);
                // A template places a control by its corner and its size, each mapped on its own.
                RECT expected = place.units;
                MapDialogRect(pane, &expected);
                expected.right += expected.left;
                expected.bottom += expected.top;
                const RECT edit = RectIn(GetDlgItem(pane, place.control), pane);
                EXPECT_EQ(expected.left, edit.left);
                EXPECT_EQ(expected.top, edit.top);
                EXPECT_EQ(expected.right, edit.right);
                EXPECT_EQ(expected.bottom, edit.bottom);
                const RECT framed = RectIn(GetDlgItem(pane, place.control), dialog);
                EXPECT_NE(TestSupport::Rgb(kBackground), shot.At(framed.left, (framed.top + framed.bottom) / 2));
                EXPECT_LE(framed.right, shot.width) << "the rows fit the screen's width";

                // The current tab in the dialog's background, the strip's face elsewhere.
                const RECT strip = dialog.GetStripRect();
                const std::vector<int> widths = dialog.GetTabWidths();
                int x = strip.left;
                for (int k = dialog.GetFirstVisible(); k < i; ++k) x += widths[size_t(k)];
                const uint32_t face = TestSupport::Rgb(GetSysColor(COLOR_BTNFACE));
                EXPECT_NE(face, shot.At(x + 3, strip.top + 3));
                if (i > dialog.GetFirstVisible()) {
                    EXPECT_EQ(face, shot.At(x - 3, strip.top + 3));
                }
            }
            SendMessageW(dialog, WM_COMMAND, ID_ZELCOMMON_SOFTKEY_RIGHT, 0);
        };

        if (own) {
            Scripted<COwnDetailsDialog> dialog(id);
            dialog.steps.push_back([&] { shoot(dialog); });
            EXPECT_EQ(RunOwnDetailsDialog(&dialog, host), IDCANCEL);
        } else {
            Scripted<CContactDetailsDialog> dialog(contact);
            dialog.steps.push_back([&] { shoot(dialog); });
            EXPECT_EQ(RunContactDetailsDialog(&dialog, host), IDCANCEL);
        }
    }

    HBRUSH brush = nullptr;
};

}  // namespace

TEST_F(WexDetailsScreenshotTest, OwnDetailsPagesAt96Dpi)
{
    ShootPages(true, 96);
}

TEST_F(WexDetailsScreenshotTest, OwnDetailsPagesAt192Dpi)
{
    ZEL_AT_SYSTEM_DENSITY(192);
    ShootPages(true, 192);
}

TEST_F(WexDetailsScreenshotTest, ContactDetailsPagesAt96Dpi)
{
    ShootPages(false, 96);
}

TEST_F(WexDetailsScreenshotTest, ContactDetailsPagesAt192Dpi)
{
    ZEL_AT_SYSTEM_DENSITY(192);
    ShootPages(false, 192);
}
