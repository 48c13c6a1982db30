// ExtractEntries over a packed file of about 100 MB in a few thousand entries, against writing the
// same tree with plain open, write and close, in the same run. Prints the ratio of the two.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <map>

#include "platform/test_hooks.h"
#include "tests/bench/extraction_bench_data.h"

namespace {

const char kCacheDir[] = "/tmp/zextract-bench-v1";  // the packed file is made once and kept here

struct Fixture {
  std::vector<zbench::TreeFile> files;
  std::string packedFile;
  Fixture() {
    files = zbench::MakeTree();
    mkdir(kCacheDir, 0755);
    OsMapDriveForTests('B', kCacheDir);
    packedFile = "B:\\bench.zpk";
    FileHandle existing = OsOpenFile(packedFile.c_str(), FileOpenRead);
    const int valid = existing != kNoFile && ReadTrailer(existing);
    if (existing != kNoFile) OsCloseFile(existing);
    if (!valid) {
      std::vector<uint8_t> packed = zbench::PackTree(files);
      FileHandle out = OsOpenFile(packedFile.c_str(), FileOpenReadWriteTruncate);
      OsWriteFile(out, packed.data(), static_cast<uint32_t>(packed.size()));
      OsCloseFile(out);
    }
  }
};

Fixture& Data() {
  static Fixture fixture;
  return fixture;
}

void BM_ExtractEntries(benchmark::State& state) {
  Fixture& data = Data();
  for (auto _ : state) {
    state.PauseTiming();
    zbench::RemoveTree("B:\\extracted");
    state.ResumeTiming();
    if (!zbench::ExtractInto(data.packedFile, "B:\\extracted")) state.SkipWithError("extraction failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * zbench::TreeBytes(data.files)));
}

void BM_PlainWrite(benchmark::State& state) {
  Fixture& data = Data();
  for (auto _ : state) {
    state.PauseTiming();
    zbench::RemoveTree("B:\\plain");
    state.ResumeTiming();
    if (!zbench::WritePlain(data.files, "B:\\plain")) state.SkipWithError("plain write failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * zbench::TreeBytes(data.files)));
}

BENCHMARK(BM_ExtractEntries)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
BENCHMARK(BM_PlainWrite)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

// Keeps the mean real time of each run so that the ratio can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.iterations > 0) times_[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Data();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  double extract = 0, plain = 0;
  for (const auto& entry : reporter.times_) {
    if (entry.first.rfind("BM_ExtractEntries", 0) == 0) extract = entry.second;
    if (entry.first.rfind("BM_PlainWrite", 0) == 0) plain = entry.second;
  }
  std::printf("tree: %zu bytes in %d files; packed file %s\n", zbench::TreeBytes(Data().files), zbench::kFiles,
              Data().packedFile.c_str());
  if (extract > 0 && plain > 0) std::printf("extraction / plain write = %.2f (target: at most 1.5)\n", extract / plain);
  zbench::RemoveTree("B:\\extracted");
  zbench::RemoveTree("B:\\plain");
  benchmark::Shutdown();
  return 0;
}
