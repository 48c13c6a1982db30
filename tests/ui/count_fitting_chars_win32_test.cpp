// How many path characters fit into real controls, measured under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "ui/path_display.h"

namespace {

class FittingTest : public ::testing::Test {
 protected:
  FittingTest() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "ZFittingTest";
    RegisterClassA(&windowClass);
    dialog_ = CreateWindowExA(0, "ZFittingTest", "", WS_OVERLAPPEDWINDOW, 0, 0, 900, 200, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    Field(1014, 200);
    Field(1015, 400);
    Field(1016, 800);
  }
  ~FittingTest() override { DestroyWindow(dialog_); }
  void Field(int id, int width) {
    CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, id - 1014, width, 20, dialog_,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
  }
  HWND dialog_;
};

TEST_F(FittingTest, CountGrowsWithTheControlsWidth) {
  const int narrow = CountFittingChars(dialog_, 1014);
  const int wide = CountFittingChars(dialog_, 1015);
  const int wider = CountFittingChars(dialog_, 1016);
  ASSERT_GT(narrow, 0);
  // (2 * W) / w - 3: doubling the width doubles the count plus three, up to the integer division.
  EXPECT_NEAR(wide + 3, 2 * (narrow + 3), 1);
  EXPECT_NEAR(wider + 3, 2 * (wide + 3), 1);
  // A 200-pixel field holds more than a handful and fewer than one character per pixel.
  EXPECT_GT(narrow, 10);
  EXPECT_LT(narrow, 200);
}

// The control's font decides, as at a display scale of 200 % where the dialog font is twice as high.
TEST_F(FittingTest, MeasuresWithTheControlsOwnFont) {
  const int withDefaultFont = CountFittingChars(dialog_, 1015);
  HFONT small = CreateFontA(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Tahoma");
  HFONT large = CreateFontA(-22, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Tahoma");
  HWND field = GetDlgItem(dialog_, 1015);
  SendMessageA(field, WM_SETFONT, reinterpret_cast<WPARAM>(small), FALSE);
  const int withSmallFont = CountFittingChars(dialog_, 1015);
  SendMessageA(field, WM_SETFONT, reinterpret_cast<WPARAM>(large), FALSE);
  const int withLargeFont = CountFittingChars(dialog_, 1015);
  SendMessageA(field, WM_SETFONT, 0, FALSE);
  DeleteObject(small);
  DeleteObject(large);
  EXPECT_GT(withSmallFont, withDefaultFont);  // the bold system font is wider than an 8-point text
  // Twice the height, about twice the width per character: about half the count.
  EXPECT_NEAR(withLargeFont + 3, (withSmallFont + 3) / 2, (withSmallFont + 3) / 8);
}

// Pixels the control's text needs with the control's font, and the text.
int TextWidth(HWND control, std::string* text) {
  char buffer[512] = "";
  GetWindowTextA(control, buffer, sizeof buffer);
  *text = buffer;
  HDC dc = GetDC(control);
  HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0));
  HGDIOBJ previous = font != nullptr ? SelectObject(dc, font) : nullptr;
  SIZE extent = {0, 0};
  GetTextExtentPoint32A(dc, buffer, static_cast<int>(text->size()), &extent);
  if (previous != nullptr) SelectObject(dc, previous);
  ReleaseDC(control, dc);
  return extent.cx;
}

int ClientWidth(HWND control) {
  RECT client;
  GetClientRect(control, &client);
  return client.right;
}

// The count is an estimate for an average text: a path of wide capitals within it is wider than
// the field, and a static field wraps it at a blank, hiding the words behind. Shown fitted, the
// path loses its middle to an ellipsis and keeps its end.
TEST_F(FittingTest, WideCapitalsWithinTheCountAreShortenedUntilTheyFit) {
  HWND field = GetDlgItem(dialog_, 1015);
  const int count = CountFittingChars(dialog_, 1015);
  std::string path = "C:\\ZELVAR\\WARTUNG";
  while (path.size() + 4 <= static_cast<size_t>(count)) path += " MWM";
  std::string shown;
  ShowCompactPath(dialog_, 1015, path.c_str(), static_cast<signed char>(count));
  ASSERT_GT(TextWidth(field, &shown), ClientWidth(field)) << "the path is no wider than the field: " << shown;
  ASSERT_EQ(shown, path);

  ShowFittedPath(dialog_, 1015, path.c_str(), static_cast<signed char>(count));
  EXPECT_LE(TextWidth(field, &shown), ClientWidth(field)) << shown;
  ASSERT_EQ(shown.compare(0, 6, "C\\...\\"), 0) << shown;
  EXPECT_EQ(path.compare(path.size() - (shown.size() - 6), std::string::npos, shown.substr(6)), 0) << shown;

  // A path that fits is shown as it is, also without a count.
  ShowFittedPath(dialog_, 1015, "C:\\zelvar", 0);
  TextWidth(field, &shown);
  EXPECT_EQ(shown, "C:\\zelvar");
}

// An edit field keeps its margins free: the path must fit between them.
TEST_F(FittingTest, EditFieldIsMeasuredWithoutItsMargins) {
  HWND edit = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | ES_READONLY | ES_LOWERCASE, 0,
                              40, 400, 20, dialog_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(1025)),
                              GetModuleHandleA(nullptr), nullptr);
  SendMessageA(edit, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELONG(60, 60));
  const std::string root = "\\\\SRV\\zelvar\\ARCHIVE\\SYSTEM\\Wartungsvertraege Mandant MWM";
  ShowFittedPath(dialog_, 1025, root.c_str(), 0);
  std::string shown;
  EXPECT_LE(TextWidth(edit, &shown), ClientWidth(edit) - 120) << shown;
  EXPECT_EQ(shown.compare(0, 5, "\\...\\"), 0) << shown;
  EXPECT_EQ(shown.substr(shown.size() - 11), "mandant mwm") << shown;
  DestroyWindow(edit);
}

TEST_F(FittingTest, MissingControlGivesZero) {
  EXPECT_EQ(CountFittingChars(dialog_, 4242), 0);
  EXPECT_EQ(CountFittingChars(nullptr, 1014), 0);
}

}  // namespace
