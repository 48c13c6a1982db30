#pragma once
// The interactive user interface: one modal property sheet with the progress and options pages.
#include "platform/platform.h"

// Builds and runs the modal sheet; returns when it has closed (and no job is left running).
void ShowPropertySheet(WindowHandle owner);
