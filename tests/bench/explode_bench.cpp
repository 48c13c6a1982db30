// Output throughput of explodeStream beside libstorm's SCompExplode and libdeflate's inflate on the same
// data: 8 MB of real text and 8 MB of real Windows binaries, taken from the system's files (sorted, so
// every run on a machine sees the same bytes), in both literal modes and from several encoders.
// Every decoder's output is checked against the data before anything is timed; each figure is the best
// of several rounds of CPU time, the decoders taking turns within each round.
//
//   explode_bench [rounds]
#include <StormLib.h>
#include <libdeflate.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "engine/explode.h"
#include "tests/engine/explode_support.h"
#include "tools/zpack/implode.h"

using explode_test::Bytes;

namespace {

constexpr size_t kDataSize = 8 << 20;

// The first size bytes of the regular files under the first existing root whose names end with one of
// the suffixes, in path order; empty when there are not that many.
Bytes CollectFiles(const std::vector<const char*>& roots, const std::vector<std::string>& suffixes, size_t size) {
  namespace fs = std::filesystem;
  for (const char* root : roots) {
    std::error_code error;
    if (!fs::is_directory(root, error)) continue;
    std::vector<fs::path> paths;
    for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
      if (error || it->is_symlink(error) || !it->is_regular_file(error)) continue;
      const std::string name = it->path().filename().string();
      for (const std::string& suffix : suffixes) {
        if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
          paths.push_back(it->path());
          break;
        }
      }
    }
    std::sort(paths.begin(), paths.end());
    Bytes data;
    for (const fs::path& path : paths) {
      std::ifstream file(path, std::ios::binary);
      const Bytes content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
      data.insert(data.end(), content.begin(), content.begin() + std::min(content.size(), size - data.size()));
      if (data.size() == size) return data;
    }
  }
  return {};
}

Bytes RealText() {
  Bytes data = CollectFiles({"/usr/include"}, {".h"}, kDataSize);
  if (data.empty()) {
    std::printf("no 8 MB of headers under /usr/include: made-up text instead\n");
    data = explode_test::MakeText(kDataSize, 1);
  }
  return data;
}

Bytes RealBinaries() {
  Bytes data = CollectFiles({"/usr/lib/i386-linux-gnu/wine/i386-windows", "/usr/lib/wine/i386-windows"},
                            {".dll", ".exe"}, kDataSize);
  if (data.empty()) {
    std::printf("no 8 MB of Windows binaries under Wine's library folder: made-up binary data instead\n");
    data = explode_test::MakeMixed(kDataSize, 2);
  }
  return data;
}

Bytes StormImplode(const Bytes& data) {
  Bytes stream(data.size() + data.size() / 4 + 64);
  int size = static_cast<int>(stream.size());
  Bytes input = data;
  if (!SCompImplode(stream.data(), &size, input.data(), static_cast<int>(input.size()))) std::abort();
  stream.resize(size);
  return stream;
}

// A stream of literals only, as an encoder that finds no matches writes it: the slowest kind to decode.
Bytes LiteralsOnly(const Bytes& data, uint8_t mode) {
  explode_test::StreamWriter writer(mode, 6);
  for (uint8_t byte : data) writer.Literal(byte);
  return writer.End();
}

struct Io {
  const Bytes* stream;
  size_t offset;
  uint8_t* out;
  size_t written;
  size_t capacity;
};

uint32_t Read(char* buffer, uint32_t* count, void* user) {
  Io* io = static_cast<Io*>(user);
  size_t n = std::min<size_t>(io->stream->size() - io->offset, *count);
  std::memcpy(buffer, io->stream->data() + io->offset, n);
  io->offset += n;
  return static_cast<uint32_t>(n);
}

void Write(char* buffer, uint32_t* count, void* user) {
  Io* io = static_cast<Io*>(user);
  size_t n = std::min<size_t>(*count, io->capacity - io->written);
  std::memcpy(io->out + io->written, buffer, n);
  io->written += n;
}

// Each decoder returns the number of bytes it produced into out, 0 on failure.
size_t RunExplode(const Bytes& stream, Bytes* out) {
  static ExplodeWorkArea area;
  Io io{&stream, 0, out->data(), 0, out->size()};
  return explodeStream(Read, Write, &area, &io) == ExplodeOk ? io.written : 0;
}

