// The worker thread of interactive mode: start, hold, stop request and forced end.
//
// Holding: SuspendWorker does not suspend the thread (a thread stopped at an arbitrary point may
// hold the allocator's or the window system's lock that the cancel question needs). It sets the
// hold bit of the run; the job waits at its next stop check or send (CheckStopRequested,
// SendJobMessage), at each step of a roll-back or backup deletion, and before it claims its end,
// until ResumeWorker clears the bit.
//
// Forced end: the thread is not terminated (that would leave its files open, its locks held and a
// moved-aside target unrestored). ForceEndWorker claims the end of the run, reports
// UM_JOB_FINISHED(0) and abandons the thread: its job sees a stop at every further check, rolls
// back as after a cancel and leaves without sending anything or touching the worker state. A later
// worker waits until the abandoned job has left before it begins its own (see job_control.h).
// A job past its point of no return (the record merge) is not ended by force: it finishes, and its
// own end is reported.
#include "engine/worker.h"

#include "discovery/job_settings.h"
#include "engine/job_control.h"
#include "engine/job_log.h"
#include "engine/progress_messages.h"
#include "engine/unpack_job.h"

namespace {

std::atomic<uint32_t> g_runCounter{0};
std::atomic<uint32_t> g_launchRun{0};  // the run number handed from StartWorker to its new thread

uint32_t NextRun() {
  uint32_t run;
  do {
    run = RunNumber(g_runCounter.fetch_add(1) + 1);
  } while (run == 0);
  return run;
}

void ClearWorkerState() {
  g_workerState.workerThread = nullptr;
  g_workerState.workerThreadId = 0;
  g_workerState.stopRequested = 0;
}

// Takes the job's process-wide state for this run; waits while an abandoned job still has it.
// 0 when the run is stopped or ended by force before that.
int AcquireJob(uint32_t run) {
  for (;;) {
    uint32_t none = 0;
    if (g_jobRun.compare_exchange_strong(none, run)) return 1;
    if (RunNumber(g_activeRun.load()) != run || g_workerState.stopRequested != 0) return 0;
    OsSleep(kHoldPollMs * 4);
  }
}

// Claims the end of the run for the worker, waiting while it is held: a held worker reports nothing.
// Returns the claimed value (with kRunFinishing), 0 when ForceEndWorker has ended the run instead.
uint32_t ClaimEnd(uint32_t run) {
  for (;;) {
    uint32_t value = g_activeRun.load();
    if (RunNumber(value) != run) return 0;
    if ((value & kRunHeld) == 0 && g_activeRun.compare_exchange_strong(value, value | kRunFinishing)) {
      return value | kRunFinishing;
    }
    if ((value & kRunHeld) != 0) OsSleep(kHoldPollMs);
  }
}

}  // namespace

int StartWorker(WindowHandle progressWindow) {
  if (g_workerState.workerThread != nullptr) return 0;
  const uint32_t run = NextRun();
  g_workerState.stopRequested = 0;
  g_activeRun.store(run);
  uint32_t threadId = 0;
  ThreadHandle thread = OsCreateThread(WorkerMain, progressWindow, &threadId);
  if (thread == nullptr) {
    uint32_t expected = run;
    g_activeRun.compare_exchange_strong(expected, 0);
    return 0;
  }
  g_workerState.workerThreadId = threadId;
  g_workerState.workerThread = thread;
  // Only now may the thread begin: at its end it releases the handle stored above.
  g_launchRun.store(run);
  while (g_launchRun.load() != 0) OsSleep(1);
  return 1;
}

uint32_t WorkerMain(void* progressWindow) {
  WindowHandle window = static_cast<WindowHandle>(progressWindow);
  uint32_t run;
  while ((run = g_launchRun.load()) == 0) OsSleep(1);
  g_workerState.stopRequested = 0;
  g_launchRun.store(0);

  int result = 0;
  if (AcquireJob(run)) {
    g_workerState.progressWindow = window;
    BeginWorkerReports();
    result = RunUnpackJob();
    EndWorkerReports();  // before the end is reported: the page has every report by then
    LogJobResult(result);
    g_jobRun.store(0);
  }

  if (const uint32_t claimed = ClaimEnd(run)) {
    ThreadHandle own = g_workerState.workerThread;
    ClearWorkerState();
    OsCloseThreadHandle(own);
    if (!g_jobSettings.setupCall) OsSendMessage(window, UM_JOB_FINISHED, result ? 1 : 0, 0);
    uint32_t expected = claimed;
    g_activeRun.compare_exchange_strong(expected, 0);
  }
  // Otherwise ForceEndWorker has ended this run and reported it; nothing here is ours any more.
  return 0;
}

int SuspendWorker() {
  if (g_workerState.workerThread == nullptr) return 0;
  uint32_t value = g_activeRun.load();
  do {
    // A worker that has claimed its end is past every hold; its UM_JOB_FINISHED is on its way.
    if (RunNumber(value) == 0 || (value & kRunFinishing) != 0) return 0;
  } while (!g_activeRun.compare_exchange_weak(value, value | kRunHeld));
  return 1;
}

int ResumeWorker() {
  g_activeRun.fetch_and(~kRunHeld);  // completely, however often it was held
  return g_workerState.workerThread != nullptr ? 1 : 0;
}

void RequestStop(WindowHandle window) {
  if (g_workerState.workerThread != nullptr) {
    g_workerState.stopRequested = 1;
    return;
  }
  // A worker that is reporting its own end right now sends the page its UM_JOB_FINISHED itself.
  if ((g_activeRun.load() & kRunFinishing) != 0) return;
  OsSendMessage(window, UM_JOB_FINISHED, 0, 0);
}

void ForceEndWorker(WindowHandle window) {
  uint32_t run = g_activeRun.load();
  if ((run & kRunFinishing) != 0) return;  // the worker has ended and is reporting it
  // Past its point of no return the job cannot be rolled back: its own end is reported.
  if ((run & kRunCommitted) != 0) return;
  if (run != 0) {
    // Fails when the worker claimed its end or passed its point of no return meanwhile.
    if (!g_activeRun.compare_exchange_strong(run, 0)) return;
    ThreadHandle thread = g_workerState.workerThread;
    g_workerState.progressWindow = nullptr;  // whatever the abandoned job still sends goes nowhere
    ClearWorkerState();
    OsCloseThreadHandle(thread);
  } else {
    ClearWorkerState();
  }
  OsSendMessage(window, UM_JOB_FINISHED, 0, 0);
}

int WaitForWorkerJobs(uint32_t timeoutMs) {
  uint32_t waited = 0;
  while (g_jobRun.load() != 0 || RunNumber(g_activeRun.load()) != 0) {
    if (waited >= timeoutMs) return 0;
    OsSleep(10);
    waited += 10;
  }
  return 1;
}
