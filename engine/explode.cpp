// Explode: table-driven decoder for streams in the PKWARE DCL implode format.
//
// Observable behaviour (when readBlock and writeBlock are called, with what) follows the plain model of
// the format: a bit buffer holding 8 to 15 valid bits, one input byte loaded whenever a code of n bits
// is consumed and fewer than 8 bits would be left, readBlock asked only when such a load finds the
// input buffer used up. The decoder keeps a wider buffer that it fills from the bytes already in the
// input buffer, and decodes with larger constant lookups while enough of them are left; it only calls
// readBlock where the plain model would, so both agree.
#include "engine/explode.h"

#include <cstring>
#include <memory>

#include "engine/explode_tables.h"

namespace {

constexpr uint32_t kTokenEndOfStream = 773;  // length index 15 with extra value 255
constexpr uint32_t kTokenError = 774;
constexpr uint32_t kEscape = 255;  // primary ASCII lookup: the code is longer than 8 bits
constexpr uint32_t kHistorySize = kExplodeWindowSize - kExplodeBlockSize;
constexpr uint32_t kEndMarkerLength = 519;

// Bounds of every window access: a repetition starts at a position of 4096 to 8191 (the window moves
// down by 4096 as soon as 8192 is reached) and reaches back at most 64 << 6 = 4096 bytes (256 for
// length 2), so it reads at index 0 or above and writes at most 518 bytes from below 8192.
static_assert(kHistorySize >= (64u << 6), "history must cover the largest distance");
static_assert(kExplodeWindowReserve >= 518, "reserve must take the longest repetition");

// Entry i of lookup (i < 256) gets the symbol whose code the low bits of i begin with.
void BuildLookup(uint8_t* lookup, const uint8_t* codeLengths, const uint8_t* codeValues, int symbolCount) {
  for (int symbol = symbolCount - 1; symbol >= 0; --symbol) {
    for (uint32_t index = codeValues[symbol]; index < 256; index += 1u << codeLengths[symbol]) {
      lookup[index] = static_cast<uint8_t>(symbol);
    }
  }
}

// The ASCII literal codes are up to 13 bits long; they are decoded in two steps of at most 8 bits:
// the primary lookup, then, for the long codes, one of three lookups on the bits after the first 4,
// 6 or 8. asciiRemainingLength holds what is left to consume after the last lookup.
void BuildAsciiLookups(ExplodeWorkArea* w) {
  std::memset(w->asciiLookup, 0, sizeof w->asciiLookup);
  std::memset(w->asciiLookupAfter4, 0, sizeof w->asciiLookupAfter4);
  std::memset(w->asciiLookupAfter6, 0, sizeof w->asciiLookupAfter6);
  std::memset(w->asciiLookupAfter8Zero, 0, sizeof w->asciiLookupAfter8Zero);
  std::memcpy(w->asciiRemainingLength, kExplodeAsciiCodes.length, sizeof w->asciiRemainingLength);
  for (int value = 255; value >= 0; --value) {
    const uint32_t length = w->asciiRemainingLength[value];
    const uint32_t code = kExplodeAsciiCodes.value[value];
    const uint8_t symbol = static_cast<uint8_t>(value);
    if (length <= 8) {
      for (uint32_t index = code; index < 256; index += 1u << length) w->asciiLookup[index] = symbol;
    } else if ((code & 0xFF) != 0) {
      w->asciiLookup[code & 0xFF] = kEscape;
      if ((code & 0x3F) != 0) {
        w->asciiRemainingLength[value] = static_cast<uint8_t>(length - 4);
        for (uint32_t index = code >> 4; index < 256; index += 1u << (length - 4)) w->asciiLookupAfter4[index] = symbol;
      } else {
        w->asciiRemainingLength[value] = static_cast<uint8_t>(length - 6);
        for (uint32_t index = code >> 6; index < 128; index += 1u << (length - 6)) w->asciiLookupAfter6[index] = symbol;
      }
    } else {
      w->asciiRemainingLength[value] = static_cast<uint8_t>(length - 8);
      for (uint32_t index = code >> 8; index < 256; index += 1u << (length - 8)) w->asciiLookupAfter8Zero[index] = symbol;
    }
  }
}

// The bit buffer has the machine's word size: 64 bits on x86-64, 32 on i686, where wider shifts cost.
typedef uintptr_t BitWord;
constexpr uint32_t kWordBits = 8 * sizeof(BitWord);

// The fast path works while this many input bytes are left, so that the word loads of one round (two
// of 8 bytes after at most 7 taken, or three of 4 bytes after at most 3 taken each) stay inside what
// readBlock delivered.
constexpr uint32_t kFastInputBytes = 16;

inline BitWord LoadWord(const uint8_t* p) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  BitWord value;
  std::memcpy(&value, p, sizeof value);
  return value;
#else
  BitWord value = 0;
  for (int i = sizeof value - 1; i >= 0; --i) value = (value << 8) | p[i];
  return value;
#endif
}

