// The progress page's states (idle, unpacking, stop requested) and what the sheet's buttons show in them.
#include <windows.h>
#include <commctrl.h>

#include "engine/progress_messages.h"
#include "engine/worker.h"
#include "ui/message_texts.h"
#include "ui/resource_ids.h"
#include "ui/sheet_win32.h"

ProgressPageState g_progressPage;

void EnterUnpackingState(HWND sheet) {
  g_progressPage.unpacking = true;
  SendMessageA(sheet, PSM_SETCURSEL, 0, 0);
  EnableWindow(GetDlgItem(sheet, IDOK), FALSE);
  char text[256];
  LoadText(IDS_CANCEL_BUTTON, text, sizeof text);
  SetDlgItemTextA(sheet, IDCANCEL, text);
}

void EnterIdleState(HWND sheet) {
  char text[256];
  LoadText(TextQuitButton, text, sizeof text);
  SetDlgItemTextA(sheet, IDCANCEL, text);
  EnableWindow(GetDlgItem(sheet, IDOK), TRUE);
  g_progressPage.unpacking = false;
  g_progressPage.cancelRequested = false;
}

signed char FitForDisplay(int fitChars) {
  if (fitChars <= 0) return 0;
  if (fitChars > 127) return 127;
  return static_cast<signed char>(fitChars);
}

void WaitForWorkerEnd() {
  // Normally nothing runs any more. Should the sheet have gone while a job runs, nobody is left to
  // answer: the job is asked to stop and released, so that it rolls back on its own. A job ended by
  // force is still rolling back too. The program must not end before they are done; a job that does
  // not end in time is ended by force and given the same time once more.
  if (g_workerState.workerThread != nullptr) {
    g_workerState.stopRequested = 1;
    ResumeWorker();
  }
  if (WaitForWorkerJobs(STOP_TIMER_MS)) return;
  if (g_workerState.workerThread != nullptr) ForceEndWorker(nullptr);
  WaitForWorkerJobs(STOP_TIMER_MS);
}
