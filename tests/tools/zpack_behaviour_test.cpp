// zpack as its users meet it: names converted between UTF-8 and the packed file's code page, links
// and existing files in the output directory, a full file system, and the command-line conventions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mount.h>
#include <unistd.h>
#endif

#include "tools/zpack/pack_writer.h"
#include "tests/tools/zpack_run.h"
#include "tools/zpack/zpack_tool.h"
#ifndef _WIN32
#include "platform/test_hooks.h"
#endif

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

fs::path Fresh(const std::string& name) {
  fs::path dir = fs::temp_directory_path() / "zpack_behaviour" / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

void Put(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  ASSERT_TRUE(zpack::WriteWholeFile(path.string(), Bytes(text.begin(), text.end()))) << path;
}

std::string Get(const fs::path& path) {
  Bytes bytes;
  if (!zpack::ReadWholeFile(path.string(), &bytes)) return "<missing>";
  return std::string(bytes.begin(), bytes.end());
}

std::string PackedFile(const fs::path& path, const std::vector<std::pair<std::string, std::string>>& files) {
  std::vector<zpack::PackEntry> entries;
  for (const auto& f : files)
    entries.push_back(zpack::MakeFileEntry(f.first, Bytes(f.second.begin(), f.second.end()), ImplodeBinary, 4096, 0));
  zpack::TrailerInfo info;
  info.title = "T";
  info.subdirectory = "\\A";
  EXPECT_TRUE(zpack::WriteWholeFile(path.string(), zpack::BuildPackedFile(entries, info)));
  return path.string();
}

std::vector<std::string> Names(const fs::path& dir) {
  std::vector<std::string> names;
  for (auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().u8string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ZpackBehaviour, NamesGoIntoThePackedFileInItsCodePageAndComeBackAsUtf8) {
  fs::path dir = Fresh("codepage");
  Put(dir / "src" / fs::u8path(u8"\u00DCbersicht.txt"), "u");
  Put(dir / "src" / fs::u8path(u8"gr\u00F6\u00DFe.dat"), "g");
  std::string packed = (dir / fs::u8path(u8"Gr\u00F6\u00DFen.zpk")).string();
  ASSERT_EQ(Zpack({"create", packed, "--title", "T", "--subdir", "\\A", (dir / "src").string()}), 0);
  const std::string bytes = Get(fs::u8path(packed));
  EXPECT_NE(bytes.find("\\\xDC" "bersicht.txt"), std::string::npos);
  EXPECT_NE(bytes.find("\\gr\xF6\xDF" "e.dat"), std::string::npos);
  ASSERT_EQ(Zpack({"extract", packed, (dir / "out").string()}), 0);
  EXPECT_EQ(Names(dir / "out"), (std::vector<std::string>{u8"gr\u00F6\u00DFe.dat", u8"\u00DCbersicht.txt"}));
  testing::internal::CaptureStdout();
  EXPECT_EQ(Zpack({"list", packed}), 0);
  EXPECT_NE(testing::internal::GetCapturedStdout().find(u8"\\gr\u00F6\u00DFe.dat"), std::string::npos);
  testing::internal::CaptureStdout();
  EXPECT_EQ(Zpack({"verify", packed, (dir / "out").string()}), 0);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("2 entries checked: 0 missing, 0 changed, 0 type, 0 time"),
            std::string::npos);
#ifdef _WIN32
  // The seam takes ANSI names: one that code page cannot hold is refused by name, never opened as
  // its look-alike "c.zpk".
  fs::copy_file(fs::u8path(packed), dir / "c.zpk");
  fs::copy_file(fs::u8path(packed), dir / fs::u8path(u8"\u0109.zpk"));
  testing::internal::CaptureStderr();
  EXPECT_EQ(Zpack({"list", (dir / fs::u8path(u8"\u0109.zpk")).string()}), 1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find(u8"\u0109.zpk: its name cannot be written in the ANSI"),
            std::string::npos);
#endif

  // Another code page on request; a name the code page cannot hold is refused and nothing is written.
  ASSERT_EQ(Zpack({"extract", "--codepage", "1251", packed, (dir / "cyrillic").string()}), 0);
  EXPECT_EQ(Get(dir / "cyrillic" / fs::u8path(u8"\u042Cbersicht.txt")), "u");  // 0xDC in 1251
  Put(dir / "src" / fs::u8path(u8"\u0109.txt"), "c");
  std::string refused = (dir / "refused.zpk").string();
  testing::internal::CaptureStderr();
  EXPECT_EQ(Zpack({"create", refused, "--title", "T", "--subdir", "\\A", (dir / "src").string()}), 1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find(u8"\u0109.txt"), std::string::npos);
  EXPECT_FALSE(fs::exists(refused));

  // Bytes that are no character of the code page, and control characters, never reach the terminal raw.
  std::string odd = PackedFile(dir / "odd.zpk", {{"\\a\x81" "b\x1B" "c", "x"}});
  testing::internal::CaptureStdout();
  EXPECT_EQ(Zpack({"list", odd}), 0);
  std::string listing = testing::internal::GetCapturedStdout();
  EXPECT_NE(listing.find("\\a\\x81b\\x1Bc"), std::string::npos) << listing;
  EXPECT_EQ(listing.find('\x1B'), std::string::npos);
}

// A packed file made on a Japanese (932) or Chinese (936) system: names whose characters end in the
// byte 0x5C (表, ソ in 932; 乗, 誠 in 936) are levels of their own, and come back whole.
TEST(ZpackBehaviour, DoubleByteNamesSplitByWholeCharacters) {
  struct Case {
    const char* codePage;
    const char* level;  // UTF-8
    const char* leaf;
    const char* packedLevel;  // in the code page
  };
  for (const Case& c : {Case{"932", u8"\u8868\u8a08\u7b97", u8"\u30bd\u30d5\u30c8.txt", "\\\x95\x5C\x8C\x76\x8E\x5A\\"},
                        Case{"936", u8"\u4e57\u8aa0", u8"\u8aa0\u4e57.txt", "\\\x81\x5C\xD5\x5C\\"}}) {
    fs::path dir = Fresh(std::string("dbcs") + c.codePage);
    Put(dir / "src" / fs::u8path(c.level) / fs::u8path(c.leaf), "x");
    const std::string packed = (dir / "p.zpk").string();
    ASSERT_EQ(Zpack({"create", packed, "--codepage", c.codePage, "--title", "T", "--subdir",
                     std::string("\\ARCHIVE\\") + c.level, (dir / "src").string()}), 0);
    EXPECT_NE(Get(packed).find(c.packedLevel), std::string::npos) << c.codePage;
    testing::internal::CaptureStdout();
    EXPECT_EQ(Zpack({"list", "--codepage", c.codePage, packed}), 0);
    EXPECT_NE(testing::internal::GetCapturedStdout().find(std::string("\\") + c.level + "\\" + c.leaf), std::string::npos);
    ASSERT_EQ(Zpack({"extract", "--codepage", c.codePage, packed, (dir / "out").string()}), 0);
    EXPECT_EQ(Get(dir / "out" / fs::u8path(c.level) / fs::u8path(c.leaf)), "x") << c.codePage;
#ifdef _WIN32
    // verify reads the tree through the system's ANSI names: only on a system of that code page.
    if (GetACP() != static_cast<UINT>(std::atoi(c.codePage))) continue;
#endif
    testing::internal::CaptureStdout();
    EXPECT_EQ(Zpack({"verify", "--codepage", c.codePage, "--root", "C:\\ARCHIVE\\x", packed, (dir / "out").string()}),
              0);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("2 entries checked: 0 missing, 0 changed"), std::string::npos);
  }
#ifndef _WIN32
  OsSetDoubleByteCodePageForTests(0);  // natively a double-byte --codepage also set the seam's model
#endif
}

