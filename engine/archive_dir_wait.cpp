// The wait for a lock in an "archive.dir", shared by the claim and the merge.
#include "engine/archive_dir_wait.h"

#include <cstdio>

#include "discovery/job_settings.h"
#include "discovery/path_utils.h"
#include "engine/job_log.h"
#include "engine/record_lock.h"

namespace {

// After a second of failing tries the wait goes on at this pace: an error that lasts is rarely
// over within milliseconds.
constexpr uint32_t kFailingPollMs = 200;

char g_errorText[256];

void RememberError(uint32_t code) {
  char text[sizeof g_errorText - 16];
  OsErrorText(code, text, sizeof text);
  std::snprintf(g_errorText, sizeof g_errorText, "%s (%lu)", text, static_cast<unsigned long>(code));
}

}  // namespace

const char* ArchiveDirWaitError() { return g_errorText; }

ArchiveDirWaitResult WaitForArchiveDirLock(const ArchiveDirWait& wait, FileHandle* file) {
  *file = kNoFile;
  char path[kPathBuffer];
  if (!ArchiveDirPath(path, wait.dir)) return WaitNoFile;
  uint32_t failingSince = 0;
  int failing = 0;      // the last try failed to open or to lock
  int errorLogged = 0;  // once per wait
  int waiting = 0;
  int staleFiles = 0;
  for (;;) {
    int missing = 0;
    const FileHandle handle = wait.open(wait.context, &missing);
    if (handle == kNoFile && missing) return WaitNoFile;
    LockResult result = LockFailed;
    uint32_t error = 0;
    if (handle == kNoFile) {
      error = OsLastError();
    } else {
      result = wait.shared ? OsTryLockFileByteShared(handle, wait.offset) : OsTryLockFileByte(handle, wait.offset);
      if (result == LockFailed || result == LockUnavailable) error = OsLastLockError();
    }
    if (result == LockTaken) {
      // A file that has lost its name: the lock goes into the one there now. (A system that cannot
      // tell is taken at its word after a few tries.)
      if (OsPathNamesOpenFile(path, handle) || staleFiles >= kStaleFileTries) {
        *file = handle;
        return WaitLocked;
      }
      OsUnlockFileByte(handle, wait.offset);
      OsCloseFile(handle);
      ++staleFiles;
      OsSleep(kArchiveDirOpenPollMs);
      continue;
    }
    if (result == LockUnavailable) {
      char text[160];
      OsErrorText(error, text, sizeof text);
      LogLineNow("lock: the file system of %s has no byte-range locks (%s): the job goes on without this lock",
                 path, text);
      *file = handle;
      return WaitNoLocks;
    }
    const uint32_t now = OsTickCount();
    if (result == LockFailed) {
      if (handle != kNoFile) OsCloseFile(handle);
      if (!failing) failingSince = now;
      failing = 1;
      RememberError(error);
      const int ranOut = now - wait.startTick >= wait.boundMs;
      // A failure that passes within a second (a run taking back its claim) is not worth a line.
      if (!errorLogged && (ranOut || now - failingSince >= kArchiveDirOpenRetryMs)) {
        errorLogged = 1;
        LogLineNow("lock: %s %s fails: %s; tried again until the wait ends", handle == kNoFile ? "the open of" : "a lock in",
                   path, g_errorText);
      }
      if (ranOut) {
        LogLineNow("lock: %s: the error lasted until the end of the wait", path);
        return WaitFailed;
      }
    } else {  // LockBusy
      failing = 0;
      if (now - wait.startTick >= wait.boundMs) {
        *file = handle;
        return WaitRanOut;
      }
      OsCloseFile(handle);  // a waiter holds no handle that would keep a deleted file in place
      if (!waiting) {
        waiting = 1;
        if (wait.startWaiting != nullptr) wait.startWaiting(wait.context);
      }
    }
    // Within the first second of failing tries the file is most likely held by a run taking back
    // its claim: tried again at once, without asking the setup program each time.
    const int retryingAtOnce = failing && now - failingSince < kArchiveDirOpenRetryMs;
    if (!retryingAtOnce && wait.keepWaiting != nullptr && !wait.keepWaiting(wait.context)) return WaitStopped;
    OsSleep(retryingAtOnce ? kArchiveDirOpenPollMs : failing ? kFailingPollMs : wait.pollMs);
  }
}
