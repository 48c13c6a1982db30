#pragma once
// Paths in the fields of the program's own dialogs, fitted to the field's width in pixels.
#include "discovery/compact_path.h"
#include "platform/platform.h"

int CountFittingChars(WindowHandle dialog, int controlId);
// A path in a field of the program's own dialogs: compacted to the maximum (0: none), then further
// until it fits the field in pixels with the field's font, so that it is never cut nor wrapped.
void ShowFittedPath(WindowHandle dialog, int controlId, const char* path, signed char maximum);
