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
//
// Nested targets take turns: a run also holds the byte of every directory above its target, as far
// as the merge registers there, in a shared way (each in that directory's parent's "archive.dir",
// where a run into that directory holds it exclusively). Runs into siblings and into directories
// below one another share those bytes; a run into a directory and one into a directory inside it
// meet on one byte, shared against exclusive. The bytes are taken from the top down, so that no two
// runs can wait for each other. A run of an older version takes only its own byte: it still keeps
// out runs into the directories above it, and runs into its target.
#include "engine/target_claim.h"

#include <cstring>

#include "discovery/job_settings.h"
#include "discovery/path_utils.h"
#include "engine/archive_dir_wait.h"
#include "engine/job_log.h"
#include "engine/progress_messages.h"
#include "engine/record_lock.h"
#include "engine/records.h"
#include "engine/unpack_job.h"

namespace {

constexpr uint32_t kClaimPollMs = 200;

// One byte of the claim: the target's own (exclusive), or that of a directory above it (shared).
struct ClaimLevel {
  FileHandle file;
  uint64_t offset;
  char parent[kPathBuffer];   // the directory whose "archive.dir" holds the byte
  char claimed[kPathBuffer];  // the directory the byte stands for
  int foundNone;              // a try found no "archive.dir": an empty one there is a claim's
  int madeWritable;           // a try cleared its read-only attribute
  int shared;
};
// The claims of the levels above the target follow the merge's walk, which has this bound too.
constexpr int kClaimLevels = 52;

struct TargetClaim {
  ClaimLevel levels[kClaimLevels];  // from the top down; the last is the target's own
  int count;
  int mayMake;
  char parent[kPathBuffer];   // the target's parent, where the claim makes the missing directories
  size_t highestMadeLength;   // length of the highest directory made for the claim; 0: none
};
TargetClaim g_claim;
uint32_t g_boundForTests;

int g_waitShown;  // the page has been told of the wait, and is told of its end

void ForgetClaim() {
  for (int k = 0; k < g_claim.count; ++k) {
    if (g_claim.levels[k].file != kNoFile) OsCloseFile(g_claim.levels[k].file);
  }
  g_claim.count = 0;
  g_claim.parent[0] = '\0';
  g_claim.highestMadeLength = 0;
}

// Every missing directory of a path, from its root down (as the extraction would make them). The
// path is walked by whole characters: the trail byte of a double-byte character is no separator.
void MakeDirectories(const char* path) {
  char part[kPathBuffer];
  CopyBounded(part, kPathChars, path);
  if (part[0] == '\0') return;
  const char* before = part;  // the character in front of p
  for (char* p = const_cast<char*>(NextChar(part)); ; before = p, p = const_cast<char*>(NextChar(p))) {
    const char c = *p;
    if (c != '\\' && c != '\0') continue;
    if (*before != ':' && *before != '\\') {
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
  LogLineNow("wait ended after %lu ms: %s", static_cast<unsigned long>(OsTickCount() - start), how);
  if (!g_waitShown) return;
  g_waitShown = 0;
  ReportWaitOver();
}

// One step of the wait: the setup program is asked whether to stop, as after each entry, and its
// window kept alive; then the job's stop check. 0 when the job is to stop.
int KeepWaiting(void*) {
  if (g_jobSettings.setupCall) {
    const MessageResult reply = OsSendMessage(g_jobSettings.parentWindow, UM_SETUP_QUERY_STOP, 0, 0);
    g_workerState.stopRequested = reply != 0 ? 1 : 0;
    OsPumpOneMessage(g_jobSettings.parentWindow);
  }
  return CheckStopRequested() ? 0 : 1;
}

struct ClaimWait {
  ClaimLevel* level;  // the level being claimed
  const char* target;
  uint32_t bound;
  uint32_t start;
  int waiting;
};

// One try: the level's "archive.dir" opened (made when it may be), what that changed noted.
FileHandle OpenClaimFile(void* context, int* missing) {
  ClaimLevel& level = *static_cast<ClaimWait*>(context)->level;
  char path[kPathBuffer];
  if (!ArchiveDirPath(path, level.parent)) return kNoFile;
  if (!g_claim.mayMake && !OsPathExists(path)) {
    *missing = 1;
    return kNoFile;
  }
  if (g_claim.mayMake) MakeDirectories(g_claim.parent);
  ArchiveDirOpening opening;
  const FileHandle file = OpenArchiveDirFile(level.parent, &opening);
  if (opening.attributes == kInvalidAttributes) level.foundNone = 1;
  if (opening.madeWritable) level.madeWritable = 1;
  return file;
}

void StartWaiting(void* context) {
  ClaimWait& wait = *static_cast<ClaimWait*>(context);
  if (wait.waiting) return;
  wait.waiting = 1;
  char path[kPathBuffer];
  ArchiveDirPath(path, wait.level->parent);
  if (wait.level->shared) {
    LogLineNow("wait: another run is installing into %s, which holds %s (its claim is a lock in %s); "
               "waiting for it to end, at most %lu s",
               wait.level->claimed, wait.target, path, static_cast<unsigned long>((wait.bound + 999) / 1000));
  } else {
    LogLineNow("wait: another run is installing into %s (its claim is a lock in %s); "
               "waiting for it to end, at most %lu s",
               wait.target, path, static_cast<unsigned long>((wait.bound + 999) / 1000));
  }
  ShowWaiting(wait.target);
}

// Whether any other run holds a lock in a level's file: every byte of the locks but this run's own.
int OtherRunsInClaimFile(const ClaimLevel& level) {
  const uint64_t below = level.offset - kRecordMergeLockOffset;
  const uint64_t above = kRecordMergeLockOffset + kRecordLockRegionLength - (level.offset + 1);
  if (OsTryLockFileRange(level.file, kRecordMergeLockOffset, below) != LockTaken) return 1;
  const int busy = OsTryLockFileRange(level.file, level.offset + 1, above) != LockTaken;
  if (!busy) OsUnlockFileRange(level.file, level.offset + 1, above);
  OsUnlockFileRange(level.file, kRecordMergeLockOffset, below);
  return busy;
}

// The levels of the claim: the directories above the target as far as the merge registers them
// (its walk climbs the archive root and the target side by side), then the target.
int PlanClaimLevels(const char* target) {
  char above[kClaimLevels][kPathBuffer];
  int count = 0;
  char root[kPathBuffer];
  char directory[kPathBuffer];
  CopyBounded(root, kPathChars, g_jobSettings.archiveRoot);
  CopyBounded(directory, kPathChars, target);
  while (count < kClaimLevels - 1 && ParentDirectory(root, root) && !IsTopLevelPath(root) &&
         ParentDirectory(directory, directory)) {
    CopyBounded(above[count++], kPathChars, directory);
  }
  g_claim.count = 0;
  for (int k = count; k >= 0; --k) {
    ClaimLevel& level = g_claim.levels[g_claim.count];
    const char* claimed = k == 0 ? target : above[k - 1];
    if (!ParentDirectory(level.parent, claimed) || level.parent[0] == '\0') continue;
    CopyBounded(level.claimed, kPathChars, claimed);
    level.file = kNoFile;
    level.offset = TargetClaimOffset(claimed);
    level.foundNone = 0;
    level.madeWritable = 0;
    level.shared = k != 0;
    ++g_claim.count;
  }
  return g_claim.count > 0 && !g_claim.levels[g_claim.count - 1].shared;
}

// What the claim of one level made or changed is taken back where no other run uses it.
void TakeBackLevel(ClaimLevel& level, int restoreReadOnly) {
  char path[kPathBuffer];
  ArchiveDirPath(path, level.parent);
  if (restoreReadOnly && level.file != kNoFile && level.madeWritable && !level.foundNone) {
    if (OtherRunsInClaimFile(level)) {
      LogLine("claim: %s stays writable (another run is in it)", path);
    } else {
      const uint32_t attributes = OsGetAttributes(path);
      if (attributes != kInvalidAttributes && (attributes & kAttrReadOnly) == 0 &&
          OsSetAttributes(path, attributes | kAttrReadOnly)) {
        LogLine("claim: %s is read-only again", path);
      }
    }
  }
  if (level.file != kNoFile) {
    OsUnlockFileByte(level.file, level.offset);
    OsCloseFile(level.file);
    level.file = kNoFile;
  }
  if (level.foundNone) {
    if (OsDeleteUnusedEmptyFile(path, kRecordMergeLockOffset, kRecordLockRegionLength)) {
      LogLine("claim: %s, made for the claim, is deleted", path);
    } else if (OsPathExists(path) && restoreReadOnly) {
      LogLine("claim: %s, made for a claim, stays (not empty or in use by another run)", path);
    }
  }
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
  if (!PlanClaimLevels(target)) {
    ForgetClaim();
    return 1;
  }
  CopyBounded(g_claim.parent, kPathChars, g_claim.levels[g_claim.count - 1].parent);
  // A top-level archive is registered nowhere: its parent gets no "archive.dir" for the claim.
  g_claim.mayMake = !IsTopLevelPath(g_jobSettings.archiveRoot);

  ClaimWait claimWait = {nullptr, target, g_boundForTests != 0 ? g_boundForTests : kLockWaitBoundMs, OsTickCount(), 0};
  for (int k = 0; k < g_claim.count; ++k) {
    ClaimLevel& level = g_claim.levels[k];
    claimWait.level = &level;
    ArchiveDirWait wait = {};
    wait.dir = level.parent;
    wait.offset = level.offset;
    wait.shared = level.shared;
    wait.boundMs = claimWait.bound;
    wait.startTick = claimWait.start;
    wait.pollMs = kClaimPollMs;
    wait.open = OpenClaimFile;
    wait.startWaiting = StartWaiting;
    wait.keepWaiting = KeepWaiting;
    wait.context = &claimWait;
    const ArchiveDirWaitResult result = WaitForArchiveDirLock(wait, &level.file);
    switch (result) {
      case WaitLocked: continue;
      case WaitNoLocks:
      case WaitNoFile:
        if (level.file != kNoFile) OsCloseFile(level.file);
        level.file = kNoFile;
        continue;  // nowhere to claim: the job runs as it did without claims
      case WaitRanOut:
        OsCloseFile(level.file);
        level.file = kNoFile;
        EndWaiting(claimWait.start, "it ran out");
        ReportJobStop(QuestionTargetClaimed, SetupErrorCannotRename);
        return 0;
      case WaitFailed:
        EndWaiting(claimWait.start, "the claim could not be taken");
        SetLogReason("The claim on %s could not be taken: %s.", target, ArchiveDirWaitError());
        ReportJobStop(QuestionTargetClaimed, SetupErrorCannotRename);
        return 0;
      case WaitStopped:
        EndWaiting(claimWait.start, "the job was stopped");
        return 0;
    }
  }
  if (claimWait.waiting) EndWaiting(claimWait.start, "the target is free, claimed");
  return 1;
}

int TargetClaimHeld() {
  // The target's own byte, the last level; the bytes above are shared with other runs.
  return g_claim.count > 0 && g_claim.levels[g_claim.count - 1].file != kNoFile ? 1 : 0;
}

void ReleaseTargetClaim() {
  // Files made only for the bytes above the target stay when the merge wrote into them.
  for (int k = g_claim.count - 1; k >= 0; --k) {
    ClaimLevel& level = g_claim.levels[k];
    if (level.shared) {
      TakeBackLevel(level, 0);
    } else if (level.file != kNoFile) {
      OsUnlockFileByte(level.file, level.offset);
    }
  }
  ForgetClaim();
}

void TakeBackTargetClaim() {
  for (int k = g_claim.count - 1; k >= 0; --k) TakeBackLevel(g_claim.levels[k], 1);
  RemoveMadeDirectories();
  ForgetClaim();
}
