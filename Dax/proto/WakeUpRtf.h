// The RTF part of a wake-up call: the Base64 text of a zlib stream holding a short RTF document that
// the receiving client shows, followed by the zero that ends it (449 bytes in all). The same every
// time.
#pragma once

#include <cstddef>

namespace Mrim {

extern const unsigned char WakeUpRtf[449];

} // namespace Mrim