// The input side of one call. bits holds nbits valid bits (at least 8); bits above them are either
// zero or copies of the input bytes from pos on, so loading those bytes again changes nothing.
struct BitInput {
  BitWord bits;
  uint32_t nbits;
  uint32_t pos;
  uint32_t count;
  ExplodeWorkArea* w;

  // Tops the buffer up from the bytes already delivered; never calls readBlock.
  inline void FillBytes() {
    while (nbits <= kWordBits - 8 && pos < count) {
      bits |= static_cast<BitWord>(w->input[pos++]) << nbits;
      nbits += 8;
    }
  }

  // Consumes n (at most 8) bits. If fewer than 8 bits would remain, one byte is loaded, asking readBlock
  // for more input first when the buffer is used up; false when it delivers nothing.
  inline bool Consume(uint32_t n) {
    if (nbits - n >= 8) {
      bits >>= n;
      nbits -= n;
      return true;
    }
    return ConsumeWithLoad(n);
  }

  bool ConsumeWithLoad(uint32_t n) __attribute__((noinline)) {
    if (pos == count) {
      bits &= (static_cast<BitWord>(1) << nbits) - 1;
      w->inputPosition = kExplodeInputSize;  // the capacity, handed over as the count
      const uint32_t delivered = w->readBlock(reinterpret_cast<char*>(w->input), &w->inputPosition, w->userParameter);
      if (delivered == 0) return false;
      count = delivered < kExplodeInputSize ? delivered : kExplodeInputSize;
      pos = 0;
    }
    bits |= static_cast<BitWord>(w->input[pos++]) << nbits;
    nbits += 8;
    bits >>= n;
    nbits -= n;
    return true;
  }
};

// Decodes one token with the work area's lookups, loading bytes as the plain model does: 0-255 a
// literal, 256 + (length - 2) a repetition, or the end marker or an error.
template <bool kAscii>
uint32_t DecodeToken(BitInput& in, const ExplodeWorkArea* w) {
  if (in.bits & 1) {
    if (!in.Consume(1)) return kTokenError;
    const uint32_t index = w->lengthLookup[in.bits & 0xFF];
    if (!in.Consume(w->lengthCodeLengths[index])) return kTokenError;
    const uint32_t extraBits = w->lengthExtraBits[index];
    uint32_t extra = 0;
    if (extraBits != 0) {
      extra = static_cast<uint32_t>(in.bits) & ((1u << extraBits) - 1);
      // The end marker may be the very last bits of the input: nothing has to follow it.
      if (!in.Consume(extraBits)) return index + extra == 270 ? kTokenEndOfStream : kTokenError;
    }
    return 256 + w->lengthBases[index] + extra;
  }
  if (!in.Consume(1)) return kTokenError;
  uint32_t literal;
  if (!kAscii) {
    literal = static_cast<uint32_t>(in.bits) & 0xFF;
    if (!in.Consume(8)) return kTokenError;
    return literal;
  }
  const uint32_t low = static_cast<uint32_t>(in.bits) & 0xFF;
  if (low != 0) {
    literal = w->asciiLookup[low];
    if (literal == kEscape) {
      if ((low & 0x3F) != 0) {
        if (!in.Consume(4)) return kTokenError;
        literal = w->asciiLookupAfter4[in.bits & 0xFF];
      } else {
        if (!in.Consume(6)) return kTokenError;
        literal = w->asciiLookupAfter6[in.bits & 0x7F];
      }
    }
  } else {
    if (!in.Consume(8)) return kTokenError;
    literal = w->asciiLookupAfter8Zero[in.bits & 0xFF];
  }
  if (!in.Consume(w->asciiRemainingLength[literal])) return kTokenError;
  return literal;
}

