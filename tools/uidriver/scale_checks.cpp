// Checks of a dialog at the display scale, from outside its process.
#include "scale_checks.h"

#include <cstdlib>
#include <set>
#include <vector>

#include "ui_probe.h"

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

bool IsEdit(HWND control) {
  char className[16] = "";
  GetClassNameA(control, className, sizeof className);
  return lstrcmpiA(className, "Edit") == 0;
}

// The width a control has for its text: an edit control keeps its margins free.
int TextRoom(HWND control) {
  RECT client;
  GetClientRect(control, &client);
  if (!IsEdit(control)) return client.right;
  const DWORD margins = static_cast<DWORD>(SendMessageA(control, EM_GETMARGINS, 0, 0));
  return client.right - LOWORD(margins) - HIWORD(margins);
}

std::string Lower(std::string text) {
  if (!text.empty()) CharLowerBuffA(&text[0], static_cast<DWORD>(text.size()));
  return text;
}

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
  // Through WM_GETTEXT: GetWindowText does not ask a control of another process, and an edit
  // control keeps its text to itself.
  const std::string text = probe::WindowText(control);
  std::string shown;
  const bool prefixes = !IsEdit(control) && (GetWindowLongA(control, GWL_STYLE) & SS_NOPREFIX) == 0;
  for (const char* c = text.c_str(); *c != '\0'; ++c) {
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
  const int room = TextRoom(control);
  if (extent.cx > room)
    return "\"" + shown + "\" needs " + std::to_string(extent.cx) + " pixels, control " + IdOf(control) + " has " +
           std::to_string(room);
  return "";
}

std::string CheckPathShown(HWND control, const std::string& path) {
  if (control == nullptr) return "no control";
  std::string text = probe::WindowText(control);
  std::string whole = path;
  if (IsEdit(control) && (GetWindowLongA(control, GWL_STYLE) & ES_LOWERCASE) != 0) {
    text = Lower(text);
    whole = Lower(whole);
  }
  if (text != whole) {
    // Shortened: a head of the path, the ellipsis, a tail of the path, and shorter than the path.
    const size_t at = text.find("\\...\\");
    if (at == std::string::npos)
      return "control " + IdOf(control) + " shows \"" + text + "\", neither \"" + whole +
             "\" nor shortened with an ellipsis";
    const std::string head = text.substr(0, at);
    const std::string tail = text.substr(at + 5);
    if (whole.compare(0, head.size(), head) != 0 || tail.size() > whole.size() ||
        whole.compare(whole.size() - tail.size(), tail.size(), tail) != 0 || text.size() >= whole.size())
      return "control " + IdOf(control) + " shows \"" + text + "\", not a shortened \"" + whole + "\"";
  }
  return CheckTextFits(control);
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
