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

// Lookups of the decoder's fast path, made at compile time from the codes above. Each is indexed by the
// next bits of the stream (least significant bit first) and says how many of them its codes take.
struct ExplodeFastLookups {
  // ASCII mode, by the next 12 bits, flag bit included: the bits taken (flag bits included) in bits 0-5
  // if the bit after the 12 is 0, in bits 8-13 if it is 1; the number of literals in bits 6-7, 0 for a
  // repetition. Where the flag bits and codes of two literals fit in the 12 bits, bits 16-23 and 24-31
  // are both literals; for a code longer than 11 bits kExplodeLongLiteral is set and bits 16-31 tell
  // where its four entries in asciiLong (by the 2 bits after the 12) begin.
  uint32_t asciiTokens[4096];
  // Literals of 12- and 13-bit codes: the literal in bits 0-7, the bits taken (flag bit included) in 8-15.
  uint16_t asciiLong[1024];
  // By the next 8 bits, a repetition's flag bit 1 included: the bits of flag, length code and extra bits
  // in bits 0-5, those before the extra bits in bits 6-9, the mask of the extra bits in bits 10-17 and
  // the shortest length (2-264) in bits 18-27.
  uint32_t lengths[256];
  // By the next 8 bits: the bits of the code of a distance's high part in bits 0-7, the part in 8-15.
  uint16_t distances[256];
};
constexpr uint32_t kExplodeLongLiteral = 1u << 14;
extern const ExplodeFastLookups kExplodeFastLookups;