// Decodes the distance of a repetition, 1 to 4096; 0 when the input ran out.
uint32_t DecodeDistance(BitInput& in, const ExplodeWorkArea* w, uint32_t length) {
  const uint32_t high = w->distanceLookup[in.bits & 0xFF];
  if (!in.Consume(w->distanceCodeLengths[high])) return 0;
  if (length == 2) {
    // Repetitions of two bytes always use 2 low bits, whatever the dictionary size.
    const uint32_t low = static_cast<uint32_t>(in.bits) & 3;
    if (!in.Consume(2)) return 0;
    return (high << 2) + low + 1;
  }
  const uint32_t low = static_cast<uint32_t>(in.bits) & w->dictionaryMask;
  if (!in.Consume(w->dictionaryBits)) return 0;
  return (high << w->dictionaryBits) + low + 1;
}

inline void Move8(uint8_t* dst, const uint8_t* src) {
  uint8_t chunk[8];
  std::memcpy(chunk, src, 8);
  std::memcpy(dst, chunk, 8);
}

// Copies length bytes from distance bytes back, front to back, as a byte-by-byte copy would (a
// distance below the length repeats the bytes just copied). dst is below window + 8192, so a copy
// of up to 518 bytes stays inside the reserve; moves that would overshoot it are done bytewise. The
// wide moves write up to 47 bytes past the end, which later output overwrites.
inline void CopyRepetition(uint8_t* dst, uint32_t distance, uint32_t length, const uint8_t* windowEnd) {
  const uint8_t* src = dst - distance;
  uint8_t* const end = dst + length;
  if (end + 48 > windowEnd) {
    while (dst < end) *dst++ = *src++;
  } else if (distance >= 16) {
    // Most repetitions are short: three moves, and a second round only beyond 48 bytes.
    for (;;) {
      std::memcpy(dst, src, 16);
      std::memcpy(dst + 16, src + 16, 16);
      std::memcpy(dst + 32, src + 32, 16);
      if (dst + 48 >= end) break;
      dst += 48;
      src += 48;
    }
  } else if (distance >= 8) {
    do {
      std::memcpy(dst, src, 8);
      dst += 8;
      src += 8;
    } while (dst < end);
  } else if (distance == 1) {
    uint8_t run[8];
    std::memset(run, *src, 8);
    do {
      std::memcpy(dst, run, 8);
      dst += 8;
    } while (dst < end);
  } else {
    // Each move of 8 bytes puts the next distance bytes of the pattern in place.
    do {
      Move8(dst, src);
      dst += distance;
      src += distance;
    } while (dst < end);
  }
}

// Passes a full block on and slides the window down by one block.
inline void WriteFullBlock(ExplodeWorkArea* w, uint32_t* position) {
  uint32_t blockCount = kExplodeBlockSize;
  w->writeBlock(reinterpret_cast<char*>(w->window + kHistorySize), &blockCount, w->userParameter);
  std::memmove(w->window, w->window + kExplodeBlockSize, *position - kExplodeBlockSize);
  *position -= kExplodeBlockSize;
}

