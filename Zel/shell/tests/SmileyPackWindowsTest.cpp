// The smiley pack on its loader thread, its pictures drawn through device bitmaps, the shared
// animation window, the smiley dialog's grid, the recent-smilies strip and smiley pictures in a
// message bubble's body, with the default pack the build puts beside the program and small packs
// written by the tests.
#include "Zel/chat/AnimatedPictureWnd.h"
#include "Zel/chat/GridPickerWnd.h"
#include "Zel/chat/SmileyDialog.h"
#include "Zel/chat/SmileyPack.h"
#include "Zel/chat/smiley/SmileyGridLayout.h"
#include "Zel/chat/smiley/SmileyStripLayout.h"
#include "Zel/chat/tests/GifTestSupport.h"
#include "Zel/core/skin/SkinImageSet.h"
#include "Zel/prefs/GlobalSettings.h"
#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/notify/Notifier.h"
#include "Zel/shell/notify/NotifyHtml.h"
#include "ZELCommon/tests/UiTestSupport.h"
#include "ZELCommon/tests/WindowScreenshot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

using namespace GifTest;

namespace {

const wchar_t kDefaultPack[] = L"ZEL PDA smilies";
const DWORD kLoadWait = 20000;

std::wstring W(const CZELString& text)
{
    return std::wstring(text.GetBuffer() ? text.GetBuffer() : L"", size_t(text.GetLength()));
}

struct CountingObserver : SmileyPackObserver {
    std::atomic<int> told{0};
    std::atomic<DWORD> thread{0};
    void OnSmileyPackLoaded(CSmileyPack*) override
    {
        thread.store(GetCurrentThreadId());
        ++told;
    }
};

// A gate the loaders wait at for the scope's life.
class LoaderGate {
public:
    LoaderGate() : event(CreateEventW(nullptr, TRUE, FALSE, nullptr)) { CSmileyPack::SetLoaderGate(event); }
    ~LoaderGate()
    {
        Open();
        CSmileyPack::SetLoaderGate(nullptr);
        CloseHandle(event);
    }
    void Open() { SetEvent(event); }

private:
    HANDLE event;
};

// Pumps messages until done says so or the time is up.
bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds = 5000)
{
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > milliseconds) return false;
        TestSupport::PumpMessages();
        Sleep(5);
    }
    return true;
}

const std::vector<Rgb> kColours = {{255, 255, 255}, {255, 0, 0}, {0, 0, 255}, {0, 255, 0}};

// 4x2 pictures over index 0 (white), keyed on index 3 (green) where a frame says so.
Bytes FramesGif(const std::vector<int>& disposals)
{
    GifBuilder gif;
    gif.Header(4, 2, kColours);
    for (size_t i = 0; i < disposals.size(); ++i) {
        gif.Control(disposals[i], 20, 3);
        Bytes pixels(8, 3);
        pixels[i % 8] = (unsigned char)(1 + i % 2);
        gif.Image(int(i % 2), 0, 4 - int(i % 2), 2, Bytes(pixels.begin(), pixels.begin() + (4 - long(i % 2)) * 2), 2);
    }
    return gif.Trailer().bytes;
}

class SmileyWindows : public ::testing::Test {
protected:
    void SetUp() override
    {
        ZEL_REQUIRE_DISPLAY();
        LastChosenSmiley = 0;
    }
    // A pack of the given GIFs (named a.gif, b.gif, ...) and definition in a folder of root.
    void WritePack(const std::string& definition, const std::vector<Bytes>& gifs)
    {
        CreateDirectoryW((root.path + L"Pack").c_str(), nullptr);
        ASSERT_TRUE(TestSupport::WriteWholeFile(root.path + L"Pack\\_define.ini", definition));
        for (size_t i = 0; i < gifs.size(); ++i)
            ASSERT_TRUE(TestSupport::WriteWholeFile(root.path + L"Pack\\" + std::wstring(1, wchar_t(L'a' + i)) + L".gif", gifs[i]));
    }

    TestSupport::TempFolder root{L"SmileyWindows"};
    TestSupport::DpiScope dpi{96};
};

