#include "Zel/chat/SmileyPack.h"

#include "Zel/chat/smiley/SmileyPackLoad.h"
#include "Zel/shell/helpers/FileHelpers.h"
#include "ZELCommon/ZELArray.h"
#include "ZELCommon/ZELPath.h"
#include "ZELCommon/ZELWMUI_HiDpi.h"

#include <cstdlib>

namespace {

std::atomic<HANDLE> LoaderGate{nullptr};
std::atomic<CSmileyPack*> PackInUse{nullptr};
std::atomic<bool> Scaling{false};

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

LARGE_INTEGER Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now;
}

int Scale(int value, bool scale, int dpi)
{
    if (!scale) return value;
    int scaled = UI::HIDPI_Scale(std::abs(value), dpi);
    return value < 0 ? -scaled : scaled;
}

std::wstring Wide(const CZELString& text)
{
    return std::wstring(text.GetBuffer() ? text.GetBuffer() : L"", size_t(text.GetLength()));
}

}  // namespace

CAnimatedPicture::CAnimatedPicture(std::unique_ptr<SmileyPicture> decoded) : picture(std::move(decoded))
{
    if (!picture) picture.reset(new SmileyPicture);
    MakeBitmaps();
}

CAnimatedPicture::CAnimatedPicture(const CZELString& path, const std::vector<CZELString>& codes)
    : picture(new SmileyPicture)
{
    picture->path = path;
    picture->codes = codes;
    LoadSmileyFrames(*picture);
    MakeBitmaps();
}

CAnimatedPicture::~CAnimatedPicture()
{
    for (HBITMAP bitmap : bitmaps)
        if (bitmap) DeleteObject(bitmap);
}

void CAnimatedPicture::MakeBitmaps()
{
    bitmaps.assign(picture->frames.size(), nullptr);
    if (bitmaps.empty()) return;
    HDC screen = GetDC(nullptr);
    for (size_t i = 0; i < picture->frames.size(); ++i) {
        const SmileyFrame& frame = picture->frames[i];
        if (frame.width <= 0 || frame.height <= 0 || frame.pixels.empty()) continue;
        HBITMAP bitmap = CreateCompatibleBitmap(screen, frame.width, frame.height);
        if (!bitmap) continue;
        // 32-bit pixels need no colour table, so nothing past the pixels is ever read.
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = frame.width;
        info.bmiHeader.biHeight = -frame.height;  // rows top first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        if (SetDIBits(screen, bitmap, 0, UINT(frame.height), frame.pixels.data(), &info, DIB_RGB_COLORS) != frame.height) {
            DeleteObject(bitmap);
            continue;
        }
        bitmaps[i] = bitmap;
    }
    ReleaseDC(nullptr, screen);
}

std::vector<int> CAnimatedPicture::Delays() const
{
    std::vector<int> delays;
    for (const SmileyFrame& frame : picture->frames) delays.push_back(frame.delay);
    return delays;
}

HBITMAP CAnimatedPicture::FrameBitmap(int index) const
{
    return index >= 0 && size_t(index) < bitmaps.size() ? bitmaps[size_t(index)] : nullptr;
}

SIZE CAnimatedPicture::GetSize(bool scale, int dpiX, int dpiY) const
{
    return SIZE{Scale(picture->width, scale, dpiX), Scale(picture->height, scale, dpiY)};
}

SIZE CAnimatedPicture::GetSize() const
{
    return GetSize(SmileyScaling(), g_HIDPI_LogPixelsX, g_HIDPI_LogPixelsY);
}

void CAnimatedPicture::Paint(int n, HDC dc, int x, int y, bool scale, int dpiX, int dpiY) const
{
    if (picture->frames.empty() || !dc) return;
    std::vector<int> order =
        SmileyPaintOrder(picture->frames, n, [this](int i) { return FrameBitmap(i) != nullptr; });
    if (order.empty()) return;
    HDC memory = CreateCompatibleDC(dc);
    if (!memory) return;
    HGDIOBJ old = nullptr;
    for (int index : order) {
        const SmileyFrame& frame = picture->frames[size_t(index)];
        HGDIOBJ previous = SelectObject(memory, FrameBitmap(index));
        if (!old) old = previous;
        int left = x + Scale(frame.left, scale, dpiX), top = y + Scale(frame.top, scale, dpiY);
        int width = Scale(frame.width, scale, dpiX), height = Scale(frame.height, scale, dpiY);
        if (frame.transparentColor != CLR_INVALID)
            TransparentBlt(dc, left, top, width, height, memory, 0, 0, frame.width, frame.height,
                           UINT(frame.transparentColor));
        else if (scale)
            StretchBlt(dc, left, top, width, height, memory, 0, 0, frame.width, frame.height, SRCCOPY);
        else
            BitBlt(dc, left, top, width, height, memory, 0, 0, SRCCOPY);
    }
    if (old) SelectObject(memory, old);
    DeleteDC(memory);
}

