// What the target claim and the serialised record merge add to the whole job: the setup-call job
// (free space, backup of the existing target, extraction of about 100 MB in 3000 files, merge into a
// parent "archive.dir" of 1000 records, deletion of the backup) against the claim and merge locks
// alone (the claim taken and released, the two record files the merge writes opened and their merge
// locks taken and released). Prints the share of the job that the locks take.
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <cstdio>
#include <map>

#include "engine/record_lock.h"
#include "engine/records.h"
#include "engine/target_claim.h"
#include "engine/unpack_job.h"
#include "platform/test_hooks.h"
#include "tests/bench/extraction_bench_data.h"

namespace {

const char kCacheDir[] = "/tmp/zclaim-bench-v1";  // the packed file is made once and kept here
const char kParent[] = "B:\\zelvar\\ARCHIVE\\SYSTEM";
const char kTarget[] = "B:\\zelvar\\ARCHIVE\\SYSTEM\\bench";

void SetUpJob() {
  std::memset(&g_jobSettings, 0, sizeof g_jobSettings);
  CopyBounded(g_jobSettings.sourcePath, kPathChars, "B:\\bench.zpk");
  CopyBounded(g_jobSettings.targetDir, kPathChars, kTarget);
  CopyBounded(g_jobSettings.archiveRoot, kPathChars, "ZELVAR1\\SYS:zelvar\\ARCHIVE\\SYSTEM\\bench");
  g_jobSettings.setupCall = 1;
  g_workerState.progressWindow = nullptr;
  g_workerState.stopRequested = 0;
}

struct Fixture {
  Fixture() {
    mkdir(kCacheDir, 0755);
    OsMapDriveForTests('B', kCacheDir);
    FileHandle existing = OsOpenFile("B:\\bench.zpk", FileOpenRead);
    const int valid = existing != kNoFile && ReadTrailer(existing);
    if (existing != kNoFile) OsCloseFile(existing);
    if (!valid) {
      std::vector<uint8_t> packed = zbench::PackTree(zbench::MakeTree());
      FileHandle out = OsOpenFile("B:\\bench.zpk", FileOpenReadWriteTruncate);
      OsWriteFile(out, packed.data(), static_cast<uint32_t>(packed.size()));
      OsCloseFile(out);
    }
    zbench::RemoveTree("B:\\zelvar");
    for (const char* dir : {"B:\\zelvar", "B:\\zelvar\\ARCHIVE", kParent}) OsCreateDirectory(dir);
    std::vector<char> records(1000 * kRecordSize, 0);
    for (size_t at = 0; at < records.size(); at += kRecordSize) records[at + 3] = 0x10;
    FileHandle parent = OsOpenFile("B:\\zelvar\\ARCHIVE\\SYSTEM\\archive.dir", FileOpenReadWriteTruncate);
    OsWriteFile(parent, records.data(), static_cast<uint32_t>(records.size()));
    OsCloseFile(parent);
    SetUpJob();
    RunUnpackJob();  // the target exists from here on: every job moves it aside and deletes it
  }
};

void BM_WholeJob(benchmark::State& state) {
  for (auto _ : state) {
    SetUpJob();
    if (!RunUnpackJob()) state.SkipWithError("the job failed");
  }
}

void BM_ClaimAndMergeLocks(benchmark::State& state) {
  for (auto _ : state) {
    SetUpJob();
    if (!TakeTargetClaim()) state.SkipWithError("no claim");
    for (const char* dir : {kParent, "B:\\zelvar\\ARCHIVE"}) {
      const FileHandle file = OpenRecordsForMerge(dir);
      UnlockRecordsForMerge(file);
      OsCloseFile(file);
    }
    ReleaseTargetClaim();
  }
}

BENCHMARK(BM_WholeJob)->Unit(benchmark::kMillisecond)->MinTime(5.0)->UseRealTime();
BENCHMARK(BM_ClaimAndMergeLocks)->Unit(benchmark::kMicrosecond)->MinTime(2.0)->UseRealTime();

class ShareReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.iterations > 0) times_[run.benchmark_name()] = run.GetAdjustedRealTime() *
                                                             (run.time_unit == benchmark::kMillisecond ? 1000.0 : 1.0);
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times_;  // microseconds
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Fixture fixture;
  ShareReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  double job = 0, locks = 0;
  for (const auto& entry : reporter.times_) {
    if (entry.first.rfind("BM_WholeJob", 0) == 0) job = entry.second;
    if (entry.first.rfind("BM_ClaimAndMergeLocks", 0) == 0) locks = entry.second;
  }
  if (job > 0 && locks > 0) std::printf("claim and merge locks / whole job = %.4f %% (target: at most 2 %%)\n", 100 * locks / job);
  zbench::RemoveTree("B:\\zelvar");
  benchmark::Shutdown();
  return 0;
}
