#pragma once
// The program's German texts: the ids of its string table and their loading, for the log and the
// message boxes alike.

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
