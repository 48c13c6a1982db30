#pragma once
// Locks that keep runs of this program apart on one archive tree, on this machine or on others that
// reach it through a share: single bytes far beyond the data of a directory's "archive.dir", so
// that readers of the records are never blocked and nothing is left behind. The system drops them
// when the holding process ends in any way.
#include <cstdint>

#include "platform/platform.h"

// The merge lock of a record file: from the scan of its records to the write of the slot.
constexpr uint64_t kRecordMergeLockOffset = 1ull << 62;
constexpr uint64_t kClaimOffsetBits = 40;  // 2^40 bytes of claims behind the merge lock
// Every lock of this program in an "archive.dir": the merge lock and all claims.
constexpr uint64_t kRecordLockRegionLength = 1 + (1ull << kClaimOffsetBits);

// The claim of a target directory, one byte per target name in its parent's "archive.dir" (behind
// the merge lock, so that claims of siblings and merges never meet). The name counts as the file
// system compares it: every spelling that Windows takes for one directory has the same byte.
uint64_t TargetClaimOffset(const char* targetDir);

// dir\archive.dir into path (kPathBuffer bytes); 0 when it does not fit.
int ArchiveDirPath(char* path, const char* dir);

// What opening an "archive.dir" changed on disk.
struct ArchiveDirOpening {
  int created;        // there was none: the open made it
  int madeWritable;   // it was read-only: the attribute was cleared
  uint32_t attributes;  // its attributes before the open (kInvalidAttributes when there was none)
};
// Opens a directory's "archive.dir" for the merge and the claim: made writable, created when missing.
FileHandle OpenArchiveDirFile(const char* dir, ArchiveDirOpening* opening = nullptr);

// Opens a directory's "archive.dir" and waits until its merge lock is taken, in the file that the
// name leads to at that moment (a file deleted meanwhile by a run that took back its claim is left
// for the new one). kNoFile when it cannot be opened or locked within kLockWaitBoundMs by the clock
// (the error is logged); without the lock, but open, when the file system has no locks or another
// run's merge held it for the whole bound: the merge then goes on as it did without them.
FileHandle OpenRecordsForMerge(const char* dir);
void UnlockRecordsForMerge(FileHandle file);

constexpr uint32_t kLockWaitBoundMs = 10 * 60 * 1000;
// For tests: the merge's bound in milliseconds (0 restores kLockWaitBoundMs).
void SetMergeLockBoundForTests(uint32_t milliseconds);

// An open of an "archive.dir" that fails may be a run taking back its claim, which holds the file
// for a moment: the open is tried again for this long before it counts as failed.
constexpr uint32_t kArchiveDirOpenRetryMs = 1000;
constexpr uint32_t kArchiveDirOpenPollMs = 20;
// A lock taken in a file that has lost its name is let go and taken again in the file the name
// leads to, at most this many times.
constexpr int kStaleFileTries = 25;
