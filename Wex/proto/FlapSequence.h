// The running FLAP frame number of one account's connection: seeded from a random draw each time a
// server's hello arrives, then advanced before every frame the account sends. Pure arithmetic; the
// account keeps the counter and draws the random value.
#pragma once

namespace Wex {

enum { MaxSeededSequence = 0x7FFE, SequenceWrap = 0x8000 };

// The counter after a hello, from a random draw (only its low 15 bits count): r plus a check value
// in the low three bits, plus 2. Never above MaxSeededSequence.
unsigned short SeedFlapSequence(unsigned random);

// The number the next frame carries: 0 after 0x8000, else one more (0x8000 is used once, then 0).
unsigned short NextFlapSequence(unsigned short current);

} // namespace Wex
