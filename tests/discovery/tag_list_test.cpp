// Tagged text list: byte-exact results, and no byte touched outside the area whatever it holds.
#include "discovery/tag_list.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>

namespace {

// An area of `size` bytes between guard bytes.
struct Area {
  static constexpr size_t kGuard = 32;
  unsigned char bytes[kGuard + 300 + kGuard];
  size_t size;
  explicit Area(size_t size, const std::string& content = std::string("\0\0", 2)) : size(size) {
    std::memset(bytes, 0xA5, sizeof bytes);
    std::memset(bytes + kGuard, 0x77, size);  // old remains behind the list
    std::memcpy(bytes + kGuard, content.data(), std::min(content.size(), size));
  }
  char* area() { return reinterpret_cast<char*>(bytes + kGuard); }
  std::string Head(size_t n) { return std::string(area(), n); }
  bool GuardsIntact() const {
    for (size_t i = 0; i < sizeof bytes; ++i) {
      if ((i < kGuard || i >= kGuard + size) && bytes[i] != 0xA5) return false;
    }
    return true;
  }
};

std::string S(const char* bytes, size_t n) { return std::string(bytes, n); }

TEST(TagList, SetGetAndDeleteAreByteExact) {
  Area a(263);
  ASSERT_NE(SetTagText(a.area(), a.size, "connect", 90, 1), nullptr);
  char* tag = SetTagText(a.area(), a.size, "\\config", -1, 3);
  ASSERT_EQ(tag, a.area() + 10);
  ASSERT_NE(SetTagText(a.area(), a.size, "Titel", 95, 4), nullptr);
  EXPECT_EQ(a.Head(27), S("\0\1connect\0\3\\config\0\4Titel\0\0", 27));
  EXPECT_STREQ(GetTagText(a.area(), a.size, 3), "\\config");

  char out[4] = "zz";
  EXPECT_STREQ(GetTagText(a.area(), a.size, 3, out, sizeof out), "\\config");
  EXPECT_STREQ(out, "\\co");
  EXPECT_STREQ(GetTagText(a.area(), a.size, 9, out, sizeof out), "");
  EXPECT_STREQ(out, "");

  // Deleting the middle item closes the gap.
  DeleteTag(a.area(), a.size, 3);
  EXPECT_EQ(a.Head(18), S("\0\1connect\0\4Titel\0\0", 18));
  // Setting an existing tag removes it and appends the new text at the end.
  SetTagText(a.area(), a.size, "c2", 90, 1);
  EXPECT_EQ(a.Head(13), S("\0\4Titel\0\1c2\0\0", 13));
  // An empty text removes the tag.
  EXPECT_NE(SetTagText(a.area(), a.size, "", 90, 4), nullptr);
  EXPECT_EQ(a.Head(6), S("\0\1c2\0\0", 6));
  DeleteTag(a.area(), a.size, 7);  // absent: nothing changes
  EXPECT_EQ(a.Head(6), S("\0\1c2\0\0", 6));
  DeleteTag(a.area(), a.size, 1);
  EXPECT_EQ(a.Head(2), S("\0\0", 2));
  EXPECT_TRUE(a.GuardsIntact());
}

TEST(TagList, LengthLimitAndFit) {
  Area a(263);
  std::string longText(200, 'n');
  SetTagText(a.area(), a.size, longText.c_str(), 90, 1);
  EXPECT_EQ(std::strlen(GetTagText(a.area(), a.size, 1)), 90u);
  // The item fits exactly when end mark offset + length + 4 <= size: 92 + 167 + 4 = 263.
  std::string exact(167, 'p'), tooLong(168, 'p');
  EXPECT_EQ(SetTagText(a.area(), a.size, tooLong.c_str(), -1, 3), nullptr);
  EXPECT_EQ(a.Head(94), S("\0\1", 2) + std::string(90, 'n') + S("\0\0", 2));
  EXPECT_NE(SetTagText(a.area(), a.size, exact.c_str(), -1, 3), nullptr);
  EXPECT_EQ(a.Head(263).substr(259), S("pp\0\0", 4));
  EXPECT_EQ(a.area()[261], 0);
  EXPECT_EQ(a.area()[262], 0);
  EXPECT_TRUE(a.GuardsIntact());
}

TEST(TagList, OverflowRemovesTheOldItemAndWritesNothingOutside) {
  Area a(20, S("\0\1ab\0\3old\0\0", 11));
  std::string big(40, 'x');
  EXPECT_EQ(SetTagText(a.area(), a.size, big.c_str(), -1, 3), nullptr);
  EXPECT_STREQ(GetTagText(a.area(), a.size, 3), "");
  EXPECT_EQ(a.Head(6), S("\0\1ab\0\0", 6));
  EXPECT_TRUE(a.GuardsIntact());
}

TEST(TagList, MissingEndMarkIsRepaired) {
  // Items and then no end mark at all: the walk writes one at size - 2 and still finds items.
  std::string content = S("\0\1ab\0\2cd", 8) + std::string(40, 'z');
  Area a(24, content);
  EXPECT_STREQ(FindTag(a.area(), a.size, 1), "ab");
  char* text = FindTag(a.area(), a.size, 2);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::string(text), "cd" + std::string(14, 'z'));  // cut at the end mark
  EXPECT_EQ(a.area()[22], 0);
  EXPECT_EQ(a.area()[23], 0);
  Area b(24, content);
  EXPECT_EQ(FindTag(b.area(), b.size, 5), nullptr);
  EXPECT_EQ(b.Head(24).substr(22), S("\0\0", 2));
  EXPECT_TRUE(a.GuardsIntact());
  EXPECT_TRUE(b.GuardsIntact());
  // Bytes behind the end mark are never looked at.
  Area c(30, S("\0\0\0\1hidden\0\0", 12));
  EXPECT_EQ(FindTag(c.area(), c.size, 1), nullptr);
}

