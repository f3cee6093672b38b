// CSmileyPack: the smiley pack in use, loaded on a thread of its own so that start-up does not wait
// for it. The loader fills a list of its own and hands it over whole under the pack's lock; until
// then the pack reads as loading and holds no smiley. After the hand-over the list never changes,
// so a picture read from the pack stays valid as long as the pack. Destroying a pack tells a
// loader that still runs to stop and waits for it, so the pack is never freed under it.
//
// CAnimatedPicture: one smiley, its codes and its frames as device bitmaps made once at load time,
// drawn by a plain blit (keyed on the frame's transparent colour where it has one).
#pragma once

#include "Zel/chat/smiley/SmileyPicture.h"
#include "ZELCommon/ZELCriticalSection.h"
#include "ZELCommon/ZELString.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

class CSmileyPack;

// Told on the loader thread when loading ended with a definition read and at least one picture
// file present. It may only post a window message.
class SmileyPackObserver {
public:
    virtual void OnSmileyPackLoaded(CSmileyPack* pack) = 0;

protected:
    ~SmileyPackObserver() {}
};

class CAnimatedPicture {
public:
    // Makes the device bitmaps of a decoded picture (a picture without frames has none).
    explicit CAnimatedPicture(std::unique_ptr<SmileyPicture> picture);
    // Decodes the file at once.
    CAnimatedPicture(const CZELString& path, const std::vector<CZELString>& codes);
    ~CAnimatedPicture();
    CAnimatedPicture(const CAnimatedPicture&) = delete;
    CAnimatedPicture& operator=(const CAnimatedPicture&) = delete;

    const CZELString& Path() const { return picture->path; }
    const std::vector<CZELString>& Codes() const { return picture->codes; }
    int FrameCount() const { return picture->FrameCount(); }
    // The frames' delays in ms (each at least 150), what the animation schedule is given.
    std::vector<int> Delays() const;
    const SmileyPicture& Data() const { return *picture; }
    // Null where making the bitmap failed.
    HBITMAP FrameBitmap(int index) const;

    // The logical screen size; with scale, each scaled as (|v| * dpi + 48) / 96, the sign kept.
    SIZE GetSize(bool scale, int dpiX, int dpiY) const;
    SIZE GetSize() const;  // with the program's scaling and density
    // Draws frame n (past the last: the last) with its top-left at (x, y): the frames underneath
    // first, a frame without a bitmap replaced as the paint order says. Nothing for no frames.
    void Paint(int n, HDC dc, int x, int y, bool scale, int dpiX, int dpiY) const;
    void Paint(int n, HDC dc, int x, int y) const;

private:
    void MakeBitmaps();

    std::unique_ptr<SmileyPicture> picture;
    std::vector<HBITMAP> bitmaps;
};

// How long each stage of the last load took, in ms: listing the folder, decoding the pictures,
// making their bitmaps.
struct SmileyLoadTimings {
    double listing = 0, decoding = 0, bitmaps = 0;
};

class CSmileyPack {
public:
    // An empty pack that never loads.
    CSmileyPack();
    // Starts loading the pack named name from root (the folder holding the packs, ending with a
    // separator; the program's "Smilies\" when empty). observer may be null.
    CSmileyPack(const CZELString& name, SmileyPackObserver* observer, const CZELString& root = CZELString());
    ~CSmileyPack();
    CSmileyPack(const CSmileyPack&) = delete;
    CSmileyPack& operator=(const CSmileyPack&) = delete;

    const CZELString& GetName() const { return name; }
    // True until the loader has ended (never for an empty pack).
    bool IsLoading() const;
    // Loading has ended and the pack holds at least one smiley.
    bool IsLoaded() const;
    // 0 while loading.
    int GetCount() const;
    // Null out of range or while loading.
    const CAnimatedPicture* GetSmiley(int n) const;
    // Smiley n's code number code, empty when there is none.
    CZELString GetCode(int n, int code = 0) const;
    // Every smiley's codes, in pack order (empty while loading): what code searches take. Fixed
    // from the hand-over on, so the reference stays valid as long as the pack.
    const std::vector<std::vector<std::wstring>>& CodeTable() const;
    SmileyLoadTimings Timings() const;

    // Waits until the loader has ended; true when it did within the time.
    bool WaitLoaded(DWORD milliseconds) const;

    // While gate is set (a manual-reset event), every loader waits for it before handing its list
    // over; null lets loaders run through. For tests of what stands while a pack loads.
    static void SetLoaderGate(HANDLE gate);

private:
    static DWORD WINAPI LoadThread(void* self);
    void Load();

    CZELString name;
    CZELString folder;
    SmileyPackObserver* observer;
    mutable CZELCriticalSection lock;
    std::vector<std::unique_ptr<CAnimatedPicture>> smilies;  // filled once, under lock
    std::vector<std::vector<std::wstring>> codes;
    bool loading;
    SmileyLoadTimings timings;
    std::atomic<bool> stop;
    HANDLE stopEvent;
    HANDLE loader;
};

// The pack the program's windows show, set by the GUI resources; an empty pack while none is set.
CSmileyPack& SmileyPackInUse();
void SetSmileyPackInUse(CSmileyPack* pack);
// The "ScaleSmile" setting as the pictures read it.
bool SmileyScaling();
void SetSmileyScaling(bool scale);
