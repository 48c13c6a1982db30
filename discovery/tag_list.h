#pragma once
// Tagged text list: items of a NUL, a tag byte (1-255) and a text, ended by two NULs, in a fixed area.
#include <cstddef>

char* FindTag(char* area, size_t size, unsigned char tag);
// The tag's text, or "" when absent; with output, also copied there (at most outputSize - 1 chars).
const char* GetTagText(char* area, size_t size, unsigned char tag, char* output = nullptr, size_t outputSize = 0);
void DeleteTag(char* area, size_t size, unsigned char tag);
// maxChars < 0: no limit. Returns the new item's tag byte, or nullptr when it does not fit.
char* SetTagText(char* area, size_t size, const char* text, int maxChars, unsigned char tag);
