// The job's progress reports, its stop check and the hold of a running job.
#include "engine/progress_messages.h"

#include "engine/job_control.h"

WorkerState g_workerState;

std::atomic<uint32_t> g_activeRun{0};
std::atomic<uint32_t> g_jobRun{0};

int JobAbandoned() {
  const uint32_t run = g_jobRun.load();
  return run != 0 && RunNumber(g_activeRun.load()) != run;
}

int EnterPointOfNoReturn() {
  const uint32_t run = g_jobRun.load();
  if (run == 0) return 1;
  uint32_t value = g_activeRun.load();
  do {
    if (RunNumber(value) != run) return 0;
  } while (!g_activeRun.compare_exchange_weak(value, value | kRunCommitted));
  return 1;
}

// The hold: while the cancel question is open the job waits here, at one of its own stop checks or
// before one of its sends, where it holds no lock and has no message on its way to the page.
void WaitWhileWorkerHeld() {
  while ((g_activeRun.load() & kRunHeld) != 0 && !JobAbandoned()) OsSleep(kHoldPollMs);
}

namespace {
std::atomic<StopCheckObserver> g_stopCheckObserver{nullptr};
}  // namespace

void SetStopCheckObserverForTests(StopCheckObserver observer) { g_stopCheckObserver.store(observer); }

int CheckStopRequested() {
  if (StopCheckObserver observer = g_stopCheckObserver.load()) observer();
  WaitWhileWorkerHeld();
  if (JobAbandoned()) return 1;
  return g_workerState.stopRequested != 0 ? 1 : 0;
}

MessageResult SendJobMessage(uint32_t message, MessageWParam wParam, MessageLParam lParam) {
  WaitWhileWorkerHeld();
  if (JobAbandoned()) return 0;
  return OsSendMessage(g_workerState.progressWindow, message, wParam, lParam);
}

void ReportDirectory(const char* directory) {
  SendJobMessage(UM_PROGRESS, ProgressDirectory, reinterpret_cast<MessageLParam>(directory));
}

void ReportFileName(const char* fileName) {
  SendJobMessage(UM_PROGRESS, ProgressFileName, reinterpret_cast<MessageLParam>(fileName));
}

void ReportEntryCount(uint32_t count) {
  SendJobMessage(UM_PROGRESS, ProgressEntryCount, static_cast<MessageLParam>(count));
}

void ReportPosition(uint32_t index) {
  SendJobMessage(UM_PROGRESS, ProgressPosition, static_cast<MessageLParam>(index));
}
