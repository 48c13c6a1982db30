// How many path characters fit into a text control, measured with the control's device context.
#include <windows.h>

#include "ui/path_display.h"

int CountFittingChars(WindowHandle dialog, int controlId) {
  HWND control = GetDlgItem(static_cast<HWND>(dialog), controlId);
  if (control == nullptr) return 0;
  HDC dc = GetDC(control);
  if (dc == nullptr) return 0;

  // The font the device context holds now (no font is selected into it first), at normal weight.
  LOGFONTA logFont;
  HGDIOBJ current = GetCurrentObject(dc, OBJ_FONT);
  if (current == nullptr || GetObjectA(current, sizeof logFont, &logFont) == 0) {
    ReleaseDC(control, dc);
    return 0;
  }
  logFont.lfWeight = FW_NORMAL;
  HFONT font = CreateFontIndirectA(&logFont);
  HGDIOBJ previous = font != nullptr ? SelectObject(dc, font) : nullptr;

  RECT measured = {0, 0, 0, 0};
  DrawTextA(dc, "iw", 2, &measured, DT_CALCRECT);
  const int w = measured.right - measured.left;
  RECT window;
  const int W = GetWindowRect(control, &window) ? window.right - window.left : 0;
  // A font that measures nothing would divide by zero: nothing can be said to fit then.
  const int result = w > 0 ? (2 * W) / w - 3 : 0;

  if (previous != nullptr) SelectObject(dc, previous);
  if (font != nullptr) DeleteObject(font);
  ReleaseDC(control, dc);
  return result;
}