// SCompExplode copies instead of decoding when the capacity equals the stream size: out is larger.
size_t RunStorm(const Bytes& stream, Bytes* out) {
  int size = static_cast<int>(out->size());
  return SCompExplode(out->data(), &size, const_cast<uint8_t*>(stream.data()), static_cast<int>(stream.size()))
             ? static_cast<size_t>(size)
             : 0;
}

size_t RunInflate(const Bytes& stream, Bytes* out) {
  static libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
  size_t size = 0;
  return libdeflate_deflate_decompress(decompressor, stream.data(), stream.size(), out->data(), out->size(), &size) ==
                 LIBDEFLATE_SUCCESS
             ? size
             : 0;
}

Bytes Deflate(const Bytes& data) {
  libdeflate_compressor* compressor = libdeflate_alloc_compressor(6);
  Bytes stream(libdeflate_deflate_compress_bound(compressor, data.size()));
  stream.resize(libdeflate_deflate_compress(compressor, data.data(), data.size(), stream.data(), stream.size()));
  libdeflate_free_compressor(compressor);
  return stream;
}

struct Case {
  const char* name;
  const Bytes* data;
  Bytes stream;
  const Bytes* deflated;
  double explodeSeconds = 1e9;
  double stormSeconds = 1e9;
  double inflateSeconds = 1e9;
};

double CpuSeconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Runs one decoder once, checks its output and keeps the best time (best null: a round to check only).
void TimeDecoder(const Case& c, const char* decoder, size_t (*run)(const Bytes&, Bytes*), const Bytes& stream,
                 Bytes* out, double* best) {
  std::fill(out->begin(), out->end(), 0);
  const double start = CpuSeconds();
  const size_t size = run(stream, out);
  const double seconds = CpuSeconds() - start;
  if (size != c.data->size() || !std::equal(c.data->begin(), c.data->end(), out->begin())) {
    std::fprintf(stderr, "%s, %s: output differs from the data\n", c.name, decoder);
    std::exit(1);
  }
  if (best != nullptr) *best = std::min(*best, seconds);
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  const Bytes text = RealText();
  const Bytes binaries = RealBinaries();
  const Bytes deflatedText = Deflate(text);
  const Bytes deflatedBinaries = Deflate(binaries);
  std::vector<Case> cases;
  cases.push_back({"text ascii zimplode", &text, ImplodeBuffer(text.data(), text.size(), ImplodeAscii, 4096),
                   &deflatedText});
  cases.push_back({"text ascii literals", &text, LiteralsOnly(text, 1), &deflatedText});
  cases.push_back({"text binary storm", &text, StormImplode(text), &deflatedText});
  cases.push_back({"exe ascii zimplode", &binaries,
                   ImplodeBuffer(binaries.data(), binaries.size(), ImplodeAscii, 4096), &deflatedBinaries});
  cases.push_back({"exe binary storm", &binaries, StormImplode(binaries), &deflatedBinaries});
  cases.push_back({"exe binary literals", &binaries, LiteralsOnly(binaries, 0), &deflatedBinaries});

  Bytes out(kDataSize + kDataSize / 2);
  for (int round = -1; round < rounds; ++round) {
    const bool timed = round >= 0;
    for (Case& c : cases) {
      TimeDecoder(c, "explodeStream", RunExplode, c.stream, &out, timed ? &c.explodeSeconds : nullptr);
      TimeDecoder(c, "SCompExplode", RunStorm, c.stream, &out, timed ? &c.stormSeconds : nullptr);
      TimeDecoder(c, "libdeflate", RunInflate, *c.deflated, &out, timed ? &c.inflateSeconds : nullptr);
    }
  }

  std::printf("MB of output per second, best of %d rounds (CPU time)\n", rounds);
  std::printf("%-22s %7s %13s %12s %10s %8s %8s\n", "stream", "packed", "explodeStream", "SCompExplode",
              "libdeflate", "/storm", "/deflate");
  for (const Case& c : cases) {
    const double mb = static_cast<double>(c.data->size()) / 1e6;
    std::printf("%-22s %6.1f%% %13.1f %12.1f %10.1f %7.2fx %7.2fx\n", c.name,
                100.0 * static_cast<double>(c.stream.size()) / static_cast<double>(c.data->size()),
                mb / c.explodeSeconds, mb / c.stormSeconds, mb / c.inflateSeconds, c.stormSeconds / c.explodeSeconds,
                c.inflateSeconds / c.explodeSeconds);
  }
  return 0;
}
