#include "Wex/proto/FlapSequence.h"

namespace Wex {

unsigned short SeedFlapSequence(unsigned random)
{
    unsigned r = random & 0x7FFF;
    unsigned s = 0;
    for (unsigned x = r; x != 0; x >>= 3) s += x;
    return (unsigned short)(((r & ~7u) | ((r - s) & 7u)) + 2);
}

unsigned short NextFlapSequence(unsigned short current)
{
    return current >= SequenceWrap ? 0 : (unsigned short)(current + 1);
}

} // namespace Wex
