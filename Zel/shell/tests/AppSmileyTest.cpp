// The default smiley pack in the running program, with the real core and the test plug-in: ":-)"
// typed and sent, and received from the plug-in, shows the pack's animated face in the chat log,
// and two screenshots one timer tick apart show each face where the log laid it out, frame for
// frame as the picture composes, on the log's background and never in its key colour (at the
// display's density and in a process started at 192 dpi). The smilies button's dialog puts its
// choice into the composer and first in the strip. With the pack's loader held back, the chat
// window answers and paints, and the pack's arrival fills the strip.
#include "Zel/shell/tests/AppTestSupport.h"

#include "Zel/chat/AnimatedPictureWnd.h"
#include "Zel/chat/ChatDlg.h"
#include "Zel/chat/ChatLogView.h"
#include "Zel/chat/GridPickerWnd.h"
#include "Zel/chat/MessageBarWnd.h"
#include "Zel/chat/SmileyDialog.h"
#include "Zel/chat/SmileyPack.h"
#include "Zel/chat/smiley/SmileyPicture.h"
#include "Zel/chat/textview/TextLayout.h"
#include "Zel/chat/textview/TextViewState.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/tests/plugins/FakeAccountPlugin.h"
#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/notify/Notifier.h"
#include "ZELCommon/ZELWMUI_HiDpi.h"
#include "ZELCommon/tests/WindowScreenshot.h"
#include "Handheld/tests/SystemDensity.h"

#include <algorithm>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace AppTest;

namespace {

const DWORD kLoadWait = 20000;

std::wstring W(const CZELString& text)
{
    return text.GetBuffer() ? std::wstring(text.GetBuffer(), size_t(text.GetLength())) : std::wstring();
}

// The program with the test plug-in, an online account and a contact whose chat is open.
class SmileyChat {
public:
    explicit SmileyChat(const wchar_t* name) : folder(name), run(folder)
    {
        if (!run.started || !fake.Loaded()) return;
        account = run.NewAccount(L"alice");
        if (!account) return;
        contact = run.NewContact(account, L"bob", L"Bob");
        ProtocolsManagerService->SetStatus(account, AccountStatus::Online);
        PumpUntil([&] {
            int status = -1;
            return ProtocolsManagerService->GetStatus(account, &status) == 0 && status == AccountStatus::Online;
        });
        run.App().OpenChat(contact);
        chat = run.App().ChatWindow();
    }
    bool Ready() const { return chat && chat->FindTab(contact) && chat->FindTab(contact)->log; }

    const CChatDlg::Tab& Tab() const { return *chat->FindTab(contact); }
    CChatLogView& Log() const { return *Tab().log; }

    // Typed into the composer and sent with Enter.
    void TypeAndSend(const std::wstring& text)
    {
        for (wchar_t c : text) SendMessageW(Tab().composer, WM_CHAR, c, 0);
        SendMessageW(Tab().composer, WM_CHAR, L'\r', 0);
    }
    std::wstring LastSent() const
    {
        std::wstring last;
        for (const FakeLogEntry& entry : fake.Log(account))
            if (entry.code == PM_SEND_MESSAGE) last = entry.text;
        return last;
    }

