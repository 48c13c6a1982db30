#pragma once
// The project's own implode encoder (PKWARE DCL format), used by zpack and the tests.
#include <cstddef>
#include <cstdint>
#include <vector>

enum ImplodeLiteralMode { ImplodeBinary = 0, ImplodeAscii = 1 };

// Compresses data into a complete stream (header, tokens, end marker). dictionarySize is 1024, 2048 or 4096.
std::vector<uint8_t> ImplodeBuffer(const uint8_t* data, size_t size, ImplodeLiteralMode mode, unsigned dictionarySize);