TEST_F(SmileyWindows, TheDefaultPackLoadsOnItsOwnThreadAndTellsItsObserverOnce)
{
    CountingObserver observer;
    CSmileyPack pack(CZELString(kDefaultPack), &observer);
    ASSERT_TRUE(pack.WaitLoaded(kLoadWait));
    EXPECT_FALSE(pack.IsLoading());
    EXPECT_TRUE(pack.IsLoaded());
    EXPECT_EQ(pack.GetCount(), 20);
    EXPECT_EQ(observer.told.load(), 1);
    EXPECT_NE(observer.thread.load(), GetCurrentThreadId());
    EXPECT_EQ(W(pack.GetCode(0)), L":-)");
    EXPECT_EQ(pack.CodeTable().size(), 20u);
    for (int n = 0; n < pack.GetCount(); ++n) {
        SCOPED_TRACE(n);
        const CAnimatedPicture* picture = pack.GetSmiley(n);
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(picture->GetSize(false, 96, 96).cx, 19);
        EXPECT_GE(picture->FrameCount(), 2);
        for (int f = 0; f < picture->FrameCount(); ++f) EXPECT_NE(picture->FrameBitmap(f), nullptr);
    }
    EXPECT_EQ(pack.GetSmiley(20), nullptr);
    EXPECT_EQ(pack.GetSmiley(-1), nullptr);
}

TEST_F(SmileyWindows, APackReadsAsLoadingUntilItsLoaderHandsTheListOver)
{
    CountingObserver observer;
    LoaderGate gate;
    CSmileyPack pack(CZELString(kDefaultPack), &observer);
    EXPECT_FALSE(pack.WaitLoaded(300));
    EXPECT_TRUE(pack.IsLoading());
    EXPECT_FALSE(pack.IsLoaded());
    EXPECT_EQ(pack.GetCount(), 0);
    EXPECT_EQ(pack.GetSmiley(0), nullptr);
    EXPECT_TRUE(pack.CodeTable().empty());
    EXPECT_EQ(observer.told.load(), 0);
    gate.Open();
    ASSERT_TRUE(pack.WaitLoaded(kLoadWait));
    EXPECT_EQ(pack.GetCount(), 20);
    EXPECT_EQ(observer.told.load(), 1);
}

TEST_F(SmileyWindows, DestroyingAPackStopsItsLoaderAndWaitsForIt)
{
    CountingObserver observer;
    {
        LoaderGate gate;
        for (int i = 0; i < 3; ++i) {
            CSmileyPack pack(CZELString(kDefaultPack), &observer);
            Sleep(DWORD(i * 50));
        }
        // Each pack went while its loader waited or worked: none was told.
    }
    EXPECT_EQ(observer.told.load(), 0);
}