    AppFolder folder;
    AccountTest::FakePlugin fake{L"Accounts", L"FakeA"};
    AppRun run;
    unsigned account = 0;
    int contact = 0;
    CChatDlg* chat = nullptr;
};

// A smiley picture as the log laid it out: where it stands in the log's client area.
struct PlacedFace {
    CSmileyElement* element;
    RECT rect;
    int lineTop, lineBottom;  // the line it stands on
};

std::vector<PlacedFace> Faces(CChatLogView& log)
{
    std::vector<PlacedFace> faces;
    const TextViewState* state = log.State();
    const CTextLayout* layout = state->GetLayout();
    for (int p = 0; p < layout->GetCount(); ++p) {
        const LaidOutParagraph* laid = layout->Get(p);
        for (const TextLine& line : laid->lines)
            for (int i = line.firstPiece; i <= line.lastPiece; ++i) {
                const LinePiece& piece = laid->pieces[size_t(i)];
                CSmileyElement* element = dynamic_cast<CSmileyElement*>(piece.element);
                if (!element) continue;
                SIZE size = {};
                element->Measure(&size);
                int x = laid->x + piece.x - state->viewport.left, y = laid->y + piece.y - state->viewport.top;
                faces.push_back({element, RECT{x, y, x + size.cx, y + size.cy}, laid->y + line.top - state->viewport.top,
                                 laid->y + line.bottom - state->viewport.top});
            }
    }
    return faces;
}

// The frame smiley n shows now.
int ShownFrame(int smiley)
{
    for (const AnimationGroup& group : AnimatedPictureWnd::Schedule().Groups())
        if (group.smiley == smiley) return group.current < 0 ? 0 : group.current;
    return -1;
}

// One tick of the animation timer, then the timer held again so that nothing moves while we look.
void TickOnce()
{
    SendMessageW(AnimatedPictureWnd::Window(), WM_TIMER, kAnimationTimerId, 0);
    AnimatedPictureWnd::StopAnimationTimer();
}

const uint32_t kBehind = 0xFF000000u;  // never a pixel of a picture

// Frame n of the picture as it should stand on the screen at the given size: the picture's own
// pixels, kBehind where the log's background shows through.
std::vector<uint32_t> Expected(const SmileyPicture& picture, int n, SIZE size)
{
    std::vector<uint32_t> plain(size_t(picture.width) * size_t(picture.height), kBehind);
    ComposeSmileyFrame(picture, n, plain.data(), picture.width, picture.height);
    std::vector<uint32_t> shown(size_t(size.cx) * size_t(size.cy));
    for (int y = 0; y < size.cy; ++y)
        for (int x = 0; x < size.cx; ++x)
            shown[size_t(y) * size.cx + x] =
                plain[size_t(y * picture.height / size.cy) * picture.width + size_t(x * picture.width / size.cx)];
    return shown;
}

// Checks one face in a screenshot of the log at frame n.
void CheckFace(const TestSupport::Image& shot, const PlacedFace& face, const CAnimatedPicture& picture, int n,
               const std::set<uint32_t>& background)
{
    SCOPED_TRACE("frame " + std::to_string(n) + " at " + std::to_string(face.rect.left) + "," +
                 std::to_string(face.rect.top));
    SIZE size = {face.rect.right - face.rect.left, face.rect.bottom - face.rect.top};
    ASSERT_GT(size.cx, 0);
    ASSERT_LE(face.rect.right + 1, shot.width);
    ASSERT_LE(face.rect.bottom + 1, shot.height);
    ASSERT_GE(face.rect.left, 1);
    ASSERT_GE(face.rect.top, 1);
    // On its line.
    EXPECT_GE(face.rect.top, face.lineTop);
    EXPECT_LE(face.rect.bottom, face.lineBottom);

    std::vector<uint32_t> expected = Expected(picture.Data(), n, size);
    std::set<uint32_t> keys;
    for (const SmileyFrame& frame : picture.Data().frames)
        if (frame.transparentColor != CLR_INVALID) keys.insert(TestSupport::Rgb(frame.transparentColor));
    int drawn = 0, wrong = 0, notBackground = 0, keyShown = 0;
    for (int y = 0; y < size.cy; ++y)
        for (int x = 0; x < size.cx; ++x) {
            uint32_t want = expected[size_t(y) * size.cx + x];
            uint32_t got = shot.At(face.rect.left + x, face.rect.top + y);
            if (want != kBehind) {
                ++drawn;
                wrong += got != want;
            } else {
                notBackground += background.count(got) == 0;
                keyShown += keys.count(got) != 0 && background.count(got) == 0;
            }
        }
    EXPECT_GT(drawn, size.cx * size.cy / 4);
    EXPECT_EQ(0, wrong) << "pixels of the face that differ from the picture's frame";
    EXPECT_EQ(0, notBackground) << "pixels the face leaves open that do not show the log's background";
    EXPECT_EQ(0, keyShown) << "pixels in the key colour";
    // Around the face: the log's background.
    int ring = 0;
    for (int x = face.rect.left - 1; x <= face.rect.right; ++x) {
        ring += background.count(shot.At(x, face.rect.top - 1)) == 0;
        ring += background.count(shot.At(x, face.rect.bottom)) == 0;
    }
    for (int y = face.rect.top; y < face.rect.bottom; ++y) {
        ring += background.count(shot.At(face.rect.left - 1, y)) == 0;
        ring += background.count(shot.At(face.rect.right, y)) == 0;
    }
    EXPECT_EQ(0, ring) << "pixels around the face that are not the log's background";
}

void CheckAnimatedLog()
{
    SmileyChat chat(L"AppSmileyLogTest");
    ASSERT_TRUE(chat.Ready());
    const CSmileyPack& pack = SmileyPackInUse();
    ASSERT_TRUE(pack.WaitLoaded(kLoadWait));
    ASSERT_TRUE(pack.IsLoaded());
    ASSERT_EQ(L":-)", W(pack.GetCode(0)));
    PumpFor(100);  // the pack's arrival reaches the chat window

    // Typed and sent, then received from the plug-in.
    chat.TypeAndSend(L":-)");
    ASSERT_TRUE(PumpUntil([&] { return chat.fake.Count(chat.account, PM_SEND_MESSAGE) == 1; }));
    EXPECT_EQ(L":-)", chat.LastSent());
    ASSERT_TRUE(PumpUntil([&] { return chat.Log().GetParagraphCount() == 1; }));
    ASSERT_EQ(1, chat.fake.notify(chat.account, FAKE_INCOMING_MESSAGE, chat.contact, L"back :-) at you", 7));
    ASSERT_TRUE(PumpUntil([&] { return chat.Log().GetParagraphCount() == 2; }));

    std::vector<PlacedFace> faces = Faces(chat.Log());
    ASSERT_EQ(2u, faces.size());
    for (const PlacedFace& face : faces) EXPECT_EQ(0, face.element->smiley);
    EXPECT_LT(faces[0].rect.bottom, faces[1].rect.top + 1);  // the sent line above the received one
    const CAnimatedPicture* picture = pack.GetSmiley(0);
    ASSERT_NE(nullptr, picture);
    ASSERT_GE(picture->FrameCount(), 2);
    ASSERT_NE(nullptr, AnimatedPictureWnd::Window());
    ASSERT_NE(-1, ShownFrame(0));

    HWND log = chat.Log();
    auto capture = [&](TestSupport::Image* shot) {
        InvalidateRect(log, nullptr, TRUE);
        UpdateWindow(log);
        return TestSupport::CaptureWindow(log, false, shot);
    };
    TestSupport::Image first, second;
    TickOnce();
    const int shownFirst = ShownFrame(0);
    ASSERT_TRUE(capture(&first));
    // Other smilies on screen (the strip's) may change first: ticks until this one does.
    for (int tick = 0; tick < 100 && ShownFrame(0) == shownFirst; ++tick) TickOnce();
    const int shownSecond = ShownFrame(0);
    ASSERT_TRUE(capture(&second));
    AnimatedPictureWnd::StartAnimationTimer();
    const std::wstring density = std::to_wstring(g_HIDPI_LogPixelsY);
    TestSupport::WriteFileBytes(TestSupport::ScreenshotPath((L"AppSmileyLog_" + density + L"_1.png").c_str()),
                                TestSupport::EncodePng(first));
    TestSupport::WriteFileBytes(TestSupport::ScreenshotPath((L"AppSmileyLog_" + density + L"_2.png").c_str()),
                                TestSupport::EncodePng(second));
    EXPECT_EQ((shownFirst + 1) % picture->FrameCount(), shownSecond);

    // The log's background: what its empty lower part shows.
    std::set<uint32_t> background;
    for (int y = first.height * 3 / 4; y < first.height; ++y)
        for (int x = 0; x < first.width; ++x) background.insert(first.At(x, y));
    ASSERT_LE(background.size(), 4u);
    for (const PlacedFace& face : faces) {
        CheckFace(first, face, *picture, shownFirst, background);
        CheckFace(second, face, *picture, shownSecond, background);
        int changed = 0;
        for (int y = face.rect.top; y < face.rect.bottom; ++y)
            for (int x = face.rect.left; x < face.rect.right; ++x) changed += first.At(x, y) != second.At(x, y);
        EXPECT_GT(changed, 0) << "no pixel of the face changed with the frame";
    }
    // Nothing else of the log moved.
    int elsewhere = 0;
    for (int y = 0; y < first.height; ++y)
        for (int x = 0; x < first.width; ++x) {
            bool inFace = false;
            for (const PlacedFace& face : faces) {
                POINT point = {x, y};
                inFace |= PtInRect(&face.rect, point) != FALSE;
            }
            elsewhere += !inFace && first.At(x, y) != second.At(x, y);
        }
    EXPECT_EQ(0, elsewhere);

    // Only the pictures' scaling changed: the log keeps its smilies (not their codes as text) and lays
    // them out at the new size, which differs from the old one above 96 dpi.
    GlobalSettings& settings = chat.run.App().Settings();
    const int widthBefore = faces[0].rect.right - faces[0].rect.left;
    settings.scaleSmile = !settings.scaleSmile;
    chat.run.App().Resources()->OnOptionChanged(OPT_SMILEY_SCALE);
    std::vector<PlacedFace> rescaled = Faces(chat.Log());
    ASSERT_EQ(2u, rescaled.size());
    if (g_HIDPI_LogPixelsX != 96) {
        EXPECT_NE(widthBefore, rescaled[0].rect.right - rescaled[0].rect.left);
    }
    settings.scaleSmile = !settings.scaleSmile;
    chat.run.App().Resources()->OnOptionChanged(OPT_SMILEY_SCALE);
    ASSERT_EQ(2u, Faces(chat.Log()).size());
    EXPECT_EQ(widthBefore, Faces(chat.Log())[0].rect.right - Faces(chat.Log())[0].rect.left);

    // Hidden, the chat window stops the animation's timer (a timer that is not running cannot be
    // killed); shown again, the timer runs.
    chat.chat->Show(false);
    EXPECT_FALSE(KillTimer(AnimatedPictureWnd::Window(), kAnimationTimerId));
    chat.chat->Show(true);
    EXPECT_TRUE(KillTimer(AnimatedPictureWnd::Window(), kAnimationTimerId));
    AnimatedPictureWnd::StartAnimationTimer();
}

}  // namespace

