// The plug-in's windows on the screen, at 96 dpi and as a 192-dpi device starts (the templates follow
// the system density, so each run is a process started at that density): the add-contact dialog,
// the account page of the account settings dialog with the stored password's mask and its tab's
// picture, the own details' "Personal" pane, and a contact's menu with the plug-in's items. Each is
// saved under bin\screenshots and checked pixel by pixel: the skin's brush where no control is, a
// label in the skin's text colour, a control where its dialog units put it, and the plug-in's
// pictures where the tab and the menu rows draw them.
#include "Jabber/tests/MenuRows.h"
#include "Jabber/tests/RosterSession.h"

#include "Handheld/tests/DisplayRequirement.h"
#include "Handheld/tests/SystemDensity.h"
#include "Jabber/JabberResources.h"
#include "Zel/core/skin/SkinImageSet.h"
#include "Zel/prefs/AccountSettingsDialog.h"
#include "Zel/prefs/GlobalSettings.h"
#include "Zel/shell/CoreServices.h"
#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/dialogs/DetailsDialogs.h"
#include "Zel/shell/dialogs/DialogTemplates.h"
#include "Zel/shell/menu/PopupMenuWnd.h"
#include "Zel/core/tests/ModalDialogDriver.h"
#include "Zel/core/tests/TestPictures.h"
#include "ZELCommon/tests/SurfaceCheck.h"
#include "ZELCommon/tests/UiTestSupport.h"
#include "ZELCommon/tests/WindowScreenshot.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using JabberTest::RosterSession;
using TestSupport::CountColour;
using TestSupport::RectIn;
using TestSupport::SurfaceExpectation;

const COLORREF kSkinBrush = RGB(0xC8, 0xDC, 0xF0);
const COLORREF kSkinText = RGB(0x90, 0x20, 0x10);
// Solid pictures put in place of the plug-in's own, so where they are drawn shows.
const COLORREF kOnlinePicture = RGB(0x10, 0xB0, 0x30);
const COLORREF kRequestPicture = RGB(0xE0, 0x40, 0xD0);
const COLORREF kGrantPicture = RGB(0x20, 0x60, 0xE0);

const char kRoster[] = "<item jid='bob@localhost' name='Bob' subscription='none'><group>Friends</group></item>";

