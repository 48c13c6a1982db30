#pragma once
// Setup-call mode with options from the setup program's control: the control shows the path being
// written, drawn at a human rate; the last path is always shown.

void BeginSetupPathDisplay();
// For each entry: the path is drawn when a redraw is due, else kept for later. Each drawing is
// followed by the dispatch of one of the setup program's pending messages.
void ShowPathInSetupControl(const char* path);
// Draws a kept path once a redraw is due (inside a long entry).
void CatchUpSetupPath();
// Draws a kept path at once: the end of the walk.
void FinishSetupPathDisplay();
