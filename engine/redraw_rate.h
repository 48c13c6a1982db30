#pragma once
// The rate at which the job's progress is drawn: as often as a person can follow, not at every entry.
#include <cstdint>

constexpr uint32_t kRedrawIntervalMs = 33;  // about 30 redraws a second at most

struct RedrawRate {
  uint32_t lastDraw;  // tick of the last redraw
  int drawnBefore;    // 0: the next redraw is due at once
};

// Whether a redraw is due at the tick now; when it is, it counts as done then.
int RedrawDue(RedrawRate* rate, uint32_t now);
// The same with another interval; with 0 every redraw is due.
int RedrawDueAfter(RedrawRate* rate, uint32_t now, uint32_t intervalMs);
// A redraw done at the tick now, due or not.
void NoteRedraw(RedrawRate* rate, uint32_t now);
// The next redraw is due at once.
void ResetRedrawRate(RedrawRate* rate);
