// Constant code tables of the implode format.
#include "engine/explode_tables.h"

constexpr uint8_t kExplodeLengthCodeLengths[16] = {3, 2, 3, 3, 4, 4, 4, 5, 5, 5, 5, 6, 6, 6, 7, 7};
constexpr uint8_t kExplodeLengthCodeValues[16] = {0x05, 0x03, 0x01, 0x06, 0x0A, 0x02, 0x0C, 0x14,
                                              0x04, 0x18, 0x08, 0x30, 0x10, 0x20, 0x40, 0x00};
constexpr uint8_t kExplodeLengthExtraBits[16] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8};
constexpr uint16_t kExplodeLengthBases[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 14, 22, 38, 70, 134, 262};

constexpr uint8_t kExplodeDistanceCodeLengths[64] = {
    2, 4, 4, 5, 5, 5, 5, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7,
    7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8};
constexpr uint8_t kExplodeDistanceCodeValues[64] = {
    0x03, 0x0D, 0x05, 0x19, 0x09, 0x11, 0x01, 0x3E, 0x1E, 0x2E, 0x0E, 0x36, 0x16, 0x26, 0x06, 0x3A,
    0x1A, 0x2A, 0x0A, 0x32, 0x12, 0x22, 0x42, 0x02, 0x7C, 0x3C, 0x5C, 0x1C, 0x6C, 0x2C, 0x4C, 0x0C,
    0x74, 0x34, 0x54, 0x14, 0x64, 0x24, 0x44, 0x04, 0x78, 0x38, 0x58, 0x18, 0x68, 0x28, 0x48, 0x08,
    0xF0, 0x70, 0xB0, 0x30, 0xD0, 0x50, 0x90, 0x10, 0xE0, 0x60, 0xA0, 0x20, 0xC0, 0x40, 0x80, 0x00};

namespace {

constexpr uint8_t kAsciiCodeLengths[256] = {
    11, 12, 12, 12, 12, 12, 12, 12, 12, 8,  7,  12, 12, 7,  12, 12,  // 0x00
    12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 13, 12, 12, 12, 12, 12,  // 0x10
    4,  10, 8,  12, 10, 12, 10, 8,  7,  7,  8,  9,  7,  6,  7,  8,   // 0x20
    7,  6,  7,  7,  7,  7,  8,  7,  7,  8,  8,  12, 11, 7,  9,  11,  // 0x30
    12, 6,  7,  6,  6,  5,  7,  8,  8,  6,  11, 9,  6,  7,  6,  6,   // 0x40
    7,  11, 6,  6,  6,  7,  9,  8,  9,  9,  11, 8,  11, 9,  12, 8,   // 0x50
    12, 5,  6,  6,  6,  5,  6,  6,  6,  5,  11, 7,  5,  6,  5,  5,   // 0x60
    6,  10, 5,  5,  5,  5,  8,  7,  8,  8,  10, 11, 11, 12, 12, 12,  // 0x70
    13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13,  // 0x80
    13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13,  // 0x90
    13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13,  // 0xA0
    12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12,  // 0xB0
    12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12,  // 0xC0
    12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12,  // 0xD0
    13, 12, 13, 13, 13, 12, 13, 13, 13, 12, 13, 13, 13, 13, 12, 13,  // 0xE0
    13, 13, 12, 12, 12, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13,  // 0xF0
};

// The literal codes are canonical: symbols ordered by code length, then by byte value, take consecutive
// codes counting up from zero; every bit is inverted, and the code's most significant bit is sent first.
constexpr ExplodeAsciiCodeTable MakeAsciiCodes() {
  ExplodeAsciiCodeTable result{};
  uint32_t code = 0;
  uint32_t previousLength = 0;
  bool first = true;
  for (uint32_t length = 1; length <= 16; ++length) {
    for (uint32_t symbol = 0; symbol < 256; ++symbol) {
      if (kAsciiCodeLengths[symbol] != length) continue;
      if (first) {
        first = false;
      } else {
        code = (code + 1) << (length - previousLength);
      }
      previousLength = length;
      uint32_t inverted = ~code & ((1u << length) - 1);
      uint32_t sent = 0;
      for (uint32_t bit = 0; bit < length; ++bit) sent |= ((inverted >> bit) & 1u) << (length - 1 - bit);
      result.length[symbol] = static_cast<uint8_t>(length);
      result.value[symbol] = static_cast<uint16_t>(sent);
    }
  }
  return result;
}

}  // namespace

