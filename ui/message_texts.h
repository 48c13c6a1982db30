#pragma once
// The program's message boxes (texts from its string table).
#include "discovery/program_texts.h"
#include "platform/platform.h"

// Formats the string with the arguments (wvsprintfA) and shows it under the title 4000.
// Only the string is used as the format: the arguments (paths) are shown as they are.
int ShowMessage(WindowHandle owner, int id, unsigned flags, ...);
// The message pump of setup-call mode is the seam's OsPumpOneMessage: it removes at most one
// waiting message of the window (or of its children) and dispatches it.
