#pragma once
// Shortening of paths for fixed-width text fields: head, ellipsis, tail.
#include "platform/platform.h"

char* CompactPath(char* destination, const char* source, signed char maximum);
// The text into the window itself (controlId 0) or into its control, compacted to the maximum
// (0: unchanged).
void ShowCompactPath(WindowHandle window, int controlId, const char* text, signed char maximum);
