// Path compaction for fixed-width fields, and showing a compacted path in a window.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "tests/engine/extraction_support.h"
#include "ui/path_display.h"
#ifdef _WIN32
#include <windows.h>
#else
#include "platform/test_hooks.h"
#endif

namespace {

std::string Compact(const std::string& path, signed char maximum) {
  char buffer[300];
  return CompactPath(buffer, path.c_str(), maximum);
}

TEST(CompactPathTest, Examples) {
  EXPECT_EQ(Compact("D:\\Server\\archive\\Kunden\\2004\\rechnungen.dat", 30), "D\\...\\2004\\rechnungen.dat");
  EXPECT_EQ(Compact("\\\\srv\\vol\\archive\\Kunden\\2004\\rechnungen.dat", 30), "\\...\\2004\\rechnungen.dat");
  EXPECT_EQ(Compact("D:\\Server\\archive\\Kunden\\2004\\rechnungen.dat", 20), "D:\\Server\\archive\\Ku");
  EXPECT_EQ(Compact("C:\\short", 30), "C:\\short");
  EXPECT_EQ(Compact(std::string(30, 'x'), 30), std::string(30, 'x'));
  EXPECT_EQ(Compact(std::string(40, 'x'), 30), std::string(30, 'x'));  // no separator: cut
  // A long head is cut to m - 17 characters.
  EXPECT_EQ(Compact(std::string(40, 'h') + "\\" + std::string(40, 't'), 30),
            std::string(13, 'h') + "\\...\\" + std::string(12, 't'));
  EXPECT_EQ(Compact("C:\\anything", 0), "");
  EXPECT_EQ(Compact("C:\\anything", -5), "");
}

TEST(CompactPathTest, NeverLongerThanTheMaximumAndWorksInPlace) {
  const std::string paths[] = {
      "D:\\Server\\archive\\Kunden\\2004\\rechnungen.dat",
      "\\\\srv\\vol\\" + std::string(200, 'a') + "\\b",
      "SRV\\VOL:zelvar\\ARCHIVE\\SYSTEM\\connect\\" + std::string(60, 'z'),
      "C:" + std::string(150, '\\'),
      std::string(100, 'n') + ":" + std::string(100, 'm') + "\\x\\y\\z",
  };
  for (const std::string& path : paths) {
    for (int m = 1; m <= 127; ++m) {
      char buffer[300];
      std::snprintf(buffer, sizeof buffer, "%s", path.c_str());
      const std::string separate = Compact(path, static_cast<signed char>(m));
      CompactPath(buffer, buffer, static_cast<signed char>(m));
      ASSERT_LE(std::strlen(buffer), static_cast<size_t>(m)) << path << " m=" << m;
      ASSERT_EQ(separate, buffer) << path << " m=" << m;
      if (path.size() <= static_cast<size_t>(m)) {
        ASSERT_EQ(path, buffer);
      }
    }
  }
}

// On a Japanese system (932; 表 is 0x95 0x5C, ソ 0x83 0x5C) every shortening keeps whole characters:
// the head is a start and the tail an end of the path that both fall between characters, so the
// shortened tail never begins on a trail byte.
TEST(CompactPathTest, DoubleByteCharactersStayWhole) {
#ifdef _WIN32
  if (GetACP() != 932) GTEST_SKIP() << "needs ANSI code page 932";
#else
  OsSetDoubleByteCodePageForTests(932);
#endif
  const std::string path =
      "C:\\zelvar\\ARCHIVE\\\x95\x5C\x8C\x76\x8E\x5A\\\x83\x5C\x83\x74\x83\x67\\\x95\x5C\x83\x5C\x95\x5C\x83\x5C"
      "\x95\x5C\x83\x5C\x95\x5C\x83\x5C\x95\x5C\x83\x5C\\\x83\x5C\x95\x5C.dat";
  std::set<size_t> boundaries;
  for (size_t at = 0; at <= path.size();) {
    boundaries.insert(at);
    const unsigned char c = static_cast<unsigned char>(path[at]);
    at += (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC) ? 2 : 1;
  }
  for (int m = 1; m < static_cast<int>(path.size()); ++m) {
    const std::string shown = Compact(path, static_cast<signed char>(m));
    const size_t ellipsis = shown.find("\\...\\");
    const std::string head = ellipsis == std::string::npos ? shown : shown.substr(0, ellipsis);
    ASSERT_EQ(path.compare(0, head.size(), head), 0) << "m=" << m;
    ASSERT_TRUE(boundaries.count(head.size())) << "head ends inside a character, m=" << m;
    if (ellipsis == std::string::npos) continue;
    const std::string tail = shown.substr(ellipsis + 5);
    ASSERT_EQ(path.compare(path.size() - tail.size(), tail.size(), tail), 0) << "m=" << m;
    ASSERT_TRUE(boundaries.count(path.size() - tail.size())) << "tail starts on a trail byte, m=" << m;
  }
#ifndef _WIN32
  OsSetDoubleByteCodePageForTests(0);
#endif
}

TEST(ShowCompactPathTest, ControlOrOwnTextCompactedOrNot) {
  ztest::MessageWindow window;
  const char* path = "D:\\Server\\archive\\Kunden\\2004\\rechnungen.dat";
  ShowCompactPath(window.control(), 0, path, 30);  // control id 0: the window's own text
  EXPECT_EQ(window.ControlText(), "D\\...\\2004\\rechnungen.dat");
  ShowCompactPath(window.control(), 0, path, 0);  // maximum 0: unchanged
  EXPECT_EQ(window.ControlText(), path);
  // A text beyond a path buffer is cut to 260 characters before it is compacted.
  const std::string huge = "C:\\" + std::string(300, 'q') + "\\end";
  ShowCompactPath(window.control(), 0, huge.c_str(), 100);
  EXPECT_EQ(window.ControlText(), Compact(huge.substr(0, 260), 100));
}

}  // namespace
