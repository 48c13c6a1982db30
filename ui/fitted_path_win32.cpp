// A path in a field of the sheet, shortened until it fits the field in pixels. A count of characters
// is only an estimate for a proportional font: a path of wide capitals within the count still runs
// past the edge of an edit field, and a static field wraps it at a blank, which hides the words behind.
#include <windows.h>

#include <cstring>

#include "discovery/job_settings.h"
#include "discovery/path_utils.h"
#include "ui/path_display.h"

namespace {

constexpr int kShortestWithEllipsis = 21;  // CompactPath cuts without an ellipsis below this

bool IsEditControl(HWND control) {
  char className[16] = "";
  GetClassNameA(control, className, sizeof className);
  return lstrcmpiA(className, "Edit") == 0;
}

// Whether the text, as the control shows it, fits the width it has for text.
bool FitsControl(HWND control, HDC dc, const char* text) {
  char shown[kPathBuffer];
  CopyBounded(shown, kPathChars, text);
  const bool edit = IsEditControl(control);
  if (edit && (GetWindowLongA(control, GWL_STYLE) & ES_LOWERCASE) != 0) {
    CharLowerBuffA(shown, static_cast<DWORD>(std::strlen(shown)));
  }
  RECT client;
  if (!GetClientRect(control, &client)) return true;
  int room = client.right - client.left;
  if (edit) {
    const DWORD margins = static_cast<DWORD>(SendMessageA(control, EM_GETMARGINS, 0, 0));
    room -= LOWORD(margins) + HIWORD(margins);
  }
  SIZE extent = {0, 0};
  if (!GetTextExtentPoint32A(dc, shown, static_cast<int>(std::strlen(shown)), &extent)) return true;
  return extent.cx <= room;
}

}  // namespace

void ShowFittedPath(WindowHandle dialog, int controlId, const char* path, signed char maximum) {
  HWND control = GetDlgItem(static_cast<HWND>(dialog), controlId);
  if (control == nullptr) return;
  char whole[kPathBuffer];
  CopyBounded(whole, kPathChars, path);
  const int length = static_cast<int>(std::strlen(whole));
  char shown[kPathBuffer];
  CopyBounded(shown, kPathChars, whole);
  if (maximum > 0) CompactPath(shown, whole, maximum);

  HDC dc = GetDC(control);
  if (dc != nullptr) {
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0));
    HGDIOBJ previous = font != nullptr ? SelectObject(dc, font) : nullptr;
    int m = maximum > 0 ? maximum : (length < 127 ? length : 127);
    if (m > length) m = length;
    while (!FitsControl(control, dc, shown) && m > kShortestWithEllipsis) {
      --m;
      CompactPath(shown, whole, static_cast<signed char>(m));
    }
    if (previous != nullptr) SelectObject(dc, previous);
    ReleaseDC(control, dc);
  }
  SetWindowTextA(control, shown);
}
