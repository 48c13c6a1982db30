// zpack over real trees: create, list, test and extract round trips, the sample packed file, and
// bad input (truncated files, impossible headers, entry names that would leave the target).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "discovery/tag_list.h"
#include "engine/packed_file.h"
#include "engine/records.h"
#include "tests/engine/signed_program_support.h"
#include "tools/zpack/pack_writer.h"
#include "tests/tools/zpack_run.h"
#include "tools/zpack/zpack_tool.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

// A fresh folder per test.
fs::path Fresh(const std::string& name) {
  fs::path dir = fs::temp_directory_path() / "zpack_test" / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

void Put(const fs::path& path, const Bytes& bytes) {
  fs::create_directories(path.parent_path());
  ASSERT_TRUE(zpack::WriteWholeFile(path.string(), bytes));
}

Bytes Get(const fs::path& path) {
  Bytes bytes;
  EXPECT_TRUE(zpack::ReadWholeFile(path.string(), &bytes)) << path;
  return bytes;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Every regular file below root, relative path -> contents.
std::vector<std::pair<std::string, Bytes>> Tree(const fs::path& root) {
  std::vector<std::pair<std::string, Bytes>> files;
  for (auto& e : fs::recursive_directory_iterator(root)) {
    if (e.is_regular_file()) files.emplace_back(fs::relative(e.path(), root).generic_string(), Get(e.path()));
    else files.emplace_back(fs::relative(e.path(), root).generic_string() + "/", Bytes{});
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The header fields and names of a packed file, parsed independently of the reader under test.
struct Parsed {
  uint32_t firstEntryOffset, entryCount, fileSize, unpackedSize;
  std::vector<std::string> names;
  std::vector<uint16_t> flags;
  std::vector<uint32_t> attributes, writeTimes;
};
uint32_t U32(const Bytes& b, size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24; }
Parsed Parse(const Bytes& b) {
  Parsed p{};
  size_t t = b.size() - 256;
  p.firstEntryOffset = U32(b, t + 8);
  p.entryCount = U32(b, t + 12);
  p.fileSize = U32(b, t + 16);
  p.unpackedSize = U32(b, t + 20);
  size_t at = p.firstEntryOffset;
  for (uint32_t i = 0; i < p.entryCount; ++i) {
    uint16_t headerSize = static_cast<uint16_t>(b[at] | b[at + 1] << 8);
    p.flags.push_back(static_cast<uint16_t>(b[at + 2] | b[at + 3] << 8));
    p.attributes.push_back(U32(b, at + 8));
    p.writeTimes.push_back(U32(b, at + 20));
    p.names.emplace_back(reinterpret_cast<const char*>(&b[at + 24]), headerSize - 24u);
    at += headerSize + U32(b, at + 4);
  }
  EXPECT_EQ(at, t);
  return p;
}

void MakeTree(const fs::path& src) {
  Bytes big(70000);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7 ^ i >> 9);
  Put(src / "ARCHIVE.DIR", Bytes(430 * 3, 0x41));
  Put(src / "b.txt", Text("hello\r\nworld\r\n"));
  Put(src / "empty.ini", {});
  Put(src / "sub" / "archive.dat", Bytes(860, 0x00));
  Put(src / "sub" / "big.bin", big);
  Put(src / "sub" / "deeper" / "c.txt", Text("c"));
  fs::create_directories(src / "emptydir");
}

TEST(Zpack, CreateListTestExtractRoundTrip) {
  fs::path dir = Fresh("roundtrip");
  MakeTree(dir / "src");
  fs::path packed = dir / "out.zpk";
  ASSERT_EQ(Zpack({"create", packed.string(), "--title", "Titel", "--subdir", "\\ARCHIVE\\X", "--time", "1000000000",
                   "--dict", "2048", (dir / "src").string()}),
            0);
  Parsed p = Parse(Get(packed));
  EXPECT_EQ(p.names, (std::vector<std::string>{"\\ARCHIVE.DIR", "\\b.txt", "\\empty.ini", "\\emptydir", "\\sub",
                                               "\\sub\\archive.dat", "\\sub\\big.bin", "\\sub\\deeper",
                                               "\\sub\\deeper\\c.txt"}));
  EXPECT_EQ(p.flags, (std::vector<uint16_t>{2, 0, 0, 1, 1, 2, 0, 1, 0}));
  EXPECT_EQ(p.attributes[0], 0x20u);
  EXPECT_EQ(p.attributes[3], 0x10u);
  EXPECT_EQ(p.writeTimes[4], 1000000000u);
  EXPECT_EQ(p.unpackedSize, 4096u * (1 + 1 + 0 + 1 + 18 + 1));
  EXPECT_EQ(Zpack({"list", packed.string()}), 0);
  EXPECT_EQ(Zpack({"test", packed.string()}), 0);
  ASSERT_EQ(Zpack({"extract", packed.string(), (dir / "x").string()}), 0);
  EXPECT_EQ(Tree(dir / "x"), Tree(dir / "src"));

  // Appended to another file: the entries start behind it and read the same.
  Put(dir / "program.exe", Bytes(5000, 0xCC));
  fs::path appended = dir / "with.exe";
  ASSERT_EQ(Zpack({"create", appended.string(), "--title", "T", "--subdir", "\\A", "--ascii", "--append-to",
                   (dir / "program.exe").string(), (dir / "src").string()}),
            0);
  Bytes bytes = Get(appended);
  EXPECT_EQ(Parse(bytes).firstEntryOffset, 5000u);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 5000), Bytes(5000, 0xCC));
  EXPECT_EQ(Zpack({"test", appended.string()}), 0);
  ASSERT_EQ(Zpack({"extract", appended.string(), (dir / "y").string()}), 0);
  EXPECT_EQ(Tree(dir / "y"), Tree(dir / "src"));
}

// A program signed after its packed file was appended is listed, tested and extracted in front of
// its certificate table; appending to a signed program is refused (it would break the signature).
TEST(Zpack, SignedProgramsAreReadButNotAppendedTo) {
  fs::path dir = Fresh("signed");
  MakeTree(dir / "src");
  Put(dir / "program.exe", zsigned::MinimalProgram());
  fs::path packed = dir / "packed.exe";
  ASSERT_EQ(Zpack({"create", packed.string(), "--title", "T", "--subdir", "\\A", "--append-to",
                   (dir / "program.exe").string(), (dir / "src").string()}),
            0);
  fs::path signedFile = dir / "signed.exe";
  Put(signedFile, zsigned::Signed(Get(packed)));
  EXPECT_EQ(Zpack({"list", signedFile.string()}), 0);
  EXPECT_EQ(Zpack({"test", signedFile.string()}), 0);
  ASSERT_EQ(Zpack({"extract", signedFile.string(), (dir / "x").string()}), 0);
  EXPECT_EQ(Tree(dir / "x"), Tree(dir / "src"));

  EXPECT_EQ(Zpack({"create", (dir / "again.exe").string(), "--title", "T", "--subdir", "\\A", "--append-to",
                   signedFile.string(), (dir / "src").string()}),
            1);
  EXPECT_FALSE(fs::exists(dir / "again.exe"));
}

TEST(Zpack, RejectsBadArguments) {
  fs::path dir = Fresh("args");
  fs::create_directories(dir / "src");
  std::string out = (dir / "o.zpk").string(), src = (dir / "src").string();
  EXPECT_NE(Zpack({"create", out, "--subdir", "\\A", src}), 0);  // no title
  EXPECT_NE(Zpack({"create", out, "--title", std::string(81, 't'), "--subdir", "\\A", src}), 0);
  EXPECT_NE(Zpack({"create", out, "--title", "t", "--subdir", "A", src}), 0);
  EXPECT_NE(Zpack({"create", out, "--title", "t", "--subdir", "\\A", "--dict", "512", src}), 0);
  EXPECT_NE(Zpack({"create", out, "--title", "t", "--subdir", "\\A", (dir / "missing").string()}), 0);
  EXPECT_NE(Zpack({"list", (dir / "missing.zpk").string()}), 0);
  EXPECT_NE(Zpack({"frobnicate"}), 0);
}

TEST(Zpack, BadPackedFilesFailCleanly) {
  fs::path dir = Fresh("bad");
  MakeTree(dir / "src");
  fs::path good = dir / "good.zpk";
  ASSERT_EQ(Zpack({"create", good.string(), "--title", "T", "--subdir", "\\A", (dir / "src").string()}), 0);
  Bytes bytes = Get(good);

  Bytes truncated(bytes.begin(), bytes.end() - 1);
  Put(dir / "truncated.zpk", truncated);
  EXPECT_NE(Zpack({"list", (dir / "truncated.zpk").string()}), 0);
  EXPECT_NE(Zpack({"test", (dir / "truncated.zpk").string()}), 0);
  EXPECT_NE(Zpack({"extract", (dir / "truncated.zpk").string(), (dir / "t").string()}), 0);

  // A nonsense header size in the third entry: the walk ends early.
  std::vector<zpack::PackEntry> entries = {zpack::MakeDirectoryEntry("\\d", 0), zpack::MakeDirectoryEntry("\\e", 0),
                                           zpack::MakeDirectoryEntry("\\f", 0)};
  entries[2].headerSizeOverride = 9000;
  zpack::TrailerInfo info;
  info.title = "T";
  info.subdirectory = "\\A";
  Put(dir / "header.zpk", zpack::BuildPackedFile(entries, info));
  EXPECT_NE(Zpack({"list", (dir / "header.zpk").string()}), 0);
  EXPECT_NE(Zpack({"test", (dir / "header.zpk").string()}), 0);

  // A corrupt stream and a stored size running into the trailer.
  std::vector<zpack::PackEntry> streams = {zpack::MakeFileEntry("\\a", Bytes(3000, 1), ImplodeBinary, 4096, 0)};
  streams[0].stored[1] = 9;  // no such dictionary size
  Put(dir / "stream.zpk", zpack::BuildPackedFile(streams, info));
  EXPECT_NE(Zpack({"test", (dir / "stream.zpk").string()}), 0);
  streams = {zpack::MakeFileEntry("\\a", Bytes(3000, 1), ImplodeBinary, 4096, 0)};
  streams[0].storedSizeOverride = 100000;
  Put(dir / "size.zpk", zpack::BuildPackedFile(streams, info));
  EXPECT_NE(Zpack({"test", (dir / "size.zpk").string()}), 0);
  EXPECT_NE(Zpack({"extract", (dir / "size.zpk").string(), (dir / "s").string()}), 0);
}

TEST(Zpack, ExtractKeepsEveryEntryInsideTheTarget) {
  fs::path dir = Fresh("escape");
  zpack::TrailerInfo info;
  info.title = "T";
  info.subdirectory = "\\A";
  std::vector<zpack::PackEntry> entries;
  for (const char* name : {"\\..\\evil1", "\\a\\..\\..\\evil2", "C:\\evil3", "\\a:evil4", "\\\\srv\\evil5",
                           "evil6", "\\.", "\\ok\\..", "\\a/../../evil7"}) {
    entries.push_back(zpack::MakeFileEntry(name, Text("x"), ImplodeBinary, 4096, 0));
  }
  entries.push_back(zpack::MakeFileEntry("\\good.txt", Text("fine"), ImplodeBinary, 4096, 0));
  Put(dir / "evil.zpk", zpack::BuildPackedFile(entries, info));
  fs::path target = dir / "target" / "inner";
  EXPECT_NE(Zpack({"extract", (dir / "evil.zpk").string(), target.string()}), 0);
  // Only the harmless entry was written; nothing appeared anywhere else.
  EXPECT_EQ(Tree(dir / "target"), (std::vector<std::pair<std::string, Bytes>>{{"inner/", {}},
                                                                              {"inner/good.txt", Text("fine")}}));
  for (auto& e : fs::recursive_directory_iterator(dir)) {
    if (e.path().filename() == "evil.zpk") continue;
    EXPECT_EQ(e.path().filename().string().find("evil"), std::string::npos) << e.path();
  }
}

// The sample packed file made by the build, and the record files of the sample tree.
TEST(Zpack, SamplePackedFile) {
#ifdef _WIN32
  std::string root = std::string("Z:") + Z_TEST_SOURCE_DIR, build = std::string("Z:") + Z_TEST_BINARY_DIR;
#else
  std::string root = Z_TEST_SOURCE_DIR, build = Z_TEST_BINARY_DIR;
#endif
  fs::path packed = fs::path(build) / "sample" / "connect.zpk";
  ASSERT_TRUE(fs::exists(packed)) << packed;
  Bytes bytes = Get(packed);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[bytes.size() - 256 + 24])), "Connect Beispielarchiv");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[bytes.size() - 256 + 105])), "\\ARCHIVE\\SYSTEM\\connect");
  Parsed p = Parse(bytes);
  EXPECT_EQ(p.names.front(), "\\access.ini");
  EXPECT_EQ(Zpack({"test", packed.string()}), 0);
  fs::path dir = Fresh("sample");
  ASSERT_EQ(Zpack({"extract", packed.string(), (dir / "connect").string()}), 0);
  EXPECT_EQ(Tree(dir / "connect"), Tree(fs::path(root) / "sample" / "connect"));

  // archive.dir: 13 records of type 1; record 9 straddles the first 4096 bytes; paths relative,
  // UNC, with a drive colon, and one record without a path.
  Bytes dirRecords = Get(fs::path(root) / "sample" / "connect" / "archive.dir");
  ASSERT_EQ(dirRecords.size(), 13u * kRecordSize);
  std::vector<std::string> paths;
  for (int i = 0; i < 13; ++i) {
    char* record = reinterpret_cast<char*>(&dirRecords[i * kRecordSize]);
    EXPECT_EQ((static_cast<uint8_t>(record[3]) >> 4) & 7, 1) << i;
    paths.emplace_back(GetTagText(record + kRecordTagsOffset, kRecordTagsSize, TagPath));
  }
  EXPECT_EQ(paths[0], "\\config");
  EXPECT_EQ(paths[10].substr(0, 2), "\\\\");
  EXPECT_EQ(paths[11].substr(1, 1), ":");
  EXPECT_EQ(paths[12], "");
  EXPECT_LT(9 * kRecordSize, 4096u);
  EXPECT_GT(10 * kRecordSize, 4096u);
  Bytes datRecords = Get(fs::path(root) / "sample" / "connect" / "archive.dat");
  ASSERT_EQ(datRecords.size(), 2u * kRecordSize);
  EXPECT_EQ((datRecords[3] >> 4) & 7, 2);
  Bytes addRecords = Get(fs::path(root) / "sample" / "connect" / "archive.add");
  ASSERT_EQ(addRecords.size(), 3u * kRecordSize);
  char* own = reinterpret_cast<char*>(&addRecords[kRecordTagsOffset]);
  EXPECT_STREQ(GetTagText(own, kRecordTagsSize, TagName), "connect");
  EXPECT_STREQ(GetTagText(own, kRecordTagsSize, TagPath), "\\");
}

}  // namespace
