// Moving an existing target directory aside to the first free numbered name (connect.001 ...).
#include "engine/target_backup.h"

#include <cstring>

#include "discovery/job_settings.h"
#include "discovery/path_utils.h"
#include "engine/interrupted_run.h"
#include "engine/job_log.h"
#include "engine/progress_messages.h"
#include "engine/target_claim.h"
#include "engine/unpack_job.h"

int MoveWithRetry(const char* from, const char* to) {
  if (OsMoveFile(from, to)) return 1;
  // The process's current directory may lie inside the directory being moved.
  char parent[kPathBuffer];
  if (!ParentDirectory(parent, from)) return 0;
  OsSetCurrentDirectory(parent);
  return OsMoveFile(from, to);
}

int BackUpExistingTarget() {
  JobSettings& settings = g_jobSettings;
  char target[kPathBuffer];
  StripTrailingBackslash(target, CopyBounded(target, kPathChars, settings.targetDir));

  // Built in a larger buffer: a name cut at 260 characters would be some other directory.
  char candidate[kPathBuffer + 8];
  int haveName = 0;
  for (int n = 1; n <= 999; ++n) {
    NumberedExtension(candidate, target, n, sizeof candidate);
    if (std::strlen(candidate) > static_cast<size_t>(kPathChars)) break;
    if (!OsPathExists(candidate)) {
      haveName = 1;
      break;
    }
  }
  // Announced before the move: a run killed from here on is undone by the next one.
  if (haveName && TargetClaimHeld()) BeginRunRecord(RunPhaseBackedUp, target, candidate, settings.deleteBackup);
  if (!haveName || !MoveWithRetry(target, candidate)) {
    EndRunRecord();
    ReportJobStop(QuestionTargetNotRenamed, SetupErrorCannotRename);
    return 0;
  }
  CopyBounded(settings.backupDir, kPathChars, candidate);
  LogBackup(candidate);
  return 1;
}
