// How many path characters fit into real controls, measured under Wine.
#include <windows.h>

#include <gtest/gtest.h>

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

TEST_F(FittingTest, MissingControlGivesZero) {
  EXPECT_EQ(CountFittingChars(dialog_, 4242), 0);
  EXPECT_EQ(CountFittingChars(nullptr, 1014), 0);
}

}  // namespace
