#pragma once
// The one process-wide record of what the next unpack job is to do and how the program runs.
// Cleared once at start-up by InitJobSettings; every copy into a text field is bounded by the field.
#include <cstdint>

#include "platform/platform.h"

constexpr int kPathChars = 260;   // longest path held in a field
constexpr int kPathBuffer = 261;  // its buffer, terminator included
constexpr int kNameChars = 80;    // longest archive name or subdirectory
constexpr int kNameBuffer = 81;

struct JobSettings {
  ModuleHandle instance;
  char modulePath[kPathBuffer];
  char archiveName[kNameBuffer];
  char archiveRoot[kPathBuffer];
  int32_t platformIsNt;
  char sourcePath[kPathBuffer];
  char targetDir[kPathBuffer];
  char installRoot[kPathBuffer];
  char backupDir[kPathBuffer];
  char archiveSubdir[kNameBuffer];
  int32_t targetGiven;
  int32_t deleteBackup;
  int32_t setupCall;
  WindowHandle parentWindow;
  WindowHandle parentControl;
  int32_t parentControlId;
  int32_t parentPathWidth;
  uint32_t error;
};

extern JobSettings g_jobSettings;

// Clears the record, then sets instance, platformIsNt and modulePath.
void InitJobSettings(ModuleHandle instance);