TEST_F(SmileyWindows, MissingDefinitionOrPicturesGiveAnEmptyPackWithoutNotice)
{
    struct Case {
        const char* name;
        std::string definition;
        std::vector<Bytes> gifs;
    } cases[] = {
        {"no pictures", ":-)\n", {}},
        {"empty definition", "", {FramesGif({1, 1})}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestSupport::RemoveTree(root.path + L"Pack\\");
        WritePack(c.definition, c.gifs);
        CountingObserver observer;
        CSmileyPack pack(CZELString(L"Pack"), &observer, CZELString(root.path.c_str()));
        ASSERT_TRUE(pack.WaitLoaded(kLoadWait));
        EXPECT_FALSE(pack.IsLoading());
        EXPECT_FALSE(pack.IsLoaded());
        EXPECT_EQ(pack.GetCount(), 0);
        EXPECT_EQ(observer.told.load(), 0);
    }
    CSmileyPack missing(CZELString(L"Nowhere"), nullptr, CZELString(root.path.c_str()));
    ASSERT_TRUE(missing.WaitLoaded(kLoadWait));
    EXPECT_EQ(missing.GetCount(), 0);
    CSmileyPack never;
    EXPECT_FALSE(never.IsLoading());
    EXPECT_EQ(never.GetCount(), 0);
}

// A 32-bit top-down canvas of one colour that a picture is painted on.
class Canvas {
public:
    Canvas(int width, int height, uint32_t colour) : width(width), height(height)
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
        old = SelectObject(dc, bitmap);
        std::fill(bits, bits + size_t(width) * size_t(height), colour);
    }
    ~Canvas()
    {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    std::vector<uint32_t> Pixels()
    {
        GdiFlush();
        std::vector<uint32_t> out(bits, bits + size_t(width) * size_t(height));
        for (uint32_t& p : out) p &= 0xFFFFFF;
        return out;
    }

    HDC dc;
    int width, height;

private:
    HBITMAP bitmap;
    HGDIOBJ old;
    uint32_t* bits = nullptr;
};

TEST_F(SmileyWindows, PaintingThroughBitmapsMatchesTheComposedFrames)
{
    const uint32_t background = 0x123456;
    // Disposals 1, 2 and 3 and the key colour, and every frame of the default pack.
    WritePack("a\nb\nc\nd\n", {FramesGif({1, 1, 1}), FramesGif({2, 2, 2}), FramesGif({1, 3, 3, 1}), FramesGif({0, 3, 2, 1, 3})});
    std::vector<std::unique_ptr<CSmileyPack>> packs;
    packs.emplace_back(new CSmileyPack(CZELString(L"Pack"), nullptr, CZELString(root.path.c_str())));
    packs.emplace_back(new CSmileyPack(CZELString(kDefaultPack), nullptr));
    int painted = 0;
    for (auto& pack : packs) {
        ASSERT_TRUE(pack->WaitLoaded(kLoadWait));
        ASSERT_TRUE(pack->IsLoaded());
        for (int n = 0; n < pack->GetCount(); ++n) {
            const CAnimatedPicture* picture = pack->GetSmiley(n);
            for (int f = 0; f <= picture->FrameCount(); ++f) {  // one past the last shows the last
                SCOPED_TRACE(W(picture->Path()) + L" frame " + std::to_wstring(f));
                const SmileyPicture& data = picture->Data();
                Canvas canvas(data.width, data.height, background);
                picture->Paint(f, canvas.dc, 0, 0, false, 96, 96);
                std::vector<uint32_t> expected(size_t(data.width) * size_t(data.height), background);
                ComposeSmileyFrame(data, f, expected.data(), data.width, data.height);
                std::vector<uint32_t> got = canvas.Pixels();
                EXPECT_EQ(got, expected);
                for (const SmileyFrame& frame : data.frames) {
                    if (frame.transparentColor == CLR_INVALID) continue;
                    uint32_t key = (uint32_t(GetRValue(frame.transparentColor)) << 16) |
                                   (uint32_t(GetGValue(frame.transparentColor)) << 8) | GetBValue(frame.transparentColor);
                    bool keyShown = std::find(got.begin(), got.end(), key) != got.end();
                    EXPECT_FALSE(keyShown && key != background && std::find(expected.begin(), expected.end(), key) == expected.end());
                }
                ++painted;
            }
        }
    }
    EXPECT_GT(painted, 20);
}

TEST_F(SmileyWindows, ScaledPicturesAreStretchedWithTheDensity)
{
    CSmileyPack pack(CZELString(kDefaultPack), nullptr);
    ASSERT_TRUE(pack.WaitLoaded(kLoadWait));
    const CAnimatedPicture* picture = pack.GetSmiley(0);
    SIZE plain = picture->GetSize(false, 192, 192), scaled = picture->GetSize(true, 192, 192);
    EXPECT_EQ(plain.cx, 19);
    EXPECT_EQ(scaled.cx, 38);
    EXPECT_EQ(scaled.cy, 38);
    const uint32_t background = 0x123456;
    Canvas canvas(40, 40, background);
    picture->Paint(0, canvas.dc, 0, 0, true, 192, 192);
    std::vector<uint32_t> pixels = canvas.Pixels();
    // The face reaches past 19 pixels both ways, and nothing of it past 38.
    int beyondPlain = 0, beyondScaled = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            bool drawn = pixels[size_t(y) * 40 + x] != background;
            if (drawn && x >= 20 && y >= 20) ++beyondPlain;
            if (drawn && (x >= 38 || y >= 38)) ++beyondScaled;
        }
    EXPECT_GT(beyondPlain, 50);
    EXPECT_EQ(beyondScaled, 0);
    const SmileyFrame& frame = picture->Data().frames[0];
    if (frame.transparentColor != CLR_INVALID) {
        EXPECT_EQ(std::count(pixels.begin(), pixels.end(), TestSupport::Rgb(frame.transparentColor)), 0);
    }
}

