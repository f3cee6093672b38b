// The one schedule behind every animated smiley on screen. Elements showing the same smiley share a
// group and so always show the same frame; one timer serves all groups and is re-armed to the
// nearest frame change, never waiting more than a minute. Pure bookkeeping: the window that owns
// the timer lives elsewhere and asks this schedule what to arm next.
//
// A picture of fewer than two frames has nothing to animate and is refused by Register.
#pragma once

#include <vector>

class AnimatedElement;

// Told at each frame change of an element, so that it can redraw the element.
class IAnimatedElementOwner {
public:
    virtual void OnFrameChanged(AnimatedElement* element, int frame) = 0;

protected:
    ~IAnimatedElementOwner() {}
};

// What registers for animation: a smiley number, the frame the schedule sets, and its owner.
class AnimatedElement {
public:
    AnimatedElement(int smiley, IAnimatedElementOwner* owner) : smiley(smiley), frame(0), owner(owner) {}
    virtual ~AnimatedElement() {}

    int Smiley() const { return smiley; }
    int Frame() const { return frame; }
    IAnimatedElementOwner* Owner() const { return owner; }
    void SetFrame(int value) { frame = value; }

private:
    int smiley;
    int frame;
    IAnimatedElementOwner* owner;
};

const int kAnimationTimerId = 2000;
const int kAnimationLongestWait = 60000;  // ms

struct AnimationGroup {
    std::vector<AnimatedElement*> elements;
    int smiley = 0;
    int current = -1;    // the frame shown, -1 before the first tick
    int remaining = 0;   // ms until the next frame
    std::vector<int> delays;  // one per frame

    int FrameCount() const { return int(delays.size()); }
};

class AnimationSchedule {
public:
    enum RegisterResult {
        Refused,   // fewer than two frames: not animated
        Joined,    // a group for that smiley already runs
        NewGroup,  // the timer is to be armed at once (period 0)
    };

    // delays: the picture's frame delays in ms, one per frame.
    RegisterResult Register(AnimatedElement* element, const std::vector<int>& delays);
    // True when the element was registered and no group is left.
    bool Unregister(AnimatedElement* element);
    // Advances every group by the current period; the period becomes the nearest next change.
    int Tick();

    int Period() const { return period; }
    bool Empty() const { return groups.empty(); }
    const std::vector<AnimationGroup>& Groups() const { return groups; }

private:
    static int Advance(AnimationGroup& group, int elapsed);

    std::vector<AnimationGroup> groups;
    int period = 0;
};
