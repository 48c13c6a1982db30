#pragma once
// Constant code tables of the implode format, shared by the explode decoder and the zpack encoder.
// A code is given as its bit count and its value; the value's least significant bit is sent first.
#include <cstdint>

// Length codes, by length index 0-15: repetition length = base + extra value + 2.
extern const uint8_t kExplodeLengthCodeLengths[16];
extern const uint8_t kExplodeLengthCodeValues[16];
extern const uint8_t kExplodeLengthExtraBits[16];
extern const uint16_t kExplodeLengthBases[16];

// Distance codes, by the distance's high part 0-63.
extern const uint8_t kExplodeDistanceCodeLengths[64];
extern const uint8_t kExplodeDistanceCodeValues[64];

// Literal codes of ASCII mode, by byte value (4 to 13 bits).
struct ExplodeAsciiCodeTable {
  uint8_t length[256];
  uint16_t value[256];
};
extern const ExplodeAsciiCodeTable kExplodeAsciiCodes;
