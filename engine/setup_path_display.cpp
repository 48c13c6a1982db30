#include "engine/setup_path_display.h"

#include "discovery/compact_path.h"
#include "discovery/job_settings.h"
#include "discovery/path_utils.h"
#include "engine/redraw_rate.h"
#include "platform/platform.h"

namespace {

constexpr int kCompactMaximum = 127;  // CompactPath counts in a signed 8-bit value

RedrawRate g_rate;
char g_keptPath[kPathBuffer];
int g_pathKept;

void DrawPath(const char* path) {
  int32_t width = g_jobSettings.parentPathWidth;
  // A measured width beyond what the compaction can count is shown at its largest, never wrapped
  // into a negative count.
  if (width < 0) width = 0;
  if (width > kCompactMaximum) width = kCompactMaximum;
  ShowCompactPath(g_jobSettings.parentControl, 0, path, static_cast<signed char>(width));
  OsRepaintWindow(g_jobSettings.parentControl);
  // One pending message of the setup program's window with every drawing, not with every entry:
  // each look into the queue is a round trip to the window system (under Wine to its server).
  OsPumpOneMessage(g_jobSettings.parentWindow);
}

}  // namespace

void BeginSetupPathDisplay() {
  ResetRedrawRate(&g_rate);
  g_pathKept = 0;
}

void ShowPathInSetupControl(const char* path) {
  // With both paths on the command line there is no control: a repaint of no window would repaint
  // every window on the desktop.
  if (g_jobSettings.parentControl == nullptr) return;
  if (RedrawDue(&g_rate, OsTickCount())) {
    DrawPath(path);
    g_pathKept = 0;
  } else {
    CopyBounded(g_keptPath, kPathChars, path);
    g_pathKept = 1;
  }
}

void CatchUpSetupPath() {
  if (!g_pathKept || g_jobSettings.parentControl == nullptr) return;
  if (!RedrawDue(&g_rate, OsTickCount())) return;
  DrawPath(g_keptPath);
  g_pathKept = 0;
}

void FinishSetupPathDisplay() {
  if (!g_pathKept || g_jobSettings.parentControl == nullptr) return;
  NoteRedraw(&g_rate, OsTickCount());
  DrawPath(g_keptPath);
  g_pathKept = 0;
}
