#pragma once
// The string table and the program's message boxes.
#include "platform/platform.h"

// String ids.
enum TextId {
  TextTitle = 4000,             // "Brannix Archive System (BAS)"
  TextAboutMenu = 4001,
  TextNoSource = 4500,
  TextNoTarget = 4501,
  TextSourceNotOpened = 4502,
  TextTargetNotRenamed = 4503,
  TextNoArchiveRoot = 4504,
  TextNotPackedFile = 4505,
  TextNotEnoughSpace = 4506,
  TextOutputFailed = 4507,
  TextDriveNotReady = 4508,
  TextTargetClaimed = 4509,
  TextLogNotOpened = 4510,
  TextRecoveryFailed = 4520,
  TextCancelQuestion = 4600,
  TextTargetExists = 4601,
  TextJobSucceeded = 4700,
  TextUnpackButton = 5000,
  TextQuitButton = 5001,
  TextCancelButton = 5002,
  TextSourceFilter = 5012,
  TextDeletingBackup = 5013,
  TextWaitingForTarget = 5014,
  TextUndoingInterrupted = 5020,
  TextFinishingInterrupted = 5021,
};

// Loads a string into buffer (size in characters); an empty string when it is missing.
// Returns the number of characters loaded.
int LoadText(int id, char* buffer, int size);
// Formats the string with the arguments (wvsprintfA) and shows it under the title 4000.
// Only the string is used as the format: the arguments (paths) are shown as they are.
int ShowMessage(WindowHandle owner, int id, unsigned flags, ...);
// The message pump of setup-call mode is the seam's OsPumpOneMessage: it removes at most one
// waiting message of the window (or of its children) and dispatches it.
