// The claim of the job's target directory, the wait for it, and taking back what it changed.
//
// Why a byte of the parent's "archive.dir": the claim has to sit in a file that exists for every run
// that installs into the same target, before and after the target is moved aside. The parent's
// "archive.dir" is that file: the merge registers the archive there anyway. A byte lock far beyond
// its data blocks no reader or writer of the records, also not the merges of sibling targets, whose
// bytes and whose merge lock lie elsewhere.
//
// A failed run takes back what only its claim changed, where that is safe:
// - an "archive.dir" that was not there when the run looked (so a claim made it) is deleted when it
//   is still empty, no other handle is open on it and no run holds a lock in it (the platform's
//   OsDeleteUnusedEmptyFile). A run that locked it in the moment before keeps it: every lock of a
//   claim or merge is taken again when the file has lost its name meanwhile;
// - a read-only attribute cleared for the claim is set again when no other run holds a lock in the
//   file (tried while this run still holds its own byte, so that no waiter comes in between);
// - directories made for the claim are removed from the deepest up while they are empty; a run
//   that was about to use one makes it again (every try of the claim makes what is missing).
// Each try of the wait opens the file anew and closes it while it waits, so that a waiter holds no
// handle that would keep a deleted file or its directory in place.
#include "engine/target_claim.h"

#include <cstring>

#include "discovery/job_settings.h"
#include "discovery/path_utils.h"
#include "engine/job_log.h"
#include "engine/progress_messages.h"
#include "engine/record_lock.h"
#include "engine/records.h"
#include "engine/unpack_job.h"

namespace {

constexpr uint32_t kClaimPollMs = 200;

struct TargetClaim {
  FileHandle file;
  uint64_t offset;
  char path[kPathBuffer];     // the parent's "archive.dir"
  char parent[kPathBuffer];
  int foundNone;              // a try found no "archive.dir": an empty one there is a claim's
  int madeWritable;           // a try cleared its read-only attribute
  size_t highestMadeLength;   // length of the highest directory made for the claim; 0: none
};
TargetClaim g_claim = {kNoFile, 0, "", "", 0, 0, 0};
uint32_t g_boundForTests;

int g_waitShown;  // the page has been told of the wait, and is told of its end

void ForgetClaim() {
  if (g_claim.file != kNoFile) OsCloseFile(g_claim.file);
  g_claim.file = kNoFile;
  g_claim.path[0] = '\0';
  g_claim.parent[0] = '\0';
  g_claim.foundNone = 0;
  g_claim.madeWritable = 0;
  g_claim.highestMadeLength = 0;
}

// Every missing directory of a path, from its root down (as the extraction would make them).
void MakeDirectories(const char* path) {
  char part[kPathBuffer];
  CopyBounded(part, kPathChars, path);
  for (char* p = part + 1; ; ++p) {
    const char c = *p;
    if (c != '\\' && c != '\0') continue;
    if (p[-1] != ':' && p[-1] != '\\') {
      *p = '\0';
      if (!OsDirectoryExists(part) && OsCreateDirectory(part)) {
        const size_t length = std::strlen(part);
        if (g_claim.highestMadeLength == 0 || length < g_claim.highestMadeLength) g_claim.highestMadeLength = length;
      }
      *p = c;
    }
    if (c == '\0') return;
  }
}

// The page shows that the job waits for another installation of the same target.
void ShowWaiting(const char* target) {
  if (g_jobSettings.setupCall) return;
  g_waitShown = 1;
  ReportWaiting(target);
}

// The wait is over: the page shows again what it showed before, and the log says how it ended.
void EndWaiting(uint32_t start, const char* how) {
  LogLine("wait ended after %lu ms: %s", static_cast<unsigned long>(OsTickCount() - start), how);
  if (!g_waitShown) return;
  g_waitShown = 0;
  ReportWaitOver();
}

// One step of the wait: the setup program is asked whether to stop, as after each entry, and its
// window kept alive; then the job's stop check. 0 when the job is to stop.
int KeepWaiting() {
  if (g_jobSettings.setupCall) {
    const MessageResult reply = OsSendMessage(g_jobSettings.parentWindow, UM_SETUP_QUERY_STOP, 0, 0);
    g_workerState.stopRequested = reply != 0 ? 1 : 0;
    OsPumpOneMessage(g_jobSettings.parentWindow);
  }
  return CheckStopRequested() ? 0 : 1;
}

// One try: the parent's "archive.dir" opened (made when it may be), what that changed noted.
FileHandle OpenClaimFile(int mayMake) {
  if (!mayMake && !OsPathExists(g_claim.path)) return kNoFile;
  if (mayMake) MakeDirectories(g_claim.parent);
  ArchiveDirOpening opening;
  const FileHandle file = OpenArchiveDirFile(g_claim.parent, &opening);
  if (opening.attributes == kInvalidAttributes) g_claim.foundNone = 1;
  if (opening.madeWritable) g_claim.madeWritable = 1;
  return file;
}

// Whether any other run holds a lock in the claim file: every byte of the locks but this run's own.
int OtherRunsInClaimFile() {
  const uint64_t below = g_claim.offset - kRecordMergeLockOffset;
  const uint64_t above = kRecordMergeLockOffset + kRecordLockRegionLength - (g_claim.offset + 1);
  if (OsTryLockFileRange(g_claim.file, kRecordMergeLockOffset, below) != LockTaken) return 1;
  const int busy = OsTryLockFileRange(g_claim.file, g_claim.offset + 1, above) != LockTaken;
  if (!busy) OsUnlockFileRange(g_claim.file, g_claim.offset + 1, above);
  OsUnlockFileRange(g_claim.file, kRecordMergeLockOffset, below);
  return busy;
}

void RemoveMadeDirectories() {
  if (g_claim.highestMadeLength == 0) return;
  char directory[kPathBuffer];
  CopyBounded(directory, kPathChars, g_claim.parent);
  while (std::strlen(directory) >= g_claim.highestMadeLength) {
    if (!OsRemoveDirectory(directory)) {
      // The process's current directory may lie inside it.
      char up[kPathBuffer];
      if (!ParentDirectory(up, directory) || !OsSetCurrentDirectory(up) || !OsRemoveDirectory(directory)) {
        LogLine("claim: %s stays (not empty or in use)", directory);
        return;
      }
    }
    LogLine("claim: the directory %s made for the claim is removed", directory);
    if (!ParentDirectory(directory, directory)) return;
  }
}

}  // namespace

