#pragma once
// Setup-call mode: an outside setup program starts the program with "@@SETUP_CALL" and options, and
// the job runs on the main thread, reporting to the setup program's window.

constexpr int kControlTextBuffer = 1024;  // the setup program's control text, 1023 characters

// Options -H window, -I control id, -P installation root, -Q packed file, -S server, -V volume,
// -Z target directory (letters in any case, values attached or separate). Each call overwrites only
// the fields whose options occur.
void ParseSetupCallOptions(const char* text);
// Returns the process exit code: 0 when the job succeeded, else -1.
int RunSetupCall(const char* optionsText);
