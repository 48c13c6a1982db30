#pragma once
// The job's window messages and the process-wide worker state.
#include <cstdint>

#include "discovery/job_settings.h"
#include "platform/platform.h"

// To the progress page (interactive mode), all sent.
constexpr uint32_t UM_JOB_FINISHED = 1524;   // wParam: result 1/0
constexpr uint32_t UM_QUESTION = 1525;       // wParam: type 1-7, lParam: see QuestionType
constexpr uint32_t UM_PROGRESS = 1526;       // wParam: ProgressSubCode, lParam: text or number
constexpr uint32_t UM_OUTPUT_FAILED = 1527;  // wParam: int* answer, lParam: path
// With the setup program's window (setup-call mode).
constexpr uint32_t UM_SETUP_DONE = 1025;        // posted, wParam: error code
constexpr uint32_t UM_SETUP_PROGRESS = 1026;    // sent, wParam: percent; first reply: path width
constexpr uint32_t UM_SETUP_QUERY_STOP = 1027;  // sent after each entry; reply non-zero stops

enum QuestionType {
  QuestionNoArchiveRoot = 1,
  QuestionSourceNotOpened = 2,
  QuestionNotPackedFile = 3,
  QuestionDriveNotReady = 4,
  QuestionNotEnoughSpace = 5,
  QuestionTargetExists = 6,
  QuestionTargetNotRenamed = 7,
  QuestionTargetClaimed = 8,  // another installation of the same target has not ended in time
  QuestionRecoveryFailed = 9,  // an interrupted run cannot be undone; lParam: the backup's or the target's path
};
enum ProgressSubCode {
  ProgressDirectory = 1,
  ProgressFileName = 2,
  ProgressEntryCount = 3,
  ProgressPosition = 4,
  ProgressGathered = 5,  // lParam: const GatheredProgress*, several of the reports 1, 2 and 4 at once
  ProgressDeletingBackup = 6,  // lParam: the backup directory being deleted
  ProgressWaiting = 7,         // lParam: the target that another run holds; the job waits for it
  ProgressWaitOver = 8,        // the wait has ended: the page shows again what it showed before
  ProgressUndoingInterrupted = 9,     // lParam: the target whose interrupted run is undone
  ProgressFinishingInterrupted = 10,  // lParam: the target whose interrupted run is finished
  ProgressRecoveryOver = 11,          // the page shows again what it showed before
};

// Reports of the worker's job that waited to be sent together (see BeginWorkerReports). The page
// takes them as the single reports they stand for, in this order: directory, file name, position.
struct GatheredProgress {
  int32_t hasDirectory;
  int32_t hasFileName;
  int32_t hasPosition;
  uint32_t position;
  char directory[kPathBuffer];
  char fileName[kPathBuffer];
};

// Answers of question type 6 (the target directory exists).
enum TargetExistsAnswer { TargetExistsCancel = 0, TargetExistsDeleteBackup = 1, TargetExistsKeepBackup = 2 };

// Setup-call error codes.
enum SetupError : uint32_t {
  SetupErrorNone = 0,
  SetupErrorCannotOpen = 1,
  SetupErrorDriveNotReady = 2,
  SetupErrorNoSpace = 3,
  SetupErrorNotPackedFile = 7,
  SetupErrorCannotRename = 8,
  SetupErrorNoArchiveRoot = 9,
};

struct WorkerState {
  ThreadHandle workerThread;
  uint32_t workerThreadId;
  volatile int32_t stopRequested;
  WindowHandle progressWindow;
};
extern WorkerState g_workerState;

void ReportDirectory(const char* directory);
void ReportFileName(const char* fileName);
void ReportEntryCount(uint32_t count);
void ReportPosition(uint32_t index);
// What the job does between entries, shown in the page's two fields instead of a file.
void ReportDeletingBackup(const char* backup);
void ReportWaiting(const char* target);
void ReportWaitOver();
// The job puts right an interrupted run into target: undoes it, or finishes it (past its merge).
void ReportRecovery(int finishing, const char* target);
void ReportRecoveryOver();
// Sends at once what the worker's job has reported and not yet sent: before a step that may take
// long without reports (the record merge may wait for another run), the page shows where the job is.
void SendKeptReports();

// The worker's job reports at a human rate. Each send from the worker waits until the page's thread
// has handled it, so a send per report makes a round trip between the threads for every entry,
// three times over. Between BeginWorkerReports and EndWorkerReports (the worker's job) the
// directory, the file name and the position are kept and sent together at most about every
// kRedrawIntervalMs, and at once, before anything else that reaches the page: the entry count, the
// bar's first step and its end position, every question and UM_OUTPUT_FAILED, the hold of the
// cancel question (so that the page shows where the job is held), the record merge and the job's end. A long entry
// sends what waits at its stop checks. Stop checks are as frequent as ever. Outside a worker's job
// every report is sent at once.
void BeginWorkerReports();
// Sends what is still kept (unless the job has been abandoned) and ends the gathering.
void EndWorkerReports();
// For tests: the interval of the worker's reports (0: every report at once, as outside a worker).
void SetReportIntervalForTests(uint32_t intervalMs);

// The job's stop check: waits while the worker is held (the cancel question is open), then
// answers whether a stop was requested. Every stop check of the job goes through here.
// A job whose worker was ended by force (ForceEndWorker) always gets 1: it stops and cleans up.
int CheckStopRequested();

// Sends one of the job's messages to progressWindow and returns the reply. Like a stop check it
// waits while the worker is held, so a held job sends nothing; a job whose worker was ended by
// force sends nothing at all (the reply is then 0). Any message of the job to the progress page
// (questions, progress, UM_OUTPUT_FAILED) should go through here.
MessageResult SendJobMessage(uint32_t message, MessageWParam wParam, MessageLParam lParam);

// Waits while the worker is held; for the job's other calls that reach the page (field texts) and
// for each step of a roll-back or backup deletion.
void WaitWhileWorkerHeld();

// 1 while the job that is running belongs to a worker that has been ended by force.
int JobAbandoned();

// The job passes its point of no return: 1 when it may go on (a forced end can no longer take its
// run), 0 when its worker has been ended by force already and it must roll back. 1 outside a worker.
int EnterPointOfNoReturn();

// For tests: a function called at the start of every stop check (nullptr: none), so that a test
// can stop a job at any chosen check. The shipped program installs none.
typedef void (*StopCheckObserver)();
void SetStopCheckObserverForTests(StopCheckObserver observer);
