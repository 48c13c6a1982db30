#pragma once
// Shortening of paths for fixed-width fields.
#include "platform/platform.h"

int CountFittingChars(WindowHandle dialog, int controlId);
char* CompactPath(char* destination, const char* source, signed char maximum);
void ShowCompactPath(WindowHandle window, int controlId, const char* text, signed char maximum);
// A path in a field of the program's own dialogs: compacted to the maximum (0: none), then further
// until it fits the field in pixels with the field's font, so that it is never cut nor wrapped.
void ShowFittedPath(WindowHandle dialog, int controlId, const char* path, signed char maximum);
