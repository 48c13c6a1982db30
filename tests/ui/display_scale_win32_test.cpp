// The About banner and the icons at 100 % to 200 %, from the program's resources.
#include <windows.h>

#include <gtest/gtest.h>

#include "discovery/job_settings.h"
#include "ui/resource_ids.h"
#include "ui/sheet_win32.h"

namespace {

class DisplayScaleTest : public ::testing::Test {
 protected:
  DisplayScaleTest() { g_jobSettings.instance = GetModuleHandleA(nullptr); }
};

// Width of the icon image the system picks from the icon group for that size.
int PickedIconWidth(int iconId, int size) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC group = FindResourceA(module, MAKEINTRESOURCEA(iconId), MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
  if (group == nullptr) return 0;
  BYTE* directory = static_cast<BYTE*>(LockResource(LoadResource(module, group)));
  const int imageId = LookupIconIdFromDirectoryEx(directory, TRUE, size, size, LR_DEFAULTCOLOR);
  HRSRC image = FindResourceA(module, MAKEINTRESOURCEA(imageId), MAKEINTRESOURCEA(3));  // RT_ICON
  if (image == nullptr) return 0;
  const BITMAPINFOHEADER* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, image)));
  return header->biWidth;
}

// At 150 % and 200 % the system finds an image drawn for the size instead of stretching a smaller one.
TEST_F(DisplayScaleTest, IconsHoldImagesForEveryScale) {
  for (int size : {16, 24, 32, 48, 64}) EXPECT_EQ(PickedIconWidth(IDI_PROGRAM, size), size) << "program icon";
  for (int id : {IDI_CABINET_SMALL, IDI_FOLDER_OPEN}) {
    for (int size : {16, 24, 32}) EXPECT_EQ(PickedIconWidth(id, size), size) << "icon " << id;
  }
}

TEST_F(DisplayScaleTest, BannerFollowsTheScale) {
  struct Case {
    int dpi, width, height;
  };
  for (const Case& c : {Case{96, 400, 70}, Case{120, 500, 88}, Case{144, 600, 105}, Case{192, 800, 140}}) {
    HBITMAP banner = LoadBannerForDpi(c.dpi);
    ASSERT_NE(banner, nullptr) << c.dpi;
    BITMAP info;
    ASSERT_NE(GetObjectA(banner, sizeof info, &info), 0);
    EXPECT_EQ(info.bmWidth, c.width) << c.dpi << " dpi";
    EXPECT_EQ(info.bmHeight, c.height) << c.dpi << " dpi";
    DeleteObject(banner);
  }
}

TEST_F(DisplayScaleTest, IconsAreLoadedAtTheScaledSize) {
  for (int dpi : {96, 144, 192}) {
    ICONINFO info;
    ASSERT_TRUE(GetIconInfo(IconForDpi(IDI_PROGRAM, 32, dpi), &info));
    BITMAP mask;
    GetObjectA(info.hbmMask, sizeof mask, &mask);
    EXPECT_EQ(mask.bmWidth, ScaleForDpi(32, dpi));
    DeleteObject(info.hbmMask);
    if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
  }
}

}  // namespace
