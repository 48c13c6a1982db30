#pragma once
// Locks that keep runs of this program apart on one archive tree, on this machine or on others that
// reach it through a share: single bytes far beyond the data of a directory's "archive.dir", so
// that readers of the records are never blocked and nothing is left behind. The system drops them
// when the holding process ends in any way.
#include <cstdint>

#include "platform/platform.h"

// The merge lock of a record file: from the scan of its records to the write of the slot.
constexpr uint64_t kRecordMergeLockOffset = 1ull << 62;

// The claim of a target directory, one byte per target name in its parent's "archive.dir"
// (behind the merge lock, so that claims of siblings and merges never meet).
uint64_t TargetClaimOffset(const char* targetDir);

// Opens a directory's "archive.dir" for the merge and the claim: made writable, created when missing.
FileHandle OpenArchiveDirFile(const char* dir);

// Waits until the merge lock of an open record file is taken. 0 when the file system has no locks
// (or the wait has lasted kLockWaitBoundMs): the merge then goes on as it did without them.
int LockRecordsForMerge(FileHandle file);
void UnlockRecordsForMerge(FileHandle file);

constexpr uint32_t kLockWaitBoundMs = 10 * 60 * 1000;
