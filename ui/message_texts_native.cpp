// The native build shows no message boxes (result 0).
#ifndef _WIN32
#include "ui/message_texts.h"

int ShowMessage(WindowHandle, int, unsigned, ...) { return 0; }
#endif
