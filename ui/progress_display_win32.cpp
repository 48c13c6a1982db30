// The progress page's display of the job's reports. Every report is taken at once; the bar and the
// two fields are drawn at a human rate (a themed bar repaints at every position), and whatever is
// still undrawn is drawn by a timer, before every question and at the end.
#include <windows.h>
#include <commctrl.h>

#include "discovery/job_settings.h"
#include "discovery/path_utils.h"
#include "engine/redraw_rate.h"
#include "ui/path_display.h"
#include "ui/resource_ids.h"
#include "ui/sheet_win32.h"

namespace {

struct ProgressDisplay {
  RedrawRate rate;
  int barHigh;  // the bar's upper bound
  int position;
  bool positionKept;
  char directory[kPathBuffer];
  bool directoryKept;
  char fileName[kPathBuffer];
  bool fileNameKept;
  bool timerSet;
};
ProgressDisplay g_display = {{0, 0}, 100, 0, false, "", false, "", false, false};

void DrawKept(HWND page) {
  if (g_display.positionKept) {
    SendDlgItemMessageA(page, IDC_PROGRESS_BAR, PBM_SETPOS, static_cast<WPARAM>(g_display.position), 0);
  }
  if (g_display.directoryKept) {
    ShowFittedPath(page, IDC_TARGET_TEXT, g_display.directory, FitForDisplay(g_progressPage.fitChars));
  }
  if (g_display.fileNameKept) SetDlgItemTextA(page, IDC_FILE_TEXT, g_display.fileName);
  g_display.positionKept = g_display.directoryKept = g_display.fileNameKept = false;
}

void StopTimer(HWND page) {
  if (!g_display.timerSet) return;
  KillTimer(page, IDT_REDRAW_TIMER);
  g_display.timerSet = false;
}

void DrawWhenDue(HWND page) {
  if (RedrawDue(&g_display.rate, GetTickCount())) {
    DrawKept(page);
    return;
  }
  // A long entry sends nothing for a while: what is kept is drawn all the same.
  if (!g_display.timerSet) {
    g_display.timerSet = SetTimer(page, IDT_REDRAW_TIMER, kRedrawIntervalMs, nullptr) != 0;
  }
}

}  // namespace

void ResetProgressDisplay(HWND page) {
  StopTimer(page);
  g_display.positionKept = g_display.directoryKept = g_display.fileNameKept = false;
  ResetRedrawRate(&g_display.rate);
}

void SetProgressRange(HWND page, int high) {
  g_display.barHigh = high;
  g_display.position = 0;
  g_display.positionKept = false;
  SendDlgItemMessageA(page, IDC_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, static_cast<WORD>(high)));
  SendDlgItemMessageA(page, IDC_PROGRESS_BAR, PBM_SETPOS, 0, 0);
}

void ShowProgressPosition(HWND page, int position) {
  g_display.position = position;
  g_display.positionKept = true;
  // The end position comes after the last entry and before the job writes into the fields itself
  // (the backup's deletion): everything kept is drawn now, so that nothing overwrites that later.
  if (position >= g_display.barHigh) {
    ShowKeptProgress(page);
    return;
  }
  DrawWhenDue(page);
}

void ShowProgressDirectory(HWND page, const char* directory) {
  CopyBounded(g_display.directory, kPathChars, directory);
  g_display.directoryKept = true;
  DrawWhenDue(page);
}

void ShowProgressFileName(HWND page, const char* name) {
  CopyBounded(g_display.fileName, kPathChars, name);
  g_display.fileNameKept = true;
  DrawWhenDue(page);
}

void ShowKeptProgress(HWND page) {
  StopTimer(page);
  NoteRedraw(&g_display.rate, GetTickCount());
  DrawKept(page);
}

void RedrawTimerElapsed(HWND page) {
  StopTimer(page);
  if (g_display.positionKept || g_display.directoryKept || g_display.fileNameKept) DrawWhenDue(page);
}