TEST(TagList, DeleteOfACutTextStaysInside) {
  Area a(16, S("\0\1ab\0\3", 6) + std::string(20, 'q'));
  DeleteTag(a.area(), a.size, 3);
  EXPECT_EQ(a.Head(6), S("\0\1ab\0\0", 6));
  EXPECT_STREQ(GetTagText(a.area(), a.size, 3), "");
  EXPECT_TRUE(a.GuardsIntact());
}

TEST(TagList, TinyAreasAndTagsInTheReservedBytes) {
  Area zero(0), one(1), two(2, "xy");
  EXPECT_EQ(FindTag(zero.area(), 0, 1), nullptr);
  EXPECT_EQ(SetTagText(one.area(), 1, "a", -1, 1), nullptr);
  EXPECT_EQ(SetTagText(two.area(), 2, "a", -1, 1), nullptr);
  EXPECT_EQ(two.Head(2), S("\0\0", 2));
  EXPECT_TRUE(zero.GuardsIntact() && one.GuardsIntact() && two.GuardsIntact());
  // A tag byte in the reserved end mark, with no terminator behind it, is not an item.
  Area r(8, S("abcde\0\1z", 8));
  EXPECT_EQ(FindTag(r.area(), r.size, 1), nullptr);
  EXPECT_EQ(r.Head(8), S("abcde\0\0\0", 8));
  EXPECT_TRUE(r.GuardsIntact());
}

// Whatever the area holds: every result stays inside the area, and no guard byte changes.
TEST(TagList, RandomAreasNeverTouchOutside) {
  std::mt19937 random(1234);
  for (int round = 0; round < 20000; ++round) {
    size_t size = random() % 40;
    std::string content(size, '\0');
    for (char& c : content) c = static_cast<char>(random() % 4 == 0 ? 0 : random() % 5);
    Area a(size, content);
    unsigned char tag = static_cast<unsigned char>(random() % 5);
    std::string text(random() % 12, 't');
    switch (random() % 3) {
      case 0: {
        char* found = FindTag(a.area(), size, tag);
        if (found != nullptr) {
          ASSERT_GE(found, a.area());
          ASSERT_LT(found + std::strlen(found), a.area() + size);
        }
        break;
      }
      case 1: DeleteTag(a.area(), size, tag); break;
      default: {
        char* item = SetTagText(a.area(), size, text.c_str(), -1, tag);
        if (item != nullptr && !text.empty()) {
          ASSERT_EQ(static_cast<unsigned char>(*item), tag);
          ASSERT_STREQ(item + 1, text.c_str());
        }
      }
    }
    ASSERT_TRUE(a.GuardsIntact()) << "round " << round;
  }
}

}  // namespace