TEST(AppSmiley, ACodeSentAndReceivedAnimatesInTheLog)
{
    ZEL_REQUIRE_DISPLAY();
    CheckAnimatedLog();
}

TEST(AppSmiley, ACodeSentAndReceivedAnimatesInTheLogAt192Dpi)
{
    ZEL_REQUIRE_DISPLAY();
    ZEL_AT_SYSTEM_DENSITY(192);
    CheckAnimatedLog();
}

namespace {

// Keys or pen messages for whatever has the focus once the smiley dialog's loop runs.
std::vector<int> PendingKeys;
std::vector<std::pair<UINT, POINT>> PendingPen;
HWND ChatWindow = nullptr;
void CALLBACK SendPending(HWND, UINT, UINT_PTR timer, DWORD)
{
    // The smiley dialog gives its grid the focus.
    HWND focus = GetFocus();
    HWND dialog = focus ? GetAncestor(focus, GA_ROOT) : nullptr;
    wchar_t name[16] = L"";
    if (dialog) GetClassNameW(dialog, name, 16);
    if (!focus || dialog == ChatWindow || GetWindow(dialog, GW_OWNER) == nullptr || wcscmp(name, L"#32770") != 0) return;
    KillTimer(nullptr, timer);
    for (int key : PendingKeys) SendMessageW(focus, WM_KEYDOWN, WPARAM(key), 0);
    for (const auto& pen : PendingPen) SendMessageW(focus, pen.first, 0, MAKELPARAM(pen.second.x, pen.second.y));
    PendingKeys.clear();
    PendingPen.clear();
}

// A tap on the bar's smilies button; the dialog it opens (if any) runs while this pumps, worked by
// the pending keys or pen messages.
void PressSmiliesButton(CChatDlg& chat)
{
    ChatWindow = chat.GetWindow();
    UINT_PTR timer = SetTimer(nullptr, 0, 50, SendPending);
    HWND button = chat.Bar()->SmiliesButton();
    SendMessageW(button, WM_LBUTTONDOWN, 0, MAKELPARAM(3, 3));
    SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    PumpUntil([] { return PendingKeys.empty() && PendingPen.empty(); }, 5000);
    PumpFor(200);
    KillTimer(nullptr, timer);
}

std::wstring ComposerText(const CChatDlg::Tab& tab)
{
    wchar_t text[128] = L"";
    GetWindowTextW(tab.composer, text, 128);
    return text;
}

}  // namespace

