// The job's progress reports, its stop check and the hold of a running job.
#include "engine/progress_messages.h"

#include "discovery/path_utils.h"
#include "engine/job_control.h"
#include "engine/redraw_rate.h"

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

namespace {

// The worker's reports that the page has not been sent yet. Touched by the job's thread only; the
// page reads `kept` while the job waits for its send.
struct WorkerReports {
  int gathering;  // 1 during a worker's job
  RedrawRate rate;  // the last send to the page
  int entryCountKnown;
  uint32_t entryCount;
  GatheredProgress kept;
};
WorkerReports g_reports;
std::atomic<uint32_t> g_reportInterval{kRedrawIntervalMs};

int KeptCount() { return g_reports.kept.hasDirectory + g_reports.kept.hasFileName + g_reports.kept.hasPosition; }

void NoteSend() { NoteRedraw(&g_reports.rate, OsTickCount()); }

// Sends what is kept: a single report as itself, several as one gathered report. The caller has
// waited for the hold; an abandoned job sends nothing.
void SendKept() {
  GatheredProgress& kept = g_reports.kept;
  const int count = KeptCount();
  if (count == 0) return;
  if (!JobAbandoned()) {
    const WindowHandle page = g_workerState.progressWindow;
    if (count > 1) {
      OsSendMessage(page, UM_PROGRESS, ProgressGathered, reinterpret_cast<MessageLParam>(&kept));
    } else if (kept.hasDirectory) {
      OsSendMessage(page, UM_PROGRESS, ProgressDirectory, reinterpret_cast<MessageLParam>(kept.directory));
    } else if (kept.hasFileName) {
      OsSendMessage(page, UM_PROGRESS, ProgressFileName, reinterpret_cast<MessageLParam>(kept.fileName));
    } else {
      OsSendMessage(page, UM_PROGRESS, ProgressPosition, static_cast<MessageLParam>(kept.position));
    }
    NoteSend();
  }
  kept.hasDirectory = kept.hasFileName = kept.hasPosition = 0;
}

int SendDue() { return RedrawDueAfter(&g_reports.rate, OsTickCount(), g_reportInterval.load()); }

std::atomic<StopCheckObserver> g_stopCheckObserver{nullptr};

}  // namespace

// The hold: while the cancel question is open the job waits here, at one of its own stop checks or
// before one of its sends, where it holds no lock and has no message on its way to the page. What
// the job had reported before it is sent first, so that the page shows where the job is held.
void WaitWhileWorkerHeld() {
  if ((g_activeRun.load() & kRunHeld) == 0) return;
  if (g_reports.gathering && !JobAbandoned()) SendKept();
  while ((g_activeRun.load() & kRunHeld) != 0 && !JobAbandoned()) OsSleep(kHoldPollMs);
}

void SetStopCheckObserverForTests(StopCheckObserver observer) { g_stopCheckObserver.store(observer); }

void SetReportIntervalForTests(uint32_t intervalMs) { g_reportInterval.store(intervalMs); }

int CheckStopRequested() {
  if (StopCheckObserver observer = g_stopCheckObserver.load()) observer();
  WaitWhileWorkerHeld();
  if (JobAbandoned()) return 1;
  // Inside a long entry: what its start reported is sent once it is due.
  if (g_reports.gathering && KeptCount() > 0 && SendDue()) SendKept();
  return g_workerState.stopRequested != 0 ? 1 : 0;
}

MessageResult SendJobMessage(uint32_t message, MessageWParam wParam, MessageLParam lParam) {
  WaitWhileWorkerHeld();
  if (JobAbandoned()) return 0;
  SendKept();  // what was reported before reaches the page before this
  const MessageResult result = OsSendMessage(g_workerState.progressWindow, message, wParam, lParam);
  if (g_reports.gathering) NoteSend();
  return result;
}

void BeginWorkerReports() {
  g_reports.kept.hasDirectory = g_reports.kept.hasFileName = g_reports.kept.hasPosition = 0;
  g_reports.entryCountKnown = 0;
  ResetRedrawRate(&g_reports.rate);  // the first report goes at once
  g_reports.gathering = 1;
}

void EndWorkerReports() {
  WaitWhileWorkerHeld();
  SendKept();
  g_reports.gathering = 0;
}

namespace {

// What is kept is sent when it is due, or at once when the report asks for it.
void SendKeptWhenDue(int atOnce) {
  if (atOnce || SendDue()) SendKept();
}

// Sends one text report at once outside a worker's job; during one keeps it in its slot.
void ReportText(ProgressSubCode code, const char* text, char* slot, int32_t* kept) {
  if (!g_reports.gathering) {
    SendJobMessage(UM_PROGRESS, code, reinterpret_cast<MessageLParam>(text));
    return;
  }
  WaitWhileWorkerHeld();
  CopyBounded(slot, kPathChars, text != nullptr ? text : "");
  *kept = 1;
  SendKeptWhenDue(0);
}

}  // namespace

// During a worker's job each report is kept, after waiting while the worker is held, as a send does
// (what the page is sent at the hold was reported before it). The end position is sent at once.
void ReportDirectory(const char* directory) {
  ReportText(ProgressDirectory, directory, g_reports.kept.directory, &g_reports.kept.hasDirectory);
}

void ReportFileName(const char* fileName) {
  ReportText(ProgressFileName, fileName, g_reports.kept.fileName, &g_reports.kept.hasFileName);
}

void ReportEntryCount(uint32_t count) {
  g_reports.entryCount = count;
  g_reports.entryCountKnown = 1;
  SendJobMessage(UM_PROGRESS, ProgressEntryCount, static_cast<MessageLParam>(count));
}

void ReportPosition(uint32_t index) {
  if (!g_reports.gathering) {
    SendJobMessage(UM_PROGRESS, ProgressPosition, static_cast<MessageLParam>(index));
    return;
  }
  WaitWhileWorkerHeld();
  g_reports.kept.position = index;
  g_reports.kept.hasPosition = 1;
  // The bar's first step goes at once too: the page shows without delay that the walk is under way.
  SendKeptWhenDue(index == 1 || (g_reports.entryCountKnown && index >= g_reports.entryCount));
}

void ReportDeletingBackup(const char* backup) {
  SendJobMessage(UM_PROGRESS, ProgressDeletingBackup, reinterpret_cast<MessageLParam>(backup != nullptr ? backup : ""));
}

void ReportWaiting(const char* target) {
  SendJobMessage(UM_PROGRESS, ProgressWaiting, reinterpret_cast<MessageLParam>(target != nullptr ? target : ""));
}

void ReportWaitOver() { SendJobMessage(UM_PROGRESS, ProgressWaitOver, 0); }

void ReportRecovery(int finishing, const char* target) {
  SendJobMessage(UM_PROGRESS, finishing ? ProgressFinishingInterrupted : ProgressUndoingInterrupted,
                 reinterpret_cast<MessageLParam>(target != nullptr ? target : ""));
}

void ReportRecoveryOver() { SendJobMessage(UM_PROGRESS, ProgressRecoveryOver, 0); }

void SendKeptReports() {
  WaitWhileWorkerHeld();
  if (JobAbandoned()) return;
  SendKept();
}
