// The plug-in's windows as they show on the screen, at 96 and 192 dpi: the settings pages in the
// account settings dialog, the search pages in the search dialog, and the three small dialogs, each
// saved under bin\screenshots and checked pixel by pixel: the skin's brush where no control is, a
// label drawn in the window's text colour, a control's frame exactly where the template's dialog
// units put it, and, for pages, their tab drawn as the current one. The templates follow the system
// density, so each run is a process started at that density.
#include "WexContactsFixture.h"

#include "Wex/dialogs/WexResources.h"

#include "Handheld/tests/DisplayRequirement.h"
#include "Handheld/tests/SystemDensity.h"
#include "Zel/core/plugin/PopupMenu.h"
#include "Zel/core/skin/SkinImages.h"
#include "Zel/core/tests/BusTestSupport.h"
#include "Zel/core/tests/ModalDialogDriver.h"
#include "Zel/prefs/AccountSettingsDialog.h"
#include "Zel/prefs/SearchDialog.h"
#include "Zel/shell/dialogs/DialogTemplates.h"
#include "ZELCommon/tests/SurfaceCheck.h"
#include "ZELCommon/tests/UiTestSupport.h"
#include "ZELCommon/tests/WindowScreenshot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using TestSupport::Scripted;
using namespace WexTest;

namespace {

using Answer = FakeWexServer::Answer;

const COLORREF kSkinBrush = RGB(0xD8, 0xE8, 0xC0);
const COLORREF kSkinText = RGB(0x80, 0x10, 0x60);

// What one window is checked for: a label, and a control with its rectangle in the template's
// dialog units (left, top, width, height); an edit's border is looked for on the screen too.
struct Expected {
    const wchar_t* name;
    int label;
    int control;
    int x, y, width, height;
    bool edit;
    COLORREF text;
};

using TestSupport::Inside;

// Checks surface (a page of top, or top itself) on the screen, saved as "wex_<name>_<dpi>.png".
void CheckSurface(HWND top, HWND surface, const Expected& expected, int dpi)
{
    const std::wstring name = L"wex_" + std::wstring(expected.name) + L"_" + std::to_wstring(dpi) + L".png";
    TestSupport::CheckSurface(top, surface, name,
                              {expected.label, expected.control, expected.x, expected.y, expected.width,
                               expected.height, expected.edit, kSkinBrush, expected.text});
}

void PumpFor(DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        TestSupport::PumpMessages();
        Sleep(10);
    }
}

// A tabbed dialog's strip: the current tab filled with the dialog's own brush, the others not.
void CheckCurrentTab(CTabbedDialog& dialog)
{
    TestSupport::Image image;
    ASSERT_TRUE(TestSupport::CaptureWindow(dialog, false, &image));
    LOGBRUSH brush = {};
    GetObject(dialog.GetBkBrush(), sizeof brush, &brush);
    const RECT& strip = dialog.GetStripRect();
    const std::vector<int> widths = dialog.GetTabWidths();
    const int current = dialog.IndexOfPage(dialog.GetCurrentPageId());
    int x = strip.left;
    for (int i = dialog.GetFirstVisible(); i < int(widths.size()) && x < strip.right; x += widths[size_t(i)], ++i) {
        const POINT spot = {x + 2, strip.bottom - 2};
        if (!Inside(image, spot)) break;
        if (i == current)
            EXPECT_EQ(image.At(spot.x, spot.y), TestSupport::Rgb(brush.lbColor)) << "tab " << i;
        else
            EXPECT_EQ(image.At(spot.x, spot.y), TestSupport::Rgb(GetSysColor(COLOR_BTNFACE))) << "tab " << i;
    }
}

template <typename Dialog> class Shown : public Scripted<Dialog> {
public:
    using Scripted<Dialog>::Scripted;
    void OnInitDialog() override
    {
        Scripted<Dialog>::OnInitDialog();
        this->StartScript();
    }
    // Each page in turn made current and checked.
    void CheckPages(const std::vector<Expected>& pages, int dpi)
    {
        // A modal dialog shows itself once its queue is idle; the script runs before that.
        ShowWindow(this->hwnd, SW_SHOW);
        PumpFor(300);
        for (int id = 0; id < int(pages.size()); ++id) {
            this->SelectPage(id);
            PumpFor(100);
            TabPage* page = this->FindPage(id);
            ASSERT_NE(page, nullptr);
            CheckSurface(this->hwnd, *page->window, pages[size_t(id)], dpi);
            CheckCurrentTab(*this);
        }
    }
};

Answer RosterWithGroup()
{
    Wire body;
    body.U8(0).U16(2).Raw(ListItemBytes("Friends", 1, 0, 1)).Raw(ListItemBytes("222", 1, 12, 0, Wire().Tlv(0x0066, Bytes()))).U32(1700000000);
    Answer answer;
    answer.family = 0x13;
    answer.subtype = 0x06;
    answer.body = body;
    return answer;
}

class WexWindowsScreenshotTest : public WexAccountFixture {
protected:
    WexWindowsScreenshotTest() : WexAccountFixture(L"wex_windows_screenshots") {}
    ~WexWindowsScreenshotTest() override
    {
        if (brush) DeleteObject(brush);
    }

