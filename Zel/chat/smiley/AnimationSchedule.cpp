#include "Zel/chat/smiley/AnimationSchedule.h"

#include <algorithm>

AnimationSchedule::RegisterResult AnimationSchedule::Register(AnimatedElement* element, const std::vector<int>& delays)
{
    if (!element || delays.size() < 2) return Refused;
    for (AnimationGroup& group : groups) {
        if (group.smiley != element->Smiley()) continue;
        if (std::find(group.elements.begin(), group.elements.end(), element) == group.elements.end())
            group.elements.push_back(element);
        element->SetFrame(group.current < 0 ? 0 : group.current);
        return Joined;
    }
    AnimationGroup group;
    group.elements.push_back(element);
    group.smiley = element->Smiley();
    group.delays = delays;
    groups.push_back(group);
    period = 0;
    return NewGroup;
}

bool AnimationSchedule::Unregister(AnimatedElement* element)
{
    for (size_t g = 0; g < groups.size(); ++g) {
        std::vector<AnimatedElement*>& elements = groups[g].elements;
        auto found = std::find(elements.begin(), elements.end(), element);
        if (found == elements.end()) continue;
        elements.erase(found);
        if (elements.empty()) groups.erase(groups.begin() + long(g));
        return groups.empty();
    }
    return false;
}

int AnimationSchedule::Advance(AnimationGroup& group, int elapsed)
{
    group.remaining -= elapsed;
    // The period is the smallest remaining of all groups, so nothing overshoots; a group that
    // somehow did still moves on rather than waiting a full minute.
    if (group.remaining > 0) return group.remaining;
    int count = group.FrameCount();
    group.current = group.current + 1 >= count ? 0 : group.current + 1;
    group.remaining = group.delays[size_t(group.current)];
    // An owner may redraw at once; the list is copied so that it may not change under the walk.
    std::vector<AnimatedElement*> elements = group.elements;
    for (AnimatedElement* element : elements) {
        element->SetFrame(group.current);
        if (element->Owner()) element->Owner()->OnFrameChanged(element, group.current);
    }
    return group.remaining;
}

int AnimationSchedule::Tick()
{
    int next = kAnimationLongestWait;
    int elapsed = period;
    for (size_t g = 0; g < groups.size(); ++g) next = std::min(next, Advance(groups[g], elapsed));
    period = next;
    return period;
}