void SetTargetClaimBoundForTests(uint32_t milliseconds) { g_boundForTests = milliseconds; }

int TakeTargetClaim() {
  ReleaseTargetClaim();
  char target[kPathBuffer];
  StripTrailingBackslash(target, CopyBounded(target, kPathChars, g_jobSettings.targetDir));
  if (!ParentDirectory(g_claim.parent, target) || g_claim.parent[0] == '\0' ||
      !ArchiveDirPath(g_claim.path, g_claim.parent)) {
    ForgetClaim();
    return 1;
  }
  // A top-level archive is registered nowhere: its parent gets no "archive.dir" for the claim.
  const int mayMake = !IsTopLevelPath(g_jobSettings.archiveRoot);
  g_claim.offset = TargetClaimOffset(target);

  const uint32_t bound = g_boundForTests != 0 ? g_boundForTests : kLockWaitBoundMs;
  const uint32_t start = OsTickCount();
  uint32_t openFailedSince = 0;
  int openFailing = 0;
  int waiting = 0;
  int staleFiles = 0;
  for (;;) {
    const FileHandle file = OpenClaimFile(mayMake);
    if (file == kNoFile) {
      if (!mayMake) return 1;
      if (!openFailing) openFailedSince = OsTickCount();
      openFailing = 1;
      if (OsTickCount() - openFailedSince < kArchiveDirOpenRetryMs) {
        OsSleep(kArchiveDirOpenPollMs);
        continue;
      }
      if (waiting) EndWaiting(start, "nowhere to claim, the job goes on");
      return 1;  // nowhere to claim: the job runs as it did without claims
    }
    openFailing = 0;
    const LockResult result = OsTryLockFileByte(file, g_claim.offset);
    if (result == LockTaken && (OsPathNamesOpenFile(g_claim.path, file) || staleFiles >= kStaleFileTries)) {
      g_claim.file = file;
      if (waiting) EndWaiting(start, "the target is free, claimed");
      return 1;
    }
    if (result == LockTaken) {  // the file has lost its name: the claim goes into the one there now
      OsUnlockFileByte(file, g_claim.offset);
      OsCloseFile(file);
      ++staleFiles;
      OsSleep(kArchiveDirOpenPollMs);
      continue;
    }
    OsCloseFile(file);
    if (result == LockUnavailable) {
      if (waiting) EndWaiting(start, "no locks here, the job goes on");
      return 1;
    }
    if (!waiting) {
      waiting = 1;
      LogLine("wait: another run is installing into %s (its claim is a lock in %s); "
              "waiting for it to end, at most %lu s",
              target, g_claim.path, static_cast<unsigned long>((bound + 999) / 1000));
      ShowWaiting(target);
    }
    if (OsTickCount() - start >= bound) {
      EndWaiting(start, "it ran out");
      ReportJobStop(QuestionTargetClaimed, SetupErrorCannotRename);
      return 0;
    }
    if (!KeepWaiting()) {
      EndWaiting(start, "the job was stopped");
      return 0;
    }
    OsSleep(kClaimPollMs);
  }
}

void ReleaseTargetClaim() {
  if (g_claim.file != kNoFile) OsUnlockFileByte(g_claim.file, g_claim.offset);
  ForgetClaim();
}

void TakeBackTargetClaim() {
  if (g_claim.file != kNoFile && g_claim.madeWritable && !g_claim.foundNone) {
    if (OtherRunsInClaimFile()) {
      LogLine("claim: %s stays writable (another run is in it)", g_claim.path);
    } else {
      const uint32_t attributes = OsGetAttributes(g_claim.path);
      if (attributes != kInvalidAttributes && (attributes & kAttrReadOnly) == 0 &&
          OsSetAttributes(g_claim.path, attributes | kAttrReadOnly)) {
        LogLine("claim: %s is read-only again", g_claim.path);
      }
    }
  }
  if (g_claim.file != kNoFile) {
    OsUnlockFileByte(g_claim.file, g_claim.offset);
    OsCloseFile(g_claim.file);
    g_claim.file = kNoFile;
  }
  if (g_claim.foundNone) {
    if (OsDeleteUnusedEmptyFile(g_claim.path, kRecordMergeLockOffset, kRecordLockRegionLength)) {
      LogLine("claim: %s, made for the claim, is deleted", g_claim.path);
    } else if (OsPathExists(g_claim.path)) {
      LogLine("claim: %s, made for a claim, stays (not empty or in use by another run)", g_claim.path);
    }
  }
  RemoveMadeDirectories();
  ForgetClaim();
}
