// The About banner and the icons at 100 % to 200 %, from the program's resources.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

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

// The colours of a .bmp file of ui/images (8 bits per pixel), bottom row first, as 0x00RRGGBB.
std::vector<uint32_t> DrawnPixels(const char* name, int* width, int* height) {
  const std::string path = std::string("Z:") + Z_TEST_SOURCE_DIR + "/ui/images/" + name;
  std::vector<uint8_t> file;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    int c;
    while ((c = std::fgetc(f)) != EOF) file.push_back(static_cast<uint8_t>(c));
    std::fclose(f);
  }
  std::vector<uint32_t> pixels;
  if (file.size() < 54 + 1024) return pixels;
  const auto at = [&](size_t offset) { return file[offset] | file[offset + 1] << 8 | file[offset + 2] << 16; };
  *width = at(18);
  *height = at(22);
  const size_t stride = (*width + 3) & ~3, bits = at(10);
  for (int y = 0; y < *height; ++y) {
    for (int x = 0; x < *width; ++x) pixels.push_back(at(54 + 4 * file[bits + y * stride + x]));
  }
  return pixels;
}

// The banners the box shows at 100 % and 200 % are the drawn images, pixel for pixel (the one for
// 200 % is unpacked from its compressed resource).
TEST_F(DisplayScaleTest, BannersShowTheDrawnImages) {
  const struct {
    int dpi;
    const char* drawn;
  } cases[] = {{96, "about_banner.bmp"}, {192, "about_banner_2x.bmp"}};
  for (const auto& c : cases) {
    int width = 0, height = 0;
    const std::vector<uint32_t> expected = DrawnPixels(c.drawn, &width, &height);
    ASSERT_FALSE(expected.empty()) << c.drawn;
    HBITMAP banner = LoadBannerForDpi(c.dpi);
    ASSERT_NE(banner, nullptr) << c.dpi;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as in the file
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    std::vector<uint32_t> shown(expected.size());
    HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, banner, 0, height, shown.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    DeleteObject(banner);
    ASSERT_EQ(rows, height) << c.dpi;
    size_t differing = 0;
    for (size_t i = 0; i < shown.size(); ++i) differing += (shown[i] & 0xFFFFFF) != expected[i];
    EXPECT_EQ(differing, 0u) << c.dpi << " dpi: pixels unlike " << c.drawn;
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