TEST_F(SmileyWindows, APictureWithoutFramesIsNeitherDrawnNorAnimated)
{
    WritePack("broken\none\n", {Bytes{'G', 'I', 'F', '8', '9', 'a'}, FramesGif({1})});
    CSmileyPack pack(CZELString(L"Pack"), nullptr, CZELString(root.path.c_str()));
    ASSERT_TRUE(pack.WaitLoaded(kLoadWait));
    ASSERT_EQ(pack.GetCount(), 2);
    const CAnimatedPicture* broken = pack.GetSmiley(0);
    EXPECT_EQ(broken->FrameCount(), 0);
    EXPECT_EQ(broken->GetSize(false, 96, 96).cx, 0);
    Canvas canvas(4, 4, 0x123456);
    broken->Paint(0, canvas.dc, 0, 0, false, 96, 96);
    broken->Paint(5, canvas.dc, 0, 0, false, 96, 96);
    EXPECT_EQ(canvas.Pixels(), std::vector<uint32_t>(16, 0x123456));
    CSmileyCellElement none(pack, 0, nullptr), single(pack, 1, nullptr);
    EXPECT_EQ(AnimatedPictureWnd::Window(), nullptr);
    EXPECT_TRUE(AnimatedPictureWnd::Schedule().Empty());
}

struct FrameRecorder : IAnimatedElementOwner {
    std::vector<std::pair<int, int>> told;
    void OnFrameChanged(AnimatedElement* element, int frame) override { told.emplace_back(element->Smiley(), frame); }
};

TEST_F(SmileyWindows, TheAnimationWindowLivesWhileAnElementIsRegistered)
{
    CSmileyPack pack(CZELString(kDefaultPack), nullptr);
    ASSERT_TRUE(pack.WaitLoaded(kLoadWait));
    FrameRecorder owner;
    {
        CSmileyCellElement first(pack, 0, &owner), again(pack, 0, &owner), other(pack, 1, &owner);
        ASSERT_NE(AnimatedPictureWnd::Window(), nullptr);
        EXPECT_EQ(AnimatedPictureWnd::Schedule().Groups().size(), 2u);
        // Both groups show their first frame at once, then move on.
        auto told = [&](int smiley, int frame) {
            return std::find(owner.told.begin(), owner.told.end(), std::make_pair(smiley, frame)) != owner.told.end();
        };
        ASSERT_TRUE(PumpUntil([&] { return told(0, 0) && told(1, 0) && told(0, 1) && told(1, 1); }, 10000));
        EXPECT_EQ(again.Frame(), first.Frame());
        AnimatedPictureWnd::StopAnimationTimer();
        owner.told.clear();
        Sleep(400);
        TestSupport::PumpMessages();
        EXPECT_TRUE(owner.told.empty());
        AnimatedPictureWnd::StartAnimationTimer();
        ASSERT_TRUE(PumpUntil([&] { return !owner.told.empty(); }));
    }
    EXPECT_EQ(AnimatedPictureWnd::Window(), nullptr);
    // A new registration makes the window again and shows frame 0 at once.
    CSmileyCellElement later(pack, 2, &owner);
    ASSERT_NE(AnimatedPictureWnd::Window(), nullptr);
    owner.told.clear();
    ASSERT_TRUE(PumpUntil([&] { return !owner.told.empty(); }));
    EXPECT_EQ(owner.told[0], std::make_pair(2, 0));
}

struct ChoiceRecorder : SmileyGridObserver {
    std::vector<int> chosen;
    void OnSmileyChosen(CSmileyGridWnd*, int index) override { chosen.push_back(index); }
};

