// The unpack job: preparation (settings, packed file, free space, backup), extraction, and then
// either the removal of the backup or the roll-back to the old target.
#include "engine/unpack_job.h"

#include <cstring>

#include "discovery/job_settings.h"
#include "discovery/path_utils.h"
#include "engine/extraction.h"
#include "engine/interrupted_run.h"
#include "engine/job_log.h"
#include "engine/packed_file.h"
#include "engine/progress_messages.h"
#include "engine/recover_interrupted_run.h"
#include "engine/target_claim.h"

namespace {

int CloseSourceAndStop() {
  TakeBackTargetClaim();
  if (g_sourceFile != kNoFile) OsCloseFile(g_sourceFile);
  g_sourceFile = kNoFile;
  return 0;
}

// Undoes a failed job: removes what was unpacked and puts the old target back. The backup is only
// moved back onto a target name that is free again; otherwise it stays under its numbered name.
void RollBack(const char* target, const char* backup) {
  if (target[0] != '\0') DeleteTree(target);
  if (backup[0] == '\0') return;
  if (target[0] == '\0' || OsPathExists(target)) return;
  WaitWhileWorkerHeld();
  if (MoveWithRetry(backup, target) && std::strcmp(g_jobSettings.backupDir, backup) == 0) {
    g_jobSettings.backupDir[0] = '\0';
  }
}

}  // namespace

void ReportJobStop(int questionType, uint32_t setupError) {
  LogJobStop(questionType, 0);
  if (g_jobSettings.setupCall) {
    g_jobSettings.error = setupError;
    return;
  }
  int32_t answer = 0;  // not read: the job stops whatever the page answers
  SendJobMessage(UM_QUESTION, static_cast<MessageWParam>(questionType), reinterpret_cast<MessageLParam>(&answer));
}

void ReportJobStopWith(int questionType, uint32_t setupError, MessageLParam argument) {
  LogJobStop(questionType, argument);
  if (g_jobSettings.setupCall) {
    g_jobSettings.error = setupError;
    return;
  }
  SendJobMessage(UM_QUESTION, static_cast<MessageWParam>(questionType), argument);
}

int PrepareJob() {
  JobSettings& settings = g_jobSettings;
  if (settings.archiveRoot[0] == '\0') {
    ReportJobStop(QuestionNoArchiveRoot, SetupErrorNoArchiveRoot);
    return 0;
  }
  if (CheckStopRequested()) return 0;
  // Without a target the entry paths would land in the root of the current drive.
  if (settings.targetDir[0] == '\0') return 0;

  g_sourceFile = OsOpenFile(settings.sourcePath, FileOpenRead);
  if (g_sourceFile == kNoFile) {
    ReportJobStop(QuestionSourceNotOpened, SetupErrorCannotOpen);
    return 0;
  }
  if (CheckStopRequested()) return CloseSourceAndStop();
  if (!ReadTrailer(g_sourceFile)) {
    ReportJobStop(QuestionNotPackedFile, SetupErrorNotPackedFile);
    return CloseSourceAndStop();
  }
  LogTrailer();
  if (CheckStopRequested()) return CloseSourceAndStop();
  // A drive that is not ready or full ends the run here, before the claim would try its
  // "archive.dir" there for the whole wait.
  if (!CheckFreeSpace()) return CloseSourceAndStop();
  if (CheckStopRequested()) return CloseSourceAndStop();
  // From here on the job touches the target: no other run may work on it until this job has ended.
  if (!TakeTargetClaim()) return CloseSourceAndStop();
  if (!RecoverInterruptedRun()) return CloseSourceAndStop();
  if (CheckStopRequested()) return CloseSourceAndStop();

  settings.backupDir[0] = '\0';
  if (!OsPathExists(settings.targetDir)) {
    // A killed run leaves a half-written tree: the next run is to remove it.
    if (TargetClaimHeld()) BeginRunRecord(RunPhaseNewTarget, settings.targetDir, "", 0);
    return 1;
  }
  // The existing target under its long name: a short name or a trailing dot names the same
  // directory, and the job, its backup among them, works on it as a run that names it so would.
  char longForm[kPathBuffer];
  if (OsGetLongPathName(settings.targetDir, longForm, sizeof longForm) > 0 &&
      std::strcmp(longForm, settings.targetDir) != 0) {
    LogLine("job: the target is the existing directory %s", longForm);
    CopyBounded(settings.targetDir, kPathChars, longForm);
  }

  settings.deleteBackup = 1;
  if (!settings.setupCall) {
    int32_t answer = TargetExistsCancel;
    SendJobMessage(UM_QUESTION, QuestionTargetExists, reinterpret_cast<MessageLParam>(&answer));
    LogTargetExistsAnswer(answer);
    if (answer == TargetExistsCancel) return CloseSourceAndStop();
    settings.deleteBackup = answer == TargetExistsDeleteBackup ? 1 : 0;
  }
  if (!BackUpExistingTarget()) return CloseSourceAndStop();
  return 1;
}

namespace {

int RunJobSteps() {
  LogJobStart();
  if (!PrepareJob()) return 0;

  // The job cleans up with its own copies: the options page may change the settings while an
  // abandoned job (its worker ended by force) is still rolling back. (The preparation may have
  // given the target its long name.)
  char target[kPathBuffer];
  StripTrailingBackslash(target, CopyBounded(target, kPathChars, g_jobSettings.targetDir));

  char backup[kPathBuffer];
  CopyBounded(backup, kPathChars, g_jobSettings.backupDir);
  const int deleteBackup = g_jobSettings.deleteBackup;

  // The record merge at the end of the extraction is the point of no return: it writes into the
  // record files above the target, which a roll-back of the target cannot undo. Its last stop check
  // comes before the merge; a stop that arrives later is not honoured, and the job succeeds.
  if (!ExtractEntries()) {
    RollBack(target, backup);
    LogRollBack(target, backup);
    return 0;
  }

  if (deleteBackup == 1 && backup[0] != '\0') {
    if (!g_jobSettings.setupCall) ReportDeletingBackup(backup);
    DeleteTree(backup);
    if (!OsPathExists(backup) && std::strcmp(g_jobSettings.backupDir, backup) == 0) g_jobSettings.backupDir[0] = '\0';
  }
  LogBackupOutcome(backup, deleteBackup);
  return 1;
}

}  // namespace

int RunUnpackJob() {
  const int result = RunJobSteps();
  EndRunRecord();  // the run ends by itself: nothing is left to put right
  // After the roll-back or the backup's deletion: the whole job is one claim.
  if (result) {
    ReleaseTargetClaim();
  } else {
    TakeBackTargetClaim();
  }
  return result;
}