TEST(ZpackBehaviour, ExistingFilesAreReplacedOnlyWithOverwrite) {
  fs::path dir = Fresh("overwrite");
  std::string packed = PackedFile(dir / "p.zpk", {{"\\a.txt", "new a"}, {"\\b.txt", "new b"}});
  fs::path out = dir / "out";
  Put(out / "b.txt", "local b");
  EXPECT_EQ(Zpack({"extract", packed, out.string()}), 1);
  EXPECT_EQ(Get(out / "a.txt"), "<missing>");  // refused before anything was written
  EXPECT_EQ(Get(out / "b.txt"), "local b");
  EXPECT_EQ(Zpack({"extract", "--overwrite", packed, out.string()}), 0);
  EXPECT_EQ(Get(out / "a.txt"), "new a");
  EXPECT_EQ(Get(out / "b.txt"), "new b");
}

#ifndef _WIN32
TEST(ZpackBehaviour, ExtractionNeverWritesThroughALinkAlreadyThere) {
  fs::path dir = Fresh("links");
  std::string packed =
      PackedFile(dir / "p.zpk", {{"\\sub\\victim.txt", "evil"}, {"\\file.txt", "evil"}, {"\\ok.txt", "fine"}});
  Put(dir / "elsewhere" / "victim.txt", "precious");
  Put(dir / "elsewhere" / "file.txt", "precious");
  fs::path out = dir / "out";
  fs::create_directories(out);
  fs::create_directory_symlink(dir / "elsewhere", out / "sub");
  fs::create_symlink(dir / "elsewhere" / "file.txt", out / "file.txt");
  testing::internal::CaptureStderr();
  EXPECT_EQ(Zpack({"extract", "--overwrite", packed, out.string()}), 1);
  std::string messages = testing::internal::GetCapturedStderr();
  EXPECT_NE(messages.find("sub/victim.txt: refused"), std::string::npos) << messages;
  EXPECT_NE(messages.find("file.txt: refused"), std::string::npos) << messages;
  EXPECT_EQ(Get(dir / "elsewhere" / "victim.txt"), "precious");
  EXPECT_EQ(Get(dir / "elsewhere" / "file.txt"), "precious");
  EXPECT_EQ(Get(out / "ok.txt"), "fine");  // the job goes on with the other entries
}

