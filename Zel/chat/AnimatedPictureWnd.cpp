#include "Zel/chat/AnimatedPictureWnd.h"

#include "Zel/chat/SmileyPack.h"

namespace {

const wchar_t kClassName[] = L"ZELAnimatedPictureWnd";

HWND Animator = nullptr;
AnimationSchedule Groups;

void Arm(int period)
{
    if (Animator) SetTimer(Animator, kAnimationTimerId, UINT(period < 0 ? 0 : period), nullptr);
}

LRESULT CALLBACK AnimatorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER && wParam == kAnimationTimerId) {
        KillTimer(window, kAnimationTimerId);
        int next = Groups.Tick();
        // An owner may have unregistered the last element while being told.
        if (Animator == window) Arm(next);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool CreateAnimator()
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass = {};
    if (!GetClassInfoW(instance, kClassName, &windowClass)) {
        windowClass.lpfnWndProc = AnimatorProc;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = kClassName;
        if (!RegisterClassW(&windowClass)) return false;
    }
    Animator = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    return Animator != nullptr;
}

}  // namespace

namespace AnimatedPictureWnd {

bool Register(AnimatedElement* element, const CAnimatedPicture* picture)
{
    if (!element || !picture || picture->FrameCount() < 2) return false;
    AnimationSchedule::RegisterResult result = Groups.Register(element, picture->Delays());
    if (result == AnimationSchedule::Refused) return false;
    if (!Animator && !CreateAnimator()) {
        Groups.Unregister(element);
        return false;
    }
    if (result == AnimationSchedule::NewGroup) Arm(Groups.Period());
    return true;
}

void Unregister(AnimatedElement* element)
{
    if (Groups.Unregister(element) && Animator) {
        DestroyWindow(Animator);
        Animator = nullptr;
    }
}

void StartAnimationTimer()
{
    Arm(Groups.Period());
}

void StopAnimationTimer()
{
    if (Animator) KillTimer(Animator, kAnimationTimerId);
}

HWND Window()
{
    return Animator;
}

const AnimationSchedule& Schedule()
{
    return Groups;
}

}  // namespace AnimatedPictureWnd

CSmileyCellElement::CSmileyCellElement(const CSmileyPack& pack, int smiley, IAnimatedElementOwner* owner)
    : AnimatedElement(smiley, owner), picture(pack.GetSmiley(smiley)), registered(false)
{
    registered = AnimatedPictureWnd::Register(this, picture);
}

CSmileyCellElement::~CSmileyCellElement()
{
    if (registered) AnimatedPictureWnd::Unregister(this);
}

SIZE CSmileyCellElement::Size() const
{
    return picture ? picture->GetSize() : SIZE{0, 0};
}

void CSmileyCellElement::Paint(HDC dc, int x, int y) const
{
    if (picture) picture->Paint(Frame(), dc, x, y);
}
