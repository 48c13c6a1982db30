#pragma once
// The one wait for a lock in a directory's "archive.dir", used by the claim of a target and by the
// record merge: the file is opened anew for every try (a failing open may be a run taking back its
// claim, which holds the file for a moment), a lock taken in a file that has lost its name is taken
// again in the file the name leads to, and the whole wait is bound by the clock.
#include <cstdint>

#include "platform/platform.h"

struct ArchiveDirWait {
  const char* dir;     // the directory whose "archive.dir" holds the lock
  uint64_t offset;     // the byte
  int shared;          // a shared lock instead of an exclusive one
  uint32_t boundMs;    // the whole wait, from startTick
  uint32_t startTick;  // OsTickCount() when the wait began (a claim of several bytes shares one bound)
  uint32_t pollMs;     // between tries while another run holds the byte
  // One open of the file: kNoFile when it fails, and *missing = 1 when there is none and none may be
  // made (the wait ends without a lock).
  FileHandle (*open)(void* context, int* missing);
  // Called once when another run is found holding the byte, and at every step of the wait
  // (nullptr: the wait cannot be stopped); keepWaiting returns 0 when the job is to stop.
  void (*startWaiting)(void* context);
  int (*keepWaiting)(void* context);
  void* context;
};

enum ArchiveDirWaitResult {
  WaitLocked,    // *file is open and locked, and the name leads to it
  WaitNoLocks,   // *file is open, unlocked: the file system has no byte-range locks at all (logged)
  WaitNoFile,    // there is no file and none may be made; *file is kNoFile
  WaitRanOut,    // another run held the byte for the whole bound; *file is open, unlocked
  WaitFailed,    // the open or the lock failed for the whole bound (logged with the system's text); kNoFile
  WaitStopped,   // keepWaiting ended the wait; kNoFile
};

ArchiveDirWaitResult WaitForArchiveDirLock(const ArchiveDirWait& wait, FileHandle* file);

// The system's text of the error that ended the last wait with WaitFailed, for the run's reason.
const char* ArchiveDirWaitError();
