// The About box (template 5201): program name, version and internal version under a banner.
#include <cstdio>
#include <cstring>

#include "ui/resource_ids.h"
#include "ui/sheet_win32.h"
#include "z_version.h"

const char kProgramName[] = "Zarpex32";
const char kProgramVersion[] = Z_VERSION;
const char kInternalVersion[] = Z_VERSION_INTERNAL;
const char kCopyrightNotice[] = "Copyright \xA9 Brannix. Alle Rechte vorbehalten.";

namespace {

HBITMAP g_aboutBanner = nullptr;  // the banner drawn for the box's scale, while the box is open

// The template's banner is the one drawn for 100 %; the box shows the one for its display.
void ShowBanner(HWND box, int dpi) {
  HBITMAP banner = LoadBannerForDpi(dpi);
  if (banner == nullptr) return;
  HBITMAP previous = reinterpret_cast<HBITMAP>(
      SendDlgItemMessageA(box, IDC_ABOUT_BANNER, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(banner)));
  if (previous != nullptr) DeleteObject(previous);
  // Common controls 6 may keep a copy of a 32-bit image instead of the image itself.
  HBITMAP shown = reinterpret_cast<HBITMAP>(SendDlgItemMessageA(box, IDC_ABOUT_BANNER, STM_GETIMAGE, IMAGE_BITMAP, 0));
  if (shown != banner) DeleteObject(banner);
  g_aboutBanner = shown;
}

}  // namespace

INT_PTR CALLBACK AboutBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      char format[256];
      char title[300];
      format[0] = '\0';
      GetWindowTextA(box, format, sizeof format);
      // The template title carries one "%s"; anything else in it is shown as it stands.
      const char* mark = strstr(format, "%s");
      if (mark != nullptr && strchr(mark + 2, '%') == nullptr && strchr(format, '%') == mark) {
        snprintf(title, sizeof title, format, kProgramName);
      } else {
        snprintf(title, sizeof title, "%s", format);
      }
      SetWindowTextA(box, title);
      SetDlgItemTextA(box, IDC_ABOUT_VERSION, kProgramVersion);
      SetDlgItemTextA(box, IDC_ABOUT_PROGRAM, kProgramName);
      SetDlgItemTextA(box, IDC_ABOUT_INTERNAL, kInternalVersion);
      SetDlgItemTextA(box, IDC_ABOUT_COPYRIGHT, kCopyrightNotice);
      ShowBanner(box, WindowDpi(box));
      return TRUE;
    }
    case kDpiChanged:
      // Moved to a display of another scale: the system resizes the box and its texts, not images.
      ShowBanner(box, HIWORD(wParam));
      return FALSE;
    case WM_DESTROY:
      SendDlgItemMessageA(box, IDC_ABOUT_BANNER, STM_SETIMAGE, IMAGE_BITMAP, 0);
      if (g_aboutBanner != nullptr) DeleteObject(g_aboutBanner);
      g_aboutBanner = nullptr;
      return FALSE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        EndDialog(box, 1);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(box, 2);
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      EndDialog(box, 2);
      return TRUE;
    default:
      return FALSE;
  }
}