constexpr ExplodeAsciiCodeTable kExplodeAsciiCodes = MakeAsciiCodes();
static_assert(kExplodeAsciiCodes.value[0x20] == 0x0F && kExplodeAsciiCodes.value[0xFF] == 0x000,
              "ASCII literal codes");

namespace {

// Fills entry for every index below size whose low codeLength bits equal code.
template <typename T>
constexpr void FillCode(T* lookup, uint32_t size, uint32_t code, uint32_t codeLength, T entry) {
  for (uint32_t index = code; index < size; index += 1u << codeLength) lookup[index] = entry;
}

constexpr ExplodeFastLookups MakeFastLookups() {
  ExplodeFastLookups result{};
  for (uint32_t i = 0; i < 16; ++i) {
    const uint32_t codeLength = kExplodeLengthCodeLengths[i];
    const uint32_t extraBits = kExplodeLengthExtraBits[i];
    FillCode(result.lengths, 256, 1u | kExplodeLengthCodeValues[i] << 1, codeLength + 1,
             (1 + codeLength + extraBits) | (1 + codeLength) << 6 | ((1u << extraBits) - 1) << 10 |
                 (kExplodeLengthBases[i] + 2u) << 18);
  }
  for (uint32_t high = 0; high < 64; ++high) {
    FillCode(result.distances, 256, kExplodeDistanceCodeValues[high], kExplodeDistanceCodeLengths[high],
             static_cast<uint16_t>(kExplodeDistanceCodeLengths[high] | high << 8));
  }
  // The ASCII literal of every 11-bit pattern whose code fits in it (length 0: a longer code begins).
  uint8_t literalOf[2048] = {};
  uint8_t lengthOf[2048] = {};
  uint16_t longSlotOf[2048] = {};
  uint32_t longSlots = 0;
  for (uint32_t value = 0; value < 256; ++value) {
    const uint32_t codeLength = kExplodeAsciiCodes.length[value];
    const uint32_t code = kExplodeAsciiCodes.value[value];
    if (codeLength <= 11) {
      FillCode(literalOf, 2048, code, codeLength, static_cast<uint8_t>(value));
      FillCode(lengthOf, 2048, code, codeLength, static_cast<uint8_t>(codeLength));
    } else {
      uint16_t& slot = longSlotOf[code & 0x7FF];
      if (slot == 0) slot = static_cast<uint16_t>(4 * longSlots++ + 1);
      FillCode(result.asciiLong + slot - 1, 4, code >> 11, codeLength - 11,
               static_cast<uint16_t>(value | (codeLength + 1) << 8));
    }
  }
  for (uint32_t index = 0; index < 4096; index += 2) {
    const uint32_t code = index >> 1;
    const uint32_t first = lengthOf[code];
    if (first == 0) {
      // The bit after these 12 decides between a 12- and a 13-bit code.
      const uint32_t slot = longSlotOf[code] - 1u;
      result.asciiTokens[index] = (result.asciiLong[slot] >> 8) | 1u << 6 | (result.asciiLong[slot + 1] >> 8) << 8 |
                                  kExplodeLongLiteral | slot << 16;
      continue;
    }
    uint32_t taken = first + 1;
    uint32_t literals = literalOf[code];
    uint32_t count = 1;
    // A second literal: its flag bit 0 and its whole code in the bits that are left.
    const uint32_t left = 11 - first;
    if (left >= 2 && ((code >> first) & 1) == 0) {
      const uint32_t next = (code >> (first + 1)) & ((1u << (left - 1)) - 1);
      if (lengthOf[next] != 0 && lengthOf[next] <= left - 1) {
        taken += 1 + lengthOf[next];
        literals |= uint32_t{literalOf[next]} << 8;
        count = 2;
      }
    }
    result.asciiTokens[index] = taken | count << 6 | taken << 8 | literals << 16;
  }
  return result;
}

}  // namespace

constexpr ExplodeFastLookups kExplodeFastLookups = MakeFastLookups();
static_assert(kExplodeFastLookups.asciiTokens[0x0F << 1 | 0x0F << 6] == (10u | 2u << 6 | 10u << 8 | 0x2020u << 16),
              "two spaces, each a flag bit and 4 code bits, in one entry");
