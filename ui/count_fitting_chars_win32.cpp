// How many path characters fit into a text control, measured with the font it draws with.
#include <windows.h>

#include "ui/path_display.h"

int CountFittingChars(WindowHandle dialog, int controlId) {
  HWND control = GetDlgItem(static_cast<HWND>(dialog), controlId);
  if (control == nullptr) return 0;
  HDC dc = GetDC(control);
  if (dc == nullptr) return 0;

  // The control's own font, which follows the display scale, at normal weight; a control without
  // one draws with the device context's font.
  LOGFONTA logFont;
  HGDIOBJ current = reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0));
  if (current == nullptr) current = GetCurrentObject(dc, OBJ_FONT);
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