TEST(AppSmiley, TheSmiliesButtonsChoiceGoesIntoTheComposerAndFirstInTheStrip)
{
    ZEL_REQUIRE_DISPLAY();
    SmileyChat chat(L"AppSmileyDialogTest");
    ASSERT_TRUE(chat.Ready());
    const CSmileyPack& pack = SmileyPackInUse();
    ASSERT_TRUE(pack.WaitLoaded(kLoadWait));
    CMessageBarWnd* bar = chat.chat->Bar();
    ASSERT_NE(nullptr, bar);
    ASSERT_NE(nullptr, bar->Strip());
    ASSERT_TRUE(IsWindowVisible(bar->SmiliesButton()));
    // A handheld's width: the strip holds only the first few smilies.
    const int dpi = g_HIDPI_LogPixelsX;
    SetWindowPos(chat.chat->GetWindow(), HWND_TOP, 0, 0, dpi * 5 / 2, dpi * 7 / 2, SWP_SHOWWINDOW);
    ASSERT_TRUE(PumpUntil([&] { return !bar->Strip()->Smilies().empty(); }));
    // The strip shows the first smilies, in pack order.
    std::vector<int> shown = bar->Strip()->Smilies();
    for (size_t i = 0; i < shown.size(); ++i) EXPECT_EQ(int(i), shown[i]);
    ASSERT_LT(shown.size(), size_t(pack.GetCount()));

    // Right, then a row down, then Enter: a smiley past the strip's.
    LastChosenSmiley = 0;
    PendingKeys = {VK_RIGHT, VK_DOWN, VK_RETURN};
    PressSmiliesButton(*chat.chat);
    const int chosen = LastChosenSmiley;
    EXPECT_GT(chosen, 1);
    EXPECT_EQ(W(pack.GetCode(chosen)), ComposerText(chat.Tab()));
    ASSERT_FALSE(bar->Strip()->Smilies().empty());
    // A choice goes first in the strip; one the strip already shows keeps the strip as it was.
    const bool wasShown = std::find(shown.begin(), shown.end(), chosen) != shown.end();
    const std::vector<int> expectedStrip = wasShown ? shown : std::vector<int>();
    if (wasShown)
        EXPECT_EQ(expectedStrip, bar->Strip()->Smilies());
    else
        EXPECT_EQ(chosen, bar->Strip()->Smilies()[0]);

    // A tap on the first cell chooses it; its code goes in at the caret.
    PendingPen = {{WM_LBUTTONDOWN, POINT{5, 5}}, {WM_LBUTTONUP, POINT{6, 6}}};
    PressSmiliesButton(*chat.chat);
    EXPECT_EQ(0, LastChosenSmiley);
    EXPECT_EQ(W(pack.GetCode(chosen)) + W(pack.GetCode(0)), ComposerText(chat.Tab()));
    // A horizontal stroke cancels: nothing more.
    PendingPen = {{WM_LBUTTONDOWN, POINT{5, 5}}, {WM_LBUTTONUP, POINT{5 + UI::HIDPI_ScaleX(40), 8}}};
    PressSmiliesButton(*chat.chat);
    EXPECT_EQ(W(pack.GetCode(chosen)) + W(pack.GetCode(0)), ComposerText(chat.Tab()));
    if (wasShown)
        EXPECT_EQ(expectedStrip, bar->Strip()->Smilies());
    else
        EXPECT_EQ(chosen, bar->Strip()->Smilies()[0]);
}

