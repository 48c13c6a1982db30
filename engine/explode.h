#pragma once
// Explode: decompresses one stream in the PKWARE Data Compression Library implode format.
// Pulls input through readBlock (blocks of up to 2048 bytes), pushes output through writeBlock
// (blocks of 4096 bytes, then one final shorter block). All state lives in the caller's work area.
#include <cstdint>

typedef uint32_t ExplodeResult;
enum : ExplodeResult {
  ExplodeOk = 0,                 // the end-of-stream marker was reached
  ExplodeBadDictionarySize = 1,  // header byte 1 is not 4, 5 or 6
  ExplodeBadLiteralMode = 2,     // header byte 0 is not 0 or 1
  ExplodeInputTooShort = 3,      // the first read delivered fewer than 5 bytes
  ExplodeStreamError = 4,        // input ended before the marker, or a code was left incomplete
};

// *count holds the capacity (2048) on entry; returns the bytes delivered, 0 for no more input.
typedef uint32_t (*ExplodeReadBlock)(char* buffer, uint32_t* count, void* userParameter);
// *count bytes of buffer are to be taken.
typedef void (*ExplodeWriteBlock)(char* buffer, uint32_t* count, void* userParameter);

constexpr uint32_t kExplodeInputSize = 2048;
constexpr uint32_t kExplodeBlockSize = 4096;
constexpr uint32_t kExplodeWindowSize = 8192;
constexpr uint32_t kExplodeWindowReserve = 518;  // longest repetition beyond the window
constexpr uint32_t kExplodeWindowBytes = kExplodeWindowSize + kExplodeWindowReserve;

struct ExplodeWorkArea {
  uint32_t literalMode;
  uint32_t windowPosition;
  uint32_t dictionaryBits;
  uint32_t dictionaryMask;
  uint32_t bitBuffer;
  uint32_t extraBits;
  uint32_t inputPosition;
  uint32_t inputCount;
  void* userParameter;
  ExplodeReadBlock readBlock;
  ExplodeWriteBlock writeBlock;
#ifdef Z_EXPLODE_WINDOW_APART
  // Sanitizer and fuzz builds: the window is an object of its own that ends where the reserve ends,
  // so a copy past the reserve is reported instead of landing in the input buffer behind it.
  uint8_t* window;
#else
  uint8_t window[kExplodeWindowBytes];
#endif
  uint8_t input[kExplodeInputSize];
  uint8_t distanceLookup[256];
  uint8_t lengthLookup[256];
  uint8_t asciiLookup[256];
  uint8_t asciiLookupAfter4[256];
  uint8_t asciiLookupAfter6[128];
  uint8_t asciiLookupAfter8Zero[256];
  uint8_t asciiRemainingLength[256];
  uint8_t distanceCodeLengths[64];
  uint8_t lengthCodeLengths[16];
  uint8_t lengthExtraBits[16];
  uint16_t lengthBases[16];
};

ExplodeResult explodeStream(ExplodeReadBlock readBlock, ExplodeWriteBlock writeBlock, ExplodeWorkArea* workArea,
                            void* userParameter);
