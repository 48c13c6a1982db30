// The claim of the job's target directory and the wait for it.
//
// Why a byte of the parent's "archive.dir": the claim has to sit in a file that exists for every run
// that installs into the same target, before and after the target is moved aside, and that is never
// deleted (a lock file deleted on close lets a waiter lock the unlinked file while a third run locks a
// new one). The parent's "archive.dir" is that file: the merge registers the archive there anyway.
// A byte lock far beyond its data blocks no reader or writer of the records, also not the merges of
// sibling targets, whose bytes and whose merge lock lie elsewhere.
#include "engine/target_claim.h"

#include <cstring>

#include "discovery/job_settings.h"
#include "discovery/path_utils.h"
#include "engine/progress_messages.h"
#include "engine/record_lock.h"
#include "engine/records.h"
#include "engine/unpack_job.h"
#include "ui/message_texts.h"

namespace {

constexpr uint32_t kClaimPollMs = 200;
constexpr int kFileNameField = 1016;   // progress page: name of the file being written
constexpr int kDirectoryField = 1014;  // progress page: directory being written

FileHandle g_claimFile = kNoFile;
uint64_t g_claimOffset;
uint32_t g_boundForTests;

// Every missing directory of a path, from its root down (as the extraction would make them).
void MakeDirectories(const char* path) {
  char part[kPathBuffer];
  CopyBounded(part, kPathChars, path);
  for (char* p = part + 1; ; ++p) {
    const char c = *p;
    if (c != '\\' && c != '\0') continue;
    if (p[-1] != ':' && p[-1] != '\\') {
      *p = '\0';
      if (!OsDirectoryExists(part)) OsCreateDirectory(part);
      *p = c;
    }
    if (c == '\0') return;
  }
}

// The page shows that the job waits for another installation of the same target.
void ShowWaiting(const char* target) {
  if (g_jobSettings.setupCall) return;
  WaitWhileWorkerHeld();
  if (JobAbandoned()) return;
  char text[128];
  LoadText(TextWaitingForTarget, text, sizeof text);
  OsSetDialogItemText(g_workerState.progressWindow, kFileNameField, text);
  OsSetDialogItemText(g_workerState.progressWindow, kDirectoryField, target);
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

}  // namespace

void SetTargetClaimBoundForTests(uint32_t milliseconds) { g_boundForTests = milliseconds; }

int TakeTargetClaim() {
  ReleaseTargetClaim();
  char target[kPathBuffer];
  StripTrailingBackslash(target, CopyBounded(target, kPathChars, g_jobSettings.targetDir));
  char parent[kPathBuffer];
  if (!ParentDirectory(parent, target) || parent[0] == '\0') return 1;

  // A top-level archive is registered nowhere: its parent gets no "archive.dir" for the claim.
  if (IsTopLevelPath(g_jobSettings.archiveRoot)) {
    char path[kPathBuffer + 16];
    std::strcpy(path, parent);
    std::strcat(path, parent[std::strlen(parent) - 1] == '\\' ? "archive.dir" : "\\archive.dir");
    if (!OsPathExists(path)) return 1;
  } else {
    MakeDirectories(parent);
  }
  const FileHandle file = OpenArchiveDirFile(parent);
  if (file == kNoFile) return 1;  // nowhere to claim: the job runs as it did without claims
  const uint64_t offset = TargetClaimOffset(target);

  const uint32_t bound = g_boundForTests != 0 ? g_boundForTests : kLockWaitBoundMs;
  for (uint32_t waited = 0;; waited += kClaimPollMs) {
    const LockResult result = OsTryLockFileByte(file, offset);
    if (result == LockTaken) {
      g_claimFile = file;
      g_claimOffset = offset;
      return 1;
    }
    if (result == LockUnavailable) {
      OsCloseFile(file);
      return 1;
    }
    if (waited == 0) ShowWaiting(target);
    if (waited >= bound) {
      OsCloseFile(file);
      ReportJobStop(QuestionTargetClaimed, SetupErrorCannotRename);
      return 0;
    }
    if (!KeepWaiting()) {
      OsCloseFile(file);
      return 0;
    }
    OsSleep(kClaimPollMs);
  }
}

void ReleaseTargetClaim() {
  if (g_claimFile == kNoFile) return;
  OsUnlockFileByte(g_claimFile, g_claimOffset);
  OsCloseFile(g_claimFile);
  g_claimFile = kNoFile;
}
