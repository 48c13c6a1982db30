// Sizes and images at the display scale of a window (96 dots per inch is 100 %).
#include <cstdint>
#include <cstdlib>

#include "ui/packed_image.h"
#include "ui/resource_ids.h"
#include "ui/sheet_win32.h"
#include "discovery/job_settings.h"

namespace {

constexpr int kBaseDpi = 96;
constexpr int kBannerWidth = 400;  // the banner at 100 %; its second image is twice that
constexpr int kBannerHeight = 70;

using DpiForWindowCall = UINT(WINAPI*)(HWND);

// Windows 10 1607 and later know the scale of each window; before that every window has the
// system's scale. Looked up at each call (a few times per window): a function-local static would
// bring the C++ runtime's thread-safe initialisation guard, and with it a thread library.
DpiForWindowCall DpiForWindowFunction() {
  return reinterpret_cast<DpiForWindowCall>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
}

HBITMAP LoadBitmapResource(int id) {
  return static_cast<HBITMAP>(LoadImageA(static_cast<HINSTANCE>(g_jobSettings.instance), MAKEINTRESOURCEA(id),
                                         IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
}

// A packed image of the resources (ui/packed_image.h), as a bitmap for the screen like the ones
// LoadImageA gives.
HBITMAP LoadPackedBitmapResource(int id) {
  const HMODULE module = static_cast<HMODULE>(g_jobSettings.instance);
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10));  // RT_RCDATA
  if (found == nullptr) return nullptr;
  const uint8_t* packed = static_cast<const uint8_t*>(LockResource(LoadResource(module, found)));
  const size_t packedSize = SizeofResource(module, found);
  const size_t size = packed != nullptr ? PackedImageSize(packed, packedSize) : 0;
  if (size == 0) return nullptr;
  uint8_t* bitmap = static_cast<uint8_t*>(std::malloc(size));
  HBITMAP result = nullptr;
  if (bitmap != nullptr && UnpackImage(packed, packedSize, bitmap, size)) {
    const BITMAPINFO* info = reinterpret_cast<const BITMAPINFO*>(bitmap);
    HDC screen = GetDC(nullptr);
    result = CreateDIBitmap(screen, &info->bmiHeader, CBM_INIT, bitmap + ImagePixelsOffset(bitmap, size), info,
                            DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
  }
  std::free(bitmap);
  return result;
}

// A copy of the image at another size, smoothed (halftone) rather than with dropped or doubled pixels.
HBITMAP ResizedBitmap(HBITMAP source, int width, int height) {
  BITMAP info;
  if (GetObjectA(source, sizeof info, &info) == 0) return nullptr;
  HDC screen = GetDC(nullptr);
  HDC from = CreateCompatibleDC(screen);
  HDC to = CreateCompatibleDC(screen);
  HBITMAP result = CreateCompatibleBitmap(screen, width, height);
  if (from != nullptr && to != nullptr && result != nullptr) {
    HGDIOBJ oldFrom = SelectObject(from, source);
    HGDIOBJ oldTo = SelectObject(to, result);
    SetStretchBltMode(to, HALFTONE);
    SetBrushOrgEx(to, 0, 0, nullptr);
    StretchBlt(to, 0, 0, width, height, from, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    SelectObject(from, oldFrom);
    SelectObject(to, oldTo);
  }
  if (from != nullptr) DeleteDC(from);
  if (to != nullptr) DeleteDC(to);
  ReleaseDC(nullptr, screen);
  return result;
}

// Icons are loaded once per size and kept for the process's life, like the shared icons the dialog
// manager loads: a page's icon may still be shown when another scale loads it again.
struct CachedIcon {
  int id;
  int size;
  HICON icon;
};
CachedIcon g_icons[12];

}  // namespace

int WindowDpi(HWND window) {
  const DpiForWindowCall call = DpiForWindowFunction();
  int dpi = call != nullptr && window != nullptr ? static_cast<int>(call(window)) : 0;
  if (dpi <= 0) {
    HDC dc = GetDC(window);
    if (dc != nullptr) {
      dpi = GetDeviceCaps(dc, LOGPIXELSY);
      ReleaseDC(window, dc);
    }
  }
  return dpi > 0 ? dpi : kBaseDpi;
}

int ScaleForDpi(int pixels, int dpi) { return MulDiv(pixels, dpi, kBaseDpi); }

HBITMAP LoadBannerForDpi(int dpi) {
  const int width = ScaleForDpi(kBannerWidth, dpi);
  const int height = ScaleForDpi(kBannerHeight, dpi);
  if (height <= kBannerHeight) return LoadBitmapResource(IDB_ABOUT_BANNER);
  HBITMAP large = LoadPackedBitmapResource(IDB_ABOUT_BANNER_2X);
  if (large == nullptr || height == 2 * kBannerHeight) return large;
  // Between the two drawn sizes (125 %, 150 %, 175 %) the large one is shrunk, which keeps it sharp;
  // beyond 200 % it is enlarged.
  HBITMAP resized = ResizedBitmap(large, width, height);
  if (resized == nullptr) return large;
  DeleteObject(large);
  return resized;
}

HICON IconForDpi(int iconId, int size, int dpi) {
  const int pixels = ScaleForDpi(size, dpi);
  for (CachedIcon& entry : g_icons) {
    if (entry.icon != nullptr && entry.id == iconId && entry.size == pixels) return entry.icon;
  }
  const HINSTANCE instance = static_cast<HINSTANCE>(g_jobSettings.instance);
  for (CachedIcon& entry : g_icons) {
    if (entry.icon != nullptr) continue;
    entry.icon = static_cast<HICON>(
        LoadImageA(instance, MAKEINTRESOURCEA(iconId), IMAGE_ICON, pixels, pixels, LR_DEFAULTCOLOR));
    if (entry.icon != nullptr) {
      entry.id = iconId;
      entry.size = pixels;
    }
    return entry.icon;
  }
  return nullptr;  // every place taken (many scales in one session): the icon shown stays
}

void ShowHeaderIcon(HWND page) {
  HICON icon = IconForDpi(IDI_PROGRAM, 32, WindowDpi(page));
  if (icon != nullptr) SendDlgItemMessageA(page, IDC_HEADER_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
}
