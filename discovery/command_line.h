#pragma once
// The program's command lines: the mode decision and the interactive options.

constexpr const char* kSetupCallMarker = "@@SETUP_CALL";
constexpr const char* kCommandSeparators = " \t";
constexpr const char* kOptionPrefixes = "-/";

// Setup-call mode when the line begins with "@@SETUP_CALL" (case-sensitive, at the very first
// character): the options text behind the word and its blanks. nullptr for an interactive line.
const char* SetupCallOptionsText(const char* commandLine);

// Interactive options: "-a name", "-d target" (letters case-sensitive) and the source file.
void ParseInteractiveCommandLine(const char* text);

// What the entry point does after InitJobSettings: runs setup-call mode, or parses the interactive
// line and lets the locator fill in the rest. 1 when the property sheet is to be shown next, else 0;
// *exitCode is the process exit code.
int PrepareRun(const char* commandLine, int* exitCode);
