#pragma once
// The project's own implode encoder (PKWARE DCL format), used by zpack and the tests.
#include <cstddef>
#include <cstdint>
#include <vector>

enum ImplodeLiteralMode { ImplodeBinary = 0, ImplodeAscii = 1 };

// Compresses data into a complete stream (header, tokens, end marker). dictionarySize is 1024, 2048 or 4096.
std::vector<uint8_t> ImplodeBuffer(const uint8_t* data, size_t size, ImplodeLiteralMode mode, unsigned dictionarySize);

// Where one token (literal or repetition) of a stream ends: endBit counts the bits of the token stream
// from the first bit after the 2 header bytes; outputEnd is the number of data bytes through this token.
struct ImplodeTokenMark {
  uint64_t endBit;
  size_t outputEnd;
};

// As above, and lists the end of every token except the end marker in *marks (if not null).
std::vector<uint8_t> ImplodeBuffer(const uint8_t* data, size_t size, ImplodeLiteralMode mode, unsigned dictionarySize,
                                   std::vector<ImplodeTokenMark>* marks);
