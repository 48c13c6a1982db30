// Path and string utilities: splitting, joining, extensions, path forms, bounds and case folding.
#include "discovery/path_utils.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/test_hooks.h"
#endif

namespace {

// A destination with guard bytes on both sides: whatever an operation writes must stay inside.
struct Guarded {
  static constexpr size_t kGuard = 16;
  char bytes[kGuard + 600 + kGuard];
  size_t size;
  explicit Guarded(size_t size) : size(size) { std::memset(bytes, '#', sizeof bytes); }
  char* dst() { return bytes + kGuard; }
  bool Intact() const {
    for (size_t i = 0; i < sizeof bytes; ++i) {
      if ((i < kGuard || i >= kGuard + size) && bytes[i] != '#') return false;
    }
    return true;
  }
};

std::string Join(const char* a, const char* b, size_t size = kPathSize) {
  char dst[600];
  return JoinPath(dst, a, b, size);
}
std::string Dir(const char* s) {
  char dst[300];
  return DirectoryPart(dst, s);
}
std::string Name(const char* s) {
  char dst[300];
  return FileNamePart(dst, s);
}
std::string SetExt(const char* s, const char* e) {
  char dst[300];
  return SetExtension(dst, s, e);
}
std::string DefaultExt(const char* s, const char* e) {
  char dst[300];
  return DefaultExtension(dst, s, e);
}
std::string Numbered(const char* s, int n) {
  char dst[300];
  return NumberedExtension(dst, s, n);
}
std::string ToVolume(const char* s) {
  char dst[300];
  UncToVolumeForm(s, dst);
  return dst;
}
std::string ToUnc(const char* s) {
  char dst[300];
  VolumeToUncForm(s, dst);
  return dst;
}

TEST(PathUtils, BoundedCopiesCutAndNeverOverrun) {
  std::string longText(400, 'x');
  Guarded g(261);
  CopyBounded(g.dst(), 260, longText.c_str());
  EXPECT_EQ(std::strlen(g.dst()), 260u);
  EXPECT_TRUE(g.Intact());
  Guarded h(81);
  CopyToSize(h.dst(), 81, longText.c_str());
  EXPECT_EQ(std::strlen(h.dst()), 80u);
  EXPECT_TRUE(h.Intact());
  Guarded one(1);
  CopyToSize(one.dst(), 1, "abc");
  EXPECT_STREQ(one.dst(), "");
  EXPECT_TRUE(one.Intact());
  Guarded none(0);
  CopyToSize(none.dst(), 0, "abc");
  EXPECT_TRUE(none.Intact());
  char same[32] = "C:\\abc\\def";
  EXPECT_STREQ(CopyBounded(same, 6, same), "C:\\abc");
}

TEST(PathUtils, ScanningHelpers) {
  const char* text = "  \tword rest";
  EXPECT_STREQ(SkipChars(text, " \t"), "word rest");
  EXPECT_STREQ(SkipChars("   ", " "), "");
  EXPECT_STREQ(FindFirstOf("abc\\def/g", "/\\"), "\\def/g");
  EXPECT_STREQ(FindFirstOf("abc", "/\\"), "");
  EXPECT_STREQ(SkipPastSeparatorRun("-H123  -Z x", " "), "-Z x");
  char dst[16];
  EXPECT_STREQ(CopyUntilAny(dst, "server\\share", "\\/"), "\\share");
  EXPECT_STREQ(dst, "server");
  EXPECT_STREQ(CopyUntilAny(dst, "plain", "\\/"), "");
  EXPECT_STREQ(dst, "plain");
  char empty[1] = "";
  EXPECT_EQ(LastChar(empty), empty);
  char path[] = "C:\\a";
  EXPECT_EQ(LastChar(path), path + 3);
}

TEST(PathUtils, TrailingBackslash) {
  char path[kPathSize] = "";
  EXPECT_STREQ(EnsureTrailingBackslash(path), "\\");
  EXPECT_STREQ(EnsureTrailingBackslash(path), "\\");
  std::strcpy(path, "C:");
  EXPECT_STREQ(EnsureTrailingBackslash(path), "C:\\");
  // A full buffer gets no backslash and is not written past.
  Guarded g(kPathSize);
  std::memset(g.dst(), 'a', 260);
  g.dst()[260] = '\0';
  EnsureTrailingBackslash(g.dst());
  EXPECT_EQ(std::strlen(g.dst()), 260u);
  EXPECT_TRUE(g.Intact());
  char dst[16];
  EXPECT_STREQ(StripTrailingBackslash(dst, "C:\\a\\\\"), "C:\\a\\");
  EXPECT_STREQ(StripTrailingBackslash(dst, "C:\\a"), "C:\\a");
  EXPECT_STREQ(StripTrailingBackslash(dst, ""), "");
}

TEST(PathUtils, JoinPathPutsExactlyOneBackslash) {
  EXPECT_EQ(Join("C:\\a\\", "\\b"), "C:\\a\\b");
  EXPECT_EQ(Join("C:\\a", "b"), "C:\\a\\b");
  EXPECT_EQ(Join("C:\\a", "\\b"), "C:\\a\\b");
  EXPECT_EQ(Join("C:", "b"), "C:\\b");  // a drive-relative path becomes rooted
  EXPECT_EQ(Join("\\\\SRV\\SYS", "zelvar\\archive.dir"), "\\\\SRV\\SYS\\zelvar\\archive.dir");
  EXPECT_EQ(Join("", "b"), "\\b");
  char same[kPathSize] = "C:\\zelvar";
  EXPECT_STREQ(JoinPath(same, same, "\\ARCHIVE"), "C:\\zelvar\\ARCHIVE");
  // Cut to the destination size; nothing written behind it.
  Guarded g(10);
  JoinPath(g.dst(), "C:\\abc", "defghijk", 10);
  EXPECT_STREQ(g.dst(), "C:\\abc\\de");
  EXPECT_TRUE(g.Intact());
  std::string root(259, 'r');
  Guarded full(kPathSize);
  JoinPath(full.dst(), root.c_str(), "tail");
  EXPECT_EQ(std::string(full.dst()), root + "\\");
  EXPECT_TRUE(full.Intact());
}

TEST(PathUtils, DirectoryAndFileNameParts) {
  EXPECT_EQ(Dir("C:\\a\\b"), "C:\\a");
  EXPECT_EQ(Dir("C:\\b"), "C:");
  EXPECT_EQ(Dir("\\b"), "\\b");  // a separator in the first position is never cut
  EXPECT_EQ(Dir("name"), "name");
  EXPECT_EQ(Dir("a/b"), "a");
  EXPECT_EQ(Dir("SRV\\VOL:dir"), "SRV\\VOL");
  EXPECT_EQ(Dir("C:\\a\\"), "C:\\a");
  EXPECT_EQ(Name("C:name"), "name");
  EXPECT_EQ(Name("C:\\zelvar\\brannix.ini"), "brannix.ini");
  EXPECT_EQ(Name("dir/file.txt"), "file.txt");
  EXPECT_EQ(Name("bare"), "bare");
  EXPECT_EQ(Name("\\b"), "\\b");
  EXPECT_EQ(Name("C:\\a\\"), "");
  char same[32] = "C:\\a\\b.txt";
  EXPECT_STREQ(FileNamePart(same, same), "b.txt");
  std::strcpy(same, "C:\\a\\b.txt");
  EXPECT_STREQ(DirectoryPart(same, same), "C:\\a");
}

TEST(PathUtils, Extensions) {
  const char* dotted = "C:\\dir.old\\file";
  EXPECT_EQ(ExtensionStart(dotted), dotted + std::strlen(dotted));
  const char* twoDots = "a.b.c";
  EXPECT_EQ(ExtensionStart(twoDots), twoDots + 3);
  const char* slash = "a.b/c";
  EXPECT_EQ(ExtensionStart(slash), slash + 5);
  EXPECT_EQ(SetExt("file.txt", ".bak"), "file.bak");
  EXPECT_EQ(SetExt("file.txt", "bak"), "file.bak");
  EXPECT_EQ(SetExt("file.txt", ""), "file");
  EXPECT_EQ(SetExt("file", "ini"), "file.ini");
  EXPECT_EQ(SetExt(dotted, "x"), "C:\\dir.old\\file.x");
  EXPECT_EQ(DefaultExt("C:\\dir.old\\file", "ini"), "C:\\dir.old\\file.ini");
  EXPECT_EQ(DefaultExt("C:\\a\\file.txt", "ini"), "C:\\a\\file.txt");
  EXPECT_EQ(DefaultExt("C:\\x\\a.b/c", "ini"), "C:\\x\\a.b/c");  // "/" does not count here
  EXPECT_EQ(Numbered("C:\\zelvar\\archive", 7), "C:\\zelvar\\archive.007");
  EXPECT_EQ(Numbered("C:\\dir.old\\file", 7), "C:\\dir.old\\file.007");
  EXPECT_EQ(Numbered("C:\\a\\x.old", 1), "C:\\a\\x.001");
  EXPECT_EQ(Numbered("C:\\a\\x", 999), "C:\\a\\x.999");
  Guarded g(8);
  NumberedExtension(g.dst(), "abcdef", 12, 8);
  EXPECT_STREQ(g.dst(), "abcdef.");
  EXPECT_TRUE(g.Intact());
}

TEST(PathUtils, PathForms) {
  EXPECT_TRUE(IsDriveForm("C:\\x"));
  EXPECT_FALSE(IsDriveForm("C"));
  EXPECT_FALSE(IsDriveForm(""));
  EXPECT_TRUE(IsVolumeForm("SRV\\SYS:zelvar"));
  EXPECT_FALSE(IsVolumeForm("C:\\x"));
  EXPECT_FALSE(IsVolumeForm("C:\\x:y"));
  EXPECT_FALSE(IsVolumeForm("\\\\SRV\\SYS"));

  EXPECT_EQ(ToVolume("\\\\SRV\\SYS\\zelvar\\archive"), "SRV\\SYS:zelvar\\archive");
  EXPECT_EQ(ToVolume("\\\\SRV\\SYS"), "SRV\\SYS");
  EXPECT_EQ(ToVolume("\\\\SRV\\SYS\\"), "SRV\\SYS:");
  EXPECT_EQ(ToVolume("\\\\SRV/SYS/a/b"), "SRV\\SYS:a/b");
  EXPECT_EQ(ToVolume("C:\\x"), "C:\\x");
  EXPECT_EQ(ToVolume("\\single"), "\\single");

  EXPECT_EQ(ToUnc("SRV\\SYS:zelvar\\archive"), "\\\\SRV\\SYS\\zelvar\\archive");
  EXPECT_EQ(ToUnc("SRV\\SYS:archive"), "\\\\SRV\\SYS\\archive");
  EXPECT_EQ(ToUnc("SRV\\SYS:\\archive"), "\\\\SRV\\SYS\\archive");
  EXPECT_EQ(ToUnc("SRV/SYS:a/b"), "\\\\SRV\\SYS\\a\\b");
  EXPECT_EQ(ToUnc("C:\\x"), "C:\\x");
  EXPECT_EQ(ToUnc("\\\\SRV\\SYS\\x"), "\\\\SRV\\SYS\\x");
  EXPECT_EQ(ToUnc("plain\\dir"), "plain\\dir");

  // In place, and both ways round.
  char path[kPathSize] = "\\\\SRV\\SYS\\zelvar\\archive";
  UncToVolumeForm(path, path);
  EXPECT_STREQ(path, "SRV\\SYS:zelvar\\archive");
  VolumeToUncForm(path, path);
  EXPECT_STREQ(path, "\\\\SRV\\SYS\\zelvar\\archive");

  // The UNC form is two characters longer: a full destination is cut, never overrun.
  std::string volume = "SRV\\SYS:" + std::string(250, 'd');
  Guarded g(kPathSize);
  VolumeToUncForm(volume.c_str(), g.dst());
  EXPECT_EQ(std::strlen(g.dst()), 260u);
  EXPECT_EQ(std::string(g.dst(), 11), "\\\\SRV\\SYS\\d");
  EXPECT_TRUE(g.Intact());
  Guarded small(5);
  UncToVolumeForm("\\\\SRV\\SYS\\x", small.dst(), 5);
  EXPECT_STREQ(small.dst(), "SRV\\");
  EXPECT_TRUE(small.Intact());
}

TEST(PathUtils, CaseInsensitiveComparisons) {
  EXPECT_TRUE(EqualNoCase("C:\\Zelvar\\ARCHIVE", "c:\\zelvar\\archive"));
  EXPECT_FALSE(EqualNoCase("archive", "archiv"));
  EXPECT_FALSE(EqualNoCase("archiv", "archive"));
  EXPECT_TRUE(EqualNoCase("", ""));
  // Code page 1252: the accented letters fold, the multiplication and division signs do not.
  EXPECT_TRUE(EqualNoCase("\xC4RGER \xD6L \xDC" "BER", "\xE4rger \xF6l \xFC" "ber"));
  EXPECT_TRUE(EqualNoCase("\xDE", "\xFE"));
  EXPECT_FALSE(EqualNoCase("\xD7", "\xF7"));
  EXPECT_FALSE(EqualNoCase("\xDF", "SS"));
  EXPECT_FALSE(EqualNoCase("[", "{"));  // not letters: 0x5B and 0x7B differ by 0x20 but do not fold
  EXPECT_FALSE(EqualNoCase("@", "`"));
  EXPECT_TRUE(StartsWithNoCase("@@setup_call -H1", "@@SETUP_CALL"));
  EXPECT_TRUE(StartsWithNoCase("abc", ""));
  EXPECT_FALSE(StartsWithNoCase("@@SETUP", "@@SETUP_CALL"));
  EXPECT_FALSE(StartsWithNoCase("-d", "-a"));
}

// ---- double-byte systems: 表 is 0x95 0x5C and ソ 0x83 0x5C in 932; 0x81 0x5C is one character in 936 ----
#define HYO "\x95\x5C"
#define SO "\x83\x5C"

// The system a double-byte test needs: natively the seam's model is switched, under Wine the
// locale it was started with must give that ANSI code page (else the test does not apply there).
bool OnCodePage(uint32_t codePage) {
#ifdef _WIN32
  return GetACP() == codePage;
#else
  OsSetDoubleByteCodePageForTests(codePage);
  return true;
#endif
}

struct DoubleByte : ::testing::Test {
  void TearDown() override {
#ifndef _WIN32
    OsSetDoubleByteCodePageForTests(0);
#endif
  }
};

// Splitting at the last separator: a trail byte 0x5C is never the last backslash.
TEST_F(DoubleByte, SplittingTakesWholeCharacters) {
  if (!OnCodePage(932)) GTEST_SKIP() << "needs ANSI code page 932";
  EXPECT_EQ(Dir("C:\\zelvar\\ARCHIVE\\" HYO "\\" SO "fto"), "C:\\zelvar\\ARCHIVE\\" HYO);
  EXPECT_EQ(Dir("C:\\ARCHIVE\\" HYO "calc\\" SO), "C:\\ARCHIVE\\" HYO "calc");
  EXPECT_EQ(Name("C:\\ARCHIVE\\" HYO "\\" SO), SO);
  EXPECT_EQ(Name("C:\\ARCHIVE\\" SO HYO), SO HYO);
  EXPECT_STREQ(LastComponent("x:\\a\\" HYO, CodePageOem), HYO);
  // The record name of a root: a backslash in front counts (a file name part keeps it).
  EXPECT_STREQ(LastComponent("\\" HYO, CodePageOem), HYO);
  EXPECT_EQ(Name("\\" HYO), "\\" HYO);
  char parent[kPathSize];
  ASSERT_EQ(ParentDirectory(parent, "C:\\ARCHIVE\\" HYO "\\" SO), 1);
  EXPECT_STREQ(parent, "C:\\ARCHIVE\\" HYO);
  ASSERT_EQ(ParentDirectory(parent, "C:\\ARCHIVE\\" SO "\\"), 1);
  EXPECT_STREQ(parent, "C:\\ARCHIVE");
  char path[kPathSize] = "C:\\" HYO;
  EXPECT_STREQ(EnsureTrailingBackslash(path), "C:\\" HYO "\\");
  EXPECT_STREQ(StripTrailingBackslash(path, "C:\\" SO), "C:\\" SO);
  EXPECT_STREQ(LastChar("a" SO), SO);
  EXPECT_EQ(EndsWithChar("C:\\" HYO, '\\'), 0);
}

// Looking for a separator, a colon or a dot from the front: the trail byte of a character is no
// such character, whatever byte it is (936 as well).
TEST_F(DoubleByte, SearchesStepOverCharacters) {
  if (!OnCodePage(936)) GTEST_SKIP() << "needs ANSI code page 936";
  EXPECT_STREQ(FindFirstOf("\x81\x5C" "a\\b", "\\"), "\\b");
  EXPECT_EQ(FindChar("ab\x81:", ':'), nullptr);
  EXPECT_STREQ(ExtensionStart("C:\\a\\n\x81."), "");
  EXPECT_EQ(DefaultExt("C:\\a\\n\x81.", "dat"), "C:\\a\\n\x81..dat");
  EXPECT_EQ(IsVolumeForm("\x81:\\a"), 0);
  EXPECT_EQ(ToVolume("\\\\SRV\\\x81\x5C\\dir"), "SRV\\\x81\x5C:dir");
  EXPECT_EQ(ToUnc("SRV\\\x81\x5C:dir"), "\\\\SRV\\\x81\x5C\\dir");
  EXPECT_STREQ(ShareRootEnd("\\\\\x81\x5C\\share\\dir"), "\\dir");
}

// A copy cut at the buffer's end keeps whole characters only.
TEST_F(DoubleByte, CopiesNeverKeepHalfACharacter) {
  if (!OnCodePage(932)) GTEST_SKIP() << "needs ANSI code page 932";
  char dst[8];
  EXPECT_STREQ(CopyBounded(dst, 4, "C:\\" HYO), "C:\\");
  EXPECT_STREQ(CopyToSize(dst, 6, "C:\\" HYO SO), "C:\\" HYO);
  EXPECT_EQ(WholeCharsLength("a" SO "b", 2), 1u);
  char joined[7];
  EXPECT_STREQ(JoinPath(joined, "C:", SO SO, sizeof joined), "C:\\" SO);
}

#ifdef _WIN32
// The folding matches what Windows does for the ANSI code page of this system, byte for byte: the
// German one (1252), and under a Polish locale 1250, where 0x9F (z acute) and 0xFF (the dot above)
// are no pair.
TEST(PathUtils, CaseFoldingMatchesCharUpper) {
  const char* page = std::getenv("Z_TEST_ANSI_CODE_PAGE");
  ASSERT_EQ(GetACP(), page != nullptr ? std::strtoul(page, nullptr, 10) : 1252ul)
      << "not the system the test was started for";
  char upper[256];
  for (int c = 1; c < 256; ++c) {
    char one[2] = {static_cast<char>(c), 0};
    CharUpperA(one);
    upper[c] = one[0];
  }
  for (int a = 1; a < 256; ++a) {
    for (int b = 1; b < 256; ++b) {
      char x[2] = {static_cast<char>(a), 0}, y[2] = {static_cast<char>(b), 0};
      ASSERT_EQ(EqualNoCase(x, y), upper[a] == upper[b] ? 1 : 0) << "bytes " << a << " and " << b;
    }
  }
}
#endif

}  // namespace
