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
  // ASCII mode, by the next 12 bits, flag bit included. Bits 24-31: 0 for a repetition; 1 or 2 for as
  // many literals (bits 8-15 and 16-23) whose flag bits and codes take the number of bits in bits 0-7;
  // kExplodeLongLiteral for a code longer than 11 bits, whose four entries in asciiLong (by the
  // following 2 bits) begin at bits 8-23.
  uint32_t asciiTokens[4096];
  // Literals of 12- and 13-bit codes: the literal in bits 0-7, the bits taken (flag bit included) in 8-15.
  uint16_t asciiLong[1024];
  // By the 7 bits after a repetition's flag bit: the length (2-519) in bits 0-15, the bits of flag and
  // length code in bits 16-23, the number of extra bits in bits 24-31.
  uint32_t lengths[128];
  // By the next 8 bits: the distance's high part in bits 0-7, the bits of its code in bits 8-15.
  uint16_t distances[256];
};
constexpr uint32_t kExplodeLongLiteral = 3;
extern const ExplodeFastLookups kExplodeFastLookups;