// Decodes tokens with the fast lookups while at least kFastInputBytes input bytes are left, so that no
// code can need a load that would ask readBlock: the plain model would take the same bits without a
// call. Every token leaves at least 8 bits in the buffer. Returns true when the end marker was read.
template <bool kAscii>
bool RunFastTokens(ExplodeWorkArea* w, BitInput& in, uint32_t* windowPosition) {
  const ExplodeFastLookups& lookups = kExplodeFastLookups;
  uint8_t* const window = w->window;
  const uint8_t* const windowEnd = window + kExplodeWindowBytes;
  const uint8_t* const input = w->input;
  const uint32_t lastPos = in.count - kFastInputBytes;
  const uint32_t dictionaryBits = w->dictionaryBits;
  BitWord bits = in.bits;
  uint32_t nbits = in.nbits;
  uint32_t pos = in.pos;
  uint32_t position = *windowPosition;
  bool ended = false;
  // Leaves at least kWordBits - 8 valid bits.
  auto refill = [&] {
    bits |= LoadWord(input + pos) << nbits;
    pos += (kWordBits - 1 - nbits) >> 3;
    nbits |= kWordBits - 8;
  };
  auto take = [&](uint32_t n) {
    bits >>= n;
    nbits -= n;
  };
  // Decodes a repetition from a buffer of at least kWordBits - 8 bits and copies it; false for the end
  // marker.
  auto repetition = [&]() -> bool {
    const uint32_t lengthEntry = lookups.lengths[bits & 0xFF];
    const uint32_t length = (lengthEntry >> 18) + (static_cast<uint32_t>(bits >> ((lengthEntry >> 6) & 15)) & (lengthEntry >> 10) & 0xFF);
    take(lengthEntry & 63);
    if (length == kEndMarkerLength) return false;
    if (kWordBits < 64) refill();  // flag, length and distance take up to 30 bits
    const uint32_t distanceEntry = lookups.distances[bits & 0xFF];
    const uint32_t high = distanceEntry >> 8;
    take(distanceEntry & 63);
    // Two low bits for length 2, else the dictionary's; selected without a branch, which would often
    // go the wrong way.
    const uint32_t lengthTwo = 0u - static_cast<uint32_t>((lengthEntry >> 18) == 2);
    const uint32_t lowBits = dictionaryBits ^ ((dictionaryBits ^ 2) & lengthTwo);
    const uint32_t distance = (high << lowBits) + (static_cast<uint32_t>(bits) & ((1u << lowBits) - 1)) + 1;
    take(lowBits);
    CopyRepetition(window + position, distance, length, windowEnd);
    position += length;
    return true;
  };
  do {
    // The flag bit is known before the refill: the branch on it settles early.
    const bool literal = (bits & 1) == 0;
    refill();
    if (kAscii) {
      if (literal) {
        // Steps of one lookup for one or two literals, each taking at most 14 bits, without branches: a
        // step that meets a repetition takes nothing and stores bytes that later output overwrites (the
        // window's reserve takes those beyond 8192).
        for (uint32_t step = 0; step < (kWordBits - 8 - 8) / 14; ++step) {
          const uint32_t entry = lookups.asciiTokens[bits & 0xFFF];
          const uint32_t after = static_cast<uint32_t>(bits >> 12) & 3;
          const uint32_t longLiteral = lookups.asciiLong[((entry >> 16) & 0x3FC) + after];
          const uint32_t literals = (entry & kExplodeLongLiteral) != 0 ? longLiteral : entry >> 16;
          window[position] = static_cast<uint8_t>(literals);
          window[position + 1] = static_cast<uint8_t>(literals >> 8);
          position += (entry >> 6) & 3;
          take((entry >> (8 * (after & 1))) & 63);
        }
      } else if (!repetition()) {
        ended = true;
        break;
      }
    } else {
      // Binary literals take 9 bits each, so the flag bits of the next tokens stand 9 bits apart: the
      // run of literals before the first repetition is read off at once, and as many bytes as the
      // buffer may hold are stored whatever it is. A repetition usually follows, so the branch on it
      // is steady.
      uint32_t run;
      if (kWordBits == 64) {
        constexpr uint64_t kFlags = 1 | 1ull << 9 | 1ull << 18 | 1ull << 27 | 1ull << 36;
        const uint64_t flags = (static_cast<uint64_t>(bits) & kFlags) | 1ull << 45;
        run = (static_cast<uint32_t>(__builtin_ctzll(flags)) * 57) >> 9;  // at bit 9 * run
        for (uint32_t i = 0; i < 5; ++i) window[position + i] = static_cast<uint8_t>(bits >> (9 * i + 1));
      } else {
        run = ~static_cast<uint32_t>(bits) & 1;
        window[position] = static_cast<uint8_t>(bits >> 1);
      }
      position += run;
      take(9 * run);
      if (bits & 1) {
        if (position >= kExplodeWindowSize) WriteFullBlock(w, &position);  // the copy needs the reserve
        refill();
        if (!repetition()) {
          ended = true;
          break;
        }
      }
    }
    if (position >= kExplodeWindowSize) WriteFullBlock(w, &position);
  } while (pos <= lastPos);
  in.bits = bits;
  in.nbits = nbits;
  in.pos = pos;
  *windowPosition = position;
  return ended;
}