TEST(ZpackBehaviour, CreateRefusesADirectoryLoop) {
  fs::path dir = Fresh("loop");
  Put(dir / "src" / "sub" / "a.txt", "a");
  fs::create_directory_symlink("..", dir / "src" / "sub" / "up");
  std::string out = (dir / "loop.zpk").string();
  testing::internal::CaptureStderr();
  EXPECT_EQ(Zpack({"create", out, "--title", "T", "--subdir", "\\A", (dir / "src").string()}), 1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("loop"), std::string::npos);
  EXPECT_FALSE(fs::exists(out));
}

// A real full file system: a tmpfs of 1 MiB (mounting needs root).
class FullFileSystem : public testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "mounting a tmpfs needs root";
    dir_ = Fresh("full");
    disk_ = dir_ / "disk";
    fs::create_directories(disk_);
    ASSERT_EQ(mount("tmpfs", disk_.c_str(), "tmpfs", 0, "size=1m"), 0) << std::strerror(errno);
    mounted_ = true;
  }
  void TearDown() override {
    if (mounted_) umount2(disk_.c_str(), MNT_DETACH);
  }
  fs::path dir_, disk_;
  bool mounted_ = false;
};

// Data that does not compress: a packed file of 1.5 MiB cannot be written into 1 MiB.
std::string Noise(size_t size) {
  std::string data(size, '\0');
  uint32_t x = 2463534242u;
  for (char& c : data) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    c = static_cast<char>(x);
  }
  return data;
}

TEST_F(FullFileSystem, ExtractRemovesThePartialFileAndSaysWhy) {
  std::string packed = PackedFile(dir_ / "p.zpk", {{"\\small.txt", "small"}, {"\\big.bin", Noise(1536 * 1024)}});
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_EQ(Zpack({"extract", packed, (disk_ / "out").string()}), 1);
  std::string out = testing::internal::GetCapturedStdout(), messages = testing::internal::GetCapturedStderr();
  EXPECT_NE(messages.find("big.bin: failed: No space left on device"), std::string::npos) << messages;
  EXPECT_EQ(out.find("big.bin"), std::string::npos) << out;  // no size reported for the failed entry
  EXPECT_EQ(Get(disk_ / "out" / "small.txt"), "small");
  EXPECT_FALSE(fs::exists(disk_ / "out" / "big.bin"));
}

TEST_F(FullFileSystem, CreateLeavesNothingBehind) {
  Put(dir_ / "src" / "noise.bin", Noise(1536 * 1024));
  testing::internal::CaptureStderr();
  EXPECT_EQ(Zpack({"create", (disk_ / "p.zpk").string(), "--title", "T", "--subdir", "\\A", (dir_ / "src").string()}),
            1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("No space left on device"), std::string::npos);
  EXPECT_TRUE(fs::is_empty(disk_));
  // A read-only file system is found before the tree is read, and said so.
  ASSERT_EQ(mount("tmpfs", disk_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=1m"), 0);
  testing::internal::CaptureStderr();
  EXPECT_EQ(Zpack({"create", (disk_ / "p.zpk").string(), "--title", "T", "--subdir", "\\A", (dir_ / "none").string()}),
            1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Read-only file system"), std::string::npos);
}
#endif

TEST(ZpackBehaviour, HelpAndUsageErrors) {
  testing::internal::CaptureStdout();
  EXPECT_EQ(Zpack({"--help"}), 0);
  std::string help = testing::internal::GetCapturedStdout();
  EXPECT_NE(help.find("exit codes"), std::string::npos);
  EXPECT_NE(help.find("zpack extract"), std::string::npos);
  testing::internal::CaptureStderr();
  EXPECT_EQ(Zpack({"frobnicate"}), 2);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("frobnicate"), std::string::npos);
  testing::internal::CaptureStderr();
  EXPECT_EQ(Zpack({"list", "--bogus", "x.zpk"}), 2);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("--bogus"), std::string::npos);
  testing::internal::CaptureStderr();
  EXPECT_EQ(Zpack({"create", "o.zpk", "--title", "T", "--subdir", "\\A", "--dict", "512", "src"}), 2);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("512"), std::string::npos);
}

}  // namespace
