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
  if (g_workerState.workerThread == nullptr) return;
  // Nobody is left to answer: ask the job to stop; it rolls back on its own. Give it the time the
  // stop timer gives, then end it by force.
  g_workerState.stopRequested = 1;
  for (int waited = 0; g_workerState.workerThread != nullptr && waited < STOP_TIMER_MS; waited += 50) Sleep(50);
  if (g_workerState.workerThread != nullptr) ForceEndWorker(nullptr);
}
