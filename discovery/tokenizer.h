#pragma once
// Quote-aware tokenizer of both command lines.
#include <cstddef>

constexpr size_t kTokenSize = 512;  // token buffer of the command-line parsers

// Copies the next token of text into dst (at most dstSize - 1 characters; a longer token is cut
// and the rest of it skipped) and returns the start of the token after it, or the end of the text.
const char* NextToken(char* dst, size_t dstSize, const char* text, const char* separators);
