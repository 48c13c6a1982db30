#pragma once
// Shortening of paths for fixed-width fields.
#include "platform/platform.h"

int CountFittingChars(WindowHandle dialog, int controlId);
char* CompactPath(char* destination, const char* source, signed char maximum);
void ShowCompactPath(WindowHandle window, int controlId, const char* text, signed char maximum);