TEST(AppSmiley, WhileThePackLoadsTheChatAnswersAndPaintsAndItsArrivalFillsTheStrip)
{
    ZEL_REQUIRE_DISPLAY();
    // The gate the pack's loader waits at; opened and taken away whatever happens below.
    struct Gate {
        HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        Gate() { CSmileyPack::SetLoaderGate(event); }
        ~Gate()
        {
            SetEvent(event);
            CSmileyPack::SetLoaderGate(nullptr);
            CloseHandle(event);
        }
    } gate;
    {
        SmileyChat chat(L"AppSmileyGateTest");
        ASSERT_TRUE(chat.Ready());
        const CSmileyPack& pack = SmileyPackInUse();
        EXPECT_TRUE(pack.IsLoading());
        CMessageBarWnd* bar = chat.chat->Bar();
        ASSERT_NE(nullptr, bar);
        ASSERT_NE(nullptr, bar->Strip());
        EXPECT_TRUE(bar->Strip()->Smilies().empty());
        EXPECT_TRUE(bar->Strip()->FillPending());

        // The chat works meanwhile: a code sent and received stays text, and the window paints it.
        chat.TypeAndSend(L":-)");
        ASSERT_TRUE(PumpUntil([&] { return chat.fake.Count(chat.account, PM_SEND_MESSAGE) == 1; }));
        ASSERT_EQ(1, chat.fake.notify(chat.account, FAKE_INCOMING_MESSAGE, chat.contact, L"back :-)", 7));
        ASSERT_TRUE(PumpUntil([&] { return chat.Log().GetParagraphCount() == 2; }));
        EXPECT_TRUE(Faces(chat.Log()).empty());
        HWND window = chat.chat->GetWindow();
        DWORD_PTR answer = 0;
        EXPECT_NE(0, SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 2000, &answer));
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        TestSupport::Image shot;
        ASSERT_TRUE(TestSupport::CaptureWindow(chat.Log(), false, &shot));
        TestSupport::WriteFileBytes(TestSupport::ScreenshotPath(L"AppSmileyLoading.png"), TestSupport::EncodePng(shot));
        std::set<uint32_t> colours(shot.pixels.begin(), shot.pixels.end());
        EXPECT_GT(colours.size(), 2u) << "the log painted its lines";
        // The smilies button says there are none yet.
        CNotifier& notifier = chat.run.App().Resources()->Notifier();
        const int bubbles = notifier.Entries().GetCount();
        PressSmiliesButton(*chat.chat);
        ASSERT_EQ(bubbles + 1, notifier.Entries().GetCount());
        EXPECT_EQ(L"Smilies are turn off or not loaded yet", W(notifier.Entries()[bubbles].body));
        EXPECT_TRUE(pack.IsLoading());

        // Released: the pack's message fills the strip with the first smilies.
        SetEvent(gate.event);
        ASSERT_TRUE(pack.WaitLoaded(kLoadWait));
        ASSERT_TRUE(PumpUntil([&] { return !bar->Strip()->Smilies().empty(); }));
        EXPECT_FALSE(bar->Strip()->FillPending());
        std::vector<int> shown = bar->Strip()->Smilies();
        for (size_t i = 0; i < shown.size(); ++i) EXPECT_EQ(int(i), shown[i]);
        // And the next line shows its picture.
        ASSERT_EQ(1, chat.fake.notify(chat.account, FAKE_INCOMING_MESSAGE, chat.contact, L"now :-)", 8));
        ASSERT_TRUE(PumpUntil([&] { return chat.Log().GetParagraphCount() == 3; }));
        EXPECT_EQ(1u, Faces(chat.Log()).size());
    }
}
