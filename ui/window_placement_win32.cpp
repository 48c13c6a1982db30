// Window placement helpers; the two SetWindowPos overloads are exported by the program file.
#include "ui/sheet_win32.h"

void CenterWindow(HWND window) {
  HWND reference = GetParent(window);
  if (reference == nullptr) reference = GetDesktopWindow();
  RECT referenceRect;
  RECT windowRect;
  if (!GetWindowRect(reference, &referenceRect) || !GetWindowRect(window, &windowRect)) return;
  const int width = windowRect.right - windowRect.left;
  const int height = windowRect.bottom - windowRect.top;
  const int x = referenceRect.right / 2 - width / 2;
  const int y = referenceRect.bottom / 2 - height / 2;
  ::SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void SetWindowPos(HWND parent, HWND child, int x, int y) {
  POINT point = {x, y};
  ScreenToClient(parent, &point);
  ::SetWindowPos(child, nullptr, point.x, point.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void SetWindowPos(HWND dialog, int controlId, int x, int y) {
  SetWindowPos(dialog, GetDlgItem(dialog, controlId), x, y);
}
