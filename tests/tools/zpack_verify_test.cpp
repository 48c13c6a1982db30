// zpack verify against a real install: the sample packed file installed by the engine's own
// extraction (record rewriting and merge included), then changed in one way per finding class.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "discovery/job_settings.h"
#include "discovery/path_utils.h"
#include "engine/extraction.h"
#include "engine/interrupted_run.h"
#include "engine/packed_file.h"
#include "engine/progress_messages.h"
#include "engine/records.h"
#include "platform/platform.h"
#include "tools/zpack/pack_writer.h"
#include "tools/zpack/packed_reading.h"
#include "tests/tools/zpack_run.h"
#include "tools/zpack/zpack_tool.h"
#ifndef _WIN32
#include "platform/test_hooks.h"
#endif

namespace fs = std::filesystem;

namespace {

// The sample packed file, and the class and name of every finding verify prints (summary aside).
std::string Sample() {
#ifdef _WIN32
  return std::string("Z:") + Z_TEST_BINARY_DIR + "/sample/connect.zpk";
#else
  return std::string(Z_TEST_BINARY_DIR) + "/sample/connect.zpk";
#endif
}

struct Outcome {
  int status;
  std::vector<std::string> findings;
};
Outcome Verify(std::vector<std::string> args) {
  args.insert(args.begin(), "verify");
  testing::internal::CaptureStdout();
  Outcome run;
  run.status = Zpack(args);
  std::istringstream out(testing::internal::GetCapturedStdout());
  for (std::string line; std::getline(out, line);) {
    if (line.rfind("archive root ", 0) == 0 || line.find(" entries checked: ") != std::string::npos) continue;
    run.findings.push_back(line.substr(0, line.find(':')));
  }
  std::sort(run.findings.begin(), run.findings.end());
  return run;
}

// The install: the engine's extraction of the sample into <scratch>/connect, as a setup call does it.
class VerifyTest : public testing::Test {
 protected:
  void SetUp() override {
    host_ = fs::temp_directory_path() / "zpack_verify";
    // A test before may have left a read-only file, which Windows does not delete.
    std::error_code ignored;
    for (fs::recursive_directory_iterator it(host_, ignored), end; it != end; it.increment(ignored))
      fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    fs::remove_all(host_);
    fs::create_directories(host_);
#ifdef _WIN32
    const std::string windows = host_.string();
#else
    OsMapDriveForTests('V', host_.c_str());
    const std::string windows = "V:";
#endif
    std::memset(&g_jobSettings, 0, sizeof g_jobSettings);
    std::memset(&g_workerState, 0, sizeof g_workerState);
    CopyBounded(g_jobSettings.targetDir, kPathChars, (windows + "\\connect").c_str());
    CopyBounded(g_jobSettings.archiveRoot, kPathChars, "\\\\SRV\\SYS\\zelvar\\ARCHIVE\\SYSTEM\\connect");
    CopyBounded(g_jobSettings.archiveName, kNameChars, "Connect Beispielarchiv");
    g_sourceFile = OsOpenFile(zpack::SeamPath(Sample()).c_str(), FileOpenRead);
    ASSERT_NE(g_sourceFile, kNoFile);
    ASSERT_EQ(ReadTrailer(g_sourceFile), 1);
    ASSERT_EQ(ExtractEntries(), 1);
    tree_ = host_ / "connect";
  }
  // Changes a file's bytes and keeps its write time, so that only the content differs.
  void Rewrite(const fs::path& path, const std::function<void(std::vector<uint8_t>&)>& change) {
    const auto time = fs::last_write_time(path);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(zpack::ReadWholeFile(path.string(), &bytes));
    change(bytes);
    ASSERT_TRUE(zpack::WriteWholeFile(path.string(), bytes));
    fs::last_write_time(path, time);
  }
  fs::path host_, tree_;
};

TEST_F(VerifyTest, CleanInstallMatchesAndNamesMatchIgnoringCase) {
  fs::rename(tree_ / "readme.txt", tree_ / "README.TXT");
  Outcome run = Verify({Sample(), tree_.string()});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.findings.empty()) << run.findings.front();
}

TEST_F(VerifyTest, EachChangeIsFoundAndOnlyThat) {
  Rewrite(tree_ / "logo.bmp", [](std::vector<uint8_t>& b) { b[1000] ^= 0x01; });
  Rewrite(tree_ / "readme.txt", [](std::vector<uint8_t>& b) { b.push_back('!'); });
  fs::last_write_time(tree_ / "connect.ini", fs::last_write_time(tree_ / "connect.ini") + std::chrono::hours(1));
  fs::permissions(tree_ / "data" / "table.bin", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  fs::remove(tree_ / "config" / "settings.txt");
  ASSERT_TRUE(zpack::WriteWholeFile((tree_ / "config" / "neu.txt").string(), {'n'}));
  // The server renames the archive in record 0 of archive.dir.
  Rewrite(tree_ / "archive.dir", [](std::vector<uint8_t>& b) {
    ASSERT_EQ(SetRecordTag(reinterpret_cast<char*>(b.data()), "Umbenannt", 95, TagTitle), 1);
  });
  // A run into the tree that was killed after the merge, before it had deleted its backup.
  RunRecord interrupted = {RunPhaseMerging, 1, "connect", "connect.001"};
  char record[1024];
  const size_t length = FormatRunRecord(record, sizeof record, interrupted);
  ASSERT_TRUE(zpack::WriteWholeFile(tree_.string() + kRunRecordSuffix, std::vector<uint8_t>(record, record + length)));
  Outcome run = Verify({"--root", "\\\\SRV\\SYS\\zelvar\\ARCHIVE\\SYSTEM\\connect", Sample(), tree_.string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.findings, (std::vector<std::string>{
                              "attribute \\data\\table.bin", "changed   \\logo.bmp", "changed   \\readme.txt",
                              "extra     \\config\\neu.txt", "interrupted ..\\connect.zarpex-run",
                              "missing   \\config\\settings.txt",
                              "record    \\archive.dir", "time      \\connect.ini"}));
  testing::internal::CaptureStdout();
  EXPECT_EQ(Zpack({"verify", "--json", Sample(), tree_.string()}), 1);
  EXPECT_NE(testing::internal::GetCapturedStdout().find(
                "\"counts\": {\"missing\": 1, \"changed\": 2, \"type\": 0, \"time\": 1, \"attribute\": 1, "
                "\"extra\": 1, \"record\": 1, \"interrupted\": 1}"),
            std::string::npos);
}

TEST_F(VerifyTest, DamagedPackedFileGivesTwo) {
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(zpack::ReadWholeFile(Sample(), &bytes));
  bytes[72] = 9;  // the dictionary size of the first stream (archive.add, data at 71)
  const std::string damaged = (host_ / "damaged.zpk").string();
  ASSERT_TRUE(zpack::WriteWholeFile(damaged, bytes));
  testing::internal::CaptureStderr();
  EXPECT_EQ(Verify({damaged, tree_.string()}).status, 2);
  bytes.pop_back();
  ASSERT_TRUE(zpack::WriteWholeFile(damaged, bytes));
  EXPECT_EQ(Verify({damaged, tree_.string()}).status, 2);
  testing::internal::GetCapturedStderr();
}

}  // namespace