TEST_F(SmileyWindows, TheGridLaysOutMovesByKeysAndChoosesByPen)
{
    CSmileyPack pack(CZELString(kDefaultPack), nullptr);
    ASSERT_TRUE(pack.WaitLoaded(kLoadWait));
    for (int density : {96, 192}) {
        SCOPED_TRACE(density);
        LastChosenSmiley = 0;
        TestSupport::DpiScope scope(density);
        SetSmileyScaling(true);
        int cell = density == 96 ? 30 : 60;
        HWND host = TestSupport::CreateHostWindow(8 * cell + 40, 3 * cell);
        TestSupport::WindowScope hold(host);
        ChoiceRecorder observer;
        CSmileyGridWnd grid(pack, false, &observer);
        // Created without a border, so the client is exactly 8 cells and a bit wide.
        ASSERT_TRUE(grid.CZELWMUI_Wnd::Create(TestSupport::TestModule(), host, WS_VISIBLE | WS_VSCROLL,
                                              RECT{0, 0, 8 * cell + 10, 2 * cell}));
        ASSERT_EQ(grid.CellCount(), 20);
        RECT nine = grid.CellRect(9);
        EXPECT_EQ(nine.left, cell);
        EXPECT_EQ(nine.top, cell);
        EXPECT_EQ(grid.GetScrollMaxRange(), 3 * cell);
        SetFocus(grid);
        grid.OnKeyDown(VK_RIGHT);
        grid.OnKeyDown(VK_DOWN);
        EXPECT_EQ(LastChosenSmiley, 9);
        grid.OnKeyDown(VK_DOWN);
        EXPECT_EQ(LastChosenSmiley, 17);
        EXPECT_EQ(grid.GetScrollPos(), cell);  // the third row scrolled into view
        grid.OnKeyDown(VK_UP);
        grid.OnKeyDown(VK_UP);
        grid.OnKeyDown(VK_LEFT);
        EXPECT_EQ(LastChosenSmiley, 0);
        grid.OnKeyDown(VK_RETURN);
        EXPECT_EQ(observer.chosen, std::vector<int>{0});
        // A tap on cell 2 of the visible first row chooses it.
        grid.SetScrollPos(0);
        POINT tap = {2 * cell + cell / 2, cell / 2};
        grid.OnLButtonDown(0, tap);
        grid.OnLButtonUp(0, tap);
        EXPECT_EQ(observer.chosen.back(), 2);
        EXPECT_EQ(LastChosenSmiley, 2);
        // A horizontal stroke cancels.
        grid.OnLButtonDown(0, tap);
        grid.OnLButtonUp(0, POINT{tap.x + UI::HIDPI_ScaleX(20), tap.y});
        EXPECT_EQ(observer.chosen.back(), -1);
        // A vertical drag scrolls in steps and never chooses.
        size_t choices = observer.chosen.size();
        grid.OnLButtonDown(0, POINT{tap.x, 2 * cell - 2});
        grid.OnMouseMove(0, POINT{tap.x, 2 * cell - 2 - UI::HIDPI_ScaleY(20)});
        grid.OnMouseMove(0, POINT{tap.x, 2 * cell - 2 - UI::HIDPI_ScaleY(40)});
        grid.OnLButtonUp(0, POINT{tap.x, 2 * cell - 2 - UI::HIDPI_ScaleY(40)});
        EXPECT_EQ(observer.chosen.size(), choices);
        EXPECT_GT(grid.GetScrollPos(), 0);
        SetSmileyScaling(false);
    }
}

TEST_F(SmileyWindows, AGridMadeWhileThePackLoadsHasNoCellsAndNoScrollRange)
{
    LoaderGate gate;
    CSmileyPack pack(CZELString(kDefaultPack), nullptr);
    LastChosenSmiley = 7;
    HWND host = TestSupport::CreateHostWindow(240, 200);
    TestSupport::WindowScope hold(host);
    CSmileyGridWnd grid(pack, true, nullptr);
    ASSERT_TRUE(grid.Create(TestSupport::TestModule(), host, WS_VISIBLE, RECT{0, 0, 240, 200}));
    EXPECT_EQ(grid.CellCount(), 0);
    EXPECT_EQ(grid.GetScrollMaxRange(), 0);
    EXPECT_EQ(LastChosenSmiley, 0);
    grid.OnKeyDown(VK_DOWN);
    grid.OnKeyDown(VK_RETURN);
    grid.Layout();
    EXPECT_EQ(grid.GetScrollMaxRange(), 0);
    grid.RedrawNow(UI::PaintFull);
}

