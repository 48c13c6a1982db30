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
// next bits of the stream (least significant bit first) and says how many of them its code takes.
struct ExplodeFastLookups {
  // By the 11 bits after a literal's flag bit, ASCII mode: bits 0-7 the literal, bits 8-15 a second one
  // where its flag bit and whole code fit in the same 11 bits, bits 16-23 the bits taken (flag bits
  // included), bits 24-31 the number of literals. 0 literals: the code is longer than 11 bits, and
  // bits 0-15 give where its four entries in asciiLong (by the following 2 bits) begin.
  uint32_t asciiLiterals[2048];
  // Literals of 12- and 13-bit codes: the literal in bits 0-7, the bits taken (flag bit included) in 8-15.
  uint16_t asciiLong[1024];
  // By the 7 bits after a repetition's flag bit: the length (2-519) in bits 0-15, the bits of flag and
  // length code in bits 16-23, the number of extra bits in bits 24-31.
  uint32_t lengths[128];
  // By the next 8 bits: the distance's high part in bits 0-7, the bits of its code in bits 8-15.
  uint16_t distances[256];
};
extern const ExplodeFastLookups kExplodeFastLookups;
