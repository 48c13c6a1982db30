#pragma once
// The record of a run in progress: a small file beside the target, in its parent directory, that
// says what the run is about to do to the target, so that the next run into it can put right a run
// that was killed, lost its network or its power part-way. It exists only while a run is in
// progress: the run deletes it when it ends by itself, successful or not.
//
// Its name is the target's name followed by ".zarpex-run" (connect gives connect.zarpex-run). The
// numbered backups end in three digits and the record files are archive.*, so neither can take
// it; a file or directory of that name that does not begin with the record's first line is not
// this program's and is never touched (the run then goes on without a record, and says so).
//
// The record names the target and the backup by their last components only: both lie in the
// record's directory, which other machines reach by other paths (a drive letter, a UNC name).
#include <cstddef>
#include <cstdint>

#include "discovery/job_settings.h"

// How far the run had come: the letter stored in the record.
enum RunPhase : char {
  RunPhaseNewTarget = 'N',  // no target existed: unpacking into a new one
  RunPhaseBackedUp = 'B',   // the old target is (about to be) moved to the backup; unpacking
  RunPhaseMerging = 'M',    // the record merge has begun: past the point of no return
};

struct RunRecord {
  char phase;
  int deleteBackup;            // 1: the backup is deleted after success
  char target[kPathBuffer];    // last component of the target
  char backup[kPathBuffer];    // last component of the backup; empty when there is none
};

constexpr const char kRunRecordSuffix[] = ".zarpex-run";

// parent\name.zarpex-run for a target (its trailing backslash, dots and blanks dropped, as Win32
// drops them). 0 when the target has no parent or the name would not fit in kPathChars.
int RunRecordPath(char* path, const char* target);  // path: kPathBuffer bytes
// The record's text; 0 when it does not fit into size bytes.
size_t FormatRunRecord(char* buffer, size_t size, const RunRecord& record);
// 1 when the bytes are a record of this program (then *record is filled).
int ParseRunRecord(const char* bytes, size_t length, RunRecord* record);
// The phase as a log and the verify tool show it.
const char* RunPhaseText(char phase);

enum RunRecordFound { RunRecordNone = 0, RunRecordFoundOne = 1, RunRecordForeign = 2 };
// Reads the record at path: none there, a record of this program, or something else of that name.
RunRecordFound ReadRunRecord(const char* path, RunRecord* record);

// ---- the running job's own record ----
// Writes the record durably (written and flushed to the disk) before the step it announces. 1 when
// it is there; 0 when it could not be written (logged; the job goes on without one).
int BeginRunRecord(char phase, const char* target, const char* backup, int deleteBackup);
// The next phase, durably, before the step it announces; nothing without a record.
void SetRunRecordPhase(char phase);
// The run has ended by itself: the record goes.
void EndRunRecord();