// Runs the token loop until the end marker (true) or an error (false). Leaves the window position of
// the block being filled in *windowPosition. Near the end of the input buffer, tokens are decoded one at
// a time with the loads of the plain model, so readBlock is asked exactly when it would be.
template <bool kAscii>
bool RunTokenLoop(ExplodeWorkArea* w, BitInput& in, uint32_t* windowPosition) {
  uint8_t* const window = w->window;
  for (;;) {
    if (in.count - in.pos >= kFastInputBytes) {
      if (RunFastTokens<kAscii>(w, in, windowPosition)) return true;
      continue;
    }
    in.FillBytes();
    const uint32_t token = DecodeToken<kAscii>(in, w);
    if (token < 256) {
      window[(*windowPosition)++] = static_cast<uint8_t>(token);
    } else if (token >= kTokenEndOfStream) {
      return token == kTokenEndOfStream;
    } else {
      const uint32_t length = token - 254;
      const uint32_t distance = DecodeDistance(in, w, length);
      if (distance == 0) return false;
      CopyRepetition(window + *windowPosition, distance, length, window + kExplodeWindowBytes);
      *windowPosition += length;
    }
    if (*windowPosition >= kExplodeWindowSize) WriteFullBlock(w, windowPosition);
  }
}

}  // namespace

ExplodeResult explodeStream(ExplodeReadBlock readBlock, ExplodeWriteBlock writeBlock, ExplodeWorkArea* workArea,
                            void* userParameter) {
  ExplodeWorkArea* const w = workArea;
#ifdef Z_EXPLODE_WINDOW_APART
  const std::unique_ptr<uint8_t[]> window(new uint8_t[kExplodeWindowBytes]);
  w->window = window.get();
#endif
  w->readBlock = readBlock;
  w->writeBlock = writeBlock;
  w->userParameter = userParameter;

  w->inputPosition = kExplodeInputSize;
  uint32_t delivered = readBlock(reinterpret_cast<char*>(w->input), &w->inputPosition, userParameter);
  if (delivered > kExplodeInputSize) delivered = kExplodeInputSize;  // never trust more than the buffer
  w->inputCount = delivered;
  if (delivered <= 4) return ExplodeInputTooShort;

  w->literalMode = w->input[0];
  w->dictionaryBits = w->input[1];
  w->bitBuffer = w->input[2];
  w->extraBits = 0;
  w->inputPosition = 3;

  if (w->dictionaryBits < 4 || w->dictionaryBits > 6) return ExplodeBadDictionarySize;
  w->dictionaryMask = 0xFFFFu >> (16 - w->dictionaryBits);

  if (w->literalMode == 1) {
    BuildAsciiLookups(w);
  } else if (w->literalMode != 0) {
    return ExplodeBadLiteralMode;
  }

  std::memcpy(w->lengthCodeLengths, kExplodeLengthCodeLengths, sizeof w->lengthCodeLengths);
  BuildLookup(w->lengthLookup, w->lengthCodeLengths, kExplodeLengthCodeValues, 16);
  std::memcpy(w->lengthExtraBits, kExplodeLengthExtraBits, sizeof w->lengthExtraBits);
  std::memcpy(w->lengthBases, kExplodeLengthBases, sizeof w->lengthBases);
  std::memcpy(w->distanceCodeLengths, kExplodeDistanceCodeLengths, sizeof w->distanceCodeLengths);
  BuildLookup(w->distanceLookup, w->distanceCodeLengths, kExplodeDistanceCodeValues, 64);

  // A stream that reaches back before its first byte reads zeros, not what a previous call left.
  std::memset(w->window, 0, kHistorySize);
  w->windowPosition = kHistorySize;

  BitInput in{w->bitBuffer, 8, w->inputPosition, w->inputCount, w};
  const bool ok = w->literalMode == 1 ? RunTokenLoop<true>(w, in, &w->windowPosition)
                                      : RunTokenLoop<false>(w, in, &w->windowPosition);

  // Back to the plain form: 8 to 15 valid bits, the unread bytes left in the input buffer.
  while (in.nbits >= 16) {
    in.nbits -= 8;
    --in.pos;
  }
  w->bitBuffer = static_cast<uint32_t>(in.bits & ((static_cast<uint64_t>(1) << in.nbits) - 1));
  w->extraBits = in.nbits >= 8 ? in.nbits - 8 : 0;
  w->inputPosition = in.pos;
  w->inputCount = in.count;

  uint32_t finalCount = w->windowPosition - kHistorySize;
  writeBlock(reinterpret_cast<char*>(w->window + kHistorySize), &finalCount, userParameter);
  return ok ? ExplodeOk : ExplodeStreamError;
}
