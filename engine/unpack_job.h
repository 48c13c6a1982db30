#pragma once
// The unpack job: checks, free space, backup, extraction, and clean-up or roll-back.
#include <cstdint>

#include "platform/platform.h"

int RunUnpackJob();
int PrepareJob();
int CheckFreeSpace();
int BackUpExistingTarget();
void DeleteTree(const char* path);

// ---- helpers of the job, shared by its files ----
constexpr uint64_t kFreeSpaceMargin = 500000;  // bytes required on top of the trailer's unpackedSize
constexpr int kRootBuffer = 262;               // a 260-character path and the backslash that ends its root

// The root for the free-space query: "X:\" for a drive path, "\\server\share\" for a UNC path.
void TargetRoot(char* root, const char* targetDir);  // root: kRootBuffer bytes
// The lParam of question type 5: low 16 bits whole megabytes, high 16 bits the rest in 102,400-byte units.
MessageLParam PackRequiredSize(uint64_t required);
// Parent directory of a path, for changing the current directory out of the way ("C:\a" gives "C:\",
// not the drive-relative "C:"). 0 when the path has no parent part.
// Renames a directory; when that fails, changes the current directory to the parent of `from` (it
// may lie inside) and tries once more. 1 when moved.
int MoveWithRetry(const char* from, const char* to);
// A stop of the job: the question to the progress page (interactive mode, with a pointer to an
// answer that is not read) or the error code (setup-call mode).
void ReportJobStop(int questionType, uint32_t setupError);
// The same for questions 4 and 5, which carry data instead of an answer pointer.
void ReportJobStopWith(int questionType, uint32_t setupError, MessageLParam argument);
