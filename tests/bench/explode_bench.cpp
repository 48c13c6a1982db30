// Output throughput of explodeStream and of libstorm's SCompExplode on the same streams: text-like data
// in ASCII and in binary mode (our encoder), and binary data in binary mode (SCompImplode's streams).
// Every decoder's output is checked against the input before timing. A summary with the ratios follows
// the table.
#include <benchmark/benchmark.h>

#include <StormLib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <map>
#include <string>

#include "engine/explode.h"
#include "tests/engine/explode_support.h"
#include "tools/zpack/implode.h"

using explode_test::Bytes;

namespace {

constexpr size_t kDataSize = 8 << 20;

struct Case {
  const char* name;
  Bytes data;
  Bytes stream;
};

struct Io {
  const Bytes* stream;
  size_t offset;
  uint8_t* out;
  size_t written;
  size_t capacity;
};

uint32_t Read(char* buffer, uint32_t* count, void* user) {
  Io* io = static_cast<Io*>(user);
  size_t n = io->stream->size() - io->offset;
  if (n > *count) n = *count;
  std::memcpy(buffer, io->stream->data() + io->offset, n);
  io->offset += n;
  return static_cast<uint32_t>(n);
}

void Write(char* buffer, uint32_t* count, void* user) {
  Io* io = static_cast<Io*>(user);
  size_t n = *count;
  if (n > io->capacity - io->written) n = io->capacity - io->written;
  std::memcpy(io->out + io->written, buffer, n);
  io->written += n;
}

size_t RunExplode(const Case& c, Bytes* out, ExplodeWorkArea* area) {
  Io io{&c.stream, 0, out->data(), 0, out->size()};
  if (explodeStream(Read, Write, area, &io) != ExplodeOk) return 0;
  return io.written;
}

size_t RunStorm(const Case& c, Bytes* out) {
  int size = static_cast<int>(out->size());
  if (!SCompExplode(out->data(), &size, const_cast<uint8_t*>(c.stream.data()), static_cast<int>(c.stream.size())))
    return 0;
  return static_cast<size_t>(size);
}

// Binary-file-like data: 48-byte records with counters, small numbers, names and zero padding,
// interrupted now and then by stretches of noise.
Bytes MakeRecords(size_t size, uint32_t seed) {
  static const char* const names[] = {"archive.dat", "config", "access.ini", "archive.dir", "users", "connect"};
  std::mt19937 rng(seed);
  Bytes out;
  uint32_t counter = 1000;
  while (out.size() < size) {
    if (rng() % 64 == 0) {
      for (int i = 0, n = 16 + rng() % 200; i < n; ++i) out.push_back(static_cast<uint8_t>(rng()));
      continue;
    }
    uint8_t record[48] = {};
    counter += 1 + rng() % 3;
    std::memcpy(record, &counter, 4);
    const uint32_t value = rng() % 5000;
    std::memcpy(record + 4, &value, 4);
    record[8] = static_cast<uint8_t>(rng() % 4);
    const char* name = names[rng() % 6];
    std::memcpy(record + 12, name, std::strlen(name));
    const uint32_t stamp = 0x36000000u + (rng() % 100000);
    std::memcpy(record + 40, &stamp, 4);
    out.insert(out.end(), record, record + 48);
  }
  out.resize(size);
  return out;
}

Case StormCase(const char* name, Bytes data) {
  Bytes stream(data.size() + data.size() / 4 + 64);
  int size = static_cast<int>(stream.size());
  if (!SCompImplode(stream.data(), &size, data.data(), static_cast<int>(data.size()))) std::abort();
  stream.resize(size);
  return Case{name, std::move(data), std::move(stream)};
}

constexpr int kCaseCount = 4;

Case* Cases() {
  static Case cases[kCaseCount];
  static bool made = false;
  if (!made) {
    made = true;
    const Bytes text = explode_test::MakeText(kDataSize, 1);
    cases[0] = {"ascii_text", text, ImplodeBuffer(text.data(), text.size(), ImplodeAscii, 4096)};
    cases[1] = {"binary_text", text, ImplodeBuffer(text.data(), text.size(), ImplodeBinary, 4096)};
    cases[2] = StormCase("binary_records", MakeRecords(kDataSize, 2));
    cases[3] = StormCase("binary_runs", explode_test::MakeMixed(kDataSize, 3));
    // Both decoders must give back exactly the input before anything is timed.
    for (const Case& c : cases) {
      Bytes out(c.data.size() + 4096);
      static ExplodeWorkArea area;
      const bool ours = RunExplode(c, &out, &area) == c.data.size() && std::equal(c.data.begin(), c.data.end(), out.begin());
      std::fill(out.begin(), out.end(), 0);
      const bool storm = RunStorm(c, &out) == c.data.size() && std::equal(c.data.begin(), c.data.end(), out.begin());
      if (!ours || !storm) {
        std::fprintf(stderr, "%s: output differs from the input (explodeStream %d, SCompExplode %d)\n", c.name, ours,
                     storm);
        std::exit(1);
      }
    }
  }
  return cases;
}

void BM_ExplodeStream(benchmark::State& state) {
  const Case& c = Cases()[state.range(0)];
  Bytes out(c.data.size() + 4096);
  ExplodeWorkArea area;
  for (auto _ : state) benchmark::DoNotOptimize(RunExplode(c, &out, &area));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * c.data.size()));
  state.SetLabel(c.name);
}

void BM_StormExplode(benchmark::State& state) {
  const Case& c = Cases()[state.range(0)];
  Bytes out(c.data.size() + 4096);
  for (auto _ : state) benchmark::DoNotOptimize(RunStorm(c, &out));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * c.data.size()));
  state.SetLabel(c.name);
}

BENCHMARK(BM_ExplodeStream)->DenseRange(0, kCaseCount - 1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StormExplode)->DenseRange(0, kCaseCount - 1)->Unit(benchmark::kMillisecond);

// Collects the CPU time per run (steadier than wall time on a shared machine) and prints MB/s of
// both decoders and their ratio per stream.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
      seconds_[run.benchmark_name()] = run.cpu_accumulated_time / static_cast<double>(run.iterations);
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%-20s %8s %14s %14s %8s\n", "stream", "packed", "explodeStream", "SCompExplode", "ours/storm");
    for (int i = 0; i < kCaseCount; ++i) {
      const Case& c = Cases()[i];
      const std::string suffix = "/" + std::to_string(i);
      const auto ours = seconds_.find("BM_ExplodeStream" + suffix);
      const auto storm = seconds_.find("BM_StormExplode" + suffix);
      if (ours == seconds_.end() || storm == seconds_.end()) continue;
      const double mb = static_cast<double>(c.data.size()) / 1e6;
      std::printf("%-20s %7.2f%% %9.1f MB/s %9.1f MB/s %7.2fx\n", c.name, 100.0 * c.stream.size() / c.data.size(),
                  mb / ours->second, mb / storm->second, storm->second / ours->second);
    }
  }

 private:
  std::map<std::string, double> seconds_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Cases();
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