void CAnimatedPicture::Paint(int n, HDC dc, int x, int y) const
{
    Paint(n, dc, x, y, SmileyScaling(), g_HIDPI_LogPixelsX, g_HIDPI_LogPixelsY);
}

CSmileyPack::CSmileyPack()
    : observer(nullptr), loading(false), stop(false), stopEvent(nullptr), loader(nullptr)
{
}

CSmileyPack::CSmileyPack(const CZELString& name, SmileyPackObserver* observer, const CZELString& root)
    : name(name), observer(observer), loading(true), stop(false), stopEvent(nullptr), loader(nullptr)
{
    CZELString base = root.IsEmpty() ? CZELPath::AppDir() + CZELPath::SmiliesDir() : root;
    folder = base + name + CZELPath::Sep();
    stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    loader = CreateThread(nullptr, 0, LoadThread, this, 0, nullptr);
    if (!loader) loading = false;
}

CSmileyPack::~CSmileyPack()
{
    if (loader) {
        stop.store(true);
        if (stopEvent) SetEvent(stopEvent);
        // The loader takes the lock only briefly and never waits for this thread.
        WaitForSingleObject(loader, INFINITE);
        CloseHandle(loader);
    }
    if (stopEvent) CloseHandle(stopEvent);
}

DWORD WINAPI CSmileyPack::LoadThread(void* self)
{
    static_cast<CSmileyPack*>(self)->Load();
    return 0;
}

void CSmileyPack::Load()
{
    SmileyLoadTimings spent;
    LARGE_INTEGER start = Now();
    CZELArray<CZELString> files;
    ListFiles(folder, CZELString(L"*.gif"), files);
    LARGE_INTEGER listed = Now();
    spent.listing = Milliseconds(start, listed);

    std::vector<std::unique_ptr<SmileyPicture>> decoded;
    bool complete = !stop.load() && LoadSmileyPictures(folder, files, decoded, &stop);
    LARGE_INTEGER done = Now();
    spent.decoding = Milliseconds(listed, done);

    std::vector<std::unique_ptr<CAnimatedPicture>> list;
    std::vector<std::vector<std::wstring>> table;
    for (std::unique_ptr<SmileyPicture>& picture : decoded) {
        if (stop.load()) break;
        std::vector<std::wstring> pictureCodes;
        for (const CZELString& code : picture->codes) pictureCodes.push_back(Wide(code));
        table.push_back(pictureCodes);
        list.emplace_back(new CAnimatedPicture(std::move(picture)));
    }
    spent.bitmaps = Milliseconds(done, Now());

    HANDLE gate = LoaderGate.load();
    if (gate && stopEvent && !stop.load()) {
        HANDLE waits[2] = {stopEvent, gate};
        WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    }
    if (stop.load()) complete = false;
    {
        CZELLock hold(lock);
        if (complete) {
            smilies.swap(list);
            codes.swap(table);
        }
        timings = spent;
        loading = false;
    }
    if (complete && observer) observer->OnSmileyPackLoaded(this);
}

bool CSmileyPack::IsLoading() const
{
    CZELLock hold(lock);
    return loading;
}

bool CSmileyPack::IsLoaded() const
{
    CZELLock hold(lock);
    return !loading && !smilies.empty();
}

int CSmileyPack::GetCount() const
{
    CZELLock hold(lock);
    return loading ? 0 : int(smilies.size());
}

const CAnimatedPicture* CSmileyPack::GetSmiley(int n) const
{
    CZELLock hold(lock);
    if (loading || n < 0 || size_t(n) >= smilies.size()) return nullptr;
    return smilies[size_t(n)].get();
}

CZELString CSmileyPack::GetCode(int n, int code) const
{
    const CAnimatedPicture* picture = GetSmiley(n);
    if (!picture || code < 0 || size_t(code) >= picture->Codes().size()) return CZELString();
    return picture->Codes()[size_t(code)];
}

const std::vector<std::vector<std::wstring>>& CSmileyPack::CodeTable() const
{
    static const std::vector<std::vector<std::wstring>> none;
    CZELLock hold(lock);
    return loading ? none : codes;
}

SmileyLoadTimings CSmileyPack::Timings() const
{
    CZELLock hold(lock);
    return timings;
}

bool CSmileyPack::WaitLoaded(DWORD milliseconds) const
{
    if (!loader) return true;
    return WaitForSingleObject(loader, milliseconds) == WAIT_OBJECT_0;
}

void CSmileyPack::SetLoaderGate(HANDLE gate)
{
    LoaderGate.store(gate);
}

CSmileyPack& SmileyPackInUse()
{
    static CSmileyPack empty;
    CSmileyPack* pack = PackInUse.load();
    return pack ? *pack : empty;
}

void SetSmileyPackInUse(CSmileyPack* pack)
{
    PackInUse.store(pack);
}

bool SmileyScaling()
{
    return Scaling.load();
}

void SetSmileyScaling(bool scale)
{
    Scaling.store(scale);
}
