#include "engine/redraw_rate.h"

int RedrawDue(RedrawRate* rate, uint32_t now) { return RedrawDueAfter(rate, now, kRedrawIntervalMs); }

int RedrawDueAfter(RedrawRate* rate, uint32_t now, uint32_t intervalMs) {
  // Unsigned difference: right across the tick count's wrap-around.
  if (rate->drawnBefore && now - rate->lastDraw < intervalMs) return 0;
  NoteRedraw(rate, now);
  return 1;
}

void NoteRedraw(RedrawRate* rate, uint32_t now) {
  rate->lastDraw = now;
  rate->drawnBefore = 1;
}

void ResetRedrawRate(RedrawRate* rate) { rate->drawnBefore = 0; }