    void ShowEverything()
    {
        const int dpi = TestSupport::ScreenDensity();
        TestSupport::DpiScope density(dpi);
        server.SetRoster({RosterWithGroup()});
        const unsigned account = CreateAccount();
        SignOn(account);
        brush = CreateSolidBrush(kSkinBrush);
        SkinImagesService->SetBkBrush(brush);
        SkinImagesService->SetTextColor(kSkinText);
        // A handheld's screen at this density: 240 by 320 pixels at 96 dpi.
        HWND host = TestSupport::CreateHostWindow(dpi * 5 / 2, dpi * 10 / 3);
        TestSupport::WindowScope hostScope(host);

        Shown<CAccountSettingsDialog> settings(account);
        settings.steps = {[&] {
            settings.CheckPages({{L"settings_account", IDC_WEX_LOGIN_LABEL, IDC_WEX_LOGIN, 4, 14, 121, 13, true, kSkinText},
                                 {L"settings_connection", IDC_WEX_PORT_LABEL, IDC_WEX_PORT, 100, 14, 35, 13, true, kSkinText},
                                 {L"settings_additional", IDC_WEX_STANDARD_ICON_LABEL, IDC_WEX_STANDARD_ICON, 4, 4, 10, 10,
                                  false, kSkinText}},
                                dpi);
            settings.EndDialog(IDCANCEL);
        }};
        EXPECT_EQ(DoModalDialog(&settings, host), IDCANCEL);

        Shown<CSearchDialog> search(account);
        search.steps = {[&] {
            search.CheckPages(
                {{L"search_uin", IDC_WEX_SEARCH_UIN_LABEL, IDC_WEX_SEARCH_UIN, 4, 14, 132, 13, true, kSkinText},
                 {L"search_email", IDC_WEX_SEARCH_EMAIL_LABEL, IDC_WEX_SEARCH_EMAIL, 4, 14, 132, 13, true, kSkinText},
                 {L"search_global1", IDC_WEX_SEARCH_NICK_LABEL, IDC_WEX_SEARCH_NICK, 58, 15, 78, 13, true, kSkinText},
                 {L"search_global2", IDC_WEX_SEARCH_CITY_LABEL, IDC_WEX_SEARCH_CITY, 58, 17, 78, 13, true, kSkinText}},
                dpi);
            search.EndDialog(IDCANCEL);
        }};
        EXPECT_EQ(DoModalDialog(&search, host), IDCANCEL);

        // The small dialogs from the account's menus; "Add contact" and the request keep the
        // framework's black text, the x-status dialog takes the skin's.
        CPopupMenu main;
        Manager().FillMainMenu(&main);
        ASSERT_EQ(main.GetCount(), 1);
        const CMenuItem add = main.items[0];
        const int contact = ContactNamed(account, L"222");
        ASSERT_NE(contact, 0);
        CPopupMenu contactMenu;
        contactMenu.AddItem(CMenuItem(MENU_ITEM_PLAIN, CZELString(L"Send message"), 4001, nullptr, 0, false));
        ASSERT_TRUE(Manager().FillContactMenu(account, contact, &contactMenu));
        CMenuItem ask(MENU_ITEM_SEPARATOR);
        for (int i = 0; i < contactMenu.GetCount(); ++i)
            if (contactMenu.items[i].callback && contactMenu.items[i].text == L"Authorization request")
                ask = contactMenu.items[i];
        ASSERT_NE(ask.callback, nullptr);
        CPopupMenu xStatus;
        Manager().GetStatusMenu(account, 1, &xStatus);
        ASSERT_GT(xStatus.GetCount(), 3);
        const CMenuItem status = xStatus.items[3];

        const struct {
            std::function<void()> open;
            Expected expected;
        } dialogs[] = {
            {[&] { add.callback(0, add.argument); },
             {L"add_contact", IDC_WEX_ADD_NUMBER_LABEL, IDC_WEX_ADD_NUMBER, 71, 4, 79, 12, true, RGB(0, 0, 0)}},
            {[&] { ask.callback(0, ask.argument); },
             {L"auth_request", IDC_WEX_AUTH_LABEL, IDC_WEX_AUTH_REASON, 2, 18, 146, 68, true, RGB(0, 0, 0)}},
            {[&] { status.callback(intptr_t(account), status.argument); },
             {L"xstatus", IDC_WEX_XSTATUS_TITLE_LABEL, IDC_WEX_XSTATUS_TITLE, 58, 4, 88, 12, true, kSkinText}},
        };
        for (const auto& d : dialogs)
            DialogTest::WithDialog(d.open, [&](HWND dialog) {
                Sleep(200);
                CheckSurface(dialog, dialog, d.expected, dpi);
                PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            });
        SkinImagesService->SetBkBrush(nullptr);
        ExpectNoFaults();
    }

    int ContactNamed(unsigned account, const wchar_t* uin)
    {
        int found = 0;
        BusTest::WaitUntil([&] {
            CZELArray<ContactListItemPair> pairs;
            ContactListDataService->GetAccountItems(account, pairs);
            for (int i = 0; i < pairs.GetCount(); ++i) {
                CZELString value;
                if (pairs[i].contactId &&
                    ContactListDataService->GetPropertyString(pairs[i].contactId, CZELString(L"Account name"), value) &&
                    value == uin)
                    found = pairs[i].contactId;
            }
            return found != 0;
        });
        return found;
    }

    HBRUSH brush = nullptr;
};

}  // namespace

TEST_F(WexWindowsScreenshotTest, At96Dpi)
{
    ZEL_REQUIRE_DISPLAY();
    ZEL_AT_SYSTEM_DENSITY(96);
    ShowEverything();
}

TEST_F(WexWindowsScreenshotTest, At192Dpi)
{
    ZEL_REQUIRE_DISPLAY();
    ZEL_AT_SYSTEM_DENSITY(192);
    ShowEverything();
}
