// Images kept compressed among the program's resources: the banner's resource is the drawn banner,
// and a damaged or mis-sized resource is refused without writing past the bitmap.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tools/pack_image/packing.h"
#include "ui/packed_image.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadFile(const std::string& name) {
#ifdef _WIN32
  const std::string path = std::string("Z:") + Z_TEST_SOURCE_DIR + "/ui/images/" + name;
#else
  const std::string path = std::string(Z_TEST_SOURCE_DIR) + "/ui/images/" + name;
#endif
  Bytes bytes;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    int c;
    while ((c = std::fgetc(f)) != EOF) bytes.push_back(static_cast<uint8_t>(c));
    std::fclose(f);
  }
  return bytes;
}

void Put32(Bytes* b, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*b)[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// An 8-bit bitmap 5 pixels wide (rows padded to 8 bytes) and 3 high, 4 colours, in steep steps.
Bytes SmallBitmap() {
  Bytes b(40 + 4 * 4 + 8 * 3, 0);
  Put32(&b, 0, 40);
  Put32(&b, 4, 5);
  Put32(&b, 8, 3);
  b[12] = 1;   // planes
  b[14] = 8;   // bits per pixel
  Put32(&b, 32, 4);
  for (size_t i = 40; i < 56; ++i) b[i] = static_cast<uint8_t>(i * 37);
  const uint8_t rows[3][8] = {{0, 3, 1, 2, 3, 0, 0, 0}, {3, 3, 0, 1, 2, 0, 0, 0}, {2, 0, 3, 0, 1, 0, 0, 0}};
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 8; ++x) b[56 + 8 * y + x] = rows[y][x];
  }
  return b;
}

// The resource the program shows at 200 % unpacks to the bitmap tools/draw_images.py drew
// (ui/images/about_banner_2x.dcl is written from it by tools/pack_image).
TEST(PackedImageTest, TheBannerResourceHoldsTheDrawnBanner) {
  const Bytes drawn = ReadFile("about_banner_2x.bmp");
  const Bytes packed = ReadFile("about_banner_2x.dcl");
  ASSERT_GT(drawn.size(), 14u);
  ASSERT_FALSE(packed.empty());
  const Bytes expected(drawn.begin() + 14, drawn.end());
  ASSERT_EQ(PackedImageSize(packed.data(), packed.size()), expected.size());
  Bytes bitmap(expected.size());
  ASSERT_EQ(UnpackImage(packed.data(), packed.size(), bitmap.data(), bitmap.size()), 1);
  EXPECT_TRUE(bitmap == expected) << "ui/images/about_banner_2x.dcl is not the packed about_banner_2x.bmp";
}

TEST(PackedImageTest, AnImageComesBackWholeAndDamageIsRefused) {
  const Bytes original = SmallBitmap();
  const Bytes packed = PackImage(original.data(), original.size());
  ASSERT_FALSE(packed.empty());
  constexpr size_t kGuard = 64;
  const auto unpack = [&](const Bytes& resource, size_t capacity, Bytes* out) {
    out->assign(capacity + kGuard, 0xEE);
    const int ok = UnpackImage(resource.data(), resource.size(), out->data(), capacity);
    for (size_t i = capacity; i < out->size(); ++i) EXPECT_EQ((*out)[i], 0xEE) << "written beyond the bitmap at " << i;
    out->resize(capacity);
    return ok;
  };
  Bytes out;
  ASSERT_EQ(unpack(packed, original.size(), &out), 1);
  EXPECT_TRUE(out == original);  // padding bytes included: each row's differences restart at its first byte

  EXPECT_EQ(unpack(packed, original.size() - 1, &out), 0);  // a buffer too small
  Bytes longer = packed;                                       // the stream holds more than announced
  Put32(&longer, 0, static_cast<uint32_t>(original.size() - 8));
  EXPECT_EQ(unpack(longer, original.size() - 8, &out), 0);
  Bytes shorter = packed;                                      // the stream holds less than announced
  Put32(&shorter, 0, static_cast<uint32_t>(original.size() + 8));
  EXPECT_EQ(unpack(shorter, original.size() + 8, &out), 0);
  const Bytes cut(packed.begin(), packed.begin() + packed.size() / 2);
  EXPECT_EQ(unpack(cut, original.size(), &out), 0);

  Bytes deeper = original;  // 24 bits per pixel is not what the packed form holds
  deeper[14] = 24;
  EXPECT_TRUE(PackImage(deeper.data(), deeper.size()).empty());
  Bytes unfilled = original;  // rows that do not fill the bitmap exactly
  unfilled.push_back(0);
  EXPECT_EQ(ImagePixelsOffset(unfilled.data(), unfilled.size()), 0u);
}

}  // namespace
