// Checks of a dialog at the display scale, from outside its process.
#include "scale_checks.h"

#include <cstdlib>
#include <set>
#include <vector>

namespace scale {
namespace {

constexpr int kTemplatePoints = 8;
const char kTemplateFace[] = "MS Sans Serif";

// The font the dialog manager makes for the templates, at the screen's scale.
HFONT TemplateFont() {
  return CreateFontA(-MulDiv(kTemplatePoints, ScreenDpi(), 72), 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE,
                     DEFAULT_CHARSET, 0, 0, PROOF_QUALITY, FF_DONTCARE, kTemplateFace);
}

// Dialog base units of that font, reckoned as the dialog manager does: the average width of the
// 52 letters (rounded) and the font's height.
SIZE BaseUnits() {
  SIZE units = {0, 0};
  HDC dc = GetDC(nullptr);
  HFONT font = TemplateFont();
  HGDIOBJ previous = SelectObject(dc, font);
  const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  SIZE extent;
  TEXTMETRICA metrics;
  if (GetTextExtentPoint32A(dc, letters, 52, &extent) && GetTextMetricsA(dc, &metrics)) {
    units.cx = (extent.cx / 26 + 1) / 2;
    units.cy = metrics.tmHeight;
  }
  SelectObject(dc, previous);
  DeleteObject(font);
  ReleaseDC(nullptr, dc);
  return units;
}

RECT ClientRectOf(HWND dialog, HWND control) {
  RECT rect = {0, 0, 0, 0};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

std::string Describe(const RECT& r) {
  return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
         std::to_string(r.bottom) + ")";
}

std::string IdOf(HWND control) { return std::to_string(GetDlgCtrlID(control)); }

}  // namespace

void BecomeDpiAware() {
  using AwareCall = BOOL(WINAPI*)();
  const AwareCall call = reinterpret_cast<AwareCall>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "SetProcessDPIAware")));
  if (call != nullptr) call();
}

int ScreenDpi() {
  HDC dc = GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  return dpi;
}

int Scaled(int pixels) { return MulDiv(pixels, ScreenDpi(), 96); }

std::string CheckDialogUnits(HWND dialog, int id, int x, int y, int width, int height) {
  HWND control = GetDlgItem(dialog, id);
  if (control == nullptr) return "no control " + std::to_string(id);
  const SIZE units = BaseUnits();
  if (units.cx <= 0) return "the templates' font cannot be measured";
  const RECT expected = {MulDiv(x, units.cx, 4), MulDiv(y, units.cy, 8), MulDiv(x, units.cx, 4) + MulDiv(width, units.cx, 4),
                         MulDiv(y, units.cy, 8) + MulDiv(height, units.cy, 8)};
  const RECT actual = ClientRectOf(dialog, control);
  if (abs(actual.left - expected.left) > 1 || abs(actual.top - expected.top) > 1 ||
      abs(actual.right - expected.right) > 1 || abs(actual.bottom - expected.bottom) > 1)
    return "control " + std::to_string(id) + " at " + Describe(actual) + ", expected " + Describe(expected) +
           " (base units " + std::to_string(units.cx) + "x" + std::to_string(units.cy) + " at " +
           std::to_string(ScreenDpi()) + " dpi)";
  return "";
}

std::string CheckLayout(HWND dialog) {
  RECT client;
  GetClientRect(dialog, &client);
  std::vector<std::pair<HWND, RECT>> controls;
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    const RECT rect = ClientRectOf(dialog, child);
    if (rect.left < client.left || rect.top < client.top || rect.right > client.right || rect.bottom > client.bottom)
      return "control " + IdOf(child) + " at " + Describe(rect) + " leaves the client area " + Describe(client);
    controls.push_back({child, rect});
  }
  for (size_t i = 0; i < controls.size(); ++i) {
    for (size_t j = i + 1; j < controls.size(); ++j) {
      RECT overlap;
      if (IntersectRect(&overlap, &controls[i].second, &controls[j].second))
        return "controls " + IdOf(controls[i].first) + " " + Describe(controls[i].second) + " and " +
               IdOf(controls[j].first) + " " + Describe(controls[j].second) + " overlap";
    }
  }
  return "";
}

std::string CheckTextFits(HWND control) {
  if (control == nullptr) return "no control";
  char text[512] = "";
  GetWindowTextA(control, text, sizeof text);
  std::string shown;
  const bool prefixes = (GetWindowLongA(control, GWL_STYLE) & SS_NOPREFIX) == 0;
  for (const char* c = text; *c != '\0'; ++c) {
    if (prefixes && *c == '&' && c[1] != '\0') ++c;  // "&&" shows one "&", "&x" an underlined x
    shown += *c;
  }
  HDC dc = GetDC(nullptr);
  HFONT font = TemplateFont();
  HGDIOBJ previous = SelectObject(dc, font);
  SIZE extent = {0, 0};
  GetTextExtentPoint32A(dc, shown.c_str(), static_cast<int>(shown.size()), &extent);
  SelectObject(dc, previous);
  DeleteObject(font);
  ReleaseDC(nullptr, dc);
  RECT client;
  GetClientRect(control, &client);
  if (extent.cx > client.right)
    return "\"" + shown + "\" needs " + std::to_string(extent.cx) + " pixels, control " + IdOf(control) + " has " +
           std::to_string(client.right);
  return "";
}

std::string CheckImageFills(HWND control) {
  if (control == nullptr) return "no control";
  RECT rect;
  GetWindowRect(control, &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width < 10 || height < 10) return "control too small";
  HDC screen = GetDC(nullptr);
  auto distinct = [&](int x0, int y0, int dx, int dy, int count) {
    std::set<COLORREF> colours;
    for (int i = 0; i < count; ++i) colours.insert(GetPixel(screen, rect.left + x0 + i * dx, rect.top + y0 + i * dy));
    return colours.size();
  };
  const int inset = 4;
  const size_t left = distinct(inset, inset, 0, 1, height - 2 * inset);
  const size_t right = distinct(width - 1 - inset, inset, 0, 1, height - 2 * inset);
  const size_t top = distinct(inset, inset, 1, 0, width - 2 * inset);
  const size_t bottom = distinct(inset, height - 1 - inset, 1, 0, width - 2 * inset);
  ReleaseDC(nullptr, screen);
  if (left < 2 || right < 2 || top < 2 || bottom < 2)
    return "the image of control " + IdOf(control) + " (" + std::to_string(width) + "x" + std::to_string(height) +
           ") leaves a plain band: colours at the left, right, top, bottom edge " + std::to_string(left) + " " +
           std::to_string(right) + " " + std::to_string(top) + " " + std::to_string(bottom);
  return "";
}

}  // namespace scale