// Every control of surface within top's width: nothing cut off at the screen's right edge.
void ExpectWithinWidth(HWND surface, HWND top)
{
    RECT client = {};
    GetClientRect(top, &client);
    for (HWND child = GetWindow(surface, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        EXPECT_LE(RectIn(child, top).right, client.right) << "control " << GetDlgCtrlID(child);
}

void PumpFor(DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        TestSupport::PumpMessages();
        Sleep(10);
    }
}

template <typename Dialog> class Shown : public TestSupport::Scripted<Dialog> {
public:
    using TestSupport::Scripted<Dialog>::Scripted;
    void OnInitDialog() override
    {
        TestSupport::Scripted<Dialog>::OnInitDialog();
        this->StartScript();
    }
    // Page id made current and shown; its window.
    HWND ShowPage(int id)
    {
        // A modal dialog shows itself once its queue is idle; the script runs before that.
        ShowWindow(this->hwnd, SW_SHOW);
        this->SelectPage(id);
        PumpFor(200);
        TabPage* page = this->FindPage(id);
        return page ? HWND(*page->window) : nullptr;
    }
    // The tab of page id in the strip, in the dialog's client coordinates.
    RECT TabRect(int id)
    {
        const RECT& strip = this->GetStripRect();
        const std::vector<int> widths = this->GetTabWidths();
        int x = strip.left;
        for (int i = this->GetFirstVisible(); i < this->IndexOfPage(id); ++i) x += widths[size_t(i)];
        return RECT{x, strip.top, x + widths[size_t(this->IndexOfPage(id))], strip.bottom};
    }
};

class WindowsScreenshotTest : public ::testing::Test {
protected:
    WindowsScreenshotTest() { plugin.SetTimings(300, 0); }
    ~WindowsScreenshotTest() override
    {
        plugin.SetTimings(15000, 60000);
        ProtocolsManagerService = nullptr;
        ContactListDataService = nullptr;
        SkinImagesService = nullptr;
        if (brush) DeleteObject(brush);
    }

    void ShowEverything()
    {
        const int dpi = TestSupport::ScreenDensity();
        TestSupport::DpiScope density(dpi);
        const std::wstring suffix = L"_" + std::to_wstring(dpi) + L".png";
        ASSERT_TRUE(plugin.Loaded());
        session.Create();
        ASSERT_TRUE(session.SignIn(kRoster));
        const int bob = session.Contact("bob@localhost");
        ASSERT_NE(bob, 0);

        // The program's services and user interface resources, its pictures the host's; the skin's
        // brush and text colour known ones.
        JabberTest::Host& core = session.host;
        ProtocolsManagerService = core.manager.get();
        ContactListDataService = core.contactList.get();
        SkinImagesService = core.skinImages.get();
        GlobalSettings settings;
        CGuiResources resources(settings, core.imageSet, nullptr);
        brush = CreateSolidBrush(kSkinBrush);
        SkinImagesService->SetBkBrush(brush);
        SkinImagesService->SetTextColor(kSkinText);
        // A handheld's screen at this density: 240 by 320 pixels at 96 dpi.
        HWND host = TestSupport::CreateHostWindow(dpi * 5 / 2, dpi * 10 / 3);
        TestSupport::WindowScope hostScope(host);

        // The add-contact dialog, from the account menu's item.
        CPopupMenu accountMenu = JabberTest::HostMenu({1004});
        core.manager->FillAccountMenu(session.id, &accountMenu);
        const CMenuItem* add = JabberTest::ItemNamed(accountMenu, "Add contact");
        ASSERT_NE(add, nullptr);
        DialogTest::WithDialog([&] { add->callback(0, add->argument); },
                               [&](HWND dialog) {
                                   Sleep(200);
                                   TestSupport::CheckSurface(dialog, dialog, L"jabber_add_contact" + suffix,
                                                             {IDC_JB_ADD_JID_LABEL, IDC_JB_ADD_JID, 71, 4, 79, 12,
                                                              true, kSkinBrush, kSkinText});
                                   PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                               });

        // A contact's menu: the program's items, then the plug-in's, each row with its picture.
        CPopupMenu contactMenu;
        contactMenu.AddItem(CMenuItem(MENU_ITEM_PLAIN, -1, CZELString(L"Send message"), 4001, nullptr, 0, false));
        contactMenu.AddItem(CMenuItem(MENU_ITEM_PLAIN, -1, CZELString(L"Details"), 4003, nullptr, 0, false));
        ASSERT_TRUE(core.manager->FillContactMenu(session.id, bob, &contactMenu));
        ASSERT_EQ(JabberTest::RowsOf(contactMenu),
                  JabberTest::MenuRows({"4001", "4003", "-", "Request authorization|image", "Grant authorization|image"}));
        core.imageSet.SetPicture(JabberTest::ItemNamed(contactMenu, "Request authorization")->images[0],
                                 TestSupport::SolidPicture(kRequestPicture));
        core.imageSet.SetPicture(JabberTest::ItemNamed(contactMenu, "Grant authorization")->images[0],
                                 TestSupport::SolidPicture(kGrantPicture));
        CheckMenu(contactMenu, host, L"jabber_contact_menu" + suffix, dpi);

        // The own details' "Personal" pane, opened on line.
        Shown<COwnDetailsDialog> details(session.id);
        details.steps = {[&] {
            HWND personal = details.ShowPage(5);
            ASSERT_NE(personal, nullptr);
            ASSERT_NE(GetDlgItem(personal, IDC_JB_VC_BIRTHDAY), nullptr);
            TestSupport::CheckSurface(details, personal, L"jabber_own_personal" + suffix,
                                      {IDC_JB_VC_HOME_PAGE_LABEL, IDC_JB_VC_HOME_PAGE, 4, 41, 128, 13, true,
                                       kSkinBrush, kSkinText});
            ExpectWithinWidth(personal, details);
            details.EndDialog(IDCANCEL);
        }};
        EXPECT_EQ(RunOwnDetailsDialog(&details, host), IDCANCEL);

        // The account page, off line, as the account menu's "Network settings" opens it: the stored
        // password as its mask, and the tab's picture the kind's "online" one.
        CPopupMenu mainMenu;
        core.manager->FillMainMenu(&mainMenu);
        ASSERT_EQ(mainMenu.GetCount(), 1);
        const int onlineImage = mainMenu.items[0].images[0];
        core.SetStatus(session.id, AccountStatus::Offline);
        ASSERT_TRUE(TestSupport::WaitUntil([&] { return core.AskStatus(session.id) == AccountStatus::Offline; }, 5000));
        core.imageSet.SetPicture(onlineImage, TestSupport::SolidPicture(kOnlinePicture));
        Shown<CAccountSettingsDialog> accountSettings(session.id);
        accountSettings.steps = {[&] {
            HWND page = accountSettings.ShowPage(0);
            ASSERT_NE(page, nullptr);
            ASSERT_EQ(accountSettings.FindPage(0)->icons.GetCount(), 1);
            EXPECT_EQ(accountSettings.FindPage(0)->icons[0], onlineImage);
            wchar_t shown[32] = L"";
            GetDlgItemTextW(page, IDC_JB_PASSWORD, shown, 32);
            EXPECT_STREQ(shown, L"**************");
            const std::wstring name = L"jabber_settings_account" + suffix;
            TestSupport::CheckSurface(accountSettings, page, name,
                                      {IDC_JB_ACCOUNT_LABEL, IDC_JB_ACCOUNT, 4, 14, 128, 13, true, kSkinBrush,
                                       kSkinText});
            ExpectWithinWidth(page, accountSettings);
            TestSupport::Image image;
            ASSERT_TRUE(TestSupport::CaptureWindow(accountSettings, false, &image));
            // The mask drawn: inside the password field's frame, ink that is neither the field's
            // background nor the brush.
            RECT field = RectIn(GetDlgItem(page, IDC_JB_PASSWORD), accountSettings);
            InflateRect(&field, -2, -2);
            const int area = (field.right - field.left) * (field.bottom - field.top);
            const int ink = area - CountColour(image, field, kSkinBrush) - CountColour(image, field, RGB(255, 255, 255));
            EXPECT_GT(ink, 14 * 3 * dpi / 96) << "the mask's characters";
            // The tab's picture, the online one, in the first tab only.
            const int icon = dpi * 16 / 96;
            EXPECT_GE(CountColour(image, accountSettings.TabRect(0), kOnlinePicture), icon * icon / 2);
            EXPECT_EQ(CountColour(image, accountSettings.TabRect(1), kOnlinePicture), 0);
            accountSettings.EndDialog(IDCANCEL);
        }};
        EXPECT_EQ(DoModalDialog(&accountSettings, host), IDCANCEL);
        SkinImagesService->SetBkBrush(nullptr);
    }

    // Shows menu over host, captured from a second thread, and looks for the plug-in's pictures:
    // each in its own row, "Request" above "Grant", both below the program's items.
    void CheckMenu(const CPopupMenu& menu, HWND host, const std::wstring& name, int dpi)
    {
        SetPopupMenuWide(true);
        RECT area = {};
        GetWindowRect(host, &area);
        TestSupport::Image image;
        bool captured = false;
        std::thread driver([&] {
            HWND window = nullptr;
            for (int i = 0; i < 500 && !window; ++i) {
                window = FindWindowExW(nullptr, nullptr, L"ZELMENUWNDCLASS", nullptr);
                if (window && !IsWindowVisible(window)) window = nullptr;
                if (!window) Sleep(10);
            }
            if (!window) return;
            Sleep(150);
            captured = TestSupport::CaptureWindow(window, false, &image);
            TestSupport::SaveScreenshot(window, false, name.c_str());
            // Escape closes a menu only once it has stood for a tap's time: told until it has gone.
            for (int i = 0; i < 100 && IsWindow(window) && IsWindowVisible(window); ++i) {
                PostMessageW(window, WM_KEYUP, VK_ESCAPE, 0);
                Sleep(50);
            }
        });
        ShowPopupMenu(menu, area, POINT{area.left, area.top}, MenuAlignTopLeft, host, false);
        driver.join();
        ASSERT_TRUE(captured);
        // The rows the pictures fill.
        auto rows = [&](COLORREF colour, int& first, int& last, int& count) {
            first = image.height, last = -1, count = 0;
            for (int y = 0; y < image.height; ++y)
                for (int x = 0; x < image.width; ++x)
                    if (image.At(x, y) == TestSupport::Rgb(colour)) {
                        first = std::min(first, y), last = std::max(last, y), ++count;
                    }
        };
        const int icon = dpi * 16 / 96;
        int requestTop, requestBottom, requestCount, grantTop, grantBottom, grantCount;
        rows(kRequestPicture, requestTop, requestBottom, requestCount);
        rows(kGrantPicture, grantTop, grantBottom, grantCount);
        EXPECT_GE(requestCount, icon * icon / 2);
        EXPECT_GE(grantCount, icon * icon / 2);
        EXPECT_LT(requestBottom, grantTop);
        // Two rows of the program's items and a separator come first.
        EXPECT_GT(requestTop, 2 * icon);
    }

    JabberTest::PluginLibrary plugin;
    RosterSession session;
    HBRUSH brush = nullptr;
};

}  // namespace

TEST_F(WindowsScreenshotTest, At96Dpi)
{
    ZEL_REQUIRE_DISPLAY();
    ZEL_AT_SYSTEM_DENSITY(96);
    ShowEverything();
}

TEST_F(WindowsScreenshotTest, At192Dpi)
{
    ZEL_REQUIRE_DISPLAY();
    ZEL_AT_SYSTEM_DENSITY(192);
    ShowEverything();
}
