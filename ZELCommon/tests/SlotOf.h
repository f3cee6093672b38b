// The virtual-table slot of a member function, for tests that pin an interface's slot order: other
// modules call those interfaces by slot number. Header only, for any test program.
#pragma once

#include <cstdint>
#include <cstring>

namespace TestSupport {

// The slot (0 for the first) that a pointer to a virtual member function designates; -1 when the
// member is not virtual. Under g++'s C++ ABI such a pointer is a word holding 1 plus the slot's
// byte offset in the virtual table, followed by an adjustment word.
template <typename Member> int SlotOf(Member member)
{
    static_assert(sizeof(Member) == 2 * sizeof(void*), "a pointer to member function is two words");
    uintptr_t word = 0;
    std::memcpy(&word, &member, sizeof word);
    return (word & 1) ? int((word - 1) / sizeof(void*)) : -1;
}

}  // namespace TestSupport
