// The next run into a target puts right the run before it that did not end by itself.
#include "engine/recover_interrupted_run.h"

#include <cstring>

#include "discovery/job_settings.h"
#include "discovery/path_utils.h"
#include "engine/interrupted_run.h"
#include "engine/job_log.h"
#include "engine/progress_messages.h"
#include "engine/target_claim.h"
#include "engine/unpack_job.h"

namespace {

// Undoes a run that had not reached the merge: its tree goes, its backup (if it was made) comes
// back. 1 when the target is the old one again (or none, for a run into a new target).
int UndoRun(const RunRecord& record, const char* target, const char* backup) {
  if (record.phase == RunPhaseNewTarget || OsPathExists(backup)) {
    DeleteTree(target);
    if (OsPathExists(target)) {
      LogLineNow("recovery: what the interrupted run unpacked into %s cannot be removed", target);
      return 0;
    }
  }
  if (record.phase == RunPhaseNewTarget) {
    LogLineNow("recovery: what the interrupted run unpacked into the new target %s is removed", target);
    return 1;
  }
  if (!OsPathExists(backup)) {
    // Killed before its backup was made, or after its own roll-back had moved it back.
    LogLineNow("recovery: the backup %s is not there: the target %s is the old one", backup, target);
    return 1;
  }
  if (!MoveWithRetry(backup, target)) {
    LogLineNow("recovery: the backup %s cannot be moved back to %s", backup, target);
    return 0;
  }
  LogLineNow("recovery: what the interrupted run unpacked is removed, its backup %s is %s again", backup, target);
  return 1;
}

// Finishes a run that had begun its merge: the new tree stays; the backup goes where the run would
// have deleted it. What its deletion cannot remove stays, as it would have stayed for that run.
void FinishRun(const RunRecord& record, const char* backup) {
  if (!record.deleteBackup || record.backup[0] == '\0' || !OsPathExists(backup)) {
    LogLineNow("recovery: the interrupted run had merged its records; nothing of it is left to do");
    return;
  }
  DeleteTree(backup);
  LogLineNow(OsPathExists(backup) ? "recovery: the interrupted run's backup %s stays (not all of it can be deleted)"
                                  : "recovery: the interrupted run's backup %s is deleted",
             backup);
}

}  // namespace

int RecoverInterruptedRun() {
  char target[kPathBuffer];
  StripTrailingBackslash(target, CopyBounded(target, kPathChars, g_jobSettings.targetDir));
  // The existing target under its long name: the record was named after the directory as it is.
  char longForm[kPathBuffer];
  if (OsGetLongPathName(target, longForm, sizeof longForm) > 0) StripTrailingBackslash(target, longForm);

  char path[kPathBuffer];
  RunRecord record;
  if (!RunRecordPath(path, target)) return 1;
  const RunRecordFound found = ReadRunRecord(path, &record);
  if (found == RunRecordNone) return 1;
  if (found == RunRecordForeign) {
    LogLineNow("recovery: %s is not a record of this program, left alone", path);
    return 1;
  }
  if (!TargetClaimHeld()) {
    // Without a claim nothing tells whether the run that wrote it is still at work.
    LogLineNow("recovery: the record %s of another run is left alone: without a claim on the target its run may "
               "still be at work",
               path);
    return 1;
  }
  char parent[kPathBuffer];
  char backup[kPathBuffer + 8] = "";
  ParentDirectory(parent, target);
  if (record.backup[0] != '\0') {
    JoinPath(backup, parent, record.backup, sizeof backup);
    if (std::strlen(backup) > static_cast<size_t>(kPathChars)) backup[0] = '\0';
  }
  LogLineNow("recovery: %s names an interrupted run into %s (%s%s%s)", path, target, RunPhaseText(record.phase),
             backup[0] != '\0' ? ", backup " : "", backup);

  const int pastMerge = record.phase == RunPhaseMerging;
  // The page shows the recovery while it runs, and then again what it showed before.
  if (!g_jobSettings.setupCall) ReportRecovery(pastMerge, target);
  int done = 1;
  if (pastMerge) {
    FinishRun(record, backup);
  } else {
    done = UndoRun(record, target, backup);
  }
  if (!g_jobSettings.setupCall) ReportRecoveryOver();
  if (!done) {
    LogLineNow("recovery: not completed; %s stays for the next run, this run changes nothing more", path);
    const char* shown = backup[0] != '\0' && OsPathExists(backup) ? backup : target;  // where the old tree is
    ReportJobStopWith(QuestionRecoveryFailed, SetupErrorCannotRename, reinterpret_cast<MessageLParam>(shown));
    return 0;
  }
  if (OsDeleteFile(path)) {
    LogLineNow("recovery: done, %s deleted", path);
  } else {
    LogLineNow("recovery: done, but %s cannot be deleted", path);
  }
  return 1;
}
