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
  bool stepped;  // the bar has been drawn off 0 since its range was set
  char directory[kPathBuffer];
  bool directoryKept;
  char fileName[kPathBuffer];
  bool fileNameKept;
  bool timerSet;
  // What the two fields show from the reports (unfitted), put back after a note.
  char shownDirectory[kPathBuffer];
  char shownFileName[kPathBuffer];
};
ProgressDisplay g_display = {{0, 0}, 100, 0, false, false, "", false, "", false, false, "", ""};

void DrawDirectory(HWND page, const char* directory) {
  ShowFittedPath(page, IDC_TARGET_TEXT, directory, FitForDisplay(g_progressPage.fitChars));
}

void DrawKept(HWND page) {
  if (g_display.positionKept) {
    SendDlgItemMessageA(page, IDC_PROGRESS_BAR, PBM_SETPOS, static_cast<WPARAM>(g_display.position), 0);
  }
  if (g_display.directoryKept) {
    CopyBounded(g_display.shownDirectory, kPathChars, g_display.directory);
    DrawDirectory(page, g_display.directory);
  }
  if (g_display.fileNameKept) {
    CopyBounded(g_display.shownFileName, kPathChars, g_display.fileName);
    SetDlgItemTextA(page, IDC_FILE_TEXT, g_display.fileName);
  }
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
  g_display.stepped = false;
  SendDlgItemMessageA(page, IDC_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, static_cast<WORD>(high)));
  SendDlgItemMessageA(page, IDC_PROGRESS_BAR, PBM_SETPOS, 0, 0);
}

namespace {

// Keeps a position; true when it is to be drawn at once with everything kept. The end position
// comes after the last entry and before the job's notes (the backup's deletion). The first step is
// drawn at once as well: the user sees at once that the job is under way.
bool KeepPosition(int position) {
  g_display.position = position;
  g_display.positionKept = true;
  if (position >= g_display.barHigh || (position > 0 && !g_display.stepped)) {
    g_display.stepped = true;
    return true;
  }
  return false;
}

void KeepDirectory(const char* directory) {
  CopyBounded(g_display.directory, kPathChars, directory);
  g_display.directoryKept = true;
}

void KeepFileName(const char* name) {
  CopyBounded(g_display.fileName, kPathChars, name);
  g_display.fileNameKept = true;
}

}  // namespace

void ShowProgressPosition(HWND page, int position) {
  if (KeepPosition(position)) {
    ShowKeptProgress(page);
    return;
  }
  DrawWhenDue(page);
}

void ShowProgressDirectory(HWND page, const char* directory) {
  KeepDirectory(directory);
  DrawWhenDue(page);
}

void ShowProgressFileName(HWND page, const char* name) {
  KeepFileName(name);
  DrawWhenDue(page);
}

void ShowGatheredProgress(HWND page, const char* directory, const char* name, int position) {
  if (directory != nullptr) KeepDirectory(directory);
  if (name != nullptr) KeepFileName(name);
  if (position >= 0 && KeepPosition(position)) {
    ShowKeptProgress(page);
    return;
  }
  DrawWhenDue(page);
}

void ShowProgressFields(HWND page, const char* directory, const char* name) {
  CopyBounded(g_display.shownDirectory, kPathChars, directory);
  CopyBounded(g_display.shownFileName, kPathChars, name);
  DrawDirectory(page, directory);
  SetDlgItemTextA(page, IDC_FILE_TEXT, name);
}

void ShowProgressNote(HWND page, const char* note, const char* path) {
  ShowKeptProgress(page);
  SetDlgItemTextA(page, IDC_FILE_TEXT, note);
  DrawDirectory(page, path);
}

void EndProgressNote(HWND page) {
  ShowKeptProgress(page);
  DrawDirectory(page, g_display.shownDirectory);
  SetDlgItemTextA(page, IDC_FILE_TEXT, g_display.shownFileName);
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