// Sends keys, or pen messages, to whatever has the focus once the dialog's loop runs.
std::vector<int> PendingKeys;
std::vector<std::pair<UINT, POINT>> PendingPen;
void CALLBACK SendPendingKeys(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND focus = GetFocus();
    if (!focus) return;
    KillTimer(nullptr, timer);
    for (int key : PendingKeys) SendMessageW(focus, WM_KEYDOWN, WPARAM(key), 0);
    for (const auto& pen : PendingPen) SendMessageW(focus, pen.first, 0, MAKELPARAM(pen.second.x, pen.second.y));
    PendingKeys.clear();
    PendingPen.clear();
}

class NoticeRecorder : public CNotifier {
public:
    NoticeRecorder(GlobalSettings& settings) : CNotifier(nullptr, settings) {}
};

TEST_F(SmileyWindows, ChooseSmileyRunsTheDialogOrSaysThereAreNoSmilies)
{
    GlobalSettings settings;
    NoticeRecorder notifier(settings);
    HWND host = TestSupport::CreateHostWindow(240, 300);
    TestSupport::WindowScope hold(host);
    {
        LoaderGate gate;
        CSmileyPack loading(CZELString(kDefaultPack), nullptr);
        EXPECT_EQ(ChooseSmiley(host, false, loading, &notifier), -1);
    }
    CSmileyPack empty;
    EXPECT_EQ(ChooseSmiley(host, false, empty, &notifier), -1);
    ASSERT_EQ(notifier.Entries().GetCount(), 2);
    EXPECT_EQ(W(notifier.Entries()[0].body), L"Smilies are turn off or not loaded yet");
    EXPECT_EQ(W(notifier.Entries()[0].title), L"Warning");

    CSmileyPack pack(CZELString(kDefaultPack), nullptr);
    ASSERT_TRUE(pack.WaitLoaded(kLoadWait));
    PendingKeys = {VK_RIGHT, VK_DOWN, VK_RETURN};
    UINT_PTR timer = SetTimer(nullptr, 0, 50, SendPendingKeys);
    int chosen = ChooseSmiley(host, false, pack, &notifier);
    KillTimer(nullptr, timer);
    EXPECT_GT(chosen, 1);  // one right, then a row down
    EXPECT_EQ(chosen, LastChosenSmiley);
    // The next run opens on it; Escape-like cancel by a stroke is the grid's; here the right soft key.
    PendingKeys = {VK_LEFT, VK_RETURN};
    timer = SetTimer(nullptr, 0, 50, SendPendingKeys);
    EXPECT_EQ(ChooseSmiley(host, true, pack, &notifier), chosen - 1);
    KillTimer(nullptr, timer);
    // A tap on the first cell chooses it; a horizontal stroke cancels.
    PendingPen = {{WM_LBUTTONDOWN, POINT{5, 5}}, {WM_LBUTTONUP, POINT{6, 6}}};
    timer = SetTimer(nullptr, 0, 50, SendPendingKeys);
    EXPECT_EQ(ChooseSmiley(host, false, pack, &notifier), 0);
    KillTimer(nullptr, timer);
    PendingPen = {{WM_LBUTTONDOWN, POINT{5, 5}}, {WM_LBUTTONUP, POINT{60, 8}}};
    timer = SetTimer(nullptr, 0, 50, SendPendingKeys);
    EXPECT_EQ(ChooseSmiley(host, false, pack, &notifier), -1);
    KillTimer(nullptr, timer);
    EXPECT_EQ(LastChosenSmiley, 0);
    EXPECT_EQ(notifier.Entries().GetCount(), 2);
}

struct PickRecorder : IGridPickerObserver {
    std::vector<int> picked;
    void OnSmileyPicked(CGridPickerWnd*, int smiley) override { picked.push_back(smiley); }
};

