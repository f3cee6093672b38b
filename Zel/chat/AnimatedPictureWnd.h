// The one hidden window whose timer animates every smiley on screen. It exists while at least one
// animated element is registered: the first registration makes it, the last unregistration
// destroys it. Its timer is re-armed to the nearest frame change of all groups (AnimationSchedule).
// A message-only window: never seen, never in any window's child list.
//
// User-interface thread only.
#pragma once

#include "Zel/chat/smiley/AnimationSchedule.h"

#include <windows.h>

class CAnimatedPicture;
class CSmileyPack;

namespace AnimatedPictureWnd {

// Joins element to its smiley's group, or starts a group that shows its first frame at once.
// Pictures of fewer than two frames are not animated: false, nothing registered.
bool Register(AnimatedElement* element, const CAnimatedPicture* picture);
void Unregister(AnimatedElement* element);
// The chat window stops the timer while hidden; both do nothing without the window.
void StartAnimationTimer();
void StopAnimationTimer();

// The window, null while no element is registered; and the schedule behind it (for tests).
HWND Window();
const AnimationSchedule& Schedule();

}  // namespace AnimatedPictureWnd

// A cell's smiley: an element of pack's smiley n, registered for animation while it lives when the
// picture has two frames or more. Owner is told of frame changes.
class CSmileyCellElement : public AnimatedElement {
public:
    CSmileyCellElement(const CSmileyPack& pack, int smiley, IAnimatedElementOwner* owner);
    ~CSmileyCellElement() override;
    CSmileyCellElement(const CSmileyCellElement&) = delete;
    CSmileyCellElement& operator=(const CSmileyCellElement&) = delete;

    // The picture's size ({0, 0} without one).
    SIZE Size() const;
    // Draws the current frame with its top-left at (x, y).
    void Paint(HDC dc, int x, int y) const;
    const CAnimatedPicture* Picture() const { return picture; }

private:
    const CAnimatedPicture* picture;
    bool registered;
};
