#pragma once
// Shared by the Win32 side of the seam only.
#include <windows.h>

// The bytes of the character that starts at text in a code page (1 for single-byte pages, 1 or 2
// for double-byte pages, 1 to 4 for UTF-8); a lead byte before the terminator counts alone.
int CharacterBytes(UINT codePage, const char* text);