TEST_F(SmileyWindows, TheStripFillsPushesAndTrims)
{
    CSmileyPack pack(CZELString(kDefaultPack), nullptr);
    ASSERT_TRUE(pack.WaitLoaded(kLoadWait));
    HWND host = TestSupport::CreateHostWindow(300, 60);
    TestSupport::WindowScope hold(host);
    PickRecorder observer;
    // 4 slots of 38 + 1: room 157 - 1 = 156 -> four, the fourth using the last pixels.
    std::unique_ptr<CGridPickerWnd> strip(new CGridPickerWnd(&pack, &observer));
    ASSERT_TRUE(strip->Create(TestSupport::TestModule(), host, 0, RECT{0, 0, 157, 40}));
    EXPECT_TRUE(strip->FillPending());
    ShowWindow(*strip, SW_SHOW);  // the first show fills
    EXPECT_FALSE(strip->FillPending());
    EXPECT_EQ(strip->Smilies(), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(strip->CellPosition(1).x, 40 + (38 - 19) / 2);
    EXPECT_EQ(strip->CellPosition(1).y, (40 - 19) / 2);
    strip->PushSmiley(2);  // already there: nothing
    EXPECT_EQ(strip->Smilies(), (std::vector<int>{0, 1, 2, 3}));
    strip->PushSmiley(12);
    EXPECT_EQ(strip->Smilies(), (std::vector<int>{12, 0, 1, 2}));
    // Narrower: at least one cell stays.
    strip->Resize(20, 40);
    EXPECT_EQ(strip->Smilies(), std::vector<int>{12});
    strip->Resize(157, 40);
    strip->PushSmiley(5);
    EXPECT_EQ(strip->Smilies(), (std::vector<int>{5, 12}));
    // A tap, then keys.
    strip->OnLButtonDown(0, POINT{45, 20});
    EXPECT_EQ(observer.picked, std::vector<int>{12});
    EXPECT_EQ(strip->Selection(), 1);
    strip->OnKeyDown(VK_LEFT);
    strip->OnKeyDown(VK_RETURN);
    EXPECT_EQ(observer.picked.back(), 5);
    strip->OnLButtonDown(0, POINT{150, 20});  // past the last cell
    EXPECT_EQ(observer.picked.size(), 2u);
    strip->RedrawNow(UI::PaintFull);
    strip->Reset();
    EXPECT_TRUE(strip->Smilies().empty());
    EXPECT_TRUE(strip->FillPending());
    strip->Fill();
    EXPECT_EQ(strip->Smilies(), (std::vector<int>{0, 1, 2, 3}));
}

TEST_F(SmileyWindows, TheStripStaysEmptyUntilThePackHasLoaded)
{
    LoaderGate gate;
    CSmileyPack pack(CZELString(kDefaultPack), nullptr);
    HWND host = TestSupport::CreateHostWindow(300, 60);
    TestSupport::WindowScope hold(host);
    std::unique_ptr<CGridPickerWnd> strip(CreateGridPicker(host, RECT{0, 0, 200, 40}, nullptr, pack));
    ASSERT_NE(HWND(*strip), nullptr);
    strip->Fill();
    EXPECT_TRUE(strip->Smilies().empty());
    EXPECT_TRUE(strip->FillPending());
    strip->RedrawNow(UI::PaintFull);  // paints while the loader waits
    gate.Open();
    ASSERT_TRUE(pack.WaitLoaded(kLoadWait));
    strip->Fill();  // what the chat window does on the loaded message
    EXPECT_EQ(strip->Smilies().size(), size_t(SmileyStripFillCount(std::vector<int>(20, 19), 200, 96)));
}

TEST_F(SmileyWindows, ABubbleBodyCarriesAtMostFiveSmileyPictures)
{
    CSmileyPack pack(CZELString(kDefaultPack), nullptr);
    ASSERT_TRUE(pack.WaitLoaded(kLoadWait));
    std::wstring tag = L"<img src=\"file:\\\\" + W(pack.GetSmiley(0)->Path()) + L"\" style=\"vertical-align:middle\" border=\"0\" />";
    CZELString seven(L":-) :-) :-)\r\n:-) :-) :-) :-) <b>");
    std::wstring html = W(NotifyHtml::MessageToHtml(seven, pack));
    EXPECT_EQ(html, tag + L" " + tag + L" " + tag + L"<br>" + tag + L" " + tag + L" :-) :-) &lt;b&gt;");
    // No loaded pack: the text alone.
    CSmileyPack none;
    EXPECT_EQ(W(NotifyHtml::MessageToHtml(seven, none)), L":-) :-) :-)<br>:-) :-) :-) :-) &lt;b&gt;");
}

TEST_F(SmileyWindows, TheResourcesMakeThePackAtStartAndOnASmileyOptionChange)
{
    GlobalSettings settings;
    settings.useSmile = true;
    settings.smilePack = kDefaultPack;
    CSkinImageSet images;
    {
        CGuiResources resources(settings, images, nullptr);
        EXPECT_EQ(&SmileyPackInUse(), &resources.Smilies());
        ASSERT_TRUE(resources.Smilies().WaitLoaded(kLoadWait));
        EXPECT_EQ(SmileyPackInUse().GetCount(), 20);

        settings.useSmile = false;
        resources.OnOptionChanged(OPT_SMILEY_PACK);
        EXPECT_EQ(&SmileyPackInUse(), &resources.Smilies());
        EXPECT_FALSE(SmileyPackInUse().IsLoading());
        EXPECT_EQ(SmileyPackInUse().GetCount(), 0);

        // Turned on again while loaders wait: the pack reads as loading, and replacing or
        // destroying it stops its loader.
        LoaderGate gate;
        settings.useSmile = true;
        resources.OnOptionChanged(OPT_SMILEY_PACK);
        EXPECT_TRUE(SmileyPackInUse().IsLoading());
        resources.OnOptionChanged(OPT_SMILEY_PACK);
        EXPECT_TRUE(SmileyPackInUse().IsLoading());

        settings.scaleSmile = true;
        resources.OnOptionChanged(OPT_SMILEY_SCALE);
        EXPECT_TRUE(SmileyScaling());
        settings.scaleSmile = false;
        resources.OnOptionChanged(OPT_SMILEY_SCALE);
    }
    // Gone with the resources: the windows find an empty pack.
    EXPECT_EQ(SmileyPackInUse().GetCount(), 0);
    EXPECT_FALSE(SmileyScaling());
}

TEST_F(SmileyWindows, TheStripAnimatesOnScreenOverItsBackgroundNeverTheKeyColour)
{
    CSmileyPack pack(CZELString(kDefaultPack), nullptr);
    ASSERT_TRUE(pack.WaitLoaded(kLoadWait));
    HWND host = TestSupport::CreateHostWindow(300, 60);
    TestSupport::WindowScope hold(host);
    std::unique_ptr<CGridPickerWnd> strip(CreateGridPicker(host, RECT{0, 0, 240, 40}, nullptr, pack));
    ASSERT_NE(HWND(*strip), nullptr);
    strip->Fill();
    ASSERT_FALSE(strip->Smilies().empty());
    UpdateWindow(*strip);
    TestSupport::PumpMessages();
    std::vector<uint32_t> keys;
    for (int n : strip->Smilies())
        for (const SmileyFrame& frame : pack.GetSmiley(n)->Data().frames)
            if (frame.transparentColor != CLR_INVALID) keys.push_back(TestSupport::Rgb(frame.transparentColor));
    ASSERT_FALSE(keys.empty());
    TestSupport::Image first, later;
    ASSERT_TRUE(TestSupport::CaptureWindow(*strip, false, &first));
    // The timer moves the faces on: some pixel changes within a few frames.
    bool changed = PumpUntil([&] {
        return TestSupport::CaptureWindow(*strip, false, &later) && later.pixels != first.pixels;
    }, 5000);
    TestSupport::WriteFileBytes(TestSupport::ScreenshotPath(L"smiley-strip-1.png"), TestSupport::EncodePng(first));
    TestSupport::WriteFileBytes(TestSupport::ScreenshotPath(L"smiley-strip-2.png"), TestSupport::EncodePng(later));
    EXPECT_TRUE(changed);
    for (const TestSupport::Image* image : {&first, &later}) {
        for (uint32_t key : keys)
            EXPECT_EQ(std::count(image->pixels.begin(), image->pixels.end(), key), 0) << std::hex << key;
        // Around the first face: the strip's background.
        POINT face = strip->CellPosition(0);
        EXPECT_EQ(image->At(face.x - 1, face.y - 1), 0xFFFFFFu);
        EXPECT_EQ(image->At(face.x + 19, face.y + 19), 0xFFFFFFu);
    }
}

}  // namespace
